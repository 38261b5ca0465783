// The element stiffness dispatcher KELEM, the input flag words the element
// routines read, and the binding of the material routines' views to the
// current element and point.
#include <algorithm>
#include <array>
#include <cstddef>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/elem_util.h"
#include "zephsol/exec/records.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/typerow.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {
namespace {

// The stiffness routine of the current element's type; a refused code, or
// one outside 1-29, ends the run with -5000.
StiffnessRoutine stiffness_of(const ESTCOM& e) {
  const ElementType* row = element_type(e.IECOD);
  if (row == nullptr || row->stiffness == nullptr) record_fatal(-5000, e.IECOD, e.IEXN);
  return row->stiffness;
}

}  // namespace


void bind_material_views() {
  ESTCOM& e = estcom();
  EIVWK& w = eivwka();
  MatlState& m = matl_state();
  m.elem = MatElem{&e.IEXN, &e.IECOD, &e.MATID, &e.ICLASS, &e.NS, e.PROP.data()};
  m.point = MatPoint{w.sw.data(),           w.scratch.data(),       w.vec[0].data(),
                     w.vec[2].data(),       w.blk.b1.v.data(),      &w.blk.b2.epeq,
                     w.blk.b2.iv.data(),    &w.blk.b9,              w.blk.b11.iv.data()};
}

void KELEM(std::span<double> KE, std::span<const word> TREC, std::span<double> V1, word MODE) {
  bind_material_views();
  const ESTCOM& e = estcom();
  const int n = etycom().NDOF;
  const auto nk = static_cast<std::size_t>(n * (n + 1) / 2);
  std::fill(KE.begin(), KE.begin() + static_cast<std::ptrdiff_t>(nk), 0.0);
  const word ltherm = MODE == 1 && !TREC.empty() && TREC[0] >= 2 ? -1 : 0;
  std::array<double, ESTCOM::kMaxDof> th{};
  // Node temperatures from word 3 of the record; missing values are 0.
  std::array<float, ESTCOM::kMaxNode> temp{};
  if (ltherm != 0)
    for (std::size_t k = 0; k < temp.size() && k + 2 < TREC.size(); ++k) temp[k] = word_real(TREC[k + 2]);
  stiffness_of(e)(ltherm, temp, KE.first(nk), std::span<double>(th).first(static_cast<std::size_t>(n)));
  if (ltherm != 0) eu::scatter_add(std::span<const double>(th).first(static_cast<std::size_t>(n)), 1.0, V1);
}

}  // namespace zephsol
