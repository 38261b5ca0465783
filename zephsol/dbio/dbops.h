// Operations on whole data blocks: the six-word header (store, fetch,
// clear), the lookup by name, the exchange of two data blocks' files, and the
// copies block by block and record by record.
//
// Messages: fatal 3018 (a number without entry or unit), 3063 (DBCOPY of a
// data block without blocks), 3064 (DBCOPY of an open data block); the
// warning 3039 when a header word is negative (printed here, IWRNFL set);
// under DIAG switch 31 the information messages 3037 (header stored) and
// 3038 (header fetched).
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// number: +n when a data block of that name is open, -n when it is defined
// and closed, 0 when no entry has the name or its unit is 0. FILCTL word 18
// receives the name.
void DBFIND(word name, word& number);

// Stores the six header words of data block number.
void HDRPUT(word number, std::span<const word, 6> header);
// Returns the six header words (all zero: the data block is absent).
void HDRGET(word number, std::span<word, 6> header);
// Stores six zeros.
void HDRCLR(word number);

// Exchanges the files (unit words) and headers of data blocks p and q; the
// names stay. No data block is current afterwards.
void DBSWAP(word p, word q);
// Copies the blocks and the header of closed data block p onto closed data
// block q, through the first NBUFSZ - 1 words of the open core. Both are
// left closed and rewound.
void DBCOPY(word p, word q);
// Copies the records and end-of-file marks of data block a (open for
// reading) onto b (open for writing) through the n words of area; a copy
// onto a number of 100 to 300 ends with an end-of-file mark, any other with
// an end-of-set mark.
void FILCPY(word a, word b, word* area, word n);

}  // namespace zephsol
