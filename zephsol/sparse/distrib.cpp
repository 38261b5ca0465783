// xdslvf: end of value input. The value buffers are flushed a last time;
// then every off-diagonal entry gets its relative index in the front of its
// supernode, in core when nothing went to a value file and everything
// fits, otherwise through the files: the segments are merged into one run
// (lunit3 and lunit4) and converted supernode by supernode through a window
// into records on lunit1, read back into work unless the value-storage
// code keeps them there.
//
// Left for the factorisation: the row pointers xrelin (word 60), relative
// indices (81), row indices (71, only with word 175 != 0), values (69), the
// permuted diagonal (76), the global indices of L (79) and the largest
// absolute row sum (95).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/convert.h"
#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/merge.h"
#include "zephsol/sparse/sparse.h"
#include "zephsol/sparse/util.h"
#include "zephsol/sparse/values.h"

namespace zephsol::sparse {
namespace {

constexpr i64 L(i64 k) { return xisl2d(k); }

// The words of one matrix's results.
struct MatrixWords {
  const BufferWords* buf;
  int count_out;          // distinct entries
  int xrelin;             // row pointers
  int rel, rowidx, vals;  // entry arrays
  int records;            // records on the entry unit
  int entry_unit;         // control word of the entry unit
};
constexpr MatrixWords kMatrixA{&kBufferA,   cw::nnz,     cw::xrelin,  cw::relent,
                               cw::entrows, cw::entvals, cw::records, cw::lunit1};
constexpr MatrixWords kMatrixB{&kBufferB,     cw::nnzb,      cw::xrelin_b,  cw::relent_b,
                               cw::entrows_b, cw::entvals_b, cw::records_b, cw::bentry_unit};

// A failure of the distribution: the code, and what its message needs.
struct Failure {
  i32 ier = 0;
  i64 unit = 0, need = 0, row = 0, col = 0;
};

Failure from_status(i32 status, const ConvertReport& rep, i64 unit) {
  switch (status) {
    case kNotFound:
      return {err::values_entry, 0, 0, rep.row, rep.col};
    case kLeftOver:
      return {err::values_internal};
    case kNoSpace:
      return {err::values_space, 0, rep.need};
    default:
      return {err::values_io, rep.unit != 0 ? rep.unit : unit};
  }
}

// One matrix's entries laid out in work: relative indices (over the rows),
// row indices (over the keys), values.
struct Entries {
  i64 rows = 0, keys = 0, vals = 0;  // positions
  i64 count = 0;
};

double max_of(const DVec& v) {
  double m = 0.0;
  for (i64 i = 1; i <= v.size(); ++i) m = std::max(m, v(i));
  return m;
}

// Converts the entries in core, then (digit != 0) writes them to the
// entry unit and gives their places up.
Failure convert_core(const Work& w, const FrontIndex& fx, const MatrixWords& mw, Entries& e, DVec rowsum, bool keeprow,
                     bool to_file) {
  const IVec xrelin = w.ints(w.ictl(mw.xrelin), fx.n + 1);
  iword* m = w.ints(e.rows, e.count).data();
  iword* k = w.ints(e.keys, e.count).data();
  double* v = w.dbl(e.vals, e.count).data();
  entry_pointers(fx.n, m, e.count, xrelin);
  ConvertReport rep;
  for (i64 s = 1; s <= fx.ns; ++s) {
    const i64 b = xrelin(fx.part(s)), c = xrelin(fx.part(s + 1)) - b;
    const i32 st = convert_supernode(fx, s, m + (b - 1), k + (b - 1), v + (b - 1), c, rowsum.data(), rep);
    if (st != kConverted) return from_status(st, rep, 0);
  }
  if (!to_file) return {};
  const i64 unit = w.ictl(mw.entry_unit);
  i32 ier = unit > 0 ? 0 : -1;
  if (ier == 0) xdslos(static_cast<i32>(unit), ier);
  i64 words = 0;
  const i64 rec = ier == 0 ? write_entry_records(static_cast<i32>(unit), fx, xrelin, m, k, v, keeprow, words) : -1;
  if (rec < 0) return {err::values_io, unit};
  w.set(mw.records, static_cast<double>(rec));
  w.set(cw::extent1, w.ctl(cw::extent1) + static_cast<double>(words));
  w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(words));
  e.rows = e.keys = e.vals = 0;
  return {};
}

// The supernodal index arrays of the fronts, the global indices at G.
FrontIndex front_index(const Work& w, i64 G, bool unsym) {
  const i64 n = w.ictl(cw::neqns), ns = w.ictl(cw::nsuper);
  return {n,
          ns,
          w.ints(w.ictl(cw::part), ns + 1),
          w.ints(w.ictl(cw::snptr), ns + 1),
          w.ints(G, w.ictl(cw::nsnind)),
          w.ints(w.ictl(cw::perm), n),
          unsym};
}

// The absolute row sums of the system matrix at rs, started from its diagonal.
DVec row_sums(const Work& w, i64 rs, const DVec& diag) {
  const DVec rowsum = w.dbl(rs, diag.size());
  for (i64 i = 1; i <= diag.size(); ++i) rowsum(i) = std::abs(diag(i));
  return rowsum;
}

// Reads the index sets' second record (the global indices) from lunit2.
bool read_global(const Work& w, i64 at, i64 nsnind) {
  const i32 u = static_cast<i32>(w.ictl(cw::lunit2));
  iword* g = w.ints(at, nsnind).data();
  i32 ier = 0;
  xdslrw(u, ier);
  if (ier == 0) xislrd(u, nsnind, g, ier);
  if (ier == 0) xislrd(u, nsnind, g, ier);
  w.set(cw::moved2, w.ctl(cw::moved2) + static_cast<double>(2 * L(nsnind)));
  return ier == 0;
}

// A buffer that never wrote a segment goes whole as segment 1, so that
// all entries are on file.
i32 all_to_file(const Work& w, const BufferWords& b) {
  const i64 count = w.ictl(b.count);
  if (w.ictl(b.segs) > 0 || count == 0) return 0;
  const i32 unit = static_cast<i32>(w.ictl(b.unit));
  const i64 cap = w.ictl(cw::cap);
  i32 e = 0;
  xdslop(unit, 3, e);
  if (e == 0)
    xdslw2(unit, 3, w.ints(w.ictl(b.rows), cap).data(), w.ints(w.ictl(b.keys), cap).data(),
           w.dbl(w.ictl(b.vals), cap).data(), 1, count, e);
  if (e != 0) return -1;
  const i64 nseg = max_segments(w.ictl(cw::neqns));
  w.ints(w.ictl(b.segstart), nseg)(1) = 1;
  w.ints(w.ictl(b.seglen), nseg)(1) = static_cast<i32>(count);
  w.set(b.segs, 1.0);
  return 0;
}

// The segments of one matrix's value file (tables at `tab`: starts, then
// lengths, L(nseg) words each) merged into one run through windows behind
// `base` (two new tables, then 8 words per buffered entry), counting the
// entries of each row into xrelin on the last pass. Returns the run's unit
// and length.
Failure merge_segments(const Work& w, const MatrixWords& mw, i64 tab, i64 nseg, i64 base, i32& run, i64& total) {
  const i64 n = w.ictl(cw::neqns);
  const i32 vunit = static_cast<i32>(w.ictl(mw.buf->unit)), other = static_cast<i32>(w.ictl(cw::lunit4));
  const IVec xrelin = w.ints(w.ictl(mw.xrelin), n + 1);
  std::fill(xrelin.data(), xrelin.data() + n + 1, 0);
  const i64 S = L(nseg), wbase = base + 2 * S;
  const i64 bsize = (w.lwork() - wbase + 1 - 8 + 1) / 8;
  if (bsize < 1) return {err::values_space, 0, wbase + 15};
  WordLayout lay(wbase);
  auto window = [&](i64 size) {
    const i64 k1 = lay.take(L(size)), k2 = lay.take(L(size)), v = lay.take(size);
    return Window{w.ints(k1, size), w.ints(k2, size), w.dbl(v, size)};
  };
  const Window in1 = window(bsize), in2 = window(bsize), out = window(2 * bsize);
  RunMerger<ValueRuns> merger(in1, in2, out, bsize);
  MergeFiles files{{vunit, other}};
  bool sane = true;  // rows read back from the files lie in 1 ... n
  total = merge_runs(merger, w.ints(tab, nseg), w.ints(tab + S, nseg), w.ints(base, nseg), w.ints(base + S, nseg),
                     nseg, 1, files, [&](i32 row) {
                       if (row >= 1 && row <= n) ++xrelin(row);
                       else sane = false;
                     });
  if (total < 0) return {err::values_io, merger.failed_unit()};
  if (!sane) return {err::values_io, files.unit[files.final_file]};
  w.set(cw::extent3, std::max(w.ctl(cw::extent3), static_cast<double>(2 * files.largest[0])));
  w.set(cw::extent4, std::max(w.ctl(cw::extent4), static_cast<double>(2 * files.largest[1])));
  w.set(cw::moved3, w.ctl(cw::moved3) + static_cast<double>(2 * files.written[0]));
  w.set(cw::moved4, w.ctl(cw::moved4) + static_cast<double>(2 * files.written[1]));
  i64 at = 1;
  for (i64 r = 1; r <= n; ++r) {
    const i64 c = xrelin(r);
    xrelin(r) = static_cast<i32>(at);
    at += c;
  }
  xrelin(n + 1) = static_cast<i32>(at);
  run = files.unit[files.final_file];
  return {};
}

// The merged run converted supernode by supernode through a window of b2
// entries (2 words each) from `base`, each supernode's entries written as
// records to the entry unit.
Failure convert_run(const Work& w, const FrontIndex& fx, const MatrixWords& mw, i32 run, i64 total, i64 base,
                    DVec rowsum, bool keeprow) {
  const IVec xrelin = w.ints(w.ictl(mw.xrelin), fx.n + 1);
  i64 dmax = 0;
  for (i64 s = 1; s <= fx.ns; ++s) dmax = std::max<i64>(dmax, xrelin(fx.part(s + 1)) - xrelin(fx.part(s)));
  const i64 b2 = (w.lwork() - base) / 2;
  if (b2 < dmax) return {err::values_space, 0, w.lwork() + (dmax - b2) + 2 * L(dmax - b2)};
  WordLayout cl(base);
  const IVec wm = w.ints(cl.take(L(b2)), b2), wk = w.ints(cl.take(L(b2)), b2);
  const DVec wv = w.dbl(cl.take(b2), b2);
  const i64 unit = w.ictl(mw.entry_unit);
  i32 ier = unit > 0 ? 0 : -1;
  if (ier == 0) xdslos(static_cast<i32>(unit), ier);
  if (ier != 0) return {err::values_io, unit};
  i64 first = 1, loaded = 0, records = 0, words = 0;
  ConvertReport rep;
  for (i64 s = 1; s <= fx.ns; ++s) {
    const i64 bq = xrelin(fx.part(s)), eq = xrelin(fx.part(s + 1)), ms = eq - bq;
    if (ms == 0) continue;
    if (bq < first || eq > first + loaded) {
      first = bq;
      loaded = std::min(b2, total - bq + 1);
      xdslw1(run, 3, wm.data(), wk.data(), wv.data(), first, loaded, ier);
      if (ier != 0) return {err::values_io, run};
    }
    const i64 o = bq - first;
    const i32 st = convert_supernode(fx, s, wm.data() + o, wk.data() + o, wv.data() + o, ms, rowsum.data(), rep);
    if (st != kConverted) return from_status(st, rep, run);
    if (keeprow) xislwr(static_cast<i32>(unit), ms, wk.data() + o, ier);
    if (ier == 0) xislwr(static_cast<i32>(unit), ms, wm.data() + o, ier);
    if (ier == 0) xdslwr(static_cast<i32>(unit), ms, wv.data() + o, ier);
    if (ier != 0) return {err::values_io, unit};
    records += keeprow ? 3 : 2;
    words += (keeprow ? 2 : 1) * L(ms) + ms;
  }
  w.set(mw.records, static_cast<double>(records));
  w.set(cw::extent1, w.ctl(cw::extent1) + static_cast<double>(words));
  w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(words));
  return {};
}

// What the steps of one distribution share: the options, the matrices
// with a buffer, their entries as they are placed, and the results.
struct Distribution {
  Distribution(const Call& call, i64 lw) : c(call), w(call.w), lwork(lw) {}
  const Call& c;
  const Work& w;
  i64 lwork;
  i64 n = 0, nsnind = 0, form = 0, lunit2 = 0;
  bool full_b = false, unsym = false, keeprow = false;
  i64 digit[2] = {0, 0};  // value-storage digits: entries of the matrix on its entry unit
  std::vector<const MatrixWords*> mats;
  i64 D = 0;  // last word of the diagonals
  DVec diag;
  Entries ent[2];
  i64 G = 0, xb = 1, end = 0, peak = 0;
  double norm = 0.0;
  // Through the files: the first word above the kept arrays, the segment
  // tables, the row sums and the merge windows.
  i64 free = 0, nsegs[2] = {0, 0}, tab[2] = {0, 0}, rs = 0, base = 0;
};

void read_options(Distribution& v) {
  const Work& w = v.w;
  v.n = w.ictl(cw::neqns);
  v.nsnind = w.ictl(cw::nsnind);
  v.form = w.ictl(cw::bform);
  v.full_b = v.form == 1;
  v.unsym = w.ctl(cw::mtype) == 2.0;
  v.keeprow = w.ctl(cw::keeprow) != 0.0;
  const i64 vs = w.ictl(cw::vstore);
  v.digit[0] = vs % 10;
  v.digit[1] = vs / 10;
  v.lunit2 = w.ictl(cw::lunit2);
  v.mats = v.full_b ? std::vector{&kMatrixA, &kMatrixB} : std::vector{&kMatrixA};
  v.D = (v.form <= 3 ? w.ictl(cw::diagb) : w.ictl(cw::diagp)) + v.n - 1;
  v.diag = w.dbl(w.ictl(cw::diagp), v.n);
  v.G = w.ictl(cw::gidx);
}

// The last flush of each buffer.
Failure flush_buffers(const Distribution& v) {
  for (const MatrixWords* mw : v.mats)
    if (xdslvz(v.w, *mw->buf, 1) != 0) return {err::values_io, v.w.ictl(mw->buf->unit)};
  return {};
}

// In core when no segment reached a file and the entries fit with the
// global indices and the row sums.
bool fits_in_core(const Distribution& v) {
  const Work& w = v.w;
  const i64 cA = w.ictl(cw::vcount), cB = v.full_b ? w.ictl(cw::vcount_b) : 0;
  const bool on_file = w.ictl(cw::vsegs) > 0 || (v.full_b && w.ictl(cw::vsegs_b) > 0);
  const i64 core_need =
      v.D + 2 * L(cA) + cA + 2 * L(cB) + cB + v.n + (v.lunit2 > 0 ? L(v.nsnind) : 0) + (v.full_b ? L(v.n + 1) : 0);
  return !on_file && core_need <= v.lwork;
}

// In core: the buffers moved down behind the diagonals, the global indices
// (from lunit2) and the second row pointers behind, then the row sums;
// the entries converted.
Failure convert_in_core(Distribution& v) {
  const Work& w = v.w;
  WordLayout lay(v.D + 1);
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    const BufferWords& b = *v.mats[k]->buf;
    const i64 cnt = w.ictl(b.count);
    Entries& e = v.ent[k];
    e.count = cnt;
    e.rows = lay.take(L(cnt));
    e.keys = lay.take(L(cnt));
    e.vals = lay.take(cnt);
    move_ints(w, w.ictl(b.rows), e.rows, cnt);
    move_ints(w, w.ictl(b.keys), e.keys, cnt);
    if (cnt > 0) std::memmove(w.dbl(e.vals, cnt).data(), w.dbl(w.ictl(b.vals), cnt).data(), cnt * 8);
  }
  if (v.lunit2 > 0) {
    v.G = lay.take(L(v.nsnind));
    if (v.nsnind > 0 && !read_global(w, v.G, v.nsnind)) return {err::values_io, v.lunit2};
  }
  if (v.full_b) v.xb = lay.take(L(v.n + 1));
  const i64 rs = lay.take(v.n);
  const i64 need = lay.end();
  if (need > v.lwork) return {err::values_space, 0, need};
  v.peak = need;
  if (v.full_b) w.set(cw::xrelin_b, static_cast<double>(v.xb));
  const FrontIndex fx = front_index(w, v.G, v.unsym);
  const DVec rowsum = row_sums(w, rs, v.diag);
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    const Failure f = convert_core(w, fx, *v.mats[k], v.ent[k], rowsum, v.keeprow, v.digit[k] != 0);
    if (f.ier != 0) return f;
    if (k == 0) v.norm = max_of(rowsum);
  }
  return {};
}

// Relative indices and values back to back when no row indices are kept;
// the global indices and the second row pointers behind.
void pack_in_core(Distribution& v) {
  const Work& w = v.w;
  WordLayout pk(v.D + 1);
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    Entries& e = v.ent[k];
    if (e.rows == 0) continue;  // on the entry unit
    const i64 r = pk.take(L(e.count));
    move_ints(w, e.rows, r, e.count);
    e.rows = r;
    if (v.keeprow) {
      const i64 kk = pk.take(L(e.count));
      move_ints(w, e.keys, kk, e.count);
      e.keys = kk;
    } else {
      e.keys = 0;
    }
    const i64 vals = pk.take(e.count);
    if (e.count > 0) std::memmove(w.dbl(vals, e.count).data(), w.dbl(e.vals, e.count).data(), e.count * 8);
    e.vals = vals;
  }
  if (v.lunit2 > 0) {
    const i64 g = pk.take(L(v.nsnind));
    move_ints(w, v.G, g, v.nsnind);
    v.G = g;
  }
  if (v.full_b) {
    const i64 x = pk.take(L(v.n + 1));
    move_ints(w, v.xb, x, v.n + 1);
    w.set(cw::xrelin_b, static_cast<double>(x));
  }
  v.end = pk.end();
  const Call& c = v.c;
  if (c.msglvl >= 3) {
    xdslpr("diagp", v.n, v.diag.data(), c.msgunit);
    if (c.msglvl == 3) xislpr("xrelin", v.n + 1, w.ints(201, v.n + 1).data(), c.msgunit);
    xislpr("global indices", v.nsnind, w.ints(v.G, v.nsnind).data(), c.msgunit);
  }
}

// Through the files: everything to the value files. Kept behind the
// diagonals: the global indices (from lunit2) and the second matrix's row
// pointers; above them the segment tables, the merge windows, and later
// the row sums and the conversion window.
Failure segment_tables(Distribution& v) {
  const Work& w = v.w;
  for (const MatrixWords* mw : v.mats)
    if (all_to_file(w, *mw->buf) != 0) return {err::values_io, w.ictl(mw->buf->unit)};
  WordLayout keep(v.D + 1);
  if (v.lunit2 > 0) v.G = keep.take(L(v.nsnind));
  if (v.full_b) {
    v.xb = keep.take(L(v.n + 1));
    w.set(cw::xrelin_b, static_cast<double>(v.xb));
  }
  v.free = keep.end() + 1;
  std::vector<i32> tables;
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    const BufferWords& b = *v.mats[k]->buf;
    v.nsegs[k] = w.ictl(b.segs);
    const IVec st = w.ints(w.ictl(b.segstart), std::max<i64>(v.nsegs[k], 1));
    const IVec ln = w.ints(w.ictl(b.seglen), std::max<i64>(v.nsegs[k], 1));
    tables.insert(tables.end(), st.data(), st.data() + v.nsegs[k]);
    tables.insert(tables.end(), ln.data(), ln.data() + v.nsegs[k]);
  }
  WordLayout tl(v.free);
  i64 used = 0;
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    const i64 S = L(v.nsegs[k]);
    v.tab[k] = tl.take(2 * S);
    if (tl.end() > v.lwork) return {err::values_space, 0, tl.end() + 16};
    std::memcpy(w.ints(v.tab[k], v.nsegs[k]).data(), tables.data() + used, v.nsegs[k] * 4);
    std::memcpy(w.ints(v.tab[k] + S, v.nsegs[k]).data(), tables.data() + used + v.nsegs[k], v.nsegs[k] * 4);
    used += 2 * v.nsegs[k];
  }
  // Row sums behind the tables, the merge and conversion windows behind.
  v.rs = tl.end() + 1;
  v.base = v.rs + v.n;
  return {};
}

// Each matrix's segments merged into one run and converted, before the
// next matrix uses lunit4; a matrix without segments has empty rows.
Failure convert_through_files(Distribution& v) {
  const Work& w = v.w;
  i32 e = 0;
  xdslop(static_cast<i32>(w.ictl(cw::lunit4)), 3, e);
  if (e != 0) return {err::values_io, w.ictl(cw::lunit4)};
  if (v.base > v.lwork) return {err::values_space, 0, v.base + 16};
  if (v.lunit2 > 0 && v.nsnind > 0 && !read_global(w, v.G, v.nsnind)) return {err::values_io, v.lunit2};
  const FrontIndex fx = front_index(w, v.G, v.unsym);
  const DVec rowsum = row_sums(w, v.rs, v.diag);
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    const MatrixWords& mw = *v.mats[k];
    if (v.nsegs[k] > 0) {
      i32 run = 0;
      Failure f = merge_segments(w, mw, v.tab[k], v.nsegs[k], v.base, run, v.ent[k].count);
      if (f.ier == 0) f = convert_run(w, fx, mw, run, v.ent[k].count, v.base, rowsum, v.keeprow);
      if (f.ier != 0) return f;
    } else {
      IVec x = w.ints(w.ictl(mw.xrelin), v.n + 1);
      std::fill(x.data(), x.data() + v.n + 1, 1);
      if (v.digit[k] != 0) {
        i32 e2 = 0;
        const i64 unit = w.ictl(mw.entry_unit);
        if (unit <= 0)
          e2 = -1;
        else
          xdslos(static_cast<i32>(unit), e2);
        if (e2 != 0) return {err::values_io, unit};
        w.set(mw.records, 0.0);
      }
    }
    if (k == 0) v.norm = max_of(rowsum);
  }
  return {};
}

// The entries back into work unless the value-storage code keeps them on
// file; the value files closed.
Failure read_back(Distribution& v) {
  const Work& w = v.w;
  const FrontIndex fx = front_index(w, v.G, v.unsym);
  WordLayout pk(v.free);
  i64 need = v.free - 1;
  for (std::size_t k = 0; k < v.mats.size(); ++k)
    if (v.digit[k] == 0) need += v.ent[k].count + (v.keeprow ? 2 : 1) * L(v.ent[k].count);
  if (need > v.lwork) return {err::values_space, 0, need};
  v.peak = v.lwork;
  for (std::size_t k = 0; k < v.mats.size(); ++k) {
    Entries& en = v.ent[k];
    if (v.digit[k] != 0) {
      en.rows = en.keys = en.vals = 0;
      continue;
    }
    en.rows = pk.take(L(en.count));
    en.keys = v.keeprow ? pk.take(L(en.count)) : 0;
    en.vals = pk.take(en.count);
    if (en.count == 0) continue;
    const i64 unit = w.ictl(v.mats[k]->entry_unit);
    i32 e2 = 0;
    xdslrw(static_cast<i32>(unit), e2);
    i64 words = 0;
    if (e2 != 0 ||
        !read_entry_records(static_cast<i32>(unit), fx, w.ints(w.ictl(v.mats[k]->xrelin), v.n + 1), en.count,
                            w.ints(en.rows, en.count).data(), v.keeprow ? w.ints(en.keys, en.count).data() : nullptr,
                            w.dbl(en.vals, en.count).data(), v.keeprow, words))
      return {err::values_io, unit};
    w.set(cw::moved1, w.ctl(cw::moved1) + static_cast<double>(words));
    w.set(v.mats[k]->records, 0.0);
  }
  v.end = std::max(pk.end(), v.free - 1);
  for (i32 u : {static_cast<i32>(w.ictl(cw::lunit3)), static_cast<i32>(w.ictl(cw::lunit4)),
                v.full_b ? static_cast<i32>(w.ictl(cw::bvalue_unit)) : -1}) {
    if (u < 0 || !scratch_open(u)) continue;
    i32 e = 0;
    xdslcl(u, 3, e);
    if (e != 0) return {err::values_io, u};
  }
  const Call& c = v.c;
  if (c.msglvl >= 3) {
    xdslpr("diagp", v.n, v.diag.data(), c.msgunit);
    xislpr("xrelin", v.n + 1, w.ints(201, v.n + 1).data(), c.msgunit);
  }
  return {};
}

// The control words the factorisation reads.
void store_results(const Distribution& v, double cpu, double wall) {
  const Work& w = v.w;
  const Entries* ent = v.ent;
  w.set(cw::stage, stage::distributed);
  w.set(cw::last, static_cast<double>(v.end));
  w.set(cw::peak, std::max(w.ctl(cw::peak), static_cast<double>(v.peak)));
  w.set(cw::nnz, static_cast<double>(ent[0].count));
  w.set(cw::nnzb, v.full_b ? static_cast<double>(ent[1].count) : 0.0);
  w.set(cw::relent, static_cast<double>(ent[0].rows));
  w.set(cw::entrows, static_cast<double>(ent[0].keys));
  w.set(cw::entvals, static_cast<double>(ent[0].vals));
  if (v.full_b) {
    w.set(cw::relent_b, static_cast<double>(ent[1].rows));
    w.set(cw::entrows_b, static_cast<double>(ent[1].keys));
    w.set(cw::entvals_b, static_cast<double>(ent[1].vals));
  } else {
    for (int k : {cw::xrelin_b, cw::entrows_b, cw::entvals_b, cw::relent_b}) w.set(k, 1.0);
    if (v.form == 4) w.set(cw::diagb, 1.0);
  }
  // Records left on the entry units (the words counted value input before).
  for (std::size_t k = 0; k < v.mats.size(); ++k)
    if (ent[k].rows != 0) w.set(v.mats[k]->records, 0.0);
  if (!v.full_b) w.set(cw::records_b, 0.0);
  w.set(cw::gidx, static_cast<double>(v.G));
  w.set(cw::norm, v.norm);
  w.set(cw::cpu_values, cpu);
  w.set(cw::wall_values, wall);
  for (int k : {cw::vcount, cw::vsegs, cw::vsegstart, cw::vseglen, cw::sortbuf, cw::vsegstart_b, cw::vseglen_b})
    w.set(k, 0.0);
}

void report(const Call& c, const Failure& f, i64 lwork) {
  std::vector<std::string> text;
  i32 mode = 3;
  if (f.ier == err::values_space) {
    mode = 2;
    text = need_text("xdslvf", f.need, lwork);
  } else if (f.ier == err::values_entry) {
    mode = 1;
    text = {" *** invalid matrix input",
            fline("('no entry found for row = ',I10,' and column = ',I10,'.')", {f.row, f.col})};
  } else if (f.ier == err::values_internal) {
    text = {" *** internal data structure error in value input."};
  } else {
    text = io_text("xdslvf", f.unit);
  }
  fatal(c, f.ier, mode, f.need, text);
}

}  // namespace

void xdslvf(double* work, i32 lwork, i32& ier) {
  ier = 0;
  Call c(work, lwork, "xdslvf");
  const Work& w = c.w;
  const i64 st = c.stage();
  if (st != stage::values) {
    ier = err::values_stage;
    fatal(c, ier, 3, 0, stage_text("xdslvf", st, "should be 31."));
    return;
  }
  double in_cpu = 0, in_wall = 0;
  xdslte(w.ctl(cw::cpu_values), w.ctl(cw::wall_values), in_cpu, in_wall);
  Distribution v(c, lwork);
  read_options(v);
  auto run = [&]() -> Failure {
    if (const Failure f = flush_buffers(v); f.ier != 0) return f;
    if (fits_in_core(v)) {
      if (const Failure f = convert_in_core(v); f.ier != 0) return f;
      pack_in_core(v);
      return {};
    }
    if (const Failure f = segment_tables(v); f.ier != 0) return f;
    if (const Failure f = convert_through_files(v); f.ier != 0) return f;
    return read_back(v);
  };
  if (const Failure f = run(); f.ier != 0) {
    ier = f.ier;
    report(c, f, lwork);
    w.set(cw::stage, stage::failed);
    return;
  }
  double cpu = 0, wall = 0;
  xdslte(w.ctl(cw::cpu_values), w.ctl(cw::wall_values), cpu, wall);
  input_times(c,
              {"cpu  time for numeric value input       = ", "wall time for numeric value input       = ",
               "cpu  time for numeric value processing  = ", "wall time for numeric value processing  = "},
              in_cpu, in_wall, cpu, wall);
  store_results(v, cpu, wall);
}

}  // namespace zephsol::sparse
