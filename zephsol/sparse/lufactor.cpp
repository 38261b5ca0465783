// hdslu2: the multifrontal LU driver. Supernodes in the order of the
// symbolic phase (a post-order); each front is sized, placed over its top
// child's update matrix (behind the child's delayed columns when it has
// some), assembled, eliminated, and what remains (the update matrix with the
// delayed columns, two triangles) is pushed over its popped children. When
// the factor kept in work would outgrow its area it moves to the two factor
// files for good; when a front does not fit beside an empty stack it is
// built and eliminated on the front file.
#include <algorithm>
#include <cstring>
#include <limits>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/fronts.h"
#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

constexpr i64 h(i64 k) { return xisl2d(k); }

// Words of panel records: for supernode s (its index list rows, its panels
// in the panel partition) fn(words) per panel, in order.
template <class Fn>
void panel_records(const IVec& snpan, const IVec& ptr, const IVec& panpart, i64 s, Fn&& fn) {
  const i64 rows = ptr(s + 1) - ptr(s);
  i64 left = panpart(snpan(s + 1)) - panpart(snpan(s));
  for (i64 p = snpan(s); p < snpan(s + 1); ++p) {
    const i64 k = panpart(p + 1) - panpart(p);
    left -= k;
    fn(tri(k - 1) + (rows + left) * k);
  }
}

}  // namespace

i32 lu_factor_to_files(const Work& w, FactorArgs& a, i64 upto) {
  const IVec snpan = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  const IVec panpart = w.ints(a.panpart, a.n + 1);
  const double* src = w.dbl(a.fa, std::max<i64>(a.flen, 0)).data();
  i64 addr = a.wafil1_next, off = 0;
  for (i64 t = 1; t < upto; ++t) {
    i32 rc = 0;
    panel_records(snpan, ptr, panpart, t, [&](i64 words) {
      if (rc != 0 || words == 0) return;
      const i64 rec = (addr - 1) / kRecordEntries + 1;
      const i32 at = static_cast<i32>((addr - 1) % kRecordEntries + 1);
      i32 e = 0;
      xdslw6(a.lunit3, src + off, rec, at, words, e);
      if (e != 0) {
        rc = drv::factor_io;
        return;
      }
      xdslw6(a.lunit5, src + off + words, rec, at, words, e);
      if (e != 0) {
        rc = drv::factor2_io;
        return;
      }
      addr += words;
      off += 2 * words;
    });
    if (rc != 0) return rc;
  }
  a.st.file1_words += addr - a.wafil1_next;
  a.wafil1_next = addr;
  a.slen += a.flen;
  a.fa = 0;
  a.flen = 0;
  a.incore = false;
  return 0;
}

i32 xdslrb(i64 nsuper, const iword* snpan, const iword* ptr, const iword* panpart, i32 lunit3, i32 lunit5,
           double* dst) {
  const IVec sp(const_cast<iword*>(snpan), nsuper + 1), pt(const_cast<iword*>(ptr), nsuper + 1);
  const IVec pp(const_cast<iword*>(panpart), snpan[nsuper]);
  i64 record = 1;
  i32 offset = 1;
  i32 ier = 0;
  for (i64 s = 1; s <= nsuper && ier == 0; ++s) {
    panel_records(sp, pt, pp, s, [&](i64 words) {
      if (ier != 0 || words == 0) return;
      i32 e = 0;
      xdslw5(lunit3, dst, record, offset, words, e);
      if (e != 0) {
        ier = 1;
        return;
      }
      xdslw5(lunit5, dst + words, record, offset, words, e);
      if (e != 0) {
        ier = 2;
        return;
      }
      dst += 2 * words;
      xdslwn(record, offset, words);
    });
  }
  return ier;
}

bool hdslui(const Work& w, FactorArgs& a, i64 depth) { return hdslfi(w, a, depth, 2); }

i32 hdslu2(const Work& w, FactorArgs& a) {
  const i64 n = a.n, ns = a.nsuper;
  const IVec part = w.ints(a.part, ns + 1), ptr = w.ints(a.ptr, ns + 1);
  const IVec fperm = w.ints(a.fperm, n), panpart = w.ints(a.panpart, n + 1);
  const Stack stk(w, a);
  double* pert = &w.d(a.pert);
  double* negrec = &w.d(a.negrec);
  start_factorisation(w, a, stk);
  i64 top = 1, depth = 0, peak = 0, np = 1, glnext = 1;
  double fill = 0.0;
  FirstPivots first(pert, negrec);

  for (i64 s = 1; s <= ns; ++s) {
    // 2-3. Sizes, fill limit.
    Front f;
    if (!front_sizes(w, a, stk, s, depth, np, f)) return drv::stack_depth;
    const i64 old = ptr(s), T = tri(f.nf);
    if (fill_exceeded(a, stk, f, depth, fill)) return drv::fill;
    // 4-5. The front's region and its start: over the top child, behind
    // the child's delayed columns when it has some.
    const i64 need = 2 * ((f.blk + f.upd) * f.nf + T + h(f.nf));
    const bool fits = need <= a.slen + a.flen;
    i64 start = top;
    if (fits && f.nch > 0) {
      const i64 q = stk.pos(depth), nd = stk.ndel(depth), len = stk.nrow(depth);
      start = q == 0 ? 1 : nd == 0 ? q : q + nd + 2 * (tri(nd) + nd * len) + tri(len);
    }
    i64 end = start + need - 1;
    // 6. The factor leaves work when this front, its factor or the stack
    // would outgrow their areas.
    if (a.incore) {
      const i64 fnext = static_cast<i64>(a.fwords) + 2 * (f.nf * f.npiv - tri(f.npiv));
      const bool over = fnext > std::numeric_limits<i32>::max() || fnext > a.flen;
      if (!fits || over || end > a.slen) {
        if (a.lunit3 < 1 || a.lunit5 < 1) {
          if (a.lunit4 < 1 || over) return drv::no_factor_file;
        } else {
          part(s) = static_cast<i32>(a.npanel + 1);
          const i32 keep = ptr(s);
          ptr(s) = static_cast<i32>(glnext);
          const i32 rc = lu_factor_to_files(w, a, s);
          ptr(s) = keep;
          if (rc != 0) return rc;
        }
      }
    }
    // 7. The stack leaves work for the stack file when the front does not
    // fit beside it.
    if (!fits || end > a.slen) {
      if (a.lunit4 < 1) return drv::no_stack_file;
      if (!hdslui(w, a, depth)) return drv::stack_io;
      top = start = 1;
      end = need;
    }
    // 8. A front that does not fit even then is built and eliminated on
    // the front file, its factor panels going to the factor files.
    const bool ooc = end > a.slen;
    if (ooc && a.lunit4 < 1) return drv::no_stack_file;
    if (ooc && (a.lunit3 < 1 || a.lunit5 < 1 || a.lunit6 < 1)) return drv::no_factor_file;
    // 9-10. Assembly and elimination, in work or on the front file.
    f.start = start;
    i64 lowest = 0, ooc_addr = 0;
    i32 rc = 0;
    if (ooc) {
      peak = std::max(peak, a.slen);
      rc = hdslut(w, a, f, depth);
      if (rc != 0) return rc == -2 ? drv::values_io : rc == -3 ? drv::front_io : rc == -1 ? drv::stack_io : drv::storage;
    } else {
      peak = std::max(peak, end);
      rc = hdslus(w, a, f, depth, lowest);
      if (rc != 0) return rc == -2 ? drv::values_io : drv::stack_io;
    }
    part(s) = static_cast<i32>(a.npanel + 1);
    i64 nelim = 0;
    first.start_front();
    rc = ooc ? hdsluo(w, a, f, nelim, ooc_addr) : hdslue(w, a, f, nelim);
    // 11. A first perturbed or negative pivot named by its equation.
    first.name(w, a, fperm, np);
    switch (rc) {
      case 0: break;
      case -1: return drv::singular;
      case -2: return drv::factor_io;
      case -3: return drv::stack_io;
      case -4: return drv::front_io;
      case -11: return drv::negative;
      case -12: return drv::factor2_io;
      default: return drv::storage;
    }
    const i64 ndel = f.npiv - nelim;
    // 12. The index list of the update: delayed columns, then the rows
    // (behind the front's U triangle in work; nothing of a front on file).
    const i64 fend = ooc ? 0 : f.start + h(f.nf) + 2 * T - 1;
    if (!extend_index_list(w, a, f, nelim, fend, glnext)) return drv::storage;
    // 13. Push the update matrix over the popped children (a front on the
    // front file has written it to the stack file).
    if (++depth > a.maxdepth) return drv::stack_depth;
    stk.sn(depth) = static_cast<i32>(s);
    stk.nrow(depth) = static_cast<i32>(f.nrow);
    stk.old(depth) = static_cast<i32>(old);
    stk.ndel(depth) = static_cast<i32>(ndel);
    stk.addr(depth) = 0;
    a.stkaddr[static_cast<std::size_t>(depth)] = ooc ? ooc_addr : 0;
    const i64 at = f.nch > 0 && lowest > 0 ? lowest : f.start;
    const i64 tu = tri(f.nf - nelim);
    if (ooc) {
      stk.pos(depth) = 0;
      top = 1;
    } else if (tu > 0) {
      const i64 lsrc = a.sa + f.start - 1 + h(f.nf) + T - tu, usrc = lsrc + T;
      const i64 ldst = a.sa + at - 1 + ndel, udst = ldst + tu;
      auto move = [&](i64 from, i64 to) {
        std::memmove(w.dbl(to, tu).data(), w.dbl(from, tu).data(), static_cast<std::size_t>(tu) * 8);
      };
      // The L tail first unless its new place reaches the U tail; then the
      // U tail's new place lies clear of the L tail.
      if (ldst + tu <= usrc) {
        move(lsrc, ldst);
        move(usrc, udst);
      } else {
        move(usrc, udst);
        move(lsrc, ldst);
      }
      const IVec head = w.ints(a.sa + at - 1, ndel);
      for (i64 q = 1; q <= ndel; ++q) head(q) = fperm(np + nelim + q - 1);
      stk.pos(depth) = static_cast<i32>(at);
      top = at + ndel + 2 * tu;
    } else {
      stk.pos(depth) = static_cast<i32>(at);
      if (f.nch > 0 && lowest > 0) top = lowest;
    }
    np += nelim;
  }
  // 14-16.
  a.glcount = glnext - 1;
  a.slen = peak;
  part(ns + 1) = static_cast<i32>(a.npanel + 1);
  panpart(a.npanel + 1) = static_cast<i32>(np);
  ptr(ns + 1) = static_cast<i32>(glnext);
  a.fwords /= 2.0;
  return np - 1 == n ? 0 : -2;
}

}  // namespace zephsol::sparse
