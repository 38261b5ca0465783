// Plastic tangent and joint material matrices.
//
// DFDSIG gives the flow vector a = dF/dsigma of the current material's yield
// criterion (Mohr-Coulomb, Drucker-Prager outer cone, von Mises with
// hardening, Mohr-Coulomb with strength reduction) at a stress of the element
// class's layout; PLSMTX turns it into the plastic correction
// Dp = -(De a)(De a)^T / (H + a^T De a) of a packed elastic matrix, H the
// hardening slope; JNTMAT gives the packed normal/shear stiffness of a joint
// point from the joint's property words and the point's joint state.
//
// Reads: MATCOM, the bound element view (class, type, NS, property words)
// and point view (joint state, normal traction).
// Messages: -4071 yield criterion outside 1-4; -971 post-peak joint whose
// residual-to-peak displacement ratio is not above 1; -8015 "IDIM" a joint
// matrix order other than 2 or 3.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Flow vector A (NS terms) at the stress SIG (NS terms).
void DFDSIG(std::span<const double> SIG, std::span<double> A);

// Plastic correction DP (packed) of the elastic matrix DE at stress SIG and
// equivalent plastic strain EPSP; stores NS in the element record.
void PLSMTX(std::span<const double> DE, std::span<const double> SIG, double EPSP, std::span<double> DP);

// Joint matrix D (packed) of order IDIM: normal, then one or two shears.
void JNTMAT(word IDIM, std::span<double> D);

}  // namespace zephsol
