// xdslif: end of structural input. The pairs of the buffer and of the runs
// on the pair file are merged into one duplicate-free list, and equations
// with identical closed neighbourhoods are grouped into compressed nodes.
//
// Output (word positions in the control block): the compressed row list
// pointer P1 (word 133) and members P2 (134), the compression map cmpmap P3
// (135), and the symmetric adjacency of the compressed graph in original
// numbering, xadj P4 (60) and adjncy P5 (61): only a representative (the
// smallest member of a node) has a list, holding the representatives of
// the adjacent nodes in increasing order.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/compress.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/merge.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/structin.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {

// The two random permutations of the hash keys: n keys each from the
// Park-Miller generator with seed 137539753 and range 2^30, sorted.
void xislrn(double& seed, i64 range, i64 n, iword* out) {
  if (range < 1) range = 1;
  double s = seed;
  for (i64 k = 0; k < n; ++k) {
    s = std::fmod(s * 16807.0, 2147483647.0);
    out[k] = static_cast<i32>(std::floor(s * 4.656612873077393e-10 * static_cast<double>(range))) + 1;
  }
  seed = std::floor(s);
}

void xislrp(i64 n, iword* pi1, iword* pi2, iword* keys) {
  double seed = 137539753.0;
  i32 ier = 0;
  for (iword* pi : {pi1, pi2}) {
    xislrn(seed, i64{1} << 30, n, keys);
    HJSRTN(keys, n, 0, 1, pi, ier);
  }
}

namespace {

// The arrays of the compression: eight integer arrays of n+1 entries.
struct Keys {
  IVec pi1, pi2, k1, k2, k3, k4, orig, optr;
};

Keys key_arrays(const Work& w, i64 n) {
  const i64 X = xisl2d(n + 1);
  auto a = [&](int k) { return w.ints(201 + k * X, n + 1); };
  return {a(0), a(1), a(2), a(3), a(4), a(5), a(6), a(7)};
}

// Hash keys over closed neighbourhoods, one batch of pairs (column t, row
// u) at a time: K1 sums the equations, K2 and K3 their images under pi1 and
// pi2, K4 keeps the smallest. Sums are reduced modulo h = 2^31-1-n once
// they could overflow. Also sets the pointer of each column to its first
// pair (offset + position in the batch).
void xislhk(i64 n, const Keys& k, const iword* cols, const iword* rows, i64 count, i64 offset, i64& lastcol) {
  const i64 h = 2147483647LL - n;
  const bool plain = static_cast<double>(n) * static_cast<double>(n) < static_cast<double>(h);
  auto add_col = [&](iword& s, i64 v) {
    i64 t = s + v;
    if (!plain && t > h) t -= h;
    s = static_cast<i32>(t);
  };
  auto add_row = [&](iword& s, i64 v) {
    i64 t = s + v;
    if (!plain) {
      t %= h;
      if (t > h) t -= h;
    }
    s = static_cast<i32>(t);
  };
  for (i64 l = 1; l <= count; ++l) {
    const i32 t = cols[l - 1], u = rows[l - 1];
    if (t != lastcol) {
      for (i64 c = lastcol + 1; c <= t; ++c) k.optr(c) = static_cast<i32>(offset + l);
      lastcol = t;
    }
    add_col(k.k1(t), u);
    add_col(k.k2(t), k.pi1(u));
    add_col(k.k3(t), k.pi2(u));
    k.k4(t) = std::min<i32>(k.k4(t), u);
    if (u != t) {
      add_row(k.k1(u), t);
      add_row(k.k2(u), k.pi1(t));
      add_row(k.k3(u), k.pi2(t));
      k.k4(u) = std::min<i32>(k.k4(u), t);
    }
  }
}

void init_keys(i64 n, const Keys& k) {
  for (i64 i = 1; i <= n; ++i) {
    k.k1(i) = static_cast<i32>(i);
    k.k2(i) = k.pi1(i);
    k.k3(i) = k.pi2(i);
    k.k4(i) = static_cast<i32>(i);
    k.orig(i) = static_cast<i32>(i);
  }
}

// The one-sided rows of equation c (the pairs whose column is c), from the
// in-core buffer or through a window on the merged run.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // Sets rows to the rows of c; false on a read error.
  virtual bool rows(i64 c, const iword*& rows, i64& count) = 0;
};

class CoreRows : public RowSource {
 public:
  CoreRows(IVec optr, IVec rowlst) : optr_(optr), rowlst_(rowlst) {}
  bool rows(i64 c, const iword*& rows, i64& count) override {
    rows = rowlst_.data() + (optr_(c) - 1);
    count = optr_(c + 1) - optr_(c);
    return true;
  }

 private:
  IVec optr_, rowlst_;
};

class FileRows : public RowSource {
 public:
  FileRows(i32 unit, i64 n, i64 total, IVec optr, IVec rowwin, IVec colwin)
      : unit_(unit), n_(n), total_(total), optr_(optr), rowwin_(rowwin), colwin_(colwin) {}
  bool rows(i64 c, const iword*& rows, i64& count) override {
    const i64 b = optr_(c), e = optr_(c + 1);
    count = e - b;
    if (count > 0 && (b < first_ || e > first_ + loaded_)) {
      loaded_ = std::min(n_, total_ - b + 1);
      first_ = b;
      i32 ier = 0;
      xislw1(unit_, rowwin_.data(), colwin_.data(), b, loaded_, ier);
      if (ier != 0) return false;
    }
    rows = rowwin_.data() + (b - first_);
    return true;
  }

 private:
  i32 unit_;
  i64 n_, total_;
  IVec optr_, rowwin_, colwin_;
  i64 first_ = 1, loaded_ = 0;
};

// Result of the compression.
struct Compressed {
  i64 ncomp = 0;
  i64 nzcomp = 0;
  bool fits = true;
};

// Check 12 on unit 6: every later member's one-sided list equals the tail
// of the first member's list of the same length.
void check_groups(const char* title, i64 ngroups, const iword* start, const iword* member, RowSource& src) {
  for (i64 g = 1; g <= ngroups; ++g) {
    const i64 b = start[g - 1], e = start[g];
    if (e - b < 2) continue;
    const i32 j1 = member[b - 1];
    const iword* r1 = nullptr;
    i64 n1 = 0;
    src.rows(j1, r1, n1);
    const std::vector<i32> l1(r1, r1 + n1);
    for (i64 q = b + 1; q < e; ++q) {
      const i32 j2 = member[q - 1];
      const iword* r2 = nullptr;
      i64 n2 = 0;
      src.rows(j2, r2, n2);
      for (i64 k = 1; k <= n2; ++k) {
        const i64 k1 = n1 - k, k2 = n2 - k;
        if (k1 >= 0 && l1[k1] == r2[k2]) continue;
        unit_write_line(6, title);
        unit_write_line(6, fline("('i, jbgn, jend               = ',3I8)", {g, b, e - 1}));
        unit_write_line(6, fline("('jcol1, k1bgn, k1end, k1     = ',4I8)", {j1, 1, n1, k1 + 1}));
        unit_write_line(6, fline("('jcol2, k2bgn, k2end, k2     = ',4I8)", {j2, 1, n2, k2 + 1}));
        unit_write_line(6, fline("('rowlst(k1), rowlst(k2)      = ',2I8)", {k1 >= 0 ? l1[k1] : 0, r2[k2]}));
        unit_write_line(6, fline("('collst(k1), collst(k2)      = ',2I8)", {j1, j2}));
        break;
      }
    }
  }
}

// Grouping, numbering of the nodes, compressed one-sided adjacency and its
// repair (xislcm / xislcf after the hash keys). The lists go to ptr (by
// node: pi2's array), members (K1's), cmpmap (K2's), the one-sided pointer
// by equation (K3's) and clist (capacity cap).
bool compress(i64 n, const Keys& k, RowSource& src, IVec clist, i64 cap, bool checks, Compressed& out) {
  // Sorted positions by (K1, K2, K3, K4, equation).
  std::sort(k.orig.data(), k.orig.data() + n, [&](i32 a, i32 b) {
    if (k.k1(a) != k.k1(b)) return k.k1(a) < k.k1(b);
    if (k.k2(a) != k.k2(b)) return k.k2(a) < k.k2(b);
    if (k.k3(a) != k.k3(b)) return k.k3(a) < k.k3(b);
    if (k.k4(a) != k.k4(b)) return k.k4(a) < k.k4(b);
    return a < b;
  });
  // Group starts in pi1's array.
  i64 ng = 0;
  for (i64 p = 1; p <= n; ++p) {
    const i32 a = k.orig(p), b = p > 1 ? k.orig(p - 1) : 0;
    if (p == 1 || k.k1(a) != k.k1(b) || k.k2(a) != k.k2(b) || k.k3(a) != k.k3(b) || k.k4(a) != k.k4(b))
      k.pi1(++ng) = static_cast<i32>(p);
  }
  k.pi1(ng + 1) = static_cast<i32>(n + 1);
  if (checks) check_groups("compression failure 12", ng, k.pi1.data(), k.orig.data(), src);
  // Nodes in the order of their first members (K4's array holds the firsts).
  for (i64 g = 1; g <= ng; ++g) k.k4(g) = k.orig(k.pi1(g));
  i32 ier = 0;
  HJSRTN(k.k4.data(), ng, 0, 0, k.k3.data(), ier);
  if (ier != 0) return false;
  const IVec ptr = k.pi2, member = k.k1, cmpmap = k.k2;
  ptr(1) = 1;
  for (i64 node = 1; node <= ng; ++node) {
    const i64 g = k.k3(node);
    i64 at = ptr(node);
    for (i64 p = k.pi1(g); p < k.pi1(g + 1); ++p) {
      member(at++) = k.orig(p);
      cmpmap(k.orig(p)) = static_cast<i32>(node);
    }
    ptr(node + 1) = static_cast<i32>(at);
  }
  out.ncomp = ng;
  if (checks) {
    i32 prev = 0;
    for (i64 node = 1; node <= ng; ++node) {
      const i32 first = member(ptr(node));
      if ((node == 1 && first != 1) || first <= prev)
        unit_write_line(6, fline("('comp. failure 20 - jcol1, jcolo = ',2I8)", {first, prev}));
      prev = first;
    }
    check_groups("compression failure 22", ng, ptr.data(), member.data(), src);
  }
  auto rep = [&](i32 eq) { return member(ptr(cmpmap(eq))); };
  // Compressed one-sided adjacency: the representatives adjacent to each
  // representative r and greater than r.
  const IVec cptr = k.k3, scratch = k.orig;
  i64 len = 0, stored = 0;
  i64 prev_rep = 0;
  for (i64 node = 1; node <= ng; ++node) {
    const i32 r = member(ptr(node));
    for (i64 e = prev_rep + 1; e <= r; ++e) cptr(e) = static_cast<i32>(stored + 1);
    prev_rep = r;
    const iword* rows = nullptr;
    i64 cnt = 0;
    if (!src.rows(r, rows, cnt)) return false;
    i64 m = 0;
    for (i64 q = 0; q < cnt; ++q) {
      const i32 s = rep(rows[q]);
      if (s > r) scratch(++m) = s;
    }
    if (m > 1) xislso(m, scratch.data(), ier);
    for (i64 q = 1; q <= m; ++q) {
      if (q > 1 && scratch(q) == scratch(q - 1)) continue;
      ++len;
      if (out.fits && len <= cap) {
        clist(len) = scratch(q);
        stored = len;
      } else {
        out.fits = false;
      }
    }
  }
  for (i64 e = prev_rep + 1; e <= n + 1; ++e) cptr(e) = static_cast<i32>(stored + 1);
  out.nzcomp = len;
  if (!out.fits) return true;
  // Repair: every connection of every member must be in its node's list.
  bool altered = false;
  for (i64 c = 1; c <= n; ++c) {
    const i32 rc = rep(static_cast<i32>(c));
    const iword* rows = nullptr;
    i64 cnt = 0;
    if (!src.rows(c, rows, cnt)) return false;
    i64 m = 0;
    for (i64 q = 0; q < cnt; ++q) {
      const i32 s = rep(rows[q]);
      if (s > rc) scratch(++m) = s;
    }
    if (m > 1) xislso(m, scratch.data(), ier);
    for (i64 q = 1; q <= m; ++q) {
      if (q > 1 && scratch(q) == scratch(q - 1)) continue;
      const i32 s = scratch(q);
      const iword* b = clist.data() + (cptr(rc) - 1);
      const iword* e = clist.data() + (cptr(rc + 1) - 1);
      const iword* at = std::lower_bound(b, e, s);
      if (at != e && *at == s) continue;
      if (out.nzcomp + 1 > cap) continue;
      // xislis: insert in order, later entries and pointers up by one.
      const i64 pos = (at - clist.data()) + 1;
      xislmv(out.nzcomp - pos + 1, clist.data(), pos, pos + 1);
      clist(pos) = s;
      for (i64 e2 = rc + 1; e2 <= n + 1; ++e2) ++cptr(e2);
      ++out.nzcomp;
      altered = true;
    }
  }
  if (altered) {
    unit_write_line(6, fline("('altered number of compressed nonzeroes = ',I10)", {out.nzcomp}));
    xislpr("compressed xadj  ", n + 1, cptr.data(), 6);
    xislpr("compressed adjncy", out.nzcomp, clist.data(), 6);
  }
  return true;
}

// xislmg: the runs of the pair file merged into one when they overlap in
// columns (xislm2 for two runs: by column and row, duplicates dropped).
// Returns the pair count of the merged run, or -1 on a file error.
i64 xislmg(const Work& w, i64 runs, bool overlap, i64 L, i64 R1, i64 R2, i64 R3, i64 R4, MergeFiles& f) {
  const IVec start = w.ints(201, runs), length = w.ints(R1, runs);
  if (runs == 1 || !overlap) {
    const i64 total = start(runs) + length(runs) - 1;
    f.largest[0] = f.moved[0] = total;
    f.final_file = 0;
    return total;
  }
  const i64 wl = xisl2d(L);
  RunMerger<PairRuns> m({w.ints(R4 + wl, L), w.ints(R4, L), {}}, {w.ints(R4 + 3 * wl, L), w.ints(R4 + 2 * wl, L), {}},
                        {w.ints(R4 + 4 * wl + L, 2 * L), w.ints(R4 + 4 * wl, 2 * L), {}}, L);
  return merge_runs(m, start, length, w.ints(R2, runs), w.ints(R3, runs), runs, 0, f, [](i32) {});
}

// Closes the scratch files of a failed call, whatever their state.
void close_quietly(std::initializer_list<i32> units) {
  for (i32 u : units) {
    i32 e = 0;
    if (scratch_open(u)) xislcl(u, e);
  }
}

void print_counts(const Call& c, i64 n, i64 nnz, i64 ncomp, i64 nzcomp) {
  if (c.msglvl < 1) return;
  unit_write_line(c.msgunit, "");
  count_line(c, "number of rows in matrix                = ", n);
  count_line(c, "number of nonzeroes in full matrix      = ", nnz);
  count_line(c, "number of compressed nodes in matrix    = ", ncomp);
  count_line(c, "number of compressed nonzeroes          = ", nzcomp);
}

// xislsy: the full symmetric adjacency from the one-sided lists, in place
// in list (2 nzcomp entries), pointers into full; every list ascending.
void xislsy(i64 n, IVec optr, IVec list, IVec full, IVec cursor) {
  std::fill(full.data(), full.data() + n + 1, 0);
  for (i64 j = 1; j <= n; ++j)
    for (i64 q = optr(j); q < optr(j + 1); ++q) {
      ++full(j);
      ++full(list(q));
    }
  i64 at = 1;
  for (i64 j = 1; j <= n + 1; ++j) {
    const i64 d = j <= n ? full(j) : 0;
    full(j) = static_cast<i32>(at);
    at += d;
  }
  // Each list is filled from its end: a column's own (larger) entries
  // first, in descending order, then the smaller neighbours as the columns
  // are visited from the last down. Writes never reach an unread entry.
  for (i64 j = 1; j <= n; ++j) cursor(j) = full(j + 1);
  for (i64 j = n; j >= 1; --j)
    for (i64 q = optr(j + 1) - 1; q >= optr(j); --q) {
      const i32 k = list(q);
      list(--cursor(j)) = k;
      list(--cursor(k)) = static_cast<i32>(j);
    }
}

}  // namespace

void xdslif(double* work, i32 lwork, i32& need, i32& ier) {
  ier = 0;
  Call c(work, lwork, "xdslif");
  const Work& w = c.w;
  const i64 st = c.stage();
  if (st != stage::initialised && st != stage::structure) {
    ier = err::input_stage;
    fatal(c, ier, 3, 0, stage_text("xdslif", st, "should be either 1 or 2."));
    w.set(cw::stage, stage::failed);
    return;
  }
  const i64 n = w.ictl(cw::neqns);
  const i64 X = xisl2d(n + 1), N = xisl2d(n);
  const i64 m = std::min<i64>(n, 10000), aux = xisl2d(m);
  double in_cpu = 0, in_wall = 0;
  xdslte(w.ctl(cw::cpu_input), w.ctl(cw::wall_input), in_cpu, in_wall);
  const i32 lunit3 = static_cast<i32>(w.ictl(cw::lunit3)), lunit4 = static_cast<i32>(w.ictl(cw::lunit4));
  auto fail = [&](i32 code, i32 mode, i64 extra, const std::vector<std::string>& text) {
    ier = code;
    fatal(c, ier, mode, extra, text);
    w.set(cw::stage, stage::failed);
  };
  auto io_fail = [&] {
    close_quietly({lunit3, lunit4});
    std::vector<std::string> t = io_text("xdslif", lunit3);
    t[1] += fline("(5X,'or on i/o file no. ',I15)", {lunit4});
    fail(err::input_io, 3, 0, t);
  };

  i64 ncomp = n, nzcomp = 0, nnz = 0, peak = 0;
  i64 P1 = 201, P2 = 0, P3 = 0, P4 = 0, P5 = 0;
  if (st == stage::initialised) {
    P2 = P1 + X;
    P3 = P2 + N;
    P4 = P3 + N;
    P5 = P4 + X;
    IVec p1 = w.ints(P1, n + 1), p2 = w.ints(P2, n), p3 = w.ints(P3, n), p4 = w.ints(P4, n + 1);
    for (i64 i = 1; i <= n + 1; ++i) {
      p1(i) = static_cast<i32>(i);
      p4(i) = 1;
    }
    for (i64 i = 1; i <= n; ++i) p2(i) = p3(i) = static_cast<i32>(i);
    peak = P5 - 1;
  } else {
    if (w.ictl(cw::collst) != 201 + 2 * aux + X)
      sparse_stop({"storage oops in xdslif", fline("('ineqn1, acolls = ',3I8)", {X, w.ictl(cw::collst)})});
    if (w.ictl(cw::last) > lwork)
      return fail(err::input_space, 2, w.ictl(cw::last), need_text("xdslif", w.ictl(cw::last), lwork));
    i64 cap = w.ictl(cw::cap), cnt = w.ictl(cw::npairs), runs = w.ictl(cw::runs), lastcol = w.ictl(cw::lastcol),
        overlap = w.ictl(cw::overlap);
    IVec collst = w.ints(w.ictl(cw::collst), cap), rowlst = w.ints(w.ictl(cw::rowlst), cap),
         scratch = w.ints(w.ictl(cw::flushbuf), cap);
    i32 e = 0;
    xisliz(1, static_cast<i32>(n), cnt, cap, runs, m, lastcol, overlap, lunit3, 2 * (i64{lwork} - 200), rowlst,
           collst, scratch, w.ints(201, m), w.ints(201 + aux, m), w.ints(201 + 2 * aux, n + 1), e);
    if (e != 0) return io_fail();
    const Keys k = key_arrays(w, n);
    Compressed res;
    IVec clist;
    if (runs == 0) {
      // In core: the pairs to the top of work, the eight arrays from 201.
      nnz = cnt;
      const i64 T1 = lwork - xisl2d(cnt) + 1, T2 = T1 - xisl2d(cnt);
      std::memmove(w.ints(T1, cnt).data(), rowlst.data(), static_cast<std::size_t>(cnt) * 4);
      std::memmove(w.ints(T2, cnt).data(), collst.data(), static_cast<std::size_t>(cnt) * 4);
      rowlst = w.ints(T1, cnt);
      collst = w.ints(T2, cnt);
      xislrp(n, k.pi1.data(), k.pi2.data(), k.k1.data());
      peak = lwork - 2 * w.ictl(cw::cap) + 2 * cnt;
      init_keys(n, k);
      i64 last = 0;
      xislhk(n, k, collst.data(), rowlst.data(), cnt, 0, last);
      for (i64 j = last + 1; j <= n + 1; ++j) k.optr(j) = static_cast<i32>(cnt + 1);
      CoreRows src(k.optr, rowlst);
      clist = collst;
      if (!compress(n, k, src, clist, cnt, true, res)) return fail(err::input_io, 3, 0, io_text("xdslif", lunit3));
      print_counts(c, n, nnz, res.ncomp, res.nzcomp);
    } else {
      // Through the files: merge the runs, then compress in windows.
      i32 e2 = 0;
      xislop(lunit4, e2);
      if (e2 != 0) return io_fail();
      const i64 r = xisl2d(runs);
      const i64 R1 = 201 + r, R2 = R1 + r, R3 = R2 + r, R4 = R3 + r;
      xislmv(runs, w.ints(201, 2 * aux + runs).data(), 2 * aux + 1, 2 * r + 1);
      const i64 L = 2 * ((i64{lwork} - R4) / 8);
      MergeFiles f{{lunit3, lunit4}};
      if (L < 1) {
        close_quietly({lunit3, lunit4});
        return fail(err::input_space, 2, R4 + 8, need_text("xdslif", R4 + 8, lwork));
      }
      const i64 total = xislmg(w, runs, overlap != 0, L, R1, R2, R3, R4, f);
      if (total < 0) return io_fail();
      nnz = total;
      // File statistics in integers (two per pair), as double words.
      w.set(cw::extent3, static_cast<double>(xisl2d(2 * f.largest[0])));
      w.set(cw::moved3, static_cast<double>(xisl2d(2 * f.moved[0])));
      w.set(cw::extent4, static_cast<double>(xisl2d(2 * f.largest[1])));
      w.set(cw::moved4, static_cast<double>(xisl2d(2 * f.moved[1])));
      const i32 unit = f.unit[f.final_file];
      const i64 Q8 = 201 + 8 * X;
      const i64 L2 = 2 * ((i64{lwork} - Q8 + 1) / 2);
      if (L2 < n) {
        close_quietly({lunit3, lunit4});
        return fail(err::input_space, 2, 10 * X + 200, need_text("xdslif", 10 * X + 200, lwork));
      }
      IVec cols = w.ints(Q8, L2), rows = w.ints(Q8 + xisl2d(L2), L2);
      xislrp(n, k.pi1.data(), k.pi2.data(), k.k1.data());
      init_keys(n, k);
      i64 last = 0;
      for (i64 done = 0; done < total;) {
        const i64 b = std::min(L2, total - done);
        xislw1(unit, rows.data(), cols.data(), done + 1, b, e2);
        if (e2 != 0) return io_fail();
        xislhk(n, k, cols.data(), rows.data(), b, done, last);
        done += b;
      }
      for (i64 j = last + 1; j <= n + 1; ++j) k.optr(j) = static_cast<i32>(total + 1);
      FileRows src(unit, n, total, k.optr, k.pi1, k.k4);
      clist = w.ints(Q8, 2 * L2);
      if (!compress(n, k, src, clist, 2 * L2, false, res)) return io_fail();
      print_counts(c, n, nnz, res.ncomp, res.nzcomp);
      if (!res.fits) {
        close_quietly({lunit3, lunit4});
        const i64 fig = 8 * X + xisl2d(2 * res.nzcomp) + 200;
        return fail(err::input_space, 2, fig, need_text("xdslif", fig, lwork));
      }
      xislcl(lunit3, e2);
      i32 e3 = 0;
      xislcl(lunit4, e3);
      if (e2 != 0 || e3 != 0) return io_fail();
      peak = lwork;
    }
    ncomp = res.ncomp;
    nzcomp = res.nzcomp;
    // Final layout P1 ... P5, then the scratch P6 (n+1) and P7 (n).
    P2 = P1 + xisl2d(ncomp + 1);
    P3 = P2 + N;
    P4 = P3 + N;
    P5 = P4 + X;
    const i64 P6 = P5 + xisl2d(2 * nzcomp), P7 = P6 + X, end = P7 + N - 1;
    if (end > lwork) return fail(err::input_space, 2, end, need_text("xdslif", end, lwork));
    peak = std::max(peak, end);
    std::memmove(w.ints(P1, ncomp + 1).data(), k.pi2.data(), static_cast<std::size_t>(ncomp + 1) * 4);
    std::memmove(w.ints(P2, n).data(), k.k1.data(), static_cast<std::size_t>(n) * 4);
    std::memmove(w.ints(P3, n).data(), k.k2.data(), static_cast<std::size_t>(n) * 4);
    std::memmove(w.ints(P4, n + 1).data(), k.k3.data(), static_cast<std::size_t>(n + 1) * 4);
    std::memmove(w.ints(P5, nzcomp).data(), clist.data(), static_cast<std::size_t>(nzcomp) * 4);
    xislsy(n, w.ints(P4, n + 1), w.ints(P5, 2 * nzcomp), w.ints(P6, n + 1), w.ints(P7, n));
    std::memmove(w.ints(P4, n + 1).data(), w.ints(P6, n + 1).data(), static_cast<std::size_t>(n + 1) * 4);
  }
  // Tail: times, dumps, the need of the ordering phase, the control words.
  double cpu = 0, wall = 0;
  xdslte(w.ctl(cw::cpu_input), w.ctl(cw::wall_input), cpu, wall);
  if (c.msglvl == 3) xislpr("compressed adjacency pointer array", n + 1, w.ints(P4, n + 1).data(), c.msgunit);
  if (c.msglvl >= 4)
    xislpa("compressed adj. structure of org. matrix", n, w.ints(P4, n + 1).data(), w.ints(P5, 2 * nzcomp).data(),
           c.msgunit);
  input_times(c,
              {"cpu  time for structural input          = ", "wall time for structural input          = ",
               "cpu  time for struct. inp. processing   = ", "wall time for struct. inp. processing   = "},
              in_cpu, in_wall, cpu, wall);
  const i64 cc = ncomp, z = nzcomp;
  i64 fig = 200 + xisl2d(std::max({10 * cc + 6 * n + 2, 7 * n + 8 * cc + 2, 9 * n + 2 * cc + 1}) + 2 * z + cc + 3 * n + 40);
  if (w.ictl(cw::lunit1) < 0) fig += xisl2d(2 * z + n + 3);
  need = static_cast<i32>(std::min<i64>(fig, INT32_MAX));
  w.set(cw::stage, stage::compressed);
  w.set(cw::last, static_cast<double>(P5 + xisl2d(2 * nzcomp) - 1));
  w.set(cw::need, static_cast<double>(fig));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(peak)));
  w.set(cw::nnz, static_cast<double>(nnz));
  w.set(cw::nnzb, std::min(w.ctl(cw::nnzb), static_cast<double>(nnz)));
  w.set(cw::ncomp, static_cast<double>(ncomp));
  w.set(cw::nzcomp, static_cast<double>(nzcomp));
  w.set(cw::runs, 0.0);
  w.set(cw::xadj, static_cast<double>(P4));
  w.set(cw::adjncy, static_cast<double>(P5));
  w.set(cw::cpu_input, cpu);
  w.set(cw::wall_input, wall);
  w.set(cw::cptr, static_cast<double>(P1));
  w.set(cw::members, static_cast<double>(P2));
  w.set(cw::cmpmap, static_cast<double>(P3));
}

}  // namespace zephsol::sparse
