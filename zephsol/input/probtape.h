// Layout of the problem tapes NPTP (written by this run) and OPTP (the tape
// of an earlier run, read on a restart), shared by the checkpoint writer, the
// restore of a restart and the bulk-data merge.
//
// A tape is a run of sets, each ended by an end-of-set mark; every set but
// the first begins with an 8-word header whose first word is kSetMark:
//
//   identification   IDREC (8 words), written by the control deck reader
//   "BULK"           [kSetMark, "BULK", 0 x 6], one 20-word record per card,
//                    the card "ENDDATA"
//   "XVPS"           [kSetMark, "XVPS", interval, loop flag, data-block
//                    sets that follow, 0, 0, 0]; STPCTR words 1-4; INTCTL
//                    words 1-4; [ISINTV, IAMPC]; the release words RELSWD
//   data block       [kSetMark, name, six header words]; then, unless the
//                    header is all zero, every record of the block with
//                    its end-of-file marks
//
// A checkpoint is its "XVPS" set and the data-block sets after it. Word 5 of
// the "XVPS" header lets a restart tell a checkpoint cut short (a run ended
// while writing it) from a complete one; tapes that leave it 0 are read
// without that test. The release-words record lets a restart inside an open
// excavation go on exactly as the uninterrupted run; a reader that stops
// after the third record skips it with the rest of the set.
//
// Messages: fatal -3 (the two tape buffers and the 300-word copy area do not
// fit in the open core: words needed, open-core words); fatal -201 ("NPTP"
// open or not defined when a checkpoint is appended).
#pragma once

#include <array>
#include <span>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kSetMark = 2147483647;
inline constexpr word kSetHeaderWords = 8;
inline constexpr word kCheckpointSet = name_word("XVPS");
inline constexpr word kBulkSet = name_word("BULK");

using SetHeader = std::array<word, kSetHeaderWords>;

// Open-core areas of the tape copies: buffer 1 (the top NBUFSZ words of the
// free open core), buffer 2 right below it, and the copy work area of
// `words` words from `work` below both.
struct TapeCore {
  word buffer1 = 0;
  word buffer2 = 0;
  word work = 0;
  word words = 0;
};
// The areas of the free open core from word 1; ends the run (fatal -3) when
// fewer than 300 words remain for the copy work area.
TapeCore tape_core();

// The counters a checkpoint carries, as the step loop left them.
struct CheckpointCounters {
  std::array<word, 4> stpctr{};   // NINTVL, NSTEP, NITER, NSTEPC
  std::array<word, 4> intctl{};   // INTCTL words 1-4
  std::array<word, 2> settings{}; // ISINTV, IAMPC
  std::array<word, 9> release{};  // RELSWD
};
inline constexpr word kCounterRecords = 3;  // required records after the header
// The counters of this run, and their return into the shared records.
CheckpointCounters current_counters();
void restore_counters(const CheckpointCounters& c);

// Appends one checkpoint to NPTP: the "XVPS" set and the set of every data
// block of `blocks`, in order; returns the position where it begins. Ends the
// run (fatal -201 with "NPTP") when the new tape is open or not defined.
dbpos append_checkpoint(word interval, word loop, std::span<const word> blocks, const TapeCore& core);

// Whether the six header words of a data-block set are all zero.
bool header_is_zero(std::span<const word> six);

}  // namespace zephsol
