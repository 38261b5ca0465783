#include "zephsol/iter/plskern.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {

namespace {

using Vec6 = std::array<double, 6>;

constexpr double kPi = 3.14159265359;
constexpr double kSqrt3 = 1.73205080757;
constexpr word kSbeam2 = 26;

// The components of the current element's class placed in the full tensor.
Vec6 point_tensor(std::span<const double> c) {
  const word ns = point_components();
  return class_tensor(class_placement(estcom().ICLASS, ns), c.first(static_cast<std::size_t>(ns)));
}

// 2 J2 as the symmetric form (x, y) -> sum x_n y_n - (sum x_n)(sum y_n)/3 + 2 sum x_s y_s.
double two_j2(const Vec6& x, const Vec6& y) {
  return x[0] * y[0] + x[1] * y[1] + x[2] * y[2] - (x[0] + x[1] + x[2]) * (y[0] + y[1] + y[2]) / 3.0 +
         2.0 * (x[3] * y[3] + x[4] * y[4] + x[5] * y[5]);
}

// Friction angle of the material in radians; for the strength-reduction
// criterion phi_r = atan(tan phi / F).
double friction_angle(word code) {
  const double phi = static_cast<double>(matcom().w(mw::PHAI)) * kPi / 180.0;
  if (code != 4) return phi;
  return std::atan(std::tan(phi) / static_cast<double>(matcom().w(mw::SSRSTA)));
}

// Mohr-Coulomb: f = (I1/3) sin phi + sqrt(J2) (cos theta - sin theta sin phi / sqrt 3),
// sin 3theta = -(3 sqrt 3 / 2) J3 / J2^1.5.
double mohr_coulomb(const Vec6& s, double i1, double j2, double phi) {
  const double sx = s[0], sy = s[1], sz = s[2], t1 = s[3], t2 = s[4], t3 = s[5];
  const double j3 = (sx * sx * sx + sy * sy * sy + sz * sz * sz) / 3.0 + sx * (t1 * t1 + t3 * t3) +
                    sy * (t1 * t1 + t2 * t2) + sz * (t2 * t2 + t3 * t3) + 2.0 * t1 * t2 * t3 -
                    2.0 * i1 / 3.0 * (i1 * i1 / 6.0 + j2) + 2.0 * i1 * i1 * i1 / 27.0;
  const double rj2 = std::sqrt(j2);
  double theta = 0.0;
  if (j2 >= static_cast<double>(1.0E-10f))
    theta = std::asin(std::clamp(-2.598076211355 * j3 / (j2 * rj2), -1.0, 1.0)) / 3.0;
  return i1 / 3.0 * std::sin(phi) + rj2 * (std::cos(theta) - std::sin(theta) * std::sin(phi) / kSqrt3);
}

// EQVNRM by class; the plane-stress classes take the third normal strain as -(e1 + e2).
double eqv_rod(const double* e) { return std::fabs(e[0]); }
double eqv_membrane(const double* e) {
  return std::sqrt(2.0 / 3.0 * (e[0] * e[0] + e[1] * e[1] + (e[0] + e[1]) * (e[0] + e[1]) + 0.5 * e[2] * e[2]));
}
double eqv_solid(const double* e) {
  return std::sqrt(2.0 / 3.0 *
                   (e[0] * e[0] + e[1] * e[1] + e[2] * e[2] + 0.5 * (e[3] * e[3] + e[4] * e[4] + e[5] * e[5])));
}
double eqv_plane(const double* e) {
  return std::sqrt(2.0 / 3.0 * (e[0] * e[0] + e[1] * e[1] + e[2] * e[2] + 0.5 * e[3] * e[3]));
}
double eqv_beam(const double* e) { return std::sqrt(e[0] * e[0] + (e[1] * e[1] + e[2] * e[2]) / 3.0); }
double eqv_shell(const double* e) {
  return std::sqrt(2.0 / 3.0 *
                   (e[0] * e[0] + e[1] * e[1] + (e[0] + e[1]) * (e[0] + e[1]) +
                    0.5 * (e[2] * e[2] + e[3] * e[3] + e[4] * e[4])));
}
double eqv_biaxial(const double* e) {
  return std::sqrt(2.0 / 3.0 * (e[0] * e[0] + e[1] * e[1] + (e[0] + e[1]) * (e[0] + e[1])));
}

// Per class 1-11; none for the joints (class 10).
using EqvRule = double (*)(const double*);
constexpr std::array<EqvRule, 11> kEqvRules{eqv_rod,   eqv_membrane, eqv_solid,   eqv_plane,
                                            eqv_plane, eqv_beam,     eqv_shell,   eqv_biaxial,
                                            eqv_membrane, nullptr,   eqv_membrane};

void require_strain_layout(word iclass) {
  if (iclass < 1 || iclass > 11 || kEqvRules[static_cast<std::size_t>(iclass - 1)] == nullptr)
    matl_fatal(-4040, iclass, 0);
}

}  // namespace

word point_components() {
  const ESTCOM& e = estcom();
  return e.IECOD == kSbeam2 ? 3 : class_components(e.ICLASS);
}

void YLDCON(double EPSP, double& K) {
  MATCOM& m = matcom();
  const double c = static_cast<double>(m.w(mw::C));
  switch (m.IYIELD) {
    case 1: K = c * std::cos(friction_angle(1)); break;
    case 2: {
      const double phi = friction_angle(2);
      K = 6.0 * c * std::cos(phi) / (kSqrt3 * (3.0 - std::sin(phi)));
      break;
    }
    case 3: {
      double h = 0.0;
      HRDINT(1, EPSP, h);
      K = static_cast<double>(m.w(mw::SIGY)) + h;
      return;
    }
    case 4: K = c / static_cast<double>(m.w(mw::SSRSTA)) * std::cos(friction_angle(4)); break;
    default: matl_fatal(-4071, m.IYIELD, 0);
  }
  m.w(mw::SIGY) = static_cast<float>(K);
}

void EFFSIG(word CODE, std::span<const double> SIG, double& F) {
  if (CODE < 0 || CODE > 4) matl_fatal(-4071, CODE, 0);
  const Vec6 s = point_tensor(SIG);
  const double i1 = s[0] + s[1] + s[2];
  const double j2 = two_j2(s, s) / 2.0;
  if (CODE == 0 || CODE == 3) {
    F = kSqrt3 * std::sqrt(j2);
  } else if (CODE == 2) {
    const double sp = std::sin(friction_angle(2));
    F = 2.0 * sp / (kSqrt3 * (3.0 - sp)) * i1 + std::sqrt(j2);
  } else {
    F = mohr_coulomb(s, i1, j2, friction_angle(CODE));
  }
}

void EQVNRM(std::span<const double> EPS, double& E) {
  const word iclass = estcom().ICLASS;
  require_strain_layout(iclass);
  std::array<double, 6> e{};
  std::copy_n(EPS.begin(), std::min<std::size_t>(EPS.size(), 6), e.begin());
  E = kEqvRules[static_cast<std::size_t>(iclass - 1)](e.data());
}

void MISFRC(std::span<const double> SIGT, std::span<const double> SIG0, double K, double& R) {
  require_strain_layout(estcom().ICLASS);
  const Vec6 s0 = point_tensor(SIG0);
  const Vec6 st = point_tensor(SIGT);
  Vec6 d{};
  for (std::size_t i = 0; i < 6; ++i) d[i] = st[i] - s0[i];
  // 2 J2(s0 + r d) = (2/3) k^2:  a r^2 + b r + c = 0.
  const double a = two_j2(d, d);
  const double b = 2.0 * two_j2(s0, d);
  const double c = two_j2(s0, s0) - 2.0 / 3.0 * K * K;
  const double disc = b * b - 4.0 * a * c;
  if (disc < 0.0 || std::fabs(a) <= 1.0E-14) {
    R = 1.0;
    return;
  }
  R = std::clamp((std::sqrt(disc) - b) / (2.0 * a), 0.0, 1.0);
}

}  // namespace zephsol
