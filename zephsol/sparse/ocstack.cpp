// The stack file and the value file of the factorisation: columns read in
// runs through a buffer, stack entries spilled from work to the stack
// file (hdslfi), and the matrix entries of a supernode taken from work or
// read from the value file.
#include <algorithm>
#include <cmath>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {

bool file_read(i32 unit, i64 addr, i64 n, double* v) {
  if (n <= 0) return true;
  i32 e = 0;
  xdslw5(unit, v, (addr - 1) / kRecordEntries + 1, static_cast<i32>((addr - 1) % kRecordEntries + 1), n, e);
  return e == 0;
}

bool file_write(i32 unit, i64 addr, i64 n, const double* v) {
  if (n <= 0) return true;
  i32 e = 0;
  xdslw6(unit, v, (addr - 1) / kRecordEntries + 1, static_cast<i32>((addr - 1) % kRecordEntries + 1), n, e);
  return e == 0;
}

i64 columns_that_fit(i64 e, i64 r, i64 left) {
  const double f = static_cast<double>(e) + 0.5;
  i64 c = static_cast<i64>(f - std::sqrt(std::max(0.0, f * f - 2.0 * static_cast<double>(r))));
  left = std::min(left, e);
  auto words = [e](i64 k) { return k * e - k * (k - 1) / 2; };
  c = std::clamp<i64>(c, 0, left);
  while (c < left && words(c + 1) <= r) ++c;
  while (c > 0 && words(c) > r) --c;
  return c;
}

const double* ColumnReader::column(i64 j) {
  if (j >= first_ && j <= last_) return buf_ + (start(j) - start(first_));
  const i64 len = len1_ - j + 1;
  const i64 c = columns_that_fit(len, buflen_, ncols_ - j + 1);
  if (c < 1) return nullptr;
  const i64 words = c * len - c * (c - 1) / 2;
  if (!file_read(unit_, addr_ + start(j), words, buf_)) {
    failed_ = true;
    return nullptr;
  }
  words_ += words;
  first_ = j;
  last_ = j + c - 1;
  return buf_;
}

StackedChild stacked_child(const Work& w, const FactorArgs& a, i64 e) {
  const IVec dir = w.ints(a.stkdir, 4 * a.maxdepth);
  StackedChild c;
  c.nr = dir(4 * e - 3);
  c.old = dir(4 * e - 2);
  c.nd = dir(4 * e - 1);
  c.pos = w.ints(a.stkpos, a.maxdepth)(e);
  c.addr = a.stkaddr[static_cast<std::size_t>(e)];
  return c;
}

bool hdslfi(const Work& w, FactorArgs& a, i64 depth, i64 triangles) {
  const IVec pos = w.ints(a.stkpos, a.maxdepth);
  for (i64 e = 1; e <= depth; ++e) {
    if (pos(e) == 0) continue;
    const StackedChild c = stacked_child(w, a, e);
    const i64 words = c.nd + triangles * tri(c.nd + c.nr);
    if (!file_write(a.lunit4, a.wafil2_next, words, w.dbl(a.sa + c.pos - 1, words).data())) return false;
    a.stkaddr[static_cast<std::size_t>(e)] = a.wafil2_next;
    a.wafil2_next += words;
    a.st.file2_words += words;
    a.st.file2_extent = std::max(a.st.file2_extent, a.wafil2_next - 1);
    pos(e) = 0;
  }
  return true;
}

i32 front_entries(const Work& w, FactorArgs& a, const Front& f, FrontEntries& fe) {
  const IVec xrelin = w.ints(a.xrelin, a.n + 1);
  fe.first = xrelin(f.first);
  fe.count = xrelin(f.first + f.ncol) - fe.first;
  if (fe.count <= 0) return 0;
  if (a.ud == 0) {
    const i64 last = fe.first + fe.count - 1;
    fe.pos = w.ints(a.relent, last).data() + (fe.first - 1);
    fe.val = w.dbl(a.vals, last).data() + (fe.first - 1);
    return 0;
  }
  // One supernode's records on the value file: rows (when kept), places,
  // values.
  if (fe.count > a.vcap) return -2;
  iword* ib = w.ints(a.vint, a.vcap).data();
  double* db = w.dbl(a.vdbl, a.vcap).data();
  i32 e = 0;
  if (a.keeprow) xislrd(a.lunit1, fe.count, ib, e);
  if (e == 0) xislrd(a.lunit1, fe.count, ib, e);
  if (e == 0) xdslrd(a.lunit1, fe.count, db, e);
  if (e != 0) return -2;
  a.st.value_words += (a.keeprow ? 2 : 1) * xisl2d(fe.count) + fe.count;
  fe.pos = ib;
  fe.val = db;
  return 0;
}

}  // namespace zephsol::sparse
