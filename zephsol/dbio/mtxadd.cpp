// Matrix and vector addition.
#include "zephsol/dbio/mtxadd.h"

#include <algorithm>
#include <array>
#include <string>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using recbody::fatal;

constexpr word kNoTerm = 0;

[[noreturn]] void wrong_input(MCB& a) {
  const auto h = a.header();
  const std::string first = fline("('0*** SYSTEM FATAL MESSAGE 3101, WRONG INPUT FILE ',I4)", {a.file});
  const std::string second =
      fline("(10X,'HEADER INFORMATION =',6I8)", {h[0], h[1], h[2], h[3], h[4], h[5]});
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, first);
    unit_write_line(unit, second);
  }
  fatal(999, 0, 0);
}

// The form of a sum: square when one operand is symmetric and the other is
// not, or one lower and the other upper triangular; otherwise A's.
word sum_form(word a, word b, bool with_b) {
  if (!with_b) return a;
  if (a == kSymmetric && b != kSymmetric) return kSquare;
  if ((a == kLowerTriangular && b == kUpperTriangular) || (a == kUpperTriangular && b == kLowerTriangular))
    return kSquare;
  return a;
}

// A scalar brought to an operand's precision; a double rounded to single
// precision replaces the first word of the scalar.
double scalar_for(word type, std::array<word, 2>& w, word precision) {
  const double v = addctl_scalar(type, w);
  if (precision == 1 && type == 2) {
    const float rounded = static_cast<float>(v);
    w[0] = std::bit_cast<word>(rounded);
    return rounded;
  }
  return v;
}


// A scaled term in its operand's precision.
double product(double scalar, double value, word precision) {
  if (precision == 1) return static_cast<float>(static_cast<float>(scalar) * static_cast<float>(value));
  return scalar * value;
}

// One operand's column being read string by string.
struct Operand {
  SCB& scb;
  word precision;
  double scalar;
  word k = 0;  // next term of the current string
  bool on = false;

  void begin(word file) {
    scb.file = file;
    scb.type = precision;
    scb.flag = 1;
    NXTSTR(scb);
    k = 0;
    on = scb.flag == 0;
  }
  word row() const { return scb.row + k; }
  word left() const { return scb.room - k; }
  double value(word i) const { return product(scalar, string_term(precision, scb.slot, k + i), precision); }
  void advance(word n) {
    k += n;
    if (k < scb.room) return;
    NXTSTR(scb);
    k = 0;
    on = scb.flag == 0;
  }
};

// One column of S from the next columns of A and B: runs of consecutive rows
// taken from the operand whose row is lower, or from both where the rows
// are equal.
void add_column(MCB& s, SCB& out, Operand& a, Operand& b, bool with_b) {
  out.file = s.file;
  out.type = s.type;
  out.flag = 1;
  PUTSTR(out);
  a.begin(a.scb.file);
  if (with_b) b.begin(b.scb.file);
  while (a.on || b.on) {
    const bool take_a = a.on && (!b.on || a.row() <= b.row());
    const bool take_b = b.on && (!a.on || b.row() <= a.row());
    const word row = take_a ? a.row() : b.row();
    word n = take_a && take_b ? std::min(a.left(), b.left()) : take_a ? a.left() : b.left();
    if (take_a && !take_b && b.on) n = std::min(n, b.row() - a.row());
    if (take_b && !take_a && a.on) n = std::min(n, a.row() - b.row());
    if (out.given > 0 && (row != out.row + out.given || out.given == out.room)) PUTSTR(out);
    if (out.given == 0) out.row = row;
    n = std::min(n, out.room - out.given);
    for (word i = 0; i < n; ++i) {
      double v = 0.0;
      if (take_a && take_b) {
        const double pa = a.value(i), pb = b.value(i);
        v = s.type == 1 ? static_cast<double>(static_cast<float>(pb) + static_cast<float>(pa)) : pb + pa;
      } else {
        v = take_a ? a.value(i) : b.value(i);
      }
      store_term(s.type, out.slot, out.given + i, v);  // a sum that cancels stays as a stored zero
    }
    out.given += n;
    if (take_a) a.advance(n);
    if (take_b) b.advance(n);
  }
  out.flag = -1;
  PUTSTR(out);
  s.maxcol = std::max(s.maxcol, out.total);
  s.density += out.total;
}

// ADDVG: reads the next column of an open data block into a vector of n
// rows; false (the vector untouched) when it has no term.
bool read_column(MCB& mcb, double* v, word n) {
  if (n < 1) return false;
  word first = 1, last = n, empty = 0;
  COLGET(mcb, 2, v, first, last, empty);
  return empty == 0;
}

}  // namespace

double addctl_scalar(word type, const std::array<word, 2>& w) noexcept {
  if (type == 1) return std::bit_cast<float>(w[0]);
  double v = 0;
  std::memcpy(&v, w.data(), sizeof v);
  return v;
}

void set_addctl_scalar(word type, std::array<word, 2>& w, double value) noexcept {
  if (type == 1) {
    w[0] = std::bit_cast<word>(static_cast<float>(value));
    return;
  }
  std::memcpy(w.data(), &value, sizeof value);
}

ADDCTL& addctl() noexcept { return dbio_state().addctl; }

void MTXADD(word area, word size) {
  ADDCTL& c = addctl();
  MCB& A = c.A;
  MCB& B = c.B;
  MCB& S = c.S;
  if (A.cols <= 0 || A.rows <= 0 || (A.type != 1 && A.type != 2)) wrong_input(A);
  const bool with_b = B.file != 0;
  if (with_b) {
    if (B.cols != A.cols || B.rows != A.rows) fatal(701, A.file, B.file);
    if (B.type != 1 && B.type != 2) fatal(3053, name_word("B"), B.type);
  }
  S.cols = A.cols;
  S.rows = A.rows;
  S.form = sum_form(A.form, B.form, with_b);
  S.type = with_b ? std::max(A.type, B.type) : A.type;
  S.maxcol = 0;
  S.density = kNoTerm;
  Operand a{shared_scb(1), A.type, scalar_for(c.alpha_type, c.alpha, A.type)};
  Operand b{shared_scb(2), with_b ? B.type : 1, with_b ? scalar_for(c.beta_type, c.beta, B.type) : 0.0};

  const word nb = sysw().NBUFSZ;
  const word need = (with_b ? 3 : 2) * nb;
  if (size - need + 1 < 1) fatal(3, need, size);
  DBOPEN(A.file, area + size - nb, kRead);
  DBOPEN(S.file, area + size - 2 * nb, kWrite);
  if (with_b) DBOPEN(B.file, area + size - 3 * nb, kRead);
  a.scb.file = A.file;
  b.scb.file = B.file;
  for (word j = 1; j <= A.cols; ++j) add_column(S, shared_scb(3), a, b, with_b);
  S.density = density_of(S.density, S.rows, S.cols);
  DBCLOS(A.file, kCloseRewind);
  DBCLOS(S.file, kCloseRewind);
  if (with_b) DBCLOS(B.file, kCloseRewind);
}

void ADDVG(word a, word b, word s, float f) {
  MODBGN("ADDVG   ");
  std::array<word, 6> hb{}, ha{};
  HDRGET(b, hb);
  bool with_a = a != 0;
  if (with_a) {
    HDRGET(a, ha);
    with_a = ha[4] != 0;
  }
  const word n = hb[1];
  if (with_a && ha[1] != n) {
    // On a restart either vector may come from a damaged old problem tape.
    damaged_data();
    fatal(701, a, ha[1]);
  }
  const word m = with_a ? std::max(ha[0], hb[0]) : hb[0];

  // U, V (V is U for one column) and A's column, as doubles from word 1.
  const word h = m > 1 ? n + 1 : 1;
  const word nbuf = sysw().NBUFSZ;
  const std::int64_t required = 2 * (std::int64_t{h} + 2 * std::int64_t{n}) - 1;
  const std::int64_t available = std::int64_t{CORLFT(1)} - nbuf + 1;
  if (required > available) fatal(3, static_cast<word>(std::min<std::int64_t>(required, INT32_MAX)),
                                  static_cast<word>(available));
  double* u = core().doubles(1, n).data();
  double* v = core().doubles(2 * h - 1, n).data();
  double* av = core().doubles(2 * (h + n) - 1, n).data();
  const word buffer = sysw().COREND - nbuf;
  const word type = sysw().IPREC;

  MCB mb{b, hb[0], hb[1], hb[2], hb[3], hb[4], hb[5]};
  DBOPEN(b, buffer, kRead);
  const auto scaled = [&](double* x) {
    if (read_column(mb, x, n))
      for (word i = 0; i < n; ++i) x[i] *= f;
    else
      std::fill(x, x + n, 0.0);
  };
  scaled(u);
  if (hb[0] >= 2)
    scaled(v);
  else if (m >= 2)
    std::copy(u, u + n, v);
  DBCLOS(b, kCloseRewind);

  if (with_a) {
    MCB ma{a, ha[0], ha[1], ha[2], ha[3], ha[4], ha[5]};
    DBOPEN(a, buffer, kRead);
    bool present = read_column(ma, av, n);
    if (present)
      for (word i = 0; i < n; ++i) u[i] += av[i];
    if (m >= 2) {
      if (ha[0] >= 2) present = read_column(ma, av, n);
      if (present)
        for (word i = 0; i < n; ++i) v[i] += av[i];
    }
    DBCLOS(a, kCloseRewind);
  }

  MCB ms{s, 0, n, kRectangular, type, 0, 0};
  DBOPEN(s, buffer, kWrite);
  COLPUT(ms, 2, u, 1, n);
  if (m >= 2) COLPUT(ms, 2, v, 1, n);
  DBCLOS(s, kCloseRewind);
  HDRPUT(s, ms.header());
}

}  // namespace zephsol
