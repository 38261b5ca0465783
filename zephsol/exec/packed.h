// Kernels on small symmetric matrices in packed form, for the element and
// material routines: a Cholesky factorisation with a relative pivot test,
// the inverse of a symmetric positive definite matrix, and the product of a
// packed matrix with a vector.
//
// A packed symmetric matrix of order n holds its upper triangle row by row
// in n (n + 1) / 2 doubles: term (i, j), i <= j, at 1-based position
// (i - 1)(2n - i + 2) / 2 + (j - i) + 1; term (j, i) is the same term.
// The kernels allocate nothing and work in place. They raise no messages.
#pragma once

#include <cstddef>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// 0-based array index of term (i, j) (1-based, either order) of a packed
// symmetric matrix of order n.
constexpr std::size_t packed_index(int i, int j, int n) noexcept {
  if (i > j) {
    const int t = i;
    i = j;
    j = t;
  }
  return static_cast<std::size_t>((i - 1) * (2 * n - i + 2) / 2 + (j - i));
}

// A = U^T U: A is overwritten by the upper factor U in the same layout.
// info: 0 when every pivot s passed s > |tol A(i,i)|; i when row i was the
// first with a small positive pivot (the factor is still completed); -1 for
// n < 1 or a pivot that is zero or negative (the factor is then incomplete).
void PKCHOL(std::span<double> A, word n, double tol, word& info);
// A := A^-1 through PKCHOL with the tolerance 1.0E-14 (single precision).
// info is PKCHOL's; when it is not 0, A is left holding the partial factor.
void PKINV(std::span<double> A, word n, word& info);
// y := A x.
void PKMVEC(std::span<const double> A, std::span<const double> x, word n, std::span<double> y);

}  // namespace zephsol
