// Grouping of the bulk data: INP1 records and GRPTAB, the numbered echo,
// messages 531-535, the free-field rebuild with 306 and 307, fatal ends.
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/drive/modules.h"

namespace zephsol::test {
namespace {

class GroupTest : public BulkTest {
 protected:
  // The records of INP1, each as its cards' text.
  std::vector<std::vector<std::string>> inp1_cards() {
    word mark = 0;
    std::vector<std::vector<std::string>> out;
    for (const auto& rec : block_records(INP1, mark)) {
      std::vector<std::string> cards;
      for (std::size_t i = 0; i + 20 <= rec.size(); i += 20) {
        std::string c;
        for (std::size_t j = 0; j < 20; ++j) c += word_name(rec[i + j]);
        cards.push_back(c);
      }
      if (rec.size() % 20 != 0) cards.push_back("(" + std::to_string(rec.size()) + " words)");
      out.push_back(cards);
    }
    return out;
  }
  // The cards of group i read back from its GRPTAB position.
  std::vector<std::string> group_cards_at(word i) {
    std::vector<std::string> cards;
    DBOPEN(INP1, sysw().COREND - sysw().NBUFSZ, kRead);
    DBGOTO(INP1, grptab().at(i).POS);
    for (;;) {
      std::array<word, 20> card{};
      word got = 0, status = 0;
      DBRDST(INP1, card.data(), 20, 0, got, status);
      if (status != 0) break;
      std::string c;
      for (word w : card) c += word_name(w);
      cards.push_back(c);
    }
    DBCLOS(INP1, kCloseRewind);
    return cards;
  }
  static std::string numbered(int n, const std::string& card) {
    const std::string num = std::to_string(n);
    return std::string(7 + 8 - num.size(), ' ') + num + "-    " + padded(card, 80);
  }
  static std::string plain(const std::string& card) { return std::string(20, ' ') + padded(card, 80); }
};

TEST_F(GroupTest, GroupsInOrderOfFirstAppearanceWithTheirTable) {
  const std::string mat = fixed({"1", "0"});
  const std::string n1 = fixed({"1", "", "0.0"});
  const std::string n2 = fixed({"2", "", "1.0"});
  const std::string e1 = fixed({"1", "QPLAN4"});
  group({"$ first comment", "MATERIAL", mat, "NODE", n1, n2, "=OFF", "ELEMENT", e1, "=ON", "$ late comment",
         "END", "CONST", fixed({"", "1"})});
  EXPECT_EQ(sysw().IERFLG, 0);

  const auto p = [](const std::string& s) { return padded(s, 80); };
  const std::vector<std::vector<std::string>> expected = {
      {p("MATERIAL"), p(mat)}, {p("NODE"), p(n1), p(n2)}, {p("ELEMENT"), p(e1)}, {"(1 words)"}};
  EXPECT_EQ(inp1_cards(), expected);

  struct Row {
    word group;
    word cards;
    word header;
  };
  const Row rows[] = {{6, 2, 1}, {1, 3, 3}, {3, 2, 6}};
  for (const Row& r : rows) {
    EXPECT_EQ(grptab().at(r.group).NCARD, r.cards) << r.group;
    EXPECT_EQ(grptab().at(r.group).HDRCRD, r.header) << r.group;
  }
  for (word i = 1; i <= kGroups; ++i) {
    // CONST lies after "END".
    if (i != 6 && i != 1 && i != 3) {
      EXPECT_EQ(grptab().at(i).NCARD, 0) << i;
    }
  }
  EXPECT_EQ(group_cards_at(1), expected[1]);
  EXPECT_EQ(group_cards_at(3), expected[2]);
  EXPECT_EQ(exec_state().GRPCHG[0], 0);

  // The echo: headings on a new page, comments and switches unnumbered, the
  // cards after "=OFF" not shown, "END" numbered.
  const auto lst = listing();
  const std::vector<std::string> echo = {
      plain("$ first comment"), numbered(1, "MATERIAL"), numbered(2, mat), numbered(3, "NODE"),
      numbered(4, n1),          numbered(5, n2),         plain("=OFF"),   plain("=ON"),
      plain("$ late comment"),  numbered(8, "END")};
  std::vector<std::string> shown;
  for (const auto& l : lst)
    if (l.size() == 100) shown.push_back(l);
  EXPECT_EQ(shown, echo);
  ASSERT_GE(lst.size(), 4u);
  EXPECT_EQ(lst[0][0], '1');
  EXPECT_TRUE(contains(lst, std::string(45, ' ') + "B U L K   D A T A   E C H O"));
}

TEST_F(GroupTest, MisplacedAndDuplicatedCards) {
  // Two data cards before the first header: 531 for each. The second NODE
  // group: 532 once, its cards dropped; the first one stands.
  const std::string d1 = fixed({"7"}), d2 = fixed({"8"}), n1 = fixed({"1"}), n9 = fixed({"9"});
  sysw().ECHOPT = 0;
  group({d1, d2, "NODE", n1, "MPC", fixed({"3"}), "NODE", n9, n9, "BODY", fixed({"4"}), "ENDDATA"});
  const auto lst = listing();
  const std::string m531 = " *** USER FATAL MESSAGE   531, THE ABOVE CARD IS NOT PRECEDED BY HEADE  R CARD.";
  const std::string m532 = " *** USER FATAL MESSAGE   532, THE ABOVE HEADER CARD IS DUPLICATED.";
  // With the echo off only the refused cards are shown, each before its message.
  std::vector<std::string> shown;
  for (const auto& l : lst)
    if (l.size() == 100 || l.find("*** USER") != std::string::npos) shown.push_back(l);
  EXPECT_EQ(shown, (std::vector<std::string>{numbered(1, d1), m531, numbered(2, d2), m531, numbered(7, "NODE"), m532}));
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_EQ(grptab().at(1).NCARD, 2);
  EXPECT_EQ(grptab().at(1).HDRCRD, 3);
  EXPECT_EQ(group_cards_at(1), (std::vector<std::string>{padded("NODE", 80), padded(n1, 80)}));
  EXPECT_EQ(grptab().at(8).NCARD, 2);
  EXPECT_EQ(grptab().at(11).NCARD, 2);
  EXPECT_EQ(grptab().at(11).HDRCRD, 10);
  EXPECT_EQ(inp1_cards().size(), 4u);  // NODE, MPC, BODY and the closing record
}

TEST_F(GroupTest, NoBulkData) {
  struct Case {
    const char* what;
    word cls;
    std::vector<std::string> cards;
    std::vector<std::string> messages;
    word iwrnfl;
  };
  const std::string m533 = " *** USER FATAL MESSAGE   533, NO BULK DATA.";
  const std::string m535 = "0*** USER WARNING MESSAGE 535, ENDDATA  CARD IS MISSING";
  const Case cases[] = {
      {"headers only", CLS_BULK, {"NODE", "ELEMENT", "ENDDATA"}, {m533}, 0},
      {"ENDDATA after the control deck", CLS_ENDDATA, {}, {m535, m533}, 1},
      {"end of file inside a group", CLS_BULK, {"NODE"}, {m535, m533}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh_records();
    reset_bulk_state();
    input_state().ctl.KCLASS = c.cls;
    group(c.cards);
    std::vector<std::string> shown;
    for (const auto& l : listing())
      if (l.find("*** USER") != std::string::npos) shown.push_back(l);
    EXPECT_EQ(shown, c.messages);
    EXPECT_EQ(sysw().IERFLG, 1);
    EXPECT_EQ(sysw().IWRNFL, c.iwrnfl);
  }
}

TEST_F(GroupTest, EndOfFileClosesTheOpenGroup) {
  group({"NODE", fixed({"1"}), fixed({"2"})});
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(sysw().IWRNFL, 1);
  EXPECT_EQ(grptab().at(1).NCARD, 3);
  EXPECT_EQ(group_cards_at(1).size(), 3u);
}

TEST_F(GroupTest, RestartMarksTheGroupsGiven) {
  // The old tape of the restart: an identification set and a bulk data set
  // without groups.
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const std::vector<word> id(8, 1), bulk = {2147483647, name_word("BULK"), 0, 0, 0, 0, 0, 0};
  DBOPEN(OPTP, buffer, kWrite);
  DBWRIT(OPTP, id.data(), 8, 1);
  DBEOS(OPTP);
  DBWRIT(OPTP, bulk.data(), 8, 1);
  DBWRIT(OPTP, card_of("ENDDATA").data(), 20, 1);
  DBEOS(OPTP);
  DBCLOS(OPTP, kCloseRewind);
  sysw().IRSTRT = 2;
  group({"HISTORY", fixed({"INTERVAL", "1"}), "ENDDATA"});
  EXPECT_EQ(DGCHNG("HISTORY "), -1);
  for (std::string_view g : kGroupNames) {
    if (g != "HISTORY ") {
      EXPECT_EQ(DGCHNG(g), 0) << g;
    }
  }
}

TEST_F(GroupTest, FreeFieldCardsAreRebuilt) {
  struct Case {
    std::string card;
    std::string rebuilt;  // empty: unchanged
    std::vector<word> messages;
  };
  const std::string ten = "A,B,C,D,E,F,G,H,I,J";
  const Case cases[] = {
      {"NODE,1,0.0,0.0,0.0", fixed({"NODE", "1", "0.0", "0.0", "0.0"}), {}},
      {",1,3,1,,1,2", fixed({"", "1", "3", "1", "", "1", "2"}), {}},
      {"AA BB,CC", fixed({"AA", "BB", "CC"}), {}},
      {"AA,,CC", fixed({"AA", "", "CC"}), {}},
      {"  AA ,  ,CC/DD", fixed({"AA", "", "CC", "DD"}), {}},
      {"AA BB" + std::string(30, ' ') + ",CC", "", {}},
      {"$ A,B", "", {}},
      {"=ON,A", "", {}},
      {ten, fixed({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}), {}},
      {ten + ",K", fixed({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}), {306}},
      {ten + ",,", fixed({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"}), {306}},
      {"NODE,123456789,2", fixed({"NODE", "12345678", "2"}), {307}},
      {"ABCDEFGHIJ," + ten, fixed({"ABCDEFGH", "A", "B", "C", "D", "E", "F", "G", "H", "I"}), {306, 307}},
  };
  std::vector<std::string> deck;
  for (const Case& c : cases) deck.push_back(c.card);
  open_deck(deck);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.card);
    const std::size_t before = errlog().size();
    bulk_state().NBCARD = 41;
    BLKCRD();
    std::string got;
    for (word w : input_state().ctl.CARD) got += word_name(w);
    EXPECT_EQ(got, padded(c.rebuilt.empty() ? c.card : c.rebuilt, 80));
    const auto log = errlog();
    std::vector<std::string> fresh(log.begin() + static_cast<long>(before), log.end());
    std::vector<std::string> expected;
    for (word m : c.messages)
      expected.push_back("0*** USER FATAL MESSAGE  " + std::to_string(m) + ", CARD NUMBER      42, MORE THAN " +
                         (m == 306 ? "10 FIELDS IN A CARD." : "8 CHARACTERS IN A FIELD."));
    EXPECT_EQ(fresh, expected);
  }
  BLKCRD();
  EXPECT_EQ(input_state().ctl.KCLASS, CLS_EOF);
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST_F(GroupTest, FatalEnds) {
  // Two buffers that do not fit, and INP1 already open.
  open_deck({"NODE", "ENDDATA"});
  sysw().COREND = 1 + 2 * sysw().NBUFSZ - 1;
  EXPECT_EXIT(XMERGE(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(listing(), "INSUFFICIENT MEMORY.  REQUIRED ="));
  fresh_records();
  open_deck({"NODE", "ENDDATA"});
  DBOPEN(INP1, sysw().COREND - sysw().NBUFSZ, kWrite);
  EXPECT_EXIT(XMERGE(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "PROGRAM LOGIC ERROR"));
  EXPECT_TRUE(contains(errlog(), " 201"));
}

}  // namespace
}  // namespace zephsol::test
