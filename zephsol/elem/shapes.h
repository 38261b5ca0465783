// Shape functions: values of the element interpolation functions at one
// point of the reference element, or their derivatives with respect to one
// natural coordinate, one entry per node in the element's node order.
//
// nord: 1 linear (corner nodes), 2 quadratic (serendipity); idif: 0 values,
// k > 0 the derivative with respect to natural coordinate k. Area and volume
// coordinates are differentiated as independent variables (the caller applies
// the constraint that they sum to 1).
//
// Node orders are lexicographic: xi fastest, then eta, then zeta; a simplex
// corner k is Lk = 1, and each mid-edge node comes between its corners:
//   quadrilateral  4: (-1,-1) (1,-1) (-1,1) (1,1)
//                  8: (-1,-1) (0,-1) (1,-1) (-1,0) (1,0) (-1,1) (0,1) (1,1)
//   hexahedron     8: the quadrilateral's 4 at zeta -1, then at zeta 1
//                 20: 8 at zeta -1, the 4 corners at zeta 0, 8 at zeta 1
//   pentahedron    6: corners 1 2 3 at zeta -1, then at zeta 1
//                 15: 6-node triangle at zeta -1, corners at zeta 0, at zeta 1
//   tetrahedron   10: 1, 1-2, 2, 1-3, 2-3, 3, 1-4, 2-4, 3-4, 4
//   triangle       6: 1, 1-2, 2, 1-3, 2-3, 3
//
// Messages: -8015 ("IDIF" or "NORD", value) for an argument out of range.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Quadrilateral at (xi, eta); idif 0-2.
void SHPQUA(word nord, word idif, std::span<const double> xi, std::span<double> n);
// Hexahedron at (xi, eta, zeta); idif 0-3.
void SHPHEX(word nord, word idif, std::span<const double> xi, std::span<double> n);
// Pentahedron at (L1, L2, L3, zeta); idif 1-3 d/dLk, 4 d/dzeta.
void SHPPEN(word nord, word idif, std::span<const double> x, std::span<double> n);
// Tetrahedron at (L1, L2, L3, L4); idif 1-4 d/dLk. Order 1 gives N(i) = Li.
void SHPTET(word nord, word idif, std::span<const double> l, std::span<double> n);
// Six-node triangle at (L1, L2, L3); idif 0-3.
void SHPTRI(word idif, std::span<const double> l, std::span<double> n);
// The six linear pentahedron functions (SHPPEN of order 1).
void SHPLIN(word idif, std::span<const double> x, std::span<double> n);

}  // namespace zephsol
