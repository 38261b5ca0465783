// File-system set-up and the buffer pools: BUFINI, BUFLND, BUFGET, BUFREL,
// BUFADR, the link words and BLKCNT.
#include <gtest/gtest.h>

#include <vector>

#include "support/blockdata.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/pools.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

// The buffers of a free list from its head, following forward links; every
// backward link must point at the buffer before.
std::vector<word> free_list(word head, word pool) {
  std::vector<word> out;
  word prev = 0;
  for (word k = head & 0x7FFF; k != 0 && out.size() < 70000;) {
    word back = 0, fwd = 0;
    LNKGET(back, k, 0, pool);
    LNKGET(fwd, k, 1, pool);
    EXPECT_EQ(back & 0x7FFF, prev) << "backward link of buffer " << k;
    out.push_back(k);
    prev = k;
    k = fwd & 0x7FFF;
  }
  return out;
}

TEST(Bufini, LoadStateForEachBufferSize) {
  struct Case {
    word nbufsz, b;
  };
  for (const Case c : {Case{1024, 1025}, Case{1025, 1025}, Case{10, 11}, Case{11, 11}}) {
    FreshFileSystem fs(1, c.nbufsz);
    SCOPED_TRACE(c.nbufsz);
    const FILCTL& f = filctl();
    EXPECT_EQ(sysw().NBUFSZ, c.b);
    EXPECT_EQ(f.curfil, -777);
    EXPECT_EQ(f.blkwds, c.b - 1);
    EXPECT_EQ(f.blkwm1, c.b - 2);
    EXPECT_EQ(f.blkwm2, c.b - 3);
    EXPECT_EQ(f.status, 1073741825);
    // Permanent units 18-19; work units 31-80 (EGED has unit 80 of its own).
    EXPECT_EQ(f.fstprm, 18);
    EXPECT_EQ(f.fstwrk, 31);
    EXPECT_EQ(f.nprm, 2);
    EXPECT_EQ(f.nwrk, 50);
    EXPECT_EQ(f.p1built, 0);
    EXPECT_EQ(sysw().COREND, 1 + 262144);
    for (word u = 1; u <= 90; ++u) {
      const FitRow& r = fit(u);
      EXPECT_EQ(r.status, 1073741825);
      EXPECT_EQ(r.first, 1);
      EXPECT_EQ(r.buffer | r.next | r.header | r.last | r.lastrec | r.chain, 0);
    }
  }
}

TEST(Bufini, Pool1IsCutFromTheTopOfTheCoreWhenItHoldsAWorkUnitEach) {
  struct Case {
    word ncrres;
    bool built;
  };
  // B = 11: 50 work units need 550 words; the whole core is never given.
  for (const Case c : {Case{0, false}, Case{549, false}, Case{550, true}, Case{2000, true}, Case{262144, false}}) {
    FreshFileSystem fs(1, 11);
    SCOPED_TRACE(c.ncrres);
    sysw().NCRRES = c.ncrres;
    CORINI();
    BUFINI();
    const FILCTL& f = filctl();
    ASSERT_EQ(f.p1built, c.built ? 1 : 0);
    if (!c.built) {
      EXPECT_EQ(sysw().COREND, 1 + 262144);
      continue;
    }
    const word nb = c.ncrres / 11;
    EXPECT_EQ(sysw().COREND, 1 + 262144 - c.ncrres);
    EXPECT_EQ(f.p1link, sysw().COREND);
    EXPECT_EQ(f.p1buf, f.p1link + nb);
    EXPECT_EQ(f.p1head, 1);
    EXPECT_EQ(f.p1tail, nb);
    EXPECT_EQ(free_list(f.p1head, 1).size(), static_cast<std::size_t>(nb));
    EXPECT_EQ(BUFADR(nb) + 10, f.p1link + c.ncrres - c.ncrres % 11);
  }
}

TEST(Buflnd, LendsTwoBuffersOrMoreAndTakesBack) {
  FreshFileSystem fs(1, 11);
  const word list[] = {S301};
  BUFLND(100, 21, list, 1);  // 2 B - 1 words: one buffer only
  EXPECT_EQ(filctl().p2lent, 0);
  BUFLND(100, 22, list, 0);  // no data blocks
  EXPECT_EQ(filctl().p2lent, 0);
  BUFLND(100, 22, list, 1);
  const FILCTL& f = filctl();
  ASSERT_EQ(f.p2lent, 1);
  EXPECT_EQ(f.p2link, 100);
  EXPECT_EQ(f.p2buf, 102);
  EXPECT_EQ(free_list(f.p2head, -1), (std::vector<word>{1, 2}));
  EXPECT_EQ(f.p2tail, 2);
  EXPECT_EQ(f.p2nlst, 1);
  EXPECT_TRUE(in_pool2_list(S301));
  EXPECT_FALSE(in_pool2_list(S302));
  EXPECT_EQ(BUFADR(kPool2Bit + 1), 102);
  EXPECT_EQ(BUFADR(kPool2Bit + 2), 112);
  BUFLND(0, 0, nullptr, 0);
  EXPECT_EQ(f.p2lent, 0);
  EXPECT_EQ(f.p2head | f.p2tail | f.p2link | f.p2buf | f.p2nlst, 0);
}

TEST(Buflnd, PoolHoldsAtMost32767Buffers) {
  FreshFileSystem fs(2, 11);
  const word list[] = {S301};
  BUFLND(1, 40000 * 11, list, 1);
  const FILCTL& f = filctl();
  EXPECT_EQ(f.p2tail, 32767);
  EXPECT_EQ(f.p2buf, 1 + 32767);
  // The last buffer and its link word are the pool's last words; the words
  // beyond stay untouched.
  EXPECT_EQ(BUFADR(kPool2Bit + 32767) + 10, 32767 * 11 + 1);
  word back = 0;
  LNKGET(back, 32767, 0, -1);
  EXPECT_EQ(back, 32766);
}

TEST(Bufget, HandsOutPool2InOrderThenNothing) {
  FreshFileSystem fs(1, 11);
  const word list[] = {S301};
  BUFLND(100, 33, list, 1);
  filctl().status = S_POOL2;
  std::vector<word> got;
  for (int i = 0; i < 4; ++i) {
    word k = -1;
    BUFGET(k);
    got.push_back(k);
  }
  EXPECT_EQ(got, (std::vector<word>{32769, 32770, 32771, 0}));
  // Without the pool 2 bit the data block draws on pool 1, which is absent.
  BUFREL(32770);
  filctl().status = 0;
  word k = -1;
  BUFGET(k);
  EXPECT_EQ(k, 0);
}

TEST(Bufrel, AppendsARunToTheTailInChainOrder) {
  FreshFileSystem fs(1, 11);
  const word list[] = {S301};
  BUFLND(100, 33, list, 1);
  filctl().status = S_POOL2;
  for (int i = 0; i < 3; ++i) {
    word k;
    BUFGET(k);
  }
  BUFREL(32770);
  EXPECT_EQ(free_list(filctl().p2head, -1), (std::vector<word>{2}));
  LNKPUT(32771, 32769, 1, 0);  // chain 32769 -> 32771
  LNKPUT(32769, 32771, 0, 0);
  BUFREL(32769);
  EXPECT_EQ(free_list(filctl().p2head, -1), (std::vector<word>{2, 1, 3}));
  EXPECT_EQ(filctl().p2tail & 0x7FFF, 3);
  BUFREL(0);
  EXPECT_EQ(free_list(filctl().p2head, -1), (std::vector<word>{2, 1, 3}));
  // The released chain's own links carry the pool bit; the buffers still
  // come out by their plain numbers.
  std::vector<word> got;
  for (int i = 0; i < 4; ++i) {
    word k;
    BUFGET(k);
    got.push_back(k);
  }
  EXPECT_EQ(got, (std::vector<word>{32770, 32769, 32771, 0}));
}

TEST(Bufrel, SplitsAChainThatMixesThePools) {
  FreshFileSystem fs(1, 11);
  sysw().NCRRES = 50 * 11;
  CORINI();
  BUFINI();
  const word list[] = {S301};
  BUFLND(100, 44, list, 1);
  // Take pool 1 buffers 1, 2 and pool 2 buffers 1, 2, 3; chain
  // p1:1 -> p2:1 -> p2:2 -> p1:2 -> p2:3.
  std::vector<word> chain;
  for (word pool2 : {0, 1, 1, 0, 1}) {
    filctl().status = pool2 ? S_POOL2 : 0;
    word k;
    BUFGET(k);
    chain.push_back(k);
  }
  ASSERT_EQ(chain, (std::vector<word>{1, 32769, 32770, 2, 32771}));
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
    LNKPUT(chain[i + 1], chain[i], 1, 0);
    LNKPUT(chain[i], chain[i + 1], 0, 0);
  }
  BUFREL(chain[0]);
  std::vector<word> p1 = free_list(filctl().p1head, 1);
  std::vector<word> p2 = free_list(filctl().p2head, -1);
  std::vector<word> p1_expect = {3};
  for (word i = 4; i <= 50; ++i) p1_expect.push_back(i);
  p1_expect.insert(p1_expect.end(), {1, 2});
  EXPECT_EQ(p1, p1_expect);
  EXPECT_EQ(p2, (std::vector<word>{4, 1, 2, 3}));
}

TEST(Lnkput, WritesOneHalfOfTheLinkWord) {
  FreshFileSystem fs(1, 11);
  const word list[] = {S301};
  BUFLND(100, 33, list, 1);
  LNKPUT(65535, 2, 0, -1);
  LNKPUT(32771, 32770, 7, 0);
  EXPECT_EQ(core().w(101), static_cast<word>(0xFFFF8003u));
  word v = 0;
  LNKGET(v, 32770, 0, 0);
  EXPECT_EQ(v, 65535);
  LNKGET(v, 2, 1, -1);
  EXPECT_EQ(v, 32771);
}

TEST(Blkcnt, CountsBlocksOnTheUnitsWhoseFileExists) {
  FreshFileSystem fs(1, 11);
  EXPECT_EQ(BLKCNT(0, 0), 0);
  // Scratch data block 301 in a pool of 6 buffers: blocks 7-10 spill.
  const word list[] = {S301};
  BUFLND(100, 66, list, 1);
  testing::write_blocks(S301, 10, 2);
  EXPECT_EQ(low24(fit(75).first), 7);
  EXPECT_EQ(BLKCNT(75, 0), 4);
  EXPECT_EQ(BLKCNT(0, 0), 4);
  EXPECT_EQ(BLKCNT(0, -1), 0);
  testing::write_blocks(KGG, 3, 2);
  EXPECT_EQ(BLKCNT(0, 0), 7);
  EXPECT_EQ(BLKCNT(53, 0), 3);
}

}  // namespace
}  // namespace zephsol
