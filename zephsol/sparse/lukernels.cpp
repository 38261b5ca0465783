// Dense kernels of the LU front elimination: the panel kernels without and
// with threshold pivoting and their step routines, and the block update of
// the rest of the front by a panel.
//
// After a kernel, for each pivot j taken: L(j, j) = d_j, L(i, j) =
// a(i, j)/d_j and U(i, j) = a(j, i)/d_j below it; the columns not taken
// are updated by all pivots taken, in both panels.
#include <algorithm>
#include <cmath>
#include <utility>

#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/lu.h"

namespace zephsol::sparse {
namespace {

// Entry (i, j) of an m-row column-major panel.
struct Cols {
  double* a;
  i64 m;
  double& operator()(i64 i, i64 j) const { return a[(j - 1) * m + (i - 1)]; }
  double* at(i64 i, i64 j) const { return a + (j - 1) * m + (i - 1); }
};

}  // namespace

double xdslvx(i32 n, const double* x, i32 incx) {
  if (n < 1) return 0.0;
  const i64 s = std::abs(incx);
  double big = 0.0;
  for (i64 i = 0; i < n; ++i) big = std::max(big, std::abs(x[i * s]));
  return big;
}

void xdslpv(double* pert, double* negrec, i32 n, i32 m, double* lp, double* up, iword* pivblk, double& ops1,
            double& ops2, i32& ier) {
  ier = 0;
  const double dn = n, dm = m;
  ops1 += 2.0 * (dn * (dn + 1) * (2 * dn + 1) / 6.0 + dn * dn * (dm - dn));
  ops2 += 4.0 * (dn * (dn + 1) / 2.0 + dn * (dm - dn)) + dn;
  const Cols L{lp, m}, U{up, m};
  i32 inertia[3] = {0, 0, 0};  // the LU path counts no inertia
  for (i32 i = 1; i <= n; ++i) {
    xdslpt(i, L(i, i), m - i, L.at(i + 1, i), 1, pert, negrec, inertia, ier);
    if (ier != 0) return;
    pivblk[i - 1] = 1;
    const double r = 1.0 / L(i, i);
    const i32 below = m - i;
    dscal(below, r, U.at(i + 1, i), 1);
    for (i32 j = i + 1; j <= n; ++j) {
      const double lji = L(j, i), uji = U(j, i);
      L(j, j) -= lji * uji;
      daxpy(m - j, -uji, L.at(j + 1, i), 1, L.at(j + 1, j), 1);
      daxpy(m - j, -lji, U.at(j + 1, i), 1, U.at(j + 1, j), 1);
    }
    dscal(below, r, L.at(i + 1, i), 1);
  }
}

void xdslxu(i32 k, i32 c, const double* wv, double* lp, double* up, i32 m, i32 /*n*/) {
  const Cols L{lp, m}, U{up, m};
  const i32 p = std::min(k, c), q = std::max(k, c);
  const double* W = wv - 1;  // W[i], i = 1..m
  if (p != q) {
    // Rows p and q of the pivoted columns.
    for (i32 j = 1; j < p; ++j) {
      std::swap(L(p, j), L(q, j));
      std::swap(U(p, j), U(q, j));
    }
    // Columns between: row q of L takes row p of the upper part, row q of U
    // takes the old column p, and column p of U takes the old row q of L.
    for (i32 j = p + 1; j < q; ++j) {
      U(q, j) = L(j, p);
      std::swap(L(q, j), U(j, p));
    }
    U(q, p) = L(q, p);
    for (i32 i = q + 1; i <= m; ++i) std::swap(U(i, p), U(i, q));
    // The old column p becomes column q.
    L(q, q) = L(p, p);
    for (i32 i = q + 1; i <= m; ++i) L(i, q) = L(i, p);
  }
  // The candidate's column, its entries p and q exchanged, as column p.
  for (i32 i = p; i <= m; ++i) L(i, p) = W[i];
  if (p != q) std::swap(L(p, p), L(q, p));
}

void xdslr2(i32 jb, i32 je, i32 m, i32 n, double* lp, double* up) {
  const Cols L{lp, m}, U{up, m};
  for (i32 j1 = jb; j1 <= je; j1 += 2) {
    const bool pair = j1 + 1 <= je;
    const double d1 = L(j1, j1), d2 = pair ? L(j1 + 1, j1 + 1) : 0.0;
    for (i32 c = je + 1; c <= n; ++c) {
      // a(i, c) -= l(i, j) d_j u(j, c); a(c, i) -= l(c, j) d_j u(j, i).
      const double a1 = d1 * U(c, j1), b1 = d1 * L(c, j1);
      const double a2 = pair ? d2 * U(c, j1 + 1) : 0.0, b2 = pair ? d2 * L(c, j1 + 1) : 0.0;
      double* lc = L.at(c, c);
      double* uc = U.at(c, c);
      const double* l1 = L.at(c, j1);
      const double* u1 = U.at(c, j1);
      const i64 len = m - c + 1;
      if (pair) {
        const double* l2 = L.at(c, j1 + 1);
        const double* u2 = U.at(c, j1 + 1);
        for (i64 i = 0; i < len; ++i) lc[i] -= l1[i] * a1 + l2[i] * a2;
        for (i64 i = 1; i < len; ++i) uc[i] -= u1[i] * b1 + u2[i] * b2;
      } else {
        for (i64 i = 0; i < len; ++i) lc[i] -= l1[i] * a1;
        for (i64 i = 1; i < len; ++i) uc[i] -= u1[i] * b1;
      }
    }
  }
}

void xdslpu(double u, double* pert, bool root, i32 m, i32 n, i32 koff, iword* rowidx, double* lp, double* up,
            iword* pivblk, double* wv, iword* ipiv, i32& nelim, double& ops1, double& ops2, i32& ier) {
  ier = 0;
  const Cols L{lp, m}, U{up, m};
  double* W = wv - 1;
  i32 k = 1, jb = 1, je = 0;
  bool done = false;
  // W(k..m) := the full remaining column of candidate c, brought up to
  // date by the pending pivots.
  auto build = [&](i32 c) {
    if (c > k) dcopy(c - k, U.at(c, k), m, W + k, 1);
    dcopy(m - c + 1, L.at(c, c), 1, W + c, 1);
    for (i32 j = jb; j <= je; ++j) daxpy(m - k + 1, -(U(c, j) * L(j, j)), L.at(k, j), 1, W + k, 1);
  };
  for (;;) {
    // 1. Search: the first candidate whose diagonal dominates its column.
    double amax = 1.0;
    i32 pick = 0;
    for (i32 c = k; c <= n && pick == 0; ++c) {
      build(c);
      const double colmax = std::max(xdslvx(c - k, W + k, 1), xdslvx(m - c, W + c + 1, 1));
      amax = std::max(amax, colmax);
      const double d = std::abs(W[c]);
      if (d > 0.0 && u * colmax < d) pick = c;
    }
    if (pick == 0) {
      if (!root || pert[0] == 0.0) {
        // 2. The columns k..n stay for the driver.
        done = true;
        nelim = k - 1;
      } else {
        // At a root: perturb the remaining diagonal and take column k.
        const double p = amax * pert[0];
        for (i32 i = k; i <= n; ++i) L(i, i) += L(i, i) >= 0.0 ? p : -p;
        build(k);
        if (pert[1] == 0.0) pert[2] = k;
        pert[1] += n - k + 1;
        pert[3] = pert[4] = pert[0];
        pick = k;
      }
    }
    if (pick != 0) {
      // 3. The pivot at position k.
      xdslxu(k, pick, W + 1, lp, up, m, n);
      std::swap(rowidx[k - 1], rowidx[pick - 1]);
      ipiv[k - 1] = koff + pick;
      pivblk[k - 1] = 1;
      for (i32 j = jb; j <= je; ++j) daxpy(m - k, -(L(k, j) * L(j, j)), U.at(k + 1, j), 1, U.at(k + 1, k), 1);
      const double r = 1.0 / L(k, k);
      dscal(m - k, r, L.at(k + 1, k), 1);
      dscal(m - k, r, U.at(k + 1, k), 1);
      const double mk = m - k + 1, nk = n - k + 1;
      ops2 += 4.0 * (m - k) + 1.0;
      ops1 += 2.0 * ((2.0 * mk - nk - 2.0) * (n - k) + mk);
      je = k;
      if (k == n) {
        done = true;
        nelim = n;
      }
    }
    // 4. The remaining columns, two pivots at a time.
    if (je - jb + 1 == 2 || (done && je - jb + 1 >= 1)) {
      xdslr2(jb, je, m, n, lp, up);
      jb = je + 1;
    }
    if (done) return;
    ++k;
  }
}

i32 xdslbu_on(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* self, const double* other, i32 r,
              TrailColumns& cols, double* w1, double* w2) {
  if (cb < 1) cb = 1;
  for (i32 j0 = 1; j0 <= r; j0 += cb) {
    const i32 w = std::min(cb, r - j0 + 1), h = r - j0 + 1;
    for (i32 t = 0; t < w; ++t)
      for (i32 i = 1; i <= nelim; ++i)
        w1[t * static_cast<i64>(nelim) + i - 1] =
            lp[static_cast<i64>(i - 1) * m + i - 1] * other[static_cast<i64>(i - 1) * m + n + j0 + t - 1];
    dgemm('N', 'N', h, w, nelim, 1.0, self + (n + j0 - 1), m, w1, nelim, 0.0, w2, r);
    if (const i32 rc = cols.prepare(j0, j0 + w - 1); rc != 0) return rc;
    for (i32 t = 0; t < w; ++t) daxpy(h - t, -1.0, w2 + t + static_cast<i64>(t) * r, 1, cols.column(j0 + t), 1);
  }
  return 0;
}

double lu_update_flops(i32 nelim, i32 r) {
  const double dn = nelim, dr = r;
  return 2.0 * (dn * dr + dn * dr * (dr + 1));
}

void xdslbu(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* up, i32 r, double* lt, double* ut,
            double* w1, double* w2, double& ops1) {
  ops1 += lu_update_flops(nelim, r);
  PackedColumns lc(lt, r), uc(ut, r);
  xdslbu_on(nelim, n, m, cb, lp, lp, up, r, lc, w1, w2);
  xdslbu_on(nelim, n, m, cb, lp, up, lp, r, uc, w1, w2);
}

}  // namespace zephsol::sparse
