// "ZUZUZERUR" strength ratios against the distance to the envelope found by
// direct minimisation, the cubic roots, and the warning and fatal lines.
#include "zephsol/iter/zuzu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "support/ptfix.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/pointlaw.h"

namespace zephsol::test {
namespace {

constexpr double kPi = 3.14159265359;

// Envelope tau = TAUR (1 - s/SIGT)^(1/n) (compression positive, SIGT < 0).
struct Rock {
  float taur = 10.0f, sigt = -5.0f, hora = 2.0f, yuru = 1.0f, phai = 30.0f;
};

// Distance from (pm, 0) to the envelope at its nearest point over s in
// [SIGT, pm] (golden-section search after a coarse scan). The foot point is
// that of the band's exponent n; the distance to it takes the material's own
// exponent HORA, as the bands between the exact forms do.
double distance_to_envelope(const Rock& r, double pm, double n = 0.0) {
  const double t = r.taur, st = r.sigt, h = r.hora;
  if (n == 0.0) n = h;
  auto d2n = [&](double s, double e) { return (s - pm) * (s - pm) + t * t * std::pow(1.0 - s / st, 2.0 / e); };
  auto d2 = [&](double s) { return d2n(s, n); };
  double best = st, lo = st, hi = pm;
  for (int i = 0; i <= 20000; ++i) {
    const double s = st + (pm - st) * i / 20000.0;
    if (d2(s) < d2(best)) best = s;
  }
  lo = std::max(st, best - (pm - st) / 20000.0);
  hi = std::min(pm, best + (pm - st) / 20000.0);
  const double g = (std::sqrt(5.0) - 1.0) / 2.0;
  for (int i = 0; i < 200; ++i) {
    const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    (d2(a) < d2(b) ? hi : lo) = d2(a) < d2(b) ? b : a;
  }
  return std::sqrt(d2n((lo + hi) / 2.0, h));
}

class CdendeTest : public PointLawTest {
 protected:
  void rock(const Rock& r) {
    use_material(2, 0, {{11, r.phai}, {18, r.yuru}, {20, r.taur}, {21, r.sigt}, {22, r.hora}});
  }
  // Ratio of a point with principal stresses s1 >= s3 (compression positive).
  double ratio(double s1, double s3) {
    pt().blk.b1.v = {s1, s3, 0.0, 0.0, 0.0};
    CDENDE();
    return pt().blk.b1.v[3];
  }
};

// s1 = 50, s3 = 20: pm = 35, R = 15, pm - SIGT = 40; tension term 25/40.
TEST_F(CdendeTest, RatiosOfTheEnvelopeBands) {
  struct Case {
    float hora;
    double n;  // exponent of the band's foot point; 0 for the straight line
  };
  for (const Case& c : {Case{1.0f, 0.0}, Case{1.2f, 1.2}, Case{4.0f / 3.0f, 4.0 / 3.0}, Case{1.5f, 1.5},
                        Case{2.0f, 2.0}, Case{1.9f, 2.0}}) {
    SCOPED_TRACE(c.hora);
    Rock r;
    r.hora = c.hora;
    rock(r);
    const double phi = 30.0 * kPi / 180.0;
    Rock exact = r;  // the parabola band is the n = 2 envelope throughout
    if (c.n == 2.0) exact.hora = 2.0f;
    const double rho = c.n == 0.0 ? 10.0 * std::cos(phi) + 35.0 * std::sin(phi)
                                  : distance_to_envelope(exact, 35.0, c.n);
    const double want = std::clamp(std::min((rho - 15.0) / rho, 25.0 / 40.0), 0.0, 1.0);
    EXPECT_NEAR(ratio(50, 20), want, 1e-6);
    EXPECT_LT(want, 0.625);  // the shear term governs in every band
  }
}

TEST_F(CdendeTest, BandLimitsAreRealConstants) {
  Rock r;
  r.hora = 1.1f;  // still the straight line
  rock(r);
  const double phi = 30.0 * kPi / 180.0, rho_line = 10.0 * std::cos(phi) + 35.0 * std::sin(phi);
  EXPECT_NEAR(ratio(50, 20), (rho_line - 15.0) / rho_line, 1e-12);
  r.hora = 1.1000001f;  // the n = 6/5 foot point
  rock(r);
  const double rho = distance_to_envelope(r, 35.0, 1.2);
  EXPECT_NEAR(ratio(50, 20), (rho - 15.0) / rho, 1e-6);
}

TEST_F(CdendeTest, SpecialCircles) {
  Rock r;
  r.hora = 1.5f;
  r.yuru = 0.8f;
  rock(r);
  EXPECT_NEAR(ratio(30, 30), 0.8, 1e-7);        // radius 0: both terms 1
  EXPECT_EQ(ratio(200, -4), 0.0);                // circle beyond the envelope
  r.hora = 1.0f;
  r.phai = 0.0f;                                 // line without friction: rho = TAUR
  r.yuru = 1.0f;
  rock(r);
  EXPECT_NEAR(ratio(50, 44), (10.0 - 3.0) / 10.0, 1e-12);
  // A parabola whose foot point lies beyond its vertex: the tension term governs.
  r.hora = 2.0f;
  r.taur = 20.0f;
  rock(r);
  EXPECT_NEAR(ratio(4, 2), (2.0 + 5.0) / (3.0 + 5.0), 1e-12);
  // With diagnostic switch 17 the ratio is (rho - R)/(pm - SIGT), limited to 1.
  DIAGST(17, 1);
  r.taur = 10.0f;
  rock(r);
  const double rho = distance_to_envelope(r, 35.0);
  EXPECT_NEAR(ratio(50, 20), (rho - 15.0) / 40.0, 1e-6);
  r.hora = 1.0f;
  r.phai = 30.0f;
  r.taur = 200.0f;  // (rho - R)/(pm - SIGT) = 4.4
  rock(r);
  EXPECT_EQ(ratio(50, 20), 1.0);
}

TEST_F(CdendeTest, CubicRoots) {
  double x1 = 0, x2 = 0, x3 = 0;
  word one = -1;
  CUBRTS(-2.0, 1.0, -2.0, x1, x2, x3, one);  // (x - 2)(x^2 + 1)
  EXPECT_EQ(one, 1);
  EXPECT_NEAR(x1, 2.0, 1e-6);
  EXPECT_EQ(x2, 0.0);
  EXPECT_EQ(x3, 0.0);
  CUBRTS(-6.0, 11.0, -6.0, x1, x2, x3, one);  // (x - 1)(x - 2)(x - 3)
  EXPECT_EQ(one, 0);
  std::array<double, 3> r{x1, x2, x3};
  std::sort(r.begin(), r.end());
  EXPECT_NEAR(r[0], 1.0, 1e-6);
  EXPECT_NEAR(r[1], 2.0, 1e-6);
  EXPECT_NEAR(r[2], 3.0, 1e-6);
}

TEST_F(CdendeTest, TensileCentreWarnsAndGivesZero) {
  rock(Rock{});
  EXPECT_EQ(ratio(2, -14), 0.0);  // pm = -6 below SIGT = -5
  const std::string line =
      "0*** USER WARNING MESSAGE 8201, TENSILE FAILURE OCCURED (ZUZUZERUR MATERIAL) (SGM-ST)=-1.000E+00"
      "  ELEM NO =     101\n";
  EXPECT_EQ(listing(), line);
  EXPECT_EQ(errors(), line);
  EXPECT_EQ(sysw().IWRNFL, 1);
}

void no_foot_point() {
  eivwka().blk.b1.v = {50, 20, 0, 0, 0};
  CDENDE();
}

TEST_F(CdendeTest, EnvelopeWithoutFootPointEndsTheRun) {
  for (float hora : {1.5f, 4.0f / 3.0f}) {
    Rock r;
    r.taur = 0.0f;
    r.hora = hora;
    rock(r);
    EXPECT_NE(fatal_log(*fs, no_foot_point)
                  .find("0*** SYSTEM FATAL MESSAGE 8203, ERROR OCCURED IN ZUZUZERUR\n"
                        "          SIGMA0 < SIGMA-T or SIGMA0 > SIGMA-M\n"),
              std::string::npos);
  }
}

// Through the point law: principal values, the ratio and the pass flag.
TEST_F(CdendeTest, PointLawRecordsTheRatio) {
  use_material(2, 0,
               {{11, 30.0f}, {13, 1000.0f}, {14, 100.0f}, {16, 0.3f}, {17, 0.3f}, {18, 1.0f}, {19, 1.0f},
                {20, 10.0f}, {21, -5.0f}, {22, 2.0f}, {27, -1.0f}});
  pt().vec[0] = {-50, -20, -35, 0, 0, 0};
  strain({});
  EXPECT_NEAR(pt().blk.b1.v[0], 50.0, 1e-6);
  EXPECT_NEAR(pt().blk.b1.v[1], 20.0, 1e-6);
  Rock r;
  const double rho = distance_to_envelope(r, 35.0);
  EXPECT_NEAR(pt().blk.b1.v[3], (rho - 15.0) / rho, 1e-6);
  EXPECT_EQ(pt().sw[0], 1);
  EXPECT_EQ(sigcom().KKIND2, -1);
}

}  // namespace
}  // namespace zephsol::test
