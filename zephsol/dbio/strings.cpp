// String records of matrix columns: PUTSTR, NXTSTR and PRVSTR, further
// entries of the record layer.
#include "zephsol/dbio/strings.h"

#include <cassert>

#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/exec/records.h"

namespace zephsol {

namespace {

using namespace recbody;

constexpr word kAlignWord = -1;
constexpr word kFiller = -2;

// A string record read that contradicts itself: on a restart the column may
// come from a damaged old problem tape, which ends the run as such.
[[noreturn]] void damaged_string(word code, const SCB& s) {
  damaged_data();
  fatal(code, s.file, 0);
}

word checked_type(const SCB& s) {
  if (s.type != 1 && s.type != 2) {
    damaged_data();
    fatal(3053, name_of(s.file), s.type);
  }
  return s.type;
}

// The data block of a column in progress, on the unit its first call noted.
Body continue_column(const SCB& s) {
  if (s.unit < 1 || s.unit > kFitRows) fatal(3054, name_of(s.file), s.file);
  Body b = load(s.file, s.unit);
  if (!b.has(S_STRING)) fatal_named(3054, b);
  return b;
}

void add_to_segment(Body& b, word words) { set_count(b.header, count_of(b.header) + words); }

// Writing: the place of the next string. When fewer words are left than a
// string header and one term, they become filler words and the column goes
// on in the next block. The string header is preset with the previous
// string's count; the caller's terms go after it.
void reserve(Body& b, SCB& s, word type, word previous) {
  word left = b.last - b.next;
  if (left < type + 2) {
    for (word i = 0; i < left; ++i) core().w(b.next + i) = kFiller;
    add_to_segment(b, left);
    b.next += left;
    block_full(b);
    left = b.last - b.next;
  }
  s.left = left;
  if (type == 1) {
    s.slot = b.next + 2;
    s.room = left - 2;
  } else {
    s.slot = (b.next + 3) / 2;
    s.room = (left - 2) / 2;
  }
  hw1(b.next) = 0;
  hw2(b.next) = pack_hi_lo(previous, 0);
  s.given = 0;
  save(b);
}

void put_first(SCB& s, word type) {
  Body b = prologue(s.file, kOpWrite);
  if (b.has(S_INREC)) fatal_named(3051, b);
  if (b.prev_op != kOpWrite) prepare_to_write(b);
  b.set(S_STRING);
  set_code(b.header, kLastPart);
  b.next = b.header + 2;
  note_last_record(b);
  s.row = s.given = s.flag = s.total = 0;
  s.unit = b.unit;
  if (type == 2 && b.next % 2 == 0 && b.last - b.next >= 4) {
    core().w(b.next) = kAlignWord;
    add_to_segment(b, 1);
    b.next += 1;
  }
  reserve(b, s, type, 0);
}

void put_next(SCB& s, word type) {
  Body b = continue_column(s);
  const word n = s.given;
  word left = b.last - b.next;
  // The preset header holds the count of the last string written; a call
  // without terms keeps it, so that a backward read steps back correctly.
  word previous = prevlen_of(b.next);
  if (n > 0) {
    if (n > s.room) fatal(3057, s.file, 0);
    const word size = type * n + 2;
    if (size > left) fatal(3056, s.file, 0);
    hw1(b.next) = s.row;
    hw2(b.next) = pack_hi_lo(previous, n);
    s.total += n;
    add_to_segment(b, size);
    left -= size;
    b.next += size;
    previous = n;
  }
  s.given = 0;
  if (s.flag >= 0) {
    reserve(b, s, type, previous);
    return;
  }
  // The end of the column: no segment stays empty, and no single word is
  // left before the block's end.
  const word fill = count_of(b.header) == 0 ? 2 : left == 1 ? 1 : 0;
  for (word i = 0; i < fill; ++i) core().w(b.next + i) = kFiller;
  add_to_segment(b, fill);
  b.next += fill;
  s.left = left - fill;
  b.clear(S_STRING);
  end_of_record(b);
  save(b);
}

// Reading forward: the next string from the next word, left words being
// left in the segment; moves on through the column's segments.
void next_string(Body& b, SCB& s, word type, word left) {
  for (;;) {
    if (left == 0) {
      b.clear(S_STRING);
      b.header = b.next;
      s.flag = -1;
      save(b);
      return;
    }
    if (type == 2 && b.next % 2 == 0) {
      const word w = core().w(b.next);
      if (w == kFiller) {  // fillers to the segment's end
        b.next += left;
        left = words_left(b);
        continue;
      }
      if (w != kAlignWord) damaged_string(3055, s);
      b.next += 1;
      left -= 1;
    }
    if (left >= type + 2) break;
    b.next += left;
    left = words_left(b);
  }
  const word n = count_of(b.next);
  s.row = hw1(b.next);
  s.room = n;
  s.slot = type == 1 ? b.next + 2 : (b.next + 3) / 2;
  const word size = type * n + 2;
  left -= size;
  if (left < 0) damaged_string(3056, s);
  s.left = left;
  b.next += size;
  save(b);
}

// Reading backward: returns the string at the next word, sum being the terms
// of the segment's strings up to and including it.
void return_string(Body& b, SCB& s, word type, word sum) {
  if (b.next < b.header + 2 || b.next + 2 > b.header + 2 + count_of(b.header)) damaged_string(3056, s);
  const word n = count_of(b.next);
  s.row = hw1(b.next) + n - 1;
  s.room = n;
  sum -= n;
  if (sum < 0) damaged_string(3056, s);
  s.left = sum;
  s.slot = type == 1 ? b.next + n + 1 : (b.next + 1) / 2 + n;
  b.next -= type * prevlen_of(b.next) + 2;
  save(b);
}

// The column's first segment has been passed: the position is its header.
void end_backward(Body& b, SCB& s) {
  b.clear(S_STRING);
  b.next = b.header;
  s.flag = -1;
  save(b);
}

// The strings of the segment at the current header: their terms summed up to
// the last one, whose header the next word becomes; 0 when there is none.
word scan_segment(Body& b, SCB& s, word type) {
  word room = count_of(b.header) - (type + 2);
  if (room < 0) return 0;
  b.next = b.header + 2;
  if (type == 2 && b.next % 2 == 0) {
    const word w = core().w(b.next);
    if (w == kFiller) return 0;
    if (w != kAlignWord) fatal(3055, s.file, 0);
    b.next += 1;
    if (--room < 0) return 0;
  }
  word sum = 0;
  for (;;) {
    const word n = count_of(b.next);
    sum += n;
    room -= type * n + 2;
    if (room < 0) return sum;
    b.next += type * n + 2;
  }
}

// Steps back segment by segment from the current one until a segment holds
// strings and returns its last string, or ends the column when its first
// segment has been passed.
void previous_segment_string(Body& b, SCB& s, word type) {
  for (;;) {
    if (!step_back(b, b.header)) {
      end_backward(b, s);
      return;
    }
    const word sum = scan_segment(b, s, type);
    if (sum > 0) {
      return_string(b, s, type, sum);
      return;
    }
    if (!continues_record(code_of(b.header))) {
      end_backward(b, s);
      return;
    }
  }
}

}  // namespace

SCB& shared_scb(int i) noexcept {
  assert(i >= 1 && i <= 3 && "three shared string control blocks");
  return dbio_state().scb[static_cast<std::size_t>(i - 1)];
}

void PUTSTR(SCB& scb) {
  const word type = checked_type(scb);
  if (scb.flag > 0)
    put_first(scb, type);
  else
    put_next(scb, type);
}

void NXTSTR(SCB& scb) {
  const word type = checked_type(scb);
  if (scb.flag > 0) {
    Body b = prologue(scb.file, kOpRead);
    if (b.has(S_INREC)) fatal_named(3051, b);
    b.set(S_STRING);
    if (find_next(b) != Found::Record) {
      damaged_data();
      fatal(2, name_of(scb.file), 0);
    }
    scb.flag = 0;
    scb.unit = b.unit;
    next_string(b, scb, type, words_left(b));
    return;
  }
  Body b = continue_column(scb);
  next_string(b, scb, type, words_left(b));
}

void PRVSTR(SCB& scb) {
  const word type = checked_type(scb);
  if (scb.flag > 0) {
    Body b = prologue(scb.file, kOpBackward);
    if (b.has(S_INREC)) fatal_named(3051, b);
    if (b.has(S_LOADPT)) {
      scb.flag = -1;
      save(b);
      return;
    }
    b.clear(S_EOD);
    b.set(S_STRING);
    scb.flag = 0;
    scb.unit = b.unit;
    previous_segment_string(b, scb, type);
    return;
  }
  Body b = continue_column(scb);
  if (scb.left != 0)
    return_string(b, scb, type, scb.left);
  else if (continues_record(code_of(b.header)))
    previous_segment_string(b, scb, type);
  else
    end_backward(b, scb);  // the column's first segment is done
}

}  // namespace zephsol
