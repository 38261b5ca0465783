// xdslfa: the numerical factorisation phase. Lays out the fixed arrays of
// the factorisation behind those of the earlier phases, shares the rest of
// work between the new global index list, the update-matrix stack and the
// factor, runs the multifrontal driver, moves the factor behind the fixed
// arrays, and leaves the inverse factorisation permutation, the condition
// estimate and the figures of the solution phase.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/outcore.h"
#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {
namespace {

constexpr i64 h(i64 k) { return xisl2d(k); }

struct Failure {
  i32 ier = 0;
  i64 extra = 0;  // words needed (factor_space) or the unit of a file error
};

std::string unit_line(i64 unit) { return fline("('on word addressable i/o file no. ',I15)", {unit}); }

void report(const Call& c, const Failure& f, i64 lwork) {
  const std::string avail = fline("('words of workspace currenly available is ',I15,'.')", {lwork});
  std::vector<std::string> text;
  switch (f.ier) {
    case err::factor_space:
      text = need_text("xdslfa", f.extra, lwork);
      break;
    case err::factor_storage:
      text = {" *** subroutine xdslfa aborted", "with storage allocation error."};
      break;
    case err::factor_singular:
      text = {" *** subroutine xdslfa encountered", "a numerically singular matrix."};
      break;
    case err::factor_seq_io:
      text = io_text("xdslfa", f.extra);
      break;
    case err::factor_no_file1:
      text = {" *** subroutine xdslfa ran out of storage for nonzeroes of ", "factor with i/o file wafil1 disabled.",
              avail};
      break;
    case err::factor_no_stack:
      text = {" *** subroutine xdslfa ran out of storage for computational ", "stack with i/o file wafil2 disabled.",
              avail};
      break;
    case err::factor_fill:
      text = {" *** subroutine xdslfa exceed factorization fill limitation.",
              fline("('allowed fill growth factor is ',F15.3,'.')", {c.w.ctl(cw::fillmax)})};
      break;
    case err::factor_negative:
      text = {" *** subroutine xdslfa negative pivot encounterd with ", "negative pivot monitoring activated.",
              fline("('first such pivot encountered is ',I15,'.')", {c.w.ictl(cw::negpiv_first)})};
      break;
    default:  // the factor, stack, second factor and front files
      text = {" *** subroutine xdslfa encountered i/o error", unit_line(f.extra)};
      break;
  }
  fatal(c, f.ier, f.ier == err::factor_space ? 2 : 3, f.ier == err::factor_space ? f.extra : 0, text);
}

// The driver's code as the phase's error.
Failure map_code(i32 code, const FactorArgs& a, const Work& w) {
  switch (code) {
    case -2:
      return {err::factor_singular};
    case -5:
      return {err::factor_file1_io, a.lunit3};
    case -6:
      return {err::factor_stack_io, a.lunit4};
    case -7:
      return {err::factor_no_file1};
    case -8:
      return {err::factor_no_stack};
    case -9:
      return {err::factor_seq_io, w.ictl(cw::lunit1)};
    case -10:
      return {err::factor_fill};
    case -11:
      return {err::factor_negative};
    case -12:
      return {err::factor_file2_io, a.lunit5};
    case -13:
      return {err::factor_front_io, a.lunit6};
    default:
      return {err::factor_storage};
  }
}

// Columns plus index rows of the largest supernode's front.
i64 largest_front(const Work& w, i64 ns) {
  const IVec part = w.ints(w.ictl(cw::part), ns + 1), ptr = w.ints(w.ictl(cw::snptr), ns + 1);
  i64 m = 0;
  for (i64 s = 1; s <= ns; ++s) m = std::max<i64>(m, part(s + 1) - part(s) + ptr(s + 1) - ptr(s));
  return m;
}

}  // namespace

// The global index list relabelled from columns to factor positions.
void xislrl(i64 count, iword* list, const iword* finv) {
  for (i64 q = 0; q < count; ++q) list[q] = finv[list[q] - 1];
}

PanelSizes xdslmx(const FactorView& fv) {
  PanelSizes ps;
  for_each_panel(fv, true, [&](const PanelRef& p) {
    ps.rows = std::max(ps.rows, p.h);
    ps.tri = std::max(ps.tri, p.c * (p.c - 1) / 2);
    ps.block = std::max(ps.block, panel_words(p.c, p.h));
  });
  return ps;
}

void xdslfa(double* work, i32 lwork, double& cond, i32* inertia, i32& ier) {
  ier = 0;
  double cpu0 = 0, wall0 = 0;
  xdsltb(cpu0, wall0);
  Call c(work, lwork, "xdslfa");
  const Work& w = c.w;
  auto fail = [&](const Failure& f) {
    ier = f.ier;
    report(c, f, lwork);
    if (f.ier == err::factor_storage || f.ier == err::factor_singular) w.set(cw::stage, stage::failed);
  };
  const i64 st = c.stage();
  if (st != stage::distributed) {
    ier = err::factor_stage;
    fatal(c, ier, 3, 0, stage_text("xdslfa", st, "should be 40."));
    return;
  }
  double pvttol = w.ctl(cw::pvttol);
  if (pvttol < 0.0 || pvttol > 0.5) pvttol = static_cast<double>(0.01f);
  const double fill_limit = w.ctl(cw::fillmax) > 0.0 ? w.ctl(cw::nzlf) * w.ctl(cw::fillmax) : 0.0;
  banner(c, {std::string(46, '='), "= multifrontal numerical factorization phase =", std::string(46, '=')});
  inertia[0] = inertia[1] = inertia[2] = -1;
  const i64 n = w.ictl(cw::neqns), ns = w.ictl(cw::nsuper), nsnind = w.ictl(cw::nsnind),
            w36 = std::max<i64>(w.ictl(cw::mstack), 1);
  const i32 lunit1 = static_cast<i32>(w.ictl(cw::lunit1)), lunit2 = static_cast<i32>(w.ictl(cw::lunit2));
  const i32 lunit3 = static_cast<i32>(w.ictl(cw::lunit3)), lunit4 = static_cast<i32>(w.ictl(cw::lunit4));
  const i32 lunit5 = static_cast<i32>(w.ictl(cw::lunit5)), lunit6 = static_cast<i32>(w.ictl(cw::lunit6));
  const bool unsym = w.ctl(cw::mtype) == 2.0;
  const i64 two = unsym ? 2 : 1;  // the LU path keeps two triangles and two factor parts
  const i64 ud = w.ictl(cw::vstore) % 10;
  const bool condest = w.ctl(cw::condest) != 0.0;
  const i64 w173 = count_option(w, cw::panel, 128), w183 = count_option(w, cw::updblk, 32);
  const i64 w194 = count_option(w, cw::rhsblk, 8);
  i32 e = 0;
  if (lunit1 > 0) {
    xdslrw(lunit1, e);
    if (e != 0) return fail({err::factor_seq_io, lunit1});
  }
  if (lunit2 > 0 && nsnind > 0) {
    xdslrw(lunit2, e);
    if (e != 0) return fail({err::factor_seq_io, lunit2});
  }
  // Order of the largest front: from word 39 as the analysis leaves it,
  // and from the supernodes themselves, since a factorisation replaces
  // word 39 with its largest panel triangle before the next one reads it.
  const i64 m =
      std::max(static_cast<i64>((std::sqrt(8.0 * w.ctl(cw::mfront) + 1.0) - 1.0) * 0.5), largest_front(w, ns));
  const i64 A = two * ((w183 + w173) * m + w.ictl(cw::stkstr) + h(m)), B = two * ((w183 + w173) * m + h(m));
  const i64 G = h(nsnind);
  const double F = static_cast<double>(two) * w.ctl(cw::nzlf);
  const i64 dlen = std::max(m * w183, n);
  // The relative indices of L: from lunit2 into new room (over the global
  // indices without pivoting), or where the symbolic phase left them.
  i64 last = w.ictl(cw::last);
  i64 rel = w.ictl(cw::relind);
  if (lunit2 > 0) {
    rel = pvttol == 0.0 ? w.ictl(cw::gidx) : last + 1;
    if (pvttol != 0.0) last += G;
    if (last > lwork) return fail({err::factor_space, last});
    xislrd(lunit2, nsnind, w.ints(rel, nsnind).data(), e);
    if (e != 0) return fail({err::factor_seq_io, lunit2});
    w.set(cw::moved2, w.ctl(cw::moved2) + static_cast<double>(G));
  }
  const i64 dcopy = condest ? last + 1 : w.ictl(cw::diagp);
  if (condest) last += n;
  if (last > lwork) return fail({err::factor_space, last});
  // Fixed arrays.
  WordLayout lay(last + 1);
  const i64 fperm = lay.take(h(n)), pivblk = lay.take(h(n)), npart = lay.take(h(ns + 1)),
            nptr = lay.take(h(ns + 1)), panpart = lay.take(h(n + 1)), stksn = lay.take(h(w36)),
            stkpos = lay.take(h(w36)), stkdir = lay.take(4 * h(w36)), iobuf = lay.take(dlen);
  // Buffers of one supernode's entries read from the value file.
  const i64 w97 = ud != 0 ? std::max<i64>(w.ictl(cw::snentries), 1) : 0;
  const i64 vdbl = lay.take(w97), vint = lay.take(h(w97));
  const i64 nfix = lay.end(), V = nfix + 1;
  if (lunit3 < 0 && F > static_cast<double>(std::numeric_limits<i32>::max())) return fail({err::factor_no_file1});
  const i64 Fi = static_cast<i64>(F);
  const i64 minneed = nfix + (lunit4 < 0 ? A : B) + (pvttol > 0.0 ? G : 0) + (lunit3 < 0 ? Fi : 0);
  if (minneed < 0 || minneed > lwork) return fail({err::factor_space, minneed});
  // Shares of the variable area.
  const i64 Gp = pvttol > 0.0 ? G : 0;
  const i64 T = A + Fi + Gp;
  const double ratio = T < 0 ? -1.0 : static_cast<double>(lwork - nfix - T) / static_cast<double>(T);
  i64 gl = 0, slen = 0, flen = 0;
  bool incore = true;
  if (ratio <= 2.0 * pvttol && lunit3 >= 0) {
    i64 S = A + Gp;
    double r = static_cast<double>(lwork - nfix - S) / static_cast<double>(S);
    if (r < 0.0 && lunit4 >= 0) {
      S = B + Gp;
      r = static_cast<double>(lwork - nfix - S) / static_cast<double>(S);
    }
    gl = pvttol != 0.0 ? static_cast<i64>(static_cast<double>(nsnind) * (r + 1.0)) : 0;
    slen = lwork - nfix - h(gl);
    incore = false;
  } else {
    double r = ratio;
    i64 S = A;
    if (lwork - nfix - T < 0 && lunit4 >= 0) {
      S = B;
      const i64 T2 = T - A + B;
      r = static_cast<double>(lwork - nfix - T2) / static_cast<double>(T2);
    }
    gl = pvttol != 0.0 ? static_cast<i64>(static_cast<double>(nsnind) * (r + 1.0)) : 0;
    slen = static_cast<i64>(static_cast<double>(S) * (r + 1.0));
    flen = lwork - nfix - h(gl) - slen;
  }
  gl = std::max<i64>(gl, 0);
  // Files: the factor file, the stack file, the front file.
  if (lunit3 >= 0) {
    xdslof(lunit3, e);
    if (e != 0) return fail({err::factor_file1_io, lunit3});
    if (unsym) {
      // The U parts of the factor go to a second factor file.
      if (lunit5 <= 0) return fail({err::factor_file1_io, lunit3});
      xdslof(lunit5, e);
      if (e != 0) return fail({err::factor_file2_io, lunit5});
    }
  }
  if (lunit4 >= 0) {
    xdslop(lunit4, 2, e);
    if (e != 0) return fail({err::factor_stack_io, lunit4});
  }
  if (lunit6 >= 0) {
    xdslop(lunit6, 2, e);
    if (e != 0) return fail({err::factor_front_io, lunit6});
  }
  std::memcpy(w.ints(npart, ns + 1).data(), w.ints(w.ictl(cw::part), ns + 1).data(),
              static_cast<std::size_t>(ns + 1) * 4);
  std::memcpy(w.ints(nptr, ns + 1).data(), w.ints(w.ictl(cw::snptr), ns + 1).data(),
              static_cast<std::size_t>(ns + 1) * 4);
  if (condest) std::memcpy(w.dbl(dcopy, n).data(), w.dbl(w.ictl(cw::diagp), n).data(), static_cast<std::size_t>(n) * 8);
  // The driver.
  FactorArgs a;
  a.pvttol = pvttol;
  a.ud = ud;
  a.panel = w173;
  a.updblk = w183;
  a.orient = w.ictl(cw::orient);
  a.n = n;
  a.diag = dcopy;
  a.xrelin = w.ictl(cw::xrelin);
  a.relent = w.ictl(cw::relent);
  a.vals = w.ictl(cw::entvals);
  a.fill_limit = fill_limit;
  a.pert = cw::perturb + 1;
  a.negrec = cw::monitor + 1;
  a.perm = w.ictl(cw::perm);
  a.nsuper = ns;
  a.part = npart;
  a.fperm = fperm;
  a.nassem = w.ictl(cw::nassem);
  a.panpart = panpart;
  a.ptr = nptr;
  a.rel = rel;
  a.gidx = w.ictl(cw::gidx);
  a.gl = gl;
  a.varea = V;
  a.sa = V + h(gl);
  a.slen = slen;
  a.fa = a.sa + slen;
  a.flen = flen;
  a.incore = incore;
  a.maxdepth = w36;
  a.stksn = stksn;
  a.stkpos = stkpos;
  a.stkdir = stkdir;
  a.lunit1 = lunit1;
  a.lunit3 = lunit3;
  a.lunit4 = lunit4;
  a.lunit5 = lunit5;
  a.lunit6 = lunit6;
  a.dlen = dlen;
  a.iobuf = iobuf;
  a.pivblk = pivblk;
  a.vint = vint;
  a.vdbl = vdbl;
  a.vcap = w97;
  a.keeprow = w.ctl(cw::keeprow) != 0.0;
  const i32 code = [&] {
    const ProductTeam team(factor_threads());
    return unsym ? hdslu2(w, a) : hdslf2(w, a);
  }();
  // Transfer statistics, kept over the factorisations of a problem.
  w.set(cw::extent4, std::max(w.ctl(cw::extent4), static_cast<double>(a.st.file2_extent)));
  w.set(cw::extent6, std::max(w.ctl(cw::extent6), static_cast<double>(a.st.front_max)));
  w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(a.st.value_words));
  w.set(cw::moved4, w.ctl(cw::moved4) + static_cast<double>(a.st.file2_words));
  w.set(cw::moved6, w.ctl(cw::moved6) + static_cast<double>(a.st.front_words));
  for (int k = 0; k < 3; ++k) inertia[k] = unsym ? -1 : a.inertia[k];
  if (code != 0) return fail(map_code(code, a, w));
  const i64 Fs = two * static_cast<i64>(a.fwords);
  const i64 glcount = pvttol > 0.0 ? a.glcount : 0;
  const double peak = std::max(w.ctl(cw::peak), static_cast<double>(std::min<i64>(
                                                     lwork, nfix + h(glcount) + a.slen + (ud == 0 ? Fs : 0))));
  for (i32 u : {lunit4, lunit6}) {
    if (u < 0) continue;
    xdslcl(u, 2, e);
    if (e != 0) return fail({u == lunit4 ? err::factor_stack_io : err::factor_front_io, u});
  }
  // The global index list behind the panel partition.
  const i64 npanel = a.npanel;
  i64 glpos = w.ictl(cw::gidx);
  i64 end = panpart + h(npanel + 1) - 1;
  if (pvttol > 0.0) {
    glpos = end + 1;
    move_ints(w, V, glpos, glcount);
    end = glpos + h(glcount) - 1;
  } else if (lunit2 > 0) {
    xislrd(lunit2, nsnind, w.ints(glpos, nsnind).data(), e);
    if (e != 0) return fail({err::factor_seq_io, lunit2});
    w.set(cw::moved2, w.ctl(cw::moved2) + static_cast<double>(G));
  }
  // The factor behind them, when it fits with the inverse permutation and
  // the scratch of the condition estimate; otherwise it stays on (or goes
  // to) the factor file.
  FactorView fv;
  fv.n = n;
  fv.nsuper = ns;
  fv.snpan = w.ints(npart, ns + 1).data();
  fv.panpart = w.ints(panpart, npanel + 1).data();
  fv.ptr = w.ints(nptr, ns + 1).data();
  fv.gl = w.ints(glpos, std::max<i64>(fv.ptr[ns] - 1, 1)).data();
  fv.pivblk = w.ints(pivblk, n).data();
  fv.diag = w.dbl(dcopy, n).data();
  fv.rhsblk = w194;
  fv.unsym = unsym;
  const PanelSizes ps = xdslmx(fv);
  // The scratch of the condition estimate: z, and a column of the
  // tallest panel (delayed pivots make panels taller than predicted).
  const i64 scratch = condest ? n + std::max(2 * m, ps.rows) : 0;
  // In work only when the solution phase's area fits behind it too.
  const i64 need = Fs + end + h(n) + std::max(scratch, std::max(n, w194 * ps.rows));
  const bool in_work = ud == 0 && need >= 0 && need <= lwork;
  const i64 fpos = end + 1;
  if (!in_work && a.incore) {
    if (lunit3 < 0) return fail({err::factor_no_file1});
    if (unsym) {
      const i32 rc = lu_factor_to_files(w, a, ns + 1);
      if (rc != 0) return fail(map_code(rc, a, w));
    } else {
      if (!file_write(lunit3, 1, Fs, w.dbl(a.fa, Fs).data())) return fail({err::factor_file1_io, lunit3});
      a.st.file1_words += Fs;
    }
  }
  if (in_work && a.incore) {
    if (Fs > 0) std::memmove(w.dbl(fpos, Fs).data(), w.dbl(a.fa, Fs).data(), static_cast<std::size_t>(Fs) * 8);
  } else if (in_work && Fs > 0 && unsym) {
    const i32 rb = xdslrb(ns, w.ints(npart, ns + 1).data(), w.ints(nptr, ns + 1).data(),
                          w.ints(panpart, npanel + 1).data(), lunit3, lunit5, w.dbl(fpos, Fs).data());
    if (rb != 0) return fail(rb == 1 ? Failure{err::factor_file1_io, lunit3} : Failure{err::factor_file2_io, lunit5});
    w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(Fs / 2));
    w.set(cw::moved5, w.ctl(cw::moved5) + static_cast<double>(Fs / 2 + a.st.file1_words));
  } else if (in_work && Fs > 0) {
    if (!file_read(lunit3, 1, Fs, w.dbl(fpos, Fs).data())) return fail({err::factor_file1_io, lunit3});
    w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(Fs));
  }
  // Words on each factor file (one part of an LU factor on each).
  const i64 on_file = in_work && a.incore ? 0 : Fs / two;
  w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(a.st.file1_words));
  w.set(cw::extent3, std::max(w.ctl(cw::extent3), static_cast<double>(on_file)));
  if (unsym) w.set(cw::extent5, std::max(w.ctl(cw::extent5), static_cast<double>(on_file)));
  if (in_work && lunit3 >= 0) {
    xdslcf(lunit3, e);
    if (e != 0) return fail({err::factor_file1_io, lunit3});
    if (unsym) {
      xdslcf(lunit5, e);
      if (e != 0) return fail({err::factor_file2_io, lunit5});
    }
  }
  // Inverse factorisation permutation; the index lists in factor positions.
  const i64 finv = in_work ? fpos + Fs : fpos;
  xislin(n, w.ints(fperm, n).data(), w.ints(finv, n).data());
  if (pvttol > 0.0) xislrl(glcount, w.ints(glpos, glcount).data(), w.ints(finv, n).data());
  const i64 fend = finv + h(n) - 1;
  fv.factor = !in_work ? nullptr : Fs > 0 ? w.dbl(fpos, Fs).data() : w.dbl(fpos, 0).data();
  cond = 0.0;
  i64 cond_end = fend + scratch;
  if (condest && in_work) {
    cond = xdslcn(fv, w.ctl(cw::norm), w.dbl(fend + 1, n).data(), w.dbl(fend + 1 + n, scratch - n).data());
  } else if (condest) {
    // The panels read through all of work behind the scratch.
    const i64 at = fend + scratch + 1, len = lwork - at + 1;
    if (len < ps.block) return fail({err::factor_space, ps.block + at - 1});
    i64 words = 0;
    double* z = w.dbl(fend + 1, n).data();
    double* t = w.dbl(fend + 1 + n, scratch - n).data();
    if (unsym) {
      LuFilePanels src(fv, lunit3, lunit5, w.dbl(at, len).data(), len, words);
      if (!condition_estimate(src, fv, w.ctl(cw::norm), z, t, cond))
        return fail(src.u_failed() ? Failure{err::factor_file2_io, lunit5} : Failure{err::factor_file1_io, lunit3});
      w.set(cw::moved5, w.ctl(cw::moved5) + static_cast<double>(words / 2));
      words -= words / 2;
    } else if (xdslcx(fv, lunit3, w.ctl(cw::norm), z, t, w.dbl(at, len).data(), len, words, cond) != 0) {
      return fail({err::factor_file1_io, lunit3});
    }
    w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(words));
    cond_end = lwork;
  }
  const i64 solve_end = fend + std::max(n, w194 * ps.rows + (in_work ? 0 : ps.block));
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  if (c.msglvl >= 3) {
    xdslpr("diag of the factor", n, fv.diag, c.msgunit);
    xislpr("pivot block information", n, fv.pivblk, c.msgunit);
    xislpr("factorization permutation", n, w.ints(fperm, n).data(), c.msgunit);
    xislpr("factorization inverse permutation", n, w.ints(finv, n).data(), c.msgunit);
    xislpr("new supernode partition", ns + 1, fv.snpan, c.msgunit);
    xislpr("panel partition", npanel + 1, fv.panpart, c.msgunit);
    xislpr("new index pointer", ns + 1, fv.ptr, c.msgunit);
  }
  if (c.msglvl >= 4) {
    xislpa("new lindxg", ns, fv.ptr, fv.gl, c.msgunit);
    if (in_work) xdslpr("lnz", Fs, fv.factor, c.msgunit);
  }
  if (c.msglvl > 0) {
    unit_write_line(c.msgunit, "");
    time_line(c, "cpu  time for numeric factorization    = ", cpu);
    time_line(c, "wall time for numeric factorization    = ", wall);
    unit_write_line(c.msgunit, fline("(5X,A,1PE15.4)", {"one norm condition number estimate     = ", cond}));
  }
  w.set(cw::stage, stage::factorised);
  w.set(cw::last, static_cast<double>(fend));
  w.set(cw::need, static_cast<double>(solve_end));
  w.set(cw::peak, std::max({peak, static_cast<double>(cond_end), static_cast<double>(solve_end)}));
  w.set(cw::panel_rows, static_cast<double>(ps.rows));
  w.set(cw::panel_tri, static_cast<double>(ps.tri));
  w.set(cw::largest_panel, static_cast<double>(ps.block));
  w.set(cw::factor_words, static_cast<double>(Fs / two));
  w.set(cw::glcount, static_cast<double>(pvttol > 0.0 ? glcount : nsnind));
  w.set(cw::stack_used, static_cast<double>(a.slen));
  w.set(cw::factor_on_file, in_work ? 0.0 : 1.0);
  w.set(cw::solve_area, static_cast<double>(fend + 1));
  w.set(cw::fdiag, static_cast<double>(dcopy));
  w.set(cw::pivblk, static_cast<double>(pivblk));
  w.set(cw::fgidx, static_cast<double>(glpos));
  w.set(cw::factor, in_work ? static_cast<double>(fpos) : 0.0);
  w.set(cw::snpan, static_cast<double>(npart));
  w.set(cw::fptr, static_cast<double>(nptr));
  w.set(cw::fperm, static_cast<double>(fperm));
  w.set(cw::finv, static_cast<double>(finv));
  w.set(cw::cond, cond);
  w.set(cw::cpu_factor, cpu);
  w.set(cw::wall_factor, wall);
  w.set(cw::ops_factor, a.st.ops1);
  w.set(cw::ops_solve, a.st.ops2);
  w.set(cw::panpart, static_cast<double>(panpart));
}

}  // namespace zephsol::sparse
