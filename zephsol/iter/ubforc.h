// Release forces of an excavation, UBFORC.
//
// At the first step of an interval that removes element groups, the force
// that the removed elements carried is released onto the remaining model:
//   DPGM = PGM - sum over active elements of FE,  FE = sum w B^T sigma,
// PGM being the equivalent nodal force of the current stresses and sigma the
// stresses of EIV0 (fresh states when EIV0 is 0 or holds no record). The
// elements listed in XCLD (ascending) contribute nothing, so in equilibrium
// DPGM is the force of the removed elements.
//
// Reads EST, EIV0, PGM (one column of nG rows; empty: zeros; absent, rows 0,
// as before any initial stress: zeros over the NEQ equations of EQIX) and
// XCLD (the inactive elements of the interval; 0: none). Writes DPGM: one
// column of nG rows, form 2, type IPREC.
// Open core: the force vector from word 1 and the state-record area above
// it; at the top one buffer used in turn by XCLD, PGM, EST and DPGM, one for
// EIV0 below it, and the XCLD list directly below that.
// Messages (fatal): 3 (needed, available) open core too small; the element
// routines' own (for instance 5000, a type without element routines).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: data block numbers.
void UBFORC(word EST, word EIV0, word PGM, word XCLD, word DPGM);

}  // namespace zephsol
