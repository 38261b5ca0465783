// The step output driver: requests, result-file framing, node table and the
// open-core plans of the nodal and element phases.
#include "zephsol/output/ofp1.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/util.h"
#include "zephsol/input/inrec.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/nodal.h"
#include "zephsol/output/ofprqn.h"
#include "zephsol/output/output_records.h"
#include "zephsol/output/postfile.h"

namespace zephsol {

namespace {

// The node list, which must reach the group block unchanged, starts after
// word 6 even when no request list lies there (the material-change report
// loads its table above the lists it is given, never in words 1-6).
constexpr word kFirstListWord = 7;

constexpr word kInactiveDof = 512;  // USET: a DOF on no active element
constexpr word kSignBit = static_cast<word>(0x80000000u);

std::array<word, 6> header(word file) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  return h;
}

// n words of the data block's record `skip` + 1 into open core at pos.
void read_record(word file, word skip, word pos, word n, word buffer) {
  DBOPEN(file, buffer, kRead);
  for (word r = 0; r < skip; ++r) DBREAD(file, nullptr, 0, 1);
  DBREAD(file, core().words(pos, n).data(), n, 1);
  DBCLOS(file, kCloseRewind);
}

// The vector of a one-record table (USET) at pos; zeros when the block is absent.
void read_table(word file, word pos, word n, word buffer) {
  if (n < 1) return;
  if (header(file)[0] < 1) {
    const std::span<word> w = core().words(pos, n);
    std::fill(w.begin(), w.end(), 0);
    return;
  }
  read_record(file, 0, pos, n, buffer);
}

// Column 1 of a matrix data block as n REAL values at pos, or column 2 over
// it when `second` is set and the matrix has two columns or more. The values
// are zero when the block is absent or the column read last is empty; the
// result says whether they hold a column.
bool read_vector(word file, word pos, word n, bool second, word buffer) {
  if (n < 1) return false;
  const std::span<float> v = core().floats(pos, n);
  const std::array<word, 6> h = header(file);
  word empty = 1;
  if (h[0] >= 1) {
    MCB m{file, h[0], h[1], h[2], h[3], h[4], h[5]};
    DBOPEN(file, buffer, kRead);
    const word columns = second && h[0] >= 2 ? 2 : 1;
    for (word col = 1; col <= columns; ++col) {
      word first = 1, last = n;
      COLGET(m, kRealSingle, v.data(), first, last, empty);
    }
    DBCLOS(file, kCloseRewind);
  }
  if (empty != 0) std::fill(v.begin(), v.end(), 0.0f);
  return empty == 0;
}

// Whether the displacements of the current interval are reported relative
// to those kept before an interval of the "SINTVAL" card.
bool relative_displacements() {
  if (sysw().ISINTV == 0) return false;
  const SINTLS& s = input_state().sintls;
  const auto n = static_cast<std::size_t>(std::clamp<word>(s.count, 0, static_cast<word>(s.list.size())));
  return std::any_of(s.list.begin(), s.list.begin() + static_cast<std::ptrdiff_t>(n),
                     [](word v) { return v != 0 && v <= stpctr().NINTVL; });
}

// Marks the nodes all of whose DOFs lie on no active element (USET words at uset).
void mark_inactive_nodes(word table, word nn, word uset) {
  const WordSpace& c = core();
  for (word i = 0; i < nn; ++i) {
    const std::int64_t at = static_cast<std::int64_t>(table) + 2 * static_cast<std::int64_t>(i);
    const word eqw = c.w(at + 1);
    const word k = BITAND(eqw, 255), e = BITSHR(eqw, 10);
    if (k == 0) continue;
    bool inactive = true;
    for (word j = 0; j < k && inactive; ++j)
      inactive = BITAND(c.w(static_cast<std::int64_t>(uset) + e - 1 + j), kInactiveDof) != 0;
    if (inactive) c.w(at) = BITOR(c.w(at), kSignBit);
  }
}

// Packs the identifiers of the active nodes to the front of the table; returns their count.
word pack_active_nodes(word table, word nn) {
  const WordSpace& c = core();
  word na = 0;
  for (word i = 0; i < nn; ++i) {
    const word id = c.w(static_cast<std::int64_t>(table) + 2 * static_cast<std::int64_t>(i));
    if (id >= 0) c.w(static_cast<std::int64_t>(table) + na++) = id;
  }
  return na;
}

// The nodal phase; returns the number of active nodes, packed at k0.
word nodal_phase(word k0, word uset, word eqix, word ug, word ugsv, word oqgv, word dpg) {
  const std::array<word, 6> he = header(eqix);
  const word nn = std::max<word>(he[0], 0), neq = std::max<word>(he[1], 0), ld = std::max<word>(he[2], 0) + 1;
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const std::int64_t p1 = static_cast<std::int64_t>(k0) + 2 * static_cast<std::int64_t>(nn);
  const std::int64_t p2 = p1 + neq;
  const std::int64_t p3 = p2 + std::max<std::int64_t>(neq, static_cast<std::int64_t>(ld) * nn);
  const std::int64_t p4 = p3 + 6 * static_cast<std::int64_t>(nn);
  check_core_plan(p4 + nn, buffer);
  const word v1 = static_cast<word>(p1), v2 = static_cast<word>(p2), rows = static_cast<word>(p3);
  if (nn > 0) read_record(eqix, 1, k0, 2 * nn, buffer);

  if (BITAND(header(uset)[5], kInactiveDof) != 0) {
    read_table(uset, v1, neq, buffer);
    mark_inactive_nodes(k0, nn, v1);
  }

  read_vector(ug, v1, neq, true, buffer);
  if (relative_displacements() && read_vector(ugsv, v2, neq, true, buffer)) {
    const std::span<float> u = core().floats(v1, neq), base = core().floats(v2, neq);
    for (std::size_t i = 0; i < u.size(); ++i) u[i] -= base[i];
  }
  OFP1U(k0, v1, v2, nn, ld);

  read_vector(oqgv, v1, neq, false, buffer);
  read_table(uset, v2, neq, buffer);
  OFP1D(k0, v1, v2, nn, rows, static_cast<word>(p4));

  if (BITAND(exec_state().intctl.EXCACT, 1) != 0) {
    read_vector(dpg, v1, neq, false, buffer);
    const word nx = std::max<word>(header(XCLD)[0], 0);
    check_core_plan(p3 + nx + nn, buffer);
    if (nx > 0) read_record(XCLD, 0, rows, nx, buffer);
    OFP1X(k0, v1, v2, rows, rows + nx, nn, ld, nx);
  }
  return pack_active_nodes(k0, nn);
}

// The element phase; returns the number of active elements listed at q1 = k0 + na.
word element_phase(word k0, word na, word eiv0) {
  const SYSWRD& sys = sysw();
  const std::array<word, 6> h = header(eiv0);
  const std::int64_t nel = std::max<word>(h[0], 0);
  const bool plastic = BITAND(h[4], 2) != 0;
  const bool forces = BITAND(h[4], 128) != 0;
  const OFPREQ& req = ofpreq();
  const bool principal = req(kPrintPrstress) >= 0 || req(kPrintPrstrain) >= 0 || req(kPrintPrstres2) >= 0;

  const std::int64_t q1 = static_cast<std::int64_t>(k0) + na, q2 = q1 + nel, q3 = q2 + nel, q4 = q3 + nel;
  const std::int64_t qp = q4 + 75 * nel;
  const std::int64_t q5 = qp + (plastic ? 21 * nel : 0);
  const std::int64_t q6 = q5 + 7 * nel;
  const word buffer = sys.COREND - sys.NBUFSZ;
  word lowest = buffer;
  const word b301 = principal ? (lowest -= sys.NBUFSZ) : 0;
  const word b302 = forces ? (lowest -= sys.NBUFSZ) : 0;
  check_core_plan(q6 + h[1], lowest);

  DBOPEN(eiv0, buffer, kRead);
  if (principal) DBOPEN(S301, b301, kWrite);
  if (forces) DBOPEN(S302, b302, kWrite);
  ofpscr() = OFPSCR{principal ? S301 : 0, 0, forces ? S302 : 0, 0};
  word ngroup = 0;
  OFP1C(eiv0, static_cast<word>(nel), static_cast<word>(q1), static_cast<word>(q2), static_cast<word>(q3),
        static_cast<word>(q4), static_cast<word>(qp), static_cast<word>(q5), static_cast<word>(q6),
        lowest - static_cast<word>(q6), plastic ? 0 : -1, ngroup);
  DBCLOS(eiv0, kCloseRewind);

  const word n = forces ? ofpscr().force_records : 0;
  if (forces) {
    if (n > 0) {
      DBEOF(S302);
      DBREWD(S302);
      check_core_plan(q4 + 19 * static_cast<std::int64_t>(n), lowest);
      OFP1F(static_cast<word>(q4), static_cast<word>(q4 + 2 * n), static_cast<word>(q4 + n));
    }
    DBCLOS(S302, kCloseUnload);
  }
  if (principal) {
    if (ofpscr().principal_records > 0) {
      DBEOF(S301);
      DBREWD(S301);
      OFP1P();
    }
    DBCLOS(S301, kCloseUnload);
  }
  const std::int64_t w = n > 0 ? q4 + 2 * static_cast<std::int64_t>(n) : q4;
  check_core_plan(w + nel, lowest);
  OFPMCI(EST, MATD, ENTD, static_cast<word>(w));
  return ngroup;
}

// The opening of an output call: requests resolved, the result file opened
// by the first call of the run and the step's output set begun while the
// result-file requests are on. Returns the first free open-core word.
word begin_output(word ctrl, word ctrn) {
  word next = 1;
  if (input_state().NOUTFL == -1) OFPRQN(ctrn, next);
  OFPRQP(ctrl, next);
  SYSWRD& sys = sysw();
  if (sys.NPOSTC == 0) post_open();
  sys.NPOSTC += 1;
  if (ofpreq()(kPostDisp) > 0) post_output_set();
  return std::max(next, kFirstListWord);
}

}  // namespace

void OFP1CC(word file, word nel, word list, word area, word lrec, word& count) {
  count = 0;
  const WordSpace& c = core();
  const std::span<word> room = c.words(area, lrec);
  for (word i = 0; i < nel; ++i) {
    EIVRDA(file, room);
    const EIVWK& w = eivwka();
    if (w.head[5] == 0) c.w(std::int64_t{list} + count++) = w.head[0];
  }
}

void OFP1(word ctrl, word ctrn, word uset, word eqix, word ug, word eiv0, word ugsv, word oqgv, word dpg,
          word /*excavf*/) {
  MODBGN("OFP1    ");
  const word k0 = begin_output(ctrl, ctrn);
  const bool post = ofpreq()(kPostDisp) > 0;
  const word na = nodal_phase(k0, uset, eqix, ug, ugsv, oqgv, dpg);
  const word ngroup = element_phase(k0, na, eiv0);

  if (post) {
    post_end_vectors();
    const WordSpace& c = core();
    post_group(c.words(k0, na), c.words(static_cast<std::int64_t>(k0) + na, ngroup));
  }
  post_flush();
}

void OFP1M(word ctrl, word ctrn, word eiv0, word excavf) {
  MODBGN("OFP1M   ");
  const word k0 = begin_output(ctrl, ctrn);
  const bool post = ofpreq()(kPostDisp) > 0;
  const std::array<word, 6> he = header(EQIX), hs = header(eiv0);
  const word nn = std::max<word>(he[0], 0), nel = std::max<word>(hs[0], 0), lrec = std::max<word>(hs[1], 0);
  const word buffer = sysw().COREND - sysw().NBUFSZ;
  const std::int64_t r1 = std::int64_t{k0} + 2 * std::int64_t{nn}, r2 = r1 + nel, r3 = r2 + 95 * std::int64_t{nel};
  check_core_plan(r3 + lrec, buffer);

  if (nn > 0) read_record(EQIX, 1, k0, 2 * nn, buffer);
  const WordSpace& c = core();
  for (word i = 0; i < nn; ++i) c.w(std::int64_t{k0} + i) = c.w(std::int64_t{k0} + 2 * std::int64_t{i});

  word active = 0;
  DBOPEN(eiv0, buffer, kRead);
  OFP1CC(eiv0, nel, static_cast<word>(r1), static_cast<word>(r3), lrec, active);
  DBCLOS(eiv0, kCloseRewind);

  OFPMCI(EST, MATD, ENTD, static_cast<word>(r2));
  if (post) {
    post_end_vectors();
    if (excavf != 0) post_group(c.words(k0, nn), c.words(r1, active));
  }
  post_flush();
}

}  // namespace zephsol
