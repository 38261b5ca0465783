// hdslf2: the multifrontal LDL^T driver. Supernodes in the order of the
// symbolic phase (a post-order, so a supernode's children are the entries
// on top of the stack); each front is sized, placed over its top child's
// update matrix, assembled, eliminated, and what remains (the update
// matrix with the delayed columns) is pushed over its popped children.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "zephsol/sparse/factor.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// The stack directory: four integers per entry.
struct Stack {
  IVec sn, pos, dir;
  i32& nrow(i64 e) const { return dir(4 * e - 3); }
  i32& old(i64 e) const { return dir(4 * e - 2); }
  i32& ndel(i64 e) const { return dir(4 * e - 1); }
  i32& addr(i64 e) const { return dir(4 * e); }
  // First word (stack area) of the update triangle of entry e in work.
  i64 triangle(i64 e) const {
    const i64 nd = ndel(e), nr = nrow(e);
    return pos(e) + nd + tri(nd) + nr * nd;
  }
};

// Writes the factor kept in work so far to the factor file and gives the
// factor area to the stack. Returns false on a write failure.
bool factor_to_file(const Work& w, FactorArgs& a) {
  const i64 words = static_cast<i64>(a.fwords);
  if (words > 0) {
    i32 e = 0;
    const i64 rec = (a.wafil1_next - 1) / kRecordEntries + 1;
    const i32 off = static_cast<i32>((a.wafil1_next - 1) % kRecordEntries + 1);
    xdslw6(a.lunit3, w.dbl(a.fa, words).data(), rec, off, words, e);
    if (e != 0) return false;
    a.wafil1_next += words;
    a.st.file1_words += words;
  }
  a.slen += a.flen;
  a.flen = 0;
  a.incore = false;
  return true;
}

}  // namespace

i32 hdslf2(const Work& w, FactorArgs& a) {
  const i64 n = a.n, ns = a.nsuper;
  const IVec part = w.ints(a.part, ns + 1), ptr = w.ints(a.ptr, ns + 1), nassem = w.ints(a.nassem, ns);
  const IVec fperm = w.ints(a.fperm, n), panpart = w.ints(a.panpart, n + 1);
  const Stack stk{w.ints(a.stksn, a.maxdepth), w.ints(a.stkpos, a.maxdepth), w.ints(a.stkdir, 4 * a.maxdepth)};
  const IVec gidx = w.ints(a.gidx, std::max<i64>(ptr(ns + 1) - 1, 0));
  double* pert = &w.d(a.pert);
  double* negrec = &w.d(a.negrec);
  a.fwords = 0.0;
  a.npanel = 0;
  panpart(1) = 1;
  a.wafil1_next = 1;
  a.inertia[0] = a.inertia[1] = a.inertia[2] = 0;
  a.st = {};
  std::fill(stk.dir.data(), stk.dir.data() + stk.dir.size(), 0);
  a.stkaddr.assign(static_cast<std::size_t>(a.maxdepth + 1), 0);
  a.wafil2_next = 1;
  for (int k = 1; k <= 4; ++k) pert[k] = negrec[k] = 0.0;
  i64 top = 1, depth = 0, peak = 0, np = 1, glnext = 1;
  double fill = 0.0;
  bool pert_done = false, neg_done = false;

  for (i64 s = 1; s <= ns; ++s) {
    // 1. Sizes.
    Front f;
    f.s = s;
    f.first = part(s);
    f.ncol = part(s + 1) - part(s);
    f.nrow = ptr(s + 1) - ptr(s);
    f.nch = nassem(s);
    if (f.nch > depth) return -4;
    for (i64 c = 0; c < f.nch; ++c) f.nd += stk.ndel(depth - c);
    f.npiv = f.ncol + f.nd;
    f.nf = f.npiv + f.nrow;
    f.blk = std::min(a.panel, f.npiv);
    f.upd = std::min(a.updblk, f.ncol + f.nrow);
    f.np = np;
    const i64 old = ptr(s);
    // 2. Fill check.
    if (a.fill_limit > 0.0 && f.nch >= 1) {
      for (i64 c = 0; c < f.nch; ++c) {
        const i64 e = depth - c;
        fill += static_cast<double>(f.nf - (stk.nrow(e) + stk.ndel(e))) * static_cast<double>(stk.ndel(e));
      }
      if (s != ns && fill > 1000.0 && fill > a.fill_limit) return -10;
    }
    // 3. The front's region: record, packed front, panel, work block
    // (three columns at least for the row-oriented update).
    const i64 wblk = std::max<i64>(f.upd, a.orient == 0 ? 3 : 2) * f.nf;
    const i64 need = (f.blk * f.nf) + wblk + tri(f.nf) + xisl2d(f.nf);
    const bool fits = need <= a.slen + a.flen;
    // 4. Over the top child's update triangle when it is in work.
    i64 start = top;
    if (fits && f.nch > 0) start = stk.pos(depth) > 0 ? stk.triangle(depth) : 1;
    i64 end = start + need - 1;
    // 5. The factor leaves work when this front, its factor or the stack
    // would outgrow their areas.
    const double fnew = a.fwords + static_cast<double>(f.npiv * f.nf - tri(f.npiv));
    if (a.incore && (!fits || fnew > static_cast<double>(a.flen) || end > a.slen)) {
      if (a.lunit3 < 1) return -7;
      if (!factor_to_file(w, a)) return -5;
    }
    // 6. The stack leaves work when the front does not fit beside it.
    if (end > a.slen) {
      if (a.lunit4 < 1) return -8;
      if (!hdslfi(w, a, depth)) return -6;
      top = start = 1;
      end = need;
    }
    // 7. A front that does not fit even then is built and eliminated on
    // the front file.
    const bool ooc = end > a.slen;
    if (ooc && a.lunit4 < 1) return -8;
    if (ooc && (a.lunit3 < 1 || a.lunit6 < 1)) return -7;
    // 8. Assembly.
    f.start = start;
    i64 lowest = 0;
    if (ooc) {
      peak = std::max(peak, a.slen);
      const i32 rc = hdslft(w, a, f, depth);
      if (rc != 0) return rc == -2 ? -9 : rc == -3 ? -13 : rc == -1 ? -6 : -1;
    } else {
      peak = std::max(peak, end);
      const i32 rc = hdslfs(w, a, f, depth, lowest);
      if (rc != 0) return rc == -2 ? -9 : -6;
    }
    // 9-10. Elimination.
    part(s) = static_cast<i32>(a.npanel + 1);
    i64 nelim = 0;
    const bool pert_zero = pert[1] == 0.0, neg_zero = negrec[1] == 0.0;
    i64 ooc_addr = 0;
    i32 rc = ooc ? hdslfo(w, a, f, nelim, ooc_addr) : hdslfe(w, a, f, nelim);
    // A first perturbed or negative pivot: its front position becomes an
    // equation number (the column pivoted there, in the caller's numbering).
    auto convert = [&](double* rec, bool was_zero, bool& done) {
      if (done || !was_zero || rec[2] == 0.0) return;
      const i64 v = static_cast<i64>(rec[2]);
      rec[2] = static_cast<double>(w.ints(a.perm, n)(fperm(np - 1 + v)));
      done = true;
    };
    convert(pert, pert_zero, pert_done);
    convert(negrec, neg_zero, neg_done);
    switch (rc) {
      case 0: break;
      case -1: a.inertia[2] = 1; return -2;
      case -11: return -11;
      case -3: return -6;
      case -4: return -13;
      case -2: return -5;
      default: return -1;
    }
    const i64 ndel = f.npiv - nelim;
    // 11. The index list of the update: delayed columns, then the rows.
    ptr(s) = static_cast<i32>(glnext);
    // End of the packed front in work (nothing of an out-of-core front).
    const i64 fend = ooc ? 0 : f.start + xisl2d(f.nf) + tri(f.nf) - 1;
    if (a.pvttol == 0.0) {
      glnext += f.nrow;
    } else {
      const i64 last = glnext + ndel + f.nrow - 1;
      if (last > a.gl) {
        // Grow the list into the stack area's free words.
        const i64 want = static_cast<i64>(std::max(static_cast<float>(last), 1.2f * static_cast<float>(a.gl)));
        const i64 room = a.slen - fend;
        const i64 grow = std::min(xisl2d(want) - xisl2d(a.gl), room);
        const i64 cap = a.gl + 2 * std::max<i64>(grow, 0);
        if (cap < last) return -1;
        if (grow > 0) {
          if (fend > 0)
            std::memmove(w.dbl(a.sa + grow, fend).data(), w.dbl(a.sa, fend).data(),
                         static_cast<std::size_t>(fend) * 8);
          a.sa += grow;
          a.slen -= grow;
        }
        a.gl = cap;
      }
      const IVec gnew = w.ints(a.varea, a.gl);
      for (i64 q = 0; q < ndel; ++q) gnew(glnext + q) = fperm(np + nelim + q);
      for (i64 q = 0; q < f.nrow; ++q) gnew(glnext + ndel + q) = gidx(old + q);
      glnext += ndel + f.nrow;
    }
    // 12. Push the update matrix over the popped children.
    if (++depth > a.maxdepth) return -4;
    stk.sn(depth) = static_cast<i32>(s);
    stk.nrow(depth) = static_cast<i32>(f.nrow);
    stk.old(depth) = static_cast<i32>(old);
    stk.ndel(depth) = static_cast<i32>(ndel);
    stk.addr(depth) = 0;
    a.stkaddr[static_cast<std::size_t>(depth)] = ooc ? ooc_addr : 0;
    if (ooc) {
      stk.pos(depth) = 0;
      top = 1;
    } else {
      const i64 at = lowest > 0 ? lowest : f.start;
      const i64 t = tri(f.nf - nelim);
      if (t > 0) {
        std::memmove(w.dbl(a.sa + at - 1 + ndel, t).data(), w.dbl(a.sa + fend - t, t).data(),
                     static_cast<std::size_t>(t) * 8);
        const IVec head = w.ints(a.sa + at - 1, ndel);
        for (i64 q = 1; q <= ndel; ++q) head(q) = fperm(np + nelim + q - 1);
      }
      stk.pos(depth) = static_cast<i32>(at);
      top = at + (t > 0 ? ndel + t : 0);
    }
    // 13.
    np += nelim;
  }
  a.glcount = glnext - 1;
  a.slen = peak;
  part(ns + 1) = static_cast<i32>(a.npanel + 1);
  panpart(a.npanel + 1) = static_cast<i32>(np);
  ptr(ns + 1) = static_cast<i32>(glnext);
  if (np - 1 != n) {
    a.inertia[2] = 1;
    return -2;
  }
  return 0;
}

}  // namespace zephsol::sparse
