// Elasto-plastic point law (ELMSIG).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/dbload.h"
#include "zephsol/iter/plskern.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/principal.h"
#include "zephsol/iter/ptlaw_util.h"
#include "zephsol/iter/zuzu.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mkinds.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {

namespace {

// Update cases; the plastic flag of a point and PLSSIG take their numbers.
enum class Case : word { NoCheck = 0, Elastic = 1, FirstYield = 2, Loading = 3, Unloading = 4 };

constexpr double kYieldReach = 0.9999899864196777;   // first yield at f* >= 0.99999 k
constexpr double kReversal = 0.05000000074505806;    // unloading that re-executes the step
constexpr double kSmallDifference = 9.999999974752427e-07;
constexpr double kPi = 3.14159265359;
constexpr double kOnSurface = 1e-6;                  // f* within k (1 + 1e-6) lies on the surface
constexpr int kReturnPasses = 20;
constexpr word kMaskCohesionFriction = 24;           // parameters 4 and 5 (C, PHAI) given

bool plastic_kind(word kind) { return material_kind(kind).plastic; }

// The point's update: its component count and the mechanical strain increment.
struct Step {
  word ns = 0;
  std::size_t n = 0;
  PointVec de_m{};  // mechanical strain increment (thermal part taken off)
};

// De of the point: at every point for the kinds whose moduli follow it, else
// once per element under the cache flag.
void elastic_matrix(word kind) {
  SIGCOM& s = sigcom();
  if (moduli_follow_point(kind)) {
    ELAMAT(s.DE);
  } else if (s.KDECHE < 0) {
    ELAMAT(s.DE);
    s.KDECHE = 0;
  }
}

// Increment split: elastic, or with De + Dp at the stored state of a plastic point.
void split_increment(const Step& st) {
  EIVWK& a = eivwka();
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  if (a.blk.b2.iv[0] != 0) {
    plastic_correction(a.vec[0], a.blk.b2.epeq, s.DP);
    for (std::size_t i = 0; i < s.DEP.size(); ++i) s.DEP[i] = s.DE[i] + s.DP[i];
    b.vec[0] = packed_times(s.DEP, st.de_m, st.ns);
    valid_elastic_inverse();
    b.vec[1] = packed_times(s.DEINV, b.vec[0], st.ns);
    for (std::size_t i = 0; i < st.n; ++i) b.blk.b2.v[i] = st.de_m[i] - b.vec[1][i];
  } else {
    b.vec[1] = st.de_m;
    b.blk.b2.v = {};
    b.vec[0] = packed_times(s.DE, b.vec[1], st.ns);
  }
}

// Trial stress and elastic strain from the increments in EIVWKB.
void form_trial(const Step& st) {
  const EIVWK& a = eivwka();
  const EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  for (std::size_t i = 0; i < st.n; ++i) {
    s.SIGTR[i] = a.vec[0][i] + b.vec[0][i];
    s.EPETR[i] = a.vec[1][i] + b.vec[1][i];
  }
}

double effective(word code, std::span<const double> sig) {
  double f = 0.0;
  EFFSIG(code, sig, f);
  return f;
}

// Brings the trial stress of a plastic point of kind 1 that the tangent
// step carried outside the yield surface back onto it, along the elastic
// image of the flow vector: d lambda = (f* - k) / (a . De a + H),
// sigma* -= d lambda De a, and d lambda a moves from the elastic to the
// plastic strain (the total strain stays). The stress taken off is left out
// of the element's internal forces, so the unbalanced force carries it to
// the rest of the model; a return larger than the convergence tolerance
// therefore asks for an iteration.
void return_to_surface(const Step& st) {
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  const MATCOM& m = matcom();
  double k = 0.0;
  YLDCON(s.EPQTR, k);
  const double excess = s.EFFTR - k;
  for (int pass = 0; pass < kReturnPasses && s.EFFTR - k > kOnSurface * std::fabs(k); ++pass) {
    PointVec a{};
    DFDSIG(std::span<const double>(s.SIGTR).first(st.n), std::span<double>(a).first(st.n));
    const PointVec d = packed_times(s.DE, a, st.ns);
    double h = 0.0;
    HRDSLP(1, s.EPQTR, h);
    double ad = h;
    for (std::size_t i = 0; i < st.n; ++i) ad += a[i] * d[i];
    if (!(ad > 0.0)) break;
    const double lambda = (s.EFFTR - k) / ad;
    PointVec dp{};
    for (std::size_t i = 0; i < st.n; ++i) {
      dp[i] = lambda * a[i];
      s.SIGTR[i] -= lambda * d[i];
      b.vec[0][i] -= lambda * d[i];
      s.EPETR[i] -= dp[i];
      b.vec[1][i] -= dp[i];
      s.EPPTR[i] += dp[i];
      b.blk.b2.v[i] += dp[i];
    }
    double de = 0.0;
    EQVNRM(std::span<const double>(dp).first(st.n), de);
    s.EPQTR += de;
    b.blk.b2.epeq += de;
    s.EFFTR = effective(m.IYIELD, s.SIGTR);
    YLDCON(s.EPQTR, k);
  }
  if (excess > static_cast<double>(sysw().CNVTOL) * std::fabs(k)) s.KITER = -1;
}

// Kinds 1 and 7: first yield, continued loading or unloading. Returns the
// case; flag receives the point's new plastic flag.
Case plastic_check(const Step& st, word& flag) {
  EIVWK& a = eivwka();
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  const MATCOM& m = matcom();
  for (std::size_t i = 0; i < st.n; ++i) s.EPPTR[i] = a.blk.b2.v[i] + b.blk.b2.v[i];
  flag = a.blk.b2.iv[0];
  s.EFFTR = effective(m.IYIELD, s.SIGTR);
  EQVNRM(b.blk.b2.v, b.blk.b2.epeq);
  s.EPQTR = a.blk.b2.epeq + b.blk.b2.epeq;
  double k = 0.0;
  YLDCON(s.EPQTR, k);
  const word table = m.NF5 >= 2 ? 1 : 0;
  word& ratio_state = a.sw[11];

  if (flag <= 0) {
    const bool elastic = m.MATKND == mkind::RATIO ? ratio_state == 0 || ratio_state == 3
                                                   : k * kYieldReach > s.EFFTR;
    if (elastic) return Case::Elastic;
    flag = 1;
    valid_elastic_inverse();
    PLSSIG(static_cast<word>(Case::FirstYield), table, k);
    if (m.MATKND == mkind::PLASTIC) return_to_surface(st);
    return Case::FirstYield;
  }

  // A plastic point: a . (De d eps) with the whole strain increment.
  std::array<double, 6> flow{};
  DFDSIG(std::span<const double>(a.vec[0]).first(st.n), std::span<double>(flow).first(st.n));
  const PointVec dsig_e = packed_times(s.DE, b.vec[2], st.ns);
  double load = 0.0;
  for (std::size_t i = 0; i < st.n; ++i) load += flow[i] * dsig_e[i];
  if (load < 0.0 && stpctr().NITER <= 0) {
    // Unloading in the first solution of a step: the whole increment elastic.
    if (m.MATKND == mkind::RATIO) ratio_state = 3;
    flag = 0;
    for (std::size_t i = 0; i < st.n; ++i) b.vec[1][i] += b.blk.b2.v[i];
    b.blk.b2.v = {};
    b.blk.b2.epeq = 0.0;
    b.vec[0] = packed_times(s.DE, b.vec[1], st.ns);
    form_trial(st);
    s.EFFTR = effective(m.IYIELD, s.SIGTR);
    if (kReversal * effective(0, a.vec[0]) < effective(0, b.vec[0])) s.KRERUN = -1;
    return Case::Unloading;
  }
  if (m.MATKND == mkind::RATIO) ratio_state = 2;
  flag = 1;
  if (table != 0) PLSSIG(static_cast<word>(Case::Loading), table, k);
  if (m.MATKND == mkind::PLASTIC) return_to_surface(st);
  return Case::Loading;
}

// K0 rule of the first step: the stresses across the gravity axis become K
// times the stress along it; the strains start from zero. Only where the
// first three components are the normal stresses in global axes.
void k0_rule(const Step& st) {
  EIVWK& a = eivwka();
  const MATCOM& m = matcom();
  const word axis = load_words().IGRAV;
  const double k0 = m.w(mw::K);
  if (m.MATKND == mkind::RATIO || axis < 1 || axis > 3 || !(k0 > 0.0) || stpctr().NSTEPC != 1) return;
  if (class_normal_components(estcom().ICLASS) != 3 || st.ns < 3) return;
  const double along = a.vec[0][static_cast<std::size_t>(axis - 1)];
  for (word i = 1; i <= 3; ++i)
    if (i != axis) a.vec[0][static_cast<std::size_t>(i - 1)] = k0 * along;
  a.vec[1] = {};
  a.vec[2] = {};
}

// Local safety factor min(F1, F2) of the principal stresses in block 1.
void safety_factor() {
  EIVWK& a = eivwka();
  const MATCOM& m = matcom();
  auto& b1 = a.blk.b1.v;
  const double s1 = b1[0], s3 = b1[1], d = s1 - s3;
  const double phi = static_cast<double>(m.w(mw::PHAI)) * kPi / 180.0;
  const bool flat = std::fabs(d) < kSmallDifference;
  double f1 = 10.0;
  if (!flat)
    f1 = std::max(0.0, (2.0 * static_cast<double>(m.w(mw::C)) * std::cos(phi) + (s1 + s3) * std::sin(phi)) / d);
  double f = f1;
  const double sfsigt = m.w(mw::SFSIGT);
  if (sfsigt >= 0.0) {
    const double f2 = flat ? 10.0 : std::max(0.0, (s1 + s3 + 2.0 * sfsigt) / d);
    f = std::min(f1, f2);
    if (f2 < f1) {
      a.blk.b7[1] = -1.0;
      a.sw[6] = 1;
    }
  }
  b1[4] = f;
}

}  // namespace

void ELMSIG() {
  bind_material_views();
  EIVWK& a = eivwka();
  EIVWK& b = eivwkb();
  SIGCOM& s = sigcom();
  const MATCOM& m = matcom();
  const word kind = m.MATKND;
  const word iclass = estcom().ICLASS;
  Step st;
  st.ns = point_components();
  st.n = static_cast<std::size_t>(st.ns);
  const bool thermal = b.sw[2] != 0;

  a.sw[5] = kind;
  elastic_matrix(kind);
  for (std::size_t i = 0; i < st.n; ++i) st.de_m[i] = b.vec[2][i] - (thermal ? b.blk.b3.v[i] : 0.0);
  split_increment(st);
  form_trial(st);
  for (std::size_t i = 0; i < st.n; ++i) s.EPSTR[i] = a.vec[2][i] + b.vec[2][i];

  Case update = Case::NoCheck;
  word flag = a.blk.b2.iv[0];
  bool cut = false;
  if (material_kind(kind).tension_cut && ifpflg().IFPSGT != 0 && m.w(mw::SIGT) >= 0.0f) {
    cut = NOTENS();
    a.sw[9] = 1;
  }
  if (cut)
    s.EFFTR = effective(m.IYIELD, s.SIGTR);
  else if (!plastic_kind(kind))
    s.EFFTR = effective(0, s.SIGTR);
  else
    update = plastic_check(st, flag);

  a.scalar = s.EFFTR;
  store_trial(st.n);
  k0_rule(st);
  if (thermal) {
    a.sw[2] = 1;
    a.blk.b3.s += b.blk.b3.s;
    for (std::size_t i = 0; i < st.n; ++i) a.blk.b3.v[i] += b.blk.b3.v[i];
  }

  auto& b1 = a.blk.b1.v;
  if (moduli_follow_point(kind)) {
    PRNSIG(a.vec[0], iclass, b1);
    a.sw[0] = 1;
    if (kind == mkind::ZUZU) {
      s.KKIND2 = -1;
      CDENDE();
    }
    if (kind == mkind::DUNCAN) a.sw[8] = 1;
  } else if (plastic_kind(kind)) {
    if (update != Case::NoCheck) a.blk.b2.iv[0] = flag;
    if (update >= Case::FirstYield) a.sw[1] = 1;
    if (update == Case::FirstYield || update == Case::Loading) {
      std::copy_n(s.EPPTR.begin(), st.n, a.blk.b2.v.begin());
      a.blk.b2.epeq = s.EPQTR;
    }
    if (kind == mkind::RATIO) a.sw[0] = 1;
  }

  if (ifpflg().IFPDUN != 0) {
    b1[3] = m.w(mw::E);
    a.blk.b7[0] = m.w(mw::NU);
    a.sw[6] = 1;
  }

  if (iclass == 1 || iclass == 6) return;
  if (kind != mkind::ZUZU && kind != mkind::DUNCAN) {
    if ((m.MASK & kMaskCohesionFriction) != kMaskCohesionFriction) return;
    PRNSIG(a.vec[0], iclass, b1);
    a.sw[0] = 1;
  }
  safety_factor();
}

}  // namespace zephsol
