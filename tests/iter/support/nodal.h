// Whole-analysis tests: the total displacements of the last step in global
// axes, read back from UG (its last column) through the equation index.
#pragma once

#include <map>
#include <utility>

namespace zephsol::test {

// UG by (node identifier, component 0 .. DOF count of the node - 1).
std::map<std::pair<int, int>, double> displacements();

}  // namespace zephsol::test
