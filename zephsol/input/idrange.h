// Ranges of the set decoders over the identifiers the deck defines.
//
// DBSTRC keeps the identifiers of the nodes and the elements it writes into
// STRC, ascending. A range of nodes or elements is narrow when it has at
// most as many terms as the deck defines identifiers of its kind, plus
// kNarrowMargin: it is expanded term by term, undefined terms included, and
// the model modules report those. A wider range is expanded over the
// identifiers the deck defines only, in range order; its other terms are
// left out of the block and recorded for the model modules
// (zephsol/input/leftout.h). A wide range thus costs what the defined
// identifiers in its span cost, and the block holds word for word what the
// exact range would give.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "zephsol/exec/words.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/leftout.h"

namespace zephsol {

enum class IdKind { Node, Element };

inline constexpr std::int64_t kNarrowMargin = 1024;

// The identifiers of a kind written into STRC (ascending); DBSTRC sets them.
void keep_defined_ids(IdKind kind, std::vector<word> ids);
std::span<const word> defined_ids(IdKind kind);
bool is_defined(IdKind kind, word id);

// The terms of a range and their places: the stepped terms first, first +
// step, ..., then last itself (always the last term).
class RangeTerms {
 public:
  explicit RangeTerms(const StepRange& r) noexcept : r_(r), n_(range_size(r)) {}
  std::int64_t size() const noexcept { return n_; }
  word at(std::int64_t i) const noexcept {
    return i + 1 == n_ ? r_.last : static_cast<word>(std::int64_t{r_.first} + i * r_.step);
  }
  // The place of id among the terms, -1 when it is not one.
  std::int64_t place_of(word id) const noexcept;
  // The smallest and largest term.
  word low() const noexcept { return std::min(r_.first, r_.last); }
  word high() const noexcept { return std::max(r_.first, r_.last); }
  const StepRange& range() const noexcept { return r_; }

 private:
  StepRange r_;
  std::int64_t n_;
};

bool wide_range(const StepRange& r, IdKind kind);

// The number of terms a block holds of the range: all of a narrow one, the
// defined ones of a wide one.
std::int64_t kept_terms(const StepRange& r, IdKind kind);

// The defined terms of a range with their places, in range order.
std::vector<std::pair<std::int64_t, word>> defined_terms(const RangeTerms& t, IdKind kind);

// Walks the terms of a range that a block holds, in range order: kept(term)
// for each. For a wide range, left(term) is called in its place in the
// order for the first `report` terms left out. Returns how many terms were
// left out.
template <class Kept, class Left>
std::int64_t walk_range(const StepRange& r, IdKind kind, std::int64_t report, Kept&& kept, Left&& left) {
  const RangeTerms t(r);
  if (!wide_range(r, kind)) {
    for (std::int64_t i = 0; i < t.size(); ++i) kept(t.at(i));
    return 0;
  }
  const auto defined = defined_terms(t, kind);
  std::size_t next = 0;
  std::int64_t place = 0;  // the next term not yet passed
  for (; report > 0 && place < t.size(); ++place) {
    if (next < defined.size() && defined[next].first == place) {
      kept(defined[next++].second);
    } else {
      left(t.at(place));
      --report;
    }
  }
  for (; next < defined.size(); ++next) kept(defined[next].second);
  return t.size() - static_cast<std::int64_t>(defined.size());
}

// The number of distinct terms in the union of wide ranges. Ranges whose
// spans overlap are counted by inclusion and exclusion over their stepped
// parts; false when more than kMaxOverlapping stepped ranges (step other
// than 1) overlap at once, which the caller refuses on the range's card.
inline constexpr int kMaxOverlapping = 12;
bool union_size(std::span<const StepRange> ranges, std::int64_t& size);

// Records the left-out entries of the set being written.
class LeftOutRecorder {
 public:
  LeftOutRecorder(word block, word kind, word ordinal) noexcept : key_{block, kind, ordinal} {}
  // n entries of identifier id left out where the set has `before` written
  // entries (kept only while fewer than kLeftOutKept are).
  void add(word id, std::int64_t before, std::int64_t n = 1);
  // Entries left out beyond those added one by one.
  void count(std::int64_t n);

 private:
  LeftOutSet& set();
  std::array<word, 3> key_;
  LeftOutSet* set_ = nullptr;
};

// Forgets the defined identifiers and every left-out entry (IFP1, before
// the decoders).
void forget_ranges();

}  // namespace zephsol
