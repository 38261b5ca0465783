// Shape functions: interpolation properties, derivatives against central
// differences, and the node orders of every element shape.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

#include "common/fatal.h"
#include "zephsol/elem/shapes.h"

namespace zephsol {
namespace {

using Coords = std::array<double, 4>;
using ShapeFn = std::function<void(word idif, std::span<const double> x, std::span<double> n)>;

struct Shape {
  const char* name;
  ShapeFn fn;
  int ncoord;   // natural coordinates passed
  int nderiv;   // highest idif
  int order;    // polynomial degree reproduced
  int simplex;  // number of area/volume coordinates that sum to 1 (0 for bricks)
  std::vector<Coords> nodes;
};

constexpr double h = 0.5;  // mid-edge area coordinate

std::vector<Shape> shapes() {
  return {
      {"quad4", [](word d, auto x, auto n) { SHPQUA(1, d, x, n); }, 2, 2, 1, 0,
       {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}}},
      {"quad8", [](word d, auto x, auto n) { SHPQUA(2, d, x, n); }, 2, 2, 2, 0,
       {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}}},
      {"hex8", [](word d, auto x, auto n) { SHPHEX(1, d, x, n); }, 3, 3, 1, 0,
       {{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1},
        {-1, -1, 1}, {1, -1, 1}, {-1, 1, 1}, {1, 1, 1}}},
      {"hex20", [](word d, auto x, auto n) { SHPHEX(2, d, x, n); }, 3, 3, 2, 0,
       {{-1, -1, -1}, {0, -1, -1}, {1, -1, -1}, {-1, 0, -1}, {1, 0, -1}, {-1, 1, -1}, {0, 1, -1},
        {1, 1, -1}, {-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}, {-1, -1, 1}, {0, -1, 1},
        {1, -1, 1}, {-1, 0, 1}, {1, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}}},
      {"pent6", [](word d, auto x, auto n) { SHPPEN(1, d, x, n); }, 4, 4, 1, 3,
       {{1, 0, 0, -1}, {0, 1, 0, -1}, {0, 0, 1, -1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}}},
      {"pent6 (SHPLIN)", [](word d, auto x, auto n) { SHPLIN(d, x, n); }, 4, 4, 1, 3,
       {{1, 0, 0, -1}, {0, 1, 0, -1}, {0, 0, 1, -1}, {1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}}},
      {"pent15", [](word d, auto x, auto n) { SHPPEN(2, d, x, n); }, 4, 4, 2, 3,
       {{1, 0, 0, -1}, {h, h, 0, -1}, {0, 1, 0, -1}, {h, 0, h, -1}, {0, h, h, -1}, {0, 0, 1, -1},
        {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0},
        {1, 0, 0, 1}, {h, h, 0, 1}, {0, 1, 0, 1}, {h, 0, h, 1}, {0, h, h, 1}, {0, 0, 1, 1}}},
      {"tet4", [](word d, auto x, auto n) { SHPTET(1, d, x, n); }, 4, 4, 1, 4,
       {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
      {"tet10", [](word d, auto x, auto n) { SHPTET(2, d, x, n); }, 4, 4, 2, 4,
       {{1, 0, 0, 0}, {h, h, 0, 0}, {0, 1, 0, 0}, {h, 0, h, 0}, {0, h, h, 0}, {0, 0, 1, 0},
        {h, 0, 0, h}, {0, h, 0, h}, {0, 0, h, h}, {0, 0, 0, 1}}},
      {"tri6", [](word d, auto x, auto n) { SHPTRI(d, x, n); }, 3, 3, 2, 3,
       {{1, 0, 0}, {h, h, 0}, {0, 1, 0}, {h, 0, h}, {0, h, h}, {0, 0, 1}}},
  };
}

std::vector<double> eval(const Shape& s, word idif, const Coords& x) {
  std::vector<double> n(s.nodes.size(), -99.0);
  s.fn(idif, std::span<const double>(x.data(), s.ncoord), n);
  return n;
}

// Random points of the reference element (area/volume coordinates summing to 1).
std::vector<Coords> sample_points(const Shape& s) {
  std::mt19937 gen(12345);
  std::uniform_real_distribution<double> u(-1.0, 1.0), v(0.05, 1.0);
  std::vector<Coords> pts;
  for (int p = 0; p < 12; ++p) {
    Coords x{};
    for (int i = 0; i < s.ncoord; ++i) x[i] = s.simplex > i ? v(gen) : u(gen);
    const double sum = std::accumulate(x.begin(), x.begin() + s.simplex, 0.0);
    for (int i = 0; i < s.simplex; ++i) x[i] /= sum;
    pts.push_back(x);
  }
  return pts;
}

// Independent coordinates of a point: the natural coordinates of a brick; a
// simplex drops its last area/volume coordinate.
std::vector<double> independent(const Shape& s, const Coords& x) {
  std::vector<double> y;
  for (int i = 0; i < s.ncoord; ++i)
    if (s.simplex == 0 || i != s.simplex - 1) y.push_back(x[i]);
  return y;
}

// A fixed polynomial of total degree `order` in the independent coordinates.
double field(const std::vector<double>& y, int order) {
  double f = 0.3;
  for (std::size_t i = 0; i < y.size(); ++i) {
    f += (0.7 + 0.4 * i) * y[i];
    if (order >= 2)
      for (std::size_t j = i; j < y.size(); ++j) f += (0.25 - 0.15 * i + 0.1 * j) * y[i] * y[j];
  }
  return f;
}

TEST(Shapes, KroneckerDeltaAtTheNodes) {
  for (const Shape& s : shapes())
    for (std::size_t a = 0; a < s.nodes.size(); ++a) {
      const auto n = eval(s, 0, s.nodes[a]);
      for (std::size_t b = 0; b < n.size(); ++b)
        EXPECT_NEAR(n[b], a == b ? 1.0 : 0.0, 1e-15) << s.name << " node " << a + 1 << " N" << b + 1;
    }
}

TEST(Shapes, PartitionOfUnityAndFieldReproduction) {
  for (const Shape& s : shapes())
    for (const Coords& x : sample_points(s)) {
      const auto n = eval(s, 0, x);
      EXPECT_NEAR(std::accumulate(n.begin(), n.end(), 0.0), 1.0, 1e-14) << s.name;
      for (int order = 1; order <= s.order; ++order) {
        double interpolated = 0.0;
        for (std::size_t k = 0; k < n.size(); ++k) interpolated += n[k] * field(independent(s, s.nodes[k]), order);
        EXPECT_NEAR(interpolated, field(independent(s, x), order), 1e-13) << s.name << " order " << order;
      }
    }
}

TEST(Shapes, DerivativesMatchCentralDifferences) {
  constexpr double step = 1e-6;
  for (const Shape& s : shapes())
    for (const Coords& x : sample_points(s))
      for (int k = 1; k <= s.nderiv; ++k) {
        Coords xp = x, xm = x;
        xp[k - 1] += step;
        xm[k - 1] -= step;
        const auto d = eval(s, k, x), np = eval(s, 0, xp), nm = eval(s, 0, xm);
        for (std::size_t i = 0; i < d.size(); ++i)
          EXPECT_NEAR(d[i], (np[i] - nm[i]) / (2 * step), 1e-8) << s.name << " d/dx" << k << " N" << i + 1;
        // Bricks: the derivatives of a partition of unity sum to zero.
        if (s.simplex == 0) {
          EXPECT_NEAR(std::accumulate(d.begin(), d.end(), 0.0), 0.0, 1e-14) << s.name;
        }
      }
}

TEST(Shapes, ValuesAtTheQuadrilateralCentre) {
  std::array<double, 2> centre{0.0, 0.0};
  std::array<double, 8> n{};
  SHPQUA(1, 0, centre, n);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(n[i], 0.25);
  SHPQUA(2, 0, centre, n);
  const double expected[8] = {-0.25, 0.5, -0.25, 0.5, 0.5, -0.25, 0.5, -0.25};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(n[i], expected[i]) << i;
}

TEST(Shapes, TetrahedronFourthCoordinateTouchesOnlyItsEdgesAndCorner) {
  const std::array<double, 4> l{0.1, 0.2, 0.3, 0.4};
  std::array<double, 10> n{};
  SHPTET(2, 4, l, n);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(n[i], 0.0);
  EXPECT_DOUBLE_EQ(n[6], 0.4);
  EXPECT_DOUBLE_EQ(n[7], 0.8);
  EXPECT_DOUBLE_EQ(n[8], 1.2);
  EXPECT_DOUBLE_EQ(n[9], 0.6);
}

TEST(Shapes, ArgumentsOutOfRangeEndTheRun) {
  std::array<double, 4> x{};
  std::array<double, 20> n{};
  struct Case {
    const char* text;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"IDIF =        3", [&] { SHPQUA(1, 3, x, n); }},
      {"NORD =        3", [&] { SHPHEX(3, 0, x, n); }},
      {"IDIF =        5", [&] { SHPPEN(2, 5, x, n); }},
      {"IDIF =       -1", [&] { SHPTET(1, -1, x, n); }},
      {"IDIF =        4", [&] { SHPTRI(4, x, n); }},
      {"NORD =        0", [&] { SHPTET(0, 0, x, n); }},
  };
  for (const auto& c : cases) {
    const std::string log = test::fatal_log(c.call);
    EXPECT_TRUE(test::has_message(log, 8015)) << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.text << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
