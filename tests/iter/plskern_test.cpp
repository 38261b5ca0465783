// Yield constants, yield functions, the equivalent plastic strain and the
// von Mises fraction, against closed-form strengths (c = 10, phi = 30
// degrees, tension positive).
#include "zephsol/iter/plskern.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/ptfix.h"
#include "zephsol/matl/mattab.h"

namespace zephsol::test {
namespace {

constexpr double kC = 10.0;
const double kPhi = 30.0 * 3.14159265359 / 180.0;

class KernelTest : public PointLawTest {
 protected:
  double f(word code, const Vec6& s) {
    double v = 0.0;
    EFFSIG(code, s, v);
    return v;
  }
  double k(double epsp = 0.0) {
    double v = 0.0;
    YLDCON(epsp, v);
    return v;
  }
  void criterion(word iyield, float f_reduction = 1.0f) {
    use_material(1, iyield, {{10, 10.0f}, {11, 30.0f}, {13, 250.0f}, {28, f_reduction}, {29, 0.0f}});
  }
};

// Stress states that lie on the surface of each criterion: f/k = 1.
TEST_F(KernelTest, ClosedFormStrengthsLieOnTheSurface) {
  const double n = (1.0 + std::sin(kPhi)) / (1.0 - std::sin(kPhi));  // 3
  const double ucs = 2.0 * kC * std::cos(kPhi) / (1.0 - std::sin(kPhi));
  const double triax = 100.0 * n + 2.0 * kC * std::sqrt(n);           // 334.641 at s3 = 100
  struct Case {
    word iyield;
    const char* what;
    Vec6 s;
  };
  const double dp_tension = 6.0 * kC * std::cos(kPhi) / (3.0 + std::sin(kPhi));
  const double dp_k = 6.0 * kC * std::cos(kPhi) / (std::sqrt(3.0) * (3.0 - std::sin(kPhi)));
  const Case cases[] = {
      {1, "MC uniaxial compression", {-ucs, 0, 0, 0, 0, 0}},
      {1, "MC uniaxial tension", {2.0 * kC * std::cos(kPhi) / (1.0 + std::sin(kPhi)), 0, 0, 0, 0, 0}},
      {1, "MC pure shear", {0, 0, 0, kC * std::cos(kPhi), 0, 0}},
      {1, "MC triaxial compression", {-100.0, -triax, -100.0, 0, 0, 0}},
      {1, "MC triaxial extension", {-triax, -triax, -100.0, 0, 0, 0}},
      {4, "reduction F = 1 as MC", {0, -ucs, 0, 0, 0, 0}},
      {2, "DP uniaxial compression", {0, 0, -ucs, 0, 0, 0}},
      {2, "DP triaxial compression", {-100.0, -100.0, -triax, 0, 0, 0}},
      {2, "DP uniaxial tension", {dp_tension, 0, 0, 0, 0, 0}},
      {2, "DP pure shear", {0, 0, 0, 0, dp_k, 0}},
      {3, "von Mises uniaxial", {0, 250.0, 0, 0, 0, 0}},
      {3, "von Mises pure shear", {0, 0, 0, 0, 0, 250.0 / std::sqrt(3.0)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    criterion(c.iyield);
    EXPECT_NEAR(f(c.iyield, c.s) / k(), 1.0, 1e-10);
  }
  criterion(2);
  EXPECT_NEAR(k(), 12.0, 1e-9);
}

TEST_F(KernelTest, StrengthReductionTurnsTheFrictionAngleAndStoresK) {
  criterion(4, 1.5f);
  const double phir = std::atan(std::tan(kPhi) / 1.5);
  EXPECT_NEAR(k(), 10.0 / 1.5 * std::cos(phir), 1e-12);
  EXPECT_NEAR(k(), 6.222, 5e-4);
  EXPECT_EQ(matcom().w(13), static_cast<float>(k()));  // k kept as a REAL in SIGY
  // A stress on the reduced surface: uniaxial compression 2 c' cos phi_r / (1 - sin phi_r).
  const double q = 2.0 * 10.0 / 1.5 * std::cos(phir) / (1.0 - std::sin(phir));
  EXPECT_NEAR(f(4, {-q, 0, 0, 0, 0, 0}), k(), 1e-10);
  // A hydrostatic stress: theta = 0 and f = (I1/3) sin phi.
  criterion(1);
  EXPECT_NEAR(f(1, {-30, -30, -30, 0, 0, 0}), -30.0 * std::sin(kPhi), 1e-12);
  EXPECT_EQ(f(0, {-30, -30, -30, 0, 0, 0}), 0.0);
}

TEST_F(KernelTest, VonMisesConstantHardensWithTheTableOrTheSlope) {
  use_material(1, 3, {{13, 200.0f}, {15, 20000.0f}});
  EXPECT_NEAR(k(0.001), 220.0, 1e-9);
  EXPECT_EQ(matcom().w(13), 200.0f);  // the yield stress stays
  use_material(1, 3, {{13, 200.0f}}, {{0.0f, 20000.0f}, {0.001f, 5000.0f}});
  EXPECT_NEAR(k(0.003), 200.0 + 20.0 + 10.0, 1e-4);
}

// Layouts of the classes: the same physical tensor gives the same value.
TEST_F(KernelTest, EveryClassPlacesItsComponentsInTheFullTensor) {
  criterion(1);
  start_point(kSolid);
  const double solid = f(1, {-40, 5, 0, 7, 0, 3});
  start_point(kShell);  // sx, sy, txy, tyz, tzx
  EXPECT_NEAR(f(1, {-40, 5, 7, 0, 3, 0}), solid, 1e-12);
  start_point(kSectionBeam);  // sx, txy, tzx
  start_point(kSolid);
  const double beam_solid = f(1, {-40, 0, 0, 7, 0, 3});
  start_point(kSectionBeam);
  EXPECT_NEAR(f(1, {-40, 7, 3, 0, 0, 0}), beam_solid, 1e-12);
  start_point(kPlane);  // sx, sy, sz, txy
  start_point(kSolid);
  const double plane_solid = f(1, {-40, 5, -9, 7, 0, 0});
  start_point(kPlane);
  EXPECT_NEAR(f(1, {-40, 5, -9, 7, 0, 0}), plane_solid, 1e-12);
  start_point(kRod);
  EXPECT_NEAR(f(0, {-40, 99, 99, 99, 99, 99}), 40.0, 1e-9);  // the constant 1.73205080757
}

TEST_F(KernelTest, EquivalentPlasticStrainByClass) {
  struct Case {
    ClassOf c;
    Vec6 e;
    double want;
  };
  const Case cases[] = {
      {kRod, {-0.5, 9, 9, 9, 9, 9}, 0.5},
      {kMembrane, {1, -1, 0, 0, 0, 0}, std::sqrt(4.0 / 3.0)},
      {kMembrane, {1, 1, 3, 0, 0, 0}, std::sqrt(2.0 / 3.0 * (1 + 1 + 4 + 4.5))},
      {kSolid, {1, 0, 0, 0, 0, 0}, std::sqrt(2.0 / 3.0)},
      {kSolid, {0, 0, 0, 2, 2, 2}, std::sqrt(4.0)},
      {kPlane, {1, -1, 0, 2, 0, 0}, std::sqrt(2.0 / 3.0 * (2 + 2))},
      {kSectionBeam, {1, 3, 3, 0, 0, 0}, std::sqrt(1 + 6.0)},
      {kShell, {1, -1, 2, 2, 2, 0}, std::sqrt(2.0 / 3.0 * (2 + 6))},
  };
  for (const Case& c : cases) {
    start_point(c.c);
    double e = 0.0;
    EQVNRM(c.e, e);
    EXPECT_NEAR(e, c.want, 1e-12) << c.c.iclass;
  }
}

TEST_F(KernelTest, FractionOfTheIncrementToTheVonMisesSurface) {
  struct Case {
    Vec6 st, s0;
    double want;
  };
  const Case cases[] = {
      {{200, 0, 0, 0, 0, 0}, {}, 0.5},
      {{100, 0, 0, 80, 0, 0}, {50, 0, 0, 0, 0, 0}, 0.4838709677419355},
      {{50, 0, 0, 0, 0, 0}, {50, 0, 0, 0, 0, 0}, 1.0},    // no increment
      {{300, 0, 0, 0, 0, 0}, {200, 0, 0, 0, 0, 0}, 0.0},  // outside and going further out
      {{90, 0, 0, 0, 0, 0}, {}, 1.0},                     // never reaches the surface
  };
  for (const Case& c : cases) {
    double r = -1.0;
    MISFRC(c.st, c.s0, 100.0, r);
    EXPECT_NEAR(r, c.want, 1e-12);
  }
}

void bad_criterion() {
  double f = 0.0;
  EFFSIG(5, Vec6{}, f);
}
void joint_strain() {
  estcom().ICLASS = 10;
  double e = 0.0;
  EQVNRM(Vec6{}, e);
}

TEST_F(KernelTest, UnknownCriterionAndJointClassEndTheRun) {
  EXPECT_NE(fatal_log(*fs, bad_criterion).find("4071"), std::string::npos);
  EXPECT_NE(fatal_log(*fs, joint_strain).find("4040"), std::string::npos);
}

}  // namespace
}  // namespace zephsol::test
