// Helpers shared by the local-axis, strain-displacement and section-beam
// routines of the element library: small vector algebra, the current
// element's node coordinates in double precision, the Jacobian of an
// isoparametric map with its inverse and the Cartesian derivatives of the
// shape functions, and the rows of a strain-displacement matrix.
//
// B layout: component c (0-based) of element DOF j at b[c n + j], n the
// element DOF count; node k's DOF d is element DOF NDOF k + d.
//
// Messages: -8001 (IEXN, 0), deferred, from positive_jacobian.
#pragma once

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/exec/msg.h"

namespace zephsol::kin {

// ---- Vectors in space ---------------------------------------------------------

using Vec3 = std::array<double, 3>;

inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double norm(const Vec3& a) { return std::sqrt(dot(a, a)); }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Global coordinates of node k (1-based) of the current element, three per node.
inline Vec3 node3(int k) {
  const auto& x = estcom().XYZ;
  const auto i = static_cast<std::size_t>(3 * (k - 1));
  return {x[i], x[i + 1], x[i + 2]};
}

// Triad T: row a holds local axis e_a, stored column by column, T(a, j) at 3 j + a.
inline void store_triad(std::span<double, 9> t, const Vec3& e1, const Vec3& e2, const Vec3& e3) {
  for (int j = 0; j < 3; ++j) {
    t[3 * j] = e1[j];
    t[3 * j + 1] = e2[j];
    t[3 * j + 2] = e3[j];
  }
}
inline Vec3 triad_axis(std::span<const double, 9> t, int a) { return {t[a], t[3 + a], t[6 + a]}; }

// The first NN nodes of the current element, D coordinates each, widened.
template <int D, int NN>
std::array<double, D * NN> node_coords() {
  std::array<double, D * NN> x{};
  for (int i = 0; i < D * NN; ++i) x[i] = estcom().XYZ[i];
  return x;
}

// ---- Isoparametric maps ----------------------------------------------------------

// d[i][k] = derivative of N_k with respect to coordinate i (natural or Cartesian).
template <int D, int NN>
using Derivs = std::array<std::array<double, NN>, D>;
template <int D>
using Mat = std::array<std::array<double, D>, D>;

// J(i, j) = sum_k dN_k/dxi_i x_j(k), with node k's coordinates at x[D k ..].
template <int D, int NN>
Mat<D> jacobian(const Derivs<D, NN>& dn, std::span<const double> x) {
  assert(x.size() >= static_cast<std::size_t>(D * NN));
  Mat<D> j{};
  for (int i = 0; i < D; ++i)
    for (int c = 0; c < D; ++c) {
      double s = 0.0;
      for (int k = 0; k < NN; ++k) s += dn[i][k] * x[D * k + c];
      j[i][c] = s;
    }
  return j;
}

inline double determinant(const Mat<2>& j) { return j[0][0] * j[1][1] - j[0][1] * j[1][0]; }
inline double determinant(const Mat<3>& j) {
  return j[0][0] * (j[1][1] * j[2][2] - j[1][2] * j[2][1]) -
         j[0][1] * (j[1][0] * j[2][2] - j[1][2] * j[2][0]) +
         j[0][2] * (j[1][0] * j[2][1] - j[1][1] * j[2][0]);
}

// G = J^-1 by cofactors over det (det not zero).
inline Mat<2> inverse(const Mat<2>& j, double det) {
  return {{{j[1][1] / det, -j[0][1] / det}, {-j[1][0] / det, j[0][0] / det}}};
}
inline Mat<3> inverse(const Mat<3>& j, double det) {
  Mat<3> g{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      // Cofactor of J(c, r): the adjugate is the transposed cofactor matrix.
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      g[r][c] = (j[r1][c1] * j[r2][c2] - j[r1][c2] * j[r2][c1]) / det;
    }
  return g;
}

// N_k,x_i = sum_j G(i, j) dN_k/dxi_j.
template <int D, int NN>
Derivs<D, NN> cartesian(const Mat<D>& g, const Derivs<D, NN>& dn) {
  Derivs<D, NN> dx{};
  for (int i = 0; i < D; ++i)
    for (int k = 0; k < NN; ++k) {
      double s = 0.0;
      for (int j = 0; j < D; ++j) s += g[i][j] * dn[j][k];
      dx[i][k] = s;
    }
  return dx;
}

// Queues the deferred -8001 for the current element: its geometry is
// unusable; the caller returns and the run stops at the end of the module.
inline void bad_geometry() { MSGPUT(-8001, estcom().IEXN, 0); }

// True when det is positive; otherwise bad_geometry.
inline bool positive_jacobian(double det) {
  if (det > 0.0) return true;
  bad_geometry();
  return false;
}

// One point of an isoparametric map: det J and, when det J > 0, the Cartesian
// derivatives. False (with -8001 queued) when det J <= 0.
template <int D, int NN>
bool map_point(const Derivs<D, NN>& dn, std::span<const double> x, double& det, Derivs<D, NN>& dx) {
  const Mat<D> j = jacobian<D, NN>(dn, x);
  det = determinant(j);
  if (!positive_jacobian(det)) return false;
  dx = cartesian<D, NN>(inverse(j, det), dn);
  return true;
}

// Natural derivatives of the 4-node (NN = 4) or 8-node (NN = 8) quadrilateral
// functions at (xi, eta), and their values.
template <int NN>
Derivs<2, NN> quad_derivs(std::span<const double> xi) {
  static_assert(NN == 4 || NN == 8);
  Derivs<2, NN> dn{};
  for (int i = 0; i < 2; ++i) SHPQUA(NN == 4 ? 1 : 2, i + 1, xi, dn[i]);
  return dn;
}
template <int NN>
std::array<double, NN> quad_values(std::span<const double> xi) {
  static_assert(NN == 4 || NN == 8);
  std::array<double, NN> n{};
  SHPQUA(NN == 4 ? 1 : 2, 0, xi, n);
  return n;
}

// ---- Rows of B (NDOF DOFs per node, the first D of them translations) ----------

// Zeroes the first ns rows of a B of n columns.
inline void zero_rows(std::span<double> b, int ns, int n) {
  assert(b.size() >= static_cast<std::size_t>(ns * n));
  std::fill(b.begin(), b.begin() + ns * n, 0.0);
}

// Normal strain rows 0..D-1: e_a = sum_k N_k,a u_a(k).
template <int D, int NN, int NDOF = D>
void normal_rows(const Derivs<D, NN>& dx, std::span<double> b) {
  constexpr int n = NDOF * NN;
  for (int a = 0; a < D; ++a)
    for (int k = 0; k < NN; ++k) b[a * n + NDOF * k + a] = dx[a][k];
}

// Mean-dilatation normal rows: the dilatation sum_a e_a from the centre
// derivatives dxc, the deviatoric part from the point;
// B(a, u_b(k)) = delta_ab N_k,b + (Nc_k,b - N_k,b) / D.
template <int D, int NN, int NDOF = D>
void mean_dilatation_rows(const Derivs<D, NN>& dx, const Derivs<D, NN>& dxc, std::span<double> b) {
  constexpr int n = NDOF * NN;
  for (int k = 0; k < NN; ++k)
    for (int c = 0; c < D; ++c) {
      const double d = (dxc[c][k] - dx[c][k]) / D;
      for (int a = 0; a < D; ++a) b[a * n + NDOF * k + c] = (a == c ? dx[c][k] : 0.0) + d;
    }
}

// Engineering shear row: g_pq = sum_k N_k,q u_p(k) + N_k,p u_q(k).
template <int D, int NN, int NDOF = D>
void shear_row(int row, int p, int q, const Derivs<D, NN>& dx, std::span<double> b) {
  constexpr int n = NDOF * NN;
  for (int k = 0; k < NN; ++k) {
    b[row * n + NDOF * k + p] = dx[q][k];
    b[row * n + NDOF * k + q] = dx[p][k];
  }
}

}  // namespace zephsol::kin
