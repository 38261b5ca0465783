// Multiply-add: the three methods against a dense reference over random
// sparse operands, in one pass and in several, with and without a pool;
// the unit exchange of method 2, the product without a factor, the sort of
// the pair list, a large sparse transpose product, and the fatal paths with
// their lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/densemat.h"
#include "common/fatal.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mtxmpy.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::Dense;
using testing::FreshFileSystem;
using testing::read_matrix;
using testing::write_matrix;

constexpr word kArea = 3001;  // the work areas start here, after the test's own buffer
constexpr word kBig = 200000;

word unit_of(word file) {
  std::array<word, 2> r{};
  DBUNIT(file, r);
  return std::abs(r[0]);
}

// One random product D = s_ab op(A) B + s_c C with its dense reference.
struct Case {
  word m = 0, l = 0, n = 0;
  word ta = 2, tb = 2, tc = 0, td = 2;  // tc 0: no C; td 0: the system precision
  bool transpose = false;
  word sab = 1, sc = 1;
  Dense opa, b, c;                 // m x l, l x n, m x n
  Dense ref, bound;                // the product, and Σ|terms| per entry
  word form_a = 0, form_b = 0, form_c = 0;
};

Case random_case(std::mt19937& rng) {
  const auto size = [&] { return static_cast<word>(1 + rng() % 60); };
  const auto density = [&] {
    constexpr std::array<double, 6> d{0.0, 0.02, 0.1, 0.3, 0.7, 1.0};
    return d[rng() % d.size()];
  };
  Case k;
  k.m = size();
  k.l = rng() % 4 == 0 ? k.m : size();
  k.n = rng() % 3 == 0 ? k.m : size();
  k.ta = 1 + static_cast<word>(rng() % 2);
  k.tb = 1 + static_cast<word>(rng() % 2);
  k.tc = static_cast<word>(rng() % 3);
  k.td = static_cast<word>(rng() % 3);
  k.transpose = rng() % 2 == 0;
  k.sab = rng() % 2 ? 1 : -1;
  k.sc = rng() % 2 ? 1 : -1;
  k.opa = testing::random_sparse(rng, k.m, k.l, density(), k.ta);
  k.b = testing::random_sparse(rng, k.l, k.n, density(), k.tb);
  k.c = k.tc ? testing::random_sparse(rng, k.m, k.n, density(), k.tc) : testing::zeros(k.m, k.n);
  // Square operands are labelled symmetric at random (the label alone sets D's form).
  const auto form = [&](word rows, word cols) { return rows != cols ? kRectangular : rng() % 2 ? kSymmetric : kSquare; };
  k.form_a = form(k.m, k.l);
  k.form_b = form(k.l, k.n);
  k.form_c = form(k.m, k.n);
  k.ref = k.bound = testing::zeros(k.m, k.n);
  for (word j = 0; j < k.n; ++j)
    for (word i = 0; i < k.m; ++i) {
      double s = 0.0, a = 0.0;
      for (word p = 0; p < k.l; ++p) {
        const double t = k.opa[static_cast<std::size_t>(p)][static_cast<std::size_t>(i)] *
                         k.b[static_cast<std::size_t>(j)][static_cast<std::size_t>(p)];
        s += t;
        a += std::abs(t);
      }
      const double cij = k.c[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)];
      k.ref[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = k.sab * s + k.sc * cij;
      k.bound[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = a + std::abs(cij);
    }
  return k;
}

std::string describe(const Case& k) {
  return std::to_string(k.m) + "x" + std::to_string(k.l) + "x" + std::to_string(k.n) + " types " +
         std::to_string(k.ta) + std::to_string(k.tb) + std::to_string(k.tc) + std::to_string(k.td) +
         (k.transpose ? " T" : "") + " signs " + std::to_string(k.sab) + std::to_string(k.sc);
}

// The data blocks of a case: A as stored for op(A) (KGG), B (KSS), C
// (GKFS), and for the transpose product op(A) itself (GST) and Bᵀ (KLL).
struct Blocks {
  MCB a, b, c, a_plain, bt;
};

Blocks write_case(const Case& k) {
  Blocks s;
  s.a = k.transpose ? write_matrix(KGG, testing::transposed(k.opa, k.m), k.l, k.ta, k.form_a)
                    : write_matrix(KGG, k.opa, k.m, k.ta, k.form_a);
  s.b = write_matrix(KSS, k.b, k.l, k.tb, k.form_b);
  if (k.tc) s.c = write_matrix(GKFS, k.c, k.m, k.tc, k.form_c);
  s.a_plain = write_matrix(GST, k.opa, k.m, k.ta, k.form_a);
  s.bt = write_matrix(KLL, testing::transposed(k.b, k.l), k.n, k.tb, k.form_b);
  return s;
}

enum class Method { Mpy, Mp2, Mps };

// Fills MPYCTL for a method (the transpose product takes op(A) and Bᵀ).
void set_control(const Case& k, const Blocks& s, Method method) {
  MPYCTL& c = mpyctl();
  c = MPYCTL{};
  c.A = method == Method::Mps ? s.a_plain : s.a;
  c.B = method == Method::Mps ? s.bt : s.b;
  c.C = s.c;
  c.D.file = S302;
  c.D.type = method == Method::Mps && k.td == 0 ? 2 : k.td;
  c.transpose = method == Method::Mps ? 0 : k.transpose ? 1 : 0;
  c.sign_ab = k.sab;
  c.sign_c = k.sc;
  c.scratch = S301;
}

// D against the reference and its header against what it holds.
void expect_result(const Case& k, Method method) {
  const MCB d = mpyctl().D;
  EXPECT_EQ(d.file, S302);
  EXPECT_EQ(d.cols, k.n);
  EXPECT_EQ(d.rows, k.m);
  const bool symmetric = k.form_a == kSymmetric && k.form_b == kSymmetric && (!k.tc || k.form_c == kSymmetric);
  EXPECT_EQ(d.form, k.m != k.n ? kRectangular : symmetric ? kSymmetric : kSquare);
  EXPECT_EQ(d.type, k.td == 0 ? 2 : k.td);
  const auto stored = testing::stored_terms(d);
  EXPECT_EQ(d.maxcol, stored.largest);
  EXPECT_EQ(d.density, density_of(stored.terms, k.m, k.n));
  const Dense got = read_matrix(d);
  const double tolerance = d.type == 1 ? 1e-5 : 1e-13;
  int bad = 0;
  for (word j = 0; j < k.n; ++j)
    for (word i = 0; i < k.m; ++i) {
      const std::size_t jj = static_cast<std::size_t>(j), ii = static_cast<std::size_t>(i);
      if (std::abs(got[jj][ii] - k.ref[jj][ii]) > tolerance * k.bound[jj][ii] && ++bad <= 3)
        ADD_FAILURE() << "method " << static_cast<int>(method) << " D(" << i + 1 << "," << j + 1 << ") = " << got[jj][ii]
                      << ", want " << k.ref[jj][ii];
    }
}

// Work areas: one pass, or as small as each method allows (method 1: two
// columns of B and D per pass; method 2: room for exactly one reserved
// column, so one column of A per pass; the transpose product: one word too
// few for two pool buffers, so the scratch data block lives on its unit).
word small_area(const Case& k, const Blocks& s, Method method) {
  const word nb = sysw().NBUFSZ;
  switch (method) {
    case Method::Mpy:
      return nb + (k.m + k.l) * 2 * 2 + 1;
    case Method::Mp2: {
      const word first_slot = k.m + 1 + (k.transpose ? k.l : 0);
      const word reserve = std::max(200, 2 * s.a.maxcol);
      return 3 * nb - 1 + 2 * first_slot + 2 * reserve + 3;
    }
    case Method::Mps:
      return 3 * nb - 1 + static_cast<word>(2 * testing::nonzeros(k.b) + 2 * k.m + 7) + 1;
  }
  return 0;
}

TEST(MultiplyAdd, ThreeMethodsAgainstADenseReference) {
  std::mt19937 rng(20240611);
  constexpr std::array<word, 3> kBlockSizes{41, 101, 1025};
  for (int t = 0; t < 60; ++t) {
    const Case k = random_case(rng);
    SCOPED_TRACE(describe(k));
    FreshFileSystem fs(2, kBlockSizes[static_cast<std::size_t>(t) % kBlockSizes.size()]);
    const Blocks s = write_case(k);
    for (Method method : {Method::Mpy, Method::Mp2, Method::Mps})
      for (bool small : {false, true}) {
        SCOPED_TRACE(small ? "small area" : "one pass");
        set_control(k, s, method);
        const word ncore = small ? small_area(k, s, method) : kBig;
        const word d_unit = unit_of(S302), scratch_unit = unit_of(S301);
        switch (method) {
          case Method::Mpy: MTXMPY(kArea, ncore); break;
          case Method::Mp2: MTXMP2(kArea, ncore); break;
          case Method::Mps: MTXMPS(kArea, ncore); break;
        }
        expect_result(k, method);
        // Method 2 with one column of A per pass: after an even number of
        // passes D's number reaches the scratch data block's former unit.
        const word passes = k.transpose ? k.m : k.l;
        const bool exchanged = method == Method::Mp2 && small && passes % 2 == 0;
        EXPECT_EQ(unit_of(S302), exchanged ? scratch_unit : d_unit);
        EXPECT_EQ(unit_of(S301), exchanged ? d_unit : scratch_unit);
      }
  }
}

// The scratch data block of the transpose product stays in pool 2 when the
// work area leaves room for it: fewer block transfers, the same result.
TEST(Mtxmps, PoolKeepsTheScratchRecordsInCore) {
  std::mt19937 rng(7);
  FreshFileSystem fs(2, 101);
  Case k;
  k.m = k.l = k.n = 50;
  k.opa = testing::random_sparse(rng, 50, 50, 0.3, 2);
  k.b = testing::random_sparse(rng, 50, 50, 0.3, 2);
  k.c = testing::zeros(50, 50);
  k.form_a = k.form_b = kSquare;
  const Blocks s = write_case(k);
  std::array<std::int64_t, 2> transfers{};
  std::array<Dense, 2> results;
  for (int pool = 0; pool < 2; ++pool) {
    set_control(k, s, Method::Mps);
    const word before = sysw().NBLKIO;
    MTXMPS(kArea, pool ? kBig : small_area(k, s, Method::Mps));
    transfers[static_cast<std::size_t>(pool)] = sysw().NBLKIO - before;
    results[static_cast<std::size_t>(pool)] = read_matrix(mpyctl().D);
  }
  EXPECT_EQ(results[0], results[1]);
  EXPECT_LT(transfers[1] + 20, transfers[0]);
}

// Method 2 in exactly two passes leaves the result under D's number through
// the unit exchange; in three passes D is written directly.
TEST(Mtxmp2, TwoPassesExchangeUnitsThreeDoNot) {
  for (word l : {2, 3}) {
    SCOPED_TRACE(l);
    FreshFileSystem fs(1, 41);
    const Dense a = l == 2 ? Dense{{1, 0}, {2, 3}} : Dense{{1, 0}, {2, 3}, {0, 4}};
    const Dense b = l == 2 ? Dense{{4, 5}} : Dense{{4, 5, 6}};
    MPYCTL& c = mpyctl();
    c = MPYCTL{};
    c.A = write_matrix(GST, a, 2, 2, kRectangular);
    c.B = write_matrix(KSS, b, l, 2, kRectangular);
    c.C = write_matrix(S303, {{1, 1}}, 2, 2, kRectangular);
    c.D.file = GKFS;
    c.sign_c = -1;
    c.scratch = S301;
    const word d_unit = unit_of(GKFS), scratch_unit = unit_of(S301);
    // Room for one reserved column of 200 slots: one column of A per pass.
    MTXMP2(kArea, 3 * 41 - 1 + 2 * 3 + 2 * 200 + 3);
    if (l == 2) {
      EXPECT_EQ(filctl().curfil, kNoDataBlock);  // as after DBSWAP
    }
    EXPECT_EQ(c.D.file, GKFS);
    EXPECT_EQ(read_matrix(c.D), l == 2 ? (Dense{{13, 14}}) : (Dense{{13, 38}}));
    EXPECT_EQ(unit_of(GKFS), l == 2 ? scratch_unit : d_unit);
    EXPECT_EQ(unit_of(S301), l == 2 ? d_unit : scratch_unit);
  }
}

// UNTSWP moves every data block sharing a unit with either number, keeps
// headers and names, and leaves no data block current.
TEST(Untswp, ExchangesUnitsOfAllSharers) {
  FreshFileSystem fs(1, 41);
  const word u_inp1 = unit_of(INP1), u_s303 = unit_of(S303);
  HDRPUT(S304, std::array<word, 6>{1, 2, 3, 4, 5, 6});
  UNTSWP(S304, S303);
  EXPECT_EQ(unit_of(S304), u_s303);
  EXPECT_EQ(unit_of(INP1), u_s303);  // INP1 shares the unit of $304
  EXPECT_EQ(unit_of(S303), u_inp1);
  std::array<word, 6> h{};
  HDRGET(S304, h);
  EXPECT_EQ(h, (std::array<word, 6>{1, 2, 3, 4, 5, 6}));
  UNTSWP(S304, S303);
  EXPECT_EQ(filctl().curfil, kNoDataBlock);
  EXPECT_EQ(unit_of(INP1), u_inp1);
  EXPECT_RUN_ENDS_WITH(fs, UNTSWP(S301, 260), "FILE NUMBER      260 NOT IN DBST");
}

// Without A or B, D = ±C in C's shape, of the caller's type or C's; without
// C as well, D stays empty and nothing is written.
TEST(Mpynul, ProductWithoutAFactor) {
  for (Method method : {Method::Mpy, Method::Mp2}) {
    FreshFileSystem fs(1, 41);
    MPYCTL& c = mpyctl();
    c = MPYCTL{};
    c.B = write_matrix(KSS, {{1, 2}}, 2, 2, kRectangular);
    c.C = write_matrix(GKFS, {{1.5, 0, -2}, {0, 0, 0}}, 3, 2, kRectangular);
    c.D.file = S302;
    c.sign_c = -1;
    method == Method::Mpy ? MTXMPY(kArea, 200) : MTXMP2(kArea, 200);
    EXPECT_EQ(read_matrix(c.D), (Dense{{-1.5, 0, 2}, {0, 0, 0}}));
    EXPECT_EQ(c.D.words()[1], 2);
    EXPECT_EQ(c.D.type, 2);
    c.D.type = 1;
    c.sign_c = 1;
    method == Method::Mpy ? MTXMPY(kArea, 200) : MTXMP2(kArea, 200);
    EXPECT_EQ(read_matrix(c.D), (Dense{{1.5, 0, -2}, {0, 0, 0}}));
    EXPECT_EQ((std::array{c.D.cols, c.D.rows, c.D.form, c.D.type, c.D.maxcol}),
              (std::array<word, 5>{2, 3, kRectangular, 1, 2}));
    c.C = MCB{};
    c.D.file = S303;
    method == Method::Mpy ? MTXMPY(kArea, 200) : MTXMP2(kArea, 200);
    EXPECT_EQ((std::array{c.D.cols, c.D.rows, c.D.maxcol, c.D.density}), (std::array<word, 4>{}));
    EXPECT_EQ(fit(unit_of(S303)).status & S_EXISTS, 0);
  }
}

// The pair sort against std::sort, with many equal first words.
TEST(Sortpr, OrdersPairsByBothWords) {
  std::mt19937 rng(5);
  for (word n : {0, 1, 2, 3, 7, 1000}) {
    std::vector<word> w(2 * static_cast<std::size_t>(n));
    for (word& x : w) x = static_cast<word>(rng() % 9);
    std::vector<std::pair<word, word>> want;
    for (word k = 0; k < n; ++k) want.emplace_back(w[2 * std::size_t(k)], w[2 * std::size_t(k) + 1]);
    std::sort(want.begin(), want.end());
    SORTPR(w, n);
    for (word k = 0; k < n; ++k)
      EXPECT_EQ(std::make_pair(w[2 * std::size_t(k)], w[2 * std::size_t(k) + 1]), want[static_cast<std::size_t>(k)]);
  }
}

// A 1,000,000 x 1,000,000 B with a few thousand terms has density word 0;
// its transpose product runs and agrees with a sparse reference.
TEST(Mtxmps, LargeSparseFactorWithDensityWordZero) {
  FreshFileSystem fs(4, 1025);
  constexpr word n = 1000000, l = 1000000, m = 20;
  std::mt19937 rng(11);
  std::map<word, std::vector<std::pair<word, double>>> a_cols, b_cols;  // column -> (row, value)
  for (int t = 0; t < 3000; ++t) {
    const word col = 1 + static_cast<word>(rng() % l);
    b_cols[col].emplace_back(1 + static_cast<word>(rng() % n), 1.0 + rng() % 7);
    if (t % 2 == 0) a_cols[col].emplace_back(1 + static_cast<word>(rng() % m), 1.0 + rng() % 5);
  }
  const auto write = [](word file, word rows, std::map<word, std::vector<std::pair<word, double>>>& cols) {
    MCB mcb{file, 0, rows, kRectangular, 2, 0, 0};
    DBOPEN(file, 2, kWrite);
    SCB& s = shared_scb(2);
    for (word j = 1; j <= l; ++j) {
      COLBEG(mcb, 2, s);
      if (auto it = cols.find(j); it != cols.end()) {
        std::map<word, double> sorted;
        for (auto [r, v] : it->second) sorted[r] += v;
        it->second.assign(sorted.begin(), sorted.end());
        for (auto [r, v] : it->second) COLTRM(v, r, s);
      }
      COLEND(mcb, s);
    }
    DBCLOS(file, kCloseRewind);
    mcb.density = density_of(mcb.density, rows, mcb.cols);
    return mcb;
  };
  MPYCTL& c = mpyctl();
  c = MPYCTL{};
  c.A = write(GST, m, a_cols);
  c.B = write(KSS, n, b_cols);
  ASSERT_EQ(c.B.density, 0);
  c.D.file = S302;
  c.D.type = 2;
  c.sign_ab = 1;
  c.scratch = S301;
  MTXMPS(kArea, 500000);

  std::map<std::pair<word, word>, double> want;  // (column of D, row) -> value
  for (const auto& [col, bs] : b_cols)
    if (auto it = a_cols.find(col); it != a_cols.end())
      for (auto [i, bv] : bs)
        for (auto [r, av] : it->second) want[{i, r}] += av * bv;
  std::map<std::pair<word, word>, double> got;
  DBOPEN(S302, 2, kRead);
  SCB own{};
  for (word k = 1; k <= c.D.cols; ++k) {
    own.file = S302;
    own.type = 2;
    own.flag = 1;
    for (NXTSTR(own); own.flag == 0; NXTSTR(own))
      for (word i = 0; i < own.room; ++i) got[{k, own.row + i}] = core().d(2 * (own.slot + i) - 1);
  }
  DBCLOS(S302, kCloseRewind);
  EXPECT_EQ(c.D.cols, n);
  EXPECT_EQ(c.D.rows, m);
  EXPECT_EQ(got, want);
}

TEST(MultiplyAdd, FatalPaths) {
  FreshFileSystem fs(1, 41);
  MPYCTL& c = mpyctl();
  c = MPYCTL{};
  c.A = write_matrix(GST, {{1, 0, 2}, {0, 3, 0}}, 3, 2, kRectangular);
  c.B = write_matrix(KSS, {{4, 5}, {6, 7}}, 2, 2, kSquare);
  c.D.file = S302;
  c.scratch = S301;
  // Inner dimension, C's shape, types.
  c.transpose = 1;
  EXPECT_RUN_ENDS_WITH(fs, MTXMPY(kArea, kBig), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     219,     228");
  EXPECT_RUN_ENDS_WITH(fs, MTXMP2(kArea, kBig), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     219,     228");
  c.transpose = 0;
  c.B.cols = 3;
  EXPECT_RUN_ENDS_WITH(fs, MTXMPS(kArea, kBig), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     219,     228");
  c.B.cols = 2;
  c.C = MCB{S303, 2, 2, kSquare, 2, 1, 1};
  EXPECT_RUN_ENDS_WITH(fs, MTXMPY(kArea, kBig), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     219,     303");
  c.C = MCB{};
  c.D.type = 3;
  EXPECT_RUN_ENDS_WITH(fs, MTXMP2(kArea, kBig), "INVALID ARITHMETIC TYPE.  FILE=D   , TYPE CODE=       3");
  c.D.type = 0;
  EXPECT_RUN_ENDS_WITH(fs, MTXMPS(kArea, kBig), "INVALID ARITHMETIC TYPE.  FILE=D   , TYPE CODE=       0");
  c.D.type = 2;

  // Short of core, before any data block is opened (every open is listed
  // under switch 30).
  DIAGST(30, 1);
  EXPECT_RUN_ENDS_WITH(fs, MTXMPY(kArea, 41 + 2 * (3 + 2) - 1),
                       "INSUFFICIENT MEMORY.  REQUIRED =      10, CURRENT =       9 WORDS");
  EXPECT_EQ(fs.read("listing").find("OPENED"), std::string::npos);
  // Method 2: 3 buffers, the result column (DZ 1-3) and a reserve of 200.
  EXPECT_RUN_ENDS_WITH(fs, MTXMP2(kArea, 3 * 41 + 2 * 4 + 2 * 200 + 2 - 1),
                       "INSUFFICIENT MEMORY.  REQUIRED =     533, CURRENT =     532 WORDS");
  EXPECT_EQ(fs.read("listing").find("OPENED"), std::string::npos);
  // Transpose product (B 2 x 2 as Bᵀ): 3 buffers and the column of A.
  EXPECT_RUN_ENDS_WITH(fs, MTXMPS(kArea, 3 * 41 + 2 * 3 + 7 - 1),
                       "INSUFFICIENT MEMORY.  REQUIRED =      13, CURRENT =      13 WORDS");
  EXPECT_EQ(fs.read("listing").find("OPENED"), std::string::npos);
  DIAGST(30, 0);

  // The pair list of the transpose product (4 pairs of B) filling the work
  // area to its last word: nothing is left for the pool, and the run ends
  // short of core with the words needed (2 x 4 + 2 x 3 + 7) below the
  // buffers; one word more runs.
  EXPECT_RUN_ENDS_WITH(fs, MTXMPS(kArea, 3 * 41 - 1 + 2 * 4 + 2 * 3 + 7),
                       "0*** SYSTEM FATAL MESSAGE    3,\n"
                       "          INSUFFICIENT MEMORY.  REQUIRED =      21, CURRENT =      21 WORDS\n");
  MTXMPS(kArea, 3 * 41 - 1 + 2 * 4 + 2 * 3 + 7 + 1);

}

// Method 2: a header understating A's largest column (reserve 200) meets a
// column of 300 terms (one string) with room for one reserved column.
TEST(Mtxmp2, ColumnLargerThanItsReserve) {
  FreshFileSystem fs(1, 1025);
  MPYCTL& c = mpyctl();
  c = MPYCTL{};
  Dense big = testing::zeros(300, 1);
  std::fill(big[0].begin(), big[0].end(), 1.0);
  c.A = write_matrix(GST, big, 300, 2, kRectangular);
  c.A.maxcol = 0;
  c.B = write_matrix(KSS, {{1}}, 1, 2, kRectangular);
  c.D.file = S302;
  c.scratch = S301;
  EXPECT_RUN_ENDS_WITH(fs, MTXMP2(kArea, 3 * 1025 - 1 + 2 * 301 + 2 * 200 + 3),
                       "MATRIX (A) IS MORE DENSE THAN ANTICIPATED, P1,P2=     200,    -204");
  // With the true largest column the reserve is 600 and it runs.
  c.A.maxcol = 300;
  MTXMP2(kArea, 3 * 1025 - 1 + 2 * 301 + 2 * 600 + 3);
  EXPECT_EQ(read_matrix(c.D), big);
}

}  // namespace
}  // namespace zephsol
