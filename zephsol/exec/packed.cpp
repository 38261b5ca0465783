// Packed symmetric kernels: Cholesky factor, inverse and matrix-vector product.
#include "zephsol/exec/packed.h"

#include <cassert>
#include <cmath>

namespace zephsol {

namespace {

// The terms of a packed matrix addressed by 1-based (row, column), row <= column.
template <class T>
class Packed {
 public:
  Packed(T* a, int n) : a_(a), n_(n) {}
  T& operator()(int i, int j) const { return a_[packed_index(i, j, n_)]; }

 private:
  T* a_;
  int n_;
};

std::size_t packed_size(word n) { return n > 0 ? static_cast<std::size_t>(n) * (n + 1) / 2 : 0; }

// Single-precision tolerance of the inverse, widened: 9.9999998245e-15.
constexpr float kInverseTolerance = 1.0E-14f;

}  // namespace

void PKCHOL(std::span<double> A, word n, double tol, word& info) {
  if (n < 1) {
    info = -1;
    return;
  }
  assert(A.size() >= packed_size(n));
  info = 0;
  const Packed<double> u(A.data(), n);
  // Row i of U: U(i,j) = (A(i,j) - sum_k<i U(k,i) U(k,j)) / U(i,i).
  for (int i = 1; i <= n; ++i) {
    const double small = std::abs(tol * u(i, i));
    double r = 0.0;
    for (int j = i; j <= n; ++j) {
      double s = u(i, j);
      for (int k = 1; k < i; ++k) s -= u(k, i) * u(k, j);
      if (j == i) {
        if (s <= small) {
          if (s <= 0.0) {
            info = -1;
            return;
          }
          if (info == 0) info = i;
        }
        u(i, i) = std::sqrt(s);
        r = 1.0 / u(i, i);
      } else {
        u(i, j) = s * r;
      }
    }
  }
}

void PKINV(std::span<double> A, word n, word& info) {
  PKCHOL(A, n, static_cast<double>(kInverseTolerance), info);
  if (info != 0) return;
  const Packed<double> a(A.data(), n);
  // W = U^-1 in place, last row first: W(i,i) = 1/U(i,i),
  // W(i,j) = -W(i,i) sum_{m=i+1..j} U(i,m) W(m,j), j descending so that the
  // terms U(i,m), m <= j, are still those of U.
  for (int i = n; i >= 1; --i) {
    const double wii = 1.0 / a(i, i);
    a(i, i) = wii;
    for (int j = n; j > i; --j) {
      double s = 0.0;
      for (int m = i + 1; m <= j; ++m) s += a(i, m) * a(m, j);
      a(i, j) = -wii * s;
    }
  }
  // A^-1 = W W^T: (i,j) = sum_{m=j..n} W(i,m) W(j,m); rows ascending and j
  // ascending only overwrite terms no later sum reads.
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) {
      double s = 0.0;
      for (int m = j; m <= n; ++m) s += a(i, m) * a(j, m);
      a(i, j) = s;
    }
  }
}

void PKMVEC(std::span<const double> A, std::span<const double> x, word n, std::span<double> y) {
  if (n < 1) return;
  assert(A.size() >= packed_size(n) && x.size() >= static_cast<std::size_t>(n) &&
         y.size() >= static_cast<std::size_t>(n));
  const Packed<const double> a(A.data(), n);
  // y(i) = sum_{j<=i} A(j,i) x(j) + sum_{j>i} A(i,j) x(j).
  for (int i = 1; i <= n; ++i) {
    double s = 0.0;
    for (int j = 1; j <= n; ++j) s += a(j, i) * x[j - 1];
    y[i - 1] = s;
  }
}

}  // namespace zephsol
