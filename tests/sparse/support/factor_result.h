// What a factorisation leaves, for comparing two factorisations of one
// matrix: the factor (from work or the factor file), D, the pivot blocks,
// each row's pivot, inertia, condition estimate and a solution.
#pragma once

#include <gtest/gtest.h>

#include "support/matrix.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/sparse.h"

namespace zephsol::sparse {

inline constexpr int kFactorUnit = 13;

// What a factorisation leaves: the factor (from work or the factor file),
// D, the pivot blocks, each row's pivot as factor_pivots reads it, inertia,
// condition estimate and a solution.
struct Result {
  std::vector<double> factor, diag, pivots, x;
  std::vector<i32> pivblk;
  i32 inertia[3] = {};
  double cond = 0.0;
  double on_file = 0.0;
};

inline Result result_of(SparseRun& r, const std::vector<double>& b, i32 nrhs) {
  Result o;
  const i64 n = r.n, fs = static_cast<i64>(r.word(42));
  o.on_file = r.word(54);
  o.factor.resize(static_cast<std::size_t>(fs));
  if (o.on_file == 0.0) {
    const double* f = r.work.data() + static_cast<i64>(r.word(82)) - 1;
    std::copy(f, f + fs, o.factor.begin());
  } else {
    i32 e = 0;
    xdslw5(kFactorUnit, o.factor.data(), 1, 1, fs, e);
    EXPECT_EQ(e, 0);
  }
  const double* d = r.work.data() + static_cast<i64>(r.word(68)) - 1;
  o.diag.assign(d, d + n);
  const auto* pb = reinterpret_cast<const i32*>(r.work.data() + static_cast<i64>(r.word(78)) - 1);
  o.pivblk.assign(pb, pb + n);
  o.pivots.assign(static_cast<std::size_t>(n), 0.0);
  EXPECT_TRUE(factor_pivots(r.work.data(), r.lwork, o.pivots));
  std::copy(r.inertia, r.inertia + 3, o.inertia);
  o.cond = r.cond;
  o.x = r.solve(b, nrhs);
  return o;
}

inline void expect_same(const Result& in, const Result& out, const char* what) {
  EXPECT_EQ(out.factor, in.factor) << what;
  EXPECT_EQ(out.diag, in.diag) << what;
  EXPECT_EQ(out.pivblk, in.pivblk) << what;
  EXPECT_EQ(out.pivots, in.pivots) << what;
  EXPECT_EQ(out.inertia[0], in.inertia[0]) << what;
  EXPECT_EQ(out.inertia[1], in.inertia[1]) << what;
  EXPECT_EQ(out.inertia[2], in.inertia[2]) << what;
  EXPECT_EQ(out.cond, in.cond) << what;
  EXPECT_EQ(out.x, in.x) << what;
}

}  // namespace zephsol::sparse
