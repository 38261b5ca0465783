// The factor's panels read from the factor file for the solution and the
// condition estimate: as many consecutive panels as the buffer holds in
// one read, forwards from the file's start or backwards from its end, so
// each panel is read once per pass.
#include <vector>

#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {

bool FilePanels::walk(bool forward, const std::function<void(const PanelRef&)>& fn) {
  // The panels in factor order with their first words on the file.
  FactorView geo = fv_;
  geo.factor = nullptr;
  std::vector<PanelRef> refs;
  std::vector<i64> at;  // 0-based first word of each panel
  i64 q = 0;
  for_each_panel(geo, true, [&](const PanelRef& p) {
    refs.push_back(p);
    at.push_back(q);
    q += panel_words(p.c, p.h);
  });
  at.push_back(q);
  const i64 np = static_cast<i64>(refs.size());
  auto size = [&](i64 k) { return at[static_cast<std::size_t>(k + 1)] - at[static_cast<std::size_t>(k)]; };
  auto run = [&](i64 lo, i64 hi) {  // panels lo..hi (0-based) read, the words of panel lo first
    const i64 words = at[static_cast<std::size_t>(hi + 1)] - at[static_cast<std::size_t>(lo)];
    if (!file_read(unit_, at[static_cast<std::size_t>(lo)] + 1, words, buf_)) return false;
    words_ += words;
    return true;
  };
  auto visit = [&](i64 k, i64 lo) {
    PanelRef r = refs[static_cast<std::size_t>(k)];
    r.blk = buf_ + (at[static_cast<std::size_t>(k)] - at[static_cast<std::size_t>(lo)]);
    fn(r);
  };
  if (forward) {
    for (i64 i = 0; i < np;) {
      i64 j = i, sum = 0;
      while (j < np && sum + size(j) <= buflen_) sum += size(j++);
      if (j == i || !run(i, j - 1)) return false;
      for (i64 k = i; k < j; ++k) visit(k, i);
      i = j;
    }
  } else {
    for (i64 i = np - 1; i >= 0;) {
      i64 j = i, sum = 0;
      while (j >= 0 && sum + size(j) <= buflen_) sum += size(j--);
      if (j == i || !run(j + 1, i)) return false;
      for (i64 k = i; k > j; --k) visit(k, j + 1);
      i = j;
    }
  }
  return true;
}

i32 xdslsx(const FactorView& fv, i32 lunit3, i64 nrhs, i64 ld, double* rhs, double* t, double* buf, i64 len,
           i64& words) {
  FilePanels src(fv, lunit3, buf, len, words);
  return solve_passes(src, fv, nrhs, ld, rhs, t) ? 0 : -1;
}

i32 xdslcx(const FactorView& fv, i32 lunit3, double anorm, double* z, double* t, double* buf, i64 len, i64& words,
           double& cond) {
  FilePanels src(fv, lunit3, buf, len, words);
  return condition_estimate(src, fv, anorm, z, t, cond) ? 0 : -1;
}

}  // namespace zephsol::sparse
