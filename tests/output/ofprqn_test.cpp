// Result-file requests at each step, and the integration-point mask of an
// element selection.
#include "zephsol/output/ofprqn.h"

#include <gtest/gtest.h>

#include "support/stepfix.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofprqp.h"

namespace zephsol::test {
namespace {

TEST_F(StepTest, ResultFileRequestsAreOnAtTheStepsOfOtim1) {
  post_requests({"OTIM 1 = 3, 6", "SET 1 = 2 THRU 4"});
  for (word step = 1; step <= 7; ++step) {
    stpctr().NSTEPC = step;
    ofpreq()(kPrintDisp) = 99;
    word next = 0;
    OFPRQN(CTRN, next);
    const bool on = step == 3 || step == 6;
    for (int w = kPostDisp; w <= kPostPrstrain; ++w) EXPECT_EQ(ofpreq()(w) > 0, on) << step << " word " << w;
    if (!on) {
      EXPECT_EQ(ofpreq()(kPostDisp), -1);
    }
    EXPECT_EQ(ofpreq()(kPrintDisp), 99);  // the print words are OFPRQP's
    std::array<word, 6> h{};
    HDRGET(CTRN, h);
    EXPECT_EQ(next, h[0] + h[1] + 1);
    if (on) {  // the selection of "DISP" is set 1 with its nodes
      EXPECT_TRUE(request_selects(ofpreq()(kPostDisp), 1, 4));
      EXPECT_FALSE(request_selects(ofpreq()(kPostDisp), 1, 5));
    }
  }
}

TEST_F(StepTest, NoResultFileRequestsLeaveTheWordsOff) {
  word next = 0;
  OFPRQN(CTRN, next);
  EXPECT_EQ(next, 1);
  for (int w = kPostDisp; w <= kPostPrstrain; ++w) EXPECT_EQ(ofpreq()(w), -1);
}

// The mask of one element: type, points, output point, the point word.
TEST_F(StepTest, IntegrationPointMask) {
  constexpr word ALL = kAllItems;
  const WordSpace& c = core();
  struct Case {
    const char* what;
    word type, points, output;
    Words ipse;  // items of the "IPSE" definition; {} for the default points
    word word_of;  // 0 default, ALL, or -1: the definition
    std::vector<int> selected;
  };
  const Case cases[] = {
      {"default: the output point", 1, 8, 3, {}, 0, {3}},
      {"default QFLA4: 5, 25, 45 whatever the output point", 7, 45, 9, {}, 0, {5, 25, 45}},
      {"default SBEAM2", 26, 125, 1, {}, 0, {53, 61, 63, 65, 73}},
      {"all points", 3, 4, 1, {}, ALL, {1, 2, 3, 4}},
      {"a definition of ALL", 3, 4, 1, {ALL}, -1, {1, 2, 3, 4}},
      {"1 THRU 9 BY 4 on 5 points", 3, 5, 1, {1, -9, -4}, -1, {1, 5}},
      {"single items and a range cut to n", 3, 6, 1, {2, 5, -9}, -1, {2, 5, 6}},
      {"an item past n selects nothing", 3, 6, 1, {7, 8, -10, 3}, -1, {3}},
      {"point 0 selects nothing", 3, 6, 1, {0, 4}, -1, {4}},
      {"a range from 0 starts at its first point", 3, 9, 1, {0, -9, -3}, -1, {3, 6, 9}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    EIVWK& e = eivwka();
    e.head[1] = k.type;
    e.head[3] = k.points;
    e.head[4] = k.output;
    word ipse = k.word_of;
    if (ipse == -1) {
      ipse = 500;
      Words def{name_word("IPSE"), 1, static_cast<word>(k.ipse.size())};
      def.insert(def.end(), k.ipse.begin(), k.ipse.end());
      std::copy(def.begin(), def.end(), c.words(ipse, static_cast<word>(def.size())).begin());
    }
    Words mask(static_cast<std::size_t>(k.points) + 4, 0);  // a guard after the points
    word count = -1;
    OFPIPM(ipse, std::span<word>(mask).first(static_cast<std::size_t>(k.points)), count);
    std::vector<int> got;
    for (std::size_t i = 0; i < mask.size(); ++i)
      if (mask[i] != 0) got.push_back(static_cast<int>(i + 1));
    EXPECT_EQ(got, k.selected);
    EXPECT_EQ(count, static_cast<word>(k.selected.size()));
  }
}

}  // namespace
}  // namespace zephsol::test
