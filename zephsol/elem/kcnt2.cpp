// The contact element CNT2: six springs in the contact frame (normal, two
// shears, three rotations), chosen by the contact state of its point, and
// the nodal force of the six local forces and moments it stores.
#include <array>
#include <cmath>
#include <cstddef>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/laxes.h"

namespace zephsol {
namespace {

using eu::prop;

constexpr int kDof = 12;
constexpr double kCoincident = 0.000001;
constexpr word kOpen = 1, kInContact = 2;


// Branch number of the hysteresis set of component 2, 4, 5 or 6 (set 0..3):
// the tenth of its first value, truncated.
word branch(int set) { return static_cast<word>(eivwka().blk.b12[static_cast<std::size_t>(21 * set)] / 10.0); }

// Spring constants k1..k6 from the contact state, the lock flag and the branches.
std::array<double, 6> spring_constants() {
  EIVWK& pt = eivwka();
  if (!(prop(1) > 0.0)) elem_fatal(-8013, estcom().IEXN, real_word(static_cast<float>(prop(1))));
  if (!(prop(2) > 0.0)) elem_fatal(-8013, estcom().IEXN, real_word(static_cast<float>(prop(2))));
  if (pt.blk.b11.iv[0] == 0) pt.blk.b11.iv[0] = kInContact;
  const word state = pt.blk.b11.iv[0];
  std::array<double, 6> k{};
  k[0] = prop(1);
  if (state == kOpen) k[0] = prop(12);
  if (pt.blk.b11.iv[1] == 1) k[0] = prop(11);
  const word b2 = branch(0);
  k[1] = state != kInContact ? prop(18) : b2 == 2 ? prop(15) : b2 == 3 ? prop(18) : prop(2);
  // The shear law of the contact acts on the resultant of both shear
  // components, so the second shear takes the constant of the first; a
  // separate word 3 would leave the stiffness out of step with the forces
  // the law gives back.
  k[2] = k[1];
  for (int c = 3; c < 6; ++c) {
    const word b = branch(c - 2);
    k[static_cast<std::size_t>(c)] = b == 0 || b == 1 ? prop(c + 1) : prop(20);
  }
  return k;
}

}  // namespace

std::array<double, 9> contact_frame(double pi) {
  std::array<double, 3> p1 = eu::node(1), p2 = eu::node(2);
  const double dx = p2[0] - p1[0], dy = p2[1] - p1[1], dz = p2[2] - p1[2];
  if (std::sqrt(dx * dx + dy * dy + dz * dz) <= kCoincident) {
    const double a = prop(7) * pi / 180.0, b = prop(8) * pi / 180.0;
    p1 = {0.0, 0.0, 0.0};
    p2 = {std::cos(a) * std::cos(b), std::sin(a) * std::cos(b), std::sin(b)};
  }
  std::array<double, 9> dc{};
  LAXL2(p1, p2, dc);
  return dc;
}

void KCNT2(std::span<double> KE) {
  EIVGTA(1);
  const std::array<double, 9> t3 = contact_frame(3.14159265359);
  // B = the block-diagonal direction matrix: component c of block b takes
  // global DOF j of that block with the weight of axis c's component j.
  std::array<double, kDof * kDof> t12{};
  for (int b = 0; b < 4; ++b)
    for (int c = 0; c < 3; ++c)
      for (int j = 0; j < 3; ++j)
        t12[static_cast<std::size_t>((3 * b + c) * kDof + 3 * b + j)] = t3[static_cast<std::size_t>(3 * c + j)];
  const std::array<double, 6> k = spring_constants();
  std::array<double, 78> dl{};
  for (int c = 1; c <= 6; ++c) {
    const double kc = k[static_cast<std::size_t>(c - 1)];
    eu::pk(dl, c, c, kDof) = eu::pk(dl, c + 6, c + 6, kDof) = kc;
    eu::pk(dl, c, c + 6, kDof) = -kc;
  }
  std::fill(KE.begin(), KE.begin() + 78, 0.0);
  // KE = T12 DL T12^T.
  BTDB(t12, dl, kDof, kDof, KE);
}

void FCNT2(std::span<double> FE) {
  EIVGTA(1);
  const std::array<double, 9> t3 = contact_frame(3.1415926535);
  const auto& sig = eivwka().vec[0];
  // f = T3 (sigma 1..3), m = T3 (sigma 4..6); -f, -m at node 1 and f, m at node 2.
  for (int j = 0; j < 3; ++j) {
    double f = 0.0, m = 0.0;
    for (int a = 0; a < 3; ++a) {
      f += t3[static_cast<std::size_t>(3 * a + j)] * sig[static_cast<std::size_t>(a)];
      m += t3[static_cast<std::size_t>(3 * a + j)] * sig[static_cast<std::size_t>(a + 3)];
    }
    FE[static_cast<std::size_t>(j)] -= f;
    FE[static_cast<std::size_t>(j + 3)] -= m;
    FE[static_cast<std::size_t>(j + 6)] += f;
    FE[static_cast<std::size_t>(j + 9)] += m;
  }
}

}  // namespace zephsol
