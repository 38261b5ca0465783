// Logical records: rewind, skips over records, files and sets, backspace,
// and positions.
#include <algorithm>
#include <cstdint>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"

namespace zephsol {

namespace {

using namespace recbody;

// Mark codes compare as signed bytes, so the end of data (0xff) is below
// every mark.
int signed_code(word code) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(code)); }

// Steps over the record whose first header find_next has just passed.
void step_over_record(Body& b) { skip_rest_of_record(b); }

void skip_forward(Body& b, word n, word mark) {
  if (b.has(S_EOD)) return;
  if (b.has(S_INREC)) skip_rest_of_record(b);
  for (word passed = 0; passed < n;) {
    const Found found = find_next(b);
    if (found == Found::End) return;
    if (found == Found::Record)
      step_over_record(b);
    else if (signed_code(filctl().lstmrk) >= mark)
      ++passed;
  }
}

// Steps h back to the header before it inside the buffer's block; false at
// the start of the data block, which becomes the position.
bool back_in_block(Body& b, word& h) {
  const word length = prevlen_of(h);
  if (length == 0) {
    b.header = b.next = h;
    return false;
  }
  h -= length;
  if (h <= b.buf) fatal_named(3005, b);
  return true;
}

// Walks back over 1 - n marks of at least the given code (an end-of-file
// mark does not count while sets are skipped) and stands behind the last.
void skip_backward(Body& b, word n, word mark) {
  if (b.has(S_LOADPT)) return;
  b.clear(S_EOD | S_INREC);
  const std::int64_t to_pass = 1 - std::int64_t{n};
  std::int64_t passed = 0;
  word h = b.header;
  for (bool behind = false; !behind;) {
    // The mark before h lies as many blocks back as its boundary count
    // says; with a count of 0 it lies in this block.
    const word boundaries = boundaries_of(h);
    if (boundaries != 0) {
      const word block = b.block() - boundaries;
      if (block <= 0) fatal_named(3005, b);
      read_block(b, block);
      h = b.last - core().w(b.last);
    } else if (!back_in_block(b, h)) {
      return;
    }
    for (;;) {
      const word code = code_of(h);
      if (signed_code(code) >= mark) {
        behind = ++passed == to_pass;
        break;
      }
      if (code == kEofMark && mark == kEosMark) break;
      if (!back_in_block(b, h)) return;
    }
  }
  b.next = h + count_of(h) + 2;
  if (b.next >= b.last) {
    get_block(b);
    b.next = b.buf + 1;
  }
  b.header = b.next;
}

void skip_body(word file, word n, word mark) {
  Body b = prologue(file, kOpSkip);
  if (n > 0)
    skip_forward(b, n, mark);
  else if (n < 0)
    skip_backward(b, n, mark);
  save(b);
}

}  // namespace

void DBREWD(word file) {
  Body b = prologue(file, kOpRewind);
  if (b.prev_op == kOpMark) {
    core().w(b.last) = b.last - b.next;
    BLKPUT(b.buf);
  }
  rewind_step(b);
  save(b);
}

void DBSKPF(word file, word n) { skip_body(file, n, kEofMark); }
void DBSKPS(word file, word n) { skip_body(file, n, kEosMark); }

void DBFWRD(word file, word& status) {
  Body b = prologue(file, kOpForward);
  status = 0;
  if (b.has(S_EOD)) {
    status = 1;
  } else if (b.has(S_INREC)) {
    skip_rest_of_record(b);
  } else if (find_next(b) == Found::Record) {
    step_over_record(b);
  } else {
    status = 1;
  }
  save(b);
}

void DBBKSP(word file) {
  Body b = prologue(file, kOpBackward);
  if (b.has(S_LOADPT)) {
    save(b);
    return;
  }
  b.clear(S_EOD);
  word h = b.header;
  const bool inside = b.has(S_INREC);
  b.clear(S_INREC);
  if (!inside || continues_record(code_of(h))) {
    while (step_back(b, h) && continues_record(code_of(h))) {
    }
  }
  b.header = b.next = h;
  save(b);
}

void DBLPOS(word file, dbpos& pos) {
  Body b = prologue(file, -1);
  if (b.has(S_INREC)) fatal_named(3009, b);
  if (b.prev_op != kOpWrite) fatal(3001, name_of(file), b.prev_op);
  pos = dbio_state().last_record[static_cast<std::size_t>(b.unit - 1)];
}

void DBCPOS(word file, dbpos& pos) {
  Body b = prologue(file, -2);
  if (b.has(S_INREC)) fatal_named(3009, b);
  pos = b.has(S_LOADPT) ? kStartPosition : b.position(b.header);
}

void DBGOTO(word file, dbpos pos) {
  Body b = prologue(file, kOpRead);
  word block = 0, distance = 0;
  if (pos == kEndOfData) {
    block = b.blocks_written();
  } else if (pos >= 0) {
    block = static_cast<word>(std::min<dbpos>(pos >> 16, INT32_MAX));
    distance = static_cast<word>(pos & 0xFFFF);
  } else {
    fatal_named(3012, b);
  }
  // The start, and the end of a data block without blocks, are a rewind.
  if (block == 0 || (block <= 1 && distance <= 1)) {
    set_last_op(b, kOpRewind);
    rewind_step(b);
    save(b);
    return;
  }
  if (block > b.blocks_written()) fatal_named(3012, b);
  if (pos != kEndOfData && (distance < 1 || distance > sysw().NBUFSZ - 4)) fatal_named(3012, b);
  if (b.has(S_LOADPT) || b.block() != block) read_block(b, block);
  b.clear(S_EOD | S_LOADPT | S_INREC);
  const word last_header = b.last - core().w(b.last);
  if (pos == kEndOfData) {
    b.header = b.next = last_header;
  } else {
    b.header = b.next = b.buf + distance;
    if (block == b.blocks_written() && b.header > last_header) fatal_named(3012, b);
  }
  save(b);
}

}  // namespace zephsol
