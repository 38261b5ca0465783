// Matrix partitioning: the row split MTXPT2 and the row and column split
// MTXPT4.
#include "zephsol/dbio/partn.h"

#include <algorithm>
#include <array>
#include <string>

#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using mpycols::fatal;
using mpycols::for_each_string;
using mpycols::message_word;
using mpycols::WorkArea;

// The two lines of an inconsistent split, on the listing and then on the
// error log, and the fatal end.
[[noreturn]] void subsets_inconsistent(const std::string& first, const std::string& second) {
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, first);
    unit_write_line(unit, second);
  }
  fatal(999, 0, 0);
}

// A part about to be written: no columns yet, its rows, form and type.
void start_part(MCB& part, word rows, word form, word type) {
  part.cols = 0;
  part.rows = rows;
  part.form = form;
  part.type = type;
  part.maxcol = 0;
  part.density = 0;
}

// The partition vector of MTXPT2 names a place 0 ... places for each of
// the rows of A; a place past the column would be written outside it.
void check_row_places(std::span<const word> pv, const MCB& a, word places) {
  if (pv.size() < static_cast<std::size_t>(std::max<word>(a.rows, 0))) fatal(701, a.file, message_word(std::ssize(pv)));
  for (word r = 0; r < a.rows; ++r)
    if (pv[r] < 0 || pv[r] > places) fatal(701, a.file, pv[r]);
}

// The partition vector of MTXPT4 puts each row into one of the two sets at
// a place inside it, the places of a set increasing, so that the parts'
// columns are written with their rows in order.
void check_set_places(std::span<const word> pv, const MCB& a, word nsub1, word nsub2) {
  if (pv.size() < static_cast<std::size_t>(std::max<word>(a.rows, 0))) fatal(701, a.file, message_word(std::ssize(pv)));
  word last1 = 0, last2 = 0;
  for (word r = 0; r < a.rows; ++r) {
    const word p = pv[r];
    word& last = p < 0 ? last1 : last2;
    const word place = p < 0 ? -p : p;
    if (p == 0 || place > (p < 0 ? nsub1 : nsub2) || place <= last) fatal(701, a.file, p);
    last = place;
  }
}

// Closes a part of MTXPT4: kept with its density when it has columns and
// rows, otherwise discarded with its header words.
void close_part(MCB& part) {
  if (part.cols > 0 && part.rows > 0) {
    DBCLOS(part.file, kCloseRewind);
    part.density = density_of(part.density, part.rows, part.cols);
    return;
  }
  DBCLOS(part.file, kCloseUnload);
  std::fill(part.header().begin(), part.header().end(), 0);
}

}  // namespace

PRTCTL& prtctl() noexcept { return dbio_state().prtctl; }

void MTXPT2(std::span<const word> pv, word nmajor, word nsub1, word nsub2, word z, word ncore) {
  PRTCTL& c = prtctl();
  MCB& A = c.A;
  if (A.type != 1 && A.type != 2) fatal(3053, recbody::name_of(A.file), A.type);
  if (A.rows != nmajor)
    subsets_inconsistent(
        fline("('0*** SYSTEM FATAL MESSAGE, NUMBER OF ROWS IN SUBSETS INCONSISTENT ON FILE ',I4)", {A.file}),
        fline("(10X,'NBR OF COLUMNS=',I8,', NBR OF ROWS=',I8,', NSUB1=',I8,', NSUB2=',I8,', NMAJOR=',I8)",
              {A.cols, A.rows, nsub1, nsub2, nmajor}));
  start_part(c.A11, nsub1, kRectangular, A.type);
  start_part(c.A21, nsub2, kRectangular, A.type);
  const word places = nsub1 + nsub2;
  check_row_places(pv, A, places);

  const WorkArea w = WorkArea::of(z, ncore);
  const std::array<MCB*, 2> parts{&c.A11, &c.A21};
  const auto present = static_cast<word>(std::count_if(parts.begin(), parts.end(), [](MCB* p) { return p->file != 0; }));
  const std::int64_t room = std::int64_t{w.ncore} - std::int64_t{1 + present} * sysw().NBUFSZ;
  const std::int64_t required = std::int64_t{sysw().IPREC} * (places + 1);
  if (room < required) fatal(3, message_word(w.ncore + required - room), w.ncore);

  DBOPEN(A.file, w.buffer(1), kRead);
  word next_buffer = 2;
  for (MCB* p : parts)
    if (p->file != 0) DBOPEN(p->file, w.buffer(next_buffer++), kWrite);
  double* dz = w.dz(1, places);
  for (word j = 1; j <= A.cols; ++j) {
    std::fill(dz, dz + places, 0.0);
    for_each_string(shared_scb(1), A.file, A.type, [&](word row, word count, word slot) {
      mpycols::check_rows(A.file, row, count, A.rows);
      for (word i = 0; i < count; ++i)
        if (const word place = pv[row - 1 + i]; place != 0) dz[place - 1] = string_term(A.type, slot, i);
    });
    if (c.A11.file != 0) COLPUT(c.A11, 2, dz, 1, nsub1);
    if (c.A21.file != 0) COLPUT(c.A21, 2, dz + nsub1, 1, nsub2);
  }
  DBCLOS(A.file, kCloseRewind);
  for (MCB* p : parts) {
    if (p->file == 0) continue;
    DBCLOS(p->file, kCloseRewind);
    p->density = density_of(p->density, p->rows, A.cols);
  }
}

void MTXPT4(std::span<const word> pv, word nsub1, word nsub2, word z, word ncore) {
  PRTCTL& c = prtctl();
  MCB& A = c.A;
  if (A.type != sysw().IPREC) fatal(3053, recbody::name_of(A.file), A.type);
  if (nsub1 + nsub2 != A.cols || nsub1 + nsub2 != A.rows)
    subsets_inconsistent(
        fline("('0*** SYSTEM FATAL MESSAGE 3104, NUMBER OF ROWS IN SUBSETS INCONSISTENT ON FILE',I4)", {A.file}),
        fline("(10X,'NBR OF COLUMNS=',I8,', NBR OF ROWS=',I8,', NSUB1=',I8,', NSUB2=',I8)",
              {A.cols, A.rows, nsub1, nsub2}));
  start_part(c.A11, nsub1, A.form, A.type);
  start_part(c.A21, nsub2, kRectangular, A.type);
  start_part(c.A12, nsub1, kRectangular, A.type);
  start_part(c.A22, nsub2, A.form, A.type);
  check_set_places(pv, A, nsub1, nsub2);

  const WorkArea w = WorkArea::of(z, ncore);
  const std::array<MCB*, 4> parts{&c.A11, &c.A21, &c.A12, &c.A22};
  const auto present = static_cast<word>(std::count_if(parts.begin(), parts.end(), [](MCB* p) { return p->file > 0; }));
  const std::int64_t required = std::int64_t{1 + present} * sysw().NBUFSZ;
  if (required > w.ncore) fatal(3, message_word(required), w.ncore);

  DBOPEN(A.file, w.buffer(1), kRead);
  word next_buffer = 2;
  for (MCB* p : parts)
    if (p->file > 0) DBOPEN(p->file, w.buffer(next_buffer++), kWrite);
  SCB& first_scb = shared_scb(2);
  SCB& second_scb = shared_scb(3);
  for (word j = 1; j <= A.cols; ++j) {
    // Column j goes to A11 and A21 when it lies in the first set, else to
    // A12 and A22; each term to the upper or lower part by its row's set.
    MCB& first = pv[j - 1] < 0 ? c.A11 : c.A12;
    MCB& second = pv[j - 1] < 0 ? c.A21 : c.A22;
    const bool with_first = first.file > 0, with_second = second.file > 0;
    if (with_first) COLBEG(first, 2, first_scb);
    if (with_second) COLBEG(second, 2, second_scb);
    for_each_string(shared_scb(1), A.file, A.type, [&](word row, word count, word slot) {
      mpycols::check_rows(A.file, row, count, A.rows);
      for (word i = 0; i < count; ++i) {
        const word place = pv[row - 1 + i];
        const double term = string_term(A.type, slot, i);
        if (place < 0 && with_first) COLTRM(term, -place, first_scb);
        if (place > 0 && with_second) COLTRM(term, place, second_scb);
      }
    });
    if (with_first) COLEND(first, first_scb);
    if (with_second) COLEND(second, second_scb);
  }
  DBCLOS(A.file, kCloseRewind);
  for (MCB* p : parts)
    if (p->file > 0) close_part(*p);
}

}  // namespace zephsol
