// Numerical factorisation, solution and condition estimate of the sparse
// library against independent values: residuals in long double, the
// analytic inertia of shifted Laplacians, CHOLMOD's solutions, LAPACK's
// condition numbers, and the same solutions in every work layout.
#include <gtest/gtest.h>

#include <cholmod.h>

#include "support/matrix.h"
#include "support/sparse_fixture.h"
#include "zephsol/sparse/state.h"

extern "C" {
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, const int* ipiv, double* work, const int* lwork, int* info);
void dsytrf_(const char* uplo, const int* n, double* a, const int* lda, int* ipiv, double* work, const int* lwork,
             int* info, std::size_t);
void dsycon_(const char* uplo, const int* n, const double* a, const int* lda, const int* ipiv, const double* anorm,
             double* rcond, double* work, int* iwork, int* info, std::size_t);
}

namespace zephsol::sparse {
namespace {

class Factorisation : public SparseTest {};

TEST_F(Factorisation, LaplacianSolvesWithItsInertia) {
  const Sym a = laplace3d(6);
  SparseRun r(a, 2000000);
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.inertia[0], a.n);
  EXPECT_EQ(r.inertia[1], 0);
  EXPECT_EQ(r.inertia[2], 0);
  const auto b = random_rhs(a.n, 1, 3);
  const auto x = r.solve(b);
  EXPECT_LT(a.residual(x, b), 1e-14);
}

TEST_F(Factorisation, ShiftedLaplacianCountsTheEigenvaluesBelowTheShift) {
  for (double sigma : {0.7, 2.3, 5.1}) {
    const i32 k = 8;
    const Sym a = laplace3d(k, sigma);
    SparseRun r(a, 4000000);
    ASSERT_EQ(r.ier, 0) << r.failed;
    const i64 below = laplace3d_below(k, sigma);
    EXPECT_EQ(r.inertia[1], below) << sigma;
    EXPECT_EQ(r.inertia[0], a.n - below) << sigma;
    const auto b = random_rhs(a.n, 1, 5);
    EXPECT_LT(a.residual(r.solve(b), b), 1e-12) << sigma;
  }
}

TEST_F(Factorisation, IndefiniteMatricesWithZeroDiagonals) {
  for (double zeros : {0.0, 0.3, 0.8}) {
    const Sym a = indefinite(4, 2, 11, zeros);
    SparseRun r(a, 4000000);
    ASSERT_EQ(r.ier, 0) << r.failed << " " << zeros;
    EXPECT_EQ(r.inertia[0] + r.inertia[1], a.n);
    const auto b = random_rhs(a.n, 1, 7);
    EXPECT_LT(a.residual(r.solve(b), b), 1e-10) << zeros;
  }
}

// CHOLMOD's supernodal solution of a positive definite matrix.
std::vector<double> cholmod_solve(const Sym& a, const std::vector<double>& b) {
  cholmod_common cm;
  cholmod_start(&cm);
  cm.supernodal = CHOLMOD_SUPERNODAL;
  std::vector<i32> colptr, rowind;
  std::vector<double> vals;
  a.columns(colptr, rowind, vals);
  cholmod_sparse* A = cholmod_allocate_sparse(a.n, a.n, vals.size(), 1, 1, -1, CHOLMOD_REAL, &cm);
  for (i32 j = 0; j <= a.n; ++j) static_cast<int*>(A->p)[j] = colptr[j] - 1;
  for (std::size_t q = 0; q < vals.size(); ++q) {
    static_cast<int*>(A->i)[q] = rowind[q] - 1;
    static_cast<double*>(A->x)[q] = vals[q];
  }
  cholmod_factor* L = cholmod_analyze(A, &cm);
  cholmod_factorize(A, L, &cm);
  cholmod_dense* B = cholmod_zeros(a.n, 1, CHOLMOD_REAL, &cm);
  std::copy(b.begin(), b.end(), static_cast<double*>(B->x));
  cholmod_dense* X = cholmod_solve(CHOLMOD_A, L, B, &cm);
  std::vector<double> x(static_cast<double*>(X->x), static_cast<double*>(X->x) + a.n);
  cholmod_free_dense(&X, &cm);
  cholmod_free_dense(&B, &cm);
  cholmod_free_factor(&L, &cm);
  cholmod_free_sparse(&A, &cm);
  cholmod_finish(&cm);
  return x;
}

double max_rel_diff(const std::vector<double>& x, const std::vector<double>& y) {
  double d = 0, m = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    d = std::max(d, std::abs(x[i] - y[i]));
    m = std::max(m, std::abs(y[i]));
  }
  return d / m;
}

TEST_F(Factorisation, HexahedralCouplingMatchesCholmod) {
  const Sym a = hex_matrix(12, 12, 12, 3, 21);
  SparseRun r(a, 5000000);
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.inertia[0], a.n);
  const auto b = random_rhs(a.n, 1, 9);
  const auto x = r.solve(b);
  EXPECT_LT(max_rel_diff(x, cholmod_solve(a, b)), 1e-10);
  EXPECT_LT(a.residual(x, b), 1e-14);
}

// Several threads for the large products of the fronts: the solution of
// the one-thread factorisation, and the same bits from run to run.
TEST_F(Factorisation, ThreadsChangeNeitherTheSolutionNorItsBits) {
  const Sym a = hex_matrix(16, 16, 16, 3, 23);
  const auto b = random_rhs(a.n, 1, 4);
  const char* was = std::getenv("OMP_NUM_THREADS");
  const std::string saved = was != nullptr ? was : "";
  auto solve_on = [&](const char* threads) {
    setenv("OMP_NUM_THREADS", threads, 1);
    SparseRun r(a, 16000000);
    EXPECT_EQ(r.ier, 0) << r.failed << " " << threads;
    EXPECT_EQ(r.inertia[0], a.n) << threads;
    return r.solve(b);
  };
  const auto one = solve_on("1");
  EXPECT_LT(a.residual(one, b), 1e-14);
  for (const char* threads : {"2", "3", "8"}) {
    const auto x = solve_on(threads), again = solve_on(threads);
    EXPECT_LT(max_rel_diff(x, one), 1e-13) << threads;
    EXPECT_TRUE(x == one) << threads;  // each piece of the update on one thread
    EXPECT_TRUE(x == again) << threads;
  }
  if (was != nullptr) setenv("OMP_NUM_THREADS", saved.c_str(), 1);
  else unsetenv("OMP_NUM_THREADS");
}

// ||A||_1 ||A^-1||_1 from a dense inverse, and LAPACK's estimate.
struct DenseCond {
  double exact = 0, lapack = 0;
};
DenseCond dense_cond(const Sym& a) {
  const int n = a.n;
  std::vector<double> d = a.dense(), f = d;
  double anorm = 0;
  for (int j = 0; j < n; ++j) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += std::abs(d[static_cast<std::size_t>(j) * n + i]);
    anorm = std::max(anorm, s);
  }
  std::vector<int> ipiv(n), iwork(n);
  int info = 0, lw = 64 * n;
  std::vector<double> work(lw);
  dgetrf_(&n, &n, d.data(), &n, ipiv.data(), &info);
  dgetri_(&n, d.data(), &n, ipiv.data(), work.data(), &lw, &info);
  double inorm = 0;
  for (int j = 0; j < n; ++j) {
    double s = 0;
    for (int i = 0; i < n; ++i) s += std::abs(d[static_cast<std::size_t>(j) * n + i]);
    inorm = std::max(inorm, s);
  }
  DenseCond c;
  c.exact = anorm * inorm;
  dsytrf_("L", &n, f.data(), &n, ipiv.data(), work.data(), &lw, &info, 1);
  double rcond = 0;
  dsycon_("L", &n, f.data(), &n, ipiv.data(), &anorm, &rcond, work.data(), iwork.data(), &info, 1);
  c.lapack = 1.0 / rcond;
  return c;
}

TEST_F(Factorisation, ConditionEstimateIsALowerBoundCloseToTheCondition) {
  const std::vector<Sym> cases = {laplace3d(10), laplace3d(6, 2.3), indefinite(3, 2, 5, 0.3), hex_matrix(3, 3, 3, 3, 8)};
  for (std::size_t c = 0; c < cases.size(); ++c) {
    const Sym& a = cases[c];
    SparseRun r(a, 2000000);
    ASSERT_EQ(r.ier, 0) << r.failed;
    const DenseCond d = dense_cond(a);
    EXPECT_LE(r.cond, d.exact * (1 + 1e-12)) << c;
    EXPECT_GE(r.cond, d.exact / 10) << c;
    EXPECT_GE(r.cond, d.lapack / 10) << c;
    EXPECT_EQ(r.word(95), r.cond);
  }
  // The identity and a 1x1 matrix are perfectly conditioned; without the
  // estimate the figure is 0.
  Sym one;
  one.n = 1;
  one.add(1, 1, -7.0);
  SparseRun r1(one, 10000);
  ASSERT_EQ(r1.ier, 0) << r1.failed;
  EXPECT_EQ(r1.cond, 1.0);
  EXPECT_EQ(r1.inertia[1], 1);
  EXPECT_DOUBLE_EQ(r1.solve({14.0})[0], -2.0);
  SparseRun r0(laplace3d(4), 200000, {{cw::condest, 0.0}});
  ASSERT_EQ(r0.ier, 0) << r0.failed;
  EXPECT_EQ(r0.cond, 0.0);
  EXPECT_EQ(r0.word(95), 0.0);
}

TEST_F(Factorisation, SeveralRightHandSidesSolveAsOneByOne) {
  const Sym a = indefinite(3, 3, 17, 0.2);
  SparseRun r(a, 4000000);
  ASSERT_EQ(r.ier, 0) << r.failed;
  for (i32 nrhs : {1, 4, 5, 8, 13, 20}) {
    const auto b = random_rhs(a.n, nrhs, 100 + nrhs);
    const auto x = r.solve(b, nrhs);
    for (i32 j = 0; j < nrhs; ++j) {
      const std::vector<double> bj(b.begin() + j * a.n, b.begin() + (j + 1) * a.n);
      const auto xj = r.solve(bj);
      for (i32 i = 0; i < a.n; ++i) ASSERT_NEAR(x[j * a.n + i], xj[i], 1e-12 * (1 + std::abs(xj[i]))) << nrhs;
      EXPECT_LT(a.residual(xj, bj), 1e-11);
    }
  }
  // Right-hand sides with a leading dimension beyond n.
  const auto b = random_rhs(a.n, 1, 3);
  std::vector<double> wide(2 * (a.n + 3), 0.0);
  std::copy(b.begin(), b.end(), wide.begin());
  std::copy(b.begin(), b.end(), wide.begin() + a.n + 3);
  i32 ier = 0;
  xdslsl(2, wide.data(), a.n + 3, r.work.data(), r.lwork, ier);
  ASSERT_EQ(ier, 0);
  EXPECT_LT(a.residual(std::vector<double>(wide.begin() + a.n + 3, wide.begin() + 2 * a.n + 3), b), 1e-11);
}

TEST_F(Factorisation, ANewValueCycleRefactorises) {
  const Sym a = laplace3d(5), s = laplace3d(5, 3.3);
  SparseRun r(a, 400000);
  ASSERT_EQ(r.ier, 0) << r.failed;
  const auto b = random_rhs(a.n, 1, 1);
  r.factorise(s);
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.inertia[1], laplace3d_below(5, 3.3));
  EXPECT_LT(s.residual(r.solve(b), b), 1e-12);
  r.factorise(a);
  ASSERT_EQ(r.ier, 0);
  EXPECT_LT(a.residual(r.solve(b), b), 1e-14);
}

TEST_F(Factorisation, WorkExactlyTheFigureOfTheSymbolicPhase) {
  for (const Sym& a : {hex_matrix(5, 4, 3, 3, 2), laplace3d(9), indefinite(3, 2, 4, 0.5)}) {
    SparseRun big(a, 3000000);
    ASSERT_EQ(big.ier, 0) << big.failed;
    scratch_close_all();
    SparseRun r(a, big.need);
    ASSERT_EQ(r.ier, 0) << r.failed << " need " << big.need;
    EXPECT_EQ(r.word(54), 0.0);
    const auto b = random_rhs(a.n, 1, 2);
    EXPECT_LT(a.residual(r.solve(b), b), 1e-11);
    EXPECT_EQ(stray_files(), 0);
  }
}

TEST_F(Factorisation, DelayedPivotsOfASaddlePoint) {
  library_state().order_hook = natural_order;
  const i32 nc = 40;
  const Sym a = saddle(3, nc, 31);
  for (double orient : {1.0, 0.0}) {
    for (double panel : {128.0, 4.0}) {
      SparseRun r(a, 3000000, {{cw::orient, orient}, {cw::panel, panel}});
      ASSERT_EQ(r.ier, 0) << r.failed;
      EXPECT_GT(r.word(43), r.word(32));  // delayed columns lengthen the index lists
      EXPECT_EQ(r.inertia[0], a.n - nc);
      EXPECT_EQ(r.inertia[1], nc);
      const auto b = random_rhs(a.n, 3, 41);
      const auto x = r.solve(b, 3);
      for (i32 j = 0; j < 3; ++j)
        EXPECT_LT(a.residual(std::vector<double>(x.begin() + j * a.n, x.begin() + (j + 1) * a.n),
                             std::vector<double>(b.begin() + j * a.n, b.begin() + (j + 1) * a.n)),
                  1e-10);
      scratch_close_all();
    }
  }
}

// One front of 700 fully summed columns with 60 rows behind them: more
// pivots than wait together for the rest of the front, in panels that fill
// the waiting room exactly (64), overrun it (100, 128) or take the last
// panel with the waiting ones. A diagonally dominant matrix has the
// inertia of its diagonal.
TEST_F(Factorisation, AFrontOfMorePivotsThanWaitTogether) {
  library_state().order_hook = natural_order;
  const i32 nb = 700, nr = 60;
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Sym a;
  a.n = nb + nr;
  i32 negative = 0;
  for (i32 j = 1; j <= a.n; ++j) {
    const bool neg = j <= nb && j % 7 == 0;
    negative += neg ? 1 : 0;
    a.add(j, j, (neg ? -1.0 : 1.0) * (12.0 + u(rng)));
    if (j <= nb)
      for (i32 i = j + 1; i <= a.n; ++i) a.add(i, j, 0.01 * u(rng));
  }
  const auto b = random_rhs(a.n, 1, 6);
  for (double panel : {64.0, 100.0, 128.0}) {
    SparseRun r(a, 4000000, {{cw::panel, panel}});
    ASSERT_EQ(r.ier, 0) << r.failed << " panel " << panel;
    EXPECT_EQ(r.inertia[1], negative) << panel;
    EXPECT_EQ(r.inertia[0], a.n - negative) << panel;
    EXPECT_LT(a.residual(r.solve(b), b), 1e-14) << panel;
    scratch_close_all();
  }
}

TEST_F(Factorisation, AZeroRowIsASingularMatrix) {
  Sym a = laplace3d(4);
  for (auto& [cr, v] : a.a)
    if (cr.first == 10 || cr.second == 10) v = 0.0;
  SparseRun r(a, 400000, 1, kMsgUnit);
  EXPECT_EQ(r.ier, -503);
  EXPECT_EQ(r.inertia[2], 1);
  EXPECT_EQ(r.word(cw::stage), -1.0);
  const auto msg = messages();
  ASSERT_GE(msg.size(), 3u);
  EXPECT_EQ(msg[msg.size() - 2], "     *** fatal error no.  -503 *** subroutine xdslfa encountered");
  EXPECT_EQ(msg.back(), "     a numerically singular matrix.");
  // The same matrix without pivoting meets the zero pivot itself.
  scratch_close_all();
  SparseRun n0(a, 400000, {{cw::pvttol, 0.0}});
  EXPECT_EQ(n0.ier, -503);
  EXPECT_EQ(n0.inertia[2], 1);
}

// In a positive definite matrix the pivot of row i is its diagonal less
// what the rows eliminated before it took: between 1 / (A^-1)_ii (all
// others before it) and a_ii (none). The last row eliminated meets the
// first bound (in a 2x2 block too, its value being the pivot it would have
// had after the other row); without pivoting the first meets the second.
// The columns of A^-1 come from the library's own solutions.
TEST_F(Factorisation, EachRowsPivotLiesBetweenItsDiagonalAndTheInverseOfItsInverseDiagonal) {
  for (const double pvttol : {0.0, 0.1}) {
    const Sym a = hex_matrix(4, 3, 3, 3, 6);
    SparseRun r(a, 2000000, {{cw::pvttol, pvttol}});
    ASSERT_EQ(r.ier, 0) << r.failed;
    std::vector<double> d(static_cast<std::size_t>(a.n));
    ASSERT_TRUE(factor_pivots(r.work.data(), r.lwork, d));
    double lowest = 2.0, highest = 0.0;  // d_i / a_ii and d_i (A^-1)_ii at their extremes
    for (i32 i = 1; i <= a.n; ++i) {
      std::vector<double> e(static_cast<std::size_t>(a.n), 0.0);
      e[static_cast<std::size_t>(i - 1)] = 1.0;
      const double inverse_ii = r.solve(e)[static_cast<std::size_t>(i - 1)];
      const double di = d[static_cast<std::size_t>(i - 1)], aii = a.a.at({i, i});
      EXPECT_LE(di, aii * (1 + 1e-12)) << i;
      EXPECT_GE(di * inverse_ii, 1 - 1e-10) << i;
      highest = std::max(highest, di / aii);
      lowest = std::min(lowest, di * inverse_ii);
    }
    if (pvttol == 0.0) EXPECT_NEAR(highest, 1.0, 1e-12);
    EXPECT_NEAR(lowest, 1.0, 1e-10) << pvttol;
  }
  // Before the factorisation there is no pivot to read.
  const Sym a = laplace3d(3);
  SparseRun r(a, 200000);
  std::vector<double> d(static_cast<std::size_t>(a.n), -1.0);
  i32 e = 0;
  xdslin(a.n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, r.work.data(), r.lwork, e);
  EXPECT_FALSE(factor_pivots(r.work.data(), r.lwork, d));
  EXPECT_EQ(d[0], -1.0);
}

TEST_F(Factorisation, WithoutPivotingThePositiveDefiniteSolveIsTheSame) {
  const Sym a = hex_matrix(4, 3, 3, 3, 6);
  SparseRun r(a, 2000000, {{cw::pvttol, 0.0}});
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.word(43), r.word(32));
  const auto b = random_rhs(a.n, 1, 8);
  EXPECT_LT(a.residual(r.solve(b), b), 1e-14);
}

TEST_F(Factorisation, StagesAndArgumentsOfTheFactorisationAndSolution) {
  const Sym a = laplace3d(4);
  SparseRun r(a, 400000, 1, kMsgUnit);
  ASSERT_EQ(r.ier, 0);
  std::vector<double> b = random_rhs(a.n, 2, 1);
  i32 ier = 0;
  xdslsl(0, b.data(), a.n, r.work.data(), r.lwork, ier);
  EXPECT_EQ(ier, -602);
  xdslsl(1, b.data(), a.n - 1, r.work.data(), r.lwork, ier);
  EXPECT_EQ(ier, -603);
  const i32 solve_end = static_cast<i32>(r.word(cw::need));
  xdslsl(1, b.data(), a.n, r.work.data(), solve_end - 1, ier);
  EXPECT_EQ(ier, -601);
  xdslsl(1, b.data(), a.n, r.work.data(), solve_end, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(r.word(cw::stage), 50.0);
  // A new value cycle not ended: the factorisation refuses, the stage stays.
  std::vector<i32> colptr, rowind;
  std::vector<double> vals;
  a.columns(colptr, rowind, vals);
  xdslvm('A', colptr, rowind, vals, r.work.data(), r.lwork, ier);
  ASSERT_EQ(ier, 0);
  double cond = 0;
  i32 inertia[3] = {};
  xdslfa(r.work.data(), r.lwork, cond, inertia, ier);
  EXPECT_EQ(ier, -500);
  EXPECT_EQ(r.word(cw::stage), 31.0);
  xdslsl(1, b.data(), a.n, r.work.data(), r.lwork, ier);
  EXPECT_EQ(ier, -600);
  const auto msg = messages();
  EXPECT_EQ(msg[msg.size() - 1], "     incorrect sequence.  current stage =         31     should be 50.");
  // Too little work for the factorisation: -501, the stage stays, and the
  // work it names succeeds.
  xdslvf(r.work.data(), r.lwork, ier);
  ASSERT_EQ(ier, 0);
  xdslfa(r.work.data(), static_cast<i32>(r.word(cw::last)) + 10, cond, inertia, ier);
  EXPECT_EQ(ier, -501);
  EXPECT_EQ(r.word(cw::stage), 40.0);
  xdslfa(r.work.data(), r.lwork, cond, inertia, ier);
  ASSERT_EQ(ier, 0);
  EXPECT_LT(a.residual(r.solve(std::vector<double>(b.begin(), b.begin() + a.n)),
                       std::vector<double>(b.begin(), b.begin() + a.n)),
            1e-14);
}

}  // namespace
}  // namespace zephsol::sparse
