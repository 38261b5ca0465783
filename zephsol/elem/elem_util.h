// Small helpers of the element stiffness and internal-force routines: the
// current element's property words and node coordinates, packed terms, and
// the turn of a local nodal vector into global DOFs.
#pragma once

#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/words.h"

namespace zephsol::eu {

// Property word k (1-based) of the current element, widened.
inline double prop(int k) {
  assert(k >= 1 && k <= ESTCOM::kMaxProp);
  return estcom().PROP[static_cast<std::size_t>(k - 1)];
}

// The integer part (truncated) of property word k.
inline word prop_int(int k) { return static_cast<word>(estcom().PROP[static_cast<std::size_t>(k - 1)]); }

// Packed symmetric term (i, j), 1-based, of a matrix of order n.
inline double& pk(std::span<double> a, int i, int j, int n) { return a[packed_index(i, j, n)]; }

// Global coordinates of node k (1-based), three per node.
inline std::array<double, 3> node(int k) {
  const auto& x = estcom().XYZ;
  const auto i = static_cast<std::size_t>(3 * (k - 1));
  return {x[i], x[i + 1], x[i + 2]};
}

// Unit vector from node 1 to node 2 and the length between them; a zero
// length ends the run (-8005).
inline std::array<double, 3> member_axis(double& length) {
  const auto x1 = node(1), x2 = node(2);
  std::array<double, 3> d{x2[0] - x1[0], x2[1] - x1[1], x2[2] - x1[2]};
  length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  if (!(length > 0.0)) elem_fatal(-8005, estcom().IEXN, 0);
  for (double& c : d) c /= length;
  return d;
}

// Equal and opposite forces along c: -f c on the translations of node 1
// (terms 1-3) and +f c on those of node 2 (terms first2 + 1 .. first2 + 3).
inline void axial_pair(std::span<double> v, const std::array<double, 3>& c, double f, int first2) {
  for (std::size_t i = 0; i < 3; ++i) {
    v[i] -= f * c[i];
    v[static_cast<std::size_t>(first2) + i] += f * c[i];
  }
}

// FE(igdm b + m) += sum_a T(a, m) FL(ildm b + a) for the nblk blocks: a local
// nodal vector (ildm components per block) turned into global components
// (igdm per block) with the upper-left ildm x igdm part of the triad T
// (T(a, m) at t[3 m + a]).
inline void turn_vector(int ildm, int igdm, int nblk, std::span<const double, 9> t, std::span<const double> fl,
                        std::span<double> fe) {
  assert(fl.size() >= static_cast<std::size_t>(ildm * nblk) && fe.size() >= static_cast<std::size_t>(igdm * nblk));
  for (int b = 0; b < nblk; ++b)
    for (int m = 0; m < igdm; ++m) {
      double s = 0.0;
      for (int a = 0; a < ildm; ++a) s += t[3 * m + a] * fl[ildm * b + a];
      fe[igdm * b + m] += s;
    }
}

// FL(ildm b + a) = sum_m T(a, m) FE(igdm b + m) for the nblk blocks: a global
// nodal vector turned into the local components of turn_vector (its transpose).
inline void local_vector(int ildm, int igdm, int nblk, std::span<const double, 9> t, std::span<const double> fe,
                         std::span<double> fl) {
  assert(fl.size() >= static_cast<std::size_t>(ildm * nblk) && fe.size() >= static_cast<std::size_t>(igdm * nblk));
  for (int b = 0; b < nblk; ++b)
    for (int a = 0; a < ildm; ++a) {
      double s = 0.0;
      for (int m = 0; m < igdm; ++m) s += t[3 * m + a] * fe[igdm * b + m];
      fl[ildm * b + a] = s;
    }
}

// v(d) += s x(i) for the current element's equations d = IDOF(i), i over x;
// an equation outside v ends the run (-8063 with the equation and v's
// length; on a restart the element records may come from a damaged tape).
inline void scatter_add(std::span<const double> x, double s, std::span<double> v) {
  const auto& idof = estcom().IDOF;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const word d = idof[i];
    if (d < 1 || static_cast<std::size_t>(d) > v.size()) record_fatal(-8063, d, static_cast<word>(v.size()));
    v[static_cast<std::size_t>(d - 1)] += s * x[i];
  }
}

}  // namespace zephsol::eu
