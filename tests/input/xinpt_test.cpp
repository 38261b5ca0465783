// The input phase from end to end on the example deck: the banner, the echo
// of the control section, the settings, the counters of a fresh run, and a
// fatal deck ending the run after the whole input was read.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/infix.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/xinpt.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

class XinptTest : public InputTest {
 protected:
  void SetUp() override {
    InputTest::SetUp();
    const fs::path examples = fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples";
    for (const char* f : {"SOLV.LST", "demo.dat"}) fs::copy_file(examples / f, dir_ / f);
    reset_exec_state();
  }
  std::vector<std::string> deck() { return read_lines(dir_ / "demo.dat"); }
};

TEST_F(XinptTest, ExampleDeckListingAndSettings) {
  ExecState& e = exec_state();
  e.intctl = {7, -1, 0.5f, 0.25f, 0};
  e.stp = {4, 3, 2, 9, 0, 0};
  XINPT();

  const auto lst = file_lines("demo.lst");
  ASSERT_GT(lst.size(), 30u);
  // The banner: a new page, the name, the system line.
  EXPECT_EQ(lst[0], "1");
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(lst[static_cast<std::size_t>(i)], "");
  EXPECT_NE(lst[7].find("Q U O R V A N E"), std::string::npos);
  for (int i = 8; i <= 15; ++i) EXPECT_EQ(lst[static_cast<std::size_t>(i)], "");
  EXPECT_EQ(lst[16], std::string(40, ' ') + "STATIC PROBLEM ANALYSIS SYSTEM ");
  // The echo on a new page under the deck headings, every card of the
  // control section and the case control, the comment included.
  EXPECT_EQ(lst[17].substr(0, 1), "1");
  EXPECT_NE(lst[17].find("PAGE     1"), std::string::npos);
  EXPECT_NE(lst[20].find("E X E C U T I V E   C O N T R O L   D E C K"), std::string::npos);
  const auto cards = deck();
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(lst[23 + i], std::string(20, ' ') + padded(cards[i], 80)) << i;
  EXPECT_EQ(cards[11], "BEGIN BULK");

  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(sysw().IFIELD, 3);
  EXPECT_EQ(input_state().NOUTFL, -1);
  EXPECT_EQ(std::string(e.page.TITLE.data(), 41), "2X2 QPLAN4 MESH - GRAVITY IN ONE INTERVAL");
  EXPECT_TRUE(std::regex_match(words8_name(sysw().RUNDAT[0], sysw().RUNDAT[1]),
                               std::regex(R"(\d\d/\d\d/\d\d)")));
  // A fresh run starts the history from the beginning; NSTEP and NITER stay.
  EXPECT_EQ(e.intctl.NIVSET, 0);
  EXPECT_EQ(e.intctl.EXCACT, 0);
  EXPECT_EQ(e.intctl.RELINC, 0.0f);
  EXPECT_EQ(e.intctl.RELREM, 0.0f);
  EXPECT_EQ(e.stp.NINTVL, 0);
  EXPECT_EQ(e.stp.NSTEPC, 0);
  EXPECT_EQ(e.stp.NSTEP, 3);
  EXPECT_EQ(e.stp.NITER, 2);
}

TEST_F(XinptTest, FatalDeckEndsTheRunAfterTheInput) {
  // Without its FIELD card the deck is fatal (520); the run ends after the
  // whole input was read, with the banner and the echo in the listing.
  auto cards = deck();
  cards.erase(cards.begin() + 3);
  ASSERT_EQ(cards[2].rfind("TITLE", 0), 0u);
  write_file("demo.dat", cards);
  EXPECT_EXIT(XINPT(), ::testing::ExitedWithCode(1), "");
  const auto lst = file_lines("demo.lst");
  ASSERT_FALSE(lst.empty());
  EXPECT_EQ(lst[0], "1");
  EXPECT_TRUE(contains(lst, "0*** USER FATAL MESSAGE 520, CONTROL CARD FIELD    IS MISSING."));
  EXPECT_TRUE(contains(lst, std::string(20, ' ') + padded("BEGIN BULK", 80)));
  EXPECT_TRUE(contains(file_lines("demo.err"), "0*** USER FATAL MESSAGE 520, CONTROL CARD FIELD    IS MISSING."));
}

}  // namespace
}  // namespace zephsol::test
