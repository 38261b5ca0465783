// Multiply-add with the transpose of the second factor: D = (±) A Bᵀ (±) C
// by outer products. Every term B(i, l) times column l of A is one record of
// the scratch data block, kept in buffer pool 2 as far as it fits; the
// records are sorted by target column i through a list of (i, position)
// pairs, and each column of D is assembled from its records and C's column.
#include <algorithm>
#include <string>
#include <utility>

#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/dbio/recbody.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

using namespace mpycols;

// Z words of the column of A while the records are written: header slots
// and terms of at most m + 1 slots, with room to spare.
std::int64_t column_words(word m) { return kP * std::int64_t{m} + 6; }

// The non-zero terms of B, counted over its columns: the exact length of
// the pair list (B's density word is too coarse for a large sparse B).
std::int64_t count_terms(const MCB& b, word buffer) {
  DBOPEN(b.file, buffer, kRead);
  std::int64_t terms = 0;
  SCB own{};
  for (word l = 1; l <= b.cols; ++l) for_each_string(own, b.file, b.type, [&](word, word count, word) { terms += count; });
  DBCLOS(b.file, kCloseRewind);
  return terms;
}

// A record position kept in one pair word: (block - 1) x (B - 1) + distance,
// increasing with the position, so that the sort keeps the records of a
// column in the order they were written. A scratch data block too long for
// it ends the run with a line naming the limit.
word pair_position(word file, dbpos pos) {
  const std::int64_t per_block = filctl().blkwds;
  const std::int64_t v = ((pos >> 16) - 1) * per_block + (pos & 0xFFFF);
  if (v <= INT32_MAX) return static_cast<word>(v);
  const word name = recbody::name_of(file);
  const std::string line = fline(
      "(' **** SYSTEM FATAL MESSAGE: POSITION IN BLOCK',I12,' OF DATA BLOCK ',A4,"
      "' DOES NOT FIT IN THE PAIR LIST (LIMIT',I9,' BLOCKS) ****')",
      {static_cast<long long>(pos >> 16), word_name(name), static_cast<long long>(INT32_MAX / per_block)});
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
  fatal(3012, name, file);
}

dbpos position_of_pair(word v) {
  const word per_block = filctl().blkwds;
  return (dbpos{v / per_block} + 1) * 65536 + v % per_block;
}

// The list of (target column, record position) pairs.
struct Pairs {
  word* w = nullptr;
  std::int64_t size = 0;
  std::int64_t capacity = 0;

  word target(std::int64_t k) const { return w[2 * k]; }
  word position(std::int64_t k) const { return w[2 * k + 1]; }
  void append(word i, word pos) {
    w[2 * size] = i;
    w[2 * size + 1] = pos;
    ++size;
  }
};

// Phase 1: one record of the scratch data block per term B(i, l) that
// meets a non-empty column l of A.
void write_contributions(MPYCTL& c, const Product& p, double* column, Pairs& pairs) {
  const MCB& A = c.A;
  MCB& B = c.B;
  SCB& in = shared_scb(1);
  SCB& out = shared_scb(2);
  for (word l = 1; l <= A.cols; ++l) {
    const Loaded a = load_column(in, A, column, p.m + 3, true);
    if (a.strings == 0) {
      DBREAD(B.file, nullptr, 0, 1);
      continue;
    }
    word empty = 0;
    TRMBEG(B, p.sign_ab < 0 ? -kP : kP, in, empty);
    for (word end = empty; end == 0;) {
      double b = 0.0;
      word i = 0;
      TRMNXT(b, i, in, end);
      if (i < 1 || i > p.n) fatal(701, B.file, i);
      out.file = c.scratch;
      out.type = kP;
      put_loaded(out, column, a.strings, b);
      dbpos pos = 0;
      DBLPOS(c.scratch, pos);
      if (pairs.size == pairs.capacity) fatal(703, message_word(pairs.capacity), B.density);
      pairs.append(i, pair_position(c.scratch, pos));
    }
  }
}

// DZ += the record at a pair's position.
void add_record(word scratch, word pos, ResultColumn& d) {
  DBGOTO(scratch, position_of_pair(pos));
  SCB& s = shared_scb(2);
  for_each_string(s, scratch, kP, [&](word row, word count, word slot) {
    d.add(row, count, 1.0, core().doubles(2 * slot - 1, count).data());
  });
}

// A column copied whole to D, with D's header kept by hand.
void copy_to_d(SCB& in, MCB& d, word neg) {
  SCB& out = shared_scb(3);
  COLCPY(in, out, neg);
  d.cols += 1;
  d.maxcol = std::max(d.maxcol, out.total);
  d.density += out.total;
}

// Phase 2: column k of D from C's column k and the records of the run of
// pairs that target k.
void assemble_column(MPYCTL& c, const Product& p, const Pairs& pairs, std::int64_t from, std::int64_t to,
                     ResultColumn& d) {
  SCB& in = shared_scb(1);
  const std::int64_t run = to - from;
  if (run == 0) {
    if (!p.with_c) {
      d.put(c.D);
      return;
    }
    in.file = c.C.file;
    in.type = c.C.type;
    copy_to_d(in, c.D, c.sign_c < 0 ? -1 : 0);
    return;
  }
  const bool with_c_terms = p.with_c && scatter_column(in, c.C, p.sign_c, d);
  if (!with_c_terms && run == 1) {
    // One contribution and nothing to add: copied record to column.
    DBGOTO(c.scratch, position_of_pair(pairs.position(from)));
    SCB& s = shared_scb(2);
    s.file = c.scratch;
    s.type = kP;
    copy_to_d(s, c.D, 0);
    return;
  }
  for (std::int64_t k = from; k < to; ++k) add_record(c.scratch, pairs.position(k), d);
  d.put(c.D);
}

}  // namespace

void MTXMPS(word z, word ncore) {
  MPYCTL& c = mpyctl();
  const Product p = check_product(c, true);
  const WorkArea w = WorkArea::of(z, ncore);
  const word nbuf = sysw().NBUFSZ;
  const std::int64_t below_buffers = std::int64_t{w.ncore} - 3 * std::int64_t{nbuf} + 1;
  const std::int64_t list_at = column_words(p.m) + 1;
  if (below_buffers - list_at <= 0) fatal(3, message_word(list_at), message_word(below_buffers));

  const std::int64_t nnz = count_terms(c.B, w.buffer(2));
  // The pair list and the column of A must leave at least one word for the
  // pool: short of that the work area is too small (fatal 3 with the words
  // needed below the buffers).
  const std::int64_t need = 2 * nnz + list_at;
  if (below_buffers - need <= 0) fatal(3, message_word(need), message_word(below_buffers));
  BUFLND(w.at(need), static_cast<word>(below_buffers - need), &c.scratch, 1);

  DBOPEN(c.A.file, w.buffer(1), kRead);
  DBOPEN(c.B.file, w.buffer(2), kRead);
  DBOPEN(c.scratch, w.buffer(3), kWrite);
  Pairs pairs{w.zw(list_at, 2 * nnz), 0, nnz};
  write_contributions(c, p, w.dz(1, column_words(p.m) / 2), pairs);
  DBCLOS(c.A.file, kCloseRewind);
  DBCLOS(c.B.file, kCloseRewind);
  if (pairs.size >= 1) {
    DBEOF(c.scratch);
    DBREWD(c.scratch);
  }
  if (pairs.size >= 2) SORTPR(std::span<word>(pairs.w, 2 * pairs.size), static_cast<word>(pairs.size));

  DBOPEN(c.D.file, w.buffer(1), kWrite);
  if (p.with_c) DBOPEN(c.C.file, w.buffer(2), kRead);
  shared_scb(3).file = c.D.file;
  shared_scb(3).type = c.D.type;
  ResultColumn d{w.dz(1, p.m), p.m};
  std::fill(d.v, d.v + p.m, 0.0);
  std::int64_t at = 0;
  for (word k = 1; k <= p.n; ++k) {
    std::int64_t to = at;
    while (to < pairs.size && pairs.target(to) == k) ++to;
    assemble_column(c, p, pairs, at, to, d);
    at = to;
  }
  if (p.with_c) DBCLOS(c.C.file, kCloseRewind);
  DBCLOS(c.scratch, kCloseUnload);
  BUFLND(0, 0, nullptr, 0);
  if (c.D.cols != 0) {
    DBCLOS(c.D.file, kCloseRewind);
    finish_product(c, p);
  } else {
    DBCLOS(c.D.file, kCloseUnload);
    c.D.cols = p.n;
  }
}

// Heap sort: the heap is built by sifting each new pair up, then the
// largest pair goes behind the heap and the new root is sifted down.
void SORTPR(std::span<word> pairs, word n) {
  const auto key = [&](word k) { return std::pair{pairs[2 * std::size_t(k)], pairs[2 * std::size_t(k) + 1]}; };
  const auto swap_pairs = [&](word a, word b) {
    std::swap(pairs[2 * std::size_t(a)], pairs[2 * std::size_t(b)]);
    std::swap(pairs[2 * std::size_t(a) + 1], pairs[2 * std::size_t(b) + 1]);
  };
  for (word k = 1; k < n; ++k)
    for (word i = k; i > 0 && key((i - 1) / 2) < key(i); i = (i - 1) / 2) swap_pairs(i, (i - 1) / 2);
  for (word end = n - 1; end > 0; --end) {
    swap_pairs(0, end);
    for (word i = 0;;) {
      word child = 2 * i + 1;
      if (child >= end) break;
      if (child + 1 < end && key(child) < key(child + 1)) ++child;
      if (!(key(i) < key(child))) break;
      swap_pairs(i, child);
      i = child;
    }
  }
}

}  // namespace zephsol
