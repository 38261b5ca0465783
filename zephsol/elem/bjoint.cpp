// Strain-displacement matrices of the joint elements.
#include "zephsol/elem/bjoint.h"

#include <array>

#include "zephsol/elem/kinem.h"
#include "zephsol/elem/shapes.h"

namespace zephsol {
namespace {

using kin::Derivs;

// Rows of a 3-D joint of M nodes per face: component c on local DOF
// kDof[c] (w, u, v), -N_k at first-face node k, +N_k at node k + M.
template <int M>
void relative_rows(const std::array<double, M>& nv, std::span<double> b) {
  constexpr int n = 3 * 2 * M;
  constexpr int kDof[3] = {2, 0, 1};
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < M; ++k) {
      b[c * n + 3 * k + kDof[c]] = -nv[k];
      b[c * n + 3 * (k + M) + kDof[c]] = nv[k];
    }
}

// det of the face map from its in-plane local coordinates; false (-8001
// queued) when not positive.
template <int M>
bool face_jacobian(const Derivs<2, M>& dn, std::span<const double> xl, double& detj) {
  detj = kin::determinant(kin::jacobian<2, M>(dn, xl));
  return kin::positive_jacobian(detj);
}

// A quadrilateral face of M = 4 or 8 nodes.
template <int M>
void quad_joint(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj) {
  kin::zero_rows(b, 3, 6 * M);
  if (!face_jacobian<M>(kin::quad_derivs<M>(xi), xl, detj)) return;
  relative_rows<M>(kin::quad_values<M>(xi), b);
}

}  // namespace

void BJOINT4(double xi, double /*length*/, std::span<double> b) {
  constexpr int n = 8;
  kin::zero_rows(b, 2, n);
  const double n1 = (1.0 - xi) / 2.0, n2 = (1.0 + xi) / 2.0;
  const double coef[4] = {-n1, -n2, n2, n1};  // nodes 1, 2, 3, 4
  for (int k = 0; k < 4; ++k) {
    b[0 * n + 2 * k + 1] = coef[k];  // normal: v
    b[1 * n + 2 * k + 0] = coef[k];  // tangential: u
  }
}

void BJOINT6(std::span<const double> l, std::span<double> b) {
  kin::zero_rows(b, 3, 18);
  relative_rows<3>({l[0], l[1], l[2]}, b);
}

void BJOINT8(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj) {
  quad_joint<4>(xi, xl, b, detj);
}

void BJOINT12(std::span<const double> l, std::span<const double> xl, std::span<double> b, double& detj) {
  kin::zero_rows(b, 3, 36);
  // Face rows d/dL1 - d/dL3 and d/dL2 - d/dL3 of the six-node triangle.
  std::array<std::array<double, 6>, 3> d{};
  for (int i = 0; i < 3; ++i) SHPTRI(i + 1, l, d[i]);
  Derivs<2, 6> dn{};
  for (int k = 0; k < 6; ++k) {
    dn[0][k] = d[0][k] - d[2][k];
    dn[1][k] = d[1][k] - d[2][k];
  }
  if (!face_jacobian<6>(dn, xl, detj)) return;
  std::array<double, 6> nv{};
  SHPTRI(0, l, nv);
  relative_rows<6>(nv, b);
}

void BJOINT16(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj) {
  quad_joint<8>(xi, xl, b, detj);
}

}  // namespace zephsol
