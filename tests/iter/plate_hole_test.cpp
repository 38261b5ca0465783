// A circular hole of radius a in a plate under a remote tension s along x
// (plane strain), through the whole analysis: a quarter of the plate, 20 a
// square, on symmetry rollers, pulled by nodal forces of the uniform stress s
// on its right edge. The element stresses at the element centres near the
// hole follow the closed form of the infinite plate,
//   sx = s [1 - a^2/r^2 (3/2 cos 2t + cos 4t) + 3/2 a^4/r^4 cos 4t]
//   sy = s [  - a^2/r^2 (1/2 cos 2t - cos 4t) - 3/2 a^4/r^4 cos 4t]
//   txy = s [ - a^2/r^2 (1/2 sin 2t + sin 4t) + 3/2 a^4/r^4 sin 4t],
// and sx extrapolated to the top of the hole is 3 s.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "common/deck.h"
#include "support/gridmesh.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

constexpr double kA = 1.0, kB = 20.0, kS = 1.0;
constexpr int kRadial = 24, kHalfTurn = 12;  // divisions: radial, and per 45 degrees
constexpr int kAngular = 2 * kHalfTurn;

// Node (i, k): on the ray of angle t_k between the hole and the square's
// edge, graded geometrically towards the hole.
P2 node_xy(int i, int k) {
  const double t = std::numbers::pi / 2 * k / kAngular;
  const P2 inner{kA * std::cos(t), kA * std::sin(t)};
  const P2 outer = k <= kHalfTurn ? P2{kB, kB * std::tan(t)} : P2{kB / std::tan(t), kB};
  constexpr double ratio = 1.15;
  const double s = (std::pow(ratio, i) - 1.0) / (std::pow(ratio, kRadial) - 1.0);
  return {inner[0] + s * (outer[0] - inner[0]), inner[1] + s * (outer[1] - inner[1])};
}

const GridMesh kMesh{kRadial, kAngular, node_xy};

int node_id(int i, int k) { return kMesh.node_id(i, k); }
int element_id(int i, int k) { return kMesh.element_id(i, k); }

std::string plate_deck() {
  std::string b = kMesh.cards();
  // Rollers: y = 0 (k = 0) held in y, x = 0 (k = kAngular) held in x.
  b += "CONST\n" + card({"", std::to_string(node_id(0, 0)), std::to_string(node_id(kRadial, 0)), "", "", "2"}) + "\n" +
       card({"", std::to_string(node_id(0, kAngular)), std::to_string(node_id(kRadial, kAngular)), "", "", "1"}) + "\n";
  // The right edge x = b (i = kRadial, k = 0 .. kHalfTurn): s times half of
  // each adjacent edge's length.
  b += "NLOAD\n" + card({"1"}) + "\n";
  for (int k = 0; k <= kHalfTurn; ++k) {
    double length = 0.0;
    if (k > 0) length += node_xy(kRadial, k)[1] - node_xy(kRadial, k - 1)[1];
    if (k < kHalfTurn) length += node_xy(kRadial, k + 1)[1] - node_xy(kRadial, k)[1];
    b += card({"", std::to_string(node_id(kRadial, k)), "", "", "", "1", "1", field8(kS * length / 2.0)}) + "\n";
  }
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n";
  return bulk_deck(b);
}

std::array<double, 3> kirsch(const P2& p) {
  const double r = std::hypot(p[0], p[1]), t = std::atan2(p[1], p[0]);
  const double q2 = kA * kA / (r * r), q4 = q2 * q2;
  return {kS * (1 - q2 * (1.5 * std::cos(2 * t) + std::cos(4 * t)) + 1.5 * q4 * std::cos(4 * t)),
          kS * (-q2 * (0.5 * std::cos(2 * t) - std::cos(4 * t)) - 1.5 * q4 * std::cos(4 * t)),
          kS * (-q2 * (0.5 * std::sin(2 * t) + std::sin(4 * t)) + 1.5 * q4 * std::sin(4 * t))};
}

struct Centre {
  P2 xy;
  std::array<double, 6> stress;
};

// Every element's centre point, in element order.
std::vector<Centre> centres() {
  const auto stresses = centre_stresses(kAngular * kRadial);
  std::vector<Centre> out;
  for (int k = 0; k < kAngular; ++k)
    for (int i = 0; i < kRadial; ++i)
      out.push_back({kMesh.centre(i, k), stresses[static_cast<std::size_t>(element_id(i, k) - 1)]});
  return out;
}

TEST(PlateWithHole, StressesNearTheHoleFollowTheClosedForm) {
  DeckRun run(plate_deck());
  run.analysis();
  ASSERT_EQ(sysw().IERFLG, 0);
  const std::vector<Centre> c = centres();
  // The two inner rings, every angle: within 2 % of the concentration 3 s.
  for (int k = 0; k < kAngular; ++k)
    for (int i = 0; i < 2; ++i) {
      const Centre& e = c[static_cast<std::size_t>(element_id(i, k) - 1)];
      const auto want = kirsch(e.xy);
      EXPECT_NEAR(e.stress[0], want[0], 0.02 * 3 * kS) << "element " << element_id(i, k);
      EXPECT_NEAR(e.stress[1], want[1], 0.02 * 3 * kS) << "element " << element_id(i, k);
      EXPECT_NEAR(e.stress[3], want[2], 0.02 * 3 * kS) << "element " << element_id(i, k);
    }
  // sx at the top of the hole, extrapolated along the radius by the
  // parabola through the centres of the first three elements of the last
  // sector: 3 s within 2 %.
  std::array<double, 3> r{}, sx{};
  for (int i = 0; i < 3; ++i) {
    const Centre& e = c[static_cast<std::size_t>(element_id(i, kAngular - 1) - 1)];
    r[static_cast<std::size_t>(i)] = std::hypot(e.xy[0], e.xy[1]);
    sx[static_cast<std::size_t>(i)] = e.stress[0];
  }
  double at_hole = 0.0;
  for (std::size_t i = 0; i < 3; ++i) {
    double w = 1.0;
    for (std::size_t j = 0; j < 3; ++j)
      if (j != i) w *= (kA - r[j]) / (r[i] - r[j]);
    at_hole += w * sx[i];
  }
  EXPECT_NEAR(at_hole, 3.0 * kS, 0.02 * 3.0 * kS);
}

}  // namespace
}  // namespace zephsol::test
