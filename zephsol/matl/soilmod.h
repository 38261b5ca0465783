// Moduli of the stress-dependent soil models.
//
// Each update reads the bound integration point and overwrites E (w7) and,
// where the model gives one, Poisson's ratio (w8) in MATCOM, so a soil
// material holds the moduli of the last point treated:
// - MATDEN, "ZUZUZERUR" (kind 2): E and nu from the strength ratio r of the
//   point, E = (DZER - DFAI) r^POTO + DFAI;
// - MATDCH, hyperbolic "DUNCAN" (kind 3): Et = K pa (s3/pa)^n f^2 with the
//   stress level f = 1 - Rf (1 - sin phi)(s1 - s3)/(2c cos phi + 2 s3 sin phi),
//   the unloading modulus below the largest mean stress reached;
// - MATSRD, stress-ratio degradation (kind 7): E from the Mohr-Coulomb
//   strength ratio r and the initial modulus E0 = U + V s3^W;
// - MATMCB, failure with reduced moduli (kind 5): whether the point has
//   reached the Mohr-Coulomb strength;
// - MATANI, orthotropic kind 0: nothing to update.
// Where the strength denominator 2c cos phi + 2 s3 sin phi is not positive
// (a cohesionless soil without confinement) it is not divided by: the
// hyperbolic model takes f = 1 in Et and nu, the stress-ratio model r = rmax
// when s1 > s3, else 0; and 0^W with W < 0 gives E0 = U.
//
// Messages: MATSRD without block 1 sets the fatal flag and ends the run; a
// modulus or Poisson's ratio that is not finite (for instance the no-tension
// mark -10 taken as the "ZUZUZERUR" ratio under a fractional exponent) ends
// the run with -8069 (IEXN, material ID).
#pragma once

namespace zephsol {

void MATDEN();
void MATDCH();
void MATSRD();
void MATMCB(bool& FAILED);
void MATANI();

}  // namespace zephsol
