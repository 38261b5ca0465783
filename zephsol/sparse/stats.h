// Statistics of the final supernode partition and the work-space figures
// of the later phases (ordering phase).
#pragma once

#include "zephsol/sparse/entry.h"
#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

struct OrderStats {
  i64 nnz = 0;        // nzla: off-diagonal entries of the structure
  double nzlf = 0;    // non-zeros of L below the diagonal
  i64 nsuper = 0;
  i64 nsnind = 0;     // total length of the index sets
  i64 mxnind = 0;     // largest front order
  i64 snmson = 0;     // largest number of sons
  i64 mstack = 0;     // largest number of update matrices on the stack
  i64 stkstr = 0;     // real stack storage
  i64 mxtri = 0;      // largest diagonal-block triangle
  i64 mfront = 0;     // largest front, lower triangle with diagonal
  i64 mxtotf = 0;     // largest trapezoid
  i64 maxzer = 0;
  double pvttol = 0;
  i64 ncomp = 0, nzcomp = 0;
  i64 fpnlsz = 0;     // panel width after the phase
  i64 fupdsz = 0;     // update block width
  // Printed only.
  i64 maxsize = 0;    // largest supernode
  i64 maxupd = 0;     // largest stacked update K(K+1)/2 + 3
  i64 maxrect = 0;    // largest rectangle U K
  double ops[8] = {};  // operation counts
};

// Per supernode of the partition (U = size, K = k(s)): front sizes
// V(V+1)/2, update sizes K(K+1)/2 + 3 and the statistics and operation
// counts (first count from nnz, fifth from n).
void xdslcs(i64 n, i64 nsuper, IVec part, IVec k, IVec front, IVec update, OrderStats& st);

// The three work-space figures: symbolic, in-core and out-of-core
// numerical factorisation (0 when in core is not possible); the summary
// table and the figures are printed at message level >= 2.
struct Figures {
  i64 symbolic = 0, incore = 0, outcore = 0;
};
Figures xdslws(const Call& c, bool unsym, i64 n, i64 lunit1, i64 lunit2, const OrderStats& st);

// Prints of the ordering phase at message level >= 2 after xdslcs.
void print_order_stats(const Call& c, const OrderStats& st);

}  // namespace zephsol::sparse
