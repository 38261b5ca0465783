// Fortran-style formatted output: one formatter for every printed line.
//
// A format is given as the text writes it, with or without the outer
// parentheses: "(1X,I6,F9.3,1P,E14.6,A4,Z10,3X,'TEXT',2(I4,1X)/)".
// Supported: I, F, E, ES, G, A, Z, L edit descriptors with widths (Iw.m,
// Ew.dEe), nX, Tn/TLn/TRn, nP scale, slash, quoted literals, repeat counts
// and nested repeat groups, colon, and format reversion when the arguments
// outlast the format (a new record, resuming at the last top-level group).
// A field too narrow for its value is filled with '*'. Rounding is to nearest
// on the exact decimal value of the binary number, ties to even, as the
// platform's Fortran run-time does; negative zero keeps its sign. A float
// argument is edited as a REAL, from its float value. A malformed format, or
// arguments given to a format without data edit descriptors (a fault of the
// calling code), prints a line naming the format and ends the run with
// program-logic message 909.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zephsol {

// One value handed to a format. An integer under an A descriptor prints the
// characters of its word (four per word); under Z it shows its 32-bit word
// (64 bits only when the value needs them), a REAL its float bits. An
// argument that a descriptor cannot show (a text under I, F or Z, a number
// under F given as an integer, ...) fills the field with '*'. Under L an
// integer is true when it is not zero. An integer made by whole() is never
// shown as '*' under I: when it is wider than its field it is written in
// the width it needs (figures such as sizes and counts, which a reader
// needs whole).
class FmtArg {
 public:
  enum class Kind { Int, Real, Double, Text };
  static FmtArg whole(std::int64_t v) {
    FmtArg a(static_cast<long long>(v));
    a.whole_ = true;
    return a;
  }
  FmtArg(int v) : kind_(Kind::Int), i_(v) {}
  FmtArg(long v) : kind_(Kind::Int), i_(v) {}
  FmtArg(long long v) : kind_(Kind::Int), i_(v) {}
  FmtArg(unsigned v) : kind_(Kind::Int), i_(v) {}
  FmtArg(unsigned long v) : kind_(Kind::Int), i_(static_cast<std::int64_t>(v)) {}
  FmtArg(unsigned long long v) : kind_(Kind::Int), i_(static_cast<std::int64_t>(v)) {}
  FmtArg(float v) : kind_(Kind::Real), d_(v) {}
  FmtArg(double v) : kind_(Kind::Double), d_(v) {}
  FmtArg(std::string_view v) : kind_(Kind::Text), s_(v) {}
  FmtArg(const char* v) : kind_(Kind::Text), s_(v) {}
  FmtArg(const std::string& v) : kind_(Kind::Text), s_(v) {}

  Kind kind() const { return kind_; }
  std::int64_t as_int() const { return i_; }
  double as_double() const { return d_; }
  std::string_view as_text() const { return s_; }
  bool is_whole() const { return whole_; }

 private:
  Kind kind_;
  std::int64_t i_ = 0;
  double d_ = 0.0;
  std::string_view s_;
  bool whole_ = false;
};

// The records (lines) that a formatted WRITE of args under format produces.
std::vector<std::string> fortran_records(std::string_view format, std::span<const FmtArg> args);
std::vector<std::string> fortran_records(std::string_view format, std::initializer_list<FmtArg> args = {});

// A format that yields one record: that record. (More records are joined by '\n'.)
std::string fline(std::string_view format, std::initializer_list<FmtArg> args = {});

// A formatted WRITE to a unit: every record written as one line.
void fwrite_unit(int unit, std::string_view format, std::initializer_list<FmtArg> args = {});
void fwrite_unit(int unit, std::string_view format, std::span<const FmtArg> args);

}  // namespace zephsol
