// Strain-displacement matrices of the solid elements.
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/rules.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/elem/vec2.h"

namespace zephsol {
namespace {

using kin::Derivs;
using v2::V2;

constexpr int kNs = 6;
// Engineering shear strains 4-6 and the displacement pair each couples.
constexpr int kShear[3][2] = {{0, 1}, {1, 2}, {2, 0}};

// Natural derivatives of the hexahedron functions at the points where B is
// formed again and again: every coordinate one of -g, 0, g, with g the Gauss
// abscissa of the type's rule (2 points for HEX8, 3 for HEX20). The table is
// filled once by SHPHEX itself, so a look-up gives the very same numbers; a
// coordinate matches when its bits do (0 and -0 are different points here).
template <int NN>
class HexDerivTable {
 public:
  HexDerivTable() {
    constexpr int order = NN == 8 ? 2 : 3;
    std::array<double, order> x{}, w{};
    GAUSPT(order, x, w);
    v_ = {x[0], 0.0, x[order - 1]};
    for (int c = 0; c < 27; ++c) {
      const std::array<double, 3> xi{v_[c % 3], v_[c / 3 % 3], v_[c / 9]};
      for (int i = 0; i < 3; ++i) SHPHEX(NN == 8 ? 1 : 2, i + 1, xi, d_[c][i]);
    }
  }
  // The entry of xi, or nullptr when xi is not one of the tabulated points.
  const Derivs<3, NN>* find(std::span<const double> xi) const {
    int c = 0;
    for (int i = 2; i >= 0; --i) {
      const auto bits = std::bit_cast<std::uint64_t>(xi[i]);
      int m = 0;
      while (m < 3 && bits != std::bit_cast<std::uint64_t>(v_[m])) ++m;
      if (m == 3) return nullptr;
      c = 3 * c + m;
    }
    return &d_[c];
  }

 private:
  std::array<double, 3> v_{};
  std::array<Derivs<3, NN>, 27> d_{};
};

template <int NN>
Derivs<3, NN> hex_derivs(std::span<const double> xi) {
  static const HexDerivTable<NN> table;
  if (const Derivs<3, NN>* t = table.find(xi)) return *t;
  Derivs<3, NN> dn{};
  for (int i = 0; i < 3; ++i) SHPHEX(NN == 8 ? 1 : 2, i + 1, xi, dn[i]);
  return dn;
}

// Rows d/dL1 - d/dL3, d/dL2 - d/dL3, d/dzeta (L3 = 1 - L1 - L2).
template <int NN>
Derivs<3, NN> pent_derivs(std::span<const double> x) {
  std::array<std::array<double, NN>, 4> d{};
  for (int i = 0; i < 4; ++i) SHPPEN(NN == 6 ? 1 : 2, i + 1, x, d[i]);
  Derivs<3, NN> dn{};
  for (int k = 0; k < NN; ++k) {
    dn[0][k] = d[0][k] - d[2][k];
    dn[1][k] = d[1][k] - d[2][k];
    dn[2][k] = d[3][k];
  }
  return dn;
}

// Rows d/dL2 - d/dL1, d/dL3 - d/dL1, d/dL4 - d/dL1 (L1 = 1 - L2 - L3 - L4).
Derivs<3, 10> tet_derivs(std::span<const double> l) {
  std::array<std::array<double, 10>, 4> d{};
  for (int i = 0; i < 4; ++i) SHPTET(2, i + 1, l, d[i]);
  Derivs<3, 10> dn{};
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 10; ++k) dn[i][k] = d[i + 1][k] - d[0][k];
  return dn;
}

template <int NN>
void shear_rows(const Derivs<3, NN>& dx, std::span<double> b) {
  for (int s = 0; s < 3; ++s) kin::shear_row<3, NN>(3 + s, kShear[s][0], kShear[s][1], dx, b);
}

// B with every row from the point, in the global coordinates of ESTCOM.
template <int NN>
void plain_solid(const Derivs<3, NN>& dn, std::span<double> b, double& detj) {
  kin::zero_rows(b, kNs, 3 * NN);
  Derivs<3, NN> dx{};
  if (!kin::map_point<3, NN>(dn, kin::node_coords<3, NN>(), detj, dx)) return;
  kin::normal_rows<3, NN>(dx, b);
  shear_rows<NN>(dx, b);
}

// Assumed shear of the hexahedron: g_xy sampled at (0, 0, zeta), g_yz at
// (xi, 0, 0), g_zx at (0, eta, 0), each with its own Jacobian from xl.
bool assumed_shear_rows(std::span<const double> xi, std::span<const double> xl, std::span<double> b) {
  const std::array<std::array<double, 3>, 3> at{{{0.0, 0.0, xi[2]}, {xi[0], 0.0, 0.0}, {0.0, xi[1], 0.0}}};
  for (int s = 0; s < 3; ++s) {
    Derivs<3, 8> dx{};
    double det = 0.0;
    if (!kin::map_point<3, 8>(hex_derivs<8>(at[s]), xl, det, dx)) return false;
    kin::shear_row<3, 8>(3 + s, kShear[s][0], kShear[s][1], dx, b);
  }
  return true;
}

// Cartesian derivatives at the centre of the hexahedron in xl. No sign test:
// the point test reports inverted elements; only a singular centre, which
// has no inverse, is reported here.
bool hex_centre(std::span<const double> xl, Derivs<3, 8>& dxc) {
  const std::array<double, 3> centre{0.0, 0.0, 0.0};
  const Derivs<3, 8> dn = hex_derivs<8>(centre);
  const kin::Mat<3> j = kin::jacobian<3, 8>(dn, xl);
  const double det = kin::determinant(j);
  if (!(std::abs(det) > 0.0)) {
    kin::bad_geometry();
    return false;
  }
  dxc = kin::cartesian<3, 8>(kin::inverse(j, det), dn);
  return true;
}

// BTRN6 for a B of N columns known at compile time, the same sums in the
// same order: each node's u v w columns times r, then each column times ts,
// the columns two by two.
template <int N>
void turn_solid(double* b, const double* r, const double* ts, int nnode) {
  for (int c = 0; c < kNs; ++c)
    for (int k = 0; k < nnode; ++k) {
      double* row = b + c * N + 3 * k;
      const double o0 = row[0], o1 = row[1], o2 = row[2];
      for (int j = 0; j < 3; ++j) row[j] = o0 * r[3 * j] + o1 * r[3 * j + 1] + o2 * r[3 * j + 2];
    }
  std::array<double, kNs * N> v;
  std::copy_n(b, kNs * N, v.begin());
  for (int row = 0; row < kNs; ++row) {
    double* out = b + row * N;
    const V2 t0 = v2::splat(ts[row]), t1 = v2::splat(ts[6 + row]), t2 = v2::splat(ts[12 + row]),
             t3 = v2::splat(ts[18 + row]), t4 = v2::splat(ts[24 + row]), t5 = v2::splat(ts[30 + row]);
    for (int col = 0; col < N; col += 2) {
      const double* vc = v.data() + col;
      V2 s{};
      s += t0 * v2::load(vc);
      s += t1 * v2::load(vc + N);
      s += t2 * v2::load(vc + 2 * N);
      s += t3 * v2::load(vc + 3 * N);
      s += t4 * v2::load(vc + 4 * N);
      s += t5 * v2::load(vc + 5 * N);
      v2::store(out + col, s);
    }
  }
}

}  // namespace

void BHEX8(std::span<const double> xi, std::span<const double, 9> r, std::span<const double, 36> ts,
           std::span<const double, 24> xl, std::span<double> b, double& detj, word ibbar, word ishear) {
  constexpr int n = 24;
  kin::zero_rows(b, kNs, n);
  const ESTCOM& e = estcom();
  if (e.EQIX[6] == e.EQIX[7]) {  // node 8 repeats node 7: wedge-shaped, global and plain
    plain_solid<8>(hex_derivs<8>(xi), b, detj);
    return;
  }
  Derivs<3, 8> dxc{};
  if (ibbar == 1 && !hex_centre(xl, dxc)) return;
  Derivs<3, 8> dx{};
  if (!kin::map_point<3, 8>(hex_derivs<8>(xi), xl, detj, dx)) return;
  if (ibbar == 1)
    kin::mean_dilatation_rows<3, 8>(dx, dxc, b);
  else
    kin::normal_rows<3, 8>(dx, b);
  if (ishear == 1) {
    if (!assumed_shear_rows(xi, xl, b)) {
      kin::zero_rows(b, kNs, n);
      return;
    }
  } else {
    shear_rows<8>(dx, b);
  }
  BTRN6(b, r, ts, 8, n);
}

void hex8_shared(Hex8Shared& sh, word ibbar, word ishear) {
  const ESTCOM& e = estcom();
  sh.ibbar = ibbar;
  sh.ishear = ishear;
  sh.degenerate = e.EQIX[6] == e.EQIX[7];
  if (sh.degenerate) return;
  // The same sums as hex_centre and map_point, with the messages left to the points.
  auto map = [&](std::span<const double> at, Derivs<3, 8>& dx, bool centre) {
    const Derivs<3, 8> dn = hex_derivs<8>(at);
    const kin::Mat<3> j = kin::jacobian<3, 8>(dn, sh.xl);
    const double det = kin::determinant(j);
    const bool ok = centre ? std::abs(det) > 0.0 : det > 0.0;
    if (ok) dx = kin::cartesian<3, 8>(kin::inverse(j, det), dn);
    return ok;
  };
  if (ibbar == 1) sh.centre_ok = map(std::array<double, 3>{0.0, 0.0, 0.0}, sh.centre, true);
  if (ishear != 1) return;
  std::array<double, 2> g{}, w{};
  GAUSPT(2, g, w);
  for (int m = 0; m < 2; ++m) {
    const std::array<std::array<double, 3>, 3> at{{{0.0, 0.0, g[m]}, {g[m], 0.0, 0.0}, {0.0, g[m], 0.0}}};
    for (int s = 0; s < 3; ++s) sh.sample_ok[2 * s + m] = map(at[s], sh.sample[2 * s + m], false);
  }
}

void hex8_gauss_point(std::span<const double> xi, int i, int j, int k, const Hex8Shared& sh, std::span<double> b,
                      double& detj) {
  constexpr int n = 24;
  kin::zero_rows(b, kNs, n);
  if (sh.degenerate) {
    plain_solid<8>(hex_derivs<8>(xi), b, detj);
    return;
  }
  if (sh.ibbar == 1 && !sh.centre_ok) {
    kin::bad_geometry();
    return;
  }
  Derivs<3, 8> dx{};
  if (!kin::map_point<3, 8>(hex_derivs<8>(xi), sh.xl, detj, dx)) return;
  if (sh.ibbar == 1)
    kin::mean_dilatation_rows<3, 8>(dx, sh.centre, b);
  else
    kin::normal_rows<3, 8>(dx, b);
  if (sh.ishear == 1) {
    // g_xy sampled at (0, 0, zeta), g_yz at (xi, 0, 0), g_zx at (0, eta, 0).
    const int at[3] = {k, i, j};
    for (int s = 0; s < 3; ++s) {
      const int q = 2 * s + at[s];
      if (!sh.sample_ok[q]) {
        kin::bad_geometry();
        kin::zero_rows(b, kNs, n);
        return;
      }
      kin::shear_row<3, 8>(3 + s, kShear[s][0], kShear[s][1], sh.sample[q], b);
    }
  } else {
    shear_rows<8>(dx, b);
  }
  turn_solid<24>(b.data(), sh.r.data(), sh.ts.data(), 8);
}

void BTRN6(std::span<double> b, std::span<const double, 9> r, std::span<const double, 36> ts, word nnode, word n) {
  assert(b.size() >= static_cast<std::size_t>(kNs * n) && n >= 3 * nnode);
  if (nnode == 8 && n == 24) {
    turn_solid<24>(b.data(), r.data(), ts.data(), 8);
    return;
  }
  // Node blocks: B(c, u_j) = sum_m B_local(c, u_m) R(m, j).
  for (int k = 0; k < nnode; ++k)
    for (int c = 0; c < kNs; ++c) {
      double* row = &b[static_cast<std::size_t>(c * n + 3 * k)];
      const double old[3] = {row[0], row[1], row[2]};
      for (int j = 0; j < 3; ++j) row[j] = old[0] * r[3 * j] + old[1] * r[3 * j + 1] + old[2] * r[3 * j + 2];
    }
  // Columns: global strains = TS local strains.
  for (int col = 0; col < n; ++col) {
    double v[kNs];
    for (int c = 0; c < kNs; ++c) v[c] = b[static_cast<std::size_t>(c * n + col)];
    for (int row = 0; row < kNs; ++row) {
      double s = 0.0;
      for (int c = 0; c < kNs; ++c) s += ts[6 * c + row] * v[c];
      b[static_cast<std::size_t>(row * n + col)] = s;
    }
  }
}

void BHEX20(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<20>(hex_derivs<20>(xi), b, detj);
}

void BPENT6(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<6>(pent_derivs<6>(xi), b, detj);
}

void BPENT15(std::span<const double> xi, std::span<double> b, double& detj) {
  plain_solid<15>(pent_derivs<15>(xi), b, detj);
}

void BTET10(std::span<const double> l, std::span<double> b, double& detj) { plain_solid<10>(tet_derivs(l), b, detj); }

}  // namespace zephsol
