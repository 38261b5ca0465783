// Fixed-field card access: groups and cards of INP1, and conversion of one
// field at a time.
#include "zephsol/input/fldcard.h"

#include <cassert>
#include <cstdint>
#include <string>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/ifpmsg.h"

namespace zephsol {

namespace {

// Exact-as-can-be powers of ten for the REAL conversion: 10^0 .. 10^38.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                             1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19,
                             1e20, 1e21, 1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29,
                             1e30, 1e31, 1e32, 1e33, 1e34, 1e35, 1e36, 1e37, 1e38};

// Conversion errors: the detail line, whether it shows the character, and
// whether header and detail also go to the error log.
struct FieldMessage {
  word number;
  const char* detail;
  bool with_char;
  bool to_log;
};

constexpr word kIntRange = 2100;
constexpr word kIntChar = 2101;
constexpr word kRealChar = 2102;
constexpr word kRealRange = 2103;

constexpr FieldMessage kFieldMessages[] = {
    {kIntRange, "(10X,'FIELD BEGINNING FROM COLUMN',I3,', INTEGER DATA OUT OF MACHINE RANGE.')", false, true},
    {kIntChar, "(10X,'ILLEGAL CHARACTER ',A1,' IN COLUMN',I3)", true, true},
    {kRealChar, "(10X,'ILLEGAL CHARACTER ',A1,' IN COLUMN',I3)", true, false},
    {kRealRange, "(10X,'FIELD BEGINNING FROM COLUMN',I3,', REAL EXPONENT OUT OF MACHINE RANGE.')", false, false},
};

FLDCOM& fld() noexcept { return bulk_state().fld; }
const CHRCOM& chr() noexcept { return input_state().chr; }

// Columns of field k (1-based, inclusive).
struct Field {
  int first;
  int last;
};

Field field(word k) {
  assert(k >= 1 && k <= kFields && "field number out of range");
  return {kFieldColumns * (k - 1) + 1, kFieldColumns * k};
}

word cls(int col) { return fld().COLCLS[static_cast<std::size_t>(col - 1)]; }
word code(int col) { return fld().COLCHR[static_cast<std::size_t>(col - 1)]; }
bool blank(int col) { return cls(col) == kClassBlank; }
bool digit(int col) { return cls(col) == kClassDigit; }
int digit_value(int col) { return code(col) - chr().code(C_DIGIT0); }
bool is(int col, Chr c) { return code(col) == chr().code(c); }
bool sign(int col) { return is(col, C_PLUS) || is(col, C_MINUS); }

// First non-blank column of the field, 0 when it is blank.
int first_nonblank(Field f) {
  for (int c = f.first; c <= f.last; ++c)
    if (!blank(c)) return c;
  return 0;
}

// Reports conversion error number at column col (its character shown where
// the detail line asks for it).
void field_error(word number, int col) {
  if (!ifp_count(true)) return;
  const FieldMessage* m = nullptr;
  for (const FieldMessage& r : kFieldMessages)
    if (r.number == number) m = &r;
  LINCNT(3);
  const std::string header = ifp_header(true, number, true);
  const std::string detail = m->with_char
                                 ? fline(m->detail, {std::string(1, static_cast<char>(code(col))), col})
                                 : fline(m->detail, {col});
  const int units[] = {kListing, kErrorLog};
  const int nunits = m->to_log ? 2 : 1;
  for (int u = 0; u < nunits; ++u) unit_write_line(units[u], header);
  for (int u = 0; u < nunits; ++u) unit_write_line(units[u], detail);
}

// Character k (1-based) of a card image.
word card_char(const std::array<word, kCardWords>& card, int k) {
  const CHRCOM& c = chr();
  const auto w = static_cast<std::uint32_t>(card[static_cast<std::size_t>((k - 1) / 4)]);
  return static_cast<word>((w >> c.ISHIFT[static_cast<std::size_t>((k - 1) % 4)]) & static_cast<std::uint32_t>(c.MSKCHR));
}

// Fills COLCHR and COLCLS from CARDIM.
void classify() {
  FLDCOM& f = fld();
  const word blank_code = chr().code(C_BLANK);
  const word zero = chr().code(C_DIGIT0);
  const word nine = chr().code(C_DIGIT9);
  for (int k = 1; k <= kCardColumns; ++k) {
    const word ch = card_char(f.CARDIM, k);
    f.COLCHR[static_cast<std::size_t>(k - 1)] = ch;
    f.COLCLS[static_cast<std::size_t>(k - 1)] =
        ch == blank_code ? kClassBlank : (ch >= zero && ch <= nine) ? kClassDigit : kClassOther;
  }
}

// The parts of a REAL field as the scan finds them.
struct RealParts {
  std::int64_t m = 0;  // kept digits as an integer
  int nd = 0;          // digits kept
  int nf = 0;          // of them after the point
  bool negative = false;
  int exponent = 0;    // as written, with its sign
  int fault = 0;       // column of a character error, 0 when none
};

int skip_blanks(int col, int last) {
  while (col <= last && blank(col)) ++col;
  return col;
}

// Mantissa from column col: digits with at most one point (point already
// given when the field began with one). Returns the first column after it.
int scan_mantissa(int col, int last, bool point, RealParts& r) {
  for (; col <= last; ++col) {
    if (digit(col)) {
      r.m = 10 * r.m + digit_value(col);
      ++r.nd;
      if (point) ++r.nf;
    } else if (is(col, C_POINT) && !point) {
      point = true;
    } else {
      break;
    }
  }
  return col;
}

// Exponent part from column col (after the mantissa) to the end of field:
// blanks, then "E" or "D" and/or one sign, blanks, digits, then only blanks.
void scan_exponent(int col, int last, RealParts& r) {
  col = skip_blanks(col, last);
  if (col > last) return;
  if (is(col, C_E) || is(col, C_D)) col = skip_blanks(col + 1, last);
  else if (!sign(col)) {
    r.fault = col;
    return;
  }
  bool negative = false;
  if (col <= last && sign(col)) {
    negative = is(col, C_MINUS);
    col = skip_blanks(col + 1, last);
  }
  if (col > last || !digit(col)) {
    r.fault = col > last ? last : col;
    return;
  }
  for (; col <= last && digit(col); ++col) r.exponent = 10 * r.exponent + digit_value(col);
  if (negative) r.exponent = -r.exponent;
  for (; col <= last; ++col)
    if (!blank(col)) {
      r.fault = col;
      return;
    }
}

// Scans a non-blank REAL field from its first non-blank column c.
RealParts scan_real(int c, int last) {
  RealParts r;
  int col = c;
  bool point = false;
  if (digit(c)) {
    if (digit_value(c) == 0) ++col;
  } else if (is(c, C_MINUS) || is(c, C_PLUS)) {
    r.negative = is(c, C_MINUS);
    ++col;
  } else if (is(c, C_POINT)) {
    point = true;
    ++col;
  } else {
    r.fault = c;
    return r;
  }
  col = scan_mantissa(col, last, point, r);
  scan_exponent(col, last, r);
  return r;
}

}  // namespace

void GRPOPN(word i) {
  CRDCOM& c = crdcom();
  FLDCOM& f = fld();
  const GRPTAB::Group& g = grptab().at(i);
  DBGOTO(c.INPFIL, g.POS);
  DBREAD(c.INPFIL, f.CARDIM.data(), kCardWords, 0);
  for (std::size_t w = 0; w < c.GRPNAM.size() / 4; ++w) {
    const std::string four = word_name(f.CARDIM[w]);
    for (std::size_t j = 0; j < 4; ++j) c.GRPNAM[4 * w + j] = four[j];
  }
  c.CARDNO = g.HDRCRD;
}

void NXTCRD(word& status) {
  CRDCOM& c = crdcom();
  std::array<word, kCardWords> card;
  word got = 0;
  DBRDST(c.INPFIL, card.data(), kCardWords, 0, got, status);
  if (status != kCardRead) return;
  fld().CARDIM = card;
  ++c.CARDNO;
  classify();
}

void ALFFLD(word k, std::array<word, 2>& name) {
  const Field f = field(k);
  std::string text;
  if (const int c = first_nonblank(f); c != 0)
    for (int col = c; col <= f.last; ++col) text.push_back(static_cast<char>(code(col)));
  const auto w = name_words8(padded(text, 8));
  name = {w[0], w[1]};
}

void INTFLD(word k, word& value, word dflt, word& status) {
  const Field f = field(k);
  value = dflt;
  const int c = first_nonblank(f);
  if (c == 0) {
    status = kFieldBlank;
    return;
  }
  status = kFieldError;
  int col = c;
  if (!digit(c)) {
    if (!sign(c)) return field_error(kIntChar, c);
    ++col;
  }
  std::int64_t v = 0;
  for (; col <= f.last && digit(col); ++col) {
    if (v > chr().INTLIM) return field_error(kIntRange, f.first);
    v = 10 * v + digit_value(col);
  }
  for (; col <= f.last; ++col)
    if (!blank(col)) return field_error(kIntChar, col);
  value = static_cast<word>(is(c, C_MINUS) ? -v : v);
  status = kFieldRead;
}

void RELFLD(word k, float& value, float dflt, word& status) {
  const Field f = field(k);
  value = dflt;
  const int c = first_nonblank(f);
  if (c == 0) {
    status = kFieldBlank;
    return;
  }
  status = kFieldError;
  const RealParts r = scan_real(c, f.last);
  if (r.fault != 0) return field_error(kRealChar, r.fault);
  if (r.m == 0) {
    value = 0.0f;
    status = kFieldRead;
    return;
  }
  const int e = r.exponent - r.nf;
  const CHRCOM& ch = chr();
  const auto in_range = [&ch](int x) { return x >= ch.IEXPMN && x <= ch.IEXPMX; };
  if (!in_range(e) || !in_range(e + r.nd)) return field_error(kRealRange, f.first);
  const double m = static_cast<double>(r.m);
  const double v = e >= 0 ? m * kPow10[e] : m / kPow10[-e];
  value = static_cast<float>(r.negative ? -v : v);
  status = kFieldRead;
}

word ALFTST(word k) {
  const int c = first_nonblank(field(k));
  if (c == 0 || digit(c) || sign(c) || is(c, C_POINT)) return 0;
  return -1;
}

word BLKTST(word k) { return first_nonblank(field(k)) == 0 ? -1 : 0; }

}  // namespace zephsol
