// GP4FRC: the loads of one step of an interval. The force sets the interval
// refers to, each with its factor already divided by the steps, give the
// nodal load vector DPG0 (their sum) and the element load records EPD (the
// entries of all referenced sets per element, those of the earlier set in
// LDDT first).
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/gp4.h"
#include "zephsol/model/gp4_work.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

// LDDT header flags and set head codes.
constexpr word kNodal = 1, kElement = 2;
constexpr word kRecordEnded = 1, kMark = 2;

// The kind of a force set: the last digit of its identifier.
const char* kind_name(word id) {
  switch (id % 10) {
    case 2: return "  DLOAD ";
    case 7: return "  BODY  ";
    default: return "  NLOAD ";
  }
}

void report(const gp4::Refs& refs) {
  gp4::report_unused(refs, [&refs](std::size_t i, bool twice) {
    const word id = refs.id(i);
    return twice ? fline("('0*** USER FATAL MESSAGE 2377, INTERVAL REFERES',A8,I6,' MORE THAN ONCE')",
                         {kind_name(id), id / 10})
                 : fline("('0*** USER FATAL MESSAGE 2377, INTERVAL REFERES UNDEFINED',A8,I6)", {kind_name(id), id / 10});
  });
}

// Adds f x the nodal record of a set into the load vector v: groups [EQIX
// word, d values] for the d equations from the word's first; a word without
// a count is passed over.
void add_nodal(std::span<word> v, std::span<word> area, float f, word set) {
  const word LDDT = gp4ctl().LDDT;
  word got = 0, status = 0;
  DBRDST(LDDT, area.data(), static_cast<word>(area.size()), 1, got, status);
  if (status == kMark) model_fatal(-2, name_word("LDDT"), 0);
  if (status != kRecordEnded) model_fatal(-3520, static_cast<word>(area.size()), static_cast<word>(area.size()));
  for (word at = 0; at < got;) {
    const word w = area[static_cast<std::size_t>(at)];
    const word first = BITSHR(w, 10), d = BITAND(w, 255);
    if (d == 0) {
      ++at;
      continue;
    }
    if (at + d >= got || first < 1 || std::int64_t{first} + d - 1 > static_cast<std::int64_t>(v.size()))
      model_fatal(-711, name_word("LDDT"), set);
    for (word j = 0; j < d; ++j) {
      word& total = v[static_cast<std::size_t>(first - 1 + j)];
      const float value = word_real(area[static_cast<std::size_t>(at + 1 + j)]);
      total = real_word(static_cast<float>(double{word_real(total)} + double{f} * value));
    }
    at += 1 + d;
  }
}

// The values of every entry of an element load record multiplied by f.
void scale_entries(std::span<word> rec, float f) {
  walk_load_entries(rec, static_cast<word>(rec.size()), [&](word a) {
    const word n = rec[static_cast<std::size_t>(a + 1)];
    for (word k = 3; k <= n + 1; ++k) {
      word& value = rec[static_cast<std::size_t>(a + k)];
      value = real_word(static_cast<float>(double{f} * word_real(value)));
    }
  });
}

// An element loaded in both streams: S's entries after T's, the count
// summed.
std::span<word> append_entries(gp4::ElementStream& t, gp4::ElementStream& s) {
  const auto tr = t.record(), sr = s.record();
  const std::size_t length = tr.size() + sr.size() - 2;
  if (length > t.area().size()) model_fatal(-3520, static_cast<word>(length), static_cast<word>(t.area().size()));
  std::copy(sr.begin() + 2, sr.end(), t.area().begin() + static_cast<std::ptrdiff_t>(tr.size()));
  t.area()[1] += sr[1];
  t.set_length(static_cast<word>(length));
  return t.record();
}

// DPG0: one column of nG rows, the non-zero terms of the load vector (none
// without one).
void write_dpg0(word neq, std::span<const word> v) {
  const word DPG0 = gp4ctl().DPG0;
  MCB m{DPG0, 0, neq, kRectangular, kRealSingle};
  DBOPEN(DPG0, gp4ctl().B1, kWrite);
  SCB& s = shared_scb(1);
  COLBEG(m, kRealSingle, s);
  for (std::size_t i = 0; i < v.size(); ++i)
    if (const float value = word_real(v[i]); value != 0.0f) COLTRM(value, static_cast<word>(i + 1), s);
  COLEND(m, s);
  m.density = 0;
  HDRPUT(DPG0, m.header());
  DBCLOS(DPG0, kCloseNoRewind);
}

}  // namespace

void GP4FRC(word nf, word pairs) {
  const GP4CTL& g = gp4ctl();
  HDRPUT(g.EPD, Header{});
  const word neq = std::max(header_of(g.EQIX)[1], 0);
  if (nf <= 0) return write_dpg0(neq, {});
  gp4::Refs refs(nf, pairs);
  const Header h = gp4::block_defined(g.LDDT) ? header_of(g.LDDT) : Header{};
  if (h[0] < 1) return report(refs);

  // Work area: the load vector (with nodal loads), then the merge area M of
  // a record per reference, then the record area R of a set; the nodal
  // record is read into M's place.
  const bool nodal = (h[2] & kNodal) != 0, elements = (h[2] & kElement) != 0;
  const std::int64_t vsize = nodal ? neq : 0, msize = std::int64_t{nf} * (std::max(h[1], 0) + 1),
                     rsize = std::max(h[1], 0) + 1, nsize = std::max(h[5], 0) + 1;
  const std::int64_t at = g.IFREE, m_at = at + vsize;
  if (nodal && m_at + nsize > g.B1) short_of_core(vsize + nsize, g.B1 - at);
  const word limit = nf > 1 ? g.B3 : g.B2;
  const std::int64_t end = m_at + msize + rsize;
  if (elements && end > limit) short_of_core(end - at, limit - at);
  const std::span<word> v = core().words(at, vsize);
  std::ranges::fill(v, real_word(0.0f));

  // The pool starts above the nodal record's place too, so that no nodal
  // record can reach the buffers of the scratch blocks.
  const std::int64_t pool = std::max(end, nodal ? m_at + nsize : end);
  gp4::SetMerge merge(g.EPD, elements ? core().words(m_at, msize) : std::span<word>{}, {}, static_cast<word>(pool),
                      nf > 1 && elements ? 2 : 0);
  DBOPEN(g.LDDT, g.B1, kRead);
  for (word k = 1; k <= h[0] && !refs.all_used(); ++k) {
    std::array<word, 3> head{};
    DBREAD(g.LDDT, head.data(), 3, 1);
    if (head[0] != name_word("FORC")) bad_block_value(-711, name_word("LDDT"), k - 1);
    const std::size_t i = refs.take(head[1]);
    if (i == refs.size()) {
      DBSKPF(g.LDDT, 1);
      continue;
    }
    const bool last = refs.all_used();
    const float f = refs.factor(i);
    if ((head[2] & kNodal) != 0) {
      if (!nodal) bad_block_value(-901, head[2], 0);
      add_nodal(v, core().words(m_at, nsize), f, head[1]);
    }
    if ((head[2] & kElement) != 0) {
      if (!elements) bad_block_value(-902, head[2], 0);
      gp4::ElementStream s(g.LDDT, core().words(m_at + msize, rsize), [f](std::span<word> rec) { scale_entries(rec, f); });
      merge.merge(s, last, append_entries);
      continue;  // the set's records were read up to its mark
    }
    if (last) merge.sum_to_table();
    DBSKPF(g.LDDT, 1);
  }
  DBCLOS(g.LDDT, kCloseRewind);
  if (!refs.all_used()) {
    merge.release();
    return report(refs);
  }
  if (merge.table_written()) {
    const auto [records, longest] = merge.finish(h[3], true);
    HDRPUT(g.EPD, Header{records, longest, 0, 1, 0, 0});
  }
  write_dpg0(neq, v);
}

}  // namespace zephsol
