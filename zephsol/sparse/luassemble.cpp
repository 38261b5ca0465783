// Assembly of an LU front in work (hdslus): the top child's update matrix
// expanded in place, U triangle first, the other children added, the
// input-matrix entries and diagonal, then the delayed variables opened in
// both triangles and the children's delayed columns moved in (xdslyd).
#include <algorithm>
#include <cstring>
#include <vector>

#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// The delayed columns of the children, top child first, into front
// columns ncol+1, ncol+2, ... of both triangles of the opened front (order
// nf, U triangle T(nf) words after the L triangle); their equations
// appended to the front's permutation entries from list(ncol+1) on. An
// entry of a delayed column in one of the front's own rows lies above the
// diagonal there: it changes triangle. Children on the stack file are read
// in runs of whole columns, the L part's, then the U part's. False on a
// read failure.
bool xdslyd(const Work& w, FactorArgs& a, const Front& f, i64 topidx, double* lt, iword* list, double& ops) {
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 N = f.nf;
  double* ut = lt + tri(N);
  auto at = [N](double* t, i64 i, i64 j) -> double& { return t[packed(N, i, j) - 1]; };
  std::vector<double> head;
  i64 c0 = f.ncol;  // the last delayed column placed before this child
  for (i64 e = topidx; e > topidx - f.nch; --e) {
    const StackedChild ch = stacked_child(w, a, e);
    const i64 nr = ch.nr, nd = ch.nd, u = nd + nr;
    if (nd == 0) continue;
    const iword* idx = nullptr;
    if (ch.pos > 0) {
      idx = w.ints(a.sa + ch.pos - 1, nd).data();
    } else {
      head.resize(static_cast<std::size_t>(nd));
      if (!file_read(a.lunit4, ch.addr, nd, head.data())) return false;
      a.st.file2_words += nd;
      idx = reinterpret_cast<const iword*>(head.data());
    }
    for (i64 j = 1; j <= nd; ++j) list[c0 + j - 1] = idx[j - 1];
    // side 0: the L part (a(r, c) of the child's column), 1: the U part
    // (a(c, r)); each lands in its own triangle below the diagonal and in
    // the other one above it.
    for (int side = 0; side < 2; ++side) {
      double* same = side == 0 ? lt : ut;
      double* other = side == 0 ? ut : lt;
      const i64 first = side * tri(u);  // the part's first word in the entry
      const double* blk = ch.pos > 0 ? w.dbl(a.sa + ch.pos - 1 + nd + first, tri(u)).data() : nullptr;
      ColumnReader rd(a.lunit4, ch.addr + nd + first, u, nd, w.dbl(a.iobuf, a.dlen).data(), a.dlen,
                      a.st.file2_words);
      for (i64 j = 1; j <= nd; ++j) {
        const i64 c = c0 + j;
        const double* col = blk ? blk + (j - 1) * u - (j - 1) * (j - 2) / 2 : rd.column(j);
        if (col == nullptr) return false;
        std::memcpy(&at(same, c, c), col, static_cast<std::size_t>(nd - j + 1) * 8);
        for (i64 i = 1; i <= nr; ++i) {
          i64 r = rel(ch.old + i - 1);
          if (r > f.ncol) r += f.nd;
          if (r > c) at(same, r, c) = col[nd - j + i];
          else at(other, c, r) = col[nd - j + i];
        }
      }
    }
    c0 += nd;
    ops += static_cast<double>(2 * (tri(nd) + nd * nr));
  }
  return true;
}

}  // namespace

i32 hdslus(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64& lowest) {
  const i64 nown = f.ncol + f.nrow, T1 = tri(nown);
  const IVec pos = w.ints(a.stkpos, a.maxdepth);
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 t = a.sa + f.start - 1 + xisl2d(f.nf);  // the L triangle in work
  double* lt = w.dbl(t, 2 * tri(f.nf)).data();
  const i64 topidx = depth;
  lowest = 0;
  i64 filelow = 0;  // lowest stack-file address of a popped child
  i64 c = 0;
  // Where a child's triangles of its index rows lie (work positions).
  auto rows_l = [&](const StackedChild& ch) { return a.sa + ch.pos - 1 + ch.nd + tri(ch.nd) + ch.nr * ch.nd; };
  auto rows_u = [&](const StackedChild& ch) { return rows_l(ch) + tri(ch.nr) + tri(ch.nd) + ch.nr * ch.nd; };
  // 1. Over the top child: its triangles expanded in place, U first.
  if (f.nch > 0 && pos(depth) > 0) {
    const StackedChild ch = stacked_child(w, a, depth);
    const i64 r1 = ch.nr;
    const i64 tend = rows_u(ch) + tri(r1);
    if (tend < t + 2 * T1) std::fill(w.dbl(tend, t + 2 * T1 - tend).data(), lt + 2 * T1, 0.0);
    if (r1 > 0) {
      const iword* rl = rel.data() + ch.old - 1;
      xdslxp(r1, rl, nown, w.dbl(rows_u(ch), tri(r1)).data(), lt + T1);
      xdslxp(r1, rl, nown, w.dbl(rows_l(ch), tri(r1)).data(), lt);
    }
    a.st.ops1 += static_cast<double>(2 * tri(r1));
    lowest = ch.pos;
    --depth;
    c = 1;
  } else {
    std::fill(lt, lt + 2 * T1, 0.0);
  }
  // 2. The other children added, from work or from the stack file.
  for (; c < f.nch; ++c) {
    const StackedChild ch = stacked_child(w, a, depth);
    const iword* rl = rel.data() + ch.old - 1;
    if (ch.pos > 0) {
      if (ch.nr > 0) {
        xdslea(ch.nr, rl, w.dbl(rows_l(ch), tri(ch.nr)).data(), nown, lt);
        xdslea(ch.nr, rl, w.dbl(rows_u(ch), tri(ch.nr)).data(), nown, lt + T1);
      }
      lowest = lowest == 0 ? ch.pos : std::min(lowest, ch.pos);
    } else {
      // The U part lies one update triangle further on the file.
      StackedChild upart = ch;
      upart.addr += tri(ch.nd + ch.nr);
      if (!xdslef(w, a, ch, rl, nown, lt) || !xdslef(w, a, upart, rl, nown, lt + T1)) return -1;
      filelow = filelow == 0 ? ch.addr : std::min(filelow, ch.addr);
    }
    a.st.ops1 += static_cast<double>(2 * tri(ch.nr));
    --depth;
  }
  // 3-4. Matrix entries over both triangles, the diagonal, the own
  // columns' permutation entries.
  FrontEntries fe;
  if (front_entries(w, a, f, fe) != 0) return -2;
  xdslao(w, a, f, fe, nown, lt, a.st.ops1);
  iword* list = w.ints(a.fperm, a.n).data() + (f.np - 1);
  for (i64 k = 0; k < f.ncol; ++k) list[k] = static_cast<i32>(f.first + k);
  // 5. The delayed variables.
  if (f.nd > 0) {
    std::memmove(lt + tri(f.nf), lt + T1, static_cast<std::size_t>(T1) * 8);
    xdsla2(f.ncol, f.nd, f.nrow, lt);
    xdsla2(f.ncol, f.nd, f.nrow, lt + tri(f.nf));
    if (!xdslyd(w, a, f, topidx, lt, list, a.st.ops1)) return -1;
  }
  // The popped children's room on the stack file is free again.
  if (filelow > 0) a.wafil2_next = filelow;
  return 0;
}

}  // namespace zephsol::sparse
