// String records of matrix columns. A column is one record of a data block
// holding strings: runs of terms on consecutive rows, each behind a
// two-word header (first row; previous string's term count x 65536 + its
// own count). PUTSTR writes a column string by string, NXTSTR reads it
// forward, PRVSTR backward (last string first). No term is copied: every
// call hands out the open-core place of a string inside the data block's
// buffer and the caller moves the terms itself. Double-precision terms
// always lie at odd indexes (8-byte aligned): a column of type 2 whose first
// string would begin at an even index starts with an alignment word -1;
// words left at a block's end that cannot take a string header and one term
// are filler words -2.
//
// Messages (fatal): -2 a first NXTSTR meets a mark or the end of data;
// 3005 and 3011 PRVSTR cannot read the block before; 3051 a first call
// while a record is open; 3052 (from the record operations) any other
// operation while a column is in progress; 3053 a type other than 1 and 2;
// 3054 a later call without a first; 3055 and 3056 a damaged string record
// (-2, 3053, 3055 and 3056 end a restart as a damaged old problem tape, through
// damaged_data);
// 3057 more terms than the room handed out.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// String control block: the conversation between a column routine and the
// string entries.
struct SCB {
  word file = 0;   // 1 data block number (caller)
  word type = 0;   // 2 stored type: 1 single, 2 double precision terms (caller)
  word row = 0;    // 3 row of the string's first term (PRVSTR: of its last term)
  word slot = 0;   // 4 open-core index of the first term (PRVSTR: the last);
                   //   for type 2 an index of the double view (words 2j - 1, 2j)
  word room = 0;   // 5 PUTSTR: most terms the caller may place; readers: terms in the string
  word given = 0;  // 6 PUTSTR: terms the caller placed
  word flag = 0;   // 7 > 0 first call of a column; 0 in progress; -1 a reader's column
                   //   is exhausted; < 0 the writer's call that ends the column
  word total = 0;  // 8 PUTSTR: terms written so far in the column
  word unit = 0;   // 9 unit of the data block (set by the first call)
  word w10 = 0;    // 10 not used here
  word left = 0;   // 11 PUTSTR, NXTSTR: words left in the segment after the string;
                   //    PRVSTR: terms of the segment's strings before the returned one
  word conv = 0;   // 12 conversion code of the column routines
  std::array<word, 4> w13{};  // 13-16 not used here

  std::span<word, 16> words() noexcept { return std::span<word, 16>(reinterpret_cast<word*>(this), 16); }
};
static_assert(sizeof(SCB) == 16 * 4);
static_assert(offsetof(SCB, left) == 10 * 4);

// The three shared string control blocks (i = 1, 2, 3) of the column
// routines and matrix operations.
SCB& shared_scb(int i) noexcept;

void PUTSTR(SCB& scb);
void NXTSTR(SCB& scb);
void PRVSTR(SCB& scb);

// Term k of a string whose first term is at slot, as NXTSTR and PUTSTR hand
// it out (stored type 1: slot is a word index; type 2: an index of the
// double view), widened to double.
inline double string_term(word type, word slot, word k) {
  return type == 1 ? static_cast<double>(core().r(slot + k)) : core().d(2 * (slot + k) - 1);
}
// Stores v as term k of such a string; type 1 rounds it to single precision.
inline void store_term(word type, word slot, word k, double v) {
  if (type == 1)
    core().set_r(slot + k, static_cast<float>(v));
  else
    core().set_d(2 * (slot + k) - 1, v);
}

}  // namespace zephsol
