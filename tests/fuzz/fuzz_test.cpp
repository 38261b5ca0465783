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

}  // namespace
}  // namespace zephsol::fuzz
