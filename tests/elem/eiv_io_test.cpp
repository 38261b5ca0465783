// The element library on real data blocks: state records written by the
// state store and read back word for word, two state blocks read side by
// side on the two channels, an area that holds a record exactly, the end of
// a state block; element records read back through ESTRD. Blocks of ten
// words make every record cross several block boundaries.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <vector>

#include "support/dbfix.h"
#include "common/fatal.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"

namespace zephsol {
namespace {

using test::Record;
using test::top_buffer;

struct Element {
  word iexn, iecod, iclass, npts;
};

class StateBlocks : public ::testing::Test {
 protected:
  void SetUp() override { reset_elem_state(); }

  static void make_current(const Element& e) {
    ESTCOM& c = estcom();
    c.IEXN = e.iexn;
    c.IECOD = e.iecod;
    c.ICLASS = e.iclass;
    c.NPTS = e.npts;
    c.IOUTPT = e.npts;
  }

  // Fills every point of the record held on channel A with values of its
  // own, switching optional blocks on in some points, and returns the
  // record as it stands in the area: the header, then the sub-records.
  static Record fill_points(std::span<word> area, word npts, double seed) {
    EIVWK& w = eivwka();
    for (word p = 1; p <= npts; ++p) {
      EIVGTA(p);
      w.scalar = seed + 0.1 * p;
      for (int k = 0; k < 6; ++k) w.vec[0][k] = seed * p - k / 3.0;
      w.vec[2][1] = -1.0e-7 * p;
      if (p % 3 == 1) {
        w.sw[1] = 1;  // plastic block: a REAL, components, two integers
        w.blk.b2.epeq = 1.0e-3 * p;
        w.blk.b2.iv = {1, p};
      }
      if (p == 2) {
        w.sw[10] = 1;  // joint state: two integers and a REAL
        w.blk.b11.iv = {3, 1};
        w.blk.b11.v = seed;
      }
      EIVPTA();
    }
    Record r(w.head.begin(), w.head.end());
    r.insert(r.end(), area.begin() + area[0], area.begin() + area[static_cast<std::size_t>(npts)]);
    return r;
  }

  // Writes one state record per element to file through channel A.
  static std::vector<Record> write_states(word file, const std::vector<Element>& elements,
                                          std::array<word, 6>& trailer) {
    std::vector<Record> written;
    std::vector<word> area(600, -1);
    DBOPEN(file, top_buffer(2), kWrite);
    for (const Element& e : elements) {
      make_current(e);
      EIVRDA(0, area);
      EIVOPA(file);
      written.push_back(fill_points(area, e.npts, e.iexn));
      EIVWRA(trailer);
    }
    DBCLOS(file, kCloseRewind);
    HDRPUT(file, trailer);
    return written;
  }

  // The record held on channel A as it stands in its area.
  static Record held(std::span<const word> area) {
    const word npts = eivwka().head[3];
    Record r(eivwka().head.begin(), eivwka().head.end());
    r.insert(r.end(), area.begin() + area[0], area.begin() + area[static_cast<std::size_t>(npts)]);
    return r;
  }

  testing::FreshFileSystem fs{1, 11};
  const std::vector<Element> elements{{101, 1, 3, 9}, {102, 19, 10, 5}, {103, 1, 3, 9}};
};

TEST_F(StateBlocks, RecordsWrittenAndReadBackAreWordIdentical) {
  std::array<word, 6> trailer{3, 0, 1 | (1 << 18), 9, 0, 1};
  const std::vector<Record> written = write_states(EIV1, elements, trailer);

  // The data block holds exactly the records the store held.
  EXPECT_EQ(test::read_records(EIV1), written);
  std::size_t longest = 0;
  for (const Record& r : written) longest = std::max(longest, r.size() - 6 + static_cast<std::size_t>(r[3]) + 7);
  EXPECT_EQ(trailer[1], static_cast<word>(longest));
  EXPECT_EQ(trailer[4], 2 | 1024);
  EXPECT_EQ(test::header_of(EIV1), trailer);

  // Read back through the store: the same words, and the same points.
  std::vector<word> area(600, -5);
  DBOPEN(EIV1, top_buffer(2), kRead);
  for (std::size_t k = 0; k < written.size(); ++k) {
    EIVRDA(EIV1, area);
    EXPECT_EQ(held(area), written[k]) << "element " << k + 1;
    EXPECT_EQ(eivwka().flags, 2 | 1024) << "element " << k + 1;
  }
  DBCLOS(EIV1, kCloseRewind);
}

TEST_F(StateBlocks, TwoStateBlocksReadSideBySide) {
  std::array<word, 6> trailer{3, 0, 0, 9, 0, 1};
  const std::vector<Record> written = write_states(EIV1, elements, trailer);
  test::write_records(EIV2, written, trailer);
  std::vector<word> area_a(600), area_b(600);
  DBOPEN(EIV1, top_buffer(2), kRead);
  DBOPEN(EIV2, top_buffer(3), kRead);
  for (const Element& e : elements) {
    EIVRDA(EIV1, area_a);
    EIVRDB(EIV2, area_b);
    for (word p = 1; p <= e.npts; ++p) {
      EIVGTA(p);
      EIVGTB(p);
      const EIVWK &a = eivwka(), &b = eivwkb();
      EXPECT_EQ(a.head, b.head);
      EXPECT_EQ(a.sw, b.sw);
      EXPECT_EQ(a.scalar, b.scalar);
      EXPECT_EQ(a.vec, b.vec);
      EXPECT_EQ(a.blk.b2.epeq, b.blk.b2.epeq);
      EXPECT_EQ(a.blk.b11.iv, b.blk.b11.iv);
    }
    EXPECT_EQ(eivwkb().head[0], e.iexn);
  }
  DBCLOS(EIV1, kCloseRewind);
  DBCLOS(EIV2, kCloseRewind);
}

TEST_F(StateBlocks, AnAreaThatHoldsTheRecordExactlyIsEnough) {
  std::array<word, 6> trailer{1, 0, 0, 9, 0, 1};
  const std::vector<Record> written = write_states(EIV1, {elements[0]}, trailer);
  // Directory (P words), end position, sub-records.
  const std::size_t exact = static_cast<std::size_t>(9 + 1) + written[0].size() - 6;
  std::vector<word> area(exact);
  DBOPEN(EIV1, top_buffer(2), kRead);
  EIVRDA(EIV1, area);
  EXPECT_EQ(held(area), written[0]);
  DBCLOS(EIV1, kCloseRewind);

  // One word less does not hold it.
  const std::string log = test::fatal_log([&] {
    std::vector<word> small(exact - 1);
    DBOPEN(EIV1, top_buffer(2), kRead);
    EIVRDA(EIV1, small);
  });
  EXPECT_TRUE(test::has_message(log, 3));
  EXPECT_NE(log.find("REQUIRED =    -999"), std::string::npos) << log;
}

TEST_F(StateBlocks, ReadingPastTheLastRecordEndsTheRun) {
  std::array<word, 6> trailer{1, 0, 0, 9, 0, 1};
  write_states(EIV1, {elements[0]}, trailer);
  const std::string log = test::fatal_log([] {
    std::vector<word> area(600);
    DBOPEN(EIV1, top_buffer(2), kRead);
    EIVRDA(EIV1, area);
    EIVRDA(EIV1, area);
  });
  EXPECT_TRUE(test::has_message(log, 2));
  EXPECT_NE(log.find("EIV1"), std::string::npos);
}

// ---- Element records --------------------------------------------------------

word real(float v) { return std::bit_cast<word>(v); }

// An element record: the ten head words, then the property, coordinate and
// EQIX words.
Record est_record(word iexn, word iseq, word iecod, word iclass, word npts, std::vector<float> props,
                  std::vector<float> xyz, std::vector<word> eqix) {
  Record r{iexn, iseq * (1 << 24) + iecod, 10, 2, iclass, npts, npts, static_cast<word>(props.size()),
           static_cast<word>(xyz.size()), static_cast<word>(eqix.size())};
  for (float p : props) r.push_back(real(p));
  for (float x : xyz) r.push_back(real(x));
  r.insert(r.end(), eqix.begin(), eqix.end());
  return r;
}

TEST(ElementRecords, ReadBackThroughEstrd) {
  testing::FreshFileSystem fs{1, 11};
  reset_elem_state();
  std::vector<float> hex_xyz;
  for (int k = 0; k < 24; ++k) hex_xyz.push_back(0.5f * k);
  std::vector<word> hex_eqix;
  for (word k = 0; k < 8; ++k) hex_eqix.push_back((1 + 3 * k) * 1024 + 3);
  std::vector<float> beam_props(20);
  for (int k = 0; k < 20; ++k) beam_props[k] = 1.0f + k;
  const std::vector<Record> records{
      est_record(11, 1, 1, 3, 9, {}, hex_xyz, hex_eqix),
      est_record(12, 2, 5, 6, 1, beam_props, {0, 0, 0, 2, 0, 0, 0, 1, 0}, {25 * 1024 + 6, 100 * 1024 + 6, 0})};
  test::write_records(EST, records, {2, 0, 0, 0, 0, 0});

  DBOPEN(EST, top_buffer(2), kRead);
  ESTRD(EST);
  const ESTCOM& e = estcom();
  EXPECT_EQ(e.IEXN, 11);
  EXPECT_EQ(e.IECOD, 1);
  EXPECT_EQ(e.ISEQ, 1);
  EXPECT_EQ(e.NS, 6);
  for (int k = 0; k < 24; ++k) EXPECT_EQ(e.XYZ[k], 0.5f * k);
  for (int k = 0; k < 24; ++k) EXPECT_EQ(e.IDOF[k], 1 + k);
  ESTRD(EST);
  EXPECT_EQ(e.IEXN, 12);
  EXPECT_EQ(e.IECOD, 5);
  EXPECT_EQ(e.ISEQ, 2);
  EXPECT_EQ(e.MGROUP, 2);
  for (int k = 0; k < 20; ++k) EXPECT_EQ(e.PROP[k], 1.0f + k);
  EXPECT_EQ(e.XYZ[3], 2.0f);
  EXPECT_EQ(e.XYZ[7], 1.0f);
  const std::vector<word> dofs(e.IDOF.begin(), e.IDOF.begin() + 12);
  EXPECT_EQ(dofs, (std::vector<word>{25, 26, 27, 28, 29, 30, 100, 101, 102, 103, 104, 105}));
  DBCLOS(EST, kCloseRewind);
}

TEST(ElementRecords, RecordsThatDoNotMatchTheirCountsEndTheRun) {
  struct Case {
    const char* what;
    Record record;
    word code;
  };
  Record shorter = est_record(21, 1, 1, 3, 9, {}, std::vector<float>(24), std::vector<word>(8, 1024 + 3));
  shorter.pop_back();
  Record too_many = est_record(22, 1, 6, 1, 1, std::vector<float>(3), std::vector<float>(6), {1024 + 3, 4096 + 3});
  too_many[7] = 21;  // more property words than the current element holds
  const Case cases[] = {{"record shorter than its counts", shorter, 1}, {"21 property words", too_many, 8063}};
  for (const Case& c : cases) {
    testing::FreshFileSystem fs{1, 11};
    reset_elem_state();
    test::write_records(EST, {c.record}, {1, 0, 0, 0, 0, 0});
    const std::string log = test::fatal_log([] {
      DBOPEN(EST, top_buffer(2), kRead);
      ESTRD(EST);
    });
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
  }
}

}  // namespace
}  // namespace zephsol
