// Section-beam line load with end moments: the fixed-end forces and moments
// of uniform and triangular loads (wL/2, wL^2/12; 7wL/20, 3wL/20, wL^2/20,
// wL^2/30) along and across a member, the same member along y, rotated
// members against the turned result and against the statics of the load,
// the section area of code 7 for both section forms, repeated entries on one
// element, and the codes and members that end the run.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <regex>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "support/loadfix.h"
#include "zephsol/elem/pelem.h"

namespace zephsol {
namespace {

using test::M3;
using test::V3;
using Vec12 = std::array<double, 12>;

constexpr word kSbeam2 = 26;
constexpr double kPi = 3.1415926535;

// Member from (1, 2, 3) along +x with length 3, orientation node above node 1
// in +y: e1 = x, e2 = y, e3 = z.
const std::vector<double> kAlongX{1, 2, 3, 4, 2, 3, 1, 5, 3};
constexpr double kLen = 3.0;

// Section beam 4711 on xyz with area a and second moment i.
void set_beam(const std::vector<double>& xyz, float a = 12.0f, float i = 16.0f) {
  test::load_element(kSbeam2, xyz, 0.0, a);
  estcom().PROP[2] = i;
}

Vec12 hermite(word code, std::vector<float> values) {
  Vec12 pe{};
  word count = 0;
  PDHERM(code, count, values, pe);
  return pe;
}

V3 block(const Vec12& pe, int b) { return {pe[3 * b], pe[3 * b + 1], pe[3 * b + 2]}; }

void expect_vec12(const Vec12& got, const Vec12& want, double tol, const std::string& what) {
  for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " entry " << i + 1;
}

TEST(HermiteBeamLoad, FixedEndForcesAndMomentsOfUniformAndTriangularLoads) {
  const double w = 2.0, l = kLen;
  const double half = w * l / 2, m12 = w * l * l / 12;                        // uniform
  const double big = 7 * w * l / 20, small = 3 * w * l / 20;                 // triangular, w at node 1
  const double m20 = w * l * l / 20, m30 = w * l * l / 30;
  struct Case {
    word code;
    float p1, p2;
    Vec12 want;  // node 1 ux uy uz rx ry rz, node 2 the same
  };
  const float wf = static_cast<float>(w);
  const std::vector<Case> cases{
      {12, wf, wf, {half, 0, 0, 0, 0, 0, half, 0, 0, 0, 0, 0}},                 // axial, true length
      {12, wf, 0, {w * l / 3, 0, 0, 0, 0, 0, w * l / 6, 0, 0, 0, 0, 0}},        // axial triangle
      {22, wf, wf, {0, half, 0, 0, 0, m12, 0, half, 0, 0, 0, -m12}},            // across in y
      {1, wf, wf, {0, half, 0, 0, 0, m12, 0, half, 0, 0, 0, -m12}},             // along e2 = y
      {21, wf, wf, {0, half, 0, 0, 0, m12, 0, half, 0, 0, 0, -m12}},            // x-z projection: whole length
      {32, wf, wf, {0, 0, half, 0, -m12, 0, 0, 0, half, 0, m12, 0}},            // across in z: ry = -w'
      {2, wf, wf, {0, 0, half, 0, -m12, 0, 0, 0, half, 0, m12, 0}},             // along e3 = z
      {31, wf, wf, {0, 0, half, 0, -m12, 0, 0, 0, half, 0, m12, 0}},
      {22, wf, 0, {0, big, 0, 0, 0, m20, 0, small, 0, 0, 0, -m30}},
      {22, 0, wf, {0, small, 0, 0, 0, m30, 0, big, 0, 0, 0, -m20}},
      {32, wf, 0, {0, 0, big, 0, -m20, 0, 0, 0, small, 0, m30, 0}},
      {11, wf, wf, {}},                                                         // y-z projection: a point
  };
  for (const Case& c : cases) {
    set_beam(kAlongX);
    expect_vec12(hermite(c.code, {c.p1, c.p2}), c.want, 1e-12,
                 "code " + std::to_string(c.code) + " values " + std::to_string(c.p1) + ", " + std::to_string(c.p2));
  }
}

TEST(HermiteBeamLoad, MemberAlongYTakesTheTurnedResult) {
  // Member along +y, orientation node on +x: e1 = y, e2 = x, e3 = -z.
  const std::vector<double> along_y{0, 0, 0, 0, kLen, 0, 1, 0, 0};
  const double w = 2.0, half = w * kLen / 2, m12 = w * kLen * kLen / 12;
  struct Case {
    word code;
    Vec12 want;
  };
  // A load along x on a member along +y turns about -z (M = r x F); along z about +x.
  const std::vector<Case> cases{
      {12, {half, 0, 0, 0, 0, -m12, half, 0, 0, 0, 0, m12}},
      {1, {half, 0, 0, 0, 0, -m12, half, 0, 0, 0, 0, m12}},
      {32, {0, 0, half, m12, 0, 0, 0, 0, half, -m12, 0, 0}},
      {2, {0, 0, -half, -m12, 0, 0, 0, 0, -half, m12, 0, 0}},
      {22, {0, half, 0, 0, 0, 0, 0, half, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    set_beam(along_y);
    expect_vec12(hermite(c.code, {2.0f, 2.0f}), c.want, 1e-12, "code " + std::to_string(c.code));
  }
}

TEST(HermiteBeamLoad, RotatedMembersGiveTheTurnedLoadsAndTheStaticsOfTheLoad) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const std::vector<float> p{1.5f, -0.5f};
  for (int trial = 0; trial < 6; ++trial) {
    const M3 r = test::random_rotation(rng);
    const V3 shift{u(rng), u(rng), u(rng)};
    std::vector<double> xyz;
    for (int k = 0; k < 3; ++k) {
      const V3 x = test::apply(r, {kAlongX[3 * k], kAlongX[3 * k + 1], kAlongX[3 * k + 2]});
      for (int s = 0; s < 3; ++s) xyz.push_back(x[s] + shift[s]);
    }
    // Section-axis loads and a body load turn with the member.
    const V3 g0{0.25, -0.5, 0.75};
    const V3 g = test::apply(r, g0);
    for (const auto& [code, values, vref] :
         {std::tuple{word{1}, p, p}, std::tuple{word{2}, p, p},
          std::tuple{word{7}, std::vector<float>{float(g[0]), float(g[1]), float(g[2])},
                     std::vector<float>{float(g0[0]), float(g0[1]), float(g0[2])}}}) {
      set_beam(kAlongX);
      const Vec12 ref = hermite(code, vref);
      set_beam(xyz);
      const Vec12 got = hermite(code, values);
      for (int b = 0; b < 4; ++b)
        test::expect_v3(block(got, b), test::apply(r, block(ref, b)), 2e-5,
                        "trial " + std::to_string(trial) + " code " + std::to_string(code) + " block " +
                            std::to_string(b));
    }
    // Global-direction loads: the end forces sum to the load and their
    // moments about node 1 (end moments and d x F2) to its moment:
    // F = c u L (p1 + p2) / 2, M = c (e1 x u) L^2 (p1 + 2 p2) / 6, with c
    // = 1 per true length and L_proj / L per projected length.
    for (word code : {11, 12, 21, 22, 31, 32}) {
      set_beam(xyz);
      const Vec12 pe = hermite(code, p);
      const auto& x = estcom().XYZ;  // the coordinates as stored
      const V3 n1{x[0], x[1], x[2]}, n2{x[3], x[4], x[5]};
      const V3 d{n2[0] - n1[0], n2[1] - n1[1], n2[2] - n1[2]};
      const double len = std::sqrt(test::dot3(d, d));
      V3 axis{};
      axis[code / 10 - 1] = 1.0;
      V3 dp = d;
      dp[code / 10 - 1] = 0.0;
      const double c = code % 10 == 1 ? std::sqrt(test::dot3(dp, dp)) / len : 1.0;
      const double p1 = p[0], p2 = p[1];
      const V3 f_want = test::scale3(axis, c * len * (p1 + p2) / 2);
      const V3 e1 = test::scale3(d, 1.0 / len);
      const V3 e1xu{e1[1] * axis[2] - e1[2] * axis[1], e1[2] * axis[0] - e1[0] * axis[2],
                    e1[0] * axis[1] - e1[1] * axis[0]};
      const V3 m_want = test::scale3(e1xu, c * len * len * (p1 + 2 * p2) / 6);
      const V3 f2 = block(pe, 2);
      const V3 dxf2{d[1] * f2[2] - d[2] * f2[1], d[2] * f2[0] - d[0] * f2[2], d[0] * f2[1] - d[1] * f2[0]};
      const std::string what = "trial " + std::to_string(trial) + " code " + std::to_string(code);
      test::expect_v3(test::add3(block(pe, 0), f2), f_want, 1e-9, what + " force");
      test::expect_v3(test::add3(test::add3(block(pe, 1), block(pe, 3)), dxf2), m_want, 1e-9, what + " moment");
    }
  }
}

TEST(HermiteBeamLoad, BodyLoadTakesTheRectangleOrTheTubeArea) {
  // A = 12, I = 16: b = 3, h = 4; A = 2, I = 6: b = 1/3, h = 6. The tube
  // reads the depth as outer and the width as inner radius.
  struct Case {
    float a, i;
    word section_switch;
    double area;
  };
  const std::vector<Case> cases{
      {12, 16, 0, 12.0}, {2, 6, 0, 2.0}, {12, 16, 1, kPi * (16.0 - 9.0)}, {2, 6, 1, kPi * (36.0 - 1.0 / 9.0)},
  };
  const double g = 0.5, l = kLen;
  for (const Case& c : cases) {
    set_beam(kAlongX, c.a, c.i);
    etycom().rsv30[1] = c.section_switch;
    const double q = c.area * g;
    const std::string what = "A " + std::to_string(c.a) + " switch " + std::to_string(c.section_switch);
    const double f = q * l / 2, m = q * l * l / 12;
    expect_vec12(hermite(7, {0.0f, float(g), 0.0f}), {0, f, 0, 0, 0, m, 0, f, 0, 0, 0, -m}, 1e-5 * q, what + " across");
    set_beam(kAlongX, c.a, c.i);
    etycom().rsv30[1] = c.section_switch;
    expect_vec12(hermite(7, {float(g), 0.0f, 0.0f}), {f, 0, 0, 0, 0, 0, f, 0, 0, 0, 0, 0}, 1e-5 * q, what + " along");
  }
}

TEST(HermiteBeamLoad, EntriesOnOneElementAddUpAndLeaveItsSectionAsRead) {
  set_beam(kAlongX);
  Vec12 pe{};
  word count = 0;
  const std::array<float, 2> p{2.0f, 2.0f};
  PDHERM(22, count, p, pe);
  EXPECT_EQ(count, 4);
  PDHERM(22, count, p, pe);
  EXPECT_EQ((std::array<float, 4>{estcom().PROP[0], estcom().PROP[1], estcom().PROP[2], estcom().PROP[3]}),
            (std::array<float, 4>{12, 0, 16, 0}));
  const double half = 2.0 * kLen / 2, m12 = 2.0 * kLen * kLen / 12;
  expect_vec12(pe, {0, 2 * half, 0, 0, 0, 2 * m12, 0, 2 * half, 0, 0, 0, -2 * m12}, 1e-12, "two entries");
  // The body load of the next entry still sees A = 12.
  Vec12 body{};
  PDHERM(7, count, std::array<float, 3>{1.0f, 0.0f, 0.0f}, body);
  EXPECT_NEAR(body[0] + body[6], 12.0 * kLen, 1e-5);
}

TEST(HermiteBeamLoadDeathTest, UnknownCodesShortEntriesAndUndefinedAxesEndTheRun) {
  struct Case {
    word code;
    std::vector<float> values;
    std::vector<double> xyz;
    word msg;
    std::string text;
  };
  const std::string code_text = "ELEMENT ID= *4711, TYPE= *";
  const std::vector<Case> cases{
      {3, {1, 1}, kAlongX, -8019, code_text + "3\n"},
      {13, {1, 1}, kAlongX, -8019, code_text + "13\n"},
      {41, {1, 1}, kAlongX, -8019, code_text + "41\n"},
      {0, {1, 1}, kAlongX, -8019, code_text + "0\n"},
      {7, {1, 1}, kAlongX, -8019, code_text + "7\n"},   // a body load needs three components
      {22, {1}, kAlongX, -8019, code_text + "22\n"},    // a line load needs both end values
      // The section beam has no default orientation.
      {22, {1, 1}, {0, 0, 0, 1, 1, 0, 3, 3, 0}, -8005, "ELEMENT ID= *4711"},
  };
  for (const Case& c : cases) {
    const std::string log = test::fatal_log([&c] {
      set_beam(c.xyz);
      Vec12 pe{};
      word count = 0;
      PDHERM(c.code, count, c.values, pe);
    });
    EXPECT_TRUE(test::has_message(log, c.msg)) << "code " << c.code << "\n" << log;
    EXPECT_TRUE(std::regex_search(log, std::regex(c.text))) << "code " << c.code << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
