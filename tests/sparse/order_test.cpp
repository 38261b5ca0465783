// Ordering phase: the node-ordering adapter, the supernodal structure
// against an exact symbolic factorisation (and CHOLMOD's) under the final
// permutation, the stack estimate against a direct simulation, the edge
// cases of the supernode steps, the figures, the file copy and the errors.
#include <gtest/gtest.h>

#include <numeric>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "support/symbolic.h"
#include "zephsol/sparse/etree.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/metis4.h"

namespace zephsol::sparse {
namespace {

using Ints = std::vector<i32>;

// A k x k grid graph (5-point), both directions, 1-based.
struct Graph {
  Ints xadj, adjncy, vwgt;
  Pairs pairs;
};

Graph grid(i32 k) {
  Graph g;
  auto id = [k](i32 i, i32 j) { return j * k + i + 1; };
  for (i32 j = 0; j < k; ++j)
    for (i32 i = 0; i < k; ++i) {
      if (i + 1 < k) g.pairs.insert({id(i, j), id(i + 1, j)});
      if (j + 1 < k) g.pairs.insert({id(i, j), id(i, j + 1)});
    }
  const i32 n = k * k;
  std::vector<Ints> adj(n + 1);
  for (auto [a, b] : g.pairs) {
    adj[a].push_back(b);
    adj[b].push_back(a);
  }
  g.xadj.push_back(1);
  for (i32 v = 1; v <= n; ++v) {
    std::sort(adj[v].begin(), adj[v].end());
    g.adjncy.insert(g.adjncy.end(), adj[v].begin(), adj[v].end());
    g.xadj.push_back(static_cast<i32>(g.adjncy.size()) + 1);
    g.vwgt.push_back(1);
  }
  return g;
}

TEST(NodeOrdering, PermutationIsNewToOldAndTheGraphIsKept) {
  Graph g = grid(60);
  const i32 n = 3600;
  const Graph before = g;
  Ints perm(n), iperm(n), perm2(n), iperm2(n);
  const i32 options[1] = {0};
  ASSERT_EQ(metis4_node_wnd(n, g.xadj.data(), g.adjncy.data(), g.vwgt.data(), 1, options, perm.data(), iperm.data()),
            OrderStatus::Ok);
  EXPECT_EQ(g.xadj, before.xadj);
  EXPECT_EQ(g.adjncy, before.adjncy);
  EXPECT_EQ(g.vwgt, before.vwgt);
  for (i32 k = 0; k < n; ++k) EXPECT_EQ(iperm[perm[k] - 1], k + 1);
  const i64 right = exact_symbolic(n, g.pairs, perm).nnzl;
  const i64 wrong = exact_symbolic(n, g.pairs, iperm).nnzl;
  EXPECT_LT(3 * right, wrong) << right << " " << wrong;
  ASSERT_EQ(metis4_node_wnd(n, g.xadj.data(), g.adjncy.data(), g.vwgt.data(), 1, options, perm2.data(),
                            iperm2.data()),
            OrderStatus::Ok);
  EXPECT_EQ(perm2, perm);
}

TEST(NodeOrdering, OneVertexAndAnEdgelessGraph) {
  const i32 options[1] = {0};
  for (i32 n : {1, 5}) {
    Ints xadj(n + 1, 1), adjncy(1, 0), vwgt(n, 2), perm(n), iperm(n);
    ASSERT_EQ(metis4_node_wnd(n, xadj.data(), adjncy.data(), vwgt.data(), 1, options, perm.data(), iperm.data()),
              OrderStatus::Ok);
    Ints sorted = perm;
    std::sort(sorted.begin(), sorted.end());
    Ints id(n);
    std::iota(id.begin(), id.end(), 1);
    EXPECT_EQ(sorted, id);
  }
}

// The kept arrays of the ordering phase.
struct Ordering {
  Ints perm, invp, part, nassem, ptr;
  i64 nsuper;
};

Ordering kept(Problem& pb) {
  Ordering o;
  o.nsuper = static_cast<i64>(pb.word(31));
  o.perm = pb.ints(62, pb.n);
  o.invp = pb.ints(63, pb.n);
  o.part = pb.ints(64, o.nsuper + 1);
  o.nassem = pb.ints(65, o.nsuper);
  o.ptr = pb.ints(66, o.nsuper + 1);
  return o;
}

i64 tri(i64 k) { return k * (k + 1) / 2; }

// Checks the ordering phase's results against the exact factorisation.
void expect_supernodal_structure(Problem& pb, const Pairs& p, bool exact) {
  const i32 n = pb.n;
  const Ordering o = kept(pb);
  for (i32 k = 1; k <= n; ++k) ASSERT_EQ(o.invp[o.perm[k - 1] - 1], k);
  const Symbolic sym = exact_symbolic(n, p, o.perm);
  EXPECT_EQ(cholmod_counts(n, p, o.perm), sym.count);
  const i64 ns = o.nsuper;
  ASSERT_EQ(o.part[0], 1);
  ASSERT_EQ(o.part[ns], n + 1);
  std::vector<i64> snode(n + 1);
  double nzlf = 0;
  for (i64 s = 1; s <= ns; ++s) {
    const i32 f = o.part[s - 1], l = o.part[s] - 1;
    ASSERT_LE(f, l);
    const i64 K = o.ptr[s] - o.ptr[s - 1];
    for (i32 j = f; j <= l; ++j) {
      snode[j] = s;
      const i64 c = (l - j) + K;
      if (exact) {
        EXPECT_EQ(c, sym.count[j]) << "column " << j;
      } else {
        EXPECT_GE(c, sym.count[j]) << "column " << j;
      }
      nzlf += static_cast<double>(c);
    }
  }
  EXPECT_EQ(pb.word(30), nzlf);
  if (exact) {
    EXPECT_EQ(pb.word(30), static_cast<double>(sym.nnzl));
  }
  // Children before parents, subtrees contiguous, assemblies = sons.
  std::vector<i64> sparent(ns + 1, 0), sons(ns + 1, 0), desc(ns + 1, 1);
  for (i64 s = 1; s <= ns; ++s) {
    const i32 par = sym.parent[o.part[s] - 1];
    if (par == 0) continue;
    sparent[s] = snode[par];
    ASSERT_GT(sparent[s], s);
    ++sons[sparent[s]];
  }
  for (i64 s = 1; s <= ns; ++s) {
    EXPECT_EQ(o.nassem[s - 1], sons[s]) << "supernode " << s;
    if (sparent[s]) desc[sparent[s]] += desc[s];
  }
  for (i64 s = 1; s <= ns; ++s)
    for (i64 d = s - desc[s] + 1; d < s; ++d) {
      i64 a = d;
      while (a != 0 && a < s) a = sparent[a];
      EXPECT_EQ(a, s) << d << " is not below " << s;
    }
  // Groups consecutive and increasing.
  const Compression comp = brute_compression(n, p);
  for (const auto& grp : comp.nodes)
    for (std::size_t q = 1; q < grp.size(); ++q) EXPECT_EQ(o.invp[grp[q] - 1], o.invp[grp[q - 1] - 1] + 1);
  // The real stack storage: the peak of a direct simulation of the update
  // stack in this post-order, each front placed over its last son's update.
  std::vector<i64> stack;
  i64 total = 0, peak = 0;
  for (i64 s = 1; s <= ns; ++s) {
    const i64 K = o.ptr[s] - o.ptr[s - 1];
    const i64 F = tri(o.part[s] - o.part[s - 1] + K);
    const i64 m = o.nassem[s - 1];
    const i64 top = m > 0 ? stack.back() : 0;
    peak = std::max(peak, total - top + std::max(F, top));
    for (i64 q = 0; q < m; ++q) {
      total -= stack.back();
      stack.pop_back();
    }
    if (sparent[s] != 0) {
      stack.push_back(tri(K) + 3);
      total += tri(K) + 3;
    }
  }
  EXPECT_TRUE(stack.empty());
  EXPECT_EQ(pb.word(37), static_cast<double>(peak));
}

class Order : public SparseTest {};

TEST_F(Order, SupernodesMatchTheExactFactorOfTheFinalPermutation) {
  struct Case {
    const char* what;
    i32 n;
    Pairs p;
  };
  i64 edges = 0;
  const std::vector<Case> cases = {
      {"random 300", 300, random_structure(300, 4, 31)},
      {"random 2000", 2000, random_structure(2000, 6, 32)},
      {"hex mesh", 5 * 4 * 6 * 3, hex_structure(4, 3, 5, 3, &edges)},
      {"grid", 900, grid(30).pairs},
  };
  for (const auto& c : cases) {
    for (bool exact : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (exact ? " no zeros" : " amalgamated"));
      Problem pb(c.n, 60 * c.n + 100000);
      if (exact) pb.work[182] = 0.0;
      ASSERT_EQ(pb.analyse(c.p), 0);
      EXPECT_EQ(pb.word(0), 20.0);
      expect_supernodal_structure(pb, c.p, exact);
    }
  }
}

TEST_F(Order, DiagonalAndDenseStructures) {
  const i32 n = 40;
  Problem diag(n, 20000);
  ASSERT_EQ(diag.analyse({}), 0);
  const Ordering d = kept(diag);
  EXPECT_EQ(d.nsuper, n);
  EXPECT_EQ(d.nassem, Ints(n, 0));
  EXPECT_EQ(d.ptr, Ints(n + 1, 1));
  EXPECT_EQ(diag.word(30), 0.0);
  EXPECT_EQ(diag.word(114), 2.0 * n);  // dense factor count 2n, no sparse part
  EXPECT_EQ(diag.word(39), 1.0);
  Pairs full;
  for (i32 i = 1; i <= n; ++i)
    for (i32 j = i + 1; j <= n; ++j) full.insert({i, j});
  Problem dense(n, 20000);
  ASSERT_EQ(dense.analyse(full), 0);
  const Ordering o = kept(dense);
  EXPECT_EQ(o.nsuper, 1);
  Ints id(n);
  std::iota(id.begin(), id.end(), 1);
  EXPECT_EQ(o.perm, id);
  EXPECT_EQ(dense.word(30), n * (n - 1) / 2.0);
  EXPECT_EQ(dense.word(32), 0.0);
  EXPECT_EQ(dense.word(39), n * (n + 1) / 2.0);
  EXPECT_EQ(dense.word(173), 40.0);
  EXPECT_EQ(dense.word(115), n + 2.0 * n * (n - 1));
}

TEST_F(Order, AmalgamationPicksTheCheapestSonWithinTheLimit) {
  // Supernode 3 with sons 1 and 2 of equal cost v = 4: the larger (2)
  // merges first; with the limit 4 nothing else fits.
  std::vector<i32> a(64, 0);
  auto v = [&](int k) { return IVec(a.data() + 8 * k, 5); };
  IVec parent = v(0), fson = v(1), bro = v(2), size = v(3), upd = v(4), front = v(5);
  std::vector<i32> b(40, 0);
  IVec zer(b.data(), 4), coal(b.data() + 8, 4), tail(b.data() + 16, 4), last(b.data() + 24, 4);
  struct Case {
    i64 limit;
    i64 count;
    i32 coal3;
  };
  for (const Case c : {Case{4, 2, 2}, Case{3, 3, 0}, Case{100, 1, 2}}) {
    parent(1) = 3, parent(2) = 3, parent(3) = 0;
    fson(3) = 1, bro(1) = 2, bro(2) = 0, fson(1) = fson(2) = 0, bro(3) = 0;
    size(1) = 2, upd(1) = 3, front(1) = 5;
    size(2) = 4, upd(2) = 4, front(2) = 8;
    size(3) = 1, upd(3) = 4, front(3) = 5;
    i64 count = 3;
    xdslam(count, parent, fson, bro, 3, size, upd, front, c.limit, zer, coal, tail, last);
    EXPECT_EQ(count, c.count) << c.limit;
    EXPECT_EQ(coal(3), c.coal3) << c.limit;
  }
  // Limit 0: only a son whose update fills the parent's front merges.
  parent(1) = 3, parent(2) = 3, parent(3) = 0;
  fson(3) = 1, bro(1) = 2, bro(2) = 0, fson(1) = fson(2) = 0, bro(3) = 0;
  size(1) = 2, upd(1) = 5, front(1) = 7;
  size(2) = 1, upd(2) = 4, front(2) = 5;
  size(3) = 1, upd(3) = 4, front(3) = 5;
  i64 count = 3;
  xdslam(count, parent, fson, bro, 3, size, upd, front, 0, zer, coal, tail, last);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(coal(3), 1);
  EXPECT_EQ(fson(3), 2);
  EXPECT_EQ(front(3), 7);
  EXPECT_EQ(zer(3), 0);
}

TEST_F(Order, BadOrderingsAreRefused) {
  // Three single-equation groups.
  Ints ptr = {1, 2, 3, 4}, members = {1, 2, 3}, cmpmap = {1, 2, 3}, xadj = {1, 1, 1, 1}, adjncy = {0};
  const Groups g{IVec(ptr.data(), 4), IVec(members.data(), 3), IVec(cmpmap.data(), 3), IVec(xadj.data(), 4),
                 IVec(adjncy.data(), 0)};
  std::vector<i32> s(40, 0);
  auto v = [&](int k) { return IVec(s.data() + 4 * k, 3); };
  for (auto [xo, result] : {std::pair{Ints{1, 0, 2}, -1}, std::pair{Ints{1, 4, 2}, -1}, std::pair{Ints{1, 3, 1}, -2},
                            std::pair{Ints{3, 1, 2}, 0}}) {
    i64 ns = 0;
    EXPECT_EQ(xdslet(3, IVec(xo.data(), 3), g, v(0), v(1), ns, IVec(s.data() + 8, 4), v(3), v(4), v(5), v(6), v(7),
                     v(8)),
              result);
  }
}

TEST_F(Order, TheStructureCopyOnFileGivesTheSameResult) {
  const i32 n = 1500;
  const Pairs p = random_structure(n, 6, 41);
  Problem core(n, 200000, 0, 0, -1);
  ASSERT_EQ(core.analyse(p), 0);
  Problem file(n, 200000);
  ASSERT_EQ(file.structure(to_columns(n, p, Triangle::Lower)), 0);
  ASSERT_EQ(file.compress(), 0);
  const i64 N = xisl2d(n), N1 = xisl2d(n + 1), A = xisl2d(2 * static_cast<i64>(file.word(27)));
  const i64 E0 = static_cast<i64>(file.word(61)) + A + 8 * N + N1 + xisl2d(static_cast<i64>(file.word(26)) + 1) - 1;
  i32 ier = 0, need = 0;
  xdslom(file.work.data(), static_cast<i32>(E0 + N1 + A), need, ier);  // the copy does not fit
  ASSERT_EQ(ier, 0);
  EXPECT_EQ(file.word(140), static_cast<double>(N1 + A));
  EXPECT_EQ(file.word(150), static_cast<double>(3 * (N1 + A)));
  EXPECT_TRUE(scratch_open(11));
  const Ordering a = kept(core), b = kept(file);
  EXPECT_EQ(a.perm, b.perm);
  EXPECT_EQ(a.part, b.part);
  EXPECT_EQ(a.nassem, b.nassem);
  EXPECT_EQ(a.ptr, b.ptr);
  for (int k : {24, 25, 30, 31, 32, 34, 35, 36, 37, 38, 39, 40}) EXPECT_EQ(core.word(k), file.word(k)) << k;
  // lunit1 = -1 adds the structure to both numerical figures.
  EXPECT_EQ(core.word(41), file.word(41) + xisl2d(static_cast<i64>(core.word(21))));
  EXPECT_EQ(core.word(53), file.word(53) + xisl2d(static_cast<i64>(core.word(21))));
  // Ordering again at stage 20 gives the same arrays.
  ASSERT_EQ(core.order(), 0);
  EXPECT_EQ(kept(core).perm, a.perm);
}

TEST_F(Order, TooLittleWorkLeavesTheStageForARetry) {
  const i32 n = 1000;
  const Pairs p = random_structure(n, 5, 42);
  Problem pb(n, 100000, 1, kMsgUnit, -1);
  ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower)), 0);
  ASSERT_EQ(pb.compress(), 0);
  i32 ier = 0, need = 0;
  xdslom(pb.work.data(), static_cast<i32>(pb.word(61)) + 100, need, ier);
  EXPECT_EQ(ier, -201);
  EXPECT_EQ(pb.word(0), 10.0);
  EXPECT_EQ(messages().back().substr(0, 37), "     words of workspace and has only ");
  ASSERT_EQ(pb.order(), 0);
  expect_supernodal_structure(pb, p, false);
}

TEST_F(Order, FileErrorsAndTheStage) {
  const i32 n = 800;
  const Pairs p = random_structure(n, 5, 43);
  struct Case {
    FileOp op;
    int k;
  };
  for (const Case c : {Case{FileOp::Open, 1}, Case{FileOp::Write, 1}, Case{FileOp::Read, 1}, Case{FileOp::Read, 3},
                       Case{FileOp::Rewind, 2}}) {
    Problem pb(n, 200000, 1, kMsgUnit);
    ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower)), 0);
    ASSERT_EQ(pb.compress(), 0);
    const i64 A = xisl2d(2 * static_cast<i64>(pb.word(27)));
    const i64 lw = static_cast<i64>(pb.word(61)) + A + 11 * xisl2d(n + 1);
    scratch_fail(11, c.op, c.k);
    i32 ier = 0, need = 0;
    xdslom(pb.work.data(), static_cast<i32>(lw), need, ier);
    EXPECT_EQ(ier, -202);
    EXPECT_EQ(pb.word(0), 10.0);
  }
  EXPECT_EQ(messages().back(), "     on i/o file no.              11");
  Problem early(5, 1000);
  i32 ier = 0, need = 0;
  xdslom(early.work.data(), 1000, need, ier);
  EXPECT_EQ(ier, -200);
  EXPECT_EQ(early.word(0), 1.0);
}

}  // namespace
}  // namespace zephsol::sparse
