// Convergence test (CNVTST): the criteria over a step's calls as one table
// (hand-computed norms: DUG (1, 2, 2, 0) has d = 3, QG (3, 0, 100, 4) has
// F = 5 because row 3 is constrained), the report of switch 55 line for
// line and byte for byte, the stagnation warning, a log that keeps every
// iteration of the run, and the fatal ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "tests/exec/cp932.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/cnvtst.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/sjis_convergence.h"

namespace zephsol {
namespace {

using Vec = std::vector<float>;

constexpr word kFree = 16 + 64 + 256, kFixed = 16 + 2;

// A one-column vector block of single-precision terms; an empty vector is a
// block with no terms.
void write_vector(word file, const Vec& v, word rows = 4) {
  MCB m{file, 0, rows, 2, 1, 0, 0};
  if (!v.empty()) {
    DBOPEN(file, sysw().COREND - 2 * sysw().NBUFSZ, kWrite);
    COLPUT(m, 1, v.data(), 1, static_cast<word>(v.size()));
    DBCLOS(file, kCloseRewind);
  }
  m.density = density_of(m.density, rows, 1);
  HDRPUT(file, m.header());
}

// The caller's words of one step.
struct Words {
  float d1 = -1, f1 = -1, fprev = -1, dacc = -1;
  word conv = 99;
};

// One call: its vectors, first or not, and what it must leave.
struct Call {
  Vec dug, qg;
  word first;
  word conv;
  float fprev, dacc;
};

struct Case {
  const char* what;
  word kind;
  word material_mode;  // STPCTR word 5: < 0 no material change
  std::vector<Call> calls;
};

class Cnvtst : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_iter_state();
    test::write_block(USET, {{kFree, kFree, kFixed, kFree}}, {4, 0, 0, 1, 0, kFree | kFixed});
  }
  void call(const Call& c, Words& w) {
    write_vector(DUG, c.dug);
    write_vector(QG, c.qg);
    CNVTST(USET, DUG, QG, c.first, w.d1, w.f1, w.fprev, w.dacc, w.conv);
  }
  std::string log() const { return fs.read("CONV"); }

  testing::FreshFileSystem fs{1, 129};
};

const Vec kD3{1, 2, 2, 0}, kF5{3, 0, 100, 4};

// The lines of a file from the first that begins with start.
std::vector<std::string> lines_from(const std::string& text, const std::string& start) {
  std::vector<std::string> out;
  std::istringstream in(text);
  bool on = false;
  for (std::string l; std::getline(in, l);) {
    if (l.rfind(start, 0) == 0) on = true;
    if (on) out.push_back(l);
  }
  return out;
}

TEST_F(Cnvtst, CriteriaOverTheCallsOfAStep) {
  const Vec d1_5{0.5f, 1, 1, 0}, d_small{0.0012f, 0.0024f, 0.0024f, 0}, f1{0.6f, 0, 7, 0.8f},
      f_small{0.0024f, 0, 9, 0.0032f}, f1_001{0.6006f, 0, 7, 0.8008f}, f6{3.6f, 0, 0, 4.8f};
  const std::vector<Case> cases{
      {"no test: converged, nothing read", 0, -1, {{{9, 9}, {9, 9}, 0, -1, -1, -1}}},
      {"displacement: d/d1 and then d/Dacc",
       1,
       -1,
       {{kD3, kF5, 1, -1, 0, 3},
        {d1_5, kF5, 0, 0, 0, 4.5f},  // 1.5/3 and 1.5/3
        {d_small, kF5, 0, -1, 0, 4.5036f}}},  // 0.0036/3 fails, 0.0036/4.5 passes
      {"displacement: a first solution without terms never converges",
       1,
       -1,
       {{{}, kF5, 1, -1, 0, 0}, {{}, kF5, 0, -1, 0, 0}, {d_small, kF5, 0, 0, 0, 0.0036f}}},
      {"force: F/F1, then stagnation",
       2,
       -1,
       {{kD3, kF5, 1, 0, 5, 0},
        {kD3, f1, 0, 0, 1, 0},       // 1/5 and 4/5
        {kD3, f1_001, 0, -1, 1.001f, 0},  // 0.001/5 stalls
        {kD3, f_small, 0, -1, 0.004f, 0}}},  // 0.004/5
      {"force: a first solution without force converges at once", 2, -1, {{kD3, {}, 1, -1, 0, 0}, {kD3, f6, 0, -1, 6, 0}}},
      {"both: a failed displacement test leaves the force untested",
       3,
       -1,
       {{kD3, kF5, 1, 0, 5, 3}, {d1_5, f_small, 0, 0, 0, 4.5f}}},
      {"material change: d <= d1 and F <= F1",
       3,
       2,
       {{kD3, kF5, 1, 0, 5, 3},
        {kD3, kF5, 0, -1, 5, 6},
        {kD3, f6, 0, 0, 6, 9},
        {Vec{1, 2, 2.1f, 0}, f1, 0, 0, 0, 12.067572f}}},  // d = sqrt(9.41) > d1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sysw().ICNVKD = c.kind;
    stpctr().IVW4 = c.material_mode;
    Words w;
    for (std::size_t k = 0; k < c.calls.size(); ++k) {
      SCOPED_TRACE("call " + std::to_string(k + 1));
      const Call& x = c.calls[k];
      if (c.kind == 0) {
        // Vectors of another size would end the run if they were read.
        write_vector(DUG, x.dug, 2);
        write_vector(QG, x.qg, 2);
        CNVTST(USET, DUG, QG, x.first, w.d1, w.f1, w.fprev, w.dacc, w.conv);
        EXPECT_EQ(w.conv, -1);
        EXPECT_EQ(w.fprev, -1.0f);
        continue;
      }
      call(x, w);
      EXPECT_EQ(w.conv, x.conv);
      EXPECT_NEAR(w.fprev, x.fprev, 1e-6 * std::max(1.0f, x.fprev));
      EXPECT_NEAR(w.dacc, x.dacc, 1e-6 * std::max(1.0f, x.dacc));
    }
  }
  // Switch 55 off: no report (the stall above is the one line of the log).
  EXPECT_EQ(fs.read("listing").find("5020"), std::string::npos);
  EXPECT_EQ(lines_from(log(), "").size(), 1u);
}

TEST_F(Cnvtst, ReportOfSwitch55LineForLineAndByteForByte) {
  sysw().ICNVKD = 3;
  stpctr().NINTVL = 2;
  stpctr().NSTEP = 3;
  stpctr().NITER = 1;
  stpctr().IVW4 = -1;
  DIAGST(55, 1);
  Words w;
  call({kD3, kF5, 1, 0, 5, 3}, w);
  EXPECT_EQ(log(), "");  // the first call reports nothing
  call({{0.0005f, 0.001f, 0.001f, 0}, {0.3f, 0, 7, 0.4f}, 0, 0, 0.5f, 3.0015f}, w);
  EXPECT_EQ(w.conv, 0);

  const std::vector<std::string> want{
      "0*** SYSTEM INFORMATION MESSAGE 5020, CONVERGENCE CRITERIA AT INTERVAL    2 STEP    3 ITERATION    1 FOLLOWS --",
      "           NORM OF INCREMENTAL DISPLACEMENT VECTOR =  1.50000E-03",
      "           NORM OF ACCUMULATED DISPLACEMENT VECTOR =  3.00000E+00",
      "           NORM OF TOTAL       DISPLACEMENT VECTOR =  3.00000E+00",
      "                   NORM OF UNBALANCED FORCE VECTOR =  5.00000E-01",
      "          NORM OF PREVIOUS UNBALANCED FORCE VECTOR =  5.00000E+00",
      "          NORM OF ORIGINAL UNBALANCED FORCE VECTOR =  5.00000E+00",
      "          ITERATION NOT CONVERGED",
  };
  EXPECT_EQ(lines_from(fs.read("listing"), "0*** SYSTEM INFORMATION MESSAGE 5020"), want);

  const std::string pad(10, ' ');
  const std::string want_log = pad + test::to_cp932(" 現ステップの増加変位 d(i)=") + "  1.50000E-03\n" + pad +
                               test::to_cp932(" 現ステップの累計変位 D(i)=") + "  3.00000E+00\n" + pad +
                               test::to_cp932(" 増加変位の合計     d(1-i)=") + "  3.00000E+00\n" + pad +
                               test::to_cp932(" 収束判定値    d(i)/d(1-i)=") + "  5.00000E-04\n" + pad +
                               test::to_cp932(" 収束判定誤差          ERR=") + "  1.00000E-03\n" + pad +
                               test::to_cp932("現ステップの不平衡力     F(i)=") + "  5.00000E-01\n" + pad +
                               test::to_cp932("前ステップの不平衡力   F(i-1)=") + "  5.00000E+00\n" + pad +
                               test::to_cp932("最初のステップの不平衡力 F(1)=") + "  5.00000E+00\n" + pad +
                               test::to_cp932("収束判定値 (F(i)-F(i-1))/F(1)=") + "  9.00000E-01\n" + pad +
                               test::to_cp932("収束判定誤差              ERR=") + "  1.00000E-03\n";
  EXPECT_EQ(log(), want_log);

  // The next iteration goes on after these lines; a later run starts afresh.
  call({{0.0005f, 0.001f, 0.001f, 0}, {0.6f, 0, 7, 0.8f}, 0, 0, 1, 3.003f}, w);
  EXPECT_EQ(log().size(), 2 * want_log.size());
  EXPECT_EQ(log().substr(0, want_log.size()), want_log);
  reset_iter_state();
  call({kD3, kF5, 1, 0, 5, 3}, w);
  call({{0.0005f, 0.001f, 0.001f, 0}, {0.3f, 0, 7, 0.4f}, 0, 0, 0.5f, 3.0015f}, w);
  EXPECT_EQ(log(), want_log);
}

TEST_F(Cnvtst, StagnationWithALargeForceIsAcceptedWithAWarning) {
  sysw().ICNVKD = 2;
  stpctr().NINTVL = 4;
  stpctr().NSTEP = 1;
  stpctr().NITER = 6;
  stpctr().IVW4 = -1;
  Words w;
  call({kD3, kF5, 1, 0, 5, 0}, w);
  call({kD3, {0.6f, 0, 7, 0.8f}, 0, 0, 1, 0}, w);
  EXPECT_EQ(fs.read("errors"), "");
  call({kD3, {0.6006f, 0, 7, 0.8008f}, 0, -1, 1.001f, 0}, w);
  const std::string warning = fline(
      "('0*** SYSTEM WARNING MESSAGE 5024, ITERATION ACCEPTED AS CONVERGED BECAUSE THE UNBALANCED FORCE"
      " STOPPED CHANGING AT INTERVAL',I5,' STEP',I5,' ITERATION',I5,', F/F(1) =',1PE13.5)",
      {4, 1, 6, 1.001f / 5.0f});
  EXPECT_EQ(fs.read("errors"), warning + "\n");
  EXPECT_NE(fs.read("listing").find(warning), std::string::npos);
  EXPECT_EQ(log(), warning + "\n");
}

TEST_F(Cnvtst, VectorsOfAnotherSizeOrCoreTooSmallEndTheRun) {
  sysw().ICNVKD = 3;
  Words w;
  write_vector(DUG, {1, 2, 3}, 3);
  write_vector(QG, kF5);
  EXPECT_EXIT(CNVTST(USET, DUG, QG, 1, w.d1, w.f1, w.fprev, w.dacc, w.conv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find("NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     231,       3"),
            std::string::npos);

  write_vector(DUG, kD3);
  write_vector(QG, {1, 2, 3}, 3);
  EXPECT_EXIT(CNVTST(USET, DUG, QG, 1, w.d1, w.f1, w.fprev, w.dacc, w.conv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find("NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     233,       3"),
            std::string::npos);

  write_vector(QG, kF5);
  const word nbuf = sysw().NBUFSZ;
  sysw().COREND = 1 + nbuf + 5;  // five words below the buffer, eight needed
  EXPECT_EXIT(CNVTST(USET, DUG, QG, 1, w.d1, w.f1, w.fprev, w.dacc, w.conv), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find(fline("(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')",
                                         {nbuf + 5 + 3, nbuf + 5})),
            std::string::npos)
      << fs.read("errors");
}

TEST(CnvtstTexts, LabelsAreTheCp932OfTheirTexts) {
  EXPECT_EQ(kSjisIncrement, test::to_cp932(" 現ステップの増加変位 d(i)="));
  EXPECT_EQ(kSjisForceFirst, test::to_cp932("最初のステップの不平衡力 F(1)="));
  EXPECT_EQ(kSjisForceRatio, test::to_cp932("収束判定値 (F(i)-F(i-1))/F(1)="));
}

}  // namespace
}  // namespace zephsol
