// Record-layer throughput: writes and reads back 1 GiB (or the megabytes
// given as the first argument) as records of 1,000 words through the record
// layer (DBWRIT, DBREAD) on a work unit, and the same volume as bare blocks
// through the block layer in the same run. Prints both rates and their
// ratio, the best of three rounds each; the record layer should keep at
// least 70% of the block layer's rate.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "block_round.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;

constexpr word kRecordWords = 1000;

// The same payload as n records of 1,000 words through the record layer.
std::pair<double, double> record_round(long n) {
  std::vector<word> rec(kRecordWords), back(kRecordWords);
  for (word i = 0; i < kRecordWords; ++i) rec[static_cast<std::size_t>(i)] = static_cast<word>(i * 40503u);
  auto t0 = Clock::now();
  DBOPEN(KGG, kBuf, kWrite);
  for (long r = 0; r < n; ++r) {
    rec[0] = static_cast<word>(r);
    DBWRIT(KGG, rec.data(), kRecordWords, 1);
  }
  DBCLOS(KGG, kCloseRewind);
  const double tw = seconds_since(t0);
  t0 = Clock::now();
  DBOPEN(KGG, kBuf, kRead);
  long bad = 0;
  for (long r = 0; r < n; ++r) {
    DBREAD(KGG, back.data(), kRecordWords, 1);
    bad += back[0] != static_cast<word>(r) || back[kRecordWords - 1] != rec[kRecordWords - 1];
  }
  const double tr = seconds_since(t0);
  DBCLOS(KGG, kCloseUnload);
  if (bad) std::fprintf(stderr, "record layer: %ld records read back wrong\n", bad);
  return {tw, tr};
}

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 1024;
  const long bytes = megabytes * 1048576;
  const word blocks = static_cast<word>(bytes / (kBlockWords * 4));
  const long records = bytes / (kRecordWords * 4);
  testing::FreshFileSystem fs(1, kBlockWords + 1);
  double block_best = 0, record_best = 0;
  for (int round = 0; round < 3; ++round) {
    const auto [bw, br] = block_layer_round(blocks);
    const auto [rw, rr] = record_round(records);
    const double mb = 2.0 * static_cast<double>(megabytes);  // written and read
    block_best = std::max(block_best, mb / (bw + br));
    record_best = std::max(record_best, mb / (rw + rr));
    std::printf("round %d: block layer write %.3f s read %.3f s; record layer write %.3f s read %.3f s\n", round + 1,
                bw, br, rw, rr);
  }
  std::printf("%ld MiB written and read back: %d blocks of 4 KiB, %ld records of %d words\n", megabytes, blocks,
              records, kRecordWords);
  std::printf("block layer:   %8.1f MiB/s\n", block_best);
  std::printf("record layer:  %8.1f MiB/s\n", record_best);
  std::printf("ratio record/block: %6.3f (at least 0.70 expected)\n", record_best / block_best);
  return 0;
}
