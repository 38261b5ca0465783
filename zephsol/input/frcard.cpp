// Free-field card reader: columns 1-72 of a card into a list of typed items.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/cards.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

namespace {

constexpr int kColumns = 72;
constexpr int kMaxDigits = 15;
constexpr int kRoomPerItem = 5;
constexpr word kMaxExponent = 1000;

constexpr word kTypeName = 2;
constexpr word kTypeDelim = 1;
constexpr word kTypeInt = -1;
constexpr word kTypeReal = -2;
constexpr word kTypeDouble = -4;
constexpr word kTypeText = 10;
constexpr word kContinued = 0;

struct MsgRow {
  word number;
  const char* format;  // the text line; I3 takes the column of 302 and 303
};

constexpr MsgRow kMessages[] = {
    {300, "('0*** INVALID DATA COLUMN 72')"},
    {301, "('0*** INTEGER DATA OUT OF MACHINE RANGE')"},
    {302, "('0*** INVALID CHARACTER FOLLOWING INTEGER IN COLUMN',I3)"},
    {303, "('0*** DATA ERROR-UNANTICIPATED CHARACTER IN COLUMN',I3)"},
    {304, "('0*** DATA ERROR MISSING DELIMITER OR REAL POWER OUT OF MACHINE RANGE')"},
    {305, "('0*** SYNTAX ERROR IN LITERAL DATA')"},
    {308, "('0*** ROUTINE FRCARD FINDS OUTPUT BUFFER TOO SMALL TO PROCESS CARD COMPLETELY')"},
};

// A rejected card: the message number and, for 302 and 303, the column.
struct Fault {
  word msg = 0;
  word col = 0;
};

void print_fault(Fault f) {
  for (const MsgRow& m : kMessages) {
    if (m.number != f.msg) continue;
    const std::string head = fline("('0*** USER FATAL MESSAGE  ',I3,',')", {f.msg});
    const bool column = f.msg == 302 || f.msg == 303;
    const std::string text = column ? fline(m.format, {f.col}) : fline(m.format);
    write_listing_and_log({head, text});
    sysw().NLINE += 4;
    return;
  }
}

// Exact powers of ten of doubles.
constexpr std::array<double, 23> kPow10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                           1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// m x 10^p through exact powers of ten (at most two factors for |p| <= 44).
double scale10(double m, int p) {
  const int a = p < 0 ? -p : p;
  const double first = kPow10[static_cast<std::size_t>(a > 22 ? 22 : a)];
  const double second = kPow10[static_cast<std::size_t>(a > 22 ? a - 22 : 0)];
  return p < 0 ? m / first / second : m * first * second;
}

// The significant digits of a number: leading zeros are not kept, the first
// 15 others are, and the rest are dropped and counted.
struct Digits {
  std::array<int, kMaxDigits> d{};
  int kept = 0;
  int dropped = 0;

  void add(int v) {
    if (kept == 0 && v == 0) return;
    if (kept < kMaxDigits)
      d[static_cast<std::size_t>(kept++)] = v;
    else
      ++dropped;
  }
  // M: the first seven digits as H, the others as L, M = H 10^(n-7) + L.
  double mantissa() const {
    double h = 0.0, l = 0.0;
    for (int i = 0; i < kept; ++i) {
      double& part = i < 7 ? h : l;
      part = 10.0 * part + d[static_cast<std::size_t>(i)];
    }
    return kept > 7 ? h * kPow10[static_cast<std::size_t>(kept - 7)] + l : h;
  }
};

class CardScanner {
 public:
  CardScanner(std::span<const word> card, std::span<word> items, word size)
      : c_(input_state().chr), out_(items), size_(size) {
    digit_.fill(-1);
    for (int col = 1; col <= kColumns; ++col) {
      const word w = card[static_cast<std::size_t>((col - 1) / 4)];
      const int pos = (col - 1) % 4;
      code_[col] = static_cast<word>((static_cast<std::uint32_t>(w) >> c_.ISHIFT[pos]) & c_.MSKCHR);
      digit_[col] = digit_value(code_[col]);
      blank_[col] = code_[col] == c_.code(C_BLANK);
    }
  }

  Fault run() {
    int col = 1;
    for (;;) {
      while (col <= kColumns && blank_[col]) ++col;
      if (col > kColumns) break;
      if (!room(kRoomPerItem)) return {308};
      Fault f;
      bool done = false;
      if (starts_number(col)) {
        f = number(col, false);
      } else if (is(col, C_PLUS) || is(col, C_MINUS)) {
        if (col == kColumns) return {300};
        const bool negative = is(col, C_MINUS);
        if (starts_number(col + 1))
          f = number(++col, negative);
        else
          f = name(col);
      } else if (is_quote(col)) {
        f = text(col);
      } else if (is_delimiter(col)) {
        done = delimiter(col);
        ++col;
      } else {
        f = name(col);
      }
      if (f.msg) return f;
      if (done) return {};
    }
    if (!room(1)) return {308};
    put(delim_ && !paren_ ? kContinued : c_.IEOS);
    return {};
  }

 private:
  bool is(int col, Chr ch) const { return code_[col] == c_.code(ch); }
  bool is_quote(int col) const { return is(col, C_APOS) || is(col, C_DQUOTE); }
  bool is_delimiter(int col) const {
    return is(col, C_SLASH) || is(col, C_EQUAL) || is(col, C_COMMA) || is(col, C_LPAREN) ||
           is(col, C_RPAREN) || is(col, C_DOLLAR);
  }
  bool ends_field(int col) const { return blank_[col] || is_delimiter(col) || is_quote(col); }
  bool starts_number(int col) const { return digit_[col] >= 0 || is(col, C_POINT); }
  bool is_exponent_letter(int col) const { return is(col, C_E) || is(col, C_D); }

  int digit_value(word code) const {
    for (int k = 0; k < 10; ++k)
      if (code == c_.code(static_cast<Chr>(C_DIGIT0 + k))) return k;
    return -1;
  }

  bool room(word k) const { return size_ - n_ >= k; }
  void put(word w) { out_[static_cast<std::size_t>(n_++)] = w; }

  // A word of four blanks with the character code at position pos (0-3).
  word with_char(word w, int pos, word code) const {
    return (w & c_.MSKCLR[pos]) | static_cast<word>(static_cast<std::uint32_t>(code) << c_.ISHIFT[pos]);
  }

  void put_empty_name() {
    put(kTypeName);
    put(c_.code(C_BLANKWORD));
    put(c_.code(C_BLANKWORD));
  }

  // A delimiter; returns true when it ends the list ("$").
  bool delimiter(int col) {
    if (delim_ && !paren_ && !is(col, C_LPAREN)) {
      if (is(col, C_DOLLAR) && n_ == 0) put(kContinued);
      put_empty_name();
    }
    if (is(col, C_DOLLAR)) {
      put(c_.IEOS);
      return true;
    }
    delim_ = true;
    paren_ = is(col, C_RPAREN);
    if (is(col, C_SLASH) || is(col, C_EQUAL) || is(col, C_LPAREN)) {
      put(kTypeDelim);
      put(with_char(c_.code(C_BLANKWORD), 0, code_[col]));
    }
    return false;
  }

  // Each scanner below starts at column col and leaves col after its item.

  // A name up to a blank, a delimiter, a quote or column 72; 8 characters kept.
  Fault name(int& col) {
    std::array<word, 2> w{c_.code(C_BLANKWORD), c_.code(C_BLANKWORD)};
    int k = 0;
    for (; col <= kColumns && !ends_field(col); ++col, ++k)
      if (k < 8) w[static_cast<std::size_t>(k / 4)] = with_char(w[static_cast<std::size_t>(k / 4)], k % 4, code_[col]);
    put(kTypeName);
    put(w[0]);
    put(w[1]);
    delim_ = false;
    return {};
  }

  // Quoted text: 4 characters to a word, a doubled quote for one quote.
  Fault text(int& col) {
    const word quote = code_[col];
    const word type_at = n_;
    put(kTypeText);
    int chars = 0;
    for (int j = col + 1; j <= kColumns; ++j) {
      if (code_[j] == quote) {
        if (j == kColumns || code_[j + 1] != quote) {
          delim_ = false;
          col = j + 1;
          return {};
        }
        ++j;
      }
      const int pos = chars % 4;
      if (pos == 0) {
        if (!room(2)) return {308};
        ++out_[static_cast<std::size_t>(type_at)];
        put(c_.code(C_BLANKWORD));
      }
      word& w = out_[static_cast<std::size_t>(n_ - 1)];
      w = with_char(w, pos, code_[j]);
      ++chars;
    }
    return {305};
  }

  // A number from column col (a digit or the point); negative after a minus.
  Fault number(int& col, bool negative) {
    Digits dg;
    int fraction = 0;
    word exponent = 0;
    bool exp_negative = false;
    bool is_real = false;
    bool is_double = false;
    int j = col;
    enum { Int, Frac, Exp, Done } phase = Int;
    while (phase != Done && j <= kColumns) {
      if (phase == Int || phase == Frac) {
        if (digit_[j] >= 0) {
          dg.add(digit_[j]);
          if (phase == Frac) ++fraction;
          ++j;
        } else if (ends_field(j)) {
          phase = Done;
        } else if (phase == Int && is(j, C_POINT)) {
          if (j == kColumns) return {300};
          is_real = true;
          phase = Frac;
          ++j;
        } else if (is_exponent_letter(j)) {
          if (j == kColumns) return {300};
          is_real = true;
          is_double = is(j, C_D);
          phase = Exp;
          ++j;
        } else {
          return {phase == Int ? word{302} : word{303}, j};
        }
      } else {
        if (digit_[j] >= 0) {
          exponent = 10 * exponent + digit_[j];
          if (exponent > kMaxExponent) return {304};
        } else if (is(j, C_PLUS) || is(j, C_MINUS)) {
          exp_negative = is(j, C_MINUS);
        } else if (blank_[j] || is_delimiter(j)) {
          phase = Done;
          continue;
        } else {
          return {303, j};
        }
        ++j;
      }
    }
    col = j;
    delim_ = false;
    if (!is_real) return integer(dg, negative);
    return real(dg, fraction, exp_negative ? -exponent : exponent, negative, is_double);
  }

  Fault integer(const Digits& dg, bool negative) {
    if (dg.dropped > 0) return {301};
    word v = 0;
    for (int i = 0; i < dg.kept; ++i) {
      if (v > c_.INTLIM) return {301};
      v = 10 * v + dg.d[static_cast<std::size_t>(i)];
    }
    put(kTypeInt);
    put(negative ? -v : v);
    return {};
  }

  Fault real(const Digits& dg, int fraction, word exponent, bool negative, bool is_double) {
    const double m = dg.mantissa();
    const int p = exponent - fraction + dg.dropped;
    if (m != 0.0 && (p < c_.IEXPMN || p > c_.IEXPMX || p + dg.kept < c_.IEXPMN || p + dg.kept > c_.IEXPMX))
      return {304};
    double v = m == 0.0 ? 0.0 : scale10(m, p);
    if (negative) v = -v;
    if (is_double) {
      std::array<word, 2> w;
      std::memcpy(w.data(), &v, sizeof v);
      put(kTypeDouble);
      put(w[0]);
      put(w[1]);
    } else {
      put(kTypeReal);
      put(real_word(static_cast<float>(v)));
    }
    return {};
  }

  const CHRCOM& c_;
  std::array<word, kColumns + 2> code_{};
  std::array<int, kColumns + 2> digit_{};
  std::array<bool, kColumns + 2> blank_{};
  std::span<word> out_;
  word size_;
  word n_ = 0;
  bool delim_ = true;   // the last item was a delimiter
  bool paren_ = false;  // that delimiter was ")"
};

}  // namespace

void FRCARD(std::span<const word> card, std::span<word> items, word size) {
  if (size > static_cast<word>(items.size())) size = static_cast<word>(items.size());
  CardScanner scan(card, items, size);
  const Fault f = scan.run();
  if (f.msg == 0) return;
  print_fault(f);
  sysw().IERFLG = 1;
  if (!items.empty()) items[0] = 0;
}

}  // namespace zephsol
