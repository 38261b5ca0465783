// State adjustment before a re-execution (MODEIV): the point rules as one
// table (a point per case), every other word of the states kept, the
// header, and an open core too small for its buffers.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/block_dump.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/modeiv.h"

namespace zephsol {
namespace {

// One point of the start states (a), the same point after the first pass
// (b), and what the re-execution starts from. Joint fields are used only
// with the joint block on.
struct PointCase {
  const char* what;
  word a_plastic, a_plastic_block, a_joint, a_state, a_lock;
  word b_plastic, b_state, b_lock;
  word plastic, state, lock;  // expected
};

const std::vector<PointCase> kCases{
    {"plastic point that unloaded is elastic again", 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"plastic point still plastic keeps its flag", 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0},
    {"newly yielded point is not carried over", 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0},
    {"slip that stuck sticks with its own lock", 0, 0, 1, 3, 1, 0, 2, 0, 0, 2, 1},
    {"post-peak slip that stuck takes the lock of the first pass", 0, 0, 1, 4, 1, 0, 2, 0, 0, 2, 0},
    {"post-peak slip that stuck locked is locked", 0, 0, 1, 4, 0, 0, 2, 1, 0, 2, 1},
    {"separated point stays separated", 0, 0, 1, 1, 0, 0, 2, 0, 0, 1, 0},
    {"separated point takes a lock set in the first pass", 0, 0, 1, 1, 0, 0, 1, 1, 0, 1, 1},
    {"slip that slipped again is unchanged", 0, 0, 1, 3, 0, 0, 3, 0, 0, 3, 0},
    {"stick that slipped is unchanged", 0, 0, 1, 2, 0, 0, 3, 0, 0, 2, 0},
    {"plastic joint point: both rules", 1, 1, 1, 3, 0, 0, 2, 1, 0, 2, 1},
};

constexpr word kSolidClass = 3, kHex8 = 1;

class Modeiv : public ::testing::Test {
 protected:
  void SetUp() override { reset_elem_state(); }

  // Writes one solid element (identifier 100 + e) per entry of states with
  // the given points, through channel A; stresses and strains of their own.
  static void write_states(word file, const std::vector<std::vector<PointCase>>& elements, bool after) {
    std::array<word, 6> trailer{static_cast<word>(elements.size()), 0, 1 << kHex8, 0, 0, 1};
    std::vector<word> area(4000);
    DBOPEN(file, sysw().COREND - 2 * sysw().NBUFSZ, kWrite);
    for (std::size_t e = 0; e < elements.size(); ++e) {
      const auto& points = elements[e];
      ESTCOM& c = estcom();
      c.IEXN = static_cast<word>(101 + e);
      c.IECOD = kHex8;
      c.ICLASS = kSolidClass;
      c.NPTS = static_cast<word>(points.size());
      c.IOUTPT = c.NPTS;
      trailer[3] = std::max(trailer[3], c.NPTS);
      EIVRDA(0, area);
      EIVOPA(file);
      for (word p = 1; p <= c.NPTS; ++p) {
        const PointCase& k = points[static_cast<std::size_t>(p - 1)];
        EIVGTA(p);
        EIVWK& w = eivwka();
        w.scalar = 0.25 * p + (after ? 1.0 : 0.0);
        for (int i = 0; i < 6; ++i) w.vec[0][i] = 10.0 * p + i + (after ? 0.5 : 0.0);
        w.vec[1][2] = -1.0e-4 * p;
        w.sw[1] = k.a_plastic_block;
        w.blk.b2.epeq = 1.0e-3 * p;
        w.blk.b2.iv = {after ? k.b_plastic : k.a_plastic, 7};
        w.sw[10] = k.a_joint;
        w.blk.b11.iv = {after ? k.b_state : k.a_state, after ? k.b_lock : k.a_lock};
        w.blk.b11.v = 0.125 * p;
        EIVPTA();
      }
      EIVWRA(trailer);
    }
    DBCLOS(file, kCloseRewind);
    HDRPUT(file, trailer);
  }

  testing::FreshFileSystem fs{1, 17};
};

TEST_F(Modeiv, PointRulesAndEveryOtherWordKept) {
  // Element 101 holds a point per case; element 102 the same points with
  // nothing to change, so that its record must come out word for word.
  std::vector<PointCase> unchanged = kCases;
  for (PointCase& k : unchanged) {
    k.b_plastic = k.a_plastic;
    k.b_state = k.a_state;
    k.b_lock = k.a_lock;
  }
  for (PointCase& k : unchanged)
    if (k.a_plastic_block == 0) k.a_plastic = 0;
  write_states(EIV0, {kCases, unchanged}, false);
  write_states(EIV1, {kCases, unchanged}, true);

  MODEIV(EIV0, EIV1, EIV2);

  const auto before = test::block_records(EIV0);
  const auto adjusted = test::block_records(EIV2);
  ASSERT_EQ(adjusted.size(), 2u);
  EXPECT_EQ(adjusted[1], before[1]);
  EXPECT_EQ(test::block_header(EIV2), test::block_header(EIV0));

  std::vector<word> area(4000), area0(4000);
  DBOPEN(EIV2, sysw().COREND - 2 * sysw().NBUFSZ, kRead);
  DBOPEN(EIV0, sysw().COREND - 3 * sysw().NBUFSZ, kRead);
  EIVRDA(EIV2, area);
  EIVRDB(EIV0, area0);
  for (word p = 1; p <= static_cast<word>(kCases.size()); ++p) {
    const PointCase& k = kCases[static_cast<std::size_t>(p - 1)];
    EIVGTA(p);
    EIVGTB(p);
    const EIVWK &got = eivwka(), &start = eivwkb();
    if (k.a_plastic_block != 0) {
      EXPECT_EQ(got.blk.b2.iv[0], k.plastic) << k.what;
    }
    if (k.a_joint != 0) {
      EXPECT_EQ(got.blk.b11.iv[0], k.state) << k.what;
      EXPECT_EQ(got.blk.b11.iv[1], k.lock) << k.what;
    }
    // Everything else is the start state's.
    EXPECT_EQ(got.sw, start.sw) << k.what;
    EXPECT_EQ(got.scalar, start.scalar) << k.what;
    EXPECT_EQ(got.vec, start.vec) << k.what;
    EXPECT_EQ(got.blk.b2.epeq, start.blk.b2.epeq) << k.what;
    EXPECT_EQ(got.blk.b2.iv[1], start.blk.b2.iv[1]) << k.what;
    EXPECT_EQ(got.blk.b11.v, start.blk.b11.v) << k.what;
  }
  DBCLOS(EIV2, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
}

TEST_F(Modeiv, OpenCoreWithoutRoomForThreeBuffersEndsTheRun) {
  write_states(EIV0, {{kCases[0]}}, false);
  write_states(EIV1, {{kCases[0]}}, true);
  const word nbuf = sysw().NBUFSZ;
  sysw().COREND = 1 + 2 * nbuf;  // room for two buffers only
  EXPECT_EXIT(MODEIV(EIV0, EIV1, EIV2), ::testing::ExitedWithCode(1), "");
  const std::string want = fline("(10X,'INSUFFICIENT MEMORY.  REQUIRED =',I8,', CURRENT =',I8,' WORDS')", {3 * nbuf, 2 * nbuf});
  EXPECT_NE(fs.read("errors").find(want), std::string::npos) << fs.read("errors");
}

}  // namespace
}  // namespace zephsol
