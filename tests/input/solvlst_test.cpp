// Solver list file: the column rules of its lines and the outcome of whole
// files, failures included.
#include <filesystem>
#include <string>

#include "support/infix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/solvlst.h"

namespace zephsol::test {
namespace {

class SolvListTest : public InputTest {
 protected:
  // The value of a key in the solver list table, without trailing blanks.
  static std::string value_of(std::string_view key) { return solvky_file_name(key); }
  static SolvLine::Kind apply_all(const std::vector<std::string>& lines) {
    SolvLine::Kind k = SolvLine::Kind::Stored;
    for (const auto& l : lines) k = solv_apply(l).kind;
    return k;
  }
};

struct LineCase {
  std::string line;
  SolvLine::Kind kind;
  std::string console;
};

TEST_F(SolvListTest, ColumnRulesOfOneLine) {
  const std::string name256(256, 'N');
  const std::string long_line = " POST " + name256 + "X";
  const LineCase cases[] = {
      {" END", SolvLine::Kind::End, ""},
      {"XENDX and anything", SolvLine::Kind::End, ""},  // column 1 and column 5 do not matter
      {"END", SolvLine::Kind::Fault, " Unknown keyword: ND  "},
      {"MEMO 64", SolvLine::Kind::Fault, " Unknown keyword: EMO "},
      {" memo 64", SolvLine::Kind::Fault, " Unknown keyword: memo"},
      {"", SolvLine::Kind::Fault, " Unknown keyword:     "},
      {" LIST run.lst", SolvLine::Kind::Stored, ""},
      {" POST " + name256, SolvLine::Kind::Stored, ""},
      {long_line, SolvLine::Kind::Fault, " File name too long: " + long_line},
      // A longer line is cut at column 263, which must be blank.
      {" POST " + name256 + "   ", SolvLine::Kind::Stored, ""},
      {" POST " + name256 + " XYZ", SolvLine::Kind::Stored, ""},
  };
  for (const auto& c : cases) {
    const SolvLine r = solv_apply(c.line);
    EXPECT_EQ(r.kind, c.kind) << c.line;
    EXPECT_EQ(r.console, c.console) << c.line;
  }
  EXPECT_EQ(value_of("POST"), name256);
  EXPECT_EQ(value_of("LIST"), "run.lst");
}

TEST_F(SolvListTest, NumbersOfTheMemoryKeys) {
  const std::string blanks78(78, ' ');  // columns 6 to 83
  struct Case {
    std::vector<std::string> lines;
    word memo;
  };
  const Case cases[] = {
      {{" MEMO 64"}, 64},
      {{" MEMO    64MB"}, 64},
      {{" MEMO 64", " MEMO 128"}, 128},  // the last line wins
      {{" MEMO 64", " MEMO"}, 64},       // a blank field keeps the value
      {{" MEMO 64", " MEMO ABC"}, 0},    // a field that is not a number is 0
      {{" MEMO 99999999999999999999999999999999999999999"}, 2147483647},  // saturates
      {{" MEMO 64", " MEMO" + blanks78 + "5"}, 0},   // column 84: skipped to, no digit read
      {{" MEMO 64", " MEMO" + blanks78 + " 5"}, 64},  // column 85: beyond the blank skip
  };
  for (const auto& c : cases) {
    sysw().MEMO = 0;
    apply_all(c.lines);
    EXPECT_EQ(sysw().MEMO, c.memo) << c.lines.back();
  }
  // The other two keys scan one and three columns further.
  apply_all({" MMEM" + blanks78 + "7", " PMEM" + blanks78 + "  9"});
  EXPECT_EQ(sysw().MMEM, 7);
  EXPECT_EQ(sysw().PMEM, 9);
  // A memory key keeps its table entry.
  EXPECT_EQ(value_of("MEMO"), "MEMO");
}

TEST_F(SolvListTest, CarriageReturnsAreNotPartOfNames) {
  solv_apply(" INPT deck.dat\r");
  EXPECT_EQ(value_of("INPT"), "deck.dat");
}

// Whole files: the console lines and the end of the run.
struct FileCase {
  const char* what;
  std::vector<std::string> solv;  // empty: no SOLV.LST at all
  bool deck;                      // a file "INPT" exists
  std::string console;            // the last console line
  bool listing;                   // the allocation message reaches "LIST" and "ERRO"
  std::string before = {};        // a console line before it
};

TEST_F(SolvListTest, FailuresEndTheRunOnTheConsole) {
  const std::string failed = " **** USER FATAL MESSAGE MEMORY ALLOCATION FAILED ****";
  const FileCase cases[] = {
      {"no file", {}, true, " Cannot open SOLV.LST file.", false},
      {"only END", {" END"}, true, failed, true},
      {"no deck", {" END"}, false, " Cannot open input deck file: INPT", false},
      {"key in column 1", {"MEMO 64", " END"}, true, " Unknown keyword: EMO ", false},
      {"blank MEMO", {" MEMO", " END"}, true, failed, true},
      {"huge MEMO", {" MEMO 99999999999999999999", " END"}, true, failed, true,
       " **** MEMO 2147483647 IS MORE THAN THE LARGEST ACCEPTED, 8191 MEGABYTES ****"},
      {"past the word space", {" MEMO 8192"}, true, failed, true,
       " **** MEMO 8192 IS MORE THAN THE LARGEST ACCEPTED, 8191 MEGABYTES ****"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove("SOLV.LST");
    std::filesystem::remove("INPT");
    std::filesystem::remove("LIST");
    std::filesystem::remove("ERRO");
    if (!c.solv.empty()) write_file("SOLV.LST", c.solv);
    if (c.deck) write_file("INPT", {"Quorvane A B"});
    unit_open(0, "console.txt", UnitForm::Formatted, UnitStatus::Unknown);
    reset_exec_state();
    EXPECT_EXIT(SOLLST(), ::testing::ExitedWithCode(1), "");
    std::vector<std::string> expected;
    if (!c.before.empty()) expected.push_back(c.before);
    expected.push_back(c.console);
    EXPECT_EQ(file_lines("console.txt"), expected);
    EXPECT_EQ(std::filesystem::exists("LIST"), c.listing);
    if (c.listing) {
      EXPECT_EQ(file_lines("LIST"), std::vector<std::string>{c.console});
      EXPECT_EQ(file_lines("ERRO"), std::vector<std::string>{c.console});
    }
    std::filesystem::remove("console.txt");
  }
}

TEST_F(SolvListTest, GoodFileOpensTheUnitsAndAllocates) {
  write_file("SOLV.LST", {" INPT deck.dat", " LIST run.lst", " ERRO run.err", " MEMO 2", " PMEM 3", " END",
                          " XXXX lines after END are not read"});
  write_file("deck.dat", {"Quorvane A B"});
  reset_exec_state();
  SOLLST();
  EXPECT_EQ(sysw().MEMO, 2);
  EXPECT_EQ(sysw().PMEM, 3);
  EXPECT_EQ(core().size(), 2 * kWordsPerMegabyte);
  EXPECT_EQ(unit_file_name(5), "deck.dat");
  EXPECT_EQ(unit_file_name(6), "run.lst");
  EXPECT_EQ(unit_file_name(999), "run.err");
  EXPECT_EQ(unit_read_line(5, 80), std::optional<std::string>("Quorvane A B"));
}

}  // namespace
}  // namespace zephsol::test
