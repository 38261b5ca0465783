// The stress routine of each element type, as the element stress dispatch
// (SELEM) calls it.
//
// Every routine updates the integration-point states of the current element
// (ESTCOM, its state record on channel A of the state store, its material in
// MATCOM) from the element's displacement increment UE (element DOF order,
// global axes) and adds the element's nodal forces in global axes into FE,
// which the caller has zeroed. ITHERM is -1 when the element has
// temperatures, else 0; TEMP then holds the node temperature increments of
// the step (REAL, element node order). Routines of types that take no
// temperatures (joints, contact) get them and do not read them.
//
// Messages: -5000 (IECOD, IEXN) a type code without a stress routine.
#pragma once

#include <span>

#include "zephsol/elem/typerow.h"
#include "zephsol/exec/words.h"

namespace zephsol {


// The routine of type code IECOD: codes without element routines (8, 13, 24,
// 25, 30) end the run with -5000; a code outside 1..30 takes the HEX8 routine.
StressRoutine stress_routine(word IECOD);

}  // namespace zephsol
