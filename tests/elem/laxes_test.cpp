// Local triads: orthonormal right-handed frames on random geometry with the
// directions each routine defines, the special orientations of beams and
// contact elements, the hexahedron's centre frame and strain transformation,
// and the packed local-to-global transformation against a dense product.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "zephsol/elem/laxes.h"
#include "zephsol/exec/packed.h"

namespace zephsol {
namespace {

using test::M3;
using test::V3;

constexpr word kHex8 = 1, kBeam2 = 5, kQmem4 = 9, kTmem3 = 10, kJoint12 = 20, kJoint16 = 21;
constexpr double kTol = 1e-12;
constexpr double kHalfRoot2 = std::numbers::sqrt2 / 2;

V3 sub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 cross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double norm(const V3& a) { return std::sqrt(dot(a, a)); }

// Rows orthonormal and det = +1.
void expect_proper(const M3& t, const std::string& what) {
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) EXPECT_NEAR(dot(t[a], t[b]), a == b ? 1.0 : 0.0, kTol) << what;
  EXPECT_NEAR(test::det3(t), 1.0, kTol) << what;
}

// a is a positive multiple of b.
void expect_along(const V3& a, const V3& b, const std::string& what) {
  EXPECT_NEAR(dot(a, b), norm(a) * norm(b), 1e-10 * norm(a) * norm(b)) << what;
}

// Points of a unit layout in the plane, distorted by up to 0.2 in every
// direction, then rotated and moved; rounded to single precision.
std::vector<V3> random_face(std::mt19937& rng, const std::vector<std::array<double, 2>>& layout) {
  std::uniform_real_distribution<double> d(-0.2, 0.2), c(-5.0, 5.0);
  const M3 q = test::random_rotation(rng);
  const V3 shift{c(rng), c(rng), c(rng)};
  std::vector<V3> pts;
  for (const auto& p : layout) {
    const V3 x = test::apply(q, {p[0] + d(rng), p[1] + d(rng), d(rng)});
    pts.push_back({test::f32(x[0] + shift[0]), test::f32(x[1] + shift[1]), test::f32(x[2] + shift[2])});
  }
  return pts;
}

TEST(LocalAxes, TriadsAreProperRotationsAlongTheirDefiningDirections) {
  std::mt19937 rng(7);
  const std::vector<std::array<double, 2>> tri3{{0, 0}, {1, 0}, {0, 1}};
  const std::vector<std::array<double, 2>> quad4{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const std::vector<std::array<double, 2>> quad8{{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {1, .5}, {0, 1}, {.5, 1}, {1, 1}};
  const std::vector<std::array<double, 2>> tri6{{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {.5, .5}, {0, 1}};
  for (int trial = 0; trial < 20; ++trial) {
    std::array<double, 9> t{};
    {  // three points: e1 along 1-2, e3 normal to the plane, e2 towards node 3
      const auto x = random_face(rng, tri3);
      test::set_element(kTmem3, test::flat(x));
      double length = 0;
      LAXT3(t, length);
      const M3 r = test::triad_rows(t);
      expect_proper(r, "LAXT3");
      EXPECT_NEAR(length, norm(sub(x[1], x[0])), kTol);
      expect_along(r[0], sub(x[1], x[0]), "LAXT3 e1");
      EXPECT_NEAR(dot(r[2], sub(x[2], x[0])), 0.0, kTol);
      EXPECT_GT(dot(r[1], sub(x[2], x[0])), 0.0);
    }
    for (const auto& [name, layout, c] :
         {std::tuple{"LAXQ4", quad4, std::array<int, 4>{0, 1, 2, 3}},
          std::tuple{"LAXQ8", quad8, std::array<int, 4>{0, 2, 5, 7}}}) {
      // e3 along the diagonals' cross product, e1 along side 1-2 in the plane
      const auto x = random_face(rng, layout);
      test::set_element(layout.size() == 4 ? kQmem4 : kJoint16, test::flat(x));
      layout.size() == 4 ? LAXQ4(t) : LAXQ8(t);
      const M3 r = test::triad_rows(t);
      expect_proper(r, name);
      expect_along(r[2], cross(sub(x[c[3]], x[c[0]]), sub(x[c[2]], x[c[1]])), name);
      EXPECT_NEAR(dot(r[1], sub(x[c[1]], x[c[0]])), 0.0, kTol) << name;
      EXPECT_GT(dot(r[0], sub(x[c[1]], x[c[0]])), 0.0) << name;
    }
    {  // six-node face: corners 1, 3, 6
      const auto x = random_face(rng, tri6);
      test::set_element(kJoint12, test::flat(x));
      LAXT6(t);
      const M3 r = test::triad_rows(t);
      expect_proper(r, "LAXT6");
      expect_along(r[0], sub(x[2], x[0]), "LAXT6 e1");
      EXPECT_NEAR(dot(r[2], sub(x[5], x[0])), 0.0, kTol);
      EXPECT_GT(dot(r[1], sub(x[5], x[0])), 0.0);
    }
    {  // two points: e1 along the line, transposed storage
      std::uniform_real_distribution<double> c(-5.0, 5.0);
      const std::array<double, 3> p1{c(rng), c(rng), c(rng)}, p2{c(rng), c(rng), c(rng)};
      std::array<double, 9> dc{};
      LAXL2(p1, p2, dc);
      const M3 r{{{dc[0], dc[1], dc[2]}, {dc[3], dc[4], dc[5]}, {dc[6], dc[7], dc[8]}}};
      expect_proper(r, "LAXL2");
      expect_along(r[0], sub(p2, p1), "LAXL2 e1");
    }
    {  // hexahedron: e1 along the centre tangent g_xi, e3 along g_xi x g_eta
      std::uniform_real_distribution<double> d(-0.4, 0.4);
      const M3 q = test::random_rotation(rng);
      auto x = test::hex8_reference();
      V3 gxi{}, geta{};
      for (int k = 0; k < 8; ++k) {
        const V3 g = test::apply(q, {x[k][0] + d(rng), x[k][1] + d(rng), x[k][2] + d(rng)});
        for (int i = 0; i < 3; ++i) x[k][i] = test::f32(g[i] + 2.0);
        for (int i = 0; i < 3; ++i) {
          gxi[i] += x[k][i] * (k & 1 ? 1 : -1) / 8.0;
          geta[i] += x[k][i] * (k & 2 ? 1 : -1) / 8.0;
        }
      }
      test::set_element(kHex8, test::flat(x));
      std::array<double, 36> ts{};
      std::array<double, 24> xl{};
      LAXH8(t, ts, xl);
      const M3 r = test::triad_rows(t);
      expect_proper(r, "LAXH8");
      expect_along(r[0], gxi, "LAXH8 e1");
      expect_along(r[2], cross(gxi, geta), "LAXH8 e3");
      for (int k = 0; k < 8; ++k)
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(xl[3 * k + a], dot(r[a], x[k]), 1e-12);
    }
  }
}

struct BeamCase {
  const char* what;
  std::vector<double> xyz;  // nodes 1, 2 and the orientation node
  V3 e1, e2, e3;
};

TEST(LocalAxes, BeamOrientationsAndDefaults) {
  const std::vector<BeamCase> cases{
      {"orientation node on node 1", {0, 0, 0, 1, 0, 0, 0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
      {"reversed member", {1, 0, 0, 0, 0, 0, 1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
      {"along +y without orientation", {0, 0, 0, 0, 2, 0, 0, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
      {"along -y without orientation", {0, 2, 0, 0, 0, 0, 0, 2, 0}, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
      {"orientation node on the line", {0, 0, 0, 2, 2, 0, 3, 3, 0}, {kHalfRoot2, kHalfRoot2, 0},
       {-kHalfRoot2, kHalfRoot2, 0}, {0, 0, 1}},
      {"orientation node given", {0, 0, 0, 0, 0, 3, 5, 0, 1}, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}},
  };
  for (const auto& c : cases) {
    test::set_element(kBeam2, c.xyz);
    std::array<double, 9> t{};
    double length = 0;
    LAXT3(t, length);
    const M3 r = test::triad_rows(t);
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(r[0][j], c.e1[j], kTol) << c.what;
      EXPECT_NEAR(r[1][j], c.e2[j], kTol) << c.what;
      EXPECT_NEAR(r[2][j], c.e3[j], kTol) << c.what;
    }
  }
}

TEST(LocalAxes, QuadrilateralAndContactSpecialCases) {
  std::array<double, 9> t{};
  test::set_element(kQmem4, {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
  LAXQ4(t);
  EXPECT_EQ(t, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
  // Nodes 1 and 2 together: the first axis from the diagonal 1-4.
  test::set_element(kQmem4, {0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 0});
  LAXQ4(t);
  const M3 r = test::triad_rows(t);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[0][j], (V3{kHalfRoot2, kHalfRoot2, 0})[j], kTol);
  for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[2][j], (V3{0, 0, 1})[j], kTol);

  std::array<double, 9> dc{};
  LAXL2(std::array<double, 3>{1, 1, 1}, std::array<double, 3>{1, 1, 3}, dc);  // along +z
  EXPECT_EQ(dc, (std::array<double, 9>{0, 0, 1, 0, 1, 0, -1, 0, 0}));
  LAXL2(std::array<double, 3>{0, 0, 0}, std::array<double, 3>{2, 0, 0}, dc);  // perpendicular to z
  EXPECT_EQ(dc, (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(LocalAxes, HexahedronFrameOfARotatedBoxAndItsStrainTransformation) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 5; ++trial) {
    const M3 q = test::random_rotation(rng);
    const V3 half{1.5, 0.7, 2.0}, shift{3, -1, 2};
    std::vector<V3> box, x;
    for (const V3& p : test::hex8_reference()) {
      box.push_back({p[0] * half[0], p[1] * half[1], p[2] * half[2]});
      const V3 g = test::apply(q, box.back());
      x.push_back({g[0] + shift[0], g[1] + shift[1], g[2] + shift[2]});
    }
    test::set_element(kHex8, test::flat(x));
    for (int k = 0; k < 8; ++k)  // the single-precision record
      for (int i = 0; i < 3; ++i) x[k][i] = test::f32(x[k][i]);
    std::array<double, 9> t{};
    std::array<double, 36> ts{};
    std::array<double, 24> xl{};
    LAXH8(t, ts, xl);
    const M3 r = test::triad_rows(t);
    for (int a = 0; a < 3; ++a)  // local axis a is the box's axis a: column a of q
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[a][j], q[j][a], 1e-6);
    for (int k = 0; k < 8; ++k)  // a rotation only: XL = T X
      for (int a = 0; a < 3; ++a) EXPECT_NEAR(xl[3 * k + a], dot(r[a], x[k]), 1e-12);

    // TS e_local = engineering vector of T^T E_local T for a random strain.
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::array<double, 6> el{};
    for (double& v : el) v = u(rng);
    const double tl[3][3] = {{el[0], el[3] / 2, el[5] / 2}, {el[3] / 2, el[1], el[4] / 2}, {el[5] / 2, el[4] / 2, el[2]}};
    double eg[3][3] = {};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j)
        for (int a = 0; a < 3; ++a)
          for (int b = 0; b < 3; ++b) eg[i][j] += r[a][i] * tl[a][b] * r[b][j];
    const double expect[6] = {eg[0][0], eg[1][1], eg[2][2], 2 * eg[0][1], 2 * eg[1][2], 2 * eg[0][2]};
    for (int row = 0; row < 6; ++row) {
      double v = 0;
      for (int col = 0; col < 6; ++col) v += ts[6 * col + row] * el[col];
      EXPECT_NEAR(v, expect[row], 1e-12);
    }
  }
}

TEST(LocalAxes, HexahedronWithoutCentreFrameQueuesOneDeferredMessage) {
  test::set_element(kHex8, std::vector<double>(24, 1.0));  // every node at one point
  std::array<double, 9> t{};
  std::array<double, 36> ts{};
  std::array<double, 24> xl{};
  LAXH8(t, ts, xl);
  EXPECT_EQ(test::deferred_count(), 1);
  EXPECT_EQ(sysw().IERFLG, 1);
}

// Dense reference: KG = Qb^T KL Qb with Qb block diagonal of nblk copies of Q.
std::vector<double> dense_transform(int ildm, int igdm, int nblk, const std::array<double, 9>& t,
                                    const std::vector<double>& kl_packed) {
  const int nl = nblk * ildm, ng = nblk * igdm;
  std::vector<double> qb(nl * ng, 0.0), kl(nl * nl), kg_packed(ng * (ng + 1) / 2);
  for (int b = 0; b < nblk; ++b)
    for (int a = 0; a < ildm; ++a)
      for (int j = 0; j < igdm; ++j) qb[(b * ildm + a) * ng + b * igdm + j] = t[3 * j + a];
  for (int i = 0; i < nl; ++i)
    for (int j = 0; j < nl; ++j) kl[i * nl + j] = kl_packed[packed_index(i + 1, j + 1, nl)];
  for (int i = 0; i < ng; ++i)
    for (int j = i; j < ng; ++j) {
      double v = 0;
      for (int p = 0; p < nl; ++p)
        for (int s = 0; s < nl; ++s) v += qb[p * ng + i] * kl[p * nl + s] * qb[s * ng + j];
      kg_packed[packed_index(i + 1, j + 1, ng)] = v;
    }
  return kg_packed;
}

TEST(LocalAxes, PackedTransformationEqualsTheDenseProduct) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  struct Case {
    int ildm, igdm, nblk;
    bool in_place;
  };
  for (const Case c : {Case{2, 2, 4, false}, Case{2, 2, 4, true}, Case{2, 3, 4, false}, Case{2, 3, 3, false},
                       Case{3, 3, 8, false}, Case{3, 3, 8, true}, Case{3, 3, 1, true}}) {
    test::set_element(kHex8, {});
    const M3 q = test::random_rotation(rng);
    std::array<double, 9> t{};
    for (int a = 0; a < 3; ++a)
      for (int j = 0; j < 3; ++j) t[3 * j + a] = q[a][j];
    const int nl = c.nblk * c.ildm, ng = c.nblk * c.igdm;
    std::vector<double> kl(nl * (nl + 1) / 2);
    for (double& v : kl) v = u(rng);
    const auto expect = dense_transform(c.ildm, c.igdm, c.nblk, t, kl);
    std::vector<double> kg(ng * (ng + 1) / 2, 99.0);
    if (c.in_place) {
      LAXTRN(c.ildm, c.igdm, c.nblk, t, kl, kl);
      kg = kl;
    } else {
      LAXTRN(c.ildm, c.igdm, c.nblk, t, kl, kg);
    }
    for (std::size_t i = 0; i < kg.size(); ++i)
      EXPECT_NEAR(kg[i], expect[i], 1e-12) << c.ildm << c.igdm << c.nblk << c.in_place << " term " << i;
  }
}

TEST(LocalAxes, IdentityFrameKeepsTheMatrixAndLeavesZEmptyForPlaneBlocks) {
  const std::array<double, 9> id{1, 0, 0, 0, 1, 0, 0, 0, 1};
  std::vector<double> kl(36);
  for (std::size_t i = 0; i < kl.size(); ++i) kl[i] = 1.0 + i;
  std::vector<double> kg(36);
  LAXTRN(2, 2, 4, id, kl, kg);
  EXPECT_EQ(kg, kl);
  std::vector<double> kg3(78, 7.0);
  LAXTRN(2, 3, 4, id, kl, kg3);
  for (int i = 1; i <= 12; ++i)
    for (int j = i; j <= 12; ++j) {
      const double v = kg3[packed_index(i, j, 12)];
      if (i % 3 == 0 || j % 3 == 0)
        EXPECT_EQ(v, 0.0);
      else
        EXPECT_EQ(v, kl[packed_index(i - (i - 1) / 3, j - (j - 1) / 3, 8)]);
    }
}

TEST(LocalAxesDeathTest, UndefinedAxesAndBadDofPairsEndTheRun) {
  struct Case {
    const char* what;
    std::function<void()> run;
    word code;
    const char* text;
  };
  std::array<double, 9> t{};
  std::vector<double> k(78);
  const std::vector<Case> cases{
      {"collinear membrane",
       [&] {
         test::set_element(kTmem3, {0, 0, 0, 1, 1, 1, 2, 2, 2});
         double l;
         LAXT3(t, l);
       },
       -8005, "ELEMENT ID=    4711"},
      {"zero-length beam",
       [&] {
         test::set_element(kBeam2, {1, 1, 1, 1, 1, 1, 0, 5, 0});
         double l;
         LAXT3(t, l);
       },
       -8005, "ELEMENT ID=    4711"},
      {"flat quadrilateral",
       [&] {
         test::set_element(kQmem4, {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0});
         LAXQ4(t);
       },
       -8005, "ELEMENT ID=    4711"},
      {"six-node face with corners 1 and 3 together",
       [&] {
         test::set_element(kJoint12, {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0});
         LAXT6(t);
       },
       -8005, "ELEMENT ID=    4711"},
      {"local 3 on global 2", [&] { LAXTRN(3, 2, 4, t, k, k); }, -8015, "ILDM =        3"},
      {"global 4", [&] { LAXTRN(2, 4, 4, t, k, k); }, -8015, "IGDM =        4"},
  };
  for (const auto& c : cases) {
    const std::string log = test::fatal_log(c.run);
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.what << "\n" << log;
  }
  // The collinear geometry that stops a membrane gives a beam its default frame.
  test::set_element(kBeam2, {0, 0, 0, 1, 1, 1, 2, 2, 2});
  double l = 0;
  LAXT3(t, l);
  expect_proper(test::triad_rows(t), "beam default");
}

}  // namespace
}  // namespace zephsol
