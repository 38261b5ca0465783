// Sorts and permutations of the sparse library.
//
// One quicksort scheme serves every sort of the library: the pivot is the
// median of the first, middle and last entries, partitions of 9 entries or
// fewer are left for one final straight-insertion pass over the whole
// array, and of two partitions longer than 9 the smaller is sorted first
// while the larger waits on a stack of 25 pending partitions. A sort that
// would push a 26th partition fails (it takes hundreds of millions of
// entries to get there).
#pragma once

#include <utility>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// Sorts the entries 0 ... n-1 of a sequence given by its order less(i, j)
// and its exchange swap(i, j). False when the stack overflows.
template <class Less, class Swap>
bool quicksort(i64 n, Less less, Swap swap) {
  constexpr int kStack = 25;
  constexpr i64 kSmall = 9;
  std::pair<i64, i64> stack[kStack];
  int top = 0;
  i64 lo = 0, hi = n - 1;
  for (;;) {
    if (hi - lo + 1 > kSmall) {
      const i64 mid = lo + (hi - lo) / 2;
      // Median of three into lo: order lo, mid, hi, then park the median at lo.
      if (less(mid, lo)) swap(mid, lo);
      if (less(hi, lo)) swap(hi, lo);
      if (less(hi, mid)) swap(hi, mid);
      swap(lo, mid);
      i64 i = lo, j = hi + 1;
      for (;;) {
        do ++i;
        while (i <= hi && less(i, lo));
        do --j;
        while (less(lo, j));
        if (i >= j) break;
        swap(i, j);
      }
      swap(lo, j);
      // Left part lo ... j-1, right part j+1 ... hi.
      i64 a = lo, b = j - 1, c = j + 1, d = hi;
      if (b - a > d - c) {
        std::swap(a, c);
        std::swap(b, d);
      }
      if (d - c + 1 > kSmall) {
        if (b - a + 1 > kSmall) {
          if (top == kStack) return false;
          stack[top++] = {c, d};
          lo = a;
          hi = b;
          continue;
        }
        lo = c;
        hi = d;
        continue;
      }
    }
    if (top == 0) break;
    lo = stack[--top].first;
    hi = stack[top].second;
  }
  for (i64 k = 1; k < n; ++k)
    for (i64 m = k; m > 0 && less(m, m - 1); --m) swap(m, m - 1);
  return true;
}

// keys(1..n) ascending, perm := the permutation that sorts them (perm(i) =
// original position of the i-th smallest). notie = 0: equal keys keep
// their original order. keep != 0: keys are put back in their original
// order. ier 0, -1 (n <= 0), -5 (stack), -6, -7; on an error perm(1) = 0.
void HJSRTN(iword* keys, i64 n, i32 keep, i32 notie, iword* perm, i32& ier);
// v(1..n) ascending; ier 0, -1 (n <= 0), -5 (stack).
void HJSORT(iword* v, i64 n, i32& ier);
// The same without reports: ier 0 or -1 (n <= 0 or stack).
void xislso(i64 n, iword* v, i32& ier);
// v(i) := v(perm(i)) and v(perm(i)) := v(i), in place along the cycles of
// perm; ier -1 (n <= 0) or -2 (perm(1) <= 0), and then nothing is moved.
void HJPRMX(iword* v, i64 n, iword* perm, i32& ier);
void HJPRMY(iword* v, i64 n, iword* perm, i32& ier);
// q(p(i)) := i.
void xislin(i64 n, const iword* p, iword* q);

}  // namespace zephsol::sparse
