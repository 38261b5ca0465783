// The matrix of a cube of HEX8 elements for the sparse library's
// benchmarks.
#pragma once

#include <algorithm>
#include <vector>

#include "zephsol/sparse/work.h"

namespace sparse_bench {

using zephsol::sparse::i32;

// Lower triangle (diagonal first) of a cube of k^3 HEX8 elements, 3
// freedoms per node, compressed columns, 1-based; the values of a positive
// definite matrix of that coupling (-1 between like freedoms of
// neighbouring nodes, 0.25 between unlike ones, the diagonal the sum of
// the magnitudes plus one).
struct Matrix {
  i32 n = 0;
  std::vector<i32> colptr, rowind;
  std::vector<double> values;
};

inline Matrix hex_cube(int k) {
  const int m = k + 1;
  Matrix a;
  a.n = 3 * m * m * m;
  a.colptr.push_back(1);
  for (int z = 0; z < m; ++z)
    for (int y = 0; y < m; ++y)
      for (int x = 0; x < m; ++x) {
        const int node = (z * m + y) * m + x;
        std::vector<int> later;
        int degree = 0;
        for (int dz = -1; dz <= 1; ++dz)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int X = x + dx, Y = y + dy, Z = z + dz;
              if (X < 0 || Y < 0 || Z < 0 || X >= m || Y >= m || Z >= m) continue;
              const int nb = (Z * m + Y) * m + X;
              if (nb != node) ++degree;
              if (nb > node) later.push_back(nb);
            }
        std::sort(later.begin(), later.end());
        const double diag = degree * (1.0 + 2 * 0.25) + 2 * 0.25 + 1.0;
        for (int d = 0; d < 3; ++d) {
          for (int e = d; e < 3; ++e) {
            a.rowind.push_back(3 * node + e + 1);
            a.values.push_back(e == d ? diag : 0.25);
          }
          for (int nb : later)
            for (int e = 0; e < 3; ++e) {
              a.rowind.push_back(3 * nb + e + 1);
              a.values.push_back(e == d ? -1.0 : 0.25);
            }
          a.colptr.push_back(static_cast<i32>(a.rowind.size()) + 1);
        }
      }
  return a;
}

}  // namespace sparse_bench
