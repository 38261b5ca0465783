// Sets of the problem tapes shared by the checkpoint writer and the restore.
#include "zephsol/input/probtape.h"

#include <algorithm>
#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/drive/loops.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/inblocks.h"

namespace zephsol {

namespace {

constexpr word kFirstCoreWord = 1;
constexpr word kCopyWords = 300;
constexpr word kEndRecord = 1;

template <std::size_t N>
void write_record(word tape, const std::array<word, N>& w) {
  DBWRIT(tape, w.data(), static_cast<word>(N), kEndRecord);
}

}  // namespace

TapeCore tape_core() {
  const word nbufsz = sysw().NBUFSZ;
  const word length = CORLFT(kFirstCoreWord);
  const std::int64_t work = std::int64_t{length} - 2 * std::int64_t{nbufsz};
  if (work < kCopyWords) {
    // Words needed: the two buffers and the copy area.
    const std::int64_t needed = 2 * std::int64_t{nbufsz} + kCopyWords;
    MSGPUT(-3, static_cast<word>(std::min<std::int64_t>(needed, INT32_MAX)), length);
  }
  TapeCore c;
  c.buffer1 = kFirstCoreWord + length - nbufsz;
  c.buffer2 = c.buffer1 - nbufsz;
  c.work = kFirstCoreWord;
  c.words = static_cast<word>(work);
  return c;
}

CheckpointCounters current_counters() {
  ExecState& e = exec_state();
  CheckpointCounters c;
  std::copy_n(e.stp.words().begin(), c.stpctr.size(), c.stpctr.begin());
  std::copy_n(e.intctl.words().begin(), c.intctl.size(), c.intctl.begin());
  c.settings = {e.sys.ISINTV, e.sys.IAMPC};
  const auto r = relswd().words();
  std::copy(r.begin(), r.end(), c.release.begin());
  return c;
}

void restore_counters(const CheckpointCounters& c) {
  ExecState& e = exec_state();
  std::copy(c.stpctr.begin(), c.stpctr.end(), e.stp.words().begin());
  std::copy(c.intctl.begin(), c.intctl.end(), e.intctl.words().begin());
  e.sys.ISINTV = c.settings[0];
  e.sys.IAMPC = c.settings[1];
  std::copy(c.release.begin(), c.release.end(), relswd().words().begin());
}

namespace {

void write_checkpoint_set(word tape, word interval, word loop, word block_sets) {
  const SetHeader header{kSetMark, kCheckpointSet, interval, loop, block_sets, 0, 0, 0};
  const CheckpointCounters c = current_counters();
  write_record(tape, header);
  write_record(tape, c.stpctr);
  write_record(tape, c.intctl);
  write_record(tape, c.settings);
  write_record(tape, c.release);
  DBEOS(tape);
}

void write_block_set(word tape, word block, const TapeCore& core) {
  SetHeader header{kSetMark};
  DBNAME(block, header[1]);
  std::array<word, 6> six{};
  HDRGET(block, six);
  std::copy(six.begin(), six.end(), header.begin() + 2);
  write_record(tape, header);
  if (header_is_zero(six)) {
    DBEOS(tape);
    return;
  }
  DBOPEN(block, core.buffer2, kRead);
  FILCPY(block, tape, zephsol::core().words(core.work, core.words).data(), core.words);
  DBCLOS(block, kCloseRewind);
}

}  // namespace

dbpos append_checkpoint(word interval, word loop, std::span<const word> blocks, const TapeCore& core) {
  if (!block_closed(NPTP)) MSGPUT(-201, name_word("NPTP"), 0);
  DBOPEN(NPTP, core.buffer1, kWriteNoRewind);
  dbpos start = 0;
  DBCPOS(NPTP, start);
  write_checkpoint_set(NPTP, interval, loop, static_cast<word>(blocks.size()));
  for (word b : blocks) write_block_set(NPTP, b, core);
  DBCLOS(NPTP, kCloseNoRewind);
  return start;
}

bool header_is_zero(std::span<const word> six) {
  return std::all_of(six.begin(), six.end(), [](word w) { return w == 0; });
}

}  // namespace zephsol
