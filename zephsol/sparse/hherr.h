// Error handler of the sparse library, its environment table, the stop of
// the run after an internal inconsistency, and the reporter of argument
// errors of the matrix-product routines.
//
// HHERR writes a short standard report of every fatal error of an entry on
// its own unit (6 unless redirected), whatever the message level of the
// entries, and limits the number of reports: ten reports of modes 0-3, then
// one notice that messages are suppressed, then silence. Its state lives for
// the whole run (library_state()); xdslin does not reset it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// Report modes: 0 warning, 1 input argument error, 2 the same with the words
// of working storage needed (extra), 3 process error, 4 "above called by",
// 5 as 4 plus "ERROR WAS UNEXPECTED". Control modes: -1 nothing, -2 unit :=
// extra, -3 limit := extra, -4 unit := 6, -5 one level deeper suppression,
// -6 one level less. Any other mode is a misuse, reported at most five times
// per run.
void HHERR(i32 mode, std::string_view name, i32 ier, i64 extra);

// The environment table: 15 integer constants; an index outside 1-15 is 1.
i32 xislev(i32 i);

// The argument-error reporter of the matrix-product routines: four lines on
// unit 6, then the run is stopped.
[[noreturn]] void blas_argument_error(std::string_view routine, i32 param);

// Stops the run after an internal inconsistency of the library: the lines
// are written on unit 6, the library's scratch files are closed, and the
// stop hook ends the run. The hook must not return; the default one ends
// the process with status 1. The host's driver sets its own so that the run
// ends through its fatal path.
using StopHook = void (*)();
[[noreturn]] void sparse_stop(const std::vector<std::string>& lines);
StopHook set_stop_hook(StopHook hook);

}  // namespace zephsol::sparse
