// The step output driver OFP1: all output of one converged step.
//
// It resolves the step's result-file requests (when the input held a
// "NOUTPUT" block) and print requests, opens the result file on the first
// output call of the run, frames the step's blocks in it while OFPREQ word 8
// is positive, loads the node table (EQIX record 2) with the nodes on no
// active element marked by a negative identifier, and hands the step's data
// to the nodal routines (displacements, reactions, release forces while an
// excavation release is active) and then to the element routines, with the
// scratch blocks $301 (principal values) and $302 (element forces). It prints
// nothing itself.
//
// Data blocks read: CTRL, CTRN, EQIX, USET, UG (the second column when it
// has two), UGSV (relative displacements from the intervals of "SINTVAL"),
// OQGV, DPG, XCLD, CONE, EIV0; $301 and $302 written and released.
// Messages: -3 (words required, words available) when an open-core plan does
// not fit below the buffers; those of the request resolution.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Data block numbers of CTRL, CTRN, USET, EQIX, UG, EIV0, UGSV, OQGV and DPG,
// and the interval's excavation flag (not consulted).
void OFP1(word ctrl, word ctrn, word uset, word eqix, word ug, word eiv0, word ugsv, word oqgv, word dpg,
          word excavf);

// The output of an interval that changes materials, called in place of
// OFP1: the requests and the result-file framing as in OFP1, then only the
// material-change report and vector 81000 (OFPMCI), and, when the interval
// adds or removes element groups (excavf not 0), the group of every node and
// the active elements. Reads EQIX, EIV0, EST, MATD, ENTD.
// Messages: -3 (words required, words available) when its plan does not fit.
void OFP1M(word ctrl, word ctrn, word eiv0, word excavf);

// The external numbers of the active elements (status word 0) of the nel
// records of the state block file (open for reading), stored from open-core
// word list; area: room of lrec words for one record. count: how many.
void OFP1CC(word file, word nel, word list, word area, word lrec, word& count);

}  // namespace zephsol
