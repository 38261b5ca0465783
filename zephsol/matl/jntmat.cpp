#include <cmath>
#include <cstddef>

#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {

namespace {

constexpr double kDegToRad = 3.14159265359 / 180.0;
constexpr double kSoft = 1000000.0;  // factor of an open or sliding (soft) and a locked (stiff) joint

// Joint state codes of block 11.
constexpr word kOpen = 1, kSliding = 3, kSoftening = 4;

double prop(int k) { return static_cast<double>(mat_elem().PROP[k - 1]); }

struct JointStiffness {
  double kn, ks;
};

// Post-peak shear slope (tr - tp)/((r - 1) up), up = tp/ks the peak displacement,
// tp = |tan(phi) sn| + c and tr = |tan(phi_r) sn| + c_r; the sliding value
// ks/1e6 where the peak displacement is not positive.
double softening_slope(double ks, double sn) {
  const double r = prop(8);
  if (r <= 1.0) matl_fatal(-971, *mat_elem().IEXN, *mat_elem().MATID);
  const MATCOM& m = matcom();
  const double tp = std::fabs(std::tan(static_cast<double>(m.w(mw::PHAI)) * kDegToRad) * sn) + m.w(mw::C);
  const double tr = std::fabs(std::tan(prop(7) * kDegToRad) * sn) + prop(6);
  if (ks <= 0.0 || tp <= 0.0) return ks / kSoft;
  const double up = tp / ks;
  return (tr - tp) / ((r - 1.0) * up);
}

JointStiffness joint_stiffness() {
  const MatPoint& p = mat_point();
  const double kn = prop(1), ks = prop(4);
  const word state = p.SW[10] != 0 ? p.B11I[0] : 0;
  if (state == 0) return {kn, ks};
  if (state == kOpen) return {kn / kSoft, ks / kSoft};
  const double sn = p.SIG[0];
  const bool locked = p.B11I[1] != 0 || sn < -(prop(2) * kn);
  const double kn_closed = locked ? kn * kSoft : kn;
  if (state == kSliding) return {kn_closed, ks / kSoft};
  if (state == kSoftening) return {kn_closed, softening_slope(ks, sn)};
  return {kn_closed, ks};  // closed and frictional
}

}  // namespace

void JNTMAT(word IDIM, std::span<double> D) {
  const JointStiffness k = joint_stiffness();
  if (IDIM == 2) {
    D[0] = k.kn, D[1] = 0.0, D[2] = k.ks;
    return;
  }
  if (IDIM == 3) {
    D[0] = k.kn, D[1] = 0.0, D[2] = 0.0, D[3] = k.ks, D[4] = 0.0, D[5] = k.ks;
    return;
  }
  matl_fatal(-8015, name_word("IDIM"), IDIM);
}

}  // namespace zephsol
