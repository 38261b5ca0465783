// Stiffness of the two-node line elements: the closed-form beam BEAM2 with
// shear deformation and end releases, the rod ROD2, the spring SPG2, and the
// section beam SBEAM2 integrated over stations and section points.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/sbeam.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mkinds.h"

namespace zephsol {
namespace {

using eu::pk;
using eu::prop;

constexpr int kBeamDof = 12;

// One bending plane of the beam: translation t and rotation r DOFs of each
// end, rigidity EI, shear factor f = 1/(1 + phi), and the sign s of the
// translation-rotation coupling at end 1 (+1 for v/rz, -1 for w/ry).
struct BendingPlane {
  int t1, r1, t2, r2;
  double ei, f, phi, s;
};

// Full form: 12EIf/L^3, 6EIf/L^2, (4 + phi)EIf/L and (2 - phi)EIf/L.
void bend_full(std::span<double> k, const BendingPlane& p, double l) {
  const double a = 12.0 * p.ei * p.f / (l * l * l), b = 6.0 * p.ei * p.f / (l * l);
  pk(k, p.t1, p.t1, kBeamDof) = pk(k, p.t2, p.t2, kBeamDof) = a;
  pk(k, p.t1, p.t2, kBeamDof) = -a;
  pk(k, p.t1, p.r1, kBeamDof) = pk(k, p.t1, p.r2, kBeamDof) = p.s * b;
  pk(k, p.r1, p.t2, kBeamDof) = pk(k, p.t2, p.r2, kBeamDof) = -p.s * b;
  pk(k, p.r1, p.r1, kBeamDof) = pk(k, p.r2, p.r2, kBeamDof) = (4.0 + p.phi) * p.ei * p.f / l;
  pk(k, p.r1, p.r2, kBeamDof) = (2.0 - p.phi) * p.ei * p.f / l;
}

// Released form: 3EIf/L^3, 3EIf/L^2 and (3 + phi)EIf/L, no end-to-end rotation coupling.
void bend_released(std::span<double> k, const BendingPlane& p, double l) {
  const double a = 3.0 * p.ei * p.f / (l * l * l), b = 3.0 * p.ei * p.f / (l * l);
  pk(k, p.t1, p.t1, kBeamDof) = pk(k, p.t2, p.t2, kBeamDof) = a;
  pk(k, p.t1, p.t2, kBeamDof) = -a;
  pk(k, p.t1, p.r1, kBeamDof) = pk(k, p.t1, p.r2, kBeamDof) = p.s * b;
  pk(k, p.r1, p.t2, kBeamDof) = pk(k, p.t2, p.r2, kBeamDof) = -p.s * b;
  pk(k, p.r1, p.r1, kBeamDof) = pk(k, p.r2, p.r2, kBeamDof) = (3.0 + p.phi) * p.ei * p.f / l;
  pk(k, p.r1, p.r2, kBeamDof) = 0.0;
}

// Released end: every term of that end's rotations is cleared.
constexpr std::array<std::array<int, 2>, 7> kEnd1Rotations{{{2, 6}, {3, 5}, {4, 4}, {5, 5}, {5, 9}, {6, 6}, {6, 8}}};
constexpr std::array<std::array<int, 2>, 7> kEnd2Rotations{
    {{2, 12}, {3, 11}, {8, 12}, {9, 11}, {10, 10}, {11, 11}, {12, 12}}};

void clear_terms(std::span<double> k, const std::array<std::array<int, 2>, 7>& terms) {
  for (const auto& t : terms) pk(k, t[0], t[1], kBeamDof) = 0.0;
}

// Shear parameter phi = 12 E I / (G As L^2) for a shear area As > 0, else 0.
double shear_parameter(double e, double g, double i, double as, double l) {
  return as > 0.0 ? 12.0 * e * i / (g * as * l * l) : 0.0;
}

// A modulus or Poisson's ratio that would divide the closed form by zero.
[[noreturn]] void bad_modulus(double value) { elem_fatal(-8013, estcom().IEXN, real_word(static_cast<float>(value))); }

// Tangent modulus of point 1 (one term for the rod's class).
double point_modulus(word point) {
  EIVGTA(point);
  std::array<double, 21> d{};
  STPMTX(d);
  return d[0];
}

}  // namespace

void beam_fatal(std::string_view text) {
  for (int unit : {kListing, kErrorLog}) {
    fwrite_unit(unit, "(A)", {text});
    fwrite_unit(unit, "(10X,'ELEMENT =',I8,', MATERIAL ID =',I8)", {estcom().IEXN, estcom().MATID});
  }
  sysw().NLINE += 2;
  sysw().IERFLG = 1;
  RUNEND();
}

void beam_check_material() {
  const word kind = matcom().MATKND;
  if (!material_kind(kind).on_beams)
    beam_fatal("0*** USER FATAL MESSAGE 8204, MATERIAL PROPERTY NOT APPLICABLE FOR THE ELEMENT.");
}

BeamSection beam_section() {
  const MATCOM& m = matcom();
  BeamSection s{m.w(mw::E), m.w(mw::NU), prop(1), prop(2), prop(3), prop(4), prop(5), prop(6),
                eu::prop_int(7), eu::prop_int(8)};
  if (!(s.e > 0.0)) bad_modulus(s.e);
  if (!(s.nu + 1.0 > 0.0)) bad_modulus(s.nu);
  const EIVWK& pt = eivwka();
  if (pt.blk.b11.iv[0] != 0 && eu::prop_int(20) == 1) s.iz = pt.blk.b11.v / s.e;
  return s;
}

void beam_local_stiffness(const BeamSection& s, double l, std::span<double> KL) {
  std::fill(KL.begin(), KL.begin() + 78, 0.0);
  const double e = s.e, g = 0.5 * e / (s.nu + 1.0);
  const double j = s.j == 0.0 ? s.iy + s.iz : s.j;
  pk(KL, 1, 1, kBeamDof) = pk(KL, 7, 7, kBeamDof) = e * s.a / l;
  pk(KL, 1, 7, kBeamDof) = -e * s.a / l;
  // Released at both ends: a pin-ended member, a bar that resists neither
  // bending nor twist.
  if (s.r1 == 1 && s.r2 == 1) return;
  const double phia = shear_parameter(e, g, s.iz, s.as_y, l), phib = shear_parameter(e, g, s.iy, s.as_z, l);
  const BendingPlane xy{2, 6, 8, 12, e * s.iz, 1.0 / (1.0 + phia), phia, 1.0};
  const BendingPlane xz{3, 5, 9, 11, e * s.iy, 1.0 / (1.0 + phib), phib, -1.0};
  pk(KL, 4, 4, kBeamDof) = pk(KL, 10, 10, kBeamDof) = g * j / l;
  if (s.r1 == 0 && s.r2 == 0) {
    pk(KL, 4, 10, kBeamDof) = -g * j / l;
    bend_full(KL, xy, l);
    bend_full(KL, xz, l);
    return;
  }
  bend_released(KL, xy, l);
  bend_released(KL, xz, l);
  if (s.r1 == 1) clear_terms(KL, kEnd1Rotations);
  if (s.r2 == 1) clear_terms(KL, kEnd2Rotations);
}

void KBEAM2(std::span<double> KE, word LOCAL) {
  EIVGTA(1);
  beam_check_material();
  std::array<double, 78> kl{};
  std::array<double, 9> t{};
  double l = 0.0;
  LAXT3(t, l);
  beam_local_stiffness(beam_section(), l, kl);
  if (LOCAL & 1) {
    std::copy(kl.begin(), kl.end(), KE.begin());
    return;
  }
  LAXTRN(3, 3, 4, t, kl, KE);
}

void BMTEMP(std::span<const float> TEMP, std::span<double> F, word MODE) {
  const double tm = (static_cast<double>(TEMP[0]) + TEMP[1]) / 2.0;
  // P = -E A alpha Tm: the end forces that hold the member at its length.
  const double p = -(static_cast<double>(matcom().w(mw::E)) * prop(1) * matcom().w(mw::ALPHA) * tm);
  std::fill(F.begin(), F.begin() + kBeamDof, 0.0);
  if (MODE & 1) {
    F[0] = p;
    F[6] = -p;
    return;
  }
  std::array<double, 9> t{};
  double l = 0.0;
  LAXT3(t, l);
  for (std::size_t j = 0; j < 3; ++j) {
    F[j] = p * t[3 * j];
    F[6 + j] = -p * t[3 * j];
  }
}

void KROD2(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH) {
  sigcom().KDECHE = -1;
  const double et = point_modulus(1);
  double l = 0.0;
  const std::array<double, 3> c = eu::member_axis(l);
  const double a = prop(1);
  if (!(a > 0.0)) elem_fatal(-8013, estcom().IEXN, real_word(static_cast<float>(a)));
  const double k = a * et / l;
  // K = k [c c^T, -c c^T; -c c^T, c c^T].
  for (int i = 1; i <= 3; ++i)
    for (int j = 1; j <= 3; ++j) {
      const double v = k * c[static_cast<std::size_t>(i - 1)] * c[static_cast<std::size_t>(j - 1)];
      if (i <= j) {
        pk(KE, i, j, 6) += v;
        pk(KE, i + 3, j + 3, 6) += v;
      }
      pk(KE, i, j + 3, 6) -= v;
    }
  if (!(LTHERM & 1)) return;
  const double tm = (static_cast<double>(TEMP[0]) + TEMP[1]) / 2.0;
  // Prestress: the two values are axial forces; otherwise F = alpha A Et Tm.
  const double f = ifpflg().IFPPRS != 0 ? tm : matcom().w(mw::ALPHA) * a * et * tm;
  eu::axial_pair(TH, c, f, 3);
}

void KSPG2(std::span<double> KE) {
  std::fill(KE.begin(), KE.begin() + 78, 0.0);
  for (int i = 1; i <= 6; ++i) {
    const double k = prop(i);
    pk(KE, i, i, kBeamDof) = pk(KE, i + 6, i + 6, kBeamDof) = k;
    pk(KE, i, i + 6, kBeamDof) = -k;
  }
}

// The stiffness is integrated over the same 5 x 5 section points of each
// station as the stresses: sampled at the middle and the faces of the depth
// only, the tangent of a section whose faces have yielded would lose the
// rigidity of the fibres between them (all of it without hardening), and the
// iterations, in which a yielded point does not unload, would settle far off.
void KSBEAM2(word LTHERM, std::span<const float> TEMP, std::span<double> KE, std::span<double> TH, word LOCAL) {
  constexpr word kStations = 5, kPoints = 5;
  sigcom().KDECHE = -1;
  const double a = prop(1);
  SBMSEC(0, kStations, kPoints, kPoints);
  SBMCOM& s = sbmcom();
  std::fill(KE.begin(), KE.begin() + 78, 0.0);
  double et = 0.0;
  each_section_point(0, kStations, kPoints, kPoints, [&](word q) {
    EIVGTA(q);
    std::array<double, 21> d{};
    STPMTX(d);
    et = d[0];
    for (std::size_t i = 0; i < 6; ++i) d[i] *= s.W;
    BTDB(s.BP, d, kBeamDof, 3, KE);
  });
  if (LTHERM & 1) {
    const double tm = (static_cast<double>(TEMP[0]) + TEMP[1]) / 2.0;
    double l = 0.0;
    const std::array<double, 3> c = eu::member_axis(l);
    eu::axial_pair(TH, c, matcom().w(mw::ALPHA) * et * a * tm, 6);
  }
  if (!(LOCAL & 1)) LAXTRN(3, 3, 4, s.T, KE, KE);
}

}  // namespace zephsol
