// Kinematics of the numerically integrated elements: per element type, the
// integration points in the order of the element's state points, with the
// strain-displacement matrix B and the weight w of each point. The element's
// stiffness (KE += w B^T D B), internal force (FE += w B^T sigma) and stress
// routines all walk the same points, so they share the rule, the point
// numbering, B and the weight by construction.
//
// A kinematics K provides:
//   kNs, kDof       B is kNs x kDof (component by component), in the DOFs
//                   the element integrates in (local ones for the frame types)
//   kNodes          nodes whose temperatures are interpolated
//   kThermal        normal components that take the thermal strain alpha T
//                   (0: the type takes no thermal load)
//   kMarkTest       the stiffness recomputes the elastic matrix at a point
//                   with the tension cut-off mark under the no-tension switch
//   kCache          the stiffness sets the elastic-matrix cache flag (joints do not)
//   kSolidRows      B has the pattern of the plain solid rows in global axes
//                   (btdb_solid forms the stiffness)
//   kLocal          integrated in the element frame t: kIldm local DOFs per
//                   block, kIgdm global ones, kBlocks blocks
//   prepare(use)    element set-up (frame, inverse Jacobian, thickness test);
//                   false when the element's geometry is unusable (a deferred
//                   -8001 is queued and the caller returns)
//   points(f)       calls f(const Point&) for each integration point
//   centre(f)       (HEX8, PENT6, the quadrilaterals, QMEM4, QFLA4) calls f for
//                   the state points that carry a state but take no part in
//                   the integration (weight 0), after the integration points
//   values(pt, n)   shape-function values at pt for the temperature
//   material(d)     the point's material matrix (packed; STPMTX or JNTMAT)
//
// Messages: those of the B routines, the frame routines and JNTMAT/STPMTX;
// -8003 (IEXN, t) a membrane or shell thickness <= 0 (stiffness only);
// -8005 (IEXN, 0) a JOINT4 of zero length; -8001 (IEXN, 0) deferred, a
// triangle of non-positive area.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <span>

#include "zephsol/elem/bjoint.h"
#include "zephsol/elem/bmatrix.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/elem/rules.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/matl/elamat.h"
#include "zephsol/matl/plastic.h"

namespace zephsol::ekin {

// What the element set-up is for: the stiffness tests the thickness of
// membranes and shells, the internal force does not.
enum class Use { Stiffness, Force };

struct Point {
  word point;                  // state point number
  double w;                    // integration weight, det J included
  std::span<const double> b;   // B at the point
  std::array<double, 4> xi{};  // natural (or area) coordinates of the point
};

inline constexpr double kTwoPi = 6.28318530718;

// ---- Rules --------------------------------------------------------------------------

template <int N>
struct Gauss {
  std::array<double, N> x{}, w{};
  Gauss() { GAUSPT(N, x, w); }
};

template <int N>
struct Triangle {
  std::array<double, 3 * N> l{};
  std::array<double, N> w{};
  Triangle() { TRIAPT(N, l, w); }
};

// The triangle rule of the element's state points (4 or 7).
struct StateTriangle {
  std::array<double, 21> l{};
  std::array<double, 7> w{};
  word n = estcom().NPTS;
  StateTriangle() { TRIAPT(n, l, w); }
};

// ---- Mixins -------------------------------------------------------------------------

// Elements whose material matrix is the tangent matrix of the point.
struct Tangent {
  static constexpr bool kCache = true;
  static void material(std::span<double> d) { STPMTX(d); }
};

struct Global {
  static constexpr bool kLocal = false;
  static constexpr bool kSolidRows = false;
};

// The node coordinates, two per node, of the first nn nodes.
template <int NN>
std::array<double, 2 * NN> plane_xy() {
  std::array<double, 2 * NN> x{};
  for (int i = 0; i < 2 * NN; ++i) x[static_cast<std::size_t>(i)] = estcom().XYZ[static_cast<std::size_t>(i)];
  return x;
}

// Property word 1 as the thickness; the stiffness stops the run on t <= 0.
inline double thickness(Use use) {
  const double t = eu::prop(1);
  if (use == Use::Stiffness && !(t > 0.0)) elem_fatal(-8003, estcom().IEXN, real_word(static_cast<float>(t)));
  return t;
}

// ---- Solids -------------------------------------------------------------------------

// HEX8 and HEX8R: Gauss 2 x 2 x 2, zeta outer, xi fastest; B in the local
// frame of LAXH8 turned to global axes (global B for a degenerate element
// whose nodes 7 and 8 share their equation word).
class Hex8 : public Tangent, public Global {
 public:
  static constexpr int kNs = 6, kDof = 24, kNodes = 8, kThermal = 3;
  static constexpr bool kMarkTest = true;
  Hex8(word ibbar, word ishear) : ibbar_(ibbar), ishear_(ishear) {}
  bool prepare(Use) {
    if (estcom().EQIX[6] != estcom().EQIX[7]) LAXH8(sh_.r, sh_.ts, sh_.xl);
    hex8_shared(sh_, ibbar_, ishear_);
    return true;
  }
  template <class F>
  void points(F&& f) {
    const Gauss<2> g;
    word p = 1;
    for (int k = 0; k < 2; ++k)
      for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 2; ++i, ++p) {
          const std::array<double, 4> xi{g.x[i], g.x[j], g.x[k], 0.0};
          double detj = 0.0;
          hex8_gauss_point(std::span<const double>(xi).first(3), i, j, k, sh_, b_, detj);
          f(Point{p, g.w[k] * g.w[j] * g.w[i] * detj, b_, xi});
        }
  }
  // Point 9 at the centre.
  template <class F>
  void centre(F&& f) {
    const std::array<double, 4> xi{};
    double detj = 0.0;
    BHEX8(std::span<const double>(xi).first(3), sh_.r, sh_.ts, sh_.xl, b_, detj, ibbar_, ishear_);
    f(Point{9, 0.0, b_, xi});
  }
  static void values(const Point& pt, std::span<double> n) { SHPHEX(1, 0, std::span<const double>(pt.xi).first(3), n); }

 private:
  word ibbar_, ishear_;
  Hex8Shared sh_{};
  std::array<double, kNs * kDof> b_{};
};

// HEX20: Gauss 3 x 3 x 3, zeta outer, xi fastest.
class Hex20 : public Tangent, public Global {
 public:
  static constexpr int kNs = 6, kDof = 60, kNodes = 20, kThermal = 3;
  static constexpr bool kMarkTest = false, kSolidRows = true;
  bool prepare(Use) { return true; }
  template <class F>
  void points(F&& f) {
    const Gauss<3> g;
    word p = 1;
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i, ++p) {
          const std::array<double, 4> xi{g.x[i], g.x[j], g.x[k], 0.0};
          double detj = 0.0;
          BHEX20(std::span<const double>(xi).first(3), b_, detj);
          f(Point{p, g.w[k] * g.w[j] * g.w[i] * detj, b_, xi});
        }
  }
  static void values(const Point& pt, std::span<double> n) { SHPHEX(2, 0, std::span<const double>(pt.xi).first(3), n); }

 private:
  std::array<double, kNs * kDof> b_{};
};

// PENT6 (order 1: Gauss 2 in zeta x triangle 4) and PENT15 (order 2: Gauss 3
// x triangle 7); zeta outer, the triangle points inner.
template <int Order>
class Pent : public Tangent, public Global {
 public:
  static constexpr int kNodes = Order == 1 ? 6 : 15;
  static constexpr int kNs = 6, kDof = 3 * kNodes, kThermal = 3;
  static constexpr bool kMarkTest = Order == 1, kSolidRows = true;
  bool prepare(Use) { return true; }
  template <class F>
  void points(F&& f) {
    constexpr int nz = Order == 1 ? 2 : 3, nt = Order == 1 ? 4 : 7;
    const Gauss<nz> g;
    const Triangle<nt> t;
    word p = 1;
    for (int k = 0; k < nz; ++k)
      for (int i = 0; i < nt; ++i, ++p) {
        const std::array<double, 4> x{t.l[3 * i], t.l[3 * i + 1], t.l[3 * i + 2], g.x[k]};
        double detj = 0.0;
        if constexpr (Order == 1)
          BPENT6(x, b_, detj);
        else
          BPENT15(x, b_, detj);
        f(Point{p, g.w[k] * t.w[i] * detj, b_, x});
      }
  }
  // PENT6: point 9 at the first triangle point, axial coordinate 0.
  template <class F>
    requires(Order == 1)
  void centre(F&& f) {
    const Triangle<4> t;
    const std::array<double, 4> x{t.l[0], t.l[1], t.l[2], 0.0};
    double detj = 0.0;
    BPENT6(x, b_, detj);
    f(Point{9, 0.0, b_, x});
  }
  static void values(const Point& pt, std::span<double> n) { SHPPEN(Order, 0, pt.xi, n); }

 private:
  std::array<double, kNs * kDof> b_{};
};

// TET10: the 5-point tetrahedron rule in volume coordinates.
class Tet10 : public Tangent, public Global {
 public:
  static constexpr int kNs = 6, kDof = 30, kNodes = 10, kThermal = 3;
  static constexpr bool kMarkTest = false, kSolidRows = true;
  bool prepare(Use) { return true; }
  template <class F>
  void points(F&& f) {
    std::array<double, 20> l{};
    std::array<double, 5> w{};
    TETRPT(5, l, w);
    for (int i = 0; i < 5; ++i) {
      const std::array<double, 4> x{l[4 * i], l[4 * i + 1], l[4 * i + 2], l[4 * i + 3]};
      double detj = 0.0;
      BTET10(x, b_, detj);
      f(Point{static_cast<word>(i + 1), w[i] * detj, b_, x});
    }
  }
  static void values(const Point& pt, std::span<double> n) { SHPTET(2, 0, pt.xi, n); }

 private:
  std::array<double, kNs * kDof> b_{};
};

// ---- Axisymmetric and plane elements ------------------------------------------------------

// Four-node quadrilaterals integrated by Gauss 2 x 2, eta outer, xi inner,
// with point 5 at the centre; the element gives the point of natural
// coordinates xi and rule weight w through its at(p, xi, w).
template <class Element>
class QuadGauss2x2 {
 public:
  template <class F>
  void points(F&& f) {
    const Gauss<2> g;
    word p = 1;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i, ++p) f(self().at(p, {g.x[i], g.x[j], 0.0, 0.0}, g.w[j] * g.w[i]));
  }
  template <class F>
  void centre(F&& f) {
    f(self().at(5, {}, 0.0));
  }
  static void values(const Point& pt, std::span<double> n) { SHPQUA(1, 0, std::span<const double>(pt.xi).first(2), n); }

 private:
  Element& self() { return static_cast<Element&>(*this); }
};

// QAX4 (Axi) and QPLAN4: Gauss 2 x 2; the ring weight 2 pi r of the
// axisymmetric element.
template <bool Axi>
class Quad4 : public Tangent, public Global, public QuadGauss2x2<Quad4<Axi>> {
 public:
  static constexpr int kNs = 4, kDof = 8, kNodes = 4, kThermal = 3;
  static constexpr bool kMarkTest = true;
  Quad4(word ibbar, word ishear) : ibbar_(ibbar), ishear_(ishear) {}
  bool prepare(Use) { return true; }

 private:
  friend class QuadGauss2x2<Quad4>;
  Point at(word p, const std::array<double, 4>& xi, double w) {
    const auto x = std::span<const double>(xi).first(2);
    double detj = 0.0;
    if constexpr (Axi) {
      double r = 0.0;
      BQAX4(x, b_, r, detj, ibbar_, ishear_);
      w *= kTwoPi * r;
    } else {
      BQPLAN4(x, b_, detj, ibbar_, ishear_);
    }
    return Point{p, w * detj, b_, xi};
  }

  word ibbar_, ishear_;
  std::array<double, kNs * kDof> b_{};
};

// TAX3 (Axi) and TPLAN3: the triangle rule of the state points; the inverse
// Jacobian once per element; the area coordinates are the shape functions.
template <bool Axi>
class Tri3 : public Tangent, public Global {
 public:
  static constexpr int kNs = 4, kDof = 6, kNodes = 3, kThermal = 3;
  static constexpr bool kMarkTest = Axi;
  bool prepare(Use) { return tri3_jacobian(plane_xy<3>(), g_, det_); }
  template <class F>
  void points(F&& f) {
    const StateTriangle t;
    for (int i = 0; i < t.n; ++i) {
      const std::array<double, 4> l{t.l[3 * i], t.l[3 * i + 1], t.l[3 * i + 2], 0.0};
      const auto li = std::span<const double>(l).first(3);
      double w = det_ * t.w[i];
      if constexpr (Axi) {
        double r = 0.0;
        BTAX3(li, g_, b_, r);
        w *= kTwoPi * r;
      } else {
        BTPLAN3(li, g_, b_);
      }
      f(Point{static_cast<word>(i + 1), w, b_, l});
    }
  }
  static void values(const Point& pt, std::span<double> n) { std::copy_n(pt.xi.begin(), 3, n.begin()); }

 private:
  std::array<double, 4> g_{};
  double det_ = 0.0;
  std::array<double, kNs * kDof> b_{};
};

// ---- Membranes and the flat shell (element frame) ----------------------------------------

// Elements integrated in the frame t of their face, nn nodes projected into it.
template <int Ildm, int Igdm, int Blocks>
struct Framed {
  static constexpr bool kLocal = true;
  static constexpr bool kSolidRows = false;
  static constexpr int kIldm = Ildm, kIgdm = Igdm, kBlocks = Blocks;
  std::array<double, 9> t{};
};

// QMEM4: Gauss 2 x 2 in the LAXQ4 plane, weight det J W W t.
class Qmem4 : public Tangent, public Framed<2, 3, 4>, public QuadGauss2x2<Qmem4> {
 public:
  static constexpr int kNs = 3, kDof = 8, kNodes = 4, kThermal = 2;
  static constexpr bool kMarkTest = false;
  bool prepare(Use use) {
    th_ = thickness(use);
    LAXQ4(t);
    plane_coords(t, 4, xl_);
    return true;
  }

 private:
  friend class QuadGauss2x2<Qmem4>;
  Point at(word p, const std::array<double, 4>& xi, double w) {
    double detj = 0.0;
    BQMEM4(std::span<const double>(xi).first(2), xl_, b_, detj);
    return Point{p, w * detj * th_, b_, xi};
  }

  double th_ = 0.0;
  std::array<double, 8> xl_{};
  std::array<double, kNs * kDof> b_{};
};

// TMEM3: the triangle rule of the state points in the LAXT3 plane, weight det W t.
class Tmem3 : public Tangent, public Framed<2, 3, 3> {
 public:
  static constexpr int kNs = 3, kDof = 6, kNodes = 3, kThermal = 2;
  static constexpr bool kMarkTest = false;
  bool prepare(Use use) {
    th_ = thickness(use);
    double l = 0.0;
    LAXT3(t, l);
    std::array<double, 6> xl{};
    plane_coords(t, 3, xl);
    return tri3_jacobian(xl, g_, det_);
  }
  template <class F>
  void points(F&& f) {
    const StateTriangle r;
    for (int i = 0; i < r.n; ++i) {
      const std::array<double, 4> l{r.l[3 * i], r.l[3 * i + 1], r.l[3 * i + 2], 0.0};
      BTMEM3(std::span<const double>(l).first(3), g_, b_);
      f(Point{static_cast<word>(i + 1), det_ * r.w[i] * th_, b_, l});
    }
  }
  static void values(const Point& pt, std::span<double> n) { std::copy_n(pt.xi.begin(), 3, n.begin()); }

 private:
  double th_ = 0.0, det_ = 0.0;
  std::array<double, 4> g_{};
  std::array<double, kNs * kDof> b_{};
};

// QFLA4: 4 in-plane Gauss positions (eta outer, xi inner) x 9 closed
// points through the thickness; B = BM + z BB with z = t zeta / 2; state
// point p + 5 (k - 1) for position p and layer k; weight det J t W W W_k / 2.
class Qfla4 : public Tangent, public Framed<3, 3, 8> {
 public:
  static constexpr int kNs = 5, kDof = 24, kNodes = 4, kThermal = 2;
  static constexpr bool kMarkTest = false;
  bool prepare(Use use) {
    th_ = thickness(use);
    LAXQ4(t);
    plane_coords(t, 4, xl_);
    volume_ = 0.0;
    return true;
  }
  template <class F>
  void points(F&& f) {
    const Gauss<2> g;
    word p = 1;
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i < 2; ++i, ++p) volume_ += stack(p, {g.x[i], g.x[j], 0.0, 0.0}, g.w[j] * g.w[i], f);
  }
  // The nine levels of position 5, the centre: points 5, 10, ..., 45.
  template <class F>
  void centre(F&& f) {
    stack(5, {}, 0.0, f);
  }
  static void values(const Point& pt, std::span<double> n) { SHPQUA(1, 0, std::span<const double>(pt.xi).first(2), n); }
  // The element volume integrated so far (the drilling stiffness scales with it).
  double volume() const { return volume_; }

 private:
  // The nine levels through the thickness at in-plane position p (natural
  // coordinates xi, in-plane weight w); returns the weighted area det J t w.
  template <class F>
  double stack(word p, const std::array<double, 4>& xi, double w, F& f) {
    std::array<double, 9> zeta{}, wz{};
    NCOTPT(9, zeta, wz);
    double detj = 0.0;
    BQFLA4(std::span<const double>(xi).first(2), xl_, bm_, bb_, detj);
    const double a = detj * th_ * w;
    for (int k = 0; k < 9; ++k) {
      const double z = th_ * zeta[static_cast<std::size_t>(k)] / 2.0;
      for (std::size_t c = 0; c < b_.size(); ++c) b_[c] = bm_[c] + z * bb_[c];
      f(Point{static_cast<word>(p + 5 * k), a * wz[static_cast<std::size_t>(k)] / 2.0, b_, xi});
    }
    return a;
  }

  double th_ = 0.0, volume_ = 0.0;
  std::array<double, 8> xl_{};
  std::array<double, kNs * kDof> bm_{}, bb_{}, b_{};
};

// ---- Joints (joint frame, joint law) --------------------------------------------------------

// Joints take the joint matrix of the point's joint state and no thermal load.
template <int Idim>
struct JointLaw {
  static constexpr bool kCache = false, kMarkTest = false;
  static constexpr int kThermal = 0;
  static void material(std::span<double> d) { JNTMAT(Idim, d); }
  static void values(const Point&, std::span<double>) {}
};

// JOINT4: Gauss 3 along the joint from node 1 to node 2, weight L W / 2; the
// frame (c, s), (-s, c) of the line 1-2.
class Joint4 : public JointLaw<2>, public Framed<2, 2, 4> {
 public:
  static constexpr int kNs = 2, kDof = 8, kNodes = 4;
  bool prepare(Use) {
    const auto x = plane_xy<2>();
    const double dx = x[2] - x[0], dy = x[3] - x[1];
    len_ = std::sqrt(dx * dx + dy * dy);
    if (!(len_ > 0.0)) elem_fatal(-8005, estcom().IEXN, 0);
    const double c = dx / len_, s = dy / len_;
    t = {c, -s, 0.0, s, c, 0.0, 0.0, 0.0, 1.0};
    return true;
  }
  template <class F>
  void points(F&& f) {
    const Gauss<3> g;
    for (int i = 0; i < 3; ++i) {
      BJOINT4(g.x[i], len_, b_);
      f(Point{static_cast<word>(i + 1), len_ * g.w[i] / 2.0, b_, {g.x[i], 0.0, 0.0, 0.0}});
    }
  }

 private:
  double len_ = 0.0;
  std::array<double, kNs * kDof> b_{};
};

// JOINT6: the triangle rule of the state points on the LAXT3 face, weight det W.
class Joint6 : public JointLaw<3>, public Framed<3, 3, 6> {
 public:
  static constexpr int kNs = 3, kDof = 18, kNodes = 6;
  bool prepare(Use) {
    double l = 0.0;
    LAXT3(t, l);
    std::array<double, 6> xl{};
    plane_coords(t, 3, xl);
    std::array<double, 4> g{};
    return tri3_jacobian(xl, g, det_);
  }
  template <class F>
  void points(F&& f) {
    const StateTriangle r;
    for (int i = 0; i < r.n; ++i) {
      const std::array<double, 4> l{r.l[3 * i], r.l[3 * i + 1], r.l[3 * i + 2], 0.0};
      BJOINT6(std::span<const double>(l).first(3), b_);
      f(Point{static_cast<word>(i + 1), det_ * r.w[i], b_, l});
    }
  }

 private:
  double det_ = 0.0;
  std::array<double, kNs * kDof> b_{};
};

// JOINT8 (Gauss 2 x 2 on the LAXQ4 face) and JOINT16 (Gauss 3 x 3 on the
// LAXQ8 face), eta outer, xi inner, weight det J W W.
template <int Face>
class JointQuad : public JointLaw<3>, public Framed<3, 3, 2 * Face> {
 public:
  static constexpr int kNs = 3, kDof = 6 * Face, kNodes = 2 * Face;
  bool prepare(Use) {
    if constexpr (Face == 4)
      LAXQ4(this->t);
    else
      LAXQ8(this->t);
    plane_coords(this->t, Face, xl_);
    return true;
  }
  template <class F>
  void points(F&& f) {
    constexpr int n = Face == 4 ? 2 : 3;
    const Gauss<n> g;
    word p = 1;
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i, ++p) {
        const std::array<double, 4> xi{g.x[i], g.x[j], 0.0, 0.0};
        double detj = 0.0;
        if constexpr (Face == 4)
          BJOINT8(std::span<const double>(xi).first(2), xl_, b_, detj);
        else
          BJOINT16(std::span<const double>(xi).first(2), xl_, b_, detj);
        f(Point{p, g.w[j] * g.w[i] * detj, b_, xi});
      }
  }

 private:
  std::array<double, 2 * Face> xl_{};
  std::array<double, kNs * kDof> b_{};
};

// JOINT12: the triangle rule of the state points on the LAXT6 face, weight det J W.
class Joint12 : public JointLaw<3>, public Framed<3, 3, 12> {
 public:
  static constexpr int kNs = 3, kDof = 36, kNodes = 12;
  bool prepare(Use) {
    LAXT6(t);
    plane_coords(t, 6, xl_);
    return true;
  }
  template <class F>
  void points(F&& f) {
    const StateTriangle r;
    for (int i = 0; i < r.n; ++i) {
      const std::array<double, 4> l{r.l[3 * i], r.l[3 * i + 1], r.l[3 * i + 2], 0.0};
      double detj = 0.0;
      BJOINT12(std::span<const double>(l).first(3), xl_, b_, detj);
      f(Point{static_cast<word>(i + 1), detj * r.w[i], b_, l});
    }
  }

 private:
  std::array<double, 12> xl_{};
  std::array<double, kNs * kDof> b_{};
};

}  // namespace zephsol::ekin
