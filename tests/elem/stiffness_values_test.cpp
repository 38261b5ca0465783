// Stiffness values of the integrated elements against hand calculations and
// beam theory, the order of the integration points against the state points,
// the elastic-matrix recomputation at points with the tension cut-off mark,
// the shell's drilling and bending terms, and the geometry errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "kfix.h"
#include "common/fatal.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> unit_cube() {
  std::vector<double> x;
  for (int k = 0; k < 8; ++k) x.insert(x.end(), {double(k & 1), double((k >> 1) & 1), double((k >> 2) & 1)});
  return x;
}

// The 20 nodes of the unit cube in the element node order: 8 per end face
// (corners and mid-sides, the first coordinate fastest), the 4 mid-height corners.
std::vector<double> unit_cube20() {
  const double q8[8][2] = {{0, 0}, {0.5, 0}, {1, 0}, {0, 0.5}, {1, 0.5}, {0, 1}, {0.5, 1}, {1, 1}};
  const double q4[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  std::vector<double> x;
  for (const auto& p : q8) x.insert(x.end(), {p[0], p[1], 0.0});
  for (const auto& p : q4) x.insert(x.end(), {p[0], p[1], 0.5});
  for (const auto& p : q8) x.insert(x.end(), {p[0], p[1], 1.0});
  return x;
}

// Deferred geometry messages of element 4711 queued so far.
int deferred_geometry() {
  const MSGQUE& q = exec_state().msgque;
  int n = 0;
  for (int i = 0; i < q.count && i < 20; ++i) n += q.entry[static_cast<std::size_t>(i)][0] == -8001 && q.entry[static_cast<std::size_t>(i)][1] == 4711;
  return n;
}

// ---- Reference values (E = 1, nu = 0.3) -------------------------------------------------

struct Value {
  const char* what;
  word iecod;
  std::vector<double> xyz;
  std::vector<float> props;
  int i, j;
  double k;
};

TEST(StiffnessValues, HandCalculatedTerms) {
  const std::vector<float> joint{1.0f, 0.0f, 0.0f, 0.5f};
  const std::vector<double> square8{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  const Value values[] = {
      {"HEX8", 1, unit_cube(), {}, 1, 1, 0.2136752137},
      {"HEX8", 1, unit_cube(), {}, 1, 2, 0.0801282051},
      {"HEX8R", 27, unit_cube(), {}, 1, 1, 0.1945334758},
      {"HEX8R", 27, unit_cube(), {}, 1, 2, 0.0627670940},
      {"HEX20, 27 points", 15, unit_cube20(), {}, 1, 1, 0.3839031339},
      // Plane strain square: ((1 - nu) a + G) / 3 and the coupling term.
      {"QPLAN4", 11, {0, 0, 1, 0, 0, 1, 1, 1}, {}, 1, 1, 0.5769230769},
      {"QPLAN4", 11, {0, 0, 1, 0, 0, 1, 1, 1}, {}, 1, 2, 0.2403846154},
      {"QAX4, r in [1, 2]", 3, {1, 0, 2, 0, 1, 1, 2, 1}, {}, 1, 1, 4.6860541307},
      {"QAX4R, r in [1, 2]", 28, {1, 0, 2, 0, 1, 1, 2, 1}, {}, 1, 1, 5 * kPi / 4},
      // Joint of a unit square face, kn = 1: normal terms kn / 9, / 18, / 36 and across the joint -kn / 9.
      {"JOINT8 w1 w1", 19, square8, joint, 3, 3, 1.0 / 9},
      {"JOINT8 w1 w2", 19, square8, joint, 3, 6, 1.0 / 18},
      {"JOINT8 w1 w4", 19, square8, joint, 3, 12, 1.0 / 36},
      {"JOINT8 w1 w5", 19, square8, joint, 3, 15, -1.0 / 9},
      {"JOINT8 u1 u1", 19, square8, joint, 1, 1, 0.5 / 9},
      // Line joint of length 2: kn L / 6 [2 1; 1 2] between the faces.
      {"JOINT4 v1 v1", 14, {0, 0, 2, 0, 2, 0, 0, 0}, joint, 2, 2, 2.0 / 3},
      {"JOINT4 v1 v2", 14, {0, 0, 2, 0, 2, 0, 0, 0}, joint, 2, 4, 1.0 / 3},
      {"JOINT4 v1 v4", 14, {0, 0, 2, 0, 2, 0, 0, 0}, joint, 2, 8, -2.0 / 3},
      {"JOINT4 v1 v3", 14, {0, 0, 2, 0, 2, 0, 0, 0}, joint, 2, 6, -1.0 / 3},
  };
  for (const Value& v : values) {
    make_element(v.iecod, v.xyz, v.props);
    StateRecord st;
    // nu = 0.3 is held in single precision: terms agree to about 1e-7.
    EXPECT_NEAR(term(stiffness(), v.i, v.j), v.k, 1.5e-7 * std::abs(v.k)) << v.what << " K(" << v.i << "," << v.j << ")";
  }
}

// ---- HEX8 cantilever: 10 elements, L = 10, E = 1000, nu = 0, tip load 1 ----------------------

// Mean tip deflection of the bar [0, 10] x [0, 1] x [0, 1] fixed at x = 0
// under a load 1 in y spread over the four tip nodes; opts = the option
// flags, or none for the type code's own.
double cantilever_tip(word iecod, const word* opts = nullptr) {
  constexpr int kElems = 10, kNodes = 4 * (kElems + 1), kDof = 3 * kNodes;
  std::vector<double> big(static_cast<std::size_t>(kDof * kDof), 0.0);
  const auto node = [](int i, int j, int k) { return 4 * i + j + 2 * k; };
  for (int e = 0; e < kElems; ++e) {
    std::vector<double> xyz;
    std::array<int, 8> ids{};
    for (int a = 0; a < 8; ++a) {
      const int i = e + (a & 1), j = (a >> 1) & 1, k = (a >> 2) & 1;
      xyz.insert(xyz.end(), {double(i), double(j), double(k)});
      ids[static_cast<std::size_t>(a)] = node(i, j, k);
    }
    make_element(iecod, xyz, {}, {.e = 1000.0, .nu = 0.0});
    StateRecord st;
    std::vector<double> ke(300, 0.0);
    if (opts != nullptr) {
      std::vector<double> th(24);
      KHEX8(0, {}, ke, th, opts[0], opts[1]);
    } else {
      ke = stiffness();
    }
    for (int a = 0; a < 24; ++a)
      for (int b = 0; b < 24; ++b) {
        const int ga = 3 * ids[static_cast<std::size_t>(a / 3)] + a % 3, gb = 3 * ids[static_cast<std::size_t>(b / 3)] + b % 3;
        big[static_cast<std::size_t>(ga * kDof + gb)] += ke[packed_index(a + 1, b + 1, 24)];
      }
  }
  // Free DOFs: every node off x = 0 (the first 12 DOFs are fixed).
  const int nf = kDof - 12;
  std::vector<double> a(static_cast<std::size_t>(nf * nf)), f(static_cast<std::size_t>(nf), 0.0);
  for (int r = 0; r < nf; ++r)
    for (int c = 0; c < nf; ++c) a[static_cast<std::size_t>(r * nf + c)] = big[static_cast<std::size_t>((r + 12) * kDof + c + 12)];
  for (int j = 0; j < 2; ++j)
    for (int k = 0; k < 2; ++k) f[static_cast<std::size_t>(3 * node(kElems, j, k) + 1 - 12)] = 0.25;
  // Gaussian elimination (the matrix is positive definite).
  for (int c = 0; c < nf; ++c)
    for (int r = c + 1; r < nf; ++r) {
      const double m = a[static_cast<std::size_t>(r * nf + c)] / a[static_cast<std::size_t>(c * nf + c)];
      if (m == 0.0) continue;
      for (int j = c; j < nf; ++j) a[static_cast<std::size_t>(r * nf + j)] -= m * a[static_cast<std::size_t>(c * nf + j)];
      f[static_cast<std::size_t>(r)] -= m * f[static_cast<std::size_t>(c)];
    }
  std::vector<double> u(static_cast<std::size_t>(nf));
  for (int r = nf - 1; r >= 0; --r) {
    double s = f[static_cast<std::size_t>(r)];
    for (int j = r + 1; j < nf; ++j) s -= a[static_cast<std::size_t>(r * nf + j)] * u[static_cast<std::size_t>(j)];
    u[static_cast<std::size_t>(r)] = s / a[static_cast<std::size_t>(r * nf + r)];
  }
  double tip = 0.0;
  for (int j = 0; j < 2; ++j)
    for (int k = 0; k < 2; ++k) tip += u[static_cast<std::size_t>(3 * node(kElems, j, k) + 1 - 12)] / 4;
  return tip;
}

TEST(StiffnessValues, Hex8CantileverAgainstBeamTheory) {
  // P L^3 / 3 E I = 4.0 (+ 0.0024 shear): the assumed shear strains keep HEX8
  // from locking; plain strains at the Gauss points lock at 2.68.
  EXPECT_NEAR(cantilever_tip(1), 4.0100, 5e-5);
  EXPECT_NEAR(cantilever_tip(27), 3.7123, 5e-5);
  const word plain[2] = {0, 0};
  EXPECT_NEAR(cantilever_tip(1, plain), 2.6800, 5e-5);
}

// ---- Integration points in state-point order ---------------------------------------------------

struct PointCase {
  const char* what;
  word iecod;
  std::vector<double> xyz;
  std::vector<float> props;
  word point;
  int near_node;  // 0: the point is never integrated
  std::vector<double> stress = {1, 1, 1, 0, 0, 0};
};

// Stress only at one state point: the internal force is largest at the node
// next to that point, and nothing for a point that is not integrated.
TEST(StatePoints, FollowTheRuleOrder) {
  const std::vector<double> plate{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  // In-plane normal stresses only (2-D families), hydrostatic for the solids.
  const std::vector<double> in_plane{1, 1, 0, 0, 0, 0};
  const PointCase cases[] = {
      {"HEX8 point 2", 1, unit_cube(), {}, 2, 2},
      {"HEX8 point 7", 1, unit_cube(), {}, 7, 7},
      {"HEX8 output point", 1, unit_cube(), {}, 9, 0},
      {"QPLAN4 point 2", 11, {0, 0, 1, 0, 0, 1, 1, 1}, {}, 2, 2, in_plane},
      {"QAX4 point 3", 3, {1, 0, 2, 0, 1, 1, 2, 1}, {}, 3, 3, in_plane},
      {"QMEM4 point 3", 9, plate, {0.5f}, 3, 3, in_plane},
      {"QFLA4 bottom of position 2", 7, plate, {0.2f}, 2, 2, in_plane},
      {"QFLA4 top of position 4", 7, plate, {0.2f}, 44, 4, in_plane},
      {"QFLA4 position 5", 7, plate, {0.2f}, 5, 0, in_plane},
      {"QFLA4 position 5, layer 9", 7, plate, {0.2f}, 45, 0, in_plane},
  };
  for (const PointCase& pc : cases) {
    SCOPED_TRACE(pc.what);
    make_element(pc.iecod, pc.xyz, pc.props);
    StateRecord st;
    EIVGTA(pc.point);
    std::copy(pc.stress.begin(), pc.stress.end(), eivwka().vec[0].begin());
    EIVPTA();
    const std::vector<double> f = internal_force();
    const int per = ndof() / etycom().NN;
    std::vector<double> size(static_cast<std::size_t>(etycom().NN));
    for (int k = 0; k < etycom().NN; ++k)
      for (int c = 0; c < std::min(per, 3); ++c) size[static_cast<std::size_t>(k)] += std::abs(f[static_cast<std::size_t>(per * k + c)]);
    if (pc.near_node == 0) {
      EXPECT_EQ(max_abs(f), 0.0);
      continue;
    }
    EXPECT_EQ(std::max_element(size.begin(), size.end()) - size.begin() + 1, pc.near_node);
  }
}

TEST(StatePoints, ShellLayersRunFromTheBottomFace) {
  // The same membrane stress in the bottom and top layers of a position
  // gives the same in-plane forces and opposite moments.
  const std::vector<double> plate{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  std::vector<double> f[2];
  for (int side = 0; side < 2; ++side) {
    make_element(7, plate, {0.2f});
    StateRecord st;
    EIVGTA(side == 0 ? 1 : 41);
    eivwka().vec[0] = {1.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    EIVPTA();
    f[side] = internal_force();
  }
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(f[0][static_cast<std::size_t>(6 * k)], f[1][static_cast<std::size_t>(6 * k)], 1e-15);
    EXPECT_NEAR(f[0][static_cast<std::size_t>(6 * k + 4)], -f[1][static_cast<std::size_t>(6 * k + 4)], 1e-15);
    EXPECT_NE(f[0][static_cast<std::size_t>(6 * k + 4)], 0.0);
  }
}

// ---- Elastic matrix at points with the tension cut-off mark ----------------------------------

// Only point 2 carries the mark; the cut-off moduli (ENT = 2 E, NUNT = nu)
// double the elastic matrix. Under the no-tension switch, the members with
// the mark test take it at point 2 only and the plain matrix again for the
// points after it (K - K_E = F of D eps stored at point 2 alone); the others
// never recompute it.
TEST(NoTensionMark, RecomputesForTheMarkedPointOnly) {
  struct MarkCase {
    const char* what;
    word iecod;
    std::vector<double> xyz;
    bool recomputes;
  };
  const MarkCase cases[] = {
      {"HEX8", 1, unit_cube(), true},
      {"QPLAN4", 11, {0, 0, 1, 0, 0, 1, 1, 1}, true},
      {"HEX20", 15, unit_cube20(), false},
  };
  for (const MarkCase& mc : cases) {
    for (bool on : {true, false}) {
      SCOPED_TRACE(std::string(mc.what) + (on ? " switch on" : " switch off"));
      make_element(mc.iecod, mc.xyz, {}, {.extra = {{mw::ENT, 2.0f}, {mw::NUNT, 0.3f}}});
      ifpflg().IFPSGT = on ? -1 : 0;
      StateRecord st;
      const std::vector<double> ke = stiffness();
      EIVGTA(2);
      eivwka().sw[0] = 1;
      eivwka().blk.b1.v[3] = -10.0;
      EIVPTA();
      const std::vector<double> km = stiffness();
      // A uniform strain and its elastic stress at point 2.
      const int n = ndof(), dim = etycom().DOFMSK[0] == 7 ? 3 : 2;
      std::vector<double> u;
      for (int k = 0; k < etycom().NN; ++k)
        for (int c = 0; c < dim; ++c) u.push_back(c == 0 ? 0.01 * estcom().XYZ[static_cast<std::size_t>(dim * k)] : 0.0);
      const double lam = 0.3 / (1.3 * 0.4), g = 1.0 / 2.6;
      std::vector<double> s{(lam + 2 * g) * 0.01, lam * 0.01, lam * 0.01, 0, 0, 0};
      EIVGTA(2);
      std::copy(s.begin(), s.end(), eivwka().vec[0].begin());
      EIVPTA();
      const std::vector<double> f = internal_force();
      const std::vector<double> du = multiply(unpack(km, n), u), d0 = multiply(unpack(ke, n), u);
      for (int i = 0; i < n; ++i) {
        const double want = on && mc.recomputes ? f[static_cast<std::size_t>(i)] : 0.0;
        EXPECT_NEAR(du[static_cast<std::size_t>(i)] - d0[static_cast<std::size_t>(i)], want, 1e-7) << i + 1;
      }
    }
  }
}

// ---- Flat shell ---------------------------------------------------------------------------------

TEST(Qfla4, DrillingStiffness) {
  // k_d = s_d E V on the rotations about the normal, -k_d / 3 between nodes;
  // s_d = 0.01 (single precision) when property word 6 is not positive.
  struct Drill {
    float word6;
    double e, kd;
  };
  const std::vector<double> plate{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  const double v = double{0.2f};  // area x thickness
  for (const Drill& d : {Drill{0.0f, 1.0, double{0.01f} * v}, Drill{0.05f, 2.0, double{0.05f} * 2.0 * v},
                         Drill{0.0f, -1.0, 0.0}}) {
    make_element(7, plate, {0.2f, 0, 0, 0, 0, d.word6}, {.e = d.e});
    StateRecord st;
    const std::vector<double> k = stiffness();
    for (int i = 1; i <= 4; ++i) {
      EXPECT_NEAR(term(k, 6 * i, 6 * i), d.kd, 1e-12);
      for (int j = i + 1; j <= 4; ++j) EXPECT_NEAR(term(k, 6 * i, 6 * j), -d.kd / 3, 1e-12);
      for (int c = 1; c <= 24; ++c)
        if (c % 6 != 0) {
          EXPECT_EQ(term(k, 6 * i, c), 0.0) << 6 * i << "," << c;
        }
    }
  }
}

TEST(Qfla4, PureBendingEnergy) {
  // ry = kappa x, w = -kappa x^2 / 2 at the nodes: uniform curvature, no
  // shear; u . K u = E t^3 / (12 (1 - nu^2)) kappa^2 A.
  const double kappa = 0.3, nu = double{0.3f};
  make_element(7, {0, 0, 0, 2, 0, 0, 0, 1.5, 0, 2, 1.5, 0}, {0.2f});
  StateRecord st;
  std::vector<double> u(24, 0.0);
  for (int k = 0; k < 4; ++k) {
    const double x = estcom().XYZ[static_cast<std::size_t>(3 * k)];
    u[static_cast<std::size_t>(6 * k + 2)] = -kappa * x * x / 2;
    u[static_cast<std::size_t>(6 * k + 4)] = kappa * x;
  }
  const std::vector<double> ku = multiply(unpack(stiffness(), 24), u);
  const double t32 = double{0.2f} * double{0.2f} * double{0.2f};
  EXPECT_NEAR(std::inner_product(u.begin(), u.end(), ku.begin(), 0.0), t32 / (12 * (1 - nu * nu)) * kappa * kappa * 3.0,
              1e-12);
}

TEST(Qmem4, IdentityFrameLeavesTheNormalDofsWithoutStiffness) {
  make_element(9, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0}, {0.5f});
  StateRecord st;
  const std::vector<double> k = stiffness();
  for (int i = 3; i <= 12; i += 3)
    for (int j = 1; j <= 12; ++j) EXPECT_EQ(term(k, i, j), 0.0) << i << "," << j;
  EXPECT_GT(term(k, 1, 1), 0.0);
}

// ---- Geometry errors ------------------------------------------------------------------------------

TEST(GeometryErrors, ClockwiseTrianglesAreDeferredAndContributeNothing) {
  for (word code : {4, 12}) {
    SCOPED_TRACE(code);
    make_element(code, {1, 0, 1, 1, 2, 0}, {});
    StateRecord st;
    const std::vector<double> k = stiffness();
    EXPECT_EQ(max_abs(k), 0.0);
    st.set_stress({1, 2, 3, 4});
    EXPECT_EQ(max_abs(internal_force()), 0.0);
    EXPECT_EQ(deferred_geometry(), 2);
    EXPECT_EQ(sysw().IERFLG, 1);
  }
}

TEST(GeometryErrors, NonPositiveThicknessEndsTheStiffnessNotTheInternalForce) {
  const std::vector<double> plate{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  for (word code : {9, 10, 7}) {
    const std::string log = fatal_log([&] {
      make_element(code, plate, {0.0f});
      StateRecord st;
      stiffness();
    });
    EXPECT_TRUE(has_message(log, 8003)) << code;
    make_element(code, plate, {0.0f});
    StateRecord st;
    st.set_stress({1, 1, 1, 1, 1});
    EXPECT_EQ(max_abs(internal_force()), 0.0) << code;
  }
}

TEST(GeometryErrors, LineJointOfZeroLengthEndsTheRun) {
  for (bool force : {false, true}) {
    const std::string log = fatal_log([&] {
      make_element(14, {1, 1, 1, 1, 1, 2, 1, 2}, {1, 0, 0, 1});
      StateRecord st;
      if (force)
        internal_force();
      else
        stiffness();
    });
    EXPECT_TRUE(has_message(log, 8005));
  }
}

}  // namespace
}  // namespace zephsol::test
