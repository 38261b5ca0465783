// Internal to the matrix operations (partn.cpp, merge.cpp, mtxmpy.cpp,
// mtxmp2.cpp, mtxmps.cpp, mtxdmp.cpp): their work areas, the column readers
// and writers they share, and the checks common to the multiply-add
// methods. Not for modules.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/words.h"

namespace zephsol::mpycols {

inline constexpr word kNoRow = 16777215;  // first row of a result column nothing has reached
inline constexpr word kP = 2;             // words of an in-core term (the system precision)

// The caller's work area Z(1 ... ncore) at open-core index z, as words and
// as doubles DZ(i) over Z(2i - 1), Z(2i). An even z is moved to the next
// word, the area counting one word less, so that every double is aligned.
struct WorkArea {
  word z = 0;
  word ncore = 0;

  static WorkArea of(word z, word ncore) noexcept {
    return z % 2 == 0 ? WorkArea{z + 1, ncore - 1} : WorkArea{z, ncore};
  }
  // Open-core index of Z(i).
  word at(std::int64_t i) const noexcept { return static_cast<word>(z + i - 1); }
  // First word of buffer k (1 = the top one): Z(ncore - k B + 1).
  word buffer(word k) const noexcept { return at(std::int64_t{ncore} - std::int64_t{k} * sysw().NBUFSZ + 1); }
  // DZ(i) and the n - 1 doubles after it.
  double* dz(std::int64_t i, std::int64_t n) const noexcept { return core().doubles(at(2 * i - 1), n).data(); }
  // Z(i) and the n - 1 words after it.
  word* zw(std::int64_t i, std::int64_t n) const noexcept { return core().words(at(i), n).data(); }
};

// A value for a message word: clamped to the 32-bit range.
inline word message_word(std::int64_t v) noexcept {
  return static_cast<word>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

[[noreturn]] void fatal(word code, word p1, word p2);

// A string of a column must lie inside the rows of its matrix: fatal 701
// (the data block, the row) for one that would fall outside the work column.
void check_rows(word file, word row, word count, word rows);

// ---- Column readers ----


// Calls f(row, count, slot) for every string of the next column of the
// open data block file of stored type type, read through s.
template <class F>
void for_each_string(SCB& s, word file, word type, F&& f) {
  s.file = file;
  s.type = type;
  s.flag = 1;
  for (NXTSTR(s); s.flag == 0; NXTSTR(s)) f(s.row, s.room, s.slot);
}

// Calls k(get) with get(i), the i-th term of a string as a double, chosen
// once per string by the stored type, so that the kernels run on either
// precision without a test per term.
template <class K>
void with_terms(word type, word slot, word count, K&& k) {
  if (type == 1) {
    const word* w = core().words(slot, count).data();
    k([w](word i) { return static_cast<double>(std::bit_cast<float>(w[i])); });
  } else {
    const double* d = core().doubles(2 * slot - 1, count).data();
    k([d](word i) { return d[i]; });
  }
}

// ---- Result columns ----

// A full column v[0 ... m - 1] (row r at v[r - 1]) with the range of rows
// first ... last that may hold non-zero terms; empty while nothing reached it.
struct ResultColumn {
  double* v = nullptr;
  word m = 0;
  word first = kNoRow;
  word last = 0;

  bool reached() const noexcept { return last >= first; }
  void cover(word from, word to) noexcept {
    first = std::min(first, from);
    last = std::max(last, to);
  }
  // v(row ... row + count - 1) += scale x terms.
  void add(word row, word count, double scale, const double* terms) noexcept {
    double* t = v + (row - 1);
    for (word i = 0; i < count; ++i) t[i] += scale * terms[i];
    cover(row, row + count - 1);
  }
  // Writes the range as the next column of d (zeros dropped, an empty
  // column when nothing reached it) and clears it again.
  void put(MCB& d);
  // Zeros the range; nothing has reached the column any more.
  void clear() noexcept;
};

// Places the terms of the next column of the open data block of mcb into
// the column, times sign (±1); false when it has no term.
bool scatter_column(SCB& s, const MCB& mcb, double sign, ResultColumn& out);

// ---- Packed columns in core ----

// A string header slot: one double holding two words, the first row and
// the number of terms (first word at the lower address).
inline double header_slot(word row, word count) noexcept {
  const std::uint64_t bits = static_cast<std::uint32_t>(row) | std::uint64_t{static_cast<std::uint32_t>(count)} << 32;
  return std::bit_cast<double>(bits);
}
inline word slot_row(double slot) noexcept {
  return static_cast<word>(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(slot)));
}
inline word slot_count(double slot) noexcept {
  return static_cast<word>(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(slot) >> 32));
}

// A column of A loaded into core: strings of a header slot and their terms.
struct Loaded {
  std::int64_t slots = 0;  // slots taken (or needed, when it did not fit)
  word strings = 0;
  bool fits = true;
};
// Loads the next column of the open data block of mcb, read through s, into
// at most room slots from at, single-precision terms widened; with join a
// string that starts at the row after the previous one's last term extends
// it. When the column needs more slots it is read to its end, nothing is
// stored past room, and fits is false.
Loaded load_column(SCB& s, const MCB& mcb, double* at, std::int64_t room, bool join);

// Calls f(row, count, terms) for every string of a loaded column.
template <class F>
void for_each_loaded(const double* at, word strings, F&& f) {
  for (word k = 0; k < strings; ++k) {
    const word row = slot_row(at[0]), count = slot_count(at[0]);
    f(row, count, at + 1);
    at += 1 + count;
  }
}

// Writes scale x a loaded column as one string record of the open data block
// of out (word 1 and 2 set): strings longer than the room PUTSTR hands out
// go on in further strings.
void put_loaded(SCB& out, const double* at, word strings, double scale);

// ---- The multiply-add products ----

// Shape of a product and the signs of its operands.
struct Product {
  word m = 0;            // rows of D
  word n = 0;            // columns of D
  double sign_ab = 1.0;  // the product's sign
  double sign_c = 1.0;   // C's sign
  bool with_c = false;
};

// The checks of a product D = op(A) B + C (or A Bᵀ + C with a_bt) before
// any data block is opened: inner dimension and C's shape (701), the types
// of A, B, C and D (3053; D's type 0 becomes the system precision unless
// a_bt). D's header words 23-28 are set for writing: rows m, the form,
// columns, largest column and term count 0.
Product check_product(MPYCTL& c, bool a_bt);
// The density of D from its term count, in D's word 28.
void finish_product(MPYCTL& c, const Product& p);

}  // namespace zephsol::mpycols
