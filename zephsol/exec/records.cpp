#include "zephsol/exec/records.h"

namespace zephsol {

namespace {
ExecState g_exec;
}

ExecState& exec_state() noexcept { return g_exec; }
void reset_exec_state() { g_exec = ExecState{}; }

}  // namespace zephsol
