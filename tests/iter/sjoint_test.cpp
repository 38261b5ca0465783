// Joint stress routines and the joint law: a direct-shear sequence through
// stick, post-peak slip, residual slip, reversal, closure lock and
// separation as one table of increments on a JOINT8 and a JOINT4; the shear
// strengths without softening; every joint type's resultant under a uniform
// relative motion; the forces the internal-force routine reads back.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tests/elem/kfix.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/iter/sstruct.h"

namespace zephsol::test {
namespace {

// kn = 1e6, closure 1e-3 (locks below -1000), tension limit 0, ks = 1e5,
// residual c = 0 and phi = 25, slip ratio m; peak c = 10, phi = 30.
std::vector<float> joint_props(float m = 5.0f) { return {1e6f, 1e-3f, 0.0f, 1e5f, 0.0f, 0.0f, 25.0f, m}; }
Material joint_material(float c = 10.0f) { return {.extra = {{mw::C, c}, {mw::PHAI, 30.0f}}}; }

// JOINT8: a unit square face in the x-y plane (corners in the order of the
// four-node functions), the second face on it.
void joint8(float m = 5.0f, float c = 10.0f) {
  make_element(19, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, joint_props(m),
               joint_material(c));
}
// JOINT4: the line from (0, 0) to (2, 0); nodes 4 and 3 opposite 1 and 2.
void joint4(float m = 5.0f, float c = 10.0f) {
  make_element(14, {0, 0, 2, 0, 2, 0, 0, 0}, joint_props(m), joint_material(c));
}

// The second face moved by dn along the joint's normal and ds along its first shear axis.
std::vector<double> relative_motion(double dn, double ds) {
  std::vector<double> ue(static_cast<std::size_t>(ndof()), 0.0);
  if (estcom().IECOD == 14) {
    for (int node : {2, 3}) {  // nodes 3 and 4, 0-based
      ue[static_cast<std::size_t>(2 * node)] = ds;
      ue[static_cast<std::size_t>(2 * node + 1)] = dn;
    }
    return ue;
  }
  std::array<double, 9> t{};
  LAXQ4(t);
  const int face = estcom().NN / 2;
  for (int node = face; node < 2 * face; ++node)
    for (int j = 0; j < 3; ++j)  // T(a, j) at 3 j + a: axis 1 the first shear, axis 3 the normal
      ue[static_cast<std::size_t>(3 * node + j)] = ds * t[static_cast<std::size_t>(3 * j)] + dn * t[static_cast<std::size_t>(3 * j + 2)];
  return ue;
}

std::vector<double> joint_update(const std::vector<double>& ue) {
  std::vector<double> fe(ue.size(), 0.0);
  const auto f = estcom().IECOD == 14 ? SJOINT4 : SJOINT8;
  f(ue, fe);
  return fe;
}

struct Row {
  const char* what;
  double dn, ds;
  word niter;
  double tn, ts;
  word state, lock, kiter, krerun;
};

// Expected tractions from the law by hand: peak 67.735 at tn = -100, residual
// 46.631, post-peak slope -7789.3 over a slip of 4 x 67.735 / 1e5.
constexpr Row kDirectShear[] = {
    {"close", -1e-4, 0, 0, -100.0, 0.0, 2, 0, 0, 0},
    {"stick", 0, 5e-4, 0, -100.0, 50.0, 2, 0, 0, 0},
    {"past the peak", 0, 3e-4, 0, -100.0, 66.7796783, 4, 0, -1, 0},
    {"softening", 0, 1e-3, 0, -100.0, 58.990406, 4, 0, 0, 0},
    {"down to residual", 0, 3e-3, 0, -100.0, 35.6225891, 3, 0, 0, 0},
    {"small reversal", 0, -1e-6, 0, -100.0, 35.6225891, 3, 0, 0, 0},
    {"reversal", 0, -1e-3, 0, -100.0, 35.6225891, 2, 0, 0, -1},
    {"large overshoot past closure", -2e-3, 0, 0, -2100.0, 35.6225891, 2, 1, 0, -1},
    {"leaving the lock", 1.2e-6, 0, 0, -998.801086, 35.6225891, 2, 0, -1, 0},
    {"separation", 2e-3, 0, 0, 0.0, 0.0, 1, 0, -1, 0},
    {"contact in an iteration", -5e-3, 0, 1, -0.005, 0.0, 1, 0, 0, 0},
    {"contact in a first solution", 0, 0, 0, 0.0, 0.0, 2, 0, -1, 0},
};

void run_direct_shear(word points) {
  StateRecord st;
  for (const Row& r : kDirectShear) {
    SCOPED_TRACE(r.what);
    stpctr().NITER = r.niter;
    sigcom().KITER = sigcom().KRERUN = 0;
    joint_update(relative_motion(r.dn, r.ds));
    for (word p = 1; p <= points; ++p) {
      EIVGTA(p);
      const EIVWK& pt = eivwka();
      EXPECT_NEAR(pt.vec[0][0], r.tn, 1e-5 * std::max(1.0, std::fabs(r.tn))) << p;
      EXPECT_NEAR(pt.vec[0][1], r.ts, 1e-5 * std::max(1.0, std::fabs(r.ts))) << p;
      EXPECT_EQ(pt.blk.b11.iv[0], r.state) << p;
      EXPECT_EQ(pt.blk.b11.iv[1], r.lock) << p;
      EXPECT_EQ(pt.sw[10], 1);
    }
    EXPECT_EQ(sigcom().KITER, r.kiter);
    EXPECT_EQ(sigcom().KRERUN, r.krerun);
  }
}

TEST(Sjoint, DirectShearSequenceOnAQuadrilateralJoint) {
  joint8();
  run_direct_shear(5);  // the centre point follows the same law
}

TEST(Sjoint, DirectShearSequenceOnALineJoint) {
  joint4();
  run_direct_shear(3);
}

TEST(Sjoint, SlipWithoutASofteningBranch) {
  // m <= 1: slip at the peak strength; no cohesion and no normal traction:
  // no peak displacement, so slip at the residual strength, not a division by zero.
  struct Case {
    float m, c;
    double dn, ts;
  };
  for (const Case& k : {Case{1.0f, 10.0f, -1e-4, 67.7350269}, Case{5.0f, 0.0f, 0.0, 0.0}}) {
    SCOPED_TRACE(k.m);
    for (void (*make)(float, float) : {joint8, joint4}) {
      make(k.m, k.c);
      StateRecord st;
      stpctr().NITER = 0;
      joint_update(relative_motion(k.dn, 0.0));
      joint_update(relative_motion(0.0, 1e-3));
      EIVGTA(1);
      EXPECT_EQ(eivwka().blk.b11.iv[0], 3);
      EXPECT_NEAR(eivwka().vec[0][1], k.ts, 1e-5);
      // The slipping point takes the soft shear stiffness next.
      joint_update(relative_motion(0.0, 1e-3));
      EIVGTA(1);
      EXPECT_NEAR(eivwka().vec[0][1], k.ts + 0.1 * 1e-3, 1e-5);
    }
  }
}

TEST(Sjoint, UniformClosureGivesTheResultantOnEveryType) {
  // Face area A: the second face's nodes carry A tn along the normal in all,
  // the first face's the opposite; the internal force reads the same back.
  struct Case {
    word code;
    std::vector<double> xyz;
    double area;
  };
  const std::vector<Case> cases{
      {14, {0, 0, 2, 0, 2, 0, 0, 0}, 2.0},
      {18, {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 0, 1, 0}, 1.0},
      {19, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, 1.0},
      {20, {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0,
            0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0}, 2.0},
      {21, {0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 2, 1, 0, 0, 2, 0, 1, 2, 0, 2, 2, 0,
            0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 2, 1, 0, 0, 2, 0, 1, 2, 0, 2, 2, 0}, 4.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    make_element(c.code, c.xyz, joint_props(), joint_material());
    StateRecord st;
    stpctr().NITER = 0;
    std::vector<double> ue(static_cast<std::size_t>(ndof()), 0.0);
    const int dim = c.code == 14 ? 2 : 3, face = estcom().NN / 2;
    // Closing the faces: the second face moves against the normal of the joint frame.
    std::array<double, 9> t{};
    if (c.code == 14) t = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const int normal = c.code == 14 ? 1 : 2;
    if (c.code == 18) {
      double l = 0.0;
      LAXT3(t, l);
    } else if (c.code == 19) {
      LAXQ4(t);
    } else if (c.code == 20) {
      LAXT6(t);
    } else if (c.code == 21) {
      LAXQ8(t);
    }
    std::array<double, 3> n{};
    for (int j = 0; j < dim; ++j) n[static_cast<std::size_t>(j)] = c.code == 14 ? (j == 1 ? 1.0 : 0.0) : t[static_cast<std::size_t>(3 * j + normal)];
    for (int k = face; k < 2 * face; ++k)
      for (int j = 0; j < dim; ++j) ue[static_cast<std::size_t>(dim * k + j)] = -1e-4 * n[static_cast<std::size_t>(j)];
    std::vector<double> fe(ue.size(), 0.0);
    const std::array<void (*)(std::span<const double>, std::span<double>), 5> routines{SJOINT4, SJOINT6, SJOINT8,
                                                                                        SJOINT12, SJOINT16};
    routines[c.code == 14 ? 0 : static_cast<std::size_t>(c.code - 17)](ue, fe);
    for (word p = 1; p <= estcom().NPTS; ++p) {
      EIVGTA(p);
      EXPECT_NEAR(eivwka().vec[0][0], -100.0, 1e-6) << p;
    }
    for (int j = 0; j < dim; ++j) {
      double first = 0.0, second = 0.0;
      for (int k = 0; k < face; ++k) first += fe[static_cast<std::size_t>(dim * k + j)];
      for (int k = face; k < 2 * face; ++k) second += fe[static_cast<std::size_t>(dim * k + j)];
      EXPECT_NEAR(second, -100.0 * c.area * n[static_cast<std::size_t>(j)], 1e-6) << j;
      EXPECT_NEAR(first, 100.0 * c.area * n[static_cast<std::size_t>(j)], 1e-6) << j;
    }
    const std::vector<double> back = internal_force();
    for (std::size_t i = 0; i < fe.size(); ++i) EXPECT_NEAR(back[i], fe[i], 1e-6) << i;
  }
}

}  // namespace
}  // namespace zephsol::test
