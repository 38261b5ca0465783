// The restart restore is not built yet (see pending.h). The placeholder is
// weak, so that the real step replaces it as soon as it is linked in.
#include "zephsol/input/pending.h"

namespace zephsol {

[[gnu::weak]] void RSTORE() {}

}  // namespace zephsol
