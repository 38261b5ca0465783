// The load dispatcher: entries of a load record reach the routines of the
// element type and their sum reaches the global vectors through the DOF
// index list (added to both, or subtracted from the second); beam loads
// reach only the end translations; joint, spring and contact loads are
// dropped; the record is read only up to its length word; load types and
// element types without routines, and malformed records, end the run.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <numeric>
#include <string>
#include <vector>

#include "support/elemgeom.h"
#include "common/fatal.h"
#include "support/loadfix.h"
#include "zephsol/elem/pelem.h"

namespace zephsol {
namespace {

constexpr word kHex8 = 1, kBeam2 = 5, kRod2 = 6, kTfla3 = 8, kGap2 = 13, kJoint4 = 14, kSpg2 = 22, kCnt2 = 23,
               kSbeam2 = 26;
constexpr word kDistributed = 2, kBody = 7;

// A load record: word 1 the number of words after it, word 2 unused, then
// entries [ELDTYP, m, code, m - 1 REAL values].
class LoadRecord {
 public:
  LoadRecord& entry(word eldtyp, word code, std::initializer_list<float> values) {
    words_.insert(words_.end(), {eldtyp, static_cast<word>(values.size() + 1), code});
    for (float v : values) words_.push_back(real_word(v));
    words_[0] = static_cast<word>(words_.size() - 1);
    return *this;
  }
  std::vector<word>& words() { return words_; }

 private:
  std::vector<word> words_{0, 0};
};

// Element equations in reverse order from first.
void number_dofs(word first) {
  for (int i = 0; i < etycom().NDOF; ++i) estcom().IDOF[static_cast<std::size_t>(i)] = first - i;
}

TEST(LoadDispatch, EntriesAddUpAndReachBothVectorsOrAreTakenFromTheSecond) {
  test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
  number_dofs(30);
  LoadRecord rec;
  rec.entry(kBody, 0, {0, 0, -1}).entry(kDistributed, 2, {1, 1, 1, 1}).entry(kBody, 0, {0, 0, -1});
  // Node k: -2.5 per body entry in z, -0.25 more on the top nodes 5-8.
  std::vector<double> want(40, 1.0);
  for (int k = 1; k <= 8; ++k) want[static_cast<std::size_t>(30 - (3 * (k - 1) + 2) - 1)] += k > 4 ? -5.25 : -5.0;
  std::vector<double> v1(40, 1.0), v2(40, 1.0);
  PELEM(rec.words(), v1, v2, 1);
  for (std::size_t i = 0; i < 40; ++i) {
    EXPECT_NEAR(v1[i], want[i], 1e-12) << i;
    EXPECT_NEAR(v2[i], want[i], 1e-12) << i;
  }
  std::vector<double> u1(40, 1.0), u2(40, 1.0);
  PELEM(rec.words(), u1, u2, -1);
  EXPECT_EQ(u1, std::vector<double>(40, 1.0));
  for (std::size_t i = 0; i < 40; ++i) EXPECT_NEAR(u2[i], 2.0 - want[i], 1e-12) << i;
}

TEST(LoadDispatch, BeamLoadsReachOnlyTheEndTranslations) {
  // Length 4 along x, orientation node on y, area 0.5, unit weight 10.
  const std::vector<double> x{0, 0, 0, 4, 0, 0, 0, 1, 0};
  test::load_element(kBeam2, x, 10.0, 0.5f);
  number_dofs(12);
  LoadRecord beam;
  beam.entry(kBody, 0, {0, 0, -1}).entry(kDistributed, 1, {1, 1});
  std::vector<double> v1(12, 0.0), v2(12, 0.0);
  PELEM(beam.words(), v1, v2, 1);
  // Equations run backwards: element DOF i is equation 12 - i.
  const std::vector<double> element{0, 2, -10, 0, 0, 0, 0, 2, -10, 0, 0, 0};
  for (std::size_t i = 0; i < 12; ++i) EXPECT_NEAR(v1[11 - i], element[i], 1e-12) << "BEAM2 DOF " << i + 1;

  test::load_element(kSbeam2, x, 10.0, 0.5f);
  number_dofs(12);
  LoadRecord weight;
  weight.entry(kBody, 0, {0, 0, -1});
  std::vector<double> s1(12, 0.0), s2(12, 0.0);
  PELEM(weight.words(), s1, s2, 1);
  for (std::size_t i = 0; i < 12; ++i)
    EXPECT_NEAR(s1[11 - i], i == 2 || i == 8 ? -10.0 : 0.0, 1e-12) << "SBEAM2 DOF " << i + 1;

  test::load_element(kRod2, {0, 0, 0, 4, 0, 0}, 10.0, 0.5f);
  number_dofs(6);
  std::vector<double> r1(6, 0.0), r2(6, 0.0);
  PELEM(weight.words(), r1, r2, 1);
  EXPECT_EQ(r1, (std::vector<double>{-10, 0, 0, -10, 0, 0}));
}

TEST(LoadDispatch, JointSpringAndContactLoadsAreDropped) {
  for (word iecod : {kJoint4, kSpg2, kCnt2}) {
    test::load_element(iecod, std::vector<double>(24, 0.0), 10.0, 1.0f);
    number_dofs(24);
    LoadRecord rec;
    rec.entry(kBody, 0, {0, 0, -1}).entry(kDistributed, 1, {1, 1}).entry(3, 1, {1});
    std::vector<double> v1(24, 0.0), v2(24, 0.0);
    PELEM(rec.words(), v1, v2, 1);
    EXPECT_EQ(v1, std::vector<double>(24, 0.0)) << iecod;
    EXPECT_EQ(exec_state().msgque.count, 0) << iecod;
    // A body force without load words, as the load table keeps it for
    // these types ([7, 0]), is dropped as well.
    std::vector<word> bare{3, 0, kBody, 0};
    PELEM(bare, v1, v2, 1);
    EXPECT_EQ(v1, std::vector<double>(24, 0.0)) << iecod;
    EXPECT_EQ(exec_state().msgque.count, 0) << iecod;
  }
}

TEST(LoadDispatch, TheRecordIsReadOnlyUpToItsLength) {
  test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
  number_dofs(24);
  LoadRecord rec;
  rec.entry(kBody, 0, {0, 0, -1});
  auto& w = rec.words();
  const word length = w[0];
  w.insert(w.end(), {kDistributed, 5, 99, 0, 0, 0, 0});  // beyond word L + 1: not an entry
  w[0] = length;
  std::vector<double> v1(24, 0.0), v2(24, 0.0);
  PELEM(w, v1, v2, 1);
  EXPECT_NEAR(std::accumulate(v1.begin(), v1.end(), 0.0), -20.0, 1e-12);

  w[0] = 0;  // no loads
  std::vector<double> z1(24, 0.0), z2(24, 0.0);
  PELEM(w, z1, z2, 1);
  EXPECT_EQ(z1, std::vector<double>(24, 0.0));
}

TEST(LoadDispatch, HexahedronRecordWalkerAddsWithoutClearing) {
  test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
  LoadRecord rec;
  rec.entry(kDistributed, 1, {1, 1, 1, 1}).entry(kBody, 0, {0, 0, -1});
  std::vector<double> pe(24, 1.0);
  PLHEX8(rec.words(), pe);
  for (int k = 1; k <= 8; ++k) EXPECT_NEAR(test::node_force(pe, 3, k)[2], 1.0 - 2.5 + (k <= 4 ? 0.25 : 0.0), 1e-12);
  EXPECT_NEAR(test::resultant(pe, 3)[0], 8.0, 1e-12);
}

TEST(LoadDispatchDeath, LoadTypesAndElementTypesWithoutRoutinesEndTheRun) {
  struct Case {
    std::string what;
    word iecod;
    word eldtyp;
    word code;       // 8019 or 5000
    word p1, p2;     // the message's parameters
  };
  const std::vector<Case> cases{
      {"ROD2 distributed", kRod2, kDistributed, 8019, 4711, kDistributed},
      {"SBEAM2 distributed", kSbeam2, kDistributed, 8019, 4711, kDistributed},
      {"HEX8 nodal", kHex8, 1, 8019, 4711, 1},
      {"TFLA3", kTfla3, kBody, 5000, kTfla3, 4711},
      {"GAP2", kGap2, kBody, 5000, kGap2, 4711},
  };
  for (const Case& c : cases) {
    const std::string log = test::fatal_log([&c] {
      test::load_element(c.iecod, std::vector<double>(24, 0.0), 1.0, 1.0f);
      number_dofs(24);
      LoadRecord rec;
      rec.entry(c.eldtyp, 1, {0, 0, -1});
      std::vector<double> v1(24, 0.0), v2(24, 0.0);
      PELEM(rec.words(), v1, v2, 1);
    });
    EXPECT_TRUE(test::has_message(log, c.code)) << c.what << "\n" << log;
    if (c.code == 8019)
      EXPECT_NE(log.find("ELEMENT ID=    4711, TYPE=       " + std::to_string(c.p2)), std::string::npos) << log;
    else
      EXPECT_TRUE(test::has_reason(log, c.p1, c.p2)) << c.what << "\n" << log;
  }
}

TEST(LoadDispatchDeath, MalformedRecordsAndEquationsOutsideTheVectorsEndTheRun) {
  // An entry whose values run past the record's length word.
  std::string log = test::fatal_log([] {
    test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
    number_dofs(24);
    LoadRecord rec;
    rec.entry(kBody, 0, {0, 0, -1});
    rec.words()[3] = 9;
    std::vector<double> v1(24, 0.0), v2(24, 0.0);
    PELEM(rec.words(), v1, v2, 1);
  });
  EXPECT_TRUE(test::has_message(log, 8019)) << log;
  // An element equation beyond the vectors.
  log = test::fatal_log([] {
    test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
    number_dofs(30);
    LoadRecord rec;
    rec.entry(kBody, 0, {0, 0, -1});
    std::vector<double> v1(24, 0.0), v2(24, 0.0);
    PELEM(rec.words(), v1, v2, 1);
  });
  EXPECT_TRUE(test::has_message(log, 8063)) << log;
  // The hexahedron walker takes only distributed and body-force entries.
  log = test::fatal_log([] {
    test::load_element(kHex8, test::flat(test::hex8_unit()), 20.0);
    LoadRecord rec;
    rec.entry(3, 1, {1, 1, 1});
    std::vector<double> pe(24, 0.0);
    PLHEX8(rec.words(), pe);
  });
  EXPECT_NE(log.find("ELEMENT ID=    4711, TYPE=       3"), std::string::npos) << log;
}

}  // namespace
}  // namespace zephsol
