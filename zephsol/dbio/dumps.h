// Dumps of data blocks on the listing (unit 6): DPFILE prints a closed data
// block's header and every record, ten words to a line, with a line for each
// mark; RECPRT prints words ten to a line, each as an integer, a real or
// four characters, whichever it reads as.
//
// Messages: fatal 3 (area smaller than NBUFSZ + 10 words), 10 (number not in
// the table: a system message, not fatal; fatal when the data block cannot
// be opened), warning 3511 (the data block is open).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Dumps data block file through the size words of open core from index
// area: its last NBUFSZ words are the buffer, its first ten the record
// words.
void DPFILE(word file, word area, word size);
// Prints count words, ten to a line.
void RECPRT(const word* words, word count);

}  // namespace zephsol
