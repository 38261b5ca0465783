// Shared by the benchmarks: the current element of the element library set
// to a HEX8 or HEX20 of an elastic material, and the single-threaded DGEMM
// rate of the machine, the reference the arithmetic rates are shown beside.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <vector>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/sparse/blas.h"

namespace zephsol::bench {

// Node positions of the reference element in [-1, 1]^3, in the element node order.
inline std::vector<std::array<double, 3>> natural_nodes(word iecod) {
  const double q8[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
  const double q4[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  std::vector<std::array<double, 3>> n;
  if (iecod == 1) {
    for (double z : {-1.0, 1.0})
      for (const auto& p : q4) n.push_back({p[0], p[1], z});
  } else {
    for (const auto& p : q8) n.push_back({p[0], p[1], -1});
    for (const auto& p : q4) n.push_back({p[0], p[1], 0});
    for (const auto& p : q8) n.push_back({p[0], p[1], 1});
  }
  return n;
}

// The current element: element 1 of type iecod, its nodes on a distorted
// brick (variant v), equations numbered node by node; an elastic material.
inline void set_element(word iecod, int v) {
  reset_elem_state();
  reset_matl_state();
  ElemState& es = elem_state();
  es.tables.etyp.count = 1;
  es.tables.etyp.entry[0] = {1, iecod};
  ETYPDS(1, 1);
  const ETYCOM& t = etycom();
  std::vector<word> rec{1, (1 << 24) | iecod, 10, 1, t.ICLASS, t.NPTS, t.IOUTPT, t.NP, t.NC, t.NN};
  const double s = 0.05 * (v % 7), r = 0.03 * (v % 5);
  for (const auto& n : natural_nodes(iecod)) {
    const double x = (n[0] + 1) / 2, y = (n[1] + 1) / 2, z = (n[2] + 1) / 2;
    for (double c : {x + s * y * z + r * y, y + r * x * z, z + s * x * y})
      rec.push_back(std::bit_cast<word>(static_cast<float>(c)));
  }
  for (int k = 0; k < t.NN; ++k) rec.push_back((1 + 3 * k) * 1024 + 3);
  estrd_words(rec);
  std::vector<word> m(30, 0);
  m[0] = 29;
  m[1] = 10;
  m[3] = 1;
  m[mw::E] = std::bit_cast<word>(1000.0f);
  m[mw::NU] = std::bit_cast<word>(0.3f);
  mattab_load(m, 1);
  MATSEL(10, 1, 1);
}

// DGEMM rate (operations per second) on square matrices of order 1000, best of three.
inline double dgemm_rate() {
  const int n = 1000;
  std::vector<double> a(static_cast<std::size_t>(n) * n), b(a.size()), c(a.size(), 0.0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = std::sin(double(i));
    b[i] = std::cos(double(i));
  }
  const double one = 1.0, zero = 0.0;
  double best = 1e30;
  for (int round = 0; round < 3; ++round) {
    const auto t0 = std::chrono::steady_clock::now();
    dgemm_("N", "N", &n, &n, &n, &one, a.data(), &n, b.data(), &n, &zero, c.data(), &n, 1, 1);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  }
  return 2.0 * n * n * double(n) / best;
}

}  // namespace zephsol::bench
