// The dense front kernels against a dense harness: random symmetric fronts
// are eliminated by a panel kernel and the block update, and the result is
// checked against the front itself (P F P^T = L D L^T on the eliminated
// columns, the Schur complement on the rest), the threshold bound of the
// multipliers, and the inertia against the eigenvalues from LAPACK.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/kernels.h"

extern "C" void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
                       double* work, const int* lwork, int* info, std::size_t, std::size_t);

namespace zephsol::sparse {
namespace {

using Mat = std::vector<double>;  // dense n x n, column-major

struct Front {
  int n = 0;
  Mat a;
  double& operator()(int i, int j) { return a[(j - 1) * std::size_t(n) + (i - 1)]; }
  double operator()(int i, int j) const { return a[(j - 1) * std::size_t(n) + (i - 1)]; }
};

// Counts of positive, negative and zero eigenvalues (|lambda| <= eps*norm
// counted as zero) of the leading m x m block of f in the order perm.
std::array<int, 3> eigen_signs(const Front& f, const std::vector<int>& perm, int m) {
  if (m == 0) return {0, 0, 0};
  Mat a(std::size_t(m) * m);
  for (int j = 1; j <= m; ++j)
    for (int i = 1; i <= m; ++i) a[(j - 1) * std::size_t(m) + i - 1] = f(perm[i], perm[j]);
  std::vector<double> w(m), work(1);
  int lwork = -1, info = 0;
  dsyev_("N", "L", &m, a.data(), &m, w.data(), work.data(), &lwork, &info, 1, 1);
  lwork = int(work[0]);
  work.resize(lwork);
  dsyev_("N", "L", &m, a.data(), &m, w.data(), work.data(), &lwork, &info, 1, 1);
  EXPECT_EQ(info, 0);
  const double big = std::max(std::abs(w.front()), std::abs(w.back()));
  std::array<int, 3> s{};
  for (double x : w) ++s[std::abs(x) <= 1e-12 * big ? 2 : x > 0 ? 0 : 1];
  return s;
}

enum class Kind { spd, indefinite, zero_diagonal, zero_columns, tiny_pivots };

Front random_front(Kind kind, int n, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Front f{n, Mat(std::size_t(n) * n)};
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) f(i, j) = f(j, i) = u(gen);
  switch (kind) {
    case Kind::spd: {
      Front g = f;
      for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
          double s = 0.0;
          for (int k = 1; k <= n; ++k) s += g(i, k) * g(j, k);
          f(i, j) = s + (i == j ? 1.0 : 0.0);
        }
      break;
    }
    case Kind::indefinite: break;
    case Kind::zero_diagonal:
      for (int i = 1; i <= n; ++i) f(i, i) = 0.0;
      break;
    case Kind::zero_columns:
      for (int c = 2; c <= n; c += 5)
        for (int i = 1; i <= n; ++i) f(i, c) = f(c, i) = 0.0;
      break;
    case Kind::tiny_pivots:
      for (int i = 1; i <= n; i += 3) f(i, i) = 1e-14 * u(gen);
      break;
  }
  return f;
}

// One panel of the first ncol columns, eliminated by the pivoting (tol > 0)
// or non-pivoting kernel, then the block update of the trailing triangle.
struct Result {
  int n = 0, ncol = 0, npiv = 0, ier = 0;
  bool col = true;
  std::vector<double> panel, f22;
  std::vector<i32> pivblk, rowidx, ipiv;
  std::vector<int> perm;  // perm[i]: front row now at position i (1-based)
  std::array<i32, 3> inertia{};
  std::array<double, 5> pert{}, negrec{};
  double ops1 = 0.0, ops2 = 0.0;
  double at(int i, int j) const {
    return col ? panel[(j - 1) * std::size_t(n) + i - 1] : panel[(i - 1) * std::size_t(ncol) + j - 1];
  }
};

Result eliminate(const Front& f, int ncol, bool col, double tol, bool root = false, double pert = 0.0,
                 int nbu = 32) {
  Result r;
  const int n = f.n, ntrail = n - ncol;
  r.n = n, r.ncol = ncol, r.col = col;
  r.pert[0] = pert;
  r.panel.assign(std::size_t(n) * ncol, 0.0);
  for (int j = 1; j <= ncol; ++j)
    for (int i = j; i <= n; ++i)
      (col ? r.panel[(j - 1) * std::size_t(n) + i - 1] : r.panel[(i - 1) * std::size_t(ncol) + j - 1]) = f(i, j);
  for (int j = 1; j <= ntrail; ++j)
    for (int i = j; i <= ntrail; ++i) r.f22.push_back(f(ncol + i, ncol + j));
  r.pivblk.assign(ncol, 0);
  r.rowidx.resize(ncol);
  std::iota(r.rowidx.begin(), r.rowidx.end(), 1);
  r.ipiv.assign(ncol, 0);
  std::vector<i32> cand(ncol);
  std::vector<double> dmax(ncol);
  if (tol > 0.0) {
    (col ? xdslpm : xdslpl)(tol, r.pert.data(), root, n, ncol, 0, r.rowidx.data(), r.panel.data(),
                            r.pivblk.data(), cand.data(), dmax.data(), r.ipiv.data(), r.npiv, r.inertia.data(),
                            r.ops1, r.ops2, r.ier);
  } else {
    (col ? xdslnm : xdslnl)(r.pert.data(), r.negrec.data(), ncol, n, r.panel.data(), r.pivblk.data(),
                            r.inertia.data(), r.ops1, r.ops2, r.ier);
    r.npiv = r.ier == 0 ? ncol : 0;
    for (int j = 1; j <= ncol; ++j) r.ipiv[j - 1] = j;
  }
  r.perm.resize(n + 1);
  std::iota(r.perm.begin(), r.perm.end(), 0);
  for (int j = 1; j <= r.npiv; ++j) std::swap(r.perm[j], r.perm[r.ipiv[j - 1]]);
  if (r.npiv > 0 && ntrail > 0) {
    std::vector<double> w1(std::size_t(r.npiv) * std::max(nbu, 3)), w2(std::size_t(ntrail) * nbu);
    if (col)
      xdslum(r.npiv, ncol, n, nbu, r.panel.data(), r.pivblk.data(), ntrail, r.f22.data(), w1.data(), w2.data(),
             r.ops1);
    else
      xdslul(r.npiv, ncol, n, r.panel.data(), r.pivblk.data(), ntrail, r.f22.data(), w1.data(), r.ops1);
  }
  return r;
}

// Pivot blocks as (first position, size).
std::vector<std::pair<int, int>> blocks(const Result& r) {
  std::vector<std::pair<int, int>> b;
  for (int j = 1; j <= r.npiv;) {
    const int s = r.pivblk[j - 1] == 2 ? 2 : 1;
    b.emplace_back(j, s);
    j += s;
  }
  return b;
}

struct Check {
  double factor = 0.0, schur = 0.0, lmax = 0.0, norm = 0.0;
};

// Largest deviations, relative to the Frobenius norm of F: of L D L^T from P F P^T over the
// eliminated columns, and of the panel's remaining columns and F22 from the
// Schur complement; largest multiplier magnitude.
Check check(const Front& f, const Result& r) {
  const int n = f.n, np = r.npiv;
  Check c;
  for (double x : f.a) c.norm += x * x;
  c.norm = c.norm > 0.0 ? std::sqrt(c.norm) : 1.0;
  auto fp = [&](int i, int j) { return f(r.perm[i], r.perm[j]); };
  // L (unit lower, n x np) and D W = D L^T for every row.
  Mat l(std::size_t(n) * np, 0.0), w(std::size_t(n) * np, 0.0);
  auto L = [&](int i, int j) -> double& { return l[(j - 1) * std::size_t(n) + i - 1]; };
  auto W = [&](int i, int j) -> double& { return w[(j - 1) * std::size_t(n) + i - 1]; };
  const auto bl = blocks(r);
  for (auto [j, s] : bl)
    for (int i = j; i <= n; ++i)
      for (int t = 0; t < s; ++t) L(i, j + t) = i == j + t ? 1.0 : i < j + s ? 0.0 : r.at(i, j + t);
  for (int i = 1; i <= n; ++i)
    for (auto [j, s] : bl) {
      if (s == 1) {
        W(i, j) = r.at(j, j) * L(i, j);
        continue;
      }
      const double d11 = r.at(j, j), d21 = r.at(j + 1, j), d22 = r.at(j + 1, j + 1);
      W(i, j) = d11 * L(i, j) + d21 * L(i, j + 1);
      W(i, j + 1) = d21 * L(i, j) + d22 * L(i, j + 1);
    }
  for (int j = 1; j <= n; ++j)
    for (int i = j; i <= n; ++i) {
      double s = 0.0;
      for (int k = 1; k <= np; ++k) s += L(i, k) * W(j, k);
      const double v = fp(i, j) - s;  // zero on the eliminated part, Schur complement on the rest
      if (j <= np) {
        c.factor = std::max(c.factor, std::abs(v));
      } else {
        const std::size_t m = j - r.ncol, nt = n - r.ncol;  // trailing column, packed by columns
        const double got = j <= r.ncol ? r.at(i, j) : r.f22[(m - 1) * nt - (m - 1) * (m - 2) / 2 + (i - j)];
        c.schur = std::max(c.schur, std::abs(got - v));
      }
    }
  for (int j = 1; j <= np; ++j)
    for (int i = j + 1; i <= n; ++i) c.lmax = std::max(c.lmax, std::abs(L(i, j)));
  c.factor /= c.norm;
  c.schur /= c.norm;
  return c;
}

std::array<int, 3> inertia_of(const Result& r) { return {r.inertia[0], r.inertia[1], 0}; }

// The row-index list follows the interchanges; the interchange record is
// a permutation of the panel positions.
void expect_bookkeeping(const Result& r) {
  for (int j = 1; j <= r.npiv; ++j) EXPECT_EQ(r.rowidx[j - 1], r.perm[j]) << j;
  for (auto [j, s] : blocks(r))
    if (s == 2) {
      EXPECT_EQ(r.pivblk[j - 1], 2);
      EXPECT_EQ(r.pivblk[j], -((r.npiv - 1) * (j - 1) - (j - 1) * (j - 2) / 2 + 1));
    } else {
      EXPECT_EQ(r.pivblk[j - 1], 1);
    }
}

struct Case {
  Kind kind;
  int ncol, ntrail;
};

class RandomFront : public ::testing::TestWithParam<Case> {};

TEST_P(RandomFront, ReproducesTheFrontWithBoundedMultipliersAndItsInertia) {
  const Case cs = GetParam();
  const int n = cs.ncol + cs.ntrail;
  const double tol = 0.01;
  for (unsigned seed = 1; seed <= 3; ++seed) {
    const Front f = random_front(cs.kind, n, seed * 7919u + unsigned(n));
    for (bool col : {true, false}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << (col ? " column" : " row") << "-oriented");
      const Result r = eliminate(f, cs.ncol, col, tol, cs.ntrail == 0);
      const Check c = check(f, r);
      EXPECT_EQ(r.ier, 0);
      EXPECT_LE(c.factor, 1e-13);
      EXPECT_LE(c.schur, 1e-13);
      EXPECT_LE(c.lmax, (1.0 / tol) * (1.0 + 1e-10));
      expect_bookkeeping(r);
      // The eliminated block's inertia is that of its pivots (Sylvester).
      EXPECT_EQ(inertia_of(r), eigen_signs(f, r.perm, r.npiv));
      if (cs.kind == Kind::zero_columns && cs.ncol > 1) {
        EXPECT_LT(r.npiv, cs.ncol);
      }
      // Nothing is left of a positive definite panel, nor of a nonsingular root.
      if (cs.kind == Kind::spd || (cs.ntrail == 0 && n > 1 && cs.kind != Kind::zero_columns)) {
        EXPECT_EQ(r.npiv, cs.ncol);
      }
    }
  }
}

std::vector<Case> cases() {
  std::vector<Case> v;
  for (Kind k : {Kind::spd, Kind::indefinite, Kind::zero_diagonal, Kind::zero_columns, Kind::tiny_pivots})
    for (int ncol : {1, 2, 3, 5, 8, 31, 64, 128})
      for (int ntrail : {0, 1, 4, 37}) v.push_back({k, ncol, ntrail});
  return v;
}
INSTANTIATE_TEST_SUITE_P(Kernels, RandomFront, ::testing::ValuesIn(cases()));

// At a root the whole front is eliminated and its inertia is that of F.
TEST(PivotKernel, RootFrontInertiaIsThatOfTheFront) {
  for (Kind kind : {Kind::spd, Kind::indefinite, Kind::zero_diagonal})
    for (int n : {2, 17, 96}) {
      const Front f = random_front(kind, n, 11u * n);
      const Result r = eliminate(f, n, true, 0.01, true);
      ASSERT_EQ(r.npiv, n);
      std::vector<int> id(n + 1);
      std::iota(id.begin(), id.end(), 0);
      EXPECT_EQ(inertia_of(r), eigen_signs(f, id, n));
    }
}

// Both orientations make the same choices and the same factors.
TEST(PivotKernel, RowAndColumnOrientedPanelsAgree) {
  for (Kind kind : {Kind::indefinite, Kind::zero_diagonal, Kind::zero_columns})
    for (int ncol : {4, 33}) {
      const Front f = random_front(kind, ncol + 20, 5u + ncol);
      const Result a = eliminate(f, ncol, true, 0.01), b = eliminate(f, ncol, false, 0.01);
      ASSERT_EQ(a.npiv, b.npiv);
      EXPECT_EQ(a.ipiv, b.ipiv);
      EXPECT_EQ(a.pivblk, b.pivblk);
      EXPECT_EQ(a.inertia, b.inertia);
      for (int j = 1; j <= ncol; ++j)
        for (int i = j; i <= f.n; ++i) EXPECT_NEAR(a.at(i, j), b.at(i, j), 1e-12 * (1 + std::abs(a.at(i, j))));
      for (std::size_t k = 0; k < a.f22.size(); ++k) EXPECT_NEAR(a.f22[k], b.f22[k], 1e-12 * (1 + std::abs(a.f22[k])));
    }
}

// A panel over many rows, its block products shared by a team of threads:
// the bits and the pivots of one thread, whatever the team's size.
TEST(PivotKernel, TeamsOfAnySizeGiveTheBitsOfOneThread) {
  for (Kind kind : {Kind::spd, Kind::indefinite}) {
    const Front f = random_front(kind, 1100, 17u);
    auto run = [&](int threads) {
      const ProductTeam team(threads);
      return eliminate(f, 100, true, 0.01);
    };
    const Result one = run(1);
    EXPECT_LE(check(f, one).factor, 1e-12);
    for (int threads : {2, 3, 8}) {
      const Result r = run(threads);
      EXPECT_EQ(r.ipiv, one.ipiv) << threads;
      EXPECT_TRUE(r.panel == one.panel && r.f22 == one.f22) << threads;
    }
  }
}

// The kernels without pivoting on positive definite fronts.
TEST(NoPivotKernel, ReproducesPositiveDefiniteFronts) {
  for (int ncol : {1, 2, 3, 4, 5, 6, 7, 64, 128})
    for (int ntrail : {0, 1, 4, 37})
      for (bool col : {true, false}) {
        const Front f = random_front(Kind::spd, ncol + ntrail, 3u * ncol + ntrail);
        const Result r = eliminate(f, ncol, col, 0.0);
        ASSERT_EQ(r.ier, 0);
        const Check c = check(f, r);
        EXPECT_LE(c.factor, 1e-13) << ncol << " " << ntrail;
        EXPECT_LE(c.schur, 1e-13) << ncol << " " << ntrail;
        EXPECT_EQ(r.inertia[0], ncol);
        EXPECT_EQ(std::count(r.pivblk.begin(), r.pivblk.end(), 1), ncol);
        const double nc = ncol, nr = ncol + ntrail;
        const double update = nc * (nr - nc) * (nr - nc + 1) + nc * (nr - nc);
        EXPECT_EQ(r.ops1, nc * nc * (nr - nc) + nc * (nc + 1) * (2 * nc + 1) / 6 + update);
        EXPECT_EQ(r.ops2, nc + 4 * (nc * (nr - nc) + nc * (nc + 1) / 2));
      }
}

}  // namespace
}  // namespace zephsol::sparse

namespace zephsol::sparse {
namespace {

// Small panels whose pivot choices follow by hand from the tests of the
// search. Entries are the lower triangle of F by columns (first ncol
// columns down to row n).
struct EdgeCase {
  const char* what;
  int n, ncol;
  std::vector<double> lower;
  double tol;
  bool root;
  double pert;
  int npiv;
  std::vector<i32> pivblk, ipiv;
  std::array<i32, 3> inertia;
  std::array<double, 5> record;  // perturbation record after the call
  double d11_col, d11_row;       // pivot (1, 1) after the call, by orientation
};

Front from_lower(int n, int ncol, const std::vector<double>& lower) {
  Front f{n, Mat(std::size_t(n) * n, 0.0)};
  std::size_t k = 0;
  for (int j = 1; j <= ncol; ++j)
    for (int i = j; i <= n; ++i) f(i, j) = f(j, i) = lower.at(k++);
  return f;
}

TEST(PivotKernel, EdgeCases) {
  const double e = 1e-6;
  const std::vector<EdgeCase> cases = {
      {"diagonal panel: 2x2 blocks with d21 = 0, last column 1x1", 5, 5,
       {1, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 4, 0, 5}, 0.01, false, 0, 5, {2, -1, 2, -8, 1}, {1, 2, 3, 4, 5},
       {5, 0, 0}, {}, 1, 1},
      {"width 1: the 1x1 test alone", 2, 1, {2, 1}, 0.01, false, 0, 1, {1}, {1}, {1, 0, 0}, {}, 2, 2},
      {"a zero column is never accepted", 3, 1, {0, 0, 0}, 0.01, false, 0, 0, {0}, {0}, {0, 0, 0}, {}, 0, 0},
      {"a zero column among others is left behind", 4, 3, {4, 0, 1, 1, 0, 0, 0, 5, 1}, 0.01, false, 0, 2,
       {2, -1, 0}, {1, 3, 0}, {2, 0, 0}, {}, 4, 4},
      {"2x2 test at equality accepts", 2, 2, {4, 2, 4}, 0.5, false, 0, 2, {2, -1}, {1, 2}, {2, 0, 0}, {}, 4, 4},
      {"2x2 test just over fails, 1x1 then taken", 2, 2, {4, 2, 4}, 0.5000001, false, 0, 2, {1, 1}, {1, 2},
       {2, 0, 0}, {}, 4, 4},
      {"1x1 test at equality fails", 2, 1, {1, 2}, 0.5, false, 0, 0, {0}, {0}, {0, 0, 0}, {}, 1, 1},
      {"opposite signs: determinant of magnitudes 0, two 1x1", 2, 2, {1, 1, -1}, 0.01, false, 0, 2, {1, 1},
       {1, 2}, {1, 1, 0}, {}, 1, 1},
      {"2x2 with negative determinant: one of each", 2, 2, {1, 3, 2}, 0.01, false, 0, 2, {2, -1}, {1, 2},
       {1, 1, 0}, {}, 1, 1},
      {"2x2 with positive determinant and negative trace", 2, 2, {-4, 1, -3}, 0.01, false, 0, 2, {2, -1},
       {1, 2}, {0, 2, 0}, {}, -4, -4},
      {"root, search exhausted: perturbation scaled by the largest magnitude (column-oriented)", 3, 1,
       {0, 4, 0}, 0.01, true, e, 1, {1}, {1}, {1, 0, 0}, {e, 1, 1, e, e}, 4 * e, e},
      {"root, zero panel: all perturbed, then 1x1 and a 2x2", 3, 3, {0, 0, 0, 0, 0, 0}, 0.01, true, e, 3,
       {1, 2, -3}, {1, 2, 3}, {3, 0, 0}, {e, 3, 1, e, e}, e, e},
      {"not a root: no perturbation, everything left", 3, 3, {0, 0, 0, 0, 0, 0}, 0.01, false, e, 0, {0, 0, 0},
       {0, 0, 0}, {0, 0, 0}, {e, 0, 0, 0, 0}, 0, 0},
  };
  for (const EdgeCase& c : cases)
    for (bool col : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.what << (col ? ", column" : ", row") << "-oriented");
      const Front f = from_lower(c.n, c.ncol, c.lower);
      const Result r = eliminate(f, c.ncol, col, c.tol, c.root, c.pert);
      EXPECT_EQ(r.npiv, c.npiv);
      EXPECT_EQ(r.pivblk, c.pivblk);
      EXPECT_EQ(r.ipiv, c.ipiv);
      EXPECT_EQ(r.inertia, c.inertia);
      std::array<double, 5> rec = c.record;
      rec[0] = c.pert;
      EXPECT_EQ(r.pert, rec);
      EXPECT_EQ(r.at(1, 1), col ? c.d11_col : c.d11_row);
      if (c.pert == 0.0) {
        EXPECT_LE(check(f, r).factor, 1e-15);
      }
    }
}

// Operation counts of the pivoting kernel, by hand for diag(1, ..., 5):
// 2x2 steps at 1 (nr = nc = 5) and 3 (nr = nc = 3), a 1x1 step at 5.
TEST(PivotKernel, OperationCounts) {
  const Front f = from_lower(5, 5, {1, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 4, 0, 5});
  for (bool col : {true, false}) {
    const Result r = eliminate(f, 5, col, 0.01, true);
    EXPECT_EQ(r.ops1, (18 + 6 * 3 + 2 * 3 * 2) + (18 + 6 * 1 + 0) + 1);
    EXPECT_EQ(r.ops2, (8 * 3 + 6) + (8 * 1 + 6) + 1);
  }
}

struct PtCase {
  const char* what;
  double t, mode, d;
  std::vector<double> x;
  i32 ier;
  double d_after;
  std::array<i32, 3> inertia;
  std::array<double, 5> pert, neg;
};

TEST(PivotTest, Table) {
  const std::vector<PtCase> cases = {
      {"no threshold, -0.0 is zero", 0, 0, -0.0, {1}, -1, -0.0, {0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
      {"tiny pivot, small column: replaced by t", 1e-8, 0, 1e-12, {0.5, -0.25}, 0, 1e-8, {1, 0, 0},
       {1e-8, 1, 4, 1e-8 - 1e-12, 1e-8 - 1e-12}, {0, 0, 0, 0, 0}},
      {"tiny pivot, larger column: t times its largest entry", 1e-8, 0, 1e-12, {0.5, -3}, 0, 3 * 1e-8, {1, 0, 0},
       {1e-8, 1, 4, 3 * 1e-8 - 1e-12, 3 * 1e-8 - 1e-12}, {0, 0, 0, 0, 0}},
      {"tiny negative pivot, empty column: replaced positive", 1e-8, 1, -1e-12, {}, 0, 1e-8, {1, 0, 0},
       {1e-8, 1, 4, 1e-8 + 1e-12, 1e-8 + 1e-12}, {1, 0, 0, 0, 0}},
      {"negative pivot counted", 0, 1, -2, {1}, 0, -2, {0, 1, 0}, {0, 0, 0, 0, 0}, {1, 1, 4, -2, -2}},
      {"negative pivot stops in mode 2", 0, 2, -2, {1}, -11, -2, {0, 0, 0}, {0, 0, 0, 0, 0}, {2, 1, 4, -2, -2}},
      {"negative threshold never replaces: zero stays an error", -1, 0, 0, {1}, -1, 0, {0, 0, 0},
       {-1, 0, 0, 0, 0}, {0, 0, 0, 0, 0}},
  };
  for (const PtCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::array<double, 5> pert{c.t}, neg{c.mode};
    std::array<i32, 3> inertia{};
    double d = c.d;
    i32 ier = 7;
    xdslpt(4, d, i32(c.x.size()), c.x.data(), 1, pert.data(), neg.data(), inertia.data(), ier);
    EXPECT_EQ(ier, c.ier);
    EXPECT_EQ(d, c.d_after);
    EXPECT_EQ(std::signbit(d), std::signbit(c.d_after));
    EXPECT_EQ(inertia, c.inertia);
    for (int k = 0; k < 5; ++k) EXPECT_DOUBLE_EQ(pert[k], c.pert[k]) << k;
    EXPECT_EQ(neg, c.neg);
  }
}

TEST(PivotTest, RecordsAccumulateOverPivots) {
  std::array<double, 5> pert{1e-8}, neg{1.0};
  std::array<i32, 3> inertia{};
  i32 ier = 0;
  const double x[] = {2.0};
  for (auto [k, d] : {std::pair{1, 1e-12}, {2, -3.0}, {3, 1e-10}, {4, -1.0}, {5, -5.0}}) {
    xdslpt(k, d, k == 3 ? 1 : 0, x, 1, pert.data(), neg.data(), inertia.data(), ier);
    EXPECT_EQ(ier, 0);
  }
  EXPECT_EQ(pert[1], 2);
  EXPECT_EQ(pert[2], 1);
  EXPECT_DOUBLE_EQ(pert[3], 1e-8 - 1e-12);  // smallest change: 1e-8 - 1e-12
  EXPECT_DOUBLE_EQ(pert[4], 2e-8 - 1e-10);  // largest: 2e-8 - 1e-10
  EXPECT_EQ(neg, (std::array<double, 5>{1, 3, 2, -5, -1}));
  EXPECT_EQ(inertia, (std::array<i32, 3>{2, 3, 0}));
}

// The kernels without pivoting stop at a zero pivot, or replace it.
TEST(NoPivotKernel, ZeroPivotStopsOrIsReplaced) {
  const Front f = from_lower(3, 3, {1, 1, 2, 1, 3, 9});  // a(2,2) becomes exactly 0
  for (bool col : {true, false}) {
    Result r = eliminate(f, 3, col, 0.0);
    EXPECT_EQ(r.ier, -1);
    EXPECT_EQ(r.inertia, (std::array<i32, 3>{1, 0, 0}));
    r = eliminate(f, 3, col, 0.0, false, 1e-8);
    EXPECT_EQ(r.ier, 0);
    EXPECT_EQ(r.at(2, 2), 3 * 1e-8);  // t times the column below, a(3, 2) = 3 before the group's update
    EXPECT_EQ(r.pert[1], 1);
    EXPECT_EQ(r.pert[2], 2);
  }
}

// F22 - L2 D L2^T by both update routines, with and without 2x2 blocks,
// against the dense product (up to 600 trailing columns: several wide
// blocks, the last one narrower); rejected panel columns do not contribute.
TEST(BlockUpdate, EqualsTheDenseProduct) {
  std::mt19937_64 gen(42);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (bool two : {false, true})
    for (int ntrail : {1, 2, 3, 4, 5, 7, 40, 300, 600})
      for (int nbu : {1, 3, 32, 0})
        for (bool col : {true, false}) {
          const int npiv = 7, ncol = 9, n = ncol + ntrail;
          std::vector<i32> pivblk(ncol, 1);
          if (two) pivblk[1] = 2, pivblk[2] = -1, pivblk[5] = 2, pivblk[6] = -2;
          std::vector<double> panel(std::size_t(n) * ncol);
          auto at = [&](int i, int j) -> double& {
            return col ? panel[(j - 1) * std::size_t(n) + i - 1] : panel[(i - 1) * std::size_t(ncol) + j - 1];
          };
          for (int j = 1; j <= ncol; ++j)
            for (int i = j; i <= n; ++i) at(i, j) = u(gen);
          if (two) at(3, 2) = 0.3, at(7, 6) = -0.7;
          std::vector<double> f22, want;
          for (int j = 1; j <= ntrail; ++j)
            for (int i = j; i <= ntrail; ++i) {
              f22.push_back(u(gen));
              double s = 0.0;
              for (int k = 1; k <= npiv; ++k) {
                const bool first = pivblk[k - 1] == 2, second = k > 1 && pivblk[k - 2] == 2;
                // (D L^T)(k, j) for trailing row j
                double w = at(k, k) * at(ncol + j, k);
                if (first) w += at(k + 1, k) * at(ncol + j, k + 1);
                if (second) w += at(k, k - 1) * at(ncol + j, k - 1);
                s += at(ncol + i, k) * w;
              }
              want.push_back(f22.back() - s);
            }
          const int width = std::max(nbu, 1);  // a width below 1 is taken as 1
          std::vector<double> w1(std::size_t(npiv) * std::max(width, 3)), w2(std::size_t(ntrail) * width);
          double ops = 0.0;
          if (col)
            xdslum(npiv, ncol, n, nbu, panel.data(), pivblk.data(), ntrail, f22.data(), w1.data(), w2.data(), ops);
          else
            xdslul(npiv, ncol, n, panel.data(), pivblk.data(), ntrail, f22.data(), w1.data(), ops);
          for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(f22[k], want[k], 1e-14) << k;
          EXPECT_EQ(ops, double(npiv) * ntrail * (ntrail + 1) + double(npiv) * ntrail);
        }
}

// The update of a large front shared by a team of threads gives the bits
// of the update on one thread, whatever the team's size.
TEST(BlockUpdate, TeamsOfAnySizeGiveTheBitsOfOneThread) {
  std::mt19937_64 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int ntrail : {513, 1300}) {
    const int npiv = 40, ncol = 45, n = ncol + ntrail;
    std::vector<i32> pivblk(ncol, 1);
    for (int k = 0; k + 1 < npiv; k += 5) pivblk[k] = 2, pivblk[k + 1] = -1;
    std::vector<double> panel(std::size_t(n) * ncol), f22(std::size_t(ntrail) * (ntrail + 1) / 2);
    for (double& x : panel) x = u(gen);
    for (double& x : f22) x = u(gen);
    auto update = [&](int threads) {
      const ProductTeam team(threads);
      std::vector<double> f = f22, w1(std::size_t(npiv) * 32), w2(std::size_t(ntrail) * 32);
      double ops = 0.0;
      xdslum(npiv, ncol, n, 32, panel.data(), pivblk.data(), ntrail, f.data(), w1.data(), w2.data(), ops);
      return f;
    };
    const std::vector<double> one = update(1);
    for (int threads : {2, 3, 8}) EXPECT_TRUE(update(threads) == one) << ntrail << " " << threads;
  }
}

}  // namespace
}  // namespace zephsol::sparse
