#include "zephsol/matl/mattab.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/mkinds.h"

namespace zephsol {

namespace {

constexpr double kPi = 3.14159265359;
constexpr double kTabTol = 1.0E-14;
// Shift-JIS (CP932) bytes of the Greek letter phi.
constexpr const char* kPhiSjis = "\x83\xD3";

struct Change {
  word mid;
  word order;
};

// The first entry of a change list with the given key.
std::optional<Change> find_change(const MTCLST& list, word key) {
  const int n = std::clamp<int>(list.count, 0, static_cast<int>(list.entry.size()));
  for (int i = 0; i < n; ++i) {
    const MTCENT& e = list.entry[static_cast<std::size_t>(i)];
    if (e.key == key) return Change{e.mid, e.order};
  }
  return std::nullopt;
}

// The material used for an element: the later of the group and ID changes,
// the ID list on equal orders, the element's own ID when neither applies.
word changed_material(word id, word group) {
  const MatlState& st = matl_state();
  Change g{id, -1};
  if (group >= 1 && st.MTCGRP.count > 0)
    if (auto c = find_change(st.MTCGRP, group)) g = *c;
  Change m{id, -1};
  if (auto c = find_change(st.MTCMID, id)) m = *c;
  return g.order > m.order ? g.mid : m.mid;
}

// Position (0-based, at its L word) of the first entry with material ID id.
// A length word shorter than the entry header, or running past the table,
// ends the walk.
std::optional<std::size_t> find_entry(word id) {
  const std::vector<word>& t = matl_state().MATTAB;
  std::size_t p = 0;
  while (p < t.size()) {
    const word len = t[p];
    if (len < mw::MASK || p + static_cast<std::size_t>(len) >= t.size()) return std::nullopt;
    if (t[p + 1] == id) return p;
    p += static_cast<std::size_t>(len) + 1;
  }
  return std::nullopt;
}

// The element and the material it names, on the listing and the error log.
[[noreturn]] void undefined_material(word id) {
  const std::string fmt = "('0*** USER FATAL MESSAGE 2332, ELEMENT',I8,' REFERES UNDEFINED MATERIAL ID',I8)";
  const word iexn = matl_state().elem.IEXN ? *matl_state().elem.IEXN : 0;
  fwrite_unit(kListing, fmt, {iexn, id});
  sysw().NLINE += 2;
  fwrite_unit(kErrorLog, fmt, {iexn, id});
  matl_fatal(-780, 0, 0);
}

// Last REAL word copied into MATCOM: w27 for the 27-word entries.
int last_copied_word(word kind, word ortho) {
  const bool short_entry = material_kind(kind).short_entry || (kind == mkind::ELASTIC && ortho == 1);
  return short_entry ? 27 : 29;
}

void copy_entry(std::size_t p) {
  MatlState& st = matl_state();
  MATCOM& m = st.matcom;
  const word* e = st.MATTAB.data() + p;  // e[k] = w_k, e[0] = L
  const int len = e[0];
  m.MTBCUR = m.MTBFST + static_cast<word>(p);
  m.MATID = e[mw::ID];
  m.MATKND = e[mw::KIND];
  m.IYIELD = e[mw::IYIELD];
  m.IORTHO = e[mw::ORTHO];
  m.NF5 = e[mw::NF5];
  m.MASK = e[mw::MASK];
  const int last = std::min(last_copied_word(m.MATKND, m.IORTHO), len);
  for (int k = mw::E; k <= last; ++k) m.w(k) = word_real(e[k]);
}

// REAL word k of the current entry; 0 beyond a short entry.
double entry_real(int k) {
  const std::span<const word> e = mattab_entry();
  return static_cast<std::size_t>(k) < e.size() ? word_real(e[static_cast<std::size_t>(k)]) : 0.0;
}

// F = SSRSTA + (NSTEPC - 1) SSRINC in double precision, kept as REAL.
float strength_reduction_factor() {
  const double f = entry_real(mw::SSRSTA) + static_cast<double>(stpctr().NSTEPC - 1) * entry_real(mw::SSRINC);
  return static_cast<float>(f);
}

void print_safety_factor(float f) {
  const MATCOM& m = matcom();
  const double c = static_cast<double>(m.w(mw::C)) / static_cast<double>(f);
  const double t = std::tan(static_cast<double>(m.w(mw::PHAI)) * kPi / 180.0) / static_cast<double>(f);
  LINCNT(2);
  fwrite_unit(kListing, "(' *** Total Facotr of Safety : ',F7.4,'  ( C:',F7.2,', ',' tan',A,':',F6.2,' )'/)",
              {f, c, kPhiSjis, t});
}

double pair_x(std::span<const word> T, int j) { return word_real(T[static_cast<std::size_t>(2 * j - 2)]); }
double pair_y(std::span<const word> T, int j) { return word_real(T[static_cast<std::size_t>(2 * j - 1)]); }

}  // namespace

void MATLOD(word MATD, word Z, word& FREE, word BUF) {
  const std::span<word> head = core().words(Z, 6);
  HDRGET(MATD, std::span<word, 6>(head.data(), 6));
  const word len = head[1];
  FREE -= len;
  if (FREE < 0) matl_fatal(-4, name_word("MATD"), FREE);
  // Z(FREE + 1) .. Z(FREE + L), the top of the free area.
  const word first = Z + FREE;
  DBOPEN(MATD, BUF, kRead);
  DBREAD(MATD, core().words(first, len).data(), len, 1);
  DBCLOS(MATD, kCloseRewind);
  mattab_load(core().words(first, len), first);
}

void mattab_load(std::span<const word> record, word first) {
  MatlState& st = matl_state();
  st.MATTAB.assign(record.begin(), record.end());
  st.matcom.MTBFST = first;
  st.matcom.MTBEND = first + static_cast<word>(record.size());
}

void MATSEL(word ID, word GROUP, word FLAG) {
  const word mid = changed_material(ID, GROUP);
  const auto p = find_entry(mid);
  if (!p) undefined_material(mid);
  copy_entry(*p);
  MATCOM& m = matcom();
  if (m.IYIELD != 4) return;
  m.w(mw::SSRSTA) = strength_reduction_factor();
  if (FLAG == 2) print_safety_factor(m.w(mw::SSRSTA));
}

std::span<const word> mattab_entry() {
  const MatlState& st = matl_state();
  const auto p = static_cast<std::size_t>(st.matcom.MTBCUR - st.matcom.MTBFST);
  assert(p < st.MATTAB.size());
  const auto len = static_cast<std::size_t>(st.MATTAB[p]);
  return std::span<const word>(st.MATTAB).subspan(p, len + 1);
}

std::span<const word> hardening_pairs() {
  const std::span<const word> e = mattab_entry();
  const auto first = static_cast<std::size_t>(mw::TABLE);
  const auto want = static_cast<std::size_t>(std::max<word>(matcom().NF5, 0)) * 2;
  if (first >= e.size()) return {};
  return e.subspan(first, std::min(want, e.size() - first));
}

void HRDSLP(word ISW, double EPS, double& H) {
  if (ISW != 1) matl_fatal(-4353, ISW, 0);
  const MATCOM& m = matcom();
  if (m.NF5 == 0) {
    H = m.w(mw::HDASH);
    return;
  }
  TABVAL(hardening_pairs(), m.NF5, EPS, H);
}

void HRDINT(word ISW, double EPS, double& R) {
  if (ISW != 1) matl_fatal(-4353, ISW, 0);
  const MATCOM& m = matcom();
  if (m.NF5 == 0) {
    R = static_cast<double>(m.w(mw::HDASH)) * EPS;
    return;
  }
  TABINT(hardening_pairs(), m.NF5, 0.0, EPS, R);
}

void TABVAL(std::span<const word> T, word N, double X, double& Y) {
  if (N < 2 || T.size() < static_cast<std::size_t>(2 * N)) matl_fatal(-4085, N, 0);
  if (X < pair_x(T, 2)) {
    Y = pair_y(T, 1);
    return;
  }
  if (X >= pair_x(T, N) - kTabTol) {
    Y = pair_y(T, N);
    return;
  }
  for (int j = 2; j < N; ++j) {
    const double xj = pair_x(T, j);
    if (std::fabs(X - xj) <= kTabTol || (xj < X && X < pair_x(T, j + 1))) {
      Y = pair_y(T, j);
      return;
    }
  }
  matl_fatal(-4084, real_word(static_cast<float>(X)), 0);
}

void TABINT(std::span<const word> T, word N, double X1, double X2, double& R) {
  if (N < 1 || T.size() < static_cast<std::size_t>(2 * N)) matl_fatal(-4085, N, 0);
  // b, c: the first k with X <= xk, N + 1 when none.
  auto first_at_or_above = [&](double x) {
    int k = 1;
    while (k <= N && !(x <= pair_x(T, k))) ++k;
    return k;
  };
  const int b = first_at_or_above(X1);
  const int c = first_at_or_above(X2);
  const double yb = pair_y(T, std::max(b - 1, 1));
  if (b == c) {
    R = (X2 - X1) * yb;
    return;
  }
  double r = (pair_x(T, b) - X1) * yb;
  for (int k = b; k <= c - 2; ++k) r += (pair_x(T, k + 1) - pair_x(T, k)) * pair_y(T, k);
  R = r + (X2 - pair_x(T, c - 1)) * pair_y(T, c - 1);
}

}  // namespace zephsol
