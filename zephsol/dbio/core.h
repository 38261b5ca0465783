// The open core: one region of 32-bit words from which every module takes
// its work areas by word index, and the solver work array right after it in
// the same word space.
//
// Index 1 is the first word of the open core and lies on a 64-byte boundary,
// so a double whose first word has an odd index is 8-byte aligned. Indexes
// are 32-bit words; the whole space (open core plus solver array) must end
// below 2^31 words, so together they hold at most 8191 megabytes. A larger
// request is refused with a fatal message (-3821, after a line naming the
// limit), never wrapped.
//
// COREND (system word 7) is the index one past the last word of the open
// core, so CORLFT(x) = COREND - x counts the words from x to the end.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr std::int64_t kWordsPerMegabyte = 262144;
inline constexpr word kMaxSpaceMegabytes = 8191;

// Access to the word space by index. Checked against the allocated words
// while assertions are on.
class WordSpace {
 public:
  // The integer word at index i.
  word& w(std::int64_t i) const noexcept {
    check(i, 1);
    return base_[i - 1];
  }
  // The REAL word at index i.
  float r(std::int64_t i) const noexcept { return std::bit_cast<float>(w(i)); }
  void set_r(std::int64_t i, float v) const noexcept { w(i) = std::bit_cast<word>(v); }
  // The double whose first word is at index i (aligned when i is odd).
  double d(std::int64_t i) const noexcept {
    check(i, 2);
    double v;
    std::memcpy(&v, base_ + (i - 1), sizeof v);
    return v;
  }
  void set_d(std::int64_t i, double v) const noexcept {
    check(i, 2);
    std::memcpy(base_ + (i - 1), &v, sizeof v);
  }
  // n words from index i.
  std::span<word> words(std::int64_t i, std::int64_t n) const noexcept {
    check(i, n);
    return {base_ + (i - 1), static_cast<std::size_t>(n)};
  }
  // n doubles from the odd index i. Do not reach the same words through an
  // integer view while the span is in use.
  std::span<double> doubles(std::int64_t i, std::int64_t n) const noexcept;
  // n REAL words from index i. As for doubles(), do not reach the same words
  // through an integer view while the span is in use.
  std::span<float> floats(std::int64_t i, std::int64_t n) const noexcept;

  // Words allocated (the last valid index).
  std::int64_t size() const noexcept { return size_; }
  // Index of a word of the space, or 0 for a word elsewhere.
  word index_of(const word* p) const noexcept;

 private:
  friend bool core_allocate(word);
  friend word solver_array_allocate(word);
  friend void core_release();
  void check([[maybe_unused]] std::int64_t i, [[maybe_unused]] std::int64_t n) const noexcept {
    assert(i >= 1 && n >= 0 && i - 1 + n <= size_ && "open-core index out of range");
  }
  word* base_ = nullptr;
  std::int64_t size_ = 0;
};

const WordSpace& core() noexcept;

// Allocates an open core of memo megabytes (words 1 to memo x 262144,
// cleared). False when memo < 1 or the memory cannot be had; a size past the
// word space is fatal. Called once by the input phase, before CORINI.
bool core_allocate(word memo);
// Allocates the solver work array of mb megabytes right after the open core
// and returns the (odd) index of its first word; 0 when mb < 1 or the memory
// cannot be had. Open core and array together past the word space is fatal.
// A second call returns the array already allocated.
word solver_array_allocate(word mb);
// Index of the solver work array's first word, 0 when there is none.
word solver_array_index() noexcept;
// Frees the word space (tests start afresh with it).
void core_release();

// Sets COREND to the first word of the open core + MEMO x 262144.
void CORINI();
// Words from index x to the end of the open core: COREND - x.
word CORLFT(word x);
// Sets COREND to x - 2.
void CORLIM(word x);

}  // namespace zephsol
