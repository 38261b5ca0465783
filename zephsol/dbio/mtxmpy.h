// Matrix multiply-add of packed-column data blocks: D = (±) op(A) B (±) C.
//
// Three methods share the control block MPYCTL:
//   MTXMPY  keeps groups of columns of B and D in core and reads A once per
//           group, string by string; suits a B of a few columns (vectors).
//   MTXMP2  keeps groups of columns of A in core as packed strings and reads
//           B once per group; the partial result of one group is the addend
//           of the next, alternating between D and a scratch data block.
//   MTXMPS  forms D = (±) A Bᵀ (±) C by outer products kept as records of a
//           scratch data block in buffer pool 2, sorted by target column.
// op(A) = Aᵀ when the transpose word is set (MTXMPY, MTXMP2). With A or B
// absent, D = (±) C (MPYNUL). The caller fills MPYCTL words 1-21, D's number
// and type, the flags and signs, and afterwards stores D's header from words
// 23-28; the routines never read or write a header themselves, and open and
// close their data blocks themselves. Every check comes before a data block
// is opened, so a failing call leaves D unwritten.
//
// Work areas: ncore words of open core from index z, the buffers at the top;
// double-precision work starts at z (or z + 1 when z is even, the area then
// counting one word less).
//
// Data blocks: any matrix data blocks named in MPYCTL, and its scratch data
// block (MTXMP2, MTXMPS).
// Messages (fatal): 701 (shapes), 3053 (types "A   ", "B   ", "C   ", "D   "),
// 3 (work area too small, in MTXMPS also for its pair list), 703 (a column
// of A larger than its reserve in MTXMP2), 705 (copy between other types),
// 3018 (UNTSWP: a number without a unit).
#pragma once

#include <cstddef>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// The multiply-add control block.
struct MPYCTL {
  MCB A;              // 1-7
  MCB B;              // 8-14
  MCB C;              // 15-21 (word 15 = 0: no C)
  MCB D;              // 22-28 (caller: number and type; 0 = the system precision)
  word transpose = 0; // 29 non-zero: multiply by the transpose of A
  word sign_ab = 0;   // 30 negative: subtract the product
  word sign_c = 0;    // 31 negative: subtract C
  word scratch = 0;   // 32 scratch data block (MTXMP2, MTXMPS)

  std::span<word, 32> words() noexcept { return std::span<word, 32>(reinterpret_cast<word*>(this), 32); }
};
static_assert(sizeof(MPYCTL) == 32 * 4);
static_assert(offsetof(MPYCTL, D) == 21 * 4);
static_assert(offsetof(MPYCTL, transpose) == 28 * 4);
static_assert(offsetof(MPYCTL, scratch) == 31 * 4);

// The shared multiply-add control block.
MPYCTL& mpyctl() noexcept;

void MTXMPY(word z, word ncore);
void MTXMP2(word z, word ncore);
void MTXMPS(word z, word ncore);
// D = (±) C, D empty (columns 0) without C.
void MPYNUL(word z, word ncore);

// Exchanges the units of data blocks f1 and f2 in every non-permanent entry
// of the status table; headers and names stay. No data block is current
// afterwards.
void UNTSWP(word f1, word f2);
// Sorts n pairs of words in place, by the first word, then the second.
void SORTPR(std::span<word> pairs, word n);

}  // namespace zephsol
