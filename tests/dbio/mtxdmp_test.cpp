// Matrix print: the listing of a matrix with empty columns in groups of six,
// the heading repeated after a page break, a null matrix, and the warning
// for a header that is not a matrix's.
#include <gtest/gtest.h>

#include <string>

#include "support/densemat.h"
#include "common/fatal.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxdmp.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::Dense;
using testing::FreshFileSystem;

constexpr word kArea = 3001;
constexpr word kAreaSize = 5000;

// 4 x 14 with columns 3, 8 and 12 empty; row 2 is zero in the first six
// non-empty columns only, row 4 in some columns.
Dense four_by_fourteen() {
  Dense m = testing::zeros(4, 14);
  for (word j = 1; j <= 14; ++j) {
    if (j == 3 || j == 8 || j == 12) continue;
    auto& c = m[static_cast<std::size_t>(j - 1)];
    c[0] = j;
    c[2] = -0.5 * j;
    c[3] = j % 2 ? 1.0e-3 * j : 0.0;
    if (j > 8) c[1] = 250.0 + j;
  }
  return m;
}

// The listing after the page header.
std::string after_page_header(const std::string& listing) {
  const auto at = listing.find("\n0MATRIX");
  return at == std::string::npos ? listing : listing.substr(at + 1);
}

// Two groups, the first six non-empty columns and the other five, values in
// single precision; a row zero in every column of a group is left out.
TEST(Mtxdmp, GroupsOfNonEmptyColumns) {
  FreshFileSystem fs(1, 41);
  MCB m = testing::write_matrix(KGG, four_by_fourteen(), 4, 2, kRectangular);
  MTXDMP(m, kArea, kAreaSize);
  EXPECT_EQ(after_page_header(fs.read("listing")),
            "0MATRIX KGG          N.COLMNS=     14     N.ROWS=      4     FORM= RECT     TYPE= RDP      MAX.NZ=      4"
            "     DENCITY=  58.92%\n"
            "\n"
            "0          COLUMN          1               2               4               5               6"
            "               7\n"
            " \n"
            "    ROW       1       1.0000000E+00   2.0000000E+00   4.0000000E+00   5.0000000E+00   6.0000000E+00"
            "   7.0000000E+00\n"
            "    ROW       3      -5.0000000E-01  -1.0000000E+00  -2.0000000E+00  -2.5000000E+00  -3.0000000E+00"
            "  -3.5000000E+00\n"
            "    ROW       4       1.0000000E-03   0.0000000E+00   0.0000000E+00   4.9999999E-03   0.0000000E+00"
            "   7.0000002E-03\n"
            "0          COLUMN          9              10              11              13              14\n"
            " \n"
            "    ROW       1       9.0000000E+00   1.0000000E+01   1.1000000E+01   1.3000000E+01   1.4000000E+01\n"
            "    ROW       2       2.5900000E+02   2.6000000E+02   2.6100000E+02   2.6300000E+02   2.6400000E+02\n"
            "    ROW       3      -4.5000000E+00  -5.0000000E+00  -5.5000000E+00  -6.5000000E+00  -7.0000000E+00\n"
            "    ROW       4       8.9999996E-03   0.0000000E+00   1.1000000E-02   1.3000000E-02   0.0000000E+00\n");
}

// On pages of 11 lines the last row of the first group starts a page, and
// the group's heading is printed again below the page header.
TEST(Mtxdmp, HeadingRepeatedAfterAPageBreak) {
  FreshFileSystem fs(1, 41);
  sysw().LINPAG = 11;
  MCB m = testing::write_matrix(KGG, four_by_fourteen(), 4, 2, kRectangular);
  MTXDMP(m, kArea, kAreaSize);
  const std::string listing = after_page_header(fs.read("listing"));
  const std::string heading =
      "0          COLUMN          1               2               4               5               6               7\n \n";
  const auto first = listing.find(heading + "    ROW       1");
  const auto page = listing.find("PAGE     2\n");
  const auto again = listing.find(heading + "    ROW       4       1.0000000E-03", page);
  EXPECT_LT(first, page);
  EXPECT_NE(again, std::string::npos);
  EXPECT_LT(listing.find("    ROW       3      -5.0"), page);
}

TEST(Mtxdmp, NullMatrixWrongHeadersAndUndefinedNumbers) {
  FreshFileSystem fs(1, 41);
  MCB null{KGG, 3, 3, kSymmetric, 1, 0, 0};
  MTXDMP(null, kArea, kAreaSize);
  EXPECT_EQ(after_page_header(fs.read("listing")),
            "0MATRIX KGG          N.COLMNS=      3     N.ROWS=      3     FORM= SYM      TYPE= RSP      MAX.NZ=      0"
            "     DENCITY=   0.00%\n"
            "\n"
            "          *****  NULL  *****\n");

  const std::string before = fs.read("listing");
  MCB undefined{260, 3, 3, kSquare, 1, 1, 1};
  MTXDMP(undefined, kArea, kAreaSize);
  EXPECT_EQ(fs.read("listing"), before);

  const std::string warning =
      "0*** SYSTEM WARNING MESSAGE 3512, WRONG MCB DETECTED BY MTXDMP\n"
      "          MCB=     226       3       3       9       1       1       1\n";
  MCB form9{KGG, 3, 3, 9, 1, 1, 1};
  MTXDMP(form9, kArea, kAreaSize);
  EXPECT_EQ(fs.read("listing"), before + warning);
  EXPECT_EQ(fs.read("errors"), warning);
  EXPECT_EQ(sysw().IWRNFL, 1);
  MCB no_columns{KGG, 0, 3, kSquare, 1, 1, 1};
  MTXDMP(no_columns, kArea, kAreaSize);
  EXPECT_NE(fs.read("errors").find("MCB=     226       0       3"), std::string::npos);
}

// The 3512 warning is written without line counting: on the last line of a
// page it starts no new page and leaves the line count as it was.
TEST(Mtxdmp, WrongHeaderWarningStartsNoPage) {
  FreshFileSystem fs(1, 41);
  sysw().NLINE = sysw().LINPAG;
  const std::string before = fs.read("listing");
  MCB form9{KGG, 3, 3, 9, 1, 1, 1};
  MTXDMP(form9, kArea, kAreaSize);
  EXPECT_EQ(fs.read("listing"), before +
                                    "0*** SYSTEM WARNING MESSAGE 3512, WRONG MCB DETECTED BY MTXDMP\n"
                                    "          MCB=     226       3       3       9       1       1       1\n");
  EXPECT_EQ(sysw().NLINE, sysw().LINPAG);
}

TEST(Mtxdmp, FatalPaths) {
  FreshFileSystem fs(1, 41);
  MCB m = testing::write_matrix(KGG, four_by_fourteen(), 4, 2, kRectangular);
  // Six columns of four single-precision words below the buffer.
  EXPECT_RUN_ENDS_WITH(fs, MTXDMP(m, kArea, 41 + 23), "INSUFFICIENT MEMORY.  REQUIRED =      24, CURRENT =      23 WORDS");
  m.type = 4;
  EXPECT_RUN_ENDS_WITH(fs, MTXDMP(m, kArea, kAreaSize), "INVALID ARITHMETIC TYPE.  FILE=KGG , TYPE CODE=       3");
  EXPECT_NE(fs.read("listing").find("TYPE= CDP "), std::string::npos);
}

}  // namespace
}  // namespace zephsol
