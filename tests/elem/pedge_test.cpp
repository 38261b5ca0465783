// Edge and line loads: every edge code of the plane and axisymmetric types
// against the integrals of the linearly varying load times the shape
// functions (and 2 pi r) along the loaded measure, worked with a separate
// Gauss rule; the beam's section-axis, true-length and projected line loads;
// the in-plane edge tractions of membranes and shells in tilted planes, the
// shell's face pressure and its lumped global-direction load; codes that end
// the run.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "support/loadfix.h"
#include "zephsol/elem/pelem.h"

namespace zephsol {
namespace {

using test::M3;
using test::V3;
using LoadFn = std::function<void(word, std::span<const float>, std::span<double>)>;

constexpr word kQax4 = 3, kTax3 = 4, kBeam2 = 5, kQfla4 = 7, kQmem4 = 9, kTmem3 = 10, kQplan4 = 11, kTplan3 = 12;
constexpr double kPi = 3.14159265359;

// End integrals (integral of (1 - s) g, integral of s g) over s in [0, 1] of
// a cubic g, by the 3-point Gauss rule.
std::array<double, 2> end_integrals(const std::function<double(double)>& g) {
  const double h = 0.5 * std::sqrt(0.6);
  const std::array<double, 3> s{0.5 - h, 0.5, 0.5 + h}, w{5.0 / 18, 8.0 / 18, 5.0 / 18};
  std::array<double, 2> out{};
  for (int i = 0; i < 3; ++i) {
    out[0] += w[i] * (1 - s[i]) * g(s[i]);
    out[1] += w[i] * s[i] * g(s[i]);
  }
  return out;
}

TEST(EdgeLoad, EveryEdgeCodeOfThePlaneAndRingTypesGivesTheConsistentEndForces) {
  struct Type {
    std::string name;
    word iecod;
    std::vector<std::array<double, 2>> x;  // counterclockwise in the node order of the type
    std::vector<std::array<int, 2>> edges;
    int max_dir;
    bool ring;
    LoadFn fn;
  };
  const std::vector<std::array<double, 2>> quad{{1.0, 0.5}, {3.0, 0.25}, {1.5, 2.0}, {3.5, 2.5}};
  const std::vector<std::array<double, 2>> tri{{1.0, 0.5}, {3.0, 0.25}, {2.0, 2.0}};
  const std::vector<std::array<int, 2>> qedges{{1, 2}, {2, 4}, {4, 3}, {3, 1}}, tedges{{1, 2}, {2, 3}, {3, 1}};
  const std::vector<Type> types{
      {"QPLAN4", kQplan4, quad, qedges, 4, false, PDQPN4}, {"TPLAN3", kTplan3, tri, tedges, 2, false, PDTPLAN3},
      {"QAX4", kQax4, quad, qedges, 2, true, PDQAX4},      {"TAX3", kTax3, tri, tedges, 2, true, PDTAX3},
  };
  const float p1 = 1.5f, p2 = 0.5f;
  for (const Type& t : types) {
    std::vector<double> xy;
    for (const auto& p : t.x) xy.insert(xy.end(), {p[0], p[1]});
    for (int d = 0; d <= t.max_dir; ++d)
      for (int e = 1; e <= static_cast<int>(t.edges.size()); ++e) {
        const word code = 10 * d + e;
        const std::string what = t.name + " code " + std::to_string(code);
        const auto [na, nb] = t.edges[static_cast<std::size_t>(e - 1)];
        const auto a = t.x[static_cast<std::size_t>(na - 1)], b = t.x[static_cast<std::size_t>(nb - 1)];
        const double dx = b[0] - a[0], dy = b[1] - a[1], len = std::hypot(dx, dy);
        // Loaded measure and direction: normal pressure on the true length
        // (left normal, into the element), x per unit of y-projection, y per
        // unit of x-projection, x and y on the true length.
        const double measure = d == 1 ? std::abs(dy) : d == 2 ? std::abs(dx) : len;
        const std::array<double, 2> u = d == 0 ? std::array<double, 2>{-dy / len, dx / len}
                                        : d % 2 == 1 ? std::array<double, 2>{1, 0}
                                                     : std::array<double, 2>{0, 1};
        const auto ends = end_integrals([&](double s) {
          const double p = p1 + s * (p2 - p1);
          return t.ring ? p * 2 * kPi * (a[0] + s * dx) : p;
        });
        test::load_element(t.iecod, xy, 0.0, 7.0f);
        auto pe = test::element_vector();
        t.fn(code, std::array<float, 2>{p1, p2}, pe);
        std::vector<double> want(pe.size(), 0.0);
        for (int c = 0; c < 2; ++c) {
          want[static_cast<std::size_t>(2 * (na - 1) + c)] = measure * ends[0] * u[c];
          want[static_cast<std::size_t>(2 * (nb - 1) + c)] = measure * ends[1] * u[c];
        }
        for (std::size_t i = 0; i < pe.size(); ++i) EXPECT_NEAR(pe[i], want[i], 1e-12) << what << " entry " << i;
        EXPECT_EQ(estcom().PROP[0], 7.0f) << what;
      }
  }
}

TEST(EdgeLoad, PlaneEdgesOfSquareAndRectangle) {
  // Side-2 square: a unit pressure on edge 1 gives 1 per node into the
  // element whatever the first property word holds; (1, 0) gives 2/3 and 1/3.
  test::load_element(kQplan4, {0, 0, 2, 0, 0, 2, 2, 2}, 0.0, 9.0f);
  auto pe = test::element_vector();
  PDQPN4(1, std::array<float, 2>{1, 1}, pe);
  EXPECT_EQ(pe, (std::vector<double>{0, 1, 0, 1, 0, 0, 0, 0}));
  pe.assign(pe.size(), 0.0);
  PDQPN4(1, std::array<float, 2>{1, 0}, pe);
  EXPECT_NEAR(pe[1], 2.0 / 3, 1e-15);
  EXPECT_NEAR(pe[3], 1.0 / 3, 1e-15);
  // Code 34: x on the true length of edge 4 (node 3 to node 1, length 3).
  test::load_element(kQplan4, {0, 0, 2, 0, 0, 3, 2, 3});
  pe = test::element_vector();
  PDQPN4(34, std::array<float, 2>{2, 2}, pe);
  EXPECT_EQ(pe, (std::vector<double>{3, 0, 0, 0, 3, 0, 0, 0}));
}

TEST(EdgeLoad, RingEdgeCarriesTwoPiRAlongItsLength) {
  // Top edge from node 4 at r = 2 to node 3 at r = 1: 2 pi times the
  // integral of N r: 10 pi / 6 and 8 pi / 6, pushing down.
  test::load_element(kQax4, {1, 0, 2, 0, 1, 1, 2, 1});
  auto pe = test::element_vector();
  PDQAX4(3, std::array<float, 2>{1, 1}, pe);
  EXPECT_NEAR(pe[7], -10 * kPi / 6, 1e-12);
  EXPECT_NEAR(pe[5], -8 * kPi / 6, 1e-12);
  EXPECT_NEAR(pe[4] + pe[6], 0.0, 1e-12);
  // A radial load per unit height on an inclined edge from r = 1 to r = 2
  // over a height of 1 follows the edge's radius: total 2 pi x 1.5.
  test::load_element(kQax4, {1, 0, 2, 1, 1, 2, 2, 2.5});
  pe = test::element_vector();
  PDQAX4(11, std::array<float, 2>{1, 1}, pe);
  EXPECT_NEAR(pe[0] + pe[2], 2 * kPi * 1.5, 1e-12);
  EXPECT_NEAR(pe[1] + pe[3], 0.0, 1e-12);
}

TEST(EdgeLoad, BeamLineLoadsAlongSectionAxesAndGlobalAxes) {
  const double len = 4.0, c45 = std::sqrt(0.5);
  // Horizontal beam along x, orientation node on y: e2 = y, e3 = z.
  const std::vector<double> flat{0, 0, 0, len, 0, 0, 0, 1, 0};
  const std::vector<double> tilted{0, 0, 0, len * c45, 0, len * c45, 0, 1, 0};
  const auto load = [](const std::vector<double>& x, word code, std::array<float, 2> p) {
    test::load_element(kBeam2, x);
    std::vector<double> pe(6, 0.0);
    PDROD2(code, p, pe);
    return pe;
  };
  struct Case {
    std::vector<double> x;
    word code;
    std::array<float, 2> p;
    std::vector<double> want;
    double tol;
  };
  const double h = len / 2, hp = len * c45 / 2;
  const std::vector<Case> cases{
      {flat, 1, {1, 1}, {0, h, 0, 0, h, 0}, 1e-12},            // along e2
      {flat, 2, {1, 1}, {0, 0, h, 0, 0, h}, 1e-12},            // along e3
      {flat, 31, {1, 1}, {0, 0, h, 0, 0, h}, 1e-12},           // z on the horizontal projection
      {flat, 32, {1, 1}, {0, 0, h, 0, 0, h}, 1e-12},           // z on the true length
      {tilted, 31, {1, 1}, {0, 0, hp, 0, 0, hp}, 1e-6},        // projection len cos 45
      {tilted, 32, {1, 1}, {0, 0, h, 0, 0, h}, 1e-6},
      {flat, 21, {1, 1}, {0, h, 0, 0, h, 0}, 1e-12},           // y on the x-z projection: full length
      {flat, 11, {1, 1}, {0, 0, 0, 0, 0, 0}, 0.0},             // x on the y-z projection: a point
      {flat, 12, {1, 3}, {len * 5 / 6, 0, 0, len * 7 / 6, 0, 0}, 1e-12},  // linear: L (2p1 + p2) / 6, L (p1 + 2p2) / 6
  };
  for (const Case& c : cases) {
    const auto pe = load(c.x, c.code, c.p);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_NEAR(pe[i], c.want[i], c.tol) << "code " << c.code << " entry " << i;
  }
}

TEST(EdgeLoad, MembraneAndShellEdgesPushInwardsInTheirPlaneByThickness) {
  std::mt19937 rng(5);
  const double t = 0.5;
  const float p1 = 1.5f, p2 = 0.5f;
  struct Type {
    std::string name;
    word iecod;
    std::vector<V3> plane;
    std::vector<std::array<int, 2>> edges;
    int dpn;
    LoadFn fn;
  };
  const std::vector<Type> types{
      {"QMEM4", kQmem4, {{0, 0, 0}, {2, 0, 0}, {0.25, 1, 0}, {2.5, 1.5, 0}}, {{1, 2}, {2, 4}, {4, 3}, {3, 1}}, 3, PDQMEM4},
      {"QFLA4", kQfla4, {{0, 0, 0}, {2, 0, 0}, {0.25, 1, 0}, {2.5, 1.5, 0}}, {{1, 2}, {2, 4}, {4, 3}, {3, 1}}, 6, PDQFLA4},
      {"TMEM3", kTmem3, {{0, 0, 0}, {2, 0, 0}, {0.5, 1.5, 0}}, {{1, 2}, {2, 3}, {3, 1}}, 3, PDTMEM3},
  };
  for (const Type& ty : types) {
    const M3 q = test::random_rotation(rng);
    const auto x = test::affine(ty.plane, q, {-4.0, 6.0, 1.0});
    V3 centre{};
    for (const V3& p : x) centre = test::add3(centre, test::scale3(p, 1.0 / static_cast<double>(x.size())));
    for (int e = 1; e <= static_cast<int>(ty.edges.size()); ++e) {
      const auto [na, nb] = ty.edges[static_cast<std::size_t>(e - 1)];
      const V3 a = x[static_cast<std::size_t>(na - 1)], b = x[static_cast<std::size_t>(nb - 1)];
      const V3 ab = test::add3(b, test::scale3(a, -1));
      const double len = std::sqrt(test::dot3(ab, ab));
      // Unit vector in the plane, normal to the edge, towards the centre.
      const V3 ac = test::add3(centre, test::scale3(a, -1));
      const V3 in = test::add3(ac, test::scale3(ab, -test::dot3(ac, ab) / (len * len)));
      const V3 n = test::scale3(in, 1.0 / std::sqrt(test::dot3(in, in)));
      test::load_element(ty.iecod, test::flat(x), 0.0, static_cast<float>(t));
      auto pe = test::element_vector();
      ty.fn(e, std::array<float, 2>{p1, p2}, pe);
      const std::string what = ty.name + " edge " + std::to_string(e);
      test::expect_v3(test::node_force(pe, ty.dpn, na), test::scale3(n, t * len * (2 * p1 + p2) / 6), 1e-5, what);
      test::expect_v3(test::node_force(pe, ty.dpn, nb), test::scale3(n, t * len * (p1 + 2 * p2) / 6), 1e-5, what);
      test::expect_v3(test::resultant(pe, ty.dpn), test::scale3(n, t * len * (p1 + p2) / 2), 1e-5, what);
      for (std::size_t i = 0; i < pe.size(); ++i) {
        if (static_cast<int>(i) % ty.dpn < 3) continue;
        EXPECT_EQ(pe[i], 0.0) << what << " rotation entry " << i;
      }
    }
  }
}

TEST(EdgeLoad, MembraneSquareEdgesOfHalfThickness) {
  test::load_element(kQmem4, {0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0}, 0.0, 0.5f);
  auto pe = test::element_vector();
  PDQMEM4(1, std::array<float, 2>{1, 1}, pe);
  EXPECT_EQ(pe, (std::vector<double>{0, 0.5, 0, 0, 0.5, 0, 0, 0, 0, 0, 0, 0}));
  pe.assign(pe.size(), 0.0);
  PDQMEM4(3, std::array<float, 2>{1, 1}, pe);
  for (int k : {3, 4}) test::expect_v3(test::node_force(pe, 3, k), {0, -0.5, 0}, 1e-15, "top edge");
}

TEST(ShellFaceLoad, PressureActsAcrossTheShellAndGlobalLoadsAreLumped) {
  // Unit square in the x-y plane: e3 = +z.
  test::load_element(kQfla4, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 0.0, 0.1f);
  for (const auto& [code, fz] : {std::pair{6, -0.25}, std::pair{5, 0.25}}) {
    auto pe = test::element_vector();
    PDQFLA4(code, std::array<float, 4>{1, 1, 1, 1}, pe);
    for (int k = 1; k <= 4; ++k) {
      test::expect_v3(test::node_force(pe, 6, k), {0, 0, fz}, 1e-15, "pressure code " + std::to_string(code));
      for (int r = 3; r < 6; ++r) EXPECT_EQ(pe[static_cast<std::size_t>(6 * (k - 1) + r)], 0.0);
    }
  }
  auto pe = test::element_vector();
  PDQFLA4(9, std::array<float, 4>{1, 2, 3, 4}, pe);
  for (int k = 1; k <= 4; ++k) test::expect_v3(test::node_force(pe, 6, k), {0, 0, 0.25 * k}, 1e-15, "code 9");
}

TEST(ShellFaceLoad, TiltedShellTakesItsTrueArea) {
  std::mt19937 rng(9);
  const M3 q = test::random_rotation(rng);
  const auto x = test::affine({{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}}, q, {1, 2, 3});
  const V3 e3 = {q[0][2], q[1][2], q[2][2]};  // image of the layout's z axis
  test::load_element(kQfla4, test::flat(x), 0.0, 0.1f);
  auto pe = test::element_vector();
  PDQFLA4(6, std::array<float, 4>{1, 1, 1, 1}, pe);
  test::expect_v3(test::resultant(pe, 6), test::scale3(e3, -2.0), 1e-5, "code 6");
  pe = test::element_vector();
  PDQFLA4(8, std::array<float, 4>{1, 1, 1, 1}, pe);
  for (int k = 1; k <= 4; ++k) test::expect_v3(test::node_force(pe, 6, k), {0, 0.5, 0}, 1e-5, "code 8");
}

TEST(EdgeLoadDeath, CodesOutsideTheEdgeTablesEndTheRun) {
  const std::vector<double> quad2{0, 0, 2, 0, 0, 2, 2, 2}, tri2{0, 0, 2, 0, 0, 2};
  const std::vector<double> quad3{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, tri3{0, 0, 0, 1, 0, 0, 0, 1, 0};
  const std::vector<double> beam{0, 0, 0, 1, 0, 0, 0, 1, 0};
  struct Case {
    word iecod;
    std::vector<double> x;
    LoadFn fn;
    word code;
  };
  const std::vector<Case> cases{
      {kQax4, quad2, PDQAX4, 31},  {kQax4, quad2, PDQAX4, 5},     {kTax3, tri2, PDTAX3, 4},
      {kQplan4, quad2, PDQPN4, 45}, {kTplan3, tri2, PDTPLAN3, 31}, {kBeam2, beam, PDROD2, 3},
      {kBeam2, beam, PDROD2, 13},  {kQfla4, quad3, PDQFLA4, 10},  {kQmem4, quad3, PDQMEM4, 5},
      {kTmem3, tri3, PDTMEM3, 4},
  };
  for (const Case& c : cases) {
    const std::string log = test::fatal_log([&c] {
      test::load_element(c.iecod, c.x, 0.0, 1.0f);
      std::vector<double> pe(24, 0.0);
      c.fn(c.code, std::array<float, 4>{1, 1, 1, 1}, pe);
    });
    EXPECT_TRUE(std::regex_search(log, std::regex("ELEMENT ID= *4711, TYPE= *" + std::to_string(c.code) + "\n")))
        << "type " << c.iecod << " code " << c.code << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
