// State adjustment before a re-execution, MODEIV.
//
// When the stress recovery of a step found a state reversal, the step runs
// again from its starting states adjusted by what the first pass found.
// MODEIV reads, element by element and point by point, the states at the
// start of the step (EIV0) and after the first pass (EIV1), and writes EIV2:
// the EIV0 record with
//   - the plastic flag cleared where the point unloaded in the first pass
//     (flag set in EIV0 with its block-2 switch on, clear in EIV1);
//   - joint and contact points (block-11 switch on) taken back to stick:
//     slip (3) that stuck (2) in EIV1 becomes stick; slip or post-peak slip
//     (3, 4) that stuck in EIV1 becomes stick with EIV1's lock flag; a lock
//     set in EIV1 is carried over.
// Every other word equals EIV0's. EIV2's header is EIV0's, with words 2 and 5
// kept by the record writer from 0.
//
// Open core: three buffers at the top, the rest split in halves for the two
// channels' element records.
// Messages (fatal): 3 (needed, available) open core too small; the state
// store's read and write failures.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: EIV0, EIV1 and EIV2 by data block number (240, 235, 236 in
// the main program).
void MODEIV(word EIV0, word EIV1, word EIV2);

}  // namespace zephsol
