// Run-wide records of stress recovery and the non-linear iteration, gathered
// in one aggregate so that a test starts afresh with reset_iter_state().
#pragma once

#include <array>

#include "zephsol/exec/words.h"

namespace zephsol {

// Output request words: -1 when a request is off in this step, else the
// open-core position p of its resolved selection list (word p the count c,
// then c selections of 1 word for node requests or 2 words for element
// requests: the "SET " definition's position or 0 for all, and the "IPSE"
// definition's position, 0 for the default points or 2147483647 for all).
// Words 1-7 are the print requests of CTRL (-1 at load); words 8-13 the
// result-file requests of CTRN, 0 at load so that a run without a
// "NOUTPUT" block writes no step to the result file.
struct OFPREQ {
  std::array<word, 13> w{-1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0};
  // Word n (1-13).
  word& operator()(int n) noexcept { return w[static_cast<std::size_t>(n - 1)]; }
  word operator()(int n) const noexcept { return w[static_cast<std::size_t>(n - 1)]; }
};

// Word numbers of OFPREQ.
enum RequestWord : int {
  kPrintDisp = 1,
  kPrintReac = 2,
  kPrintStre = 3,
  kPrintElfo = 4,
  kPrintPrstress = 5,
  kPrintPrstrain = 6,
  kPrintPrstres2 = 7,
  kPostDisp = 8,
  kPostReac = 9,
  kPostStre = 10,
  kPostElfo = 11,
  kPostPrstress = 12,
  kPostPrstrain = 13,
};

struct IterState {
  OFPREQ ofpreq;
  // The result word of the last stress recovery of the current step; the
  // step loop clears it at the start of every step, so that the nodal forces
  // are printed on the first recovery of a step only.
  word SDRLST = 0;
  // The convergence log has been written in this run: later connections go
  // on after its lines.
  bool convergence_log_written = false;
};

IterState& iter_state() noexcept;
void reset_iter_state();

inline OFPREQ& ofpreq() noexcept { return iter_state().ofpreq; }

}  // namespace zephsol
