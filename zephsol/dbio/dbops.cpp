// Whole data block operations: headers, lookup by name, exchange and copies.
#include "zephsol/dbio/dbops.h"

#include <algorithm>
#include <array>
#include <string>

#include "zephsol/dbio/blocks.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using recbody::fatal;

constexpr word kHeaderSwitch = 31;
constexpr word kHeaderStored = 3037;
constexpr word kHeaderFetched = 3038;
constexpr word kCopyBuffer = 1;  // DBCOPY moves blocks through the first words of the open core

// The status entry of a defined number; fatal 3018 otherwise.
DbstEntry& entry_of(word number) {
  const word index = dbst_index(number);
  if (index == 0) fatal(3018, number, 0);
  return dbio_state().dbst.at(index);
}

std::array<word, 2> name8_of(word number) {
  std::array<word, 2> n8{};
  DBNAM8(number, n8);
  return n8;
}

void header_message(word code, word number, std::span<const word, 6> h) {
  if (DIAGLV(kHeaderSwitch) < 1) return;
  LINCNT(2);
  const std::string first = fline("('0*** SYSTEM INFORMATION MESSAGE',I6,',')", {code});
  unit_write_line(kListing, first);
  unit_write_line(kErrorLog, first);
  const auto n8 = name8_of(number);
  const char* text =
      code == kHeaderStored ? "HEADER INFORMATION WRITTEN ON DATA BLOCK " : "HEADER INFORMATION READ FROM  DATA BLOCK ";
  fwrite_unit(kListing, "(10X,A,2A4,' IS',6I8)", {text, n8[0], n8[1], h[0], h[1], h[2], h[3], h[4], h[5]});
}

void negative_header_warning(word number, std::span<const word, 6> h) {
  LINCNT(3);
  const auto n8 = name8_of(number);
  const std::string first =
      fline("('0*** SYSTEM WARNING MESSAGE 3039, ATTEMPT TO WRITE ERRORNEOUS HEADER INFORMATION ON FILE ',2A4)",
            {n8[0], n8[1]});
  const std::string second = fline("(10X,'HEADER =',6I9)", {h[0], h[1], h[2], h[3], h[4], h[5]});
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, first);
    unit_write_line(unit, second);
  }
  sysw().IWRNFL = 1;
}

// The unit and DBST index of a number that must have both (fatal 3018).
std::array<word, 2> unit_and_index(word number) {
  std::array<word, 2> r{};
  DBUNIT(number, r);
  if (r[0] == 0 || r[1] == 0) fatal(3018, number, 0);
  return r;
}

// The unit of a closed data block (fatal 3064 when open).
word closed_unit(word number) {
  const auto r = unit_and_index(number);
  if (r[0] > 0) fatal(3064, number, 0);
  return -r[0];
}

// Closed and rewound, as DBCOPY leaves both data blocks.
void leave_rewound(word number) {
  const word unit = recbody::make_current(number);
  BLKREW(0);
  FitRow& row = fit(unit);
  word& s = filctl().status;
  s = (s & ~(S_EOD | S_INREC)) | S_LOADPT;
  row.status = s;
  row.buffer = 0;
  row.next = row.header = 1;
  set_last_operation(row, kOpCloseR);
}

void copy_blocks(word p, word q, word blocks) {
  const word pu = recbody::make_current(p);
  BLKOPN(4);
  BLKREW(0);
  fit(pu).status = filctl().status;
  const word qu = recbody::make_current(q);
  BLKOPN(2);
  BLKREW(1);
  fit(qu).status = filctl().status;
  for (word n = 1; n <= blocks; ++n) {
    recbody::make_current(p);
    BLKGET(kCopyBuffer);
    fit(pu).status = filctl().status;
    recbody::make_current(q);
    BLKPUT(kCopyBuffer);
    fit(qu).status = filctl().status;
  }
  leave_rewound(p);
  leave_rewound(q);
}

}  // namespace

void DBFIND(word name, word& number) {
  filctl().name8[0] = name;
  const DbioState& s = dbio_state();
  const DBDIR& d = s.dbdir;
  number = 0;
  for (word g = 0; g < 4; ++g) {
    const word first = d.start[static_cast<std::size_t>(g)];
    for (word w = first; w < d.start[static_cast<std::size_t>(g + 1)]; ++w) {
      const word index = d.at(w);
      if (index == 0 || s.dbst.at(index).name != name) continue;
      const word unit = entry_unit(s.dbst.at(index));
      if (unit == 0) return;
      const word n = 100 * g + w - first + 1;
      number = fit(unit).buffer != 0 ? n : -n;
      return;
    }
  }
}

void HDRPUT(word number, std::span<const word, 6> header) {
  DbstEntry& e = entry_of(number);
  std::copy(header.begin(), header.end(), e.DBHDR.begin());
  if (std::any_of(header.begin(), header.end(), [](word w) { return w < 0; })) {
    negative_header_warning(number, header);
    return;
  }
  header_message(kHeaderStored, number, header);
}

void HDRGET(word number, std::span<word, 6> header) {
  const DbstEntry& e = entry_of(number);
  std::copy(e.DBHDR.begin(), e.DBHDR.end(), header.begin());
  header_message(kHeaderFetched, number, header);
}

void HDRCLR(word number) {
  const std::array<word, 6> zero{};
  HDRPUT(number, zero);
}

void DBSWAP(word p, word q) {
  const word ip = unit_and_index(p)[1];
  const word iq = unit_and_index(q)[1];
  DbstEntry& a = dbio_state().dbst.at(ip);
  DbstEntry& b = dbio_state().dbst.at(iq);
  std::swap(a.unit, b.unit);
  std::swap(a.DBHDR, b.DBHDR);
  // Each number now reaches the other's unit: nothing may take the unit of
  // the current data block from the last lookup.
  filctl().curfil = kNoDataBlock;
  filctl().curunt = 0;
}

void DBCOPY(word p, word q) {
  const word pu = closed_unit(p);
  const word qu = closed_unit(q);
  DbstEntry& source = entry_of(p);
  DbstEntry& target = entry_of(q);
  const bool empty = std::all_of(source.DBHDR.begin(), source.DBHDR.end(), [](word w) { return w == 0; });
  if (!empty) {
    const word blocks = low24(fit(pu).last);
    if (blocks == 0 || blocks == kAllInCore) fatal(3063, p, 0);
    // Two data blocks on one unit share their blocks already.
    if (pu != qu) copy_blocks(p, q, blocks);
  }
  target.DBHDR = source.DBHDR;
}

void FILCPY(word a, word b, word* area, word n) {
  bool copied = false;
  word held = 0;  // words of the record being copied
  for (;; copied = true) {
    word nread = n, status = 0;
    DBRDST(a, area, n, 0, nread, status);
    if (status == 2) {
      if (filctl().lstmrk != recbody::kEofMark) break;
      // An end-of-file mark: copied unless the data ends behind it.
      nread = n;
      DBRDST(a, area, n, 0, nread, status);
      if (status == 2) break;
      DBEOF(b);
    }
    // No writer leaves a record without words: a file that holds one is
    // damaged.
    if (status == 1 && held + nread == 0) damaged_file();
    held = status == 0 ? held + nread : 0;
    DBWRIT(b, area, nread, status);
  }
  // A file that ends inside the data copied is cut short; one whose data
  // ends before its first record, though there is a block to copy, is
  // damaged as well.
  if (filctl().lstmrk == recbody::kEodCode || !copied) damaged_file();
  if (b >= 100 && b <= 300)
    DBEOF(b);
  else
    DBEOS(b);
}

}  // namespace zephsol
