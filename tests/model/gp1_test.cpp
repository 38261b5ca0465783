// GP1: coordinate systems and node conversion, element order and
// connections, node number lookup, message limits and fatal stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "support/modeldeck.h"
#include "zephsol/dbio/core.h"
#include "common/testing.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/model/gp1.h"

namespace zephsol::test {
namespace {

void gp1() { GP1(STRC, CSTM, NODC, CONE); }

std::string systems_deck() {
  return bulk_deck("ELEMENT\n" + card({"7", "TPLAN3"}) + "\n" + material_cards() + "COORDINA\n" +
                   // rotated rectangular: e1 = y, e2 = -x, e3 = z, origin (10, 0, 0)
                   card({"10", "1", "10.0", "0.0", "0.0", "10.0", "1.0", "0.0"}) + "\n" +
                   card({"", "", "9.0", "0.0", "0.0"}) + "\n" +
                   // cylindrical with e1 = z, e2 = x, e3 = y, origin (1, 1, 1)
                   card({"20", "2", "1.0", "1.0", "1.0", "1.0", "1.0", "2.0"}) + "\n" +
                   card({"", "", "2.0", "1.0", "1.0"}) + "\n" +
                   // spherical, basic axes
                   card({"30", "3", "0.0", "0.0", "0.0", "1.0", "0.0", "0.0"}) + "\n" +
                   card({"", "", "0.0", "1.0", "0.0"}) + "\n" +
                   // collinear points: identity axes at P1
                   card({"40", "1", "5.0", "6.0", "7.0", "6.0", "7.0", "8.0"}) + "\n" +
                   card({"", "", "7.0", "8.0", "9.0"}) + "\n" +
                   "NODE\n" + node_card(1, "1.0", "2.0", "3.0", 10) + node_card(2, "2.0", "90.0", "3.0", 20) +
                   node_card(3, "2.0", "90.0", "30.0", 30) + node_card(4, "1.0", "2.0", "3.0", 40) +
                   node_card(5, "1.5", "2.5", "3.5") + node_card(6, "1.0", "2.0", "3.0", 99) + "CONNECTI\n" +
                   element_card(1, 7, 0, {1, 2, 3}) + element_card(2, 7, 0, {4, 5, 6}));
}

TEST(Gp1Systems, NodesConvertToBasicCoordinates) {
  DeckRun run(systems_deck());
  run.input();
  gp1();

  // One record: per node [id, 0, system, 0, 3, x, y, z].
  EXPECT_EQ(block_header(NODC), (std::array<word, 6>{6, 1, 4, 3, 0, 0}));
  const auto nodc = block_records(NODC);
  ASSERT_EQ(nodc.size(), 1u);
  ASSERT_EQ(nodc[0].size(), 48u);
  const float expected[6][3] = {{8, 1, 3}, {3, 4, 1}, {0, 1.7320508f, 1}, {6, 8, 10}, {1.5f, 2.5f, 3.5f}, {1, 2, 3}};
  const word systems[6] = {10, 20, 30, 40, 0, 99};
  for (int i = 0; i < 6; ++i) {
    const auto* e = nodc[0].data() + 8 * i;
    EXPECT_EQ(e[0], i + 1);
    EXPECT_EQ(e[2], systems[i]) << "the input system is kept";
    EXPECT_EQ(e[4], 3);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(real_of(e[5 + k]), expected[i][k], 1e-5f * std::max(1.0f, std::abs(expected[i][k])))
          << "node " << i + 1 << " word " << 6 + k;
  }

  // CSTM: origin and unit axes; the collinear system gets identity axes.
  EXPECT_EQ(block_header(CSTM), (std::array<word, 6>{4, 0, 1, 0, 0, 15}));
  const auto cstm = block_records(CSTM);
  ASSERT_EQ(cstm.size(), 4u);
  const float axes[4][12] = {{10, 0, 0, 0, 1, 0, -1, 0, 0, 0, 0, 1},
                             {1, 1, 1, 0, 0, 1, 1, 0, 0, 0, 1, 0},
                             {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1},
                             {5, 6, 7, 1, 0, 0, 0, 1, 0, 0, 0, 1}};
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(cstm[s][0], 10 * (s + 1));
    EXPECT_EQ(cstm[s][1], s == 3 ? 1 : s + 1);
    for (int k = 0; k < 12; ++k) EXPECT_NEAR(real_of(cstm[s][3 + k]), axes[s][k], 1e-6f) << "system " << s << " word " << 4 + k;
  }

  // One 2452 for the collinear system, one 2316 for node 6; both counted.
  const std::string m2452 =
      "0*** USER FATAL MESSAGE 2452,  3 POINTS DEFINING THE COORDINATE SYSTEM      40 ARE CO-LINEAR";
  const std::string m2316 = "0*** USER FATAL MESSAGE 2316, COORIDNATE SYSTEM ID      99 REFFERED BY NODE       6 IS UNDEFINED.";
  for (const auto& lines : {run.listing(), run.errors()}) {
    EXPECT_EQ(count_lines(lines, m2452), 1);
    EXPECT_EQ(count_lines(lines, m2316), 1);
  }
  EXPECT_EQ(sysw().IERFLG, 2);
}

TEST(Gp1Systems, NoSystemsWriteNoCstm) {
  DeckRun run(bulk_deck("ELEMENT\n" + card({"7", "TPLAN3"}) + "\n" + material_cards() + "NODE\n" +
                        node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                        node_card(3, "0.0", "1.0", "0.0", 5) + "CONNECTI\n" + element_card(1, 7, 0, {1, 2, 3})));
  run.input();
  gp1();
  EXPECT_EQ(block_header(CSTM), (std::array<word, 6>{}));
  EXPECT_EQ(block_header(NODC), (std::array<word, 6>{3, 1, 0, 3, 0, 0}));
  EXPECT_EQ(message_numbers(run.errors()), (std::vector<int>{2316}));
}

TEST(Gp1Elements, OrderedByTypeDefinitionAndIdentifier) {
  // Definitions: ISEQ 1 user 7 TPLAN3, ISEQ 2 user 3 QPLAN4, ISEQ 3 user 9
  // TPLAN3. Element 4 has the type number -1, which no definition has, and
  // an undefined node 77.
  const std::string bulk =
      "ELEMENT\n" + card({"7", "TPLAN3"}) + "\n" + card({"3", "QPLAN4"}) + "\n" + card({"9", "TPLAN3"}) + "\n" +
      material_cards() + "NODE\n" + node_card(10, "0.0", "0.0", "0.0") + node_card(20, "1.0", "0.0", "0.0") +
      node_card(30, "2.0", "0.0", "0.0") + node_card(40, "0.0", "1.0", "0.0") + node_card(50, "1.0", "1.0", "0.0") +
      node_card(60, "2.0", "1.0", "0.0") + "CONNECTI\n" + element_card(5, 7, 0, {10, 20, 40}) +
      element_card(2, 3, 0, {10, 20, 50, 40}) + element_card(8, 9, 0, {20, 30, 60}) +
      element_card(1, 7, 0, {20, 50, 40}) + element_card(3, 9, 0, {20, 60, 50}) + element_card(4, -1, 0, {10, 77, 30});
  DeckRun run(bulk_deck(bulk));
  run.input();
  gp1();

  EXPECT_EQ(block_header(CONE), (std::array<word, 6>{6, 3, 4, 0, 0, 0}));
  const std::vector<std::string> expected{
      "header: 6 3 4 0 0 0",
      "1: 4 0 0 1 3 | 1 0 3",                  // undefined type: key 0, first
      "2: 2 33554443 0 1 4 | 1 2 4 5",         // QPLAN4 (code 11), ISEQ 2, nodes as the decoder orders them
      "3: 1 16777228 0 1 3 | 2 5 4",           // TPLAN3 (code 12), ISEQ 1, by identifier
      "4: 5 16777228 0 1 3 | 1 2 4",
      "5: 3 50331660 0 1 3 | 2 6 5",           // TPLAN3, ISEQ 3
      "6: 8 50331660 0 1 3 | 2 3 6",
  };
  EXPECT_EQ(dump_block(CONE), expected);
  EXPECT_EQ(message_numbers(run.listing()), (std::vector<int>{2131, 2415}));
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 2131, ELEMENT TYPE CODE      -1 NOT DEFINED IN 'ELEMENT TYPE' SECTION"));
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 2415, NODE ID      77 IN ELEMENT       4 IS UNDEFINED"));
  EXPECT_EQ(sysw().IERFLG, 2);
}

TEST(Gp1Elements, BlankBeamOrientationNodeIsNoNode) {
  // The blank third node of BEAM2 and SBEAM2 stays 0 without a message; an
  // orientation node that is given but undefined is an error.
  const std::string bulk = "ELEMENT\n" + card({"1", "BEAM2"}) + "\n" + card({"2", "SBEAM2"}) + "\n" +
                           material_cards() + "NODE\n" + node_card(1, "0.0", "0.0", "0.0") +
                           node_card(2, "1.0", "0.0", "0.0") + node_card(3, "2.0", "0.0", "0.0") + "CONNECTI\n" +
                           element_card(1, 1, 1, {1, 2, 0}) + element_card(2, 2, 1, {2, 3, 0}) +
                           element_card(3, 1, 1, {1, 3, 99});
  DeckRun run(bulk_deck(bulk));
  run.input();
  gp1();
  const auto cone = dump_block(CONE);
  ASSERT_EQ(cone.size(), 4u);
  EXPECT_EQ(cone[1], "1: 1 16777221 1 1 3 | 1 2 0");
  EXPECT_EQ(cone[2], "2: 3 16777221 1 1 3 | 1 3 0");
  EXPECT_EQ(cone[3], "3: 2 33554458 1 1 3 | 2 3 0");
  EXPECT_EQ(message_numbers(run.errors()), (std::vector<int>{2415}));
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST(Gp1Messages, HundredAndOneUndefinedNodesPrintHundredAndTheTotal) {
  std::string bulk = "ELEMENT\n" + card({"7", "TPLAN3"}) + "\n" + material_cards() + "NODE\n" +
                     node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                     node_card(3, "0.0", "1.0", "0.0") + "CONNECTI\n" + element_card(1, 7, 0, {1, 2, 3});
  for (int e = 2; e <= 34; ++e) bulk += element_card(e, 7, 0, {1000 + 3 * e, 1001 + 3 * e, 1002 + 3 * e});
  bulk += element_card(35, 7, 0, {1, 2000, 2001});  // 33 x 3 + 2 = 101 undefined
  DeckRun run(bulk_deck(bulk));
  run.input();
  gp1();
  EXPECT_EQ(sysw().IERFLG, 101);
  const std::string total = "0*** TOTAL   101 ERRORS -- FIRST   100 ARE PRINTED";
  for (const auto& lines : {run.listing(), run.errors()}) {
    EXPECT_EQ(count_lines(lines, "USER FATAL MESSAGE 2415"), 100);
    EXPECT_EQ(count_lines(lines, total), 1);
    EXPECT_EQ(lines.back(), total);
  }
}

// NODNUM against an independent search, on lists with gaps and without.
TEST(Nodnum, FindsPositionsOrZero) {
  zephsol::testing::FreshFileSystem fs(1);
  struct Case {
    std::vector<word> keys;
  };
  std::vector<Case> cases{{{5}}, {{5, 9}}, {{5, 9, 12}}, {{-3, -2, -1}}, {{}}, {{7}}};
  std::vector<word> big(1000), dense(1000);
  for (int i = 0; i < 1000; ++i) {
    big[static_cast<std::size_t>(i)] = 3 * i + (i % 7 == 0 ? 1 : 0) + 10;
    dense[static_cast<std::size_t>(i)] = 100 + i;
  }
  cases.push_back({big});
  cases.push_back({dense});
  for (const Case& c : cases) {
    const auto n = static_cast<word>(c.keys.size());
    std::copy(c.keys.begin(), c.keys.end(), core().words(11, n).begin());
    NODLST(11, n);
    std::vector<word> probes{-5, 0, 1, 4, 5, 6, 8, 9, 10, 11, 12, 13, 99, 100, 101, 500, 1099, 1100, 5000};
    for (word k : c.keys) probes.insert(probes.end(), {k - 1, k, k + 1});
    for (word key : probes) {
      const auto it = std::lower_bound(c.keys.begin(), c.keys.end(), key);
      const word expected = it != c.keys.end() && *it == key ? static_cast<word>(it - c.keys.begin()) + 1 : 0;
      EXPECT_EQ(NODNUM(key), expected) << "n " << n << " key " << key;
    }
  }
}

// Fatal stops: the run ends with the message and its words.
class Gp1Fatal : public ::testing::Test {
 protected:
  static std::string nine_nodes() {
    std::string b = "ELEMENT\n" + card({"3", "QPLAN4"}) + "\n" + material_cards() + "NODE\n";
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) b += node_card(1 + i + 3 * j, std::to_string(i) + ".0", std::to_string(j) + ".0", "0.0");
    return b;
  }
  static std::string four_quads() {
    return nine_nodes() + "CONNECTI\n" + element_card(1, 3, 0, {1, 2, 5, 4}) + element_card(2, 3, 0, {2, 3, 6, 5}) +
           element_card(3, 3, 0, {4, 5, 8, 7}) + element_card(4, 3, 0, {5, 6, 9, 8});
  }
  // The open core cut to `words` below the two buffers.
  static void cut_core(word words) { sysw().COREND = 1 + words + 2 * sysw().NBUFSZ; }
};

TEST_F(Gp1Fatal, ModelWithoutElementsOrCore) {
  {
    DeckRun run(bulk_deck(nine_nodes()));
    run.input();
    EXPECT_EXIT(gp1(), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(has_line(run.errors(), "WRONG STRUCTURED FILE STRC, ERROR CODE=       0"));
  }
  // Need = max(0, 3 x 4) + 9 + 1 = 22 words: one short is fatal 3 with the
  // words of both buffers added.
  {
    DeckRun run(bulk_deck(four_quads()));
    run.input();
    cut_core(21);
    const word nbuf = sysw().NBUFSZ;
    EXPECT_EXIT(gp1(), ::testing::ExitedWithCode(1), "");
    const std::string text = fline("(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')",
                                   {22 + 2 * nbuf, 21 + 2 * nbuf});
    EXPECT_TRUE(has_line(run.errors(), text)) << text;
  }
  // Enough for the sort entries, not for the connection data.
  {
    DeckRun run(bulk_deck(four_quads()));
    run.input();
    cut_core(22);
    const word nbuf = sysw().NBUFSZ;
    EXPECT_EXIT(gp1(), ::testing::ExitedWithCode(1), "");
    const std::string text = fline("(10X,A4,' TABLE TOO LARGE TO HOLD IN MEMORY, CORSIZE=',I8)", {"CONN", 22 + 2 * nbuf});
    EXPECT_TRUE(has_line(run.errors(), text)) << text;
  }
}

}  // namespace
}  // namespace zephsol::test
