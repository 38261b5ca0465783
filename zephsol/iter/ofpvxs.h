// Derived values of the stresses or strains of one integration point.
//
// OFPVXS places the components of an element class (normal components
// first, then shears) in the full tensor (sx, sy, sz, txy, tyz, tzx) and
// returns, by selector, the von Mises value, a principal value, the maximum
// shear or the full set of principal values with the angles of their
// directions to the coordinate axes (r, z, theta for the axisymmetric
// class). The result output prints and writes these values.
//
// Reads: OFPREQ word 7 ("PRSTRES2" printed this step: the plane class keeps
// its values as larger in-plane, out-of-plane, smaller in-plane).
// Messages: -3523 (class, 0) a class outside 1-11 or the joint class 10;
// -4090 (selector, class) an unknown selector.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Selectors of OFPVXS.
inline constexpr word kVonMises = 8901;
inline constexpr word kLargestPrincipal = 8801;
inline constexpr word kSmallestPrincipal = 8802;
inline constexpr word kMaxShear = 8803;
inline constexpr word kStressSet = -2;
inline constexpr word kStrainSet = -3;

// OUT receives one value for 8901 (von Mises), 8801 (p1), 8802 (p3) and
// 8803 ((p1 - p3)/2); up to 13 for the sets -2 (stresses) and -3 (strains:
// every shear component an engineering shear, halved in the strain tensor
// whose values and directions are given; the shear tau, p1 - p3, not halved):
//   one normal value (class 1): p1;
//   in-plane (classes 2, 11) and two normal values (class 8): p1, p3, tau,
//     angles of the first direction to x and y, of the second to x and y;
//   three values (classes 3-7, 9): p1, p2, p3, tau, then the angles to x, y,
//     z of the directions of p1, p2 and p3 (0 where a value is absent); all
//     13 words 0 when the tensor has no principal values.
void OFPVXS(std::span<const double> VALUES, word ICLASS, std::span<float> OUT, word ISEL);

}  // namespace zephsol
