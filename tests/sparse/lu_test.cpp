// LU factorisation and solution of matrices declared unsymmetric
// (symmetric structure, unsymmetric values): residuals in long double and
// UMFPACK's solutions (SuiteSparse) for convection-diffusion matrices and
// random matrices that delay pivots, the same solutions in every work
// layout, the inertia words of the LU path, and its failures.
#include <gtest/gtest.h>

#include <umfpack.h>

#include <map>
#include <random>

#include "support/matrix.h"
#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

// A matrix by its entries (row, column), 1-based.
struct Unsym {
  i32 n = 0;
  std::map<std::pair<i32, i32>, double> a;  // (column, row): column-major order
  void set(i32 i, i32 j, double v) { a[{j, i}] = v; }
  // Full columns with values, and the lower triangle of the structure.
  void columns(std::vector<i32>& colptr, std::vector<i32>& rowind, std::vector<double>& vals, bool lower) const {
    colptr.assign(1, 1);
    rowind.clear();
    vals.clear();
    i32 col = 1;
    for (const auto& [cr, v] : a) {
      while (col < cr.first) {
        colptr.push_back(static_cast<i32>(rowind.size()) + 1);
        ++col;
      }
      if (lower && cr.second < cr.first) continue;
      rowind.push_back(cr.second);
      vals.push_back(v);
    }
    while (col <= n) {
      colptr.push_back(static_cast<i32>(rowind.size()) + 1);
      ++col;
    }
  }
  // ||A x - b||_inf / (||A||_inf ||x||_inf + ||b||_inf), in long double.
  double residual(const std::vector<double>& x, const std::vector<double>& b) const {
    std::vector<long double> y(n, 0.0L), rs(n, 0.0L);
    for (const auto& [cr, v] : a) {
      y[cr.second - 1] += static_cast<long double>(v) * x[cr.first - 1];
      rs[cr.second - 1] += std::fabs(static_cast<long double>(v));
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
};

// Convection-diffusion on a k^dim grid, central differences: 2 dim on the
// diagonal, -1 -/+ c/2 to the neighbours below/above in each direction (c
// the cell Peclet number of that direction).
Unsym convection(i32 k, int dim, const double* c) {
  Unsym m;
  m.n = dim == 2 ? k * k : k * k * k;
  const i32 kz = dim == 2 ? 1 : k;
  auto id = [k](i32 x, i32 y, i32 z) { return (z * k + y) * k + x + 1; };
  for (i32 z = 0; z < kz; ++z)
    for (i32 y = 0; y < k; ++y)
      for (i32 x = 0; x < k; ++x) {
        const i32 p = id(x, y, z);
        const i32 q[3] = {x, y, z};
        m.set(p, p, 2.0 * dim);
        for (int d = 0; d < dim; ++d) {
          i32 lo[3] = {x, y, z}, hi[3] = {x, y, z};
          --lo[d];
          ++hi[d];
          if (q[d] > 0) m.set(p, id(lo[0], lo[1], lo[2]), -1.0 - c[d] / 2);
          if (q[d] + 1 < k) m.set(p, id(hi[0], hi[1], hi[2]), -1.0 + c[d] / 2);
        }
      }
  return m;
}

// Random values on the coupling of a hexahedral mesh, a share of the
// diagonal zero: pivots must be delayed.
Unsym random_unsym(i32 nx, i32 dof, double zero_share, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Unsym m;
  m.n = (nx + 1) * (nx + 1) * (nx + 1) * dof;
  for (auto [i, j] : hex_structure(nx, nx, nx, dof)) {
    m.set(i, j, u(rng));
    m.set(j, i, u(rng));
  }
  for (i32 i = 1; i <= m.n; ++i) m.set(i, i, u(rng) < 2 * zero_share - 1 ? 0.0 : 3.0 * u(rng));
  return m;
}

// A matrix through every entry of the library as an unsymmetric one.
struct LuRun {
  i32 n, lwork;
  std::vector<double> work;
  i32 need = 0, needmn = 0;  // work of the factor in work, and the least work
  i32 ier = 0;
  const char* failed = "";
  double cond = 0.0;
  i32 inertia[3] = {0, 0, 0};

  LuRun(const Unsym& m, i32 lw, const std::map<int, double>& options = {}, i32 lunit5 = 15, i32 msglvl = 0)
      : n(m.n), lwork(lw), work(static_cast<std::size_t>(lw)) {
    xdslin(n, 'U', msglvl, kMsgUnit, 11, 12, 13, 14, lunit5, 17, work.data(), lwork, ier);
    for (auto [k, v] : options) work[static_cast<std::size_t>(k)] = v;
    std::vector<i32> colptr, rowind;
    std::vector<double> vals;
    m.columns(colptr, rowind, vals, true);
    if (ier == 0) xdslim('A', colptr, rowind, work.data(), lwork, ier);
    if (ier == 0) xdslif(work.data(), lwork, need, ier);
    if (ier == 0) xdslom(work.data(), lwork, need, ier);
    if (ier == 0) xdslsf(work.data(), lwork, need, needmn, ier);
    if (ier != 0) {
      failed = "analysis";
      return;
    }
    m.columns(colptr, rowind, vals, false);
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
  std::vector<double> diag() const {
    const double* d = work.data() + static_cast<i64>(word(68)) - 1;
    return {d, d + n};
  }
};

std::vector<double> umfpack_solve(const Unsym& m, const std::vector<double>& b) {
  std::vector<i32> colptr, rowind;
  std::vector<double> vals;
  m.columns(colptr, rowind, vals, false);
  for (i32& p : colptr) --p;
  for (i32& r : rowind) --r;
  void *sym = nullptr, *num = nullptr;
  EXPECT_EQ(umfpack_di_symbolic(m.n, m.n, colptr.data(), rowind.data(), vals.data(), &sym, nullptr, nullptr),
            UMFPACK_OK);
  EXPECT_EQ(umfpack_di_numeric(colptr.data(), rowind.data(), vals.data(), sym, &num, nullptr, nullptr), UMFPACK_OK);
  std::vector<double> x(m.n);
  EXPECT_EQ(umfpack_di_solve(UMFPACK_A, colptr.data(), rowind.data(), vals.data(), x.data(), b.data(), num, nullptr,
                             nullptr),
            UMFPACK_OK);
  umfpack_di_free_numeric(&num);
  umfpack_di_free_symbolic(&sym);
  return x;
}

double max_rel_diff(const std::vector<double>& x, const std::vector<double>& y) {
  double d = 0, s = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    d = std::max(d, std::abs(x[i] - y[i]));
    s = std::max(s, std::abs(y[i]));
  }
  return d / s;
}

class LuFactorisation : public SparseTest {};

TEST_F(LuFactorisation, ConvectionDiffusionAgreesWithUmfpack) {
  const double mild[3] = {0.8, -0.5, 0.3}, strong[3] = {6.0, -3.0, 4.0};
  struct Case {
    const char* what;
    Unsym m;
    std::map<int, double> options;
  };
  const std::vector<Case> cases = {
      {"2D 40x40", convection(40, 2, mild), {}},
      {"2D 40x40 convection-dominated, pvttol 0.5", convection(40, 2, strong), {{171, 0.5}}},
      {"2D 40x40 without pivoting", convection(40, 2, mild), {{171, 0.0}}},
      {"3D 12^3", convection(12, 3, mild), {}},
      {"3D 12^3 convection-dominated, pvttol 0.5, narrow panels", convection(12, 3, strong),
       {{171, 0.5}, {173, 5}, {183, 3}}},
      {"3D 10^3 block widths below 1", convection(10, 3, strong), {{173, 0}, {183, -4}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LuRun r(c.m, 6000000, c.options);
    ASSERT_EQ(r.ier, 0) << r.failed;
    EXPECT_EQ(r.inertia[0], -1);
    EXPECT_EQ(r.inertia[1], -1);
    EXPECT_EQ(r.inertia[2], -1);
    EXPECT_EQ(r.word(0), 50.0);
    EXPECT_EQ(r.word(54), 0.0);
    const auto b = random_rhs(c.m.n, 1, 3);
    const auto x = r.solve(b);
    EXPECT_LT(c.m.residual(x, b), 1e-12);
    EXPECT_LT(max_rel_diff(x, umfpack_solve(c.m, b)), 1e-10);
    EXPECT_GE(r.cond, 1.0);
  }
}

TEST_F(LuFactorisation, DelayedPivotsOfZeroDiagonals) {
  for (double zeros : {0.2, 0.6}) {
    SCOPED_TRACE(zeros);
    const Unsym m = random_unsym(4, 2, zeros, 17);
    LuRun r(m, 6000000, {{171, 0.1}, {173, 4}});
    ASSERT_EQ(r.ier, 0) << r.failed;
    // More index-list entries than the symbolic phase gave: pivots were
    // delayed to the parents.
    EXPECT_GT(r.word(43), r.word(32));
    const auto b = random_rhs(m.n, 3, 5);
    const auto x = r.solve(b, 3);
    for (int q = 0; q < 3; ++q) {
      const std::vector<double> bq(b.begin() + q * m.n, b.begin() + (q + 1) * m.n),
          xq(x.begin() + q * m.n, x.begin() + (q + 1) * m.n);
      EXPECT_LT(m.residual(xq, bq), 1e-10);
      EXPECT_LT(max_rel_diff(xq, umfpack_solve(m, bq)), 1e-8);
    }
    // The delayed columns read back from the stack file.
    bool spilled = false;
    for (double share : {1.0, 0.9, 0.8}) {
      LuRun small(m, static_cast<i32>(share * r.word(4)), {{171, 0.1}, {173, 4}});
      if (small.ier != 0) continue;
      EXPECT_EQ(small.solve(b, 3), x);
      spilled = spilled || small.word(146) > 0.0;
    }
    EXPECT_TRUE(spilled);
  }
}

TEST_F(LuFactorisation, ALeafWithoutAnyPivotPassesAllItsColumnsUp) {
  // Equations 1-5 (zero diagonals) form a leaf supernode with one index
  // row, 6; the natural order and no amalgamation keep 6 and 7 apart. The
  // leaf takes no pivot and hands its five columns, with more words than
  // its front's index area, to its parent.
  Unsym m;
  m.n = 7;
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (i32 i = 1; i <= 6; ++i)
    for (i32 j = 1; j <= 6; ++j) m.set(i, j, i == j ? (i == 6 ? 8.0 : 0.0) : u(rng));
  m.set(6, 7, u(rng));
  m.set(7, 6, u(rng));
  m.set(7, 7, 3.0);
  library_state().order_hook = [](i32 nv, const iword*, const iword*, iword* perm, iword* iperm) {
    for (i32 k = 1; k <= nv; ++k) perm[k - 1] = iperm[k - 1] = k;
  };
  LuRun r(m, 100000, {{182, 0.0}});
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.word(31), 2.0);
  EXPECT_EQ(r.word(43), r.word(32) + 5);
  const auto b = random_rhs(7, 1, 2);
  const auto x = r.solve(b);
  EXPECT_LT(m.residual(x, b), 1e-14);
  EXPECT_LT(max_rel_diff(x, umfpack_solve(m, b)), 1e-12);
}

TEST_F(LuFactorisation, LessWorkGivesTheSameSolution) {
  const double c3[3] = {5.0, -2.0, 1.0};
  const Unsym m = convection(9, 3, c3);
  const auto b = random_rhs(m.n, 2, 9);
  LuRun big(m, 6000000, {{171, 0.3}});
  ASSERT_EQ(big.ier, 0) << big.failed;
  const auto x = big.solve(b, 2);
  // Less work: the factor leaves work for the two factor files during the
  // run and comes back at its end; with less still the update matrices go
  // to the stack file and the factor stays on its files for the solution.
  bool moved = false, spilled = false, left = false;
  for (double share : {4.0, 2.0, 1.5, 1.1, 1.0, 0.9}) {
    const auto lw = static_cast<i32>(share * big.word(4));
    SCOPED_TRACE(lw);
    LuRun r(m, lw, {{171, 0.3}});
    ASSERT_EQ(r.ier, 0) << r.failed;
    EXPECT_EQ(r.solve(b, 2), x);
    EXPECT_EQ(r.cond, big.cond);
    moved = moved || (r.word(145) > 0.0 && r.word(54) == 0.0);
    spilled = spilled || r.word(146) > 0.0;
    left = left || r.word(54) == 1.0;
  }
  EXPECT_TRUE(moved);
  EXPECT_TRUE(spilled);
  EXPECT_TRUE(left);
  // Matrix entries on the value file: the factor stays on its files.
  for (double keep : {0.0, 1.0}) {
    LuRun r(m, 6000000, {{171, 0.3}, {cw::vstore, 1.0}, {cw::keeprow, keep}});
    ASSERT_EQ(r.ier, 0) << r.failed;
    EXPECT_EQ(r.word(54), 1.0);
    EXPECT_EQ(r.solve(b, 2), x);
  }
}

TEST_F(LuFactorisation, FailuresOfTheSecondFactorFileNameIt) {
  const double c3[3] = {5.0, -2.0, 1.0};
  const Unsym m = convection(9, 3, c3);
  LuRun big(m, 6000000, {{171, 0.3}});
  ASSERT_EQ(big.ier, 0) << big.failed;
  const auto lw = static_cast<i32>(0.9 * big.word(4));  // the factor stays on its files
  const std::string line = "     on word addressable i/o file no. " + std::string(13, ' ') + "15";
  for (FileOp op : {FileOp::Open, FileOp::Write}) {
    scratch_fail(15, op, 1);
    LuRun r(m, lw, {{171, 0.3}}, 15, 1);
    EXPECT_EQ(r.ier, -511);
    EXPECT_EQ(messages().back(), line);
    library_state().files.faults.clear();
    scratch_close_all();
  }
  LuRun r(m, lw, {{171, 0.3}}, 15, 1);
  ASSERT_EQ(r.ier, 0) << r.failed;
  ASSERT_EQ(r.word(54), 1.0);
  scratch_fail(15, FileOp::Read, 1);
  auto b = random_rhs(m.n, 1, 4);
  i32 ier = 0;
  xdslsl(1, b.data(), m.n, r.work.data(), r.lwork, ier);
  EXPECT_EQ(ier, -605);
  EXPECT_EQ(messages().back(), "     xdslsl on word addressable i/o file no.         15");
}

// With the least work the largest fronts are built and eliminated on the
// front file: D, the condition estimate and the solutions are those of the
// run with everything in work, word for word.
TEST_F(LuFactorisation, FrontsOnTheFrontFileGiveTheResultsOfTheRunInWork) {
  const double mild[3] = {0.8, -0.5, 0.3}, strong[3] = {6.0, -3.0, 4.0}, c3[3] = {5.0, -2.0, 1.0};
  struct Case {
    const char* what;
    Unsym m;
    std::map<int, double> options;
    double tol;  // residual
  };
  const std::vector<Case> cases = {
      {"2D 40x40 convection-dominated, pvttol 0.5", convection(40, 2, strong), {{171, 0.5}, {173, 8}, {183, 4}},
       1e-12},
      {"2D 40x40 without pivoting", convection(40, 2, mild), {{171, 0.0}, {173, 8}, {183, 4}}, 1e-12},
      {"3D 12^3", convection(12, 3, mild), {}, 1e-12},
      {"3D 12^3 narrow panels", convection(12, 3, strong), {{171, 0.5}, {173, 5}, {183, 3}}, 1e-12},
      {"delayed pivots, 20 % zero diagonal", random_unsym(4, 2, 0.2, 17), {{171, 0.1}, {173, 4}}, 1e-10},
      {"delayed pivots, 60 % zero diagonal", random_unsym(4, 2, 0.6, 17), {{171, 0.1}, {173, 4}}, 1e-10},
      {"entries on the value file", convection(9, 3, c3), {{171, 0.3}, {cw::vstore, 1.0}, {cw::keeprow, 1.0}},
       1e-12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LuRun big(c.m, 6000000, c.options);
    ASSERT_EQ(big.ier, 0) << big.failed;
    const auto b = random_rhs(c.m.n, 2, 7);
    const auto x = big.solve(b, 2);
    // The least work (below the analysis' figure when the entries are on
    // the value file), and a little more.
    bool on_file = false;
    for (double share : {0.8, 1.0, 1.2}) {
      const auto lw = static_cast<i32>(share * big.needmn);
      SCOPED_TRACE(lw);
      LuRun r(c.m, lw, c.options);
      if (share < 1.0 && r.ier == -501) continue;
      ASSERT_EQ(r.ier, 0) << r.failed;
      on_file = on_file || r.word(149) > 0.0;  // fronts were built on the front file
      EXPECT_EQ(r.diag(), big.diag());
      EXPECT_EQ(r.cond, big.cond);
      const auto y = r.solve(b, 2);
      EXPECT_EQ(y, x);
      for (int q = 0; q < 2; ++q) {
        const std::vector<double> bq(b.begin() + q * c.m.n, b.begin() + (q + 1) * c.m.n),
            yq(y.begin() + q * c.m.n, y.begin() + (q + 1) * c.m.n);
        EXPECT_LT(c.m.residual(yq, bq), c.tol);
        EXPECT_LT(max_rel_diff(yq, umfpack_solve(c.m, bq)), c.tol == 1e-12 ? 1e-10 : 1e-8);
      }
      scratch_close_all();
    }
    EXPECT_TRUE(on_file);
  }
}

TEST_F(LuFactorisation, AFrontBeyondTheStackAreaNeedsTheFrontFile) {
  // With too little work even for one front beside an empty stack, a
  // disabled front file is a factor-storage failure (-507).
  const double c3[3] = {5.0, -2.0, 1.0};
  const Unsym m = convection(9, 3, c3);
  LuRun big(m, 6000000, {{171, 0.3}});
  ASSERT_EQ(big.ier, 0) << big.failed;
  LuRun without(m, big.needmn, {{171, 0.3}, {cw::lunit6, -1.0}});
  EXPECT_EQ(without.ier, -507);
}

// A failure of the k-th transfer on a unit while fronts are built and
// eliminated on the front file (and their panels and update matrices
// written from there), for k = 1, 2, 4, ... until the run has fewer
// transfers: each ends the factorisation with the unit's error and names
// the unit.
TEST_F(LuFactorisation, FileFailuresAroundFrontsOnTheFrontFileNameTheirUnit) {
  const double c3[3] = {5.0, -2.0, 1.0};
  const Unsym m = convection(9, 3, c3);
  const std::map<int, double> opts = {{171, 0.3}, {173, 6}};
  LuRun big(m, 6000000, opts);
  ASSERT_EQ(big.ier, 0) << big.failed;
  {
    LuRun probe(m, big.needmn, opts);
    ASSERT_EQ(probe.ier, 0) << probe.failed;
    ASSERT_GT(probe.word(149), 0.0);
    scratch_close_all();
  }
  struct Fault {
    int unit;
    FileOp op;
    i32 ier;
  };
  const Fault faults[] = {
      {17, FileOp::Write, -512}, {17, FileOp::Read, -512}, {14, FileOp::Write, -506},
      {14, FileOp::Read, -506},  {13, FileOp::Write, -505}, {15, FileOp::Write, -511},
  };
  for (const Fault& f : faults) {
    int failed = 0;
    for (int k = 1;; k *= 2) {
      SCOPED_TRACE(std::to_string(f.unit) + (f.op == FileOp::Read ? " read " : " write ") + std::to_string(k));
      scratch_fail(f.unit, f.op, k);
      LuRun r(m, big.needmn, opts, 15, 1);
      const bool hit = library_state().files.faults.empty();
      library_state().files.faults.clear();
      scratch_close_all();
      if (!hit) {
        EXPECT_EQ(r.ier, 0);
        break;
      }
      ++failed;
      EXPECT_EQ(r.ier, f.ier);
      EXPECT_EQ(messages().back(), "     on word addressable i/o file no. " + std::string(13, ' ') + std::to_string(f.unit));
    }
    EXPECT_GE(failed, 3) << f.unit;
  }
}

// The trailing update of both triangles through a window of the front
// file against the same update in work: the same words whether the
// triangle fits the buffer or the window moves on block by block; a
// buffer shorter than the first block of columns stops the run.
TEST_F(LuFactorisation, TheWindowedTrailingUpdateGivesTheWordsOfTheUpdateInWork) {
  const i32 nelim = 3, n = 4, r = 17, m = n + r, cb = 5;
  const i64 t = r * (r + 1) / 2, tnf = 400, addr = 1001;  // the U part tnf words after the L part
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<double> lp(m * n), up(m * n), lt(t), ut(t);
  for (auto* v : {&lp, &up, &lt, &ut})
    for (double& x : *v) x = u(rng);
  std::vector<double> w1(nelim * cb), w2(r * cb);
  std::vector<double> lmem = lt, umem = ut;
  double ops = 0;
  xdslbu(nelim, n, m, cb, lp.data(), up.data(), r, lmem.data(), umem.data(), w1.data(), w2.data(), ops);
  const i64 first_block = cb * r - cb * (cb - 1) / 2;
  for (i64 bfrlen : {t, first_block, first_block + 20}) {
    SCOPED_TRACE(bfrlen);
    i32 e = 0;
    xdslop(17, 2, e);
    ASSERT_EQ(e, 0);
    ASSERT_TRUE(file_write(17, addr, t, lt.data()) && file_write(17, addr + tnf, t, ut.data()));
    std::vector<double> buf(bfrlen);
    i64 moved = 0;
    double ops2 = 0;
    EXPECT_EQ(xdsldh(nelim, n, m, cb, lp.data(), up.data(), r, bfrlen, buf.data(), tnf, addr, 17, moved, w1.data(),
                     w2.data(), ops2),
              0);
    EXPECT_EQ(ops2, ops);
    std::vector<double> lback(t), uback(t);
    ASSERT_TRUE(file_read(17, addr, t, lback.data()) && file_read(17, addr + tnf, t, uback.data()));
    EXPECT_EQ(lback, lmem);
    EXPECT_EQ(uback, umem);
    if (bfrlen == t) {
      EXPECT_EQ(moved, 4 * t);  // each part read once and written once
    }
    scratch_close_all();
  }
  std::vector<double> buf(first_block - 1);
  i64 moved = 0;
  double ops2 = 0;
  EXPECT_EXIT(xdsldh(nelim, n, m, cb, lp.data(), up.data(), r, first_block - 1, buf.data(), tnf, addr, 17, moved,
                     w1.data(), w2.data(), ops2),
              ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(listing(), (std::vector<std::string>{"storage oops in xdsldh", "l, len, bfrlen =        1      75      74"}));
}

TEST_F(LuFactorisation, ZeroPivotIsSingular) {
  // Equation 5's row and column are structurally present but zero.
  const double c[3] = {0.5, 0.5, 0.0};
  Unsym m = convection(6, 2, c);
  for (auto& [cr, v] : m.a)
    if (cr.first == 5 || cr.second == 5) v = 0.0;
  for (double tol : {0.0, 0.01}) {
    SCOPED_TRACE(tol);
    LuRun r(m, 2000000, {{171, tol}});
    EXPECT_EQ(r.ier, -503);
    EXPECT_EQ(r.word(0), -1.0);
    EXPECT_EQ(r.inertia[0], -1);
  }
}

TEST_F(LuFactorisation, MissingSecondFactorFile) {
  const double c[3] = {0.5, 0.5, 0.0};
  const Unsym m = convection(6, 2, c);
  LuRun r(m, 2000000, {}, 0, 1);
  EXPECT_EQ(r.ier, -505);
  EXPECT_EQ(r.word(0), 40.0);
  const auto msg = messages();
  ASSERT_GE(msg.size(), 3u);
  EXPECT_EQ(msg[msg.size() - 2], "     *** fatal error no.  -505 *** subroutine xdslfa encountered i/o error");
  EXPECT_EQ(msg.back(), "     on word addressable i/o file no. " + std::string(13, ' ') + "13");
}

}  // namespace
}  // namespace zephsol::sparse
