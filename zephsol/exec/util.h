// Small integer utilities shared by every subsystem: bisection searches in
// tables of fixed-width entries, the count of a stepped range, bit operations
// on 32-bit words, the word address of a variable, and Shell sorts of integer
// vectors and tables.
//
// A table is a run of INTEGER words; an entry (row) is `stride` (or `w`)
// consecutive words and positions are 1-based word positions: entry i starts
// at word stride * (i - 1) + 1.
//
// Messages: RNGCNT with a zero step, or a count that does not fit in a word,
// is a program logic error (fatal 999).
#pragma once

#include <cstdint>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Word position of the entry whose word 1 equals key, or 0. The table is
// sorted ascending on word 1.
word BSRCH1(word key, std::span<const word> table, word stride, word n);
// Word position of the entry whose words 1 and 2 equal (key1, key2), or 0.
// The table is sorted ascending on the pair. No entries (n <= 0) gives 0.
word BSRCH2(word key1, word key2, std::span<const word> table, word stride, word n);

// Values of the stepped range first, first + step, ...:
// (last - first + step -/+ 1) / step + 1; one beyond `last` when the length
// is not a multiple of the step.
word RNGCNT(word first, word last, word step);

// Bit operations on 32-bit words.
constexpr word BITAND(word a, word b) noexcept { return a & b; }
constexpr word BITOR(word a, word b) noexcept { return a | b; }
constexpr word BITXOR(word a, word b) noexcept { return a ^ b; }
constexpr word BITNOT(word a) noexcept { return ~a; }
// Logical shift right by n (left by -n); |n| >= 32 gives 0.
constexpr word BITSHR(word a, word n) noexcept {
  const auto u = static_cast<std::uint32_t>(a);
  if (n >= 32 || n <= -32) return 0;
  return static_cast<word>(n >= 0 ? u >> n : u << -n);
}
// Shift left by n (logically right by -n); |n| >= 32 gives 0.
constexpr word BITSHL(word a, word n) noexcept {
  const auto u = static_cast<std::uint32_t>(a);
  if (n >= 32 || n <= -32) return 0;
  return static_cast<word>(n >= 0 ? u << n : u >> -n);
}

// Word address of a variable: its byte address divided by 4. Only
// differences of word addresses mean anything (word offsets between two
// variables), so the value is kept whole in 64 bits.
std::int64_t WRDADR(const volatile void* x) noexcept;

// Sorts v(1..n) ascending in place.
void SORTIV(std::span<word> v, word n);
// Sorts the n rows of w words by word k1, ties by word k2, ascending in place.
void SORTI2(word w, word k1, word k2, std::span<word> table, word n);
// Sorts the n rows of w words by word k, ascending in place.
void SORTIR(word w, word k, std::span<word> table, word n);

}  // namespace zephsol
