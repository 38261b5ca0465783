// Block-layer throughput: writes and reads back 1 GiB (or the megabytes
// given as the first argument) of 4 KiB blocks through the block layer on a
// work unit, and the same volume through plain pwrite/pread of 4 KiB records
// on a file of its own. Prints both rates and their ratio; the best of three
// rounds counts for each.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "common/testing.h"
#include "zephsol/exec/records.h"
#include "block_round.h"

namespace {

using namespace zephsol;
using namespace zephsol::bench;

constexpr std::size_t kRecordBytes = kBlockWords * 4;

// The same through pwrite/pread of 4 KiB records.
std::pair<double, double> plain_round(word n) {
  std::vector<word> buf(kBlockWords);
  fill_buffer(buf);
  const int fd = ::open("PLAIN", O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) std::exit(1);
  auto t0 = Clock::now();
  for (word b = 1; b <= n; ++b) {
    buf[0] = b;
    if (::pwrite(fd, buf.data(), kRecordBytes, static_cast<off_t>(b - 1) * kRecordBytes) !=
        static_cast<ssize_t>(kRecordBytes))
      std::exit(1);
  }
  const double tw = seconds_since(t0);
  t0 = Clock::now();
  long bad = 0;
  for (word b = 1; b <= n; ++b) {
    if (::pread(fd, buf.data(), kRecordBytes, static_cast<off_t>(b - 1) * kRecordBytes) !=
        static_cast<ssize_t>(kRecordBytes))
      std::exit(1);
    bad += buf[0] != b;
  }
  const double tr = seconds_since(t0);
  ::close(fd);
  ::unlink("PLAIN");
  if (bad) std::fprintf(stderr, "plain: %ld records read back wrong\n", bad);
  return {tw, tr};
}

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::atol(argv[1]) : 1024;
  const word n = static_cast<word>(megabytes * 1048576 / static_cast<long>(kRecordBytes));
  testing::FreshFileSystem fs(1, kBlockWords + 1);
  double block_best = 0, plain_best = 0;
  for (int round = 0; round < 3; ++round) {
    const auto [pw, pr] = plain_round(n);
    const auto [bw, br] = block_layer_round(n);
    const double mb = 2.0 * megabytes;  // written and read
    plain_best = std::max(plain_best, mb / (pw + pr));
    block_best = std::max(block_best, mb / (bw + br));
    std::printf("round %d: plain write %.3f s read %.3f s; block layer write %.3f s read %.3f s\n", round + 1, pw, pr,
                bw, br);
  }
  std::printf("%ld MiB written and read back in %d blocks of 4 KiB\n", megabytes, n);
  std::printf("plain pwrite/pread: %8.1f MiB/s\n", plain_best);
  std::printf("block layer:        %8.1f MiB/s\n", block_best);
  std::printf("ratio block/plain:  %8.3f\n", block_best / plain_best);
  std::printf("NBLKIO: %d\n", sysw().NBLKIO);
  return 0;
}
