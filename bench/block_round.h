// Shared by the file-system benchmarks: the timer, and one write/read round
// of n blocks through the block layer on a work unit (data block KGG), the
// reference rate the other layers are measured against.
#pragma once

#include <chrono>
#include <cstdio>
#include <span>
#include <utility>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/exec/words.h"

namespace zephsol::bench {

using Clock = std::chrono::steady_clock;

// An even index, where the record layer places its buffers.
inline constexpr word kBuf = 2;
inline constexpr word kBlockWords = 1024;

inline double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

inline void fill_buffer(std::span<word> w) {
  for (std::size_t i = 0; i < w.size(); ++i) w[i] = static_cast<word>(i * 2654435761u);
}

// Write and read seconds of n blocks through the block layer.
inline std::pair<double, double> block_layer_round(word n) {
  const auto buf = core().words(kBuf, kBlockWords);
  fill_buffer(buf);
  testing::make_current(KGG);
  auto t0 = Clock::now();
  BLKOPN(2);
  BLKREW(1);
  for (word b = 1; b <= n; ++b) {
    buf[0] = b;
    BLKPUT(kBuf);
  }
  const double tw = seconds_since(t0);
  t0 = Clock::now();
  BLKREW(0);
  long bad = 0;
  for (word b = 1; b <= n; ++b) {
    BLKGET(kBuf);
    bad += buf[0] != b;
  }
  const double tr = seconds_since(t0);
  BLKREW(-1);
  testing::store_current();
  if (bad) std::fprintf(stderr, "block layer: %ld blocks read back wrong\n", bad);
  return {tw, tr};
}

}  // namespace zephsol::bench
