// Body-force loads: PE(a, s) += c_s integral of GAMM N_a over the element,
// formed through the consistent matrix M(a, b) = integral N_a N_b and
// F = M G with G(b) = GAMM (the shape functions sum to 1).
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/elem/pload.h"
#include "zephsol/elem/rules.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/exec/packed.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

constexpr double kTwoPi = 6.28318530718;

double gamm() { return static_cast<double>(matcom().w(mw::GAMM)); }
double thickness() { return static_cast<double>(estcom().PROP[0]); }

// The C load components of an entry; false when they are all zero.
template <int C>
bool components(std::span<const float> values, word code, std::array<double, C>& c) {
  pload::need(values, C, code);
  double sq = 0.0;
  for (int s = 0; s < C; ++s) {
    c[s] = static_cast<double>(values[s]);
    sq += c[s] * c[s];
  }
  return sq > 0.0;
}

// Packed consistent matrix of NN nodes.
template <int NN>
class Consistent {
 public:
  // M(a, b) += w N_a N_b, a <= b.
  void add(double w, const std::array<double, NN>& n) {
    for (int a = 0; a < NN; ++a)
      for (int b = a; b < NN; ++b) m_[packed_index(a + 1, b + 1, NN)] += w * n[a] * n[b];
  }
  // F = M G, G(b) = GAMM.
  std::array<double, NN> times_gamm() const {
    std::array<double, NN> g{}, f{};
    g.fill(gamm());
    PKMVEC(m_, g, NN, f);
    return f;
  }

 private:
  std::array<double, NN * (NN + 1) / 2> m_{};
};

// PE(dpn (a - 1) + s) += F_a c_s.
template <int NN, int C>
void spread(const std::array<double, NN>& f, const std::array<double, C>& c, int dpn, std::span<double> pe) {
  for (int a = 0; a < NN; ++a)
    for (int s = 0; s < C; ++s) pload::add_at(pe, dpn, a + 1, s, f[a] * c[s]);
}

// ---- Points of the solid rules: visit(natural derivative rows, N, weight) ----

// Gauss ng x ng x ng, zeta outermost, xi innermost.
template <int NORD, int NN, class Visit>
void hex_points(word ng, Visit visit) {
  std::array<double, 3> g{}, w{};
  GAUSPT(ng, g, w);
  for (int k = 0; k < ng; ++k)
    for (int j = 0; j < ng; ++j)
      for (int i = 0; i < ng; ++i) {
        const std::array<double, 3> xi{g[i], g[j], g[k]};
        kin::Derivs<3, NN> dn{};
        for (int r = 0; r < 3; ++r) SHPHEX(NORD, r + 1, xi, dn[r]);
        std::array<double, NN> n{};
        SHPHEX(NORD, 0, xi, n);
        visit(dn, n, w[i] * w[j] * w[k]);
      }
}

// Triangle rule of nt points times Gauss ng in zeta; rows d/dL1 - d/dL3,
// d/dL2 - d/dL3, d/dzeta.
template <int NORD, int NN, class Visit>
void penta_points(word nt, word ng, Visit visit) {
  std::array<double, 21> l{};
  std::array<double, 7> wt{};
  std::array<double, 3> g{}, wg{};
  TRIAPT(nt, l, wt);
  GAUSPT(ng, g, wg);
  for (int k = 0; k < ng; ++k)
    for (int p = 0; p < nt; ++p) {
      const std::array<double, 4> x{l[3 * p], l[3 * p + 1], l[3 * p + 2], g[k]};
      std::array<std::array<double, NN>, 4> d{};
      for (int r = 0; r < 4; ++r) SHPPEN(NORD, r + 1, x, d[r]);
      kin::Derivs<3, NN> dn{};
      for (int a = 0; a < NN; ++a) {
        dn[0][a] = d[0][a] - d[2][a];
        dn[1][a] = d[1][a] - d[2][a];
        dn[2][a] = d[3][a];
      }
      std::array<double, NN> n{};
      SHPPEN(NORD, 0, x, n);
      visit(dn, n, wt[p] * wg[k]);
    }
}

// Tetrahedron rule of 5 points; rows d/dLk - d/dL1 (k = 2, 3, 4), the rows
// of the element's stiffness, so that a well-formed element has det J > 0.
template <class Visit>
void tet10_points(Visit visit) {
  std::array<double, 20> l{};
  std::array<double, 5> w{};
  TETRPT(5, l, w);
  for (int p = 0; p < 5; ++p) {
    const std::span<const double> lp(l.data() + 4 * p, 4);
    std::array<std::array<double, 10>, 4> d{};
    for (int r = 0; r < 4; ++r) SHPTET(2, r + 1, lp, d[r]);
    kin::Derivs<3, 10> dn{};
    for (int r = 0; r < 3; ++r)
      for (int a = 0; a < 10; ++a) dn[r][a] = d[r + 1][a] - d[0][a];
    std::array<double, 10> n{};
    SHPTET(2, 0, lp, n);
    visit(dn, n, w[p]);
  }
}

// Solid of NN nodes: weight det J W; points with det J <= 0 add nothing.
template <int NN, class Points>
void solid_body(std::span<const float> values, word code, std::span<double> pe, Points points) {
  std::array<double, 3> c{};
  if (!components<3>(values, code, c)) return;
  const auto x = kin::node_coords<3, NN>();
  Consistent<NN> m;
  points([&](const kin::Derivs<3, NN>& dn, const std::array<double, NN>& n, double w) {
    const double det = kin::determinant(kin::jacobian<3, NN>(dn, x));
    if (det > 0.0) m.add(det * w, n);
  });
  spread<NN, 3>(m.times_gamm(), c, 3, pe);
}

// ---- Plane shapes: x holds (x, y) per node, factor(N) the extra weight ----

// 4-node quadrilateral, Gauss 2 x 2: weight factor det J W; det J <= 0 skipped.
template <class Factor>
std::array<double, 4> quad_forces(std::span<const double> x, Factor factor) {
  std::array<double, 2> g{}, w{};
  GAUSPT(2, g, w);
  Consistent<4> m;
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const std::array<double, 2> xi{g[i], g[j]};
      kin::Derivs<2, 4> dn{};
      for (int r = 0; r < 2; ++r) SHPQUA(1, r + 1, xi, dn[r]);
      std::array<double, 4> n{};
      SHPQUA(1, 0, xi, n);
      const double det = kin::determinant(kin::jacobian<2, 4>(dn, x));
      if (det > 0.0) m.add(factor(n) * det * w[i] * w[j], n);
    }
  return m.times_gamm();
}

// 3-node triangle, rule of NINT (element points) points in area coordinates:
// weight factor D W with D = (x1 - x3)(y2 - y3) - (x2 - x3)(y1 - y3), signed.
template <class Factor>
std::array<double, 3> tri_forces(std::span<const double> x, Factor factor) {
  const double d = (x[0] - x[4]) * (x[3] - x[5]) - (x[2] - x[4]) * (x[1] - x[5]);
  std::array<double, 21> l{};
  std::array<double, 7> w{};
  const word nint = estcom().NPTS;
  TRIAPT(nint, l, w);
  Consistent<3> m;
  for (int p = 0; p < nint; ++p) {
    const std::array<double, 3> n{l[3 * p], l[3 * p + 1], l[3 * p + 2]};
    m.add(factor(n) * d * w[p], n);
  }
  return m.times_gamm();
}

// 2 pi r, r = sum N_a r_a.
template <int NN>
auto ring_factor(std::span<const double> x) {
  return [x](const std::array<double, NN>& n) {
    double r = 0.0;
    for (int a = 0; a < NN; ++a) r += n[a] * x[2 * a];
    return kTwoPi * r;
  };
}

auto constant_factor(double v) {
  return [v](const auto&) { return v; };
}

// In-plane coordinates of the first nn nodes in the element axes t.
template <int NN>
std::array<double, 2 * NN> in_plane(std::span<const double, 9> t) {
  std::array<double, 2 * NN> xl{};
  plane_coords(t, NN, xl);
  return xl;
}

}  // namespace

void PBHEX8(word code, std::span<const float> values, std::span<double> pe) {
  solid_body<8>(values, code, pe, [](auto visit) { hex_points<1, 8>(2, visit); });
}

void PBHEX20(word code, std::span<const float> values, std::span<double> pe) {
  solid_body<20>(values, code, pe, [](auto visit) { hex_points<2, 20>(3, visit); });
}

void PBPENT6(word code, std::span<const float> values, std::span<double> pe) {
  solid_body<6>(values, code, pe, [](auto visit) { penta_points<1, 6>(4, 2, visit); });
}

void PBPENT15(word code, std::span<const float> values, std::span<double> pe) {
  solid_body<15>(values, code, pe, [](auto visit) { penta_points<2, 15>(7, 3, visit); });
}

void PBTET10(word code, std::span<const float> values, std::span<double> pe) {
  solid_body<10>(values, code, pe, [](auto visit) { tet10_points(visit); });
}

void PBQAX4(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 2> c{};
  if (!components<2>(values, code, c)) return;
  const auto x = kin::node_coords<2, 4>();
  spread<4, 2>(quad_forces(x, ring_factor<4>(x)), c, 2, pe);
}

void PBTAX3(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 2> c{};
  if (!components<2>(values, code, c)) return;
  const auto x = kin::node_coords<2, 3>();
  spread<3, 2>(tri_forces(x, ring_factor<3>(x)), c, 2, pe);
}

void PBQPLAN4(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 2> c{};
  if (!components<2>(values, code, c)) return;
  spread<4, 2>(quad_forces(kin::node_coords<2, 4>(), constant_factor(1.0)), c, 2, pe);
}

void PBTPLAN3(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 2> c{};
  if (!components<2>(values, code, c)) return;
  spread<3, 2>(tri_forces(kin::node_coords<2, 3>(), constant_factor(1.0)), c, 2, pe);
}

void PBQMEM4(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 3> c{};
  if (!components<3>(values, code, c)) return;
  std::array<double, 9> t{};
  LAXQ4(t);
  spread<4, 3>(quad_forces(in_plane<4>(t), constant_factor(thickness())), c, 3, pe);
}

void PBTMEM3(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 3> c{};
  if (!components<3>(values, code, c)) return;
  std::array<double, 9> t{};
  double length = 0.0;
  LAXT3(t, length);
  spread<3, 3>(tri_forces(in_plane<3>(t), constant_factor(thickness())), c, 3, pe);
}

void PBQFLA4(word code, std::span<const float> values, std::span<double> pe) {
  std::array<double, 3> c{};
  if (!components<3>(values, code, c)) return;
  std::array<double, 9> t{};
  LAXQ4(t);
  spread<4, 3>(quad_forces(in_plane<4>(t), constant_factor(thickness())), c, 6, pe);
}

void PBROD2(word code, std::span<const float> values, std::span<double> pe) {
  pload::need(values, 3, code);
  const double length = kin::norm(kin::sub(kin::node3(2), kin::node3(1)));
  if (length <= 0.0) return;
  const double area = static_cast<double>(estcom().PROP[0]);
  // Consistent end loads of a uniform line weight: h = GAMM A L / 2.
  const double h = (gamm() * length / 12.0) * (2.0 * area + 4.0 * area);
  for (int s = 0; s < 3; ++s) {
    const double f = h * static_cast<double>(values[s]);
    pe[static_cast<std::size_t>(s)] += f;
    pe[static_cast<std::size_t>(3 + s)] += f;
  }
}

}  // namespace zephsol
