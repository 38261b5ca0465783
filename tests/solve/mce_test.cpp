// Constraint reduction (MCE) against the dense partitions of T^T K T, with T
// the map from the n-set displacements to all (u_o = G^T u_n), on a table of
// DOF sets; the matrices of an earlier pass never survive, and no scratch
// block is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "support/asmfix.h"
#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/solve/mce.h"

namespace zephsol {
namespace {

using test::Dense;
using testing::FreshFileSystem;

constexpr int kN = 9;
// USET words: free, prescribed, dependent, independent term of an MPC, free
// on no active element.
constexpr word kFree = 16 + 64 + 256, kFixed = 16 + 2, kSlave = 16 + 1, kMaster = 16 + 32 + 64 + 256,
               kIdle = 16 + 8 + 64 + 512;

// One MPC equation: u(slave) = sum of coefficient x u(master).
struct Tie {
  int slave;
  std::vector<std::pair<int, float>> masters;
};

struct SetCase {
  const char* name;
  std::vector<word> uset;  // one word per DOF (1-based DOF = index + 1)
  std::vector<Tie> ties;
};
void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

// GST (n x o, single precision): column of each o-set DOF in order, row =
// the n index of each master.
void write_gst(const SetCase& c, word no, word nn) {
  std::vector<int> nindex(c.uset.size(), 0);
  int n = 0;
  for (std::size_t i = 0; i < c.uset.size(); ++i)
    if ((c.uset[i] & 3) == 0) nindex[i] = ++n;
  MCB m{GST, 0, nn, 2, 1, 0, 0};
  DBOPEN(GST, 2, kWrite);
  for (std::size_t i = 0; i < c.uset.size(); ++i) {
    if ((c.uset[i] & 3) == 0) continue;
    std::vector<float> col(static_cast<std::size_t>(nn), 0.0f);
    for (const Tie& t : c.ties)
      if (t.slave == static_cast<int>(i) + 1)
        for (const auto& [master, g] : t.masters) col[static_cast<std::size_t>(nindex[static_cast<std::size_t>(master - 1)] - 1)] = g;
    COLPUT(m, 1, col.data(), 1, nn);
  }
  DBCLOS(GST, kCloseRewind);
  m.density = density_of(m.density, nn, no);
  HDRPUT(GST, m.header());
}

// The stiffness: random, symmetric, no term in the rows and columns of DOFs
// on no active element.
Dense stiffness(const SetCase& c) {
  std::mt19937 rng(11);
  Dense k = test::ragged_spd(rng, kN, kN);
  for (int i = 0; i < kN; ++i)
    for (int j = 0; j < kN; ++j)
      if ((c.uset[static_cast<std::size_t>(i)] & 512) != 0 || (c.uset[static_cast<std::size_t>(j)] & 512) != 0)
        k[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = 0.0;
  return k;
}

// The expected matrices from the dense K: T (nG x n) with identity rows for
// the n set and the rows of G^T for the o set; KLL = the L rows and columns of
// T^T K T, KSS = K_oo, GKFS = K_no + G K_oo.
struct Expected {
  Dense kll, kss, gkfs;
};

Expected reduce(const SetCase& c, const Dense& k) {
  std::vector<int> o, n, l;
  for (int i = 0; i < kN; ++i) {
    const word w = c.uset[static_cast<std::size_t>(i)];
    if ((w & 3) != 0) {
      o.push_back(i);
    } else {
      n.push_back(i);
      if ((w & 8) == 0) l.push_back(static_cast<int>(n.size()) - 1);
    }
  }
  const auto at = [&](const std::vector<int>& v, int x) {
    return static_cast<int>(std::find(v.begin(), v.end(), x) - v.begin());
  };
  // G (n x o).
  Dense g(n.size(), std::vector<double>(o.size(), 0.0));
  for (const Tie& t : c.ties)
    for (const auto& [master, coef] : t.masters) g[static_cast<std::size_t>(at(n, master - 1))][static_cast<std::size_t>(at(o, t.slave - 1))] = coef;
  // T (nG x n).
  Dense t(kN, std::vector<double>(n.size(), 0.0));
  for (std::size_t q = 0; q < n.size(); ++q) t[static_cast<std::size_t>(n[q])][q] = 1.0;
  for (std::size_t p = 0; p < o.size(); ++p)
    for (std::size_t q = 0; q < n.size(); ++q) t[static_cast<std::size_t>(o[p])][q] = g[q][p];
  Dense ttkt(n.size(), std::vector<double>(n.size(), 0.0));
  for (std::size_t a = 0; a < n.size(); ++a)
    for (std::size_t b = 0; b < n.size(); ++b)
      for (int i = 0; i < kN; ++i)
        for (int j = 0; j < kN; ++j)
          ttkt[a][b] += t[static_cast<std::size_t>(i)][a] * k[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] *
                        t[static_cast<std::size_t>(j)][b];
  Expected e;
  for (int a : l) {
    e.kll.emplace_back();
    for (int b : l) e.kll.back().push_back(ttkt[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]);
  }
  for (int a : o) {
    e.kss.emplace_back();
    for (int b : o) e.kss.back().push_back(k[static_cast<std::size_t>(a)][static_cast<std::size_t>(b)]);
  }
  for (std::size_t a = 0; a < n.size(); ++a) {
    e.gkfs.emplace_back();
    for (std::size_t b = 0; b < o.size(); ++b) {
      double v = k[static_cast<std::size_t>(n[a])][static_cast<std::size_t>(o[b])];
      for (std::size_t q = 0; q < o.size(); ++q) v += g[a][q] * k[static_cast<std::size_t>(o[q])][static_cast<std::size_t>(o[b])];
      e.gkfs.back().push_back(v);
    }
  }
  return e;
}

// A matrix data block as rows x columns; empty when it is absent.
Dense read_matrix(word file) {
  const auto cols = test::read_columns(file);
  if (cols.empty()) return {};
  Dense a(cols.front().size(), std::vector<double>(cols.size(), 0.0));
  for (std::size_t j = 0; j < cols.size(); ++j)
    for (std::size_t i = 0; i < cols[j].size(); ++i) a[i][j] = cols[j][i];
  return a;
}

void expect_matrix(const Dense& want, word file, const char* name) {
  const auto h = test::block_header(file);
  if (want.empty() || want.front().empty()) {
    EXPECT_EQ(h, (std::array<word, 6>{})) << name << " should be released";
    return;
  }
  const Dense got = read_matrix(file);
  ASSERT_EQ(got.size(), want.size()) << name;
  ASSERT_EQ(got.front().size(), want.front().size()) << name;
  EXPECT_LT(test::relative_difference(want, got), 1e-14) << name;
}

class Reduction : public ::testing::TestWithParam<SetCase> {};

TEST_P(Reduction, GivesThePartitionsOfTtKT) {
  FreshFileSystem fs(1, 129);
  const SetCase& c = GetParam();
  ASSERT_EQ(c.uset.size(), static_cast<std::size_t>(kN));
  const Dense k = stiffness(c);
  test::write_symmetric(KGG, k);
  test::write_uset(USET, c.uset);
  const auto h = test::block_header(USET);
  if (!c.ties.empty()) write_gst(c, h[3], h[0] - h[3]);
  // Matrices of an earlier pass, which must not survive.
  for (word f : {KLL, KSS, GKFS}) test::write_symmetric(f, test::zeros(3));

  MCE(USET, KGG, GST, KLL, KSS, GKFS);

  const Expected e = reduce(c, k);
  expect_matrix(e.kll, KLL, "KLL");
  expect_matrix(e.kss, KSS, "KSS");
  expect_matrix(e.gkfs, GKFS, "GKFS");
  if (!e.kll.empty()) {
    EXPECT_EQ(test::block_header(KLL)[2], 6);
  }
  if (!e.kss.empty()) {
    EXPECT_EQ(test::block_header(KSS)[2], 6);
  }
  for (word s : {S301, S302, S303, S304}) {
    EXPECT_EQ(test::block_header(s), (std::array<word, 6>{})) << s;
    EXPECT_TRUE(test::block_records(s).empty()) << s;
  }
}

std::vector<word> sets(std::initializer_list<std::pair<int, word>> special) {
  std::vector<word> u(kN, kFree);
  for (const auto& [dof, w] : special) u[static_cast<std::size_t>(dof - 1)] = w;
  return u;
}

INSTANTIATE_TEST_SUITE_P(
    Mce, Reduction,
    ::testing::Values(
        SetCase{"supports", sets({{1, kFixed}, {2, kFixed}, {3, kFixed}}), {}},
        SetCase{"prescribed_values", sets({{4, kFixed}, {9, kFixed}}), {}},
        SetCase{"one_tie", sets({{1, kFixed}, {2, kFixed}, {6, kSlave}, {3, kMaster}, {8, kMaster}}),
                {{6, {{3, 0.75f}, {8, -0.5f}}}}},
        SetCase{"inactive_freedoms", sets({{1, kFixed}, {2, kFixed}, {5, kIdle}, {9, kIdle}}), {}},
        SetCase{"tie_and_inactive_freedoms", sets({{1, kFixed}, {7, kSlave}, {3, kMaster}, {5, kIdle}}),
                {{7, {{3, 2.0f}}}}},
        SetCase{"inactive_without_constraint", sets({{4, kIdle}}), {}},
        SetCase{"all_constrained", std::vector<word>(kN, kFixed), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Mce, SetCountOtherThanTheHeaderEndsTheRun) {
  FreshFileSystem fs(1, 129);
  test::write_symmetric(KGG, test::zeros(3));
  test::write_block(USET, {{kFixed, kFree, kFixed}}, {3, 0, 0, 1, 0, kFixed | kFree});
  EXPECT_RUN_ENDS_WITH(fs, MCE(USET, KGG, GST, KLL, KSS, GKFS), "REASON CODE =        -2,         1");
}

}  // namespace
}  // namespace zephsol
