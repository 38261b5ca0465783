// String records of matrix columns: random columns written with PUTSTR and
// read forward with NXTSTR and backward with PRVSTR, the layout of column
// records (alignment and filler words, empty columns), and the errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "support/workfile.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "common/testing.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

constexpr word kBuf = 2;

// One string as stored: first row and its terms (as doubles; single
// precision terms are floats widened).
struct Str {
  word row;
  std::vector<double> terms;
  bool operator==(const Str&) const = default;
};
using Column = std::vector<Str>;

double term_value(std::mt19937& rng, word type) {
  const double v = std::uniform_real_distribution<double>(-1e3, 1e3)(rng);
  return type == 1 ? static_cast<double>(static_cast<float>(v)) : v;
}

void place(const SCB& s, word k, double v) {
  if (s.type == 1)
    core().set_r(s.slot + k, static_cast<float>(v));
  else
    core().set_d(2 * (s.slot + k) - 1, v);
}

double term_at(const SCB& s, word k) { return s.type == 1 ? core().r(s.slot + k) : core().d(2 * (s.slot + k) - 1); }

// Writes a column of runs (first row, length): a run longer than the room
// handed out goes on in a new string at the next row; some calls give no
// terms. Returns the strings as written.
Column write_column(word file, word type, const std::vector<std::pair<word, word>>& runs, std::mt19937& rng) {
  SCB s;
  s.file = file;
  s.type = type;
  s.flag = 1;
  PUTSTR(s);
  Column out;
  for (auto [row, length] : runs) {
    while (length > 0) {
      if (rng() % 5 == 0) PUTSTR(s);  // a call without terms
      const word n = std::min(length, s.room);
      Str str{row, {}};
      for (word k = 0; k < n; ++k) {
        str.terms.push_back(term_value(rng, type));
        place(s, k, str.terms.back());
      }
      s.row = row;
      s.given = n;
      PUTSTR(s);
      out.push_back(std::move(str));
      row += n;
      length -= n;
    }
  }
  s.flag = -1;
  PUTSTR(s);
  EXPECT_EQ(s.flag, -1);
  return out;
}

Column read_forward(word file, word type) {
  SCB s;
  s.file = file;
  s.type = type;
  s.flag = 1;
  Column out;
  for (NXTSTR(s); s.flag == 0; NXTSTR(s)) {
    Str str{s.row, {}};
    for (word k = 0; k < s.room; ++k) {
      str.terms.push_back(term_at(s, k));
    }
    out.push_back(std::move(str));
  }
  return out;
}

// The strings of the column before the position, last string first.
Column read_backward(word file, word type) {
  SCB s;
  s.file = file;
  s.type = type;
  s.flag = 1;
  Column out;
  for (PRVSTR(s); s.flag == 0; PRVSTR(s)) {
    Str str{s.row - s.room + 1, {}};
    for (word k = s.room - 1; k >= 0; --k) str.terms.push_back(term_at(s, -k));
    out.push_back(std::move(str));
  }
  return out;
}

// Random runs of a column of up to rows rows, some long enough to cross
// blocks, some columns empty.
std::vector<std::pair<word, word>> random_runs(std::mt19937& rng, word rows, word longest) {
  std::vector<std::pair<word, word>> runs;
  if (rng() % 8 == 0) return runs;
  for (word row = 1 + static_cast<word>(rng() % 5); row <= rows;) {
    const word length = std::min<word>(1 + static_cast<word>(rng() % static_cast<unsigned>(longest)), rows - row + 1);
    runs.emplace_back(row, length);
    row += length + 1 + static_cast<word>(rng() % 7);
  }
  return runs;
}

class RandomColumns : public ::testing::TestWithParam<word> {};

TEST_P(RandomColumns, ForwardAndBackwardInBothPrecisions) {
  const word nbufsz = GetParam();
  for (word type : {1, 2}) {
    SCOPED_TRACE(type);
    FreshFileSystem fs(1, nbufsz);
    std::mt19937 rng(static_cast<unsigned>(nbufsz * 10 + type));
    std::vector<Column> columns;
    DBOPEN(KGG, kBuf, kWrite);
    for (int c = 0; c < 300; ++c) {
      if (rng() % 10 == 0) {  // a plain record between columns shifts their alignment
        const word w[3] = {1, 2, 3};
        DBWRIT(KGG, w, 1 + static_cast<word>(rng() % 3), 1);
        columns.push_back({{-1, {}}});
        continue;
      }
      columns.push_back(write_column(KGG, type, random_runs(rng, 4 * nbufsz, 3 * nbufsz / 2), rng));
    }
    DBCLOS(KGG, kCloseRewind);

    DBOPEN(KGG, kBuf, kRead);
    for (const Column& want : columns) {
      if (!want.empty() && want[0].row == -1) {
        word w[3], nread = 0, status = 0;
        DBRDST(KGG, w, 3, 1, nread, status);
        continue;
      }
      ASSERT_EQ(read_forward(KGG, type), want);
    }
    // Backward from the end: every column in exact reverse, the plain
    // records stepped over with DBBKSP.
    for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
      if (!it->empty() && (*it)[0].row == -1) {
        DBBKSP(KGG);
        continue;
      }
      Column want(it->rbegin(), it->rend());
      ASSERT_EQ(read_backward(KGG, type), want) << "column " << (columns.rend() - it);
    }
    // At the start: nothing before; forward reading starts again.
    EXPECT_TRUE(read_backward(KGG, type).empty());
    if (columns[0].empty() || columns[0][0].row != -1) {
      EXPECT_EQ(read_forward(KGG, type), columns[0]);
    }
    DBCLOS(KGG, kCloseRewind);
  }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, RandomColumns, ::testing::Values(11, 101, 1025));

constexpr auto h1 = testing::header_word1;
constexpr auto h2 = testing::header_word2;

// Writes one string of n terms 1.0, 2.0, ... at row in the column of s.
void put_terms(SCB& s, word row, word n) {
  for (word k = 0; k < n; ++k) place(s, k, k + 1.0);
  s.row = row;
  s.given = n;
  PUTSTR(s);
}

SCB begin(word file, word type) {
  SCB s;
  s.file = file;
  s.type = type;
  s.flag = 1;
  PUTSTR(s);
  return s;
}

void end(SCB& s) {
  s.flag = -1;
  PUTSTR(s);
}

// Ends the column with its last string written by the end call.
void end_with(SCB& s, word row, word n) {
  s.flag = -1;
  put_terms(s, row, n);
}

// The words of block 1 of a data block holding an optional three-word
// record and then one column, NBUFSZ 101: alignment word, strings, filler
// words, empty columns.
TEST(ColumnRecords, LayoutOfTheFirstBlock) {
  const word f1 = std::bit_cast<word>(1.0f), f2 = std::bit_cast<word>(2.0f);
  const std::uint64_t d1 = std::bit_cast<std::uint64_t>(1.0), d2 = std::bit_cast<std::uint64_t>(2.0);
  const word d1lo = static_cast<word>(d1), d1hi = static_cast<word>(d1 >> 32);
  const word d2lo = static_cast<word>(d2), d2hi = static_cast<word>(d2 >> 32);
  struct Case {
    const char* what;
    bool record_first;
    word type;
    word terms;                                 // 0: an empty column
    std::vector<std::pair<word, word>> words;  // block word, value
  };
  const Case cases[] = {
      {"empty, single precision", false, 1, 0, {{2, h1(0, 0)}, {3, h2(0, 2)}, {4, -2}, {5, -2}, {6, h1(0x10, 0)}, {7, h2(4, 0)}}},
      {"empty, double, odd start", false, 2, 0, {{2, h1(0, 0)}, {3, h2(0, 2)}, {4, -2}, {5, -2}, {6, h1(0x10, 0)}}},
      {"empty, double, even start: the alignment word alone", true, 2, 0,
       {{7, h1(0, 0)}, {8, h2(5, 1)}, {9, -1}, {10, h1(0x10, 0)}, {11, h2(3, 0)}}},
      {"two single terms after a record", true, 1, 2,
       {{7, h1(0, 0)}, {8, h2(5, 4)}, {9, 3}, {10, h2(0, 2)}, {11, f1}, {12, f2}, {13, h1(0x10, 0)}, {14, h2(6, 0)}}},
      {"two double terms after a record", true, 2, 2,
       {{7, h1(0, 0)}, {8, h2(5, 7)}, {9, -1}, {10, 3}, {11, h2(0, 2)}, {12, d1lo}, {13, d1hi}, {14, d2lo},
        {15, d2hi}, {16, h1(0x10, 0)}, {17, h2(9, 0)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FreshFileSystem fs(1, 101);
    DBOPEN(KGG, kBuf, kWrite);
    if (c.record_first) {
      const word w[3] = {11, 12, 13};
      DBWRIT(KGG, w, 3, 1);
    }
    SCB s = begin(KGG, c.type);
    if (c.terms > 0) put_terms(s, 3, c.terms);
    end(s);
    EXPECT_EQ(s.total, c.terms);
    DBCLOS(KGG, kCloseRewind);
    const std::vector<word> block = testing::block_on_file(fs, "WORK23", 1, 101);
    for (auto [at, v] : c.words) EXPECT_EQ(block[static_cast<std::size_t>(at - 1)], v) << "block word " << at;

    DBOPEN(KGG, kBuf, kRead);
    word status = 0;
    if (c.record_first) DBFWRD(KGG, status);
    const Column got = read_forward(KGG, c.type);
    EXPECT_EQ(got.size(), c.terms > 0 ? 1u : 0u);
    if (c.terms > 0) {
      EXPECT_EQ(got[0], (Str{3, {1.0, 2.0}}));
    }
    DBCLOS(KGG, kCloseRewind);
  }
}

// Blocks of 10 words (segment space 2..9): a string that would leave one
// word gets a filler at the column's end; a header and one term that no
// longer fit turn the rest of the block into fillers; both read back whole
// both ways.
TEST(ColumnRecords, FillersAtTheBlockEnd) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  SCB s = begin(KGG, 1);
  EXPECT_EQ(s.room, 4);
  end_with(s, 1, 3);  // 5 words: one word left
  s = begin(KGG, 1);
  put_terms(s, 7, 2);  // 4 words: two left, too few for a header and a term
  EXPECT_EQ(s.room, 4);  // in block 3
  end_with(s, 20, 4);
  DBCLOS(KGG, kCloseRewind);
  const std::vector<word> b1 = testing::block_on_file(fs, "WORK23", 1, 11);
  EXPECT_EQ(b1[2], h2(0, 6));  // 3 terms + header + one filler
  EXPECT_EQ(b1[8], -2);
  const std::vector<word> b2 = testing::block_on_file(fs, "WORK23", 2, 11);
  EXPECT_EQ(b2[2], h2(8, 6));  // the second column: 2 terms + header + 2 fillers
  EXPECT_EQ(b2[7], -2);
  EXPECT_EQ(b2[8], -2);

  DBOPEN(KGG, kBuf, kRead);
  EXPECT_EQ(read_forward(KGG, 1), (Column{{1, {1, 2, 3}}}));
  EXPECT_EQ(read_forward(KGG, 1), (Column{{7, {1, 2}}, {20, {1, 2, 3, 4}}}));
  EXPECT_EQ(read_backward(KGG, 1), (Column{{20, {1, 2, 3, 4}}, {7, {1, 2}}}));
  EXPECT_EQ(read_backward(KGG, 1), (Column{{1, {1, 2, 3}}}));
  EXPECT_EQ(read_forward(KGG, 1), (Column{{1, {1, 2, 3}}}));
  DBCLOS(KGG, kCloseRewind);
}

// A dense column of 1,000 terms in a fresh block of 1,024 words: 1,018
// single or 509 double terms fit in the first string.
TEST(ColumnRecords, RoomOfAFreshBlock) {
  for (word type : {1, 2}) {
    FreshFileSystem fs(1, 1025);
    std::mt19937 rng(1);
    DBOPEN(KGG, kBuf, kWrite);
    const Column written = write_column(KGG, type, {{1, 1000}}, rng);
    DBCLOS(KGG, kCloseRewind);
    if (type == 1) {
      ASSERT_EQ(written.size(), 1u);
    } else {
      ASSERT_EQ(written.size(), 2u);
      EXPECT_EQ(written[0].terms.size(), 509u);
      EXPECT_EQ(written[1].row, 510);
      EXPECT_EQ(written[1].terms.size(), 491u);
    }
  }
}

// A backward read of a column written with calls that give no terms between
// strings (as the term-by-term writers make) stops at the column's first
// header, so the next backward read returns the column before.
TEST(ColumnRecords, BackwardAfterCallsWithoutTerms) {
  FreshFileSystem fs(1, 101);
  DBOPEN(KGG, kBuf, kWrite);
  SCB s = begin(KGG, 2);
  put_terms(s, 1, 3);
  end(s);
  s = begin(KGG, 2);
  put_terms(s, 2, 4);
  PUTSTR(s);  // no terms
  put_terms(s, 10, 2);
  PUTSTR(s);
  put_terms(s, 20, 5);
  end(s);
  DBCLOS(KGG, kCloseNoRewind);
  DBOPEN(KGG, kBuf, kReadNoRewind);
  DBSKPF(KGG, -1);  // back over the end-of-file mark to the start
  DBSKPF(KGG, 1);   // and to behind the mark
  DBBKSP(KGG);      // before the mark
  EXPECT_EQ(read_backward(KGG, 2), (Column{{20, {1, 2, 3, 4, 5}}, {10, {1, 2}}, {2, {1, 2, 3, 4}}}));
  EXPECT_EQ(read_backward(KGG, 2), (Column{{1, {1, 2, 3}}}));
  EXPECT_TRUE(read_backward(KGG, 2).empty());
  DBCLOS(KGG, kCloseRewind);
}

TEST(ColumnRecords, Errors) {
  FreshFileSystem fs(1, 101);
  DBOPEN(KGG, kBuf, kWrite);
  SCB bad;
  bad.file = KGG;
  bad.type = 3;
  bad.flag = 1;
  EXPECT_RUN_ENDS_WITH(fs, PUTSTR(bad), "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       3");
  bad.type = 1;
  bad.flag = 0;
  bad.unit = 53;
  EXPECT_RUN_ENDS_WITH(fs, PUTSTR(bad), "NO INITIATION CALL FOR STRING.  FILE=KGG , UNIT=     226");
  const word w[2] = {1, 2};
  DBWRIT(KGG, w, 2, 0);
  EXPECT_RUN_ENDS_WITH(fs, begin(KGG, 1), "PREVIOUS RECORD NOT YET TERMINATED.  FILE=KGG , UNIT=     226");
  DBWRIT(KGG, w, 2, 1);
  SCB s = begin(KGG, 1);
  s.given = s.room + 1;
  EXPECT_RUN_ENDS_WITH(fs, PUTSTR(s), "ATTEMPT TO PUT MORE THAN AVAILABLE.  UNIT=     226");
  put_terms(s, 1, 2);
  // A writer that does not end its column cannot close it.
  EXPECT_RUN_ENDS_WITH(fs, DBCLOS(KGG, kCloseRewind), "PREVIOUS STRING NOT YET TERMINATED.  FILE=KGG , UNIT=     226");
  EXPECT_RUN_ENDS_WITH(fs, DBWRIT(KGG, w, 2, 1), "PREVIOUS STRING NOT YET TERMINATED.  FILE=KGG , UNIT=     226");
  end(s);
  DBCLOS(KGG, kCloseRewind);

  DBOPEN(KGG, kBuf, kRead);
  SCB r;
  r.file = KGG;
  r.type = 1;
  r.flag = 1;
  EXPECT_RUN_ENDS_WITH(fs, PRVSTR(r), "I/O SEQUENCE ERROR.  FILE=KGG , LAST OPERATION=       4");
  word status = 0;
  DBFWRD(KGG, status);
  NXTSTR(r);
  EXPECT_EQ(r.flag, 0);
  // A reader that stops before the column's end cannot go on otherwise.
  EXPECT_RUN_ENDS_WITH(fs, DBFWRD(KGG, status), "PREVIOUS STRING NOT YET TERMINATED.  FILE=KGG , UNIT=     226");
  while (r.flag == 0) NXTSTR(r);
  DBREWD(KGG);
  r.flag = 1;
  EXPECT_RUN_ENDS_WITH(fs, PRVSTR(r), "I/O SEQUENCE ERROR.  FILE=KGG , LAST OPERATION=      10");
  DBSKPF(KGG, 1);  // behind the end-of-file mark: no column follows
  r.flag = 1;
  EXPECT_RUN_ENDS_WITH(fs, NXTSTR(r), "UNEXPECTED END-OF-FILE ON FILE KGG ");
  DBCLOS(KGG, kCloseRewind);
  DBOPEN(KGG, kBuf, kReadNoRewind);
  r.flag = 1;
  PRVSTR(r);  // accepted after "RDNR"; at the start nothing lies before
  EXPECT_EQ(r.flag, -1);
  DBCLOS(KGG, kCloseRewind);
}

}  // namespace
}  // namespace zephsol
