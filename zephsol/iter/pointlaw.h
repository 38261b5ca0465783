// Constitutive point laws of the continuum elements.
//
// ELMSIG updates one integration point from its strain increment: the
// continuum stress routines (solids, plane, axisymmetric, membranes, flat
// shell, rod, section points of the section beam) unpack the point into
// EIVWKA, write the strain increment (component vector 3) and, with a
// temperature change, the block-3 switch, the change and the thermal strain
// increment into EIVWKB, make the element's material current, call ELMSIG
// once, and store EIVWKA back. ELMSIG forms the elastic or elasto-plastic
// trial (sigma = sigma + Dep d eps), cuts tension (NOTENS), finishes first
// yield and hardening break points (PLSSIG, HRDSEG), detects unloading,
// applies the K0 rule of the first step, records principal stresses, the
// "ZUZUZERUR" strength ratio (CDENDE) and a local safety factor
// F = (2 c cos phi + (s1 + s3) sin phi)/(s1 - s3).
//
// Past first yield the increment is taken with the tangent at its start; a
// point of kind 1 that this carries outside the yield surface is brought
// back onto it (the stress taken off goes to the unbalanced force, and a
// return beyond the convergence tolerance sets KITER).
//
// Records: EIVWKA (the point, updated in place), EIVWKB (increment in;
// stress, elastic and plastic strain increments out), SIGCOM (trial state,
// cached matrices; flags KRERUN, KITER, KKIND2, KNOTEN), MATCOM, ESTCOM,
// STPCTR (NITER, NSTEPC), IFPFLG (IFPDUN, IFPSGT), the gravity axis IGRAV.
// Messages: -4120 (failure code) an elastic or plane-stress tangent matrix
// that cannot be inverted; -4071, -4040, -3523 from the kernels; 8201, 8203
// from CDENDE.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void ELMSIG();

// Finishes the update of a point that first yields (case 2) or keeps loading
// past a hardening break point (case 3): the increment is split where the
// surface or the break point is reached; the first part is taken with the
// matrix at the start, the rest with the elasto-plastic matrix there, once
// per break point crossed. ITAB bit 0: the material has a hardening table of
// two or more pairs. K: the yield constant (case 2). Sets KITER.
void PLSSIG(word ICASE, word ITAB, double K);

// The next hardening break point between the equivalent plastic strains E1
// and E2: FOUND 1 at abscissa EB where the hardening is KB; INDEX (0 at the
// first call of an update) keeps the place in the table.
void HRDSEG(double E1, double E2, word& FOUND, word& INDEX, double& KB, double& EB);

// No-tension correction of the trial state in SIGCOM: true when it cut the
// point's tension back to its limit (it then also sets KNOTEN and KITER).
bool NOTENS();

}  // namespace zephsol
