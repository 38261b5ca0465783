// Sorts of integer vectors and of tables of fixed-width rows.
//
// The table sorts are Shell sorts with the gaps n/2, n/4, ..., 1 and a
// strict comparison, so rows with equal keys end in the order this exact
// gap sequence gives them (the sort is not stable). Callers that drop
// repeated keys keep the first row of each run, so that order is kept here.
#include <algorithm>
#include <cassert>
#include <cstddef>

#include "zephsol/exec/util.h"

namespace zephsol {

namespace {

// Shell sort of n rows of w words in place; less(a, b) compares two rows
// given by their first words. For each gap g, each row i = 1..n-g moves
// down the chain i, i-g, ... while the row g below it is smaller.
template <class Less>
void shell_sort_rows(std::span<word> table, word w, word n, Less less) {
  if (n <= 1) return;
  assert(w >= 1 && table.size() >= static_cast<std::size_t>(w) * static_cast<std::size_t>(n));
  const auto row = [&](word i) { return table.data() + static_cast<std::ptrdiff_t>(w) * (i - 1); };
  for (word g = n / 2; g >= 1; g /= 2) {
    for (word start = 1; start <= n - g; ++start) {
      for (word i = start; i >= 1 && less(row(i + g), row(i)); i -= g)
        std::swap_ranges(row(i), row(i) + w, row(i + g));
    }
  }
}

}  // namespace

// Equal one-word rows are identical, so any correct sort gives the result of
// the Shell sort; the library sort is faster on long vectors.
void SORTIV(std::span<word> v, word n) {
  if (n <= 1) return;
  assert(v.size() >= static_cast<std::size_t>(n));
  std::sort(v.begin(), v.begin() + n);
}

void SORTI2(word w, word k1, word k2, std::span<word> table, word n) {
  assert(k1 >= 1 && k1 <= w && k2 >= 1 && k2 <= w);
  shell_sort_rows(table, w, n, [k1, k2](const word* a, const word* b) {
    return a[k1 - 1] < b[k1 - 1] || (a[k1 - 1] == b[k1 - 1] && a[k2 - 1] < b[k2 - 1]);
  });
}

void SORTIR(word w, word k, std::span<word> table, word n) {
  assert(k >= 1 && k <= w);
  shell_sort_rows(table, w, n, [k](const word* a, const word* b) { return a[k - 1] < b[k - 1]; });
}

}  // namespace zephsol
