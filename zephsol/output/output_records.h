// Run-wide records of the result output, gathered in one aggregate so that a
// test starts afresh with reset_output_state().
#pragma once

#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

// The scratch data blocks of a step's element output: the principal-value
// block ($301, or 0 when not used) and the element-force block ($302, or 0),
// each with the count of records written to it.
struct OFPSCR {
  word principal = 0;
  word principal_records = 0;
  word forces = 0;
  word force_records = 0;
};

struct OutputState {
  OFPSCR ofpscr;
  // MCILST: the materials whose change report has been printed in this run.
  std::vector<word> mcilst;
};

OutputState& output_state() noexcept;
void reset_output_state();

inline OFPSCR& ofpscr() noexcept { return output_state().ofpscr; }

}  // namespace zephsol
