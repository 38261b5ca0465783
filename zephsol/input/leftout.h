// Identifiers that wide ranges of the deck named and the deck does not
// define, left out of the decoded blocks.
//
// A range such as "1 THRU 99999999" in a boundary, load or element group set
// is a user's way to say "every node (element) in this span". The decoders
// write into BOUN, LOAD and ELST only the terms of such a wide range that the
// deck defines (zephsol/input/idrange.h), so that the range costs what the
// defined identifiers cost; the blocks then hold, word for word, what the
// exact range would give. The terms left out are kept here, per set, for the
// model modules, whose messages for undefined identifiers and whose error
// totals stay what they would be with every term in the block: a module that
// reads a set walks its left-out entries beside the written ones
// (LeftOutWalk) and reports each where it would have met it.
//
// What is left out: every undefined term of a wide range, except the entries
// that the model module drops without a message (a "CONST" entry, or a
// "DISP" entry whose value is 0.0). A left-out entry stands for one entry of
// the block: a "DISP" node with three components is three entries. In ELST,
// whose records are sorted without repeats, an identifier is left out once
// per record, and not at all when the record holds it anyway.
//
// Sets are named by their data block, a kind, and their place (from 0) among
// the sets of that kind in the order the block holds them:
//   BOUN: kBoundarySets, the sets of the "BOUNDARY" record ("CONST" first);
//   LOAD: kTemperatureSets, the sets of the "TEMP" records; and the force
//         kind codes 1, 2, 7, 8 for the sets of the "FORCE" records;
//   ELST: kEgroupRecords and kMgroupRecords, the group records in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kBoundarySets = 1;
inline constexpr word kTemperatureSets = 0;
inline constexpr word kEgroupRecords = 1;
inline constexpr word kMgroupRecords = 2;

// The left-out entries kept of one set: as many as a model module prints at
// most (its print limit), the first in the set's order.
inline constexpr std::size_t kLeftOutKept = 100;

struct LeftOutEntry {
  word id;               // the node or element identifier
  std::int64_t before;   // the number of the set's written entries before it
};

struct LeftOutSet {
  std::int64_t count = 0;            // entries left out in all
  std::vector<LeftOutEntry> first;   // the first kLeftOutKept of them, in order
};

// The left-out entries of a set (empty when none were left out).
const LeftOutSet& left_out(word block, word kind, word ordinal);

// Walks the left-out entries of one set beside its written entries. Before
// a module handles written entry i (from 0) it calls before(i, report),
// which reports every kept left-out entry that comes before it; after the
// last written entry, rest(report) reports the remaining kept ones and
// returns how many were left out beyond those kept (to be counted as errors
// without being printed: the print limit has been passed by then).
class LeftOutWalk {
 public:
  explicit LeftOutWalk(const LeftOutSet& set) noexcept : set_(set) {}

  template <class Report>
  void before(std::int64_t i, Report&& report) {
    while (next_ < set_.first.size() && set_.first[next_].before <= i) report(set_.first[next_++].id);
  }
  template <class Report>
  std::int64_t rest(Report&& report) {
    while (next_ < set_.first.size()) report(set_.first[next_++].id);
    return set_.count - static_cast<std::int64_t>(set_.first.size());
  }

 private:
  const LeftOutSet& set_;
  std::size_t next_ = 0;
};

}  // namespace zephsol
