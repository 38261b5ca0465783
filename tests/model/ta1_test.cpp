// TA1: node DOF counts and the equation index, element summary and
// connection tables, the assembly dictionary, property lookup, shortage of
// core, malformed connection records and the equation-word limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/modeldeck.h"
#include "zephsol/dbio/core.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/model/gp1.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta2.h"

namespace zephsol::test {
namespace {

void ta1() { TA1(CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT); }

void tables() {
  GP1(STRC, CSTM, NODC, CONE);
  TA2(ELST, CONE, IELS);
  ta1();
}

word first_of(word w) { return w >> 10; }
word count_of(word w) { return w & 255; }

// The equation index as maps from node identifier.
struct Index {
  std::map<word, word> internal, eqw;
  std::vector<word> by_internal;  // node identifier of each internal number
};

Index read_index() {
  const auto r = block_records(EQIX);
  Index x;
  x.by_internal.resize(r[0].size() / 2);
  for (std::size_t i = 0; i < r[0].size(); i += 2) {
    x.internal[r[0][i]] = r[0][i + 1];
    x.eqw[r[1][i]] = r[1][i + 1];
    x.by_internal[static_cast<std::size_t>(r[0][i + 1] - 1)] = r[0][i];
  }
  return x;
}

// Equations numbered in internal order: each node starts where the previous
// one ended (a node without DOF takes the next number without using it);
// returns NEQ.
word check_equation_order(const Index& x) {
  word next = 1;
  for (word id : x.by_internal) {
    const word w = x.eqw.at(id);
    EXPECT_EQ(first_of(w), next) << "node " << id;
    next += count_of(w);
  }
  return next - 1;
}

// A plane quadrilateral 1-2-3-4 and a beam from node 3 to node 5 whose
// orientation node 6 carries no DOF.
std::string mixed_deck() {
  return bulk_deck("ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + card({"2", "BEAM2"}) + "\n" + material_cards() +
                   "PROPERTY\n" + card({"5", "4", "1.0", "2.0", "3.0", "4.0"}) + "\nNODE\n" +
                   node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                   node_card(3, "1.0", "1.0", "0.0") + node_card(4, "0.0", "1.0", "0.0") +
                   node_card(5, "2.0", "1.0", "0.0") + node_card(6, "2.0", "2.0", "0.0") + "CONNECTI\n" +
                   element_card(1, 1, 0, {1, 2, 3, 4}) + element_card(2, 2, 5, {3, 5, 6}));
}

TEST(Ta1Tables, MixedModelEquationWordsAndDictionary) {
  DeckRun run(mixed_deck());
  ASSERT_TRUE(run.model_phase());
  const Index x = read_index();

  // DOF counts: plane nodes 2, the shared and the beam node 6, the
  // orientation node 0; equations follow the internal order.
  const std::map<word, word> counts{{1, 2}, {2, 2}, {3, 6}, {4, 2}, {5, 6}, {6, 0}};
  for (const auto& [id, n] : counts) EXPECT_EQ(count_of(x.eqw.at(id)), n) << "node " << id;
  EXPECT_EQ(check_equation_order(x), 18);
  EXPECT_EQ(block_header(EQIX), (std::array<word, 6>{6, 18, 6, 0, 0, 0}));
  EXPECT_EQ(ta1com().IRNFLG, 0) << "renumbered: profile 13 against 14 in input order";

  // ECT and EST: the element's own DOF count at each node; the beam's
  // orientation node has count 0 and widens the equation range.
  const auto at = [&](word id, word n) { return (x.eqw.at(id) & ~1023) + n; };
  const auto ect = block_records(ECT);
  ASSERT_EQ(ect.size(), 2u);
  const auto low_high = [&](std::initializer_list<word> ids) {
    word lo = 1 << 30, hi = 0;
    for (word id : ids) lo = std::min(lo, first_of(x.eqw.at(id))), hi = std::max(hi, first_of(x.eqw.at(id)));
    return std::pair{lo, hi};
  };
  const auto [qlo, qhi] = low_high({1, 2, 3, 4});
  const auto [blo, bhi] = low_high({3, 5, 6});
  EXPECT_EQ(ect[0], (std::vector<word>{2, 2, 3, 12, blo, bhi, at(3, 6), at(5, 6), at(6, 0)}));
  EXPECT_EQ(ect[1], (std::vector<word>{1, 1, 4, 8, qlo, qhi, at(1, 2), at(2, 2), at(4, 2), at(3, 2)}));
  EXPECT_EQ(block_header(ECT), (std::array<word, 6>{2, (1 << 4) | (1 << 10), 4, 12, 0, 0}));

  // EST of the beam: 20 property words (four given, the rest 0.0), nine
  // coordinates, three equation words.
  const auto est = block_records(EST);
  ASSERT_EQ(est.size(), 2u);
  EXPECT_EQ(format_record(est[0], "I10 R@8 R@9 I@10"),
            "2 33554437 1 0 6 1 1 20 9 3 | 1 2 3 4 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 | 1 1 0 2 1 0 2 2 0 | " +
                std::to_string(at(3, 6)) + " " + std::to_string(at(5, 6)) + " " + std::to_string(at(6, 0)));
  EXPECT_EQ(format_record(est[1], "I10 R@8 R@9 I@10"),
            "1 16777227 1 0 5 5 5 0 8 4 | | 0 0 1 0 0 1 1 1 | " + std::to_string(at(1, 2)) + " " +
                std::to_string(at(2, 2)) + " " + std::to_string(at(4, 2)) + " " + std::to_string(at(3, 2)));
  EXPECT_EQ(block_header(EST), (std::array<word, 6>{2, (1 << 4) | (1 << 10), 4, 12, 5, 20 + 9 + 3 + 9}));

  // ADIC of the shared node: both elements, five connected nodes with 18
  // DOF; the orientation node has no connection.
  const auto adic = block_records(ADIC);
  ASSERT_EQ(adic.size(), 6u);
  std::vector<word> five;
  for (word k = 1; k <= 6; ++k)
    if (x.by_internal[static_cast<std::size_t>(k - 1)] != 6) five.push_back(x.eqw.at(x.by_internal[static_cast<std::size_t>(k - 1)]));
  std::vector<word> shared{x.eqw.at(3), 5, 18, 2, 1, 2};
  shared.insert(shared.end(), five.begin(), five.end());
  EXPECT_EQ(adic[static_cast<std::size_t>(x.internal.at(3) - 1)], shared);
  EXPECT_EQ(adic[static_cast<std::size_t>(x.internal.at(6) - 1)], (std::vector<word>{x.eqw.at(6), 0, 0, 0}));
  EXPECT_EQ(block_header(ADIC), (std::array<word, 6>{6, 18, 0, 0, 0, 5 + 2 + 4}));
}

// A block of 4 x 4 x 4 HEX8 elements on 5 x 5 x 5 nodes, node identifier
// 1 + i + 5 j + 25 k at (i, j, k).
std::string hex_block() {
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\n" + material_cards() + "NODE\n";
  const auto id = [](int i, int j, int k) { return 1 + i + 5 * j + 25 * k; };
  for (int k = 0; k < 5; ++k)
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 5; ++i)
        b += node_card(id(i, j, k), std::to_string(i) + ".0", std::to_string(j) + ".0", std::to_string(k) + ".0");
  b += "CONNECTI\n";
  int e = 0;
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 4; ++j)
      for (int i = 0; i < 4; ++i)
        b += element_card(++e, 1, 0,
                          {id(i, j, k), id(i + 1, j, k), id(i + 1, j + 1, k), id(i, j + 1, k), id(i, j, k + 1),
                           id(i + 1, j, k + 1), id(i + 1, j + 1, k + 1), id(i, j + 1, k + 1)});
  return bulk_deck(b);
}

TEST(Ta1Tables, HexBlockDictionaryAndElementRecords) {
  DeckRun run(hex_block());
  ASSERT_TRUE(run.model_phase());
  const Index x = read_index();
  EXPECT_EQ(check_equation_order(x), 375);
  EXPECT_EQ(block_header(EQIX), (std::array<word, 6>{125, 375, 3, 0, 0, 0}));
  EXPECT_EQ(block_header(EST), (std::array<word, 6>{64, 1, 8, 24, 9, 41}));
  EXPECT_EQ(block_header(ECT), (std::array<word, 6>{64, 1, 8, 24, 0, 0}));
  EXPECT_EQ(block_header(ADIC), (std::array<word, 6>{125, 375, 0, 0, 0, 39}));

  // Interior node (2, 2, 2) and a corner.
  const auto adic = block_records(ADIC);
  const auto& interior = adic[static_cast<std::size_t>(x.internal.at(63) - 1)];
  EXPECT_EQ(std::vector<word>(interior.begin() + 1, interior.begin() + 4), (std::vector<word>{27, 81, 8}));
  EXPECT_EQ(interior.size(), 4u + 8 + 27);
  const auto& corner = adic[static_cast<std::size_t>(x.internal.at(1) - 1)];
  EXPECT_EQ(std::vector<word>(corner.begin() + 1, corner.begin() + 4), (std::vector<word>{8, 24, 1}));

  // Connection is symmetric, each node lists itself, equation words in
  // ascending internal order.
  std::map<word, word> internal_of_eqw;
  for (const auto& [id, w] : x.eqw) internal_of_eqw[w] = x.internal.at(id);
  std::vector<std::set<word>> conn(126);
  for (std::size_t i = 0; i < adic.size(); ++i) {
    const auto& r = adic[i];
    const auto m = static_cast<std::size_t>(r[1]), k = static_cast<std::size_t>(r[3]);
    ASSERT_EQ(r.size(), 4 + k + m);
    word previous = 0;
    for (std::size_t j = 4 + k; j < r.size(); ++j) {
      const word n = internal_of_eqw.at(r[j]);
      EXPECT_GT(n, previous);
      previous = n;
      conn[i + 1].insert(n);
    }
    EXPECT_TRUE(conn[i + 1].count(static_cast<word>(i + 1)));
  }
  for (word a = 1; a <= 125; ++a)
    for (word b : conn[static_cast<std::size_t>(a)]) EXPECT_TRUE(conn[static_cast<std::size_t>(b)].count(a)) << a << " " << b;

  // Every EST record carries its nodes' coordinates and equation words.
  const auto nodc = block_records(NODC)[0];
  const auto cone = block_records(CONE);
  const auto est = block_records(EST);
  ASSERT_EQ(est.size(), 64u);
  for (std::size_t e = 0; e < est.size(); ++e) {
    for (std::size_t j = 0; j < 8; ++j) {
      const auto node = static_cast<std::size_t>(cone[e][5 + j]);
      for (std::size_t c = 0; c < 3; ++c) EXPECT_EQ(est[e][10 + 3 * j + c], nodc[8 * (node - 1) + 5 + c]);
      EXPECT_EQ(est[e][34 + j], x.eqw.at(nodc[8 * (node - 1)]));
    }
  }
}

TEST(Ta1Tables, PropertyLookupAndMaterialGroups) {
  // ROD2 takes three property words. Element 4 names an undefined property:
  // one 2331, and no values for it and the rest of its type definition.
  // The second ROD2 definition looks property 1 up again; a type without
  // property words never looks one up.
  std::string b = "ELEMENT\n" + card({"1", "ROD2"}) + "\n" + card({"2", "ROD2"}) + "\n" + card({"3", "TPLAN3"}) +
                  "\n" + material_cards() + "PROPERTY\n" + card({"1", "3", "1.0", "2.0", "3.0"}) + "\n" +
                  card({"2", "2", "4.0", "5.0"}) + "\n" + card({"3", "5", "6.0", "7.0", "8.0", "9.0", "10.0"}) +
                  "\nNODE\n";
  for (int i = 1; i <= 8; ++i) b += node_card(i, std::to_string(i) + ".0", "0.0", "0.0");
  b += "CONNECTI\n" + element_card(1, 1, 1, {1, 2}) + element_card(2, 1, 2, {2, 3}) + element_card(3, 1, 3, {3, 4}) +
       element_card(4, 1, 9, {4, 5}) + element_card(5, 1, 1, {5, 6}) + element_card(6, 2, 1, {6, 7}) +
       element_card(7, 3, 77, {6, 7, 8}) + "MGROUP\n" + card({"9"}) + "\n" + card({"", "F1", "2", "6"}) + "\n";
  DeckRun run(bulk_deck(b));
  run.input();
  tables();

  struct Row {
    word id, mgroup, np;
    std::vector<float> values;
  };
  const std::vector<Row> rows{{1, 0, 3, {1, 2, 3}}, {2, 9, 3, {4, 5, 0}}, {3, 0, 3, {6, 7, 8}}, {4, 0, 0, {}},
                              {5, 0, 0, {}},        {6, 9, 3, {1, 2, 3}}, {7, 0, 0, {}}};
  const auto est = block_records(EST);
  ASSERT_EQ(est.size(), rows.size());
  for (std::size_t e = 0; e < rows.size(); ++e) {
    const Row& r = rows[e];
    EXPECT_EQ(est[e][0], r.id);
    EXPECT_EQ(est[e][3], r.mgroup) << "element " << r.id;
    EXPECT_EQ(est[e][7], r.np) << "element " << r.id;
    for (std::size_t k = 0; k < r.values.size(); ++k) EXPECT_EQ(real_of(est[e][10 + k]), r.values[k]) << "element " << r.id;
  }
  EXPECT_EQ(message_numbers(run.listing()), (std::vector<int>{-2128, 2331}));  // 2128: the decoder's warning
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 2331, PROPERTY DATA ID     9 REFERED BY ELEMENT     4 IS UNDEFINED"));
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST(Ta1Run, UndefinedPropertyEndsTheRunAfterTheTables) {
  // The whole program: the error ends the run after TA1 with an error end,
  // the message on both files, and no work file left behind.
  std::string deck = mixed_deck();
  deck.replace(deck.find(card({"5", "4"})), 2, "6 ");
  DeckRun run(deck);
  EXPECT_EQ(run.run_program(), 1);
  EXPECT_TRUE(has_line(run.listing(), "0*** USER FATAL MESSAGE 2331, PROPERTY DATA ID     5 REFERED BY ELEMENT     2"));
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE 2331"));
  for (const auto& f : run.files()) EXPECT_EQ(f.rfind("WORK", 0), std::string::npos) << f;
  EXPECT_FALSE(run.lines(kProgressFile).empty());

  // The good deck fixed at node 1 in the plane and at the beam's far end
  // goes through the construction history to the end.
  std::string fixed = mixed_deck();
  fixed.insert(fixed.rfind("ENDDATA"), "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n" +
                                            card({"", "5", "", "", "", "1", "6"}) + "\n");
  DeckRun good(with_history(fixed));
  EXPECT_EQ(good.run_program(), 0);
  EXPECT_FALSE(has_line(good.errors(), "USER FATAL"));
}

// Fatal stops of the open-core plan: the words needed and available.
TEST(Ta1Fatal, ShortOfCore) {
  struct Case {
    const char* what;
    word below_buffer;  // words below the CONE buffer
    std::string text;   // an expected line of the error log
  };
  const word nbuf = 1025;
  const std::vector<Case> cases{
      {"less core than a buffer", 0, "INSUFFICIENT MEMORY"},
      {"no room for the element pointers", 8, fline("(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')", {10 + nbuf, 8 + nbuf})},
      // New numbers (6), pointers (3), then five of the six list words.
      {"element node lists", 14, fline("(10X,A4,' TABLE TOO LARGE TO HOLD IN MEMORY, CORSIZE=',I8)", {"CONN", 5})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeckRun run(mixed_deck());
    run.input();
    GP1(STRC, CSTM, NODC, CONE);
    TA2(ELST, CONE, IELS);
    ASSERT_EQ(sysw().NBUFSZ, nbuf);
    sysw().COREND = 1 + c.below_buffer + nbuf;
    EXPECT_EXIT(ta1(), ::testing::ExitedWithCode(1), "");
    EXPECT_TRUE(has_line(run.errors(), c.text)) << c.text;
  }
}

// Connection records that TA1 must refuse (written by hand: GP1 never
// writes them): the run ends with the message and its words.
TEST(Ta1Fatal, MalformedConnectionRecords) {
  using Records = std::vector<std::vector<word>>;
  const word quad = (1 << 24) | 11;
  struct Case {
    const char* what;
    Records cone;
    word ne;
    std::string text;
  };
  std::vector<word> long_record(101, 1);
  long_record[1] = quad;
  const std::vector<Case> cases{
      {"longer than 100 words", {long_record}, 1, "RECORD SIZE IN FILE CONE EXCEEDED MAXIMUM RECORD SIZE"},
      {"length and node count disagree", {{1, quad, 0, 1, 4, 1, 2, 3}}, 1,
       "THE        1-TH RECORD LENGTH IS NOT EQUAL TO        4"},
      {"node count disagrees with the type", {{1, quad, 0, 1, 3, 1, 2, 3}}, 1, "REASON CODE =         4,         3"},
      {"fewer records than elements", {{1, quad, 0, 1, 4, 1, 2, 4, 3}}, 2, "UNEXPECTED END-OF-FILE ON FILE CONE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zephsol::testing::FreshFileSystem fs(2);
    reset_elem_state();
    reset_model_state();
    elem_state().tables.etyp.count = 1;
    elem_state().tables.etyp.entry[0] = {1, 11};
    write_block(NODC, {{1, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0}},
                {4, 1, 0, 3, 0, 0});
    write_block(CONE, c.cone, {c.ne, 1, 4, 0, 0, 0});
    EXPECT_EXIT(ta1(), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(fs.read("errors").find(c.text), std::string::npos) << fs.read("errors");
  }
}

TEST(Ta1Fatal, MoreEquationsThanAnEquationWordNumbers) {
  // A chain of springs with six DOF per node: 349,526 nodes give 2,097,156
  // equations, past the largest first equation 2,097,151.
  zephsol::testing::FreshFileSystem fs(24);
  reset_elem_state();
  reset_model_state();
  elem_state().tables.etyp.count = 1;
  elem_state().tables.etyp.entry[0] = {1, 22};
  const word n = 349526;
  std::vector<word> nodes;
  nodes.reserve(static_cast<std::size_t>(8 * n));
  for (word i = 1; i <= n; ++i) nodes.insert(nodes.end(), {i, 0, 0, 0, 3, real_word(static_cast<float>(i)), 0, 0});
  write_block(NODC, {nodes}, {n, 1, 0, 3, 0, 0});
  std::vector<std::vector<word>> springs;
  springs.reserve(static_cast<std::size_t>(n - 1));
  for (word e = 1; e < n; ++e) springs.push_back({e, (1 << 24) | 22, 0, 1, 2, e, e + 1});
  write_block(CONE, springs, {n - 1, 1, 2, 0, 0, 0});
  EXPECT_EXIT(ta1(), ::testing::ExitedWithCode(1), "");
  const std::string log = fs.read("errors");
  EXPECT_NE(log.find("THE MODEL HAS     2097156 EQUATIONS; AN EQUATION WORD NUMBERS AT MOST 2097151"), std::string::npos) << log;
  EXPECT_NE(log.find("TABLE LENGTH  2097156 EXCEEDED THE INTERNAL LIMIT"), std::string::npos) << log;
}

}  // namespace
}  // namespace zephsol::test
