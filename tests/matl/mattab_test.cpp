// Material table: selection through the change lists, the strength-reduction
// factor and its print line, the undefined material, the step-function
// tables and the hardening slope and its integral.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "support/matfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {
namespace {

using test::load_table;
using test::material;

class MatSelect : public test::MatlTest {
 protected:
  void SetUp() override {
    MatlTest::SetUp();
    load_table({material(10, 1, 1, 0, {{mw::E, 100.f}}), material(11, 1, 1, 0, {{mw::E, 110.f}}),
                material(12, 0, 0, 0, {{mw::E, 120.f}})});
  }
  static void add(MTCLST& list, word key, word mid, word order) {
    list.entry[static_cast<std::size_t>(list.count++)] = MTCENT{key, mid, order};
  }
};

TEST_F(MatSelect, ChangeListPrecedence) {
  struct Case {
    const char* what;
    word group;
    std::vector<std::array<word, 3>> by_group, by_id;
    word expected;
  };
  const Case cases[] = {
      {"no change", 3, {}, {}, 10},
      {"equal orders take the ID list", 3, {{3, 12, 2}}, {{10, 11, 2}}, 11},
      {"a later group change wins", 3, {{3, 12, 3}}, {{10, 11, 2}}, 12},
      {"a later ID change wins", 3, {{3, 12, 1}}, {{10, 11, 2}}, 11},
      {"group list alone", 3, {{5, 11, 9}, {3, 12, 0}}, {}, 12},
      {"ID list alone", 3, {}, {{7, 12, 4}, {10, 11, 0}}, 11},
      {"group 0 ignores the group list", 0, {{0, 12, 5}}, {}, 10},
      {"another group's entry", 4, {{3, 12, 5}}, {}, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto& st = matl_state();
    st.MTCGRP = {};
    st.MTCMID = {};
    for (const auto& e : c.by_group) add(st.MTCGRP, e[0], e[1], e[2]);
    for (const auto& e : c.by_id) add(st.MTCMID, e[0], e[1], e[2]);
    MATSEL(10, c.group, 1);
    EXPECT_EQ(matcom().MATID, c.expected);
    EXPECT_FLOAT_EQ(matcom().w(mw::E), 10.0f * static_cast<float>(c.expected));
    EXPECT_EQ(mattab_entry()[1], c.expected);
  }
}

TEST_F(MatSelect, CopiesTheEntryWords) {
  load_table({material(10, 1, 1, 0, {{mw::E, 100.f}}),
              material(30, 3, 0, 0, {{mw::E, 1.f}, {mw::DCPA, 100.f}, {27, 27.f}}),
              material(40, 1, 3, 0, {{mw::E, 200.f}, {mw::SSRINC, 29.f}}, {{0.f, 5.f}, {1.f, 3.f}})});
  MATSEL(30, 0, 1);
  EXPECT_EQ(matcom().MATKND, 3);
  EXPECT_FLOAT_EQ(matcom().w(mw::DCPA), 100.f);
  EXPECT_FLOAT_EQ(matcom().w(27), 27.f);
  MATSEL(40, 0, 1);
  EXPECT_EQ(matcom().NF5, 2);
  EXPECT_FLOAT_EQ(matcom().w(mw::SSRINC), 29.f);
  EXPECT_EQ(hardening_pairs().size(), 4u);
  // The table index of the entry: the first word of the table is 1.
  EXPECT_EQ(matcom().MTBCUR, 1 + 30 + 28);
  EXPECT_EQ(matcom().MTBEND, 1 + 30 + 28 + 34);
}

class StrengthReduction : public test::MatlTest {
 protected:
  void SetUp() override {
    MatlTest::SetUp();
    load_table({material(20, 1, 4, 0, {{mw::E, 1000.f}, {mw::C, 10.f}, {mw::PHAI, 30.f}, {mw::SSRSTA, 0.1f},
                                       {mw::SSRINC, 0.01f}})});
  }
};

TEST_F(StrengthReduction, FactorFollowsTheCumulativeStep) {
  stpctr().NSTEPC = 1;
  const std::string quiet = test::capture_listing([] { MATSEL(20, 0, 1); });
  EXPECT_FLOAT_EQ(matcom().w(mw::SSRSTA), 0.1f);
  stpctr().NSTEPC = 6;
  const std::string report = test::capture_listing([] { MATSEL(20, 0, 3); });
  EXPECT_FLOAT_EQ(matcom().w(mw::SSRSTA), 0.15f);
  EXPECT_EQ(word_real(mattab_entry()[mw::SSRSTA]), 0.1f);  // the table itself is unchanged
  EXPECT_EQ(quiet, "");
  EXPECT_EQ(report, "");
}

TEST_F(StrengthReduction, StressRecoveryPrintsTheFactor) {
  stpctr().NSTEPC = 6;
  const word before = sysw().NLINE = 10;
  const std::string text = test::capture_listing([] { MATSEL(20, 0, 2); });
  // C / F = 10 / 0.15, tan(30 deg) / F = 0.57735 / 0.15; the phi in Shift-JIS.
  EXPECT_EQ(text, " *** Total Facotr of Safety :  0.1500  ( C:  66.67,  tan\x83\xd3:  3.85 )\n\n");
  EXPECT_EQ(sysw().NLINE, before + 2);
}

TEST_F(StrengthReduction, OtherCriteriaHaveNoFactor) {
  load_table({material(21, 1, 1, 0, {{mw::SSRSTA, 0.1f}, {mw::SSRINC, 0.01f}})});
  stpctr().NSTEPC = 6;
  EXPECT_EQ(test::capture_listing([] { MATSEL(21, 0, 2); }), "");
  EXPECT_FLOAT_EQ(matcom().w(mw::SSRSTA), 0.1f);
}

TEST_F(MatSelect, UndefinedMaterialEndsTheRun) {
  const auto out = test::fatal_output([] {
    // The ID list sends material 10 to 99, which the table does not hold.
    matl_state().MTCMID.count = 1;
    matl_state().MTCMID.entry[0] = MTCENT{10, 99, 1};
    MATSEL(10, 0, 1);
  });
  const std::string line = "0*** USER FATAL MESSAGE 2332, ELEMENT    4711 REFERES UNDEFINED MATERIAL ID      99";
  EXPECT_NE(out.listing.find(line), std::string::npos) << out.listing;
  EXPECT_NE(out.errors.find(line), std::string::npos) << out.errors;
  EXPECT_TRUE(test::has_message(out.errors, 780)) << out.errors;
}

// Writes the material entries as the single record of MATD, with its length in header word 2.
void write_matd(const std::vector<word>& rec, word buf) {
  DBOPEN(MATD, buf, kWrite);
  DBWRIT(MATD, rec.data(), static_cast<word>(rec.size()), 1);
  DBCLOS(MATD, kCloseRewind);
  const std::array<word, 6> head{1, static_cast<word>(rec.size()), 0, 0, 0, 0};
  HDRPUT(MATD, head);
}

std::vector<word> two_materials() {
  std::vector<word> rec = material(10, 1, 1, 0, {{mw::E, 100.f}});
  const std::vector<word> second = material(12, 3, 0, 0, {{mw::DCK, 500.f}});
  rec.insert(rec.end(), second.begin(), second.end());
  return rec;
}

TEST(MaterialLoad, TableAtTheTopOfTheFreeArea) {
  reset_matl_state();
  zephsol::testing::FreshFileSystem fs(1);
  constexpr word kZ = 11, kBuf = 3001;
  const std::vector<word> rec = two_materials();
  const auto len = static_cast<word>(rec.size());
  write_matd(rec, kBuf);
  word free = 1000;
  MATLOD(MATD, kZ, free, kBuf);
  EXPECT_EQ(free, 1000 - len);
  EXPECT_EQ(core().w(kZ + 1), len);  // the header in the first words of the area
  const word first = kZ + 1000 - len;
  EXPECT_EQ(matcom().MTBFST, first);
  EXPECT_EQ(matcom().MTBEND, first + len);
  for (word i = 0; i < len; ++i) EXPECT_EQ(core().w(first + i), rec[static_cast<std::size_t>(i)]);
  MATSEL(12, 0, 1);
  EXPECT_EQ(matcom().MTBCUR, first + 30);
  EXPECT_FLOAT_EQ(matcom().w(mw::DCK), 500.f);
}

TEST(MaterialLoad, TableThatDoesNotFitEndsTheRun) {
  reset_matl_state();
  zephsol::testing::FreshFileSystem fs(1);
  const std::vector<word> rec = two_materials();
  write_matd(rec, 3001);
  const auto out = test::fatal_output([&] {
    word free = static_cast<word>(rec.size()) - 1;
    MATLOD(MATD, 11, free, 3001);
  });
  EXPECT_TRUE(test::has_message(out.errors, 4)) << out.errors;
}

// The table of the examples: (0, 5), (1, 3), (2, 1).
const std::vector<word> kTable{real_word(0.f), real_word(5.f), real_word(1.f), real_word(3.f),
                               real_word(2.f), real_word(1.f)};

TEST(StepTable, ValuesAtAndBetweenTheBreaks) {
  const std::pair<double, double> cases[] = {{-1, 5}, {0, 5}, {0.5, 5}, {1, 3}, {1.5, 3}, {2, 1}, {7, 1}};
  for (const auto& [x, y] : cases) {
    double v = -1;
    TABVAL(kTable, 3, x, v);
    EXPECT_EQ(v, y) << "x = " << x;
  }
}

TEST(StepTable, Integrals) {
  struct Case {
    double x1, x2, r;
  };
  const Case cases[] = {
      {0.0, 1.5, 5.0 * 1 + 3.0 * 0.5},  // across one break
      {0.5, 0.8, 5.0 * 0.3},            // inside one interval
      {-1.0, 0.0, 5.0},                 // before the first abscissa: y1
      {1.5, 4.0, 3.0 * 0.5 + 1.0 * 2},  // beyond the last: yN
      {-1.0, 3.0, 5.0 * 2 + 3.0 + 1.0},
      {1.0, 1.0, 0.0},
  };
  for (const Case& c : cases) {
    double r = -1;
    TABINT(kTable, 3, c.x1, c.x2, r);
    EXPECT_NEAR(r, c.r, 1e-12) << c.x1 << " .. " << c.x2;
  }
}

TEST_F(MatSelect, HardeningSlopeAndItsIntegral) {
  load_table({material(50, 1, 3, 0, {{mw::HDASH, 7.f}}),
              material(51, 1, 3, 0, {}, {{0.f, 40.f}, {0.01f, 25.f}, {0.025f, 10.f}, {0.05f, 0.f}})});
  MATSEL(50, 0, 1);
  double h = 0, r = 0;
  HRDSLP(1, 0.3, h);
  HRDINT(1, 0.3, r);
  EXPECT_DOUBLE_EQ(h, 7.0);
  EXPECT_DOUBLE_EQ(r, 7.0 * 0.3);

  // The integral of the tabulated slope by the midpoint rule on a fine grid.
  MATSEL(51, 0, 1);
  for (const double eps : {0.004, 0.01, 0.017, 0.04, 0.08}) {
    const int n = 100000;
    double sum = 0;
    for (int i = 0; i < n; ++i) {
      HRDSLP(1, (i + 0.5) * eps / n, h);
      sum += h * eps / n;
    }
    HRDINT(1, eps, r);
    EXPECT_NEAR(r, sum, 40.0 * eps / n) << "eps = " << eps;
  }
}

TEST_F(MatSelect, TableAndArgumentErrorsEndTheRun) {
  struct Case {
    const char* what;
    std::function<void()> fn;
    word code;
  };
  const Case cases[] = {
      {"slope argument", [] { double h; HRDSLP(2, 0.0, h); }, 4353},
      {"integral argument", [] { double r; HRDINT(0, 0.0, r); }, 4353},
      {"one pair", [] { double y; TABVAL(kTable, 1, 0.5, y); }, 4085},
      {"no pair to integrate", [] { double r; TABINT(kTable, 0, 0.0, 1.0, r); }, 4085},
      // Ascending abscissae leave no gap; only a value that compares with none of them falls through.
      {"no interval", [] { double y; TABVAL(kTable, 3, std::nan(""), y); }, 4084},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_TRUE(test::has_message(test::fatal_output(c.fn).errors, c.code));
  }
}

}  // namespace
}  // namespace zephsol
