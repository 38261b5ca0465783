// Data blocks of the input phase's control section: the request blocks CTRL
// and CTRN, and the identification records of the problem tapes.
#pragma once

#include <string>

#include "zephsol/exec/words.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/outreq.h"

namespace zephsol {

// Whether data block number is defined and closed.
bool block_closed(word number);

// Writes CTRL or CTRN with the buffer at open-core word `buffer`; a block
// that is not defined and closed is system message 201 (queued, IERFLG 2).
void write_request_block(word number, const RequestRecords& r, word buffer);

// Reads the identification record (the first record) of the old problem
// tape into id. From here on, an old tape whose file ends before its data or
// holds a record of the wrong length (empty, cut short, or not a problem
// tape of this block size) ends the run with message 566 on the console,
// the listing and the error log.
void read_old_tape_id(IDREC& id, word buffer);

// The line that names the last complete checkpoint a restart has read from
// the old problem tape and the restart that uses it; "" before the first.
std::string last_checkpoint_line();

// Ends the run on a damaged old problem tape: message 566 on the console,
// the listing and the error log, followed, once a restart has read a whole
// checkpoint, by a line naming the last one and the restart that uses it.
// No checkpoint is written.
[[noreturn]] void old_tape_damaged();

// Starts the new problem tape: the identification record and an end-of-set;
// a copy of an earlier tape left beside it (tapecopy.h) is removed.
void write_new_tape_id(const IDREC& id, word buffer);

}  // namespace zephsol
