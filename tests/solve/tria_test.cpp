// Profile decomposition (TRIA, SDCOMP and the row kernel) against closed
// forms and a dense L D L^T, its failures and what they report.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/fwbsub.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace zephsol {
namespace {

using test::Dense;
using test::FactorColumn;
using testing::FreshFileSystem;

constexpr word kKll = 227, kUset = 218, kEqix = 212, kLll = 230, kRhs = 225, kSol = 231;

MCB control_block(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  return m;
}

Dense tridiagonal(int n) {
  Dense a = test::zeros(n);
  for (int i = 0; i < n; ++i) {
    a[i][i] = 2.0;
    if (i + 1 < n) a[i][i + 1] = a[i + 1][i] = -1.0;
  }
  return a;
}

// The row kernel, blocks of 4 rows (and more, for long runs of regular rows),
// and the default blocks.
const std::vector<SdcKernel> kKernels{SdcKernel{.blocked = false}, SdcKernel{.blocked = true, .block = 4, .min_block = 2},
                                      SdcKernel{}};

class Decomposition : public ::testing::Test {
 protected:
  Decomposition() : fs_(4, 129) { reset_solve_state(); }

  // Factors a through TRIA and reads the factor back.
  std::vector<FactorColumn> factor(const Dense& a, word uset = 0, word eqix = 0) {
    test::write_symmetric(kKll, a);
    TRIA(kKll, uset, eqix, kLll);
    return test::read_factor(kLll);
  }

  // Solves with the factor for the right-hand-side columns.
  std::vector<std::vector<double>> solve(const std::vector<std::vector<double>>& b, word sign = 1, word z = 0) {
    test::write_columns(kRhs, b);
    SOLBLK& s = solblk();
    s.factor = control_block(kLll);
    s.rhs = control_block(kRhs);
    s.solution = MCB{kSol};
    s.sign = sign;
    FWBSUB(1, z > 0 ? z : test::core_words());
    HDRPUT(kSol, s.solution.header());
    return test::read_columns(kSol);
  }

  FreshFileSystem fs_;
};

// |got - want| within k ulps of want (want exact or nearly so).
bool within_ulp(double got, long double want, int k) {
  const double w = static_cast<double>(want);
  const long double ulp = std::nextafter(std::abs(w), INFINITY) - std::abs(w);
  return std::abs(static_cast<long double>(got) - want) <= k * ulp;
}

// The second-difference matrix of order n: d_i = (i + 1) / i, l_{i+1,i} =
// -i / (i + 1), and a load of ones gives x_i = i (n + 1 - i) / 2. Each step
// is exact to 1 ulp from the pivot before it (d_{i+1} = 2 - 1 / d_i, l_i =
// -1 / d_i); the recurrence lets the rounding drift by a few ulps.
TEST_F(Decomposition, SecondDifferenceMatrixHasClosedFormFactorAndSolution) {
  constexpr int n = 50;
  for (const SdcKernel& k : kKernels) {
  SCOPED_TRACE(k.block * k.blocked);
  solve_state().kernel = k;
  const auto f = factor(tridiagonal(n));
  EXPECT_EQ(test::block_header(kLll), (std::array<word, 6>{n, n, 4, 2, 2, static_cast<word>(99.0 / 2500 * 10000 + 0.5)}));
  ASSERT_EQ(f.size(), static_cast<std::size_t>(n));
  long double previous = 0.0L;
  for (int i = 1; i <= n; ++i) {
    const auto c = test::terms_of(f[i - 1]);
    ASSERT_EQ(c.size(), i < n ? 2u : 1u);
    EXPECT_EQ(c[0].first, i);
    const double d = c[0].second;
    EXPECT_TRUE(within_ulp(d, i == 1 ? 2.0L : 2.0L - 1.0L / previous, 1)) << "pivot " << i;
    EXPECT_TRUE(within_ulp(d, (i + 1.0L) / i, 5)) << "pivot " << i;
    previous = d;
    if (i == n) continue;
    EXPECT_EQ(c[1].first, i + 1);
    EXPECT_TRUE(within_ulp(c[1].second, -1.0L / d, 1)) << "multiplier " << i;
    EXPECT_TRUE(within_ulp(c[1].second, -i / (i + 1.0L), 5)) << "multiplier " << i;
  }
  const auto x = solve({std::vector<double>(n, 1.0)});
  for (int i = 1; i <= n; ++i) EXPECT_NEAR(x[0][i - 1], i * (n + 1.0 - i) / 2, 1e-12 * n * n) << i;
  }
}

// Ragged profiles with interior zeros against a dense L D L^T, column by
// column; the stored terms are exactly the non-zeros of the dense factor.
TEST_F(Decomposition, RaggedProfilesMatchDenseFactor) {
  struct Case {
    int n, width;
    double zeros;
    unsigned seed;
  };
  for (const Case& t : {Case{1, 0, 0.0, 1}, Case{12, 3, 0.5, 2}, Case{40, 8, 0.3, 3}, Case{90, 25, 0.6, 4},
                        Case{150, 60, 0.2, 5}}) {
   for (const SdcKernel& k : kKernels) {
    SCOPED_TRACE(t.n * 1000 + k.block * k.blocked);
    solve_state().kernel = k;
    std::mt19937 rng(t.seed);
    const Dense a = test::ragged_spd(rng, t.n, t.width, t.zeros);
    const auto f = factor(a);
    const test::Ldlt ref = test::dense_ldlt(a);
    ASSERT_EQ(f.size(), static_cast<std::size_t>(t.n));
    std::int64_t terms = 0;
    for (int j = 0; j < t.n; ++j) {
      std::vector<double> col(t.n, 0.0);
      std::set<int> stored;
      for (const auto& s : f[j]) {
        for (std::size_t k = 0; k < s.terms.size(); ++k) {
          EXPECT_NE(s.terms[k], 0.0) << "column " << j + 1;
          col[s.row - 1 + k] = s.terms[k];
          stored.insert(s.row - 1 + static_cast<int>(k));
        }
        terms += static_cast<std::int64_t>(s.terms.size());
      }
      std::set<int> nonzero{j};
      double scale = 1.0;
      for (int i = j + 1; i < t.n; ++i)
        if (ref.l[i][j] != 0.0) {
          nonzero.insert(i);
          scale = std::max(scale, std::abs(ref.l[i][j]));
        }
      EXPECT_EQ(stored, nonzero) << "column " << j + 1;
      EXPECT_NEAR(col[j], ref.d[j], 1e-13 * std::abs(ref.d[j])) << "pivot " << j + 1;
      for (int i = j + 1; i < t.n; ++i) EXPECT_NEAR(col[i], ref.l[i][j], 1e-13 * scale) << i + 1 << "," << j + 1;
    }
    const auto h = test::block_header(kLll);
    EXPECT_EQ(h[5], static_cast<word>(std::trunc(double(terms) / (double(t.n) * t.n) * 10000.0 + 0.5)));
   }
  }
}

// Column 1 reaches row 4 over rows 2 and 3, which no earlier row made active:
// a gap. Row 4 stays active through rows 2 and 3 with a reduced value of
// exactly zero, which column 3 leaves out between rows 3 and 5.
TEST_F(Decomposition, StringsBreakAtGapsAndAtInteriorZeros) {
  Dense a = test::zeros(6);
  const auto set = [&](int i, int j, double v) { a[i - 1][j - 1] = a[j - 1][i - 1] = v; };
  for (int i = 1; i <= 6; ++i) set(i, i, 4.0);
  set(1, 4, 1.0);
  set(2, 3, 1.0);
  set(3, 5, 1.0);
  set(4, 6, 1.0);
  const auto f = factor(a);
  const auto rows = [](const FactorColumn& c) {
    std::vector<std::pair<word, std::size_t>> r;
    for (const auto& s : c) r.emplace_back(s.row, s.terms.size());
    return r;
  };
  using R = std::vector<std::pair<word, std::size_t>>;
  EXPECT_EQ(rows(f[0]), (R{{1, 1}, {4, 1}}));
  EXPECT_EQ(rows(f[1]), (R{{2, 2}}));
  EXPECT_EQ(rows(f[2]), (R{{3, 1}, {5, 1}}));
  EXPECT_EQ(rows(f[3]), (R{{4, 1}, {6, 1}}));
  EXPECT_DOUBLE_EQ(f[2][1].terms[0], 1.0 / (4.0 - 0.25));
}

// A zero pivot: the row's line, then message 3151 with the node and
// component of the k-th L-set freedom; the fatal flag is set and the factor
// released. Freedom 1 is constrained, so row 2 is freedom 3: component 3 of
// node 5.
TEST_F(Decomposition, FailedRowNamesItsNodeAndReleasesTheFactor) {
  struct Case {
    Dense a;
    const char* line;
  };
  for (const Case& t : {Case{{{1, 1}, {1, 1}}, "DECOMPOSITION ABORTED AT        2-TH ROW BECAUSE OF ZERO DIAGONAL"},
                        Case{{{1, 0}, {0, 0}}, "DECOMPOSITION ABORTED AT        2-TH ROW BECAUSE OF NULL COLUMN"}}) {
    SCOPED_TRACE(t.line);
    FreshFileSystem fs(4, 129);
    reset_solve_state();
    test::write_uset(kUset, {2 | 16, 256 | 64 | 16, 256 | 64 | 16, 256 | 64 | 16});
    test::write_eqix(kEqix, {{5, 1, 3}, {9, 4, 1}});
    test::write_symmetric(kKll, t.a);
    TRIA(kKll, kUset, kEqix, kLll);
    EXPECT_EQ(sysw().IERFLG, 1);
    EXPECT_EQ(test::block_header(kLll), (std::array<word, 6>{}));
    const std::string listing = fs.read("listing");
    const std::string expected = std::string("0*** SDCOMP FATAL MESSAGE ---  ") + t.line +
                                 "\n0*** USER INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO  3-TH "
                                 "D.O.F. OF NODE       5\n";
    EXPECT_NE(listing.find(expected), std::string::npos) << listing;
    EXPECT_EQ(fs.read("errors"), listing);
  }
}

// "AUTOSPC": a zero pivot or a null column gives an empty factor column and a
// zero solution component; the rest is the system without that freedom. In
// the last case row 3 joins at the zero pivot of row 2 and is carried on
// with no pending update.
TEST_F(Decomposition, AutospcLetsZeroPivotsAndNullColumnsPass) {
  struct Case {
    Dense a;
    std::vector<double> b, x;
  };
  for (const Case& t : {Case{{{1, 1}, {1, 1}}, {1, 1}, {1, 0}}, Case{{{2, 0}, {0, 0}}, {1, 1}, {0.5, 0}},
                        Case{{{1, 1, 0}, {1, 1, 1}, {0, 1, 2}}, {1, 5, 3}, {1, 0, 1.5}}}) {
    FreshFileSystem fs(4, 129);
    reset_solve_state();
    sysw().IASPC = 1;
    const auto f = factor(t.a);
    EXPECT_EQ(sysw().IERFLG, 0);
    ASSERT_EQ(f.size(), t.b.size());
    EXPECT_TRUE(f[1].empty());
    const auto x = solve({t.b});
    for (std::size_t i = 0; i < t.x.size(); ++i) EXPECT_DOUBLE_EQ(x[0][i], t.x[i]) << i;
  }
}

// Row 2 holds no diagonal term and no earlier row reached it: its pivot is
// zero and the first stored term lies below the diagonal, which fails even
// with "AUTOSPC".
TEST_F(Decomposition, FirstTermBelowDiagonalFailsEvenWithAutospc) {
  sysw().IASPC = 1;
  factor({{1, 0, 0}, {0, 0, 1}, {0, 1, 1}});
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_NE(fs_.read("listing").find("DECOMPOSITION ABORTED AT        2-TH ROW BECAUSE OF ZERO DIAGONAL"),
            std::string::npos);
  EXPECT_EQ(test::block_header(kLll), (std::array<word, 6>{}));
}

// An empty KLL passes when no freedom is solved for (even with free
// freedoms, all on inactive elements), and is fatal 10 otherwise.
TEST_F(Decomposition, EmptyMatrixPassesOnlyWithAnEmptyLSet) {
  HDRPUT(kKll, std::array<word, 6>{0, 0, 6, 2, 0, 0});
  test::write_uset(kUset, {2 | 16, 8 | 64 | 16 | 512});
  TRIA(kKll, kUset, kEqix, kLll);
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(test::block_header(kLll), (std::array<word, 6>{}));
  test::write_uset(kUset, {2 | 16, 256 | 64 | 16});
  EXPECT_RUN_ENDS_WITH(fs_, TRIA(kKll, kUset, kEqix, kLll), "FILE NUMBER      227 NOT FOUND IN DBST, FILE NAME= KLL");
}

TEST_F(Decomposition, WrongMatrixHeaderIsFatal) {
  test::write_symmetric(kKll, tridiagonal(3));
  HDRPUT(kKll, std::array<word, 6>{3, 3, 2, 2, 2, 7777});
  EXPECT_RUN_ENDS_WITH(fs_, TRIA(kKll, 0, 0, kLll),
                       "0*** SYSTEM FATAL MESSAGE 3105, WRONG INPUT FILE  227\n"
                       "          HEADER INFORMATION =       3       3       2       2       2    7777",
                       "MESSAGE    999, PROGRAM LOGIC ERROR");
}

// Without scratch blocks nothing spills: a row whose active set outgrows the
// limit ends the run. With 42 words of work space NC = 5 (5 x 8 <= 42 < 6 x 9);
// below 4N = 40 words the core is short.
TEST_F(Decomposition, ActiveCountAboveTheLimitIsFatalWithoutSpilling) {
  Dense a = test::zeros(10);
  for (int i = 0; i < 10; ++i) {
    a[i][i] = 10.0;
    if (i > 0) a[i][0] = a[0][i] = 1.0;
  }
  test::write_symmetric(kKll, a);
  SDCBLK& b = sdcblk();
  b.kll = control_block(kKll);
  b.lll = MCB{kLll};
  b.scr1 = b.scr2 = 0;
  word failrow = 0;
  const word z = 42 + 2 * sysw().NBUFSZ;
  EXPECT_RUN_ENDS_WITH(fs_, SDCOMP(1, z, failrow),
                       "0*** SDCOMP FATAL MESSAGE ---  NUMBER OF ACTIVE COLUMNS       10 AT ROW        1 EXCEEDED "
                       "THE LIMIT OF        5",
                       "MESSAGE    999, PROGRAM LOGIC ERROR");
  EXPECT_RUN_ENDS_WITH(fs_, SDCOMP(1, 38 + 2 * sysw().NBUFSZ, failrow),
                       "INSUFFICIENT MEMORY.  REQUIRED =");
}

// Rows that the row kernel reports end a block before them: a zero pivot
// without "AUTOSPC" in the middle of a run of regular rows is reported at its
// row, as the row kernel reports it, and the factor is released.
TEST_F(Decomposition, BlocksStopBeforeAZeroPivot) {
  std::mt19937 rng(21);
  Dense a = test::ragged_spd(rng, 60, 12, 0.3);
  test::plant_zero_pivot(a, 30);
  std::string first;
  for (const SdcKernel& k : kKernels) {
    SCOPED_TRACE(k.block * k.blocked);
    FreshFileSystem fs(4, 129);
    reset_solve_state();
    solve_state().kernel = k;
    factor(a);
    EXPECT_EQ(sysw().IERFLG, 1);
    EXPECT_EQ(test::block_header(kLll), (std::array<word, 6>{}));
    const std::string listing = fs.read("listing");
    EXPECT_NE(listing.find("DECOMPOSITION ABORTED AT       32-TH ROW BECAUSE OF ZERO DIAGONAL"), std::string::npos)
        << listing;
    if (first.empty()) first = listing;
    EXPECT_EQ(listing, first);
  }
}

// A row whose active set outgrows the limit inside a run of regular rows: the
// block ends before it and the row kernel reports it. Column 20 reaches
// rows 20 to 40; 160 words of work space give NC = 11.
TEST_F(Decomposition, BlocksStopBeforeAnActiveCountAboveTheLimit) {
  Dense a = test::zeros(40);
  for (int i = 0; i < 40; ++i) {
    a[i][i] = 10.0;
    for (int d = 1; d <= 2 && i + d < 40; ++d) a[i + d][i] = a[i][i + d] = -1.0;
  }
  for (int r = 20; r < 40; ++r) a[r][19] = a[19][r] = 0.5;
  test::write_symmetric(kKll, a);
  solve_state().kernel = SdcKernel{.blocked = true, .block = 8, .min_block = 2};
  SDCBLK& b = sdcblk();
  b.kll = control_block(kKll);
  b.lll = MCB{kLll};
  b.scr1 = b.scr2 = 0;
  word failrow = 0;
  EXPECT_RUN_ENDS_WITH(fs_, SDCOMP(1, 160 + 2 * sysw().NBUFSZ, failrow),
                       "NUMBER OF ACTIVE COLUMNS       21 AT ROW       20 EXCEEDED THE LIMIT OF       11");
}

}  // namespace
}  // namespace zephsol
