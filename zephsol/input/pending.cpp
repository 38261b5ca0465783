// Input steps not built yet (see pending.h). Each placeholder is weak, so
// that the real step replaces it as soon as it is linked in.
#include "zephsol/input/pending.h"

namespace zephsol {

[[gnu::weak]] void XMERGE() {}
[[gnu::weak]] void IFP1() {}
[[gnu::weak]] void RSTORE() {}

}  // namespace zephsol
