// Bisection searches in tables of fixed-width entries, the count of a
// stepped range and the word address of a variable.
#include <cassert>
#include <cstdint>
#include <limits>

#include "zephsol/exec/msg.h"
#include "zephsol/exec/util.h"

namespace zephsol {

namespace {

// Bisection over n entries of `stride` words. cmp(entry) compares the key
// with an entry: negative when the key sorts before it, 0 when equal.
// The first and the last entry are tested before the bisection, and the
// bisection stops when its bounds are adjacent (the lower bound is then the
// only candidate left).
template <class Cmp>
word bisect(std::span<const word> table, word stride, word n, Cmp cmp) {
  if (n <= 0) return 0;
  assert(stride >= 1 && table.size() >= static_cast<std::size_t>(stride) * static_cast<std::size_t>(n));
  const auto entry = [&](word i) { return table.data() + static_cast<std::ptrdiff_t>(stride) * i; };
  const auto position = [&](word i) { return static_cast<word>(static_cast<std::int64_t>(stride) * i + 1); };

  int c = cmp(entry(0));
  if (c < 0) return 0;
  if (c == 0) return 1;
  c = cmp(entry(n - 1));
  if (c > 0) return 0;
  if (c == 0) return position(n - 1);

  word lo = 0;
  word hi = n - 1;
  for (;;) {
    const word mid = lo + (hi - lo) / 2;
    c = cmp(entry(mid));
    if (hi - lo <= 1) return c == 0 ? position(mid) : 0;
    if (c == 0) return position(mid);
    if (c < 0)
      hi = mid;
    else
      lo = mid;
  }
}

int compare(word a, word b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace

word BSRCH1(word key, std::span<const word> table, word stride, word n) {
  return bisect(table, stride, n, [key](const word* e) { return compare(key, e[0]); });
}

word BSRCH2(word key1, word key2, std::span<const word> table, word stride, word n) {
  return bisect(table, stride, n, [key1, key2](const word* e) {
    const int c = compare(key1, e[0]);
    return c != 0 ? c : compare(key2, e[1]);
  });
}

word RNGCNT(word first, word last, word step) {
  // A zero step has no count; callers check the step before they count.
  if (step == 0) MSGPUT(-999, first, last);
  const std::int64_t f = first;
  const std::int64_t l = last;
  const std::int64_t s = step;
  // Integer division truncates toward zero, as the count is defined.
  const std::int64_t count = (s > 0 ? (l - f + s - 1) / s : (l - f + s + 1) / s) + 1;
  if (count > std::numeric_limits<word>::max() || count < std::numeric_limits<word>::min())
    MSGPUT(-999, first, last);
  return static_cast<word>(count);
}

std::int64_t WRDADR(const volatile void* x) noexcept {
  return static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(x) / 4);
}

}  // namespace zephsol
