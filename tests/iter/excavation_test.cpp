// Excavation through the whole analysis: a laterally confined soil column
// of height H under its own weight (interval 1), then its top layer of
// thickness h removed with its forces released (interval 2), in one step or
// in four. The column is one-dimensional: under gravity the settlement is
// u(y) = -g/M (H y - y^2 / 2) with the constrained modulus
// M = E (1 - nu) / ((1 + nu) (1 - 2 nu)); removing the layer unloads the rest
// by the pressure g h, which lifts every point by g h y / M. Bilinear
// elements with consistent loads give these values exactly at the nodes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "support/nodal.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

constexpr int kRows = 3;  // element rows of height 1; two elements wide
constexpr double kE = 1.0e4, kGamma = 18.0;

int node_id(int i, int j) { return 1 + i + 3 * j; }

// The column; the top row of elements is group 2. The excavation interval
// has `steps` steps; with first_interval, there is no interval of gravity
// before it: the first interval removes group 2 (releasing its force when
// `release`), the second applies gravity to the rest.
std::string column_deck(int steps, bool first_interval = false, bool release = true) {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\n" + card({"", "GAMM", "18.0"}) +
                  "\nNODE\n";
  for (int j = 0; j <= kRows; ++j)
    for (int i = 0; i <= 2; ++i)
      b += card({std::to_string(node_id(i, j)), "", std::to_string(i) + ".0", std::to_string(j) + ".0", "0.0"}) + "\n";
  b += "CONNECTI\n";
  for (int j = 0; j < kRows; ++j)
    for (int i = 0; i < 2; ++i)
      b += card({std::to_string(1 + i + 2 * j), "1", "", "1", std::to_string(node_id(i, j)),
                 std::to_string(node_id(i + 1, j)), std::to_string(node_id(i + 1, j + 1)), std::to_string(node_id(i, j + 1))}) +
           "\n";
  const std::string top_left = std::to_string(1 + 2 * (kRows - 1));
  b += "EGROUP\n" + card({"2"}) + "\n" + card({"", "F1", top_left, std::to_string(2 * kRows)}) + "\n";
  b += "CONST\n" + card({"", "1", "3", "", "", "1", "2"}) + "\n" +
       card({"", "1", std::to_string(node_id(0, kRows)), "3", "", "1"}) + "\n" +
       card({"", "3", std::to_string(node_id(2, kRows)), "3", "", "1"}) + "\n";
  b += "BODY\n" + card({"1"}) + "\n" + card({"", "1", std::to_string(2 * kRows), "1", "0.0", "-1.0", "0.0"}) + "\n";
  b += "HISTORY\n";
  if (!first_interval) b += card({"INTERVAL", "1"}) + "\n" + card({"", "BODY", "1", "1.0"}) + "\n";
  b += card({"INTERVAL", std::to_string(steps)}) + "\n" + card({"", "INAC", "2"}) + "\n";
  if (release) b += card({"", "RELS", first_interval ? "1" : "2", "1.0"}) + "\n";
  if (first_interval) b += card({"INTERVAL", "1"}) + "\n" + card({"", "BODY", "1", "1.0"}) + "\n";
  return bulk_deck(b);
}

std::map<std::pair<int, int>, double> final_displacements(int steps) {
  DeckRun run(column_deck(steps));
  run.analysis();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(stpctr().NINTVL, 2);
  return displacements();
}

double constrained_modulus() {
  const double nu = static_cast<float>(0.3);
  return kE * (1 - nu) / ((1 + nu) * (1 - 2 * nu));
}

TEST(Excavation, TheTopLayerRemovedLiftsTheRestByItsWeight) {
  const auto u = final_displacements(1);
  const double m = constrained_modulus(), height = kRows, layer = 1.0;
  const double g = static_cast<float>(kGamma);
  for (int j = 0; j < kRows; ++j) {
    const double y = j;
    const double want = -g / m * (height * y - y * y / 2.0) + g * layer * y / m;
    for (int i = 0; i <= 2; ++i) {
      EXPECT_NEAR(u.at({node_id(i, j), 1}), want, 1e-10) << "node " << node_id(i, j);
      EXPECT_NEAR(u.at({node_id(i, j), 0}), 0.0, 1e-12) << "node " << node_id(i, j);
    }
  }
}

TEST(Excavation, FourStepsEndWhereOneStepDoes) {
  const auto one = final_displacements(1);
  const auto four = final_displacements(4);
  ASSERT_EQ(one.size(), four.size());
  double scale = 0.0;
  for (const auto& [key, v] : one) scale = std::max(scale, std::abs(v));
  ASSERT_GT(scale, 0.0);
  for (const auto& [key, v] : one) EXPECT_NEAR(four.at(key), v, 1e-8 * scale) << "node " << key.first;
}

// Removal in the first interval of a deck without initial stresses (there
// is no initial-stress force vector yet): the removed layer carried nothing,
// so the run goes on, with or without a release card, in one step or in
// two, and under gravity in the next interval the rest settles as a column
// of height H - h.
TEST(Excavation, RemovalInTheFirstIntervalLeavesTheRestUnderItsOwnWeight) {
  struct Case {
    int steps;
    bool release;
  };
  for (const Case& c : {Case{1, true}, Case{1, false}, Case{2, true}}) {
    SCOPED_TRACE(std::to_string(c.steps) + " steps, release " + std::to_string(c.release));
    DeckRun run(column_deck(c.steps, true, c.release));
    ASSERT_EQ(run.run_program(), 0) << run.text(kErrorFile);
    EXPECT_EQ(run.text(kErrorFile).find("FATAL"), std::string::npos) << run.text(kErrorFile);
    run.analysis();
    ASSERT_EQ(sysw().IERFLG, 0);
    const auto u = displacements();
    const double m = constrained_modulus(), height = kRows - 1;
    const double g = static_cast<float>(kGamma);
    for (int j = 0; j < kRows; ++j) {
      const double y = j, want = -g / m * (height * y - y * y / 2.0);
      for (int i = 0; i <= 2; ++i) EXPECT_NEAR(u.at({node_id(i, j), 1}), want, 1e-10) << "node " << node_id(i, j);
    }
  }
}

}  // namespace
}  // namespace zephsol::test
