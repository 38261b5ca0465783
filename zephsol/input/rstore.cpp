// Restore of a restart from the old problem tape.
#include "zephsol/input/rstore.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/drive/loops.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inblocks.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/probtape.h"

namespace zephsol {

namespace {

constexpr word kEndRecord = 1;
constexpr word kMaxRestored = 100;  // data blocks a restore lists
// Codes of FILCTL word 3 after a read that met no record.
constexpr word kEndOfSetCode = 0x30;
constexpr word kEndOfDataCode = 0xFF;

// The model groups a restart may not change, with the names 561 shows.
struct FixedGroup {
  std::string_view group;
  std::string_view display;
};
constexpr FixedGroup kFixedGroups[] = {
    {"NODE    ", "NODE"},     {"COORDINA", "COORDINATE SYSTEM"}, {"CONNECTI", "CONNECTION"},
    {"PROPERTY", "PROPERTY"}, {"MATERIAL", "MATERIAL"},          {"ELEMENT ", "ELEMENT TYPE"},
    {"CONST   ", "CONST"},    {"INIT STR", "INIT STRESS"},
};

constexpr std::string_view kNoCheckpoint = "0*** SYSTEM FATAL MESSAGE  562, CANNOT FIND XVPS ON OLD RESTART TAPE.";
constexpr std::string_view kIncomplete =
    "0*** SYSTEM FATAL MESSAGE  563, CHKPNT FILE IS INCOMPLETE ON OLD RESTART TAPE.";
constexpr std::string_view kNothing =
    "0*** SYSTEM FATAL MESSAGE  564, NOTHING HAVE BEEN RESTORED FROM OLD RESTART TAPE.";

// A fatal end of the restore: no checkpoint is written after it.
[[noreturn]] void end_restore(std::initializer_list<std::string_view> lines) {
  write_listing_and_log(lines);
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  RUNEND();
}
[[noreturn]] void restore_fatal(std::string_view line) { end_restore({line}); }

// A checkpoint cut short or malformed: 563, then the last complete one.
[[noreturn]] void incomplete() {
  const std::string last = last_checkpoint_line();
  if (last.empty()) end_restore({kIncomplete});
  end_restore({kIncomplete, last});
}

void report_fixed_groups() {
  for (const FixedGroup& g : kFixedGroups) {
    if (DGCHNG(g.group) == 0) continue;
    LINCNT(2);
    const std::string line = "0*** USER FATAL MESSAGE  561, BULK DATA " + std::string(g.display) +
                             " MAY NOT BE ALTERED NOR INPUT IN THE RESTART RUN.";
    write_listing_and_log({line});
    sysw().IERFLG = 1;
  }
}

// One record of the old tape into area: Ok (n words read), Short (the
// record held fewer), or the set, the file or the data ended instead.
enum class Got { Ok, Short, EndOfSet, OtherMark, EndOfData };

Got read_record(std::span<word> area) {
  word got = 0, status = 0;
  DBRDST(OPTP, area.data(), static_cast<word>(area.size()), kEndRecord, got, status);
  if (status == 0) return Got::Ok;
  if (status == 1) return Got::Short;
  const word code = filctl().lstmrk;
  if (code == kEndOfSetCode) return Got::EndOfSet;
  return code == kEndOfDataCode ? Got::EndOfData : Got::OtherMark;
}

bool is_checkpoint(const SetHeader& h) { return h[0] == kSetMark && h[1] == kCheckpointSet; }

// The "XVPS" set that must follow the bulk data set.
SetHeader first_checkpoint() {
  SetHeader h{};
  if (read_record(h) != Got::Ok || !is_checkpoint(h)) restore_fatal(kNoCheckpoint);
  return h;
}

// Header words 3 to 5 of an "XVPS" set.
word interval_of(const SetHeader& h) { return h[2]; }
word loop_of(const SetHeader& h) { return h[3]; }
word block_sets_of(const SetHeader& h) { return h[4]; }

// The checkpoint sets a tape can hold: those of the model set-up (interval
// and loop flag 0) and those of the step loop (interval 1 or more, loop flag
// 1), each followed by at most as many data-block sets as a restart lists.
bool sound_checkpoint(const SetHeader& h) {
  const bool setup = interval_of(h) == 0 && loop_of(h) == 0;
  const bool step = interval_of(h) >= 1 && loop_of(h) == 1;
  return (setup || step) && block_sets_of(h) >= 0 && block_sets_of(h) <= kMaxRestored && h[5] == 0 && h[6] == 0 &&
         h[7] == 0;
}

// A checkpoint is restored when it belongs to the model set-up or lies
// before the restart interval (every one for a restart at the last).
bool must_restore(const SetHeader& h) {
  const word restart = sysw().IRSTRT;
  return loop_of(h) == 0 || interval_of(h) < 1 || restart < 1 || interval_of(h) < restart;
}

// The counter records of the "XVPS" set in hand; the tape is left after the
// set. A tape without the release-words record keeps the words as they are.
CheckpointCounters read_counters() {
  CheckpointCounters c = current_counters();
  if (read_record(c.stpctr) != Got::Ok || read_record(c.intctl) != Got::Ok || read_record(c.settings) != Got::Ok)
    incomplete();
  std::array<word, 9> release{};
  switch (read_record(release)) {
    case Got::Ok:
      c.release = release;
      DBSKPS(OPTP, 1);
      break;
    case Got::Short:
    case Got::OtherMark:
      DBSKPS(OPTP, 1);
      break;
    case Got::EndOfSet:
      break;
    case Got::EndOfData:
      incomplete();
  }
  return c;
}

// Counters that the step loop can have left: no negative count, the
// interval of a step-loop checkpoint its own, an excavation flag of -1 or 0,
// finite release figures and regions not below 0.
bool sound_counters(const CheckpointCounters& c, const SetHeader& h) {
  const auto& [nintvl, nstep, niter, nstepc] = c.stpctr;
  if (nintvl < 0 || nstep < 0 || niter < 0 || nstepc < 0) return false;
  if (loop_of(h) == 1 && nintvl != interval_of(h)) return false;
  if (c.intctl[0] < 0 || (c.intctl[1] != 0 && c.intctl[1] != -1)) return false;
  const auto finite = [](word w) { return std::isfinite(word_real(w)); };
  if (!finite(c.intctl[2]) || !finite(c.intctl[3])) return false;
  if (c.settings[0] < 0 || c.settings[1] < 0) return false;
  const auto& r = c.release;
  if (r[0] < 0 || r[1] < 0 || r[3] < 0) return false;
  for (const std::size_t k : {2, 4, 5, 6, 7, 8})
    if (!finite(r[k])) return false;
  return true;
}

struct Restore {
  TapeCore core;
  std::vector<word> blocks;  // data blocks restored, in the order first met
  word last_interval = 0;    // interval of the last checkpoint restored
  word last_step = 0;        // interval of the last step-loop checkpoint met
};

// The data blocks a checkpoint saves; a set naming any other block comes
// from a damaged tape.
constexpr word kCheckpointBlocks[] = {CSTM, NODC, CONE, IELS, EQIX, ADIC, EST, ECT, BCDT, LDDT,
                                      TMPD, PGM,  EIV0, UG,   QG,   EPX,  XQGV, UGSV, EGED};

// The data block a set names, which must be closed to be written.
word restorable_block(word name) {
  word number = 0;
  DBFIND(name, number);
  if (std::ranges::find(kCheckpointBlocks, number < 0 ? -number : number) == std::end(kCheckpointBlocks))
    old_tape_damaged();
  if (number >= 0) MSGPUT(-201, name, 0);
  return -number;
}

void restore_block(const SetHeader& h, Restore& r) {
  const word number = restorable_block(h[1]);
  if (std::find(r.blocks.begin(), r.blocks.end(), number) == r.blocks.end()) r.blocks.push_back(number);
  const std::span<const word, 6> six(h.data() + 2, 6);
  // The program keeps no negative header word (storing one is warned of),
  // so a checkpoint that holds one is damaged.
  if (std::ranges::any_of(six, [](word v) { return v < 0; })) old_tape_damaged();
  if (header_is_zero(six)) {
    DBSKPS(OPTP, 1);
  } else {
    DBOPEN(number, r.core.buffer2, kWrite);
    FILCPY(OPTP, number, core().words(r.core.work, r.core.words).data(), r.core.words);
    // Only a copy that reached the end of its set holds the whole block.
    const bool whole = filctl().lstmrk == kEndOfSetCode;
    DBCLOS(number, kCloseRewind);
    if (!whole) incomplete();
  }
  HDRPUT(number, six);
}

// Restores the data-block sets of the checkpoint whose "XVPS" set was just
// read. True with the next "XVPS" header in h; false at the end of the tape.
bool restore_blocks(SetHeader& h, Restore& r) {
  const word expected = block_sets_of(h);
  word sets = 0;
  const auto check_count = [&] {
    if (expected > 0 && sets != expected) incomplete();
  };
  for (;;) {
    SetHeader next{};
    const Got got = read_record(next);
    if (got == Got::EndOfData) {
      check_count();
      return false;
    }
    if (got != Got::Ok || next[0] != kSetMark) incomplete();
    if (is_checkpoint(next)) {
      check_count();
      h = next;
      return true;
    }
    restore_block(next, r);
    ++sets;
  }
}

// The "XVPS" header met must be one a run writes, and the step-loop
// checkpoints must follow their intervals in order.
void check_checkpoint(const SetHeader& h, const Restore& r) {
  if (!sound_checkpoint(h) || (loop_of(h) == 1 && interval_of(h) <= r.last_step)) old_tape_damaged();
}

// The blocks that the model set-up's checkpoints save, one module's at a
// time. A tape that ends before they are all restored, with no step-loop
// checkpoint (which only a whole set-up precedes), was cut inside the model
// set-up: no restart can start from it.
constexpr word kSetUpBlocks[] = {CSTM, NODC, CONE, IELS, EQIX, ADIC, EST, ECT, BCDT, LDDT, TMPD, PGM, EIV0};

bool set_up_whole(const Restore& r) {
  return std::ranges::all_of(kSetUpBlocks, [&](word b) { return std::ranges::find(r.blocks, b) != r.blocks.end(); });
}

void restore_checkpoints(Restore& r) {
  DBOPEN(OPTP, r.core.buffer1, kReadNoRewind);
  SetHeader h = first_checkpoint();
  check_checkpoint(h, r);
  bool more = true;
  while (more && must_restore(h)) {
    const CheckpointCounters c = read_counters();
    if (!sound_counters(c, h)) old_tape_damaged();
    restore_counters(c);
    const word interval = interval_of(h);
    const bool step = loop_of(h) == 1;
    r.last_interval = interval;
    if (step) r.last_step = interval;
    more = restore_blocks(h, r);
    if (step || set_up_whole(r)) input_state().last_whole_checkpoint = interval;
    if (more) check_checkpoint(h, r);
  }
  DBCLOS(OPTP, kCloseRewind);
}

void check_restored(const Restore& r) {
  if (r.blocks.empty()) restore_fatal(kNothing);
  if (r.last_step == 0 && !set_up_whole(r)) old_tape_damaged();
  const word restart = sysw().IRSTRT;
  if (restart >= 1 && r.last_interval < restart - 1)
    restore_fatal(fline("('0*** SYSTEM FATAL MESSAGE  565, INTERVAL NUMBER ',I6,' FROM WHICH TO RESTART NOT FOUND.')",
                        {restart}));
}

// A restart whose tape holds the analysis to the end of the history (its
// last interval restored) has no interval left to run.
void check_work_left() {
  std::array<word, 6> history{};
  HDRGET(INCD, history);
  const word done = stpctr().NINTVL;
  if (done >= history[0])
    restore_fatal(fline("('0*** USER FATAL MESSAGE  567, THE ANALYSIS ON THE OLD PROBLEM TAPE IS COMPLETE: IT HOLDS "
                        "',I6,' INTERVALS.')",
                        {done}));
}

void list_restored(const std::vector<word>& blocks) {
  LINCNT(-3);
  write_listing_and_log({"0THE FOLLOWING FILES WERE USED FROM OLD PROBLEM TAPE TO INITIATE RESTART", ""});
  for (word b : blocks) {
    word name = 0;
    DBNAME(b, name);
    LINCNT(1);
    unit_write_line(kListing, "     " + word_name(name));
  }
}

}  // namespace

void RSTORE() {
  MODBGN("RSTORE  ");
  report_fixed_groups();
  Restore r;
  r.core = tape_core();
  if (!block_closed(OPTP)) MSGPUT(-201, name_word("OPTP"), 0);
  // Release words missing from the tape keep the values of a fresh run.
  reset_relswd();
  restore_checkpoints(r);
  check_restored(r);
  // From here a damaged value is found in a restored block, whose checkpoint
  // was read whole: no checkpoint is named then.
  input_state().last_whole_checkpoint = -1;
  list_restored(r.blocks);
  if (sysw().IERFLG == 0) check_work_left();
  // A run that is to end on message 561 leaves no checkpoint of a state
  // whose bulk data it has altered.
  if (sysw().ICHKPT != 0 && sysw().IERFLG == 0) append_checkpoint(0, 0, r.blocks, r.core);
}

}  // namespace zephsol
