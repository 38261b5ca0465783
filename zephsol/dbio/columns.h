// Packed matrix columns: every column of a matrix data block is one string
// record (zephsol/dbio/strings.h) holding only its non-zero terms. Whole
// columns are packed from and unpacked into full vectors (COLPUT, COLGET),
// built term by term (COLBEG, COLTRM, COLEND), read term by term (TRMBEG,
// TRMNXT) and copied (COLCPY), converting between the caller's precision and
// the stored type of the matrix and keeping its matrix control block.
//
// The caller's type is 1 (single precision values) or 2 (double); the read
// routines accept it negated (-1, -2) to receive every term negated; it must
// match the values' element type. A double counts as zero when its high-order
// half (sign, exponent, leading fraction) reads as a single-precision zero.
//
// Messages (fatal): 3053 a caller's type or stored type outside 1 and 2 (the
// data block's name and the value); 705 COLCPY between other types; the
// string-level errors of strings.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "zephsol/dbio/strings.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// Matrix control block: the data block number and, in words 2-7, its
// header. While a writer packs columns, word 7 holds the running term count.
struct MCB {
  word file = 0;     // 1 data block number
  word cols = 0;     // 2 columns written
  word rows = 0;     // 3 rows
  word form = 0;     // 4 MTXFRM
  word type = 0;     // 5 MTXTYP, the stored precision
  word maxcol = 0;   // 6 largest number of terms in one column
  word density = 0;  // 7 density x 10000 (the term count while writing)

  std::span<word, 7> words() noexcept { return std::span<word, 7>(reinterpret_cast<word*>(this), 7); }
  // The six header words (2-7).
  std::span<word, 6> header() noexcept { return std::span<word, 6>(reinterpret_cast<word*>(this) + 1, 6); }
};
static_assert(sizeof(MCB) == 7 * 4);
static_assert(offsetof(MCB, density) == 6 * 4);

// Form codes (MTXFRM) and type codes (MTXTYP).
enum MatrixForm : word {
  kSquare = 1,
  kRectangular = 2,
  kDiagonal = 3,
  kLowerTriangular = 4,
  kUpperTriangular = 5,
  kSymmetric = 6,
  kRowVector = 7,
  kIdentity = 8,
};
enum MatrixType : word { kRealSingle = 1, kRealDouble = 2, kComplexSingle = 3, kComplexDouble = 4 };

// count x 10000 / (rows x cols), truncated, in 0..10000; 0 for an empty shape.
word density_of(std::int64_t count, std::int64_t rows, std::int64_t cols) noexcept;

// Packs rows first..last of values (values[0] is row first) as the next
// column of the data block of mcb (open for writing); MCB word 2 grows by
// one, word 6 keeps the largest column, word 7 the running term count.
void COLPUT(MCB& mcb, word type, const float* values, word first, word last);
void COLPUT(MCB& mcb, word type, const double* values, word first, word last);
// Unpacks the next column into values (values[0] is row first); first < 1
// asks for the column from its first term and returns its row, last < 1 up
// to its last term and returns its row. empty = 1 (values untouched) when
// the column has no term in the range. The column is always read to its end.
void COLGET(MCB& mcb, word type, float* values, word& first, word& last, word& empty);
void COLGET(MCB& mcb, word type, double* values, word& first, word& last, word& empty);

// Term-by-term writing of the next column through scb; rows increase.
void COLBEG(MCB& mcb, word type, SCB& scb);
void COLTRM(float value, word row, SCB& scb);
void COLTRM(double value, word row, SCB& scb);
void COLEND(MCB& mcb, SCB& scb);

// Term-by-term reading of the next column through scb: empty = 1 when it has
// no term; end = 1 with the column's last term.
void TRMBEG(MCB& mcb, word type, SCB& scb, word& empty);
void TRMNXT(float& value, word& row, SCB& scb, word& end);
void TRMNXT(double& value, word& row, SCB& scb, word& end);

// Copies the next column of scbin's data block to scbout's (both open, word 1
// and word 2 set), negated when neg < 0, converting between the stored types.
void COLCPY(SCB& scbin, SCB& scbout, word neg);

}  // namespace zephsol
