// A block of HEX8 elements stretched by a prescribed end displacement, from
// the deck through the model modules, the element matrices, the assembly,
// the constraint reduction, the decomposition and the substitution: the
// free displacements are the uniform uniaxial field of the closed form
//   u = (delta / L) (x, -nu y, -nu z),
// which the HEX8 element reproduces exactly. The reduced load is
// -GKFS y_s, so the test also checks the constrained-by-free coupling.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "support/asmfix.h"
#include "support/solvefix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/ema.h"
#include "zephsol/solve/mce.h"
#include "zephsol/solve/tria.h"

namespace zephsol {
namespace {

constexpr int kNx = 3, kNy = 2, kNz = 2;
constexpr double kHx = 0.5, kHy = 0.75, kHz = 0.25;  // element edges
constexpr double kLength = kNx * kHx, kDelta = 0.01;
constexpr float kNu = 0.3f;

const test::HexGrid kBlock{kNx, kNy, kNz,
                           [](int i, int j, int k) { return std::array<double, 3>{i * kHx, j * kHy, k * kHz}; }};

TEST(PatchTest, PrescribedStretchGivesTheUniformUniaxialField) {
  test::DeckRun run(test::hex_block_deck(kBlock));
  ASSERT_TRUE(run.model_phase());
  test::first_pass_stiffness();
  EMA(ESK, ECT, ADIC, 0, KGG);

  // Rollers on the faces x = 0, y = 0 and z = 0; the face x = L moved by
  // delta along x. Every other DOF free.
  const word neq = test::block_header(EQIX)[1];
  std::vector<word> sets(static_cast<std::size_t>(neq), 16 + 64 + 256);
  std::vector<double> exact(static_cast<std::size_t>(neq)), prescribed;
  std::map<word, word> first;
  const auto eqix = test::block_records(EQIX);
  for (std::size_t p = 0; p < eqix[1].size(); p += 2) first[eqix[1][p]] = eqix[1][p + 1] >> 10;
  for (int k = 0; k <= kNz; ++k)
    for (int j = 0; j <= kNy; ++j)
      for (int i = 0; i <= kNx; ++i) {
        const auto f = static_cast<std::size_t>(first.at(kBlock.node(i, j, k)) - 1);
        const std::array<double, 3> u{kDelta / kLength * i * kHx, -kNu * kDelta / kLength * j * kHy,
                                      -kNu * kDelta / kLength * k * kHz};
        const std::array<bool, 3> fixed{i == 0 || i == kNx, j == 0, k == 0};
        for (std::size_t a = 0; a < 3; ++a) {
          exact[f + a] = u[a];
          if (fixed[a]) sets[f + a] = 16 + 2;
        }
      }
  for (std::size_t g = 0; g < sets.size(); ++g)
    if (sets[g] == 16 + 2) prescribed.push_back(exact[g]);
  test::write_uset(USET, sets);
  MCE(USET, KGG, GST, KLL, KSS, GKFS);

  // The reduced load -GKFS y_s, factor and solve.
  const auto gkfs = test::read_columns(GKFS);
  ASSERT_EQ(gkfs.size(), prescribed.size());
  std::vector<double> load(gkfs.front().size(), 0.0);
  for (std::size_t c = 0; c < gkfs.size(); ++c)
    for (std::size_t r = 0; r < load.size(); ++r) load[r] -= gkfs[c][r] * prescribed[c];
  TRIA(KLL, USET, EQIX, LLL);
  ASSERT_EQ(sysw().IERFLG, 0);
  const auto u = test::substitute(LLL, {load}, DPG, DUG);
  ASSERT_EQ(u.size(), 1u);

  std::size_t l = 0;
  for (std::size_t g = 0; g < sets.size(); ++g) {
    if (sets[g] == 16 + 2) continue;
    EXPECT_NEAR(u[0].at(l), exact[g], 1e-12) << "equation " << g + 1;
    ++l;
  }
  EXPECT_EQ(l, u[0].size());
}

}  // namespace
}  // namespace zephsol
