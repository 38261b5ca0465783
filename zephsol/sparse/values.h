// Value input and distribution: the value buffer of a matrix, its flush
// to the value file, and the conversion of entries to their places in the
// fronts (xdslvm, xdslvf).
//
// An off-diagonal entry (r, j) with value v is buffered, in the new
// numbering r' = invp(r), j' = invp(j), as row = min(r', j'), key =
// |j' - r'| (symmetric) or j' - r' (unsymmetric), value v. Value files are
// entry files (kind 3) of segments, each sorted by row and key with every
// (row, key) once.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// The control words of one matrix's buffer and value file: the system
// matrix ("A") or a full second matrix ("B").
struct BufferWords {
  int rows, keys, vals;    // positions of the buffer arrays
  int count, segs;         // entries in the buffer, segments on file
  int segstart, seglen;    // positions of the segment tables
  int unit;                // control word of the value file's unit
};
inline constexpr BufferWords kBufferA{cw::vrows, cw::vkeys,     cw::vvals,   cw::vcount,
                                      cw::vsegs, cw::vsegstart, cw::vseglen, cw::lunit3};
inline constexpr BufferWords kBufferB{cw::vrows_b, cw::vkeys_b,     cw::vvals_b,   cw::vcount_b,
                                      cw::vsegs_b, cw::vsegstart_b, cw::vseglen_b, cw::bvalue_unit};

// Sorts keys(1..n) ascending carrying vals along.
bool sort_keys(i64 n, iword* keys, double* vals);

// The flush of a value buffer (xdslvz): bucket sort by row, keys sorted
// and duplicates summed in each row, then (final != 0 and a segment on
// file already, or final = 0 and the buffer still over 0.8 cap) the lower
// part written as the next segment of the value file. Returns 0, -1 (too
// many segments, open or write failure).
i32 xdslvz(const Work& w, const BufferWords& b, i32 final);

// The value phase's sizes: segments per file at most, buffered matrices.
inline i64 max_segments(i64 n) { return n < 10000 ? n : 10000; }

}  // namespace zephsol::sparse
