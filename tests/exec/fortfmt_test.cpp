// The Fortran-style formatter: byte-for-byte agreement with the Fortran
// run-time on a table of cases, and the behaviours the table cannot show
// (argument kinds, format forms, errors, units).
#include "common/scratch.h"
#include "zephsol/exec/fortfmt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "fortran/fortfmt_cases.h"
#include "frame_support.h"
#include "zephsol/exec/units.h"
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

// Argument kinds the Fortran run-time would reject: the field fills with '*'.
// Words under A and Z, and integers under L, as the system passes them.
TEST(Fortfmt, ArgumentKinds) {
  struct Case {
    const char* format;
    FmtArg arg;
    const char* want;
  };
  const Case cases[] = {
      {"(I5)", FmtArg("abc"), "*****"},
      {"(I4)", FmtArg(1.5), "****"},
      {"(F6.2)", FmtArg(3), "******"},
      {"(E10.3)", FmtArg("x"), "**********"},
      {"(Z6)", FmtArg("x"), "******"},
      {"(L2)", FmtArg(2.0), "**"},
      {"(A)", FmtArg(2.0), "****"},
      {"(A4)", FmtArg(name_word("EST ")), "EST "},
      {"(A8)", FmtArg(name_word("EST")), "    EST "},
      {"(A2)", FmtArg(name_word("WORK")), "WO"},
      {"(L2)", FmtArg(-1), " T"},
      {"(L2)", FmtArg(0), " F"},
      {"(Z9)", FmtArg(0xFFFFFFFFu), " FFFFFFFF"},
      {"(Z9)", FmtArg(-2), " FFFFFFFE"},
      {"(Z9)", FmtArg(real_word(1.0f)), " 3F800000"},
      {"(Z9)", FmtArg(1.0f), " 3F800000"},
      {"(G8.2)", FmtArg(std::size_t{7}), "       7"},
      // A whole integer widens its I field instead of filling it with '*'.
      {"('X=',I8,'.')", FmtArg::whole(123456789), "X=123456789."},
      {"('X=',I8,'.')", FmtArg::whole(-12345678), "X=-12345678."},
      {"('X=',I8,'.')", FmtArg::whole(4294967296LL), "X=4294967296."},
      {"('X=',I8,'.')", FmtArg::whole(1234), "X=    1234."},
      {"(I8.6)", FmtArg::whole(12), "  000012"},
      {"(I8)", FmtArg(123456789), "********"},
  };
  for (const auto& c : cases) EXPECT_EQ(fline(c.format, {c.arg}), c.want) << c.format;
}

// The same format in different spellings edits alike.
TEST(Fortfmt, FormatSpellings) {
  const std::vector<std::vector<std::string>> same = {
      {"(I5,F6.2)", "I5,F6.2", "( i5 , f6.2 )", " (I5,F6.2) "},
      {"(1P6E16.7)", "(1P,6E16.7)", "(1p 6e16.7)"},
      {"(1PE14.6,E14.6)", "(1P,E14.6,E14.6)", "(1P,2E14.6)", "(1P2(E14.6))"},
      {"(2(I3,1X))", "(I3,1X,I3,1X)", "(2(I3,X))"},
  };
  for (const auto& group : same) {
    const std::string first = fline(group[0], {5, 1.25});
    for (const auto& f : group) EXPECT_EQ(fline(f, {5, 1.25}), first) << f;
  }
}

using FormatFaults = FrameTest;

// A malformed format, or arguments a format cannot take, is a fault of the
// program: a line naming the format, then program-logic 909 with the place
// in the format, an error end, never an exception.
TEST_F(FormatFaults, EndTheRunThroughTheFatalPath) {
  struct Case {
    const char* format;
    std::vector<FmtArg> args;
    const char* why;
  };
  const std::vector<Case> cases = {
      {"(I5", {1}, "missing ')'"},           {"(I5))", {1}, "unbalanced ')'"},
      {"(Q5)", {1}, "unknown edit descriptor"}, {"(F5)", {1}, "digits after the point expected"},
      {"(E8)", {1}, "digits after the point expected"}, {"('abc)", {1}, "unterminated literal"},
      {"(3'ab')", {1}, "a literal takes no repeat count"}, {"(T0)", {1}, "T needs a column of 1 or more"},
      {"(-1I5)", {1}, "a sign is only allowed before P"}, {"(P)", {1}, "P needs a scale factor"},
      {"(E10.3E0)", {1}, "exponent digits of 1 or more expected"}, {"(2:)", {1}, "edit descriptor expected after a count"},
      {"(1000P,F5.1)", {1.0}, "scale factor too large"},
      {"(' TEXT',5X)", {1}, "arguments given to a format without data edit descriptors"},
      {"(I3,('x'))", {1, 2}, "arguments left for a format part without data edit descriptors"},
  };
  for (const Case& c : cases) {
    EXPECT_EXIT((fortran_records(c.format, c.args), std::exit(7)), ::testing::ExitedWithCode(1), "") << c.format;
    const auto listing = lines("list");
    const auto at = std::find(listing.begin(), listing.end(), std::string("0*** FORMAT ERROR, ") + c.why + ": " + c.format);
    ASSERT_NE(at, listing.end()) << c.format;
    EXPECT_NE(std::find(at, listing.end(), "0*** SYSTEM FATAL MESSAGE    909, PROGRAM LOGIC ERROR"), listing.end()) << c.format;
  }
  EXPECT_EQ(lines("stat").front(), "      -8,       0");
  EXPECT_EQ(fline("(I3,I3,('x'))", {1, 2}), "  1  2x");
  EXPECT_EQ(fline("(400P,E9.3E3)", {1.0}), "*********");
  EXPECT_EQ(fortran_records("(' TEXT',5X)"), std::vector<std::string>{" TEXT"});
}

// fline joins several records with '\n'; a format without arguments writes up
// to its first data edit descriptor.
TEST(Fortfmt, LineJoinsRecords) {
  EXPECT_EQ(fline("(I2/I2,/)", {1, 2}), " 1\n 2\n");
  EXPECT_EQ(fline("('0',5X,'HEAD',I4,' END')"), "0     HEAD");
  EXPECT_EQ(fline("(A)", {std::string("kept  ")}), "kept  ");
  const std::vector<FmtArg> many(5, FmtArg(7));
  EXPECT_EQ(fortran_records("(2I2)", many), (std::vector<std::string>{" 7 7", " 7 7", " 7"}));
}

// The cache of parsed formats keeps its answers right when it overflows.
TEST(Fortfmt, ManyDistinctFormats) {
  for (int w = 1; w <= 5000; ++w) {
    const std::string f = "(I" + std::to_string(w % 40 + 1) + ",'" + std::to_string(w) + "')";
    const std::string got = fline(f, {1});
    ASSERT_EQ(got, std::string(w % 40, ' ') + "1" + std::to_string(w)) << f;
  }
}

// A formatted WRITE to a unit: one line per record; blanks that the format
// writes are kept, positioning past the last character writes nothing.
TEST(Fortfmt, WritesRecordsToUnit) {
  const std::filesystem::path dir = testing::make_scratch_dir("fortfmt"), path = dir / "fortfmt_unit.txt";
  unit_reset_all();
  unit_open(61, path.string(), UnitForm::Formatted, UnitStatus::Unknown);
  fwrite_unit(61, "(1X,I3,'  '/' NEXT',F6.2,3X)", {12, 0.5});
  const std::vector<FmtArg> args{FmtArg("AB"), FmtArg("CD")};
  fwrite_unit(61, "(A)", std::span<const FmtArg>(args));
  unit_close(61);
  EXPECT_EQ(testing::read_file(path), "  12  \n NEXT  0.50\nAB\nCD\n");
  testing::remove_scratch_dir(dir);
}

}  // namespace
}  // namespace zephsol
