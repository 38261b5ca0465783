// Library utilities: sizes, strided fill and copy, overlapping moves,
// scatter and gather, timers, and the dump layouts.
#include <gtest/gtest.h>

#include <numeric>

#include "support/sparse_fixture.h"
#include "zephsol/sparse/util.h"

namespace zephsol::sparse {
namespace {

using Ints = std::vector<i32>;
using Lines = std::vector<std::string>;

TEST(Sizes, IntegersToDoubleWordsAndBack) {
  const std::pair<i64, i64> cases[] = {{0, 0}, {1, 1}, {2, 1}, {4, 2}, {5, 3}, {4294967295LL, 2147483648LL}};
  for (auto [m, k] : cases) EXPECT_EQ(xisl2d(m), k) << m;
  EXPECT_EQ(xdsl2i(3), 6);
}

TEST(VectorOps, OverlappingMovesInBothDirections) {
  Ints a = {1, 2, 3, 4, 5, 6, 7};
  xislmv(5, a.data(), 1, 3);
  EXPECT_EQ(a, (Ints{1, 2, 1, 2, 3, 4, 5}));
  a = {1, 2, 3, 4, 5, 6, 7};
  xislmv(5, a.data(), 3, 1);
  EXPECT_EQ(a, (Ints{3, 4, 5, 6, 7, 6, 7}));
  std::vector<double> d = {1, 2, 3, 4};
  xdslmv(3, d.data(), 1, 2);
  EXPECT_EQ(d, (std::vector<double>{1, 1, 2, 3}));
  xdslmv(0, d.data(), 2, 1);
  EXPECT_EQ(d, (std::vector<double>{1, 1, 2, 3}));
}

TEST(VectorOps, NegativeStridesAddressFromTheFarEnd) {
  Ints v(6, 9);
  xislzr(3, v.data(), -2);
  EXPECT_EQ(v, (Ints{0, 9, 0, 9, 0, 9}));
  v.assign(6, 0);
  xislsq(3, v.data(), -2);  // element i at 1 + (3-i)*2
  EXPECT_EQ(v, (Ints{3, 0, 2, 0, 1, 0}));
  Ints y(3, 0);
  const Ints x = {1, 2, 3, 4, 5, 6};
  xislcp(3, x.data(), 2, y.data(), -1);  // y(i) at 3-i+1 := x(1+2(i-1))
  EXPECT_EQ(y, (Ints{5, 3, 1}));
  std::vector<double> d(4, 7.0);
  xdslzr(2, d.data(), 3);
  EXPECT_EQ(d, (std::vector<double>{0, 7, 7, 0}));
  xislsq(-1, v.data(), 1);  // n <= 0: nothing
  EXPECT_EQ(v, (Ints{3, 0, 2, 0, 1, 0}));
}

TEST(VectorOps, ScatterThenGatherIsTheIdentity) {
  const std::vector<double> x = {1.5, -2.0, 3.25};
  const Ints idx = {4, 1, 3};
  std::vector<double> y(4, 0.0), back(3, 0.0);
  xdslsc(3, x.data(), idx.data(), y.data());
  EXPECT_EQ(y, (std::vector<double>{-2.0, 0.0, 3.25, 1.5}));
  xdslga(3, y.data(), back.data(), idx.data());
  EXPECT_EQ(back, x);
}

TEST(Timers, WallTimeIsAlwaysZero) {
  double cpu0 = -1, wall0 = -1, cpu = -1, wall = -1;
  xdsltb(cpu0, wall0);
  volatile double s = 0;
  for (int k = 0; k < 2000000; ++k) s = s + k;
  xdslte(cpu0, wall0, cpu, wall);
  EXPECT_GE(cpu0, 0.0);
  EXPECT_GE(cpu, 0.0);
  EXPECT_EQ(wall0, 0.0);
  EXPECT_EQ(wall, 0.0);
}

class Dumps : public SparseTest {};

TEST_F(Dumps, IntegerLayouts) {
  Ints v(12);
  std::iota(v.begin(), v.end(), -1);
  xislpr("perm", 12, v.data(), kMsgUnit);
  xislpw("wide", 6, v.data(), kMsgUnit);
  EXPECT_EQ(messages(), (Lines{"", "     perm", "     ----", "",
                               "           -1       0       1       2       3       4       5       6       7       8",
                               "            9      10", "", "     wide", "     ----", "",
                               "                      -1             0             1             2             3",
                               "                       4"}));
}

TEST_F(Dumps, DoubleLayoutsUseTheDExponent) {
  const std::vector<double> v = {123.456, -0.5, 0.0, 1e-300};
  xdslpr("d", 4, v.data(), kMsgUnit);
  xdslps("s", 4, v.data(), kMsgUnit);
  const Lines out = messages();
  ASSERT_EQ(out.size(), 4u + 1 + 4 + 2);
  EXPECT_EQ(out[4], "          1.2346D+02    -5.0000D-01     0.0000D+00     1.0000-300");
  EXPECT_EQ(out[9], "          1.23456000000000D+02    -5.00000000000000D-01     0.00000000000000D+00");
  EXPECT_EQ(out[10], "          1.00000000000000-300");
}

TEST_F(Dumps, AdjacencyStructureAndLongTitles) {
  const Ints ptr = {1, 1, 4, 16};
  Ints list(15);
  std::iota(list.begin(), list.end(), 1);
  const std::string title(80, 't');
  xislpa(title, 3, ptr.data(), list.data(), kMsgUnit);
  EXPECT_EQ(messages(), (Lines{"", "     " + std::string(75, 't'), "     " + std::string(75, '-'), "",
                               "           1 : ",
                               "           2 :       1      2      3",
                               "           3 :       4      5      6      7      8      9     10     11     12     13",
                               "                    14     15"}));
}

}  // namespace
}  // namespace zephsol::sparse
