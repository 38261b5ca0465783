// Card-scanning constants.
#include <cstdint>

#include "zephsol/exec/records.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

namespace {

// Machine type whose first character of a word is its low byte.
constexpr word kLowByteFirst = 5;

// Exponent limits of single-precision reals per machine type; every type
// this program runs on has IEEE reals.
constexpr word kExpLimit = 38;

}  // namespace

void CHRINI() {
  InputState& in = input_state();
  CHRCOM& c = in.chr;
  c.IEOS = static_cast<word>(~std::uint32_t{0} >> 1);
  c.MSKSGN = ~c.IEOS;
  c.MSKCHR = 255;
  const bool low_first = sysw().MACHCD == kLowByteFirst;
  for (int i = 0; i < 4; ++i) {
    c.ISHIFT[i] = low_first ? 8 * i : 8 * (3 - i);
    c.MSKCLR[i] = static_cast<word>(~(std::uint32_t{255} << c.ISHIFT[i]));
  }
  c.ICHAR = CHRCOM{}.ICHAR;  // the load table: one character and three blanks per entry
  for (int i = 0; i < 60; ++i)
    c.ICHAR[i] = static_cast<word>((static_cast<std::uint32_t>(c.ICHAR[i]) >> c.ISHIFT[0]) & 255u);
  c.IEXPMN = -kExpLimit;
  c.IEXPMX = kExpLimit;
  c.INTLIM = (c.IEOS - 10) / 10;
  in.ctl.KCLASS = CLS_CARD;
}

}  // namespace zephsol
