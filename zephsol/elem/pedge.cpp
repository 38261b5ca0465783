// Edge loads of the plane and axisymmetric elements and line loads of the
// beam: a load varying linearly between the two ends of a straight edge or
// member, as consistent end forces through one line integration (PDLN2B).
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

constexpr double kPi = 3.14159265359;
constexpr word kBeam2 = 5, kRod2 = 6;

// Edges (first node, second node) of the quadrilaterals and triangles.
using Edge = std::array<int, 2>;
constexpr std::array<Edge, 4> kQuadEdges{{{1, 2}, {2, 4}, {4, 3}, {3, 1}}};
constexpr std::array<Edge, 3> kTriEdges{{{1, 2}, {2, 3}, {3, 1}}};

// An edge-loaded type: its edges, the largest direction code, the weighting
// flag of PDLN2B and whether the load acts on unit thickness.
struct EdgeType {
  std::span<const Edge> edges;
  int max_dir;
  word iflg;
  bool unit_thickness;
};

constexpr word kRing = -1, kFlat = 0;

// Edge entry 10 d + e of a plane or axisymmetric element.
void edge_entry(const EdgeType& type, word code, std::span<const float> values, std::span<double> pe) {
  const word d = code / 10, e = code % 10;
  if (code < 1 || d > type.max_dir || e < 1 || e > static_cast<word>(type.edges.size())) pload::bad_code(code);
  pload::need(values, 2, code);
  const Edge& edge = type.edges[static_cast<std::size_t>(e - 1)];
  const auto& xy = estcom().XYZ;
  const auto a = static_cast<std::size_t>(2 * (edge[0] - 1)), b = static_cast<std::size_t>(2 * (edge[1] - 1));
  std::array<double, 4> x{xy[a], xy[a + 1], xy[b], xy[b + 1]};
  std::array<double, 4> f{};
  float& t = estcom().PROP[0];
  const float kept = t;
  if (type.unit_thickness) t = 1.0f;
  PDLN2B(x, values, type.iflg, f, d);
  t = kept;
  for (int s = 0; s < 2; ++s) {
    pload::add_at(pe, 2, edge[0], s, f[s]);
    pload::add_at(pe, 2, edge[1], s, f[2 + s]);
  }
}

constexpr EdgeType kQax4{kQuadEdges, 2, kRing, false};
constexpr EdgeType kTax3{kTriEdges, 2, kRing, false};
constexpr EdgeType kQplan4{kQuadEdges, 4, kFlat, true};
constexpr EdgeType kTplan3{kTriEdges, 2, kFlat, true};

// Unit vector of global axis a (0-based).
Vec3 global_axis(int a) {
  Vec3 u{};
  u[a] = 1.0;
  return u;
}

}  // namespace

void PDLN2B(std::span<double, 4> x, std::span<const float> p, word iflg, std::span<double, 4> f, word icd) {
  const double dx = x[2] - x[0], dy = x[3] - x[1];
  const double true_length = std::sqrt(dx * dx + dy * dy);
  double length = true_length;
  // The radii of the ends are those of the edge itself, not of its projection.
  const double r1 = x[0], r2 = x[2];
  if (icd == 1) x[2] = x[0];
  if (icd == 2) x[3] = x[1];
  if (icd >= 1 && icd <= 4) length = std::hypot(x[2] - x[0], x[3] - x[1]);
  if (icd == 11 || icd == 12 || icd == 13 || icd == 14 || icd == 21 || icd == 31) {
    // Length in space between the element's first two nodes, projected onto
    // the plane normal to the load's axis for 11, 21 and 31.
    const Vec3 n1 = kin::node3(1);
    Vec3 n2 = kin::node3(2);
    if (icd == 11) n2[0] = n1[0];
    if (icd == 21) n2[1] = n1[1];
    if (icd == 31) n2[2] = n1[2];
    length = kin::norm(kin::sub(n2, n1));
  }
  if (length <= 0.0) {
    for (double& v : f) v = 0.0;
    return;
  }
  // Direction: a global axis, or the left normal of the line from its first end.
  double fx = 0.0, fy = 0.0;
  if (icd == 1 || icd == 3 || icd >= 11) {
    fx = 1.0;
  } else if (icd == 2 || icd == 4) {
    fy = 1.0;
  } else {
    fx = -dy / true_length;
    fy = dx / true_length;
  }
  // F1 = c (A p1 + B p2), F2 = c (B p1 + D p2): the integrals of N1 and N2
  // times the load and the thickness t or the ring length 2 pi r, both linear.
  double c = 0.0, wa = 0.0, wb = 0.0, wd = 0.0;
  if ((iflg & 2) != 0) {
    c = kPi * length / 6.0;
    wa = 3.0 * r1 + r2;
    wb = r1 + r2;
    wd = r1 + 3.0 * r2;
  } else {
    const word type = estcom().IECOD;
    const double t = type == kBeam2 || type == kRod2 ? 1.0 : static_cast<double>(estcom().PROP[0]);
    c = length / 12.0;
    wa = 3.0 * t + t;
    wb = t + t;
    wd = t + 3.0 * t;
  }
  const double p1 = static_cast<double>(p[0]), p2 = static_cast<double>(p[1]);
  const double f1 = c * (wa * p1 + wb * p2), f2 = c * (wb * p1 + wd * p2);
  f[0] = fx * f1;
  f[1] = fy * f1;
  f[2] = fx * f2;
  f[3] = fy * f2;
}

void PDQAX4(word code, std::span<const float> values, std::span<double> pe) { edge_entry(kQax4, code, values, pe); }

void PDTAX3(word code, std::span<const float> values, std::span<double> pe) { edge_entry(kTax3, code, values, pe); }

void PDQPN4(word code, std::span<const float> values, std::span<double> pe) { edge_entry(kQplan4, code, values, pe); }

void PDTPLAN3(word code, std::span<const float> values, std::span<double> pe) {
  edge_entry(kTplan3, code, values, pe);
}

void PDROD2(word code, std::span<const float> values, std::span<double> pe) {
  const bool section = code == 1 || code == 2;
  const bool global = (code == 11 || code == 12 || code == 21 || code == 22 || code == 31 || code == 32);
  if (!section && !global) pload::bad_code(code);
  pload::need(values, 2, code);
  std::array<double, 9> t{};
  double length = 0.0;
  LAXT3(t, length);
  std::array<double, 4> x{};
  plane_coords(t, 2, x);
  std::array<double, 4> f{};
  Vec3 u1{}, u2{};  // global end forces of the first and second node
  if (section) {
    // Along e2 (code 1) or e3 (code 2); the line lies along e1.
    PDLN2B(x, values, 0, f, 0);
    const Vec3 e1 = kin::triad_axis(t, 0), v = kin::triad_axis(t, code);
    for (int s = 0; s < 3; ++s) {
      u1[s] = f[0] * e1[s] + f[1] * v[s];
      u2[s] = f[2] * e1[s] + f[3] * v[s];
    }
  } else {
    PDLN2B(x, values, 0, f, code);
    const Vec3 u = global_axis(code / 10 - 1);
    u1 = kin::scale(u, f[0]);
    u2 = kin::scale(u, f[2]);
  }
  for (int s = 0; s < 3; ++s) {
    pe[static_cast<std::size_t>(s)] += u1[s];
    pe[static_cast<std::size_t>(3 + s)] += u2[s];
  }
}

}  // namespace zephsol
