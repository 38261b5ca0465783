// Stress routines of the rod ROD2 (one point through the point law, axial
// force N = sigma A) and the spring SPG2 (end forces growing by K du).
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {
constexpr std::size_t kBlock8 = 7;  // switch index
}  // namespace

void SROD2(word ITHERM, std::span<const float> TEMP, std::span<const double> UE, std::span<double> FE) {
  sigcom().KDECHE = -1;
  double l = 0.0;
  const std::array<double, 3> c = eu::member_axis(l);
  EIVGTA(1);
  EIVWK& b = eivwkb();
  // d eps = c . (u2 - u1) / L
  double d = 0.0;
  for (std::size_t i = 0; i < 3; ++i) d += c[i] * (UE[i + 3] - UE[i]);
  b.vec[2][0] = d / l;
  const double a = eu::prop(1);
  b.sw[2] = ITHERM != 0 ? 1 : 0;
  if (ITHERM != 0) {
    const double tm = (static_cast<double>(TEMP[0]) + TEMP[1]) / 2.0;
    const MATCOM& m = matcom();
    // With a prestress group the two values are forces: the strain that carries Tm.
    b.blk.b3.s = tm;
    b.blk.b3.v[0] = ifpflg().IFPPRS != 0 ? tm / (a * m.w(mw::E)) : m.w(mw::ALPHA) * tm;
  }
  ELMSIG();
  EIVWK& pt = eivwka();
  const double n = pt.vec[0][0] * a;
  pt.blk.b8.v = {};
  pt.blk.b8.v[1] = -n;
  pt.blk.b8.v[7] = n;
  pt.sw[kBlock8] = 1;
  eu::axial_pair(FE, c, n, 3);
  EIVPTA();
}

void SSPG2(word, std::span<const float>, std::span<const double> UE, std::span<double> FE) {
  EIVGTA(1);
  std::array<double, 78> k{};
  KSPG2(k);
  std::array<double, 12> df{};
  PKMVEC(k, UE.first(12), 12, df);
  EIVWK& pt = eivwka();
  pt.sw[kBlock8] = 1;
  for (std::size_t i = 0; i < 12; ++i) {
    pt.blk.b8.v[i + 1] += df[i];
    FE[i] = pt.blk.b8.v[i + 1];
  }
  EIVPTA();
}

}  // namespace zephsol
