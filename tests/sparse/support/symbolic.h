// Test support: the exact symbolic factorisation of a structure under a
// given ordering (elimination tree, column counts of L below the diagonal),
// and the same from CHOLMOD's analysis with the ordering given.
#pragma once

#include <cholmod.h>

#include <vector>

#include "support/structure.h"

namespace zephsol::sparse {

struct Symbolic {
  std::vector<i32> parent;  // by new column, 1-based, 0 for a root ([0] unused)
  std::vector<i64> count;   // non-zeros below the diagonal by new column
  i64 nnzl = 0;
  std::vector<std::vector<i32>> rows;  // rows below the diagonal by new column, ascending (when asked)
};

// perm: new-to-old, 1-based (perm[k-1] is the equation at position k).
inline Symbolic exact_symbolic(i32 n, const Pairs& p, const std::vector<i32>& perm, bool with_rows = false) {
  std::vector<i32> invp(n + 1);
  for (i32 k = 1; k <= n; ++k) invp[perm[k - 1]] = k;
  std::vector<std::vector<i32>> lower(n + 1);  // lower[i]: columns j < i with a(i,j) != 0
  for (auto [a, b] : p) {
    const i32 x = invp[a], y = invp[b];
    lower[std::max(x, y)].push_back(std::min(x, y));
  }
  Symbolic s;
  s.parent.assign(n + 1, 0);
  s.count.assign(n + 1, 0);
  if (with_rows) s.rows.assign(n + 1, {});
  std::vector<i32> mark(n + 1, 0);
  for (i32 i = 1; i <= n; ++i) {
    mark[i] = i;
    for (i32 j : lower[i])
      for (i32 k = j; mark[k] != i; k = s.parent[k]) {
        if (s.parent[k] == 0) s.parent[k] = i;
        ++s.count[k];
        if (with_rows) s.rows[k].push_back(i);
        mark[k] = i;
      }
  }
  for (i32 j = 1; j <= n; ++j) s.nnzl += s.count[j];
  return s;
}

// CHOLMOD's column counts (diagonal excluded) by new column for the
// ordering perm (new-to-old, 1-based).
inline std::vector<i64> cholmod_counts(i32 n, const Pairs& p, const std::vector<i32>& perm) {
  cholmod_common cm;
  cholmod_start(&cm);
  cm.nmethods = 1;
  cm.method[0].ordering = CHOLMOD_GIVEN;
  cm.postorder = 0;
  cm.supernodal = CHOLMOD_SIMPLICIAL;
  cholmod_sparse* A = cholmod_allocate_sparse(n, n, p.size() + n, 1, 1, 1, CHOLMOD_PATTERN, &cm);
  auto* ap = static_cast<int*>(A->p);
  auto* ai = static_cast<int*>(A->i);
  std::vector<std::vector<int>> cols(n);
  for (i32 j = 0; j < n; ++j) cols[j].push_back(j);
  for (auto [a, b] : p) cols[b - 1].push_back(a - 1);  // upper triangle: row a < column b
  int at = 0;
  for (i32 j = 0; j < n; ++j) {
    ap[j] = at;
    std::sort(cols[j].begin(), cols[j].end());
    for (int r : cols[j]) ai[at++] = r;
  }
  ap[n] = at;
  std::vector<int> cperm(n);
  for (i32 k = 0; k < n; ++k) cperm[k] = perm[k] - 1;
  cholmod_factor* L = cholmod_analyze_p(A, cperm.data(), nullptr, 0, &cm);
  std::vector<i64> out(n + 1, 0);
  const auto* cc = static_cast<const int*>(L->ColCount);
  for (i32 j = 0; j < n; ++j) out[j + 1] = cc[j] - 1;
  cholmod_free_factor(&L, &cm);
  cholmod_free_sparse(&A, &cm);
  cholmod_finish(&cm);
  return out;
}

}  // namespace zephsol::sparse
