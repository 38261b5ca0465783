// The factorisation and solution with the stack, the fronts and the factor
// on files: the same factor, inertia, condition estimate and solution as
// with everything in work (the arithmetic of each entry is the same), the
// files left behind, and every file failure named by its unit.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/factor_result.h"
#include "support/matrix.h"
#include "support/sparse_fixture.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/outcore.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

class OutOfCore : public SparseTest {};

constexpr int kStackUnit = 14, kFrontUnit = 17;

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
    for (i32 lw : {needmn, std::max(needmn, need / 10), (need + needmn) / 2, need - need / 50}) {
      SparseRun r(c.a, lw, c.options);
      ASSERT_EQ(r.ier, 0) << r.failed << " " << c.name << " lwork " << lw;
      // The stack and front files are gone; the factor file holds the
      // factor when it did not come back into work.
      EXPECT_FALSE(scratch_open(kStackUnit));
      EXPECT_FALSE(scratch_open(kFrontUnit));
      EXPECT_EQ(scratch_open(kFactorUnit), r.word(54) == 1.0) << c.name;
      const Result out = result_of(r, b, nrhs);
      expect_same(in, out, c.name);
      // Just below the in-core need the factor goes to its file from the
      // start and comes back into work after the run.
      if (lw == need - need / 50 && !c.options.count(cw::vstore)) {
        EXPECT_EQ(r.word(54), 0.0) << c.name;
        EXPECT_GT(r.word(145), 0.0) << c.name;
      }
      if (lw == needmn && !c.options.count(cw::vstore)) {
        EXPECT_EQ(r.word(54), 1.0) << c.name;
        EXPECT_GT(r.word(146), 0.0) << c.name;  // the stack went to its file
        EXPECT_GT(r.word(149), 0.0) << c.name;  // fronts were built on the front file
        EXPECT_GT(r.word(159), 0.0) << c.name;
        // A new value cycle factorises again over the files of the first.
        const double front_io = r.word(159);
        r.factorise(c.a);
        ASSERT_EQ(r.ier, 0) << c.name;
        EXPECT_EQ(r.word(159), 2 * front_io) << c.name;
        expect_same(in, result_of(r, b, nrhs), c.name);
      }
      scratch_close_all();
    }
  }
}

// A saddle point in its own order: the constraints' zero pivots travel up
// as delayed columns into fronts built and eliminated on the front file
// (the largest of them larger than any front the analysis predicts).
TEST_F(OutOfCore, DelayedPivotsInsideFrontsOnTheFrontFile) {
  library_state().order_hook = natural_order;
  const i32 nc = 60;
  const Sym a = saddle(4, nc, 13);
  for (double orient : {1.0, 0.0}) {
    const std::map<int, double> opts{{cw::orient, orient}, {cw::panel, 16.0}};
    const auto b = random_rhs(a.n, 2, 5);
    SparseRun big(a, 6000000, opts);
    ASSERT_EQ(big.ier, 0) << big.failed;
    const Result in = result_of(big, b, 2);
    scratch_close_all();
    SparseRun r(a, big.needmn, opts);
    ASSERT_EQ(r.ier, 0) << r.failed;
    EXPECT_GT(r.word(149), r.front_tri);
    EXPECT_EQ(r.inertia[1], nc);
    expect_same(in, result_of(r, b, 2), "saddle");
    scratch_close_all();
  }
}

// One dense front (a root) whose first columns are a zero block: their
// panels find no pivot, so they change places with the last columns and
// are tried again, on the front file as in work.
TEST_F(OutOfCore, ARootFrontOnFileTriesItsColumnsWithoutPivotAgain) {
  library_state().order_hook = natural_order;
  const i32 nz = 8, nk = 32;
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  Sym a;
  a.n = nz + nk;
  for (i32 j = 1; j <= a.n; ++j)
    for (i32 i = std::max(j, nz + 1); i <= a.n; ++i) a.add(i, j, i == j ? 40.0 + u(rng) : u(rng));
  for (i32 j = 1; j <= nz; ++j) a.add(j, j, 0.0);
  const std::map<int, double> opts{{cw::panel, 4.0}};
  const auto b = random_rhs(a.n, 1, 8);
  SparseRun big(a, 400000, opts);
  ASSERT_EQ(big.ier, 0) << big.failed;
  EXPECT_EQ(big.inertia[1], nz);
  const Result in = result_of(big, b, 1);
  EXPECT_LT(a.residual(in.x, b), 1e-13);
  scratch_close_all();
  SparseRun r(a, big.needmn, opts);
  ASSERT_EQ(r.ier, 0) << r.failed;
  EXPECT_EQ(r.word(149), static_cast<double>(a.n * (a.n + 1) / 2));
  expect_same(in, result_of(r, b, 1), "root");
}

// The solution with the factor on file needs T and one buffer of the
// largest panel: exactly that work solves, one word less does not.
TEST_F(OutOfCore, TheSmallestSolutionBufferHoldsTheLargestPanel) {
  const Sym a = hex_matrix(6, 5, 5, 3, 12);
  SparseRun probe(a, 4000000);
  ASSERT_EQ(probe.ier, 0);
  scratch_close_all();
  SparseRun r(a, probe.needmn);
  ASSERT_EQ(r.ier, 0) << r.failed;
  ASSERT_EQ(r.word(54), 1.0);
  const i64 solve_need = static_cast<i64>(r.word(cw::need));
  EXPECT_EQ(solve_need, static_cast<i64>(r.word(55)) - 1 +
                            std::max<i64>(a.n, static_cast<i64>(r.word(34) * r.word(cw::rhsblk) + r.word(40))));
  const auto b = random_rhs(a.n, 5, 21);
  const double moved = r.word(155);
  const auto x = r.solve(b, 5);
  EXPECT_EQ(r.word(155) - moved, 2 * r.word(42));  // the factor read once per pass
  for (i32 lw : {static_cast<i32>(solve_need), static_cast<i32>(solve_need) - 1}) {
    std::vector<double> y = b;
    i32 ier = 0;
    xdslsl(5, y.data(), a.n, r.work.data(), lw, ier);
    if (lw == solve_need) {
      EXPECT_EQ(ier, 0);
      EXPECT_EQ(y, x);
    } else {
      EXPECT_EQ(ier, -601);
    }
  }
}

// The block updates through a window of the front file against the same
// updates in memory: the same words, whether the triangle fits the buffer
// (one read, one write) or the window moves on column by column; a buffer
// shorter than a column (a group of three for row-oriented panels) is the
// storage code, and the file is left as it was.
TEST_F(OutOfCore, WindowedUpdatesGiveTheWordsOfTheUpdateInWork) {
  struct WindowCase {
    bool col;
    i32 ntrail, nbu;
    i64 bfrlen;  // 0: the whole triangle
    i32 rc;
  };
  const WindowCase wc[] = {
      {true, 23, 4, 0, 0},   {true, 23, 4, 23, 0},  {true, 23, 4, 40, 0}, {true, 23, 4, 22, -20},
      {true, 1, 4, 1, 0},    {false, 23, 0, 0, 0},  {false, 23, 0, 66, 0}, {false, 23, 0, 65, -20},
      {false, 2, 0, 3, 0},   {false, 1, 0, 1, 0},
  };
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (const WindowCase& c : wc) {
    SCOPED_TRACE(std::to_string(c.col) + " " + std::to_string(c.ntrail) + " " + std::to_string(c.bfrlen));
    const i32 ncol = 5, npiv = 5, nrow = ncol + c.ntrail;
    std::vector<double> panel(static_cast<std::size_t>(nrow * ncol));
    for (double& v : panel) v = u(rng);
    const std::vector<i32> pivblk = {1, 2, -3, 1, 1};
    const i64 t = c.ntrail * (c.ntrail + 1) / 2;
    std::vector<double> f22(static_cast<std::size_t>(t));
    for (double& v : f22) v = u(rng);
    std::vector<double> mem = f22, w1(static_cast<std::size_t>(npiv * std::max(c.nbu, 3))),
                        w2(static_cast<std::size_t>(c.ntrail * std::max(c.nbu, 1)));
    double ops = 0;
    if (c.col) xdslum(npiv, ncol, nrow, c.nbu, panel.data(), pivblk.data(), c.ntrail, mem.data(), w1.data(), w2.data(), ops);
    else xdslul(npiv, ncol, nrow, panel.data(), pivblk.data(), c.ntrail, mem.data(), w1.data(), ops);
    i32 e = 0;
    xdslop(kFrontUnit, 2, e);
    ASSERT_EQ(e, 0);
    xdslw6(kFrontUnit, f22.data(), 1, 1, t, e);  // the triangle behind 1000 other words
    xdslw6(kFrontUnit, f22.data(), 1, 1001, t, e);
    const i64 len = c.bfrlen > 0 ? c.bfrlen : t;
    std::vector<double> buf(static_cast<std::size_t>(len));
    i64 moved = 0;
    double ops2 = 0;
    const i32 rc = c.col ? xdslun(npiv, ncol, nrow, c.nbu, panel.data(), pivblk.data(), c.ntrail, len, buf.data(),
                                  1001, kFrontUnit, moved, w1.data(), w2.data(), ops2)
                         : xdslej(npiv, ncol, nrow, panel.data(), pivblk.data(), c.ntrail, len, buf.data(), 1001,
                                  kFrontUnit, moved, w1.data(), ops2);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(ops2, ops);
    std::vector<double> back(static_cast<std::size_t>(t)), head(static_cast<std::size_t>(t));
    xdslw5(kFrontUnit, back.data(), 1, 1001, t, e);
    xdslw5(kFrontUnit, head.data(), 1, 1, t, e);
    EXPECT_EQ(head, f22);  // words before the triangle untouched
    if (c.rc == 0) {
      EXPECT_EQ(back, mem);
      if (c.bfrlen == 0) {
        EXPECT_EQ(moved, 2 * t);
      }
    } else {
      EXPECT_EQ(back, f22);
    }
    scratch_close_all();
  }
}

// The value phase of a run again, then a failure of the k-th operation on
// a unit of the factorisation: its error, the unit its message names, and
// the files it leaves.
struct Fault {
  const char* what;
  int unit;
  FileOp op;
  int k;
  i32 ier;
  const char* line;  // last message line
  bool value_file = false;
};

TEST_F(OutOfCore, EveryFileFailureNamesItsUnit) {
  const Sym a = indefinite(4, 3, 9, 0.4);
  SparseRun probe(a, 4000000);
  ASSERT_EQ(probe.ier, 0);
  const i32 needmn = probe.needmn;
  scratch_close_all();
  const char* io504 = "     on i/o file no.              %d";
  const char* io5xx = "     on word addressable i/o file no.              %d";
  const Fault faults[] = {
      {"sequential rewind", 11, FileOp::Rewind, 1, -504, io504},
      {"index record", 12, FileOp::Read, 1, -504, io504},
      {"value file read", 11, FileOp::Read, 1, -504, io504, true},
      {"factor file open", kFactorUnit, FileOp::Open, 1, -505, io5xx},
      {"factor file write", kFactorUnit, FileOp::Write, 1, -505, io5xx},
      {"factor file read", kFactorUnit, FileOp::Read, 1, -505, io5xx},
      {"factor file close", kFactorUnit, FileOp::Close, 1, -505, io5xx},
      {"stack file open", kStackUnit, FileOp::Open, 1, -506, io5xx},
      {"stack file write", kStackUnit, FileOp::Write, 1, -506, io5xx},
      {"stack file read", kStackUnit, FileOp::Read, 2, -506, io5xx},
      {"stack file close", kStackUnit, FileOp::Close, 1, -506, io5xx},
      {"front file open", kFrontUnit, FileOp::Open, 1, -512, io5xx},
      {"front file write", kFrontUnit, FileOp::Write, 3, -512, io5xx},
      {"front file read", kFrontUnit, FileOp::Read, 2, -512, io5xx},
      {"front file close", kFrontUnit, FileOp::Close, 1, -512, io5xx},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.what);
    std::map<int, double> opts;
    if (f.value_file) opts[cw::vstore] = 1.0;
    // The factor comes back into work from its file only with more work.
    const i32 lw = f.op == FileOp::Close && f.unit == kFactorUnit ? 3 * needmn : needmn;
    SparseRun r(a, lw, 1, kMsgUnit);
    for (auto [k, v] : opts) r.work[static_cast<std::size_t>(k)] = v;
    r.factorise(a);
    ASSERT_EQ(r.ier, 0) << r.failed;
    std::vector<i32> colptr, rowind;
    std::vector<double> vals;
    a.columns(colptr, rowind, vals);
    i32 ier = 0;
    xdslvm('A', colptr, rowind, vals, r.work.data(), r.lwork, ier);
    xdslvf(r.work.data(), r.lwork, ier);
    ASSERT_EQ(ier, 0);
    scratch_fail(f.unit, f.op, f.k);
    double cond = 0;
    i32 inertia[3] = {};
    xdslfa(r.work.data(), r.lwork, cond, inertia, ier);
    EXPECT_EQ(ier, f.ier);
    EXPECT_EQ(r.word(cw::stage), 40.0);
    char expect[80];
    std::snprintf(expect, sizeof expect, f.line, f.unit);
    EXPECT_EQ(messages().back(), expect);
    library_state().files.faults.clear();
    scratch_close_all();
  }
}

TEST_F(OutOfCore, AReadFailureOfTheSolutionNamesTheFactorFile) {
  const Sym a = hex_matrix(5, 5, 4, 3, 3);
  SparseRun probe(a, 4000000);
  ASSERT_EQ(probe.ier, 0);
  scratch_close_all();
  SparseRun r(a, probe.needmn, 1, kMsgUnit);
  ASSERT_EQ(r.ier, 0) << r.failed;
  ASSERT_EQ(r.word(54), 1.0);
  std::vector<double> b = random_rhs(a.n, 1, 4);
  scratch_fail(kFactorUnit, FileOp::Read, 1);
  i32 ier = 0;
  xdslsl(1, b.data(), a.n, r.work.data(), r.lwork, ier);
  EXPECT_EQ(ier, -604);
  const auto msg = messages();
  EXPECT_EQ(msg[msg.size() - 2], "     *** fatal error no.  -604 *** i/o errorencountered in subroutine");
  EXPECT_EQ(msg.back(), "     xdslsl on word addressable i/o file no.         13");
  EXPECT_EQ(r.word(cw::stage), 50.0);
  // The factor is still there: the next solution succeeds.
  b = random_rhs(a.n, 1, 4);
  const auto x = r.solve(b);
  EXPECT_LT(a.residual(x, b), 1e-13);
}

}  // namespace
}  // namespace zephsol::sparse
