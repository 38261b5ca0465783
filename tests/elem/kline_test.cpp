// The accumulation kernel, the dispatchers, and the closed forms of the line
// elements and the contact element: beam terms against beam theory, the
// Timoshenko cantilever, end releases and the rigid motions they leave free,
// the rod and its thermal and prestress loads, the spring, the contact
// springs by state, and the fatal paths.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "kfix.h"
#include "common/fatal.h"
#include "zephsol/exec/packed.h"

namespace zephsol::test {
namespace {

// ---- BTDB ---------------------------------------------------------------------------------

TEST(Btdb, EqualsDenseTripleProductForEverySupportedSize) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int ns : {1, 2, 3, 4, 5, 6, 12}) {
    SCOPED_TRACE(ns);
    const int n = 7;
    std::vector<double> b(static_cast<std::size_t>(ns * n)), d(static_cast<std::size_t>(ns * (ns + 1) / 2));
    for (double& x : b) x = u(rng);
    for (double& x : d) x = u(rng);
    std::vector<double> ke(static_cast<std::size_t>(n * (n + 1) / 2), 0.5);
    BTDB(b, d, n, ns, ke);
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        double s = 0.0;
        for (int a = 1; a <= ns; ++a)
          for (int c = 1; c <= ns; ++c)
            s += b[static_cast<std::size_t>((a - 1) * n + i - 1)] * d[packed_index(a, c, ns)] *
                 b[static_cast<std::size_t>((c - 1) * n + j - 1)];
        EXPECT_NEAR(ke[packed_index(i, j, n)], 0.5 + s, 1e-13);
      }
    if (ns == 6) {
      std::vector<double> k6(ke.size(), 0.5);
      BTDB6(b, d, n, k6);
      EXPECT_EQ(k6, ke);
    }
  }
}

TEST(Btdb, ElementSizedMatricesEqualTheTripleProduct) {
  // Sizes of the solids and past the kernel's column buffer, odd and even.
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {18, 24, 25, 45, 60, 64, 65, 70}) {
    SCOPED_TRACE(n);
    std::vector<double> b(static_cast<std::size_t>(6 * n)), d(21);
    for (double& x : b) x = u(rng);
    for (double& x : d) x = u(rng);
    std::vector<double> ke(static_cast<std::size_t>(n * (n + 1) / 2), 0.25);
    BTDB(b, d, n, 6, ke);
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= n; ++j) {
        double s = 0.0;
        for (int a = 1; a <= 6; ++a)
          for (int c = 1; c <= 6; ++c)
            s += b[static_cast<std::size_t>((a - 1) * n + i - 1)] * d[packed_index(a, c, 6)] *
                 b[static_cast<std::size_t>((c - 1) * n + j - 1)];
        ASSERT_NEAR(ke[packed_index(i, j, n)], 0.25 + s, 1e-12) << i << " " << j;
      }
  }
}

TEST(Btdb, SolidKernelGivesTheDenseKernelsTermsExactly) {
  // B with the plain solid rows (u in rows 1, 4, 6; v in 2, 4, 5; w in 3, 5, 6),
  // some columns zero as at a failed point; KE from zero and from a prior sum.
  constexpr int kRows[3][3] = {{0, 3, 5}, {1, 3, 4}, {2, 4, 5}};
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int n : {3, 6, 18, 24, 30, 45, 60}) {
    SCOPED_TRACE(n);
    for (int round = 0; round < 3; ++round) {
      std::vector<double> b(static_cast<std::size_t>(6 * n), 0.0), d(21);
      for (int j = 0; j < n; ++j)
        if (round == 0 || j % 7 != 3)
          for (int t = 0; t < 3; ++t) b[static_cast<std::size_t>(kRows[j % 3][t] * n + j)] = u(rng);
      for (double& x : d) x = u(rng);
      const double start = round == 2 ? 0.75 : 0.0;
      std::vector<double> dense(static_cast<std::size_t>(n * (n + 1) / 2), start), solid(dense);
      for (int point = 0; point < 2; ++point) {
        BTDB6(b, d, n, dense);
        btdb_solid(b, d, n, solid);
      }
      for (std::size_t k = 0; k < dense.size(); ++k) {
        ASSERT_EQ(solid[k], dense[k]) << k;
        ASSERT_EQ(std::signbit(solid[k]), std::signbit(dense[k])) << k;
      }
    }
  }
}

TEST(Btdb, UnsupportedComponentCountEndsTheRun) {
  const std::string log = fatal_log([] {
    std::vector<double> b(70), d(28), ke(55);
    BTDB(b, d, 10, 7, ke);
  });
  EXPECT_TRUE(has_message(log, 8015));
  EXPECT_NE(log.find("WRONG ARGUMENT PROVIDED -- NDF  =        7"), std::string::npos) << log;
}

// ---- BEAM2 ---------------------------------------------------------------------------------

// A beam along x from the origin, length l, oriented by a node on +y (local = global).
void beam_along_x(double l, std::vector<float> props, const Material& mat = {}) {
  props.resize(20, 0.0f);
  make_element(5, {0, 0, 0, l, 0, 0, 0, 1, 0}, props, mat);
}

TEST(Beam2, EulerBernoulliTerms) {
  const double l = 3.0, e = 1.0, g = e / (2.0 * (1.0 + double{0.3f})), a = 2.0, iy = 1.5, iz = 3.0, j = iy + iz;
  beam_along_x(l, {2.0f, 1.5f, 3.0f, 0.0f});
  StateRecord st;
  const std::vector<double> k = stiffness();
  struct Term {
    int i, j;
    double v;
  };
  const Term terms[] = {{1, 1, e * a / l},
                        {1, 7, -e * a / l},
                        {2, 2, 12 * e * iz / (l * l * l)},
                        {2, 8, -12 * e * iz / (l * l * l)},
                        {2, 6, 6 * e * iz / (l * l)},
                        {6, 8, -6 * e * iz / (l * l)},
                        {3, 3, 12 * e * iy / (l * l * l)},
                        {3, 5, -6 * e * iy / (l * l)},
                        {5, 9, 6 * e * iy / (l * l)},
                        {4, 4, g * j / l},
                        {4, 10, -g * j / l},
                        {5, 5, 4 * e * iy / l},
                        {5, 11, 2 * e * iy / l},
                        {6, 6, 4 * e * iz / l},
                        {6, 12, 2 * e * iz / l},
                        {1, 2, 0.0},
                        {2, 3, 0.0}};
  for (const Term& t : terms) EXPECT_NEAR(term(k, t.i, t.j), t.v, 1e-12) << t.i << "," << t.j;
}

// Solves K u = f on the DOFs of node 2 (node 1 fixed).
std::vector<double> cantilever_tip(const std::vector<double>& k, const std::vector<double>& f) {
  std::array<std::array<double, 7>, 6> a{};
  for (int i = 0; i < 6; ++i) {
    for (int j = 0; j < 6; ++j) a[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = term(k, i + 7, j + 7);
    a[static_cast<std::size_t>(i)][6] = f[static_cast<std::size_t>(i)];
  }
  for (int c = 0; c < 6; ++c)
    for (int r = c + 1; r < 6; ++r) {
      const double m = a[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] / a[static_cast<std::size_t>(c)][static_cast<std::size_t>(c)];
      for (int j = c; j < 7; ++j) a[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)] -= m * a[static_cast<std::size_t>(c)][static_cast<std::size_t>(j)];
    }
  std::vector<double> u(6);
  for (int r = 5; r >= 0; --r) {
    double s = a[static_cast<std::size_t>(r)][6];
    for (int j = r + 1; j < 6; ++j) s -= a[static_cast<std::size_t>(r)][static_cast<std::size_t>(j)] * u[static_cast<std::size_t>(j)];
    u[static_cast<std::size_t>(r)] = s / a[static_cast<std::size_t>(r)][static_cast<std::size_t>(r)];
  }
  return u;
}

TEST(Beam2, TimoshenkoCantileverTipDeflectionAndRotation) {
  // PL^3/3EI + PL/(G As) = 4.5 + 15.6 (nu = 0.3 in single precision) and PL^2/2EI = 2.25.
  beam_along_x(3.0, {1.0f, 1.0f, 2.0f, 1.0f, 0.5f, 0.0f});
  StateRecord st;
  const std::vector<double> u = cantilever_tip(stiffness(), {0, 1, 0, 0, 0, 0});
  EXPECT_NEAR(u[1], 20.1, 2e-7);
  EXPECT_NEAR(u[5], 2.25, 1e-12);
  beam_along_x(3.0, {1.0f, 1.0f, 2.0f, 1.0f, 0.0f, 0.0f});
  StateRecord st0;
  EXPECT_NEAR(cantilever_tip(stiffness(), {0, 1, 0, 0, 0, 0})[1], 4.5, 1e-12);
}

TEST(Beam2, OneReleasedEndTakesThePinnedForm) {
  const double l = 2.0, e = 1.0, g = e / (2.0 * (1.0 + double{0.3f})), iy = 2.0, iz = 3.0, j = 1.0;
  // End 2 released: 3EI forms at end 1, nothing on end 2's rotations, torsion of end 1 uncoupled.
  beam_along_x(l, {1.0f, 2.0f, 3.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f});
  StateRecord st;
  std::vector<double> k = stiffness();
  EXPECT_NEAR(term(k, 2, 2), 3 * e * iz / (l * l * l), 1e-12);
  EXPECT_NEAR(term(k, 2, 6), 3 * e * iz / (l * l), 1e-12);
  EXPECT_NEAR(term(k, 6, 6), 3 * e * iz / l, 1e-12);
  EXPECT_NEAR(term(k, 3, 5), -3 * e * iy / (l * l), 1e-12);
  EXPECT_NEAR(term(k, 4, 4), g * j / l, 1e-12);
  for (auto [a, b] : {std::pair{4, 10}, {5, 11}, {6, 12}, {2, 12}, {3, 11}, {8, 12}, {9, 11}, {10, 10}, {11, 11}, {12, 12}})
    EXPECT_EQ(term(k, a, b), 0.0) << a << "," << b;
  // A release code other than 0 and 1 takes the released form without clearing.
  beam_along_x(l, {1.0f, 2.0f, 3.0f, 1.0f, 0.0f, 0.0f, 2.0f, 0.0f});
  StateRecord st3;
  k = stiffness();
  EXPECT_NEAR(term(k, 6, 6), 3 * e * iz / l, 1e-12);
  EXPECT_NEAR(term(k, 12, 12), 3 * e * iz / l, 1e-12);
  EXPECT_EQ(term(k, 6, 12), 0.0);
}

TEST(Beam2, BothEndsReleasedLeaveAnAxialBar) {
  beam_along_x(2.0, {1.0f, 2.0f, 3.0f, 1.0f, 0.5f, 0.5f, 1.0f, 1.0f});
  StateRecord st;
  const std::vector<double> k = stiffness();
  EXPECT_NEAR(term(k, 1, 1), 0.5, 1e-12);
  EXPECT_NEAR(term(k, 7, 7), 0.5, 1e-12);
  EXPECT_NEAR(term(k, 1, 7), -0.5, 1e-12);
  for (int r = 1; r <= 12; ++r)
    for (int c = r; c <= 12; ++c) {
      if (r == 1 || r == 7 || c == 1 || c == 7) continue;
      EXPECT_EQ(term(k, r, c), 0.0) << r << "," << c;
    }
}

// Rigid motions of a member along x from the origin to l: the three
// translations, then rotations about x (a twist), y and z by 1.
std::vector<std::vector<double>> rigid_motions(double l) {
  std::vector<std::vector<double>> m;
  for (int i = 0; i < 3; ++i) {
    std::vector<double> u(12, 0.0);
    u[static_cast<std::size_t>(i)] = u[static_cast<std::size_t>(i + 6)] = 1.0;
    m.push_back(u);
  }
  m.push_back({0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0});
  m.push_back({0, 0, 0, 0, 1, 0, 0, 0, -l, 0, 1, 0});
  m.push_back({0, 0, 0, 0, 0, 1, 0, l, 0, 0, 0, 1});
  return m;
}

TEST(Beam2, RigidMotionsMeetNoForceWhateverTheReleases) {
  // E = 1, Iy = 2, Iz = 3, L = 2; shear areas only where the form keeps rigid motions free.
  const double l = 2.0, gj = 1.0 / (2.0 * (1.0 + double{0.3f})) * 1.0 / l;
  struct Case {
    float r1, r2, shear_area;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{0, 0, 0.5f}, Case{1, 0, 0}, Case{0, 1, 0}, Case{1, 1, 0}, Case{1, 1, 0.5f}}) {
    SCOPED_TRACE(std::to_string(c.r1) + " " + std::to_string(c.r2) + " " + std::to_string(c.shear_area));
    beam_along_x(l, {1.0f, 2.0f, 3.0f, 1.0f, c.shear_area, c.shear_area, c.r1, c.r2});
    StateRecord st;
    const Dense k = unpack(stiffness(), 12);
    const auto motions = rigid_motions(l);
    for (std::size_t m = 0; m < motions.size(); ++m) {
      const std::vector<double> f = multiply(k, motions[m]);
      if (m == 3 && c.r1 != c.r2) {
        // One released end keeps the twist of the other end held, uncoupled.
        const int held = c.r1 == 0 ? 3 : 9;
        EXPECT_NEAR(f[static_cast<std::size_t>(held)], gj, 1e-12);
        EXPECT_NEAR(max_abs(f), gj, 1e-12);
        continue;
      }
      EXPECT_LT(max_abs(f), 1e-12) << "motion " << m;
    }
  }
}

TEST(Beam2, RigidityAboutZFollowsThePointStateUnderWord20) {
  // E = 2, a state rigidity of 6 gives Iz = 3, also in J = Iy + Iz.
  std::vector<float> p{1.0f, 1.0f, 0.5f, 0.0f};
  p.resize(20, 0.0f);
  p[19] = 1.0f;
  beam_along_x(2.0, p, {.e = 2.0, .nu = 0.25});
  StateRecord st;
  EIVGTA(1);
  eivwka().sw[10] = 1;
  eivwka().blk.b11.iv[0] = 1;
  eivwka().blk.b11.v = 6.0;
  EIVPTA();
  std::vector<double> k = stiffness();
  EXPECT_NEAR(term(k, 2, 2), 12 * 2.0 * 3.0 / 8.0, 1e-12);
  EXPECT_NEAR(term(k, 4, 4), 0.8 * (1.0 + 3.0) / 2.0, 1e-12);
  // State code 0: the property value.
  EIVGTA(1);
  eivwka().blk.b11.iv[0] = 0;
  EIVPTA();
  k = stiffness();
  EXPECT_NEAR(term(k, 2, 2), 12 * 2.0 * 0.5 / 8.0, 1e-12);
}

TEST(Beam2, StateDependentMaterialEndsTheRunWithTheTwoLines) {
  const std::string log = fatal_log([] {
    beam_along_x(2.0, {1.0f, 1.0f, 1.0f}, {.kind = mkind::FAILURE});
    StateRecord st;
    stiffness();
  });
  EXPECT_NE(log.find("0*** USER FATAL MESSAGE 8204, MATERIAL PROPERTY NOT APPLICABLE FOR THE ELEMENT.\n"
                     "          ELEMENT =    4711, MATERIAL ID =      10\n"),
            std::string::npos)
      << log;
}

TEST(Beam2, ZeroModulusIsReportedNotDividedBy) {
  const std::string log = fatal_log([] {
    beam_along_x(2.0, {1.0f, 1.0f, 1.0f, 0.0f, 0.5f}, {.e = 0.0});
    StateRecord st;
    stiffness();
  });
  EXPECT_TRUE(has_message(log, 8013));
}

TEST(Beam2, ThermalEndForcesAlongTheMember) {
  // T = 10 and 30: -20 E A alpha at node 1 along e1, +20 E A alpha at node 2; no moments.
  make_element(5, {1, 1, 1, 1, 3, 1, 0, 2, 5}, {0.5f}, {.e = 2.0, .alpha = 1e-3});
  StateRecord st;
  const double p = 20.0 * 2.0 * 0.5 * double{1e-3f};
  std::vector<double> f(12);
  BMTEMP(std::vector<float>{10.0f, 30.0f}, f, 1);
  EXPECT_EQ(f, (std::vector<double>{-p, 0, 0, 0, 0, 0, p, 0, 0, 0, 0, 0}));
  const std::vector<double> th = thermal_load({10.0f, 30.0f, 99.0f});
  EXPECT_EQ(th, (std::vector<double>{0, -p, 0, 0, 0, 0, 0, p, 0, 0, 0, 0}));
}

// ---- SBEAM2 --------------------------------------------------------------------------------

TEST(Sbeam2, ElasticSectionBeamEqualsTheClosedFormBeam) {
  // A = 12, I = 16: the rectangle 3 x 4, Iy = A^4 / (144 Iz) = 9, torsion
  // G (Iy + Iz); L = 2, E = 1, nu = 0.25.
  const Material mat{.e = 1.0, .nu = 0.25};
  std::vector<float> sp(8, 0.0f);
  sp[0] = 12.0f;
  sp[2] = 16.0f;
  make_element(26, {0, 0, 0, 2, 0, 0, 0, 1, 0}, sp, mat);
  StateRecord st;
  std::vector<double> kl(78), th(12);
  KSBEAM2(0, {}, kl, th, 1);
  for (auto [i, j, v] : {std::tuple{1, 1, 6.0}, {2, 2, 24.0}, {3, 3, 13.5}, {4, 4, 5.0}, {2, 6, 24.0}, {3, 5, -13.5},
                         {6, 6, 32.0}, {5, 5, 18.0}})
    EXPECT_NEAR(kl[packed_index(i, j, 12)], v, 1e-12) << i << "," << j;
  // In global axes on a general member: the whole matrix.
  const std::vector<double> xyz{0.2, -0.1, 0.3, 2.1, 1.7, 0.9, 1.0, 2.0, 3.0};
  make_element(26, xyz, sp, mat);
  StateRecord st2;
  const std::vector<double> ks = stiffness();
  make_element(5, xyz, {12.0f, 9.0f, 16.0f, 0.0f}, mat);
  StateRecord st3;
  const std::vector<double> kb = stiffness();
  for (std::size_t i = 0; i < kb.size(); ++i) EXPECT_NEAR(ks[i], kb[i], 1e-12 * max_abs(kb)) << i;
}

// ---- ROD2 ----------------------------------------------------------------------------------

TEST(Rod2, AxialSpringAlongTheMember) {
  const double k = 1.0 * 0.5 / 2.0;
  make_element(6, {0, 0, 0, 2, 0, 0}, {0.5f});
  StateRecord st;
  std::vector<double> ke = stiffness();
  EXPECT_NEAR(term(ke, 1, 1), k, 1e-15);
  EXPECT_NEAR(term(ke, 4, 4), k, 1e-15);
  EXPECT_NEAR(term(ke, 1, 4), -k, 1e-15);
  EXPECT_EQ(term(ke, 2, 2), 0.0);
  // At 45 degrees in xy: (k/2) [1 1 0; 1 1 0; 0 0 0] per block.
  make_element(6, {0, 0, 0, std::sqrt(2.0), std::sqrt(2.0), 0}, {0.5f});
  StateRecord st2;
  ke = stiffness();
  for (auto [i, j, v] : {std::tuple{1, 1, 0.5}, {1, 2, 0.5}, {2, 2, 0.5}, {1, 3, 0.0}, {3, 3, 0.0}, {1, 5, -0.5}, {2, 4, -0.5}})
    EXPECT_NEAR(term(ke, i, j), v * k, 1e-7) << i << "," << j;
}

TEST(Rod2, ThermalAndPrestressForcesAlongTheAxis) {
  const double c = 0.6, s = 0.8;  // axis of the member (3, 4, 0) / 5
  for (bool prestress : {false, true}) {
    SCOPED_TRACE(prestress);
    make_element(6, {1, 1, 0, 4, 5, 0}, {0.5f}, {.e = 2.0, .alpha = 1e-3});
    ifpflg().IFPPRS = prestress ? -1 : 0;
    StateRecord st;
    // Equations 11-16 of a vector already holding 1.0.
    for (int i = 0; i < 6; ++i) estcom().IDOF[static_cast<std::size_t>(i)] = 11 + i;
    std::vector<double> ke(21), v(20, 1.0);
    KELEM(ke, std::vector<word>{3, 0, real_word(10.0f), real_word(30.0f)}, v, 1);
    const double f = prestress ? 20.0 : 1e-3 * 0.5 * 2.0 * 20.0;
    EXPECT_NEAR(v[10], 1.0 - f * c, 1e-9);
    EXPECT_NEAR(v[11], 1.0 - f * s, 1e-9);
    EXPECT_NEAR(v[13], 1.0 + f * c, 1e-9);
    EXPECT_NEAR(v[14], 1.0 + f * s, 1e-9);
    EXPECT_EQ(v[12], 1.0);
    EXPECT_EQ(v[9], 1.0);
    // A record that stops after the first temperature: the second is taken as 0.
    std::vector<double> h(20, 0.0);
    KELEM(ke, std::vector<word>{2, 0, real_word(10.0f)}, h, 1);
    EXPECT_NEAR(h[13], (prestress ? 5.0 : 1e-3 * 0.5 * 2.0 * 5.0) * c, 1e-9);
    // Mode 0, or a record without temperatures: no load.
    for (auto [mode, count] : {std::pair{0, 3}, {1, 1}}) {
      std::vector<double> w(20, 1.0);
      KELEM(ke, std::vector<word>{count, 0, real_word(10.0f), real_word(30.0f)}, w, mode);
      EXPECT_EQ(w, std::vector<double>(20, 1.0));
    }
  }
}

TEST(Rod2, BadGeometryEndsTheRun) {
  struct Bad {
    std::vector<double> xyz;
    float area;
    word code;
  };
  for (const Bad& b : {Bad{{1, 2, 3, 1, 2, 3}, 1.0f, 8005}, Bad{{0, 0, 0, 1, 0, 0}, 0.0f, 8013}}) {
    const std::string log = fatal_log([&] {
      make_element(6, b.xyz, {b.area});
      StateRecord st;
      stiffness();
    });
    EXPECT_TRUE(has_message(log, b.code)) << b.code;
  }
}

// ---- SPG2 ----------------------------------------------------------------------------------

TEST(Spg2, SixGlobalSpringsWhateverTheCoordinates) {
  for (const std::vector<double>& xyz : {std::vector<double>{0, 0, 0, 1, 2, 3}, {1, 1, 1, 1, 1, 1}}) {
    make_element(22, xyz, {1, 2, 3, 4, 5, 6});
    StateRecord st;
    const std::vector<double> k = stiffness();
    for (int i = 1; i <= 12; ++i)
      for (int j = i; j <= 12; ++j) {
        const double ki = (i - 1) % 6 + 1;
        const double want = i == j ? ki : (j == i + 6 ? -ki : 0.0);
        EXPECT_EQ(term(k, i, j), want) << i << "," << j;
      }
  }
}

// ---- CNT2 ----------------------------------------------------------------------------------

std::vector<float> contact_props() {
  std::vector<float> p(20, 0.0f);
  for (int i = 0; i < 6; ++i) p[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);  // words 1-6
  p[10] = 11.0f;  // locked normal
  p[11] = 12.0f;  // open normal
  p[14] = 15.0f;  // component 2, branch 2
  p[17] = 18.0f;  // component 2, branch 3 and not in contact
  p[19] = 20.0f;  // rotations beyond branch 1
  return p;
}

TEST(Cnt2, SpringConstantsFollowTheContactState) {
  struct State {
    const char* what;
    word code, lock;
    std::array<double, 4> branch_codes;  // components 2, 4, 5, 6
    std::array<double, 6> k;
  };
  const State states[] = {
      {"fresh", 0, 0, {0, 0, 0, 0}, {1, 2, 2, 4, 5, 6}},
      {"open", 1, 0, {0, 0, 0, 0}, {12, 18, 18, 4, 5, 6}},
      {"locked and open", 1, 1, {0, 0, 0, 0}, {11, 18, 18, 4, 5, 6}},
      {"shear branch 2", 2, 0, {25, 0, 0, 0}, {1, 15, 15, 4, 5, 6}},
      {"shear branch 3", 2, 0, {39, 0, 0, 0}, {1, 18, 18, 4, 5, 6}},
      {"rotation branch 1", 2, 0, {0, 19, 0, 0}, {1, 2, 2, 4, 5, 6}},
      {"rotation y branch 2", 2, 0, {0, 0, 21, 0}, {1, 2, 2, 4, 20, 6}},
  };
  for (const State& s : states) {
    SCOPED_TRACE(s.what);
    make_element(23, {0, 0, 0, 2, 0, 0}, contact_props());
    StateRecord st;
    EIVGTA(1);
    EIVWK& w = eivwka();
    w.sw[10] = w.sw[11] = 1;
    w.blk.b11.iv = {s.code, s.lock};
    for (int set = 0; set < 4; ++set) w.blk.b12[static_cast<std::size_t>(21 * set)] = s.branch_codes[static_cast<std::size_t>(set)];
    EIVPTA();
    const std::vector<double> k = stiffness();
    for (int c = 1; c <= 6; ++c) {
      const double kc = s.k[static_cast<std::size_t>(c - 1)];
      EXPECT_NEAR(term(k, c, c), kc, 1e-12) << c;
      EXPECT_NEAR(term(k, c + 6, c + 6), kc, 1e-12) << c;
      EXPECT_NEAR(term(k, c, c + 6), -kc, 1e-12) << c;
    }
  }
}

TEST(Cnt2, CoincidentNodesTakeTheNormalFromTheAngleWords) {
  // 0 and 90 degrees: the normal is global z; the frame then has e2 = +y, e3 = -x.
  std::vector<float> p = contact_props();
  p[6] = 0.0f;
  p[7] = 90.0f;
  make_element(23, {1, 1, 1, 1, 1, 1.0000001}, p);
  StateRecord st;
  const std::vector<double> k = stiffness();
  EXPECT_NEAR(term(k, 3, 3), 1.0, 1e-9);  // normal spring on z
  EXPECT_NEAR(term(k, 2, 2), 2.0, 1e-9);  // first shear on y
  EXPECT_NEAR(term(k, 1, 1), 2.0, 1e-9);  // second shear on x, as the first
  EXPECT_NEAR(term(k, 6, 6), 4.0, 1e-9);
  EXPECT_NEAR(term(k, 1, 3), 0.0, 1e-9);
  // The internal force uses the same frame: a stored normal force acts on z.
  EIVGTA(1);
  eivwka().vec[0] = {7, 0, 0, 0, 0, 0};
  EIVPTA();
  const std::vector<double> f = internal_force();
  EXPECT_NEAR(f[2], -7.0, 1e-9);
  EXPECT_NEAR(f[8], 7.0, 1e-9);
  EXPECT_NEAR(f[0], 0.0, 1e-9);
}

TEST(Cnt2, NonPositiveNormalSpringEndsTheRun) {
  const std::string log = fatal_log([] {
    std::vector<float> p = contact_props();
    p[0] = 0.0f;
    make_element(23, {0, 0, 0, 1, 0, 0}, p);
    StateRecord st;
    stiffness();
  });
  EXPECT_TRUE(has_message(log, 8013));
}

// ---- Dispatchers and stored end forces ----------------------------------------------------------

TEST(Felem, StoredEndForces) {
  // A beam without block 8 contributes nothing; with it, its local forces are turned to global axes.
  make_element(5, {0, 0, 0, 0, 2, 0, 1, 2, 0}, {1, 1, 1});
  StateRecord st;
  std::vector<double> g(12, 1.0);
  FELEM(g);
  EXPECT_EQ(g, std::vector<double>(12, 1.0));
  std::vector<double> fl(12, 0.0);
  fl[0] = -5.0;  // axial force at node 1 (local x = global y here)
  fl[6] = 5.0;
  st.set_end_forces(fl);
  std::vector<double> f = internal_force();
  EXPECT_NEAR(f[1], -5.0, 1e-12);
  EXPECT_NEAR(f[7], 5.0, 1e-12);
  EXPECT_NEAR(f[0], 0.0, 1e-12);
  // A spring always gives its stored values as they are.
  make_element(22, {0, 0, 0, 1, 0, 0}, {1, 1, 1, 1, 1, 1});
  StateRecord st2;
  st2.set_end_forces({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  f = internal_force();
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(f[static_cast<std::size_t>(i)], i + 1.0, 1e-6);
}

TEST(Felem, EquationsOutsideTheVectorEndTheRun) {
  // An equation 0 (a node word without a first equation) and one past the vector's end.
  const std::pair<std::size_t, word> cases[] = {{0, 0}, {11, 13}};
  for (const auto& [dof, equation] : cases) {
    const std::string log = fatal_log([&] {
      make_element(5, {0, 0, 0, 2, 0, 0, 0, 1, 0}, {1, 1, 1});
      StateRecord st;
      estcom().IDOF[dof] = equation;
      std::vector<double> g(12, 0.0);
      FELEM(g);
    });
    EXPECT_NE(log.find("NDOF=" + std::string(8 - std::to_string(equation).size(), ' ') + std::to_string(equation) +
                       ", NDOFX=      12"),
              std::string::npos)
        << log;
  }
}

TEST(Dispatch, TemperaturesOnJointsSpringsAndContactsAddNothing) {
  struct Quiet {
    word code;
    std::vector<double> xyz;
    std::vector<float> props;
  };
  const std::vector<double> joint8{0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  for (const Quiet& q : {Quiet{19, joint8, {1, 0, 0, 1}}, Quiet{22, {0, 0, 0, 1, 0, 0}, {1, 1, 1, 1, 1, 1}},
                         Quiet{23, {0, 0, 0, 1, 0, 0}, contact_props()}}) {
    make_element(q.code, q.xyz, q.props, {.alpha = 1.0});
    StateRecord st;
    const std::vector<double> v = thermal_load(std::vector<float>(8, 100.0f));
    EXPECT_EQ(max_abs(v), 0.0) << q.code;
  }
}

TEST(Dispatch, TypesWithoutElementRoutinesEndTheRun) {
  for (word code : {8, 13}) {
    for (bool force : {false, true}) {
      const std::string log = fatal_log([&] {
        make_element(code, std::vector<double>(18, 0.0), {});
        StateRecord st;
        if (force)
          internal_force();
        else
          stiffness();
      });
      EXPECT_TRUE(has_message(log, 5000)) << code;
      EXPECT_TRUE(has_reason(log, code, 4711)) << code;
    }
  }
}

}  // namespace
}  // namespace zephsol::test
