// Elimination of a front in work (hdslfe): its fully summed columns are cut
// into panels, each copied with all remaining rows into a dense panel
// (xdslup), reduced by a panel kernel, the rest of the front updated, the
// columns without a pivot put back (xdslrp) and retried at the head of the
// next panel, and the panel's part of the factor stored (xdslsp). Later
// interchanges are applied to the rows of the front's earlier panels at the
// end (xdslri).
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/factor.h"
#include "zephsol/sparse/fronts.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {

// Entry (i, j) of a panel of w columns and `rows` rows, 0-based offset.
static inline i64 pidx(i64 orient, i64 w, i64 rows, i64 i, i64 j) {
  return orient != 0 ? (j - 1) * rows + (i - 1) : (i - 1) * w + (j - 1);
}

namespace {

// Copies of `count` columns of `rows` doubles at most: column j by copy(j),
// shared by the team of threads when there are many words (a copy runs at
// the speed of memory, which more threads share better).
template <class Copy>
void copy_columns(i64 count, i64 rows, Copy&& copy) {
  constexpr i64 kManyWords = i64{1} << 16;
  if (ProductTeam::size() == 1 || count * rows < kManyWords) {
    for (i64 j = 1; j <= count; ++j) copy(j);
    return;
  }
  ProductTeam::run(static_cast<i32>(count), [&](i32 t) { copy(t + 1); });
}

}  // namespace

void xdslup(i64 orient, i64 w, i64 rows, const double* front_col_k, i64 nf, i64 k, double* panel) {
  if (orient == 0) std::fill(panel, panel + w * rows, 0.0);
  // Column k+j-1 of the packed front from its diagonal: the j-1 columns before it hold nf-k+1, nf-k, ... words.
  auto column = [&](i64 j) { return front_col_k + (j - 1) * (nf - k + 1) - (j - 1) * (j - 2) / 2; };
  if (orient != 0) {
    copy_columns(w, rows, [&](i64 j) {
      double* top = panel + pidx(1, w, rows, 1, j);
      std::fill(top, top + (j - 1), 0.0);  // above the diagonal
      std::memcpy(panel + pidx(1, w, rows, j, j), column(j), static_cast<std::size_t>(rows - j + 1) * 8);
    });
    return;
  }
  for (i64 j = 1; j <= w; ++j) {
    const double* col = column(j);
    for (i64 i = j; i <= rows; ++i) panel[pidx(0, w, rows, i, j)] = col[i - j];
  }
}

void xdslrp(i64 orient, i64 p, i64 w, i64 rows, double* front_col_k, i64 nf, i64 k, const double* panel) {
  double* col = front_col_k;
  for (i64 j = 1; j <= w; ++j) {
    if (j > p) {
      if (orient != 0) {
        std::memcpy(col, panel + pidx(1, w, rows, j, j), static_cast<std::size_t>(rows - j + 1) * 8);
      } else {
        for (i64 i = j; i <= rows; ++i) col[i - j] = panel[pidx(0, w, rows, i, j)];
      }
    }
    col += nf - (k + j - 1) + 1;
  }
}

void xdslri(i64 offset, i64 w, i64 rows, i64 count, const iword* record, double* part) {
  for (i64 x = 1; x <= count; ++x) {
    const i64 b = record[x - 1] - offset;
    if (b == x) continue;
    for (i64 j = 0; j < w; ++j) std::swap(part[j * rows + x - 1], part[j * rows + b - 1]);
  }
}

namespace {

// A panel's record in the factor: where it is and its shape.
struct StoredPanel {
  i64 k = 0, p = 0, rows = 0;
  i64 at = 0;  // first word (in work, or address on the factor file)
};

// The factor record of the p pivots of a panel: the strictly lower triangle
// of the pivot block, then the rows below it by columns; D apart. Stored in
// work at `dst`, or written to the factor file through the i/o buffer.
// Returns false on a write failure.
bool xdslsp(const Work& w, FactorArgs& a, i64 orient, i64 p, i64 wd, i64 rows, const double* panel,
            double* diag, i64 at) {
  for (i64 j = 1; j <= p; ++j) diag[j - 1] = panel[pidx(orient, wd, rows, j, j)];
  const i64 words = p * rows - tri(p);
  // The record as runs of n entries down the panel's columns, s apart.
  auto put_runs = [&](auto&& run) {
    const i64 s = orient != 0 ? 1 : wd;
    for (i64 j = 1; j < p; ++j) run(panel + pidx(orient, wd, rows, j + 1, j), p - j, s);
    if (rows > p)
      for (i64 j = 1; j <= p; ++j) run(panel + pidx(orient, wd, rows, p + 1, j), rows - p, s);
  };
  if (a.incore) {
    double* dst = w.dbl(a.fa + at, words).data();
    if (orient != 0) {
      // Column by column: contiguous runs of the panel.
      for (i64 j = 1; j < p; ++j) {
        std::memcpy(dst, panel + pidx(1, wd, rows, j + 1, j), static_cast<std::size_t>(p - j) * 8);
        dst += p - j;
      }
      copy_columns(p, rows - p, [&](i64 j) {
        std::memcpy(dst + (j - 1) * (rows - p), panel + pidx(1, wd, rows, p + 1, j), static_cast<std::size_t>(rows - p) * 8);
      });
    } else {
      put_runs([&](const double* x, i64 n, i64 s) {
        for (i64 i = 0; i < n; ++i) *dst++ = x[i * s];
      });
    }
    return true;
  }
  // Through the buffer to the factor file, from its next word.
  double* buf = w.dbl(a.iobuf, a.dlen).data();
  i64 fill = 0, addr = a.wafil1_next;
  bool ok = true;
  auto flush = [&] {
    if (fill == 0 || !ok) return;
    i32 e = 0;
    xdslw6(a.lunit3, buf, (addr - 1) / kRecordEntries + 1, static_cast<i32>((addr - 1) % kRecordEntries + 1), fill,
           e);
    ok = e == 0;
    addr += fill;
    fill = 0;
  };
  // Whole runs into the buffer, written each time it is full; nothing more
  // once a write has failed.
  put_runs([&](const double* x, i64 n, i64 s) {
    while (n > 0 && ok) {
      const i64 m = std::min(n, a.dlen - fill);
      if (s == 1) std::memcpy(buf + fill, x, static_cast<std::size_t>(m) * 8);
      else
        for (i64 i = 0; i < m; ++i) buf[fill + i] = x[i * s];
      fill += m, x += m * s, n -= m;
      if (fill == a.dlen) flush();
    }
  });
  flush();
  a.wafil1_next = addr;
  a.st.file1_words += words;
  return ok;
}

// Reads (write = false) or writes back the rectangle of a stored panel on
// the factor file; false on a failure.
bool file_rect(const FactorArgs& a, const StoredPanel& q, double* part, bool write) {
  const i64 addr = q.at + q.p * (q.p - 1) / 2, len = q.p * (q.rows - q.p);
  if (len == 0) return true;
  i32 e = 0;
  const i64 rec = (addr - 1) / kRecordEntries + 1;
  const i32 off = static_cast<i32>((addr - 1) % kRecordEntries + 1);
  if (write) xdslw6(a.lunit3, part, rec, off, len, e);
  else xdslw5(a.lunit3, part, rec, off, len, e);
  return e == 0;
}

// Applies the interchanges of front positions lo..hi (record(x) is the
// position moved to x) to the rows of every stored panel of the front that
// lies before them: in work, or read, reordered and written back on the
// factor file. False on a file failure.
bool repair(const Work& w, const FactorArgs& a, const std::vector<StoredPanel>& stored, const iword* record, i64 lo,
            i64 hi) {
  std::vector<double> buf;
  for (const StoredPanel& sp : stored) {
    const i64 off = sp.k + sp.p - 1, below = sp.rows - sp.p, from = std::max(lo, off + 1);
    if (from > hi || below == 0) continue;
    bool moves = false;
    for (i64 x = from; x <= hi && !moves; ++x) moves = record[x - 1] != x;
    if (!moves) continue;
    double* part = nullptr;
    if (a.incore) {
      part = w.dbl(a.fa + sp.at + sp.p * (sp.p - 1) / 2, sp.p * below).data();
    } else {
      buf.resize(static_cast<std::size_t>(sp.p * below));
      part = buf.data();
      if (!file_rect(a, sp, part, false)) return false;
    }
    xdslri(from - 1, sp.p, below, hi - from + 1, record + (from - 1), part + (from - 1 - off));
    if (!a.incore && !file_rect(a, sp, part, true)) return false;
  }
  return true;
}

// Symmetric interchange of the live front variables i and j (columns from
// k on): rows and columns, entry (j, i) staying in place.
void swap_front(double* front, i64 nf, i64 k, i64 i, i64 j) {
  auto at = [&](i64 r, i64 c) -> double& { return front[packed(nf, std::max(r, c), std::min(r, c)) - 1]; };
  for (i64 r = k; r <= nf; ++r)
    if (r != i && r != j) std::swap(at(r, i), at(r, j));
  std::swap(at(i, i), at(j, j));
}

// Swaps the rows of front positions i and j in every stored panel of the
// front, in work or on the factor file. False on a file failure.
bool swap_rows(const Work& w, const FactorArgs& a, const std::vector<StoredPanel>& stored, i64 i, i64 j) {
  for (const StoredPanel& sp : stored) {
    const i64 off = sp.k + sp.p - 1, below = sp.rows - sp.p;
    auto swap_in = [&](double* part) {
      for (i64 c = 0; c < sp.p; ++c) std::swap(part[c * below + i - off - 1], part[c * below + j - off - 1]);
    };
    if (a.incore) {
      swap_in(w.dbl(a.fa + sp.at + sp.p * (sp.p - 1) / 2, sp.p * below).data());
    } else {
      std::vector<double> buf(static_cast<std::size_t>(sp.p * below));
      if (!file_rect(a, sp, buf.data(), false)) return false;
      swap_in(buf.data());
      if (!file_rect(a, sp, buf.data(), true)) return false;
    }
  }
  return true;
}

}  // namespace

// The elimination loop over the panels of a front wherever the front is
// held: `store` reads a panel, updates the columns behind it, and takes
// back the columns without a pivot. record: the interchange record (nf
// integers); panel: nf x blk doubles; wblk: the work block.
i32 eliminate(const Work& w, FactorArgs& a, const Front& f, FrontStore& store, iword* record, double* panel,
              double* wblk, i64& nelim) {
  const i64 nf = f.nf, npiv = f.npiv, offset = f.np - 1, orient = a.orient;
  const auto [fperm, pivblk, diag, panpart, pert, negrec, root] = FrontArrays(w, a, f);
  // Conversion of a first perturbed or negative pivot's position to the
  // front (the driver then names its equation).
  FirstPivots first(pert, negrec);
  first.start_front();
  for (i64 x = 1; x <= npiv; ++x) record[x - 1] = static_cast<i32>(x);
  std::vector<StoredPanel> stored;
  i64 k = 1, p = 0;
  i64 repaired = 0;  // interchanges applied to the stored panels up to here
  i64 failed = 0;    // columns at the end that a root panel could not pivot
  for (;;) {
    const i64 l = std::min(k + f.blk - 1, npiv), wd = l - k + 1, rows = nf - k + 1, rest = nf - l;
    ++a.npanel;
    panpart(a.npanel) = static_cast<i32>(offset + k);
    if (const i32 rc = store.load(k, wd, rows, panel); rc != 0) return rc;
    i32 ier = 0;
    i32 taken = 0;
    if (a.pvttol == 0.0) {
      if (orient != 0) xdslnm(pert, negrec, static_cast<i32>(wd), static_cast<i32>(rows), panel, pivblk + (k - 1),
                              a.inertia, a.st.ops1, a.st.ops2, ier);
      else xdslnl(pert, negrec, static_cast<i32>(wd), static_cast<i32>(rows), panel, pivblk + (k - 1), a.inertia,
                  a.st.ops1, a.st.ops2, ier);
      taken = static_cast<i32>(wd);
    } else {
      iword* cand = reinterpret_cast<iword*>(wblk);
      double* dmax = wblk + xisl2d(wd);
      auto kernel = orient != 0 ? xdslpm : xdslpl;
      kernel(a.pvttol, pert, root, static_cast<i32>(rows), static_cast<i32>(wd), static_cast<i32>(k - 1),
             fperm + (k - 1), panel, pivblk + (k - 1), cand, dmax, record + (k - 1), taken, a.inertia, a.st.ops1,
             a.st.ops2, ier);
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
      if (const i32 rc = store.update(p, wd, rows, l, rest, panel, pivblk + (k - 1), wblk); rc != 0) return rc;
    if (p < wd)
      if (const i32 rc = store.put_back(p, k, wd, rows, panel); rc != 0) return rc;
    const i64 words = p * rows - tri(p);
    StoredPanel sp{k, p, rows, a.incore ? static_cast<i64>(a.fwords) : a.wafil1_next};
    if (!xdslsp(w, a, orient, p, wd, rows, panel, diag + (k - 1), sp.at)) return -2;
    stored.push_back(sp);
    a.fwords += static_cast<double>(words);
    if (l == npiv) break;
    k += p;
  }
  nelim = k + p - 1;
  if (const i32 rc = store.settle(); rc != 0) return rc;
  // 14. Rows of the earlier panels reordered by the later interchanges.
  if (a.pvttol > 0.0 && !repair(w, a, stored, record, repaired + 1, nelim)) return -2;
  return 0;
}

namespace {

// Pivots that may wait (or the panel's width when it is more).
constexpr i64 kWaiting = 512;

// The waiting updates of a front: multipliers l and unscaled entries wt
// (D times the multipliers) of the front positions from `first` down, one
// column of ld words per pivot, in scratch of the calling thread.
class Waiting {
 public:
  i64 count() const { return k_; }
  i64 room() const { return cap_; }
  // A fresh set for front positions first..nf, room for cap pivots.
  void open(i64 first, i64 nf, i64 cap) {
    first_ = first;
    ld_ = nf - first + 1;
    k_ = 0;
    cap_ = cap;
    const std::size_t need = static_cast<std::size_t>(ld_ * cap);
    if (size_ < need) {
      // The old contents are not kept: no copy, no clearing.
      l_ = std::make_unique_for_overwrite<double[]>(need);
      wt_ = std::make_unique_for_overwrite<double[]>(need);
      size_ = need;
    }
  }
  // The p pivots of a column-oriented panel of wd columns and `rows` rows
  // whose row wd+1 is front position pos (first or later).
  void add(const double* panel, const iword* pivblk, i64 p, i64 wd, i64 rows, i64 pos) {
    const PanelView<true, const double> pv{panel, rows, wd};
    const i64 off = pos - first_, n = rows - wd;
    for (i64 j = 0; j < p; ++j)
      std::memcpy(l_.get() + (k_ + j) * ld_ + off, pv.at(wd + 1, j + 1), static_cast<std::size_t>(n) * 8);
    form_wt(pv, pivblk - 1, 1, p, wd + 1, rows, wt_.get() + k_ * ld_ + off, ld_);
    k_ += p;
  }
  // The product of the waiting pivots from front position pos down.
  TrailProduct from(i64 pos) const {
    const i64 off = pos - first_;
    return {static_cast<i32>(k_), l_.get() + off, ld_, wt_.get() + off, ld_};
  }
  void clear() { k_ = 0; }

 private:
  i64 first_ = 0, ld_ = 0, k_ = 0, cap_ = 0;
  std::size_t size_ = 0;
  std::unique_ptr<double[]> l_, wt_;
};

Waiting& waiting() {
  thread_local Waiting q;
  return q;
}

}  // namespace

WaitingStore::WaitingStore(i64 orient, i64 nf, i64 npiv) : orient_(orient), nf_(nf), npiv_(npiv) {
  waiting().clear();  // nothing left over from a front that ended on an error
}

i32 WaitingStore::load(i64 k, i64 wd, i64 rows, double* panel) {
  if (const i32 rc = read(k, wd, rows, panel); rc != 0) return rc;
  k_ = k, wd_ = wd, rows_ = rows, panel_ = panel;
  if (waiting().count() > 0) {
    dense_update(waiting().from(k), static_cast<i32>(rows), static_cast<i32>(wd), panel, rows);
    stale_ = true;
  }
  return 0;
}

i32 WaitingStore::update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
                         double* wblk) {
  stale_ = false;
  Waiting& q = waiting();
  const bool whole = orient_ != 0 && p == wd, last = l == npiv_;
  const i64 cap = std::max(kWaiting, wd);
  if (whole && (!last || (q.count() > 0 && q.count() + p <= q.room()))) {
    ops() += update_flops(static_cast<i32>(p), static_cast<i32>(rest));
    if (q.count() > 0 && q.count() + p > q.room())
      if (const i32 rc = make_waiting(l + 1); rc != 0) return rc;
    if (q.count() == 0) q.open(l + 1, nf_, cap);
    q.add(panel, pivblk, p, wd, rows, l + 1);
    return last ? make_waiting(l + 1) : 0;
  }
  if (const i32 rc = make_waiting(l + 1); rc != 0) return rc;
  return direct(p, wd, rows, l, rest, panel, pivblk, wblk);
}

i32 WaitingStore::put_back(i64 p, i64 k, i64 wd, i64 rows, const double* panel) {
  stale_ = false;
  return write(p, k, wd, rows, panel);
}

i32 WaitingStore::swap(i64 k, i64 i, i64 j) {
  if (const i32 rc = settle(); rc != 0) return rc;
  return exchange(k, i, j);
}

// The loaded panel, when it took waiting updates and has not become
// pivots, goes back to the front whole; the rest takes the updates.
i32 WaitingStore::settle() {
  if (stale_) {
    stale_ = false;
    if (const i32 rc = write(0, k_, wd_, rows_, panel_); rc != 0) return rc;
  }
  return make_waiting(k_ + wd_);
}

i32 WaitingStore::make_waiting(i64 pos) {
  Waiting& q = waiting();
  const bool any = q.count() > 0 && pos <= nf_;
  const i32 rc = any ? take(q.from(pos), pos) : 0;
  q.clear();
  return rc;
}

namespace {

// A front packed in work.
class CoreFront final : public WaitingStore {
 public:
  CoreFront(const FactorArgs& a, const Front& f, double* front)
      : WaitingStore(a.orient, f.nf, f.npiv), a_(a), f_(f), front_(front) {}

 private:
  i32 read(i64 k, i64 wd, i64 rows, double* panel) override {
    xdslup(a_.orient, wd, rows, col(k), f_.nf, k, panel);
    return 0;
  }
  i32 write(i64 p, i64 k, i64 wd, i64 rows, const double* panel) override {
    xdslrp(a_.orient, p, wd, rows, col(k), f_.nf, k, panel);
    return 0;
  }
  i32 exchange(i64 k, i64 i, i64 j) override {
    swap_front(front_, f_.nf, k, i, j);
    return 0;
  }
  i32 direct(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
             double* wblk) override {
    if (a_.orient != 0)
      xdslum(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows), static_cast<i32>(f_.upd), panel,
             pivblk, static_cast<i32>(rest), col(l + 1), wblk, wblk + p * f_.upd, ops());
    else
      xdslul(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows), panel, pivblk,
             static_cast<i32>(rest), col(l + 1), wblk, ops());
    return 0;
  }
  i32 take(const TrailProduct& u, i64 pos) override {
    packed_update(u, static_cast<i32>(f_.nf - pos + 1), static_cast<i32>(f_.upd), col(pos));
    return 0;
  }
  double& ops() override { return const_cast<FactorArgs&>(a_).st.ops1; }
  double* col(i64 k) const { return front_ + (packed(f_.nf, k, k) - 1); }
  const FactorArgs& a_;
  const Front& f_;
  double* front_;
};

}  // namespace

i32 hdslfe(const Work& w, FactorArgs& a, const Front& f, i64& nelim) {
  const i64 nf = f.nf;
  const i64 fs = a.sa + f.start - 1;
  iword* record = w.ints(fs, nf).data();
  double* front = w.dbl(fs + xisl2d(nf), tri(nf)).data();
  double* panel = w.dbl(fs + xisl2d(nf) + tri(nf), nf * f.blk).data();
  const i64 wbwords = std::max<i64>(f.upd, a.orient == 0 ? 3 : 2) * nf;
  double* wblk = w.dbl(fs + xisl2d(nf) + tri(nf) + nf * f.blk, wbwords).data();
  CoreFront store(a, f, front);
  return eliminate(w, a, f, store, record, panel, wblk, nelim);
}

}  // namespace zephsol::sparse
