// Steps shared by the entries of the record layer.
#include "zephsol/dbio/recbody.h"

#include <cassert>
#include <cstdint>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"

namespace zephsol::recbody {

namespace {

constexpr word kNoBlocksName = name_word("    ");

// Ends a segment with room for a header after it: the segment's code is
// completed (first part becomes whole record, middle part becomes last
// part) and a fresh header, not yet begun, follows it.
void close_segment(Body& b) {
  const word h = b.header;
  set_code(h, code_of(h) ^ kLastPart);
  const word n = b.next;
  hw1(n) = pack_code(kWhole, boundaries_of(h));
  hw2(n) = pack_hi_lo(count_of(h) + 2, 0);
  b.header = n;
}

// Whether the block in the buffer is block `expected` and its chain of
// segments, read forward from its first header, stays inside it: each header
// has its two words, a known code, a count that ends within the block, and a
// length of the segment before it that a step back can follow. The chain ends
// at the end of data or at the back-distance word, which must then point back
// into the block.
bool block_sound(const Body& b, word expected) {
  if (b.block() != expected) return false;
  const std::int64_t span = sysw().NBUFSZ - 3;
  std::int64_t h = b.buf + 1;
  while (h < b.last) {
    if (b.last - h < 2) return false;
    const word code = code_of(static_cast<word>(h));
    if (code == kEodCode) return true;
    if (code > kLastPart && code != kEofMark && code != kEosMark) return false;
    if (const word before = prevlen_of(static_cast<word>(h)); before != 0) {
      const std::int64_t prev = h - before;
      const std::int64_t at = prev > b.buf ? prev : prev + span;
      if (at <= b.buf || at > b.last - 2) return false;
    }
    h += 2 + std::int64_t{count_of(static_cast<word>(h))};
  }
  const word back = core().w(b.last);
  return h == b.last && back >= 2 && back <= b.last - b.buf - 1;
}

}  // namespace

void get_block(Body& b) {
  const word expected = low24(b.status());
  BLKGET(b.buf);
  const DbioState& s = dbio_state();
  if (s.damaged_end != nullptr && s.damaged_block == b.file && !block_sound(b, expected)) damaged_file();
}

word name_of(word number) {
  word name = 0;
  DBNAME(number, name);
  return name;
}

word make_current(word number) {
  FILCTL& f = filctl();
  const word index = dbst_index(number);
  const word unit = index ? entry_unit(dbio_state().dbst.at(index)) : 0;
  f.curfil = number;
  f.curunt = unit;
  f.name8 = {name_of(number), kNoBlocksName};
  if (unit != 0) f.status = fit(unit).status;
  return unit;
}

void fatal(word code, word p1, word p2) {
  MSGPUT(-code, p1, p2);
  RUNEND();
}

void fatal_named(word code, const Body& b) { fatal(code, name_of(b.file), b.file); }

Body load(word file, word unit) {
  FILCTL& f = filctl();
  if (f.curfil != file || f.curunt != unit) {
    f.curfil = file;
    f.curunt = unit;
    f.name8 = {name_of(file), kNoBlocksName};
  }
  Body b;
  b.file = file;
  b.unit = unit;
  b.row = &fit(unit);
  f.status = b.row->status;
  b.buf = b.row->buffer;
  b.last = b.buf + sysw().NBUFSZ - 2;
  b.next = b.row->next;
  b.header = b.row->header;
  b.prev_op = last_operation(*b.row);
  return b;
}

Body prologue(word file, word op) {
  const FILCTL& f = filctl();
  const word unit = (file == f.curfil && f.curunt != 0) ? f.curunt : make_current(file);
  if (unit == 0) fatal(3018, file, 0);
  Body b = load(file, unit);
  if (b.buf == 0) fatal_named(3019, b);
  if (op >= 0) {
    if (!sequence_allows(b.prev_op, op)) fatal(3001, name_of(file), b.prev_op);
    set_last_op(b, op);
  }
  if (b.has(S_STRING)) fatal_named(3052, b);
  return b;
}

void save(const Body& b) {
  b.row->status = b.status();
  b.row->next = b.next;
  b.row->header = b.header;
}

void set_last_op(Body& b, word op) { set_last_operation(*b.row, op); }

void start_block_one(Body& b) {
  core().w(b.buf) = 1;
  b.header = b.next = b.buf + 1;
  hw1(b.header) = 0;
  hw2(b.header) = 0;
  b.clear(S_LOADPT);
}

void prepare_to_write(Body& b) {
  if (b.has(S_LOADPT)) {
    start_block_one(b);
  } else if (b.prev_op == kOpRewind) {
    BLKREW(1);
    start_block_one(b);
  } else {
    // A new record takes the place of the header here: the end of data
    // after a mark, or the mark a close without rewind left behind.
    set_code(b.header, kWhole);
    set_count(b.header, 0);
  }
}

void note_last_record(Body& b) {
  const dbpos pos = b.position(b.header);
  dbio_state().last_record[static_cast<std::size_t>(b.unit - 1)] = pos;
  b.row->lastrec = pos <= INT32_MAX ? static_cast<word>(pos) : -1;
}

void begin_record(Body& b) {
  b.set(S_INREC);
  set_code(b.header, code_of(b.header) | kLastPart);
  b.next = b.header + 2;
  note_last_record(b);
}

void block_full(Body& b) {
  const word h = b.header;
  const word boundaries = boundaries_of(h) + 1;
  const word length = count_of(h) + 2;
  set_code(h, code_of(h) ^ kMiddlePart);
  core().w(b.last) = b.last - h;
  BLKPUT(b.buf);
  core().w(b.buf) += 1;
  b.header = b.buf + 1;
  hw1(b.header) = pack_code(kWhole, boundaries);
  hw2(b.header) = pack_hi_lo(length, 0);
  b.next = b.header + 2;
}

void end_of_record(Body& b) {
  b.clear(S_INREC);
  if (count_of(b.header) == 0) fatal_named(3021, b);
  const word room = b.last - b.next;
  if (room >= 2) {
    close_segment(b);
    b.next = b.header;
  } else if (room == 1) {
    // One word would be left before the back distance: the record's last
    // word moves into the next block behind an empty middle part, so that
    // a header always has its two words.
    const word h = b.header;
    const word shortened = count_of(h) - 1;
    set_code(h, code_of(h) ^ kMiddlePart);
    set_count(h, shortened);
    const word aside = core().w(b.next - 1);
    b.header = b.next - 1;
    hw1(b.header) = pack_code(kWhole, boundaries_of(h));
    hw2(b.header) = pack_hi_lo(shortened + 2, 0);
    block_full(b);
    core().w(b.next) = aside;
    set_count(b.header, 1);
    b.next += 1;
    assert(b.last - b.next >= 2 && "a block too small for a record's last part");
    close_segment(b);
    b.next = b.header;
  } else {
    block_full(b);
    b.next = b.header;
  }
}

dbpos mark_step(Body& b, word code) {
  if (b.has(S_INREC)) end_of_record(b);
  const word mark = b.header;
  set_code(mark, code);
  set_count(mark, 0);
  const dbpos pos = b.position(mark);
  b.next = mark + 2;
  const word room = b.last - b.next;
  if (room >= 2) {
    hw1(b.next) = pack_code(kEodCode, 0);
    hw2(b.next) = pack_hi_lo(2, 0);
  } else {
    // The mark takes the free word (if any) and the end of data begins the
    // next block.
    if (room == 1) core().w(b.next) = 0;
    set_count(mark, room);
    core().w(b.last) = b.last - mark;
    BLKPUT(b.buf);
    core().w(b.buf) += 1;
    b.next = b.buf + 1;
    hw1(b.next) = pack_code(kEodCode, 1);
    hw2(b.next) = pack_hi_lo(2 + room, 0);
  }
  b.header = b.next;
  return pos;
}

void first_block_for_reading(Body& b) {
  if (b.blocks_written() == 0) {
    b.set(S_EOD);
  } else {
    get_block(b);
    b.clear(S_LOADPT);
  }
  b.header = b.next = b.buf + 1;
}

Found find_next(Body& b) {
  FILCTL& f = filctl();
  if (b.has(S_EOD)) {
    f.lstmrk = kEodCode;
    return Found::End;
  }
  if (b.has(S_LOADPT)) {
    if (b.blocks_written() == 0) {
      f.lstmrk = kEodCode;
      return Found::End;
    }
    b.clear(S_LOADPT);
    get_block(b);
    b.next = b.buf + 1;
  }
  const word code = code_of(b.next);
  if (code == kEodCode) {
    b.set(S_EOD);
    f.lstmrk = kEodCode;
    return Found::End;
  }
  if (code < kEofMark) {
    b.header = b.next;
    b.next = b.header + 2;
    return Found::Record;
  }
  f.lstmrk = code;
  b.next += count_of(b.next) + 2;
  if (b.next >= b.last) {
    get_block(b);
    b.next = b.buf + 1;
  }
  b.header = b.next;
  return Found::Mark;
}

word words_left(Body& b) {
  for (;;) {
    if (b.next < b.last) {
      const word left = b.header + 2 + count_of(b.header) - b.next;
      if (left > 0) return left;
    } else {
      get_block(b);
      b.header = b.next = b.buf + 1;
    }
    if (!continues_record(code_of(b.next))) return 0;
    b.header = b.next;
    b.next = b.header + 2;
  }
}

void skip_rest_of_record(Body& b) {
  for (word left = words_left(b); left > 0; left = words_left(b)) b.next += left;
  b.clear(S_INREC);
  b.header = b.next;
}

void read_block(Body& b, word n) {
  BLKPOS(n);
  get_block(b);
  if (core().w(b.buf) != n) fatal_named(3011, b);
}

void read_previous_block(Body& b) {
  const word n = core().w(b.buf) - 1;
  if (n <= 0) fatal_named(3005, b);
  read_block(b, n);
}

bool step_back(Body& b, word& h) {
  const word length = prevlen_of(h);
  if (length == 0) return false;
  h -= length;
  if (h <= b.buf) {
    read_previous_block(b);
    h += sysw().NBUFSZ - 3;
  }
  return true;
}

void rewind_step(Body& b) {
  if (!b.has(S_LOADPT) && core().w(b.buf) != 1) {
    BLKREW(0);
    b.set(S_LOADPT);
  }
  b.clear(S_EOD | S_INREC);
  b.header = b.next = b.buf + 1;
}

}  // namespace zephsol::recbody
