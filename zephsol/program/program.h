// The module table of the solver program: every module of the input phase,
// the model phase and the interval and step loops, bound to its routine.
#pragma once

#include "zephsol/drive/modules.h"

namespace zephsol {

Modules program_modules();

}  // namespace zephsol
