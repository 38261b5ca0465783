// Structural input: validation before storing, the matrix codes, the pair
// buffer and its work-space figure, and i/o errors of its flushes.
#include <gtest/gtest.h>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "zephsol/sparse/files.h"

namespace zephsol::sparse {
namespace {

using Lines = std::vector<std::string>;

class StructIn : public SparseTest {};

TEST_F(StructIn, InvalidStructuresAreRefusedBeforeAnythingIsStored) {
  const Columns ok{{1, 3, 4, 5}, {1, 2, 2, 3}};
  struct Case {
    const char* what;
    Columns cols;
  };
  const std::vector<Case> cases = {
      {"row 0", {{1, 3, 4, 5}, {1, 0, 2, 3}}},
      {"row n+1", {{1, 3, 4, 5}, {1, 2, 2, 4}}},
      {"decreasing pointer", {{1, 3, 2, 5}, {1, 2, 2, 3}}},
      {"first pointer 0", {{0, 3, 4, 5}, {1, 2, 2, 3}}},
      {"pointers past rowind", {{1, 3, 4, 9}, {1, 2, 2, 3}}},
  };
  for (const auto& c : cases) {
    Problem pb(3, 1000, 1, kMsgUnit);
    ASSERT_EQ(pb.structure({ok}), 0);
    EXPECT_EQ(pb.structure({c.cols}), -106) << c.what;
    EXPECT_EQ(pb.word(0), -1.0) << c.what;
    EXPECT_EQ(pb.word(21), 1.0) << c.what;  // the first call's pair only
  }
  const Lines msg = messages();
  EXPECT_EQ(Lines(msg.begin(), msg.begin() + 3),
            (Lines{"", "     *** fatal error no.  -106 *** invalid matrix structure input", "     to subroutine xdslim."}));
}

TEST_F(StructIn, MatrixCodesAndTheSecondMatrixCount) {
  const Columns cols{{1, 3, 4, 5}, {1, 2, 2, 3}};  // one off-diagonal entry (2,1)
  Problem pb(3, 1000, 1, kMsgUnit);
  EXPECT_EQ(pb.structure({cols}, 'a'), 0);
  EXPECT_EQ(pb.word(22), 0.0);
  EXPECT_EQ(pb.structure({cols}, 'b'), 0);
  EXPECT_EQ(pb.structure({cols}, 'M'), 0);
  EXPECT_EQ(pb.word(22), 2.0);
  EXPECT_EQ(pb.word(21), 3.0);  // every code stores its pair
  EXPECT_EQ(pb.structure({cols}, 'X'), -109);
  EXPECT_EQ(pb.word(0), -1.0);
  EXPECT_EQ(messages(), (Lines{"", "     *** fatal error no.  -109 *** invalid value of matrix input to",
                               "     subroutine xdslim.", "          matrix = X"}));
}

TEST_F(StructIn, PositionsFromBothTrianglesAreOnePairAndTheDiagonalIsNotStored) {
  Problem pb(5, 2000);
  // (2,5) and (5,2); colptr(1) = 3: the first two entries are never read.
  const Columns cols{{3, 4, 6, 6, 6, 8}, {99, 99, 1, 5, 2, 5, 2}};
  ASSERT_EQ(pb.structure({cols}), 0);
  EXPECT_EQ(pb.word(21), 2.0);
  ASSERT_EQ(pb.compress(), 0);
  EXPECT_EQ(pb.word(21), 1.0);
  Problem diag(5, 2000);
  ASSERT_EQ(diag.structure({{{1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5}}}), 0);
  EXPECT_EQ(diag.word(21), 0.0);
}

TEST_F(StructIn, TheSmallestWorkSpaceAndOneWordLess) {
  // xdslin itself needs more, so the buffer runs short only when the
  // caller hands xdslim a shorter work array than it gave xdslin.
  const i32 n = 1001;
  const i64 X = 501, aux = 501;
  const i64 fig = 8 * X + 2 * aux + 200;
  // cap = 2 floor((lwork - 2 aux - X - 200) / 3) >= n first at:
  const i32 lwork = static_cast<i32>(2 * aux + X + 200 + 3 * 501);
  const auto cols = to_columns(n, random_structure(n, 3, 1), Triangle::Lower);
  i32 ier = 0;
  Problem pb(n, 6000);
  xdslim('A', cols[0].colptr, cols[0].rowind, pb.work.data(), lwork, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(pb.word(23), 1002.0);
  Problem small(n, 6000, 1, kMsgUnit);
  xdslim('A', cols[0].colptr, cols[0].rowind, small.work.data(), lwork - 1, ier);
  EXPECT_EQ(ier, -101);
  EXPECT_EQ(small.word(0), -1.0);
  EXPECT_GT(fig, lwork);
  EXPECT_EQ(listing()[1], "       5210 WORDS OF WORKING STORAGE NEEDED");
  EXPECT_EQ(messages()[1], "     *** fatal error no.  -101 *** subroutine xdslie requires            5210");
}

TEST_F(StructIn, RepeatedPositionsStayInTheBufferUntilAFlush) {
  const i32 n = 50;
  const Pairs p = random_structure(n, 4, 3);
  Problem pb(n, 20000);
  const auto cols = to_columns(n, p, Triangle::Lower);
  ASSERT_EQ(pb.structure({cols[0], cols[0]}), 0);
  EXPECT_EQ(pb.word(21), 2.0 * static_cast<double>(p.size()));
  EXPECT_EQ(pb.word(54), 0.0);
  EXPECT_FALSE(scratch_open(13));
}

TEST_F(StructIn, AFullBufferCompactsAndWritesRunsToThePairFile) {
  const i32 n = 400;
  const Pairs p = random_structure(n, 12, 4);
  Problem pb(n, 3000);  // cap 1400 pairs
  ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Both, 3)), 0);
  EXPECT_GE(pb.word(54), 2.0);
  EXPECT_EQ(pb.word(56), 1.0);  // three calls over all columns: runs overlap
  EXPECT_TRUE(scratch_open(13));
}

TEST_F(StructIn, CallsAtAnotherStageFailForGood) {
  Problem pb(3, 1000, 1, kMsgUnit);
  const Columns cols{{1, 2, 3, 4}, {1, 2, 3}};
  ASSERT_EQ(pb.compress(), 0);
  EXPECT_EQ(pb.structure({cols}), -100);
  EXPECT_EQ(pb.word(0), -1.0);
  const Lines msg = messages();
  EXPECT_EQ(Lines(msg.end() - 3, msg.end()),
            (Lines{"", "     *** fatal error no.  -100 *** subroutine xdslim executed in an",
                   "     incorrect sequence.  current stage =         10"}));
}

TEST_F(StructIn, AFailingFlushIsAnIoErrorOfThePairFile) {
  const i32 n = 400;
  const auto cols = to_columns(n, random_structure(n, 12, 4), Triangle::Both);
  for (FileOp op : {FileOp::Open, FileOp::Write}) {
    Problem pb(n, 3000, 1, kMsgUnit);
    scratch_fail(13, op, 1);
    EXPECT_EQ(pb.structure(cols), -110);
    EXPECT_EQ(pb.word(0), -1.0);
  }
  EXPECT_EQ(messages()[2], "     on i/o file no.              13");
}

}  // namespace
}  // namespace zephsol::sparse
