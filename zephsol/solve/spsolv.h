// Iterative and sparse solve driver SPSOLV: solves K x = b (or -b) for the
// first right-hand-side column of the solve control block solblk() by
// conjugate gradients (method 1, pcg.h) or the sparse library (method 2,
// mfsolv.h), in one work array.
//
// The lower triangle of K is loaded into compressed-column storage in the
// array (IA, JA as words, the values as doubles), the terms above the
// diagonal passed over; the right-hand side follows, then the solver's own
// arrays. The data-block buffer lies at the array's top, over arrays that
// are not alive while K and b are read and x is written. Layout, words of
// the array from 1, M the term capacity, nnz the terms of the lower
// triangle (counted):
//   IA n + 1 words, JA M words, then doubles from the first odd word after:
//   method 1: A (M), b, x (n each), L (M), u, r, z (n each),
//             M = (LWORK - 11 n - 1) / 5, at least 11 n + 5 nnz + 1 words;
//   method 2: A (nnz), b, x (n each), the library's array W to the end.
// The tolerance is PCGTOL (0 or above 0.5: 1.0E-6; below 2^-47: 1000 x
// 2^-47), the iteration limit PCGMXI (below 1: the larger of n and 100).
//
// The solution's control block gets the right-hand side's form and type, n
// rows, one column and density trunc(terms / (n x rhs columns) x 10000 +
// 0.5); the caller stores its header.
//
// Messages: 3102 (printed) a wrong matrix or right-hand-side header, then
// fatal 999; 3108 (printed) a column whose stored part does not start on the
// diagonal, then fatal 999; fatal 5 (method 1) or 6 (method 2) (needed,
// LWORK) a work array too small; fatal 777 (column, M) more terms than the
// capacity; 1001 (printed, IERFLG = 1, RUNEND) no convergence; fatal
// -(6000 + ier) a failure of the sparse library (5001 to 5999) or its work
// space (6001).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The work array: lwork words of the word space from the odd index first.
void SPSOLV(word first, word lwork, word method);

// The tolerance and the iteration limit of the conjugate gradients for n
// equations, from PCGTOL and PCGMXI.
float iteration_tolerance();
word iteration_limit(word n);

}  // namespace zephsol
