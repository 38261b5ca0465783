// Whole runs of the example's 2 x 2 plane-strain mesh under gravity with
// values that give no meaningful result: a material the decoder refuses, a
// load that overflows the stresses or the reactions, a zero modulus under every method of
// solution. Each must end as an error (exit 1, the error end in the
// progress file, no work file left) with a user's message naming the card,
// the step and element, or the node, never as a normal end or a program
// logic error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/deck.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

// The example deck with one card replaced and a control card added after
// the identification card.
std::string demo_deck(const std::string& card, const std::string& replacement, const std::string& control) {
  std::ifstream in(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat");
  std::string deck;
  bool replaced = false;
  for (std::string line; std::getline(in, line);) {
    if (line == card) {
      line = replacement;
      replaced = true;
    }
    deck += line + "\n";
    if (!control.empty() && line.rfind("Quorvane", 0) == 0) deck += control + "\n";
  }
  EXPECT_TRUE(replaced) << card;
  return deck;
}

constexpr const char* kE = "        E         1.0E+4";
constexpr const char* kNu = "        NU           0.3";
constexpr const char* kGravity = "        BODY           1     1.0";

struct Case {
  const char* name;
  const char* card;         // the card of demo.dat replaced
  const char* replacement;  // what replaces it
  const char* solver;       // control card ("": the profile method)
  std::vector<std::string> messages;  // lines the error log must hold
  const char* factor = nullptr;       // the history's gravity card, when it changes too
};

const std::string kMaterialCard = "0*** USER FATAL MESSAGE    2603,  CARD NUMBER      6,  DATA GROUP NAME- MATERIAL";
const std::string kModulusCard = "0*** USER FATAL MESSAGE    2603,  CARD NUMBER      5,  DATA GROUP NAME- MATERIAL";
const std::string kForceOverflow = "0*** USER FATAL MESSAGE 5027, NON-FINITE FORCE AT INTERVAL    1,  STEP    1";
const std::string kNullColumn =
    "0*** SDCOMP FATAL MESSAGE ---  DECOMPOSITION ABORTED AT        1-TH ROW BECAUSE OF NULL COLUMN";
const std::string kFirstNode = "0*** USER INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO";

const Case kCases[] = {
    {"nu 0.5", kNu, "        NU           0.5", "", {kMaterialCard, "          NU       DATA  5.00000E-01 IS OUT OF RANGE."}},
    {"nu -1", kNu, "        NU          -1.0", "", {kMaterialCard, "          NU       DATA -1.00000E+00 IS OUT OF RANGE."}},
    {"E -1", kE, "        E           -1.0", "", {kModulusCard, "          E        DATA -1.00000E+00 IS OUT OF RANGE."}},
    // The reactions at the base leave the range of REAL before the stresses.
    {"load 9.9E+37", kGravity, "        BODY           1 9.9E+37", "", {kForceOverflow, "          AT THE  1-TH D.O.F. OF NODE       1"}},
    {"load 9.9E+37 PCG", kGravity, "        BODY           1 9.9E+37", "SOLVER PCG", {kForceOverflow}},
    {"load 9.9E+37 METI", kGravity, "        BODY           1 9.9E+37", "SOLVER METI", {kForceOverflow}},
    // Displacements and stresses within REAL, the reactions beyond it.
    {"load 1.0E+37", kGravity, "        BODY           1 1.0E+37", "", {kForceOverflow, "          AT THE  2-TH D.O.F. OF NODE       2"}},
    {"load 1.0E+37 PCG", kGravity, "        BODY           1 1.0E+37", "SOLVER PCG", {kForceOverflow}},
    {"load 1.0E+37 METI", kGravity, "        BODY           1 1.0E+37", "SOLVER METI", {kForceOverflow}},
    // Body forces beyond REAL in the load vector itself: the iteration's
    // residual has no meaning, the step ends before it.
    {"gravity 6.1E+33 by 8.0E+29 PCG", "               1       4       1     0.0    -1.0     0.0",
     "               1       4       1     0.0-6.1E+33     0.0", "SOLVER PCG",
     {kForceOverflow, "          AT THE  2-TH D.O.F. OF NODE       4"}, "        BODY           1 8.0E+29"},
    {"E 0", kE, "        E            0.0", "", {kNullColumn, kFirstNode}},
    {"E 0 PCG", kE, "        E            0.0", "SOLVER PCG", {kNullColumn, kFirstNode}},
    {"E 0 METI", kE, "        E            0.0", "SOLVER METI", {kNullColumn, kFirstNode}},
};

TEST(ImpossibleResults, EndAsAnErrorWithAUserMessage) {
  for (const Case& c : kCases) {
    std::string deck = demo_deck(c.card, c.replacement, c.solver);
    if (c.factor != nullptr) deck.replace(deck.find(kGravity), std::string(kGravity).size(), c.factor);
    DeckRun run(deck);
    EXPECT_EQ(run.run_program(), 1) << c.name;
    const auto errors = run.errors();
    for (const std::string& m : c.messages) EXPECT_TRUE(has_line(errors, m)) << c.name << ": " << m;
    EXPECT_FALSE(has_line(errors, "PROGRAM LOGIC ERROR")) << c.name;
    const auto progress = run.lines(kProgressFile);
    ASSERT_FALSE(progress.empty()) << c.name;
    EXPECT_EQ(progress.front(), "      -8,       0") << c.name;
    for (const std::string& f : run.files())
      EXPECT_EQ(f.rfind("WORK", 0), std::string::npos) << c.name << ": " << f;
  }
}

// The mesh held only vertically at its base, its middle node moved off the
// grid (so that no pivot cancels exactly): nothing holds it sideways. The
// direct methods meet a pivot that keeps only rounding of its diagonal (the
// profile decomposition's last row, or in the sparse factor the row its
// ordering puts last, the pivot it has after the other row of its 2x2
// block); the conjugate gradients' factor does not, and the sideways
// translation, which the stiffness does not resist, is named at the first
// free sideways freedom. Each run warns, naming a node and component, and
// ends with warnings.
TEST(ImpossibleResults, AMechanismIsNamedByAWarning) {
  const std::string moved = demo_deck("       5             1.0     1.0     0.0", "       5            1.13    0.91     0.0", "");
  const std::string supports =
      "               1       3       1               1       2\n"
      "               4       7       3               1       1\n"
      "               6       9       3               1       1\n";
  ASSERT_NE(moved.find(supports), std::string::npos);
  const std::string pivot = "0*** USER WARNING MESSAGE 3152, PIVOT OF ROW";
  const struct {
    const char* solver;
    std::string warning;
  } methods[] = {
      {"", pivot + "      14 KEPT LESS THAN 4 DIGITS OF ITS DIAGONAL AT  1-TH D.O.F. OF NODE       9"},
      {"SOLVER METI", pivot + "      12 KEPT LESS THAN 4 DIGITS OF ITS DIAGONAL AT  1-TH D.O.F. OF NODE       8"},
      {"SOLVER PCG",
       "0*** USER WARNING MESSAGE 3153, THE MODEL CAN MOVE ALONG X WITHOUT STRAIN: NO SUPPORT HOLDS THE  1-TH D.O.F. "
       "OF NODE       1"},
  };
  for (const auto& m : methods) {
    std::string deck = moved;
    deck.replace(deck.find(supports), supports.size(), "               1       3       1               2\n");
    if (*m.solver != '\0') deck.insert(deck.find('\n', deck.find("Quorvane")) + 1, std::string(m.solver) + "\n");
    DeckRun run(deck);
    EXPECT_EQ(run.run_program(), 0) << m.solver;
    const auto errors = run.errors();
    EXPECT_TRUE(has_line(errors, m.warning)) << m.solver;
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(), [](const std::string& l) { return l.find("WARNING MESSAGE 315") != std::string::npos; }), 1) << m.solver;
    EXPECT_EQ(run.lines(kProgressFile).front(), "      -2,       0") << m.solver;
  }
}

}  // namespace
}  // namespace zephsol::test
