// The bulk data of a restart: groups not given again come from the old
// tape with their old card numbers (negative in messages), only the groups
// given are marked changed, the merged bulk data goes to the new tape, a
// tape that cannot serve ends the run (534, 536), and from end to end a
// restart deck that gives a model group again ends before the model phase.
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tapefix.h"
#include "zephsol/drive/modules.h"
#include "zephsol/input/fldcard.h"
#include "zephsol/input/ifpmsg.h"
#include "zephsol/input/xinpt.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

constexpr word kOld = static_cast<word>(0x80000000u);

word changed_bit(word group) { return static_cast<word>(1u << (31 - group)); }

class MergeTest : public TapeTest {
 protected:
  const std::string mat = fixed({"1", "0"});
  const std::string n1 = fixed({"1", "", "0.0"});
  const std::string n2 = fixed({"2", "", "1.0"});
  const std::string e1 = fixed({"1", "QPLAN4"});
  const std::string h1 = fixed({"INTERVAL", "1"});
  const std::string h2 = fixed({"INTERVAL", "2"});

  // The first run's tape: bulk data set NODE (cards 1-3), ELEMENT (4-5),
  // MATERIAL (6-7), HISTORY (8-9), "ENDDATA" (10); CONST has no data and
  // stays off the tape. A model checkpoint follows.
  void first_run() {
    sysw().ICHKPT = 3;
    start_tape({"MATERIAL", mat, "NODE", n1, n2, "ELEMENT", e1, "HISTORY", h1, "CONST", "ENDDATA"});
    checkpoint_model();
  }
  // The restart deck gives HISTORY anew and ELEMENT as a header alone.
  void restart_grouping(word mode, word echo = 1) {
    next_run();
    sysw().ECHOPT = echo;
    sysw().IRSTRT = -1;
    sysw().ICHKPT = mode;
    if (mode != 0) write_new_tape_id(idrec(), sysw().COREND - sysw().NBUFSZ);
    group({"HISTORY", h1, h2, "ELEMENT", "ENDDATA"});
  }
};

TEST_F(MergeTest, GroupsNotGivenComeFromTheOldTape) {
  first_run();
  restart_grouping(0);
  EXPECT_EQ(sysw().IERFLG, 0);
  struct Row {
    word group, cards, header;
  };
  const Row rows[] = {{15, 3, 1}, {3, 1, 4}, {1, 3, 1 | kOld}, {6, 2, 6 | kOld}, {16, 0, 0}};
  for (const Row& r : rows) {
    EXPECT_EQ(grptab().at(r.group).NCARD, r.cards) << r.group;
    EXPECT_EQ(grptab().at(r.group).HDRCRD, r.header) << r.group;
  }
  EXPECT_EQ(exec_state().GRPCHG[0], changed_bit(15) | changed_bit(3));

  // The old groups' cards, read as the decoders read them, carry their old
  // numbers, shown negative in the decoder messages.
  open_inp1();
  GRPOPN(1);
  std::vector<std::string> cards{card_columns(bulk_state().fld.CARDIM)};
  for (word status = kCardRead;;) {
    NXTCRD(status);
    if (status != kCardRead) break;
    cards.push_back(card_columns(bulk_state().fld.CARDIM));
    IFPMSG(-2080, 0, 0);
  }
  DBCLOS(INP1, kCloseRewind);
  EXPECT_EQ(cards, (std::vector<std::string>{padded("NODE", 80), padded(n1, 80), padded(n2, 80)}));
  EXPECT_TRUE(contains(listing(), "CARD NUMBER     -2,  DATA GROUP NAME- NODE"));
  EXPECT_TRUE(contains(listing(), "CARD NUMBER     -3,  DATA GROUP NAME- NODE"));

  // The old tape is left after its bulk data set, at the first checkpoint.
  SetHeader h{};
  DBOPEN(OPTP, sysw().COREND - sysw().NBUFSZ, kReadNoRewind);
  DBREAD(OPTP, h.data(), kSetHeaderWords, 1);
  DBCLOS(OPTP, kCloseRewind);
  EXPECT_EQ(h[0], kSetMark);
  EXPECT_EQ(h[1], name_word("XVPS"));
}

TEST_F(MergeTest, NewTapeGetsTheMergedBulkData) {
  first_run();
  restart_grouping(3, 3);
  // Groups with data in group-table order, one card a record, "ENDDATA"
  // and 72 blanks; the header-only ELEMENT is left out.
  const std::vector<std::string> merged = {"NODE", n1, n2, "MATERIAL", mat, "HISTORY", h1, h2, "ENDDATA"};
  Contents bulk{record({kSetMark, name_word("BULK"), 0, 0, 0, 0, 0, 0})};
  for (const std::string& c : merged) bulk.push_back({0, card_of(c)});
  const std::vector<Contents> tape = tape_sets(NPTP);
  ASSERT_EQ(tape.size(), 2u);
  EXPECT_EQ(tape[1], bulk);

  // The merged echo numbers those cards from 1 under its own heading.
  const auto lst = listing();
  const auto heading = std::find(lst.begin(), lst.end(),
                                 padded(std::string(40, ' ') + "M E R G E D   B U L K   D A T A   E C H O", 128));
  ASSERT_NE(heading, lst.end());
  std::vector<std::string> echoed;
  for (auto it = heading; it != lst.end(); ++it)
    if (std::regex_match(*it, std::regex(R"( {7}[ \d]{8}- {4}.{80})"))) echoed.push_back(*it);
  ASSERT_EQ(echoed.size(), merged.size());
  for (std::size_t i = 0; i < merged.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    EXPECT_EQ(echoed[i], std::string(15 - n.size(), ' ') + n + "-    " + padded(merged[i], 80));
  }

  // Without checkpointing the new tape is not touched.
  fresh_records();
  fs::remove(dir_ / "NPTP");
  group({"NODE", n1, "ENDDATA"});
  EXPECT_FALSE(fs::exists(dir_ / "NPTP"));
}

TEST_F(MergeTest, OldTapesThatCannotServeEndTheRun) {
  const std::string m534 = "0*** SYSTEM FATAL MESSAGE 534, ENCOUNTERED EOF/EOR WHILE READING FILE OPTP";
  const std::vector<word> bulk = {kSetMark, name_word("BULK"), 0, 0, 0, 0, 0, 0};
  struct Case {
    std::string what;
    std::vector<std::vector<std::vector<word>>> sets;  // after the identification set
    std::string line;
  };
  const Case cases[] = {
      {"no bulk data set", {{{kSetMark, name_word("XVPS"), 0, 0, 0, 0, 0, 0}}}, m534},
      {"bulk data without ENDDATA", {{bulk, card_of("NODE"), card_of(n1)}}, m534},
      {"a short card", {{bulk, card_of("NODE"), {1, 2, 3}}}, m534},
      {"a data card first",
       {{bulk, card_of("NODX"), card_of("ENDDATA")}},
       "0*** SYSTEM FATAL MESSAGE 536, UNRECONGNIZED HEADER CARD - NODX     ON OLD PROBLEM TAPE BULK DATA."},
  };
  for (const Case& c : cases) {
    fresh_records();
    const word buffer = sysw().COREND - sysw().NBUFSZ;
    const IDREC id = idrec();
    DBOPEN(OPTP, buffer, kWrite);
    DBWRIT(OPTP, id.data(), 8, 1);
    DBEOS(OPTP);
    for (const auto& set : c.sets) {
      for (const auto& r : set) DBWRIT(OPTP, r.data(), static_cast<word>(r.size()), 1);
      DBEOS(OPTP);
    }
    DBCLOS(OPTP, kCloseRewind);
    sysw().IRSTRT = -1;
    EXPECT_EXIT(group({"HISTORY", h1, "ENDDATA"}), ::testing::ExitedWithCode(1), "") << c.what;
    EXPECT_TRUE(contains(listing(), c.line)) << c.what;
  }
}

// ----------------------------------------------------------- whole input

// Whole-input runs on the example deck, with its own solver list per run.
class RestartInputTest : public TapeTest {
 protected:
  void SetUp() override {
    TapeTest::SetUp();
    demo_ = read_lines(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat");
  }
  void solver_list(const std::string& run) {
    write_file("SOLV.LST", {" INPT " + run + ".dat", " LIST " + run + ".lst", " ERRO " + run + ".err",
                            " STAT " + run + ".sta", " MEMO 8", " END"});
  }
  // The first run: the example deck with checkpointing, its first CONST card
  // asking for components 1 to 9 (warning 2026); a model checkpoint and the
  // checkpoint of interval 1 follow.
  void first_run() {
    std::vector<std::string> deck = demo_;
    const auto field = std::find(deck.begin(), deck.end(), "FIELD 3");
    deck.insert(field + 1, "CHKPNT");
    const auto cnst = std::find(deck.begin(), deck.end(), "CONST");
    cnst[1] = fixed({"", "1", "3", "1", "", "1", "9"});
    write_file("run1.dat", deck);
    solver_list("run1");
    reset_exec_state();
    XINPT();
    ASSERT_EQ(sysw().IERFLG, 0);
    call_chksav({CSTM, NODC, CONE}, 0);
    checkpoint_interval(1);
  }
  // The restart deck: the control section and the given bulk data groups.
  void restart_deck(const std::vector<std::string>& groups) {
    next_run();
    std::vector<std::string> deck = {"Quorvane DEMO     RUN1", "RESTART", "FIELD 3", "BEGIN BULK"};
    deck.insert(deck.end(), groups.begin(), groups.end());
    deck.push_back("ENDDATA");
    write_file("run2.dat", deck);
    solver_list("run2");
    reset_exec_state();
  }
  // The example's history with a second interval, so that the restart
  // after the first has work left.
  std::vector<std::string> history() const {
    const auto h = std::find(demo_.begin(), demo_.end(), "HISTORY");
    std::vector<std::string> out(h, std::find(demo_.begin(), demo_.end(), "ENDDATA"));
    out.insert(out.end(), {"INTERVAL       2", "        BODY           1     1.0"});
    return out;
  }
  std::vector<std::string> demo_;
};

// The card number of the first 2026 message of a listing.
int warning_card(const std::vector<std::string>& lst) {
  const std::regex r(R"(USER WARNING MESSAGE  2026,  CARD NUMBER *(-?\d+),  DATA GROUP NAME- CONST)");
  std::smatch m;
  for (const auto& l : lst)
    if (std::regex_search(l, m, r)) return std::stoi(m[1]);
  return 0;
}

TEST_F(RestartInputTest, HistoryOnlyTakesEveryOtherGroupFromTheOldTape) {
  first_run();
  const int fresh = warning_card(file_lines("run1.lst"));
  ASSERT_GT(fresh, 0);
  restart_deck(history());
  XINPT();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(exec_state().GRPCHG[0], changed_bit(15));
  EXPECT_EQ(stpctr().NINTVL, 1);
  const auto lst = file_lines("run2.lst");
  // CONST's header is card 23 of the deck and card 29 of the old tape's set.
  EXPECT_EQ(warning_card(lst), -(fresh + 6));
  EXPECT_TRUE(contains(lst, "0THE FOLLOWING FILES WERE USED FROM OLD PROBLEM TAPE TO INITIATE RESTART"));
  EXPECT_FALSE(contains(lst, " 561, "));
}

// GP3 runs on a restart that gives a load group again: the model phase.
void gp3_reached(word, word, word, word, word, word, word) { std::ofstream("model.ran") << "GP3\n"; }

TEST_F(RestartInputTest, ModelGroupGivenAgainEndsTheRunBeforeTheModelPhase) {
  first_run();
  std::vector<std::string> groups(std::find(demo_.begin(), demo_.end(), "NODE"),
                                  std::find(demo_.begin(), demo_.end(), "CONNECTI"));
  groups.insert(groups.end(), std::find(demo_.begin(), demo_.end(), "BODY"), demo_.end() - 1);
  ASSERT_EQ(groups.back(), "        BODY           1     1.0");
  restart_deck(groups);
  Modules m{};
  m.XINPT = XINPT;
  m.GP3 = gp3_reached;
  EXPECT_EXIT(ZEPH(m), ::testing::ExitedWithCode(1), "");
  const auto lst = file_lines("run2.lst");
  EXPECT_TRUE(contains(lst, "0*** USER FATAL MESSAGE  561, BULK DATA NODE MAY NOT BE ALTERED NOR INPUT IN THE RESTART RUN."));
  EXPECT_EQ(count_containing(lst, " 561, "), 1);
  EXPECT_TRUE(contains(lst, "0THE FOLLOWING FILES WERE USED FROM OLD PROBLEM TAPE TO INITIATE RESTART"));
  EXPECT_TRUE(contains(file_lines("run2.err"), " 561, BULK DATA NODE"));
  EXPECT_FALSE(fs::exists(dir_ / "model.ran"));
}

}  // namespace
}  // namespace zephsol::test
