// Row elimination kernel of the profile decomposition: SDCGET reads row i
// (column i of the matrix) and merges it with the rows already active and
// their pending updates into the reduced row; SDCUPD adds the row's
// contribution to the pending-update triangle of the rows that stay active;
// SDCPUT scales the row into column i of the factor and writes it.
//
// Active set of row i: the pivot i and every later row with a non-zero in
// row i of the reduced matrix, ascending, held in the index array (pivot
// first); a row that joins the active set at row i is stored negated until
// SDCPUT clears the mark. Row values a[1..m]: a[1] the pivot, a[k] the
// reduced entry of row idx[k]. Carried rows: the active set of the previous
// row without its pivot. Pending triangle T of the carried rows, packed by
// rows of its upper triangle: T(j, k) = sum over eliminated pivots p of
// a_pj a_pk / a_pp, and a_ij = K_ij - T(i, j).
//
// The kernels share the decomposition control block (sdcblk()): current row,
// active count m, growth flag, rows to update, active-column limit NC, error
// flag, and the control blocks of the matrix and the factor.
//
// Messages: "DECOMPOSITION ABORTED AT" row "-TH ROW BECAUSE OF NULL COLUMN"
// or "ZERO DIAGONAL" (error flag 1), "NUMBER OF ACTIVE COLUMNS" m "AT ROW" i
// "EXCEEDED THE LIMIT OF" NC (error flag 2), printed on units 6 and 999;
// fatal 924 (row, first carried row) when a carried row lies above the row.
#pragma once

#include <span>

#include "zephsol/solve/solve_records.h"

namespace zephsol {

// Reads the next column record of data block file (open for reading, type
// 2) as column col: its first stored row and its terms at or below the
// diagonal.
void read_kll_column(word file, word col, KllColumn& out);

// Reads row i = sdcblk().row, from the columns read ahead when there are
// any, and merges it with the n = sdcblk().carried rows of carried and the
// first row t1 of their pending triangle (n doubles; not read when the pivot
// is not carried). Sets the active count, the growth flag and, on failure,
// the error flag. idx and a hold at least NC entries.
void SDCGET(std::span<word> idx, std::span<double> a, std::span<const word> carried, const double* t1);

// Updates the first q = sdcblk().update rows of the new triangle from the
// old one: row idx[k+1] gets s a[j] for j = k+1..m plus its old pending
// value, s = a[k+1] / a[1]. The new triangle may start at or below the old
// one and overlap it. A zero pivot let pass (m < 0) updates nothing: its
// rows are carried over, new rows with zero pending values.
void SDCUPD(std::span<const word> idx, std::span<const double> a, const double* old_t, double* new_t);

// Clears the marks and, when a factor data block is given, writes column i
// of the factor: d_i, then a_ji / d_i, as strings of consecutive non-zero
// terms; a row with m <= 0 gives an empty column.
void SDCPUT(std::span<word> idx, std::span<double> a);

// Writes one factor column of sdcblk().lll: the pivot value at row, then the
// values at the rows given (ascending, after row), zeros left out; strings
// break at zeros and gaps in the rows. An empty column when pivot is 0.0.
// Counts the column in the factor's control block.
void put_factor_column(word row, double pivot, std::span<const word> rows, std::span<const double> vals);

}  // namespace zephsol
