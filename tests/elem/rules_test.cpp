// Integration rules against closed-form integrals.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "common/fatal.h"
#include "zephsol/elem/rules.h"

namespace zephsol {
namespace {

double factorial(int n) { return n <= 1 ? 1.0 : n * factorial(n - 1); }

// Integral of x^k over [-1, 1].
double line_moment(int k) { return k % 2 == 1 ? 0.0 : 2.0 / (k + 1); }

TEST(Gauss, IntegratesPolynomialsUpToDegree2nMinus1) {
  for (int n = 1; n <= 10; ++n) {
    std::array<double, 10> x{}, w{};
    GAUSPT(n, x, w);
    for (int i = 1; i < n; ++i) EXPECT_LT(x[i - 1], x[i]) << "n=" << n;
    for (int i = 0; i < n; ++i) EXPECT_EQ(x[i], -x[n - 1 - i]) << "n=" << n;
    for (int k = 0; k <= 2 * n - 1; ++k) {
      double s = 0.0;
      for (int i = 0; i < n; ++i) s += w[i] * std::pow(x[i], k);
      EXPECT_NEAR(s, line_moment(k), 1e-14) << "n=" << n << " k=" << k;
    }
    // Degree 2n is not exact: the rule really has n points.
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += w[i] * std::pow(x[i], 2 * n);
    EXPECT_GT(std::abs(s - line_moment(2 * n)), 1e-6) << "n=" << n;
  }
}

TEST(Gauss, PublishedValues) {
  std::array<double, 10> x{}, w{};
  GAUSPT(2, x, w);
  EXPECT_EQ(x[0], -0.577350269189626);
  EXPECT_EQ(x[1], 0.577350269189626);
  EXPECT_EQ(w[0], 1.0);
  GAUSPT(5, x, w);
  EXPECT_EQ(x[2], 0.0);
  EXPECT_EQ(w[2], 0.568888888888889);
  GAUSPT(1, x, w);
  EXPECT_EQ(x[0], 0.0);
  EXPECT_EQ(w[0], 2.0);
}

TEST(ClosedRule, SimpsonForOddAndTrapezoidForEvenCounts) {
  struct Case {
    int n;
    std::array<double, 5> w;  // first weights
  };
  const Case cases[] = {
      {1, {2.0}},
      {2, {1.0, 1.0}},
      {3, {1.0 / 3, 4.0 / 3, 1.0 / 3}},
      {4, {1.0 / 3, 2.0 / 3, 2.0 / 3, 1.0 / 3}},
      {5, {1.0 / 6, 2.0 / 3, 1.0 / 3, 2.0 / 3, 1.0 / 6}},
  };
  for (const auto& c : cases) {
    std::array<double, 11> x{}, w{};
    NCOTPT(c.n, x, w);
    for (int i = 0; i < c.n; ++i) EXPECT_NEAR(w[i], c.w[i], 1e-15) << "n=" << c.n << " i=" << i;
  }
  std::array<double, 11> x{}, w{};
  NCOTPT(4, x, w);
  EXPECT_NEAR(x[1], -1.0 / 3, 1e-15);
  EXPECT_NEAR(x[2], 1.0 / 3, 1e-15);
}

TEST(ClosedRule, CompositeRulesIntegrateToTheirOwnDegree) {
  for (int n = 2; n <= 11; ++n) {
    std::array<double, 11> x{}, w{};
    NCOTPT(n, x, w);
    EXPECT_EQ(x[0], -1.0);
    EXPECT_NEAR(x[n - 1], 1.0, 1e-15);
    const int exact = n % 2 == 1 ? 3 : 1;  // Simpson cubic, trapezoid linear
    for (int k = 0; k <= exact; ++k) {
      double s = 0.0;
      for (int i = 0; i < n; ++i) s += w[i] * std::pow(x[i], k);
      EXPECT_NEAR(s, line_moment(k), 1e-14) << "n=" << n << " k=" << k;
    }
  }
  // Composite Simpson on two panels of width 1: integral of x^4 is 5/12, not 2/5.
  std::array<double, 11> x{}, w{};
  NCOTPT(5, x, w);
  double s = 0.0;
  for (int i = 0; i < 5; ++i) s += w[i] * std::pow(x[i], 4);
  EXPECT_NEAR(s, 5.0 / 12.0, 1e-15);
}

// Integral over the reference triangle of L1^a L2^b L3^c = a! b! c! / (a+b+c+2)!.
TEST(TriangleRule, IntegratesAreaCoordinateMonomialsToItsDegree) {
  for (const auto& [nint, degree] : {std::pair{1, 1}, {4, 3}, {7, 5}}) {
    std::array<double, 21> l{};
    std::array<double, 7> w{};
    TRIAPT(nint, l, w);
    for (int a = 0; a <= degree; ++a)
      for (int b = 0; a + b <= degree; ++b)
        for (int c = 0; a + b + c <= degree; ++c) {
          double s = 0.0;
          for (int p = 0; p < nint; ++p)
            s += w[p] * std::pow(l[3 * p], a) * std::pow(l[3 * p + 1], b) * std::pow(l[3 * p + 2], c);
          const double exact = factorial(a) * factorial(b) * factorial(c) / factorial(a + b + c + 2);
          EXPECT_NEAR(s, exact, 1e-13) << nint << " points, " << a << b << c;
        }
  }
  std::array<double, 21> l{};
  std::array<double, 7> w{};
  TRIAPT(4, l, w);
  EXPECT_LT(w[0], 0.0);  // centroid first, negative weight
  TRIAPT(7, l, w);
  EXPECT_EQ(l[12], 0.47014206410512);  // point 5 is (c, c, e)
  EXPECT_EQ(l[14], 0.05971587178977);
  EXPECT_EQ(l[15], 0.05971587178977);  // point 6 is (e, c, c)
}

// Integral over the reference tetrahedron of L1^a L2^b L3^c L4^d = a! b! c! d! / (a+b+c+d+3)!.
TEST(TetrahedronRule, IntegratesVolumeCoordinateMonomialsToItsDegree) {
  for (const auto& [nint, degree] : {std::pair{1, 1}, {5, 3}}) {
    std::array<double, 20> l{};
    std::array<double, 5> w{};
    TETRPT(nint, l, w);
    for (int a = 0; a <= degree; ++a)
      for (int b = 0; a + b <= degree; ++b)
        for (int c = 0; a + b + c <= degree; ++c)
          for (int d = 0; a + b + c + d <= degree; ++d) {
            double s = 0.0;
            for (int p = 0; p < nint; ++p)
              s += w[p] * std::pow(l[4 * p], a) * std::pow(l[4 * p + 1], b) *
                   std::pow(l[4 * p + 2], c) * std::pow(l[4 * p + 3], d);
            const double exact = factorial(a) * factorial(b) * factorial(c) * factorial(d) /
                                 factorial(a + b + c + d + 3);
            EXPECT_NEAR(s, exact, 1e-13) << nint << " points, " << a << b << c << d;
          }
  }
  std::array<double, 20> l{};
  std::array<double, 5> w{};
  TETRPT(5, l, w);
  EXPECT_EQ(w[0], -0.1333333333333);
}

TEST(RuleCounts, OutsideTheSetEndTheRun) {
  std::array<double, 64> a{}, b{};
  struct Case {
    const char* text;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"NGUS =       11", [&] { GAUSPT(11, a, b); }},
      {"NGUS =        0", [&] { GAUSPT(0, a, b); }},
      {"NINT =       12", [&] { NCOTPT(12, a, b); }},
      {"NINT =        3", [&] { TRIAPT(3, a, b); }},
      {"NINT =        4", [&] { TETRPT(4, a, b); }},
  };
  for (const auto& c : cases) {
    const std::string log = test::fatal_log(c.call);
    EXPECT_TRUE(test::has_message(log, 8015)) << log;
    EXPECT_NE(log.find(std::string("WRONG ARGUMENT PROVIDED -- ") + c.text), std::string::npos) << log;
  }
}

}  // namespace
}  // namespace zephsol
