// Executive control deck: the system words each card sets and the messages
// 505-530, the heading lines of the echo and the fatal ends.
#include <filesystem>
#include <functional>
#include <string>

#include "support/infix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/ctldck.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inrec.h"

namespace zephsol::test {
namespace {

class CtldckTest : public InputTest {
 protected:
  // Runs the control deck reader over the identification card, FIELD 3,
  // the given cards and a bulk data card.
  void run_cards(const std::vector<std::string>& cards) {
    std::vector<std::string> deck = {"Quorvane DEMO     RUN1", "FIELD 3"};
    deck.insert(deck.end(), cards.begin(), cards.end());
    deck.push_back("BEGIN BULK");
    run_deck(deck);
  }
  void run_deck(const std::vector<std::string>& deck) {
    open_deck(deck);
    CTLDCK();
  }
  // Numbers of the control deck messages printed, in order.
  std::vector<int> messages() {
    std::vector<int> n;
    for (const auto& l : listing()) {
      const auto at = l.find(" MESSAGE 5");
      if (l.rfind("0*** ", 0) == 0 && at != std::string::npos) n.push_back(std::stoi(l.substr(at + 9, 3)));
    }
    return n;
  }
};

struct CardCase {
  const char* what;
  std::vector<std::string> cards;
  std::vector<int> messages;
  std::function<void()> check;
};

TEST_F(CtldckTest, ControlCardsSetTheirWords) {
  const auto words = [] { return sysw(); };
  const CardCase cases[] = {
      {"defaults", {}, {}, [&] {
         const SYSWRD s = words();
         EXPECT_EQ(s.MAXITR, 5);
         EXPECT_EQ(s.ICNVKD, 1);
         EXPECT_EQ(s.CNVTOL, 0.001f);
         EXPECT_EQ(s.ICHKPT, 0);
         EXPECT_EQ(s.ISOLVR, 0);
         EXPECT_EQ(s.IFIELD, 3);
       }},
      {"PARAM in full", {"PARAM 10, BOTH, 1.0E-4, CONT"}, {}, [&] {
         EXPECT_EQ(words().MAXITR, 10);
         EXPECT_EQ(words().ICNVKD, 3);
         EXPECT_EQ(words().CNVTOL, 1.0e-4f);
         EXPECT_EQ(words().ICONT, 1);
       }},
      {"PARAM empty first field", {"PARAM ,,P"}, {}, [&] {
         EXPECT_EQ(words().MAXITR, 5);
         EXPECT_EQ(words().ICNVKD, 2);
       }},
      {"PARAM one value", {"PARAM 10"}, {507}, [&] { EXPECT_EQ(words().MAXITR, 10); }},
      {"PARAM one comma", {"PARAM ,P"}, {507}, [&] { EXPECT_EQ(words().ICNVKD, 1); }},
      {"SOLVER PCG", {"SOLVER = PCG, 1.0E-8, 500"}, {}, [&] {
         EXPECT_EQ(words().ISOLVR, 1);
         EXPECT_EQ(words().PCGTOL, 1.0e-8f);
         EXPECT_EQ(words().PCGMXI, 500);
       }},
      {"SOLVER PCG without a real", {"SOLVER PCG 500"}, {507}, [&] { EXPECT_EQ(words().PCGMXI, 0); }},
      {"SOLVER METIS", {"SOLVER = METIS"}, {}, [&] { EXPECT_EQ(words().ISOLVR, 2); }},
      {"SOLVER SDCOMP", {"SOLVER SDCOMP"}, {}, [&] { EXPECT_EQ(words().ISOLVR, 0); }},
      {"SOLVER twice", {"SOLVER = METI", "SOLVER = PCG"}, {506}, [&] { EXPECT_EQ(words().ISOLVR, 2); }},
      {"CHKPNT alone", {"CHKPNT"}, {}, [&] { EXPECT_EQ(words().ICHKPT, 3); }},
      {"CHKPNT LAST", {"CHKPNT = LAST"}, {}, [&] { EXPECT_EQ(words().ICHKPT, 1); }},
      {"CHKPNT NO", {"CHKPNT NO"}, {}, [&] { EXPECT_EQ(words().ICHKPT, 0); }},
      {"CHKPNT list", {"CHKPNT 2,5,", "9"}, {}, [&] {
         const CHKLST& l = input_state().chklst;
         EXPECT_EQ(words().ICHKPT, 2);
         EXPECT_EQ(l.count, 3);
         EXPECT_EQ(std::vector<word>(l.list.begin(), l.list.begin() + 3), (std::vector<word>{2, 5, 9}));
       }},
      {"CHKPNT negative", {"CHKPNT -1"}, {507}, [] {}},
      {"CHKPNT 101 intervals", [] {
         std::vector<std::string> c{"CHKPNT 0,"};
         for (int i = 1; i < 100; ++i) c.push_back(std::to_string(i) + ",");
         c.push_back("100");
         return c;
       }(), {513}, [] { EXPECT_EQ(input_state().chklst.count, 100); }},
      {"CHKPNT continuation meets the bulk data", {"CHKPNT 2,"}, {507}, [] {
         EXPECT_EQ(input_state().ctl.KCLASS, CLS_BULK);
       }},
      {"DIAG with delimiters", {"DIAG 4=1, 10/3,", "55(2)", "DIAG 70=9"}, {}, [] {
         EXPECT_EQ(DIAGLV(4), 1);
         EXPECT_EQ(DIAGLV(10), 3);
         EXPECT_EQ(DIAGLV(55), 2);
         EXPECT_EQ(DIAGLV(70), 1);
       }},
      {"DIAG with a comma", {"DIAG 4,1"}, {507}, [] { EXPECT_EQ(DIAGLV(4), 0); }},
      {"RERUN AUTOSPC AUTOMPC", {"RERUN = NO", "AUTOSPC = YES", "AUTOMPC YES"}, {}, [&] {
         EXPECT_EQ(words().IRERUN, -1);
         EXPECT_EQ(words().IASPC, 1);
         EXPECT_EQ(words().IAMPC, 1);
       }},
      {"AUTOSPC other", {"AUTOSPC = MAYBE"}, {507}, [&] { EXPECT_EQ(words().IASPC, 0); }},
      {"SINTVAL list", {"SINTVAL 3,", "5,", "7"}, {}, [&] {
         const SINTLS& l = input_state().sintls;
         EXPECT_EQ(words().ISINTV, 3);
         EXPECT_EQ(l.count, 3);
         EXPECT_EQ(std::vector<word>(l.list.begin(), l.list.begin() + 3), (std::vector<word>{3, 5, 7}));
       }},
      {"SINTVAL 1", {"SINTVAL 1"}, {}, [&] { EXPECT_EQ(words().ISINTV, 0); }},
      {"SINTVAL descending", {"SINTVAL 3,", "2"}, {507}, [] {}},
      {"SINTVAL continuation meets the bulk data", {"SINTVAL 3,"}, {507}, [] {
         EXPECT_EQ(input_state().ctl.KCLASS, CLS_BULK);
         EXPECT_EQ(input_state().sintls.count, 1);
       }},
      {"SINTVAL 101 intervals", [] {
         std::vector<std::string> c{"SINTVAL 2,"};
         for (int i = 2; i < 101; ++i) c.push_back(std::to_string(i + 1) + ",");
         c.push_back("200");
         return c;
       }(), {507}, [] { EXPECT_EQ(input_state().sintls.count, 100); }},
      {"unknown card", {"SOLVR = PCG"}, {505}, [&] { EXPECT_EQ(words().ISOLVR, 0); }},
      {"stray continuation reported once", {"PARAM 10,", "BOTH,", "1.0E-3"}, {507}, [] {}},
      // The card the reader returns after a rejected one is dropped too.
      {"rejected card", {"12AB", "SOLVER = METI", "AUTOSPC YES"}, {}, [&] {
         EXPECT_EQ(words().ISOLVR, 0);
         EXPECT_EQ(words().IASPC, 1);
       }},
      {"title cards", {"TITLE     FIRST LINE", "SUBTITLE  SECOND"}, {}, [] {
         const PageTexts& p = exec_state().page;
         EXPECT_EQ(std::string(p.TITLE.data(), 72), padded("FIRST LINE", 72));
         EXPECT_EQ(std::string(p.SUBTITLE.data(), 72), padded("SECOND", 72));
       }},
      {"quoted title", {"  TITLE 'QUOTED'"}, {}, [] {
         EXPECT_EQ(std::string(exec_state().page.TITLE.data(), 8), "QUOTED  ");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fresh_records();
    run_cards(c.cards);
    EXPECT_EQ(messages(), c.messages);
    const bool rejected = contains(listing(), "0*** USER FATAL MESSAGE  3");
    EXPECT_EQ(sysw().IERFLG, c.messages.empty() && !rejected ? 0 : 1);
    c.check();
  }
}

TEST_F(CtldckTest, IdentificationAndRequiredCards) {
  run_deck({"Quorvane DEMO     RUN1", "BEGIN BULK"});
  EXPECT_EQ(messages(), std::vector<int>{520});
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE 520, CONTROL CARD FIELD    IS MISSING."));
  EXPECT_EQ(sysw().IERFLG, 1);
  const IDREC& id = input_state().idrec;
  EXPECT_EQ(words8_name(id[0], id[1]), "DEMO    ");
  EXPECT_EQ(words8_name(id[2], id[3]), "RUN1    ");
  EXPECT_EQ(id[4], 1997 * 65536 + 1 * 256 + 1);  // run date 01/01/97 at load
  EXPECT_EQ(id[5], 1);
  EXPECT_EQ(words8_name(id[6], id[7]), "10.002  ");

  fresh_records();
  run_deck({"FIELD 3", "Quorvane DEMO RUN1", "BEGIN BULK"});
  EXPECT_EQ(messages(), std::vector<int>{519});
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE 519, ID CARD MUST PRECEED ALL OTHER CONTOL CARDS."));

  // FIELD accepts no delimiter and values 1 to 4 only; a faulty FIELD card
  // still counts as given.
  for (const char* field : {"FIELD = 3", "FIELD 5", "FIELD"}) {
    fresh_records();
    run_deck({"Quorvane DEMO RUN1", field, "BEGIN BULK"});
    EXPECT_EQ(messages(), std::vector<int>{507}) << field;
    EXPECT_EQ(sysw().IFIELD, 3);
  }

  fresh_records();
  run_deck({"QUORVANE DEMO RUN1", "FIELD 3", "BEGIN BULK"});
  EXPECT_EQ(messages(), (std::vector<int>{505, 520}));
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE 505, CONTOL CARD QUORVANE IS ILLEGAL."));
  EXPECT_EQ(errlog().size(), 2u);
}

TEST_F(CtldckTest, PackedDates) {
  EXPECT_EQ(packed_date("12/31/90"), 2090 * 65536 + 12 * 256 + 31);
  EXPECT_EQ(packed_date("01/02/91"), 1991 * 65536 + 1 * 256 + 2);
  EXPECT_EQ(packed_date("07/04/25"), 2025 * 65536 + 7 * 256 + 4);
}

TEST_F(CtldckTest, EchoStartsANewPageUnderTheDeckHeadings) {
  sysw().NLINE = 0;  // a page already in progress
  run_cards({"$ COMMENT", ""});
  const auto lst = listing();
  ASSERT_GE(lst.size(), 6u);
  EXPECT_EQ(lst[0].substr(0, 1), "1");
  EXPECT_NE(lst[0].find("PAGE     1"), std::string::npos);
  const auto& h = exec_state().page.HEADLN;
  const std::string h1(h[0].data(), 128), h2(h[1].data(), 128), h3(h[2].data(), 128);
  EXPECT_EQ(lst[3], h1);
  EXPECT_EQ(lst[4], h2);
  EXPECT_EQ(lst[5], h3);
  EXPECT_EQ(h1.substr(0, 85), std::string(30, ' ') + "E X E C U T I V E   C O N T R O L   D E C K   E C H O E");
  // Card column k is echoed in column 20 + k under ruler column 20 + k.
  EXPECT_EQ(h3.substr(20, 80), "1...:....0" + [] {
    std::string r;
    for (int i = 0; i < 7; ++i) r += "....:....0";
    return r;
  }());
  for (int d = 1; d <= 8; ++d) EXPECT_EQ(h2[static_cast<std::size_t>(19 + 10 * d)], '0' + d);
  EXPECT_EQ(h2[0], '0');
  EXPECT_EQ(lst[6], std::string(20, ' ') + padded("Quorvane DEMO     RUN1", 80));
  EXPECT_EQ(lst[8], std::string(20, ' ') + padded("$ COMMENT", 80));
  EXPECT_EQ(lst[9], std::string(100, ' '));
  EXPECT_EQ(lst[10], std::string(20, ' ') + padded("BEGIN BULK", 80));
}

TEST_F(CtldckTest, EndOfDeckInsideTheControlDeckEndsTheRun) {
  open_deck({"Quorvane DEMO RUN1", "FIELD 3"});
  EXPECT_EXIT(CTLDCK(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE 528, EXECUTIVE CONTOL DECK PREMATUALY ENDED."));
  EXPECT_TRUE(contains(errlog(), "0*** USER FATAL MESSAGE 528, EXECUTIVE CONTOL DECK PREMATUALY ENDED."));

  // Inside a continuation card as well.
  fresh_records();
  open_deck({"Quorvane DEMO RUN1", "CHKPNT 1,"});
  EXPECT_EXIT(CTLDCK(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "MESSAGE 528,"));
}

TEST_F(CtldckTest, CheckpointingStartsTheNewTapeWithTheIdentification) {
  run_cards({"CHKPNT"});
  ASSERT_EQ(sysw().IERFLG, 0);
  word mark = 0;
  const auto recs = block_records(NPTP, mark);
  const IDREC& id = input_state().idrec;
  EXPECT_EQ(recs, (std::vector<std::vector<word>>{std::vector<word>(id.begin(), id.end())}));
  EXPECT_EQ(mark, 0x30);  // end-of-set

  // A deck with a fatal error writes nothing on the tape.
  fresh_records();
  std::filesystem::remove("NPTP");
  run_cards({"CHKPNT", "FIELD 3"});
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_FALSE(std::filesystem::exists("NPTP"));
}

// Writes an old problem tape whose identification record is id.
void write_old_tape(const IDREC& id) {
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  DBOPEN(OPTP, buffer, kWrite);
  DBWRIT(OPTP, id.data(), 8, 1);
  DBEOS(OPTP);
  DBCLOS(OPTP, kCloseRewind);
}

TEST_F(CtldckTest, RestartChecksTheOldTape) {
  const auto demo = name_words8("DEMO"), run1 = name_words8("RUN1"), run2 = name_words8("RUN2");
  const auto ver = name_words8("10.002");
  const word date = 2024 * 65536 + 3 * 256 + 7;
  write_old_tape({demo[0], demo[1], run1[0], run1[1], date, 1, ver[0], ver[1]});
  open_deck({"Quorvane DEMO RUN1", "RESTART 4", "FIELD 3", "BEGIN BULK"});
  CTLDCK();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(sysw().IRSTRT, 4);

  fresh_records();
  write_old_tape({demo[0], demo[1], run2[0], run2[1], date, 1, ver[0], ver[1]});
  open_deck({"Quorvane DEMO RUN1", "RESTART", "FIELD 3", "BEGIN BULK"});
  EXPECT_EXIT(CTLDCK(), ::testing::ExitedWithCode(1), "");
  const auto lst = listing();
  const std::vector<std::string> expected = {
      "0*** USER FATAL MESSAGE 509, WRONG OLD TAPE MOUNTED.",
      std::string(30, ' ') + "OLD PROBLEM TAPE ID = DEMO    ,RUN2    ,07/03/2024"};
  ASSERT_GE(lst.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(lst.end() - 2, lst.end()), expected);
  EXPECT_EQ(errlog(), expected);
}

TEST_F(CtldckTest, RestartWithoutAnOldTapeEndsTheRun) {
  open_deck({"Quorvane DEMO RUN1", "RESTART 3", "FIELD 3", "BEGIN BULK"});
  EXPECT_EXIT(CTLDCK(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "0*** SYSTEM FATAL MESSAGE 530, COULD NOT OPEN FILE NAMED OPTP"));
  EXPECT_TRUE(contains(console(), "0*** SYSTEM FATAL MESSAGE 530, COULD NOT OPEN FILE NAMED OPTP"));
}

TEST_F(CtldckTest, NoRoomForTheTapeBuffer) {
  sysw().NBUFSZ = sysw().COREND;  // the whole open core
  open_deck({"Quorvane DEMO RUN1", "FIELD 3", "BEGIN BULK"});
  EXPECT_EXIT(CTLDCK(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "0*** SYSTEM FATAL MESSAGE 503, MEMORY TOO SMALL TO ALLOCATE A BUFFER."));
}

}  // namespace
}  // namespace zephsol::test
