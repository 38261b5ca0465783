// Column readers and writers and product checks shared by the matrix
// operations.
#include "zephsol/dbio/mpycols.h"

#include <algorithm>

#include "zephsol/dbio/recbody.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/runend.h"

namespace zephsol::mpycols {

namespace {

void check_type(const char* operand, word type) {
  if (type != 1 && type != 2) fatal(3053, name_word(operand), type);
}


// D is square and symmetric only when every operand is; otherwise square or
// rectangular by its shape.
word product_form(const MPYCTL& c, const Product& p) {
  if (p.m != p.n) return kRectangular;
  const bool symmetric = c.A.form == kSymmetric && c.B.form == kSymmetric && (!p.with_c || c.C.form == kSymmetric);
  return symmetric ? kSymmetric : kSquare;
}

}  // namespace

void fatal(word code, word p1, word p2) { recbody::fatal(code, p1, p2); }

void check_rows(word file, word row, word count, word rows) {
  if (row < 1 || std::int64_t{row} + count - 1 > rows) fatal(701, file, row);
}

void ResultColumn::put(MCB& d) {
  if (reached())
    COLPUT(d, 2, v + (first - 1), first, last);
  else
    COLPUT(d, 2, v, 1, 0);
  clear();
}

void ResultColumn::clear() noexcept {
  if (reached()) std::fill(v + (first - 1), v + last, 0.0);
  first = kNoRow;
  last = 0;
}

bool scatter_column(SCB& s, const MCB& mcb, double sign, ResultColumn& out) {
  bool any = false;
  for_each_string(s, mcb.file, mcb.type, [&](word row, word count, word slot) {
    check_rows(mcb.file, row, count, out.m);
    with_terms(mcb.type, slot, count, [&](auto term) {
      double* t = out.v + (row - 1);
      for (word i = 0; i < count; ++i) t[i] = sign * term(i);
    });
    out.cover(row, row + count - 1);
    any = true;
  });
  return any;
}

Loaded load_column(SCB& s, const MCB& mcb, double* at, std::int64_t room, bool join) {
  Loaded l;
  double* header = nullptr;
  word next_row = -1;  // the row after the last term stored
  for_each_string(s, mcb.file, mcb.type, [&](word row, word count, word slot) {
    check_rows(mcb.file, row, count, mcb.rows);
    const bool extend = join && header != nullptr && row == next_row;
    const std::int64_t need = l.slots + count + (extend ? 0 : 1);
    next_row = row + count;
    if (!l.fits || need > room) {
      l.fits = false;
      l.slots = need;
      return;
    }
    if (extend) {
      *header = header_slot(slot_row(*header), slot_count(*header) + count);
    } else {
      header = at + l.slots;
      *header = header_slot(row, count);
      ++l.slots;
      ++l.strings;
    }
    double* t = at + l.slots;
    with_terms(mcb.type, slot, count, [&](auto term) {
      for (word i = 0; i < count; ++i) t[i] = term(i);
    });
    l.slots += count;
  });
  return l;
}

void put_loaded(SCB& out, const double* at, word strings, double scale) {
  out.flag = 1;
  PUTSTR(out);
  for_each_loaded(at, strings, [&](word row, word count, const double* terms) {
    for (word k = 0; k < count;) {
      if (out.given > 0) PUTSTR(out);
      const word n = std::min(count - k, out.room);
      for (word i = 0; i < n; ++i) store_term(out.type, out.slot, i, scale * terms[k + i]);
      out.row = row + k;
      out.given = n;
      k += n;
    }
  });
  out.flag = -1;
  PUTSTR(out);
}

Product check_product(MPYCTL& c, bool a_bt) {
  const MCB& A = c.A;
  const MCB& B = c.B;
  const MCB& C = c.C;
  Product p;
  const word inner_a = a_bt || c.transpose == 0 ? A.cols : A.rows;
  const word inner_b = a_bt ? B.cols : B.rows;
  if (inner_a != inner_b) fatal(701, A.file, B.file);
  p.m = a_bt || c.transpose == 0 ? A.rows : A.cols;
  p.n = a_bt ? B.rows : B.cols;
  p.with_c = C.file != 0;
  if (p.with_c && (C.cols != p.n || C.rows != p.m)) fatal(701, A.file, C.file);
  const word form = product_form(c, p);
  check_type("A", A.type);
  check_type("B", B.type);
  if (p.with_c) check_type("C", C.type);
  if (!a_bt && c.D.type == 0) c.D.type = sysw().IPREC;
  check_type("D", c.D.type);
  p.sign_ab = c.sign_ab < 0 ? -1.0 : 1.0;
  p.sign_c = c.sign_c < 0 ? -1.0 : 1.0;
  MCB& D = c.D;
  D.cols = 0;
  D.rows = p.m;
  D.form = form;
  D.maxcol = 0;
  D.density = 0;
  return p;
}

void finish_product(MPYCTL& c, const Product& p) { c.D.density = density_of(c.D.density, p.m, p.n); }

}  // namespace zephsol::mpycols
