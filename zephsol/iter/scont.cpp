// Stress routines of the continuum elements: one update loop over the points
// of an element kinematics (ekin.h), the same points, B and weights as the
// element's stiffness and internal force.
#include "zephsol/iter/scont.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/ekin.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kint.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

template <class K>
concept HasCentre = requires(K& k) { k.centre([](const ekin::Point&) {}); };

// Stresses of the two faces at the shell's centre (points 5 and 45).
struct Faces {
  std::array<double, 6> bottom{}, top{};
};

// Section forces of the shell into block 8 of point 5: r2-r4 the membrane
// forces, r8-r10 the moments, r11 and r12 the transverse shear forces
// (components 5 and 4).
void section_forces(const Faces& f, double t) {
  EIVGTA(5);
  EIVWK& a = eivwka();
  a.sw[7] = 1;
  auto& r = a.blk.b8.v;  // r_k at r[k - 1]
  for (std::size_t c = 0; c < 3; ++c) {
    r[1 + c] = (f.bottom[c] + f.top[c]) * t / 2.0;
    r[7 + c] = (f.bottom[c] - f.top[c]) * t * t / 12.0;
  }
  r[10] = (f.bottom[4] + f.top[4]) * t / 2.0;
  r[11] = (f.bottom[3] + f.top[3]) * t / 2.0;
  EIVPTA();
}

// One element: every point updated through the point law, FE += w B^T sigma
// over the integration points (in the element's axes for the framed types,
// turned to global ones at the end).
template <class K>
void stress(K& k, word itherm, std::span<const float> temp, std::span<const double> ue, std::span<double> fe) {
  constexpr int n = K::kDof, ns = K::kNs;
  sigcom().KDECHE = -1;
  if (!k.prepare(ekin::Use::Force)) return;
  std::array<double, n> u{}, fl{};
  if constexpr (K::kLocal)
    eu::local_vector(K::kIldm, K::kIgdm, K::kBlocks, k.t, ue, u);
  else
    std::copy_n(ue.begin(), n, u.begin());
  const bool thermal = itherm != 0 && K::kThermal > 0;
  const double alpha = matcom().w(mw::ALPHA);
  kint::MarkCache<K> marks;
  Faces faces;

  // The point's update: d eps = B u, thermal strain, ELMSIG; its stresses.
  const auto update = [&](const ekin::Point& pt) -> const std::array<double, 6>& {
    EIVGTA(pt.point);
    EIVWK& b = eivwkb();
    b.vec[2] = {};
    for (int c = 0; c < ns; ++c) {
      double s = 0.0;
      for (int j = 0; j < n; ++j) s += pt.b[static_cast<std::size_t>(c * n + j)] * u[static_cast<std::size_t>(j)];
      b.vec[2][static_cast<std::size_t>(c)] = s;
    }
    b.sw[2] = thermal ? 1 : 0;
    if (thermal) {
      std::array<double, K::kNodes> nv{};
      K::values(pt, nv);
      double tp = 0.0;
      for (int a = 0; a < K::kNodes; ++a) tp += nv[static_cast<std::size_t>(a)] * temp[static_cast<std::size_t>(a)];
      b.blk.b3.s = tp;
      b.blk.b3.v = {};
      for (int c = 0; c < K::kThermal; ++c) b.blk.b3.v[static_cast<std::size_t>(c)] = alpha * tp;
    }
    marks.before_point();
    ELMSIG();
    EIVPTA();
    return eivwka().vec[0];
  };

  k.points([&](const ekin::Point& pt) {
    const auto& sig = update(pt);
    std::array<double, ns> s{};
    for (int c = 0; c < ns; ++c) s[static_cast<std::size_t>(c)] = pt.w * sig[static_cast<std::size_t>(c)];
    kint::add_btv<ns, n>(pt.b, s, fl);
  });
  if constexpr (HasCentre<K>) {
    k.centre([&](const ekin::Point& pt) {
      const auto& sig = update(pt);
      if (pt.point == 5) faces.bottom = sig;
      if (pt.point == 45) faces.top = sig;
    });
  }
  if constexpr (std::is_same_v<K, ekin::Qfla4>) section_forces(faces, eu::prop(1));

  if constexpr (K::kLocal)
    eu::turn_vector(K::kIldm, K::kIgdm, K::kBlocks, k.t, fl, fe);
  else
    for (int j = 0; j < n; ++j) fe[static_cast<std::size_t>(j)] += fl[static_cast<std::size_t>(j)];
}

template <class K>
void run(K&& k, word itherm, std::span<const float> temp, std::span<const double> ue, std::span<double> fe) {
  stress(k, itherm, temp, ue, fe);
}

}  // namespace

void SHEX8(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
           word ISHEAR) {
  run(ekin::Hex8(IBBAR, ISHEAR), ITHERM, TEMP, UE, FE);
}
void SHEX20(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Hex20(), ITHERM, TEMP, UE, FE);
}
void SPENT6(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Pent<1>(), ITHERM, TEMP, UE, FE);
}
void SPENT15(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Pent<2>(), ITHERM, TEMP, UE, FE);
}
void STET10(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Tet10(), ITHERM, TEMP, UE, FE);
}
void SQAX4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
           word ISHEAR) {
  run(ekin::Quad4<true>(IBBAR, ISHEAR), ITHERM, TEMP, UE, FE);
}
void STAX3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Tri3<true>(), ITHERM, TEMP, UE, FE);
}
void SQPLAN4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE, word IBBAR,
             word ISHEAR) {
  run(ekin::Quad4<false>(IBBAR, ISHEAR), ITHERM, TEMP, UE, FE);
}
void STPLAN3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Tri3<false>(), ITHERM, TEMP, UE, FE);
}
void SQMEM4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Qmem4(), ITHERM, TEMP, UE, FE);
}
void STMEM3(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Tmem3(), ITHERM, TEMP, UE, FE);
}
void SQFLA4(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  run(ekin::Qfla4(), ITHERM, TEMP, UE, FE);
}

}  // namespace zephsol
