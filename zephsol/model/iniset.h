// INISE2 and INISET: initial element states and initial stress.
//
// INISE2(LDDT, EST, INCD, IELS, PGM, EIV0) writes a fresh state record for
// every element of EST into EIV0 (EST order) with the starting values that
// beams, joints and contact elements need (INIST2): BEAM2 point 1 with block
// 8 on and its twelve end forces zero; joints and CNT2 every point with
// block 11 on, joint state 2, its value and stresses 1-3 zero.
//
// INISET(LDDT, EST, INCD, IELS, PGM, EIV0) runs only when LDDT holds an
// "INIT STR" set (header word 3 bit 8): it writes EIV0 again, with the
// initial stress of the set applied (INISTA) to every element that is
// active at the start (not in a group that the construction history removes
// before its first interval: INCD record 1 through IELS), and writes PGM, the
// nodal forces that balance those stresses: one double column of NEQ rows,
// PGM = sum over the stressed elements of the internal force integral B^T
// sigma. Elements without an entry, and inactive elements with one, keep the
// starting values of INISE2.
//
// Initial stress of an entry (S1..S6 = sigma x, y, z, tau xy, yz, zx; all
// twelve for BEAM2): BEAM2 the twelve end forces of block 8; JOINT4 (S1, S2,
// 0) and the other joints and CNT2 (S1, S2, S3) at every point with joint
// state 2; other types the class's normal components S1.. then its shears
// from S4 on (class 6 takes S6 for S5) at every point.
//
// EIV0 header [elements, largest record, EST type bits, largest points,
// union of block flags, 1]; PGM header [1, NEQ, 2, IPREC, largest column,
// terms].
//
// Messages: warning 1302 with the number of inactive elements that had an
// initial stress (sets IWRNFL). Fatal: -3 short of core; -4 ("XCLD")
// inactive list overflow; -2621 ("INST", "LDDT") the initial-stress file
// missing; -3825 ("LDDT", limit) an entry longer than LDDT says, -2 ("LDDT")
// a file without entry; -711 ("LDDT", 8) after "0**** LDDT TABLE DUMP" and
// the entry's first words, an entry that is not one initial stress.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void INISE2(word LDDT, word EST, word INCD, word IELS, word PGM, word EIV0);
void INISET(word LDDT, word EST, word INCD, word IELS, word PGM, word EIV0);

// Starting values of the current element's fresh record (channel A).
void INIST2();
// Applies the initial stress of an entry [element, 1, 8, 13, word, S1..S12]
// to the current element's record (channel A).
void INISTA(std::span<const word> entry);

}  // namespace zephsol
