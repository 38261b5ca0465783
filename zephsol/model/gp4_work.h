// Work shared by the passes of GP4: the ECT record reader, the node entries
// of sets that name coordinate systems and the rotation pass.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::gp4 {

// Reads ECT record c (open for reading) into rec; returns its node count
// NN (word 3). Fatal 3825 ("ECT ", 100) for a record of 100 words or more,
// 2 ("ECT ") at the end of the data, 4008 (c) when it does not hold NN + 6
// words.
word read_ect_record(word ECT, std::span<word, 100> rec, word c);

// Node entries [EQIX word, node position, CSTM position, node] of the
// referenced sets that name systems, with the set each came from, in the
// order the sets were read.
class NodeEntries {
 public:
  void add_set(std::span<const word> rows, word set);
  bool empty() const { return rows_.empty(); }
  // Sorted by EQIX word, each node once (the first entry); a node named with
  // two systems is message 1758, printed once.
  void combine();
  std::size_t size() const { return rows_.size(); }
  const std::array<word, 5>& operator[](std::size_t i) const { return rows_[i]; }

 private:
  std::vector<std::array<word, 5>> rows_;
  int sets_ = 0;
};

// The rotation pass: ROTB from the entries (all zero header without any),
// 2347 naming `boundary`, the boundary set read last.
void rotations(NodeEntries& entries, word boundary);

}  // namespace zephsol::gp4
