#include "support/nodal.h"

#include <algorithm>
#include <vector>

#include "common/block_dump.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"

namespace zephsol::test {

std::map<std::pair<int, int>, double> displacements() {
  MCB m{UG};
  HDRGET(UG, m.header());
  std::vector<double> u(static_cast<std::size_t>(m.rows), 0.0);
  DBOPEN(UG, 2, kRead);
  // With nodes in their own systems UG has two columns: the displacements
  // in those systems, then in global axes.
  for (word col = 0; col < std::max<word>(m.cols, 1); ++col) {
    std::fill(u.begin(), u.end(), 0.0);
    word first = 1, last = m.rows, empty = 0;
    COLGET(m, 2, u.data(), first, last, empty);
  }
  DBCLOS(UG, kCloseRewind);
  std::map<std::pair<int, int>, double> out;
  const auto pairs = block_records(EQIX).at(1);
  for (std::size_t k = 0; k < pairs.size(); k += 2)
    for (word c = 0; c < (pairs[k + 1] & 255); ++c)
      out[{pairs[k], c}] = u[static_cast<std::size_t>((pairs[k + 1] >> 10) + c - 1)];
  return out;
}

}  // namespace zephsol::test
