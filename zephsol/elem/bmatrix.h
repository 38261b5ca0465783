// Strain-displacement matrices of the continuum, membrane and shell elements
// at one integration point: B maps the element's nodal displacements to the
// strains at the point, eps = B u. The stiffness, internal-force and stress
// routines of an element type all call the same routine, so they see the same
// kinematics. The routines read the current element (ESTCOM: element ID,
// coordinates, and for HEX8 the EQIX words of nodes 7 and 8) and keep nothing
// between calls; the caller chooses the points and weights.
//
// B layout: NS x n doubles, component by component; DOF j of component c at
// b[c n + j] (0-based), DOFs node by node. Every routine zeroes its NS x n
// entries first. Engineering shear strains, normal components first:
//   solids (6 x 3NN)       e_x, e_y, e_z, g_xy, g_yz, g_zx
//   axisymmetric (4 x 8/6) e_r, e_z, e_hoop, g_rz (coordinates r, z)
//   plane (4 x 8/6)        e_x, e_y, e_z (always zero), g_xy
//   membrane (3 x 8/6)     e_x, e_y, g_xy in the element's in-plane axes
//   flat shell             BM (e_x, e_y, g_xy, g_yz, g_zx) and BB (k_x, k_y,
//                          k_xy, 0, 0), 5 x 24 each, local u v w rx ry rz
// Jacobian J(i, j) = dx_j/dxi_i; DETJ = det J at the point.
//
// Option flags of HEX8, QAX4 and QPLAN4: IBBAR = 1 takes the dilatation (sum
// of the normal strains) from the element centre (QAX4: the in-plane
// dilatation and the hoop strain as their means over the ring the element
// sweeps, weighted by the radius); ISHEAR = 1 takes assumed
// shear strains (HEX8: each shear strain on the local axes through the point;
// QAX4: g_rz constant over the element). The plain type codes pass (0, 1),
// the R codes (1, 0).
//
// Messages: -8001 (IEXN, 0), deferred, for DETJ <= 0 at the point, a shear
// sampling point or the centre (a singular centre for HEX8), or a QAX4 area
// <= 0: the routine returns with B zero and the caller goes on. -8013 (IEXN,
// radius as REAL) QAX4 radius <= 0 and -8039 (IEXN, radius as REAL) TAX3
// radius <= 0 end the run.
#pragma once

#include <array>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// ---- Solids --------------------------------------------------------------------

// xi = (xi, eta, zeta); r, ts, xl from LAXH8 for the current element (not read
// when nodes 7 and 8 share their EQIX word: the degenerate hexahedron takes
// plain rows in global coordinates and neither option). B 6 x 24.
void BHEX8(std::span<const double> xi, std::span<const double, 9> r, std::span<const double, 36> ts,
           std::span<const double, 24> xl, std::span<double> b, double& detj, word ibbar, word ishear);
// HEX8 at the 2 x 2 x 2 Gauss points of one element, for the integration
// loops. hex8_shared forms once what all points of the element share: the
// centre derivatives (IBBAR = 1) and the assumed-shear rows at their six
// sampling positions (ISHEAR = 1), from r, ts, xl set beforehand (LAXH8; not
// read for a degenerate element). hex8_gauss_point then gives at the Gauss
// point xi of indices (i, j, k) (0-based, in xi, eta, zeta) the same B, DETJ
// and messages as BHEX8 at xi.
struct Hex8Shared {
  using Derivs = std::array<std::array<double, 8>, 3>;
  std::array<double, 9> r{};
  std::array<double, 36> ts{};
  std::array<double, 24> xl{};
  word ibbar = 0, ishear = 0;
  bool degenerate = false;
  bool centre_ok = false;
  Derivs centre{};                    // Cartesian derivatives at the centre
  std::array<bool, 6> sample_ok{};    // shear strain s at Gauss index m: 2 s + m
  std::array<Derivs, 6> sample{};     // Cartesian derivatives there (when ok)
};
void hex8_shared(Hex8Shared& sh, word ibbar, word ishear);
void hex8_gauss_point(std::span<const double> xi, int i, int j, int k, const Hex8Shared& sh, std::span<double> b,
                      double& detj);
// Turns B from local to global axes: each node's u v w columns times r (local
// DOFs = r global DOFs), then each column times ts (local to global strains).
void BTRN6(std::span<double> b, std::span<const double, 9> r, std::span<const double, 36> ts, word nnode, word n);
// xi = (xi, eta, zeta). B 6 x 60.
void BHEX20(std::span<const double> xi, std::span<double> b, double& detj);
// xi = (L1, L2, L3, zeta). B 6 x 18 and 6 x 45.
void BPENT6(std::span<const double> xi, std::span<double> b, double& detj);
void BPENT15(std::span<const double> xi, std::span<double> b, double& detj);
// l = (L1, L2, L3, L4). B 6 x 30.
void BTET10(std::span<const double> l, std::span<double> b, double& detj);

// ---- Axisymmetric and plane quadrilaterals, membranes -----------------------------

// xi = (xi, eta); radius = sum N_k r_k at the point. B 4 x 8.
void BQAX4(std::span<const double> xi, std::span<double> b, double& radius, double& detj, word ibbar, word ishear);
// ISHEAR is accepted and not read. B 4 x 8.
void BQPLAN4(std::span<const double> xi, std::span<double> b, double& detj, word ibbar, word ishear);
// xl: in-plane local coordinates of nodes 1-4 (plane_coords of the LAXQ4 axes).
// B 3 x 8 on local u, v.
void BQMEM4(std::span<const double> xi, std::span<const double> xl, std::span<double> b, double& detj);

// ---- Three-node triangles -------------------------------------------------------

// det = (x1 - x3)(y2 - y3) - (x2 - x3)(y1 - y3) of the corners xy (x, y per
// node) and, when det > 0, the inverse Jacobian g column by column (G(1,1),
// G(2,1), G(1,2), G(2,2)) of the map with xi = L1, eta = L2. det <= 0 queues
// the deferred -8001 and returns false.
bool tri3_jacobian(std::span<const double> xy, std::span<double, 4> g, double& det);
// l = (L1, L2, L3), also the shape-function values; g from tri3_jacobian.
// radius = sum L_k r_k. B 4 x 6.
void BTAX3(std::span<const double> l, std::span<const double, 4> g, std::span<double> b, double& radius);
// B 4 x 6; l not read.
void BTPLAN3(std::span<const double> l, std::span<const double, 4> g, std::span<double> b);
// B 3 x 6 on local DOFs; l not read.
void BTMEM3(std::span<const double> l, std::span<const double, 4> g, std::span<double> b);

// ---- Flat shell ------------------------------------------------------------------

// xl as for BQMEM4. BM: membrane strains at the point, transverse shear
// g_yz = w,y - rx sampled at (xi, 0) and g_zx = w,x + ry at (0, eta); BB:
// curvatures k_x = ry,x, k_y = -rx,y, k_xy = ry,y - rx,x at the point. DETJ
// is the value at the point itself.
void BQFLA4(std::span<const double> xi, std::span<const double> xl, std::span<double> bm, std::span<double> bb,
            double& detj);

}  // namespace zephsol
