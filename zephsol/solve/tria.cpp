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
#include "zephsol/exec/units.h"
#include "zephsol/solve/eqnode.h"
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
    if (USET > 0 && EQIX > 0) warn_weak_pivots(USET, EQIX);
    return;
  }
  sysw().IERFLG = 1;
  if (USET > 0 && EQIX > 0) print_failed_row_node(failrow, USET, EQIX);
}

}  // namespace zephsol
