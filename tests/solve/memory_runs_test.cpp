// The work array of the sparse and iterative methods in whole runs of HEX8
// cubes of unit bricks: a run whose in-core figure passes its MMEM but whose
// least figure does not goes out of core and gives the in-core run's
// displacements; the memory messages name the MMEM or PMEM, in megabytes,
// that runs the model in core and the least that runs it at all, and those
// figures are exact: a run with each succeeds (in core, out of core), a run
// with one megabyte less does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/cube_deck.h"
#include "common/deck.h"
#include "support/solvefix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"

namespace zephsol::test {
namespace {

constexpr const char* kInCore = " IN CORE";
constexpr const char* kOutOfCore = " OUT OF CORE (FACTOR AND STACK ON FILES)";

DeckOptions memory(const std::string& key, int megabytes) {
  DeckOptions o;
  o.memo = 16;
  o.solvlst = {" " + key + " " + std::to_string(megabytes)};
  return o;
}

// The two figures of the line after a memory message: in core and least.
struct Figures {
  int in_core = 0, least = 0;
};

Figures figures_after(const std::vector<std::string>& lines, const std::string& message, const std::string& key) {
  const auto at = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.find(message) != std::string::npos; });
  EXPECT_NE(at, lines.end()) << message;
  if (at == lines.end() || at + 1 == lines.end()) return {};
  Figures f;
  const std::string format = "          " + key + " TO RUN IN CORE =%d MB, LEAST " + key + " TO RUN =%d MB";
  EXPECT_EQ(std::sscanf((at + 1)->c_str(), format.c_str(), &f.in_core, &f.least), 2) << *(at + 1);
  return f;
}

// The working-memory line of the listing ends with the way the run went.
bool went(const DeckRun& run, const char* way) {
  for (const std::string& l : run.listing())
    if (l.find("Working Memory for MFSLIB is,") != std::string::npos) return l.ends_with(way);
  return false;
}

std::vector<double> displacements_of(int edge, int mmem, const char* way) {
  DeckRun run(hex8_cube_deck(edge, "METI"), memory("MMEM", mmem));
  run.analysis();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_TRUE(went(run, way)) << "MMEM " << mmem;
  const auto columns = read_columns(UG);
  return columns.empty() ? std::vector<double>{} : columns.front();
}

// The 10^3 cube needs about 13 MB in core and 4 MB out of core: the
// factorisation through the library's files gives the in-core displacements.
TEST(SparseMemoryRuns, OutOfCoreGivesTheInCoreDisplacements) {
  const std::vector<double> in_core = displacements_of(10, 16, kInCore);
  const std::vector<double> out_of_core = displacements_of(10, 4, kOutOfCore);
  ASSERT_EQ(in_core.size(), out_of_core.size());
  ASSERT_FALSE(in_core.empty());
  double largest = 0, difference = 0;
  for (std::size_t i = 0; i < in_core.size(); ++i) {
    largest = std::max(largest, std::abs(in_core[i]));
    difference = std::max(difference, std::abs(in_core[i] - out_of_core[i]));
  }
  EXPECT_GT(largest, 0.0);
  EXPECT_LE(difference, 1e-12 * largest);
}

// The user's path on the 12^3 cube (its matrix takes 2.5 MB): a first run
// with MMEM 1 stops because the matrix itself does not fit (message 6) and
// names both figures; a run with the matrix in but the library stopped
// before its symbolic phase (MMEM 3, the library's -101 as 5899) names the
// same, and so does one just below the least figure (6001). Then each
// figure runs, in core and out of core, and one megabyte less does not.
TEST(SparseMemoryRuns, MessagesNameTheMegabytesThatRun) {
  const auto stopped = [](int mmem, const std::string& message) {
    DeckRun run(hex8_cube_deck(12, "METI"), memory("MMEM", mmem));
    EXPECT_EQ(run.run_program(), 1);
    const Figures f = figures_after(run.errors(), message, "MMEM");
    const Figures listed = figures_after(run.listing(), message, "MMEM");
    EXPECT_EQ(listed.in_core, f.in_core);
    EXPECT_EQ(listed.least, f.least);
    return f;
  };
  const Figures f = stopped(1, "INSUFFICIENT MEMORY IN LHS MATRIX FOR SPARSE SOLVER.");
  ASSERT_GT(f.least, 4);
  ASSERT_GT(f.in_core, f.least + 1);
  for (const auto& [mmem, message] : {std::pair{3, "REASON CODE =      -101,         0"},
                                      std::pair{f.least - 1, "0*** USER FATAL MESSAGE (SPARSE SOLVER) 6001,"}}) {
    SCOPED_TRACE("MMEM " + std::to_string(mmem));
    const Figures again = stopped(mmem, message);
    EXPECT_EQ(again.in_core, f.in_core);
    EXPECT_EQ(again.least, f.least);
  }
  struct Case {
    int mmem;
    const char* way;
  };
  for (const Case c : {Case{f.least, kOutOfCore}, Case{f.in_core - 1, kOutOfCore}, Case{f.in_core, kInCore}}) {
    SCOPED_TRACE("MMEM " + std::to_string(c.mmem));
    DeckRun run(hex8_cube_deck(12, "METI"), memory("MMEM", c.mmem));
    EXPECT_EQ(run.run_program(), 0);
    EXPECT_TRUE(went(run, c.way));
  }
}

// The conjugate gradients have one figure: the message gives it twice, a
// run with it solves, one with a megabyte less stops.
TEST(SparseMemoryRuns, IterativeMessageNamesThePmemThatRuns) {
  const std::string deck = hex8_cube_deck(12, "PCG,1.0E-10,5000");
  Figures f;
  {
    DeckRun run(deck, memory("PMEM", 1));
    EXPECT_EQ(run.run_program(), 1);
    f = figures_after(run.errors(), "INSUFFICIENT MEMORY IN PCG.", "PMEM");
  }
  ASSERT_GT(f.least, 1);
  EXPECT_EQ(f.in_core, f.least);
  {
    DeckRun run(deck, memory("PMEM", f.least - 1));
    EXPECT_EQ(run.run_program(), 1);
    EXPECT_EQ(figures_after(run.errors(), "INSUFFICIENT MEMORY IN PCG.", "PMEM").least, f.least);
  }
  DeckRun run(deck, memory("PMEM", f.least));
  EXPECT_EQ(run.run_program(), 0);
}

}  // namespace
}  // namespace zephsol::test
