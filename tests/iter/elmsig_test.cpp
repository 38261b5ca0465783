// The elasto-plastic point law on single points, against closed forms: rods
// with linear and piecewise hardening, perfect plasticity in pure shear, the
// return of a non-radial path to the yield surface, the yield and unloading thresholds, the K0
// rule, the local safety factor, temperatures and the matrix cache.
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/plskern.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/ptfix.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/dbload.h"

namespace zephsol::test {
namespace {

constexpr double kE = 200000.0;

class ElmsigTest : public PointLawTest {
 protected:
  // Von Mises rod, yield stress 200; hardening slope or table.
  void vm_rod(float hdash, std::initializer_list<std::pair<float, float>> table = {}) {
    use_material(1, 3, {{7, 200000.0f}, {8, 0.3f}, {13, 200.0f}, {14, -1.0f}, {15, hdash}, {27, -1.0f}}, table);
    start_point(kRod);
  }
  double sig(int i = 0) { return pt().vec[0][static_cast<std::size_t>(i)]; }
  double eps_p(int i = 0) { return pt().blk.b2.v[static_cast<std::size_t>(i)]; }
  word flag() { return pt().blk.b2.iv[0]; }
};

// One-dimensional results are exact for the tangent update: E = 200000,
// sigma_y = 200, slope E H/(E + H) past yield and zero past the last break.
TEST_F(ElmsigTest, RodsWithLinearAndPiecewiseHardening) {
  const double et = kE * 20000.0 / (kE + 20000.0);
  // The table abscissae are REAL words.
  const double x1 = static_cast<double>(0.001f), x2 = static_cast<double>(0.002f);
  struct Case {
    const char* what;
    float hdash;
    std::vector<std::pair<float, float>> table;
    std::vector<double> increments;
    double sigma;
  };
  const Case cases[] = {
      {"linear hardening", 20000.0f, {}, {0.002}, 200.0 + et * 0.001},
      {"first yield past a break point", 0.0f, {{0.0f, 20000.0f}, {0.001f, 0.0f}}, {0.004}, 200.0 + 20000.0 * x1},
      {"plastic point past a break point", 0.0f, {{0.0f, 20000.0f}, {0.001f, 0.0f}}, {0.0015, 0.0025},
       200.0 + 20000.0 * x1},
      {"two break points in one increment", 0.0f,
       {{0.0f, 20000.0f}, {0.001f, 10000.0f}, {0.002f, 0.0f}}, {0.0011, 0.0089},
       200.0 + 20000.0 * x1 + 10000.0 * (x2 - x1)},
      {"unloaded from yield", 20000.0f, {}, {0.002, -0.0005}, 200.0 + et * 0.001 - 100.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.table.empty()) {
      vm_rod(c.hdash);
    } else if (c.table.size() == 2) {
      vm_rod(0.0f, {c.table[0], c.table[1]});
    } else {
      vm_rod(0.0f, {c.table[0], c.table[1], c.table[2]});
    }
    double total = 0.0;
    for (double d : c.increments) {
      sigcom().KITER = 0;
      strain({d, 0, 0, 0, 0, 0});
      total += d;
    }
    EXPECT_NEAR(sig(), c.sigma, 1e-9);
    EXPECT_NEAR(pt().vec[1][0], c.sigma / kE, 1e-12);           // elastic strain
    EXPECT_NEAR(pt().vec[2][0], total, 1e-15);                  // total strain
    EXPECT_NEAR(eps_p(), total - c.sigma / kE, 1e-12);          // plastic strain
    EXPECT_NEAR(pt().blk.b2.epeq, eps_p(), 1e-12);
    EXPECT_EQ(pt().sw[1], 1);
  }
  EXPECT_EQ(flag(), 0);  // the last case unloaded
}

TEST_F(ElmsigTest, FirstYieldAndBreakPointsSetTheIterationFlag) {
  vm_rod(20000.0f);
  strain({0.002, 0, 0, 0, 0, 0});
  EXPECT_EQ(sigcom().KITER, -1);
  EXPECT_EQ(flag(), 1);
  // Further loading with a constant slope keeps the tangent trial: no flag.
  sigcom().KITER = 0;
  strain({0.001, 0, 0, 0, 0, 0});
  EXPECT_EQ(sigcom().KITER, 0);
  EXPECT_NEAR(sig(), 200.0 + kE * 20000.0 / (kE + 20000.0) * 0.002, 1e-9);
  // With a table whose next break lies beyond the increment nothing changes.
  vm_rod(0.0f, {{0.0f, 20000.0f}, {0.01f, 0.0f}});
  strain({0.002, 0, 0, 0, 0, 0});
  sigcom().KITER = 0;
  strain({0.001, 0, 0, 0, 0, 0});
  EXPECT_EQ(sigcom().KITER, 0);
}

// Pure shear, perfectly plastic: De a is parallel to De d eps, so the
// tangent keeps tau on the surface exactly, and the rest is plastic.
TEST_F(ElmsigTest, PureShearStaysOnTheSurface) {
  const double k = 100.0 * std::sqrt(3.0), g = kE / (2.0 * 1.25);
  use_material(1, 3, {{7, 200000.0f}, {8, 0.25f}, {13, static_cast<float>(k)}, {14, -1.0f}, {27, -1.0f}});
  const double tau_y = static_cast<double>(static_cast<float>(k)) / 1.73205080757;
  double gamma = 0.0;
  for (double dg : {0.002, 0.001, 0.0005, 0.003}) {
    sigcom().KDECHE = -1;
    strain({0, 0, 0, dg, 0, 0});
    gamma += dg;
    EXPECT_NEAR(sig(3), tau_y, 1e-9);
    EXPECT_NEAR(eps_p(3), gamma - tau_y / g, 1e-12);
    for (int i : {0, 1, 2, 4, 5}) EXPECT_NEAR(sig(i), 0.0, 1e-9);
  }
}

// A normal strain at a surface point in pure shear is tangential to the
// surface: the tangent takes it elastically, to f* = sqrt(k^2 + (2 G d eps)^2)
// outside the surface, and the point is brought back onto it. The total
// strain is the increment; what the return moved is deviatoric plastic
// strain; a return of 0.5 % (above the tolerance 0.1 %) asks for an
// iteration, one of 0.005 % does not.
TEST_F(ElmsigTest, NonRadialPathReturnsToTheSurface) {
  const double g = kE / 2.5;
  for (const auto& [dsig, iterate] : {std::pair{10.0, true}, std::pair{1.0, false}}) {
    use_material(1, 3, {{7, 200000.0f}, {8, 0.25f}, {13, 100.0f}, {14, -1.0f}, {27, -1.0f}});
    start_point(kSolid);
    pt().vec[0] = {0, 0, 0, 100.0 / std::sqrt(3.0), 0, 0};
    pt().blk.b2.iv[0] = 1;
    sigcom().KITER = 0;
    const double de = dsig / (2.0 * g);
    strain({de, 0, 0, 0, 0, 0});
    EXPECT_NEAR(pt().scalar, 100.0, 1e-4) << dsig;
    const double s0 = sig(0), s1 = sig(1), s2 = sig(2), t = sig(3);
    const double vm = std::sqrt(0.5 * ((s0 - s1) * (s0 - s1) + (s1 - s2) * (s1 - s2) + (s2 - s0) * (s2 - s0)) + 3 * t * t);
    EXPECT_NEAR(vm, 100.0, 1e-4) << dsig;
    EXPECT_NEAR(pt().vec[2][0], de, 1e-15);
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(pt().vec[1][i] + eps_p(i), pt().vec[2][i], 1e-15) << i;
    EXPECT_NEAR(eps_p(0) + eps_p(1) + eps_p(2), 0.0, 1e-15);
    EXPECT_GT(eps_p(0), 0.0);
    EXPECT_EQ(flag(), 1);
    EXPECT_EQ(sigcom().KITER, iterate ? -1 : 0) << dsig;
  }
}

// Strength reduction: at cumulative step 2 the factor is 1.0 + 0.1 and the
// Mohr-Coulomb surface of c / F and tan phi / F has shrunk past a point
// that stood at F = 1. With no strain at all the point is brought onto the
// reduced surface: its stress drops, its elastic strain turns into plastic
// strain, and the step iterates so that the model takes up what it shed.
TEST_F(ElmsigTest, StrengthReductionBringsAPointOntoTheReducedSurface) {
  use_material(1, 4, {{7, 200000.0f}, {8, 0.3f}, {10, 10.0f}, {11, 20.0f}, {14, -1.0f}, {27, -1.0f},
                      {28, 1.0f}, {29, 0.1f}});
  start_point(kSolid);
  pt().vec[0] = {-100.0, -60.0, -20.0, 0, 0, 0};  // theta = 0: f = 40 - 60 sin phi_r
  sigcom().KITER = 0;
  strain({0, 0, 0, 0, 0, 0});
  const double f_factor = 1.1, phi_r = std::atan(std::tan(20.0 * 3.14159265359 / 180.0) / f_factor);
  const double k = 10.0 / f_factor * std::cos(phi_r);
  double f = 0.0;
  EFFSIG(4, pt().vec[0], f);
  EXPECT_NEAR(f, k, 1e-5 * k);
  EXPECT_NEAR(pt().scalar, f, 1e-12);
  EXPECT_EQ(flag(), 1);
  EXPECT_EQ(sigcom().KITER, -1);
  EXPECT_GT(sig(0), -100.0);  // the compression it cannot carry is shed
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(pt().vec[2][i], 0.0, 1e-15) << i;
    EXPECT_NEAR(pt().vec[1][i] + eps_p(i), 0.0, 1e-15) << i;
  }
}

TEST_F(ElmsigTest, FirstYieldAtNinetyNineNinetyNineNinePercent) {
  // Rod of E = 1: the trial stress is the strain.
  for (const auto& [f_trial, plastic] : {std::pair{0.99999 * (1.0 + 1e-9), true},
                                        std::pair{0.99999 * (1.0 - 1e-7), false}}) {
    use_material(1, 3, {{7, 1.0f}, {13, 100.0f}, {14, -1.0f}, {27, -1.0f}});
    start_point(kRod);
    strain({100.0 * f_trial / (1.73205080757 / std::sqrt(3.0)), 0, 0, 0, 0, 0});
    EXPECT_EQ(flag(), plastic ? 1 : 0) << f_trial;
    EXPECT_EQ(pt().sw[1], plastic ? 1 : 0);
    EXPECT_NEAR(sig(), 100.0 * f_trial, 1e-6);  // below k the whole increment stays elastic
  }
}

// A plastic point on the surface (200) unloads: in the first solution of a
// step the flag clears and a reversal above 5 % re-executes the step; in an
// iteration the point stays plastic.
TEST_F(ElmsigTest, UnloadingRule) {
  struct Case {
    double dsigma;
    word niter;
    word flag;
    word krerun;
    double sigma;
  };
  const Case cases[] = {
      {-8.0, 0, 0, 0, 192.0},
      {-12.0, 0, 0, -1, 188.0},
      {-12.0, 1, 1, 0, 200.0},  // perfectly plastic tangent: no change
  };
  for (const Case& c : cases) {
    vm_rod(0.0f);
    pt().vec[0][0] = 200.0;
    pt().vec[1][0] = 0.001;
    pt().blk.b2.iv[0] = 1;
    stpctr().NITER = c.niter;
    sigcom().KRERUN = 0;
    strain({c.dsigma / kE, 0, 0, 0, 0, 0});
    EXPECT_EQ(flag(), c.flag) << c.dsigma << " " << c.niter;
    EXPECT_EQ(sigcom().KRERUN, c.krerun);
    EXPECT_NEAR(sig(), c.sigma, 1e-9);
  }
}

TEST_F(ElmsigTest, ApexTakesTheElasticTangent) {
  use_material(1, 2, {{7, 1000.0f}, {10, 10.0f}, {11, 30.0f}, {14, -1.0f}, {27, -1.0f}});
  pt().vec[0] = {5, 5, 5, 0, 0, 0};
  pt().blk.b2.iv[0] = 1;
  strain({0.001, 0, 0, 0, 0, 0});
  EXPECT_NEAR(sig(), 5.0 + 1.0, 1e-12);  // nu = 0: De = E on the normals
  EXPECT_NEAR(sig(1), 5.0, 1e-12);
  EXPECT_NEAR(eps_p(), 0.0, 1e-15);
}

TEST_F(ElmsigTest, K0RuleOfTheFirstStep) {
  struct Case {
    const char* what;
    word kind;
    ClassOf c;
    word nstepc;
    bool applies;
  };
  const Case cases[] = {
      {"solid, step 1", 0, kSolid, 1, true},
      {"plane, step 1", 1, kPlane, 1, true},
      {"step 2", 0, kSolid, 2, false},
      {"stress-ratio kind", 7, kSolid, 1, false},
      {"shell components are not global normals", 0, kShell, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    use_material(c.kind, 3,
                 {{7, 1000.0f}, {8, 0.2f}, {13, 1.0e9f}, {14, -1.0f}, {26, 0.5f}, {27, -1.0f}, {28, 0.01f}});
    start_point(c.c);
    load_words().IGRAV = 2;
    stpctr().NSTEPC = c.nstepc;
    strain({0.0, -0.001, 0, 0, 0, 0});
    const double sy = sig(1);
    if (c.applies) {
      EXPECT_NEAR(sig(0), 0.5 * sy, 1e-12);
      EXPECT_NEAR(sig(2), 0.5 * sy, 1e-12);
      for (int i = 0; i < 6; ++i) EXPECT_EQ(pt().vec[1][i] + pt().vec[2][i], 0.0);
    } else {
      EXPECT_NE(sig(0), 0.5 * sy);
      EXPECT_EQ(pt().vec[2][1], -0.001);
    }
  }
}

// F1 = (2 c cos phi + (s1 + s3) sin phi)/(s1 - s3) with c = 10, phi = 30 at
// s1 = 200, s3 = 100 (compression positive): 1.6732; the criterion's own
// strength reduction does not enter.
TEST_F(ElmsigTest, LocalSafetyFactor) {
  struct Case {
    const char* what;
    word kind, iyield, mask;
    ClassOf c;
    float cohesion, sfsigt;
    Vec6 stress;
    double factor;  // < 0: none recorded
    bool tension_governs;
  };
  const Case cases[] = {
      {"strength-reduction criterion", 1, 4, 24, kSolid, 10.0f, -1.0f, {-200, -100, -150, 0, 0, 0}, 1.6732050808,
       false},
      {"equal extreme values", 0, 0, 24, kSolid, 10.0f, -1.0f, {-50, -50, -50, 0, 0, 0}, 10.0, false},
      {"tension strength governs", 0, 0, 24, kSolid, 50.0f, 10.0f, {-40, 5, -10, 0, 0, 0}, 55.0 / 45.0, true},
      {"plane strain", 0, 0, 24, kPlane, 10.0f, -1.0f, {-200, -100, -150, 0, 0, 0}, 1.6732050808, false},
      {"friction angle not given", 0, 0, 8, kSolid, 10.0f, -1.0f, {-200, -100, -150, 0, 0, 0}, -1.0, false},
      {"rod", 0, 0, 24, kRod, 10.0f, -1.0f, {-200, 0, 0, 0, 0, 0}, -1.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    use_material(c.kind, c.iyield,
                 {{7, 1000.0f}, {10, c.cohesion}, {11, 30.0f}, {14, -1.0f}, {27, c.sfsigt}, {28, 1.3f}}, {},
                 c.mask);
    start_point(c.c);
    pt().vec[0] = c.stress;
    strain({});
    if (c.factor < 0.0) {
      EXPECT_EQ(pt().sw[0], 0);
      EXPECT_EQ(pt().blk.b1.v[4], 0.0);
      continue;
    }
    EXPECT_EQ(pt().sw[0], 1);
    EXPECT_NEAR(pt().blk.b1.v[4], c.factor, 1e-9);
    EXPECT_EQ(pt().blk.b7[1], c.tension_governs ? -1.0 : 0.0);
    EXPECT_EQ(pt().sw[6], c.tension_governs ? 1 : 0);
  }
}

TEST_F(ElmsigTest, TemperatureStrainIsFreeAndAccumulates) {
  use_material(0, 0, {{7, 1000.0f}, {8, 0.25f}, {14, -1.0f}, {27, -1.0f}});
  const Vec6 dt{1e-3, 1e-3, 1e-3, 0, 0, 0};
  strain(dt, 10.0, dt);
  strain({2e-3, 1e-3, 1e-3, 0, 0, 0}, 10.0, dt);
  EXPECT_NEAR(sig(0), 1000.0 * 1e-3 * 0.75 / (1.25 * 0.5), 1e-9);  // (1 - nu) E/((1 + nu)(1 - 2 nu)) 1e-3
  EXPECT_NEAR(pt().vec[2][0], 3e-3, 1e-15);
  EXPECT_NEAR(pt().vec[1][1], 0.0, 1e-15);
  EXPECT_EQ(pt().sw[2], 1);
  EXPECT_EQ(pt().blk.b3.s, 20.0);
  EXPECT_NEAR(pt().blk.b3.v[2], 2e-3, 1e-15);
}

TEST_F(ElmsigTest, ModulusRecordOfAModelWithAHyperbolicMaterial) {
  ifpflg().IFPDUN = -1;
  use_material(1, 3, {{7, 1234.0f}, {8, 0.3f}, {13, 100.0f}, {14, -1.0f}, {27, -1.0f}});
  strain({1e-4, 0, 0, 0, 0, 0});
  EXPECT_EQ(pt().blk.b1.v[3], 1234.0);
  EXPECT_EQ(pt().blk.b7[0], static_cast<double>(0.3f));
  EXPECT_EQ(pt().sw[6], 1);
  EXPECT_EQ(pt().sw[5], 1);  // the material kind
}

// De is formed once per element for the elasto-plastic kinds, its inverse
// once a point needs it; a new element (flag -1) forms them again.
TEST_F(ElmsigTest, ElasticMatrixCachePerElement) {
  vm_rod(0.0f);
  strain({1e-4, 0, 0, 0, 0, 0});
  EXPECT_EQ(sigcom().KDECHE, 0);
  matcom().w(7) = 100000.0f;  // a later point of the same element keeps the element's De
  start_point(kRod);
  sigcom().KDECHE = 0;
  strain({1e-4, 0, 0, 0, 0, 0});
  EXPECT_NEAR(sig(), 20.0, 1e-12);
  strain({1e-2, 0, 0, 0, 0, 0});  // first yield needs the inverse
  EXPECT_EQ(sigcom().KDECHE, 1);
  start_point(kRod);  // next element
  strain({1e-4, 0, 0, 0, 0, 0});
  EXPECT_NEAR(sig(), 10.0, 1e-12);
}

TEST_F(ElmsigTest, StressRatioKindFollowsItsState) {
  use_material(7, 1, {{7, 1000.0f}, {10, 1.0f}, {11, 30.0f}, {14, -1.0f}, {28, 0.01f}});
  strain({0.01, 0, 0, 0, 0, 0});  // state 0: elastic whatever the stress
  EXPECT_EQ(flag(), 0);
  EXPECT_EQ(pt().sw[0], 1);
  start_point(kSolid);
  pt().sw[11] = 1;  // failed: the point yields
  strain({-0.001, 0, 0, 0, 0, 0});
  EXPECT_EQ(flag(), 1);
  strain({-0.001, 0, 0, 0, 0, 0});
  EXPECT_EQ(pt().sw[11], 2);  // loading
  strain({0.0005, 0, 0, 0, 0, 0});
  EXPECT_EQ(pt().sw[11], 3);  // unloaded
  EXPECT_EQ(flag(), 0);
}

// Plane-stress classes rescale the rest of a first-yield increment through
// the inverse tangent, which perfect plasticity makes singular: the rest is
// then taken as it is, with the tangent at the yield point, and the point
// brought back onto the surface. A membrane reaches yield at (200, 0, 0),
// goes on along the tangent of the von Mises surface there and ends on it.
TEST_F(ElmsigTest, PerfectlyPlasticMembraneAndShellYield) {
  use_material(1, 3, {{7, 200000.0f}, {8, 0.3f}, {13, 200.0f}, {14, -1.0f}, {27, -1.0f}});
  start_point(kMembrane);
  strain({0.002, -static_cast<double>(0.3f) * 0.002, 0, 0, 0, 0});  // uniaxial stress
  EXPECT_GT(sig(1), 1.0);
  // On the surface of plane stress: sx^2 - sx sy + sy^2 = 200^2.
  EXPECT_NEAR(std::sqrt(sig(0) * sig(0) - sig(0) * sig(1) + sig(1) * sig(1)), 200.0, 1e-4);
  EXPECT_NEAR(sig(2), 0.0, 1e-12);
  EXPECT_EQ(flag(), 1);
  start_point(kShell);
  strain({0.002, 0.001, 0.0005, 0, 0, 0});
  EXPECT_EQ(flag(), 1);
  EXPECT_NEAR(pt().scalar, 200.0, 1e-4);
}

void singular_elastic_matrix() {
  eivwka().blk.b2.iv[0] = 1;
  eivwka().vec[0] = {10, 0, 0, 0, 0, 0};
  eivwkb().vec[2] = {1e-3, 0, 0, 0, 0, 0};
  ELMSIG();
}

TEST_F(ElmsigTest, ElasticMatrixWithoutInverseEndsTheRun) {
  use_material(1, 3, {{7, 0.0f}, {13, 5.0f}, {14, -1.0f}, {27, -1.0f}});
  start_point(kRod);
  EXPECT_NE(fatal_log(*fs, singular_elastic_matrix).find("4120"), std::string::npos);
}

}  // namespace
}  // namespace zephsol::test
