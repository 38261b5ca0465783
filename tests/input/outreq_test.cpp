// Case control: set lists, request entries, the records of CTRL and CTRN,
// the messages 601-627 and which of them are fatal, and the list store.
#include <regex>
#include <string>

#include "support/infix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/ccmsg.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/lststo.h"
#include "zephsol/input/outreq.h"

namespace zephsol::test {
namespace {

constexpr word ALL = kEOS;

class OutreqTest : public InputTest {
 protected:
  // Reads a print request block of the given statements (the "OUTPUT" card
  // has been read), ended by the bulk data.
  void run_output(std::vector<std::string> statements) {
    statements.push_back("BEGIN BULK");
    open_deck(statements);
    input_state().ctl.KCLASS = CLS_OUTPUT;
    OUTREQ();
  }
  void run_noutput(std::vector<std::string> statements) {
    statements.push_back("BEGIN BULK");
    open_deck(statements);
    input_state().ctl.KCLASS = CLS_NOUTPUT;
    NOUREQ();
  }
  static std::vector<word> list(word k) {
    const auto w = lst_words(k);
    return {w.begin(), w.end()};
  }
  // Numbers of the case control messages printed, in order.
  std::vector<int> messages() {
    std::vector<int> n;
    static const std::regex head(R"(^0\*\*\* .*MESSAGE +(6\d\d),$)");
    for (const auto& l : listing()) {
      std::smatch m;
      if (std::regex_match(l, m, head)) n.push_back(std::stoi(m[1]));
    }
    return n;
  }
};

struct ListCase {
  std::vector<std::string> statements;
  word kind;
  std::vector<word> entries;
  std::vector<int> messages;
  word ierflg;
};

TEST_F(OutreqTest, SetListEntries) {
  const word SET = name_word("SET"), IPSE = name_word("IPSE"), OTIM = name_word("OTIM");
  const ListCase cases[] = {
      {{"SET 1 = 1 THRU 10 BY 2"}, 1, {SET, 1, 3, 1, -10, -2}, {}, 0},
      {{"SET 2 = 5, 7 THRU 9, 12"}, 1, {SET, 2, 4, 5, 7, -9, 12}, {}, 0},
      {{"SET 3 = ALL"}, 1, {SET, 3, 1, ALL}, {}, 0},
      {{"SET 3"}, 1, {SET, 3, 1, ALL}, {618}, 0},
      {{"SET 4 = 10 THRU 5"}, 1, {SET, 4, 1, 10}, {616}, 1},
      {{"SET 5 = 1 BY 2"}, 1, {}, {614}, 1},
      {{"SET 1 = 1", "SET 1 = 2"}, 1, {SET, 1, 1, 1}, {610}, 0},
      {{"SET (6) = 1"}, 1, {SET, 6, 1, 1}, {}, 0},
      {{"SET = 6"}, 1, {}, {611}, 1},
      {{"SET 7 = 0 INCLUDE 3"}, 1, {SET, 7, 2, 0, 3}, {}, 0},
      {{"SET 0 = 1"}, 1, {}, {612}, 1},
      {{"SET 8 = 1 THRU 10 BY 0"}, 1, {}, {612}, 1},  // a step of 0 would read as the value 0
      {{"SET 9 = 1, 2,", "3"}, 1, {SET, 9, 3, 1, 2, 3}, {}, 0},
      {{"SET 10 = ALL 5"}, 1, {SET, 10, 1, ALL}, {615}, 0},
      {{"SET 11 = 1 THRU"}, 1, {SET, 11, 1, 1}, {619}, 1},
      {{"SET 12 = 1 FOO"}, 1, {}, {613}, 1},
      {{"SET 13 = 1.5"}, 1, {}, {612}, 1},
      {{"SET 14 = 1 / 2"}, 1, {}, {611}, 1},
      {{"SET"}, 1, {}, {620}, 1},
      {{"IPSE 1 = 1, 2"}, 2, {IPSE, 1, 2, 1, 2}, {}, 0},
      {{"OTIM 2 = 3 THRU 9"}, 3, {OTIM, 2, 2, 3, -9}, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statements.front());
    fresh_records();
    run_output(c.statements);
    EXPECT_EQ(list(c.kind), c.entries);
    EXPECT_EQ(messages(), c.messages);
    EXPECT_EQ(sysw().IERFLG, c.ierflg);
    EXPECT_EQ(input_state().ctl.KCLASS, CLS_BULK);
  }
}

TEST_F(OutreqTest, RequestEntries) {
  const auto DISP = name_words8("DISP"), STRE = name_words8("STRE");
  const std::vector<std::string> sets = {"SET 1 = 1 THRU 5", "SET 3 = 7", "OTIM 2 = 1", "OTIM 4 = 2",
                                         "IPSE 2 = 1"};
  const ListCase cases[] = {
      {{"DISP = SET 1 OTIM 2 SET 3 OTIM 4"}, 4, {DISP[0], DISP[1], 6, 2, 1, 1, 4, 1, 3}, {}, 0},
      {{"STRE = SET 1 IPSE 2"}, 4, {STRE[0], STRE[1], 4, ALL, 1, 1, 2}, {}, 0},
      {{"STRE = IPSE 2"}, 4, {STRE[0], STRE[1], 4, ALL, 1, ALL, 2}, {}, 0},
      {{"DISP = NONE"}, 4, {DISP[0], DISP[1], 2, -1, -1}, {}, 0},
      {{"DISP = NONE SET 1"}, 4, {DISP[0], DISP[1], 2, -1, -1}, {625}, 0},
      {{"DISP"}, 4, {DISP[0], DISP[1], 2, ALL, 0}, {624}, 0},
      {{"DISP = SET 9"}, 4, {DISP[0], DISP[1], 3, ALL, 1, 9}, {627}, 1},
      {{"DISP = IPSE 1"}, 4, {DISP[0], DISP[1], 2, ALL, 0}, {613}, 1},
      {{"DISP = SET 1", "DISP = SET 3"}, 4, {DISP[0], DISP[1], 3, ALL, 1, 1}, {622}, 0},
      {{"DISP = ALL"}, 4, {DISP[0], DISP[1], 3, ALL, 1, ALL}, {}, 0},
      // "ALL" after a selection replaces the selections of its sub-entry.
      {{"DISP = SET 1 SET 3 ALL OTIM 2 SET 3"}, 4, {DISP[0], DISP[1], 6, 2, 1, ALL, ALL, 1, 3}, {}, 0},
      {{"STRE = SET 1 ALL IPSE 2"}, 4, {STRE[0], STRE[1], 4, ALL, 1, ALL, 2}, {}, 0},
      {{"STRE = SET 1 IPSE 2 IPSE 2"}, 4, {STRE[0], STRE[1], 4, ALL, 1, 1, 2}, {614}, 0},
      {{"STRE = SET (3) OTIM ALL"}, 4, {STRE[0], STRE[1], 4, ALL, 1, 3, 0}, {}, 0},
      {{"DISP = SET 1,", "OTIM 2"}, 4, {DISP[0], DISP[1], 3, 2, 1, 1}, {}, 0},
      {{"DISP = 5"}, 4, {DISP[0], DISP[1], 2, ALL, 0}, {620}, 1},
      {{"DISP / SET 1"}, 4, {DISP[0], DISP[1], 2, ALL, 0}, {611}, 1},
      {{"DISP = SET 1 FOO"}, 4, {DISP[0], DISP[1], 3, ALL, 1, 1}, {613}, 1},
      {{"VELO = SET 1"}, 4, {}, {613}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.statements.front());
    fresh_records();
    std::vector<std::string> deck = sets;
    deck.insert(deck.end(), c.statements.begin(), c.statements.end());
    run_output(deck);
    EXPECT_EQ(list(c.kind), c.entries);
    EXPECT_EQ(messages(), c.messages);
    EXPECT_EQ(sysw().IERFLG, c.ierflg);
  }
}

TEST_F(OutreqTest, PrintRecordsOfTheBlock) {
  run_output({"SET 1 = 1 THRU 9", "DISP = SET 1", "STRE = ALL", "OTIM 1 = 2"});
  const RequestRecords r = request_records();
  const auto DISP = name_words8("DISP"), STRE = name_words8("STRE"), PRINT = name_words8("PRINT");
  EXPECT_EQ(r.rec1, (std::vector<word>{PRINT[0], PRINT[1]}));
  EXPECT_EQ(r.rec2, (std::vector<word>{DISP[0], DISP[1], 3, ALL, 1, 1, STRE[0], STRE[1], 4, ALL, 1, ALL, 0}));
  EXPECT_EQ(r.rec3, (std::vector<word>{name_word("SET"), 1, 2, 1, -9, name_word("OTIM"), 1, 1, 2, -1}));
  EXPECT_EQ(r.header, (std::array<word, 6>{13, 9, 0, 0, 0, 0}));
}

TEST_F(OutreqTest, CtrlIsWrittenOnlyWithRequests) {
  run_output({"SET 1 = 1 THRU 9", "DISP = SET 1", "OTIM 1 = 2"});
  const RequestRecords r = request_records();
  word mark = 0;
  const auto recs = block_records(CTRL, mark);
  EXPECT_EQ(recs, (std::vector<std::vector<word>>{r.rec1, r.rec2, r.rec3}));
  EXPECT_EQ(mark, 0x10);  // the end-of-file mark of the close
  std::array<word, 6> header{};
  HDRGET(CTRL, header);
  EXPECT_EQ(header, (std::array<word, 6>{6, 9, 0, 0, 0, 0}));

  // A block of set statements only writes nothing.
  fresh_records();
  run_output({"SET 1 = 1 THRU 9"});
  HDRGET(CTRL, header);
  EXPECT_EQ(header, (std::array<word, 6>{}));
}

TEST_F(OutreqTest, ResultFileRequestsUseSetOne) {
  run_noutput({"SET 1 = ALL", "OTIM 1 = ALL"});
  std::vector<word> expected;
  for (const char* n : {"DISP", "REAC", "STRE", "ELFO", "PRSTRESS", "PRSTRAIN"}) {
    const auto w = name_words8(n);
    const bool element = std::string(n) != "DISP" && std::string(n) != "REAC";
    expected.insert(expected.end(), {w[0], w[1], element ? 4 : 3, 1, 1, 1});
    if (element) expected.push_back(0);
  }
  EXPECT_EQ(list(4), expected);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(sysw().IERFLG, 0);
  word mark = 0;
  const auto recs = block_records(CTRN, mark);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[1], expected);
  std::array<word, 6> header{};
  HDRGET(CTRN, header);
  EXPECT_EQ(header[0], static_cast<word>(expected.size()));

  // Without "SET 1" and "OTIM 1" the requests would name undefined sets.
  fresh_records();
  run_noutput({"SET 2 = ALL"});
  EXPECT_EQ(messages(), (std::vector<int>{627, 627}));
  EXPECT_EQ(sysw().IERFLG, 1);

  // A request statement in the result-file block has no effect: refused.
  fresh_records();
  run_noutput({"SET 1 = ALL", "OTIM 1 = ALL", "DISP = SET 1"});
  EXPECT_EQ(messages(), std::vector<int>{613});
  EXPECT_EQ(list(4), expected);
}

TEST_F(OutreqTest, StatementsAcrossCardsAndBadCards) {
  // A card that does not begin with a name: 601 once for a run of them.
  run_output({"5 = 3", "6", "SET 1 = 1", "7"});
  EXPECT_EQ(messages(), (std::vector<int>{601, 601}));
  EXPECT_EQ(list(1), (std::vector<word>{name_word("SET"), 1, 1, 1}));
  EXPECT_TRUE(contains(listing(), "0*** SYSTEM FATAL MESSAGE        601,"));
  EXPECT_TRUE(contains(listing(), "          CANNOT INTERPRET CARD."));
}

TEST_F(OutreqTest, MessageTexts) {
  CCMSG(-10, 1000007, 0);
  CCMSG(16, 10, 5);
  CCMSG(13, name_word("VELO"), name_word("CITY"));
  CCMSG(2, 0, 0);
  CCMSG(31, 0, 0);
  EXPECT_EQ(sysw().IERFLG, 1);
  const std::vector<std::string> expected = {
      "0*** USER WARNING MESSAGE        610,", "          DUPLICATED SET ID        7, CURRENT SET IGNORED.",
      "0*** USER FATAL MESSAGE          616,", "          (      10 THRU        5) IS OUT OF ORDER.",
      "0*** USER FATAL MESSAGE          613,", "          UNRECOGNIZED KEYWORD VELOCITY.",
      "0*** MESSAGE NUMBER   602 NOT AVAILABLE.", "0*** MESSAGE NUMBER   631 NOT AVAILABLE.",
  };
  std::vector<std::string> got;
  for (const auto& l : listing())
    if (l.rfind("0***", 0) == 0 || (l.rfind("          ", 0) == 0 && l.find_first_not_of(' ') != std::string::npos))
      got.push_back(l);
  EXPECT_EQ(got, expected);
  EXPECT_EQ(errlog(), expected);
}

// The list store: a list that outgrows its slot moves the slots above it,
// whole, so their words (stale ones included) are kept word for word.
TEST_F(OutreqTest, GrowingListKeepsTheListsAboveIt) {
  LSTCOM& s = input_state().lst;
  s.count = 3;
  s.end = {};
  s.end[0] = s.end[1] = s.end[2] = 4;
  s.grow[0] = 5;
  s.grow[1] = s.grow[2] = 4;
  LSTINI(101, 40);
  EXPECT_EQ(s.start[0], 101);
  EXPECT_EQ(s.start[3], 113);
  const std::vector<word> two = {21, 22, 23}, three = {31, 32, 33, 34};
  LSTAPP(2, two, 3);
  LSTAPP(3, three, 4);
  s.end[2] -= 2;  // two stale words left in list 3's slot
  const auto before = core().words(s.start[1], s.start[3] - s.start[1]);
  const std::vector<word> above(before.begin(), before.end());

  const std::vector<word> seven = {9};
  LSTAPP(1, seven, -7);  // 7 words into a slot of 4: grows by max(7, 5)
  EXPECT_EQ(s.start[1], 105 + 7);
  EXPECT_EQ(s.start[3], 113 + 7);
  const auto after = core().words(s.start[1], s.start[3] - s.start[1]);
  EXPECT_EQ(std::vector<word>(after.begin(), after.end()), above);
  EXPECT_EQ(list(1), std::vector<word>(7, 9));
  EXPECT_EQ(list(2), two);
  EXPECT_EQ(list(3), (std::vector<word>{31, 32}));

  // Growth by the minimum when it is larger than the words added.
  LSTAPP(2, three, 4);
  EXPECT_EQ(s.start[2], 109 + 7 + 4);
  EXPECT_EQ(list(2), (std::vector<word>{21, 22, 23, 31, 32, 33, 34}));
  EXPECT_EQ(list(3), (std::vector<word>{31, 32}));
  EXPECT_EQ(core().w(s.start[2] + 2), 33);  // the stale words moved with the slot
  EXPECT_EQ(core().w(s.start[2] + 3), 34);
}

TEST_F(OutreqTest, FullListStoreEndsTheRun) {
  LSTCOM& s = input_state().lst;
  s.count = 1;
  s.end = {};
  s.end[0] = 4;
  s.grow[0] = 4;
  LSTINI(1, 6);
  const std::vector<word> w(5, 1);
  EXPECT_EXIT(LSTAPP(1, w, 5), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "0*** SYSTEM FATAL MESSAGE   3531, PROGRAM LOGIC ERROR"));
}

}  // namespace
}  // namespace zephsol::test
