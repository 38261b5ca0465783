// Whole-analysis tests: the state of each element's output point in EIV0,
// read back at full precision.
#pragma once

#include <vector>

#include "zephsol/elem/elem_records.h"

namespace zephsol::test {

// The output point (EIVWKA after EIVGTA of the header's output point) of
// each of the first `elements` elements of EIV0, in element order.
std::vector<EIVWK> output_points(int elements);

}  // namespace zephsol::test
