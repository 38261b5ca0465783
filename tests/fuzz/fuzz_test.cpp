// A short run of the whole-run fuzzing (tests/fuzz/support/fuzz.h): damaged
// old problem tapes and extreme model values through the program find no
// sanitizer report, no signal or abort, no normal end with a non-finite
// value and no file left behind.
//
// A campaign is the same test with the environment set:
//   ZEPH_FUZZ_SEED   first seed (default 1)
//   ZEPH_FUZZ_RUNS   number of cases (default 24)
//   ZEPH_FUZZ_VERBOSE  one line per case
// e.g. ZEPH_FUZZ_SEED=100000 ZEPH_FUZZ_RUNS=3400 build/asan/tests/fuzz_tests
// One seed reproduces one case (ZEPH_KEEP_RUNS keeps its directory).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/fuzz.h"

namespace zephsol::fuzz {
namespace {

std::uint64_t setting(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::strtoull(v, nullptr, 10) : fallback;
}

TEST(Fuzz, DamagedTapesAndExtremeValuesEndSoundly) {
  ASSERT_FALSE(base_tape().empty()) << "the base run wrote no problem tape";
  const auto found = campaign(setting("ZEPH_FUZZ_SEED", 1), setting("ZEPH_FUZZ_RUNS", 24),
                              std::getenv("ZEPH_FUZZ_VERBOSE") != nullptr);
  for (const Outcome& o : found)
    for (const auto& f : o.findings) ADD_FAILURE() << "seed " << o.c.seed << " (" << o.c.what << "): " << f;
}

// Cases that campaigns found ending on system messages: damaged tapes end
// with the message of a damaged tape, extreme loads under the iterative
// method with the message of a force beyond REAL.
TEST(Fuzz, FoundCasesEndOnAUserMessage) {
  const struct {
    std::uint64_t seed;
    const char* message;
  } cases[] = {
      {11112, "0*** USER FATAL MESSAGE  566,"}, {11337, "0*** USER FATAL MESSAGE  566,"},
      {11361, "0*** USER FATAL MESSAGE  566,"}, {11401, "0*** USER FATAL MESSAGE  566,"},
      {11529, "0*** USER FATAL MESSAGE  566,"}, {12241, "0*** USER FATAL MESSAGE  566,"},
      {12323, "0*** USER FATAL MESSAGE  566,"}, {13465, "0*** USER FATAL MESSAGE  566,"},
      {11621, "0*** USER FATAL MESSAGE  566,"}, {12319, "0*** USER FATAL MESSAGE  566,"},
      {6604, "0*** USER FATAL MESSAGE 5027,"},  {6626, "0*** USER FATAL MESSAGE 5027,"},
  };
  ASSERT_FALSE(base_tape().empty());
  for (const auto& c : cases) {
    const Outcome o = run_case(c.seed);
    EXPECT_EQ(o.exit, 1) << c.seed;
    EXPECT_EQ(o.message.rfind(c.message, 0), 0u) << c.seed << ": " << o.message;
    EXPECT_TRUE(o.findings.empty()) << c.seed;
  }
}

}  // namespace
}  // namespace zephsol::fuzz
