// A cube of k x k x k unit bricks (HEX8, or HEX20 with nodes at the edges'
// midpoints) as a whole deck, for the tests and the benchmarks of the
// equation solvers through the program: an elastic material (E 1000,
// NU 0.25, GAMM 1), the nodes of the bottom face held in all three
// directions, the cube's own weight in one step of one interval. The nodes
// lie on a lattice of spacing 1 (HEX8) or 0.5 (HEX20) and are numbered x
// first, then y, then z (node 1 at the origin), skipping the lattice points
// that no HEX20 uses (the centres of faces and bricks); the elements are
// numbered likewise. No output is requested.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zephsol::test {

namespace cube_detail {

inline std::string card(std::initializer_list<std::string_view> fields) {
  std::string out;
  for (std::string_view f : fields) {
    std::string s(f.substr(0, 8));
    s.resize(8, ' ');
    out += s;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out + "\n";
}

// One brick's nodes in the order of the connection cards, as lattice
// offsets (x, y, z) from its first corner.
using Offsets = std::vector<std::array<int, 3>>;

inline Offsets hex8_offsets() {
  Offsets o;
  for (int z : {0, 1})
    for (const auto& [x, y] : {std::array{0, 0}, {1, 0}, {1, 1}, {0, 1}}) o.push_back({x, y, z});
  return o;
}

// Corners and midpoints counterclockwise in the bottom face, the middle
// layer's corners, then the top face as the bottom.
inline Offsets hex20_offsets() {
  Offsets o;
  const std::array<std::array<int, 2>, 8> face{{{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}}};
  for (const auto& [x, y] : face) o.push_back({x, y, 0});
  for (const auto& [x, y] : {std::array{0, 0}, {2, 0}, {2, 2}, {0, 2}}) o.push_back({x, y, 1});
  for (const auto& [x, y] : face) o.push_back({x, y, 2});
  return o;
}

// The deck of k^3 bricks of `type` whose nodes are `per_edge` lattice steps
// apart along a brick's edge (1 for HEX8, 2 for HEX20).
inline std::string cube_deck(int k, std::string_view solver, std::string_view type, int per_edge,
                             const Offsets& brick) {
  const int m = per_edge * k + 1;
  // Node numbers of the lattice points; 0 for the points no brick uses.
  std::vector<int> number(static_cast<std::size_t>(m) * m * m, 0);
  const auto at = [m](int x, int y, int z) { return static_cast<std::size_t>(x + m * (y + m * z)); };
  int nodes = 0, bottom = 0;
  std::string node_cards;
  for (int z = 0; z < m; ++z)
    for (int y = 0; y < m; ++y)
      for (int x = 0; x < m; ++x) {
        if (per_edge == 2 && (x % 2) + (y % 2) + (z % 2) > 1) continue;
        number[at(x, y, z)] = ++nodes;
        if (z == 0) bottom = nodes;
        const auto coordinate = [per_edge](int i) {
          return per_edge == 1 ? std::to_string(i) + ".0" : std::to_string(i / 2) + (i % 2 ? ".5" : ".0");
        };
        node_cards += card({std::to_string(nodes), "", coordinate(x), coordinate(y), coordinate(z)});
      }
  std::string d = "Quorvane CUBE     RUN1\n";
  if (!solver.empty()) d += "SOLVER " + std::string(solver) + "\n";
  d += "FIELD 3\nBEGIN BULK\n";
  d += "ELEMENT\n" + card({"1", type});
  d += "MATERIAL\n" + card({"1", "0"}) + card({"", "E", "1000.0"}) + card({"", "NU", "0.25"}) +
       card({"", "GAMM", "1.0"});
  d += "NODE\n" + node_cards;
  d += "CONNECTI\n";
  int id = 0;
  for (int z = 0; z < k; ++z)
    for (int y = 0; y < k; ++y)
      for (int x = 0; x < k; ++x) {
        std::vector<std::string> n;
        for (const auto& o : brick)
          n.push_back(std::to_string(
              number[at(per_edge * x + o[0], per_edge * y + o[1], per_edge * z + o[2])]));
        // Six nodes on the first card, nine on each continuation card.
        std::string line = std::to_string(++id);
        line.resize(8, ' ');
        line += "1               1       ";
        for (std::size_t i = 0, on_card = 6; i < n.size(); ++i) {
          if (on_card == 0) {
            while (!line.empty() && line.back() == ' ') line.pop_back();
            d += line + "\n";
            line = std::string(8, ' ');
            on_card = 9;
          }
          std::string f = n[i];
          f.resize(8, ' ');
          line += f;
          --on_card;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        d += line + "\n";
      }
  d += "CONST\n" + card({"", "1", std::to_string(bottom), "1", "", "1", "3"});
  d += "BODY\n" + card({"1"}) + card({"", "1", "3", "", "0.0", "0.0", "-1.0"});
  d += "HISTORY\n" + card({"INTERVAL", "1"}) + card({"", "BODY", "1", "1.0"});
  d += "ENDDATA\n";
  return d;
}

}  // namespace cube_detail

// solver: the value of the "SOLVER" card ("METI", "PCG,1.0E-12,2000"), or
// empty for none (the profile decomposition).
inline std::string hex8_cube_deck(int k, std::string_view solver) {
  return cube_detail::cube_deck(k, solver, "HEX8", 1, cube_detail::hex8_offsets());
}
inline std::string hex20_cube_deck(int k, std::string_view solver) {
  return cube_detail::cube_deck(k, solver, "HEX20", 2, cube_detail::hex20_offsets());
}

}  // namespace zephsol::test
