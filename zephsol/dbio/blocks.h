// Block layer: moves whole blocks (NBUFSZ - 1 words, word 1 the block
// number) between a record buffer in the open core and the current data
// block's storage, which is its unit or a chain of pool buffers that may
// spill onto the unit.
//
// The caller loads FILCTL words 1, 2 and 7 (number, unit, status copy of FIT
// word 1) and stores word 7 back into FIT word 1 afterwards; these routines
// read and write FIT words 5, 6 and 8 of the unit directly. Buffers are
// open-core indexes. NBLKIO counts the transfers to and from units.
//
// Messages: a broken block sequence, a read past the data, a chain shorter
// than a position, a missing chain buffer, a read copy of a data block not
// wholly on its unit, and a block number reaching 16777215 print the data
// block and its FIT row ("FIO660" to "FIO665") and end the run with fatal
// 999. Under DIAG switch 2: information messages 3045 (started as core
// resident) and 3042 (spilled to the unit).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Physical open of the current data block: mode 1 for writing unless the
// unit file exists, 2 for writing from block 1, any other for reading.
void BLKOPN(word mode);
// Reads the current block into buf.
void BLKGET(word buf);
// Writes buf as the next block; its word 1 must be the block due.
void BLKPUT(word buf);
// Back to block 1: opt 0 to read again, > 0 to rewrite, < 0 to discard every
// block and delete the unit file.
void BLKREW(word opt);
// Positions so that the next BLKGET reads block n and the next BLKPUT
// carries block n.
void BLKPOS(word n);

// The highest block number a data block may reach.
inline constexpr word kMaxBlockNumber = 16777214;

}  // namespace zephsol
