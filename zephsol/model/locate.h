// Point location in continuum elements: whether a point lies in an element
// and the element's shape-function values there. Each type's row
// (zephsol/elem/typerow.h) names its routine.
//
// Each routine takes a point P (three REAL coordinates in the basic system;
// the planar and axisymmetric routines use the first two) and reads the
// element's node coordinates from the current-element record (ESTCOM XYZ,
// node by node in the shape-function node order: three words a node for
// the solids, two for the planar and axisymmetric types). It returns flag -1
// (all bits set) when P lies in the element and 0 otherwise, and leaves the
// shape values at the natural coordinates reached, one per node, and those
// coordinates in PNTLOC.
//
// The isoparametric routines start at the element centre, reject a point
// farther from the mapped centre than the element's farthest node, and
// invert the map by at most six Newton corrections of the natural
// coordinates (stopping when the squared distance falls below 1.0E-8 in the
// model's units); a non-positive Jacobian determinant rejects the point. The
// natural coordinates are then tested against the reference domain widened by
// 0.001. The linear triangles are solved directly in area coordinates.
#pragma once

#include <array>
#include <span>

#include "zephsol/elem/typerow.h"
#include "zephsol/exec/words.h"
#include "zephsol/model/model_records.h"

namespace zephsol {

void LCHEX8(const Point& p, word& flag);    // HEX8, HEX8R
void LCHEX20(const Point& p, word& flag);   // HEX20
void LCPENT6(const Point& p, word& flag);   // PENT6
void LCPENT15(const Point& p, word& flag);  // PENT15
void LCTET10(const Point& p, word& flag);   // TET10
void LCQAX4(const Point& p, word& flag);    // QAX4, QAX4R
void LCQPLAN4(const Point& p, word& flag);  // QPLAN4, QPLAN4R
void LCTAX3(const Point& p, word& flag);    // TAX3
void LCTPLAN3(const Point& p, word& flag);  // TPLAN3

// What the last call left (PNTLOC, zephsol/model/model_records.h).
inline const PNTLOC& point_location() noexcept { return model_state().pntloc; }

// The bounding sphere by which a routine first rejects a point: the mapped
// centre and the largest squared distance from it to a node, for the
// routine's coordinates (2 or 3 a node) in ESTCOM. A point whose squared
// distance from the centre exceeds `r2` is outside the element.
struct Sphere {
  std::array<double, 3> centre{};
  double r2 = 0.0;
};
Sphere locator_sphere(Locator routine);
// Coordinates a node of the routine's elements (2 or 3) and its node count.
int locator_dimension(Locator routine);
int locator_nodes(Locator routine);

}  // namespace zephsol
