// Data blocks of the control section.
#include "zephsol/input/inblocks.h"

#include <array>
#include <string>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/tapecopy.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kEndRecord = 1;
constexpr word kIdWords = 8;

void write_record(word number, const std::vector<word>& w) {
  DBWRIT(number, w.data(), static_cast<word>(w.size()), kEndRecord);
}

}  // namespace

bool block_closed(word number) {
  word name = 0;
  DBNAME(number, name);
  word found = 0;
  DBFIND(name, found);
  return found < 0;
}

void write_request_block(word number, const RequestRecords& r, word buffer) {
  word name = 0;
  DBNAME(number, name);
  if (!block_closed(number)) {
    MSGPUT(201, name, 0);
    sysw().IERFLG = 2;
    return;
  }
  DBOPEN(number, buffer, kWrite);
  write_record(number, r.rec1);
  write_record(number, r.rec2);
  write_record(number, r.rec3);
  HDRPUT(number, r.header);
  DBCLOS(number, kCloseRewind);
}

std::string last_checkpoint_line() {
  const word last = input_state().last_whole_checkpoint;
  if (last < 0) return {};
  const std::string which = last == 0 ? "THE MODEL SET-UP" : fline("('INTERVAL',I6)", {last});
  return "      ITS LAST COMPLETE CHECKPOINT IS THAT OF " + which + ": " + fline("('RESTART',I6)", {last + 1}) +
         " STARTS FROM IT.";
}

void old_tape_damaged() {
  const std::string line = "0*** USER FATAL MESSAGE  566, OLD PROBLEM TAPE IS EMPTY, CUT SHORT OR NOT A PROBLEM TAPE.";
  const std::string last = last_checkpoint_line();
  unit_write_line(sysw().LOGUNT, line);
  if (last.empty()) {
    write_listing_and_log({line});
  } else {
    unit_write_line(sysw().LOGUNT, last);
    write_listing_and_log({line, last});
  }
  sysw().IERFLG = 1;
  sysw().ICHKPT = 0;
  RUNEND();
}

void read_old_tape_id(IDREC& id, word buffer) {
  on_damaged_file(OPTP, old_tape_damaged);
  DBOPEN(OPTP, buffer, kRead);
  DBREAD(OPTP, id.data(), kIdWords, kEndRecord);
  DBCLOS(OPTP, kCloseRewind);
}

void write_new_tape_id(const IDREC& id, word buffer) {
  DBOPEN(NPTP, buffer, kWrite);
  DBWRIT(NPTP, id.data(), kIdWords, kEndRecord);
  // A copy that an earlier run killed while rewriting its last checkpoint
  // left beside the tape belongs to the tape this run now writes over.
  tape_copy_discard(NPTP);
  DBEOS(NPTP);
  DBCLOS(NPTP, kCloseNoRewind);
}

}  // namespace zephsol
