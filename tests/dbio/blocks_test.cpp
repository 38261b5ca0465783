// Block layer: blocks on work units, chains of pool buffers, spill to the
// unit, read copies in pool 2, positioning, and the fatal dumps.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "support/blockdata.h"
#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/pools.h"
#include "common/testing.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
using testing::on_block;
using testing::read_back;
using testing::write_blocks;
namespace fsys = std::filesystem;

constexpr word kBuf = 2;        // the record buffer
constexpr word kPoolAt = 1000;  // pool 2 region

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Pool 2 of nb buffers (B = 11) lent for the data blocks of list.
void lend(word nb, const std::vector<word>& list) {
  static std::vector<word> keep;
  keep = list;
  BUFLND(kPoolAt, nb * 11, keep.data(), static_cast<word>(keep.size()));
}

std::vector<word> pool2_free_list() {
  std::vector<word> out;
  for (word k = filctl().p2head & 0x7FFF; k != 0 && out.size() < 100;) {
    out.push_back(k);
    word f = 0;
    LNKGET(f, k, 1, -1);
    k = f & 0x7FFF;
  }
  return out;
}

// The buffers of a unit's chain from its first, by forward links.
std::vector<word> chain_of(word unit) {
  std::vector<word> out;
  for (word k = first_chain_buffer(fit(unit)); k != 0 && out.size() < 100000;) {
    out.push_back(k);
    LNKGET(k, k, 1, 0);
  }
  return out;
}

std::uintmax_t file_size(const FreshFileSystem& fs, const char* name) {
  std::error_code ec;
  const auto n = fsys::file_size(fs.dir() / name, ec);
  return ec ? 0 : n;
}

TEST(Blocks, TenThousandRandomBlocksThroughAWorkUnit) {
  FreshFileSystem fs;  // NBUFSZ 1025: records of 4096 bytes
  constexpr word n = 10000;
  std::mt19937 rng(12345);
  std::vector<word> seed(n + 1);
  for (auto& s : seed) s = static_cast<word>(rng());
  on_block(KGG, [&] {
    BLKOPN(2);
    BLKREW(1);
    for (word b = 1; b <= n; ++b) {
      testing::fill_block(kBuf, b, seed[static_cast<std::size_t>(b)]);
      BLKPUT(kBuf);
    }
  });
  EXPECT_EQ(file_size(fs, "WORK23"), std::uintmax_t{n} * 4 * (1025 - 1));
  EXPECT_EQ(low24(fit(53).last), n);
  EXPECT_EQ(sysw().NBLKIO, n);
  EXPECT_EQ(BLKCNT(0, 0), n);

  word bad = 0;
  on_block(KGG, [&] {
    BLKOPN(4);
    BLKREW(0);
    for (word b = 1; b <= n; ++b) {
      BLKGET(kBuf);
      bad += !testing::holds_block(kBuf, b, seed[static_cast<std::size_t>(b)]);
    }
    EXPECT_TRUE(filctl().status & S_LAST);
    // Random positions read the block asked for.
    std::uniform_int_distribution<word> pick(1, n);
    for (int i = 0; i < 500; ++i) {
      const word b = pick(rng);
      BLKPOS(b);
      BLKGET(kBuf);
      bad += !testing::holds_block(kBuf, b, seed[static_cast<std::size_t>(b)]);
    }
  });
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(sysw().NBLKIO, 2 * n + 500);

  SCRDEL();
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK23"));
}

TEST(Blocks, ThreeBufferPoolSpillsBlocksFourAndFiveToTheUnit) {
  FreshFileSystem fs(1, 11);
  lend(3, {S301});
  write_blocks(S301, 5, kBuf);
  const FitRow& r = fit(75);
  EXPECT_EQ(chain_of(75), (std::vector<word>{32769, 32770, 32771}));
  EXPECT_EQ(low24(r.first), 4);
  EXPECT_EQ(low24(r.last), 5);
  EXPECT_EQ(r.status & (S_POOL2 | S_CORE), S_POOL2 | S_CORE);
  EXPECT_EQ(file_size(fs, "WORK45"), 2u * 40u);  // blocks 4 and 5 as records 1 and 2
  EXPECT_EQ(sysw().NBLKIO, 2);
  for (word b = 1; b <= 3; ++b) EXPECT_TRUE(testing::holds_block(BUFADR(kPool2Bit + b), b));

  EXPECT_TRUE(read_back(S301, 5, kBuf).empty());
  EXPECT_EQ(sysw().NBLKIO, 4);
  EXPECT_TRUE(fit(75).status & S_LAST);

  // Rewound to rewrite, a spilled data block writes to its unit from block 1.
  on_block(S301, [] { BLKREW(1); });
  EXPECT_EQ(low24(fit(75).first), 1);
  EXPECT_EQ(fit(75).chain, 0);
  EXPECT_EQ(pool2_free_list().size(), 3u);
  on_block(S301, [] {
    for (word b = 1; b <= 2; ++b) {
      testing::fill_block(kBuf, b, 7);
      BLKPUT(kBuf);
    }
  });
  EXPECT_EQ(chain_of(75), std::vector<word>{});
  EXPECT_TRUE(read_back(S301, 2, kBuf, 7).empty());
}

TEST(Blocks, DataBlockWhollyInCoreStaysInCore) {
  FreshFileSystem fs(1, 11);
  lend(4, {S302});
  write_blocks(S302, 3, kBuf);
  on_block(S302, [] { BLKREW(1); });
  EXPECT_EQ(low24(fit(76).first), kAllInCore);
  write_blocks(S302, 4, kBuf, 9);
  EXPECT_EQ(chain_of(76).size(), 4u);
  EXPECT_EQ(sysw().NBLKIO, 0);
  EXPECT_EQ(file_size(fs, "WORK46"), 0u);
  EXPECT_TRUE(read_back(S302, 4, kBuf, 9).empty());
}

TEST(Blocks, RewriteInsideAChainDropsTheBlocksAfterIt) {
  FreshFileSystem fs(1, 11);
  lend(6, {S301});
  write_blocks(S301, 4, kBuf);
  on_block(S301, [] {
    BLKPOS(2);
    testing::fill_block(kBuf, 2, 5);
    BLKPUT(kBuf);
  });
  EXPECT_EQ(low24(fit(75).last), 2);
  EXPECT_EQ(chain_of(75), (std::vector<word>{32769, 32770}));
  EXPECT_EQ(pool2_free_list(), (std::vector<word>{5, 6, 3, 4}));
  on_block(S301, [] {
    BLKREW(0);
    BLKGET(kBuf);
    EXPECT_TRUE(testing::holds_block(kBuf, 1));
    BLKGET(kBuf);
    EXPECT_TRUE(testing::holds_block(kBuf, 2, 5));
    EXPECT_TRUE(filctl().status & S_LAST);
  });
}

TEST(Blocks, PositioningInALongChainReadsTheBlockAskedFor) {
  FreshFileSystem fs(2, 11);
  constexpr word n = 30000;
  lend(n, {S303});
  write_blocks(S303, n, kBuf);
  ASSERT_EQ(low24(fit(77).first), kAllInCore);
  std::mt19937 rng(7);
  std::uniform_int_distribution<word> pick(1, n);
  word bad = 0;
  on_block(S303, [&] {
    for (int i = 0; i < 30000; ++i) {
      const word b = pick(rng);
      BLKPOS(b);
      BLKGET(kBuf);
      bad += !testing::holds_block(kBuf, b);
    }
  });
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(sysw().NBLKIO, 0);
}

TEST(Blocks, ReadCopyInPool2AndItsRelease) {
  FreshFileSystem fs(1, 11);
  write_blocks(KGG, 5, kBuf);
  lend(3, {KGG});
  const word io = sysw().NBLKIO;
  on_block(KGG, [] { BLKOPN(4); });
  const FitRow& r = fit(53);
  EXPECT_EQ(r.first, F5_CHAINED | 4);  // blocks 1-3 copied, 4 on from the unit
  EXPECT_EQ(chain_of(53), (std::vector<word>{32769, 32770, 32771}));
  EXPECT_EQ(sysw().NBLKIO, io + 3);
  EXPECT_TRUE(read_back(KGG, 5, kBuf).empty());
  EXPECT_EQ(sysw().NBLKIO, io + 5);  // blocks 4 and 5 from records 4 and 5

  BUFLND(0, 0, nullptr, 0);
  EXPECT_EQ(r.first, 1);
  EXPECT_EQ(r.chain, 0);
  EXPECT_EQ(r.status & (S_POOL2 | S_CORE), 0);
  EXPECT_TRUE(read_back(KGG, 5, kBuf).empty());
  EXPECT_EQ(sysw().NBLKIO, io + 10);
}

TEST(Blocks, TakingPool2BackEmptiesListedScratchDataBlocks) {
  FreshFileSystem fs(1, 11);
  lend(3, {S301, S302});
  write_blocks(S301, 5, kBuf);
  set_last_operation(fit(75), 13);
  ASSERT_TRUE(fsys::exists(fs.dir() / "WORK45"));
  BUFLND(0, 0, nullptr, 0);
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK45"));
  EXPECT_EQ(fit(75).status & (S_EXISTS | S_CORE | S_POOL2), 0);
  EXPECT_EQ(fit(75).chain, 0);
  EXPECT_EQ(filctl().p2lent, 0);
}

TEST(Blocks, DiscardDeletesTheFileAndWritingStartsAgainAtRecordOne) {
  FreshFileSystem fs(1, 11);
  write_blocks(KGG, 3, kBuf);
  on_block(KGG, [] { BLKREW(-1); });
  const FitRow& r = fit(53);
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK23"));
  EXPECT_EQ(r.status & S_EXISTS, 0);
  EXPECT_EQ(r.first, 1);
  EXPECT_EQ(low24(r.last), 0);
  write_blocks(KGG, 2, kBuf, 3);
  EXPECT_EQ(file_size(fs, "WORK23"), 2u * 40u);
  EXPECT_TRUE(read_back(KGG, 2, kBuf, 3).empty());
}

TEST(Blocks, DiagnosticMessagesUnderSwitch2) {
  FreshFileSystem fs(1, 11);
  DIAGST(2, 1);
  lend(3, {S301});
  write_blocks(S301, 5, kBuf);
  const std::string listing = fs.read("listing");
  EXPECT_TRUE(contains(listing, "0*** SYSTEM INFORMATION MESSAGE 3045, DATA BLOCK NAME = $301    , PRIMAL UNIT NUMBER =  75\n"
                                "          DATA BLOCK STARTED AS CORE RESIDENT.\n"))
      << listing;
  EXPECT_TRUE(contains(listing, "0*** SYSTEM INFORMATION MESSAGE 3042, DATA BLOCK NAME = $301    , PRIMAL UNIT NUMBER =  75\n"
                                "          CORE RESIDENT DATA OVER    4TH BLOCK WAS EXTENDED TO PRIMARY UNIT.\n"))
      << listing;
}

// The fatal stops: what a case sets up, the stop it provokes in a child, and
// the text of its first line.
struct FatalCase {
  const char* text;
  std::function<void()> setup;
  std::function<void()> stop;
};

TEST(BlocksDeath, EveryBrokenSequenceStopsWithTheDataBlockAndItsFit) {
  const FatalCase cases[] = {
      {"FIO663 - BAD BLK SEQ.", [] { write_blocks(KGG, 5, kBuf); },
       [] {
         on_block(KGG, [] {
           testing::fill_block(kBuf, 7);
           BLKPUT(kBuf);
         });
       }},
      {"FIO664 - ATTEMPT TO READ PAST EOD", [] { on_block(S302, [] { BLKOPN(4); }); },
       [] { on_block(S302, [] { BLKGET(kBuf); }); }},
      {"FIO664 - ATTEMPT TO READ PAST EOD", [] { write_blocks(KGG, 2, kBuf); },
       [] {
         on_block(KGG, [] {
           BLKREW(0);
           for (int i = 0; i < 3; ++i) BLKGET(kBuf);
         });
       }},
      {"FIO660 - BSB CHAIN INCOMPLETE",
       [] {
         lend(6, {S301});
         write_blocks(S301, 3, kBuf);
       },
       [] { on_block(S301, [] { BLKPOS(5); }); }},
      {"FIO662 - BLOCK NBR OUT OF CHAIN",
       [] {
         lend(6, {S301});
         write_blocks(S301, 3, kBuf);
         on_block(S301, [] { BLKREW(0); });
         fit(75).chain &= static_cast<word>(0xFFFF0000u);
       },
       [] { on_block(S301, [] { BLKGET(kBuf); }); }},
      {"FIO661 - FITFBN NOT 1",
       [] {
         write_blocks(KGG, 3, kBuf);
         lend(6, {KGG});
         fit(53).first = 2;
       },
       [] { on_block(KGG, [] { BLKOPN(4); }); }},
      {"FIO665 - BLOCK NBR LIMIT EXCEEDED",
       [] {
         write_blocks(KGG, 1, kBuf);
         fit(53).status = with_low24(fit(53).status, kMaxBlockNumber);
       },
       [] {
         on_block(KGG, [] {
           testing::fill_block(kBuf, kMaxBlockNumber + 1);
           BLKPUT(kBuf);
         });
       }},
  };
  for (const FatalCase& c : cases) {
    SCOPED_TRACE(c.text);
    FreshFileSystem fs(1, 11);
    c.setup();
    EXPECT_EXIT(c.stop(), ::testing::ExitedWithCode(1), "");
    std::string first = std::string("0*** SYSTEM FATAL MESSAGE ") + c.text;
    first.resize(26 + 36, ' ');
    for (const char* file : {"listing", "errors"}) {
      const std::string out = fs.read(file);
      EXPECT_TRUE(contains(out, first + "\n          DATA BLOCK REF NBR  ")) << out;
      EXPECT_TRUE(contains(out, "\n0CONTENTS OF FIT    ")) << out;
      EXPECT_TRUE(contains(out, "0*** SYSTEM FATAL MESSAGE    999, PROGRAM LOGIC ERROR")) << out;
    }
    // The run ended through the fatal path: an error end, work files gone.
    EXPECT_EQ(fs.read("STAT").substr(0, 17), "      -8,       0");
    EXPECT_FALSE(fsys::exists(fs.dir() / "WORK23"));
    EXPECT_FALSE(fsys::exists(fs.dir() / "WORK45"));
  }
}

TEST(BlocksDeath, DumpLinesOfABadBlockSequence) {
  FreshFileSystem fs(1, 11);
  write_blocks(KGG, 5, kBuf);
  EXPECT_EXIT(on_block(KGG,
                       [] {
                         testing::fill_block(kBuf, 7);
                         BLKPUT(kBuf);
                       }),
              ::testing::ExitedWithCode(1), "");
  // FIT row of unit 53 as stored before the failing call: file exists, at
  // load point, block 5 written last, first on unit 1, 5 blocks.
  const std::string dump =
      "0*** SYSTEM FATAL MESSAGE FIO663 - BAD BLK SEQ.               \n"
      "          DATA BLOCK REF NBR  226,  DATA BLOK NAME KGG ,  PHYSICAL UNIT NBR   53\n"
      "0CONTENTS OF FIT      4C000005         0         0         0             1         5         0         0\n";
  EXPECT_TRUE(contains(fs.read("listing"), dump)) << fs.read("listing");
  EXPECT_TRUE(contains(fs.read("errors"), dump)) << fs.read("errors");
}

TEST(Scrdel, DeletesWorkFilesAndKeepsProblemTapes) {
  FreshFileSystem fs(1, 11);
  lend(3, {S301});
  write_blocks(S301, 2, kBuf);  // wholly in core: its work file is empty
  write_blocks(KGG, 2, kBuf);
  write_blocks(NPTP, 2, kBuf);
  ASSERT_TRUE(fsys::exists(fs.dir() / "WORK45"));
  SCRDEL();
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK45"));
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK23"));
  EXPECT_TRUE(fsys::exists(fs.dir() / "NPTP"));
  EXPECT_EQ(filctl().curunt, 81);
}

TEST(ScrdelDeath, RunEndDeletesTheWorkFiles) {
  FreshFileSystem fs(1, 11);
  write_blocks(KGG, 2, kBuf);
  write_blocks(EGED, 2, kBuf);
  ASSERT_TRUE(fsys::exists(fs.dir() / "WORK50"));
  EXPECT_EXIT(RUNEND(), ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK23"));
  EXPECT_FALSE(fsys::exists(fs.dir() / "WORK50"));
}

}  // namespace
}  // namespace zephsol
