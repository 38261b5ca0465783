// Steps of the input phase after the control section that are not built
// yet. Each is called by XINPT in its place and does nothing for now: the
// bulk data stays unread, no model data block is written, and a restart
// restores nothing.
#pragma once

namespace zephsol {

// Groups the bulk data into the input groups data block.
void XMERGE();
// Decodes every data group into its data block.
void IFP1();
// Restores the state of the restart interval from the old problem tape.
void RSTORE();

}  // namespace zephsol
