// Error handler, environment table, stop of the run, matrix-product
// argument-error reporter.
#include "zephsol/sparse/hherr.h"

#include <array>
#include <string>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

constexpr std::array<i32, 15> kEnvironment = {2147483647, 2147483647, 2147483647, 6, 5, 6, 80, 133,
                                              9,          7,          16,         1, 4, 1, 2};

// The name in an eight-character field.
std::string name8(std::string_view name) {
  std::string s(name.substr(0, 8));
  s.resize(8, ' ');
  return s;
}

void put(int unit, const std::string& line) { unit_write_line(unit, line); }

void initialise(HherrState& h) {
  h.initialised = true;
  h.unit = xislev(4);
  h.limit = 10;
  h.count = 0;
  h.depth = 0;
}

void misuse(HherrState& h, i32 mode, std::string_view name) {
  if (h.misuse <= 0) return;
  --h.misuse;
  put(h.unit, "0***** ERROR HANDLER (HHERR) USED IMPROPERLY");
  put(h.unit, fline("(7X,'MODE =',I8,' FROM ',A)", {mode, name8(name)}));
  put(h.unit, "");
}

void report(HherrState& h, i32 mode, std::string_view name, i32 ier, i64 extra) {
  if (h.depth > 0) return;
  if (h.limit == 0 && h.count != 0 && mode <= 3) {
    put(h.unit, "0***** ERROR HANDLER (HHERR) MESSAGE LIMIT EXCEEDED");
    put(h.unit, "       ONE OR MORE MESSAGES SUPPRESSED");
    put(h.unit, "");
  }
  if (mode <= 3) {
    ++h.count;
    h.limit = std::max(h.limit - 1, -2);
  }
  if (h.limit < 0) return;
  static constexpr std::array<const char*, 6> kHeader = {
      "0***** WARNING REPORTED BY SUBROUTINE ",
      "0***** INPUT ARGUMENT ERROR REPORTED BY SUBROUTINE ",
      "0***** INPUT ARGUMENT ERROR REPORTED BY SUBROUTINE ",
      "0***** PROCESS ERROR REPORTED BY SUBROUTINE ",
      " ***** ABOVE CALLED BY SUBROUTINE ",
      " ***** ABOVE CALLED BY SUBROUTINE "};
  put(h.unit, kHeader[mode] + name8(name));
  if (mode == 2) put(h.unit, fline("(3X,I8,' WORDS OF WORKING STORAGE NEEDED')", {extra}));
  if (mode == 5) put(h.unit, "       ERROR WAS UNEXPECTED");
  put(h.unit, fline("(7X,'SEE  ',A,' ABSTRACT (IER =',I5,')')", {name8(name), ier}));
  put(h.unit, "");
}

}  // namespace

i32 xislev(i32 i) { return kEnvironment[(i < 1 || i > 15) ? 0 : i - 1]; }

void HHERR(i32 mode, std::string_view name, i32 ier, i64 extra) {
  HherrState& h = library_state().hherr;
  if (!h.initialised) initialise(h);
  switch (mode) {
    case -1: return;
    case -2: h.unit = static_cast<int>(extra); return;
    case -3: h.limit = static_cast<i32>(extra); return;
    case -4: h.unit = xislev(4); return;
    case -5: ++h.depth; return;
    case -6:
      if (h.depth > 0) --h.depth;
      return;
    default: break;
  }
  if (mode < 0 || mode > 5) misuse(h, mode, name);
  else report(h, mode, name, ier, extra);
}

void blas_argument_error(std::string_view routine, i32 param) {
  unit_write_line(6, " " + std::string(50, '*'));
  unit_write_line(6, fline("(' Error for BLAS/LAPACK subprogram  ',A,'  in parameter number ',I2,'.')",
                           {routine, param}));
  unit_write_line(6, fline("(' If you or your application called ',A,'  directly, check your usage.')",
                           {routine}));
  sparse_stop({});
}

namespace {
[[noreturn]] void default_stop() { end_process(1); }
StopHook g_stop = default_stop;
}  // namespace

StopHook set_stop_hook(StopHook hook) {
  const StopHook old = g_stop;
  g_stop = hook ? hook : default_stop;
  return old;
}

void sparse_stop(const std::vector<std::string>& lines) {
  for (const auto& l : lines) unit_write_line(6, l);
  unit_flush(6);
  scratch_close_all();
  g_stop();
  default_stop();
}

void range_fault(const char* what, i64 pos, i64 n, i64 limit) {
  unit_write_line(6, fline("(' sparse library: ',A,' access out of range, position',I14,' length',I14,"
                           "' limit',I14)",
                           {what, pos, n, limit}));
  unit_flush(6);
  std::abort();
}

LibraryState& library_state() {
  static LibraryState state;
  return state;
}

void reset_library_state() {
  scratch_close_all();
  library_state() = LibraryState{};
}

}  // namespace zephsol::sparse
