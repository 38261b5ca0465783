// Constraint reduction MCE: the matrices the solution needs, from the
// assembled stiffness KGG, the DOF sets of USET and the constraint
// coefficients of GST.
//
// Sets: o = DOFs whose USET word has bit value 1 (dependent) or 2
// (prescribed); n = the others; L = the DOFs of n without bit value 8 (on no
// active element). With G the n x o constraint matrix (u_o = G^T u_n + y_s):
//   KSS  = K_oo (form of KGG);
//   GKFS = K_no, or K_no + G K_oo with dependent DOFs (n x o, rectangular);
//   KLL  = K_nn, or K_nn + G K_on + GKFS G^T with dependent DOFs, with the
//          rows and columns of the bit-8 DOFs removed (form of KGG).
// A part without rows or columns is released (header all zero): KSS and
// GKFS without o set, KLL without L set. KLL is always rewritten or released,
// so no matrix of an earlier pass stays in force; the bit-8 DOFs are removed
// also when no DOF is constrained. The scratch data blocks 301 to 304 are
// released before MCE returns.
//
// Open core: the partition vector in words 1 .. nG, the work area of the
// matrix operations from the odd word after it; one buffer for USET at the
// top.
//
// Messages (fatal): 3 (required, available) open core too small for the
// partition vector; 811 (-o count found, USET header word 4) and 812 (n
// count met, nG - word 4) set counts that disagree with the USET header;
// those of the matrix operations.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: six data block numbers (218, 226, 219, 227, 228 and 229 in the
// main program).
void MCE(word USET, word KGG, word GST, word KLL, word KSS, word GKFS);

}  // namespace zephsol
