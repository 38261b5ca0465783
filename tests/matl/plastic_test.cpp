// Flow vectors against finite differences of the yield functions in every
// stress layout, the Mohr-Coulomb corner and hydrostatic forms, and the
// identities of the plastic tangent.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "support/matfix.h"
#include "zephsol/exec/packed.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {
namespace {

using test::load_table;
using test::material;
using Vec6 = std::array<double, 6>;
using Vec = std::vector<double>;

constexpr double kPi = 3.14159265358979323846;

// Invariants of a full stress (sx, sy, sz, txy, tyz, tzx) from the tensor.
struct Inv {
  double i1, j2, j3;
};
Inv inv(const Vec6& s) {
  const double m = (s[0] + s[1] + s[2]) / 3;
  const double a = s[0] - m, b = s[1] - m, c = s[2] - m;
  const double j2 = (a * a + b * b + c * c) / 2 + s[3] * s[3] + s[4] * s[4] + s[5] * s[5];
  const double det = a * b * c + 2 * s[3] * s[4] * s[5] - a * s[4] * s[4] - b * s[5] * s[5] - c * s[3] * s[3];
  return {3 * m, j2, det};
}

double lode(const Inv& v) {
  return std::asin(std::clamp(-1.5 * std::sqrt(3.0) * v.j3 / std::pow(v.j2, 1.5), -1.0, 1.0)) / 3;
}

double von_mises(const Vec6& s, double) { return std::sqrt(3 * inv(s).j2); }
double drucker_prager(const Vec6& s, double phi) {
  const double sp = std::sin(phi);
  return 2 * sp / (std::sqrt(3.0) * (3 - sp)) * inv(s).i1 + std::sqrt(inv(s).j2);
}
double mohr_coulomb(const Vec6& s, double phi) {
  const Inv v = inv(s);
  const double th = lode(v), sp = std::sin(phi);
  return v.i1 * sp / 3 + std::sqrt(v.j2) * (std::cos(th) - std::sin(th) * sp / std::sqrt(3.0));
}
double root_j2(const Vec6& s, double) { return std::sqrt(inv(s).j2); }

// Stress layouts: class, element type, components and their places in the full stress.
struct Layout {
  word iclass, iecod;
  std::vector<int> pos;
};
const Layout kLayouts[] = {
    {3, 1, {0, 1, 2, 3, 4, 5}},  // solid
    {5, 11, {0, 1, 2, 3}},       // plane strain
    {4, 3, {0, 1, 2, 3}},        // axisymmetric
    {2, 9, {0, 1, 3}},           // membrane
    {7, 7, {0, 1, 3, 4, 5}},     // shell
    {6, 26, {0, 3, 5}},          // section beam
};

Vec6 expand(const Layout& l, const Vec& s) {
  Vec6 f{};
  for (std::size_t i = 0; i < l.pos.size(); ++i) f[static_cast<std::size_t>(l.pos[i])] = s[i];
  return f;
}

// Central differences of f over the layout's components.
Vec gradient(double (*f)(const Vec6&, double), double phi, const Layout& l, const Vec& s) {
  Vec g(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double h = 1e-6 * std::max(1.0, std::fabs(s[i]));
    Vec p = s, m = s;
    p[i] += h;
    m[i] -= h;
    g[i] = (f(expand(l, p), phi) - f(expand(l, m), phi)) / (2 * h);
  }
  return g;
}

class FlowVector : public test::MatlTest {
 protected:
  void criterion(word iyield, float phi_deg, float factor = 0.f) {
    load_table({material(10, 1, iyield, 0, {{mw::PHAI, phi_deg}, {mw::C, 10.f}, {mw::SSRSTA, factor}})});
    MATSEL(10, 0, 1);
  }
  void layout(const Layout& l) {
    elem.ICLASS = l.iclass;
    elem.IECOD = l.iecod;
    elem.NS = static_cast<word>(l.pos.size());
  }
  Vec flow(const Vec& s) {
    Vec a(s.size(), -99.0);
    DFDSIG(s, a);
    return a;
  }
  static void expect_near(const Vec& a, const Vec& b, double tol) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tol) << "component " << i;
  }
};

const std::vector<Vec6> kStresses{
    {30.0, -10.0, 5.0, 12.0, -4.0, 7.0},
    {-80.0, -120.0, -95.0, 3.0, 15.0, -9.0},
    {1.0, 2.0, -3.0, 0.5, 0.25, -0.75},
};

Vec restrict(const Layout& l, const Vec6& s) {
  Vec r;
  for (const int p : l.pos) r.push_back(s[static_cast<std::size_t>(p)]);
  return r;
}

TEST_F(FlowVector, VonMisesAndDruckerPragerMatchTheirYieldFunctions) {
  const double phi = 30.f * 3.14159265359 / 180;
  struct Crit {
    word iyield;
    double (*f)(const Vec6&, double);
  };
  for (const Crit c : {Crit{3, von_mises}, Crit{2, drucker_prager}}) {
    criterion(c.iyield, 30.f);
    for (const Layout& l : kLayouts) {
      layout(l);
      for (const Vec6& s6 : kStresses) {
        SCOPED_TRACE(::testing::Message() << "criterion " << c.iyield << " class " << l.iclass);
        const Vec s = restrict(l, s6);
        expect_near(flow(s), gradient(c.f, phi, l, s), 1e-6);
      }
    }
  }
}

TEST_F(FlowVector, DruckerPragerOuterConeCoefficient) {
  criterion(2, 30.f);
  layout(kLayouts[0]);
  const Vec a = flow({0, 0, 0, 5.0, 0, 0});  // pure shear: a2 = (0, 0, 0, 1, 0, 0)
  EXPECT_NEAR(a[0], 1 / (1.73205080757 * 2.5), 1e-9);
  EXPECT_NEAR(a[3], 1 + 0.0, 1e-12);
}

// A stress with principal values (p + 1, p, p - 1), J3 = 0 (Lode angle 0), in rotated axes.
Vec6 lode_zero_stress(double p, double alpha, double beta) {
  const double ca = std::cos(alpha), sa = std::sin(alpha), cb = std::cos(beta), sb = std::sin(beta);
  const double r[3][3] = {{ca * cb, -sa, ca * sb}, {sa * cb, ca, sa * sb}, {-sb, 0, cb}};
  const double d[3] = {p + 1, p, p - 1};
  double t[3][3]{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) t[i][j] += r[i][k] * d[k] * r[j][k];
  return {t[0][0], t[1][1], t[2][2], t[0][1], t[1][2], t[2][0]};
}

TEST_F(FlowVector, MohrCoulombAtLodeAngleZero) {
  layout(kLayouts[0]);
  for (const word iyield : {1, 4}) {
    criterion(iyield, 30.f, 1.5f);
    // With strength reduction the angle is atan(tan phi / F).
    const double phi0 = 30.f * 3.14159265359 / 180;
    const double phi = iyield == 4 ? std::atan(std::tan(phi0) / 1.5f) : phi0;
    for (const auto& [p, a, b] : {std::array<double, 3>{-20.0, 0.3, 0.7}, {5.0, 1.1, -0.4}}) {
      SCOPED_TRACE(::testing::Message() << "criterion " << iyield << " p " << p);
      const Vec6 s6 = lode_zero_stress(p, a, b);
      ASSERT_NEAR(inv(s6).j3, 0.0, 1e-12);
      const Vec s(s6.begin(), s6.end());
      expect_near(flow(s), gradient(mohr_coulomb, phi, kLayouts[0], s), 1e-6);
    }
  }
}

// The deviatoric third invariant, det(s'), of a full stress.
double j3(const Vec6& s, double) { return inv(s).j3; }

TEST_F(FlowVector, MohrCoulombAwayFromTheCorners) {
  // a = C1 a1 + C2 a2 + C3 a3 with C3 carrying cos 3theta as a factor; a2 and a3 by
  // differences of sqrt(J2) and det(s'), theta from the invariants.
  criterion(1, 30.f);
  const double sp = std::sin(30.f * 3.14159265359 / 180), r3 = 1.73205080757;
  for (const Layout& l : kLayouts) {
    layout(l);
    int checked = 0;
    for (const Vec6& s6 : kStresses) {
      SCOPED_TRACE(::testing::Message() << "class " << l.iclass);
      const Vec s = restrict(l, s6);
      const Inv v = inv(expand(l, s));
      const double th = lode(v);
      if (std::fabs(th) * 180 / kPi >= 28.0) continue;  // the corner form, tested below
      ++checked;
      const double t = std::tan(th), t3 = std::tan(3 * th);
      const double c2 = std::cos(th) * ((1 + t * t3) + sp * (t3 - t) / r3);
      const double c3 = std::cos(3 * th) * (r3 * std::sin(th) + std::cos(th) * sp) / (2 * v.j2);
      const Vec a2 = gradient(root_j2, 0, l, s), a3 = gradient(j3, 0, l, s);
      Vec expected(s.size());
      for (std::size_t i = 0; i < s.size(); ++i)
        expected[i] = (l.pos[i] < 3 ? sp / 3 : 0.0) + c2 * a2[i] + c3 * a3[i];
      expect_near(flow(s), expected, 1e-6);
    }
    EXPECT_GE(checked, 2) << "class " << l.iclass;
  }
}

TEST_F(FlowVector, MohrCoulombNearACorner) {
  // Principal deviatoric values of Lode angle 29.5 degrees (sin 3theta = -(3 sqrt3/2) J3/J2^1.5).
  criterion(1, 30.f);
  layout(kLayouts[0]);
  for (const double deg : {29.5, -29.5}) {
    const double th = deg * kPi / 180, r = 2 / std::sqrt(3.0) * 4.0;
    Vec s{r * std::sin(th + 2 * kPi / 3) - 50, r * std::sin(th) - 50, r * std::sin(th - 2 * kPi / 3) - 50, 0, 0, 0};
    ASSERT_NEAR(lode(inv({s[0], s[1], s[2], 0, 0, 0})) * 180 / kPi, deg, 1e-9);
    const double c1 = std::sin(30.f * 3.14159265359 / 180) / 3;
    const double c2 = 1.73205080757 / 2 * (deg > 0 ? 1 - c1 : 1 + c1);
    const Vec a2 = gradient(root_j2, 0, kLayouts[0], s);
    Vec expected(6);
    for (std::size_t i = 0; i < 6; ++i) expected[i] = (i < 3 ? c1 : 0.0) + c2 * a2[i];
    expect_near(flow(s), expected, 1e-7);
  }
}

TEST_F(FlowVector, HydrostaticStressGivesAFiniteVector) {
  layout(kLayouts[0]);
  const double c1 = std::sin(30.f * 3.14159265359 / 180) / 3;
  criterion(1, 30.f);
  expect_near(flow({-50, -50, -50, 0, 0, 0}), {c1, c1, c1, 0, 0, 0}, 1e-15);
  // Just off the axis (J2 = 3e-12): no J3 term, the Lode angle taken as 0, so
  // a = C1 a1 + a2 with a2 = s' / (2 sqrt J2).
  const Vec a = flow({2e-6, -1e-6, -1e-6, 0, 0, 0});
  const double h = 0.5 / std::sqrt(3e-12);
  expect_near(a, {c1 + 2e-6 * h, c1 - 1e-6 * h, c1 - 1e-6 * h, 0, 0, 0}, 1e-9);
  criterion(3, 0.f);
  expect_near(flow({7, 7, 7, 0, 0, 0}), {0, 0, 0, 0, 0, 0}, 0.0);
}

TEST_F(FlowVector, UnknownCriterionEndsTheRun) {
  criterion(5, 30.f);
  layout(kLayouts[0]);
  const auto out = test::fatal_output([&] { flow({1, 2, 3, 4, 5, 6}); });
  EXPECT_TRUE(test::has_message(out.errors, 4071)) << out.errors;
}

class PlasticTangent : public FlowVector {
 protected:
  std::array<double, 21> de{}, dp{};
  int n = 0;
  void elastic(const Layout& l) {
    layout(l);
    n = static_cast<int>(l.pos.size());
    load_table({material(10, 1, 1, 0, {{mw::E, 1000.f}, {mw::NU, 0.3f}})});
    MATSEL(10, 0, 1);
    ELAMAT(de);
  }
  // x^T M y of packed M.
  double form(const std::array<double, 21>& m, const Vec& x, const Vec& y) const {
    double r = 0;
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j) r += x[i - 1] * m[packed_index(i, j, n)] * y[j - 1];
    return r;
  }
};

TEST_F(PlasticTangent, FlowDirectionIdentities) {
  for (const Layout& l : {kLayouts[0], kLayouts[1], kLayouts[3]}) {
    for (const word iyield : {1, 2, 3}) {
      for (const float hdash : {0.f, 250.f}) {
        SCOPED_TRACE(::testing::Message() << "class " << l.iclass << " criterion " << iyield << " H " << hdash);
        elastic(l);
        matcom().IYIELD = iyield;
        matcom().w(mw::PHAI) = 25.f;
        matcom().w(mw::HDASH) = hdash;
        const Vec s = restrict(l, kStresses[0]);
        PLSMTX(de, s, 0.01, dp);
        const Vec a = flow(s);
        std::array<double, 21> t{};
        for (std::size_t i = 0; i < 21; ++i) t[i] = de[i] + dp[i];
        const double q = form(de, a, a);
        // (De + Dp) a = 0 for perfect plasticity; a^T (De + Dp) a = H q / (H + q) with hardening.
        EXPECT_NEAR(form(t, a, a), hdash * q / (hdash + q), 1e-9 * q);
        if (hdash == 0.f) {
          for (int i = 0; i < n; ++i) {
            Vec e(static_cast<std::size_t>(n), 0.0);
            e[static_cast<std::size_t>(i)] = 1;
            EXPECT_NEAR(form(t, e, a), 0.0, 1e-9 * q);
          }
        }
      }
    }
  }
}

TEST_F(PlasticTangent, ZeroFlowVectorGivesNoCorrection) {
  for (const float hdash : {0.f, 10.f}) {
    elastic(kLayouts[0]);
    matcom().IYIELD = 3;
    matcom().w(mw::HDASH) = hdash;
    dp.fill(-99.0);
    PLSMTX(de, Vec{-5, -5, -5, 0, 0, 0}, 0.0, dp);
    for (int i = 0; i < 21; ++i) EXPECT_EQ(dp[static_cast<std::size_t>(i)], 0.0) << "H " << hdash;
  }
}

TEST_F(PlasticTangent, StoresTheComponentCount) {
  elastic(kLayouts[5]);  // the section beam works with 3 components, not the class's 6
  elem.NS = 0;
  matcom().IYIELD = 3;
  PLSMTX(de, Vec{10, 2, 3}, 0.0, dp);
  EXPECT_EQ(elem.NS, 3);
  elastic(kLayouts[1]);
  elem.NS = 0;
  PLSMTX(de, Vec{10, 2, 3, 4}, 0.0, dp);
  EXPECT_EQ(elem.NS, 4);
}

}  // namespace
}  // namespace zephsol
