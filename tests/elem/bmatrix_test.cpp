// Strain-displacement matrices of the continuum, membrane and shell elements:
// on distorted elements, B u of a linear displacement field gives its exact
// strain at random points, and rigid motions give none; the assumed-strain
// options agree with the plain matrix where they must; a flat shell in pure
// bending; inverted elements queue one deferred message per call.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/rules.h"

namespace zephsol {
namespace {

using test::M3;
using test::V3;

constexpr word kHex8 = 1, kPent6 = 2, kQax4 = 3, kTax3 = 4, kQfla4 = 7, kQmem4 = 9, kTmem3 = 10, kQplan4 = 11,
               kTplan3 = 12, kHex20 = 15, kPent15 = 16, kTet10 = 17;

// u = a + H x.
struct Field {
  V3 a{};
  M3 h{};
  V3 at(const V3& x) const {
    const V3 hx = test::apply(h, x);
    return {a[0] + hx[0], a[1] + hx[1], a[2] + hx[2]};
  }
};

// A random linear field, or a random rigid motion (H skew).
Field random_field(std::mt19937& rng, bool rigid) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Field f;
  for (double& v : f.a) v = u(rng);
  for (auto& row : f.h)
    for (double& v : row) v = u(rng);
  if (rigid)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j <= i; ++j) {
        f.h[i][j] = i == j ? 0.0 : -f.h[j][i];
      }
  return f;
}

// B u for B of ns rows.
std::vector<double> apply_b(const std::vector<double>& b, int ns, const std::vector<double>& u) {
  const std::size_t n = u.size();
  std::vector<double> e(ns, 0.0);
  for (int c = 0; c < ns; ++c)
    for (std::size_t j = 0; j < n; ++j) e[c] += b[c * n + j] * u[j];
  return e;
}

void expect_strain(const std::vector<double>& got, const std::vector<double>& want, const std::string& what,
                   double tol = 1e-10) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t c = 0; c < got.size(); ++c) EXPECT_NEAR(got[c], want[c], tol) << what << " component " << c;
}

// Reference positions moved by up to amp in every direction, then rotated
// and moved as a whole (3-D), or moved in the plane by a positive shift (2-D,
// so that an axisymmetric element stays off the axis); in the record's single
// precision.
std::vector<V3> distorted(const std::vector<V3>& ref, std::mt19937& rng, double amp, bool rotate) {
  std::uniform_real_distribution<double> d(-amp, amp), c(rotate ? -3.0 : 0.0, 3.0);
  const M3 q = rotate ? test::random_rotation(rng) : M3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  const V3 shift{c(rng), c(rng), rotate ? c(rng) : 0.0};
  std::vector<V3> x;
  for (const V3& p : ref) {
    const V3 g = test::apply(q, {p[0] + d(rng), p[1] + d(rng), rotate ? p[2] + d(rng) : 0.0});
    x.push_back({test::f32(g[0] + shift[0]), test::f32(g[1] + shift[1]), test::f32(g[2] + shift[2])});
  }
  return x;
}

// ---- Reference shapes (node order of the element) ---------------------------------

std::vector<V3> quad8_layer(double z) {
  return {{-1, -1, z}, {0, -1, z}, {1, -1, z}, {-1, 0, z}, {1, 0, z}, {-1, 1, z}, {0, 1, z}, {1, 1, z}};
}
std::vector<V3> hex20_reference() {
  auto x = quad8_layer(-1);
  for (const V3& p : std::vector<V3>{{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}}) x.push_back(p);
  for (const V3& p : quad8_layer(1)) x.push_back(p);
  return x;
}
// Triangle corners at (0, 0), (2, 0), (0, 2); six nodes in element order.
std::vector<V3> tri_layer(double z, bool quadratic) {
  if (!quadratic) return {{0, 0, z}, {2, 0, z}, {0, 2, z}};
  return {{0, 0, z}, {1, 0, z}, {2, 0, z}, {0, 1, z}, {1, 1, z}, {0, 2, z}};
}
std::vector<V3> pent_reference(bool quadratic) {
  auto x = tri_layer(-1, quadratic);
  if (quadratic)
    for (const V3& p : tri_layer(0, false)) x.push_back(p);
  for (const V3& p : tri_layer(1, quadratic)) x.push_back(p);
  return x;
}
std::vector<V3> tet10_reference() {
  return {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0},
          {0, 2, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {0, 0, 2}};
}
std::vector<V3> quad4_reference() { return {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}}; }

// The mean of g over the ring that the quadrilateral x (corners in the node
// order) sweeps about the axis: the integrals of g r and r over its area,
// each by the 2 x 2 Gauss rule on the bilinear map.
double ring_mean(const std::vector<V3>& x, const std::function<double(const V3&)>& g) {
  const double a = 1.0 / std::sqrt(3.0);
  double top = 0.0, bottom = 0.0;
  for (const double eta : {-a, a})
    for (const double xi : {-a, a}) {
      const double n[4] = {(1 - xi) * (1 - eta) / 4, (1 + xi) * (1 - eta) / 4, (1 - xi) * (1 + eta) / 4, (1 + xi) * (1 + eta) / 4};
      const double dxi[4] = {-(1 - eta) / 4, (1 - eta) / 4, -(1 + eta) / 4, (1 + eta) / 4};
      const double deta[4] = {-(1 - xi) / 4, -(1 + xi) / 4, (1 - xi) / 4, (1 + xi) / 4};
      V3 p{0, 0, 0};
      double j11 = 0, j12 = 0, j21 = 0, j22 = 0;
      for (int k = 0; k < 4; ++k) {
        p[0] += n[k] * x[static_cast<std::size_t>(k)][0];
        p[1] += n[k] * x[static_cast<std::size_t>(k)][1];
        j11 += dxi[k] * x[static_cast<std::size_t>(k)][0];
        j12 += dxi[k] * x[static_cast<std::size_t>(k)][1];
        j21 += deta[k] * x[static_cast<std::size_t>(k)][0];
        j22 += deta[k] * x[static_cast<std::size_t>(k)][1];
      }
      const double w = (j11 * j22 - j12 * j21) * p[0];
      top += w * g(p);
      bottom += w;
    }
  return top / bottom;
}

// Random points: brick (xi, eta, zeta), wedge (L1, L2, L3, zeta), tetrahedron
// (L1, L2, L3, L4), quadrilateral (xi, eta), triangle (L1, L2, L3).
enum class PointKind { Brick, Wedge, Tet, Quad, Tri };
std::vector<double> random_point(PointKind kind, std::mt19937& rng) {
  std::uniform_real_distribution<double> s(-0.95, 0.95), l(0.02, 0.96);
  auto simplex = [&](int m) {  // m area/volume coordinates summing to 1
    std::vector<double> c(m);
    double rest;
    do {
      rest = 1.0;
      for (int i = 1; i < m; ++i) rest -= (c[i] = l(rng));
    } while (rest < 0.02);
    c[0] = rest;
    return c;
  };
  switch (kind) {
    case PointKind::Brick: return {s(rng), s(rng), s(rng)};
    case PointKind::Quad: return {s(rng), s(rng)};
    case PointKind::Wedge: {
      auto c = simplex(3);
      c.push_back(s(rng));
      return c;
    }
    case PointKind::Tet: return simplex(4);
    case PointKind::Tri: return simplex(3);
  }
  return {};
}

using BSolid = std::function<void(std::span<const double>, std::span<double>, double&)>;

BSolid hex8(word ibbar, word ishear) {
  return [=](std::span<const double> pt, std::span<double> b, double& detj) {
    std::array<double, 9> r{};
    std::array<double, 36> ts{};
    std::array<double, 24> xl{};
    if (estcom().EQIX[6] != estcom().EQIX[7]) LAXH8(r, ts, xl);
    BHEX8(pt, r, ts, xl, b, detj, ibbar, ishear);
  };
}

struct SolidCase {
  const char* name;
  word iecod;
  std::vector<V3> ref;
  PointKind kind;
  BSolid bmat;
  bool merge78 = false;  // node 8 repeats node 7 (degenerate hexahedron)
};

std::vector<SolidCase> solid_cases() {
  return {
      {"HEX8", kHex8, test::hex8_reference(), PointKind::Brick, hex8(0, 1)},
      {"HEX8R", kHex8, test::hex8_reference(), PointKind::Brick, hex8(1, 0)},
      {"HEX8 plain", kHex8, test::hex8_reference(), PointKind::Brick, hex8(0, 0)},
      {"HEX8 both options", kHex8, test::hex8_reference(), PointKind::Brick, hex8(1, 1)},
      {"HEX8 degenerate", kHex8, test::hex8_reference(), PointKind::Brick, hex8(0, 1), true},
      {"HEX8R degenerate", kHex8, test::hex8_reference(), PointKind::Brick, hex8(1, 0), true},
      {"HEX20", kHex20, hex20_reference(), PointKind::Brick, BHEX20},
      {"PENT6", kPent6, pent_reference(false), PointKind::Wedge, BPENT6},
      {"PENT15", kPent15, pent_reference(true), PointKind::Wedge, BPENT15},
      {"TET10", kTet10, tet10_reference(), PointKind::Tet, BTET10},
  };
}

// Places a distorted copy of c's reference shape in the current element.
std::vector<V3> place_solid(const SolidCase& c, std::mt19937& rng) {
  auto x = distorted(c.ref, rng, 0.15, true);
  if (c.merge78) {
    for (int i = 0; i < 3; ++i) x[7][i] = x[6][i] = test::f32((x[6][i] + x[7][i]) / 2);
  }
  test::set_element(c.iecod, test::flat(x));
  if (c.merge78) estcom().EQIX[7] = estcom().EQIX[6];
  return x;
}

TEST(StrainDisplacement, SolidsReproduceLinearFieldsAndIgnoreRigidMotions) {
  std::mt19937 rng(20);
  for (const SolidCase& c : solid_cases()) {
    for (int element = 0; element < 3; ++element) {
      const auto x = place_solid(c, rng);
      const int n = 3 * static_cast<int>(x.size());
      for (const bool rigid : {false, true}) {
        const Field f = random_field(rng, rigid);
        std::vector<double> u;
        for (const V3& p : x)
          for (double v : f.at(p)) u.push_back(v);
        const M3& h = f.h;
        const std::vector<double> want{h[0][0], h[1][1], h[2][2], h[0][1] + h[1][0], h[1][2] + h[2][1],
                                       h[2][0] + h[0][2]};
        for (int p = 0; p < 5; ++p) {
          std::vector<double> b(6 * n, 99.0);
          double detj = 0;
          c.bmat(random_point(c.kind, rng), b, detj);
          EXPECT_GT(detj, 0.0) << c.name;
          const auto got = apply_b(b, 6, u);
          expect_strain(got, rigid ? std::vector<double>(6, 0.0) : want, std::string(c.name) + (rigid ? " rigid" : ""));
        }
      }
      EXPECT_EQ(test::deferred_count(), 0) << c.name;
    }
  }
}

TEST(StrainDisplacement, HexahedronOptionsAgreeWithThePlainMatrixAtTheCentre) {
  // At the centre the centre dilatation and the shear sampling points are the
  // point itself: every option set gives the plain matrix in global axes,
  // which the degenerate path computes directly.
  std::mt19937 rng(5);
  const SolidCase c{"HEX8", kHex8, test::hex8_reference(), PointKind::Brick, nullptr};
  place_solid(c, rng);
  const std::array<double, 3> centre{0, 0, 0};
  std::vector<double> plain(144);
  double detj = 0;
  const word eqix8 = estcom().EQIX[7];
  estcom().EQIX[7] = estcom().EQIX[6];
  hex8(0, 0)(centre, plain, detj);
  estcom().EQIX[7] = eqix8;
  for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 0}}) {
    std::vector<double> b(144);
    hex8(ibbar, ishear)(centre, b, detj);
    for (int i = 0; i < 144; ++i) EXPECT_NEAR(b[i], plain[i], 1e-12) << ibbar << ishear << " entry " << i;
  }
}

TEST(StrainDisplacement, PlaneAndAxisymmetricElementsReproduceLinearFields) {
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int element = 0; element < 3; ++element) {
    // Plane strain: (e_x, e_y, 0, g_xy) of u = a + H x in the plane.
    for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}}) {
      const auto x = distorted(quad4_reference(), rng, 0.3, false);
      test::set_element(kQplan4, test::flat(x, 2));
      for (const bool rigid : {false, true}) {
        const Field f = random_field(rng, rigid);
        std::vector<double> nodal;
        for (const V3& p : x) nodal.insert(nodal.end(), {f.at(p)[0], f.at(p)[1]});
        const std::vector<double> want =
            rigid ? std::vector<double>(4, 0.0) : std::vector<double>{f.h[0][0], f.h[1][1], 0.0, f.h[0][1] + f.h[1][0]};
        for (int p = 0; p < 4; ++p) {
          std::vector<double> b(32, 99.0);
          double detj = 0;
          BQPLAN4(random_point(PointKind::Quad, rng), b, detj, ibbar, ishear);
          expect_strain(apply_b(b, 4, nodal), want, "QPLAN4");
        }
      }
    }
    {
      const auto x = distorted(std::vector<V3>{{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}, rng, 0.3, false);
      test::set_element(kTplan3, test::flat(x, 2));
      std::array<double, 4> g{};
      double det = 0;
      ASSERT_TRUE(tri3_jacobian(test::flat(x, 2), g, det));
      const Field f = random_field(rng, false);
      std::vector<double> nodal;
      for (const V3& p : x) nodal.insert(nodal.end(), {f.at(p)[0], f.at(p)[1]});
      std::vector<double> b(24, 99.0);
      BTPLAN3(random_point(PointKind::Tri, rng), g, b);
      expect_strain(apply_b(b, 4, nodal), {f.h[0][0], f.h[1][1], 0.0, f.h[0][1] + f.h[1][0]}, "TPLAN3");
    }

    // Axisymmetric: u_r = a + c r + g z, u_z = b + f r + d z gives (c, d,
    // u_r / r, g + f), the hoop strain at the point, or its mean over the
    // ring with the mean dilatation; u_r = c r, u_z = d z gives (c, d, c, 0)
    // with either.
    std::vector<V3> ring = quad4_reference();
    for (V3& p : ring) p[0] += 2.5;
    const auto x = distorted(ring, rng, 0.3, false);
    const double a = u(rng), c = u(rng), gz = u(rng), bz = u(rng), fr = u(rng), d = u(rng);
    struct AxiField {
      double a, c, g, b, f, d;
      double ur(double r, double z) const { return a + c * r + g * z; }
    };
    for (const AxiField& fld : {AxiField{a, c, gz, bz, fr, d}, AxiField{0, c, 0, 0, 0, d}, AxiField{0, 0, 0, bz, 0, 0}}) {
      std::vector<double> nodal;
      for (const V3& p : x) nodal.insert(nodal.end(), {fld.ur(p[0], p[1]), fld.b + fld.f * p[0] + fld.d * p[1]});
      const double mean_hoop = ring_mean(x, [&](const V3& p) { return fld.ur(p[0], p[1]) / p[0]; });
      for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}}) {
        test::set_element(kQax4, test::flat(x, 2));
        for (int p = 0; p < 4; ++p) {
          const auto pt = random_point(PointKind::Quad, rng);
          double r = 0, z = 0;
          const double xi = pt[0], eta = pt[1];
          const double nk[4] = {(1 - xi) * (1 - eta) / 4, (1 + xi) * (1 - eta) / 4, (1 - xi) * (1 + eta) / 4,
                                (1 + xi) * (1 + eta) / 4};
          for (int k = 0; k < 4; ++k) r += nk[k] * x[k][0], z += nk[k] * x[k][1];
          std::vector<double> b(32, 99.0);
          double radius = 0, detj = 0;
          BQAX4(pt, b, radius, detj, ibbar, ishear);
          EXPECT_NEAR(radius, r, 1e-12);
          const double hoop = ibbar == 1 ? mean_hoop : fld.ur(r, z) / r;
          expect_strain(apply_b(b, 4, nodal), {fld.c, fld.d, hoop, fld.g + fld.f},
                        ibbar == 1 ? "QAX4R" : "QAX4");
        }
      }
      // The triangle's hoop strain is u_r / r at the point.
      std::vector<V3> tx(x.begin(), x.begin() + 3);
      test::set_element(kTax3, test::flat(tx, 2));
      std::array<double, 4> g{};
      double det = 0;
      ASSERT_TRUE(tri3_jacobian(test::flat(tx, 2), g, det));
      const auto l = random_point(PointKind::Tri, rng);
      const double r = l[0] * tx[0][0] + l[1] * tx[1][0] + l[2] * tx[2][0];
      const double z = l[0] * tx[0][1] + l[1] * tx[1][1] + l[2] * tx[2][1];
      std::vector<double> b(24, 99.0);
      double radius = 0;
      BTAX3(l, g, b, radius);
      EXPECT_NEAR(radius, r, 1e-12);
      expect_strain(apply_b(b, 4, std::vector<double>(nodal.begin(), nodal.begin() + 6)),
                    {fld.c, fld.d, fld.ur(r, z) / r, fld.g + fld.f}, "TAX3");
    }
    EXPECT_EQ(test::deferred_count(), 0);
  }
}

// Bilinear fields u_i = A_i + B_i . x + sum over pairs C_i,jk x_j x_k (j < k),
// which rectangular bricks and quadrilaterals interpolate exactly, show where
// each option takes its strains from: the mean dilatation keeps the point's
// deviatoric strain and the centre's dilatation, the assumed shear takes each
// shear strain at its sampling point.
struct Bilinear {
  std::array<std::array<double, 7>, 3> k{};  // A, B (3), C_xy, C_yz, C_zx
  double at(int i, const V3& x) const {
    const auto& c = k[i];
    return c[0] + c[1] * x[0] + c[2] * x[1] + c[3] * x[2] + c[4] * x[0] * x[1] + c[5] * x[1] * x[2] +
           c[6] * x[2] * x[0];
  }
  double grad(int i, int j, const V3& x) const {
    const auto& c = k[i];
    if (j == 0) return c[1] + c[4] * x[1] + c[6] * x[2];
    if (j == 1) return c[2] + c[4] * x[0] + c[5] * x[2];
    return c[3] + c[5] * x[1] + c[6] * x[0];
  }
  // Engineering strain component s (solid order) at x.
  double strain(int s, const V3& x) const {
    constexpr int kPair[6][2] = {{0, 0}, {1, 1}, {2, 2}, {0, 1}, {1, 2}, {2, 0}};
    const int i = kPair[s][0], j = kPair[s][1];
    return s < 3 ? grad(i, i, x) : grad(i, j, x) + grad(j, i, x);
  }
};

Bilinear random_bilinear(std::mt19937& rng, bool plane) {
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Bilinear f;
  for (auto& c : f.k)
    for (double& v : c) v = u(rng);
  if (plane)
    for (auto& c : f.k) c[3] = c[5] = c[6] = 0.0;
  return f;
}

TEST(StrainDisplacement, AssumedStrainOptionsTakeEachStrainFromItsOwnPoint) {
  std::mt19937 rng(31);
  const V3 o{0.5, -1.0, 2.0}, h{1.5, 0.75, 2.0};  // brick centre and half sizes, exact in REAL
  auto brick = [&](double xi, double eta, double zeta) {
    return V3{o[0] + h[0] * xi, o[1] + h[1] * eta, o[2] + h[2] * zeta};
  };
  std::vector<V3> x;
  for (const V3& p : test::hex8_reference()) x.push_back(brick(p[0], p[1], p[2]));
  for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 1}}) {
    test::set_element(kHex8, test::flat(x));
    const Bilinear f = random_bilinear(rng, false);
    std::vector<double> u;
    for (const V3& p : x)
      for (int i = 0; i < 3; ++i) u.push_back(f.at(i, p));
    for (int p = 0; p < 4; ++p) {
      const auto pt = random_point(PointKind::Brick, rng);
      const V3 at = brick(pt[0], pt[1], pt[2]);
      const V3 sample[3] = {brick(0, 0, pt[2]), brick(pt[0], 0, 0), brick(0, pt[1], 0)};
      const double mean_p = (f.strain(0, at) + f.strain(1, at) + f.strain(2, at)) / 3;
      const double mean_c = (f.strain(0, o) + f.strain(1, o) + f.strain(2, o)) / 3;
      std::vector<double> want(6);
      for (int s = 0; s < 3; ++s) want[s] = f.strain(s, at) + (ibbar == 1 ? mean_c - mean_p : 0.0);
      for (int s = 3; s < 6; ++s) want[s] = f.strain(s, ishear == 1 ? sample[s - 3] : at);
      std::vector<double> b(144);
      double detj = 0;
      hex8(ibbar, ishear)(pt, b, detj);
      EXPECT_NEAR(detj, h[0] * h[1] * h[2], 1e-12);
      expect_strain(apply_b(b, 6, u), want, "HEX8 options " + std::to_string(ibbar) + std::to_string(ishear));
    }
  }

  // Rectangle r in [1.5, 3.5], z in [-1, 0.5]: plane and axisymmetric.
  const V3 oc{2.5, -0.25, 0}, hc{1.0, 0.75, 0};
  auto rect = [&](double xi, double eta) { return V3{oc[0] + hc[0] * xi, oc[1] + hc[1] * eta, 0}; };
  std::vector<V3> q;
  for (const V3& p : quad4_reference()) q.push_back(rect(p[0], p[1]));
  for (const bool axi : {false, true})
    for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}}) {
      test::set_element(axi ? kQax4 : kQplan4, test::flat(q, 2));
      const Bilinear f = random_bilinear(rng, true);
      std::vector<double> u;
      for (const V3& p : q) u.insert(u.end(), {f.at(0, p), f.at(1, p)});
      for (int p = 0; p < 4; ++p) {
        const auto pt = random_point(PointKind::Quad, rng);
        const V3 at = rect(pt[0], pt[1]);
        const double mean_p = (f.strain(0, at) + f.strain(1, at)) / 2;
        // The plane element's centre value is its mean over the area; the
        // ring takes the mean weighted by the radius.
        const double mean_c = axi ? ring_mean(q, [&](const V3& v) { return (f.strain(0, v) + f.strain(1, v)) / 2; })
                                  : (f.strain(0, oc) + f.strain(1, oc)) / 2;
        std::vector<double> want(4);
        for (int s = 0; s < 2; ++s) want[s] = f.strain(s, at) + (ibbar == 1 ? mean_c - mean_p : 0.0);
        want[3] = f.strain(3, axi && ishear == 1 ? oc : at);
        std::vector<double> b(32);
        double radius = 0, detj = 0;
        if (axi) {
          want[2] = ibbar == 1 ? ring_mean(q, [&](const V3& v) { return f.at(0, v) / v[0]; }) : f.at(0, at) / at[0];
          BQAX4(pt, b, radius, detj, ibbar, ishear);
        } else {
          BQPLAN4(pt, b, detj, ibbar, ishear);
        }
        EXPECT_NEAR(detj, hc[0] * hc[1], 1e-12);
        expect_strain(apply_b(b, 4, u), want, std::string(axi ? "QAX4" : "QPLAN4") + " options " +
                                                  std::to_string(ibbar) + std::to_string(ishear));
      }
    }
}

TEST(StrainDisplacement, QuadrilateralShearAndOptionRules) {
  std::mt19937 rng(9);
  std::vector<V3> ring = quad4_reference();
  for (V3& p : ring) p[0] += 2.5;
  const auto x = distorted(ring, rng, 0.4, false);
  test::set_element(kQax4, test::flat(x, 2));
  std::vector<double> centre(32);
  double radius = 0, detj = 0;
  BQAX4(std::array<double, 2>{0, 0}, centre, radius, detj, 0, 0);
  for (int p = 0; p < 4; ++p) {
    const auto pt = random_point(PointKind::Quad, rng);
    // The constant shear row of QAX4 is the plain g_rz row at the centre.
    std::vector<double> b(32);
    BQAX4(pt, b, radius, detj, 0, 1);
    for (int j = 0; j < 8; ++j) EXPECT_NEAR(b[24 + j], centre[24 + j], 1e-12);
    // QPLAN4 does not read ISHEAR.
    test::set_element(kQplan4, test::flat(x, 2));
    std::vector<double> b01(32), b00(32);
    BQPLAN4(pt, b01, detj, 0, 1);
    BQPLAN4(pt, b00, detj, 0, 0);
    EXPECT_EQ(b01, b00);
    test::set_element(kQax4, test::flat(x, 2));
  }
}

// In-plane strains of a plane element placed anywhere in space: nodal local
// displacements T u of a global linear field give the in-plane part of its
// strain, e_a . H e_b.
TEST(StrainDisplacement, MembranesGiveInPlaneStrainsInTheirOwnAxes) {
  std::mt19937 rng(12);
  for (const bool quad : {true, false}) {
    for (int element = 0; element < 3; ++element) {
      const auto x = distorted(quad ? quad4_reference() : tri_layer(0, false), rng, 0.3, false);
      // Rotate the flat element into space.
      const M3 q = test::random_rotation(rng);
      std::vector<V3> xs;
      for (const V3& p : x) {
        const V3 g = test::apply(q, p);
        xs.push_back({test::f32(g[0]), test::f32(g[1]), test::f32(g[2])});
      }
      test::set_element(quad ? kQmem4 : kTmem3, test::flat(xs));
      std::array<double, 9> t{};
      double length = 0;
      quad ? LAXQ4(t) : LAXT3(t, length);
      const int nn = static_cast<int>(xs.size());
      std::vector<double> xl(2 * nn);
      plane_coords(t, nn, xl);
      const M3 e = test::triad_rows(t);
      for (const bool rigid : {false, true}) {
        const Field f = random_field(rng, rigid);
        std::vector<double> nodal;
        for (const V3& p : xs) {
          const V3 v = f.at(p);
          nodal.push_back(e[0][0] * v[0] + e[0][1] * v[1] + e[0][2] * v[2]);
          nodal.push_back(e[1][0] * v[0] + e[1][1] * v[1] + e[1][2] * v[2]);
        }
        auto form = [&](int a, int b) {
          const V3 hb = test::apply(f.h, e[b]);
          return e[a][0] * hb[0] + e[a][1] * hb[1] + e[a][2] * hb[2];
        };
        const std::vector<double> want =
            rigid ? std::vector<double>(3, 0.0) : std::vector<double>{form(0, 0), form(1, 1), form(0, 1) + form(1, 0)};
        std::vector<double> b(3 * 2 * nn, 99.0);
        if (quad) {
          double detj = 0;
          BQMEM4(random_point(PointKind::Quad, rng), xl, b, detj);
        } else {
          std::array<double, 4> g{};
          double det = 0;
          ASSERT_TRUE(tri3_jacobian(xl, g, det));
          BTMEM3(random_point(PointKind::Tri, rng), g, b);
        }
        // Single-precision nodes leave the element out of plane by about 1e-7.
        expect_strain(apply_b(b, 3, nodal), want, quad ? "QMEM4" : "TMEM3", 1e-6);
      }
    }
  }
}

// Local shell DOFs per node: u, v, w, rx, ry, rz as functions of (x, y).
struct ShellField {
  std::array<std::array<double, 3>, 6> c{};  // dof = c0 + c1 x + c2 y
  double at(int dof, double x, double y) const { return c[dof][0] + c[dof][1] * x + c[dof][2] * y; }
};

std::vector<double> shell_nodal(const ShellField& f, const std::vector<V3>& xl) {
  std::vector<double> u;
  for (const V3& p : xl)
    for (int d = 0; d < 6; ++d) u.push_back(f.at(d, p[0], p[1]));
  return u;
}

// (x, y) of natural point (xi, eta) of the quadrilateral xl.
std::array<double, 2> quad_map(const std::vector<V3>& xl, double xi, double eta) {
  const double nk[4] = {(1 - xi) * (1 - eta) / 4, (1 + xi) * (1 - eta) / 4, (1 - xi) * (1 + eta) / 4,
                        (1 + xi) * (1 + eta) / 4};
  std::array<double, 2> p{};
  for (int k = 0; k < 4; ++k) p[0] += nk[k] * xl[k][0], p[1] += nk[k] * xl[k][1];
  return p;
}

TEST(StrainDisplacement, FlatShellReproducesLinearFieldsWithSampledTransverseShear) {
  std::mt19937 rng(13);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int element = 0; element < 3; ++element) {
    const auto x = distorted(quad4_reference(), rng, 0.3, false);
    test::set_element(kQfla4, {});
    const auto xl = test::flat(x, 2);
    ShellField f;
    for (auto& dof : f.c)
      for (double& v : dof) v = u(rng);
    const auto nodal = shell_nodal(f, x);
    for (int p = 0; p < 4; ++p) {
      const auto pt = random_point(PointKind::Quad, rng);
      std::vector<double> bm(120, 99.0), bb(120, 99.0);
      double detj = 0, detm = 0;
      BQFLA4(pt, xl, bm, bb, detj);
      // g_yz = w,y - rx on eta = 0, g_zx = w,x + ry on xi = 0, through the point.
      const auto p1 = quad_map(x, pt[0], 0.0), p2 = quad_map(x, 0.0, pt[1]);
      const auto& c = f.c;
      expect_strain(apply_b(bm, 5, nodal),
                    {c[0][1], c[1][2], c[0][2] + c[1][1], c[2][2] - f.at(3, p1[0], p1[1]),
                     c[2][1] + f.at(4, p2[0], p2[1])},
                    "QFLA4 membrane and shear");
      expect_strain(apply_b(bb, 5, nodal), {c[4][1], -c[3][2], c[4][2] - c[3][1], 0.0, 0.0}, "QFLA4 curvature");
      // The determinant returned is the one at the point, as the membrane's.
      std::vector<double> b(24);
      BQMEM4(pt, xl, b, detm);
      EXPECT_DOUBLE_EQ(detj, detm);
    }
  }
  EXPECT_EQ(test::deferred_count(), 0);
}

TEST(StrainDisplacement, FlatShellRectangleInPureBending) {
  // ry = kappa x, w = -kappa x^2 / 2 at the nodes: curvature (kappa, 0, 0)
  // and no membrane or transverse shear strain anywhere.
  const double kappa = 0.37, x0 = 1.5, y0 = -0.5, a = 2.0, bw = 1.25;
  const std::vector<V3> x{{x0, y0, 0}, {x0 + a, y0, 0}, {x0, y0 + bw, 0}, {x0 + a, y0 + bw, 0}};
  test::set_element(kQfla4, {});
  std::vector<double> nodal;
  for (const V3& p : x) nodal.insert(nodal.end(), {0.0, 0.0, -kappa * p[0] * p[0] / 2, 0.0, kappa * p[0], 0.0});
  std::mt19937 rng(1);
  for (int p = 0; p < 6; ++p) {
    std::vector<double> bm(120), bb(120);
    double detj = 0;
    BQFLA4(random_point(PointKind::Quad, rng), test::flat(x, 2), bm, bb, detj);
    EXPECT_NEAR(detj, a * bw / 4, 1e-14);
    expect_strain(apply_b(bm, 5, nodal), std::vector<double>(5, 0.0), "pure bending, BM");
    expect_strain(apply_b(bb, 5, nodal), {kappa, 0, 0, 0, 0}, "pure bending, BB");
  }
}

// Each call on an inverted element queues one deferred 8001 and returns a
// zero B; the caller goes on with the next point or element.
TEST(StrainDisplacement, HexahedronGaussPointsWithSharedPartsMatchThePointRoutine) {
  // hex8_gauss_point with the parts formed once per element gives, point by
  // point, exactly BHEX8's B, det J and deferred messages: on distorted,
  // degenerate, badly distorted, inverted and flat elements, every option set.
  std::mt19937 rng(31);
  const SolidCase plain{"HEX8", kHex8, test::hex8_reference(), PointKind::Brick, nullptr};
  const SolidCase merged{"HEX8 degenerate", kHex8, test::hex8_reference(), PointKind::Brick, nullptr, true};
  auto mirrored = [] {
    auto x = test::hex8_reference();
    for (V3& p : x) p[0] = -p[0];
    test::set_element(kHex8, test::flat(x));
  };
  auto flat = [] {
    auto x = test::hex8_reference();
    for (V3& p : x) p[2] = 0.0;
    test::set_element(kHex8, test::flat(x));
  };
  auto warped = [&] { test::set_element(kHex8, test::flat(distorted(test::hex8_reference(), rng, 0.6, true))); };
  const std::vector<std::pair<const char*, std::function<void()>>> shapes{
      {"distorted", [&] { place_solid(plain, rng); }},
      {"degenerate", [&] { place_solid(merged, rng); }},
      {"warped", warped}, {"warped again", warped}, {"warped once more", warped},
      {"inverted", mirrored}, {"flat", flat},
      // Positive det J at the Gauss points and the centre, negative at the
      // shear sampling position (0, -g, 0) only.
      {"inverted at a shear sample",
       [] {
         test::set_element(kHex8, {0.52, 0.61, 0.63, 0.38, -0.48, 0.61, -0.21, 1.52, -0.19, 0.87, 0.26, 0.57,
                                   0.67, -0.51, 0.27, 0.2, 0.02, 1.46, -0.06, 0.74, 0.86, 1.48, 1.09, 0.54});
       }},
  };
  std::array<double, 2> g{}, w{};
  GAUSPT(2, g, w);
  for (const auto& [name, place] : shapes) {
    place();
    for (const auto& [ibbar, ishear] : {std::pair{0, 1}, std::pair{1, 0}, std::pair{1, 1}, std::pair{0, 0}}) {
      Hex8Shared sh;
      if (estcom().EQIX[6] != estcom().EQIX[7]) LAXH8(sh.r, sh.ts, sh.xl);
      const int before = test::deferred_count();
      hex8_shared(sh, ibbar, ishear);
      EXPECT_EQ(test::deferred_count(), before) << name << ": the shared parts queue nothing";
      for (int k = 0; k < 2; ++k)
        for (int j = 0; j < 2; ++j)
          for (int i = 0; i < 2; ++i) {
            const std::array<double, 3> xi{g[i], g[j], g[k]};
            std::vector<double> want(144, 99.0), got(144, 77.0);
            double want_det = 5.0, got_det = 5.0;
            const int n0 = test::deferred_count();
            BHEX8(xi, sh.r, sh.ts, sh.xl, want, want_det, ibbar, ishear);
            const int n1 = test::deferred_count();
            hex8_gauss_point(xi, i, j, k, sh, got, got_det);
            const int n2 = test::deferred_count();
            const std::string at = std::string(name) + " options " + std::to_string(ibbar) + std::to_string(ishear) +
                                   " point " + std::to_string(i) + std::to_string(j) + std::to_string(k);
            EXPECT_EQ(n2 - n1, n1 - n0) << at;
            EXPECT_EQ(got_det, want_det) << at;
            for (int e = 0; e < 144; ++e) ASSERT_EQ(got[e], want[e]) << at << " entry " << e;
            if (std::string(name) == "inverted at a shear sample") {
              EXPECT_EQ(n2 - n1, ishear == 1 && j == 0 ? 1 : 0) << at;
            }
          }
    }
  }
}

TEST(StrainDisplacement, InvertedElementsQueueOneDeferredMessagePerCall) {
  struct Case {
    const char* name;
    std::function<void()> place;
    std::function<std::vector<double>()> call;  // returns B
  };
  const std::vector<double> mirror2d{0, 0, 0, 1, 1, 0, 1, 1};  // nodes 2 and 3 exchanged
  const std::vector<double> ring2d{1, 0, 1, 1, 2, 0, 2, 1};
  const std::vector<double> mirror_xl{0, 0, -1, 0, 0, 1, -1, 1};  // clockwise in its own axes
  auto mirrored = [](std::vector<V3> x) {
    for (V3& p : x) p[0] = -p[0];
    return test::flat(x);
  };
  const std::array<double, 3> pt3{0.3, -0.2, 0.1};
  const std::array<double, 2> pt2{0.3, -0.2};
  auto solid = [&](BSolid f, int n) {
    return [f, n, &pt3] {
      std::vector<double> b(6 * n, 99.0);
      double detj;
      f(pt3, b, detj);
      return b;
    };
  };
  const std::vector<Case> cases{
      {"HEX8", [&] { test::set_element(kHex8, mirrored(test::hex8_reference())); }, solid(hex8(0, 1), 24)},
      {"HEX8R", [&] { test::set_element(kHex8, mirrored(test::hex8_reference())); }, solid(hex8(1, 0), 24)},
      {"HEX20", [&] { test::set_element(kHex20, mirrored(hex20_reference())); }, solid(BHEX20, 60)},
      {"TET10", [&] { test::set_element(kTet10, mirrored(tet10_reference())); },
       solid([](auto, auto b, double& d) { BTET10(std::array<double, 4>{.1, .2, .3, .4}, b, d); }, 30)},
      {"QPLAN4", [&] { test::set_element(kQplan4, mirror2d); },
       [&] {
         std::vector<double> b(32, 99.0);
         double detj;
         BQPLAN4(pt2, b, detj, 0, 1);
         return b;
       }},
      {"QPLAN4R", [&] { test::set_element(kQplan4, mirror2d); },
       [&] {
         std::vector<double> b(32, 99.0);
         double detj;
         BQPLAN4(pt2, b, detj, 1, 0);
         return b;
       }},
      {"QAX4", [&] { test::set_element(kQax4, ring2d); },
       [&] {
         std::vector<double> b(32, 99.0);
         double r, detj;
         BQAX4(pt2, b, r, detj, 0, 1);
         return b;
       }},
      {"QAX4R", [&] { test::set_element(kQax4, ring2d); },
       [&] {
         std::vector<double> b(32, 99.0);
         double r, detj;
         BQAX4(pt2, b, r, detj, 1, 0);
         return b;
       }},
      {"QMEM4", [&] { test::set_element(kQmem4, {}); },
       [&] {
         std::vector<double> b(24, 99.0);
         double detj;
         BQMEM4(pt2, mirror_xl, b, detj);
         return b;
       }},
      {"QFLA4", [&] { test::set_element(kQfla4, {}); },
       [&] {
         std::vector<double> bm(120, 99.0), bb(120, 99.0);
         double detj;
         BQFLA4(pt2, mirror_xl, bm, bb, detj);
         bm.insert(bm.end(), bb.begin(), bb.end());
         return bm;
       }},
      {"HEX8R flat (singular centre)",
       [&] {
         auto x = test::hex8_reference();
         for (V3& p : x) p[2] = 0.0;
         test::set_element(kHex8, test::flat(x));
       },
       solid(hex8(1, 0), 24)},
  };
  for (const Case& c : cases) {
    c.place();
    for (int call = 1; call <= 3; ++call) {
      const auto b = c.call();
      EXPECT_EQ(test::deferred_count(), call) << c.name;
      for (double v : b) ASSERT_EQ(v, 0.0) << c.name;
    }
    EXPECT_EQ(sysw().IERFLG, 1) << c.name;
  }
}

TEST(StrainDisplacementDeathTest, NonPositiveRadiusEndsTheRun) {
  // The point radius of the quadrilateral; the centre radius of the
  // mean-dilatation variant; the triangle's radius.
  const std::vector<double> across_axis{-1, 0, 0.5, 0, -1, 1, 0.5, 1};
  struct Case {
    const char* name;
    std::function<void()> run;
    word code;
  };
  const std::vector<Case> cases{
      {"QAX4 at a point left of the axis",
       [&] {
         test::set_element(kQax4, across_axis);
         std::vector<double> b(32);
         double r, d;
         BQAX4(std::array<double, 2>{-0.9, 0}, b, r, d, 0, 1);
       },
       -8013},
      {"QAX4R centre left of the axis",
       [&] {
         test::set_element(kQax4, across_axis);
         std::vector<double> b(32);
         double r, d;
         BQAX4(std::array<double, 2>{0.9, 0}, b, r, d, 1, 0);
       },
       -8013},
      {"TAX3",
       [&] {
         test::set_element(kTax3, {-1, 0, 0.5, 0, -1, 1});
         std::vector<double> b(24);
         std::array<double, 4> g{1, 0, 0, 1};
         double r;
         BTAX3(std::array<double, 3>{0.6, 0.2, 0.2}, g, b, r);
       },
       -8039},
  };
  for (const Case& c : cases) {
    const std::string log = test::fatal_log(c.run);
    EXPECT_TRUE(test::has_message(log, c.code)) << c.name << "\n" << log;
    EXPECT_NE(log.find("4711"), std::string::npos) << c.name << "\n" << log;
  }
  // A node on the axis is accepted while the radius at the point is positive.
  test::set_element(kQax4, {0, 0, 1, 0, 0, 1, 1, 1});
  std::vector<double> b(32);
  double r = 0, d = 0;
  BQAX4(std::array<double, 2>{-0.5, -0.5}, b, r, d, 1, 0);
  EXPECT_GT(r, 0.0);
  EXPECT_EQ(test::deferred_count(), 0);
}

}  // namespace
}  // namespace zephsol
