// Row elimination kernel of the profile decomposition: SDCGET, SDCUPD, SDCPUT.
#include "zephsol/solve/sdcrow.h"

#include <algorithm>
#include <cstdlib>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/records.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

// The next column of the matrix: the first one read ahead, or a fresh read.
KllColumn take_column(word file, word col) {
  auto& ahead = solve_state().ahead;
  if (!ahead.empty()) {
    KllColumn c = std::move(ahead.front());
    ahead.pop_front();
    return c;
  }
  KllColumn c;
  read_kll_column(file, col, c);
  return c;
}

void fail_row(SDCBLK& b, RowFailure why) {
  print_row_abort(b.row, why);
  b.error = 1;
}

}  // namespace

void read_kll_column(word file, word col, KllColumn& out) {
  out.col = col;
  out.null = true;
  out.first = 0;
  out.rows.clear();
  out.vals.clear();
  SCB& s = shared_scb(1);
  s.file = file;
  s.type = 2;
  s.flag = 1;
  for (NXTSTR(s); s.flag == 0; NXTSTR(s)) {
    if (out.null) {
      out.null = false;
      out.first = s.row;
    }
    const word skip = std::max<word>(0, col - s.row);
    if (skip >= s.room) continue;
    const auto terms = core().doubles(2 * (s.slot + skip) - 1, s.room - skip);
    for (word k = 0; k < s.room - skip; ++k) {
      out.rows.push_back(s.row + skip + k);
      out.vals.push_back(terms[static_cast<std::size_t>(k)]);
    }
    auto& diagonal = solve_state().diagonal;
    if (skip < s.room && s.row + skip == col && static_cast<std::size_t>(col) < diagonal.size())
      diagonal[static_cast<std::size_t>(col)] = terms[0];
  }
}

void SDCGET(std::span<word> idx, std::span<double> a, std::span<const word> carried, const double* t1) {
  SDCBLK& b = sdcblk();
  const word i = b.row;
  const word n = b.carried;
  const word nc = b.limit;
  const KllColumn col = take_column(b.kll.file, i);
  b.active = 0;
  b.growth = 0;
  if (n > 0 && carried[0] < i) solve_fatal(924, i, carried[0]);
  // A pivot that an earlier row made active has pending updates in the
  // triangle's first row; any other pivot starts with its own diagonal.
  const bool carried_pivot = n > 0 && carried[0] == i;
  if (col.null && !carried_pivot) {
    if (sysw().IASPC != 1) fail_row(b, RowFailure::NullColumn);
    return;
  }
  if (!carried_pivot && (col.rows.empty() || col.rows.front() != i)) {
    fail_row(b, RowFailure::ZeroDiagonal);
    return;
  }

  word m = 0;
  word growth = 0;
  const auto put = [&](word r, double v) {
    if (m < nc) {
      idx[static_cast<std::size_t>(m)] = r;
      a[static_cast<std::size_t>(m)] = v;
    }
    ++m;
  };
  const std::size_t nk = col.rows.size();
  std::size_t c = 0;
  word k = 0;
  while (c < nk || k < n) {
    const word cr = c < nk ? col.rows[c] : 0;
    const word kr = k < n ? carried[static_cast<std::size_t>(k)] : 0;
    if (k == n || (c < nk && cr < kr)) {  // a row that joins here
      if (cr != i) growth = -1;
      put(-cr, col.vals[c]);
      ++c;
    } else if (c == nk || kr < cr) {      // a carried row absent from the column
      put(kr, carried_pivot ? -t1[k] : 0.0);
      ++k;
    } else {                              // a carried row of the column
      put(cr, carried_pivot ? col.vals[c] - t1[k] : col.vals[c]);
      ++c;
      ++k;
    }
  }

  if (a[0] == 0.0 && sysw().IASPC == 1 && m <= nc) {
    b.growth = growth;
    b.active = -m;
    return;
  }
  if (a[0] == 0.0 && sysw().IASPC != 1) {
    fail_row(b, RowFailure::ZeroDiagonal);
    return;
  }
  if (m > nc) {
    print_limit_exceeded(m, i, nc);
    b.error = 2;
    return;
  }
  b.growth = growth;
  b.active = m;
}

void SDCUPD(std::span<const word> idx, std::span<const double> a, const double* old_t, double* new_t) {
  const SDCBLK& b = sdcblk();
  const word m = std::abs(b.active);
  const word q = b.update;
  if (q <= 0 || m <= 1) return;
  const double r = b.active > 0 ? 1.0 / a[0] : 0.0;
  const bool grows = b.growth == -1;
  const double* old = old_t;
  double* out = new_t;
  for (word k = 1; k <= q; ++k) {
    const double s = r * a[static_cast<std::size_t>(k)];
    const word len = m - k;
    const word* ix = idx.data() + k;
    const double* av = a.data() + k;
    if (ix[0] < 0) {
      for (word j = 0; j < len; ++j) out[j] = s * av[j];
    } else if (grows) {
      // The old row holds the entries of the carried rows only, in order.
      for (word j = 0; j < len; ++j) out[j] = ix[j] < 0 ? s * av[j] : s * av[j] + *old++;
    } else if (s != 0.0) {
      for (word j = 0; j < len; ++j) out[j] = s * av[j] + out[j];
    }
    out += len;
  }
}

void SDCPUT(std::span<word> idx, std::span<double> a) {
  SDCBLK& b = sdcblk();
  const word m = b.active;
  const word mm = std::abs(m);
  if (mm >= 1) idx[0] = std::abs(idx[0]);
  if (b.growth == -1)
    for (word k = 1; k < mm; ++k) idx[static_cast<std::size_t>(k)] = std::abs(idx[static_cast<std::size_t>(k)]);
  if (b.lll.file == 0) return;
  const std::size_t len = m > 1 ? static_cast<std::size_t>(m - 1) : 0;
  if (m > 1) {
    const double r = 1.0 / a[0];
    for (std::size_t k = 1; k <= len; ++k) a[k] *= r;
  }
  put_factor_column(b.row, m > 0 ? a[0] : 0.0, idx.subspan(1, len), a.subspan(1, len));
}

void put_factor_column(word row, double pivot, std::span<const word> rows, std::span<const double> vals) {
  watch_pivot(row, pivot);
  SolveState& st = solve_state();
  MCB& l = st.sdcblk.lll;
  SCB& s = shared_scb(2);
  s.file = l.file;
  s.type = 2;
  s.flag = 1;
  l.cols += 1;
  PUTSTR(s);
  if (pivot != 0.0) {
    // Term t of the column: the pivot first, then the given rows.
    const std::size_t len = rows.size() + 1;
    const auto row_of = [&](std::size_t t) { return t == 0 ? row : rows[t - 1]; };
    const auto val_of = [&](std::size_t t) { return t == 0 ? pivot : vals[t - 1]; };
    std::size_t t = 0;
    for (;;) {
      while (t < len && val_of(t) == 0.0) ++t;
      if (t == len) break;
      s.row = row_of(t);
      const auto room = core().doubles(2 * s.slot - 1, s.room);
      word n = 0;
      while (n < s.room && t < len && val_of(t) != 0.0 && row_of(t) == s.row + n)
        room[static_cast<std::size_t>(n++)] = val_of(t++);
      s.given = n;
      if (t == len) break;
      PUTSTR(s);
    }
  }
  s.flag = -1;
  PUTSTR(s);
  l.maxcol = std::max(l.maxcol, s.total);
  st.lll_terms += s.total;
  l.density = static_cast<word>(std::min<std::int64_t>(st.lll_terms, INT32_MAX));
}

}  // namespace zephsol
