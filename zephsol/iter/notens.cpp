// No-tension correction of a continuum point (NOTENS).
#include <algorithm>
#include <array>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/iter/plskern.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/principal.h"
#include "zephsol/iter/ptlaw_util.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace {

// Limit of the cut, compression positive: -SIGT, or 0 once the point has
// lost its tensile strength; the value a cut sets: the limit while SIG0 < 0
// keeps the strength, else 0.
struct TensionLimit {
  double limit;
  double target;
  // A principal value (compression positive) beyond the limit in tension.
  bool beyond(double p) const { return p < 0.0 && p < limit; }
  double cut(double p) const { return beyond(p) ? target : p; }
};

// Plane (class 5): both in-plane principal values cut, the in-plane stress
// rebuilt at its principal direction; the out-of-plane value stays.
PointVec cut_plane(const TensionLimit& lim, std::array<double, 3>& p, const PointVec& sig) {
  if (!lim.beyond(p[0]) && !lim.beyond(p[1])) return {};
  p[0] = lim.cut(p[0]);
  p[1] = lim.cut(p[1]);
  double alpha = 0.0, sx = 0.0, sy = 0.0, t = 0.0;
  PRNDIR(sig[0], sig[1], sig[3], alpha);
  stress_from_principal(p[0], p[1], alpha, sx, sy, t);
  return {sx - sig[0], sy - sig[1], 0.0, t - sig[3], 0.0, 0.0};
}

// Axisymmetric (class 4): the in-plane pair as in the plane class, and the
// hoop component on its own.
PointVec cut_axisymmetric(const TensionLimit& lim, std::array<double, 3>& p, const PointVec& sig) {
  std::array<double, 3> q{};  // larger and smaller in-plane value, hoop value
  PRNSIG(sig, 5, q);
  PointVec d = cut_plane(lim, q, sig);
  q[2] = lim.cut(q[2]);
  d[2] = -q[2] - sig[2];
  p = q;
  order_largest_smallest_middle(p);
  return d;
}

// Solid (class 3): the three normal stresses shifted so that the largest
// tension becomes the limit; the shears stay.
PointVec cut_solid(const TensionLimit& lim, std::array<double, 3>& p) {
  const double shift = p[1] - lim.target;
  for (double& v : p) v -= shift;
  p[1] = lim.target;
  return {shift, shift, shift, 0.0, 0.0, 0.0};
}

}  // namespace

bool NOTENS() {
  EIVWK& a = eivwka();
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  const MATCOM& m = matcom();
  const word iclass = estcom().ICLASS;
  const bool keeps_strength = m.w(mw::SIG0) < 0.0f;
  TensionLimit lim{-static_cast<double>(m.w(mw::SIGT)), 0.0};
  if (a.blk.b10.v[0] < 0.0) lim.limit = 0.0;
  lim.target = keeps_strength ? lim.limit : 0.0;

  std::array<double, 3> p{};
  PRNSIG(s.SIGTR, iclass, p);
  std::copy(p.begin(), p.end(), a.blk.b1.v.begin());
  if (iclass != 3 && iclass != 4 && iclass != 5) return false;
  if (!lim.beyond(p[1])) return false;

  PointVec dsig{};
  if (iclass == 3)
    dsig = cut_solid(lim, p);
  else if (iclass == 4)
    dsig = cut_axisymmetric(lim, p, s.SIGTR);
  else
    dsig = cut_plane(lim, p, s.SIGTR);

  const word ns = point_components();
  valid_elastic_inverse();
  const PointVec dee = packed_times(s.DEINV, dsig, ns);
  for (std::size_t i = 0; i < static_cast<std::size_t>(ns); ++i) {
    s.SIGTR[i] += dsig[i];
    s.EPETR[i] += dee[i];
  }
  b.vec[0] = dsig;
  b.vec[1] = dee;
  store_trial(static_cast<std::size_t>(ns));
  std::copy(p.begin(), p.end(), a.blk.b1.v.begin());
  a.blk.b1.v[3] = -10.0;
  a.sw[0] = 1;  // block 1 is stored with the point, so the next update sees the mark
  if (!keeps_strength) a.blk.b10.v[0] = -1.0;
  s.KNOTEN = -1;
  s.KITER = -1;
  return true;
}

}  // namespace zephsol
