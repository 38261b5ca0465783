// The work space of the profile decomposition, shared by the driver, the
// blocked kernel and the spill groups. Words counted from the first word of
// the work space: 1..NC the carried rows, NC+1..2NC the active set of the
// current row, doubles NC+1..2NC its values, and the pending triangle at the
// top, packed by rows of its upper triangle, ending at double W/2 and
// growing downward.
#pragma once

#include <cstdint>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/words.h"

namespace zephsol {

struct SdcWork {
  word first = 1;           // open-core index of word 1 (odd)
  std::int64_t words = 0;   // W
  word nc = 0;              // active-column limit NC
  std::int64_t top = 0;     // W / 2, the last double of the triangle
  std::int64_t start = 1;   // first double of the pending triangle (top + 1: none)
  double* base = nullptr;   // double 1

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

// The largest active count NC with NC (NC + 3) <= w: the row arrays (4 NC
// words) and a pending triangle of NC - 1 rows fit in w words.
word active_limit(std::int64_t w);

}  // namespace zephsol
