// Elastic matrices of every element class against their compliances, the
// orthotropic solid, the shear factors, the substitute moduli, the class
// errors, and the elastic-matrix cache of the tangent matrix.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "support/matfix.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {
namespace {

using test::load_table;
using test::material;
using Dense = std::vector<double>;

Dense product(const Dense& a, const Dense& b, int n) {
  Dense c(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) c[i * n + j] += a[i * n + k] * b[k * n + j];
  return c;
}

void expect_identity(const Dense& a, int n, double tol) {
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) EXPECT_NEAR(a[i * n + j], i == j ? 1.0 : 0.0, tol) << "(" << i << "," << j << ")";
}

// Compliance of an isotropic layout: a normal block of 1, 2 or 3 components
// (1/E on the diagonal, -nu/E off it), then shears 1/(k G).
Dense compliance(double e, double nu, int normals, const std::vector<double>& shear_factors) {
  const int n = normals + static_cast<int>(shear_factors.size());
  Dense c(static_cast<std::size_t>(n * n), 0.0);
  for (int i = 0; i < normals; ++i)
    for (int j = 0; j < normals; ++j) c[i * n + j] = (i == j ? 1.0 : -nu) / e;
  const double g = e / (2 * (1 + nu));
  for (int s = 0; s < static_cast<int>(shear_factors.size()); ++s) {
    const int i = normals + s;
    c[i * n + i] = 1.0 / (shear_factors[s] * g);
  }
  return c;
}

class ElasticMatrix : public test::MatlTest {
 protected:
  std::array<double, 21> d{};
  void select(std::initializer_list<std::pair<int, float>> reals, word kind = 1, word ortho = 0) {
    load_table({material(10, kind, 1, ortho, reals)});
    MATSEL(10, 0, 1);
  }
  Dense with_class(word iclass, int n) {
    elem.ICLASS = iclass;
    elem.NS = n;
    d.fill(-99.0);
    ELAMAT(d);
    return test::unpack(d.data(), n);
  }
};

TEST_F(ElasticMatrix, InvertsTheComplianceOfEveryIsotropicClass) {
  const double e = 2.6e4, nu = 0.3;
  select({{mw::E, static_cast<float>(e)}, {mw::NU, static_cast<float>(nu)}});
  const double k7 = 0.8333333333333334, k11 = static_cast<double>(0.8333333f);
  struct Case {
    word iclass;
    int normals;
    std::vector<double> shear;
  };
  const Case cases[] = {{1, 1, {}},        {2, 2, {1}},           {3, 3, {1, 1, 1}}, {4, 3, {1}},
                        {5, 3, {1}},       {6, 1, {1, 1}},        {7, 2, {1, k7, k7}}, {8, 2, {}},
                        {9, 2, {1}},       {11, 2, {k11}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iclass);
    const int n = c.normals + static_cast<int>(c.shear.size());
    const Dense dd = with_class(c.iclass, n);
    const float ef = static_cast<float>(e), nf = static_cast<float>(nu);  // the REAL words
    expect_identity(product(dd, compliance(ef, nf, c.normals, c.shear), n), n, 1e-12);
  }
}

TEST_F(ElasticMatrix, ShearFactorsInDoubleAndSinglePrecision) {
  select({{mw::E, 1.f}, {mw::NU, 0.f}});
  const Dense shell = with_class(7, 5);
  EXPECT_EQ(shell[3 * 5 + 3], 0.8333333333333334 * 0.5);
  EXPECT_EQ(shell[4 * 5 + 4], 0.8333333333333334 * 0.5);
  EXPECT_EQ(shell[2 * 5 + 2], 0.5);
  const Dense membrane = with_class(11, 3);
  EXPECT_EQ(membrane[2 * 3 + 2], 0.5 * 0.8333333134651184);
}

TEST_F(ElasticMatrix, OrthotropicSolid) {
  select({{mw::E1, 10.f}, {mw::NU12, 0.2f}, {mw::E2, 5.f}, {mw::E3, 2.f}, {mw::NU23, 0.25f}, {mw::NU31, 0.1f},
          {mw::G12, 3.f}, {mw::G23, 2.f}, {mw::G31, 1.f}},
         0, 1);
  const Dense dd = with_class(3, 6);
  // Compliance with S12 = -nu12/E1, S23 = -nu23/E2, S13 = -nu31/E3.
  const double e1 = 10, e2 = 5, e3 = 2, n12 = 0.2f, n23 = 0.25f, n31 = 0.1f;
  Dense s(36, 0.0);
  s[0] = 1 / e1, s[7] = 1 / e2, s[14] = 1 / e3;
  s[1] = s[6] = -n12 / e1;
  s[8] = s[13] = -n23 / e2;
  s[2] = s[12] = -n31 / e3;
  s[21] = 1 / 3.0, s[28] = 1 / 2.0, s[35] = 1 / 1.0;
  expect_identity(product(dd, s, 6), 6, 1e-6);
  EXPECT_NEAR(dd[0], 10.8938547486, 1e-6);
  EXPECT_NEAR(dd[1], 1.3966480447, 1e-6);
  EXPECT_NEAR(dd[2], 1.2290502793, 1e-6);
  EXPECT_NEAR(dd[7], 5.3072625698, 1e-6);
  EXPECT_NEAR(dd[8], 0.6703910615, 1e-6);
  EXPECT_NEAR(dd[14], 2.1899441341, 1e-6);

  // Axisymmetric and plane strain: the normal block of the solid and G12.
  const Dense ax = with_class(4, 4);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(ax[i * 4 + j], dd[i * 6 + j]);
  EXPECT_EQ(ax[15], 3.0);
  EXPECT_EQ(ax[3], 0.0);
}

TEST_F(ElasticMatrix, SubstituteModuliOfSolidPoints) {
  // ENT and NUNT replace E = 1000 and nu = 0.3 only at a point cut by the
  // no-tension correction (mark < 0), of a solid class, with both given.
  struct Case {
    const char* what;
    double mark;
    float ent, nunt;
    word iclass;
    int normals, shears;
    double e, nu;
  };
  const Case cases[] = {
      {"cut solid point", -10.0, 100.f, 0.1f, 3, 3, 3, 100.0, 0.1f},
      {"cut axisymmetric point", -10.0, 100.f, 0.1f, 4, 3, 1, 100.0, 0.1f},
      {"plane stress class", -10.0, 100.f, 0.1f, 2, 2, 1, 1000.0, 0.3f},
      {"no substitute modulus", -10.0, 0.f, 0.1f, 5, 3, 1, 1000.0, 0.3f},
      {"no substitute ratio", -10.0, 100.f, 0.f, 3, 3, 3, 1000.0, 0.3f},
      {"uncut point", 0.0, 100.f, 0.1f, 4, 3, 1, 1000.0, 0.3f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    point.B1[3] = c.mark;
    select({{mw::E, 1000.f}, {mw::NU, 0.3f}, {mw::ENT, c.ent}, {mw::NUNT, c.nunt}});
    const int n = c.normals + c.shears;
    const Dense dd = with_class(c.iclass, n);
    expect_identity(product(dd, compliance(c.e, c.nu, c.normals, std::vector<double>(c.shears, 1.0)), n), n, 1e-12);
  }
}

TEST_F(ElasticMatrix, FailedPointOfTheReducedModulusKind) {
  // c = 10, phi = 30: s1 = 400, s3 = 100 has reached the strength.
  select({{mw::E, 1000.f}, {mw::NU, 0.3f}, {mw::C, 10.f}, {mw::PHAI, 30.f}, {mw::EMIN, 50.f}, {mw::NUMAX, 0.45f}},
         5);
  point.SW[0] = 1;
  point.B1[0] = 400.0, point.B1[1] = 100.0;
  expect_identity(product(with_class(3, 6), compliance(50.0, 0.45f, 3, {1, 1, 1}), 6), 6, 1e-12);
  point.B1[0] = 300.0;
  expect_identity(product(with_class(3, 6), compliance(1000.0, 0.3f, 3, {1, 1, 1}), 6), 6, 1e-12);
}

TEST_F(ElasticMatrix, ClassesWithoutAnElasticMatrixEndTheRun) {
  select({{mw::E, 1.f}});
  const std::pair<word, word> cases[] = {{10, 8015}, {12, 4040}, {0, 4040}};
  for (const auto& [iclass, code] : cases) {
    SCOPED_TRACE(iclass);
    const auto out = test::fatal_output([&] {
      elem.ICLASS = iclass;
      ELAMAT(d);
    });
    EXPECT_TRUE(test::has_message(out.errors, code)) << out.errors;
  }
}

class TangentCache : public ElasticMatrix {
 protected:
  double tangent_d11() {
    d.fill(-99.0);
    STPMTX(d);
    return d[0];
  }
};

TEST_F(TangentCache, ElasticKindsFormTheMatrixOncePerElement) {
  select({{mw::E, 1000.f}, {mw::NU, 0.f}});
  sigcom().KDECHE = -1;  // start of an element
  EXPECT_DOUBLE_EQ(tangent_d11(), 1000.0);
  EXPECT_EQ(sigcom().KDECHE, 0);
  matcom().w(mw::E) = 2000.f;
  EXPECT_DOUBLE_EQ(tangent_d11(), 1000.0);  // later points take the cached matrix
  sigcom().KDECHE = -1;                      // the next element
  EXPECT_DOUBLE_EQ(tangent_d11(), 2000.0);
}

TEST_F(TangentCache, StressRatioKindKeepsThePointModulusOfTheElement) {
  // E follows s3 (U + V s3); the cache keeps the first point's modulus.
  select({{mw::NU, 0.f}, {mw::U, 100.f}, {mw::V, 10.f}, {mw::W, 1.f}, {mw::EPS, 0.01f}, {mw::C, 1000.f}}, 7);
  point.SW[0] = 1;
  point.B1[0] = point.B1[1] = 10.0;
  sigcom().KDECHE = -1;
  EXPECT_DOUBLE_EQ(tangent_d11(), 200.0);
  point.B1[0] = point.B1[1] = 20.0;
  EXPECT_DOUBLE_EQ(tangent_d11(), 200.0);
  sigcom().KDECHE = -1;
  EXPECT_DOUBLE_EQ(tangent_d11(), 300.0);
}

TEST_F(TangentCache, PointDependentKindsFormTheMatrixAtEveryPoint) {
  select({{mw::E, 1000.f}, {mw::NU, 0.f}, {mw::C, 10.f}, {mw::PHAI, 30.f}, {mw::EMIN, 50.f}, {mw::NUMAX, 0.f}}, 5);
  point.SW[0] = 1;
  point.B1[0] = 300.0, point.B1[1] = 100.0;
  sigcom().KDECHE = 0;  // a cache flag that would keep any matrix
  EXPECT_DOUBLE_EQ(tangent_d11(), 1000.0);
  point.B1[0] = 400.0;  // this point has failed
  EXPECT_DOUBLE_EQ(tangent_d11(), 50.0);
  EXPECT_EQ(sigcom().KDECHE, 0);
}

TEST_F(TangentCache, PlasticPointAddsThePlasticCorrection) {
  // Perfect von Mises plasticity: the tangent has the flow direction in its null space.
  select({{mw::E, 1000.f}, {mw::NU, 0.25f}}, 1);
  matcom().IYIELD = 3;
  point.SIG = {30.0, -10.0, 5.0, 12.0, -4.0, 7.0};
  point.B2I[0] = 1;
  sigcom().KDECHE = -1;
  STPMTX(d);
  const Dense t = test::unpack(d.data(), 6);
  const double j2 = (std::pow(30 - 25 / 3.0, 2) + std::pow(-10 - 25 / 3.0, 2) + std::pow(5 - 25 / 3.0, 2)) / 2 +
                    144 + 16 + 49;
  const double h = 0.5 / std::sqrt(j2);
  const double m = 25.0 / 3.0;
  const std::array<double, 6> a{h * (30 - m), h * (-10 - m), h * (5 - m), h * 24, h * -8, h * 14};
  for (int i = 0; i < 6; ++i) {
    double r = 0;
    for (int j = 0; j < 6; ++j) r += t[i * 6 + j] * a[j];
    EXPECT_NEAR(r, 0.0, 1e-9);
  }
  // The cache still holds the elastic matrix.
  EXPECT_NE(sigcom().DE[0], d[0]);
}

}  // namespace
}  // namespace zephsol
