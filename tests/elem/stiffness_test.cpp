// Element stiffness of every type against its invariants, and its tie to the
// internal forces: for each type on a reference and a distorted geometry,
// the rigid-body (zero-energy) modes, positive semi-definiteness, frame
// invariance (a moved element gives the block-rotated matrix), and
// K u = FELEM(sigma) for fields whose strain is uniform, sigma = D eps(u)
// stored at every point (the element form of the patch test), with forces
// that balance and a reciprocal (symmetric) internal-force operator.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "kfix.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/exec/packed.h"
#include "zephsol/matl/elamat.h"

namespace zephsol::test {
namespace {

using V3 = std::array<double, 3>;

// ---- Geometry of the current element --------------------------------------------------

int coords_per_node(int k) { return std::popcount(static_cast<unsigned>(etycom().CRDMSK[static_cast<std::size_t>(k)])); }
int dofs_per_node(int k) { return std::popcount(static_cast<unsigned>(etycom().DOFMSK[static_cast<std::size_t>(k)])); }

// Node k's coordinates (0-based k), padded to three.
V3 node_xyz(int k) {
  int first = 0;
  for (int j = 0; j < k; ++j) first += coords_per_node(j);
  V3 x{};
  for (int c = 0; c < coords_per_node(k); ++c) x[static_cast<std::size_t>(c)] = estcom().XYZ[static_cast<std::size_t>(first + c)];
  return x;
}

int nodes() { return etycom().NN; }

V3 matvec(const M3& a, const V3& x) { return apply(a, x); }
V3 add(V3 a, const V3& b) {
  for (int i = 0; i < 3; ++i) a[static_cast<std::size_t>(i)] += b[static_cast<std::size_t>(i)];
  return a;
}
V3 sub(V3 a, const V3& b) {
  for (int i = 0; i < 3; ++i) a[static_cast<std::size_t>(i)] -= b[static_cast<std::size_t>(i)];
  return a;
}
double dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Triad rows (T(a, j) at t[3 j + a]) as a matrix.
M3 rows(const std::array<double, 9>& t) {
  M3 r{};
  for (int a = 0; a < 3; ++a)
    for (int j = 0; j < 3; ++j) r[static_cast<std::size_t>(a)][static_cast<std::size_t>(j)] = t[static_cast<std::size_t>(3 * j + a)];
  return r;
}
M3 transpose(const M3& a) {
  M3 t{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = a[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
  return t;
}
M3 mul(const M3& a, const M3& b) {
  M3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] += a[static_cast<std::size_t>(i)][static_cast<std::size_t>(k)] * b[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
  return c;
}

// D of the element's class for the current material, packed.
std::vector<double> elastic() {
  const word ns = estcom().NS;
  std::vector<double> d(static_cast<std::size_t>(ns * (ns + 1) / 2));
  ELAMAT(d);
  return d;
}
// sigma . eps of the field last stored (per unit of the element's measure:
// volume, face area, member length, or 1 for the springs).
double g_work = 0.0;

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  return std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
}

// Stores sigma = D eps at every point and records sigma . eps.
void store_strain(StateRecord& st, const std::vector<double>& eps) {
  const std::vector<double> d = elastic();
  std::vector<double> s(eps.size());
  PKMVEC(d, eps, static_cast<word>(eps.size()), s);
  st.set_stress(s);
  g_work = dot(s, eps);
}

// Two sets of field parameters (variant 0 and 1).
M3 gradient(int v) {
  return v == 0 ? M3{{{0.011, -0.004, 0.007}, {0.003, -0.006, 0.002}, {-0.005, 0.009, 0.004}}}
                : M3{{{-0.002, 0.008, -0.001}, {0.006, 0.010, -0.007}, {0.004, 0.001, -0.009}}};
}
V3 shift(int v) { return v == 0 ? V3{0.3, -0.2, 0.1} : V3{-0.1, 0.4, 0.25}; }

// Nodal displacements u_k = A x_k + t on the first d DOFs of every node with DOFs.
std::vector<double> linear_field(const M3& a, const V3& t, int d) {
  std::vector<double> u;
  for (int k = 0; k < nodes(); ++k) {
    if (dofs_per_node(k) == 0) continue;
    const V3 uk = add(matvec(a, node_xyz(k)), t);
    for (int c = 0; c < d; ++c) u.push_back(uk[static_cast<std::size_t>(c)]);
  }
  return u;
}

// ---- Uniform-strain fields: nodal displacements, and the matching point states ----------

using Field = std::function<std::vector<double>(StateRecord&, int)>;

std::vector<double> solid_field(StateRecord& st, int v) {
  const M3 a = gradient(v);
  store_strain(st, {a[0][0], a[1][1], a[2][2], a[0][1] + a[1][0], a[1][2] + a[2][1], a[0][2] + a[2][0]});
  return linear_field(a, shift(v), 3);
}

std::vector<double> plane_field(StateRecord& st, int v) {
  M3 a = gradient(v);
  a[0][2] = a[1][2] = a[2][0] = a[2][1] = a[2][2] = 0.0;
  store_strain(st, {a[0][0], a[1][1], 0.0, a[0][1] + a[1][0]});
  return linear_field(a, shift(v), 2);
}

// u_r = a r, u_z = c r + d z + t: strains (a, d, a, c) everywhere.
std::vector<double> axisym_field(StateRecord& st, int v) {
  const M3 g = gradient(v);
  const M3 a{{{g[0][0], 0.0, 0.0}, {g[1][0], g[1][1], 0.0}, {0.0, 0.0, 0.0}}};
  store_strain(st, {a[0][0], a[1][1], a[0][0], a[1][0]});
  return linear_field(a, {0.0, shift(v)[1], 0.0}, 2);
}

// In-plane strains of u = A x in the element's axes T: G = T A T^T.
M3 local_gradient(const std::array<double, 9>& t, const M3& a) { return mul(mul(rows(t), a), transpose(rows(t))); }

Field membrane_field(void (*axes)(std::array<double, 9>&)) {
  return [axes](StateRecord& st, int v) {
    std::array<double, 9> t{};
    axes(t);
    const M3 g = local_gradient(t, gradient(v));
    store_strain(st, {g[0][0], g[1][1], g[0][1] + g[1][0]});
    return linear_field(gradient(v), shift(v), 3);
  };
}

void quad_axes(std::array<double, 9>& t) { LAXQ4(t); }
void tri_axes(std::array<double, 9>& t) {
  double l = 0.0;
  LAXT3(t, l);
}

// Shell: u = A x + t with a uniform rotation w; in the element's axes the
// membrane strains of G and the transverse shears w,y - rx and w,x + ry.
std::vector<double> shell_field(StateRecord& st, int v) {
  std::array<double, 9> t{};
  LAXQ4(t);
  const M3 a = gradient(v), g = local_gradient(t, a);
  const V3 w = v == 0 ? V3{0.002, -0.003, 0.004} : V3{-0.001, 0.005, 0.002};
  const V3 wl = matvec(rows(t), w);
  store_strain(st, {g[0][0], g[1][1], g[0][1] + g[1][0], g[2][1] - wl[0], g[2][0] + wl[1]});
  std::vector<double> u;
  for (int k = 0; k < nodes(); ++k) {
    const V3 uk = add(matvec(a, node_xyz(k)), shift(v));
    u.insert(u.end(), uk.begin(), uk.end());
    u.insert(u.end(), w.begin(), w.end());
  }
  return u;
}

// Joint: the second face follows the first with a uniform opening d; the
// tractions (kn d_n, ks d_1, ks d_2) in the joint axes.
Field joint_field(void (*axes)(std::array<double, 9>&)) {
  return [axes](StateRecord& st, int v) {
    std::array<double, 9> t{};
    axes(t);
    const V3 d = v == 0 ? V3{0.02, -0.01, 0.03} : V3{-0.015, 0.025, 0.01};
    const V3 dl = matvec(rows(t), d);
    const double kn = estcom().PROP[0], ks = estcom().PROP[3];
    st.set_stress({kn * dl[2], ks * dl[0], ks * dl[1]});
    g_work = kn * dl[2] * dl[2] + ks * (dl[0] * dl[0] + dl[1] * dl[1]);
    const int m = nodes() / 2;
    std::vector<double> u;
    for (int k = 0; k < nodes(); ++k) {
      V3 uk = add(matvec(gradient(v), node_xyz(k % m)), shift(v));
      if (k >= m) uk = add(uk, d);
      u.insert(u.end(), uk.begin(), uk.end());
    }
    return u;
  };
}
void joint6_axes(std::array<double, 9>& t) { tri_axes(t); }
void joint12_axes(std::array<double, 9>& t) { LAXT6(t); }
void joint16_axes(std::array<double, 9>& t) { LAXQ8(t); }

std::vector<double> joint4_field(StateRecord& st, int v) {
  const V3 n1 = node_xyz(0), n2 = node_xyz(1);
  const double l = std::hypot(n2[0] - n1[0], n2[1] - n1[1]);
  const double c = (n2[0] - n1[0]) / l, s = (n2[1] - n1[1]) / l;
  const V3 d = v == 0 ? V3{0.02, -0.01, 0.0} : V3{-0.015, 0.025, 0.0};
  const double du = c * d[0] + s * d[1], dv = -s * d[0] + c * d[1];
  st.set_stress({estcom().PROP[0] * dv, estcom().PROP[3] * du, 0.0});
  g_work = estcom().PROP[0] * dv * dv + estcom().PROP[3] * du * du;
  M3 a = gradient(v);
  a[0][2] = a[1][2] = a[2][0] = a[2][1] = a[2][2] = 0.0;
  // Node 4 faces node 1 and node 3 faces node 2.
  const int partner[4] = {0, 1, 1, 0};
  std::vector<double> u;
  for (int k = 0; k < 4; ++k) {
    V3 uk = add(matvec(a, node_xyz(partner[k])), shift(v));
    if (k >= 2) uk = add(uk, d);
    u.push_back(uk[0]);
    u.push_back(uk[1]);
  }
  return u;
}

std::vector<double> rod_field(StateRecord& st, int v) {
  const M3 a = gradient(v);
  V3 c = sub(node_xyz(1), node_xyz(0));
  const double l = std::sqrt(dot(c, c));
  for (double& x : c) x /= l;
  const double eps = dot(c, matvec(a, c));
  st.set_stress({matcom().w(mw::E) * eps});
  g_work = matcom().w(mw::E) * eps * eps;
  return linear_field(a, shift(v), 3);
}

// The section beam's area and second moment (property words 1 and 3).
constexpr float kSbeamArea = 12.0f, kSbeamIz = 16.0f;

// Section values of a beam case: A, Iy, Iz, J.
struct Section {
  double a, iy, iz, j;
};

// Beam: rigid motion, uniform stretch e0 and twist rate k0 along the member
// and uniform curvatures ky, kz: v = kz x^2 / 2, rz = kz x; w = -ky x^2 / 2,
// ry = ky x (local). End forces: N = EA e0, Mx = GJ k0, My = EIy ky, Mz = EIz kz.
Field beam_field(Section (*section)()) {
  return [section](StateRecord& st, int v) {
    std::array<double, 9> t{};
    double l = 0.0;
    LAXT3(t, l);
    const Section s = section();
    const double e = matcom().w(mw::E), g = 0.5 * e / (1.0 + matcom().w(mw::NU));
    const double e0 = v == 0 ? 0.004 : -0.002, k0 = v == 0 ? 0.003 : 0.005;
    const double ky = v == 0 ? 0.002 : -0.004, kz = v == 0 ? -0.003 : 0.001;
    const double n = e * s.a * e0, mx = g * s.j * k0, my = e * s.iy * ky, mz = e * s.iz * kz;
    st.set_end_forces({-n, 0, 0, -mx, -my, -mz, n, 0, 0, mx, my, mz});
    g_work = n * e0 + mx * k0 + my * ky + mz * kz;
    const M3 tt = transpose(rows(t));  // local to global
    const V3 w0 = v == 0 ? V3{0.01, -0.02, 0.015} : V3{-0.005, 0.01, 0.02};
    const V3 t0 = shift(v);
    std::vector<double> u;
    for (int k = 0; k < 2; ++k) {
      const double x = k * l;
      const V3 ul{e0 * x, kz * x * x / 2.0, -ky * x * x / 2.0};
      const V3 rl{k0 * x, ky * x, kz * x};
      const V3 p = sub(node_xyz(k), node_xyz(0));
      // Rigid rotation w0 about node 1 plus translation t0.
      const V3 rigid = add(V3{w0[1] * p[2] - w0[2] * p[1], w0[2] * p[0] - w0[0] * p[2], w0[0] * p[1] - w0[1] * p[0]}, t0);
      const V3 ug = add(matvec(tt, ul), rigid), rg = add(matvec(tt, rl), w0);
      u.insert(u.end(), ug.begin(), ug.end());
      u.insert(u.end(), rg.begin(), rg.end());
    }
    return u;
  };
}

Section beam2_section() {
  const auto& p = estcom().PROP;
  return {p[0], p[1], p[2], p[3] != 0.0f ? p[3] : p[1] + p[2]};
}
// The section beam integrates an equivalent rectangle: Iy = A^4 / (144 Iz)
// and a torsional rigidity G (Iy + Iz).
Section sbeam2_section() {
  const double a = kSbeamArea, iz = kSbeamIz, iy = a * a * a * a / (144.0 * iz);
  return {a, iy, iz, iy + iz};
}

// Springs: relative motion d of node 2; end forces -k d and k d (global).
std::vector<double> spring_field(StateRecord& st, int v) {
  std::vector<double> u1{0.1, -0.2, 0.05, 0.01, 0.02, -0.03}, d{0.02, 0.01, -0.03, 0.004, -0.002, 0.005};
  if (v == 1) std::reverse(d.begin(), d.end());
  std::vector<double> f(12), u(12);
  for (int i = 0; i < 6; ++i) {
    const double k = estcom().PROP[static_cast<std::size_t>(i)];
    f[static_cast<std::size_t>(i)] = -k * d[static_cast<std::size_t>(i)];
    f[static_cast<std::size_t>(i + 6)] = k * d[static_cast<std::size_t>(i)];
    u[static_cast<std::size_t>(i)] = u1[static_cast<std::size_t>(i)];
    u[static_cast<std::size_t>(i + 6)] = u1[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(i)];
  }
  st.set_end_forces(f);
  g_work = 0.0;
  for (int i = 0; i < 6; ++i) g_work += f[static_cast<std::size_t>(i + 6)] * d[static_cast<std::size_t>(i)];
  return u;
}

// The spring constant of contact component c (0-based): property words 1-6,
// except that the second shear takes the constant of the first.
double contact_constant(int c) { return estcom().PROP[static_cast<std::size_t>(c == 2 ? 1 : c)]; }

// Contact: relative motion of node 2 resolved on the contact axes; the six
// local forces and moments k_c d_c at the point.
std::vector<double> contact_field(StateRecord& st, int v) {
  std::array<double, 9> dc{};
  const V3 p1 = node_xyz(0), p2 = node_xyz(1);
  LAXL2(p1, p2, dc);
  std::vector<double> u1{0.1, -0.2, 0.05, 0.01, 0.02, -0.03}, d{0.02, 0.01, -0.03, 0.004, -0.002, 0.005};
  if (v == 1) std::reverse(d.begin(), d.end());
  std::vector<double> s(6), u(12);
  for (int c = 0; c < 3; ++c)
    for (int half = 0; half < 2; ++half) {
      double dl = 0.0;
      for (int j = 0; j < 3; ++j) dl += dc[static_cast<std::size_t>(3 * c + j)] * d[static_cast<std::size_t>(3 * half + j)];
      s[static_cast<std::size_t>(3 * half + c)] = contact_constant(3 * half + c) * dl;
    }
  for (int i = 0; i < 6; ++i) {
    u[static_cast<std::size_t>(i)] = u1[static_cast<std::size_t>(i)];
    u[static_cast<std::size_t>(i + 6)] = u1[static_cast<std::size_t>(i)] + d[static_cast<std::size_t>(i)];
  }
  st.set_stress(s);
  g_work = 0.0;
  for (int c = 0; c < 3; ++c)
    for (int half = 0; half < 2; ++half) {
      const double kc = contact_constant(3 * half + c);
      if (kc != 0.0) g_work += s[static_cast<std::size_t>(3 * half + c)] * s[static_cast<std::size_t>(3 * half + c)] / kc;
    }
  return u;
}

// ---- The table ------------------------------------------------------------------------

// How the element is moved for the frame test.
enum class Motion {
  Space,   // any rotation in space (and a translation)
  AboutZ,  // a rotation about the global z axis (frames tied to z)
  Plane,   // a rotation in the plane (two coordinates per node)
  Axial,   // a shift along the axis (axisymmetric elements)
};

// The translation DOFs of each node whose forces must balance: all, or the
// axial one only (axisymmetric: the radial forces carry the hoop stress).
enum class Balance { All, Axial };

struct Case {
  std::string name;
  word iecod;
  std::vector<float> props;
  std::vector<double> ref, distorted;
  int zero_modes;
  Motion motion;
  Field field;
  Balance balance = Balance::All;
  double measure = 0.0;  // volume, area or length of the reference geometry
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

constexpr double kPi = 3.14159265358979323846;

// ---- Geometry -----------------------------------------------------------------------------

using Map = V3 (*)(const V3&);

// Reference maps: natural (or area/volume-based) coordinates to space.
V3 unit_box(const V3& n) { return {(n[0] + 1) / 2, (n[1] + 1) / 2, (n[2] + 1) / 2}; }
// A smooth distortion of the unit box: skewed, tapered, with curved edges.
V3 warped_box(const V3& n) {
  const V3 x = unit_box(n);
  return {1.1 * x[0] + 0.15 * x[1] * x[2] + 0.1 * x[1], 0.9 * x[1] + 0.12 * x[0] * x[2] - 0.05 * x[2],
          1.2 * x[2] + 0.1 * x[0] * x[1] + 0.08 * x[0]};
}
V3 identity(const V3& x) { return x; }
V3 warped(const V3& x) {
  return {x[0] + 0.1 * x[1] * x[2] + 0.05 * x[1], x[1] + 0.1 * x[0] * x[2] + 0.04 * x[0], x[2] + 0.1 * x[0] * x[1]};
}

std::vector<double> nodes_of(const std::vector<V3>& natural, Map map, int d = 3) {
  std::vector<double> x;
  for (const V3& n : natural) {
    const V3 p = map(n);
    x.insert(x.end(), p.begin(), p.begin() + d);
  }
  return x;
}

// Natural positions of the nodes, in the element node orders.
std::vector<V3> quad4_nodes() { return {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}}; }
std::vector<V3> quad8_nodes() {
  return {{-1, -1, 0}, {0, -1, 0}, {1, -1, 0}, {-1, 0, 0}, {1, 0, 0}, {-1, 1, 0}, {0, 1, 0}, {1, 1, 0}};
}
std::vector<V3> hex8_nodes() {
  std::vector<V3> n;
  for (double z : {-1.0, 1.0})
    for (const V3& q : quad4_nodes()) n.push_back({q[0], q[1], z});
  return n;
}
std::vector<V3> hex20_nodes() {
  std::vector<V3> n;
  for (const V3& q : quad8_nodes()) n.push_back({q[0], q[1], -1});
  for (const V3& q : quad4_nodes()) n.push_back({q[0], q[1], 0});
  for (const V3& q : quad8_nodes()) n.push_back({q[0], q[1], 1});
  return n;
}
// Triangle corners at (0,0), (1,0), (0,1) of the first two coordinates.
V3 tri_point(double l2, double l3, double z) { return {l2, l3, z}; }
std::vector<V3> tri3_nodes() { return {tri_point(0, 0, 0), tri_point(1, 0, 0), tri_point(0, 1, 0)}; }
std::vector<V3> tri6_nodes() {
  return {tri_point(0, 0, 0), tri_point(0.5, 0, 0), tri_point(1, 0, 0),
          tri_point(0, 0.5, 0), tri_point(0.5, 0.5, 0), tri_point(0, 1, 0)};
}
std::vector<V3> pent6_nodes() {
  std::vector<V3> n;
  for (double z : {0.0, 1.0})
    for (const V3& t : tri3_nodes()) n.push_back({t[0], t[1], z});
  return n;
}
std::vector<V3> pent15_nodes() {
  std::vector<V3> n;
  for (const V3& t : tri6_nodes()) n.push_back({t[0], t[1], 0});
  for (const V3& t : tri3_nodes()) n.push_back({t[0], t[1], 0.5});
  for (const V3& t : tri6_nodes()) n.push_back({t[0], t[1], 1});
  return n;
}
std::vector<V3> tet10_nodes() {
  const V3 c[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const auto mid = [&](int a, int b) { return V3{(c[a][0] + c[b][0]) / 2, (c[a][1] + c[b][1]) / 2, (c[a][2] + c[b][2]) / 2}; };
  return {c[0], mid(0, 1), c[1], mid(0, 2), mid(1, 2), c[2], mid(0, 3), mid(1, 3), mid(2, 3), c[3]};
}

// A planar face in a tilted plane: the in-plane points rotated and shifted.
V3 tilted(const V3& x) {
  static const M3 r = rotation({1, 1, 0.5}, 0.6);
  const V3 p{1.3 * x[0] + 0.2 * x[1], 0.9 * x[1] + 0.1 * x[0] * x[1], 0.0};
  return add(apply(r, p), {0.3, -0.2, 0.5});
}
// Plane quadrilateral and triangle corners (2 coordinates per node).
std::vector<double> square() { return {0, 0, 1, 0, 0, 1, 1, 1}; }
std::vector<double> plane_quad() { return {0, 0, 2, 0.2, 0.3, 1.5, 2.2, 1.9}; }
std::vector<double> ring() { return {1, 0, 2, 0, 1, 1, 2, 1}; }
std::vector<double> ring_quad() { return {1, 0, 2.2, 0.1, 0.9, 1.1, 2.1, 1.3}; }

// Two faces of a joint: the first face's nodes, then the second face's, the
// second face off the first by gap along the face normal (z before tilting).
std::vector<double> joint(const std::vector<V3>& face, Map map, double gap) {
  std::vector<V3> n = face;
  for (const V3& f : face) n.push_back({f[0], f[1], gap});
  std::vector<double> x;
  for (const V3& p : n) {
    const V3 q = map == nullptr ? p : add(map({p[0], p[1], 0}), apply(rotation({1, 1, 0.5}, 0.6), {0, 0, p[2]}));
    x.insert(x.end(), q.begin(), q.end());
  }
  return x;
}
// Face nodes of the joints: quadrilaterals on [0, 1]^2, triangles as above.
std::vector<V3> square4() { return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}; }
std::vector<V3> square8() {
  std::vector<V3> n;
  for (const V3& q : quad8_nodes()) n.push_back({(q[0] + 1) / 2, (q[1] + 1) / 2, 0});
  return n;
}

std::vector<Case> cases() {
  std::vector<Case> c;
  const Field hex = solid_field;
  c.push_back({"HEX8", 1, {}, nodes_of(hex8_nodes(), unit_box), nodes_of(hex8_nodes(), warped_box), 6, Motion::Space, hex});
  c.push_back({"HEX8R", 27, {}, nodes_of(hex8_nodes(), unit_box), nodes_of(hex8_nodes(), warped_box), 6, Motion::Space, hex});
  c.push_back({"HEX20", 15, {}, nodes_of(hex20_nodes(), unit_box), nodes_of(hex20_nodes(), warped_box), 6, Motion::Space, hex});
  c.push_back({"PENT6", 2, {}, nodes_of(pent6_nodes(), identity), nodes_of(pent6_nodes(), warped), 6, Motion::Space, hex});
  c.push_back({"PENT15", 16, {}, nodes_of(pent15_nodes(), identity), nodes_of(pent15_nodes(), warped), 6, Motion::Space, hex});
  c.push_back({"TET10", 17, {}, nodes_of(tet10_nodes(), identity), nodes_of(tet10_nodes(), warped), 6, Motion::Space, hex});
  c.push_back({"QAX4", 3, {}, ring(), ring_quad(), 1, Motion::Axial, axisym_field, Balance::Axial});
  c.push_back({"QAX4R", 28, {}, ring(), ring_quad(), 2, Motion::Axial, axisym_field, Balance::Axial});
  c.push_back({"TAX3", 4, {}, {1, 0, 2, 0, 1, 1}, {1, 0.1, 2.3, 0.4, 1.4, 1.5}, 1, Motion::Axial, axisym_field, Balance::Axial});
  c.push_back({"QPLAN4", 11, {}, square(), plane_quad(), 3, Motion::Plane, plane_field});
  c.push_back({"QPLAN4R", 29, {}, square(), plane_quad(), 3, Motion::Plane, plane_field});
  c.push_back({"TPLAN3", 12, {}, {0, 0, 1, 0, 0, 1}, {0.1, 0.1, 1.5, 0.3, 0.4, 1.2}, 3, Motion::Plane, plane_field});
  c.push_back({"QMEM4", 9, {0.5f}, nodes_of(quad4_nodes(), unit_box), nodes_of(square4(), tilted), 7, Motion::Space,
               membrane_field(quad_axes)});
  c.push_back({"TMEM3", 10, {0.5f}, nodes_of(tri3_nodes(), identity), nodes_of(tri3_nodes(), tilted), 6, Motion::Space,
               membrane_field(tri_axes)});
  c.push_back({"QFLA4", 7, {0.2f}, nodes_of(quad4_nodes(), unit_box), nodes_of(square4(), tilted), 7, Motion::Space,
               shell_field});
  const std::vector<float> jp{1.0f, 0.0f, 0.0f, 0.5f};
  c.push_back({"JOINT4", 14, jp, {0, 0, 2, 0, 2, 0, 0, 0}, {0.1, 0.2, 2.0, 1.1, 1.95, 1.2, 0.05, 0.3}, 4,
               Motion::Plane, joint4_field});
  c.push_back({"JOINT6", 18, jp, joint(tri3_nodes(), nullptr, 0), joint(tri3_nodes(), tilted, 0.05), 9, Motion::Space,
               joint_field(joint6_axes)});
  c.push_back({"JOINT8", 19, jp, joint(square4(), nullptr, 0), joint(square4(), tilted, 0.05), 12, Motion::Space,
               joint_field(quad_axes)});
  c.push_back({"JOINT12", 20, jp, joint(tri6_nodes(), nullptr, 0), joint(tri6_nodes(), tilted, 0.05), 18,
               Motion::Space, joint_field(joint12_axes)});
  c.push_back({"JOINT16", 21, jp, joint(square8(), nullptr, 0), joint(square8(), tilted, 0.05), 24, Motion::Space,
               joint_field(joint16_axes)});
  const std::vector<float> beam{2.0f, 1.5f, 3.0f, 0.0f, 0.8f, 0.6f};
  c.push_back({"BEAM2", 5, beam, {0, 0, 0, 3, 0, 0, 0, 1, 0}, {0.2, -0.1, 0.3, 2.1, 1.7, 0.9, 1.0, 2.0, 3.0}, 6,
               Motion::Space, beam_field(beam2_section)});
  c.push_back({"SBEAM2", 26, {kSbeamArea, 0.0f, kSbeamIz}, {0, 0, 0, 2, 0, 0, 0, 1, 0},
               {0.2, -0.1, 0.3, 2.1, 1.7, 0.9, 1.0, 2.0, 3.0}, 6, Motion::Space, beam_field(sbeam2_section)});
  c.push_back({"ROD2", 6, {0.5f}, {0, 0, 0, 2, 0, 0}, {0.1, 0.2, 0.3, 1.5, -0.7, 2.0}, 5, Motion::Space, rod_field});
  c.push_back({"SPG2", 22, {2, 2, 2, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 1, 0, 0}, {0.3, 0.1, 0, 0.3, 0.1, 0}, 6,
               Motion::Space, spring_field});
  c.push_back({"CNT2", 23, {3, 2, 1.5f, 0.4f, 0.3f, 0.2f}, {0, 0, 0, 1, 0, 0}, {0.1, 0.2, 0.3, 0.9, 1.4, 1.1}, 6,
               Motion::AboutZ, contact_field});
  // Volume (area x thickness, ring volume 2 pi int r dA), face area, length
  // (area x length for the rod), or 1 for the springs, of each reference geometry.
  const std::map<std::string, double> measure{
      {"HEX8", 1.0},    {"HEX8R", 1.0},    {"HEX20", 1.0},   {"PENT6", 0.5},   {"PENT15", 0.5},
      {"TET10", 1.0 / 6}, {"QAX4", 3 * kPi}, {"QAX4R", 3 * kPi}, {"TAX3", 4 * kPi / 3}, {"QPLAN4", 1.0},
      {"QPLAN4R", 1.0}, {"TPLAN3", 0.5},   {"QMEM4", 0.5},   {"TMEM3", 0.25},  {"QFLA4", 0.2},
      {"JOINT4", 2.0},  {"JOINT6", 0.5},   {"JOINT8", 1.0},  {"JOINT12", 0.5}, {"JOINT16", 1.0},
      {"BEAM2", 3.0},   {"SBEAM2", 2.0},   {"ROD2", 1.0},    {"SPG2", 1.0},    {"CNT2", 1.0}};
  for (Case& k : c) k.measure = measure.at(k.name);
  return c;
}

// ---- Checks ------------------------------------------------------------------------------

// An element with its fresh state record and its stiffness.
struct Built {
  std::shared_ptr<StateRecord> state;
  std::vector<double> k;
  int n;
};

Built build(const Case& cs, const std::vector<double>& xyz) {
  make_element(cs.iecod, xyz, cs.props);
  auto st = std::make_shared<StateRecord>();
  return {st, stiffness(), ndof()};
}

void check_modes(const Built& b, int expected) {
  const std::vector<double> ev = eigenvalues(unpack(b.k, b.n), b.n);
  const double top = std::max(std::abs(ev.front()), std::abs(ev.back()));
  int zeros = 0;
  for (double v : ev) zeros += std::abs(v) < 1e-9 * top;
  EXPECT_EQ(zeros, expected);
  EXPECT_GT(ev.front(), -1e-9 * top) << "not positive semi-definite";
}

// Sum of the forces on the translation DOFs, per global direction.
V3 force_sum(const std::vector<double>& f, Balance bal) {
  V3 s{};
  int i = 0;
  for (int k = 0; k < nodes(); ++k) {
    const int d = dofs_per_node(k);
    for (int c = 0; c < d; ++c, ++i)
      if (c < 3 && (bal == Balance::All || c == 1)) s[static_cast<std::size_t>(c)] += f[static_cast<std::size_t>(i)];
  }
  return s;
}

// K u = FELEM(sigma(u)) for two uniform-strain fields, balanced forces, and
// v . F(u) = u . F(v).
void check_internal_force(const Case& cs, const Built& b, bool reference) {
  StateRecord& st = *b.state;
  const Dense k = unpack(b.k, b.n);
  std::vector<std::vector<double>> u(2), f(2);
  for (int v = 0; v < 2; ++v) {
    u[static_cast<std::size_t>(v)] = cs.field(st, v);
    ASSERT_EQ(u[static_cast<std::size_t>(v)].size(), static_cast<std::size_t>(b.n));
    f[static_cast<std::size_t>(v)] = internal_force();
    const std::vector<double> ku = multiply(k, u[static_cast<std::size_t>(v)]);
    const double scale = max_abs(ku);
    ASSERT_GT(scale, 0.0);
    for (int i = 0; i < b.n; ++i)
      EXPECT_NEAR(f[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)], ku[static_cast<std::size_t>(i)], 2e-6 * scale)
          << "DOF " << i + 1 << " field " << v;
    // Work of the uniform stress: u . K u = measure x sigma . eps.
    if (reference) {
      const double w = dot(u[static_cast<std::size_t>(v)], ku);
      EXPECT_NEAR(w, cs.measure * g_work, 1e-6 * std::abs(w)) << "field " << v;
    }
    const V3 s = force_sum(f[static_cast<std::size_t>(v)], cs.balance);
    for (double x : s) EXPECT_NEAR(x, 0.0, 1e-6 * scale);
  }
  const double a = std::inner_product(u[1].begin(), u[1].end(), f[0].begin(), 0.0);
  const double c = std::inner_product(u[0].begin(), u[0].end(), f[1].begin(), 0.0);
  EXPECT_NEAR(a, c, 1e-6 * (std::abs(a) + std::abs(c)));
}

// The moved element's K equals Q K Q^T, Q rotating each node's vectors.
void check_frame(const Case& cs, const std::vector<double>& xyz, const Built& b) {
  make_element(cs.iecod, xyz, cs.props);
  const M3 r = cs.motion == Motion::Space ? rotation({1, 2, 3}, 0.7) : rotation({0, 0, 1}, 0.7);
  const V3 t{0.5, -1.0, 2.0};
  std::vector<double> moved;
  for (int k = 0; k < nodes(); ++k) {
    const int d = coords_per_node(k);
    V3 x = node_xyz(k);
    x = cs.motion == Motion::Axial ? add(x, {0.0, 0.7, 0.0}) : add(matvec(r, x), t);
    for (int c = 0; c < d; ++c) moved.push_back(x[static_cast<std::size_t>(c)]);
  }
  const Built m = build(cs, moved);
  Dense q(static_cast<std::size_t>(b.n * b.n), 0.0);
  int i = 0;
  for (int k = 0; k < nodes(); ++k) {
    const int d = dofs_per_node(k);
    for (int blk = 0; blk < d; blk += 3) {
      const int w = std::min(3, d - blk);
      for (int a = 0; a < w; ++a)
        for (int c = 0; c < w; ++c)
          q[static_cast<std::size_t>((i + a) * b.n + i + c)] =
              cs.motion == Motion::Axial ? (a == c) : r[static_cast<std::size_t>(a)][static_cast<std::size_t>(c)];
      i += w;
    }
  }
  const Dense k0 = unpack(b.k, b.n), k1 = unpack(m.k, b.n);
  const double scale = max_abs(k0);
  for (int a = 0; a < b.n; ++a)
    for (int c = 0; c < b.n; ++c) {
      double v = 0.0;
      for (int p = 0; p < b.n; ++p)
        for (int s = 0; s < b.n; ++s)
          v += q[static_cast<std::size_t>(a * b.n + p)] * k0[static_cast<std::size_t>(p * b.n + s)] * q[static_cast<std::size_t>(c * b.n + s)];
      EXPECT_NEAR(k1[static_cast<std::size_t>(a * b.n + c)], v, 1e-6 * scale) << a + 1 << "," << c + 1;
    }
}

class EveryStiffness : public ::testing::TestWithParam<Case> {};

TEST_P(EveryStiffness, ModesFrameAndInternalForce) {
  const Case& cs = GetParam();
  for (const auto* xyz : {&cs.ref, &cs.distorted}) {
    SCOPED_TRACE(xyz == &cs.ref ? "reference" : "distorted");
    const Built b = build(cs, *xyz);
    check_modes(b, cs.zero_modes);
    check_internal_force(cs, b, xyz == &cs.ref);
    check_frame(cs, *xyz, b);
  }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EveryStiffness, ::testing::ValuesIn(cases()),
                         [](const auto& info) { return info.param.name; });

// ---- Thermal load ------------------------------------------------------------------------

// The field of free thermal expansion at a uniform temperature.
enum class Expansion {
  Space,        // u = alpha T x (solids, membranes, the shell, line elements)
  PlaneStrain,  // u = (1 + nu) alpha T x: the out-of-plane strain is held
  Ring,         // u_r = alpha T r, u_z = alpha T z
};

const std::map<std::string, Expansion> kExpansion{
    {"HEX8", Expansion::Space},   {"HEX8R", Expansion::Space},        {"HEX20", Expansion::Space},
    {"PENT6", Expansion::Space},  {"PENT15", Expansion::Space},       {"TET10", Expansion::Space},
    {"QAX4", Expansion::Ring},    {"QAX4R", Expansion::Ring},         {"TAX3", Expansion::Ring},
    {"QPLAN4", Expansion::PlaneStrain}, {"QPLAN4R", Expansion::PlaneStrain}, {"TPLAN3", Expansion::PlaneStrain},
    {"QMEM4", Expansion::Space},  {"TMEM3", Expansion::Space},        {"QFLA4", Expansion::Space},
    {"ROD2", Expansion::Space},   {"SBEAM2", Expansion::Space},       {"BEAM2", Expansion::Space}};

std::vector<Case> thermal_cases() {
  std::vector<Case> out;
  for (const Case& c : cases())
    if (kExpansion.count(c.name) != 0) out.push_back(c);
  return out;
}

class ThermalLoad : public ::testing::TestWithParam<Case> {};

// TH = K u_free, and the loads balance.
TEST_P(ThermalLoad, IsTheStiffnessTimesTheFreeExpansion) {
  const Case& cs = GetParam();
  const double alpha = 1e-3, temp = 10.0, nu = 0.3;
  for (const auto* xyz : {&cs.ref, &cs.distorted}) {
    SCOPED_TRACE(xyz == &cs.ref ? "reference" : "distorted");
    make_element(cs.iecod, *xyz, cs.props, {.e = 1.0, .nu = nu, .alpha = alpha});
    StateRecord st;
    std::vector<double> k;
    const std::vector<double> th = thermal_load(std::vector<float>(static_cast<std::size_t>(nodes()), 10.0f), &k);
    const Expansion e = kExpansion.at(cs.name);
    const double strain = double{static_cast<float>(alpha)} * temp *
                          (e == Expansion::PlaneStrain ? 1.0 + double{static_cast<float>(nu)} : 1.0);
    std::vector<double> u;
    for (int n = 0; n < nodes(); ++n) {
      const int d = dofs_per_node(n);
      const V3 x = node_xyz(n);
      for (int c = 0; c < d; ++c) u.push_back(c < 3 ? strain * x[static_cast<std::size_t>(c)] : 0.0);
    }
    const std::vector<double> ku = multiply(unpack(k, ndof()), u);
    const double scale = max_abs(ku);
    ASSERT_GT(scale, 0.0);
    for (int i = 0; i < ndof(); ++i) EXPECT_NEAR(th[static_cast<std::size_t>(i)], ku[static_cast<std::size_t>(i)], 1e-9 * scale) << i + 1;
    for (double f : force_sum(th, cs.balance)) EXPECT_NEAR(f, 0.0, 1e-9 * scale);
  }
}

INSTANTIATE_TEST_SUITE_P(ThermalTypes, ThermalLoad, ::testing::ValuesIn(thermal_cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zephsol::test
