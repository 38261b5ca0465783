// Element loads: equivalent nodal forces of the body-force and distributed
// load entries of an element load record.
//
// PELEM walks the current element's load record (word 1 = L, the number of
// words after it; from word 3 entries [ELDTYP, m, code, m - 1 values]) and
// sends each entry to the routine of the element type: load type 7 (body
// force) to a PB routine, load type 2 (distributed load) to a PD routine.
// A load routine only adds to the element load vector PE (element DOF order,
// cleared once per element by PELEM); PELEM then adds PE to the global
// vectors through the element's DOF index list. PLHEX8 walks a record of an
// 8-node hexahedron into PE without scattering it. PDHERM, a section-beam
// line load with end moments, is a library routine that PELEM does not call;
// its code-7 values are forces per unit volume, not scaled by GAMM.
//
// Inputs: ESTCOM (node coordinates, first property value, points, IEXN),
// ETYCOM (DOF count) and the unit weight GAMM of MATCOM. Body force per unit
// volume = GAMM x the entry's components; a positive pressure or edge
// traction pushes into the element.
//
// Messages (all end the run):
//   -8019 (IEXN, code)   load code unknown to the routine, or an entry with
//                        fewer values than the code reads
//   -8019 (IEXN, ELDTYP) load type the element type does not take, or an
//                        entry that runs past its record
//   -5000 (IECOD, IEXN)  element type without load routines
//   -8005 (IEXN, 0)      degenerate face of a directional or projected
//                        load; element axes undefined (local-axis routines)
//   -8005 (IEXN, 1 or 3) section beam without length, or with its
//                        orientation node on its line (PDHERM)
//   -8013 (IEXN, value)  section-beam area or second moment not positive
//   -8063 (equation, vector length) a DOF outside the global vectors
// PDHX8B prints its area-share terms on the listing ("PTP" lines).
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Load dispatcher: sign 1 adds PE to v1 and v2; any other sign subtracts it
// from v2 only. Vectors are indexed by global equation (equation 1 first).
void PELEM(std::span<const word> lrec, std::span<double> v1, std::span<double> v2, word sign);
// Adds every entry of an 8-node hexahedron load record to pe.
void PLHEX8(std::span<const word> rec, std::span<double> pe);

// ---- Body force: PE(a, s) += c_s integral of GAMM N_a over the element ----
// code is the entry's code word (not read); values the components.
void PBHEX8(word code, std::span<const float> values, std::span<double> pe);
void PBHEX20(word code, std::span<const float> values, std::span<double> pe);
void PBPENT6(word code, std::span<const float> values, std::span<double> pe);
void PBPENT15(word code, std::span<const float> values, std::span<double> pe);
void PBTET10(word code, std::span<const float> values, std::span<double> pe);
void PBQAX4(word code, std::span<const float> values, std::span<double> pe);
void PBTAX3(word code, std::span<const float> values, std::span<double> pe);
void PBQPLAN4(word code, std::span<const float> values, std::span<double> pe);
void PBTPLAN3(word code, std::span<const float> values, std::span<double> pe);
void PBQMEM4(word code, std::span<const float> values, std::span<double> pe);
void PBTMEM3(word code, std::span<const float> values, std::span<double> pe);
void PBQFLA4(word code, std::span<const float> values, std::span<double> pe);
// Line elements: half the weight GAMM A L at each end (pe of 6 entries).
void PBROD2(word code, std::span<const float> values, std::span<double> pe);

// ---- Face loads of the solids ----
// Pressure faces 1-6; codes 10 f + d and 100 f + d go to PDHX8B.
void PDHEX8(word code, std::span<const float> values, std::span<double> pe);
// Load along global axis d on the true (10 f + d) or projected (100 f + d)
// area of face f, lumped to the face nodes.
void PDHX8B(word code, std::span<const float> values, std::span<double> pe);
void PDHEX20(word code, std::span<const float> values, std::span<double> pe);
void PDPENT6(word code, std::span<const float> values, std::span<double> pe);
void PDPENT15(word code, std::span<const float> values, std::span<double> pe);
void PDTET10(word code, std::span<const float> values, std::span<double> pe);

// ---- Edge loads of plane and axisymmetric elements, beam line loads ----
// Code 10 d + e: direction d on edge e.
void PDQAX4(word code, std::span<const float> values, std::span<double> pe);
void PDTAX3(word code, std::span<const float> values, std::span<double> pe);
void PDQPN4(word code, std::span<const float> values, std::span<double> pe);
void PDTPLAN3(word code, std::span<const float> values, std::span<double> pe);
// BEAM2 line load (pe of 6 entries: the translations of the two ends).
void PDROD2(word code, std::span<const float> values, std::span<double> pe);
// End forces f = (f F1, a F1, f F2, a F2) of a load varying linearly from
// p(1) to p(2) along the line x = (x1, y1, x2, y2); iflg bit 1 weights by
// 2 pi r; icd the direction code. x may be changed (projection).
void PDLN2B(std::span<double, 4> x, std::span<const float> p, word iflg, std::span<double, 4> f, word icd);
// Section-beam line load with end moments, added to pe12 (node 1 u v w rx ry
// rz, then node 2, global axes). Code 7: the global components values(1..3)
// per unit volume times the section area at each station; codes 1, 2, 11,
// 12, 21, 22, 31, 32 as for PDROD2, varying linearly from values(1) to
// values(2). Consistent loads of the member's linear axial and cubic
// Hermitian transverse functions. The element's property values must hold
// A and I as read; they are unchanged on return. count, the counter of the
// global directions, is left at 4.
void PDHERM(word code, word& count, std::span<const float> values, std::span<double, 12> pe12);

// ---- Shells and membranes ----
void PDQFLA4(word code, std::span<const float> values, std::span<double> pe);
void PDQMEM4(word code, std::span<const float> values, std::span<double> pe);
void PDTMEM3(word code, std::span<const float> values, std::span<double> pe);
// Shell face pressure (codes 5, 6) and face load along a global axis (7-9).
void PDQFL5(word code, std::span<const float> values, std::span<double> pe);
void PDQFL7(word code, std::span<const float> values, std::span<double> pe);
// In-plane end forces of an edge of thickness t (first property value),
// normal to the edge, in plane coordinates.
void PDLN2A(std::span<const double, 4> x, std::span<const float> p, std::span<double, 4> f);

}  // namespace zephsol
