// Zeroing of load terms on inactive DOFs, PGMDFY: at the first step of an
// excavation interval every component of the initial-stress load vector
// that belongs to a DOF on no active element (USET bit value 512) is set to
// zero, so that no force is applied where no element remains.
//
// Reads USET and the first column of IN (a matrix of nG rows; rows 0 in its
// header: no vector, nothing is written). Writes OUT: one column of nG rows,
// form 2, type IPREC, zero terms left out; header [1, nG, 2, IPREC, largest
// column, trunc(terms / nG x 10000)]. IN and OUT may be the same data block:
// the vector is read whole before it is written.
//
// Open core: the vector (nG doubles) from word 1, the USET record after it,
// one buffer at the top.
//
// Messages (fatal): 701 (IN, its rows) rows other than nG; 3 (required,
// available) open core too small.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: three data block numbers (218, 239, 239 in the main program).
void PGMDFY(word USET, word IN, word OUT);

}  // namespace zephsol
