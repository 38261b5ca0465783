// xdslsf: symbolic factorisation. From the compressed structure and the
// ordering it builds the lower triangle of P A P^T of the compressed
// structure, the index sets of L (global indices: the rows below each
// supernode's last column) and their relative indices (the place of each
// row in the parent supernode's front), and the work-space figures of the
// numerical phases.
//
// Kept from word 201: the column pointers of the lower triangle (word 60),
// the permutation (62), its inverse (63), the supernode partition (64),
// the number of assemblies (65), the index pointers (66), and, when lunit2
// <= 0, the global (79) and relative (67) indices; with lunit2 > 0 these go
// to the sequential file on lunit2 (record 1 relative, record 2 global).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/state.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {
namespace {

constexpr i64 L(i64 k) { return xisl2d(k); }

// The lower triangle of the compressed structure in the new numbering, in
// place: old column i keeps its rows r with invp(r) > invp(i) (stored as
// invp(r)), packed against the end of the list (a backward sweep); then
// the kept lists go to the front in new column order (a forward sweep).
// count: scratch of n. Returns the largest column count.
i64 lower_triangle(i64 n, i64 z, IVec xadj, IVec list, IVec perm, IVec invp, IVec count) {
  i64 wpos = 2 * z, next_old = xadj(n + 1), s1 = 0;
  for (i64 i = n; i >= 1; --i) {
    const i64 b = xadj(i), e = next_old;
    next_old = b;
    const i32 ii = invp(i);
    i64 kept = 0;
    for (i64 q = e - 1; q >= b; --q) {
      const i32 r = invp(list(q));
      if (r > ii) {
        list(wpos--) = r;
        ++kept;
      }
    }
    xadj(i) = static_cast<i32>(wpos + 1);
    count(ii) = static_cast<i32>(kept);
    s1 = std::max(s1, kept);
  }
  i64 pos = 1;
  for (i64 j = 1; j <= n; ++j) {
    const i64 s = xadj(perm(j)), c = count(j);
    for (i64 k = 0; k < c; ++k) list(pos + k) = list(s + k);
    count(j) = static_cast<i32>(pos);
    pos += c;
  }
  for (i64 j = 1; j <= n; ++j) xadj(j) = count(j);
  xadj(n + 1) = static_cast<i32>(pos);
  return s1;
}

// The largest number of input-structure entries in the columns of one
// supernode: per compressed node of m equations standing first in its
// column, m(m-1)/2 plus m times the size of each node below it.
i64 supernode_entries(i64 ns, IVec part, IVec colptr, IVec rows, IVec cptr, IVec members, IVec cmpmap) {
  i64 s2 = 0;
  for (i64 s = 1; s <= ns; ++s) {
    i64 sum = 0;
    for (i64 j = part(s); j < part(s + 1); ++j) {
      const i32 node = cmpmap(j);
      if (members(cptr(node)) != j) continue;
      const i64 m = cptr(node + 1) - cptr(node);
      sum += m * (m - 1) / 2;
      for (i64 q = colptr(j); q < colptr(j + 1); ++q) {
        const i32 nr = cmpmap(rows(q));
        sum += m * (cptr(nr + 1) - cptr(nr));
      }
    }
    s2 = std::max(s2, sum);
  }
  return s2;
}

// The arrays of the index-set step.
struct IndexArrays {
  IVec gl, rel, link, next, marker, gather, colsn, posn;
};

// Index sets of L supernode by supernode (children's sets merged through
// a linked list threaded by row, then the input structure), their
// relative indices in the parents' fronts. False on an inconsistency.
bool index_sets(i64 n, i64 ns, IVec part, IVec ptr, IVec colptr, IVec rows, IVec cptr, IVec members, IVec cmpmap,
                const IndexArrays& a) {
  const i32 end = static_cast<i32>(n + 1);
  iword* nxt = a.next.data();  // nxt[0] is the head
  std::fill(a.link.data(), a.link.data() + ns, 0);
  std::fill(a.marker.data(), a.marker.data() + n, 0);
  for (i64 s = 1; s <= ns; ++s)
    for (i64 j = part(s); j < part(s + 1); ++j) a.colsn(j) = static_cast<i32>(s);
  for (i64 k = 1; k <= ns; ++k) {
    const i32 f = part(k), l = part(k + 1) - 1, w = l - f + 1;
    const i64 e = ptr(k + 1) - ptr(k);
    nxt[0] = end;
    i64 size = 0;
    if (e > 0) {
      const i32 first = a.link(k);
      if (first != 0) {
        for (i64 q = ptr(first + 1) - 1; q >= ptr(first); --q) {
          const i32 x = a.gl(q);
          if (x <= l) break;
          nxt[x] = nxt[0];
          nxt[0] = x;
          a.marker(x) = static_cast<i32>(k);
          ++size;
        }
        for (i32 c = a.link(first); c != 0 && size < e; c = a.link(c)) {
          i32 p = 0;
          for (i64 q = ptr(c); q < ptr(c + 1); ++q) {
            const i32 x = a.gl(q);
            if (x <= l || a.marker(x) == k) continue;
            while (nxt[p] < x) p = nxt[p];
            nxt[x] = nxt[p];
            nxt[p] = x;
            a.marker(x) = static_cast<i32>(k);
            p = x;
            ++size;
          }
        }
      }
      if (size < e) {
        i64 got = 0;
        for (i64 j = f; j <= l && size + got < e; ++j)
          for (i64 q = colptr(j); q < colptr(j + 1) && size + got < e; ++q) {
            const i32 node = cmpmap(rows(q));
            for (i64 t = cptr(node); t < cptr(node + 1) && size + got < e; ++t) {
              const i32 m = members(t);
              if (m <= l || a.marker(m) == k) continue;
              a.marker(m) = static_cast<i32>(k);
              a.gather(++got) = m;
            }
          }
        iword* g = a.gather.data();
        if (got > 1 &&
            !quicksort(
                got, [g](i64 x, i64 y) { return g[x] > g[y]; }, [g](i64 x, i64 y) { std::swap(g[x], g[y]); }))
          return false;
        i32 p = 0;
        for (i64 q = got; q >= 1; --q) {
          const i32 x = a.gather(q);
          while (nxt[p] < x) p = nxt[p];
          nxt[x] = nxt[p];
          nxt[p] = x;
          p = x;
        }
        size += got;
      }
    }
    for (i32 j = f; j <= l; ++j) a.posn(j) = j - f + 1;
    i64 q = ptr(k);
    i32 place = w;
    for (i32 x = nxt[0]; x != end; x = nxt[x]) {
      if (q >= ptr(k + 1)) return false;
      a.gl(q++) = x;
      a.posn(x) = ++place;
    }
    if (q != ptr(k + 1)) return false;
    for (i32 c = a.link(k); c != 0; c = a.link(c))
      for (i64 t = ptr(c); t < ptr(c + 1); ++t) a.rel(t) = a.posn(a.gl(t));
    if (e > 0) {
      const i32 p = a.colsn(a.gl(ptr(k)));
      a.link(k) = a.link(p);
      a.link(p) = static_cast<i32>(k);
    }
  }
  return true;
}

}  // namespace

void xdslsf(double* work, i32 lwork, i64& need, i64& needmn, i32& ier) {
  double cpu0 = 0, wall0 = 0;
  xdsltb(cpu0, wall0);
  ier = 0;
  Call c(work, lwork, "xdslsf");
  const Work& w = c.w;
  banner(c, {"=============================================", "= multifrontal symbolic factorization phase =",
             "============================================="});
  const i64 st = c.stage();
  if (st != stage::ordered) {
    ier = err::symbolic_stage;
    fatal(c, ier, 3, 0, stage_text("xdslsf", st, "should be 20."));
    return;
  }
  const i64 n = w.ictl(cw::neqns), ncomp = w.ictl(cw::ncomp), z = w.ictl(cw::nzcomp), ns = w.ictl(cw::nsuper),
            nsnind = w.ictl(cw::nsnind);
  const i64 P4 = w.ictl(cw::xadj), P5 = w.ictl(cw::adjncy), W62 = w.ictl(cw::perm), W66 = w.ictl(cw::snptr);
  const i64 lunit2 = w.ictl(cw::lunit2);
  // All three work checks before anything changes in place.
  const i64 c1 = W66 + L(ns + 1) - 1;
  const i64 t = W66 + L(ns + 1), c2 = t + L(n) - 1;
  const i64 block = c1 - W62 + 1, start = P5 + L(z);
  WordLayout lay(start + block);
  const i64 G = lay.take(L(nsnind)), R = lay.take(L(nsnind)), Link = lay.take(L(ns)), Next = lay.take(L(n + 1)),
            Mark = lay.take(L(n)), Gath = lay.take(L(n)), Colsn = lay.take(L(n)), Posn = lay.take(L(n));
  const i64 c3 = lay.end();
  for (i64 check : {c1, c2, c3})
    if (check > lwork) {
      ier = err::symbolic_space;
      fatal(c, ier, 2, check, need_text("xdslsf", check, lwork));
      return;
    }
  const i64 peak = std::max({c1, c2, c3});
  auto fail = [&](i32 code, const std::vector<std::string>& text) {
    ier = code;
    fatal(c, ier, 3, 0, text);
    w.set(cw::stage, stage::failed);
  };
  const IVec cptr = w.ints(w.ictl(cw::cptr), ncomp + 1), members = w.ints(w.ictl(cw::members), n),
             cmpmap = w.ints(w.ictl(cw::cmpmap), n);
  const IVec perm = w.ints(W62, n), invp = w.ints(w.ictl(cw::invp), n);
  if (c.msglvl >= 4) {
    xislpa("compressed row list", ncomp, cptr.data(), members.data(), c.msgunit);
    xislpr("compression map", n, cmpmap.data(), c.msgunit);
    xislpr("permutation vector", n, perm.data(), c.msgunit);
    xislpr("supernode partition vector", ns + 1, w.ints(w.ictl(cw::part), ns + 1).data(), c.msgunit);
    xislpr("number of assemblies", ns, w.ints(w.ictl(cw::nassem), ns).data(), c.msgunit);
    xislpr("supernodal index pointers", ns + 1, w.ints(W66, ns + 1).data(), c.msgunit);
  }
  // Lower triangle of P A P^T: members in new numbers, cmpmap in the new
  // order, the rows of each column.
  const IVec scratch = w.ints(t, n);
  for (i64 q = 1; q <= n; ++q) members(q) = invp(members(q));
  for (i64 j = 1; j <= n; ++j) scratch(j) = cmpmap(perm(j));
  std::memcpy(cmpmap.data(), scratch.data(), static_cast<std::size_t>(n) * 4);
  const IVec colptr = w.ints(P4, n + 1), rows = w.ints(P5, 2 * z);
  const i64 s1 = lower_triangle(n, z, colptr, rows, perm, invp, scratch);
  const IVec part = w.ints(w.ictl(cw::part), ns + 1);
  i64 s2 = supernode_entries(ns, part, colptr, rows, cptr, members, cmpmap);
  if (w.ctl(cw::mtype) == 2.0) s2 *= 2;
  if (c.msglvl >= 4) xislpa("lower triangle of papt", n, colptr.data(), rows.data(), c.msgunit);
  // The ordering's arrays moved down behind the rows of the triangle.
  std::memmove(w.dbl(start, block).data(), w.dbl(W62, block).data(), static_cast<std::size_t>(block) * 8);
  const i64 shift = W62 - start;
  const i64 B62 = start, B63 = w.ictl(cw::invp) - shift, B64 = w.ictl(cw::part) - shift,
            B65 = w.ictl(cw::nassem) - shift, B66 = W66 - shift;
  const IVec bperm = w.ints(B62, n), bpart = w.ints(B64, ns + 1), bptr = w.ints(B66, ns + 1);
  if (c.msglvl >= 4) {
    xislpr("permutation vector", n, bperm.data(), c.msgunit);
    xislpr("inverse permutation vector", n, w.ints(B63, n).data(), c.msgunit);
    xislpr("supernode partition", ns + 1, bpart.data(), c.msgunit);
    xislpr("number of assemblies", ns, w.ints(B65, ns).data(), c.msgunit);
    xislpr("supernodal index pointer", ns + 1, bptr.data(), c.msgunit);
    xislpa("lower triangle of papt", n, colptr.data(), rows.data(), c.msgunit);
  }
  const IndexArrays a{w.ints(G, nsnind), w.ints(R, nsnind), w.ints(Link, ns),  w.ints(Next, n + 1),
                      w.ints(Mark, n),   w.ints(Gath, n),    w.ints(Colsn, n), w.ints(Posn, n)};
  if (!index_sets(n, ns, bpart, bptr, colptr, rows, cptr, members, cmpmap, a))
    return fail(err::symbolic_structure,
                {" *** subroutine xdslsf encountered", "inconsistent matrix structure during symbolicfactorization."});
  if (c.msglvl >= 4) {
    xislpa("global indices of l", ns, bptr.data(), a.gl.data(), c.msgunit);
    xislpa("relative indices of l", ns, bptr.data(), a.rel.data(), c.msgunit);
  }
  const bool on_file = lunit2 > 0 && nsnind > 0;
  if (on_file) {
    const i32 u = static_cast<i32>(lunit2);
    i32 e = 0;
    xdslos(u, e);
    if (e == 0) xislwr(u, nsnind, a.rel.data(), e);
    if (e == 0) xislwr(u, nsnind, a.gl.data(), e);
    if (e != 0) return fail(err::symbolic_io, io_text("xdslsf", lunit2));
    w.set(cw::extent2, static_cast<double>(2 * L(nsnind)));
    w.set(cw::moved2, static_cast<double>(2 * L(nsnind)));
  }
  // Final packing from word 201.
  const i64 X = L(n + 1);
  move_ints(w, P4, 201, n + 1);
  const i64 keep = block + (lunit2 <= 0 ? 2 * L(nsnind) : 0);
  std::memmove(w.dbl(201 + X, keep).data(), w.dbl(start, keep).data(), static_cast<std::size_t>(keep) * 8);
  const i64 down = start - (201 + X);
  const i64 end = 201 + X + keep - 1;
  // Work-space figures of the value and numerical phases.
  const i64 f = w.ctl(cw::keeprow) != 0.0 ? 2 : 1;
  const i64 nzla = w.ictl(cw::nnz), b22 = w.ictl(cw::nnzb), form = w.ictl(cw::bform);
  const i64 vs = w.ictl(cw::vstore), units = vs % 10, tens = vs / 10;
  i64 figA = end + 3 * n + 6 * L(n) + 2 * L(s2) + s2;
  if (form == 1) figA += 2 * n + 4 * L(n);
  else if (form == 3) figA += n;
  i64 figB = form <= 3 ? end + 2 * n : end + n;
  if (units == 0) figB += nzla + f * L(nzla);
  if (form == 1) {
    figB += L(n + 1);
    if (tens == 0) figB += b22 + 2 * L(b22);
  }
  if (lunit2 > 0) figB += L(nsnind);
  const i64 V = std::max(figA, figB);
  i64 nd = w.ictl(cw::incore_need), ndmn = w.ictl(cw::outcore_need);
  const i64 m = static_cast<i64>((std::sqrt(8.0 * w.ctl(cw::mfront) + 1.0) - 1.0) * 0.5);
  const i64 rhsblk = count_option(w, cw::rhsblk, 8);
  const i64 d = m * rhsblk - n;
  if (d > 0) {
    nd += d;
    ndmn += d;
  }
  if (w.ctl(cw::keeprow) != 0.0) {
    const i64 k = L(nzla) + n;
    if (nd != 0) nd += k;
    ndmn += k;
    w.set(cw::incore_need, static_cast<double>(nd));
    w.set(cw::outcore_need, static_cast<double>(ndmn));
  }
  if (vs != 0) {
    i64 s = f * L(s2) + s2;
    if (form == 1 && vs == 22) s *= 2;
    const i64 r = f * L(nzla) + nzla - s + n - std::max(count_option(w, cw::updblk, 32) * m, n);
    if (nd != 0) nd = std::max(V, nd - r);
    ndmn = std::max(V, ndmn - r);
  }
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  if (c.msglvl >= 1) {
    unit_write_line(c.msgunit, "");
    count_line(c, "maximum nonzeroes in a column of papt   = ", s1);
    count_line(c, "maximum nonzeroes in a supernode        = ", s2);
    time_line(c, "cpu  time for symbolic factorization    = ", cpu);
    time_line(c, "wall time for symbolic factorization    = ", wall);
    count_line(c, "max. amount of storage used             = ", peak);
    count_line(c, "amt. of storage needed for value input  = ", V);
  }
  const i64 extra = w.ctl(cw::pvttol) > 0.0 ? L(nsnind) : 0;
  w.set(cw::fixed_figure, static_cast<double>(6 * L(w.ictl(cw::mstack)) + 2 * n + 2 * L(n) + 2 * L(ns + 1) + extra));
  w.set(cw::solve_figure, static_cast<double>(std::max(m * rhsblk, n) + 2 * L(ns + 1) + 3 * L(n) + extra));
  w.set(cw::value_figure_a, static_cast<double>(figA));
  w.set(cw::value_figure_b, static_cast<double>(figB));
  w.set(cw::stage, stage::symbolic);
  w.set(cw::last, static_cast<double>(end));
  w.set(cw::need, static_cast<double>(nd));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(peak)));
  w.set(cw::snentries, static_cast<double>(s2));
  w.set(cw::papt_ptr, 201.0);
  w.set(cw::perm, static_cast<double>(B62 - down));
  w.set(cw::invp, static_cast<double>(B63 - down));
  w.set(cw::part, static_cast<double>(B64 - down));
  w.set(cw::nassem, static_cast<double>(B65 - down));
  w.set(cw::snptr, static_cast<double>(B66 - down));
  w.set(cw::gidx, lunit2 <= 0 ? static_cast<double>(G - down) : 0.0);
  w.set(cw::relind, lunit2 <= 0 ? static_cast<double>(R - down) : 0.0);
  w.set(cw::cpu_symbolic, cpu);
  w.set(cw::wall_symbolic, wall);
  need = nd;
  needmn = ndmn;
}

void xdslsf(double* work, i32 lwork, i32& need, i32& needmn, i32& ier) {
  i64 nd = 0, ndmn = 0;
  xdslsf(work, lwork, nd, ndmn, ier);
  if (ier != 0) return;
  need = static_cast<i32>(std::min<i64>(nd, INT32_MAX));
  needmn = static_cast<i32>(std::min<i64>(ndmn, INT32_MAX));
}

}  // namespace zephsol::sparse
