// DBNODE and DBCORD: nodes from "NODE" cards into the node table, and
// coordinate systems from "COORDINA" cards into the "COORDINA" record.
//
// A node card gives the identifier, the coordinate system and x, y, z in
// fields 1-5. A coordinate system takes two cards: identifier, type (1-3)
// and the first two points in fields 1-8, then the third point in fields
// 3-5 of a continuation card (fields 1 and 2 blank).
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

// ---- Nodes ------------------------------------------------------------------------

constexpr word kNodeBuckets = 1;
constexpr word kNodeEntries = 2;  // [id, coordinate system, link, x, y, z]
constexpr word kNodeWords = 6;
constexpr word kNodeLink = 3;
constexpr word kNodeReserve = 1800;

// The coordinate system of field 2: a value below 1 written in the field is
// 2106 and becomes 0 (the basic system).
word node_system() {
  const IntField cs = int_field(2, 0);
  if (cs.status == kFieldRead && cs.value < 1) {
    IFPMSG(2106, cs.value);
    return 0;
  }
  return cs.value;
}

void node_card(const IdChains& chains) {
  const word id = int_field(1, 0).value;
  const word cs = node_system();
  const std::array<word, kNodeWords> entry = {id, cs, 0, real_word(real_field(3, 0.0f)),
                                              real_word(real_field(4, 0.0f)), real_word(real_field(5, 0.0f))};
  const word pos = chains.find(id);
  if (pos == 0) return chains.add(entry);
  // A repeated identifier: the later card is adopted in the same place.
  IFPMSG(-2080, id, 0);
  const WordSpace& c = core();
  c.w(pos + 1) = cs;
  for (int k = 3; k < kNodeWords; ++k) c.w(pos + k) = entry[static_cast<std::size_t>(k)];
}

// ---- Coordinate systems -------------------------------------------------------------

constexpr word kSystems = 1;  // 12-word entries [id, type, 0, 9 REAL point coordinates]
constexpr word kSystemWords = 12;

bool system_defined(word id) {
  const std::span<const word> s = lst_words(kSystems);
  for (std::size_t at = 0; at < s.size(); at += kSystemWords)
    if (s[at] == id) return true;
  return false;
}

// Checks the first card of a system; false when the system is refused.
bool system_card_valid(word& id, word& type) {
  const IntField f1 = int_field(1, 0);
  const IntField f2 = int_field(2, 1);
  id = f1.value;
  type = f2.value;
  bool ok = true;
  if (id < 1) {
    if (f1.status != kFieldError) IFPMSG(2082);
    ok = false;
  } else if (system_defined(id)) {
    IFPMSG(2081, id);
    ok = false;
  }
  if (type < 1 || type > 3) {
    IFPMSG(2107, type);
    ok = false;
  }
  return ok;
}

void take_points(std::array<word, kSystemWords>& entry, std::size_t at, word first, word last) {
  for (word k = first; k <= last; ++k) entry[at++] = real_word(real_field(k, 0.0f));
}

// Decodes the system whose first card is at hand, with its second card, and
// leaves the card after them at hand; false when the system is refused. A
// card that is not a continuation, or the end of the group, is 2518, with
// that card left at hand.
bool system_cards(GroupCards& cards) {
  word id = 0, type = 0;
  if (!system_card_valid(id, type)) {
    cards.next();
    return false;
  }
  std::array<word, kSystemWords> entry = {id, type, 0};
  take_points(entry, 3, 3, 8);
  cards.next();
  if (!cards.more() || cards.set_card()) {
    IFPMSG(2518);
    return false;
  }
  if (!field_blank(2)) IFPMSG(-2000, 9, 16);
  take_points(entry, 9, 3, 5);
  list_append(kSystems, entry);
  cards.next();
  return true;
}

}  // namespace

void DBNODE(word& nnode) {
  nnode = 0;
  if (!group_has_data(GRP_NODE)) return;
  const CRDCOM& c = crdcom();
  const word nbuckets = IdChains::buckets_for(grptab().at(GRP_NODE).NCARD);
  open_lists({{nbuckets, nbuckets}, {kNodeReserve, kNodeReserve}}, c.IFREE, c.BUFSCR);
  const IdChains chains{kNodeBuckets, kNodeEntries, kNodeLink, nbuckets};
  chains.init();
  for (GroupCards cards(GRP_NODE); cards.more(); cards.next()) {
    if (cards.set_card())
      node_card(chains);
    else
      IFPMSG(2000, 1, 8);
  }
  const std::span<word> table = lst_words(kNodeEntries);
  nnode = static_cast<word>(table.size()) / kNodeWords;
  SORTIR(kNodeWords, 1, table, nnode);
  for (std::size_t at = kNodeLink - 1; at < table.size(); at += kNodeWords) table[at] = 0;
}

void DBCORD(word file, word& ncsys) {
  ncsys = 0;
  if (!group_has_data(GRP_COORDINA)) return;
  const CRDCOM& c = crdcom();
  open_lists({{40 * kSystemWords, 40 * kSystemWords}}, c.IFREE, c.BUFSCR);
  GroupCards cards(GRP_COORDINA);
  bool prev_error = false;
  while (cards.more()) {
    if (cards.set_card()) {
      prev_error = !system_cards(cards);
      continue;
    }
    if (!prev_error) IFPMSG(2000, 1, 8);
    cards.next();
  }
  const std::span<const word> s = lst_words(kSystems);
  ncsys = static_cast<word>(s.size()) / kSystemWords;
  if (ncsys == 0) return;
  write_head(file, "COORDINA", kSystemWords * ncsys);
  write_words(file, s);
  end_record(file);
}

}  // namespace zephsol
