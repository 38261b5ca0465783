// The step output driver with the result file and the nodal results: a
// golden file of one output step, the steps an "OTIM" set selects, the
// displacement, reaction and release-force vectors against the printed
// tables and hand values, inactive nodes, relative displacements, and the
// fatal ends of the open-core plan and the requests.
#include "zephsol/output/ofp1.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "common/block_dump.h"
#include "support/stepfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/inrec.h"
#include "zephsol/model/model_records.h"

namespace zephsol::test {
namespace {

constexpr word kFree = 64 + 256;  // USET: independent, solved for
constexpr word kFixed = 2;
constexpr word kOff = 16 + 8 + 512;  // on no active element

// A plane model of two-DOF nodes: 1 fixed, 2 and 3 free.
class PlaneStep : public StepTest {
 protected:
  void model() {
    write_nodes({{1, 2}, {2, 2}, {3, 2}});
    write_uset({kFixed, kFixed, kFree, kFree, kFree, kFree});
    write_columns(UG, {{0.0, 0.0, 0.003, -0.004, -0.006, 0.008}});
    write_columns(OQGV, {{10.5, -20.0, 0.0, 0.0, 0.0, 0.0}});
  }
};

TEST_F(PlaneStep, OneOutputStepLineForLine) {
  write_nodes({{1, 2}, {2, 2}});
  write_uset({kFixed, kFixed, kFree, kFree});
  write_columns(UG, {{0.0, 0.0, 0.003, -0.004}});
  write_columns(OQGV, {{10.5, -20.0, 0.0, 0.0}});
  post_requests({"OTIM 1 = 1", "SET 1 = ALL"});
  output_step(1, 1, 1);

  std::vector<std::string> expect = {
      "   -1", "100", "Database from FEMAP              ", "4.5", "   -1",
      "   -1", "  450", "     1,", "Interval    1, Step    1", "4,1,", "0.,", "1,", "<NULL>", "   -1",
      "   -1", "  451",
      "     1,     1,     1,", "Total Translation", "  0.000000E+00,  5.000000E-03,  5.000000E-03,",
      "2,3,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,", "     1,     2,     1,     7,", "1,1,1,",
      "       1,  0.000000E+00,", "       2,  5.000000E-03,", "-1,0.,",
      "     1,     2,     1,", "X Translation   ", "  0.000000E+00,  3.000000E-03,  3.000000E-03,",
      "2,0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,", "     1,     2,     1,     7,", "0,1,1,",
      "       1,  0.000000E+00,", "       2,  3.000000E-03,", "-1,0.,",
      "     1,     3,     1,", "Y Translation   ", " -4.000000E-03,  0.000000E+00,  4.000000E-03,",
      "0,3,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,", "     2,     1,     1,     7,", "0,1,1,",
      "       1,  0.000000E+00,", "       2, -4.000000E-03,", "-1,0.,",
      "     1,    52,     1,", "X Nodal Reaction", "  1.050000E+01,  1.050000E+01,  1.050000E+01,",
      "0,0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,", "     1,     1,     1,     7,", "0,1,1,",
      "       1,  1.050000E+01,", "-1,0.,",
      "     1,    53,     1,", "Y Nodal Reaction", " -2.000000E+01, -2.000000E+01,  2.000000E+01,",
      "0,0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,", "     1,     1,     1,     7,", "0,1,1,",
      "       1, -2.000000E+01,", "-1,0.,"};
  const std::pair<const char*, const char*> zero_reactions[] = {
      {"54", "Z Nodal Reaction"}, {"56", "RX Nodal Reactio"}, {"57", "RY Nodal Reactio"}, {"58", "RZ Nodal Reactio"}};
  for (const auto& [id, title] : zero_reactions) {
    expect.insert(expect.end(), {std::string("     1,    ") + id + ",     1,", title,
                                 "  0.000000E+00,  0.000000E+00,  0.000000E+00,", "0,0,0,0,0,0,0,0,0,0,",
                                 "0,0,0,0,0,0,0,0,0,0,", "     1,     1,     1,     7,", "0,1,1,",
                                 "       1,  0.000000E+00,", "-1,0.,"});
  }
  // The thermal vectors of the element output are written in every output
  // step, here without elements.
  const char* thermal[] = {"Normal X Thermal Strain  ", "Normal Y Thermal Strain  ", "Normal Z Thermal Strain  ",
                           "Shear XY Thermal Strain  ", "Shear YZ Thermal Strain  ", "Shear ZX Thermal Strain  "};
  for (int k = 0; k < 6; ++k)
    expect.insert(expect.end(), {"     1,  " + std::to_string(7202 + k) + ",     1,", thermal[k],
                                 "  1.000000E+37, -1.000000E+37,  1.000000E+37,", "0,0,0,0,0,0,0,0,0,0,",
                                 "0,0,0,0,0,0,0,0,0,0,", "     0,     0,     5,     8,", "0,0,1,", "-1,0.,"});
  // The element material vector, with no element table in this fixture.
  expect.insert(expect.end(), {"     1, 81000,     1,", "Element Material IDs     ",
                               "  0.000000E+00,  0.000000E+00,  0.000000E+00,", "0,0,0,0,0,0,0,0,0,0,",
                               "0,0,0,0,0,0,0,0,0,0,", "     0,     0,     0,     8,", "0,0,1,", "-1,0.,"});
  expect.insert(expect.end(), {"   -1", "   -1", "  408", " 10001,     1,", "EGroup10001", "0,0,0,",
                               "0,0,0,0,0.,0.,", "0,0,"});
  for (int i = 0; i < 6; ++i) expect.insert(expect.end(), {"0,0,", "0.,0.,0.,", "0.,0.,0.,"});
  expect.insert(expect.end(), {"38,", "17,", "     1,     0,     1,     1,", "     2,     0,     1,     1,",
                               "-1,-1,-1,-1,", "21,", "-1,-1,-1,-1,", "-1,", "15,", "-1,", "   -1"});
  EXPECT_EQ(post_lines(), expect);
  EXPECT_EQ(sysw().NPOSTC, 1);
}

TEST_F(PlaneStep, OutputStepsOfTheOtimSetOnly) {
  model();
  post_requests({"OTIM 1 = 1, 3", "SET 1 = ALL"});
  const word steps[][3] = {{1, 1, 1}, {1, 2, 2}, {2, 1, 3}, {2, 2, 4}};
  for (const auto& s : steps) output_step(s[0], s[1], s[2]);
  const PostFile f = post();
  EXPECT_TRUE(f.errors.empty()) << f.errors.front();
  ASSERT_EQ(f.steps.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const PostStep& s = f.steps[i];
    const int set = i == 0 ? 1 : 3;
    EXPECT_EQ(s.set, set);
    EXPECT_EQ(s.title, i == 0 ? "Interval    1, Step    1" : "Interval    2, Step    1");
    EXPECT_EQ(s.vector_ids(), (std::vector<int>{1, 2, 3, 52, 53, 54, 56, 57, 58, 7202, 7203, 7204, 7205, 7206, 7207, 81000}));
    for (const PostVector& v : s.vectors) EXPECT_EQ(v.set, set);
    EXPECT_TRUE(s.has_group);
    EXPECT_EQ(s.group, set + 10000);
    EXPECT_EQ(s.nodes, (std::vector<int>{1, 2, 3}));
  }
  EXPECT_EQ(sysw().NPOSTC, 4);
}

TEST_F(PlaneStep, WithoutResultFileRequestsOnlyTheHeader) {
  model();
  print_requests({"DISP = ALL"});
  output_step(1, 1, 1);
  output_step(1, 2, 2);
  EXPECT_EQ(post_lines(), (std::vector<std::string>{"   -1", "100", "Database from FEMAP              ", "4.5", "   -1"}));
}

// The printed displacements equal vectors 2 and 3, vector 1 is their
// magnitude, and a node on no active element appears nowhere.
TEST_F(PlaneStep, PrintedTableMatchesVectorsAndInactiveNodesAreLeftOut) {
  write_nodes({{1, 2}, {2, 2}, {3, 2}, {4, 2}});
  write_uset({kFixed, kFixed, kFree, kFree, kFree, kFree, kOff, kOff});
  write_columns(UG, {{0.0, 0.0, 1.25e-3, -3.5e-4, -6.0e-2, 8.0e-3, 7.0, 7.0}});
  write_columns(OQGV, {{10.5, -20.0, 0.0, 0.0, 0.0, 0.0, 3.0, 3.0}});
  print_requests({"DISP = ALL", "REAC = ALL"});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});
  output_step(1, 1, 1);

  const PostFile f = post();
  ASSERT_TRUE(f.errors.empty()) << f.errors.front();
  const PostStep& s = f.steps.at(0);
  const auto rows = table_values(listing());
  // Displacement table (nodes 1-3), then the reaction table (node 1).
  ASSERT_EQ(rows.size(), 4u);
  const PostVector& x = *s.vector(2);
  const PostVector& y = *s.vector(3);
  const PostVector& t = *s.vector(1);
  ASSERT_EQ(x.values.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(rows[i].first, x.values[i].first);
    EXPECT_NEAR(rows[i].second.at(0), x.values[i].second, 1e-6 * std::fabs(x.values[i].second) + 1e-12);
    EXPECT_NEAR(rows[i].second.at(1), y.values[i].second, 1e-6 * std::fabs(y.values[i].second) + 1e-12);
    EXPECT_NEAR(t.values[i].second, std::hypot(x.values[i].second, y.values[i].second), 1e-6 * t.values[i].second + 1e-12);
  }
  EXPECT_EQ(rows[3].first, 1);
  EXPECT_EQ(rows[3].second, (std::vector<double>{10.5, -20.0}));
  // Extremes: minimum and maximum from the values, and the total vector's
  // absolute maximum is its maximum.
  EXPECT_EQ(x.min, -6.0e-2);
  EXPECT_EQ(x.min_id, 3);
  EXPECT_EQ(x.max, 1.25e-3);
  EXPECT_EQ(x.max_id, 2);
  EXPECT_EQ(x.absmax, 6.0e-2);
  EXPECT_EQ(t.absmax, t.max);
  for (const PostVector& v : s.vectors)
    for (const auto& [id, value] : v.values) EXPECT_NE(id, 4) << v.id;
  EXPECT_EQ(s.nodes, (std::vector<int>{1, 2, 3}));
}

TEST_F(PlaneStep, PrintedNodesOfASetAndAll) {
  model();
  print_requests({"SET 5 = 3", "SET 6 = 2 THRU 3", "DISP = SET 5 SET 6 ALL"});
  output_step(1, 1, 1);
  auto rows = table_values(listing());
  ASSERT_EQ(rows.size(), 3u);  // ALL: every node once
  EXPECT_EQ(rows[0].first, 1);

  print_requests({"SET 5 = 3", "DISP = SET 5"});
  output_step(1, 2, 2);
  rows = table_values(listing());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3].first, 3);
}

TEST_F(PlaneStep, SecondColumnOfDisplacementsIsReported) {
  model();
  write_columns(UG, {{1, 1, 1, 1, 1, 1}, {0.0, 0.0, 2.0, 0.0, 0.0, -1.0}});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});
  output_step(1, 1, 1);
  const PostStep s = post().steps.at(0);
  EXPECT_EQ(s.vector(2)->values, (std::vector<std::pair<int, double>>{{1, 0.0}, {2, 2.0}, {3, 0.0}}));
  EXPECT_EQ(s.vector(3)->values, (std::vector<std::pair<int, double>>{{1, 0.0}, {2, 0.0}, {3, -1.0}}));
}

// "SINTVAL" 3 and 5: intervals 1 and 2 report total displacements, from
// interval 3 on the displacements minus the kept ones (UGSV); an empty UGSV
// leaves them total.
TEST_F(PlaneStep, RelativeDisplacementsFromTheIntervalsOfSintval) {
  model();
  write_columns(UGSV, {{0.0, 0.0, 0.001, 0.001, 0.002, 0.002}});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});
  sysw().ISINTV = 1;
  auto& sl = input_state().sintls;
  sl.count = 2;
  sl.list[0] = 3;
  sl.list[1] = 5;
  for (word interval = 1; interval <= 4; ++interval) output_step(interval, 1, interval);
  write_columns(UGSV, {{0.0, 0.0, 0.0, 0.0, 0.0, 0.0}});
  output_step(5, 1, 5);
  const PostFile f = post();
  ASSERT_EQ(f.steps.size(), 5u);
  const double total = 0.003, relative = 0.002;
  const double expect[] = {total, total, relative, relative, total};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(f.steps[i].vector(2)->values[1].second, expect[i], 1e-9) << i;
}

// Models by largest DOF count: the displacement vectors written and the
// component line of vector 1.
TEST_F(StepTest, DisplacementVectorsFollowTheLargestDofCount) {
  struct Case {
    word dofs;
    std::vector<int> ids;
    const char* lead;
  };
  const Case cases[] = {
      {1, {1, 2, 52}, "2,3,0,0,0,0,0,0,0,0,"},
      {3, {1, 2, 3, 4, 52}, "2,3,4,0,0,0,0,0,0,0,"},
      {6, {1, 2, 3, 4, 6, 7, 8, 52}, "2,3,4,0,0,0,0,0,0,0,"},
  };
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});
  word step = 0;
  for (const Case& c : cases) {
    write_nodes({{5, c.dofs}});
    std::vector<double> u;
    for (word j = 1; j <= c.dofs; ++j) u.push_back(-0.5 * j);
    write_uset(Words(static_cast<std::size_t>(c.dofs), kFree));
    write_columns(UG, {u});
    write_columns(OQGV, {std::vector<double>(u.size(), 0.0)});
    output_step(1, step + 1, step + 1);
    const PostStep s = post().steps.at(static_cast<std::size_t>(step++));
    std::vector<int> ids = s.vector_ids();
    ids.resize(c.ids.size());
    EXPECT_EQ(ids, c.ids) << c.dofs;
    EXPECT_EQ(s.vector(1)->components, c.lead);
    // One DOF: its magnitude is its absolute value.
    const double mag = c.dofs == 1 ? 0.5 : c.dofs == 3 ? std::sqrt(0.25 + 1 + 2.25) : std::sqrt(0.25 + 1 + 2.25);
    EXPECT_NEAR(s.vector(1)->values.at(0).second, mag, 1e-6);
    if (c.dofs == 6) {
      EXPECT_EQ(s.vector(8)->components, "0,0,8,0,0,0,0,0,0,0,");
    }
  }
}

// Reactions: the printed set restricts the stored nodes and so the vectors;
// a node tied by an automatic MPC counts for the extremes but has no value
// line; without constrained nodes the vectors keep their start values.
TEST_F(StepTest, ReactionsFollowThePrintedSetAndTiedNodes) {
  write_nodes({{7, 2}, {8, 2}, {9, 2}});
  write_uset({kFixed, kFree, 1, kFree, 32, kFixed});
  write_columns(UG, {std::vector<double>(6, 0.0)});
  write_columns(OQGV, {{1.0, 99.0, 2.0, 99.0, -3.0, 4.0}});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});

  struct Case {
    std::vector<std::string> print;
    std::vector<int> stored;
  };
  const Case cases[] = {
      {{}, {7, 8, 9}},                          // no REAC request: every constrained node
      {{"REAC = ALL"}, {7, 8, 9}},
      {{"SET 7 = 8 THRU 9", "REAC = SET 7"}, {8, 9}},
      {{"SET 7 = 100", "REAC = SET 7"}, {}},
  };
  word n = 0;
  for (const Case& c : cases) {
    print_requests(c.print);
    ++n;
    output_step(1, n, n);
    const PostStep s = post().steps.at(static_cast<std::size_t>(n - 1));
    std::vector<int> listed;
    for (const auto& [id, v] : s.vector(52)->values) listed.push_back(id);
    EXPECT_EQ(listed, c.stored) << n;
    if (!c.print.empty()) {
      std::vector<int> printed;
      for (const auto& r : table_values(listing())) printed.push_back(r.first);
      printed.erase(printed.begin(), printed.end() - static_cast<std::ptrdiff_t>(c.stored.size()));
      EXPECT_EQ(printed, c.stored);
    }
  }
  // The last case stored nothing: start values and no entity.
  const PostFile before = post();
  const PostVector& empty = *before.steps.back().vector(52);
  EXPECT_EQ(empty.lines[2], "  1.000000E+37, -1.000000E+37,  1.000000E+37,");
  EXPECT_EQ(empty.min_id, 0);
  EXPECT_EQ(empty.max_id, 0);

  // Node 9 tied by an automatic MPC to master node 7: neither has a value
  // line; node 9 still holds the maximum of 53.
  ampctb().count = 1;
  ampctb().node(1, 1) = 9;
  ampctb().node(1, 2) = 7;  // a master node is in the table too
  print_requests({"REAC = ALL"});
  output_step(1, 9, 9);
  const PostFile tied = post();
  const PostVector& y = *tied.steps.back().vector(53);
  EXPECT_EQ(y.values, (std::vector<std::pair<int, double>>{{8, 0.0}}));
  EXPECT_EQ(y.max, 4.0);
  EXPECT_EQ(y.max_id, 9);
  auto printed = table_values(listing());
  EXPECT_EQ(printed.back().first, 9);
  // A table that kept no row leaves every node its value line.
  ampctb() = AMPCTB{};
  ampctb().count = 5000;
  output_step(1, 10, 10);
  EXPECT_EQ(post().steps.back().vector(52)->values.size(), 3u);
}

// Release forces of an excavation: the nodes of the excavated elements
// (without the last node of a BEAM2), only while the release is active.
TEST_F(StepTest, ReleaseForcesOfExcavatedElements) {
  // Nodes 1-5 (positions 1-5); elements: 1 QPLAN4 on 1,2,3,4 (kept), 2 BEAM2
  // on 4,5 + orientation node 3 (excavated), 3 QPLAN4 on 2,3,5,4 (excavated).
  // Node 5 lies only on excavated elements and is inactive.
  write_nodes({{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 2}});
  write_uset({kFixed, kFixed, kFree, kFree, kFree, kFree, kFree, kFree, kOff, kOff});
  write_columns(UG, {std::vector<double>(10, 0.0)});
  write_columns(OQGV, {std::vector<double>(10, 0.0)});
  write_columns(DPG, {{9, 9, 3.0, -4.0, 0.5, 0.25, -1.0, 2.0, 8, 8}});
  const word qplan4 = 1 * (1 << 24) + 10, beam2 = 2 * (1 << 24) + 5;
  write_block(CONE, {{100, qplan4, 1, 1, 4, 1, 2, 3, 4}, {200, beam2, 2, 2, 3, 4, 5, 3}, {300, qplan4, 1, 1, 4, 2, 3, 5, 4}},
              {3, 2, 4, 0, 0, 0});
  write_block(XCLD, {{2, 3}}, {2, 0, 0, 0, 0, 0});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});

  output_step(1, 1, 1);  // no release active
  exec_state().intctl.EXCACT = -1;
  output_step(1, 2, 2);
  const PostFile f = post();
  ASSERT_TRUE(f.errors.empty()) << f.errors.front();
  EXPECT_EQ(f.steps[0].vector(41), nullptr);
  const PostStep& s = f.steps[1];
  EXPECT_EQ(s.vector_ids(),
            (std::vector<int>{1, 2, 3, 52, 53, 54, 56, 57, 58, 41, 42, 43, 7202, 7203, 7204, 7205, 7206, 7207, 81000}));
  const PostVector& t = *s.vector(41);
  EXPECT_EQ(t.components, "42,43,0,0,0,0,0,0,0,0,");
  EXPECT_EQ(t.out_type, 3);
  // Release nodes 2, 3, 4 (node 3 from the quadrilateral, not as the beam's
  // last node; node 5 inactive); node 1 is not one.
  ASSERT_EQ(t.values.size(), 3u);
  EXPECT_EQ(t.values[0], (std::pair<int, double>{2, 5.0}));
  EXPECT_EQ(t.values[1].first, 3);
  EXPECT_NEAR(t.values[1].second, std::hypot(0.5, 0.25), 1e-6);
  EXPECT_EQ(t.values[2].first, 4);
  const PostVector& x = *s.vector(42);
  EXPECT_EQ(x.components, "42,0,0,0,0,0,0,0,0,0,");
  // Extremes over every active node, node 1 (not released) counting as 0.
  EXPECT_EQ(x.min, -1.0);
  EXPECT_EQ(x.max, 3.0);
  EXPECT_EQ(s.vector(43)->min, -4.0);
  EXPECT_EQ(s.vector(43)->max, 2.0);
  EXPECT_EQ(s.nodes, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(StepTest, BeamLastNodeIsNoReleaseNodeOfItsOwn) {
  write_nodes({{1, 3}, {2, 3}, {3, 3}});
  write_uset(Words(9, kFree));
  write_columns(UG, {std::vector<double>(9, 0.0)});
  write_columns(OQGV, {std::vector<double>(9, 0.0)});
  write_columns(DPG, {{1, 0, 0, 2, 0, 0, 3, 0, 0}});
  write_block(CONE, {{200, (1 << 24) + 5, 2, 2, 3, 1, 2, 3}}, {1, 1, 3, 0, 0, 0});
  write_block(XCLD, {{1}}, {1, 0, 0, 0, 0, 0});
  post_requests({"OTIM 1 = ALL", "SET 1 = ALL"});
  exec_state().intctl.EXCACT = -1;
  output_step(1, 1, 1);
  const PostStep s = post().steps.at(0);
  EXPECT_EQ(s.vector(41)->values, (std::vector<std::pair<int, double>>{{1, 1.0}, {2, 2.0}}));
  EXPECT_EQ(s.vector(41)->components, "42,43,44,0,0,0,0,0,0,0,");
  EXPECT_NE(s.vector(44), nullptr);
  EXPECT_EQ(s.vector(45), nullptr);
}

// Too little open core for the node table: fatal message 3 with the words
// required (available plus the shortfall) and available.
class SmallCoreStep : public StepTest {
 protected:
  SmallCoreStep() : StepTest(1) {}
};

TEST_F(SmallCoreStep, NodeTableThatDoesNotFitEndsTheRunWithMessage3) {
  // 30000 one-DOF nodes: 2 NN + NEQ + max(NEQ, 2 NN) + 6 NN + NN = 12 NN words from word 7.
  const word nn = 30000;
  std::vector<NodeDef> nodes;
  for (word i = 1; i <= nn; ++i) nodes.push_back({i, 1});
  write_nodes(nodes);
  const word available = sysw().COREND - 1;
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const std::int64_t end = 7 + 12 * static_cast<std::int64_t>(nn);
  ASSERT_GT(end, buffer);
  const std::string log = fatal_log([this] { output_step(1, 1, 1); });
  char expect[80];
  std::snprintf(expect, sizeof expect, "REQUIRED =%8d, CURRENT =%8d WORDS", static_cast<int>(available + end - buffer),
                available);
  EXPECT_NE(log.find(expect), std::string::npos) << log;
}

// A "NOUTPUT" block without "OTIM 1": its requests refer to that set, and the
// first output step ends the run with 3834 ("OTIM", 1).
TEST_F(PlaneStep, UndefinedOutputTimeSetOfTheResultFileRequests) {
  model();
  // The case-control reader writes it with its message 627.
  post_requests({"SET 1 = ALL"}, 1);
  const std::string log = fatal_log([this] { output_step(1, 1, 1); });
  EXPECT_NE(log.find("3834, PROGRAM LOGIC ERROR"), std::string::npos) << log;
  EXPECT_NE(log.find(reason_line(name_word("OTIM"), 1)), std::string::npos) << log;
}

}  // namespace
}  // namespace zephsol::test
