// Interface and control block: xdslin's checks, defaults and reset, and the
// table of (entry, stage on entry) -> (IER, stage after) for every entry.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "support/sparse_fixture.h"
#include "zephsol/sparse/sparse.h"

namespace zephsol::sparse {
namespace {

using Lines = std::vector<std::string>;

class Control : public SparseTest {
 protected:
  std::vector<double> work;
  i32 init(i32 n, i32 lwork, char sym = 'S', i32 msglvl = 0) {
    work.assign(static_cast<std::size_t>(std::max(lwork, 1)), -7.0);
    i32 ier = 99;
    xdslin(n, sym, msglvl, kMsgUnit, 11, 12, 13, 14, 15, 17, work.data(), lwork, ier);
    return ier;
  }
  double word(int k) const { return work[static_cast<std::size_t>(k)]; }
};

TEST_F(Control, NoEquationsIsRefusedWhateverTheWorkSpace) {
  EXPECT_EQ(init(0, 100000, 'S', 1), -102);
  EXPECT_EQ(word(0), -1.0);
  EXPECT_EQ(listing()[0], "0***** INPUT ARGUMENT ERROR REPORTED BY SUBROUTINE xdslin  ");
  EXPECT_EQ(messages(), (Lines{"", "     *** fatal error no.  -102 *** number of equations input to",
                               "     subroutine xdslin is nonpositive.  neqns =          0"}));
}

TEST_F(Control, TheSmallestWorkSpaceAndOneWordLess) {
  const i32 n = 1001;
  const i32 need = 10 * 501 + 200;
  EXPECT_EQ(init(n, need), 0);
  EXPECT_EQ(init(n, need - 1, 'S', 1), -101);
  EXPECT_EQ(word(0), -1.0);
  EXPECT_EQ(listing()[1], "       5210 WORDS OF WORKING STORAGE NEEDED");
  EXPECT_EQ(messages(), (Lines{"", "     *** fatal error no.  -101 *** subroutine xdslin requires            5210",
                               "     words of workspace and has only            5209 available."}));
}

TEST_F(Control, ControlBlockDefaults) {
  ASSERT_EQ(init(250, 5000, 'S', 0), 0);
  const std::map<int, double> expect = {
      {0, 1.0},   {1, 1.0},   {6, 0.0},   {7, kMsgUnit}, {10, 11},  {11, 12},  {15, 13},
      {16, 14},   {18, 15},   {19, 17},   {20, 250},     {121, 4.0}, {171, static_cast<double>(0.01f)},
      {172, 1.0}, {173, 128}, {174, 1.0}, {182, 100.0},  {183, 32}, {194, 8.0}};
  for (int k = 0; k < 200; ++k) {
    const auto it = expect.find(k);
    EXPECT_EQ(word(k), it == expect.end() ? 0.0 : it->second) << "word " << k;
  }
  EXPECT_EQ(word(171), 0.009999999776482582);
  EXPECT_EQ(work[200], -7.0);  // nothing past the control block
}

TEST_F(Control, AmalgamationLimitAndMatrixType) {
  const std::pair<i32, double> limits[] = {
      {1, 100.0}, {10000, 100.0}, {20000, 200.0}, {12345, static_cast<double>(12345.0f * 0.01f)}};
  for (auto [n, limit] : limits) {
    ASSERT_EQ(init(n, 10 * n + 300), 0);
    EXPECT_EQ(word(182), limit) << n;
  }
  EXPECT_NEAR(word(182), 123.45, 1e-4);
  const std::pair<char, double> types[] = {{'U', 2.0}, {'u', 2.0}, {'S', 1.0}, {'s', 1.0}, {'x', 1.0}};
  for (auto [c, t] : types) {
    ASSERT_EQ(init(3, 300, c), 0);
    EXPECT_EQ(word(1), t) << c;
  }
}

TEST_F(Control, BannerAtMessageLevelTwo) {
  ASSERT_EQ(init(3, 300, 'S', 2), 0);
  EXPECT_EQ(messages(), (Lines{"", " " + std::string(59, '='),
                               " = MFSLIB multifrontal library, release 1.0.               =",
                               " = multifrontal structural input phase                     =",
                               " " + std::string(59, '=')}));
  EXPECT_EQ(std::string(library_state().banner.begin(), library_state().banner.end()),
            "MFSLIB multifrontal library, release 1.0.              ");
}

// One entry as the stage table sees it: the stages it accepts, its
// wrong-stage code, whether that error sets stage -1, and a call. At an
// accepted stage the call is only made for entries that need nothing from
// earlier phases (their own tests cover the rest).
struct EntryRow {
  const char* name;
  std::set<int> accepts;
  i32 wrong_stage;
  bool fails_stage;
  std::function<i32(double*, i32)> call;
  bool run_accepted = false;
};

const std::vector<i32> kColptr = {1, 2, 3, 4, 5}, kRowind = {1, 2, 3, 4};

std::vector<EntryRow> entry_rows() {
  return {
      {"xdslin", {-1, 1, 2, 10, 20, 30, 31, 40, 50}, 0, false,
       [](double* w, i32 lw) {
         i32 ier = 0;
         xdslin(4, 'S', 0, 0, 11, 12, 13, 14, 15, 17, w, lw, ier);
         return ier;
       },
       true},
      {"xdslim", {1, 2}, -100, true,
       [](double* w, i32 lw) {
         i32 ier = 0;
         xdslim('A', kColptr, kRowind, w, lw, ier);
         return ier;
       }},
      {"xdslif", {1, 2}, -100, true,
       [](double* w, i32 lw) {
         i32 ier = 0, need = 0;
         xdslif(w, lw, need, ier);
         return ier;
       }},
      {"xdslom", {10, 20}, -200, false,
       [](double* w, i32 lw) {
         i32 ier = 0, need = 0;
         xdslom(w, lw, need, ier);
         return ier;
       }},
      {"xdslvm", {30, 31, 40, 50}, -400, false,
       [](double* w, i32 lw) {
         i32 ier = 0;
         const std::vector<double> v(4, 1.0);
         xdslvm('A', kColptr, kRowind, v, w, lw, ier);
         return ier;
       }},
      {"xdslvf", {31}, -400, false,
       [](double* w, i32 lw) {
         i32 ier = 0;
         xdslvf(w, lw, ier);
         return ier;
       }},
      {"xdslsf", {20}, -300, false,
       [](double* w, i32 lw) {
         i32 ier = 0, need = 0, needmn = 0;
         xdslsf(w, lw, need, needmn, ier);
         return ier;
       }},
  };
}

TEST_F(Control, EveryEntryAtEveryStage) {
  const int stages[] = {-1, 1, 2, 10, 20, 30, 31, 40, 50};
  for (const auto& row : entry_rows()) {
    for (int s : stages) {
      ASSERT_EQ(init(4, 2000), 0);
      work[0] = s;
      if (row.accepts.count(s) && !row.run_accepted) continue;
      const i32 ier = row.call(work.data(), 2000);
      if (row.accepts.count(s)) {
        EXPECT_EQ(ier, 0) << row.name << " at " << s;
        continue;
      }
      EXPECT_EQ(ier, row.wrong_stage) << row.name << " at " << s;
      EXPECT_EQ(work[0], row.fails_stage ? -1.0 : s) << row.name << " at " << s;
    }
  }
}

TEST_F(Control, ASecondInitialisationDiscardsTheProblem) {
  ASSERT_EQ(init(4, 2000), 0);
  for (int k = 0; k < 200; ++k) work[k] = 3.5;
  work[0] = 50;
  i32 ier = 1;
  xdslin(5, 'u', 0, 0, -1, -1, 13, 14, 15, 17, work.data(), 2000, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(word(0), 1.0);
  EXPECT_EQ(word(1), 2.0);
  EXPECT_EQ(word(10), -1.0);
  EXPECT_EQ(word(20), 5.0);
  EXPECT_EQ(word(100), 0.0);
}

}  // namespace
}  // namespace zephsol::sparse
