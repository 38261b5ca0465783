// The stress data recovery module on a block of two HEX8 cubes from the deck
// through the model modules: a displacement increment of uniform strain
// gives the elastic stress at every point of EIV1 and internal forces equal
// to the closed form of a uniform stress (sigma n / 4 at each corner of every
// boundary face), so that QG = PGM - internal forces vanishes when PGM holds
// them; the second column of a two-column increment; an excluded element;
// the temperature record check; the nodal-force print of the first recovery
// of a step. Then SINACT on a state record with optional blocks.
#include "zephsol/iter/sdr.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "elem/kfix.h"
#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/iter_records.h"

namespace zephsol {
namespace {

using V3 = std::array<double, 3>;
using M3 = std::array<V3, 3>;

constexpr int kNx = 2;  // cubes of edge 1 along x; one along y and z
int node_id(int i, int j, int k) { return 1 + i + (kNx + 1) * (j + 2 * k); }

std::string block_deck(std::string_view case_control = {}) {
  using test::card;
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\nMATERIAL\n" + card({"1", "0"}) + "\n" +
                  card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\nNODE\n";
  for (int k = 0; k <= 1; ++k)
    for (int j = 0; j <= 1; ++j)
      for (int i = 0; i <= kNx; ++i)
        b += card({std::to_string(node_id(i, j, k)), "", std::to_string(i), std::to_string(j), std::to_string(k)}) + "\n";
  b += "CONNECTI\n";
  const auto id = [](int i, int j, int k) { return std::to_string(node_id(i, j, k)); };
  for (int i = 0; i < kNx; ++i)
    b += card({std::to_string(i + 1), "1", "", "1", id(i, 0, 0), id(i + 1, 0, 0), id(i + 1, 1, 0), id(i, 1, 0),
               id(i, 0, 1), id(i + 1, 0, 1)}) +
         "\n" + card({"", id(i + 1, 1, 1), id(i, 1, 1)}) + "\n";
  return test::bulk_deck(b, case_control);
}

// The displacement gradient of the increment and its elastic stress
// (E = 1.0E+4, nu = 0.3 as REAL words).
const M3 kGrad{{{0.011, -0.004, 0.007}, {0.003, -0.006, 0.002}, {-0.005, 0.009, 0.004}}};

std::array<double, 6> strain() {
  const M3& a = kGrad;
  return {a[0][0], a[1][1], a[2][2], a[0][1] + a[1][0], a[1][2] + a[2][1], a[0][2] + a[2][0]};
}
std::array<double, 6> stress() {
  const double e = 1.0e4, nu = static_cast<float>(0.3);
  const double lam = e * nu / ((1 + nu) * (1 - 2 * nu)), g = e / (2 * (1 + nu));
  const auto s = strain();
  const double tr = s[0] + s[1] + s[2];
  return {lam * tr + 2 * g * s[0], lam * tr + 2 * g * s[1], lam * tr + 2 * g * s[2], g * s[3], g * s[4], g * s[5]};
}
// The stress tensor as a matrix.
M3 stress_tensor() {
  const auto s = stress();
  return {{{s[0], s[3], s[5]}, {s[3], s[1], s[4]}, {s[5], s[4], s[2]}}};
}

class SdrBlock : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = std::make_unique<test::DeckRun>(block_deck(case_control()));
    ASSERT_TRUE(run_->model_phase());
    const auto eqix = test::block_records(EQIX);
    for (std::size_t p = 0; p < eqix[1].size(); p += 2) first_[eqix[1][p]] = eqix[1][p + 1] >> 10;
    rows_ = test::block_header(EQIX)[1];
    iter_state().SDRLST = 1;  // no print unless a test asks for it
  }
  virtual std::string case_control() const { return {}; }

  word buffer() const { return sysw().COREND - 2 * sysw().NBUFSZ; }

  // Equation (0-based) of direction c of node (i, j, k).
  std::size_t eq(int i, int j, int k, int c) const {
    return static_cast<std::size_t>(first_.at(node_id(i, j, k)) - 1 + c);
  }

  // u = A x at every node.
  std::vector<double> field() const {
    std::vector<double> u(static_cast<std::size_t>(rows_));
    for (int k = 0; k <= 1; ++k)
      for (int j = 0; j <= 1; ++j)
        for (int i = 0; i <= kNx; ++i)
          for (int c = 0; c < 3; ++c)
            u[eq(i, j, k, c)] = kGrad[c][0] * i + kGrad[c][1] * j + kGrad[c][2] * k;
    return u;
  }

  // Internal forces of the uniform stress on the cubes from x0 to x1:
  // sigma n / 4 at the corners of every unit square of their box's faces.
  std::vector<double> box_forces(int x0, int x1) const {
    std::vector<double> f(static_cast<std::size_t>(rows_));
    const M3 s = stress_tensor();
    using Corner = std::array<int, 3>;
    const auto square = [&](const std::array<Corner, 4>& corners, const V3& n) {
      for (const Corner& q : corners)
        for (int c = 0; c < 3; ++c) f[eq(q[0], q[1], q[2], c)] += (s[c][0] * n[0] + s[c][1] * n[1] + s[c][2] * n[2]) / 4.0;
    };
    for (int side = 0; side < 2; ++side) {
      const double sign = side == 0 ? -1.0 : 1.0;
      const int x = side == 0 ? x0 : x1;
      square({{{x, 0, 0}, {x, 1, 0}, {x, 0, 1}, {x, 1, 1}}}, {sign, 0, 0});
      for (int i = x0; i < x1; ++i) {
        square({{{i, side, 0}, {i + 1, side, 0}, {i, side, 1}, {i + 1, side, 1}}}, {0, sign, 0});
        square({{{i, 0, side}, {i + 1, 0, side}, {i, 1, side}, {i + 1, 1, side}}}, {0, 0, sign});
      }
    }
    return f;
  }

  void write_vector(word file, const std::vector<std::vector<double>>& cols) const {
    MCB m{file, 0, rows_, kRectangular, 2, 0, 0};
    DBOPEN(file, buffer(), kWrite);
    for (const auto& c : cols) COLPUT(m, 2, c.data(), 1, rows_);
    DBCLOS(file, kCloseRewind);
    HDRPUT(file, m.header());
  }

  std::vector<double> read_vector(word file) const {
    std::array<word, 6> h{};
    HDRGET(file, h);
    MCB m{file, h[0], h[1], h[2], h[3], h[4], h[5]};
    std::vector<double> v(static_cast<std::size_t>(rows_), 0.0);
    word first = 1, last = rows_, empty = 0;
    DBOPEN(file, buffer(), kRead);
    COLGET(m, 2, v.data(), first, last, empty);
    DBCLOS(file, kCloseRewind);
    return v;
  }

  word recover(word xcld = 0, word entd = 0) {
    word flag = 99;
    SDR(EST, MATD, EIV0, DUG, entd, PGM, xcld, EIV1, QG, flag);
    return flag;
  }

  // Every point's stresses and the header word 6 of each element of EIV1.
  struct Record {
    word inactive;
    std::vector<std::array<double, 6>> points;
  };
  std::vector<Record> states() const {
    std::vector<Record> out;
    std::vector<word> area(20000);
    DBOPEN(EIV1, buffer(), kRead);
    for (int e = 0; e < kNx; ++e) {
      EIVRDA(EIV1, area);
      Record r{eivwka().head[5], {}};
      for (word p = 1; p <= eivwka().head[3]; ++p) {
        EIVGTA(p);
        r.points.push_back(eivwka().vec[0]);
      }
      out.push_back(r);
    }
    DBCLOS(EIV1, kCloseRewind);
    return out;
  }

  std::unique_ptr<test::DeckRun> run_;
  std::map<word, word> first_;
  word rows_ = 0;
};

double norm(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x * x;
  return std::sqrt(s);
}

void expect_vectors_near(const std::vector<double>& a, const std::vector<double>& b, double tol) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], tol) << "equation " << i + 1;
}

TEST_F(SdrBlock, UniformStrainGivesTheElasticStressAndBalancesItsNodalForces) {
  const std::vector<double> f = box_forces(0, kNx);
  write_vector(DUG, {field()});
  write_vector(PGM, {f});
  EXPECT_EQ(recover(), 0);
  EXPECT_EQ(iter_state().SDRLST, 0);
  // QG = PGM - internal forces: nothing left.
  const std::vector<double> qg = read_vector(QG);
  EXPECT_LT(norm(qg), 1e-10 * norm(f));
  const auto est = test::block_header(EST);
  const auto h = test::block_header(EIV1);
  EXPECT_EQ(h[0], kNx);
  EXPECT_GT(h[1], 0);
  EXPECT_EQ(h[2], est[1]);
  EXPECT_EQ(h[3], est[4]);
  EXPECT_EQ(h[5], 1);
  const auto s = stress();
  for (const auto& r : states()) {
    EXPECT_EQ(r.inactive, 0);
    ASSERT_EQ(r.points.size(), 9u);  // eight Gauss points and the centre
    for (const auto& p : r.points)
      for (std::size_t c = 0; c < 6; ++c) EXPECT_NEAR(p[c], s[c], 1e-6 * 100.0);
  }
}

// Without PGM's forces QG is minus the internal forces; with two columns in
// DUG the second is the increment.
TEST_F(SdrBlock, SecondColumnOfTheIncrementIsUsed) {
  std::vector<double> other(static_cast<std::size_t>(rows_), 0.5);
  write_vector(DUG, {other, field()});
  write_vector(PGM, {std::vector<double>(static_cast<std::size_t>(rows_), 0.0)});
  EXPECT_EQ(recover(), 0);
  std::vector<double> want = box_forces(0, kNx);
  for (double& v : want) v = -v;
  expect_vectors_near(read_vector(QG), want, 1e-9 * norm(want));
}

// Element 2 listed in XCLD: its state is cleared and marked inactive, its
// forces are not subtracted (QG = the forces of cube 2 alone).
TEST_F(SdrBlock, ExcludedElementIsClearedAndTakesNoPartInTheForces) {
  write_vector(DUG, {field()});
  write_vector(PGM, {box_forces(0, kNx)});
  const word list = 2;
  DBOPEN(XCLD, buffer(), kWrite);
  DBWRIT(XCLD, &list, 1, 1);
  DBCLOS(XCLD, kCloseRewind);
  HDRPUT(XCLD, std::array<word, 6>{1, 0, 0, 0, 0, 0});
  EXPECT_EQ(recover(XCLD), 0);
  const std::vector<double> want = box_forces(1, 2);
  expect_vectors_near(read_vector(QG), want, 1e-9 * norm(want));
  const auto r = states();
  EXPECT_EQ(r[0].inactive, 0);
  EXPECT_EQ(r[1].inactive, 1);
  for (const auto& p : r[1].points)
    for (double v : p) EXPECT_EQ(v, 0.0);
}

// A temperature record as long as the buffer of its block's longest record
// + 1 is a record that does not fit: -3825 with "ENTD" and L.
TEST_F(SdrBlock, TemperatureRecordOfTheWholeBufferEndsTheRun) {
  write_vector(DUG, {field()});
  write_vector(PGM, {box_forces(0, kNx)});
  const std::array<word, 3> rec{2, 0, 0};
  DBOPEN(ENTD, buffer(), kWrite);
  DBWRIT(ENTD, rec.data(), 3, 1);
  DBWRIT(ENTD, rec.data(), 3, 1);
  DBCLOS(ENTD, kCloseRewind);
  HDRPUT(ENTD, std::array<word, 6>{kNx, 2, 0, 0, 0, 0});  // L = 3
  EXPECT_EXIT(recover(0, ENTD), ::testing::ExitedWithCode(1), "");
  const std::string log = run_->text(test::kErrorFile);
  EXPECT_NE(log.find("3825"), std::string::npos) << log;
}

// ---- Nodal-force print ---------------------------------------------------------------

class SdrPrint : public SdrBlock {
 protected:
  std::string case_control() const override { return "OUTPUT\nREAC = ALL\n"; }
};

TEST_F(SdrPrint, FirstRecoveryOfAStepPrintsEveryElementsNodalForces) {
  write_vector(DUG, {field()});
  write_vector(PGM, {box_forces(0, kNx)});
  const std::size_t before = run_->listing().size();
  iter_state().SDRLST = 0;
  EXPECT_EQ(recover(), 0);
  const std::vector<std::string> lines = run_->listing();
  std::vector<std::string> forces;
  for (std::size_t i = before; i < lines.size(); ++i)
    if (lines[i].size() == 70 && lines[i].substr(0, 11) == std::string(11, ' ')) forces.push_back(lines[i]);
  ASSERT_EQ(forces.size(), 16u);  // eight nodes of each element
  // Element 1, its first node (1): the corner force sigma n / 4 summed over
  // the three faces at the corner (0, 0, 0), n = -x, -y, -z.
  const M3 s = stress_tensor();
  std::vector<FmtArg> args{1, 1};
  for (int c = 0; c < 3; ++c) args.emplace_back(-(s[c][0] + s[c][1] + s[c][2]) / 4.0);
  EXPECT_EQ(forces[0], fline("(11X,I5,4X,I5,6X,3(1X,1P,E12.4))", {args[0], args[1], args[2], args[3], args[4]}));
  EXPECT_EQ(forces[8].substr(11, 5), "    2");

  // An iteration after a first recovery that returned 1 (the word the step
  // keeps) prints nothing.
  iter_state().SDRLST = 1;
  const std::size_t after = run_->listing().size();
  EXPECT_EQ(recover(), 0);
  EXPECT_EQ(run_->listing().size(), after);
  EXPECT_EQ(iter_state().SDRLST, 0);
}

// ---- SINACT ------------------------------------------------------------------------------

TEST(Sinact, ClearsStressesStrainsAndStateBlocksButKeepsTheOthers) {
  test::make_element(1, std::vector<double>(24, 0.0), {});
  test::StateRecord st;
  for (word p = 1; p <= 9; ++p) {
    EIVGTA(p);
    EIVWK& a = eivwka();
    a.scalar = 3.0;
    a.vec[0] = {1, 2, 3, 4, 5, 6};
    a.vec[2] = {1, 1, 1, 1, 1, 1};
    for (std::size_t b : {0, 1, 5, 7, 10, 11}) a.sw[b] = 1;
    a.blk.b1.v = {1, 2, 3, 4, 5};
    a.blk.b2.epeq = 0.1;
    a.blk.b2.iv[0] = 1;
    a.blk.b8.v[2] = 7.0;
    a.blk.b11.iv = {3, 1};
    a.blk.b12[5] = 9.0;
    EIVPTA();
  }
  SINACT();
  EXPECT_EQ(eivwka().head[5], 1);
  for (word p = 1; p <= 9; ++p) {
    EIVGTA(p);
    const EIVWK& a = eivwka();
    EXPECT_EQ(a.scalar, 0.0);
    for (const auto& v : a.vec)
      for (double x : v) EXPECT_EQ(x, 0.0);
    for (std::size_t b : {0, 1, 7, 10}) EXPECT_EQ(a.sw[b], 0) << "block " << b + 1;
    EXPECT_EQ(a.sw[5], 1);
    EXPECT_EQ(a.sw[11], 1);
    EXPECT_EQ(a.blk.b12[5], 9.0);
  }
}

}  // namespace
}  // namespace zephsol
