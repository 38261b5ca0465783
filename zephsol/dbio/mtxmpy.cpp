// Multiply-add, method 1: groups of columns of B and D in core, A read once
// per group; and the product without a factor.
#include "zephsol/dbio/mtxmpy.h"

#include <algorithm>

#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"

namespace zephsol {

namespace {

using namespace mpycols;

// The columns of B and D of one pass, each a full column of doubles.
struct Pass {
  double* b = nullptr;  // column k at b + k rows(B)
  double* d = nullptr;  // column k at d + k m
  word rb = 0;
  word m = 0;
  word p = 0;           // columns in this pass
};

// D(r + i, k) += B(j, k) a_i for one string of column j of A (rows r ...).
template <class Term>
void kernel_plain(const Pass& s, word j, word r, word t, Term a) {
  for (word k = 0; k < s.p; ++k) {
    const double b = s.b[std::int64_t{k} * s.rb + (j - 1)];
    double* d = s.d + std::int64_t{k} * s.m + (r - 1);
    for (word i = 0; i < t; ++i) d[i] += b * a(i);
  }
}

// D(j, k) += Σ a_i B(r + i, k) for one string of column j of A.
template <class Term>
void kernel_transposed(const Pass& s, word j, word r, word t, Term a) {
  for (word k = 0; k < s.p; ++k) {
    const double* b = s.b + std::int64_t{k} * s.rb + (r - 1);
    double sum = 0.0;
    for (word i = 0; i < t; ++i) sum += a(i) * b[i];
    s.d[std::int64_t{k} * s.m + (j - 1)] += sum;
  }
}

// Reads the next p columns of an open data block as full columns of rows
// terms, times sign, zeros where it has none.
void unpack_columns(const MCB& mcb, double sign, double* to, word rows, word p) {
  std::fill(to, to + std::int64_t{rows} * p, 0.0);
  SCB s{};
  for (word k = 0; k < p; ++k) {
    ResultColumn column{to + std::int64_t{k} * rows, rows};
    scatter_column(s, mcb, sign, column);
  }
}

// Runs every string of A through the kernel of its type and transposition.
void multiply_strings(const MPYCTL& c, const Pass& s) {
  const MCB& A = c.A;
  SCB own{};
  for (word j = 1; j <= A.cols; ++j)
    for_each_string(own, A.file, A.type, [&](word r, word t, word slot) {
      check_rows(A.file, r, t, A.rows);
      with_terms(A.type, slot, t, [&](auto a) {
        if (c.transpose != 0)
          kernel_transposed(s, j, r, t, a);
        else
          kernel_plain(s, j, r, t, a);
      });
    });
}

}  // namespace

MPYCTL& mpyctl() noexcept { return dbio_state().mpyctl; }

void MTXMPY(word z, word ncore) {
  MPYCTL& c = mpyctl();
  if (c.A.file == 0 || c.B.file == 0) {
    MPYNUL(z, ncore);
    return;
  }
  const Product p = check_product(c, false);
  const WorkArea w = WorkArea::of(z, ncore);
  const std::int64_t room = std::int64_t{w.ncore} - sysw().NBUFSZ;
  const std::int64_t per_column = (std::int64_t{p.m} + c.B.rows) * sysw().IPREC;
  if (room < per_column) fatal(3, message_word(per_column), message_word(room));
  const std::int64_t group = room / per_column;

  // One buffer at the top serves every data block in turn; B, C and D keep
  // their places between passes, A is read again from its start.
  const word buffer = w.buffer(1);
  Pass s{nullptr, w.dz(1, std::int64_t{p.m} * group), c.B.rows, p.m, 0};
  s.b = w.dz(std::int64_t{p.m} * group + 1, std::int64_t{c.B.rows} * group);
  for (word done = 0; done < p.n; done += s.p) {
    const bool first = done == 0;
    s.p = static_cast<word>(std::min<std::int64_t>(p.n - done, group));
    DBOPEN(c.B.file, buffer, first ? kRead : kReadNoRewind);
    unpack_columns(c.B, p.sign_ab, s.b, s.rb, s.p);
    DBCLOS(c.B.file, kCloseNoRewind);
    if (p.with_c) {
      DBOPEN(c.C.file, buffer, first ? kRead : kReadNoRewind);
      unpack_columns(c.C, p.sign_c, s.d, s.m, s.p);
      DBCLOS(c.C.file, kCloseNoRewind);
    } else {
      std::fill(s.d, s.d + std::int64_t{s.m} * s.p, 0.0);
    }
    DBOPEN(c.A.file, buffer, kRead);
    multiply_strings(c, s);
    DBCLOS(c.A.file, kCloseRewind);
    DBOPEN(c.D.file, buffer, first ? kWrite : kWriteNoRewind);
    for (word k = 0; k < s.p; ++k) {
      ResultColumn column{s.d + std::int64_t{k} * s.m, s.m};
      column.cover(1, s.m);
      column.put(c.D);
    }
    DBCLOS(c.D.file, kCloseNoRewind);
  }
  finish_product(c, p);
}

void MPYNUL(word z, word ncore) {
  MPYCTL& c = mpyctl();
  MCB& D = c.D;
  D.cols = D.rows = D.form = D.maxcol = D.density = 0;
  const MCB& C = c.C;
  if (C.file == 0) return;
  D.cols = C.cols;
  D.rows = C.rows;
  D.form = C.form;
  D.maxcol = C.maxcol;
  D.density = C.density;
  if (D.type == 0) D.type = C.type;
  const WorkArea w = WorkArea::of(z, ncore);
  const word two_buffers = 2 * sysw().NBUFSZ;
  if (w.ncore - two_buffers < 0) fatal(3, two_buffers, w.ncore);
  DBOPEN(C.file, w.buffer(1), kRead);
  DBOPEN(D.file, w.buffer(2), kWrite);
  SCB& in = shared_scb(1);
  SCB& out = shared_scb(2);
  in.file = C.file;
  in.type = C.type;
  out.file = D.file;
  out.type = D.type;
  for (word k = 1; k <= C.cols; ++k) COLCPY(in, out, c.sign_c < 0 ? -1 : 0);
  DBCLOS(C.file, kCloseRewind);
  DBCLOS(D.file, kCloseRewind);
}

}  // namespace zephsol
