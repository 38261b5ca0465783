// The factorisation and solution with the stack, the fronts and the factor
// on files: the same factor, inertia, condition estimate and solution as
// with everything in work (the arithmetic of each entry is the same), the
// files left behind, and every file failure named by its unit.
#include <gtest/gtest.h>

#include "support/matrix.h"
#include "support/sparse_fixture.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

class OutOfCore : public SparseTest {};

constexpr int kFactorUnit = 13, kStackUnit = 14, kFrontUnit = 17;

// What a factorisation leaves: the factor (from work or the factor file),
// D, the pivot blocks, inertia, condition estimate and a solution.
struct Result {
  std::vector<double> factor, diag, x;
  std::vector<i32> pivblk;
  i32 inertia[3] = {};
  double cond = 0.0;
  double on_file = 0.0;
};

Result result_of(SparseRun& r, const std::vector<double>& b, i32 nrhs) {
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
  std::copy(r.inertia, r.inertia + 3, o.inertia);
  o.cond = r.cond;
  o.x = r.solve(b, nrhs);
  return o;
}

void expect_same(const Result& in, const Result& out, const char* what) {
  EXPECT_EQ(out.factor, in.factor) << what;
  EXPECT_EQ(out.diag, in.diag) << what;
  EXPECT_EQ(out.pivblk, in.pivblk) << what;
  EXPECT_EQ(out.inertia[0], in.inertia[0]) << what;
  EXPECT_EQ(out.inertia[1], in.inertia[1]) << what;
  EXPECT_EQ(out.inertia[2], in.inertia[2]) << what;
  EXPECT_EQ(out.cond, in.cond) << what;
  EXPECT_EQ(out.x, in.x) << what;
}

struct Case {
  const char* name;
  Sym a;
  std::map<int, double> options;
};

std::vector<Case> cases() {
  return {
      {"hex", hex_matrix(7, 6, 5, 3, 4), {}},
      {"indefinite", indefinite(4, 3, 9, 0.4), {}},
      {"indefinite, row panels", indefinite(4, 2, 5, 0.5), {{cw::orient, 0.0}, {cw::panel, 8.0}}},
      {"narrow panels, no pivoting", hex_matrix(5, 5, 5, 3, 7), {{cw::pvttol, 0.0}, {cw::panel, 5.0}}},
      {"entries on the value file", indefinite(3, 3, 2, 0.2), {{cw::vstore, 1.0}, {cw::keeprow, 1.0}}},
  };
}

TEST_F(OutOfCore, TheFileRunsGiveTheFactorAndSolutionOfTheRunInWork) {
  for (const Case& c : cases()) {
    const i32 nrhs = 3;
    const auto b = random_rhs(c.a.n, nrhs, 17);
    SparseRun big(c.a, 4000000, c.options);
    ASSERT_EQ(big.ier, 0) << big.failed << " " << c.name;
    // Entries kept on the value file keep the factor on its file too.
    ASSERT_EQ(big.word(54), c.options.count(cw::vstore) ? 1.0 : 0.0);
    const Result in = result_of(big, b, nrhs);
    const i32 need = big.need, needmn = big.needmn;
    scratch_close_all();
    ASSERT_LT(needmn, need) << c.name;
    for (i32 lw : {needmn, std::max(needmn, need / 10), (need + needmn) / 2}) {
      SparseRun r(c.a, lw, c.options);
      ASSERT_EQ(r.ier, 0) << r.failed << " " << c.name << " lwork " << lw;
      // The stack and front files are gone; the factor file holds the
      // factor when it did not come back into work.
      EXPECT_FALSE(scratch_open(kStackUnit));
      EXPECT_FALSE(scratch_open(kFrontUnit));
      EXPECT_EQ(scratch_open(kFactorUnit), r.word(54) == 1.0) << c.name;
      const Result out = result_of(r, b, nrhs);
      expect_same(in, out, c.name);
      if (lw == needmn && !c.options.count(cw::vstore)) {
        EXPECT_EQ(r.word(54), 1.0) << c.name;
        EXPECT_GT(r.word(146), 0.0) << c.name;  // the stack went to its file
        EXPECT_GT(r.word(149), 0.0) << c.name;  // fronts were built on the front file
        EXPECT_GT(r.word(159), 0.0) << c.name;
      }
      scratch_close_all();
    }
  }
}

}  // namespace
}  // namespace zephsol::sparse
