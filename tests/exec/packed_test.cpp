// Packed symmetric kernels against closed forms and a dense reference.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "zephsol/exec/packed.h"

namespace zephsol {
namespace {

using Dense = std::vector<std::vector<double>>;

std::vector<double> pack(const Dense& a) {
  const int n = static_cast<int>(a.size());
  std::vector<double> p;
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) p.push_back(a[i][j]);
  return p;
}

Dense unpack(const std::vector<double>& p, int n) {
  Dense a(n, std::vector<double>(n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) a[i - 1][j - 1] = p[packed_index(i, j, n)];
  return a;
}

Dense random_spd(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Dense b(n, std::vector<double>(n)), a(n, std::vector<double>(n, 0.0));
  for (auto& row : b)
    for (auto& x : row) x = u(rng);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) a[i][j] += b[i][k] * b[j][k];
    a[i][i] += 0.5;
  }
  return a;
}

TEST(Packed, IndexFollowsTheRowByRowUpperTriangle) {
  const int n = 5;
  std::size_t expect = 0;
  for (int i = 1; i <= n; ++i)
    for (int j = i; j <= n; ++j) {
      EXPECT_EQ(packed_index(i, j, n), expect);
      EXPECT_EQ(packed_index(j, i, n), expect);
      // The other form of the same position: (i-1)(2n-i)/2 + j, 1-based.
      EXPECT_EQ(packed_index(i, j, n) + 1, static_cast<std::size_t>((i - 1) * (2 * n - i) / 2 + j));
      ++expect;
    }
}

TEST(Packed, HilbertInverse) {
  std::vector<double> h{1.0, 1.0 / 2, 1.0 / 3, 1.0 / 3, 1.0 / 4, 1.0 / 5};
  word info = 99;
  PKINV(h, 3, info);
  ASSERT_EQ(info, 0);
  const double exact[] = {9, -36, 30, 192, -180, 180};
  for (int k = 0; k < 6; ++k) EXPECT_NEAR(h[k], exact[k], 1e-10 * std::abs(exact[k])) << k;
}

TEST(Packed, SmallClosedForms) {
  std::vector<double> a{4, 2, 3};
  word info = 99;
  PKCHOL(a, 2, 1e-14, info);
  EXPECT_EQ(info, 0);
  EXPECT_DOUBLE_EQ(a[0], 2.0);
  EXPECT_DOUBLE_EQ(a[1], 1.0);
  EXPECT_DOUBLE_EQ(a[2], std::sqrt(2.0));

  std::vector<double> b{4, 2, 3};
  PKINV(b, 2, info);
  EXPECT_EQ(info, 0);
  EXPECT_NEAR(b[0], 0.375, 1e-15);
  EXPECT_NEAR(b[1], -0.25, 1e-15);
  EXPECT_NEAR(b[2], 0.5, 1e-15);

  // Diagonal: reciprocals, zeros elsewhere.
  std::vector<double> d{2, 0, 0, 4, 0, 8};
  PKINV(d, 3, info);
  EXPECT_EQ(info, 0);
  const double dinv[] = {0.5, 0, 0, 0.25, 0, 0.125};
  for (int k = 0; k < 6; ++k) {
    if (dinv[k] == 0.0)
      EXPECT_EQ(d[k], 0.0) << k;
    else
      EXPECT_NEAR(d[k], dinv[k], 1e-15) << k;
  }

  std::vector<double> y(1);
  PKMVEC(std::vector<double>{3.0}, std::vector<double>{-2.0}, 1, y);
  EXPECT_EQ(y[0], -6.0);
}

TEST(Packed, InfoCodes) {
  struct Case {
    const char* what;
    std::vector<double> a;
    int n;
    word info;
    std::vector<double> after;  // the array PKCHOL leaves (empty: not checked)
  };
  const Case cases[] = {
      {"order 0", {5.0}, 0, -1, {5.0}},
      {"negative first pivot, stops at once", {-1, 2, 3}, 2, -1, {-1, 2, 3}},
      {"zero first pivot", {0, 1, 1}, 2, -1, {0, 1, 1}},
      {"singular: second pivot zero", {1, 1, 1}, 2, -1, {1, 1, 1}},
      {"indefinite: second pivot negative", {1, 2, 1}, 2, -1, {1, 2, 1}},
      // Second pivot (1 + 1e-15) - 1 is below 1e-14 of the diagonal: flagged,
      // and the factor is completed all the same.
      {"small second pivot", {1, 1, 1 + 1e-15}, 2, 2, {1, 1, std::sqrt((1 + 1e-15) - 1.0)}},
      // Rows 2 and 4 both small: the first one is reported, all rows factored.
      {"first small row reported",
       {1, 1, 0, 0, 1 + 1e-15, 0, 0, 1, 1, 1 + 1e-15},
       4,
       2,
       {1, 1, 0, 0, std::sqrt((1 + 1e-15) - 1.0), 0, 0, 1, 1, std::sqrt((1 + 1e-15) - 1.0)}},
  };
  for (const auto& c : cases) {
    auto a = c.a;
    word info = 99;
    PKCHOL(a, c.n, 1e-14, info);
    EXPECT_EQ(info, c.info) << c.what;
    if (!c.after.empty()) {
      ASSERT_EQ(a.size(), c.after.size());
      for (std::size_t k = 0; k < a.size(); ++k) EXPECT_DOUBLE_EQ(a[k], c.after[k]) << c.what << " " << k;
    }
    // PKINV reports the same code and does not invert.
    auto b = c.a;
    word info2 = 99;
    PKINV(b, c.n, info2);
    EXPECT_EQ(info2, c.info) << c.what;
    if (!c.after.empty()) {
      for (std::size_t k = 0; k < b.size(); ++k) EXPECT_DOUBLE_EQ(b[k], c.after[k]) << c.what << " " << k;
    }
  }
}

TEST(Packed, RandomSpdAgainstDenseReference) {
  std::mt19937 rng(7);
  for (int n = 1; n <= 24; ++n) {
    const Dense a = random_spd(rng, n);

    // U^T U reproduces A.
    auto u = pack(a);
    word info = 99;
    PKCHOL(u, n, 1e-14, info);
    ASSERT_EQ(info, 0);
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        double s = 0.0;
        for (int k = 1; k <= i; ++k) s += u[packed_index(k, i, n)] * u[packed_index(k, j, n)];
        EXPECT_NEAR(s, a[i - 1][j - 1], 1e-12 * n) << n << " " << i << " " << j;
      }

    // A times its inverse is the identity.
    auto inv = pack(a);
    PKINV(inv, n, info);
    ASSERT_EQ(info, 0);
    const Dense ai = unpack(inv, n);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        double s = 0.0;
        for (int k = 0; k < n; ++k) s += a[i][k] * ai[k][j];
        EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-10) << n << " " << i << " " << j;
      }

    // Packed product against the dense one.
    std::vector<double> x(n), y(n);
    std::uniform_real_distribution<double> v(-2.0, 2.0);
    for (auto& t : x) t = v(rng);
    PKMVEC(pack(a), x, n, y);
    for (int i = 0; i < n; ++i) {
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += a[i][k] * x[k];
      EXPECT_NEAR(y[i], s, 1e-12 * n) << n << " " << i;
    }
  }
}

}  // namespace
}  // namespace zephsol
