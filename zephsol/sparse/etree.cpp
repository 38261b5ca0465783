// Elimination tree, column counts and supernodes of the ordering phase.
#include "zephsol/sparse/etree.h"

#include <algorithm>
#include <cstdint>

#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/sorts.h"

namespace zephsol::sparse {
namespace {

// Visits a forest in post-order: down the first sons to a leaf, then the
// brother's subtree, else the parent. visit(d) may change d's son list but
// not d's brother or parent.
template <class Visit>
void postorder(i64 root, const IVec& parent, const IVec& fson, const IVec& bro, Visit visit) {
  if (root == 0) return;
  i64 d = root;
  while (fson(d) != 0) d = fson(d);
  for (;;) {
    visit(d);
    if (bro(d) != 0) {
      d = bro(d);
      while (fson(d) != 0) d = fson(d);
    } else {
      d = parent(d);
      if (d == 0) return;
    }
  }
}

constexpr i64 tri(i64 k) { return k * (k + 1) / 2; }

}  // namespace

i32 xdslet(i64 n, IVec xo, const Groups& g, IVec invp, IVec perm, i64& nsuper, IVec part, IVec cnt, IVec sparent,
           IVec s1, IVec s2, IVec s3, IVec s4) {
  // Permutation check; s4 := its inverse.
  std::fill(s4.data(), s4.data() + n, 0);
  for (i64 i = 1; i <= n; ++i) {
    const i32 p = xo(i);
    if (p < 1 || p > n) return -1;
    s4(p) = static_cast<i32>(i);
  }
  for (i64 p = 1; p <= n; ++p)
    if (s4(p) == 0) return -2;
  // Each group placed whole where its first equation stands.
  std::fill(invp.data(), invp.data() + n, 0);
  i64 k = 0;
  for (i64 p = 1; p <= n; ++p) {
    const i32 e = s4(p);
    if (invp(e) != 0) continue;
    const i32 node = g.cmpmap(e);
    for (i64 q = g.ptr(node); q < g.ptr(node + 1); ++q) {
      const i32 m = g.members(q);
      perm(++k) = m;
      invp(m) = static_cast<i32>(k);
    }
  }
  if (k != n) return -2;
  // Elimination tree (parent s1) and column counts (count s3). A group's
  // members stand together and have the same neighbours, so the tree runs
  // through them as a chain (member k's parent is member k + 1) and a later
  // row's subtree holds either all of them or none. The tree and the counts
  // are therefore found over the groups, following tree paths from every
  // earlier neighbour group of each group's first row, with markers so that
  // each path group is met once per row, and then spread to the members:
  // in a group of s, count(member k) = (s - k) + the rows of the later
  // groups whose paths met it.
  const i64 ngroups = g.ptr.size() - 1;
  const IVec gparent = xo, gmark = s1, gpos = s2, gcount = s4;
  std::fill(gparent.data(), gparent.data() + ngroups, 0);
  std::fill(gmark.data(), gmark.data() + ngroups, 0);
  std::fill(gcount.data(), gcount.data() + ngroups, 0);
  for (i64 node = 1; node <= ngroups; ++node) gpos(node) = invp(g.members(g.ptr(node)));
  for (i64 i = 1; i <= n; ++i) {
    const i32 e = perm(i);
    const i32 r = g.rep(e);
    if (e != r) continue;
    const i32 row = g.cmpmap(r), width = g.ptr(row + 1) - g.ptr(row);
    for (i64 q = g.xadj(r); q < g.xadj(r + 1); ++q) {
      i32 t = g.cmpmap(g.adjncy(q));
      while (gpos(t) < i && gmark(t) != row) {
        gcount(t) += width;
        if (gmark(t) == 0) gparent(t) = row;
        gmark(t) = row;
        t = gparent(t);
      }
    }
  }
  const IVec parent = s1, count = s3;
  for (i64 node = 1; node <= ngroups; ++node) {
    const i64 b = g.ptr(node), e = g.ptr(node + 1);
    const i32 above = gparent(node) != 0 ? g.members(g.ptr(gparent(node))) : 0;
    for (i64 q = b; q < e; ++q) {
      parent(g.members(q)) = q + 1 < e ? g.members(q + 1) : above;
      count(g.members(q)) = static_cast<i32>(e - 1 - q) + gcount(node);
    }
  }
  // Child lists (s4 first child, xo next sibling): the head is the child
  // with the largest equation number.
  const IVec first = s4, sibling = xo;
  std::fill(first.data(), first.data() + n, 0);
  for (i64 j = 1; j <= n; ++j) {
    const i32 p = parent(j);
    if (p == 0) continue;
    sibling(j) = first(p);
    first(p) = static_cast<i32>(j);
  }
  // Fundamental supernodes (supernode of each equation in s2).
  const IVec snode = s2;
  i64 ns = 0;
  for (i64 i = 1; i <= n; ++i) {
    const i32 e = perm(i);
    const i32 c = first(e);
    if (c != 0 && sibling(c) == 0 && count(c) == count(e) + 1) snode(e) = snode(c);
    else snode(e) = static_cast<i32>(++ns);
  }
  if (ns + 1 > part.size()) sparse_stop({"storage oops in xdslet"});
  std::fill(sparent.data(), sparent.data() + ns, 0);
  for (i64 e = 1; e <= n; ++e) {
    const i32 p = parent(e);
    if (p != 0 && snode(p) != snode(e)) sparent(snode(e)) = snode(p);
  }
  // Members listed per supernode in the order of their positions, from
  // the bottom of the chain up: the bottom column alone brings the fill
  // that makes the others alike, so it must stay first. Positions given
  // supernode by supernode in list order, counts m, m-1, ... by position.
  const IVec head = s4, next = xo;
  std::fill(head.data(), head.data() + ns, 0);
  for (i64 i = n; i >= 1; --i) {
    const i32 e = perm(i), s = snode(e);
    next(e) = head(s);
    head(s) = e;
  }
  i64 pos = 1;
  for (i64 s = 1; s <= ns; ++s) {
    part(s) = static_cast<i32>(pos);
    i32 m = 0;
    for (i32 e = head(s); e != 0; e = next(e)) m = std::max(m, count(e));
    for (i32 e = head(s); e != 0; e = next(e)) {
      perm(pos) = e;
      invp(e) = static_cast<i32>(pos);
      cnt(pos) = m--;
      ++pos;
    }
  }
  part(ns + 1) = static_cast<i32>(n + 1);
  nsuper = ns;
  return 0;
}

void xdslst(i64 nsuper, i64 n, IVec sparent, IVec part, IVec cnt, IVec fson, IVec bro, IVec nparent, IVec nlist,
            IVec size, IVec upd, IVec front, i64& maxsons, IVec soncnt) {
  std::fill(fson.data(), fson.data() + nsuper, 0);
  std::fill(bro.data(), bro.data() + nsuper, 0);
  std::fill(soncnt.data(), soncnt.data() + nsuper, 0);
  maxsons = 0;
  i64 last_root = nsuper;
  for (i64 s = nsuper - 1; s >= 1; --s) {
    const i32 p = sparent(s);
    if (p != 0 && p != s) {
      bro(s) = fson(p);
      fson(p) = static_cast<i32>(s);
      maxsons = std::max<i64>(maxsons, ++soncnt(p));
    } else {
      bro(last_root) = static_cast<i32>(s);
      last_root = s;
    }
  }
  for (i64 s = 1; s <= nsuper; ++s) {
    const i32 f = part(s), l = part(s + 1) - 1;
    size(s) = l - f + 1;
    front(s) = cnt(f) + 1;
    upd(s) = front(s) - size(s);
    for (i32 p = f; p < l; ++p) nparent(p) = p + 1;
    const i32 ps = sparent(s);
    nparent(l) = (ps != 0 && ps != s) ? part(ps) : 0;
  }
  for (i64 p = 1; p <= n; ++p) nlist(p) = static_cast<i32>(p);
}

void xdslam(i64& count, IVec sparent, IVec fson, IVec bro, i64 root, IVec size, IVec upd, IVec front, i64 limit,
            IVec zer, IVec coal, IVec tail, IVec lastson) {
  const i64 ns = count;
  for (i64 s = 1; s <= ns; ++s) {
    zer(s) = 0;
    coal(s) = 0;
    tail(s) = static_cast<i32>(s);
    lastson(s) = 0;
  }
  for (i64 s = 1; s <= ns; ++s)
    for (i32 u = fson(s); u != 0; u = bro(u))
      if (bro(u) == 0) lastson(s) = u;
  const i64 none = xislev(3);
  postorder(root, sparent, fson, bro, [&](i64 d) {
    i32 aside_head = 0, aside_tail = 0;
    for (;;) {
      // The son adding the fewest explicit zeros within the limit.
      i32 best = 0, best_prev = 0;
      i64 best_v = none;
      for (i32 u = fson(d), prev = 0; u != 0; prev = u, u = bro(u)) {
        const i64 v = i64{size(u)} * (i64{front(d)} - upd(u));
        if (i64{zer(u)} + v + zer(d) > limit) continue;
        if (v < best_v || (best != 0 && v == best_v && size(u) > size(best))) {
          best = u;
          best_prev = prev;
          best_v = v;
        }
      }
      if (best == 0) break;
      coal(tail(d)) = best;
      tail(d) = tail(best);
      if (best_prev == 0) fson(d) = bro(best);
      else bro(best_prev) = bro(best);
      if (lastson(d) == best) lastson(d) = best_prev;
      if (fson(best) != 0) {
        if (aside_head == 0) aside_head = fson(best);
        else bro(aside_tail) = fson(best);
        aside_tail = lastson(best);
      }
      front(d) += size(best);
      zer(d) = static_cast<i32>(std::min<i64>(i64{zer(d)} + zer(best) + best_v, INT32_MAX));
      size(d) += size(best);
      --count;
    }
    if (aside_head != 0) {
      for (i32 u = aside_head; u != 0; u = bro(u)) sparent(u) = static_cast<i32>(d);
      if (lastson(d) == 0) fson(d) = aside_head;
      else bro(lastson(d)) = aside_head;
      lastson(d) = aside_tail;
    }
  });
}

void xdslnp(i64 nsuper, IVec sparent, IVec fson, IVec bro, i64 root, IVec size, IVec coal, i64 count, IVec part,
            IVec nlist, IVec newpart, IVec newlist) {
  (void)nsuper;
  i64 num = 0, pos = 1;
  postorder(root, sparent, fson, bro, [&](i64 d) {
    newpart(++num) = static_cast<i32>(pos);
    i64 place = pos + size(d) - 1;
    // d's own positions take the last places, in order; then each merged
    // supernode's positions, from its last down, below the previous.
    const i64 own = part(d + 1) - part(d);
    for (i64 q = 0; q < own; ++q) newlist(place - own + 1 + q) = nlist(part(d) + q);
    place -= own;
    for (i32 c = coal(d); c != 0; c = coal(c))
      for (i64 q = part(c + 1) - 1; q >= part(c); --q) newlist(place--) = nlist(q);
    pos += size(d);
  });
  newpart(count + 1) = static_cast<i32>(pos);
}

Forest xdsltr(i64 n, IVec nparent, i64 count, IVec newpart, IVec newlist, IVec snode, IVec parent, IVec fson,
              IVec bro) {
  for (i64 s = 1; s <= count; ++s)
    for (i64 q = newpart(s); q < newpart(s + 1); ++q) snode(newlist(q)) = static_cast<i32>(s);
  std::fill(parent.data(), parent.data() + count, 0);
  std::fill(fson.data(), fson.data() + count, 0);
  std::fill(bro.data(), bro.data() + count, 0);
  for (i64 j = 1; j <= n; ++j) {
    const i32 p = nparent(j);
    if (p == 0) continue;
    const i32 sj = snode(j), sp = snode(p);
    if (sj == sp || parent(sj) != 0) continue;
    parent(sj) = sp;
    bro(sj) = fson(sp);
    fson(sp) = sj;
  }
  Forest f;
  for (i64 s = 1; s <= count; ++s)
    if (parent(s) == 0) {
      bro(s) = static_cast<i32>(f.root);
      f.root = s;
      ++f.trees;
    }
  // Depth: a node's depth is one more than its parent's; post-order visits
  // sons first, so the depths are counted from the leaves up in sons.
  IVec height = snode;  // the positions' supernodes are no longer needed
  postorder(f.root, parent, fson, bro, [&](i64 d) {
    i64 h = 0, sons = 0;
    for (i32 u = fson(d); u != 0; u = bro(u)) {
      h = std::max<i64>(h, height(u));
      ++sons;
    }
    height(d) = static_cast<i32>(h + 1);
    f.maxsons = std::max(f.maxsons, sons);
    if (parent(d) == 0) f.depth = std::max<i64>(f.depth, h + 1);
  });
  return f;
}

StackPeaks xdslso(i64 count, IVec parent, IVec fson, IVec bro, i64 root, IVec part, IVec k, IVec keys, IVec sons,
                  DVec rpeak, IVec ipeak) {
  (void)count;
  (void)keys;
  auto F = [&](i64 s) { return tri(part(s + 1) - part(s) + k(s)); };
  auto U = [&](i64 s) { return tri(k(s)) + 3; };
  StackPeaks peaks;
  postorder(root, parent, fson, bro, [&](i64 a) {
    const i64 fa = F(a);
    i64 m = 0;
    for (i32 u = fson(a); u != 0; u = bro(u)) sons(++m) = u;
    if (m == 0) {
      rpeak(a) = static_cast<double>(fa);
      ipeak(a) = k(a);
    } else {
      // Stable insertion sort by decreasing max(F(a), P(u)) - U(u).
      auto key = [&](i32 u) { return std::max<i64>(fa, static_cast<i64>(rpeak(u))) - U(u); };
      for (i64 q = 2; q <= m; ++q)
        for (i64 r = q; r > 1 && key(sons(r)) > key(sons(r - 1)); --r) std::swap(sons(r), sons(r - 1));
      fson(a) = sons(1);
      for (i64 q = 1; q <= m; ++q) bro(sons(q)) = q < m ? sons(q + 1) : 0;
      i64 p = 0, below = 0, ip = 0, ibelow = 0;
      for (i64 q = 1; q <= m; ++q) {
        const i32 u = sons(q);
        p = std::max(p, std::max<i64>(fa, static_cast<i64>(rpeak(u))) + below);
        ip = std::max<i64>(ip, ibelow + ipeak(u));
        below += U(u);
        ibelow += k(u);
      }
      rpeak(a) = static_cast<double>(p);
      ipeak(a) = static_cast<i32>(std::min<i64>(ip, INT32_MAX));
    }
    if (parent(a) == 0) {
      peaks.real = std::max(peaks.real, static_cast<i64>(rpeak(a)));
      peaks.integer = std::max<i64>(peaks.integer, ipeak(a));
    }
  });
  return peaks;
}

FinalCounts xdslfp(i64 n, i64 count, IVec part, IVec nlist, IVec perm, IVec parent, IVec fson, IVec bro, i64 root,
                   IVec nassem, IVec k, IVec ptr, IVec s1, IVec s2, const Groups& g) {
  // Final places in post-order (new-to-old in s1), partition in s2 first.
  FinalCounts fc;
  i64 num = 0, place = 1, stack = 0;
  ptr(1) = 1;
  postorder(root, parent, fson, bro, [&](i64 s) {
    ++num;
    s2(num) = static_cast<i32>(place);
    for (i64 q = part(s); q < part(s + 1); ++q) s1(place++) = perm(nlist(q));
    i64 sons = 0;
    for (i32 u = fson(s); u != 0; u = bro(u)) ++sons;
    nassem(num) = static_cast<i32>(sons);
    ptr(num + 1) = ptr(num) + k(s);
    stack -= sons;
    if (parent(s) != 0) ++stack;
    fc.mstack = std::max(fc.mstack, stack);
    fc.merges = std::max<i64>(fc.merges, part(s + 1) - part(s) + sons);
  });
  fc.mstack = std::max<i64>(fc.mstack, 1);
  // The update orders follow the new numbering.
  (void)count;
  std::copy(s2.data(), s2.data() + num, part.data());
  part(num + 1) = static_cast<i32>(n + 1);
  std::copy(s1.data(), s1.data() + n, perm.data());
  // Each group's members in increasing order over the places they hold.
  xislin(n, perm.data(), s1.data());
  for (i64 node = 1; node + 1 <= g.ptr.size(); ++node) {
    const i64 b = g.ptr(node), e = g.ptr(node + 1);
    if (e - b < 2) continue;
    i64 m = 0;
    for (i64 q = b; q < e; ++q) s2(++m) = s1(g.members(q));
    std::sort(s2.data(), s2.data() + m);
    for (i64 q = 0; q < m; ++q) perm(s2(q + 1)) = g.members(b + q);
  }
  return fc;
}

}  // namespace zephsol::sparse
