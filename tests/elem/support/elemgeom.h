// Element geometry fixtures for the kinematics tests: fill the current
// element from literal or random coordinates, rotations, and the count of
// deferred geometry messages queued since the last reset.
#pragma once

#include <array>
#include <cmath>
#include <initializer_list>
#include <random>
#include <vector>

#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {

using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;  // m[a] = row a

// v as the element record stores it (single precision). The volatile keeps
// the round trip: GCC 12 at -O2 drops it in SLP-vectorised loops.
inline double f32(double v) {
  volatile float f = static_cast<float>(v);
  return static_cast<double>(f);
}

// Fresh element and message state; element ID 4711 of type iecod with the
// given coordinates (d per node) and distinct EQIX words.
inline void set_element(word iecod, const std::vector<double>& xyz) {
  reset_elem_state();
  reset_exec_state();
  ESTCOM& e = estcom();
  e.IEXN = 4711;
  e.IECOD = iecod;
  for (std::size_t i = 0; i < xyz.size(); ++i) e.XYZ[i] = static_cast<float>(xyz[i]);
  for (int k = 0; k < ESTCOM::kMaxNode; ++k) e.EQIX[k] = (100 + 3 * k) * 1024 + 3;
}

inline int deferred_count() {
  const MSGQUE& q = exec_state().msgque;
  int n = 0;
  for (int i = 0; i < q.count && i < 20; ++i) n += q.entry[i][0] == -8001 && q.entry[i][1] == 4711;
  return n;
}

// A random proper rotation (rows are the images of the axes' duals).
inline M3 random_rotation(std::mt19937& rng) {
  std::normal_distribution<double> g;
  double q[4] = {g(rng), g(rng), g(rng), g(rng)};
  const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  for (double& v : q) v /= n;
  const double w = q[0], x = q[1], y = q[2], z = q[3];
  return {{{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
           {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
           {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}}};
}

inline V3 apply(const M3& m, const V3& v) {
  return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
          m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

// Rows of a triad stored column by column (T(a, j) at 3 j + a).
inline M3 triad_rows(const std::array<double, 9>& t) {
  return {{{t[0], t[3], t[6]}, {t[1], t[4], t[7]}, {t[2], t[5], t[8]}}};
}

inline double det3(const M3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Reference nodes of the brick and quadrilateral in the element node order
// (lexicographic: xi fastest).
inline std::vector<V3> hex8_reference() {
  std::vector<V3> x;
  for (int k = 0; k < 8; ++k) x.push_back({k & 1 ? 1.0 : -1.0, k & 2 ? 1.0 : -1.0, k & 4 ? 1.0 : -1.0});
  return x;
}

// Flattens points to coordinates, d per point.
inline std::vector<double> flat(const std::vector<V3>& pts, int d = 3) {
  std::vector<double> out;
  for (const V3& p : pts)
    for (int i = 0; i < d; ++i) out.push_back(p[i]);
  return out;
}

}  // namespace zephsol::test
