// The order of operations on a data block: the table of allowed successors,
// every pair run on a real data block, and a sample of refusals (fatal 3001
// naming the last operation).
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "common/fatal.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/fortfmt.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

constexpr word kBuf = 2;
constexpr word kUnit = 53;  // KGG

// The allowed successors of each last operation, as the file system's
// description lists them.
const std::array<std::set<word>, 15> kAllowed = {{
    {},
    {5, 10, 14},
    {5, 10, 14},
    {6, 8, 9, 10, 11, 12, 13, 14},
    {6, 9, 10, 11, 12, 13, 14},
    {5, 7, 12, 13, 14},
    {6, 8, 9, 10, 11, 12, 13, 14},
    {5, 7, 10, 12, 13, 14},
    {6, 8, 9, 10, 11, 12, 13, 14},
    {6, 8, 9, 10, 11, 12, 13, 14},
    {5, 6, 9, 10, 11, 12, 13, 14},
    {6, 8, 9, 10, 11, 12, 13, 14},
    {1, 2, 3, 4},
    {1, 2, 3, 4},
    {},
}};

TEST(Sequence, TableOfAllowedSuccessors) {
  for (word last = 0; last <= 14; ++last)
    for (word next = 1; next <= 31; ++next)
      EXPECT_EQ(sequence_allows(last, next), kAllowed[static_cast<std::size_t>(last)].count(next) == 1)
          << last << " then " << next;
  EXPECT_FALSE(sequence_allows(15, 5));
  EXPECT_FALSE(sequence_allows(-1, 5));
  EXPECT_FALSE(sequence_allows(5, 0));
}

std::array<word, 3> record() { return {7, 8, 9}; }

void write_record() {
  const auto w = record();
  DBWRIT(KGG, w.data(), 3, 1);
}
void read_record() {
  std::array<word, 3> w{};
  word nread = 0, status = 0;
  DBRDST(KGG, w.data(), 3, 1, nread, status);
}

// A data block of two files of three records, closed rewound.
void write_two_files() {
  DBOPEN(KGG, kBuf, kWrite);
  for (int f = 0; f < 2; ++f) {
    for (int r = 0; r < 3; ++r) write_record();
    DBEOF(KGG);
  }
  DBCLOS(KGG, kCloseRewind);
}

// Brings KGG to last operation 1 to 11.
void reach(word last) {
  const std::array<std::function<void()>, 12> ways = {
      [] {},
      [] { DBOPEN(KGG, kBuf, kWriteNoRewind); },
      [] { DBOPEN(KGG, kBuf, kWrite); },
      [] { DBOPEN(KGG, kBuf, kReadNoRewind); },
      [] { DBOPEN(KGG, kBuf, kRead); },
      [] {
        DBOPEN(KGG, kBuf, kWrite);
        write_record();
      },
      [] {
        DBOPEN(KGG, kBuf, kRead);
        read_record();
      },
      [] {
        DBOPEN(KGG, kBuf, kWrite);
        write_record();
        DBEOF(KGG);
      },
      [] {
        DBOPEN(KGG, kBuf, kRead);
        read_record();
        read_record();
        DBBKSP(KGG);
      },
      [] {
        word status = 0;
        DBOPEN(KGG, kBuf, kRead);
        DBFWRD(KGG, status);
      },
      [] {
        DBOPEN(KGG, kBuf, kRead);
        read_record();
        DBREWD(KGG);
      },
      [] {
        DBOPEN(KGG, kBuf, kRead);
        DBSKPF(KGG, 1);
      },
  };
  ways[static_cast<std::size_t>(last)]();
}

// Operation 5 to 14 on KGG.
void run(word op) {
  word status = 0;
  switch (op) {
    case 5: write_record(); break;
    case 6: read_record(); break;
    case 7: DBEOF(KGG); break;
    case 8: DBBKSP(KGG); break;
    case 9: DBFWRD(KGG, status); break;
    case 10: DBREWD(KGG); break;
    case 11: DBSKPF(KGG, 1); break;
    case 12: DBCLOS(KGG, kCloseNoRewind); break;
    case 13: DBCLOS(KGG, kCloseRewind); break;
    default: DBCLOS(KGG, kCloseUnload); break;
  }
}

// Every pair of an open data block's last operation (1 to 11) and a next
// operation (5 to 14): an allowed pair runs and records its operation; for
// each last operation the first refused successor ends the run with 3001
// naming it.
TEST(Sequence, EveryPairOnADataBlock) {
  for (word last = 1; last <= 11; ++last) {
    bool refusal_tried = false;
    for (word next = 5; next <= 14; ++next) {
      SCOPED_TRACE(std::to_string(last) + " then " + std::to_string(next));
      FreshFileSystem fs(1, 11);
      write_two_files();
      reach(last);
      ASSERT_EQ(last_operation(fit(kUnit)), last);
      if (sequence_allows(last, next)) {
        run(next);
        EXPECT_EQ(last_operation(fit(kUnit)), next == 14 ? 0 : next);
      } else if (!refusal_tried) {
        refusal_tried = true;
        EXPECT_RUN_ENDS_WITH(fs, run(next),
                             fline("(10X,'I/O SEQUENCE ERROR.  FILE=KGG , LAST OPERATION=',I8)", {last}));
      }
    }
  }
}

// A closed or emptied data block refuses every operation but an open.
TEST(Sequence, ClosedDataBlocksAcceptOnlyAnOpen) {
  FreshFileSystem fs(1, 11);
  write_two_files();
  EXPECT_EQ(last_operation(fit(kUnit)), kOpCloseR);
  EXPECT_RUN_ENDS_WITH(fs, read_record(), "FILE KGG  HAS NOT BEEN OPENED YET. UNIT=     226");
  EXPECT_RUN_ENDS_WITH(fs, DBCLOS(KGG, kCloseRewind), "FILE KGG  HAS NOT BEEN OPENED YET. UNIT=     226");
  EXPECT_RUN_ENDS_WITH(fs, DBCLOS(KGG, name_word("RWD ")), "INVALID CLOSE OPTION.  FILE=KGG , OPTION=RWD ");
  DBOPEN(KGG, kBuf, kRead);
  read_record();
  DBCLOS(KGG, kCloseUnload);
  EXPECT_EQ(last_operation(fit(kUnit)), kOpNone);
  DBOPEN(KGG, kBuf, kRead);
  EXPECT_EQ(last_operation(fit(kUnit)), kOpOpenRd);
  DBCLOS(KGG, kCloseRewind);
}

}  // namespace
}  // namespace zephsol
