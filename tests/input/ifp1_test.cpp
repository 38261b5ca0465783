// IFP1 driver: the decoders in their order on the open-core layout, INP1
// released, the totals with their print-limit note, and the fatal ends.
#include <filesystem>
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/fldcard.h"
#include "zephsol/input/ifp1.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/xinpt.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

// What the recording decoders saw, and how many messages each raises.
struct Script {
  std::vector<std::string> calls;
  word fatal = 0;
  word warnings = 0;
  word node_cards = -1;  // cards the first decoder read from "NODE"
};
Script g_script;

void record(const std::string& name) {
  g_script.calls.push_back(name + " IFREE=" + std::to_string(crdcom().IFREE));
  // Each decoder uses the work area and moves IFREE past what it keeps.
  crdcom().IFREE += 100;
  unit_write_line(6, " DECODER " + name);
}

void dbetyp() {
  record("DBETYP");
  // The first decoder reads its group through the card access routines.
  if (grptab().at(1).NCARD > 0) {
    GRPOPN(1);
    word status = 0, n = 0;
    for (NXTCRD(status); status == kCardRead; NXTCRD(status)) ++n;
    g_script.node_cards = n;
  }
  for (word i = 0; i < g_script.fatal; ++i) IFPMSG(2021);
  for (word i = 0; i < g_script.warnings; ++i) IFPMSG(-2080, i);
}
void dbmatd() { record("DBMATD"); }
void dbstrc(word scratch) { record("DBSTRC(" + std::to_string(scratch) + ")"); }
void dbeged() { record("DBEGED"); }
void dbboun() { record("DBBOUN"); }
void dbload() { record("DBLOAD"); }
void dbelst() { record("DBELST"); }
void dbincd() { record("DBINCD"); }

constexpr IfpDecoders kRecording = {dbetyp, dbmatd, dbstrc, dbeged, dbboun, dbload, dbelst, dbincd};

const std::vector<std::string> kOrder = {"DBETYP IFREE=1", "DBMATD IFREE=101", "DBSTRC(301) IFREE=201",
                                         "DBEGED IFREE=1", "DBBOUN IFREE=101", "DBLOAD IFREE=201",
                                         "DBELST IFREE=301", "DBINCD IFREE=401"};

class Ifp1Test : public BulkTest {
 protected:
  void SetUp() override {
    BulkTest::SetUp();
    g_script = Script{};
    bulk_state().decoders = kRecording;
  }
  void group_nodes() { group({"NODE", fixed({"1"}), fixed({"2"}), "ENDDATA"}); }
  // Open-core words from word 1 to the end set to n.
  void core_words(word n) { sysw().COREND = 1 + n; }
  std::vector<std::string> totals(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    bool on = false;
    for (const auto& l : lines) {
      on = on || l == "0*** SYSTEM INFORMATION MESSAGE ---";
      if (on) out.push_back(l);
    }
    return out;
  }
};

TEST_F(Ifp1Test, DecodersRunInOrderOnTheirCoreAndInp1IsReleased) {
  group_nodes();
  word mark = 0;
  ASSERT_EQ(block_records(INP1, mark).size(), 2u);
  const word n = sysw().NBUFSZ;
  core_words(3 * n);  // exactly three buffers: no work area, but enough
  IFP1();
  EXPECT_EQ(g_script.calls, kOrder);
  EXPECT_EQ(g_script.node_cards, 2);
  const CRDCOM& c = crdcom();
  EXPECT_EQ(c.INPFIL, INP1);
  EXPECT_EQ(c.CORLEF, 3 * n);
  EXPECT_EQ(c.BUFINP, 2 * n + 1);
  EXPECT_EQ(c.BUFOUT, n + 1);
  EXPECT_EQ(c.BUFSCR, 1);
  EXPECT_TRUE(block_records(INP1, mark).empty());
  // No message: no totals, no flag.
  EXPECT_FALSE(contains(listing(), "SYSTEM INFORMATION MESSAGE"));
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(sysw().IWRNFL, 0);
}

TEST_F(Ifp1Test, AbsentDecodersArePassedOver) {
  group_nodes();
  bulk_state().decoders = IfpDecoders{};
  bulk_state().decoders.DBEGED = dbeged;
  IFP1();
  EXPECT_EQ(g_script.calls, std::vector<std::string>{"DBEGED IFREE=1"});
}

TEST_F(Ifp1Test, TotalsWithThePrintLimitNote) {
  struct Case {
    word fatal, warnings;
    std::vector<std::string> listing, log;
    word ierflg, iwrnfl;
  };
  const std::string info = "0*** SYSTEM INFORMATION MESSAGE ---";
  const std::string note = "+" + std::string(38, ' ') + ",  OF WHICH FIRST   100 ARE PRINTED";
  const Case cases[] = {
      {150, 0,
       {info, "          TOTAL   150   FATAL MESSAGES ", note},
       {info, "          TOTAL   150   FATAL MESSAGES "}, 1, 0},
      {0, 3,
       {info, "          TOTAL     3 WARNING MESSAGES "},
       {info, "          TOTAL     3 WARNING MESSAGES "}, 0, 1},
      {1, 101,
       {info, "          TOTAL     1   FATAL MESSAGES ", "          TOTAL   101 WARNING MESSAGES ", note},
       {info, "          TOTAL     1   FATAL MESSAGES ", "          TOTAL   101 WARNING MESSAGES "}, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fatal) + " fatal, " + std::to_string(c.warnings) + " warnings");
    fresh_records();
    reset_bulk_state();
    bulk_state().decoders = kRecording;
    g_script = Script{};
    g_script.fatal = c.fatal;
    g_script.warnings = c.warnings;
    input_state().ctl.KCLASS = CLS_BULK;
    group_nodes();
    IFP1();
    EXPECT_EQ(g_script.calls, kOrder);
    EXPECT_EQ(totals(listing()), c.listing);
    EXPECT_EQ(totals(errlog()), c.log);
    EXPECT_EQ(sysw().IERFLG, c.ierflg);
    EXPECT_EQ(sysw().IWRNFL, c.iwrnfl);
  }
}

TEST_F(Ifp1Test, FatalEnds) {
  // One word short of three buffers: fatal 3 with the words required and
  // available; INP1 already open: fatal 201.
  group_nodes();
  const word n = sysw().NBUFSZ;
  core_words(3 * n - 1);
  EXPECT_EXIT(IFP1(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "INSUFFICIENT MEMORY.  REQUIRED =" + fline("(I8)", {3 * n}) +
                                      ", CURRENT =" + fline("(I8)", {3 * n - 1}) + " WORDS"));
  EXPECT_TRUE(g_script.calls.empty());

  fresh_records();
  DBOPEN(INP1, sysw().COREND - sysw().NBUFSZ, kWrite);
  EXPECT_EXIT(IFP1(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "PROGRAM LOGIC ERROR"));
}

TEST_F(Ifp1Test, FatalDecoderMessageEndsTheRunAfterEveryDecoder) {
  // The whole input phase on the example deck: one fatal decoder message,
  // every decoder runs, the totals are printed, then the run ends.
  const fs::path examples = fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples";
  for (const char* f : {"SOLV.LST", "demo.dat"}) fs::copy_file(examples / f, dir_ / f);
  reset_exec_state();
  g_script.fatal = 1;
  EXPECT_EXIT(XINPT(), ::testing::ExitedWithCode(1), "");
  const auto lst = file_lines("demo.lst");
  for (const char* d : {"DBETYP", "DBMATD", "DBSTRC", "DBEGED", "DBBOUN", "DBLOAD", "DBELST", "DBINCD"})
    EXPECT_TRUE(contains(lst, std::string(" DECODER ") + d)) << d;
  EXPECT_TRUE(contains(lst, "0*** USER FATAL MESSAGE    2021,  CARD NUMBER     17,  DATA GROUP NAME- NODE"));
  EXPECT_TRUE(contains(lst, "          TOTAL     1   FATAL MESSAGES "));
  // The progress file records the error end.
  const auto sta = file_lines("demo.sta");
  ASSERT_FALSE(sta.empty());
  EXPECT_EQ(sta[0].substr(0, 9), "      -8,");
}

}  // namespace
}  // namespace zephsol::test
