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
#include "zephsol/sparse/fronts.h"
#include "zephsol/sparse/outcore.h"
#include "zephsol/sparse/subtrees.h"
#include "zephsol/sparse/blas.h"

namespace zephsol::sparse {
namespace {

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

i32 factor_supernode(const Work& w, FactorArgs& a, const Stack& stk, FirstPivots& first, i64 s, DriverState& d,
                     FrontTrace* trace) {
  const IVec part = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  const IVec fperm = w.ints(a.fperm, a.n);
  i64& top = d.top;
  i64& depth = d.depth;
  // 1-2. Sizes, fill check.
  Front f;
  if (!front_sizes(w, a, stk, s, depth, d.np, f)) return drv::stack_depth;
  const i64 old = ptr(s);
  const double fill0 = d.fill;
  if (fill_exceeded(a, stk, f, depth, d.fill)) return drv::fill;
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
  const double fwords0 = a.fwords;
  const double fnew = a.fwords + static_cast<double>(f.npiv * f.nf - tri(f.npiv));
  if (a.incore && (!fits || fnew > static_cast<double>(a.flen) || end > a.slen)) {
    if (a.lunit3 < 1) return drv::no_factor_file;
    if (!factor_to_file(w, a)) return drv::factor_io;
  }
  // 6. The stack leaves work when the front does not fit beside it.
  if (end > a.slen) {
    if (a.lunit4 < 1) return drv::no_stack_file;
    if (!hdslfi(w, a, depth)) return drv::stack_io;
    top = start = 1;
    end = need;
  }
  // 7. A front that does not fit even then is built and eliminated on
  // the front file.
  const bool ooc = end > a.slen;
  if (ooc && a.lunit4 < 1) return drv::no_stack_file;
  if (ooc && (a.lunit3 < 1 || a.lunit6 < 1)) return drv::no_factor_file;
  // 8. Assembly.
  f.start = start;
  i64 lowest = 0;
  if (ooc) {
    d.peak = std::max(d.peak, a.slen);
    const i32 rc = hdslft(w, a, f, depth);
    if (rc != 0) return rc == -2 ? drv::values_io : rc == -3 ? drv::front_io : rc == -1 ? drv::stack_io : drv::storage;
  } else {
    d.peak = std::max(d.peak, end);
    const i32 rc = hdslfs(w, a, f, depth, lowest);
    if (rc != 0) return rc == -2 ? drv::values_io : drv::stack_io;
  }
  // 9-10. Elimination.
  part(s) = static_cast<i32>(a.npanel + 1);
  i64 nelim = 0;
  first.start_front();
  i64 ooc_addr = 0;
  i32 rc = ooc ? hdslfo(w, a, f, nelim, ooc_addr) : hdslfe(w, a, f, nelim);
  first.name(w, a, fperm, d.np);
  switch (rc) {
    case 0: break;
    case -1: a.inertia[2] = 1; return drv::singular;
    case -11: return drv::negative;
    case -3: return drv::stack_io;
    case -4: return drv::front_io;
    case -2: return drv::factor_io;
    default: return drv::storage;
  }
  const i64 ndel = f.npiv - nelim;
  // 11. The index list of the update: delayed columns, then the rows.
  // End of the packed front in work (nothing of an out-of-core front).
  const i64 fend = ooc ? 0 : f.start + xisl2d(f.nf) + tri(f.nf) - 1;
  if (!extend_index_list(w, a, f, nelim, fend, d.glnext)) return drv::storage;
  // 12. Push the update matrix over the popped children.
  if (++depth > a.maxdepth) return drv::stack_depth;
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
      for (i64 q = 1; q <= ndel; ++q) head(q) = fperm(d.np + nelim + q - 1);
    }
    stk.pos(depth) = static_cast<i32>(at);
    top = at + (t > 0 ? ndel + t : 0);
  }
  if (trace != nullptr) *trace = {need, start, fend, depth, ndel, f.nrow, d.fill - fill0, fwords0, fnew - fwords0};
  // 13.
  d.np += nelim;
  return drv::ok;
}

i32 factor_loop(const Work& w, FactorArgs& a, const Stack& stk, DriverState& d, std::vector<FrontTrace>* trace,
                FactorPieces* pieces) {
  // Subtrees at the bottom of the tree factorised at once, ahead of the
  // loop, when there are threads to share them.
  SubtreeRuns ahead(w, a, ProductTeam::size());
  FirstPivots first(&w.d(a.pert), &w.d(a.negrec));
  for (i64 s = 1; s <= a.nsuper; ++s) {
    if (const i64 last = ahead.splice(w, a, stk, s, d, trace, pieces); last > 0) {
      s = last;
      continue;
    }
    FrontTrace t;
    const double fw = a.fwords;
    if (const i32 rc = factor_supernode(w, a, stk, first, s, d, trace != nullptr ? &t : nullptr); rc != drv::ok)
      return rc;
    if (trace != nullptr) trace->push_back(t);
    const i64 at = static_cast<i64>(fw), len = static_cast<i64>(a.fwords) - at;
    if (pieces != nullptr && len > 0) pieces->add(at, len, w.dbl(a.fa + at, len).data());
  }
  return drv::ok;
}

i32 hdslf2(const Work& w, FactorArgs& a) {
  const i64 n = a.n, ns = a.nsuper;
  const IVec part = w.ints(a.part, ns + 1), ptr = w.ints(a.ptr, ns + 1);
  const IVec panpart = w.ints(a.panpart, n + 1);
  const Stack stk(w, a);
  start_factorisation(w, a, stk);
  DriverState d;
  if (const i32 rc = factor_loop(w, a, stk, d, nullptr, nullptr); rc != drv::ok) return rc;
  a.glcount = d.glnext - 1;
  a.slen = d.peak;
  part(ns + 1) = static_cast<i32>(a.npanel + 1);
  panpart(a.npanel + 1) = static_cast<i32>(d.np);
  ptr(ns + 1) = static_cast<i32>(d.glnext);
  if (d.np - 1 != n) {
    a.inertia[2] = 1;
    return drv::singular;
  }
  return drv::ok;
}

}  // namespace zephsol::sparse
