// What the two multifrontal drivers share.
#include "zephsol/sparse/fronts.h"

#include <algorithm>
#include <cstring>

namespace zephsol::sparse {

void start_factorisation(const Work& w, FactorArgs& a, const Stack& stk) {
  a.fwords = 0.0;
  a.npanel = 0;
  w.ints(a.panpart, a.n + 1)(1) = 1;
  a.wafil1_next = 1;
  a.inertia[0] = a.inertia[1] = a.inertia[2] = 0;
  a.st = {};
  std::fill(stk.dir.data(), stk.dir.data() + stk.dir.size(), 0);
  a.stkaddr.assign(static_cast<std::size_t>(a.maxdepth + 1), 0);
  a.wafil2_next = 1;
  double* pert = &w.d(a.pert);
  double* negrec = &w.d(a.negrec);
  for (int k = 1; k <= 4; ++k) pert[k] = negrec[k] = 0.0;
}

FrontArrays::FrontArrays(const Work& w, const FactorArgs& a, const Front& f)
    : fperm(w.ints(a.fperm, a.n).data() + (f.np - 1)),
      pivblk(w.ints(a.pivblk, a.n).data() + (f.np - 1)),
      diag(w.dbl(a.diag, a.n).data() + (f.np - 1)),
      panpart(w.ints(a.panpart, a.n + 1)),
      pert(&w.d(a.pert)),
      negrec(&w.d(a.negrec)),
      root(f.npiv == f.nf) {}

bool front_sizes(const Work& w, const FactorArgs& a, const Stack& stk, i64 s, i64 depth, i64 np, Front& f) {
  const IVec part = w.ints(a.part, a.nsuper + 1), ptr = w.ints(a.ptr, a.nsuper + 1);
  f = Front{};
  f.s = s;
  f.first = part(s);
  f.ncol = part(s + 1) - part(s);
  f.nrow = ptr(s + 1) - ptr(s);
  f.nch = w.ints(a.nassem, a.nsuper)(s);
  if (f.nch > depth) return false;
  for (i64 c = 0; c < f.nch; ++c) f.nd += stk.ndel(depth - c);
  f.npiv = f.ncol + f.nd;
  f.nf = f.npiv + f.nrow;
  f.blk = std::min(a.panel, f.npiv);
  f.upd = std::min(a.updblk, f.ncol + f.nrow);
  f.np = np;
  return true;
}

bool fill_exceeded(const FactorArgs& a, const Stack& stk, const Front& f, i64 depth, double& fill) {
  if (a.fill_limit <= 0.0) return false;
  for (i64 c = 0; c < f.nch; ++c) {
    const i64 e = depth - c;
    fill += static_cast<double>(f.nf - (stk.nrow(e) + stk.ndel(e))) * static_cast<double>(stk.ndel(e));
  }
  return f.s < a.nsuper && fill > 1000.0 && fill > a.fill_limit;
}

void FirstPivots::start_front() {
  pert_fresh_ = pert_[1] == 0.0;
  neg_fresh_ = neg_[1] == 0.0;
  pert_seen_ = neg_seen_ = false;
}

void FirstPivots::panel(i64 k) {
  if (pert_fresh_ && !pert_seen_ && pert_[2] != 0.0) {
    pert_[2] += static_cast<double>(k - 1);
    pert_seen_ = true;
  }
  if (neg_fresh_ && !neg_seen_ && neg_[2] != 0.0) {
    neg_[2] += static_cast<double>(k - 1);
    neg_seen_ = true;
  }
}

void FirstPivots::name(const Work& w, const FactorArgs& a, const IVec& fperm, i64 np) {
  auto convert = [&](double* rec, bool was_zero, bool& done) {
    if (done || !was_zero || rec[2] == 0.0) return;
    const i64 v = static_cast<i64>(rec[2]);
    rec[2] = static_cast<double>(w.ints(a.perm, a.n)(fperm(np - 1 + v)));
    done = true;
  };
  convert(pert_, pert_fresh_, pert_named_);
  convert(neg_, neg_fresh_, neg_named_);
}

bool extend_index_list(const Work& w, FactorArgs& a, const Front& f, i64 nelim, i64 fend, i64& glnext) {
  const IVec ptr = w.ints(a.ptr, a.nsuper + 1), fperm = w.ints(a.fperm, a.n);
  const i64 old = ptr(f.s), ndel = f.npiv - nelim, np = f.np;
  ptr(f.s) = static_cast<i32>(glnext);
  if (a.pvttol == 0.0) {
    glnext += f.nrow;
    return true;
  }
  const i64 last = glnext + ndel + f.nrow - 1;
  if (last > a.gl) {
    // Grow by a fifth at least, as far as the free words allow.
    const i64 want = static_cast<i64>(std::max(static_cast<float>(last), 1.2f * static_cast<float>(a.gl)));
    const i64 room = a.slen - fend;
    const i64 grow = std::min(xisl2d(want) - xisl2d(a.gl), room);
    const i64 cap = a.gl + 2 * std::max<i64>(grow, 0);
    if (cap < last) return false;
    if (grow > 0) {
      if (fend > 0)
        std::memmove(w.dbl(a.sa + grow, fend).data(), w.dbl(a.sa, fend).data(), static_cast<std::size_t>(fend) * 8);
      a.sa += grow;
      a.slen -= grow;
    }
    a.gl = cap;
  }
  const IVec gnew = w.ints(a.varea, a.gl);
  const IVec gidx = w.ints(a.gidx, old + f.nrow - 1);
  for (i64 q = 0; q < ndel; ++q) gnew(glnext + q) = fperm(np + nelim + q);
  for (i64 q = 0; q < f.nrow; ++q) gnew(glnext + ndel + q) = gidx(old + q);
  glnext += ndel + f.nrow;
  return true;
}

}  // namespace zephsol::sparse
