// Assembly of a front in work (hdslfs) and the packed-storage routines it
// uses: the in-place expansion of the top child's update matrix (xdslxp),
// the extend-add of the other children (xdslea), the input-matrix entries
// and diagonal (xdslao), the opening of the delayed variables (xdsla2) and
// the move of the children's delayed columns into them (xdsldc).
#include <algorithm>
#include <cstring>
#include <vector>

#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// y(idx(i)) += a x(i), i = 1 ... n, with 1-based places idx; nothing when
// n <= 0 or a = 0.
void xdslax(i64 n, double a, const double* x, const iword* idx, double* y) {
  if (n <= 0 || a == 0.0) return;
  for (i64 i = 0; i < n; ++i) y[idx[i] - 1] += a * x[i];
}

// y(idx(i)) += x(i), i = 1 ... n.
void xdslsa(i64 n, const double* x, const iword* idx, double* y) { xdslax(n, 1.0, x, idx, y); }

}  // namespace

void xdslxp(i64 n, const iword* rel, i64 ld, double* src, double* dst) {
  // Column j of the source holds rows j..n; its target column rel(j).
  i64 q = tri(n);
  for (i64 j = n; j >= 1; --j) {
    const i64 cj = rel[j - 1];
    const i64 base = (cj - 1) * ld - cj * (cj - 1) / 2;  // packed(ld, i, cj) = base + i
    for (i64 i = n; i >= j; --i, --q) {
      const double v = src[q - 1];
      src[q - 1] = 0.0;
      dst[base + rel[i - 1] - 1] = v;
    }
  }
}

void xdslea(i64 n, const iword* rel, const double* src, i64 ld, double* dst) {
  i64 q = 0;
  for (i64 j = 1; j <= n; ++j) {
    const i64 cj = rel[j - 1];
    double* col = dst + (cj - 1) * ld - cj * (cj - 1) / 2;  // col[i - 1] = entry (i, cj)
    xdslsa(n - j + 1, src + q, rel + (j - 1), col);
    q += n - j + 1;
  }
}

void xdsla2(i64 ncol, i64 nd, i64 nrow, double* front) {
  const i64 ld = ncol + nrow, nf = ncol + nd + nrow;
  auto start_old = [&](i64 c) { return (c - 1) * ld - (c - 1) * (c - 2) / 2; };  // 0-based
  auto start_new = [&](i64 c) { return (c - 1) * nf - (c - 1) * (c - 2) / 2; };
  // The trailing triangle of the rows to the end, the delayed columns' part
  // of the new trailing triangle cleared.
  const i64 trail = tri(nrow);
  std::memmove(front + start_new(ncol + nd + 1), front + start_old(ncol + 1), static_cast<std::size_t>(trail) * 8);
  const i64 dz = nd * (nrow + nd) - nd * (nd - 1) / 2;
  std::fill(front + start_new(ncol + 1), front + start_new(ncol + 1) + dz, 0.0);
  // Own columns from the last: rows below, nd zeros, own rows.
  for (i64 c = ncol; c >= 1; --c) {
    const i64 own = ncol - c + 1, so = start_old(c), sn = start_new(c);
    std::memmove(front + sn + own + nd, front + so + own, static_cast<std::size_t>(nrow) * 8);
    std::memmove(front + sn, front + so, static_cast<std::size_t>(own) * 8);
    std::fill(front + sn + own, front + sn + own + nd, 0.0);
  }
}

// Input-matrix entries of the own columns and their diagonal values, added
// into the structural front of order ld.
void xdslao(const Work& w, const FactorArgs& a, const Front& f, const FrontEntries& fe, i64 ld, double* front,
            double& ops) {
  xdslsa(fe.count, fe.val, fe.pos, front);
  const DVec diag = w.dbl(a.diag, a.n);
  for (i64 c = 1; c <= f.ncol; ++c) front[packed(ld, c, c) - 1] += diag(f.first + c - 1);
  ops += static_cast<double>(fe.count + f.ncol);
}

bool xdslef(const Work& w, FactorArgs& a, const StackedChild& c, const iword* rel, i64 ld, double* front) {
  ColumnReader rd(a.lunit4, c.addr + c.nd + tri(c.nd) + c.nr * c.nd, c.nr, c.nr, w.dbl(a.iobuf, a.dlen).data(),
                  a.dlen, a.st.file2_words);
  for (i64 j = 1; j <= c.nr; ++j) {
    const double* src = rd.column(j);
    if (src == nullptr) return false;
    const i64 cj = rel[j - 1];
    double* col = front + (cj - 1) * ld - cj * (cj - 1) / 2;  // col[i - 1] = entry (i, cj)
    xdslsa(c.nr - j + 1, src, rel + (j - 1), col);
  }
  return true;
}

namespace {

// The delayed columns of the children, top child first, into front
// columns ncol+1, ncol+2, ... of the opened front; their global columns
// appended to the front's permutation entries from list(ncol+1) on.
// Children on the stack file are read in runs of whole columns. False on
// a read failure.
bool xdsldc(const Work& w, FactorArgs& a, const Front& f, i64 topidx, double* front, iword* list, double& ops) {
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 N = f.nf;
  i64 c = f.ncol;  // last delayed column placed
  std::vector<double> head;
  for (i64 e = topidx; e > topidx - f.nch; --e) {
    const StackedChild ch = stacked_child(w, a, e);
    const i64 nr = ch.nr, nd = ch.nd;
    if (nd == 0) continue;
    const iword* idx = nullptr;
    const double* blk = nullptr;
    ColumnReader rd(a.lunit4, ch.addr + nd, nd + nr, nd, w.dbl(a.iobuf, a.dlen).data(), a.dlen, a.st.file2_words);
    if (ch.pos > 0) {
      const i64 at = a.sa + ch.pos - 1;
      idx = w.ints(at, nd).data();
      blk = w.dbl(at + nd, tri(nd + nr)).data();
    } else {
      head.resize(static_cast<std::size_t>(nd));
      if (!file_read(a.lunit4, ch.addr, nd, head.data())) return false;
      a.st.file2_words += nd;
      idx = reinterpret_cast<const iword*>(head.data());
    }
    for (i64 j = 1; j <= nd; ++j) {
      ++c;
      list[c - 1] = idx[j - 1];
      const double* col = blk ? blk + (j - 1) * (nd + nr) - (j - 1) * (j - 2) / 2 : rd.column(j);
      if (col == nullptr) return false;
      std::memcpy(front + packed(N, c, c) - 1, col, static_cast<std::size_t>(nd - j + 1) * 8);
      for (i64 i = 1; i <= nr; ++i) {
        i64 r = rel(ch.old + i - 1);
        if (r > f.ncol) r += f.nd;
        front[packed(N, std::max(c, r), std::min(c, r)) - 1] = col[nd - j + i];
      }
    }
    ops += static_cast<double>(tri(nd) + nd * nr);
  }
  return true;
}

}  // namespace

i32 hdslfs(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64& lowest) {
  const i64 ld = f.ncol + f.nrow;
  const IVec pos = w.ints(a.stkpos, a.maxdepth);
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 fs = a.sa + f.start - 1;          // region in work
  const i64 fp = fs + xisl2d(f.nf);           // packed front
  double* front = w.dbl(fp, tri(f.nf)).data();
  const i64 topidx = depth;
  lowest = 0;
  i64 filelow = 0;  // lowest stack-file address of a popped child
  i64 c = 0;
  // 1. Over the top child's update triangle: expand it in place.
  if (f.nch > 0 && pos(depth) > 0) {
    const StackedChild ch = stacked_child(w, a, depth);
    const i64 r1 = ch.nr;
    const i64 tend = fs + tri(r1);  // first word after the child's triangle
    double* zero_from = w.dbl(tend, fp + tri(f.nf) - tend).data();
    std::fill(zero_from, zero_from + (fp + tri(f.nf) - tend), 0.0);
    if (r1 > 0) xdslxp(r1, rel.data() + ch.old - 1, ld, w.dbl(fs, tri(r1)).data(), front);
    a.st.ops1 += static_cast<double>(tri(r1));
    lowest = ch.pos;
    --depth;
    c = 1;
  } else {
    std::fill(front, front + tri(f.nf), 0.0);
  }
  // 2. The other children added, from work or from the stack file.
  for (; c < f.nch; ++c) {
    const StackedChild ch = stacked_child(w, a, depth);
    if (ch.pos > 0) {
      const i64 at = a.sa + ch.pos - 1 + ch.nd + tri(ch.nd) + ch.nr * ch.nd;
      if (ch.nr > 0) xdslea(ch.nr, rel.data() + ch.old - 1, w.dbl(at, tri(ch.nr)).data(), ld, front);
      lowest = lowest == 0 ? ch.pos : std::min(lowest, ch.pos);
    } else {
      if (!xdslef(w, a, ch, rel.data() + ch.old - 1, ld, front)) return -1;
      filelow = filelow == 0 ? ch.addr : std::min(filelow, ch.addr);
    }
    a.st.ops1 += static_cast<double>(tri(ch.nr));
    --depth;
  }
  // 3-4. Matrix entries, diagonal, the own columns' permutation entries.
  FrontEntries fe;
  if (front_entries(w, a, f, fe) != 0) return -2;
  xdslao(w, a, f, fe, ld, front, a.st.ops1);
  iword* list = w.ints(a.fperm, a.n).data() + (f.np - 1);
  for (i64 k = 0; k < f.ncol; ++k) list[k] = static_cast<i32>(f.first + k);
  // 5. The delayed variables.
  if (f.nd > 0) {
    xdsla2(f.ncol, f.nd, f.nrow, front);
    if (!xdsldc(w, a, f, topidx, front, list, a.st.ops1)) return -1;
  }
  // The popped children's room on the stack file is free again.
  if (filelow > 0) a.wafil2_next = filelow;
  return 0;
}

}  // namespace zephsol::sparse
