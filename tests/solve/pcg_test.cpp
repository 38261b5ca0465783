// Conjugate gradients with the incomplete factorisation, and the driver that
// loads the stiffness and the load from their data blocks: exact cases,
// zero pivots, the iteration table, the tolerance and iteration limits,
// faulty matrices and work arrays, and agreement with a dense solve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/pcg.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/spsolv.h"

namespace zephsol {
namespace {

using test::Dense;
using testing::FreshFileSystem;
using Vector = std::vector<double>;

constexpr word kKll = 227, kRhs = 225, kSol = 231;

// The lower triangle of a dense matrix in compressed columns, diagonal first
// (stored even when zero).
struct Csc {
  std::vector<word> ia, ja;
  Vector a;
};
Csc lower(const Dense& k) {
  Csc c;
  const auto n = k.size();
  for (std::size_t j = 0; j < n; ++j) {
    c.ia.push_back(static_cast<word>(c.a.size() + 1));
    for (std::size_t i = j; i < n; ++i)
      if (i == j || k[i][j] != 0.0) {
        c.ja.push_back(static_cast<word>(i + 1));
        c.a.push_back(k[i][j]);
      }
  }
  c.ia.push_back(static_cast<word>(c.a.size() + 1));
  return c;
}

// The 5-point Laplacian on an m x m grid.
Dense laplacian(int m) {
  Dense k = test::zeros(m * m);
  for (int y = 0; y < m; ++y)
    for (int x = 0; x < m; ++x) {
      const int p = x + m * y;
      k[p][p] = 4;
      if (x + 1 < m) k[p][p + 1] = k[p + 1][p] = -1;
      if (y + 1 < m) k[p][p + m] = k[p + m][p] = -1;
    }
  return k;
}

struct Result {
  Vector x, b;
  float err = 0;
  word flag = 0;
};

Result pcg(const Dense& k, Vector b, word maxit, float tol) {
  Csc c = lower(k);
  const auto n = static_cast<word>(k.size());
  Result r;
  r.x.assign(k.size(), -7.0);
  Vector l(c.a.size()), u(k.size()), res(k.size()), z(k.size());
  PCGSOL(n, static_cast<word>(c.a.size()), c.ja, c.ia, c.a, b, r.x, maxit, tol, l, u, res, z, r.err, r.flag);
  r.b = b;
  for (std::size_t j = 0; j + 1 < c.ia.size(); ++j) EXPECT_GT(c.ia[j], 0) << "pointer left marked";
  return r;
}

class Pcg : public ::testing::Test {
 protected:
  Pcg() : fs_(4, 129) { reset_solve_state(); }
  FreshFileSystem fs_;
};

// A full 2 x 2 system is factored exactly: the start x = M^-1 b already
// solves it, and with the table on only iteration 0 is printed.
TEST_F(Pcg, ExactFactorSolvesWithoutIterating) {
  DIAGST(14, 1);
  const Result r = pcg({{4, 1}, {1, 3}}, {1, 2}, 50, 1e-6f);
  EXPECT_EQ(r.flag, 0);
  EXPECT_NEAR(r.x[0], 1.0 / 11, 1e-15);
  EXPECT_NEAR(r.x[1], 7.0 / 11, 1e-15);
  const std::string listing = fs_.read("listing");
  EXPECT_NE(listing.find("    0 "), std::string::npos) << listing;
  EXPECT_EQ(listing.find("    1 "), std::string::npos) << listing;
}

// b = 0 gives x = 0 at once, without factorisation or print.
TEST_F(Pcg, ZeroLoadGivesZeroAtOnce) {
  DIAGST(14, 1);
  const Result r = pcg(laplacian(3), Vector(9, 0.0), 50, 1e-6f);
  EXPECT_EQ(r.flag, 0);
  EXPECT_EQ(r.x, Vector(9, 0.0));
  EXPECT_EQ(fs_.read("listing"), "");
}

// A stored zero pivot in column 3: warning 1000 names it, its load is
// cleared and the rest is solved as the system without equation 3; a load
// lying on that equation alone gives x = 0 and no failure.
TEST_F(Pcg, ZeroPivotIsSetToUnityAndItsLoadCleared) {
  Dense k = {{4, 1, 0, 0}, {1, 4, 0, 1}, {0, 0, 0, 0}, {0, 1, 0, 3}};
  const Result r = pcg(k, {1, 2, 5, 3}, 50, 1e-10f);
  EXPECT_EQ(r.flag, 0);
  EXPECT_EQ(r.b[2], 0.0);
  const Vector want = test::dense_solve({{4, 1, 0}, {1, 4, 1}, {0, 1, 3}}, {1, 2, 3});
  EXPECT_NEAR(r.x[0], want[0], 1e-9);
  EXPECT_NEAR(r.x[1], want[1], 1e-9);
  EXPECT_NEAR(r.x[3], want[2], 1e-9);
  EXPECT_EQ(sysw().IWRNFL, 1);
  const std::string errors = fs_.read("errors");
  EXPECT_NE(errors.find("0*** SYSTEM WARNING MESSAGE 1000, IC FACTORIZATION BROKE DOWN ON STEP       3\n"
                        "          DIAGONAL WAS SET TO UNITY AND FACTORIZATION PROCEEDED.\n"),
            std::string::npos)
      << errors;

  const Result only = pcg(k, {0, 0, 5, 0}, 50, 1e-10f);
  EXPECT_EQ(only.flag, 0);
  EXPECT_EQ(only.x, Vector(4, 0.0));
}

// On the 2D Laplacian the iteration agrees with a dense solve to the
// tolerance; one iteration is not enough (flag 1).
TEST_F(Pcg, LaplacianAgreesWithDenseSolve) {
  const Dense k = laplacian(16);
  Vector b(k.size());
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::sin(0.37 * double(i)) + 0.5;
  const Vector want = test::dense_solve(k, b);
  const Result r = pcg(k, b, 1000, 1e-12f);
  EXPECT_EQ(r.flag, 0);
  EXPECT_LT(r.err, 1e-12f);
  for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(r.x[i], want[i], 1e-10 * std::abs(want[i]) + 1e-12);
  EXPECT_EQ(pcg(k, b, 1, 1e-12f).flag, 1);
}

// The iteration table of DIAG switch 14 on a 3 x 3 Laplacian: heading and
// iteration 0 on the listing and the error log, the iterations on the
// listing only. The figures were checked against a separate dense
// implementation of the same iteration (the error estimate being a REAL,
// its last digit may differ from a double computation).
TEST_F(Pcg, IterationTableOfSwitch14) {
  DIAGST(14, 1);
  const Result r = pcg(laplacian(3), {1, 0, 0, 0, 0, 0, 0, 0, 1}, 50, 1e-6f);
  ASSERT_EQ(r.flag, 0);
  const std::string head =
      " PRECONDITIONED CONJUGATE GRADIENT FOR N =        9\n"
      " ITER   ERROR ESTIMATE            ALPHA             BETA\n"
      "    0      5.07845E-02\n";
  EXPECT_EQ(fs_.read("errors"), head);
  EXPECT_EQ(fs_.read("listing"), head +
                                     "    1      2.82098E-03      1.23986E+00      0.00000E+00\n"
                                     "    2      1.51174E-04      1.01896E+00      8.53042E-04\n"
                                     "    3      5.76227E-07      9.37608E-01      4.28945E-03\n");
}

// The 27-point stencil on an m x m x m grid, its lower triangle built
// directly in compressed columns: columns of up to 14 stored terms, of every
// length that the sums over a column meet.
Csc stencil27(int m, double diagonal) {
  Csc c;
  const auto index = [m](int x, int y, int z) { return x + m * (y + m * z); };
  for (int z = 0; z < m; ++z)
    for (int y = 0; y < m; ++y)
      for (int x = 0; x < m; ++x) {
        const int j = index(x, y, z);
        std::vector<int> rows;
        for (int dz = -1; dz <= 1; ++dz)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int X = x + dx, Y = y + dy, Z = z + dz;
              if (X < 0 || Y < 0 || Z < 0 || X >= m || Y >= m || Z >= m || index(X, Y, Z) <= j) continue;
              rows.push_back(index(X, Y, Z));
            }
        std::sort(rows.begin(), rows.end());
        c.ia.push_back(static_cast<word>(c.a.size() + 1));
        c.ja.push_back(j + 1);
        c.a.push_back(diagonal);
        for (int i : rows) {
          c.ja.push_back(i + 1);
          c.a.push_back(-1.0 - 0.01 * double((i + j) % 7));
        }
      }
  c.ia.push_back(static_cast<word>(c.a.size() + 1));
  return c;
}

// An elastic-like system on an m x m x m grid of nodes with three freedoms
// each: freedom d of node a meets freedom e of a neighbour b when d == e or
// when the step from a to b moves along axis d or e, and the freedoms of
// one node meet each other only on every fourth node, so that some 3 x 3
// blocks of nodes are partly empty.
// Freedom `dropped` of the grid's numbering (from 0; -1: none) is left out
// as a fixed freedom is, so that the equations after it no longer group in
// triples.
Csc elastic27(int m, int dropped) {
  const int nodes = m * m * m;
  const auto equation = [&](int node, int d) {
    const int g = 3 * node + d;
    return g == dropped ? -1 : g - (dropped >= 0 && g > dropped ? 1 : 0);
  };
  const auto coupling = [](int node, int d, int other, int e, const int step[3]) {
    if (node == other) return d == e ? 36.0 : (node % 4 == 0 ? 0.5 + 0.1 * (d + e) : 0.0);
    if (d == e) return -1.0 - 0.01 * double((node + other + d) % 7);
    return 0.1 * double(std::abs(step[d]) + std::abs(step[e]));
  };
  Csc c;
  for (int a = 0; a < nodes; ++a)
    for (int d = 0; d < 3; ++d) {
      const int j = equation(a, d);
      if (j < 0) continue;
      const int ax = a % m, ay = (a / m) % m, az = a / (m * m);
      std::vector<std::pair<int, double>> rows;
      for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int X = ax + dx, Y = ay + dy, Z = az + dz;
            if (X < 0 || Y < 0 || Z < 0 || X >= m || Y >= m || Z >= m) continue;
            const int b = X + m * (Y + m * Z);
            const int step[3] = {dx, dy, dz};
            for (int e = 0; e < 3; ++e) {
              const int i = equation(b, e);
              const double v = coupling(a, d, b, e, step);
              if (i >= j && (v != 0.0 || i == j)) rows.emplace_back(i, v);
            }
          }
      std::sort(rows.begin(), rows.end());
      c.ia.push_back(static_cast<word>(c.a.size() + 1));
      for (const auto& [i, v] : rows) {
        c.ja.push_back(i + 1);
        c.a.push_back(v);
      }
    }
  c.ia.push_back(static_cast<word>(c.a.size() + 1));
  return c;
}

// PCGSOL on c to the tolerance 1e-12 within maxit iterations under the
// load sin(0.013 i) + 0.25; returns the flag.
word solve_to_1e12(const Csc& c, word maxit, Vector& x) {
  const auto n = static_cast<word>(c.ia.size() - 1);
  const auto N = static_cast<std::size_t>(n);
  Vector b(N), l(c.a.size()), u(N), r(N), z(N);
  for (std::size_t i = 0; i < N; ++i) b[i] = std::sin(0.013 * double(i)) + 0.25;
  std::vector<word> ia = c.ia;
  x.assign(N, 0.0);
  float err = 0;
  word flag = 0;
  PCGSOL(n, static_cast<word>(c.a.size()), c.ja, ia, c.a, b, x, maxit, 1e-12f, l, u, r, z, err, flag);
  return flag;
}

// The sweeps over the factor's node blocks give what the sweeps over its
// stored terms give: on triples of equations with partly empty blocks, on
// equations that no longer group in triples after a fixed freedom (the
// last block holding two), and on a single equation; the blocks pay only
// where the equations group in triples.
TEST_F(Pcg, BlockedSweepsMatchTheScalarOnes) {
  Csc single;
  single.ia = {1, 2};
  single.ja = {1};
  single.a = {5.0};
  const struct {
    const char* name;
    Csc c;
    bool pay;
  } cases[] = {{"full triples", elastic27(4, -1), true},
               {"a fixed freedom", elastic27(4, 40), false},
               {"single equation", single, false}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name);
    const auto n = static_cast<word>(t.c.ia.size() - 1);
    const auto N = static_cast<std::size_t>(n);
    Vector l = t.c.a, w(N);
    std::vector<word> ia = t.c.ia;
    word first = 0;
    PCGICF(n, t.c.ja, ia, l, w, first);
    ASSERT_EQ(first, 0);
    NodeBlocks b = node_blocks(n, t.c.ja, ia);
    EXPECT_EQ(node_blocks_pay(b, static_cast<std::int64_t>(t.c.a.size())), t.pay);
    fill_node_blocks(b, t.c.ja, ia, l);
    Vector v(N), want(N, std::nan("")), got(N, std::nan(""));
    for (std::size_t i = 0; i < N; ++i) v[i] = std::cos(0.7 * double(i)) + 0.1;
    PCGPRE(n, t.c.ja, ia, l, v, want);
    const double vy = block_precondition(b, v, got);
    double dot = 0.0;
    for (std::size_t i = 0; i < N; ++i) {
      EXPECT_NEAR(got[i], want[i], 1e-13 * std::abs(want[i])) << i;
      dot += v[i] * want[i];
    }
    EXPECT_NEAR(vy, dot, 1e-13 * std::abs(dot));
  }
}

// With the factor in node blocks the iteration takes the iterations and
// reaches the displacements that the sweeps over the stored terms reached
// (recorded once), on whole triples and with the last freedom fixed (the
// last block holding two equations).
TEST_F(Pcg, NodeBlocksKeepIterationsAndResult) {
  const struct {
    int dropped;
    double x[4];
  } cases[] = {
      {-1, {0.010900272951114441, -0.013338363736243752, 0.02624522968331092, 0.027223954733510247}},
      {1028, {0.010900288967647876, -0.013425225706350071, 0.026250159945572664, 0.026773943359184042}}};
  for (const auto& t : cases) {
    SCOPED_TRACE(t.dropped);
    const Csc c = elastic27(7, t.dropped);
    const auto n = static_cast<word>(c.ia.size() - 1);
    const auto N = static_cast<std::size_t>(n);
    ASSERT_TRUE(node_blocks_pay(node_blocks(n, c.ja, c.ia), static_cast<std::int64_t>(c.a.size())));
    Vector x;
    EXPECT_EQ(solve_to_1e12(c, 7, x), 1);
    ASSERT_EQ(solve_to_1e12(c, 8, x), 0);
    const std::size_t at[] = {0, N / 3, N / 2, N - 1};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(x[at[k]], t.x[k], 1e-10 * std::abs(t.x[k])) << at[k];
  }
}

// On a 3D stencil of 2,197 equations the iteration takes the number of
// iterations and reaches the displacements that the plain single-sum
// product and sweeps reached (recorded once): the sums split into partial
// sums change only the order of the additions.
TEST_F(Pcg, SplitSumsKeepIterationsAndResult) {
  const Csc c = stencil27(13, 28.0);
  const std::size_t N = c.ia.size() - 1;
  Vector x;
  EXPECT_EQ(solve_to_1e12(c, 13, x), 1);
  ASSERT_EQ(solve_to_1e12(c, 14, x), 0);
  const struct {
    std::size_t i;
    double x;
  } recorded[] = {{0, 0.022171352995283899},
                  {N / 3, 0.12432976304584714},
                  {N / 2, 0.17760310616435721},
                  {N - 1, 0.012070765238739322}};
  for (const auto& r : recorded) EXPECT_NEAR(x[r.i], r.x, 1e-10 * r.x) << r.i;
}

// The full symmetric matrix of a stored lower triangle, each stored term
// placed at (i, j) and (j, i).
Dense full(const Csc& c) {
  const std::size_t n = c.ia.size() - 1;
  Dense k = test::zeros(static_cast<int>(n));
  for (std::size_t j = 0; j < n; ++j)
    for (word p = c.ia[j]; p < c.ia[j + 1]; ++p) {
      const auto i = static_cast<std::size_t>(c.ja[static_cast<std::size_t>(p - 1)] - 1);
      k[i][j] = k[j][i] = c.a[static_cast<std::size_t>(p - 1)];
    }
  return k;
}

Vector times(const Dense& k, const Vector& x) {
  Vector y(x.size(), 0.0);
  for (std::size_t i = 0; i < x.size(); ++i)
    for (std::size_t j = 0; j < x.size(); ++j) y[i] += k[i][j] * x[j];
  return y;
}

// The product against the full matrix: on a pattern with an empty column
// (row 3 is reached only from column 1) and columns reaching far below
// their diagonal, and on the 27-point stencil, into a vector that held
// garbage before.
TEST_F(Pcg, ProductMatchesTheFullMatrix) {
  Csc small;
  small.ia = {1, 4, 6, 6, 8, 9, 10};
  small.ja = {1, 3, 6, 2, 5, 4, 6, 5, 6};
  small.a = {4, -1, 0.5, 5, -2, 3, 1.5, 6, 2};
  for (const Csc& c : {small, stencil27(5, 28.0)}) {
    const auto n = static_cast<word>(c.ia.size() - 1);
    Vector x(c.ia.size() - 1), y(x.size(), std::nan(""));
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = 1.0 + 0.37 * double(i % 5) - 0.11 * double(i);
    PCGMV(n, x, y, c.ja, c.ia, c.a);
    const Vector want = times(full(c), x);
    for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(y[i], want[i], 1e-12 * (1.0 + std::abs(want[i]))) << i;
  }
}

// The preconditioner inverts M = (I + L) D (I + L)^T built from the
// incomplete factor: M (M^-1 v) gives v back.
TEST_F(Pcg, PreconditionerInvertsTheFactor) {
  const Csc c = stencil27(5, 28.0);
  const auto n = static_cast<word>(c.ia.size() - 1);
  const auto N = static_cast<std::size_t>(n);
  Vector l = c.a, w(N);
  std::vector<word> ia = c.ia;
  word first = 0;
  PCGICF(n, c.ja, ia, l, w, first);
  ASSERT_EQ(first, 0);
  Dense unit_l = test::zeros(n), d = test::zeros(n);
  for (std::size_t j = 0; j < N; ++j) {
    unit_l[j][j] = 1.0;
    d[j][j] = l[static_cast<std::size_t>(ia[j] - 1)];
    for (word p = ia[j] + 1; p < ia[j + 1]; ++p)
      unit_l[static_cast<std::size_t>(c.ja[static_cast<std::size_t>(p - 1)] - 1)][j] = l[static_cast<std::size_t>(p - 1)];
  }
  Vector v(N), y(N, std::nan(""));
  for (std::size_t i = 0; i < N; ++i) v[i] = std::cos(0.7 * double(i)) + 0.1;
  PCGPRE(n, c.ja, ia, l, v, y);
  // M y = (I + L) (D ((I + L)^T y)).
  Vector t(N, 0.0);
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t j = 0; j < N; ++j) t[i] += unit_l[j][i] * y[j];
  for (std::size_t i = 0; i < N; ++i) t[i] *= d[i][i];
  const Vector back = times(unit_l, t);
  for (std::size_t i = 0; i < N; ++i) EXPECT_NEAR(back[i], v[i], 1e-12) << i;
}

// ---- The driver ----

class Driver : public ::testing::Test {
 protected:
  Driver() : fs_(4, 129) { reset_solve_state(); }

  // Solves with the stiffness k (both triangles stored) by the method, the
  // work array being the open core from word 1.
  Vector solve(const Dense& k, const Vector& b, word method, word sign = 1, word lwork = 0) {
    test::write_symmetric(kKll, k);
    test::write_columns(kRhs, {b});
    SOLBLK& s = solblk();
    s = SOLBLK{};
    s.factor.file = kKll;
    HDRGET(kKll, s.factor.header());
    s.rhs.file = kRhs;
    HDRGET(kRhs, s.rhs.header());
    s.solution.file = kSol;
    s.solution.type = 2;
    s.sign = sign;
    SPSOLV(1, lwork > 0 ? lwork : CORLFT(1), method);
    HDRPUT(kSol, s.solution.header());
    return test::read_columns(kSol).at(0);
  }

  FreshFileSystem fs_;
};

TEST_F(Driver, ToleranceAndIterationLimit) {
  struct Case {
    float given, used;
  };
  for (const Case c : {Case{0.0f, 1.0e-6f}, Case{0.7f, 1.0e-6f}, Case{-1.0f, 1.0e-6f}, Case{1.0e-20f, 7.1054274e-12f},
                       Case{1.0e-8f, 1.0e-8f}, Case{0.5f, 0.5f}}) {
    sysw().PCGTOL = c.given;
    EXPECT_EQ(iteration_tolerance(), c.used) << c.given;
  }
  sysw().PCGMXI = 0;
  EXPECT_EQ(iteration_limit(40), 100);
  EXPECT_EQ(iteration_limit(5000), 5000);
  sysw().PCGMXI = 7;
  EXPECT_EQ(iteration_limit(5000), 7);
}

// Both methods solve the Laplacian, sign -1 solves for -b, an empty load
// gives an empty solution; a density word of 0 in the header (a large sparse
// matrix) changes nothing, the terms being counted.
TEST_F(Driver, BothMethodsAgreeWithDenseSolve) {
  sysw().PCGTOL = 1.0e-12f;
  const Dense k = laplacian(6);
  Vector b(k.size());
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = 1.0 + 0.1 * double(i);
  const Vector want = test::dense_solve(k, b);
  for (word method : {1, 2}) {
    SCOPED_TRACE(method);
    const Vector x = solve(k, b, method);
    for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(x[i], want[i], 1e-10);
    const Vector neg = solve(k, b, method, -1);
    for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(neg[i], -want[i], 1e-10);
    EXPECT_EQ(solve(k, Vector(b.size(), 0.0), method), Vector(b.size(), 0.0));
    EXPECT_EQ(solblk().solution.density, 0);
  }
  std::array<word, 6> h{};
  test::write_symmetric(kKll, k);
  HDRGET(kKll, h);
  h[5] = 0;
  HDRPUT(kKll, h);
  SOLBLK& s = solblk();
  s.factor.file = kKll;
  HDRGET(kKll, s.factor.header());
  s.rhs.file = kRhs;
  test::write_columns(kRhs, {b});
  HDRGET(kRhs, s.rhs.header());
  s.solution = MCB{kSol, 0, 0, 0, 2};
  s.sign = 1;
  SPSOLV(1, CORLFT(1), 2);
  HDRPUT(kSol, s.solution.header());
  const Vector x = test::read_columns(kSol).at(0);
  for (std::size_t i = 0; i < b.size(); ++i) EXPECT_NEAR(x[i], want[i], 1e-12);
}

// A column whose stored part starts below its diagonal (the zero diagonal
// not stored) or that holds nothing ends the run as the profile
// decomposition does, naming the row, for either method.
TEST_F(Driver, MissingDiagonalEndsTheRunAsTheProfileMethodDoes) {
  const Dense zero_diagonal = {{2, 1, 0}, {1, 0, 1}, {0, 1, 2}};
  const Dense null_column = {{2, 0, 1}, {0, 0, 0}, {1, 0, 2}};
  for (word method : {1, 2}) {
    EXPECT_RUN_ENDS_WITH(fs_, solve(zero_diagonal, {1, 1, 1}, method),
                         "0*** SDCOMP FATAL MESSAGE ---  DECOMPOSITION ABORTED AT        2-TH ROW BECAUSE OF "
                         "ZERO DIAGONAL");
    EXPECT_RUN_ENDS_WITH(fs_, solve(null_column, {1, 1, 1}, method),
                         "0*** SDCOMP FATAL MESSAGE ---  DECOMPOSITION ABORTED AT        2-TH ROW BECAUSE OF "
                         "NULL COLUMN");
  }
}

// One iteration on the Laplacian: the two lines of message 1001 and an
// error end.
TEST_F(Driver, NoConvergenceEndsTheRun) {
  sysw().PCGMXI = 1;
  sysw().PCGTOL = 1.0e-10f;
  const Dense k = laplacian(8);
  EXPECT_RUN_ENDS_WITH(fs_, solve(k, Vector(k.size(), 1.0), 1),
                       "0*** SYSTEM FATAL MESSAGE   1001, PRECONDITIONED CONGRUENT GRADIENT FAILED.\n"
                       "          CONVERGENSE CRITERIA WAS NOT SATISFIED.\n");
}

// Work arrays below what each method's layout needs: fatal 5 and 6.
TEST_F(Driver, WorkArrayTooSmall) {
  const Dense k = laplacian(6);
  // 36 equations, 96 terms: method 1 needs 11 n + 5 nnz + 1 = 877 words.
  EXPECT_RUN_ENDS_WITH(fs_, solve(k, Vector(k.size(), 1.0), 1, 1, 876), "INSUFFICIENT MEMORY IN PCG",
                       "REQUIRED =     877");
  EXPECT_RUN_ENDS_WITH(fs_, solve(k, Vector(k.size(), 1.0), 2, 1, 598),
                       "INSUFFICIENT MEMORY IN LHS MATRIX FOR SPARSE SOLVER", "REQUIRED =     599");
}

}  // namespace
}  // namespace zephsol
