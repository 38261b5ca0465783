// Shape functions of the quadrilateral, hexahedron, pentahedron, tetrahedron
// and triangle families.
#include "zephsol/elem/shapes.h"

#include <array>
#include <cassert>

#include "zephsol/elem/elem_msg.h"

namespace zephsol {
namespace {

// ---- Tensor-product family (quadrilateral, hexahedron) ----------------------

// Natural coordinates of the nodes of a D-dimensional brick, lexicographic
// with the first coordinate fastest: the 2^D corners (linear), or the points
// of {-1, 0, 1}^D with at most one zero coordinate (serendipity).
template <int D, bool Quadratic>
constexpr auto brick_nodes() {
  constexpr int kCount = Quadratic ? (D == 2 ? 8 : 20) : (1 << D);
  std::array<std::array<int, D>, kCount> nodes{};
  int count = 0;
  int total = 1;
  for (int d = 0; d < D; ++d) total *= 3;
  for (int code = 0; code < total; ++code) {
    std::array<int, D> s{};
    int rest = code, zeros = 0;
    for (int d = 0; d < D; ++d) {
      s[d] = rest % 3 - 1;
      rest /= 3;
      zeros += s[d] == 0;
    }
    if (Quadratic ? zeros <= 1 : zeros == 0) nodes[count++] = s;
  }
  return nodes;
}

// N = C prod_i g_i h: g_i = 1 + s_i x_i at a node coordinate +-1 and
// 1 - x_i^2 at 0; C = 2^-(non-zero coordinates); h = sum s_i x_i - (D - 1) at a
// serendipity corner, else 1. Derivative k by the product rule.
template <int D, bool Quadratic>
void brick_shapes(word idif, std::span<const double> x, std::span<double> n) {
  static constexpr auto kNodes = brick_nodes<D, Quadratic>();
  assert(x.size() >= static_cast<std::size_t>(D) && n.size() >= kNodes.size());
  const int k = idif - 1;
  for (std::size_t i = 0; i < kNodes.size(); ++i) {
    const auto& s = kNodes[i];
    std::array<double, D> g{}, dg{};
    double c = 1.0, h = 1.0, dh = 0.0;
    bool corner = true;
    for (int d = 0; d < D; ++d) {
      if (s[d] == 0) {
        g[d] = 1.0 - x[d] * x[d];
        dg[d] = -2.0 * x[d];
        corner = false;
      } else {
        g[d] = 1.0 + s[d] * x[d];
        dg[d] = s[d];
        c *= 0.5;
      }
    }
    if (Quadratic && corner) {
      h = -(D - 1);
      for (int d = 0; d < D; ++d) h += s[d] * x[d];
      if (k >= 0) dh = s[k];
    }
    double prod = 1.0, prod_other = 1.0;
    for (int d = 0; d < D; ++d) {
      prod *= g[d];
      if (d != k) prod_other *= g[d];
    }
    n[i] = k < 0 ? c * prod * h : c * (dg[k] * prod_other * h + prod * dh);
  }
}

template <int D>
void brick_family(word nord, word idif, std::span<const double> x, std::span<double> n) {
  if (idif < 0 || idif > D) bad_argument("IDIF", idif);
  if (nord == 1)
    brick_shapes<D, false>(idif, x, n);
  else if (nord == 2)
    brick_shapes<D, true>(idif, x, n);
  else
    bad_argument("NORD", nord);
}

// ---- Simplex family (triangle, tetrahedron) ---------------------------------

// Nodes as corner pairs (i, j), i <= j, ordered by j then i: (k, k) is corner
// k, (i, j) the middle of edge i-j.
template <int C>
constexpr auto simplex_nodes() {
  std::array<std::array<int, 2>, C * (C + 1) / 2> nodes{};
  int count = 0;
  for (int j = 0; j < C; ++j)
    for (int i = 0; i <= j; ++i) nodes[count++] = {i, j};
  return nodes;
}

// Corners Lk (2 Lk - 1), mid-edges 4 Li Lj; derivative with respect to L(m).
template <int C>
void simplex_quadratic(word idif, std::span<const double> l, std::span<double> n) {
  static constexpr auto kNodes = simplex_nodes<C>();
  assert(l.size() >= static_cast<std::size_t>(C) && n.size() >= kNodes.size());
  const int m = idif - 1;
  for (std::size_t p = 0; p < kNodes.size(); ++p) {
    const int i = kNodes[p][0], j = kNodes[p][1];
    if (i == j)
      n[p] = m < 0 ? l[i] * (2.0 * l[i] - 1.0) : (m == i ? 4.0 * l[i] - 1.0 : 0.0);
    else
      n[p] = m < 0 ? 4.0 * l[i] * l[j] : 4.0 * ((m == i ? l[j] : 0.0) + (m == j ? l[i] : 0.0));
  }
}

// N(i) = Li.
template <int C>
void simplex_linear(word idif, std::span<const double> l, std::span<double> n) {
  assert(l.size() >= static_cast<std::size_t>(C) && n.size() >= static_cast<std::size_t>(C));
  for (int i = 0; i < C; ++i) n[i] = idif == 0 ? l[i] : (idif - 1 == i ? 1.0 : 0.0);
}

// ---- Pentahedron ------------------------------------------------------------

// Linear: N = (1 + s zeta) Lk / 2 with s = -1 for the first three nodes, +1 for the last.
void wedge_linear(word idif, std::span<const double> x, std::span<double> n) {
  assert(x.size() >= 4 && n.size() >= 6);
  const double zeta = x[3];
  for (int p = 0; p < 6; ++p) {
    const int k = p % 3;
    const double s = p < 3 ? -1.0 : 1.0;
    const double lin = 1.0 + s * zeta;
    if (idif == 0)
      n[p] = 0.5 * lin * x[k];
    else if (idif == 4)
      n[p] = 0.5 * s * x[k];
    else
      n[p] = idif - 1 == k ? 0.5 * lin : 0.0;
  }
}

// Quadratic, with lin = 1 + s zeta and q = 1 - zeta^2: end-layer corners
// Lk (lin (2 Lk - 1) - q) / 2, end-layer mid-edges 2 Li Lj lin, middle-layer
// corners Lk q.
void wedge_quadratic(word idif, std::span<const double> x, std::span<double> n) {
  static constexpr auto kTri = simplex_nodes<3>();
  assert(x.size() >= 4 && n.size() >= 15);
  const double zeta = x[3];
  const double q = 1.0 - zeta * zeta, dq = -2.0 * zeta;
  const int m = idif - 1;  // 0-2: d/dLk, 3: d/dzeta
  int p = 0;
  for (const double s : {-1.0, 0.0, 1.0}) {
    if (s == 0.0) {
      for (int k = 0; k < 3; ++k, ++p)
        n[p] = idif == 0 ? x[k] * q : (m == 3 ? x[k] * dq : (m == k ? q : 0.0));
      continue;
    }
    const double lin = 1.0 + s * zeta;
    for (const auto& [i, j] : kTri) {
      if (i == j) {
        const double lk = x[i];
        if (idif == 0)
          n[p] = 0.5 * lk * (lin * (2.0 * lk - 1.0) - q);
        else if (m == 3)
          n[p] = 0.5 * lk * (s * (2.0 * lk - 1.0) - dq);
        else
          n[p] = m == i ? 0.5 * (lin * (4.0 * lk - 1.0) - q) : 0.0;
      } else if (idif == 0) {
        n[p] = 2.0 * x[i] * x[j] * lin;
      } else if (m == 3) {
        n[p] = 2.0 * x[i] * x[j] * s;
      } else {
        n[p] = 2.0 * lin * ((m == i ? x[j] : 0.0) + (m == j ? x[i] : 0.0));
      }
      ++p;
    }
  }
}

}  // namespace

void SHPQUA(word nord, word idif, std::span<const double> xi, std::span<double> n) {
  brick_family<2>(nord, idif, xi, n);
}

void SHPHEX(word nord, word idif, std::span<const double> xi, std::span<double> n) {
  brick_family<3>(nord, idif, xi, n);
}

void SHPPEN(word nord, word idif, std::span<const double> x, std::span<double> n) {
  if (idif < 0 || idif > 4) bad_argument("IDIF", idif);
  if (nord == 1)
    wedge_linear(idif, x, n);
  else if (nord == 2)
    wedge_quadratic(idif, x, n);
  else
    bad_argument("NORD", nord);
}

void SHPTET(word nord, word idif, std::span<const double> l, std::span<double> n) {
  if (idif < 0 || idif > 4) bad_argument("IDIF", idif);
  if (nord == 1)
    simplex_linear<4>(idif, l, n);
  else if (nord == 2)
    simplex_quadratic<4>(idif, l, n);
  else
    bad_argument("NORD", nord);
}

void SHPTRI(word idif, std::span<const double> l, std::span<double> n) {
  if (idif < 0 || idif > 3) bad_argument("IDIF", idif);
  simplex_quadratic<3>(idif, l, n);
}

void SHPLIN(word idif, std::span<const double> x, std::span<double> n) { SHPPEN(1, idif, x, n); }

}  // namespace zephsol
