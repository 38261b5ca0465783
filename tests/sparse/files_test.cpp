// Scratch files: records touched by stretch transfers, round trips of every
// kind, sequential records, positions, and every error code through the
// fault hook.
#include <gtest/gtest.h>

#include <numeric>

#include "support/sparse_fixture.h"
#include "zephsol/sparse/files.h"
#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

using Ints = std::vector<i32>;
using Events = std::vector<FileEvent>;
constexpr auto R = FileOp::Read;
constexpr auto W = FileOp::Write;

class Files : public SparseTest {};

TEST_F(Files, StretchWritesReadOnlyPartlyWrittenRecords) {
  struct Case {
    i64 p, n;
    Events expect;
  };
  const std::vector<Case> cases = {
      {1025, 1, {{13, R, 2}, {13, W, 2}}},
      {1000, 3000, {{13, R, 1}, {13, W, 1}, {13, W, 2}, {13, W, 3}, {13, R, 4}, {13, W, 4}}},
      {1, 1024, {{13, W, 1}}},
      {2049, 2048, {{13, W, 3}, {13, W, 4}}},
      {4000, 200, {{13, R, 4}, {13, W, 4}, {13, W, 5}}},  // record 5 is new: nothing to read
      {5, 0, {}},
  };
  // A file of four records, 4096 entries.
  const Ints full(4096, 7);
  for (const auto& c : cases) {
    i32 ier = 1;
    xislop(13, ier);
    ASSERT_EQ(ier, 0);
    xislw2(13, full.data(), full.data(), 1, 4096, ier);
    Ints a(std::max<i64>(c.n, 1), 1), b(std::max<i64>(c.n, 1), 2);
    scratch_trace(true);
    xislw2(13, a.data(), b.data(), c.p, c.n, ier);
    EXPECT_EQ(ier, 0);
    EXPECT_EQ(scratch_events(), c.expect) << "p " << c.p << " n " << c.n;
    scratch_trace(false);
  }
}

TEST_F(Files, WritingOneEntryKeepsTheRestOfItsRecord) {
  i32 ier = 1;
  xdslop(14, 3, ier);
  Ints f(3000), s(3000);
  std::vector<double> v(3000);
  std::iota(f.begin(), f.end(), 1);
  std::iota(s.begin(), s.end(), -3000);
  std::iota(v.begin(), v.end(), 0.5);
  xdslw2(14, 3, f.data(), s.data(), v.data(), 1, 3000, ier);
  const i32 one = 77, two = 78;
  const double val = -1.0;
  xdslw2(14, 3, &one, &two, &val, 1500, 1, ier);
  f[1499] = 77;
  s[1499] = 78;
  v[1499] = -1.0;
  Ints f2(2990), s2(2990);
  std::vector<double> v2(2990);
  xdslw1(14, 3, f2.data(), s2.data(), v2.data(), 11, 2990, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(f2, Ints(f.begin() + 10, f.end()));
  EXPECT_EQ(s2, Ints(s.begin() + 10, s.end()));
  EXPECT_EQ(v2, std::vector<double>(v.begin() + 10, v.end()));
}

TEST_F(Files, EveryKindRoundTripsAStretch) {
  const i64 p = 700, n = 2500;
  Ints a(n), b(n), a2(n), b2(n);
  std::vector<double> d(n), d2(n);
  std::iota(a.begin(), a.end(), 5);
  std::iota(b.begin(), b.end(), -7);
  std::iota(d.begin(), d.end(), 0.25);
  i32 ier = 1;
  xislop(11, ier);
  xislw2(11, a.data(), b.data(), p, n, ier);
  xislw1(11, a2.data(), b2.data(), p, n, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(a2, a);
  EXPECT_EQ(b2, b);
  for (i32 option : {1, 2, 3}) {
    xdslop(12, option, ier);
    ASSERT_EQ(ier, 0);
    std::fill(a2.begin(), a2.end(), 0);
    std::fill(b2.begin(), b2.end(), 0);
    std::fill(d2.begin(), d2.end(), 0.0);
    xdslw2(12, option, a.data(), b.data(), d.data(), p, n, ier);
    xdslw1(12, option, a2.data(), b2.data(), d2.data(), p, n, ier);
    EXPECT_EQ(ier, 0);
    if (option != 2) {
      EXPECT_EQ(a2, a) << option;
      EXPECT_EQ(b2, b) << option;
    }
    if (option != 1) {
      EXPECT_EQ(d2, d) << option;
    }
  }
  // The factor file addressed by (record, offset).
  xdslof(15, ier);
  xdslw6(15, d.data(), 2, 17, n, ier);
  std::fill(d2.begin(), d2.end(), 0.0);
  xdslw1(15, 2, nullptr, nullptr, d2.data(), 1024 + 17, n, ier);
  EXPECT_EQ(d2, d);
  std::fill(d2.begin(), d2.end(), 0.0);
  xdslw5(15, d2.data(), 2, 17, n, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(d2, d);
}

TEST_F(Files, UnwrittenRecordsAndReadsPastTheEnd) {
  i32 ier = 1;
  xdslop(12, 2, ier);
  const double v = 3.0;
  xdslw2(12, 2, nullptr, nullptr, &v, 5000, 1, ier);  // record 5, never written before
  EXPECT_EQ(ier, 0);
  double back[2] = {0, 0};
  xdslw1(12, 2, nullptr, nullptr, back, 5000, 1, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(back[0], 3.0);
  xdslw1(12, 2, nullptr, nullptr, back, 5120, 2, ier);  // record 6 does not exist
  EXPECT_EQ(ier, -1);
}

TEST_F(Files, PlacesMoveAcrossRecords) {
  struct Case {
    i64 r;
    i32 o;
    i64 d, r2;
    i32 o2;
  };
  for (const Case c : {Case{3, 1000, 50, 4, 26}, Case{4, 26, -50, 3, 1000}, Case{2, 1, -1, 1, 1024},
                       Case{1, 1, 5000, 5, 905}, Case{5, 905, -5000, 1, 1}, Case{1, 1024, 0, 1, 1024}}) {
    i64 r = c.r;
    i32 o = c.o;
    xdslwn(r, o, c.d);
    EXPECT_EQ(r, c.r2) << c.r << "," << c.o << " " << c.d;
    EXPECT_EQ(o, c.o2) << c.r << "," << c.o << " " << c.d;
  }
}

TEST_F(Files, SequentialRecords) {
  i32 ier = 1;
  xdslos(11, ier);
  const Ints a = {1, 2, 3, 4};
  const std::vector<double> d = {0.5, 1.5};
  xislwr(11, 4, a.data(), ier);
  xislwr(11, 0, a.data(), ier);  // writes nothing
  xdslwr(11, 2, d.data(), ier);
  xdslrw(11, ier);
  Ints a2(4, 0);
  xislrd(11, 2, a2.data(), ier);  // fewer than the record holds: the rest is skipped
  EXPECT_EQ(ier, 0);
  EXPECT_EQ(a2, (Ints{1, 2, 0, 0}));
  std::vector<double> d2(2, 0.0);
  xdslrd(11, 2, d2.data(), ier);  // the record after the first: n = 0 wrote none
  EXPECT_EQ(d2, d);
  xislrd(11, 1, a2.data(), ier);
  EXPECT_EQ(ier, -3);
  xdslrw(11, ier);
  xdslrd(11, 3, d2.data(), ier);  // more than the record holds
  EXPECT_EQ(ier, -2);
  // Writing after a rewind ends the file there.
  xdslrw(11, ier);
  xislwr(11, 4, a.data(), ier);
  xdslrw(11, ier);
  xislrd(11, 4, a2.data(), ier);
  xislrd(11, 4, a2.data(), ier);
  EXPECT_EQ(ier, -3);
}

TEST_F(Files, OpeningAgainReplacesTheFileAndClosingLeavesNothing) {
  i32 ier = 1;
  xdslop(12, 2, ier);
  const double v[3] = {1, 2, 3};
  xdslw2(12, 2, nullptr, nullptr, v, 1, 3, ier);
  xdslop(12, 2, ier);
  double back[3];
  xdslw1(12, 2, nullptr, nullptr, back, 1, 3, ier);
  EXPECT_EQ(ier, -1);
  EXPECT_EQ(scratch_open_count(), 1);
  EXPECT_EQ(stray_files(), 0);
  xdslcl(12, 2, ier);
  EXPECT_EQ(ier, 0);
  EXPECT_FALSE(scratch_open(12));
  xdslcf(12, ier);  // closing a unit without a file is no error
  EXPECT_EQ(ier, 0);
}

TEST_F(Files, BadKindsOptionsAndUnits) {
  i32 ier = 0;
  xdslop(12, 4, ier);
  EXPECT_EQ(ier, -1);
  EXPECT_FALSE(scratch_open(12));
  xislop(-3, ier);
  EXPECT_EQ(ier, -1);
  xdslop(12, 1, ier);
  const i32 a = 1;
  xdslw2(12, 0, &a, &a, nullptr, 1, 1, ier);
  EXPECT_EQ(ier, -1);
  i32 x = 0;
  xislw1(13, &x, &x, 1, 1, ier);  // not open
  EXPECT_EQ(ier, -1);
  EXPECT_EQ(xdslru(2), 4);
  EXPECT_EQ(xdslru(1), xislev(1));
  EXPECT_EQ(xdslru(3), xislev(2));
  EXPECT_EQ(xdslru(9), xislev(1));
}

TEST_F(Files, FaultsGiveTheirCodes) {
  using Fn = void (*)(i32&);
  const i32 v4[4] = {1, 2, 3, 4};
  static const i32* vals = v4;
  struct Case {
    const char* what;
    FileOp op;
    int k;
    Fn fn;
    i32 code;
  };
  const std::vector<Case> cases = {
      {"pair open", FileOp::Open, 1, [](i32& e) { xislop(21, e); }, -1},
      {"kind open", FileOp::Open, 1, [](i32& e) { xdslop(21, 3, e); }, -1},
      {"factor open", FileOp::Open, 1, [](i32& e) { xdslof(21, e); }, -1},
      {"sequential open", FileOp::Open, 1, [](i32& e) { xdslos(21, e); }, -1},
      {"close", FileOp::Close, 1, [](i32& e) { xislcl(21, e); }, -1},
      {"rewind", FileOp::Rewind, 1, [](i32& e) { xdslrw(21, e); }, -1},
      {"second record written", FileOp::Write, 2,
       [](i32& e) {
         std::vector<i32> a(2048, 1);
         xislw2(21, a.data(), a.data(), 1, 2048, e);
       },
       -1},
      {"direct read", FileOp::Read, 1,
       [](i32& e) {
         i32 a[4];
         xislw2(21, vals, vals, 1, 4, e);
         xislw1(21, a, a, 1, 4, e);
       },
       -1},
      {"sequential write", FileOp::Write, 1, [](i32& e) { xislwr(21, 4, vals, e); }, -2},
      {"sequential read", FileOp::Read, 1,
       [](i32& e) {
         i32 a[4];
         xislwr(21, 4, vals, e);
         xdslrw(21, e);
         xislrd(21, 4, a, e);
       },
       -2},
  };
  for (const auto& c : cases) {
    i32 ier = 0;
    if (c.op != FileOp::Open) {
      xdslos(21, ier);
      ASSERT_EQ(ier, 0);
    }
    scratch_fail(21, c.op, c.k);
    ier = 0;
    c.fn(ier);
    EXPECT_EQ(ier, c.code) << c.what;
    scratch_close_all();
  }
}

TEST_F(Files, PartlyWrittenRecordsKeepTheirOtherEntries) {
  i32 ier = 1;
  xdslop(12, 1, ier);
  Ints a(1500, 5);
  xdslw2(12, 1, a.data(), a.data(), nullptr, 1, 1500, ier);
  // Record 2 exists: a read that fails there fails the write.
  scratch_fail(12, FileOp::Read, 1);
  const i32 one = 9;
  xdslw2(12, 1, &one, &one, nullptr, 1030, 1, ier);
  EXPECT_EQ(ier, -1);
  // Record 3 does not exist yet: its other slots start as zeros.
  xdslw2(12, 1, &one, &one, nullptr, 2051, 1, ier);
  EXPECT_EQ(ier, 0);
  Ints b(4), c(4);
  xdslw1(12, 1, b.data(), c.data(), nullptr, 2049, 4, ier);
  EXPECT_EQ(b, (Ints{0, 0, 9, 0}));
  xdslw1(12, 1, b.data(), c.data(), nullptr, 1499, 4, ier);
  EXPECT_EQ(b, (Ints{5, 5, 0, 0}));
}

}  // namespace
}  // namespace zephsol::sparse
