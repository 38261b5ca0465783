// Packed matrix columns: random sparse columns through every writer and
// reader in both stored precisions against the dense vectors, the edge cases
// of packing and unpacking, and the column copy.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "common/testing.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

constexpr word kBuf = 2;

// A random column of rows terms: runs of non-zeros (some longer than a
// block) between runs of zeros; some columns all zero.
std::vector<double> random_column(std::mt19937& rng, word rows, word longest) {
  std::vector<double> v(static_cast<std::size_t>(rows), 0.0);
  if (rng() % 10 == 0) return v;
  std::uniform_real_distribution<double> value(-100, 100);
  for (word r = static_cast<word>(rng() % 8); r < rows;) {
    const word run = 1 + static_cast<word>(rng() % static_cast<unsigned>(longest));
    for (word k = 0; k < run && r < rows; ++k, ++r) v[static_cast<std::size_t>(r)] = value(rng);
    r += 1 + static_cast<word>(rng() % 12);
  }
  return v;
}

// What a stored term of value v reads back as (caller's single or double).
double stored(double v, word type) { return type == 1 ? static_cast<double>(static_cast<float>(v)) : v; }

class RandomSparseColumns : public ::testing::TestWithParam<word> {};

// Columns written with COLPUT (caller single or double) and term by term,
// read with COLGET (both signs, both precisions) and TRMNXT, for both
// stored types.
TEST_P(RandomSparseColumns, RoundTripThroughEveryWriterAndReader) {
  const word nbufsz = GetParam();
  const word rows = 3 * nbufsz;
  for (word stored_type : {1, 2}) {
    SCOPED_TRACE(stored_type);
    FreshFileSystem fs(1, nbufsz);
    std::mt19937 rng(static_cast<unsigned>(nbufsz + stored_type));
    std::vector<std::vector<double>> cols;
    std::vector<word> writer;  // 1 COLPUT single, 2 COLPUT double, 3 COLTRM double, 4 COLTRM single
    MCB mcb{KGG, 0, rows, kRectangular, stored_type, 0, 0};
    DBOPEN(KGG, kBuf, kWrite);
    std::int64_t terms = 0;
    word largest = 0;
    for (int c = 0; c < 120; ++c) {
      std::vector<double> v = random_column(rng, rows, 2 * nbufsz);
      const word how = 1 + static_cast<word>(c % 4);
      if (how == 1 || how == 4)
        for (double& x : v) x = static_cast<float>(x);
      if (how == 1) {
        std::vector<float> f(v.begin(), v.end());
        COLPUT(mcb, 1, f.data(), 1, rows);
      } else if (how == 2) {
        COLPUT(mcb, 2, v.data(), 1, rows);
      } else {
        SCB& s = shared_scb(2);
        COLBEG(mcb, how == 3 ? 2 : 1, s);
        for (word r = 1; r <= rows; ++r) {
          const double x = v[static_cast<std::size_t>(r - 1)];
          if (x == 0.0) continue;
          if (how == 3)
            COLTRM(x, r, s);
          else
            COLTRM(static_cast<float>(x), r, s);
        }
        COLEND(mcb, s);
      }
      const word n = static_cast<word>(std::count_if(v.begin(), v.end(), [](double x) { return x != 0.0; }));
      terms += n;
      largest = std::max(largest, n);
      cols.push_back(std::move(v));
    }
    DBCLOS(KGG, kCloseRewind);
    EXPECT_EQ(mcb.cols, 120);
    EXPECT_EQ(mcb.density, terms);
    EXPECT_EQ(mcb.maxcol, largest);

    // COLGET over the whole column, alternating the four caller types.
    DBOPEN(KGG, kBuf, kRead);
    int bad = 0;
    for (std::size_t c = 0; c < cols.size(); ++c) {
      const word type = std::array<word, 4>{1, 2, -1, -2}[c % 4];
      const double sign = type < 0 ? -1.0 : 1.0;
      word first = 1, last = rows, empty = -1;
      std::vector<double> got(static_cast<std::size_t>(rows), 7.0);
      if (type == 1 || type == -1) {
        std::vector<float> f(static_cast<std::size_t>(rows), 7.0f);
        COLGET(mcb, type, f.data(), first, last, empty);
        got.assign(f.begin(), f.end());
      } else {
        COLGET(mcb, type, got.data(), first, last, empty);
      }
      const bool all_zero = std::all_of(cols[c].begin(), cols[c].end(), [](double x) { return x == 0.0; });
      if (all_zero) {
        bad += empty != 1 || got != std::vector<double>(static_cast<std::size_t>(rows), 7.0);
        continue;
      }
      for (word r = 0; r < rows; ++r) {
        double want = sign * stored(cols[c][static_cast<std::size_t>(r)], stored_type);
        if (type == 1 || type == -1) want = static_cast<float>(want);
        bad += got[static_cast<std::size_t>(r)] != want;
      }
      bad += empty != 0;
    }
    EXPECT_EQ(bad, 0);

    // TRMNXT: every stored term with its row, in order.
    DBREWD(KGG);
    SCB& s = shared_scb(3);
    for (const auto& v : cols) {
      word empty = -1, end = 0, row = 0;
      TRMBEG(mcb, 2, s, empty);
      std::vector<std::pair<word, double>> got, want;
      for (word r = 1; r <= rows; ++r)
        if (v[static_cast<std::size_t>(r - 1)] != 0.0) want.emplace_back(r, stored(v[static_cast<std::size_t>(r - 1)], stored_type));
      EXPECT_EQ(empty, want.empty() ? 1 : 0);
      while (empty == 0 && end == 0) {
        double x = 0;
        TRMNXT(x, row, s, end);
        got.emplace_back(row, x);
      }
      ASSERT_EQ(got, want);
    }
    DBCLOS(KGG, kCloseRewind);
  }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, RandomSparseColumns, ::testing::Values(11, 101, 1025));

// Writes the columns (caller single precision) to KGG of stored type 1.
MCB write_single_columns(const std::vector<std::vector<float>>& cols, word rows) {
  MCB mcb{KGG, 0, rows, kRectangular, 1, 0, 0};
  DBOPEN(KGG, kBuf, kWrite);
  for (const auto& c : cols) COLPUT(mcb, 1, c.data(), 1, static_cast<word>(c.size()));
  DBCLOS(KGG, kCloseRewind);
  return mcb;
}

// The strings of the next column, through NXTSTR.
std::vector<std::pair<word, word>> strings_of(const MCB& mcb) {
  SCB s;
  s.file = mcb.file;
  s.type = mcb.type;
  s.flag = 1;
  std::vector<std::pair<word, word>> out;
  for (NXTSTR(s); s.flag == 0; NXTSTR(s)) out.emplace_back(s.row, s.room);
  return out;
}

TEST(Columns, PackingEdgeCases) {
  FreshFileSystem fs(1, 101);
  const std::vector<float> a{0, 5, 6, 0, 0, 7};
  MCB mcb = write_single_columns({a, std::vector<float>(6, 0.0f)}, 6);
  EXPECT_EQ(mcb.cols, 2);
  EXPECT_EQ(mcb.maxcol, 3);
  EXPECT_EQ(mcb.density, 3);
  DBOPEN(KGG, kBuf, kRead);
  EXPECT_EQ(strings_of(mcb), (std::vector<std::pair<word, word>>{{2, 2}, {6, 1}}));
  EXPECT_TRUE(strings_of(mcb).empty());  // the all-zero column is a column without strings
  DBCLOS(KGG, kCloseRewind);

  // COLTRM rows 3, 4, 7: two strings.
  DBOPEN(UG, kBuf, kWrite);
  MCB u{UG, 0, 9, kRectangular, 2, 0, 0};
  SCB& s = shared_scb(2);
  COLBEG(u, 2, s);
  for (word r : {3, 4, 7}) COLTRM(1.0 * r, r, s);
  COLEND(u, s);
  // A double whose high-order half is zero counts as zero when packed.
  const std::vector<double> tiny{std::bit_cast<double>(std::uint64_t{1}), 2.0, -0.0};
  COLPUT(u, 2, tiny.data(), 1, 3);
  DBCLOS(UG, kCloseRewind);
  DBOPEN(UG, kBuf, kRead);
  EXPECT_EQ(strings_of(u), (std::vector<std::pair<word, word>>{{3, 2}, {7, 1}}));
  EXPECT_EQ(strings_of(u), (std::vector<std::pair<word, word>>{{2, 1}}));
  DBCLOS(UG, kCloseRewind);
}

// COLGET ranges on a column with terms in rows 4..9 of 12, caller type 1.
TEST(Columns, UnpackingRanges) {
  struct Case {
    word first, last;
    word want_first, want_last, empty;
    std::vector<float> values;  // from the first value, 9 = untouched
  };
  const Case cases[] = {
      {0, 0, 4, 9, 0, {4, 5, 6, 7, 8, 9, 9, 9}},
      {1, 10, 1, 10, 0, {0, 0, 0, 4, 5, 6, 7, 8, 9, 0}},
      {6, 7, 6, 7, 0, {6, 7, 9}},
      {0, 5, 4, 5, 0, {4, 5, 9}},
      {8, 0, 8, 9, 0, {8, 9, 9}},
      {10, 12, 10, 12, 1, {9, 9, 9}},
      {1, 3, 1, 3, 1, {9, 9, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.first) + ".." + std::to_string(c.last));
    FreshFileSystem fs(1, 11);  // the column spans blocks
    MCB mcb = write_single_columns({{0, 0, 0, 4, 5, 6, 7, 8, 9, 0, 0, 0}, {1}}, 12);
    DBOPEN(KGG, kBuf, kRead);
    std::vector<float> v(c.values.size(), 9.0f);
    word first = c.first, last = c.last, empty = -1;
    COLGET(mcb, 1, v.data(), first, last, empty);
    EXPECT_EQ(first, c.want_first);
    EXPECT_EQ(last, c.want_last);
    EXPECT_EQ(empty, c.empty);
    EXPECT_EQ(v, c.values);
    // The column was read to its end: the next one follows.
    first = last = 0;
    COLGET(mcb, 1, v.data(), first, last, empty);
    EXPECT_EQ(v[0], 1.0f);
    DBCLOS(KGG, kCloseRewind);
  }
}

TEST(Columns, TypeErrors) {
  FreshFileSystem fs(1, 101);
  DBOPEN(KGG, kBuf, kWrite);
  MCB mcb{KGG, 0, 3, kRectangular, 2, 0, 0};
  SCB s;
  EXPECT_RUN_ENDS_WITH(fs, COLBEG(mcb, 3, s), "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       3");
  const float f[3] = {1, 2, 3};
  EXPECT_RUN_ENDS_WITH(fs, COLPUT(mcb, 2, f, 1, 3), "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       2");
  mcb.type = 4;
  EXPECT_RUN_ENDS_WITH(fs, COLPUT(mcb, 1, f, 1, 3), "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       4");
  SCB in, out;
  in.type = 3;
  out.type = 1;
  EXPECT_RUN_ENDS_WITH(fs, COLCPY(in, out, 0), "TYPE CONVERSION FROM        3 TO        1 NOT SUPPORTED");
  DBCLOS(KGG, kCloseUnload);
}

// COLCPY between every pair of stored types, negated or not, against the
// source column read back whole.
TEST(Columns, CopyConvertsAndNegates) {
  for (word from : {1, 2})
    for (word to : {1, 2})
      for (word neg : {0, -1}) {
        SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to) + " neg " + std::to_string(neg));
        FreshFileSystem fs(1, 11);
        std::mt19937 rng(static_cast<unsigned>(from * 10 + to));
        const word rows = 60;
        std::vector<std::vector<double>> cols;
        MCB a{KGG, 0, rows, kRectangular, from, 0, 0};
        DBOPEN(KGG, kBuf, kWrite);
        for (int c = 0; c < 8; ++c) {
          cols.push_back(random_column(rng, rows, 30));
          COLPUT(a, 2, cols.back().data(), 1, rows);
        }
        DBCLOS(KGG, kCloseRewind);
        DBOPEN(KGG, kBuf, kRead);
        DBOPEN(UG, 200, kWrite);
        SCB& in = shared_scb(1);
        SCB& out = shared_scb(2);
        in.file = KGG;
        in.type = from;
        out.file = UG;
        out.type = to;
        for (std::size_t c = 0; c < cols.size(); ++c) COLCPY(in, out, neg);
        DBCLOS(KGG, kCloseRewind);
        DBCLOS(UG, kCloseRewind);
        MCB u{UG, 8, rows, kRectangular, to, 0, 0};
        DBOPEN(UG, 200, kRead);
        for (const auto& v : cols) {
          std::vector<double> got(static_cast<std::size_t>(rows), 0.0);
          word first = 1, last = rows, empty = 0;
          COLGET(u, 2, got.data(), first, last, empty);
          for (word r = 0; r < rows; ++r) {
            const double want = (neg < 0 ? -1.0 : 1.0) * stored(stored(v[static_cast<std::size_t>(r)], from), to);
            ASSERT_EQ(got[static_cast<std::size_t>(r)], want) << r;
          }
        }
        DBCLOS(UG, kCloseRewind);
      }
}

TEST(Columns, DensityStaysInRange) {
  EXPECT_EQ(density_of(250, 100, 10), 2500);
  EXPECT_EQ(density_of(10000000, 100000, 100000), 10);
  EXPECT_EQ(density_of(10, 0, 5), 0);
  EXPECT_EQ(density_of(1000, 10, 10), 10000);
  EXPECT_EQ(density_of(0, 10, 10), 0);
}

}  // namespace
}  // namespace zephsol
