// MATPRT: the listing of a packed symmetric matrix, ten columns to a block;
// each row shows its terms from the diagonal (or the block's first column)
// on, indented twelve places per column left of them.
#include <algorithm>
#include <string>
#include <vector>

#include "zephsol/elem/emg.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {
namespace {

constexpr word kBlockColumns = 10;

void heading(word name, word n) {
  sysw().NLINE += 2;
  fwrite_unit(kListing, "('0',4X,'MATRIX ',A4,14X,'SYMMETRIC TYPE',5X,'THE NUMBER OF ROWS AND COLUMNS',I5)",
              {word_name(name), n});
}

void column_line(word c1, word c2) {
  std::vector<FmtArg> cols;
  for (word c = c1; c <= c2; ++c) cols.emplace_back(c);
  fwrite_unit(kListing, "('0',5X,'COLUMN',2X,10(I3,9X))", cols);
}

// Row r of columns c1..c2: the terms from max(r, c1) on, single precision.
void row_line(std::span<const double> a, word n, word r, word c1, word c2) {
  const word from = std::max(r, c1);
  std::vector<FmtArg> terms;
  for (word j = from; j <= c2; ++j) terms.emplace_back(static_cast<float>(a[packed_index(r, j, n)]));
  const std::string fmt = "('  ROW ',I3," + std::to_string(1 + 12 * (from - c1)) + "X,1P,10E12.4)";
  terms.insert(terms.begin(), FmtArg(r));
  fwrite_unit(kListing, fmt, terms);
}

}  // namespace

void MATPRT(word NAME, std::span<const double> A, word N) {
  heading(NAME, N);
  for (word c1 = 1; c1 <= N; c1 += kBlockColumns) {
    const word c2 = std::min(c1 + kBlockColumns - 1, N);
    word newpg = 0;
    LINCNT(2, newpg);
    if (newpg != 0) heading(NAME, N);
    column_line(c1, c2);
    for (word r = 1; r <= c2; ++r) {
      LINCNT(1, newpg);
      if (newpg != 0) {
        heading(NAME, N);
        sysw().NLINE += 2;
        column_line(c1, c2);
      }
      row_line(A, N, r, c1, c2);
    }
  }
}

}  // namespace zephsol
