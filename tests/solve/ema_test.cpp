// Stiffness assembly (EMA) against a dense reference assembly of the same
// element matrices, the rigid-body null space of a free HEX8 block, the
// node groups of a small open core, rotated nodal systems (T K T^T) and the
// run ends of malformed tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "support/asmfix.h"
#include "common/fatal.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/ema.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {
namespace {

using test::AsmElement;
using test::AsmModel;
using test::Dense;
using testing::FreshFileSystem;

void ema(word rotb = 0) { EMA(ESK, ECT, ADIC, rotb, KGG); }

// The upper triangle of a dense symmetric matrix by rows.
std::vector<double> packed(const Dense& k) {
  std::vector<double> p;
  for (std::size_t i = 0; i < k.size(); ++i)
    for (std::size_t j = i; j < k.size(); ++j) p.push_back(k[i][j]);
  return p;
}

Dense random_symmetric(std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> v(-1.0, 1.0);
  Dense k = test::zeros(n);
  for (int i = 0; i < n; ++i)
    for (int j = i; j < n; ++j) k[i][j] = k[j][i] = i == j ? 4.0 + v(rng) : v(rng);
  return k;
}

// The header a KGG of the dense matrix k must have: largest column and
// density from its non-zero terms.
std::array<word, 6> expected_header(const Dense& k) {
  const auto n = static_cast<word>(k.size());
  long long terms = 0;
  word largest = 0;
  for (std::size_t j = 0; j < k.size(); ++j) {
    word c = 0;
    for (std::size_t i = 0; i < k.size(); ++i) c += k[i][j] != 0.0 ? 1 : 0;
    terms += c;
    largest = std::max(largest, c);
  }
  return {n, n, 6, 2, largest, static_cast<word>(std::trunc(static_cast<double>(terms) / (double(n) * n) * 10000.0))};
}

// Nodes 1 (2 DOFs), 2 (3 DOFs), 3 (none) and 4 (2 DOFs) on equations 1-2,
// 3-5 and 6-7. Element 1: a 2-D element at nodes 1 and 2, whose term (1, 4)
// is an exact zero; element 2 at nodes 2 (all three DOFs) and 4, whose
// first diagonal term cancels element 1's at equation 3; element 3 at nodes
// 1 and 4 with the empty record [0].
AsmModel two_elements() {
  const Dense k1{{4.0, 1.0, -2.0, 0.0}, {1.0, 5.0, 1.0, -1.0}, {-2.0, 1.0, 7.5, 2.0}, {0.0, -1.0, 2.0, 6.0}};
  const Dense k2{{-7.5, 0.5, 1.5, -1.0, 2.0},
                 {0.5, 3.0, 0.25, 1.0, -0.5},
                 {1.5, 0.25, 2.0, 0.0, 1.0},
                 {-1.0, 1.0, 0.0, 9.0, 3.0},
                 {2.0, -0.5, 1.0, 3.0, 8.0}};
  AsmModel m;
  m.node_dofs = {2, 3, 0, 2};
  m.elements = {{{1, 2}, {2, 2}, packed(k1)}, {{2, 4}, {3, 2}, packed(k2)}, {{1, 4}, {2, 2}, {}}};
  return m;
}

TEST(Assembly, TwoElementsEqualTheDenseSumTermForTerm) {
  FreshFileSystem fs(1, 129);
  reset_solve_state();
  const AsmModel m = two_elements();
  test::write_assembly_tables(m);
  ema();

  const Dense ref = test::dense_stiffness(m);
  ASSERT_EQ(ref[2][2], 0.0);  // the cancelling pair
  ASSERT_EQ(ref[0][3], 0.0);  // the element's exact zero
  EXPECT_EQ(test::read_dense(KGG), ref);
  // Both triangles are stored and no zero: the stored rows of each column are
  // exactly the non-zero rows of the reference.
  const auto terms = test::stored_terms(KGG);
  ASSERT_EQ(terms.size(), ref.size());
  for (std::size_t j = 0; j < ref.size(); ++j) {
    std::vector<std::pair<word, double>> want;
    for (std::size_t i = 0; i < ref.size(); ++i)
      if (ref[i][j] != 0.0) want.emplace_back(static_cast<word>(i + 1), ref[i][j]);
    EXPECT_EQ(terms[j], want) << "column " << j + 1;
  }
  EXPECT_EQ(test::block_header(KGG), expected_header(ref));
  // One group: ECT and ESK each read once, in order, the empty record too.
  const auto& passes = solve_state().ema_passes;
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes[0].ect_reads, 3);
  EXPECT_EQ(passes[0].esk_reads, 3);
}

// ---- A free block of HEX8 elements through the model modules and EMG ----

// A distorted grid; every coordinate is exact in single precision.
const test::HexGrid kBlock{3, 2, 2, [](int i, int j, int k) {
                             return std::array<double, 3>{1.5 * i + 0.25 * j, j + 0.125 * k, 0.75 * k + 0.125 * i};
                           }};

// The rigid motions of the block: three translations and three rotations
// u = w x p about the basic axes, as vectors over the equations.
std::vector<std::vector<double>> rigid_motions(word neq) {
  std::map<word, word> eqw;
  const auto eqix = test::block_records(EQIX);
  for (std::size_t p = 0; p < eqix[1].size(); p += 2) eqw[eqix[1][p]] = eqix[1][p + 1];
  std::vector<std::vector<double>> modes(6, std::vector<double>(static_cast<std::size_t>(neq), 0.0));
  for (int k = 0; k <= kBlock.nz; ++k)
    for (int j = 0; j <= kBlock.ny; ++j)
      for (int i = 0; i <= kBlock.nx; ++i) {
        const word w = eqw.at(kBlock.node(i, j, k));
        const auto first = static_cast<std::size_t>((w >> 10) - 1);
        const auto x = kBlock.position(i, j, k);
        for (std::size_t a = 0; a < 3; ++a) {
          modes[a][first + a] = 1.0;
          // Rotation about axis a: u = e_a x p.
          const std::size_t b = (a + 1) % 3, c = (a + 2) % 3;
          modes[3 + a][first + b] = -x[c];
          modes[3 + a][first + c] = x[b];
        }
      }
  return modes;
}

// Node records of ADIC: the elements of the nodes whose first equation lies
// in [first, last].
std::set<word> elements_of(word first, word last) {
  std::set<word> out;
  for (const auto& r : test::block_records(ADIC)) {
    const word f = r[0] >> 10;
    if ((r[0] & 255) == 0 || f < first || f > last) continue;
    out.insert(r.begin() + 4, r.begin() + 4 + r[3]);
  }
  return out;
}

TEST(Assembly, FreeHexBlockHasTheRigidMotionsAsNullSpaceInOneGroupOrMany) {
  test::DeckRun run(test::hex_block_deck(kBlock));
  ASSERT_TRUE(run.model_phase());
  reset_solve_state();
  test::first_pass_stiffness();
  ema();
  ASSERT_EQ(solve_state().ema_passes.size(), 1u);

  const Dense k = test::read_dense(KGG);
  const auto neq = static_cast<word>(k.size());
  ASSERT_EQ(neq, 3 * (kBlock.nx + 1) * (kBlock.ny + 1) * (kBlock.nz + 1));
  double norm = 0.0;
  for (std::size_t i = 0; i < k.size(); ++i)
    for (std::size_t j = 0; j < k.size(); ++j) {
      EXPECT_EQ(k[i][j], k[j][i]);
      norm += k[i][j] * k[i][j];
    }
  norm = std::sqrt(norm);
  for (const auto& u : rigid_motions(neq)) {
    double ku = 0.0, uu = 0.0;
    for (std::size_t i = 0; i < k.size(); ++i) {
      double r = 0.0;
      for (std::size_t j = 0; j < k.size(); ++j) r += k[i][j] * u[j];
      ku += r * r;
      uu += u[i] * u[i];
    }
    EXPECT_LT(std::sqrt(ku), 1e-12 * norm * std::sqrt(uu));
  }

  // Again with an open core that holds only part of the column blocks: the
  // same matrix, written in three or more groups.
  const auto one_group = test::stored_terms(KGG);
  const auto header = test::block_header(KGG);
  std::int64_t blocks = 0;
  for (const auto& r : test::block_records(ADIC))
    blocks += 6 + 2 * std::int64_t{r[1]} + 2 * std::int64_t{r[0] & 255} * r[2];
  const std::int64_t ne = test::block_header(ECT)[0], nd = test::block_header(ECT)[3];
  const std::int64_t fixed = test::block_header(ADIC)[5] + 4 + nd * (nd + 1) + 2 * nd + 2 * sysw().NBUFSZ + 4 * ne +
                             (ne + 31) / 32 + 4;
  const word corend = sysw().COREND;
  sysw().COREND = static_cast<word>(1 + fixed + blocks / 3);
  ema();
  sysw().COREND = corend;
  EXPECT_EQ(test::stored_terms(KGG), one_group);
  EXPECT_EQ(test::block_header(KGG), header);

  // The first pass reads every element; each later one only the elements
  // its nodes list, each once.
  const auto passes = solve_state().ema_passes;
  ASSERT_GE(passes.size(), 3u);
  EXPECT_EQ(passes[0].ect_reads, ne);
  for (std::size_t p = 1; p < passes.size(); ++p) {
    const auto wanted = static_cast<std::int64_t>(elements_of(passes[p].first, passes[p].last).size());
    EXPECT_EQ(passes[p].ect_reads, wanted) << "pass " << p + 1;
    EXPECT_EQ(passes[p].esk_reads, wanted) << "pass " << p + 1;
    EXPECT_LT(wanted, ne);
    EXPECT_GT(passes[p].first, passes[p - 1].last);
  }
}

// ---- Nodes in their own systems ----

// Three nodes of three DOFs; elements 1 (nodes 1, 2) and 2 (nodes 2, 3) of
// random matrices; node 2 rotated. Block size 9 turns all three DOFs, block
// size 4 (a 2-D type on a 3-DOF node) only the first two.
struct RotationCase {
  const char* name;
  word block;
  std::array<double, 9> r;
};

class RotatedNode : public ::testing::TestWithParam<RotationCase> {};

TEST_P(RotatedNode, GivesTKTt) {
  FreshFileSystem fs(1, 129);
  std::mt19937 rng(7);
  AsmModel m;
  m.node_dofs = {3, 3, 3};
  const word block = GetParam().block;
  m.elements = {{{1, 2}, {3, 3}, packed(random_symmetric(rng, 6)), block},
                {{2, 3}, {3, 3}, packed(random_symmetric(rng, 6)), block}};
  const test::Rotations rot{{2, GetParam().r}};
  test::write_assembly_tables(m);
  test::write_rotations(m, rot);
  ema(ROTB);
  const Dense want = test::rotated(m, rot, test::dense_stiffness(m));
  EXPECT_LT(test::relative_difference(want, test::read_dense(KGG)), 1e-14);
  // The third DOF of the node stays as it was when only pairs are turned.
  if (block == 4) {
    const Dense plain = test::dense_stiffness(m);
    const Dense got = test::read_dense(KGG);
    EXPECT_NEAR(got[5][5], plain[5][5], 1e-14 * std::abs(plain[5][5]));
  }
}

// Rows: local axes in basic components (all exact in single precision).
INSTANTIATE_TEST_SUITE_P(Assembly, RotatedNode,
                         ::testing::Values(RotationCase{"solid", 9, {0.6, 0.8, 0.0, -0.48, 0.36, 0.8, 0.64, -0.48, 0.6}},
                                           RotationCase{"plane", 4, {0.6, -0.8, 0.0, 0.8, 0.6, 0.0, 0.0, 0.0, 1.0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Assembly, BlockSizeFiveEndsTheRunWithMessage935) {
  FreshFileSystem fs(1, 129);
  std::mt19937 rng(3);
  AsmModel m;
  m.node_dofs = {3, 3};
  m.elements = {{{1, 2}, {3, 3}, packed(random_symmetric(rng, 6)), 5}};
  test::write_assembly_tables(m);
  test::write_rotations(m, {{2, {1, 0, 0, 0, 1, 0, 0, 0, 1}}});
  EXPECT_RUN_ENDS_WITH(fs, ema(ROTB), "935");
  const std::string listing = fs.read("listing");
  EXPECT_NE(listing.find("0*** SYSTEM FATAL MESSAGE  935, WRONG ROTATION PARAMETER\n"
                         "          IELM =     1   NEDOF =     6   NENOD =     2   N4OR9 =     5\n"),
            std::string::npos)
      << listing;
}

// ---- Malformed tables and a short open core ----

// spoil changes the model before its tables are written; rotations, when
// given, changes a copy from which ROTB is written (node 2 rotated).
struct Fault {
  const char* name;
  void (*spoil)(AsmModel&);
  void (*rotations)(AsmModel&);
  const char* text;
};

class AssemblyFault : public ::testing::TestWithParam<Fault> {};

TEST_P(AssemblyFault, EndsTheRun) {
  FreshFileSystem fs(1, 129);
  AsmModel m = two_elements();
  GetParam().spoil(m);
  test::write_assembly_tables(m);
  if (GetParam().rotations) {
    GetParam().rotations(m);
    test::write_rotations(m, {{2, {1, 0, 0, 0, 1, 0, 0, 0, 1}}});
  }
  if (std::string(GetParam().name) == "open_core") sysw().COREND = 2 * sysw().NBUFSZ + 40;
  EXPECT_RUN_ENDS_WITH(fs, ema(GetParam().rotations ? ROTB : 0), GetParam().text);
}

void unchanged(AsmModel&) {}

INSTANTIATE_TEST_SUITE_P(
    Assembly, AssemblyFault,
    ::testing::Values(
        Fault{"esk_size", [](AsmModel& m) { m.elements[0].k.pop_back(); }, nullptr,
              "RECORD SIZE        9 IS NOT COMPATIBLE ON FILE ESK ."},
        Fault{"element_dofs", [](AsmModel& m) { m.elements[1].dofs = {2, 2}; }, nullptr,
              "RECORD SIZE       15 IS NOT COMPATIBLE ON FILE ESK ."},
        Fault{"rotation_dofs", unchanged, [](AsmModel& m) { m.elements[0].dofs = {2, 3}; },
              "WRONG STRUCTURED FILE ROTB, ERROR CODE=       1"},
        Fault{"open_core", unchanged, nullptr, "INSUFFICIENT MEMORY."}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephsol
