// The solver program: the real modules bound into the module table, and the
// analysis run on the files that "SOLV.LST" names.
#include "zephsol/program/program.h"

int main() { zephsol::ZEPH(zephsol::program_modules()); }
