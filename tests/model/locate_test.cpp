// Point location in elements: natural coordinates and shape values at known
// points, the rejections, and at random interior points of distorted
// elements the invariants sum N = 1 and sum N x = P.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/model/locate.h"

namespace zephsol::test {
namespace {

using Coords = std::vector<std::array<double, 3>>;

// Puts the nodes into the current-element record, dim words a node.
void load(const Coords& nodes, int dim) {
  estcom() = ESTCOM{};
  for (std::size_t j = 0; j < nodes.size(); ++j)
    for (int b = 0; b < dim; ++b) estcom().XYZ[j * dim + b] = static_cast<float>(nodes[j][b]);
}

struct Known {
  const char* what;
  Locator routine;
  Coords nodes;
  int dim;
  Point p;
  word flag;
  std::vector<double> s;  // natural coordinates expected (empty: not checked)
  std::vector<double> n;  // shape values expected (empty: not checked)
};

const Coords kBox{{0, 0, 0}, {2, 0, 0}, {0, 4, 0}, {2, 4, 0}, {0, 0, 6}, {2, 0, 6}, {0, 4, 6}, {2, 4, 6}};
const Coords kQuad{{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {3, 2, 0}};
const Coords kTri{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

// TET10 and PENT6 with straight edges over the unit corners: x = L2, y = L3,
// and z = L4 or zeta + 1.
Coords tet10() {
  const std::array<double, 3> c[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  auto mid = [&](int a, int b) {
    return std::array<double, 3>{(c[a][0] + c[b][0]) / 2, (c[a][1] + c[b][1]) / 2, (c[a][2] + c[b][2]) / 2};
  };
  return {c[0], mid(0, 1), c[1], mid(0, 2), mid(1, 2), c[2], mid(0, 3), mid(1, 3), mid(2, 3), c[3]};
}
const Coords kPent{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 2}, {0, 1, 2}};

TEST(PointLocation, KnownPoints) {
  const std::vector<Known> cases{
      {"HEX8 box interior", LCHEX8, kBox, 3, {0.5f, 3, 4.5f}, -1, {-0.5, 0.5, 0.5},
       {0.046875, 0.015625, 0.140625, 0.046875, 0.140625, 0.046875, 0.421875, 0.140625}},
      {"HEX8 at node 7", LCHEX8, kBox, 3, {0, 4, 6}, -1, {-1, 1, 1}, {0, 0, 0, 0, 0, 0, 1, 0}},
      {"HEX8 just inside the margin", LCHEX8, kBox, 3, {2.0005f, 2, 3}, -1, {1.0005, 0, 0}, {}},
      {"HEX8 just outside the margin", LCHEX8, kBox, 3, {2.0015f, 2, 3}, 0, {1.0015, 0, 0}, {}},
      {"HEX8 outside the bounding sphere: rejected before a correction", LCHEX8, kBox, 3, {5, 2, 3}, 0, {0, 0, 0}, {}},
      {"distorted quad", LCQPLAN4, kQuad, 2, {1.495f, 0.495f, 0}, -1, {0.3, -0.4}, {0.245, 0.455, 0.105, 0.195}},
      {"distorted quad, axisymmetric", LCQAX4, kQuad, 2, {1.495f, 0.495f, 0}, -1, {0.3, -0.4}, {}},
      {"distorted quad outside", LCQPLAN4, kQuad, 2, {2.9f, 1.0f, 0}, 0, {}, {}},
      {"distorted quad at its fourth node", LCQPLAN4, kQuad, 2, {3, 2, 0}, -1, {1, 1}, {0, 0, 0, 1}},
      {"quad numbered around: negative Jacobian", LCQPLAN4, {{0, 0, 0}, {2, 0, 0}, {3, 2, 0}, {0, 1, 0}}, 2,
       {1.0f, 0.5f, 0}, 0, {}, {}},
      {"triangle counter-clockwise", LCTPLAN3, kTri, 2, {0.2f, 0.3f, 0}, -1, {0.5, 0.2, 0.3}, {0.5, 0.2, 0.3}},
      {"triangle clockwise", LCTAX3, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, 2, {0.2f, 0.3f, 0}, 0, {}, {}},
      {"triangle, point beside it", LCTPLAN3, kTri, 2, {0.6f, 0.6f, 0}, 0, {}, {}},
      {"TET10 interior", LCTET10, tet10(), 3, {0.1f, 0.2f, 0.3f}, -1, {0.4, 0.1, 0.2, 0.3}, {}},
      {"TET10 outside the slanted face", LCTET10, tet10(), 3, {0.5f, 0.5f, 0.3f}, 0, {}, {}},
      {"PENT6 interior", LCPENT6, kPent, 3, {0.2f, 0.3f, 0.5f}, -1, {0.5, 0.2, 0.3, -0.5},
       {0.375, 0.15, 0.225, 0.125, 0.05, 0.075}},
  };
  for (const Known& c : cases) {
    SCOPED_TRACE(c.what);
    load(c.nodes, c.dim);
    word flag = 7;
    c.routine(c.p, flag);
    EXPECT_EQ(flag, c.flag);
    const PNTLOC& l = point_location();
    for (std::size_t k = 0; k < c.s.size(); ++k) EXPECT_NEAR(l.s[k], c.s[k], 1e-5) << "coordinate " << k;
    for (std::size_t k = 0; k < c.n.size(); ++k) EXPECT_NEAR(l.N[k], c.n[k], 1e-5) << "node " << k;
  }
}

TEST(PointLocation, SharedFaceIsInsideBoth) {
  Coords right = kBox;
  for (auto& x : right) x[0] += 2;
  for (const Coords* box : {&kBox, static_cast<const Coords*>(&right)}) {
    load(*box, 3);
    word flag = 0;
    LCHEX8({2, 1, 1}, flag);
    EXPECT_EQ(flag, -1);
  }
}

// ---- random interior points of distorted elements ---------------------------

struct Family {
  const char* name;
  Locator routine;
  int nodes;
  int dim;
};

// Natural coordinates of the nodes in the shape functions' order.
std::vector<std::array<double, 4>> natural_nodes(const std::string& name) {
  std::vector<std::array<double, 4>> out;
  if (name == "HEX8" || name == "HEX20" || name == "QUAD4") {
    const int d = name == "QUAD4" ? 2 : 3;
    const int total = d == 2 ? 9 : 27;
    for (int code = 0; code < total; ++code) {
      std::array<double, 4> s{code % 3 - 1.0, code / 3 % 3 - 1.0, d == 3 ? code / 9 - 1.0 : 0.0, 0};
      const int zeros = (s[0] == 0) + (s[1] == 0) + (d == 3 && s[2] == 0);
      if (name == "HEX20" ? zeros <= 1 : zeros == 0) out.push_back(s);
    }
    return out;
  }
  const std::array<double, 3> e[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  auto mid = [&](int a, int b) {
    return std::array<double, 4>{(e[a][0] + e[b][0]) / 2, (e[a][1] + e[b][1]) / 2, (e[a][2] + e[b][2]) / 2, 0};
  };
  auto corner = [&](int a, double z) { return std::array<double, 4>{e[a][0], e[a][1], e[a][2], z}; };
  if (name == "TRI3") return {corner(0, 0), corner(1, 0), corner(2, 0)};
  if (name == "PENT6")
    return {corner(0, -1), corner(1, -1), corner(2, -1), corner(0, 1), corner(1, 1), corner(2, 1)};
  if (name == "PENT15") {
    auto six = [&](double z) {
      std::vector<std::array<double, 4>> t{corner(0, z), mid(0, 1), corner(1, z), mid(0, 2), mid(1, 2), corner(2, z)};
      for (auto& s : t) s[3] = z;
      return t;
    };
    out = six(-1);
    for (int a = 0; a < 3; ++a) out.push_back(corner(a, 0));
    for (const auto& s : six(1)) out.push_back(s);
    return out;
  }
  // TET10 in volume coordinates (L1..L4).
  const std::array<double, 4> c[4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  auto m = [&](int a, int b) {
    std::array<double, 4> s{};
    for (int k = 0; k < 4; ++k) s[k] = (c[a][k] + c[b][k]) / 2;
    return s;
  };
  return {c[0], m(0, 1), c[1], m(0, 2), m(1, 2), c[2], m(0, 3), m(1, 3), m(2, 3), c[3]};
}

// Reference position of natural coordinates, and the shape values there.
std::array<double, 3> reference(const std::string& name, const std::array<double, 4>& s) {
  if (name == "TET10") return {s[1], s[2], s[3]};
  if (name == "PENT6" || name == "PENT15") return {s[1], s[2], s[3]};
  if (name == "TRI3") return {s[1], s[2], 0};
  return {s[0], s[1], s[2]};
}

std::vector<double> shape_values(const std::string& name, const std::array<double, 4>& s, int n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  if (name == "HEX8" || name == "HEX20") SHPHEX(name == "HEX8" ? 1 : 2, 0, std::span<const double>(s.data(), 3), out);
  else if (name == "QUAD4") SHPQUA(1, 0, std::span<const double>(s.data(), 2), out);
  else if (name == "PENT6" || name == "PENT15") SHPPEN(name == "PENT6" ? 1 : 2, 0, s, out);
  else if (name == "TET10") SHPTET(2, 0, s, out);
  else out = {s[0], s[1], s[2]};
  return out;
}

TEST(PointLocation, RandomInteriorPointsReproduceThemselves) {
  const Family families[] = {{"HEX8", LCHEX8, 8, 3},      {"HEX20", LCHEX20, 20, 3}, {"PENT6", LCPENT6, 6, 3},
                             {"PENT15", LCPENT15, 15, 3}, {"TET10", LCTET10, 10, 3}, {"QUAD4", LCQAX4, 4, 2},
                             {"TRI3", LCTPLAN3, 3, 2}};
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (const Family& f : families) {
    SCOPED_TRACE(f.name);
    const auto nat = natural_nodes(f.name);
    ASSERT_EQ(static_cast<int>(nat.size()), f.nodes);
    for (int trial = 0; trial < 40; ++trial) {
      // A stretched, sheared element with its nodes moved a little.
      const double a[3][3] = {{3.0, 0.4, 0.2}, {-0.3, 2.0, 0.1}, {0.2, -0.1, 1.5}};
      Coords nodes;
      for (const auto& s : nat) {
        const auto r = reference(f.name, s);
        std::array<double, 3> x{};
        for (int i = 0; i < f.dim; ++i) {
          for (int k = 0; k < f.dim; ++k) x[i] += a[i][k] * r[k];
          x[i] += 10.0 + 0.08 * (u(rng) - 0.5);
        }
        nodes.push_back(x);
      }
      // A random point well inside the reference domain.
      std::array<double, 4> s{};
      if (f.name == std::string("HEX8") || f.name == std::string("HEX20") || f.name == std::string("QUAD4")) {
        for (int k = 0; k < 3; ++k) s[k] = 1.6 * u(rng) - 0.8;
      } else {
        double l[4] = {0.1 + u(rng), 0.1 + u(rng), 0.1 + u(rng), 0.1 + u(rng)};
        const int simplex = f.name == std::string("TET10") ? 4 : 3;
        double sum = 0;
        for (int k = 0; k < simplex; ++k) sum += l[k];
        for (int k = 0; k < simplex; ++k) s[k] = l[k] / sum;
        if (simplex == 3 && f.dim == 3) s[3] = 1.6 * u(rng) - 0.8;
      }
      const auto n = shape_values(f.name, s, f.nodes);
      Point p{};
      for (int b = 0; b < f.dim; ++b) {
        double x = 0;
        for (int j = 0; j < f.nodes; ++j) x += n[j] * nodes[j][b];
        p[b] = static_cast<float>(x);
      }
      load(nodes, f.dim);
      word flag = 0;
      f.routine(p, flag);
      ASSERT_EQ(flag, -1) << "trial " << trial;
      const PNTLOC& l = point_location();
      double sum = 0;
      std::array<double, 3> x{};
      for (int j = 0; j < f.nodes; ++j) {
        sum += l.N[j];
        for (int b = 0; b < f.dim; ++b) x[b] += l.N[j] * estcom().XYZ[j * f.dim + b];
      }
      EXPECT_NEAR(sum, 1.0, 1e-6);  // the triangles work in single precision
      for (int b = 0; b < f.dim; ++b) EXPECT_NEAR(x[b], p[b], 1e-4) << "trial " << trial << " axis " << b;
    }
  }
}

}  // namespace
}  // namespace zephsol::test
