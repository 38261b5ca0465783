// Matrix merge: the inverse of the row split.
#include <algorithm>
#include <array>
#include <string>

#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/partn.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using mpycols::fatal;
using mpycols::message_word;
using mpycols::WorkArea;

// The three lines of parts that cannot be merged, on the listing and then on
// the error log, and fatal 701.
[[noreturn]] void shapes_not_compatible(PRTCTL& c, word nsub1, word nsub2) {
  const auto mcb_line = [](const char* label, MCB& m) {
    const auto w = m.words();
    return fline("(10X,A,7I8)", {label, w[0], w[1], w[2], w[3], w[4], w[5], w[6]});
  };
  const std::array<std::string, 3> lines{
      fline("('0*** SYSTEM FATAL MESSAGE, SHAPE OF TWO MATRICES TO BE MERGED ARE NOT COMPATIBLE -- NSUB1, NSUB2 =',"
            "2I8)",
            {nsub1, nsub2}),
      mcb_line("MCBA11 =", c.A11), mcb_line("MCBA21 =", c.A21)};
  for (int unit : {kListing, kErrorLog})
    for (const std::string& line : lines) unit_write_line(unit, line);
  fatal(701, 0, 0);
}

// The result's header from the parts present, fatal when they do not fit
// together; returns the number of columns to merge.
word shape_result(PRTCTL& c, word nrow, word nsub1, word nsub2) {
  MCB& A = c.A;
  const MCB& a11 = c.A11;
  const MCB& a21 = c.A21;
  const auto valid_type = [](word t) { return t == 1 || t == 2; };
  word cols = 0, type = 0;
  if (a11.file != 0) {
    if (a11.rows != nsub1 || !valid_type(a11.type)) shapes_not_compatible(c, nsub1, nsub2);
    cols = a11.cols;
    type = a11.type;
  }
  if (a21.file != 0) {
    if (a21.rows != nsub2 || !valid_type(a21.type)) shapes_not_compatible(c, nsub1, nsub2);
    if (a11.file != 0 && a21.cols != cols) shapes_not_compatible(c, nsub1, nsub2);
    cols = a21.cols;
    type = std::max(type, a21.type);
  }
  if (cols < 1) shapes_not_compatible(c, nsub1, nsub2);
  A.cols = 0;
  A.rows = nrow;
  A.form = kRectangular;
  A.type = type;
  A.maxcol = 0;
  A.density = 0;
  return cols;
}

// Every row a part's map names must be a row of the result.
void check_map(std::span<const word> map, word rows, word nrow, word result) {
  if (map.size() < static_cast<std::size_t>(std::max<word>(rows, 0))) fatal(701, result, message_word(std::ssize(map)));
  for (word r = 0; r < rows; ++r)
    if (map[r] < 1 || map[r] > nrow) fatal(701, result, map[r]);
}

// Places the next column of a part into dz by its row map.
void place_column(const MCB& part, std::span<const word> map, double* dz) {
  mpycols::for_each_string(shared_scb(1), part.file, part.type, [&](word row, word count, word slot) {
    mpycols::check_rows(part.file, row, count, part.rows);
    for (word i = 0; i < count; ++i) dz[map[row - 1 + i] - 1] = string_term(part.type, slot, i);
  });
}

}  // namespace

void MTXMRG(std::span<const word> map1, std::span<const word> map2, word nrow, word nsub1, word nsub2, word z,
            word ncore) {
  PRTCTL& c = prtctl();
  const word cols = shape_result(c, nrow, nsub1, nsub2);
  if (c.A11.file != 0) check_map(map1, nsub1, nrow, c.A.file);
  if (c.A21.file != 0) check_map(map2, nsub2, nrow, c.A.file);

  const WorkArea w = WorkArea::of(z, ncore);
  const word present = (c.A11.file != 0 ? 1 : 0) + (c.A21.file != 0 ? 1 : 0);
  const std::int64_t lowest = std::int64_t{w.ncore} - std::int64_t{1 + present} * sysw().NBUFSZ + 1;
  const std::int64_t room = lowest - std::int64_t{sysw().IPREC} * nrow - 1;
  if (room < 0) fatal(3, message_word(w.ncore - room), w.ncore);

  DBOPEN(c.A.file, w.buffer(1), kWrite);
  word next_buffer = 2;
  for (MCB* p : {&c.A11, &c.A21})
    if (p->file != 0) DBOPEN(p->file, w.buffer(next_buffer++), kRead);
  double* dz = w.dz(1, nrow);
  for (word j = 1; j <= cols; ++j) {
    std::fill(dz, dz + nrow, 0.0);
    if (c.A11.file != 0) place_column(c.A11, map1, dz);
    if (c.A21.file != 0) place_column(c.A21, map2, dz);
    COLPUT(c.A, 2, dz, 1, nrow);
  }
  for (MCB* p : {&c.A11, &c.A21})
    if (p->file != 0) DBCLOS(p->file, kCloseRewind);
  c.A.density = density_of(c.A.density, nrow, c.A.cols);
  DBCLOS(c.A.file, kCloseRewind);
}

}  // namespace zephsol
