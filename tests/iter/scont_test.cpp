// Stress routines of the continuum elements, through the table of stress
// routines, on one element of every type: a displacement field of uniform
// strain gives the closed-form elastic stress at every stored point and
// nodal forces equal to K u (the consistent forces of that stress, so that
// the unbalanced force vanishes); a rigid-body motion gives no stress and no
// force. Then the shell's section forces, temperatures, the triangles of
// non-positive area and the cache of the elastic matrix under the
// no-tension switch.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "elem/kfix.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/iter/scont.h"
#include "zephsol/iter/stress_table.h"

namespace zephsol::test {
namespace {

using V3 = std::array<double, 3>;

constexpr double kE = 1000.0, kNu = 0.25;

V3 add(const V3& a, const V3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
V3 times(const M3& m, const V3& v) { return zephsol::test::apply(m, v); }

// ---- Closed-form elastic stresses (E, nu as the material's REAL words) ------------------

double e_r() { return static_cast<float>(kE); }
double nu_r() { return static_cast<float>(kNu); }
double lame() { return e_r() * nu_r() / ((1.0 + nu_r()) * (1.0 - 2.0 * nu_r())); }
double shear_modulus() { return e_r() / (2.0 * (1.0 + nu_r())); }

// Solid, axisymmetric and plane strain: the first nn components normal.
std::vector<double> isotropic(const std::vector<double>& eps, int nn) {
  double tr = 0.0;
  for (int i = 0; i < nn; ++i) tr += eps[static_cast<std::size_t>(i)];
  std::vector<double> s(eps.size());
  for (std::size_t i = 0; i < eps.size(); ++i)
    s[i] = static_cast<int>(i) < nn ? lame() * tr + 2.0 * shear_modulus() * eps[i] : shear_modulus() * eps[i];
  return s;
}

// Plane stress (membranes; the shell with transverse shears 5/6 G).
std::vector<double> plane_stress(const std::vector<double>& eps) {
  const double c = e_r() / (1.0 - nu_r() * nu_r());
  std::vector<double> s{c * (eps[0] + nu_r() * eps[1]), c * (eps[1] + nu_r() * eps[0]), shear_modulus() * eps[2]};
  for (std::size_t i = 3; i < eps.size(); ++i) s.push_back(5.0 / 6.0 * shear_modulus() * eps[i]);
  return s;
}

// ---- Geometry ----------------------------------------------------------------------------

// A general affine map with a non-affine touch, so that the elements are distorted.
V3 distort(const V3& x) {
  return {1.2 * x[0] + 0.2 * x[1] + 0.1 * x[2] + 0.05 * x[0] * x[1] + 0.3,
          0.1 * x[0] + 0.9 * x[1] - 0.15 * x[2] + 0.04 * x[1] * x[2] - 0.2,
          -0.1 * x[0] + 0.1 * x[1] + 1.1 * x[2] + 0.03 * x[0] * x[2] + 0.1};
}

std::vector<V3> quad4() { return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}; }
std::vector<V3> quad8() {
  return {{0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {0, 0.5, 0}, {1, 0.5, 0}, {0, 1, 0}, {0.5, 1, 0}, {1, 1, 0}};
}
std::vector<V3> tri3() { return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}; }
std::vector<V3> tri6() { return {{0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {0, 0.5, 0}, {0.5, 0.5, 0}, {0, 1, 0}}; }
// Layers of a plane pattern at heights z.
std::vector<V3> layers(const std::vector<std::pair<std::vector<V3>, double>>& ls) {
  std::vector<V3> n;
  for (const auto& [face, z] : ls)
    for (const V3& p : face) n.push_back({p[0], p[1], z});
  return n;
}
std::vector<V3> tet10() {
  const V3 c[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const auto mid = [&](int a, int b) {
    return V3{(c[a][0] + c[b][0]) / 2, (c[a][1] + c[b][1]) / 2, (c[a][2] + c[b][2]) / 2};
  };
  return {c[0], mid(0, 1), c[1], mid(0, 2), mid(1, 2), c[2], mid(0, 3), mid(1, 3), mid(2, 3), c[3]};
}

// Coordinates of the nodes as the element record holds them: three per node,
// or the first two for the plane and axisymmetric types.
std::vector<double> coords(const std::vector<V3>& nodes, bool space, V3 (*map)(const V3&)) {
  std::vector<double> x;
  for (const V3& n : nodes) {
    const V3 p = map(n);
    x.insert(x.end(), p.begin(), p.begin() + (space ? 3 : 2));
  }
  return x;
}
V3 plane_map(const V3& x) { return {1.3 * x[0] + 0.2 * x[1] + 0.05 * x[0] * x[1], 0.1 * x[0] + 0.8 * x[1], 0.0}; }
V3 ring_map(const V3& x) { return {1.0 + 1.3 * x[0] + 0.1 * x[1] * x[0], 0.2 * x[0] + 0.9 * x[1], 0.0}; }
// A face in a tilted plane.
V3 tilted(const V3& x) {
  static const M3 r = rotation({1, 1, 0.5}, 0.6);
  const V3 p{1.3 * x[0] + 0.2 * x[1], 0.9 * x[1] + 0.1 * x[0] * x[1], 0.0};
  const V3 q = times(r, p);
  return {q[0] + 0.3, q[1] - 0.2, q[2] + 0.5};
}

// ---- Fields ------------------------------------------------------------------------------

// How an element's nodal displacements and expected strains follow from a
// displacement gradient A (u = A x + t) and a rotation w (shell DOFs).
enum class Kind { Solid, Axisym, Plane, Membrane, Shell };

struct Case {
  std::string name;
  word iecod;
  std::vector<float> props;
  std::vector<double> xyz;
  Kind kind;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

std::vector<Case> cases() {
  const auto solid = [](std::vector<V3> n) { return coords(n, true, distort); };
  return {
      {"HEX8", 1, {}, solid(layers({{quad4(), 0}, {quad4(), 1}})), Kind::Solid},
      {"HEX8R", 27, {}, solid(layers({{quad4(), 0}, {quad4(), 1}})), Kind::Solid},
      {"HEX20", 15, {}, solid(layers({{quad8(), 0}, {quad4(), 0.5}, {quad8(), 1}})), Kind::Solid},
      {"PENT6", 2, {}, solid(layers({{tri3(), 0}, {tri3(), 1}})), Kind::Solid},
      {"PENT15", 16, {}, solid(layers({{tri6(), 0}, {tri3(), 0.5}, {tri6(), 1}})), Kind::Solid},
      {"TET10", 17, {}, solid(tet10()), Kind::Solid},
      {"QAX4", 3, {}, coords(quad4(), false, ring_map), Kind::Axisym},
      {"QAX4R", 28, {}, coords(quad4(), false, ring_map), Kind::Axisym},
      {"TAX3", 4, {}, coords(tri3(), false, ring_map), Kind::Axisym},
      {"QPLAN4", 11, {}, coords(quad4(), false, plane_map), Kind::Plane},
      {"QPLAN4R", 29, {}, coords(quad4(), false, plane_map), Kind::Plane},
      {"TPLAN3", 12, {}, coords(tri3(), false, plane_map), Kind::Plane},
      {"QMEM4", 9, {0.5f}, coords(quad4(), true, tilted), Kind::Membrane},
      {"TMEM3", 10, {0.5f}, coords(tri3(), true, tilted), Kind::Membrane},
      {"QFLA4", 7, {0.2f}, coords(quad4(), true, tilted), Kind::Shell},
  };
}

int nodes() { return etycom().NN; }
int space_dim() { return etycom().IDIM == 9 ? 3 : 2; }

V3 node_xyz(int k) {
  const int d = space_dim();
  V3 x{};
  for (int c = 0; c < d; ++c) x[static_cast<std::size_t>(c)] = estcom().XYZ[static_cast<std::size_t>(d * k + c)];
  return x;
}

M3 rows(const std::array<double, 9>& t) {
  M3 r{};
  for (int a = 0; a < 3; ++a)
    for (int j = 0; j < 3; ++j) r[static_cast<std::size_t>(a)][static_cast<std::size_t>(j)] = t[static_cast<std::size_t>(3 * j + a)];
  return r;
}

// G = T A T^T: the gradient in the element's axes.
M3 local(const M3& a, const M3& t) {
  M3 g{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q) g[i][j] += t[i][p] * a[p][q] * t[j][q];
  return g;
}

struct Field {
  std::vector<double> u;       // nodal displacements, element DOF order
  std::vector<double> stress;  // the stress it gives at every point
};

// u = A x + t (with rotation DOFs w for the shell); the stress of its strain.
Field field(Kind kind, M3 a, const V3& t, const V3& w) {
  if (kind == Kind::Plane) a[0][2] = a[1][2] = a[2][0] = a[2][1] = a[2][2] = 0.0;
  if (kind == Kind::Axisym) {  // u_r = a r, u_z = c r + d z: strains (a, d, a, c)
    a = {{{a[0][0], 0.0, 0.0}, {a[1][0], a[1][1], 0.0}, {0.0, 0.0, 0.0}}};
  }
  const int d = space_dim();
  Field f;
  for (int k = 0; k < nodes(); ++k) {
    const V3 x = node_xyz(k);
    const V3 uk = add(times(a, x), kind == Kind::Axisym ? V3{0.0, t[1], 0.0} : t);
    f.u.insert(f.u.end(), uk.begin(), uk.begin() + d);
    if (kind == Kind::Shell) f.u.insert(f.u.end(), w.begin(), w.end());
  }
  switch (kind) {
    case Kind::Solid:
      f.stress = isotropic({a[0][0], a[1][1], a[2][2], a[0][1] + a[1][0], a[1][2] + a[2][1], a[0][2] + a[2][0]}, 3);
      break;
    case Kind::Axisym:
      f.stress = isotropic({a[0][0], a[1][1], a[0][0], a[1][0]}, 3);
      break;
    case Kind::Plane:
      f.stress = isotropic({a[0][0], a[1][1], 0.0, a[0][1] + a[1][0]}, 3);
      break;
    case Kind::Membrane:
    case Kind::Shell: {
      std::array<double, 9> tr{};
      if (nodes() == 4) {
        LAXQ4(tr);
      } else {
        double l = 0.0;
        LAXT3(tr, l);
      }
      const M3 r = rows(tr), g = local(a, r);
      std::vector<double> eps{g[0][0], g[1][1], g[0][1] + g[1][0]};
      if (kind == Kind::Shell) {
        const V3 wl = times(r, w);
        eps.push_back(g[2][1] - wl[0]);
        eps.push_back(g[2][0] + wl[1]);
      }
      f.stress = plane_stress(eps);
      break;
    }
  }
  return f;
}

// The gradient of a rigid rotation w (u = w x x) for the kind.
M3 spin(Kind kind, const V3& w) {
  if (kind == Kind::Axisym) return M3{};
  if (kind == Kind::Plane) return {{{0, -w[2], 0}, {w[2], 0, 0}, {0, 0, 0}}};
  return {{{0, -w[2], w[1]}, {w[2], 0, -w[0]}, {-w[1], w[0], 0}}};
}

// ---- Running a routine -------------------------------------------------------------------

class Element {
 public:
  explicit Element(const Case& c, Material m = {.e = kE, .nu = kNu}) {
    make_element(c.iecod, c.xyz, c.props, m);
    state_ = std::make_unique<StateRecord>();
  }
  // FE of the increment u (temperatures temp when given).
  std::vector<double> run(const std::vector<double>& u, const std::vector<float>& temp = {}) {
    std::vector<double> fe(static_cast<std::size_t>(ndof()), 0.0);
    std::vector<float> t(static_cast<std::size_t>(ESTCOM::kMaxNode), 0.0f);
    std::copy(temp.begin(), temp.end(), t.begin());
    stress_routine(estcom().IECOD)(temp.empty() ? 0 : -1, t, u, fe);
    return fe;
  }
  EIVWK& point(word p) {
    EIVGTA(p);
    return eivwka();
  }

 private:
  std::unique_ptr<StateRecord> state_;
};

double norm(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x * x;
  return std::sqrt(s);
}

class EveryContinuum : public ::testing::TestWithParam<Case> {};

TEST_P(EveryContinuum, UniformStrainGivesTheElasticStressAndConsistentForces) {
  const Case& c = GetParam();
  Element el(c);
  const M3 a{{{0.011, -0.004, 0.007}, {0.003, -0.006, 0.002}, {-0.005, 0.009, 0.004}}};
  const Field f = field(c.kind, a, {0.3, -0.2, 0.1}, {0.002, -0.003, 0.004});
  ASSERT_EQ(f.u.size(), static_cast<std::size_t>(ndof()));
  const std::vector<double> k = stiffness();  // of the fresh (elastic) state
  const std::vector<double> fe = el.run(f.u);
  // The states are stored as REAL words.
  const double scale = max_abs(f.stress);
  for (word p = 1; p <= estcom().NPTS; ++p) {
    const EIVWK& pt = el.point(p);
    for (std::size_t i = 0; i < f.stress.size(); ++i)
      EXPECT_NEAR(pt.vec[0][i], f.stress[i], 1e-6 * scale) << "point " << p << " component " << i + 1;
  }
  // Unbalanced force K u - FE, K of the same element.
  std::vector<double> r = multiply(unpack(k, ndof()), f.u);
  const double ku = norm(r);
  ASSERT_GT(ku, 0.0);
  for (std::size_t i = 0; i < r.size(); ++i) r[i] -= fe[i];
  EXPECT_LT(norm(r), 1e-10 * ku);
}

TEST_P(EveryContinuum, RigidMotionGivesNoStressAndNoForce) {
  const Case& c = GetParam();
  Element el(c);
  const V3 w{0.02, -0.01, 0.03};
  const Field f = field(c.kind, spin(c.kind, w), {0.3, -0.2, 0.1}, w);
  const std::vector<double> fe = el.run(f.u);
  // Zero up to the coordinates' REAL rounding (a face in a tilted plane is
  // planar only to that).
  const double tol = 1e-8 * kE * 0.03;
  for (double v : fe) EXPECT_NEAR(v, 0.0, tol);
  for (word p = 1; p <= estcom().NPTS; ++p)
    for (double s : el.point(p).vec[0]) EXPECT_NEAR(s, 0.0, tol) << "point " << p;
}

// Free thermal expansion u = alpha T x at a uniform temperature rise T: no
// stress at any point, no force; the points keep T and the thermal strain.
TEST_P(EveryContinuum, FreeThermalExpansionGivesNoStress) {
  const Case& c = GetParam();
  if (c.kind == Kind::Plane) GTEST_SKIP() << "plane strain holds the out-of-plane expansion";
  const double alpha = 1e-3, temp = 10.0;
  Element el(c, {.e = kE, .nu = kNu, .alpha = alpha});
  const double strain = static_cast<float>(alpha) * temp;
  const M3 a{{{strain, 0, 0}, {0, strain, 0}, {0, 0, strain}}};
  const Field f = field(c.kind, a, {0, 0, 0}, {0, 0, 0});
  const std::vector<double> fe = el.run(f.u, std::vector<float>(static_cast<std::size_t>(nodes()), 10.0f));
  const double tol = 1e-9 * kE * strain;
  for (double v : fe) EXPECT_NEAR(v, 0.0, tol);
  for (word p = 1; p <= estcom().NPTS; ++p) {
    const EIVWK& pt = el.point(p);
    for (double s : pt.vec[0]) EXPECT_NEAR(s, 0.0, 1e-6 * kE * strain) << "point " << p;
    EXPECT_EQ(pt.sw[2], 1);
    EXPECT_NEAR(pt.blk.b3.s, temp, 1e-5);
    EXPECT_NEAR(pt.blk.b3.v[0], strain, 1e-9);
    EXPECT_EQ(pt.blk.b3.v[c.kind == Kind::Membrane || c.kind == Kind::Shell ? 2 : 3], 0.0);
  }
}

// A flat shell bent about its y axis, k_x = ry,x = kappa with w = -kappa
// x^2 / 2 (no transverse shear): the face stresses are -+ E' kappa t / 2, so
// the section forces of point 5 are r8 = (s_bottom - s_top) t^2 / 12 =
// -D kappa, r9 = nu r8, and no membrane or shear forces.
TEST(ShellSection, PureBendingGivesTheMomentAndNoMembraneForce) {
  const float t = 0.2f;
  Element el({"QFLA4", 7, {t}, coords(quad4(), true, [](const V3& x) { return x; }), Kind::Shell});
  const double kappa = 0.01;
  std::vector<double> u;
  for (int k = 0; k < 4; ++k) {
    const double x = node_xyz(k)[0];
    const std::array<double, 6> uk{0, 0, -kappa * x * x / 2.0, 0, kappa * x, 0};
    u.insert(u.end(), uk.begin(), uk.end());
  }
  el.run(u);
  const EIVWK& p5 = el.point(5);
  EXPECT_EQ(p5.sw[7], 1);
  const auto& r = p5.blk.b8.v;  // r_k at r[k - 1]
  const double d = e_r() * t * t * t / (12.0 * (1.0 - nu_r() * nu_r()));
  EXPECT_NEAR(r[7], -d * kappa, 1e-6 * d * kappa);
  EXPECT_NEAR(r[8], nu_r() * r[7], 1e-6 * d * kappa);
  for (std::size_t k : {1, 2, 3, 9, 10, 11}) EXPECT_NEAR(r[k], 0.0, 1e-9 * d * kappa) << "r" << k + 1;
}

// Triangles whose corners run clockwise or lie on a line: message 8001 for
// the element, no point touched, no force.
TEST(TriangleArea, NonPositiveAreaLeavesTheStatesAndGivesNoForce) {
  struct Tri {
    const char* what;
    word iecod;
    std::vector<double> xyz;
  };
  const Tri cases[] = {
      {"TPLAN3 clockwise", 12, {0, 0, 0, 1, 1, 0}},
      {"TAX3 collinear", 4, {1, 0, 2, 0, 3, 0}},
  };
  for (const Tri& t : cases) {
    SCOPED_TRACE(t.what);
    Element el({t.what, t.iecod, {0.5f}, t.xyz, Kind::Plane});
    const std::vector<double> fe = el.run(std::vector<double>(static_cast<std::size_t>(ndof()), 0.01));
    for (double v : fe) EXPECT_EQ(v, 0.0);
    const MSGQUE& q = exec_state().msgque;
    ASSERT_GE(q.count, 1);
    EXPECT_EQ(q.entry[0][0], -8001);
    EXPECT_EQ(q.entry[0][1], 4711);
    for (word p = 1; p <= estcom().NPTS; ++p) EXPECT_EQ(el.point(p).vec[2][0], 0.0);
  }
}

// Under the no-tension switch a point cut off earlier (mark at point 2)
// takes the cracked moduli (ENT = 2 E, NUNT = nu: twice the stress) and the
// points after it the intact ones again, in the types that test the mark;
// HEX20 keeps the matrix of its first point for every point.
TEST(NoTensionMark, CrackedModuliOnlyAtTheMarkedPoint) {
  struct MarkCase {
    std::string name;
    bool tests_mark;
  };
  for (const MarkCase& mc : {MarkCase{"HEX8", true}, MarkCase{"PENT6", true}, MarkCase{"QPLAN4", true},
                             MarkCase{"TPLAN3", false}, MarkCase{"HEX20", false}}) {
    SCOPED_TRACE(mc.name);
    const auto all = cases();
    const Case& c = *std::find_if(all.begin(), all.end(), [&](const Case& k) { return k.name == mc.name; });
    Element el(c, {.e = kE, .nu = kNu, .extra = {{mw::ENT, 2000.0f}, {mw::NUNT, 0.25f}, {mw::SIGT, -1.0f}}});
    ifpflg().IFPSGT = -1;
    EIVGTA(2);
    eivwka().sw[0] = 1;
    eivwka().blk.b1.v[3] = -10.0;
    EIVPTA();
    const Field f = field(c.kind, {{{0.01, 0, 0}, {0, 0, 0}, {0, 0, 0}}}, {0, 0, 0}, {0, 0, 0});
    el.run(f.u);
    for (word p = 1; p <= etycom().NPTS; ++p) {
      const double factor = p == 2 && mc.tests_mark ? 2.0 : 1.0;
      EXPECT_NEAR(el.point(p).vec[0][0], factor * f.stress[0], 1e-5 * f.stress[0]) << "point " << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EveryContinuum, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zephsol::test
