// LU fronts too large for work, eliminated on the front file (hdsluo):
// both triangles packed there (the U triangle T(nf) words after the L
// triangle), each panel read from both, the columns behind it updated
// through a window of the file that only moves forward (xdsldh), the factor
// panels written to the two factor files, and the update matrix copied to
// the stack file. The arithmetic of every entry is that of a front in work.
#include <algorithm>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/sparse/hherr.h"
#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// Both triangles of a front packed on the front file from word 1.
class FileLuFront final : public LuFrontStore {
 public:
  FileLuFront(FactorArgs& a, const Front& f, const TransferBuffer& tb) : a_(a), f_(f), tb_(tb), T_(tri(f.nf)) {}

  i32 load(i64 k, i64 wd, i64 rows, double* lp, double* up) override {
    i32 rc = front_columns_in(a_, f_.nf, 1, 1, k, wd, rows, lp, tb_.buf, tb_.len);
    if (rc == 0) rc = front_columns_in(a_, f_.nf, 1 + T_, 1, k, wd, rows, up, tb_.buf, tb_.len);
    return rc;
  }

  i32 update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* lp, const double* up, double* wk) override {
    const i32 rc = xdsldh(static_cast<i32>(p), static_cast<i32>(wd), static_cast<i32>(rows), static_cast<i32>(f_.upd),
                          lp, up, static_cast<i32>(rest), tb_.len, tb_.buf, T_, 1 + colstart(f_.nf, l + 1), a_.lunit6,
                          a_.st.front_words, wk, wk + f_.upd * p, a_.st.ops1);
    return rc == 0 ? 0 : -4;
  }

  i32 put_back(i64 p, i64 k, i64 wd, i64 rows, const double* lp, const double* up) override {
    i32 rc = front_columns_out(a_, f_.nf, 1, 1, p, k, wd, rows, lp, tb_.buf, tb_.len);
    if (rc == 0) rc = front_columns_out(a_, f_.nf, 1 + T_, 1, p, k, wd, rows, up, tb_.buf, tb_.len);
    return rc;
  }

  // Variables i < j exchanged as in work: columns i and j of both
  // triangles held apart, the columns k..j-1 between streamed through the
  // buffer. Of a column before i, rows i and j change places; a column q
  // between holds in row j the entry (j, q) (L) or (q, j) (U), which
  // changes places with (q, i) or (i, q): column i of the other triangle.
  i32 swap(i64 k, i64 i, i64 j) override {
    const i64 nf = f_.nf;
    std::vector<double> col[2][2];  // [triangle][i, j]
    for (i64 side = 0; side < 2; ++side)
      for (i64 q = 0; q < 2; ++q) {
        const i64 c = q == 0 ? i : j;
        col[side][q].resize(static_cast<std::size_t>(nf - c + 1));
        if (!io(false, side, c, nf - c + 1, col[side][q].data())) return -4;
      }
    for (i64 side = 0; side < 2; ++side) {
      std::vector<double>& across = col[1 - side][0];
      for (i64 c = k; c < j;) {
        const i64 len = nf - c + 1, nc = columns_that_fit(len, tb_.len, j - c);
        if (nc < 1) return kNoRoom;
        const i64 words = nc * len - nc * (nc - 1) / 2;
        if (!io(false, side, c, words, tb_.buf)) return -4;
        for (i64 q = c; q < c + nc; ++q) {
          double* d = tb_.buf + (colstart(nf, q) - colstart(nf, c));  // d[r - q] = row r of column q
          if (q < i) std::swap(d[i - q], d[j - q]);
          else if (q > i) std::swap(across[static_cast<std::size_t>(q - i)], d[j - q]);
        }
        if (!io(true, side, c, words, tb_.buf)) return -4;
        c += nc;
      }
    }
    auto& [li, lj] = col[0];
    auto& [ui, uj] = col[1];
    std::swap(li[0], lj[0]);  // the pivots (the U triangle's diagonal is not read)
    std::swap(li[static_cast<std::size_t>(j - i)], ui[static_cast<std::size_t>(j - i)]);
    for (i64 r = j + 1; r <= nf; ++r) {
      std::swap(li[static_cast<std::size_t>(r - i)], lj[static_cast<std::size_t>(r - j)]);
      std::swap(ui[static_cast<std::size_t>(r - i)], uj[static_cast<std::size_t>(r - j)]);
    }
    for (i64 side = 0; side < 2; ++side)
      for (i64 q = 0; q < 2; ++q) {
        const i64 c = q == 0 ? i : j;
        if (!io(true, side, c, nf - c + 1, col[side][q].data())) return -4;
      }
    return 0;
  }

 private:
  // n words of a triangle from the start of its column c, read or written.
  bool io(bool write, i64 side, i64 c, i64 n, double* v) {
    const i64 addr = 1 + side * T_ + colstart(f_.nf, c);
    const bool ok = write ? file_write(a_.lunit6, addr, n, v) : file_read(a_.lunit6, addr, n, v);
    a_.st.front_words += n;
    return ok;
  }

  FactorArgs& a_;
  const Front& f_;
  const TransferBuffer& tb_;
  i64 T_;
};

}  // namespace

i32 xdsldh(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* up, i32 r, i64 bfrlen, double* buffer,
           i64 tnf, i64 addr, i32 lunit6, i64& transfers, double* w1, double* w2, double& ops1) {
  ops1 += lu_update_flops(nelim, r);
  if (cb < 1) cb = 1;
  // The first block of columns is the longest: the buffer must hold it.
  const i64 w = std::min(cb, r), len = w * static_cast<i64>(r) - tri(w - 1);
  if (len > bfrlen)
    sparse_stop({"storage oops in xdsldh",
                 fline("('l, len, bfrlen = ',3I8)", {1, len, std::min<i64>(tri(r), bfrlen)})});
  for (int side = 0; side < 2; ++side) {
    FileWindow win(lunit6, addr + side * tnf, r, buffer, bfrlen, transfers);
    const i32 rc = xdslbu_on(nelim, n, m, cb, lp, side == 0 ? lp : up, side == 0 ? up : lp, r, win, w1, w2);
    if (rc != 0) return rc;
    if (const i32 fc = win.flush(); fc != 0) return fc;
  }
  return 0;
}

i32 hdsluo(const Work& w, FactorArgs& a, const Front& f, i64& nelim, i64& addr) {
  const i64 nf = f.nf, pb = f.blk, wkwords = std::max<i64>(f.upd, 2) * nf;
  WordLayout lay(a.sa + f.start - 1);
  const i64 lp = lay.take(nf * pb), up = lay.take(nf * pb), record = lay.take(xisl2d(nf)), wk = lay.take(wkwords);
  if (lay.end() - a.sa + 1 > a.slen) return kNoRoom;
  const TransferBuffer tb = transfer_buffer(w, a, lay.end());
  FileLuFront store(a, f, tb);
  const i32 rc = lu_eliminate(w, a, f, store, w.ints(record, nf).data(), w.dbl(lp, nf * pb).data(),
                              w.dbl(up, nf * pb).data(), w.dbl(wk, wkwords).data(), nelim);
  if (rc != 0) return rc;
  return update_to_stack(w, a, f, nelim, 2, tb, addr);
}

}  // namespace zephsol::sparse
