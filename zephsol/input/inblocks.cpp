// Data blocks of the control section.
#include "zephsol/input/inblocks.h"

#include <array>

#include "zephsol/dbio/directory.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"

namespace zephsol {

bool block_closed(word number) {
  std::array<word, 2> r{};
  DBUNIT(number, r);
  return r[1] != 0 && r[0] < 0;
}

void write_request_block(word number, const RequestRecords& r, word buffer) {
  word name = 0;
  DBNAME(number, name);
  if (!block_closed(number)) {
    MSGPUT(201, name, 0);
    sysw().IERFLG = 2;
    return;
  }
  // PENDING: the logical-record layer (DBOPEN "WT", DBWRIT of the three
  // records, HDRPUT, DBCLOS "R") is not built yet; the block stays unwritten.
  (void)r;
  (void)buffer;
}

void read_old_tape_id(IDREC& id, word buffer) {
  // PENDING: DBOPEN "RD", DBREAD of 8 words, DBCLOS "R" once the logical-record
  // layer exists; until then the old identification reads as zeros.
  id.fill(0);
  (void)buffer;
}

void write_new_tape_id(const IDREC& id, word buffer) {
  // PENDING: DBOPEN "WT", DBWRIT of 8 words, DBEOS, DBCLOS "NR" once the
  // logical-record layer exists.
  (void)id;
  (void)buffer;
}

}  // namespace zephsol
