// Decoder messages: header lines, catalogue texts with their parameters,
// counting against the print limits, and the size check of expanded sets.
#include <cstdint>
#include <string>
#include <vector>

#include "bulkfix.h"
#include "zephsol/input/ifpmsg.h"

namespace zephsol::test {
namespace {

class IfpmsgTest : public BulkTest {
 protected:
  void set_group(std::string_view name) {
    const std::string g = padded(name, 24);
    std::copy(g.begin(), g.end(), crdcom().GRPNAM.begin());
  }
};

TEST_F(IfpmsgTest, HeaderLocatesTheCard) {
  struct Case {
    word cardno;
    word code;
    const char* header;
  };
  const word old_tape = static_cast<word>(0x80000000u);
  const Case cases[] = {
      {12, 2021, "0*** USER FATAL MESSAGE    2021,  CARD NUMBER     12,  DATA GROUP NAME- NODE"},
      {0, 2021, "0*** USER FATAL MESSAGE    2021,  DATA GROUP NAME- NODE"},
      {old_tape | 7, 2021, "0*** USER FATAL MESSAGE    2021,  CARD NUMBER     -7,  DATA GROUP NAME- NODE"},
      {5, -2080, "0*** USER WARNING MESSAGE  2080,  CARD NUMBER      5,  DATA GROUP NAME- NODE"},
      {5, 2080, "0*** USER FATAL MESSAGE    2080,  CARD NUMBER      5,  DATA GROUP NAME- NODE"},
  };
  set_group("NODE");
  for (const Case& c : cases) {
    crdcom().CARDNO = c.cardno;
    IFPMSG(c.code, 1);
  }
  const auto lst = listing();
  const auto log = errlog();
  ASSERT_EQ(log.size(), 10u);
  for (std::size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(log[2 * i], padded(cases[i].header, 75 + (cases[i].cardno != 0 ? 21 : 0))) << i;
  for (const auto& l : log) EXPECT_TRUE(contains(lst, l)) << l;
  EXPECT_EQ(crdcom().NFATAL, 4);
  EXPECT_EQ(crdcom().NWARN, 1);
}

TEST_F(IfpmsgTest, CatalogueTextsTakeTheirParameters) {
  struct Case {
    word code;
    IfpParm p1, p2;
    const char* text;
  };
  const Case cases[] = {
      {2000, 5, 12, "WRONG NOTATION OR FORMAT IN COLUMN   5 THROU  12"},
      {2104, 0, IfpParm("FOO"), "UNKNOWN KEYWORD- FOO     "},
      {2028, 0, IfpParm("MATERIAL"), "MATERIAL ID IS MISSING OR NOT A POSITIVE INTEGER"},
      {2167, 1.5f, 0, "COEFFICIENT   1.50000E+00 OF PRIMARY CREEP STRAIN EQUATION IS ILLEGAL"},
      {2202, -2.5e-4f, 0, "TIME INCREMENT  -2.50000E-04 IS NOT POSITIVE"},
      {2081, 17, 0, "DUPLICATED PROPERTY  EX ID NUMBER       17"},
      {2440, 4, 0, "PROPERTY  EX       4 DEFINES NULL DATA"},
      {2522, IfpParm("F5"), IfpParm("ZUZU"), "FORMAT F5   NOT AVAILABLE FOR MATERIAL KIND ZUZU    "},
      {2225, 0, 0, "'REF' CARD IS OBSOLETE -- USE 'REFERENCE TEMP' INSTEAD"},
      {2208, 0, 0, "(NLOAD/DLOAD/BODY/DISP/MPC) AND (INACT) MAY NOT BE COMBINED."},
      {2874, 123456, 0, "INTERVAL NUMBER ***** IS ILLEGAL"},
      {2999, -1, 42, "POSSIBLE DATA ERROR.  P1,P2=        -1        42"},
  };
  set_group("PROPERTY  EXTRA TEXT");
  crdcom().CARDNO = 3;
  for (const Case& c : cases) IFPMSG(c.code, c.p1, c.p2);
  const auto log = errlog();
  ASSERT_EQ(log.size(), 2 * std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(log[2 * i + 1], std::string(10, ' ') + cases[i].text);
}

TEST_F(IfpmsgTest, PrintLimitsPerKind) {
  // 150 fatal messages and 120 warnings: 100 of each printed, all counted;
  // the warnings alone would not set the fatal flag.
  for (int i = 0; i < 120; ++i) IFPMSG(-2080, i);
  EXPECT_EQ(sysw().IERFLG, 0);
  for (int i = 0; i < 150; ++i) IFPMSG(2021);
  EXPECT_EQ(crdcom().NFATAL, 150);
  EXPECT_EQ(crdcom().NWARN, 120);
  EXPECT_EQ(sysw().IERFLG, 1);
  const auto log = errlog();
  EXPECT_EQ(count_containing(log, "USER FATAL MESSAGE    2021"), 100);
  EXPECT_EQ(count_containing(log, "USER WARNING MESSAGE  2080"), 100);
}

// The count of the stepped sequence a, a + s, ... strictly before b, then b,
// by walking it.
std::int64_t walked_terms(word a, word b, word s) {
  std::int64_t n = 1;
  for (std::int64_t v = a; s > 0 ? v < b : v > b; v += s) ++n;
  return n;
}

TEST_F(IfpmsgTest, RangeTermsAgreeWithTheWalkedSequence) {
  for (word a = -6; a <= 6; ++a)
    for (word b = -6; b <= 6; ++b)
      for (word s = -4; s <= 4; ++s)
        if (s != 0 && (b - a >= 0) == (s > 0)) {
          EXPECT_EQ(range_terms(a, b, s), walked_terms(a, b, s)) << a << " " << b << " " << s;
        }
  // Past 32 bits.
  EXPECT_EQ(range_terms(-2147483647, 2147483647, 1), 4294967295LL);
  EXPECT_EQ(range_terms(2147483647, -2147483647, -2), 2147483648LL);
}

TEST_F(IfpmsgTest, SetLargerThanARecordIsRefusedOnItsCard) {
  set_group("DISP");
  crdcom().CARDNO = 9;
  std::int64_t words = 0;
  EXPECT_TRUE(set_grow(words, range_terms(1, 100, 1), 4, {1, 100, 1}));
  EXPECT_EQ(words, 400);
  // A card "1, 2000000000" with components 1 to 6: 12e9 entries of 4 words.
  EXPECT_FALSE(set_grow(words, range_terms(1, 2000000000, 1), 4 * 6, {1, 2000000000, 1}));
  EXPECT_EQ(words, 400);
  EXPECT_EQ(sysw().IERFLG, 1);
  const auto log = errlog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("2120,  CARD NUMBER      9,  DATA GROUP NAME- DISP"), std::string::npos) << log[0];
  EXPECT_EQ(log[1], "          RANGE          1 THRU 2000000000 CANNOT BE EXPANDED IN ONE SET");
  // Exactly at the limit is still one record.
  words = 0;
  EXPECT_TRUE(set_grow(words, 2147483647, 1, {1, 2147483647, 1}));
}

}  // namespace
}  // namespace zephsol::test
