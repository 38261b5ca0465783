// Internal forces: the dispatcher FELEM and the forces of the line elements
// and the spring, which come from the end forces their stress routines keep
// in block 8 of point 1 (values 2-13: node 1's six, then node 2's six).
#include <algorithm>
#include <array>
#include <cstddef>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/typerow.h"

namespace zephsol {
namespace {

constexpr std::size_t kBlock8 = 7;  // switch index of block 8

// The twelve stored end forces of point 1.
std::span<const double, 12> end_forces() { return std::span<const double, 12>(eivwka().blk.b8.v.data() + 1, 12); }

// Beam end forces in member axes, kept in block 8 of the given point, turned
// into global DOFs, FE = T^T FL in four blocks of three (forces and moments
// of each node).
void beam_forces(word point, std::span<double> fe) {
  EIVGTA(point);
  if (eivwka().sw[kBlock8] == 0) return;
  std::array<double, 9> t{};
  double l = 0.0;
  LAXT3(t, l);
  eu::turn_vector(3, 3, 4, t, end_forces(), fe);
}

// The internal-force routine of the current element's type; a refused code,
// or one outside 1-29, ends the run with -5000.
ForceRoutine force_of(const ESTCOM& e) {
  const ElementType* row = element_type(e.IECOD);
  if (row == nullptr || row->force == nullptr) record_fatal(-5000, e.IECOD, e.IEXN);
  return row->force;
}

}  // namespace

void FROD2(std::span<double> FE) {
  double l = 0.0;
  const std::array<double, 3> c = eu::member_axis(l);
  EIVGTA(1);
  eu::axial_pair(FE, c, eivwka().vec[0][0] * eu::prop(1), 3);
}

void FBEAM2(std::span<double> FE) { beam_forces(1, FE); }

// The section beam keeps its end forces with the middle section point of its
// middle station, one of its output points.
void FSBEAM2(std::span<double> FE) { beam_forces(kSectionBeamForcePoint, FE); }

void FSPG2(std::span<double> FE) {
  EIVGTA(1);
  const auto f = end_forces();
  for (std::size_t i = 0; i < 12; ++i) FE[i] += f[i];
}

void FELEM(std::span<double> G) {
  const ESTCOM& e = estcom();
  const int n = etycom().NDOF;
  std::array<double, ESTCOM::kMaxDof> fe{};
  const std::span<double> fen = std::span<double>(fe).first(static_cast<std::size_t>(n));
  force_of(e)(fen);
  eu::scatter_add(fen, -1.0, G);
}

}  // namespace zephsol
