// Decoders of the model data groups: element types, materials, geometry and
// connectivity, properties, element groups. IFP1 runs them in a fixed order
// (DBETYP, DBMATD, DBSTRC, DBEGED, ..., DBELST); each reads its data groups
// card by card, reports every input error through IFPMSG and goes on, so
// that one run reports all errors of the deck.
//
// DBETYP: "ELEMENT" into the element type table ETYP (user type number,
//   element type code), at most 20 definitions. Messages: 2082, 2124 (also
//   for the type names that have no element descriptor), 2327; fatal 3821
//   through MSGPUT for a 21st definition.
// DBMATD: "MATERIAL" into MATD (206): one record of [L, entry] per material;
//   header [materials, record length, 0, 0, 0, 0]. Sets IFPDUN and IFPSGT
//   of IFPFLG and leaves the material identifiers at the start of the work
//   area (MATLST, NMATL; IFREE moves past them). Messages: 2000, 2081, 2082,
//   2104, 2143, 2518, 2522, 2524, 2601 (printed here), 2602 (a hyperbolic
//   "DCPA" or "DCK" that is not positive: refused), 2603 (a negative
//   modulus or cohesion, a Poisson's ratio outside -1 < nu < 0.5, a friction
//   angle outside 0 <= phi < 90, or a value that is not finite: refused);
//   fatal 4 ("MATD", 300)
//   for a 148th table pair; fatal 201.
// DBSTRC(scratch): "CONNECTI", "COORDINA", "NODE" into STRC (202): records
//   "COORDINA", "ELEMENT ", "NODE    "; header [systems, nodes, 0, elements,
//   0, 0]; purged when all three are empty. The elements pass through the
//   scratch data block. Messages: 2000, 2020, 2080, 2081, 2082, 2106, 2107,
//   2127, 2128, 2129, 2131, 2132, 2137, 2332, 2454, 2518; fatal 201.
// DBEGED: "PROPERTY" into EGED (208), one record [id, n, values] per
//   property; header [properties, longest record, 0, 0, 0, longest + 2];
//   and into the property table PRPTAB (first four values). Messages: 2000,
//   2081, 2082, 2141, 2518; fatal 3821 through MSGPUT for a 1001st property;
//   fatal 201.
// DBELST: "EGROUP" then "MGROUP" into ELST (207), one record [id, n, sorted
//   members] per group (a wide "F2" range gives only the elements the deck
//   defines, zephsol/input/idrange.h); header [EGROUP records, MGROUP
//   records, 0, 0, 0, longest record]; leaves the written "MGROUP"
//   identifiers at the start of the work area (MGRLST, NMGRP; IFREE moves
//   past them). Messages: 2000, 2022, 2024, 2081, 2082, 2104, 2120, 2440;
//   fatal 201.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void DBETYP();
void DBMATD();
void DBSTRC(word scratch);
void DBEGED();
void DBELST();

// The parts of DBSTRC.
// "CONNECTI" into one "ELEMENT " record of the scratch block, sorted by
// element identifier; the block is left closed and rewound.
void DBCONN(word scratch, word& nelem);
// "COORDINA" into the "COORDINA" record of the open data block `file`.
void DBCORD(word file, word& ncsys);
// "NODE" into the node table, sorted by identifier: list 2 of the list
// store, 6-word entries [id, coordinate system, 0, x, y, z].
void DBNODE(word& nnode);

}  // namespace zephsol
