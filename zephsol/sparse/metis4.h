// The version-4 node-ordering call of the graph-partitioning library,
// provided on the installed version 5: nested dissection of a graph with
// vertex weights, 1-based arrays, both permutations returned.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

enum class OrderStatus { Ok, Memory, Failed };

// METIS_NodeWND(nvtxs, xadj, adjncy, vwgt, numflag, options, perm, iperm):
// numflag 1 (the only numbering the library uses) and options(1) = 0
// (default options). perm: new-to-old, iperm: old-to-new. The call may
// renumber the graph while it runs (the installed version gives it back as
// it was). The result is repeatable: the library's seed is fixed.
OrderStatus metis4_node_wnd(i32 nvtxs, iword* xadj, iword* adjncy, iword* vwgt, i32 numflag, const i32* options,
                            iword* perm, iword* iperm);

}  // namespace zephsol::sparse
