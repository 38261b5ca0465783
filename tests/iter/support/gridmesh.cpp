#include "support/gridmesh.h"

#include <cstdio>

#include "common/deck.h"
#include "support/results.h"

namespace zephsol::test {

P2 GridMesh::centre(int i, int k) const {
  P2 c{0, 0};
  for (const P2& q : {xy(i, k), xy(i + 1, k), xy(i + 1, k + 1), xy(i, k + 1)}) c = {c[0] + q[0] / 4, c[1] + q[1] / 4};
  return c;
}

std::string GridMesh::cards() const {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\nNODE\n";
  for (int k = 0; k <= angular; ++k)
    for (int i = 0; i <= radial; ++i) {
      const P2 p = xy(i, k);
      b += card({std::to_string(node_id(i, k)), "", field8(p[0]), field8(p[1]), "0.0"}) + "\n";
    }
  b += "CONNECTI\n";
  for (int k = 0; k < angular; ++k)
    for (int i = 0; i < radial; ++i)
      b += card({std::to_string(element_id(i, k)), "1", "", "1", std::to_string(node_id(i, k)),
                 std::to_string(node_id(i + 1, k)), std::to_string(node_id(i + 1, k + 1)), std::to_string(node_id(i, k + 1))}) +
           "\n";
  return b;
}

std::string field8(double v) {
  char b[32];
  for (int d = 6; d >= 0; --d) {
    std::snprintf(b, sizeof b, "%.*f", d, v);
    if (std::string(b).size() <= 8) break;
  }
  return b;
}

std::vector<std::array<double, 6>> centre_stresses(int elements) {
  std::vector<std::array<double, 6>> out;
  for (const EIVWK& p : output_points(elements)) out.push_back(p.vec[0]);
  return out;
}

}  // namespace zephsol::test
