// Boundary decoder: range expansion into BOUN entries, the "CONST" set, the
// "MPC" equations and their term cards, and the card errors.
#include <string>
#include <vector>

#include "setdecfix.h"
#include "zephsol/input/dbboun.h"

namespace zephsol::test {
namespace {

class BounTest : public SetDecoderTest {
 protected:
  void run(const std::vector<std::string>& cards) {
    decode(cards, [](IfpDecoders& d) { d.DBBOUN = DBBOUN; });
  }
};

// Boundary entries of the nodes with every component c to d.
void add_entries(std::vector<word>& out, std::initializer_list<word> nodes, word c, word d,
                 word system, float value) {
  for (const word n : nodes)
    for (word comp = c; comp <= d; ++comp) out.insert(out.end(), {n, comp, system, rw(value)});
}

TEST_F(BounTest, RangesExpandIntoOneEntryPerNodeAndComponent) {
  run({"CONST", fixed({"", "1", "", "", "", "1", "9"}),
       "DISP", fixed({"1"}),
       fixed({"", "10", "20", "5", "", "1", "3", "0.5"}),
       fixed({"", "20", "10", "-5", "", "4"}),
       fixed({"2"}),
       fixed({"", "10", "22", "5", "3", "2", "", "-1.0"})});

  std::vector<word> expect = name8("BOUNDARY");
  expect.push_back(1);
  expect.insert(expect.end(), {0, 6});  // "CONST": components 1-9 lowered to 1-6
  add_entries(expect, {1}, 1, 6, 0, 0.0f);
  expect.insert(expect.end(), {1, 12});  // 10, 20, 5 with 1-3: nine entries; 20, 10, -5: three
  add_entries(expect, {10, 15, 20}, 1, 3, 0, 0.5f);
  add_entries(expect, {20, 15, 10}, 4, 4, 0, 0.0f);
  expect.insert(expect.end(), {2, 4});  // 10, 22, 5: the last node is always included
  add_entries(expect, {10, 15, 20, 22}, 2, 2, 3, -1.0f);

  const auto recs = records(BOUN);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0], expect);
  EXPECT_EQ(header(BOUN), (std::array<word, 6>{3, 0, 0, 1, 1, 0}));
  EXPECT_EQ(messages(), std::vector<word>{-2026});
  EXPECT_EQ(message_text(2026), "          D.O.F NUMBER      9 IS OUT OF RANGE");
  EXPECT_EQ(sysw().IERFLG, 0);
}

TEST_F(BounTest, ConstEndsAtItsFirstCardWithField1) {
  run({"CONST", fixed({"", "5", "", "", "", "1", "2"}),
       fixed({"7"}),
       fixed({"", "0", "", "", "", "1"})});  // not read: no 2021

  std::vector<word> expect = name8("BOUNDARY");
  expect.insert(expect.end(), {1, 0, 2});
  add_entries(expect, {5}, 1, 2, 0, 0.0f);
  EXPECT_EQ(records(BOUN), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(BOUN), (std::array<word, 6>{1, 0, 0, 1, 0, 0}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(BounTest, MpcEquationsReadTheirTermsThreeToACard) {
  run({"MPC", fixed({"3"}),
       fixed({"", "10", "2", "1.0", "4"}),
       fixed({"", "11", "1", "0.5", "12", "2", "-0.5", "13", "3", "0.25"}),
       fixed({"", "14", "1", "2.0"}),
       fixed({"", "20", "1"}),
       fixed({"", "21", "2", "1.5"}),
       fixed({"4"}),
       fixed({"", "30", "3", "1.0", "4"}),
       fixed({"", "31", "1", "1.0", "32", "1", "1.0", "33", "1", "1.0"}),
       fixed({"5"}),  // the fourth term of set 4 is missing: 2518
       fixed({"", "40", "1", "", "1", "7"}),
       fixed({"", "41", "1"})});

  std::vector<word> expect = name8("FASTENIN");
  expect.insert(expect.end(), {1, 3, 2, 0});
  expect.insert(expect.end(), {0, 10, 2, rw(1.0f), 4, 11, 1, rw(0.5f), 12, 2, rw(-0.5f), 13, 3,
                               rw(0.25f), 14, 1, rw(2.0f)});
  expect.insert(expect.end(), {0, 20, 1, rw(0.0f), 1, 21, 2, rw(1.5f)});
  expect.insert(expect.end(), {4, 1, 0, 0, 30, 3, rw(1.0f), 3, 31, 1, rw(1.0f), 32, 1, rw(1.0f),
                               33, 1, rw(1.0f)});
  expect.insert(expect.end(), {5, 1, 0, 7, 40, 1, rw(0.0f), 1, 41, 1, rw(0.0f)});

  EXPECT_EQ(records(BOUN), std::vector<std::vector<word>>{expect});
  // Only "MPC" data: no boundary set, flag 2 for the equation in system 7.
  EXPECT_EQ(header(BOUN), (std::array<word, 6>{0, 3, 2, 0, 2, 0}));
  EXPECT_EQ(messages(), std::vector<word>{2518});
}

TEST_F(BounTest, FaultyMemberCardsAreDroppedWithTheirMessage) {
  struct Case {
    std::vector<std::string_view> fields;
    std::vector<word> msgs;
    word entries;  // of the set, with the good member's one entry
  };
  const Case cases[] = {
      {{"", "0", "", "", "", "1"}, {2021}, 1},
      {{"", "5", "-3", "-1", "", "1"}, {2021}, 1},
      {{"", "1", "5", "0", "", "1"}, {2024}, 1},
      {{"", "5", "1", "2", "", "1"}, {2024}, 1},
      {{"", "1", "", "", "0", "1"}, {2106}, 1},
      {{"", "1", "", "", "", "0"}, {2023}, 1},
      {{"", "1"}, {2023}, 1},
      {{"", "1", "", "", "", "3", "2"}, {2027}, 1},
      {{"", "1X", "", "", "", "1"}, {2101}, 1},
      {{"", "1", "", "", "", "1", "", "1.5.2"}, {2102}, 1},
      {{"", "1", "2", "", "", "7", "9"}, {-2026}, 3},  // kept as component 6 of nodes 1, 2
      {{"", "1", "99999999", "", "", "1", "6"}, {}, 1},  // a wide range holds only defined nodes: none here
  };
  for (const Case& c : cases) {
    restart();
    run({"DISP", fixed({"1"}), fixed(c.fields), fixed({"", "100", "", "", "", "1"})});
    EXPECT_EQ(messages(), c.msgs) << fixed(c.fields);
    const auto recs = records(BOUN);
    ASSERT_EQ(recs.size(), 1u) << fixed(c.fields);
    EXPECT_EQ(recs[0][4], c.entries) << fixed(c.fields);
  }
}

TEST_F(BounTest, SetCardErrorsSkipTheirMembers) {
  run({"DISP", fixed({"", "1", "", "", "", "1"}),
       fixed({"", "2", "", "", "", "1"}),  // 2000 once for the run of cards
       fixed({"0"}),                        // 2082
       fixed({"", "0", "", "", "", "1"}),  // passed over silently
       fixed({"1"}), fixed({"", "1", "", "", "", "1"}),
       fixed({"1"}),                        // 2081
       fixed({"", "0", "", "", "", "1"}),
       fixed({"2"}), fixed({"", "0", "", "", "", "1"})});  // 2021, then 2440 for set 2

  EXPECT_EQ(messages(), (std::vector<word>{2000, 2082, 2081, 2021, 2440}));
  EXPECT_EQ(message_text(2000), "          WRONG NOTATION OR FORMAT IN COLUMN   1 THROU   8");
  EXPECT_EQ(message_text(2440), "          DISP               2 DEFINES NULL DATA");
  EXPECT_EQ(header(BOUN)[0], 1);
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST_F(BounTest, NoSetWrittenReleasesBoun) {
  run({"DISP", fixed({"1"}), fixed({"", "0", "", "", "", "1"}),
       "MPC", fixed({"2"}), fixed({"", "0", "1"})});
  EXPECT_EQ(messages(), (std::vector<word>{2021, 2440, 2021, 2440}));
  EXPECT_EQ(header(BOUN), (std::array<word, 6>{}));
}

}  // namespace
}  // namespace zephsol::test
