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
