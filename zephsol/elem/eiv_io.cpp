// Record transfers of the integration-point state store with the data blocks.
//
// The logical-record layer of the file system is not wired in yet: until it
// is, no state data block can be read or written, and a transfer ends the
// run as for a data block number the file system does not know (3018).
#include "zephsol/dbio/directory.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"

namespace zephsol {
namespace {

word read_head(word file, std::span<word, 6>) { elem_fatal(-3018, file, 0); }
bool read_rest(word file, std::span<word>, word&) { elem_fatal(-3018, file, 0); }
void write(word file, std::span<const word, 6>, std::span<const word>) { elem_fatal(-3018, file, 0); }
word name(word file) {
  word n = 0;
  DBNAME(file, n);
  return n;
}

}  // namespace

EivIo eiv_data_block_io() { return {read_head, read_rest, write, name}; }

}  // namespace zephsol
