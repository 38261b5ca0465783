// Test support for the structural phases: random and mesh structures,
// their compressed-column form, a brute-force compression to compare with,
// and a problem driven through the entries.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// Off-diagonal positions (i < j), 1-based.
using Pairs = std::set<std::pair<i32, i32>>;

// Compressed columns (one call of xdslim).
struct Columns {
  std::vector<i32> colptr, rowind;
};

// A random structure with compressible groups: g groups of 1-3 equations
// that share their closed neighbourhoods, a random graph between groups,
// and a few extra single edges that break some groups up.
inline Pairs random_structure(i32 n, double degree, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<i32> group_of(n + 1);
  std::vector<std::vector<i32>> groups;
  for (i32 i = 1; i <= n;) {
    const i32 size = std::min<i32>(n - i + 1, 1 + static_cast<i32>(rng() % 3));
    groups.emplace_back();
    for (i32 k = 0; k < size; ++k, ++i) {
      groups.back().push_back(i);
      group_of[i] = static_cast<i32>(groups.size()) - 1;
    }
  }
  // Shuffle the equation numbers so groups are not consecutive.
  std::vector<i32> relabel(n + 1);
  for (i32 i = 1; i <= n; ++i) relabel[i] = i;
  std::shuffle(relabel.begin() + 1, relabel.end(), rng);
  Pairs p;
  auto add = [&](i32 a, i32 b) {
    a = relabel[a];
    b = relabel[b];
    if (a != b) p.insert({std::min(a, b), std::max(a, b)});
  };
  for (const auto& g : groups)
    for (std::size_t x = 0; x < g.size(); ++x)
      for (std::size_t y = x + 1; y < g.size(); ++y) add(g[x], g[y]);
  const std::size_t ng = groups.size();
  std::uniform_int_distribution<std::size_t> pick(0, ng - 1);
  const auto links = static_cast<std::size_t>(degree * static_cast<double>(ng) / 2);
  for (std::size_t l = 0; l < links; ++l) {
    const auto a = pick(rng), b = pick(rng);
    if (a == b) continue;
    for (i32 x : groups[a])
      for (i32 y : groups[b]) add(x, y);
  }
  std::uniform_int_distribution<i32> eq(1, n);
  for (i32 k = 0; k < n / 20; ++k) add(eq(rng), eq(rng));
  return p;
}

// Structure of a hexahedral mesh of nx x ny x nz elements with dof freedoms
// per node: every two freedoms of nodes sharing an element are coupled.
inline Pairs hex_structure(i32 nx, i32 ny, i32 nz, i32 dof, i64* node_edges = nullptr) {
  auto node = [&](i32 i, i32 j, i32 k) { return (k * (ny + 1) + j) * (nx + 1) + i; };
  Pairs p;
  std::set<std::pair<i32, i32>> nodes;
  for (i32 k = 0; k < nz; ++k)
    for (i32 j = 0; j < ny; ++j)
      for (i32 i = 0; i < nx; ++i) {
        std::vector<i32> en;
        for (i32 c = 0; c < 8; ++c) en.push_back(node(i + (c & 1), j + ((c >> 1) & 1), k + (c >> 2)));
        for (i32 a : en)
          for (i32 b : en) {
            if (a < b) nodes.insert({a, b});
            for (i32 da = 0; da < dof; ++da)
              for (i32 db = 0; db < dof; ++db) {
                const i32 x = a * dof + da + 1, y = b * dof + db + 1;
                if (x < y) p.insert({x, y});
              }
          }
      }
  if (node_edges) *node_edges = static_cast<i64>(nodes.size());
  return p;
}

enum class Triangle { Lower, Upper, Both };

// The pairs as compressed columns (diagonal included), split over `calls`
// calls; `dup` repeats every entry that many times.
inline std::vector<Columns> to_columns(i32 n, const Pairs& p, Triangle t, int calls = 1, int dup = 1,
                                       unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::vector<std::vector<std::vector<i32>>> cols(calls, std::vector<std::vector<i32>>(n + 1));
  auto put = [&](i32 r, i32 c) {
    for (int d = 0; d < dup; ++d) cols[rng() % calls][c].push_back(r);
  };
  for (i32 j = 1; j <= n; ++j) cols[0][j].push_back(j);
  for (auto [i, j] : p) {
    if (t != Triangle::Upper) put(j, i);  // row j > column i
    if (t != Triangle::Lower) put(i, j);
  }
  std::vector<Columns> out(calls);
  for (int c = 0; c < calls; ++c) {
    out[c].colptr.push_back(1);
    for (i32 j = 1; j <= n; ++j) {
      std::shuffle(cols[c][j].begin(), cols[c][j].end(), rng);
      out[c].rowind.insert(out[c].rowind.end(), cols[c][j].begin(), cols[c][j].end());
      out[c].colptr.push_back(static_cast<i32>(out[c].rowind.size()) + 1);
    }
  }
  return out;
}

// The compression by closed neighbourhoods, computed directly.
struct Compression {
  std::vector<std::vector<i32>> nodes;  // members, nodes in order of their smallest
  std::vector<i32> cmpmap;              // by equation (1-based; [0] unused)
  std::vector<std::vector<i32>> adj;    // by representative: adjacent representatives
  i64 nzcomp = 0;
};

inline Compression brute_compression(i32 n, const Pairs& p) {
  std::vector<std::vector<i32>> nb(n + 1);
  for (i32 i = 1; i <= n; ++i) nb[i].push_back(i);
  for (auto [a, b] : p) {
    nb[a].push_back(b);
    nb[b].push_back(a);
  }
  std::map<std::vector<i32>, std::vector<i32>> by;
  for (i32 i = 1; i <= n; ++i) {
    std::sort(nb[i].begin(), nb[i].end());
    by[nb[i]].push_back(i);
  }
  Compression c;
  for (auto& [k, v] : by) c.nodes.push_back(v);
  std::sort(c.nodes.begin(), c.nodes.end());
  c.cmpmap.assign(n + 1, 0);
  for (std::size_t k = 0; k < c.nodes.size(); ++k)
    for (i32 e : c.nodes[k]) c.cmpmap[e] = static_cast<i32>(k) + 1;
  c.adj.assign(n + 1, {});
  std::set<std::pair<i32, i32>> links;
  for (auto [a, b] : p) {
    const i32 ra = c.nodes[c.cmpmap[a] - 1][0], rb = c.nodes[c.cmpmap[b] - 1][0];
    if (ra != rb) links.insert({std::min(ra, rb), std::max(ra, rb)});
  }
  for (auto [a, b] : links) {
    c.adj[a].push_back(b);
    c.adj[b].push_back(a);
  }
  for (auto& l : c.adj) std::sort(l.begin(), l.end());
  c.nzcomp = static_cast<i64>(links.size());
  return c;
}

// A problem in a work array of exactly lwork words.
struct Problem {
  i32 n;
  std::vector<double> work;
  i32 lwork;
  Problem(i32 neqns, i32 lw, i32 msglvl = 0, i32 msgunit = 0, i32 lunit1 = 11, i32 lunit2 = 12)
      : n(neqns), work(static_cast<std::size_t>(lw)), lwork(lw) {
    i32 ier = 0;
    xdslin(n, 'S', msglvl, msgunit, lunit1, lunit2, 13, 14, 15, 17, work.data(), lwork, ier);
    EXPECT_EQ(ier, 0);
  }
  Work w() { return Work(work.data(), lwork); }
  double word(int k) const { return work[static_cast<std::size_t>(k)]; }
  i32 structure(const std::vector<Columns>& calls, char code = 'A') {
    i32 ier = 0;
    for (const auto& c : calls) {
      xdslim(code, c.colptr, c.rowind, work.data(), lwork, ier);
      if (ier != 0) break;
    }
    return ier;
  }
  i32 compress(i32* need_out = nullptr) {
    i32 ier = 0, need = 0;
    xdslif(work.data(), lwork, need, ier);
    if (need_out) *need_out = need;
    return ier;
  }
  i32 order(i32* need_out = nullptr) {
    i32 ier = 0, need = 0;
    xdslom(work.data(), lwork, need, ier);
    if (need_out) *need_out = need;
    return ier;
  }
  i32 symbolic(i32* need_out = nullptr, i32* needmn_out = nullptr) {
    i32 ier = 0, need = 0, needmn = 0;
    xdslsf(work.data(), lwork, need, needmn, ier);
    if (need_out) *need_out = need;
    if (needmn_out) *needmn_out = needmn;
    return ier;
  }
  // Structure, compression and ordering in one go.
  i32 analyse(const Pairs& p, Triangle t = Triangle::Lower) {
    i32 ier = structure(to_columns(n, p, t));
    if (ier == 0) ier = compress();
    if (ier == 0) ier = order();
    return ier;
  }
  std::vector<i32> ints(int cword, i64 count) {
    IVec v = w().ints(w().ictl(cword), count);
    return std::vector<i32>(v.data(), v.data() + count);
  }
};

// Checks the arrays xdslif left against the brute-force compression.
inline void expect_compression(Problem& pb, const Pairs& p) {
  const Compression c = brute_compression(pb.n, p);
  const i32 n = pb.n;
  EXPECT_EQ(pb.word(21), static_cast<double>(p.size()));
  ASSERT_EQ(pb.word(26), static_cast<double>(c.nodes.size()));
  EXPECT_EQ(pb.word(27), static_cast<double>(c.nzcomp));
  const auto ncomp = static_cast<i64>(c.nodes.size());
  const auto ptr = pb.ints(133, ncomp + 1), members = pb.ints(134, n), cmpmap = pb.ints(135, n);
  for (i64 k = 0; k < ncomp; ++k)
    EXPECT_EQ(std::vector<i32>(members.begin() + ptr[k] - 1, members.begin() + ptr[k + 1] - 1), c.nodes[k])
        << "node " << k + 1;
  EXPECT_EQ(cmpmap, std::vector<i32>(c.cmpmap.begin() + 1, c.cmpmap.end()));
  const auto xadj = pb.ints(60, n + 1);
  const auto adjncy = pb.ints(61, 2 * c.nzcomp);
  for (i32 e = 1; e <= n; ++e)
    EXPECT_EQ(std::vector<i32>(adjncy.begin() + xadj[e - 1] - 1, adjncy.begin() + xadj[e] - 1), c.adj[e])
        << "equation " << e;
}

}  // namespace zephsol::sparse
