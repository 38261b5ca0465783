// Joint matrices by joint state: initial, open, closed (locked or beyond the
// closure), sliding and softening, with the degenerate peaks and the errors.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "support/matfix.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/matl/plastic.h"

namespace zephsol {
namespace {

constexpr double kDeg = 3.14159265359 / 180;

class JointMatrix : public test::MatlTest {
 protected:
  void SetUp() override {
    MatlTest::SetUp();
    elem.ICLASS = 10;
    elem.NS = 3;
    // kn 1000, closure 0.01 (locks below a traction of -10), ks 200; residual c 2, phi 20, ratio 3.
    elem.PROP = {1000.f, 0.01f, 0.f, 200.f, 0.f, 2.f, 20.f, 3.f};
    test::load_table({test::material(10, 0, 0, 0, {{mw::C, 5.f}, {mw::PHAI, 30.f}})});
    MATSEL(10, 0, 1);
  }
  // Joint state: block 11 present with state code and lock flag; normal traction sn.
  void state(word code, word lock, double sn) {
    point.SW[10] = 1;
    point.B11I = {code, lock};
    point.SIG[0] = sn;
  }
  std::array<double, 6> matrix(word idim) {
    std::array<double, 6> d;
    d.fill(-99.0);
    JNTMAT(idim, d);
    return d;
  }
};

TEST_F(JointMatrix, StiffnessByState) {
  // Softening at sn = -20: tp = tan 30 x 20 + 5, up = tp / 200, tr = tan 20 x 20 + 2,
  // Ks = (tr - tp) / ((3 - 1) up).
  const double tp = std::tan(30 * kDeg) * 20 + 5, tr = std::tan(20 * kDeg) * 20 + 2;
  const double soft = (tr - tp) / (2 * tp / 200);
  struct Case {
    const char* what;
    word sw, code, lock;
    double sn, kn, ks;
  };
  const Case cases[] = {
      {"no joint state yet", 0, 3, 1, -50, 1000, 200},
      {"initial", 1, 0, 1, -50, 1000, 200},
      {"open", 1, 1, 1, -50, 1e-3, 2e-4},
      {"closed, frictional", 1, 2, 0, -5, 1000, 200},
      {"closed beyond the closure", 1, 2, 0, -20, 1e9, 200},
      {"closed, locked", 1, 2, 1, 0, 1e9, 200},
      {"sliding", 1, 3, 0, -5, 1000, 2e-4},
      {"softening", 1, 4, 0, -20, 1e9, soft},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state(c.code, c.lock, c.sn);
    point.SW[10] = c.sw;
    const auto d2 = matrix(2);
    EXPECT_NEAR(d2[0], c.kn, 1e-9 * c.kn);
    EXPECT_EQ(d2[1], 0.0);
    EXPECT_NEAR(d2[2], c.ks, 1e-9 * std::fabs(c.ks));
    EXPECT_EQ(d2[3], -99.0);
    const auto d3 = matrix(3);
    EXPECT_EQ(d3[0], d2[0]);
    EXPECT_EQ(d3[1], 0.0);
    EXPECT_EQ(d3[2], 0.0);
    EXPECT_EQ(d3[3], d2[2]);
    EXPECT_EQ(d3[4], 0.0);
    EXPECT_EQ(d3[5], d2[2]);
  }
}

TEST_F(JointMatrix, SofteningWithDegeneratePeak) {
  // Residual equal to peak: no softening slope.
  elem.PROP[5] = 5.f, elem.PROP[6] = 30.f;
  state(4, 0, -20);
  EXPECT_EQ(matrix(2)[2], 0.0);
  // No cohesion and no normal traction: the peak displacement is 0, the joint slides.
  matcom().w(mw::C) = 0.f;
  state(4, 0, 0.0);
  EXPECT_EQ(matrix(2)[2], 200.0 / 1e6);
  // No shear stiffness.
  matcom().w(mw::C) = 5.f;
  elem.PROP[3] = 0.f;
  EXPECT_EQ(matrix(2)[2], 0.0);
}

TEST_F(JointMatrix, ErrorsEndTheRun) {
  elem.PROP[7] = 1.f;  // residual displacement not beyond the peak
  state(4, 0, -20);
  const auto softening = test::fatal_output([&] { matrix(2); });
  EXPECT_TRUE(test::has_message(softening.errors, 971)) << softening.errors;
  state(2, 0, -5);
  const auto order = test::fatal_output([&] { matrix(4); });
  EXPECT_TRUE(test::has_message(order.errors, 8015)) << order.errors;
}

}  // namespace
}  // namespace zephsol
