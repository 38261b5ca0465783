// Open-core buffer pools and the file-system set-up.
//
// BUFINI sets up FILCTL, the FIT rows and (when NCRRES asks for it) pool 1
// at the top of the open core. Pool 2 is lent by a module from its own work
// area with BUFLND for a list of data blocks and taken back by it. A pool of
// nb buffers (at most 32767) takes nb x NBUFSZ words: nb link words, then nb
// buffers of NBUFSZ - 1 words. Pool 2 buffer numbers carry bit 15 (32768).
// Link words hold the backward link in bits 16-31 and the forward link in
// bits 0-15; free buffers form a doubly linked list per pool.
//
// Messages: none; a pool too small to build is simply not built.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Initialises the file system: unit ranges from DBST, NBUFSZ made odd,
// FILCTL, FIT rows 1 to 90, and pool 1 when NCRRES words are asked for;
// registers the run end's hooks (work-file deletion, block count).
void BUFINI();
// size >= 1: lends the size words from open-core index region to pool 2 for
// the count data block numbers of list. size < 1: takes pool 2 back (the
// listed scratch data blocks are emptied, read copies of the others dropped).
void BUFLND(word region, word size, const word* list, word count);
// A free buffer for the current data block (pool 2 first when its chain lies
// there), or 0 when none is free.
void BUFGET(word& k);
// Returns the chain that starts at buffer k to the free lists.
void BUFREL(word k);
// Open-core index of the first word of buffer k.
word BUFADR(word k);
// One half of buffer k's link word: half 0 the backward link, else the
// forward link; pool < 0 pool 2, > 0 pool 1, 0 by bit 15 of k.
void LNKGET(word& value, word k, word half, word pool);
void LNKPUT(word value, word k, word half, word pool);
// Blocks held on disk by unit (or by every work unit when unit <= 0); 0 when
// flag < 0.
word BLKCNT(word unit, word flag);

// Whether data block number is in the pool 2 list.
bool in_pool2_list(word number);

}  // namespace zephsol
