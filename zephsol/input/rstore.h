// Restore of a restart.
//
// RSTORE reads the checkpoints of the old problem tape OPTP, after its bulk
// data set, and restores each one that lies before the restart interval: the
// model set-up checkpoints always, the step-loop checkpoints of intervals
// below IRSTRT (every one for a "RESTART" card without a number). Each
// checkpoint restores the step counters, the interval control words, ISINTV
// and IAMPC, the loops' release words and its data blocks; a data block met
// in several checkpoints ends with the contents of the last one. The restored
// data blocks are listed on the listing, and a checkpoint of the restored
// state begins the new problem tape when checkpointing is on.
//
// Bulk-data groups that define the model may not be given again on a
// restart: each one given is message 561, which sets IERFLG; the restore goes
// on and the input phase ends the run after it.
//
// Data blocks: reads OPTP; writes every data block of the restored
// checkpoints; appends to NPTP.
// Messages (units 6 and 999): 561 (fatal flag); 562 no "XVPS" set after the
// bulk data, 563 a checkpoint cut short or malformed, 564 nothing restored,
// 565 the checkpoint before the restart interval is not on the tape, 566 a
// damaged tape (a checkpoint header, counter or data-block name that no run
// writes), 567 the tape holds the whole history (these end the run; 563 and
// 566 name the last complete checkpoint read); fatal -3 (no room for the tape buffers and the copy area),
// -201 (OPTP or NPTP not a closed data block, or the tape names a data block
// that cannot be restored: its name).
#pragma once

namespace zephsol {

void RSTORE();

}  // namespace zephsol
