#include "zephsol/iter/ptlaw_util.h"

#include <algorithm>
#include <cstddef>

#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/packed.h"
#include "zephsol/iter/plskern.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {

namespace {

std::size_t packed_size(word n) { return static_cast<std::size_t>(n * (n + 1) / 2); }


// Inverts the packed matrix A of order n in place; -4120 when it cannot.
void invert_or_end(std::span<double> A, word n) {
  word info = 0;
  PKINV(A.first(packed_size(n)), n, info);
  if (info != 0) matl_fatal(-4120, info, 0);
}

}  // namespace

PointVec packed_times(std::span<const double> A, const PointVec& x, word n) {
  PointVec y{};
  const auto m = static_cast<std::size_t>(n);
  PKMVEC(A.first(packed_size(n)), std::span<const double>(x).first(m), n, std::span<double>(y).first(m));
  return y;
}

void store_trial(std::size_t n) {
  EIVWK& a = eivwka();
  const SIGCOM& s = sigcom();
  std::copy_n(s.SIGTR.begin(), n, a.vec[0].begin());
  std::copy_n(s.EPSTR.begin(), n, a.vec[2].begin());
  std::copy_n(s.EPETR.begin(), n, a.vec[1].begin());
}

void valid_elastic_inverse() {
  SIGCOM& s = sigcom();
  const bool per_point = moduli_follow_point(matcom().MATKND);
  if (!per_point && s.KDECHE == 1) return;
  const word ns = point_components();
  std::copy_n(s.DE.begin(), packed_size(ns), s.DEINV.begin());
  invert_or_end(s.DEINV, ns);
  if (!per_point) s.KDECHE = 1;
}

void plastic_correction(std::span<const double> SIG, double EPSP, std::span<double> DP) {
  const word ns = point_components();
  double q = 0.0;  // von Mises value sqrt(3 J2)
  EFFSIG(0, SIG, q);
  if (q < 1.73205080757 * 1.0E-10) {
    std::fill_n(DP.begin(), packed_size(ns), 0.0);
    return;
  }
  PLSMTX(std::span<const double>(sigcom().DE).first(packed_size(ns)), SIG.first(static_cast<std::size_t>(ns)),
         EPSP, DP);
}

}  // namespace zephsol
