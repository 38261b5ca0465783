// Helpers the elasto-plastic point law, its plastic return and the
// no-tension correction share: component vectors of a point, the inverse of
// the elastic matrix held in SIGCOM, and the plastic correction of a point.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// A stress or strain vector of a point (NS components used).
using PointVec = std::array<double, 6>;

// The point (EIVWKA) takes the first n components of the trial stress,
// total strain and elastic strain in SIGCOM.
void store_trial(std::size_t n);

// y = A x for a packed matrix A of order n.
PointVec packed_times(std::span<const double> A, const PointVec& x, word n);

// Makes the inverse of the elastic matrix in SIGCOM valid for the current
// point: for the kinds whose moduli follow the point (2, 3, 5) it is formed
// at every call; for the others once per element, under the cache flag
// (0 -> 1). A matrix that cannot be inverted ends the run with -4120 and the
// failure code.
void valid_elastic_inverse();

// Plastic correction DP of the elastic matrix in SIGCOM at the stress SIG
// and equivalent plastic strain EPSP. A stress at the apex of the yield
// surface (sqrt J2 below 1e-10) takes none: the elastic tangent.
void plastic_correction(std::span<const double> SIG, double EPSP, std::span<double> DP);

}  // namespace zephsol
