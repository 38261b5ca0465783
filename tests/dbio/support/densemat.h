// Dense matrices for the tests of the matrix operations: random sparse
// matrices, their packed-column data blocks written and read back through
// the column routines, and dense products for reference.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/words.h"

namespace zephsol::testing {

// Columns of rows: m[j][i] is row i + 1 of column j + 1.
using Dense = std::vector<std::vector<double>>;

inline Dense zeros(word rows, word cols) {
  return Dense(static_cast<std::size_t>(cols), std::vector<double>(static_cast<std::size_t>(rows), 0.0));
}

inline Dense transposed(const Dense& m, word rows) {
  Dense t = zeros(static_cast<word>(m.size()), rows);
  for (std::size_t j = 0; j < m.size(); ++j)
    for (std::size_t i = 0; i < m[j].size(); ++i) t[i][j] = m[j][i];
  return t;
}

// A random matrix with about density x rows x cols terms in (-10, 10), in
// runs so that columns hold several strings; values of a single-precision
// matrix are rounded to it. Some columns of a sparse matrix stay empty.
inline Dense random_sparse(std::mt19937& rng, word rows, word cols, double density, word type) {
  Dense m = zeros(rows, cols);
  std::uniform_real_distribution<double> value(-10.0, 10.0);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  for (auto& c : m) {
    for (word i = 0; i < rows; ++i) {
      if (coin(rng) >= density) continue;
      // A non-zero often carries its neighbour along, so that strings join.
      const word run = 1 + static_cast<word>(rng() % 3);
      for (word k = 0; k < run && i < rows; ++k, ++i) {
        double v = value(rng);
        if (v == 0.0) v = 1.0;
        c[static_cast<std::size_t>(i)] = type == 1 ? static_cast<double>(static_cast<float>(v)) : v;
      }
    }
  }
  return m;
}

// Terms of a dense matrix that are not zero.
inline std::int64_t nonzeros(const Dense& m) {
  std::int64_t n = 0;
  for (const auto& c : m) n += std::count_if(c.begin(), c.end(), [](double v) { return v != 0.0; });
  return n;
}

// Writes m as data block file through a buffer at open-core index buffer and
// closes it rewound; the MCB with its header (word 7 the density).
inline MCB write_matrix(word file, const Dense& m, word rows, word type, word form, word buffer = 2) {
  MCB mcb{file, 0, rows, form, type, 0, 0};
  DBOPEN(file, buffer, kWrite);
  for (const auto& c : m) COLPUT(mcb, 2, c.data(), 1, rows);
  DBCLOS(file, kCloseRewind);
  mcb.density = density_of(mcb.density, rows, mcb.cols);
  return mcb;
}

// Reads back the columns of the matrix of mcb.
inline Dense read_matrix(MCB mcb, word buffer = 2) {
  Dense m = zeros(mcb.rows, mcb.cols);
  DBOPEN(mcb.file, buffer, kRead);
  for (auto& c : m) {
    word first = 1, last = mcb.rows, empty = 0;
    if (mcb.rows > 0) COLGET(mcb, 2, c.data(), first, last, empty);
  }
  DBCLOS(mcb.file, kCloseRewind);
  return m;
}

// Stored terms of the matrix of mcb, and its largest column.
struct StoredTerms {
  std::int64_t terms = 0;
  word largest = 0;
};
inline StoredTerms stored_terms(MCB mcb, word buffer = 2) {
  StoredTerms s;
  DBOPEN(mcb.file, buffer, kRead);
  SCB own{};
  for (word j = 1; j <= mcb.cols; ++j) {
    own.file = mcb.file;
    own.type = mcb.type;
    own.flag = 1;
    word column = 0;
    for (NXTSTR(own); own.flag == 0; NXTSTR(own)) column += own.room;
    s.terms += column;
    s.largest = std::max(s.largest, column);
  }
  DBCLOS(mcb.file, kCloseRewind);
  return s;
}

}  // namespace zephsol::testing
