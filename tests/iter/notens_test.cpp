// The no-tension correction through the point law: which points are cut,
// to what, and that the cut state stays elastic (sigma = De eps_e).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "support/ptfix.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/principal.h"

namespace zephsol::test {
namespace {

constexpr double kE = 1000.0, kNu = 0.25;

class NotensTest : public PointLawTest {
 protected:
  // Elastic no-tension material: tension limit SIGT, strength kept while SIG0 < 0.
  void no_tension(const ClassOf& c, float sigt, float sig0) {
    ifpflg().IFPSGT = -1;
    use_material(0, 0, {{7, static_cast<float>(kE)}, {8, static_cast<float>(kNu)}, {14, sigt}, {16, sig0},
                        {27, -1.0f}});
    start_point(c);
  }
  // The strain increment that reaches the stress s from a zero state
  // (isotropic compliance; plane strain and axisymmetric take sz as given).
  void load_to(const Vec6& s, const ClassOf& c) {
    const double g = kE / (2.0 * (1.0 + kNu));
    Vec6 e{};
    for (int i = 0; i < 3; ++i)
      e[i] = (s[i] - kNu * (s[(i + 1) % 3] + s[(i + 2) % 3])) / kE;
    if (c.iclass == 3) {
      for (int i = 3; i < 6; ++i) e[i] = s[i] / g;
    } else {
      e[3] = s[3] / g;
      e[4] = e[5] = 0.0;
    }
    strain(e);
  }
  double sig(int i) { return pt().vec[0][static_cast<std::size_t>(i)]; }
  // sigma - De eps_e, largest term (an isotropic solid-type layout).
  double elastic_mismatch(int nnormal, int nshear) {
    const double g = kE / (2.0 * (1.0 + kNu)), lam = kE * kNu / ((1.0 + kNu) * (1.0 - 2.0 * kNu));
    const auto& e = pt().vec[1];
    double worst = 0.0;
    for (int i = 0; i < nnormal; ++i) {
      const double s = lam * (e[0] + e[1] + e[2]) + 2.0 * g * e[i];
      worst = std::max(worst, std::fabs(s - sig(i)));
    }
    for (int i = 3; i < 3 + nshear; ++i) worst = std::max(worst, std::fabs(g * e[i] - sig(i)));
    return worst;
  }
  void expect_cut(bool cut) {
    EXPECT_EQ(pt().blk.b1.v[3], cut ? -10.0 : 0.0);
    EXPECT_EQ(pt().sw[0], cut ? 1 : 0);  // block 1 (with the mark) is stored
    EXPECT_EQ(sigcom().KNOTEN, cut ? -1 : 0);
    EXPECT_EQ(sigcom().KITER, cut ? -1 : 0);
    EXPECT_EQ(pt().sw[9], 1);
  }
};

// Principal tension 3.30 against the limit 1: the three normal stresses drop
// by the excess, the shear stays.
TEST_F(NotensTest, SolidShiftsItsNormalStresses) {
  no_tension(kSolid, 1.0f, -1.0f);
  const Vec6 s{3, 0, 0, 1, 0, 0};
  load_to(s, kSolid);
  const double excess = 1.5 + std::sqrt(2.25 + 1.0) - 1.0;
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(sig(i), s[i] - excess, 1e-12);
  EXPECT_NEAR(sig(3), 1.0, 1e-12);
  std::array<double, 3> p{};
  PRNSIG(pt().vec[0], 3, p);
  EXPECT_NEAR(p[1], -1.0, 1e-8);  // largest tension at the limit
  EXPECT_NEAR(pt().blk.b1.v[1], -1.0, 1e-15);
  EXPECT_NEAR(pt().blk.b1.v[0], p[0], 1e-8);
  EXPECT_NEAR(pt().blk.b1.v[2], p[2], 1e-8);
  EXPECT_EQ(pt().blk.b10.v[0], 0.0);  // strength kept
  EXPECT_LT(elastic_mismatch(3, 3), 1e-12);
  expect_cut(true);
}

TEST_F(NotensTest, StrengthLostAtTheFirstCutWhenSig0IsNotNegative) {
  no_tension(kSolid, 1.0f, 0.0f);
  load_to({3, 0, 0, 0, 0, 0}, kSolid);
  EXPECT_NEAR(sig(0), 0.0, 1e-12);
  EXPECT_NEAR(sig(1), -3.0, 1e-12);
  EXPECT_EQ(pt().blk.b10.v[0], -1.0);
  // Later tension within the old limit is cut to zero.
  sigcom().KITER = sigcom().KNOTEN = 0;
  load_to({0.5, 0, 0, 0, 0, 0}, kSolid);
  EXPECT_NEAR(sig(0), 0.0, 1e-12);
  expect_cut(true);
}

TEST_F(NotensTest, PlaneCutsBothInPlaneValuesAtTheirDirection) {
  for (const Vec6& s : {Vec6{3, 2, -1, 0.5, 0, 0}, Vec6{3, 3, -1, 0, 0, 0}}) {
    no_tension(kPlane, 1.0f, -1.0f);
    load_to(s, kPlane);
    EXPECT_NEAR(sig(0), 1.0, 1e-12);
    EXPECT_NEAR(sig(1), 1.0, 1e-12);
    EXPECT_NEAR(sig(3), 0.0, 1e-12);
    EXPECT_NEAR(sig(2), -1.0, 1e-12);  // the out-of-plane stress is not cut
    EXPECT_EQ(pt().blk.b1.v[0], -1.0);
    EXPECT_EQ(pt().blk.b1.v[1], -1.0);
    EXPECT_NEAR(pt().blk.b1.v[2], 1.0, 1e-12);
    EXPECT_LT(elastic_mismatch(3, 1), 1e-12);
    expect_cut(true);
  }
  // One tensile principal value: the other keeps its value and the direction stays.
  no_tension(kPlane, 1.0f, -1.0f);
  load_to({4, -2, -1, 3, 0, 0}, kPlane);
  std::array<double, 3> p{};
  PRNSIG(pt().vec[0], 5, p);
  EXPECT_NEAR(p[1], -1.0, 1e-12);
  EXPECT_NEAR(p[0], std::sqrt(9.0 + 9.0) - 1.0, 1e-12);
  double before = 0.0, after = 0.0;
  PRNDIR(4, -2, 3, before);
  PRNDIR(sig(0), sig(1), sig(3), after);
  EXPECT_NEAR(after, before, 1e-12);
}

// Axisymmetric: a hoop tension alone is cut alone; the in-plane stress stays.
TEST_F(NotensTest, AxisymmetricCutsTheHoopStressOnItsOwn) {
  no_tension(kAxisym, 1.0f, -1.0f);
  load_to({-5, -3, 2, 0.5, 0, 0}, kAxisym);
  EXPECT_NEAR(sig(2), 1.0, 1e-12);
  EXPECT_NEAR(sig(0), -5.0, 1e-12);
  EXPECT_NEAR(sig(1), -3.0, 1e-12);
  EXPECT_NEAR(sig(3), 0.5, 1e-12);
  EXPECT_NEAR(pt().blk.b1.v[1], -1.0, 1e-12);  // smallest of the three: the hoop value
  EXPECT_LT(elastic_mismatch(3, 1), 1e-12);
  expect_cut(true);
  // In-plane and hoop tension together.
  no_tension(kAxisym, 1.0f, -1.0f);
  load_to({3, -3, 2, 0, 0, 0}, kAxisym);
  EXPECT_NEAR(sig(0), 1.0, 1e-12);
  EXPECT_NEAR(sig(1), -3.0, 1e-12);
  EXPECT_NEAR(sig(2), 1.0, 1e-12);
}

TEST_F(NotensTest, OtherClassesAndMildTensionAreNotCut) {
  struct Case {
    const char* what;
    ClassOf c;
    Vec6 s;
  };
  const Case cases[] = {
      {"membrane", kMembrane, {5, 4, 0, 0, 0, 0}},
      {"shell", kShell, {5, 4, 0, 0, 0, 0}},
      {"tension within the limit", kSolid, {0.8, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    no_tension(c.c, 1.0f, -1.0f);
    Vec6 e{};
    e[0] = c.s[0] / kE;  // any increment: nothing is cut
    strain(e);
    const Vec6 trial = pt().vec[0];
    expect_cut(false);
    std::array<double, 3> p{};
    PRNSIG(trial, c.c.iclass, p);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(pt().blk.b1.v[i], p[i]);  // the trial's principal values
  }
}

TEST_F(NotensTest, CutPlasticPointKeepsItsFlag) {
  ifpflg().IFPSGT = -1;
  use_material(1, 3, {{7, 1000.0f}, {13, 100.0f}, {14, 1.0f}, {16, -1.0f}, {27, -1.0f}});
  start_point(kSolid);
  pt().blk.b2.iv[0] = 1;
  pt().vec[0] = {-50, -50, -50, 0, 0, 0};
  strain({0.1, 0, 0, 0, 0, 0});
  EXPECT_EQ(pt().blk.b2.iv[0], 1);
  EXPECT_EQ(pt().sw[1], 0);
  EXPECT_EQ(pt().blk.b1.v[3], -10.0);
}

}  // namespace
}  // namespace zephsol::test
