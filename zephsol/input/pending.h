// The step of the input phase that is not built yet: the restore of a
// restart. XINPT calls it in its place; for now it restores nothing.
#pragma once

namespace zephsol {

// Restores the state of the restart interval from the old problem tape.
void RSTORE();

}  // namespace zephsol
