// Distributed face loads of the solids: a pressure normal to a face,
// interpolated from its node values, and for the 8-node hexahedron a load
// along a global axis on the true or projected area of a face. Also the
// face integration and plane area shares that the shell loads share.
#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/kinem.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/elem/pload.h"
#include "zephsol/elem/rules.h"
#include "zephsol/elem/shapes.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/units.h"

namespace zephsol {
namespace pload {
namespace {

using kin::Vec3;
using FS = FaceShape;

// Position (1-based) of value k when the values go once around the face.
constexpr std::array<int, 4> kPerimeterQuad4{1, 2, 4, 3};
constexpr std::array<int, 8> kPerimeterQuad8{1, 2, 3, 5, 8, 7, 6, 4};
constexpr std::array<int, 6> kPerimeterTri6{1, 2, 3, 5, 6, 4};
constexpr std::array<int, 3> kPerimeterTri3{1, 2, 3};

std::span<const int> perimeter(FS shape) {
  switch (shape) {
    case FS::Quad4: return kPerimeterQuad4;
    case FS::Quad8: return kPerimeterQuad8;
    case FS::Tri3: return kPerimeterTri3;
    case FS::Tri6: return kPerimeterTri6;
  }
  return {};
}

// Points of the face rule: visit(N, dN/dr1, dN/dr2, weight) with r1, r2 the
// face coordinates (xi, eta; for triangles L1 and L2 with L3 dependent).
// Stops when visit returns false.
template <class Visit>
void face_points(FS shape, Visit visit) {
  std::array<double, 8> n{}, d1{}, d2{};
  if (shape == FS::Quad4 || shape == FS::Quad8) {
    const word nord = shape == FS::Quad4 ? 1 : 2;
    const word ng = nord + 1;
    std::array<double, 3> g{}, w{};
    GAUSPT(ng, g, w);
    for (int j = 0; j < ng; ++j)
      for (int i = 0; i < ng; ++i) {
        const std::array<double, 2> xi{g[i], g[j]};
        SHPQUA(nord, 0, xi, n);
        SHPQUA(nord, 1, xi, d1);
        SHPQUA(nord, 2, xi, d2);
        if (!visit(n, d1, d2, w[i] * w[j])) return;
      }
    return;
  }
  const word nt = shape == FS::Tri3 ? 4 : 7;
  std::array<double, 21> l{};
  std::array<double, 7> w{};
  TRIAPT(nt, l, w);
  for (int p = 0; p < nt; ++p) {
    const std::span<const double> lp(l.data() + 3 * p, 3);
    if (shape == FS::Tri3) {
      n = {lp[0], lp[1], lp[2]};
      d1 = {1.0, 0.0, -1.0};
      d2 = {0.0, 1.0, -1.0};
    } else {
      std::array<double, 6> dl3{};
      SHPTRI(0, lp, n);
      SHPTRI(1, lp, d1);
      SHPTRI(2, lp, d2);
      SHPTRI(3, lp, dl3);
      for (int k = 0; k < 6; ++k) {
        d1[k] -= dl3[k];
        d2[k] -= dl3[k];
      }
    }
    if (!visit(n, d1, d2, w[p])) return;
  }
}

}  // namespace

std::array<double, 8> values_at_positions(FS shape, ValueOrder order, std::span<const float> values) {
  const int nf = face_size(shape);
  const std::span<const int> pos = perimeter(shape);
  std::array<double, 8> p{};
  for (int k = 0; k < nf; ++k) {
    const int at = order == ValueOrder::Perimeter ? pos[k] - 1 : k;
    p[at] = static_cast<double>(values[k]);
  }
  return p;
}

void face_pressure(const Face& face, std::span<const double> p, int dpn, std::span<double> pe) {
  const int nf = face_size(face.shape);
  const bool triangle = face.shape == FS::Tri3 || face.shape == FS::Tri6;
  std::array<Vec3, 8> x{};
  for (int k = 0; k < nf; ++k) x[k] = kin::node3(face.node[k]);
  std::array<Vec3, 8> f{};
  bool whole = true;
  face_points(face.shape, [&](const std::array<double, 8>& n, const std::array<double, 8>& d1,
                              const std::array<double, 8>& d2, double w) {
    Vec3 a1{}, a2{};
    for (int k = 0; k < nf; ++k)
      for (int s = 0; s < 3; ++s) {
        a1[s] += d1[k] * x[k][s];
        a2[s] += d2[k] * x[k][s];
      }
    const Vec3 nrm = kin::cross(a1, a2);
    if (kin::dot(nrm, nrm) <= 0.0) {
      whole = !triangle;
      return !triangle;
    }
    double pp = 0.0;
    for (int k = 0; k < nf; ++k) pp += n[k] * p[k];
    for (int k = 0; k < nf; ++k)
      for (int s = 0; s < 3; ++s) f[k][s] -= pp * nrm[s] * w * n[k];
    return true;
  });
  if (!whole) return;
  for (int k = 0; k < nf; ++k)
    for (int s = 0; s < 3; ++s) add_at(pe, dpn, face.node[k], s, f[k][s]);
}

std::array<double, 4> plane_quad_shares(std::span<const double, 8> xl, bool trace) {
  std::array<double, 2> g{}, w{};
  GAUSPT(2, g, w);
  std::array<double, 10> m{};
  for (int j = 0; j < 2; ++j)
    for (int i = 0; i < 2; ++i) {
      const std::array<double, 2> xi{g[i], g[j]};
      kin::Derivs<2, 4> dn{};
      std::array<double, 4> n{};
      SHPQUA(1, 1, xi, dn[0]);
      SHPQUA(1, 2, xi, dn[1]);
      SHPQUA(1, 0, xi, n);
      const double det = kin::determinant(kin::jacobian<2, 4>(dn, xl));
      if (det <= 0.0) continue;
      const double wt = det * w[i] * w[j];
      int term = 0;
      for (int k = 0; k < 4; ++k)
        for (int l = k; l < 4; ++l) {
          double& mkl = m[packed_index(k + 1, l + 1, 4)];
          mkl += wt * n[k] * n[l];
          ++term;
          if (trace) fwrite_unit(kListing, "(5X,'PTP  ',I3,1X,3(1P,E11.3))", {term, wt * n[k], n[l], mkl});
        }
    }
  const std::array<double, 4> ones{1.0, 1.0, 1.0, 1.0};
  std::array<double, 4> a{};
  PKMVEC(m, ones, 4, a);
  return a;
}

}  // namespace pload

namespace {

using pload::Face;
using pload::ValueOrder;
using FS = pload::FaceShape;
using kin::Vec3;

// Pressure faces of the 8-node hexahedron.
constexpr std::array<Face, 6> kHex8Faces{{
    {FS::Quad4, {3, 4, 1, 2}},
    {FS::Quad4, {5, 6, 7, 8}},
    {FS::Quad4, {1, 2, 5, 6}},
    {FS::Quad4, {2, 4, 6, 8}},
    {FS::Quad4, {4, 3, 8, 7}},
    {FS::Quad4, {3, 1, 7, 5}},
}};

// Faces of the directional and projected loads of the 8-node hexahedron.
constexpr std::array<Face, 6> kHex8AxisFaces{{
    {FS::Quad4, {1, 2, 3, 4}},
    {FS::Quad4, {5, 6, 7, 8}},
    {FS::Quad4, {1, 5, 2, 6}},
    {FS::Quad4, {2, 6, 4, 8}},
    {FS::Quad4, {4, 8, 3, 7}},
    {FS::Quad4, {3, 7, 1, 5}},
}};

constexpr std::array<Face, 6> kHex20Faces{{
    {FS::Quad8, {6, 7, 8, 4, 5, 1, 2, 3}},
    {FS::Quad8, {13, 14, 15, 16, 17, 18, 19, 20}},
    {FS::Quad8, {1, 2, 3, 9, 10, 13, 14, 15}},
    {FS::Quad8, {3, 5, 8, 10, 12, 15, 17, 20}},
    {FS::Quad8, {8, 7, 6, 12, 11, 20, 19, 18}},
    {FS::Quad8, {6, 4, 1, 11, 9, 18, 16, 13}},
}};

constexpr std::array<Face, 5> kPent6Faces{{
    {FS::Tri3, {2, 1, 3}},
    {FS::Tri3, {4, 5, 6}},
    {FS::Quad4, {1, 2, 4, 5}},
    {FS::Quad4, {2, 3, 5, 6}},
    {FS::Quad4, {3, 1, 6, 4}},
}};

constexpr std::array<Face, 5> kPent15Faces{{
    {FS::Tri6, {3, 2, 1, 5, 4, 6}},
    {FS::Tri6, {10, 11, 12, 13, 14, 15}},
    {FS::Quad8, {1, 2, 3, 7, 8, 10, 11, 12}},
    {FS::Quad8, {3, 5, 6, 8, 9, 12, 14, 15}},
    {FS::Quad8, {6, 4, 1, 9, 7, 15, 13, 10}},
}};

constexpr std::array<Face, 4> kTet10Faces{{
    {FS::Tri6, {3, 2, 1, 5, 4, 6}},
    {FS::Tri6, {1, 2, 3, 7, 8, 10}},
    {FS::Tri6, {3, 5, 6, 8, 9, 10}},
    {FS::Tri6, {6, 4, 1, 9, 7, 10}},
}};

constexpr double kTiny = 1.0e-14;

// Pressure on face code of a face table.
void face_entry(std::span<const Face> faces, ValueOrder order, word code, std::span<const float> values,
                std::span<double> pe) {
  if (code < 1 || code > static_cast<word>(faces.size())) pload::bad_code(code);
  const Face& face = faces[static_cast<std::size_t>(code - 1)];
  pload::need(values, static_cast<std::size_t>(pload::face_size(face.shape)), code);
  pload::face_pressure(face, pload::values_at_positions(face.shape, order, values), 3, pe);
}

// Face f and global direction d of a directional (10 f + d) or projected
// (100 f + d) code; false for any other code.
bool axis_code(word code, int& f, int& d, bool& projected) {
  projected = code >= 100;
  const int scale = projected ? 100 : 10;
  f = code / scale;
  d = code % scale;
  return code >= 11 && code <= 603 && f >= 1 && f <= 6 && d >= 1 && d <= 3;
}

// Unit vector of v; the run ends when |v| <= 1e-14.
Vec3 unit_or_fatal(const Vec3& v) {
  const double len = kin::norm(v);
  if (len <= kTiny) elem_fatal(-8005, estcom().IEXN, 0);
  return kin::scale(v, 1.0 / len);
}

}  // namespace

void PDHEX8(word code, std::span<const float> values, std::span<double> pe) {
  if (code >= 1 && code <= 6) return face_entry(kHex8Faces, ValueOrder::Perimeter, code, values, pe);
  int f = 0, d = 0;
  bool projected = false;
  if (!axis_code(code, f, d, projected)) pload::bad_code(code);
  PDHX8B(code, values, pe);
}

void PDHX8B(word code, std::span<const float> values, std::span<double> pe) {
  int f = 0, d = 0;
  bool projected = false;
  if (!axis_code(code, f, d, projected)) pload::bad_code(code);
  pload::need(values, 4, code);
  const Face& face = kHex8AxisFaces[static_cast<std::size_t>(f - 1)];
  std::array<Vec3, 4> x{};
  for (int k = 0; k < 4; ++k) x[k] = kin::node3(face.node[k]);
  // A projected face lies in the plane through its first node normal to d.
  if (projected)
    for (int k = 1; k < 4; ++k) x[k][d - 1] = x[0][d - 1];
  // Face axes: e3 along the cross product of the diagonals, e1 along side
  // 1-2 (diagonal 1-4 when that side has no length) within the face.
  const Vec3 e3 = unit_or_fatal(kin::cross(kin::sub(x[3], x[0]), kin::sub(x[2], x[1])));
  Vec3 a = kin::sub(x[1], x[0]);
  if (kin::dot(a, a) <= kTiny) a = kin::sub(x[3], x[0]);
  const Vec3 e1 = unit_or_fatal(kin::sub(a, kin::scale(e3, kin::dot(a, e3))));
  const Vec3 e2 = kin::cross(e3, e1);
  std::array<double, 8> xl{};
  for (int k = 0; k < 4; ++k) {
    xl[2 * k] = kin::dot(e1, x[k]);
    xl[2 * k + 1] = kin::dot(e2, x[k]);
  }
  const std::array<double, 4> share = pload::plane_quad_shares(xl, true);
  for (int k = 0; k < 4; ++k) pload::add_at(pe, 3, face.node[k], d - 1, share[k] * static_cast<double>(values[k]));
}

void PDHEX20(word code, std::span<const float> values, std::span<double> pe) {
  face_entry(kHex20Faces, ValueOrder::Perimeter, code, values, pe);
}

void PDPENT6(word code, std::span<const float> values, std::span<double> pe) {
  face_entry(kPent6Faces, ValueOrder::Table, code, values, pe);
}

void PDPENT15(word code, std::span<const float> values, std::span<double> pe) {
  face_entry(kPent15Faces, ValueOrder::Perimeter, code, values, pe);
}

void PDTET10(word code, std::span<const float> values, std::span<double> pe) {
  face_entry(kTet10Faces, ValueOrder::Perimeter, code, values, pe);
}

}  // namespace zephsol
