// Fronts too large for work: built block of columns by block of columns on
// the front file (hdslft) and eliminated there panel by panel (hdslfo),
// the columns behind each panel updated through a window of the file that
// only moves forward. The arithmetic of every entry is that of a front in
// work: the same additions in the same order, the same kernels, the same
// products column by column.
#include <algorithm>
#include <cstring>
#include <vector>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// Panel column j (rows j..rows) copied from or to a packed column.
void column_in(i64 orient, i64 wd, i64 rows, i64 j, const double* col, double* panel) {
  if (orient != 0) {
    std::memcpy(panel + (j - 1) * rows + (j - 1), col, static_cast<std::size_t>(rows - j + 1) * 8);
  } else {
    for (i64 i = j; i <= rows; ++i) panel[(i - 1) * wd + (j - 1)] = col[i - j];
  }
}
void column_out(i64 orient, i64 wd, i64 rows, i64 j, const double* panel, double* col) {
  if (orient != 0) {
    std::memcpy(col, panel + (j - 1) * rows + (j - 1), static_cast<std::size_t>(rows - j + 1) * 8);
  } else {
    for (i64 i = j; i <= rows; ++i) col[i - j] = panel[(i - 1) * wd + (j - 1)];
  }
}

}  // namespace

i32 FileWindow::prepare(i32 first, i32 last) {
  const i64 s = colstart(n_, first), e = colstart(n_, last) + (n_ - last + 1);
  if (s >= lo_ && e <= lo_ + fill_) return 0;
  if (e - s > len_) return kNoRoom;
  const i64 done = std::min(s, lo_ + fill_) - lo_;  // words of finished columns
  if (!file_write(unit_, base_ + lo_, done, buf_)) return -2;
  words_ += done;
  const i64 tail = fill_ - done;
  if (tail > 0) std::memmove(buf_, buf_ + done, static_cast<std::size_t>(tail) * 8);
  lo_ += done;
  fill_ = tail;
  if (lo_ < s) {  // nothing valid before s: start the window there
    lo_ = s;
    fill_ = 0;
  }
  const i64 more = std::min(tri(n_) - (lo_ + fill_), len_ - fill_);
  if (!file_read(unit_, base_ + lo_ + fill_, more, buf_ + fill_)) return -3;
  words_ += more;
  fill_ += more;
  return 0;
}

double* FileWindow::column(i32 m) { return buf_ + (colstart(n_, m) - lo_); }

i32 FileWindow::flush() {
  if (!file_write(unit_, base_ + lo_, fill_, buf_)) return -2;
  words_ += fill_;
  return 0;
}

i32 front_columns_in(FactorArgs& a, i64 nf, i64 base, i64 orient, i64 k, i64 wd, i64 rows, double* panel,
                     double* buf, i64 len) {
  std::fill(panel, panel + wd * rows, 0.0);
  ColumnReader rd(a.lunit6, base + colstart(nf, k), rows, wd, buf, len, a.st.front_words);
  for (i64 j = 1; j <= wd; ++j) {
    const double* col = rd.column(j);
    if (col == nullptr) return rd.failed() ? -4 : kNoRoom;
    column_in(orient, wd, rows, j, col, panel);
  }
  return 0;
}

i32 front_columns_out(FactorArgs& a, i64 nf, i64 base, i64 orient, i64 p, i64 k, i64 wd, i64 rows,
                      const double* panel, double* buf, i64 len) {
  // Columns k+p..k+wd-1 back in runs of whole columns.
  i64 j = p + 1;
  while (j <= wd) {
    const i64 clen = rows - j + 1;
    const i64 c = columns_that_fit(clen, len, wd - j + 1);
    if (c < 1) return kNoRoom;
    i64 at = 0;
    for (i64 q = 0; q < c; ++q) {
      column_out(orient, wd, rows, j + q, panel, buf + at);
      at += clen - q;
    }
    if (!file_write(a.lunit6, base + colstart(nf, k + j - 1), at, buf)) return -4;
    a.st.front_words += at;
    j += c;
  }
  return 0;
}

namespace {

// Front columns k..k+wd-1 read from the front file into a panel, and the
// unpivoted panel columns after the first p written back (front from word 1).
i32 xdslrf(FactorArgs& a, i64 nf, i64 k, i64 wd, i64 rows, double* panel, double* buf, i64 len) {
  return front_columns_in(a, nf, 1, a.orient, k, wd, rows, panel, buf, len);
}
i32 xdslwf(FactorArgs& a, i64 nf, i64 p, i64 k, i64 wd, i64 rows, const double* panel, double* buf, i64 len) {
  return front_columns_out(a, nf, 1, a.orient, p, k, wd, rows, panel, buf, len);
}

// A front packed on the front file from word 1.
class FileFront final : public WaitingStore {
 public:
  FileFront(FactorArgs& a, const Front& f, double* buf, i64 len)
      : WaitingStore(a.orient, f.nf, f.npiv), a_(a), f_(f), buf_(buf), len_(len) {}

 private:
  i32 read(i64 k, i64 wd, i64 rows, double* panel) override {
    return xdslrf(a_, f_.nf, k, wd, rows, panel, buf_, len_);
  }

  i32 direct(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
             double* wblk) override {
    const i64 addr = 1 + colstart(f_.nf, l + 1);
    const i32 rc = a_.orient != 0
                       ? xdslun(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows),
                                static_cast<i32>(f_.upd), panel, pivblk, static_cast<i32>(rest), len_, buf_, addr,
                                a_.lunit6, a_.st.front_words, wblk, wblk + p * f_.upd, a_.st.ops1)
                       : xdslej(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows), panel, pivblk,
                                static_cast<i32>(rest), len_, buf_, addr, a_.lunit6, a_.st.front_words, wblk,
                                a_.st.ops1);
    return rc == kNoRoom || rc == 0 ? rc : -4;
  }

  // The product through a window on the columns from pos on; its block
  // products in scratch of the calling thread.
  i32 take(const TrailProduct& u, i64 pos) override {
    const i32 ntrail = static_cast<i32>(f_.nf - pos + 1), nbu = static_cast<i32>(std::max<i64>(f_.upd, 1));
    thread_local std::vector<double> w2;
    if (w2.size() < static_cast<std::size_t>(ntrail) * nbu) w2.resize(static_cast<std::size_t>(ntrail) * nbu);
    FileWindow win(a_.lunit6, 1 + colstart(f_.nf, pos), ntrail, buf_, len_, a_.st.front_words);
    i32 rc = trail_on(u, ntrail, nbu, win, w2.data());
    if (rc == 0) rc = win.flush();
    return rc == kNoRoom || rc == 0 ? rc : -4;
  }

  double& ops() override { return a_.st.ops1; }

  i32 write(i64 p, i64 k, i64 wd, i64 rows, const double* panel) override {
    return xdslwf(a_, f_.nf, p, k, wd, rows, panel, buf_, len_);
  }

  // Variables i < j exchanged as in work: columns i and j held apart,
  // the columns k..j-1 between streamed through the buffer (rows i and j
  // of the columns before i, row j of those between against column i).
  i32 exchange(i64 k, i64 i, i64 j) override {
    const i64 nf = f_.nf;
    std::vector<double> ci(static_cast<std::size_t>(nf - i + 1)), cj(static_cast<std::size_t>(nf - j + 1));
    if (!file_read(a_.lunit6, 1 + colstart(nf, i), nf - i + 1, ci.data()) ||
        !file_read(a_.lunit6, 1 + colstart(nf, j), nf - j + 1, cj.data()))
      return -4;
    a_.st.front_words += 2 * nf - i - j + 2;
    for (i64 c = k; c < j;) {
      const i64 len = nf - c + 1, nc = columns_that_fit(len, len_, j - c);
      if (nc < 1) return kNoRoom;
      const i64 words = nc * len - nc * (nc - 1) / 2;
      if (!file_read(a_.lunit6, 1 + colstart(nf, c), words, buf_)) return -4;
      for (i64 q = c; q < c + nc; ++q) {
        double* d = buf_ + (colstart(nf, q) - colstart(nf, c));  // d[r - q] = entry (r, q)
        if (q < i) std::swap(d[i - q], d[j - q]);
        else if (q > i) std::swap(ci[static_cast<std::size_t>(q - i)], d[j - q]);
      }
      if (!file_write(a_.lunit6, 1 + colstart(nf, c), words, buf_)) return -4;
      a_.st.front_words += 2 * words;
      c += nc;
    }
    std::swap(ci[0], cj[0]);
    for (i64 r = j + 1; r <= nf; ++r) std::swap(ci[static_cast<std::size_t>(r - i)], cj[static_cast<std::size_t>(r - j)]);
    if (!file_write(a_.lunit6, 1 + colstart(nf, i), nf - i + 1, ci.data()) ||
        !file_write(a_.lunit6, 1 + colstart(nf, j), nf - j + 1, cj.data()))
      return -4;
    a_.st.front_words += 2 * nf - i - j + 2;
    return 0;
  }

 private:
  FactorArgs& a_;
  const Front& f_;
  double* buf_;
  i64 len_;
};

// Copies n words from one double file to another through a buffer.
i32 file_copy(i32 from, i64 src, i32 to, i64 dst, i64 n, double* buf, i64 len, i64& read, i64& written) {
  for (i64 done = 0; done < n;) {
    const i64 k = std::min(len, n - done);
    if (!file_read(from, src + done, k, buf)) return -4;
    read += k;
    if (!file_write(to, dst + done, k, buf)) return -3;
    written += k;
    done += k;
  }
  return 0;
}

}  // namespace

i32 xdslej(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail, i64 bfrlen,
           double* buffer, i64 addr, i32 lunit6, i64& transfers, double* w, double& ops1) {
  ops1 += update_flops(npiv, ntrail);
  FileWindow win(lunit6, addr, ntrail, buffer, bfrlen, transfers);
  const i32 rc = xdslul_on(npiv, ncol, nrow, panel, pivblk, ntrail, win, w);
  return rc != 0 ? rc : win.flush();
}

i32 xdslun(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail, i64 bfrlen,
           double* buffer, i64 addr, i32 lunit6, i64& transfers, double* w1, double* w2, double& ops1) {
  ops1 += update_flops(npiv, ntrail);
  FileWindow win(lunit6, addr, ntrail, buffer, bfrlen, transfers);
  const i32 rc = xdslum_on(npiv, ncol, nrow, nbu, panel, pivblk, ntrail, win, w1, w2);
  return rc != 0 ? rc : win.flush();
}

namespace {

// A block of front columns lo..hi (order nf) in the stack area, the first
// column holding rows lo..nf: one area per triangle of the front (the L
// and U triangles on the LU path).
struct Block {
  double* area[2];
  i64 lo, hi, E;
  double& at(i64 side, i64 i, i64 c) const { return area[side][colstart(E, c - lo + 1) + (i - c)]; }
};

// A child of a front built on the front file: its stack entry and the
// first parent column of its delayed columns.
struct FileChild {
  StackedChild c;
  i64 dbase = 0;
};

// What the block routines of one front share.
struct FileAssembly {
  const Work& w;
  FactorArgs& a;
  const Front& f;
  i64 parts;  // triangles per front and per update matrix (1 or 2)
  IVec rel;
  std::vector<FileChild> kids;
  FrontEntries fe;
  // A row of a child's index list (counted without the delayed columns)
  // as a row of the front.
  i64 map(i64 r) const { return r <= f.ncol ? r : r + f.nd; }
  double* iobuf() const { return w.dbl(a.iobuf, a.dlen).data(); }
  // First word on the stack file of triangle `side` of child c's update
  // matrix (after its index words).
  static i64 part_addr(const StackedChild& c, i64 side) { return c.addr + c.nd + side * tri(c.nd + c.nr); }
};

// The children's update matrices added into the block, triangle by
// triangle: of each child only the columns that fall into the block are
// read. 0, -1 read failure.
i32 xdslbf(FileAssembly& x, const Block& b) {
  for (const FileChild& k : x.kids) {
    const StackedChild& c = k.c;
    const iword* r = x.rel.data() + c.old - 1;
    i64 j1 = 1;
    while (j1 <= c.nr && x.map(r[j1 - 1]) < b.lo) ++j1;
    for (i64 side = 0; side < x.parts; ++side) {
      ColumnReader rd(x.a.lunit4, FileAssembly::part_addr(c, side) + tri(c.nd) + c.nr * c.nd, c.nr, c.nr,
                      x.iobuf(), x.a.dlen, x.a.st.file2_words);
      for (i64 j = j1; j <= c.nr && x.map(r[j - 1]) <= b.hi; ++j) {
        const double* src = rd.column(j);
        if (src == nullptr) return rd.failed() ? -1 : kNoRoom;
        const i64 cj = x.map(r[j - 1]);
        for (i64 i = j; i <= c.nr; ++i) b.at(side, x.map(r[i - 1]), cj) += src[i - j];
      }
    }
  }
  return 0;
}

// The matrix entries of the own columns in the block: the window of the
// sorted entry list that falls into its columns (an entry placed beyond
// the structural L triangle belongs to the U triangle).
void scatter_own_entries(const FileAssembly& x, const Block& b) {
  const Front& f = x.f;
  const IVec xrelin = x.w.ints(x.a.xrelin, x.a.n + 1);
  const i64 ld = f.ncol + f.nrow, T1 = tri(ld), last = std::min(b.hi, f.ncol);
  for (i64 c = b.lo; c <= last; ++c) {
    const i64 q0 = xrelin(f.first + c - 1) - x.fe.first, q1 = xrelin(f.first + c) - x.fe.first;
    const i64 base = (c - 1) * ld - c * (c - 1) / 2;  // packed(ld, i, c) = base + i
    for (i64 q = q0; q < q1; ++q) {
      const i64 side = x.parts > 1 && x.fe.pos[q] > T1 ? 1 : 0;
      b.at(side, x.map(x.fe.pos[q] - side * T1 - base), c) += x.fe.val[q];
    }
  }
}
void xdslsw(const FileAssembly& x, const Block& b) { scatter_own_entries(x, b); }
void xdslsu(const FileAssembly& x, const Block& b) { scatter_own_entries(x, b); }

// The diagonal of the own columns in the block (in the L triangle).
void add_own_diagonal(const FileAssembly& x, const Block& b) {
  const DVec diag = x.w.dbl(x.a.diag, x.a.n);
  const i64 last = std::min(b.hi, x.f.ncol);
  for (i64 c = b.lo; c <= last; ++c) b.at(0, c, c) += diag(x.f.first + c - 1);
}

// The matrix entries and the diagonal of the own columns in the block;
// xdslac on the LU path.
void xdslob(const FileAssembly& x, const Block& b) {
  xdslsw(x, b);
  add_own_diagonal(x, b);
}
void xdslac(const FileAssembly& x, const Block& b) {
  xdslsu(x, b);
  add_own_diagonal(x, b);
}

// The children's delayed columns: their own rows into the delayed columns
// of the block, their rows among the own columns and below stored at
// (max, min) when that column lies in the block. An entry of a delayed
// column in one of the front's own rows lies above the diagonal there: on
// the LU path it changes triangle. 0, -1 read failure.
i32 xdsldb(FileAssembly& x, const Block& b) {
  for (const FileChild& k : x.kids) {
    const StackedChild& c = k.c;
    if (c.nd == 0) continue;
    const bool own = b.lo <= x.f.ncol, mine = b.lo <= k.dbase + c.nd && b.hi > k.dbase;
    if (!own && !mine) continue;
    for (i64 side = 0; side < x.parts; ++side) {
      const i64 other = x.parts - 1 - side;
      ColumnReader rd(x.a.lunit4, FileAssembly::part_addr(c, side), c.nd + c.nr, c.nd, x.iobuf(), x.a.dlen,
                      x.a.st.file2_words);
      for (i64 j = 1; j <= c.nd; ++j) {
        const double* col = rd.column(j);
        if (col == nullptr) return rd.failed() ? -1 : kNoRoom;
        const i64 cp = k.dbase + j;
        if (cp >= b.lo && cp <= b.hi)
          for (i64 i = 0; i <= c.nd - j; ++i) b.at(side, cp + i, cp) = col[i];
        for (i64 i = 1; i <= c.nr; ++i) {
          const i64 r = x.map(x.rel(c.old + i - 1)), cmin = std::min(cp, r);
          if (cmin >= b.lo && cmin <= b.hi) b.at(r > cp ? side : other, std::max(cp, r), cmin) = col[c.nd - j + i];
        }
      }
    }
  }
  return 0;
}

// The delayed rows opened inside a block of own columns (xdsla7; xdslb7 on
// the LU path) and the blocks of delayed columns (xdsldb; xdslyc on the LU
// path): one body, the block laid out with the delayed rows in place.
i32 xdsla7(FileAssembly& x, const Block& b) { return xdsldb(x, b); }
i32 xdslb7(FileAssembly& x, const Block& b) { return xdsldb(x, b); }
i32 xdslyc(FileAssembly& x, const Block& b) { return xdsldb(x, b); }

// One block: the children's update matrices, the entries of the own
// columns, the delayed columns.
i32 assemble_block(FileAssembly& x, const Block& b) {
  if (const i32 rc = xdslbf(x, b); rc != 0) return rc;
  const bool lu = x.parts > 1, own = b.lo <= x.f.ncol;
  if (lu)
    xdslac(x, b);
  else
    xdslob(x, b);
  if (own) return lu ? xdslb7(x, b) : xdsla7(x, b);
  return lu ? xdslyc(x, b) : xdsldb(x, b);
}

// The front of order nf built on the front file in blocks of columns, of
// `parts` triangles (the second T(nf) words after the first), each block
// in its share of the stack area.
i32 assemble_on_file(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64 parts) {
  const i64 nf = f.nf, ncol = f.ncol;
  FileAssembly x{w, a, f, parts, w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1)), {}, {}};
  iword* list = w.ints(a.fperm, a.n).data() + (f.np - 1);
  for (i64 k = 0; k < ncol; ++k) list[k] = static_cast<i32>(f.first + k);
  // The children, top first, with the first parent column of their
  // delayed columns.
  i64 dnext = ncol;
  for (i64 e = depth; e > depth - f.nch; --e) {
    FileChild k{stacked_child(w, a, e), dnext};
    if (k.c.pos != 0) return kNoRoom;  // the driver spills the stack first
    dnext += k.c.nd;
    x.kids.push_back(k);
  }
  // The delayed columns' global columns from the entries' first words.
  std::vector<double> head;
  for (const FileChild& k : x.kids) {
    if (k.c.nd == 0) continue;
    head.resize(static_cast<std::size_t>(k.c.nd));
    if (!file_read(a.lunit4, k.c.addr, k.c.nd, head.data())) return -1;
    a.st.file2_words += k.c.nd;
    const iword* idx = reinterpret_cast<const iword*>(head.data());
    for (i64 j = 0; j < k.c.nd; ++j) list[k.dbase + j] = idx[j];
  }
  if (front_entries(w, a, f, x.fe) != 0) return -2;
  const i64 share = a.slen / parts, T = tri(nf);
  double* area = w.dbl(a.sa, parts * share).data();
  for (i64 lo = 1; lo <= nf;) {
    const i64 E = nf - lo + 1;
    const i64 nc = columns_that_fit(E, share, E);
    if (nc < 1) return kNoRoom;
    const Block b{{area, area + (parts - 1) * share}, lo, lo + nc - 1, E};
    const i64 words = nc * E - nc * (nc - 1) / 2;
    for (i64 side = 0; side < parts; ++side) std::fill(b.area[side], b.area[side] + words, 0.0);
    if (const i32 rc = assemble_block(x, b); rc != 0) return rc;
    for (i64 side = 0; side < parts; ++side) {
      if (!file_write(a.lunit6, 1 + side * T + colstart(nf, lo), words, b.area[side])) return -3;
      a.st.front_words += words;
    }
    lo = b.hi + 1;
  }
  // Operations as the assembly in work counts them; the children popped
  // and their room on the stack file free again.
  for (const FileChild& k : x.kids)
    a.st.ops1 += static_cast<double>(parts * (tri(k.c.nr) + (k.c.nd > 0 ? tri(k.c.nd) + k.c.nd * k.c.nr : 0)));
  a.st.ops1 += static_cast<double>(x.fe.count + ncol);
  if (!x.kids.empty())
    a.wafil2_next = std::min_element(x.kids.begin(), x.kids.end(), [](const FileChild& p, const FileChild& q) {
                      return p.c.addr < q.c.addr;
                    })->c.addr;
  depth -= f.nch;
  a.st.front_max = std::max(a.st.front_max, parts * T);
  a.st.front_sum += parts * T;
  return 0;
}

}  // namespace

i32 hdslft(const Work& w, FactorArgs& a, const Front& f, i64& depth) { return assemble_on_file(w, a, f, depth, 1); }

i32 hdslut(const Work& w, FactorArgs& a, const Front& f, i64& depth) { return assemble_on_file(w, a, f, depth, 2); }

TransferBuffer transfer_buffer(const Work& w, const FactorArgs& a, i64 end) {
  const i64 rest = a.sa + a.slen - 1 - end;
  if (rest > a.dlen) return {w.dbl(end + 1, rest).data(), rest};
  return {w.dbl(a.iobuf, a.dlen).data(), a.dlen};
}

i32 update_to_stack(const Work& w, FactorArgs& a, const Front& f, i64 nelim, i64 parts, const TransferBuffer& tb,
                    i64& addr) {
  const i64 nf = f.nf, ndel = f.npiv - nelim, t = tri(nf - nelim);
  addr = a.wafil2_next;
  std::vector<double> head(static_cast<std::size_t>(ndel), 0.0);
  const iword* fperm = w.ints(a.fperm, a.n).data() + (f.np - 1 + nelim);
  if (ndel > 0) std::memcpy(head.data(), fperm, static_cast<std::size_t>(ndel) * 4);
  if (!file_write(a.lunit4, addr, ndel, head.data())) return -3;
  for (i64 side = 0; side < parts; ++side) {
    const i32 cc = file_copy(a.lunit6, 1 + side * tri(nf) + colstart(nf, nelim + 1), a.lunit4,
                             addr + ndel + side * t, t, tb.buf, tb.len, a.st.front_words, a.st.file2_words);
    if (cc != 0) return cc;
  }
  a.st.file2_words += ndel;
  a.wafil2_next = addr + ndel + parts * t;
  a.st.file2_extent = std::max(a.st.file2_extent, a.wafil2_next - 1);
  return 0;
}

i32 hdslfo(const Work& w, FactorArgs& a, const Front& f, i64& nelim, i64& addr) {
  const i64 nf = f.nf;
  const i64 wbwords = std::max<i64>(f.upd, a.orient == 0 ? 3 : 2) * nf;
  WordLayout lay(a.sa + f.start - 1);
  const i64 panel = lay.take(nf * f.blk), record = lay.take(xisl2d(nf)), wblk = lay.take(wbwords);
  if (lay.end() - a.sa + 1 > a.slen) return kNoRoom;
  const TransferBuffer tb = transfer_buffer(w, a, lay.end());
  FileFront store(a, f, tb.buf, tb.len);
  const i32 rc = eliminate(w, a, f, store, w.ints(record, nf).data(), w.dbl(panel, nf * f.blk).data(),
                           w.dbl(wblk, wbwords).data(), nelim);
  if (rc != 0) return rc;
  // The update matrix to the stack file: the delayed columns' global
  // columns, then the trailing triangle from the delayed columns on.
  return update_to_stack(w, a, f, nelim, 1, tb, addr);
}

}  // namespace zephsol::sparse
