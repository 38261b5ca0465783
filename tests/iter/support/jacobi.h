// Reference eigen-solver of the tests: cyclic Jacobi rotations of a
// symmetric 3 x 3 tensor (sx, sy, sz, txy, tyz, tzx).
#pragma once

#include <array>

namespace zephsol::test {

struct Eigen3 {
  std::array<double, 3> value;                 // ascending
  std::array<std::array<double, 3>, 3> vector;  // vector[k] belongs to value[k], unit length
};

Eigen3 jacobi(const std::array<double, 6>& t);

}  // namespace zephsol::test
