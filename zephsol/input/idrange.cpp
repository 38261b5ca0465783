// Ranges of the set decoders over the identifiers the deck defines, and the
// record of the terms they leave out.
#include "zephsol/input/idrange.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "zephsol/input/bulkrec.h"

namespace zephsol {

namespace {

std::vector<word>& ids_of(IdKind kind) {
  BulkState& b = bulk_state();
  return kind == IdKind::Node ? b.defined_nodes : b.defined_elements;
}

// Calls f(place, id) for every defined term of the range, in range order.
template <class F>
void for_each_defined(const RangeTerms& t, std::span<const word> ids, F&& f) {
  const StepRange& r = t.range();
  if (r.step > 0) {
    auto it = std::lower_bound(ids.begin(), ids.end(), r.first);
    const auto end = std::lower_bound(it, ids.end(), r.last);
    for (; it != end; ++it)
      if ((std::int64_t{*it} - r.first) % r.step == 0) f((std::int64_t{*it} - r.first) / r.step, *it);
  } else {
    const std::int64_t step = -std::int64_t{r.step};
    auto it = std::upper_bound(ids.begin(), ids.end(), r.first);
    const auto end = std::upper_bound(ids.begin(), it, r.last);
    while (it != end) {
      --it;
      if ((std::int64_t{r.first} - *it) % step == 0) f((std::int64_t{r.first} - *it) / step, *it);
    }
  }
  if (std::binary_search(ids.begin(), ids.end(), r.last)) f(t.size() - 1, r.last);
}

// An arithmetic progression of identifiers, ascending: start, start + step,
// ..., count terms.
struct Progression {
  std::int64_t start = 0, step = 1, count = 0;
  std::int64_t end() const { return start + (count - 1) * step; }
};

// The progression of the stepped terms of a range (all but the last term)
// and the last term alone.
std::pair<Progression, Progression> pieces_of(const StepRange& r) {
  const std::int64_t n = range_size(r);
  const std::int64_t step = r.step > 0 ? r.step : -std::int64_t{r.step};
  const std::int64_t low = r.step > 0 ? r.first : std::int64_t{r.first} + (n - 2) * r.step;
  return {Progression{low, step, n - 1}, Progression{r.last, 1, 1}};
}

bool holds(const Progression& p, std::int64_t x) {
  return x >= p.start && x <= p.end() && (x - p.start) % p.step == 0;
}

// The common terms of two progressions (a single common term has step 1).
Progression intersect(const Progression& a, const Progression& b) {
  if (a.count == 1) return holds(b, a.start) ? a : Progression{};
  if (b.count == 1) return holds(a, b.start) ? b : Progression{};
  const std::int64_t lo = std::max(a.start, b.start), hi = std::min(a.end(), b.end());
  if (lo > hi) return {};
  const std::int64_t g = std::gcd(a.step, b.step);
  if ((b.start - a.start) % g != 0) return {};
  // x = a.start + a.step k with a.step k = b.start - a.start (mod b.step):
  // k = ((b.start - a.start) / g) (a.step / g)^-1 (mod b.step / g).
  const std::int64_t m = b.step / g;
  __int128 k = 0;
  if (m > 1) {
    std::int64_t r0 = (a.step / g) % m, r1 = m, s0 = 1, s1 = 0;
    while (r1 != 0) {
      const std::int64_t q = r0 / r1;
      std::tie(r0, r1) = std::pair{r1, r0 - q * r1};
      std::tie(s0, s1) = std::pair{s1, s0 - q * s1};
    }
    const __int128 want = ((b.start - a.start) / g) % m;
    k = ((want * s0) % m + m) % m;
  }
  const __int128 lcm = static_cast<__int128>(a.step / g) * b.step;
  const __int128 x0 = a.start + a.step * k;
  const __int128 first = x0 >= lo ? x0 - (x0 - lo) / lcm * lcm : x0 + (lo - x0 + lcm - 1) / lcm * lcm;
  if (first > hi) return {};
  const auto count = static_cast<std::int64_t>((hi - first) / lcm + 1);
  return {static_cast<std::int64_t>(first), count == 1 ? 1 : static_cast<std::int64_t>(lcm), count};
}

// Sum over the non-empty subsets S of pieces[from..] joined to `common` of
// (-1)^(|S|) |common ∩ S| times the sign of the subset so far.
std::int64_t inclusion_exclusion(const std::vector<Progression>& pieces, std::size_t from, const Progression& common,
                                 int sign) {
  std::int64_t total = 0;
  for (std::size_t j = from; j < pieces.size() && pieces[j].start <= common.end(); ++j) {
    const Progression both = intersect(common, pieces[j]);
    if (both.count == 0) continue;
    total += -sign * both.count + inclusion_exclusion(pieces, j + 1, both, -sign);
  }
  return total;
}

}  // namespace

void keep_defined_ids(IdKind kind, std::vector<word> ids) { ids_of(kind) = std::move(ids); }

std::span<const word> defined_ids(IdKind kind) { return ids_of(kind); }

bool is_defined(IdKind kind, word id) {
  const auto ids = defined_ids(kind);
  return std::binary_search(ids.begin(), ids.end(), id);
}

std::int64_t RangeTerms::place_of(word id) const noexcept {
  if (id == r_.last) return n_ - 1;
  const std::int64_t d = std::int64_t{id} - r_.first;
  if (r_.step > 0 ? (d < 0 || id >= r_.last) : (d > 0 || id <= r_.last)) return -1;
  return d % r_.step == 0 ? d / r_.step : -1;
}

bool wide_range(const StepRange& r, IdKind kind) {
  return range_size(r) > static_cast<std::int64_t>(defined_ids(kind).size()) + kNarrowMargin;
}

std::int64_t kept_terms(const StepRange& r, IdKind kind) {
  if (!wide_range(r, kind)) return range_size(r);
  std::int64_t n = 0;
  for_each_defined(RangeTerms(r), defined_ids(kind), [&n](std::int64_t, word) { ++n; });
  return n;
}

std::vector<std::pair<std::int64_t, word>> defined_terms(const RangeTerms& t, IdKind kind) {
  std::vector<std::pair<std::int64_t, word>> out;
  for_each_defined(t, defined_ids(kind), [&out](std::int64_t place, word id) { out.emplace_back(place, id); });
  return out;
}

bool union_size(std::span<const StepRange> ranges, std::int64_t& size) {
  // Terms that steps of 1 and single terms cover are joined into disjoint
  // spans first, so that only the stepped ranges need the alternating sum.
  std::vector<Progression> spans, stepped;
  for (const StepRange& r : ranges) {
    const auto [steps, last] = pieces_of(r);
    spans.push_back(last);
    if (steps.count == 0) continue;
    (steps.step == 1 || steps.count == 1 ? spans : stepped).push_back(steps);
  }
  std::sort(spans.begin(), spans.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
  std::vector<Progression> pieces;
  for (const Progression& s : spans) {
    if (!pieces.empty() && s.start <= pieces.back().end() + 1)
      pieces.back().count = std::max(pieces.back().end(), s.end()) - pieces.back().start + 1;
    else
      pieces.push_back(s);
  }
  // At most kMaxOverlapping stepped ranges over any one identifier.
  std::vector<std::pair<std::int64_t, int>> events;
  for (const Progression& p : stepped) {
    events.emplace_back(p.start, 1);
    events.emplace_back(p.end() + 1, -1);
  }
  std::sort(events.begin(), events.end());
  int depth = 0;
  for (const auto& e : events)
    if ((depth += e.second) > kMaxOverlapping) return false;
  pieces.insert(pieces.end(), stepped.begin(), stepped.end());
  std::sort(pieces.begin(), pieces.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
  const Progression everything{std::int64_t{-0x7FFFFFFF} - 1, 1, std::int64_t{1} << 33};
  size = inclusion_exclusion(pieces, 0, everything, -1);
  return true;
}

LeftOutSet& LeftOutRecorder::set() {
  if (set_ == nullptr) set_ = &bulk_state().left_out[key_];
  return *set_;
}

void LeftOutRecorder::add(word id, std::int64_t before, std::int64_t n) {
  if (n <= 0) return;
  LeftOutSet& s = set();
  for (std::int64_t i = 0; i < n && s.first.size() < kLeftOutKept; ++i) s.first.push_back({id, before});
  s.count += n;
}

void LeftOutRecorder::count(std::int64_t n) {
  if (n > 0) set().count += n;
}

void forget_ranges() {
  BulkState& b = bulk_state();
  b.defined_nodes.clear();
  b.defined_elements.clear();
  b.left_out.clear();
}

const LeftOutSet& left_out(word block, word kind, word ordinal) {
  static const LeftOutSet none;
  const auto& m = bulk_state().left_out;
  const auto it = m.find({block, kind, ordinal});
  return it == m.end() ? none : it->second;
}

}  // namespace zephsol
