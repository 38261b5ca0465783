// Spill groups of the profile decomposition: planning inside SDCOMP, the
// spill record at a group's start, the pivot records of its rows, and the
// replay at its end.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/sdcrow.h"
#include "zephsol/solve/sdcspl.h"
#include "zephsol/solve/sdcwork.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

std::int64_t triangle(std::int64_t rows) { return rows * (rows + 1) / 2; }

word buffer_of(const SdcWork& wk, word file) {
  return file == sdcblk().scr1 ? wk.spill.upper : wk.spill.lower;
}

word name_of(word file) {
  word name = 0;
  DBNAME(file, name);
  return name;
}

// A pivot record of the pivot idx[0] with its values for idx[q+1..len].
void put_pivot_record(word file, std::span<const word> idx, std::span<const double> a, word q, word len,
                      word growth) {
  const word s = len - q;
  const std::array<word, 3> head{s + 1, growth, idx[0]};
  DBWRIT(file, head.data(), 3, 0);
  DBWRIT(file, idx.data() + 1 + q, s, 0);
  DBWRDP(file, a.data(), 1, 0);
  DBWRDP(file, a.data() + 1 + q, s, 1);
}

// The spill record of the carried rows beyond the group end, the tail of the
// packed triangle; the rest of the triangle moves up to end at the top.
void spill_tail(SdcWork& wk) {
  SDCBLK& b = sdcblk();
  const Spill& sp = wk.spill;
  const auto carried = wk.carried().first(static_cast<std::size_t>(b.carried));
  const auto beyond = std::upper_bound(carried.begin(), carried.end(), sp.end);
  const auto cnt = static_cast<word>(carried.end() - beyond);
  const std::int64_t tail = triangle(cnt);
  const std::array<word, 2> head{cnt, 0};
  if (cnt == 0) {
    DBWRIT(sp.write, head.data(), 1, 1);
    return;
  }
  DBWRIT(sp.write, head.data(), 2, 0);
  DBWRIT(sp.write, &*beyond, cnt, 0);
  DBWRDP(sp.write, wk.at(wk.top + 1 - tail), static_cast<word>(tail), 1);
  std::memmove(wk.at(wk.start + tail), wk.at(wk.start),
               static_cast<std::size_t>(wk.top + 1 - tail - wk.start) * sizeof(double));
  wk.start += tail;
}

// The spill record written at the group's start: the carried rows it
// restores, with their pending triangle at the top.
void restore_tail(SdcWork& wk) {
  SDCBLK& b = sdcblk();
  const word file = wk.spill.read;
  std::array<word, 2> head{};
  word got = 0, status = 0;
  DBRDST(file, head.data(), 2, 0, got, status);
  if (status == 2) solve_fatal(2, name_of(file), 0);
  b.carried = 0;
  wk.start = wk.top + 1;
  if (status == 1) return;  // [0]: no row beyond the end
  const word cnt = head[0];
  const std::int64_t tail = triangle(cnt);
  DBREAD(file, wk.carried().data(), cnt, 0);
  wk.start = wk.top + 1 - tail;
  DBRDDP(file, wk.at(wk.start), static_cast<word>(tail), 1);
  b.carried = cnt;
}

// One pivot record read back: its pivot row, rows, pivot and values.
struct Record {
  word growth = 0;
  std::vector<word> idx;      // pivot row, then its rows
  std::vector<double> vals;   // pivot, then its values
  word len() const { return static_cast<word>(idx.size()) - 1; }
};

// The next pivot record of the read block; false at the end-of-file mark.
bool read_record(word file, Record& r) {
  std::array<word, 2> head{};
  word got = 0, status = 0;
  DBRDST(file, head.data(), 2, 0, got, status);
  if (status == 2) return false;
  if (status == 1) solve_fatal(1, name_of(file), got);
  r.growth = head[1];
  r.idx.resize(static_cast<std::size_t>(head[0]));
  r.vals.resize(static_cast<std::size_t>(head[0]));
  DBREAD(file, r.idx.data(), head[0], 0);
  DBRDDP(file, r.vals.data(), head[0], 1);
  return true;
}

// Applies the records of one batch to the in-core triangle in one trailing
// update, and sends their parts beyond the end of a group starting here on
// to the write block. A row beyond a group's end stays active to its end,
// so the rows of the last record are those of the whole batch.
void apply_records(SdcWork& wk, std::span<const Record> batch) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  SdcPanel& pn = st.panel;
  const Spill& sp = wk.spill;
  const Record& last = batch.back();
  pn.rows.resize(last.idx.size() - 1);
  std::transform(last.idx.begin() + 1, last.idx.end(), pn.rows.begin(), [](word r) { return std::abs(r); });
  const auto ld = static_cast<std::int64_t>(pn.rows.size());
  const auto k = static_cast<word>(batch.size());
  pn.w.assign(static_cast<std::size_t>(ld * k), 0.0);
  pn.l.assign(pn.w.size(), 0.0);
  for (word c = 0; c < k; ++c) {
    const Record& r = batch[static_cast<std::size_t>(c)];
    const double d = r.vals[0];
    const double rcp = d != 0.0 ? 1.0 / d : 0.0;
    double* w = pn.w.data() + c * ld;
    double* l = pn.l.data() + c * ld;
    std::int64_t pos = 0;
    for (std::size_t u = 1; u < r.idx.size(); ++u) {
      const word row = std::abs(r.idx[u]);
      while (pos < ld && pn.rows[static_cast<std::size_t>(pos)] < row) ++pos;
      if (pos == ld || pn.rows[static_cast<std::size_t>(pos)] != row) solve_fatal(920, row, last.idx[0]);
      w[pos] = r.vals[u];
      l[pos] = r.vals[u] * rcp;
    }
  }
  const auto carried = wk.carried().first(static_cast<std::size_t>(b.carried));
  pn.in_old.resize(pn.rows.size());
  for (std::size_t t = 0, x = 0; t < pn.rows.size(); ++t) {
    while (x < carried.size() && carried[x] < pn.rows[t]) ++x;
    pn.in_old[t] = x < carried.size() && carried[x] == pn.rows[t] ? 1 : 0;
  }
  const auto q =
      static_cast<word>(std::upper_bound(pn.rows.begin(), pn.rows.end(), sp.end) - pn.rows.begin());
  update_front(wk, pn.rows, pn.in_old, q, pn.w.data(), pn.l.data(), ld, k, 920);
  for (const Record& r : batch) {
    const word rq = rows_up_to(r.idx, r.len(), sp.end);
    if (rq < r.len()) put_pivot_record(sp.write, r.idx, r.vals, rq, r.len(), r.growth);
  }
  const auto next = wk.carried();
  std::copy(pn.rows.begin(), pn.rows.end(), next.begin());
  b.carried = static_cast<word>(pn.rows.size());
}

// Applies the pivot records of the group just ended to the restored rows,
// in order; the parts beyond the end of a group starting here go on to the
// write block. The carried rows become those of the last record. Row by
// row with the row kernel, or in batches with the blocked kernel.
void replay(SdcWork& wk) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  const Spill& sp = wk.spill;
  const std::size_t batch = st.kernel.blocked ? static_cast<std::size_t>(std::max<word>(st.kernel.block, 1)) : 1;
  std::vector<Record> records(batch);
  for (;;) {
    std::size_t k = 0;
    while (k < batch && read_record(sp.read, records[k])) ++k;
    if (k == 0) return;
    if (st.kernel.blocked) {
      apply_records(wk, std::span<const Record>(records.data(), k));
    } else {
      Record& r = records[0];
      const auto idx = wk.idx();
      const auto vals = wk.vals();
      std::copy(r.idx.begin(), r.idx.end(), idx.begin());
      std::copy(r.vals.begin(), r.vals.end(), vals.begin());
      const word len = r.len();
      const word q = rows_up_to(idx, len, sp.end);
      b.active = vals[0] != 0.0 ? len + 1 : -(len + 1);
      b.growth = r.growth;
      update_triangle(wk, q, len, 920);
      if (q < len) put_pivot_record(sp.write, idx, vals, q, len, r.growth);
      const auto carried = wk.carried();
      for (word u = 0; u < len; ++u) carried[static_cast<std::size_t>(u)] = std::abs(idx[static_cast<std::size_t>(u + 1)]);
      b.carried = len;
    }
    if (k < batch) return;
  }
}

}  // namespace

bool plan_spill(SdcWork& wk, std::int64_t z, std::int64_t u, std::int64_t v) {
  SDCBLK& b = sdcblk();
  const word n = b.kll.cols;
  const word first = wk.first;
  const auto activation = core().words(first, n);
  const auto counts = core().words(first + n, n);
  word largest = 0;
  DBOPEN(b.kll.file, static_cast<word>(first + u - 1), kRead);
  SDCPRE(activation, counts, largest);
  DBCLOS(b.kll.file, kCloseRewind);
  if (b.error != 0) return false;
  if (largest <= wk.nc) return true;

  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t below = v - 2 * nbuf - 1;
  const std::int64_t w = below > 0 ? 2 * (below / 2) : 0;
  if (w < 8 * std::int64_t{largest}) solve_fatal(3, message_word(z + 8 * std::int64_t{largest} - w), message_word(z));
  const std::int64_t r = w - 4 * std::int64_t{largest};
  const auto plan = core().words(first + 2 * n, std::max<std::int64_t>(w - 2 * std::int64_t{n}, 0));
  word groups = 0;
  SDCSPL(activation, counts, plan, groups, r);

  Spill& sp = wk.spill;
  sp.upper = static_cast<word>(first + v - nbuf - 1);
  sp.lower = static_cast<word>(first + v - 2 * nbuf - 1);
  if (groups > 0) {
    sp.planned = true;
    sp.start = plan[0];
    sp.end = plan[1];
    sp.write = b.scr1;
    const std::array<word, 2> none{kNoGroup, kNoGroup};
    DBOPEN(sp.write, sp.upper, kWrite);
    DBWRIT(sp.write, plan.data() + 2, 2 * (groups - 1), 0);
    DBWRIT(sp.write, none.data(), 2, 1);
  }
  wk.lay_out(first, w, largest);
  return true;
}

void start_group(SdcWork& wk) { spill_tail(wk); }

void write_pivot_record(const SdcWork& wk, word q) {
  const SDCBLK& b = sdcblk();
  const word len = std::abs(b.active) - 1;
  const auto vals = wk.vals();
  // A zero pivot let pass defers nothing but the rows it carries on.
  if (b.active < 0) std::fill(vals.begin(), vals.begin() + 1 + len, 0.0);
  put_pivot_record(wk.spill.write, wk.idx(), vals, q, len, b.growth);
}

void end_group(SdcWork& wk) {
  SDCBLK& b = sdcblk();
  Spill& sp = wk.spill;
  DBEOF(sp.write);
  DBREWD(sp.write);
  if (wk.start != wk.top + 1) solve_fatal(918, message_word(wk.start), message_word(wk.top));
  std::swap(sp.read, sp.write);

  // The plan of the groups still to come.
  const auto area = core().words(wk.first, wk.words);
  word got = 0, status = 0;
  DBRDST(sp.read, area.data(), static_cast<word>(wk.words), 1, got, status);
  if (status != 1) solve_fatal(919, sp.read, status);
  const word next_start = area[0];
  const word next_end = area[1];
  sp.end = kNoGroup;
  if (next_start == kNoGroup) {
    if (sp.write != 0) DBCLOS(sp.write, kCloseUnload);
    sp.write = 0;
  } else {
    if (sp.write == 0) {
      sp.write = sp.read == b.scr1 ? b.scr2 : b.scr1;
      DBOPEN(sp.write, buffer_of(wk, sp.write), kWrite);
    } else {
      DBREWD(sp.write);
    }
    DBWRIT(sp.write, area.data() + 2, got - 2, 1);
  }

  restore_tail(wk);
  sp.inside = next_start == b.row;
  if (sp.inside) {
    sp.end = next_end;
    spill_tail(wk);
  }
  replay(wk);
  if (next_start == kNoGroup) {
    DBCLOS(sp.read, kCloseUnload);
    sp.read = 0;
  }
  sp.start = next_start;
  sp.end = next_end;
}

void release_scratch(SdcWork& wk) {
  Spill& sp = wk.spill;
  for (word* file : {&sp.read, &sp.write})
    if (*file != 0) {
      DBCLOS(*file, kCloseUnload);
      *file = 0;
    }
}

}  // namespace zephsol
