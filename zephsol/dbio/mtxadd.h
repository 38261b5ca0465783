// Matrix and vector addition of packed-column data blocks.
//
// MTXADD forms S = alpha A + beta B (or alpha A without B) by merging the
// strings of the two columns, never unpacking them; operands and scalars
// come in ADDCTL, and S's header is left in ADDCTL words 16-21 for the
// caller to store. The module ADDVG forms S = A + f B for load and
// displacement vectors of one or two columns through full vectors at the
// start of the open core, and stores S's header (word 7 the term count).
// Both open and close their data blocks themselves and leave them rewound.
//
// Data blocks: any matrix data blocks named by the caller.
// Messages (fatal): the 3101 lines and 999 (A without columns or rows, or of
// another type), 701 (shapes differ), 3053 (B's type), 3 (work area too
// small).
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

#include "zephsol/dbio/columns.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// The add control block.
struct ADDCTL {
  MCB A;                        // 1-7
  MCB B;                        // 8-14 (word 8 = 0: no B)
  MCB S;                        // 15-21 (the caller sets word 15)
  word alpha_type = 0;          // 22 1 single, 2 double precision
  std::array<word, 2> alpha{};  // 23-24 single in word 23, or a double in 23-24
  word w25 = 0;                 // 25
  word beta_type = 0;           // 26
  std::array<word, 2> beta{};   // 27-28

  std::span<word, 28> words() noexcept { return std::span<word, 28>(reinterpret_cast<word*>(this), 28); }
};
static_assert(sizeof(ADDCTL) == 28 * 4);
static_assert(offsetof(ADDCTL, alpha_type) == 21 * 4);
static_assert(offsetof(ADDCTL, beta) == 26 * 4);

// A scalar of the control block (type 1: the REAL in word 1; 2: the double
// in both words), and its setting.
double addctl_scalar(word type, const std::array<word, 2>& w) noexcept;
void set_addctl_scalar(word type, std::array<word, 2>& w, double value) noexcept;

// The shared add control block.
ADDCTL& addctl() noexcept;

// S = alpha A + beta B in the size words of open core from index area (the
// buffers at its top).
void MTXADD(word area, word size);
// S = A + f B (A = 0, or an A whose header shows no term: S = f B).
void ADDVG(word a, word b, word s, float f);

}  // namespace zephsol
