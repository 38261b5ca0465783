// Subtrees of the assembly tree factorised at once by the threads of the
// product team. The tree is cut below its roots until every subtree holds
// a small share of the work; each subtree is then factorised on one thread
// as a problem of its own (its columns, supernodes, index lists and entries
// numbered from 1, in a private work array with its own stack and factor),
// with the arithmetic of the loop, front for front. The loop then meets
// each subtree in its place, checks that it would have factorised it in
// work the same way (the fill, the areas, the stack depth and the growth
// of the index list at each front, from the subtree's trace), and copies
// its results in, renumbered; otherwise it factorises the subtree itself.
#include "zephsol/sparse/subtrees.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <queue>

#include "zephsol/exec/threads.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {

// One subtree: supernodes s0..s1 (s1 its root), columns c0.., index-list
// words i0.., and its private run.
struct SubtreeRuns::Run {
  i64 s0 = 0, s1 = 0, c0 = 0, i0 = 0;
  double work = 0.0;
  i32 threads = 1;
  OwnWords buf;
  FactorPieces pieces;
  FactorArgs a;
  DriverState d;
  std::vector<FrontTrace> trace;
  i32 rc = drv::storage;
};

namespace {

constexpr i64 h(i64 k) { return xisl2d(k); }

// Threads' worth of work from which a subtree takes a team of its own.
constexpr double kTeamShare = 1.5;
// The most the busiest thread of the one-thread subtrees may take over
// their mean.
constexpr double kImbalance = 1.1;

// The symbolic shape of the assembly tree: per supernode its columns, index
// rows, children and the operations of its front.
struct Tree {
  i64 ns = 0;
  std::vector<i64> first;  // first supernode of the subtree of s
  std::vector<std::vector<i64>> kids;
  std::vector<double> work;  // of the subtree of s
  std::vector<i64> roots;
};

Tree tree_of(const Work& w, const FactorArgs& a) {
  const i64 ns = a.nsuper;
  const IVec part = w.ints(a.part, ns + 1), ptr = w.ints(a.ptr, ns + 1), nassem = w.ints(a.nassem, ns);
  Tree t;
  t.ns = ns;
  t.first.assign(static_cast<std::size_t>(ns + 1), 0);
  t.kids.resize(static_cast<std::size_t>(ns + 1));
  t.work.assign(static_cast<std::size_t>(ns + 1), 0.0);
  std::vector<i64> open;  // subtrees whose parent is not met yet
  for (i64 s = 1; s <= ns; ++s) {
    const double c = part(s + 1) - part(s), f = c + (ptr(s + 1) - ptr(s));
    double wk = c * f * f - c * c * f + c * c * c / 3.0;  // sum over pivots of (nf - j)^2
    i64 lo = s;
    std::vector<i64>& kids = t.kids[static_cast<std::size_t>(s)];
    for (i64 k = 0; k < nassem(s) && !open.empty(); ++k) {
      const i64 c1 = open.back();
      open.pop_back();
      kids.push_back(c1);
      wk += t.work[static_cast<std::size_t>(c1)];
      lo = std::min(lo, t.first[static_cast<std::size_t>(c1)]);
    }
    t.work[static_cast<std::size_t>(s)] = wk;
    t.first[static_cast<std::size_t>(s)] = lo;
    open.push_back(s);
  }
  t.roots = open;
  return t;
}

// The cut for k threads: the roots stay with the loop; each subtree below
// them worth kTeamShare threads or more takes a team of about its share,
// the others share the threads left, the largest first, each thread taking
// its subtrees one after another. The largest of those is split (its root
// left to the loop) while the threads would be unevenly loaded, and a lone
// subtree is split too.
struct Cut {
  std::vector<std::unique_ptr<SubtreeRuns::Run>> runs;  // by first supernode
  std::vector<std::vector<SubtreeRuns::Run*>> groups;   // of one thread or one team each
};

// Shares k threads among subtrees c (heaviest first) of the given work:
// team sizes of the heavy ones, the others' threads and their loads.
struct Shares {
  std::vector<i64> team, pool;
  std::vector<i32> size;
  std::vector<std::vector<i64>> on;  // one-thread subtrees of each thread
  std::vector<double> load;
};
template <class Work>
Shares shares(const std::vector<i64>& c, i32 k, Work&& work) {
  double total = 0.0;
  for (i64 s : c) total += work(s);
  Shares z;
  i32 used = 0;
  for (i64 s : c) {
    const double sh = total > 0.0 ? k * work(s) / total : 0.0;
    if (sh >= kTeamShare) {
      z.team.push_back(s);
      z.size.push_back(std::max(2, static_cast<i32>(sh + 0.5)));
      used += z.size.back();
    } else {
      z.pool.push_back(s);
    }
  }
  // Threads taken back from the largest teams while the others have none.
  while (!z.team.empty() && used > k - (z.pool.empty() ? 0 : 1)) {
    const auto j = static_cast<std::size_t>(std::max_element(z.size.begin(), z.size.end()) - z.size.begin());
    --z.size[j];
    --used;
    if (z.size[j] == 1) {
      z.pool.insert(z.pool.begin(), z.team[j]);
      z.team.erase(z.team.begin() + static_cast<std::ptrdiff_t>(j));
      z.size.erase(z.size.begin() + static_cast<std::ptrdiff_t>(j));
      --used;
    }
  }
  const auto threads = static_cast<std::size_t>(std::min<i64>(k - used, static_cast<i64>(z.pool.size())));
  z.on.resize(threads);
  z.load.assign(threads, 0.0);
  for (i64 s : z.pool) {
    const auto j = static_cast<std::size_t>(std::min_element(z.load.begin(), z.load.end()) - z.load.begin());
    z.load[j] += work(s);
    z.on[j].push_back(s);
  }
  return z;
}

Cut cut(const Tree& t, i32 k) {
  auto work = [&](i64 s) { return t.work[static_cast<std::size_t>(s)]; };
  auto kids = [&](i64 s) -> const std::vector<i64>& { return t.kids[static_cast<std::size_t>(s)]; };
  std::vector<i64> c;
  for (i64 r : t.roots)
    for (i64 s : kids(r)) c.push_back(s);
  Shares z;
  for (;;) {
    std::stable_sort(c.begin(), c.end(), [&](i64 x, i64 y) { return work(x) > work(y); });
    z = shares(c, k, work);
    double sum = 0.0;
    for (double l : z.load) sum += l;
    const bool uneven =
        !z.load.empty() && *std::max_element(z.load.begin(), z.load.end()) > kImbalance * sum / z.load.size();
    // A lone subtree, or the largest one-thread subtree that can be split
    // (the pool is heaviest first).
    i64 s = 0;
    if (c.size() == 1) s = c[0];
    else if (uneven)
      for (i64 x : z.pool)
        if (!kids(x).empty()) {
          s = x;
          break;
        }
    if (s == 0 || kids(s).empty()) break;
    c.erase(std::find(c.begin(), c.end(), s));
    for (i64 x : kids(s)) c.push_back(x);
  }
  Cut out;
  if (c.size() < 2) return out;
  auto run_of = [&](i64 s, i32 threads) {
    auto r = std::make_unique<SubtreeRuns::Run>();
    r->s1 = s;
    r->s0 = t.first[static_cast<std::size_t>(s)];
    r->work = work(s);
    r->threads = threads;
    out.runs.push_back(std::move(r));
    return out.runs.back().get();
  };
  for (std::size_t j = 0; j < z.team.size(); ++j) out.groups.push_back({run_of(z.team[j], z.size[j])});
  for (const auto& on : z.on) {
    out.groups.emplace_back();
    for (i64 s : on) out.groups.back().push_back(run_of(s, 1));
  }
  std::sort(out.runs.begin(), out.runs.end(), [](const auto& x, const auto& y) { return x->s0 < y->s0; });
  return out;
}

// The stack-area peak and the factor words of supernodes s0..s1 without
// delayed columns, as the loop places their fronts from word 1.
struct Sizes {
  i64 stack = 0, factor = 0;
};
Sizes sizes_of(const Work& w, const FactorArgs& a, i64 s0, i64 s1) {
  const IVec part = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  const IVec nassem = w.ints(a.nassem, a.nsuper);
  struct Entry {
    i64 pos, nrow;
  };
  std::vector<Entry> stack;
  Sizes z;
  i64 top = 1;
  for (i64 s = s0; s <= s1; ++s) {
    const i64 ncol = part(s + 1) - part(s), nrow = ptr(s + 1) - ptr(s), nf = ncol + nrow, nch = nassem(s);
    const i64 blk = std::min(a.panel, ncol), upd = std::min(a.updblk, nf);
    const i64 need = blk * nf + std::max<i64>(upd, a.orient == 0 ? 3 : 2) * nf + tri(nf) + h(nf);
    const i64 start = nch > 0 ? stack.back().pos : top;
    z.stack = std::max(z.stack, start + need - 1);
    z.factor += ncol * nf - tri(ncol);
    i64 lowest = 0;
    for (i64 k = 0; k < nch; ++k) {
      lowest = lowest == 0 ? stack.back().pos : std::min(lowest, stack.back().pos);
      stack.pop_back();
    }
    const i64 at = lowest > 0 ? lowest : start;
    stack.push_back({at, nrow});
    top = at + tri(nrow);
  }
  return z;
}

// Storage of n words in huge pages where the system has them (fronts and
// factor touch it once, from threads at once, and small pages would each
// take a fault); null when there is none.
OwnWords own_words(i64 n) {
  return OwnWords(static_cast<double*>(large_page_alloc(static_cast<std::size_t>(n) * 8)));
}

// Gives the whole pages between from and to back to the system.
void release(double* from, double* to) {
  constexpr std::uintptr_t kPage = 4096;
  const auto lo = (reinterpret_cast<std::uintptr_t>(from) + kPage - 1) / kPage * kPage;
  const auto hi = reinterpret_cast<std::uintptr_t>(to) / kPage * kPage;
  if (hi > lo) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_DONTNEED);
}

// Copies the pieces of a factor to dst (its word 0), in chunks shared by
// the team.
void copy_pieces(double* dst, const std::vector<FactorPiece>& pieces) {
  constexpr i64 kChunk = i64{1} << 18;
  struct Chunk {
    i64 at, len;
    const double* src;
  };
  std::vector<Chunk> chunks;
  for (const FactorPiece& q : pieces)
    for (i64 o = 0; o < q.len; o += kChunk) chunks.push_back({q.at + o, std::min(kChunk, q.len - o), q.src + o});
  ProductTeam::run(static_cast<i32>(chunks.size()), [&](i32 k) {
    const Chunk& c = chunks[static_cast<std::size_t>(k)];
    std::memcpy(dst + c.at, c.src, static_cast<std::size_t>(c.len) * 8);
  });
}

// Lays out run r's private work array: its part of every array of the
// driver, renumbered from 1 (column numbers held as values shift by c0 - 1),
// then its index list, stack and factor areas.
Work private_work(const Work& w, const FactorArgs& a, SubtreeRuns::Run& r) {
  const IVec part = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  const IVec xrelin = w.ints(a.xrelin, a.n + 1);
  const i64 s0 = r.s0, s1 = r.s1, ns = s1 - s0 + 1;
  r.c0 = part(s0);
  r.i0 = ptr(s0);
  const i64 c0 = r.c0, n = part(s1 + 1) - c0, i0 = r.i0, nidx = ptr(s1 + 1) - i0;
  const i64 e0 = xrelin(c0), ne = xrelin(c0 + n) - e0;
  const bool pivoting = a.pvttol != 0.0;
  const Sizes z = sizes_of(w, a, s0, s1);
  // Room for delayed columns when pivoting; a run that outgrows it is left
  // to the loop.
  const double extra = pivoting ? 2.0 : 1.0;
  FactorArgs& p = r.a;
  p = a;
  WordLayout lay(1);
  p.n = n;
  p.nsuper = ns;
  p.pert = lay.take(5);
  p.negrec = lay.take(5);
  p.fperm = lay.take(h(n));
  p.pivblk = lay.take(h(n));
  p.diag = lay.take(n);
  p.panpart = lay.take(h(n + 1));
  p.part = lay.take(h(ns + 1));
  p.ptr = lay.take(h(ns + 1));
  p.nassem = lay.take(h(ns));
  p.perm = lay.take(h(n));
  p.xrelin = lay.take(h(n + 1));
  p.relent = lay.take(h(std::max<i64>(ne, 1)));
  p.vals = lay.take(std::max<i64>(ne, 1));
  p.rel = lay.take(h(std::max<i64>(nidx, 1)));
  p.gidx = pivoting ? lay.take(h(std::max<i64>(nidx, 1))) : p.rel;
  p.stksn = lay.take(h(a.maxdepth));
  p.stkpos = lay.take(h(a.maxdepth));
  p.stkdir = lay.take(4 * h(a.maxdepth));
  p.dlen = 1;
  p.iobuf = lay.take(1);
  p.vint = p.vdbl = p.vcap = 0;
  p.gl = pivoting ? static_cast<i64>(static_cast<double>(nidx) * extra) + 2 * n + 64 : 0;
  p.varea = lay.take(h(p.gl));
  p.slen = static_cast<i64>(static_cast<double>(z.stack) * extra) + 64;
  p.sa = lay.take(p.slen);
  p.flen = static_cast<i64>(static_cast<double>(z.factor) * extra) + 64;
  p.fa = lay.take(p.flen);
  p.incore = true;
  p.lunit1 = p.lunit3 = p.lunit4 = p.lunit5 = p.lunit6 = 0;
  r.buf = own_words(lay.end());
  if (!r.buf) return Work(nullptr, 0);
  const Work pw(r.buf.get(), lay.end());
  // The caller's pieces.
  const double* pert = &w.d(a.pert);
  const double* negrec = &w.d(a.negrec);
  pw.d(p.pert) = pert[0];
  pw.d(p.negrec) = negrec[0];
  std::memcpy(pw.dbl(p.diag, n).data(), w.dbl(a.diag, a.n).at(c0), static_cast<std::size_t>(n) * 8);
  const IVec nassem = w.ints(a.nassem, a.nsuper), perm = w.ints(a.perm, a.n);
  const IVec ppart = pw.ints(p.part, ns + 1), pptr = pw.ints(p.ptr, ns + 1), pnassem = pw.ints(p.nassem, ns);
  for (i64 k = 1; k <= ns + 1; ++k) {
    ppart(k) = static_cast<i32>(part(s0 + k - 1) - (c0 - 1));
    pptr(k) = static_cast<i32>(ptr(s0 + k - 1) - (i0 - 1));
    if (k <= ns) pnassem(k) = nassem(s0 + k - 1);
  }
  const IVec pperm = pw.ints(p.perm, n), pxrelin = pw.ints(p.xrelin, n + 1);
  for (i64 k = 1; k <= n + 1; ++k) {
    pxrelin(k) = static_cast<i32>(xrelin(c0 + k - 1) - (e0 - 1));
    if (k <= n) pperm(k) = perm(c0 + k - 1);
  }
  if (ne > 0) {
    std::memcpy(pw.ints(p.relent, ne).data(), w.ints(a.relent, e0 + ne - 1).at(e0), static_cast<std::size_t>(ne) * 4);
    std::memcpy(pw.dbl(p.vals, ne).data(), w.dbl(a.vals, e0 + ne - 1).at(e0), static_cast<std::size_t>(ne) * 8);
  }
  if (nidx > 0) {
    std::memcpy(pw.ints(p.rel, nidx).data(), w.ints(a.rel, i0 + nidx - 1).at(i0), static_cast<std::size_t>(nidx) * 4);
    if (pivoting) {
      const IVec gidx = w.ints(a.gidx, i0 + nidx - 1), pg = pw.ints(p.gidx, nidx);
      for (i64 q = 1; q <= nidx; ++q) pg(q) = static_cast<i32>(gidx(i0 + q - 1) - (c0 - 1));
    }
  }
  return pw;
}

// Factorises run r on the calling thread and its own team; r.rc is
// drv::ok when every front was eliminated and the subtree's update matrix
// is on its stack.
void factorise(const Work& w, const FactorArgs& a, SubtreeRuns::Run& r) {
  const ProductTeam team(r.threads);
  const Work pw = private_work(w, a, r);
  if (pw.base() == nullptr) return;  // no storage: the loop factorises it
  FactorArgs& p = r.a;
  const Stack stk(pw, p);
  start_factorisation(pw, p, stk);
  r.trace.reserve(static_cast<std::size_t>(p.nsuper));
  r.rc = factor_loop(pw, p, stk, r.d, &r.trace, &r.pieces);
  if (r.rc == drv::ok && r.d.depth != 1) r.rc = drv::storage;
  if (r.rc != drv::ok) {
    r.buf.reset();
    r.pieces = {};
    return;
  }
  // The stack area but the subtree's update matrix is free until the run
  // is placed: its memory goes back to the system.
  const i64 at = p.sa + stk.pos(1) - 1, words = stk.ndel(1) + tri(stk.ndel(1) + stk.nrow(1));
  release(pw.base() + (p.sa - 1), pw.base() + (at - 1));
  release(pw.base() + (at - 1 + words), pw.base() + (p.sa - 1 + p.slen));
}

// The loop's decisions for run r's fronts from state d: false when one of
// them would not factorise the front in work as the run did. On true, d,
// the stack area and the index-list capacity (sa, slen, gl) are those the
// loop would have reached; grow is the words the stack area gave the list.
struct Replay {
  DriverState d;
  i64 sa = 0, slen = 0, gl = 0, grow = 0;
};
bool replay(const FactorArgs& a, const SubtreeRuns::Run& r, Replay& x) {
  const i64 off = x.d.top - 1;
  const bool pivoting = a.pvttol != 0.0;
  for (std::size_t k = 0; k < r.trace.size(); ++k) {
    const FrontTrace& t = r.trace[k];
    const i64 s = r.s0 + static_cast<i64>(k);
    x.d.fill += t.fill;
    if (a.fill_limit > 0.0 && s < a.nsuper && x.d.fill > 1000.0 && x.d.fill > a.fill_limit) return false;
    const i64 end = t.start + off + t.need - 1;
    if (t.need > x.slen + a.flen || a.fwords + t.fwords + t.fadd > static_cast<double>(a.flen) || end > x.slen)
      return false;
    x.d.peak = std::max(x.d.peak, end);
    if (pivoting) {
      const i64 last = x.d.glnext + t.ndel + t.nrow - 1;
      if (last > x.gl) {
        const i64 want = static_cast<i64>(std::max(static_cast<float>(last), 1.2f * static_cast<float>(x.gl)));
        const i64 grow = std::min(h(want) - h(x.gl), x.slen - (t.fend + off));
        const i64 cap = x.gl + 2 * std::max<i64>(grow, 0);
        if (cap < last) return false;
        if (grow > 0) {
          x.sa += grow;
          x.slen -= grow;
          x.grow += grow;
        }
        x.gl = cap;
      }
      x.d.glnext += t.ndel;
    }
    x.d.glnext += t.nrow;
    if (x.d.depth + t.depth > a.maxdepth) return false;
  }
  return true;
}

// Merges a run's perturbation or negative-pivot record (count, first,
// smallest, largest) into the caller's.
void merge_record(double* to, const double* from) {
  if (from[1] == 0.0) return;
  if (to[1] == 0.0) {
    to[2] = from[2];
    to[3] = from[3];
    to[4] = from[4];
  } else {
    to[3] = std::min(to[3], from[3]);
    to[4] = std::max(to[4], from[4]);
  }
  to[1] += from[1];
}

// Copies run r's results into the caller's arrays from the loop's state
// d (pivots from d.np, panels after a.npanel, index list from d.glnext,
// factor words from a.fwords, stack entry at depth d.depth + 1).
void place(const Work& w, FactorArgs& a, const Stack& stk, const DriverState& d, SubtreeRuns::Run& r,
           FactorPieces* pieces) {
  const FactorArgs& p = r.a;
  const Work pw(r.buf.get(), p.fa + p.flen - 1);
  const i64 np = r.d.np - 1, npanel = p.npanel, shift = r.c0 - 1, off = d.top - 1;
  // Factor (its pieces passed on when the loop keeps its factor in
  // pieces), D, pivot blocks, permutation.
  const i64 fw = static_cast<i64>(p.fwords), base = static_cast<i64>(a.fwords);
  if (pieces == nullptr) {
    if (fw > 0) copy_pieces(w.dbl(a.fa + base, fw).data(), r.pieces.list);
  } else {
    for (const FactorPiece& q : r.pieces.list) pieces->add(base + q.at, q.len, q.src);
    for (auto& b : r.pieces.keep) pieces->keep.push_back(std::move(b));
    pieces->keep.push_back(std::move(r.buf));
  }
  if (np > 0) {
    std::memcpy(w.dbl(a.diag, a.n).at(d.np), pw.dbl(p.diag, np).data(), static_cast<std::size_t>(np) * 8);
    std::memcpy(w.ints(a.pivblk, a.n).at(d.np), pw.ints(p.pivblk, np).data(), static_cast<std::size_t>(np) * 4);
    const IVec fperm = w.ints(a.fperm, a.n), pf = pw.ints(p.fperm, np);
    for (i64 k = 1; k <= np; ++k) fperm(d.np + k - 1) = static_cast<i32>(pf(k) + shift);
  }
  // Panels, supernodes' first panels and index-list places.
  const IVec panpart = w.ints(a.panpart, a.n + 1), ppan = pw.ints(p.panpart, p.n + 1);
  for (i64 q = 1; q <= npanel + 1; ++q) panpart(a.npanel + q) = static_cast<i32>(ppan(q) + (d.np - 1));
  const IVec part = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  const IVec ppart = pw.ints(p.part, p.nsuper + 1), pptr = pw.ints(p.ptr, p.nsuper + 1);
  for (i64 k = 1; k <= p.nsuper; ++k) {
    part(r.s0 + k - 1) = static_cast<i32>(ppart(k) + a.npanel);
    ptr(r.s0 + k - 1) = static_cast<i32>(pptr(k) + (d.glnext - 1));
  }
  const i64 glcount = r.d.glnext - 1;
  if (a.pvttol != 0.0 && glcount > 0) {
    const IVec gnew = w.ints(a.varea, a.gl), pg = pw.ints(p.varea, glcount);
    for (i64 q = 1; q <= glcount; ++q) gnew(d.glnext + q - 1) = static_cast<i32>(pg(q) + shift);
  }
  // The subtree's update matrix on the stack, over the loop's top.
  const Stack pstk(pw, p);
  const i64 depth = d.depth + 1, nd = pstk.ndel(1), nr = pstk.nrow(1), at = pstk.pos(1);
  const i64 words = tri(nd + nr) > 0 ? nd + tri(nd + nr) : 0;
  if (words > 0) {
    std::memcpy(w.dbl(a.sa + at + off - 1, words).data(), pw.dbl(p.sa + at - 1, words).data(),
                static_cast<std::size_t>(words) * 8);
    const IVec head = w.ints(a.sa + at + off - 1, nd);
    for (i64 q = 1; q <= nd; ++q) head(q) += static_cast<i32>(shift);
  }
  stk.sn(depth) = static_cast<i32>(r.s1);
  stk.nrow(depth) = static_cast<i32>(nr);
  stk.old(depth) = static_cast<i32>(pstk.old(1) + (r.i0 - 1));
  stk.ndel(depth) = static_cast<i32>(nd);
  stk.addr(depth) = 0;
  stk.pos(depth) = static_cast<i32>(at + off);
  a.stkaddr[static_cast<std::size_t>(depth)] = 0;
  // Counts and records.
  a.npanel += npanel;
  a.fwords += p.fwords;
  a.inertia[0] += p.inertia[0];
  a.inertia[1] += p.inertia[1];
  a.st.ops1 += p.st.ops1;
  a.st.ops2 += p.st.ops2;
  a.st.largest = std::max(a.st.largest, p.st.largest);
  merge_record(&w.d(a.pert), &pw.d(p.pert));
  merge_record(&w.d(a.negrec), &pw.d(p.negrec));
}

}  // namespace

SubtreeRuns::SubtreeRuns(const Work& w, const FactorArgs& a, i32 threads) {
  if (threads <= 1 || !a.incore || a.ud != 0 || a.nsuper < 2) return;
  Cut z = cut(tree_of(w, a), threads);
  runs_ = std::move(z.runs);
  // Each group on one thread of the team, a team's group with a team of
  // its own.
  ProductTeam::run(static_cast<i32>(z.groups.size()), [&](i32 g) {
    for (Run* r : z.groups[static_cast<std::size_t>(g)]) factorise(w, a, *r);
  });
}

SubtreeRuns::~SubtreeRuns() = default;

void FreeWords::operator()(double* p) const { std::free(p); }

void FactorPieces::add(i64 at, i64 len, const double* src) {
  if (!list.empty()) {
    FactorPiece& q = list.back();
    if (q.at + q.len == at && q.src + q.len == src) {
      q.len += len;
      return;
    }
  }
  list.push_back({at, len, src});
}

i64 SubtreeRuns::splice(const Work& w, FactorArgs& a, const Stack& stk, i64 s, DriverState& d,
                        std::vector<FrontTrace>* trace, FactorPieces* pieces) {
  if (next_ >= runs_.size() || runs_[next_]->s0 != s) return 0;
  Run& r = *runs_[next_++];
  Replay x{d, a.sa, a.slen, a.gl, 0};
  const bool ok = r.rc == drv::ok && a.incore && replay(a, r, x);
  if (ok) {
    // The list's growth moves the stack area's entries up.
    if (x.grow > 0 && d.top > 1)
      std::memmove(w.dbl(a.sa + x.grow, d.top - 1).data(), w.dbl(a.sa, d.top - 1).data(),
                   static_cast<std::size_t>(d.top - 1) * 8);
    a.sa = x.sa;
    a.slen = x.slen;
    a.gl = x.gl;
    if (trace != nullptr)
      for (FrontTrace t : r.trace) {
        t.start += d.top - 1;
        t.fend += d.top - 1;
        t.depth += d.depth;
        t.fwords += a.fwords;
        trace->push_back(t);
      }
    place(w, a, stk, d, r, pieces);
    const i64 top = r.d.top + (d.top - 1);
    d = x.d;
    d.top = top;
    d.depth += 1;
    d.np += r.d.np - 1;
  }
  r.buf.reset();
  r.pieces = {};
  r.trace = {};
  return ok ? r.s1 : 0;
}

}  // namespace zephsol::sparse
