// Whole data blocks: headers and their messages, lookup by name, exchange of
// files, block-by-block and record-by-record copies.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
using Header = std::array<word, 6>;

constexpr word kBuf = 2;
constexpr word kBuf2 = 2000;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Header header_of(word number) {
  Header h{};
  HDRGET(number, h);
  return h;
}

std::vector<word> words_of(word r, word n) {
  std::vector<word> w(static_cast<std::size_t>(n));
  for (word i = 0; i < n; ++i) w[static_cast<std::size_t>(i)] = 1000 * r + i + 1;
  return w;
}

// The items of an open data block read to its end: records as their words,
// marks as one word holding the negated mark code (-0x10, -0x30).
std::vector<std::vector<word>> read_all(word file) {
  std::vector<std::vector<word>> out;
  std::vector<word> rec, chunk(8);
  for (;;) {
    word nread = 0, status = 0;
    DBRDST(file, chunk.data(), 8, 0, nread, status);
    if (status == 2) {
      if (filctl().lstmrk == 0xff) return out;
      out.push_back({-filctl().lstmrk});
      continue;
    }
    rec.insert(rec.end(), chunk.begin(), chunk.begin() + (status == 1 ? nread : 8));
    if (status == 1) out.push_back(std::move(rec)), rec.clear();
  }
}

TEST(Headers, StoreFetchClearAndUndefinedNumbers) {
  FreshFileSystem fs;
  EXPECT_EQ(header_of(UG), Header{});  // never written
  HDRPUT(UG, Header{1, 2, 3, 4, 5, 6});
  EXPECT_EQ(header_of(UG), (Header{1, 2, 3, 4, 5, 6}));
  HDRCLR(UG);
  EXPECT_EQ(header_of(UG), Header{});
  for (word n : {0, 100, 200, 251, 300, 305, 400}) {
    SCOPED_TRACE(n);
    Header h{};
    EXPECT_RUN_ENDS_WITH(fs, HDRGET(n, h), fline("(10X,'FILE NUMBER ',I8,' NOT IN DBST')", {n}));
  }
  EXPECT_RUN_ENDS_WITH(fs, HDRPUT(251, Header{}), "FILE NUMBER      251 NOT IN DBST");
  EXPECT_RUN_ENDS_WITH(fs, HDRCLR(0), "FILE NUMBER        0 NOT IN DBST");
}

TEST(Headers, InformationLinesUnderSwitch31) {
  FreshFileSystem fs;
  DIAGST(31, 1);
  HDRPUT(UG, Header{10, 20, 2, 2, 7, 1234});
  header_of(UG);
  const std::string listing = fs.read("listing");
  EXPECT_TRUE(contains(listing,
                       "0*** SYSTEM INFORMATION MESSAGE  3037,\n"
                       "          HEADER INFORMATION WRITTEN ON DATA BLOCK UG       IS      10      20       2       2"
                       "       7    1234\n"
                       "0*** SYSTEM INFORMATION MESSAGE  3038,\n"
                       "          HEADER INFORMATION READ FROM  DATA BLOCK UG       IS      10      20       2       2"
                       "       7    1234\n"))
      << listing;
  // The error log has the first lines only.
  EXPECT_EQ(fs.read("errors"), "0*** SYSTEM INFORMATION MESSAGE  3037,\n0*** SYSTEM INFORMATION MESSAGE  3038,\n");
}

TEST(Headers, NegativeWordWarnsAndIsStored) {
  FreshFileSystem fs;
  DIAGST(31, 1);
  HDRPUT(KGG, Header{1, 2, 3, -1, 5, 6});
  EXPECT_EQ(header_of(KGG), (Header{1, 2, 3, -1, 5, 6}));
  EXPECT_EQ(sysw().IWRNFL, 1);
  const std::string lines =
      "0*** SYSTEM WARNING MESSAGE 3039, ATTEMPT TO WRITE ERRORNEOUS HEADER INFORMATION ON FILE KGG     \n"
      "          HEADER =        1        2        3       -1        5        6\n";
  EXPECT_TRUE(contains(fs.read("listing"), lines)) << fs.read("listing");
  EXPECT_FALSE(contains(fs.read("listing"), "3037"));
  EXPECT_EQ(fs.read("errors"), lines + "0*** SYSTEM INFORMATION MESSAGE  3038,\n");
}

TEST(Dbfind, OpenStateComesFromTheUnit) {
  FreshFileSystem fs(1, 11);
  word n = 0;
  DBFIND(name_word("UG"), n);
  EXPECT_EQ(n, -UG);
  EXPECT_EQ(filctl().name8[0], name_word("UG"));
  DBOPEN(UG, kBuf, kRead);
  DBFIND(name_word("UG"), n);
  EXPECT_EQ(n, UG);
  DBCLOS(UG, kCloseRewind);
  DBOPEN(BOUN, kBuf, kRead);
  DBFIND(name_word("YS"), n);
  EXPECT_EQ(n, YS);  // the open state belongs to the shared unit
  DBCLOS(BOUN, kCloseRewind);
  DBFIND(name_word("$301"), n);
  EXPECT_EQ(n, -S301);
  DBFIND(name_word("NPTP"), n);
  EXPECT_EQ(n, -NPTP);
  DBFIND(name_word("XXXX"), n);
  EXPECT_EQ(n, 0);
}

TEST(Dbswap, ExchangesUnitsAndHeadersNotNames) {
  FreshFileSystem fs(1, 11);
  HDRPUT(EPX, Header{1, 1, 1, 1, 1, 1});
  HDRPUT(EPY, Header{2, 2, 2, 2, 2, 2});
  DBOPEN(EPX, kBuf, kWrite);
  const std::vector<word> w = words_of(1, 5);
  DBWRIT(EPX, w.data(), 5, 1);
  DBCLOS(EPX, kCloseRewind);
  DBSWAP(EPX, EPY);
  std::array<word, 2> r{};
  DBUNIT(EPX, r);
  EXPECT_EQ(r[0], -70);
  DBUNIT(EPY, r);
  EXPECT_EQ(r[0], -69);
  word name = 0;
  DBNAME(EPX, name);
  EXPECT_EQ(name, name_word("EPX"));
  EXPECT_EQ(header_of(EPX), (Header{2, 2, 2, 2, 2, 2}));
  EXPECT_EQ(header_of(EPY), (Header{1, 1, 1, 1, 1, 1}));
  DBSWAP(EPX, EPY);
  DBSWAP(EPY, EPX);
  EXPECT_EQ(filctl().curfil, -777);
  // EPY now reaches what was written as EPX.
  DBOPEN(EPY, kBuf, kRead);
  EXPECT_EQ(read_all(EPY), (std::vector<std::vector<word>>{w, {-0x10}}));
  DBCLOS(EPY, kCloseRewind);
  EXPECT_RUN_ENDS_WITH(fs, DBSWAP(EPX, 251), "FILE NUMBER      251 NOT IN DBST");
}

TEST(Dbcopy, CopiesBlocksAndHeaderAndLeavesBothRewound) {
  FreshFileSystem fs(1, 11);
  DBOPEN(UG, kBuf, kWrite);
  std::vector<std::vector<word>> want;
  for (word r = 1; r <= 12; ++r) {
    want.push_back(words_of(r, 3 * r));
    DBWRIT(UG, want.back().data(), 3 * r, 1);
  }
  want.push_back({-0x10});
  DBCLOS(UG, kCloseRewind);
  HDRPUT(UG, Header{1, 40, 2, 2, 12, 3000});
  DBCOPY(UG, UGSV);
  EXPECT_EQ(header_of(UGSV), (Header{1, 40, 2, 2, 12, 3000}));
  EXPECT_EQ(low24(fit(73).last), low24(fit(59).last));
  for (word unit : {59, 73}) {
    EXPECT_EQ(last_operation(fit(unit)), kOpCloseR);
    EXPECT_EQ(fit(unit).status & (S_LOADPT | S_EOD | S_INREC), S_LOADPT);
    EXPECT_EQ(fit(unit).buffer, 0);
  }
  DBOPEN(UGSV, kBuf, kRead);
  EXPECT_EQ(read_all(UGSV), want);
  DBCLOS(UGSV, kCloseRewind);

  // A source without header clears the target's header and keeps its blocks.
  HDRCLR(UG);
  DBCOPY(UG, UGSV);
  EXPECT_EQ(header_of(UGSV), Header{});
  DBOPEN(UGSV, kBuf, kRead);
  EXPECT_EQ(read_all(UGSV), want);
  EXPECT_RUN_ENDS_WITH(fs, DBCOPY(UG, UGSV), "0*** SYSTEM FATAL MESSAGE   3064, PROGRAM LOGIC ERROR\n"
                                            "          REASON CODE =       247,         0");
  DBCLOS(UGSV, kCloseRewind);
  HDRPUT(QG, Header{1, 1, 1, 1, 1, 1});
  EXPECT_RUN_ENDS_WITH(fs, DBCOPY(QG, UGSV), "0*** SYSTEM FATAL MESSAGE   3063, PROGRAM LOGIC ERROR\n"
                                            "          REASON CODE =       233,         0");
}

// Records longer than the copy area, two files: the first mark is copied,
// the copy ends with an end-of-set mark (onto a problem tape) or an
// end-of-file mark (onto a data block numbered 100 to 300).
TEST(Filcpy, CopiesFilesRecordByRecord) {
  FreshFileSystem fs(1, 11);
  std::vector<std::vector<word>> want;
  DBOPEN(PGM, kBuf, kWrite);
  for (word f = 0; f < 2; ++f) {
    for (word r = 1; r <= 4; ++r) {
      want.push_back(words_of(10 * f + r, 5 * r));
      DBWRIT(PGM, want.back().data(), 5 * r, 1);
    }
    DBEOF(PGM);
    want.push_back({-0x10});
  }
  DBCLOS(PGM, kCloseRewind);

  for (word target : {NPTP, DPGM}) {
    SCOPED_TRACE(target);
    std::vector<word> area(7);
    DBOPEN(PGM, kBuf, kRead);
    DBOPEN(target, kBuf2, kWrite);
    FILCPY(PGM, target, area.data(), 7);
    DBCLOS(PGM, kCloseRewind);
    DBCLOS(target, kCloseRewind);
    DBOPEN(target, kBuf2, kRead);
    std::vector<std::vector<word>> copy = want;
    copy.back() = {target == NPTP ? -0x30 : -0x10};
    EXPECT_EQ(read_all(target), copy);
    DBCLOS(target, kCloseRewind);
  }
}

}  // namespace
}  // namespace zephsol
