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
// The rectangle below a block's diagonal square is shared among the
// product team at this many rows per thread or more (narrower shares leave
// the threads waiting on each other).
constexpr i32 kRowsPerThread = 128;

// F22 -= L2 D L2^T on a packed triangle in blocks of up to kWide columns.
// Per block of t columns and m = ntrail - b + 1 rows: W1 = D L2(b..b+t-1)^T,
// formed transposed (pivot by pivot, down contiguous columns);
// the t x t diagonal square of W2 = L2(b..ntrail) W1 in slices of nbu
// columns, each from its own diagonal down, and the rectangle below the
// square in one product; then each column takes its part of W2 from its
// diagonal down. W1 and W2 live in scratch of this thread that grows to the
// largest front met.
void wide_update(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
                 double* f22) {
  const PanelView<true, const double> p{panel, nrow, ncol};
  const i32 wide = std::min(std::max(kWide, nbu), ntrail);
  thread_local std::vector<double> scratch;
  const std::size_t need = static_cast<std::size_t>(wide) * (static_cast<std::size_t>(npiv) + ntrail);
  if (scratch.size() < need) scratch.resize(need);
  double* w1 = scratch.data();
  double* w2 = w1 + static_cast<std::size_t>(wide) * npiv;
  PackedColumns cols(f22, ntrail);
  for (i32 b = 1; b <= ntrail; b += wide) {
    const i32 t = std::min(wide, ntrail - b + 1), m = ntrail - b + 1;
    form_wt(p, pivblk - 1, 1, npiv, ncol + b, ncol + b + t - 1, w1, t);
    for (i32 s = 0; s < t; s += nbu) {
      const i32 q = std::min(nbu, t - s);
      dgemm('N', 'T', t - s, q, npiv, 1.0, p.at(ncol + b + s, 1), nrow, w1 + s, t, 0.0, w2 + s + static_cast<i64>(s) * m,
            m);
    }
    if (m > t) {
      blas_threads(std::clamp((m - t) / kRowsPerThread, 1, ProductTeam::size()));
      dgemm('N', 'T', m - t, t, npiv, 1.0, p.at(ncol + b + t, 1), nrow, w1, t, 0.0, w2 + t, m);
      blas_threads(1);
    }
    for (i32 u = 0; u < t; ++u) daxpy(m - u, -1.0, w2 + u + static_cast<i64>(u) * m, 1, cols.column(b + u), 1);
  }
}

double flops(i32 npiv, i32 ntrail) {
  const double p = npiv, t = ntrail;
  return p * t * (t + 1) + p * t;
}

}  // namespace

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

i32 xdslum_on(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
              TrailColumns& cols, double* w1, double* w2) {
  if (nbu < 1) nbu = 1;  // a width below 1 would never advance the blocks
  const PanelView<true, const double> p{panel, nrow, ncol};
  const bool two = has_2x2(npiv, pivblk);
  for (i32 b = 1; b <= ntrail; b += nbu) {
    const i32 t = std::min(nbu, ntrail - b + 1), m = ntrail - b + 1;
    for (i32 u = 0; u < t; ++u) form_w(p, npiv, pivblk, two, ncol + b + u, w1 + static_cast<i64>(u) * npiv);
    // W2 = L2(rows b..ntrail) W1, the whole m x t rectangle.
    dgemm('N', 'N', m, t, npiv, 1.0, p.at(ncol + b, 1), nrow, w1, npiv, 0.0, w2, ntrail);
    // Each column takes its own product, so a window of one column serves.
    for (i32 u = 0; u < t; ++u) {
      if (const i32 rc = cols.prepare(b + u, b + u); rc != 0) return rc;
      daxpy(m - u, -1.0, w2 + u + static_cast<i64>(u) * ntrail, 1, cols.column(b + u), 1);
    }
  }
  return 0;
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
