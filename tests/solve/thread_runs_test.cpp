// Whole runs of a HEX8 cube through the program on one thread and on four
// (OMP_NUM_THREADS), with every method of solution: the listing, the
// result file and every other file the run leaves are the same byte for
// byte, but for the two times of the end block.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "common/cube_deck.h"
#include "common/deck.h"

namespace zephsol::test {
namespace {

// OMP_NUM_THREADS set for the life of the object, as it was afterwards.
class ThreadCount {
 public:
  explicit ThreadCount(const char* count) {
    if (const char* v = std::getenv("OMP_NUM_THREADS")) previous_ = v;
    setenv("OMP_NUM_THREADS", count, 1);
  }
  ~ThreadCount() {
    if (previous_) setenv("OMP_NUM_THREADS", previous_->c_str(), 1);
    else unsetenv("OMP_NUM_THREADS");
  }
  ThreadCount(const ThreadCount&) = delete;
  ThreadCount& operator=(const ThreadCount&) = delete;

 private:
  std::optional<std::string> previous_;
};

// The cube with its displacements, stresses and result file requested.
std::string cube_with_output(int edge, const std::string& solver) {
  std::string deck = hex8_cube_deck(edge, solver);
  const std::string requests = "OUTPUT\nDISP = ALL\nSTRE = ALL\nNOUTPUT\nSET 1 = ALL\nOTIM 1 = ALL\n";
  deck.insert(deck.find("BEGIN BULK"), requests);
  return deck;
}

// Every file of a run of the deck on `threads` threads, the lines with the
// end block's times taken out of the listing.
std::map<std::string, std::string> run_files(const std::string& deck, const char* threads) {
  const ThreadCount count(threads);
  DeckOptions o;
  o.memo = 64;
  o.solvlst = {" MMEM 64"};
  DeckRun run(deck, o);
  EXPECT_EQ(run.run_program(), 0);
  std::map<std::string, std::string> files;
  for (const std::string& name : run.files()) {
    if (name != kListingFile) {
      files[name] = run.text(name);
      continue;
    }
    std::string kept;
    for (const std::string& line : run.lines(name))
      if (line.find("TIME(SEC)") == std::string::npos) kept += line + "\n";
    files[name] = kept;
  }
  return files;
}

TEST(ThreadRuns, OneAndFourThreadsWriteTheSameFiles) {
  for (const char* solver : {"METI", "", "PCG,1.0E-10,2000"}) {
    SCOPED_TRACE(std::string("SOLVER ") + solver);
    const std::string deck = cube_with_output(12, solver);
    const auto one = run_files(deck, "1");
    const auto four = run_files(deck, "4");
    ASSERT_TRUE(one.contains(kResultFile));
    EXPECT_GT(one.at(kResultFile).size(), 100000u);
    ASSERT_EQ(one.size(), four.size());
    for (const auto& [name, text] : one) {
      ASSERT_TRUE(four.contains(name)) << name;
      EXPECT_TRUE(four.at(name) == text) << name << " differs between one and four threads";
    }
  }
}

}  // namespace
}  // namespace zephsol::test
