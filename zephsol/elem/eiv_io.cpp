// Record transfers of the integration-point state store with the data blocks
// of the file system. The caller opens the state data block (for reading or
// writing) before the first transfer and closes it after the last.
#include <array>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"

namespace zephsol {
namespace {

constexpr word kDone = 0, kRecordEnded = 1, kEndOfData = 2;

word name(word file) {
  word n = 0;
  DBNAME(file, n);
  return n;
}

// The six header words of the next record, which stays open; 2 at the end of
// the data (or a mark). A record shorter than its header ends the run (-1).
word read_head(word file, std::span<word, 6> head) {
  word nread = 0, status = kDone;
  DBRDST(file, head.data(), 6, 0, nread, status);
  if (status == kEndOfData) return kEndOfData;
  if (status == kRecordEnded) elem_fatal(-1, name(file), nread);
  return kDone;
}

// The rest of the open record into area: true with n = the words moved when
// the record ends within area, false when it is longer (it then stays open).
bool read_rest(word file, std::span<word> area, word& n) {
  const auto room = static_cast<word>(area.size());
  word nread = 0, status = kDone;
  DBRDST(file, area.data(), room, 0, nread, status);
  if (status == kRecordEnded) {
    n = nread;
    return true;
  }
  // The area is full: the record fits only when nothing follows.
  std::array<word, 1> probe{};
  word more = 0;
  DBRDST(file, probe.data(), 1, 0, more, status);
  if (status != kRecordEnded) return false;
  n = room;
  return true;
}

void write(word file, std::span<const word, 6> head, std::span<const word> body) {
  DBWRIT(file, head.data(), 6, 0);
  DBWRIT(file, body.data(), static_cast<word>(body.size()), 1);
}

}  // namespace

EivIo eiv_data_block_io() { return {read_head, read_rest, write, name}; }

}  // namespace zephsol
