// The error handler: report formats, the message limit, suppression,
// redirection and misuse; the environment table; the argument-error
// reporter of the matrix products.
#include <gtest/gtest.h>

#include "support/sparse_fixture.h"
#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

using Lines = std::vector<std::string>;

class Hherr : public SparseTest {};

TEST_F(Hherr, EachReportModeWritesItsHeaderAndTheSeeLine) {
  struct Case {
    int mode;
    Lines expect;
  };
  const std::vector<Case> cases = {
      {0, {"0***** WARNING REPORTED BY SUBROUTINE xdslif  ", "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
      {1,
       {"0***** INPUT ARGUMENT ERROR REPORTED BY SUBROUTINE xdslif  ",
        "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
      {2,
       {"0***** INPUT ARGUMENT ERROR REPORTED BY SUBROUTINE xdslif  ",
        "       1234 WORDS OF WORKING STORAGE NEEDED", "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
      {3, {"0***** PROCESS ERROR REPORTED BY SUBROUTINE xdslif  ", "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
      {4, {" ***** ABOVE CALLED BY SUBROUTINE xdslif  ", "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
      {5,
       {" ***** ABOVE CALLED BY SUBROUTINE xdslif  ", "       ERROR WAS UNEXPECTED",
        "       SEE  xdslif   ABSTRACT (IER = -110)", ""}},
  };
  Lines all;
  for (const auto& c : cases) {
    HHERR(c.mode, "xdslif", -110, 1234);
    all.insert(all.end(), c.expect.begin(), c.expect.end());
  }
  EXPECT_EQ(listing(), all);
}

TEST_F(Hherr, TenReportsThenTheLimitNoticeThenSilence) {
  for (int k = 0; k < 12; ++k) HHERR(3, "xdslom", -200, 0);
  const Lines out = listing();
  ASSERT_EQ(out.size(), 10u * 3 + 3);
  EXPECT_EQ(out[27], "0***** PROCESS ERROR REPORTED BY SUBROUTINE xdslom  ");
  EXPECT_EQ(Lines(out.begin() + 30, out.end()),
            (Lines{"0***** ERROR HANDLER (HHERR) MESSAGE LIMIT EXCEEDED", "       ONE OR MORE MESSAGES SUPPRESSED", ""}));
  // Trace reports do not count, and are silent once the limit is passed.
  HHERR(4, "xdslom", -200, 0);
  EXPECT_EQ(listing().size(), out.size());
}

TEST_F(Hherr, TraceReportsDoNotCountTowardsTheLimit) {
  HHERR(-3, "", 0, 1);
  HHERR(4, "HJSRTN", -5, 0);
  HHERR(5, "HJSRTN", -5, 0);
  HHERR(1, "xdslim", -106, 0);  // the one report allowed: limit 1 -> 0
  HHERR(4, "xdslim", -106, 0);  // limit 0: still written
  HHERR(1, "xdslim", -106, 0);  // notice only
  const Lines out = listing();
  ASSERT_EQ(out.size(), 3u + 4 + 3 + 3 + 3);
  EXPECT_EQ(out[10], " ***** ABOVE CALLED BY SUBROUTINE xdslim  ");
  EXPECT_EQ(out[13], "0***** ERROR HANDLER (HHERR) MESSAGE LIMIT EXCEEDED");
}

TEST_F(Hherr, LimitZeroBeforeAnyReportMutesWithoutNotice) {
  HHERR(-3, "", 0, 0);
  for (int k = 0; k < 3; ++k) HHERR(1, "xdslim", -106, 0);
  EXPECT_TRUE(listing().empty());
}

TEST_F(Hherr, SuppressionDepthNestsAndNeverGoesNegative) {
  HHERR(-6, "", 0, 0);  // at depth 0: stays 0
  HHERR(-5, "", 0, 0);
  HHERR(-5, "", 0, 0);
  HHERR(-6, "", 0, 0);
  HHERR(3, "a", -1, 0);  // depth 1: suppressed, not counted
  EXPECT_TRUE(listing().empty());
  HHERR(-6, "", 0, 0);
  HHERR(3, "b", -1, 0);
  EXPECT_EQ(listing().size(), 3u);
  EXPECT_EQ(library_state().hherr.count, 1);
}

TEST_F(Hherr, RedirectionAndReset) {
  HHERR(-2, "", 0, kMsgUnit);
  HHERR(0, "x", 1, 0);
  HHERR(-4, "", 0, 0);
  HHERR(0, "y", 2, 0);
  EXPECT_EQ(messages().front(), "0***** WARNING REPORTED BY SUBROUTINE x       ");
  EXPECT_EQ(listing().front(), "0***** WARNING REPORTED BY SUBROUTINE y       ");
}

TEST_F(Hherr, MisuseIsReportedFiveTimesPerRunWhateverDepthAndLimit) {
  HHERR(-5, "", 0, 0);
  HHERR(-3, "", 0, 0);
  for (int k = 0; k < 7; ++k) HHERR(7, "caller", 0, 0);
  HHERR(-9, "caller", 0, 0);
  const Lines out = listing();
  ASSERT_EQ(out.size(), 15u);
  EXPECT_EQ(Lines(out.begin(), out.begin() + 3),
            (Lines{"0***** ERROR HANDLER (HHERR) USED IMPROPERLY", "       MODE =       7 FROM caller  ", ""}));
}

TEST_F(Hherr, StateOutlivesTheFirstInitialisation) {
  // The first call of any mode initialises: a first -3 sets the limit after it.
  HHERR(-3, "", 0, 2);
  HHERR(3, "a", -1, 0);
  HHERR(3, "a", -1, 0);
  HHERR(3, "a", -1, 0);  // notice
  EXPECT_EQ(listing().size(), 9u);
}

TEST(Xislev, TableAndOutOfRangeIndexes) {
  EXPECT_EQ(xislev(0), 2147483647);
  EXPECT_EQ(xislev(16), 2147483647);
  EXPECT_EQ(xislev(-5), 2147483647);
  EXPECT_EQ(xislev(4), 6);
  EXPECT_EQ(xislev(8), 133);
  EXPECT_EQ(xislev(15), 2);
}

TEST_F(Hherr, MatrixProductArgumentErrorStopsTheRun) {
  EXPECT_EXIT(blas_argument_error("DGEMM ", 8), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(listing(), (Lines{" " + std::string(50, '*'),
                              " Error for BLAS/LAPACK subprogram  DGEMM   in parameter number  8.",
                              " If you or your application called DGEMM   directly, check your usage."}));
}

}  // namespace
}  // namespace zephsol::sparse
