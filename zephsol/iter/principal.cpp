#include "zephsol/iter/principal.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matfatal.h"

namespace zephsol {

namespace {

constexpr double kTiny = 1.0E-14;

// In-plane principal values of (a, b, tau): ((c + r)/2, (c - r)/2), c = a + b,
// r = sqrt((a - b)^2 + 4 tau^2).
std::array<double, 3> in_plane(double a, double b, double tau, double third) {
  const double c = a + b, r = std::sqrt((a - b) * (a - b) + 4.0 * tau * tau);
  return {(c + r) / 2.0, (c - r) / 2.0, third};
}

// Principal values of the negated full tensor of a class.
std::array<double, 3> negated_tensor(std::span<const double> sig, word iclass) {
  const word ns = std::min<word>(class_components(iclass), static_cast<word>(sig.size()));
  std::array<double, 6> t = class_tensor(class_placement(iclass, ns), sig);
  for (double& x : t) x = -x;
  return principal_values(t).p;
}

}  // namespace

PrincipalValues principal_values(const std::array<double, 6>& t) {
  double s = 0.0;
  for (double x : t) s += std::fabs(x);
  if (s < static_cast<double>(1.0E-37f)) return {};
  const double sx = t[0] / s, sy = t[1] / s, sz = t[2] / s, txy = t[3] / s, tyz = t[4] / s, tzx = t[5] / s;
  const double i1 = sx + sy + sz;
  const double i2 = sx * sy + sy * sz + sz * sx - txy * txy - tyz * tyz - tzx * tzx;
  const double i3 = sx * sy * sz + 2.0 * txy * tyz * tzx - sx * tyz * tyz - sy * tzx * tzx - sz * txy * txy;
  PrincipalValues v;
  if (std::fabs(i3) < kTiny) {
    if (std::fabs(i2) < kTiny) {
      v.p = {i1 * s, 0.0, 0.0};
      v.nv = 1;
      return v;
    }
    // lambda^2 - I1 lambda + I2 = 0.
    const double d = i1 * i1 - 4.0 * i2;
    if (d < -kTiny) return v;
    const double q = d > 0.0 ? std::sqrt(d) : 0.0;
    v.p = {(i1 + q) / 2.0 * s, 0.0, (i1 - q) / 2.0 * s};
    v.nv = 2;
    return v;
  }
  // Trigonometric roots of the characteristic cubic. Q and D are never
  // positive for a symmetric tensor; rounding of equal roots can make them
  // slightly so, which counts as 0.
  const double q = (3.0 * i2 - i1 * i1) / 9.0;
  const double r = (9.0 * i1 * i2 - 2.0 * i1 * i1 * i1 - 27.0 * i3) / 54.0;
  if (q > kTiny || q * q * q + r * r > kTiny) return v;
  const double m = i1 / 3.0;
  const double root = std::sqrt(std::max(-q, 0.0));
  v.nv = 3;
  if (root == 0.0) {
    v.p = {m * s, m * s, m * s};
    return v;
  }
  const double theta = std::acos(std::clamp(r / (q * root), -1.0, 1.0)) / 3.0;
  constexpr std::array<double, 3> shift{0.0, 2.094395103, 4.188790206};
  for (std::size_t k = 0; k < 3; ++k) v.p[k] = (2.0 * root * std::cos(theta + shift[k]) + m) * s;
  return v;
}

void order_largest_smallest_middle(std::array<double, 3>& p) {
  std::array<double, 3> sorted = p;
  std::sort(sorted.begin(), sorted.end());
  p = {sorted[2], sorted[0], sorted[1]};
}

void PRNSIG(std::span<const double> SIG, word ICLASS, std::span<double> P) {
  std::array<double, 3> p{};
  switch (ICLASS) {
    case 1: p = {-SIG[0], 0.0, 0.0}; break;
    case 2: p = in_plane(-SIG[0], -SIG[1], SIG[2], 0.0); break;
    case 4:
    case 5: p = in_plane(-SIG[0], -SIG[1], SIG[3], -SIG[2]); break;
    case 3:
    case 6:
    case 7: p = negated_tensor(SIG, ICLASS); break;
    case 8: p = {std::max(-SIG[0], -SIG[1]), std::min(-SIG[0], -SIG[1]), 0.0}; break;
    default: matl_fatal(-3523, ICLASS, 0);
  }
  if (ICLASS != 5) order_largest_smallest_middle(p);
  std::copy(p.begin(), p.end(), P.begin());
}

void PRNDIR(double SX, double SY, double T, double& ALPHA) {
  const double d = SX - SY, g = -2.0 * T;
  if (std::fabs(d) > kTiny)
    ALPHA = -0.5 * std::atan2(g, d);
  else
    ALPHA = g > kTiny ? -0.78539816 : 0.78539816;
}

void stress_from_principal(double P1, double P2, double ALPHA, double& SX, double& SY, double& T) {
  const double p1 = -P1, p2 = -P2;
  const double big = std::max(p1, p2), small = std::min(p1, p2);
  const double c = (big + small) / 2.0, r = (big - small) / 2.0;
  SX = c + r * std::cos(2.0 * ALPHA);
  SY = c - r * std::cos(2.0 * ALPHA);
  T = r * std::sin(2.0 * ALPHA);
}

void SIGFRP(double ALPHA, double& SX, double& SY, double& T) {
  const auto& b1 = eivwka().blk.b1.v;
  stress_from_principal(b1[0], b1[1], ALPHA, SX, SY, T);
}

}  // namespace zephsol
