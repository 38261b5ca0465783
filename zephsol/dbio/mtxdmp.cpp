// Matrix print.
#include "zephsol/dbio/mtxdmp.h"

#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kGroupColumns = 6;

constexpr std::array<const char*, 8> kFormNames{"SQR ", "RECT", "DIAG", "L.TR", "U.TR", "SYM ", "ROWV", "IDNT"};
constexpr std::array<const char*, 4> kTypeNames{"RSP ", "RDP ", "CSP ", "CDP "};

bool is_matrix_header(const MCB& m) {
  return m.cols >= 1 && m.rows >= 1 && m.form >= 1 && m.form <= static_cast<word>(kFormNames.size()) &&
         m.type >= 1 && m.type <= static_cast<word>(kTypeNames.size());
}

void wrong_mcb(MCB& m) {
  const auto w = m.words();
  const std::string first = "0*** SYSTEM WARNING MESSAGE 3512, WRONG MCB DETECTED BY MTXDMP";
  const std::string second = fline("(10X,'MCB=',7I8)", {w[0], w[1], w[2], w[3], w[4], w[5], w[6]});
  // Written as it stands: the warning neither counts its lines nor starts a
  // page.
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, first);
    unit_write_line(unit, second);
  }
  sysw().IWRNFL = 1;
}

void header_line(const MCB& m, std::span<const word, 2> name8) {
  LINCNT(-3);
  fwrite_unit(kListing,
              "('0MATRIX ',2A4,5X,'N.COLMNS=',I7,5X,'N.ROWS=',I7,5X,'FORM= ',A4,5X,'TYPE= ',A4,5X,'MAX.NZ=',I7,5X,"
              "'DENCITY=',F7.2,'%'/)",
              {name8[0], name8[1], m.cols, m.rows, kFormNames[static_cast<std::size_t>(m.form - 1)],
               kTypeNames[static_cast<std::size_t>(m.type - 1)], m.maxcol, static_cast<float>(m.density) * 0.01f});
}

// Up to six non-empty columns unpacked side by side, column g of the group
// at values + g rows.
struct Group {
  std::array<word, kGroupColumns> column{};
  word size = 0;
  bool last = false;
};

Group gather(MCB& m, float* values, word& next) {
  Group g;
  const word type = m.type <= 2 ? 1 : 3;
  while (g.size < kGroupColumns && next <= m.cols) {
    word first = 1, last = m.rows, empty = 0;
    COLGET(m, type, values + std::int64_t{g.size} * m.rows, first, last, empty);
    if (empty == 0) g.column[static_cast<std::size_t>(g.size++)] = next;
    ++next;
  }
  g.last = next > m.cols;
  return g;
}

void column_heading(const Group& g) {
  std::vector<FmtArg> numbers(g.column.begin(), g.column.begin() + g.size);
  fwrite_unit(kListing, "('0',10X,'COLUMN',5X,6(I6,10X))", numbers);
  unit_write_line(kListing, " ");
}

// The group's rows that are not zero in every column, the heading before
// the first and again after a page break.
void print_group(const Group& g, const float* values, word rows) {
  bool headed = false;
  for (word r = 0; r < rows; ++r) {
    std::vector<FmtArg> line{r + 1};
    bool any = false;
    for (word k = 0; k < g.size; ++k) {
      const float v = values[std::int64_t{k} * rows + r];
      any = any || v != 0.0f;
      line.emplace_back(v);
    }
    if (!any) continue;
    if (!headed) {
      LINCNT(4);
      column_heading(g);
      headed = true;
    } else {
      word newpg = 0;
      LINCNT(1, newpg);
      if (newpg != 0) {
        LINCNT(3);
        column_heading(g);
      }
    }
    fwrite_unit(kListing, "('    ROW  ',I6,4X,1P,6E16.7)", line);
  }
}

}  // namespace

void MTXDMP(MCB& mcb, word z, word ncore) {
  std::array<word, 2> name8{};
  DBNAM8(mcb.file, name8);
  if (name8[0] == name_word("****")) return;
  if (!is_matrix_header(mcb)) {
    wrong_mcb(mcb);
    return;
  }
  header_line(mcb, name8);
  if (mcb.maxcol == 0) {
    LINCNT(2);
    unit_write_line(kListing, "          *****  NULL  *****");
    return;
  }
  const word nbuf = sysw().NBUFSZ;
  const std::int64_t needed = std::int64_t{std::min(mcb.cols, kGroupColumns)} * mcb.rows * (mcb.type >= 3 ? 2 : 1);
  if (std::int64_t{ncore} - nbuf < needed) mpycols::fatal(3, mpycols::message_word(needed), ncore - nbuf);
  DBOPEN(mcb.file, z + ncore - nbuf, kRead);
  float* values = core().floats(z, needed).data();
  for (word next = 1;;) {
    const Group g = gather(mcb, values, next);
    if (g.size == 0) break;
    print_group(g, values, mcb.rows);
    if (g.last) break;
  }
  DBCLOS(mcb.file, kCloseRewind);
}

}  // namespace zephsol
