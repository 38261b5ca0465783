// The run-wide records of the result output.
#include "zephsol/output/output_records.h"

namespace zephsol {

namespace {
OutputState g_output;
}  // namespace

OutputState& output_state() noexcept { return g_output; }

void reset_output_state() { g_output = OutputState{}; }

}  // namespace zephsol
