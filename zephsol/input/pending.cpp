// Input steps not built yet (see pending.h).
#include "zephsol/input/pending.h"

namespace zephsol {

void XMERGE() {}
void IFP1() {}
void RSTORE() {}

}  // namespace zephsol
