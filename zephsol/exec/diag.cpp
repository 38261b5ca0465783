// Diagnostic switches and print-page control.
#include "zephsol/exec/diag.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <cstdlib>
#include <string_view>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kSwitches = 70;
constexpr word kPageAlwaysSwitch = 36;

struct SwitchSlot {
  word* w;
  int shift;
};

SwitchSlot switch_slot(word n) {
  const word q = (n + 9) / 10;
  return {&sysw().DIAGWD[q - 1], 3 * (10 * q - n)};
}

template <std::size_t N>
std::string_view text(const std::array<char, N>& a) {
  return {a.data(), N};
}

// The eject lines written before a header when PCGMXI > 0, and the header's
// carriage-control character: "1" alone, "1" and one empty line, or "1" and
// two empty lines; with PCGMXI <= 0 the header itself carries "1".
char write_eject() {
  const word form = sysw().PCGMXI;
  if (form <= 0) return '1';
  unit_write_line(kListing, "1");
  for (word i = 1; i < std::min<word>(form, 3); ++i) unit_write_line(kListing, "");
  return ' ';
}

// Accounts for n lines with page as the page starter; returns newpg.
word count_lines(word n, void (*page)()) {
  SYSWRD& s = sysw();
  if (n > 0) {
    s.NLINE = static_cast<word>(std::min<std::int64_t>(std::int64_t{s.NLINE} + n, INT32_MAX));
    if (s.NLINE <= s.LINPAG) return 0;
  }
  page();
  const std::int64_t lines = std::llabs(static_cast<std::int64_t>(n));
  s.NLINE += static_cast<word>(s.LINPAG > 0 ? lines % s.LINPAG : lines);
  return 1;
}

}  // namespace

word DIAGLV(word n) {
  if (n < 1 || n > kSwitches) return 0;
  const auto [w, shift] = switch_slot(n);
  return static_cast<word>((static_cast<std::uint32_t>(*w) >> shift) & 7u);
}

void DIAGLV(word n, word& level) { level = DIAGLV(n); }

void DIAGST(word n, word level) {
  if (n < 1 || n > kSwitches) return;
  const auto [w, shift] = switch_slot(n);
  const std::uint32_t mask = 7u << shift;
  const auto bits = (static_cast<std::uint32_t>(*w) & ~mask) | ((static_cast<std::uint32_t>(level) << shift) & mask);
  *w = static_cast<word>(bits);
}

void LINCNT(word n, word& newpg) { newpg = count_lines(n, PAGHDR); }
void LINCNT(word n) { count_lines(n, PAGHDR); }
void LINCT3(word n) { count_lines(n, PAGTTL); }

void PAGHDR() {
  SYSWRD& s = sysw();
  if (DIAGLV(kPageAlwaysSwitch) == 0 &&
      5 * static_cast<std::int64_t>(s.NLINE) <= 3 * static_cast<std::int64_t>(s.LINPAG)) {
    unit_write_line(kListing, "0");
    unit_write_line(kListing, "");
    s.NLINE += 3;
    return;
  }
  ++s.NPAGE;
  s.NLINE = 3;
  const char cc = write_eject();
  const ExecState& e = exec_state();
  const std::string rundat = word_name(s.RUNDAT[0]) + word_name(s.RUNDAT[1]);
  unit_write_line(kListing, fline("(A1,4X,A72,A8,'  STATIC   ',A8,4X,A8,6X,'PAGE',I6)",
                                  {std::string_view(&cc, 1), text(e.page.TITLE), text(e.sysid.product),
                                   text(e.sysid.version), rundat, s.NPAGE}));
  unit_write_line(kListing, fline("(5X,A72)", {text(e.page.SUBTITLE)}));
  unit_write_line(kListing, "");
}

void PAGTTL() {
  PAGHDR();
  for (const auto& h : exec_state().page.HEADLN) unit_write_line(kListing, fline("(A128)", {text(h)}));
  sysw().NLINE += 3;
}

}  // namespace zephsol
