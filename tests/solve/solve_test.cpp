// The solve module on a block of HEX8 elements from the deck through the
// model modules, the element matrices, the assembly and the constraint
// reduction, by each method: a prescribed stretch without load and an end
// load both give the uniform uniaxial field of the closed form
//   u = eps (x, -nu y, -nu z),  eps = delta / L or sigma / E,
// which the HEX8 element reproduces exactly, and the forces of constraint
// balance the stress sigma = E eps over the section.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "support/asmfix.h"
#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/ema.h"
#include "zephsol/solve/mce.h"
#include "zephsol/solve/solve.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/solve/tria.h"

namespace zephsol {
namespace {

constexpr int kNx = 3, kNy = 2, kNz = 2;
constexpr double kHx = 0.5, kHy = 0.75, kHz = 0.25;  // element edges
constexpr double kLength = kNx * kHx, kArea = kNy * kHy * kNz * kHz;
constexpr double kE = 1.0e4;
constexpr float kNu = 0.3f;
constexpr word kFree = 16 + 64 + 256, kFixed = 16 + 2;
constexpr word kPrescribedValues = 1 << 29;

const test::HexGrid kBlock{kNx, kNy, kNz,
                           [](int i, int j, int k) { return std::array<double, 3>{i * kHx, j * kHy, k * kHz}; }};

using Vector = std::vector<double>;

// The block with rollers on x = 0, y = 0 and z = 0; the face x = L either
// moved by a prescribed stretch or loaded by a uniform traction.
class Block : public ::testing::Test {
 protected:
  Block() : run_(test::hex_block_deck(kBlock)) {}

  void SetUp() override {
    ASSERT_TRUE(run_.model_phase());
    reset_solve_state();
    test::first_pass_stiffness();
    EMA(ESK, ECT, ADIC, 0, KGG);
    const auto eqix = test::block_records(EQIX);
    for (std::size_t p = 0; p < eqix[1].size(); p += 2) first_[eqix[1][p]] = eqix[1][p + 1] >> 10;
    ng_ = test::block_header(EQIX)[1];
  }

  std::size_t equation(int i, int j, int k, int a) const {
    return static_cast<std::size_t>(first_.at(kBlock.node(i, j, k)) - 1 + a);
  }

  // The closed-form field for the strain eps along x.
  Vector field(double eps) const {
    Vector u(static_cast<std::size_t>(ng_));
    for (int k = 0; k <= kNz; ++k)
      for (int j = 0; j <= kNy; ++j)
        for (int i = 0; i <= kNx; ++i) {
          u[equation(i, j, k, 0)] = eps * i * kHx;
          u[equation(i, j, k, 1)] = -kNu * eps * j * kHy;
          u[equation(i, j, k, 2)] = -kNu * eps * k * kHz;
        }
    return u;
  }

  // USET with the rollers (and the x DOFs of the end face when stretched),
  // YS with the prescribed values of the field, P as given; MCE.
  void constrain(bool stretched, const Vector& u) {
    std::vector<word> sets(static_cast<std::size_t>(ng_), kFree);
    for (int k = 0; k <= kNz; ++k)
      for (int j = 0; j <= kNy; ++j)
        for (int i = 0; i <= kNx; ++i) {
          const std::array<bool, 3> fixed{i == 0 || (stretched && i == kNx), j == 0, k == 0};
          for (int a = 0; a < 3; ++a)
            if (fixed[static_cast<std::size_t>(a)]) sets[equation(i, j, k, a)] = kFixed;
        }
    test::write_uset(USET, sets);
    Vector ys;
    bool nonzero = false;
    for (std::size_t g = 0; g < sets.size(); ++g)
      if (sets[g] == kFixed) {
        ys.push_back(u[g]);
        nonzero = nonzero || u[g] != 0.0;
      }
    if (nonzero) {
      std::array<word, 6> h{};
      HDRGET(USET, h);
      h[5] |= kPrescribedValues;
      HDRPUT(USET, h);
      test::write_columns(YS, {ys});
    }
    sets_ = sets;
    MCE(USET, KGG, GST, KLL, KSS, GKFS);
  }

  // The uniform traction sigma on the face x = L as nodal forces.
  Vector end_load(double sigma) const {
    Vector p(static_cast<std::size_t>(ng_), 0.0);
    for (int k = 0; k < kNz; ++k)
      for (int j = 0; j < kNy; ++j)
        for (int dj = 0; dj <= 1; ++dj)
          for (int dk = 0; dk <= 1; ++dk) p[equation(kNx, j + dj, k + dk, 0)] += sigma * kHy * kHz / 4;
    return p;
  }

  // SOLVE by the method; DUG and OQGV as full vectors.
  void solve(word method, const Vector& load, bool with_ys) {
    test::write_columns(DPG, {load});
    word k = KLL;
    if (method == 0) {
      TRIA(KLL, USET, EQIX, LLL);
      ASSERT_EQ(sysw().IERFLG, 0);
      k = LLL;
    }
    SOLVE(USET, k, DPG, with_ys ? YS : 0, GST, KSS, GKFS, 0, DUG, OQGV, method, SolverWork{});
    dug_ = test::read_columns(DUG);
    oqgv_ = test::read_columns(OQGV);
  }

  void expect_field(const Vector& want, double tol) const {
    ASSERT_EQ(dug_.size(), 1u);
    for (std::size_t g = 0; g < want.size(); ++g) EXPECT_NEAR(dug_[0][g], want[g], tol) << "equation " << g + 1;
  }

  // The forces of constraint: along x at x = 0 and x = L, and the largest
  // one on a y or z roller.
  struct Reactions {
    double left = 0, right = 0, rollers = 0;
  };
  Reactions reactions() const {
    Reactions r;
    for (int k = 0; k <= kNz; ++k)
      for (int j = 0; j <= kNy; ++j)
        for (int i = 0; i <= kNx; ++i) {
          if (i == 0) r.left += oqgv_[0][equation(i, j, k, 0)];
          if (i == kNx) r.right += oqgv_[0][equation(i, j, k, 0)];
          r.rollers = std::max({r.rollers, std::abs(oqgv_[0][equation(i, j, k, 1)]),
                                std::abs(oqgv_[0][equation(i, j, k, 2)])});
        }
    return r;
  }

  test::DeckRun run_;
  std::map<word, word> first_;
  word ng_ = 0;
  std::vector<word> sets_;
  std::vector<Vector> dug_, oqgv_;
};

// Moving the end face by delta without any load: the reduced load is
// -GKFS y_s, the field is exact, the end reactions are -/+ E (delta / L) A
// and the rollers carry nothing. The three methods agree.
TEST_F(Block, PrescribedStretchWithoutLoadByEachMethod) {
  constexpr double delta = 0.01;
  const Vector exact = field(delta / kLength);
  constrain(true, exact);
  const double force = kE * delta / kLength * kArea;
  for (word method : {0, 1, 2}) {
    SCOPED_TRACE(method);
    if (method == 1) sysw().PCGTOL = 1.0e-10f;
    solve(method, Vector(static_cast<std::size_t>(ng_), 0.0), true);
    expect_field(exact, method == 1 ? 1e-10 : 1e-13);
    const Reactions r = reactions();
    EXPECT_NEAR(r.left, -force, 1e-8 * force);
    EXPECT_NEAR(r.right, force, 1e-8 * force);
    EXPECT_LT(r.rollers, 1e-8 * force);
  }
  // Nothing is left in the scratch data blocks.
  for (word s : {301, 302, 303, 304}) EXPECT_EQ(test::block_header(s), (std::array<word, 6>{})) << s;
}

// An end load P on the free face: the bar stretches by P L / (E A), the
// reactions at x = 0 take -P, the load column gives no force of constraint
// where it acts.
TEST_F(Block, EndLoadStretchesTheBarByPLOverEA) {
  constexpr double sigma = 2.5;
  const Vector exact = field(sigma / kE);
  constrain(false, exact);
  solve(0, end_load(sigma), false);
  expect_field(exact, 1e-14);
  EXPECT_NEAR(dug_[0][equation(kNx, kNy, kNz, 0)], sigma * kArea * kLength / (kE * kArea), 1e-15);
  const Reactions r = reactions();
  EXPECT_NEAR(r.left, -sigma * kArea, 1e-12);
  EXPECT_DOUBLE_EQ(r.right, 0.0);
  const auto h = test::block_header(DUG);
  EXPECT_EQ(h[0], 1);
  EXPECT_EQ(h[1], ng_);
  EXPECT_EQ(h[2], 2);
  EXPECT_EQ(h[3], 2);
}

}  // namespace
}  // namespace zephsol

namespace zephsol {
namespace {

// ---- Small systems written straight as the reduction's input ----

constexpr word kDep = 16 + 1;
constexpr word kOwnSystems = 1 << 30;
constexpr word kNoElement = 512;

class Constrained : public ::testing::Test {
 protected:
  Constrained() : fs_(4, 129) { reset_solve_state(); }

  // KGG, USET (header word 6 with the extra flags), GST (n x o columns) and
  // YS as given; MCE, TRIA and SOLVE with the load p.
  void solve(const test::Dense& k, const std::vector<word>& sets, word flags, const std::vector<Vector>& gst,
             const Vector& ys, const Vector& p, word rotb = 0) {
    test::write_symmetric(KGG, k);
    test::write_uset(USET, sets);
    std::array<word, 6> h{};
    HDRGET(USET, h);
    h[5] |= flags;
    if (!ys.empty()) h[5] |= kPrescribedValues;
    HDRPUT(USET, h);
    if (!gst.empty()) test::write_columns(GST, gst);
    if (!ys.empty()) test::write_columns(YS, {ys});
    MCE(USET, KGG, GST, KLL, KSS, GKFS);
    TRIA(KLL, USET, 0, LLL);
    ASSERT_EQ(sysw().IERFLG, 0);
    test::write_columns(DPG, {p});
    SOLVE(USET, LLL, DPG, ys.empty() ? 0 : YS, GST, KSS, GKFS, rotb, DUG, OQGV, 0, SolverWork{});
    dug_ = test::read_columns(DUG);
    oqgv_ = test::read_columns(OQGV);
  }

  zephsol::testing::FreshFileSystem fs_;
  std::vector<Vector> dug_, oqgv_;
};

// Two springs k1 (DOFs 1-2) and k2 (DOFs 3-4) tied by u3 = u2, DOF 1 held,
// F at DOF 4: the springs act in series as if DOFs 2 and 3 were one node;
// the tie forces at DOFs 2 and 3 are equal and opposite (q_n = -G q_o) and
// the support takes -F. DOF 5 lies on no active element: prescribed 0.3,
// it stays zero in DUG and OQGV.
TEST_F(Constrained, TieActsAsMergedNodes) {
  constexpr double k1 = 200, k2 = 50, F = 3;
  test::Dense k = test::zeros(5);
  k[0][0] = k[1][1] = k1;
  k[0][1] = k[1][0] = -k1;
  k[2][2] = k[3][3] = k2;
  k[2][3] = k[3][2] = -k2;
  // o set: DOF 1 (prescribed), DOF 3 (dependent), DOF 5; n set: DOFs 2, 4.
  const std::vector<word> sets{kFixed, kFree, kDep, kFree, kFixed + kNoElement};
  solve(k, sets, 0, {{0, 0}, {1, 0}, {0, 0}}, {0.0, 0.0, 0.3}, {0, 0, 0, F, 0});
  const Vector want{0, F / k1, F / k1, F / k1 + F / k2, 0};
  for (std::size_t g = 0; g < want.size(); ++g) EXPECT_NEAR(dug_[0][g], want[g], 1e-15) << g + 1;
  EXPECT_NEAR(oqgv_[0][0], -F, 1e-13);
  EXPECT_NEAR(oqgv_[0][1] + oqgv_[0][2], 0.0, 1e-13);
  EXPECT_NEAR(std::abs(oqgv_[0][2]), F, 1e-13);
  EXPECT_EQ(oqgv_[0][4], 0.0);
}

// A node on an inclined roller (free along (c, s), held across it), in its
// own system through ROTB, against the same node with the MPC
// u_y = (s / c) u_x: the same global displacements; DUG holds the nodal
// column, then its global twin; OQGV stays in the nodal axes.
TEST_F(Constrained, InclinedRollerEqualsTheMpcAlongTheIncline) {
  constexpr double kx = 100, ky = 40, F = 2;
  const double c = 0.8, s = 0.6;
  const Vector load{F, 0};

  // By MPC: u_x free, u_y dependent with G = (s / c).
  solve({{kx, 0}, {0, ky}}, {kFree, kDep}, 0, {{s / c}}, {}, load);
  const Vector global = dug_[0];
  ASSERT_EQ(dug_.size(), 1u);
  EXPECT_NEAR(global[0], F / (kx + (s / c) * (s / c) * ky), 1e-15);

  // In the node's system R = rows (c, s, 0), (-s, c, 0), (0, 0, 1): the
  // stiffness R K R^T as the assembly turns it.
  const double r[3][3] = {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
  test::Dense kr = test::zeros(2);
  const double kd[2] = {kx, ky};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      for (int m = 0; m < 2; ++m) kr[i][j] += r[i][m] * kd[m] * r[j][m];
  std::vector<word> entry{1 * 1024 + 2};
  for (const auto& row : r)
    for (double v : row) entry.push_back(real_word(static_cast<float>(v)));
  test::write_block(ROTB, {entry}, {1, 1, 0, 0, 0, 0});
  solve(kr, {kFree, kFixed}, kOwnSystems, {}, {}, load, ROTB);
  ASSERT_EQ(dug_.size(), 2u);
  EXPECT_NEAR(dug_[1][0], global[0], 1e-7 * global[0]);
  EXPECT_NEAR(dug_[1][1], global[1], 1e-7 * global[0]);
  EXPECT_EQ(dug_[0][1], 0.0);
  EXPECT_NEAR(dug_[0][0], std::hypot(global[0], global[1]), 1e-7 * global[0]);
  // The force across the incline in the nodal axes: (K' u')_2 - F'_2.
  ASSERT_EQ(oqgv_.size(), 1u);
  const double rf = static_cast<float>(-s) * F;
  EXPECT_NEAR(oqgv_[0][1], kr[1][0] * dug_[0][0] - rf, 1e-12);
  EXPECT_EQ(test::block_header(DUG)[0], 2);

  // The rotation list must fit below the buffers as the vector area does:
  // nG = 2 puts the vector area at words 3 to 6 and the list at 7 to 16;
  // with the lowest buffer at word 10 the run ends with message 3.
  const word lowest = 10;
  const word corend = lowest - 1 + 3 * sysw().NBUFSZ + 1;
  EXPECT_RUN_ENDS_WITH(fs_,
                       {
                         CORLIM(corend + 2);
                         SOLVE(USET, LLL, DPG, 0, GST, KSS, GKFS, ROTB, DUG, OQGV, 0, SolverWork{});
                       },
                       "INSUFFICIENT MEMORY.  REQUIRED =     403, CURRENT =     396 WORDS");
}

}  // namespace
}  // namespace zephsol
