// GP3: nodal loads turned from local systems into the basic system, element
// load records, temperature records, the messages for rejected entries and
// the identifiers a wide range left out.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/modeldeck.h"
#include "zephsol/exec/records.h"
#include "zephsol/model/gp3.h"

namespace zephsol::test {
namespace {

void gp3() { GP3(LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD); }

// The files of a multi-file data block: records as words.
using Files = std::vector<std::vector<std::vector<word>>>;

Files read_files(word block) {
  Files files(1);
  for (const std::string& line : dump_block(block, "I*")) {
    if (line.rfind("header:", 0) == 0) continue;
    if (line == "EOF") {
      files.emplace_back();
      continue;
    }
    std::istringstream in(line.substr(line.find(':') + 1));
    std::vector<word> rec;
    for (long long v; in >> v;) rec.push_back(static_cast<word>(v));
    files.back().push_back(rec);
  }
  if (files.back().empty()) files.pop_back();
  return files;
}

// Equation words of the nodes (EQIX record 2).
std::map<word, word> equation_words() {
  const auto r = block_records(EQIX);
  std::map<word, word> out;
  for (std::size_t i = 0; i < r[1].size(); i += 2) out[r[1][i]] = r[1][i + 1];
  return out;
}

// An "NLOAD" member: node, system, first and last component, values.
std::string nload(int node, int system, int c, int d, std::vector<std::string> values) {
  std::vector<std::string> f{"", std::to_string(node), "", "", system != 0 ? std::to_string(system) : "",
                             std::to_string(c), std::to_string(d)};
  for (auto& v : values) f.push_back(v);
  std::string out;
  for (auto& s : f) {
    s.resize(8, ' ');
    out += s;
  }
  return out + "\n";
}

const std::vector<int> kHex{1, 2, 3, 4, 5, 6, 7, 8};

std::string nodes_and_hex(const std::string& more_elements = "") {
  return "NODE\n" + node_card(1, "3.0", "4.0", "7.0") + node_card(2, "3.0", "4.0", "0.0") +
         node_card(3, "0.0", "0.0", "5.0") + node_card(4, "1.0", "0.0", "0.0") + node_card(5, "1.0", "1.0", "1.0") +
         node_card(6, "2.0", "2.0", "2.0") + node_card(7, "5.0", "5.0", "5.0") + node_card(8, "6.0", "6.0", "6.0") +
         "CONNECTI\n" + element_card(10, 1, 0, kHex) + more_elements;
}

std::string systems_deck(const std::string& loads) {
  return bulk_deck("ELEMENT\n" + card({"1", "HEX8"}) + "\n" + material_cards() + "COORDINA\n" +
                   // cylindrical and spherical about the basic axes
                   card({"1", "2", "0.0", "0.0", "0.0", "1.0", "0.0", "0.0"}) + "\n" + card({"", "", "0.0", "1.0", "0.0"}) +
                   "\n" + card({"2", "3", "0.0", "0.0", "0.0", "1.0", "0.0", "0.0"}) + "\n" +
                   card({"", "", "0.0", "1.0", "0.0"}) + "\n" +
                   // rectangular: e1 = y, e2 = -x, e3 = z
                   card({"3", "1", "10.0", "0.0", "0.0", "10.0", "1.0", "0.0"}) + "\n" +
                   card({"", "", "9.0", "0.0", "0.0"}) + "\n" + nodes_and_hex() + "NLOAD\n" + loads);
}

TEST(Gp3NodalLoads, LocalSystemsTurnIntoBasicComponents) {
  DeckRun run(systems_deck(card({"5"}) + "\n" + nload(1, 1, 1, 1, {"10.0"}) + nload(1, 1, 2, 2, {"10.0"}) +
                           nload(2, 2, 1, 3, {"1.0", "2.0", "3.0"}) + nload(4, 3, 1, 3, {"1.0", "2.0", "3.0"}) +
                           nload(3, 1, 1, 1, {"7.0"}) + nload(99, 0, 1, 1, {"1.0"}) +
                           nload(5, 0, 4, 6, {"1.0", "2.0", "3.0"}) + nload(6, 77, 1, 3, {"1.0", "2.0", "3.0"})));
  ASSERT_TRUE(run.model_phase());
  gp3();

  // Cylindrical at (3, 4, 7): radial (0.6, 0.8, 0), tangential (-0.8, 0.6, 0).
  // Spherical at (3, 4, 0): (1, 2, 3) -> 1 (0.6, 0.8, 0) + 2 (-0.8, 0.6, 0) + 3 (0, 0, 1).
  // Rotated rectangular: (1, 2, 3) -> 1 y - 2 x + 3 z. Node 3 lies on the
  // cylinder's axis (2451, values kept); node 99 is undefined (2421,
  // dropped); node 5 is loaded beyond its three DOFs (2357, zeros written);
  // system 77 is undefined (2356, values kept).
  const auto eqw = equation_words();
  const std::vector<std::pair<word, std::array<float, 3>>> expected{
      {eqw.at(1), {6, 8, 0}},   {eqw.at(1), {-8, 6, 0}}, {eqw.at(2), {-1, 2, 3}}, {eqw.at(4), {-2, 1, 3}},
      {eqw.at(3), {7, 0, 0}},   {eqw.at(5), {0, 0, 0}},  {eqw.at(6), {1, 2, 3}}};
  const Files files = read_files(LDDT);
  ASSERT_EQ(files.size(), 1u);
  ASSERT_EQ(files[0].size(), 2u);
  EXPECT_EQ(files[0][0], (std::vector<word>{name_word("FORC"), 51, 1}));
  const auto& rec = files[0][1];
  ASSERT_EQ(rec.size(), 4 * expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(rec[4 * i], expected[i].first) << "entry " << i;
    for (std::size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(real_of(rec[4 * i + 1 + k]), expected[i].second[k], 1e-5f) << "entry " << i << " component " << k;
  }
  EXPECT_EQ(block_header(LDDT), (std::array<word, 6>{1, 0, 1, 1, 24, 28}));

  const std::vector<std::string> messages{
      "0*** USER FATAL MESSAGE 2451, INDEFINITE DIRECTION DETECTED AT NODE      3",
      "          WHILE COMPUTING NLOAD      5 USING COORDINATE SYSTEM      1",
      "0*** USER FATAL MESSAGE 2421,   NLOAD     5 REFERS UNDEFINED NODE    99",
      "0*** USER FATAL MESSAGE 2357, D.O.F NUMBER    4 OF NODE     5 IN   NLOAD     5 IS OUT OF RANGE",
      "0*** USER FATAL MESSAGE 2356, COORDINATE SYSTEM ID     77 REFERED BY NODE      6 IN FORCE      5 IS UNDEFINED"};
  EXPECT_EQ(run.errors(), messages);
  for (const auto& m : messages) EXPECT_TRUE(has_line(run.listing(), m)) << m;
  EXPECT_EQ(sysw().IERFLG, 4);
}

TEST(Gp3Directions, PairsAndSpheresAsTheAxesGive) {
  // A rectangular system turned 90 degrees about z: a pair (1, 0) is (0, 1).
  std::vector<word> rect(15, 0);
  rect[1] = 1;
  const float axes[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
  for (int k = 0; k < 9; ++k) rect[static_cast<std::size_t>(6 + k)] = word_of(axes[k]);
  std::array<float, 6> v{1, 0, 0, 0, 0, 0};
  const std::array<float, 3> x{0, 0, 0};
  GP3DIR(v, 2, rect, x, {1, 1});
  EXPECT_NEAR(v[0], 0.0f, 1e-7f);
  EXPECT_NEAR(v[1], 1.0f, 1e-7f);

  // Forces and moments of a six-DOF node turn alike.
  std::array<float, 6> w{1, 2, 3, 1, 2, 3};
  GP3DIR(w, 6, rect, x, {1, 1});
  for (int k : {0, 3}) {
    EXPECT_NEAR(w[static_cast<std::size_t>(k)], -2.0f, 1e-6f);
    EXPECT_NEAR(w[static_cast<std::size_t>(k + 1)], 1.0f, 1e-6f);
    EXPECT_NEAR(w[static_cast<std::size_t>(k + 2)], 3.0f, 1e-6f);
  }
}

TEST(Gp3NodalLoads, WideRangeReportsEveryUndefinedNodeAsTheExactRangeWould) {
  // Nodes 1 to 5000 on a model of eight: the decoder keeps the eight, GP3
  // reports the 4992 others as undefined, the first 100 printed.
  DeckRun run(systems_deck(card({"6"}) + "\n" + card({"", "1", "5000", "", "", "1", "", "2.5"}) + "\n"));
  ASSERT_TRUE(run.model_phase());
  gp3();
  const Files files = read_files(LDDT);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0][1].size(), 8u * 4u);
  EXPECT_EQ(sysw().IERFLG, 4992);
  const auto errors = run.errors();
  EXPECT_EQ(count_lines(errors, "REFERS UNDEFINED NODE"), 100);
  EXPECT_EQ(errors.front(), "0*** USER FATAL MESSAGE 2421,   NLOAD     6 REFERS UNDEFINED NODE     9");
  EXPECT_TRUE(has_line(errors, "0*** USER FATAL MESSAGE 2421,   NLOAD     6 REFERS UNDEFINED NODE   108"));
  EXPECT_EQ(errors.back(), "0*** TOTAL  4992 ERRORS -- FIRST   100 ARE PRINTED");
}

// A HEX8 (element 10, sequence 1) and a JOINT8 (element 20, sequence 2) on
// the same nodes; the joint takes no distributed load, no temperature, and a
// body force without load words.
std::string element_deck(const std::string& loads) {
  return bulk_deck("ELEMENT\n" + card({"1", "HEX8"}) + "\n" + card({"2", "JOINT8"}) + "\n" + material_cards() +
                   "PROPERTY\n" + card({"3", "8", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "2.0"}) + "\n" +
                   nodes_and_hex(element_card(20, 2, 3, kHex)) + loads);
}

TEST(Gp3ElementLoads, RecordsPerElementAndTheirRejections) {
  DeckRun run(element_deck("DLOAD\n" + card({"1"}) + "\n" + card({"", "10", "", "", "1", "1", "1", "100.0"}) + "\n" +
                           card({"", "10", "", "", "2", "1", "1", "200.0"}) + "\n" + card({"2"}) + "\n" +
                           card({"", "20", "", "", "1", "1", "1", "5.0"}) + "\n" +
                           card({"", "99", "", "", "1", "1", "1", "5.0"}) + "\n" + "BODY\n" + card({"3"}) + "\n" +
                           card({"", "10", "20", "10", "0.0", "0.0", "-9.8"}) + "\n" + "TEMPERAT\n" + card({"4"}) +
                           "\n" + card({"", "20", "", "", "15.0"}) + "\n" + card({"", "10", "", "", "15.0"}) + "\n"));
  ASSERT_TRUE(run.model_phase());
  gp3();

  const word f100 = word_of(100.0f), f200 = word_of(200.0f), g = word_of(-9.8f);
  const Files loads = read_files(LDDT);
  ASSERT_EQ(loads.size(), 2u) << "set 2 keeps no entry: no file";
  // Two faces of element 10: one record of two items [2, 5, type, 4 values].
  EXPECT_EQ(loads[0], (Files::value_type{{name_word("FORC"), 12, 2}, {1, 2, 2, 5, 1, f100, 0, 0, 0, 2, 5, 2, f200, 0, 0, 0}}));
  // The body force: four words on the HEX8, none on the joint, no message.
  EXPECT_EQ(loads[1], (Files::value_type{{name_word("FORC"), 37, 2}, {1, 1, 7, 4, 0, 0, 0, g}, {2, 1, 7, 0}}));
  EXPECT_EQ(block_header(LDDT)[0], 3) << "the header counts the set without file";
  EXPECT_EQ(block_header(LDDT)[1], 16);
  EXPECT_EQ(block_header(LDDT)[2], 2);
  EXPECT_EQ(block_header(LDDT)[3], 2);

  // Temperatures: records in sequence order, the joint's written after 2425.
  const word t = word_of(15.0f);
  const Files temps = read_files(TMPD);
  ASSERT_EQ(temps.size(), 1u);
  ASSERT_EQ(temps[0].size(), 3u);
  EXPECT_EQ(temps[0][0], (std::vector<word>{name_word("TEMP"), 4, 2}));
  EXPECT_EQ(temps[0][1], (std::vector<word>{1, 128, t, t, t, t, t, t, t, t}));
  EXPECT_EQ(temps[0][2], (std::vector<word>{2, 128, t, t, t, t, t, t, t, t}));
  EXPECT_EQ(block_header(TMPD), (std::array<word, 6>{1, 0, 2, 0, 0, 10}));

  const std::vector<std::string> messages{
      "0*** USER FATAL MESSAGE 2425, IN TEMPERATURE     4",
      "          THERMAL LOAD ON ELEMENT JOINT8        20 MAY NOT BE APPLIED.",
      "0*** USER FATAL MESSAGE 2188, ELEMENT LOAD TYPE    DLOAD FOR ELEMENT     20 IN     2 IS NOT AVAILABLE",
      "0*** USER FATAL MESSAGE 2423,   DLOAD     2 REFERS UNDEFINED ELEMENT    99",
      "0*** USER FATAL MESSAGE 2440,   DLOAD     2 DEFINES NULL DATA."};
  EXPECT_EQ(run.errors(), messages);
  EXPECT_EQ(sysw().IERFLG, 4);
}

TEST(Gp3Temperatures, OnlyTemperaturesLeaveTheLoadTableAlone) {
  DeckRun run(element_deck("TEMPERAT\n" + card({"7"}) + "\n" + card({"", "10", "", "", "-3.0"}) + "\n" +
                           card({"", "11", "5000", "", "1.0"}) + "\n"));
  ASSERT_TRUE(run.model_phase());
  gp3();
  EXPECT_EQ(block_header(LDDT), (std::array<word, 6>{}));
  const Files temps = read_files(TMPD);
  ASSERT_EQ(temps.size(), 1u);
  ASSERT_EQ(temps[0].size(), 3u);
  EXPECT_EQ(temps[0][0], (std::vector<word>{name_word("TEMP"), 7, 2}));
  EXPECT_EQ(temps[0][1][2], word_of(-3.0f));
  EXPECT_EQ(temps[0][2][2], word_of(1.0f));
  // Elements 11 to 5000 are a wide range over two defined elements: 20 is
  // kept, the 4989 others are reported.
  EXPECT_EQ(sysw().IERFLG, 4989 + 1) << "and 2425 for the joint";
  EXPECT_EQ(run.errors().front(), "0*** USER FATAL MESSAGE 2428, TEMPERATURE     7 REFERS UNDEFINED ELEMENT    11");
}

TEST(Gp3InitialStress, AnElementStressedTwiceIsRefused) {
  DeckRun run(element_deck("INIT STR\n" + card({"", "10", "", "", "1.0", "2.0", "3.0", "4.0", "5.0", "6.0"}) + "\n" +
                           card({"", "7.0", "8.0", "9.0", "10.0", "11.0", "12.0"}) + "\n" +
                           card({"", "10", "20", "10", "1.0", "1.0", "1.0"}) + "\n" + card({"", "0.0"}) + "\n"));
  ASSERT_TRUE(run.model_phase());
  gp3();
  EXPECT_EQ(run.errors(),
            (std::vector<std::string>{"0*** USER FATAL MESSAGE 2424,INIT STR     0 GIVES ELEMENT    10 A SECOND INITIAL STRESS"}));
  const Files loads = read_files(LDDT);
  ASSERT_EQ(loads.size(), 1u);
  ASSERT_EQ(loads[0].size(), 3u);
  EXPECT_EQ(loads[0][0], (std::vector<word>{name_word("FORC"), 8, 2}));
  // The first entry of element 10 stays: [1, 1, 8, 13, 0, S1..S12].
  ASSERT_EQ(loads[0][1].size(), 17u);
  EXPECT_EQ((std::vector<word>(loads[0][1].begin(), loads[0][1].begin() + 5)), (std::vector<word>{1, 1, 8, 13, 0}));
  EXPECT_EQ(loads[0][1][16], word_of(12.0f));
  EXPECT_EQ(loads[0][2][0], 2);
  EXPECT_EQ(block_header(LDDT)[2], 2 + 8);
}

// Whole runs: load errors end the run after the model tables as an error,
// with GP2's errors reported too; good loads let it go on.
TEST(Gp3Run, LoadErrorsEndTheRunAfterTheModelTables) {
  DeckRun run(element_deck("DISP\n" + card({"1"}) + "\n" + card({"", "98", "", "", "", "1", "", "1.0"}) + "\n" +
                           "NLOAD\n" + card({"2"}) + "\n" + nload(97, 0, 1, 1, {"1.0"}) + "DLOAD\n" + card({"3"}) +
                           "\n" + card({"", "20", "", "", "1", "1", "1", "5.0"}) + "\n" + card({"", "10", "", "", "1", "1", "1", "5.0"}) + "\n"));
  EXPECT_EQ(run.run_program(), 1);
  EXPECT_EQ(message_numbers(run.listing()), (std::vector<int>{2417, 2440, 2421, 2440, 2188}));
  EXPECT_EQ(count_lines(run.errors(), "0*** USER FATAL MESSAGE"), 5);
}

TEST(Gp3Run, GoodLoadsLetTheRunGoOn) {
  // A unit cube with a nodal load, a temperature and an initial stress.
  const std::string cube = "NODE\n" + node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                           node_card(3, "1.0", "1.0", "0.0") + node_card(4, "0.0", "1.0", "0.0") +
                           node_card(5, "0.0", "0.0", "1.0") + node_card(6, "1.0", "0.0", "1.0") +
                           node_card(7, "1.0", "1.0", "1.0") + node_card(8, "0.0", "1.0", "1.0");
  DeckRun run(with_history(bulk_deck("ELEMENT\n" + card({"1", "HEX8"}) + "\n" + material_cards() + cube + "CONNECTI\n" +
                        element_card(10, 1, 0, kHex) + "NLOAD\n" + card({"5"}) + "\n" + nload(7, 0, 1, 1, {"10.0"}) +
                        "TEMPERAT\n" + card({"4"}) + "\n" + card({"", "10", "", "", "15.0"}) + "\n" + "INIT STR\n" +
                        card({"", "10", "", "", "1.0"}) + "\n" + card({"", "0.0"}) + "\n" +
                        // The bottom face fixed, so that the run goes to the end.
                        "CONST\n" + card({"", "1", "4", "", "", "1", "3"}) + "\n")));
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_FALSE(has_line(run.errors(), "MESSAGE")) << run.text(kErrorFile);
}

}  // namespace
}  // namespace zephsol::test
