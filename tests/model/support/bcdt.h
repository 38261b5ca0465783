// BCDT as text for the tests of the boundary and constraint tables: one
// line per file, its records separated by " | ".
//   boundary file  "BOUN set m 0 j | eq value eq value ... | node rows"
//   MPC file       "FAST set q 0 j | t eq c eq c ...; t eq c ... | node rows"
//   automatic MPC  "AMPC 0 q 0 0 | n eqword d eq N eq N ...; n ..."
// Reals print in their shortest exact form (0.5, -2.5e-07).
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "zephsol/dbio/directory.h"

namespace zephsol::test {

// The records of a multi-file block, file by file.
inline std::vector<std::vector<std::vector<word>>> block_files(word number) {
  std::vector<std::vector<std::vector<word>>> files(1);
  const auto lines = dump_block(number, "I*");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] == "EOF") {
      files.emplace_back();
      continue;
    }
    std::istringstream in(lines[i].substr(lines[i].find(':') + 1));
    std::vector<word> rec;
    for (long long w; in >> w;) rec.push_back(static_cast<word>(w));
    files.back().push_back(rec);
  }
  if (files.back().empty()) files.pop_back();
  return files;
}

// Words as text: 'I' an integer, 'R' a REAL, by a pattern repeated from the
// word `repeat_from` on.
inline std::string words_text(const std::vector<word>& w, const std::string& pattern, std::size_t repeat_from) {
  std::string out;
  for (std::size_t k = 0; k < w.size(); ++k) {
    const std::size_t p = k < pattern.size() ? k : repeat_from + (k - repeat_from) % (pattern.size() - repeat_from);
    if (k > 0) out += ' ';
    out += pattern[p] == 'R' ? format_record({w[k]}, "R") : std::to_string(w[k]);
  }
  return out;
}

// Equations of a "FAST" or "AMPC" record: each [t, w1, w2, t pairs].
inline std::string equations_text(const std::vector<word>& rec, bool automatic) {
  std::string out;
  for (std::size_t at = 0; at < rec.size();) {
    const auto t = static_cast<std::size_t>(rec[at]);
    std::vector<word> eq(rec.begin() + static_cast<std::ptrdiff_t>(at),
                         rec.begin() + static_cast<std::ptrdiff_t>(std::min(rec.size(), at + 2 * t + 3)));
    if (!out.empty()) out += "; ";
    out += words_text(eq, automatic ? "IIIIR" : "IIRIR", 3);
    at += 2 * t + 3;
  }
  return out;
}

inline std::vector<std::string> bcdt_files(word number = BCDT) {
  std::vector<std::string> out;
  for (const auto& file : block_files(number)) {
    if (file.empty()) continue;
    const std::string kind = word_name(file[0][0]);
    std::vector<word> head(file[0].begin() + 1, file[0].end());
    std::string line = kind + " " + words_text(head, "I", 0);
    for (std::size_t r = 1; r < file.size(); ++r) {
      line += " | ";
      if (r == 1 && kind == "BOUN") line += words_text(file[r], "IR", 0);
      else if (r == 1) line += equations_text(file[r], kind == "AMPC");
      else line += words_text(file[r], "I", 0);
    }
    out.push_back(line);
  }
  return out;
}

}  // namespace zephsol::test
