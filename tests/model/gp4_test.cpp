// GP4: the replay of the construction history, the excluded elements and
// the freedom sets, prescribed values and constraints of each interval,
// against tables worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/bcdt.h"
#include "support/modeldeck.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp4.h"

namespace zephsol::test {
namespace {

// Two unit quadrilaterals 1-2-5-4 (element 1) and 2-3-6-5 (element 2, group
// 1). "CONST" fixes nodes 1 and 4; "DISP" 7 moves node 3 by 0.5 in x; "MPC"
// 9 ties node 6's y to node 3's y plus twice node 3's x.
std::string history_model(const std::string& history, const std::string& extra = "") {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + material_cards() + "NODE\n";
  const char* xy[6][2] = {{"0.0", "0.0"}, {"1.0", "0.0"}, {"2.0", "0.0"}, {"0.0", "1.0"}, {"1.0", "1.0"}, {"2.0", "1.0"}};
  for (int k = 0; k < 6; ++k) b += node_card(k + 1, xy[k][0], xy[k][1], "0.0");
  b += "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 5, 4}) + element_card(2, 1, 0, {2, 3, 6, 5}) + "EGROUP\n" +
       card({"1"}) + "\n" + card({"", "F1", "2"}) + "\n" + "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n" +
       card({"", "4", "", "", "", "1", "2"}) + "\nDISP\n" + card({"7"}) + "\n" +
       card({"", "3", "", "", "", "1", "", "0.5"}) + "\n" + extra + "MPC\n" + card({"9"}) + "\n" +
       card({"", "6", "2", "0.0", "2"}) + "\n" + card({"", "3", "2", "1.0", "3", "1", "2.0"}) + "\n" + "HISTORY\n" +
       history;
  return bulk_deck(b);
}

std::string interval(int steps) { return card({"INTERVAL", std::to_string(steps)}) + "\n"; }
std::string event(const std::string& key, const std::string& id, const std::string& value = "") {
  return card({"", key, id, value}) + "\n";
}

struct Outputs {
  word LASTIV = 0, EXCAVF = 0, NSTEPS = 0, LSTGRP = 0, EXREGN = 0;
  float RELFAC = 0.0f;
};

Outputs next_interval() {
  Outputs o;
  GP4(INCD, BCDT, LDDT, TMPD, ECT, EQIX, CSTM, NODC, IELS, USET, GST, YS, DPG0, EPD, ENTD, ROTB, XCLD, exec_state().intctl,
      o.LASTIV, o.EXCAVF, o.NSTEPS, o.RELFAC, o.LSTGRP, o.EXREGN);
  return o;
}

// Equation of (node, component).
std::map<std::pair<word, word>, word> equations() {
  std::map<std::pair<word, word>, word> out;
  const auto pairs = block_records(EQIX).at(1);
  for (std::size_t k = 0; k < pairs.size(); k += 2)
    for (word c = 1; c <= (pairs[k + 1] & 255); ++c) out[{pairs[k], c}] = (pairs[k + 1] >> 10) + c - 1;
  return out;
}

// The USET word of each (node, component).
std::map<std::pair<word, word>, word> uset_words() {
  std::map<std::pair<word, word>, word> out;
  const auto u = block_records(USET).at(0);
  for (const auto& [nc, eq] : equations()) out[nc] = u[static_cast<std::size_t>(eq - 1)];
  return out;
}

std::vector<std::vector<double>> dense_columns(word file) {
  MCB m{file};
  HDRGET(file, m.header());
  std::vector<std::vector<double>> out(static_cast<std::size_t>(m.cols), std::vector<double>(static_cast<std::size_t>(m.rows)));
  DBOPEN(file, 2, kRead);
  for (auto& v : out) {
    word first = 1, last = m.rows, empty = 0;
    COLGET(m, 2, v.data(), first, last, empty);
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

class Gp4Run : public ::testing::Test {
 protected:
  void start(const std::string& deck) {
    run_ = std::make_unique<DeckRun>(deck);
    ASSERT_TRUE(run_->model_phase());
    GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT);
    ASSERT_EQ(sysw().IERFLG, 0);
  }
  std::unique_ptr<DeckRun> run_;
};

TEST_F(Gp4Run, FreedomSetsPrescribedValuesAndConstraints) {
  start(history_model(interval(2) + event("DISP", "7", "1.0") + event("MPC", "9", "1.0") + interval(1) +
                      event("INAC", "1") + interval(3) + event("ACTI", "1") + interval(1) + event("MATC", "1", "2")));
  // Interval 1: two steps, every set applied by halves.
  Outputs o = next_interval();
  EXPECT_EQ(o.NSTEPS, 2);
  EXPECT_EQ(o.LASTIV, 0);
  EXPECT_EQ(o.EXCAVF, 0);
  EXPECT_EQ(exec_state().intctl.NIVSET, 1);
  EXPECT_EQ(block_header(XCLD), (std::array<word, 6>{}));
  auto u = uset_words();
  const std::map<std::pair<word, word>, word> first{
      {{1, 1}, 18}, {{1, 2}, 18}, {{4, 1}, 18}, {{4, 2}, 18}, {{3, 1}, 18},  // prescribed
      {{6, 2}, 17},                                                          // dependent
      {{3, 2}, 368},                                                         // a term: 16 + 32 + 64 + 256
      {{2, 1}, 336}, {{2, 2}, 336}, {{5, 1}, 336}, {{5, 2}, 336}, {{6, 1}, 336}};
  EXPECT_EQ(u, first);
  const auto h = block_header(USET);
  EXPECT_EQ(h[0], 12);
  EXPECT_EQ(h[3], 6);
  EXPECT_EQ(h[5], 17 | 18 | 368 | 336 | 536870912);

  // YS over the o set (ascending equations): 0.5 x 0.5 at node 3 x, and the
  // dependent's value 2.0 x 0.25 from its term on the prescribed DOF.
  const auto eq = equations();
  std::vector<std::pair<word, double>> o_values;
  for (const auto& [nc, w] : first)
    if ((w & 3) != 0) o_values.emplace_back(eq.at(nc), nc == std::pair<word, word>{3, 1} ? 0.25 : nc.first == 6 ? 0.5 : 0.0);
  std::sort(o_values.begin(), o_values.end());
  const auto ys = dense_columns(YS);
  ASSERT_EQ(ys.size(), 1u);
  ASSERT_EQ(ys[0].size(), 6u);
  for (std::size_t k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(ys[0][k], o_values[k].second) << "o row " << k + 1;
  EXPECT_EQ(block_header(YS), (std::array<word, 6>{1, 6, 2, 1, 2, 0}));

  // GST: the dependent's column holds 1.0 in the n row of node 3 y.
  const auto gst = dense_columns(GST);
  ASSERT_EQ(gst.size(), 6u);
  std::vector<word> n_set;
  for (const auto& [nc, w] : first)
    if ((w & 3) == 0) n_set.push_back(eq.at(nc));
  std::sort(n_set.begin(), n_set.end());
  const auto n_row = std::find(n_set.begin(), n_set.end(), eq.at({3, 2})) - n_set.begin();
  const auto o_col = std::find_if(o_values.begin(), o_values.end(), [&](const auto& v) { return v.first == eq.at({6, 2}); }) -
                     o_values.begin();
  for (std::size_t c = 0; c < 6; ++c)
    for (std::size_t r = 0; r < 6; ++r)
      EXPECT_EQ(gst[c][r], c == static_cast<std::size_t>(o_col) && r == static_cast<std::size_t>(n_row) ? 1.0 : 0.0);
  EXPECT_EQ(block_header(GST)[0], 6);
  EXPECT_EQ(block_header(GST)[1], 6);
  EXPECT_EQ(block_header(ROTB), (std::array<word, 6>{}));

  // Interval 2: group 1 removed; nodes 3 and 6 lie on no active element.
  // The sets of interval 1 are referenced again with factor 0.
  o = next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(o.EXCAVF, -1);
  EXPECT_EQ(o.LSTGRP, 1);
  EXPECT_EQ(block_header(XCLD), (std::array<word, 6>{1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(block_records(XCLD).at(0), std::vector<word>{2});
  u = uset_words();
  EXPECT_EQ(u.at({3, 1}), 16 + 2 + 512);
  EXPECT_EQ(u.at({3, 2}), 16 + 32 + 64 + 8 + 512);
  EXPECT_EQ(u.at({6, 2}), 16 + 1 + 512);
  EXPECT_EQ(u.at({6, 1}), 600);
  EXPECT_EQ(u.at({2, 1}), 336);
  EXPECT_EQ(u.at({1, 1}), 18);

  EXPECT_EQ(block_header(YS), (std::array<word, 6>{})) << "every value 0";

  // Interval 3: the group comes back; interval 4, the last, changes a material.
  o = next_interval();
  EXPECT_EQ(o.EXCAVF, 1);
  EXPECT_EQ(o.LASTIV, 0);
  EXPECT_EQ(o.NSTEPS, 3);
  EXPECT_EQ(block_header(XCLD), (std::array<word, 6>{}));
  o = next_interval();
  EXPECT_EQ(o.EXCAVF, 0);
  EXPECT_EQ(o.LASTIV, -1);
  const MTCLST& m = matl_state().MTCMID;
  ASSERT_EQ(m.count, 1);
  EXPECT_EQ(m.entry[0].key, 1);
  EXPECT_EQ(m.entry[0].mid, 2);
  EXPECT_EQ(m.entry[0].order, 4);
  EXPECT_EQ(uset_words().at({3, 2}), 336);
  EXPECT_EQ(sysw().IERFLG, 0);
}

TEST_F(Gp4Run, GroupMessages) {
  start(history_model(interval(1) + event("ACTI", "3") + interval(1) + event("INAC", "1") + interval(1) +
                      event("INAC", "1")));
  Outputs o = next_interval();
  EXPECT_TRUE(has_line(run_->listing(),
                       "0*** USER FATAL MESSAGE 1754, AT INTERVAL     1, AN ATTEMPT TO ACTIVATE ELEMENT GROUP     3 "
                       "WHICH IS ALREADY ACTIVE."));
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_EQ(block_header(XCLD), (std::array<word, 6>{})) << "not written after an error";
  sysw().IERFLG = 0;
  o = next_interval();
  EXPECT_EQ(sysw().IERFLG, 1) << "the replay of interval 1 again";
  sysw().IERFLG = 0;
  o = next_interval();
  EXPECT_TRUE(has_line(run_->listing(),
                       "0*** USER FATAL MESSAGE 1752, AT INTERVAL     3, AN ATTEMPT TO INACTIVATE ELEMENT GROUP     1 "
                       "WHICH IS ALREADY INACTIVE."));
  EXPECT_EQ(o.LASTIV, -1);
}

TEST_F(Gp4Run, OnlyTheConstSetIsReferenced) {
  start(history_model(interval(1)));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  const auto u = uset_words();
  EXPECT_EQ(u.at({1, 1}), 18);
  EXPECT_EQ(u.at({3, 1}), 336) << "DISP 7 is not referenced";
  EXPECT_EQ(block_header(YS), (std::array<word, 6>{})) << "all values zero";
  EXPECT_EQ(block_header(USET)[5] & 536870912, 0);
}

TEST_F(Gp4Run, ConflictsEndTheSetUp) {
  // MPC 9's dependent (6, 2) also fixed by DISP 8: 1934.
  start(history_model(interval(1) + event("DISP", "8") + event("MPC", "9"),
                      card({"8"}) + "\n" + card({"", "6", "", "", "", "2", "", "0.0"}) + "\n"));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_TRUE(has_line(run_->listing(), "0*** USER FATAL MESSAGE 1934, NODAL D.O.F.   2 OF NODE     6 IN MPC EQUATIONS SET     9"));
  EXPECT_TRUE(has_line(run_->listing(), "          IS ALSO DEFINED IN BOUNDARY SET."));
}

TEST_F(Gp4Run, UndefinedAndRepeatedReferences) {
  start(history_model(interval(1) + event("DISP", "7") + event("DISP", "7") + event("DISP", "44")));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  const auto listing = run_->listing();
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 1757, INTERVAL REFERES BOUNDARY ID     7 MORE THAN ONCE"));
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 1757, INTERVAL REFERES UNDEFINED BOUNDARY ID    44"));
}


// A cylindrical system (10: axis z through the origin) named by a "DISP" set
// at nodes 3 (2, 0) and 6 (2, 1): their rows are (radial, tangential, axial)
// in the basic system; element 2, which holds both, gets their upper-left
// blocks at its node positions 2 and 4.
TEST_F(Gp4Run, RotationsOfNodesInACylindricalSystem) {
  // Origin 0, e1 toward (1, 0, 0), e3 = e1 x (0, 1, 0) = z.
  const std::string cyl = "COORDINA\n" + card({"10", "2", "0.0", "0.0", "0.0", "1.0", "0.0", "0.0"}) + "\n" +
                          card({"", "", "0.0", "1.0", "0.0"}) + "\n";
  std::string deck = history_model(interval(1) + event("DISP", "5"),
                                   card({"5"}) + "\n" + card({"", "6", "", "", "10", "1", "", "0.0"}) + "\n" +
                                       card({"", "3", "", "", "10", "2", "", "0.0"}) + "\n");
  deck.insert(deck.find("NODE\n"), cyl);
  start(deck);
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_NE(block_header(USET)[5] & 1073741824, 0) << "a set with local systems";
  const auto eqw = [](word node) {
    const auto pairs = block_records(EQIX).at(1);
    for (std::size_t k = 0; k < pairs.size(); k += 2)
      if (pairs[k] == node) return pairs[k + 1];
    return word{0};
  };
  const float a = 2.0f / std::sqrt(5.0f), b = 1.0f / std::sqrt(5.0f);
  std::map<word, std::vector<float>> expected{{eqw(3), {1, 0, 0, 0, 1, 0, 0, 0, 1}},
                                              {eqw(6), {a, b, 0, -b, a, 0, 0, 0, 1}}};
  const auto files = block_files(ROTB);
  ASSERT_EQ(files.size(), 2u);
  const auto& f1 = files[0].at(0);
  ASSERT_EQ(f1.size(), 20u);
  EXPECT_LT(f1[0], f1[10]) << "ascending by EQIX word";
  for (std::size_t e = 0; e < 2; ++e) {
    const auto& r = expected.at(f1[10 * e]);
    for (std::size_t k = 0; k < 9; ++k) EXPECT_NEAR(real_of(f1[10 * e + 1 + k]), r[k], 1e-6) << "entry " << e << " word " << k;
  }
  const auto& rec = files[1].at(0);
  ASSERT_EQ(rec.size(), 15u);
  EXPECT_EQ(std::vector<word>(rec.begin(), rec.begin() + 7), (std::vector<word>{2, 8, 4, 4, 2, 2, 4}));
  const std::vector<float> blocks{1, 0, 0, 1, a, b, -b, a};
  for (std::size_t k = 0; k < 8; ++k) EXPECT_NEAR(real_of(rec[7 + k]), blocks[k], 1e-6);
  EXPECT_EQ(files[1].at(1), (std::vector<word>{16777215, 0, 0, 0, 0}));
  EXPECT_EQ(block_header(ROTB), (std::array<word, 6>{1, 2, 0, 0, 0, 15}));
  EXPECT_FALSE(has_line(run_->listing(), "2347"));
}

}  // namespace
}  // namespace zephsol::test
