// Writes the Fortran reference program for the formatter test from the table
// of cases: one WRITE per case, each after a marker line "@@ <case number>".
// Usage: fortfmt_gen CASES_FILE OUTPUT_F90
#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>

#include "fortfmt_cases.h"

namespace {

using fortfmt_cases::Value;

// A Fortran real constant of the given kind letter ('d' or 'e').
std::string real_constant(const std::string& v, char letter, const std::string& prefix) {
  if (v == "inf") return prefix + "inf";
  if (v == "-inf") return "-" + prefix + "inf";
  if (v == "nan") return prefix + "nan";
  if (v == "-0") return prefix + "nz";
  std::string out = v;
  if (const auto e = out.find_first_of("eE"); e != std::string::npos) {
    out[e] = letter;
  } else {
    out += letter;
    out += '0';
  }
  return out;
}

std::string quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

std::string fortran_item(const Value& v) {
  switch (v.kind) {
    case 'I': {
      const long long n = std::stoll(v.text);
      if (n == INT32_MIN) return "(-2147483647 - 1)";  // 2147483648 itself is out of range
      return n >= INT32_MIN && n <= INT32_MAX ? v.text : v.text + "_8";
    }
    case 'D': return real_constant(v.text, 'd', "d");
    case 'R': return real_constant(v.text, 'e', "r");
    case 'S': return quoted(v.text);
    case 'W': return "transfer(" + quoted(v.text) + ", 0_4)";
    default: return v.text == "T" ? ".true." : ".false.";
  }
}

// The format as a Fortran character constant in double quotes.
std::string format_constant(const std::string& f) {
  std::string out = "\"";
  for (char c : f) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: fortfmt_gen CASES_FILE OUTPUT_F90\n";
    return 2;
  }
  try {
    const auto cases = fortfmt_cases::read_cases(argv[1]);
    std::ofstream out(argv[2]);
    out << "! Generated from the formatter case table; do not edit.\n"
           "program fortfmt_reference\n"
           "  implicit none\n"
           "  integer :: u\n"
           "  real(8) :: dzero, dinf, dnan, dnz\n"
           "  real(4) :: rzero, rinf, rnan, rnz\n"
           "  character(len=4096) :: path\n"
           "  call get_command_argument(1, path)\n"
           "  open(newunit=u, file=trim(path), status='replace', action='write')\n"
           "  dzero = 0; dinf = 1 / dzero; dnan = dzero / dzero; dnz = sign(dzero, -1d0)\n"
           "  rzero = 0; rinf = 1 / rzero; rnan = rzero / rzero; rnz = sign(rzero, -1e0)\n";
    for (std::size_t i = 0; i < cases.size(); ++i) {
      out << "  write(u, '(A,I0)') '@@ ', " << i + 1 << "\n";
      out << "  write(u, " << format_constant(cases[i].format) << ")";
      for (std::size_t k = 0; k < cases[i].items.size(); ++k)
        out << (k == 0 ? " " : ", ") << fortran_item(cases[i].items[k]);
      out << "\n";
    }
    out << "  close(u)\nend program fortfmt_reference\n";
    if (!out) throw std::runtime_error(std::string("cannot write ") + argv[2]);
  } catch (const std::exception& e) {
    std::cerr << "fortfmt_gen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
