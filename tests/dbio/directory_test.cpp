// Load-time data block tables and the number lookups.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "support/blockdata.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "common/testing.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

std::string name_of(word number) {
  word n = 0;
  DBNAME(number, n);
  return word_name(n);
}

TEST(Directory, LoadTables) {
  FreshFileSystem fs;
  const DBST& t = dbio_state().dbst;
  const DBDIR& d = dbio_state().dbdir;
  EXPECT_EQ(t.NENTRY, 56);
  EXPECT_EQ(t.NENTR2, 56);
  EXPECT_EQ(t.NPERM, 2);
  EXPECT_EQ(d.length, 76);
  EXPECT_EQ(d.start, (std::array<word, 5>{7, 9, 9, 59, 63}));
  // Numbers 1, 2, 201-250, 301-304 are entries 1 to 56 in that order; the
  // directory words after the groups point at the empty entries 57 to 70.
  EXPECT_EQ(d.at(7), 4);
  EXPECT_EQ(d.at(8), 12);
  EXPECT_EQ(d.at(9), 20);
  EXPECT_EQ(d.at(58), 4 + 8 * 51);
  EXPECT_EQ(d.at(62), 4 + 8 * 55);
  EXPECT_EQ(d.at(63), 4 + 8 * 56);
  EXPECT_EQ(d.at(76), 4 + 8 * 69);
  for (int e = 57; e <= 80; ++e) {
    const DbstEntry& x = t.entry[static_cast<std::size_t>(e - 1)];
    EXPECT_EQ(x.unit | x.name, 0);
  }
  EXPECT_EQ(INP1, 201);
  EXPECT_EQ(EGEE, 250);
  EXPECT_EQ(S301, 301);
}

TEST(Directory, NamesAndUnits) {
  struct Case {
    word number;
    const char* name;
    word unit;
  };
  const Case cases[] = {
      {NPTP, "NPTP", 18}, {OPTP, "OPTP", 19}, {INP1, "INP1", 31}, {EGED, "EGED", 80}, {EST, "EST ", 44},
      {YS, "YS  ", 33},   {EPD, "EPD ", 38},  {UG, "UG  ", 59},   {EGEE, "EGEE", 79}, {S301, "$301", 75},
      {S304, "$304", 31}, {0, "****", 0},     {100, "****", 0},   {101, "****", 0},   {200, "****", 0},
      {251, "****", 0},   {300, "****", 0},   {305, "****", 0},   {400, "****", 0},   {-1, "****", 0},
  };
  FreshFileSystem fs;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(name_of(c.number), c.name);
    word r[2] = {-5, -5};
    DBUNIT(c.number, r);
    EXPECT_EQ(r[0], -c.unit);  // closed
    EXPECT_EQ(r[1] != 0, c.unit != 0);
    EXPECT_EQ(filctl().curfil, c.unit ? c.number : -777);
    word n8[2];
    DBNAM8(c.number, n8);
    EXPECT_EQ(words8_name(n8[0], n8[1]), std::string(c.name) + "    ");
  }
}

TEST(Directory, UnitsAreSharedOnlyWhereListed) {
  FreshFileSystem fs;
  std::map<word, int> uses;
  const DBST& t = dbio_state().dbst;
  for (int e = 1; e <= t.NENTRY; ++e) ++uses[entry_unit(t.entry[static_cast<std::size_t>(e - 1)])];
  for (auto [unit, n] : uses) {
    const bool shared = unit == 31 || unit == 33 || unit == 34 || unit == 37;
    EXPECT_EQ(n, shared ? 2 : 1) << "unit " << unit;
  }
  EXPECT_EQ(uses.count(38), 1u);
}

TEST(Directory, DbunitIsPositiveWhileABufferIsAssigned) {
  FreshFileSystem fs;
  fit(33).buffer = 2;  // BOUN open
  word r[2];
  DBUNIT(YS, r);
  EXPECT_EQ(r[0], 33);
  EXPECT_EQ(filctl().curunt, 33);
}

TEST(Directory, DbunldEmptiesAWrittenDataBlock) {
  FreshFileSystem fs(1, 11);
  const word index = dbst_index(KGG);
  dbio_state().dbst.at(index).DBHDR = {1, 2, 3, 4, 5, 6};
  // Never written: nothing happens.
  DBUNLD(index);
  EXPECT_EQ(dbio_state().dbst.at(index).DBHDR[0], 1);
  testing::write_blocks(KGG, 3, 2);
  FitRow& row = fit(53);
  set_last_operation(row, 13);
  row.status |= S_EOD | S_INREC;
  ASSERT_TRUE(std::filesystem::exists(fs.dir() / "WORK23"));
  DBUNLD(index);
  EXPECT_FALSE(std::filesystem::exists(fs.dir() / "WORK23"));
  EXPECT_EQ(dbio_state().dbst.at(index).DBHDR, (std::array<word, 6>{}));
  EXPECT_EQ(row.status, S_LOADPT | 1);
  EXPECT_EQ(row.last, 0);
  EXPECT_EQ(row.first, 1);
  EXPECT_EQ(filctl().curfil, -777);
}

}  // namespace
}  // namespace zephsol
