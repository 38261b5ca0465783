// Plasticity kernels of the elasto-plastic point law.
//
// YLDCON gives the yield constant k of the current material, EFFSIG the
// value of a yield function at a stress, EQVNRM the equivalent value of a
// plastic strain and MISFRC the fraction of a stress increment at which the
// von Mises surface k is reached. Stresses and strains are the NS components
// of the current element's class (3 for the section beam), normal first,
// placed in the full tensor as the class table places them. Criterion codes:
// 1 Mohr-Coulomb, 2 Drucker-Prager (outer cone), 3 von Mises with hardening,
// 4 Mohr-Coulomb with the strength-reduction factor F of MATCOM; 0 asks
// EFFSIG for the von Mises value.
//
// Reads: ESTCOM (class, type), MATCOM (C, PHAI, SIGY, F, hardening).
// Writes: YLDCON stores k (as a REAL) in the SIGY word of MATCOM for codes 1,
// 2 and 4, where the hardening break points add to it.
// Messages: -4071 criterion code outside those listed; -4040 a class without
// a strain layout (class 10 or outside 1-11).
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Yield constant K at the equivalent plastic strain EPSP.
void YLDCON(double EPSP, double& K);
// Yield function F of criterion CODE at the stress SIG.
void EFFSIG(word CODE, std::span<const double> SIG, double& F);
// Equivalent value E of the plastic strain EPS.
void EQVNRM(std::span<const double> EPS, double& E);
// Fraction R in [0, 1] of the increment SIGT - SIG0 at which the von Mises
// value of SIG0 + R (SIGT - SIG0) reaches K (1 when it never does).
void MISFRC(std::span<const double> SIGT, std::span<const double> SIG0, double K, double& R);

// Number of stress components of the current element's points (3 for the
// section beam, else the class's count).
word point_components();

}  // namespace zephsol
