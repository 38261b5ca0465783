// Elimination of an LU front wherever it is held (lu_eliminate; in work:
// hdslue): its fully summed columns cut into panels, each copied from both
// triangles into an L panel and a U panel, reduced by a kernel, the rest of
// the front updated by the panel's pivots, the columns without a pivot put
// back and retried at the head of the next panel, and the panel's factor
// stored (xdslpk, xdslff). Later interchanges are applied to the rows of
// the front's earlier panels at the end, in both parts.
#include <algorithm>
#include <cstring>
#include <vector>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/fronts.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/lu.h"

namespace zephsol::sparse {
namespace {

// A stored panel: first front position, pivots, rows, its first word (in
// the factor area, or its address on the factor files).
struct StoredPanel {
  i64 k = 0, p = 0, rows = 0, at = 0;
  i64 words() const { return tri(p - 1) + p * (rows - p); }
};

// The runs of one part of a panel's factor record: the strictly lower
// triangle of the pivot block, then the rows below it, by columns.
template <class Sink>
void part_runs(const double* pan, i64 p, i64 rows, Sink&& sink) {
  for (i64 j = 1; j < p; ++j) sink(pan + (j - 1) * rows + j, p - j);
  for (i64 j = 1; j <= p; ++j) sink(pan + (j - 1) * rows + p, rows - p);
}

// Reads (write = false) or writes back the rows below the pivot block of
// one part of a stored panel on a factor file.
bool file_rect(i32 unit, const StoredPanel& q, double* part, bool write) {
  const i64 addr = q.at + tri(q.p - 1), len = q.p * (q.rows - q.p);
  if (len == 0) return true;
  i32 e = 0;
  const i64 rec = (addr - 1) / kRecordEntries + 1;
  const i32 off = static_cast<i32>((addr - 1) % kRecordEntries + 1);
  if (write) xdslw6(unit, part, rec, off, len, e);
  else xdslw5(unit, part, rec, off, len, e);
  return e == 0;
}

// Changes the rows below the pivot block of both parts of a stored panel
// with fn(part): in the factor area, or read from the factor files and
// written back. False on a file failure.
template <class Fn>
bool each_part(const Work& w, const FactorArgs& a, const StoredPanel& sp, std::vector<double>& buf, Fn&& fn) {
  const i64 below = sp.rows - sp.p;
  for (int side = 0; side < 2; ++side) {
    const i32 unit = side == 0 ? a.lunit3 : a.lunit5;
    double* part = nullptr;
    if (a.incore) {
      part = w.dbl(a.fa + sp.at + side * sp.words() + tri(sp.p - 1), sp.p * below).data();
    } else {
      buf.resize(static_cast<std::size_t>(sp.p * below));
      part = buf.data();
      if (!file_rect(unit, sp, part, false)) return false;
    }
    fn(part);
    if (!a.incore && !file_rect(unit, sp, part, true)) return false;
  }
  return true;
}

// Applies the interchanges of front positions lo..hi (record(x) is the
// position moved to x) to the rows of both parts of every stored panel of
// the front that lies before them. False on a file failure.
bool repair(const Work& w, const FactorArgs& a, const std::vector<StoredPanel>& stored, const iword* record,
            i64 lo, i64 hi) {
  std::vector<double> buf;
  for (const StoredPanel& sp : stored) {
    const i64 off = sp.k + sp.p - 1, below = sp.rows - sp.p, from = std::max(lo, off + 1);
    if (from > hi || below == 0) continue;
    bool moves = false;
    for (i64 x = from; x <= hi && !moves; ++x) moves = record[x - 1] != x;
    if (!moves) continue;
    const bool ok = each_part(w, a, sp, buf, [&](double* part) {
      xdslri(from - 1, sp.p, below, hi - from + 1, record + (from - 1), part + (from - 1 - off));
    });
    if (!ok) return false;
  }
  return true;
}

// Exchanges front variables i and j (live columns from k on) in both
// triangles: rows and columns.
void swap_front(double* lt, double* ut, i64 nf, i64 k, i64 i, i64 j) {
  auto at = [&](i64 r, i64 c) -> double& { return r >= c ? lt[packed(nf, r, c) - 1] : ut[packed(nf, c, r) - 1]; };
  for (i64 r = k; r <= nf; ++r) {
    if (r == i || r == j) continue;
    std::swap(at(r, i), at(r, j));
    std::swap(at(i, r), at(j, r));
  }
  std::swap(at(i, i), at(j, j));
  std::swap(at(i, j), at(j, i));
}

// Swaps the rows of front positions i and j in both parts of every stored
// panel of the front. False on a file failure.
bool swap_rows(const Work& w, const FactorArgs& a, const std::vector<StoredPanel>& stored, i64 i, i64 j) {
  std::vector<double> buf;
  for (const StoredPanel& sp : stored) {
    const i64 off = sp.k + sp.p - 1, below = sp.rows - sp.p;
    const bool ok = each_part(w, a, sp, buf, [&](double* part) {
      for (i64 c = 0; c < sp.p; ++c) std::swap(part[c * below + i - off - 1], part[c * below + j - off - 1]);
    });
    if (!ok) return false;
  }
  return true;
}

// A front in work: its two triangles.
class CoreLuFront final : public LuFrontStore {
 public:
  CoreLuFront(FactorArgs& a, const Front& f, double* lt) : a_(a), f_(f), lt_(lt), ut_(lt + tri(f.nf)) {}
  i32 load(i64 k, i64 wd, i64 rows, double* lp, double* up) override {
    xdslup(1, wd, rows, col(lt_, k), f_.nf, k, lp);
    xdslup(1, wd, rows, col(ut_, k), f_.nf, k, up);
    return 0;
  }
  i32 update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* lp, const double* up, double* wk) override {
    xdslbu(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows), static_cast<i32>(f_.upd), lp, up,
           static_cast<i32>(rest), col(lt_, l + 1), col(ut_, l + 1), wk, wk + f_.upd * p, a_.st.ops1);
    return 0;
  }
  i32 put_back(i64 p, i64 k, i64 wd, i64 rows, const double* lp, const double* up) override {
    xdslrp(1, p, wd, rows, col(lt_, k), f_.nf, k, lp);
    xdslrp(1, p, wd, rows, col(ut_, k), f_.nf, k, up);
    return 0;
  }
  i32 swap(i64 k, i64 i, i64 j) override {
    swap_front(lt_, ut_, f_.nf, k, i, j);
    return 0;
  }

 private:
  double* col(double* t, i64 k) const { return t + (packed(f_.nf, k, k) - 1); }
  FactorArgs& a_;
  const Front& f_;
  double *lt_, *ut_;
};

}  // namespace

i32 xdslff(const Work& w, FactorArgs& a, i64 p, i64 rows, const double* lp, const double* up, double* diag) {
  for (i64 j = 1; j <= p; ++j) diag[j - 1] = lp[(j - 1) * rows + j - 1];
  const i64 words = tri(p - 1) + p * (rows - p);
  double* buf = w.dbl(a.iobuf, a.dlen).data();
  // One part through the buffer in runs of whole column pieces, from the
  // files' next word.
  auto to_file = [&](i32 unit, const double* pan) {
    i64 fill = 0, addr = a.wafil1_next;
    bool ok = true;
    auto flush = [&] {
      if (fill == 0 || !ok) return;
      ok = file_write(unit, addr, fill, buf);
      addr += fill;
      fill = 0;
    };
    part_runs(pan, p, rows, [&](const double* src, i64 len) {
      while (len > 0) {
        const i64 take = std::min(len, a.dlen - fill);
        std::memcpy(buf + fill, src, static_cast<std::size_t>(take) * 8);
        fill += take;
        src += take;
        len -= take;
        if (fill == a.dlen) flush();
      }
    });
    flush();
    return ok;
  };
  if (!to_file(a.lunit3, lp)) return -2;
  if (!to_file(a.lunit5, up)) return -3;
  a.wafil1_next += words;
  a.st.file1_words += words;
  return 0;
}

i32 xdslpk(const Work& w, FactorArgs& a, i64 p, i64 rows, const double* lp, const double* up, double* diag,
           i64 at) {
  if (!a.incore) return xdslff(w, a, p, rows, lp, up, diag);
  for (i64 j = 1; j <= p; ++j) diag[j - 1] = lp[(j - 1) * rows + j - 1];
  double* dst = w.dbl(a.fa + at, 2 * (tri(p - 1) + p * (rows - p))).data();
  auto copy = [&](const double* src, i64 len) {
    std::memcpy(dst, src, static_cast<std::size_t>(len) * 8);
    dst += len;
  };
  part_runs(lp, p, rows, copy);
  part_runs(up, p, rows, copy);
  return 0;
}

i32 lu_eliminate(const Work& w, FactorArgs& a, const Front& f, LuFrontStore& store, iword* record, double* lp,
                 double* up, double* wk, i64& nelim) {
  const i64 nf = f.nf, npiv = f.npiv, offset = f.np - 1, pb = f.blk;
  const auto [fperm, pivblk, diag, panpart, pert, negrec, root] = FrontArrays(w, a, f);
  FirstPivots first(pert, negrec);
  first.start_front();
  for (i64 x = 1; x <= npiv; ++x) record[x - 1] = static_cast<i32>(x);
  std::vector<StoredPanel> stored;
  i64 k = 1, p = 0;
  i64 repaired = 0;  // interchanges applied to the stored panels up to here
  i64 failed = 0;    // columns at the end that a root panel could not pivot
  for (;;) {
    const i64 l = std::min(k + pb - 1, npiv), wd = l - k + 1, rows = nf - k + 1, rest = nf - l;
    ++a.npanel;
    panpart(a.npanel) = static_cast<i32>(offset + k);
    if (const i32 rc = store.load(k, wd, rows, lp, up); rc != 0) return rc;
    for (i64 j = 1; j <= wd; ++j) up[(j - 1) * rows + j - 1] = 0.0;
    i32 ier = 0, taken = 0;
    if (a.pvttol == 0.0) {
      xdslpv(pert, negrec, static_cast<i32>(wd), static_cast<i32>(rows), lp, up, pivblk + (k - 1), a.st.ops1,
             a.st.ops2, ier);
      taken = static_cast<i32>(wd);
    } else {
      xdslpu(a.pvttol, pert, root, static_cast<i32>(rows), static_cast<i32>(wd), static_cast<i32>(k - 1),
             fperm + (k - 1), lp, up, pivblk + (k - 1), wk + nf, record + (k - 1), taken, a.st.ops1, a.st.ops2,
             ier);
    }
    p = taken;
    first.panel(k);
    if (ier != 0) return ier;
    panpart(a.npanel + 1) = static_cast<i32>(offset + k + p);
    if (p == 0 && root && a.pvttol > 0.0 && l < npiv - failed) {
      // A root panel without a pivot: its columns are tried again last.
      if (const i32 rc = retry_root_panel(w, a, stored, record, store, fperm, k, wd, l, npiv, repaired, failed);
          rc != 0)
        return rc;
      continue;
    }
    if (p == 0) break;
    failed = 0;
    a.st.largest = std::max(a.st.largest, p * rows - tri(p));
    if (rest > 0)
      if (const i32 rc = store.update(p, wd, rows, l, rest, lp, up, wk); rc != 0) return rc;
    if (p < wd)
      if (const i32 rc = store.put_back(p, k, wd, rows, lp, up); rc != 0) return rc;
    StoredPanel sp{k, p, rows, a.incore ? static_cast<i64>(a.fwords) : a.wafil1_next};
    // A failed write of the second factor file is told as such (-12).
    if (const i32 rc = xdslpk(w, a, p, rows, lp, up, diag + (k - 1), sp.at); rc != 0) return rc == -3 ? -12 : -2;
    stored.push_back(sp);
    a.fwords += static_cast<double>(2 * sp.words());
    if (l == npiv) break;
    k += p;
  }
  nelim = k + p - 1;
  // Rows of the earlier panels reordered by the later interchanges.
  if (a.pvttol > 0.0 && !repair(w, a, stored, record, repaired + 1, nelim)) return -2;
  return 0;
}

i32 hdslue(const Work& w, FactorArgs& a, const Front& f, i64& nelim) {
  const i64 nf = f.nf, T = tri(nf), pb = f.blk;
  const i64 fs = a.sa + f.start - 1;
  iword* record = w.ints(fs, nf).data();
  double* lt = w.dbl(fs + xisl2d(nf), 2 * T + 2 * nf * pb + std::max<i64>(f.upd, 2) * nf).data();
  double* lp = lt + 2 * T;
  double* up = lp + nf * pb;
  CoreLuFront store(a, f, lt);
  return lu_eliminate(w, a, f, store, record, lp, up, up + nf * pb, nelim);
}

}  // namespace zephsol::sparse
