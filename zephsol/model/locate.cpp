// Point location: Newton inversion of the isoparametric map of the solid and
// quadrilateral families, and the direct area coordinates of the triangles.
#include "zephsol/model/locate.h"

#include <algorithm>
#include <cmath>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/shapes.h"

namespace zephsol {

namespace {

enum class Kind { Brick, Wedge, Tet, Quad, Tri };

struct Family {
  Kind kind;
  word order;  // shape-function order
  int nodes;
  int dim;     // coordinates a node, and independent natural coordinates
};

constexpr Family kHex8{Kind::Brick, 1, 8, 3}, kHex20{Kind::Brick, 2, 20, 3}, kPent6{Kind::Wedge, 1, 6, 3},
    kPent15{Kind::Wedge, 2, 15, 3}, kTet10{Kind::Tet, 2, 10, 3}, kQuad4{Kind::Quad, 1, 4, 2},
    kTri3{Kind::Tri, 1, 3, 2};

constexpr double kThird = 0.33333333333333;
constexpr float kConverged = 1.0E-8f;  // squared distance, model units
constexpr float kHigh = 1.001f, kLow = -0.001f;
constexpr int kMaxCorrections = 6;

using Nat = std::array<double, 4>;
using Shapes = std::array<double, 20>;
using Vec = std::array<double, 3>;

Nat start(const Family& f) {
  switch (f.kind) {
    case Kind::Wedge:
      return {kThird, kThird, kThird, 0.0};
    case Kind::Tet:
      return {0.25, 0.25, 0.25, 0.25};
    default:
      return {};
  }
}

void shapes(const Family& f, const Nat& s, word idif, Shapes& n) {
  const std::span<double> out(n.data(), static_cast<std::size_t>(f.nodes));
  switch (f.kind) {
    case Kind::Brick:
      SHPHEX(f.order, idif, std::span<const double>(s.data(), 3), out);
      return;
    case Kind::Quad:
      SHPQUA(f.order, idif, std::span<const double>(s.data(), 2), out);
      return;
    case Kind::Wedge:
      SHPPEN(f.order, idif, s, out);
      return;
    case Kind::Tet:
    case Kind::Tri:
      SHPTET(f.order, idif, s, out);
      return;
  }
}

// Node j's coordinates from ESTCOM.
Vec node(const Family& f, int j) {
  const auto& xyz = estcom().XYZ;
  Vec x{};
  for (int b = 0; b < f.dim; ++b) x[static_cast<std::size_t>(b)] = xyz[static_cast<std::size_t>(f.dim * j + b)];
  return x;
}

double squared(const Family& f, const Vec& a, const Vec& b) {
  double d = 0.0;
  for (int k = 0; k < f.dim; ++k) d += (a[static_cast<std::size_t>(k)] - b[static_cast<std::size_t>(k)]) *
                                       (a[static_cast<std::size_t>(k)] - b[static_cast<std::size_t>(k)]);
  return d;
}

// X = sum N_j x_j.
Vec mapped(const Family& f, const Shapes& n) {
  Vec x{};
  for (int j = 0; j < f.nodes; ++j) {
    const Vec xj = node(f, j);
    for (int b = 0; b < f.dim; ++b) x[static_cast<std::size_t>(b)] += n[static_cast<std::size_t>(j)] * xj[static_cast<std::size_t>(b)];
  }
  return x;
}

Sphere sphere_of(const Family& f) {
  Sphere sp;
  if (f.kind == Kind::Tri) {
    for (int j = 0; j < 3; ++j)
      for (int b = 0; b < 2; ++b) sp.centre[static_cast<std::size_t>(b)] += node(f, j)[static_cast<std::size_t>(b)];
    for (double& c : sp.centre) c *= kThird;
  } else {
    Shapes n{};
    shapes(f, start(f), 0, n);
    sp.centre = mapped(f, n);
  }
  for (int j = 0; j < f.nodes; ++j) sp.r2 = std::max(sp.r2, squared(f, sp.centre, node(f, j)));
  return sp;
}

// dN/ds_a for the independent natural coordinate a (0-based).
void derivative(const Family& f, const Nat& s, int a, Shapes& dn) {
  Shapes minus{};
  switch (f.kind) {
    case Kind::Wedge:
      if (a == 2) return shapes(f, s, 4, dn);
      shapes(f, s, a + 1, dn);
      shapes(f, s, 3, minus);
      break;
    case Kind::Tet:
      shapes(f, s, a + 2, dn);
      shapes(f, s, 1, minus);
      break;
    default:
      return shapes(f, s, a + 1, dn);
  }
  for (int j = 0; j < f.nodes; ++j) dn[static_cast<std::size_t>(j)] -= minus[static_cast<std::size_t>(j)];
}

// Solves J^T delta = d for the 2 x 2 or 3 x 3 Jacobian J(a, b) = dX_b/ds_a:
// delta(a) = sum over b of inv(J)(b, a) d(b). False when det J <= 0.
bool correction(const Family& f, const std::array<Vec, 3>& j, const Vec& d, Vec& delta) {
  if (f.dim == 2) {
    const double det = j[0][0] * j[1][1] - j[0][1] * j[1][0];
    if (det <= 0.0) return false;
    const double inv[2][2] = {{j[1][1] / det, -j[0][1] / det}, {-j[1][0] / det, j[0][0] / det}};
    for (int a = 0; a < 2; ++a) delta[static_cast<std::size_t>(a)] = inv[0][a] * d[0] + inv[1][a] * d[1];
    return true;
  }
  const double c00 = j[1][1] * j[2][2] - j[1][2] * j[2][1], c01 = j[1][2] * j[2][0] - j[1][0] * j[2][2],
               c02 = j[1][0] * j[2][1] - j[1][1] * j[2][0];
  const double det = j[0][0] * c00 + j[0][1] * c01 + j[0][2] * c02;
  if (det <= 0.0) return false;
  // inv(J)(b, a) = cofactor(a, b) / det.
  const double cof[3][3] = {{c00, c01, c02},
                            {j[0][2] * j[2][1] - j[0][1] * j[2][2], j[0][0] * j[2][2] - j[0][2] * j[2][0],
                             j[0][1] * j[2][0] - j[0][0] * j[2][1]},
                            {j[0][1] * j[1][2] - j[0][2] * j[1][1], j[0][2] * j[1][0] - j[0][0] * j[1][2],
                             j[0][0] * j[1][1] - j[0][1] * j[1][0]}};
  for (int a = 0; a < 3; ++a) {
    double sum = 0.0;
    for (int b = 0; b < 3; ++b) sum += cof[a][b] / det * d[static_cast<std::size_t>(b)];
    delta[static_cast<std::size_t>(a)] = sum;
  }
  return true;
}

// s := s - delta over the independent coordinates; the dependent area or
// volume coordinate follows.
void update(const Family& f, Nat& s, const Vec& delta) {
  switch (f.kind) {
    case Kind::Wedge:
      s[0] -= delta[0];
      s[1] -= delta[1];
      s[3] -= delta[2];
      s[2] = 1.0 - s[0] - s[1];
      return;
    case Kind::Tet:
      s[1] -= delta[0];
      s[2] -= delta[1];
      s[3] -= delta[2];
      s[0] = 1.0 - s[1] - s[2] - s[3];
      return;
    default:
      for (int a = 0; a < f.dim; ++a) s[static_cast<std::size_t>(a)] -= delta[static_cast<std::size_t>(a)];
  }
}

bool in_unit(double v) { return v >= kLow && v <= kHigh; }
bool in_span(double v) { return std::abs(v) <= kHigh; }

bool inside(const Family& f, const Nat& s) {
  switch (f.kind) {
    case Kind::Brick:
      return in_span(s[0]) && in_span(s[1]) && in_span(s[2]);
    case Kind::Quad:
      return in_span(s[0]) && in_span(s[1]);
    case Kind::Wedge:
      return in_unit(s[0]) && in_unit(s[1]) && in_unit(s[2]) && in_span(s[3]);
    case Kind::Tet:
      return in_unit(s[0]) && in_unit(s[1]) && in_unit(s[2]) && in_unit(s[3]);
    case Kind::Tri:
      return in_unit(s[0]) && in_unit(s[1]) && in_unit(s[2]);
  }
  return false;
}

void keep(const Nat& s, const Shapes& n) {
  PNTLOC& l = model_state().pntloc;
  l.s = s;
  l.N = n;
}

Vec point_of(const Point& p) { return {p[0], p[1], p[2]}; }

void newton(const Family& f, const Point& p, word& flag) {
  flag = 0;
  const Vec target = point_of(p);
  Nat s = start(f);
  Shapes n{};
  shapes(f, s, 0, n);
  Vec x = mapped(f, n);
  const Sphere sp = sphere_of(f);
  for (int count = 1;;) {
    Vec d{};
    for (int b = 0; b < f.dim; ++b) d[static_cast<std::size_t>(b)] = x[static_cast<std::size_t>(b)] - target[static_cast<std::size_t>(b)];
    const double dist = squared(f, x, target);
    if (dist > sp.r2) return keep(s, n);
    if (dist < kConverged) break;
    std::array<Vec, 3> jac{};
    for (int a = 0; a < f.dim; ++a) {
      Shapes dn{};
      derivative(f, s, a, dn);
      for (int j = 0; j < f.nodes; ++j) {
        const Vec xj = node(f, j);
        for (int b = 0; b < f.dim; ++b)
          jac[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)] += dn[static_cast<std::size_t>(j)] * xj[static_cast<std::size_t>(b)];
      }
    }
    Vec delta{};
    if (!correction(f, jac, d, delta)) return keep(s, n);
    update(f, s, delta);
    shapes(f, s, 0, n);
    if (++count > kMaxCorrections) break;
    x = mapped(f, n);
  }
  if (inside(f, s)) flag = -1;
  keep(s, n);
}

// Area coordinates of the linear triangle, in single precision.
void triangle(const Point& p, word& flag) {
  flag = 0;
  const Family& f = kTri3;
  const Sphere sp = sphere_of(f);
  if (squared(f, sp.centre, point_of(p)) > sp.r2) return keep({}, {});
  const auto& xyz = estcom().XYZ;
  const float a = xyz[0] - xyz[4], b = xyz[1] - xyz[5], c = xyz[2] - xyz[4], e = xyz[3] - xyz[5];
  const float det = a * e - b * c;
  if (det <= 0.0f) return keep({}, {});
  const float dx = p[0] - xyz[4], dy = p[1] - xyz[5];
  const float l1 = (e * dx - c * dy) / det, l2 = (a * dy - b * dx) / det, l3 = 1.0f - l1 - l2;
  const Nat s{l1, l2, l3, 0.0};
  if (inside(f, s)) flag = -1;
  keep(s, {l1, l2, l3});
}

struct Entry {
  Locator routine;
  const Family* family;
};

}  // namespace

void LCHEX8(const Point& p, word& flag) { newton(kHex8, p, flag); }
void LCHEX20(const Point& p, word& flag) { newton(kHex20, p, flag); }
void LCPENT6(const Point& p, word& flag) { newton(kPent6, p, flag); }
void LCPENT15(const Point& p, word& flag) { newton(kPent15, p, flag); }
void LCTET10(const Point& p, word& flag) { newton(kTet10, p, flag); }
void LCQAX4(const Point& p, word& flag) { newton(kQuad4, p, flag); }
void LCQPLAN4(const Point& p, word& flag) { LCQAX4(p, flag); }
void LCTAX3(const Point& p, word& flag) { triangle(p, flag); }
void LCTPLAN3(const Point& p, word& flag) { LCTAX3(p, flag); }

namespace {

const Family& family_of(Locator routine) {
  static constexpr Entry kTable[] = {{LCHEX8, &kHex8},   {LCHEX20, &kHex20}, {LCPENT6, &kPent6},
                                     {LCPENT15, &kPent15}, {LCTET10, &kTet10}, {LCQAX4, &kQuad4},
                                     {LCQPLAN4, &kQuad4},  {LCTAX3, &kTri3},   {LCTPLAN3, &kTri3}};
  for (const Entry& e : kTable)
    if (e.routine == routine) return *e.family;
  return kHex8;
}

}  // namespace

Sphere locator_sphere(Locator routine) { return sphere_of(family_of(routine)); }
int locator_dimension(Locator routine) { return family_of(routine).dim; }
int locator_nodes(Locator routine) { return family_of(routine).nodes; }

}  // namespace zephsol
