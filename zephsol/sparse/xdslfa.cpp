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
    case drv::singular:
      return {err::factor_singular};
    case drv::factor_io:
      return {err::factor_file1_io, a.lunit3};
    case drv::stack_io:
      return {err::factor_stack_io, a.lunit4};
    case drv::no_factor_file:
      return {err::factor_no_file1};
    case drv::no_stack_file:
      return {err::factor_no_stack};
    case drv::values_io:
      return {err::factor_seq_io, w.ictl(cw::lunit1)};
    case drv::fill:
      return {err::factor_fill};
    case drv::negative:
      return {err::factor_negative};
    case drv::factor2_io:
      return {err::factor_file2_io, a.lunit5};
    case drv::front_io:
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

namespace {

// What the steps of one factorisation share: the options and sizes read
// from the control block, the layout of work, and the results on the way.
struct Phase {
  Phase(const Call& call, i64 lw, i32* in) : c(call), w(call.w), lwork(lw), inertia(in) {}
  const Call& c;
  const Work& w;
  i64 lwork;
  i32* inertia;
  // Options and sizes.
  double pvttol = 0.0, fill_limit = 0.0;
  i64 n = 0, ns = 0, nsnind = 0, w36 = 0;
  i32 lunit1 = 0, lunit2 = 0, lunit3 = 0, lunit4 = 0, lunit5 = 0, lunit6 = 0;
  bool unsym = false, condest = false;
  i64 two = 1;  // the LU path keeps two triangles and two factor parts
  i64 ud = 0, w173 = 0, w183 = 0, w194 = 0;
  i64 m = 0, A = 0, B = 0, G = 0, dlen = 0;
  double F = 0.0;
  // Layout: the relative indices, the diagonal copy, the fixed arrays and
  // the shares of the variable area from V on.
  i64 last = 0, rel = 0, dcopy = 0;
  i64 fperm = 0, pivblk = 0, npart = 0, nptr = 0, panpart = 0, stksn = 0, stkpos = 0, stkdir = 0, iobuf = 0;
  i64 w97 = 0, vdbl = 0, vint = 0, nfix = 0, V = 0;
  i64 gl = 0, slen = 0, flen = 0;
  bool incore = true;
  // Results.
  FactorArgs a;
  i64 Fs = 0, glcount = 0, glpos = 0, end = 0, fpos = 0, finv = 0, fend = 0, scratch = 0, cond_end = 0;
  bool in_work = false;
  double peak = 0.0, cond = 0.0;
  FactorView fv;
  PanelSizes ps;
};

// The options of the control block, the pivot tolerance clamped.
void read_options(Phase& p) {
  const Work& w = p.w;
  p.pvttol = w.ctl(cw::pvttol);
  if (p.pvttol < 0.0 || p.pvttol > 0.5) p.pvttol = static_cast<double>(0.01f);
  p.fill_limit = w.ctl(cw::fillmax) > 0.0 ? w.ctl(cw::nzlf) * w.ctl(cw::fillmax) : 0.0;
  p.n = w.ictl(cw::neqns);
  p.ns = w.ictl(cw::nsuper);
  p.nsnind = w.ictl(cw::nsnind);
  p.w36 = std::max<i64>(w.ictl(cw::mstack), 1);
  p.lunit1 = static_cast<i32>(w.ictl(cw::lunit1));
  p.lunit2 = static_cast<i32>(w.ictl(cw::lunit2));
  p.lunit3 = static_cast<i32>(w.ictl(cw::lunit3));
  p.lunit4 = static_cast<i32>(w.ictl(cw::lunit4));
  p.lunit5 = static_cast<i32>(w.ictl(cw::lunit5));
  p.lunit6 = static_cast<i32>(w.ictl(cw::lunit6));
  p.unsym = w.ctl(cw::mtype) == 2.0;
  p.two = p.unsym ? 2 : 1;
  p.ud = w.ictl(cw::vstore) % 10;
  p.condest = w.ctl(cw::condest) != 0.0;
  p.w173 = count_option(w, cw::panel, 128);
  p.w183 = count_option(w, cw::updblk, 32);
  p.w194 = count_option(w, cw::rhsblk, 8);
}

// The sequential files of the entries and of the index sets rewound.
Failure rewind_sequential(const Phase& p) {
  i32 e = 0;
  if (p.lunit1 > 0) {
    xdslrw(p.lunit1, e);
    if (e != 0) return {err::factor_seq_io, p.lunit1};
  }
  if (p.lunit2 > 0 && p.nsnind > 0) {
    xdslrw(p.lunit2, e);
    if (e != 0) return {err::factor_seq_io, p.lunit2};
  }
  return {};
}

// The order m of the largest front and the words of the stack area with
// the stack in work (A) and on its file (B), of one index list (G), of
// the predicted factor (F) and of the i/o buffer.
void front_sizes(Phase& p) {
  // Order of the largest front: from word mfront as the analysis leaves
  // it, and from the supernodes themselves, since a factorisation replaces
  // that word with its largest panel triangle before the next one reads it.
  const double mfront = p.w.ctl(cw::mfront);
  p.m = std::max(static_cast<i64>((std::sqrt(8.0 * mfront + 1.0) - 1.0) * 0.5), largest_front(p.w, p.ns));
  p.A = p.two * ((p.w183 + p.w173) * p.m + p.w.ictl(cw::stkstr) + h(p.m));
  p.B = p.two * ((p.w183 + p.w173) * p.m + h(p.m));
  p.G = h(p.nsnind);
  p.F = static_cast<double>(p.two) * p.w.ctl(cw::nzlf);
  p.dlen = std::max(p.m * p.w183, p.n);
}

// The relative indices of L: from lunit2 into new room (over the global
// indices without pivoting), or where the symbolic phase left them; then
// the room of the diagonal copy.
Failure read_relative_indices(Phase& p) {
  const Work& w = p.w;
  p.last = w.ictl(cw::last);
  p.rel = w.ictl(cw::relind);
  if (p.lunit2 > 0) {
    p.rel = p.pvttol == 0.0 ? w.ictl(cw::gidx) : p.last + 1;
    if (p.pvttol != 0.0) p.last += p.G;
    if (p.last > p.lwork) return {err::factor_space, p.last};
    i32 e = 0;
    xislrd(p.lunit2, p.nsnind, w.ints(p.rel, p.nsnind).data(), e);
    if (e != 0) return {err::factor_seq_io, p.lunit2};
    w.set(cw::moved2, w.ctl(cw::moved2) + static_cast<double>(p.G));
  }
  p.dcopy = p.condest ? p.last + 1 : w.ictl(cw::diagp);
  if (p.condest) p.last += p.n;
  if (p.last > p.lwork) return {err::factor_space, p.last};
  return {};
}

// The fixed arrays behind, and the least work the factorisation needs.
Failure lay_fixed_arrays(Phase& p) {
  WordLayout lay(p.last + 1);
  p.fperm = lay.take(h(p.n));
  p.pivblk = lay.take(h(p.n));
  p.npart = lay.take(h(p.ns + 1));
  p.nptr = lay.take(h(p.ns + 1));
  p.panpart = lay.take(h(p.n + 1));
  p.stksn = lay.take(h(p.w36));
  p.stkpos = lay.take(h(p.w36));
  p.stkdir = lay.take(4 * h(p.w36));
  p.iobuf = lay.take(p.dlen);
  // Buffers of one supernode's entries read from the value file.
  p.w97 = p.ud != 0 ? std::max<i64>(p.w.ictl(cw::snentries), 1) : 0;
  p.vdbl = lay.take(p.w97);
  p.vint = lay.take(h(p.w97));
  p.nfix = lay.end();
  p.V = p.nfix + 1;
  if (p.lunit3 < 0 && p.F > static_cast<double>(std::numeric_limits<i32>::max())) return {err::factor_no_file1};
  const i64 Fi = static_cast<i64>(p.F);
  const i64 minneed = p.nfix + (p.lunit4 < 0 ? p.A : p.B) + (p.pvttol > 0.0 ? p.G : 0) + (p.lunit3 < 0 ? Fi : 0);
  if (minneed < 0 || minneed > p.lwork) return {err::factor_space, minneed};
  return {};
}

// The variable area shared between the new global index list, the stack
// and, when the factor stays in work, the factor.
void share_variable_area(Phase& p) {
  const i64 lwork = p.lwork, nfix = p.nfix, A = p.A, B = p.B;
  const i64 Gp = p.pvttol > 0.0 ? p.G : 0;
  const i64 T = A + static_cast<i64>(p.F) + Gp;
  const double ratio = T < 0 ? -1.0 : static_cast<double>(lwork - nfix - T) / static_cast<double>(T);
  if (ratio <= 2.0 * p.pvttol && p.lunit3 >= 0) {
    i64 S = A + Gp;
    double r = static_cast<double>(lwork - nfix - S) / static_cast<double>(S);
    if (r < 0.0 && p.lunit4 >= 0) {
      S = B + Gp;
      r = static_cast<double>(lwork - nfix - S) / static_cast<double>(S);
    }
    p.gl = p.pvttol != 0.0 ? static_cast<i64>(static_cast<double>(p.nsnind) * (r + 1.0)) : 0;
    p.slen = lwork - nfix - h(p.gl);
    p.flen = 0;
    p.incore = false;
  } else {
    double r = ratio;
    i64 S = A;
    if (lwork - nfix - T < 0 && p.lunit4 >= 0) {
      S = B;
      const i64 T2 = T - A + B;
      r = static_cast<double>(lwork - nfix - T2) / static_cast<double>(T2);
    }
    p.gl = p.pvttol != 0.0 ? static_cast<i64>(static_cast<double>(p.nsnind) * (r + 1.0)) : 0;
    p.slen = static_cast<i64>(static_cast<double>(S) * (r + 1.0));
    p.flen = lwork - nfix - h(p.gl) - p.slen;
    p.incore = true;
  }
  p.gl = std::max<i64>(p.gl, 0);
}

// The factor file (and the second one of an LU factor), the stack file
// and the front file opened.
Failure open_files(const Phase& p) {
  i32 e = 0;
  if (p.lunit3 >= 0) {
    xdslof(p.lunit3, e);
    if (e != 0) return {err::factor_file1_io, p.lunit3};
    if (p.unsym) {
      // The U parts of the factor go to a second factor file.
      if (p.lunit5 <= 0) return {err::factor_file1_io, p.lunit3};
      xdslof(p.lunit5, e);
      if (e != 0) return {err::factor_file2_io, p.lunit5};
    }
  }
  if (p.lunit4 >= 0) {
    xdslop(p.lunit4, 2, e);
    if (e != 0) return {err::factor_stack_io, p.lunit4};
  }
  if (p.lunit6 >= 0) {
    xdslop(p.lunit6, 2, e);
    if (e != 0) return {err::factor_front_io, p.lunit6};
  }
  return {};
}

// The arguments of the driver: the copies it rewrites and the areas.
void driver_args(Phase& p) {
  const Work& w = p.w;
  const i64 n = p.n, ns = p.ns;
  std::memcpy(w.ints(p.npart, ns + 1).data(), w.ints(w.ictl(cw::part), ns + 1).data(),
              static_cast<std::size_t>(ns + 1) * 4);
  std::memcpy(w.ints(p.nptr, ns + 1).data(), w.ints(w.ictl(cw::snptr), ns + 1).data(),
              static_cast<std::size_t>(ns + 1) * 4);
  if (p.condest)
    std::memcpy(w.dbl(p.dcopy, n).data(), w.dbl(w.ictl(cw::diagp), n).data(), static_cast<std::size_t>(n) * 8);
  FactorArgs& a = p.a;
  a.pvttol = p.pvttol;
  a.ud = p.ud;
  a.panel = p.w173;
  a.updblk = p.w183;
  a.orient = w.ictl(cw::orient);
  a.n = n;
  a.diag = p.dcopy;
  a.xrelin = w.ictl(cw::xrelin);
  a.relent = w.ictl(cw::relent);
  a.vals = w.ictl(cw::entvals);
  a.fill_limit = p.fill_limit;
  a.pert = cw::perturb + 1;
  a.negrec = cw::monitor + 1;
  a.perm = w.ictl(cw::perm);
  a.nsuper = ns;
  a.part = p.npart;
  a.fperm = p.fperm;
  a.nassem = w.ictl(cw::nassem);
  a.panpart = p.panpart;
  a.ptr = p.nptr;
  a.rel = p.rel;
  a.gidx = w.ictl(cw::gidx);
  a.gl = p.gl;
  a.varea = p.V;
  a.sa = p.V + h(p.gl);
  a.slen = p.slen;
  a.fa = a.sa + p.slen;
  a.flen = p.flen;
  a.incore = p.incore;
  a.maxdepth = p.w36;
  a.stksn = p.stksn;
  a.stkpos = p.stkpos;
  a.stkdir = p.stkdir;
  a.lunit1 = p.lunit1;
  a.lunit3 = p.lunit3;
  a.lunit4 = p.lunit4;
  a.lunit5 = p.lunit5;
  a.lunit6 = p.lunit6;
  a.dlen = p.dlen;
  a.iobuf = p.iobuf;
  a.pivblk = p.pivblk;
  a.vint = p.vint;
  a.vdbl = p.vdbl;
  a.vcap = p.w97;
  a.keeprow = w.ctl(cw::keeprow) != 0.0;
}

// The multifrontal driver, its transfer statistics (kept over the
// factorisations of a problem) and inertia; the stack and front files
// closed.
Failure run_driver(Phase& p) {
  const Work& w = p.w;
  FactorArgs& a = p.a;
  const i32 code = [&] {
    const ProductTeam team(factor_threads());
    return p.unsym ? hdslu2(w, a) : hdslf2(w, a);
  }();
  w.set(cw::extent4, std::max(w.ctl(cw::extent4), static_cast<double>(a.st.file2_extent)));
  w.set(cw::extent6, std::max(w.ctl(cw::extent6), static_cast<double>(a.st.front_max)));
  w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(a.st.value_words));
  w.set(cw::moved4, w.ctl(cw::moved4) + static_cast<double>(a.st.file2_words));
  w.set(cw::moved6, w.ctl(cw::moved6) + static_cast<double>(a.st.front_words));
  for (int k = 0; k < 3; ++k) p.inertia[k] = p.unsym ? -1 : a.inertia[k];
  if (code != 0) return map_code(code, a, w);
  p.Fs = p.two * static_cast<i64>(a.fwords);
  p.glcount = p.pvttol > 0.0 ? a.glcount : 0;
  p.peak =
      std::max(w.ctl(cw::peak),
               static_cast<double>(std::min<i64>(p.lwork, p.nfix + h(p.glcount) + a.slen + (p.ud == 0 ? p.Fs : 0))));
  for (i32 u : {p.lunit4, p.lunit6}) {
    if (u < 0) continue;
    i32 e = 0;
    xdslcl(u, 2, e);
    if (e != 0) return {u == p.lunit4 ? err::factor_stack_io : err::factor_front_io, u};
  }
  return {};
}

// The global index list behind the panel partition (the driver's new
// list with pivoting; without, the symbolic phase's list read back).
Failure place_global_list(Phase& p) {
  const Work& w = p.w;
  p.glpos = w.ictl(cw::gidx);
  p.end = p.panpart + h(p.a.npanel + 1) - 1;
  if (p.pvttol > 0.0) {
    p.glpos = p.end + 1;
    move_ints(w, p.V, p.glpos, p.glcount);
    p.end = p.glpos + h(p.glcount) - 1;
  } else if (p.lunit2 > 0) {
    i32 e = 0;
    xislrd(p.lunit2, p.nsnind, w.ints(p.glpos, p.nsnind).data(), e);
    if (e != 0) return {err::factor_seq_io, p.lunit2};
    w.set(cw::moved2, w.ctl(cw::moved2) + static_cast<double>(p.G));
  }
  return {};
}

// The factor as the solution walks it (its first word set once placed),
// and the sizes of its panels.
void factor_view(Phase& p) {
  const Work& w = p.w;
  FactorView& fv = p.fv;
  fv.n = p.n;
  fv.nsuper = p.ns;
  fv.snpan = w.ints(p.npart, p.ns + 1).data();
  fv.panpart = w.ints(p.panpart, p.a.npanel + 1).data();
  fv.ptr = w.ints(p.nptr, p.ns + 1).data();
  fv.gl = w.ints(p.glpos, std::max<i64>(fv.ptr[p.ns] - 1, 1)).data();
  fv.pivblk = w.ints(p.pivblk, p.n).data();
  fv.diag = w.dbl(p.dcopy, p.n).data();
  fv.rhsblk = p.w194;
  fv.unsym = p.unsym;
  p.ps = xdslmx(fv);
}

// A factor built in work that cannot stay there written to the factor
// file (the L and U parts of an LU factor panel by panel to their two files).
Failure xdslwl(Phase& p) {
  const Work& w = p.w;
  FactorArgs& a = p.a;
  if (p.lunit3 < 0) return {err::factor_no_file1};
  if (p.unsym) {
    const i32 rc = lu_factor_to_files(w, a, p.ns + 1);
    return rc != 0 ? map_code(rc, a, w) : Failure{};
  }
  if (!file_write(p.lunit3, 1, p.Fs, w.dbl(a.fa, p.Fs).data())) return {err::factor_file1_io, p.lunit3};
  a.st.file1_words += p.Fs;
  return {};
}

// The factor behind the global index list, when it fits with the inverse
// permutation and the scratch of the condition estimate; otherwise it
// stays on (or goes to) the factor file.
Failure place_factor(Phase& p) {
  const Work& w = p.w;
  FactorArgs& a = p.a;
  const i64 n = p.n, Fs = p.Fs;
  const i32 lunit3 = p.lunit3, lunit5 = p.lunit5;
  // The scratch of the condition estimate: z, and a column of the
  // tallest panel (delayed pivots make panels taller than predicted).
  p.scratch = p.condest ? n + std::max(2 * p.m, p.ps.rows) : 0;
  // In work only when the solution phase's area fits behind it too.
  const i64 need = Fs + p.end + h(n) + std::max(p.scratch, std::max(n, p.w194 * p.ps.rows));
  p.in_work = p.ud == 0 && need >= 0 && need <= p.lwork;
  p.fpos = p.end + 1;
  const bool in_work = p.in_work;
  if (!in_work && a.incore)
    if (const Failure f = xdslwl(p); f.ier != 0) return f;
  if (in_work && a.incore) {
    if (Fs > 0) std::memmove(w.dbl(p.fpos, Fs).data(), w.dbl(a.fa, Fs).data(), static_cast<std::size_t>(Fs) * 8);
  } else if (in_work && Fs > 0 && p.unsym) {
    const i32 rb = xdslrb(p.ns, w.ints(p.npart, p.ns + 1).data(), w.ints(p.nptr, p.ns + 1).data(),
                          w.ints(p.panpart, a.npanel + 1).data(), lunit3, lunit5, w.dbl(p.fpos, Fs).data());
    if (rb != 0) return rb == 1 ? Failure{err::factor_file1_io, lunit3} : Failure{err::factor_file2_io, lunit5};
    w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(Fs / 2));
    w.set(cw::moved5, w.ctl(cw::moved5) + static_cast<double>(Fs / 2 + a.st.file1_words));
  } else if (in_work && Fs > 0) {
    if (!file_read(lunit3, 1, Fs, w.dbl(p.fpos, Fs).data())) return {err::factor_file1_io, lunit3};
    w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(Fs));
  }
  // Words on each factor file (one part of an LU factor on each).
  const i64 on_file = in_work && a.incore ? 0 : Fs / p.two;
  w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(a.st.file1_words));
  w.set(cw::extent3, std::max(w.ctl(cw::extent3), static_cast<double>(on_file)));
  if (p.unsym) w.set(cw::extent5, std::max(w.ctl(cw::extent5), static_cast<double>(on_file)));
  if (in_work && lunit3 >= 0) {
    i32 e = 0;
    xdslcf(lunit3, e);
    if (e != 0) return {err::factor_file1_io, lunit3};
    if (p.unsym) {
      xdslcf(lunit5, e);
      if (e != 0) return {err::factor_file2_io, lunit5};
    }
  }
  return {};
}

// The inverse factorisation permutation behind the factor; the global
// index list relabelled to factor positions.
void invert_permutation(Phase& p) {
  const Work& w = p.w;
  const i64 n = p.n;
  p.finv = p.in_work ? p.fpos + p.Fs : p.fpos;
  xislin(n, w.ints(p.fperm, n).data(), w.ints(p.finv, n).data());
  if (p.pvttol > 0.0) xislrl(p.glcount, w.ints(p.glpos, p.glcount).data(), w.ints(p.finv, n).data());
  p.fend = p.finv + h(n) - 1;
  p.fv.factor = !p.in_work ? nullptr : p.Fs > 0 ? w.dbl(p.fpos, p.Fs).data() : w.dbl(p.fpos, 0).data();
}

// The one-norm condition estimate (0.0 when switched off), from the factor
// in work or read through all of work behind its scratch.
Failure estimate_condition(Phase& p) {
  const Work& w = p.w;
  const i64 n = p.n, fend = p.fend, scratch = p.scratch;
  p.cond = 0.0;
  p.cond_end = fend + scratch;
  if (!p.condest) return {};
  if (p.in_work) {
    p.cond = xdslcn(p.fv, w.ctl(cw::norm), w.dbl(fend + 1, n).data(), w.dbl(fend + 1 + n, scratch - n).data());
    return {};
  }
  const i64 at = fend + scratch + 1, len = p.lwork - at + 1;
  if (len < p.ps.block) return {err::factor_space, p.ps.block + at - 1};
  i64 words = 0;
  double* z = w.dbl(fend + 1, n).data();
  double* t = w.dbl(fend + 1 + n, scratch - n).data();
  if (p.unsym) {
    LuFilePanels src(p.fv, p.lunit3, p.lunit5, w.dbl(at, len).data(), len, words);
    if (!condition_estimate(src, p.fv, w.ctl(cw::norm), z, t, p.cond))
      return src.u_failed() ? Failure{err::factor_file2_io, p.lunit5} : Failure{err::factor_file1_io, p.lunit3};
    w.set(cw::moved5, w.ctl(cw::moved5) + static_cast<double>(words / 2));
    words -= words / 2;
  } else if (xdslcx(p.fv, p.lunit3, w.ctl(cw::norm), z, t, w.dbl(at, len).data(), len, words, p.cond) != 0) {
    return {err::factor_file1_io, p.lunit3};
  }
  w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(words));
  p.cond_end = p.lwork;
  return {};
}

// The dumps of the factor's arrays and the phase's times.
void print_results(const Phase& p, double cpu, double wall) {
  const Call& c = p.c;
  const FactorView& fv = p.fv;
  const i64 n = p.n, ns = p.ns, npanel = p.a.npanel;
  if (c.msglvl >= 3) {
    xdslpr("diag of the factor", n, fv.diag, c.msgunit);
    xislpr("pivot block information", n, fv.pivblk, c.msgunit);
    xislpr("factorization permutation", n, p.w.ints(p.fperm, n).data(), c.msgunit);
    xislpr("factorization inverse permutation", n, p.w.ints(p.finv, n).data(), c.msgunit);
    xislpr("new supernode partition", ns + 1, fv.snpan, c.msgunit);
    xislpr("panel partition", npanel + 1, fv.panpart, c.msgunit);
    xislpr("new index pointer", ns + 1, fv.ptr, c.msgunit);
  }
  if (c.msglvl >= 4) {
    xislpa("new lindxg", ns, fv.ptr, fv.gl, c.msgunit);
    if (p.in_work) xdslpr("lnz", p.Fs, fv.factor, c.msgunit);
  }
  if (c.msglvl > 0) {
    unit_write_line(c.msgunit, "");
    time_line(c, "cpu  time for numeric factorization    = ", cpu);
    time_line(c, "wall time for numeric factorization    = ", wall);
    unit_write_line(c.msgunit, fline("(5X,A,1PE15.4)", {"one norm condition number estimate     = ", p.cond}));
  }
}

// The control words the solution phase reads, and the statistics.
void store_results(const Phase& p, double cpu, double wall) {
  const Work& w = p.w;
  const i64 solve_end = p.fend + std::max(p.n, p.w194 * p.ps.rows + (p.in_work ? 0 : p.ps.block));
  w.set(cw::stage, stage::factorised);
  w.set(cw::last, static_cast<double>(p.fend));
  w.set(cw::need, static_cast<double>(solve_end));
  w.set(cw::peak, std::max({p.peak, static_cast<double>(p.cond_end), static_cast<double>(solve_end)}));
  w.set(cw::panel_rows, static_cast<double>(p.ps.rows));
  w.set(cw::panel_tri, static_cast<double>(p.ps.tri));
  w.set(cw::largest_panel, static_cast<double>(p.ps.block));
  w.set(cw::factor_words, static_cast<double>(p.Fs / p.two));
  w.set(cw::glcount, static_cast<double>(p.pvttol > 0.0 ? p.glcount : p.nsnind));
  w.set(cw::stack_used, static_cast<double>(p.a.slen));
  w.set(cw::factor_on_file, p.in_work ? 0.0 : 1.0);
  w.set(cw::solve_area, static_cast<double>(p.fend + 1));
  w.set(cw::fdiag, static_cast<double>(p.dcopy));
  w.set(cw::pivblk, static_cast<double>(p.pivblk));
  w.set(cw::fgidx, static_cast<double>(p.glpos));
  w.set(cw::factor, p.in_work ? static_cast<double>(p.fpos) : 0.0);
  w.set(cw::snpan, static_cast<double>(p.npart));
  w.set(cw::fptr, static_cast<double>(p.nptr));
  w.set(cw::fperm, static_cast<double>(p.fperm));
  w.set(cw::finv, static_cast<double>(p.finv));
  w.set(cw::cond, p.cond);
  w.set(cw::cpu_factor, cpu);
  w.set(cw::wall_factor, wall);
  w.set(cw::ops_factor, p.a.st.ops1);
  w.set(cw::ops_solve, p.a.st.ops2);
  w.set(cw::panpart, static_cast<double>(p.panpart));
}

}  // namespace

void xdslfa(double* work, i32 lwork, double& cond, i32* inertia, i32& ier) {
  ier = 0;
  double cpu0 = 0, wall0 = 0;
  xdsltb(cpu0, wall0);
  Call c(work, lwork, "xdslfa");
  auto fail = [&](const Failure& f) {
    ier = f.ier;
    report(c, f, lwork);
    if (f.ier == err::factor_storage || f.ier == err::factor_singular) c.w.set(cw::stage, stage::failed);
  };
  const i64 st = c.stage();
  if (st != stage::distributed) {
    ier = err::factor_stage;
    fatal(c, ier, 3, 0, stage_text("xdslfa", st, "should be 40."));
    return;
  }
  Phase p(c, lwork, inertia);
  read_options(p);
  banner(c, {std::string(46, '='), "= multifrontal numerical factorization phase =", std::string(46, '=')});
  inertia[0] = inertia[1] = inertia[2] = -1;
  if (const Failure f = rewind_sequential(p); f.ier != 0) return fail(f);
  front_sizes(p);
  if (const Failure f = read_relative_indices(p); f.ier != 0) return fail(f);
  if (const Failure f = lay_fixed_arrays(p); f.ier != 0) return fail(f);
  share_variable_area(p);
  if (const Failure f = open_files(p); f.ier != 0) return fail(f);
  driver_args(p);
  if (const Failure f = run_driver(p); f.ier != 0) return fail(f);
  if (const Failure f = place_global_list(p); f.ier != 0) return fail(f);
  factor_view(p);
  if (const Failure f = place_factor(p); f.ier != 0) return fail(f);
  invert_permutation(p);
  const Failure f = estimate_condition(p);
  cond = p.cond;
  if (f.ier != 0) return fail(f);
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  print_results(p, cpu, wall);
  store_results(p, cpu, wall);
}

}  // namespace zephsol::sparse
