// Fixtures of the equation-solution tests: symmetric matrices written as
// packed-column data blocks (both triangles, as the constraint reduction
// leaves KLL), USET and EQIX records in their model layouts, the factor read
// back string by string, and dense references (L D L^T without pivoting and
// a dense solve).
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// A dense symmetric matrix, a[i][j] with 0-based i, j.
using Dense = std::vector<std::vector<double>>;

Dense zeros(int n);

// Writes a as data block file: one column per column of a, every non-zero
// of both triangles (form 6) or of the lower one (form 4), double
// precision; the header is stored. buffer is an even open-core index with
// NBUFSZ words free.
void write_symmetric(word file, const Dense& a, word form = 6, word buffer = 2);

// Writes right-hand-side columns (form 2, double precision) of n rows.
void write_columns(word file, const std::vector<std::vector<double>>& cols, word buffer = 2);
// Reads every column of a matrix data block back as full vectors.
std::vector<std::vector<double>> read_columns(word file, word buffer = 2);

// Solves with the factor in data block lll (its header stored) for the
// right-hand-side columns b through FWBSUB, b written to data block rhs and
// the solution to sol; returns the solution columns.
std::vector<std::vector<double>> substitute(word lll, const std::vector<std::vector<double>>& b, word rhs, word sol,
                                            word sign = 1);

// One string of a factor column: its first row and its terms.
struct FactorString {
  word row = 0;
  std::vector<double> terms;
};
using FactorColumn = std::vector<FactorString>;
// Every column of a factor data block, string by string.
std::vector<FactorColumn> read_factor(word file, word buffer = 2);

// The terms of a factor column as (row, value), whatever its strings.
std::vector<std::pair<word, double>> terms_of(const FactorColumn& c);
// Two factors with terms at the same rows, equal to tol relative to the
// largest term of each column (tol 0: bit for bit).
void expect_factors_agree(const std::vector<FactorColumn>& got, const std::vector<FactorColumn>& want, double tol);

// USET: one record of the given DOF words; header [nG, 0, 0, DOFs with
// bit value 1 or 2, 0, OR of the words].
void write_uset(word file, const std::vector<word>& dof_words);
// EQIX: nodes (identifier, first equation, DOF count) in identifier order;
// record 1 pairs (identifier, internal number = position), record 2 pairs
// (identifier, first x 1024 + count); header [nodes, equations, largest
// count, 0, 0, 0].
struct EqixNode {
  word id, first, count;
};
void write_eqix(word file, const std::vector<EqixNode>& nodes);

// Dense L D L^T without pivoting: d[i] and l[j][i] (j > i), l unit lower.
struct Ldlt {
  std::vector<double> d;
  Dense l;
};
Ldlt dense_ldlt(const Dense& a);
// x with a x = b by Gaussian elimination with partial pivoting.
std::vector<double> dense_solve(Dense a, std::vector<double> b);

// A random symmetric positive definite matrix of order n with a ragged
// profile: column j reaches down to row j + reach (random up to width), with
// interior zeros; strongly diagonal so that it is well conditioned.
Dense ragged_spd(std::mt19937& rng, int n, int width, double zero_fraction = 0.3);

// Makes the reduced pivot of row q + 2 exactly 0 (rows are 1-based here,
// q 0-based): rows q + 1 and q + 2 form a 2 x 2 block of twos that no
// earlier row reaches, and row q + 2 reaches five further rows, which join
// at that pivot.
void plant_zero_pivot(Dense& a, int q);
// Clears row and column z (0-based): a null column that no row reaches.
void empty_row(Dense& a, int z);

// The open-core words of a fresh file system's core (CORLFT(1)).
word core_words();

}  // namespace zephsol::test
