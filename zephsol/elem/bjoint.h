// Strain-displacement matrices of the joint elements at one point of the
// joint face: B maps the element's nodal displacements in local axes to the
// relative displacements of the second face against the first. The joint's
// stiffness, internal-force and stress routines all call the same routine.
//
// Nodes: the first face, then the second; node k + m of the second face lies
// opposite node k of the first (m nodes per face). JOINT4 is numbered around
// the element: node 4 opposite node 1, node 3 opposite node 2.
// Components: JOINT4 (2 x 8, local u along the joint, v normal): relative v,
// relative u. The 3-D joints (3 x n, local u v along axes 1, 2 of the face, w
// normal): relative w, relative u, relative v. Each row carries -N_k on the
// first-face node k and +N_k on its partner. Layout as the continuum B:
// component c of DOF j at b[c n + j].
//
// xl: in-plane local coordinates of the first face's nodes (plane_coords);
// DETJ = area factor of the face at the point.
//
// Messages: -8001 (IEXN, 0), deferred, for a face DETJ <= 0 (JOINT8, JOINT12,
// JOINT16): the routine returns with B zero and the caller goes on.
#pragma once

#include <span>

namespace zephsol {

// xi in [-1, 1] from node 1 to node 2; length is not needed by the matrix.
void BJOINT4(double xi, double length, std::span<double> b);
// l = (L1, L2, L3), the face functions themselves. B 3 x 18.
void BJOINT6(std::span<const double> l, std::span<double> b);
// xi = (xi, eta); xl 2 x 4. B 3 x 24.
void BJOINT8(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj);
// l = (L1, L2, L3); xl 2 x 6. B 3 x 36.
void BJOINT12(std::span<const double> l, std::span<const double> xl, std::span<double> b, double& detj);
// xi = (xi, eta); xl 2 x 8. B 3 x 48.
void BJOINT16(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj);

}  // namespace zephsol
