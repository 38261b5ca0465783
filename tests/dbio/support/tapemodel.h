// A model of a data block's contents for the record-layer tests: a list of
// records (length and a seed that fixes every word) and marks, the words a
// record must hold, and where the skips of the record layer must land.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/words.h"

namespace zephsol::testing {

struct TapeItem {
  word mark = 0;    // 0 a record, else the mark code 0x10 or 0x30
  word length = 0;  // words of a record
  word seed = 0;
};

// Word i (0-based) of the record with this seed.
inline word record_word(word seed, word i) {
  std::uint32_t x = static_cast<std::uint32_t>(seed) * 2654435761u ^ static_cast<std::uint32_t>(i) * 2246822519u;
  x ^= x >> 13;
  x *= 3266489917u;
  x ^= x >> 16;
  return static_cast<word>(x);
}

inline std::vector<word> record_words(const TapeItem& r) {
  std::vector<word> w(static_cast<std::size_t>(r.length));
  for (word i = 0; i < r.length; ++i) w[static_cast<std::size_t>(i)] = record_word(r.seed, i);
  return w;
}

// n records of 1 to max_length words; after every 100th record an
// end-of-file mark, every 700th an end-of-set mark instead, and every
// 1000th an end-of-set mark right behind the end-of-file mark.
inline std::vector<TapeItem> random_tape(std::mt19937& rng, int n, word max_length) {
  std::uniform_int_distribution<word> len(1, max_length);
  std::vector<TapeItem> items;
  for (int k = 1; k <= n; ++k) {
    items.push_back({0, len(rng), static_cast<word>(rng())});
    if (k % 100 != 0) continue;
    items.push_back({k % 700 == 0 ? 0x30 : 0x10, 0, 0});
    if (k % 1000 == 0) items.push_back({0x30, 0, 0});
  }
  return items;
}

// Where DBSKPF (mark 0x10) or DBSKPS (mark 0x30) with count n lands from
// item index pos (the index of the next item; items.size() is the end).
inline std::size_t skip_target(const std::vector<TapeItem>& items, std::size_t pos, int n, word mark) {
  if (n > 0) {
    int passed = 0;
    while (pos < items.size()) {
      const word m = items[pos++].mark;
      if (m >= mark && ++passed == n) break;
    }
    return pos;
  }
  if (n == 0) return pos;
  int passed = 0;
  while (pos > 0) {
    const word m = items[--pos].mark;
    if (m >= mark && ++passed == 1 - n) return pos + 1;
  }
  return 0;
}

}  // namespace zephsol::testing
