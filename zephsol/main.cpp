// The solver program: binds the real modules into the module table and runs
// the analysis. Modules that do not exist yet stay unbound (null).
#include "zephsol/exec/modules.h"

int main() {
  const zephsol::Modules modules{};
  zephsol::ZEPH(modules);
}
