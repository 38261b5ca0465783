// Logical records: open, close, write, read and marks, the sequence table
// and the position helpers.
#include "zephsol/dbio/recio.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <string>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/fsinfo.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using namespace recbody;

constexpr word kOpenCloseSwitch = 30;

// Bit 31 - c of a word allows operation c.
constexpr std::uint32_t allow(std::initializer_list<int> ops) {
  std::uint32_t w = 0;
  for (int c : ops) w |= 1u << (31 - c);
  return w;
}

// The operations allowed after each last operation 0 to 14.
constexpr std::array<std::uint32_t, 15> kSequence = {
    allow({}),                                 // 0  none since emptied
    allow({5, 10, 14}),                        // 1  open "WTNR"
    allow({5, 10, 14}),                        // 2  open "WT  "
    allow({6, 8, 9, 10, 11, 12, 13, 14}),      // 3  open "RDNR"
    allow({6, 9, 10, 11, 12, 13, 14}),         // 4  open "RD  "
    allow({5, 7, 12, 13, 14}),                 // 5  write
    allow({6, 8, 9, 10, 11, 12, 13, 14}),      // 6  read
    allow({5, 7, 10, 12, 13, 14}),             // 7  mark
    allow({6, 8, 9, 10, 11, 12, 13, 14}),      // 8  backward
    allow({6, 8, 9, 10, 11, 12, 13, 14}),      // 9  forward
    allow({5, 6, 9, 10, 11, 12, 13, 14}),      // 10 rewind
    allow({6, 8, 9, 10, 11, 12, 13, 14}),      // 11 skip
    allow({1, 2, 3, 4}),                       // 12 close "NR  "
    allow({1, 2, 3, 4}),                       // 13 close "R   "
    allow({}),                                 // 14 close "UNLD"
};

struct OptionCode {
  word option;
  word code;
};
constexpr std::array<OptionCode, 4> kOpenOptions = {{
    {kWriteNoRewind, kOpOpenWtnr},
    {kWrite, kOpOpenWt},
    {kReadNoRewind, kOpOpenRdnr},
    {kRead, kOpOpenRd},
}};
constexpr std::array<OptionCode, 3> kCloseOptions = {{
    {kCloseNoRewind, kOpCloseNr},
    {kCloseRewind, kOpCloseR},
    {kCloseUnload, kOpCloseUnld},
}};

template <std::size_t N>
word option_code(const std::array<OptionCode, N>& table, word option) {
  for (const OptionCode& o : table)
    if (o.option == option) return o.code;
  return 0;
}

void open_close_message(word code, word file, word unit) {
  if (DIAGLV(kOpenCloseSwitch) < 1) return;
  const std::array<word, 4> p{unit, 0, 0, 0};
  FSINFO(code, file, p);
}

// The block of a buffer at index a overlaps the one at w when they share a
// word (blocks are B - 1 words long).
void check_overlap(word file, word index) {
  const word span = sysw().NBUFSZ - 1;
  for (word u = 1; u <= kFitRows; ++u) {
    const word w = fit(u).buffer;
    if (w != 0 && index < w + span && index + span > w) fatal(3016, name_of(file), u);
  }
}

void open_body(word file, word buffer, word option, word* status) {
  if (status) *status = 0;
  const word unit = make_current(file);
  if (unit == 0) {
    if (status) {
      *status = 1;
      filctl().curfil = kNoDataBlock;
      return;
    }
    fatal(3018, file, 0);
  }
  FitRow& row = fit(unit);
  if (row.buffer != 0) fatal(3015, name_of(file), file);
  const word index = buffer + (buffer & 1);
  check_overlap(file, index);
  row.buffer = index;
  const word op = option_code(kOpenOptions, option);
  if (op == 0) fatal(3017, name_of(file), option);
  set_last_operation(row, op);
  BLKOPN(op);
  row.status = filctl().status;
  open_close_message(3047, file, unit);

  Body b = load(file, unit);
  const bool writing = op == kOpOpenWt || op == kOpOpenWtnr;
  if (op == kOpOpenWt || op == kOpOpenRd) {
    BLKREW(writing ? 1 : 0);
    b.clear(S_EOD);
    b.set(S_LOADPT);
  }
  if (b.has(S_LOADPT)) {
    if (writing)
      start_block_one(b);
    else
      first_block_for_reading(b);
  } else {
    // Back to the position saved by a close without rewind.
    const word block = row.header, distance = row.next;
    read_block(b, block);
    if (writing) BLKPOS(block);
    b.next = b.header = b.buf + distance;
  }
  save(b);
}

// The position a close without rewind keeps: the header's distance and its
// block.
void keep_position(Body& b, word distance, word block) {
  b.next = distance;
  b.header = block;
}

void close_unload(word file, word unit) {
  FitRow& row = fit(unit);
  if (row.buffer == 0) fatal(3019, name_of(file), file);
  BLKREW(-1);
  word& s = filctl().status;
  s = (s & ~(S_STRING | S_EOD | S_LOADPT | S_INREC)) | S_LOADPT;
  row.status = s;
  row.buffer = row.next = row.header = 0;
  set_last_operation(row, kOpNone);
  dbio_state().dbst.at(dbst_index(file)).DBHDR.fill(0);
}

void close_keep(word file, word op) {
  Body b = prologue(file, op);
  const bool after_write = b.prev_op == kOpWrite;
  dbpos mark = 0;
  if (after_write) mark = mark_step(b, kEofMark);
  if (after_write || b.prev_op == kOpMark) {
    core().w(b.last) = b.last - b.header;
    BLKPUT(b.buf);
  }
  if (op == kOpCloseR) {
    BLKREW(0);
    b.clear(S_EOD | S_INREC);
    b.set(S_LOADPT);
    keep_position(b, 1, 1);
  } else if (b.has(S_INREC)) {
    MSGPUT(3023, name_of(file), file);
    b.status() = with_low24(b.status(), b.block()) & ~S_INREC;
    keep_position(b, b.distance(b.header), b.block());
  } else if (b.has(S_LOADPT)) {
    keep_position(b, 1, 1);
  } else if (after_write) {
    keep_position(b, static_cast<word>(mark & 0xFFFF), static_cast<word>(mark >> 16));
  } else {
    keep_position(b, b.distance(b.next), b.block());
  }
  save(b);
  b.row->buffer = 0;
}

void write_body(word file, const void* area, std::int64_t n, word eor) {
  Body b = prologue(file, kOpWrite);
  if (n < 0) fatal_named(3020, b);
  if (b.prev_op != kOpWrite) prepare_to_write(b);
  if (!b.has(S_INREC)) begin_record(b);
  const auto* src = static_cast<const std::byte*>(area);
  while (n > 0) {
    const word room = b.last - b.next;
    if (room == 0) {
      block_full(b);
      continue;
    }
    const word k = static_cast<word>(std::min<std::int64_t>(room, n));
    std::memcpy(core().words(b.next, k).data(), src, static_cast<std::size_t>(k) * 4);
    set_count(b.header, count_of(b.header) + k);
    b.next += k;
    src += static_cast<std::size_t>(k) * 4;
    n -= k;
  }
  if (eor != 0) end_of_record(b);
  save(b);
}

// Reads or steps over |n| words of the current record. With a status the
// ends are reported there, else they are fatal -1 and -2.
void read_body(word file, void* area, std::int64_t n, word eor, word* nread, word* status) {
  Body b = prologue(file, kOpRead);
  if (status) *status = 0;
  if (!b.has(S_INREC)) {
    b.set(S_INREC);
    if (find_next(b) != Found::Record) {
      b.clear(S_INREC);
      if (!status) fatal(2, name_of(file), 0);
      *status = 2;
      save(b);
      return;
    }
  }
  auto* dst = static_cast<std::byte*>(area);
  std::int64_t moved = 0;
  for (std::int64_t remaining = n < 0 ? -n : n; remaining > 0;) {
    const word left = words_left(b);
    if (left == 0) {
      b.clear(S_INREC);
      b.header = b.next;
      const word count = static_cast<word>(std::min<std::int64_t>(moved, INT32_MAX));
      if (!status) fatal(1, name_of(file), count);
      *status = 1;
      *nread = count;
      save(b);
      return;
    }
    const word k = static_cast<word>(std::min<std::int64_t>(left, remaining));
    if (n >= 0) {
      std::memcpy(dst, core().words(b.next, k).data(), static_cast<std::size_t>(k) * 4);
      dst += static_cast<std::size_t>(k) * 4;
    }
    moved += k;
    remaining -= k;
    b.next += k;
  }
  if (eor != 0) skip_rest_of_record(b);
  save(b);
}

void mark_body(word file, word code) {
  Body b = prologue(file, kOpMark);
  mark_step(b, code);
  save(b);
}

}  // namespace

bool sequence_allows(word last, word next) noexcept {
  if (last < 0 || last >= static_cast<word>(kSequence.size()) || next < 1 || next > 31) return false;
  return ((kSequence[static_cast<std::size_t>(last)] >> (31 - next)) & 1u) != 0;
}

void DBOPEN(word file, word buffer, word option) { open_body(file, buffer, option, nullptr); }

void DBOPNS(word file, word buffer, word option, word& status) { open_body(file, buffer, option, &status); }

void DBCLOS(word file, word option) {
  const word unit = make_current(file);
  if (unit == 0) fatal(3018, file, 0);
  const word op = option_code(kCloseOptions, option);
  if (op == 0) fatal(3022, name_of(file), option);
  if (op == kOpCloseUnld)
    close_unload(file, unit);
  else
    close_keep(file, op);
  open_close_message(3048, file, unit);
  filctl().curfil = kNoDataBlock;
}

void DBWRIT(word file, const word* area, word n, word eor) { write_body(file, area, n, eor); }
void DBWRIT(word file, const float* area, word n, word eor) { write_body(file, area, n, eor); }
void DBWRIT(word file, std::nullptr_t, word n, word eor) {
  assert(n <= 0 && "words to write need an area");
  write_body(file, nullptr, n, eor);
}
void DBWRDP(word file, const double* area, word n, word eor) { write_body(file, area, 2 * std::int64_t{n}, eor); }

void DBREAD(word file, word* area, word n, word eor) { read_body(file, area, n, eor, nullptr, nullptr); }
void DBREAD(word file, float* area, word n, word eor) { read_body(file, area, n, eor, nullptr, nullptr); }
void DBREAD(word file, std::nullptr_t, word n, word eor) {
  assert(n <= 0 && "words read need an area");
  read_body(file, nullptr, n, eor, nullptr, nullptr);
}
void DBRDDP(word file, double* area, word n, word eor) {
  read_body(file, area, 2 * std::int64_t{n}, eor, nullptr, nullptr);
}
void DBRDST(word file, word* area, word n, word eor, word& nread, word& status) {
  read_body(file, area, n, eor, &nread, &status);
}
void DBRDST(word file, float* area, word n, word eor, word& nread, word& status) {
  read_body(file, area, n, eor, &nread, &status);
}

void DBEOF(word file) { mark_body(file, kEofMark); }
void DBEOS(word file) { mark_body(file, kEosMark); }

void put_position(std::span<word, 2> w, dbpos pos) noexcept {
  w[0] = static_cast<word>(pos >> 16);
  w[1] = static_cast<word>(pos & 0xFFFF);
}

dbpos get_position(std::span<const word, 2> w) noexcept { return dbpos{w[0]} * 65536 + w[1]; }

word position_word(word file, dbpos pos) {
  if (pos >= kEndOfData && pos <= INT32_MAX) return static_cast<word>(pos);
  const word name = name_of(file);
  const std::string line =
      fline("(' **** SYSTEM FATAL MESSAGE: POSITION IN BLOCK',I12,' OF DATA BLOCK ',A4,"
            "' DOES NOT FIT IN ONE WORD (LIMIT',I6,' BLOCKS) ****')",
            {static_cast<long long>(pos >> 16), word_name(name), 32767});
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
  fatal(3012, name, file);
}

}  // namespace zephsol
