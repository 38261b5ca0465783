// GP4BND: the freedom sets USET, prescribed values YS and constraint matrix
// GST of an interval from its boundary, MPC and automatic-MPC sets.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"
#include "zephsol/model/gp4.h"
#include "zephsol/model/gp4_work.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

// USET bit values.
constexpr word kDependent = 1, kPrescribed = 2, kNotActiveFree = 8, kAll = 16, kTerm = 32, kFree = 64,
               kSolved = 256, kNotActive = 512;
constexpr word kNonZeroValue = 536870912, kLocalSystems = 1073741824;
constexpr std::size_t kConflictsKept = 100;

// A constraint triple: [row DOF, column DOF or 0, value].
struct Triple {
  word row, col;
  float value;
};

struct Pass {
  std::vector<word> uset;     // one word a DOF, index 0 for DOF 1
  std::vector<Triple> t;      // the triples
  std::size_t nbt = 0;        // boundary triples (sorted, unique) at the front
  gp4::NodeEntries entries;   // node entries of sets naming systems
  word last_mpc = 0;          // set of the MPC header read last
  word last_boundary = 0;     // set of the boundary header read last
  bool dependent_twice = false;  // a DOF made dependent by two equations
  std::int64_t room = 0;      // open-core words after USET below the lowest buffer
};

// The tables of the pass are held as the open core would hold them: USET
// from the first free word, then the triples (or the EQIX pairs, or the
// node entries) below the lowest file buffer. `words` more than that room
// end the run: fatal 3 without a tag, else fatal 4 with the tag and p2.
void need(const Pass& p, std::int64_t words, const char* tag, word p2) {
  if (words <= p.room) return;
  if (tag == nullptr) short_of_core(std::int64_t{CORLFT(1)} - p.room + words, CORLFT(1));
  model_fatal(-4, name_word(tag), p2);
}
void need_triples(const Pass& p, std::int64_t more, const char* tag) {
  need(p, 3 * (static_cast<std::int64_t>(p.t.size()) + more), tag, CORLFT(1));
}

// A DOF read from a table, which must lie in 1 to nG (else fatal 912).
word checked_dof(const Pass& p, std::int64_t dof) {
  if (dof < 1 || dof > static_cast<std::int64_t>(p.uset.size()))
    bad_block_value(-912, static_cast<word>(std::clamp<std::int64_t>(dof, INT32_MIN, INT32_MAX)), 0);
  return static_cast<word>(dof);
}

word& uset(Pass& p, std::int64_t dof) { return p.uset[static_cast<std::size_t>(checked_dof(p, dof) - 1)]; }

// A count of BCDT entries of a set, each naming a different DOF or node: 0
// to nG, else fatal 711.
std::size_t set_count(const Pass& p, word n) {
  if (n < 0 || n > static_cast<word>(p.uset.size())) bad_block_value(-711, name_word("BCDT"), n);
  return static_cast<std::size_t>(n);
}

void print_both(word lines, const std::string& text) {
  LINCNT(lines);
  unit_write_line(kListing, text);
  unit_write_line(kErrorLog, text);
}

// Missing or undefined references end the routine with IERFLG 1.
void stop(word lines, const std::string& text) {
  print_both(lines, text);
  sysw().IERFLG = 1;
}

// Clears bits 8 and 512 on every DOF of the active elements (those not in
// the excluded list, which runs from xpos ascending).
void mark_active(Pass& p, word& xpos) {
  const GP4CTL& g = gp4ctl();
  const word xend = g.B3 - g.NREPT;
  if (xpos >= xend) return;
  std::ranges::fill(p.uset, kAll | kNotActiveFree | kNotActive);
  const word ne = header_of(g.ECT)[0];
  DBOPEN(g.ECT, g.B2, kRead);
  std::array<word, 100> rec{};
  for (word c = 1; c <= ne; ++c) {
    const word n = gp4::read_ect_record(g.ECT, rec, c);
    const word excluded = xpos < xend ? core().w(xpos) : 0;
    if (xpos < xend && c == excluded) {
      ++xpos;
      continue;
    }
    if (xpos < xend && c > excluded) model_fatal(-908, c, excluded);
    for (word k = 0; k < n; ++k) {
      const word w = rec[static_cast<std::size_t>(6 + k)];
      const word f = BITSHR(w, 10), d = BITAND(w, 255);
      for (std::int64_t e = f; e < std::int64_t{f} + d; ++e) uset(p, e) &= ~(kNotActiveFree | kNotActive);
    }
  }
  DBCLOS(g.ECT, kCloseRewind);
}

// The next file head of BCDT; fatal 711 unless it names `kind`.
std::array<word, 5> file_head(const char* kind, word pass) {
  std::array<word, 5> h{};
  DBREAD(gp4ctl().BCDT, h.data(), 5, 1);
  if (h[0] != name_word(kind)) bad_block_value(-711, name_word("BCDT"), pass);
  return h;
}

// The references left unused: a set named twice, or one BCDT does not hold.
bool report_unused(const gp4::Refs& r, const char* kind) {
  bool any = false;
  for (std::size_t i = 0; i < r.size(); ++i) {
    if (r.used[i] != 0) continue;
    const bool twice = r.named_twice(i);
    const std::string number = kind[0] == 'B' ? "1757" : "1759";
    print_both(2, twice ? fline("('0*** USER FATAL MESSAGE " + number + ", INTERVAL REFERES " + kind + " ID',I6,"
                                 "' MORE THAN ONCE')",
                                 {r.id(i)})
                        : fline("('0*** USER FATAL MESSAGE " + number + ", INTERVAL REFERES UNDEFINED " + kind +
                                    " ID',I6)",
                                {r.id(i)}));
    any = true;
  }
  if (any) sysw().IERFLG = 1;
  return !any;
}

// Reads the node record of m entries of a set into the gathered entries.
void gather_nodes(Pass& p, word m, word set) {
  if (m <= 0) return;
  const std::size_t n = set_count(p, m);
  need(p, 4 * static_cast<std::int64_t>(p.entries.size() + n), "ROTB", gp4ctl().B1);
  std::vector<word> rows(4 * n);
  DBREAD(gp4ctl().BCDT, rows.data(), static_cast<word>(rows.size()), 1);
  p.entries.add_set(rows, set);
}

// Boundary pass: the triples [eq, 0, factor x value] of the referenced sets.
bool boundary_pass(Pass& p, gp4::Refs& refs, word nsets, word& read) {
  const word BCDT = gp4ctl().BCDT;
  for (read = 0; read < nsets && !refs.all_used();) {
    const auto h = file_head("BOUN", 1);
    ++read;
    p.last_boundary = h[1];
    const std::size_t i = refs.take(h[1]);
    if (i < refs.size()) {
      std::vector<word> pairs(2 * set_count(p, h[2]));
      if (h[2] > 0) DBREAD(BCDT, pairs.data(), static_cast<word>(pairs.size()), 1);
      for (std::size_t k = 0; k < pairs.size(); k += 2) {
        need_triples(p, 1, nullptr);
        p.t.push_back({pairs[k], 0, refs.factor(i) * word_real(pairs[k + 1])});
        uset(p, pairs[k]) |= kPrescribed;
      }
      gather_nodes(p, h[4], h[1]);
    }
    DBSKPF(BCDT, 1);
  }
  return report_unused(refs, "BOUNDARY");
}

// Sorts the boundary triples by DOF and keeps the first of each DOF; a
// different value of the same DOF is message 2461.
void merge_boundary(Pass& p, word nb) {
  if (nb > 1 && p.t.size() > 1) {
    std::vector<word> w;
    for (const Triple& t : p.t) w.insert(w.end(), {t.row, t.col, real_word(t.value)});
    SORTIR(3, 1, w, static_cast<word>(p.t.size()));
    std::vector<Triple> kept;
    for (std::size_t k = 0; k < w.size(); k += 3) {
      const Triple t{w[k], w[k + 1], word_real(w[k + 2])};
      if (!kept.empty() && kept.back().row == t.row) {
        if (kept.back().value != t.value) {
          SYSWRD& s = sysw();
          ++s.IERFLG;
          if (s.IERFLG < 101)
            print_both(2, "0*** USER FATAL MESSAGE 2461, BOUNDARY COMBINATION RESULS IN CONFLICT OF PRESCRIBED "
                          "DISPLACEMENTS");
        }
        continue;
      }
      kept.push_back(t);
    }
    p.t = kept;
  }
  p.nbt = p.t.size();
}

// The node and component of DOF `dof`, from EQIX record 2; fatal 912 when
// no node holds it.
std::array<word, 2> freedom_of(const Pass& p, word dof) {
  const GP4CTL& g = gp4ctl();
  const word nn = header_of(g.EQIX)[0];
  need(p, 2 * std::int64_t{nn}, "EQIX", CORLFT(1));
  std::vector<word> pairs(2 * static_cast<std::size_t>(std::max<word>(nn, 0)));
  DBOPEN(g.EQIX, g.B3, kRead);
  DBREAD(g.EQIX, nullptr, 0, 1);
  if (!pairs.empty()) DBREAD(g.EQIX, pairs.data(), static_cast<word>(pairs.size()), 1);
  DBCLOS(g.EQIX, kCloseRewind);
  for (std::size_t k = 0; k < pairs.size(); k += 2) {
    const word f = BITSHR(pairs[k + 1], 10), d = BITAND(pairs[k + 1], 255);
    if (f <= dof && dof < std::int64_t{f} + d) return {pairs[k], dof - f + 1};
  }
  model_fatal(-912, dof, 0);
}

// The prescribed value of boundary DOF e.
float prescribed(const Pass& p, word e) {
  const auto end = p.t.begin() + static_cast<std::ptrdiff_t>(p.nbt);
  const auto it = std::lower_bound(p.t.begin(), end, e, [](const Triple& t, word v) { return t.row < v; });
  if (it == end || it->row != e) model_fatal(-911, e, 0);
  return it->value;
}

// The 1933 text for a DOF made dependent a second time.
void dependent_again(Pass& p, word dof, word set) {
  p.dependent_twice = true;
  const auto [node, comp] = freedom_of(p, dof);
  ++sysw().IERFLG;
  print_both(3, fline("('0*** USER FATAL MESSAGE 1933, NODAL D.O.F.',I4,' OF NODE',I6/"
                      "10X,'IS DUPLICATELY DEFINED IN THE LEFT-HAND-SIDE OF FASTENING EQUATION.',4X,'MPC ID =',I6)",
                      {comp, node, set}));
}

// One dependent DOF d with its value c0: its column-0 triple, or false when
// d is dependent already.
bool add_dependent(Pass& p, word d, float value, word set) {
  if ((uset(p, d) & kDependent) != 0) {
    dependent_again(p, d, set);
    return false;
  }
  uset(p, d) |= kDependent;
  p.t.push_back({d, 0, value});
  return true;
}

// Term (e, a) of the dependent whose triple is at `at`: a prescribed e adds
// a x its value to the dependent's value, any other e is a GST term.
void add_term(Pass& p, std::size_t at, word d, word e, float a) {
  if ((uset(p, e) & kPrescribed) != 0) {
    p.t[at].value += a * prescribed(p, e);
    return;
  }
  p.t.push_back({d, e, a});
  uset(p, e) |= kTerm;
}

bool mpc_pass(Pass& p, gp4::Refs& refs, word nsets) {
  const word BCDT = gp4ctl().BCDT;
  for (word f = 0; f < nsets && !refs.all_used(); ++f) {
    const auto h = file_head("FAST", 2);
    p.last_mpc = h[1];
    const std::size_t i = refs.take(h[1]);
    if (i < refs.size()) {
      for (word q = 0; q < h[2]; ++q) {
        std::array<word, 3> eq{};
        DBREAD(BCDT, eq.data(), 3, 0);
        std::vector<word> terms(2 * set_count(p, std::max<word>(eq[0], 0)));
        if (!terms.empty()) DBREAD(BCDT, terms.data(), static_cast<word>(terms.size()), 0);
        need(p, 3 * static_cast<std::int64_t>(p.t.size()) + 3 * std::int64_t{eq[0]} + 6, "FAST", CORLFT(1));
        const word d = eq[1];
        if (d <= 0 || !add_dependent(p, d, refs.factor(i) * word_real(eq[2]), h[1])) continue;
        const std::size_t at = p.t.size() - 1;
        for (std::size_t k = 0; k < terms.size(); k += 2)
          if (terms[k] > 0) add_term(p, at, d, terms[k], word_real(terms[k + 1]));
      }
      if (h[2] > 0) DBREAD(BCDT, nullptr, 0, 1);
      gather_nodes(p, h[4], h[1]);
    }
    DBSKPF(BCDT, 1);
  }
  return report_unused(refs, "MPC");
}

// Automatic MPC: per slave component j up to the least master DOF count,
// the slave DOF depends on the masters' component j.
void automatic_pass(Pass& p) {
  const word BCDT = gp4ctl().BCDT;
  const auto h = file_head("AMPC", 3);
  for (word q = 0; q < h[2]; ++q) {
    std::array<word, 3> eq{};
    DBREAD(BCDT, eq.data(), 3, 0);
    std::vector<word> masters(2 * set_count(p, std::max<word>(eq[0], 0)));
    if (!masters.empty()) DBREAD(BCDT, masters.data(), static_cast<word>(masters.size()), 0);
    const word first = BITSHR(eq[1], 10), dofs = std::min(eq[2], BITAND(eq[1], 255));
    for (word j = 0; j < dofs; ++j) {
      const std::int64_t x = std::int64_t{first} + j;
      if ((uset(p, x) & (kPrescribed | kNotActive)) != 0) continue;
      need_triples(p, 1 + std::max<word>(eq[0], 0), "AMPC");
      if (!add_dependent(p, static_cast<word>(x), 0.0f, 0)) continue;
      const std::size_t at = p.t.size() - 1;
      for (std::size_t k = 0; k < masters.size(); k += 2)
        add_term(p, at, static_cast<word>(x), checked_dof(p, std::int64_t{masters[k]} + j), word_real(masters[k + 1]));
    }
  }
}

// Sorts every triple by (row, column) and sums the coefficients of a
// repeated term.
void sort_triples(Pass& p) {
  std::vector<word> w;
  for (const Triple& t : p.t) w.insert(w.end(), {t.row, t.col, real_word(t.value)});
  SORTI2(3, 1, 2, w, static_cast<word>(p.t.size()));
  std::vector<Triple> out;
  for (std::size_t k = 0; k < w.size(); k += 3) {
    const Triple t{w[k], w[k + 1], word_real(w[k + 2])};
    if (!out.empty() && t.col != 0 && out.back().row == t.row && out.back().col == t.col) {
      out.back().value += t.value;
      continue;
    }
    out.push_back(t);
  }
  p.t = out;
}

// The final pass over USET: free words, conflicts (a dependent DOF that is
// also prescribed or a term). Returns the OR of all words.
word finish_words(Pass& p, std::vector<std::pair<word, word>>& conflicts, word& count) {
  word f = 0;
  count = 0;
  for (std::size_t i = 0; i < p.uset.size(); ++i) {
    word& w = p.uset[i];
    if ((w & (kDependent | kPrescribed)) == 0) {
      w |= kFree;
      if ((w & kNotActiveFree) == 0) w |= kSolved;
    } else if ((w & kDependent) == 0) {
      w &= ~kNotActiveFree;
    } else {
      w &= ~kNotActiveFree;
      if ((w & (kPrescribed | kTerm)) != 0) {
        ++count;
        if (conflicts.size() < kConflictsKept) conflicts.emplace_back(static_cast<word>(i + 1), w);
      }
    }
    f |= w;
  }
  return f;
}

void report_conflicts(const Pass& p, const std::vector<std::pair<word, word>>& conflicts, word count) {
  for (const auto& [dof, w] : conflicts) {
    const auto [node, comp] = freedom_of(p, dof);
    if ((w & kTerm) == 0)
      print_both(3, fline("('0*** USER FATAL MESSAGE 1934, NODAL D.O.F.',I4,' OF NODE',I6,' IN MPC EQUATIONS SET',I6/"
                          "10X,'IS ALSO DEFINED IN BOUNDARY SET.')",
                          {comp, node, p.last_mpc}));
    else
      print_both(3, fline("('0*** USER FATAL MESSAGE 1932, NODAL D.O.F.',I4,' OF NODE',I6,"
                          "' IN THE RIGHT-HAND-SIDE OF MPC EQUATION'/"
                          "10X,'HAS BEEN APPEARED IN THE LEFT-HAND-SIDE.  MPC ID=',I6)",
                          {comp, node, p.last_mpc}));
  }
  if (count > static_cast<word>(kConflictsKept)) {
    const std::string line = fline("('0*** TOTAL',I6,' ERRORS -- FIRST 100 ARE PRINTED.')", {count});
    unit_write_line(kListing, line);
    unit_write_line(kErrorLog, line);
  }
  sysw().IERFLG = 1;
}

void write_uset(const Pass& p, word f, word ocount) {
  const GP4CTL& g = gp4ctl();
  DBOPEN(g.USET, g.B2, kWrite);
  DBWRIT(g.USET, p.uset.data(), static_cast<word>(p.uset.size()), 1);
  DBCLOS(g.USET, kCloseRewind);
  HDRPUT(g.USET, Header{static_cast<word>(p.uset.size()), 0, 0, ocount, 0, f});
}

// YS: one column over the o set of the column-0 values.
void write_ys(const Pass& p, word ocount, bool nonzero) {
  const GP4CTL& g = gp4ctl();
  if (!nonzero) {
    word name = 0;
    DBNAME(g.YS, name);
    if (name != name_word("****")) HDRPUT(g.YS, Header{});
    return;
  }
  MCB m{g.YS, 0, ocount, kRectangular, kRealSingle};
  DBOPEN(g.YS, g.B2, kWrite);
  SCB& s = shared_scb(1);
  COLBEG(m, kRealSingle, s);
  word row = 0;
  for (const Triple& t : p.t) {
    if (t.col != 0) continue;
    ++row;
    if (t.value != 0.0f) COLTRM(t.value, row, s);
  }
  COLEND(m, s);
  if (row != ocount) model_fatal(-905, row, ocount);
  m.density = 0;
  DBCLOS(g.YS, kCloseNoRewind);
  HDRPUT(g.YS, m.header());
}

// GST: per o-set DOF a column over the n set of its coefficients.
void write_gst(const Pass& p, word ocount) {
  const GP4CTL& g = gp4ctl();
  std::vector<word> number(p.uset.size());
  word n = 0, o = 0;
  for (std::size_t i = 0; i < p.uset.size(); ++i)
    number[i] = (p.uset[i] & (kDependent | kPrescribed)) == 0 ? ++n : -(++o);
  const auto column0 = static_cast<word>(std::ranges::count_if(p.t, [](const Triple& t) { return t.col == 0; }));
  if (o != column0) model_fatal(-902, o, column0);
  MCB m{g.GST, 0, n, kRectangular, kRealSingle};
  DBOPEN(g.GST, g.B2, kWrite);
  SCB& s = shared_scb(1);
  std::int64_t terms = 0;
  for (std::size_t k = 0; k < p.t.size();) {
    if (p.t[k].col != 0) model_fatal(-903, p.t[k].row, p.t[k].col);
    COLBEG(m, kRealSingle, s);
    const word row = p.t[k].row;
    for (++k; k < p.t.size() && p.t[k].row == row; ++k) {
      const word j = number[static_cast<std::size_t>(p.t[k].col - 1)];
      if (j <= 0) model_fatal(-904, row, p.t[k].col);
      if (p.t[k].value != 0.0f) {
        COLTRM(p.t[k].value, j, s);
        ++terms;
      }
    }
    COLEND(m, s);
  }
  if (m.cols != ocount) model_fatal(-901, m.cols, ocount);
  DBCLOS(g.GST, kCloseRewind);
  m.density = density_of(terms, m.cols, m.rows);
  HDRPUT(g.GST, m.header());
}

}  // namespace

void GP4BND(word nb, word bpairs, word nm, word mpairs, word& xpos) {
  GP4CTL& g = gp4ctl();
  const Header bh = g.BCDT > 0 ? header_of(g.BCDT) : Header{};
  if (g.BCDT <= 0 || bh[0] < 1) return stop(2, "0*** USER FATAL MESSAGE 1753, BOUNDARY DATA IS MISSING");
  if (nb < 1) return stop(2, "0*** USER FATAL MESSAGE 1755, NONE OF BOUNDARY CONDITION IS DEFINED IN INTERVAL DATA");
  const word neq = std::max(header_of(g.EQIX)[1], 0);
  const std::int64_t uset_end = std::int64_t{g.IFREE} + neq;
  const std::int64_t below = std::min(xpos, g.B3) - uset_end;
  if (below < 0) short_of_core(std::int64_t{CORLFT(1)} - below, CORLFT(1));
  Pass p;
  p.room = g.B3 - uset_end;  // the excluded list is read before anything is put there
  p.uset.assign(static_cast<std::size_t>(neq), kAll);
  mark_active(p, xpos);

  DBOPEN(g.BCDT, g.B1, kRead);
  gp4::Refs brefs(nb, bpairs);
  word read = 0;
  bool ok = boundary_pass(p, brefs, bh[0], read);
  if (ok) merge_boundary(p, nb);
  if (ok && nm > 0) {
    if (bh[0] - read > 0) DBSKPF(g.BCDT, bh[0] - read);
    gp4::Refs mrefs(nm, mpairs);
    ok = mpc_pass(p, mrefs, bh[1]);
  }
  if (ok && bh[2] > 0) {
    DBREWD(g.BCDT);
    DBSKPF(g.BCDT, bh[0] + bh[1]);
    automatic_pass(p);
  }
  if (ok && (nm > 0 || bh[2] == 1)) sort_triples(p);
  if (!ok) {
    DBCLOS(g.BCDT, kCloseRewind);
    return;
  }
  std::vector<std::pair<word, word>> conflicts;
  word count = 0;
  word f = finish_words(p, conflicts, count);
  if (count > 0) {
    report_conflicts(p, conflicts, count);
    DBCLOS(g.BCDT, kCloseRewind);
    return;
  }
  if (p.dependent_twice) {  // 1933 told: the tables would hold two equations of one DOF
    DBCLOS(g.BCDT, kCloseRewind);
    return;
  }
  const auto ocount = static_cast<word>(
      std::ranges::count_if(p.uset, [](word w) { return (w & (kDependent | kPrescribed)) != 0; }));
  const bool nonzero = std::ranges::any_of(p.t, [](const Triple& t) { return t.col == 0 && t.value != 0.0f; });
  if (nonzero) f |= kNonZeroValue;
  if (!p.entries.empty()) f |= kLocalSystems;
  write_uset(p, f, ocount);
  write_ys(p, ocount, nonzero);
  if (nm > 0 || bh[2] != 0) write_gst(p, ocount);
  gp4::rotations(p.entries, p.last_boundary);
  DBCLOS(g.BCDT, kCloseRewind);
}

}  // namespace zephsol
