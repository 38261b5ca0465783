// TA1ASQ and TA1ADM: profile-reducing renumbering of the nodes. TA1ADM finds
// for each separate structure of the node graph a start node at one end of
// a pseudo-diameter by rooted level structures; TA1ASQ numbers each
// structure from its start, always taking the queued node of highest
// priority P = L + 2 (N - deg) - 1 (L the level the last candidate search
// that reached the node gave it), and keeps the numbering only when its
// profile is not larger than the input order's.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"
#include "zephsol/model/ta1.h"

namespace zephsol {

namespace {

constexpr word kTraceSwitch = 11;
constexpr word kNone = 16777215;
constexpr std::size_t kMaxCandidates = 128;
enum Status : word { kInactive = 0, kPreactive = 1, kActive = 2, kNumbered = 3 };

struct Graph {
  std::span<const word> ptr, adj;
  std::span<const word> neighbours(word i) const {
    const auto first = static_cast<std::size_t>(ptr[static_cast<std::size_t>(i - 1)] - 1);
    const auto last = static_cast<std::size_t>(ptr[static_cast<std::size_t>(i)] - 1);
    return adj.subspan(first, last - first);
  }
};

// One rooted level structure, breadth first into `list`: each level's nodes
// taken in the order they were found, their neighbours in adjacency order.
// The marks are bits of the mark area (one bit per node), so that clearing
// them for every search costs N/32 words and the tests stay in cache.
class LevelSearch {
  static constexpr std::size_t kAhead = 16;

 public:
  LevelSearch(const Graph& g, std::span<word> mark, std::span<word> list)
      : g_(g), seen_(mark.first((mark.size() + 31) / 32)), list_(list) {}

  struct Result {
    bool completed = true;
    word reached = 0, depth = 0, width = 0;  // width: the largest level's
    std::size_t last_begin = 0, last_end = 0;
  };

  // From root, level by level, until a level adds nothing or `stop` nodes
  // are reached; with `level`, every node reached gets its level number, and
  // the search is abandoned after a level that makes the largest width pass
  // `limit`.
  Result run(word root, word stop, std::span<word> level, word limit) {
    std::fill(seen_.begin(), seen_.end(), 0);
    word* const lev = level.empty() ? nullptr : level.data();
    Result r;
    mark(root);
    list_[0] = root;
    if (lev != nullptr) lev[root - 1] = 1;
    std::size_t begin = 0, end = 1;
    r.depth = 1;
    r.width = 1;
    while (static_cast<word>(end) < stop) {
      const std::size_t next = expand(begin, end, r.depth + 1, lev);
      if (next == end) break;
      ++r.depth;
      r.width = std::max(r.width, static_cast<word>(next - end));
      begin = end;
      end = next;
      if (r.width > limit) {
        r.completed = false;
        break;
      }
    }
    r.reached = static_cast<word>(end);
    r.last_begin = begin;
    r.last_end = end;
    return r;
  }

 private:
  void mark(word node) {
    const auto k = static_cast<std::uint32_t>(node - 1);
    seen_[k >> 5] |= static_cast<word>(1u << (k & 31));
  }

  // Appends the unmarked neighbours of the level list[begin, end) after it;
  // returns the end of the new level.
  std::size_t expand(std::size_t begin, std::size_t end, word depth, word* lev) {
    const word* const adj = g_.adj.data();
    const word* const ptr = g_.ptr.data();
    word* const seen = seen_.data();
    word* const list = list_.data();
    std::size_t next = end;
    for (std::size_t q = begin; q < end; ++q) {
      // The lists of the nodes a few places ahead are fetched early: the
      // search is bound by their reads.
      if (q + kAhead < end) {
        const word* ahead = adj + ptr[list[q + kAhead] - 1] - 1;
        __builtin_prefetch(ahead);
        __builtin_prefetch(ahead + 16);
      }
      if (q + 4 * kAhead < end) __builtin_prefetch(ptr + list[q + 4 * kAhead] - 1);
      const word node = list[q];
      for (const word *a = adj + ptr[node - 1] - 1, *last = adj + ptr[node] - 1; a != last; ++a) {
        const auto k = static_cast<std::uint32_t>(*a - 1);
        const word bit = static_cast<word>(1u << (k & 31));
        if ((seen[k >> 5] & bit) != 0) continue;
        seen[k >> 5] |= bit;
        list[next++] = *a;
        if (lev != nullptr) lev[k] = depth;
      }
    }
    return next;
  }

  const Graph& g_;
  std::span<word> seen_;
  std::span<word> list_;
};

// Orders the nodes by ascending degree: gaps halved from w/2 to 1, each pair
// k, k + g put in order and then, one step back only, k - g and k.
void degree_sort(std::span<word> last, std::span<const word> deg) {
  const auto d = [&](word node) { return deg[static_cast<std::size_t>(node - 1)]; };
  const auto w = static_cast<std::ptrdiff_t>(last.size());
  for (std::ptrdiff_t g = w / 2; g >= 1; g /= 2)
    for (std::ptrdiff_t k = 0; k + g < w; ++k) {
      if (d(last[static_cast<std::size_t>(k)]) <= d(last[static_cast<std::size_t>(k + g)])) continue;
      std::swap(last[static_cast<std::size_t>(k)], last[static_cast<std::size_t>(k + g)]);
      if (k - g >= 0 && d(last[static_cast<std::size_t>(k - g)]) > d(last[static_cast<std::size_t>(k)]))
        std::swap(last[static_cast<std::size_t>(k - g)], last[static_cast<std::size_t>(k)]);
    }
}

void print_listing(const std::string& line, word lines) {
  LINCNT(lines);
  unit_write_line(kListing, line);
}

// The queue of the numbering: the node of largest priority, the earliest
// queued among equal priorities, exactly as a list scanned from its head
// and closed up after each removal selects it. A binary heap ordered by
// (priority, queue order), with each node's place kept so that a priority
// raise moves it up.
class PriorityQueue {
 public:
  PriorityQueue(std::span<word> priority, word n, bool counting)
      : p_(priority), place_(static_cast<std::size_t>(n), -1), order_(static_cast<std::size_t>(n), 0),
        counting_(counting) {}

  bool empty() const { return heap_.empty(); }
  std::size_t size() const { return heap_.size(); }
  word top() const { return heap_.front(); }
  // Entries whose priority equals the top's (counted only when asked for).
  word ties() const { return counting_ ? count_.at(p_[static_cast<std::size_t>(top() - 1)]) : 0; }

  void push(word node) {
    order_[static_cast<std::size_t>(node - 1)] = ++clock_;
    heap_.push_back(node);
    if (counting_) ++count_[prio(node)];
    up(heap_.size() - 1);
  }
  word pop() {
    const word node = heap_.front();
    if (counting_) --count_[prio(node)];
    place_[static_cast<std::size_t>(node - 1)] = -1;
    heap_.front() = heap_.back();
    heap_.pop_back();
    if (!heap_.empty()) {
      place_[static_cast<std::size_t>(heap_.front() - 1)] = 0;
      down(0);
    }
    return node;
  }
  // P(node) += 2; the node moves up when it is queued.
  void raise(word node) {
    const std::ptrdiff_t at = place_[static_cast<std::size_t>(node - 1)];
    if (counting_ && at >= 0) --count_[prio(node)];
    p_[static_cast<std::size_t>(node - 1)] += 2;
    if (at < 0) return;
    if (counting_) ++count_[prio(node)];
    up(static_cast<std::size_t>(at));
  }

 private:
  word prio(word node) const { return p_[static_cast<std::size_t>(node - 1)]; }
  // a goes before b: larger priority, or equal priority and queued earlier.
  bool before(word a, word b) const {
    const word pa = prio(a), pb = prio(b);
    if (pa != pb) return pa > pb;
    return order_[static_cast<std::size_t>(a - 1)] < order_[static_cast<std::size_t>(b - 1)];
  }
  void put(std::size_t at, word node) {
    heap_[at] = node;
    place_[static_cast<std::size_t>(node - 1)] = static_cast<std::ptrdiff_t>(at);
  }
  void up(std::size_t at) {
    const word node = heap_[at];
    while (at > 0) {
      const std::size_t parent = (at - 1) / 2;
      if (!before(node, heap_[parent])) break;
      put(at, heap_[parent]);
      at = parent;
    }
    put(at, node);
  }
  void down(std::size_t at) {
    const word node = heap_[at];
    for (;;) {
      std::size_t child = 2 * at + 1;
      if (child >= heap_.size()) break;
      if (child + 1 < heap_.size() && before(heap_[child + 1], heap_[child])) ++child;
      if (!before(heap_[child], node)) break;
      put(at, heap_[child]);
      at = child;
    }
    put(at, node);
  }

  std::span<word> p_;
  std::vector<word> heap_;
  std::vector<std::ptrdiff_t> place_;
  std::vector<std::int64_t> order_;
  std::int64_t clock_ = 0;
  bool counting_;
  std::unordered_map<word, word> count_;
};

struct QueueStats {
  std::int64_t selections = 0, ties = 0, sum = 0;
  std::size_t longest = 0;
};

// Numbers the nodes of every structure from its start node.
QueueStats number_structures(const Graph& g, std::span<word> newnum, std::span<word> prio, std::span<word> status,
                             bool counting) {
  const STRUCT& st = model_state().structures;
  const word n = static_cast<word>(newnum.size());
  const auto stat = [&](word node) -> word& { return status[static_cast<std::size_t>(node - 1)]; };
  PriorityQueue queue(prio, n, counting);
  QueueStats qs;
  word next = 1;
  for (word s = 1; s <= st.NSTRUC; ++s) {
    const word start = st.entry[static_cast<std::size_t>(s - 1)][0];
    stat(start) = kPreactive;
    queue.push(start);
    while (!queue.empty()) {
      const word best = queue.top();
      if (prio[static_cast<std::size_t>(best - 1)] < 1) model_fatal(-932, s, static_cast<word>(queue.size()));
      ++qs.selections;
      qs.sum += static_cast<std::int64_t>(queue.size());
      qs.longest = std::max(qs.longest, queue.size());
      qs.ties += queue.ties();
      queue.pop();
      if (stat(best) == kPreactive)
        for (const word j : g.neighbours(best)) {
          queue.raise(j);
          if (stat(j) == kInactive) {
            stat(j) = kPreactive;
            queue.push(j);
          }
        }
      newnum[static_cast<std::size_t>(best - 1)] = next++;
      stat(best) = kNumbered;
      for (const word j : g.neighbours(best)) {
        if (stat(j) != kPreactive) continue;
        queue.raise(j);
        stat(j) = kActive;
        for (const word k : g.neighbours(j)) {
          if (stat(k) == kNumbered) continue;
          queue.raise(k);
          if (stat(k) == kInactive) {
            stat(k) = kPreactive;
            queue.push(k);
          }
        }
      }
    }
  }
  for (word i = 1; i <= n; ++i)
    if (newnum[static_cast<std::size_t>(i - 1)] == 0) newnum[static_cast<std::size_t>(i - 1)] = next++;
  return qs;
}

void print_statistics(word n, const QueueStats& qs) {
  const auto sel = static_cast<float>(qs.selections);
  const std::int64_t ties = qs.ties - qs.selections;
  const std::string lines[] = {
      "0*** TA1ASQ INFORMATION MESSAGE ---",
      fline("(10X,'         NBR OF NODES :',I6)", {n}),
      fline("(10X,'NBR OF QUEUE SEARCHES :',I6)", {static_cast<long long>(qs.selections)}),
      fline("(10X,'      LENGTH OF QUEUE :',I6,' MAX. ',F10.1,' AVR.')",
            {static_cast<long long>(qs.longest), static_cast<float>(qs.sum) / sel}),
      fline("(10X,'          NBR OF TIES :',I6,' TOT. ',F10.1,' AVR.')",
            {static_cast<long long>(ties), static_cast<float>(ties) / sel}),
  };
  LINCNT(6);
  for (const auto& l : lines) {
    unit_write_line(kListing, l);
    unit_write_line(kErrorLog, l);
  }
}

}  // namespace

void TA1ASQ(word adjptr, word adjlist, word newnum, word deg, word status, word work) {
  TA1COM& t = ta1com();
  const word n = t.N;
  const WordSpace& c = core();
  std::int64_t p0 = 0, p1 = 0;
  TA1APF(adjptr, adjlist, newnum, status, work, work, 0, p0);
  TA1ADM(adjptr, adjlist, status, newnum, deg, work);
  if (model_state().structures.NSTRUC == 0) {
    t.IRNFLG = -1;
    return;
  }
  const Graph g{c.words(adjptr, n + 1), c.words(adjlist, c.w(adjptr + n) - 1)};
  const std::span<word> prio = c.words(deg, n), level = c.words(work, n), stat = c.words(status, n);
  const std::span<word> num = c.words(newnum, n);
  for (word i = 0; i < n; ++i) {
    const auto k = static_cast<std::size_t>(i);
    prio[k] = level[k] + 2 * (n - prio[k]) - 1;
    stat[k] = kInactive;
    num[k] = 0;
  }
  const word trace = DIAGLV(kTraceSwitch);
  const QueueStats qs = number_structures(g, num, prio, stat, trace >= 2);
  TA1APF(adjptr, adjlist, newnum, status, work, work, 1, p1);
  if (trace >= 2 && qs.selections >= 1) print_statistics(n, qs);
  if (p1 <= p0) {
    t.IRNFLG = 0;
    return;
  }
  if (trace != 0) {
    const std::string l1 = "0*** SYSTEM INFORMATION MESSAGE ---, RENUMBER FAILED,";
    const std::string l2 = fline("(10X,'INITIAL NODE SEQUENCE WILL BE RETAINED.')");
    LINCNT(2);
    for (int u : {kListing, kErrorLog}) {
      unit_write_line(u, l1);
      unit_write_line(u, l2);
    }
  }
  t.IRNFLG = -1;
}

void TA1ADM(word adjptr, word adjlist, word mark, word list, word deg, word level) {
  const word n = ta1com().N;
  const WordSpace& c = core();
  const Graph g{c.words(adjptr, n + 1), c.words(adjlist, c.w(adjptr + n) - 1)};
  const std::span<const word> degree = c.words(deg, n);
  const std::span<word> lev = c.words(level, n), nodes = c.words(list, n);
  STRUCT& st = model_state().structures;
  std::fill(lev.begin(), lev.end(), 0);
  st = STRUCT{};
  const bool trace = DIAGLV(kTraceSwitch) >= 2;
  if (trace) print_listing("0*** TA1A INFORMATION MESSAGE --- TRACE ON PSEUDO-DIAMETER FOLLOWS --", 2);
  LevelSearch search(g, c.words(mark, n), nodes);
  word counted = 0;
  while (counted < n) {
    // Start: the least degree among nodes no search has reached, the lowest
    // node number among equals.
    word s = 0, least = kNone;
    for (word i = 1; i <= n; ++i) {
      const word d = degree[static_cast<std::size_t>(i - 1)];
      if (lev[static_cast<std::size_t>(i - 1)] < 1 && d > 0 && d < least) {
        s = i;
        least = d;
      }
    }
    if (s == 0) return;
    if (++st.NSTRUC > STRUCT::kMax) {
      LINCNT(2);
      unit_write_line(kListing, "0*** TA1A WARNING MESSAGE - TOO MANY SEPARATE STRUCTURES");
      unit_write_line(kListing, fline("(10X,'RENUMBER ABANDONED')"));
      st.NSTRUC = 0;
      return;
    }
    auto& entry = st.entry[static_cast<std::size_t>(st.NSTRUC - 1)];
    LevelSearch::Result root = search.run(s, n, {}, kNone);
    const word nc1 = root.reached;
    word pass = 0;
    bool restart = true;
    while (restart) {
      restart = false;
      entry = {s, 0};
      if (trace)
        print_listing(fline("('0 STRUCTURE:',I3,'  PATH:',I4,'  DIAMETER=',I7,'  WITH STARTING NODE',I7,"
                            "'.  NBR OF END PNTS=',I7)",
                            {st.NSTRUC, ++pass, root.depth, s, static_cast<word>(root.last_end - root.last_begin)}),
                      2);
      const std::span<word> last = nodes.subspan(root.last_begin, root.last_end - root.last_begin);
      degree_sort(last, degree);
      std::array<word, kMaxCandidates> candidates{};
      const std::size_t count = std::min<std::size_t>((last.size() + 2) / 2, kMaxCandidates);
      std::copy_n(last.begin(), count, candidates.begin());
      word least_width = kNone;
      for (std::size_t k = 0; k < count; ++k) {
        const word cand = candidates[k];
        const LevelSearch::Result r = search.run(cand, nc1, lev, least_width);
        if (!r.completed || r.width >= least_width) continue;
        if (r.depth > root.depth) {
          s = cand;
          root = r;
          restart = true;
          break;
        }
        least_width = r.width;
        entry[1] = cand;
        if (trace) print_listing(fline("(28X,'MINIMUM WIDTH=',I7,'  WITH END NODE',I7)", {r.width, cand}), 1);
      }
    }
    counted += nc1;
  }
}

}  // namespace zephsol
