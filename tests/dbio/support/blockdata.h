// Helpers of the file-system tests: block contents that tell one block from
// another, and the block transfers wrapped as the record layer makes them
// (current data block loaded before, status stored back after).
#pragma once

#include <cstdint>
#include <vector>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "common/testing.h"

namespace zephsol::testing {

// Word i (2 <= i <= B - 1) of block n of data set `seed`.
inline word pattern_word(word n, word seed, word i) {
  std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761u ^ static_cast<std::uint32_t>(seed) * 40503u ^
                    static_cast<std::uint32_t>(i) * 2246822519u;
  x ^= x >> 15;
  return static_cast<word>(x * 2654435761u);
}

// Fills the block at open-core index buf as block n.
inline void fill_block(word buf, word n, word seed = 0) {
  const auto w = core().words(buf, filctl().blkwds);
  w[0] = n;
  for (word i = 2; i <= filctl().blkwds; ++i) w[static_cast<std::size_t>(i - 1)] = pattern_word(n, seed, i);
}

// True when the block at buf holds block n of data set seed.
inline bool holds_block(word buf, word n, word seed = 0) {
  const auto w = core().words(buf, filctl().blkwds);
  if (w[0] != n) return false;
  for (word i = 2; i <= filctl().blkwds; ++i)
    if (w[static_cast<std::size_t>(i - 1)] != pattern_word(n, seed, i)) return false;
  return true;
}

// One block-layer call on data block number.
template <class F>
void on_block(word number, F&& op) {
  make_current(number);
  op();
  store_current();
}

// Writes blocks 1..n of data set seed from scratch (open for writing,
// rewind to rewrite) through the buffer at buf.
inline void write_blocks(word number, word n, word buf, word seed = 0) {
  on_block(number, [&] {
    BLKOPN(2);
    BLKREW(1);
    for (word b = 1; b <= n; ++b) {
      fill_block(buf, b, seed);
      BLKPUT(buf);
    }
  });
}

// Rewinds and reads blocks 1..n; the block numbers met that differ from
// their data set are returned (none when all read back intact).
inline std::vector<word> read_back(word number, word n, word buf, word seed = 0) {
  std::vector<word> bad;
  on_block(number, [&] {
    BLKOPN(4);
    BLKREW(0);
    for (word b = 1; b <= n; ++b) {
      BLKGET(buf);
      if (!holds_block(buf, b, seed)) bad.push_back(b);
    }
  });
  return bad;
}

}  // namespace zephsol::testing
