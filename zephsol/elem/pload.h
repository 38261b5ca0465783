// Internals shared by the element load routines: the rejection of a load
// code, the checked values of an entry, the surface integration of a
// pressure over a solid or shell face given by a face table, and the area
// shares of a plane quadrilateral.
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/words.h"

namespace zephsol::pload {

// -8019: the load code (or load type) is not one the element takes.
[[noreturn]] inline void bad_code(word code) { elem_fatal(-8019, estcom().IEXN, code); }

// An entry must carry at least the n values its code reads.
inline void need(std::span<const float> values, std::size_t n, word code) {
  if (values.size() < n) bad_code(code);
}

// pe(dpn (node - 1) + s) += v, node 1-based, s 0-based.
inline void add_at(std::span<double> pe, int dpn, int node, int s, double v) {
  pe[static_cast<std::size_t>(dpn * (node - 1) + s)] += v;
}

// Face functions: 4- and 8-node quadrilaterals, 3- and 6-node triangles.
enum class FaceShape { Quad4, Quad8, Tri3, Tri6 };

// A face: the element's node (1-based) at each position of the face functions.
struct Face {
  FaceShape shape;
  std::array<int, 8> node;
};

constexpr int face_size(FaceShape s) {
  return s == FaceShape::Quad4 ? 4 : s == FaceShape::Quad8 ? 8 : s == FaceShape::Tri3 ? 3 : 6;
}

// How an entry's values are laid on the face.
enum class ValueOrder {
  Table,      // value k at position k
  Perimeter,  // once around the face
};

// The values of an entry at the positions of the face functions (p[k - 1]
// for position k), widened.
std::array<double, 8> values_at_positions(FaceShape shape, ValueOrder order, std::span<const float> values);

// Consistent forces of the pressure p = sum N_k P_k acting against the face
// normal a1 x a2: the node at position k receives -integral N_k p n dA in its
// three translations (dpn DOFs per node). A zero normal drops the point on a
// quadrilateral and the whole entry on a triangle.
void face_pressure(const Face& face, std::span<const double> p, int dpn, std::span<double> pe);

// A_k = integral of N_k over a plane quadrilateral with corner coordinates
// xl = (x'_k, y'_k) at the positions of the 4-node functions; points with a
// non-positive determinant are skipped. With trace every term added to the
// consistent matrix is printed on the listing.
std::array<double, 4> plane_quad_shares(std::span<const double, 8> xl, bool trace);

}  // namespace zephsol::pload
