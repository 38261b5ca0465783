// The sparse library driver: the order of the library's entries, the error
// line of each, the work-space check and the inertia line, through a
// recording library; and a real solve of an indefinite matrix.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/mfsolv.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

// The recording library: each entry notes its name and returns the code
// planted for it; the symbolic phase asks for `need` words.
struct Recording {
  std::vector<std::string> calls;
  std::string failing;
  mfs_int code = 0;
  std::int64_t need = 500, needmn = 300;
  std::array<mfs_int, 3> inertia{4, 0, 0};
};
Recording rec;

void note(const char* name, mfs_int& ier) {
  rec.calls.emplace_back(name);
  ier = rec.failing == name ? rec.code : 0;
}

MfsLibrary recording_library() {
  MfsLibrary m;
  m.xdslin = [](mfs_int, char sym, mfs_int level, mfs_int unit, mfs_int u1, mfs_int u2, mfs_int u3, mfs_int u4,
                mfs_int u5, mfs_int u6, double*, mfs_int, mfs_int& ier) {
    EXPECT_EQ(sym, 'S');
    EXPECT_EQ((std::array<mfs_int, 8>{level, unit, u1, u2, u3, u4, u5, u6}),
              (std::array<mfs_int, 8>{0, 0, 11, 12, 13, 14, 15, 17}));
    note("xdslin", ier);
  };
  m.xdslim = [](char a, std::span<const mfs_int>, std::span<const mfs_int>, double*, mfs_int, mfs_int& ier) {
    EXPECT_EQ(a, 'A');
    note("xdslim", ier);
  };
  m.xdslif = [](double*, mfs_int, mfs_int& need, mfs_int& ier) {
    need = 10;
    note("xdslif", ier);
  };
  m.xdslom = [](double*, mfs_int, mfs_int& need, mfs_int& ier) {
    need = 20;
    note("xdslom", ier);
  };
  m.xdslsf = [](double*, mfs_int, std::int64_t& need, std::int64_t& needmn, mfs_int& ier) {
    need = rec.need;
    needmn = rec.needmn;
    note("xdslsf", ier);
  };
  m.xdslvm = [](char a, std::span<const mfs_int>, std::span<const mfs_int>, std::span<const double>, double*,
                mfs_int, mfs_int& ier) {
    EXPECT_EQ(a, 'A');
    note("xdslvm", ier);
  };
  m.xdslvf = [](double*, mfs_int, mfs_int& ier) { note("xdslvf", ier); };
  m.xdslfa = [](double*, mfs_int, double& cond, std::array<mfs_int, 3>& inertia, mfs_int& ier) {
    cond = 1.0;
    inertia = rec.inertia;
    note("xdslfa", ier);
  };
  m.xdslsl = [](mfs_int nrhs, double* b, mfs_int ld, double*, mfs_int, mfs_int& ier) {
    EXPECT_EQ(nrhs, 1);
    EXPECT_EQ(ld, 4);
    b[0] = 42.0;
    note("xdslsl", ier);
  };
  return m;
}

const std::vector<std::string> kOrder{"xdslin", "xdslim", "xdslif", "xdslom", "xdslsf",
                                      "xdslvm", "xdslvf", "xdslfa", "xdslsl"};

class SparseDriver : public ::testing::Test {
 protected:
  SparseDriver() : fs_(4, 129) {
    reset_solve_state();
    rec = Recording{};
    solve_state().mfslib = recording_library();
  }
  word run(word lw) {
    const std::vector<word> ia{1, 2, 3, 4, 5}, ja{1, 2, 3, 4};
    const std::vector<double> a{1, 1, 1, 1};
    b_.assign(4, 1.0);
    std::vector<double> w(static_cast<std::size_t>(lw));
    word ier = -99;
    MFSOLV(4, ia, ja, a, b_, lw, 1234, w.data(), ier);
    return ier;
  }
  std::vector<double> b_;
  FreshFileSystem fs_;
};

// Every entry in its order; with lw = NEEDS the working-memory line ending
// "IN CORE", no inertia line for a positive definite matrix, the solution
// in b and the figures kept.
TEST_F(SparseDriver, EntriesInOrderAndTheWorkingMemoryLine) {
  EXPECT_EQ(run(500), 0);
  EXPECT_EQ(rec.calls, kOrder);
  EXPECT_EQ(b_[0], 42.0);
  EXPECT_EQ(fs_.read("listing"),
            "\n Working Memory for MFSLIB is, NEEDS=       500 NEEDMN=       300 NHOLD=       500 NMFR_SIZE=      "
            "1234 IN CORE\n");
  EXPECT_EQ(fs_.read("errors"), "");
  ASSERT_TRUE(solve_state().mfsfig);
  EXPECT_EQ(solve_state().mfsfig->needs, 500);
  EXPECT_EQ(solve_state().mfsfig->needmn, 300);
}

// Below NEEDS but not below NEEDMN the run goes on out of core; so it does
// whatever the work array when there is no in-core figure (a factor too
// large to be counted), and figures past 32 bits are printed whole.
TEST_F(SparseDriver, BetweenTheFiguresTheRunGoesOutOfCore) {
  struct Case {
    std::int64_t need, needmn;
    word lw;
    const char* line;
  };
  const Case cases[] = {
      {500, 300, 499,
       " Working Memory for MFSLIB is, NEEDS=       500 NEEDMN=       300 NHOLD=       499 NMFR_SIZE=      1234"
       " OUT OF CORE (FACTOR AND STACK ON FILES)"},
      {500, 300, 300,
       " Working Memory for MFSLIB is, NEEDS=       500 NEEDMN=       300 NHOLD=       300 NMFR_SIZE=      1234"
       " OUT OF CORE (FACTOR AND STACK ON FILES)"},
      {0, 300, 900,
       " Working Memory for MFSLIB is, NEEDS=         0 NEEDMN=       300 NHOLD=       900 NMFR_SIZE=      1234"
       " OUT OF CORE (FACTOR AND STACK ON FILES)"},
      {98765432101, 300, 400,
       " Working Memory for MFSLIB is, NEEDS=98765432101 NEEDMN=       300 NHOLD=       400 NMFR_SIZE=      1234"
       " OUT OF CORE (FACTOR AND STACK ON FILES)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    rec.calls.clear();
    rec.need = c.need;
    rec.needmn = c.needmn;
    const std::string before = fs_.read("listing");
    EXPECT_EQ(run(c.lw), 0);
    EXPECT_EQ(rec.calls, kOrder);
    EXPECT_EQ(fs_.read("listing").substr(before.size()), std::string("\n") + c.line + "\n");
  }
  EXPECT_EQ(fs_.read("errors"), "");
}

// One word short of NEEDMN: the error line on the listing and the error log
// with NEEDS whole, ier 1, nothing after the symbolic phase.
TEST_F(SparseDriver, WorkSpaceBelowTheLeastFigureStops) {
  rec.need = 4294967296;
  EXPECT_EQ(run(299), 1);
  EXPECT_EQ(rec.calls, std::vector<std::string>(kOrder.begin(), kOrder.begin() + 5));
  const std::string line =
      "\n -1, 90, **** ERROR **** Working Memory for MFSLIB is not enough. NHOLD=       299 NEEDS=4294967296\n";
  EXPECT_EQ(fs_.read("listing"), line);
  EXPECT_EQ(fs_.read("errors"), line);
  ASSERT_TRUE(solve_state().mfsfig);
  EXPECT_EQ(solve_state().mfsfig->needmn, 300);
}

// A failing entry: its name in the error line, its code returned, no later
// entry called.
TEST_F(SparseDriver, EachEntryNamesItselfWhenItFails) {
  for (std::size_t k = 0; k < kOrder.size(); ++k) {
    SCOPED_TRACE(kOrder[k]);
    rec.calls.clear();
    rec.failing = kOrder[k];
    rec.code = -301 - static_cast<mfs_int>(k);
    EXPECT_EQ(run(500), rec.code);
    EXPECT_EQ(rec.calls, std::vector<std::string>(kOrder.begin(), kOrder.begin() + static_cast<long>(k) + 1));
    std::string upper = kOrder[k];
    for (char& c : upper) c = static_cast<char>(std::toupper(c));
    const std::string line = "  ERROR IN " + upper + ", IER=        " + std::to_string(rec.code) + "\n";
    EXPECT_NE(fs_.read("errors").find(line), std::string::npos) << fs_.read("errors");
  }
}

// Negative or zero eigenvalues print the counts and the solve goes on.
TEST_F(SparseDriver, InertiaLineForAnIndefiniteMatrix) {
  rec.inertia = {3, 1, 0};
  EXPECT_EQ(run(600), 0);
  EXPECT_EQ(rec.calls, kOrder);
  EXPECT_NE(fs_.read("listing").find(" Number of positive eigenvalue       3     Number of negative eigenvalue       1"
                                     "     Number of ZERO eigenvalue       0\n"),
            std::string::npos)
      << fs_.read("listing");
}

// The library as bound: [[1, 2], [2, 1]] has one positive and one negative
// eigenvalue and is solved: x = K^-1 b = (-1/3) (b1 - 2 b2, -2 b1 + b2).
TEST(SparseLibrary, IndefiniteMatrixIsSolved) {
  FreshFileSystem fs(4, 129);
  reset_solve_state();
  const std::vector<word> ia{1, 3, 4}, ja{1, 2, 2};
  const std::vector<double> a{1, 2, 1};
  std::vector<double> b{1.0, 5.0};
  std::vector<double> w(20000);
  word ier = -99;
  MFSOLV(2, ia, ja, a, b, 20000, 1210, w.data(), ier);
  ASSERT_EQ(ier, 0);
  EXPECT_NEAR(b[0], (-1.0 / 3) * (1 - 2 * 5), 1e-14);
  EXPECT_NEAR(b[1], (-1.0 / 3) * (-2 * 1 + 5), 1e-14);
  EXPECT_NE(fs.read("listing").find(" Number of positive eigenvalue       1     Number of negative eigenvalue       1"
                                    "     Number of ZERO eigenvalue       0\n"),
            std::string::npos)
      << fs.read("listing");
}

}  // namespace
}  // namespace zephsol
