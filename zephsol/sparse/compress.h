// The random permutations behind the hash keys of the structure
// compression (xdslif).
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// n integers in 1 ... range from the Park-Miller generator: s := s * 16807
// mod (2^31 - 1), out = floor(s 2^-31 range) + 1; the seed becomes floor(s).
void xislrn(double& seed, i64 range, i64 n, iword* out);
// Two random permutations of 1 ... n (keys: n integers of scratch).
void xislrp(i64 n, iword* pi1, iword* pi2, iword* keys);

}  // namespace zephsol::sparse
