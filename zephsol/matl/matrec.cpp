#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace {
MatlState g_matl;
}

MatlState& matl_state() noexcept { return g_matl; }
void reset_matl_state() { g_matl = MatlState{}; }

}  // namespace zephsol
