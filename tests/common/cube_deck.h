// A cube of k x k x k unit HEX8 bricks as a whole deck, for the tests and
// the benchmarks of the equation solvers through the program: an elastic
// material (E 1000, NU 0.25, GAMM 1), the nodes of the bottom face held in
// all three directions, the cube's own weight in one step of one interval.
// Nodes are numbered x first, then y, then z (node 1 at the origin), the
// elements likewise. No output is requested.
#pragma once

#include <string>
#include <string_view>

namespace zephsol::test {

// solver: the value of the "SOLVER" card ("METI", "PCG,1.0E-12,2000"), or
// empty for none (the profile decomposition).
inline std::string hex8_cube_deck(int k, std::string_view solver) {
  const auto field = [](std::string_view f) {
    std::string s(f.substr(0, 8));
    s.resize(8, ' ');
    return s;
  };
  const auto line = [&](std::initializer_list<std::string_view> fields) {
    std::string out;
    for (std::string_view f : fields) out += field(f);
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  const int m = k + 1;
  const auto node = [m](int x, int y, int z) { return std::to_string(1 + x + m * (y + m * z)); };
  std::string d = "Quorvane CUBE     RUN1\n";
  if (!solver.empty()) d += "SOLVER " + std::string(solver) + "\n";
  d += "FIELD 3\nBEGIN BULK\n";
  d += "ELEMENT\n" + line({"1", "HEX8"});
  d += "MATERIAL\n" + line({"1", "0"}) + line({"", "E", "1000.0"}) + line({"", "NU", "0.25"}) +
       line({"", "GAMM", "1.0"});
  d += "NODE\n";
  for (int z = 0; z < m; ++z)
    for (int y = 0; y < m; ++y)
      for (int x = 0; x < m; ++x)
        d += line({node(x, y, z), "", std::to_string(x) + ".0", std::to_string(y) + ".0", std::to_string(z) + ".0"});
  d += "CONNECTI\n";
  int id = 0;
  for (int z = 0; z < k; ++z)
    for (int y = 0; y < k; ++y)
      for (int x = 0; x < k; ++x) {
        const std::string n1 = node(x, y, z), n2 = node(x + 1, y, z), n3 = node(x + 1, y + 1, z),
                          n4 = node(x, y + 1, z), n5 = node(x, y, z + 1), n6 = node(x + 1, y, z + 1),
                          n7 = node(x + 1, y + 1, z + 1), n8 = node(x, y + 1, z + 1);
        d += line({std::to_string(++id), "1", "", "1", n1, n2, n3, n4, n5, n6}) + line({"", n7, n8});
      }
  d += "CONST\n" + line({"", "1", std::to_string(m * m), "1", "", "1", "3"});
  d += "BODY\n" + line({"1"}) + line({"", "1", "3", "", "0.0", "0.0", "-1.0"});
  d += "HISTORY\n" + line({"INTERVAL", "1"}) + line({"", "BODY", "1", "1.0"});
  d += "ENDDATA\n";
  return d;
}

}  // namespace zephsol::test
