// The records of the data-block file system: the control record FILCTL, the
// file information table FIT (one row per unit), the record counters PURECS
// of the units, and the directory tables, gathered in one aggregate so that a
// test starts from the load state with reset_dbio_state().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxadd.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/partn.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr int kFitRows = 90;                 // units 1 to 90
inline constexpr word kBlockMask = 0x00FFFFFF;      // bits 0-23: a block number
inline constexpr word kAllInCore = 16777215;        // first-on-unit: every block in core;
                                                    // last block written: open-ended
inline constexpr word kNoDataBlock = -777;          // FILCTL word 1 when none is current
inline constexpr word kPool2Bit = 32768;            // pool 2 buffer numbers carry bit 15
inline constexpr word kMaxPoolBuffers = 32767;      // buffer numbers have 15 bits

// FIT word 1 (and its copy, FILCTL word 7): status bits.
inline constexpr word S_POOL2 = 1 << 24;    // the chain lies in pool 2
inline constexpr word S_CORE = 1 << 25;     // core-resident: blocks kept in a chain of pool buffers
inline constexpr word S_LAST = 1 << 26;     // last block reached (reading) / current block written
inline constexpr word S_EXISTS = 1 << 27;   // the unit file exists
inline constexpr word S_STRING = 1 << 28;   // a column string is in progress
inline constexpr word S_EOD = 1 << 29;      // end of data reached
inline constexpr word S_LOADPT = 1 << 30;   // at load point
inline constexpr word S_INREC = static_cast<word>(0x80000000u);  // inside a record
// FIT word 5 bit 31: the unit holds the whole data block and the chain a copy.
inline constexpr word F5_CHAINED = static_cast<word>(0x80000000u);
// FIT word 1 as BUFINI leaves it: at load point, block 1.
inline constexpr word kStatusAtLoad = S_LOADPT | 1;

// The file-system control record (32 words, 25 in use).
struct FILCTL {
  word curfil = kNoDataBlock;   // 1  current data block number
  word curunt = 0;              // 2  current unit
  word lstmrk = 0;              // 3  code of the last mark met by a read or skip
  word blkwds = 0;              // 4  B - 1: words per block, record length of a unit
  word blkwm1 = 0;              // 5  B - 2
  word blkwm2 = 0;              // 6  B - 3
  word status = 0;              // 7  copy of FIT word 1 of the current data block
  word p1link = 0;              // 8  pool 1: index of buffer 1's link word
  word p1buf = 0;               // 9  pool 1: index of buffer 1's first word
  word fstprm = 0;              // 10 first permanent unit
  word fstwrk = 0;              // 11 first work unit
  word nprm = 0;                // 12 number of permanent units
  word nwrk = 0;                // 13 number of work units
  word p1head = 0;              // 14 pool 1 free list head (0 = empty)
  word p1tail = 0;              // 15 pool 1 free list tail
  word p1built = 0;             // 16 pool 1 built (1) or absent (0)
  word p2lent = 0;              // 17 pool 2 lent (1) or not (0)
  std::array<word, 2> name8{};  // 18-19 name of the current data block
  word p2link = 0;              // 20 pool 2 link base
  word p2buf = 0;               // 21 pool 2 buffer base
  word p2list = 0;              // 22 open-core index of the pool 2 list (0 when it lies elsewhere)
  word p2nlst = 0;              // 23 entries of the pool 2 list
  word p2head = 0;              // 24 pool 2 free list head (0 = empty)
  word p2tail = 0;              // 25 pool 2 free list tail
  std::array<word, 7> spare{};  // 26-32

  std::span<word, 32> words() noexcept { return std::span<word, 32>(reinterpret_cast<word*>(this), 32); }
};
static_assert(sizeof(FILCTL) == 32 * 4);
static_assert(offsetof(FILCTL, status) == 6 * 4);
static_assert(offsetof(FILCTL, name8) == 17 * 4);
static_assert(offsetof(FILCTL, p2tail) == 24 * 4);

// One row of the file information table: the state of a unit and of the data
// block open on it.
struct FitRow {
  word status = kStatusAtLoad;  // 1 status bits, bits 0-23 the current block number
  word buffer = 0;              // 2 open-core index of the record buffer, 0 when closed
  word next = 0;                // 3 open: next word; closed: distance of the saved position
  word header = 0;              // 4 open: current segment header; closed: block of the saved position
  word first = 1;               // 5 bits 0-23 first block on the unit ("FITFBN"); bit 31 F5_CHAINED
  word last = 0;                // 6 bits 0-23 last block written; bits 24-31 last operation
  word lastrec = 0;             // 7 position of the last record written
  word chain = 0;               // 8 bits 16-31 first chain buffer, bits 0-15 current chain buffer

  std::span<word, 8> words() noexcept { return std::span<word, 8>(reinterpret_cast<word*>(this), 8); }
};
static_assert(sizeof(FitRow) == 8 * 4);

// Bits 0-23 of a word, and the word with bits 0-23 replaced.
constexpr word low24(word w) noexcept { return w & kBlockMask; }
constexpr word with_low24(word w, word v) noexcept { return (w & ~kBlockMask) | (v & kBlockMask); }
// The last-operation code (FIT word 6 bits 24-31) and the row with it replaced.
constexpr word last_operation(const FitRow& r) noexcept {
  return static_cast<word>(static_cast<std::uint32_t>(r.last) >> 24);
}
constexpr void set_last_operation(FitRow& r, word code) noexcept {
  r.last = static_cast<word>((static_cast<std::uint32_t>(code) << 24) |
                             static_cast<std::uint32_t>(low24(r.last)));
}
constexpr word first_chain_buffer(const FitRow& r) noexcept {
  return static_cast<word>(static_cast<std::uint32_t>(r.chain) >> 16);
}
constexpr word current_chain_buffer(const FitRow& r) noexcept { return r.chain & 0xFFFF; }

// Record counters of a unit.
struct PurecsPair {
  word next = 1;     // the record the next read or write transfers
  word written = 0;  // the last record of the file
};
inline constexpr word kOpenEndedRecords = 16777216;  // a permanent unit read to its end

// Everything the file system keeps.
struct DbioState {
  DBST dbst = dbst_load_values();
  DBDIR dbdir = dbdir_load_values();
  FILCTL filctl;
  std::array<FitRow, kFitRows> FIT;
  std::array<PurecsPair, kFitRows> PURECS;
  bool purecs_set = false;  // PURECS initialised by the first PUOPEN of the run
  // Beside each unit's chain of pool buffers: the buffer of block n at [n - 1],
  // so that positioning inside a chain need not walk its links.
  std::array<std::vector<std::uint16_t>, kFitRows> chain_blocks;
  // The lender's list of data block numbers served by pool 2.
  const word* pool2_list = nullptr;
  // Beside FIT word 7: the whole position of each unit's last record
  // written, which word 7 holds only while it fits in 31 bits (else -1).
  std::array<std::int64_t, kFitRows> last_record{};
  // The three shared string control blocks.
  std::array<SCB, 3> scb{};
  // The add control block of MTXADD.
  ADDCTL addctl{};
  // The partition and multiply-add control blocks.
  PRTCTL prtctl{};
  MPYCTL mpyctl{};
  // The permanent data block whose file may be damaged, and what ends the
  // run when it is (on_damaged_file, zephsol/dbio/punits.h).
  word damaged_block = 0;
  void (*damaged_end)() = nullptr;
};

DbioState& dbio_state() noexcept;
// Back to the load state (units and the open core are left alone).
void reset_dbio_state();
// Deletes the work files that exist (the run end calls it through the hook
// BUFINI registers).
void SCRDEL();

inline FILCTL& filctl() noexcept { return dbio_state().filctl; }
// The FIT row of unit u (1 <= u <= 90).
FitRow& fit(word unit) noexcept;

}  // namespace zephsol
