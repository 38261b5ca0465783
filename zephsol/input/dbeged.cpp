// DBEGED: properties from "PROPERTY" cards into EGED and PRPTAB. A property
// card gives the identifier (field 1), the number of values n (field 2,
// default 1) and the first eight values (fields 3-10); continuation cards
// (field 1 blank) give nine more each in fields 2-10.
#include <algorithm>
#include <array>
#include <cstddef>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/msg.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

constexpr word kProps = 1;  // work list: [id, n, n values] per property
constexpr word kReserve = 1000;

// A walk over the properties of the work list.
struct Walk {
  std::span<word> w;
  std::size_t at = 0;
  bool done() const { return at >= w.size(); }
  // The property at the walk's position: [id, n, values].
  std::span<word> current() const { return w.subspan(at, static_cast<std::size_t>(w[at + 1]) + 2); }
  void step() { at += static_cast<std::size_t>(w[at + 1]) + 2; }
};

bool stored(word id) {
  for (Walk p{lst_words(kProps)}; !p.done(); p.step())
    if (p.current()[0] == id) return true;
  return false;
}

// Checks the property card; true when the property may be stored.
bool property_card_valid(word& id, word& n) {
  const IntField f1 = int_field(1, 0);
  const IntField f2 = int_field(2, 1);
  id = f1.value;
  n = f2.value;
  bool ok = true;
  if (id < 1) {
    if (f1.status != kFieldError) IFPMSG(2082);
    ok = false;
  } else if (stored(id)) {
    IFPMSG(2081, id);
    ok = false;
  }
  if (n < 1) {
    IFPMSG(2141, n);
    ok = false;
  }
  return ok;
}

// Appends the values of fields first..10 of the current card while fewer
// than n are read.
void take_values(word first, word n, word& got) {
  for (word k = first; k <= kFields && got < n; ++k, ++got) {
    const word v = real_word(real_field(k, 0.0f));
    list_append(kProps, {&v, 1});
  }
}

// Reads the values of the property whose [id, n] lies at word `head` of the
// work list, and leaves the card after them at hand. A property whose cards
// end before n values keeps the values read (2518); a card that begins the
// next property stays at hand for the caller.
void read_values(GroupCards& cards, word head, word n) {
  word got = 0;
  take_values(3, n, got);
  cards.next();
  while (got < n) {
    if (!cards.more() || cards.set_card()) {
      IFPMSG(2518);
      break;
    }
    take_values(2, n, got);
    cards.next();
  }
  lst_words(kProps)[static_cast<std::size_t>(head + 1)] = got;
}

void decode(GroupCards& cards, word& count) {
  bool in_error = false;
  while (cards.more()) {
    if (!cards.set_card()) {
      if (!in_error) IFPMSG(2000, 1, 8);
      cards.next();
      continue;
    }
    word id = 0, n = 0;
    in_error = !property_card_valid(id, n);
    if (in_error) {
      cards.next();
      continue;
    }
    if (count >= PRPTAB::kMax) MSGPUT(-3821, count + 1, PRPTAB::kMax);
    const word head = lst_length(kProps);
    const word w[2] = {id, n};
    list_append(kProps, w);
    read_values(cards, head, n);
    ++count;
  }
}

// Row k (0-based) of PRPTAB: identifier, n, and the first min(n, 4) values.
void table_row(PRPTAB& t, std::size_t k, std::span<const word> p) {
  t.id[k] = p[0];
  t.nval[k] = p[1];
  const auto nv = std::min<std::size_t>(static_cast<std::size_t>(p[1]), t.value.size());
  for (std::size_t v = 0; v < nv; ++v) t.value[v][k] = word_real(p[2 + v]);
  t.count = static_cast<word>(k + 1);
}

void write_eged(word count) {
  PRPTAB& t = elem_state().tables.prptab;
  const word file = open_output_block("EGED");
  word longest = 0;
  std::size_t k = 0;
  for (Walk p{lst_words(kProps)}; !p.done(); p.step(), ++k) {
    const std::span<word> rec = p.current();
    write_words(file, rec);
    end_record(file);
    longest = std::max(longest, static_cast<word>(rec.size()));
    table_row(t, k, rec);
  }
  DBCLOS(file, kCloseRewind);
  const std::array<word, 6> header = {count, longest, 0, 0, 0, longest + 2};
  HDRPUT(file, header);
}

}  // namespace

void DBEGED() {
  elem_state().tables.prptab.count = 0;
  if (!group_has_data(GRP_PROPERTY)) return;
  const CRDCOM& c = crdcom();
  open_lists({{kReserve, kReserve}}, c.IFREE, c.BUFSCR);
  GroupCards cards(GRP_PROPERTY);
  word count = 0;
  decode(cards, count);
  if (count > 0) write_eged(count);
}

}  // namespace zephsol
