// Strength ratio of the "ZUZUZERUR" rock model (material kind 2).
//
// CDENDE places the Mohr circle of a point (centre pm, radius R from its
// largest and smallest principal stresses, compression positive) against
// the strength envelope tau = TAUR (1 - sigma/SIGT)^(1/n), n = HORA, finds
// the distance rho from the centre to the envelope and keeps the margin as a
// ratio in [0, 1] scaled by YURU in block 1 word 4 of the point, where the
// kind-2 moduli read it. With diagnostic switch 17 the ratio is
// (rho - R)/(pm - SIGT), else min((rho - R)/rho, (s3 - SIGT)/(pm - SIGT)).
// The envelope is taken by HORA band: a parabola (n = 2, also below 0.9 and
// above 1.75), a straight line tau = TAUR + sigma tan PHAI (about 1), and
// n = 6/5, 4/3, 3/2, whose foot points are roots of a cubic (CUBRTS) or a
// quadratic. A parabola whose foot point would lie beyond the vertex SIGT
// leaves the tension term (s3 - SIGT)/(pm - SIGT) to govern.
//
// Reads: block 1 of EIVWKA, its element number, MATCOM (kind-2 words).
// Messages, printed on the listing and the error log: warning 8201 when the
// circle's centre lies at or beyond the tensile vertex (ratio 0, IWRNFL set);
// fatal 8203 when the envelope has no foot point between SIGT and pm
// (IERFLG set, the run ends).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void CDENDE();

// Real roots of x^3 + A x^2 + B x + C = 0: IFLAG 1 one root X1 (X2 = X3 = 0);
// IFLAG 0 three roots X1, X2, X3.
void CUBRTS(double A, double B, double C, double& X1, double& X2, double& X3, word& IFLAG);

}  // namespace zephsol
