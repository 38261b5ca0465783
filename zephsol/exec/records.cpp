#include "zephsol/exec/records.h"

#include <algorithm>

namespace zephsol {

namespace {
ExecState g_exec;
}

ExecState& exec_state() noexcept { return g_exec; }
void reset_exec_state() { g_exec = ExecState{}; }

std::string solver_file_name(const SOLVKY& table, word key) {
  const auto n = static_cast<std::size_t>(std::clamp<word>(table.count, 0, static_cast<word>(table.entry.size())));
  for (std::size_t i = 0; i < n; ++i) {
    const auto& e = table.entry[i];
    if (e.key != key) continue;
    std::string name(e.value.begin(), e.value.end());
    while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
    if (!name.empty()) return name;
    break;
  }
  return word_name(key);
}

}  // namespace zephsol
