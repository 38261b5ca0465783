// Stiffness and internal forces of the membranes and the flat shell, formed
// in the element's plane and turned to global DOFs; the shell's drilling
// stiffness about the local normal.
#include <cstddef>

#include "zephsol/elem/ekin.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/kint.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace kint {

// k_d = s_d E V (s_d = property word 6, 0.01 when not positive; 0 when the
// product is negative) on the local rz DOFs: k_d on the diagonal, -k_d / 3
// between every pair of nodes, so that each row of the block sums to zero.
// The terms are set, not added.
void finish_local(ekin::Qfla4& k, std::span<double> kl) {
  constexpr int n = ekin::Qfla4::kDof;
  double sd = eu::prop(6);
  if (!(sd > 0.0)) sd = 0.01f;
  double kd = sd * matcom().w(mw::E) * k.volume();
  if (kd < 0.0) kd = 0.0;
  for (int i = 1; i <= 4; ++i) {
    eu::pk(kl, 6 * i, 6 * i, n) = kd;
    for (int j = i + 1; j <= 4; ++j) eu::pk(kl, 6 * i, 6 * j, n) = -kd / 3.0;
  }
}

}  // namespace kint

using Temps = std::span<const float>;

void KQMEM4(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Qmem4 k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KTMEM3(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Tmem3 k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KQFLA4(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Qfla4 k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}

void FQMEM4(std::span<double> FE) {
  ekin::Qmem4 k;
  kint::internal_force(k, FE);
}
void FTMEM3(std::span<double> FE) {
  ekin::Tmem3 k;
  kint::internal_force(k, FE);
}
void FQFLA4(std::span<double> FE) {
  ekin::Qfla4 k;
  kint::internal_force(k, FE);
}

}  // namespace zephsol
