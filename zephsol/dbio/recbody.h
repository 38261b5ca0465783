// Internal to the record layer (recio.cpp, recpos.cpp, strings.cpp): the
// working state of one operation on the current data block and the steps
// that the record, position and string entries share. Not for modules.
#pragma once

#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/words.h"

namespace zephsol::recbody {

// Segment control codes.
inline constexpr word kWhole = 0x00;
inline constexpr word kFirstPart = 0x01;
inline constexpr word kMiddlePart = 0x02;
inline constexpr word kLastPart = 0x03;
inline constexpr word kEofMark = 0x10;
inline constexpr word kEosMark = 0x30;
inline constexpr word kEodCode = 0xff;  // end of written data

// Segment header words at open-core index h (word 1) and h + 1 (word 2).
inline word& hw1(word h) { return core().w(h); }
inline word& hw2(word h) { return core().w(h + 1); }
inline word code_of(word h) { return static_cast<word>(static_cast<std::uint32_t>(hw1(h)) >> 24); }
inline word boundaries_of(word h) { return hw1(h) & 0x00FFFFFF; }
inline word prevlen_of(word h) { return static_cast<word>(static_cast<std::uint32_t>(hw2(h)) >> 16); }
inline word count_of(word h) { return hw2(h) & 0xFFFF; }
inline word pack_hi_lo(word hi, word lo) {
  return static_cast<word>((static_cast<std::uint32_t>(hi) << 16) | (static_cast<std::uint32_t>(lo) & 0xFFFF));
}
inline word pack_code(word code, word boundaries) {
  return static_cast<word>((static_cast<std::uint32_t>(code) << 24) |
                           (static_cast<std::uint32_t>(boundaries) & 0x00FFFFFF));
}
inline void set_code(word h, word code) { hw1(h) = pack_code(code, boundaries_of(h)); }
inline void set_count(word h, word n) { hw2(h) = pack_hi_lo(prevlen_of(h), n); }
inline bool continues_record(word code) { return code == kMiddlePart || code == kLastPart; }

// The state of one operation on the current data block: the unit's FIT row
// loaded into working indexes; the status lives in FILCTL word 7 so that the
// block layer sees it.
struct Body {
  word file = 0;
  word unit = 0;
  FitRow* row = nullptr;
  word buf = 0;     // open-core index of block word 1
  word last = 0;    // index of the block's last word (the back distance)
  word next = 0;    // next word to read or write
  word header = 0;  // current segment header
  word prev_op = 0; // last operation before this one

  word& status() const { return filctl().status; }
  bool has(word bit) const { return (status() & bit) != 0; }
  void set(word bit) const { status() |= bit; }
  void clear(word bit) const { status() &= ~bit; }
  word block() const { return core().w(buf); }
  word distance(word h) const { return h - buf; }
  dbpos position(word h) const { return dbpos{block()} * 65536 + distance(h); }
  word blocks_written() const { return low24(row->last); }
};

// Makes number the current data block (FILCTL words 1, 2, 7 and 18) and
// returns its unit, 0 when it has none.
word make_current(word number);
// The four-character name of a data block ("****" when undefined).
word name_of(word number);
[[noreturn]] void fatal(word code, word p1, word p2);
// A fatal message with the data block's name and number.
[[noreturn]] void fatal_named(word code, const Body& b);

// Prologue of every operation but open, close and the string continuation
// calls: current data block, FIT state, open check, sequence check for op
// >= 0 (then op becomes the last operation), column string check.
Body prologue(word file, word op);
// The working state of an open data block whose unit is known (string
// continuation calls, close).
Body load(word file, word unit);
// Stores the status and the two indexes back into the FIT row.
void save(const Body& b);
// Sets the last operation of the data block.
void set_last_op(Body& b, word op);

// Writing.
void start_block_one(Body& b);
void prepare_to_write(Body& b);
void begin_record(Body& b);
void block_full(Body& b);
void end_of_record(Body& b);
// Writes a mark at the current header; returns its position.
dbpos mark_step(Body& b, word code);
// Notes the position of the record (or column) beginning at the header.
void note_last_record(Body& b);

// Reading.
enum class Found { Record, Mark, End };
// Reads the next block into the buffer (BLKGET). A block of a file that may
// come damaged from outside the run (on_damaged_file) is checked first: its
// number and every segment header must address words of the block, else the
// caller's end of a damaged file ends the run.
void get_block(Body& b);
void first_block_for_reading(Body& b);
Found find_next(Body& b);
word words_left(Body& b);
// Steps over the rest of the record being read.
void skip_rest_of_record(Body& b);
// Reads block n into the buffer after positioning; 3011 when another block
// comes back.
void read_block(Body& b, word n);
// Reads the block before the buffer's; 3005 before block 1.
void read_previous_block(Body& b);
// Moves h to the segment before it, reading the previous block when that
// segment lies there; false (h unchanged) at the first segment of the data.
bool step_back(Body& b, word& h);
// The rewind step (buffer to block 1 or load point, flags cleared).
void rewind_step(Body& b);

}  // namespace zephsol::recbody
