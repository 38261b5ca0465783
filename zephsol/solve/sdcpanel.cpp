// Blocked elimination kernel of the profile decomposition. A column block of
// consecutive pivot rows is reduced as one dense panel over the rows active
// anywhere in the block (W: the reduced rows, L = W D^-1), and the pending
// triangle of the rows that stay active gets W L^T in one pass, with
// level-3 products. It leaves the carried rows, pending triangle, factor
// columns and pivot records that the row kernel leaves, to rounding; rows
// the row kernel must report (null columns, missing diagonals, zero pivots
// without "AUTOSPC", active counts above the limit) end a block before them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/sdcrow.h"
#include "zephsol/solve/sdcwork.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

constexpr word kInner = 16;      // most pivots reduced column by column
constexpr word kTrailing = 256;  // rows of the new triangle per product block
constexpr word kCarried = -1;    // row state: carried into the block

// C (m x n) := alpha A B^T + beta C, A m x k, B n x k, all column-major.
void gemm_nt(std::int64_t m, std::int64_t n, std::int64_t k, double alpha, const double* a, std::int64_t lda,
             const double* b, std::int64_t ldb, double beta, double* c, std::int64_t ldc) {
  const int mm = static_cast<int>(m), nn = static_cast<int>(n), kk = static_cast<int>(k);
  const int la = static_cast<int>(lda), lb = static_cast<int>(ldb), lc = static_cast<int>(ldc);
  dgemm_("N", "T", &mm, &nn, &kk, &alpha, a, &la, b, &lb, &beta, c, &lc, 1, 1);
}

// The block being eliminated: its first pivot, its pivots, and the rows
// active anywhere in it (ascending; the pivots first) with the pivot at
// which each joined (kCarried for the rows carried into the block).
struct Block {
  word first = 0;
  word pivots = 0;
  std::vector<word>* rows = nullptr;
  std::vector<word>* joined = nullptr;
  std::int64_t ld() const { return static_cast<std::int64_t>(rows->size()); }
  std::int64_t pos(word r) const {
    return std::lower_bound(rows->begin(), rows->end(), r) - rows->begin();
  }
};

// Reads ahead and scans the columns of rows i, i + 1, ...: the block stops
// before a row that the row kernel must take and after at most bmax rows.
// Marks the state of every row it makes active (and of the carried rows).
word scan_block(const SdcWork& wk, word bmax, std::span<const word> carried) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  SdcPanel& pn = st.panel;
  const Spill& sp = wk.spill;
  const word i = b.row;
  for (word c : carried) pn.state[static_cast<std::size_t>(c)] = kCarried;
  std::int64_t beyond = std::count_if(carried.begin(), carried.end(), [&](word r) { return r > sp.end; });
  pn.fresh.clear();
  word k = 0;
  for (; k < bmax; ++k) {
    const word p = i + k;
    while (st.ahead.size() <= static_cast<std::size_t>(k)) {
      st.ahead.emplace_back();
      read_kll_column(b.kll.file, i + static_cast<word>(st.ahead.size()) - 1, st.ahead.back());
    }
    const KllColumn& col = st.ahead[static_cast<std::size_t>(k)];
    const bool active = pn.state[static_cast<std::size_t>(p)] != 0;
    if (!active && (col.null || col.rows.empty() || col.rows.front() != p)) break;
    const std::size_t mark = pn.fresh.size();
    std::int64_t joining_beyond = 0;
    for (word r : col.rows) {
      word& s = pn.state[static_cast<std::size_t>(r)];
      if (s != 0) continue;
      s = p;
      pn.fresh.push_back(r);
      if (r > sp.end) ++joining_beyond;
    }
    const std::int64_t m = static_cast<std::int64_t>(carried.size() + pn.fresh.size()) - k;
    if (m > wk.nc || (sp.inside && beyond + joining_beyond == 0)) {
      for (std::size_t f = mark; f < pn.fresh.size(); ++f) pn.state[static_cast<std::size_t>(pn.fresh[f])] = 0;
      pn.fresh.resize(mark);
      break;
    }
    beyond += joining_beyond;
  }
  return k;
}

// The rows active in the block: the carried rows and those that joined in
// its first `pivots` columns, ascending.
void gather_rows(Block& blk, std::span<const word> carried) {
  SdcPanel& pn = solve_state().panel;
  const word last = blk.first + blk.pivots - 1;
  std::vector<word> fresh;
  for (word r : pn.fresh)
    if (pn.state[static_cast<std::size_t>(r)] <= last) fresh.push_back(r);
  std::sort(fresh.begin(), fresh.end());
  pn.rows.resize(carried.size() + fresh.size());
  std::merge(carried.begin(), carried.end(), fresh.begin(), fresh.end(), pn.rows.begin());
  pn.joined.resize(pn.rows.size());
  for (std::size_t u = 0; u < pn.rows.size(); ++u) pn.joined[u] = pn.state[static_cast<std::size_t>(pn.rows[u])];
  blk.rows = &pn.rows;
  blk.joined = &pn.joined;
}

void clear_state(std::span<const word> carried) {
  SdcPanel& pn = solve_state().panel;
  for (word c : carried) pn.state[static_cast<std::size_t>(c)] = 0;
  for (word r : pn.fresh) pn.state[static_cast<std::size_t>(r)] = 0;
}

// W (ld x pivots): column k = K(rows, p) - T(rows, p) for pivot p = first + k;
// the pending rows of the carried pivots are the first rows of the triangle.
// Returns the values of the triangle they take.
std::int64_t load_panel(const SdcWork& wk, const Block& blk, std::span<const word> carried) {
  SolveState& st = solve_state();
  SdcPanel& pn = st.panel;
  const std::int64_t ld = blk.ld();
  pn.w.assign(static_cast<std::size_t>(ld * blk.pivots), 0.0);
  pn.l.resize(pn.w.size());
  for (word k = 0; k < blk.pivots; ++k) {
    const KllColumn& col = st.ahead[static_cast<std::size_t>(k)];
    double* wk_col = pn.w.data() + k * ld;
    auto at = blk.rows->begin();
    for (std::size_t t = 0; t < col.rows.size(); ++t) {
      at = std::lower_bound(at, blk.rows->end(), col.rows[t]);
      wk_col[at - blk.rows->begin()] += col.vals[t];
    }
  }
  const auto n = static_cast<std::int64_t>(carried.size());
  std::vector<std::int64_t> pos(carried.size());
  for (std::size_t x = 0; x < carried.size(); ++x) pos[x] = blk.pos(carried[x]);
  const double* t = wk.at(wk.start);
  std::int64_t taken = 0;
  for (std::int64_t r = 0; r < n && carried[static_cast<std::size_t>(r)] < blk.first + blk.pivots; ++r) {
    double* wk_col = pn.w.data() + (carried[static_cast<std::size_t>(r)] - blk.first) * ld;
    for (std::int64_t x = r; x < n; ++x) wk_col[pos[static_cast<std::size_t>(x)]] -= t[x - r];
    t += n - r;
    taken += n - r;
  }
  return taken;
}

// L D L^T of panel columns k0..k1 - 1, whose earlier pivots are applied:
// each pivot's column of W is final when reached, L = W / d, and the later
// columns get -W L^T. Column by column up to kInner columns; above, the left
// half first, a product for the right half, then the right half. A zero
// pivot is let pass with "AUTOSPC" (its L stays zero); else its position is
// returned (k1 when there is none).
word factor_columns(SdcPanel& pn, std::int64_t ld, word k0, word k1, bool autospc) {
  double* w = pn.w.data();
  double* l = pn.l.data();
  if (k1 - k0 > kInner) {
    const word mid = k0 + (k1 - k0) / 2;
    const word zero = factor_columns(pn, ld, k0, mid, autospc);
    if (zero < mid) return zero;
    gemm_nt(ld - mid, k1 - mid, mid - k0, -1.0, w + k0 * ld + mid, ld, l + k0 * ld + mid, ld, 1.0,
            w + mid * ld + mid, ld);
    return factor_columns(pn, ld, mid, k1, autospc);
  }
  for (word k = k0; k < k1; ++k) {
    const double* __restrict wc = w + k * ld;
    double* __restrict lc = l + k * ld;
    const double d = wc[k];
    if (d == 0.0) {
      if (!autospc) return k;
      std::fill(lc + k, lc + ld, 0.0);
      continue;
    }
    const double r = 1.0 / d;
    for (std::int64_t j = k + 1; j < ld; ++j) lc[j] = wc[j] * r;
    for (word c = k + 1; c < k1; ++c) {
      const double s = lc[c];
      if (s == 0.0) continue;
      double* __restrict wt = w + c * ld;
      for (std::int64_t j = c; j < ld; ++j) wt[j] -= s * wc[j];
    }
  }
  return k1;
}

word factor_panel(const Block& blk) {
  return factor_columns(solve_state().panel, blk.ld(), 0, blk.pivots, sysw().IASPC == 1);
}

// The factor columns of the block's pivots, and inside a group their pivot
// records (the active rows beyond the group end, marked where they joined).
void put_pivots(const SdcWork& wk, const Block& blk) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  SdcPanel& pn = st.panel;
  const Spill& sp = wk.spill;
  const std::int64_t ld = blk.ld();
  const auto& rows = *blk.rows;
  const auto& joined = *blk.joined;
  const std::int64_t beyond = std::upper_bound(rows.begin(), rows.end(), sp.end) - rows.begin();
  for (word k = 0; k < blk.pivots; ++k) {
    const word p = blk.first + k;
    const double* wc = pn.w.data() + k * ld;
    const double d = wc[k];
    const std::size_t after = static_cast<std::size_t>(k) + 1;
    if (b.lll.file != 0)
      put_factor_column(p, d, std::span(rows).subspan(after),
                        std::span<const double>(pn.l.data() + k * ld + k + 1, rows.size() - after));
    if (!sp.inside) continue;
    word growth = 0;
    for (std::size_t u = after; u < rows.size(); ++u)
      if (joined[u] == p) growth = -1;
    std::vector<word>& rec = pn.record;
    rec.assign({0, growth, p});
    std::vector<double> vals{d};
    for (std::int64_t u = std::max<std::int64_t>(beyond, k + 1); u < ld; ++u) {
      const word j = joined[static_cast<std::size_t>(u)];
      if (j != kCarried && j > p) continue;
      rec.push_back(j == p ? -rows[static_cast<std::size_t>(u)] : rows[static_cast<std::size_t>(u)]);
      vals.push_back(d != 0.0 ? wc[u] : 0.0);
    }
    const auto s = static_cast<word>(rec.size() - 3);
    rec[0] = s + 1;
    DBWRIT(sp.write, rec.data(), 3 + s, 0);
    DBWRDP(sp.write, vals.data(), s + 1, 1);
  }
}

}  // namespace

void update_front(SdcWork& wk, std::span<const word> rows, std::span<const std::uint8_t> in_old, word q,
                  const double* w, const double* l, std::int64_t ld, word pivots, word code) {
  SdcPanel& pn = solve_state().panel;
  const auto nr = static_cast<std::int64_t>(rows.size());
  const std::int64_t size = std::int64_t{q} * nr - std::int64_t{q} * (q - 1) / 2;
  const std::int64_t fresh = wk.top + 1 - size;
  if (wk.start < fresh) solve_fatal(code, message_word(wk.start), message_word(fresh));
  if (fresh <= wk.values_end()) solve_fatal(code + 1, message_word(fresh), message_word(wk.values_end()));
  // Runs of rows that the old triangle holds, or not.
  pn.run_end.resize(rows.size());
  for (std::int64_t t = nr - 1; t >= 0; --t)
    pn.run_end[static_cast<std::size_t>(t)] =
        t + 1 < nr && in_old[static_cast<std::size_t>(t)] == in_old[static_cast<std::size_t>(t + 1)]
            ? pn.run_end[static_cast<std::size_t>(t + 1)]
            : static_cast<word>(t + 1);
  const double* old = wk.at(wk.start);
  double* out = wk.at(fresh);
  for (std::int64_t t0 = 0; t0 < q; t0 += kTrailing) {
    const std::int64_t cols = std::min<std::int64_t>(kTrailing, q - t0);
    const std::int64_t m = nr - t0;
    pn.tmp.resize(static_cast<std::size_t>(m * cols));
    gemm_nt(m, cols, pivots, 1.0, w + t0, ld, l + t0, ld, 0.0, pn.tmp.data(), m);
    for (std::int64_t t = t0; t < t0 + cols; ++t) {
      // Row t of the new triangle: its entries for rows[t..], the old ones
      // where the old row had them (the new triangle starts at or below the
      // old one, so the forward pass reads every old entry before it is
      // overwritten).
      const double* tc = pn.tmp.data() + (t - t0) * m;
      const bool had_row = in_old[static_cast<std::size_t>(t)] != 0;
      for (std::int64_t j = t; j < nr;) {
        const std::int64_t e = pn.run_end[static_cast<std::size_t>(j)];
        if (had_row && in_old[static_cast<std::size_t>(j)] != 0) {
#pragma GCC ivdep
          for (std::int64_t x = j; x < e; ++x) out[x - j] = old[x - j] + tc[x - t0];
          old += e - j;
        } else {
#pragma GCC ivdep
          for (std::int64_t x = j; x < e; ++x) out[x - j] = tc[x - t0];
        }
        out += e - j;
        j = e;
      }
    }
  }
  wk.start = fresh;
}

word eliminate_block(SdcWork& wk, word n) {
  SolveState& st = solve_state();
  SDCBLK& b = st.sdcblk;
  SdcPanel& pn = st.panel;
  const Spill& sp = wk.spill;
  const word i = b.row;
  word last = n - 1;
  if (sp.inside)
    last = std::min(last, sp.end);
  else if (sp.planned && sp.start != kNoGroup)
    last = std::min(last, sp.start - 1);
  word bmax = static_cast<word>(std::min<std::int64_t>(st.kernel.block, std::int64_t{last} - i + 1));
  const auto carried = wk.carried().first(static_cast<std::size_t>(b.carried));
  if (bmax < st.kernel.min_block || (!carried.empty() && carried[0] < i)) return 0;
  if (pn.state.size() < static_cast<std::size_t>(n) + 1) pn.state.assign(static_cast<std::size_t>(n) + 1, 0);
  sparse::blas_single_thread();

  Block blk;
  blk.first = i;
  for (;;) {
    blk.pivots = scan_block(wk, bmax, carried);
    if (blk.pivots < st.kernel.min_block) {
      clear_state(carried);
      return 0;
    }
    gather_rows(blk, carried);
    const std::int64_t taken = load_panel(wk, blk, carried);
    const word zero = factor_panel(blk);
    if (zero == blk.pivots) {
      wk.start += taken;
      break;
    }
    // A zero pivot that the row kernel reports: the block ends before it.
    clear_state(carried);
    bmax = zero;
  }

  put_pivots(wk, blk);
  const std::size_t b0 = static_cast<std::size_t>(blk.pivots);
  const auto stay = std::span<const word>(pn.rows).subspan(b0);
  pn.in_old.resize(stay.size());
  for (std::size_t t = 0; t < stay.size(); ++t) pn.in_old[t] = pn.joined[b0 + t] == kCarried ? 1 : 0;
  const word q = sp.inside ? static_cast<word>(std::upper_bound(stay.begin(), stay.end(), sp.end) - stay.begin())
                           : static_cast<word>(stay.size());
  update_front(wk, stay, pn.in_old, q, pn.w.data() + b0, pn.l.data() + b0, blk.ld(), blk.pivots,
               sp.inside ? 916 : 911);

  clear_state(carried);
  const auto next = wk.carried();
  std::copy(stay.begin(), stay.end(), next.begin());
  b.carried = static_cast<word>(stay.size());
  b.row = i + blk.pivots - 1;
  b.update = q;
  st.ahead.erase(st.ahead.begin(), st.ahead.begin() + blk.pivots);
  return blk.pivots;
}

}  // namespace zephsol
