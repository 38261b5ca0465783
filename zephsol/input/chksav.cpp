// Checkpoint writer.
#include "zephsol/input/chksav.h"

#include <algorithm>
#include <array>
#include <vector>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/tapecopy.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/probtape.h"

namespace zephsol {

namespace {

constexpr word kModeLast = 1;
constexpr word kModeList = 2;

bool interval_listed(word interval) {
  const CHKLST& l = input_state().chklst;
  const auto end = l.list.begin() + std::clamp<word>(l.count, 0, static_cast<word>(l.list.size()));
  return std::find(l.list.begin(), end, interval) != end;
}

// Whether this call writes a checkpoint in the current mode.
bool wanted(bool in_loop) {
  const SYSWRD& s = sysw();
  if (s.ICHKPT == 0) return false;
  return !(in_loop && s.ICHKPT == kModeList && !interval_listed(stpctr().NINTVL));
}

// The data blocks of the call that exist: number above 0 and defined.
std::vector<word> saved_blocks(std::initializer_list<word> given) {
  std::vector<word> out;
  for (word d : given) {
    if (d <= 0) continue;
    word name = 0;
    DBNAME(d, name);
    if (name != name_word("****")) out.push_back(d);
  }
  return out;
}

// Moves the tape back to where the last checkpoint began, so that the next
// one is written over it (the write ends the tape there).
void reopen_at(dbpos start, const TapeCore& c) {
  DBOPEN(NPTP, c.buffer1, kRead);
  DBGOTO(NPTP, start);
  DBCLOS(NPTP, kCloseNoRewind);
}

// A step-loop checkpoint of mode "LAST": written over the one before, in a
// copy of the tape that replaces it once the new checkpoint is whole, so
// that a run ended meanwhile leaves the tape with the one before.
void checkpoint_over_last(word interval, const std::vector<word>& blocks, const TapeCore& c) {
  dbpos& last = input_state().last_loop_checkpoint;
  if (last < 0) {
    last = append_checkpoint(interval, 1, blocks, c);
    return;
  }
  tape_continue_in_copy(NPTP);
  reopen_at(last, c);
  last = append_checkpoint(interval, 1, blocks, c);
  tape_copy_replaces(NPTP);
}

}  // namespace

void CHKSAV(word d1, word d2, word d3, word d4, word d5, word d6, word d7, word d8, word d9, word d10,
            word loop) {
  const bool in_loop = loop != 0;
  if (!wanted(in_loop)) return;
  const TapeCore c = tape_core();
  const std::vector<word> blocks = saved_blocks({d1, d2, d3, d4, d5, d6, d7, d8, d9, d10});
  const word interval = in_loop ? stpctr().NINTVL : 0;
  if (sysw().ICHKPT == kModeLast && in_loop)
    checkpoint_over_last(interval, blocks, c);
  else
    append_checkpoint(interval, loop, blocks, c);
}

}  // namespace zephsol
