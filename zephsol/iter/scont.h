// Stress routines of the continuum elements: solids (SHEX8 for HEX8 and
// HEX8R, SHEX20, SPENT6, SPENT15, STET10), axisymmetric and plane elements
// (SQAX4 for QAX4 and QAX4R, STAX3, SQPLAN4 for QPLAN4 and QPLAN4R,
// STPLAN3), membranes (SQMEM4, STMEM3) and the flat shell (SQFLA4).
//
// Each routine walks the integration points of its element type in the
// order of the state points, with the rule, B and weight of the element's
// stiffness: per point, the strain increment d eps = B u (u in the element's
// own axes for the membranes and the shell), with temperatures the thermal
// strain alpha T on the normal components (T interpolated from the nodes),
// the point law ELMSIG, and FE += w B^T sigma. The state points that take no
// part in the integration (the centre of HEX8, PENT6, the quadrilaterals and
// QMEM4; the nine levels of the centre of QFLA4) are updated the same way
// and add no force. SQFLA4 then keeps the shell's section forces in block 8
// of point 5: membrane forces (s_top + s_bottom) t / 2, moments
// (s_top - s_bottom) t^2 / 12, transverse shears, from the stresses of the
// faces at the centre (points 5 and 45).
//
// Every routine sets the elastic-matrix cache flag of SIGCOM to -1 first;
// HEX8, PENT6, QAX4, QPLAN4 and TAX3 also before a point whose tension
// cut-off mark differs from the one the cached matrix was built for.
//
// Arguments as in stress_table.h; IBBAR and ISHEAR are the option flags of
// the strain-displacement routine: (0, 1) for HEX8, QAX4 and QPLAN4, (1, 0)
// for their R forms.
//
// Messages: -8001 (IEXN, 0), deferred, a triangle of non-positive area (no
// point is touched and the element adds no force) or a degenerate point of
// the quadrilaterals and solids; those of ELMSIG.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void SHEX8(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
           word ISHEAR);
void SHEX20(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SPENT6(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SPENT15(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void STET10(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SQAX4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
           word ISHEAR);
void STAX3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SQPLAN4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
             word ISHEAR);
void STPLAN3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SQMEM4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void STMEM3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);
void SQFLA4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE);

}  // namespace zephsol
