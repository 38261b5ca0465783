// Integration rules on lines, triangles and tetrahedra.
#include "zephsol/elem/rules.h"

#include <array>
#include <cassert>

#include "zephsol/elem/elem_msg.h"

namespace zephsol {
namespace {

// Upper half of a Gauss-Legendre rule (the middle point 0 first for an odd
// count); the lower half is its mirror image.
struct GaussHalf {
  std::array<double, 5> x;
  std::array<double, 5> w;
};

constexpr std::array<GaussHalf, 10> kGauss{{
    {{0.0}, {2.0}},
    {{0.577350269189626}, {1.0}},
    {{0.0, 0.774596669241483}, {0.888888888888889, 0.555555555555556}},
    {{0.339981043584856, 0.861136311594053}, {0.652145154862546, 0.347854845137454}},
    {{0.0, 0.538469310105683, 0.906179845938664},
     {0.568888888888889, 0.478628670499366, 0.236926885056189}},
    {{0.238619186083197, 0.661209386466265, 0.932469514203152},
     {0.467913934572691, 0.360761573048139, 0.171324492379170}},
    {{0.0, 0.405845151377397, 0.741531185599394, 0.949107912342759},
     {0.417959183673469, 0.381830050505119, 0.279705391489277, 0.129484966168870}},
    {{0.183434642495650, 0.525532409916329, 0.796666477413627, 0.960289856497536},
     {0.362683783378362, 0.313706645877887, 0.222381034453374, 0.101228536290376}},
    {{0.0, 0.324253423403809, 0.613371432700590, 0.836031107326636, 0.968160239507626},
     {0.330239355001260, 0.312347077040003, 0.260610696402935, 0.180648160694857,
      0.0812743883615744}},
    {{0.148874338981631, 0.433395394129247, 0.679409568299024, 0.865063366688985,
      0.973906528517172},
     {0.295524224714753, 0.269266719309996, 0.219086362515982, 0.149451349150581,
      0.0666713443086881}},
}};

constexpr double kThird = 0.33333333333333;
constexpr double kSixth = 0.16666666666667;

// Triangle rules: (L1, L2, L3, weight) per point.
constexpr double kTa = 0.79742698535309, kTb = 0.10128650732346;
constexpr double kTc = 0.47014206410512, kTe = 0.05971587178977;
constexpr double kTw2 = 0.06296959027241, kTw3 = 0.06619707639425;
constexpr std::array<std::array<double, 4>, 1> kTri1{{{kThird, kThird, kThird, 0.5}}};
constexpr std::array<std::array<double, 4>, 4> kTri4{{
    {kThird, kThird, kThird, -0.28125},
    {0.6, 0.2, 0.2, 0.26041666666667},
    {0.2, 0.6, 0.2, 0.26041666666667},
    {0.2, 0.2, 0.6, 0.26041666666667},
}};
constexpr std::array<std::array<double, 4>, 7> kTri7{{
    {kThird, kThird, kThird, 0.1125},
    {kTa, kTb, kTb, kTw2},
    {kTb, kTa, kTb, kTw2},
    {kTb, kTb, kTa, kTw2},
    {kTc, kTc, kTe, kTw3},
    {kTe, kTc, kTc, kTw3},
    {kTc, kTe, kTc, kTw3},
}};

// Tetrahedron rules: (L1, L2, L3, L4, weight) per point.
constexpr std::array<std::array<double, 5>, 1> kTet1{{{0.25, 0.25, 0.25, 0.25, 0.1666666666667}}};
constexpr std::array<std::array<double, 5>, 5> kTet5{{
    {0.25, 0.25, 0.25, 0.25, -0.1333333333333},
    {0.5, kSixth, kSixth, kSixth, 0.075},
    {kSixth, 0.5, kSixth, kSixth, 0.075},
    {kSixth, kSixth, 0.5, kSixth, 0.075},
    {kSixth, kSixth, kSixth, 0.5, 0.075},
}};

// Copies a simplex rule of rows (coordinates..., weight) into l and w.
template <std::size_t P, std::size_t C>
void copy_rule(const std::array<std::array<double, C>, P>& rule, std::span<double> l,
               std::span<double> w) {
  assert(l.size() >= P * (C - 1) && w.size() >= P);
  for (std::size_t p = 0; p < P; ++p) {
    for (std::size_t c = 0; c + 1 < C; ++c) l[p * (C - 1) + c] = rule[p][c];
    w[p] = rule[p][C - 1];
  }
}

}  // namespace

void GAUSPT(word ngus, std::span<double> xi, std::span<double> w) {
  if (ngus < 1 || ngus > 10) bad_argument("NGUS", ngus);
  const auto n = static_cast<std::size_t>(ngus);
  assert(xi.size() >= n && w.size() >= n);
  const GaussHalf& h = kGauss[n - 1];
  const std::size_t m = (n + 1) / 2;
  for (std::size_t k = 0; k < m; ++k) {
    xi[m - 1 - k] = -h.x[k];
    w[m - 1 - k] = h.w[k];
    xi[n - m + k] = h.x[k];
    w[n - m + k] = h.w[k];
  }
}

void NCOTPT(word n, std::span<double> xi, std::span<double> w) {
  if (n < 1 || n > 11) bad_argument("NINT", n);
  const auto cnt = static_cast<std::size_t>(n);
  assert(xi.size() >= cnt && w.size() >= cnt);
  if (cnt == 1) {
    xi[0] = 0.0;
    w[0] = 2.0;
    return;
  }
  // Composite Simpson h/3 (1, 4, 2, ..., 4, 1) or trapezoid h/2 (1, 2, ..., 2, 1).
  const double h = 2.0 / static_cast<double>(cnt - 1);
  const bool simpson = cnt % 2 == 1;
  for (std::size_t i = 0; i < cnt; ++i) {
    xi[i] = -1.0 + h * static_cast<double>(i);
    const bool end = i == 0 || i == cnt - 1;
    if (simpson)
      w[i] = h / 3.0 * (end ? 1.0 : (i % 2 == 1 ? 4.0 : 2.0));
    else
      w[i] = h / 2.0 * (end ? 1.0 : 2.0);
  }
}

void TRIAPT(word nint, std::span<double> l, std::span<double> w) {
  switch (nint) {
    case 1: return copy_rule(kTri1, l, w);
    case 4: return copy_rule(kTri4, l, w);
    case 7: return copy_rule(kTri7, l, w);
    default: bad_argument("NINT", nint);
  }
}

void TETRPT(word nint, std::span<double> l, std::span<double> w) {
  switch (nint) {
    case 1: return copy_rule(kTet1, l, w);
    case 5: return copy_rule(kTet5, l, w);
    default: bad_argument("NINT", nint);
  }
}

}  // namespace zephsol
