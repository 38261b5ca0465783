// End of run, progress file, clocks and the module status line.
//
// RUNEND prints what is queued, deletes the work files (through the file
// system's hook), writes the completion state to the progress file and ends
// the process: completion code -1 (normal) and -2 (warnings only) exit with
// status 0, -8 (error) with status 1. The progress file (unit 997,
// solver-list key "STAT") holds only the lines of the latest PRGSTS call,
// and is replaced whole by each call.
//
// This library is the base of the program and includes nothing above it. The
// file system (zephsol/dbio) registers what the run end and the module
// status line need of it when it starts (BUFINI).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

[[noreturn]] void RUNEND();

// What the base needs of the file system above it. A null entry: no file
// system in this run (no work files to delete, no blocks written).
struct FileSystemHooks {
  void (*delete_work_files)() = nullptr;  // SCRDEL
  word (*blocks_written)() = nullptr;     // blocks on the work units, BLKCNT(0, 0)
};
void register_file_system(const FileSystemHooks& hooks);
const FileSystemHooks& file_system_hooks() noexcept;

// Progress file: n >= 0 a cumulative step number, -1/-2/-8 a completion code.
void PRGSTS(word n);
// Module start: prints the module status line under diagnostic switch 4.
void MODBGN(std::string_view name8);
// Module status line: clock, elapsed and I/O seconds, blocks, then n words.
void MODSTS(const word* words, word n);
// Estimated input/output seconds: NBLKIO x 0.0333.
float IOSECS();
// "MM/DD/YY" and "HH:MM:SS" of the system clock.
std::string DATMDY();
std::string TIMHMS();
// Seconds since the first call (which returns 0.0).
float ELAPSD();

// The file name of the progress file (the "STAT" value of the solver list,
// blanks at the end dropped), and the lines PRGSTS(n) writes to it. An
// interrupt handler builds the error-end bytes from these beforehand.
std::string progress_file_name();
std::vector<std::string> progress_file_lines(word n);

// Flushes and closes every unit and ends the process with status.
[[noreturn]] void end_process(int status);

}  // namespace zephsol
