// xdslim: structural input, and the flush of its pair buffer.
#include "zephsol/sparse/structin.h"

#include <cctype>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/state.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {
namespace {

// The first index of the last stretch of the buffer to keep when a run is
// cut near 70 % of the capacity: pairs 1 ... c go to the run, ending at a
// column boundary. A buffer holding one column only goes whole.
i64 run_split(const IVec& collst, i64 cnt, i64 cap, i64& lastcol) {
  const i64 i0 = static_cast<i64>(0.7f * static_cast<float>(cap));
  const i32 c0 = collst(i0);
  for (i64 p = i0 - 1; p >= 1; --p)
    if (collst(p) != c0) {
      lastcol = collst(p);
      return p;
    }
  for (i64 p = i0 + 1; p <= cnt; ++p)
    if (collst(p) != c0) {
      lastcol = c0;
      return p - 1;
    }
  lastcol = c0;
  return cnt;
}

}  // namespace

void xisliz(i32 final, i32 n, i64& cnt, i64 cap, i64& runs, i64 m, i64& lastcol, i64& overlap, i32 lunit,
            i64 space, IVec rowlst, IVec collst, IVec scratch, IVec runstart, IVec runlen, IVec colcnt,
            i32& ier) {
  ier = 0;
  // Counting sort by column: rows into scratch, colcnt(j) the start of
  // column j, then its end + 1 after the placement.
  std::fill(colcnt.data(), colcnt.data() + n + 1, 0);
  for (i64 k = 1; k <= cnt; ++k) ++colcnt(collst(k));
  i64 start = 1;
  for (i64 j = 1; j <= n; ++j) {
    const i64 c = colcnt(j);
    colcnt(j) = static_cast<i32>(start);
    start += c;
  }
  for (i64 k = 1; k <= cnt; ++k) scratch(colcnt(collst(k))++) = rowlst(k);
  // Rows of each column sorted, duplicates dropped, back into the buffer.
  cnt = 0;
  i64 begin = 1;
  for (i64 j = 1; j <= n; ++j) {
    const i64 end = colcnt(j);
    if (end > begin) {
      i32 e = 0;
      xislso(end - begin, scratch.at(begin), e);
      i32 prev = 0;
      for (i64 k = begin; k < end; ++k) {
        const i32 r = scratch(k);
        if (r == prev) continue;
        ++cnt;
        collst(cnt) = static_cast<i32>(j);
        rowlst(cnt) = r;
        prev = r;
      }
    }
    begin = end;
  }
  const bool write = final == 0 ? static_cast<float>(cnt) > 0.8f * static_cast<float>(cap)
                                : runs > 0 || 2 * (8 * xisl2d(i64{n} + 1) + 2 * xisl2d(cnt)) > space;
  if (!write) return;
  if (runs == m) {
    ier = -1;
    return;
  }
  if (runs == 0) {
    xislop(lunit, ier);
    if (ier != 0) return;
  }
  if (cnt > 0 && collst(1) <= lastcol) overlap = 1;
  i64 pos = 1;
  for (i64 k = 1; k <= runs; ++k) pos += runlen(k);
  const i64 c = final != 0 ? cnt : run_split(collst, cnt, cap, lastcol);
  xislw2(lunit, rowlst.data(), collst.data(), pos, c, ier);
  if (ier != 0) {
    ier = -1;
    return;
  }
  ++runs;
  runstart(runs) = static_cast<i32>(pos);
  runlen(runs) = static_cast<i32>(c);
  xislmv(cnt - c, collst.data(), c + 1, 1);
  xislmv(cnt - c, rowlst.data(), c + 1, 1);
  cnt -= c;
}

void xdslim(char matrix, std::span<const i32> colptr, std::span<const i32> rowind, double* work,
            i32 lwork, i32& ier) {
  ier = 0;
  Call c(work, lwork, "xdslim");
  const i64 st = c.stage();
  if (st != stage::initialised && st != stage::structure) {
    ier = err::input_stage;
    fatal(c, ier, 3, 0, stage_text("xdslim", st, ""));
    c.w.set(cw::stage, stage::failed);
    return;
  }
  const i32 n = static_cast<i32>(c.w.ictl(cw::neqns));
  const i64 X = xisl2d(i64{n} + 1);
  const i64 m = std::min<i64>(n, 10000);
  const i64 aux = xisl2d(m);
  const char code = static_cast<char>(std::toupper(static_cast<unsigned char>(matrix)));
  if (code != 'A' && code != 'K' && code != 'B' && code != 'M') {
    ier = err::input_matrix;
    fatal(c, ier, 1, 0,
          {" *** invalid value of matrix input to", "subroutine xdslim.", std::string("     matrix = ") + matrix});
    c.w.set(cw::stage, stage::failed);
    return;
  }
  // The whole structure is checked before anything is stored.
  bool valid = static_cast<i64>(colptr.size()) > n && colptr[0] >= 1;
  i64 offdiag = 0;
  for (i64 j = 1; valid && j <= n; ++j) {
    const i64 b = colptr[j - 1], e = colptr[j];
    if (e < b || e - 1 > static_cast<i64>(rowind.size())) {
      valid = false;
      break;
    }
    for (i64 k = b; k < e; ++k) {
      const i32 r = rowind[k - 1];
      if (r < 1 || r > n) {
        valid = false;
        break;
      }
      if (r != j) ++offdiag;
    }
  }
  if (!valid) {
    ier = err::input_structure;
    fatal(c, ier, 1, 0, {" *** invalid matrix structure input", "to subroutine xdslim."});
    c.w.set(cw::stage, stage::failed);
    return;
  }
  if (code == 'B' || code == 'M') c.w.set(cw::nnzb, c.w.ctl(cw::nnzb) + static_cast<double>(offdiag));
  const Work& w = c.w;
  if (st == stage::initialised) {
    double cpu = 0, wall = 0;
    xdsltb(cpu, wall);
    w.set(cw::cpu_input, cpu);
    w.set(cw::wall_input, wall);
    const i64 q = (i64{lwork} - 2 * aux - X - 200) / 3;
    const i64 cap = 2 * q;
    library_state().structure_figure = 8 * X + 2 * aux + 200;
    if (cap < n) {
      ier = err::input_space;
      const i64 fig = library_state().structure_figure;
      fatal(c, ier, 2, fig, need_text("xdslie", fig, lwork));
      w.set(cw::stage, stage::failed);
      return;
    }
    for (int k : {cw::npairs, cw::runs, cw::lastcol, cw::overlap}) w.set(k, 0.0);
    w.set(cw::cap, static_cast<double>(cap));
    w.set(cw::collst, static_cast<double>(201 + 2 * aux + X));
    w.set(cw::rowlst, w.ctl(cw::collst) + static_cast<double>(xisl2d(cap)));
    w.set(cw::flushbuf, w.ctl(cw::rowlst) + static_cast<double>(xisl2d(cap)));
    w.set(cw::last, w.ctl(cw::flushbuf) + static_cast<double>(xisl2d(cap)) - 1);
    w.set(cw::peak, w.ctl(cw::last));
  }
  if (w.ictl(cw::last) > lwork) {
    // A later call with a shorter work array than the buffers were laid in.
    ier = err::input_space;
    fatal(c, ier, 2, w.ictl(cw::last), need_text("xdslie", w.ictl(cw::last), lwork));
    w.set(cw::stage, stage::failed);
    return;
  }
  const i64 cap = w.ictl(cw::cap);
  i64 cnt = w.ictl(cw::npairs), runs = w.ictl(cw::runs), lastcol = w.ictl(cw::lastcol), overlap = w.ictl(cw::overlap);
  const i32 lunit3 = static_cast<i32>(w.ictl(cw::lunit3));
  IVec collst = w.ints(w.ictl(cw::collst), cap), rowlst = w.ints(w.ictl(cw::rowlst), cap),
       scratch = w.ints(w.ictl(cw::flushbuf), cap);
  IVec runstart = w.ints(201, m), runlen = w.ints(201 + aux, m), colcnt = w.ints(201 + 2 * aux, i64{n} + 1);
  i32 e = 0;
  for (i64 j = 1; j <= n && e == 0; ++j) {
    for (i64 k = colptr[j - 1]; k < colptr[j]; ++k) {
      const i32 r = rowind[k - 1];
      if (r == j) continue;
      if (cnt == cap) {
        xisliz(0, n, cnt, cap, runs, m, lastcol, overlap, lunit3, 0, rowlst, collst, scratch, runstart, runlen,
               colcnt, e);
        if (e != 0) break;
      }
      ++cnt;
      collst(cnt) = std::min<i32>(r, static_cast<i32>(j));
      rowlst(cnt) = std::max<i32>(r, static_cast<i32>(j));
    }
  }
  if (e != 0) {
    ier = err::input_io;
    fatal(c, ier, 3, 0, io_text("xdslim", lunit3));
    w.set(cw::stage, stage::failed);
    return;
  }
  w.set(cw::stage, stage::structure);
  w.set(cw::npairs, static_cast<double>(cnt));
  w.set(cw::runs, static_cast<double>(runs));
  w.set(cw::lastcol, static_cast<double>(lastcol));
  w.set(cw::overlap, static_cast<double>(overlap));
}

}  // namespace zephsol::sparse
