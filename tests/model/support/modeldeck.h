// Decks of the model-table tests: cards of the model groups and readers of
// the messages the modules printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {

// One elastic material, identifier 1.
inline std::string material_cards() {
  return "MATERIAL\n" + card({"1", "0"}) + "\n" + card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\n";
}

// A "NODE" card.
inline std::string node_card(int id, const std::string& x, const std::string& y, const std::string& z, int system = 0) {
  return card({std::to_string(id), system != 0 ? std::to_string(system) : "", x, y, z}) + "\n";
}

// A "CONNECTI" element with its nodes, continuation cards as needed.
inline std::string element_card(int id, int type, int property, const std::vector<int>& nodes, int material = 1) {
  std::vector<std::string> f{std::to_string(id), std::to_string(type), property != 0 ? std::to_string(property) : "",
                             std::to_string(material)};
  std::string out;
  std::size_t k = 0;
  for (; k < nodes.size() && k < 6; ++k) f.push_back(nodes[k] != 0 ? std::to_string(nodes[k]) : "");
  auto flush = [&] {
    std::string c;
    for (const auto& s : f) {
      std::string field = s;
      field.resize(8, ' ');
      c += field;
    }
    while (!c.empty() && c.back() == ' ') c.pop_back();
    out += c + "\n";
    f.assign(1, "");
  };
  flush();
  while (k < nodes.size()) {
    for (std::size_t j = 0; j < 9 && k < nodes.size(); ++j, ++k) f.push_back(nodes[k] != 0 ? std::to_string(nodes[k]) : "");
    flush();
  }
  return out;
}

// The message numbers printed on a unit's lines ("0*** USER FATAL MESSAGE
// 2415," gives 2415, a warning its negative).
inline std::vector<int> message_numbers(const std::vector<std::string>& lines) {
  std::vector<int> out;
  for (const auto& l : lines) {
    for (const char* head : {"0*** USER FATAL MESSAGE ", "0*** USER WARNING MESSAGE "}) {
      const std::string h(head);
      if (l.rfind(h, 0) != 0) continue;
      const int n = std::stoi(l.substr(h.size()));
      out.push_back(h.find("WARNING") != std::string::npos ? -n : n);
    }
  }
  return out;
}

}  // namespace zephsol::test
