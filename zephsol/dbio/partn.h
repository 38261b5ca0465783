// Matrix partitioning and merging of packed-column data blocks.
//
// MTXPT2 splits every column of a matrix A by rows into an upper part A11
// and a lower part A21, dropping rows on request; MTXPT4 splits a square A by
// rows and columns at once into A11, A21, A12 and A22; MTXMRG is the inverse
// of the row split: it places the rows of A11 and A21 into one matrix by row
// maps and leaves zeros elsewhere. The matrices are described by PRTCTL; the
// routines fill in the headers of what they write and leave storing them to
// the caller (HDRPUT). They open and close their data blocks themselves.
// Every check comes before a data block is opened.
//
// Data blocks: any matrix data blocks named in PRTCTL.
// Messages (fatal): 3053 (A's type), 3 (work area too small), 701 (a part's
// shape in MTXMRG, after the three shape lines; a partition vector or row
// map entry outside its part), 999 after the lines "NUMBER OF ROWS IN
// SUBSETS INCONSISTENT" (MTXPT2) or message 3104 (MTXPT4).
#pragma once

#include <cstddef>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// The partition control block: the whole matrix and its four parts. A part
// is absent when its number word is 0 (MTXPT4: not positive).
struct PRTCTL {
  MCB A;    // 1-7
  MCB A11;  // 8-14
  MCB A21;  // 15-21
  MCB A12;  // 22-28 (MTXPT4 only)
  MCB A22;  // 29-35 (MTXPT4 only)

  std::span<word, 35> words() noexcept { return std::span<word, 35>(reinterpret_cast<word*>(this), 35); }
};
static_assert(sizeof(PRTCTL) == 35 * 4);
static_assert(offsetof(PRTCTL, A21) == 14 * 4);
static_assert(offsetof(PRTCTL, A22) == 28 * 4);

// The shared partition control block.
PRTCTL& prtctl() noexcept;

// Work areas: ncore words of open core from index z, the data block buffers
// at the top; double columns start at z (or z + 1 when z is even, the area
// then counting one word less).

// Row split of A: pv(r) > 0 is row r's place in [A11 rows | A21 rows],
// 1 ... nsub1 + nsub2; pv(r) = 0 drops row r. A must have nmajor rows.
void MTXPT2(std::span<const word> pv, word nmajor, word nsub1, word nsub2, word z, word ncore);
// Row and column split of a square A: pv(i) < 0 puts row and column i into
// the first set at place -pv(i), pv(i) > 0 into the second at pv(i); the
// places of one set increase with i. A part without columns or rows is
// discarded and its header words in PRTCTL are zero.
void MTXPT4(std::span<const word> pv, word nsub1, word nsub2, word z, word ncore);
// A (nrow rows, form 2) from A11 and A21: row r of A11 goes to row map1(r),
// row r of A21 to row map2(r); where both maps name a row, A21's value
// stands.
void MTXMRG(std::span<const word> map1, std::span<const word> map2, word nrow, word nsub1, word nsub2, word z,
            word ncore);

}  // namespace zephsol
