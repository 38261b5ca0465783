// DBCONN: elements from "CONNECTI" cards into the "ELEMENT " record of the
// scratch data block. An element card gives the identifier, the user type
// number, the property and material identifiers and nodes 1-6 (fields 5-10);
// continuation cards (field 1 blank) give nine more nodes each in fields
// 2-10. Nodes are stored in the element's internal order.
#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/typerow.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

// ---- Internal node order ---------------------------------------------------------

// Puts the nodes in the type's internal order (its row's node order).
void reorder(word iecod, std::span<word> nodes) {
  const ElementType* row = element_type(iecod);
  if (row == nullptr || row->order.empty()) return;
  std::array<word, ESTCOM::kMaxNode> given{};
  std::copy(nodes.begin(), nodes.end(), given.begin());
  for (std::size_t i = 0; i < row->order.size() && i < nodes.size(); ++i)
    nodes[i] = given[static_cast<std::size_t>(row->order[i] - 1)];
}

// True for a type whose third node only orients the section and may be blank.
bool orients_section(word iecod) {
  const ElementType* row = element_type(iecod);
  return row != nullptr && row->attr.orient_node;
}

// ---- Work lists ----------------------------------------------------------------------

constexpr word kBucketList = 1;
constexpr word kEntryList = 2;  // [id, type, property, material, link, node offset, 0, n]
constexpr word kNodeList = 3;   // node identifiers of the elements, in entry order
constexpr word kEntryWords = 8;
constexpr word kLinkWord = 5;

// State of the element decoder between cards.
struct Reader {
  IdChains chains;
  bool prev_error = false;     // continuation cards of a refused element are passed over
  bool have_type = false;      // ETYCOM holds the type of an earlier element
  word last_material = 0;      // the last material found in the material list
};

// The ETYP position of user type number `type`, 0 when it is not defined.
word type_position(word type) {
  const ETYP& t = elem_state().tables.etyp;
  for (word j = 1; j <= t.count; ++j)
    if (t.entry[static_cast<std::size_t>(j - 1)][0] == type) return j;
  return 0;
}

// Loads the descriptor of the element's type; false (2131) when the type is
// not defined, or is -1 ("as before") with no earlier type.
bool load_type(Reader& r, word id, word type) {
  if (type == -1) {
    if (r.have_type) return true;
    IFPMSG(2131, id, type);
    return false;
  }
  const word j = type_position(type);
  if (j == 0) {
    IFPMSG(2131, id, type);
    return false;
  }
  ETYPDS(j, 1);
  r.have_type = true;
  return true;
}

void check_property(word prop) {
  const word np = etycom().NP;
  if (np > 0 && prop < 1) IFPMSG(2127);
  if (np == 0 && prop > 0) IFPMSG(-2128);
}

bool material_defined(word mat) {
  const CRDCOM& c = crdcom();
  if (c.NMATL <= 0) return false;
  const std::span<const word> ids = core().words(c.MATLST, c.NMATL);
  return std::find(ids.begin(), ids.end(), mat) != ids.end();
}

void check_material(Reader& r, word id, word mat) {
  if (mat < 1) return IFPMSG(2129);
  if (mat == r.last_material) return;
  if (material_defined(mat)) {
    r.last_material = mat;
    return;
  }
  IFPMSG(2332, id, mat);
  r.last_material = 0;
}

// Reads the n node identifiers: fields 5-10 of the element card, then fields
// 2-10 of continuation cards; the last card read stays current and `last`
// receives its last field read. A card that is not a continuation, or the
// end of the group, is 2518: false, with that card at hand.
bool read_nodes(GroupCards& cards, std::span<word> nodes, word& last) {
  const auto n = static_cast<word>(nodes.size());
  word got = 0;
  for (word first = 5;; first = 2) {
    for (last = first; last <= kFields && got < n; ++last)
      nodes[static_cast<std::size_t>(got++)] = int_field(last, 0).value;
    --last;
    if (got == n) return true;
    cards.next();
    if (!cards.more() || cards.set_card()) {
      IFPMSG(2518);
      return false;
    }
  }
}

// The nodes of an element whose first card is card `first_card`: 2137 names
// the card that holds the node, -2132 the last card.
void check_nodes(std::span<const word> nodes, word iecod, word last, word first_card) {
  constexpr std::size_t kFirstCardNodes = 6, kCardNodes = 9;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const bool orientation = i == 2 && orients_section(iecod);
    if (nodes[i] >= 1 || orientation) continue;
    const std::size_t card = i < kFirstCardNodes ? 0 : 1 + (i - kFirstCardNodes) / kCardNodes;
    const AboutCard about(first_card + static_cast<word>(card));
    IFPMSG(2137, static_cast<word>(i + 1));
  }
  if (last + 1 <= kFields && !field_blank(last + 1)) IFPMSG(-2132, static_cast<word>(nodes.size()));
}

void store(Reader& r, std::span<const word> head, std::span<const word> nodes) {
  if (r.chains.find(head[0]) != 0) return IFPMSG(2081, head[0]);
  const std::array<word, kEntryWords> entry = {head[0], head[1], head[2], head[3], 0, lst_length(kNodeList), 0,
                                               static_cast<word>(nodes.size())};
  r.chains.add(entry);
  list_append(kNodeList, nodes);
}

// Decodes the element whose first card is at hand and leaves the card after
// it at hand; false when the element is refused.
bool element_card(GroupCards& cards, Reader& r) {
  const IntField id = int_field(1, 0);
  const word type = int_field(2, 0).value;
  const word prop = int_field(3, 0).value;
  const word mat = int_field(4, 0).value;
  bool ok = true;
  if (id.value < 1) {
    if (id.status != kFieldError) IFPMSG(2082);
    ok = false;
  }
  if (!load_type(r, id.value, type)) {
    cards.next();
    return false;
  }
  check_property(prop);
  check_material(r, id.value, mat);
  std::array<word, ESTCOM::kMaxNode> buf{};
  const std::span<word> nodes(buf.data(), static_cast<std::size_t>(etycom().NN));
  word last = 0;
  const word first_card = crdcom().CARDNO;
  if (!read_nodes(cards, nodes, last)) return false;
  check_nodes(nodes, etycom().IECOD, last, first_card);
  reorder(etycom().IECOD, nodes);
  if (ok) {
    const AboutCard about(first_card);
    store(r, std::array<word, 4>{id.value, type, prop, mat}, nodes);
  }
  cards.next();
  return ok;
}

// Writes the "ELEMENT " record: the header and word count, then the entries
// in ascending order of identifier, each followed by its node identifiers.
void write_elements(word scratch, word nelem) {
  const std::span<word> entries = lst_words(kEntryList);
  const std::span<const word> nodes = lst_words(kNodeList);
  SORTIR(kEntryWords, 1, entries, nelem);
  DBOPEN(scratch, crdcom().BUFOUT, kWrite);
  write_head(scratch, "ELEMENT ", kEntryWords * nelem + static_cast<word>(nodes.size()));
  for (word e = 0; e < nelem; ++e) {
    const std::span<word> entry = entries.subspan(static_cast<std::size_t>(e * kEntryWords), kEntryWords);
    const auto offset = static_cast<std::size_t>(entry[5]);
    entry[4] = 0;
    entry[5] = 0;
    write_words(scratch, entry);
    write_words(scratch, nodes.subspan(offset, static_cast<std::size_t>(entry[7])));
  }
  end_record(scratch);
  DBCLOS(scratch, kCloseRewind);
}

}  // namespace

void DBCONN(word scratch, word& nelem) {
  nelem = 0;
  if (!group_has_data(GRP_CONNECTI)) return;
  if (elem_state().tables.etyp.count <= 0) {
    GRPOPN(GRP_CONNECTI);  // the message names the group's header card
    return IFPMSG(2020);
  }
  GroupCards cards(GRP_CONNECTI);
  const CRDCOM& c = crdcom();
  const word nbuckets = IdChains::buckets_for(grptab().at(GRP_CONNECTI).NCARD);
  open_lists({{nbuckets, nbuckets}, {1024, 1024}, {1024, 1024}}, c.IFREE, c.BUFOUT);
  Reader r{IdChains{kBucketList, kEntryList, kLinkWord, nbuckets}};
  r.chains.init();
  while (cards.more()) {
    if (cards.set_card()) {
      r.prev_error = !element_card(cards, r);
      continue;
    }
    if (!r.prev_error) IFPMSG(2000, 1, 8);
    cards.next();
  }
  nelem = lst_length(kEntryList) / kEntryWords;
  if (nelem > 0) write_elements(scratch, nelem);
}

}  // namespace zephsol
