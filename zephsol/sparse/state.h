// The static storage of the sparse library, gathered in one record: the
// release banner, the error handler's state, the phase timers, the figure
// structural input keeps for its messages, and the registry of scratch
// files. The library serves one problem at a time in one process.
#pragma once

#include <array>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

struct HherrState {
  bool initialised = false;
  int unit = 6;
  i32 limit = 10;  // reports of modes 0-3 still allowed; down to -2
  i32 count = 0;   // calls of modes 0-3 seen
  i32 depth = 0;   // suppression depth
  i32 misuse = 5;  // "used improperly" reports still allowed
};

// Start readings of a phase timer (processor and wall seconds).
struct TimerStart {
  double cpu = 0.0;
  double wall = 0.0;
};

// Tests: an ordering of the compressed graph given in place of the nested
// dissection (1-based perm new-to-old and iperm old-to-new).
using OrderHook = void (*)(i32 nvtxs, const iword* xadj, const iword* adjncy, iword* perm, iword* iperm);

struct LibraryState {
  std::array<char, 55> banner{};
  HherrState hherr;
  TimerStart ordering, symbolic, factor, solve;
  i64 structure_figure = 0;  // xdslim: 8X + 2aux + 200 of the first call
  FileRegistry files;
  OrderHook order_hook = nullptr;
};

LibraryState& library_state();
// A fresh state as at program start (tests); open scratch files are closed.
void reset_library_state();

}  // namespace zephsol::sparse
