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

#include "support/gp4deck.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::test {
namespace {

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


}  // namespace
}  // namespace zephsol::test
