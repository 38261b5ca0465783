// Test support for the numerical phases: symmetric matrices by their lower
// triangle, model problems (7-point Laplacian, matrices with hexahedral
// node coupling, saddle points), residuals in long double, and a problem
// driven through every entry of the library.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "support/structure.h"
#include "zephsol/sparse/sparse.h"

namespace zephsol::sparse {

// Lower triangle (row >= column), 1-based, caller numbering.
struct Sym {
  i32 n = 0;
  std::map<std::pair<i32, i32>, double> a;  // (column, row): column-major order
  void add(i32 i, i32 j, double v) { a[{std::min(i, j), std::max(i, j)}] += v; }
  Pairs pairs() const {
    Pairs p;
    for (const auto& [cr, v] : a)
      if (cr.first != cr.second) p.insert(cr);
    return p;
  }
  // Compressed lower-triangle columns with values.
  void columns(std::vector<i32>& colptr, std::vector<i32>& rowind, std::vector<double>& vals) const {
    colptr.assign(1, 1);
    rowind.clear();
    vals.clear();
    i32 col = 1;
    for (const auto& [cr, v] : a) {
      while (col < cr.first) {
        colptr.push_back(static_cast<i32>(rowind.size()) + 1);
        ++col;
      }
      rowind.push_back(cr.second);
      vals.push_back(v);
    }
    while (col <= n) {
      colptr.push_back(static_cast<i32>(rowind.size()) + 1);
      ++col;
    }
  }
  std::vector<double> times(const std::vector<double>& x) const {
    std::vector<long double> y(n, 0.0L);
    for (const auto& [cr, v] : a) {
      const i32 j = cr.first - 1, i = cr.second - 1;
      y[i] += static_cast<long double>(v) * x[j];
      if (i != j) y[j] += static_cast<long double>(v) * x[i];
    }
    return std::vector<double>(y.begin(), y.end());
  }
  // ||A x - b||_inf / (||A||_inf ||x||_inf + ||b||_inf), in long double.
  double residual(const std::vector<double>& x, const std::vector<double>& b) const {
    std::vector<long double> y(n, 0.0L), rs(n, 0.0L);
    for (const auto& [cr, v] : a) {
      const i32 j = cr.first - 1, i = cr.second - 1;
      y[i] += static_cast<long double>(v) * x[j];
      rs[i] += std::fabs(static_cast<long double>(v));
      if (i != j) {
        y[j] += static_cast<long double>(v) * x[i];
        rs[j] += std::fabs(static_cast<long double>(v));
      }
    }
    long double r = 0, an = 0, xn = 0, bn = 0;
    for (i32 i = 0; i < n; ++i) {
      r = std::max(r, std::fabs(y[i] - b[i]));
      an = std::max(an, rs[i]);
      xn = std::max(xn, std::fabs(static_cast<long double>(x[i])));
      bn = std::max(bn, std::fabs(static_cast<long double>(b[i])));
    }
    return static_cast<double>(r / (an * xn + bn));
  }
  std::vector<double> dense() const {
    std::vector<double> d(static_cast<std::size_t>(n) * n, 0.0);
    for (const auto& [cr, v] : a) {
      d[static_cast<std::size_t>(cr.first - 1) * n + cr.second - 1] = v;
      d[static_cast<std::size_t>(cr.second - 1) * n + cr.first - 1] = v;
    }
    return d;
  }
};

// The 7-point Laplacian of a k x k x k grid, shifted: 6 - sigma on the
// diagonal, -1 to each neighbour.
inline Sym laplace3d(i32 k, double sigma = 0.0) {
  Sym s;
  s.n = k * k * k;
  auto id = [k](i32 x, i32 y, i32 z) { return (z * k + y) * k + x + 1; };
  for (i32 z = 0; z < k; ++z)
    for (i32 y = 0; y < k; ++y)
      for (i32 x = 0; x < k; ++x) {
        const i32 p = id(x, y, z);
        s.add(p, p, 6.0 - sigma);
        if (x + 1 < k) s.add(id(x + 1, y, z), p, -1.0);
        if (y + 1 < k) s.add(id(x, y + 1, z), p, -1.0);
        if (z + 1 < k) s.add(id(x, y, z + 1), p, -1.0);
      }
  return s;
}

// Number of eigenvalues of the Laplacian below sigma: the eigenvalues are
// sums of three terms 4 sin^2(pi j / (2 (k+1))), j = 1..k.
inline i64 laplace3d_below(i32 k, double sigma) {
  std::vector<double> t(k);
  for (i32 j = 1; j <= k; ++j) {
    const double s = std::sin(M_PI * j / (2.0 * (k + 1)));
    t[j - 1] = 4.0 * s * s;
  }
  i64 count = 0;
  for (double a : t)
    for (double b : t)
      for (double c : t) count += a + b + c < sigma;
  return count;
}

// A matrix with the coupling of a hexahedral mesh, dof freedoms per node:
// the sum over the elements of random symmetric positive definite element
// matrices G^T G + I/10 (G random), positive definite and not diagonally
// dominant like a stiffness matrix.
inline Sym hex_matrix(i32 nx, i32 ny, i32 nz, i32 dof, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Sym s;
  s.n = (nx + 1) * (ny + 1) * (nz + 1) * dof;
  auto node = [&](i32 i, i32 j, i32 k) { return (k * (ny + 1) + j) * (nx + 1) + i; };
  const i32 m = 8 * dof;
  std::vector<double> g(static_cast<std::size_t>(m) * m);
  for (i32 k = 0; k < nz; ++k)
    for (i32 j = 0; j < ny; ++j)
      for (i32 i = 0; i < nx; ++i) {
        std::vector<i32> eq;
        for (i32 c = 0; c < 8; ++c)
          for (i32 d = 0; d < dof; ++d) eq.push_back(node(i + (c & 1), j + ((c >> 1) & 1), k + (c >> 2)) * dof + d + 1);
        for (double& x : g) x = u(rng);
        for (i32 a = 0; a < m; ++a)
          for (i32 b = 0; b <= a; ++b) {
            double v = a == b ? 0.1 : 0.0;
            for (i32 r = 0; r < m; ++r) v += g[r * m + a] * g[r * m + b];
            s.add(eq[a], eq[b], v / m);
          }
      }
  return s;
}

// A symmetric indefinite matrix with the coupling of a hexahedral mesh:
// random entries, diagonal of either sign, a share of them zero (pivots
// are then delayed from child to parent fronts).
inline Sym indefinite(i32 nx, i32 dof, unsigned seed, double zero_share = 0.0) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Sym a;
  a.n = (nx + 1) * (nx + 1) * (nx + 1) * dof;
  for (auto [i, j] : hex_structure(nx, nx, nx, dof)) a.add(i, j, u(rng));
  for (i32 i = 1; i <= a.n; ++i) a.add(i, i, u(rng) < 2 * zero_share - 1 ? 0.0 : 4.0 * u(rng));
  return a;
}

// The compressed graph in its own order instead of the nested dissection.
inline void natural_order(i32 nvtxs, const iword*, const iword*, iword* perm, iword* iperm) {
  for (i32 k = 0; k < nvtxs; ++k) perm[k] = iperm[k] = k + 1;
}

// [[K, B^T], [B, 0]] with the nc constraint rows numbered first, each tying
// three freedoms of K: eliminated in this order the constraints meet zero
// pivots in the leaf fronts and travel up as delayed columns.
inline Sym saddle(i32 nx, i32 nc, unsigned seed) {
  const Sym k = hex_matrix(nx, nx, nx, 3, seed);
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.5, 1.5);
  std::uniform_int_distribution<i32> pick(1, k.n);
  Sym a;
  a.n = k.n + nc;
  for (const auto& [cr, v] : k.a) a.add(cr.second + nc, cr.first + nc, v);
  for (i32 c = 1; c <= nc; ++c) {
    a.add(c, c, 0.0);
    for (int t = 0; t < 3; ++t) a.add(pick(rng) + nc, c, t == 1 ? -u(rng) : u(rng));
  }
  return a;
}

// Right-hand sides with entries in [-1, 1].
inline std::vector<double> random_rhs(i32 n, i32 nrhs, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> b(static_cast<std::size_t>(n) * nrhs);
  for (double& x : b) x = u(rng);
  return b;
}

// A matrix through every entry of the library, with the host's units.
struct SparseRun {
  i32 n;
  i32 lwork;
  std::vector<double> work;
  i32 ier = 0;
  const char* failed = "";
  double cond = 0.0;
  i32 inertia[3] = {0, 0, 0};
  i32 need = 0, needmn = 0;
  double front_tri = 0.0;  // largest front's packed triangle as the analysis predicts it

  SparseRun(const Sym& a, i32 lw, i32 msglvl = 0, i32 msgunit = 0) : n(a.n), lwork(lw), work(lw) {
    start(a, msglvl, msgunit);
  }
  // Options set between the initialisation and the phases.
  SparseRun(const Sym& a, i32 lw, const std::map<int, double>& options) : n(a.n), lwork(lw), work(lw) {
    start(a, 0, 0, &options);
  }

  void start(const Sym& a, i32 msglvl, i32 msgunit, const std::map<int, double>* options = nullptr) {
    xdslin(n, 'S', msglvl, msgunit, 11, 12, 13, 14, 15, 17, work.data(), lwork, ier);
    if (options)
      for (auto [k, v] : *options) work[static_cast<std::size_t>(k)] = v;
    std::vector<i32> colptr, rowind;
    std::vector<double> vals;
    a.columns(colptr, rowind, vals);
    i32 scratch = 0;
    if (ier == 0) xdslim('A', colptr, rowind, work.data(), lwork, ier);
    if (ier == 0) xdslif(work.data(), lwork, scratch, ier);
    if (ier == 0) xdslom(work.data(), lwork, scratch, ier);
    if (ier == 0) xdslsf(work.data(), lwork, need, needmn, ier);
    front_tri = work[39];
    if (ier != 0) {
      failed = "analysis";
      return;
    }
    factorise(a);
  }
  // A value cycle and the factorisation.
  void factorise(const Sym& a) {
    std::vector<i32> colptr, rowind;
    std::vector<double> vals;
    a.columns(colptr, rowind, vals);
    xdslvm('A', colptr, rowind, vals, work.data(), lwork, ier);
    if (ier == 0) xdslvf(work.data(), lwork, ier);
    if (ier == 0) xdslfa(work.data(), lwork, cond, inertia, ier);
    if (ier != 0) failed = "values or factorisation";
  }
  std::vector<double> solve(std::vector<double> b, i32 nrhs = 1) {
    i32 e = 0;
    xdslsl(nrhs, b.data(), n, work.data(), lwork, e);
    EXPECT_EQ(e, 0);
    return b;
  }
  double word(int k) const { return work[static_cast<std::size_t>(k)]; }
};

}  // namespace zephsol::sparse
