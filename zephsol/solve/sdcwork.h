// The work space of the profile decomposition, shared by the driver, the
// blocked kernel and the spill groups. Words counted from the first word of
// the work space: 1..NC the carried rows, NC+1..2NC the active set of the
// current row, doubles NC+1..2NC its values, and the pending triangle at the
// top, packed by rows of its upper triangle, ending at double W/2 and
// growing downward.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kNoGroup = 16777215;

// The spill groups: the current (or next) group, and the scratch data blocks
// in use, with the two buffers below the factor's (the first scratch block
// takes the upper one).
struct Spill {
  bool planned = false;
  bool inside = false;      // the current row lies in a group
  word start = kNoGroup;    // the current or next group
  word end = kNoGroup;
  word write = 0;           // scratch block written (0: none)
  word read = 0;            // scratch block read back (0: none)
  word upper = 0;           // open-core indexes of the two buffers
  word lower = 0;
};

struct SdcWork {
  word first = 1;           // open-core index of word 1 (odd)
  std::int64_t words = 0;   // W
  word nc = 0;              // active-column limit NC
  std::int64_t top = 0;     // W / 2, the last double of the triangle
  std::int64_t start = 1;   // first double of the pending triangle (top + 1: none)
  double* base = nullptr;   // double 1
  Spill spill;

  void lay_out(word first_word, std::int64_t w, word limit) {
    first = first_word;
    words = w;
    nc = limit;
    top = w / 2;
    start = top + 1;
    base = core().doubles(first, top).data();
  }
  std::span<word> carried() const { return core().words(first, nc); }
  std::span<word> idx() const { return core().words(first + nc, nc); }
  std::span<double> vals() const { return core().doubles(first + 2 * nc, nc); }
  // Double d of the work space (1-based).
  double* at(std::int64_t d) const { return base + (d - 1); }
  // First double of a triangle of r rows ending at the top.
  std::int64_t start_of(std::int64_t r) const { return top + 1 - r * (r + 1) / 2; }
  // The row values end at double 2NC.
  std::int64_t values_end() const { return 2 * std::int64_t{nc}; }
};

// Spill groups (sdcgrp.cpp). plan_spill measures the active counts and,
// when the largest exceeds NC, plans the groups, takes the two scratch
// buffers below the factor's buffer (the factor's first word at v) and lays
// the work space out anew; false when a column failed (error flag set).
bool plan_spill(SdcWork& wk, std::int64_t z, std::int64_t u, std::int64_t v);
// A group's first row spills the carried rows beyond its end; each pivot
// of a group leaves a pivot record of its active rows beyond the end; the
// group's end replays what the group deferred.
void start_group(SdcWork& wk);
void write_pivot_record(const SdcWork& wk, word q);
void end_group(SdcWork& wk);
// Releases the scratch blocks still open (after a failed row).
void release_scratch(SdcWork& wk);

// Rows of an active set after its pivot (idx[1..len], marked or not) that
// lie at or above row end: they come first, the set being ascending.
inline word rows_up_to(std::span<const word> idx, word len, word end) {
  word q = 0;
  while (q < len && std::abs(idx[static_cast<std::size_t>(q + 1)]) <= end) ++q;
  return q;
}

// Updates the first q rows of the pending triangle (each with its entries
// for the len active rows after the pivot) into a trapezoid ending at the
// top, from the old one at wk.start: SDCUPD with the checks of code (the old
// triangle starts above the new one) and code + 1 (the new one reaches the
// row values).
void update_triangle(SdcWork& wk, word q, word len, word code);

// Blocked kernel (sdcpanel.cpp). eliminate_block eliminates rows from
// sdcblk().row on as one column block (within the current group, before the
// next one, before the last row) and returns how many, leaving the row
// state and factor columns the row kernel would leave; 0 when the block
// would be too short (the row kernel takes the row).
word eliminate_block(SdcWork& wk, word n);
// The trailing update of a column block: the first q rows (a trapezoid) of
// the new pending triangle over the rows (ascending) are the old triangle at
// wk.start (holding the rows marked in in_old, in the same order) plus
// W L^T, W and L holding one column per pivot for the rows (leading
// dimension ld). The checks are those of update_triangle.
void update_front(SdcWork& wk, std::span<const word> rows, std::span<const std::uint8_t> in_old, word q,
                  const double* w, const double* l, std::int64_t ld, word pivots, word code);

// The largest active count NC with NC (NC + 3) <= w: the row arrays (4 NC
// words) and a pending triangle of NC - 1 rows fit in w words.
word active_limit(std::int64_t w);

}  // namespace zephsol
