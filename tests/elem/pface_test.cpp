// Face loads of the solids: every pressure face of every solid type on its
// reference element pushes inwards with the face's area and loads only the
// nodes of that face; linearly varying pressures give the resultant and
// first moments of the load (closed-form integrals over unit squares and
// right triangles); the shares of quadratic faces; the lumped directional and
// projected loads of the 8-node hexahedron with their listing lines; codes
// that end the run.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "support/loadfix.h"
#include "zephsol/elem/pelem.h"

namespace zephsol {
namespace {

using test::V3;
using LoadFn = std::function<void(word, std::span<const float>, std::span<double>)>;

constexpr word kHex8 = 1, kPent6 = 2, kHex20 = 15, kPent15 = 16, kTet10 = 17;
const double kR2 = std::sqrt(0.5), kR3 = std::sqrt(1.0 / 3.0);

struct Solid {
  std::string name;
  word iecod;
  std::function<std::vector<V3>()> nodes;
  LoadFn fn;
};
const Solid kHex8Solid{"HEX8", kHex8, test::hex8_unit, PDHEX8};
const Solid kHex20Solid{"HEX20", kHex20, test::hex20_unit, PDHEX20};
const Solid kPent6Solid{"PENT6", kPent6, test::pent6_unit, PDPENT6};
const Solid kPent15Solid{"PENT15", kPent15, test::pent15_unit, PDPENT15};
const Solid kTet10Solid{"TET10", kTet10, test::tet10_unit, PDTET10};

// Load of the entry (code, values) on the reference element of s.
std::vector<double> face_load(const Solid& s, word code, const std::vector<float>& values) {
  test::load_element(s.iecod, test::flat(s.nodes()));
  auto pe = test::element_vector();
  s.fn(code, values, pe);
  return pe;
}

TEST(FaceLoad, UniformPressureOnEveryFacePushesInWithTheFaceArea) {
  struct Case {
    const Solid* solid;
    word code;
    V3 n;           // outward unit normal
    double offset;  // n . x on the face
    double area;
  };
  std::vector<Case> cases;
  for (const Solid* s : {&kHex8Solid, &kHex20Solid}) {
    cases.push_back({s, 1, {0, 0, -1}, 0, 1});
    cases.push_back({s, 2, {0, 0, 1}, 1, 1});
    cases.push_back({s, 3, {0, -1, 0}, 0, 1});
    cases.push_back({s, 4, {1, 0, 0}, 1, 1});
    cases.push_back({s, 5, {0, 1, 0}, 1, 1});
    cases.push_back({s, 6, {-1, 0, 0}, 0, 1});
  }
  for (const Solid* s : {&kPent6Solid, &kPent15Solid}) {
    cases.push_back({s, 1, {0, 0, -1}, 0, 0.5});
    cases.push_back({s, 2, {0, 0, 1}, 1, 0.5});
    cases.push_back({s, 3, {0, -1, 0}, 0, 1});
    cases.push_back({s, 4, {kR2, kR2, 0}, kR2, std::sqrt(2.0)});
    cases.push_back({s, 5, {-1, 0, 0}, 0, 1});
  }
  cases.push_back({&kTet10Solid, 1, {0, 0, -1}, 0, 0.5});
  cases.push_back({&kTet10Solid, 2, {0, -1, 0}, 0, 0.5});
  cases.push_back({&kTet10Solid, 3, {kR3, kR3, kR3}, kR3, std::sqrt(3.0) / 2});
  cases.push_back({&kTet10Solid, 4, {-1, 0, 0}, 0, 0.5});
  for (const Case& c : cases) {
    const std::string what = c.solid->name + " face " + std::to_string(c.code);
    const auto pe = face_load(*c.solid, c.code, std::vector<float>(8, 1.0f));
    test::expect_v3(test::resultant(pe, 3), test::scale3(c.n, -c.area), 1e-12, what);
    const auto x = c.solid->nodes();
    for (std::size_t k = 0; k < x.size(); ++k)
      if (std::abs(test::dot3(c.n, x[k]) - c.offset) > 1e-9)
        test::expect_v3(test::node_force(pe, 3, static_cast<int>(k + 1)), {0, 0, 0}, 0.0, what + " off-face node");
  }
}

TEST(FaceLoad, LinearPressureGivesTheResultantAndFirstMomentsOfTheLoad) {
  // p = 1 + u on a face in the (u, v) plane: unit square: integrals of p, p u,
  // p v = 3/2, 5/6, 3/4; right triangle u, v >= 0, u + v <= 1: 2/3, 1/4, 5/24.
  struct Case {
    const Solid* solid;
    word code;
    std::vector<int> value_nodes;  // the node of each value in entry order
    V3 n;                          // outward unit normal
    int u, v;                      // global axes of the face coordinates
    bool triangle;
  };
  const std::vector<Case> cases{
      {&kHex8Solid, 2, {5, 6, 8, 7}, {0, 0, 1}, 0, 1, false},
      {&kHex20Solid, 3, {1, 2, 3, 10, 15, 14, 13, 9}, {0, -1, 0}, 0, 2, false},
      {&kPent6Solid, 1, {2, 1, 3}, {0, 0, -1}, 0, 1, true},
      {&kPent6Solid, 5, {3, 1, 6, 4}, {-1, 0, 0}, 1, 2, false},
      {&kPent15Solid, 2, {10, 11, 12, 14, 15, 13}, {0, 0, 1}, 0, 1, true},
      {&kPent15Solid, 3, {1, 2, 3, 8, 12, 11, 10, 7}, {0, -1, 0}, 0, 2, false},
      {&kTet10Solid, 1, {3, 2, 1, 4, 6, 5}, {0, 0, -1}, 0, 1, true},
      {&kTet10Solid, 4, {6, 4, 1, 7, 10, 9}, {-1, 0, 0}, 1, 2, true},
  };
  for (const Case& c : cases) {
    const std::string what = c.solid->name + " face " + std::to_string(c.code);
    const auto x = c.solid->nodes();
    std::vector<float> values;
    for (int node : c.value_nodes) values.push_back(static_cast<float>(1.0 + x[node - 1][c.u]));
    const auto pe = face_load(*c.solid, c.code, values);
    const double ip = c.triangle ? 2.0 / 3 : 1.5, ipu = c.triangle ? 0.25 : 5.0 / 6, ipv = c.triangle ? 5.0 / 24 : 0.75;
    V3 mu{}, mv{};
    for (std::size_t k = 0; k < x.size(); ++k) {
      const V3 f = test::node_force(pe, 3, static_cast<int>(k + 1));
      mu = test::add3(mu, test::scale3(f, x[k][c.u]));
      mv = test::add3(mv, test::scale3(f, x[k][c.v]));
    }
    test::expect_v3(test::resultant(pe, 3), test::scale3(c.n, -ip), 1e-12, what + " resultant");
    test::expect_v3(mu, test::scale3(c.n, -ipu), 1e-12, what + " moment u");
    test::expect_v3(mv, test::scale3(c.n, -ipv), 1e-12, what + " moment v");
  }
}

TEST(FaceLoad, SharesOfUniformPressureOnQuadraticFaces) {
  // 8-node square face: corners -1/12 and mid-sides 1/3 of the face load;
  // 6-node triangle: corners 0 and mid-sides 1/3.
  const auto hex = face_load(kHex20Solid, 2, std::vector<float>(8, 1.0f));
  for (int k : {13, 15, 18, 20}) EXPECT_NEAR(test::node_force(hex, 3, k)[2], 1.0 / 12, 1e-12) << k;
  for (int k : {14, 16, 17, 19}) EXPECT_NEAR(test::node_force(hex, 3, k)[2], -1.0 / 3, 1e-12) << k;
  const auto tet = face_load(kTet10Solid, 1, std::vector<float>(6, 1.0f));
  for (int k : {1, 3, 6}) EXPECT_NEAR(test::node_force(tet, 3, k)[2], 0.0, 1e-12) << k;
  for (int k : {2, 4, 5}) EXPECT_NEAR(test::node_force(tet, 3, k)[2], 0.5 / 3, 1e-12) << k;
}

TEST(FaceLoad, UnitCubeTopAndBottomPressure) {
  const auto top = face_load(kHex8Solid, 2, {1, 1, 1, 1});
  const auto bottom = face_load(kHex8Solid, 1, {1, 1, 1, 1});
  for (int k = 1; k <= 4; ++k) {
    test::expect_v3(test::node_force(bottom, 3, k), {0, 0, 0.25}, 1e-12, "bottom");
    test::expect_v3(test::node_force(top, 3, k + 4), {0, 0, -0.25}, 1e-12, "top");
  }
}

TEST(FaceLoad, PressureValuesGoRoundTheFaceWhileDirectionalValuesFollowTheTable) {
  // Face 1 (bottom) with values 1-4 at nodes 3, 4, 2, 1: F_k = integral of
  // N_k p = (4 p_k + 2 p_adjacent + 2 p_adjacent' + p_opposite) / 36.
  const auto pressure = face_load(kHex8Solid, 1, {1, 2, 3, 4});
  const std::array<double, 4> consistent{26.0 / 36, 25.0 / 36, 19.0 / 36, 20.0 / 36};
  for (int k = 1; k <= 4; ++k) EXPECT_NEAR(test::node_force(pressure, 3, k)[2], consistent[k - 1], 1e-12) << k;
  // Code 13: z on face 1 with values 1-4 at nodes 1-4, a quarter of the area each.
  test::ListingCapture listing;
  const auto axis = face_load(kHex8Solid, 13, {1, 2, 3, 4});
  for (int k = 1; k <= 4; ++k) test::expect_v3(test::node_force(axis, 3, k), {0, 0, 0.25 * k}, 1e-12, "code 13");
}

TEST(FaceLoad, DirectionalLoadOnTrueAndProjectedAreaOfATiltedFace) {
  test::ListingCapture listing;
  auto x = test::hex8_unit();
  const auto load = [&](word code) {
    test::load_element(kHex8, test::flat(x));
    auto pe = test::element_vector();
    PDHEX8(code, std::array<float, 4>{1, 1, 1, 1}, pe);
    return pe;
  };
  for (word code : {23, 203}) {
    const auto pe = load(code);
    for (int k = 5; k <= 8; ++k) test::expect_v3(test::node_force(pe, 3, k), {0, 0, 0.25}, 1e-12, "flat top");
  }
  x[6][2] = x[7][2] = 1.75;  // nodes 7 and 8 raised: a 1 x 1.25 rectangle tilted about x
  test::expect_v3(test::resultant(load(23), 3), {0, 0, 1.25}, 1e-12, "true area");
  test::expect_v3(test::resultant(load(21), 3), {1.25, 0, 0}, 1e-12, "true area along x");
  test::expect_v3(test::resultant(load(203), 3), {0, 0, 1.0}, 1e-12, "horizontal projection");
  test::expect_v3(test::resultant(load(202), 3), {0, 0.75, 0}, 1e-12, "projection on x-z");
}

TEST(FaceLoad, EachDirectionalCallPrintsItsFortyAreaTerms) {
  test::ListingCapture listing;
  face_load(kHex8Solid, 23, {1, 1, 1, 1});
  const auto lines = listing.lines();
  ASSERT_EQ(lines.size(), 40u);
  const std::regex ptp(R"(^     PTP  +\d+ (  -?\d\.\d{3}E[-+]\d\d){3}$)");
  for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, ptp)) << l;
  // The last term is the final M(4, 4) = integral of N4^2 over the unit face = 1/9.
  EXPECT_EQ(lines.back().substr(0, 13), "     PTP   10");
  EXPECT_EQ(lines.back().substr(lines.back().size() - 9), "1.111E-01");
}

TEST(FaceLoad, DegenerateTriangularFaceAddsNothing) {
  auto x = test::pent6_unit();
  x[2] = {2, 0, 0};  // node 3 on the line through nodes 1 and 2
  test::load_element(kPent6, test::flat(x));
  auto pe = test::element_vector();
  PDPENT6(1, std::array<float, 3>{1, 1, 1}, pe);
  EXPECT_EQ(pe, std::vector<double>(pe.size(), 0.0));
}

TEST(FaceLoadDeath, ProjectionAlongTheFaceEndsTheRun) {
  const std::string log = test::fatal_log([] { face_load(kHex8Solid, 303, {1, 1, 1, 1}); });
  EXPECT_TRUE(test::has_message(log, 8005)) << log;
  EXPECT_NE(log.find("ELEMENT ID=    4711"), std::string::npos) << log;
}

TEST(FaceLoadDeath, CodesOutsideTheFaceTablesEndTheRun) {
  const std::vector<std::pair<const Solid*, word>> cases{{&kHex8Solid, 7},  {&kHex8Solid, 64},  {&kHex8Solid, 0},
                                                         {&kHex8Solid, 604}, {&kHex20Solid, 7}, {&kPent6Solid, 6},
                                                         {&kPent15Solid, 6}, {&kTet10Solid, 5}};
  for (const auto& [solid, code] : cases) {
    const std::string log = test::fatal_log([solid, code] { face_load(*solid, code, std::vector<float>(8, 1.0f)); });
    EXPECT_TRUE(std::regex_search(log, std::regex("ELEMENT ID= *4711, TYPE= *" + std::to_string(code) + "\n")))
        << solid->name << " code " << code << "\n" << log;
    EXPECT_TRUE(test::has_message(log, 8019)) << log;
  }
}

}  // namespace
}  // namespace zephsol
