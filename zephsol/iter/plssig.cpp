// Plastic return with hardening break points (PLSSIG, HRDSEG).
#include <algorithm>
#include <cmath>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/packed.h"
#include "zephsol/iter/plskern.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/ptlaw_util.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {

namespace {

constexpr word kFirstYield = 2, kLoading = 3;
constexpr double kSmall = static_cast<double>(1.0E-6f);

// Classes whose remaining strain is rescaled through the inverse tangent:
// membranes, beams, shells and the biaxial classes.
bool plane_stress_like(word iclass) {
  return iclass == 2 || iclass == 6 || iclass == 7 || iclass == 8 || iclass == 9;
}

double euclid(const PointVec& v, word n) {
  double s = 0.0;
  for (word i = 0; i < n; ++i) s += v[static_cast<std::size_t>(i)] * v[static_cast<std::size_t>(i)];
  return std::sqrt(s);
}

// The fraction of the pass's increment taken before the surface or the break point.
double split_fraction(word icase, double kb, double eb, const PointVec& s0) {
  const EIVWK& a = eivwka();
  const SIGCOM& sc = sigcom();
  const word iyield = matcom().IYIELD;
  if (iyield == 3) {
    double r = 0.0;
    MISFRC(sc.SIGTR, s0, kb, r);
    return r;
  }
  if (iyield != 1 && iyield != 2 && iyield != 4) matl_fatal(-4071, iyield, 0);
  double num = 0.0, den = 0.0;
  if (icase == kLoading) {
    num = eb - a.blk.b2.epeq;
    den = sc.EPQTR - a.blk.b2.epeq;
  } else {
    num = kb - a.scalar;
    den = sc.EFFTR - a.scalar;
  }
  if (std::fabs(den) < kSmall) return 0.0;
  return std::clamp(num / den, 0.0, 1.0);
}

// Plane-stress-type classes: the rest of the increment becomes
// eps* = (De + Dp)^-1 dsigma scaled to (1 - r) times the length of the
// elastic increment. Where there is no eps* (a zero stress increment, or a
// tangent without inverse: perfect plasticity makes De + Dp singular) the
// rest stays as it is.
void rescale_rest(double r, PointVec& de2) {
  const EIVWK& b = eivwkb();
  const SIGCOM& s = sigcom();
  const word ns = point_components();
  std::array<double, 21> inv = s.DEP;
  word info = 0;
  PKINV(std::span<double>(inv).first(static_cast<std::size_t>(ns * (ns + 1) / 2)), ns, info);
  if (info != 0) return;
  const PointVec es = packed_times(inv, b.vec[0], ns);
  const double len = euclid(es, ns);
  if (len == 0.0) return;
  const double scale = (1.0 - r) * euclid(b.vec[1], ns) / len;
  for (std::size_t i = 0; i < static_cast<std::size_t>(ns); ++i) de2[i] = scale * es[i];
}

}  // namespace

void HRDSEG(double E1, double E2, word& FOUND, word& INDEX, double& KB, double& EB) {
  const std::span<const word> t = hardening_pairs();
  const word n = matcom().NF5;
  auto x = [&](word j) { return static_cast<double>(word_real(t[static_cast<std::size_t>(2 * (j - 1))])); };
  FOUND = 0;
  if (INDEX == 0) {
    word j = 2;
    while (j <= n && !(E1 < x(j))) ++j;
    INDEX = std::min(j, n);
    if (j > n || E2 <= x(j)) return;
  } else {
    if (INDEX >= n || !(x(INDEX + 1) < E2)) return;
    ++INDEX;
  }
  FOUND = 1;
  EB = x(INDEX);
  double h = 0.0;
  TABINT(t, n, 0.0, EB, h);
  KB = static_cast<double>(matcom().w(mw::SIGY)) + h;
}

void PLSSIG(word ICASE, word ITAB, double K) {
  EIVWK& a = eivwka();
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  const bool table = (ITAB & 1) != 0;
  const word ns = point_components();
  const auto n = static_cast<std::size_t>(ns);
  word index = 0, found = 0;
  double kb = 0.0, eb = 0.0, e_old = a.blk.b2.epeq;
  if (ICASE == kLoading) {
    if (!table) return;
    HRDSEG(a.blk.b2.epeq, s.EPQTR, found, index, kb, eb);
    if (found == 0) return;
  } else {
    kb = K;
    eb = table ? s.EPQTR : a.blk.b2.epeq;
  }
  valid_elastic_inverse();
  // A first-yield increment that crosses a break point takes its later
  // passes as a loading point does: from the break, with the tangent there.
  for (word pass_case = ICASE;; pass_case = kLoading) {
    s.KITER = -1;
    const PointVec s0 = a.vec[0];
    const double r = split_fraction(pass_case, kb, eb, s0);
    PointVec de{}, de1{}, de2{};
    for (std::size_t i = 0; i < n; ++i) {
      de[i] = b.vec[1][i] + b.blk.b2.v[i];
      de1[i] = r * de[i];
      de2[i] = (1.0 - r) * de[i];
    }
    // First part with the matrix at the start: De, or De + Dp at the last state.
    std::array<double, 21> d1 = s.DE;
    if (pass_case == kLoading) {
      std::array<double, 21> dp0{};
      plastic_correction(s0, e_old, dp0);
      for (std::size_t i = 0; i < d1.size(); ++i) d1[i] += dp0[i];
    }
    const PointVec ds1 = packed_times(d1, de1, ns);
    PointVec s1{};
    for (std::size_t i = 0; i < n; ++i) s1[i] = s0[i] + ds1[i];
    plastic_correction(s1, eb, s.DP);
    for (std::size_t i = 0; i < s.DEP.size(); ++i) s.DEP[i] = s.DE[i] + s.DP[i];
    if ((!table || pass_case == kFirstYield) && plane_stress_like(estcom().ICLASS)) rescale_rest(r, de2);
    // dsigma = dsigma1 + (De + Dp) deps2; deps_e = De^-1 dsigma; deps_p = deps - deps_e.
    const PointVec ds2 = packed_times(s.DEP, de2, ns);
    for (std::size_t i = 0; i < n; ++i) b.vec[0][i] = ds1[i] + ds2[i];
    b.vec[1] = packed_times(s.DEINV, b.vec[0], ns);
    for (std::size_t i = 0; i < n; ++i) b.blk.b2.v[i] = de[i] - b.vec[1][i];
    for (std::size_t i = 0; i < n; ++i) {
      s.SIGTR[i] = a.vec[0][i] + b.vec[0][i];
      s.EPETR[i] = a.vec[1][i] + b.vec[1][i];
      s.EPPTR[i] = a.blk.b2.v[i] + b.blk.b2.v[i];
    }
    EFFSIG(matcom().IYIELD, s.SIGTR, s.EFFTR);
    EQVNRM(b.blk.b2.v, b.blk.b2.epeq);
    s.EPQTR = a.blk.b2.epeq + b.blk.b2.epeq;
    if (!table) return;
    e_old = eb;
    HRDSEG(a.blk.b2.epeq, s.EPQTR, found, index, kb, eb);
    if (found == 0) return;
    // Advance the point to the break point and go on with the rest.
    const PointVec dee1 = packed_times(s.DEINV, ds1, ns);
    PointVec dep1{};
    for (std::size_t i = 0; i < n; ++i) {
      dep1[i] = de1[i] - dee1[i];
      a.vec[0][i] = s1[i];
      a.vec[1][i] += dee1[i];
      a.blk.b2.v[i] += dep1[i];
      b.vec[1][i] -= dee1[i];
      b.blk.b2.v[i] -= dep1[i];
    }
    double dq = 0.0;
    EQVNRM(dep1, dq);
    a.blk.b2.epeq += dq;
  }
}

}  // namespace zephsol
