// Checkpoint writer.
//
// CHKSAV appends one checkpoint to the new problem tape NPTP: the "XVPS" set
// with the counters of the run (step counters, interval control words,
// ISINTV and IAMPC, the loops' release words) and one set per data block
// given, each with its six header words and, unless those are all zero, its
// records. The main program calls it after each model module (loop flag 0)
// and after the last step of every interval (loop flag 1).
//
// Checkpoint modes (ICHKPT): 0 none; 1 "LAST": each step-loop checkpoint is
// written over the one before, in a copy of the tape ("NPTP.NEW" beside it)
// that replaces the tape once the new checkpoint is whole, so that the tape
// always holds a whole one; 2 the model set-up checkpoints and the step-loop checkpoints
// of the intervals of CHKLST; 3 every checkpoint.
//
// Data blocks: appends to NPTP; reads the data blocks given.
// Messages: fatal -3 (no room for the two tape buffers and the 300-word copy
// area: words needed, open-core words); fatal -201 (NPTP is open or not
// defined: "NPTP").
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// d1 to d10 are data block numbers, 0 for an empty slot; loop is the loop
// flag (0 model set-up, 1 step loop).
void CHKSAV(word d1, word d2, word d3, word d4, word d5, word d6, word d7, word d8, word d9, word d10,
            word loop);

}  // namespace zephsol
