// Solve module SOLVE: the displacement increments DUG of one step and, on
// request, the forces of constraint OQGV, from the load vectors, the
// reduced stiffness of MCE and the DOF sets, rotations and prescribed values
// of the interval.
//
// Sets as in the constraint reduction (mce.h): o = DOFs with USET bit value 1
// (dependent) or 2 (prescribed); n = the others; L = the DOFs of n without
// bit value 8. With G = GST (n x o) and y_s = YS:
//   P_n := P_n - GKFS y_s + G P_o;   K_LL u_L = P_L;   u_o = G^T u_n + y_s;
//   q_o = GKFS^T u_n - P_o + KSS y_s;   q_n = -G q_o.
// Loads of rotated nodes are turned into the nodes' own systems first
// (v' = R v, LDSPLT); the merged vectors are turned back (v = R^T v',
// GVMERG). A DOF with bit value 512 (on no active element) is zero in DUG and
// OQGV.
//
// Reads USET, K (LLL for method 0, KLL for methods 1 and 2), P (one or more
// columns of nG rows), YS (0: none), GST, KSS, GKFS and ROTB file 1 (when
// USET header word 6 has bit 2^30). Writes DUG: nG rows, form 2, one column
// per load column, or with rotated nodes two (the merged vector in the
// nodes' systems, then in global axes); OQGV (when its number is positive):
// one column per load column, in the nodes' systems. Header [columns, nG, 2,
// IPREC, largest column, trunc(terms / (nG x columns) x 10000)]. Uses the
// scratch data blocks 301 to 304 and releases them.
//
// Open core: the vector area of nG doubles from the first odd word after nG,
// the rotation list (10 words per rotated node) after it, three buffers at
// the top; the vector area and what follows serve the matrix routines and
// the solvers. The solver work array of methods 1 and 2 is the array the
// main program allocated, with the words it really holds, or the open core
// when there is none.
//
// Messages (fatal): 3 (required, available) open core too small; 701 (P
// rows, nG); 821, 822, 903, 904 set counts that disagree (logic errors);
// 3053 ("UF  ", type) a free-set solution of another precision; those of the
// solvers (fwbsub.h, spsolv.h) and of the matrix routines. A step ends
// (error flag set) with 5025 naming the node and component of the first
// displacement no REAL word can hold, else 5027 of the first such force of
// constraint.
#pragma once

#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// The module: data block numbers as the main program passes them (218, 230 or
// 227, 225 or 233, 220 or 0, 219, 228, 229, 223, 231, 237), the method
// (0 profile, 1 conjugate gradients, 2 sparse) and the solver work array.
void SOLVE(word USET, word K, word P, word YS, word GST, word KSS, word GKFS, word ROTB, word DUG, word OQGV,
           word method, const SolverWork& solwrk);

// Splits the load columns of p into po (o set) and pn (n set), rotating each
// column by the rotation list first. sets: the USET words; v: nG doubles of
// work; buffers: the open-core buffers of p, po and pn. A part without any
// term is released and its number set to 0.
void LDSPLT(MCB& p, MCB& po, MCB& pn, std::span<const word> sets, std::span<double> v,
            std::span<const word> rotations, std::span<const word, 3> buffers);

// Merges the o part and the n part (number 0: absent) into out, column by
// column, each term at the G position its map gives (0: not placed); with
// rotations each merged column is followed by its twin in global axes.
// columns: how many to write when the n part is absent; buffers: those of
// out, o and n.
void GVMERG(MCB& o, MCB& n, MCB& out, std::span<const word> omap, std::span<const word> nmap, std::span<double> v,
            std::span<const word> rotations, word columns, std::span<const word, 3> buffers);

}  // namespace zephsol
