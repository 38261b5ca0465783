// Strain-displacement matrices of the axisymmetric, plane and membrane
// quadrilaterals and triangles.
#include <array>

#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/rules.h"

namespace zephsol {
namespace {

using kin::Derivs;

constexpr std::array<double, 2> kCentre{0.0, 0.0};

[[noreturn]] void radius_not_positive(word code, double r) {
  elem_fatal(code, estcom().IEXN, real_word(static_cast<float>(r)));
}

double radius_at(const std::array<double, 4>& n, const std::array<double, 8>& x) {
  double r = 0.0;
  for (int k = 0; k < 4; ++k) r += n[k] * x[2 * k];
  return r;
}

// The means over the ring that an axisymmetric quadrilateral sweeps, by its
// 2 x 2 Gauss rule with the weight r det J: of each function's Cartesian
// derivatives, and of its hoop term N_k / r. The mean dilatation taken from
// them lets a uniform stress give the nodal forces of the plain element, as
// the centre values do for a plane element but not under the weight r.
// False (-8001 queued) when det J <= 0 at a point; a radius <= 0 there ends
// the run (-8013).
bool ring_means(const std::array<double, 8>& x, Derivs<2, 4>& dxm, std::array<double, 4>& hoop) {
  std::array<double, 2> g{}, w{};
  GAUSPT(2, g, w);
  dxm = {};
  hoop = {};
  double ring = 0.0;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const std::array<double, 2> xi{g[i], g[j]};
      const auto n = kin::quad_values<4>(xi);
      const double r = radius_at(n, x);
      if (r <= 0.0) radius_not_positive(-8013, r);
      double det = 0.0;
      Derivs<2, 4> dx{};
      if (!kin::map_point<2, 4>(kin::quad_derivs<4>(xi), x, det, dx)) return false;
      const double a = det * w[i] * w[j];
      ring += a * r;
      for (int k = 0; k < 4; ++k) {
        for (int c = 0; c < 2; ++c) dxm[c][k] += a * r * dx[c][k];
        hoop[k] += a * n[k];
      }
    }
  for (int k = 0; k < 4; ++k) {
    for (int c = 0; c < 2; ++c) dxm[c][k] /= ring;
    hoop[k] /= ring;
  }
  return true;
}

// g_rz (row 3) at the element centre in closed form from the corners, with
// S = (x4 - x1)(y3 - y2) - (x3 - x2)(y4 - y1), twice the area (8 det J at the
// centre). False (-8001 queued) when S <= 0.
bool constant_shear_row(const std::array<double, 8>& x, std::span<double> b) {
  constexpr int n = 8;
  const double x1 = x[0], y1 = x[1], x2 = x[2], y2 = x[3], x3 = x[4], y3 = x[5], x4 = x[6], y4 = x[7];
  const double s = (x4 - x1) * (y3 - y2) - (x3 - x2) * (y4 - y1);
  if (!kin::positive_jacobian(s)) return false;
  const double row[8] = {(x3 - x2) / s, (y2 - y3) / s, (x1 - x4) / s, (y4 - y1) / s,
                         (x4 - x1) / s, (y1 - y4) / s, (x2 - x3) / s, (y3 - y2) / s};
  for (int j = 0; j < n; ++j) b[3 * n + j] = row[j];
  return true;
}

// Cartesian derivatives of the three linear functions from the inverse
// Jacobian g (column by column); dN/dxi = (1, 0, -1), dN/deta = (0, 1, -1).
Derivs<2, 3> tri_cartesian(std::span<const double, 4> g) {
  constexpr Derivs<2, 3> kNatural{{{1.0, 0.0, -1.0}, {0.0, 1.0, -1.0}}};
  return kin::cartesian<2, 3>(kin::Mat<2>{{{g[0], g[2]}, {g[1], g[3]}}}, kNatural);
}

}  // namespace

void BQAX4(std::span<const double> xi, std::span<double> b, double& radius, double& detj, word ibbar,
           word ishear) {
  constexpr int n = 8;
  kin::zero_rows(b, 4, n);
  const auto x = kin::node_coords<2, 4>();
  std::array<double, 4> hoop{};
  Derivs<2, 4> dxm{};
  if (ibbar == 1) {
    const double rc = radius_at(kin::quad_values<4>(kCentre), x);
    if (rc <= 0.0) radius_not_positive(-8013, rc);
    if (!kin::map_point<2, 4>(kin::quad_derivs<4>(kCentre), x, detj, dxm)) return;
    if (!ring_means(x, dxm, hoop)) return;
  }
  const auto nv = kin::quad_values<4>(xi);
  radius = radius_at(nv, x);
  if (radius <= 0.0) radius_not_positive(-8013, radius);
  Derivs<2, 4> dx{};
  if (!kin::map_point<2, 4>(kin::quad_derivs<4>(xi), x, detj, dx)) return;
  // e_hoop = u_r / r: at the point, or whole as its mean over the ring with
  // the in-plane dilatation.
  if (ibbar == 1) {
    kin::mean_dilatation_rows<2, 4>(dx, dxm, b);
    for (int k = 0; k < 4; ++k) b[2 * n + 2 * k] = hoop[k];
  } else {
    kin::normal_rows<2, 4>(dx, b);
    for (int k = 0; k < 4; ++k) b[2 * n + 2 * k] = nv[k] / radius;
  }
  kin::shear_row<2, 4>(3, 0, 1, dx, b);
  if (ishear == 1 && !constant_shear_row(x, b)) kin::zero_rows(b, 4, n);
}

void BQPLAN4(std::span<const double> xi, std::span<double> b, double& detj, word ibbar, word /*ishear*/) {
  constexpr int n = 8;
  kin::zero_rows(b, 4, n);
  const auto x = kin::node_coords<2, 4>();
  Derivs<2, 4> dxc{};
  if (ibbar == 1 && !kin::map_point<2, 4>(kin::quad_derivs<4>(kCentre), x, detj, dxc)) return;
  Derivs<2, 4> dx{};
  if (!kin::map_point<2, 4>(kin::quad_derivs<4>(xi), x, detj, dx)) return;
  if (ibbar == 1)
    kin::mean_dilatation_rows<2, 4>(dx, dxc, b);
  else
    kin::normal_rows<2, 4>(dx, b);
  kin::shear_row<2, 4>(3, 0, 1, dx, b);  // e_z (row 2) stays zero
}

void BQMEM4(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj) {
  kin::zero_rows(b, 3, 8);
  Derivs<2, 4> dx{};
  if (!kin::map_point<2, 4>(kin::quad_derivs<4>(xi), xl, detj, dx)) return;
  kin::normal_rows<2, 4>(dx, b);
  kin::shear_row<2, 4>(2, 0, 1, dx, b);
}

bool tri3_jacobian(std::span<const double> xy, std::span<double, 4> g, double& det) {
  const double x1 = xy[0], y1 = xy[1], x2 = xy[2], y2 = xy[3], x3 = xy[4], y3 = xy[5];
  det = (x1 - x3) * (y2 - y3) - (x2 - x3) * (y1 - y3);
  if (!kin::positive_jacobian(det)) return false;
  g[0] = (y2 - y3) / det;
  g[1] = -(x2 - x3) / det;
  g[2] = -(y1 - y3) / det;
  g[3] = (x1 - x3) / det;
  return true;
}

void BTAX3(std::span<const double> l, std::span<const double, 4> g, std::span<double> b, double& radius) {
  constexpr int n = 6;
  kin::zero_rows(b, 4, n);
  const auto x = kin::node_coords<2, 3>();
  radius = l[0] * x[0] + l[1] * x[2] + l[2] * x[4];
  if (radius <= 0.0) radius_not_positive(-8039, radius);
  const Derivs<2, 3> dx = tri_cartesian(g);
  kin::normal_rows<2, 3>(dx, b);
  for (int k = 0; k < 3; ++k) b[2 * n + 2 * k] = l[k] / radius;
  kin::shear_row<2, 3>(3, 0, 1, dx, b);
}

void BTPLAN3(std::span<const double> /*l*/, std::span<const double, 4> g, std::span<double> b) {
  kin::zero_rows(b, 4, 6);
  const Derivs<2, 3> dx = tri_cartesian(g);
  kin::normal_rows<2, 3>(dx, b);
  kin::shear_row<2, 3>(3, 0, 1, dx, b);
}

void BTMEM3(std::span<const double> /*l*/, std::span<const double, 4> g, std::span<double> b) {
  kin::zero_rows(b, 3, 6);
  const Derivs<2, 3> dx = tri_cartesian(g);
  kin::normal_rows<2, 3>(dx, b);
  kin::shear_row<2, 3>(2, 0, 1, dx, b);
}

}  // namespace zephsol
