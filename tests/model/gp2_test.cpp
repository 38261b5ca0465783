// GP2: boundary and MPC sets from node references to equation numbers, with
// their checks and messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <string>
#include <vector>

#include "support/bcdt.h"
#include "support/modeldeck.h"
#include "zephsol/model/gp2.h"

namespace zephsol::test {
namespace {

// A plane quadrilateral 1-2-3-4 (2 DOF a node) and a beam from node 3 to
// node 5 (6 DOF) whose orientation node 6 carries none; coordinate systems 20
// and 10, in that order.
std::string model(const std::string& groups) {
  return bulk_deck("ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + card({"2", "BEAM2"}) + "\n" + material_cards() +
                   "PROPERTY\n" + card({"5", "4", "1.0", "2.0", "3.0", "4.0"}) + "\nCOORDINA\n" +
                   card({"20", "1", "0.0", "0.0", "0.0", "0.0", "1.0", "0.0"}) + "\n" +
                   card({"", "", "1.0", "0.0", "0.0"}) + "\n" +
                   card({"10", "2", "0.0", "0.0", "0.0", "0.0", "0.0", "1.0"}) + "\n" +
                   card({"", "", "1.0", "0.0", "0.0"}) + "\nNODE\n" + node_card(1, "0.0", "0.0", "0.0") +
                   node_card(2, "1.0", "0.0", "0.0") + node_card(3, "1.0", "1.0", "0.0") +
                   node_card(4, "0.0", "1.0", "0.0") + node_card(5, "2.0", "1.0", "0.0") +
                   node_card(6, "2.0", "2.0", "0.0") + "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 3, 4}) +
                   element_card(2, 2, 5, {3, 5, 6}) + groups);
}

// EQIX words of the nodes, and the equation of (node, component).
struct Equations {
  std::map<word, word> eqword;
  std::map<word, word> position;  // node position: the place in EQIX record 2
  Equations() {
    const auto pairs = block_records(EQIX).at(1);
    for (std::size_t k = 0; k < pairs.size(); k += 2) {
      eqword[pairs[k]] = pairs[k + 1];
      position[pairs[k]] = static_cast<word>(k / 2 + 1);
    }
  }
  word eq(word node, word comp) const { return (eqword.at(node) >> 10) + comp - 1; }
  std::string operator()(word node, word comp) const { return std::to_string(eq(node, comp)); }

  // Pairs "equation value" of (node, component, value), ascending by equation.
  std::string pairs(std::vector<std::tuple<word, word, std::string>> p) const {
    std::sort(p.begin(), p.end(), [&](const auto& a, const auto& b) {
      return eq(std::get<0>(a), std::get<1>(a)) < eq(std::get<0>(b), std::get<1>(b));
    });
    std::string out;
    for (const auto& [node, comp, value] : p) out += (out.empty() ? "" : " ") + (*this)(node, comp) + " " + value;
    return out;
  }
  // Node rows [EQIX word, node position, system position, node] of (node,
  // system position), ascending by EQIX word.
  std::string rows(std::vector<std::pair<word, word>> r) const {
    std::sort(r.begin(), r.end(), [&](const auto& a, const auto& b) { return eqword.at(a.first) < eqword.at(b.first); });
    std::string out;
    for (const auto& [node, p] : r)
      out += (out.empty() ? "" : " ") + std::to_string(eqword.at(node)) + " " + std::to_string(position.at(node)) + " " +
             std::to_string(p) + " " + std::to_string(node);
    return out;
  }
};

std::string disp_card(const std::string& node, const std::string& comp, const std::string& value,
                      const std::string& system = "", const std::string& last = "") {
  return card({"", node, last, "", system, comp, "", value}) + "\n";
}

struct Result {
  Equations q;
  std::vector<std::string> files;
  std::array<word, 6> header;
  std::vector<int> messages;
  word errors;
};

// The deck through the model tables and GP2.
Result run_gp2(DeckRun& run) {
  EXPECT_TRUE(run.model_phase());
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  return {Equations{}, bcdt_files(), block_header(BCDT), message_numbers(run.listing()), sysw().IERFLG};
}

TEST(Gp2Boundary, SetCases) {
  struct Case {
    const char* what;
    std::string groups;
    // The expected files, given the equations of the model.
    std::vector<std::string> (*files)(const Equations& q);
    std::array<word, 6> header;
    std::vector<int> messages;
    word errors;
  };
  const std::vector<Case> cases{
      {"an undefined node vanishes with value 0.0 and is 2417 with another",
       "DISP\n" + card({"1"}) + "\n" + disp_card("99", "1", "0.0") + disp_card("98", "1", "1.0") + disp_card("1", "1", "0.5"),
       [](const Equations& q) { return std::vector<std::string>{"BOUN 1 1 0 0 | " + q(1, 1) + " 0.5"}; },
       {1, 0, 0, 0, 18, 0},
       {2417},
       1},
      {"a component past the node's DOF count: warning 2342 for 0.0, 2343 otherwise",
       "DISP\n" + card({"1"}) + "\n" + disp_card("1", "3", "0.0") + disp_card("2", "3", "2.0") + disp_card("2", "2", "1.0"),
       [](const Equations& q) { return std::vector<std::string>{"BOUN 1 1 0 0 | " + q(2, 2) + " 1"}; },
       {1, 0, 0, 0, 18, 0},
       {-2342, 2343},
       1},
      {"one freedom twice with equal values gives one pair and no message",
       "DISP\n" + card({"1"}) + "\n" + disp_card("5", "2", "1.5") + disp_card("3", "1", "1.0") +
           disp_card("3", "1", "1.0") + disp_card("1", "2", "-1.0"),
       [](const Equations& q) {
         return std::vector<std::string>{"BOUN 1 3 0 0 | " + q.pairs({{5, 2, "1.5"}, {3, 1, "1"}, {1, 2, "-1"}})};
       },
       {1, 0, 0, 0, 18, 0},
       {},
       0},
      {"a set whose every entry is dropped is 2440 and not written",
       "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\nDISP\n" + card({"4"}) + "\n" + disp_card("98", "1", "1.0"),
       [](const Equations& q) { return std::vector<std::string>{"BOUN 0 2 0 0 | " + q.pairs({{1, 1, "0"}, {1, 2, "0"}})}; },
       {1, 0, 0, 1, 18, 0},
       {2417, 2440},
       2},
      {"one node in two systems: 2340 for the later entry",
       "DISP\n" + card({"1"}) + "\n" + disp_card("3", "1", "1.0") + disp_card("3", "2", "1.0", "10"),
       [](const Equations& q) { return std::vector<std::string>{"BOUN 1 1 0 0 | " + q(3, 1) + " 1"}; },
       {1, 0, 0, 0, 18, 1},
       {2340},
       1},
      {"sets naming systems carry node rows by EQIX word with CSTM positions; "
       "a basic set has none; 2344 for an undefined system",
       "DISP\n" + card({"1"}) + "\n" + disp_card("5", "1", "1.0", "10") + disp_card("3", "2", "2.0", "20") +
           disp_card("1", "1", "0.5") + card({"2"}) + "\n" + disp_card("2", "1", "1.0") + card({"3"}) + "\n" +
           disp_card("4", "1", "1.0", "77"),
       [](const Equations& q) {
         // CSTM keeps the systems in input order: 20 at 1, 10 at 2; 77 stays.
         return std::vector<std::string>{
             "BOUN 1 3 0 2 | " + q.pairs({{5, 1, "1"}, {3, 2, "2"}, {1, 1, "0.5"}}) + " | " + q.rows({{5, 2}, {3, 1}}),
             "BOUN 2 1 0 0 | " + q(2, 1) + " 1", "BOUN 3 1 0 1 | " + q(4, 1) + " 1 | " + q.rows({{4, 77}})};
       },
       {3, 0, 0, 0, 18, 1},
       {2344},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeckRun run(model(c.groups));
    const Result r = run_gp2(run);
    EXPECT_EQ(r.files, c.files(r.q));
    EXPECT_EQ(r.header, c.header);
    EXPECT_EQ(r.messages, c.messages);
    EXPECT_EQ(r.errors, c.errors);
  }
}

TEST(Gp2Boundary, MessageTexts) {
  DeckRun run(model("DISP\n" + card({"7"}) + "\n" + disp_card("98", "1", "1.0") + disp_card("1", "3", "0.0") +
                    disp_card("1", "3", "1.0") + disp_card("3", "1", "1.0") + disp_card("3", "1", "2.0") +
                    disp_card("5", "1", "1.0", "10") + disp_card("5", "2", "1.0") + card({"8"}) + "\n" +
                    disp_card("99", "1", "1.0")));
  run_gp2(run);
  const std::vector<std::string> expected{
      "0*** USER FATAL MESSAGE 2417,  DISP       7 REFERS UNDEFINED NODE     98",
      "0*** USER WARNING MESSAGE 2342 , D.O.F NUMBER   3 OF NODE     1 IN  DISP       7 IS OUT OF RANGE",
      "0*** USER FATAL MESSAGE 2343 , D.O.F NUMBER   3 OF NODE     1 IN  DISP       7 IS OUT OF RANGE",
      "0*** USER FATAL MESSAGE 2340 , INCONSISTENT REFERENCE OF COORDINATE SYSTEM(S) ",
      "          AT BOUNDARY NODE     5 IN   DISP       7",
      "0*** USER FATAL MESSAGE 2460, NODAL D.O.F.   1 OF NODE     3 IS REDUNDANT IN  DISP       7",
      "0*** USER FATAL MESSAGE 2417,  DISP       8 REFERS UNDEFINED NODE     99",
      "0*** USER FATAL MESSAGE 2440,   DISP       8 DEFINES NULL DATA",
  };
  for (const auto& line : expected) {
    EXPECT_TRUE(has_line(run.listing(), line)) << line;
    EXPECT_TRUE(has_line(run.errors(), line)) << line;
  }
  EXPECT_EQ(sysw().IERFLG, 6);
}

TEST(Gp2Boundary, NoSetsLeavesBcdtUnwritten) {
  sysw().IAMPC = 1;
  DeckRun run(model(""));
  run.model_phase();
  sysw().IAMPC = 1;
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  EXPECT_EQ(block_header(BCDT), (std::array<word, 6>{}));
  EXPECT_TRUE(bcdt_files().empty());
  EXPECT_EQ(sysw().IAMPC, 1) << "the automatic step is skipped";
}

// A wide range over the six nodes: node 6 (no DOF) is 2343, the 1094
// undefined nodes that the decoder left out of BOUN are 2417 each, in range
// order after it; the first 100 messages are printed and the total closes.
TEST(Gp2Boundary, WideRangeReportsItsUndefinedNodes) {
  DeckRun run(model("DISP\n" + card({"1"}) + "\n" + disp_card("1", "1", "1.0", "", "1100")));
  const Result r = run_gp2(run);
  ASSERT_EQ(r.messages.size(), 100u);
  EXPECT_EQ(r.messages.front(), 2343);
  EXPECT_EQ(std::count(r.messages.begin(), r.messages.end(), 2417), 99);
  EXPECT_EQ(r.errors, 1095);
  const auto listing = run.listing();
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 2417,  DISP       1 REFERS UNDEFINED NODE      7"));
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 2417,  DISP       1 REFERS UNDEFINED NODE    105"));
  EXPECT_FALSE(has_line(listing, "REFERS UNDEFINED NODE    106"));
  EXPECT_TRUE(has_line(listing, "0*** TOTAL  1095 ERRORS -- FIRST   100 ARE PRINTED"));
  ASSERT_EQ(r.files.size(), 1u);
  EXPECT_EQ(r.files[0].substr(0, 14), "BOUN 1 5 0 0 |");
}

// ------------------------------------------------------------------- MPC

std::string mpc_equation(const std::string& node, const std::string& comp, const std::string& coef,
                         const std::vector<std::string>& terms, const std::string& system = "") {
  std::string out = card({"", node, comp, coef, std::to_string(terms.size() / 3), system}) + "\n";
  for (std::size_t k = 0; k < terms.size(); k += 9) {
    std::vector<std::string_view> f{""};
    for (std::size_t j = k; j < terms.size() && j < k + 9; ++j) f.push_back(terms[j]);
    std::string c;
    for (auto s : f) {
      std::string field(s);
      field.resize(8, ' ');
      c += field;
    }
    while (!c.empty() && c.back() == ' ') c.pop_back();
    out += c + "\n";
  }
  return out;
}

TEST(Gp2Mpc, SetCases) {
  struct Case {
    const char* what;
    std::string groups;
    std::vector<std::string> (*files)(const Equations& q);
    word flags;  // BOUN header word 5
    std::vector<int> messages;
    word errors;
  };
  const std::vector<Case> cases{
      {"an undefined node is 2419 and a component out of range 2351, both equation 0",
       "MPC\n" + card({"3"}) + "\n" + mpc_equation("99", "1", "0.5", {"1", "5", "2.0", "2", "1", "-1.0"}),
       [](const Equations& q) { return std::vector<std::string>{"FAST 3 1 0 0 | 2 0 0.5 0 2 " + q(2, 1) + " -1"}; },
       0,
       {2419, 2351},
       2},
      {"a term appearing later as a dependent: 1932 at the second equation",
       "MPC\n" + card({"4"}) + "\n" + mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}) +
           mpc_equation("2", "1", "0.0", {"4", "1", "1.0"}),
       [](const Equations& q) {
         return std::vector<std::string>{"FAST 4 2 0 0 | 1 " + q(1, 1) + " 0 " + q(2, 1) + " 1; 1 " + q(2, 1) + " 0 " +
                                         q(4, 1) + " 1"};
       },
       0,
       {1932},
       1},
      {"a dependent appearing later as a term: 1932 at the term",
       "MPC\n" + card({"4"}) + "\n" + mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}) +
           mpc_equation("4", "1", "0.0", {"1", "1", "1.0"}),
       [](const Equations& q) {
         return std::vector<std::string>{"FAST 4 2 0 0 | 1 " + q(1, 1) + " 0 " + q(2, 1) + " 1; 1 " + q(4, 1) + " 0 " +
                                         q(1, 1) + " 1"};
       },
       0,
       {1932},
       1},
      {"a dependent that is its own term: 1932",
       "MPC\n" + card({"4"}) + "\n" + mpc_equation("3", "6", "0.0", {"5", "6", "1.0", "3", "6", "1.0"}),
       [](const Equations& q) {
         return std::vector<std::string>{"FAST 4 1 0 0 | 2 " + q(3, 6) + " 0 " + q(5, 6) + " 1 " + q(3, 6) + " 1"};
       },
       0,
       {1932},
       1},
      {"a dependent twice in one set: 1933; in two sets: nothing",
       "MPC\n" + card({"5"}) + "\n" + mpc_equation("1", "2", "0.0", {"2", "2", "1.0"}) +
           mpc_equation("1", "2", "0.0", {"4", "2", "1.0"}) + card({"6"}) + "\n" +
           mpc_equation("4", "2", "0.0", {"3", "2", "1.0"}) + card({"7"}) + "\n" +
           mpc_equation("4", "2", "0.0", {"2", "2", "1.0"}),
       [](const Equations& q) {
         return std::vector<std::string>{
             "FAST 5 2 0 0 | 1 " + q(1, 2) + " 0 " + q(2, 2) + " 1; 1 " + q(1, 2) + " 0 " + q(4, 2) + " 1",
             "FAST 6 1 0 0 | 1 " + q(4, 2) + " 0 " + q(3, 2) + " 1", "FAST 7 1 0 0 | 1 " + q(4, 2) + " 0 " + q(2, 2) + " 1"};
       },
       0,
       {1933},
       1},
      {"equations naming systems: staged sets whose heads carry j; 2341 and 2345",
       "MPC\n" + card({"8"}) + "\n" + mpc_equation("5", "1", "0.25", {"3", "1", "1.0"}, "10") + card({"9"}) + "\n" +
           mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}) + card({"11"}) + "\n" +
           mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}, "20") + mpc_equation("1", "2", "0.0", {"4", "1", "1.0"}) +
           card({"12"}) + "\n" + mpc_equation("2", "2", "0.0", {"4", "2", "1.0"}, "55"),
       [](const Equations& q) {
         return std::vector<std::string>{
             "FAST 8 1 0 2 | 1 " + q(5, 1) + " 0.25 " + q(3, 1) + " 1 | " + q.rows({{5, 2}, {3, 2}}),
             "FAST 9 1 0 0 | 1 " + q(1, 1) + " 0 " + q(2, 1) + " 1",
             "FAST 11 2 0 2 | 1 " + q(1, 1) + " 0 " + q(2, 1) + " 1; 1 " + q(1, 2) + " 0 " + q(4, 1) + " 1 | " +
                 q.rows({{1, 1}, {2, 1}}),
             "FAST 12 1 0 2 | 1 " + q(2, 2) + " 0 " + q(4, 2) + " 1 | " + q.rows({{2, 55}, {4, 55}})};
       },
       2,
       {2341},  // 2345 begins "0***USER" and is not among the numbers read
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeckRun run(model(c.groups));
    const Result r = run_gp2(run);
    EXPECT_EQ(r.files, c.files(r.q));
    const word nsets = static_cast<word>(r.files.size());
    EXPECT_EQ(r.header, (std::array<word, 6>{0, nsets, 0, 0, 18, c.flags}));
    EXPECT_EQ(r.messages, c.messages);
    EXPECT_EQ(r.errors, c.errors);
  }
}

TEST(Gp2Mpc, MessageTexts) {
  DeckRun run(model("MPC\n" + card({"3"}) + "\n" + mpc_equation("99", "1", "0.5", {"1", "5", "2.0"}) +
                    mpc_equation("2", "1", "0.0", {"2", "1", "1.0"}) + mpc_equation("2", "1", "0.0", {"1", "1", "1.0"}) +
                    card({"4"}) + "\n" + mpc_equation("3", "1", "0.0", {"5", "1", "1.0"}, "10") +
                    mpc_equation("3", "2", "0.0", {"4", "1", "1.0"}) + card({"6"}) + "\n" +
                    mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}, "66")));
  run_gp2(run);
  const std::vector<std::string> expected{
      "0*** USER FATAL MESSAGE 2419, NODE    99 REFERED BY MPC     3 IS NOT DEFINED",
      "0*** USER FATAL MESSAGE 2351, D.O.F NUMBER   5 OF NODE     1 IN MPC     3 IS OUT OF RANGE",
      "0*** USER FATAL MESSAGE 2341 , INCONSISTENT REFERENCE OF COORDINATE SYSTEM(S) ",
      "          AT MPC NODE     3 IN MPC     4",
      "0***USER FATAL MESSAGE 2345 , COORDINATE SYSTEM ID    66 REFERED BY MPC NODE     1",
      "          IN MPC     6 IS UNDEFINED",
      "0*** USER FATAL MESSAGE 1932, NODAL D.O.F.   1 OF NODE     2 IN THE RIGHT-HAND-SIDE OF MPC EQUATION",
      "          HAS BEEN APPEARED IN THE LEFT-HAND-SIDE.  MPC ID=     3",
      "0*** USER FATAL MESSAGE 1933, NODAL D.O.F.   1 OF NODE     2",
      "          IS DUPLICATELY DEFINED IN THE LEFT-HAND-SIDE OF FASTENING EQUATION.    MPC ID =     3",
  };
  for (const auto& line : expected) {
    EXPECT_TRUE(has_line(run.listing(), line)) << line;
    EXPECT_TRUE(has_line(run.errors(), line)) << line;
  }
}

// A whole run: the program builds the tables, reports every error of the
// boundary and MPC sets and ends after the model tables as an error.
TEST(Gp2Run, ErrorsEndTheRunAfterTheModelTables) {
  DeckRun run(model("DISP\n" + card({"1"}) + "\n" + disp_card("98", "1", "1.0") + "MPC\n" + card({"3"}) + "\n" +
                    mpc_equation("1", "1", "0.0", {"2", "1", "1.0"}) + mpc_equation("1", "1", "0.0", {"4", "1", "1.0"})));
  EXPECT_EQ(run.run_program(), 1);
  EXPECT_EQ(message_numbers(run.listing()), (std::vector<int>{2417, 2440, 1933}));
  EXPECT_EQ(count_lines(run.errors(), "0*** USER FATAL MESSAGE"), 3);
}

TEST(Gp2Run, GoodSetsLetTheRunGoOn) {
  // Node 1 in the plane and the beam's far end fixed: the run goes to the end.
  DeckRun run(with_history(model("CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n" +
                                 card({"", "5", "", "", "", "1", "6"}) + "\nDISP\n" + card({"1"}) + "\n" +
                    disp_card("5", "1", "1.0") + "MPC\n" + card({"3"}) + "\n" + mpc_equation("4", "1", "0.0", {"2", "1", "1.0"}))));
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_TRUE(message_numbers(run.listing()).empty());
  EXPECT_FALSE(has_line(run.errors(), "MESSAGE"));
}

}  // namespace
}  // namespace zephsol::test
