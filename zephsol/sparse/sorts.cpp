// Sorts and in-place permutations.
#include "zephsol/sparse/sorts.h"

#include <utility>

#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

bool sort_ints(iword* v, i64 n) {
  return quicksort(
      n, [v](i64 i, i64 j) { return v[i] < v[j]; }, [v](i64 i, i64 j) { std::swap(v[i], v[j]); });
}

// v(i) := v(perm(i)) (gather) or v(perm(i)) := v(i) (scatter), following
// the cycles of perm and marking visited entries by their sign.
void permute(iword* v, i64 n, iword* perm, bool gather) {
  for (i64 start = 0; start < n; ++start) {
    if (perm[start] < 0) continue;
    if (gather) {
      const iword first = v[start];
      i64 i = start;
      for (;;) {
        const i64 src = perm[i] - 1;
        perm[i] = -perm[i];
        if (src == start) {
          v[i] = first;
          break;
        }
        v[i] = v[src];
        i = src;
      }
    } else {
      iword carry = v[start];
      i64 i = start;
      for (;;) {
        const i64 dst = perm[i] - 1;
        perm[i] = -perm[i];
        std::swap(carry, v[dst]);
        if (dst == start) break;
        i = dst;
      }
    }
  }
  for (i64 i = 0; i < n; ++i) perm[i] = -perm[i];
}

bool perm_args(const char* name, iword* v, i64 n, iword* perm, i32& ier) {
  ier = 0;
  (void)v;
  if (n <= 0) ier = -1;
  else if (perm[0] <= 0) ier = -2;
  if (ier != 0) HHERR(1, name, ier, 0);
  return ier == 0;
}

}  // namespace

void HJSRTN(iword* keys, i64 n, i32 keep, i32 notie, iword* perm, i32& ier) {
  ier = 0;
  if (n <= 0) {
    ier = -1;
    HHERR(1, "HJSRTN", ier, 0);
    return;
  }
  for (i64 i = 0; i < n; ++i) perm[i] = static_cast<i32>(i + 1);
  if (n == 1) return;
  const bool ok = quicksort(
      n, [keys](i64 i, i64 j) { return keys[i] < keys[j]; },
      [keys, perm](i64 i, i64 j) {
        std::swap(keys[i], keys[j]);
        std::swap(perm[i], perm[j]);
      });
  if (!ok) {
    ier = -5;
    HHERR(3, "HJSRTN", ier, 0);
    perm[0] = 0;
    return;
  }
  if (notie == 0) {
    for (i64 b = 0; b < n;) {
      i64 e = b + 1;
      while (e < n && keys[e] == keys[b]) ++e;
      if (e - b > 1 && !sort_ints(perm + b, e - b)) {
        ier = -6;
        HHERR(5, "HJSRTN", ier, 0);
        perm[0] = 0;
        return;
      }
      b = e;
    }
  }
  if (keep != 0) permute(keys, n, perm, false);
}

void HJSORT(iword* v, i64 n, i32& ier) {
  ier = 0;
  if (n <= 0) ier = -1;
  else if (!sort_ints(v, n)) ier = -5;
  if (ier != 0) HHERR(ier == -1 ? 1 : 3, "HJSORT", ier, 0);
}

void xislso(i64 n, iword* v, i32& ier) { ier = (n > 0 && sort_ints(v, n)) ? 0 : -1; }

void HJPRMX(iword* v, i64 n, iword* perm, i32& ier) {
  if (perm_args("HJPRMX", v, n, perm, ier)) permute(v, n, perm, true);
}

void HJPRMY(iword* v, i64 n, iword* perm, i32& ier) {
  if (perm_args("HJPRMY", v, n, perm, ier)) permute(v, n, perm, false);
}

void xislin(i64 n, const iword* p, iword* q) {
  for (i64 i = 0; i < n; ++i) q[p[i] - 1] = static_cast<i32>(i + 1);
}

}  // namespace zephsol::sparse
