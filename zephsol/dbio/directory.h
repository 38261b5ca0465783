// Data block directory: the status table DBST (unit, name and six header
// words of every data block), the number directory DBDIR, the named data
// block numbers, and the lookups between number, name and unit.
//
// Both tables and the number constants come from one list,
// zephsol/dbio/datablocks.def. The tables hold their load values until a
// test resets them with reset_dbio_state().
//
// Messages: none here; an undefined number reads as unit 0 and name "****".
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Data block numbers: NPTP = 1, OPTP = 2, INP1 = 201, ..., EGEE = 250,
// S301 = 301, ..., S304 = 304.
#define ZEPH_DATA_BLOCK(number, id, text, unit) inline constexpr word id = number;
#include "zephsol/dbio/datablocks.def"
#undef ZEPH_DATA_BLOCK

// One entry of the status table: 8 words.
struct DbstEntry {
  word unit = 0;                // 1 bits 0-7 the unit (0 = none); the other bits travel with the word
  word name = 0;                // 2 four characters, blank-padded
  std::array<word, 6> DBHDR{};  // 3-8 header words; all zero = absent
};
static_assert(sizeof(DbstEntry) == 8 * 4);

inline constexpr int kDbstEntries = 80;

// The data block status table. The DBST index of an entry is the word
// number of its first word: entry e (from 1) has index 4 + 8 (e - 1).
struct DBST {
  word NENTRY = 0;  // 1 entries in use
  word NENTR2 = 0;  // 2 entries at load (not read)
  word NPERM = 0;   // 3 permanent entries (the first ones)
  std::array<DbstEntry, kDbstEntries> entry{};

  static constexpr word index_of_entry(int e) noexcept { return 4 + 8 * (e - 1); }
  // The entry at a DBST index; the index must be one of index_of_entry(1..80).
  DbstEntry& at(word index) noexcept;
  const DbstEntry& at(word index) const noexcept;
};
static_assert(sizeof(DBST) == (3 + 8 * kDbstEntries) * 4);
static_assert(offsetof(DBST, entry) == 3 * 4);

// The number directory: number n = 100 g + m (m >= 1) uses word
// start[g] + m - 1, which holds the DBST index of its entry or 0.
struct DBDIR {
  word length = 0;               // 1 length of the directory, 76
  std::array<word, 5> start{};   // 2-6 first word of each number group 0-3, and the end
  std::array<word, 70> index{};  // 7-76 DBST indexes

  // The directory word w (7 <= w <= 76).
  word& at(word w) noexcept { return index[static_cast<std::size_t>(w - 7)]; }
  word at(word w) const noexcept { return index[static_cast<std::size_t>(w - 7)]; }
};
static_assert(sizeof(DBDIR) == 76 * 4);

// Load values of the two tables.
DBST dbst_load_values();
DBDIR dbdir_load_values();

// DBST index of the entry of number n, or 0 when n is not defined.
word dbst_index(word number) noexcept;
// The number whose directory word holds DBST index, or 0.
word dbst_number(word index) noexcept;
// The unit of an entry (bits 0-7 of its unit word).
constexpr word entry_unit(const DbstEntry& e) noexcept { return e.unit & 0xFF; }

// result[0]: the unit, negated when the data block is closed, 0 when the
// number is undefined or has no unit; result[1]: DBST index, 0 when undefined.
// The number becomes the current data block (none, -777, without a unit).
void DBUNIT(word number, std::span<word, 2> result);
// The four-character name, "****" when the number is undefined.
void DBNAME(word number, word& name);
// The name followed by four blanks ("****" and four blanks when undefined).
void DBNAM8(word number, std::span<word, 2> name8);
// Empties the data block of a DBST entry: its blocks are discarded, its unit
// file deleted, its header zeroed and its FIT row left closed at load point.
// Nothing happens when the unit file does not exist or was never used.
void DBUNLD(word index);

}  // namespace zephsol
