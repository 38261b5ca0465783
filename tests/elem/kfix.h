// Fixtures of the element stiffness and internal-force tests: one element of
// a given type built through the element record decoder, an elastic material
// selected through the material table, a fresh state record on channel A;
// dense helpers (unpacking, products, a Jacobi eigen-solver) and rotations.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <vector>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::test {

using Dense = std::vector<double>;  // row-major n x n

// An elastic material entry: E, NU, ALPHA and any other REAL words.
struct Material {
  word kind = mkind::ELASTIC;
  double e = 1.0, nu = 0.3, alpha = 0.0;
  std::vector<std::pair<int, float>> extra{};
};

// Builds the current element ID 4711, material ID 10, group 1, from the
// element's coordinates (three per node as the coordinate masks give them)
// and property words, with equations numbered from 1 node by node.
inline void make_element(word iecod, const std::vector<double>& xyz, const std::vector<float>& props,
                         const Material& mat = {}) {
  reset_elem_state();
  reset_exec_state();
  reset_matl_state();
  ifpflg() = IFPFLG{};
  ElemState& es = elem_state();
  es.tables.etyp.count = 1;
  es.tables.etyp.entry[0] = {100 + iecod, iecod};
  ETYPDS(1, 1);
  const ETYCOM& t = etycom();
  std::vector<word> rec{4711, (1 << 24) | iecod, 10, 1, t.ICLASS, t.NPTS, t.IOUTPT, t.NP, t.NC, t.NN};
  for (int i = 0; i < t.NP; ++i)
    rec.push_back(std::bit_cast<word>(i < static_cast<int>(props.size()) ? props[static_cast<std::size_t>(i)] : 0.0f));
  for (int i = 0; i < t.NC; ++i)
    rec.push_back(std::bit_cast<word>(static_cast<float>(i < static_cast<int>(xyz.size()) ? xyz[static_cast<std::size_t>(i)] : 0.0)));
  word next = 1;
  for (int k = 0; k < t.NN; ++k) {
    const word count = std::popcount(static_cast<unsigned>(t.DOFMSK[static_cast<std::size_t>(k)]));
    rec.push_back(count == 0 ? 0 : next * 1024 + count);
    next += count;
  }
  estrd_words(rec);
  std::vector<word> m(30, 0);
  m[0] = 29;
  m[1] = 10;
  m[2] = mat.kind;
  m[3] = 1;
  std::vector<std::pair<int, float>> reals{{mw::E, static_cast<float>(mat.e)},
                                           {mw::NU, static_cast<float>(mat.nu)},
                                           {mw::ALPHA, static_cast<float>(mat.alpha)}};
  reals.insert(reals.end(), mat.extra.begin(), mat.extra.end());
  for (const auto& [k, v] : reals) m[static_cast<std::size_t>(k)] = std::bit_cast<word>(v);
  mattab_load(m, 1);
  MATSEL(10, 1, 1);
  bind_material_views();
}

// A fresh state record of the current element on channel A, with an output
// attached so that points can be stored back.
class StateRecord {
 public:
  StateRecord() : area_(200000, 0) {
    EIVRDA(0, area_);
    EIVOPA(250);
  }
  // Sets the stresses (first component vector) of every point.
  void set_stress(const std::vector<double>& s) {
    for (word p = 1; p <= estcom().NPTS; ++p) {
      EIVGTA(p);
      std::copy(s.begin(), s.end(), eivwka().vec[0].begin());
      EIVPTA();
    }
  }
  // Sets the twelve end forces (block 8, values 2-13) of the point that keeps
  // them: point 1, the section beam's force point for an SBEAM2.
  void set_end_forces(const std::vector<double>& f) {
    EIVGTA(estcom().IECOD == 26 ? kSectionBeamForcePoint : 1);
    eivwka().sw[7] = 1;
    std::copy(f.begin(), f.end(), eivwka().blk.b8.v.begin() + 1);
    EIVPTA();
  }

 private:
  std::vector<word> area_;
};

inline int ndof() { return etycom().NDOF; }

// KE through the dispatcher (no temperatures).
inline std::vector<double> stiffness() {
  const int n = ndof();
  std::vector<double> ke(static_cast<std::size_t>(n * (n + 1) / 2));
  std::vector<double> v(static_cast<std::size_t>(n), 0.0);
  KELEM(ke, {}, v, 0);
  return ke;
}

// KE and the thermal load (the nodal temperatures given) through the dispatcher.
inline std::vector<double> thermal_load(const std::vector<float>& temps, std::vector<double>* ke_out = nullptr) {
  const int n = ndof();
  std::vector<double> ke(static_cast<std::size_t>(n * (n + 1) / 2));
  std::vector<double> v(static_cast<std::size_t>(n), 0.0);
  std::vector<word> rec{static_cast<word>(temps.size() + 1), 0};
  for (float t : temps) rec.push_back(std::bit_cast<word>(t));
  KELEM(ke, rec, v, 1);
  if (ke_out != nullptr) *ke_out = ke;
  return v;
}

// The element's internal force FE (FELEM subtracts it from a zero vector).
inline std::vector<double> internal_force() {
  std::vector<double> g(static_cast<std::size_t>(ndof()), 0.0);
  FELEM(g);
  for (double& v : g) v = -v;
  return g;
}

inline Dense unpack(const std::vector<double>& k, int n) {
  Dense a(static_cast<std::size_t>(n * n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) a[static_cast<std::size_t>((i - 1) * n + j - 1)] = k[packed_index(i, j, n)];
  return a;
}

inline double term(const std::vector<double>& k, int i, int j) { return k[packed_index(i, j, ndof())]; }

inline std::vector<double> multiply(const Dense& a, const std::vector<double>& u) {
  const auto n = u.size();
  std::vector<double> y(n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) y[i] += a[i * n + j] * u[j];
  return y;
}

inline double max_abs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, std::abs(x));
  return m;
}

// Eigenvalues of a dense symmetric matrix by cyclic Jacobi rotations, ascending.
inline std::vector<double> eigenvalues(Dense a, int n) {
  const auto at = [&](int i, int j) -> double& { return a[static_cast<std::size_t>(i * n + j)]; };
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0.0;
    for (int i = 0; i < n; ++i)
      for (int j = i + 1; j < n; ++j) off += at(i, j) * at(i, j);
    if (off < 1e-30) break;
    for (int p = 0; p < n; ++p)
      for (int q = p + 1; q < n; ++q) {
        if (std::abs(at(p, q)) < 1e-300) continue;
        const double theta = (at(q, q) - at(p, p)) / (2.0 * at(p, q));
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::abs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (int k = 0; k < n; ++k) {  // columns p and q
          const double akp = at(k, p), akq = at(k, q);
          at(k, p) = c * akp - s * akq;
          at(k, q) = s * akp + c * akq;
        }
        for (int k = 0; k < n; ++k) {  // rows p and q
          const double apk = at(p, k), aqk = at(q, k);
          at(p, k) = c * apk - s * aqk;
          at(q, k) = s * apk + c * aqk;
        }
      }
  }
  std::vector<double> ev(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) ev[static_cast<std::size_t>(i)] = at(i, i);
  std::sort(ev.begin(), ev.end());
  return ev;
}

using M3 = std::array<std::array<double, 3>, 3>;

// Rotation by angle about the unit axis (Rodrigues).
inline M3 rotation(std::array<double, 3> axis, double angle) {
  const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  for (double& v : axis) v /= n;
  const double c = std::cos(angle), s = std::sin(angle), C = 1.0 - c;
  const double x = axis[0], y = axis[1], z = axis[2];
  return {{{c + x * x * C, x * y * C - z * s, x * z * C + y * s},
           {y * x * C + z * s, c + y * y * C, y * z * C - x * s},
           {z * x * C - y * s, z * y * C + x * s, c + z * z * C}}};
}

inline std::array<double, 3> apply(const M3& r, const std::array<double, 3>& v) {
  return {r[0][0] * v[0] + r[0][1] * v[1] + r[0][2] * v[2], r[1][0] * v[0] + r[1][1] * v[1] + r[1][2] * v[2],
          r[2][0] * v[0] + r[2][1] * v[1] + r[2][2] * v[2]};
}

}  // namespace zephsol::test
