// Panel kernels of the symmetric front elimination: threshold pivoting with
// 1x1 and 2x2 pivots (xdslpl, xdslpm), their interchange and elimination
// steps, and the kernels without pivoting with their pivot test (xdslnl,
// xdslnm, xdslpt). One body per family serves both orientations.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/kernels.h"

namespace zephsol::sparse {
namespace {

// Rows n of G later columns c0..c(G-1) from a common first row:
// c(i) -= sum_k l_k(i) w(k, c), the terms subtracted one after the other.
// Col: unit stride down a column; otherwise stride rs.
template <bool Col, int K, int G>
__attribute__((target_clones("avx2", "default"))) void rows_update(i64 n, i64 rs, const double* __restrict l0, const double* __restrict l1,
                 const double* __restrict l2, double* __restrict c0, double* __restrict c1,
                 double* __restrict c2, const double (&w)[3][3]) {
  const i64 s = Col ? 1 : rs;
  for (i64 i = 0; i < n; ++i) {
    const i64 o = i * s;
    const double a0 = l0[o];
    const double a1 = K > 1 ? l1[o] : 0.0;
    const double a2 = K > 2 ? l2[o] : 0.0;
    double v0 = c0[o] - a0 * w[0][0];
    if constexpr (K > 1) v0 -= a1 * w[1][0];
    if constexpr (K > 2) v0 -= a2 * w[2][0];
    c0[o] = v0;
    if constexpr (G > 1) {
      double v1 = c1[o] - a0 * w[0][1];
      if constexpr (K > 1) v1 -= a1 * w[1][1];
      if constexpr (K > 2) v1 -= a2 * w[2][1];
      c1[o] = v1;
    }
    if constexpr (G > 2) {
      double v2 = c2[o] - a0 * w[0][2];
      if constexpr (K > 1) v2 -= a1 * w[1][2];
      if constexpr (K > 2) v2 -= a2 * w[2][2];
      c2[o] = v2;
    }
  }
}

// Update of the later panel columns m0..last, rows from each column's
// diagonal down, by the K eliminated columns j0.. with pivot block d:
// a(i, m) -= sum_k l(i, j0+k) w_k(m), w(m) = d [l(m, j0) ...]^T (the
// unscaled entries of row m), G columns per pass.
template <bool Col, int K, int G>
void rank_update(const PanelView<Col>& p, i64 j0, const double (&d)[K][K], i64 m0, i64 last) {
  const i64 nrow = p.nrow, ncol = last, rs = p.rs();
  const double* l[3] = {p.at(1, j0), K > 1 ? p.at(1, j0 + 1) : nullptr, K > 2 ? p.at(1, j0 + 2) : nullptr};
  i64 m = m0;
  for (; m + G - 1 <= ncol; m += G) {
    double w[3][3] = {};
    for (int c = 0; c < G; ++c)
      for (int k = 0; k < K; ++k) {
        double v = 0.0;
        for (int q = 0; q < K; ++q) v += d[k][q] * p(m + c, j0 + q);
        w[k][c] = v;
      }
    // Corner above the last column's diagonal, then the full rows.
    for (i64 i = m; i < m + G - 1; ++i)
      for (i64 c = 0; c <= i - m; ++c) {
        double v = p(i, m + c);
        for (int k = 0; k < K; ++k) v -= p(i, j0 + k) * w[k][c];
        p(i, m + c) = v;
      }
    const i64 r0 = (m + G - 2) * rs;
    double* c[3] = {p.at(1, m), p.at(1, std::min(m + 1, ncol)), p.at(1, std::min(m + 2, ncol))};
    rows_update<Col, K, G>(nrow - (m + G - 1) + 1, rs, l[0] + r0, K > 1 ? l[1] + r0 : nullptr,
                           K > 2 ? l[2] + r0 : nullptr, c[0] + r0, c[1] + r0, c[2] + r0, w);
  }
  if constexpr (G > 1)
    if (m <= ncol) rank_update<Col, K, 1>(p, j0, d, m, last);  // the last one or two columns
}

template <bool Col>
void interchange(i32 i, i32 j, double* panel, i32 nrow, i32 ncol) {
  if (i == j) return;
  if (i > j) std::swap(i, j);
  const PanelView<Col> p{panel, nrow, ncol};
  const i32 rs = static_cast<i32>(p.rs()), cs = static_cast<i32>(p.cs());
  if (i > 1) dswap(i - 1, p.at(i, 1), cs, p.at(j, 1), cs);
  std::swap(p(i, i), p(j, j));
  if (j - i > 1) dswap(j - i - 1, p.at(i + 1, i), rs, p.at(j, i + 1), cs);
  if (nrow > j) dswap(nrow - j, p.at(j + 1, i), rs, p.at(j + 1, j), rs);
}

void count_sign(double d, i32* inertia) { ++inertia[d > 0.0 ? 0 : 1]; }

// The steps update the later panel columns up to `last` (ncol: all).
template <bool Col>
void step1(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia, i64 last) {
  const PanelView<Col> p{panel, nrow, ncol};
  const double d = p(jj, jj);
  count_sign(d, inertia);
  const double r = 1.0 / d;
  const i64 rs = p.rs();
  double* l = p.at(jj, jj);
  for (i64 i = 1; i <= nrow - jj; ++i) l[i * rs] *= r;
  const double dd[1][1] = {{d}};
  rank_update<Col, 1, 2>(p, jj, dd, jj + 1, last);
}

template <bool Col>
void step2(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia, i64 last) {
  const PanelView<Col> p{panel, nrow, ncol};
  const double d11 = p(jj, jj), d21 = p(jj + 1, jj), d22 = p(jj + 1, jj + 1);
  const double det = d11 * d22 - d21 * d21, h = (d11 + d22) / 2;
  if (det > 0.0 && h > 0.0) inertia[0] += 2;
  else if (det > 0.0 && h < 0.0) inertia[1] += 2;
  else ++inertia[0], ++inertia[1];
  // [l1 l2] = [a1 a2] D^-1, D^-1 = (1/det) [d22 -d21; -d21 d11].
  const double rdet = 1.0 / det;
  const double e11 = d22 * rdet, e21 = -d21 * rdet, e22 = d11 * rdet;
  const i64 rs = p.rs();
  double* x = p.at(jj + 1, jj);
  double* y = p.at(jj + 1, jj + 1);
  for (i64 i = 1; i <= nrow - jj - 1; ++i) {
    const double a1 = x[i * rs], a2 = y[i * rs];
    x[i * rs] = a1 * e11 + a2 * e21;
    y[i * rs] = a1 * e21 + a2 * e22;
  }
  const double dd[2][2] = {{d11, d21}, {d21, d22}};
  rank_update<Col, 2, 3>(p, jj, dd, jj + 2, last);
}

// Columns kept up to date as the pivots are taken: the columns up to
// last() have every pivot applied; the later ones lack the pivots from
// first() on, which reach them together, as one product, when the search
// needs one of them (reach) or when every column up to last() has become
// a pivot (next_block). Interchanges and steps only ever touch columns up
// to last(), whose rows are complete, so the later columns may wait.
template <bool Col>
class LazyColumns {
 public:
  LazyColumns(const PanelView<Col>& p, const iword* pb) : p_(p), pb_(pb) { open(1); }
  i64 last() const { return last_; }
  // Column c (and those before it) brought up to date before pivot jj.
  void reach(i64 c, i64 jj) {
    if (c <= last_) return;
    apply(jj, last_ + 1, c);
    last_ = c;
  }
  // Before the search at jj: a new block when every current column is a pivot.
  void next_block(i64 jj) {
    if (jj <= last_ || jj > p_.ncol) return;
    apply(jj, jj, p_.ncol);
    open(jj);
  }

 private:
  static constexpr i64 kBlock = 32;
  void open(i64 jj) {
    first_ = jj;
    last_ = std::min(jj + kBlock - 1, p_.ncol);
  }
  // Columns c0..c1, rows from each diagonal down, take the pivots
  // first_..jj-1: a(i, m) -= sum_k l(i, k) w(k, m), w(k, m) the unscaled
  // entries of row m (D times its multipliers), held as wt = w^T.
  void apply(i64 jj, i64 c0, i64 c1) {
    const i64 kb = jj - first_, nc = c1 - c0 + 1;
    if (kb == 0 || nc <= 0) return;
    thread_local std::vector<double> wbuf;
    if (wbuf.size() < static_cast<std::size_t>(kb * nc)) wbuf.resize(static_cast<std::size_t>(kb * nc));
    double* wt = wbuf.data();
    form_wt(p_, pb_, first_, jj - 1, c0, c1, wt, nc);
    const i32 ld = static_cast<i32>(Col ? p_.nrow : p_.ncol), k32 = static_cast<i32>(kb), n32 = static_cast<i32>(nc);
    // The square c0..c1 column by column from its diagonal.
    for (i64 m = c0; m <= c1; ++m) {
      const i32 q = static_cast<i32>(c1 - m + 1);
      const double* wm = wt + (m - c0);
      if (Col) dgemv('N', q, k32, -1.0, p_.at(m, first_), ld, wm, n32, 1.0, p_.at(m, m), 1);
      else dgemv('T', k32, q, -1.0, p_.at(m, first_), ld, wm, n32, 1.0, p_.at(m, m), ld);
    }
    // The rows below in pieces a team of threads may share, each row by one product.
    const i64 below = p_.nrow - c1, rows = ProductTeam::size() > 1 ? kTaskRows : std::max<i64>(below, 1);
    ProductTeam::run(static_cast<i32>((below + rows - 1) / rows), [&](i32 t) {
      const i64 r = c1 + 1 + t * rows;
      const i32 h = static_cast<i32>(std::min(rows, p_.nrow - r + 1));
      if (Col) dgemm('N', 'T', h, n32, k32, -1.0, p_.at(r, first_), ld, wt, n32, 1.0, p_.at(r, c0), ld);
      else dgemm('N', 'N', n32, h, k32, -1.0, wt, n32, p_.at(r, first_), ld, 1.0, p_.at(r, c0), ld);
    });
  }
  PanelView<Col> p_;
  const iword* pb_;  // pivot blocks, 1-based
  i64 first_ = 1, last_ = 0;
};

// The larger of the magnitudes of row c left of the diagonal from column jj
// and of column c from the diagonal down.
template <bool Col>
double candidate_magnitude(const PanelView<Col>& p, i64 c, i64 jj) {
  double row = -1.0;
  if (c > jj) {
    const i32 k = idamax(static_cast<i32>(c - jj), p.at(c, jj), static_cast<i32>(p.cs()));
    row = std::abs(p(c, jj + k - 1));
  }
  const i32 k = idamax(static_cast<i32>(p.nrow - c + 1), p.at(c, c), static_cast<i32>(p.rs()));
  return std::max(row, std::abs(p(c + k - 1, c)));
}

// The outcome of one pivot search: a pair (c, l), a single pivot c, or none.
struct Choice {
  int kind = 0;  // 0 none, 1 single, 2 pair
  i64 c = 0, l = 0;
  double largest = 0.0;  // largest candidate magnitude of the search
};

// One search from pivot position jj over the candidate list cand(jj..ncol).
// Each candidate's column is brought up to date before it is looked at.
template <bool Col>
Choice search(const PanelView<Col>& p, double tol, i64 jj, const iword* cand, double* dmax, LazyColumns<Col>& cols) {
  Choice ch;
  const i64 ncol = p.ncol, w = std::min(jj + 4, ncol);
  for (i64 q = jj; q <= ncol; ++q) {
    const i64 c = cand[q];
    cols.reach(c, jj);
    const double amax = candidate_magnitude(p, c, jj);
    dmax[c] = amax;
    ch.largest = std::max(ch.largest, amax);
    const double a = std::abs(p(c, c));
    for (i64 e = jj; e < q; ++e) {
      const i64 l = cand[e];
      const double b = std::abs(p(l, l)), o = std::abs(p(std::max(c, l), std::min(c, l)));
      const double det = std::abs(a * b - o * o);
      const double t1 = dmax[l] * o + amax * b, t2 = dmax[l] * a + amax * o;
      if (det > 0.0 && std::max(t1, t2) <= det / tol) return ch.kind = 2, ch.c = c, ch.l = l, ch;
    }
    if (q < w) continue;
    if (q == w)
      for (i64 e = jj; e < q; ++e) {
        const i64 l = cand[e];
        if (tol * dmax[l] < std::abs(p(l, l))) return ch.kind = 1, ch.c = l, ch;
      }
    if (tol * amax < a) return ch.kind = 1, ch.c = c, ch;
  }
  return ch;
}

// Root front, search exhausted: every remaining diagonal entry moves away
// from zero by pv, its sign kept (zero counts as positive).
template <bool Col>
void perturb(const PanelView<Col>& p, double* pert, i64 jj, double pv) {
  for (i64 i = jj; i <= p.ncol; ++i) p(i, i) += p(i, i) >= 0.0 ? pv : -pv;
  if (pert[1] == 0.0) pert[2] = static_cast<double>(jj);
  pert[1] += static_cast<double>(p.ncol - jj + 1);
  pert[3] = pert[4] = pert[0];
}

template <bool Col>
void pivot_kernel(double tol, double* pert, bool root, i32 nrow, i32 ncol, i32 koff, iword* rowidx,
                  double* panel, iword* pivblk, iword* cand, double* dmax, iword* ipiv, i32& npiv,
                  i32* inertia, double& ops1, double& ops2, i32& ier) {
  const PanelView<Col> p{panel, nrow, ncol};
  iword* cl = cand - 1;  // 1-based views
  double* dm = dmax - 1;
  iword* ri = rowidx - 1;
  iword* pb = pivblk - 1;
  iword* ip = ipiv - 1;
  npiv = ncol;
  ier = 0;
  i32 jj = 1;
  i64 r = 0;
  auto move_to = [&](i32 to, i32 from) {
    if (from == to) return;
    interchange<Col>(to, from, panel, nrow, ncol);
    std::swap(ri[to], ri[from]);
  };
  LazyColumns<Col> cols(p, pb);
  while (jj <= ncol) {
    cols.next_block(jj);
    const i64 nc = ncol - jj + 1;
    for (i64 m = 0; m < nc; ++m) cl[jj + m] = static_cast<iword>(jj + (r + m) % nc);
    Choice ch = search(p, tol, jj, cl, dm, cols);
    if (ch.kind == 0) {
      if (!root || pert[0] == 0.0) {
        npiv = jj - 1;
        break;
      }
      perturb(p, pert, jj, Col ? pert[0] * std::max(1.0, ch.largest) : pert[0]);
      ch.kind = 1, ch.c = jj;
    }
    const double nr = nrow - jj + 1, ncd = static_cast<double>(nc);
    if (ch.kind == 2) {
      const i32 p1 = static_cast<i32>(std::min(ch.c, ch.l)), p2 = static_cast<i32>(std::max(ch.c, ch.l));
      move_to(jj, p1);
      move_to(jj + 1, p2);
      ip[jj] = koff + p1, ip[jj + 1] = koff + p2;
      pb[jj] = pb[jj + 1] = 2;
      step2<Col>(jj, panel, nrow, ncol, inertia, cols.last());
      ops2 += 8 * (nr - 2) + 6;
      ops1 += 18 + 6 * (nr - 2) + 2 * (ncd - 2) * (2 * nr - ncd - 3);
      jj += 2;
      r = p2 - jj + 1;
    } else {
      const i32 pp = static_cast<i32>(ch.c);
      move_to(jj, pp);
      ip[jj] = koff + pp;
      pb[jj] = 1;
      step1<Col>(jj, panel, nrow, ncol, inertia, cols.last());
      ops2 += 4 * (nr - 1) + 1;
      ops1 += nr + (ncd - 1) * (2 * nr - ncd - 2);
      jj += 1;
      r = pp - jj + 1;
    }
  }
  // Second entry of each 2x2 block: minus the position of its d21 in the
  // packed strictly lower triangle of the npiv pivot columns.
  for (i64 i = 1; i <= npiv; ++i)
    if (pb[i] == 2) {
      pb[i + 1] = static_cast<iword>(-((npiv - 1) * (i - 1) - (i - 1) * (i - 2) / 2 + 1));
      ++i;
    }
}

// Columns eliminated in order in groups of up to three: the group's own
// rows first (each diagonal through xdslpt before it is used), then the
// multipliers of the rows below, then one rank-g update of the later columns.
template <bool Col>
void nopivot_kernel(double* pert, double* negrec, i32 ncol, i32 nrow, double* panel, iword* pivblk,
                    i32* inertia, double& ops1, double& ops2, i32& ier) {
  const PanelView<Col> p{panel, nrow, ncol};
  const double nc = ncol, nr = nrow;
  ops1 += nc * nc * (nr - nc) + nc * (nc + 1) * (2 * nc + 1) / 6;
  ops2 += nc + 4 * (nc * (nr - nc) + nc * (nc + 1) / 2);
  ier = 0;
  const i64 rs = p.rs();
  for (i32 c = 1; c <= ncol; c += 3) {
    const int g = std::min(3, ncol - c + 1);
    double d[3] = {}, rinv[3] = {};
    double w[3][3] = {};  // w[s][t]: unscaled entry of group row s in group column t < s
    for (int s = 0; s < g; ++s) {
      const i32 col = c + s;
      for (int t = 0; t < s; ++t) {
        double v = p(col, c + t);
        for (int u = 0; u < t; ++u) v -= p(col, c + u) * w[t][u];
        w[s][t] = v;
        p(col, c + t) = v * rinv[t];
      }
      double v = p(col, col);
      for (int t = 0; t < s; ++t) v -= p(col, c + t) * w[s][t];
      p(col, col) = v;
      xdslpt(col, p(col, col), nrow - col, col < nrow ? p.at(col + 1, col) : nullptr, static_cast<i32>(rs),
             pert, negrec, inertia, ier);
      if (ier != 0) return;
      d[s] = p(col, col);
      rinv[s] = 1.0 / d[s];
    }
    for (int s = 0; s < g; ++s) pivblk[c + s - 1] = 1;
    for (i64 i = c + g; i <= nrow; ++i)
      for (int s = 0; s < g; ++s) {
        double v = p(i, c + s);
        for (int t = 0; t < s; ++t) v -= p(i, c + t) * w[s][t];
        p(i, c + s) = v * rinv[s];
      }
    if (c + g > ncol) continue;
    if (g == 3) {
      const double dd[3][3] = {{d[0], 0, 0}, {0, d[1], 0}, {0, 0, d[2]}};
      rank_update<Col, 3, 2>(p, c, dd, c + 3, ncol);
    } else if (g == 2) {
      const double dd[2][2] = {{d[0], 0}, {0, d[1]}};
      rank_update<Col, 2, 2>(p, c, dd, c + 2, ncol);
    } else {
      const double dd[1][1] = {{d[0]}};
      rank_update<Col, 1, 2>(p, c, dd, c + 1, ncol);
    }
  }
}

}  // namespace

void xdslpl(double tol, double* pert, bool root, i32 nrow, i32 ncol, i32 koff, iword* rowidx, double* panel,
            iword* pivblk, iword* cand, double* dmax, iword* ipiv, i32& npiv, i32* inertia, double& ops1,
            double& ops2, i32& ier) {
  pivot_kernel<false>(tol, pert, root, nrow, ncol, koff, rowidx, panel, pivblk, cand, dmax, ipiv, npiv,
                      inertia, ops1, ops2, ier);
}
void xdslpm(double tol, double* pert, bool root, i32 nrow, i32 ncol, i32 koff, iword* rowidx, double* panel,
            iword* pivblk, iword* cand, double* dmax, iword* ipiv, i32& npiv, i32* inertia, double& ops1,
            double& ops2, i32& ier) {
  pivot_kernel<true>(tol, pert, root, nrow, ncol, koff, rowidx, panel, pivblk, cand, dmax, ipiv, npiv,
                     inertia, ops1, ops2, ier);
}

void xdslnl(double* pert, double* negrec, i32 ncol, i32 nrow, double* panel, iword* pivblk, i32* inertia,
            double& ops1, double& ops2, i32& ier) {
  nopivot_kernel<false>(pert, negrec, ncol, nrow, panel, pivblk, inertia, ops1, ops2, ier);
}
void xdslnm(double* pert, double* negrec, i32 ncol, i32 nrow, double* panel, iword* pivblk, i32* inertia,
            double& ops1, double& ops2, i32& ier) {
  nopivot_kernel<true>(pert, negrec, ncol, nrow, panel, pivblk, inertia, ops1, ops2, ier);
}

void xdslpt(i32 k, double& d, i32 n, const double* x, i32 incx, double* pert, double* negrec, i32* inertia,
            i32& ier) {
  ier = 0;
  const double t = pert[0];
  if (t != 0.0 && std::abs(d) < t) {
    const double big = n > 0 ? std::abs(x[static_cast<i64>(idamax(n, x, incx) - 1) * incx]) : std::abs(d);
    const double old = d;
    d = std::max(1.0, big) * t;
    const double change = std::abs(d - old);
    pert[1] += 1.0;
    if (pert[1] == 1.0) {
      pert[2] = k;
      pert[3] = pert[4] = change;
    } else {
      pert[3] = std::min(pert[3], change);
      pert[4] = std::max(pert[4], change);
    }
  }
  // A zero pivot left as it is (no threshold, or a negative one that
  // never replaces) cannot be divided by.
  if (d == 0.0) {
    ier = -1;
    return;
  }
  if (negrec[0] > 0.0 && d < 0.0) {
    negrec[1] += 1.0;
    if (negrec[1] == 1.0) {
      negrec[2] = k;
      negrec[3] = negrec[4] = d;
      if (negrec[0] == 2.0) {
        ier = -11;
        return;
      }
    } else {
      negrec[3] = std::min(negrec[3], d);
      negrec[4] = std::max(negrec[4], d);
    }
  }
  count_sign(d, inertia);
}

void xdslxl(i32 i, i32 j, double* panel, i32 nrow, i32 ncol) { interchange<false>(i, j, panel, nrow, ncol); }
void xdslxm(i32 i, i32 j, double* panel, i32 nrow, i32 ncol) { interchange<true>(i, j, panel, nrow, ncol); }
void xdsldl(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia) { step2<false>(jj, panel, nrow, ncol, inertia, ncol); }
void xdsldm(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia) { step2<true>(jj, panel, nrow, ncol, inertia, ncol); }
void xdslel(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia) { step1<false>(jj, panel, nrow, ncol, inertia, ncol); }
void xdslem(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia) { step1<true>(jj, panel, nrow, ncol, inertia, ncol); }

}  // namespace zephsol::sparse
