// Whole-analysis tests on a structured mesh of plane-strain quadrilaterals:
// nodes (i, k), i = 0 .. radial, k = 0 .. angular, placed by the test; one
// elastic material (E 1.0E+4, nu 0.3); element (i, k) on nodes (i, k),
// (i + 1, k), (i + 1, k + 1), (i, k + 1). After the analysis, the stresses
// at every element's centre point.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace zephsol::test {

using P2 = std::array<double, 2>;

struct GridMesh {
  int radial, angular;
  std::function<P2(int, int)> xy;

  int node_id(int i, int k) const { return 1 + i + (radial + 1) * k; }
  int element_id(int i, int k) const { return 1 + i + radial * k; }
  // The mean of the element's corners (its centre point's position).
  P2 centre(int i, int k) const;
  // "ELEMENT", "MATERIAL", "NODE" and "CONNECTI" groups of the bulk data.
  std::string cards() const;
};

// A number in an 8-column field, with as many decimals (up to 6) as fit.
std::string field8(double v);

// The stresses of the centre point (the output point) of each of the first
// `elements` elements of EIV0, in element order.
std::vector<std::array<double, 6>> centre_stresses(int elements);

}  // namespace zephsol::test
