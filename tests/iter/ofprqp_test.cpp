// Output request resolution: the request words of each step against their
// "OTIM" sets, the resolved selection lists, the set test, a round trip
// through the case-control writer, and the fatal ends.
#include "zephsol/iter/ofprqp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/outreq.h"
#include "zephsol/iter/iter_records.h"

namespace zephsol {
namespace {

using test::write_block;

using Words = std::vector<word>;
constexpr word ALL = kAllItems;

// A request entry: name, N, then the sub-entries.
Words entry(std::string_view name, const std::vector<Words>& subs) {
  const auto nm = name_words8(name);
  Words e{nm[0], nm[1], 0};
  for (const Words& s : subs) e.insert(e.end(), s.begin(), s.end());
  e[2] = static_cast<word>(e.size() - 3);
  return e;
}
// A sub-entry: t, k, selections (of 1 or 2 words each).
Words sub(word t, word width, const Words& sels) {
  Words s{t, static_cast<word>(sels.size() / static_cast<std::size_t>(width))};
  s.insert(s.end(), sels.begin(), sels.end());
  return s;
}
Words set(std::string_view kind, word number, const Words& items) {
  Words d{name_word(kind), number, static_cast<word>(items.size())};
  d.insert(d.end(), items.begin(), items.end());
  return d;
}
Words join(const std::vector<Words>& parts) {
  Words out;
  for (const Words& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// CTRL as the case control writes it: "PRINT   ", the requests, the sets and -1.
void write_requests(word file, const Words& requests, const Words& sets) {
  const auto print = name_words8("PRINT");
  Words rec3 = sets;
  rec3.push_back(-1);
  write_block(file, {{print[0], print[1]}, requests, rec3},
              {static_cast<word>(requests.size()), static_cast<word>(sets.size()), 0, 0, 0, 0});
}

// The resolved list of a request word, with set positions shown as the
// numbers of their definitions (0 all; point words 0 and ALL as they are).
Words resolved(word p, word width) {
  if (p < 0) return {};
  const WordSpace& c = core();
  Words out;
  for (word j = 0; j < c.w(p) * width; ++j) {
    const word v = c.w(p + 1 + j);
    out.push_back(v == 0 || v == ALL ? v : c.w(v + 1));
  }
  return out;
}

class OfprqpTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_iter_state(); }
  testing::FreshFileSystem fs_{1};
  // OFPRQP at cumulative step n.
  word resolve_at(word n) {
    stpctr().NSTEPC = n;
    word next = 0;
    OFPRQP(CTRL, next);
    return next;
  }
};

TEST_F(OfprqpTest, NoRequestsLeavesEveryPrintWordOff) {
  ofpreq()(kPrintDisp) = 5;
  EXPECT_EQ(resolve_at(1), 1);
  for (int i = kPrintDisp; i <= kPrintPrstres2; ++i) EXPECT_EQ(ofpreq()(i), -1) << i;
  for (int i = kPostDisp; i <= kPostPrstrain; ++i) EXPECT_EQ(ofpreq()(i), 0) << i;
}

// One request (or two) at a given step: the request word's state and its list.
struct Case {
  const char* what;
  Words requests;
  word step;
  int word_no;    // OFPREQ word checked
  Words list;     // resolved selections ({} for an off request)
};

TEST_F(OfprqpTest, RequestWordsByStep) {
  const Words sets = join({set("SET ", 1, {1, -20}), set("SET ", 2, {7}), set("IPSE", 4, {1, 5}),
                           set("OTIM", 5, {1, -9, -2}), set("OTIM", 6, {2})});
  const Words odd = sub(5, 1, {1});
  const Case cases[] = {
      {"NONE is off", entry("DISP", {sub(-1, 1, {})}), 1, kPrintDisp, {}},
      {"t = 0 takes the default", entry("REAC", {sub(0, 1, {ALL})}), 1, kPrintReac, {}},
      {"no selection is off", entry("DISP", {sub(ALL, 1, {})}), 1, kPrintDisp, {}},
      {"OTIM 1 THRU 9 BY 2 at 1", entry("DISP", {odd}), 1, kPrintDisp, {1}},
      {"... at 2", entry("DISP", {odd}), 2, kPrintDisp, {}},
      {"... at 7", entry("DISP", {odd}), 7, kPrintDisp, {1}},
      {"... at 9", entry("DISP", {odd}), 9, kPrintDisp, {1}},
      {"... at 10", entry("DISP", {odd}), 10, kPrintDisp, {}},
      {"... at 11", entry("DISP", {odd}), 11, kPrintDisp, {}},
      {"a sub-entry without OTIM applies at every step", entry("DISP", {odd, sub(ALL, 1, {2})}), 4, kPrintDisp, {2}},
      {"... with the OTIM one where it applies", entry("DISP", {odd, sub(ALL, 1, {2})}), 3, kPrintDisp, {1, 2}},
      {"the same set twice is one selection", entry("DISP", {sub(ALL, 1, {1, 1}), sub(6, 1, {1})}), 2, kPrintDisp, {1}},
      {"ALL and 0 resolve to 0, once", entry("REAC", {sub(ALL, 1, {ALL, 2, 0})}), 1, kPrintReac, {0, 2}},
      {"pairs differing in the point set both remain", entry("STRE", {sub(ALL, 2, {2, 0, 2, 4, 2, 0})}), 1,
       kPrintStre, {2, 0, 2, 4}},
      {"all points stay", entry("PRSTRES2", {sub(ALL, 2, {ALL, ALL})}), 1, kPrintPrstres2, {0, ALL}},
      {"a later NONE turns an applying request off", entry("ELFO", {sub(ALL, 2, {1, 0}), sub(-1, 2, {})}), 1,
       kPrintElfo, {}},
      {"a non-applying sub-entry is not resolved", entry("PRSTRAIN", {sub(6, 2, {99, 99}), sub(ALL, 2, {1, 0})}), 1,
       kPrintPrstrain, {1, 0}},
      {"a name met twice keeps its last entry",
       join({entry("PRSTRESS", {sub(ALL, 2, {1, 0})}), entry("PRSTRESS", {sub(ALL, 2, {2, 0})})}), 1, kPrintPrstress,
       {2, 0}},
      {"an unknown name is passed over", join({entry("FOO", {sub(ALL, 1, {1})}), entry("DISP", {sub(ALL, 1, {2})})}),
       1, kPrintDisp, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    write_requests(CTRL, c.requests, sets);
    const word next = resolve_at(c.step);
    EXPECT_EQ(next, static_cast<word>(c.requests.size() + sets.size() + 1));
    const word w = ofpreq()(c.word_no);
    const word width = c.word_no <= kPrintReac ? 1 : 2;
    if (c.list.empty()) {
      EXPECT_EQ(w, -1);
    } else {
      EXPECT_GT(w, 0);
      EXPECT_EQ(resolved(w, width), c.list);
    }
    for (int i = kPrintDisp; i <= kPrintPrstres2; ++i) {
      if (i != c.word_no) {
        EXPECT_EQ(ofpreq()(i), -1) << i;
      }
    }
  }
}

TEST(Settst, ItemForms) {
  testing::FreshFileSystem fs{1};
  const WordSpace& c = core();
  struct SetCase {
    Words items;
    Words in;
    Words out;
  };
  const SetCase cases[] = {
      {{5, 7, -9, 12}, {5, 7, 8, 9, 12}, {4, 6, 10, 11, 13}},
      {{1, -10, -2}, {1, 3, 5, 7, 9}, {0, 2, 4, 8, 10, 11}},
      {{ALL}, {1, 0, -5, ALL}, {}},
      {{3, ALL}, {3, ALL}, {4}},
      {{0}, {0}, {1}},
      {{}, {}, {0, 1}},
      {{2, -2147483647, -1000000000}, {2, 1000000002, 2000000002}, {3, 2147483647}},
  };
  for (const SetCase& s : cases) {
    const Words def = set("SET ", 1, s.items);
    std::copy(def.begin(), def.end(), c.words(100, static_cast<word>(def.size())).begin());
    for (word id : s.in) EXPECT_EQ(SETTST(100, id), -1) << id;
    for (word id : s.out) EXPECT_EQ(SETTST(100, id), 0) << id;
  }
}

TEST_F(OfprqpTest, SelectionTestOnAResolvedList) {
  const Words sets = join({set("SET ", 3, {10, -12}), set("SET ", 4, {20})});
  write_requests(CTRL, join({entry("DISP", {sub(ALL, 1, {3, 4})}), entry("REAC", {sub(ALL, 1, {4, ALL})})}), sets);
  resolve_at(1);
  for (word id : {10, 11, 12, 20}) EXPECT_TRUE(request_selects(ofpreq()(kPrintDisp), 1, id)) << id;
  for (word id : {9, 13, 19, 21}) EXPECT_FALSE(request_selects(ofpreq()(kPrintDisp), 1, id)) << id;
  EXPECT_TRUE(request_selects(ofpreq()(kPrintReac), 1, 999));
}

// The records the case-control writer leaves in CTRL resolve as the
// statements say.
TEST_F(OfprqpTest, RoundTripThroughTheCaseControlWriter) {
  reset_input_state();
  CHRINI();
  {
    std::ofstream deck("deck.dat");
    deck << "SET 1 = 1 THRU 5\nSET 3 = 7\nOTIM 2 = 2 THRU 8 BY 3\nIPSE 4 = 1, 9\n"
            "DISP = SET 1 OTIM 2 SET 3\nSTRE = SET 3 IPSE 4 SET 1\nREAC = NONE\nBEGIN BULK\n";
  }
  unit_open(5, "deck.dat", UnitForm::Formatted, UnitStatus::Old);
  input_state().ctl.KCLASS = CLS_OUTPUT;
  OUTREQ();
  ASSERT_EQ(sysw().IERFLG, 0);
  struct StepCase {
    word step;
    Words disp;
  };
  for (const StepCase& s : {StepCase{1, {3}}, StepCase{2, {1, 3}}, StepCase{5, {1, 3}}, StepCase{6, {3}}}) {
    resolve_at(s.step);
    EXPECT_EQ(resolved(ofpreq()(kPrintDisp), 1), s.disp) << s.step;
    EXPECT_EQ(ofpreq()(kPrintReac), -1);
    EXPECT_EQ(resolved(ofpreq()(kPrintStre), 2), (Words{3, 4, 1, 0})) << s.step;
  }
}

// A death-test child must end the run as an error, leaving text in the error log.
void expect_fatal(const testing::FreshFileSystem& fs, void (*fn)(), const std::string& text) {
  EXPECT_EXIT(fn(), ::testing::ExitedWithCode(1), "");
  const std::string log = fs.read("errors");
  EXPECT_NE(log.find(text), std::string::npos) << log;
}

std::string reason(word p1, word p2) {
  return "REASON CODE =" + std::string(10 - std::to_string(p1).size(), ' ') + std::to_string(p1) + "," +
         std::string(10 - std::to_string(p2).size(), ' ') + std::to_string(p2);
}

void run_ofprqp() {
  word next = 0;
  OFPRQP(CTRL, next);
}

TEST_F(OfprqpTest, UndefinedSetsEndTheRunNamingKindAndNumber) {
  const Words sets = join({set("SET ", 1, {1}), set("OTIM", 2, {1}), set("IPSE", 3, {1})});
  struct Bad {
    Words requests;
    const char* kind;
    word number;
  };
  const Bad bad[] = {
      {entry("DISP", {sub(8, 1, {1})}), "OTIM", 8},
      {entry("REAC", {sub(2, 1, {1, 6})}), "SET ", 6},
      {entry("STRE", {sub(ALL, 2, {1, 3, 1, 9})}), "IPSE", 9},
  };
  for (std::size_t i = 0; i < std::size(bad); ++i) {
    SCOPED_TRACE(bad[i].kind);
    write_requests(CTRL, bad[i].requests, sets);
    stpctr().NSTEPC = 1;
    expect_fatal(fs_, run_ofprqp, "3834, PROGRAM LOGIC ERROR");
    EXPECT_NE(fs_.read("errors").find(reason(name_word(bad[i].kind), bad[i].number)), std::string::npos);
  }
}

TEST_F(OfprqpTest, RecordsMustFitBelowOneBufferElseMessage3) {
  // Records that fill the open core below the top buffer exactly, then one word more.
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const Words requests = entry("DISP", {sub(ALL, 1, {1})});
  const auto sets_of = [&](word extra) {
    const auto n = static_cast<std::size_t>(buffer - 1 - static_cast<word>(requests.size()) - 3 + extra);
    return set("SET ", 1, Words(n, 1));
  };
  write_requests(CTRL, requests, sets_of(0));
  EXPECT_EQ(resolve_at(1), buffer);
  EXPECT_EQ(resolved(ofpreq()(kPrintDisp), 1), Words{1});

  write_requests(CTRL, requests, sets_of(1));
  expect_fatal(fs_, run_ofprqp, "INSUFFICIENT MEMORY.  REQUIRED =");
  const word available = sysw().COREND - 1;
  char expect[80];
  std::snprintf(expect, sizeof expect, "REQUIRED =%8d, CURRENT =%8d WORDS", available + 1, available);
  EXPECT_NE(fs_.read("errors").find(expect), std::string::npos);
}

}  // namespace
}  // namespace zephsol
