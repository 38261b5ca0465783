// Value input and distribution: every entry at its place in its
// supernode's front (checked against the places computed from the index
// sets), the same result in core and through the files (segments, merge
// passes, entries on lunit1), given in one or several calls with
// duplicates, the norm word, and the errors.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>

#include "support/sparse_fixture.h"
#include "support/structure.h"
#include "zephsol/sparse/files.h"

namespace zephsol::sparse {
namespace {

// Lower-triangle values by (row, column), row >= column, caller numbering.
using Values = std::map<std::pair<i32, i32>, double>;

Values random_values(i32 n, const Pairs& p, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-9, 9);
  Values v;
  for (i32 j = 1; j <= n; ++j) v[{j, j}] = d(rng) + 20;
  for (auto [a, b] : p) {
    int x = d(rng);
    v[{b, a}] = x == 0 ? 1 : x;
  }
  return v;
}

// The values as compressed columns over `calls` calls; every entry split
// into `dup` integer parts (their sum is the value).
std::vector<std::pair<Columns, std::vector<double>>> value_columns(i32 n, const Values& v, int calls, int dup,
                                                                   unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::vector<std::vector<std::pair<i32, double>>>> cols(calls,
                                                                      std::vector<std::vector<std::pair<i32, double>>>(n + 1));
  for (auto [rc, x] : v) {
    double left = x;
    for (int d = 0; d < dup; ++d) {
      const double part = d + 1 == dup ? left : std::floor(left / 2);
      left -= part;
      cols[rng() % calls][rc.second].push_back({rc.first, part});
    }
  }
  std::vector<std::pair<Columns, std::vector<double>>> out(calls);
  for (int c = 0; c < calls; ++c) {
    auto& [cl, vals] = out[c];
    cl.colptr.push_back(1);
    for (i32 j = 1; j <= n; ++j) {
      std::shuffle(cols[c][j].begin(), cols[c][j].end(), rng);
      for (auto [r, x] : cols[c][j]) {
        cl.rowind.push_back(r);
        vals.push_back(x);
      }
      cl.colptr.push_back(static_cast<i32>(cl.rowind.size()) + 1);
    }
  }
  return out;
}

i32 enter(Problem& pb, const std::vector<std::pair<Columns, std::vector<double>>>& calls, char code = 'A') {
  i32 ier = 0;
  for (const auto& [cl, vals] : calls) {
    xdslvm(code, cl.colptr, cl.rowind, vals, pb.work.data(), pb.lwork, ier);
    if (ier != 0) return ier;
  }
  xdslvf(pb.work.data(), pb.lwork, ier);
  return ier;
}

// (supernode, relative index) -> value, from the arrays left in work or
// from the records on lunit1.
using Places = std::map<std::pair<i64, i32>, double>;

// The words of one matrix's results: count, row pointers, relative
// indices, values, records.
struct ResultWords {
  int count, xrelin, rel, vals, records;
};
constexpr ResultWords kA{21, 60, 81, 69, 59}, kB{22, 73, 90, 75, 184};

Places distributed(Problem& pb, const ResultWords& rw = kA) {
  const i64 ns = static_cast<i64>(pb.word(31)), n = pb.n;
  const auto part = pb.ints(64, ns + 1);
  const auto xrelin = pb.ints(rw.xrelin, n + 1);
  const i64 cnt = static_cast<i64>(pb.word(rw.count));
  std::vector<i32> rel(cnt);
  std::vector<double> val(cnt);
  const bool keep = pb.word(175) != 0.0;
  if (pb.word(rw.records) == 0.0) {
    if (cnt > 0) {
      rel = pb.ints(rw.rel, cnt);
      Work w = pb.w();
      const DVec v = w.dbl(w.ictl(rw.vals), cnt);
      val.assign(v.data(), v.data() + cnt);
    }
  } else {
    i32 ier = 0;
    xdslrw(11, ier);
    for (i64 s = 1; s <= ns; ++s) {
      const i64 b = xrelin[part[s - 1] - 1], e = xrelin[part[s] - 1];
      if (e == b) continue;
      std::vector<i32> rows(e - b);
      if (keep) xislrd(11, e - b, rows.data(), ier);
      xislrd(11, e - b, rel.data() + b - 1, ier);
      xdslrd(11, e - b, val.data() + b - 1, ier);
      EXPECT_EQ(ier, 0);
    }
  }
  Places out;
  for (i64 s = 1; s <= ns; ++s)
    for (i64 q = xrelin[part[s - 1] - 1]; q < xrelin[part[s] - 1]; ++q) {
      const auto [it, fresh] = out.insert({{s, rel[q - 1]}, val[q - 1]});
      EXPECT_TRUE(fresh) << "supernode " << s << " place " << rel[q - 1] << " twice";
    }
  return out;
}

// The places computed directly from the index sets: entry (i, j), i > j
// new numbers, of supernode s holding column j.
Places expected(Problem& pb, const Values& v) {
  const i64 ns = static_cast<i64>(pb.word(31)), n = pb.n, nsnind = static_cast<i64>(pb.word(32));
  const auto part = pb.ints(64, ns + 1), ptr = pb.ints(66, ns + 1), invp = pb.ints(63, n);
  const auto gl = pb.ints(79, nsnind);
  std::vector<i64> snode(n + 1);
  for (i64 s = 1; s <= ns; ++s)
    for (i32 j = part[s - 1]; j < part[s]; ++j) snode[j] = s;
  Places out;
  for (auto [rc, x] : v) {
    const i32 a = invp[rc.first - 1], b = invp[rc.second - 1];
    if (a == b) continue;
    const i32 i = std::max(a, b), j = std::min(a, b);
    const i64 s = snode[j];
    const i32 f = part[s - 1], l = part[s] - 1, w = l - f + 1;
    const i64 g = ptr[s] - ptr[s - 1], F = w + g;
    auto place = [&](i32 y) -> i64 {
      if (y <= l) return y - f + 1;
      for (i64 q = 0; q < g; ++q)
        if (gl[ptr[s - 1] - 1 + q] == y) return w + q + 1;
      return -1;
    };
    const i64 c = j - f;
    i64 offset = 0;
    for (i64 k = 0; k < c; ++k) offset += F - k;
    out[{s, static_cast<i32>(offset + place(i) - place(j) + 1)}] += x;
  }
  return out;
}

double row_sum_norm(i32 n, const Values& v) {
  std::vector<double> s(n + 1, 0.0);
  for (auto [rc, x] : v) {
    s[rc.first] += std::abs(x);
    if (rc.first != rc.second) s[rc.second] += std::abs(x);
  }
  return *std::max_element(s.begin(), s.end());
}

class ValuePhase : public SparseTest {
 protected:
  // A problem through the symbolic phase with the index sets in work.
  static Problem prepared(i32 n, const Pairs& p, i32 lwork, i32 msglvl = 0) {
    Problem pb(n, lwork, msglvl, kMsgUnit, 11, -1);
    EXPECT_EQ(pb.analyse(p), 0);
    EXPECT_EQ(pb.symbolic(), 0);
    return pb;
  }
};

TEST_F(ValuePhase, EntriesReachTheirPlacesInCoreAndThroughTheFiles) {
  const i32 n = 1200;
  const Pairs p = random_structure(n, 6, 61);
  const Values v = random_values(n, p, 62);
  Problem big = prepared(n, p, 400000);
  // A buffer of about the distinct entries: they overflow it while given,
  // and still fit in work at the end.
  const double lw_min = big.word(3) + 3 * n + 2.8 * static_cast<double>(p.size());
  struct Case {
    const char* what;
    i32 lwork;
    int calls, dup;
    double store;  // value-storage code (units: entries on lunit1)
    bool on_file;
  };
  const Case cases[] = {
      {"in core", 400000, 1, 1, 0, false},
      {"in core, several calls, duplicates", 400000, 3, 2, 0, false},
      {"in core, entries on lunit1", 400000, 2, 1, 1, false},
      {"files", static_cast<i32>(lw_min), 1, 1, 0, true},
      {"files, several calls, duplicates", static_cast<i32>(lw_min), 3, 3, 0, true},
      {"files, entries on lunit1", static_cast<i32>(lw_min), 2, 2, 1, true},
  };
  Places want;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    scratch_close_all();
    Problem pb = prepared(n, p, c.lwork);
    pb.work[170] = c.store;
    const auto calls = value_columns(n, v, c.calls, c.dup, 63);
    i32 ier = 0;
    for (const auto& [cl, vals] : calls) {
      xdslvm('A', cl.colptr, cl.rowind, vals, pb.work.data(), pb.lwork, ier);
      ASSERT_EQ(ier, 0);
    }
    const double segments = pb.word(55);
    EXPECT_EQ(segments > 0, c.on_file);
    xdslvf(pb.work.data(), pb.lwork, ier);
    ASSERT_EQ(ier, 0);
    EXPECT_EQ(pb.word(0), 40.0);
    const Places got = distributed(pb);
    if (want.empty()) {
      want = expected(pb, v);
      EXPECT_EQ(got, want);
    } else {
      EXPECT_EQ(got, want);
    }
    EXPECT_EQ(pb.word(95), row_sum_norm(n, v));
    EXPECT_EQ(pb.word(21), static_cast<double>(p.size()));
    EXPECT_EQ(pb.word(59) > 0, c.store != 0);
    // The permuted diagonal.
    Work w = pb.w();
    const DVec diag = w.dbl(w.ictl(cw::diagp), n);
    const auto perm = pb.ints(62, n);
    for (i32 k = 1; k <= n; ++k) ASSERT_EQ(diag(k), v.at({perm[k - 1], perm[k - 1]}));
    EXPECT_FALSE(scratch_open(13));
    EXPECT_FALSE(scratch_open(14));
  }
}

TEST_F(ValuePhase, ManySegmentsAndTheRowIndicesKept) {
  const i32 n = 600;
  const Pairs p = random_structure(n, 8, 64);
  const Values v = random_values(n, p, 65);
  Problem ref = prepared(n, p, 300000);
  ASSERT_EQ(enter(ref, value_columns(n, v, 1, 1, 1)), 0);
  const Places want = distributed(ref);
  // Five segments (four while given, the last at the end: an odd count,
  // three passes) and four (two passes).
  for (auto [calls, room] : {std::pair{5, 1000}, std::pair{9, 2000}}) {
    scratch_close_all();
    Problem pb = prepared(n, p, static_cast<i32>(ref.word(3)) + 3 * n + room);
    pb.work[175] = 1.0;
    const auto cols = value_columns(n, v, calls, 2, calls);
    i32 ier = 0;
    for (const auto& [cl, vals] : cols) {
      xdslvm('A', cl.colptr, cl.rowind, vals, pb.work.data(), pb.lwork, ier);
      ASSERT_EQ(ier, 0);
    }
    EXPECT_GE(pb.word(55), 3.0);
    xdslvf(pb.work.data(), pb.lwork, ier);
    ASSERT_EQ(ier, 0);
    EXPECT_EQ(distributed(pb), want);
    // Row indices: the larger new index of each entry of row m.
    const auto xrelin = pb.ints(60, n + 1), rows = pb.ints(71, static_cast<i64>(pb.word(21)));
    for (i32 m = 1; m <= n; ++m)
      for (i32 q = xrelin[m - 1]; q < xrelin[m]; ++q) EXPECT_GT(rows[q - 1], m);
  }
}

TEST_F(ValuePhase, AValueOutsideTheFactorStructureNamesItsPosition) {
  // A 3x3 arrow with an empty corner: (3,2) lies outside when 2 and 3 are
  // eliminated before 1... found by searching the factor's index sets.
  const i32 n = 400;
  const Pairs p = random_structure(n, 3, 66);
  Problem pb = prepared(n, p, 200000, 1);
  const i64 ns = static_cast<i64>(pb.word(31));
  const auto part = pb.ints(64, ns + 1), ptr = pb.ints(66, ns + 1), perm = pb.ints(62, n);
  const auto gl = pb.ints(79, static_cast<i64>(pb.word(32)));
  // A row below a supernode's columns and outside its index set.
  i32 row = 0, col = 0;
  for (i64 s = 1; s <= ns && row == 0; ++s) {
    const i32 l = part[s] - 1;
    std::set<i32> set(gl.begin() + ptr[s - 1] - 1, gl.begin() + ptr[s] - 1);
    for (i32 i = l + 1; i <= n && row == 0; ++i)
      if (!set.count(i)) {
        row = perm[i - 1];
        col = perm[l - 1];
      }
  }
  ASSERT_NE(row, 0);
  Values v = random_values(n, p, 67);
  v[{std::max(row, col), std::min(row, col)}] = 5.0;
  EXPECT_EQ(enter(pb, value_columns(n, v, 1, 1, 1)), -402);
  EXPECT_EQ(pb.word(0), -1.0);
  char line[100];
  std::snprintf(line, sizeof line, "     no entry found for row = %10d and column = %10d.", row, col);
  EXPECT_EQ(messages().back(), line);
}

TEST_F(ValuePhase, InputErrorsAndStages) {
  const i32 n = 4;
  const Pairs p = {{1, 2}, {2, 3}, {3, 4}};
  const Columns lower{{1, 3, 5, 7, 8}, {1, 2, 2, 3, 3, 4, 4}};
  const std::vector<double> vals(7, 1.0);
  struct Case {
    const char* what;
    char code;
    Columns cols;
    double form;
    i32 ier;
    double stage;
  };
  const std::vector<Case> cases = {
      {"upper triangle", 'A', {{1, 2, 4, 6, 8}, {1, 1, 2, 2, 3, 3, 4}}, 4, -402, -1},
      {"row n+1", 'A', {{1, 3, 5, 7, 8}, {1, 2, 2, 3, 3, 5, 4}}, 4, -402, -1},
      {"first pointer 0", 'A', {{0, 3, 5, 7, 8}, {1, 2, 2, 3, 3, 4, 4}}, 4, -402, -1},
      {"second matrix without its form", 'b', lower, 4, -408, -1},
      {"off-diagonal entries of a diagonal second matrix", 'M', lower, 2, -408, -1},
      {"unknown code", 'X', lower, 4, -409, -1},
      {"second matrix, diagonal only", 'm', {{1, 2, 3, 4, 5}, {1, 2, 3, 4}}, 3, 0, 31},
  };
  for (const auto& c : cases) {
    Problem pb = prepared(n, p, 5000, 1);
    pb.work[121] = c.form;
    i32 ier = 0;
    xdslvm(c.code, c.cols.colptr, c.cols.rowind, vals, pb.work.data(), pb.lwork, ier);
    EXPECT_EQ(ier, c.ier) << c.what;
    EXPECT_EQ(pb.word(0), c.stage) << c.what;
  }
  const auto msg = messages();
  EXPECT_NE(std::find(msg.begin(), msg.end(), "     *** fatal error no.  -409 *** invalid value of matrix input to"),
            msg.end());
  EXPECT_NE(std::find(msg.begin(), msg.end(), "          matrix = X"), msg.end());
  // Stages: no value input yet, a work array too short for the buffer.
  Problem pb = prepared(n, p, 5000, 1);
  i32 ier = 0;
  xdslvf(pb.work.data(), pb.lwork, ier);
  EXPECT_EQ(ier, -400);
  EXPECT_EQ(pb.word(0), 30.0);
  EXPECT_EQ(messages().back(), "     incorrect sequence.  current stage =         30     should be 31.");
  xdslvm('A', lower.colptr, lower.rowind, vals, pb.work.data(), static_cast<i32>(pb.word(3)) + 10, ier);
  EXPECT_EQ(ier, -401);
  EXPECT_EQ(pb.word(0), 30.0);
  Problem early(n, 5000);
  xdslvm('A', lower.colptr, lower.rowind, vals, early.work.data(), early.lwork, ier);
  EXPECT_EQ(ier, -400);
  EXPECT_EQ(early.word(0), 1.0);
}

TEST_F(ValuePhase, ANewCycleStartsFromZeroWhereTheLastOneBegan) {
  const i32 n = 300;
  const Pairs p = random_structure(n, 5, 68);
  Problem pb = prepared(n, p, 200000);
  const Values v1 = random_values(n, p, 69), v2 = random_values(n, p, 70);
  ASSERT_EQ(enter(pb, value_columns(n, v1, 2, 2, 1)), 0);
  const double diag_at = pb.word(76);
  const Places first = distributed(pb);
  pb.work[0] = 50.0;  // as after a factorisation
  ASSERT_EQ(enter(pb, value_columns(n, v2, 1, 1, 2)), 0);
  EXPECT_EQ(pb.word(76), diag_at);
  EXPECT_EQ(distributed(pb), expected(pb, v2));
  EXPECT_NE(distributed(pb), first);
}

TEST_F(ValuePhase, AFullSecondMatrixIsDistributedLikeTheFirst) {
  const i32 n = 500;
  const Pairs p = random_structure(n, 5, 73);
  const Values va = random_values(n, p, 74), vb = random_values(n, p, 75);
  Problem probe = prepared(n, p, 300000);
  for (i32 lw : {300000, static_cast<i32>(probe.word(3) + 6 * n + 5.0 * static_cast<double>(p.size()))}) {
    scratch_close_all();
    Problem pb = prepared(n, p, lw);
    pb.work[121] = 1.0;
    pb.work[17] = 16.0;  // the second matrix's value file
    pb.work[12] = 18.0;  // and its processed entries
    const auto ca = value_columns(n, va, 2, 1, 76), cb = value_columns(n, vb, 2, 2, 77);
    i32 ier = 0;
    for (std::size_t k = 0; k < 2; ++k) {
      xdslvm('A', ca[k].first.colptr, ca[k].first.rowind, ca[k].second, pb.work.data(), pb.lwork, ier);
      ASSERT_EQ(ier, 0);
      xdslvm('B', cb[k].first.colptr, cb[k].first.rowind, cb[k].second, pb.work.data(), pb.lwork, ier);
      ASSERT_EQ(ier, 0);
    }
    const bool files = pb.word(55) > 0 || pb.word(184) > 0;
    EXPECT_EQ(files, lw != 300000);
    xdslvf(pb.work.data(), pb.lwork, ier);
    ASSERT_EQ(ier, 0);
    EXPECT_EQ(distributed(pb, kA), expected(pb, va));
    EXPECT_EQ(distributed(pb, kB), expected(pb, vb));
    EXPECT_EQ(pb.word(95), row_sum_norm(n, va));
    Work w = pb.w();
    const DVec db = w.dbl(w.ictl(cw::diagb), n);
    const auto perm = pb.ints(62, n);
    for (i32 k = 1; k <= n; ++k) ASSERT_EQ(db(k), vb.at({perm[k - 1], perm[k - 1]}));
    EXPECT_FALSE(scratch_open(16));
  }
}

TEST_F(ValuePhase, FileErrorsOfTheDistribution) {
  const i32 n = 800;
  const Pairs p = random_structure(n, 6, 71);
  const Values v = random_values(n, p, 72);
  Problem probe = prepared(n, p, 400000);
  const i32 lw = static_cast<i32>(probe.word(3) + 3 * n + 2.8 * static_cast<double>(p.size()));
  struct Case {
    int unit;
    FileOp op;
    int k;
  };
  for (const Case c : {Case{13, FileOp::Open, 1}, Case{14, FileOp::Open, 1}, Case{13, FileOp::Read, 2},
                       Case{14, FileOp::Write, 1}, Case{11, FileOp::Open, 1}, Case{11, FileOp::Read, 1}}) {
    scratch_close_all();
    Problem pb = prepared(n, p, lw, 1);
    scratch_fail(c.unit, c.op, c.k);
    EXPECT_EQ(enter(pb, value_columns(n, v, 2, 1, 3)), -410) << c.unit;
    EXPECT_EQ(pb.word(0), -1.0);
    char line[80];
    std::snprintf(line, sizeof line, "     on i/o file no. %15d", c.unit);
    EXPECT_EQ(messages().back(), line) << c.unit;
  }
}

TEST_F(ValuePhase, TheHostsSequenceRunsInTheWorkItAsksFor) {
  // The sparse driver's calls and units; a work array exactly as long as
  // the in-core figure of the symbolic phase.
  const i32 n = 5 * 5 * 6 * 3;
  const Pairs p = hex_structure(4, 4, 5, 3);
  const Values v = random_values(n, p, 78);
  const auto structure = to_columns(n, p, Triangle::Lower);
  const auto values = value_columns(n, v, 1, 1, 79);
  auto run = [&](i32 lwork, i32& need) {
    std::vector<double> work(static_cast<std::size_t>(lwork));
    i32 ier = 0, needmn = 0;
    xdslin(n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, work.data(), lwork, ier);
    if (ier == 0) xdslim('A', structure[0].colptr, structure[0].rowind, work.data(), lwork, ier);
    if (ier == 0) xdslif(work.data(), lwork, need, ier);
    if (ier == 0) xdslom(work.data(), lwork, need, ier);
    if (ier == 0) xdslsf(work.data(), lwork, need, needmn, ier);
    if (ier == 0) xdslvm('A', values[0].first.colptr, values[0].first.rowind, values[0].second, work.data(), lwork, ier);
    if (ier == 0) xdslvf(work.data(), lwork, ier);
    EXPECT_EQ(work[0], ier == 0 ? 40.0 : work[0]);
    return ier;
  };
  i32 need = 0;
  ASSERT_EQ(run(400000, need), 0);
  ASSERT_GT(need, 0);
  scratch_close_all();
  i32 again = 0;
  EXPECT_EQ(run(need, again), 0);
  EXPECT_EQ(again, need);
}

}  // namespace
}  // namespace zephsol::sparse
