#include "zephsol/dbio/pools.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"

namespace zephsol {

namespace {

constexpr word kNumberMask = kPool2Bit - 1;

// The FILCTL words of one pool.
struct Pool {
  word& link;  // index of buffer 1's link word
  word& buf;   // index of buffer 1's first word
  word& head;  // free list head, 0 = empty
  word& tail;  // free list tail
};

Pool pool1() {
  FILCTL& f = filctl();
  return {f.p1link, f.p1buf, f.p1head, f.p1tail};
}
Pool pool2() {
  FILCTL& f = filctl();
  return {f.p2link, f.p2buf, f.p2head, f.p2tail};
}
Pool pool_of(word k) { return (k & kPool2Bit) ? pool2() : pool1(); }
Pool pool_by_selector(word k, word pool) { return pool < 0 ? pool2() : pool > 0 ? pool1() : pool_of(k); }

word& link_word(const Pool& p, word k) { return core().w(p.link + (k & kNumberMask) - 1); }

constexpr word back_link(word lw) { return static_cast<word>(static_cast<std::uint32_t>(lw) >> 16); }
constexpr word forward_link(word lw) { return lw & 0xFFFF; }
void set_back_link(word& lw, word v) {
  lw = static_cast<word>((static_cast<std::uint32_t>(v) << 16) | static_cast<std::uint32_t>(lw & 0xFFFF));
}
void set_forward_link(word& lw, word v) { lw = (lw & static_cast<word>(0xFFFF0000u)) | (v & 0xFFFF); }

// A new pool of nb buffers from index base: link words first, then the
// buffers; every buffer free, in order.
void lay_out(const Pool& p, word base, word nb) {
  p.link = base;
  p.buf = base + nb;
  p.head = 1;
  p.tail = nb;
  for (word i = 1; i <= nb; ++i) {
    word& lw = link_word(p, i);
    lw = 0;
    set_back_link(lw, i - 1);
    set_forward_link(lw, i < nb ? i + 1 : 0);
  }
}

// Buffers that fit in size words, at most the 15-bit buffer numbers.
word buffers_in(std::int64_t size) {
  return static_cast<word>(std::min<std::int64_t>(size / sysw().NBUFSZ, kMaxPoolBuffers));
}

// Takes the head of a free list (without the pool bit), or 0.
word take_head(const Pool& p) {
  const word k = p.head & kNumberMask;
  if (k == 0) return 0;
  word& lw = link_word(p, k);
  const word next = forward_link(lw) & kNumberMask;
  p.head = next;
  lw = 0;
  if (next != 0) set_back_link(link_word(p, next), 0);
  return k;
}

// Appends the run first .. last (linked forward already) to a free list.
void append_run(const Pool& p, word first, word last) {
  if ((p.head & kNumberMask) == 0) {
    p.head = first;
    set_back_link(link_word(p, first), 0);
  } else {
    set_forward_link(link_word(p, p.tail), first);
    set_back_link(link_word(p, first), p.tail & kNumberMask);
  }
  p.tail = last;
}

// The smallest and largest unit of DBST entries [from, to] (units that are 0
// do not count); count 0 when there are none.
struct UnitRange {
  word first = 0;
  word count = 0;
};
UnitRange unit_range(word from, word to) {
  const DBST& t = dbio_state().dbst;
  word lo = 0, hi = 0;
  for (word e = from; e <= to; ++e) {
    const word u = entry_unit(t.at(DBST::index_of_entry(e)));
    if (u == 0) continue;
    lo = lo == 0 ? u : std::min(lo, u);
    hi = std::max(hi, u);
  }
  return lo == 0 ? UnitRange{} : UnitRange{lo, hi - lo + 1};
}

void take_back_pool2();

}  // namespace

void BUFINI() {
  // From here on the run end deletes the work files and the module status
  // line counts their blocks.
  register_file_system({SCRDEL, [] { return BLKCNT(0, 0); }});
  DbioState& s = dbio_state();
  FILCTL& f = s.filctl;
  const word perm = s.dbst.NPERM;
  UnitRange p = perm > 0 ? unit_range(1, perm) : UnitRange{};
  if (perm <= 0 || p.first == 0) p = {1, 0};
  UnitRange w = unit_range(std::max<word>(perm, 0) + 1, s.dbst.NENTRY);
  if (w.first == 0) w = {p.first + p.count, 0};

  word& b = sysw().NBUFSZ;
  b = 2 * (b / 2) + 1;
  assert(b >= 7 && b <= 65535 && "block size outside the record format");

  f.curfil = kNoDataBlock;
  f.blkwds = b - 1;
  f.blkwm1 = b - 2;
  f.blkwm2 = b - 3;
  f.status = kStatusAtLoad;
  f.p1link = f.p1buf = f.p1head = f.p1tail = f.p1built = f.p2lent = 0;
  f.fstprm = p.first;
  f.nprm = p.count;
  f.fstwrk = w.first;
  f.nwrk = w.count;
  s.FIT.fill(FitRow{});
  for (auto& c : s.chain_blocks) c.clear();

  const word ncrres = sysw().NCRRES;
  const word nb = buffers_in(ncrres);
  if (ncrres > 0 && ncrres < CORLFT(1) && nb >= f.nwrk) {
    sysw().COREND -= ncrres;
    f.p1built = 1;
    lay_out(pool1(), sysw().COREND, nb);
  }
}

void BUFLND(word region, word size, const word* list, word count) {
  if (size < 1) {
    take_back_pool2();
    return;
  }
  if (count <= 0) return;
  const word nb = buffers_in(size);
  if (nb < 2) return;
  FILCTL& f = filctl();
  assert(f.p2lent == 0 && "pool 2 is lent to one module at a time");
  dbio_state().pool2_list = list;
  f.p2nlst = count;
  f.p2list = core().index_of(list);
  lay_out(pool2(), region, nb);
  f.p2lent = 1;
}

namespace {

// Drops what the listed data blocks keep in pool 2: scratch data blocks are
// emptied, the read copies of the others released (their units keep the
// complete data).
void take_back_pool2() {
  DbioState& s = dbio_state();
  FILCTL& f = s.filctl;
  if (f.p2lent != 1) return;
  for (word i = 0; i < f.p2nlst; ++i) {
    const word number = s.pool2_list[i];
    word r[2];
    DBUNIT(number, r);
    const word unit = r[0] < 0 ? -r[0] : r[0];
    if (unit == 0) continue;
    if (number > 300) {
      DBUNLD(r[1]);
      continue;
    }
    FitRow& row = fit(unit);
    if (row.status & S_POOL2) {
      BUFREL(first_chain_buffer(row));
      row.status &= ~(S_POOL2 | S_CORE);
      row.chain = 0;
      s.chain_blocks[static_cast<std::size_t>(unit - 1)].clear();
    }
    if (row.first & F5_CHAINED) row.first = (row.first & 0x7F000000) | 1;
  }
  f.p2lent = f.p2link = f.p2buf = f.p2nlst = f.p2head = f.p2tail = 0;
}

}  // namespace

void BUFGET(word& k) {
  const FILCTL& f = filctl();
  if ((f.status & S_POOL2) && (f.p2head & kNumberMask) != 0) {
    k = take_head(pool2()) + kPool2Bit;
    return;
  }
  k = take_head(pool1());
}

void BUFREL(word k) {
  while (k != 0) {
    const bool in_pool2 = (k & kPool2Bit) != 0;
    const Pool p = pool_of(k);
    const word first = k & kNumberMask;
    word last = first;
    word next = 0;
    for (;;) {
      const word f = forward_link(link_word(p, last));
      if (f == 0 || ((f & kPool2Bit) != 0) != in_pool2) {
        next = f;
        break;
      }
      last = f & kNumberMask;
    }
    append_run(p, first, last);
    if (next != 0) set_forward_link(link_word(p, last), 0);
    k = next;
  }
}

word BUFADR(word k) {
  const FILCTL& f = filctl();
  return ((k & kPool2Bit) ? f.p2buf : f.p1buf) + ((k & kNumberMask) - 1) * f.blkwds;
}

void LNKGET(word& value, word k, word half, word pool) {
  const word lw = link_word(pool_by_selector(k, pool), k);
  value = half == 0 ? back_link(lw) : forward_link(lw);
}

void LNKPUT(word value, word k, word half, word pool) {
  word& lw = link_word(pool_by_selector(k, pool), k);
  if (half == 0)
    set_back_link(lw, value);
  else
    set_forward_link(lw, value);
}

word BLKCNT(word unit, word flag) {
  if (flag < 0) return 0;
  const FILCTL& f = filctl();
  const word from = unit > 0 ? unit : f.fstwrk;
  const word n = unit > 0 ? 1 : f.nwrk;
  word blocks = 0;
  for (word u = from; u < from + n; ++u) {
    const FitRow& row = fit(u);
    if ((row.status & S_EXISTS) == 0) continue;
    const word first = low24(row.first), last = low24(row.last);
    if (last >= first) blocks += last - first + 1;
  }
  return blocks;
}

bool in_pool2_list(word number) {
  const DbioState& s = dbio_state();
  if (s.pool2_list == nullptr) return false;
  const std::span<const word> list(s.pool2_list, static_cast<std::size_t>(std::max<word>(s.filctl.p2nlst, 0)));
  return std::find(list.begin(), list.end(), number) != list.end();
}

}  // namespace zephsol
