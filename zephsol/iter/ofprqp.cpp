// Output request resolution: OFPRQP, SETTST and the walk they share with the
// result-file requests.
#include "zephsol/iter/ofprqp.h"

#include <algorithm>
#include <array>
#include <limits>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/iter_records.h"

namespace zephsol {

namespace {

constexpr word kOtim = name_word("OTIM");
constexpr word kSet = name_word("SET ");
constexpr word kIpse = name_word("IPSE");

// Whether id lies in the set of items.
bool set_holds(std::span<const word> items, word id) {
  if (!items.empty() && items[0] == kAllItems) return true;
  const std::int64_t x = id;
  return walk_set_items(items, [x](std::int64_t first, std::int64_t last, std::int64_t step) {
    return first <= x && x <= last && (x - first) % step == 0;
  });
}

// The set record of the request block in open core.
struct SetRecord {
  std::int64_t first;  // word of the first definition
  std::int64_t end;    // first word after the record
};

// Open-core position of the first definition of kind and number; the run
// ends with fatal 3834 when there is none.
word find_set(const SetRecord& sets, word kind, word number) {
  const WordSpace& c = core();
  for (std::int64_t pos = sets.first; pos + 2 < sets.end;) {
    const word n = c.w(pos + 2);
    if (n < 0 || pos + 3 + n > sets.end) break;  // a damaged record ends the search
    if (c.w(pos) == kind && c.w(pos + 1) == number) return static_cast<word>(pos);
    pos += n + 3;
  }
  elem_fatal(-3834, kind, number);
}

// Whether the selection of width words at position at is already one of the
// count selections of the list after word p.
bool listed(word p, word count, word width, const std::array<word, 2>& sel) {
  const WordSpace& c = core();
  for (word j = 0; j < count; ++j) {
    const std::int64_t at = static_cast<std::int64_t>(p) + 1 + static_cast<std::int64_t>(j) * width;
    if (c.w(at) == sel[0] && (width == 1 || c.w(at + 1) == sel[1])) return true;
  }
  return false;
}

// Resolves the request entry at p (selections of width words) over its own
// entry; returns the request word.
word resolve_request(word p, word width, const SetRecord& sets) {
  const WordSpace& c = core();
  const std::int64_t end = static_cast<std::int64_t>(p) + c.w(p + 2) + 2;  // last word of the entry
  word count = 0;
  for (std::int64_t q = static_cast<std::int64_t>(p) + 3; q < end;) {
    const word t = c.w(q);
    const word k = c.w(q + 1);
    if (t <= 0) return -1;  // "NONE", or the default: off
    const std::int64_t sel = q + 2;
    const std::int64_t next = sel + static_cast<std::int64_t>(k) * width;
    if (k < 0 || next > end + 1) break;  // a damaged entry ends the walk
    const bool applies = t == kAllItems || SETTST(find_set(sets, kOtim, t), stpctr().NSTEPC) != 0;
    for (word j = 0; applies && j < k; ++j) {
      const std::int64_t at = sel + static_cast<std::int64_t>(j) * width;
      std::array<word, 2> s{c.w(at), width == 2 ? c.w(at + 1) : 0};
      s[0] = (s[0] == 0 || s[0] == kAllItems) ? 0 : find_set(sets, kSet, s[0]);
      if (width == 2 && s[1] != 0 && s[1] != kAllItems) s[1] = find_set(sets, kIpse, s[1]);
      if (listed(p, count, width, s)) continue;
      const std::int64_t to = static_cast<std::int64_t>(p) + 1 + static_cast<std::int64_t>(count) * width;
      c.w(to) = s[0];
      if (width == 2) c.w(to + 1) = s[1];
      ++count;
    }
    q = next;
  }
  if (count == 0) return -1;
  c.w(p) = count;
  return p;
}

}  // namespace

void check_core_plan(std::int64_t end, word limit) {
  if (end <= limit) return;
  const word available = CORLFT(1);
  const std::int64_t required = static_cast<std::int64_t>(available) + (end - limit);
  elem_fatal(-3, static_cast<word>(std::min<std::int64_t>(required, std::numeric_limits<word>::max())), available);
}

word SETTST(word set, word id) {
  const WordSpace& c = core();
  const word n = std::max<word>(c.w(set + 2), 0);
  return set_holds(c.words(static_cast<std::int64_t>(set) + 3, n), id) ? -1 : 0;
}

bool request_selects(word p, word width, word id) {
  const WordSpace& c = core();
  const word count = c.w(p);
  for (word j = 0; j < count; ++j) {
    const word s = c.w(static_cast<std::int64_t>(p) + 1 + static_cast<std::int64_t>(j) * width);
    if (s == 0 || SETTST(s, id) != 0) return true;
  }
  return false;
}

void resolve_requests(word file, std::span<const RequestName> names, std::span<word> words, word& next) {
  std::fill(words.begin(), words.end(), -1);
  next = 1;
  std::array<word, 6> h{};
  HDRGET(file, h);
  const word l1 = h[0];
  const word l2 = std::max<word>(h[1], 0);
  if (l1 < 1) return;

  // The two records go to words 1..L1+L2, below one buffer at the top.
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const std::int64_t end = static_cast<std::int64_t>(l1) + l2 + 1;
  check_core_plan(end, buffer);
  next = static_cast<word>(end);
  const WordSpace& c = core();
  DBOPEN(file, buffer, kRead);
  DBREAD(file, nullptr, 0, 1);
  DBREAD(file, c.words(1, l1).data(), l1, 1);
  if (l2 > 0)
    DBREAD(file, c.words(static_cast<std::int64_t>(l1) + 1, l2).data(), l2, 1);
  else
    DBREAD(file, nullptr, 0, 1);
  DBCLOS(file, kCloseRewind);

  // Request entries [name, N, N words]; a name met twice keeps its last entry.
  for (std::int64_t p = 1; p + 2 <= l1;) {
    const word n = c.w(p + 2);
    if (n < 0 || p + 2 + n > l1) break;  // a damaged record ends the walk
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto nm = name_words8(names[i].name);
      if (c.w(p) == nm[0] && c.w(p + 1) == nm[1]) words[i] = static_cast<word>(p);
    }
    p += n + 3;
  }
  const SetRecord sets{static_cast<std::int64_t>(l1) + 1, end};
  for (std::size_t i = 0; i < names.size(); ++i)
    if (words[i] > 0) words[i] = resolve_request(words[i], names[i].width, sets);
}

void OFPRQP(word ctrl, word& next) {
  resolve_requests(ctrl, kRequestNames, std::span<word>(ofpreq().w).first(kRequestNames.size()), next);
}

}  // namespace zephsol
