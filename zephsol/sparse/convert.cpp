// Relative indices of the matrix entries in the fronts.
#include "zephsol/sparse/convert.h"

#include <cmath>

#include "zephsol/sparse/files.h"

namespace zephsol::sparse {
namespace {

// Position of x in the ascending set g(1..n), 0 when absent; the places
// next to the hint are looked at first, then the rest is bisected.
i64 find_index(const iword* g, i64 n, i32 x, i64& hint) {
  if (n == 0) return 0;
  i64 lo = 1, hi = n;
  for (const i64 p : {std::min(hint + 1, n), std::max<i64>(hint - 1, 1)}) {
    if (p < lo || p > hi) continue;
    const i32 y = g[p - 1];
    if (y == x) return hint = p;
    if (x < y) hi = p - 1;
    else lo = p + 1;
  }
  if (x < g[0] || x > g[n - 1]) return 0;
  while (lo <= hi) {
    const i64 mid = lo + (hi - lo) / 2;
    const i32 y = g[mid - 1];
    if (y == x) return hint = mid;
    if (x < y) hi = mid - 1;
    else lo = mid + 1;
  }
  return 0;
}

}  // namespace

i32 convert_supernode(const FrontIndex& fx, i64 s, iword* m, iword* key, const double* v, i64 count,
                      double* rowsum, ConvertReport& rep) {
  const i64 f = fx.part(s), l = fx.part(s + 1) - 1, w = l - f + 1;
  const iword* G = fx.gl.data() + (fx.ptr(s) - 1);
  const i64 g = fx.ptr(s + 1) - fx.ptr(s);
  const i64 F = w + g, T = F * (F + 1) / 2;
  i64 hi_hint = 0, hj_hint = 0, offset = 0, q = 0;
  auto place = [&](i64 x, i64& hint) -> i64 {
    if (x <= l) return x - f + 1;
    const i64 p = find_index(G, g, static_cast<i32>(x), hint);
    return p == 0 ? 0 : w + p;
  };
  for (i64 c = 0; c < w; ++c) {
    const i64 mm = f + c;
    for (; q < count && m[q] == mm; ++q) {
      const i64 k = key[q];
      i64 i, j;
      if (!fx.unsym) {
        i = mm + k;
        j = mm;
      } else if (k > 0) {
        i = mm;
        j = mm + k;
      } else {
        i = mm - k;
        j = mm;
      }
      const double a = std::abs(v[q]);
      rowsum[i - 1] += a;
      if (!fx.unsym) rowsum[j - 1] += a;
      const i64 pi = place(i, hi_hint), pj = place(j, hj_hint);
      if (pi == 0 || pj == 0) {
        rep.row = fx.perm(i);
        rep.col = fx.perm(j);
        return kNotFound;
      }
      i64 rel = offset + (pi > pj ? pi - pj : pj - pi) + 1;
      if (fx.unsym && pi < pj) rel += T;
      m[q] = static_cast<i32>(rel);
      if (!fx.unsym) key[q] = static_cast<i32>(i);
    }
    offset += F - c;
  }
  return q == count ? kConverted : kLeftOver;
}

void entry_pointers(i64 n, const iword* m, i64 count, IVec xrelin) {
  i64 q = 0;
  for (i64 r = 1; r <= n; ++r) {
    while (q < count && m[q] < r) ++q;
    xrelin(r) = static_cast<i32>(q + 1);
  }
  xrelin(n + 1) = static_cast<i32>(count + 1);
}

i64 write_entry_records(i32 unit, const FrontIndex& fx, IVec xrelin, const iword* rel, const iword* key,
                        const double* v, bool keeprow, i64& words) {
  i64 records = 0;
  for (i64 s = 1; s <= fx.ns; ++s) {
    const i64 b = xrelin(fx.part(s)), e = xrelin(fx.part(s + 1)), ms = e - b;
    if (ms == 0) continue;
    i32 ier = 0;
    if (keeprow) {
      xislwr(unit, ms, key + (b - 1), ier);
      words += xisl2d(ms);
      ++records;
    }
    if (ier == 0) xislwr(unit, ms, rel + (b - 1), ier);
    if (ier == 0) xdslwr(unit, ms, v + (b - 1), ier);
    if (ier != 0) return -1;
    words += xisl2d(ms) + ms;
    records += 2;
  }
  return records;
}

bool read_entry_records(i32 unit, const FrontIndex& fx, IVec xrelin, i64 count, iword* rel, iword* key, double* v,
                        bool keeprow, i64& words) {
  for (i64 s = 1; s <= fx.ns; ++s) {
    const i64 b = xrelin(fx.part(s)), e = xrelin(fx.part(s + 1)), ms = e - b;
    if (ms == 0) continue;
    if (b < 1 || e - 1 > count) return false;
    i32 ier = 0;
    if (keeprow) {
      xislrd(unit, ms, key + (b - 1), ier);
      words += xisl2d(ms);
    }
    if (ier == 0) xislrd(unit, ms, rel + (b - 1), ier);
    if (ier == 0) xdslrd(unit, ms, v + (b - 1), ier);
    if (ier != 0) return false;
    words += xisl2d(ms) + ms;
  }
  return true;
}

}  // namespace zephsol::sparse
