// Node and component of a solution row.
#include "zephsol/solve/eqnode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/pcg.h"
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

// A free equation: its node, component and the node's basic coordinates.
struct FreeRow {
  std::array<double, 3> at{};
  word node = 0;
  word comp = 0;
};

// The free equations in L-set order; empty when USET, EQIX and NODC do not
// describe n of them.
std::vector<FreeRow> free_rows(word n, word USET, word EQIX, word NODC) {
  const word ng = header_of(USET)[0], nodes = header_of(EQIX)[0];
  const std::array<word, 6> nodc = header_of(NODC);
  const std::int64_t width = 5 + std::int64_t{nodc[3]}, words = nodc[0] * width;
  if (ng < 1 || nodes < 1 || nodc[0] < 1 || nodc[3] < 3 || words > INT32_MAX) return {};
  const std::vector<word> sets = read_words(USET, 1, ng);
  const std::vector<word> pairs = read_words(EQIX, 2, 2 * nodes);
  const std::vector<word> table = read_words(NODC, 1, static_cast<word>(words));
  std::vector<word> ids(static_cast<std::size_t>(nodc[0]));
  for (std::size_t k = 0; k < ids.size(); ++k) ids[k] = table[k * static_cast<std::size_t>(width)];
  std::vector<FreeRow> by_equation(static_cast<std::size_t>(ng) + 1);
  for (std::size_t p = 0; p + 1 < pairs.size(); p += 2) {
    const auto found = std::lower_bound(ids.begin(), ids.end(), pairs[p]);
    if (found == ids.end() || *found != pairs[p]) return {};
    const std::size_t entry = static_cast<std::size_t>(found - ids.begin()) * static_cast<std::size_t>(width);
    const word start = pairs[p + 1] >> 10, count = pairs[p + 1] & 255;
    for (word c = 0; c < count; ++c) {
      const word g = start + c;
      if (g < 1 || g > ng) return {};
      FreeRow& row = by_equation[static_cast<std::size_t>(g)];
      for (std::size_t i = 0; i < 3; ++i) row.at[i] = word_real(table[entry + 5 + i]);
      row.node = pairs[p];
      row.comp = c + 1;
    }
  }
  std::vector<FreeRow> rows;
  for (word g = 1; g <= ng; ++g)
    if ((sets[static_cast<std::size_t>(g - 1)] & kLSet) != 0) rows.push_back(by_equation[static_cast<std::size_t>(g)]);
  const bool named = std::all_of(rows.begin(), rows.end(), [](const FreeRow& r) { return r.node != 0; });
  if (!named || rows.size() != static_cast<std::size_t>(n)) return {};
  return rows;
}

constexpr std::array<const char*, 6> kMotionNames = {"MOVE ALONG X", "MOVE ALONG Y", "MOVE ALONG Z",
                                                     "TURN ABOUT X", "TURN ABOUT Y", "TURN ABOUT Z"};

// Component comp of rigid motion m (0-2 translations, 3-5 turns) at a node
// d from the centre: the turn's displacement w x d on components 1-3, its
// rotation w on 4-6, or on 3 in a plane model.
double motion_value(std::size_t m, bool plane, const std::array<double, 3>& d, word comp) {
  if (m < 3) return comp == static_cast<word>(m + 1) ? 1.0 : 0.0;
  std::array<double, 3> w{};
  w[m - 3] = 1.0;
  const std::array<double, 3> u = {w[1] * d[2] - w[2] * d[1], w[2] * d[0] - w[0] * d[2], w[0] * d[1] - w[1] * d[0]};
  if (plane) return comp <= 2 ? u[static_cast<std::size_t>(comp - 1)] : comp == 3 ? 1.0 : 0.0;
  if (comp <= 3) return u[static_cast<std::size_t>(comp - 1)];
  return comp <= 6 ? w[static_cast<std::size_t>(comp - 4)] : 0.0;
}

// A mechanism warning: its line naming the place, then how sure it is
// ("MAY BE" or "IS") that the model moves freely there.
void warn_mechanism(std::string named, const char* how_sure) {
  LINCNT(3);
  write_listing_and_log(
      {std::move(named),
       fline("(10X,'THE MODEL ',A,' FREE TO MOVE THERE (A MECHANISM); ITS DISPLACEMENTS ARE NOT MEANINGFUL.')",
             {how_sure})});
  sysw().IWRNFL = 1;
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
    warn_mechanism(fline("('0*** USER WARNING MESSAGE 3152, PIVOT OF ROW',I8,' KEPT LESS THAN 4 DIGITS OF ITS "
                         "DIAGONAL AT',I3,'-TH D.O.F. OF NODE',I8)",
                         {rows[k], d.comp, d.node}),
                   "MAY BE");
  }
}

void warn_free_motions(word n, std::span<const word> ja, std::span<const word> ia, std::span<const double> a,
                       word USET, word EQIX, word NODC) {
  unsigned& reported = solve_state().motions_reported;
  if (n < 1 || reported == (1u << kMotionNames.size()) - 1) return;
  const std::vector<FreeRow> rows = free_rows(n, USET, EQIX, NODC);
  if (rows.empty()) return;
  const bool plane = std::all_of(rows.begin(), rows.end(), [](const FreeRow& r) { return r.at[2] == 0.0 && r.comp <= 3; });
  std::array<double, 3> centre{};
  for (const FreeRow& r : rows)
    for (std::size_t i = 0; i < 3; ++i) centre[i] += r.at[i] / static_cast<double>(rows.size());
  const auto terms = a.first(static_cast<std::size_t>(ia[static_cast<std::size_t>(n)] - 1));
  double largest = 0.0;
  for (const double t : terms) largest = std::max(largest, std::abs(t));
  const auto length = [](const std::vector<double>& v) { return std::sqrt(std::inner_product(v.begin(), v.end(), v.begin(), 0.0)); };
  std::vector<double> r(rows.size()), kr(rows.size());
  for (std::size_t m = 0; m < kMotionNames.size(); ++m) {
    if ((reported & (1u << m)) != 0 || (plane && (m == 2 || m == 3 || m == 4))) continue;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::array<double, 3> d = {rows[i].at[0] - centre[0], rows[i].at[1] - centre[1], rows[i].at[2] - centre[2]};
      r[i] = motion_value(m, plane, d, rows[i].comp);
    }
    const double size = length(r);
    if (size == 0.0) continue;
    PCGMV(n, r, kr, ja, ia, a);
    constexpr double kDigitsKept = 1.0e-12;
    if (!(length(kr) <= kDigitsKept * largest * size)) continue;
    const auto most = std::max_element(r.begin(), r.end(), [](double x, double y) { return std::abs(x) < std::abs(y); });
    const FreeRow& at = rows[static_cast<std::size_t>(most - r.begin())];
    warn_mechanism(fline("('0*** USER WARNING MESSAGE 3153, THE MODEL CAN ',A,' WITHOUT STRAIN: NO SUPPORT HOLDS "
                         "THE',I3,'-TH D.O.F. OF NODE',I8)",
                         {kMotionNames[m], at.comp, at.node}),
                   "IS");
    reported |= 1u << m;
  }
}

}  // namespace zephsol
