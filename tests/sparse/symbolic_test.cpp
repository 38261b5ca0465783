// Symbolic factorisation: the index sets of L against an exact symbolic
// factorisation under the final permutation, the relative indices against
// the parents' fronts, the index-set file, the work checks and retries,
// and the errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "support/symbolic.h"
#include "zephsol/sparse/files.h"

namespace zephsol::sparse {
namespace {

using Ints = std::vector<i32>;

// What the symbolic phase leaves, with the index sets read from work or
// from the file on lunit2.
struct SymbolicResult {
  Ints perm, part, ptr, gl, rel;
  i64 ns, nsnind;
};

SymbolicResult result(Problem& pb) {
  SymbolicResult r;
  r.ns = static_cast<i64>(pb.word(31));
  r.nsnind = static_cast<i64>(pb.word(32));
  r.perm = pb.ints(62, pb.n);
  r.part = pb.ints(64, r.ns + 1);
  r.ptr = pb.ints(66, r.ns + 1);
  if (pb.word(79) != 0.0) {
    r.gl = pb.ints(79, r.nsnind);
    r.rel = pb.ints(67, r.nsnind);
  } else if (r.nsnind > 0) {
    const i32 u = static_cast<i32>(pb.word(11));
    r.gl.resize(r.nsnind);
    r.rel.resize(r.nsnind);
    i32 ier = 0;
    xdslrw(u, ier);
    xislrd(u, r.nsnind, r.rel.data(), ier);
    xislrd(u, r.nsnind, r.gl.data(), ier);
    EXPECT_EQ(ier, 0);
  }
  return r;
}

void expect_index_sets(Problem& pb, const Pairs& p) {
  const SymbolicResult r = result(pb);
  const Symbolic sym = exact_symbolic(pb.n, p, r.perm, true);
  std::vector<i64> snode(pb.n + 1);
  for (i64 s = 1; s <= r.ns; ++s)
    for (i32 j = r.part[s - 1]; j < r.part[s]; ++j) snode[j] = s;
  for (i64 s = 1; s <= r.ns; ++s) {
    const i32 l = r.part[s] - 1;
    const Ints set(r.gl.begin() + r.ptr[s - 1] - 1, r.gl.begin() + r.ptr[s] - 1);
    ASSERT_EQ(set, sym.rows[l]) << "supernode " << s;
    if (set.empty()) continue;
    // Relative indices: the place of each row in the parent's front.
    const i64 t = snode[set[0]];
    const i32 ft = r.part[t - 1], wt = r.part[t] - ft;
    const Ints tset(r.gl.begin() + r.ptr[t - 1] - 1, r.gl.begin() + r.ptr[t] - 1);
    for (std::size_t q = 0; q < set.size(); ++q) {
      const i32 x = set[q], rel = r.rel[r.ptr[s - 1] - 1 + q];
      const i32 at = rel <= wt ? ft + rel - 1 : tset.at(rel - wt - 1);
      EXPECT_EQ(at, x) << "supernode " << s << " entry " << q;
    }
  }
}

class SymbolicPhase : public SparseTest {};

TEST_F(SymbolicPhase, IndexSetsMatchTheExactFactor) {
  struct Case {
    const char* what;
    i32 n;
    Pairs p;
    double maxzer;
  };
  const std::vector<Case> cases = {
      {"random exact", 600, random_structure(600, 5, 51), 0.0},
      {"random amalgamated", 2000, random_structure(2000, 6, 52), 100.0},
      {"hex mesh", 6 * 5 * 4 * 3, hex_structure(3, 4, 5, 3), 100.0},
      {"diagonal", 30, {}, 100.0},
  };
  for (const auto& c : cases) {
    for (i32 lunit2 : {12, -1}) {
      SCOPED_TRACE(std::string(c.what) + (lunit2 > 0 ? " on file" : " in work"));
      scratch_close_all();
      Problem pb(c.n, 80 * c.n + 100000, 0, 0, 11, lunit2);
      pb.work[182] = c.maxzer;
      ASSERT_EQ(pb.analyse(c.p), 0);
      ASSERT_EQ(pb.symbolic(), 0);
      EXPECT_EQ(pb.word(0), 30.0);
      EXPECT_EQ(pb.word(60), 201.0);
      EXPECT_EQ(scratch_open(12), lunit2 > 0 && pb.word(32) > 0);
      expect_index_sets(pb, c.p);
    }
  }
}

TEST_F(SymbolicPhase, FileAndWorkGiveTheSameSets) {
  const i32 n = 1200;
  const Pairs p = random_structure(n, 5, 53);
  Problem a(n, 200000, 0, 0, 11, 12), b(n, 200000, 0, 0, 11, -1);
  ASSERT_EQ(a.analyse(p), 0);
  ASSERT_EQ(b.analyse(p), 0);
  i32 na = 0, nb = 0, ma = 0, mb = 0;
  ASSERT_EQ(a.symbolic(&na, &ma), 0);
  ASSERT_EQ(b.symbolic(&nb, &mb), 0);
  const SymbolicResult ra = result(a), rb = result(b);
  EXPECT_EQ(ra.gl, rb.gl);
  EXPECT_EQ(ra.rel, rb.rel);
  EXPECT_EQ(ra.perm, rb.perm);
  EXPECT_EQ(a.word(79), 0.0);
  EXPECT_EQ(a.word(67), 0.0);
  EXPECT_EQ(a.word(141), static_cast<double>(2 * xisl2d(ra.nsnind)));
  // The kept arrays end where the index sets would begin.
  EXPECT_EQ(b.word(3), a.word(3) + 2 * xisl2d(rb.nsnind));
}

TEST_F(SymbolicPhase, AFailedWorkCheckChangesNothingAndARetrySucceeds) {
  const i32 n = 900;
  const Pairs p = random_structure(n, 5, 54);
  Problem ref(n, 200000);
  ASSERT_EQ(ref.analyse(p), 0);
  ASSERT_EQ(ref.symbolic(), 0);
  const SymbolicResult want = result(ref);
  // Work lengths around each of the three checks.
  Problem probe(n, 200000);
  ASSERT_EQ(probe.analyse(p), 0);
  const i64 ns = static_cast<i64>(probe.word(31));
  const i64 c1 = static_cast<i64>(probe.word(66)) + xisl2d(ns + 1) - 1;
  for (i64 lw : {c1 - 1, c1 + 10, c1 + xisl2d(n) - 1, c1 + xisl2d(n) + 500}) {
    Problem pb(n, 200000, 1, kMsgUnit);
    ASSERT_EQ(pb.analyse(p), 0);
    const std::vector<double> before = pb.work;
    i32 ier = 0, need = 0, needmn = 0;
    xdslsf(pb.work.data(), static_cast<i32>(lw), need, needmn, ier);
    EXPECT_EQ(ier, -301) << lw;
    EXPECT_EQ(pb.work, before) << lw;
    ASSERT_EQ(pb.symbolic(), 0);
    const SymbolicResult got = result(pb);
    EXPECT_EQ(got.gl, want.gl);
    EXPECT_EQ(got.rel, want.rel);
  }
  // The first call (one word short of the first check) reports that check.
  const auto msg = messages();
  char want_line[120];
  std::snprintf(want_line, sizeof want_line, "     *** fatal error no.  -301 *** subroutine xdslsf requires %15lld",
                static_cast<long long>(c1));
  EXPECT_NE(std::find(msg.begin(), msg.end(), want_line), msg.end());
}

TEST_F(SymbolicPhase, FiguresReturned) {
  const i32 n = 500;
  const Pairs p = random_structure(n, 5, 55);
  Problem pb(n, 200000);
  ASSERT_EQ(pb.analyse(p), 0);
  const double w41 = pb.word(41), w53 = pb.word(53), w39 = pb.word(39);
  i32 need = 0, needmn = 0;
  ASSERT_EQ(pb.symbolic(&need, &needmn), 0);
  const i64 m = static_cast<i64>((std::sqrt(8 * w39 + 1) - 1) * 0.5);
  const i64 d = std::max<i64>(0, 8 * m - n);
  EXPECT_EQ(need, static_cast<i64>(w41) + d);
  EXPECT_EQ(needmn, static_cast<i64>(w53) + d);
  EXPECT_EQ(pb.word(4), need);
  EXPECT_GT(pb.word(54), pb.word(3));
  EXPECT_GT(pb.word(187), pb.word(3));
}

TEST_F(SymbolicPhase, StageAndFileErrors) {
  Problem early(5, 2000, 1, kMsgUnit);
  ASSERT_EQ(early.compress(), 0);
  EXPECT_EQ(early.symbolic(), -300);
  EXPECT_EQ(early.word(0), 10.0);
  EXPECT_EQ(messages().back(), "     incorrect sequence.  current stage =         10     should be 20.");
  const i32 n = 300;
  const Pairs p = random_structure(n, 4, 56);
  for (FileOp op : {FileOp::Open, FileOp::Write}) {
    Problem pb(n, 100000, 1, kMsgUnit);
    ASSERT_EQ(pb.analyse(p), 0);
    scratch_fail(12, op, 1);
    EXPECT_EQ(pb.symbolic(), -303);
    EXPECT_EQ(pb.word(0), -1.0);
  }
  EXPECT_EQ(messages().back(), "     on i/o file no.              12");
}

}  // namespace
}  // namespace zephsol::sparse
