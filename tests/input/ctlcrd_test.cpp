// Control card reader: card classes, the echo of every card, title cards.
#include <string>

#include "support/infix.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace zephsol::test {
namespace {

class CtlcrdTest : public InputTest {
 protected:
  CTLCOM& ctl() { return input_state().ctl; }
  // The class and the first item's name of the next card returned.
  std::pair<word, std::string> next() {
    CTLCRD();
    std::string name;
    if (ctl().KCLASS == CLS_CARD && ctl().PARSE[0] == 2)
      name = words8_name(ctl().PARSE[1], ctl().PARSE[2]);
    return {ctl().KCLASS, name};
  }
};

TEST_F(CtlcrdTest, ClassesOfCards) {
  const std::vector<std::string> deck = {
      "$ a comment",
      "",
      "CARD1 1",
      "   $ a comment after blanks",
      "OUTPUT",
      "  OUTPUT",
      "BEGIN BULK",
      "  BEGIN BULK",
      "ENDDATA",
      "END DATA",
      "  END   DATA",
      "DATAEND",
      "NOUTPUT",
      "  NOUTPUT",
      "BEGIN BUSINESS",  // columns 1-8 are "BEGIN BU"
      "BEGINNER",
  };
  open_deck(deck);
  const std::pair<word, std::string> expected[] = {
      {CLS_CARD, "CARD1   "}, {CLS_OUTPUT, ""},   {CLS_OUTPUT, ""},  {CLS_BULK, ""},
      {CLS_BULK, ""},         {CLS_ENDDATA, ""},  {CLS_ENDDATA, ""}, {CLS_ENDDATA, ""},
      {CLS_CARD, "DATAEND "}, {CLS_NOUTPUT, ""},  {CLS_NOUTPUT, ""}, {CLS_BULK, ""},
      {CLS_CARD, "BEGINNER"}, {CLS_EOF, ""},      {CLS_EOF, ""},
  };
  for (const auto& e : expected) EXPECT_EQ(next(), e);

  // Every card is echoed once, comments and blank cards included: 20
  // blanks and the 80 columns.
  const auto lst = listing();
  for (const auto& card : deck) {
    const std::string echo = std::string(20, ' ') + card + std::string(80 - card.size(), ' ');
    EXPECT_EQ(std::count(lst.begin(), lst.end(), echo), 1) << card;
  }
}

TEST_F(CtlcrdTest, TitleCardTakesColumns11To80) {
  const std::string text = "A TITLE THAT RUNS PAST COLUMN EIGHTY .........................!!!!!!!!!!XYZ";
  open_deck({"TITLE   XX" + text, "TITLE=TEXT", "SUBTITLE  S"});
  CTLCRD();
  ASSERT_EQ(ctl().KCLASS, CLS_CARD);
  const auto& p = ctl().PARSE;
  EXPECT_EQ(words8_name(p[1], p[2]), "TITLE   ");
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[3], 28);
  std::string stored;
  for (int i = 0; i < 18; ++i) stored += word_name(p[4 + i]);
  EXPECT_EQ(stored, text.substr(0, 70) + "  ");
  EXPECT_EQ(p[22], kEOS);

  // Not a title card: columns 1-8 are not "TITLE   ".
  CTLCRD();
  EXPECT_EQ(std::vector<word>(p.begin(), p.begin() + 9),
            Items().name("TITLE").delim('=').name("TEXT").eos().words());
  CTLCRD();
  EXPECT_EQ(words8_name(p[1], p[2]), "SUBTITLE");
  EXPECT_EQ(word_name(p[4]), "S   ");
}

TEST_F(CtlcrdTest, RejectedCardIsSkippedWithTheFlagSet) {
  open_deck({"12AB", "NEXT"});
  EXPECT_EQ(next(), (std::pair<word, std::string>{CLS_CARD, "NEXT    "}));
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE  302,"));
}

TEST_F(CtlcrdTest, LongAndWindowsLinesAreCutAndCleaned) {
  open_deck({"CARD1 2\r", "CARD2" + std::string(75, ' ') + "EXTRA TEXT"});
  EXPECT_EQ(next().second, "CARD1   ");
  EXPECT_EQ(std::vector<word>(ctl().PARSE.begin(), ctl().PARSE.begin() + 6),
            Items().name("CARD1").integer(2).eos().words());
  EXPECT_EQ(next().second, "CARD2   ");
  EXPECT_TRUE(contains(listing(), std::string(20, ' ') + "CARD2" + std::string(75, ' ')));
  EXPECT_FALSE(contains(listing(), "EXTRA"));
}

}  // namespace
}  // namespace zephsol::test
