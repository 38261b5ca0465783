// Integration-point state store: fresh records, single-precision round trips,
// point moves when blocks switch on and off, the valued switches, the two
// channels and the fatal paths.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/elem/eiv.h"

namespace zephsol {
namespace {

constexpr word kEiv0 = 231, kEiv1 = 232;

// In-memory state data blocks standing in for the file system.
struct FakeBlock {
  std::vector<std::vector<word>> records;
  std::size_t next = 0;
};
std::map<word, FakeBlock>& blocks() {
  static std::map<word, FakeBlock> b;
  return b;
}

word fake_read_head(word file, std::span<word, 6> head) {
  FakeBlock& b = blocks()[file];
  if (b.next >= b.records.size()) return 2;
  std::copy_n(b.records[b.next].begin(), 6, head.begin());
  return 0;
}
bool fake_read_rest(word file, std::span<word> area, word& n) {
  FakeBlock& b = blocks()[file];
  const auto& r = b.records[b.next++];
  if (r.size() - 6 > area.size()) return false;
  std::copy(r.begin() + 6, r.end(), area.begin());
  n = static_cast<word>(r.size() - 6);
  return true;
}
void fake_write(word file, std::span<const word, 6> head, std::span<const word> body) {
  std::vector<word> r(head.begin(), head.end());
  r.insert(r.end(), body.begin(), body.end());
  blocks()[file].records.push_back(r);
}
word fake_name(word file) { return name_word(file == kEiv0 ? "EIV0" : "EIV1"); }

double single(double x) { return static_cast<float>(x); }

class StateStore : public ::testing::Test {
 protected:
  void SetUp() override { start(); }

  static void start() {
    reset_elem_state();
    blocks().clear();
    elem_state().eivio = {fake_read_head, fake_read_rest, fake_write, fake_name};
    element(3, 9);
  }
  static void element(word iclass, word npts, word iecod = 1) {
    ESTCOM& e = estcom();
    e.IEXN = 77;
    e.IECOD = iecod;
    e.ICLASS = iclass;
    e.NPTS = npts;
    e.IOUTPT = npts;
  }
  // Directory and end position of the record in the area.
  std::vector<word> directory(word npts) const { return {area.begin(), area.begin() + npts + 1}; }
  // Stores a distinct scalar and distinct components in every point, so
  // that every word of a sub-record, its last included, is told apart.
  static void mark_points(word npts) {
    for (word p = 1; p <= npts; ++p) {
      EIVGTA(p);
      eivwka().scalar = p;
      for (std::size_t v = 0; v < 3; ++v)
        for (std::size_t i = 0; i < 6; ++i) eivwka().vec[v][i] = 100.0 * p + 10.0 * static_cast<double>(v) + i + 1;
      eivwka().vec[2][0] = 10.0 * p;
      EIVPTA();
    }
  }
  // The record's words in the area: the directory and every sub-record.
  std::vector<word> record_words(word npts) const { return {area.begin(), area.begin() + area[npts]}; }
  static void expect_marks(word npts) {
    for (word p = 1; p <= npts; ++p) {
      EIVGTA(p);
      EXPECT_EQ(eivwka().point, p);
      EXPECT_EQ(eivwka().scalar, p);
      EXPECT_EQ(eivwka().vec[2][0], 10.0 * p);
    }
  }

  std::vector<word> area = std::vector<word>(2000, -7);
};

TEST_F(StateStore, FreshRecordIsBaseSizedAndZero) {
  EIVRDA(0, area);
  // Class 3: NS 6, base size 3 x 6 + 3 = 21; sub-records from word P + 1 = 10.
  for (word p = 1; p <= 9; ++p) {
    const word start = area[p - 1];
    EXPECT_EQ(start, 10 + 21 * (p - 1));
    EXPECT_EQ(area[start], p);
    for (int w = 1; w < 21; ++w) EXPECT_EQ(area[start + w], 0) << p << " " << w;
  }
  EXPECT_EQ(area[9], 10 + 9 * 21);
  EIVOPA(kEiv0);
  std::array<word, 6> trailer{1, 0, 1, 9, 0, 1};
  EIVWRA(trailer);
  ASSERT_EQ(blocks()[kEiv0].records.size(), 1u);
  const auto& r = blocks()[kEiv0].records[0];
  EXPECT_EQ(std::vector<word>(r.begin(), r.begin() + 6), (std::vector<word>{77, 1, 3, 9, 9, 0}));
  EXPECT_EQ(r.size(), 6u + 189u);
  EXPECT_EQ(trailer, (std::array<word, 6>{1, 189 + 9 + 7, 1, 9, 0, 1}));
}

TEST_F(StateStore, SectionBeamRecordUsesTheComponentsOfItsClass) {
  element(6, 125, 26);
  estcom().NS = 3;
  area.resize(126 + 125 * 21);
  EIVRDA(0, area);
  EXPECT_EQ(area[1] - area[0], 3 * 6 + 3);
}

TEST_F(StateStore, PointRoundTripThroughSinglePrecision) {
  element(3, 2);
  EIVRDA(0, area);
  EIVOPA(kEiv0);
  EIVWK& w = eivwka();
  w.scratch[0] = 42;
  EIVGTA(2);
  w.scalar = 0.1;
  w.vec[0] = {1.5, -2.25, 1.0e-3, 3.0e20, -0.7, 1.0 / 3.0};
  w.vec[1][5] = -1.0e-30;
  w.sw[1] = 1;  // block 2: plastic state
  w.blk.b2.epeq = 0.25;
  w.blk.b2.v[5] = 0.123456789;
  w.blk.b2.iv = {1, -5};
  w.sw[7] = 1;  // block 8: section forces
  w.blk.b8.iv = {3, 4};
  w.blk.b8.v[12] = 1.0e30;
  w.sw[10] = 1;  // block 11: joint state
  w.blk.b11.iv = {2, 1};
  w.blk.b11.v = 0.3;
  w.sw[11] = 1;  // block 12: contact history
  w.blk.b12[83] = 7.5;
  EIVPTA();
  auto check = [](const EIVWK& r) {
    EXPECT_EQ(r.point, 2);
    EXPECT_EQ(r.scalar, 0.10000000149011612);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(r.vec[0][i], single(std::array{1.5, -2.25, 1.0e-3, 3.0e20, -0.7, 1.0 / 3.0}[i]));
    EXPECT_EQ(r.vec[1][5], single(-1.0e-30));
    EXPECT_EQ(r.blk.b2.epeq, 0.25);
    EXPECT_EQ(r.blk.b2.v[5], single(0.123456789));
    EXPECT_EQ(r.blk.b2.iv, (std::array<word, 2>{1, -5}));
    EXPECT_EQ(r.blk.b8.iv, (std::array<word, 2>{3, 4}));
    EXPECT_EQ(r.blk.b8.v[12], single(1.0e30));
    EXPECT_EQ(r.blk.b11.iv, (std::array<word, 2>{2, 1}));
    EXPECT_EQ(r.blk.b11.v, single(0.3));
    EXPECT_EQ(r.blk.b12[83], 7.5);
    EXPECT_EQ(r.blk.b1.v[0], 0.0);  // absent blocks read as zero
    EXPECT_EQ(r.blk.b3.s, 0.0);
    EXPECT_EQ(r.sw, (std::array<word, 12>{0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1}));
  };
  w.blk.b1.v[0] = 99.0;  // stale values of the work record are cleared by a fetch
  EIVGTA(2);
  check(w);
  EXPECT_EQ(w.scratch[0], 42);  // the words outside the record stay
  EIVGTA(1);
  EXPECT_EQ(w.scalar, 0.0);
  EXPECT_EQ(w.sw, (std::array<word, 12>{}));

  // Through the state data block and back.
  std::array<word, 6> trailer{1, 0, 1, 2, 0, 1};
  EIVWRA(trailer);
  const word blocks_2_8_11_12 = 2 | 128 | 1024 | 2048;
  EXPECT_EQ(trailer[4], blocks_2_8_11_12);
  EXPECT_EQ(trailer[1], 21 + (21 + 9 + 15 + 3 + 84) + 2 + 7);
  std::vector<word> other(500, 0);
  EIVRDA(kEiv0, other);
  EXPECT_EQ(w.flags, blocks_2_8_11_12);
  EIVGTA(2);
  check(w);
}

TEST_F(StateStore, SwitchingABlockMovesTheLaterPointsAndBack) {
  EIVRDA(0, area);
  EIVOPA(kEiv0);
  mark_points(9);
  const auto before = directory(9);
  const auto words = record_words(9);
  EIVGTA(1);
  eivwka().sw[1] = 1;  // block 2: NS + 3 = 9 words
  EIVPTA();
  const auto grown = directory(9);
  EXPECT_EQ(grown[0], before[0]);
  for (word p = 1; p <= 9; ++p) EXPECT_EQ(grown[p], before[p] + 9) << p;
  expect_marks(9);
  EIVGTA(1);
  eivwka().sw[1] = 0;
  EIVPTA();
  EXPECT_EQ(directory(9), before);
  EXPECT_EQ(record_words(9), words);  // shrinking moved every word back
  expect_marks(9);

  // A middle point moves only the points after it.
  EIVGTA(5);
  eivwka().sw[11] = 1;  // block 12: 84 words
  EIVPTA();
  const auto middle = directory(9);
  for (word p = 0; p <= 9; ++p) EXPECT_EQ(middle[p], before[p] + (p >= 5 ? 84 : 0)) << p;
  expect_marks(9);
  EIVGTA(5);
  eivwka().sw[11] = 0;
  EIVPTA();
  EXPECT_EQ(directory(9), before);
  EXPECT_EQ(record_words(9), words);
  expect_marks(9);
}

TEST_F(StateStore, SwitchValuesReadBack) {
  struct Case {
    int block;
    word value, back, words;
  };
  const Case cases[] = {
      {6, 2, 2, 0},   {6, 3, 3, 0},   {6, 7, 7, 0},  {12, 1, 1, 84}, {12, 2, 2, 84}, {12, 3, 3, 84},
      {2, 2, 1, 9},   {11, 5, 1, 3},  {6, 16, 1, 0}, {6, -1, 1, 0},  {12, 0, 0, 0},
  };
  for (const auto& c : cases) {
    start();
    element(3, 2);
    EIVRDA(0, area);
    EIVOPA(kEiv0);
    const auto before = directory(2);
    EIVGTA(1);
    eivwka().sw[c.block - 1] = c.value;
    EIVPTA();
    EXPECT_EQ(area[1] - area[0], 21 + c.words) << c.block << " " << c.value;
    std::array<word, 6> trailer{};
    EIVWRA(trailer);
    EXPECT_EQ(trailer[4], c.back != 0 ? word{1} << (c.block - 1) : 0) << c.block << " " << c.value;
    std::vector<word> other(500, 0);
    EIVRDA(kEiv0, other);
    EIVGTA(1);
    EXPECT_EQ(eivwka().sw[c.block - 1], c.back) << c.block << " " << c.value;
  }
}

TEST_F(StateStore, BothValuedSwitchesTogether) {
  element(3, 1);
  EIVRDA(0, area);
  EIVOPA(kEiv0);
  EIVGTA(1);
  eivwka().sw[5] = 3;
  eivwka().sw[11] = 2;
  EIVPTA();
  EIVGTA(1);
  EXPECT_EQ(eivwka().sw[5], 3);
  EXPECT_EQ(eivwka().sw[11], 2);
  eivwka().sw[5] = 0;  // dropping block 6 keeps block 12's value
  EIVPTA();
  EIVGTA(1);
  EXPECT_EQ(eivwka().sw[5], 0);
  EXPECT_EQ(eivwka().sw[11], 2);
}

TEST_F(StateStore, ChannelBReadsBesideChannelA) {
  // A record written with the sizes of class 4 (NS 4, base 15) under a class-3 header.
  blocks()[kEiv1].records.push_back({77, 1, 3, 1, 1, 0, 1, 0, real_word(2.5f), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  element(4, 1);
  EIVRDA(0, area);
  std::vector<word> area_b(100, 0);
  EIVRDB(kEiv1, area_b);  // parsed with channel A's layout
  EXPECT_EQ(elem_state().layout.iclass, 4);
  EIVGTB(1);
  EXPECT_EQ(eivwkb().scalar, 2.5);
  EIVGTA(1);  // channel A still holds its record
  EXPECT_EQ(eivwka().scalar, 0.0);

  // With channel A detached, channel B lays out its own class.
  start();
  element(3, 1);
  EIVRDA(0, area);
  EIVOPA(kEiv0);
  std::array<word, 6> trailer{};
  EIVWRA(trailer);
  element(4, 1);
  EIVRDA(0, area);
  EIVOPA(kEiv1);
  EIVWRA(trailer);
  EIVRDB(kEiv0, area_b);
  EXPECT_EQ(elem_state().layout.iclass, 3);
}

// ---- Fatal paths --------------------------------------------------------------

struct FatalCase {
  const char* what;
  std::function<void(std::vector<word>& area)> run;
  word code;
  const char* text;
};

TEST_F(StateStore, MessageTable) {
  auto fresh = [](std::vector<word>& a) {
    EIVRDA(0, a);
    EIVOPA(kEiv0);
  };
  std::array<word, 6> trailer{};
  const FatalCase cases[] = {
      {"fetch without a record", [](auto&) { EIVGTA(1); }, 3541, "REASON CODE =         0,         0"},
      {"fetch of point P + 1", [](auto& a) { EIVRDA(0, a); EIVGTA(10); }, 3541,
       "REASON CODE =        10,         9"},
      {"fetch of point 0", [](auto& a) { EIVRDA(0, a); EIVGTA(0); }, 3541, "REASON CODE =         0,         9"},
      {"store without an output", [](auto& a) { EIVRDA(0, a); EIVGTA(1); EIVPTA(); }, 3541,
       "REASON CODE =         0,         0"},
      {"store twice", [&](auto& a) { fresh(a); EIVGTA(1); EIVPTA(); EIVPTA(); }, 3061,
       "REASON CODE =         0,         0"},
      {"store of a point renumbered outside the record",
       [&](auto& a) { fresh(a); EIVGTA(1); eivwka().point = 12; EIVPTA(); }, 3541,
       "REASON CODE =        12,         9"},
      {"write without an output", [&](auto& a) { EIVRDA(0, a); EIVWRA(trailer); }, 3541,
       "REASON CODE =         0,         0"},
      {"output attached twice", [&](auto& a) { fresh(a); EIVOPA(kEiv0); }, 3051,
       "PREVIOUS RECORD NOT YET TERMINATED.  FILE=EIV0, UNIT=     231"},
      {"output attached before a read", [&](auto& a) { fresh(a); EIVWRA(trailer); EIVOPA(kEiv0); }, 3061,
       "REASON CODE =         0,         0"},
      {"channel B detached by channel A",
       [](auto& a) { std::vector<word> b(300); EIVRDB(0, b); EIVRDA(0, a); EIVGTB(1); }, 3541,
       "REASON CODE =         0,         0"},
      {"no room for the directory", [](auto& a) { a.resize(10); EIVRDA(0, a); }, 3, "REQUIRED =    -999"},
      {"fresh record does not fit", [](auto& a) { a.resize(10 + 9 * 21 - 1); EIVRDA(0, a); }, 3,
       "REQUIRED =    -999"},
      {"point cannot grow",
       [](auto& a) { a.resize(10 + 9 * 21 + 84); EIVRDA(0, a); EIVOPA(kEiv0); EIVGTA(9); eivwka().sw[11] = 1; EIVPTA(); },
       3, "REQUIRED =    -999"},
      {"end of the state block", [](auto& a) { EIVRDA(kEiv0, a); }, 2, "UNEXPECTED END-OF-FILE ON FILE EIV0"},
      {"record does not fit",
       [](auto& a) {
         blocks()[kEiv0].records.push_back(std::vector<word>(6 + 30, 0));
         blocks()[kEiv0].records[0][3] = 1;
         a.resize(30);
         EIVRDA(kEiv0, a);
       },
       3, "REQUIRED =    -999"},
      {"points out of sequence",
       [](auto& a) {
         std::vector<word> r{77, 1, 3, 3, 3, 0};
         for (word p : {1, 3, 2}) {
           r.push_back(p);
           r.insert(r.end(), 20, 0);
         }
         blocks()[kEiv0].records.push_back(r);
         EIVRDA(kEiv0, a);
       },
       999, "REASON CODE =         2,         3"},
      {"record shorter than its flag words",
       [](auto& a) {
         std::vector<word> r{77, 1, 3, 1, 1, 0, 1, 2};  // block 2 present
         r.insert(r.end(), 19 + 5, 0);                   // 4 words short of 21 + 9
         blocks()[kEiv0].records.push_back(r);
         EIVRDA(kEiv0, a);
       },
       1, "UNEXPECTED EOR ON FILE EIV0"},
      {"class 12", [](auto& a) { estcom().ICLASS = 12; EIVRDA(0, a); }, 3523, "REASON CODE =        12,         0"},
  };
  for (const auto& c : cases) {
    start();
    const std::string log = test::fatal_log([&] { c.run(area); });
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
    EXPECT_NE(log.find(c.text), std::string::npos) << c.what << "\n" << log;
  }
}

TEST(StateStoreBlocks, MessagesNameTheDataBlockOfTheDirectory) {
  reset_elem_state();
  estcom().ICLASS = 3;
  estcom().NPTS = 1;
  std::vector<word> area(100);
  const std::string log = test::fatal_log([&] {
    EIVRDA(0, area);
    EIVOPA(EIV0);
    EIVOPA(EIV0);
  });
  EXPECT_NE(log.find("FILE=EIV0, UNIT=     240"), std::string::npos) << log;
}

}  // namespace
}  // namespace zephsol
