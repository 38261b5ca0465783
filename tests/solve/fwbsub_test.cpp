// Forward and backward substitution: batches, signs, empty columns and
// faulty factors.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace zephsol {
namespace {

using test::Dense;
using testing::FreshFileSystem;
using Columns = std::vector<std::vector<double>>;

constexpr word kKll = 227, kLll = 230, kRhs = 225, kSol = 231;

MCB control_block(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  return m;
}

class Substitution : public ::testing::Test {
 protected:
  Substitution() : fs_(4, 129) { reset_solve_state(); }

  void prepare(word sign) {
    SOLBLK& s = solblk();
    s.factor = control_block(kLll);
    s.rhs = control_block(kRhs);
    s.solution = MCB{kSol};
    s.sign = sign;
  }
  // A ragged positive definite matrix of order n, factored into LLL.
  Dense factor_ragged(std::mt19937& rng, int n, int width) {
    const Dense a = test::ragged_spd(rng, n, width);
    test::write_symmetric(kKll, a);
    TRIA(kKll, 0, 0, kLll);
    return a;
  }
  Columns solve(const Columns& b, word sign, word z) {
    test::write_columns(kRhs, b);
    prepare(sign);
    FWBSUB(1, z);
    HDRPUT(kSol, solblk().solution.header());
    return test::read_columns(kSol);
  }

  FreshFileSystem fs_;
};

// Five right-hand sides, the third all zero, with room for two vectors at a
// time: three batches, the same solution as one batch, the empty column left
// empty; sign -1 solves for -b.
TEST_F(Substitution, BatchesGiveTheSameSolutionAsOneBatch) {
  constexpr int n = 30;
  std::mt19937 rng(7);
  const Dense a = factor_ragged(rng, n, 9);
  std::uniform_real_distribution<double> value(-5, 5);
  Columns b(5, std::vector<double>(n, 0.0));
  for (int c : {0, 1, 3, 4})
    for (auto& x : b[c]) x = value(rng);
  b[4][n / 2] = 0.0;

  const Columns one = solve(b, 1, test::core_words());
  const MCB whole = solblk().solution;
  const word two = sysw().NBUFSZ + 2 * (2 * n + 1) + 1;
  const Columns batched = solve(b, 1, two);
  const Columns negated = solve(b, -1, two);

  EXPECT_EQ(batched, one);
  EXPECT_EQ(whole.cols, 5);
  std::array<word, 6> h{};
  HDRGET(kSol, h);
  const double terms = 4.0 * n;
  EXPECT_EQ(h, (std::array<word, 6>{5, n, 2, 2, n, static_cast<word>(terms / (n * 5.0) * 10000.0 + 0.5)}));
  const auto factor_strings = test::read_factor(kSol);
  EXPECT_TRUE(factor_strings[2].empty());
  for (int c = 0; c < 5; ++c) {
    const auto x = test::dense_solve(a, b[c]);
    for (int i = 0; i < n; ++i) {
      EXPECT_NEAR(one[c][i], x[i], 1e-13 * (1 + std::abs(x[i]))) << c << " " << i;
      EXPECT_EQ(negated[c][i], -one[c][i]);
    }
  }
}

// One batch reads each block of the factor once forward and once backward,
// reads the right-hand side once and writes the solution once: counted
// against reading each data block through once.
TEST_F(Substitution, OneBatchReadsEachFactorBlockOncePerSweep) {
  constexpr int n = 400;
  std::mt19937 rng(11);
  factor_ragged(rng, n, 40);
  std::vector<double> b(n);
  for (int i = 0; i < n; ++i) b[i] = 1.0 + 0.01 * i;
  test::write_columns(kRhs, {b});
  prepare(1);
  const word before = sysw().NBLKIO;
  FWBSUB(1, test::core_words());
  const word transfers = sysw().NBLKIO - before;
  HDRPUT(kSol, solblk().solution.header());
  const auto blocks_of = [](auto read) {
    const word start = sysw().NBLKIO;
    read();
    return sysw().NBLKIO - start;
  };
  const word factor = blocks_of([] { test::read_factor(kLll); });
  const word rhs = blocks_of([] { test::read_columns(kRhs); });
  const word solution = blocks_of([] { test::read_columns(kSol); });
  ASSERT_GT(factor, 10);
  // The backward sweep starts in the block where the forward one ended.
  EXPECT_EQ(transfers, 2 * factor - 1 + rhs + solution);
}

// Factor columns that are not what the decomposition writes end the run.
TEST_F(Substitution, FaultyFactorColumnsAreFatal) {
  using Terms = std::vector<std::pair<word, double>>;
  struct Case {
    const char* what;
    std::vector<Terms> columns;
    word column;
  };
  const Terms first{{1, 1.0}, {2, 0.5}};
  const std::vector<Case> cases{
      {"first term below the diagonal", {first, {{3, 2.0}}, {{3, 3.0}}}, 2},
      {"zero diagonal", {first, {{2, 0.0}, {3, 1.0}}, {{3, 3.0}}}, 2},
      {"null column without AUTOSPC", {first, {{2, 2.0}}, {}}, 3},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    FreshFileSystem fs(4, 129);
    MCB l{kLll, 0, 3, 4, 2, 0, 0};
    DBOPEN(kLll, 2, kWrite);
    for (const Terms& c : t.columns) {
      SCB& s = shared_scb(1);
      COLBEG(l, 2, s);
      for (const auto& [row, v] : c) COLTRM(v, row, s);
      COLEND(l, s);
    }
    DBCLOS(kLll, kCloseRewind);
    HDRPUT(kLll, l.header());
    test::write_columns(kRhs, {{1, 1, 1}});
    prepare(1);
    const std::string line = "0*** SYSTEM FATAL MESSAGE 3103, THE FIRST ELEMENT OF      " + std::to_string(t.column) +
                             "-TH COLUMN OF (L) IS NOT THE DIAGONAL ELEMENET OR ZERO.";
    EXPECT_RUN_ENDS_WITH(fs, FWBSUB(1, test::core_words()), line.c_str(), "MESSAGE    999, PROGRAM LOGIC ERROR");
  }
}

TEST_F(Substitution, WrongHeadersAndShortCoreAreFatal) {
  test::write_symmetric(kKll, {{2, 1}, {1, 2}});
  TRIA(kKll, 0, 0, kLll);
  test::write_columns(kRhs, {{1, 1}});
  prepare(1);
  solblk().factor.form = 6;
  EXPECT_RUN_ENDS_WITH(fs_, FWBSUB(1, test::core_words()),
                       "0*** SYSTEM FATAL MESSAGE 3102, WRONG INPUT FILE  230\n"
                       "          HEADER INFORMATION =       2       2       6       2");
  prepare(1);
  solblk().rhs.rows = 3;
  EXPECT_RUN_ENDS_WITH(fs_, FWBSUB(1, test::core_words()), "3102, WRONG INPUT FILE  225");
  prepare(1);
  EXPECT_RUN_ENDS_WITH(fs_, FWBSUB(1, sysw().NBUFSZ + 4), "REQUIRED =       5, CURRENT =       4 WORDS");
}

}  // namespace
}  // namespace zephsol
