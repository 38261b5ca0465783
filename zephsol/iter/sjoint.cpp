// Joint law and the stress routines of the joint elements. A joint point
// carries its tractions (normal tn, tension positive, then the shears), its
// accumulated relative displacements, a state (1 separated, 2 stick, 3 slip,
// 4 post-peak slip) and a closure lock. The law takes the trial t = t + D du
// with D the joint matrix of the stored state and decides, in the first
// solution of a step, on separation, closure, slip at the Mohr-Coulomb peak
// strength tau_p = |tan(phi) tn| + c, softening toward the residual strength
// and reversal of the slip.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <type_traits>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/ekin.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/kint.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/iter/sstruct_util.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {

namespace su {

bool closure_lock(double& tn, double a, double tc, double factor, word& lock) {
  SIGCOM& s = sigcom();
  if (tn >= tc) {
    lock = 0;
    if (a < tc && std::fabs(tn - a) > 0.05000000074505806 * std::fabs(a) &&
        std::fabs(tn - tc) > 0.10000000149011612 * std::fabs(tn - a)) {
      s.KITER = -1;
      tn = tc + (tn - tc) / factor;
    }
    return false;
  }
  lock = 1;
  if (a >= tc && std::fabs(tn - a) > 0.05 * std::fabs(tn)) {
    if (std::fabs((tn - tc) * factor) > std::fabs(tn)) {
      s.KRERUN = -1;
      return true;
    }
    s.KITER = -1;
  }
  return false;
}

}  // namespace su

namespace {

using eu::prop;

constexpr double kDegToRad = 3.14159265359 / 180.0;
constexpr double kLockFactor = 1000000.0;
constexpr std::size_t kBlock11 = 10;  // switch index
constexpr word kSeparated = 1, kStick = 2, kSlip = 3, kPostPeak = 4;

// Shear strengths at the normal traction tn: peak, residual and the
// post-peak slope k4 over a slip of (m - 1) tau_p / ks. Without that slip
// (m <= 1, or no peak displacement at zero strength) there is no softening
// branch and the residual strength is reached at once.
struct Strength {
  double peak, residual, k4;
  bool softening;
};

Strength strength(double tn) {
  const MATCOM& m = matcom();
  const double ks = prop(4), ratio = prop(8);
  Strength s{std::fabs(std::tan(static_cast<double>(m.w(mw::PHAI)) * kDegToRad) * tn) + m.w(mw::C), 0.0, 0.0,
             false};
  s.residual = s.peak;
  if (ratio > 1.0) {
    s.residual = std::fabs(std::tan(prop(7) * kDegToRad) * tn) + prop(6);
    const double slip = (ratio - 1.0) * s.peak / ks;
    s.softening = slip > 0.0;
    if (s.softening) s.k4 = (s.residual - s.peak) / slip;
  }
  return s;
}

// The law on Ns components (normal, then Ns - 1 shears) of the point in
// EIVWKA, the increment du in the third component vector of EIVWKB. The
// two-component joint differs in its shear direction (the sign of the trial
// shear, a zero trial counting as positive) and its reversal threshold.
template <int Ns>
void joint_law() {
  constexpr auto n = static_cast<std::size_t>(Ns);
  EIVWK& pt = eivwka();
  EIVWK& inc = eivwkb();
  SIGCOM& sc = sigcom();
  const word niter = stpctr().NITER;
  bind_material_views();
  const double kn = prop(1), ks = prop(4), tc = -kn * prop(2), limit = prop(3);

  std::array<double, 6> d{};
  JNTMAT(Ns, d);
  std::array<double, Ns> du{}, dt{};
  std::copy_n(inc.vec[2].begin(), n, du.begin());
  PKMVEC(d, du, Ns, dt);
  std::copy_n(dt.begin(), n, inc.vec[0].begin());
  word state = pt.blk.b11.iv[0];
  word lock = pt.blk.b11.iv[1];
  if (pt.sw[kBlock11] == 0 || state == 0) {
    state = kStick;
    pt.sw[kBlock11] = 1;
  }
  // Trial tractions and displacements in SIGCOM's working arrays.
  auto& t = sc.SIGTR;
  auto& u = sc.EPETR;
  for (std::size_t i = 0; i < n; ++i) {
    t[i] = pt.vec[0][i] + dt[i];
    u[i] = pt.vec[2][i] + du[i];
  }
  const double a = pt.vec[0][0];

  const auto shear = [&]() {
    if (t[0] > limit) {
      if (niter <= 0) {
        state = kSeparated;
        std::fill_n(t.begin(), n, 0.0);
        lock = 0;
        sc.KITER = -1;
      }
      return;
    }
    const Strength st = strength(t[0]);
    double tau = 0.0;
    std::array<double, 2> e{};
    if constexpr (Ns == 3) {
      tau = std::sqrt(t[1] * t[1] + t[2] * t[2]);
      if (tau > 0.0) e = {t[1] / tau, t[2] / tau};
    } else {
      tau = std::fabs(t[1]);
      e[0] = t[1] >= 0.0 ? 1.0 : -1.0;
    }
    if (state == kStick) {
      if (tau > st.peak && niter <= 0) {
        const double past = st.softening ? st.peak + st.k4 * (tau - st.peak) / ks : 0.0;
        const double to = !st.softening || past <= st.residual ? st.residual : past;
        state = !st.softening || past <= st.residual ? kSlip : kPostPeak;
        for (std::size_t i = 1; i < n; ++i) t[i] = to * e[i - 1];
        sc.KITER = -1;
      }
      return;
    }
    if (state != kSlip && state != kPostPeak) return;
    if (niter <= 0) {
      double us = 0.0, dus = 0.0, g = 0.0;
      for (std::size_t i = 1; i < n; ++i) {
        us += pt.vec[2][i] * pt.vec[2][i];
        dus += du[i] * du[i];
        g += dt[i] * pt.vec[0][i];
      }
      const double small = Ns == 3 ? 0.0010000000474974513 : 0.001;
      if (std::sqrt(dus) > small * std::sqrt(us) && ((state == kSlip && g < 0.0) || (state == kPostPeak && g > 0.0))) {
        state = kStick;
        std::copy_n(pt.vec[0].begin(), n, t.begin());
        sc.KRERUN = -1;
        return;
      }
    }
    if (niter <= 1 && state == kPostPeak && tau <= st.residual) state = kSlip;
  };

  if (state == kSeparated) {
    if (u[0] < 0.0 && niter <= 0) {
      state = kStick;
      sc.KITER = -1;
      std::fill_n(t.begin(), n, 0.0);
      t[0] = kn * du[0];
    }
  } else if (!su::closure_lock(t[0], a, tc, kLockFactor, lock)) {
    shear();
  }
  pt.blk.b11.iv[0] = state;
  pt.blk.b11.iv[1] = lock;
  std::copy_n(t.begin(), n, pt.vec[0].begin());
  std::copy_n(u.begin(), n, pt.vec[2].begin());
}

// One point: du = B u' into EIVWKB, the law, the point stored, and its
// traction's share w B^T t added to the local forces.
template <class K>
void joint_point(word p, std::span<const double> b, double w, std::span<const double> ul, std::span<double> fl) {
  constexpr int ns = K::kNs, n = K::kDof;
  EIVGTA(p);
  EIVWK& inc = eivwkb();
  for (int c = 0; c < ns; ++c) {
    double d = 0.0;
    for (int j = 0; j < n; ++j) d += b[static_cast<std::size_t>(c * n + j)] * ul[static_cast<std::size_t>(j)];
    inc.vec[2][static_cast<std::size_t>(c)] = d;
  }
  joint_law<ns>();
  EIVPTA();
  std::array<double, ns> wt{};
  for (int c = 0; c < ns; ++c) wt[static_cast<std::size_t>(c)] = w * eivwka().vec[0][static_cast<std::size_t>(c)];
  kint::add_btv<ns, n>(b, wt, fl);
}

// The state-only centre point of a JOINT8 face at xi = eta = 0.
void joint8_centre(const std::array<double, 9>& t, std::span<const double> ul) {
  std::array<double, 8> xl{};
  plane_coords(t, 4, xl);
  std::array<double, 3 * 24> b{};
  const std::array<double, 2> xi{};
  double detj = 0.0;
  BJOINT8(xi, xl, b, detj);
  std::array<double, 24> none{};
  joint_point<ekin::JointQuad<4>>(5, b, 0.0, ul, none);
}

// Every point of the element's rule in the joint frame; the local forces
// turned back to global axes.
template <class K>
void joint_stress(std::span<const double> ue, std::span<double> fe) {
  K k;
  if (!k.prepare(ekin::Use::Force)) return;
  std::array<double, K::kDof> ul{}, fl{};
  su::to_local(K::kIldm, K::kIgdm, K::kBlocks, k.t, ue, ul);
  k.points([&](const ekin::Point& pt) { joint_point<K>(pt.point, pt.b, pt.w, ul, fl); });
  if constexpr (std::is_same_v<K, ekin::JointQuad<4>>) joint8_centre(k.t, ul);
  eu::turn_vector(K::kIldm, K::kIgdm, K::kBlocks, k.t, fl, fe);
}

}  // namespace

void JNTSIG() { joint_law<3>(); }

void SJOINT4(std::span<const double> UE, std::span<double> FE) { joint_stress<ekin::Joint4>(UE, FE); }
void SJOINT6(std::span<const double> UE, std::span<double> FE) { joint_stress<ekin::Joint6>(UE, FE); }
void SJOINT8(std::span<const double> UE, std::span<double> FE) { joint_stress<ekin::JointQuad<4>>(UE, FE); }
void SJOINT12(std::span<const double> UE, std::span<double> FE) { joint_stress<ekin::Joint12>(UE, FE); }
void SJOINT16(std::span<const double> UE, std::span<double> FE) { joint_stress<ekin::JointQuad<8>>(UE, FE); }

}  // namespace zephsol
