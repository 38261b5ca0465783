// Assembly of an LU front in work (hdslus): the top child's update matrix
// expanded in place, U triangle first, the other children added, the
// input-matrix entries and diagonal, then the delayed variables opened in
// both triangles and the children's delayed columns moved in (xdslyd).
#include <algorithm>
#include <cstring>

#include "zephsol/sparse/lu.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

// The delayed columns of the children, top child first, into front
// columns ncol+1, ncol+2, ... of both triangles of the opened front (order
// nf, U triangle T(nf) words after the L triangle); their equations
// appended to the front's permutation entries from list(ncol+1) on. An
// entry of a delayed column in one of the front's own rows lies above the
// diagonal there: it changes triangle.
void xdslyd(const Work& w, const FactorArgs& a, const Front& f, i64 topidx, double* lt, iword* list,
            double& ops) {
  const IVec pos = w.ints(a.stkpos, a.maxdepth), dir = w.ints(a.stkdir, 4 * a.maxdepth);
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 N = f.nf;
  double* ut = lt + tri(N);
  auto at = [N](double* t, i64 i, i64 j) -> double& { return t[packed(N, i, j) - 1]; };
  i64 c = f.ncol;  // last delayed column placed
  for (i64 e = topidx; e > topidx - f.nch; --e) {
    const i64 nr = dir(4 * e - 3), old = dir(4 * e - 2), nd = dir(4 * e - 1);
    if (nd == 0) continue;
    const i64 q = a.sa + pos(e) - 1, u = nd + nr;
    const IVec head = w.ints(q, nd);
    const double* lsrc = w.dbl(q + nd, 2 * tri(u)).data();
    const double* usrc = lsrc + tri(u);
    for (i64 j = 1; j <= nd; ++j) {
      ++c;
      list[c - 1] = head(j);
      const i64 off = (j - 1) * u - (j - 1) * (j - 2) / 2;
      const double* lc = lsrc + off;
      const double* uc = usrc + off;
      std::memcpy(&at(lt, c, c), lc, static_cast<std::size_t>(nd - j + 1) * 8);
      std::memcpy(&at(ut, c, c), uc, static_cast<std::size_t>(nd - j + 1) * 8);
      for (i64 i = 1; i <= nr; ++i) {
        i64 r = rel(old + i - 1);
        if (r > f.ncol) r += f.nd;
        const double lv = lc[nd - j + i], uv = uc[nd - j + i];  // a(r, c) and a(c, r)
        if (r > c) {
          at(lt, r, c) = lv;
          at(ut, r, c) = uv;
        } else {
          at(ut, c, r) = lv;
          at(lt, c, r) = uv;
        }
      }
    }
    ops += static_cast<double>(2 * (tri(nd) + nd * nr));
  }
}

}  // namespace

i32 hdslus(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64& lowest) {
  const i64 nown = f.ncol + f.nrow, T1 = tri(nown);
  const IVec pos = w.ints(a.stkpos, a.maxdepth), dir = w.ints(a.stkdir, 4 * a.maxdepth);
  const IVec rel = w.ints(a.rel, std::max<i64>(w.ints(a.ptr, a.nsuper + 1)(a.nsuper + 1), 1));
  const i64 t = a.sa + f.start - 1 + xisl2d(f.nf);  // the L triangle in work
  double* lt = w.dbl(t, 2 * tri(f.nf)).data();
  const i64 topidx = depth;
  lowest = 0;
  i64 c = 0;
  // Where a child's triangles of its index rows lie (work positions).
  auto rows_l = [&](i64 e) {
    const i64 nr = dir(4 * e - 3), nd = dir(4 * e - 1);
    return a.sa + pos(e) - 1 + nd + tri(nd) + nr * nd;
  };
  auto rows_u = [&](i64 e) {
    const i64 nr = dir(4 * e - 3), nd = dir(4 * e - 1);
    return rows_l(e) + tri(nr) + tri(nd) + nr * nd;
  };
  // 1. Over the top child: its triangles expanded in place, U first.
  if (f.nch > 0 && pos(depth) > 0) {
    const i64 r1 = dir(4 * depth - 3), old = dir(4 * depth - 2);
    const i64 tend = rows_u(depth) + tri(r1);
    if (tend < t + 2 * T1) std::fill(w.dbl(tend, t + 2 * T1 - tend).data(), lt + 2 * T1, 0.0);
    if (r1 > 0) {
      const iword* rl = rel.data() + old - 1;
      xdslxp(r1, rl, nown, w.dbl(rows_u(depth), tri(r1)).data(), lt + T1);
      xdslxp(r1, rl, nown, w.dbl(rows_l(depth), tri(r1)).data(), lt);
    }
    a.st.ops1 += static_cast<double>(2 * tri(r1));
    lowest = pos(depth);
    --depth;
    c = 1;
  } else {
    std::fill(lt, lt + 2 * T1, 0.0);
  }
  // 2. The other children added.
  for (; c < f.nch; ++c) {
    const i64 r1 = dir(4 * depth - 3), old = dir(4 * depth - 2);
    if (r1 > 0) {
      const iword* rl = rel.data() + old - 1;
      xdslea(r1, rl, w.dbl(rows_l(depth), tri(r1)).data(), nown, lt);
      xdslea(r1, rl, w.dbl(rows_u(depth), tri(r1)).data(), nown, lt + T1);
    }
    a.st.ops1 += static_cast<double>(2 * tri(r1));
    lowest = lowest == 0 ? pos(depth) : std::min<i64>(lowest, pos(depth));
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
    xdslyd(w, a, f, topidx, lt, list, a.st.ops1);
  }
  return 0;
}

}  // namespace zephsol::sparse
