// The input phase of a run.
//
// XINPT reads "SOLV.LST", opens the deck, listing and error log, allocates
// the open core and sets up the file system, prints the banner, reads the
// executive control deck and the case control, groups and decodes the bulk
// data, and ends the run when any of it held a fatal error. A restart then
// restores the chosen interval from the old problem tape, and ends the run
// when the restore met a fatal error (a changed model group, a tape that
// does not hold the interval); a fresh run clears the interval control words
// 1-4 and the step counters NINTVL and NSTEPC.
#pragma once

namespace zephsol {

void XINPT();

}  // namespace zephsol
