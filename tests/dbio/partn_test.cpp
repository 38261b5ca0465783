// Matrix partitioning and merging: the examples of the splits, round trips
// against the dense matrix, empty parts, and the fatal paths with their
// lines.
#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/densemat.h"
#include "common/fatal.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/partn.h"
#include "common/testing.h"

namespace zephsol {
namespace {

using testing::Dense;
using testing::FreshFileSystem;
using testing::read_matrix;
using testing::write_matrix;

constexpr word kArea = 3001;
constexpr word kAreaSize = 60000;

// Dense matrix from its rows.
Dense from_rows(const std::vector<std::vector<double>>& rows) {
  return testing::transposed(rows, static_cast<word>(rows[0].size()));
}

std::array<word, 6> header_of(word file) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  return h;
}

// The example of the row and column split: pv = (-1, 1, -2) on a 3 x 3 A.
TEST(Mtxpt4, SplitsTheExampleIntoItsFourBlocks) {
  FreshFileSystem fs(1, 41);
  PRTCTL& c = prtctl();
  c = PRTCTL{};
  c.A = write_matrix(KGG, from_rows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), 3, 2, kSymmetric);
  c.A11.file = KSS;
  c.A21.file = S303;
  c.A12.file = S302;
  c.A22.file = S304;
  const std::vector<word> pv{-1, 1, -2};
  MTXPT4(pv, 2, 1, kArea, kAreaSize);
  EXPECT_EQ(read_matrix(c.A11), from_rows({{1, 3}, {7, 9}}));
  EXPECT_EQ(read_matrix(c.A21), from_rows({{4, 6}}));
  EXPECT_EQ(read_matrix(c.A12), from_rows({{2}, {8}}));
  EXPECT_EQ(read_matrix(c.A22), from_rows({{5}}));
  // Diagonal blocks keep A's form, the others are rectangular.
  EXPECT_EQ((std::array{c.A11.cols, c.A11.rows, c.A11.form, c.A11.type, c.A11.maxcol, c.A11.density}),
            (std::array<word, 6>{2, 2, kSymmetric, 2, 2, 10000}));
  EXPECT_EQ((std::array{c.A21.cols, c.A21.rows, c.A21.form}), (std::array<word, 3>{2, 1, kRectangular}));
  EXPECT_EQ((std::array{c.A12.cols, c.A12.rows, c.A12.form}), (std::array<word, 3>{1, 2, kRectangular}));
  EXPECT_EQ((std::array{c.A22.cols, c.A22.rows, c.A22.form}), (std::array<word, 3>{1, 1, kSymmetric}));
}

// Random splits of random matrices, on blocks small enough that columns
// span several blocks: the four parts put back by the partition vector give
// A again, and a part without columns or rows is discarded with a zero
// header that stays zero when the caller stores it.
TEST(Mtxpt4, FourPartsRebuildTheMatrix) {
  struct Case {
    word n, nsub1;
    double density;
  };
  const Case cases[] = {{1, 1, 1.0}, {9, 4, 0.5}, {40, 13, 0.3}, {60, 30, 1.0}, {25, 0, 0.4}, {25, 25, 0.4}, {30, 10, 0.0}};
  unsigned seed = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.n) + " / " + std::to_string(k.nsub1));
    FreshFileSystem fs(1, 41);
    std::mt19937 rng(++seed);
    const Dense a = testing::random_sparse(rng, k.n, k.n, k.density, 2);
    // The first set: nsub1 rows chosen at random; places in order of rows.
    std::vector<word> order(static_cast<std::size_t>(k.n));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<bool> in_first(static_cast<std::size_t>(k.n), false);
    for (word i = 0; i < k.nsub1; ++i) in_first[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = true;
    std::vector<word> pv(static_cast<std::size_t>(k.n));
    word p1 = 0, p2 = 0;
    for (std::size_t i = 0; i < pv.size(); ++i) pv[i] = in_first[i] ? -++p1 : ++p2;

    PRTCTL& c = prtctl();
    c = PRTCTL{};
    c.A = write_matrix(KGG, a, k.n, 2, kSymmetric);
    c.A11.file = KSS;
    c.A21.file = S303;
    c.A12.file = S302;
    c.A22.file = S304;
    MTXPT4(pv, k.nsub1, k.n - k.nsub1, kArea, kAreaSize);
    for (MCB* part : {&c.A11, &c.A21, &c.A12, &c.A22}) HDRPUT(part->file, part->header());

    Dense back = testing::zeros(k.n, k.n);
    const auto place = [&](const MCB& part, bool first_rows, bool first_cols) {
      const word rows = first_rows ? k.nsub1 : k.n - k.nsub1;
      const word cols = first_cols ? k.nsub1 : k.n - k.nsub1;
      if (rows == 0 || cols == 0) {
        EXPECT_EQ(header_of(part.file), (std::array<word, 6>{}));
        return;
      }
      const Dense d = read_matrix(part);
      for (std::size_t j = 0, cj = 0; j < pv.size(); ++j) {
        if ((pv[j] < 0) != first_cols) continue;
        for (std::size_t i = 0, ri = 0; i < pv.size(); ++i) {
          if ((pv[i] < 0) != first_rows) continue;
          back[j][i] = d[cj][ri++];
        }
        ++cj;
      }
    };
    place(c.A11, true, true);
    place(c.A21, false, true);
    place(c.A12, true, false);
    place(c.A22, false, false);
    EXPECT_EQ(back, a);
  }
}

// The example of the row split: rows 1 and 3 form A11, row 4 forms A21 and
// row 2 is dropped; without A21 only A11 is written.
TEST(Mtxpt2, SplitsAndDropsRows) {
  FreshFileSystem fs(1, 41);
  PRTCTL& c = prtctl();
  c = PRTCTL{};
  c.A = write_matrix(UG, {{10, 20, 30, 40}, {0, 1, 0, 2}}, 4, 1, kRectangular);
  c.A11.file = S301;
  c.A21.file = S302;
  const std::vector<word> pv{1, 0, 2, 3};
  MTXPT2(pv, 4, 2, 1, kArea, kAreaSize);
  EXPECT_EQ(read_matrix(c.A11), (Dense{{10, 30}, {0, 0}}));
  EXPECT_EQ(read_matrix(c.A21), (Dense{{40}, {2}}));
  EXPECT_EQ((std::array{c.A11.cols, c.A11.rows, c.A11.form, c.A11.type, c.A11.maxcol, c.A11.density}),
            (std::array<word, 6>{2, 2, kRectangular, 1, 2, 5000}));
  EXPECT_EQ((std::array{c.A21.cols, c.A21.rows, c.A21.maxcol, c.A21.density}), (std::array<word, 4>{2, 1, 1, 10000}));

  c.A11.file = S303;
  c.A21 = MCB{};
  MTXPT2(pv, 4, 2, 1, kArea, kAreaSize);
  EXPECT_EQ(read_matrix(c.A11), (Dense{{10, 30}, {0, 0}}));
}

// A row split of random matrices followed by the merge with the inverse
// maps gives the kept rows back and zeros in the dropped ones; the result
// is rectangular whatever its shape.
TEST(Mtxpt2ThenMtxmrg, GiveTheKeptRowsBack) {
  unsigned seed = 100;
  for (word rows : {1, 7, 50, 130}) {
    SCOPED_TRACE(rows);
    FreshFileSystem fs(1, 41);
    std::mt19937 rng(++seed);
    const word cols = 1 + static_cast<word>(rng() % 8);
    const Dense a = testing::random_sparse(rng, rows, cols, 0.6, 2);
    // Each row goes to A11, to A21 or nowhere.
    std::vector<word> part(static_cast<std::size_t>(rows));
    for (word& p : part) p = static_cast<word>(rng() % 3);
    const word nsub1 = static_cast<word>(std::count(part.begin(), part.end(), 1));
    const word nsub2 = static_cast<word>(std::count(part.begin(), part.end(), 2));
    std::vector<word> pv(static_cast<std::size_t>(rows)), map1, map2;
    for (word r = 0; r < rows; ++r) {
      const std::size_t i = static_cast<std::size_t>(r);
      if (part[i] == 1) {
        map1.push_back(r + 1);
        pv[i] = static_cast<word>(map1.size());
      } else if (part[i] == 2) {
        map2.push_back(r + 1);
        pv[i] = nsub1 + static_cast<word>(map2.size());
      }
    }
    PRTCTL& c = prtctl();
    c = PRTCTL{};
    c.A = write_matrix(KGG, a, rows, 2, kSquare);
    c.A11.file = nsub1 > 0 ? S301 : 0;
    c.A21.file = nsub2 > 0 ? S302 : 0;
    MTXPT2(pv, rows, nsub1, nsub2, kArea, kAreaSize);
    if (nsub1 + nsub2 == 0) continue;

    c.A.file = S303;
    MTXMRG(map1, map2, rows, nsub1, nsub2, kArea, kAreaSize);
    Dense want = a;
    for (auto& col : want)
      for (word r = 0; r < rows; ++r)
        if (part[static_cast<std::size_t>(r)] == 0) col[static_cast<std::size_t>(r)] = 0.0;
    EXPECT_EQ(read_matrix(c.A), want);
    EXPECT_EQ((std::array{c.A.cols, c.A.rows, c.A.form, c.A.type}), (std::array<word, 4>{cols, rows, kRectangular, 2}));
    const auto stored = testing::stored_terms(c.A);
    EXPECT_EQ(c.A.maxcol, stored.largest);
    EXPECT_EQ(c.A.density, density_of(stored.terms, rows, cols));
  }
}

// The merge of a single-precision A11 and a double-precision A21 is of
// type 2; with A21 alone the rows its map does not name are zero, and
// where both maps name a row A21's value stands.
TEST(Mtxmrg, TypesAndPlacement) {
  FreshFileSystem fs(1, 41);
  PRTCTL& c = prtctl();
  c = PRTCTL{};
  c.A.file = S303;
  c.A11 = write_matrix(S301, {{1.5, 2.5}, {3.5, 0}}, 2, 1, kRectangular);
  c.A21 = write_matrix(S302, {{7}, {8}}, 1, 2, kRectangular);
  MTXMRG(std::vector<word>{1, 3}, std::vector<word>{3}, 4, 2, 1, kArea, kAreaSize);
  EXPECT_EQ(c.A.type, 2);
  EXPECT_EQ(read_matrix(c.A), (Dense{{1.5, 0, 7, 0}, {3.5, 0, 8, 0}}));

  c.A11 = MCB{};
  MTXMRG({}, std::vector<word>{2}, 3, 0, 1, kArea, kAreaSize);
  EXPECT_EQ(read_matrix(c.A), (Dense{{0, 7, 0}, {0, 8, 0}}));
  EXPECT_EQ((std::array{c.A.cols, c.A.rows, c.A.form, c.A.maxcol, c.A.density}),
            (std::array<word, 5>{2, 3, kRectangular, 1, 3333}));
}

TEST(Partitions, FatalPaths) {
  FreshFileSystem fs(1, 41);
  PRTCTL& c = prtctl();
  c = PRTCTL{};
  c.A = write_matrix(KGG, from_rows({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), 3, 2, kSquare);
  c.A11.file = KSS;
  c.A22.file = S304;
  EXPECT_RUN_ENDS_WITH(fs, MTXPT4(std::vector<word>{-1, 1, 2}, 2, 2, kArea, kAreaSize),
                       "0*** SYSTEM FATAL MESSAGE 3104, NUMBER OF ROWS IN SUBSETS INCONSISTENT ON FILE 226\n"
                       "          NBR OF COLUMNS=       3, NBR OF ROWS=       3, NSUB1=       2, NSUB2=       2\n");
  EXPECT_NE(fs.read("listing").find("INCONSISTENT ON FILE 226\n          NBR OF COLUMNS="), std::string::npos);
  // A buffer for A and each of the two parts: 3 x 41 words.
  EXPECT_RUN_ENDS_WITH(fs, MTXPT4(std::vector<word>{-1, 1, -2}, 2, 1, kArea, 122),
                       "INSUFFICIENT MEMORY.  REQUIRED =     123, CURRENT =     122 WORDS");
  EXPECT_RUN_ENDS_WITH(fs, MTXPT4(std::vector<word>{-1, 2, 1}, 1, 2, kArea, kAreaSize),
                       "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     226,       1");
  c.A.type = 1;
  EXPECT_RUN_ENDS_WITH(fs, MTXPT4(std::vector<word>{-1, 1, -2}, 2, 1, kArea, kAreaSize),
                       "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       1");

  c = PRTCTL{};
  c.A = MCB{UG, 2, 5, kRectangular, 2, 0, 0};
  c.A11.file = S301;
  EXPECT_RUN_ENDS_WITH(fs, MTXPT2(std::vector<word>(5, 1), 6, 1, 0, kArea, kAreaSize),
                       "0*** SYSTEM FATAL MESSAGE, NUMBER OF ROWS IN SUBSETS INCONSISTENT ON FILE  232\n"
                       "          NBR OF COLUMNS=       2, NBR OF ROWS=       5, NSUB1=       1, NSUB2=       0,"
                       " NMAJOR=       6\n");
  EXPECT_RUN_ENDS_WITH(fs, MTXPT2(std::vector<word>{1, 0, 2, 0, 0}, 5, 1, 0, kArea, kAreaSize),
                       "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     232,       2");
  // Two buffers and 2 x (5 + 1) words.
  EXPECT_RUN_ENDS_WITH(fs, MTXPT2(std::vector<word>{1, 2, 3, 4, 5}, 5, 5, 0, kArea, 93),
                       "INSUFFICIENT MEMORY.  REQUIRED =      94, CURRENT =      93 WORDS");

  c = PRTCTL{};
  c.A.file = S303;
  c.A11 = MCB{S301, 3, 2, kRectangular, 2, 1, 1};
  c.A21 = MCB{S302, 4, 1, kRectangular, 1, 1, 1};
  const std::string shape =
      "0*** SYSTEM FATAL MESSAGE, SHAPE OF TWO MATRICES TO BE MERGED ARE NOT COMPATIBLE -- NSUB1, NSUB2 =       2"
      "       1\n"
      "          MCBA11 =     301       3       2       2       2       1       1\n"
      "          MCBA21 =     302       4       1       2       1       1       1\n";
  EXPECT_RUN_ENDS_WITH(fs, MTXMRG(std::vector<word>{1, 2}, std::vector<word>{3}, 3, 2, 1, kArea, kAreaSize),
                       shape + "0*** SYSTEM FATAL MESSAGE  701,\n"
                               "          NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=       0,       0\n");
  EXPECT_NE(fs.read("listing").find(shape), std::string::npos);
  c.A11 = c.A21 = MCB{};
  EXPECT_RUN_ENDS_WITH(fs, MTXMRG({}, {}, 3, 0, 0, kArea, kAreaSize), "NSUB1, NSUB2 =       0       0\n");
  c.A21 = MCB{S302, 4, 1, kRectangular, 1, 1, 1};
  EXPECT_RUN_ENDS_WITH(fs, MTXMRG({}, std::vector<word>{4}, 3, 0, 1, kArea, kAreaSize),
                       "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     303,       4");
}

}  // namespace
}  // namespace zephsol
