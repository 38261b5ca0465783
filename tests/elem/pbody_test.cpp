// Body-force loads: nodal shares of the weight of every element shape
// against the integrals of their shape functions (worked by hand), on the
// reference elements and on affinely distorted ones, the ring weighting of
// the axisymmetric types, the plane elements' unit thickness, membranes and
// shells in a plane tilted in space, and the closed form of the line
// elements.
#include <gtest/gtest.h>

#include <array>
#include <functional>
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

constexpr word kHex8 = 1, kPent6 = 2, kQax4 = 3, kTax3 = 4, kRod2 = 6, kQfla4 = 7, kQmem4 = 9, kTmem3 = 10,
               kQplan4 = 11, kTplan3 = 12, kHex20 = 15, kPent15 = 16, kTet10 = 17;
constexpr double kTwoPi = 6.28318530718;

// Each node's share of the element weight: the integral of its shape
// function over the element divided by the volume.
struct SolidCase {
  std::string name;
  word iecod;
  std::function<std::vector<V3>()> nodes;
  double volume;
  std::vector<double> share;
  LoadFn fn;
};

std::vector<SolidCase> solid_cases() {
  // Hexahedron of order 2: corners -1/8, mid-edges 1/6.
  constexpr double hc = -1.0 / 8, hm = 1.0 / 6;
  // Pentahedron of order 2: corners -1/9, mid-edges of the end triangles
  // 1/6, mid-height nodes 2/9.
  constexpr double pc = -1.0 / 9, pe = 1.0 / 6, pm = 2.0 / 9;
  // Tetrahedron of order 2: corners -1/20, mid-edges 1/5.
  constexpr double tc = -1.0 / 20, tm = 1.0 / 5;
  return {
      {"HEX8", kHex8, test::hex8_unit, 1.0, std::vector<double>(8, 1.0 / 8), PBHEX8},
      {"HEX20", kHex20, test::hex20_unit, 1.0,
       {hc, hm, hc, hm, hm, hc, hm, hc, hm, hm, hm, hm, hc, hm, hc, hm, hm, hc, hm, hc}, PBHEX20},
      {"PENT6", kPent6, test::pent6_unit, 0.5, std::vector<double>(6, 1.0 / 6), PBPENT6},
      {"PENT15", kPent15, test::pent15_unit, 0.5, {pc, pe, pc, pe, pe, pc, pm, pm, pm, pc, pe, pc, pe, pe, pc}, PBPENT15},
      {"TET10", kTet10, test::tet10_unit, 1.0 / 6, {tc, tm, tc, tm, tm, tc, tm, tm, tm, tc}, PBTET10},
  };
}

TEST(BodyForce, SolidSharesOfTheWeightOnReferenceAndAffineElements) {
  // A shear map with binary fractions keeps the coordinates exact in single
  // precision; the shares are invariant under it and the volume scales by det.
  const M3 shear{{{2.0, 0.5, 0.0}, {0.0, 1.5, 0.25}, {0.0, 0.0, 0.75}}};
  const M3 identity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  const double gamm = 20.0;
  const std::array<float, 3> c{0.5f, -0.25f, -1.0f};
  for (const SolidCase& sc : solid_cases()) {
    for (const auto& [map, det] : {std::pair{identity, 1.0}, std::pair{shear, 2.25}}) {
      test::load_element(sc.iecod, test::flat(test::affine(sc.nodes(), map, {1.0, -2.0, 3.0})), gamm);
      auto pe = test::element_vector();
      sc.fn(0, c, pe);
      const double weight = gamm * sc.volume * det;
      for (std::size_t a = 0; a < sc.share.size(); ++a)
        test::expect_v3(test::node_force(pe, 3, static_cast<int>(a + 1)),
                        {sc.share[a] * weight * c[0], sc.share[a] * weight * c[1], sc.share[a] * weight * c[2]},
                        1e-10 * weight, sc.name + " node " + std::to_string(a + 1) + " det " + std::to_string(det));
    }
  }
}

TEST(BodyForce, UnitCubeUnderGravityGivesAnEighthOfItsWeightPerNode) {
  test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
  auto pe = test::element_vector();
  PBHEX8(0, std::array<float, 3>{0.0f, 0.0f, -1.0f}, pe);
  for (int k = 1; k <= 8; ++k) test::expect_v3(test::node_force(pe, 3, k), {0.0, 0.0, -2.5}, 1e-12, "node");
}

TEST(BodyForce, PlaneElementsHaveUnitThicknessAndRingElementsWeighByTwoPiR) {
  const std::array<float, 2> c{0.5f, -1.0f};
  struct Case {
    std::string name;
    word iecod;
    std::vector<double> xy;
    float prop1;  // ignored: plane elements are of unit thickness
    std::vector<double> share;  // integral of N_a (times r for the ring types)
    double factor;              // 2 pi for the ring types
    LoadFn fn;
  };
  // Ring section 1 <= r <= 2, 0 <= z <= 1: integral of N_a r is 1/3 at the
  // inner and 5/12 at the outer nodes; triangle (1,0) (2,0) (1,1): integral of
  // L_a r = A (r_a + sum r) / 12 = 5/24, 6/24, 5/24.
  const std::vector<Case> cases{
      {"QPLAN4", kQplan4, {0, 0, 2, 0, 0, 2, 2, 2}, 7.0f, {1, 1, 1, 1}, 1.0, PBQPLAN4},
      {"TPLAN3", kTplan3, {0, 0, 3, 0, 0, 2}, 7.0f, {1, 1, 1}, 1.0, PBTPLAN3},
      {"QAX4", kQax4, {1, 0, 2, 0, 1, 1, 2, 1}, 7.0f, {1.0 / 3, 5.0 / 12, 1.0 / 3, 5.0 / 12}, kTwoPi, PBQAX4},
      {"TAX3", kTax3, {1, 0, 2, 0, 1, 1}, 7.0f, {5.0 / 24, 6.0 / 24, 5.0 / 24}, kTwoPi, PBTAX3},
  };
  const double gamm = 3.0;
  for (const Case& k : cases) {
    test::load_element(k.iecod, k.xy, gamm, k.prop1);
    auto pe = test::element_vector();
    k.fn(0, c, pe);
    for (std::size_t a = 0; a < k.share.size(); ++a) {
      const double f = k.factor * k.share[a] * gamm;
      EXPECT_NEAR(pe[2 * a], f * c[0], 1e-12) << k.name << " node " << a + 1;
      EXPECT_NEAR(pe[2 * a + 1], f * c[1], 1e-12) << k.name << " node " << a + 1;
    }
  }
}

TEST(BodyForce, SquareOfSideTwoUnderUnitWeightGivesMinusOnePerNode) {
  test::load_element(kQplan4, {0, 0, 2, 0, 0, 2, 2, 2}, 1.0);
  auto pe = test::element_vector();
  PBQPLAN4(0, std::array<float, 2>{0.0f, -1.0f}, pe);
  for (int k = 1; k <= 4; ++k) {
    EXPECT_NEAR(pe[2 * k - 2], 0.0, 1e-12);
    EXPECT_NEAR(pe[2 * k - 1], -1.0, 1e-12);
  }
}

TEST(BodyForce, MembranesAndShellsInATiltedPlaneTakeGlobalComponentsAndThickness) {
  std::mt19937 rng(11);
  const double gamm = 4.0, t = 0.5;
  const std::array<float, 3> c{1.0f, -2.0f, 3.0f};
  struct Case {
    std::string name;
    word iecod;
    std::vector<V3> plane;  // in-plane layout, element node order
    double area;
    int dpn;
    LoadFn fn;
  };
  const std::vector<Case> cases{
      {"QMEM4", kQmem4, {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}}, 2.0, 3, PBQMEM4},
      {"QFLA4", kQfla4, {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {2, 1, 0}}, 2.0, 6, PBQFLA4},
      {"TMEM3", kTmem3, {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}}, 1.0, 3, PBTMEM3},
  };
  for (const Case& k : cases) {
    for (int trial = 0; trial < 3; ++trial) {
      const M3 q = test::random_rotation(rng);
      test::load_element(k.iecod, test::flat(test::affine(k.plane, q, {5.0, -3.0, 2.0})), gamm, static_cast<float>(t));
      auto pe = test::element_vector();
      k.fn(0, c, pe);
      const double share = gamm * t * k.area / static_cast<double>(k.plane.size());
      for (int a = 1; a <= static_cast<int>(k.plane.size()); ++a) {
        test::expect_v3(test::node_force(pe, k.dpn, a), {share * c[0], share * c[1], share * c[2]}, 1e-5,
                        k.name + " node " + std::to_string(a));
        for (int r = 3; r < k.dpn; ++r) EXPECT_EQ(pe[static_cast<std::size_t>(k.dpn * (a - 1) + r)], 0.0) << k.name;
      }
    }
  }
}

TEST(BodyForce, LineElementsTakeHalfTheirWeightAtEachEnd) {
  test::load_element(kRod2, {1, 2, 3, 1, 2, -1}, 10.0, 0.5f);  // length 4
  std::vector<double> pe(6, 0.0);
  PBROD2(0, std::array<float, 3>{0.0f, 0.0f, -1.0f}, pe);
  EXPECT_EQ(pe, (std::vector<double>{0, 0, -10, 0, 0, -10}));

  test::load_element(kRod2, {1, 2, 3, 1, 2, 3}, 10.0, 0.5f);  // coincident ends
  std::vector<double> none(6, 0.0);
  PBROD2(0, std::array<float, 3>{0.0f, 0.0f, -1.0f}, none);
  EXPECT_EQ(none, std::vector<double>(6, 0.0));
}

TEST(BodyForce, ZeroComponentsAddNothingEvenOnAnElementWithoutAxes) {
  // Collinear nodes: a non-zero load would end the run in the local axes.
  const std::vector<std::pair<word, LoadFn>> fns{{kHex8, PBHEX8},     {kHex20, PBHEX20},   {kPent6, PBPENT6},
                                                 {kPent15, PBPENT15}, {kTet10, PBTET10},   {kQax4, PBQAX4},
                                                 {kTax3, PBTAX3},     {kQplan4, PBQPLAN4}, {kTplan3, PBTPLAN3},
                                                 {kQmem4, PBQMEM4},   {kTmem3, PBTMEM3},   {kQfla4, PBQFLA4}};
  std::vector<double> line;
  for (int k = 0; k < 20; ++k) line.insert(line.end(), {double(k), 0.0, 0.0});
  for (const auto& [iecod, fn] : fns) {
    test::load_element(iecod, line, 20.0, 1.0f);
    auto pe = test::element_vector();
    pe.assign(pe.size(), 0.5);
    fn(0, std::array<float, 3>{0.0f, 0.0f, 0.0f}, pe);
    EXPECT_EQ(pe, std::vector<double>(pe.size(), 0.5)) << "type " << iecod;
  }
}

TEST(BodyForceDeath, AnEntryWithTooFewComponentsEndsTheRun) {
  const std::string log = test::fatal_log([] {
    test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
    auto pe = test::element_vector();
    PBHEX8(0, std::array<float, 2>{0.0f, -1.0f}, pe);
  });
  EXPECT_TRUE(test::has_message(log, 8019)) << log;
}

}  // namespace
}  // namespace zephsol
