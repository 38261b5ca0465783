// Free-field card reader: item lists and the card messages 300-308.
#include <cstring>
#include <string>

#include "support/infix.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/cards.h"

namespace zephsol::test {
namespace {

class FrcardTest : public InputTest {};

struct ItemCase {
  const char* card;
  Items expected;
};

TEST_F(FrcardTest, ItemListsOfCards) {
  const ItemCase cases[] = {
      {"CHKPNT 1,2,", Items().name("CHKPNT").integer(1).integer(2).cont()},
      {"A,,B", Items().name("A").name("").name("B").eos()},
      {"DIAG 4=1", Items().name("DIAG").integer(4).delim('=').integer(1).eos()},
      {"DIAG 4(1)", Items().name("DIAG").integer(4).delim('(').integer(1).eos()},
      {"ABCDEFGHIJ", Items().name("ABCDEFGH").eos()},
      {"X $ ANY TEXT 'UNCLOSED", Items().name("X").eos()},
      {"2147483639", Items().integer(2147483639).eos()},
      {"-2147483639", Items().integer(-2147483639).eos()},
      {"1.2345678", Items().real(1.2345678f).eos()},
      {"0.0E99", Items().real(0.0f).eos()},
      {"1.5D0", Items().dreal(1.5).eos()},
      {"1.5E0 1.5", Items().real(1.5f).real(1.5f).eos()},
      {"'IT''S'", Items().text("IT'S").eos()},
      {"''", Items().text("").eos()},
      {"-ABC +.5", Items().name("-ABC").real(0.5f).eos()},
      // A card beginning with a delimiter starts with an empty name.
      {"= 3", Items().name("").delim('=').integer(3).eos()},
      // ")" is never emitted, and after it a comma gives no empty name.
      {"A(1),B", Items().name("A").delim('(').integer(1).name("B").eos()},
      {"A)", Items().name("A").eos()},
      {"A/", Items().name("A").delim('/').cont()},
      {"   $ COMMENT", Items().cont().name("").eos()},
      {"", Items().cont()},
      {"-1.5E-3", Items().real(-1.5e-3f).eos()},
      {"12345678901234567.0", Items().real(1.2345678901234567e16f).eos()},
      // Leading zeros are not significant digits: a long fraction keeps its value.
      {"0.0000000000000000000012345", Items().real(1.2345e-21f).eos()},
      {"NAME'TEXT'", Items().name("NAME").text("TEXT").eos()},
      {"5$", Items().integer(5).eos()},
      // Sixteen digits of which only one is significant.
      {"0000000000000001", Items().integer(1).eos()},
  };
  for (const auto& c : cases) {
    const std::string card = c.card;
    sysw().IERFLG = 0;
    EXPECT_EQ(parse_card(card), c.expected.words()) << card;
    EXPECT_EQ(sysw().IERFLG, 0) << card;
  }
}

TEST_F(FrcardTest, RealValuesAreScaledExactly) {
  // 1.2345678: seven leading digits times ten plus the eighth, then 10^-7.
  const auto items = parse_card("1.2345678D0");
  double v;
  std::memcpy(&v, &items[1], sizeof v);
  EXPECT_EQ(v, 12345678.0 / 1e7);
  const auto big = parse_card("123456789012345678D0");  // three digits dropped
  std::memcpy(&v, &big[1], sizeof v);
  EXPECT_EQ(v, 123456789012345.0 * 1e3);
}

struct FaultCase {
  const char* card;
  word number;
  const char* text;
};

TEST_F(FrcardTest, RejectedCardsPrintTheirMessage) {
  const std::string col72 = std::string(71, ' ');
  const FaultCase cases[] = {
      {"12AB", 302, "0*** INVALID CHARACTER FOLLOWING INTEGER IN COLUMN  3"},
      {"1.5X", 303, "0*** DATA ERROR-UNANTICIPATED CHARACTER IN COLUMN  4"},
      {"1.5E2X", 303, "0*** DATA ERROR-UNANTICIPATED CHARACTER IN COLUMN  6"},
      {"1.2.3", 303, "0*** DATA ERROR-UNANTICIPATED CHARACTER IN COLUMN  4"},
      {"2147483640", 301, "0*** INTEGER DATA OUT OF MACHINE RANGE"},
      {"2147483647", 301, "0*** INTEGER DATA OUT OF MACHINE RANGE"},
      {"12345678901234567", 301, "0*** INTEGER DATA OUT OF MACHINE RANGE"},
      {"1.0E39", 304, "0*** DATA ERROR MISSING DELIMITER OR REAL POWER OUT OF MACHINE RANGE"},
      {"1.0E-39", 304, "0*** DATA ERROR MISSING DELIMITER OR REAL POWER OUT OF MACHINE RANGE"},
      {"1.0E1001", 304, "0*** DATA ERROR MISSING DELIMITER OR REAL POWER OUT OF MACHINE RANGE"},
      {"'OPEN", 305, "0*** SYNTAX ERROR IN LITERAL DATA"},
  };
  for (const auto& c : cases) {
    sysw().IERFLG = 0;
    EXPECT_EQ(parse_card(c.card), std::vector<word>{0}) << c.card;
    EXPECT_EQ(sysw().IERFLG, 1) << c.card;
  }
  const auto lst = listing();
  const auto log = errlog();
  EXPECT_EQ(lst, log);
  ASSERT_EQ(lst.size(), 2 * std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(lst[2 * i], "0*** USER FATAL MESSAGE  " + std::to_string(cases[i].number) + ",");
    EXPECT_EQ(lst[2 * i + 1], cases[i].text);
  }
}

TEST_F(FrcardTest, Column72Rules) {
  // A sign, a point or an exponent letter in column 72 is message 300.
  for (const std::string tail : {"-", "5.", "5E"}) {
    sysw().IERFLG = 0;
    const std::string card = std::string(72 - tail.size(), ' ') + tail;
    EXPECT_EQ(parse_card(card), std::vector<word>{0}) << card;
  }
  EXPECT_EQ(count_containing(listing(), "0*** INVALID DATA COLUMN 72"), 3);
  // Columns 73-80 are never read: a quote closed there is not closed.
  sysw().IERFLG = 0;
  EXPECT_EQ(parse_card(std::string(68, ' ') + "'ABCDEF'"), std::vector<word>{0});
  EXPECT_TRUE(contains(listing(), "0*** SYNTAX ERROR IN LITERAL DATA"));
  // A name that runs into column 72 ends there.
  sysw().IERFLG = 0;
  EXPECT_EQ(parse_card(std::string(70, ' ') + "ABCDEF"), Items().name("AB").eos().words());
}

TEST_F(FrcardTest, FullItemListIsRefusedNotOverrun) {
  // 29 "=" take 145 words (an empty name and the delimiter each); the text
  // that follows passes the room test of its first word but would need ten.
  const std::string card = std::string(29, '=') + "'" + std::string(40, 'T') + "'";
  const auto card_words = card_of(card);
  std::vector<word> items(160, 0x5A5A5A5A);
  FRCARD(card_words, items, 150);
  EXPECT_EQ(items[0], 0);
  EXPECT_EQ(sysw().IERFLG, 1);
  for (std::size_t i = 150; i < items.size(); ++i) EXPECT_EQ(items[i], 0x5A5A5A5A) << i;
  EXPECT_TRUE(contains(listing(), "0*** USER FATAL MESSAGE  308,"));
  EXPECT_TRUE(contains(
      listing(), "0*** ROUTINE FRCARD FINDS OUTPUT BUFFER TOO SMALL TO PROCESS CARD COMPLETELY"));

  // Fewer than five free words before an item.
  sysw().IERFLG = 0;
  EXPECT_EQ(parse_card("A B C", 8), std::vector<word>{0});
  sysw().IERFLG = 0;
  EXPECT_EQ(parse_card("A B", 8), Items().name("A").name("B").eos().words());
}

}  // namespace
}  // namespace zephsol::test
