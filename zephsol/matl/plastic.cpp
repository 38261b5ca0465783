#include "zephsol/matl/plastic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "zephsol/exec/packed.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {

namespace {

using Vec6 = std::array<double, 6>;

constexpr double kDegToRad = 3.14159265359 / 180.0;
constexpr double kSqrt3 = 1.73205080757;
constexpr double kRadToDeg = 57.29577951307855;
constexpr word kSbeam2 = 26;

// Stress invariants and the three base vectors of the flow vector:
// a1 = dI1/dsigma, a2 = d sqrt(J2)/dsigma, a3 = dJ3/dsigma (engineering shears).
struct Invariants {
  double i1 = 0, j2 = 0, j3 = 0, rj2 = 0;
  Vec6 a1{1, 1, 1, 0, 0, 0}, a2{}, a3{};
};

Invariants invariants(const Vec6& s) {
  const double sx = s[0], sy = s[1], sz = s[2], txy = s[3], tyz = s[4], tzx = s[5];
  Invariants v;
  v.i1 = sx + sy + sz;
  const double m = v.i1 / 3.0;
  const double dx = sx - m, dy = sy - m, dz = sz - m;
  v.j2 = (dx * dx + dy * dy + dz * dz) / 2.0 + txy * txy + tyz * tyz + tzx * tzx;
  v.j3 = (sx * sx * sx + sy * sy * sy + sz * sz * sz) / 3.0 + sx * (txy * txy + tzx * tzx) +
         sy * (txy * txy + tyz * tyz) + sz * (tyz * tyz + tzx * tzx) + 2.0 * txy * tyz * tzx -
         2.0 / 3.0 * v.i1 * (v.i1 * v.i1 / 6.0 + v.j2) + 2.0 * v.i1 * v.i1 * v.i1 / 27.0;
  v.rj2 = std::sqrt(v.j2);
  if (v.rj2 >= 1.0E-10) {
    const double h = 0.5 / v.rj2;
    v.a2 = {h * dx, h * dy, h * dz, h * 2.0 * txy, h * 2.0 * tyz, h * 2.0 * tzx};
  }
  v.a3 = {dy * dz - tyz * tyz + v.j2 / 3.0,      dz * dx - tzx * tzx + v.j2 / 3.0,
          dx * dy - txy * txy + v.j2 / 3.0,      2.0 * (tyz * tzx - dz * txy),
          2.0 * (tzx * txy - dx * tyz),          2.0 * (txy * tyz - dy * tzx)};
  return v;
}

// a = c1 a1 + c2 a2 + c3 a3.
Vec6 combine(const Invariants& v, double c1, double c2, double c3) {
  Vec6 a{};
  for (std::size_t i = 0; i < 6; ++i) a[i] = c1 * v.a1[i] + c2 * v.a2[i] + c3 * v.a3[i];
  return a;
}

// Friction angle in radians; with strength reduction phi' = atan(tan phi / F).
double friction_angle() {
  const MATCOM& m = matcom();
  const double phi = static_cast<double>(m.w(mw::PHAI)) * kDegToRad;
  if (m.IYIELD != 4) return phi;
  return std::atan(std::tan(phi) / static_cast<double>(m.w(mw::SSRSTA)));
}

// Lode angle from sin 3theta = -(3 sqrt 3 / 2) J3 / J2^1.5; 0 for a (near) hydrostatic stress.
double lode_angle(const Invariants& v) {
  if (v.j2 <= 1.0E-10) return 0.0;
  const double s3t = std::clamp(-2.598076211355 * v.j3 / (v.j2 * v.rj2), -1.0, 1.0);
  return std::asin(s3t) / 3.0;
}

// Mohr-Coulomb, F = I1 sin phi / 3 + sqrt(J2)(cos theta - sin theta sin phi / sqrt 3),
// with the rounded form C2 = sqrt3/2 (1 -+ sin phi/3), C3 = 0 within a degree of a corner.
// C3 carries cos 3theta as a factor; it is 0 at a (near) hydrostatic stress.
Vec6 mohr_coulomb(const Invariants& v) {
  const double sp = std::sin(friction_angle());
  const double c1 = sp / 3.0;
  const double th = lode_angle(v);
  if (std::fabs(th) * kRadToDeg >= 29.0) return combine(v, c1, kSqrt3 / 2.0 * (th <= 0.0 ? 1.0 + c1 : 1.0 - c1), 0.0);
  const double t = std::tan(th), t3 = std::tan(3.0 * th);
  const double c2 = std::cos(th) * ((1.0 + t * t3) + sp * (t3 - t) / kSqrt3);
  const double c3 =
      v.j2 <= 1.0E-10 ? 0.0 : std::cos(3.0 * th) * (kSqrt3 * std::sin(th) + std::cos(th) * sp) / (2.0 * v.j2);
  return combine(v, c1, c2, c3);
}

// Drucker-Prager outer cone, F = alpha I1 + sqrt(J2), alpha = 2 sin phi / (sqrt3 (3 - sin phi)).
Vec6 drucker_prager(const Invariants& v) {
  const double sp = std::sin(friction_angle());
  return combine(v, 2.0 * sp / (kSqrt3 * (3.0 - sp)), 1.0, 0.0);
}

// Von Mises, F = sqrt(3 J2).
Vec6 von_mises(const Invariants& v) { return combine(v, 0.0, kSqrt3, 0.0); }

struct Criterion {
  word iyield;
  Vec6 (*flow)(const Invariants&);
};
constexpr Criterion kCriteria[] = {{1, mohr_coulomb}, {2, drucker_prager}, {3, von_mises}, {4, mohr_coulomb}};

Vec6 (*criterion_flow(word iyield))(const Invariants&) {
  for (const Criterion& c : kCriteria)
    if (c.iyield == iyield) return c.flow;
  matl_fatal(-4071, iyield, 0);
}

}  // namespace

void DFDSIG(std::span<const double> SIG, std::span<double> A) {
  const MatElem& e = mat_elem();
  const ClassPlacement l = class_placement(*e.ICLASS, *e.NS);
  const auto flow = criterion_flow(matcom().IYIELD);
  const Vec6 a = flow(invariants(class_tensor(l, SIG)));
  std::fill_n(A.begin(), std::min<std::size_t>(A.size(), static_cast<std::size_t>(std::max<word>(*e.NS, 0))), 0.0);
  for (std::size_t i = 0; i < l.n; ++i) A[i] = a[l.pos[i]];
}

void PLSMTX(std::span<const double> DE, std::span<const double> SIG, double EPSP, std::span<double> DP) {
  const MatElem& e = mat_elem();
  const word ns = *e.IECOD == kSbeam2 ? 3 : class_components(*e.ICLASS);
  *e.NS = ns;
  const auto n = static_cast<std::size_t>(ns);
  std::array<double, 6> a{}, d{};
  DFDSIG(SIG.first(n), std::span<double>(a).first(n));
  double h = 0.0;
  HRDSLP(1, EPSP, h);
  PKMVEC(DE, std::span<const double>(a).first(n), ns, std::span<double>(d).first(n));
  double ad = 0.0;
  for (std::size_t i = 0; i < n; ++i) ad += a[i] * d[i];
  const double den = h + ad;
  std::fill_n(DP.begin(), n * (n + 1) / 2, 0.0);
  // No plastic part where the denominator vanishes (a zero flow vector without hardening).
  if (den <= 0.0 || den < 1.0E-30 * std::fabs(ad)) return;
  const double c = -1.0 / den;
  for (int i = 1; i <= ns; ++i)
    for (int j = i; j <= ns; ++j)
      DP[packed_index(i, j, ns)] = c * d[static_cast<std::size_t>(i - 1)] * d[static_cast<std::size_t>(j - 1)];
}

}  // namespace zephsol
