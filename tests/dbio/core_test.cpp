// The open core: word space, alignment, the solver array after it, the end
// of core routines and the limit of the 32-bit word index.
#include <gtest/gtest.h>

#include <cstdint>

#include "zephsol/dbio/core.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

TEST(Core, WordsRealsAndDoublesShareOneAlignedSpace) {
  FreshFileSystem fs(2);
  const WordSpace& c = core();
  ASSERT_EQ(c.size(), 2 * 262144);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&c.w(1)) % 64, 0u);
  for (std::int64_t i : {1, 3, 1001, 2 * 262144 - 1})
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(c.doubles(i, 1).data()) % 8, 0u) << i;
  EXPECT_EQ(c.w(7), 0);  // cleared
  c.set_d(5, -2.5);
  EXPECT_EQ(c.doubles(5, 1)[0], -2.5);
  EXPECT_EQ(c.d(5), -2.5);
  c.set_r(9, 0.001f);
  EXPECT_EQ(c.r(9), 0.001f);
  EXPECT_EQ(c.w(9), real_word(0.001f));
  c.words(100, 3)[2] = 42;
  EXPECT_EQ(c.w(102), 42);
  EXPECT_EQ(c.index_of(&c.w(102)), 102);
  const word outside = 0;
  EXPECT_EQ(c.index_of(&outside), 0);
}

TEST(Core, EndOfCoreRoutines) {
  FreshFileSystem fs(3);
  EXPECT_EQ(sysw().COREND, 1 + 3 * 262144);
  EXPECT_EQ(CORLFT(1), 3 * 262144);
  EXPECT_EQ(CORLFT(3 * 262144), 1);
  CORLIM(1000);
  EXPECT_EQ(sysw().COREND, 998);
  EXPECT_EQ(CORLFT(990), 8);
}

TEST(Core, SolverArrayFollowsTheOpenCore) {
  FreshFileSystem fs(1);
  EXPECT_EQ(solver_array_index(), 0);
  EXPECT_EQ(solver_array_allocate(0), 0);
  const word at = solver_array_allocate(2);
  EXPECT_EQ(at, 262144 + 1);
  EXPECT_EQ(solver_array_allocate(5), at);  // allocated once
  EXPECT_EQ(core().size(), 3 * 262144);
  const auto v = core().doubles(at, 2 * 131072);
  v.back() = 1.0;
  EXPECT_EQ(core().d(at + 2 * (2 * 131072 - 1)), 1.0);
  EXPECT_EQ(sysw().COREND, 1 + 262144);  // the open core ends where it did
}

TEST(Core, NothingToAllocate) {
  FreshFileSystem fs(1);
  EXPECT_FALSE(core_allocate(0));
  EXPECT_FALSE(core_allocate(-3));
}

TEST(CoreDeath, SpaceBeyondTheWordIndexIsRefused) {
  FreshFileSystem fs(1);
  EXPECT_EXIT(core_allocate(8192), ::testing::ExitedWithCode(1), "");
  const std::string errors = fs.read("errors");
  EXPECT_NE(errors.find("WORKING STORAGE OF 8192 MEGABYTES EXCEEDS THE LIMIT OF 8191 MEGABYTES"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find("TABLE LENGTH     8192 EXCEEDED THE INTERNAL LIMIT"), std::string::npos) << errors;

  sysw().MEMO = 9000;
  EXPECT_EXIT(CORINI(), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find("WORKING STORAGE OF 9000 MEGABYTES"), std::string::npos);

  // Open core and solver array together.
  if (!core_allocate(8000)) GTEST_SKIP() << "8000 megabytes of address space are not to be had here";
  EXPECT_EXIT(solver_array_allocate(192), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find("WORKING STORAGE OF 8192 MEGABYTES"), std::string::npos);
  EXPECT_EQ(solver_array_allocate(191), 8000 * 262144 + 1);
}

TEST(CoreDeath, IndexOutsideTheSpaceIsCaught) {
  FreshFileSystem fs(1);
  EXPECT_DEATH(core().w(262145), "out of range");
  EXPECT_DEATH(core().w(0), "out of range");
}

}  // namespace
}  // namespace zephsol
