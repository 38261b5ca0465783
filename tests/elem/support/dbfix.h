// Data-block fixtures of the element library tests: records and single
// columns written through the file system and read back, each through a
// buffer at the top of the open core.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {

using Record = std::vector<word>;

// Open-core index of the k-th buffer from the top (k >= 1).
inline word top_buffer(word k) { return sysw().COREND - k * sysw().NBUFSZ; }

inline void write_records(word file, const std::vector<Record>& records, std::array<word, 6> header) {
  DBOPEN(file, top_buffer(1), kWrite);
  for (const Record& r : records) DBWRIT(file, r.data(), static_cast<word>(r.size()), 1);
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, header);
}

// Every record of the data block, whole.
inline std::vector<Record> read_records(word file) {
  std::vector<Record> out;
  DBOPEN(file, top_buffer(1), kRead);
  for (;;) {
    Record r;
    std::array<word, 64> chunk{};
    word status = 0;
    do {
      word nread = static_cast<word>(chunk.size());
      DBRDST(file, chunk.data(), static_cast<word>(chunk.size()), 0, nread, status);
      if (status == 2) break;
      r.insert(r.end(), chunk.begin(), chunk.begin() + nread);
    } while (status == 0);
    if (status == 2) break;
    out.push_back(r);
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

inline std::array<word, 6> header_of(word file) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  return h;
}

// One column with the header from the control words, stored in single or
// double precision.
inline void write_column(word file, const std::vector<double>& v, word type = kRealDouble) {
  const auto rows = static_cast<word>(v.size());
  MCB m{file, 0, rows, kRectangular, type, 0, 0};
  DBOPEN(file, top_buffer(1), kWrite);
  COLPUT(m, 2, v.data(), 1, rows);
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, m.header());
}

// The first column of a matrix data block as doubles (zeros where it has no terms).
inline std::vector<double> read_column(word file) {
  const auto h = header_of(file);
  std::vector<double> v(static_cast<std::size_t>(h[1]), 0.0);
  if (h[0] < 1 || h[1] < 1) return v;
  MCB m{file, h[0], h[1], h[2], h[3], h[4], h[5]};
  word first = 1, last = h[1], empty = 0;
  DBOPEN(file, top_buffer(1), kRead);
  COLGET(m, 2, v.data(), first, last, empty);
  DBCLOS(file, kCloseRewind);
  return v;
}

}  // namespace zephsol::test
