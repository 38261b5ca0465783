#include "zephsol/iter/ofpvxs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>

#include "zephsol/exec/msg.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/principal.h"
#include "zephsol/matl/elamat.h"

namespace zephsol {

namespace {

constexpr double kTiny = 1.0E-14;
constexpr double kDegrees = 57.29577951;

using Tensor = std::array<double, 6>;  // sx, sy, sz, txy, tyz, tzx
using Angles = std::array<double, 3>;

// How the principal values of a class are found.
enum class Method { single, in_plane, two_normal, in_plane_third, full };

struct ClassMethod {
  word iclass;
  Method method;
};
constexpr ClassMethod kMethods[] = {
    {1, Method::single},         {2, Method::in_plane},       {3, Method::full},
    {4, Method::in_plane_third}, {5, Method::in_plane_third}, {6, Method::full},
    {7, Method::full},           {8, Method::two_normal},     {9, Method::full},
    {11, Method::in_plane},
};

[[noreturn]] void fatal(word code, word p1, word p2) {
  MSGPUT(code, p1, p2);
  std::abort();
}

Method class_method(word iclass) {
  for (const ClassMethod& m : kMethods)
    if (m.iclass == iclass) return m.method;
  fatal(-3523, iclass, 0);
}

bool known_selector(word isel) {
  constexpr word kSelectors[] = {kVonMises, kLargestPrincipal, kSmallestPrincipal, kMaxShear, kStressSet, kStrainSet};
  return std::find(std::begin(kSelectors), std::end(kSelectors), isel) != std::end(kSelectors);
}

double von_mises(const Tensor& t) {
  const double a = t[0] - t[1], b = t[1] - t[2], c = t[2] - t[0];
  return std::sqrt(0.5 * (a * a + b * b + c * c) + 3.0 * (t[3] * t[3] + t[4] * t[4] + t[5] * t[5]));
}

// p1 >= p2 >= p3 by three exchanges; the plane class under "PRSTRES2" only
// exchanges p2 and p3: (larger in-plane, out-of-plane, smaller in-plane).
void order(word iclass, std::array<double, 3>& p) {
  if (iclass == 5 && ofpreq()(kPrintPrstres2) >= 0) {
    std::swap(p[1], p[2]);
    return;
  }
  if (p[0] < p[1]) std::swap(p[0], p[1]);
  if (p[0] < p[2]) std::swap(p[0], p[2]);
  if (p[1] < p[2]) std::swap(p[1], p[2]);
}

// Principal values (p1, p2, p3) and their count.
PrincipalValues principal(Method method, word iclass, const Tensor& t) {
  const double sx = t[0], sy = t[1], txy = t[3];
  PrincipalValues v;
  switch (method) {
    case Method::single: v.p = {sx, 0.0, 0.0}; v.nv = 1; break;
    case Method::in_plane: {
      const double r = std::sqrt((sx - sy) * (sx - sy) + 4.0 * txy * txy);
      v.p = {(sx + sy + r) / 2.0, 0.0, (sx + sy - r) / 2.0};
      v.nv = 2;
      break;
    }
    case Method::two_normal: v.p = {std::max(sx, sy), 0.0, sx < sy ? sx : sy}; v.nv = 2; break;
    case Method::in_plane_third: {
      const double r = std::sqrt((sx - sy) * (sx - sy) + 4.0 * txy * txy);
      v.p = {(sx + sy + r) / 2.0, (sx + sy - r) / 2.0, t[2]};
      v.nv = 3;
      order(iclass, v.p);
      break;
    }
    case Method::full:
      v = principal_values(t);
      if (v.nv == 3) order(iclass, v.p);
      break;
  }
  return v;
}

// Angles (degrees) of the unit vector x with (sigma - p I) x = 0 to the
// three axes, by one pivoted elimination step of sigma - p I; all 0 where
// the matrix leaves no single direction.
Angles direction(const Tensor& t, double p) {
  std::array<std::array<double, 3>, 3> m{{{t[0] - p, t[3], t[5]}, {t[3], t[1] - p, t[4]}, {t[5], t[4], t[2] - p}}};
  std::size_t pr = 0, pc = 0;
  for (std::size_t j = 0; j < 3; ++j)
    for (std::size_t i = 0; i < 3; ++i)
      if (std::fabs(m[i][j]) > std::fabs(m[pr][pc])) pr = i, pc = j;
  if (std::fabs(m[pr][pc]) < kTiny) return {};
  std::swap(m[0], m[pr]);
  for (auto& row : m) std::swap(row[0], row[pc]);
  m[0][1] /= m[0][0];
  m[0][2] /= m[0][0];
  for (std::size_t i = 1; i < 3; ++i)
    for (std::size_t j = 1; j < 3; ++j) m[i][j] -= m[i][0] * m[0][j];
  std::size_t r = 1, c = 1;
  for (const auto& [i, j] : {std::pair<std::size_t, std::size_t>{1, 2}, {2, 1}, {2, 2}})
    if (std::fabs(m[i][j]) > std::fabs(m[r][c])) r = i, c = j;
  if (std::fabs(m[r][c]) < kTiny) return {};
  std::array<double, 3> x{};
  if (c == 2) {
    x[1] = 1.0;
    x[2] = -m[r][1] / m[r][2];
    x[0] = -(m[0][1] + m[0][2] * x[2]);
  } else {
    x[2] = 1.0;
    x[1] = -m[r][2] / m[r][1];
    x[0] = -(m[0][2] + m[0][1] * x[1]);
  }
  const double len = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
  Angles a{};
  for (std::size_t i = 0; i < 3; ++i) a[i] = std::acos(std::clamp(x[i] / len, -1.0, 1.0)) * kDegrees;
  std::swap(a[0], a[pc]);
  return a;
}

// Angles of the two in-plane directions: theta (0-180) of the first to x,
// |90 - theta| to y, then the same of the second at theta + 90.
void in_plane_angles(const Tensor& t, std::span<float> out) {
  const double d = t[0] - t[1], g = 2.0 * t[3];
  if (std::fabs(d) < kTiny && std::fabs(g) < kTiny) {
    std::fill_n(out.begin(), 4, 0.0f);
    return;
  }
  double th = 0.5 * std::atan2(g, d) * kDegrees;
  if (th < 0.0) th += 180.0;
  double th2 = th + 90.0;
  if (th2 >= 180.0) th2 -= 180.0;
  const double a[4] = {th, std::fabs(90.0 - th), th2, std::fabs(90.0 - th2)};
  for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<float>(a[i]);
}

void put_angles(const Angles& a, std::span<float> out) {
  for (std::size_t i = 0; i < 3; ++i) out[i] = static_cast<float>(a[i]);
}

// The set -2 or -3 of the point into OUT.
void full_set(Method method, const Tensor& t, const PrincipalValues& v, bool strain, std::span<float> out) {
  const auto& p = v.p;
  const double tau = strain ? std::fabs(p[0] - p[2]) : std::fabs(p[0] - p[2]) / 2.0;
  switch (method) {
    case Method::single: out[0] = static_cast<float>(p[0]); return;
    case Method::in_plane:
    case Method::two_normal: {
      out[0] = static_cast<float>(p[0]);
      out[1] = static_cast<float>(p[2]);
      out[2] = static_cast<float>(tau);
      if (method == Method::in_plane) {
        in_plane_angles(t, out.subspan(3));
      } else {
        const bool y_first = t[0] < t[1];
        const float a[4] = {y_first ? 90.0f : 0.0f, y_first ? 0.0f : 90.0f, y_first ? 0.0f : 90.0f, y_first ? 90.0f : 0.0f};
        std::copy_n(a, 4, out.begin() + 3);
      }
      return;
    }
    case Method::in_plane_third:
    case Method::full: break;
  }
  std::fill_n(out.begin(), 13, 0.0f);
  if (v.nv == 0) return;
  for (std::size_t i = 0; i < 3; ++i) out[i] = static_cast<float>(p[i]);
  out[3] = static_cast<float>(tau);
  put_angles(direction(t, p[0]), out.subspan(4));
  if (v.nv == 3) put_angles(direction(t, p[1]), out.subspan(7));
  if (v.nv >= 2) put_angles(direction(t, p[2]), out.subspan(10));
}

}  // namespace

void OFPVXS(std::span<const double> VALUES, word ICLASS, std::span<float> OUT, word ISEL) {
  const Method method = class_method(ICLASS);
  if (!known_selector(ISEL)) fatal(-4090, ISEL, ICLASS);
  ClassPlacement at = class_placement(ICLASS, class_components(ICLASS));
  at.n = std::min(at.n, VALUES.size());
  Tensor t = class_tensor(at, VALUES);
  if (ISEL == kVonMises) {
    OUT[0] = static_cast<float>(von_mises(t));
    return;
  }
  // Strains carry engineering shears: the strain tensor holds half of each.
  const bool strain = ISEL == kStrainSet;
  if (strain)
    for (std::size_t k = 3; k < 6; ++k) t[k] /= 2.0;
  const PrincipalValues v = principal(method, ICLASS, t);
  switch (ISEL) {
    case kLargestPrincipal: OUT[0] = static_cast<float>(v.p[0]); break;
    case kSmallestPrincipal: OUT[0] = static_cast<float>(v.p[2]); break;
    case kMaxShear: OUT[0] = static_cast<float>((v.p[0] - v.p[2]) / 2.0); break;
    default: full_set(method, t, v, strain, OUT); break;
  }
}

}  // namespace zephsol
