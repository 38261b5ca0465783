// DBETYP: the element type table from "ELEMENT" cards (field 1 the user type
// number, field 2 the element type name).
#include <array>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/msg.h"
#include "zephsol/input/decoders.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/decwork.h"
#include "zephsol/input/ifpmsg.h"

namespace zephsol {

namespace {

bool defined(const ETYP& t, word number) {
  for (word i = 0; i < t.count; ++i)
    if (t.entry[static_cast<std::size_t>(i)][0] == number) return true;
  return false;
}

// Decodes the current card into the table.
void type_card(ETYP& t) {
  const std::array<word, 2> name = name_field(2);
  word code = 0;
  ETYPCD(name, code);
  // A name that decodes to a type without an element descriptor is refused
  // like an unknown name, so that every other input error is still reported.
  if (!ETYPHD(code)) return IFPMSG(2124, 0, name);
  const word number = int_field(1, 0).value;
  if (number <= 0) return IFPMSG(2082, number);
  if (defined(t, number)) return IFPMSG(2327, number);
  if (t.count >= ETYP::kMax) MSGPUT(-3821, t.count + 1, ETYP::kMax);
  t.entry[static_cast<std::size_t>(t.count)] = {number, code};
  ++t.count;
}

}  // namespace

void DBETYP() {
  ETYP& t = elem_state().tables.etyp;
  t.count = 0;
  if (!group_has_data(GRP_ELEMENT)) return;
  for (GroupCards cards(GRP_ELEMENT); cards.more(); cards.next()) type_card(t);
}

}  // namespace zephsol
