// Steps of the ordering phase that turn the expanded nested-dissection
// ordering into the supernodal structure: the permutation check and the
// grouping of compressed nodes, the elimination tree with the column counts
// of the factor and the fundamental supernodes, the supernode tree, the
// amalgamation of small supernodes, the new partition and its tree, the
// child order that keeps the update stack small, and the final post-order
// numbering.
//
// All arrays are integer views of the work array, indexed from 1. A
// position is the place of an equation in an ordering; a supernode is a run
// of consecutive positions. The trees are kept as parent, first son and
// brother arrays; roots are chained as brothers from `root`.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// The compressed structure of the compression phase: nodes with their
// members (ptr, members), cmpmap, and the adjacency of the representatives
// (xadj, adjncy) in original numbering.
struct Groups {
  IVec ptr, members, cmpmap, xadj, adjncy;
  i32 rep(i32 eq) const { return members(ptr(cmpmap(eq))); }
};

// Permutation check, groups placed together, elimination tree, column
// counts and fundamental supernodes. xo: the expanded old-to-new ordering
// (used as scratch afterwards). Out: invp (old-to-new), perm (new-to-old),
// nsuper, partition (nsuper+1), cnt by position, sparent by supernode.
// s1 ... s4: scratch of n. Result 0, -1 (a position out of 1 ... n) or -2
// (a position taken by no equation).
i32 xdslet(i64 n, IVec xo, const Groups& g, IVec invp, IVec perm, i64& nsuper, IVec part, IVec cnt, IVec sparent,
           IVec s1, IVec s2, IVec s3, IVec s4);

// Supernode tree: son lists (increasing), sizes, update and front orders,
// the node-level parent of every position, the identity node list.
void xdslst(i64 nsuper, i64 n, IVec sparent, IVec part, IVec cnt, IVec fson, IVec bro, IVec nparent, IVec nlist,
            IVec size, IVec upd, IVec front, i64& maxsons, IVec soncnt);

// Amalgamation with the limit on explicit zeros: merges sons into their
// parents by least added zeros (ties: the larger son, then the earlier).
// count: supernodes before and after. coal: the coalescing lists.
void xdslam(i64& count, IVec sparent, IVec fson, IVec bro, i64 root, IVec size, IVec upd, IVec front, i64 limit,
            IVec zer, IVec coal, IVec tail, IVec lastson);

// New partition in post-order of the amalgamated tree; newlist holds the
// old positions of each new supernode, merged ones below the absorbing one.
void xdslnp(i64 nsuper, IVec sparent, IVec fson, IVec bro, i64 root, IVec size, IVec coal, i64 count, IVec part,
            IVec nlist, IVec newpart, IVec newlist);

// Tree of the new partition from the node-level parents.
struct Forest {
  i64 root = 0, trees = 0, depth = 0, maxsons = 0;
};
Forest xdsltr(i64 n, IVec nparent, i64 count, IVec newpart, IVec newlist, IVec snode, IVec parent, IVec fson,
              IVec bro);

// Child order for the update stack: sons sorted by decreasing
// max(F(a), P(u)) - U(u); returns the real and integer stack storage.
// size: supernode sizes (partition differences), k: update orders.
struct StackPeaks {
  i64 real = 0, integer = 0;
};
StackPeaks xdslso(i64 count, IVec parent, IVec fson, IVec bro, i64 root, IVec part, IVec k, IVec keys, IVec sons,
                  DVec rpeak, IVec ipeak);

// Final post-order numbering: the partition (in place), the new-to-old
// permutation (perm in: by the positions of newlist; out: final), the
// number of assemblies, the index pointers; each group's members stand in
// increasing order. Returns the largest stack count and number of merges.
struct FinalCounts {
  i64 mstack = 0, merges = 0;
};
FinalCounts xdslfp(i64 n, i64 count, IVec part, IVec nlist, IVec perm, IVec parent, IVec fson, IVec bro, i64 root,
                   IVec nassem, IVec k, IVec ptr, IVec s1, IVec s2, const Groups& g);

}  // namespace zephsol::sparse
