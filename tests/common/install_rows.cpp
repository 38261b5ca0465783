// Compiled into every test and benchmark program: installs the program's
// element type rows before main, as binding the module table does in the
// program, so that a test may call an element routine's dispatcher directly.
#include "zephsol/program/program.h"

namespace {

const bool kRowsInstalled = (zephsol::install_element_types(zephsol::element_type_rows()), true);

}  // namespace
