// The run-wide records of stress recovery and iteration.
#include "zephsol/iter/iter_records.h"

namespace zephsol {

namespace {
IterState g_iter;
}  // namespace

IterState& iter_state() noexcept { return g_iter; }

void reset_iter_state() { g_iter = IterState{}; }

}  // namespace zephsol
