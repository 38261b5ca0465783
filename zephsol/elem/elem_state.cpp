// The element library's process-wide records.
#include "zephsol/elem/elem_records.h"

namespace zephsol {

namespace {
ElemState g_elem;
}  // namespace

ElemState& elem_state() noexcept { return g_elem; }

void reset_elem_state() { g_elem = ElemState{}; }

}  // namespace zephsol

namespace zephsol {

SBMCOM& sbmcom() noexcept { return elem_state().sbmcom; }
void reset_sbmcom() { elem_state().sbmcom = SBMCOM{}; }

}  // namespace zephsol
