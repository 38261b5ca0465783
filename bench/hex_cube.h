// Shared by the solver benchmarks: the stiffness of a cube of n x n x n unit
// HEX8 elements of an elastic material with the nodes of the bottom face
// fixed, the other nodes numbered plane by plane from the first free plane
// (a profile-reducing order), produced column by column.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "element_fixture.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/kelem.h"

namespace zephsol::bench {

// The stiffness of the unit HEX8, packed upper triangle by rows (24 DOFs).
inline std::vector<double> unit_hex8() {
  set_element(1, 0);
  std::vector<word> area(100000);
  EIVRDA(0, area);
  std::vector<double> ke(1830), v(60);
  KELEM(ke, {}, v, 0);
  return ke;
}

inline double ke_term(const std::vector<double>& ke, int i, int j) {
  if (i > j) std::swap(i, j);
  return ke[static_cast<std::size_t>(i * (2 * 24 - i - 1) / 2 + j)];
}

struct HexCube {
  int n;
  int side() const { return n + 1; }
  word equations() const { return 3 * n * side() * side(); }
  // First equation (1-based) of node (x, y, z), z >= 1.
  word first(int x, int y, int z) const { return 3 * (((z - 1) * side() + y) * side() + x) + 1; }

  // Calls column(j) for each column j in order, then term(row, value) for
  // each of its non-zero terms, rows ascending (both triangles).
  template <class Column, class Term>
  void for_each_column(Column column, Term term) const {
    const std::vector<double> ke = unit_hex8();
    std::array<double, 81> slot{};
    for (int z = 1; z <= n; ++z)
      for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x)
          for (int d = 0; d < 3; ++d) {
            slot.fill(0.0);
            for (int ez = z - 1; ez <= z; ++ez)
              for (int ey = y - 1; ey <= y; ++ey)
                for (int ex = x - 1; ex <= x; ++ex) {
                  if (ex < 0 || ey < 0 || ez < 0 || ex >= n || ey >= n || ez >= n) continue;
                  const int la = (x - ex) + 2 * (y - ey) + 4 * (z - ez);
                  for (int lb = 0; lb < 8; ++lb) {
                    const int bx = ex + (lb & 1), by = ey + ((lb >> 1) & 1), bz = ez + (lb >> 2);
                    if (bz == 0) continue;
                    const int k = ((bz - z + 1) * 3 + (by - y + 1)) * 3 + (bx - x + 1);
                    for (int db = 0; db < 3; ++db) slot[3 * k + db] += ke_term(ke, 3 * la + d, 3 * lb + db);
                  }
                }
            column(first(x, y, z) + d);
            for (int k = 0; k < 27; ++k) {
              const int bx = x + k % 3 - 1, by = y + (k / 3) % 3 - 1, bz = z + k / 9 - 1;
              if (bx < 0 || by < 0 || bz < 1 || bx > n || by > n || bz > n) continue;
              for (int db = 0; db < 3; ++db)
                if (const double v = slot[3 * k + db]; v != 0.0) term(first(bx, by, bz) + db, v);
            }
          }
  }
};

}  // namespace zephsol::bench
