// Stress routines of the structural and interface elements: the beam BEAM2
// (SBEAM) and the section beam SBEAM2 (SSBEAM2), the rod ROD2 (SROD2), the
// spring SPG2 (SSPG2), the joints JOINT4 .. JOINT16 (SJOINT4 .. SJOINT16 with
// the joint law JNTSIG) and the contact element CNT2 (SCNT2 with its
// tangent matrix CNTMAT and its moment curves SCHYS1-3).
//
// Each routine updates the integration-point states of the current element
// (ESTCOM, its state record on channel A of the state store, its material in
// MATCOM) from the element's displacement increment UE (element DOF order,
// global axes) and adds the element's nodal forces in global axes into FE,
// which the caller has zeroed. ITHERM is -1 when the element has
// temperatures; TEMP then holds the two end values of the step.
//
// Kept in the state (point 1 unless told): BEAM2 its accumulated end forces
// in member axes (block 8 values 2-13), under the moment-curvature law the
// curve moment (block 8 value 1), the curvature (third component 6), the
// curvature ratios (block 10 values 2, 3) and the state code, the state at
// the start of the update and the tangent rigidity (block 11); SBEAM2 its end
// forces with point 63; ROD2 its axial end forces; SPG2 its accumulated
// global end forces; joints and contact their tractions (first component
// vector), relative displacements (third), state code and lock flag (block
// 11), the contact also its end forces (block 8) and curve records (block 12).
//
// Flags (SIGCOM): KITER when a point changed branch or state (the step is
// iterated), KRERUN when a joint or contact reversed in a way that asks for
// the step to be run again.
//
// Messages: 8204 and 8205 printed by SBEAM itself (IERFLG = 1, the run
// ends); -8005 (IEXN, 0) a rod or JOINT4 of zero length; -8001 (IEXN, 0)
// deferred, a joint face of non-positive area; -8015 ("IDIM", n) and -971
// (IEXN, material ID) from CNTMAT and the joint matrix; those of the point
// law, the section and the local axes.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void SBEAM(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SSBEAM2(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SROD2(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SSPG2(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);

// Joint law of a three-component joint point (normal, two shears): the point
// fetched into EIVWKA, its relative displacement increment in the third
// component vector of EIVWKB; the caller stores the point.
void JNTSIG();
void SJOINT4(std::span<const double> UE, std::span<double> FE);
void SJOINT6(std::span<const double> UE, std::span<double> FE);
void SJOINT8(std::span<const double> UE, std::span<double> FE);
void SJOINT12(std::span<const double> UE, std::span<double> FE);
void SJOINT16(std::span<const double> UE, std::span<double> FE);

void SCNT2(std::span<const double> UE, std::span<double> FE);
// Packed diagonal tangent D of the contact point in EIVWKA, of order N = 2
// (normal, shear), 3 (normal, two shears) or 6 (and three rotations).
void CNTMAT(word N, std::span<double> D);
// The curves of the moment components 4, 5 and 6: the trial rotation in
// SIGCOM's second working array gives the trial moment in its first.
void SCHYS1();
void SCHYS2();
void SCHYS3();

}  // namespace zephsol
