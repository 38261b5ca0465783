// Matrix and vector addition against dense references.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxadd.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
using Dense = std::vector<std::vector<double>>;  // columns of rows
// Stored terms: (column, row) -> value, zeros included.
using Terms = std::map<std::pair<word, word>, double>;

constexpr word kBuf = 2;
constexpr word kArea = 1001;  // MTXADD's work area: index 1001 on
constexpr word kAreaSize = 20000;

// Writes a dense matrix (values rounded to the stored type) as data block
// file; its MCB with the term count in word 7.
MCB write_matrix(word file, const Dense& m, word rows, word type, word form) {
  MCB mcb{file, 0, rows, form, type, 0, 0};
  DBOPEN(file, kBuf, kWrite);
  for (const auto& c : m) COLPUT(mcb, 2, c.data(), 1, rows);
  DBCLOS(file, kCloseRewind);
  return mcb;
}

Terms read_terms(MCB mcb) {
  Terms t;
  DBOPEN(mcb.file, kBuf, kRead);
  SCB& s = shared_scb(1);
  for (word j = 1; j <= mcb.cols; ++j) {
    word empty = 0, end = 0, row = 0;
    TRMBEG(mcb, 2, s, empty);
    while (empty == 0 && end == 0) {
      double v = 0;
      TRMNXT(v, row, s, end);
      t[{j, row}] = v;
    }
  }
  DBCLOS(mcb.file, kCloseRewind);
  return t;
}

Dense random_matrix(std::mt19937& rng, word rows, word cols, word type) {
  Dense m(static_cast<std::size_t>(cols), std::vector<double>(static_cast<std::size_t>(rows), 0.0));
  std::uniform_real_distribution<double> value(-10, 10);
  for (auto& c : m)
    for (word r = 0; r < rows;) {
      const word run = 1 + static_cast<word>(rng() % 15);
      for (word k = 0; k < run && r < rows; ++k, ++r) {
        const double v = value(rng);
        c[static_cast<std::size_t>(r)] = type == 1 ? static_cast<float>(v) : v;
      }
      r += static_cast<word>(rng() % 6);
    }
  return m;
}

double in_precision(double v, word type) { return type == 1 ? static_cast<double>(static_cast<float>(v)) : v; }
double scaled(double s, double v, word type) {
  return type == 1 ? static_cast<double>(static_cast<float>(s) * static_cast<float>(v)) : s * v;
}

// S = alpha A + beta B for every combination of the stored types of A and
// B, of the scalars' types and of B present or not, on blocks of 10 words:
// the stored terms (cancelled sums included) against a dense reference.
TEST(Mtxadd, RandomPairsAgainstADenseReference) {
  const word rows = 37, cols = 9;
  int combinations = 0;
  for (word ta : {1, 2})
    for (word tb : {0, 1, 2})
      for (word talpha : {1, 2})
        for (word tbeta : {1, 2}) {
          SCOPED_TRACE(std::to_string(ta) + std::to_string(tb) + std::to_string(talpha) + std::to_string(tbeta));
          ++combinations;
          FreshFileSystem fs(1, 11);
          std::mt19937 rng(static_cast<unsigned>(combinations));
          const Dense a = random_matrix(rng, rows, cols, ta);
          const Dense b = tb ? random_matrix(rng, rows, cols, tb) : Dense{};
          ADDCTL& c = addctl();
          c = ADDCTL{};
          c.A = write_matrix(KGG, a, rows, ta, kRectangular);
          if (tb) c.B = write_matrix(KSS, b, rows, tb, kRectangular);
          c.S.file = KLL;
          const double alpha = 1.7390001234567, beta = -0.4410000987654;
          c.alpha_type = talpha;
          set_addctl_scalar(talpha, c.alpha, alpha);
          c.beta_type = tbeta;
          set_addctl_scalar(tbeta, c.beta, beta);
          MTXADD(kArea, kAreaSize);

          const word ts = tb ? std::max(ta, tb) : ta;
          const double al = in_precision(talpha == 1 ? static_cast<float>(alpha) : alpha, ta);
          const double be = tb ? in_precision(tbeta == 1 ? static_cast<float>(beta) : beta, tb) : 0.0;
          Terms want;
          std::int64_t count = 0;
          word largest = 0;
          for (word j = 0; j < cols; ++j) {
            word in_column = 0;
            for (word r = 0; r < rows; ++r) {
              const double x = a[static_cast<std::size_t>(j)][static_cast<std::size_t>(r)];
              const double y = tb ? b[static_cast<std::size_t>(j)][static_cast<std::size_t>(r)] : 0.0;
              if (x == 0.0 && y == 0.0) continue;
              const double pa = scaled(al, x, ta), pb = tb ? scaled(be, y, tb) : 0.0;
              double v = x != 0.0 && y != 0.0 ? in_precision(in_precision(pb, ts) + in_precision(pa, ts), ts)
                                               : x != 0.0 ? pa : pb;
              want[{j + 1, r + 1}] = in_precision(v, ts);
              ++in_column;
            }
            count += in_column;
            largest = std::max(largest, in_column);
          }
          EXPECT_EQ(c.S.cols, cols);
          EXPECT_EQ(c.S.rows, rows);
          EXPECT_EQ(c.S.type, ts);
          EXPECT_EQ(c.S.maxcol, largest);
          EXPECT_EQ(c.S.density, static_cast<word>(count * 10000 / (rows * cols)));
          EXPECT_EQ(read_terms(c.S), want);
          if (ta == 1 && talpha == 2) {
            EXPECT_EQ(c.alpha[0], std::bit_cast<word>(static_cast<float>(alpha)));
          }
        }
}

// A - A: every term cancels and stays as a stored zero, counted.
TEST(Mtxadd, CancelledTermsAreStoredZeros) {
  FreshFileSystem fs(1, 101);
  std::mt19937 rng(3);
  const Dense a = random_matrix(rng, 20, 4, 2);
  ADDCTL& c = addctl();
  c.A = write_matrix(KGG, a, 20, 2, kSymmetric);
  c.B = write_matrix(KSS, a, 20, 2, kSymmetric);
  c.S.file = KLL;
  c.alpha_type = c.beta_type = 2;
  set_addctl_scalar(2, c.alpha, 1.0);
  set_addctl_scalar(2, c.beta, -1.0);
  MTXADD(kArea, kAreaSize);
  const Terms s = read_terms(c.S);
  EXPECT_EQ(static_cast<word>(s.size()), c.A.density);
  for (const auto& [at, v] : s) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(c.S.form, kSymmetric);
}

TEST(Mtxadd, FormsOfASum) {
  struct Case {
    word a, b, s;
  };
  const Case cases[] = {{kSymmetric, kSquare, kSquare},
                        {kSymmetric, kSymmetric, kSymmetric},
                        {kLowerTriangular, kUpperTriangular, kSquare},
                        {kUpperTriangular, kLowerTriangular, kSquare},
                        {kLowerTriangular, kLowerTriangular, kLowerTriangular},
                        {kSquare, kSymmetric, kSquare},
                        {kSymmetric, 0, kSymmetric}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.a) + " + " + std::to_string(k.b));
    FreshFileSystem fs(1, 101);
    const Dense m{{1, 0}, {2, 3}};
    ADDCTL& c = addctl();
    c = ADDCTL{};
    c.A = write_matrix(KGG, m, 2, 1, k.a);
    if (k.b) c.B = write_matrix(KSS, m, 2, 1, k.b);
    c.S.file = KLL;
    c.alpha_type = c.beta_type = 1;
    set_addctl_scalar(1, c.alpha, 1.0);
    set_addctl_scalar(1, c.beta, 1.0);
    MTXADD(kArea, kAreaSize);
    EXPECT_EQ(c.S.form, k.s);
  }
}

// 250 terms in a 100 x 10 matrix give density 2500; a 100,000 x 100,000
// matrix with 10^7 terms gives 10 (rows x columns passes 2^31).
TEST(Mtxadd, Densities) {
  for (const auto [rows, cols, per_col, want] :
       {std::array<word, 4>{100, 10, 25, 2500}, std::array<word, 4>{100000, 100000, 100, 10}}) {
    SCOPED_TRACE(rows);
    FreshFileSystem fs(2, 1025);
    MCB a{KGG, 0, rows, kRectangular, 1, 0, 0};
    DBOPEN(KGG, kBuf, kWrite);
    SCB& s = shared_scb(2);
    for (word j = 1; j <= cols; ++j) {
      COLBEG(a, 1, s);
      for (word k = 0; k < per_col; ++k) COLTRM(1.0f, 1 + j % (rows / per_col) + k * (rows / per_col), s);
      COLEND(a, s);
    }
    DBCLOS(KGG, kCloseRewind);
    ADDCTL& c = addctl();
    c = ADDCTL{};
    c.A = a;
    c.S.file = KLL;
    c.alpha_type = 1;
    set_addctl_scalar(1, c.alpha, 2.0);
    MTXADD(kArea, kAreaSize);
    EXPECT_EQ(c.S.density, want);
    EXPECT_EQ(c.S.maxcol, per_col);
  }
}

TEST(Mtxadd, Errors) {
  FreshFileSystem fs(1, 101);
  ADDCTL& c = addctl();
  c.A = MCB{KGG, 0, 5, kSquare, 2, 0, 0};
  EXPECT_RUN_ENDS_WITH(fs, MTXADD(kArea, kAreaSize),
                       "0*** SYSTEM FATAL MESSAGE 3101, WRONG INPUT FILE  226\n"
                       "          HEADER INFORMATION =       0       5       1       2       0       0\n");
  EXPECT_TRUE(fs.read("listing").find("WRONG INPUT FILE  226") != std::string::npos);
  c.A = write_matrix(KGG, {{1, 2}, {3, 4}}, 2, 2, kSquare);
  c.B = MCB{KSS, 2, 3, kSquare, 2, 0, 0};
  EXPECT_RUN_ENDS_WITH(fs, MTXADD(kArea, kAreaSize), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     226,     228");
  c.B.rows = 2;
  c.B.type = 3;
  EXPECT_RUN_ENDS_WITH(fs, MTXADD(kArea, kAreaSize), "INVALID ARITHMETIC TYPE.  FILE=B   , TYPE CODE=       3");
  c.B.type = 2;
  EXPECT_RUN_ENDS_WITH(fs, MTXADD(kArea, 3 * 101 - 1), "INSUFFICIENT MEMORY.  REQUIRED =     303, CURRENT =     302 WORDS");
}

// ADDVG: S = A + f B for vectors of one or two columns.
std::vector<std::vector<double>> read_vectors(word file) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  MCB mcb{file, h[0], h[1], h[2], h[3], h[4], h[5]};
  std::vector<std::vector<double>> out;
  DBOPEN(file, kBuf, kRead);
  for (word j = 0; j < h[0]; ++j) {
    std::vector<double> v(static_cast<std::size_t>(h[1]), 0.0);
    word first = 1, last = h[1], empty = 0;
    COLGET(mcb, 2, v.data(), first, last, empty);
    out.push_back(v);
  }
  DBCLOS(file, kCloseRewind);
  return out;
}

void write_vectors(word file, const Dense& cols) {
  const word rows = static_cast<word>(cols[0].size());
  const MCB m = write_matrix(file, cols, rows, 2, kRectangular);
  HDRPUT(file, std::array<word, 6>{m.cols, m.rows, m.form, m.type, m.maxcol, m.density});
}

TEST(Addvg, VectorsOfOneAndTwoColumns) {
  FreshFileSystem fs(1, 101);
  const Dense b{{1, 0, 3, 4}, {0, 0, 0, 0}};
  const Dense a1{{10, 20, 0, 40}};
  write_vectors(PGM, b);
  write_vectors(DPGM, a1);

  ADDVG(0, PGM, QG, 2.0f);
  EXPECT_EQ(read_vectors(QG), (Dense{{2, 0, 6, 8}, {0, 0, 0, 0}}));
  std::array<word, 6> h{};
  HDRGET(QG, h);
  EXPECT_EQ(h, (std::array<word, 6>{2, 4, 2, 2, 3, 3}));

  // A one-column A is added to both columns of B.
  ADDVG(DPGM, PGM, UG, -1.0f);
  EXPECT_EQ(read_vectors(UG), (Dense{{9, 20, -3, 36}, {10, 20, 0, 40}}));

  // An A whose header is all zero counts as none.
  HDRCLR(DPGM);
  ADDVG(DPGM, PGM, UG, 2.0f);
  EXPECT_EQ(read_vectors(UG), (Dense{{2, 0, 6, 8}, {0, 0, 0, 0}}));

  // f = 0 with A = B copies A; S may be A itself.
  ADDVG(PGM, PGM, PGM, 0.0f);
  EXPECT_EQ(read_vectors(PGM), b);

  write_vectors(DPG, {{1, 2, 3}});
  EXPECT_RUN_ENDS_WITH(fs, ADDVG(DPG, PGM, UG, 1.0f), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     225,       3");
}

TEST(Addvg, OneColumnOfBServesBothColumnsBesideAWiderA) {
  // B of one column, A of three: both columns of S start from f B, and only
  // A's first two columns are added.
  FreshFileSystem fs(1, 101);
  write_vectors(PGM, {{1, 2, 3, 4}});
  write_vectors(DPGM, {{10, 0, 0, 0}, {0, 20, 0, 0}, {0, 0, 30, 0}});
  std::fill_n(core().doubles(1, 64).begin(), 64, 777.0);  // what an earlier module left in core
  ADDVG(DPGM, PGM, UG, 2.0f);
  EXPECT_EQ(read_vectors(UG), (Dense{{12, 4, 6, 8}, {2, 24, 6, 8}}));
}

}  // namespace
}  // namespace zephsol
