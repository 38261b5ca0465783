// The contact element: the shear resultant on its trilinear curve (values
// by hand from the limits f1 = |mu1 t1| + c1, f2 = |mu2 t1| + c2), the
// plateau of a negative second stiffness, the moment curves up and down on
// both sides, separation, a component without stiffness, the axis of an
// element of zero length, the tangent of the branch reached, and the forces
// the internal-force routine reads back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/ptfix.h"
#include "tests/elem/kfix.h"
#include "common/testing.h"
#include "zephsol/iter/sstruct.h"

namespace zephsol::test {
namespace {

// Words: 1 kn 1e6, 2 ks1 1000, 4-6 rotational 100, 9 closure 1 (no lock
// here), 10 tension limit 0, 11 locked 1e9, 12 separated 1, 13 c1 5, 14 mu1
// 0.5, 15 ks2 100, 16 c2 10, 17 mu2 0.6, 18 ks3 10, 19 moment limit 1, 20
// second rotational stiffness 10.
std::vector<float> contact_props() {
  return {1e6f, 1000, 0, 100, 100, 100, 0, 0, 1, 0, 1e9f, 1, 5, 0.5f, 100, 10, 0.6f, 10, 1, 10};
}

// Along global x from the origin: the contact frame is the global one.
void contact(std::vector<float> p = contact_props(), std::vector<double> xyz = {0, 0, 0, 1, 0, 0}) {
  make_element(23, xyz, p);
}

// Node 2 moved by (translation, rotation); node 1 held.
std::vector<double> move(std::array<double, 3> d, std::array<double, 3> r = {}) {
  return {0, 0, 0, 0, 0, 0, d[0], d[1], d[2], r[0], r[1], r[2]};
}

std::vector<double> contact_update(const std::vector<double>& ue) {
  std::vector<double> fe(12, 0.0);
  SCNT2(ue, fe);
  return fe;
}

double code(int curve) {
  EIVGTA(1);
  return eivwka().blk.b12[static_cast<std::size_t>(21 * curve)];
}

TEST(Scnt2, ShearResultantFollowsItsTrilinearCurveUpAndDown) {
  // t1 = -100: f1 = 55, f2 = 70, d1 = 0.055, d2 = 0.205, a2 = 49.5, a3 = 67.95.
  contact();
  StateRecord st;
  stpctr().NITER = 0;
  contact_update(move({-1e-4, 0, 0}));
  struct Row {
    double du, f, code, ds;  // increment of the resultant, force, branch code, tangent after
    bool iterate;
  };
  const Row rows[] = {
      {0.1, 59.5, 20.2, 100.0, true},     // second branch
      {0.2, 70.95, 30.2, 10.0, true},     // third branch
      {-0.27, 30.0, 30.2, 10.0, false},   // back below d1: k1 v, the code of the branch reached
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.f);
    sigcom().KITER = 0;
    const std::vector<double> fe = contact_update(move({0, r.du, 0}));
    EIVGTA(1);
    EXPECT_NEAR(eivwka().vec[0][0], -100.0, 1e-6);
    EXPECT_NEAR(eivwka().vec[0][1], r.f, 1e-4);
    EXPECT_EQ(eivwka().vec[0][2], 0.0);
    EXPECT_FLOAT_EQ(code(0), static_cast<float>(r.code));
    EXPECT_EQ(sigcom().KITER, r.iterate ? -1 : 0);
    std::array<double, 6> d{};
    CNTMAT(3, d);
    EXPECT_DOUBLE_EQ(d[3], r.ds);
    EXPECT_DOUBLE_EQ(d[5], r.ds);
    // Node 2 carries the local forces, node 1 the opposite; read back the same.
    EXPECT_NEAR(fe[7], r.f, 1e-4);
    EXPECT_NEAR(fe[1], -r.f, 1e-4);
    EXPECT_NEAR(fe[6], -100.0, 1e-6);
    const std::vector<double> back = internal_force();
    for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(back[i], fe[i], 1e-4) << i;
  }
}

TEST(Scnt2, NegativeSecondStiffnessIsAPlateauAtTheFirstLimit) {
  // ks1 = 10000 (d1 = 0.0055), word 15 = -0.01: f = 55 up to 0.01, then 10 v + 70 - 0.1.
  std::vector<float> p = contact_props();
  p[1] = 10000;
  p[14] = -0.01f;
  contact(p);
  StateRecord st;
  stpctr().NITER = 0;
  contact_update(move({-1e-4, 0, 0}));
  contact_update(move({0, 0, 0.008}));
  EIVGTA(1);
  EXPECT_NEAR(eivwka().vec[0][2], 55.0, 1e-4);
  EXPECT_FLOAT_EQ(code(0), 20.2f);
  contact_update(move({0, 0, 0.012}));
  EIVGTA(1);
  EXPECT_NEAR(eivwka().vec[0][2], 10.0 * 0.02 + 70.0 - 10.0 * 0.01, 1e-4);
  EXPECT_FLOAT_EQ(code(0), 30.2f);
}

TEST(Scnt2, MomentCurvesOnBothSides) {
  // k1 = 100, limit 1, k2 = k3 = 10: d1 = d2 = 0.01, a2 = a3 = 0.9; component
  // 6's second limit is 1e8 times the first, so it stays on its second branch.
  contact();
  StateRecord st;
  stpctr().NITER = 0;
  struct Row {
    double dr;
    double m45, code45, m6, code6;
    bool iterate;
  };
  const Row rows[] = {
      {0.05, 1.4, 30.2, 1.4, 20.2, true},
      {-0.045, 0.5, 10.2, 0.5, 10.2, false},   // unloaded below d1: k1 v
      {-0.055, -1.4, 30.2, -1.4, 20.2, true},  // the negative side
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.dr);
    sigcom().KITER = 0;
    contact_update(move({0, 0, 0}, {r.dr, r.dr, r.dr}));
    EIVGTA(1);
    EXPECT_NEAR(eivwka().vec[0][3], r.m45, 1e-6);
    EXPECT_NEAR(eivwka().vec[0][4], r.m45, 1e-6);
    EXPECT_NEAR(eivwka().vec[0][5], r.m6, 1e-6);
    EXPECT_FLOAT_EQ(code(1), static_cast<float>(r.code45));
    EXPECT_FLOAT_EQ(code(2), static_cast<float>(r.code45));
    EXPECT_FLOAT_EQ(code(3), static_cast<float>(r.code6));
    EXPECT_EQ(sigcom().KITER, r.iterate ? -1 : 0);
  }
}

TEST(Scnt2, SeparatedElementCarriesOnlyItsMoments) {
  contact();
  StateRecord st;
  stpctr().NITER = 0;
  contact_update(move({1e-4, 0.01, 0}, {0.005, 0, 0}));
  EIVGTA(1);
  EXPECT_EQ(eivwka().blk.b11.iv[0], 1);
  EXPECT_EQ(sigcom().KITER, -1);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(eivwka().vec[0][k], 0.0);
  EXPECT_NEAR(eivwka().vec[0][3], 0.5, 1e-6);
  // Still apart: no normal or shear force.
  contact_update(move({0, 0.01, 0}, {0.001, 0, 0}));
  EIVGTA(1);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(eivwka().vec[0][k], 0.0);
  EXPECT_NEAR(eivwka().vec[0][3], 0.6, 1e-6);
  std::array<double, 21> d{};
  CNTMAT(6, d);
  EXPECT_EQ(d[0], 1.0);   // word 12
  EXPECT_EQ(d[6], 10.0);  // word 18
}

TEST(Scnt2, ComponentWithoutStiffnessCarriesNoForce) {
  std::vector<float> p = contact_props();
  p[3] = 0.0f;  // no stiffness about the axis
  contact(p);
  StateRecord st;
  stpctr().NITER = 0;
  contact_update(move({0, 0, 0}, {0.5, 0, 0}));
  EIVGTA(1);
  EXPECT_EQ(eivwka().vec[0][3], 0.0);
  EXPECT_FLOAT_EQ(code(1), 10.2f);
  EXPECT_FALSE(std::isnan(eivwka().blk.b12[21 + 6]));
}

TEST(Scnt2, ZeroLengthElementTakesItsAxisFromTheAngleWords) {
  // Azimuth 90, elevation 0: the normal along global y.
  std::vector<float> p = contact_props();
  p[6] = 90.0f;
  contact(p, {1, 1, 1, 1, 1, 1});
  StateRecord st;
  stpctr().NITER = 0;
  const std::vector<double> fe = contact_update(move({0, -1e-4, 0}));
  EIVGTA(1);
  EXPECT_NEAR(eivwka().vec[0][0], -100.0, 1e-6);
  EXPECT_NEAR(fe[7], -100.0, 1e-6);
  EXPECT_NEAR(fe[1], 100.0, 1e-6);
  EXPECT_NEAR(fe[6], 0.0, 1e-6);
}

TEST(Scnt2, TangentOrderOutsideTheTableEndsTheRun) {
  testing::FreshFileSystem fs;
  const std::string log = fatal_log(fs, [] {
    contact();
    StateRecord st;
    std::array<double, 21> d{};
    CNTMAT(4, d);
  });
  EXPECT_NE(log.find("8015"), std::string::npos) << log;
}

}  // namespace
}  // namespace zephsol::test
