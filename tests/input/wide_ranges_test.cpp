// Wide ranges cost what the deck defines: a range of a hundred million nodes
// or elements over the example model decodes as fast as the exact range and
// writes the same blocks word for word, and the terms it leaves out reach the
// model modules, which report them as if the block held them. The range
// walk and the union count are checked against a full expansion.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/idrange.h"
#include "zephsol/input/leftout.h"

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;

// ---- The walk and the union against a full expansion ---------------------

struct Walked {
  std::vector<word> kept;
  std::vector<std::pair<word, std::int64_t>> left;  // term, kept terms before it
  std::int64_t out = 0;
};

Walked walk(const StepRange& r, IdKind kind, std::int64_t report) {
  Walked w;
  w.out = walk_range(
      r, kind, report, [&](word id) { w.kept.push_back(id); },
      [&](word id) { w.left.emplace_back(id, static_cast<std::int64_t>(w.kept.size())); });
  return w;
}

// What a wide range must give: the full expansion, defined terms kept in
// order, the first `report` others left out in their places.
Walked expected_walk(const StepRange& r, const std::set<word>& defined, std::int64_t report) {
  Walked w;
  for_each_in_range(r, [&](word id) {
    if (defined.count(id) != 0) {
      w.kept.push_back(id);
    } else {
      if (static_cast<std::int64_t>(w.left.size()) < report)
        w.left.emplace_back(id, static_cast<std::int64_t>(w.kept.size()));
      ++w.out;
    }
  });
  return w;
}

TEST(RangeWalk, AgreesWithTheFullExpansion) {
  reset_bulk_state();
  std::mt19937 rng(7);
  std::set<word> defined;
  for (word id = 1000; id < 1300; ++id) defined.insert(id);  // a dense stretch and scattered ones
  while (defined.size() < 600) defined.insert(static_cast<word>(1 + rng() % 30000));
  keep_defined_ids(IdKind::Node, {defined.begin(), defined.end()});
  std::uniform_int_distribution<int> id(1, 30000), step(1, 5);
  int wide = 0;
  for (int i = 0; i < 400; ++i) {
    word a = id(rng), b = id(rng), s = step(rng);
    if (b < a) s = -s;
    const StepRange r{a, b, s};
    const std::int64_t report = i % 3 == 0 ? 0 : 100;
    const Walked got = walk(r, IdKind::Node, report);
    if (!wide_range(r, IdKind::Node)) {
      std::vector<word> all;
      for_each_in_range(r, [&](word t) { all.push_back(t); });
      EXPECT_EQ(got.kept, all);
      EXPECT_EQ(got.out, 0);
      continue;
    }
    ++wide;
    const Walked want = expected_walk(r, defined, report);
    EXPECT_EQ(got.kept, want.kept) << a << " " << b << " " << s;
    EXPECT_EQ(got.left, want.left) << a << " " << b << " " << s;
    EXPECT_EQ(got.out, want.out) << a << " " << b << " " << s;
    EXPECT_EQ(kept_terms(r, IdKind::Node), static_cast<std::int64_t>(want.kept.size()));
  }
  EXPECT_GT(wide, 100);  // both kinds of range were walked
  // A range of a hundred million terms costs what its defined terms cost.
  const auto start = std::chrono::steady_clock::now();
  const Walked huge = walk({1, 99999999, 1}, IdKind::Node, 100);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(huge.kept, (std::vector<word>(defined.begin(), defined.end())));
  EXPECT_EQ(huge.out, 99999999 - 600);
}

TEST(RangeWalk, UnionSizeAgreesWithTheSetOfTerms) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> id(1, 4000), step(1, 7), count(1, 6);
  for (int i = 0; i < 300; ++i) {
    std::vector<StepRange> ranges;
    std::set<word> all;
    for (int k = count(rng); k > 0; --k) {
      word a = id(rng), b = id(rng), s = i % 4 == 0 ? 1 : step(rng);
      if (b < a) s = -s;
      ranges.push_back({a, b, s});
      for_each_in_range(ranges.back(), [&](word t) { all.insert(t); });
    }
    std::int64_t size = 0;
    ASSERT_TRUE(union_size(ranges, size));
    EXPECT_EQ(size, static_cast<std::int64_t>(all.size())) << i;
  }
  // More stepped ranges over one identifier than the count allows.
  std::vector<StepRange> many;
  for (word s = 2; s < 2 + kMaxOverlapping + 1; ++s) many.push_back({1, 100000000, s});
  std::int64_t size = 0;
  EXPECT_FALSE(union_size(many, size));
  many.pop_back();
  EXPECT_TRUE(union_size(many, size));
}

// ---- The example model -----------------------------------------------------

// The example deck with its "CONST" group replaced by the cards given, and
// further groups added before "HISTORY".
std::string example_with(const std::vector<std::string>& constant, const std::vector<std::string>& more) {
  std::ifstream in(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat");
  std::string deck;
  bool skipping = false;
  for (std::string line; std::getline(in, line);) {
    if (line == "HISTORY")
      for (const auto& l : more) deck += l + "\n";
    if (line == "CONST") {
      deck += line + "\n";
      for (const auto& l : constant) deck += l + "\n";
      skipping = true;
      continue;
    }
    if (skipping && line[0] != ' ') skipping = false;
    if (!skipping) deck += line + "\n";
  }
  return deck;
}

// Cards of the ranges over nodes 1..last_node and elements 1..last_element.
std::string example_ranges(const std::string& last_node, const std::string& last_element) {
  return example_with({card({"", "1", last_node, "", "", "1", "2"})},
                      {"DLOAD", card({"1"}), card({"", "1", last_element, "", "1", "1", "1", "5.0"}), "EGROUP",
                       card({"1"}), card({"", "F2", "1", last_element})});
}

struct Decoded {
  std::vector<std::string> boun, load, elst;
  std::uintmax_t work_bytes = 0;
  double seconds = 0;
};

Decoded decode(const std::string& deck) {
  DeckRun run(deck);
  const auto start = std::chrono::steady_clock::now();
  run.input();
  Decoded d;
  d.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(sysw().IERFLG, 0);
  d.boun = dump_block(BOUN);
  d.load = dump_block(LOAD);
  d.elst = dump_block(ELST);
  for (const auto& e : fs::directory_iterator(run.dir()))
    if (e.path().filename().string().rfind("WORK", 0) == 0) d.work_bytes += e.file_size();
  return d;
}

TEST(WideRanges, DecodeAsTheExactRangesOfTheExampleModel) {
  const Decoded exact = decode(example_ranges("9", "4"));
  const Decoded wide = decode(example_ranges("99999999", "99999999"));
  ASSERT_GT(exact.boun.size(), 1u);
  EXPECT_EQ(wide.boun, exact.boun);
  EXPECT_EQ(wide.load, exact.load);
  EXPECT_EQ(wide.elst, exact.elst);
  EXPECT_EQ(wide.work_bytes, exact.work_bytes);
  EXPECT_LT(wide.work_bytes, std::uintmax_t{1} << 20);
  EXPECT_LT(wide.seconds, 0.5);
}

TEST(WideRanges, TheirUndefinedTermsAreKeptForTheModelModules) {
  const std::string deck =
      example_with({card({"", "1", "99999999", "", "", "1", "2"})},
                   {"DISP", card({"1"}), card({"", "99999999", "1", "-1", "", "1", "2", "0.5"}), "DLOAD", card({"1"}),
                    card({"", "1", "99999999", "", "1", "1", "1", "5.0"}), "EGROUP", card({"1"}),
                    card({"", "F2", "1", "5000", "", "3000", "9000", "2"}), card({"", "F1", "7000", "20000"})});
  DeckRun run(deck);
  run.input();
  // "CONST" (value 0.0): the boundary module drops undefined nodes silently.
  EXPECT_EQ(left_out(BOUN, kBoundarySets, 0).count, 0);
  // "DISP" from 99999999 down: two entries per undefined node, before node 9.
  const LeftOutSet& disp = left_out(BOUN, kBoundarySets, 1);
  EXPECT_EQ(disp.count, 2 * (99999999 - 9));
  ASSERT_EQ(disp.first.size(), kLeftOutKept);
  EXPECT_EQ(disp.first[0].id, 99999999);
  EXPECT_EQ(disp.first[1].id, 99999999);
  EXPECT_EQ(disp.first[99].id, 99999999 - 49);
  EXPECT_EQ(disp.first[99].before, 0);
  // "DLOAD": elements 5 on, after the four defined.
  const LeftOutSet& dload = left_out(LOAD, 2, 0);
  EXPECT_EQ(dload.count, 99999999 - 4);
  EXPECT_EQ(dload.first.front().id, 5);
  EXPECT_EQ(dload.first.back().id, 104);
  EXPECT_EQ(dload.first.back().before, 4);
  // "EGROUP": the record holds 1-4, 7000 and 20000; the left-out elements
  // are those of the two ranges' union that it does not hold.
  EXPECT_EQ(block_records(ELST).front(), (std::vector<word>{1, 6, 1, 2, 3, 4, 7000, 20000}));
  std::set<word> named;
  for_each_in_range(StepRange{1, 5000, 1}, [&](word t) { named.insert(t); });
  for_each_in_range(StepRange{3000, 9000, 2}, [&](word t) { named.insert(t); });
  for (const word held : {1, 2, 3, 4, 7000}) named.erase(held);
  const LeftOutSet& group = left_out(ELST, kEgroupRecords, 0);
  EXPECT_EQ(group.count, static_cast<std::int64_t>(named.size()));
  ASSERT_EQ(group.first.size(), kLeftOutKept);
  EXPECT_EQ(group.first.front().id, 5);
  EXPECT_EQ(group.first.front().before, 4);
  EXPECT_EQ(group.first.back().id, 104);
}

// The element group module reports the elements of a wide range as it
// reports those of a narrow one: the same first hundred messages, and every
// undefined element counted.
TEST(WideRanges, TheGroupModuleReportsWhatTheyLeftOut) {
  auto group_run = [](const std::string& last, std::vector<std::string>& messages) {
    DeckRun run(example_with({card({"", "1", "3", "1", "", "1", "2"})},
                             {"EGROUP", card({"1"}), card({"", "F2", "1", last})}));
    EXPECT_FALSE(run.model_phase());
    for (const auto& l : run.listing())
      if (l.find("1704") != std::string::npos) messages.push_back(l);
    return sysw().IERFLG;
  };
  std::vector<std::string> narrow, wide;
  EXPECT_EQ(group_run("200", narrow), 196);     // every element in the record
  EXPECT_EQ(group_run("99999999", wide), 99999995);  // four in the record
  ASSERT_EQ(narrow.size(), 100u);
  EXPECT_EQ(wide, narrow);
  EXPECT_EQ(narrow.front(), "0*** USER FATAL MESSAGE 1704, ELEMENT     5 IN EGROUP     1 NOT FOUND.");
}

// More stepped wide ranges over one element than a group can count: the
// range that passes the limit is refused on its card, naming it.
TEST(WideRanges, TooManyOverlappingStepsAreRefusedOnTheirCard) {
  std::vector<std::string> cards = {"EGROUP", card({"1"})};
  for (int s = 2; s < 2 + kMaxOverlapping + 1; ++s) cards.push_back(card({"", "F2", "1", "99999999", std::to_string(s)}));
  const std::string deck = example_with({card({"", "1", "3", "1", "", "1", "2"})}, cards);
  // The card number of the last range card: its place in the bulk data.
  const auto bulk = deck.find("BEGIN BULK\n") + 11;
  const auto at = deck.find(cards.back() + "\n");
  const auto line = 1 + std::count(deck.begin() + static_cast<std::ptrdiff_t>(bulk),
                                    deck.begin() + static_cast<std::ptrdiff_t>(at), '\n');
  DeckRun run(deck);
  EXPECT_EQ(run.run_program(), 1);
  const auto listing = run.listing();
  EXPECT_EQ(count_lines(listing, "RANGE          1 THRU   99999999 CANNOT BE EXPANDED IN ONE SET"), 1);
  char header[80];
  std::snprintf(header, sizeof header, "0*** USER FATAL MESSAGE    2120,  CARD NUMBER%7d,", static_cast<int>(line));
  EXPECT_TRUE(has_line(listing, header)) << header;
}

}  // namespace
}  // namespace zephsol::test
