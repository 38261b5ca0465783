#include "zephsol/dbio/fsinfo.h"

#include <array>

#include "zephsol/dbio/directory.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {


// Second lines of the messages 3041 to 3045 and the parameters each prints
// (positions 1-4 of p; 0 ends the list).
struct SecondLine {
  const char* format;
  std::array<int, 3> params;
};
constexpr std::array<SecondLine, 5> kSecondLines = {{
    {"(10X,'DASD SPACE FOR ',2A4,' WAS EXTENDED,  NEW LIMIT =',I8,' BLOCKS.')", {2, 3, 4}},
    {"(10X,'CORE RESIDENT DATA OVER ',I4,'TH BLOCK WAS EXTENDED TO PRIMARY UNIT.')", {2, 0, 0}},
    {nullptr, {0, 0, 0}},
    {"(10X,'UNIT ',I3,' (DDNAME = ',2A4,') WAS CHAINNED FROM PREVIOUS UNIT.')", {4, 2, 3}},
    {"(10X,'DATA BLOCK STARTED AS CORE RESIDENT.')", {0, 0, 0}},
}};

void print_block_layer_message(word code, const std::array<word, 2>& name8, std::span<const word, 4> p) {
  LINCNT(3);
  fwrite_unit(kListing, "('0*** SYSTEM INFORMATION MESSAGE ',I4,', DATA BLOCK NAME = ',2A4,', PRIMAL UNIT NUMBER = ',I3)",
              {3040 + code, name8[0], name8[1], p[0]});
  const SecondLine& s = kSecondLines[static_cast<std::size_t>(code - 1)];
  if (s.format == nullptr) return;
  std::array<FmtArg, 3> args{0, 0, 0};
  std::size_t n = 0;
  for (int k : s.params)
    if (k != 0) args[n++] = FmtArg(p[static_cast<std::size_t>(k - 1)]);
  fwrite_unit(kListing, s.format, std::span<const FmtArg>(args.data(), n));
}

}  // namespace

void FSINFO(word code, word file, std::span<const word, 4> p) {
  std::array<word, 2> name8{};
  DBNAM8(file, name8);
  if (code >= 1 && code <= 5) {
    print_block_layer_message(code, name8, p);
    return;
  }
  LINCNT(2);
  fwrite_unit(kListing, "('0*** SYSTEM INFORMATION MESSAGE',I6,',')", {code});
  if (code == 3047 || code == 3048)
    fwrite_unit(kListing, "(10X,'DATA BLOCK ',2A4,A,'  REFERENCE NUMBER IS',I5)",
                {name8[0], name8[1], code == 3047 ? " OPENED," : " CLOSED,", file});
}

}  // namespace zephsol
