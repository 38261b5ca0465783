// The factorisation on a team of threads (subtrees of the assembly tree
// factorised at once, the large fronts' updates shared) against the same
// factorisation on one thread: the same factor, index lists, inertia,
// control words and solution to the bit, in work of every size from the
// least to room for everything, with and without delayed pivots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/factor_result.h"
#include "support/matrix.h"
#include "support/sparse_fixture.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {
namespace {

class FactorThreads : public SparseTest {
 protected:
  void SetUp() override {
    SparseTest::SetUp();
    const char* was = std::getenv("OMP_NUM_THREADS");
    had_ = was != nullptr;
    if (had_) saved_ = was;
    setenv("OMP_NUM_THREADS", "1", 1);  // the factorisation's own choice: one thread
  }
  void TearDown() override {
    if (had_) setenv("OMP_NUM_THREADS", saved_.c_str(), 1);
    else unsetenv("OMP_NUM_THREADS");
    SparseTest::TearDown();
  }

 private:
  bool had_ = false;
  std::string saved_;
};

// A factorisation's result with the control words (but its times) and the
// arrays the solution reads besides the factor: the permutation, the panel
// partition, each supernode's first panel and index-list place, the lists.
struct Image {
  Result r;
  std::vector<double> control;
  std::vector<i32> lists;
  i32 ier = 0, inertia[3] = {};
};

Image image_of(SparseRun& run, const std::vector<double>& b) {
  Image m;
  m.ier = run.ier;
  std::copy(run.inertia, run.inertia + 3, m.inertia);
  if (run.ier != 0) return m;
  m.r = result_of(run, b, 1);
  for (int k = 0; k < 200; ++k)
    if (k < cw::cpu_input || k > cw::wall_solve) m.control.push_back(run.word(k));
  const i64 n = run.n, ns = static_cast<i64>(run.word(cw::nsuper));
  auto ints = [&](int word, i64 count) {
    const auto* p = reinterpret_cast<const i32*>(run.work.data() + static_cast<i64>(run.word(word)) - 1);
    m.lists.insert(m.lists.end(), p, p + count);
  };
  ints(cw::fperm, n);
  ints(cw::snpan, ns + 1);
  ints(cw::fptr, ns + 1);
  const auto* snpan = reinterpret_cast<const i32*>(run.work.data() + static_cast<i64>(run.word(cw::snpan)) - 1);
  ints(cw::panpart, snpan[ns]);
  ints(cw::fgidx, static_cast<i64>(run.word(cw::glcount)));
  return m;
}

void expect_same(const Image& one, const Image& team, const std::string& what) {
  ASSERT_EQ(team.ier, one.ier) << what;
  EXPECT_EQ(std::vector<i32>(team.inertia, team.inertia + 3), std::vector<i32>(one.inertia, one.inertia + 3)) << what;
  if (one.ier != 0) return;
  expect_same(one.r, team.r, what.c_str());
  EXPECT_EQ(team.control, one.control) << what;
  EXPECT_EQ(team.lists, one.lists) << what;
}

struct Case {
  const char* name;
  Sym a;
  std::map<int, double> options;
};

// Factorises c in lwork words on `threads` threads (one: the
// factorisation's own single thread).
Image factorise(const Case& c, i32 lwork, i32 threads, const std::vector<double>& b) {
  const ProductTeam team(threads);
  SparseRun run(c.a, lwork, c.options);
  Image m = image_of(run, b);
  scratch_close_all();
  return m;
}

TEST_F(FactorThreads, TeamsGiveTheBitsOfOneThread) {
  const std::vector<Case> cases = {
      {"hex", hex_matrix(14, 13, 12, 3, 23), {}},
      {"hex, no pivoting", hex_matrix(12, 12, 12, 3, 5), {{cw::pvttol, 0.0}}},
      {"indefinite, delayed pivots", indefinite(9, 3, 19, 0.4), {}},
      {"indefinite, row panels", indefinite(8, 2, 7, 0.5), {{cw::orient, 0.0}, {cw::panel, 8.0}}},
      {"perturbed small pivots", indefinite(8, 3, 3, 0.3), {{cw::pvttol, 0.0}, {cw::perturb, 1e-8}}},
      {"negative pivots recorded", indefinite(8, 3, 13, 0.0), {{cw::pvttol, 0.0}, {cw::monitor, 1.0}}},
      {"a negative pivot stops", indefinite(8, 3, 17, 0.0), {{cw::pvttol, 0.0}, {cw::monitor, 2.0}}},
  };
  for (const Case& c : cases) {
    const auto b = random_rhs(c.a.n, 1, 29);
    const Image one = factorise(c, 6000000, 1, b);
    EXPECT_EQ(one.ier != 0, c.options.count(cw::monitor) && c.options.at(cw::monitor) == 2.0) << c.name;
    for (i32 threads : {2, 3, 8}) {
      const Image team = factorise(c, 6000000, threads, b);
      expect_same(one, team, std::string(c.name) + ", threads " + std::to_string(threads));
      expect_same(team, factorise(c, 6000000, threads, b), std::string(c.name) + ", again");
    }
  }
}

// Work from the least figure to room for all: the factor on its file from
// the start, leaving work on the way, or kept.
TEST_F(FactorThreads, EveryWorkSizeGivesTheResultOfOneThread) {
  const Case c{"saddle", saddle(8, 300, 31), {}};
  const auto b = random_rhs(c.a.n, 1, 31);
  i32 need = 0, needmn = 0;
  {
    SparseRun big(c.a, 6000000, c.options);
    ASSERT_EQ(big.ier, 0) << big.failed;
    need = big.need;
    needmn = big.needmn;
    scratch_close_all();
  }
  for (double f : {0.0, 0.3, 0.6, 0.8, 0.9, 0.95, 1.0, 1.03, 1.06, 1.2, 3.0}) {
    const i32 lw = needmn + static_cast<i32>(f * (need - needmn));
    expect_same(factorise(c, lw, 1, b), factorise(c, lw, 4, b), "lwork " + std::to_string(lw));
  }
  // The fill of delayed columns passing its limit at fronts of subtrees
  // and above them: the same error and inertia so far.
  for (double fillmax : {1e-4, 1e-3, 3e-3, 1e-2, 3e-2}) {
    const Case limited{c.name, c.a, {{cw::fillmax, fillmax}}};
    expect_same(factorise(limited, 6000000, 1, b), factorise(limited, 6000000, 4, b), "fill " + std::to_string(fillmax));
  }
}

}  // namespace
}  // namespace zephsol::sparse
