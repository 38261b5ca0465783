// Output request resolution.
//
// OFPRQP loads the print requests of the "OUTPUT" block (data block CTRL)
// into open core from word 1 (words 1..L1 the request entries, L1+1..L1+L2
// the set definitions) and sets print words 1-7 of OFPREQ for the current
// cumulative step: a request whose sub-entries name an "OTIM" set applies
// only at the steps of that set, "NONE" turns it off, and the selections of
// the applying sub-entries become one list without repeats, set numbers
// turned into the open-core positions of their definitions. The result-file
// requests of CTRN are resolved by the same walk (resolve_requests).
// SETTST tests a number against a set definition.
//
// Data blocks: CTRL or CTRN, read: header [L1, L2, 0, 0, 0, 0]; record 1
// "PRINT   " (skipped); record 2 the request entries [name (2 words), N,
// sub-entries [t, k, k selections]]; record 3 the set definitions [kind,
// number, n, n items] and a final -1.
// Messages: -3 (words required, words available) the records do not fit
// below one buffer at the top of open core; -3834 (kind word "OTIM", "SET "
// or "IPSE", number) a set number without a definition of that kind.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

// The item and set word that stands for "ALL".
inline constexpr word kAllItems = 2147483647;

// One request of a request block: its 8-character name and the words of
// one of its selections (1 for node requests, 2 for element requests).
struct RequestName {
  std::string_view name;
  word width;
};

// Walks the items of a set definition as ranges: v gives (v, v, 1); v, -w
// gives (v, w, 1); v, -w, -s gives (v, w, s). fn(first, last, step) returns
// true to end the walk; the result says whether it ended so.
template <class Fn>
bool walk_set_items(std::span<const word> items, Fn fn) {
  for (std::size_t k = 0; k < items.size();) {
    const std::int64_t v = items[k];
    std::int64_t last = v, step = 1;
    std::size_t used = 1;
    if (k + 2 < items.size() && items[k + 1] < 0 && items[k + 2] < 0) {
      last = -static_cast<std::int64_t>(items[k + 1]);
      step = -static_cast<std::int64_t>(items[k + 2]);
      used = 3;
    } else if (k + 1 < items.size() && items[k + 1] < 0) {
      last = -static_cast<std::int64_t>(items[k + 1]);
      used = 2;
    }
    if (fn(v, last, step)) return true;
    k += used;
  }
  return false;
}

// The requests in the order of OFPREQ words 1-7 ("DISP" to "PRSTRES2"); the
// result-file requests are the first six of them (words 8-13).
inline constexpr std::array<RequestName, 7> kRequestNames{{
    {"DISP    ", 1},
    {"REAC    ", 1},
    {"STRE    ", 2},
    {"ELFO    ", 2},
    {"PRSTRESS", 2},
    {"PRSTRAIN", 2},
    {"PRSTRES2", 2},
}};

// Resolves CTRL (ctrl) into OFPREQ words 1-7; next receives the first free
// open-core word, L1 + L2 + 1, or 1 when CTRL holds no request.
void OFPRQP(word ctrl, word& next);

// -1 (true) when id belongs to the set definition that begins at open-core
// word set ([kind, number, n, items]: v; v, -w for v THRU w; v, -w, -s for
// v THRU w BY s; a single item 2147483647 for all), 0 (false) otherwise.
word SETTST(word set, word id);

// The walk of OFPRQP over a request data block: request word i of `words`
// belongs to names[i]. Every word is first set to -1.
void resolve_requests(word file, std::span<const RequestName> names, std::span<word> words, word& next);

// Whether the resolved selection list at open-core position p (selections
// of width words) selects id: a selection of all, or one whose "SET "
// definition holds id.
bool request_selects(word p, word width, word id);

// Plan check of an open-core layout: the words before index end must lie
// below index limit (the lowest buffer). Otherwise the run ends with fatal
// message 3, its parameters the words required (the open core plus the
// shortfall) and the open-core words available.
void check_core_plan(std::int64_t end, word limit);

}  // namespace zephsol
