// What the two multifrontal drivers (L D L^T and L U) share: the
// directory of the update-matrix stack, the sizes of a supernode's front,
// the fill check, the first perturbed or negative pivot named by its
// equation, and the new global index list of the fronts' update rows.
#pragma once

#include <algorithm>
#include <utility>

#include "zephsol/sparse/factor.h"

namespace zephsol::sparse {

// The stack directory: four integers per entry.
struct Stack {
  IVec sn, pos, dir;
  Stack(const Work& w, const FactorArgs& a)
      : sn(w.ints(a.stksn, a.maxdepth)), pos(w.ints(a.stkpos, a.maxdepth)), dir(w.ints(a.stkdir, 4 * a.maxdepth)) {}
  i32& nrow(i64 e) const { return dir(4 * e - 3); }
  i32& old(i64 e) const { return dir(4 * e - 2); }
  i32& ndel(i64 e) const { return dir(4 * e - 1); }
  i32& addr(i64 e) const { return dir(4 * e); }
  // First word (stack area) of the index rows' triangle of entry e in work.
  i64 triangle(i64 e) const {
    const i64 nd = ndel(e), nr = nrow(e);
    return pos(e) + nd + tri(nd) + nr * nd;
  }
};

// A fresh start of a factorisation: no factor, panel or stack entry yet,
// the perturbation and negative-pivot counts cleared.
void start_factorisation(const Work& w, FactorArgs& a, const Stack& stk);

// The factorisation's arrays from a front's first pivot position on, as
// its elimination uses them.
struct FrontArrays {
  iword* fperm;   // factorisation permutation
  iword* pivblk;  // pivot block information
  double* diag;   // D
  IVec panpart;   // the panel partition (whole)
  double* pert;   // control words 177-181 and 189-193
  double* negrec;
  bool root;      // every front row is fully summed
  FrontArrays(const Work& w, const FactorArgs& a, const Front& f);
};

// The front of supernode s (its children the nassem(s) entries on top of a
// stack of depth entries), pivots from position np. False when the stack
// holds fewer entries than it has children.
bool front_sizes(const Work& w, const FactorArgs& a, const Stack& stk, i64 s, i64 depth, i64 np, Front& f);

// Adds the fill of the front's delayed columns to `fill`; true when it
// passes the fill limit (and 1000) before the last supernode.
bool fill_exceeded(const FactorArgs& a, const Stack& stk, const Front& f, i64 depth, double& fill);

// A root panel at front columns k..l (width wd) that found no pivot: its
// columns change places with the last columns not tried yet (from npiv -
// failed down), which are tried next. The interchanges so far are first
// applied to the stored panels (repair); then each pair of columns is
// exchanged in the front held (store.swap), in the factorisation
// permutation and in the rows of the stored panels (swap_rows). repair and
// swap_rows are the elimination's own, for its kind of stored panel.
// `failed` grows by the columns moved; 0, or the code of a failed transfer.
template <class Panels, class Store>
i32 retry_root_panel(const Work& w, FactorArgs& a, const Panels& stored, const iword* record, Store& store,
                     iword* fperm, i64 k, i64 wd, i64 l, i64 npiv, i64& repaired, i64& failed) {
  if (!repair(w, a, stored, record, repaired + 1, k - 1)) return -2;
  repaired = k - 1;
  const i64 moved = std::min(wd, npiv - failed - l);
  for (i64 t = 0; t < moved; ++t) {
    const i64 i = k + t, j = npiv - failed - t;
    if (const i32 rc = store.swap(k, i, j); rc != 0) return rc;
    std::swap(fperm[i - 1], fperm[j - 1]);
    if (!swap_rows(w, a, stored, i, j)) return -2;
  }
  failed += moved;
  --a.npanel;
  return 0;
}

// A first perturbed or negative pivot (records of control words 177 and
// 189): the elimination turns its panel position into a front position,
// the driver the front position into the equation in the caller's
// numbering, each once.
class FirstPivots {
 public:
  explicit FirstPivots(double* pert, double* negrec) : pert_(pert), neg_(negrec) {}
  // At the start of a front's elimination, and after each panel from k.
  void start_front();
  void panel(i64 k);
  // After the front: fperm its factorisation permutation from position np.
  void name(const Work& w, const FactorArgs& a, const IVec& fperm, i64 np);

 private:
  double* pert_;
  double* neg_;
  bool pert_fresh_ = false, neg_fresh_ = false, pert_seen_ = false, neg_seen_ = false;
  bool pert_named_ = false, neg_named_ = false;
};

// Sets supernode s's place in the new global index list (its delayed
// equations, then its index rows; the rows alone without pivoting),
// growing the list into the stack area's free words behind fend (the last
// stack-area word in use). False when it cannot grow enough.
bool extend_index_list(const Work& w, FactorArgs& a, const Front& f, i64 nelim, i64 fend, i64& glnext);

}  // namespace zephsol::sparse
