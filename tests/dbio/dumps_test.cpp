// Record print and data block dump on the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/dumps.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Recprt, EachWordAsIntegerCharactersOrReal) {
  struct Case {
    word machcd;
    word w;
    const char* field;
  };
  const Case cases[] = {
      {5, 1, "            1"},
      {5, -8388608, "     -8388608"},
      {5, 8388609, "  1.17549E-38"},  // beyond the integers, bytes not all printable
      {5, name_word("ABCD"), "         ABCD"},
      {5, real_word(1.5f), "  1.50000E+00"},
      {5, INT32_MIN, " -0.00000E+00"},
      {5, static_cast<word>(0x41011020), "  8.06644E+00"},  // byte 0x01 below the character range
      {5, name_word("A`CD"), "  7.81504E+02"},        // '`' (96) above it
      {2, static_cast<word>(0xC1C2C3C4u), "         \xC4\xC3\xC2\xC1"},
      {2, static_cast<word>(0xC1C2C3CAu), " -2.43456E+01"},  // zone 3 with digit 10
      {3, static_cast<word>(0x41414141), "         AAAA"},  // zone 1 with digit 1
      {3, static_cast<word>(0x41424141), "  1.21409E+01"},  // zone 1 with digit 2
      {1, static_cast<word>(0x7F000001), "         \x01\x00\x00\x7F"},  // other codes: always characters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.w);
    FreshFileSystem fs;
    sysw().MACHCD = c.machcd;
    RECPRT(&c.w, 1);
    EXPECT_EQ(fs.read("listing"), " " + std::string(c.field, 13) + "\n");
  }
}

TEST(Recprt, TenWordsToALine) {
  FreshFileSystem fs;
  std::vector<word> w(23);
  for (word i = 0; i < 23; ++i) w[static_cast<std::size_t>(i)] = i;
  RECPRT(w.data(), 23);
  RECPRT(w.data(), 0);
  const std::string out = fs.read("listing");
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 3);
  EXPECT_EQ(out.substr(0, 1 + 13 * 10 + 1), " " + std::string(12, ' ') + "0" + std::string(12, ' ') + "1" +
                                                 std::string(12, ' ') + "2" + std::string(12, ' ') + "3" +
                                                 std::string(12, ' ') + "4" + std::string(12, ' ') + "5" +
                                                 std::string(12, ' ') + "6" + std::string(12, ' ') + "7" +
                                                 std::string(12, ' ') + "8" + std::string(12, ' ') + "9\n");
}

std::string ints(std::initializer_list<word> ws) {
  std::string line = " ";
  for (word w : ws) {
    const std::string d = std::to_string(w);
    line += std::string(13 - d.size(), ' ') + d;
  }
  return line + "\n";
}

std::string record_line(int f, int r) {
  const std::string fs = std::to_string(f), rs = std::to_string(r);
  return "0" + std::string(39, '-') + "  FILE NO." + std::string(6 - fs.size(), ' ') + fs + ",   RECORD NO." +
         std::string(8 - rs.size(), ' ') + rs + "  " + std::string(48, '-') + "\n";
}

const std::string kEndOfFileLine = "0" + std::string(49, '=') + "     END OF FILE     " + std::string(57, '=') + "\n";

// Two files: records of 3 and 12 words, then one of exactly 10 words.
TEST(Dpfile, DumpsRecordsAndMarks) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, 2, kWrite);
  const std::vector<word> r1{1, 2, 3}, r3{31, 32, 33, 34, 35, 36, 37, 38, 39, 40};
  std::vector<word> r2(12);
  for (word i = 0; i < 12; ++i) r2[static_cast<std::size_t>(i)] = 100 + i;
  for (const std::vector<word>* r : std::initializer_list<const std::vector<word>*>{&r1, &r2}) DBWRIT(KGG, r->data(), static_cast<word>(r->size()), 1);
  DBEOF(KGG);
  DBWRIT(KGG, r3.data(), 10, 1);
  DBEOF(KGG);
  DBCLOS(KGG, kCloseRewind);
  HDRPUT(KGG, std::array<word, 6>{3, 12, 2, 1, 12, 100});

  DPFILE(KGG, 100, 30);
  const std::string listing = fs.read("listing");
  const std::string title = "0KGG   FILE DUMP.             UNIT NUMBER = 226\n";
  const std::string want = title + "0***** HEADER =       3      12       2       1      12     100 *****\n" +
                           record_line(1, 1) + ints({1, 2, 3}) + record_line(1, 2) +
                           ints({100, 101, 102, 103, 104, 105, 106, 107, 108, 109}) + ints({110, 111}) +
                           kEndOfFileLine + record_line(2, 1) + ints({31, 32, 33, 34, 35, 36, 37, 38, 39, 40}) +
                           kEndOfFileLine + "0END OF DUMP\n";
  const std::size_t at = listing.find(title);
  ASSERT_NE(at, std::string::npos) << listing;
  EXPECT_EQ(listing.substr(at), want);
  word n = 0;
  DBFIND(name_word("KGG"), n);
  EXPECT_EQ(n, -KGG);  // closed again
}

TEST(Dpfile, RefusesOpenUndefinedAndTooSmall) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, 2, kRead);
  DPFILE(KGG, 100, 30);
  DPFILE(400, 100, 30);
  MSGOUT();
  const std::string errors = fs.read("errors");
  EXPECT_TRUE(contains(errors, "0*** SYSTEM WARNING MESSAGE 3511,\n"
                               "          DATA BLOCK KGG  HAS ACTIVITY AT THE ENTRY TO DPFILE.  UNIT=     226\n"))
      << errors;
  EXPECT_TRUE(contains(errors, "FILE NUMBER      400 NOT FOUND IN DBST, FILE NAME= ****")) << errors;
  EXPECT_FALSE(contains(fs.read("listing"), "FILE DUMP"));
  DBCLOS(KGG, kCloseRewind);
  EXPECT_RUN_ENDS_WITH(fs, DPFILE(KGG, 100, 20), "INSUFFICIENT MEMORY.  REQUIRED =      21, CURRENT =      20 WORDS");
}

}  // namespace
}  // namespace zephsol
