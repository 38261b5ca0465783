// GP4FRC and GP4TMP: the nodal loads, element load records and element
// temperatures of one step of an interval, from decks through the model
// modules and against values worked out by hand, and the element load
// records of random load tables against a merge done in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/gp4deck.h"
#include "zephsol/dbio/core.h"
#include "common/testing.h"
#include "zephsol/model/gp3.h"
#include "zephsol/model/model_records.h"

namespace zephsol::test {
namespace {

using Record = std::vector<word>;
using Records = std::vector<Record>;

// A strip of three unit quadrilaterals 1-2-6-5, 2-3-7-6, 3-4-8-7 (nodes 1-4
// at y = 0, 5-8 at y = 1), held at nodes 1 and 5 by "CONST".
std::string strip(const std::string& loads, const std::string& history) {
  std::string b = "ELEMENT\n" + card({"1", "QPLAN4"}) + "\n" + material_cards() + "NODE\n";
  for (int k = 0; k < 4; ++k) {
    b += node_card(k + 1, std::to_string(k) + ".0", "0.0", "0.0");
    b += node_card(k + 5, std::to_string(k) + ".0", "1.0", "0.0");
  }
  b += "CONNECTI\n" + element_card(1, 1, 0, {1, 2, 6, 5}) + element_card(2, 1, 0, {2, 3, 7, 6}) +
       element_card(3, 1, 0, {3, 4, 8, 7}) + "CONST\n" + card({"", "1", "", "", "", "1", "2"}) + "\n" +
       card({"", "5", "", "", "", "1", "2"}) + "\n" + loads + "HISTORY\n" + history;
  return bulk_deck(b);
}

// NLOAD 5: (10, -5) at node 4; NLOAD 6: (2, 4) at node 4 and y 1 at node 8.
// DLOAD 3: type 1 (100, 0) on element 2, type 2 (7, 8) on element 3;
// DLOAD 4: type 3 (50, 0) on element 2. BODY 9: (0, -9.8) on all three.
// TEMPERAT 1: 10 on elements 1 and 2; TEMPERAT 2: 4 on elements 2 and 3.
const std::string kLoads =
    "NLOAD\n" + card({"5"}) + "\n" + card({"", "4", "", "", "", "1", "2", "10.0", "-5.0"}) + "\n" + card({"6"}) + "\n" +
    card({"", "4", "", "", "", "1", "2", "2.0", "4.0"}) + "\n" + card({"", "8", "", "", "", "2", "2", "1.0"}) + "\n" +
    "DLOAD\n" + card({"3"}) + "\n" + card({"", "2", "", "", "1", "1", "2", "100.0"}) + "\n" +
    card({"", "3", "", "", "2", "1", "2", "7.0", "8.0"}) + "\n" + card({"4"}) + "\n" +
    card({"", "2", "", "", "3", "1", "2", "50.0"}) + "\n" + "BODY\n" + card({"9"}) + "\n" +
    card({"", "1", "3", "", "0.0", "-9.8"}) + "\n" + "TEMPERAT\n" + card({"1"}) + "\n" + card({"", "1", "2", "", "10.0"}) +
    "\n" + card({"2"}) + "\n" + card({"", "2", "3", "", "4.0"}) + "\n";

// An entry [ELDTYP, n, code, n - 1 values].
Record entry(word type, word code, std::vector<float> values) {
  Record e{type, static_cast<word>(values.size()) + 1, code};
  for (float v : values) e.push_back(word_of(v));
  return e;
}

// A table record [L, count, entries], or [0].
Record loads(const std::vector<Record>& entries) {
  if (entries.empty()) return {0};
  Record r{0, static_cast<word>(entries.size())};
  for (const Record& e : entries) r.insert(r.end(), e.begin(), e.end());
  r[0] = static_cast<word>(r.size()) - 1;
  return r;
}

// A temperature table record [L, n x 16 + k, values].
Record temperatures(word kind, std::vector<float> values) {
  Record r{static_cast<word>(values.size()) + 1, static_cast<word>(values.size()) * 16 + kind};
  for (float v : values) r.push_back(word_of(v));
  return r;
}

class IntervalLoads : public Gp4Run {
 protected:
  void start_strip(const std::string& history) {
    start(strip(kLoads, history));
    GP3(LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD);
    ASSERT_EQ(sysw().IERFLG, 0);
  }
  // DPG0's one column as values by (node, component).
  std::map<std::pair<word, word>, double> nodal_loads() const {
    const auto columns = dense_columns(DPG0);
    EXPECT_EQ(columns.size(), 1u);
    std::map<std::pair<word, word>, double> out;
    for (const auto& [nc, eq] : equations())
      if (double v = columns.at(0).at(static_cast<std::size_t>(eq - 1)); v != 0.0) out[nc] = v;
    return out;
  }
};

TEST_F(IntervalLoads, NodalLoadsOfTwoSetsAddScaledByTheSteps) {
  // Factor 10 over 4 steps is 2.5 a step, 2 over 4 is 0.5.
  start_strip(interval(4) + event("NLOAD", "5", "10.0") + event("NLOAD", "6", "2.0") + interval(1));
  EXPECT_EQ(next_interval().NSTEPS, 4);
  EXPECT_EQ(sysw().IERFLG, 0);
  const std::map<std::pair<word, word>, double> expected{
      {{4, 1}, 2.5 * 10 + 0.5 * 2}, {{4, 2}, 2.5 * -5 + 0.5 * 4}, {{8, 2}, 0.5 * 1}};
  EXPECT_EQ(nodal_loads(), expected);
  EXPECT_EQ(block_header(DPG0), (std::array<word, 6>{1, 16, 2, 1, 3, 0}));
  EXPECT_EQ(block_header(EPD), (std::array<word, 6>{})) << "no element loads";

  // The next interval refers to no force set: an empty column, and the
  // element temperatures and loads stay empty.
  next_interval();
  EXPECT_EQ(nodal_loads(), (std::map<std::pair<word, word>, double>{}));
  EXPECT_EQ(block_header(DPG0), (std::array<word, 6>{1, 16, 2, 1, 0, 0}));
  EXPECT_EQ(block_header(EPD), (std::array<word, 6>{}));
  EXPECT_EQ(block_header(ENTD), (std::array<word, 6>{}));
}

TEST_F(IntervalLoads, ElementLoadRecordsKeepTheOrderOfTheLoadTable) {
  // Referred to in another order than LDDT holds them (NLOAD 5, DLOAD 3,
  // DLOAD 4, BODY 9): the entries follow the table.
  start_strip(interval(2) + event("BODY", "9", "2.0") + event("DLOAD", "4", "4.0") + event("DLOAD", "3", "2.0") +
        event("NLOAD", "5", "2.0"));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  const Record body = entry(7, 0, {0.0f, -9.8f});
  const Records expected{loads({body}), loads({entry(2, 1, {100, 0}), entry(2, 3, {100, 0}), body}),
                         loads({entry(2, 2, {7, 8}), body})};
  EXPECT_EQ(block_records(EPD), expected);
  EXPECT_EQ(block_header(EPD), (std::array<word, 6>{3, 17, 0, 1, 0, 0}));
  EXPECT_EQ(nodal_loads(), (std::map<std::pair<word, word>, double>{{{4, 1}, 10.0}, {{4, 2}, -5.0}}));
}

TEST_F(IntervalLoads, ElementTemperaturesOfTwoSetsAdd) {
  // Factor 10 over 4 steps: 2.5 x 10 on elements 1 and 2; set 2 adds
  // 0.25 x 4 on elements 2 and 3 (one value a node).
  start_strip(interval(4) + event("TEMP", "1", "10.0") + event("TEMP", "2", "1.0"));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(block_records(ENTD), (Records{temperatures(0, {25, 25, 25, 25}), temperatures(0, {26, 26, 26, 26}),
                                          temperatures(0, {1, 1, 1, 1})}));
  EXPECT_EQ(block_header(ENTD), (std::array<word, 6>{3, 6, 1, 1, 0, 0}));
}

TEST_F(IntervalLoads, UndefinedAndRepeatedSets) {
  start_strip(interval(1) + event("NLOAD", "5") + event("NLOAD", "5") + event("NLOAD", "77") + event("DLOAD", "88") +
        event("BODY", "3") + event("TEMP", "99") + event("TEMP", "1") + event("TEMP", "1"));
  next_interval();
  EXPECT_EQ(sysw().IERFLG, 1);
  const std::vector<std::string> expected{
      "0*** USER FATAL MESSAGE 2375, INTERVAL DATA REFERES UNDEFINED TEMPERATURE SET    99",
      "0*** USER FATAL MESSAGE 2375, INTERVAL DATA REFERES TEMPERATURE SET     1 MORE THAN ONCE",
      "0*** USER FATAL MESSAGE 2377, INTERVAL REFERES  NLOAD      5 MORE THAN ONCE",
      "0*** USER FATAL MESSAGE 2377, INTERVAL REFERES UNDEFINED  NLOAD     77",
      "0*** USER FATAL MESSAGE 2377, INTERVAL REFERES UNDEFINED  DLOAD     88",
      "0*** USER FATAL MESSAGE 2377, INTERVAL REFERES UNDEFINED  BODY       3"};
  EXPECT_EQ(run_->errors(), expected);
  for (const auto& line : expected) EXPECT_TRUE(has_line(run_->listing(), line)) << line;
  EXPECT_EQ(block_header(DPG0), (std::array<word, 6>{})) << "not written";
}

// Direct calls of a pass on tables written as fixtures: GP4's control record
// with the blocks, three file buffers at the top of the open core, the
// reference pairs from word 1 and the free area after them.
word place_references(const std::vector<std::pair<word, float>>& refs) {
  GP4CTL& g = gp4ctl();
  g = GP4CTL{};
  g.LDDT = LDDT, g.TMPD = TMPD, g.EQIX = EQIX, g.DPG0 = DPG0, g.EPD = EPD, g.ENTD = ENTD;
  const word nbuf = sysw().NBUFSZ;
  g.B1 = sysw().COREND - nbuf;
  g.B2 = g.B1 - nbuf;
  g.B3 = g.B2 - nbuf;
  for (std::size_t i = 0; i < refs.size(); ++i) {
    core().w(static_cast<word>(2 * i + 1)) = refs[i].first;
    core().set_r(static_cast<word>(2 * i + 2), refs[i].second);
  }
  g.IFREE = static_cast<word>(2 * refs.size() + 1);
  return 1;
}

TEST(IntervalTemperatures, KindsThatClashAreReportedOnce) {
  testing::FreshFileSystem fs(1, 101);
  // Set 1: kind 0 on elements 1 and 2; set 2: kind 1 on elements 1 and 2
  // and kind 0 on element 3.
  const word t = name_word("TEMP");
  write_block(TMPD,
              {{t, 1, 2}, {1, 32, word_of(1), word_of(2)}, {2, 32, word_of(3), word_of(4)}, {},
               {t, 2, 3}, {1, 33, word_of(5), word_of(6)}, {2, 33, word_of(7), word_of(8)}, {3, 16, word_of(9)}, {}},
              {2, 0, 4, 0, 0, 4});
  const word pairs = place_references({{1, 1.0f}, {2, 0.5f}});
  GP4TMP(2, pairs);
  EXPECT_EQ(sysw().IERFLG, 1);
  EXPECT_EQ(fs.read("errors"),
            "0*** USER FATAL MESSAGE 2435, NODAL AND INTERNAL POINT TEMPERATURE MAY NOT BE COMBINED\n");
  // The earlier set's records stay where the kinds clash.
  EXPECT_EQ(block_records(ENTD),
            (Records{temperatures(0, {1, 2}), temperatures(0, {3, 4}), temperatures(0, {4.5f}), {0}}));
  EXPECT_EQ(block_header(ENTD), (std::array<word, 6>{4, 4, 1, 1, 0, 0}));
}

// The in-memory reference: per element the scaled entries of the referred
// sets in table order; per equation the scaled nodal values summed.
struct LoadSet {
  word id = 0;
  Record nodal;                 // groups [EQIX word, values], or none
  std::map<word, Records> byel;  // element -> its entries
};

struct Fixture {
  word elements = 0, neq = 0;
  std::vector<LoadSet> sets;
};

Fixture random_fixture(std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, 99);
  Fixture f;
  f.elements = 1 + pick(rng) % 25;
  f.neq = 3 * (1 + pick(rng) % 8);
  const int nsets = 1 + pick(rng) % 8;
  for (int k = 0; k < nsets; ++k) {
    LoadSet s;
    const bool element = pick(rng) % 3 != 0;
    s.id = 10 * (k + 1) + (element ? (pick(rng) % 2 == 0 ? 2 : 7) : 1);
    if (!element) {
      for (word node = 0; node < f.neq / 3; ++node) {
        if (pick(rng) % 2 != 0) continue;
        s.nodal.push_back((3 * node + 1) * 1024 + 3);
        for (int c = 0; c < 3; ++c) s.nodal.push_back(word_of(static_cast<float>(pick(rng) - 50)));
      }
      if (s.nodal.empty()) s.nodal = {1024 + 3, word_of(1.0f), word_of(2.0f), word_of(3.0f)};
    } else {
      for (word e = 1; e <= f.elements; ++e) {
        if (pick(rng) % 3 == 0) continue;
        Records entries;
        for (int j = 1 + pick(rng) % 3; j > 0; --j) {
          const int n = pick(rng) % 5;  // 0: a body force without words
          std::vector<float> values;
          for (int v = 1; v < n; ++v) values.push_back(static_cast<float>(pick(rng) - 50));
          entries.push_back(n == 0 ? Record{7, 0} : entry(s.id % 10, pick(rng) % 6, values));
        }
        s.byel[e] = entries;
      }
    }
    f.sets.push_back(s);
  }
  return f;
}

void write_fixture(const Fixture& f) {
  Records recs;
  word longest = 0, longest_element = 0, flags = 0;
  for (const LoadSet& s : f.sets) {
    const bool element = s.nodal.empty();
    flags |= element ? 2 : 1;
    recs.push_back({name_word("FORC"), s.id, element ? 2 : 1});
    if (!element) {
      recs.push_back(s.nodal);
      longest = std::max(longest, static_cast<word>(s.nodal.size()));
    }
    for (const auto& [e, entries] : s.byel) {
      Record r{e, static_cast<word>(entries.size())};
      for (const Record& x : entries) r.insert(r.end(), x.begin(), x.end());
      longest_element = std::max(longest_element, static_cast<word>(r.size()));
      recs.push_back(r);
    }
    recs.push_back({});
  }
  write_block(LDDT, recs, {static_cast<word>(f.sets.size()), longest_element, flags, f.elements, f.neq,
                           std::max(longest, longest_element)});
  HDRPUT(EQIX, std::array<word, 6>{f.neq / 3, f.neq, 0, 0, 0, 0});
}

// Scaled as the pass scales: each value f x v in single precision.
float scaled(float f, word v) { return static_cast<float>(double{f} * word_real(v)); }

TEST(IntervalLoadsMerge, RandomTablesGiveTheRecordsOfAMergeInMemory) {
  std::mt19937 rng(2026);
  const float factors[] = {0.5f, 1.0f, 2.0f, 3.0f, -1.0f};
  int five = 0, sum_copied = 0;  // the fixtures reach five references and the copy of the sum
  for (int trial = 0; trial < 60; ++trial) {
    for (const std::size_t count : {1u, 2u, 5u}) {
      const Fixture f = random_fixture(rng);
      if (f.sets.size() < count) continue;
      SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(count) + " references");
      testing::FreshFileSystem fs(1, 101);
      write_fixture(f);
      std::vector<std::size_t> order(f.sets.size());
      std::iota(order.begin(), order.end(), 0);
      std::shuffle(order.begin(), order.end(), rng);
      order.resize(count);
      std::vector<std::pair<word, float>> refs;
      std::vector<float> factor_of(f.sets.size(), 0.0f);
      for (const std::size_t k : order) {
        factor_of[k] = factors[rng() % 5];
        refs.emplace_back(f.sets[k].id, factor_of[k]);
      }

      // The reference merge.
      std::vector<Records> per_element(static_cast<std::size_t>(f.elements) + 1);
      std::vector<float> vector(static_cast<std::size_t>(f.neq), 0.0f);
      bool any_element = false;
      std::size_t last_found = 0;
      for (std::size_t k = 0; k < f.sets.size(); ++k) {
        if (std::find(order.begin(), order.end(), k) == order.end()) continue;
        const LoadSet& s = f.sets[k];
        if (any_element && !s.nodal.empty()) last_found = k;
        any_element = any_element || s.nodal.empty();  // an element set, even of no record
        for (std::size_t at = 0; at < s.nodal.size(); at += 4)
          for (std::size_t c = 0; c < 3; ++c) {
            float& total = vector[static_cast<std::size_t>((s.nodal[at] >> 10) - 1) + c];
            total = static_cast<float>(double{total} + double{factor_of[k]} * word_real(s.nodal[at + 1 + c]));
          }
        for (const auto& [e, entries] : s.byel) {
          for (Record x : entries) {
            for (std::size_t v = 3; v < x.size(); ++v) x[v] = word_of(scaled(factor_of[k], x[v]));
            per_element[static_cast<std::size_t>(e)].push_back(x);
          }
        }
      }
      five += count == 5 ? 1 : 0;
      sum_copied += last_found == *std::max_element(order.begin(), order.end()) && last_found > 0 ? 1 : 0;
      Records expected;
      word longest = 0;
      for (word e = 1; e <= f.elements && any_element; ++e) {
        expected.push_back(loads(per_element[static_cast<std::size_t>(e)]));
        longest = std::max(longest, static_cast<word>(expected.back().size()));
      }

      GP4FRC(static_cast<word>(count), place_references(refs));
      ASSERT_EQ(sysw().IERFLG, 0);
      if (any_element) {
        EXPECT_EQ(block_records(EPD), expected);
        EXPECT_EQ(block_header(EPD), (std::array<word, 6>{f.elements, longest, 0, 1, 0, 0}));
      } else {
        EXPECT_EQ(block_header(EPD), (std::array<word, 6>{}));
      }
      const auto columns = dense_columns(DPG0);
      ASSERT_EQ(columns.size(), 1u);
      for (std::size_t i = 0; i < vector.size(); ++i) EXPECT_EQ(columns[0][i], vector[i]) << "equation " << i + 1;
      EXPECT_TRUE(fs.read("errors").empty());
    }
  }
  EXPECT_GT(five, 0);
  EXPECT_GT(sum_copied, 0);
}

TEST(IntervalLoadsMerge, ALongNodalRecordLeavesTheElementSumWhole) {
  // An element set of 60 records, then a nodal set of 3200 words read into
  // the merge area's place while the element set's sum waits on a scratch
  // block in lent core (a pool of blocks of 100 words, its link words first).
  testing::FreshFileSystem fs(1, 101);
  Fixture f;
  f.elements = 60;
  f.neq = 2400;
  LoadSet element;
  element.id = 12;
  Records expected;
  for (word e = 1; e <= f.elements; ++e) {
    element.byel[e] = {entry(2, e, {4, 6})};
    expected.push_back(loads({entry(2, e, {2, 3})}));
  }
  LoadSet nodal;
  nodal.id = 21;
  for (word node = 0; node < f.neq / 3; ++node)
    nodal.nodal.insert(nodal.nodal.end(), {(3 * node + 1) * 1024 + 3, word_of(1), word_of(2), word_of(3)});
  f.sets = {element, nodal};
  write_fixture(f);
  GP4FRC(2, place_references({{12, 0.5f}, {21, 1.0f}}));
  EXPECT_EQ(block_records(EPD), expected);
  EXPECT_EQ(dense_columns(DPG0).at(0).at(2399), 3.0);
}

}  // namespace
}  // namespace zephsol::test
