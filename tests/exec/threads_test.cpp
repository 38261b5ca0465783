// Work shared among threads: the fixed partition of a range, the task
// runner and the backing of an area with memory.
#include <sys/mman.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "zephsol/exec/threads.h"

namespace zephsol {
namespace {

TEST(Threads, PiecesCoverTheRangeInOrderAndDifferByOneAtMost) {
  struct Case {
    std::int64_t n;
    int pieces;
  };
  for (const Case c : {Case{0, 1}, Case{0, 4}, Case{3, 8}, Case{10, 3}, Case{97336, 64}, Case{7, 7}}) {
    SCOPED_TRACE(testing::Message() << c.n << " in " << c.pieces);
    std::int64_t next = 0, shortest = c.n, longest = 0;
    for (int k = 0; k < c.pieces; ++k) {
      const Piece p = piece_of(c.n, c.pieces, k);
      EXPECT_EQ(p.first, next);
      EXPECT_LE(p.first, p.last);
      shortest = std::min(shortest, p.last - p.first);
      longest = std::max(longest, p.last - p.first);
      next = p.last;
    }
    EXPECT_EQ(next, c.n);
    EXPECT_LE(longest - shortest, 1);
  }
}

TEST(Threads, EveryTaskRunsOnceWhateverTheThreads) {
  for (int threads : {1, 3, 8, 100})
    for (int tasks : {0, 1, 5, 200}) {
      std::vector<std::atomic<int>> runs(static_cast<std::size_t>(tasks));
      run_tasks(threads, tasks, [&](int k) { ++runs[static_cast<std::size_t>(k)]; });
      for (int k = 0; k < tasks; ++k) EXPECT_EQ(runs[static_cast<std::size_t>(k)], 1) << threads << " " << k;
    }
}

TEST(Threads, OneThreadRunsTheTasksInOrderOnTheCaller) {
  std::vector<int> order;
  const auto caller = std::this_thread::get_id();
  bool elsewhere = false;
  run_tasks(1, 6, [&](int k) {
    order.push_back(k);
    elsewhere = elsewhere || std::this_thread::get_id() != caller;
  });
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_FALSE(elsewhere);
}

TEST(Threads, PrefaultKeepsTheContents) {
  constexpr std::size_t kBytes = std::size_t{9} << 20;
  void* area = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(area, MAP_FAILED);
  auto* d = static_cast<double*>(area);
  const std::size_t n = kBytes / sizeof(double);
  for (std::size_t i = 0; i < n; i += 4099) d[i] = static_cast<double>(i) + 0.5;
  // From an odd address into the middle of a page, then the whole area.
  prefault(d + 3, kBytes / 2 + 100, 4);
  prefault(area, kBytes, 3);
  prefault(area, 0, 2);
  for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(d[i], i % 4099 == 0 ? static_cast<double>(i) + 0.5 : 0.0) << i;
  ::munmap(area, kBytes);
}

}  // namespace
}  // namespace zephsol
