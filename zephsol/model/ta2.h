// TA2: element group lists.
//
// TA2(ELST, CONE, IELS) replaces the element identifiers of the groups of
// ELST by element sequence numbers (positions in CONE) and writes IELS:
//   - one record per EGROUP, in ELST order: [group, n, n sequence numbers
//     ascending without repeats]; identifiers not in CONE are left out;
//   - when MGROUP records exist, one record of NE words: per element in
//     CONE order its MGROUP identifier (the one read last), 0 for none.
// Header [EGROUP records, MGROUP records, 0, 0, 0, longest ELST record];
// all zero without groups; IELS is released ("UNLD") when errors were
// counted.
//
// Messages: 1704 element of a group not in CONE (user error); warning 1705
// an element listed in a second group of the same kind (not counted); the
// total line past 100. Fatal: -3 short of core, -3825 ("CONE", 100) and -2
// ("CONE") for malformed or missing CONE records.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void TA2(word ELST, word CONE, word IELS);

}  // namespace zephsol
