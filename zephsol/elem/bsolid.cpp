// Strain-displacement matrices of the solid elements.
#include <array>
#include <cassert>
#include <cmath>

#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/shapes.h"

namespace zephsol {
namespace {

using kin::Derivs;

constexpr int kNs = 6;
// Engineering shear strains 4-6 and the displacement pair each couples.
constexpr int kShear[3][2] = {{0, 1}, {1, 2}, {2, 0}};

template <int NN>
Derivs<3, NN> hex_derivs(std::span<const double> xi) {
  Derivs<3, NN> dn{};
  for (int i = 0; i < 3; ++i) SHPHEX(NN == 8 ? 1 : 2, i + 1, xi, dn[i]);
  return dn;
}

// Rows d/dL1 - d/dL3, d/dL2 - d/dL3, d/dzeta (L3 = 1 - L1 - L2).
template <int NN>
Derivs<3, NN> pent_derivs(std::span<const double> x) {
  std::array<std::array<double, NN>, 4> d{};
  for (int i = 0; i < 4; ++i) SHPPEN(NN == 6 ? 1 : 2, i + 1, x, d[i]);
  Derivs<3, NN> dn{};
  for (int k = 0; k < NN; ++k) {
    dn[0][k] = d[0][k] - d[2][k];
    dn[1][k] = d[1][k] - d[2][k];
    dn[2][k] = d[3][k];
  }
  return dn;
}

// Rows d/dL2 - d/dL1, d/dL3 - d/dL1, d/dL4 - d/dL1 (L1 = 1 - L2 - L3 - L4).
Derivs<3, 10> tet_derivs(std::span<const double> l) {
  std::array<std::array<double, 10>, 4> d{};
  for (int i = 0; i < 4; ++i) SHPTET(2, i + 1, l, d[i]);
  Derivs<3, 10> dn{};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 10; ++k) dn[i][k] = d[i + 1][k] - d[0][k];
  return dn;
}

template <int NN>
void shear_rows(const Derivs<3, NN>& dx, std::span<double> b) {
  for (int s = 0; s < 3; ++s) kin::shear_row<3, NN>(3 + s, kShear[s][0], kShear[s][1], dx, b);
}

// B with every row from the point, in the global coordinates of ESTCOM.
template <int NN>
void plain_solid(const Derivs<3, NN>& dn, std::span<double> b, double& detj) {
  kin::zero_rows(b, kNs, 3 * NN);
  Derivs<3, NN> dx{};
  if (!kin::map_point<3, NN>(dn, kin::node_coords<3, NN>(), detj, dx)) return;
  kin::normal_rows<3, NN>(dx, b);
  shear_rows<NN>(dx, b);
}

// Assumed shear of the hexahedron: g_xy sampled at (0, 0, zeta), g_yz at
// (xi, 0, 0), g_zx at (0, eta, 0), each with its own Jacobian from xl.
bool assumed_shear_rows(std::span<const double> xi, std::span<const double> xl, std::span<double> b) {
  const std::array<std::array<double, 3>, 3> at{{{0.0, 0.0, xi[2]}, {xi[0], 0.0, 0.0}, {0.0, xi[1], 0.0}}};
  for (int s = 0; s < 3; ++s) {
    Derivs<3, 8> dx{};
    double det = 0.0;
    if (!kin::map_point<3, 8>(hex_derivs<8>(at[s]), xl, det, dx)) return false;
    kin::shear_row<3, 8>(3 + s, kShear[s][0], kShear[s][1], dx, b);
  }
  return true;
}

// Cartesian derivatives at the centre of the hexahedron in xl. No sign test:
// the point test reports inverted elements; only a singular centre, which
// has no inverse, is reported here.
bool hex_centre(std::span<const double> xl, Derivs<3, 8>& dxc) {
  const std::array<double, 3> centre{0.0, 0.0, 0.0};
  const Derivs<3, 8> dn = hex_derivs<8>(centre);
  const kin::Mat<3> j = kin::jacobian<3, 8>(dn, xl);
  const double det = kin::determinant(j);
  if (!(std::abs(det) > 0.0)) {
    kin::bad_geometry();
    return false;
  }
  dxc = kin::cartesian<3, 8>(kin::inverse(j, det), dn);
  return true;
}

}  // namespace

void BHEX8(std::span<const double> xi, std::span<const double, 9> r, std::span<const double, 36> ts,
           std::span<const double, 24> xl, std::span<double> b, double& detj, word ibbar, word ishear) {
  constexpr int n = 24;
  kin::zero_rows(b, kNs, n);
  const ESTCOM& e = estcom();
  if (e.EQIX[6] == e.EQIX[7]) {  // node 8 repeats node 7: wedge-shaped, global and plain
    plain_solid<8>(hex_derivs<8>(xi), b, detj);
    return;
  }
  Derivs<3, 8> dxc{};
  if (ibbar == 1 && !hex_centre(xl, dxc)) return;
  Derivs<3, 8> dx{};
  if (!kin::map_point<3, 8>(hex_derivs<8>(xi), xl, detj, dx)) return;
  if (ibbar == 1)
    kin::mean_dilatation_rows<3, 8>(dx, dxc, b);
  else
    kin::normal_rows<3, 8>(dx, b);
  if (ishear == 1) {
    if (!assumed_shear_rows(xi, xl, b)) {
      kin::zero_rows(b, kNs, n);
      return;
    }
  } else {
    shear_rows<8>(dx, b);
  }
  BTRN6(b, r, ts, 8, n);
}

void BTRN6(std::span<double> b, std::span<const double, 9> r, std::span<const double, 36> ts, word nnode, word n) {
  assert(b.size() >= static_cast<std::size_t>(kNs * n) && n >= 3 * nnode);
  // Node blocks: B(c, u_j) = sum_m B_local(c, u_m) R(m, j).
  for (int k = 0; k < nnode; ++k)
    for (int c = 0; c < kNs; ++c) {
      double* row = &b[static_cast<std::size_t>(c * n + 3 * k)];
      const double old[3] = {row[0], row[1], row[2]};
      for (int j = 0; j < 3; ++j) row[j] = old[0] * r[3 * j] + old[1] * r[3 * j + 1] + old[2] * r[3 * j + 2];
    }
  // Columns: global strains = TS local strains.
  for (int col = 0; col < n; ++col) {
    double v[kNs];
    for (int c = 0; c < kNs; ++c) v[c] = b[static_cast<std::size_t>(c * n + col)];
    for (int row = 0; row < kNs; ++row) {
      double s = 0.0;
      for (int c = 0; c < kNs; ++c) s += ts[6 * c + row] * v[c];
      b[static_cast<std::size_t>(row * n + col)] = s;
    }
  }
}

void BHEX20(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<20>(hex_derivs<20>(xi), b, detj);
}

void BPENT6(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<6>(pent_derivs<6>(xi), b, detj);
}

void BPENT15(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<15>(pent_derivs<15>(xi), b, detj);
}

void BTET10(std::span<const double> l, std::span<double> b, double& detj) { plain_solid<10>(tet_derivs(l), b, detj); }

}  // namespace zephsol
