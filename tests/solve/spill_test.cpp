// Spill planning (SDCPRE, SDCSPL) and the spill groups of the profile
// decomposition: active counts against a brute-force count, plans that fit
// in integer arithmetic up to the largest work spaces, the information
// table, and factors with spilling equal to the factors in core.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "support/solvefix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/sdcspl.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace zephsol {
namespace {

using test::Dense;
using testing::FreshFileSystem;

constexpr word kKll = 227, kLll = 230, kRhs = 225, kSol = 231;

MCB control_block(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  return m;
}

// Activation rows and active counts straight from the definitions: row j
// becomes active at the first column p <= j that holds it; the active set of
// row i is every row j >= i active at or before i.
struct Counts {
  std::vector<word> activation, counts;
};
Counts brute_force(const Dense& a) {
  const int n = static_cast<int>(a.size());
  Counts c{std::vector<word>(n, 0), std::vector<word>(n, 0)};
  for (int j = 0; j < n; ++j)
    for (int p = 0; p <= j; ++p)
      if (a[j][p] != 0.0) {
        c.activation[j] = p + 1;
        break;
      }
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j)
      if (c.activation[j] != 0 && c.activation[j] <= i + 1) ++c.counts[i];
  return c;
}

// A band of half-width b: every column j holds rows j..j+b.
Dense band(int n, int b) {
  Dense a = test::zeros(n);
  for (int j = 0; j < n; ++j)
    for (int i = j; i <= std::min(n - 1, j + b); ++i) a[i][j] = a[j][i] = i == j ? 4.0 * b : -1.0 / (1 + i - j);
  return a;
}

// Every row of a group keeps its rows up to the group end, each with all its
// active rows, within c values, and has rows beyond the end; every row
// outside the groups keeps its whole triangle within c.
void expect_plan_fits(const std::vector<word>& activation, const std::vector<word>& counts,
                      const std::vector<word>& plan, word groups, std::int64_t c) {
  const auto n = static_cast<word>(counts.size());
  std::vector<bool> grouped(counts.size() + 1, false);
  for (word k = 0; k < groups; ++k) {
    const word s = plan[2 * k], e = plan[2 * k + 1];
    ASSERT_LT(s, e);
    ASSERT_LT(e, n);
    if (k > 0) {
      ASSERT_GE(s, plan[2 * k - 1]);
    }
    std::vector<word> acts;
    for (word r = s + 1; r <= e; ++r)
      if (activation[r - 1] != 0) acts.push_back(activation[r - 1]);
    std::sort(acts.begin(), acts.end());
    for (word j = s; j <= e; ++j) {
      grouped[j] = true;
      const std::int64_t m = counts[j - 1];
      if (m == 0) continue;
      // Rows in (j, e] active at j: every row up to j is active by its own column.
      const std::int64_t q = (std::upper_bound(acts.begin(), acts.end(), j) - acts.begin()) - (j - s);
      EXPECT_LE(q * (m - 1) - q * (q - 1) / 2, c) << "row " << j << " of group " << s << "-" << e;
      EXPECT_LT(q, m - 1) << "row " << j << " keeps no row beyond the end " << e;
    }
  }
  for (word i = 1; i <= n; ++i)
    if (!grouped[i]) {
      EXPECT_LE(std::int64_t{counts[i - 1]} * (counts[i - 1] - 1) / 2, c) << "row " << i;
    }
}

class Spill : public ::testing::Test {
 protected:
  Spill() : fs_(8, 11) { reset_solve_state(); }

  // SDCPRE over the matrix written as KLL.
  Counts measure(const Dense& a, word& largest) {
    test::write_symmetric(kKll, a);
    const auto n = static_cast<word>(a.size());
    sdcblk().kll = control_block(kKll);
    DBOPEN(kKll, 2, kRead);
    const auto act = core().words(1001, n);
    const auto cnt = core().words(1001 + n, n);
    SDCPRE(act, cnt, largest);
    DBCLOS(kKll, kCloseRewind);
    return {{act.begin(), act.end()}, {cnt.begin(), cnt.end()}};
  }

  // The open-core words that leave w' words of work space beside the
  // buffers of the matrix, the factor and two scratch blocks.
  static word core_for(word work) { return work + 4 * sysw().NBUFSZ; }

  // Factors the matrix in z words (spilling when scratch is true) and reads
  // the factor back.
  std::vector<test::FactorColumn> factor(word z, bool scratch) {
    SDCBLK& b = sdcblk();
    b.kll = control_block(kKll);
    b.lll = MCB{kLll};
    b.scr1 = scratch ? 301 : 0;
    b.scr2 = scratch ? 302 : 0;
    word failrow = -1;
    SDCOMP(1, z, failrow);
    EXPECT_EQ(failrow, 0);
    HDRPUT(kLll, b.lll.header());
    return test::read_factor(kLll);
  }

  std::vector<double> solve(const std::vector<double>& rhs) {
    test::write_columns(kRhs, {rhs});
    SOLBLK& s = solblk();
    s.factor = control_block(kLll);
    s.rhs = control_block(kRhs);
    s.solution = MCB{kSol};
    s.sign = 1;
    FWBSUB(1, test::core_words());
    HDRPUT(kSol, s.solution.header());
    return test::read_columns(kSol)[0];
  }

  FreshFileSystem fs_;
};

TEST_F(Spill, ActiveCountsEqualBruteForce) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    const int n = 5 + static_cast<int>(rng() % 120);
    const Dense a = test::ragged_spd(rng, n, 1 + static_cast<int>(rng() % 30), 0.4);
    word largest = 0;
    const Counts got = measure(a, largest);
    const Counts want = brute_force(a);
    EXPECT_EQ(got.activation, want.activation) << "seed " << seed;
    EXPECT_EQ(got.counts, want.counts) << "seed " << seed;
    EXPECT_EQ(largest, *std::max_element(want.counts.begin(), want.counts.end()));
  }
}

// With "AUTOSPC" a null column counts 0 and leaves the count of the next
// row alone; without it, and for a row without its diagonal, the count
// stops with the row's line and the error flag.
TEST_F(Spill, CountingStopsAtNullColumnsAndMissingDiagonals) {
  Dense a = band(6, 1);
  for (int k = 0; k < 6; ++k) a[2][k] = a[k][2] = 0.0;
  word largest = 0;
  sysw().IASPC = 1;
  EXPECT_EQ(measure(a, largest).counts, (std::vector<word>{2, 1, 0, 2, 2, 1}));
  EXPECT_EQ(sdcblk().error, 0);
  sysw().IASPC = 0;
  measure(a, largest);
  EXPECT_EQ(sdcblk().error, 1);
  EXPECT_EQ(sdcblk().row, 3);
  a[4][3] = a[3][4] = 0.0;
  a[3][3] = 0.0;
  a[5][3] = a[3][5] = 1.0;
  a[2][2] = 1.0;
  sdcblk().error = 0;
  measure(a, largest);
  EXPECT_EQ(sdcblk().row, 4);
  const std::string listing = fs_.read("listing");
  EXPECT_NE(listing.find("0*** SYSTEM FATAL MESSAGE 3106 , DECOMPOSITION ABORTED AT       3-TH ROW BECAUSE OF NULL "
                         "COLUMN"),
            std::string::npos)
      << listing;
  EXPECT_NE(listing.find("0*** SYSTEM FATAL MESSAGE 3107 , DECOMPOSITION ABORTED AT       4-TH ROW BECAUSE OF ZERO "
                         "DIAGONAL"),
            std::string::npos)
      << listing;
}

// The plan of a band of half-width 11 (M = 12) of order 41 in 142 words of
// work space: 94 words of triangle (c = 47) hold the whole triangle of 10
// active rows; a group at count 12 keeps 5 rows, at count 11 six; every
// group's end starts the next one.
TEST_F(Spill, InformationTableOfABandPlan) {
  const Dense a = band(41, 11);
  test::write_symmetric(kKll, a);
  factor(core_for(142), true);
  const std::string table =
      "0*** SDCOMP INFORMATION MESSAGE --- PARAMETERS FOR SYMMETRIC DECOMPOSITION OF DATA BLOCK  KLL   FOLLOW ---\n"
      " \n"
      "                  MATRIX SIZE =        41 ROWS\n"
      "            ADDITIONAL MEMORY =        38 WORDS\n"
      "               ACTIVE COLUMNS =        12 MAX\n"
      "               ACTIVE COLUMNS =      10.4 AVG\n"
      "                        SPILL =         7 GROUPS\n"
      "                   SPILL ROWS =       5.1 AVG\n"
      "         NZ NBR IN FACTOR =       426 TERMS\n";
  const std::string listing = fs_.read("listing");
  EXPECT_NE(listing.find(table), std::string::npos) << listing;
  EXPECT_NE(fs_.read("errors").find(table), std::string::npos);

  // Below the limit nothing is planned: no table, no scratch block.
  const auto before = listing.size();
  test::write_symmetric(kKll, band(41, 5));
  factor(core_for(142), true);
  EXPECT_EQ(fs_.read("listing").size(), before);
  EXPECT_EQ(test::block_header(301), (std::array<word, 6>{}));

  test::write_symmetric(kKll, a);
  DIAGST(13, 1);
  factor(core_for(142), true);
  EXPECT_EQ(fs_.read("listing").size(), before);
  DIAGST(13, 2);
  factor(core_for(142), true);
  EXPECT_GT(fs_.read("listing").size(), before);
}

// A dense matrix of order 20 in 120 words: NC = 9, and without the scratch
// buffers 98 words remain, below 8 M = 160.
TEST_F(Spill, WorkSpaceBelowEightTimesTheLargestCountIsFatal) {
  test::write_symmetric(kKll, band(20, 19));
  SDCBLK& b = sdcblk();
  b.kll = control_block(kKll);
  b.lll = MCB{kLll};
  b.scr1 = 301;
  b.scr2 = 302;
  word failrow = 0;
  const word z = 120 + 2 * sysw().NBUFSZ;
  const std::string text = "REQUIRED =" + std::string(8 - std::to_string(z + 62).size(), ' ') + std::to_string(z + 62) +
                           ", CURRENT =" + std::string(8 - std::to_string(z).size(), ' ') + std::to_string(z);
  EXPECT_EXIT(SDCOMP(1, z, failrow), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs_.read("errors").find(text), std::string::npos) << fs_.read("errors");
}

// Random profiles in work spaces of several sizes: three groups or more,
// ends that start the next group and ends that do not; the factor equals
// the factor in core, the solution agrees, and both scratch blocks are
// released. With "AUTOSPC" a zero pivot inside a group, at which rows join,
// and a null column pass the same way.
TEST_F(Spill, FactorWithSpillEqualsFactorInCore) {
  struct Case {
    int n, width;
    unsigned seed;
    word extra;  // words of work space above 8 M
    bool autospc;
  };
  bool chained = false, separate = false;
  for (const Case& t : {Case{120, 60, 11, 0, false}, Case{200, 45, 12, 60, false}, Case{200, 45, 12, 300, false},
                        Case{160, 80, 13, 150, false}, Case{160, 50, 14, 100, true}}) {
    SCOPED_TRACE(t.seed * 1000 + t.extra);
    std::mt19937 rng(t.seed);
    Dense a = test::ragged_spd(rng, t.n, t.width, 0.5);
    sysw().IASPC = t.autospc ? 1 : 0;
    if (t.autospc) {
      test::plant_zero_pivot(a, t.n / 2);
      test::empty_row(a, t.n / 3);
    }
    word largest = 0;
    const Counts cnt = measure(a, largest);
    const word work = std::max<word>(8 * largest, 4 * t.n) + t.extra;
    const std::int64_t r = work - 4 * std::int64_t{largest};
    std::vector<word> plan(2 * t.n);
    word groups = 0;
    SDCSPL(cnt.activation, cnt.counts, plan, groups, r);
    ASSERT_GE(groups, 3);
    expect_plan_fits(cnt.activation, cnt.counts, plan, groups, r / 2);
    for (word k = 1; k < groups; ++k) (plan[2 * k] == plan[2 * k - 1] ? chained : separate) = true;
    if (t.autospc) {  // the zero pivot lies inside a group
      const word p = t.n / 2 + 2;
      bool inside = false;
      for (word k = 0; k < groups; ++k) inside = inside || (plan[2 * k] < p && p < plan[2 * k + 1]);
      EXPECT_TRUE(inside);
    }

    solve_state().kernel = SdcKernel{.blocked = false};
    const auto in_core = factor(test::core_words(), false);
    const std::vector<double> b(t.n, 1.0);
    const auto x0 = solve(b);
    if (t.autospc) {
      EXPECT_TRUE(in_core[t.n / 2 + 1].empty());
      EXPECT_TRUE(in_core[t.n / 3].empty());
    }
    // The row kernel spills bit for bit; blocks of 4, 16 and 256 rows, in
    // core and spilling, agree to rounding.
    for (const SdcKernel k : {SdcKernel{.blocked = false}, SdcKernel{.blocked = true, .block = 4, .min_block = 2},
                              SdcKernel{.blocked = true, .block = 16, .min_block = 8}, SdcKernel{}}) {
      SCOPED_TRACE(k.blocked ? k.block : 0);
      solve_state().kernel = k;
      for (bool spill : {false, true}) {
        if (!k.blocked && !spill) continue;
        test::expect_factors_agree(factor(spill ? core_for(work) : test::core_words(), spill), in_core,
                                   k.blocked ? 1e-12 : 0.0);
        const auto x1 = solve(b);
        for (int i = 0; i < t.n; ++i) EXPECT_NEAR(x1[i], x0[i], 1e-12 * std::abs(x0[i]));
      }
    }
    for (word s : {301, 302}) {
      EXPECT_EQ(test::block_header(s), (std::array<word, 6>{}));
      word number = 0;
      DBFIND(s == 301 ? name_word("$301") : name_word("$302"), number);
      EXPECT_EQ(number, -s);
    }
    sysw().IASPC = 0;
  }
  EXPECT_TRUE(chained);
  EXPECT_TRUE(separate);
}

// The largest triangle and group sizes fit exactly in integer arithmetic,
// also where single precision would round the room up.
TEST_F(Spill, GroupSizesFitUpToTheLargestWorkSpaces) {
  const auto trapezoid = [](std::int64_t g, std::int64_t m) { return g * (m - 1) - g * (g - 1) / 2; };
  for (std::int64_t c : {std::int64_t{1}, std::int64_t{16}, std::int64_t{16777217}, std::int64_t{123456789},
                         std::int64_t{536870911}, std::int64_t{1073741823}}) {
    const std::int64_t g = whole_triangle_limit(c);
    EXPECT_LE((g - 1) * g / 2, c);
    EXPECT_GT(g * (g + 1) / 2, c);
    for (std::int64_t m : {g + 1, g + 2, 2 * g, 3 * g + 7, std::int64_t{65535}}) {
      const std::int64_t size = group_rows(static_cast<word>(m), c);
      if (size == 0) continue;
      EXPECT_LE(trapezoid(size, m), c) << c << " " << m;
      if (size + 1 <= m - 1) {
        EXPECT_GT(trapezoid(size + 1, m), c) << c << " " << m;
      }
    }
  }
  // A band of half-width 60000 planned in 2^31 - 2 words of triangle space.
  const word n = 150000, b = 60000;
  std::vector<word> act(n), counts(n);
  for (word r = 1; r <= n; ++r) {
    act[r - 1] = std::max(1, r - b);
    counts[r - 1] = std::min(b + 1, n - r + 1);
  }
  sdcblk().kll = MCB{kKll, n, n, 6, 2, 0, 0};
  std::vector<word> plan(2 * n);
  word groups = 0;
  const std::int64_t r = 2147483646;
  SDCSPL(act, counts, plan, groups, r);
  ASSERT_GE(groups, 2);
  expect_plan_fits(act, counts, plan, groups, r / 2);
}

}  // namespace
}  // namespace zephsol
