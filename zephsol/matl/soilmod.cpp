#include "zephsol/matl/soilmod.h"

#include <algorithm>
#include <cmath>

#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace {

constexpr double kDegToRad = 3.14159265359 / 180.0;

double wr(int k) { return static_cast<double>(matcom().w(k)); }

// A modulus that is not a finite REAL (a fractional power of a negative
// ratio, a division by zero) would carry NaN or infinity into the element
// matrices: the run ends naming the element and the material (-8069).
float finite_modulus(double v) {
  const auto f = static_cast<float>(v);
  if (!std::isfinite(f)) {
    const word* iexn = mat_elem().IEXN;
    matl_fatal(-8069, iexn != nullptr ? *iexn : 0, matcom().MATID);
  }
  return f;
}

void set_moduli(double e, double nu) {
  matcom().w(mw::E) = finite_modulus(e);
  matcom().w(mw::NU) = finite_modulus(nu);
}

// Sine and cosine of the friction angle, and the cohesion, of the current material.
struct Strength {
  double sinp, cosp, c;
};
Strength strength() {
  const double phi = wr(mw::PHAI) * kDegToRad;
  return {std::sin(phi), std::cos(phi), wr(mw::C)};
}

// Hyperbolic stress factor f = 1 - Rf (1 - sin phi)(s1 - s3)/(2c cos phi + 2 s3 sin phi),
// not below DCDE; 1 when the denominator is not positive.
double hyperbolic_factor(const Strength& m, double s1, double s3) {
  const double den = 2.0 * m.c * m.cosp + 2.0 * s3 * m.sinp;
  if (den <= 0.0) return 1.0;
  const double f = 1.0 - wr(mw::DCRF) * (1.0 - m.sinp) * (s1 - s3) / den;
  return f <= wr(mw::DCDE) ? wr(mw::DCDE) : f;
}

// Mohr-Coulomb strength ratio r = (s1 - s3) / (2 (c cos phi + s3 sin phi)/(1 - sin phi)).
double strength_ratio(const Strength& m, double s1, double s3, double rmax) {
  const double half = m.c * m.cosp + s3 * m.sinp;
  if (half <= 0.0) return s1 > s3 ? rmax : 0.0;
  return (s1 - s3) / (2.0 * half / (1.0 - m.sinp));
}

// Initial modulus of the stress-ratio model: U + V s3^W, the tension modulus for s3 < 0.
double initial_ratio_modulus(double s3) {
  if (s3 < 0.0) return wr(mw::EMAX);
  if (s3 == 0.0 && wr(mw::W) < 0.0) return wr(mw::U);
  return wr(mw::U) + wr(mw::V) * std::pow(s3, wr(mw::W));
}

}  // namespace

void MATANI() {}

void MATMCB(bool& FAILED) {
  const MatPoint& p = mat_point();
  const double s1 = p.B1[0], s3 = p.B1[1];
  const Strength m = strength();
  FAILED = s1 != s3 && (m.sinp * (s1 + s3) + 2.0 * m.c * m.cosp) / (s1 - s3) < 1.0;
}

void MATDEN() {
  const MatPoint& p = mat_point();
  const double r = p.SW[0] != 0 ? p.B1[3] : 1.0;
  const double rp = std::pow(r, wr(mw::POTO));
  set_moduli((wr(mw::DZER) - wr(mw::DFAI)) * rp + wr(mw::DFAI), (wr(mw::POZE) - wr(mw::POFA)) * rp + wr(mw::POFA));
}

void MATDCH() {
  const MatPoint& p = mat_point();
  const double pa = wr(mw::DCPA);
  const double s1 = p.SW[0] != 0 ? p.B1[0] : pa;
  const double s3 = p.SW[0] != 0 ? p.B1[1] : pa;
  if (stpctr().NSTEPC == 1) *p.B9 = 0.0;
  const double pmean = -(p.SIG[0] + p.SIG[1] + p.SIG[2]) / 3.0;
  const double f = hyperbolic_factor(strength(), s1, s3);
  double t = s3 / pa;
  double f2 = f * f;
  if (t <= 0.0) {
    t = 1.0E-5;
    f2 = 1.0;
  }
  const double tn = std::pow(t, wr(mw::DCN));
  const double ei = wr(mw::DCK) * pa * tn;
  double x = 1.0 - wr(mw::DCD) * (s1 - s3) / (ei * f);
  x *= x;
  if (x == 0.0) x = 0.0001;
  double nu = std::min((wr(mw::DCG) - wr(mw::DCF) * std::log10(t)) / x, static_cast<double>(0.49f));
  const double e = pmean < *p.B9 ? wr(mw::DCKU) * pa * tn : ei * f2;
  if (wr(mw::DCNU) > 0.0) nu = wr(mw::DCNU);
  if (pmean > *p.B9 + 1.0E-10) *p.B9 = pmean;
  set_moduli(e, nu);
}

void MATSRD() {
  const MatPoint& p = mat_point();
  if (p.SW[0] == 0) {
    sysw().IERFLG = 1;
    RUNEND();
  }
  const double s1 = p.B1[0], s3 = p.B1[1];
  const double rmax = 1.0 - wr(mw::EPS);
  double r = strength_ratio(strength(), s1, s3, rmax);
  word& state = p.SW[11];
  if (r > rmax && state == 0) state = 1;
  r = std::max(std::min(r, rmax), 0.0);
  const bool second = state == 3;
  const double a = wr(second ? mw::U2 : mw::U1), b = wr(second ? mw::V2 : mw::V1), c = wr(second ? mw::W2 : mw::W1);
  double e = initial_ratio_modulus(s3) * ((1.0 - r) + (r * r - r) * a + (r * r * r - r) * b) / (1.0 + r * c);
  // In iterations after the first a failed point, and a point in state 2 always, takes the
  // modulus kept in the work record: that of the last point treated.
  if ((stpctr().NITER >= 1 && state == 1) || state == 2) e = word_real(p.SCR[0]);
  matcom().w(mw::E) = finite_modulus(e);
  p.SCR[0] = real_word(matcom().w(mw::E));
}

}  // namespace zephsol
