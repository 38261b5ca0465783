// Stress routines of the line elements and the spring: a skew cantilever's
// end forces against statics, the beam's force response against its
// stiffness for every release code, rigid motions, the moment-curvature
// branches and the iteration flag, the two fatal messages byte for byte, the
// section beam against the closed-form beam, the rod's axial force and
// prestress, the spring's accumulated forces, and the stored forces that the
// internal-force routine reads back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "support/ptfix.h"
#include "tests/elem/kfix.h"
#include "tests/exec/cp932.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/iter/sstruct.h"

namespace zephsol::test {
namespace {

using Routine = void (*)(word, std::span<const float>, std::span<const double>, std::span<double>);
using V3 = std::array<double, 3>;

std::vector<double> update(Routine r, const std::vector<double>& ue, word itherm = 0, std::array<float, 2> temp = {}) {
  std::vector<double> fe(ue.size(), 0.0);
  r(itherm, temp, ue, fe);
  return fe;
}

// A member from (1, 2, 0.5) along (1, 2, 2)/3, length about 2, oriented by a node off its line.
std::vector<double> skew_nodes() { return {1.0, 2.0, 0.5, 1.0 + 2.0 / 3.0, 2.0 + 4.0 / 3.0, 0.5 + 4.0 / 3.0, 0.0, 0.0, 3.0}; }

std::vector<float> beam_props(std::vector<float> p) {
  p.resize(20, 0.0f);
  return p;
}

struct Frame {
  std::array<double, 9> t{};
  double l = 0.0;
};
Frame frame() {
  Frame f;
  LAXT3(f.t, f.l);
  return f;
}

// Global components of a local triple.
V3 global(const Frame& f, const V3& loc) {
  V3 g{};
  for (int j = 0; j < 3; ++j)
    for (int a = 0; a < 3; ++a) g[j] += f.t[static_cast<std::size_t>(3 * j + a)] * loc[a];
  return g;
}

std::vector<double> node2_motion(const Frame& f, const V3& u, const V3& r) {
  const V3 ug = global(f, u), rg = global(f, r);
  return {0, 0, 0, 0, 0, 0, ug[0], ug[1], ug[2], rg[0], rg[1], rg[2]};
}

V3 node_x(int k) { return {estcom().XYZ[3 * (k - 1)], estcom().XYZ[3 * (k - 1) + 1], estcom().XYZ[3 * (k - 1) + 2]}; }

// ---- BEAM2 ----------------------------------------------------------------------------------

TEST(Sbeam, SkewCantileverTipLoadGivesStaticallyCorrectEndForces) {
  // E = 1000, A = 2, Iy = 0.5, Iz = 0.8, J = 0.3, no shear deformation. The
  // tip moves as under a tip load (P, Py, Pz) and torque Tx in member axes.
  const double e = 1000.0, a = 2.0, iy = 0.5, iz = 0.8, j = 0.3;
  make_element(5, skew_nodes(), beam_props({2.0f, 0.5f, 0.8f, 0.3f}), {.e = e, .nu = 0.3});
  StateRecord st;
  const Frame f = frame();
  const double l = f.l, g = e / (2.0 * (1.0 + double{0.3f}));
  const V3 p{3.0, -2.0, 5.0};
  const double tx = 1.5;
  const V3 u{p[0] * l / (e * a), p[1] * l * l * l / (3 * e * iz), p[2] * l * l * l / (3 * e * iy)};
  const V3 r{tx * l / (g * j), -p[2] * l * l / (2 * e * iy), p[1] * l * l / (2 * e * iz)};
  const std::vector<double> fe = update(SBEAM, node2_motion(f, u, r));
  const V3 f2 = global(f, p), m2 = global(f, {tx, 0.0, 0.0});
  const V3 arm{node_x(2)[0] - node_x(1)[0], node_x(2)[1] - node_x(1)[1], node_x(2)[2] - node_x(1)[2]};
  const V3 lever{arm[1] * f2[2] - arm[2] * f2[1], arm[2] * f2[0] - arm[0] * f2[2], arm[0] * f2[1] - arm[1] * f2[0]};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(fe[i + 6], f2[i], 2e-6);
    EXPECT_NEAR(fe[i + 9], m2[i], 2e-6);
    EXPECT_NEAR(fe[i], -f2[i], 2e-6);
    EXPECT_NEAR(fe[i + 3], -m2[i] - lever[i], 2e-6);
  }
  // The end forces are kept in member axes (single precision): root moment about z = -Py L.
  EIVGTA(1);
  EXPECT_NEAR(eivwka().blk.b8.v[6], -p[1] * l, 2e-6);
  EXPECT_NEAR(eivwka().blk.b8.v[8], p[1], 2e-6);
  EXPECT_EQ(eivwka().sw[7], 1);
  EXPECT_EQ(eivwka().sw[9], 0);
  EXPECT_EQ(eivwka().sw[10], 0);
}

TEST(Sbeam, ForceResponseIsTheStiffnessForEveryReleaseCode) {
  // A unit increment of DOF j gives column j of the element stiffness, with
  // shear deformation in both planes.
  for (const auto& [r1, r2] : {std::pair{0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {2.0f, 0.0f}}) {
    SCOPED_TRACE(std::to_string(r1) + " " + std::to_string(r2));
    const std::vector<float> props = beam_props({2.0f, 0.5f, 0.8f, 0.0f, 1.5f, 1.2f, r1, r2});
    make_element(5, skew_nodes(), props, {.e = 1000.0});
    const std::vector<double> k = [] {
      StateRecord st;
      return stiffness();
    }();
    for (int col = 1; col <= 12; ++col) {
      make_element(5, skew_nodes(), props, {.e = 1000.0});
      StateRecord st;
      std::vector<double> ue(12, 0.0);
      ue[static_cast<std::size_t>(col - 1)] = 1.0;
      const std::vector<double> fe = update(SBEAM, ue);
      for (int row = 1; row <= 12; ++row) EXPECT_NEAR(fe[static_cast<std::size_t>(row - 1)], term(k, row, col), 1e-9 * 1000);
    }
  }
}

TEST(Sbeam, RigidMotionsAndRepeatedIncrements) {
  make_element(5, skew_nodes(), beam_props({2.0f, 0.5f, 0.8f, 0.3f, 1.0f}), {.e = 1000.0});
  StateRecord st;
  // A rigid translation with a small rigid rotation w about the first node.
  const V3 c{0.01, -0.02, 0.03}, w{0.002, 0.001, -0.003};
  const V3 d{node_x(2)[0] - node_x(1)[0], node_x(2)[1] - node_x(1)[1], node_x(2)[2] - node_x(1)[2]};
  const V3 wd{w[1] * d[2] - w[2] * d[1], w[2] * d[0] - w[0] * d[2], w[0] * d[1] - w[1] * d[0]};
  const std::vector<double> rigid{c[0], c[1], c[2], w[0], w[1], w[2], c[0] + wd[0], c[1] + wd[1], c[2] + wd[2], w[0], w[1], w[2]};
  EXPECT_LT(max_abs(update(SBEAM, rigid)), 1e-9);
  // Two increments: the kept forces are the sum of both responses.
  std::vector<double> ue(12, 0.0);
  ue[7] = 0.01;
  const std::vector<double> f1 = update(SBEAM, ue);
  ue[7] = 0.0;
  ue[11] = 0.02;
  const std::vector<double> f2 = update(SBEAM, ue);
  const std::vector<double> total = update(SBEAM, std::vector<double>(12, 0.0));
  make_element(5, skew_nodes(), beam_props({2.0f, 0.5f, 0.8f, 0.3f, 1.0f}), {.e = 1000.0});
  StateRecord fresh;
  ue[7] = 0.01;
  const std::vector<double> once = update(SBEAM, ue);
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_NEAR(f2[i], once[i], 1e-6 * max_abs(once));
    EXPECT_NEAR(total[i], once[i], 1e-6 * max_abs(once));
  }
  EXPECT_GT(max_abs(f1), 1.0);
}

TEST(Sbeam, ThermalEndForcesHoldTheMemberAtItsLength) {
  // Both ends held: N = -E A alpha Tm, compression under heating, nothing else.
  make_element(5, {0, 0, 0, 2, 0, 0, 0, 1, 0}, beam_props({2.0f, 0.5f, 0.8f}), {.e = 1000.0, .alpha = 1e-3});
  StateRecord st;
  const std::vector<double> fe = update(SBEAM, std::vector<double>(12, 0.0), -1, {10.0f, 30.0f});
  const double n = 1000.0 * 2.0 * double{1e-3f} * 20.0;
  std::vector<double> want(12, 0.0);
  want[0] = n;
  want[6] = -n;
  for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(fe[i], want[i], 1e-9);
}

// ---- Moment-curvature law ---------------------------------------------------------------------

// Unit length along x, E Iz = 1024, governing moment the mean of the end
// moments (code 0): a pure bending rotation pair (-q/2, +q/2) adds q to the
// curvature. Positive side M1 = 8, r1 = 1/2, M2 = 16, r2 = 1/8, Mu = 24
// (break curvatures 1/128, 3/128, 12/128); negative side M1 = 4, r1 = 1/4,
// M2 = 6, r2 = 1/16, Mu = -10.
void curve_beam() {
  std::vector<float> p = beam_props({4.0f, 2.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 8.0f, 0.5f, 16.0f, 0.125f, 4.0f,
                                     0.25f, 6.0f, 0.0625f, 24.0f, -10.0f, 0.0f, 1.0f});
  make_element(5, {0, 0, 0, 1, 0, 0, 0, 1, 0}, p, {.e = 1024.0});
}

std::vector<double> bend(double q) {
  std::vector<double> ue(12, 0.0);
  ue[5] = -q / 2.0;
  ue[11] = q / 2.0;
  return ue;
}

TEST(Sbeam, MomentCurvatureBranchesAndTheIterationFlag) {
  curve_beam();
  StateRecord st;
  stpctr().NSTEPC = 2;
  struct Row {
    double q;       // curvature increment asked (at the current tangent)
    double phi;     // curvature after the update
    word state;
    double m;       // curve moment
    double eit;
    bool iterate;   // KITER set
  };
  const Row rows[] = {
      {1.0 / 128, 1.0 / 128, 0, 8.0, 1024.0, false},    // exactly at the first break: elastic
      {2.0 / 128, 3.0 / 128, 1, 16.0, 512.0, true},     // 0 -> 1, exactly at the second break
      {4.0 / 128, 7.0 / 128, 2, 20.0, 128.0, true},     // 1 -> 2
      {6.0 / 128, 13.0 / 128, 3, 26.0, 128.0, false},   // 2 -> 3 (past 12/128): no flag
      {-2.0 / 128, 11.0 / 128, 2, 24.0, 128.0, false},  // 3 -> 2: no flag
      {-10.0 / 128, 1.0 / 128, 0, 8.0, 1024.0, true},   // 2 -> 0, back on the elastic line
      {-2.0 / 128, -1.0 / 128, 1, -5.0, 256.0, true},   // negative side, first reduced slope
      {-2.0 / 128, -3.0 / 128, 2, -6.75, 64.0, true},   // negative side, second reduced slope
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.q * 128);
    sigcom().KITER = 0;
    // The increment at the current tangent rigidity; the curve then gives the moment.
    update(SBEAM, bend(row.q));
    EIVGTA(1);
    const EIVWK& pt = eivwka();
    EXPECT_DOUBLE_EQ(pt.vec[2][5], row.phi);
    EXPECT_EQ(pt.blk.b11.iv[0], row.state);
    EXPECT_DOUBLE_EQ(pt.blk.b8.v[0], row.m);
    EXPECT_DOUBLE_EQ(pt.blk.b11.v, row.eit);
    EXPECT_EQ(sigcom().KITER, row.iterate ? -1 : 0);
    if (row.iterate) {
      // Both end moments put back onto the curve moment.
      EXPECT_DOUBLE_EQ(pt.blk.b8.v[6], -row.m);
      EXPECT_DOUBLE_EQ(pt.blk.b8.v[12], row.m);
    }
    EXPECT_EQ(pt.sw[9], 1);
    EXPECT_EQ(pt.sw[10], 1);
  }
}

TEST(Sbeam, CurvatureRatiosOfTheSideOfTheCurvature) {
  curve_beam();
  StateRecord st;
  stpctr().NSTEPC = 2;
  update(SBEAM, bend(2.0 / 128));
  EIVGTA(1);
  EXPECT_DOUBLE_EQ(eivwka().blk.b10.v[0], 2.0);
  EXPECT_FLOAT_EQ(eivwka().blk.b10.v[1], 2.0 / 3.0);
  update(SBEAM, bend(-7.0 / 256));  // to -3/256: the negative side's -1/256 and -3/256
  EIVGTA(1);
  EXPECT_DOUBLE_EQ(eivwka().vec[2][5], -3.0 / 256);
  EXPECT_DOUBLE_EQ(eivwka().blk.b10.v[0], 3.0);
  EXPECT_DOUBLE_EQ(eivwka().blk.b10.v[1], 1.0);
  // A first break moment of 0: the ratio to a zero break curvature is 0.
  std::vector<float> p = beam_props({4.0f, 2.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.5f, 16.0f, 0.125f, 4.0f,
                                     0.25f, 6.0f, 0.0625f, 24.0f, -10.0f, 0.0f, 1.0f});
  make_element(5, {0, 0, 0, 1, 0, 0, 0, 1, 0}, p, {.e = 1024.0});
  StateRecord st2;
  stpctr().NSTEPC = 2;
  update(SBEAM, bend(1.0 / 128));
  EIVGTA(1);
  EXPECT_EQ(eivwka().blk.b10.v[0], 0.0);
  EXPECT_EQ(eivwka().blk.b11.iv[0], 1);
}

TEST(Sbeam, FirstStepCurvatureStartsFromTheMomentsBeforeTheIncrement) {
  // Moments already in the element at the first solution of the first step
  // count toward the curvature: 6 held, 4 added gives phi = 10/1024, state 1.
  curve_beam();
  StateRecord st;
  EIVGTA(1);
  eivwka().sw[7] = 1;
  eivwka().blk.b8.v[6] = -6.0;
  eivwka().blk.b8.v[12] = 6.0;
  EIVPTA();
  stpctr().NSTEPC = 1;
  stpctr().NITER = 0;
  update(SBEAM, bend(4.0 / 1024));
  EIVGTA(1);
  EXPECT_DOUBLE_EQ(eivwka().vec[2][5], 10.0 / 1024);
  EXPECT_EQ(eivwka().blk.b11.iv[0], 1);
  EXPECT_DOUBLE_EQ(eivwka().blk.b8.v[0], 8.0 + (2.0 / 1024) * 512.0);
}

TEST(Sbeam, FatalMessagesPrintTheirTwoLines) {
  testing::FreshFileSystem fs;
  // A reduction ratio of zero: 8205, Shift-JIS text.
  fatal_log(fs, [] {
    std::vector<float> p = beam_props({4.0f, 2.0f, 1.0f});
    p[9] = 0.5f, p[11] = 0.0f, p[13] = 0.5f, p[15] = 0.5f, p[19] = 1.0f;
    make_element(5, {0, 0, 0, 1, 0, 0, 0, 1, 0}, p, {.e = 1024.0});
    StateRecord st;
    update(SBEAM, std::vector<double>(12, 0.0));
  });
  const std::string second = "          ELEMENT =    4711, MATERIAL ID =      10\n";
  const std::string m8205 = "0*** USER FATAL MESSAGE 8205," + to_cp932(" はり要素の剛性低下率が０以下です   ") + "\n" + second;
  EXPECT_NE(fs.read("listing").find(m8205), std::string::npos) << fs.read("listing");
  EXPECT_NE(fs.read("errors").find(m8205), std::string::npos);
  // A hyperbolic material: 8204, even on a linear beam.
  testing::FreshFileSystem fs2;
  const std::string log = fatal_log(fs2, [] {
    make_element(5, {0, 0, 0, 1, 0, 0, 0, 1, 0}, beam_props({4.0f, 2.0f, 1.0f}), {.kind = mkind::DUNCAN});
    StateRecord st;
    update(SBEAM, std::vector<double>(12, 0.0));
  });
  EXPECT_NE(log.find("0*** USER FATAL MESSAGE 8204, MATERIAL PROPERTY NOT APPLICABLE FOR THE ELEMENT.\n" + second),
            std::string::npos)
      << log;
}

// ---- SBEAM2 ---------------------------------------------------------------------------------

TEST(Ssbeam2, ElasticSectionBeamGivesTheClosedFormEndForces) {
  // Axial stretch and bending in the member's x-y plane: the Hermitian
  // section beam integrates the Euler-Bernoulli beam exactly.
  const std::vector<float> props = beam_props({0.12f, 0.0f, 0.0016f});
  std::vector<double> ue;
  std::vector<double> closed;
  {
    make_element(5, skew_nodes(), beam_props({0.12f, 1.0f, 0.0016f, 1.0f}), {.e = 2.0e5, .nu = 0.25});
    StateRecord st;
    const Frame f = frame();
    ue = node2_motion(f, {1e-4, 2e-3, 0.0}, {0.0, 0.0, 1.5e-3});
    closed = update(SBEAM, ue);
  }
  make_element(26, skew_nodes(), props, {.e = 2.0e5, .nu = 0.25});
  StateRecord st;
  const std::vector<double> fe = update(SSBEAM2, ue);
  for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(fe[i], closed[i], 1e-5 * max_abs(closed)) << i;
  // The forces are kept with the middle point of the middle station and read back.
  const std::vector<double> back = internal_force();
  for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(back[i], fe[i], 1e-6 * max_abs(fe)) << i;
}

TEST(Ssbeam2, TemperaturesGiveOnlyAnAxialThermalStrain) {
  make_element(26, {0, 0, 0, 2, 0, 0, 0, 1, 0}, beam_props({0.12f, 0.0f, 0.0016f}), {.e = 2.0e5, .alpha = 1e-5});
  StateRecord st;
  const std::vector<double> fe = update(SSBEAM2, std::vector<double>(12, 0.0), -1, {20.0f, 40.0f});
  const double eat = 2.0e5 * double{0.12f} * double{1e-5f} * 30.0;
  EXPECT_NEAR(fe[0], eat, 1e-6 * eat);
  EXPECT_NEAR(fe[6], -eat, 1e-6 * eat);
  for (std::size_t i : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 10u, 11u}) EXPECT_NEAR(fe[i], 0.0, 1e-9 * eat) << i;
  for (word p : {1, 37, 63, 125}) {
    EIVGTA(p);
    EXPECT_EQ(eivwka().sw[2], 1);
    EXPECT_FLOAT_EQ(eivwka().blk.b3.v[0], double{1e-5f} * 30.0);
    EXPECT_EQ(eivwka().blk.b3.v[1], 0.0);
    EXPECT_EQ(eivwka().blk.b3.v[2], 0.0);
  }
}

// ---- ROD2 and SPG2 ----------------------------------------------------------------------------

TEST(Srod2, AxialForceIsEATimesTheStretchOverTheLength) {
  make_element(6, {1, 2, 0.5, 1 + 2.0 / 3, 2 + 4.0 / 3, 0.5 + 4.0 / 3}, {0.5f}, {.e = 300.0});
  StateRecord st;
  double l = 0.0;
  const std::array<double, 3> c = eu::member_axis(l);
  // A stretch delta along the axis and a sideways motion that adds nothing.
  const double delta = 0.004;
  std::vector<double> ue{0.01, 0.01, 0.01, 0.01 + delta * c[0], 0.01 + delta * c[1], 0.01 + delta * c[2]};
  const std::vector<double> fe = update(SROD2, ue);
  const double n = 300.0 * 0.5 * delta / l;
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(fe[i], -n * c[i], 1e-12);
    EXPECT_NEAR(fe[i + 3], n * c[i], 1e-12);
  }
  EIVGTA(1);
  EXPECT_FLOAT_EQ(eivwka().blk.b8.v[1], -n);
  EXPECT_FLOAT_EQ(eivwka().blk.b8.v[7], n);
  EXPECT_EQ(eivwka().sw[2], 0);
  const std::vector<double> back = internal_force();
  for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(back[i], fe[i], 1e-5);
}

TEST(Srod2, PrestressValuesActAsForces) {
  // A E = 1000: values of 100 at both ends give a strain of 0.1 whatever alpha.
  for (const bool prestress : {true, false}) {
    SCOPED_TRACE(prestress);
    make_element(6, {0, 0, 0, 2, 0, 0}, {2.0f}, {.e = 500.0, .alpha = 0.25});
    ifpflg().IFPPRS = prestress ? -1 : 0;
    StateRecord st;
    const std::vector<double> fe = update(SROD2, std::vector<double>(6, 0.0), -1, {100.0f, 100.0f});
    EIVGTA(1);
    const double strain = prestress ? 0.1 : 25.0;
    EXPECT_FLOAT_EQ(eivwka().blk.b3.v[0], strain);
    EXPECT_NEAR(fe[3], -1000.0 * strain, 1e-9);
  }
}

TEST(Srod2, ZeroLengthEndsTheRun) {
  testing::FreshFileSystem fs;
  const std::string log = fatal_log(fs, [] {
    make_element(6, {1, 1, 1, 1, 1, 1}, {2.0f});
    StateRecord st;
    update(SROD2, std::vector<double>(6, 0.0));
  });
  EXPECT_NE(log.find("8005"), std::string::npos) << log;
}

TEST(Sspg2, TwoIncrementsHoldTheirSum) {
  make_element(22, {0, 0, 0, 1, 0, 0}, {1, 2, 3, 4, 5, 6});
  StateRecord st;
  const std::vector<double> u1{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  const std::vector<double> u2{0, 0.5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2};
  update(SSPG2, u1);
  const std::vector<double> fe = update(SSPG2, u2);
  // f = k (u_this - u_other) per component, summed over both increments.
  const std::vector<double> want{0, 1, 0, 0, 0, -6, 0, -1, 0, 0, 0, 6};
  for (std::size_t i = 0; i < 12; ++i) EXPECT_DOUBLE_EQ(fe[i], want[i]) << i;
  const std::vector<double> back = internal_force();
  for (std::size_t i = 0; i < 12; ++i) EXPECT_DOUBLE_EQ(back[i], want[i]) << i;
}

}  // namespace
}  // namespace zephsol::test
