// Problem tapes are ordinary Fortran sequential unformatted files: a tape
// written through the block layer reads back record for record in a gfortran
// program, and a tape written by gfortran reads back through the block layer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>

#include "support/blockdata.h"
#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "common/testing.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;
using testing::on_block;

constexpr word kBuf = 2;
constexpr word kWords = 10;  // NBUFSZ 11

// Runs the reference program in the current directory; its standard output.
std::string run_reference([[maybe_unused]] const std::string& args) {
#ifdef ZEPH_TAPE_REF
  const std::string cmd = std::string(ZEPH_TAPE_REF) + " " + args;
  std::string out;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char line[4096];
    while (std::fgets(line, sizeof line, p)) out += line;
    ::pclose(p);
  }
  return out;
#else
  return {};
#endif
}

// The reference program's line for block n of data set 0.
std::string block_line(word n) {
  std::ostringstream s;
  s << n;
  for (word i = 2; i <= kWords; ++i) s << ' ' << testing::pattern_word(n, 0, i);
  return s.str() + "\n";
}

class Tape : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef ZEPH_TAPE_REF
    GTEST_SKIP() << "gfortran was not found at build time";
#endif
  }
};

TEST_F(Tape, OurTapeReadsInFortran) {
  FreshFileSystem fs(1, 11);
  testing::write_blocks(NPTP, 5, kBuf);
  std::string expect;
  for (word n = 1; n <= 5; ++n) expect += block_line(n);
  EXPECT_EQ(run_reference("read NPTP 10"), expect);
  EXPECT_EQ(std::filesystem::file_size(fs.dir() / "NPTP"), 5u * (4u * kWords + 8u));

  // Rewriting block 3 ends the tape there, as a Fortran sequential write does.
  on_block(NPTP, [] {
    BLKPOS(3);
    testing::fill_block(kBuf, 3);
    BLKPUT(kBuf);
  });
  EXPECT_EQ(run_reference("read NPTP 10"), block_line(1) + block_line(2) + block_line(3));
}

TEST_F(Tape, FortranTapeReadsThroughTheBlockLayer) {
  FreshFileSystem fs(1, 11);
  run_reference("write OPTP 10 4");
  ASSERT_TRUE(std::filesystem::exists(fs.dir() / "OPTP"));
  int bad = 0;
  on_block(OPTP, [&] {
    BLKOPN(4);
    EXPECT_EQ(low24(fit(19).last), kAllInCore);  // read to the end of the unit
    BLKREW(0);
    for (word i = 1; i <= 4; ++i) {
      BLKGET(kBuf);
      const auto w = core().words(kBuf, kWords);
      bad += w[0] != i;
      for (word j = 2; j <= kWords; ++j) {
        const word v = i * 100000 + j;
        bad += w[static_cast<std::size_t>(j - 1)] != (j % 2 ? -v : v);
      }
    }
    // Random access backwards and forwards on the sequential file.
    for (word i : {2, 4, 1, 3}) {
      BLKPOS(i);
      BLKGET(kBuf);
      bad += core().w(kBuf) != i;
    }
  });
  EXPECT_EQ(bad, 0);
  on_block(OPTP, [] { BLKPOS(4); });
  EXPECT_EXIT(on_block(OPTP,
                       [] {
                         BLKGET(kBuf);
                         BLKGET(kBuf);
                       }),
              ::testing::ExitedWithCode(1), "");
  EXPECT_NE(fs.read("errors").find("FIO664 - ATTEMPT TO READ PAST EOD"), std::string::npos);
}

}  // namespace
}  // namespace zephsol
