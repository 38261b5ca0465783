// Spill planning of the profile decomposition: SDCPRE and SDCSPL.
#include "zephsol/solve/sdcspl.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "zephsol/dbio/directory.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/sdcrow.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

// Values of the first g rows of a trapezoid of m - 1 rows.
std::int64_t trapezoid(std::int64_t g, std::int64_t m) { return g * (m - 1) - g * (g - 1) / 2; }

// The group's end: the g-th row after i that was active at row i, or 0.
word gth_active_row(std::span<const word> activation, word i, word from, word to, word g) {
  for (word r = from, seen = 0; r <= to; ++r) {
    const word a = activation[static_cast<std::size_t>(r - 1)];
    if (a != 0 && a <= i && ++seen == g) return r;
  }
  return 0;
}

word checked_group_rows(word m, std::int64_t c) {
  const word g = group_rows(m, c);
  if (g < 2) solve_fatal(927, m, message_word(c));
  return g;
}

void print_table(word n, word m, std::int64_t r, std::span<const word> counts, std::span<const word> plan,
                 word groups) {
  if (DIAGLV(13) == 1) return;
  std::int64_t sum = 0;
  for (word c : counts) sum += c;
  std::int64_t spilled = 0;
  for (word k = 0; k < groups; ++k)
    spilled += plan[static_cast<std::size_t>(2 * k + 1)] - plan[static_cast<std::size_t>(2 * k)];
  word name = 0;
  DBNAME(sdcblk().kll.file, name);
  const std::int64_t extra = std::int64_t{m} * (m - 1) / 2 * 2 - r;
  LINCNT(9);
  write_listing_and_log({
      fline("('0*** SDCOMP INFORMATION MESSAGE --- PARAMETERS FOR SYMMETRIC DECOMPOSITION OF DATA BLOCK  ',A4,"
            "'  FOLLOW ---')",
            {word_name(name)}),
      " ",
      fline("(18X,'MATRIX SIZE =',I10,' ROWS')", {n}),
      fline("(12X,'ADDITIONAL MEMORY =',I10,' WORDS')", {extra}),
      fline("(15X,'ACTIVE COLUMNS =',I10,' MAX')", {m}),
      fline("(15X,'ACTIVE COLUMNS =',F10.1,' AVG')", {double(sum) / n}),
      fline("(24X,'SPILL =',I10,' GROUPS')", {groups}),
      fline("(19X,'SPILL ROWS =',F10.1,' AVG')", {groups > 0 ? double(spilled) / groups : 0.0}),
      fline("(9X,'NZ NBR IN FACTOR =',I10,' TERMS')", {sum}),
  });
}

}  // namespace

word whole_triangle_limit(std::int64_t c) {
  auto g = static_cast<std::int64_t>(std::trunc((std::sqrt(8.0 * double(c) + 1.0) + 1.0) * 0.5));
  while (g > 0 && (g - 1) * g / 2 > c) --g;
  return static_cast<word>(g);
}

word group_rows(word m, std::int64_t c) {
  const double b = 2.0 * m - 1.0;
  const double disc = b * b - 8.0 * double(c);
  if (disc < 0.0) return 0;
  auto g = static_cast<std::int64_t>(std::trunc((b - std::sqrt(disc)) * 0.5));
  while (g > 0 && trapezoid(g, m) > c) --g;
  return static_cast<word>(g);
}

void SDCPRE(std::span<word> activation, std::span<word> counts, word& largest) {
  SDCBLK& b = sdcblk();
  const word n = b.kll.cols;
  std::fill(activation.begin(), activation.end(), 0);
  word running = 1;
  largest = 0;
  KllColumn col;
  for (word i = 1; i <= n; ++i) {
    read_kll_column(b.kll.file, i, col);
    const bool active = activation[static_cast<std::size_t>(i - 1)] != 0;
    RowFailure why = RowFailure::NullColumn;
    bool fails = false;
    if (col.null && !active) {
      if (sysw().IASPC == 1) {
        counts[static_cast<std::size_t>(i - 1)] = 0;
        continue;
      }
      fails = true;
    } else if (!active && (col.rows.empty() || col.rows.front() != i)) {
      why = RowFailure::ZeroDiagonal;
      fails = true;
    }
    if (fails) {
      print_count_abort(i, why);
      b.error = 1;
      b.row = i;
      return;
    }
    word fresh = 0;
    for (word r : col.rows) {
      word& a = activation[static_cast<std::size_t>(r - 1)];
      if (a == 0) {
        a = i;
        ++fresh;
      }
    }
    running += fresh - 1;
    counts[static_cast<std::size_t>(i - 1)] = running;
    largest = std::max(largest, running);
  }
}

void SDCSPL(std::span<const word> activation, std::span<const word> counts, std::span<word> plan, word& groups,
            std::int64_t r) {
  const word n = sdcblk().kll.cols;
  const std::int64_t c = r / 2;
  const word g = whole_triangle_limit(c);
  const auto count = [&](word row) { return counts[static_cast<std::size_t>(row - 1)]; };
  groups = 0;
  for (word i = 1; i < n;) {
    const word m = count(i);
    if (m <= g) {
      ++i;
      continue;
    }
    const word size = checked_group_rows(m, c);
    word end = gth_active_row(activation, i, i + 1, n, size);
    if (end == 0) solve_fatal(928, i, size);
    // A later row with more active rows keeps fewer of them in core.
    for (word j = i + 1; j < end; ++j) {
      if (count(j) <= m) continue;
      const word gj = checked_group_rows(count(j), c);
      const word r2 = gth_active_row(activation, j, j + 1, end - 1, gj);
      if (r2 != 0) end = r2;
    }
    if (2 * std::int64_t{groups} + 2 > static_cast<std::int64_t>(plan.size()))
      solve_fatal(3, message_word(2 * std::int64_t{groups} + 2), static_cast<word>(plan.size()));
    plan[static_cast<std::size_t>(2 * groups)] = i;
    plan[static_cast<std::size_t>(2 * groups + 1)] = end;
    ++groups;
    i = end;
  }
  const word largest = *std::max_element(counts.begin(), counts.end());
  print_table(n, largest, r, counts, plan, groups);
}

}  // namespace zephsol
