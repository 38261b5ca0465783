#include "zephsol/model/model_records.h"

namespace zephsol {

namespace {
ModelState g_model;
}

ModelState& model_state() noexcept { return g_model; }
void reset_model_state() { g_model = ModelState{}; }

}  // namespace zephsol
