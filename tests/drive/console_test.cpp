// The console under the locale of the environment: a UTF-8 terminal shows
// the program's Japanese texts in UTF-8, any other gets the Shift-JIS bytes;
// the files of the run keep their Shift-JIS bytes either way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/deck.h"
#include "exec/cp932.h"
#include "common/scratch.h"
#include "zephsol/exec/sjis.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

std::string demo_deck() { return testing::read_file(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat"); }

// The text with every digit made '0', so that two runs' dates and times
// compare equal.
std::string without_digits(std::string s) {
  for (char& c : s)
    if (c >= '0' && c <= '9') c = '0';
  return s;
}

struct Outcome {
  int status = -1;
  std::string console, listing, progress, errors;
};

Outcome run_demo_under(const char* locale) {
  const char* old = std::getenv("LC_ALL");
  const std::string saved = old ? old : "";
  ::setenv("LC_ALL", locale, 1);
  DeckRun run(demo_deck());
  Outcome o;
  o.status = run.run_program(&o.console);
  old ? ::setenv("LC_ALL", saved.c_str(), 1) : ::unsetenv("LC_ALL");
  o.listing = run.text(kListingFile);
  o.progress = run.text(kProgressFile);
  o.errors = run.text(kErrorFile);
  return o;
}

TEST(Console, Utf8LocaleShowsJapaneseInUtf8AndFilesKeepShiftJis) {
  const Outcome plain = run_demo_under("C");
  const Outcome utf8 = run_demo_under("C.UTF-8");
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(utf8.status, 0);

  // The progress echo names the stage: in Shift-JIS under C, in UTF-8 under
  // C.UTF-8 (and then no Shift-JIS byte of it is left).
  const std::string stage_utf8 = "ステージ";
  EXPECT_NE(plain.console.find(kSjisStage), std::string::npos) << plain.console;
  EXPECT_EQ(plain.console.find(stage_utf8), std::string::npos);
  EXPECT_NE(utf8.console.find(stage_utf8), std::string::npos) << utf8.console;
  EXPECT_EQ(utf8.console.find(kSjisStage), std::string::npos);
  // Nothing else of the console changes: back in Shift-JIS it is the same.
  EXPECT_EQ(without_digits(to_cp932(utf8.console)), without_digits(plain.console));

  // The files keep their bytes.
  EXPECT_EQ(without_digits(utf8.listing), without_digits(plain.listing));
  EXPECT_EQ(utf8.progress, plain.progress);
  EXPECT_EQ(utf8.errors, plain.errors);
}

}  // namespace
}  // namespace zephsol::test
