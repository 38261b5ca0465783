// Joint strain-displacement matrices: relative displacements of the second
// face against the first, in the joint's own axes, on faces placed anywhere
// in space; the face area factor; the coefficients at node positions; a face
// numbered clockwise in its own axes.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "zephsol/elem/bjoint.h"
#include "zephsol/elem/laxes.h"

namespace zephsol {
namespace {

using test::M3;
using test::V3;

constexpr word kJoint4 = 14, kJoint6 = 18, kJoint8 = 19, kJoint12 = 20, kJoint16 = 21;

struct JointCase {
  const char* name;
  word iecod;
  std::vector<std::array<double, 2>> face;  // first-face layout in its plane
  bool tri;                                  // area coordinates (else xi, eta)
  std::function<void(std::span<double, 9>)> axes;
  // B at a point; detj < 0 when the routine gives none.
  std::function<void(std::span<const double>, std::span<const double>, std::span<double>, double&)> bmat;
  double area_factor;  // DETJ on the undistorted unit layout
};

std::vector<JointCase> joint_cases() {
  const auto laxt3 = [](std::span<double, 9> t) {
    double l;
    LAXT3(t, l);
  };
  return {
      {"JOINT6", kJoint6, {{0, 0}, {1, 0}, {0, 1}}, true, laxt3,
       [](auto pt, auto, auto b, double& d) {
         d = -1;
         BJOINT6(pt, b);
       },
       -1},
      {"JOINT8", kJoint8, {{0, 0}, {1, 0}, {0, 1}, {1, 1}}, false, LAXQ4,
       [](auto pt, auto xl, auto b, double& d) { BJOINT8(pt, xl, b, d); }, 0.25},
      {"JOINT12", kJoint12, {{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {.5, .5}, {0, 1}}, true, LAXT6,
       [](auto pt, auto xl, auto b, double& d) { BJOINT12(pt, xl, b, d); }, 1.0},
      {"JOINT16", kJoint16, {{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {1, .5}, {0, 1}, {.5, 1}, {1, 1}}, false, LAXQ8,
       [](auto pt, auto xl, auto b, double& d) { BJOINT16(pt, xl, b, d); }, 0.25},
  };
}

std::vector<double> random_face_point(bool tri, std::mt19937& rng) {
  std::uniform_real_distribution<double> s(-0.95, 0.95), l(0.02, 0.96);
  if (!tri) return {s(rng), s(rng)};
  double l2, l3;
  do {
    l2 = l(rng);
    l3 = l(rng);
  } while (l2 + l3 > 0.98);
  return {1 - l2 - l3, l2, l3};
}

// Places the joint with both faces on the rotated, distorted layout (zero
// thickness) and returns its nodes, its frame and the first face's xl.
struct Placed {
  std::vector<V3> x;
  std::array<double, 9> t{};
  std::vector<double> xl;
};
Placed place(const JointCase& c, std::mt19937& rng, double amp) {
  std::uniform_real_distribution<double> d(-amp, amp), s(-3, 3);
  const M3 q = test::random_rotation(rng);
  const V3 shift{s(rng), s(rng), s(rng)};
  Placed p;
  for (const auto& f : c.face) {
    const V3 g = test::apply(q, {f[0] + d(rng), f[1] + d(rng), 0.0});
    p.x.push_back({test::f32(g[0] + shift[0]), test::f32(g[1] + shift[1]), test::f32(g[2] + shift[2])});
  }
  const int m = static_cast<int>(c.face.size());
  for (int k = 0; k < m; ++k) p.x.push_back(p.x[k]);
  test::set_element(c.iecod, test::flat(p.x));
  c.axes(p.t);
  p.xl.resize(2 * m);
  plane_coords(p.t, m, p.xl);
  return p;
}

// Local nodal DOFs T u of global nodal displacements.
std::vector<double> to_local(const std::array<double, 9>& t, const std::vector<V3>& u) {
  const M3 r = test::triad_rows(t);
  std::vector<double> out;
  for (const V3& v : u)
    for (int a = 0; a < 3; ++a) out.push_back(r[a][0] * v[0] + r[a][1] * v[1] + r[a][2] * v[2]);
  return out;
}

std::vector<double> apply_b(const std::vector<double>& b, int ns, const std::vector<double>& u) {
  std::vector<double> e(ns, 0.0);
  for (int c = 0; c < ns; ++c)
    for (std::size_t j = 0; j < u.size(); ++j) e[c] += b[c * u.size() + j] * u[j];
  return e;
}

TEST(JointStrainDisplacement, RigidMotionsGiveNothingAndFaceSeparationsGiveTheirComponents) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> u(-1, 1);
  for (const JointCase& c : joint_cases()) {
    for (int element = 0; element < 3; ++element) {
      const Placed p = place(c, rng, 0.1);
      const int m = static_cast<int>(c.face.size()), n = 6 * m;
      const M3 axes = test::triad_rows(p.t);
      // A rigid motion of the whole joint, and the second face moved by a unit
      // step along each local axis: normal, first, second.
      const V3 a{u(rng), u(rng), u(rng)}, w{u(rng), u(rng), u(rng)};
      std::vector<std::pair<std::vector<V3>, std::vector<double>>> motions;
      std::vector<V3> rigid;
      for (const V3& x : p.x) {
        const V3 wx{w[1] * x[2] - w[2] * x[1], w[2] * x[0] - w[0] * x[2], w[0] * x[1] - w[1] * x[0]};
        rigid.push_back({a[0] + wx[0], a[1] + wx[1], a[2] + wx[2]});
      }
      motions.push_back({rigid, {0, 0, 0}});
      for (const auto& [axis, want] : {std::pair{2, std::vector<double>{1, 0, 0}},
                                       std::pair{0, std::vector<double>{0, 1, 0}},
                                       std::pair{1, std::vector<double>{0, 0, 1}}}) {
        std::vector<V3> step(2 * m, V3{0, 0, 0});
        for (int k = m; k < 2 * m; ++k) step[k] = axes[axis];
        motions.push_back({step, want});
      }
      for (int pt = 0; pt < 4; ++pt) {
        std::vector<double> b(3 * n, 99.0);
        double detj = 0;
        c.bmat(random_face_point(c.tri, rng), p.xl, b, detj);
        if (c.area_factor > 0) {
          EXPECT_GT(detj, 0.0) << c.name;
        }
        for (const auto& [motion, want] : motions) {
          const auto got = apply_b(b, 3, to_local(p.t, motion));
          for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], want[k], 1e-10) << c.name << " component " << k;
        }
      }
    }
    EXPECT_EQ(test::deferred_count(), 0) << c.name;
  }
}

TEST(JointStrainDisplacement, FaceAreaFactorAndNodeCoefficients) {
  std::mt19937 rng(2);
  for (const JointCase& c : joint_cases()) {
    if (c.area_factor < 0) continue;
    const Placed p = place(c, rng, 0.0);  // undistorted unit layout
    std::vector<double> b(18 * c.face.size());
    double detj = 0;
    c.bmat(random_face_point(c.tri, rng), p.xl, b, detj);
    EXPECT_NEAR(detj, c.area_factor, 1e-6) << c.name;
  }
  // JOINT16 at the natural position of mid-side node 2, (0, -1): only node 2
  // (-1) and its partner 10 (+1) carry a coefficient in each component.
  const JointCase c = joint_cases()[3];
  const Placed p = place(c, rng, 0.0);
  std::vector<double> b(144, 99.0);
  double detj = 0;
  BJOINT16(std::array<double, 2>{0, -1}, p.xl, b, detj);
  const int dof[3] = {2, 0, 1};
  for (int comp = 0; comp < 3; ++comp)
    for (int j = 0; j < 48; ++j) {
      const double want = j == 3 * 1 + dof[comp] ? -1.0 : j == 3 * 9 + dof[comp] ? 1.0 : 0.0;
      EXPECT_NEAR(b[comp * 48 + j], want, 1e-15) << "component " << comp << " DOF " << j;
    }
}

TEST(JointStrainDisplacement, LineJointRelativeDisplacements) {
  // Nodes 1, 2 on the first line; 4 opposite 1, 3 opposite 2 (zero thickness).
  // Local DOFs u (along), v (normal) per node.
  test::set_element(kJoint4, {0, 0, 2, 0, 2, 0, 0, 0});
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1, 1), s(-1, 1);
  const std::array<double, 2> x[4] = {{0, 0}, {2, 0}, {2, 0}, {0, 0}};
  for (int pt = 0; pt < 4; ++pt) {
    const double xi = s(rng);
    std::vector<double> b(16, 99.0);
    BJOINT4(xi, 2.0, b);
    const double a0 = u(rng), a1 = u(rng), w = u(rng);
    std::vector<double> rigid, open, slide;
    for (int k = 0; k < 4; ++k) {
      rigid.insert(rigid.end(), {a0 - w * x[k][1], a1 + w * x[k][0]});
      open.insert(open.end(), {0.0, k >= 2 ? 1.0 : 0.0});
      slide.insert(slide.end(), {k >= 2 ? 1.0 : 0.0, 0.0});
    }
    for (const auto& [field, want] : {std::pair{rigid, std::array<double, 2>{0, 0}},
                                      std::pair{open, std::array<double, 2>{1, 0}},
                                      std::pair{slide, std::array<double, 2>{0, 1}}}) {
      const auto got = apply_b(b, 2, field);
      EXPECT_NEAR(got[0], want[0], 1e-14);
      EXPECT_NEAR(got[1], want[1], 1e-14);
    }
  }
  // At xi = -1 only nodes 1 and 4 carry coefficients.
  std::vector<double> b(16, 99.0);
  BJOINT4(-1.0, 2.0, b);
  EXPECT_EQ(b, (std::vector<double>{0, -1, 0, 0, 0, 0, 0, 1, -1, 0, 0, 0, 0, 0, 1, 0}));
}

TEST(JointStrainDisplacement, ClockwiseFaceQueuesOneDeferredMessagePerCall) {
  // The first face numbered clockwise in its own axes.
  const std::vector<double> xl{0, 0, -1, 0, 0, 1, -1, 1};
  test::set_element(kJoint8, {});
  for (int call = 1; call <= 3; ++call) {
    std::vector<double> b(72, 99.0);
    double detj = 0;
    BJOINT8(std::array<double, 2>{0.2, -0.3}, xl, b, detj);
    EXPECT_LT(detj, 0.0);
    EXPECT_EQ(test::deferred_count(), call);
    EXPECT_EQ(b, std::vector<double>(72, 0.0));
  }
  EXPECT_EQ(sysw().IERFLG, 1);
  // A triangular face given clockwise.
  const std::vector<double> xl6{0, 0, .5, 0, 1, 0, 0, -.5, .5, -.5, 0, -1};
  std::vector<double> b(108, 99.0);
  double detj = 0;
  BJOINT12(std::array<double, 3>{0.2, 0.3, 0.5}, xl6, b, detj);
  EXPECT_EQ(test::deferred_count(), 4);
}

}  // namespace
}  // namespace zephsol
