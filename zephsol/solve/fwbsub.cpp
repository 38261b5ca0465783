// Forward and backward substitution FWBSUB.
#include "zephsol/solve/fwbsub.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

void check_headers(SOLBLK& s) {
  const word prec = sysw().IPREC;
  MCB& f = s.factor;
  if (f.cols != f.rows || f.cols < 1 || f.form != kLowerTriangular || f.type != prec || f.type != kRealDouble)
    wrong_input_file(3102, f.file, f.header());
  MCB& r = s.rhs;
  if (r.rows != f.rows || r.cols < 1 || r.form >= kDiagonal || r.type != prec)
    wrong_input_file(3102, r.file, r.header());
}

// The vectors of a batch: vector j holds N doubles from double j N.
struct Batch {
  double* v = nullptr;
  std::int64_t n = 0;
  word held = 0;
  double* vec(word j) const { return v + j * n; }
};

// v_r -= l_r v_i over the terms of a string, for every vector with v_i != 0.
void forward_string(const Batch& b, word i, word row, std::span<const double> l) {
  for (word j = 0; j < b.held; ++j) {
    double* v = b.vec(j);
    const double vi = v[i - 1];
    if (vi == 0.0) continue;
    double* vr = v + (row - 1);
    for (std::size_t t = 0; t < l.size(); ++t) vr[t] -= l[t] * vi;
  }
}

// v_i -= sum l_r v_r over the terms of a string, for every vector.
void backward_string(const Batch& b, word i, word row, std::span<const double> l) {
  for (word j = 0; j < b.held; ++j) {
    double* v = b.vec(j);
    const double* vr = v + (row - 1);
    double sum = 0.0;
    for (std::size_t t = 0; t < l.size(); ++t) sum += l[t] * vr[t];
    v[i - 1] -= sum;
  }
}

std::span<const double> string_terms(const SCB& s) { return core().doubles(2 * s.slot - 1, s.room); }

// L D L^T x = b: L y = b column by column, then x = D^-1 y ...
void forward(const Batch& b, word factor, word n) {
  SCB& s = shared_scb(2);
  s.file = factor;
  s.type = kRealDouble;
  for (word i = 1; i <= n; ++i) {
    s.flag = 1;
    NXTSTR(s);
    if (s.flag < 0) {
      if (sysw().IASPC != 1) first_term_not_diagonal(3103, 'L', i);
      for (word j = 0; j < b.held; ++j) b.vec(j)[i - 1] = 0.0;
      continue;
    }
    const auto first = string_terms(s);
    if (s.row != i || first[0] == 0.0) first_term_not_diagonal(3103, 'L', i);
    const double d = first[0];
    forward_string(b, i, i + 1, first.subspan(1));
    for (NXTSTR(s); s.flag == 0; NXTSTR(s)) forward_string(b, i, s.row, string_terms(s));
    const double r = 1.0 / d;
    for (word j = 0; j < b.held; ++j) b.vec(j)[i - 1] *= r;
  }
}

// ... and L^T x = D^-1 y from the last column back, its strings last first.
void backward(const Batch& b, word n) {
  SCB& s = shared_scb(2);
  for (word i = n; i >= 1; --i) {
    s.flag = 1;
    bool diagonal = false;
    for (PRVSTR(s); s.flag == 0; PRVSTR(s)) {
      const word first_row = s.row - s.room + 1;
      if (diagonal || first_row < i) first_term_not_diagonal(3103, 'L', i);
      const auto l = core().doubles(2 * (s.slot - s.room + 1) - 1, s.room);
      if (first_row == i) {
        diagonal = true;
        backward_string(b, i, i + 1, l.subspan(1));
      } else {
        backward_string(b, i, first_row, l);
      }
    }
  }
}

void solve_batch(const Batch& b, word factor, word n, word buffer) {
  DBOPEN(factor, buffer, kRead);
  forward(b, factor, n);
  backward(b, n);
  DBCLOS(factor, kCloseRewind);
}

}  // namespace

void FWBSUB(word first, word z) {
  SOLBLK& sb = solblk();
  check_headers(sb);
  MCB rhs = sb.rhs;
  MCB& x = sb.solution;
  const word n = sb.factor.rows;
  x.cols = 0;
  x.rows = n;
  x.form = rhs.form;
  x.type = rhs.type;
  x.maxcol = 0;
  x.density = 0;
  const std::int64_t room = std::int64_t{z} - sysw().NBUFSZ;
  const std::int64_t per_column = 2 * std::int64_t{n} + 1;
  if (room < per_column) solve_fatal(3, message_word(per_column), message_word(room));
  const auto k = static_cast<word>(room / per_column);
  const word buffer = static_cast<word>(first + room);
  const word read_type = sb.sign < 0 ? -rhs.type : rhs.type;
  Batch b{core().doubles(first, std::int64_t{k} * n).data(), n, 0};
  const auto held_column = core().words(static_cast<word>(first + room - k), k);

  std::int64_t terms = 0;
  word next = 1;
  for (bool first_batch = true; next <= rhs.cols; first_batch = false) {
    DBOPEN(rhs.file, buffer, first_batch ? kRead : kReadNoRewind);
    const word from = next;
    b.held = 0;
    for (; b.held < k && next <= rhs.cols; ++next) {
      word top = 1, last = n, empty = 0;
      COLGET(rhs, read_type, b.vec(b.held), top, last, empty);
      if (empty == 0) held_column[static_cast<std::size_t>(b.held++)] = next;
    }
    DBCLOS(rhs.file, kCloseNoRewind);
    if (b.held > 0) solve_batch(b, sb.factor.file, n, buffer);

    DBOPEN(x.file, buffer, first_batch ? kWrite : kWriteNoRewind);
    for (word c = from, h = 0; c < next; ++c) {
      if (h < b.held && held_column[static_cast<std::size_t>(h)] == c) {
        COLPUT(x, rhs.type, b.vec(h++), 1, n);
      } else {
        SCB& s = shared_scb(1);
        COLBEG(x, rhs.type, s);
        COLEND(x, s);
      }
    }
    terms = x.density;
    DBCLOS(x.file, next > rhs.cols ? kCloseRewind : kCloseNoRewind);
  }
  x.density = static_cast<word>(std::trunc(double(terms) / (double(n) * double(x.cols)) * 10000.0 + 0.5));
}

}  // namespace zephsol
