// Block update of the front by an eliminated panel:
// F22 := F22 - L2 D L2^T on the packed lower triangle of the trailing rows
// and columns (xdslul for row-oriented panels, xdslum for column-oriented).
#include <algorithm>
#include <vector>

#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/kernels.h"

namespace zephsol::sparse {
namespace {

bool has_2x2(i32 npiv, const iword* pivblk) {
  return std::any_of(pivblk, pivblk + npiv, [](iword b) { return b == 2; });
}

// w(1..npiv) := D L2(r, 1..npiv)^T, the unscaled entries of panel row
// `row`: d_l l(row, l) for a 1x1 pivot, the 2x2 block times the pair for a
// 2x2 pivot.
template <bool Col>
void form_w(const PanelView<Col, const double>& p, i32 npiv, const iword* pivblk, bool two, i64 row,
            double* w) {
  const i64 cs = p.cs(), ds = p.rs() + p.cs();
  const double* d = p.at(1, 1);
  const double* l = p.at(row, 1);
  if (!two) {
    for (i64 k = 0; k < npiv; ++k) w[k] = d[k * ds] * l[k * cs];
    return;
  }
  for (i64 k = 1; k <= npiv;) {
    if (pivblk[k - 1] == 2) {
      const double d11 = p(k, k), d21 = p(k + 1, k), d22 = p(k + 1, k + 1);
      const double x1 = p(row, k), x2 = p(row, k + 1);
      w[k - 1] = d11 * x1 + d21 * x2;
      w[k] = d21 * x1 + d22 * x2;
      k += 2;
    } else {
      w[k - 1] = p(k, k) * p(row, k);
      ++k;
    }
  }
}

// Width of the column blocks of the in-memory update: wide enough that
// the multipliers below a block, which every product packs anew, are
// packed a few times per panel only.
constexpr i32 kWide = 256;
// One task of the wide update: rows r0..r0+h-1 of the column block
// b..b+t-1 (rows counted from the block's first column), the diagonal
// square with them when r0 = 0. The product W2 = L W^T of those rows goes
// to the task's scratch (the square in slices of nbu columns, each from
// its own diagonal down), then each column takes its part from its
// diagonal down.
void update_rows(const TrailProduct& u, i32 nbu, PackedColumns& cols, i32 b, i32 t, i32 r0, i32 h) {
  thread_local std::vector<double> scratch;
  if (scratch.size() < static_cast<std::size_t>(h) * t) scratch.resize(static_cast<std::size_t>(h) * t);
  double* w2 = scratch.data();
  const i32 top = r0 == 0 ? std::min(t, h) : 0, ldl = static_cast<i32>(u.ldl), ldw = static_cast<i32>(u.ldw);
  const double* w1 = u.wt + (b - 1);
  const double* l = u.l + (b - 1);
  for (i32 s = 0; s < top; s += nbu) {
    const i32 q = std::min(nbu, t - s);
    dgemm('N', 'T', top - s, q, u.k, 1.0, l + s, ldl, w1 + s, ldw, 0.0, w2 + s + static_cast<i64>(s) * h, h);
  }
  if (h > top) dgemm('N', 'T', h - top, t, u.k, 1.0, l + r0 + top, ldl, w1, ldw, 0.0, w2 + top, h);
  for (i32 u2 = 0; u2 < t; ++u2) {
    const i32 off = r0 == 0 ? u2 : 0;  // the square: from the column's diagonal
    daxpy(h - off, -1.0, w2 + off + static_cast<i64>(u2) * h, 1, cols.column(b + u2) + (r0 + off - u2), 1);
  }
}

// W1 = D L2^T for all trailing rows of a column-oriented panel at once
// (formed transposed, pivot by pivot down contiguous columns, in scratch
// of the calling thread), then the product of packed_update.
void wide_update(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
                 double* f22) {
  const PanelView<true, const double> p{panel, nrow, ncol};
  thread_local std::vector<double> scratch;
  const std::size_t need = static_cast<std::size_t>(ntrail) * npiv;
  if (scratch.size() < need) scratch.resize(need);
  double* wt = scratch.data();
  form_wt(p, pivblk - 1, 1, npiv, ncol + 1, ncol + ntrail, wt, ntrail);
  packed_update(TrailProduct{npiv, p.at(ncol + 1, 1), nrow, wt, ntrail}, ntrail, nbu, f22);
}

double flops(i32 npiv, i32 ntrail) {
  const double p = npiv, t = ntrail;
  return p * t * (t + 1) + p * t;
}

}  // namespace

// F22 -= L W^T on a packed triangle in blocks of up to kWide columns:
// per block of t columns and m = ntrail - b + 1 rows the products of
// update_rows, all rows in one task on one thread, in tasks of rows shared
// by the product team otherwise. Each entry is formed by the same product
// whatever the tasks, so the team's size does not change the result.
void packed_update(const TrailProduct& u, i32 ntrail, i32 nbu, double* f22) {
  if (nbu < 1) nbu = 1;
  const i32 wide = std::min(std::max(kWide, nbu), ntrail);
  PackedColumns cols(f22, ntrail);
  struct Task {
    i32 b, t, r0, h;
  };
  std::vector<Task> tasks;
  // Rows per task: all on one thread; shared, about two tasks per thread
  // of a block's rows, kTaskRows at most and a quarter of it at least (the
  // first task of a block takes its square whole).
  const i32 team = ProductTeam::size();
  const i32 rows = team > 1 ? std::clamp(ntrail / (2 * team), kTaskRows / 4, kTaskRows) : ntrail;
  for (i32 b = 1; b <= ntrail; b += wide) {
    const i32 t = std::min(wide, ntrail - b + 1), m = ntrail - b + 1;
    for (i32 r0 = 0, h = std::min(m, std::max(rows, t)); r0 < m; r0 += h, h = std::min(rows, m - r0))
      tasks.push_back({b, t, r0, h});
  }
  ProductTeam::run(static_cast<i32>(tasks.size()), [&](i32 k) {
    const Task& q = tasks[static_cast<std::size_t>(k)];
    update_rows(u, nbu, cols, q.b, q.t, q.r0, q.h);
  });
}

void dense_update(const TrailProduct& u, i32 rows, i32 wd, double* a, i64 lda) {
  constexpr i32 kSlice = 32;
  const i32 ldl = static_cast<i32>(u.ldl), ldw = static_cast<i32>(u.ldw), ld = static_cast<i32>(lda);
  const i32 below = rows - wd, chunk = ProductTeam::size() > 1 ? kTaskRows : std::max(below, 1);
  const i32 slices = (wd + kSlice - 1) / kSlice, tasks = slices + (below + chunk - 1) / chunk;
  ProductTeam::run(tasks, [&](i32 t) {
    if (t < slices) {
      // Columns s..s+q-1 from the diagonal down to the square's last row.
      const i32 s = t * kSlice, q = std::min(kSlice, wd - s);
      double* c = a + s + static_cast<i64>(s) * lda;
      dgemm('N', 'T', wd - s, q, u.k, -1.0, u.l + s, ldl, u.wt + s, ldw, 1.0, c, ld);
      for (i32 j = 1; j < q; ++j) std::fill(c + static_cast<i64>(j) * lda, c + static_cast<i64>(j) * lda + j, 0.0);
      return;
    }
    const i32 r = wd + (t - slices) * chunk, h = std::min(chunk, rows - r);
    dgemm('N', 'T', h, wd, u.k, -1.0, u.l + r, ldl, u.wt, ldw, 1.0, a + r, ld);
  });
}

i32 xdslul_on(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail, TrailColumns& cols,
              double* w) {
  const PanelView<false, const double> p{panel, nrow, ncol};
  const bool two = has_2x2(npiv, pivblk);
  auto lrow = [&](i64 r) { return p.at(ncol + r, 1); };  // multipliers of trailing row r, contiguous
  for (i32 g = 1; g <= ntrail; g += 3) {
    const i32 gc = std::min<i32>(3, ntrail - g + 1);
    if (const i32 rc = cols.prepare(g, g + gc - 1); rc != 0) return rc;
    double* col[3] = {cols.column(g), gc > 1 ? cols.column(g + 1) : nullptr, gc > 2 ? cols.column(g + 2) : nullptr};
    auto f = [&](i64 r, i64 m) -> double& { return col[m - g][r - m]; };
    for (i64 c = 0; c < gc; ++c) form_w(p, npiv, pivblk, two, ncol + g + c, w + c * npiv);
    const double* w0 = w;
    const double* w1 = w + npiv;
    const double* w2 = w + 2 * npiv;
    f(g, g) -= ddot(npiv, w0, 1, lrow(g), 1);
    if (gc == 1) break;
    f(g + 1, g) -= ddot(npiv, w0, 1, lrow(g + 1), 1);
    f(g + 1, g + 1) -= ddot(npiv, w1, 1, lrow(g + 1), 1);
    if (gc == 2) break;
    // Rows from the third column's diagonal down, three at a time: nine
    // sums in one pass over the pivots.
    i64 r = g + 2;
    for (; r + 2 <= ntrail; r += 3) {
      const double* l0 = lrow(r);
      const double* l1 = lrow(r + 1);
      const double* l2 = lrow(r + 2);
      double s[3][3] = {};
      for (i64 k = 0; k < npiv; ++k) {
        const double a0 = w0[k], a1 = w1[k], a2 = w2[k];
        s[0][0] += a0 * l0[k], s[0][1] += a0 * l1[k], s[0][2] += a0 * l2[k];
        s[1][0] += a1 * l0[k], s[1][1] += a1 * l1[k], s[1][2] += a1 * l2[k];
        s[2][0] += a2 * l0[k], s[2][1] += a2 * l1[k], s[2][2] += a2 * l2[k];
      }
      for (int c = 0; c < 3; ++c)
        for (int q = 0; q < 3; ++q) f(r + q, g + c) -= s[c][q];
    }
    for (; r <= ntrail; ++r)
      for (int c = 0; c < 3; ++c) f(r, g + c) -= ddot(npiv, w + c * npiv, 1, lrow(r), 1);
  }
  return 0;
}

i32 trail_on(const TrailProduct& u, i32 ntrail, i32 nbu, TrailColumns& cols, double* w2) {
  if (nbu < 1) nbu = 1;  // a width below 1 would never advance the blocks
  const i32 ldl = static_cast<i32>(u.ldl), ldw = static_cast<i32>(u.ldw);
  for (i32 b = 1; b <= ntrail; b += nbu) {
    const i32 t = std::min(nbu, ntrail - b + 1), m = ntrail - b + 1;
    // W2 = L(rows b..ntrail) W(block)^T, the whole m x t rectangle.
    dgemm('N', 'T', m, t, u.k, 1.0, u.l + (b - 1), ldl, u.wt + (b - 1), ldw, 0.0, w2, ntrail);
    // Each column takes its own product, so a window of one column serves.
    for (i32 c = 0; c < t; ++c) {
      if (const i32 rc = cols.prepare(b + c, b + c); rc != 0) return rc;
      daxpy(m - c, -1.0, w2 + c + static_cast<i64>(c) * ntrail, 1, cols.column(b + c), 1);
    }
  }
  return 0;
}

i32 xdslum_on(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
              TrailColumns& cols, double*, double* w2) {
  const PanelView<true, const double> p{panel, nrow, ncol};
  thread_local std::vector<double> scratch;
  const std::size_t need = static_cast<std::size_t>(ntrail) * npiv;
  if (scratch.size() < need) scratch.resize(need);
  form_wt(p, pivblk - 1, 1, npiv, ncol + 1, ncol + ntrail, scratch.data(), ntrail);
  return trail_on(TrailProduct{npiv, p.at(ncol + 1, 1), nrow, scratch.data(), ntrail}, ntrail, nbu, cols, w2);
}

void xdslul(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail, double* f22,
            double* w, double& ops1) {
  ops1 += flops(npiv, ntrail);
  PackedColumns cols(f22, ntrail);
  xdslul_on(npiv, ncol, nrow, panel, pivblk, ntrail, cols, w);
}

void xdslum(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
            double* f22, double* w1, double* w2, double& ops1) {
  ops1 += flops(npiv, ntrail);
  if (nbu < 1) nbu = 1;
  if (ntrail <= nbu) {
    PackedColumns cols(f22, ntrail);
    xdslum_on(npiv, ncol, nrow, nbu, panel, pivblk, ntrail, cols, w1, w2);
    return;
  }
  wide_update(npiv, ncol, nrow, nbu, panel, pivblk, ntrail, f22);
}

double update_flops(i32 npiv, i32 ntrail) { return flops(npiv, ntrail); }

}  // namespace zephsol::sparse
