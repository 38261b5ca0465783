// Ordering statistics and work-space figures.
#include "zephsol/sparse/stats.h"

#include <algorithm>
#include <cmath>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"

namespace zephsol::sparse {
namespace {

constexpr i64 tri(i64 k) { return k * (k + 1) / 2; }

i64 mxlfrt_of(i64 mfront) {
  return static_cast<i64>((std::sqrt(8.0 * static_cast<double>(mfront) + 1.0) - 1.0) / 2.0);
}

i32 clamp32(i64 v) { return static_cast<i32>(std::min<i64>(v, INT32_MAX)); }

void dline(const Call& c, std::string_view label, double v) {
  std::string l = fline("(5X,A,1P,E15.4)", {label, v});
  const auto e = l.rfind('E');
  if (e != std::string::npos) l[e] = 'D';
  unit_write_line(c.msgunit, l);
}

}  // namespace

void xdslcs(i64 n, i64 nsuper, IVec part, IVec k, IVec front, IVec update, OrderStats& st) {
  st.nzlf = 0;
  st.nsnind = st.mxnind = st.mxtri = st.mfront = st.mxtotf = st.maxsize = st.maxupd = st.maxrect = 0;
  std::fill(std::begin(st.ops), std::end(st.ops), 0.0);
  st.ops[0] = static_cast<double>(st.nnz);
  st.ops[4] = static_cast<double>(n);
  for (i64 s = 1; s <= nsuper; ++s) {
    const i64 U = part(s + 1) - part(s), K = k(s), V = U + K;
    const double u = static_cast<double>(U), kk = static_cast<double>(K), v = static_cast<double>(V);
    st.mxtri = std::max(st.mxtri, tri(U));
    st.nzlf += u * (u - 1) / 2 + u * kk;
    st.maxrect = std::max(st.maxrect, U * K);
    st.mxtotf = std::max(st.mxtotf, tri(U) + U * K);
    st.maxsize = std::max(st.maxsize, U);
    st.mxnind = std::max(st.mxnind, V);
    st.nsnind += K;
    front(s) = clamp32(tri(V));
    update(s) = clamp32(tri(K) + 3);
    st.mfront = std::max(st.mfront, tri(V));
    st.maxupd = std::max(st.maxupd, tri(K) + 3);
    const double t = u * (u + 1) / 2;
    st.ops[0] += u * (v * v + 2) + 2 * u * v - u * u - (2 * v + 1) * t + (2 * u + 1) * t / 3;
    st.ops[2] += kk * (kk + 1) / 2;
    st.ops[3] += kk;
    st.ops[4] += 2 * u * (u - 1);
    st.ops[6] += 4 * u * kk;
  }
  st.ops[1] = static_cast<double>(n) + st.nzlf;
  st.ops[5] = static_cast<double>(static_cast<float>(2 * (n - nsuper)));
  st.ops[7] = static_cast<double>(static_cast<float>(2 * n));
}

void print_order_stats(const Call& c, const OrderStats& st) {
  if (c.msglvl < 2) return;
  unit_write_line(c.msgunit, "");
  count_line(c, "maximum nodes in a supernode            = ", st.maxsize);
  count_line(c, "maximum number of supernodal indices    = ", st.mxnind);
  count_line(c, "maximum number of nodes in a supernode  = ", st.maxsize);
  count_line(c, "total number of supernodal indices      = ", st.nsnind);
  unit_write_line(c.msgunit, fline("(5X,A,F16.0)", {"total number of supernodal nonzeroes    = ", st.nzlf}));
  count_line(c, "maximum order of a frontal matrix       = ", mxlfrt_of(st.mfront));
  count_line(c, "maximum size of a frontal matrix        = ", st.mfront);
  count_line(c, "maximum size of a stacked update matrix = ", st.maxupd);
  count_line(c, "maximum entries in the triangle         = ", st.mxtri);
  count_line(c, "maximum entries in the rectangle        = ", st.maxrect);
  count_line(c, "maximum entries in the trapezoid        = ", st.mxtotf);
  const double factor = st.ops[0] + st.ops[2], solve = st.ops[4] + st.ops[6];
  if (c.msglvl == 2) {
    dline(c, "total factor ops                        = ", factor);
    dline(c, "total solve ops                         = ", solve);
    return;
  }
  dline(c, "dense  factor ops                       = ", st.ops[0]);
  dline(c, "dense  factor vector ops                = ", st.ops[1]);
  dline(c, "sparse factor ops                       = ", st.ops[2]);
  dline(c, "sparse factor vector ops                = ", st.ops[3]);
  dline(c, "total  factor ops                       = ", factor);
  dline(c, "dense  solve ops                        = ", st.ops[4]);
  dline(c, "dense  solve vector ops                 = ", st.ops[5]);
  dline(c, "sparse solve ops                        = ", st.ops[6]);
  dline(c, "sparse solve vector ops                 = ", st.ops[7]);
  dline(c, "total  solve ops                        = ", solve);
}

Figures xdslws(const Call& c, bool unsym, i64 n, i64 lunit1, i64 lunit2, const OrderStats& st) {
  const i64 mxlfrt = mxlfrt_of(st.mfront);
  if (c.msglvl >= 2) {
    const int u = c.msgunit;
    unit_write_line(u, "");
    unit_write_line(u, "       neqns   nzla          nzlf nsuper nsnind mxnind");
    unit_write_line(u, fline("(5X,2I7,F14.0,3I7)", {n, st.nnz, st.nzlf, st.nsuper, st.nsnind, st.mxnind}));
    unit_write_line(u, "");
    unit_write_line(u, "      snmson mstack stkstr  mxtri mfront mxtotf maxzer");
    unit_write_line(u, fline("(5X,7I7)", {st.snmson, st.mstack, st.stkstr, st.mxtri, st.mfront, st.mxtotf, st.maxzer}));
    unit_write_line(u, "");
    unit_write_line(u, "      pvttol  ncomp nzcomp fpnlsz fupdsz mxlfrt");
    unit_write_line(u, fline("(5X,F7.3,5I7)", {st.pvttol, st.ncomp, st.nzcomp, st.fpnlsz, st.fupdsz, mxlfrt}));
  }
  const i64 m = lunit2 > 0 ? (st.pvttol == 0.0 ? 1 : 3) : (st.pvttol == 0.0 ? 2 : 3);
  const double factor = unsym ? 2 * st.nzlf : st.nzlf;
  const bool representable = factor <= 2147483647.0;
  Figures f;
  f.symbolic = 200 + xisl2d(std::max(3 * st.nsuper + 2 * st.nzcomp + 6 * n + st.ncomp,
                                     4 * st.nsuper + 10 * n + st.nzcomp + st.ncomp + 2 * st.nsnind) +
                            21);
  const i64 H = std::max(st.fupdsz * mxlfrt, n);
  const i64 R = 6 * n + 6 * st.nsuper + m * st.nsnind + 20;
  const i64 w = unsym ? 2 : 1;
  const i64 B = w * mxlfrt * (st.fupdsz + st.fpnlsz);
  if (!unsym) {
    f.incore = static_cast<i64>(static_cast<double>(H + st.nnz) + st.nzlf +
                                static_cast<double>(std::max(xisl2d(mxlfrt + n),
                                                             B + st.stkstr + xisl2d(mxlfrt) + 6 * st.mstack) +
                                                    n + 200 + xisl2d(st.nnz + R)));
    f.outcore = std::max(B + xisl2d(mxlfrt + n) + n, B + xisl2d(mxlfrt) + 6 * st.mstack) + st.nnz + n + H +
                xisl2d(st.nnz + R) + 200;
  } else {
    f.incore = static_cast<i64>(static_cast<double>(H + 2 * st.nnz) + 2 * st.nzlf +
                                static_cast<double>(std::max(xisl2d(mxlfrt + n),
                                                             B + 2 * st.stkstr + 2 * xisl2d(mxlfrt) + 6 * st.mstack) +
                                                    n + 200 + xisl2d(2 * st.nnz + R)));
    f.outcore = std::max(xisl2d(mxlfrt + n) + n + st.mfront, B + 2 * st.mfront + 2 * xisl2d(mxlfrt) + 6 * st.mstack) +
                2 * st.nnz + n + H + xisl2d(2 * st.nnz + R) + 200;
  }
  if (lunit1 < 0) {
    f.incore += xisl2d(st.nnz);
    f.outcore += xisl2d(st.nnz);
  }
  if (!representable || f.incore < f.outcore) f.incore = 0;
  if (c.msglvl >= 2) {
    unit_write_line(c.msgunit, "");
    count_line(c, "work space for symbolic factorization   = ", f.symbolic);
    count_line(c, "work space for in-core     num.fact.    = ", f.incore);
    count_line(c, "work space for out-of-core num.fact.    = ", f.outcore);
  }
  return f;
}

}  // namespace zephsol::sparse
