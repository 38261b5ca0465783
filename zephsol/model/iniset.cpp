// INISE2 and INISET: fresh element state records with their starting values,
// and the initial stresses with the nodal forces that balance them.
#include "zephsol/model/iniset.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/dumps.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/nscomp.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace {

constexpr word kBeam2 = 5, kJoint4 = 14;
constexpr std::size_t kBlock8 = 7, kBlock11 = 10;  // switch indexes of blocks 8 and 11
constexpr word kJointState = 2;
constexpr word kHeaderWords = 40;  // INCD interval header
constexpr word kStressKind = 8, kStressWords = 13;
constexpr std::size_t kStressEntry = 17;

// Joints and the contact element: a joint state at every point.
bool joint_state_type(word iecod) {
  return iecod == kJoint4 || (iecod >= 18 && iecod <= 21) || iecod == 23;
}

// Every point of the current record: block 11 on with joint state 2, its
// value 0.0, stresses 1-3 as given.
void set_joint_points(const std::array<double, 3>& stress) {
  for (word p = 1; p <= estcom().NPTS; ++p) {
    EIVGTA(p);
    EIVWK& w = eivwka();
    w.sw[kBlock11] = 1;
    w.blk.b11.iv[0] = kJointState;
    w.blk.b11.v = 0.0;
    std::copy(stress.begin(), stress.end(), w.vec[0].begin());
    EIVPTA();
  }
}

// Point 1 of a BEAM2: block 8 on with the twelve end forces given.
void set_beam_forces(const std::array<double, 12>& forces) {
  EIVGTA(1);
  EIVWK& w = eivwka();
  w.sw[kBlock8] = 1;
  std::copy(forces.begin(), forces.end(), w.blk.b8.v.begin() + 1);
  EIVPTA();
}

// Open-core plan of both modules: from word 1 the force vector (doubles),
// then the entry of LDDT, then the state record area; buffers at the top
// (EST, then LDDT for INISET, then EIV0).
struct Plan {
  word ng = 0;           // equations
  word entry = 0;        // first word of the entry area
  word entry_words = 0;  // LDDT longest element record + 1
  word state = 0;        // first word of the state record area
  word ncore = 0;
  std::array<word, 3> buffer{};  // EST, LDDT, EIV0
};

Plan plan_core(const Header& lddt, int buffers) {
  Plan p;
  p.ng = std::max(lddt[4], 0);
  p.entry_words = std::max(lddt[1], 0) + 1;
  p.entry = 2 * p.ng + 2;
  p.state = p.entry + p.entry_words;
  p.ncore = CORLFT(1);
  const word nbuf = sysw().NBUFSZ;
  word top = sysw().COREND;
  for (int k = 0; k < 3; ++k) {
    if (k == 1 && buffers == 2) continue;
    top -= nbuf;
    p.buffer[static_cast<std::size_t>(k)] = top;
  }
  if (std::int64_t{top} - p.state < 0) short_of_core(std::int64_t{p.ncore} + p.state - top, p.ncore);
  return p;
}

// The element's type, loaded when its definition changes.
void select_type(word& previous) {
  const word iseq = estcom().ISEQ;
  if (iseq != previous) ETYPDS(iseq, 0);
  previous = iseq;
}

// The sorted list of elements in the groups that the construction history
// removes before its first interval; it ends just below `end` and starts at
// the word returned (the list is empty when that is `end`).
word inactive_elements(word INCD, word IELS, word buffer, word end, word ncore) {
  const word m = header_of(INCD)[2];
  if (m <= 0) return end;
  const std::int64_t record = kHeaderWords + 2 * std::int64_t{m};
  if (record + m >= end) model_fatal(-4, name_word("XCLD"), ncore);
  DBOPEN(INCD, buffer, kRead);
  DBREAD(INCD, &core().w(1), static_cast<word>(record), 1);
  DBCLOS(INCD, kCloseRewind);
  const std::span<word> groups = core().words(record + 1, m);
  for (word i = 0; i < m; ++i) groups[static_cast<std::size_t>(i)] = core().w(kHeaderWords + 1 + 2 * i);
  const auto ngroups = static_cast<word>(sort_unique(groups));
  const word groups_end = static_cast<word>(record + 1 + ngroups);

  word first = end;
  const word negroup = header_of(IELS)[0];
  if (negroup > 0) {
    DBOPEN(IELS, buffer, kRead);
    for (word k = 0; k < negroup; ++k) {
      std::array<word, 2> head{};
      DBREAD(IELS, head.data(), 2, 0);
      const word n = std::max(head[1], 0);
      if (!std::binary_search(groups.begin(), groups.begin() + ngroups, head[0])) {
        DBREAD(IELS, nullptr, 0, 1);
        continue;
      }
      if (std::int64_t{first} - n < groups_end) model_fatal(-4, name_word("XCLD"), ncore);
      first -= n;
      DBREAD(IELS, n > 0 ? &core().w(first) : nullptr, n, 1);
    }
    DBCLOS(IELS, kCloseRewind);
  }
  const std::span<word> list = core().words(first, end - first);
  const auto kept = static_cast<word>(sort_unique(list));
  // The repeats (an element of two removed groups) leave the list's start.
  std::copy_backward(list.begin(), list.begin() + kept, list.end());
  return end - kept;
}

// Reads the next initial-stress entry; its element number, 0 at the end of
// the file.
word next_entry(word LDDT, std::span<word> entry, bool first) {
  word got = 0, status = 0;
  DBRDST(LDDT, entry.data(), static_cast<word>(entry.size()), 1, got, status);
  if (status == 2) {
    if (first) model_fatal(-2, name_word("LDDT"), 0);
    return 0;
  }
  if (status != 1) model_fatal(-3825, name_word("LDDT"), static_cast<word>(entry.size()));
  std::fill(entry.begin() + got, entry.end(), 0);
  return got > 0 ? entry[0] : 0;
}

void warn_inactive_stressed(word count) {
  const std::string line = fline(
      "('0*** USER WARNING MESSAGE 1302,',I6,' INACTIVE ELEMENTS ARE ENDOWED WITH INITIAL STRESS.')", {count});
  LINCNT(2);
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
  sysw().IWRNFL = 1;
}

}  // namespace

void INIST2() {
  const word iecod = estcom().IECOD;
  if (iecod == kBeam2) set_beam_forces({});
  else if (joint_state_type(iecod)) set_joint_points({});
}

void INISTA(std::span<const word> entry) {
  if (entry.size() < kStressEntry || entry[1] != 1 || entry[2] != kStressKind || entry[3] != kStressWords) {
    LINCNT(2);
    unit_write_line(kListing, "0**** LDDT TABLE DUMP");
    RECPRT(entry.data(), static_cast<word>(std::min<std::size_t>(entry.size(), 11)));
    model_fatal(-711, name_word("LDDT"), kStressKind);
  }
  std::array<double, 13> s{};  // s[k] = S(k)
  for (std::size_t k = 1; k <= 12; ++k) s[k] = word_real(entry[4 + k]);
  const ESTCOM& e = estcom();
  if (e.IECOD == kBeam2) {
    std::array<double, 12> forces{};
    std::copy(s.begin() + 1, s.end(), forces.begin());
    set_beam_forces(forces);
    return;
  }
  if (joint_state_type(e.IECOD)) {
    set_joint_points({s[1], s[2], e.IECOD == kJoint4 ? 0.0 : s[3]});
    return;
  }
  // Normal components S1.. first, then the shears from S4 on.
  const word cls = std::clamp<word>(e.ICLASS, 1, 11);
  const word ns = std::clamp<word>(e.NS, 0, 6);
  const word nn = std::min(NSCOMP.normal[static_cast<std::size_t>(cls - 1)], ns);
  if (cls == 6) s[5] = s[6];
  std::array<double, 6> stress{};
  for (word k = 0; k < ns; ++k) stress[static_cast<std::size_t>(k)] = s[static_cast<std::size_t>(k < nn ? k + 1 : 4 + k - nn)];
  for (word p = 1; p <= e.NPTS; ++p) {
    EIVGTA(p);
    eivwka().vec[0] = stress;
    EIVPTA();
  }
}

void INISE2(word LDDT, word EST, word INCD, word IELS, word PGM, word EIV0) {
  (void)INCD, (void)IELS, (void)PGM;
  const Header lddt = header_of(LDDT);
  MODBGN("INISET  ");
  const Header est = header_of(EST);
  const Plan p = plan_core(lddt, 2);
  const word ne = std::max(est[0], 0);
  const std::span<word> area = core().words(p.state, p.buffer[2] - p.state);
  DBOPEN(EST, p.buffer[0], kRead);
  DBOPEN(EIV0, p.buffer[2], kWrite);
  std::array<word, 6> trailer{ne, 0, est[1], est[4], 0, 1};
  word previous = -1;
  for (word e = 1; e <= ne; ++e) {
    ESTRD(EST);
    select_type(previous);
    EIVRDA(0, area);
    EIVOPA(EIV0);
    INIST2();
    EIVWRA(trailer);
  }
  DBCLOS(EST, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, trailer);
}

void INISET(word LDDT, word EST, word INCD, word IELS, word PGM, word EIV0) {
  const Header lddt = header_of(LDDT);
  if ((lddt[2] & 8) == 0) return;
  MODBGN("INISET  ");
  const Header est = header_of(EST);
  const Plan p = plan_core(lddt, 3);
  const word ne = std::max(est[0], 0);
  const word first = inactive_elements(INCD, IELS, p.buffer[0], p.buffer[2], p.ncore);
  if (first - p.state < 0) short_of_core(std::int64_t{p.ncore} + p.state - first, p.ncore);
  const std::span<const word> inactive = core().words(first, p.buffer[2] - first);
  const std::span<word> area = core().words(p.state, first - p.state);
  const std::span<word> entry = core().words(p.entry, p.entry_words);
  const std::span<double> forces = core().doubles(1, p.ng);
  std::fill(forces.begin(), forces.end(), 0.0);

  DBOPEN(EST, p.buffer[0], kRead);
  DBOPEN(LDDT, p.buffer[1], kRead);
  DBOPEN(EIV0, p.buffer[2], kWrite);
  DBSKPF(LDDT, std::max(lddt[0], 0));
  // The head of the initial-stress file: "FORC" and 0 x 10 + 8 (the set has
  // identifier 0).
  std::array<word, 3> head{};
  word got = 0, status = 0;
  DBRDST(LDDT, head.data(), 3, 1, got, status);
  if (status == 2 || (status == 1 && got < 2) || head[0] != name_word("FORC") || head[1] != kStressKind)
    model_fatal(-2621, name_word("INST"), name_word("LDDT"));

  bind_material_views();
  std::array<word, 6> trailer{ne, 0, est[1], est[4], 0, 1};
  word next = next_entry(LDDT, entry, true), previous = -1, stressed_inactive = 0;
  auto in_list = inactive.begin();
  for (word e = 1; e <= ne; ++e) {
    ESTRD(EST);
    select_type(previous);
    EIVRDA(0, area);
    EIVOPA(EIV0);
    if (e == next) {
      in_list = std::lower_bound(in_list, inactive.end(), e);
      if (in_list != inactive.end() && *in_list == e) {
        ++stressed_inactive;
        INIST2();
      } else {
        INISTA(entry);
        FELEM(forces);
      }
      next = next_entry(LDDT, entry, false);
    } else {
      INIST2();
    }
    EIVWRA(trailer);
  }
  DBCLOS(EST, kCloseRewind);
  DBCLOS(LDDT, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, trailer);

  for (double& f : forces) f = -f;
  MCB m{PGM, 0, p.ng, kRectangular, sysw().IPREC, 0, 0};
  DBOPEN(PGM, p.buffer[0], kWrite);
  COLPUT(m, 2, forces.data(), 1, p.ng);
  DBCLOS(PGM, kCloseRewind);
  HDRPUT(PGM, m.header());
  if (stressed_inactive > 0) warn_inactive_stressed(stressed_inactive);
}

}  // namespace zephsol
