// Rewriting the end of a problem tape without a moment where neither the old
// nor the new contents are whole.
//
// tape_continue_in_copy puts a copy of a sequential data block's file beside
// it (the file name with ".NEW") and moves the block's unit onto the copy at
// the record it had reached, so that every transfer until
// tape_copy_replaces goes to the copy; tape_copy_replaces then renames the
// copy over the file and moves the unit back onto it. A run that ends or is
// killed in between leaves the file as it was (and the copy beside it).
// tape_copy_discard removes such a copy left beside the file by an earlier
// run, once the block's file is being written anew.
//
// Messages: fatal -3993 (the copy or the rename failed: the block's name and
// unit), -3011 (the copy holds fewer records than the unit had reached).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void tape_continue_in_copy(word file);
void tape_copy_replaces(word file);
void tape_copy_discard(word file);

}  // namespace zephsol
