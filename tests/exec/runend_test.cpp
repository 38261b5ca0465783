// Run end, progress file, clocks and the module status line.
#include <gtest/gtest.h>
#include <iconv.h>

#include <regex>
#include <string>
#include <vector>

#include "frame_support.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/runend.h"

namespace zephsol {
namespace {

using Lines = std::vector<std::string>;

// Shift-JIS (CP932) bytes of a UTF-8 text, through the C library's iconv.
std::string sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in = utf8, out(utf8.size() * 2, '\0');
  char* ip = in.data();
  char* op = out.data();
  std::size_t il = in.size(), ol = out.size();
  const std::size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - ol);
  return out;
}

class Progress : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    if (sjis("ステージ").empty()) GTEST_SKIP() << "no CP932 conversion";
  }
  // The stage/step line as the file holds it (slash " /") or the console
  // (slash "  /").
  static std::string step_line(const std::string& slash, const char* fields[6]) {
    return sjis("ステージ") + fields[0] + slash + fields[1] + sjis("　　ステップ") + fields[2] + slash + fields[3] +
           sjis("　　総ステップ") + fields[4] + slash + fields[5];
  }
};

TEST_F(Progress, FreshRunBeforeTheFirstStep) {
  exec_state().NSTTOT = 10;
  PRGSTS(0);
  EXPECT_EQ(content("stat"), "       0,      10\n");
  EXPECT_EQ(content("console"), "");
}

TEST_F(Progress, RunningStepOnFileAndConsole) {
  ExecState& e = exec_state();
  e.NSTTOT = 10;
  e.NSTPIV[0] = 3;
  e.NSTPIV[1] = 3;
  e.NSTPIV[2] = 4;
  e.stp.NINTVL = 2;
  e.stp.NSTEP = 3;
  PRGSTS(6);
  const char* f[6] = {"   2", "   3", "   3", "   4", "   6", "  10"};
  const std::string running = sjis("現在解析中");
  ASSERT_EQ(running.size(), 10u);
  EXPECT_EQ(content("stat"), "       6,      10\n" + running + "\n\n" + step_line(" /", f) + "\n");
  EXPECT_EQ(step_line(" /", f).size(), 64u);
  EXPECT_EQ(content("console"), running + "\n\n" + step_line("  /", f) + "\n");
}

// On a restart the counts run from the restart point: its own step is 1.
TEST_F(Progress, RestartCountsFromTheRestartPoint) {
  ExecState& e = exec_state();
  e.sys.IRSTRT = 3;
  e.NSTTOT = 20;
  e.NSTBEG = 10;
  e.NSTPIV[0] = 5;
  e.NSTPIV[4] = 6;
  e.stp.NINTVL = 4;
  e.stp.NSTEP = 1;
  struct {
    word n;
    const char* counts;
    const char* cur;
  } cases[] = {{10, "       1,      11", "   1"}, {11, "       2,      11", "   2"}, {20, "      11,      11", "  11"}};
  for (const auto& c : cases) {
    PRGSTS(c.n);
    const char* f[6] = {"   4", "   5", "   1", "   6", c.cur, "  11"};
    EXPECT_EQ(lines("stat"), (Lines{c.counts, sjis("現在解析中"), "", step_line(" /", f)})) << c.n;
  }
}

// Each call rewrites the file: an end code leaves one line (and the error text).
TEST_F(Progress, CompletionCodesReplaceTheStepLines) {
  exec_state().NSTTOT = 4;
  exec_state().stp.NINTVL = 1;
  PRGSTS(2);
  PRGSTS(-1);
  EXPECT_EQ(content("stat"), "      -1,       0\n");
  PRGSTS(-2);
  EXPECT_EQ(content("stat"), "      -2,       0\n");
  PRGSTS(-8);
  const std::string error = sjis("エラー終了しました。詳しくはリストをご覧下さい。");
  EXPECT_EQ(error.size(), 48u);
  EXPECT_EQ(content("stat"), "      -8,       0\n" + error + "\n");
  EXPECT_EQ(progress_file_lines(-8), (Lines{"      -8,       0", error}));
}

TEST_F(Progress, FileNameFromTheSolverList) {
  EXPECT_EQ(progress_file_name(), path("stat"));
  set_solver_name("STAT", "run 7.sta");
  EXPECT_EQ(progress_file_name(), "run 7.sta");
  reset_exec_state();
  EXPECT_EQ(progress_file_name(), "STAT");
}

using RunEnd = FrameTest;

// Completion code and exit status from the fatal and warning flags.
TEST_F(RunEnd, CompletionCodeAndExitStatus) {
  struct {
    word ierflg, iwrnfl;
    int status;
    const char* first;
  } cases[] = {{0, 0, 0, "      -1,       0"}, {0, 1, 0, "      -2,       0"}, {1, 0, 1, "      -8,       0"},
               {1, 1, 1, "      -8,       0"}, {7, 0, 1, "      -8,       0"}, {-2, 0, 0, "      -2,       0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.ierflg << "," << c.iwrnfl);
    EXPECT_EXIT(
        {
          sysw().IERFLG = c.ierflg;
          sysw().IWRNFL = c.iwrnfl;
          RUNEND();
        },
        ::testing::ExitedWithCode(c.status), "");
    EXPECT_EQ(lines("stat").front(), c.first);
    EXPECT_EQ(lines("stat").size(), c.status ? 2u : 1u);
  }
}

// Queued messages are printed at the end; a warning alone gives -2.
TEST_F(RunEnd, PrintsTheQueueFirst) {
  EXPECT_EXIT(
      {
        sysw().NLINE = 0;
        MSGPUT(8313, 273, 0);
        RUNEND();
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(lines("erro").front(), "0*** USER WARNING MESSAGE 8313,");
  EXPECT_EQ(content("stat"), "      -2,       0\n");
}

using ModuleStatus = FrameTest;

TEST_F(ModuleStatus, LineUnderSwitchFourWithHeadingOnce) {
  MODBGN("GP1     ");
  EXPECT_EQ(content("console"), "");
  DIAGST(4, 1);
  sysw().NBLKIO = 100;  // 3.33 estimated seconds
  MODBGN("SDR     ");
  MODBGN("EMG     ");
  const Lines con = lines("console");
  ASSERT_EQ(con.size(), 3u);
  EXPECT_EQ(lines("erro"), con);
  const std::regex heading(R"( \d\d:\d\d:\d\d\.  CPU SEC   IO SEC    BLOCKS  MODULE STATUS)");
  EXPECT_TRUE(std::regex_match(con[0], heading)) << con[0];
  const std::regex status(R"( \d\d:\d\d:\d\d\. {4}\d\.\d{3}      3\.3         0  (SDR|EMG)     BEGN)");
  EXPECT_TRUE(std::regex_match(con[1], status)) << con[1];
  EXPECT_TRUE(con[1].ends_with("  SDR     BEGN"));
  EXPECT_TRUE(std::regex_match(con[2], status)) << con[2];
  EXPECT_TRUE(con[2].ends_with("  EMG     BEGN"));
}

// At most ten words follow the counts.
TEST_F(ModuleStatus, WordsAfterTheCounts) {
  std::vector<word> words;
  for (const char* w : {"AAAA", "BBBB", "CCCC", "DDDD", "EEEE", "FFFF", "GGGG", "HHHH", "IIII", "JJJJ", "KKKK"})
    words.push_back(name_word(w));
  MODSTS(words.data(), 11);
  const Lines con = lines("console");
  ASSERT_EQ(con.size(), 2u);
  EXPECT_TRUE(con[1].ends_with("        0  AAAABBBBCCCCDDDDEEEEFFFFGGGGHHHHIIIIJJJJ")) << con[1];
  EXPECT_EQ(con[1].size(), 40u + 40u);
}

TEST(Clocks, TextsAndElapsedTime) {
  reset_exec_state();
  EXPECT_TRUE(std::regex_match(DATMDY(), std::regex(R"((0[1-9]|1[0-2])/[0-3]\d/\d\d)"))) << DATMDY();
  EXPECT_TRUE(std::regex_match(TIMHMS(), std::regex(R"([0-2]\d:[0-5]\d:[0-6]\d)"))) << TIMHMS();
  EXPECT_EQ(ELAPSD(), 0.0f);
  const float a = ELAPSD();
  EXPECT_GE(ELAPSD(), a);
  sysw().NBLKIO = 1000;
  EXPECT_EQ(IOSECS(), 1000.0f * 0.0333f);
}

}  // namespace
}  // namespace zephsol
