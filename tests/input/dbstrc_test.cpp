// Geometry decoder: the three STRC records and the header of a mixed model
// word for word (internal node orders, a blank orientation node, twenty
// nodes over three cards, a repeated and an unconnected node, a two-card
// coordinate system), missing continuation cards, the element card errors,
// node cards, and the example deck.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "modelfix.h"

namespace zephsol::test {
namespace {

using StrcTest = ModelDecoderTest;

// The words of STRC's "NODE    " entry of a node.
std::vector<word> node(word id, word cs, float x, float y, float z) { return {id, 0, cs, 0, 3, rw(x), rw(y), rw(z)}; }

// A "NODE" card.
std::string node_card(word id, const char* cs, float x, float y, float z) {
  return fixed({std::to_string(id), cs, std::to_string(x), std::to_string(y), std::to_string(z)});
}

std::vector<word> concat(std::initializer_list<std::vector<word>> parts) {
  std::vector<word> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(StrcTest, MixedModelRecordsWordForWord) {
  std::vector<std::string> deck = {
      "ELEMENT", fixed({"1", "HEX8"}), fixed({"2", "BEAM2"}), fixed({"3", "HEX20"}),
      "MATERIAL", fixed({"1", "0"}), fixed({"", "E", "1.0"}),
      "COORDINA", fixed({"5", "2", "1.", "2.", "3.", "4.", "5.", "6."}), fixed({"", "", "7.", "8.", "9."}),
      "CONNECTI",
      fixed({"10", "1", "", "1", "1", "2", "3", "4", "5", "6"}), fixed({"", "7", "8"}),
      fixed({"5", "2", "7", "1", "1", "2"}),  // the orientation node may be blank
      fixed({"20", "3", "", "1", "101", "102", "103", "104", "105", "106"}),
      fixed({"", "107", "108", "109", "110", "111", "112", "113", "114", "115"}),
      fixed({"", "116", "117", "118", "119", "120"}),
      "NODE"};
  for (word id = 1; id <= 8; ++id) deck.push_back(node_card(id, "", id, 2 * id, 0));
  for (word id = 120; id >= 101; --id) deck.push_back(node_card(id, "", id, 0, 1));
  deck.push_back(node_card(999, "", 9, 9, 9));   // used by no element: 2454
  deck.push_back(node_card(3, "5", 30, 31, 32));  // repeated: 2080, this card is adopted
  run(deck);

  const auto recs = records(STRC);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0], concat({name8("COORDINA"), {12, 5, 2, 0},
                             {rw(1), rw(2), rw(3), rw(4), rw(5), rw(6), rw(7), rw(8), rw(9)}}));
  EXPECT_EQ(recs[1], concat({name8("ELEMENT "), {3 * 8 + 3 + 8 + 20},
                             {5, 2, 7, 1, 0, 0, 0, 3, 1, 2, 0},
                             {10, 1, 0, 1, 0, 0, 0, 8, 1, 2, 4, 3, 5, 6, 8, 7},
                             {20, 3, 0, 1, 0, 0, 0, 20, 101, 102, 103, 108, 104, 107, 106, 105, 109, 110,
                              112, 111, 113, 114, 115, 120, 116, 119, 118, 117}}));
  std::vector<word> nodes = concat({name8("NODE    "), {3}});
  for (word id = 1; id <= 8; ++id)
    nodes = concat({nodes, id == 3 ? node(3, 5, 30, 31, 32) : node(id, 0, id, 2 * id, 0)});
  for (word id = 101; id <= 120; ++id) nodes = concat({nodes, node(id, 0, id, 0, 1)});
  EXPECT_EQ(recs[2], nodes);
  EXPECT_EQ(header(STRC), (std::array<word, 6>{1, 28, 0, 3, 0, 0}));

  EXPECT_EQ(messages(), (std::vector<word>{-2080, -2454}));
  EXPECT_EQ(message_text(2454), "          NODE      999 HAS NO CONNECTIONS IN ELEMENT");
  EXPECT_EQ(message_card(2454), 0);
  EXPECT_EQ(crdcom().NFATAL, 0);
}

TEST_F(StrcTest, MissingContinuationCardsEndTheirItem) {
  // The element and the system without their continuation are refused; the
  // card that follows is decoded as the next item.
  run({"ELEMENT", fixed({"1", "HEX8"}), fixed({"2", "QPLAN4"}),
       "MATERIAL", fixed({"1", "0"}), fixed({"", "E", "1.0"}),
       "CONNECTI",
       fixed({"1", "1", "", "1", "1", "2", "3", "4", "5", "6"}),
       fixed({"2", "2", "", "1", "11", "12", "13", "14"}),
       "COORDINA",
       fixed({"1", "1", "1."}),
       fixed({"2", "1", "2."}), fixed({"", "", "3."}),
       fixed({"3", "1", "4."}),
       "NODE", fixed({"11"}), fixed({"12"}), fixed({"13"}), fixed({"14"})});
  EXPECT_EQ(messages(), (std::vector<word>{2518, 2518, 2518}));
  EXPECT_EQ(message_card(2518), 9);  // on the card of element 2
  const auto recs = records(STRC);
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0], concat({name8("COORDINA"), {12, 2, 1, 0, rw(2), 0, 0, 0, 0, 0, rw(3), 0, 0}}));
  EXPECT_EQ(recs[1], concat({name8("ELEMENT "), {12, 2, 2, 0, 1, 0, 0, 0, 4, 11, 12, 14, 13}}));
  EXPECT_EQ(header(STRC), (std::array<word, 6>{1, 4, 0, 1, 0, 0}));
}

TEST_F(StrcTest, ElementCardErrors) {
  run({"ELEMENT", fixed({"1", "HEX8"}), fixed({"2", "BEAM2"}), fixed({"3", "QPLAN4"}),
       "MATERIAL", fixed({"1", "0"}), fixed({"", "E", "1.0"}),
       "CONNECTI",
       fixed({"", "1", "2"}),                               // 2000: no element yet
       fixed({"1", "-1", "", "1", "1", "2", "3", "4"}),     // 2131: "as before" with nothing before
       fixed({"", "5"}),                                    // passed over silently
       fixed({"2", "9", "", "1", "1", "2", "3", "4"}),      // 2131: type 9 undefined
       fixed({"", "5", "6", "7", "8"}),                     // passed over silently
       fixed({"3", "3", "5", "1", "1", "2", "3", "4"}),     // 2128: QPLAN4 takes no property
       fixed({"4", "-1", "", "1", "1", "2", "3", "4"}),     // the type of element 3, kept as -1
       fixed({"5", "2", "", "1", "1", "", "3"}),            // 2127, 2137 for node 2
       fixed({"6", "3", "", "0", "1", "2", "3", "4"}),      // 2129
       fixed({"7", "3", "", "9", "1", "2", "3", "4"}),      // 2332
       fixed({"8", "3", "", "9", "1", "2", "3", "4"}),      // 2332 again
       fixed({"9", "3", "", "1", "1", "2", "3", "4", "99"}),  // 2132
       fixed({"3", "3", "", "1", "1", "2", "3", "4"}),      // 2081
       fixed({"0", "3", "", "1", "1", "2", "3", "4"}),      // 2082
       fixed({"", "1"}),                                    // passed over silently
       "NODE", fixed({"1"}), fixed({"2"}), fixed({"3"}), fixed({"4"})});
  EXPECT_EQ(messages(), (std::vector<word>{2000, 2131, 2131, -2128, 2127, 2137, 2129, 2332, 2332, -2132, 2081, 2082}));
  EXPECT_EQ(message_text(2131), "          ELEMENT        1 REFERES UNDEFINED ELEMENT TYPE     -1");
  EXPECT_EQ(message_text(2332), "          ELEMENT        7 REFERS UNDEFINED MATERIAL ID        9");
  EXPECT_EQ(message_text(2137), "             2-TH NODE OF ELEMENT CONNECTION IS MISSING OR NOT A POSITIVE INTEGER");
  EXPECT_EQ(message_text(2132), "          TOO MANY NODES IN THE ELEMENT.  IT MUST BE      4");

  const auto recs = records(STRC);
  ASSERT_EQ(recs.size(), 2u);
  const std::vector<word> quad = {1, 2, 4, 3};
  std::vector<word> expect = concat({name8("ELEMENT "), {7 * 8 + 6 * 4 + 3}});
  expect = concat({expect, {3, 3, 5, 1, 0, 0, 0, 4}, quad, {4, -1, 0, 1, 0, 0, 0, 4}, quad,
                   {5, 2, 0, 1, 0, 0, 0, 3, 1, 0, 3}, {6, 3, 0, 0, 0, 0, 0, 4}, quad, {7, 3, 0, 9, 0, 0, 0, 4},
                   quad, {8, 3, 0, 9, 0, 0, 0, 4}, quad, {9, 3, 0, 1, 0, 0, 0, 4}, quad});
  EXPECT_EQ(recs[0], expect);
  EXPECT_EQ(header(STRC), (std::array<word, 6>{0, 4, 0, 7, 0, 0}));
}

TEST_F(StrcTest, ConnectivityWithoutElementTypes) {
  run({"CONNECTI", fixed({"1", "1", "", "1", "1", "2"}), "NODE", fixed({"1"}), fixed({"7"})});
  EXPECT_EQ(messages(), std::vector<word>{2020});
  EXPECT_EQ(message_text(2020), "          ELEMENT TYPE DATA MISSING-- CONNECTI     DATA WILL NOT BE PROCESSED");
  // No element: every node is written.
  EXPECT_EQ(header(STRC), (std::array<word, 6>{0, 2, 0, 0, 0, 0}));
}

TEST_F(StrcTest, NodeCards) {
  run({"NODE",
       fixed({"", "1.0"}),                        // 2000
       fixed({"3", "-2", "1.", "2.", "3."}),      // 2106, basic system
       fixed({"2", "0", "4."}),                   // 2106: a 0 written is refused too
       fixed({"1", "", "5."})});
  EXPECT_EQ(messages(), (std::vector<word>{2000, 2106, 2106}));
  EXPECT_EQ(message_text(2106), "          COORDINATE SYSTEM ID     -2 IS NOT A POSITIVE INTEGER");
  const auto recs = records(STRC);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(recs[0], concat({name8("NODE    "), {3}, node(1, 0, 5, 0, 0), node(2, 0, 4, 0, 0), node(3, 0, 1, 2, 3)}));
  EXPECT_EQ(header(STRC), (std::array<word, 6>{0, 3, 0, 0, 0, 0}));

  fresh();
  run({"ELEMENT", fixed({"1", "HEX8"})});  // nothing for STRC: purged
  EXPECT_EQ(header(STRC), (std::array<word, 6>{}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(StrcTest, ExampleDeckDecodesWithoutMessages) {
  std::ifstream in(std::filesystem::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat");
  std::vector<std::string> cards;
  bool bulk = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ENDDATA", 0) == 0) break;
    if (bulk) cards.push_back(line);
    bulk = bulk || line.rfind("BEGIN BU", 0) == 0;
  }
  ASSERT_FALSE(cards.empty());
  run(cards);
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(crdcom().NFATAL, 0);
  EXPECT_EQ(crdcom().NWARN, 0);
  EXPECT_EQ(etyp().count, 1);
  EXPECT_EQ(header(MATD), (std::array<word, 6>{1, 30, 0, 0, 0, 0}));
  EXPECT_EQ(header(STRC), (std::array<word, 6>{0, 9, 0, 4, 0, 0}));
}

}  // namespace
}  // namespace zephsol::test
