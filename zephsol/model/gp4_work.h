// Work shared by the passes of GP4: the reference lists, the ECT record
// reader, the node entries of sets that name coordinate systems, the
// rotation pass and the merge of element record sets.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <span>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/words.h"

namespace zephsol::gp4 {

// References (set, factor) of the interval, in open core, with a used mark
// each.
struct Refs {
  std::span<word> pairs;
  std::vector<char> used;
  Refs(word n, word pos) : pairs(core().words(pos, 2 * std::int64_t{n})), used(static_cast<std::size_t>(n), 0) {}
  std::size_t size() const { return used.size(); }
  word id(std::size_t i) const { return pairs[2 * i]; }
  float factor(std::size_t i) const { return word_real(pairs[2 * i + 1]); }
  // The first reference of set `id` not yet used, now marked, or size().
  std::size_t take(word set) {
    for (std::size_t i = 0; i < size(); ++i)
      if (used[i] == 0 && id(i) == set) {
        used[i] = 1;
        return i;
      }
    return size();
  }
  bool all_used() const { return std::ranges::all_of(used, [](char u) { return u != 0; }); }
  // Whether reference i is unused while an earlier or later one of the same
  // set was used (the set was named twice).
  bool named_twice(std::size_t i) const {
    for (std::size_t j = 0; j < size(); ++j)
      if (used[j] != 0 && id(j) == id(i)) return true;
    return false;
  }
};

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

// Whether data block `file` is defined (has a name).
bool block_defined(word file);

// Prints the line of every reference left unused (2 lines accounted, units
// 6 and 999): line(i, twice), twice when the set was used by another
// reference; IERFLG := 1 when there was any.
void report_unused(const Refs& refs, const std::function<std::string(std::size_t, bool)>& line);

// Element records [element, ...] of one stream, read one at a time into an
// area: the records of a set (a file of LDDT or TMPD after its head record)
// or the running sum on a scratch data block. `checked` sees every record as
// it is read (its shape, the set's factor).
class ElementStream {
 public:
  using Check = std::function<void(std::span<word>)>;
  ElementStream(word file, std::span<word> area, Check checked = {})
      : file_(file), area_(area), checked_(std::move(checked)) {}
  // Reads the next record: false at the end-of-file mark. A record that
  // does not fit its area is fatal -3520 (words read, room); one of fewer
  // than two words -3520 (words read, 2).
  bool next();
  word element() const { return area_[0]; }
  std::span<word> record() const { return area_.first(static_cast<std::size_t>(length_)); }
  std::span<word> area() const { return area_; }
  void set_length(word n) { length_ = n; }

 private:
  word file_;
  std::span<word> area_;
  Check checked_;
  word length_ = 0;
};

// The merge of the sets an interval refers to, each set's element records
// by element number with the sum T of the sets merged before it. T lies on
// one of the scratch data blocks 301 and 302 and the merge writes the
// other, so that their roles alternate; the merge of the last set goes to
// the interval's table instead, where each record's first word becomes L
// (the words after it) and every element without a record gets [0].
// Several sets lend the core between `lend_from` and the lowest file buffer
// to the buffer pool of the scratch data blocks for the life of the merge.
class SetMerge {
 public:
  // The record of an element in both streams, formed in T's area.
  using Combine = std::function<std::span<word>(ElementStream& t, ElementStream& s)>;
  SetMerge(word table, std::span<word> t_area, ElementStream::Check t_check, word lend_from, word lend_count);
  ~SetMerge();
  SetMerge(const SetMerge&) = delete;
  SetMerge& operator=(const SetMerge&) = delete;

  bool has_sum() const { return held_ >= 0; }
  // Whether the merge of the last set (or the sum) went to the table.
  bool table_written() const { return table_open_; }
  // Merges s (positioned at its first record) with T: a record of one
  // stream alone is written as it is, an element in both gets combine(t, s).
  void merge(ElementStream& s, bool last, const Combine& combine);
  // T written to the table unchanged.
  void sum_to_table();
  // [0] records for the elements after the last one written up to
  // `elements`, an end-of-file mark with `mark`; closes the table keeping
  // its position. Returns [records, longest record].
  std::array<word, 2> finish(word elements, bool mark);
  // Empties the scratch data block that holds T.
  void release();

 private:
  void run(ElementStream* s, bool last, const Combine& combine);
  void put(word out, bool last, std::span<word> rec);

  word table_;
  std::span<word> t_area_;
  ElementStream::Check t_check_;
  int held_ = -1;  // the scratch data block holding T (0: 301, 1: 302)
  bool lent_ = false;
  bool table_open_ = false;
  word next_ = 1;  // the element the table's next record is for
  word records_ = 0, longest_ = 0;
};

}  // namespace zephsol::gp4
