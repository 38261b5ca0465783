// xdslsl: the solution phase. Each right-hand side is permuted into the
// factor's numbering, solved forward (L D) and backward (L^T) panel by
// panel with the factor in work, and permuted back.
#include <algorithm>
#include <cstring>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/outcore.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {
namespace {

// Position of L(i, j), i > j, in the strictly lower triangle of a c x c
// pivot block (0-based).
inline i64 tpos(i64 c, i64 i, i64 j) { return (j - 1) * c - j * (j - 1) / 2 + (i - j) - 1; }

// The rows below a panel of the columns b0 .. b0+nb-1 gathered into t
// (h rows each), or scattered back from it.
void gather(const PanelRef& p, i64 ld, double* rhs, i64 b0, i64 nb, double* t) {
  for (i64 q = 0; q < nb; ++q) {
    const double* x = rhs + (b0 + q) * ld;
    double* tq = t + q * p.h;
    std::memcpy(tq, x + p.f + p.c - 1, static_cast<std::size_t>(p.r) * 8);
    for (i64 i = 0; i < p.k; ++i) tq[p.r + i] = x[p.idx[i] - 1];
  }
}
void scatter(const PanelRef& p, i64 ld, double* rhs, i64 b0, i64 nb, const double* t) {
  for (i64 q = 0; q < nb; ++q) {
    double* x = rhs + (b0 + q) * ld;
    const double* tq = t + q * p.h;
    std::memcpy(x + p.f + p.c - 1, tq, static_cast<std::size_t>(p.r) * 8);
    for (i64 i = 0; i < p.k; ++i) x[p.idx[i] - 1] = tq[p.r + i];
  }
}

// The panel's rectangle R (h x c) on blocks of at most rhsblk columns,
// gathered into T: forward T := T - R x_panel and scattered back, backward
// x_panel := x_panel - R^T T. Up to four columns one matrix-vector product
// each, more one matrix product for the block.
void rectangle(const PanelRef& p, i64 ld, i64 nrhs, double* rhs, i64 rhsblk, double* t, bool forward) {
  if (p.h == 0 || p.c == 0) return;
  const double* R = p.blk + p.c * (p.c - 1) / 2;
  const i32 h = static_cast<i32>(p.h), c = static_cast<i32>(p.c);
  for (i64 b0 = 0; b0 < nrhs; b0 += rhsblk) {
    const i64 nb = std::min(rhsblk, nrhs - b0);
    double* x = rhs + b0 * ld + (p.f - 1);
    gather(p, ld, rhs, b0, nb, t);
    if (nb <= 4) {
      for (i64 q = 0; q < nb; ++q) {
        if (forward) dgemv('N', h, c, -1.0, R, h, x + q * ld, 1, 1.0, t + q * p.h, 1);
        else dgemv('T', h, c, -1.0, R, h, t + q * p.h, 1, 1.0, x + q * ld, 1);
      }
    } else if (forward) {
      dgemm('N', 'N', h, static_cast<i32>(nb), c, -1.0, R, h, x, static_cast<i32>(ld), 1.0, t, h);
    } else {
      dgemm('T', 'N', c, static_cast<i32>(nb), h, -1.0, R, h, t, h, 1.0, x, static_cast<i32>(ld));
    }
    if (forward) scatter(p, ld, rhs, b0, nb, t);
  }
}

}  // namespace

void xdslfw(const PanelRef& p, i64 ld, i64 nrhs, const iword* pivblk, const double* diag, double* rhs,
            i64 rhsblk, double* t) {
  const i64 c = p.c, f = p.f;
  const double* L = p.blk;
  const iword* pb = pivblk + (f - 1);
  // 1. Unit lower triangle of the pivot block (d21 of a 2x2 block skipped).
  for (i64 q = 0; q < nrhs; ++q) {
    double* x = rhs + q * ld + (f - 1);
    for (i64 j = 1; j <= c; ++j) {
      const double xj = x[j - 1];
      if (xj == 0.0) continue;
      for (i64 i = j + 1; i <= c; ++i) {
        if (i == j + 1 && pb[j - 1] == 2) continue;
        x[i - 1] -= L[tpos(c, i, j)] * xj;
      }
    }
  }
  // 2. The rows below: T := T - R x_panel.
  rectangle(p, ld, nrhs, rhs, rhsblk, t, true);
  // 3. The pivots: x := D^-1 x, 1x1 and 2x2 blocks.
  for (i64 q = 0; q < nrhs; ++q) {
    double* x = rhs + q * ld + (f - 1);
    for (i64 j = 1; j <= c; ++j) {
      if (pb[j - 1] == 2 && j < c) {
        const double d11 = diag[f + j - 2], d22 = diag[f + j - 1], d21 = L[-pb[j] - 1];
        const double det = d11 * d22 - d21 * d21;
        const double e11 = d22 / det, e12 = -d21 / det, e22 = d11 / det;
        const double x1 = x[j - 1], x2 = x[j];
        x[j - 1] = e11 * x1 + e12 * x2;
        x[j] = e12 * x1 + e22 * x2;
        ++j;
      } else {
        x[j - 1] /= diag[f + j - 2];
      }
    }
  }
}

void xdslbk(const PanelRef& p, i64 ld, i64 nrhs, const iword* pivblk, double* rhs, i64 rhsblk, double* t) {
  const i64 c = p.c, f = p.f;
  const double* L = p.blk;
  const iword* pb = pivblk + (f - 1);
  // 1. x_panel := x_panel - R^T x_below.
  rectangle(p, ld, nrhs, rhs, rhsblk, t, false);
  // 2. Transposed unit triangle of the pivot block, last column first.
  for (i64 q = 0; q < nrhs; ++q) {
    double* x = rhs + q * ld + (f - 1);
    for (i64 j = c; j >= 1; --j) {
      double s = x[j - 1];
      for (i64 i = j + 1; i <= c; ++i) {
        if (i == j + 1 && pb[j - 1] == 2) continue;
        s -= L[tpos(c, i, j)] * x[i - 1];
      }
      x[j - 1] = s;
    }
  }
}

bool solve_passes(PanelSource& src, const FactorView& fv, i64 nrhs, i64 ld, double* rhs, double* t) {
  return src.walk(true, [&](const PanelRef& p) { xdslfw(p, ld, nrhs, fv.pivblk, fv.diag, rhs, fv.rhsblk, t); }) &&
         src.walk(false, [&](const PanelRef& p) { xdslbk(p, ld, nrhs, fv.pivblk, rhs, fv.rhsblk, t); });
}

void xdslsi(const FactorView& fv, i64 nrhs, i64 ld, double* rhs, double* t) {
  CorePanels src(fv);
  solve_passes(src, fv, nrhs, ld, rhs, t);
}

// The factor of the control block as the solution walks it.
FactorView factor_view(const Work& w) {
  const i64 n = w.ictl(cw::neqns), ns = w.ictl(cw::nsuper);
  FactorView fv;
  fv.n = n;
  fv.nsuper = ns;
  fv.snpan = w.ints(w.ictl(cw::snpan), ns + 1).data();
  const i64 npanel = fv.snpan[ns] - 1;
  fv.panpart = w.ints(w.ictl(cw::panpart), npanel + 1).data();
  fv.ptr = w.ints(w.ictl(cw::fptr), ns + 1).data();
  fv.gl = w.ints(w.ictl(cw::fgidx), std::max<i64>(fv.ptr[ns] - 1, 1)).data();
  fv.pivblk = w.ints(w.ictl(cw::pivblk), n).data();
  fv.diag = w.dbl(w.ictl(cw::fdiag), n).data();
  fv.unsym = w.ctl(cw::mtype) == 2.0;
  fv.factor = w.ictl(cw::factor_on_file) == 0
                  ? w.dbl(w.ictl(cw::factor), (fv.unsym ? 2 : 1) * w.ictl(cw::factor_words)).data()
                  : nullptr;
  fv.rhsblk = count_option(w, cw::rhsblk, 8);
  return fv;
}

void xdslsl(i32 nrhs, double* rhs, i32 ldrhs, double* work, i32 lwork, i32& ier) {
  double cpu0 = 0, wall0 = 0;
  xdsltb(cpu0, wall0);
  ier = 0;
  Call c(work, lwork, "xdslsl");
  const Work& w = c.w;
  banner(c, {std::string(41, '='), "= multifrontal numerical solution phase =", std::string(41, '=')});
  const i64 n = w.ictl(cw::neqns);
  if (nrhs < 1) {
    ier = err::solve_nrhs;
    fatal(c, ier, 1, 0,
          {" *** number of right-hand-sides input to",
           fline("('subroutine xdslsl is nonpositive.  nrhs = ',I10)", {nrhs})});
    return;
  }
  if (c.stage() != stage::factorised) {
    ier = err::solve_stage;
    fatal(c, ier, 3, 0, stage_text("xdslsl", c.stage(), "should be 50."));
    return;
  }
  if (ldrhs < n) {
    ier = err::solve_ldrhs;
    fatal(c, ier, 1, 0,
          {" *** leading dimension of rhs array",
           "input to subroutine xdslsl is less than the number of equations.  ",
           fline("(10X,'ldrhs = ',I10,'  neqns = ',I10)", {ldrhs, n})});
    return;
  }
  const i64 rhsblk = count_option(w, cw::rhsblk, 8);
  const bool on_file = w.ictl(cw::factor_on_file) != 0;
  const i64 tw = std::max(w.ictl(cw::panel_rows) * rhsblk + (on_file ? w.ictl(cw::largest_panel) : 0), n);
  const i64 need = tw + w.ictl(cw::solve_area) - 1;
  if (lwork < need) {
    ier = err::solve_space;
    fatal(c, ier, 2, need, need_text("xdslsl", need, lwork));
    return;
  }
  double* t = w.dbl(w.ictl(cw::solve_area), tw).data();
  const iword* perm = w.ints(w.ictl(cw::perm), n).data();
  const iword* invp = w.ints(w.ictl(cw::invp), n).data();
  const iword* fperm = w.ints(w.ictl(cw::fperm), n).data();
  const iword* finv = w.ints(w.ictl(cw::finv), n).data();
  for (i64 j = 0; j < nrhs; ++j) {
    double* b = rhs + j * ldrhs;
    if (c.msglvl >= 3) xdslps("org. rhs", n, b, c.msgunit);
    xdslsc(n, b, invp, t);
    xdslsc(n, t, finv, b);
    if (c.msglvl >= 4) xdslps("perm. rhs", n, b, c.msgunit);
  }
  const FactorView fv = factor_view(w);
  if (!on_file) {
    xdslsi(fv, nrhs, ldrhs, rhs, t);
  } else {
    // The factor file read through the rest of work behind T (the L parts
    // and the U parts of an LU factor from their two files).
    const i64 at = w.ictl(cw::solve_area) + w.ictl(cw::panel_rows) * rhsblk, len = lwork - at + 1;
    const i32 lunit3 = static_cast<i32>(w.ictl(cw::lunit3)), lunit5 = static_cast<i32>(w.ictl(cw::lunit5));
    i64 words = 0;
    i32 failed = 0;
    if (fv.unsym) {
      LuFilePanels src(fv, lunit3, lunit5, w.dbl(at, len).data(), len, words);
      if (!solve_passes(src, fv, nrhs, ldrhs, rhs, t)) failed = src.u_failed() ? lunit5 : lunit3;
    } else if (xdslsx(fv, lunit3, nrhs, ldrhs, rhs, t, w.dbl(at, len).data(), len, words) != 0) {
      failed = lunit3;
    }
    if (failed != 0) {
      ier = fv.unsym && failed == lunit5 ? err::solve_file2_io : err::solve_file1_io;
      fatal(c, ier, 3, 0,
            {" *** i/o errorencountered in subroutine",
             fline("('xdslsl on word addressable i/o file no. ',I10)", {failed})});
      return;
    }
    if (fv.unsym) {
      w.set(cw::moved3, w.ctl(cw::moved3) + w.ctl(cw::factor_words));
      w.set(cw::moved5, w.ctl(cw::moved5) + w.ctl(cw::factor_words));
    } else {
      w.set(cw::moved3, w.ctl(cw::moved3) + 2.0 * w.ctl(cw::factor_words));
    }
  }
  for (i64 j = 0; j < nrhs; ++j) {
    double* x = rhs + j * ldrhs;
    if (c.msglvl >= 4) xdslps("perm. sol", n, x, c.msgunit);
    xdslsc(n, x, fperm, t);
    xdslsc(n, t, perm, x);
    if (c.msglvl >= 3) xdslps("comp. sol", n, x, c.msgunit);
  }
  double cpu = 0, wall = 0;
  xdslte(cpu0, wall0, cpu, wall);
  if (c.msglvl >= 1) {
    unit_write_line(c.msgunit, "");
    time_line(c, "cpu  time for numeric solution          = ", cpu);
    time_line(c, "wall time for numeric solution          = ", wall);
  }
  w.set(cw::cpu_solve, cpu / nrhs);
  w.set(cw::wall_solve, wall / nrhs);
}

bool factor_pivots(double* work, i32 lwork, std::span<double> d) {
  const Work w(work, lwork);
  const i64 n = w.ictl(cw::neqns);
  if (w.ictl(cw::stage) != stage::factorised || w.ctl(cw::mtype) == 2.0 || static_cast<i64>(d.size()) != n)
    return false;
  const FactorView fv = factor_view(w);
  std::vector<double> by_pivot(static_cast<std::size_t>(n)), t(static_cast<std::size_t>(n));
  // A row of a 2x2 block gets the pivot it would have had, eliminated after
  // the other row: det / d of the other.
  const auto visit = [&](const PanelRef& p) {
    const iword* pb = fv.pivblk + (p.f - 1);
    const double* dg = fv.diag + (p.f - 1);
    double* out = by_pivot.data() + (p.f - 1);
    for (i64 j = 1; j <= p.c; ++j) {
      if (pb[j - 1] == 2 && j < p.c) {
        const double d11 = dg[j - 1], d22 = dg[j], d21 = p.blk[-pb[j] - 1];
        const double det = d11 * d22 - d21 * d21;
        out[j - 1] = det / d22;
        out[j] = det / d11;
        ++j;
      } else {
        out[j - 1] = dg[j - 1];
      }
    }
  };
  bool read = false;
  if (fv.factor != nullptr) {
    CorePanels src(fv);
    read = src.walk(true, visit);
  } else {
    // The factor file read through the words behind the solution's area, as the solution reads it.
    const i64 at = w.ictl(cw::solve_area) + w.ictl(cw::panel_rows) * fv.rhsblk, len = lwork - at + 1;
    if (len < w.ictl(cw::largest_panel)) return false;
    i64 words = 0;
    FilePanels src(fv, static_cast<i32>(w.ictl(cw::lunit3)), w.dbl(at, len).data(), len, words);
    read = src.walk(true, visit);
  }
  if (!read) return false;
  // Back to the rows given, as the solution is: factorisation order, then the ordering.
  xdslsc(n, by_pivot.data(), w.ints(w.ictl(cw::fperm), n).data(), t.data());
  xdslsc(n, t.data(), w.ints(w.ictl(cw::perm), n).data(), d.data());
  return true;
}

}  // namespace zephsol::sparse
