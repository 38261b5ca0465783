// Logical records: random tapes written and read back through every read
// routine, positions, skips and backspace against a model of the tape, hand
// derived block images, and the edge cases of opening, writing and closing.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "support/tapemodel.h"
#include "support/workfile.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
using testing::TapeItem;

constexpr word kBuf = 1;  // made even: the block lies at index 2

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Words 1..n of a record numbered r.
std::vector<word> words_of(word r, word n) {
  std::vector<word> w(static_cast<std::size_t>(n));
  for (word i = 0; i < n; ++i) w[static_cast<std::size_t>(i)] = 1000 * r + i + 1;
  return w;
}

void put_record(word file, const std::vector<word>& w) { DBWRIT(file, w.data(), static_cast<word>(w.size()), 1); }

// The next record with DBRDST (status 2 gives an empty vector).
std::vector<word> next_record(word file) {
  std::vector<word> out, chunk(16);
  for (;;) {
    word nread = 0, status = 0;
    DBRDST(file, chunk.data(), 16, 0, nread, status);
    if (status == 2) return out;
    out.insert(out.end(), chunk.begin(), chunk.begin() + (status == 1 ? nread : 16));
    if (status == 1) return out;
  }
}


// Writes the items; returns the DBLPOS position of every record (and -2 for
// a mark), checking that DBCPOS before a record names the same place.
std::vector<dbpos> write_tape(word file, const std::vector<TapeItem>& items, std::mt19937& rng) {
  std::vector<dbpos> pos;
  for (const TapeItem& it : items) {
    if (it.mark != 0) {
      (it.mark == 0x10 ? DBEOF : DBEOS)(file);
      pos.push_back(-2);
      continue;
    }
    dbpos before = 0;
    DBCPOS(file, before);
    const std::vector<word> w = testing::record_words(it);
    if (rng() % 8 == 0) DBWRIT(file, w.data(), 0, 0);  // a record begun without data
    if (it.length % 2 == 0 && rng() % 4 == 0) {
      std::vector<double> d(w.size() / 2);
      std::memcpy(d.data(), w.data(), w.size() * 4);
      DBWRDP(file, d.data(), static_cast<word>(d.size()), 1);
    } else {
      // In up to three parts, the last one ending the record.
      word at = 0;
      for (int part = 0; part < 2 && at < it.length; ++part) {
        const word k = static_cast<word>(rng() % static_cast<unsigned>(it.length - at + 1));
        DBWRIT(file, w.data() + at, k, 0);
        at += k;
      }
      DBWRIT(file, w.data() + at, it.length - at, 1);
    }
    dbpos after = 0;
    DBLPOS(file, after);
    EXPECT_EQ(after, before);
    pos.push_back(after);
  }
  return pos;
}

// Reads the next item with DBRDST in random chunks; true when it matches.
bool read_item_rdst(word file, const TapeItem& it, std::mt19937& rng) {
  std::vector<word> got;
  std::vector<word> chunk(64);
  for (bool first = true;; first = false) {
    const word n = 1 + static_cast<word>(rng() % 64);
    word nread = -99, status = -99;
    DBRDST(file, chunk.data(), n, 0, nread, status);
    if (status == 2) return first && it.mark != 0 && filctl().lstmrk == it.mark;
    if (it.mark != 0) return false;
    if (status == 0) {
      if (nread != -99) return false;  // set only with status 1
      got.insert(got.end(), chunk.begin(), chunk.begin() + n);
      continue;
    }
    got.insert(got.end(), chunk.begin(), chunk.begin() + nread);
    return got == testing::record_words(it);
  }
}

// Reads a record whole with DBREAD, DBRDDP or the REAL form of DBREAD.
bool read_record_whole(word file, const TapeItem& it, int how) {
  const std::vector<word> want = testing::record_words(it);
  std::vector<word> got(want.size());
  if (how == 0) {
    DBREAD(file, got.data(), it.length, 1);
  } else if (how == 1) {
    std::vector<double> d(static_cast<std::size_t>(it.length / 2));
    DBRDDP(file, d.data(), it.length / 2, 0);
    if (!d.empty()) std::memcpy(got.data(), d.data(), d.size() * 8);
    DBREAD(file, got.data() + 2 * d.size(), it.length % 2, 1);
  } else {
    std::vector<float> f(want.size());
    DBREAD(file, f.data(), it.length, 1);
    std::memcpy(got.data(), f.data(), f.size() * 4);
  }
  return got == want;
}

// Reads the item at index pos (or the end) and returns the index after it.
std::size_t read_and_check(word file, const std::vector<TapeItem>& items, std::size_t pos, std::mt19937& rng) {
  if (pos >= items.size()) {
    word nread = 0, status = 0;
    std::array<word, 4> area{};
    DBRDST(file, area.data(), 4, 0, nread, status);
    EXPECT_EQ(status, 2);
    EXPECT_EQ(filctl().lstmrk, 0xff);
    return items.size();
  }
  EXPECT_TRUE(read_item_rdst(file, items[pos], rng)) << "item " << pos;
  return pos + 1;
}

class RandomTape : public ::testing::TestWithParam<word> {};

TEST_P(RandomTape, RoundTripPositionsSkipsAndBackspace) {
  const word nbufsz = GetParam();
  FreshFileSystem fs(4, nbufsz);
  std::mt19937 rng(static_cast<unsigned>(nbufsz));
  const std::vector<TapeItem> items = testing::random_tape(rng, 10000, 3 * (nbufsz - 1));
  std::vector<TapeItem> all = items;  // the close adds an end-of-file mark after the last record
  if (all.back().mark == 0) all.push_back({0x10, 0, 0});

  DBOPEN(KGG, kBuf, kWrite);
  const std::vector<dbpos> positions = write_tape(KGG, items, rng);
  DBCLOS(KGG, kCloseRewind);

  // Pass 1: every item with DBRDST in random chunks; then the end, twice.
  DBOPEN(KGG, kBuf, kRead);
  int bad = 0;
  for (const TapeItem& it : all) bad += !read_item_rdst(KGG, it, rng);
  EXPECT_EQ(bad, 0);
  for (int i = 0; i < 2; ++i) read_and_check(KGG, all, all.size(), rng);

  // Pass 2: records whole with DBREAD, DBRDDP and the REAL form; marks
  // stepped over with DBFWRD.
  DBREWD(KGG);
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (all[i].mark != 0) {
      word status = 0;
      DBFWRD(KGG, status);
      bad += status != 1;
    } else {
      bad += !read_record_whole(KGG, all[i], static_cast<int>(i % 3));
    }
  }
  word status = 0;
  DBFWRD(KGG, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(bad, 0);

  // Random walk: DBGOTO to recorded positions, DBCPOS and back, skips of
  // files and sets both ways, DBBKSP, DBFWRD, DBREWD, DBGOTO(-1); after each
  // move the next item read is the one the model expects.
  std::size_t pos = 0;
  DBREWD(KGG);
  pos = read_and_check(KGG, all, pos, rng);
  std::vector<std::pair<dbpos, std::size_t>> noted;
  std::uniform_int_distribution<std::size_t> pick(0, items.size() - 1);
  for (int step = 0; step < 3000; ++step) {
    switch (rng() % 9) {
      case 0: {
        std::size_t k = pick(rng);
        while (items[k].mark != 0) k = pick(rng);
        DBGOTO(KGG, positions[k]);
        pos = k;
        break;
      }
      case 1: {
        dbpos p = 0;
        DBCPOS(KGG, p);
        noted.emplace_back(p, pos);
        if (noted.size() > 1) {
          const auto& [back, index] = noted[rng() % noted.size()];
          DBGOTO(KGG, back);
          pos = index;
        }
        break;
      }
      case 2:
      case 3: {
        const int n = static_cast<int>(rng() % 5) - 2;
        const word mark = rng() % 3 == 0 ? 0x30 : 0x10;
        (mark == 0x10 ? DBSKPF : DBSKPS)(KGG, n);
        pos = testing::skip_target(all, pos, n, mark);
        break;
      }
      case 4:
        DBBKSP(KGG);
        if (pos > 0) --pos;
        break;
      case 5:
        DBFWRD(KGG, status);
        EXPECT_EQ(status, pos < all.size() && all[pos].mark == 0 ? 0 : 1);
        if (pos < all.size()) ++pos;
        break;
      case 6:
        if (rng() % 10 == 0) {
          DBREWD(KGG);
          pos = 0;
        } else if (rng() % 10 == 0) {
          DBGOTO(KGG, kEndOfData);
          pos = all.size();
        }
        break;
      default:
        break;
    }
    pos = read_and_check(KGG, all, pos, rng);
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "step " << step;
      break;
    }
  }
  DBCLOS(KGG, kCloseRewind);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, RandomTape, ::testing::Values(11, 101, 1025));

constexpr auto h1 = testing::header_word1;
constexpr auto h2 = testing::header_word2;

// One record of n words in a fresh data block (NBUFSZ 1025), closed with
// rewind: the blocks on the work file, derived by hand. Block 2 is written
// from the same buffer as block 1, so the words behind its end of data are
// those block 1 left there.
TEST(RecordBlocks, ImagesOfOneRecordNearTheBlockEnd) {
  struct Case {
    word n;
    std::vector<std::pair<word, word>> block1;  // block word, value (beside the data words)
    std::vector<std::pair<word, word>> block2;  // empty: one block written
  };
  const word eod = h1(0xff, 0);
  const Case cases[] = {
      {3, {{1, 1}, {2, h1(0x00, 0)}, {3, h2(0, 3)}, {7, h1(0x10, 0)}, {8, h2(5, 0)}, {9, eod}, {10, h2(2, 0)},
           {1024, 1015}}, {}},
      {1016, {{1, 1}, {2, h1(0x00, 0)}, {3, h2(0, 1016)}, {1020, h1(0x10, 0)}, {1021, h2(1018, 0)}, {1022, eod},
              {1023, h2(2, 0)}, {1024, 2}}, {}},
      // The mark takes the one word left; the end of data begins block 2.
      {1017, {{1, 1}, {2, h1(0x00, 0)}, {3, h2(0, 1017)}, {1021, h1(0x10, 0)}, {1022, h2(1019, 1)}, {1023, 0},
              {1024, 3}}, {{1, 2}, {2, h1(0xff, 1)}, {3, h2(3, 0)}, {1024, 1022}}},
      {1018, {{1, 1}, {2, h1(0x00, 0)}, {3, h2(0, 1018)}, {1022, h1(0x10, 0)}, {1023, h2(1020, 0)}, {1024, 2}},
       {{1, 2}, {2, h1(0xff, 1)}, {3, h2(2, 0)}, {1024, 1022}}},
      // One word would be left: the last word (7000 + 1019) moves to block 2
      // behind an empty middle part.
      {1019, {{1, 1}, {2, h1(0x01, 0)}, {3, h2(0, 1018)}, {1022, h1(0x02, 0)}, {1023, h2(1020, 0)}, {1024, 2}},
       {{1, 2}, {2, h1(0x03, 1)}, {3, h2(2, 1)}, {4, 8019}, {5, h1(0x10, 1)}, {6, h2(3, 0)}, {7, eod},
        {8, h2(2, 0)}, {1024, 1017}}},
      // The record fills block 1 exactly and stays a first part.
      {1020, {{1, 1}, {2, h1(0x01, 0)}, {3, h2(0, 1020)}, {1024, 1022}},
       {{1, 2}, {2, h1(0x10, 1)}, {3, h2(1022, 0)}, {4, eod}, {5, h2(2, 0)}, {1024, 1020}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    FreshFileSystem fs(1, 1025);
    const std::vector<word> data = words_of(7, c.n);
    DBOPEN(KGG, kBuf, kWrite);
    put_record(KGG, data);
    DBCLOS(KGG, kCloseRewind);

    // Block 1: the data words (7001, 7002, ...) from word 4, then the listed
    // words.
    std::vector<word> want1(1024, 0);
    for (word i = 0; i < c.n && i < 1020; ++i) want1[static_cast<std::size_t>(3 + i)] = data[static_cast<std::size_t>(i)];
    for (auto [at, v] : c.block1) want1[static_cast<std::size_t>(at - 1)] = v;
    EXPECT_EQ(testing::block_on_file(fs, "WORK23", 1, 1025), want1);
    const word blocks = c.block2.empty() ? 1 : 2;
    EXPECT_EQ(low24(fit(53).last), blocks);
    EXPECT_EQ(fs.read("WORK23").size(), static_cast<std::size_t>(blocks) * 4096);
    if (blocks == 2) {
      std::vector<word> want2 = want1;
      for (auto [at, v] : c.block2) want2[static_cast<std::size_t>(at - 1)] = v;
      EXPECT_EQ(testing::block_on_file(fs, "WORK23", 2, 1025), want2);
    }

    DBOPEN(KGG, kBuf, kRead);
    std::vector<word> back(data.size());
    DBREAD(KGG, back.data(), c.n, 1);
    EXPECT_EQ(back, data);
    EXPECT_TRUE(next_record(KGG).empty());
    EXPECT_EQ(filctl().lstmrk, 0x10);
    EXPECT_TRUE(next_record(KGG).empty());
    EXPECT_EQ(filctl().lstmrk, 0xff);
    DBCLOS(KGG, kCloseRewind);
  }
}

TEST(Records, AnEmptyRecordIsFatalAndARecordMayBeginWithoutData) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  DBWRIT(KGG, nullptr, 0, 0);
  const std::vector<word> w = words_of(1, 3);
  DBWRIT(KGG, w.data(), 3, 1);
  EXPECT_RUN_ENDS_WITH(fs, DBWRIT(KGG, w.data(), 0, 1), "ATTEMPT TO WRITE ZERO LENGTH RECORD. FILE=KGG , UNIT=     226");
  EXPECT_RUN_ENDS_WITH(fs, DBWRIT(KGG, w.data(), -1, 1), "NEGATIVE WORD COUNT. FILE=KGG , UNIT=     226");
  DBCLOS(KGG, kCloseRewind);
  DBOPEN(KGG, kBuf, kRead);
  EXPECT_EQ(next_record(KGG), w);
  DBCLOS(KGG, kCloseRewind);
}

TEST(Records, ReadingPastARecordOrAFileIsFatalForDbread) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  put_record(KGG, words_of(1, 12));
  DBCLOS(KGG, kCloseRewind);
  DBOPEN(KGG, kBuf, kRead);
  std::vector<word> area(20);
  EXPECT_RUN_ENDS_WITH(fs, DBREAD(KGG, area.data(), 13, 1),
                       "UNEXPECTED EOR ON FILE KGG ,  THE NUMBER OF WORDS TRANSFERED WAS       12");
  DBREAD(KGG, nullptr, -5, 1);  // steps over the record
  EXPECT_RUN_ENDS_WITH(fs, DBREAD(KGG, area.data(), 1, 1), "UNEXPECTED END-OF-FILE ON FILE KGG ");
  DBCLOS(KGG, kCloseRewind);
}

// A read left inside a record and closed without rewind warns 3023; the
// reopened data block starts again at the segment where the read stood.
TEST(Records, CloseInsideARecordWarnsAndRestartsAtItsSegment) {
  FreshFileSystem fs(1, 11);  // 6 data words in a record's first segment, 6 in each further one
  DBOPEN(KGG, kBuf, kWrite);
  put_record(KGG, words_of(1, 20));
  put_record(KGG, words_of(2, 4));
  DBCLOS(KGG, kCloseRewind);

  DBOPEN(KGG, kBuf, kRead);
  std::vector<word> area(8);
  DBREAD(KGG, area.data(), 8, 0);
  DBCLOS(KGG, kCloseNoRewind);
  MSGOUT();  // a warning waits in the queue
  EXPECT_TRUE(contains(fs.read("errors"), "0*** SYSTEM WARNING MESSAGE 3023,\n"
                                          "          CLOSE AT THE MID-OF-RECORD.  FILE=KGG , UNIT=     226"));
  EXPECT_EQ(sysw().IWRNFL, 1);
  EXPECT_EQ(fit(53).status & S_INREC, 0);

  DBOPEN(KGG, kBuf, kReadNoRewind);
  const std::vector<word> all = words_of(1, 20);
  EXPECT_EQ(next_record(KGG), std::vector<word>(all.begin() + 6, all.end()));
  EXPECT_EQ(next_record(KGG), words_of(2, 4));
  DBCLOS(KGG, kCloseRewind);
}

// Close without rewind after writing, reopen to append, close: one
// end-of-file mark at the end, and the second writer's records follow the
// first's.
TEST(Records, AppendAfterACloseWithoutRewind) {
  for (word nbufsz : {11, 1025}) {
    SCOPED_TRACE(nbufsz);
    FreshFileSystem fs(1, nbufsz);
    DBOPEN(KGG, kBuf, kWrite);
    for (word r = 1; r <= 5; ++r) put_record(KGG, words_of(r, r + 4));
    DBCLOS(KGG, kCloseNoRewind);
    DBOPEN(KGG, kBuf, kWriteNoRewind);
    for (word r = 6; r <= 9; ++r) put_record(KGG, words_of(r, 2 * r));
    DBCLOS(KGG, kCloseNoRewind);
    DBOPEN(KGG, kBuf, kRead);
    for (word r = 1; r <= 9; ++r) EXPECT_EQ(next_record(KGG), words_of(r, r <= 5 ? r + 4 : 2 * r)) << r;
    EXPECT_TRUE(next_record(KGG).empty());
    EXPECT_EQ(filctl().lstmrk, 0x10);
    EXPECT_TRUE(next_record(KGG).empty());
    EXPECT_EQ(filctl().lstmrk, 0xff);
    DBCLOS(KGG, kCloseRewind);
  }
}

TEST(Records, OpenChecks) {
  FreshFileSystem fs(1, 11);
  word status = -1;
  DBOPNS(400, kBuf, kRead, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(filctl().curfil, -777);
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(400, kBuf, kRead), "FILE NUMBER      400 NOT IN DBST");
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(KGG, kBuf, name_word("RW  ")), "INVALID OPEN OPTION. FILE=KGG , OPTION=RW  ");
  EXPECT_RUN_ENDS_WITH(fs, DBREWD(KGG), "FILE KGG  HAS NOT BEEN OPENED YET. UNIT=     226");

  DBOPNS(KGG, 100, kWrite, status);  // the block lies at 100..109
  EXPECT_EQ(status, 0);
  EXPECT_EQ(fit(53).buffer, 100);
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(KGG, 200, kRead), "REDUNDANT OPEN.  FILE=KGG , UNIT=     226");
  DBOPEN(BOUN, 300, kWrite);  // YS shares BOUN's unit
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(YS, 200, kRead), "REDUNDANT OPEN.  FILE=YS  , UNIT=     220");
  // A block that shares one word with another open block, before or after
  // it; the problem tapes' blocks count too.
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(UG, 108, kWrite), "BUFFER ASSIGNED TO UG   OVERLAPS WITH THAT OF PHYSICAL UNIT      53");
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(UG, 91, kWrite), "BUFFER ASSIGNED TO UG   OVERLAPS WITH THAT OF PHYSICAL UNIT      53");
  DBOPEN(NPTP, 120, kWrite);
  EXPECT_RUN_ENDS_WITH(fs, DBOPEN(UG, 128, kWrite), "BUFFER ASSIGNED TO UG   OVERLAPS WITH THAT OF PHYSICAL UNIT      18");
  // Touching blocks are accepted.
  DBOPEN(UG, 110, kWrite);
  DBOPEN(QG, 89, kWrite);  // made even: 90..99
  EXPECT_EQ(fit(60).buffer, 90);
  for (word f : {KGG, UG, QG, NPTP, BOUN}) DBCLOS(f, kCloseUnload);  // nothing written: only "UNLD" may follow
}

TEST(Records, AnEmptyDataBlockReadsAsTheEndOfData) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kRead);
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(next_record(KGG).empty());
    EXPECT_EQ(filctl().lstmrk, 0xff);
  }
  dbpos p = 0;
  DBCPOS(KGG, p);
  EXPECT_EQ(p, kStartPosition);
  DBGOTO(KGG, kEndOfData);
  EXPECT_TRUE(next_record(KGG).empty());
  DBCLOS(KGG, kCloseRewind);
  EXPECT_EQ(low24(fit(53).last), 0);
}

TEST(Records, PositionsAtTheStartAndTheEnd) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  dbpos p = 0;
  DBCPOS(KGG, p);
  EXPECT_EQ(p, kStartPosition);
  for (word r = 1; r <= 6; ++r) put_record(KGG, words_of(r, 9));
  DBLPOS(KGG, p);
  const dbpos last = p;
  DBEOF(KGG);
  EXPECT_RUN_ENDS_WITH(fs, DBLPOS(KGG, p), "I/O SEQUENCE ERROR.  FILE=KGG , LAST OPERATION=       7");
  DBCLOS(KGG, kCloseRewind);

  DBOPEN(KGG, kBuf, kRead);
  std::vector<word> area(4);
  DBREAD(KGG, area.data(), 4, 0);
  EXPECT_RUN_ENDS_WITH(fs, DBCPOS(KGG, p), "FILE POSITION IS NOT AT E-O-R. FILE=KGG , UNIT=     226");
  DBGOTO(KGG, last);
  EXPECT_EQ(next_record(KGG), words_of(6, 9));
  DBGOTO(KGG, kStartPosition);
  EXPECT_EQ(last_operation(fit(53)), kOpRewind);
  EXPECT_EQ(next_record(KGG), words_of(1, 9));
  DBGOTO(KGG, kEndOfData);
  EXPECT_TRUE(next_record(KGG).empty());
  EXPECT_EQ(filctl().lstmrk, 0xff);
  const word blocks = low24(fit(53).last);
  EXPECT_RUN_ENDS_WITH(fs, DBGOTO(KGG, dbpos{blocks + 1} * 65536 + 1),
                       "STATED FILE POSITION IS OUT OF FILE EXTENT.  FILE=KGG , UNIT=     226");
  EXPECT_RUN_ENDS_WITH(fs, DBGOTO(KGG, dbpos{blocks} * 65536 + 8),
                       "STATED FILE POSITION IS OUT OF FILE EXTENT.  FILE=KGG , UNIT=     226");
  DBCLOS(KGG, kCloseRewind);
}

// Three files of records spread over blocks: a backward skip from inside a
// record of the third file lands at the start of the second; from the first
// file at the start of the data block; sets skip end-of-set marks only.
TEST(Records, SkipsFromInsideARecord) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  for (word f = 1; f <= 3; ++f) {
    for (word r = 1; r <= 3; ++r) put_record(KGG, words_of(10 * f + r, 7));
    (f == 2 ? DBEOS : DBEOF)(KGG);
  }
  DBCLOS(KGG, kCloseRewind);
  DBOPEN(KGG, kBuf, kRead);
  std::vector<word> area(7);
  DBSKPF(KGG, 2);
  DBREAD(KGG, area.data(), 2, 0);
  DBSKPF(KGG, -1);
  EXPECT_EQ(next_record(KGG), words_of(21, 7));
  DBREAD(KGG, area.data(), 2, 0);
  DBSKPF(KGG, -1);
  EXPECT_EQ(next_record(KGG), words_of(11, 7));
  DBSKPS(KGG, 1);  // over the end-of-file mark of file 1 to the end of set
  EXPECT_EQ(next_record(KGG), words_of(31, 7));
  DBREAD(KGG, area.data(), 2, 0);
  DBSKPS(KGG, -1);
  EXPECT_EQ(next_record(KGG), words_of(11, 7));
  DBSKPF(KGG, 5);
  EXPECT_TRUE(next_record(KGG).empty());
  EXPECT_EQ(filctl().lstmrk, 0xff);
  DBCLOS(KGG, kCloseRewind);
}

// With blocks of 10 words a data block passes 32767 and 65535 blocks:
// positions are kept whole (past 2^31 and 2^32) and lead back exactly; one
// that must go into a single word ends the run instead of wrapping.
TEST(Records, PositionsPast32767Blocks) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  std::vector<std::pair<dbpos, word>> noted;
  for (word r = 1; r <= 100000; ++r) {
    const std::vector<word> w = words_of(r, 1 + r % 5);
    put_record(KGG, w);
    dbpos p = 0;
    DBLPOS(KGG, p);
    if (r % 997 == 0) noted.emplace_back(p, r);
  }
  DBCLOS(KGG, kCloseRewind);
  ASSERT_GT(low24(fit(53).last), 70000);
  EXPECT_GT(noted.back().first >> 16, 65535);
  EXPECT_EQ(fit(53).lastrec, -1);  // too far for FIT word 7; kept whole beside it

  DBOPEN(KGG, kBuf, kRead);
  std::mt19937 rng(5);
  std::shuffle(noted.begin(), noted.end(), rng);
  for (const auto& [p, r] : noted) {
    std::array<word, 2> two{};
    put_position(two, p);
    EXPECT_EQ(get_position(two), p);
    DBGOTO(KGG, get_position(two));
    ASSERT_EQ(next_record(KGG), words_of(r, 1 + r % 5)) << r;
    dbpos here = 0;
    DBCPOS(KGG, here);
    EXPECT_GT(here, p);
  }
  DBCLOS(KGG, kCloseRewind);
  const dbpos small = noted.front().first >> 16 < 32768 ? noted.front().first : 65537;
  EXPECT_EQ(position_word(KGG, 65537), 65537);
  EXPECT_EQ(position_word(KGG, small), static_cast<word>(small));
  EXPECT_EQ(position_word(KGG, kEndOfData), -1);
  const dbpos far = dbpos{40000} * 65536 + 3;
  EXPECT_RUN_ENDS_WITH(fs, position_word(KGG, far),
                       " **** SYSTEM FATAL MESSAGE: POSITION IN BLOCK       40000 OF DATA BLOCK KGG  DOES NOT FIT IN ONE "
                       "WORD (LIMIT 32767 BLOCKS) ****");
}

TEST(Records, OpenAndCloseMessagesUnderSwitch30) {
  FreshFileSystem fs(1, 11);
  DIAGST(30, 1);
  DBOPEN(UG, kBuf, kWrite);
  put_record(UG, words_of(1, 3));
  DBCLOS(UG, kCloseRewind);
  EXPECT_TRUE(contains(fs.read("listing"),
                       "0*** SYSTEM INFORMATION MESSAGE  3047,\n"
                       "          DATA BLOCK UG       OPENED,  REFERENCE NUMBER IS  232\n"
                       "0*** SYSTEM INFORMATION MESSAGE  3048,\n"
                       "          DATA BLOCK UG       CLOSED,  REFERENCE NUMBER IS  232\n"))
      << fs.read("listing");
}

TEST(Records, UnloadEmptiesTheDataBlockAndItsHeader) {
  FreshFileSystem fs(1, 11);
  DBOPEN(KGG, kBuf, kWrite);
  put_record(KGG, words_of(1, 30));
  dbio_state().dbst.at(dbst_index(KGG)).DBHDR = {1, 2, 3, 4, 5, 6};
  DBCLOS(KGG, kCloseUnload);
  EXPECT_EQ(dbio_state().dbst.at(dbst_index(KGG)).DBHDR, (std::array<word, 6>{}));
  EXPECT_FALSE(std::filesystem::exists(fs.dir() / "WORK23"));
  EXPECT_EQ(last_operation(fit(53)), kOpNone);
  EXPECT_EQ(fit(53).buffer, 0);
  // Emptied: only an open is accepted.
  DBOPEN(KGG, kBuf, kRead);
  EXPECT_TRUE(next_record(KGG).empty());
  DBCLOS(KGG, kCloseRewind);
}

}  // namespace
}  // namespace zephsol
