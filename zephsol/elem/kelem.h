// Element stiffness and internal forces of the current element.
//
// KELEM calls the stiffness routine of the element's type code: the routine
// returns the element stiffness KE, packed (upper triangle row by row, term
// (i, j), i <= j, at (i-1)(2n-i)/2 + j, n the element DOF count) in element
// DOF order, and with LTHERM bit 0 set the equivalent nodal load TH of the
// node temperatures, which KELEM adds to the load vector at the element's DOF
// index list. The continuum, membrane, shell and joint routines integrate
// KE += w B^T D B point by point with BTDB, D the tangent matrix of the
// point's own state (STPMTX; JNTMAT for joints). The line elements and the
// contact element are closed forms.
//
// FELEM forms the internal force of the current element from the stresses
// stored in its integration points, FE = sum w B^T sigma with the rule, point
// numbering, B and weight of the element's stiffness routine (the stored end
// forces for beams and springs), and subtracts it from a global vector.
//
// Preconditions: ESTCOM holds the element, ETYCOM its type, MATCOM its
// material (stiffness only), and channel A of the state store its state
// record, so that EIVGTA(p) fetches point p.
//
// Reads: ESTCOM, ETYCOM, MATCOM, the state store (channel A), IFPFLG words 3
// and 5. Writes: the SIGCOM cache flag (-1 before the first point of an
// element, and in the low-order solid, plane and axisymmetric routines
// before a point whose tension cut-off mark under the no-tension switch
// differs from the one the cached elastic matrix was built for).
//
// Messages: -8015 ("NDF ", NS) BTDB of an unsupported component count; -5000
// (IECOD, IEXN) a type without element routines; -8001 (IEXN) deferred, a
// triangle with non-positive area (the routine returns with KE and TH
// unchanged); -8003 (IEXN, t) thickness <= 0; -8005 (IEXN, 0) zero rod or
// joint length; -8013 (IEXN, value) a rod area, beam modulus or contact
// spring constant that is not positive; -8063 (equation, vector length) a
// thermal load or an internal force on an equation outside V1 or G; 8204
// printed directly (BEAM2 on a material kind 2, 3, 5 or 7), IERFLG = 1 and
// the run ends.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

// ---- Kernel --------------------------------------------------------------------

// KE(i, j) += sum_ab B(a, i) D(a, b) B(b, j), 1 <= i <= j <= N; B is NS x N
// component by component, D packed NS x NS; NS 1-6 or 12.
void BTDB(std::span<const double> B, std::span<const double> D, word N, word NS, std::span<double> KE);
// The same for NS = 6.
void BTDB6(std::span<const double> B, std::span<const double> D, word N, std::span<double> KE);
// BTDB6 for the B of a solid in global axes, N = 3 x nodes (at most 60):
// column 3k + d non-zero in rows d and the shears that take displacement d
// only (u: 1, 4, 6; v: 2, 4, 5; w: 3, 5, 6), as the plain solid rows are; the
// other terms are taken to be zero and not read. The same KE as BTDB6, term
// for term, with half the arithmetic.
void btdb_solid(std::span<const double> B, std::span<const double> D, word N, std::span<double> KE);

// ---- Dispatchers -----------------------------------------------------------------

// KE (n(n+1)/2) is cleared and formed for the current element. TREC is its
// temperature record (word 1 >= 2: node temperatures, REAL, from word 3);
// with MODE 1 and temperatures the thermal load is added to V1, V1[d - 1]
// for global equation d.
void KELEM(std::span<double> KE, std::span<const word> TREC, std::span<double> V1, word MODE);

// G[d - 1] -= FE(i) for the element's DOF index list d.
void FELEM(std::span<double> G);

// Points the material routines' element and point views at ESTCOM and the
// work record of channel A (KELEM does it itself).
void bind_material_views();

// ---- Stiffness routines ------------------------------------------------------------
// LTHERM bit 0: also form TH; TEMP: node temperatures in element node order.

void KHEX8(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH, word IBBAR,
           word ISHEAR);
void KHEX20(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KPENT6(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KPENT15(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KTET10(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KQAX4(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH, word IBBAR,
           word ISHEAR);
void KTAX3(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KQPLAN4(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH, word IBBAR,
             word ISHEAR);
void KTPLAN3(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KQMEM4(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KTMEM3(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KQFLA4(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KJOINT4(std::span<double> KE);
void KJOINT6(std::span<double> KE);
void KJOINT8(std::span<double> KE);
void KJOINT12(std::span<double> KE);
void KJOINT16(std::span<double> KE);

// Section and material of a BEAM2 member, as its closed-form stiffness takes them.
struct BeamSection {
  double e, nu;         // modulus and Poisson's ratio
  double a, iy, iz, j;  // area, second moments for bending in x-z and x-y, torsion constant (0: Iy + Iz)
  double as_y, as_z;    // shear areas with Iz and with Iy (<= 0: no shear deformation)
  word r1, r2;          // release codes of end 1 and end 2 (integer parts)
};
// The current BEAM2 element's section: property words 1-8, E and nu of
// MATCOM, and under property word 20 Iz = the rigidity that point 1 keeps in
// block 11 / E when its state code is not 0 (the point fetched first).
// Messages: -8013 (IEXN, value) for E <= 0 or nu <= -1.
BeamSection beam_section();
// KL (78 terms) = the local 12 x 12 stiffness of a straight member of length
// L, DOFs u v w rx ry rz per end: the full Timoshenko form with both release
// codes 0; with one code 1 the pinned-end form with that end's rotation terms
// cleared; with both codes 1 a bar (axial terms only); another non-zero code
// takes the pinned-end form without clearing that end. Shared by the
// stiffness and the stress routine of BEAM2.
void beam_local_stiffness(const BeamSection& s, double L, std::span<double> KL);
// A BEAM2 fatal message of two lines on the listing and on the error log:
// text, then the element and material identifiers; IERFLG = 1 and the run
// ends.
[[noreturn]] void beam_fatal(std::string_view text);
// Message 8204 through beam_fatal for a material whose moduli follow the
// point state (kinds 2, 3, 5 and 7), which a BEAM2 cannot take.
void beam_check_material();
// LOCAL bit 0: leave KE in the member's local DOFs.
void KBEAM2(std::span<double> KE, word LOCAL);
void KROD2(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH);
void KSBEAM2(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH, word LOCAL);
void KSPG2(std::span<double> KE);
// End forces F (12) of a beam held at its length at the mean of its two end
// temperatures: -E A alpha Tm along the member at node 1, the opposite at
// node 2; MODE bit 0: in member axes, otherwise global.
void BMTEMP(std::span<const float> TEMP, std::span<double> F, word MODE);
void KCNT2(std::span<double> KE);
// Triad of the contact frame (LAXL2 form: axis a's components at 3a..3a+2):
// local x from node 1 to node 2; for nodes closer than 1e-6 from the origin
// to (cos a cos b, sin a cos b, sin b), a and b property words 7 and 8 in
// degrees converted with the given pi.
std::array<double, 9> contact_frame(double pi);

// ---- Internal-force routines (FE accumulated, n terms) ----------------------------------

void FHEX8(std::span<double> FE, word IBBAR, word ISHEAR);
void FHEX20(std::span<double> FE);
void FPENT6(std::span<double> FE);
void FPENT15(std::span<double> FE);
void FTET10(std::span<double> FE);
void FQAX4(std::span<double> FE, word IBBAR, word ISHEAR);
void FTAX3(std::span<double> FE);
void FQPLAN4(std::span<double> FE, word IBBAR, word ISHEAR);
void FTPLAN3(std::span<double> FE);
void FQMEM4(std::span<double> FE);
void FTMEM3(std::span<double> FE);
void FQFLA4(std::span<double> FE);
void FJOINT4(std::span<double> FE);
void FJOINT6(std::span<double> FE);
void FJOINT8(std::span<double> FE);
void FJOINT12(std::span<double> FE);
void FJOINT16(std::span<double> FE);
void FROD2(std::span<double> FE);
void FBEAM2(std::span<double> FE);
void FSBEAM2(std::span<double> FE);
// The state point of an SBEAM2 whose block 8 holds the element's end forces.
inline constexpr word kSectionBeamForcePoint = 63;
void FSPG2(std::span<double> FE);
void FCNT2(std::span<double> FE);

}  // namespace zephsol
