// Forward and backward substitution FWBSUB: solves K x = b (or -b) for the
// right-hand-side columns with the factor LLL = L D L^T of the profile
// decomposition (tria.h). The right-hand sides are solved in batches of as
// many columns as fit in open core; the factor is read forward once and
// backward once per batch. An empty right-hand-side column gives an empty
// solution column without being solved; with "AUTOSPC" a null factor column
// gives a zero solution component.
//
// Everything but the open core comes from the solve control block solblk():
// the factor, the right-hand sides (rows = the factor's, form 1 or 2,
// double precision) and the solution's data block number, and the sign (<
// 0: solve for -b). The solution's control block is completed: columns as
// many as the right-hand sides, rows N, form and type of the right-hand
// sides, largest column, density = trunc(terms / (N x columns) x 10000 +
// 0.5); the caller stores it as the header.
//
// Messages: 3102 (printed) a wrong factor or right-hand-side header, then
// fatal 999; 3103 (printed) a factor column whose first term is not a
// non-zero diagonal, a string above the diagonal, or a null column without
// "AUTOSPC", then fatal 999; fatal 3 (2N + 1, words) open core below one
// column.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Solves with the z words of open core from the odd index first.
void FWBSUB(word first, word z);

}  // namespace zephsol
