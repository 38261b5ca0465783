// A line load P on the surface of a half-plane (plane strain), through the
// whole analysis. The closed form is a purely radial stress
//   s_r = -2 P cos(t) / (pi r),
// t measured from the downward vertical. The model is the half-ring
// r0 <= r <= R below the load: on its inner arc the load enters as the
// traction of that field (its resultant is P downwards), on its outer arc the
// field's traction holds it, and the surface is free. Three supports take
// the rigid motions only. Element stresses at the element centres between
// the arcs follow the closed form.
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

constexpr double kP = 10.0, kInner = 0.5, kOuter = 20.0;
constexpr int kRadial = 24, kAngular = 24;  // divisions over the radius and the half turn
constexpr double kPi = std::numbers::pi;

double radius(int i) { return kInner * std::pow(kOuter / kInner, static_cast<double>(i) / kRadial); }
// Angle from the downward vertical, -pi/2 (left surface) to pi/2 (right).
double angle(int k) { return -kPi / 2 + kPi * k / kAngular; }
P2 node_xy(int i, int k) { return {radius(i) * std::sin(angle(k)), -radius(i) * std::cos(angle(k))}; }

const GridMesh kMesh{kRadial, kAngular, node_xy};

int node_id(int i, int k) { return kMesh.node_id(i, k); }
int element_id(int i, int k) { return kMesh.element_id(i, k); }

// The closed-form stress (sx, sy, txy) at a point.
std::array<double, 3> flamant(const P2& p) {
  const double r = std::hypot(p[0], p[1]);
  const double s = p[0] / r, c = -p[1] / r;  // sin t, cos t
  const double sr = -2.0 * kP * c / (kPi * r);
  return {sr * s * s, sr * c * c, -sr * s * c};
}

// Traction of the closed-form field on a face with outward normal n.
P2 traction(const P2& p, const P2& n) {
  const auto s = flamant(p);
  return {s[0] * n[0] + s[2] * n[1], s[2] * n[0] + s[1] * n[1]};
}

// Consistent nodal forces of the field's traction on the straight edge
// p-q (three-point Gauss rule) added to the forces of both nodes; the
// normal points away from the ring (sign -1 on the inner arc).
void edge_forces(const P2& p, const P2& q, double sign, P2& fp, P2& fq) {
  const P2 mid{(p[0] + q[0]) / 2, (p[1] + q[1]) / 2};
  const double r = std::hypot(mid[0], mid[1]);
  const P2 n{sign * mid[0] / r, sign * mid[1] / r};
  const double length = std::hypot(q[0] - p[0], q[1] - p[1]);
  const double g[3] = {-std::sqrt(0.6), 0.0, std::sqrt(0.6)}, w[3] = {5.0 / 9, 8.0 / 9, 5.0 / 9};
  for (int j = 0; j < 3; ++j) {
    const double xi = g[j], np = (1 - xi) / 2, nq = (1 + xi) / 2;
    const P2 x{np * p[0] + nq * q[0], np * p[1] + nq * q[1]};
    const P2 t = traction(x, n);
    for (int c = 0; c < 2; ++c) {
      fp[static_cast<std::size_t>(c)] += w[j] * length / 2 * np * t[static_cast<std::size_t>(c)];
      fq[static_cast<std::size_t>(c)] += w[j] * length / 2 * nq * t[static_cast<std::size_t>(c)];
    }
  }
}

std::string half_plane_deck() {
  std::string b = kMesh.cards();
  // The arcs' forces, node by node.
  std::vector<P2> inner(kAngular + 1, P2{0, 0}), outer(kAngular + 1, P2{0, 0});
  for (int k = 0; k < kAngular; ++k) {
    edge_forces(node_xy(0, k), node_xy(0, k + 1), -1.0, inner[static_cast<std::size_t>(k)], inner[static_cast<std::size_t>(k + 1)]);
    edge_forces(node_xy(kRadial, k), node_xy(kRadial, k + 1), 1.0, outer[static_cast<std::size_t>(k)],
                outer[static_cast<std::size_t>(k + 1)]);
  }
  b += "NLOAD\n" + card({"1"}) + "\n";
  for (int k = 0; k <= kAngular; ++k) {
    const auto& fi = inner[static_cast<std::size_t>(k)];
    const auto& fo = outer[static_cast<std::size_t>(k)];
    b += card({"", std::to_string(node_id(0, k)), "", "", "", "1", "2", field8(fi[0]), field8(fi[1])}) + "\n";
    b += card({"", std::to_string(node_id(kRadial, k)), "", "", "", "1", "2", field8(fo[0]), field8(fo[1])}) + "\n";
  }
  // The rigid motions: the bottom of the outer arc held in x and y, the
  // bottom of the inner arc in x.
  b += "CONST\n" + card({"", std::to_string(node_id(kRadial, kAngular / 2)), "", "", "", "1", "2"}) + "\n" +
       card({"", std::to_string(node_id(0, kAngular / 2)), "", "", "", "1"}) + "\n";
  b += "HISTORY\n" + card({"INTERVAL", "1"}) + "\n" + card({"", "NLOA", "1", "1.0"}) + "\n";
  return bulk_deck(b);
}

TEST(HalfPlane, LineLoadGivesTheRadialStressField) {
  DeckRun run(half_plane_deck());
  run.analysis();
  ASSERT_EQ(sysw().IERFLG, 0);
  const auto stresses = centre_stresses(kAngular * kRadial);
  int checked = 0;
  for (int k = 0; k < kAngular; ++k)
    for (int i = 2; i < kRadial - 2; ++i) {  // away from the loaded arcs
      const auto& s = stresses[static_cast<std::size_t>(element_id(i, k) - 1)];
      const P2 c = kMesh.centre(i, k);
      const double r = std::hypot(c[0], c[1]);
      // Within 2 % of the largest radial stress at that radius.
      const auto want = flamant(c);
      const double scale = 2.0 * kP / (kPi * r);
      EXPECT_NEAR(s[0], want[0], 0.02 * scale) << "element " << element_id(i, k);
      EXPECT_NEAR(s[1], want[1], 0.02 * scale) << "element " << element_id(i, k);
      EXPECT_NEAR(s[3], want[2], 0.02 * scale) << "element " << element_id(i, k);
      ++checked;
    }
  EXPECT_EQ(checked, kAngular * (kRadial - 4));
}

}  // namespace
}  // namespace zephsol::test
