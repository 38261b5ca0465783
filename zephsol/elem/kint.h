// The integration loops of the stiffness and internal-force routines of the
// numerically integrated elements, over the points of an element kinematics
// (ekin.h):
//   KE += w B^T D B with D the point's material matrix, and with the thermal
//   load TH += w B^T D (alpha T m), m = 1 on the normal components that take
//   the thermal strain, T interpolated from the node temperatures;
//   FE += w B^T sigma with sigma the stresses stored at the point.
// Elements integrated in their own frame are formed in local DOFs and turned
// to global ones at the end (KG = Q^T KL Q block by block, FE = Q^T FL).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/ekin.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/exec/records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/exec/packed.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::kint {

// FL(j) += sum_c B(c, j) s(c).
template <int Ns, int N>
void add_btv(std::span<const double> b, const std::array<double, Ns>& s, std::span<double> fl) {
  for (int c = 0; c < Ns; ++c) {
    const double sc = s[static_cast<std::size_t>(c)];
    if (sc == 0.0) continue;
    for (int j = 0; j < N; ++j) fl[static_cast<std::size_t>(j)] += b[static_cast<std::size_t>(c * N + j)] * sc;
  }
}

// The thermal load of one point with the weighted D: s = D (alpha T m).
template <class K>
void thermal_point(const ekin::Point& pt, std::span<const double> d, std::span<const float> temp,
                   std::span<double> fl) {
  std::array<double, K::kNodes> n{};
  K::values(pt, n);
  double t = 0.0;
  for (int a = 0; a < K::kNodes; ++a) t += n[static_cast<std::size_t>(a)] * temp[static_cast<std::size_t>(a)];
  const double e = matcom().w(mw::ALPHA) * t;
  std::array<double, K::kNs> m{}, s{};
  for (int c = 0; c < K::kThermal; ++c) m[static_cast<std::size_t>(c)] = e;
  PKMVEC(d, m, K::kNs, s);
  add_btv<K::kNs, K::kDof>(pt.b, s, fl);
}

// The elastic matrix cached for an element holds for one state of the
// tension cut-off mark (the cracked moduli under the no-tension switch): a
// point whose mark differs from the one the cached matrix was built for has
// it recomputed, so that the result does not depend on the point order.
// Called before the material matrix of each point of the types that test it.
template <class K>
class MarkCache {
 public:
  void before_point() {
    if constexpr (K::kMarkTest) {
      const bool marked = ifpflg().IFPSGT != 0 && eivwka().blk.b1.v[3] < 0.0;
      SIGCOM& s = sigcom();
      if (s.KDECHE < 0 || marked != built_) {
        s.KDECHE = -1;
        built_ = marked;
      }
    }
  }

 private:
  bool built_ = false;
};

// Element-specific terms set in the local matrix before it is turned (the
// shell's drilling stiffness); nothing for the other types.
template <class K>
void finish_local(K&, std::span<double>) {}
void finish_local(ekin::Qfla4& k, std::span<double> kl);

template <class K>
void stiffness(K& k, word ltherm, std::span<const float> temp, std::span<double> ke, std::span<double> th) {
  constexpr int n = K::kDof, nk = n * (n + 1) / 2, m = K::kNs * (K::kNs + 1) / 2;
  if (!k.prepare(ekin::Use::Stiffness)) return;
  std::array<double, K::kLocal ? nk : 1> kl{};
  const std::span<double> acc = K::kLocal ? std::span<double>(kl) : ke.first(static_cast<std::size_t>(nk));
  std::array<double, n> fl{};
  const bool thermal = K::kThermal > 0 && (ltherm & 1) != 0;
  if constexpr (K::kCache) sigcom().KDECHE = -1;
  MarkCache<K> marks;
  k.points([&](const ekin::Point& pt) {
    EIVGTA(pt.point);
    marks.before_point();
    std::array<double, 21> d{};
    K::material(d);
    for (int i = 0; i < m; ++i) d[static_cast<std::size_t>(i)] *= pt.w;
    if constexpr (K::kSolidRows)
      btdb_solid(pt.b, d, n, acc);
    else
      BTDB(pt.b, d, n, K::kNs, acc);
    if (thermal) thermal_point<K>(pt, std::span<const double>(d).first(m), temp, fl);
  });
  if constexpr (K::kLocal) {
    finish_local(k, kl);
    LAXTRN(K::kIldm, K::kIgdm, K::kBlocks, k.t, kl, ke);
    if (thermal) eu::turn_vector(K::kIldm, K::kIgdm, K::kBlocks, k.t, fl, th);
  } else if (thermal) {
    for (int j = 0; j < n; ++j) th[static_cast<std::size_t>(j)] += fl[static_cast<std::size_t>(j)];
  }
}

template <class K>
void internal_force(K& k, std::span<double> fe) {
  constexpr int n = K::kDof;
  if (!k.prepare(ekin::Use::Force)) return;
  std::array<double, n> fl{};
  k.points([&](const ekin::Point& pt) {
    EIVGTA(pt.point);
    std::array<double, K::kNs> s{};
    for (int c = 0; c < K::kNs; ++c) s[static_cast<std::size_t>(c)] = pt.w * eivwka().vec[0][static_cast<std::size_t>(c)];
    add_btv<K::kNs, n>(pt.b, s, fl);
  });
  if constexpr (K::kLocal)
    eu::turn_vector(K::kIldm, K::kIgdm, K::kBlocks, k.t, fl, fe);
  else
    for (int j = 0; j < n; ++j) fe[static_cast<std::size_t>(j)] += fl[static_cast<std::size_t>(j)];
}

}  // namespace zephsol::kint
