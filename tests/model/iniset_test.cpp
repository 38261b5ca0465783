// INISE2 and INISET: starting values of the element states, initial stress
// per element class, the balancing nodal forces against the closed-form
// integral, elements removed before the first interval, and a model without
// initial stress.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/modeldeck.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/model/gp3.h"
#include "zephsol/model/iniset.h"

namespace zephsol::test {
namespace {

// The model modules up to the initial states, as the main program runs them.
bool up_to_initial_states(DeckRun& run) {
  if (!run.model_phase()) return false;
  GP3(LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD);
  if (sysw().IERFLG != 0) return false;
  INISE2(LDDT, EST, INCD, IELS, PGM, EIV0);
  INISET(LDDT, EST, INCD, IELS, PGM, EIV0);
  return true;
}

word top_buffer() { return sysw().COREND - sysw().NBUFSZ; }

// Calls visit(element, point) with channel A holding each point of EIV0.
void each_point(const std::function<void(int, int)>& visit) {
  std::vector<word> area(4000);
  const word n = block_header(EIV0)[0];
  DBOPEN(EIV0, top_buffer(), kRead);
  for (int e = 1; e <= n; ++e) {
    EIVRDA(EIV0, area);
    for (int p = 1; p <= eivwka().head[3]; ++p) {
      EIVGTA(p);
      visit(e, p);
    }
  }
  DBCLOS(EIV0, kCloseRewind);
}

// The PGM column.
std::vector<double> pgm() {
  MCB m{PGM};
  const auto h = block_header(PGM);
  std::copy(h.begin(), h.end(), m.header().begin());
  std::vector<double> v(static_cast<std::size_t>(h[1]), 0.0);
  word first = 1, last = h[1], empty = 0;
  DBOPEN(PGM, top_buffer(), kRead);
  COLGET(m, 2, v.data(), first, last, empty);
  DBCLOS(PGM, kCloseRewind);
  return v;
}

// First equation of each node (EQIX record 2).
std::map<word, word> first_equations() {
  const auto r = block_records(EQIX);
  std::map<word, word> out;
  for (std::size_t i = 0; i < r[1].size(); i += 2) out[r[1][i]] = r[1][i + 1] >> 10;
  return out;
}

// An "INIT STR" member over elements first..last with values S1..S12.
std::string init_stress(int first, int last, const std::vector<std::string>& s) {
  return card({"", std::to_string(first), std::to_string(last), "", s[0], s[1], s[2], s[3], s[4], s[5]}) + "\n" +
         card({"", s[6], s[7], s[8], s[9], s[10], s[11]}) + "\n";
}

const std::vector<std::string> kSigmaX{"1.0", "0.0", "0.0", "0.0", "0.0", "0.0",
                                       "0.0", "0.0", "0.0", "0.0", "0.0", "0.0"};

// HEX8 elements in a row along x: element k spans x = k - 1 .. k, unit cube.
std::string hex_row(int n, const std::string& more) {
  std::string nodes = "NODE\n", elements = "CONNECTI\n";
  auto id = [](int i, int j, int k) { return 1 + i + (j + 2 * k) * 100; };
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i <= n; ++i)
        nodes += node_card(id(i, j, k), std::to_string(i) + ".0", std::to_string(j) + ".0", std::to_string(k) + ".0");
  for (int e = 1; e <= n; ++e) {
    const int i = e - 1;
    elements += element_card(e, 1, 0,
                             {id(i, 0, 0), id(i + 1, 0, 0), id(i + 1, 1, 0), id(i, 1, 0), id(i, 0, 1), id(i + 1, 0, 1),
                              id(i + 1, 1, 1), id(i, 1, 1)});
  }
  return bulk_deck("ELEMENT\n" + card({"1", "HEX8"}) + "\n" + material_cards() + nodes + elements + more);
}

TEST(InitialStress, UnitCubeForcesAreTheFaceIntegrals) {
  // sigma_x = 1 on the unit cube: integral of dN/dx over the cube is +1/4
  // at each node of the face x = 1 and -1/4 at x = 0; no y or z force.
  DeckRun run(hex_row(1, "INIT STR\n" + init_stress(1, 1, kSigmaX)));
  ASSERT_TRUE(up_to_initial_states(run));
  const auto v = pgm();
  ASSERT_EQ(v.size(), 24u);
  EXPECT_EQ(block_header(PGM)[0], 1);
  EXPECT_EQ(block_header(PGM)[2], 2);
  double sum = 0.0;
  for (const auto& [node, eq] : first_equations()) {
    const double expected = (node - 1) % 100 == 1 ? 0.25 : -0.25;
    EXPECT_NEAR(v[static_cast<std::size_t>(eq - 1)], expected, 1e-12) << "node " << node;
    EXPECT_NEAR(v[static_cast<std::size_t>(eq)], 0.0, 1e-12) << "node " << node;
    EXPECT_NEAR(v[static_cast<std::size_t>(eq + 1)], 0.0, 1e-12) << "node " << node;
    sum += v[static_cast<std::size_t>(eq - 1)];
  }
  EXPECT_NEAR(sum, 0.0, 1e-12);
  int points = 0;
  each_point([&](int, int) {
    ++points;
    EXPECT_EQ(eivwka().vec[0], (std::array<double, 6>{1, 0, 0, 0, 0, 0}));
  });
  EXPECT_EQ(points, 9);
  EXPECT_TRUE(run.errors().empty());
}

TEST(InitialStress, ElementsRemovedBeforeTheFirstIntervalStayUnstressed) {
  // Element 2 belongs to group 7, removed before the first interval: its
  // entry gives no stress and no force, and warning 1302 counts it.
  DeckRun run(hex_row(2, "INIT STR\n" + init_stress(1, 2, kSigmaX) + "EGROUP\n" + card({"7"}) + "\n" +
                             card({"", "F1", "2"}) + "\n" + "HISTORY\n" + card({"", "INAC", "7"}) + "\n" +
                             card({"INTERVAL"}) + "\n"));
  ASSERT_TRUE(up_to_initial_states(run));
  const auto v = pgm();
  for (const auto& [node, eq] : first_equations()) {
    const int i = (node - 1) % 100;
    const double expected = i == 0 ? -0.25 : i == 1 ? 0.25 : 0.0;
    EXPECT_NEAR(v[static_cast<std::size_t>(eq - 1)], expected, 1e-12) << "node " << node;
  }
  each_point([](int e, int) {
    EXPECT_EQ(eivwka().vec[0][0], e == 1 ? 1.0 : 0.0) << "element " << e;
  });
  const std::string warning = "0*** USER WARNING MESSAGE 1302,     1 INACTIVE ELEMENTS ARE ENDOWED WITH INITIAL STRESS.";
  EXPECT_TRUE(has_line(run.listing(), warning));
  EXPECT_TRUE(has_line(run.errors(), warning));
  EXPECT_EQ(sysw().IWRNFL, 1);
}

TEST(InitialStress, WithoutInitialStressNothingIsPrintedAndNoForcesWritten) {
  DeckRun run(hex_row(1, "BODY\n" + card({"1"}) + "\n" + card({"", "1", "", "", "0.0", "0.0", "-1.0"}) + "\n"));
  ASSERT_TRUE(up_to_initial_states(run));
  EXPECT_EQ(block_header(PGM), (std::array<word, 6>{}));
  EXPECT_EQ(block_header(EIV0)[0], 1) << "INISE2 wrote the fresh states";
  EXPECT_TRUE(run.errors().empty());
}

// One element of a type with S1..S12 = 1..12; check(point) on each point.
struct ClassCase {
  const char* type;
  int props;  // property words (all 1.0)
  std::vector<std::array<const char*, 3>> nodes;
  std::vector<int> connection;
  std::function<void()> check;
};

std::string single_element(const ClassCase& c) {
  std::string b = "ELEMENT\n" + card({"1", c.type}) + "\n" + material_cards();
  if (c.props > 0) {
    std::vector<std::string> f{"4", std::to_string(c.props)};
    for (int k = 0; k < c.props; ++k) f.push_back("1.0");
    std::string line;
    for (std::size_t k = 0; k < f.size(); ++k) {
      if (k == 10 || (k > 10 && (k - 1) % 9 == 0)) line += "\n" + std::string(8, ' ');
      std::string field = f[k];
      field.resize(8, ' ');
      line += field;
    }
    b += "PROPERTY\n" + line + "\n";
  }
  b += "NODE\n";
  for (std::size_t k = 0; k < c.nodes.size(); ++k)
    b += node_card(static_cast<int>(k) + 1, c.nodes[k][0], c.nodes[k][1], c.nodes[k][2]);
  b += "CONNECTI\n" + element_card(1, 1, c.props > 0 ? 4 : 0, c.connection);
  std::vector<std::string> s;
  for (int k = 1; k <= 12; ++k) s.push_back(std::to_string(k) + ".0");
  return bulk_deck(b + "INIT STR\n" + init_stress(1, 1, s));
}

void expect_stress(std::array<double, 6> expected) { EXPECT_EQ(eivwka().vec[0], expected); }
void expect_joint(std::array<double, 6> expected) {
  expect_stress(expected);
  EXPECT_NE(eivwka().sw[10], 0);
  EXPECT_EQ(eivwka().blk.b11.iv[0], 2);
}

TEST(InitialStress, ComponentsOfEachElementClass) {
  const std::vector<std::array<const char*, 3>> square{{"0.0", "0.0", "0.0"}, {"1.0", "0.0", "0.0"},
                                                       {"1.0", "1.0", "0.0"}, {"0.0", "1.0", "0.0"}};
  std::vector<std::array<const char*, 3>> slab = square;
  for (const auto& n : square) slab.push_back({n[0], n[1], "0.0"});
  const std::vector<ClassCase> cases{
      {"QPLAN4", 0, square, {1, 2, 3, 4}, [] { expect_stress({1, 2, 3, 4, 0, 0}); }},
      {"QMEM4", 4, square, {1, 2, 3, 4}, [] { expect_stress({1, 2, 4, 0, 0, 0}); }},
      {"QFLA4", 11, square, {1, 2, 3, 4}, [] { expect_stress({1, 2, 4, 5, 6, 0}); }},
      {"BEAM2", 20, {{"0.0", "0.0", "0.0"}, {"2.0", "0.0", "0.0"}}, {1, 2, 0},
       [] {
         if (eivwka().point != 1) return;
         EXPECT_NE(eivwka().sw[7], 0);
         for (int k = 1; k <= 12; ++k) EXPECT_EQ(eivwka().blk.b8.v[static_cast<std::size_t>(k)], k);
       }},
      {"JOINT4", 8, {{"0.0", "0.0", "0.0"}, {"1.0", "0.0", "0.0"}, {"1.0", "0.0", "0.0"}, {"0.0", "0.0", "0.0"}},
       {1, 2, 3, 4}, [] { expect_joint({1, 2, 0, 0, 0, 0}); }},
      {"JOINT8", 8, slab, {1, 2, 3, 4, 5, 6, 7, 8}, [] { expect_joint({1, 2, 3, 0, 0, 0}); }},
  };
  for (const ClassCase& c : cases) {
    SCOPED_TRACE(c.type);
    DeckRun run(single_element(c));
    ASSERT_TRUE(up_to_initial_states(run)) << run.text(kErrorFile);
    int points = 0;
    each_point([&](int, int) {
      ++points;
      c.check();
    });
    EXPECT_GT(points, 0);
  }
}

TEST(InitialStates, StartingValuesOfBeamsAndJointsStayWhereNoInitialStressIsGiven) {
  // A beam and a joint beside a stressed HEX8: INISET keeps their starting
  // values, as INISE2 wrote them.
  const std::string deck = bulk_deck(
      "ELEMENT\n" + card({"1", "HEX8"}) + "\n" + card({"2", "BEAM2"}) + "\n" + card({"3", "JOINT8"}) + "\n" +
      material_cards() + "PROPERTY\n" + card({"4", "20", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0"}) +
      "\n" + card({"", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0"}) + "\n" +
      card({"", "1.0", "1.0", "1.0"}) + "\n" + card({"5", "8", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "1.0", "2.0"}) +
      "\nNODE\n" + node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
      node_card(3, "1.0", "1.0", "0.0") + node_card(4, "0.0", "1.0", "0.0") + node_card(5, "0.0", "0.0", "1.0") +
      node_card(6, "1.0", "0.0", "1.0") + node_card(7, "1.0", "1.0", "1.0") + node_card(8, "0.0", "1.0", "1.0") +
      "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8}) + element_card(2, 2, 4, {1, 2, 0}) +
      element_card(3, 3, 5, {1, 2, 3, 4, 5, 6, 7, 8}) + "INIT STR\n" + init_stress(1, 1, kSigmaX));
  DeckRun run(deck);
  ASSERT_TRUE(up_to_initial_states(run)) << run.text(kErrorFile);
  // EST order: HEX8, BEAM2, JOINT8.
  each_point([](int e, int p) {
    const EIVWK& w = eivwka();
    if (e == 2 && p == 1) {
      EXPECT_NE(w.sw[7], 0) << "beam block 8";
    }
    if (e == 3) {
      EXPECT_NE(w.sw[10], 0) << "joint block 11";
      EXPECT_EQ(w.blk.b11.iv[0], 2);
    }
  });
}

}  // namespace
}  // namespace zephsol::test
