// Multiple-minimum-degree ordering on the quotient graph of the compressed
// structure, with mass elimination, merging of indistinguishable nodes and
// tag resets.
#include "zephsol/sparse/mindeg.h"

#include <algorithm>

#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

i32& wt(const MinDegree& m, i32 node) { return m.weight(m.cmpmap(node)); }

// The entries of the list stored from node k's storage on, following -j
// links, up to a 0 or the end of a storage: fn(x) for every node x, until it
// returns false. seg(k) is told each storage entered.
template <class Fn, class Seg>
void walk(const MinDegree& m, i32 k, Fn&& fn, Seg&& seg) {
  seg(k);
  i64 q = m.xadj(k), end = m.xadj(k + 1);
  while (q < end) {
    const i32 x = m.adj(q);
    if (x == 0) return;
    if (x < 0) {
      k = -x;
      seg(k);
      q = m.xadj(k);
      end = m.xadj(k + 1);
      continue;
    }
    if (!fn(x)) return;
    ++q;
  }
}
template <class Fn>
void walk(const MinDegree& m, i32 k, Fn&& fn) {
  walk(m, k, fn, [](i32) {});
}

// The entries of a variable's own list (never linked): fn(x, element).
template <class Fn>
void own_list(const MinDegree& m, i32 k, Fn&& fn) {
  const i64 b = m.xadj(k), e = m.xadj(k + 1), es = m.estart(k) == 0 ? e : m.estart(k);
  for (i64 q = b; q < e; ++q) {
    const i32 x = m.adj(q);
    if (x == 0) return;
    fn(x, q >= es);
  }
}

void clear_markers(const MinDegree& m, i32 maxint) {
  for (i64 i = 1; i <= m.n; ++i)
    if (m.marker(i) < maxint) m.marker(i) = 0;
}

// Node x at the head of the list of degree deg.
void insert(const MinDegree& m, i32 x, i32 deg) {
  const i32 head = m.dhead(deg);
  m.fwd(x) = head;
  if (head > 0) m.bwd(head) = x;
  m.dhead(deg) = x;
  m.bwd(x) = -deg;
}

void unlink(const MinDegree& m, i32 x) {
  const i32 b = m.bwd(x), f = m.fwd(x);
  if (b > 0) m.fwd(b) = f;
  else m.dhead(-b) = f;
  if (f > 0) m.bwd(f) = b;
}

}  // namespace

void xdslmi(MinDegree& m, i32 maxint) {
  for (i64 i = 1; i <= m.n; ++i) {
    m.dhead(i) = m.marker(i) = m.llist(i) = m.estart(i) = m.rch(i) = m.invp(i) = 0;
    const i32 k = m.cmpmap(i), r = m.members(m.cptr(k));
    if (r == i) {
      m.weight(k) = m.cptr(k + 1) - m.cptr(k);
      m.fwd(i) = m.bwd(i) = 0;
    } else {
      m.fwd(i) = -r;
      m.bwd(i) = -maxint;
      m.marker(i) = maxint;
    }
  }
  for (i64 i = 1; i <= m.n; ++i) {
    const i32 x = static_cast<i32>(i);
    if (m.members(m.cptr(m.cmpmap(x))) != x || wt(m, x) == 0) continue;
    i32 deg = 1;
    own_list(m, x, [&](i32 y, bool) { deg += wt(m, y); });
    insert(m, x, deg);
  }
}

void xdslme(MinDegree& m, i32 mdnode, i32 tag, i32 maxint) {
  // 1. mdnode, its variables and its elements marked; the elements chained
  // and given mdnode as parent. The variables start the reachable set.
  m.marker(mdnode) = tag;
  i64 r = 0, nseg = 0;
  i32 ehead = 0;
  own_list(m, mdnode, [&](i32 x, bool element) {
    if (m.marker(x) >= tag) return;
    m.marker(x) = tag;
    if (element) {
      m.llist(x) = ehead;
      ehead = x;
      m.parent(x) = mdnode;
    } else if (wt(m, x) != 0) {
      m.reach(++r) = x;
    }
  });
  // 2. The active, unmarked members of the absorbed elements join it; the
  // storage of mdnode and of every element read takes the new list.
  m.segs(++nseg) = mdnode;
  for (i32 e = ehead; e != 0; e = m.llist(e)) {
    walk(
        m, e,
        [&](i32 x) {
          if (m.marker(x) < tag && wt(m, x) != 0 && m.invp(x) == 0) {
            m.marker(x) = tag;
            m.reach(++r) = x;
          }
          return true;
        },
        [&](i32 k) { m.segs(++nseg) = k; });
  }
  i64 s = 1, q = m.xadj(mdnode), end = m.xadj(mdnode + 1);
  for (i64 t = 1; t <= r; ++t) {
    while (end - q < 1 || (end - q == 1 && t < r)) {
      // One word left and more to come: it links to the next storage.
      if (++s > nseg) sparse_stop({"storage oops in xdslme"});
      const i32 k = m.segs(s);
      if (m.xadj(k + 1) == m.xadj(k)) continue;
      if (end - q == 1) m.adj(q) = -k;
      q = m.xadj(k);
      end = m.xadj(k + 1);
    }
    m.adj(q++) = m.reach(t);
  }
  if (q < end) m.adj(q) = 0;
  // 3. Each node of the reachable set leaves its degree list and keeps of
  // its neighbours the unmarked variables and elements, then mdnode.
  for (i64 t = 1; t <= r; ++t) {
    const i32 x = m.reach(t);
    if (m.bwd(x) != 0 && m.bwd(x) != -maxint) unlink(m, x);
    // Variables, then elements, compacted in place (the list only shrinks).
    const i64 b = m.xadj(x), e = m.xadj(x + 1), es = m.estart(x) == 0 ? e : m.estart(x);
    i64 w = b, vars = 0;
    for (i64 p = b; p < e; ++p) {
      const i32 y = m.adj(p);
      if (y == 0) break;
      if (m.marker(y) >= tag) continue;
      m.adj(w++) = y;
      if (p < es) ++vars;
    }
    const i64 elems = w - b - vars;
    m.estart(x) = static_cast<i32>(b + vars);
    m.adj(w++) = mdnode;
    if (w < e) m.adj(w) = 0;
    if (vars == 0 && elems == 0) {
      // Mass elimination: mdnode is its only neighbour.
      wt(m, mdnode) += wt(m, x);
      m.rch(mdnode) -= wt(m, x);
      wt(m, x) = 0;
      m.marker(x) = maxint;
      m.fwd(x) = -mdnode;
      m.bwd(x) = -maxint;
    } else {
      m.fwd(x) = static_cast<i32>(vars + elems + 1);
      m.bwd(x) = 0;
    }
  }
}

void xdslmu(MinDegree& m, i32 ehead, i32 delta, i32& mdeg, i32& tag, i32 maxint) {
  // Nodes of one element take at most mdeg + delta tags (a negative delta
  // eliminates one node per update and counts as 0).
  const i32 mdeg0 = mdeg + std::max(delta, 0);
  for (i32 e = ehead; e != 0; e = m.llist(e)) {
    i32 mtag = tag + mdeg0;
    if (mtag >= maxint) {
      tag = 1;
      clear_markers(m, maxint);
      mtag = 1 + mdeg0;
    }
    const i32 deg0 = m.rch(e) + 1;
    // 2. The members waiting for a degree: two-neighbour and general lists.
    i32 two = 0, general = 0;
    walk(m, e, [&](i32 x) {
      if (wt(m, x) == 0) return true;
      m.marker(x) = mtag;
      if (m.bwd(x) == 0) {
        i32& head = m.fwd(x) == 2 ? two : general;
        m.llist(x) = head;
        head = x;
      }
      return true;
    });
    auto finish = [&](i32 x, i32 deg) {
      deg -= wt(m, x);
      insert(m, x, deg);
      mdeg = std::min(mdeg, deg);
    };
    // 3. Two neighbours: e and one more.
    for (i32 x = two; x != 0; x = m.llist(x)) {
      ++tag;
      if (wt(m, x) == 0 || m.bwd(x) != 0) continue;
      i32 nb = 0;
      own_list(m, x, [&](i32 y, bool) {
        if (y != e) nb = y;
      });
      i32 deg = deg0;
      if (m.invp(nb) >= 0) {
        deg += wt(m, nb);
      } else {
        walk(m, nb, [&](i32 y) {
          if (y == x || wt(m, y) == 0) return true;
          if (m.marker(y) < tag) {
            m.marker(y) = tag;
            deg += wt(m, y);
          } else if (m.bwd(y) == 0 && m.fwd(y) == 2) {
            // Indistinguishable from x: merged into it.
            wt(m, x) += wt(m, y);
            wt(m, y) = 0;
            m.marker(y) = maxint;
            m.fwd(y) = -x;
            m.bwd(y) = -maxint;
          } else if (m.bwd(y) == 0) {
            m.bwd(y) = -maxint;  // outmatched by x
          }
          return true;
        });
      }
      finish(x, deg);
    }
    // 4. General nodes: variables without marking, other elements' members
    // once each.
    for (i32 x = general; x != 0; x = m.llist(x)) {
      ++tag;
      if (wt(m, x) == 0 || m.bwd(x) != 0) continue;
      i32 deg = deg0;
      own_list(m, x, [&](i32 y, bool element) {
        if (!element) {
          deg += wt(m, y);
          return;
        }
        if (y == e || m.marker(y) >= tag) return;
        m.marker(y) = tag;
        walk(m, y, [&](i32 z) {
          if (m.marker(z) < tag && wt(m, z) != 0) {
            m.marker(z) = tag;
            deg += wt(m, z);
          }
          return true;
        });
      });
      finish(x, deg);
    }
    tag = mtag;
  }
}

void xdslmn(MinDegree& m) {
  // Roots (eliminated nodes) hold -(their first position); every merged
  // node takes the next position of its root's chain, and its chain is
  // shortened to point at the root. reach counts each root's positions.
  for (i64 i = 1; i <= m.n; ++i)
    if (m.fwd(i) >= 0) m.reach(i) = -m.invp(i);
  for (i64 i = 1; i <= m.n; ++i) {
    if (m.fwd(i) >= 0) continue;
    i32 root = static_cast<i32>(i);
    while (m.fwd(root) < 0) root = -m.fwd(root);
    m.invp(i) = -(++m.reach(root));
    for (i32 x = static_cast<i32>(i); x != root;) {
      const i32 next = -m.fwd(x);
      m.fwd(x) = -root;
      x = next;
    }
  }
  for (i64 i = 1; i <= m.n; ++i) {
    m.invp(i) = -m.invp(i);
    m.perm(m.invp(i)) = static_cast<i32>(i);
  }
}

void xdslmp(MinDegree& m, i64 nsuper) {
  const IVec sn = m.weight, sparent = m.dhead;
  std::fill(sparent.data(), sparent.data() + nsuper, 0);
  for (i64 s = 1; s <= nsuper; ++s)
    for (i64 p = m.part(s); p < m.part(s + 1); ++p) sn(p) = static_cast<i32>(s);
  for (i64 i = 1; i <= m.n; ++i)
    if (m.parent(i) != 0) sparent(sn(m.invp(i))) = sn(m.invp(m.parent(i)));
  std::fill(m.parent.data(), m.parent.data() + m.n, 0);
  std::copy(sparent.data(), sparent.data() + nsuper, m.parent.data());
}

void xdslmd(MinDegree& m, i32 delta, i32 maxint, i64& nsuper, i64& nofsub) {
  const i64 n = m.n;
  // A degree update of one element takes up to n + delta tags after a
  // reset: a smaller tag limit would make live markers look like merged
  // nodes, so it is raised to what the graph needs.
  maxint = static_cast<i32>(std::max<i64>(maxint, n + std::max(delta, 0) + 2));
  nofsub = 0;
  nsuper = 0;
  std::fill(m.cnt.data(), m.cnt.data() + n, 0);
  std::fill(m.parent.data(), m.parent.data() + n, 0);
  xdslmi(m, maxint);
  i64 num = 1;
  auto open = [&](i32 node, i64 count) {
    m.part(++nsuper) = static_cast<i32>(num);
    m.cnt(num) = static_cast<i32>(count);
    nofsub += count;
    m.invp(node) = static_cast<i32>(-num);
  };
  // 2. Isolated nodes.
  for (i32 x = m.dhead(1); x > 0; x = m.fwd(x)) {
    open(x, wt(m, x) - 1);
    m.marker(x) = maxint;
    num += wt(m, x);
  }
  i32 mdnode = 0;
  if (num <= n) {
    i32 tag = 1, mdeg = 2;
    m.dhead(1) = 0;
    for (bool done = false; !done;) {
      // a. The smallest degree with a node.
      while (mdeg <= n && m.dhead(mdeg) == 0) ++mdeg;
      if (mdeg > n) sparse_stop({"storage oops in xdslmd"});
      const i64 mdlmt = static_cast<i64>(mdeg) + delta;
      i32 ehead = 0;
      for (;;) {
        // b. The next node of least degree.
        mdnode = m.dhead(mdeg);
        if (mdnode <= 0) {
          if (++mdeg > mdlmt || mdeg > n) break;
          continue;
        }
        unlink(m, mdnode);
        const i32 w = wt(m, mdnode);
        open(mdnode, mdeg + w - 2);
        m.rch(mdnode) = mdeg - 1;
        if (num + w > n) {
          done = true;
          break;
        }
        // c. Its elimination.
        if (++tag >= maxint) {
          tag = 1;
          clear_markers(m, maxint);
        }
        xdslme(m, mdnode, tag, maxint);
        m.llist(mdnode) = ehead;
        ehead = mdnode;
        num += wt(m, mdnode);
        if (delta < 0) break;
      }
      // d. Degrees of the nodes the new elements touched.
      if (done || num > n) break;
      xdslmu(m, ehead, delta, mdeg, tag, maxint);
    }
  }
  // 4. The last node is the parent of the elements left beside it.
  if (mdnode > 0)
    own_list(m, mdnode, [&](i32 y, bool) {
      if (y > 0 && y != mdnode && m.invp(y) < 0) m.parent(y) = mdnode;
    });
  m.part(nsuper + 1) = static_cast<i32>(n + 1);
  for (i64 s = 1; s <= nsuper; ++s)
    for (i64 p = m.part(s) + 1; p < m.part(s + 1); ++p) m.cnt(p) = m.cnt(p - 1) - 1;
  xdslmn(m);
  xdslmp(m, nsuper);
}

}  // namespace zephsol::sparse
