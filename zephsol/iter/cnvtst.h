// Convergence test of the non-linear iteration, CNVTST.
//
// The main program calls it after the first solution of a step (first = 1:
// the reference norms are recorded) and after every equilibrium iteration
// (first = 0: the decision). It measures the displacement increment DUG and
// the unbalanced force QG in REAL arithmetic,
//   d = sqrt(sum DUG_i^2) over all nG rows,
//   F = sqrt(sum QG_i^2) over the rows whose USET word has bit 256 (a free
//       DOF on an active element),
// and compares them with the step's first norms d1, F1 under CNVTOL, by the
// criterion ICNVKD (0 none, 1 displacement, 2 force, 3 both). On an interval
// without material changes (STPCTR word 5 < 0):
//   displacement: d/d1 <= CNVTOL or d/Dacc <= CNVTOL (never when d1 = 0),
//   force: F/F1 <= CNVTOL, or else |F - Fprev|/F1 <= CNVTOL (stagnation),
//          always when F1 = 0;
// on an interval that changes materials the tests are d <= d1 and F <= F1.
// The caller's four REAL words d1, F1, Fprev and Dacc carry the norms from
// call to call of a step; conv is -1 converged, 0 not.
//
// Under diagnostic switch 55 it prints message 5020 with the norms on the
// listing and writes them with Japanese labels to the convergence log
// ("CONV", unit 998). The log is started afresh by the first test of the run
// and later tests add to it, so that it keeps every iteration of the run.
// A step accepted by stagnation while F/F1 is still above the tolerance is
// reported with warning 5024 and the ratio, on the listing, the error log
// and the convergence log.
//
// Reads USET, DUG (first column) and QG. Open core: the vector from word 1,
// the USET words after it, one buffer at the top.
// Messages (fatal): 3 (needed, available) open core too small; 701 (block,
// rows) DUG or QG with a row count other than nG.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: USET, DUG and QG by data block number (218, 231, 233 in the
// main program).
void CNVTST(word USET, word DUG, word QG, word first, float& d1, float& f1, float& fprev, float& dacc,
            word& conv);

}  // namespace zephsol
