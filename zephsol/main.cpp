// The solver program: binds the real modules into the module table and runs
// the analysis. Modules that do not exist yet stay unbound (null).
#include "zephsol/exec/modules.h"
#include "zephsol/input/xinpt.h"

int main() {
  zephsol::Modules modules{};
  modules.XINPT = zephsol::XINPT;
  zephsol::ZEPH(modules);
}
