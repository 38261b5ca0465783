// DBLOAD: the load decoders.
//
// Writes LOAD from six data groups: "TEMPERAT" and "PRESTRES" (element
// temperature and prestress sets, read in the same form) through DBTEMP and
// DBPRST, and "NLOAD" (nodal loads, kind 1), "DLOAD" (distributed element
// loads, kind 2), "BODY" (body forces, kind 7) and "INIT STR" (initial
// stresses, kind 8: one set 0 without a set card) through DBFORC. Ranges of
// nodes or elements are expanded into one entry per node or element; a wide
// range only over those the deck defines (zephsol/input/idrange.h).
//
// LOAD (data block 204), each record only when it has a set: "TEMP" records
// [name, 1] with per set [identifier, n] and n pairs [element, value
// (REAL)]; then one "FORCE" record per kind [name, kind] with per set
// [identifier, 1], [m x W + 1, kind] and m entries of W words (9 for kind 1,
// 11 for kinds 2 and 7, 17 for kind 8): [node or element, d x 256 + c,
// coordinate system (kind 1) or load type word (kind 2) or 0, then the
// values of components 1 to W - 3 (REAL, 0.0 outside c to d)]. Header:
// [NLOAD sets, DLOAD sets, BODY sets, flags (1 nodal loads; 2 element loads,
// body forces, temperatures or prestresses; 8 with 2 the initial stresses),
// sets of the last of DBTEMP and DBPRST that ran, 0]. Released when no set
// was written.
//
// Run-wide words: IFPPRS of IFPFLG (-1 when "PRESTRES" holds data, else 0)
// and IGRAV (the gravity axis for the point law: 1, 2 or 3, the last axis
// along which a "BODY" value is negative; 0 without one).
//
// Messages (decoder, all fatal): 2000, 2081, 2082 (set cards); 2021 node,
// 2022 element, 2024 step, 2026 component outside 1-6, 2027 components
// reversed (also in "DLOAD": a blank last component defaults to 3), 2106
// coordinate system, 2193 load type word, 2871 component outside 1-8, 2440
// set without data, 2518 continuation card missing, 2120 a range that cannot be expanded in its set,
// 2876 "TEMPERAT" together with "PRESTRES" (the load module reads one
// temperature record); fatal 201 through MSGPUT when LOAD is not a closed
// data block.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void DBLOAD();
// "TEMPERAT" (DBTEMP) or "PRESTRES" (DBPRST) sets into the open data block
// file; nsets the number of sets written.
void DBTEMP(word file, word& nsets);
void DBPRST(word file, word& nsets);
// Sets of force kind 1 "NLOAD", 2 "DLOAD", 7 "BODY" or 8 "INIT STR" into the
// open data block file; nsets the number of sets written.
void DBFORC(word file, word& nsets, word kind);

// The run-wide word of the load decoders that lives outside IFPFLG.
struct LoadWords {
  word IGRAV = 0;  // gravity axis 1-3 set by the "BODY" values, 0 without one
};
LoadWords& load_words() noexcept;

}  // namespace zephsol
