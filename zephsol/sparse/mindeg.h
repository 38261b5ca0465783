// Multiple-minimum-degree ordering of the compressed structure (xdslmd),
// with its step routines: initial degree lists (xdslmi), elimination of one
// node in the quotient graph (xdslme), degree update after a batch of
// eliminations (xdslmu), final numbering (xdslmn) and the parents of the
// supernodes (xdslmp). Besides the permutation it gives, in the same pass,
// the supernode partition, the column counts of the factor, the supernodal
// parents and the number of factor subscripts. The ordering phase orders by
// nested dissection; this ordering is the library's alternative.
//
// Quotient graph: a representative's adjacency list holds its uneliminated
// neighbours (variables), then, from its element-segment start, its
// eliminated neighbours (elements); -k continues the list at the storage of
// node k, 0 ends it. The degree of a node in the degree lists is 1 + its
// weighted external degree; a node's weight is the size of its compressed
// node, grown by the nodes merged into it.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// The arrays of the ordering, all 1-based integer views of n entries unless
// said otherwise.
struct MinDegree {
  i64 n = 0;
  // Input: the compressed structure (cptr: ncomp+1 pointers into members,
  // the members of each compressed node in increasing order; cmpmap by
  // equation) and the adjacency of the representatives in equation
  // numbering (xadj: n+1; adj: overwritten by the quotient graph).
  IVec cptr, members, cmpmap, xadj, adj;
  // Output: new-to-old and old-to-new permutations, the supernode partition
  // (n+1), the column counts by position, the parents (node parents while
  // ordering; supernodal parents in the first nsuper entries at the end).
  IVec perm, invp, part, cnt, parent;
  // Work: degree-list heads, forward and backward links, element links,
  // markers, element-segment starts, reachable-set sizes, weights by
  // compressed node; reach and segs gather a reachable set and the storage
  // it is written into.
  IVec dhead, fwd, bwd, llist, marker, estart, rch, weight, reach, segs;
};

// Orders the graph. delta: the multiple-elimination tolerance (negative:
// one node per degree update); maxint: the largest tag (markers restart
// when a tag reaches it; raised to n + delta + 2 when smaller).
void xdslmd(MinDegree& m, i32 delta, i32 maxint, i64& nsuper, i64& nofsub);

// Step routines.
void xdslmi(MinDegree& m, i32 maxint);
void xdslme(MinDegree& m, i32 mdnode, i32 tag, i32 maxint);
void xdslmu(MinDegree& m, i32 ehead, i32 delta, i32& mdeg, i32& tag, i32 maxint);
void xdslmn(MinDegree& m);
void xdslmp(MinDegree& m, i64 nsuper);

}  // namespace zephsol::sparse
