// Strain-displacement matrices of the four-node flat shell: membrane strains
// and curvatures at the point, transverse shear strains sampled on the lines
// eta = 0 and xi = 0 through it.
#include <array>

#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/kinem.h"

namespace zephsol {
namespace {

using kin::Derivs;

constexpr int kNdof = 6;  // u v w rx ry rz per node
constexpr int kN = 4 * kNdof;
enum Dof { U, V, W, RX, RY };

// Transverse shear row of BM sampled at pt: row 3 (0-based) g_yz = w,y - rx,
// row 4 g_zx = w,x + ry.
bool transverse_shear_row(int row, std::span<const double> pt, std::span<const double> xl, std::span<double> bm,
                          double& detj) {
  Derivs<2, 4> dx{};
  if (!kin::map_point<2, 4>(kin::quad_derivs<4>(pt), xl, detj, dx)) return false;
  const auto nv = kin::quad_values<4>(pt);
  const bool yz = row == 3;
  for (int k = 0; k < 4; ++k) {
    bm[row * kN + kNdof * k + W] = dx[yz ? 1 : 0][k];
    bm[row * kN + kNdof * k + (yz ? RX : RY)] = yz ? -nv[k] : nv[k];
  }
  return true;
}

}  // namespace

void BQFLA4(std::span<const double> xi, std::span<const double> xl, std::span<double> bm, std::span<double> bb,
            double& detj) {
  kin::zero_rows(bm, 5, kN);
  kin::zero_rows(bb, 5, kN);
  const std::array<double, 2> on_eta0{xi[0], 0.0}, on_xi0{0.0, xi[1]};
  if (!transverse_shear_row(3, on_eta0, xl, bm, detj)) return;
  if (!transverse_shear_row(4, on_xi0, xl, bm, detj)) {
    kin::zero_rows(bm, 5, kN);
    return;
  }
  Derivs<2, 4> dx{};
  if (!kin::map_point<2, 4>(kin::quad_derivs<4>(xi), xl, detj, dx)) {
    kin::zero_rows(bm, 5, kN);
    return;
  }
  kin::normal_rows<2, 4, kNdof>(dx, bm);
  kin::shear_row<2, 4, kNdof>(2, U, V, dx, bm);
  // k_x = ry,x; k_y = -rx,y; k_xy = ry,y - rx,x.
  for (int k = 0; k < 4; ++k) {
    bb[0 * kN + kNdof * k + RY] = dx[0][k];
    bb[1 * kN + kNdof * k + RX] = -dx[1][k];
    bb[2 * kN + kNdof * k + RX] = -dx[0][k];
    bb[2 * kN + kNdof * k + RY] = dx[1][k];
  }
}

}  // namespace zephsol
