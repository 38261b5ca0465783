// Automatic MPC: stray beam and rod nodes tied to the continuum elements
// that contain them, against shape values worked out by hand.
#include <gtest/gtest.h>

#include <ctime>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/bcdt.h"
#include "support/modeldeck.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/diag.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/locate.h"
#include "zephsol/model/model_records.h"

namespace zephsol::test {
namespace {

// Two unit quadrilaterals side by side (nodes 1-6) and, hanging in them:
//   a beam chain 11 - 13 - 12 - 14 (13 on the shared side, 14 outside);
//   rods from 15 to 16, 17 and 18 (15 is used by three elements);
//   a beam from the mesh corner 6 to 19.
// With `solid`, a HEX8 far away makes the model 3-D.
std::string stray_model(bool solid, const std::string& control = "") {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + card({"2", "BEAM2"}) + "\n" + card({"3", "ROD2"}) + "\n" +
                  card({"4", "HEX8"}) + "\n" + material_cards() + "PROPERTY\n" +
                  card({"5", "4", "1.0", "2.0", "3.0", "4.0"}) + "\n" + card({"6", "3", "1.0", "2.0", "3.0"}) + "\nNODE\n";
  const std::vector<std::tuple<int, const char*, const char*>> nodes{
      {1, "0.0", "0.0"}, {2, "1.0", "0.0"}, {3, "2.0", "0.0"}, {4, "0.0", "1.0"}, {5, "1.0", "1.0"}, {6, "2.0", "1.0"},
      {11, "0.5", "0.5"}, {12, "1.5", "0.5"}, {13, "1.0", "0.5"}, {14, "5.0", "5.0"}, {15, "0.3", "0.3"},
      {16, "0.7", "0.2"}, {17, "0.2", "0.7"}, {18, "0.8", "0.8"}, {19, "1.8", "0.2"}};
  for (const auto& [id, x, y] : nodes) b += node_card(id, x, y, "0.0");
  if (solid)
    for (int k = 0; k < 8; ++k)
      b += node_card(31 + k, k % 2 ? "11.0" : "10.0", k / 2 % 2 ? "1.0" : "0.0", k / 4 ? "1.0" : "0.0");
  b += "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 5, 4}) + element_card(2, 1, 0, {2, 3, 6, 5}) +
       element_card(11, 2, 5, {11, 13}) + element_card(12, 2, 5, {13, 12}) + element_card(13, 2, 5, {12, 14}) +
       element_card(14, 2, 5, {6, 19}) + element_card(21, 3, 6, {15, 16}) + element_card(22, 3, 6, {15, 17}) +
       element_card(23, 3, 6, {15, 18});
  if (solid) b += element_card(40, 4, 0, {31, 32, 34, 33, 35, 36, 38, 37});
  b += "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n";
  std::string deck = bulk_deck(b);
  if (!control.empty()) deck.insert(deck.find("FIELD 3\n") + 8, control);
  return deck;
}

struct Master {
  word node;
  double coef;
};
struct Equation {
  word slave;
  std::vector<Master> masters;
};

// The hand values: unit squares, N = (1 -+ xi)(1 -+ eta)/4 over the nodes in
// the order (-1,-1), (1,-1), (-1,1), (1,1).
const std::vector<Equation> kPlaneEquations{
    {11, {{1, 0.25}, {2, 0.25}, {4, 0.25}, {5, 0.25}}},
    {12, {{2, 0.25}, {3, 0.25}, {5, 0.25}, {6, 0.25}}},
    {13, {{1, 0.0}, {2, 0.5}, {4, 0.0}, {5, 0.5}}},  // the shared side: the first element
    {16, {{1, 0.24}, {2, 0.56}, {4, 0.06}, {5, 0.14}}},
    {17, {{1, 0.24}, {2, 0.06}, {4, 0.56}, {5, 0.14}}},
    {18, {{1, 0.04}, {2, 0.16}, {4, 0.16}, {5, 0.64}}},
    {19, {{2, 0.16}, {3, 0.64}, {5, 0.04}, {6, 0.16}}},
};

std::map<word, word> eqwords() {
  std::map<word, word> out;
  const auto pairs = block_records(EQIX).at(1);
  for (std::size_t k = 0; k < pairs.size(); k += 2) out[pairs[k]] = pairs[k + 1];
  return out;
}

// The "AMPC" file of BCDT against the expected equations.
void expect_ampc(const std::vector<Equation>& expected) {
  const auto eqw = eqwords();
  const auto files = block_files(BCDT);
  ASSERT_FALSE(files.empty());
  const auto& amp = files.back();
  ASSERT_EQ(amp.size(), 2u);
  EXPECT_EQ(amp[0], (std::vector<word>{name_word("AMPC"), 0, static_cast<word>(expected.size()), 0, 0}));
  std::size_t at = 0;
  const std::vector<word>& rec = amp[1];
  for (const Equation& e : expected) {
    SCOPED_TRACE("slave " + std::to_string(e.slave));
    ASSERT_LT(at + 2, rec.size());
    ASSERT_EQ(rec[at], static_cast<word>(e.masters.size()));
    EXPECT_EQ(rec[at + 1], eqw.at(e.slave));
    EXPECT_EQ(rec[at + 2], 2) << "the least DOF count of the masters";
    for (std::size_t j = 0; j < e.masters.size(); ++j) {
      EXPECT_EQ(rec[at + 3 + 2 * j], eqw.at(e.masters[j].node) >> 10);
      EXPECT_NEAR(real_of(rec[at + 4 + 2 * j]), e.masters[j].coef, 1e-6);
    }
    at += 3 + 2 * e.masters.size();
  }
  EXPECT_EQ(at, rec.size());
}

TEST(AutoMpc, StrayNodesOfAPlaneModel) {
  DeckRun run(stray_model(false));
  ASSERT_TRUE(run.model_phase());
  sysw().IAMPC = 1;
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  expect_ampc(kPlaneEquations);
  EXPECT_EQ(block_header(BCDT)[2], 1);
  // 11-14 and 16-19 are stray; 15 (three rods) and the corner 6 are not.
  EXPECT_EQ(ampctb().count, 8);
  EXPECT_EQ(sysw().IWRNFL, 1);
  const auto listing = run.listing();
  EXPECT_TRUE(has_line(listing, "0*** USER WARNING MESSAGE 2361, AUTO-MPC DATA FOR THE FOLLOWING NODES COULD NOT BE GENERATED"));
  EXPECT_TRUE(has_line(listing, "                14"));
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(ampctb().node(1, 1), 0) << "rows are left as they were without DIAG 21";
}

TEST(AutoMpc, ASolidMakesTheModelThreeDimensional) {
  DeckRun run(stray_model(true));
  ASSERT_TRUE(run.model_phase());
  sysw().IAMPC = 1;
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  // Only the HEX8 is tried: no stray node lies in it, so no equation; the
  // corner 6 of the quadrilaterals is stray too, as quadrilaterals are not
  // part of a 3-D mesh.
  EXPECT_EQ(block_header(BCDT)[2], 0);
  EXPECT_EQ(block_files(BCDT).size(), 1u) << "the CONST set only";
  const auto listing = run.listing();
  EXPECT_TRUE(has_line(listing, "                 6      11      12      13      14      16      17      18      19"));
}

TEST(AutoMpc, SummaryTableWithDiag21) {
  DeckRun run(stray_model(false));
  ASSERT_TRUE(run.model_phase());
  sysw().IAMPC = 1;
  DIAGST(21, 1);
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  const AMPCTB& t = ampctb();
  EXPECT_EQ(t.count, 8);
  const std::vector<std::vector<word>> rows{{11, 1, 2, 4, 5}, {12, 2, 3, 5, 6}, {13, 1, 2, 4, 5}, {0, 0, 0, 0, 0},
                                            {16, 1, 2, 4, 5}, {17, 1, 2, 4, 5}, {18, 1, 2, 4, 5}, {19, 2, 3, 5, 6}};
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 5; ++j) EXPECT_EQ(t.node(i + 1, j + 1), rows[i][j]) << "row " << i + 1 << " column " << j + 1;
  const auto listing = run.listing();
  const std::vector<std::string> lines{
      "                                        AUTOMATIC MPC DATA GENARATION SUMMARY",
      "    SLAVE INCLUDING",
      "     NODE  ELEMENT   ---------------    MASTER NODES AND COEFFICIENTS     "
      "----------------------------------------------",
      "0      11        1   (      1) (      2) (      4) (      5)",
      "                       0.25000   0.25000   0.25000   0.25000",
      "0      19        2   (      2) (      3) (      5) (      6)",
      "                       0.16000   0.64000   0.04000   0.16000",
  };
  for (const auto& line : lines) EXPECT_TRUE(has_line(listing, line)) << line;
}

TEST(AutoMpc, NoStrayNodeIsAnInformationMessage) {
  DeckRun run(bulk_deck("ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + material_cards() + "NODE\n" +
                        node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                        node_card(3, "1.0", "1.0", "0.0") + node_card(4, "0.0", "1.0", "0.0") + "CONNECTI\n" +
                        element_card(1, 1, 0, {1, 2, 3, 4}) + "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n"));
  ASSERT_TRUE(run.model_phase());
  sysw().IAMPC = 1;
  GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
  const std::string info = "0*** USER INFORMATION MESSAGE 2361, AUTO-MPC WAS SELECTED BUT NO STRAY NODES FOUND. ";
  EXPECT_TRUE(has_line(run.listing(), info));
  EXPECT_TRUE(has_line(run.errors(), info));
  EXPECT_EQ(sysw().IAMPC, 0);
  EXPECT_EQ(block_header(BCDT)[2], 0);
  EXPECT_EQ(ampctb().count, 0);
}

// The whole program with "AUTOMPC" and "DIAG 21": the summary on the
// listing, the unlocated node in the warning, and a normal end.
TEST(AutoMpc, WholeRun) {
  std::string deck = stray_model(false, "AUTOMPC YES\nDIAG 21=1\n");
  // Out of the plane the beams and rods are held, so that the run goes to the end.
  deck.insert(deck.rfind("ENDDATA"), card({"", "11", "14", "", "", "3", "6"}) + "\n" +
                                         card({"", "6", "", "", "", "3", "6"}) + "\n" +
                                         card({"", "19", "", "", "", "3", "6"}) + "\n" +
                                         card({"", "15", "18", "", "", "3"}) + "\n");
  DeckRun run(with_history(deck));
  EXPECT_EQ(run.run_program(), 0);
  const auto listing = run.listing();
  EXPECT_FALSE(has_line(run.errors(), "FATAL"));
  EXPECT_TRUE(has_line(listing, "0      13        1   (      1) (      2) (      4) (      5)"));
  EXPECT_TRUE(has_line(listing, "                       0.00000   0.50000   0.00000   0.50000"));
  EXPECT_TRUE(has_line(listing, "0*** USER WARNING MESSAGE 2361, AUTO-MPC DATA FOR THE FOLLOWING NODES COULD NOT BE GENERATED"));
}

}  // namespace
}  // namespace zephsol::test

namespace zephsol::test {
namespace {

// A 450 x 450 mesh of jittered quadrilaterals (202,500 elements) with 500
// rods whose 1,000 end nodes lie at random places, a few outside the mesh
// and some on element sides. The automatic step locates them in about a
// second, and its equations are those of the search that tries every
// element in order.
TEST(AutoMpc, ThousandStrayNodesInALargeMesh) {
  DeckRun run(bulk_deck("ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + material_cards() + "NODE\n" +
                        node_card(1, "0.0", "0.0", "0.0") + node_card(2, "1.0", "0.0", "0.0") +
                        node_card(3, "1.0", "1.0", "0.0") + node_card(4, "0.0", "1.0", "0.0") + "CONNECTI\n" +
                        element_card(1, 1, 0, {1, 2, 3, 4})),
              DeckOptions{64, {}});
  run.input();
  constexpr int kSide = 450, kRods = 500;
  const word grid_nodes = (kSide + 1) * (kSide + 1);
  const word nn = grid_nodes + 2 * kRods, ne = kSide * kSide + kRods;
  BNDCOM& b = bndcom();
  b.NN = nn;
  b.NE = ne;
  b.BCDT = BCDT;
  const WordSpace& c = core();
  const word base = 2 * nn + 1, coords = base + nn, elements = base + 4 * nn;
  for (word k = 1; k <= nn; ++k) {
    c.w(2 * k - 1) = k;
    c.w(2 * k) = ((2 * k - 1) << 10) | 2;
  }
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  auto node_at = [](int i, int j) { return static_cast<word>(1 + i + (kSide + 1) * j); };
  for (int j = 0; j <= kSide; ++j)
    for (int i = 0; i <= kSide; ++i) {
      const bool edge = i == 0 || j == 0 || i == kSide || j == kSide;
      const word k = node_at(i, j);
      c.set_r(coords + 3 * (k - 1), static_cast<float>(i + (edge ? 0.0 : 0.2 * (u(rng) - 0.5))));
      c.set_r(coords + 3 * (k - 1) + 1, static_cast<float>(j + (edge ? 0.0 : 0.2 * (u(rng) - 0.5))));
      c.set_r(coords + 3 * (k - 1) + 2, 0.0f);
    }
  for (word k = grid_nodes + 1; k <= nn; ++k) {
    const bool on_side = k % 7 == 0;
    const double x = on_side ? std::floor(u(rng) * kSide) : u(rng) * (kSide + 2) - 1;
    c.set_r(coords + 3 * (k - 1), static_cast<float>(on_side ? 0.0 + x : x));
    c.set_r(coords + 3 * (k - 1) + 1, static_cast<float>(on_side ? 0.5 : u(rng) * kSide));
    c.set_r(coords + 3 * (k - 1) + 2, 0.0f);
  }
  word at = elements;
  auto add = [&](word id, word type, std::vector<word> nodes) {
    c.w(at) = id;
    c.w(at + 1) = type;
    c.w(at + 2) = static_cast<word>(nodes.size());
    for (std::size_t j = 0; j < nodes.size(); ++j) c.w(at + 3 + static_cast<word>(j)) = nodes[j];
    at += 3 + static_cast<word>(nodes.size());
  };
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i)
      add(1 + i + kSide * j, 11, {node_at(i, j), node_at(i + 1, j), node_at(i, j + 1), node_at(i + 1, j + 1)});
  for (word r = 0; r < kRods; ++r) add(kSide * kSide + 1 + r, 6, {grid_nodes + 1 + 2 * r, grid_nodes + 2 + 2 * r});
  const word b2 = sysw().COREND - 2 * sysw().NBUFSZ;
  ASSERT_LT(at, b2 - 100000);
  b.NFREE = b2 - at;
  sysw().IAMPC = 1;

  DBOPEN(S301, sysw().COREND - sysw().NBUFSZ, kWrite);
  DBOPEN(BCDT, b2, kWrite);
  // Processor time, so that other work on the machine does not count.
  const std::clock_t t0 = std::clock();
  GP2AMP(base, coords, elements);
  const double seconds = static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
  DBCLOS(S301, kCloseUnload);
  DBCLOS(BCDT, kCloseRewind);
  EXPECT_EQ(ampctb().count, 2 * kRods);
  EXPECT_LT(seconds, 4.0) << "the automatic step took " << seconds << " s";
  std::cerr << "1,000 stray nodes located among 202,500 elements in " << seconds << " s\n";

  // The equations by slave, against the search over every element in order
  // for every seventh stray node and the nodes on element sides.
  const auto files = block_files(BCDT);
  ASSERT_EQ(files.size(), 1u);
  const std::vector<word>& rec = files[0].at(1);
  std::map<word, std::vector<word>> by_slave;
  for (std::size_t p = 0; p < rec.size(); p += 3 + 2 * static_cast<std::size_t>(rec[p]))
    by_slave[rec[p + 1] >> 10] = std::vector<word>(rec.begin() + static_cast<std::ptrdiff_t>(p),
                                                   rec.begin() + static_cast<std::ptrdiff_t>(p + 3 + 2 * rec[p]));
  EXPECT_GT(by_slave.size(), 900u);
  int checked = 0;
  for (word k = grid_nodes + 1; k <= nn; k += 7) {
    const Point p{c.r(coords + 3 * (k - 1)), c.r(coords + 3 * (k - 1) + 1), 0.0f};
    std::vector<word> expected;
    for (word e = 0; e < kSide * kSide; ++e) {
      const word* n = &c.w(elements + 7 * e + 3);
      estcom() = ESTCOM{};
      for (int j = 0; j < 4; ++j) {
        estcom().XYZ[2 * j] = c.r(coords + 3 * (n[j] - 1));
        estcom().XYZ[2 * j + 1] = c.r(coords + 3 * (n[j] - 1) + 1);
      }
      word flag = 0;
      LCQPLAN4(p, flag);
      if ((flag & 1) == 0) continue;
      expected = {4, c.w(2 * k), 2};
      for (int j = 0; j < 4; ++j) {
        expected.push_back(c.w(2 * n[j]) >> 10);
        expected.push_back(real_word(static_cast<float>(point_location().N[j])));
      }
      break;
    }
    const word slave_eq = c.w(2 * k) >> 10;
    if (expected.empty()) {
      EXPECT_EQ(by_slave.count(slave_eq), 0u) << "node " << k;
    } else {
      EXPECT_EQ(by_slave[slave_eq], expected) << "node " << k;
    }
    ++checked;
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace zephsol::test
