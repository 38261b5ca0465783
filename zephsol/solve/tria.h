// Decomposition module TRIA: factors the L-set stiffness KLL into the lower
// triangular factor LLL = L D L^T (unit lower L, pivots D on the diagonal)
// by the profile decomposition SDCOMP, a row-by-row active-column
// elimination that keeps the triangle of pending updates of the active rows
// in open core and, when that triangle cannot fit, moves parts of it through
// the scratch data blocks 301 and 302 in spill groups.
//
// Reads KLL (square symmetric, form 6 or 4, double precision; terms above the
// diagonal are skipped), USET and EQIX (only to name the node of a failing
// row). Writes LLL: column i holds the pivot d_i at row i, then l_ji = a_ij /
// d_i for the active rows j > i in ascending order, as strings of
// consecutive non-zero terms; a row let pass by "AUTOSPC" has an empty
// column. Header [N, N, 4, type of KLL, largest column, density], density =
// trunc(terms / (N x N) x 10000 + 0.5). An empty KLL is accepted when the L
// set is empty: nothing is factored and LLL is not written.
//
// Messages: fatal 10 (KLL, "KLL ") an empty KLL with an L set; 3105 (printed)
// a KLL that is not square, symmetric and double precision, then fatal 999;
// fatal 3 (required, available) open core below 4N words; the row kernel's
// lines for a null column, a zero pivot (error flag 1) and an active count
// above the limit (then fatal 999); fatal 911 to 914 logic checks of the row
// loop; after a failed row, information message 3151 naming its node and
// component (fatal 711 "USET" or "SIL " when they cannot be found), IERFLG =
// 1 and LLL released. The spill groups add their own (sdcspl.h).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: four data block numbers (227, 218, 212 and 230 in the main
// program). A failed decomposition sets IERFLG = 1.
void TRIA(word KLL, word USET, word EQIX, word LLL);

// Profile decomposition of the matrix of sdcblk().kll into sdcblk().lll in
// the z words of open core from the odd index first (sdcblk() holds the
// matrix control block, the factor's number, 0 for no factor, and the two
// scratch numbers, 0 for no spilling). failrow = 0 on success, else the row
// at which a null column or zero pivot stopped it (the factor released);
// sdcblk().lll then holds the factor's header words.
void SDCOMP(word first, word z, word& failrow);

}  // namespace zephsol
