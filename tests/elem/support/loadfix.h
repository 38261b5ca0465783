// Fixtures of the element load tests: the current element of a type on
// given coordinates with its type descriptor and unit weight, the reference
// elements in their node orders, sums of nodal forces, and a listing
// captured in a temporary file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/scratch.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::test {

// Element 4711 of type iecod on xyz (d per node), unit weight gamm, first
// property value prop1; the type descriptor loaded, the point count copied.
inline void load_element(word iecod, const std::vector<double>& xyz, double gamm = 0.0, float prop1 = 0.0f) {
  set_element(iecod, xyz);
  reset_matl_state();
  matcom().w(mw::GAMM) = static_cast<float>(gamm);
  ETYP& etyp = elem_state().tables.etyp;
  etyp.count = 1;
  etyp.entry[0] = {100 + iecod, iecod};
  ETYPDS(1, 0);
  ESTCOM& e = estcom();
  e.ISEQ = 1;
  e.NN = etycom().NN;
  e.NPTS = etycom().NPTS;
  e.PROP[0] = prop1;
}

// Element DOF vector of the current type.
inline std::vector<double> element_vector() { return std::vector<double>(static_cast<std::size_t>(etycom().NDOF)); }

inline V3 add3(const V3& a, const V3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline V3 scale3(const V3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot3(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Translations of node k (1-based) with dpn DOFs per node.
inline V3 node_force(std::span<const double> pe, int dpn, int k) {
  const auto i = static_cast<std::size_t>(dpn * (k - 1));
  return {pe[i], pe[i + 1], dpn > 2 ? pe[i + 2] : 0.0};
}

// Sum of the translations of all nodes.
inline V3 resultant(std::span<const double> pe, int dpn) {
  V3 r{};
  for (std::size_t i = 0; i < pe.size(); i += static_cast<std::size_t>(dpn))
    for (int s = 0; s < std::min(dpn, 3); ++s) r[s] += pe[i + static_cast<std::size_t>(s)];
  return r;
}

inline void expect_v3(const V3& got, const V3& want, double tol, const std::string& what) {
  for (int s = 0; s < 3; ++s) EXPECT_NEAR(got[s], want[s], tol) << what << " component " << s;
}

// Reference elements in the element node orders, on [0, 1] coordinates.
inline std::vector<V3> hex8_unit() {
  std::vector<V3> x;
  for (int k = 0; k < 8; ++k) x.push_back({k & 1 ? 1.0 : 0.0, k & 2 ? 1.0 : 0.0, k & 4 ? 1.0 : 0.0});
  return x;
}

inline std::vector<V3> hex20_unit() {
  const std::vector<std::array<double, 2>> side{{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {1, .5}, {0, 1}, {.5, 1}, {1, 1}};
  const std::vector<std::array<double, 2>> mid{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  std::vector<V3> x;
  for (const auto& p : side) x.push_back({p[0], p[1], 0.0});
  for (const auto& p : mid) x.push_back({p[0], p[1], 0.5});
  for (const auto& p : side) x.push_back({p[0], p[1], 1.0});
  return x;
}

// Triangle corners c1 (0,0), c2 (1,0), c3 (0,1).
inline std::vector<V3> pent6_unit() {
  return {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}};
}

inline std::vector<V3> pent15_unit() {
  const std::vector<std::array<double, 2>> tri6{{0, 0}, {.5, 0}, {1, 0}, {0, .5}, {.5, .5}, {0, 1}};
  std::vector<V3> x;
  for (const auto& p : tri6) x.push_back({p[0], p[1], 0.0});
  for (const auto& p : std::vector<std::array<double, 2>>{{0, 0}, {1, 0}, {0, 1}}) x.push_back({p[0], p[1], 0.5});
  for (const auto& p : tri6) x.push_back({p[0], p[1], 1.0});
  return x;
}

// Corners c1 at the origin, c2, c3, c4 on the x, y and z axes.
inline std::vector<V3> tet10_unit() {
  return {{0, 0, 0}, {.5, 0, 0}, {1, 0, 0}, {0, .5, 0}, {.5, .5, 0}, {0, 1, 0}, {0, 0, .5}, {.5, 0, .5}, {0, .5, .5}, {0, 0, 1}};
}

// x -> a x + b for every point.
inline std::vector<V3> affine(const std::vector<V3>& pts, const M3& a, const V3& b) {
  std::vector<V3> out;
  for (const V3& p : pts) {
    const V3 q = apply(a, p);
    out.push_back({q[0] + b[0], q[1] + b[1], q[2] + b[2]});
  }
  return out;
}

// The listing (unit 6) written to a temporary file while the object lives.
class ListingCapture {
 public:
  ListingCapture() : dir_(zephsol::testing::make_scratch_dir("loadlist").string()) {
    unit_open(6, dir_ + "/listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
  }
  ~ListingCapture() {
    unit_close(6);
    zephsol::testing::remove_scratch_dir(dir_);
  }
  std::vector<std::string> lines() {
    unit_flush(6);
    std::ifstream in(dir_ + "/listing.txt");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  std::string dir_;
};

}  // namespace zephsol::test
