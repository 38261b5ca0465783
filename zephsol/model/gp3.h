// GP3: loads and temperatures.
//
// GP3(LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD) turns the decoded load sets
// of LOAD into the tables the construction history reads. Node identifiers
// become equation words, element identifiers element sequence numbers
// (positions in CONE), nodal loads given in a local system are turned into
// the basic system and every element load is checked against its type.
//   TMPD  one file per temperature set, in input order: ["TEMP", set,
//         elements found], then per found element in ascending sequence
//         number [sequence number, NN x 16, NN times the temperature];
//         header [sets, 0, NE, 0, 0, longest record];
//   LDDT  one file per force set, "NLOAD" sets first, then "DLOAD", "BODY"
//         and the "INIT STR" set: ["FORC", set x 10 + kind, 1 nodal or 2
//         element loads], then for nodal loads one record of [equation word,
//         d components in the basic system] per node in input order (d the
//         node's DOF count), for element loads one record per loaded element
//         in ascending sequence number [sequence number, items, items of
//         (kind, c, c load words)] with c the type's word count for the
//         kind; header [NLOAD + DLOAD + BODY sets, longest element record,
//         1 nodal + 2 element loads + 8 initial stresses, NE, NEQ, longest
//         record]. A set that keeps no entry (2440) writes no file and is
//         still counted in header word 1. Without force sets LDDT is not
//         touched.
// Identifiers that a wide range of a set left out of LOAD (none of them
// defined) are reported in their places as undefined, as if LOAD held them.
//
// Messages (user errors, the run ends after the module; printed while at
// most 100 were counted, 2440 always, then the total line): 2428 and 2423
// undefined element, 2425 temperature on a type that takes none (written
// all the same), 2421 undefined node, 2357 loaded component beyond the
// node's DOF count (the entry is kept), 2356 undefined coordinate system
// (the values stay as given), 2451 indefinite direction of a cylindrical or
// spherical system at the node (the values stay as given), 2188 a load kind
// the element type does not take (a body force on a joint, gap, spring or
// contact element is kept with no words instead), 2424 an element given a
// second initial stress in the "INIT STR" set (the later one is dropped),
// 2440 a set that keeps no entry. Fatal: -3 short of core, -4 a set too
// large for the open core, -2621 a LOAD record out of order, -8015 ("IFTP")
// an unknown load kind, -900/-904/-905 LOAD data that disagrees with its
// header, -3825 ("CONE", 100) and -2 ("CONE") malformed CONE records.
#pragma once

#include <array>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void GP3(word LOAD, word EQIX, word CSTM, word NODC, word CONE, word LDDT, word TMPD);

// Turns the d load components of values, given in the coordinate system of
// the 15-word CSTM record `system` at the node position x, into the basic
// system in place (d = 2 or 4: pairs in the x-y plane; otherwise triples,
// forces then moments). ids = [set, node] for message 2451, after which the
// values stay as given.
void GP3DIR(std::span<float> values, word d, std::span<const word> system, std::span<const float, 3> x,
            std::array<word, 2> ids);

}  // namespace zephsol
