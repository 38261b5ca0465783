// Tables of the input and model subsystems that the element library reads:
// the element type table, the property table and the property-change lists
// of the current interval. Their writers live in later subsystems; the
// element library holds the instances (elem_state().tables) so that it can
// read them without depending on those subsystems, and tests fill them.
#pragma once

#include <array>

#include "zephsol/exec/words.h"

namespace zephsol {

// Element type table: count (at most 20), then per definition the pair
// (user element type number, IECOD); the position of a pair is its ISEQ.
struct ETYP {
  static constexpr int kMax = 20;
  word count = 0;
  std::array<std::array<word, 2>, kMax> entry{};
};

// Property table: per property the identifier, the number of values and the
// first four values (REAL), in input order.
struct PRPTAB {
  static constexpr int kMax = 1000;
  word count = 0;
  std::array<word, kMax> id{};
  std::array<word, kMax> nval{};
  std::array<std::array<float, kMax>, 4> value{};
};

// A change list of an interval: count, then up to 100 entries (key, new ID,
// order); one entry per key; a larger order is a later change.
struct ChangeList {
  static constexpr int kMax = 100;
  word count = 0;
  std::array<std::array<word, 3>, kMax> entry{};
};

struct ModelTables {
  ETYP etyp;
  PRPTAB prptab;
  ChangeList PRCGRP;  // property changes keyed by material group
  ChangeList PRCMID;  // property changes keyed by material ID
};

}  // namespace zephsol
