// Searches, range counts, bit operations and sorts.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "common/scratch.h"
#include "zephsol/exec/util.h"

namespace zephsol {
namespace {

// ---------------------------------------------------------------- searches

// A table of n entries of `stride` words; word 1 (and word 2) hold the keys,
// sorted ascending, with repeated and missing values; the other words are noise.
std::vector<word> random_table(std::mt19937& rng, int n, int stride, bool pairs) {
  std::uniform_int_distribution<int> key(-20, 20), small(0, 3);
  std::vector<std::pair<word, word>> keys(n);
  for (auto& k : keys) k = {key(rng), pairs ? small(rng) : 0};
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  std::vector<word> t;
  for (auto [a, b] : keys) {
    t.push_back(a);
    for (int w = 1; w < stride; ++w) t.push_back(w == 1 && pairs ? b : key(rng));
  }
  return t;
}

TEST(Bsrch, FindsEveryKeyOfRandomTablesAndNothingElse) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 1000; ++trial) {
    const int stride = 1 + trial % 4;
    const bool pairs = stride >= 2 && trial % 2 == 0;
    const auto t = random_table(rng, trial % 30, stride, pairs);
    const word n = static_cast<word>(t.size() / stride);
    for (word k1 = -22; k1 <= 22; ++k1) {
      for (word k2 = 0; k2 <= (pairs ? 4 : 0); ++k2) {
        word expect = 0;
        for (word i = 0; i < n; ++i)
          if (t[i * stride] == k1 && (!pairs || t[i * stride + 1] == k2)) expect = i * stride + 1;
        const word got = pairs ? BSRCH2(k1, k2, t, stride, n) : BSRCH1(k1, t, stride, n);
        ASSERT_EQ(got, expect) << "trial " << trial << " key " << k1 << "," << k2;
      }
    }
  }
}

TEST(Bsrch, EdgeCases) {
  const std::vector<word> one{7, 99};
  EXPECT_EQ(BSRCH1(7, one, 2, 0), 0);
  EXPECT_EQ(BSRCH2(7, 99, one, 2, 0), 0);
  EXPECT_EQ(BSRCH1(7, one, 2, 1), 1);
  EXPECT_EQ(BSRCH1(6, one, 2, 1), 0);
  EXPECT_EQ(BSRCH1(8, one, 2, 1), 0);
  EXPECT_EQ(BSRCH2(7, 99, one, 2, 1), 1);
  EXPECT_EQ(BSRCH2(7, 98, one, 2, 1), 0);
  // Repeated keys: the first and last entries are tested before the
  // bisection, so a key equal to them gives their positions.
  const std::vector<word> rep{1, 5, 5, 5};
  EXPECT_EQ(BSRCH1(5, rep, 1, 4), 4);
  EXPECT_EQ(BSRCH1(1, std::vector<word>{1, 1, 1}, 1, 3), 1);
  // Key between the entries of a two-entry table.
  EXPECT_EQ(BSRCH1(3, std::vector<word>{1, 5}, 1, 2), 0);
}

// ------------------------------------------------------------- range count

TEST(Rngcnt, Table) {
  struct Case {
    word first, last, step, count;
  };
  const Case cases[] = {
      {1, 10, 3, 4}, {1, 9, 3, 4},  {10, 1, -3, 4}, {5, 5, 1, 1},  {5, 5, -2, 1},
      {1, 10, 1, 10}, {1, 2, 5, 2}, {-4, 4, 2, 5},  {9, 1, -4, 3}, {1, 2147483647, 1, 2147483647},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RNGCNT(c.first, c.last, c.step), c.count) << c.first << " " << c.last << " " << c.step;
}

// A range whose length is a multiple of the step: the count is the number
// of values first, first + step, ... up to last.
TEST(Rngcnt, CountsTheValuesOfExactRanges) {
  for (word step : {-7, -3, -1, 1, 2, 5})
    for (word first = -10; first <= 10; ++first)
      for (word k = 0; k < 6; ++k) {
        const word last = first + k * step;
        EXPECT_EQ(RNGCNT(first, last, step), k + 1);
      }
}

// A zero step has no count: the run ends with a program logic error
// instead of dividing by zero.
TEST(Rngcnt, ZeroStepEndsTheRun) {
  const std::filesystem::path dir = testing::make_scratch_dir("rngcnt");
  const std::string listing = (dir / "console.txt").string();
  const auto zero_step = [&] {
    std::fflush(stdout);
    if (chdir(dir.c_str()) != 0) std::_Exit(9);
    const int fd = ::open(listing.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, STDOUT_FILENO);
    RNGCNT(1, 5, 0);
    std::_Exit(7);
  };
  EXPECT_EXIT(zero_step(), ::testing::ExitedWithCode(1), "");
  EXPECT_NE(testing::read_file(listing).find("0*** SYSTEM FATAL MESSAGE    999, PROGRAM LOGIC ERROR"),
            std::string::npos);
  testing::remove_scratch_dir(dir);
}

// ------------------------------------------------------------------- bits

TEST(Bits, Table) {
  EXPECT_EQ(BITAND(12, 10), 8);
  EXPECT_EQ(BITOR(12, 10), 14);
  EXPECT_EQ(BITXOR(12, 10), 6);
  EXPECT_EQ(BITNOT(0), -1);
  EXPECT_EQ(BITSHR(-1, 28), 15);
  EXPECT_EQ(BITSHR(-1, 1), 0x7FFFFFFF);
  EXPECT_EQ(BITSHR(0x1234, 0), 0x1234);
  EXPECT_EQ(BITSHR(1, -4), 16);
  EXPECT_EQ(BITSHL(1, -1), 0);
  EXPECT_EQ(BITSHL(1, 31), static_cast<word>(0x80000000u));
  EXPECT_EQ(BITSHL(-1, -28), 15);
  for (word n : {32, 33, -32, -40, 1000, -2147483647 - 1}) {
    EXPECT_EQ(BITSHR(-1, n), 0) << n;
    EXPECT_EQ(BITSHL(-1, n), 0) << n;
  }
}

TEST(Wrdadr, DifferencesAreWordOffsets) {
  word w[8]{};
  double d[4]{};
  EXPECT_EQ(WRDADR(&w[5]) - WRDADR(&w[1]), 4);
  EXPECT_EQ(WRDADR(&d[3]) - WRDADR(&d[0]), 6);
}

// ------------------------------------------------------------------ sorts

// The Shell sort written out naively: gaps n/2, n/4, ..., 1; for each row i
// from 1 to n - g, exchange rows i and i + g and step back by g while the
// row i + g is strictly smaller.
template <class Less>
void reference_shell(std::vector<std::vector<word>>& rows, Less less) {
  const int n = static_cast<int>(rows.size());
  int g = n / 2;
  while (g > 0) {
    for (int i1 = 1; i1 <= n - g; ++i1) {
      int i = i1;
      while (i >= 1) {
        if (!less(rows[i + g - 1], rows[i - 1])) break;
        std::swap(rows[i + g - 1], rows[i - 1]);
        i = i - g;
      }
    }
    g = g / 2;
  }
}

std::vector<std::vector<word>> rows_of(const std::vector<word>& t, int w) {
  std::vector<std::vector<word>> rows;
  for (std::size_t i = 0; i < t.size(); i += w) rows.emplace_back(t.begin() + i, t.begin() + i + w);
  return rows;
}

// Random tables with many ties; the last word of each row is its original
// row number, so the order of tied rows is visible.
std::vector<word> tied_table(std::mt19937& rng, int n, int w) {
  std::uniform_int_distribution<int> key(0, 4);
  std::vector<word> t;
  for (int i = 0; i < n; ++i) {
    for (int c = 0; c + 1 < w; ++c) t.push_back(key(rng));
    t.push_back(i + 1);
  }
  return t;
}

TEST(Sorts, TableSortsMatchTheReferenceShellSortIncludingTieOrder) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = trial % 67;
    const int w = 2 + trial % 3;
    const word k1 = 1 + trial % (w - 1);
    const word k2 = 1 + (trial / 3) % (w - 1);
    const auto t = tied_table(rng, n, w);

    auto byk = t;
    SORTIR(w, k1, byk, n);
    auto ref = rows_of(t, w);
    reference_shell(ref, [&](const auto& a, const auto& b) { return a[k1 - 1] < b[k1 - 1]; });
    ASSERT_EQ(rows_of(byk, w), ref) << "SORTIR trial " << trial;

    auto by2 = t;
    SORTI2(w, k1, k2, by2, n);
    ref = rows_of(t, w);
    reference_shell(ref, [&](const auto& a, const auto& b) {
      return a[k1 - 1] < b[k1 - 1] || (a[k1 - 1] == b[k1 - 1] && a[k2 - 1] < b[k2 - 1]);
    });
    ASSERT_EQ(rows_of(by2, w), ref) << "SORTI2 trial " << trial;
    // Ordered by the pair.
    const auto r = rows_of(by2, w);
    for (std::size_t i = 1; i < r.size(); ++i)
      ASSERT_LE(std::make_pair(r[i - 1][k1 - 1], r[i - 1][k2 - 1]), std::make_pair(r[i][k1 - 1], r[i][k2 - 1]));
  }
}

// Worked by hand: keys 2, 1, 1, 1 (rows a, b, c, d). Gap 2 exchanges a and
// c; gap 1 moves d below a. Tied rows end c, b, d: not the input order.
TEST(Sorts, TieOrderWorkedByHand) {
  std::vector<word> t{2, 'a', 1, 'b', 1, 'c', 1, 'd'};
  SORTIR(2, 1, t, 4);
  EXPECT_EQ(t, (std::vector<word>{1, 'c', 1, 'b', 1, 'd', 2, 'a'}));
  // With the second key the ties are ordered by it.
  std::vector<word> u{2, 'a', 1, 'b', 1, 'c', 1, 'd'};
  SORTI2(2, 1, 2, u, 4);
  EXPECT_EQ(u, (std::vector<word>{1, 'b', 1, 'c', 1, 'd', 2, 'a'}));
}

TEST(Sorts, VectorSortAndShortInputs) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> v(-1000, 1000);
  std::vector<word> a(500);
  for (auto& x : a) x = v(rng);
  auto expect = a;
  std::stable_sort(expect.begin(), expect.end());
  auto b = a;
  b.push_back(-5000);  // beyond n: untouched
  SORTIV(b, 500);
  EXPECT_TRUE(std::equal(expect.begin(), expect.end(), b.begin()));
  EXPECT_EQ(b.back(), -5000);

  std::vector<word> one{3, 2, 1};
  SORTIV(one, 1);
  SORTIR(1, 1, one, 1);
  SORTI2(3, 1, 2, one, 1);
  SORTIR(1, 1, one, 0);
  EXPECT_EQ(one, (std::vector<word>{3, 2, 1}));
}

}  // namespace
}  // namespace zephsol
