// Element type, property and group decoders: the ETYP table and its limit,
// EGED and PRPTAB with short properties and the table limit, ELST with F1
// lists and F2 ranges, sorted and without repeats.
#include <string>
#include <vector>

#include "modelfix.h"

namespace zephsol::test {
namespace {

using TypeTest = ModelDecoderTest;

// "ELEMENT" cards numbered first..last, all of type `name`.
std::vector<std::string> type_cards(int first, int last, const char* name) {
  std::vector<std::string> cards = {"ELEMENT"};
  for (int i = first; i <= last; ++i) cards.push_back(fixed({std::to_string(i), name}));
  return cards;
}

TEST_F(TypeTest, TypeTableAndItsErrors) {
  // One name under two numbers is two entries with one code; a number given
  // twice, an unknown name, a name without element descriptor and numbers
  // below 1 are refused.
  run({"ELEMENT", fixed({"1", "HEX8"}), fixed({"2", "QPLAN4"}), fixed({"3", "HEX8"}), fixed({"2", "BEAM2"}),
       fixed({"4", "HEXX"}), fixed({"5", "QPLAIC4"}), fixed({"6", "TPLAIC3"}), fixed({"0", "ROD2"}),
       fixed({"", "ROD2"})});
  ASSERT_EQ(etyp().count, 3);
  EXPECT_EQ(etyp().entry[0], (std::array<word, 2>{1, 1}));
  EXPECT_EQ(etyp().entry[1], (std::array<word, 2>{2, 11}));
  EXPECT_EQ(etyp().entry[2], (std::array<word, 2>{3, 1}));
  EXPECT_EQ(messages(), (std::vector<word>{2327, 2124, 2124, 2124, 2082, 2082}));
  EXPECT_EQ(message_card(2327), 5);
  EXPECT_EQ(message_text(2327), "          DUPLICATED ELEMENT TYPE      2");
  EXPECT_EQ(message_text(2124), "          UNKNOWN ELEMENT TYPE NAME- HEXX    ");
}

TEST_F(TypeTest, TwentyTypesFitTheTwentyFirstEndsTheRun) {
  run(type_cards(1, 20, "HEX8"));
  EXPECT_EQ(etyp().count, 20);
  EXPECT_EQ(etyp().entry[19], (std::array<word, 2>{20, 1}));
  EXPECT_TRUE(messages().empty());

  fresh();
  EXPECT_EXIT(run(type_cards(1, 21, "ROD2")), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "TABLE LENGTH       21 EXCEEDED THE INTERNAL LIMIT"));
}

using PropertyTest = ModelDecoderTest;

std::vector<word> property(word id, std::initializer_list<float> values) {
  std::vector<word> r = {id, static_cast<word>(values.size())};
  for (float v : values) r.push_back(rw(v));
  return r;
}

TEST_F(PropertyTest, RecordsTableAndShortProperties) {
  // Columns of PRPTAB beyond a property's values keep what they held.
  elem_state().tables.prptab.value[3][0] = 99.0f;
  elem_state().tables.prptab.value[1][3] = 77.0f;
  const std::vector<std::string_view> eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
  auto with_eight = [&eight](std::string_view id, std::string_view n) {
    std::vector<std::string_view> f = {id, n};
    f.insert(f.end(), eight.begin(), eight.end());
    return fixed(f);
  };
  run({"PROPERTY",
       fixed({"", "1.0"}),                   // 2000: no property to continue
       fixed({"1", "3", "1.5", "2.5", "3.5"}),
       with_eight("2", "12"),                // continuation missing: 2518, n = 8
       with_eight("3", "10"),
       fixed({"", "9", "10"}),
       fixed({"4"}),                         // n defaults to 1, the value to 0.0
       fixed({"3", "2"}),                    // 2081
       fixed({"0", "2"}),                    // 2082, and its continuation passes silently
       fixed({"", "5.0"}),
       fixed({"5", "0"}),                    // 2141
       with_eight("6", "12")});              // the group ends: 2518, n = 8
  const auto recs = records(EGED);
  ASSERT_EQ(recs.size(), 5u);
  EXPECT_EQ(recs[0], property(1, {1.5f, 2.5f, 3.5f}));
  EXPECT_EQ(recs[1], property(2, {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(recs[2], property(3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
  EXPECT_EQ(recs[3], property(4, {0.0f}));
  EXPECT_EQ(recs[4], property(6, {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(header(EGED), (std::array<word, 6>{5, 12, 0, 0, 0, 14}));
  EXPECT_EQ(messages(), (std::vector<word>{2000, 2518, 2081, 2082, 2141, 2518}));
  EXPECT_EQ(message_card(2518), 5);  // reported on the card that begins property 3

  const PRPTAB& t = prptab();
  ASSERT_EQ(t.count, 5);
  EXPECT_EQ((std::vector<word>(t.id.begin(), t.id.begin() + 5)), (std::vector<word>{1, 2, 3, 4, 6}));
  EXPECT_EQ((std::vector<word>(t.nval.begin(), t.nval.begin() + 5)), (std::vector<word>{3, 8, 10, 1, 8}));
  EXPECT_EQ(t.value[0][0], 1.5f);
  EXPECT_EQ(t.value[2][0], 3.5f);
  EXPECT_EQ(t.value[3][0], 99.0f);
  EXPECT_EQ(t.value[3][2], 4.0f);
  EXPECT_EQ(t.value[0][3], 0.0f);
  EXPECT_EQ(t.value[1][3], 77.0f);
}

TEST_F(PropertyTest, TheThousandAndFirstPropertyEndsTheRun) {
  std::vector<std::string> cards = {"PROPERTY"};
  for (int i = 1; i <= 1000; ++i) cards.push_back(fixed({std::to_string(i), "1", std::to_string(i)}));
  run(cards);
  EXPECT_EQ(prptab().count, 1000);
  EXPECT_EQ(prptab().value[0][999], 1000.0f);
  EXPECT_EQ(header(EGED)[0], 1000);
  EXPECT_TRUE(messages().empty());

  fresh();
  cards.push_back(fixed({"1001"}));
  EXPECT_EXIT(run(cards), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(errlog(), "TABLE LENGTH     1001 EXCEEDED THE INTERNAL LIMIT"));
}

using EgroupTest = ModelDecoderTest;

TEST_F(EgroupTest, ListsRangesAndTheirErrors) {
  run({"EGROUP",
       fixed({"", "F1", "1"}),                                    // 2000: no group yet
       fixed({"10"}), fixed({"", "F2", "1", "10", "4"}),           // 1 5 9 10
       fixed({"11"}), fixed({"", "F2", "10", "1", "-3", "5", "5"}), // 10 7 4 1, and 5
       fixed({"12"}), fixed({"", "F2", "1", "10", "-1"}),          // 2024, then 2440
       fixed({"13"}), fixed({"", "F1", "3", "3", "1", "2"}),       // sorted, repeats dropped
       fixed({"14"}), fixed({"", "F1", "0", "-4"}), fixed({"", "F2", "0", "5"}),  // 2022 x 3, 2440
       fixed({"13"}), fixed({"", "F1", "8"}),                      // 2081, members passed over
       fixed({"15"}), fixed({"", "F3", "1"}), fixed({"", "F1", "6", "", "7"}),  // 2104; a blank ends the card
       "MGROUP",
       fixed({"1"}), fixed({"", "F1", "7"}),
       fixed({"2"}), fixed({"", "F1", "-1"}),                      // 2022, 2440
       fixed({"3"}), fixed({"", "F2", "20", "22"})});
  const std::vector<std::vector<word>> expect = {{10, 4, 1, 5, 9, 10}, {11, 5, 1, 4, 5, 7, 10}, {13, 3, 1, 2, 3},
                                                 {15, 1, 6},           {1, 1, 7},                {3, 3, 20, 21, 22}};
  EXPECT_EQ(records(ELST), expect);
  EXPECT_EQ(header(ELST), (std::array<word, 6>{4, 2, 0, 0, 0, 7}));
  EXPECT_EQ(messages(), (std::vector<word>{2000, 2024, 2440, 2022, 2022, 2022, 2440, 2081, 2104, 2022, 2440}));
  EXPECT_EQ(message_text(2024), "          INCREMENT     -1 IS ILLEGAL");
  EXPECT_EQ(message_text(2440), "          EGROUP            12 DEFINES NULL DATA");
  // The identifiers of the "MGROUP" records stay at the start of the work area.
  EXPECT_EQ(crdcom().NMGRP, 2);
  EXPECT_EQ(core_words(crdcom().MGRLST, 2), (std::vector<word>{1, 3}));
  EXPECT_EQ(crdcom().IFREE, crdcom().MGRLST + 2);
}

TEST_F(EgroupTest, GroupsWithTooFewCardsArePassedOver) {
  run({"EGROUP", fixed({"1"}), "MGROUP", fixed({"2"})});
  EXPECT_EQ(header(ELST), (std::array<word, 6>{}));
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(crdcom().NMGRP, 0);
}

}  // namespace
}  // namespace zephsol::test
