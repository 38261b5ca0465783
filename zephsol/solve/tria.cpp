// Decomposition module TRIA.
#include "zephsol/solve/tria.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/input/inmsg.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

constexpr word kScratch1 = 301;
constexpr word kScratch2 = 302;
constexpr word kLSet = 256;

std::array<word, 6> header_of(word file) {
  std::array<word, 6> h{};
  if (file > 0) HDRGET(file, h);
  return h;
}

MCB control_block(word file) {
  MCB m{};
  m.file = file;
  const auto h = header_of(file);
  std::copy(h.begin(), h.end(), m.header().begin());
  return m;
}

// Message 3151: the node and component of the failed row k, the k-th DOF of
// the L set. Skipped when USET or EQIX do not fit below one buffer.
void name_failed_row(word k, word USET, word EQIX) {
  const word z = CORLFT(1);
  const std::int64_t room = std::int64_t{z} - sysw().NBUFSZ;
  const word buffer = static_cast<word>(1 + room);
  const auto eqix = header_of(EQIX);
  const word nodes = eqix[0];
  const word ng = header_of(USET)[0];
  const std::int64_t need = std::max({2 * std::int64_t{nodes}, std::int64_t{eqix[1]}, std::int64_t{ng}}) + 1;
  if (nodes < 0 || ng < 0 || need > room) return;

  const auto area = core().words(1, need);
  DBOPEN(USET, buffer, kRead);
  DBREAD(USET, area.data(), ng, 1);
  DBCLOS(USET, kCloseRewind);
  word g = 0;
  for (word j = 1, seen = 0; j <= ng && g == 0; ++j)
    if ((area[static_cast<std::size_t>(j - 1)] & kLSet) != 0 && ++seen == k) g = j;
  if (g == 0) solve_fatal(711, name_word("USET"), 0);

  DBOPEN(EQIX, buffer, kRead);
  DBREAD(EQIX, nullptr, 0, 1);
  DBREAD(EQIX, area.data(), 2 * nodes, 1);
  DBCLOS(EQIX, kCloseRewind);
  for (word p = 0; p < nodes; ++p) {
    const word id = area[static_cast<std::size_t>(2 * p)];
    const word eq = area[static_cast<std::size_t>(2 * p + 1)];
    const word start = eq >> 10;
    const word count = eq & 255;
    if (g >= start && g < start + count) {
      write_listing_and_log({fline(
          "('0*** USER INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO',I3,'-TH D.O.F. OF NODE',I8)",
          {g - start + 1, id})});
      return;
    }
  }
  solve_fatal(711, name_word("SIL "), 0);
}

}  // namespace

void TRIA(word KLL, word USET, word EQIX, word LLL) {
  MODBGN("TRIA    ");
  SDCBLK& b = sdcblk();
  b.kll = control_block(KLL);
  if (b.kll.cols < 1) {
    // Nothing to factor: right when no freedom is solved for.
    if ((header_of(USET)[5] & kLSet) != 0) solve_fatal(10, KLL, name_word("KLL "));
    return;
  }
  b.lll = MCB{};
  b.lll.file = LLL;
  b.scr1 = kScratch1;
  b.scr2 = kScratch2;
  word failrow = 0;
  SDCOMP(1, CORLFT(1), failrow);
  if (failrow == 0) {
    HDRPUT(LLL, b.lll.header());
    return;
  }
  sysw().IERFLG = 1;
  if (USET > 0 && EQIX > 0) name_failed_row(failrow, USET, EQIX);
}

}  // namespace zephsol
