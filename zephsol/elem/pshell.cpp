// Distributed loads of the flat shell and the membranes: an in-plane
// traction normal to an edge, and on the shell a pressure on either face or
// a face load along a global axis.
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/elem/pload.h"

namespace zephsol {
namespace {

using kin::Vec3;
using Edge = std::array<int, 2>;

constexpr std::array<Edge, 4> kQuadEdges{{{1, 2}, {2, 4}, {4, 3}, {3, 1}}};
constexpr std::array<Edge, 3> kTriEdges{{{1, 2}, {2, 3}, {3, 1}}};

// The shell's faces for a pressure: code 5 pushes along +e3, code 6 along -e3.
constexpr std::array<pload::Face, 2> kShellFaces{{
    {pload::FaceShape::Quad4, {3, 4, 1, 2}},
    {pload::FaceShape::Quad4, {1, 2, 3, 4}},
}};

// Edge e of a shell or membrane with nn nodes and dpn DOFs per node: the
// in-plane end forces in the element axes, turned to global translations.
template <int NN>
void edge_entry(std::span<const Edge> edges, int dpn, word code, std::span<const float> values,
                std::span<double> pe) {
  pload::need(values, 2, code);
  std::array<double, 9> t{};
  if constexpr (NN == 4) {
    LAXQ4(t);
  } else {
    double length = 0.0;
    LAXT3(t, length);
  }
  std::array<double, 2 * NN> xl{};
  plane_coords(t, NN, xl);
  const Edge& edge = edges[static_cast<std::size_t>(code - 1)];
  const auto a = static_cast<std::size_t>(2 * (edge[0] - 1)), b = static_cast<std::size_t>(2 * (edge[1] - 1));
  const std::array<double, 4> x{xl[a], xl[a + 1], xl[b], xl[b + 1]};
  std::array<double, 4> f{};
  PDLN2A(x, values, f);
  const Vec3 e1 = kin::triad_axis(t, 0), e2 = kin::triad_axis(t, 1);
  for (int s = 0; s < 3; ++s) {
    pload::add_at(pe, dpn, edge[0], s, f[0] * e1[s] + f[1] * e2[s]);
    pload::add_at(pe, dpn, edge[1], s, f[2] * e1[s] + f[3] * e2[s]);
  }
}

}  // namespace

void PDLN2A(std::span<const double, 4> x, std::span<const float> p, std::span<double, 4> f) {
  const double dx = x[2] - x[0], dy = x[3] - x[1];
  const double length = std::sqrt(dx * dx + dy * dy);
  if (length <= 0.0) {
    for (double& v : f) v = 0.0;
    return;
  }
  // Left normal of the edge; F1 = t L (2 p1 + p2) / 6, F2 = t L (p1 + 2 p2) / 6.
  const double fx = -dy / length, fy = dx / length;
  const double t = static_cast<double>(estcom().PROP[0]);
  const double p1 = static_cast<double>(p[0]), p2 = static_cast<double>(p[1]);
  const double c = length / 12.0;
  const double f1 = c * (4.0 * t * p1 + 2.0 * t * p2), f2 = c * (2.0 * t * p1 + 4.0 * t * p2);
  f[0] = fx * f1;
  f[1] = fy * f1;
  f[2] = fx * f2;
  f[3] = fy * f2;
}

void PDQFLA4(word code, std::span<const float> values, std::span<double> pe) {
  if (code == 5 || code == 6) return PDQFL5(code, values, pe);
  if (code >= 7 && code <= 9) return PDQFL7(code, values, pe);
  if (code < 1 || code > 4) pload::bad_code(code);
  edge_entry<4>(kQuadEdges, 6, code, values, pe);
}

void PDQMEM4(word code, std::span<const float> values, std::span<double> pe) {
  if (code < 1 || code > 4) pload::bad_code(code);
  edge_entry<4>(kQuadEdges, 3, code, values, pe);
}

void PDTMEM3(word code, std::span<const float> values, std::span<double> pe) {
  if (code < 1 || code > 3) pload::bad_code(code);
  edge_entry<3>(kTriEdges, 3, code, values, pe);
}

void PDQFL5(word code, std::span<const float> values, std::span<double> pe) {
  if (code != 5 && code != 6) pload::bad_code(code);
  pload::need(values, 4, code);
  const pload::Face& face = kShellFaces[static_cast<std::size_t>(code - 5)];
  const auto p = pload::values_at_positions(face.shape, pload::ValueOrder::Perimeter, values);
  pload::face_pressure(face, p, 6, pe);
}

void PDQFL7(word code, std::span<const float> values, std::span<double> pe) {
  if (code < 7 || code > 9) pload::bad_code(code);
  pload::need(values, 4, code);
  std::array<double, 9> t{};
  LAXQ4(t);
  std::array<double, 8> xl{};
  plane_coords(t, 4, xl);
  // Lumped: node k receives its value times its share of the true area.
  const std::array<double, 4> share = pload::plane_quad_shares(xl, false);
  for (int k = 0; k < 4; ++k) pload::add_at(pe, 6, k + 1, code - 7, share[k] * static_cast<double>(values[k]));
}

}  // namespace zephsol
