// The interval and step loops of the construction history.
//
// After the model phase the main program runs the history interval by
// interval (GP4 sets up each one) and step by step: element loads and
// matrices, assembly, solution by the chosen method, stress recovery, one
// re-execution of a step whose plastic states changed, the non-linear
// iteration, output, the progress file and, after the last step of an
// interval, a checkpoint. The release forces of excavated regions are spread
// over the steps of their interval, with at most two regions open at a time.
//
// Data blocks: the loops form UG (accumulated displacements), UGSV (its copy
// for relative displacements), PGM and DPG (loads), XQGV (release vector of
// the region being excavated), EGED (the first region's release vector while
// a second one is formed; its input content is no longer read after the
// model phase) and EGEE (work vector), all through ADDVG; they exchange the
// files of EPX/EPY and EIV0/EIV1 with DBSWAP.
// Messages: the loops write three fatal lines themselves, without the
// message queue, and set IERFLG to 1: 2882 (a third excavation region while
// two are releasing), 5021 (iteration limit) and 5022 (iteration limit after
// a tension cut-off). Information message 5023 (re-execution) is printed
// under diagnostic switch 57.
#pragma once

#include <cstddef>
#include <span>

#include "zephsol/drive/modules.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// Release bookkeeping of the excavated regions: two region slots (region
// number, 0 = free; remaining fraction, 1.0 when free) and the coefficients
// of the release vectors. The words live from step to step and from interval
// to interval; a checkpoint taken after an interval must save them (with the
// data block EGED) and a restart must put them back, so that a restart inside
// an open excavation applies the same release forces as the run it continues.
struct RELSWD {
  word EXREGN = 0;  // 1 region of the current interval (0 after the slots are freed)
  word R1 = 0;      // 2 region of slot 1
  float F1 = 1.0f;  // 3 remaining fraction of slot 1
  word R2 = 0;      // 4 region of slot 2
  float F2 = 1.0f;  // 5 remaining fraction of slot 2
  float a = 0.0f;   // 6 1 - d, set when the first region starts releasing
  float p = 0.0f;   // 7 remaining factor f as it stood before a step's bookkeeping
  float q = 0.0f;   // 8 F2 before its last decrement
  float c = 0.0f;   // 9 coefficient of the first region's release vector

  // Word view (checkpoint copies), word n at index n-1; REAL words hold their bits.
  std::span<word, 9> words() noexcept { return std::span<word, 9>(reinterpret_cast<word*>(this), 9); }
  std::span<const word, 9> words() const noexcept {
    return std::span<const word, 9>(reinterpret_cast<const word*>(this), 9);
  }
};
static_assert(sizeof(RELSWD) == 9 * 4);
static_assert(offsetof(RELSWD, F1) == 2 * 4);
static_assert(offsetof(RELSWD, c) == 8 * 4);

// The release bookkeeping of this run, and its reset to the values before
// the first interval of a new run (both slots free).
RELSWD& relswd() noexcept;
void reset_relswd();

// The interval and step loops, entered once after the model phase. They
// return when the run is to go to the end block: after the last interval, or
// on an error (IERFLG is then not 0). They return at once when a module they
// call is not bound in the table.
void interval_loop(const Modules& modules, const SolverWork& solwrk);

}  // namespace zephsol
