// Stress routines of the beams: the closed-form BEAM2, whose end forces grow
// by the element stiffness times the increment and may follow a
// moment-curvature law in bending about local z, and the section beam
// SBEAM2, integrated over stations and section points through the point law.
#include <array>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/kint.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/sbeam.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/iter/sstruct_util.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

using eu::prop;
using eu::prop_int;

constexpr std::size_t kBlock8 = 7, kBlock10 = 9, kBlock11 = 10;  // switch indices

// Message 8205: "はり要素の剛性低下率が０以下です" (the stiffness reduction
// ratio of the beam element is zero or less), CP932, leading blank and three
// trailing blanks.
constexpr std::string_view kSjisReductionRatio =
    " \202\315\202\350\227\166\221\146\202\314\215\204\220\253\222\341\211\272\227\246\202\252\202\117\210\310"
    "\211\272\202\305\202\267   ";

// One side of the moment-curvature curve: break moments M1, M2 with the
// stiffness ratios r1, r2 that follow them, and the break curvatures.
struct CurveSide {
  double m1, r1, m2, r2, phi1, phi2, phi3;
};

struct MomentCurvature {
  double ei0;
  CurveSide pos, neg;
};

// The law of property words 9-18 for a bending rigidity EI0 = E Iz; a
// reduction ratio that leaves no positive slope is message 8205.
MomentCurvature curve_law(double e) {
  const double ei0 = prop(3) * e;
  for (int w : {10, 12, 14, 16})
    if (ei0 * prop(w) <= 0.0) beam_fatal(std::string("0*** USER FATAL MESSAGE 8205,").append(kSjisReductionRatio));
  const auto side = [ei0](double m1, double r1, double m2, double r2, double mu) {
    CurveSide s{m1, r1, m2, r2, 0.0, 0.0, 0.0};
    s.phi1 = m1 / ei0;
    s.phi2 = s.phi1 + (m2 - m1) / (r1 * ei0);
    // phi2 already holds phi1, which enters the third break curvature twice.
    s.phi3 = s.phi1 + s.phi2 + (mu - m2) / (r2 * ei0);
    return s;
  };
  return {ei0, side(std::fabs(prop(9)), prop(10), std::fabs(prop(11)), prop(12), prop(17)),
          side(-std::fabs(prop(13)), prop(14), -std::fabs(prop(15)), prop(16), prop(18))};
}

struct Branch {
  word state;
  double m, eit;
};

// Branch of the curve at curvature phi: the state, the curve moment and the
// tangent rigidity; phi exactly at a break curvature stays on the lower branch.
Branch curve_branch(const MomentCurvature& c, double phi) {
  const CurveSide& s = phi >= 0.0 ? c.pos : c.neg;
  const double sg = phi >= 0.0 ? 1.0 : -1.0;  // compares on the side's own direction
  if (sg * phi <= sg * s.phi1) return {0, c.ei0 * phi, c.ei0};
  if (sg * phi <= sg * s.phi2) return {1, s.m1 + (phi - s.phi1) * s.r1 * c.ei0, s.r1 * c.ei0};
  return {sg * phi <= sg * s.phi3 ? word{2} : word{3}, s.m2 + (phi - s.phi2) * s.r2 * c.ei0, s.r2 * c.ei0};
}

// The governing moment of code c from the z moments m1 (node 1), m2 (node 2)
// and their increments d1, d2: 1 node 1, 2 node 2, 3 the end of the larger
// moment (node 2 on a tie), otherwise the mean of the two.
std::array<double, 2> governing(word c, double m1, double m2, double d1, double d2) {
  if (c == 3) c = std::fabs(m1) <= std::fabs(m2) ? 2 : 1;
  if (c == 1) return {-m1, -d1};
  if (c == 2) return {m2, d2};
  return {(m2 - m1) / 2.0, (d2 - d1) / 2.0};
}

double ratio(double phi, double brk) { return brk == 0.0 ? 0.0 : phi / brk; }

// End moments about z moved onto the curve: the end shears follow them, so
// that the end forces stay in equilibrium, Vy1 = -Vy2 = (Mz1 + Mz2) / L, and
// what the element no longer carries is an unbalance at its free freedoms.
void rescale_end_moments(std::array<double, 13>& r, double m1, double m2, double l) {
  const double shear = (m1 - r[6] + m2 - r[12]) / l;
  r[6] = m1;
  r[12] = m2;
  r[2] += shear;
  r[8] -= shear;
}

// The moment-curvature update of the point in EIVWKA after the end forces
// took the increment df (member axes) over the length l; r the point's end
// forces (block 8).
void moment_curvature(const MomentCurvature& c, std::span<const double, 12> df, word start, double l) {
  EIVWK& pt = eivwka();
  auto& r = pt.blk.b8.v;
  double& r7 = r[6];
  double& r13 = r[12];
  const word code = prop_int(19);
  const auto [mg, dmg] = governing(code, r7, r13, df[5], df[11]);
  const double rho1 = std::fabs(mg) > 0.0 ? std::fabs(r7) / std::fabs(mg) : 0.0;
  const double rho2 = std::fabs(mg) > 0.0 ? std::fabs(r13) / std::fabs(mg) : 0.0;
  double& phi = pt.vec[2][5];
  const STPCTR& sc = stpctr();
  if (sc.NITER == 0 && sc.NSTEPC == 1) phi = governing(code, r7 - df[5], r13 - df[11], 0.0, 0.0)[0] / c.ei0;
  phi += dmg / (start == 0 ? c.ei0 : pt.blk.b11.v);
  const Branch b = curve_branch(c, phi);
  r[0] = b.m;
  const CurveSide& side = phi >= 0.0 ? c.pos : c.neg;
  pt.blk.b10.v[0] = ratio(phi, side.phi1);
  pt.blk.b10.v[1] = ratio(phi, side.phi2);
  // Branches 2 and 3 lie on the same slope; any other change of branch,
  // into or out of 3 included, leaves the end moments off the curve.
  const auto slope = [](word state) { return state == 3 ? word{2} : state; };
  if (slope(b.state) != slope(start)) {
    // Back onto the curve: the end moments scaled to the curve moment.
    const double m1 = rho1 * b.m, m2 = rho2 * b.m;
    const double flip = b.m * mg * static_cast<double>(1.0E-10f) < 0.0 ? -1.0 : 1.0;
    rescale_end_moments(r, flip * (m1 * r7 >= 0.0 ? m1 : -m1), flip * (m2 * r13 >= 0.0 ? m2 : -m2), l);
    sigcom().KITER = -1;
  }
  pt.blk.b11.iv[0] = b.state;
  pt.blk.b11.v = b.eit;
}

}  // namespace

void SBEAM(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  const double e = matcom().w(mw::E);
  const bool law = prop_int(20) == 1;
  const MomentCurvature curve = law ? curve_law(e) : MomentCurvature{};
  std::array<double, 9> t{};
  double l = 0.0;
  LAXT3(t, l);
  std::array<double, 12> ul{};
  su::to_local(3, 3, 4, t, UE, ul);
  EIVGTA(1);
  EIVWK& pt = eivwka();
  const word start = pt.blk.b11.iv[0];
  pt.blk.b11.iv[1] = start;
  if (pt.sw[kBlock8] == 0) pt.blk.b8 = {};
  beam_check_material();

  // df = K u' less the thermal end forces, K the same closed form as the stiffness.
  std::array<double, 78> k{};
  beam_local_stiffness(beam_section(), l, k);
  std::array<double, 12> df{};
  PKMVEC(k, ul, 12, df);
  if (ITHERM != 0) {
    std::array<double, 12> th{};
    BMTEMP(TEMP, th, -1);
    for (std::size_t i = 0; i < 12; ++i) df[i] -= th[i];
  }
  auto& r = pt.blk.b8.v;
  for (std::size_t i = 0; i < 12; ++i) r[i + 1] += df[i];
  if (law) {
    moment_curvature(curve, df, start, l);
    pt.sw[kBlock10] = 1;
    pt.sw[kBlock11] = 1;
  }
  pt.sw[kBlock8] = 1;
  EIVPTA();
  eu::turn_vector(3, 3, 4, t, std::span<const double>(r).subspan(1, 12), FE);
}

void SSBEAM2(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  constexpr word kStations = 5, kPositions = 5;
  sigcom().KDECHE = -1;
  SBMSEC(0, kStations, kPositions, kPositions);
  SBMCOM& s = sbmcom();
  std::array<double, 9> t{};
  double l = 0.0;
  LAXT3(t, l);
  std::array<double, 12> ul{}, fl{};
  su::to_local(3, 3, 4, t, UE, ul);
  EIVWK& b = eivwkb();
  b.vec[2] = {};
  const double tm = ITHERM != 0 ? (static_cast<double>(TEMP[0]) + TEMP[1]) / 2.0 : 0.0;
  each_section_point(0, kStations, kPositions, kPositions, [&](word p) {
    EIVGTA(p);
    // d eps = B u' (axial strain and the two shears of the section point).
    for (std::size_t c = 0; c < 3; ++c) {
      double d = 0.0;
      for (std::size_t j = 0; j < 12; ++j) d += s.BP[12 * c + j] * ul[j];
      b.vec[2][c] = d;
    }
    b.sw[2] = ITHERM != 0 ? 1 : 0;
    if (ITHERM != 0) {
      b.blk.b3.s = tm;
      b.blk.b3.v = {static_cast<double>(matcom().w(mw::ALPHA)) * tm, 0.0, 0.0, 0.0, 0.0, 0.0};
    }
    ELMSIG();
    std::array<double, 3> ws{};
    for (std::size_t c = 0; c < 3; ++c) ws[c] = s.W * eivwka().vec[0][c];
    kint::add_btv<3, 12>(s.BP, ws, fl);
    EIVPTA();
  });
  EIVGTA(kSectionBeamForcePoint);
  eivwka().sw[kBlock8] = 1;
  for (std::size_t i = 0; i < 12; ++i) eivwka().blk.b8.v[i + 1] = fl[i];
  EIVPTA();
  eu::turn_vector(3, 3, 4, t, fl, FE);
}

}  // namespace zephsol
