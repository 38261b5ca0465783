// Minimum-degree ordering of the compressed structure: its permutation,
// supernodes, column counts and parents against an exact symbolic
// factorisation under that permutation, and its fill against AMD's
// (SuiteSparse) on finite-element graphs.
#include <gtest/gtest.h>

#include <amd.h>

#include <limits>
#include <numeric>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "support/symbolic.h"
#include "zephsol/sparse/mindeg.h"

namespace zephsol::sparse {
namespace {

using Ints = std::vector<i32>;

// The ordering of a structure, run on the compression of the library's
// structural phases.
struct Ordering {
  i32 n = 0;
  Ints perm, invp, part, cnt, parent;
  i64 nsuper = 0, nofsub = 0;
  i64 ncomp = 0;
  Ints cmpmap;
};

Ordering min_degree(i32 n, const Pairs& p, i32 delta, i32 maxint = std::numeric_limits<i32>::max()) {
  Problem pb(n, 40 * n + 20 * static_cast<i32>(p.size()) + 10000);
  EXPECT_EQ(pb.structure(to_columns(n, p, Triangle::Lower)), 0);
  EXPECT_EQ(pb.compress(), 0);
  Ordering o;
  o.n = n;
  o.ncomp = static_cast<i64>(pb.word(26));
  const i64 nz = static_cast<i64>(pb.word(27));
  Ints cptr = pb.ints(133, o.ncomp + 1), members = pb.ints(134, n), xadj = pb.ints(60, n + 1),
       adj = pb.ints(61, std::max<i64>(2 * nz, 1));
  o.cmpmap = pb.ints(135, n);
  Ints cmpmap = o.cmpmap;
  o.perm.assign(n, 0);
  o.invp.assign(n, 0);
  o.part.assign(n + 1, 0);
  o.cnt.assign(n, 0);
  o.parent.assign(n, 0);
  std::vector<Ints> work(10, Ints(n, 0));
  auto v = [](Ints& x) { return IVec(x.data(), static_cast<i64>(x.size())); };
  MinDegree m;
  m.n = n;
  m.cptr = v(cptr);
  m.members = v(members);
  m.cmpmap = v(cmpmap);
  m.xadj = v(xadj);
  m.adj = v(adj);
  m.perm = v(o.perm);
  m.invp = v(o.invp);
  m.part = v(o.part);
  m.cnt = v(o.cnt);
  m.parent = v(o.parent);
  m.dhead = v(work[0]);
  m.fwd = v(work[1]);
  m.bwd = v(work[2]);
  m.llist = v(work[3]);
  m.marker = v(work[4]);
  m.estart = v(work[5]);
  m.rch = v(work[6]);
  m.weight = v(work[7]);
  m.reach = v(work[8]);
  m.segs = v(work[9]);
  xdslmd(m, delta, maxint, o.nsuper, o.nofsub);
  return o;
}

// Checks an ordering against the exact factor of its permutation: a
// permutation with its inverse, the column counts, supernodes that are
// chains of the elimination tree with counts falling by one, each compressed
// node inside one supernode, the supernodal parents, and nofsub.
void expect_consistent(const Ordering& o, const Pairs& p) {
  const i32 n = o.n;
  Ints seen(n + 1, 0);
  for (i32 k = 1; k <= n; ++k) {
    ASSERT_GE(o.perm[k - 1], 1);
    ASSERT_LE(o.perm[k - 1], n);
    ASSERT_EQ(seen[o.perm[k - 1]]++, 0) << "position " << k;
    EXPECT_EQ(o.invp[o.perm[k - 1] - 1], k);
  }
  const Symbolic s = exact_symbolic(n, p, o.perm);
  for (i32 k = 1; k <= n; ++k) ASSERT_EQ(o.cnt[k - 1], s.count[k]) << "column " << k;
  ASSERT_EQ(o.part[0], 1);
  ASSERT_EQ(o.part[o.nsuper], n + 1);
  Ints sn(n + 1, 0);
  i64 subs = 0;
  for (i64 t = 1; t <= o.nsuper; ++t) {
    const i32 f = o.part[t - 1], l = o.part[t] - 1;
    ASSERT_LE(f, l) << "supernode " << t;
    subs += o.cnt[f - 1];
    for (i32 j = f; j <= l; ++j) sn[j] = static_cast<i32>(t);
    for (i32 j = f; j < l; ++j) {
      EXPECT_EQ(s.parent[j], j + 1) << "supernode " << t << " column " << j;
      EXPECT_EQ(s.count[j + 1], s.count[j] - 1) << "supernode " << t << " column " << j;
    }
  }
  EXPECT_EQ(o.nofsub, subs);
  for (i64 t = 1; t <= o.nsuper; ++t) {
    const i32 l = o.part[t] - 1;
    EXPECT_EQ(o.parent[t - 1], s.parent[l] == 0 ? 0 : sn[s.parent[l]]) << "supernode " << t;
  }
  for (i32 e = 1; e <= n; ++e)
    for (i32 f = e + 1; f <= n; ++f)
      if (o.cmpmap[e - 1] == o.cmpmap[f - 1]) {
        EXPECT_EQ(sn[o.invp[e - 1]], sn[o.invp[f - 1]]);
      }
}

// A k x k quadrilateral mesh with dof freedoms per node.
Pairs quad_structure(i32 k, i32 dof) {
  Pairs p;
  auto node = [k](i32 i, i32 j) { return j * (k + 1) + i; };
  for (i32 j = 0; j < k; ++j)
    for (i32 i = 0; i < k; ++i) {
      const i32 en[4] = {node(i, j), node(i + 1, j), node(i, j + 1), node(i + 1, j + 1)};
      for (i32 a : en)
        for (i32 b : en)
          for (i32 da = 0; da < dof; ++da)
            for (i32 db = 0; db < dof; ++db) {
              const i32 x = a * dof + da + 1, y = b * dof + db + 1;
              if (x < y) p.insert({x, y});
            }
    }
  return p;
}

class MinimumDegree : public SparseTest {};

TEST_F(MinimumDegree, OrderingAgreesWithTheExactFactorOfItsPermutation) {
  struct Case {
    const char* what;
    i32 n;
    Pairs p;
    i32 delta;
  };
  const std::vector<Case> cases = {
      {"random 400, single elimination", 400, random_structure(400, 5, 41), -1},
      {"random 400, multiple elimination", 400, random_structure(400, 5, 41), 0},
      {"random 1500, delta 2", 1500, random_structure(1500, 8, 42), 2},
      {"hex mesh, 3 freedoms", 6 * 5 * 4 * 3, hex_structure(5, 4, 3, 3), 0},
      {"quad mesh, 2 freedoms", 21 * 21 * 2, quad_structure(20, 2), 0},
      {"path", 50, [] {
         Pairs p;
         for (i32 i = 1; i < 50; ++i) p.insert({i, i + 1});
         return p;
       }(), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Ordering o = min_degree(c.n, c.p, c.delta);
    expect_consistent(o, c.p);
  }
}

TEST_F(MinimumDegree, MergedNodesShareTheSupernodeOfTheirElement) {
  // On a mesh, mass elimination and indistinguishable nodes make supernodes
  // wider than the compressed nodes they start from.
  const i32 n = 9 * 9 * 9;
  const Ordering o = min_degree(n, hex_structure(8, 8, 8, 1), 0);
  EXPECT_EQ(o.ncomp, n);
  EXPECT_LT(o.nsuper, n / 2);
}

TEST_F(MinimumDegree, NoEdgesGivesOneSupernodePerEquationHighestFirst) {
  const Ordering o = min_degree(6, {}, 0);
  EXPECT_EQ(o.nsuper, 6);
  EXPECT_EQ(o.perm, (Ints{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(o.cnt, Ints(6, 0));
  EXPECT_EQ(o.parent, Ints(6, 0));
  EXPECT_EQ(o.nofsub, 0);
}

TEST_F(MinimumDegree, TagResetsLeaveTheOrderingUnchanged) {
  const Pairs p = hex_structure(6, 6, 6, 1);
  const i32 n = 7 * 7 * 7;
  const Ordering big = min_degree(n, p, 0);
  // 400 resets the tags now and then; 5 is below what a degree update
  // needs and is raised.
  for (i32 maxint : {400, 5}) {
    SCOPED_TRACE(maxint);
    const Ordering small = min_degree(n, p, 0, maxint);
    EXPECT_EQ(small.perm, big.perm);
    EXPECT_EQ(small.part, big.part);
    EXPECT_EQ(small.cnt, big.cnt);
    expect_consistent(small, p);
  }
}

// The exact off-diagonal fill of AMD's ordering.
i64 amd_fill(i32 n, const Pairs& p) {
  std::vector<Ints> cols(n);
  for (auto [a, b] : p) {
    cols[a - 1].push_back(b - 1);
    cols[b - 1].push_back(a - 1);
  }
  Ints ap(1, 0), ai;
  for (auto& c : cols) {
    std::sort(c.begin(), c.end());
    ai.insert(ai.end(), c.begin(), c.end());
    ap.push_back(static_cast<i32>(ai.size()));
  }
  Ints perm(n);
  double control[AMD_CONTROL], info[AMD_INFO];
  amd_defaults(control);
  EXPECT_EQ(amd_order(n, ap.data(), ai.data(), perm.data(), control, info), AMD_OK);
  for (i32& x : perm) ++x;
  return exact_symbolic(n, p, perm).nnzl;
}

TEST_F(MinimumDegree, FillOnFiniteElementGraphsIsCloseToAmd) {
  struct Case {
    const char* what;
    i32 n;
    Pairs p;
  };
  const std::vector<Case> cases = {
      {"hex 12^3, 1 freedom", 13 * 13 * 13, hex_structure(12, 12, 12, 1)},
      {"hex 8^3, 3 freedoms", 9 * 9 * 9 * 3, hex_structure(8, 8, 8, 3)},
      {"quad 60^2, 2 freedoms", 61 * 61 * 2, quad_structure(60, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Ordering o = min_degree(c.n, c.p, 0);
    const i64 fill = std::accumulate(o.cnt.begin(), o.cnt.end(), i64{0});
    const i64 ref = amd_fill(c.n, c.p);
    EXPECT_LE(static_cast<double>(fill), 1.25 * static_cast<double>(ref)) << fill << " vs AMD " << ref;
  }
}

}  // namespace
}  // namespace zephsol::sparse
