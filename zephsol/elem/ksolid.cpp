// Stiffness and internal forces of the solids, the axisymmetric and the plane
// elements: the integration loops over each type's kinematics.
#include "zephsol/elem/ekin.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/kint.h"

namespace zephsol {

using Temps = std::span<const float>;

void KHEX8(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH, word IBBAR, word ISHEAR) {
  ekin::Hex8 k(IBBAR, ISHEAR);
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KHEX20(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Hex20 k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KPENT6(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Pent<1> k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KPENT15(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Pent<2> k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KTET10(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Tet10 k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KQAX4(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH, word IBBAR, word ISHEAR) {
  ekin::Quad4<true> k(IBBAR, ISHEAR);
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KTAX3(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Tri3<true> k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KQPLAN4(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH, word IBBAR, word ISHEAR) {
  ekin::Quad4<false> k(IBBAR, ISHEAR);
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}
void KTPLAN3(word LTHERM, Temps TEMP, std::span<double> KE, std::span<double> TH) {
  ekin::Tri3<false> k;
  kint::stiffness(k, LTHERM, TEMP, KE, TH);
}

void FHEX8(std::span<double> FE, word IBBAR, word ISHEAR) {
  ekin::Hex8 k(IBBAR, ISHEAR);
  kint::internal_force(k, FE);
}
void FHEX20(std::span<double> FE) {
  ekin::Hex20 k;
  kint::internal_force(k, FE);
}
void FPENT6(std::span<double> FE) {
  ekin::Pent<1> k;
  kint::internal_force(k, FE);
}
void FPENT15(std::span<double> FE) {
  ekin::Pent<2> k;
  kint::internal_force(k, FE);
}
void FTET10(std::span<double> FE) {
  ekin::Tet10 k;
  kint::internal_force(k, FE);
}
void FQAX4(std::span<double> FE, word IBBAR, word ISHEAR) {
  ekin::Quad4<true> k(IBBAR, ISHEAR);
  kint::internal_force(k, FE);
}
void FTAX3(std::span<double> FE) {
  ekin::Tri3<true> k;
  kint::internal_force(k, FE);
}
void FQPLAN4(std::span<double> FE, word IBBAR, word ISHEAR) {
  ekin::Quad4<false> k(IBBAR, ISHEAR);
  kint::internal_force(k, FE);
}
void FTPLAN3(std::span<double> FE) {
  ekin::Tri3<false> k;
  kint::internal_force(k, FE);
}

}  // namespace zephsol
