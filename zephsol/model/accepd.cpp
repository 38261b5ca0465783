// ACCEPD and MODEPX: element load records of a step added into the running
// total, and the totals of removed elements emptied.
#include "zephsol/model/accepd.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kCopyArea = 1000;
constexpr word kRecordEnded = 1, kEndOfFile = 2;

bool present(word file) { return file != 0 && header_of(file)[0] != 0; }

// Reads the next element load record into area (at most area.size()
// words); returns its length, which must be L + 1.
word read_load_record(word file, std::span<word> area, const char* name) {
  word got = 0, status = 0;
  DBRDST(file, area.data(), static_cast<word>(area.size()), 1, got, status);
  if (status == kEndOfFile) model_fatal(-2, name_word(name), 0);
  if (status != kRecordEnded) model_fatal(-3825, name_word(name), static_cast<word>(area.size()));
  if (got < 1 || got != area[0] + 1) model_fatal(-3520, got, got < 1 ? 0 : area[0]);
  return got;
}

// The work area of a module: open core from word 1 below its lowest buffer.
struct Buffers {
  std::array<word, 3> at{};
  word lowest = 0;
};

Buffers buffers(int count) {
  Buffers b;
  const word nbuf = sysw().NBUFSZ;
  word top = sysw().COREND;
  for (int k = 0; k < count; ++k) b.at[static_cast<std::size_t>(k)] = top -= nbuf;
  b.lowest = top;
  return b;
}

// EPX absent: EPY is EPD, record by record, header included.
void copy_step_loads(word EPD, word EPY) {
  const Buffers b = buffers(2);
  const word room = b.lowest - 1;
  if (room < kCopyArea) short_of_core(kCopyArea, room);
  DBOPEN(EPD, b.at[0], kRead);
  DBOPEN(EPY, b.at[1], kWrite);
  FILCPY(EPD, EPY, &core().w(1), room);
  DBCLOS(EPD, kCloseRewind);
  DBCLOS(EPY, kCloseRewind);
  HDRPUT(EPY, header_of(EPD));
}

// Whether the entries at x of rec and at a of add are the same load: equal
// ELDTYP and code word; an entry without words has no code word and is the
// same load as another without words of its ELDTYP.
bool same_load(std::span<const word> rec, word x, std::span<const word> add, word a) {
  const auto at = [](std::span<const word> r, word k) { return r[static_cast<std::size_t>(k)]; };
  if (at(rec, x) != at(add, a)) return false;
  const bool words = at(rec, x + 1) > 0, add_words = at(add, a + 1) > 0;
  if (!words || !add_words) return words == add_words;
  return at(rec, x + 2) == at(add, a + 2);
}

// Adds the entries of the step record `add` (of `length` words) into the
// total record held in `merge` (of `used` words, `entries` entries);
// returns the new length.
word add_entries(std::span<word> merge, word used, word& entries, std::span<const word> add, word length) {
  const word original = used;
  walk_load_entries(add, length, [&](word a) {
    const word n = add[static_cast<std::size_t>(a + 1)];
    word found = -1;
    walk_load_entries(merge, original, [&](word x) {
      if (found < 0 && same_load(merge, x, add, a)) found = x;
    });
    if (found >= 0) {
      const word m = merge[static_cast<std::size_t>(found + 1)];
      if (m != n) model_fatal(-8077, m, n);
      for (word k = 3; k < n + 2; ++k) {
        word& total = merge[static_cast<std::size_t>(found + k)];
        total = real_word(word_real(total) + word_real(add[static_cast<std::size_t>(a + k)]));
      }
      return;
    }
    if (std::int64_t{used} + n + 2 > static_cast<std::int64_t>(merge.size()))
      model_fatal(-4, name_word("EPX "), static_cast<word>(merge.size()) - used);
    std::copy_n(add.begin() + a, n + 2, merge.begin() + used);
    used += n + 2;
    ++entries;
  });
  return used;
}

}  // namespace

void ACCEPD(word EPX, word EPD, word EPY) {
  MODBGN("ACCEPD  ");
  const bool total = present(EPX), step = present(EPD);
  if (!total && !step) {
    HDRPUT(EPY, Header{});
    return;
  }
  if (!total) {
    copy_step_loads(EPD, EPY);
    return;
  }
  const Header hx = header_of(EPX);
  const Buffers b = buffers(step ? 3 : 2);
  const word step_room = step ? std::max(header_of(EPD)[1], 0) + 2 : 0;
  const word total_room = std::max(hx[1], 0) + 2;
  const std::int64_t free = std::int64_t{b.lowest} - 1 - step_room;
  if (free < total_room) short_of_core(std::int64_t{step_room} + total_room, b.lowest - 1);
  const std::span<word> step_rec = core().words(1, step_room);
  const std::span<word> merge = core().words(1 + std::int64_t{step_room}, free);

  DBOPEN(EPX, b.at[0], kRead);
  DBOPEN(EPY, b.at[1], kWrite);
  if (step) DBOPEN(EPD, b.at[2], kRead);
  word longest = 0;
  for (word j = 0; j < hx[0]; ++j) {
    word used = read_load_record(EPX, merge.first(static_cast<std::size_t>(total_room)), "EP0 ");
    word entries = 0;
    walk_load_entries(merge, used, [&entries](word) { ++entries; });
    used = std::max<word>(used, 2);  // entries of a [0] record go after [L, count]
    if (step) {
      const word length = read_load_record(EPD, step_rec, "EPD ");
      used = add_entries(merge, used, entries, step_rec, length);
    }
    if (entries == 0) {
      const word zero = 0;
      DBWRIT(EPY, &zero, 1, 1);
      longest = std::max<word>(longest, 1);
      continue;
    }
    merge[0] = used - 1;
    merge[1] = entries;
    DBWRIT(EPY, merge.data(), used, 1);
    longest = std::max(longest, used);
  }
  DBCLOS(EPX, kCloseRewind);
  if (step) DBCLOS(EPD, kCloseRewind);
  Header hy = hx;
  hy[1] = longest;
  HDRPUT(EPY, hy);
  DBCLOS(EPY, kCloseRewind);
}

void MODEPX(word EPX, word XCLD, word EPY) {
  MODBGN("MODEPX  ");
  if (!present(EPX)) {
    HDRPUT(EPY, Header{});
    return;
  }
  const Header hx = header_of(EPX);
  const Buffers b = buffers(2);
  const word nx = std::max(header_of(XCLD)[0], 0);
  const word room = std::max(hx[1], 0) + 2;
  if (std::int64_t{room} + nx > std::int64_t{b.lowest} - 1) short_of_core(std::int64_t{room} + nx, b.lowest - 1);
  const std::span<word> rec = core().words(1, room);
  const std::span<word> excluded = core().words(b.lowest - nx, nx);
  if (nx > 0) {
    DBOPEN(XCLD, b.at[0], kRead);
    DBREAD(XCLD, excluded.data(), nx, 1);
    DBCLOS(XCLD, kCloseRewind);
  }
  DBOPEN(EPX, b.at[0], kRead);
  DBOPEN(EPY, b.at[1], kWrite);
  word longest = 0;
  auto next = excluded.begin();
  for (word j = 1; j <= hx[0]; ++j) {
    const word length = read_load_record(EPX, rec, "EPX ");
    if (next != excluded.end() && *next == j) {
      ++next;
      const word zero = 0;
      DBWRIT(EPY, &zero, 1, 1);
      continue;
    }
    DBWRIT(EPY, rec.data(), length, 1);
    longest = std::max(longest, length);
  }
  DBCLOS(EPX, kCloseRewind);
  DBCLOS(EPY, kCloseRewind);
  HDRPUT(EPY, Header{hx[0], longest, 0, 1, 0, 0});
}

}  // namespace zephsol
