// Moduli of the soil models by hand: the hyperbolic model (loading,
// unloading, caps, zero confinement), the "ZUZUZERUR" ratio law, the
// Mohr-Coulomb failure test and the stress-ratio degradation model.
#include <gtest/gtest.h>

#include <cmath>

#include "support/matfix.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/soilmod.h"

namespace zephsol {
namespace {

using test::load_table;
using test::material;

class SoilModel : public test::MatlTest {
 protected:
  void select(word kind, std::initializer_list<std::pair<int, float>> reals) {
    load_table({material(10, kind, 0, 0, reals)});
    MATSEL(10, 0, 1);
  }
  void principal(double s1, double s3) {
    point.SW[0] = 1;
    point.B1[0] = s1;
    point.B1[1] = s3;
  }
  double E() const { return matcom().w(mw::E); }
  double nu() const { return matcom().w(mw::NU); }
};

class Hyperbolic : public SoilModel {
 protected:
  void SetUp() override {
    SoilModel::SetUp();
    stpctr().NSTEPC = 2;
    select(3, {{mw::DCK, 500.f}, {mw::DCN, 0.5f}, {mw::DCRF, 0.9f}, {mw::DCKU, 1000.f}, {mw::DCG, 0.3f},
               {mw::DCF, 0.1f}, {mw::DCD, 5.f}, {mw::DCPA, 100.f}, {mw::DCDE, 0.01f}, {mw::C, 0.f},
               {mw::PHAI, 30.f}});
    // The mean value p = 100 comes from the stresses; component vector 3
    // holds something else.
    point.SIG = {-100.0, -100.0, -100.0, 0, 0, 0};
    point.CV3 = {-900.0, -900.0, -900.0, 0, 0, 0};
  }
};

TEST_F(Hyperbolic, LoadingModulusAndPoissonsRatio) {
  // f = 1 - 0.9 (1 - 0.5) 200 / (2 x 100 x 0.5) = 0.1; Ei = 500 x 100 = 50000; Et = Ei f^2;
  // nu = 0.3 / (1 - 5 x 200 / (Ei f))^2 = 0.3 / 0.64.
  principal(300.0, 100.0);
  MATDCH();
  EXPECT_NEAR(E(), 500.0, 500.0 * 1e-5);
  EXPECT_NEAR(nu(), 0.46875, 1e-6);
  EXPECT_DOUBLE_EQ(point.B9, 100.0);  // the largest mean value so far
}

TEST_F(Hyperbolic, UnloadingBelowTheLargestMeanValue) {
  principal(300.0, 100.0);
  point.B9 = 200.0;
  MATDCH();
  EXPECT_NEAR(E(), 1000.0 * 100.0, 1e-6);  // DCKU pa (s3/pa)^n
  EXPECT_DOUBLE_EQ(point.B9, 200.0);
  // At the first cumulative step the stored value starts again from 0.
  stpctr().NSTEPC = 1;
  MATDCH();
  EXPECT_NEAR(E(), 500.0, 500.0 * 1e-5);
  EXPECT_DOUBLE_EQ(point.B9, 100.0);
}

TEST_F(Hyperbolic, PoissonsRatioCapAndGivenValue) {
  principal(300.0, 100.0);
  matcom().w(mw::DCG) = 0.4f;  // 0.4 / 0.64 = 0.625
  MATDCH();
  EXPECT_EQ(nu(), 0.49f);
  matcom().w(mw::DCNU) = 0.2f;
  MATDCH();
  EXPECT_EQ(nu(), 0.2f);
}

TEST_F(Hyperbolic, NoConfinement) {
  // s3 <= 0: t = 1e-5 and no strength factor: Et = Ei = 500 x 100 x 1e-5^0.5;
  // nu = (DCG - DCF log10 1e-5) / 1 with DCD = 0.
  matcom().w(mw::DCD) = 0.f;
  matcom().w(mw::DCG) = 0.1f;
  matcom().w(mw::DCF) = 0.01f;
  const double ei = 500.0 * 100.0 * std::sqrt(1.0e-5);
  struct Case {
    const char* what;
    double c, s1, s3;
  };
  const Case cases[] = {{"cohesionless, loaded", 0.0, 50.0, 0.0},
                        {"cohesionless, unloaded", 0.0, 0.0, 0.0},
                        {"cohesive, in tension", 10.0, 300.0, -5.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    matcom().w(mw::C) = static_cast<float>(c.c);
    principal(c.s1, c.s3);
    MATDCH();
    EXPECT_NEAR(E(), ei, ei * 1e-6);
    EXPECT_NEAR(nu(), 0.1f + 0.05, 1e-6);
  }
  // Without principal stresses both are pa.
  point.SW[0] = 0;
  MATDCH();
  EXPECT_NEAR(E(), 500.0 * 100.0, 1e-6);
}

TEST_F(SoilModel, ZuzuzerurModuliFromTheStrengthRatio) {
  select(2, {{mw::DZER, 100.f}, {mw::DFAI, 10.f}, {mw::POTO, 2.f}, {mw::POZE, 0.4f}, {mw::POFA, 0.2f}});
  point.SW[0] = 1;
  point.B1[3] = 0.5;
  MATDEN();
  EXPECT_NEAR(E(), 90.0 * 0.25 + 10.0, 1e-6);
  EXPECT_NEAR(nu(), 0.2 * 0.25 + 0.2, 1e-6);
  point.SW[0] = 0;  // no ratio yet: r = 1
  MATDEN();
  EXPECT_EQ(E(), 100.f);
  EXPECT_EQ(nu(), 0.4f);
}

TEST_F(SoilModel, ModuliThatAreNotFiniteEndTheRun) {
  // The no-tension mark -10 as a ratio: a whole exponent gives a number, a fractional one none.
  select(2, {{mw::DZER, 100.f}, {mw::DFAI, 10.f}, {mw::POTO, 2.f}, {mw::POZE, 0.4f}, {mw::POFA, 0.2f}});
  point.SW[0] = 1;
  point.B1[3] = -10.0;
  MATDEN();
  EXPECT_NEAR(E(), 90.0 * 100.0 + 10.0, 1e-3);
  struct Case {
    const char* what;
    word kind;
    std::initializer_list<std::pair<int, float>> reals;
    double ratio;  // block-1 value 4
  };
  const Case cases[] = {
      {"fractional exponent of the mark", 2, {{mw::DZER, 100.f}, {mw::DFAI, 10.f}, {mw::POTO, 0.5f}}, -10.0},
      {"negative exponent of a zero ratio", 2, {{mw::DZER, 100.f}, {mw::DFAI, 10.f}, {mw::POTO, -1.f}}, 0.0},
      {"zero reference pressure", 3, {{mw::DCK, 500.f}, {mw::DCN, 0.5f}, {mw::DCD, 5.f}, {mw::DCDE, 0.01f}}, 0.0},
      {"zero modulus number", 3, {{mw::DCK, 0.f}, {mw::DCN, 0.5f}, {mw::DCD, 5.f}, {mw::DCPA, 100.f}}, 0.0},
      {"zero degradation denominator", 7,
       {{mw::C, 10.f}, {mw::U, 100.f}, {mw::V, 10.f}, {mw::W, 0.5f}, {mw::U1, 1.f}, {mw::W1, -2.f}}, 0.0},
  };
  for (const Case& c : cases) {
    const auto out = test::fatal_output([&] {
      load_table({material(12, c.kind, 0, 0, c.reals)});
      MATSEL(12, 0, 1);
      point.SW[0] = c.kind == 3 ? 0 : 1;  // the hyperbolic model then takes both stresses as pa
      point.B1 = {14.0, 4.0, 0.0, c.ratio, 0.0, 0.0};
      if (c.kind == 2) MATDEN();
      if (c.kind == 3) MATDCH();
      if (c.kind == 7) MATSRD();
    });
    EXPECT_NE(out.errors.find("0*** USER FATAL MESSAGE 8069,\n"
                              "          MODULUS NOT FINITE IN THE POINT STATE,  ELEMENT ID=    4711, MATERIAL ID=      12\n"),
              std::string::npos)
        << c.what << "\n"
        << out.errors;
  }
}

TEST_F(SoilModel, MohrCoulombFailureTest) {
  select(5, {{mw::C, 10.f}, {mw::PHAI, 30.f}});
  struct Case {
    double s1, s3;
    bool failed;
  };
  // (0.5 (s1 + s3) + 2 x 10 x 0.866) / (s1 - s3): 1.087 and 0.891.
  const Case cases[] = {{300, 100, false}, {400, 100, true}, {100, 100, false}, {0, 0, false}};
  for (const Case& c : cases) {
    principal(c.s1, c.s3);
    bool failed = !c.failed;
    MATMCB(failed);
    EXPECT_EQ(failed, c.failed) << c.s1 << ", " << c.s3;
  }
}

class StressRatio : public SoilModel {
 protected:
  void SetUp() override {
    SoilModel::SetUp();
    // phi = 0, c = 10: r = (s1 - s3) / 20; E0 = 100 + 10 s3^0.5.
    select(7, {{mw::C, 10.f}, {mw::PHAI, 0.f}, {mw::U, 100.f}, {mw::V, 10.f}, {mw::W, 0.5f}, {mw::U1, 1.f},
               {mw::V1, 0.f}, {mw::W1, 1.f}, {mw::U2, 0.f}, {mw::V2, 1.f}, {mw::W2, 0.f}, {mw::EPS, 0.01f},
               {mw::EMAX, 5.f}});
  }
  word& state() { return point.SW[11]; }
};

TEST_F(StressRatio, DegradedModulusByState) {
  principal(14.0, 4.0);  // r = 0.5, E0 = 120
  MATSRD();
  EXPECT_NEAR(E(), 120.0 * (0.5 - 0.25) / 1.5, 1e-5);  // first branch
  EXPECT_EQ(state(), 0);
  EXPECT_EQ(word_real(point.SCR[0]), static_cast<float>(E()));
  state() = 3;
  MATSRD();
  EXPECT_NEAR(E(), 120.0 * (0.5 + 0.125 - 0.5), 1e-5);  // second branch
  principal(14.0, -1.0);                                 // in tension: the tension modulus
  MATSRD();
  EXPECT_NEAR(E(), 5.0 * (1.0 - 0.75 + (0.421875 - 0.75)), 1e-5);
}

TEST_F(StressRatio, FailureAndTheKeptModulus) {
  principal(34.0, 4.0);  // r = 1.5 beyond rmax = 0.99: the point fails, r is held at rmax
  MATSRD();
  EXPECT_EQ(state(), 1);
  const double r = 1.0 - static_cast<double>(0.01f);
  EXPECT_NEAR(E(), 120.0 * ((1 - r) + (r * r - r)) / (1 + r), 1e-5);
  // In later iterations a failed point, and always a point in state 2, takes the kept modulus.
  point.SCR[0] = real_word(77.f);
  stpctr().NITER = 1;
  MATSRD();
  EXPECT_EQ(E(), 77.0);
  stpctr().NITER = 0;
  state() = 2;
  MATSRD();
  EXPECT_EQ(E(), 77.0);
  state() = 1;
  MATSRD();
  EXPECT_NEAR(E(), 120.0 * ((1 - r) + (r * r - r)) / (1 + r), 1e-5);
}

TEST_F(StressRatio, NoConfinement) {
  // c = 0 at s3 = 0: no strength to divide by; W < 0 gives E0 = U.
  matcom().w(mw::C) = 0.f;
  matcom().w(mw::PHAI) = 30.f;
  matcom().w(mw::W) = -0.5f;
  principal(10.0, 0.0);
  MATSRD();
  const double r = 1.0 - static_cast<double>(0.01f);
  EXPECT_NEAR(E(), 100.0 * ((1 - r) + (r * r - r)) / (1 + r), 1e-5);
  EXPECT_EQ(state(), 0);
  principal(0.0, 0.0);
  MATSRD();
  EXPECT_NEAR(E(), 100.0, 1e-5);
}

TEST_F(StressRatio, NeedsThePrincipalStresses) {
  const auto out = test::fatal_output([] { MATSRD(); });
  EXPECT_EQ(out.errors.find("MESSAGE"), std::string::npos);  // the run ends without a message
}

}  // namespace
}  // namespace zephsol
