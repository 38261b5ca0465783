// Node and component of a solution row.
#include "zephsol/solve/eqnode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

constexpr word kLSet = 256;

std::array<word, 6> header_of(word file) {
  std::array<word, 6> h{};
  if (file > 0) HDRGET(file, h);
  return h;
}

// Record `record` (from 1) of a data block, n words.
std::vector<word> read_words(word file, word record, word n) {
  std::vector<word> out(static_cast<std::size_t>(std::max<word>(n, 0)));
  DBOPEN(file, 1 + CORLFT(1) - sysw().NBUFSZ, kRead);
  for (word r = 1; r < record; ++r) DBREAD(file, nullptr, 0, 1);
  DBREAD(file, out.data(), n, 1);
  DBCLOS(file, kCloseRewind);
  return out;
}

}  // namespace

word lset_equation(word k, word USET) {
  const word ng = header_of(USET)[0];
  if (ng < 1 || k < 1) return 0;
  const std::vector<word> sets = read_words(USET, 1, ng);
  for (word j = 1, seen = 0; j <= ng; ++j)
    if ((sets[static_cast<std::size_t>(j - 1)] & kLSet) != 0 && ++seen == k) return j;
  return 0;
}

DofName equation_node(word g, word EQIX) {
  const word nodes = header_of(EQIX)[0];
  if (nodes < 1 || g < 1) return {};
  const std::vector<word> pairs = read_words(EQIX, 2, 2 * nodes);
  for (std::size_t p = 0; p + 1 < pairs.size(); p += 2) {
    const word start = pairs[p + 1] >> 10;
    const word count = pairs[p + 1] & 255;
    if (g >= start && g < start + count) return {pairs[p], g - start + 1};
  }
  return {};
}

word first_unstorable(std::span<const double> v) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  const auto bad = std::find_if(v.begin(), v.end(), [](double x) { return !(std::abs(x) <= kLargest); });
  return bad == v.end() ? 0 : static_cast<word>(bad - v.begin() + 1);
}

void report_unstorable(word code, std::string_view quantity, word g, word EQIX) {
  const DofName d = equation_node(g, EQIX);
  nonfinite_result(code, quantity, fline("('AT THE',I3,'-TH D.O.F. OF NODE',I8)", {d.comp, d.node}));
}

void print_failed_row_node(word k, word USET, word EQIX) {
  const word g = lset_equation(k, USET);
  if (g == 0) solve_fatal(711, name_word("USET"), 0);
  const DofName d = equation_node(g, EQIX);
  if (d.node == 0) solve_fatal(711, name_word("SIL "), 0);
  write_listing_and_log({fline(
      "('0*** USER INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO',I3,'-TH D.O.F. OF NODE',I8)",
      {d.comp, d.node})});
}

bool weak_pivot(double pivot, double diagonal) {
  constexpr double kDigitsKept = 1.0e-12;
  return pivot != 0.0 && diagonal != 0.0 && std::abs(pivot) <= kDigitsKept * std::abs(diagonal);
}

void start_pivot_watch(word n) {
  SolveState& st = solve_state();
  st.diagonal.assign(static_cast<std::size_t>(std::max<word>(n, 0)) + 1, 0.0);
  st.weak_rows.clear();
}

void watch_pivot(word row, double pivot) {
  SolveState& st = solve_state();
  const auto r = static_cast<std::size_t>(row);
  if (r < st.diagonal.size() && weak_pivot(pivot, st.diagonal[r])) st.weak_rows.push_back(row);
}

void warn_weak_pivots(word USET, word EQIX) {
  SolveState& st = solve_state();
  constexpr std::size_t kNamed = 10;
  std::vector<word> rows = std::move(st.weak_rows);
  st.weak_rows.clear();
  // A row is named once a run: every later solution of the model meets it again.
  std::erase_if(rows, [&](word r) {
    return std::find(st.weak_reported.begin(), st.weak_reported.end(), r) != st.weak_reported.end();
  });
  for (std::size_t k = 0; k < std::min(rows.size(), kNamed); ++k) {
    st.weak_reported.push_back(rows[k]);
    const DofName d = equation_node(lset_equation(rows[k], USET), EQIX);
    LINCNT(3);
    write_listing_and_log(
        {fline("('0*** USER WARNING MESSAGE 3152, PIVOT OF ROW',I8,' KEPT LESS THAN 4 DIGITS OF ITS DIAGONAL AT',"
               "I3,'-TH D.O.F. OF NODE',I8)",
               {rows[k], d.comp, d.node}),
         fline("(10X,'THE MODEL MAY BE FREE TO MOVE THERE (A MECHANISM); ITS DISPLACEMENTS ARE NOT MEANINGFUL.')")});
    sysw().IWRNFL = 1;
  }
}

}  // namespace zephsol
