// Local triads, the hexahedron's centre frame and the packed-matrix
// transformation from local to global DOFs.
#include "zephsol/elem/laxes.h"

#include <array>
#include <cassert>
#include <cmath>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/exec/packed.h"

namespace zephsol {
namespace {

using kin::Vec3;

constexpr word kBeam2 = 5;
constexpr word kSbeam2 = 26;
constexpr double kTinyLength = 1e-14;
constexpr double kTinySquare = 1e-6;  // LAXL2's test on a squared length

[[noreturn]] void axes_undefined() { elem_fatal(-8005, estcom().IEXN, 0); }

// Beam default when the orientation node gives no plane: c = e1 x r with r =
// +y, or, for a member along y, r = -x (e1y > 0) or +x (e1y < 0).
Vec3 beam_default_normal(const Vec3& e1) {
  Vec3 r{0.0, 1.0, 0.0};
  if (std::abs(e1[0]) < kTinyLength && std::abs(e1[2]) < kTinyLength)
    r = e1[1] > 0.0 ? Vec3{-1.0, 0.0, 0.0} : Vec3{1.0, 0.0, 0.0};
  return kin::cross(e1, r);
}

// e1 along a = xb - xa, e3 along e1 x (xc - xa), e2 = e3 x e1. Returns |a|.
double three_point_triad(const Vec3& xa, const Vec3& xb, const Vec3& xc, bool beam_default,
                         std::span<double, 9> t) {
  const Vec3 a = kin::sub(xb, xa);
  const double length = kin::norm(a);
  if (length <= kTinyLength) axes_undefined();
  const Vec3 e1 = kin::scale(a, 1.0 / length);
  Vec3 c = kin::cross(e1, kin::sub(xc, xa));
  if (kin::norm(c) <= kTinyLength) {
    if (!beam_default) axes_undefined();
    c = beam_default_normal(e1);
  }
  const Vec3 e3 = kin::scale(c, 1.0 / kin::norm(c));
  kin::store_triad(t, e1, kin::cross(e3, e1), e3);
  return length;
}

// Face corners in the layout of the 4-node functions, x1 x2 / x3 x4 (x1-x4
// and x2-x3 the diagonals): e3 along the cross product of the diagonals, e1
// along side 1-2 (the diagonal 1-4 when 1-2 has no length) with its
// normal part removed, e2 = e3 x e1.
void quad_triad(const Vec3& x1, const Vec3& x2, const Vec3& x3, const Vec3& x4, std::span<double, 9> t) {
  const Vec3 n = kin::cross(kin::sub(x4, x1), kin::sub(x3, x2));
  const double nn = kin::norm(n);
  if (nn <= kTinyLength) axes_undefined();
  const Vec3 e3 = kin::scale(n, 1.0 / nn);
  Vec3 a = kin::sub(x2, x1);
  if (kin::dot(a, a) <= kTinyLength) a = kin::sub(x4, x1);
  const Vec3 ap = kin::sub(a, kin::scale(e3, kin::dot(a, e3)));
  const double la = kin::norm(ap);
  if (la <= kTinyLength) axes_undefined();
  const Vec3 e1 = kin::scale(ap, 1.0 / la);
  kin::store_triad(t, e1, kin::cross(e3, e1), e3);
}

// Maps engineering strains in the axes of r to engineering strains in global
// axes, eps_g = sum_ab eps_l(a, b) e_a (x) e_b. Column (a, b) and row (i, j)
// hold a_i b_i on a normal row and a_i b_j + a_j b_i on a shear row; both
// orders run normal, normal, normal, (1, 2), (2, 3), (1, 3).
void strain_transform(std::span<const double, 9> r, std::span<double, 36> ts) {
  constexpr int kPair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {0, 2}};
  for (int col = 0; col < 6; ++col) {
    const Vec3 a = kin::triad_axis(r, kPair[col][0]);
    const Vec3 b = kin::triad_axis(r, kPair[col][1]);
    for (int row = 0; row < 6; ++row) {
      const int i = kPair[row][0], j = kPair[row][1];
      ts[6 * col + row] = row < 3 ? a[i] * b[i] : a[i] * b[j] + a[j] * b[i];
    }
  }
}

}  // namespace

void LAXT3(std::span<double, 9> t, double& length) {
  const word type = estcom().IECOD;
  length = three_point_triad(kin::node3(1), kin::node3(2), kin::node3(3), type == kBeam2 || type == kSbeam2, t);
}

void LAXQ4(std::span<double, 9> t) { quad_triad(kin::node3(1), kin::node3(2), kin::node3(3), kin::node3(4), t); }

void LAXQ8(std::span<double, 9> t) { quad_triad(kin::node3(1), kin::node3(3), kin::node3(6), kin::node3(8), t); }

void LAXT6(std::span<double, 9> t) { three_point_triad(kin::node3(1), kin::node3(3), kin::node3(6), false, t); }

void LAXL2(std::span<const double, 3> p1, std::span<const double, 3> p2, std::span<double, 9> dc) {
  const Vec3 d{p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
  const Vec3 e1 = kin::scale(d, 1.0 / kin::norm(d));
  Vec3 e2p = kin::cross(Vec3{0.0, 0.0, 1.0}, e1);
  if (kin::dot(e2p, e2p) <= kTinySquare) e2p = kin::cross(Vec3{-1.0, 0.0, 0.0}, e1);
  const Vec3 e2 = kin::scale(e2p, 1.0 / kin::norm(e2p));
  const Vec3 c = kin::cross(e1, e2p);
  const Vec3 e3 = kin::scale(c, 1.0 / kin::norm(c));
  for (int j = 0; j < 3; ++j) {
    dc[j] = e1[j];
    dc[3 + j] = e2[j];
    dc[6 + j] = e3[j];
  }
}

void LAXH8(std::span<double, 9> r, std::span<double, 36> ts, std::span<double, 24> xl) {
  const std::array<double, 3> centre{0.0, 0.0, 0.0};
  std::array<double, 8> dxi{}, deta{};
  SHPHEX(1, 1, centre, dxi);
  SHPHEX(1, 2, centre, deta);
  Vec3 gxi{}, geta{};
  for (int k = 0; k < 8; ++k) {
    const Vec3 x = kin::node3(k + 1);
    for (int j = 0; j < 3; ++j) {
      gxi[j] += dxi[k] * x[j];
      geta[j] += deta[k] * x[j];
    }
  }
  const Vec3 c = kin::cross(gxi, geta);
  const Vec3 b = kin::cross(c, gxi);
  // Exact zero tests: an axis of zero length leaves the frame undefined.
  if (kin::dot(gxi, gxi) <= 0.0 || kin::dot(b, b) <= 0.0 || kin::dot(c, c) <= 0.0) {
    kin::bad_geometry();
    return;
  }
  const Vec3 e1 = kin::scale(gxi, 1.0 / kin::norm(gxi));
  const Vec3 e2 = kin::scale(b, 1.0 / kin::norm(b));
  const Vec3 e3 = kin::scale(c, 1.0 / kin::norm(c));
  kin::store_triad(r, e1, e2, e3);
  const Vec3 e[3] = {e1, e2, e3};
  for (int k = 0; k < 8; ++k) {
    const Vec3 x = kin::node3(k + 1);
    for (int a = 0; a < 3; ++a) xl[3 * k + a] = kin::dot(e[a], x);
  }
  strain_transform(r, ts);
}

void LAXTRN(word ildm, word igdm, word nblk, std::span<const double, 9> t, std::span<const double> kl,
            std::span<double> kg) {
  if (igdm != 2 && igdm != 3) bad_argument("IGDM", igdm);
  if (ildm != 2 && !(ildm == 3 && igdm == 3)) bad_argument("ILDM", ildm);
  const int nl = nblk * ildm, ng = nblk * igdm;
  assert(kl.size() >= static_cast<std::size_t>(nl * (nl + 1) / 2));
  assert(kg.size() >= static_cast<std::size_t>(ng * (ng + 1) / 2));
  // Q(a, j) = T(a, j), a < ildm, j < igdm.
  const auto q = [&](int a, int j) { return t[3 * j + a]; };
  for (int bi = 0; bi < nblk; ++bi)
    for (int bj = bi; bj < nblk; ++bj) {
      // The whole input block is read before its output block is written, so
      // kl and kg may share storage (equal block sizes put both blocks at the
      // same packed positions).
      double a[3][3];
      for (int p = 0; p < ildm; ++p)
        for (int s = 0; s < ildm; ++s) a[p][s] = kl[packed_index(bi * ildm + p + 1, bj * ildm + s + 1, nl)];
      for (int i = 0; i < igdm; ++i)
        for (int j = bi == bj ? i : 0; j < igdm; ++j) {
          double v = 0.0;
          for (int p = 0; p < ildm; ++p)
            for (int s = 0; s < ildm; ++s) v += q(p, i) * a[p][s] * q(s, j);
          kg[packed_index(bi * igdm + i + 1, bj * igdm + j + 1, ng)] = v;
        }
    }
}

void plane_coords(std::span<const double, 9> t, int nn, std::span<double> xl) {
  assert(xl.size() >= static_cast<std::size_t>(2 * nn));
  for (int k = 0; k < nn; ++k) {
    const Vec3 x = kin::node3(k + 1);
    for (int a = 0; a < 2; ++a) xl[2 * k + a] = kin::dot(kin::triad_axis(t, a), x);
  }
}

}  // namespace zephsol
