// The one-norm condition estimate, with the factor in work (xdslcn) or
// read from the factor file (the same walk over panels read through a
// buffer). One solve (L D) w = e whose right-hand side of +1/-1 entries is
// chosen entry by entry to make w large, a solve with L^T, a full solve,
// and cond = max(1, ||v||_1 ||A||_1), a lower bound of ||A||_1 ||A^-1||_1.
// The one-norms are summed in index order, so that the estimate does not
// depend on where its vectors lie in work.
#include <algorithm>
#include <cmath>
#include <limits>

#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {
namespace {

double norm1(i64 n, const double* z) {
  double s = 0.0;
  for (i64 i = 0; i < n; ++i) s += std::abs(z[i]);
  return s;
}

// Normalises z to unit one-norm.
void normalise(i64 n, double* z) {
  const double s = 1.0 / norm1(n, z);
  for (i64 i = 0; i < n; ++i) z[i] *= s;
}

// The sign of e_k opposite to z_k (kept when z_k is 0), and t = e_k - z_k.
inline double step(double& ek, double zk) {
  if (zk != 0.0) ek = zk > 0.0 ? -1.0 : 1.0;
  return ek - zk;
}

}  // namespace

bool condition_estimate(PanelSource& src, const FactorView& fv, double anorm, double* z, double* t, double& cond) {
  const i64 n = fv.n;
  for (i64 i = 0; i < n; ++i) z[i] = 0.0;
  double ek = 1.0;
  // z(i) += t l(i, j) for the rows of panel column j below row `from`.
  auto spread = [&](const PanelRef& p, i64 j, i64 from, double tj) {
    const double* L = p.blk;
    double* zp = z + (p.f - 1);
    for (i64 i = from; i <= p.c; ++i) zp[i - 1] += tj * L[(j - 1) * p.c - j * (j - 1) / 2 + (i - j) - 1];
    const double* R = p.blk + p.c * (p.c - 1) / 2 + (j - 1) * p.h;
    double* zr = z + (p.f + p.c - 1);
    for (i64 i = 0; i < p.r; ++i) zr[i] += tj * R[i];
    for (i64 i = 0; i < p.k; ++i) z[p.idx[i] - 1] += tj * R[p.r + i];
  };
  const bool read = src.walk(true, [&](const PanelRef& p) {
    const iword* pb = fv.pivblk + (p.f - 1);
    const double* d = fv.diag + (p.f - 1);
    double* zp = z + (p.f - 1);
    for (i64 j = 1; j <= p.c; ++j) {
      if (pb[j - 1] == 2 && j < p.c) {
        double e1 = ek;
        const double t1 = step(e1, zp[j - 1]);
        double e2 = e1;
        const double t2 = step(e2, zp[j]);
        ek = e2;
        const double d11 = d[j - 1], d22 = d[j], d21 = p.blk[-pb[j] - 1];
        const double det = d11 * d22 - d21 * d21;
        zp[j - 1] = (t1 * d22 - t2 * d21) / det;
        zp[j] = (t2 * d11 - t1 * d21) / det;
        spread(p, j, j + 2, t1);
        spread(p, j + 1, j + 2, t2);
        ++j;
      } else {
        const double tj = step(ek, zp[j - 1]);
        zp[j - 1] = tj / d[j - 1];
        spread(p, j, j + 1, tj);
      }
    }
  });
  if (!read) return false;
  normalise(n, z);
  if (!src.walk(false, [&](const PanelRef& p) { xdslbk(p, n, 1, fv.pivblk, z, 1, t); })) return false;
  normalise(n, z);
  FactorView one = fv;
  one.rhsblk = 1;
  if (!solve_passes(src, one, 1, n, z, t)) return false;
  const double v = norm1(n, z) * anorm;
  cond = std::isfinite(v) ? std::max(1.0, v) : std::numeric_limits<double>::infinity();
  return true;
}

double xdslcn(const FactorView& fv, double anorm, double* z, double* t) {
  CorePanels src(fv);
  double cond = 0.0;
  condition_estimate(src, fv, anorm, z, t, cond);
  return cond;
}

}  // namespace zephsol::sparse
