// Principal values of stresses and strains.
//
// principal_values gives the eigenvalues of a symmetric tensor (sx, sy, sz,
// txy, tyz, tzx) from the invariants of the tensor scaled by the sum of the
// absolute values of its components; the point law and the derived result
// values share it. PRNSIG gives the principal stresses of a point in the
// form the point state keeps them: values of the negated stress (compression
// positive), ordered (largest, smallest, middle), except for the plane class
// 5: (larger in-plane, smaller in-plane, out-of-plane). PRNDIR and SIGFRP
// turn an in-plane stress into its principal direction and rebuild it from
// two principal values.
//
// Messages: PRNSIG -3523 (class, 0) for a class outside 1-8.
#pragma once

#include <array>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Eigenvalues p and their count nv: 0 none (p all 0: a zero tensor, or
// invariants that give no real roots); 1 only p[0] (the other two are 0);
// 2 p[0] and p[2] with p[1] = 0 (a zero determinant); 3 three roots, with
// equal roots resolved exactly. The order is that of the method: for nv 3
// (largest, smallest, middle) unless rounding says otherwise; sort as needed.
struct PrincipalValues {
  std::array<double, 3> p{};
  int nv = 0;
};
PrincipalValues principal_values(const std::array<double, 6>& t);

// p = (largest, smallest, middle) of p.
void order_largest_smallest_middle(std::array<double, 3>& p);

// Principal values P (three doubles) of the stress SIG of class ICLASS.
void PRNSIG(std::span<const double> SIG, word ICLASS, std::span<double> P);
// Angle ALPHA (radians) of the first principal direction of (SX, SY, T).
void PRNDIR(double SX, double SY, double T, double& ALPHA);
// In-plane stress at the angle ALPHA from the principal values in block 1
// words 1 and 2 of the current point (compression positive).
void SIGFRP(double ALPHA, double& SX, double& SY, double& T);
// The same from the pair (P1, P2) given directly (compression positive).
void stress_from_principal(double P1, double P2, double ALPHA, double& SX, double& SY, double& T);

}  // namespace zephsol
