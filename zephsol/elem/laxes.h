// Local axes of the current element and the local-to-global transformation
// of a packed element matrix.
//
// Triad T: 9 doubles; row a is the unit local axis e_a in global components,
// T(a, j) = e_a . g_j, stored column by column (e1x, e2x, e3x, e1y, ...), so
// that u_local(a) = sum_j T(a, j) u(j). Right-handed: e3 = e1 x e2.
// LAXL2 returns the transpose (e1, e2, e3, each axis's components together).
//
// The routines read the node coordinates of ESTCOM (three per node).
//   LAXT3   nodes 1, 2, 3: e1 from 1 to 2, e3 normal to the three points
//           (beams without a usable orientation node take a default)
//   LAXQ4   quadrilateral corners 1-4 (node order of the 4-node functions)
//   LAXQ8   corners 1, 3, 6, 8 of an 8-node face
//   LAXT6   corners 1, 3, 6 of a 6-node triangular face
//   LAXL2   two given points (contact element)
//   LAXH8   the 8-node hexahedron: axes from the Jacobian at its centre, the
//           strain transformation TS and the local node coordinates
//   LAXTRN  KG = Q^T KL Q block by block, Q the upper-left ILDM x IGDM of T
// plane_coords gives the in-plane local coordinates of face nodes for the
// membrane, shell and joint kinematics.
//
// Messages: -8005 (IEXN, 0) axes undefined (LAXT3, LAXQ4, LAXQ8, LAXT6; the
// run ends); -8001 (IEXN, 0) deferred, a zero axis at the hexahedron centre;
// -8015 ("IGDM" or "ILDM", value) a DOF pair LAXTRN does not accept.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Axes of nodes 1-3; length = |X2 - X1|.
void LAXT3(std::span<double, 9> t, double& length);
void LAXQ4(std::span<double, 9> t);
void LAXQ8(std::span<double, 9> t);
void LAXT6(std::span<double, 9> t);
// dc: e1 from p1 to p2, e2 = z x e1 normalised (with -x for z when e1 is
// near the z axis), e3 = e1 x e2. The caller ensures |p2 - p1| > 1e-6.
void LAXL2(std::span<const double, 3> p1, std::span<const double, 3> p2, std::span<double, 9> dc);
// r the triad (T form); ts the 6 x 6 map of engineering strains from local to
// global axes (e_x, e_y, e_z, g_xy, g_yz, g_zx), column by column; xl(a, k) =
// e_a . X_k at xl[3 k + a] for the eight nodes. On a zero axis the outputs are
// undefined and -8001 is queued.
void LAXH8(std::span<double, 9> r, std::span<double, 36> ts, std::span<double, 24> xl);
// Transforms packed kl (nblk blocks of ildm DOFs) into packed kg (nblk blocks
// of igdm DOFs); (igdm, ildm) one of (2, 2), (3, 2), (3, 3). kl and kg may be
// the same array when ildm = igdm.
void LAXTRN(word ildm, word igdm, word nblk, std::span<const double, 9> t, std::span<const double> kl,
            std::span<double> kg);

// xl(a, k) = T(a, 1) x_k + T(a, 2) y_k + T(a, 3) z_k at xl[2 k + a], a = 0, 1,
// for nodes 1..nn of the current element (a rotation, no shift of origin).
void plane_coords(std::span<const double, 9> t, int nn, std::span<double> xl);

}  // namespace zephsol
