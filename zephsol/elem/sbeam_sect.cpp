// Section kinematics of the section beam.
#include <cassert>
#include <cmath>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/rules.h"
#include "zephsol/elem/sbeam.h"

namespace zephsol {
namespace {

using kin::Vec3;


constexpr double kPi = 3.1415926535;

// The section switch, word 31 of ETYCOM: 1 asks for equal depth intervals
// and a circular volume factor. No routine sets it.
bool section_switch() { return etycom().rsv30[1] == 1; }

// b = sqrt(A^3 / 12 I), h = sqrt(12 I / A) over property values 1-4.
void equivalent_rectangle(ESTCOM& e) {
  const float a = e.PROP[0], in = e.PROP[2];
  if (!(a > 0.0f)) elem_fatal(-8013, e.IEXN, real_word(a));
  if (!(in > 0.0f)) elem_fatal(-8013, e.IEXN, real_word(in));
  const double ad = a, id = in;
  const auto b = static_cast<float>(std::sqrt(ad * ad * ad / (12.0 * id)));
  const auto h = static_cast<float>(std::sqrt(12.0 * id / ad));
  e.PROP[0] = b;
  e.PROP[1] = h;
  e.PROP[2] = b;
  e.PROP[3] = h;
}

// e1 along X2 - X1, e3 along (X2 - X1) x (X3 - X1), e2 = e3 x e1; exact zero tests.
void member_axes(SBMCOM& s) {
  const Vec3 x1 = kin::node3(1);
  const Vec3 d = kin::sub(kin::node3(2), x1);
  if (kin::dot(d, d) == 0.0) elem_fatal(-8005, estcom().IEXN, 1);
  const Vec3 c = kin::cross(d, kin::sub(kin::node3(3), x1));
  if (kin::dot(c, c) == 0.0) elem_fatal(-8005, estcom().IEXN, 3);
  const Vec3 b2 = kin::cross(c, d);
  s.L = kin::norm(d);
  kin::store_triad(s.T, kin::scale(d, 1.0 / s.L), kin::scale(b2, 1.0 / kin::norm(b2)),
                   kin::scale(c, 1.0 / kin::norm(c)));
}

}  // namespace


void SBMSEC(word mode, word nsta, word ny, word nz) {
  if (nsta < 1 || nsta > 5) bad_argument("NSTA", nsta);
  if (ny < 1 || ny > 13) bad_argument("NY", ny);
  if (nz < 1 || nz > 5) bad_argument("NZ", nz);
  ESTCOM& e = estcom();
  SBMCOM& s = sbmcom();
  equivalent_rectangle(e);
  GAUSPT(nsta, s.XS, s.WS);
  NCOTPT(nz, s.ZP, s.WZ);
  if (section_switch()) {
    // Left ends of ny equal intervals of [-1, 1].
    for (int j = 0; j < ny; ++j) {
      s.YP[j] = (2.0 / ny) * j - 1.0;
      s.WY[j] = 2.0 / ny;
    }
  } else {
    NCOTPT(ny, s.YP, s.WY);
  }
  member_axes(s);
  if (mode != 0) return;
  for (int i = 0; i < nsta; ++i) {
    const double a = (1.0 - s.XS[i]) / 2.0, b = (1.0 + s.XS[i]) / 2.0;
    s.BW[i] = a * e.PROP[0] + b * e.PROP[2];
    s.HD[i] = a * e.PROP[1] + b * e.PROP[3];
    // (L/2)(b/2)(h/2): the volume of the map from [-1, 1]^3.
    s.F[i] = section_switch() ? (s.HD[i] - s.BW[i]) * kPi * s.L / 4.0 : s.L * s.BW[i] * s.HD[i] / 8.0;
  }
}

void BSBEAM2(double xi) {
  SBMCOM& s = sbmcom();
  const double l = s.L, sc = 2.0 / l;
  const double vq = sc * sc * 1.5 * xi;  // d2/dx2 of the Hermitian end-displacement functions
  const double r1 = sc * (6.0 * xi - 2.0) / 4.0, r2 = sc * (6.0 * xi + 2.0) / 4.0;  // of the end-slope functions
  s.BT = {-1 / l, -vq, -vq, 0, r1, -r1, 1 / l, vq, vq, 0, r2, -r2,  // e_x
          0, 0, 0, 1 / l, 0, 0, 0, 0, 0, -1 / l, 0, 0,              // g_xy
          0, 0, 0, -1 / l, 0, 0, 0, 0, 0, 1 / l, 0, 0};             // g_xz
  s.BP = s.BT;
}

void BSBMPT(word mode, word i, word j, word k, word /*ny*/, word /*nz*/, word& ipt) {
  assert(i >= 1 && i <= 5 && j >= 1 && j <= 13 && k >= 1 && k <= 5);
  SBMCOM& s = sbmcom();
  ipt = mode == 0 ? 25 * i + 5 * j + k - 30 : 25 * i + 10 * j + 2 * k - 36;
  const double y = s.HD[i - 1] * s.YP[j - 1] / 2.0;
  const double z = s.BW[i - 1] * s.ZP[k - 1] / 2.0;
  s.W = s.F[i - 1] * s.WS[i - 1] * s.WY[j - 1] * s.WZ[k - 1];
  s.BP = s.BT;
  // e_x: v, rz by y; w, ry by z. g_xy: rx by z. g_xz: rx by y.
  for (int node = 0; node < 2; ++node) {
    const int o = 6 * node;
    s.BP[o + 1] *= y;
    s.BP[o + 5] *= y;
    s.BP[o + 2] *= z;
    s.BP[o + 4] *= z;
    s.BP[12 + o + 3] *= z;
    s.BP[24 + o + 3] *= y;
  }
}

}  // namespace zephsol
