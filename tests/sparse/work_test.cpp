// The work-array accessor: integer and double views of one storage, and
// the range checks of the views.
#include <gtest/gtest.h>

#include <bit>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {
namespace {

TEST(Work, IntegersShareTheDoubleWordsTwoToAWord) {
  std::vector<double> a(5, 0.0);
  Work w(a.data(), 5);
  IVec v = w.ints(2, 3);  // double words 2 and 3
  v(1) = 1;
  v(2) = 2;
  v(3) = -1;
  const auto bits = std::bit_cast<std::uint64_t>(w.d(2));
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(bits, (std::uint64_t{2} << 32) | 1);
  }
  EXPECT_EQ(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(w.d(3))), 0xFFFFFFFFu);
  w.ctl(4) = 7.9;
  EXPECT_EQ(w.ictl(4), 7);
  w.ctl(4) = -7.9;
  EXPECT_EQ(w.ictl(4), -7);
  w.ctl(4) = 1e300;
  EXPECT_EQ(w.ictl(4), INT64_MAX);
  EXPECT_EQ(v.sub(2, 2)(2), -1);
}

TEST(Work, CountOptionsBelowOneTakeTheDefault) {
  std::vector<double> a(200, 0.0);
  Work w(a.data(), 200);
  w.set(cw::updblk, 0.0);
  EXPECT_EQ(count_option(w, cw::updblk, 32), 32);
  w.set(cw::updblk, -4.0);
  EXPECT_EQ(count_option(w, cw::updblk, 32), 32);
  w.set(cw::updblk, 16.0);
  EXPECT_EQ(count_option(w, cw::updblk, 32), 16);
}

TEST(WorkDeathTest, AccessesOutsideTheArrayStop) {
  if (!kChecked) GTEST_SKIP() << "checks are off in this build";
  std::vector<double> a(4, 0.0);
  Work w(a.data(), 4);
  EXPECT_DEATH(w.ints(4, 3), "");  // 3 integers need 2 words from word 4
  EXPECT_DEATH(w.dbl(0, 1), "");
  IVec v = w.ints(1, 7);
  EXPECT_DEATH(v(8), "");
  EXPECT_DEATH(v.sub(5, 4), "");
  (void)w.ints(4, 2);
}

}  // namespace
}  // namespace zephsol::sparse
