#include "zephsol/dbio/blocks.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/fsinfo.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kReadKind = 5;   // unit opened to read an existing file
constexpr word kWriteKind = 7;  // unit opened to write
constexpr word kDiagSwitch = 2;
constexpr word kKeepHighBits5 = 0x7F000000;  // FIT word 5 bits 24-30

// The stops of the block layer; each prints its text with the data block and
// its FIT row.
enum class Fio { ChainIncomplete, FbnNotOne, OutOfChain, BadSequence, PastEod, BlockLimit };
constexpr std::array<std::string_view, 6> kFioText = {
    "FIO660 - BSB CHAIN INCOMPLETE",     "FIO661 - FITFBN NOT 1",
    "FIO662 - BLOCK NBR OUT OF CHAIN",   "FIO663 - BAD BLK SEQ.",
    "FIO664 - ATTEMPT TO READ PAST EOD", "FIO665 - BLOCK NBR LIMIT EXCEEDED",
};

void both_units(const std::string& line) {
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
}

[[noreturn]] void fio_stop(Fio which) {
  FILCTL& f = filctl();
  std::string text(kFioText[static_cast<std::size_t>(which)]);
  text.resize(36, ' ');
  both_units("0*** SYSTEM FATAL MESSAGE " + text);
  DBNAME(f.curfil, f.name8[0]);
  both_units(fline("(10X,'DATA BLOCK REF NBR',I5,',  DATA BLOK NAME ',A4,',  PHYSICAL UNIT NBR',I5)",
                   {f.curfil, f.name8[0], f.curunt}));
  FitRow row{};
  if (f.curunt >= 1 && f.curunt <= kFitRows) row = fit(f.curunt);
  const auto w = row.words();
  auto hex = [&](int i) { return FmtArg(static_cast<unsigned>(w[static_cast<std::size_t>(i)])); };
  both_units(fline("('0CONTENTS OF FIT',4X,4Z10,4X,4Z10)",
                   {hex(0), hex(1), hex(2), hex(3), hex(4), hex(5), hex(6), hex(7)}));
  MSGPUT(-999, 0, 0);
  RUNEND();
}

word& status() { return filctl().status; }
FitRow& row() { return fit(filctl().curunt); }
std::vector<std::uint16_t>& chain_index() {
  return dbio_state().chain_blocks[static_cast<std::size_t>(filctl().curunt - 1)];
}

void set_chain(FitRow& r, word first, word current) {
  r.chain = static_cast<word>((static_cast<std::uint32_t>(first) << 16) | (static_cast<std::uint32_t>(current) & 0xFFFF));
}
void set_current_chain_buffer(FitRow& r, word k) { set_chain(r, first_chain_buffer(r), k); }

word forward_of(word k) {
  word v = 0;
  LNKGET(v, k, 1, 0);
  return v;
}

// Appends buffer k to the chain of the current data block as block n.
void link_block(FitRow& r, word k, word n) {
  auto& index = chain_index();
  if (first_chain_buffer(r) == 0) {
    set_chain(r, k, k);
  } else {
    const word prev = current_chain_buffer(r);
    assert(prev != 0);
    LNKPUT(k, prev, 1, 0);
    LNKPUT(prev, k, 0, 0);
    set_current_chain_buffer(r, k);
  }
  assert(index.size() == static_cast<std::size_t>(n - 1) && "chain index out of step with the chain");
  index.resize(static_cast<std::size_t>(n - 1));
  index.push_back(static_cast<std::uint16_t>(k));
}

// Returns the whole chain of the current data block to the free lists.
void release_chain(FitRow& r) {
  BUFREL(first_chain_buffer(r));
  r.chain = 0;
  chain_index().clear();
}

void copy_block(word from, word to) {
  const word n = filctl().blkwds;
  const auto src = core().words(from, n);
  std::copy(src.begin(), src.end(), core().words(to, n).begin());
}

void count_transfer() { ++sysw().NBLKIO; }

void seek_or_stop(word record) {
  word eof = 0;
  PUSEEK(record, eof);
  if (eof) {
    damaged_file();
    fio_stop(Fio::PastEod);
  }
}

void read_or_stop(word buf) {
  word eof = 0;
  PUREAD(buf, eof);
  if (eof) {
    damaged_file();
    fio_stop(Fio::PastEod);
  }
  count_transfer();
}

void diag_message(word code, word p2) {
  if (DIAGLV(kDiagSwitch) == 0) return;
  const std::array<word, 4> p{filctl().curunt, p2, 0, 0};
  FSINFO(code, filctl().curfil, p);
}

// Copies the blocks of a listed data block from its unit into a pool 2
// chain for reading; false when the data block does not qualify.
bool copy_into_pool2(FitRow& r) {
  const FILCTL& f = filctl();
  const word n = low24(r.last);
  if (n == 0 || n == kAllInCore || f.p2lent == 0 || (f.p2head & (kPool2Bit - 1)) == 0 ||
      !in_pool2_list(f.curfil))
    return false;
  if (low24(r.first) != 1) fio_stop(Fio::FbnNotOne);
  status() |= S_POOL2 | S_CORE;
  seek_or_stop(1);
  chain_index().clear();
  word i = 1;
  for (; i <= n; ++i) {
    word k = 0;
    BUFGET(k);
    if (k == 0) break;
    link_block(r, k, i);
    read_or_stop(BUFADR(k));
  }
  // The chain's current buffer is its first, as after a rewind.
  set_current_chain_buffer(r, first_chain_buffer(r));
  r.first = (r.first & kKeepHighBits5) | F5_CHAINED | i;
  return true;
}

// Chooses core residence for a data block about to be written.
bool start_core_resident() {
  const FILCTL& f = filctl();
  const word number = f.curfil;
  if (f.p2lent != 0 && (f.p2head & (kPool2Bit - 1)) != 0 && number >= 301 && in_pool2_list(number)) {
    status() |= S_POOL2;
    return true;
  }
  const bool pool_name = f.name8[0] == name_word("POOL") || f.name8[0] == name_word("XDCT");
  return f.p1built != 0 && f.p1head != 0 && (number >= 100 || pool_name);
}

// Puts block c into the chain; false when no buffer is left and the data
// block spills onto its unit from this block on.
bool put_in_chain(FitRow& r, word buf, word c) {
  const word k = current_chain_buffer(r);
  if (k != 0 && (status() & S_LAST) == 0) {
    // Block c is rewritten in place; the blocks after it are dropped.
    const word rest = forward_of(k);
    LNKPUT(0, k, 1, 0);
    BUFREL(rest);
    r.first = with_low24(r.first & ~F5_CHAINED, kAllInCore);
    copy_block(buf, BUFADR(k));
    auto& index = chain_index();
    assert(index.size() >= static_cast<std::size_t>(c) && index[static_cast<std::size_t>(c - 1)] == k);
    index.resize(static_cast<std::size_t>(c));
    return true;
  }
  word k2 = 0;
  BUFGET(k2);
  if (k2 != 0) {
    link_block(r, k2, c);
    copy_block(buf, BUFADR(k2));
    return true;
  }
  r.first = with_low24(r.first, c);
  diag_message(2, c);
  seek_or_stop(1);
  return false;
}

}  // namespace

void BLKOPN(word mode) {
  FILCTL& f = filctl();
  FitRow& r = row();
  word& s = status();
  const word key = f.curfil < 100 ? f.name8[0] : 0;
  bool chain_started = false;
  if (mode != 1 && mode != 2) {
    if ((s & S_EXISTS) == 0) {
      PUOPEN(key, kReadKind);
      s |= S_EXISTS;
      if (f.curfil > 100)
        s |= S_LAST;
      else
        r.last = with_low24(r.last, kAllInCore);
      return;
    }
    if (s & S_CORE) return;
    if (!copy_into_pool2(r)) return;
    chain_started = true;
  } else {
    if (mode == 1 && (s & S_EXISTS)) return;
    if (s & S_EXISTS) {
      r.first = with_low24(r.first & ~F5_CHAINED, 1);
      s &= ~S_LAST;
      if (s & S_CORE) {
        release_chain(r);
        s &= ~(S_POOL2 | S_CORE);
      }
    } else {
      PUOPEN(key, kWriteKind);
      s |= S_EXISTS;
    }
    if (start_core_resident()) {
      s |= S_CORE;
      r.first = with_low24(r.first, kAllInCore);
      chain_index().clear();
      chain_started = true;
    }
  }
  if (chain_started) diag_message(5, 0);
}

void BLKGET(word buf) {
  word& s = status();
  if (s & S_LAST) fio_stop(Fio::PastEod);
  FitRow& r = row();
  const word c = low24(s), n = low24(r.last), first = low24(r.first);
  if ((s & S_CORE) && c < first) {
    const word k = current_chain_buffer(r);
    if (k == 0) fio_stop(Fio::OutOfChain);
    copy_block(BUFADR(k), buf);
    if (c < n) set_current_chain_buffer(r, forward_of(k));
  } else {
    if ((s & S_CORE) && c == first) seek_or_stop((r.first & F5_CHAINED) ? first : 1);
    read_or_stop(buf);
  }
  if (c >= n)
    s |= S_LAST;
  else
    s = with_low24(s, c + 1);
}

void BLKPUT(word buf) {
  word& s = status();
  if (s & S_LAST) {
    if (low24(s) >= kMaxBlockNumber) fio_stop(Fio::BlockLimit);
    s = with_low24(s, low24(s) + 1);
  }
  const word c = low24(s);
  if (core().w(buf) != c) fio_stop(Fio::BadSequence);
  FitRow& r = row();
  r.last = with_low24(r.last, c);
  const bool in_chain = (s & S_CORE) && c < low24(r.first) && put_in_chain(r, buf, c);
  if (!in_chain) {
    PUWRIT(buf);
    count_transfer();
  }
  s |= S_LAST;
}

void BLKREW(word opt) {
  word& s = status();
  FitRow& r = row();
  s = with_low24(s, 1) & ~S_LAST;
  if (opt >= 0) {
    word eof = 0;
    PUSEEK(1, eof);
    if (opt > 0 && low24(r.first) != kAllInCore) r.first = with_low24(r.first, 1);
  } else {
    PUCLOS(-1);
    s &= ~S_EXISTS;
    r.first = with_low24(r.first, 1);
    r.last = with_low24(r.last, 0);
  }
  if ((s & S_CORE) == 0) return;
  if (opt == 0) {
    set_current_chain_buffer(r, first_chain_buffer(r));
    return;
  }
  release_chain(r);
  r.first &= ~F5_CHAINED;
  if (opt < 0) s &= ~(S_POOL2 | S_CORE);
}

void BLKPOS(word n) {
  word& s = status();
  FitRow& r = row();
  const word first = low24(r.first);
  if ((s & S_CORE) && n < first) {
    const auto& index = chain_index();
    if (n < 1 || static_cast<std::size_t>(n) > index.size()) fio_stop(Fio::ChainIncomplete);
    set_current_chain_buffer(r, index[static_cast<std::size_t>(n - 1)]);
  } else {
    const word record = ((s & S_CORE) && (r.first & F5_CHAINED) == 0) ? n - first + 1 : n;
    if (record < 1) fio_stop(Fio::PastEod);
    seek_or_stop(record);
  }
  s = with_low24(s, n) & ~S_LAST;
}

}  // namespace zephsol
