// Line load of the section beam with end moments: the consistent end forces
// and moments of a load per unit length integrated over the member's
// stations, linear functions for the axial part and cubic Hermitian ones for
// the two transverse parts, as the section beam's own displacement field.
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/elem/pload.h"
#include "zephsol/elem/sbeam.h"

namespace zephsol {
namespace {

using kin::Vec3;

constexpr double kPi = 3.1415926535;
constexpr word kStations = 5;
constexpr word kBodyCode = 7;

// Section area at station i: pi (ro^2 - ri^2) of the tube whose outer and
// inner radii the depth and width words hold when the section switch (word
// 31 of ETYCOM) is 1, else the rectangle b h.
double station_area(const SBMCOM& s, std::size_t i) {
  if (etycom().rsv30[1] == 1) return kPi * (s.HD[i] * s.HD[i] - s.BW[i] * s.BW[i]);
  return s.BW[i] * s.HD[i];
}

// Global direction of a line-load code and the factor from its load
// measure to the true length: 1 along e2, 2 along e3, 10 a + 2 along global
// axis a per true length, 10 a + 1 per length of the member's projection on
// the plane normal to that axis (L_proj / L).
Vec3 load_direction(word code, const SBMCOM& s, double& per_true_length) {
  per_true_length = 1.0;
  if (code == 1 || code == 2) return kin::triad_axis(s.T, code);
  const word a = code / 10, m = code % 10;
  if (a < 1 || a > 3 || m < 1 || m > 2) pload::bad_code(code);
  Vec3 u{};
  u[a - 1] = 1.0;
  if (m == 1) {
    Vec3 e1 = kin::triad_axis(s.T, 0);
    e1[a - 1] = 0.0;
    per_true_length = kin::norm(e1);
  }
  return u;
}

}  // namespace

void PDHERM(word code, word& count, std::span<const float> values, std::span<double, 12> pe12) {
  const bool body = code == kBodyCode;
  pload::need(values, body ? 3 : 2, code);
  // Stations, areas and axes of the member; the set-up writes the equivalent
  // rectangle over property values 1-4, which are put back so that the
  // element keeps A and I as read for its next entry and its stiffness.
  ESTCOM& e = estcom();
  const std::array<float, 4> kept{e.PROP[0], e.PROP[1], e.PROP[2], e.PROP[3]};
  SBMSEC(0, kStations, 1, 1);
  for (std::size_t k = 0; k < kept.size(); ++k) e.PROP[k] = kept[k];
  const SBMCOM& s = sbmcom();

  double measure = 1.0;
  Vec3 dir{};
  Vec3 comp{};
  if (body) {
    comp = {values[0], values[1], values[2]};
  } else {
    dir = load_direction(code, s, measure);
  }
  const double p1 = values[0], p2 = values[1];

  // Local end forces and moments: node 1 u v w rx ry rz, then node 2.
  std::array<double, 12> fl{};
  for (std::size_t i = 0; i < static_cast<std::size_t>(kStations); ++i) {
    const double xi = s.XS[i], wt = s.WS[i] * s.L / 2.0;
    // Global load per unit length g at the station, turned to the element
    // axes one global direction at a time: q_a += T(a, count) g_count.
    const double p = body ? station_area(s, i) : measure * ((1.0 - xi) / 2.0 * p1 + (1.0 + xi) / 2.0 * p2);
    Vec3 q{};
    for (count = 1; count <= 3; ++count) {
      const auto j = static_cast<std::size_t>(count - 1);
      const double g = p * (body ? comp[j] : dir[j]);
      for (std::size_t a = 0; a < 3; ++a) q[a] += s.T[3 * j + a] * g;
    }
    // u linear; v and w cubic Hermitian with rz = v' and ry = -w'.
    const double x2 = xi * xi, x3 = x2 * xi;
    const double n1 = (1.0 - xi) / 2.0, n2 = (1.0 + xi) / 2.0;
    const double h1 = (x3 - 3.0 * xi + 2.0) / 4.0, h3 = (-x3 + 3.0 * xi + 2.0) / 4.0;
    const double h2 = s.L / 2.0 * (x3 - x2 - xi + 1.0) / 4.0, h4 = s.L / 2.0 * (x3 + x2 - xi - 1.0) / 4.0;
    fl[0] += wt * n1 * q[0];
    fl[6] += wt * n2 * q[0];
    fl[1] += wt * h1 * q[1];
    fl[5] += wt * h2 * q[1];
    fl[7] += wt * h3 * q[1];
    fl[11] += wt * h4 * q[1];
    fl[2] += wt * h1 * q[2];
    fl[4] -= wt * h2 * q[2];
    fl[8] += wt * h3 * q[2];
    fl[10] -= wt * h4 * q[2];
  }
  eu::turn_vector(3, 3, 4, s.T, fl, pe12);
}

}  // namespace zephsol
