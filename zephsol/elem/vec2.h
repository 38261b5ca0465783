// Two doubles handled together by one SSE2 instruction (x86-64 baseline).
// Each lane rounds exactly as the scalar operation would, so a loop written
// with V2 gives the same numbers as its scalar form, term for term.
#pragma once

#include <cstring>

namespace zephsol::v2 {

using V2 = double __attribute__((vector_size(16)));

inline V2 load(const double* p) {
  V2 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void store(double* p, V2 v) { std::memcpy(p, &v, sizeof v); }
inline V2 splat(double s) { return V2{s, s}; }

}  // namespace zephsol::v2
