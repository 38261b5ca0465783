// xdslvm: value input, and the flush of its value buffers.
#include "zephsol/sparse/values.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/sorts.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {

bool sort_keys(i64 n, iword* keys, double* vals) {
  return quicksort(
      n, [keys](i64 i, i64 j) { return keys[i] < keys[j]; },
      [keys, vals](i64 i, i64 j) {
        std::swap(keys[i], keys[j]);
        std::swap(vals[i], vals[j]);
      });
}

namespace {

// The buffer of one matrix as views of the work array.
struct Buffer {
  IVec rows, keys;
  DVec vals;
  IVec segstart, seglen;
  i64 cap;
};

Buffer buffer_of(const Work& w, const BufferWords& b) {
  const i64 n = w.ictl(cw::neqns), cap = w.ictl(cw::cap), nseg = max_segments(n);
  return {w.ints(w.ictl(b.rows), cap), w.ints(w.ictl(b.keys), cap), w.dbl(w.ictl(b.vals), cap),
          w.ints(w.ictl(b.segstart), nseg), w.ints(w.ictl(b.seglen), nseg), cap};
}

// The split of a full buffer near 70 % of the capacity at a row boundary:
// the number of leading entries to write. A buffer of one row goes whole.
i64 segment_split(const IVec& rows, i64 count, i64 cap) {
  const i64 i70 = static_cast<i64>(static_cast<float>(cap) * 0.7f);
  const i32 r = rows(i70);
  i64 b = i70;
  while (b > 1 && rows(b - 1) == r) --b;
  if (b > 1) return b - 1;
  for (i64 p = i70 + 1; p <= count; ++p)
    if (rows(p) != r) return p - 1;
  return count;
}

}  // namespace

i32 xdslvz(const Work& w, const BufferWords& b, i32 final) {
  const i64 n = w.ictl(cw::neqns);
  const Buffer buf = buffer_of(w, b);
  i64 count = w.ictl(b.count), segs = w.ictl(b.segs);
  const i64 cap = buf.cap;
  // Sort arrays behind the buffers: keys, values, row buckets.
  const IVec skeys = w.ints(w.ictl(cw::sortbuf), cap);
  const DVec svals = w.dbl(w.ictl(cw::sortbuf) + xisl2d(cap), cap);
  const IVec bucket = w.ints(w.ictl(cw::sortbuf) + xisl2d(cap) + cap, n);
  std::fill(bucket.data(), bucket.data() + n, 0);
  for (i64 k = 1; k <= count; ++k) ++bucket(buf.rows(k));
  i64 at = 1;
  for (i64 r = 1; r <= n; ++r) {
    const i64 c = bucket(r);
    bucket(r) = static_cast<i32>(at);
    at += c;
  }
  for (i64 k = 1; k <= count; ++k) {
    const i64 p = bucket(buf.rows(k))++;
    skeys(p) = buf.keys(k);
    svals(p) = buf.vals(k);
  }
  // Rows in order, keys sorted, equal keys summed.
  i64 out = 0, begin = 1;
  for (i64 r = 1; r <= n; ++r) {
    const i64 end = bucket(r);
    if (end > begin) {
      sort_keys(end - begin, skeys.at(begin), svals.at(begin));
      for (i64 p = begin; p < end; ++p) {
        if (p > begin && skeys(p) == skeys(p - 1)) {
          buf.vals(out) += svals(p);
          continue;
        }
        ++out;
        buf.rows(out) = static_cast<i32>(r);
        buf.keys(out) = skeys(p);
        buf.vals(out) = svals(p);
      }
    }
    begin = end;
  }
  count = out;
  w.set(b.count, static_cast<double>(count));
  const bool write = final != 0 ? segs > 0 : static_cast<float>(count) > 0.8f * static_cast<float>(cap);
  if (!write) return 0;
  const i64 nseg = max_segments(n);
  if (segs == nseg) return -1;
  const i32 unit = static_cast<i32>(w.ictl(b.unit));
  i32 e = 0;
  if (segs == 0) {
    xdslop(unit, 3, e);
    if (e != 0) return -1;
  }
  const i64 part = final != 0 ? count : segment_split(buf.rows, count, cap);
  i64 pos = 1;
  for (i64 s = 1; s <= segs; ++s) pos += buf.seglen(s);
  xdslw2(unit, 3, buf.rows.data(), buf.keys.data(), buf.vals.data(), pos, part, e);
  if (e != 0) return -1;
  ++segs;
  buf.segstart(segs) = static_cast<i32>(pos);
  buf.seglen(segs) = static_cast<i32>(part);
  const i64 rest = count - part;
  xislmv(rest, buf.rows.data(), part + 1, 1);
  xislmv(rest, buf.keys.data(), part + 1, 1);
  xdslmv(rest, buf.vals.data(), part + 1, 1);
  w.set(b.count, static_cast<double>(rest));
  w.set(b.segs, static_cast<double>(segs));
  return 0;
}

namespace {

// Lays out a new value-input cycle; false (with need) when the buffer
// would hold fewer than n entries.
bool new_cycle(const Work& w, i64 base, i64& need) {
  const i64 n = w.ictl(cw::neqns), nseg = max_segments(n);
  const i64 form = w.ictl(cw::bform);
  const i64 k = form == 1 ? 2 : 1;
  WordLayout lay(base);
  const i64 diagA = lay.take(n);
  const i64 diagB = form <= 3 ? lay.take(n) : 1;
  const i64 sA = lay.take(xisl2d(nseg)), lA = lay.take(xisl2d(nseg));
  const i64 sB = form == 1 ? lay.take(xisl2d(nseg)) : 1, lB = form == 1 ? lay.take(xisl2d(nseg)) : 1;
  const i64 end0 = lay.end();
  const double b = 2.0 * static_cast<double>(k) + 1.5;
  const double room = static_cast<double>(w.lwork() - end0 - xisl2d(n));
  const i64 cap = static_cast<i64>(std::floor((room - b + 1.0) / b));
  if (cap < n) {
    need = end0 + xisl2d(n) + static_cast<i64>(std::ceil(b * static_cast<double>(n + 1) - 1.0));
    return false;
  }
  const i64 C = xisl2d(cap);
  const i64 rA = lay.take(C), kA = lay.take(C), vA = lay.take(cap);
  const i64 rB = form == 1 ? lay.take(C) : 1, kB = form == 1 ? lay.take(C) : 1, vB = form == 1 ? lay.take(cap) : 1;
  const i64 sk = lay.take(C);
  lay.take(cap);
  lay.take(xisl2d(n));
  if (lay.end() > w.lwork()) sparse_stop({"storage oops in xdslvm"});
  double cpu = 0, wall = 0;
  xdsltb(cpu, wall);
  w.set(cw::cpu_values, cpu);
  w.set(cw::wall_values, wall);
  w.set(cw::stage, stage::values);
  w.set(cw::last, static_cast<double>(lay.end()));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(lay.end())));
  xdslzr(n, w.dbl(diagA, n).data(), 1);
  if (form <= 3) xdslzr(n, w.dbl(diagB, n).data(), 1);
  w.set(cw::cap, static_cast<double>(cap));
  for (int c : {cw::vcount, cw::vsegs, cw::vcount_b, cw::vsegs_b}) w.set(c, 0.0);
  const std::pair<int, i64> pos[] = {{cw::diagp, diagA},    {cw::diagb, diagB},  {cw::vsegstart, sA}, {cw::vseglen, lA},
                                     {cw::vsegstart_b, sB}, {cw::vseglen_b, lB}, {cw::vrows, rA},     {cw::vkeys, kA},
                                     {cw::vvals, vA},       {cw::vrows_b, rB},   {cw::vkeys_b, kB},   {cw::vvals_b, vB},
                                     {cw::sortbuf, sk}};
  for (auto [word, p] : pos) w.set(word, static_cast<double>(p));
  return true;
}

}  // namespace

void xdslvm(char matrix, std::span<const i32> colptr, std::span<const i32> rowind, std::span<const double> values,
            double* work, i32 lwork, i32& ier) {
  ier = 0;
  Call c(work, lwork, "xdslvm");
  const Work& w = c.w;
  const i64 st = c.stage();
  if (st != stage::symbolic && st != stage::values && st != stage::distributed && st != stage::factorised) {
    ier = err::values_stage;
    fatal(c, ier, 3, 0, stage_text("xdslvm", st, "should be 30."));
    return;
  }
  const i64 n = w.ictl(cw::neqns);
  if (st != stage::values) {
    banner(c, {"==================================", "= multifrontal value input phase =",
               "=================================="});
    const i64 base = st == stage::symbolic ? w.ictl(cw::last) + 1 : w.ictl(cw::diagp);
    i64 need = 0;
    if (base > lwork || !new_cycle(w, base, need)) {
      if (base > lwork) need = base + n;
      ier = err::values_space;
      fatal(c, ier, 2, need, need_text("xdslvm", need, lwork));
      return;
    }
  }
  auto fail = [&](i32 code, i32 mode, const std::vector<std::string>& text) {
    ier = code;
    fatal(c, ier, mode, 0, text);
    w.set(cw::stage, stage::failed);
  };
  const bool unsym = w.ctl(cw::mtype) == 2.0;
  // The input is checked whole before anything is added.
  bool valid = static_cast<i64>(colptr.size()) > n && colptr[0] >= 1;
  for (i64 j = 1; valid && j <= n; ++j) {
    const i64 b = colptr[j - 1], e = colptr[j];
    if (e < b || e - 1 > static_cast<i64>(rowind.size()) || e - 1 > static_cast<i64>(values.size())) {
      valid = false;
      break;
    }
    for (i64 q = b; q < e && valid; ++q) {
      const i32 r = rowind[q - 1];
      valid = r <= n && r >= (unsym ? 1 : j);
    }
  }
  if (!valid)
    return fail(err::values_entry, 1,
                {" *** value input  to subroutine xdslvm for", "an entry not input during structural input."});
  const char code = static_cast<char>(std::toupper(static_cast<unsigned char>(matrix)));
  const bool second = code == 'B' || code == 'M';
  if (code != 'A' && code != 'K' && !second)
    return fail(
        err::values_matrix, 1,
        {" *** invalid value of matrix input to", "subroutine xdslvm.", std::string("     matrix = ") + matrix});
  const i64 form = w.ictl(cw::bform);
  bool offdiag = false;
  for (i64 j = 1; j <= n && !offdiag; ++j)
    for (i64 q = colptr[j - 1]; q < colptr[j]; ++q) offdiag = offdiag || rowind[q - 1] != j;
  // A second matrix needs its form; a diagonal-only form takes no off-diagonal entry.
  if (second && (form > 3 || (form != 1 && offdiag)))
    return fail(err::values_form, 1,
                {" *** value input  to subroutine xdslvm for", "entries in conflict with type of matrix b."});
  const BufferWords& bw = second ? kBufferB : kBufferA;
  const DVec diag = w.dbl(w.ictl(second ? cw::diagb : cw::diagp), n);
  const IVec invp = w.ints(w.ictl(cw::invp), n);
  const i64 cap = w.ictl(cw::cap);
  IVec rows = form == 1 || !second ? w.ints(w.ictl(bw.rows), cap) : IVec();
  IVec keys = form == 1 || !second ? w.ints(w.ictl(bw.keys), cap) : IVec();
  DVec vals = form == 1 || !second ? w.dbl(w.ictl(bw.vals), cap) : DVec();
  i64 count = w.ictl(bw.count);
  for (i64 j = 1; j <= n; ++j) {
    const i32 jp = invp(j);
    for (i64 q = colptr[j - 1]; q < colptr[j]; ++q) {
      const i32 rp = invp(rowind[q - 1]);
      const double v = values[q - 1];
      if (rp == jp) {
        diag(jp) += v;
        continue;
      }
      if (count + 1 > cap) {
        w.set(bw.count, static_cast<double>(count));
        if (xdslvz(w, bw, 0) != 0) return fail(err::values_io, 3, io_text("xdslvm", w.ictl(bw.unit)));
        count = w.ictl(bw.count);
      }
      ++count;
      rows(count) = std::min(rp, jp);
      keys(count) = unsym ? jp - rp : std::abs(jp - rp);
      vals(count) = v;
    }
  }
  w.set(bw.count, static_cast<double>(count));
}

}  // namespace zephsol::sparse
