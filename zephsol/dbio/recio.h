// Logical records of a data block: a tape of variable-length records of
// 32-bit words, end-of-file marks (0x10) and end-of-set marks (0x30), written
// and read sequentially through one block buffer of NBUFSZ words in the open
// core, with rewind, skips over files and sets, backspace, and positions that
// can be noted and returned to.
//
// Every operation runs on one data block number; the file system keeps what
// must survive between calls in the FIT row of the data block's unit. A data
// block obeys a fixed order of operations (sequence_allows); a violation is
// fatal 3001 naming the last operation.
//
// Block format (B = NBUFSZ, B - 1 words): word 1 the block number, words 2 to
// B - 2 segments (a two-word header and its data), word B - 1 the distance
// back to the last segment header. Header word 1: bits 24-31 control code,
// bits 0-23 block boundaries since the last mark; word 2: bits 16-31 the
// length of the previous segment, bits 0-15 this segment's data words.
//
// Positions are block number x 65536 + the header's distance from the
// block's word 1, kept in 64 bits (65537 is the start, -1 the end of data in
// DBGOTO). A caller that must store one in a single word uses
// position_word(), which ends the run rather than wrap.
//
// Messages (fatal unless said): -1 unexpected end of record, -2 unexpected
// end of file, 3001 sequence, 3005 backward walk before block 1, 3009 position
// inside a record, 3011 wrong block read back, 3012 position beyond the data,
// 3015 open twice, 3016 buffers overlap, 3017 open option, 3018 no unit, 3019
// not open, 3020 negative count, 3021 empty record, 3022 close option, 3023
// (warning) close inside a record, 3052 column string in progress. Under DIAG
// switch 30: information messages 3047 (opened) and 3048 (closed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// A record position: block number x 65536 + distance of the record's header
// from word 1 of its block.
using dbpos = std::int64_t;
inline constexpr dbpos kStartPosition = 65537;  // the start of a data block
inline constexpr dbpos kEndOfData = -1;         // DBGOTO: the end of the data

// Open and close options, compared as whole words.
inline constexpr word kWriteNoRewind = name_word("WTNR");
inline constexpr word kWrite = name_word("WT  ");
inline constexpr word kReadNoRewind = name_word("RDNR");
inline constexpr word kRead = name_word("RD  ");
inline constexpr word kCloseNoRewind = name_word("NR  ");
inline constexpr word kCloseRewind = name_word("R   ");
inline constexpr word kCloseUnload = name_word("UNLD");

// Opens data block file with the NBUFSZ-word area at open-core index buffer
// (the block lies at the even index at or after it) and option kWrite,
// kWriteNoRewind, kRead or kReadNoRewind.
void DBOPEN(word file, word buffer, word option);
// As DBOPEN; status 1 and nothing opened when file has no unit, else 0.
void DBOPNS(word file, word buffer, word option, word& status);
// Closes with kCloseNoRewind (position kept), kCloseRewind, or kCloseUnload
// (the data block is emptied and its header cleared).
void DBCLOS(word file, word option);

// Appends n words to the current record; eor not 0 ends the record.
void DBWRIT(word file, const word* area, word n, word eor);
void DBWRIT(word file, const float* area, word n, word eor);
// DBWRIT without words: begins a record (n = 0, eor = 0).
void DBWRIT(word file, std::nullptr_t, word n, word eor);
// DBWRIT of n doubles (2n words).
void DBWRDP(word file, const double* area, word n, word eor);
// Reads the next n words of the current record (n < 0 steps over -n words);
// eor not 0 then steps to the end of the record.
void DBREAD(word file, word* area, word n, word eor);
void DBREAD(word file, float* area, word n, word eor);
// DBREAD that only steps over words (n < 0) or ends the record (n = 0).
void DBREAD(word file, std::nullptr_t, word n, word eor);
// DBREAD of n doubles (2n words).
void DBRDDP(word file, double* area, word n, word eor);
// DBREAD with a status: 0 all moved, 1 the record ended first (nread = the
// words moved; nread is set only then), 2 a mark or the end of data instead
// of a record.
void DBRDST(word file, word* area, word n, word eor, word& nread, word& status);
void DBRDST(word file, float* area, word n, word eor, word& nread, word& status);

// End-of-file and end-of-set marks.
void DBEOF(word file);
void DBEOS(word file);
// Back to the start of the data block.
void DBREWD(word file);
// Skips n files (both marks count) or n sets (end-of-set marks only); n < 0
// backward, to the start of the file or set before the current one.
void DBSKPF(word file, word n);
void DBSKPS(word file, word n);
// Skips one record; status 1 when a mark or the end of data came instead.
void DBFWRD(word file, word& status);
// Back to the start of the record before the current position.
void DBBKSP(word file);
// Position of the last record written (only directly after a write).
void DBLPOS(word file, dbpos& pos);
// Current position, between records.
void DBCPOS(word file, dbpos& pos);
// Back to a position from DBLPOS or DBCPOS, or to the end of data (-1).
void DBGOTO(word file, dbpos pos);

// Operation codes of the sequence table (FIT word 6 bits 24-31).
enum RecordOp : word {
  kOpNone = 0,
  kOpOpenWtnr = 1,
  kOpOpenWt = 2,
  kOpOpenRdnr = 3,
  kOpOpenRd = 4,
  kOpWrite = 5,
  kOpRead = 6,
  kOpMark = 7,
  kOpBackward = 8,
  kOpForward = 9,
  kOpRewind = 10,
  kOpSkip = 11,
  kOpCloseNr = 12,
  kOpCloseR = 13,
  kOpCloseUnld = 14,
};
// Whether operation next may follow operation last on one data block.
bool sequence_allows(word last, word next) noexcept;

// A position kept in two words of a private table (block, distance), and
// back; every position survives the trip whole.
void put_position(std::span<word, 2> w, dbpos pos) noexcept;
dbpos get_position(std::span<const word, 2> w) noexcept;
// A position stored in one word of a data block record: the run ends with a
// fatal message naming the data block and the limit (block 32767) when it
// does not fit in 31 bits.
word position_word(word file, dbpos pos);

}  // namespace zephsol
