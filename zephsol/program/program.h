// The module table of the solver program: every module of the input phase,
// the model phase and the interval and step loops, bound to its routine;
// and the element type rows, which name routines of every library.
#pragma once

#include <span>

#include "zephsol/drive/modules.h"
#include "zephsol/elem/typerow.h"

namespace zephsol {

// The table of the real modules; binding it also installs the element type
// rows below (install_element_types), which every library reads.
Modules program_modules();

// One row per element type code 1..29, in code order.
std::span<const ElementType> element_type_rows();

}  // namespace zephsol
