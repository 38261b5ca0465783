// GP4: replay of the construction history up to the current interval, the
// change tables, the excluded elements and the calls of the interval passes.
#include "zephsol/model/gp4.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <unordered_set>
#include <vector>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kHead = 40;  // header words of an INCD record

// Header words of an INCD interval record (1-based).
enum : std::size_t {
  kSteps = 2,
  kKinds = 3,
  kMatMode = 4,
  kReleases = 6,
  kBoundary = 11,
  kMpc = 12,
  kTemperature = 13,
  kForce = 14,
  kInactivate = 15,
  kActivate = 16,
  kChanges = 17,
  kPairs = 18,
  kPropMode = 19,
  kRegion = 21,
  kFraction = 22,
};

struct Replay {
  std::span<word> rec;         // the INCD record area, words 1..longest
  std::vector<word> inactive;  // inactive groups in the order they became so
  word room = 0;               // places of the inactive list up to b3
  word current = 0;            // the interval being set up
  word EXCAVF = 0;
};

word head(const Replay& r, std::size_t k) { return r.rec[k - 1]; }
// The first word of pair i (0-based) of the record.
word pair_word(const Replay& r, word i) { return r.rec[static_cast<std::size_t>(kHead + 2 * i)]; }

void inactivate(Replay& r, word interval, word group) {
  if (std::ranges::find(r.inactive, group) != r.inactive.end()) {
    user_error(fline("('0*** USER FATAL MESSAGE 1752, AT INTERVAL',I6,', AN ATTEMPT TO INACTIVATE ELEMENT GROUP',I6,"
                     "' WHICH IS ALREADY INACTIVE.')",
                     {interval, group}));
    return;
  }
  if (static_cast<word>(r.inactive.size()) + 1 >= r.room) model_fatal(-4, name_word("XCLD"), CORLFT(1));
  r.inactive.push_back(group);
  if (interval == r.current) r.EXCAVF = -1;
}

void activate(Replay& r, word interval, word group) {
  const auto at = std::ranges::find(r.inactive, group);
  if (at == r.inactive.end()) {
    user_error(fline("('0*** USER FATAL MESSAGE 1754, AT INTERVAL',I6,', AN ATTEMPT TO ACTIVATE ELEMENT GROUP',I6,"
                     "' WHICH IS ALREADY ACTIVE.')",
                     {interval, group}));
    return;
  }
  r.inactive.erase(at);
  if (interval == r.current) r.EXCAVF = 1;
}

// A change (key, new identifier) of interval k in a table of entries
// [key, new, interval]: the entry of the key is updated, a new key appended.
template <class Table, class Set>
void change(Table& t, const char* tag, word key, word id, word k, Set set) {
  for (word i = 0; i < t.count; ++i)
    if (set(t, i, nullptr, key, id, k)) return;
  if (t.count >= 100) model_fatal(-4, name_word(tag), 100);
  set(t, t.count++, &key, key, id, k);
}

void material_change(word mode, word key, word id, word k) {
  MatlState& m = matl_state();
  MTCLST& t = mode == 0 ? m.MTCMID : m.MTCGRP;
  change(t, mode == 0 ? "MATC" : "MATG", key, id, k, [](MTCLST& l, word i, const word* fresh, word kk, word nid, word ivl) {
    MTCENT& e = l.entry[static_cast<std::size_t>(i)];
    if (fresh == nullptr && e.key != kk) return false;
    e = {kk, nid, ivl};
    return true;
  });
}

void property_change(word mode, word key, word id, word k) {
  ModelTables& m = elem_state().tables;
  ChangeList& t = mode == 0 ? m.PRCMID : m.PRCGRP;
  change(t, mode == 0 ? "PROC" : "PROG", key, id, k, [](ChangeList& l, word i, const word* fresh, word kk, word nid, word ivl) {
    auto& e = l.entry[static_cast<std::size_t>(i)];
    if (fresh == nullptr && e[0] != kk) return false;
    e = {kk, nid, ivl};
    return true;
  });
}

// The change pairs of interval k: with both modes given, entries of four
// words (material pair, property pair); else one pair an entry.
void changes(const Replay& r, word k, word first) {
  const word m = head(r, kMatMode), p = head(r, kPropMode), n = head(r, kChanges);
  const bool both = m >= 0 && p >= 0;
  for (word i = 0; i < n; ++i) {
    const word key = pair_word(r, first + i), id = r.rec[static_cast<std::size_t>(kHead + 2 * (first + i) + 1)];
    const bool material = both ? i % 2 == 0 : m >= 0;
    if (material && (m == 0 || m == 1)) material_change(m, key, id, k);
    if (!material && (p == 0 || p == 1)) property_change(p, key, id, k);
  }
}

void replay_interval(Replay& r, word k) {
  const word w = [&] {
    word s = 0;
    for (std::size_t i = kBoundary; i <= kForce; ++i) s += head(r, i);
    return s;
  }();
  const word ni = head(r, kInactivate), na = head(r, kActivate);
  for (word i = 0; i < na; ++i) activate(r, k, pair_word(r, w + ni + i));
  for (word i = 0; i < ni; ++i) inactivate(r, k, pair_word(r, w + i));
  if (head(r, kChanges) > 0) changes(r, k, w + ni + na);
}

// Reads the next INCD record into the record area: the 40 header words and
// its pairs.
void read_interval(word INCD, Replay& r) {
  DBREAD(INCD, r.rec.data(), kHead, 0);
  const word n = 2 * head(r, kPairs);
  if (n < 0 || kHead + n > static_cast<word>(r.rec.size())) model_fatal(-3825, name_word("INCD"), static_cast<word>(r.rec.size()));
  if (n > 0) DBREAD(INCD, r.rec.data() + kHead, n, 1);
  else DBREAD(INCD, nullptr, 0, 1);
}

// The excluded elements of the inactive groups, gathered from IELS below the
// lowest file buffer (b3), clear of the buffers of the blocks written while
// the list is in use; returns the position of its lowest word.
word excluded_elements(const Replay& r, word& LSTGRP) {
  GP4CTL& g = gp4ctl();
  const word floor = g.IFREE + static_cast<word>(r.inactive.size());
  word low = g.B3;
  std::vector<char> found(r.inactive.size(), 0);
  const Header h = header_of(g.IELS);
  if (h[0] > 0) {
    DBOPEN(g.IELS, g.B1, kRead);
    for (word k = 0; k < h[0]; ++k) {
      std::array<word, 2> gh{};
      DBREAD(g.IELS, gh.data(), 2, 0);
      const auto at = std::ranges::find(r.inactive, gh[0]);
      const std::size_t i = static_cast<std::size_t>(at - r.inactive.begin());
      if (at == r.inactive.end() || found[i] != 0 || gh[1] <= 0) {
        DBREAD(g.IELS, nullptr, 0, 1);
        continue;
      }
      found[i] = 1;
      LSTGRP = gh[0];
      if (low - gh[1] <= floor) model_fatal(-4, name_word("XCLD"), CORLFT(1));
      low -= gh[1];
      DBREAD(g.IELS, &core().w(low), gh[1], 1);
    }
    DBCLOS(g.IELS, kCloseRewind);
  }
  for (std::size_t i = 0; i < r.inactive.size(); ++i)
    if (found[i] == 0)
      user_error(fline("('0*** USER FATAL MESSAGE 1756, HISTORY REFERS UNDEFINED ELEMENT GROUP',I6)", {r.inactive[i]}));
  // Repeats removed, the first occurrence kept; the list then sorted.
  const std::span<word> list = core().words(low, g.B3 - low);
  std::unordered_set<word> seen;
  std::size_t kept = 0;
  for (const word e : list)
    if (seen.insert(e).second) list[kept++] = e;
  g.NREPT = static_cast<word>(list.size() - kept);
  std::sort(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kept));
  return low;
}

void write_excluded(word low) {
  const GP4CTL& g = gp4ctl();
  const word n = g.B3 - g.NREPT - low;
  if (n <= 0) {
    HDRPUT(g.XCLD, Header{});
    return;
  }
  DBOPEN(g.XCLD, g.B2, kWrite);
  DBWRIT(g.XCLD, &core().w(low), n, 1);
  DBCLOS(g.XCLD, kCloseRewind);
  HDRPUT(g.XCLD, Header{n, 0, 0, 0, 0, 0});
}

// Divides the factor of each of n pairs at `pos` by the steps.
void scale_factors(word pos, word n, word steps) {
  const float f = 1.0f / static_cast<float>(steps);
  for (word i = 0; i < n; ++i) core().set_r(pos + 2 * i + 1, core().r(pos + 2 * i + 1) * f);
}

}  // namespace

void GP4(word INCD, word BCDT, word LDDT, word TMPD, word ECT, word EQIX, word CSTM, word NODC, word IELS, word USET,
         word GST, word YS, word DPG0, word EPD, word ENTD, word ROTB, word XCLD, INTCTL& intctl, word& LASTIV,
         word& EXCAVF, word& NSTEPS, float& RELFAC, word& LSTGRP, word& EXREGN) {
  MODBGN("GP4     ");
  matl_state().MTCMID.count = 0;
  matl_state().MTCGRP.count = 0;
  elem_state().tables.PRCMID.count = 0;
  elem_state().tables.PRCGRP.count = 0;
  LASTIV = EXCAVF = 0;
  RELFAC = 0.0f;
  GP4CTL& g = gp4ctl();
  g = GP4CTL{INCD, BCDT, LDDT, TMPD, ECT, EQIX, CSTM, NODC, IELS, USET, GST, YS, DPG0, EPD, ENTD, ROTB, XCLD};
  ExecState& ex = exec_state();

  const Header ih = header_of(INCD);
  ex.NSTPIV[0] = ih[0];
  if (ih[0] < 1) {
    const std::string line = "0*** USER FATAL MESSAGE 1751, HISTORY DATA IS MISSING";
    unit_write_line(kListing, line);
    unit_write_line(kErrorLog, line);
    sysw().IERFLG = 1;
    return;
  }
  const word nbuf = sysw().NBUFSZ, free = CORLFT(1);
  g.B1 = sysw().COREND - nbuf;
  g.B2 = g.B1 - nbuf;
  g.B3 = g.B2 - nbuf;
  const word longest = std::max(ih[5], kHead);
  g.IFREE = longest + 1;
  if (g.B3 - g.IFREE <= 99) short_of_core(std::int64_t{free} - (g.B3 - g.IFREE) + 100, free);

  Replay r{core().words(1, longest), {}, g.B3 - g.IFREE, intctl.NIVSET + 1, 0};
  DBOPEN(INCD, g.B1, kRead);
  if (ih[2] > 0) {
    const word n = kHead + 2 * ih[2];
    if (n > longest) model_fatal(-3825, name_word("INCD"), longest);
    DBREAD(INCD, r.rec.data(), n, 1);
    for (word i = 0; i < ih[2]; ++i) inactivate(r, 0, pair_word(r, i));
  }
  for (word k = 1; k <= r.current; ++k) {
    read_interval(INCD, r);
    const word ivl = head(r, 1);
    if (ivl >= 1 && ivl < static_cast<word>(ex.NSTPIV.size())) ex.NSTPIV[static_cast<std::size_t>(ivl)] = head(r, kSteps);
    stpctr().IVW4 = head(r, kMatMode);
    stpctr().IVW19 = head(r, kPropMode);
    replay_interval(r, k);
  }
  DBCLOS(INCD, kCloseRewind);
  EXCAVF = r.EXCAVF;
  // An interval without release pairs releases nothing, whatever the words
  // of an earlier interval left in its record.
  const bool releases = head(r, kReleases) != 0;
  EXREGN = releases ? head(r, kRegion) : 0;
  if (releases && head(r, kKinds) == 2) RELFAC = word_real(head(r, kFraction));

  const word xpos = r.inactive.empty() ? g.B3 : excluded_elements(r, LSTGRP);
  if (sysw().IERFLG == 0) write_excluded(xpos);
  NSTEPS = head(r, kSteps) > 0 ? head(r, kSteps) : 1;
  if (sysw().IERFLG == 0) {
    word nb = head(r, kBoundary);
    const word nm = head(r, kMpc), nt = head(r, kTemperature), nf = head(r, kForce);
    word bpos = kHead + 1;
    const word mpos = bpos + 2 * nb, tpos = mpos + 2 * nm, fpos = tpos + 2 * nt;
    scale_factors(bpos, nb + nm + nt + nf, NSTEPS);
    if (header_of(BCDT)[3] != 0) {
      bpos -= 2;
      core().w(bpos) = 0;
      core().set_r(bpos + 1, 0.0f);
      ++nb;
    }
    word x = xpos;
    GP4BND(nb, bpos, nm, mpos, x);
    GP4TMP(nt, tpos);
    GP4FRC(nf, fpos);
  }
  intctl.NIVSET = r.current;
  LASTIV = r.current == ex.NSTPIV[0] ? -1 : 0;
  error_total();
}

}  // namespace zephsol
