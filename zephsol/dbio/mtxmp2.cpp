// Multiply-add, method 2: groups of columns of A in core as packed strings,
// B read once per group, the partial result of a group the addend of the
// next; and the exchange of two data blocks' units.
#include <algorithm>
#include <array>

#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/dbio/mpycols.h"
#include "zephsol/dbio/mtxmpy.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"

namespace zephsol {

namespace {

using namespace mpycols;

constexpr word kMinReserve = 200;

// The columns j0 ... jlast of A held in core. The directory grows down from
// Z(top - 2): column j0 + q has its entry at Z(top - 2 - 2q) (first header
// slot, number of strings); the slots grow up from DZ(first).
struct Group {
  word j0 = 1;
  word jlast = 0;
  std::int64_t top = 0;    // Z index of the lowest buffer's first word
  std::int64_t first = 0;  // DZ index of the first slot
  const double* slots = nullptr;
  const word* directory = nullptr;  // the entry of jlast

  const word* entry(word j) const { return directory + 2 * std::int64_t{jlast - j}; }
  word strings(word j) const { return entry(j)[1]; }
  const double* column(word j) const { return slots + (entry(j)[0] - first); }
};

// The space reserved for one more column of A: every string of t terms in s
// strings takes s + t <= 2t slots, so twice the largest column always fits.
std::int64_t column_reserve(const MCB& a) { return std::max<std::int64_t>(kMinReserve, 2 * std::int64_t{a.maxcol}); }

// Loads columns j0, j0 + 1, ... of the open A until less than the reserve
// is left below the directory or A's last column is in.
Group load_group(const MCB& a, const WorkArea& w, std::int64_t first_slot, word j0) {
  const std::int64_t reserve = column_reserve(a);
  Group g{j0, j0 - 1, std::int64_t{w.ncore} - 3 * std::int64_t{sysw().NBUFSZ} + 1, first_slot};
  SCB own{};
  std::int64_t next = first_slot;
  for (word j = j0; j <= a.cols; ++j) {
    const std::int64_t e = g.top - 2 - 2 * std::int64_t{j - j0};
    const std::int64_t room = (e - 1) / 2 - next + 1;
    const Loaded l = load_column(own, a, w.dz(next, room), room, false);
    if (!l.fits) fatal(703, message_word(reserve), message_word(e - kP * (next + l.slots) - 3));
    word* entry = w.zw(e, 2);
    entry[0] = static_cast<word>(next);
    entry[1] = l.strings;
    next += l.slots;
    g.jlast = j;
    if (e - kP * next - 3 < kP * reserve + 3) break;
  }
  g.slots = w.dz(first_slot, next - first_slot);
  g.directory = w.zw(g.top - 2 - 2 * std::int64_t{g.jlast - j0}, 2 * std::int64_t{g.jlast - j0 + 1});
  return g;
}

// D(:, k) += b A(:, j) for a loaded column j.
void add_scaled_column(const Group& g, word j, double b, ResultColumn& d) {
  for_each_loaded(g.column(j), g.strings(j), [&](word r, word t, const double* a) { d.add(r, t, b, a); });
}

// D(:, k) += Σ_j A(:, j) B(j, k) over the loaded columns, B's strings used in
// place and clipped to the group's rows.
void add_product(const Group& g, const MCB& b, double sign, ResultColumn& d) {
  SCB own{};
  for_each_string(own, b.file, b.type, [&](word row, word count, word slot) {
    const word from = std::max(row, g.j0);
    const word to = std::min(row + count - 1, g.jlast);
    if (from > to) return;
    with_terms(b.type, slot, count, [&](auto term) {
      for (word j = from; j <= to; ++j)
        if (g.strings(j) > 0) add_scaled_column(g, j, sign * term(j - row), d);
    });
  });
}

// D(j, k) += A(:, j) · B(:, k) for the loaded columns j, with B's column
// unpacked into bk.
void add_transposed_product(const Group& g, const MCB& b, double sign, ResultColumn& bk, ResultColumn& d) {
  SCB own{};
  if (!scatter_column(own, b, sign, bk)) return;
  for (word j = g.j0; j <= g.jlast; ++j) {
    if (g.strings(j) == 0) continue;
    double s = 0.0;
    for_each_loaded(g.column(j), g.strings(j), [&](word r, word t, const double* a) {
      const double* x = bk.v + (r - 1);
      for (word i = 0; i < t; ++i) s += a[i] * x[i];
    });
    d.v[j - 1] += s;
    d.cover(j, j);
  }
  bk.clear();
}

// The addend of a pass: C (with its sign) in the first, then the partial
// result of the pass before.
struct Addend {
  MCB mcb;
  double sign = 1.0;
};

// One pass: every column of D from the addend's column and the loaded group.
void multiply_group(MPYCTL& c, const Product& p, const WorkArea& w, const Group& g, const Addend& addend) {
  const bool with_addend = addend.mcb.file != 0;
  DBOPEN(c.B.file, w.buffer(1), kRead);
  DBOPEN(c.D.file, w.buffer(2), kWrite);
  if (with_addend) DBOPEN(addend.mcb.file, w.buffer(3), kRead);
  c.D.cols = c.D.maxcol = c.D.density = 0;
  ResultColumn d{w.dz(1, p.m), p.m};
  std::fill(d.v, d.v + p.m, 0.0);
  ResultColumn bk{};
  if (c.transpose != 0) {
    bk = ResultColumn{w.dz(std::int64_t{p.m} + 1, c.B.rows), c.B.rows};
    std::fill(bk.v, bk.v + bk.m, 0.0);
  }
  SCB own{};
  for (word k = 1; k <= p.n; ++k) {
    if (with_addend) scatter_column(own, addend.mcb, addend.sign, d);
    if (c.transpose != 0)
      add_transposed_product(g, c.B, p.sign_ab, bk, d);
    else
      add_product(g, c.B, p.sign_ab, d);
    d.put(c.D);
  }
  DBCLOS(c.B.file, kCloseRewind);
  DBCLOS(c.D.file, kCloseRewind);
  if (with_addend) DBCLOS(addend.mcb.file, kCloseRewind);
}

// The unit of a data block, whether open or closed; fatal 3018 without one.
word unit_of(word number) {
  std::array<word, 2> r{};
  DBUNIT(number, r);
  if (r[0] == 0) fatal(3018, number, 0);
  return r[0] < 0 ? -r[0] : r[0];
}

}  // namespace

void MTXMP2(word z, word ncore) {
  MPYCTL& c = mpyctl();
  if (c.A.file == 0 || c.B.file == 0) {
    MPYNUL(z, ncore);
    return;
  }
  const Product p = check_product(c, false);
  const WorkArea w = WorkArea::of(z, ncore);
  const std::int64_t first_slot = std::int64_t{p.m} + 1 + (c.transpose != 0 ? c.B.rows : 0);
  const std::int64_t top = std::int64_t{w.ncore} - 3 * std::int64_t{sysw().NBUFSZ} + 1;
  const std::int64_t room = top - (kP * first_slot + kP * column_reserve(c.A) + 3);
  if (room < 0) fatal(3, message_word(w.ncore - room), w.ncore);

  const word callers_d = c.D.file;
  Addend addend{c.C, p.sign_c};
  if (!p.with_c) addend.mcb.file = 0;
  int passes = 0;
  for (word j0 = 1;;) {
    ++passes;
    DBOPEN(c.A.file, w.buffer(1), passes == 1 ? kRead : kReadNoRewind);
    const Group g = load_group(c.A, w, first_slot, j0);
    DBCLOS(c.A.file, kCloseNoRewind);
    multiply_group(c, p, w, g, addend);
    if (g.jlast >= c.A.cols) break;
    // The next pass adds into the other of D and the scratch data block
    // what this one wrote.
    if (passes == 1) addend.mcb.file = c.scratch;
    const word former = addend.mcb.file;
    addend = Addend{c.D, 1.0};
    c.D.file = former;
    j0 = g.jlast + 1;
  }
  // After an even number of passes the result lies in the scratch data
  // block: the two exchange their units, and D's number reaches it.
  if (passes % 2 == 0) {
    c.D.file = callers_d;
    UNTSWP(callers_d, c.scratch);
  }
  finish_product(c, p);
}

void UNTSWP(word f1, word f2) {
  const word u1 = unit_of(f1);
  const word u2 = unit_of(f2);
  DBST& t = dbio_state().dbst;
  for (word e = t.NPERM + 1; e <= t.NENTRY; ++e) {
    DbstEntry& entry = t.entry[static_cast<std::size_t>(e - 1)];
    const word u = entry_unit(entry);
    if (u != u1 && u != u2) continue;
    entry.unit = (entry.unit & ~0xFF) | (u == u1 ? u2 : u1);
  }
  // Each number now reaches the other's unit: nothing may take the unit of
  // the current data block from the last lookup.
  filctl().curfil = kNoDataBlock;
  filctl().curunt = 0;
}

}  // namespace zephsol
