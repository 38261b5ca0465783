// The version-4 node-ordering call on the installed graph-partitioning
// library (version 5, 32-bit indices).
#include "zephsol/sparse/metis4.h"

#include <metis.h>

namespace zephsol::sparse {

static_assert(IDXTYPEWIDTH == 32, "the library's integers are 32-bit");
static_assert(sizeof(idx_t) == sizeof(i32));

OrderStatus metis4_node_wnd(i32 nvtxs, iword* xadj, iword* adjncy, iword* vwgt, i32 numflag, const i32* options,
                            iword* perm, iword* iperm) {
  idx_t opts[METIS_NOPTIONS];
  METIS_SetDefaultOptions(opts);
  opts[METIS_OPTION_NUMBERING] = numflag;
  (void)options;  // options(1) = 0: the defaults
  idx_t nv = nvtxs;
  const int rc = METIS_NodeND(&nv, reinterpret_cast<idx_t*>(xadj), reinterpret_cast<idx_t*>(adjncy),
                              reinterpret_cast<idx_t*>(vwgt), opts, reinterpret_cast<idx_t*>(perm),
                              reinterpret_cast<idx_t*>(iperm));
  if (rc == METIS_OK) return OrderStatus::Ok;
  return rc == METIS_ERROR_MEMORY ? OrderStatus::Memory : OrderStatus::Failed;
}

}  // namespace zephsol::sparse
