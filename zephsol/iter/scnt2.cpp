// The contact element CNT2: one point with six force components in the
// contact frame. The normal force separates, locks and opens as a joint's
// does; the shear resultant follows a trilinear curve whose limits grow with
// the normal force (f1 = |mu1 t1| + c1, f2 = |mu2 t1| + c2); each moment
// follows a trilinear curve of its own. Curves are followed up and down
// without hysteresis; the branch reached is kept as the code 10.2, 20.2 or
// 30.2.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/iter/sstruct_util.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

using eu::prop;

constexpr std::size_t kBlock8 = 7, kBlock11 = 10, kBlock12 = 11;  // switch indices
constexpr word kSeparated = 1, kInContact = 2, kPostPeak = 4;
constexpr double kUnbounded = 1.0000000150474662e+30;
constexpr double kBranch1 = 10.199999809265137, kBranch2 = 20.200000762939453, kBranch3 = 30.200000762939453;

// Curve record c (0 shear resultant, 1-3 moments 4-6) of block 12, words 1-21.
class Curve {
 public:
  explicit Curve(int c) : w_(eivwka().blk.b12.data() + 21 * c) {}
  double& operator()(int k) { return w_[k - 1]; }
  double& code() { return w_[0]; }
  double& k1() { return w_[1]; }
  double& k2() { return w_[2]; }
  double& k3() { return w_[3]; }
  double& f1() { return w_[4]; }
  double& f2() { return w_[5]; }
  double& d1() { return w_[6]; }
  double& d2() { return w_[7]; }
  double& a2() { return w_[8]; }
  double& a3() { return w_[9]; }
  double& upper() { return w_[10]; }
  double& lower() { return w_[11]; }
  double& largest() { return w_[12]; }
  double& smallest() { return w_[13]; }
  double& stiffness() { return w_[14]; }
  double& intercept() { return w_[15]; }

  // Break displacements and intercepts of the curve f = k1 v (|v| <= d1),
  // k2 v + a2 (to d2), k3 v + a3 beyond. A given k2 <= 0 is -d2 (a plateau
  // at f1). A component without stiffness carries no force: one branch over
  // the whole range.
  void derive() {
    if (!(k1() > 0.0)) {
      d1() = d2() = kUnbounded;
      a2() = a3() = 0.0;
      return;
    }
    d1() = f1() / k1();
    if (k2() > 0.0) {
      d2() = (f2() - f1()) / k2() + d1();
    } else {
      d2() = -k2();
      k2() = 0.0;
    }
    d2() = std::max(d2(), d1());
    a2() = f1() - k2() * d1();
    a3() = f2() - k3() * d2();
  }
  void branch(double cd, double lo, double hi, double k, double a) {
    code() = cd;
    lower() = lo;
    upper() = hi;
    stiffness() = k;
    intercept() = a;
  }
  void first_branch() { branch(kBranch1, -d1(), d1(), k1(), 0.0); }
  int branch_number() { return static_cast<int>(std::lround(code() / 10.0)); }

 private:
  double* w_;
};

// The trial rotation of moment component j (4-6) through its curve.
void moment_curve(int j) {
  const int c = j - 3;
  Curve cv(c);
  SIGCOM& s = sigcom();
  cv.k1() = prop(j);
  cv.k2() = cv.k3() = prop(20);
  cv.f1() = prop(19);
  cv.f2() = j == 6 ? prop(19) * 100000000.0 : prop(19);
  if (cv.code() == 0.0) {
    cv.derive();
    cv.first_branch();
    cv.largest() = cv.d1();
    cv.smallest() = -cv.d1();
    cv(20) = cv.f1();
    cv(21) = -cv.f1();
  }
  const auto jj = static_cast<std::size_t>(j - 1);
  const double v = s.EPETR[jj];
  if (v > cv.upper() || v < cv.lower()) {
    const double sg = v >= 0.0 ? 1.0 : -1.0;
    if (std::fabs(v) <= cv.d1()) {
      cv.first_branch();
    } else if (std::fabs(v) <= cv.d2()) {
      cv.branch(kBranch2, v >= 0.0 ? cv.d1() : -cv.d2(), v >= 0.0 ? cv.d2() : -cv.d1(), cv.k2(), sg * cv.a2());
      s.KITER = -1;
    } else {
      cv.branch(kBranch3, v >= 0.0 ? cv.d2() : -kUnbounded, v >= 0.0 ? kUnbounded : -cv.d2(), cv.k3(), sg * cv.a3());
      s.KITER = -1;
    }
  }
  cv(17) = v;
  if (eivwkb().vec[2][jj] != 0.0) cv(18) = eivwkb().vec[2][jj];
  s.SIGTR[jj] = cv.stiffness() * v + cv.intercept();
  if (v >= cv.largest()) {
    cv.largest() = v;
    cv(20) = s.SIGTR[jj];
  }
  if (v <= cv.smallest()) {
    cv.smallest() = v;
    cv(21) = s.SIGTR[jj];
  }
}

// The shear resultant of the trial forces through curve 1, its limits from
// the trial normal force.
void shear_curve() {
  SIGCOM& s = sigcom();
  auto& t = s.SIGTR;
  const auto& u = s.EPETR;
  Curve cv(0);
  cv.k1() = prop(2);
  cv.k2() = prop(15);
  cv.k3() = prop(18);
  cv.f1() = std::fabs(prop(14) * t[0]) + prop(13);
  cv.f2() = std::fabs(prop(17) * t[0]) + prop(16);
  cv.derive();
  const double code = cv.code();
  cv.first_branch();
  if (code != 0.0) cv.code() = code;
  cv.smallest() = -cv.d1();
  cv(20) = cv.f1();
  cv(21) = -cv.f1();
  const double v = std::sqrt(u[1] * u[1] + u[2] * u[2]);
  const double tr = std::sqrt(t[1] * t[1] + t[2] * t[2]);
  const std::array<double, 2> e = tr != 0.0 ? std::array<double, 2>{t[1] / tr, t[2] / tr} : std::array<double, 2>{};
  if (v > cv.d1()) {
    if (v <= cv.d2())
      cv.branch(kBranch2, cv.d1(), cv.d2(), cv.k2(), cv.a2());
    else
      cv.branch(kBranch3, cv.d2(), kUnbounded, cv.k3(), cv.a3());
    s.KITER = -1;
  }
  const double f = cv.stiffness() * v + cv.intercept();
  t[1] = f * e[0];
  t[2] = f * e[1];
  cv(17) = v;
  const auto& du = eivwkb().vec[2];
  const double dv = std::sqrt(du[1] * du[1] + du[2] * du[2]);
  if (dv != 0.0) cv(18) = dv;
  if (v >= cv.d1()) {
    cv.largest() = v;
    cv(20) = f;
  } else {
    cv.largest() = cv.d1();
  }
}

// The normal force of the trial (separation, closure lock, tension limit)
// and, where the element is in contact below the limit, the shear curve.
void normal_and_shear(word& state, word& lock, double a) {
  SIGCOM& s = sigcom();
  auto& t = s.SIGTR;
  const word niter = stpctr().NITER;
  if (state == kSeparated) {
    if (s.EPETR[0] < 0.0) {
      if (niter <= 0) {
        state = kInContact;
        t[0] = prop(1) * eivwkb().vec[2][0];
        t[1] = t[2] = 0.0;
        s.KITER = -1;
      }
    } else {
      t[0] = t[1] = t[2] = 0.0;
    }
    return;
  }
  if (su::closure_lock(t[0], a, -prop(1) * prop(9), prop(11), lock)) return;
  if (t[0] > prop(10)) {
    if (niter <= 0) {
      state = kSeparated;
      t[0] = t[1] = t[2] = 0.0;
      lock = 0;
      s.KITER = -1;
    }
    return;
  }
  shear_curve();
}

}  // namespace

void CNTMAT(word N, std::span<double> D) {
  EIVWK& pt = eivwka();
  const word state = pt.sw[kBlock11] != 0 ? pt.blk.b11.iv[0] : 0;
  double dn = prop(1), ds = prop(2);
  if (state == kPostPeak) elem_fatal(-971, estcom().IEXN, estcom().MATID);
  if (state == kSeparated) {
    dn = prop(12);
    ds = prop(18);
  } else if (state != 0) {
    if (pt.blk.b11.iv[1] != 0 || pt.vec[0][0] < -prop(9) * prop(1)) dn = prop(11);
    const int b = Curve(0).branch_number();
    ds = state != kInContact || b == 3 ? prop(18) : b == 2 ? prop(15) : prop(2);
  }
  const bool second = Curve(1).branch_number() == 2;
  const std::array<double, 3> r{second ? prop(20) : prop(4), second ? prop(20) : prop(5), second ? prop(20) : prop(6)};
  if (N == 2) {
    D[0] = dn, D[1] = 0.0, D[2] = ds;
    return;
  }
  if (N != 3 && N != 6) bad_argument("IDIM", N);
  const std::array<double, 6> diag{dn, ds, ds, r[0], r[1], r[2]};
  std::fill_n(D.begin(), N * (N + 1) / 2, 0.0);
  for (int i = 1; i <= N; ++i) eu::pk(D, i, i, N) = diag[static_cast<std::size_t>(i - 1)];
}

void SCHYS1() { moment_curve(4); }
void SCHYS2() { moment_curve(5); }
void SCHYS3() { moment_curve(6); }

void SCNT2(std::span<const double> UE, std::span<double> FE) {
  EIVGTA(1);
  EIVWK& pt = eivwka();
  if (pt.sw[kBlock11] == 0 || pt.blk.b11.iv[0] == 0) {
    pt.sw[kBlock11] = 1;
    pt.blk.b11.iv[0] = kInContact;
  }
  const std::array<double, 9> dc = contact_frame(3.1415926535);
  // Relative displacement increment, node 2 less node 1, in the contact frame.
  EIVWK& inc = eivwkb();
  for (std::size_t a = 0; a < 3; ++a) {
    double du = 0.0, dr = 0.0;
    for (std::size_t j = 0; j < 3; ++j) {
      du += dc[3 * a + j] * (UE[6 + j] - UE[j]);
      dr += dc[3 * a + j] * (UE[9 + j] - UE[3 + j]);
    }
    inc.vec[2][a] = du;
    inc.vec[2][a + 3] = dr;
  }
  std::array<double, 21> d{};
  CNTMAT(6, d);
  SIGCOM& s = sigcom();
  for (int i = 1; i <= 6; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    s.SIGTR[k] = pt.vec[0][k] + eu::pk(d, i, i, 6) * inc.vec[2][k];
    s.EPETR[k] = pt.vec[2][k] + inc.vec[2][k];
  }
  word state = pt.blk.b11.iv[0], lock = pt.blk.b11.iv[1];
  normal_and_shear(state, lock, pt.vec[0][0]);
  SCHYS1();
  SCHYS2();
  SCHYS3();
  pt.blk.b11.iv[0] = state;
  pt.blk.b11.iv[1] = lock;
  pt.vec[0] = s.SIGTR;
  pt.vec[2] = s.EPETR;
  pt.sw[kBlock8] = pt.sw[kBlock11] = pt.sw[kBlock12] = 1;
  for (std::size_t k = 0; k < 6; ++k) {
    pt.blk.b8.v[k + 1] = s.SIGTR[k];
    pt.blk.b8.v[k + 7] = -s.SIGTR[k];
  }
  // Node 2 takes the local forces and moments turned to global axes, node 1 the opposite.
  std::array<double, 12> fl{};
  for (std::size_t k = 0; k < 6; ++k) {
    fl[k] = -s.SIGTR[k];
    fl[k + 6] = s.SIGTR[k];
  }
  std::array<double, 9> t{};  // the frame as rows of axes, T(a, m) at 3 m + a
  for (std::size_t a = 0; a < 3; ++a)
    for (std::size_t m = 0; m < 3; ++m) t[3 * m + a] = dc[3 * a + m];
  eu::turn_vector(3, 3, 4, t, fl, FE);
  EIVPTA();
}

}  // namespace zephsol
