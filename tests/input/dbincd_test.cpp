// Construction history decoder: the records of INCD (first record, interval
// headers and lists), the repeat of the last load interval's sets, the
// "CDIS" carry-over, excavation regions and releases, the change list, the
// interval list and the total of the steps, and the history errors.
#include <string>
#include <utility>
#include <vector>

#include "setdecfix.h"
#include "zephsol/input/dbincd.h"

namespace zephsol::test {
namespace {

class IncdTest : public SetDecoderTest {
 protected:
  void run(std::vector<std::string> cards) {
    cards.insert(cards.begin(), "HISTORY");
    decode(cards, [](IfpDecoders& d) { d.DBINCD = DBINCD; });
  }
};

std::string interval(std::string_view steps = "") { return fixed({"INTERVAL", steps}); }
std::string ev(std::string_view key, std::string_view id = "", std::string_view f4 = "") {
  return fixed({"", key, id, f4});
}

// A record: 40 header words, zero but for the words given (1-based), then
// the pairs of the lists.
std::vector<word> rec(std::initializer_list<std::pair<int, word>> words,
                      std::initializer_list<word> pairs = {}) {
  std::vector<word> r(40, 0);
  for (const auto& [n, v] : words) r[static_cast<std::size_t>(n - 1)] = v;
  r.insert(r.end(), pairs);
  return r;
}

// The header of an interval record: number, steps, kind, forms, regions,
// release pairs, and the counts of the seven lists (words 11-17) with their
// sum (word 18).
std::vector<word> head(word interval, word steps, word kind, std::array<word, 7> counts,
                       word matform = -1, word propform = -1, word regions = 0, word releases = 0) {
  std::vector<word> r(40, 0);
  r[0] = interval;
  r[1] = steps;
  r[2] = kind;
  r[3] = matform;
  r[4] = regions;
  r[5] = releases;
  word total = 0;
  for (std::size_t i = 0; i < 7; ++i) total += r[10 + i] = counts[i];
  r[17] = total;
  r[18] = propform;
  return r;
}

std::vector<word> with(std::vector<word> r, std::initializer_list<word> pairs) {
  r.insert(r.end(), pairs);
  return r;
}

TEST_F(IncdTest, OnlyInacCardsPurgeIncd) {
  run({ev("INAC", "5"), ev("INAC", "6")});
  EXPECT_EQ(header(INCD), (std::array<word, 6>{}));
  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(exec_state().NSTTOT, 0);
}

TEST_F(IncdTest, GroupsRemovedBeforeTheFirstIntervalFormTheFirstRecord) {
  run({ev("INAC", "5"), interval(), ev("ACTI", "5")});
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0], rec({{15, 1}, {18, 1}}, {5, 0}));
  EXPECT_EQ(recs[1], with(head(1, 1, 1, {0, 0, 0, 0, 0, 1, 0}), {5, 0}));
  EXPECT_EQ(header(INCD), (std::array<word, 6>{1, 1, 1, 0, 1, 42}));
  EXPECT_EQ(ifpflg().IFPNIV, 0);  // groups removed before the first interval are no interval
}

TEST_F(IncdTest, IntervalsWithoutLoadsRepeatTheLastLoadSetsWithFactorZero) {
  run({interval("2"), ev("DISP", "1", "0.5"), ev("MPC", "2"), ev("NLOA", "3", "0.25"),
       ev("BODY", "3"), ev("TEMP", "4"),
       interval("3"), ev("INAC", "7"),
       interval(), ev("MATC", "1", "2")});
  const word f0 = rw(0.0f);
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 3u);
  // Factors are stored as given: the interval set-up spreads them over the steps.
  EXPECT_EQ(recs[0], with(head(1, 2, 1, {1, 1, 1, 2, 0, 0, 0}),
                          {1, rw(0.5f), 2, rw(1.0f), 4, rw(1.0f), 31, rw(0.25f), 37, rw(1.0f)}));
  EXPECT_EQ(recs[1], with(head(2, 3, 2, {1, 1, 0, 0, 1, 0, 0}, -1, -1, 1), {1, f0, 2, f0, 7, 0}));
  EXPECT_EQ(recs[2], with(head(3, 1, 4, {1, 1, 0, 0, 0, 0, 1}, 0, -1, 1), {1, f0, 2, f0, 1, 2}));
  EXPECT_EQ(header(INCD), (std::array<word, 6>{3, 6, 0, 0, 5, 50}));
  EXPECT_EQ(exec_state().NSTTOT, 6);
  EXPECT_TRUE(messages().empty());
}

TEST_F(IncdTest, CarriedCdisSetsFollowTheRepeatedSetsOnce) {
  run({interval(), ev("DISP", "1"), ev("DISP", "2"), ev("CDIS", "5"),
       interval(), ev("MATC", "1", "2"),
       interval(), ev("DISP", "3"),
       interval(), ev("INAC", "9"),
       interval(), ev("TEMP", "1"), ev("CDIS", "5", "0.5")});
  const word f0 = rw(0.0f), f1 = rw(1.0f);
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 5u);
  EXPECT_EQ(recs[0], with(head(1, 1, 1, {3, 0, 0, 0, 0, 0, 0}), {1, f1, 2, f1, 5, f1}));
  // Set 1 is still held where only materials change.
  EXPECT_EQ(recs[1], with(head(2, 1, 4, {3, 0, 0, 0, 0, 0, 1}, 0), {1, f0, 2, f0, 5, f0, 1, 2}));
  EXPECT_EQ(recs[2], with(head(3, 1, 1, {2, 0, 0, 0, 0, 0, 0}), {3, f1, 5, f0}));
  EXPECT_EQ(recs[3], with(head(4, 1, 2, {2, 0, 0, 0, 1, 0, 0}, -1, -1, 1), {3, f0, 5, f0, 9, 0}));
  // Set 5 listed again is not carried a second time.
  EXPECT_EQ(recs[4], with(head(5, 1, 1, {1, 0, 1, 0, 0, 0, 0}, -1, -1, 1), {5, rw(0.5f), 1, f1}));
}

TEST_F(IncdTest, ListsThatOutgrowTheirSlotsKeepTheirEntries) {
  // Three intervals of 20 "CDIS" sets, then 20 pairs of changes: the
  // displacement list grows while the carried sets are added to it, and the
  // change list while the pairs are, so the lists above them move under way.
  std::vector<std::string> deck;
  for (int k = 0; k < 3; ++k) {
    deck.push_back(interval());
    for (int i = 1; i <= 20; ++i) deck.push_back(ev("CDIS", std::to_string(20 * k + i)));
  }
  deck.push_back(interval());
  for (int i = 1; i <= 20; ++i) {
    deck.push_back(ev("MATC", std::to_string(i), std::to_string(i + 100)));
    deck.push_back(ev("PROC", std::to_string(i + 200), std::to_string(i + 300)));
  }
  run(deck);

  const word f0 = rw(0.0f), f1 = rw(1.0f);
  std::vector<word> carried = head(3, 1, 1, {60, 0, 0, 0, 0, 0, 0});
  for (word i = 41; i <= 60; ++i) carried.insert(carried.end(), {i, f1});
  for (word i = 1; i <= 40; ++i) carried.insert(carried.end(), {i, f0});
  std::vector<word> changes = head(4, 1, 4, {60, 0, 0, 0, 0, 0, 40}, 0, 0);
  for (word i = 41; i <= 60; ++i) changes.insert(changes.end(), {i, f0});
  for (word i = 1; i <= 40; ++i) changes.insert(changes.end(), {i, f0});
  for (word i = 1; i <= 20; ++i) changes.insert(changes.end(), {i, i + 100, i + 200, i + 300});

  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 4u);
  EXPECT_EQ(recs[2], carried);
  EXPECT_EQ(recs[3], changes);
  EXPECT_TRUE(messages().empty());
}

TEST_F(IncdTest, ReleasesReduceTheRegionsRemainingFraction) {
  run({interval(), ev("INAC", "4"),
       interval(), ev("RELS", "1", "0.6"),
       interval(), ev("RELS", "1", "0.5"),  // 0.4 remained: 2868
       interval(), ev("INAC", "5")});
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 4u);
  auto r = recs[2];
  EXPECT_EQ(std::vector<word>(r.begin(), r.begin() + 6), (std::vector<word>{3, 1, 2, -1, 1, 1}));
  EXPECT_EQ(r[20], 1);
  EXPECT_FLOAT_EQ(word_real(r[21]), 0.4f);
  EXPECT_FLOAT_EQ(word_real(recs[1][21]), 0.6f);
  // The released region is gone; the old pair stays behind the zero count.
  r = recs[3];
  EXPECT_EQ(std::vector<word>(r.begin(), r.begin() + 6), (std::vector<word>{4, 1, 2, -1, 1, 0}));
  EXPECT_EQ(r[20], 1);
  EXPECT_EQ(messages(), std::vector<word>{2868});
  EXPECT_EQ(message_text(2868), "          TOTAL OF RELAXATION FACTOR EXCEEDED 100%");
}

TEST_F(IncdTest, LoadsWithRemovalsAreMixedButStillWritten) {
  run({interval(), ev("DISP", "1"),
       interval(), ev("DISP", "2"), ev("INAC", "3")});
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[1], with(head(2, 1, 3, {1, 0, 0, 0, 1, 0, 0}, -1, -1, 1), {1, rw(0.0f), 3, 0}));
  EXPECT_EQ(messages(), std::vector<word>{2208});
}

TEST_F(IncdTest, IntervalsThatOnlyAddGroupsAfterARemovalAreListed) {
  run({interval(), ev("INAC", "4"), interval(), ev("ACTI", "5"),
       interval(), ev("INAC", "6"), interval(), ev("ACTI", "7"), ev("NLOA", "1"),
       interval(), ev("ACTI", "8")});
  EXPECT_EQ(ifpflg().IFPNIV, 1);
  EXPECT_EQ(ifpflg().IFPIVL[0], 2);
}

TEST_F(IncdTest, ChangeListsPairMaterialAndPropertyCards) {
  run({interval(), ev("MGCH", "1", "2"), ev("PGCH", "3", "4"), ev("MGCH", "5", "6"),
       ev("PGCH", "7", "8"),
       interval(), ev("PROC", "3", "9")});
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 2u);
  EXPECT_EQ(recs[0], with(head(1, 1, 4, {0, 0, 0, 0, 0, 0, 4}, 1, 1), {1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(recs[1], with(head(2, 1, 4, {0, 0, 0, 0, 0, 0, 1}, -1, 0), {3, 9}));
}

TEST_F(IncdTest, HistoryErrors) {
  struct Case {
    std::vector<std::string> cards;
    std::vector<word> msgs;
  };
  const Case cases[] = {
      {{ev("ACTI", "5"), interval(), ev("DISP", "1")}, {2104}},
      {{interval("0"), ev("DISP", "0")}, {2201, 2028}},
      {{interval(), ev("FOO", "1")}, {2104}},
      {{fixed({"INTERVL"}), ev("FOO"), interval(), ev("DISP", "1")}, {2104}},
      {{interval(), ev("MATC", "1", "2"), ev("MGCH", "1", "2"), ev("MATC", "3", "0")}, {2873, 2028}},
      {{interval(), ev("MATC", "1", "2"), ev("MATC", "3", "4"), ev("PROC", "1", "2")}, {2879}},
      {{interval(), ev("RELS", "2")}, {2874}},
      {{interval(), ev("INAC", "1"), ev("RELS", "1", "1.5")}, {2000}},
      {{interval(), ev("INAC", "1"), interval(), ev("RELS", "2")}, {2875}},
  };
  for (const Case& c : cases) {
    restart();
    run(c.cards);
    EXPECT_EQ(messages(), c.msgs) << c.cards.back();
  }
  EXPECT_EQ(message_text(2875),
            "          NO FORCE CAN BE RELEASED FROM THE REGION WHERE EXCAVATION BEGAN AT INTERVAL     2");
}

TEST_F(IncdTest, AtMostEightRegionsAndTenReleasesInAnInterval) {
  std::vector<std::string> deck;
  for (int i = 1; i <= 9; ++i) deck.insert(deck.end(), {interval(), ev("INAC", std::to_string(i))});
  deck.push_back(interval());
  for (int i = 0; i < 11; ++i) deck.push_back(ev("RELS", "1", "0.05"));
  run(deck);
  EXPECT_EQ(messages(), (std::vector<word>{2872, 2877}));
  EXPECT_EQ(message_text(2877), "          NUMBER OF RELS CARDS IN AN INTERVAL MAY NOT EXCEED 10");
  const auto recs = records(INCD);
  ASSERT_EQ(recs.size(), 10u);
  EXPECT_EQ(recs[7][4], 8);
  EXPECT_EQ(recs[8][4], 8);  // the ninth region is not recorded
  EXPECT_EQ(recs[9][5], 10);
  EXPECT_FLOAT_EQ(word_real(recs[9][39]), 0.05f);
}

TEST_F(IncdTest, TheIntervalListHoldsFiveHundredIntervals) {
  std::vector<std::string> deck;
  for (int i = 1; i <= 501; ++i) {
    const std::string g = std::to_string(i);
    const std::string removed_at = std::to_string(2 * i - 1);
    deck.insert(deck.end(), {interval(), ev("INAC", g), ev("RELS", removed_at), interval(), ev("ACTI", g)});
  }
  run(deck);
  EXPECT_EQ(messages(), std::vector<word>{2878});
  EXPECT_EQ(ifpflg().IFPNIV, 500);
  EXPECT_EQ(ifpflg().IFPIVL[499], 1000);
  EXPECT_EQ(header(INCD)[0], 1002);
}

}  // namespace
}  // namespace zephsol::test
