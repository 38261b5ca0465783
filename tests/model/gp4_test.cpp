// GP4: the replay of the construction history, the excluded elements and
// the freedom sets, prescribed values and constraints of each interval,
// against tables worked out by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/gp4deck.h"
#include "common/testing.h"
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

// Conflicting constraints of one interval, each a user message naming the
// freedom and the set (boundary set 8 or MPC set 10 is added to the model's
// groups for the case).
TEST_F(Gp4Run, ConflictsEndTheSetUp) {
  struct Case {
    const char* what;
    std::string history, disp, mpc;
    std::vector<int> numbers;
    std::vector<std::string> lines;
    bool uset;  // the set-up goes on and writes USET
  };
  const std::string disp8 = card({"8"}) + "\n";
  const std::vector<Case> cases{
      {"MPC 9's dependent (6, 2) also fixed by DISP 8",
       interval(1) + event("DISP", "8") + event("MPC", "9"),
       disp8 + card({"", "6", "", "", "", "2", "", "0.0"}) + "\n",
       "",
       {1934},
       {"0*** USER FATAL MESSAGE 1934, NODAL D.O.F.   2 OF NODE     6 IN MPC EQUATIONS SET     9",
        "          IS ALSO DEFINED IN BOUNDARY SET."},
       false},
      {"MPC 10 makes (6, 2) dependent again, not a stop on the table it would build",
       interval(1) + event("MPC", "9") + event("MPC", "10"),
       "",
       card({"10"}) + "\n" + card({"", "6", "2", "0.0", "1"}) + "\n" + card({"", "5", "2", "1.0"}) + "\n",
       {1933},
       {"0*** USER FATAL MESSAGE 1933, NODAL D.O.F.   2 OF NODE     6",
        "          IS DUPLICATELY DEFINED IN THE LEFT-HAND-SIDE OF FASTENING EQUATION.    MPC ID =    10"},
       false},
      {"MPC 10 takes (6, 2), the dependent of MPC 9, as a term",
       interval(1) + event("MPC", "9") + event("MPC", "10"),
       "",
       card({"10"}) + "\n" + card({"", "5", "2", "0.0", "1"}) + "\n" + card({"", "6", "2", "1.0"}) + "\n",
       {1932},
       {"0*** USER FATAL MESSAGE 1932, NODAL D.O.F.   2 OF NODE     6 IN THE RIGHT-HAND-SIDE OF MPC EQUATION",
        "          HAS BEEN APPEARED IN THE LEFT-HAND-SIDE.  MPC ID=    10"},
       false},
      {"DISP 8 moves node 3 by 0.25 where DISP 7 moves it by 0.5; node 1 alike twice is no conflict",
       interval(1) + event("DISP", "7") + event("DISP", "8"),
       disp8 + card({"", "3", "", "", "", "1", "", "0.25"}) + "\n" + card({"", "1", "", "", "", "1", "", "0.0"}) + "\n",
       "",
       {2461},
       {"0*** USER FATAL MESSAGE 2461, BOUNDARY COMBINATION RESULS IN CONFLICT OF PRESCRIBED DISPLACEMENTS"},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string deck = history_model(c.history, c.disp);
    deck.insert(deck.find("HISTORY\n"), c.mpc);
    start(deck);
    next_interval();
    const auto listing = run_->listing();
    EXPECT_EQ(message_numbers(listing), c.numbers);
    EXPECT_EQ(sysw().IERFLG, 1);
    for (const auto& line : c.lines) EXPECT_TRUE(has_line(listing, line)) << line;
    EXPECT_EQ(block_header(USET)[0] != 0, c.uset);
  }
}

// A key changed in intervals 2 and 5 holds at interval 3 the new identifier
// of interval 2, and at interval 6 that of interval 5.
TEST_F(Gp4Run, LatestChangeOfAKey) {
  start(history_model(interval(1) + event("DISP", "7") + interval(1) + event("MATC", "1", "2") + interval(1) +
                      interval(1) + interval(1) + event("MATC", "1", "3") + interval(1)));
  for (word k = 1; k <= 6; ++k) {
    next_interval();
    const MTCLST& m = matl_state().MTCMID;
    if (k == 1) {
      EXPECT_EQ(m.count, 0);
      continue;
    }
    SCOPED_TRACE("interval " + std::to_string(k));
    ASSERT_EQ(m.count, 1);
    EXPECT_EQ(m.entry[0].key, 1);
    EXPECT_EQ(m.entry[0].mid, k < 5 ? 2 : 3);
    EXPECT_EQ(m.entry[0].order, k < 5 ? 2 : 5);
  }
  EXPECT_EQ(sysw().IERFLG, 0);
}

// A set referenced twice in one interval is told as such, not as an
// undefined set; a set that does not exist is undefined.
TEST_F(Gp4Run, UndefinedAndRepeatedReferences) {
  start(history_model(interval(1) + event("DISP", "7") + event("DISP", "7") + event("DISP", "44")));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  auto listing = run_->listing();
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 1757, INTERVAL REFERES BOUNDARY ID     7 MORE THAN ONCE"));
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 1757, INTERVAL REFERES UNDEFINED BOUNDARY ID    44"));
  EXPECT_EQ(message_numbers(listing), (std::vector<int>{1757, 1757}));

  start(history_model(interval(1) + event("DISP", "7") + event("MPC", "9") + event("MPC", "9")));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  listing = run_->listing();
  EXPECT_EQ(message_numbers(listing), std::vector<int>{1759});
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 1759, INTERVAL REFERES MPC ID     9 MORE THAN ONCE"));
}

// Words 21 and 22 of an interval record keep the release pair of an earlier
// interval; an interval that releases nothing (an "INAC" only) must return
// region 0 and fraction 0.0 all the same.
TEST_F(Gp4Run, ReleaseOnlyInTheIntervalThatReleases) {
  start(history_model(interval(1) + event("DISP", "7") + interval(1) + event("INAC", "1") + interval(1) +
                      event("RELS", "2", "0.6") + interval(1) + event("ACTI", "1") + interval(1) + event("INAC", "1")));
  const auto fifth = block_records(INCD).at(4);
  ASSERT_EQ(fifth[5], 0) << "no release pair";
  ASSERT_EQ(fifth[20], 2) << "the stale pair of the third interval";
  struct Expected {
    word EXCAVF, EXREGN;
    float RELFAC;
  };
  const std::vector<Expected> by_interval{{0, 0, 0.0f}, {-1, 0, 0.0f}, {0, 2, 0.6f}, {1, 0, 0.0f}, {-1, 0, 0.0f}};
  for (std::size_t k = 0; k < by_interval.size(); ++k) {
    SCOPED_TRACE("interval " + std::to_string(k + 1));
    const Outputs o = next_interval();
    EXPECT_EQ(o.EXCAVF, by_interval[k].EXCAVF);
    EXPECT_EQ(o.EXREGN, by_interval[k].EXREGN);
    EXPECT_EQ(o.RELFAC, by_interval[k].RELFAC);
  }
  EXPECT_EQ(sysw().IERFLG, 0);
}

// A rod from node 11 (0.5, 0.5) to node 12 (1.5, 0.5) hangs in the two
// quadrilaterals: each of its nodes follows the four corners of its element
// with weight 0.25 in x and y. Node 11's y is also fixed (set 12), so that
// component gets no equation; terms on fixed corners (nodes 1 and 4, and
// node 3's x moved by 0.5) go into the slave's prescribed value.
TEST_F(Gp4Run, AutomaticConstraintsOfStrayNodes) {
  std::string deck = history_model(interval(1) + event("DISP", "7") + event("DISP", "12"),
                                   card({"12"}) + "\n" + card({"", "11", "", "", "", "2", "", "0.0"}) + "\n");
  deck.insert(deck.find("MATERIAL\n"), card({"3", "ROD2"}) + "\n");
  deck.insert(deck.find("NODE\n"), "PROPERTY\n" + card({"6", "3", "1.0", "2.0", "3.0"}) + "\n");
  deck.insert(deck.find("CONNECTI\n"), node_card(11, "0.5", "0.5", "0.0") + node_card(12, "1.5", "0.5", "0.0"));
  deck.insert(deck.find("EGROUP\n"), element_card(21, 3, 6, {11, 12}));
  start(deck, true);
  ASSERT_EQ(block_header(BCDT)[2], 1) << "the automatic equations are there";
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_TRUE(message_numbers(run_->listing()).empty());

  using Dof = std::pair<word, word>;
  const std::map<Dof, word> special{
      {{1, 1}, 18}, {{1, 2}, 18}, {{4, 1}, 18}, {{4, 2}, 18}, {{3, 1}, 18}, {{11, 2}, 18},  // prescribed
      {{11, 1}, 17}, {{12, 1}, 17}, {{12, 2}, 17},                                          // slaves
      {{2, 1}, 368}, {{5, 1}, 368}, {{6, 1}, 368}, {{2, 2}, 368}, {{3, 2}, 368}, {{5, 2}, 368}, {{6, 2}, 368}};
  const auto u = uset_words();
  for (const auto& [dof, w] : u) {
    const auto it = special.find(dof);
    EXPECT_EQ(w, it != special.end() ? it->second : 336) << "node " << dof.first << " component " << dof.second;
  }
  EXPECT_EQ(block_header(USET)[3], 9);

  // The o and n sets in equation order.
  const auto eq = equations();
  std::vector<std::pair<word, Dof>> o_set, n_set;
  for (const auto& [dof, w] : u) ((w & 3) != 0 ? o_set : n_set).emplace_back(eq.at(dof), dof);
  std::sort(o_set.begin(), o_set.end());
  std::sort(n_set.begin(), n_set.end());
  const std::map<Dof, double> values{{{3, 1}, 0.5}, {{12, 1}, 0.25 * 0.5}};
  const std::map<Dof, std::map<Dof, double>> terms{
      {{11, 1}, {{{2, 1}, 0.25}, {{5, 1}, 0.25}}},
      {{12, 1}, {{{2, 1}, 0.25}, {{5, 1}, 0.25}, {{6, 1}, 0.25}}},
      {{12, 2}, {{{2, 2}, 0.25}, {{3, 2}, 0.25}, {{5, 2}, 0.25}, {{6, 2}, 0.25}}}};
  const auto ys = dense_columns(YS);
  const auto gst = dense_columns(GST);
  ASSERT_EQ(ys.size(), 1u);
  ASSERT_EQ(gst.size(), o_set.size());
  for (std::size_t c = 0; c < o_set.size(); ++c) {
    const Dof o = o_set[c].second;
    SCOPED_TRACE("o-set freedom of node " + std::to_string(o.first) + " component " + std::to_string(o.second));
    EXPECT_NEAR(ys[0][c], values.contains(o) ? values.at(o) : 0.0, 1e-7);
    ASSERT_EQ(gst[c].size(), n_set.size());
    for (std::size_t r = 0; r < n_set.size(); ++r) {
      const Dof n = n_set[r].second;
      const double expected = terms.contains(o) && terms.at(o).contains(n) ? terms.at(o).at(n) : 0.0;
      EXPECT_NEAR(gst[c][r], expected, 1e-7) << "n-set freedom of node " << n.first << " component " << n.second;
    }
  }
}


// A data block of the given records, then its header; with `sets`, each
// record list is a file of its own ended by an end-of-file mark.
void write_files(word number, const std::vector<std::vector<std::vector<word>>>& files, const std::array<word, 6>& h,
                 bool sets) {
  DBOPEN(number, 1, kWrite);
  for (const auto& records : files) {
    for (const auto& r : records) DBWRIT(number, r.data(), static_cast<word>(r.size()), 1);
    if (sets) DBEOF(number);
  }
  DBCLOS(number, kCloseRewind);
  HDRPUT(number, h);
}
void write_block(word number, const std::vector<std::vector<word>>& records, const std::array<word, 6>& h) {
  write_files(number, {records}, h, false);
}

// The one interval of a history written as INCD: its steps, its boundary
// and MPC references (factor 1.0), the groups it removes and adds, and the
// groups removed ahead of the first interval.
struct History {
  std::vector<word> boundary, mpc, removed, added, before;
  word steps = 1;
};

// Writes INCD; returns the words of the interval record.
word write_history(const History& h) {
  std::vector<std::vector<word>> records;
  if (!h.before.empty()) {
    std::vector<word> first(40, 0);
    first[14] = first[17] = static_cast<word>(h.before.size());
    for (const word group : h.before) first.insert(first.end(), {group, 0});
    records.push_back(first);
  }
  std::vector<word> r(40, 0);
  r[0] = 1;
  r[1] = h.steps;
  r[2] = h.removed.empty() ? 1 : 2;
  r[3] = r[18] = -1;
  r[10] = static_cast<word>(h.boundary.size());
  r[11] = static_cast<word>(h.mpc.size());
  r[14] = static_cast<word>(h.removed.size());
  r[15] = static_cast<word>(h.added.size());
  r[17] = r[10] + r[11] + r[14] + r[15];
  for (const auto& list : {h.boundary, h.mpc})
    for (const word set : list) r.insert(r.end(), {set, real_word(1.0f)});
  for (const auto& list : {h.removed, h.added})
    for (const word group : list) r.insert(r.end(), {group, 0});
  records.push_back(r);
  const auto n = static_cast<word>(r.size());
  write_block(INCD, records, std::array<word, 6>{1, h.steps, static_cast<word>(h.before.size()), 0, r[17], n});
  exec_state().intctl.NIVSET = 0;
  return n;
}

// A boundary set fixing the freedoms `dofs` at 0.0.
std::vector<std::vector<word>> boundary_file(word set, const std::vector<word>& dofs) {
  std::vector<word> pairs;
  for (const word d : dofs) pairs.insert(pairs.end(), {d, real_word(0.0f)});
  return {{name_word("BOUN"), set, static_cast<word>(dofs.size()), 0, 0}, pairs};
}

// An excavation of 100,000 of the 120,000 quadrilaterals of a 400 x 300
// grid: group 1 (the 90,000 elements of columns 1-300, listed backwards)
// and group 2 (the 40,000 of rows 1-100, shuffled) overlap in 30,000. The
// tables are written as the earlier modules leave them; the interval set-up
// lists each excluded element once, ascending, in well under a second.
TEST(Gp4Excavation, HundredThousandElements) {
  zephsol::testing::FreshFileSystem fs(16, 1025);
  constexpr word kColumns = 400, kRows = 300, kElements = kColumns * kRows;
  constexpr word kNodes = (kColumns + 1) * (kRows + 1), kEquations = 2 * kNodes;
  const auto node = [](word i, word j) { return 1 + i + (kColumns + 1) * j; };
  const auto eqix = [](word n) { return ((2 * n - 1) << 10) | 2; };

  std::vector<std::vector<word>> ect;
  ect.reserve(kElements);
  for (word j = 0; j < kRows; ++j)
    for (word i = 0; i < kColumns; ++i)
      ect.push_back({1 + i + kColumns * j, 1, 4, 0, 0, 0, eqix(node(i, j)), eqix(node(i + 1, j)),
                     eqix(node(i, j + 1)), eqix(node(i + 1, j + 1))});
  write_block(ECT, ect, std::array<word, 6>{kElements, 0, 0, 0, 0, 10});
  std::vector<word> first{1, 0}, second{2, 0};
  for (word e = kElements; e >= 1; --e)
    if ((e - 1) % kColumns < 300) first.push_back(e);
  for (word e = 1; e <= 100 * kColumns; ++e) second.push_back(e);
  std::shuffle(second.begin() + 2, second.end(), std::mt19937(7));
  first[1] = static_cast<word>(first.size() - 2);
  second[1] = static_cast<word>(second.size() - 2);
  write_block(IELS, {first, second}, std::array<word, 6>{2, 0, 0, 0, 0, 0});
  write_history({.boundary = {1}, .removed = {1, 2}});
  // Set 1 fixes both directions of the corner node 1.
  write_files(BCDT, {boundary_file(1, {1, 2})}, std::array<word, 6>{1, 0, 0, 0, 0, 0}, true);
  HDRPUT(EQIX, std::array<word, 6>{kNodes, kEquations, 2, 0, 0, 0});

  // Processor time, so that other work on the machine does not count.
  const std::clock_t t0 = std::clock();
  const Outputs o = next_interval();
  const double seconds = static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
  EXPECT_LT(seconds, 2.0) << "the interval set-up took " << seconds << " s";
  std::cerr << "interval with 100,000 excluded elements set up in " << seconds << " s\n";

  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(o.EXCAVF, -1);
  EXPECT_EQ(o.LSTGRP, 2);
  std::set<word> expected(first.begin() + 2, first.end());
  expected.insert(second.begin() + 2, second.end());
  ASSERT_EQ(expected.size(), 100000u);
  EXPECT_EQ(block_header(XCLD), (std::array<word, 6>{100000, 0, 0, 0, 0, 0}));
  const auto xcld = block_records(XCLD);
  ASSERT_EQ(xcld.size(), 1u);
  EXPECT_TRUE(std::ranges::equal(xcld[0], expected));
  // The active elements are those of columns 301-400 in rows 101-300; the
  // 101 x 201 nodes they use are on an active element, the others not.
  const auto u = block_records(USET).at(0);
  ASSERT_EQ(u.size(), static_cast<std::size_t>(kEquations));
  const auto off = std::ranges::count_if(u, [](word w) { return (w & 512) != 0; });
  EXPECT_EQ(off, 2 * (kNodes - 101 * 201));
  EXPECT_EQ(u[0], 16 + 2 + 512);
  EXPECT_EQ(u[2], 16 + 64 + 8 + 512);
  EXPECT_EQ(u.back(), 16 + 64 + 256);
}

// Two quadrilaterals over nodes 1-2-5-4 and 2-3-6-5, group 1 = element 2
// removed ahead of the first interval. An interval that adds group 1 and
// removes it again leaves it removed (additions are replayed first), and an
// interval of 0 steps is set up as one step while its count stays 0.
TEST(Gp4Replay, GroupAddedAndRemovedInAnIntervalOfNoSteps) {
  zephsol::testing::FreshFileSystem fs(1, 1025);
  const auto eqix = [](word n) { return ((2 * n - 1) << 10) | 2; };
  write_block(ECT, {{1, 1, 4, 0, 0, 0, eqix(1), eqix(2), eqix(4), eqix(5)}, {2, 1, 4, 0, 0, 0, eqix(2), eqix(3), eqix(5), eqix(6)}},
              std::array<word, 6>{2, 0, 0, 0, 0, 10});
  write_block(IELS, {{1, 1, 2}}, std::array<word, 6>{1, 0, 0, 0, 0, 0});
  write_files(BCDT, {boundary_file(1, {1, 2})}, std::array<word, 6>{1, 0, 0, 0, 0, 0}, true);
  HDRPUT(EQIX, std::array<word, 6>{6, 12, 2, 0, 0, 0});
  write_history({.boundary = {1}, .removed = {1}, .added = {1}, .before = {1}, .steps = 0});
  const Outputs o = next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(o.EXCAVF, -1);
  EXPECT_EQ(o.NSTEPS, 1);
  EXPECT_EQ(o.LASTIV, -1);
  EXPECT_EQ(exec_state().NSTPIV[0], 1);
  EXPECT_EQ(exec_state().NSTPIV[1], 0);
  EXPECT_EQ(block_records(XCLD), (std::vector<std::vector<word>>{{2}}));
  // Nodes 3 and 6 lie on the removed element only.
  const auto u = block_records(USET).at(0);
  EXPECT_EQ(u, (std::vector<word>{18, 18, 336, 336, 600, 600, 336, 336, 336, 336, 600, 600}));
}

// The tables of the boundary pass are held within the open core: USET from
// the first free word, then the constraint triples (3 words each) below the
// lowest file buffer. Cut to leave `gap` words there, a model of nG
// freedoms without elements ends the run when USET or the triples do not
// fit, and sets up its interval when they just do.
TEST(Gp4Core, TablesOfTheBoundaryPassWithinTheOpenCore) {
  struct Case {
    const char* what;
    word neq, gap;
    std::vector<word> fixed;  // freedoms of boundary set 1
    word terms;               // of the one equation of MPC set 2 (none: 0)
    const char* fatal;        // nullptr: the set-up completes
  };
  const std::vector<Case> cases{
      {"USET longer than the area", 150, 120, {1}, 0, "INSUFFICIENT MEMORY.  REQUIRED =%8d, CURRENT =%8d WORDS"},
      {"a 17th boundary triple", 100, 150, std::vector<word>(20), 0, "INSUFFICIENT MEMORY.  REQUIRED =%8d, CURRENT =%8d WORDS"},
      {"twenty boundary triples in 60 words", 100, 160, std::vector<word>(20), 0, nullptr},
      {"an equation of 14 terms after one triple", 100, 150, {50}, 14, "FAST TABLE TOO LARGE TO HOLD IN MEMORY, CORSIZE=%8d"},
      {"the same equation with a word more", 100, 151, {50}, 14, nullptr},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.what);
    zephsol::testing::FreshFileSystem fs(1, 1025);
    for (std::size_t k = 0; k < c.fixed.size(); ++k)
      if (c.fixed[k] == 0) c.fixed[k] = static_cast<word>(k + 1);
    std::vector<std::vector<std::vector<word>>> sets{boundary_file(1, c.fixed)};
    if (c.terms > 0) {
      std::vector<word> eq{c.terms, c.neq, real_word(0.0f)};
      for (word e = 1; e <= c.terms; ++e) eq.insert(eq.end(), {e, real_word(1.0f)});
      sets.push_back({{name_word("FAST"), 2, 1, 0, 0}, eq});
    }
    write_files(BCDT, sets, std::array<word, 6>{1, c.terms > 0 ? 1 : 0, 0, 0, 0, 0}, true);
    HDRPUT(EQIX, std::array<word, 6>{c.neq / 2, c.neq, 2, 0, 0, 0});
    const word first_free =
        write_history({.boundary = {1}, .mpc = c.terms > 0 ? std::vector<word>{2} : std::vector<word>{}}) + 1;
    sysw().COREND = first_free + c.gap + 3 * sysw().NBUFSZ;
    const word free = CORLFT(1);
    if (c.fatal == nullptr) {
      next_interval();
      EXPECT_EQ(sysw().IERFLG, 0);
      EXPECT_EQ(block_header(USET)[0], c.neq);
      EXPECT_EQ(block_header(USET)[3], static_cast<word>(c.fixed.size()) + (c.terms > 0 ? 1 : 0));
      continue;
    }
    EXPECT_EXIT(next_interval(), ::testing::ExitedWithCode(1), "");
    // Fatal 3 asks for the words the area lacks above all free words.
    const word short_by = c.neq > c.gap ? c.neq - c.gap : 1;
    char text[100];
    if (std::string(c.fatal).starts_with("INSUFF"))
      std::snprintf(text, sizeof text, c.fatal, free + short_by, free);
    else
      std::snprintf(text, sizeof text, c.fatal, free);
    EXPECT_NE(fs.read("errors").find(text), std::string::npos) << text << "\n" << fs.read("errors");
  }
}

}  // namespace
}  // namespace zephsol::test
