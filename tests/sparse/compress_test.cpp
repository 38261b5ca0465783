// Structure merge and compression: the compressed structure against a
// brute-force grouping by closed neighbourhoods, in core and through the
// pair files, the mesh case, the random permutations, and the errors.
#include <gtest/gtest.h>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "zephsol/sparse/compress.h"
#include "zephsol/sparse/files.h"

namespace zephsol::sparse {
namespace {

using Lines = std::vector<std::string>;

class Compress : public SparseTest {};

TEST_F(Compress, NoStructureGivesOneNodePerEquation) {
  Problem pb(6, 1000, 1, kMsgUnit);
  i32 need = 0;
  ASSERT_EQ(pb.compress(&need), 0);
  EXPECT_EQ(pb.word(0), 10.0);
  expect_compression(pb, {});
  // The count lines are not printed on this path; only the four times.
  const Lines msg = messages();
  ASSERT_EQ(msg.size(), 5u);
  EXPECT_EQ(msg[1].substr(0, 47), "     cpu  time for structural input          = ");
  // need = 200 + xisl2d(max(10c+6n+2, 7n+8c+2, 9n+2c+1) + 2z + c + 3n + 40), c = n = 6, z = 0.
  EXPECT_EQ(need, 200 + (98 + 6 + 18 + 40 + 1) / 2);
}

TEST_F(Compress, RandomStructuresInCoreMatchTheDirectGrouping) {
  struct Case {
    i32 n;
    double degree;
    Triangle t;
    int calls, dup;
  };
  const Case cases[] = {{1, 0, Triangle::Lower, 1, 1},   {2, 1, Triangle::Both, 1, 1},
                        {60, 3, Triangle::Lower, 1, 1},  {300, 5, Triangle::Upper, 2, 1},
                        {900, 6, Triangle::Both, 3, 2}, {2000, 8, Triangle::Lower, 4, 1}};
  unsigned seed = 10;
  for (const auto& c : cases) {
    const Pairs p = random_structure(c.n, c.degree, ++seed);
    Problem pb(c.n, 40 * c.n + 400000);
    ASSERT_EQ(pb.structure(to_columns(c.n, p, c.t, c.calls, c.dup, seed)), 0);
    ASSERT_EQ(pb.compress(), 0) << c.n;
    expect_compression(pb, p);
    EXPECT_EQ(pb.word(54), 0.0);
    EXPECT_EQ(scratch_open_count(), 0);
  }
}

TEST_F(Compress, RunsOnFileGiveTheSameResultWithAndWithoutMergePasses) {
  // The pair buffer holds a fraction of the pairs; one call over all
  // columns makes runs that do not overlap (no merge), several calls make
  // overlapping runs: 3 to 10 runs, two to four merge passes, odd run
  // counts copying their last run.
  struct Case {
    bool mesh;
    i32 lwork;
    int calls;
    double runs;  // runs on file before the final flush
  };
  const Case cases[] = {{false, 12000, 1, 3}, {false, 16000, 1, 2}, {false, 12000, 2, 3},
                        {false, 16000, 5, 2}, {true, 20000, 3, 9},  {true, 36000, 3, 4}};
  for (const auto& c : cases) {
    const i32 n = c.mesh ? 2430 : 2000;
    const Pairs p = c.mesh ? hex_structure(8, 8, 9, 3) : random_structure(n, 8, 77);
    Problem pb(n, c.lwork);
    ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower, c.calls, 1, c.calls)), 0);
    EXPECT_EQ(pb.word(54), c.runs);
    EXPECT_EQ(pb.word(56), c.calls > 1 ? 1.0 : 0.0);
    ASSERT_EQ(pb.compress(), 0) << c.calls << " " << c.lwork;
    expect_compression(pb, p);
    EXPECT_GT(pb.word(145), 0.0);
    EXPECT_EQ(pb.word(156) > 0.0, c.calls > 1);
    EXPECT_EQ(scratch_open_count(), 0);
    EXPECT_EQ(stray_files(), 0);
  }
}

TEST_F(Compress, PairsThatDoNotFitTheInCoreLayoutGoToTheFile) {
  const i32 n = 500;
  const Pairs p = random_structure(n, 6, 5);
  const i64 X = xisl2d(n + 1);
  const i64 m = static_cast<i64>(p.size());
  // In core needs 200 + 8X + 2 xisl2d(m); every lwork around that bound works.
  const i32 bound = static_cast<i32>(200 + 8 * X + 2 * xisl2d(m));
  for (i32 lwork = bound - 6; lwork <= bound + 6; ++lwork) {
    Problem pb(n, lwork);
    ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower)), 0);
    ASSERT_EQ(pb.compress(), 0) << lwork;
    expect_compression(pb, p);
    EXPECT_EQ(scratch_open_count(), 0);
  }
}

TEST_F(Compress, AnArrowStructureAtSmallWorkWritesWholeColumns) {
  // Column 1 coupled to everything: a compacted buffer that is one column.
  const i32 n = 1500;
  Pairs p;
  for (i32 i = 2; i <= n; ++i) p.insert({1, i});
  for (i32 i = 2; i < n; i += 7) p.insert({i, i + 1});
  Problem pb(n, 4 * n + 3000);
  ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower, 2)), 0);
  ASSERT_EQ(pb.compress(), 0);
  expect_compression(pb, p);
}

TEST_F(Compress, HexahedralMeshGivesOneNodePerMeshNode) {
  i64 edges = 0;
  const i32 nx = 3, ny = 2, nz = 4, dof = 3;
  const Pairs p = hex_structure(nx, ny, nz, dof, &edges);
  const i32 n = (nx + 1) * (ny + 1) * (nz + 1) * dof;
  Problem pb(n, 200000);
  ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower)), 0);
  ASSERT_EQ(pb.compress(), 0);
  EXPECT_EQ(pb.word(26), n / dof);
  EXPECT_EQ(pb.word(27), static_cast<double>(edges));
  expect_compression(pb, p);
}

TEST_F(Compress, CountLinesAtMessageLevelOne) {
  const Pairs p = {{1, 2}, {1, 3}, {2, 3}, {3, 4}};  // 1 and 2 share {1,2,3}
  Problem pb(4, 2000, 1, kMsgUnit);
  ASSERT_EQ(pb.structure(to_columns(4, p, Triangle::Lower)), 0);
  ASSERT_EQ(pb.compress(), 0);
  EXPECT_EQ(messages(), (Lines{"", "     number of rows in matrix                =               4",
                               "     number of nonzeroes in full matrix      =               4",
                               "     number of compressed nodes in matrix    =               3",
                               "     number of compressed nonzeroes          =               2", "",
                               messages()[6], messages()[7], messages()[8], messages()[9]}));
}

TEST_F(Compress, ErrorsOfTheMergeAndTheStage) {
  const i32 n = 2000;
  const Pairs p = random_structure(n, 8, 78);
  const auto cols = to_columns(n, p, Triangle::Lower, 3);
  struct Case {
    int unit;
    FileOp op;
    int k;
  };
  for (const Case c : {Case{14, FileOp::Open, 1}, Case{13, FileOp::Read, 3}, Case{14, FileOp::Write, 2},
                       Case{13, FileOp::Close, 1}}) {
    Problem pb(n, 12000, 1, kMsgUnit);
    ASSERT_EQ(pb.structure(cols), 0);
    scratch_fail(c.unit, c.op, c.k);
    EXPECT_EQ(pb.compress(), -110) << c.unit;
    EXPECT_EQ(pb.word(0), -1.0);
    EXPECT_EQ(scratch_open_count(), 0);
  }
  EXPECT_EQ(messages().back(), "     on i/o file no.              13     or on i/o file no.              14");
  Problem pb(3, 1000, 1, kMsgUnit);
  ASSERT_EQ(pb.compress(), 0);
  EXPECT_EQ(pb.compress(), -100);
  EXPECT_EQ(pb.word(0), -1.0);
  EXPECT_EQ(messages().back(),
            "     incorrect sequence.  current stage =         10     should be either 1 or 2.");
}

TEST_F(Compress, TooLittleWorkForTheCompressionOnFile) {
  const i32 n = 2000;
  const Pairs p = random_structure(n, 8, 79);
  // The least work xdslin takes leaves a list area of 2 x 2002 integers,
  // short of the compressed list.
  Problem pb(n, 10 * 1001 + 200);
  ASSERT_EQ(pb.structure(to_columns(n, p, Triangle::Lower, 2)), 0);
  EXPECT_EQ(pb.compress(), -101);
  EXPECT_EQ(pb.word(0), -1.0);
  EXPECT_EQ(scratch_open_count(), 0);
}

TEST(RandomPermutations, ParkMillerSequence) {
  // s := 16807 s mod (2^31-1); with range 2^30 the output is floor(s/2) + 1.
  double seed = 137539753.0;
  std::vector<i32> out(5);
  xislrn(seed, i64{1} << 30, 5, out.data());
  std::int64_t s = 137539753;
  for (int k = 0; k < 5; ++k) {
    s = s * 16807 % 2147483647;
    EXPECT_EQ(out[k], s / 2 + 1) << k;
  }
  EXPECT_EQ(seed, static_cast<double>(s));
  std::vector<i32> p1(1000), p2(1000), keys(1000);
  xislrp(1000, p1.data(), p2.data(), keys.data());
  std::vector<i32> sorted = p1;
  std::sort(sorted.begin(), sorted.end());
  for (i32 i = 0; i < 1000; ++i) EXPECT_EQ(sorted[i], i + 1);
  EXPECT_NE(p1, p2);
}

}  // namespace
}  // namespace zephsol::sparse
