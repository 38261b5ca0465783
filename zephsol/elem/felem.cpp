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

using Force = void (*)(std::span<double>);

void reject_type(std::span<double>) { elem_fatal(-5000, estcom().IECOD, estcom().IEXN); }

// The option flags (IBBAR, ISHEAR): (0, 1) for the plain codes, (1, 0) for the R codes.
template <int Ibbar, int Ishear>
void f_hex8(std::span<double> fe) { FHEX8(fe, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void f_qax4(std::span<double> fe) { FQAX4(fe, Ibbar, Ishear); }
template <int Ibbar, int Ishear>
void f_qplan4(std::span<double> fe) { FQPLAN4(fe, Ibbar, Ishear); }

// Internal-force routine per type code; the codes without element routines reject.
constexpr std::array<Force, 31> force_table() {
  std::array<Force, 31> t{};
  t.fill(reject_type);
  t[1] = f_hex8<0, 1>;
  t[2] = FPENT6;
  t[3] = f_qax4<0, 1>;
  t[4] = FTAX3;
  t[5] = FBEAM2;
  t[6] = FROD2;
  t[7] = FQFLA4;
  t[9] = FQMEM4;
  t[10] = FTMEM3;
  t[11] = f_qplan4<0, 1>;
  t[12] = FTPLAN3;
  t[14] = FJOINT4;
  t[15] = FHEX20;
  t[16] = FPENT15;
  t[17] = FTET10;
  t[18] = FJOINT6;
  t[19] = FJOINT8;
  t[20] = FJOINT12;
  t[21] = FJOINT16;
  t[22] = FSPG2;
  t[23] = FCNT2;
  t[26] = FSBEAM2;
  t[27] = f_hex8<1, 0>;
  t[28] = f_qax4<1, 0>;
  t[29] = f_qplan4<1, 0>;
  return t;
}

constexpr std::array<Force, 31> kForces = force_table();

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
  const word code = e.IECOD;
  const Force f = code >= 1 && code <= 30 ? kForces[static_cast<std::size_t>(code)] : reject_type;
  const std::span<double> fen = std::span<double>(fe).first(static_cast<std::size_t>(n));
  f(fen);
  eu::scatter_add(fen, -1.0, G);
}

}  // namespace zephsol
