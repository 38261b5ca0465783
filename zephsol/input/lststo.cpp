// List store.
#include "zephsol/input/lststo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/msg.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

namespace {

constexpr word kMaxLists = 20;

LSTCOM& lst() { return input_state().lst; }

// Moves the words from index `from` up to (not including) `to` up by g.
void move_up(word from, word to, word g) {
  if (to <= from) return;
  const auto src = core().words(from, to - from);
  const auto dst = core().words(from + g, to - from);
  std::memmove(dst.data(), src.data(), src.size() * sizeof(word));
}

// Makes room for m more words in list k (0-based) by moving the slots above
// it; false when the area is full (the fatal message ends the run).
bool grow_list(std::size_t k, word m) {
  LSTCOM& s = lst();
  const auto count = static_cast<std::size_t>(s.count);
  const word g = std::max(m, s.grow[k]);
  if (static_cast<std::int64_t>(s.start[count]) + g > s.limit) {
    MSGPUT(-3531, s.limit - s.start[0], m);
    return false;
  }
  move_up(s.start[k + 1], s.start[count], g);
  for (std::size_t j = k + 1; j <= count; ++j) s.start[j] += g;
  for (std::size_t j = k + 1; j < count; ++j) s.end[j] += g;
  return true;
}

}  // namespace

void LSTINI(word area, word length) {
  LSTCOM& s = lst();
  if (s.count > kMaxLists || s.count < 1) {
    MSGPUT(-3821, s.count, kMaxLists);
    return;
  }
  std::int64_t total = 0;
  const auto count = static_cast<std::size_t>(s.count);
  for (std::size_t k = 0; k < count; ++k) total += std::max<word>(s.end[k], 0);
  if (total > length) {
    MSGPUT(-3, static_cast<word>(std::min<std::int64_t>(total, 0x7FFFFFFF)), length);
    return;
  }
  word at = area;
  for (std::size_t k = 0; k < count; ++k) {
    const word size = std::max<word>(s.end[k], 0);
    s.start[k] = at;
    s.end[k] = at;
    at += size;
  }
  s.start[count] = at;
  s.limit = area + length;
}

void LSTAPP(word k, std::span<const word> data, word n) {
  LSTCOM& s = lst();
  if (k < 1 || k > s.count) {
    MSGPUT(-3530, k, s.count);
    return;
  }
  if (n == 0) return;
  const word m = n < 0 ? -n : n;
  const auto i = static_cast<std::size_t>(k - 1);
  // Words taken from the lists that may move are copied first.
  std::vector<word> held;
  if (s.start[i + 1] - s.end[i] < m) {
    if (n > 0 && core().index_of(data.data()) != 0) {
      held.assign(data.begin(), data.begin() + m);
      data = held;
    }
    if (!grow_list(i, m)) return;
  }
  const auto dst = core().words(s.end[i], m);
  if (n > 0)
    std::copy_n(data.begin(), m, dst.begin());
  else
    std::fill(dst.begin(), dst.end(), data[0]);
  s.end[i] += m;
}

std::span<word> lst_words(word k) {
  const LSTCOM& s = lst();
  const auto i = static_cast<std::size_t>(k - 1);
  return core().words(s.start[i], s.end[i] - s.start[i]);
}

word lst_length(word k) {
  const LSTCOM& s = lst();
  return s.end[static_cast<std::size_t>(k - 1)] - s.start[static_cast<std::size_t>(k - 1)];
}

}  // namespace zephsol
