// Fortran-style formatted output.
//
// A format text is parsed once into a flat list of items (edit descriptors,
// literals, positioning, group brackets) and kept in a small per-thread
// cache keyed by the text. A WRITE then walks the items, consuming one
// argument per data edit descriptor, building records column by column.
//
// Numeric fields are edited from the exact decimal expansion of the binary
// value, rounded to nearest with ties to even, which is what the platform's
// Fortran run-time gives (0.125 under F5.2 is " 0.12", 2.5 under F3.0 " 2.").
#include "zephsol/exec/fortfmt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <memory>
#include <unordered_map>
#include <utility>

#include "zephsol/exec/msg.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/words.h"

namespace zephsol {
namespace {

// ---------------------------------------------------------------------------
// Parsed formats

enum class Op : std::uint8_t {
  I, F, E, ES, G, A, Z, L,           // data edit descriptors
  Lit, X, T, TL, TR, Slash, Colon,  // control and literal items
  Scale, Open, Close,
};

constexpr bool is_data(Op op) { return op <= Op::L; }

struct Item {
  Op op = Op::I;
  int rep = 1;   // repeat count of a data descriptor, slash or group
  int w = -1;    // field width (-1: not given, only for A)
  int d = -1;    // digits after the point, or minimum digits of Iw.m and Zw.m
  int e = 0;     // exponent digits of Ew.dEe (0: not given)
  int n = 0;     // X/T/TL/TR count, scale factor, or partner index of a bracket
  std::string text;  // literal characters
};

Item control(Op op, int rep, int n, std::string text = {}) {
  Item it;
  it.op = op;
  it.rep = rep;
  it.n = n;
  it.text = std::move(text);
  return it;
}

struct Format {
  std::string text;  // as given
  std::vector<Item> items;
  std::size_t reversion = 0;  // where a format restarts when arguments remain
  bool has_data = false;
  bool reversion_has_data = false;  // whether the restarted part consumes arguments
};

// A malformed format, or arguments it cannot take, is a fault of the
// calling code: a line naming the format on the listing and the error log,
// then program-logic message 909 (the column of the format where it was
// found, 0 when it is about the arguments) ends the run. A fault met while
// that message is being printed ends the process at once.
[[noreturn]] void format_fault(std::string_view format, std::string_view why, std::size_t at) {
  static bool faulting = false;
  if (!faulting) {
    faulting = true;
    const std::string line = "0*** FORMAT ERROR, " + std::string(why) + ": " + std::string(format);
    for (int unit : {kListing, kErrorLog}) unit_write_line(unit, line);
    MSGPUT(-909, static_cast<word>(at), 0);
  }
  end_process(1);
}

// Bound of the digits after the point and of the scale factor, which keeps
// every edited number within the conversion buffers below.
constexpr int kMaxDigits = 400;

// Letters of the data edit descriptors (ES is E followed by S).
constexpr std::array<std::pair<char, Op>, 7> kDescriptors{{
    {'I', Op::I}, {'F', Op::F}, {'E', Op::E}, {'G', Op::G}, {'A', Op::A}, {'Z', Op::Z}, {'L', Op::L},
}};

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  Format parse() {
    std::string_view body = s_;
    trim(body);
    if (!body.empty() && body.front() == '(' && closing_of(body, 0) == body.size() - 1)
      body = body.substr(1, body.size() - 2);
    s_ = body;
    pos_ = 0;
    Format f;
    f.text = whole_;
    parse_list(f, 0);
    if (pos_ != s_.size()) fail("unbalanced ')'");
    for (std::size_t i = 0; i < f.items.size(); ++i) {
      f.has_data = f.has_data || is_data(f.items[i].op);
      f.reversion_has_data = f.reversion_has_data || (i >= f.reversion && is_data(f.items[i].op));
    }
    return f;
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
  std::string_view whole_ = s_;

  [[noreturn]] void fail(const char* why) const { format_fault(whole_, why, pos_ + 1); }

  static void trim(std::string_view& v) {
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.front()))) v.remove_prefix(1);
    while (!v.empty() && std::isspace(static_cast<unsigned char>(v.back()))) v.remove_suffix(1);
  }

  // Index of the ')' closing the '(' at open, skipping quoted literals; npos if none.
  static std::size_t closing_of(std::string_view v, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < v.size(); ++i) {
      const char c = v[i];
      if (c == '\'' || c == '"') {
        for (++i; i < v.size(); ++i)
          if (v[i] == c) {
            if (i + 1 < v.size() && v[i + 1] == c) ++i;
            else break;
          }
      } else if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        return i;
      }
    }
    return std::string_view::npos;
  }

  void skip_blanks() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  char peek() {
    skip_blanks();
    return pos_ < s_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(s_[pos_]))) : '\0';
  }
  bool digit_next() { return std::isdigit(static_cast<unsigned char>(peek())) != 0; }

  int number() {
    if (!digit_next()) fail("number expected");
    int v = 0;
    while (digit_next()) {
      v = v * 10 + (s_[pos_++] - '0');
      if (v > 1'000'000) fail("number too large");
    }
    return v;
  }
  int optional_number(int absent) { return digit_next() ? number() : absent; }

  void parse_list(Format& f, int depth) {
    for (;;) {
      const char c = peek();
      if (c == '\0') {
        if (depth > 0) fail("missing ')'");
        return;
      }
      if (c == ')') {
        if (depth == 0) return;
        ++pos_;
        return;
      }
      if (c == ',') {
        ++pos_;
        continue;
      }
      parse_item(f, depth);
    }
  }

  void parse_item(Format& f, int depth) {
    int sign = 1;
    if (peek() == '-' || peek() == '+') {
      sign = s_[pos_++] == '-' ? -1 : 1;
      if (!digit_next()) fail("number expected after sign");
    }
    const bool counted = digit_next();
    const int count = counted ? number() : 1;
    const char c = peek();
    if (sign < 0 && c != 'P') fail("a sign is only allowed before P");
    if (c == 'P') {
      ++pos_;
      if (!counted) fail("P needs a scale factor");
      if (count > kMaxDigits) fail("scale factor too large");
      f.items.push_back(control(Op::Scale, 1, sign * count));
    } else if (c == 'X') {
      ++pos_;
      f.items.push_back(control(Op::X, 1, count));
    } else if (c == '/') {
      ++pos_;
      f.items.push_back(control(Op::Slash, count, 0));
    } else if (c == '(') {
      ++pos_;
      const std::size_t open = f.items.size();
      if (depth == 0) f.reversion = open;
      f.items.push_back(control(Op::Open, count, 0));
      parse_list(f, depth + 1);
      if (pos_ > s_.size() || s_[pos_ - 1] != ')') fail("missing ')'");
      f.items[open].n = static_cast<int>(f.items.size());
      f.items.push_back(control(Op::Close, 1, static_cast<int>(open)));
    } else if (counted && c != '\'' && c != '"' && !std::isalpha(static_cast<unsigned char>(c))) {
      fail("edit descriptor expected after a count");
    } else if (c == ':') {
      ++pos_;
      f.items.push_back(control(Op::Colon, 1, 0));
    } else if (c == '\'' || c == '"') {
      if (counted) fail("a literal takes no repeat count");
      f.items.push_back(control(Op::Lit, 1, 0, literal()));
    } else {
      parse_descriptor(f, count);
    }
  }

  std::string literal() {
    const char q = s_[pos_++];
    std::string text;
    for (;;) {
      if (pos_ >= s_.size()) fail("unterminated literal");
      const char c = s_[pos_++];
      if (c == q) {
        if (pos_ < s_.size() && s_[pos_] == q) ++pos_;
        else return text;
      }
      text.push_back(c);
    }
  }

  void parse_descriptor(Format& f, int rep) {
    const char c = peek();
    ++pos_;
    Item it = control(Op::I, rep, 0);
    if (c == 'T') {
      const char next = peek();
      it.op = next == 'L' ? Op::TL : next == 'R' ? Op::TR : Op::T;
      if (it.op != Op::T) ++pos_;
      it.n = number();
      if (it.op == Op::T && it.n < 1) fail("T needs a column of 1 or more");
      f.items.push_back(it);
      return;
    }
    const auto* entry = std::find_if(kDescriptors.begin(), kDescriptors.end(),
                                     [c](const auto& d) { return d.first == c; });
    if (entry == kDescriptors.end()) fail("unknown edit descriptor");
    it.op = entry->second;
    if (it.op == Op::E && peek() == 'S') {
      ++pos_;
      it.op = Op::ES;
    }
    it.w = optional_number(-1);
    if (it.w < 0 && it.op != Op::A) fail("field width expected");
    if (peek() == '.') {
      ++pos_;
      it.d = number();
    }
    const bool real = it.op == Op::F || it.op == Op::E || it.op == Op::ES || it.op == Op::G;
    if (real && it.d < 0) fail("digits after the point expected");
    if ((it.op == Op::E || it.op == Op::ES || it.op == Op::G) && peek() == 'E') {
      ++pos_;
      it.e = number();
      if (it.e < 1) fail("exponent digits of 1 or more expected");
    }
    if (it.op == Op::A || it.op == Op::L) it.d = -1;
    if (real && it.d > kMaxDigits) fail("too many digits");
    f.items.push_back(it);
  }
};

// One parsed format per distinct text; formats are nearly always literals of
// the code, so the cache stays small (it is emptied if it ever grows large).
std::shared_ptr<const Format> parsed(std::string_view text) {
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  thread_local std::unordered_map<std::string, std::shared_ptr<const Format>, Hash, std::equal_to<>> cache;
  if (auto it = cache.find(text); it != cache.end()) return it->second;
  auto f = std::make_shared<const Format>(Parser(text).parse());
  if (cache.size() >= 4096) cache.clear();
  cache.emplace(std::string(text), f);
  return f;
}

// ---------------------------------------------------------------------------
// Field editing

std::string stars(int w) { return std::string(static_cast<std::size_t>(std::max(w, 1)), '*'); }

// s right-justified in w columns, or stars when it does not fit (w = 0: as is).
std::string justify(std::string s, int w) {
  if (w == 0) return s;
  const auto width = static_cast<std::size_t>(w);
  if (s.size() > width) return stars(w);
  s.insert(0, width - s.size(), ' ');
  return s;
}

std::string edit_int(std::int64_t v, int w, int m) {
  const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::array<char, 24> buf;
  std::string digits(buf.data(), std::to_chars(buf.data(), buf.data() + buf.size(), mag).ptr);
  if (m == 0 && v == 0) digits.clear();
  if (m > 0 && digits.size() < static_cast<std::size_t>(m)) digits.insert(0, m - digits.size(), '0');
  if (v < 0) digits.insert(0, 1, '-');
  return justify(std::move(digits), w);
}

// Infinity and NaN as the Fortran run-time prints them in a field of w.
std::string edit_nonfinite(double x, int w) {
  if (std::isnan(x)) return w == 0 ? "NaN" : w < 3 ? stars(w) : justify("NaN", w);
  const bool neg = std::signbit(x);
  if (w == 0) return neg ? "-Inf" : "Inf";
  if (w < 3 || (neg && w < 4)) return stars(w);
  const std::string word = w >= (neg ? 9 : 8) ? "Infinity" : "Inf";
  return justify(neg ? "-" + word : word, w);
}

// Exact decimal digits of |x| (finite, not zero) rounded to n >= 1 significant
// digits: x ~ 0.D * 10^exp10. Returns the exponent.
int significant_digits(double a, int n, std::string& digits) {
  std::array<char, 512> buf;
  const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::scientific, n - 1);
  const std::string_view s(buf.data(), static_cast<std::size_t>(r.ptr - buf.data()));
  const std::size_t epos = s.find('e');
  digits.clear();
  for (char c : s.substr(0, epos))
    if (c != '.') digits.push_back(c);
  int x = 0;
  const std::string_view ex = s.substr(epos + 1);
  std::from_chars(ex.data() + (ex[0] == '+' ? 1 : 0), ex.data() + ex.size(), x);
  return x + 1;
}

// The digits of round(|x| * 10^p), no leading zeros ("0" for zero).
std::string scaled_integer(double a, int p) {
  if (a == 0) return "0";
  std::string out;
  if (p >= 0) {
    static thread_local std::array<char, 1200> buf;
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), a, std::chars_format::fixed, p);
    for (const char* c = buf.data(); c != r.ptr; ++c)
      if (*c != '.' && !(out.empty() && *c == '0')) out.push_back(*c);
    return out.empty() ? "0" : out;
  }
  // Rounding to a position left of the point: by significant digits.
  std::string probe;
  const int ilen = significant_digits(a, 40, probe);
  const int n = ilen + p;
  if (n < 0) return "0";
  if (n == 0) {  // |x| below 10^-p: rounds to 0 or one unit (ties to even: 0)
    const bool above_half = probe[0] > '5' || (probe[0] == '5' && probe.find_first_not_of('0', 1) != std::string::npos);
    return above_half ? "1" : "0";
  }
  const int exp10 = significant_digits(a, n, out);
  out.append(static_cast<std::size_t>(exp10 - ilen), '0');
  return out;
}

// Fw.d with scale factor k: the value times 10^k, d digits after the point.
std::string edit_fixed(double x, int w, int d, int k) {
  if (!std::isfinite(x)) return edit_nonfinite(x, w);
  std::string digits = scaled_integer(std::fabs(x), d + k);
  if (digits.size() < static_cast<std::size_t>(d) + 1) digits.insert(0, d + 1 - digits.size(), '0');
  const std::size_t ilen = digits.size() - static_cast<std::size_t>(d);
  std::string s = std::signbit(x) ? "-" : "";
  const bool zero_int = ilen == 1 && digits[0] == '0';
  // The zero before the point is optional; it is left out when the field
  // (or a width-0 field) has no room for it.
  const std::size_t full = s.size() + digits.size() + 1;
  const bool drop_zero = zero_int && d > 0 && (w == 0 || full > static_cast<std::size_t>(w));
  s.append(digits, drop_zero ? 1 : 0, ilen - (drop_zero ? 1 : 0));
  s.push_back('.');
  s.append(digits, ilen);
  return justify(std::move(s), w);
}

// Exponent part: E+dd, +ddd beyond 99 (no letter), or E and e digits if given.
bool exponent_text(int ex, int e, std::string& out) {
  const int a = std::abs(ex);
  std::string digits = std::to_string(a);
  const char sign = ex < 0 ? '-' : '+';
  if (e > 0) {
    if (digits.size() > static_cast<std::size_t>(e)) return false;
    out += 'E';
    out += sign;
    out.append(e - digits.size(), '0');
  } else if (a <= 99) {
    out += 'E';
    out += sign;
    if (a < 10) out += '0';
  } else if (a <= 999) {
    out += sign;
  } else {
    return false;
  }
  out += digits;
  return true;
}

// Ew.d[Ee] with scale factor k, or ESw.d[Ee] (one non-zero digit before the point).
std::string edit_exponential(double x, int w, int d, int e, int k, bool sci) {
  if (!std::isfinite(x)) return edit_nonfinite(x, w);
  if (!sci && (k <= -d || k > d + 1)) return stars(w);
  const int lead = sci ? 1 : std::max(k, 0);
  const int n = sci ? d + 1 : (k > 0 ? d + 1 : d + k);
  std::string digits;
  int shown = 0;
  if (x == 0) {
    digits.assign(static_cast<std::size_t>(n), '0');
  } else {
    const int exp10 = significant_digits(std::fabs(x), n, digits);
    shown = exp10 - (sci ? 1 : k);
  }
  std::string s = std::signbit(x) ? "-" : "";
  if (lead > 0) {
    s.append(digits, 0, lead);
    s.push_back('.');
    s.append(digits, lead);
  } else {
    s += "0.";
    s.append(static_cast<std::size_t>(-k), '0');
    s += digits;
  }
  if (!exponent_text(shown, e, s)) return stars(w);
  if (lead == 0 && w > 0 && s.size() > static_cast<std::size_t>(w)) s.erase(s.find('0'), 1);
  return justify(std::move(s), w);
}

// Gw.d[Ee]: F editing with d significant digits and blanks where the exponent
// would stand when the magnitude suits (0.1 <= |x| < 10^d after rounding),
// else E editing with the scale factor.
std::string edit_general(double x, int w, int d, int e, int k) {
  if (!std::isfinite(x)) return edit_nonfinite(x, w);
  int s = 1;
  if (x != 0) {
    if (d == 0) return edit_exponential(x, w, d, e, k, false);
    std::string digits;
    s = significant_digits(std::fabs(x), d, digits);
    if (s < 0 || s > d) return edit_exponential(x, w, d, e, k, false);
  }
  const int blanks = e > 0 ? e + 2 : 4;
  if (w > 0 && w - blanks < 1) return stars(w);
  std::string f = edit_fixed(x, w == 0 ? 0 : w - blanks, d - s, 0);
  if (f.front() == '*') return stars(w);
  f.append(static_cast<std::size_t>(blanks), ' ');
  return f;
}

std::string edit_hex(std::uint64_t bits, int w, int m) {
  std::array<char, 20> buf;
  std::string s(buf.data(), std::to_chars(buf.data(), buf.data() + buf.size(), bits, 16).ptr);
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
  if (m == 0 && bits == 0) s.clear();
  if (m > 0 && s.size() < static_cast<std::size_t>(m)) s.insert(0, m - s.size(), '0');
  return justify(std::move(s), w);
}

// The bits that Z shows: a 32-bit word for an INTEGER or REAL, 64 for a double.
std::uint64_t arg_bits(const FmtArg& a) {
  switch (a.kind()) {
    case FmtArg::Kind::Int: {
      const std::int64_t v = a.as_int();
      if (v >= INT32_MIN && v <= static_cast<std::int64_t>(UINT32_MAX)) return static_cast<std::uint32_t>(v);
      return static_cast<std::uint64_t>(v);
    }
    case FmtArg::Kind::Real: return std::bit_cast<std::uint32_t>(static_cast<float>(a.as_double()));
    default: return std::bit_cast<std::uint64_t>(a.as_double());
  }
}

std::string edit_text(std::string_view s, int w) {
  if (w < 0) return std::string(s);
  const auto width = static_cast<std::size_t>(w);
  if (s.size() >= width) return std::string(s.substr(0, width));
  return std::string(width - s.size(), ' ') + std::string(s);
}

bool is_real(const FmtArg& a) { return a.kind() == FmtArg::Kind::Real || a.kind() == FmtArg::Kind::Double; }

// One data edit descriptor applied to one argument. An argument of a kind the
// descriptor cannot show fills the field with '*'.
std::string edit(const Item& it, const FmtArg& a, int scale) {
  using K = FmtArg::Kind;
  const bool num = is_real(a);
  switch (it.op) {
    case Op::I:
      if (a.kind() != K::Int) return stars(it.w);
      if (a.is_whole()) {
        std::string s = edit_int(a.as_int(), 0, it.d);
        return s.size() > static_cast<std::size_t>(it.w) ? s : justify(std::move(s), it.w);
      }
      return edit_int(a.as_int(), it.w, it.d);
    case Op::F: return num ? edit_fixed(a.as_double(), it.w, it.d, scale) : stars(it.w);
    case Op::E:
    case Op::ES: return num ? edit_exponential(a.as_double(), it.w, it.d, it.e, scale, it.op == Op::ES) : stars(it.w);
    case Op::G:
      if (a.kind() == K::Int) return edit_int(a.as_int(), it.w, -1);
      if (a.kind() == K::Text) return edit_text(a.as_text(), it.w);
      return edit_general(a.as_double(), it.w, it.d, it.e, scale);
    case Op::A:
      if (a.kind() == K::Text) return edit_text(a.as_text(), it.w);
      if (a.kind() == K::Int) return edit_text(word_name(static_cast<word>(a.as_int())), it.w);
      return stars(it.w < 0 ? 4 : it.w);
    case Op::Z: return a.kind() == K::Text ? stars(it.w) : edit_hex(arg_bits(a), it.w, it.d);
    case Op::L: return a.kind() == K::Int ? justify(a.as_int() != 0 ? "T" : "F", it.w) : stars(it.w);
    default: return {};
  }
}

// ---------------------------------------------------------------------------
// Records

class RecordWriter {
 public:
  void put(std::string_view field) {
    if (pos_ > rec_.size()) rec_.resize(pos_, ' ');
    rec_.replace(pos_, std::min(field.size(), rec_.size() - pos_), field);
    pos_ += field.size();
  }
  void move_to(std::size_t col) { pos_ = col; }
  void move_by(long n) { pos_ = n < 0 && static_cast<std::size_t>(-n) > pos_ ? 0 : pos_ + n; }
  void end_record() {
    records_.push_back(std::move(rec_));
    rec_.clear();
    pos_ = 0;
  }
  std::vector<std::string> take() { return std::move(records_); }

 private:
  std::vector<std::string> records_;
  std::string rec_;
  std::size_t pos_ = 0;
};

std::vector<std::string> run(const Format& f, std::span<const FmtArg> args) {
  if (!args.empty() && !f.has_data)
    format_fault(f.text, "arguments given to a format without data edit descriptors", 0);
  struct Level {
    std::size_t open;
    int left;
  };
  std::vector<Level> groups;
  RecordWriter out;
  std::size_t next = 0;
  int scale = 0;
  std::size_t i = 0;
  for (;;) {
    if (i == f.items.size()) {
      if (next == args.size()) break;
      if (!f.reversion_has_data)
        format_fault(f.text, "arguments left for a format part without data edit descriptors", 0);
      out.end_record();  // reversion: a new record, back to the last top-level group
      i = f.reversion;
      continue;
    }
    const Item& it = f.items[i];
    if (is_data(it.op)) {
      for (int r = 0; r < it.rep; ++r) {
        if (next == args.size()) {
          out.end_record();
          return out.take();
        }
        out.put(edit(it, args[next++], scale));
      }
      ++i;
      continue;
    }
    switch (it.op) {
      case Op::Lit: out.put(it.text); break;
      case Op::X:
      case Op::TR: out.move_by(it.n); break;
      case Op::TL: out.move_by(-static_cast<long>(it.n)); break;
      case Op::T: out.move_to(static_cast<std::size_t>(it.n) - 1); break;
      case Op::Slash:
        for (int r = 0; r < it.rep; ++r) out.end_record();
        break;
      case Op::Colon:
        if (next == args.size()) {
          out.end_record();
          return out.take();
        }
        break;
      case Op::Scale: scale = it.n; break;
      case Op::Open: groups.push_back({i, it.rep}); break;
      case Op::Close:
        if (--groups.back().left > 0) {
          i = groups.back().open + 1;
          continue;
        }
        groups.pop_back();
        break;
      default: break;
    }
    ++i;
  }
  out.end_record();
  return out.take();
}

}  // namespace

std::vector<std::string> fortran_records(std::string_view format, std::span<const FmtArg> args) {
  const auto f = parsed(format);
  return run(*f, args);
}

std::vector<std::string> fortran_records(std::string_view format, std::initializer_list<FmtArg> args) {
  return fortran_records(format, std::span<const FmtArg>(args.begin(), args.size()));
}

std::string fline(std::string_view format, std::initializer_list<FmtArg> args) {
  const auto recs = fortran_records(format, args);
  std::string line;
  for (std::size_t r = 0; r < recs.size(); ++r) {
    if (r > 0) line += '\n';
    line += recs[r];
  }
  return line;
}

void fwrite_unit(int unit, std::string_view format, std::span<const FmtArg> args) {
  for (const std::string& rec : fortran_records(format, args)) unit_write_line(unit, rec);
}

void fwrite_unit(int unit, std::string_view format, std::initializer_list<FmtArg> args) {
  fwrite_unit(unit, format, std::span<const FmtArg>(args.begin(), args.size()));
}

}  // namespace zephsol
