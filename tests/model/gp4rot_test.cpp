// Rotations of the nodes whose boundary directions are given in a local
// system: the rows of each kind of system against hand values, the element
// records, and the messages of conflicting, undefined and out-of-plane
// directions.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "support/gp4deck.h"
#include "zephsol/model/gp4_work.h"

namespace zephsol::test {
namespace {

using Point = std::array<const char*, 3>;

// A "COORDINA" system through the points p1 (origin), p2 (on the first
// axis) and p3 (in the plane of the first two axes).
std::string system_cards(const std::string& id, const std::string& type, Point p1, Point p2, Point p3) {
  return card({id, type, p1[0], p1[1], p1[2], p2[0], p2[1], p2[2]}) + "\n" + card({"", "", p3[0], p3[1], p3[2]}) + "\n";
}

// A "DISP" set fixing the x direction of each node in the system given.
std::string disp_set(const std::string& id, const std::string& system, const std::vector<std::string>& nodes) {
  std::string out = card({id}) + "\n";
  for (const auto& n : nodes) out += card({"", n, "", "", system, "1", "", "0.0"}) + "\n";
  return out;
}

// The history model with the systems and sets given, its one interval
// referencing the sets `refs`.
std::string rotated_model(const std::string& systems, const std::string& sets, const std::vector<std::string>& refs) {
  std::string history = interval(1);
  for (const auto& r : refs) history += event("DISP", r);
  std::string deck = history_model(history, sets);
  deck.insert(deck.find("NODE\n"), "COORDINA\n" + systems);
  return deck;
}

word eqix_word(word node) {
  const auto pairs = block_records(EQIX).at(1);
  for (std::size_t k = 0; k < pairs.size(); k += 2)
    if (pairs[k] == node) return pairs[k + 1];
  return 0;
}

// The rows of ROTB file 1 by EQIX word.
std::map<word, std::vector<float>> node_rotations() {
  std::map<word, std::vector<float>> out;
  const auto files = block_files(ROTB);
  if (files.empty()) return out;
  const auto& f1 = files[0].at(0);
  for (std::size_t e = 0; e + 10 <= f1.size(); e += 10)
    for (std::size_t k = 1; k < 10; ++k) out[f1[e]].push_back(real_of(f1[e + k]));
  return out;
}

using Gp4Rotations = Gp4Run;

// A cylindrical system (10: axis z through the origin) named by a "DISP" set
// at nodes 3 (2, 0) and 6 (2, 1): their rows are (radial, tangential, axial)
// in the basic system; element 2, which holds both, gets their upper-left
// blocks at its node positions 2 and 4.
TEST_F(Gp4Rotations, NodesInACylindricalSystem) {
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
  const float a = 2.0f / std::sqrt(5.0f), b = 1.0f / std::sqrt(5.0f);
  std::map<word, std::vector<float>> expected{{eqix_word(3), {1, 0, 0, 0, 1, 0, 0, 0, 1}},
                                              {eqix_word(6), {a, b, 0, -b, a, 0, 0, 0, 1}}};
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

// Rectangular: the system's axes for every node. Spherical about (0, 0, -1)
// with the basic axes: rows v = (P - A)/|P - A|, w = unit(a e2 - b e1) with
// a = v.e1, b = v.e2, and v x w; at node 3 (2, 0, 0) v = (2, 0, 1)/sqrt 5,
// at node 6 (2, 1, 0) v = (2, 1, 1)/sqrt 6 and w = (-1, 2, 0)/sqrt 5.
TEST_F(Gp4Rotations, RowsOfRectangularAndSphericalSystems) {
  const float r5 = std::sqrt(5.0f), r6 = std::sqrt(6.0f), r30 = std::sqrt(30.0f);
  struct Case {
    const char* name;
    std::string system;
    std::vector<float> node3, node6;
  };
  const std::vector<Case> cases{
      {"rectangular, turned 90 degrees about z",
       system_cards("11", "1", {"0.0", "0.0", "0.0"}, {"0.0", "1.0", "0.0"}, {"-1.0", "0.0", "0.0"}),
       {0, 1, 0, -1, 0, 0, 0, 0, 1},
       {0, 1, 0, -1, 0, 0, 0, 0, 1}},
      {"spherical",
       system_cards("11", "3", {"0.0", "0.0", "-1.0"}, {"1.0", "0.0", "-1.0"}, {"0.0", "1.0", "-1.0"}),
       {2 / r5, 0, 1 / r5, 0, 1, 0, -1 / r5, 0, 2 / r5},
       {2 / r6, 1 / r6, 1 / r6, -1 / r5, 2 / r5, 0, -2 / r30, -1 / r30, 5 / r30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start(rotated_model(c.system, disp_set("5", "11", {"3", "6"}), {"5"}));
    next_interval();
    EXPECT_EQ(sysw().IERFLG, 0);
    const auto rows = node_rotations();
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& [node, expected] : {std::pair{3, c.node3}, std::pair{6, c.node6}})
      for (std::size_t k = 0; k < 9; ++k)
        EXPECT_NEAR(rows.at(eqix_word(node))[k], expected[k], 1e-6) << "node " << node << " word " << k;
    EXPECT_EQ(block_header(ROTB)[0], 1) << "element 2 holds both nodes";
  }
}

// Two sets naming the same nodes: one entry a node; with two systems the
// conflict is told once however many nodes differ.
TEST_F(Gp4Rotations, NodesOfTwoSets) {
  const std::string systems =
      system_cards("10", "1", {"0.0", "0.0", "0.0"}, {"1.0", "0.0", "0.0"}, {"0.0", "1.0", "0.0"}) +
      system_cards("11", "1", {"0.0", "0.0", "0.0"}, {"0.0", "1.0", "0.0"}, {"-1.0", "0.0", "0.0"});
  for (const char* second : {"10", "11"}) {
    SCOPED_TRACE(std::string("second set in system ") + second);
    start(rotated_model(systems, disp_set("5", "10", {"3", "6"}) + disp_set("8", second, {"3", "6"}), {"5", "8"}));
    next_interval();
    const bool conflict = std::string(second) == "11";
    const auto listing = run_->listing();
    const std::string text =
        "0*** USER FATAL MESSAGE 1758, CONFLICT(S) IN COORDINATE SYSTEM REFERECNE DETECTED IN BOUNDARY COMBINATION.";
    EXPECT_EQ(std::count(listing.begin(), listing.end(), text), conflict ? 1 : 0);
    EXPECT_EQ(sysw().IERFLG, conflict ? 1 : 0);
    const auto rows = node_rotations();
    ASSERT_EQ(rows.size(), 2u) << "each node once";
    EXPECT_EQ(rows.at(eqix_word(3)), (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1})) << "the first set's system";
  }
}

// A plane element's rotated node whose third axis leaves the basic z axis
// by more than 1.0E-5 in its cosine is warned about, node by node; a system
// turned about z alone is not. The tilted system is turned about y so that
// R33 = 0.9999.
TEST_F(Gp4Rotations, DirectionsOutOfThePlaneOfAPlaneModel) {
  struct Case {
    std::string system;
    float r33;
  };
  const std::vector<Case> cases{
      {system_cards("11", "1", {"0.0", "0.0", "0.0"}, {"0.9999", "0.0", "-0.01414"}, {"0.0", "1.0", "0.0"}), 0.9999f},
      {system_cards("11", "1", {"0.0", "0.0", "0.0"}, {"0.0", "1.0", "0.0"}, {"-1.0", "0.0", "0.0"}), 1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.r33);
    start(rotated_model(c.system, disp_set("5", "11", {"3", "6"}), {"5"}));
    next_interval();
    EXPECT_EQ(sysw().IERFLG, 0) << "a warning only";
    EXPECT_NEAR(node_rotations().at(eqix_word(3))[8], c.r33, 1e-6);
    const auto listing = run_->listing();
    const bool warned = c.r33 != 1.0f;
    for (const char* position : {" 2", " 4"})
      EXPECT_EQ(has_line(listing, std::string("0*** USER WRANING MESSAGE 2347, BOUNDARY DIRECTION OF ") + position +
                                      "-TH NODE OF ELEMENT       2"),
                warned);
    EXPECT_EQ(has_line(listing, "          IS OUT OF X-Y (OR R-Z) PLANE.   BOUNDARY ID =     5"), warned);
  }
}

// A node on the axis of a cylindrical system has no radial direction: a
// user message naming the node, the set and the system, instead of a
// freedom silently lost to a zero row.
TEST_F(Gp4Rotations, NodeOnTheAxisOfACylindricalSystem) {
  start(rotated_model(system_cards("11", "2", {"2.0", "0.0", "0.0"}, {"3.0", "0.0", "0.0"}, {"2.0", "1.0", "0.0"}),
                      disp_set("5", "11", {"3", "6"}), {"5"}));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  const auto listing = run_->listing();
  EXPECT_TRUE(has_line(listing, "0*** USER FATAL MESSAGE 2451, INDEFINITE DIRECTION DETECTED AT NODE      3"));
  EXPECT_TRUE(has_line(listing, "          WHILE COMPUTING ROTATION OF BOUNDARY      5 USING COORDINATE SYSTEM     11"));
  EXPECT_EQ(message_numbers(listing), std::vector<int>{2451}) << "node 6, off the axis, is sound";
}

// Rotations that no element's node with freedoms takes up leave ROTB
// released with a zero header, so that no reader rotates anything.
TEST_F(Gp4Rotations, RotatedNodeOfNoElement) {
  start(rotated_model(system_cards("11", "1", {"0.0", "0.0", "0.0"}, {"0.0", "1.0", "0.0"}, {"-1.0", "0.0", "0.0"}),
                      disp_set("5", "11", {"3"}), {"5"}));
  next_interval();
  ASSERT_EQ(sysw().IERFLG, 0);
  ASSERT_EQ(block_header(ROTB)[0], 1);
  // The same pass over an entry past the last equation of the model.
  const word nodes = block_header(EQIX)[0], neq = block_header(EQIX)[1];
  gp4::NodeEntries entries;
  const std::vector<word> row{((neq + 1) << 10) | 2, nodes, 1, 99};
  entries.add_set(row, 5);
  gp4::rotations(entries, 5);
  EXPECT_EQ(block_header(ROTB), (std::array<word, 6>{}));
  EXPECT_TRUE(block_files(ROTB).empty());
}

}  // namespace
}  // namespace zephsol::test
