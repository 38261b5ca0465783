#include "zephsol/dbio/directory.h"

#include <cassert>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/filesys.h"

namespace zephsol {

namespace {

struct LoadEntry {
  word number;
  word name;
  word unit;
};

#define ZEPH_DATA_BLOCK(number, id, text, unit) LoadEntry{number, name_word(text), unit},
constexpr LoadEntry kLoadList[] = {
#include "zephsol/dbio/datablocks.def"
};
#undef ZEPH_DATA_BLOCK

constexpr int kLoadCount = static_cast<int>(std::size(kLoadList));
constexpr word kPermanentEntries = 2;  // the problem tapes come first
constexpr word kDirectoryLength = 76;

// First directory word of each number group 0-3 and the end of group 3: a
// group takes as many words as its highest number m (100 g + m) needs.
constexpr std::array<word, 5> group_starts() {
  std::array<word, 5> start{};
  start[0] = 7;
  for (int g = 0; g < 4; ++g) {
    word top = 0;
    for (const auto& e : kLoadList)
      if (e.number / 100 == g && e.number % 100 > top) top = e.number % 100;
    start[g + 1] = start[g] + top;
  }
  return start;
}

constexpr DBDIR build_dbdir() {
  DBDIR d{};
  d.length = kDirectoryLength;
  d.start = group_starts();
  for (int e = 1; e <= kLoadCount; ++e) {
    const word n = kLoadList[e - 1].number;
    d.index[static_cast<std::size_t>(d.start[n / 100] + n % 100 - 1 - 7)] = DBST::index_of_entry(e);
  }
  // The directory words past the last group hold the indexes of the empty
  // entries that follow; no group reaches them.
  for (word w = d.start[4], e = kLoadCount + 1; w <= kDirectoryLength; ++w, ++e)
    d.index[static_cast<std::size_t>(w - 7)] = DBST::index_of_entry(e);
  return d;
}

constexpr DBDIR kDbdirLoad = build_dbdir();
static_assert(kLoadCount == 56);
static_assert(kDbdirLoad.start == std::array<word, 5>{7, 9, 9, 59, 63});

// Every number of a group must be listed, in order, so that the directory has
// no holes and the list order is the entry order.
constexpr bool list_is_dense() {
  for (int e = 1; e < kLoadCount; ++e) {
    const word a = kLoadList[e - 1].number, b = kLoadList[e].number;
    if (!(b == a + 1 || (b / 100 > a / 100 && b % 100 == 1))) return false;
  }
  return kLoadList[0].number == 1;
}
static_assert(list_is_dense());

}  // namespace

DbstEntry& DBST::at(word index) noexcept {
  assert(index >= 4 && (index - 4) % 8 == 0 && (index - 4) / 8 < kDbstEntries);
  return entry[static_cast<std::size_t>((index - 4) / 8)];
}
const DbstEntry& DBST::at(word index) const noexcept {
  assert(index >= 4 && (index - 4) % 8 == 0 && (index - 4) / 8 < kDbstEntries);
  return entry[static_cast<std::size_t>((index - 4) / 8)];
}

DBST dbst_load_values() {
  DBST t;
  t.NENTRY = kLoadCount;
  t.NENTR2 = kLoadCount;
  t.NPERM = kPermanentEntries;
  for (int e = 0; e < kLoadCount; ++e) {
    t.entry[static_cast<std::size_t>(e)].unit = kLoadList[e].unit;
    t.entry[static_cast<std::size_t>(e)].name = kLoadList[e].name;
  }
  return t;
}

DBDIR dbdir_load_values() { return kDbdirLoad; }

word dbst_index(word number) noexcept {
  if (number < 1 || number > 399) return 0;
  const DBDIR& d = dbio_state().dbdir;
  const word g = number / 100, m = number % 100;
  if (m < 1) return 0;
  const word w = d.start[static_cast<std::size_t>(g)] + m - 1;
  if (w >= d.start[static_cast<std::size_t>(g + 1)]) return 0;
  return d.at(w);
}

word dbst_number(word index) noexcept {
  const DBDIR& d = dbio_state().dbdir;
  for (word g = 0; g < 4; ++g)
    for (word w = d.start[static_cast<std::size_t>(g)]; w < d.start[static_cast<std::size_t>(g + 1)]; ++w)
      if (d.at(w) == index) return 100 * g + w - d.start[static_cast<std::size_t>(g)] + 1;
  return 0;
}

void DBUNIT(word number, std::span<word, 2> result) {
  const word index = dbst_index(number);
  const word unit = index ? entry_unit(dbio_state().dbst.at(index)) : 0;
  result[0] = unit == 0 ? 0 : fit(unit).buffer != 0 ? unit : -unit;
  result[1] = index;
  FILCTL& f = filctl();
  f.curfil = unit ? number : kNoDataBlock;
  f.curunt = unit;
}

void DBNAME(word number, word& name) {
  const word index = dbst_index(number);
  name = index ? dbio_state().dbst.at(index).name : name_word("****");
}

void DBNAM8(word number, std::span<word, 2> name8) {
  DBNAME(number, name8[0]);
  name8[1] = name_word("    ");
}

void DBUNLD(word index) {
  DbstEntry& e = dbio_state().dbst.at(index);
  const word unit = entry_unit(e);
  if (unit == 0) return;
  FitRow& row = fit(unit);
  if ((row.status & S_EXISTS) == 0 || last_operation(row) == 0) return;
  FILCTL& f = filctl();
  f.curfil = dbst_number(index);
  f.curunt = unit;
  f.status = row.status;
  DBNAME(f.curfil, f.name8[0]);
  BLKREW(-1);
  row.status = (f.status & ~(S_STRING | S_EOD | S_INREC)) | S_LOADPT;
  row.buffer = row.next = row.header = 0;
  set_last_operation(row, 0);
  e.DBHDR.fill(0);
  f.curfil = kNoDataBlock;
}

}  // namespace zephsol
