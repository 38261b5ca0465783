#include "zephsol/solve/solve_records.h"

namespace zephsol {

SolveState& solve_state() noexcept {
  static SolveState state;
  return state;
}

void reset_solve_state() { solve_state() = SolveState{}; }

}  // namespace zephsol
