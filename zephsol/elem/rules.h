// Integration rules: sampling points and weights for the element routines.
//
// Line rules on [-1, 1] (Gauss-Legendre and the closed, equally spaced rule),
// and the fixed triangle and tetrahedron rules in area and volume coordinates,
// whose weights already carry the reference measures 1/2 and 1/6.
// Messages: -8015 ("NGUS" or "NINT", count) for a point count outside a
// rule's set.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Gauss-Legendre rule of ngus points (1..10), abscissae ascending.
void GAUSPT(word ngus, std::span<double> xi, std::span<double> w);
// n equally spaced points (1..11) including both ends: composite Simpson
// weights for odd n, composite trapezoidal weights for even n.
void NCOTPT(word n, std::span<double> xi, std::span<double> w);
// Triangle rule of nint points (1, 4 or 7): l holds (L1, L2, L3) per point.
void TRIAPT(word nint, std::span<double> l, std::span<double> w);
// Tetrahedron rule of nint points (1 or 5): l holds (L1, L2, L3, L4) per point.
void TETRPT(word nint, std::span<double> l, std::span<double> w);

}  // namespace zephsol
