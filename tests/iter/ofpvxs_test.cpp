// Derived values of a point: hand values of the simple states, principal
// values and directions of general tensors against a Jacobi eigen-solver
// (each direction a unit vector n with sigma n = p n), the plane order under
// "PRSTRES2", the engineering shear of strains, and the fatal ends.
#include "zephsol/iter/ofpvxs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/jacobi.h"
#include "common/testing.h"
#include "zephsol/iter/iter_records.h"

namespace zephsol::test {
namespace {

using Out = std::array<float, 13>;
using Vec6 = std::array<double, 6>;

constexpr double kPi = 3.14159265358979323846;

class OfpvxsTest : public ::testing::Test {
 protected:
  testing::FreshFileSystem fs_{1};
  void SetUp() override { reset_iter_state(); }
};

// The result of a selector, the words OFPVXS leaves alone marked 7.
Out derived(std::vector<double> c, word iclass, word isel) {
  Out out;
  out.fill(7.0f);
  OFPVXS(c, iclass, out, isel);
  return out;
}

float one(std::vector<double> c, word iclass, word isel) { return derived(std::move(c), iclass, isel)[0]; }

void expect_words(const Out& got, const std::vector<float>& want, float tol) {
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], tol) << "word " << i + 1;
}

TEST_F(OfpvxsTest, HandValuesOfSimpleStates) {
  // Uniaxial solid: one value, its direction along x; p2, p3 have none.
  EXPECT_FLOAT_EQ(one({100, 0, 0, 0, 0, 0}, 3, kVonMises), 100.0f);
  expect_words(derived({100, 0, 0, 0, 0, 0}, 3, kStressSet), {100, 0, 0, 50, 0, 90, 90, 0, 0, 0, 0, 0, 0}, 1e-4f);
  // A zero tensor: every word 0.
  expect_words(derived({0, 0, 0, 0, 0, 0}, 3, kStressSet), std::vector<float>(13, 0.0f), 0.0f);
  // Pure shear of a membrane: the principal axes at 45 and 135 degrees.
  const Out shear = derived({0, 0, 50}, 2, kStressSet);
  expect_words(shear, {50, -50, 50, 45, 45, 135, 45}, 1e-4f);
  EXPECT_EQ(shear[7], 7.0f);  // the in-plane set is seven words
  EXPECT_NEAR(one({0, 0, 50}, 2, kVonMises), 50.0 * std::sqrt(3.0), 1e-4);
  // Equal normals without shear: no direction.
  expect_words(derived({5, 5, 0}, 11, kStressSet), {5, 5, 0, 0, 0, 0, 0}, 1e-6f);
  // A rod: sx, and 0 as the smallest value.
  EXPECT_EQ(one({-12.5}, 1, kLargestPrincipal), -12.5f);
  EXPECT_EQ(one({-12.5}, 1, kSmallestPrincipal), 0.0f);
  const Out rod = derived({-12.5}, 1, kStressSet);
  EXPECT_EQ(rod[0], -12.5f);
  EXPECT_EQ(rod[1], 7.0f);
  // Two normal values: the first direction is y when sy is the larger.
  expect_words(derived({1, 4}, 8, kStressSet), {4, 1, 1.5f, 90, 0, 0, 90}, 1e-6f);
  expect_words(derived({4, 1}, 8, kStrainSet), {4, 1, 3, 0, 90, 90, 0}, 1e-6f);
  // Shell transverse shear alone: von Mises sqrt(3) tau.
  EXPECT_NEAR(one({0, 0, 0, 10, 0}, 7, kVonMises), 10.0 * std::sqrt(3.0), 1e-5);
  // Single selectors of a membrane: p1, p3 and half their difference.
  EXPECT_NEAR(one({3, -1, 2}, 2, kLargestPrincipal), 1 + std::sqrt(8.0), 1e-5);
  EXPECT_NEAR(one({3, -1, 2}, 2, kSmallestPrincipal), 1 - std::sqrt(8.0), 1e-5);
  EXPECT_NEAR(one({3, -1, 2}, 2, kMaxShear), std::sqrt(8.0), 1e-5);
}

// The unit vector of three direction angles (degrees).
std::array<double, 3> cosines(const Out& o, std::size_t first) {
  std::array<double, 3> n{};
  for (std::size_t i = 0; i < 3; ++i) n[i] = std::cos(o[first + i] * kPi / 180.0);
  return n;
}

// |sigma n - p n| relative to the size of the tensor, and |n| - 1.
void expect_direction(const Vec6& t, double p, const std::array<double, 3>& n) {
  const double m[3][3] = {{t[0], t[3], t[5]}, {t[3], t[1], t[4]}, {t[5], t[4], t[2]}};
  double scale = 1.0, res = 0.0;
  for (double x : t) scale = std::max(scale, std::fabs(x));
  for (int i = 0; i < 3; ++i) {
    double r = -p * n[static_cast<std::size_t>(i)];
    for (int j = 0; j < 3; ++j) r += m[i][j] * n[static_cast<std::size_t>(j)];
    res = std::max(res, std::fabs(r));
  }
  EXPECT_LT(res, 1e-4 * scale);
  EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-5);
}

// Values of the full set against the reference, descending, and each
// direction an eigenvector of its value.
void expect_three(const Out& o, const Vec6& t, double tau_factor) {
  const Eigen3 e = jacobi(t);
  const double scale = std::max({1.0, std::fabs(e.value[0]), std::fabs(e.value[2])});
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(o[k], e.value[2 - k], 1e-5 * scale) << "value " << k + 1;
  EXPECT_NEAR(o[3], tau_factor * (e.value[2] - e.value[0]), 1e-5 * scale);
  for (std::size_t k = 0; k < 3; ++k) expect_direction(t, o[k], cosines(o, 4 + 3 * k));
}

TEST_F(OfpvxsTest, SolidTensorsAgainstAReferenceSolver) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(-100.0, 100.0);
  for (int i = 0; i < 100; ++i) {
    Vec6 t{};
    for (double& x : t) x = u(gen);
    SCOPED_TRACE("tensor " + std::to_string(i));
    const Out o = derived({t.begin(), t.end()}, 3, kStressSet);
    expect_three(o, t, 0.5);
    EXPECT_NEAR(one({t.begin(), t.end()}, 3, kLargestPrincipal), o[0], 1e-5 * std::fabs(o[0]) + 1e-5);
    EXPECT_NEAR(one({t.begin(), t.end()}, 3, kSmallestPrincipal), o[2], 1e-5 * std::fabs(o[2]) + 1e-5);
    const double vm = std::sqrt(0.5 * ((o[0] - o[1]) * (o[0] - o[1]) + (o[1] - o[2]) * (o[1] - o[2]) +
                                       (o[2] - o[0]) * (o[2] - o[0])));
    EXPECT_NEAR(one({t.begin(), t.end()}, 3, kVonMises), vm, 1e-4 * vm);  // invariant under rotation
  }
}

TEST_F(OfpvxsTest, ShellBeamAndMembraneClassesPlaceTheirComponents) {
  // Shell (sx, sy, txy, tyz, tzx) and class 9 (sx, sy, tyz): three values.
  expect_three(derived({-2, -6, 1, 4, 3}, 7, kStressSet), {-2, -6, 0, 1, 4, 3}, 0.5);
  expect_three(derived({5, -3, 2}, 9, kStressSet), {5, -3, 0, 0, 2, 0}, 0.5);
  // Beam section (s, txy, tzx): the zero determinant gives p1 and p3, p2 = 0
  // with no direction.
  const Vec6 beam{-6, 0, 0, 4, 0, 3};
  const Out b = derived({-6, 4, 3}, 6, kStressSet);
  const double r = std::sqrt(9.0 + 25.0);
  expect_words(b, {static_cast<float>(-3 + r), 0, static_cast<float>(-3 - r), static_cast<float>(r)}, 1e-5f);
  expect_words(Out{b[7], b[8], b[9]}, {0, 0, 0}, 0.0f);
  expect_direction(beam, b[0], cosines(b, 4));
  expect_direction(beam, b[2], cosines(b, 10));
}

TEST_F(OfpvxsTest, EqualLargerRootsKeepTheirValues) {
  // diag(5, 5, 1): the two larger values are equal; the smallest still has
  // its direction along z.
  const Out o = derived({5, 5, 1, 0, 0, 0}, 3, kStressSet);
  expect_words(o, {5, 5, 1, 2}, 1e-5f);
  expect_words(Out{o[10], o[11], o[12]}, {90, 90, 0}, 1e-3f);
  // The same turned by 30 degrees about x, and a hydrostatic state.
  const double c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  expect_words(derived({5, 5 * c * c + s * s, 5 * s * s + c * c, 0, 4 * s * c, 0}, 3, kStressSet), {5, 5, 1, 2},
               1e-5f);
  expect_words(derived({-10, -10, -10, 0, 0, 0}, 3, kStressSet), {-10, -10, -10, 0}, 1e-5f);
}

TEST_F(OfpvxsTest, PlaneOrderUnderThePrincipalStressRequest) {
  struct Case {
    double sz;
    word prstres2;
    std::vector<float> want;
  };
  const Case cases[] = {
      {5, -1, {10, 5, 2}},
      {5, 3, {10, 5, 2}},
      {20, -1, {20, 10, 2}},
      {20, 3, {10, 20, 2}},  // larger in-plane, out-of-plane, smaller in-plane
  };
  for (const Case& c : cases) {
    ofpreq()(kPrintPrstres2) = c.prstres2;
    SCOPED_TRACE("sz " + std::to_string(c.sz) + " request " + std::to_string(c.prstres2));
    expect_words(derived({10, 2, c.sz, 0}, 5, kStressSet), c.want, 1e-5f);
    EXPECT_NEAR(one({10, 2, c.sz, 0}, 5, kSmallestPrincipal), c.want[2], 1e-5);
  }
  // The axisymmetric class is always sorted.
  ofpreq()(kPrintPrstres2) = 3;
  expect_words(derived({10, 2, 20, 0}, 4, kStressSet), {20, 10, 2}, 1e-5f);
}

TEST_F(OfpvxsTest, StrainsTakeTheEngineeringShearAndWholeDifferences) {
  // ex = 3, ey = 1, gamma = 2 (tensor shear 1), ez = 0.5: in-plane values
  // 2 +- sqrt(2), the first at 22.5 degrees to r; the stress with txy = 1
  // has the same values and half the shear difference.
  const double p1 = 2 + std::sqrt(2.0), p2 = 2 - std::sqrt(2.0);
  const Out e = derived({3, 1, 0.5, 2}, 4, kStrainSet);
  expect_words(e, {static_cast<float>(p1), static_cast<float>(p2), 0.5f, static_cast<float>(p1 - 0.5)}, 1e-5f);
  expect_words(Out{e[4], e[5], e[6]}, {22.5f, 67.5f, 90}, 1e-3f);
  expect_words(Out{e[10], e[11], e[12]}, {90, 90, 0}, 1e-3f);
  expect_three(e, {3, 1, 0.5, 1, 0, 0}, 1.0);
  expect_three(derived({3, 1, 0.5, 1}, 4, kStressSet), {3, 1, 0.5, 1, 0, 0}, 0.5);
  // Every class: a membrane's engineering shear 50 is the tensor shear 25.
  const Out m = derived({0, 0, 50}, 2, kStrainSet);
  expect_words(m, {25, -25, 50, 45, 45, 135, 45}, 1e-4f);
  // A solid's three engineering shears, halved in the tensor.
  expect_three(derived({3, 1, 0.5, 2, -1, 0.5}, 3, kStrainSet), {3, 1, 0.5, 1, -0.5, 0.25}, 1.0);
}

void bad_call(word iclass, word isel) {
  Out out{};
  const std::vector<double> c(6, 1.0);
  OFPVXS(c, iclass, out, isel);
}

TEST_F(OfpvxsTest, UnknownClassOrSelectorEndsTheRun) {
  struct Bad {
    word iclass;
    word isel;
    const char* code;
  };
  for (const Bad& b : {Bad{10, kVonMises, "3523"}, Bad{12, kStressSet, "3523"}, Bad{0, kMaxShear, "3523"},
                       Bad{3, 8804, "4090"}, Bad{2, -1, "4090"}}) {
    SCOPED_TRACE(b.code);
    EXPECT_EXIT(bad_call(b.iclass, b.isel), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(fs_.read("errors").find(b.code), std::string::npos) << fs_.read("errors");
  }
}

}  // namespace
}  // namespace zephsol::test
