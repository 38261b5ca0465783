// Profile decomposition driver SDCOMP.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/sdcrow.h"
#include "zephsol/solve/sdcwork.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace zephsol {

namespace {

void check_matrix(MCB& k) {
  const bool ok = k.type == sysw().IPREC && k.type == kRealDouble &&
                  (k.form == kLowerTriangular || k.form == kSymmetric) && k.cols == k.rows && k.cols > 0;
  if (!ok) wrong_input_file(3105, k.file, k.header());
}

void start_factor(SolveState& st) {
  SDCBLK& b = st.sdcblk;
  b.error = 0;
  b.row = b.active = b.carried = b.update = b.growth = 0;
  b.lll.cols = 0;
  b.lll.rows = b.kll.cols;
  b.lll.form = kLowerTriangular;
  b.lll.type = b.kll.type;
  b.lll.maxcol = 0;
  b.lll.density = 0;
  st.lll_terms = 0;
  st.ahead.clear();
  start_pivot_watch(b.kll.cols);
}

// One row through the row kernel: read and merge, update the triangle
// (inside a group only the rows up to the group's end, the rest going to a
// pivot record), write the factor column, carry the active set on.
void eliminate_row(SdcWork& wk, word n) {
  SDCBLK& b = sdcblk();
  const auto carried = wk.carried();
  const auto idx = wk.idx();
  const auto vals = wk.vals();
  const bool pivot_carried = b.carried > 0 && carried[0] == b.row;
  SDCGET(idx, vals, carried.first(static_cast<std::size_t>(b.carried)), wk.at(wk.start));
  if (b.error != 0) return;
  const word m = b.active;
  if (b.row == n) {
    if (std::abs(m) > 1) solve_fatal(913, m, 0);
    SDCPUT(idx, vals);
    return;
  }
  if (m != 0 && pivot_carried) wk.start += b.carried;
  const word len = std::abs(m) - 1;
  if (m != 0) {
    const Spill& sp = wk.spill;
    word q = len;
    if (sp.inside) {
      q = rows_up_to(idx, len, sp.end);
      if (q == len) solve_fatal(915, b.row, sp.end);
    }
    update_triangle(wk, q, len, sp.inside ? 916 : 911);
    if (sp.inside) write_pivot_record(wk, q);
  }
  SDCPUT(idx, vals);
  if (m != 0) {
    std::copy_n(idx.begin() + 1, len, carried.begin());
    b.carried = len;
  }
}

void finish(SDCBLK& b) {
  const double n = b.lll.rows;
  b.lll.density = static_cast<word>(std::trunc(double(solve_state().lll_terms) / (n * n) * 10000.0 + 0.5));
}

}  // namespace

void update_triangle(SdcWork& wk, word q, word len, word code) {
  SDCBLK& b = sdcblk();
  const std::int64_t size = std::int64_t{q} * len - std::int64_t{q} * (q - 1) / 2;
  const std::int64_t fresh = wk.top + 1 - size;
  if (wk.start < fresh) solve_fatal(code, message_word(wk.start), message_word(fresh));
  if (fresh <= wk.values_end()) solve_fatal(code + 1, message_word(fresh), message_word(wk.values_end()));
  b.update = q;
  SDCUPD(wk.idx(), wk.vals(), wk.at(wk.start), wk.at(fresh));
  wk.start = fresh;
}

word active_limit(std::int64_t w) {
  if (w < 4) return 0;
  auto nc = static_cast<std::int64_t>(std::trunc((std::sqrt(4.0 * double(w) + 9.0) - 3.0) * 0.5));
  while (nc > 0 && nc * (nc + 3) > w) --nc;
  while ((nc + 1) * (nc + 4) <= w) ++nc;
  return static_cast<word>(nc);
}

void SDCOMP(word first, word z, word& failrow) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  check_matrix(b.kll);
  failrow = 0;
  start_factor(st);
  const word n = b.kll.cols;
  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t u = std::int64_t{z} - nbuf + 1;
  const std::int64_t v = b.lll.file != 0 ? u - nbuf : u;
  const std::int64_t w = v > 1 ? 2 * ((v - 1) / 2) : 0;
  if (w < 4 * std::int64_t{n}) solve_fatal(3, message_word(std::int64_t{z} + 4 * std::int64_t{n} - w), z);
  SdcWork wk;
  wk.lay_out(first, w, active_limit(w));
  if (b.scr1 != 0 && b.scr2 != 0 && n > wk.nc && !plan_spill(wk, z, u, v)) {
    if (b.lll.file != 0) {
      DBOPEN(b.lll.file, static_cast<word>(first + v - 1), kWrite);
      DBCLOS(b.lll.file, kCloseUnload);
    }
    failrow = b.row;
    return;
  }
  b.limit = wk.nc;

  DBOPEN(b.kll.file, static_cast<word>(first + u - 1), kRead);
  if (b.lll.file != 0) DBOPEN(b.lll.file, static_cast<word>(first + v - 1), kWrite);
  Spill& sp = wk.spill;
  for (word i = 1; i <= n && b.error == 0; ++i) {
    b.row = i;
    if (sp.planned && !sp.inside && i == sp.start) {
      start_group(wk);
      sp.inside = true;
    }
    if (st.kernel.blocked && i < n && eliminate_block(wk, n) > 0)
      i = b.row;
    else
      eliminate_row(wk, n);
    if (sp.inside && b.error == 0 && i == sp.end) end_group(wk);
  }

  DBCLOS(b.kll.file, kCloseRewind);
  st.panel.clear();
  st.ahead.clear();
  if (b.error == 0) {
    finish(b);
    if (b.lll.file != 0) DBCLOS(b.lll.file, kCloseRewind);
    if (sp.read != 0 || sp.write != 0) solve_fatal(914, sp.read, sp.write);
    return;
  }
  if (b.lll.file != 0) DBCLOS(b.lll.file, kCloseUnload);
  release_scratch(wk);
  if (b.error != 1) solve_fatal(999, 0, 0);
  failrow = b.row;
}

}  // namespace zephsol
