// Physical units: the unit opener and the record transfers of work units
// (direct access) and problem tapes (sequential).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/blockdata.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/punits.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
namespace fsys = std::filesystem;

constexpr word kBuf = 2;  // record buffer in the open core

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const PurecsPair& counters(word unit) { return dbio_state().PURECS[static_cast<std::size_t>(unit - 1)]; }

// Writes record r of unit (current) with word 1 = r.
void write_record(word r) {
  testing::fill_block(kBuf, r);
  PUWRIT(kBuf);
}

// Reads the next record; its word 1, or 0 at the end.
word read_record() {
  word eof = 0;
  core().w(kBuf) = -1;
  PUREAD(kBuf, eof);
  return eof ? 0 : core().w(kBuf);
}

void set_file_key(int entry, const std::string& file) {
  auto& v = exec_state().solvky.entry[static_cast<std::size_t>(entry)].value;
  v.fill(' ');
  std::copy(file.begin(), file.end(), v.begin());
}

TEST(Untopn, KeysNamesKindsAndWorkFiles) {
  FreshFileSystem fs(1, 11);
  set_file_key(2, "my listing.txt");  // LIST
  UNTOPN(40, name_word("LIST"), 0, 4);
  unit_write_line(40, " LINE");
  UNTCLS(40);
  EXPECT_EQ(fs.read("my listing.txt"), " LINE\n");

  // A key that is not in the solver list table names the file itself.
  UNTOPN(41, name_word("ABCD"), 0, 3);
  EXPECT_TRUE(fsys::exists(fs.dir() / "ABCD"));
  // Kind 2 with a key opens the existing file.
  UNTCLS(41);
  UNTOPN(41, name_word("ABCD"), 0, 2);
  EXPECT_TRUE(unit_is_open(41));

  // Without a key and below kind 5: a scratch file that leaves no name.
  const auto before = std::distance(fsys::directory_iterator(fs.dir()), fsys::directory_iterator{});
  for (word kind : {1, 2, 3, 4, -1}) UNTOPN(42, 0, 0, kind);
  EXPECT_EQ(std::distance(fsys::directory_iterator(fs.dir()), fsys::directory_iterator{}), before);

  struct Work {
    word unit;
    const char* name;
  };
  for (const Work w : {Work{31, "WORK01"}, Work{53, "WORK23"}, Work{79, "WORK49"}, Work{80, "WORK50"}}) {
    UNTOPN(w.unit, 0, 0, 7);
    EXPECT_EQ(unit_file_name(w.unit), w.name);
    // Direct access with records of NBUFSZ - 1 words.
    testing::fill_block(kBuf, 1);
    unit_write_direct(w.unit, 3, std::as_bytes(core().words(kBuf, 10)));
    unit_flush(w.unit);
    EXPECT_EQ(fsys::file_size(fs.dir() / w.name), 3u * 40u);
  }
}

TEST(UntopnDeath, WorkFileBelowTheFirstWorkUnitIsFatal961) {
  FreshFileSystem fs(1, 11);
  EXPECT_EXIT(UNTOPN(19, 0, 0, 5), ::testing::ExitedWithCode(1), "");
  const std::string errors = fs.read("errors");
  EXPECT_TRUE(contains(errors, "0*** SYSTEM FATAL MESSAGE  961,")) << errors;
  EXPECT_TRUE(contains(errors, "BAD UNIT ASSIGNMENT, WROK UNIT       19 LESS THAN 1ST PRIMARY UNIT       31"))
      << errors;
}

TEST(UntopnDeath, MissingOldProblemTapeIsAClearFatalEnd) {
  FreshFileSystem fs(1, 11);
  testing::make_current(OPTP);
  EXPECT_EXIT(PUOPEN(name_word("OPTP"), 5), ::testing::ExitedWithCode(1), "");
  const std::string listing = fs.read("listing");
  EXPECT_TRUE(contains(listing, "CANNOT OPEN FILE \"OPTP\" ON UNIT 19")) << listing;
  EXPECT_TRUE(contains(listing, "FATAL MESSAGE 3019")) << listing;
  EXPECT_TRUE(contains(fs.read("errors"), "CANNOT OPEN FILE \"OPTP\""));
  EXPECT_EQ(fs.read("STAT").substr(0, 17), "      -8,       0");
}

TEST(Purecs, FirstOpenSetsEveryUnitOnce) {
  FreshFileSystem fs(1, 11);
  for (auto& p : dbio_state().PURECS) p = {7, 9};
  testing::make_current(INP1);
  PUOPEN(0, 7);
  for (word u = 1; u <= 90; ++u) {
    EXPECT_EQ(counters(u).next, 1);
    EXPECT_EQ(counters(u).written, 0);
  }
  write_record(1);
  testing::make_current(KGG);
  PUOPEN(0, 7);
  EXPECT_EQ(counters(31).next, 2);  // not reset by a later open
}

TEST(Purecs, WorkUnitRecords) {
  FreshFileSystem fs(1, 11);
  testing::make_current(INP1);
  PUOPEN(0, 7);
  for (word r = 1; r <= 10; ++r) write_record(r);
  EXPECT_EQ(counters(31).written, 10);
  EXPECT_EQ(fsys::file_size(fs.dir() / "WORK01"), 10u * 40u);
  word eof = -1;
  PUSEEK(7, eof);
  EXPECT_EQ(eof, 0);
  EXPECT_EQ(read_record(), 7);
  EXPECT_EQ(read_record(), 8);
  // A write always makes its record the last one; the file keeps its size.
  PUSEEK(3, eof);
  write_record(3);
  EXPECT_EQ(counters(31).written, 3);
  EXPECT_EQ(fsys::file_size(fs.dir() / "WORK01"), 10u * 40u);
  // Positioning beyond the last record is not an end; the read is.
  PUSEEK(5, eof);
  EXPECT_EQ(eof, 0);
  EXPECT_EQ(read_record(), 0);
  EXPECT_EQ(counters(31).next, 5);
  PUSEEK(2, eof);
  EXPECT_EQ(read_record(), 2);
  PUCLOS(-1);
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK01"));
}

// Reads that go on from the last one, forward or backward, take records
// ahead; they return every record as last written, also one rewritten after
// it was read ahead (the last record then), and jumps as before.
TEST(Purecs, WorkUnitReadsInSequenceSeeEveryWrite) {
  FreshFileSystem fs(1, 11);
  testing::make_current(INP1);
  PUOPEN(0, 7);
  constexpr word n = 300;
  for (word r = 1; r <= n; ++r) write_record(r);
  const auto read_at = [](word r, word seed) {
    word eof = -1;
    PUSEEK(r, eof);
    PUREAD(kBuf, eof);
    return eof == 0 && testing::holds_block(kBuf, r, seed);
  };
  for (word r = 1; r <= n; ++r) ASSERT_TRUE(read_at(r, 0)) << r;
  for (word r = n; r >= 1; --r) ASSERT_TRUE(read_at(r, 0)) << r;
  for (word r = 140; r <= 149; ++r) ASSERT_TRUE(read_at(r, 0)) << r;  // 150 read ahead
  word eof = -1;
  PUSEEK(150, eof);
  testing::fill_block(kBuf, 150, 7);
  PUWRIT(kBuf);
  EXPECT_TRUE(read_at(150, 7));
  for (word r = 146; r <= 150; ++r) EXPECT_TRUE(read_at(r, r == 150 ? 7 : 0)) << r;
  EXPECT_EQ(read_record(), 0);
  for (word r : {3, 120, 17, 150, 149}) EXPECT_TRUE(read_at(r, r == 150 ? 7 : 0)) << r;
}

TEST(Purecs, ProblemTapeRecords) {
  FreshFileSystem fs(1, 11);
  testing::make_current(NPTP);
  PUOPEN(name_word("NPTP"), 7);
  for (word r = 1; r <= 10; ++r) write_record(r);
  word eof = -1;
  struct Step {
    word seek;  // record to position on, then read
    word got;   // word 1 of the record read (0: the seek reported an end)
  };
  // Backward by backspaces, forward by skips, record 1 by a rewind.
  for (const Step s : {Step{8, 8}, Step{5, 5}, Step{2, 2}, Step{5, 5}, Step{1, 1}, Step{10, 10}, Step{11, 0}}) {
    SCOPED_TRACE(s.seek);
    PUSEEK(s.seek, eof);
    EXPECT_EQ(eof, s.got == 0 ? 1 : 0);
    if (s.got != 0) {
      EXPECT_EQ(read_record(), s.got);
    }
  }
  EXPECT_EQ(read_record(), 0);  // after record 10
  // A sequential write ends the file after its record.
  PUSEEK(4, eof);
  write_record(4);
  EXPECT_EQ(counters(18).written, 4);
  UNTCLS(18);
  EXPECT_EQ(fsys::file_size(fs.dir() / "NPTP"), 4u * (40u + 8u));
}

TEST(Purecs, OldProblemTapeIsReadToItsEnd) {
  FreshFileSystem fs(1, 11);
  unit_open(18, "OPTP", UnitForm::Unformatted, UnitStatus::Unknown);
  for (word r = 1; r <= 3; ++r) {
    testing::fill_block(kBuf, r);
    unit_write_record(18, std::as_bytes(core().words(kBuf, 10)));
  }
  unit_close(18);
  testing::make_current(OPTP);
  PUOPEN(name_word("OPTP"), 5);
  EXPECT_EQ(counters(19).written, 16777216);
  for (word r = 1; r <= 3; ++r) EXPECT_EQ(read_record(), r);
  EXPECT_EQ(read_record(), 0);
  EXPECT_EQ(counters(19).next, 4);
}

TEST(PurecsDeath, TapeRecordOfAnotherLengthIsFatal) {
  FreshFileSystem fs(1, 11);
  unit_open(18, "OPTP", UnitForm::Unformatted, UnitStatus::Unknown);
  unit_write_record(18, std::as_bytes(core().words(kBuf, 9)));
  unit_close(18);
  testing::make_current(OPTP);
  PUOPEN(name_word("OPTP"), 5);
  EXPECT_EXIT(read_record(), ::testing::ExitedWithCode(1), "");
  EXPECT_TRUE(contains(fs.read("errors"), "READ GARBAGE, FILE=OPTP, UNIT=      19"));
}

}  // namespace
}  // namespace zephsol
