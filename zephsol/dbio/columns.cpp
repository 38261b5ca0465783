// Packed matrix columns over the string records.
#include "zephsol/dbio/columns.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/strings.h"

namespace zephsol {

namespace {

using recbody::fatal;
using recbody::name_of;

constexpr word kNoLimit = 16777215;  // a whole column's last row

template <class T>
constexpr word precision_of() {
  return std::is_same_v<T, float> ? 1 : 2;
}

// The caller's type (its magnitude for readers) must be 1 or 2 and match
// the values handed over; the stored type must be 1 or 2.
template <class T>
void check_types(const MCB& mcb, word caller) {
  const word t = caller < 0 ? -caller : caller;
  if (t != 1 && t != 2) fatal(3053, name_of(mcb.file), caller);
  if (t != precision_of<T>()) fatal(3053, name_of(mcb.file), caller);
  if (mcb.type != 1 && mcb.type != 2) fatal(3053, name_of(mcb.file), mcb.type);
}

constexpr word write_code(word caller, word stored) { return 2 * caller + stored - 2; }
constexpr word read_code(word caller, word stored) {
  return 2 * (caller < 0 ? -caller : caller) + 4 * stored + (caller < 0 ? 1 : 0) - 5;
}
// Read codes 2, 4, 6 and 8 return terms negated.
constexpr bool negating(word code) { return code % 2 == 0; }

bool is_zero(float v) { return v == 0.0f; }
// A double is zero when its high-order half is a single-precision zero.
bool is_zero(double v) { return (static_cast<std::uint64_t>(std::bit_cast<std::uint64_t>(v) >> 32) & 0x7FFFFFFFu) == 0; }


SCB& begin_read(const MCB& mcb, SCB& s) {
  s.file = mcb.file;
  s.type = mcb.type;
  s.flag = 1;
  NXTSTR(s);
  return s;
}

void drain(SCB& s) {
  while (s.flag >= 0) NXTSTR(s);
}

void account(MCB& mcb, const SCB& s) {
  mcb.maxcol = std::max(mcb.maxcol, s.total);
  mcb.density += s.total;
}

template <class T>
void colput(MCB& mcb, word type, const T* values, word first, word last) {
  check_types<T>(mcb, type);
  SCB& s = shared_scb(1);
  s.file = mcb.file;
  s.type = mcb.type;
  s.flag = 1;
  mcb.cols += 1;
  PUTSTR(s);
  const auto value = [&](word r) { return values[r - first]; };
  for (word r = first; r <= last;) {
    while (r <= last && is_zero(value(r))) ++r;
    if (r > last) break;
    s.row = r;
    word n = 0;
    while (n < s.room && r <= last && !is_zero(value(r))) store_term(s.type, s.slot, n++, value(r++));
    s.given = n;
    if (r > last) break;  // the end call writes the last string
    PUTSTR(s);
  }
  s.flag = -1;
  PUTSTR(s);
  account(mcb, s);
}

template <class T>
void colget(MCB& mcb, word type, T* values, word& first, word& last, word& empty) {
  check_types<T>(mcb, type);
  const bool negate = negating(read_code(type, mcb.type));
  SCB& s = begin_read(mcb, shared_scb(1));
  empty = 1;
  const word limit = last >= 1 ? last : kNoLimit;
  for (;; NXTSTR(s)) {
    if (s.flag < 0) return;
    if (s.row > limit) {
      drain(s);
      return;
    }
    if (first < 1) first = s.row;
    if (s.row + s.room - 1 >= first) break;
  }
  const auto put = [&](word r, double v) { values[r - first] = static_cast<T>(negate ? -v : v); };
  word row = first;  // the next row of values
  word copied = first;
  for (;;) {
    for (; row < s.row; ++row) put(row, 0.0);
    const word stop = std::min(s.row + s.room - 1, limit);
    for (; row <= stop; ++row) put(row, string_term(s.type, s.slot, row - s.row));
    copied = stop;
    if (stop >= limit) break;
    NXTSTR(s);
    if (s.flag < 0 || s.row > limit) break;
  }
  empty = 0;
  if (last < 1)
    last = copied;
  else
    for (; row <= limit; ++row) put(row, 0.0);
  drain(s);
}

template <class T>
void coltrm(T value, word row, SCB& s) {
  if (s.row == 0) {
    s.row = row;
  } else if (row != s.row + s.given) {
    PUTSTR(s);
    s.row = row;
  }
  store_term(s.type, s.slot, 0, static_cast<double>(value));
  s.given += 1;
  if (s.given < s.room)
    s.slot += 1;
  else
    PUTSTR(s);
}

template <class T>
void trmnxt(T& value, word& row, SCB& s, word& end) {
  end = 0;
  row = s.row;
  const double v = string_term(s.type, s.slot, 0);
  value = static_cast<T>(negating(s.conv) ? -v : v);
  s.room -= 1;
  if (s.room > 0) {
    s.row += 1;
    s.slot += 1;
    return;
  }
  NXTSTR(s);
  if (s.flag < 0) end = 1;
}

}  // namespace

word density_of(std::int64_t count, std::int64_t rows, std::int64_t cols) noexcept {
  const std::int64_t cells = rows * cols;
  if (cells <= 0 || count <= 0) return 0;
  return static_cast<word>(std::min<std::int64_t>(count * 10000 / cells, 10000));
}

void COLPUT(MCB& mcb, word type, const float* values, word first, word last) { colput(mcb, type, values, first, last); }
void COLPUT(MCB& mcb, word type, const double* values, word first, word last) { colput(mcb, type, values, first, last); }

void COLGET(MCB& mcb, word type, float* values, word& first, word& last, word& empty) {
  colget(mcb, type, values, first, last, empty);
}
void COLGET(MCB& mcb, word type, double* values, word& first, word& last, word& empty) {
  colget(mcb, type, values, first, last, empty);
}

void COLBEG(MCB& mcb, word type, SCB& scb) {
  if (type != 1 && type != 2) fatal(3053, name_of(mcb.file), type);
  if (mcb.type != 1 && mcb.type != 2) fatal(3053, name_of(mcb.file), mcb.type);
  scb.type = mcb.type;
  scb.file = mcb.file;
  scb.conv = write_code(type, mcb.type);
  scb.flag = 1;
  mcb.cols += 1;
  PUTSTR(scb);
}

void COLTRM(float value, word row, SCB& scb) { coltrm(value, row, scb); }
void COLTRM(double value, word row, SCB& scb) { coltrm(value, row, scb); }

void COLEND(MCB& mcb, SCB& scb) {
  scb.flag = -1;
  PUTSTR(scb);
  account(mcb, scb);
}

void TRMBEG(MCB& mcb, word type, SCB& scb, word& empty) {
  const word t = type < 0 ? -type : type;
  if (t != 1 && t != 2) fatal(3053, name_of(mcb.file), type);
  if (mcb.type != 1 && mcb.type != 2) fatal(3053, name_of(mcb.file), mcb.type);
  scb.conv = read_code(type, mcb.type);
  begin_read(mcb, scb);
  empty = scb.flag < 0 ? 1 : 0;
}

void TRMNXT(float& value, word& row, SCB& scb, word& end) { trmnxt(value, row, scb, end); }
void TRMNXT(double& value, word& row, SCB& scb, word& end) { trmnxt(value, row, scb, end); }

void COLCPY(SCB& in, SCB& out, word neg) {
  const bool types_ok = (in.type == 1 || in.type == 2) && (out.type == 1 || out.type == 2);
  if (!types_ok) fatal(705, in.type, out.type);
  out.flag = 1;
  PUTSTR(out);
  in.flag = 1;
  NXTSTR(in);
  if (in.flag == 0) out.row = in.row;
  while (in.flag == 0) {
    for (word k = 0; k < in.room;) {
      const word n = std::min(out.room - out.given, in.room - k);
      for (word i = 0; i < n; ++i) {
        const double v = string_term(in.type, in.slot, k + i);
        store_term(out.type, out.slot, out.given + i, neg < 0 ? -v : v);
      }
      out.given += n;
      k += n;
      if (k < in.room) {  // the output string is full
        const word next_row = out.row + out.given;
        PUTSTR(out);
        out.row = next_row;
      }
    }
    const word next_row = in.row + in.room;
    NXTSTR(in);
    if (in.flag != 0) break;
    if (in.row == next_row && out.given < out.room) continue;
    PUTSTR(out);
    out.row = in.row;
  }
  out.flag = -1;
  PUTSTR(out);
}

}  // namespace zephsol
