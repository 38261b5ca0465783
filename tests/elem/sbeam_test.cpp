// Section kinematics of the section beam: the equivalent rectangle, the
// member axes, the weights of both section grids, the state-point numbers,
// and the strains of beam deformations at every section point.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "zephsol/elem/sbeam.h"

namespace zephsol {
namespace {

constexpr word kSbeam2 = 26;

// Member from (1, 2, 3) along +x with length 2; orientation node above node 1
// in +y; A = 12, I = 16.
void set_beam(float a = 12.0f, float i = 16.0f, std::vector<double> xyz = {1, 2, 3, 3, 2, 3, 1, 5, 3}) {
  test::set_element(kSbeam2, xyz);
  reset_sbmcom();
  estcom().PROP[0] = a;
  estcom().PROP[2] = i;
}

TEST(SectionBeam, EquivalentRectangleAndAxes) {
  set_beam();
  SBMSEC(1, 5, 3, 3);
  EXPECT_EQ((std::array<float, 4>{estcom().PROP[0], estcom().PROP[1], estcom().PROP[2], estcom().PROP[3]}),
            (std::array<float, 4>{3, 4, 3, 4}));
  EXPECT_EQ(sbmcom().L, 2.0);
  EXPECT_EQ(sbmcom().T, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  // A skew member: e1 along it, e3 normal to the plane of the orientation node.
  set_beam(12, 16, {0, 0, 0, 0, 0, 2, 0, 3, 5});
  SBMSEC(1, 5, 3, 3);
  const auto r = test::triad_rows(sbmcom().T);
  EXPECT_EQ(r[0], (test::V3{0, 0, 1}));
  EXPECT_EQ(r[1], (test::V3{0, 1, 0}));
  EXPECT_EQ(r[2], (test::V3{-1, 0, 0}));
}

TEST(SectionBeam, WeightsSumToTheVolumeOnBothGridsAndPointNumbersCoverTheRecord) {
  for (const auto& [mode, ny, nz, points] : {std::tuple{0, 5, 5, 125}, std::tuple{1, 3, 3, 45}}) {
    set_beam();
    SBMSEC(0, 5, ny, nz);
    double volume = 0;
    std::vector<int> seen;
    for (int i = 1; i <= 5; ++i) {
      BSBEAM2(sbmcom().XS[i - 1]);
      for (int j = 1; j <= ny; ++j)
        for (int k = 1; k <= nz; ++k) {
          word ipt = 0;
          BSBMPT(mode, i, j, k, ny, nz, ipt);
          volume += sbmcom().W;
          seen.push_back(ipt);
        }
    }
    EXPECT_NEAR(volume, 12.0 * 2.0, 1e-12) << points;
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(points));
    for (std::size_t p = 1; p < seen.size(); ++p) EXPECT_LT(seen[p - 1], seen[p]);
    EXPECT_GE(seen.front(), 1);
    EXPECT_LE(seen.back(), 125);
  }
  struct Case {
    word mode, i, j, k, ipt;
  };
  set_beam();
  SBMSEC(0, 5, 5, 5);
  for (const Case c : {Case{0, 3, 3, 3, 63}, Case{1, 3, 2, 2, 63}, Case{0, 1, 1, 1, 1}, Case{0, 5, 5, 5, 125},
                       Case{1, 5, 3, 3, 125}, Case{1, 1, 1, 1, 1}}) {
    word ipt = 0;
    BSBMPT(c.mode, c.i, c.j, c.k, 5, 5, ipt);
    EXPECT_EQ(ipt, c.ipt) << c.mode << " " << c.i << c.j << c.k;
  }
}

TEST(SectionBeam, StationTemplateAtTheMiddle) {
  set_beam();
  SBMSEC(0, 5, 5, 5);
  BSBEAM2(0.0);
  const double s = 2.0 / 2.0;
  const auto& bt = sbmcom().BT;
  for (int dof : {1, 2, 7, 8}) EXPECT_EQ(bt[dof], 0.0);
  EXPECT_DOUBLE_EQ(bt[4], -s / 2);
  EXPECT_DOUBLE_EQ(bt[10], s / 2);
}

// Local DOFs of deformations of the member x in [-L/2, L/2] (xi = 2x/L):
// u = e x; v = k x^2 / 2 (rz = k x); w = k x^2 / 2 (ry = -k x); rx = t x;
// rigid motions. Expected (e_x, g_xy, g_xz) at (y, z).
struct Mode {
  const char* name;
  std::array<double, 12> u;
  std::function<std::array<double, 3>(double y, double z)> strain;
};

TEST(SectionBeam, BeamDeformationsGiveTheirStrainsAtEverySectionPoint) {
  const double l = 2.0, e = 0.3, k = 0.7, t = 0.4, h = l / 2;
  const std::vector<Mode> modes{
      {"stretch", {-e * h, 0, 0, 0, 0, 0, e * h, 0, 0, 0, 0, 0}, [&](double, double) { return std::array{e, 0.0, 0.0}; }},
      {"bending in y", {0, k * h * h / 2, 0, 0, 0, -k * h, 0, k * h * h / 2, 0, 0, 0, k * h},
       [&](double y, double) { return std::array{-k * y, 0.0, 0.0}; }},
      {"bending in z", {0, 0, k * h * h / 2, 0, k * h, 0, 0, 0, k * h * h / 2, 0, -k * h, 0},
       [&](double, double z) { return std::array{-k * z, 0.0, 0.0}; }},
      {"twist", {0, 0, 0, -t * h, 0, 0, 0, 0, 0, t * h, 0, 0},
       [&](double y, double z) { return std::array{0.0, -z * t, y * t}; }},
      {"translation", {0.1, 0.2, 0.3, 0, 0, 0, 0.1, 0.2, 0.3, 0, 0, 0},
       [](double, double) { return std::array{0.0, 0.0, 0.0}; }},
      {"rotation about z", {0, -t * h, 0, 0, 0, t, 0, t * h, 0, 0, 0, t},
       [](double, double) { return std::array{0.0, 0.0, 0.0}; }},
      {"rotation about y", {0, 0, t * h, 0, t, 0, 0, 0, -t * h, 0, t, 0},
       [](double, double) { return std::array{0.0, 0.0, 0.0}; }},
      {"rotation about x", {0, 0, 0, t, 0, 0, 0, 0, 0, t, 0, 0}, [](double, double) { return std::array{0.0, 0.0, 0.0}; }},
  };
  // h = 4 and b = 3: depth positions y = -2, -1, 0, 1, 2; width z = -1.5 .. 1.5.
  set_beam();
  SBMSEC(0, 5, 5, 5);
  for (const Mode& m : modes)
    for (int i = 1; i <= 5; ++i) {
      BSBEAM2(sbmcom().XS[i - 1]);
      for (int j = 1; j <= 5; ++j)
        for (int kk = 1; kk <= 5; ++kk) {
          word ipt = 0;
          BSBMPT(0, i, j, kk, 5, 5, ipt);
          const double y = -2.0 + (j - 1), z = -1.5 + 0.75 * (kk - 1);
          const auto want = m.strain(y, z);
          for (int c = 0; c < 3; ++c) {
            double got = 0;
            for (int d = 0; d < 12; ++d) got += sbmcom().BP[12 * c + d] * m.u[d];
            EXPECT_NEAR(got, want[c], 1e-12) << m.name << " point " << ipt << " component " << c;
          }
        }
    }
}

TEST(SectionBeamDeathTest, UndefinedAxesAndSectionPropertiesEndTheRun) {
  struct Case {
    const char* name;
    std::function<void()> run;
    word code;
    const char* text;
  };
  const std::vector<Case> cases{
      {"zero length", [] { set_beam(12, 16, {1, 1, 1, 1, 1, 1, 0, 5, 0}); SBMSEC(0, 5, 3, 3); }, -8005,
       "ELEMENT ID=    4711"},
      {"orientation node on the line", [] { set_beam(12, 16, {0, 0, 0, 1, 1, 0, 3, 3, 0}); SBMSEC(0, 5, 3, 3); },
       -8005, "ELEMENT ID=    4711"},
      {"area zero", [] { set_beam(0, 16); SBMSEC(0, 5, 3, 3); }, -8013, "VALUE=  0.00000E+00"},
      {"second moment negative", [] { set_beam(12, -2); SBMSEC(0, 5, 3, 3); }, -8013, "VALUE= -0.20000E+01"},
      {"six stations", [] { set_beam(); SBMSEC(0, 6, 3, 3); }, -8015, "NSTA =        6"},
  };
  for (const Case& c : cases) {
    const std::string log = test::fatal_log(c.run);
    EXPECT_TRUE(test::has_message(log, c.code)) << c.name << "\n" << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.name << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
