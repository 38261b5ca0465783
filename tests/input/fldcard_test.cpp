// Fixed-field card access: groups and cards read back from INP1, the field
// conversions with their defaults, statuses and messages 2101-2103.
#include <cstdlib>
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/input/fldcard.h"

namespace zephsol::test {
namespace {

class FieldTest : public BulkTest {
 protected:
  // Groups a "NODE" group of the given data cards and opens it.
  void open_node_group(const std::vector<std::string>& cards) {
    std::vector<std::string> deck = {"$ comment", "NODE"};
    deck.insert(deck.end(), cards.begin(), cards.end());
    deck.push_back("ENDDATA");
    group(deck);
    open_inp1();
    GRPOPN(1);
  }
  void next_card() {
    word status = -9;
    NXTCRD(status);
    ASSERT_EQ(status, kCardRead);
  }
  // Lines of a unit written after the first `from` lines.
  std::vector<std::string> since(int unit, std::size_t from) {
    const auto all = lines_of(unit);
    return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
  }
};

enum class Reader { Int, Real };

struct FieldCase {
  const char* text;  // field 2 of the card
  Reader reader;
  double value;      // expected value (the default 7 after an error or for a blank field)
  word status;
  word msg;          // message number, 0 for none
  int col;           // column the message names
};

constexpr double kDefault = 7;

const FieldCase kCases[] = {
    // Integers.
    {"   -12", Reader::Int, -12, 1, 0, 0},
    {"+", Reader::Int, 0, 1, 0, 0},
    {"-", Reader::Int, 0, 1, 0, 0},
    {"", Reader::Int, kDefault, 0, 0, 0},
    {"0042", Reader::Int, 42, 1, 0, 0},
    {"12345678", Reader::Int, 12345678, 1, 0, 0},
    {" 7     ", Reader::Int, 7, 1, 0, 0},
    {"1 2", Reader::Int, kDefault, -1, 2101, 11},
    {"- 5", Reader::Int, kDefault, -1, 2101, 11},
    {"1.5", Reader::Int, kDefault, -1, 2101, 10},
    {"  X1", Reader::Int, kDefault, -1, 2101, 11},
    {"12-", Reader::Int, kDefault, -1, 2101, 11},
    // REALs: the exponent forms, the point, the blanks, the limits.
    {"1.5E-3", Reader::Real, 1.5e-3, 1, 0, 0},
    {"1.5-3", Reader::Real, 1.5e-3, 1, 0, 0},
    {"1.5 E -3", Reader::Real, 1.5e-3, 1, 0, 0},
    {"1.5D-3", Reader::Real, 1.5e-3, 1, 0, 0},
    {"1.5 -3", Reader::Real, 1.5e-3, 1, 0, 0},
    {"1.5E+3", Reader::Real, 1.5e3, 1, 0, 0},
    {" 25E2", Reader::Real, 2500, 1, 0, 0},
    {".5", Reader::Real, 0.5, 1, 0, 0},
    {"+.5", Reader::Real, 0.5, 1, 0, 0},
    {"-2.", Reader::Real, -2, 1, 0, 0},
    {"-0.0625", Reader::Real, -0.0625, 1, 0, 0},
    {"12345678", Reader::Real, 12345678, 1, 0, 0},
    {"0.0E99", Reader::Real, 0, 1, 0, 0},
    {"-", Reader::Real, 0, 1, 0, 0},
    {"", Reader::Real, kDefault, 0, 0, 0},
    {"9.E37", Reader::Real, 9e37, 1, 0, 0},
    {"1.E-38", Reader::Real, 1e-38, 1, 0, 0},
    {"10.E37", Reader::Real, kDefault, -1, 2103, 9},
    {"1.0E39", Reader::Real, kDefault, -1, 2103, 9},
    {"1.0E-38", Reader::Real, kDefault, -1, 2103, 9},
    {"1.5E", Reader::Real, kDefault, -1, 2102, 16},
    {"1.5E-", Reader::Real, kDefault, -1, 2102, 16},
    {"1.5 3", Reader::Real, kDefault, -1, 2102, 13},
    {"1.5E3 4", Reader::Real, kDefault, -1, 2102, 15},
    {"1.5E+-3", Reader::Real, kDefault, -1, 2102, 14},
    {"1.5EE3", Reader::Real, kDefault, -1, 2102, 13},
    {"1..5", Reader::Real, kDefault, -1, 2102, 11},
    {"1.5X", Reader::Real, kDefault, -1, 2102, 12},
    {"E5", Reader::Real, kDefault, -1, 2102, 9},
};

TEST_F(FieldTest, ConversionsGiveValueStatusAndMessage) {
  std::vector<std::string> cards;
  for (const FieldCase& c : kCases) cards.push_back(fixed({"1", c.text}));
  open_node_group(cards);
  for (const FieldCase& c : kCases) {
    SCOPED_TRACE(std::string("field '") + c.text + "'");
    next_card();
    const std::size_t before = lines_of(6).size();
    word status = -9;
    if (c.reader == Reader::Int) {
      word v = 0;
      INTFLD(2, v, 7, status);
      EXPECT_EQ(v, static_cast<word>(c.value));
    } else {
      float v = 0;
      RELFLD(2, v, 7.0f, status);
      // The value nearest the decimal text, rounded once.
      EXPECT_EQ(v, static_cast<float>(c.value));
    }
    EXPECT_EQ(status, c.status);
    const auto out = since(6, before);
    if (c.msg == 0) {
      EXPECT_FALSE(contains(out, "USER FATAL MESSAGE"));
      continue;
    }
    ASSERT_TRUE(contains(out, "*** USER FATAL MESSAGE    " + std::to_string(c.msg) + ","));
    const std::string detail = c.msg == 2103 ? "FIELD BEGINNING FROM COLUMN" : "IN COLUMN";
    EXPECT_TRUE(contains(out, detail + (c.col < 10 ? "  " : " ") + std::to_string(c.col))) << out.back();
  }
  word status = -9;
  NXTCRD(status);
  EXPECT_EQ(status, kGroupEnded);
  EXPECT_EQ(crdcom().NFATAL, 17);
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST_F(FieldTest, MessageLinesAndTheirUnits) {
  // Integer errors go to the listing and the error log, REAL errors to the
  // listing only; every header names the card and the group. Eight columns
  // cannot pass the integer limit, so a lower limit shows message 2100.
  open_node_group({fixed({"1", "1 2"}), fixed({"2", "1.5 3"}), fixed({"3", "12345"}), fixed({"4", "1.E45"})});
  input_state().chr.INTLIM = 99;
  word iv = 0, status = 0;
  float rv = 0;
  next_card();
  INTFLD(2, iv, 0, status);
  next_card();
  RELFLD(2, rv, 0.0f, status);
  next_card();
  INTFLD(2, iv, 0, status);
  next_card();
  RELFLD(2, rv, 0.0f, status);
  const auto head = [](int number, int card) {
    return "0*** USER FATAL MESSAGE    " + std::to_string(number) + ",  CARD NUMBER      " +
           std::to_string(card) + ",  DATA GROUP NAME- " + padded("NODE", 24);
  };
  const std::vector<std::string> int_lines = {
      head(2101, 2), "          ILLEGAL CHARACTER 2 IN COLUMN 11",
      head(2100, 4), "          FIELD BEGINNING FROM COLUMN  9, INTEGER DATA OUT OF MACHINE RANGE."};
  const std::vector<std::string> real_lines = {
      head(2102, 3), "          ILLEGAL CHARACTER 3 IN COLUMN 13",
      head(2103, 5), "          FIELD BEGINNING FROM COLUMN  9, REAL EXPONENT OUT OF MACHINE RANGE."};
  const auto lst = listing();
  for (const auto& l : int_lines) EXPECT_TRUE(contains(lst, l)) << l;
  for (const auto& l : real_lines) EXPECT_TRUE(contains(lst, l)) << l;
  EXPECT_EQ(errlog(), int_lines);
}

TEST_F(FieldTest, ErrorsPastTheLimitAreCountedNotPrinted) {
  open_node_group({fixed({"1", "1X"})});
  next_card();
  crdcom().NFATAL = 100;
  word v = 0, status = 0;
  INTFLD(2, v, 5, status);
  EXPECT_EQ(v, 5);
  EXPECT_EQ(status, kFieldError);
  EXPECT_EQ(crdcom().NFATAL, 101);
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_TRUE(errlog().empty());
}

TEST_F(FieldTest, GroupHeaderAndCardNumbers) {
  // "$ comment" is not numbered, so "NODE" is card 1 and its cards 2 and 3.
  open_node_group({fixed({"5"}), fixed({"6"})});
  EXPECT_EQ(std::string(crdcom().GRPNAM.data(), 24), padded("NODE", 24));
  EXPECT_EQ(crdcom().CARDNO, 1);
  EXPECT_EQ(words8_name(bulk_state().fld.CARDIM[0], bulk_state().fld.CARDIM[1]), "NODE    ");
  for (word id : {5, 6}) {
    next_card();
    EXPECT_EQ(crdcom().CARDNO, id - 3);
    word v = 0, status = 0;
    INTFLD(1, v, 0, status);
    EXPECT_EQ(v, id);
  }
  word status = 0;
  NXTCRD(status);
  EXPECT_EQ(status, kGroupEnded);
  EXPECT_EQ(crdcom().CARDNO, 3);
}

TEST_F(FieldTest, NamesAndFieldTests) {
  open_node_group({fixed({"1", "  HEX8", "A B", "", "-1", ".5", "+", "X"})});
  next_card();
  struct NameCase {
    word k;
    const char* name;
    word alftst;
    word blktst;
  };
  const NameCase cases[] = {
      {2, "HEX8    ", -1, 0}, {3, "A B     ", -1, 0}, {4, "        ", 0, -1}, {5, "-1      ", 0, 0},
      {6, ".5      ", 0, 0},  {7, "+       ", 0, 0},  {8, "X       ", -1, 0}, {10, "        ", 0, -1},
  };
  for (const NameCase& c : cases) {
    std::array<word, 2> name{};
    ALFFLD(c.k, name);
    EXPECT_EQ(words8_name(name[0], name[1]), c.name) << c.k;
    EXPECT_EQ(ALFTST(c.k), c.alftst) << c.k;
    EXPECT_EQ(BLKTST(c.k), c.blktst) << c.k;
  }
  // A blank field gives the default whatever the reader.
  word iv = 0, status = -9;
  INTFLD(4, iv, -3, status);
  EXPECT_EQ(iv, -3);
  EXPECT_EQ(status, kFieldBlank);
  float rv = 0;
  RELFLD(10, rv, 2.5f, status);
  EXPECT_EQ(rv, 2.5f);
  EXPECT_EQ(status, kFieldBlank);
}

}  // namespace
}  // namespace zephsol::test
