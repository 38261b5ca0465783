// Solver list file "SOLV.LST": the files of the run and its working storage.
//
// SOLLST reads "SOLV.LST" (unit 99) into the key table SOLVKY and the system
// words MEMO, MMEM and PMEM, opens the input deck (unit 5, "INPT"), the
// listing (unit 6, "LIST") and the error log (unit 999, "ERRO"), empties
// the error log and an existing convergence log ("CONV") left by an earlier
// run, and allocates the open core of MEMO megabytes. A line holds a key in columns
// 2-5 and its value from column 7; "END" in columns 2-4 ends the list.
//
// Failures are written on the console (the listing may not exist yet), set
// IERFLG and end the run: no "SOLV.LST", an unknown key, a file name of more
// than 256 characters, a missing input deck, and an open core that is not
// positive, too large for the word space or refused ("MEMORY ALLOCATION
// FAILED", also on units 6 and 999).
#pragma once

#include <string>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

void SOLLST();

// What one line of the solver list file does.
struct SolvLine {
  enum class Kind { Stored, End, Fault };
  Kind kind = Kind::Stored;
  std::string console;  // the console line of a fault
};

// Applies one line (as read, without its line end) to SOLVKY and the system
// words.
SolvLine solv_apply(std::string_view raw);

// The file name of a key (solver_file_name of the run's table).
std::string solvky_file_name(std::string_view key);

}  // namespace zephsol
