#include "zephsol/exec/threads.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <thread>
#include <vector>

namespace zephsol {

Piece piece_of(std::int64_t n, int pieces, int k) {
  const std::int64_t base = n / pieces, extra = n % pieces;
  const std::int64_t first = k * base + std::min<std::int64_t>(k, extra);
  return {first, first + base + (k < extra ? 1 : 0)};
}

void run_tasks(int threads, int tasks, const std::function<void(int)>& task) {
  const int helpers = std::clamp(threads, 1, std::max(tasks, 1)) - 1;
  std::atomic<int> next{0};
  const auto serve = [&] {
    for (int k = next++; k < tasks; k = next++) task(k);
  };
  std::vector<std::thread> team;
  team.reserve(static_cast<std::size_t>(helpers));
  for (int i = 0; i < helpers; ++i) team.emplace_back(serve);
  serve();
  for (std::thread& t : team) t.join();
}

void* large_page_alloc(std::size_t bytes) {
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  const std::size_t whole = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  void* p = std::aligned_alloc(kLargePage, whole);
  if (p != nullptr) ::madvise(p, whole, MADV_HUGEPAGE);
  return p;
}

void prefault(void* p, std::size_t bytes, int threads) {
#ifdef MADV_POPULATE_WRITE
  // Pieces of whole large pages, a few per thread so that a slow one does
  // not hold up the rest.
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t first = begin & ~(std::uintptr_t{4096} - 1), end = begin + bytes;
  if (bytes == 0) return;
  const std::size_t span = end - first;
  const int pieces = static_cast<int>(std::clamp<std::size_t>(span / kLargePage, 1, 64));
  const std::size_t step = (span / pieces + kLargePage - 1) & ~(kLargePage - 1);
  run_tasks(threads, pieces, [&](int k) {
    const std::uintptr_t a = first + step * static_cast<std::size_t>(k);
    if (a >= end) return;
    const std::uintptr_t b = std::min<std::uintptr_t>(end, a + step);
    ::madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE);
  });
#else
  (void)p;
  (void)bytes;
  (void)threads;
#endif
}

}  // namespace zephsol
