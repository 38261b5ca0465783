// Principal stresses of a point: eigenvalues against a Jacobi rotation
// solver, the class placements, equal roots, and the in-plane direction and
// rebuild.
#include "zephsol/iter/principal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "support/jacobi.h"
#include "support/ptfix.h"

namespace zephsol::test {
namespace {

using Tri = std::array<double, 3>;

// Compression-positive principal values as (largest, smallest, middle).
Tri expected_prnsig(const Vec6& tensor) {
  Vec6 neg = tensor;
  for (double& x : neg) x = -x;
  const Tri e = jacobi(neg).value;
  return {e[2], e[0], e[1]};
}

Tri prnsig(const Vec6& sig, word iclass) {
  Tri p{};
  PRNSIG(sig, iclass, p);
  return p;
}

// tol relative to the largest value; the trigonometric roots keep about nine
// digits (the angle constants 2.094395103 and 4.188790206, and arccos near
// equal roots).
void expect_values(const Tri& got, const Tri& want, double tol) {
  const double scale = std::max({1.0, std::fabs(want[0]), std::fabs(want[1]), std::fabs(want[2])});
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], tol * scale) << "value " << i + 1;
}

class PrincipalTest : public PointLawTest {};

TEST_F(PrincipalTest, SolidValuesMatchAnIndependentSolver) {
  struct Case {
    const char* what;
    Vec6 s;
    Tri want;
  };
  const Case cases[] = {
      {"uniaxial tension", {1, 0, 0, 0, 0, 0}, {0, -1, 0}},
      {"uniaxial compression", {0, 0, -4, 0, 0, 0}, {4, 0, 0}},
      {"K0 above 1 (equal larger roots)", {-10, -5, -10, 0, 0, 0}, {10, 5, 10}},
      {"triaxial compression (equal smaller roots)", {-10, -20, -10, 0, 0, 0}, {20, 10, 10}},
      {"hydrostatic", {-10, -10, -10, 0, 0, 0}, {10, 10, 10}},
      {"pure shear", {0, 0, 0, 5, 0, 0}, {5, -5, 0}},
      {"shear with normals", {-1, -2, -3, 0.5, 0, 0}, {3, 1.5 - std::sqrt(0.5), 1.5 + std::sqrt(0.5)}},
      {"zero", {}, {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    expect_values(prnsig(c.s, 3), c.want, 1e-8);
    expect_values(prnsig(c.s, 3), expected_prnsig(c.s), 1e-8);
  }
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-100.0, 100.0);
  for (int i = 0; i < 200; ++i) {
    Vec6 s{};
    for (double& x : s) x = u(gen);
    if (i % 3 == 0) s[4] = s[5] = 0.0;  // equal roots and zero determinants turn up too
    if (i % 5 == 0) s[1] = s[0];
    expect_values(prnsig(s, 3), expected_prnsig(s), 1e-8);
  }
}

TEST_F(PrincipalTest, EqualRootsOfARotatedTensor) {
  // diag(-10, -10, -5) turned by 30 degrees about x: rounding leaves D a
  // little off 0; arccos at the end of its range keeps about seven digits.
  const double c = std::cos(0.5235987755982988), s = std::sin(0.5235987755982988);
  const Vec6 t{-10.0, -10.0 * c * c - 5.0 * s * s, -10.0 * s * s - 5.0 * c * c, 0.0, -5.0 * s * c, 0.0};
  expect_values(prnsig(t, 3), {10, 5, 10}, 1e-7);
  const PrincipalValues v = principal_values({2, 2, 2, 0, 0, 0});
  EXPECT_EQ(v.nv, 3);
  expect_values(v.p, {2, 2, 2}, 1e-14);
}

TEST_F(PrincipalTest, CountsOfValuesForTheDerivedResults) {
  EXPECT_EQ(principal_values({}).nv, 0);
  const PrincipalValues one = principal_values({100, 0, 0, 0, 0, 0});
  EXPECT_EQ(one.nv, 1);
  expect_values(one.p, {100, 0, 0}, 1e-12);
  const PrincipalValues two = principal_values({0, 0, 0, 50, 0, 0});
  EXPECT_EQ(two.nv, 2);
  expect_values(two.p, {50, 0, -50}, 1e-12);
}

TEST_F(PrincipalTest, ClassPlacementsAndOrders) {
  struct Case {
    word iclass;
    Vec6 sig;
    Tri want;
  };
  const double r = std::sqrt(16.0 + 9.0);  // shell and beam shears 4 and 3
  const Case cases[] = {
      {1, {5, 0, 0, 0, 0, 0}, {0, -5, 0}},
      {2, {-2, -6, 0, 0, 0, 0}, {6, 0, 2}},              // membrane: the zero out-of-plane value
      {2, {3, -1, 2, 0, 0, 0}, {-1 + std::sqrt(8.0), -1 - std::sqrt(8.0), 0}},
      {4, {-2, -6, 3, 0, 0, 0}, {6, -3, 2}},             // hoop value sorted in
      {5, {-2, -6, 3, 0, 0, 0}, {6, 2, -3}},             // plane: in-plane pair, then sz
      {6, {-6, 4, 3, 0, 0, 0}, {3 + std::sqrt(9.0 + r * r), 3 - std::sqrt(9.0 + r * r), 0}},
      {7, {-2, -6, 1, 4, 3, 0}, expected_prnsig({-2, -6, 0, 1, 4, 3})},
      {8, {-2, 3, 0, 0, 0, 0}, {2, -3, 0}},
  };
  for (const Case& c : cases) expect_values(prnsig(c.sig, c.iclass), c.want, 1e-8);
}

TEST_F(PrincipalTest, DirectionAndRebuildOfAnInPlaneStress) {
  const double sx = 30, sy = -10, t = 15;
  double alpha = 0.0;
  PRNDIR(sx, sy, t, alpha);
  EXPECT_NEAR(std::tan(2.0 * alpha), 2.0 * t / (sx - sy), 1e-12);
  Tri p = prnsig({sx, sy, 0, t, 0, 0}, 5);
  std::copy(p.begin(), p.end(), eivwka().blk.b1.v.begin());
  double x = 0, y = 0, tau = 0;
  SIGFRP(alpha, x, y, tau);
  EXPECT_NEAR(x, sx, 1e-12);
  EXPECT_NEAR(y, sy, 1e-12);
  EXPECT_NEAR(tau, t, 1e-12);
  // Equal normals without shear: 45 degrees, and any angle rebuilds the same stress.
  PRNDIR(4, 4, 0, alpha);
  EXPECT_NEAR(alpha, 0.78539816, 1e-15);
  stress_from_principal(-4, -4, alpha, x, y, tau);
  EXPECT_NEAR(x, 4, 1e-12);
  EXPECT_NEAR(y, 4, 1e-12);
  EXPECT_NEAR(tau, 0, 1e-12);
  PRNDIR(4, 4, 2, alpha);
  EXPECT_NEAR(alpha, 0.78539816, 1e-15);
}

void class_nine() {
  Tri p{};
  PRNSIG(Vec6{}, 9, p);
}

TEST_F(PrincipalTest, ClassWithoutPrincipalValuesEndsTheRun) {
  EXPECT_NE(fatal_log(*fs, class_nine).find("3523"), std::string::npos);
}

}  // namespace
}  // namespace zephsol::test
