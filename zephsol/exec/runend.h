// End of run, progress file, clocks and the module status line.
#pragma once

#include <string>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

// Prints what is queued, deletes the work files, writes the completion state
// to the progress file and ends the process (exit status 0 for a normal or
// warnings-only end, 1 for an error end).
[[noreturn]] void RUNEND();
void SCRDEL();
void PRGSTS(word n);
void MODBGN(std::string_view name8);
void MODSTS(const word* words, word n);
float IOSECS();
std::string DATMDY();
std::string TIMHMS();
float ELAPSD();

}  // namespace zephsol
