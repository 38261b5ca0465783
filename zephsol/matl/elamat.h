// Elastic material matrices and the tangent matrix of a point.
//
// ELAMAT forms the elastic stress-strain matrix D of the current material
// (MATCOM) for the stress layout of the current element class, packed (upper
// triangle row by row). Before it does, the moduli of the stress-dependent
// soil models are brought up to date from the bound integration point
// (soilmod.h); those updates overwrite E and NU in MATCOM. STPMTX gives the
// element stiffness routines the tangent matrix of a point: the elastic
// matrix, cached per element in SIGCOM for the kinds whose moduli do not
// depend on the point, plus the plastic correction at a plastic point.
//
// Reads: MATCOM, the bound element (class, NS) and point views, SIGCOM.
// Messages: -8015 "KFLD" for class 10 (joints have no elastic matrix here),
// -4040 a class outside 1-11.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// D (packed, NS(NS+1)/2 terms of the class) for MATCOM and the element class.
void ELAMAT(std::span<double> D);

// Tangent matrix of the bound point: De (recomputed per point for kinds 2, 3
// and 5, else taken from the cache, refreshed when its flag is negative) plus
// the plastic correction when the point is plastic.
void STPMTX(std::span<double> D);

// Kinds whose moduli follow the point's state ("ZUZUZERUR", hyperbolic,
// failure with reduced moduli): their De is formed at every point.
bool moduli_follow_point(word kind);

// Number of stress components of an element class, and of normal ones
// among them (-4040 for a class outside 1-11).
word class_components(word iclass);
word class_normal_components(word iclass);

// Where the first n of the ns components of a class (normal first, then
// shear) sit in the full tensor (sx, sy, sz, txy, tyz, tzx): 0-based places.
// Normal components take the first places and shears the places from the
// fourth on, except for the beam (class 6: sx, txy, tzx) and class 9
// (sx, sy, tyz). -4040 for a class outside 1-11.
struct ClassPlacement {
  std::size_t n = 0;
  std::array<std::size_t, 6> pos{};
};
ClassPlacement class_placement(word iclass, word ns);
// The full tensor of the components c of a class; places it lacks are 0.
std::array<double, 6> class_tensor(const ClassPlacement& at, std::span<const double> c);

}  // namespace zephsol
