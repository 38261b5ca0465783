// The Fortran-style formatter: byte-for-byte agreement with the Fortran
// run-time on a table of cases, and the behaviours the table cannot show
// (argument kinds, format forms, errors, units).
#include "zephsol/exec/fortfmt.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fortran/fortfmt_cases.h"
#include "zephsol/exec/words.h"

namespace zephsol {
namespace {

FmtArg to_arg(const fortfmt_cases::Value& v) {
  auto real = [](const std::string& t) {
    if (t == "inf") return std::numeric_limits<double>::infinity();
    if (t == "-inf") return -std::numeric_limits<double>::infinity();
    if (t == "nan") return std::numeric_limits<double>::quiet_NaN();
    if (t == "-0") return -0.0;
    return std::strtod(t.c_str(), nullptr);
  };
  switch (v.kind) {
    case 'I': return FmtArg(std::stoll(v.text));
    case 'D': return FmtArg(real(v.text));
    case 'R':
      if (std::isalpha(static_cast<unsigned char>(v.text.back())) || v.text == "-0")
        return FmtArg(static_cast<float>(real(v.text)));
      return FmtArg(std::strtof(v.text.c_str(), nullptr));
    case 'S': return FmtArg(std::string_view(v.text));
    case 'W': return FmtArg(name_word(v.text));
    default: return FmtArg(v.text == "T" ? 1 : 0);
  }
}

std::string joined(const std::vector<std::string>& recs) {
  std::string s;
  for (const auto& r : recs) s += r + "\n";
  return s;
}

// The records of each case in the reference file, by case number.
std::map<int, std::string> read_expected(const std::string& path) {
  std::ifstream in(path);
  std::map<int, std::string> out;
  std::string line;
  int current = 0;
  while (std::getline(in, line)) {
    if (line.rfind("@@ ", 0) == 0) {
      current = std::stoi(line.substr(3));
      out[current];
    } else {
      out[current] += line + "\n";
    }
  }
  return out;
}

TEST(FortfmtReference, AgreesWithFortranRunTime) {
#ifndef ZEPH_FORTFMT_EXPECTED
  GTEST_SKIP() << "gfortran was not found when the tests were configured";
#else
  const auto cases = fortfmt_cases::read_cases(ZEPH_FORTFMT_CASES);
  const auto expected = read_expected(ZEPH_FORTFMT_EXPECTED);
  ASSERT_GE(cases.size(), 300u);
  ASSERT_EQ(expected.size(), cases.size());
  int failures = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    std::vector<FmtArg> args;
    for (const auto& v : cases[i].items) args.push_back(to_arg(v));
    const std::string got = joined(fortran_records(cases[i].format, args));
    const std::string& want = expected.at(static_cast<int>(i) + 1);
    if (got != want) {
      ++failures;
      std::string items;
      for (const auto& v : cases[i].items) items += std::string(" ") + v.kind + ":" + v.text;
      ADD_FAILURE() << "case " << i + 1 << " " << cases[i].format << items << "\n  want [" << want << "]\n  got  ["
                    << got << "]";
    }
  }
  EXPECT_EQ(failures, 0);
#endif
}

}  // namespace
}  // namespace zephsol
