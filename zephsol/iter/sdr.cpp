// Stress data recovery module: the open-core plan, the inputs, the pass over
// the elements and the outputs EIV1 and QG.
#include "zephsol/iter/sdr.h"

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
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/ofphdg.h"
#include "zephsol/iter/ofprqp.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mkinds.h"
#include "zephsol/matl/mattab.h"
#include "zephsol/solve/eqnode.h"

namespace zephsol {
namespace {

constexpr word kNoPrevious = -99;
constexpr word kRecordEnded = 1, kEndOfData = 2;
constexpr word kQfla4 = 7;

using Header = std::array<word, 6>;

Header header_of(word file) {
  Header h{};
  if (file != 0) HDRGET(file, h);
  return h;
}

struct Run {
  word est = 0, eiv0 = 0, eiv1 = 0, entd = 0;  // eiv0, entd 0: not read
  word elements = 0, rows = 0, excluded = 0;
  word temp_words = 1;  // L: the temperature record's buffer
  // File buffers from the end of the open core.
  word b_est = 0, b_eiv0 = 0, b_eiv1 = 0, b_entd = 0, b_strc = 0;
  std::span<double> u, f;
  std::span<word> temps, work, list;
  Header eiv1_header{};
};

// Vectors, temperature record and state work area from word 1; the buffers
// at the top, the material table below them and the XCLD list below it.
void lay_out(Run& r, word MATD, word XCLD) {
  const word nbuf = sysw().NBUFSZ;
  word top = sysw().COREND;
  const auto next_buffer = [&] { return top -= nbuf; };
  r.b_est = next_buffer();
  r.b_eiv0 = next_buffer();
  r.b_eiv1 = next_buffer();
  if (r.entd != 0) r.b_entd = next_buffer();
  r.b_strc = next_buffer();
  check_core_plan(1, top);
  word free = top - 1;  // the words below the buffers
  if (MATD != 0) MATLOD(MATD, 1, free, r.b_est);
  r.excluded = XCLD != 0 ? std::max(header_of(XCLD)[0], 0) : 0;
  const std::int64_t rows = r.rows;
  const std::int64_t fixed = 4 * rows + r.temp_words;
  const word limit = free - r.excluded;  // the words below the XCLD list
  check_core_plan(fixed + 1, limit + 1);

  const WordSpace& c = core();
  r.u = c.doubles(1, rows);
  r.f = c.doubles(1 + 2 * rows, rows);
  r.temps = c.words(1 + 4 * rows, r.temp_words);
  r.work = c.words(1 + fixed, limit - fixed);
  r.list = c.words(limit + 1, r.excluded);
}

void read_excluded(const Run& r, word XCLD) {
  if (r.excluded == 0) return;
  DBOPEN(XCLD, r.b_est, kRead);
  DBREAD(XCLD, r.list.data(), r.excluded, 1);
  DBCLOS(XCLD, kCloseRewind);
}

// The next column of an open vector block (zeros where it has no terms).
void read_column(word file, const Header& h, std::span<double> v) {
  std::fill(v.begin(), v.end(), 0.0);
  MCB m{file, h[0], h[1], h[2], h[3], h[4], h[5]};
  word first = 1, last = static_cast<word>(v.size()), empty = 0;
  COLGET(m, 2, v.data(), first, last, empty);
}

// The displacement increment: the second column of DUG when it has more than one.
void read_increment(const Run& r, word DUG) {
  const Header h = header_of(DUG);
  DBOPEN(DUG, r.b_est, kRead);
  if (h[0] > 1) DBREAD(DUG, nullptr, 0, 1);
  read_column(DUG, h, r.u);
  DBCLOS(DUG, kCloseRewind);
}

void read_forces(const Run& r, word PGM) {
  const Header h = header_of(PGM);
  if (h[1] != r.rows) elem_fatal(-701, PGM, h[1]);
  DBOPEN(PGM, r.b_est, kRead);
  read_column(PGM, h, r.f);
  DBCLOS(PGM, kCloseRewind);
}

// The element's temperature record: it ends within L words.
std::span<const word> read_temperatures(const Run& r) {
  if (r.entd == 0) return r.temps.first(1);
  word nread = 0, status = 0;
  DBRDST(r.entd, r.temps.data(), r.temp_words, 0, nread, status);
  if (status == kEndOfData) elem_fatal(-2, name_word("ENTD"), nread);
  if (status != kRecordEnded) elem_fatal(-3825, name_word("ENTD"), r.temp_words);
  return r.temps.first(static_cast<std::size_t>(std::max<word>(nread, 0)));
}

// The element's type and material, loaded when they change.
struct Previous {
  word iseq = kNoPrevious, matid = kNoPrevious, group = kNoPrevious;
};

void select_type_and_material(Previous& p) {
  const ESTCOM& e = estcom();
  if (e.ISEQ != p.iseq) {
    ETYPDS(e.ISEQ, 0);
    p.iseq = e.ISEQ;
  }
  if (e.MATID > 0 && (e.MATID != p.matid || e.MGROUP != p.group)) {
    MATSEL(e.MATID, e.MGROUP, 2);
    p.matid = e.MATID;
    p.group = e.MGROUP;
  }
  const word kind = matcom().MATKND;
  if (material_kind(kind).plastic && e.IECOD == kQfla4) sigcom().KPLSHL = -1;
}

void element_pass(Run& r, const ElementNodes* nodes) {
  Previous prev;
  std::size_t next = 0;  // the next entry of the ascending excluded list
  for (word i = 1; i <= r.elements; ++i) {
    const bool active = !(next < r.list.size() && r.list[next] == i);
    if (!active) ++next;
    ESTRD(r.est);
    select_type_and_material(prev);
    EIVRDA(r.eiv0, r.work);
    EIVOPA(r.eiv1);
    const std::span<const word> trec = read_temperatures(r);
    if (active)
      SELEM(r.u, trec, r.f, nodes);
    else
      SINACT();
    EIVWRA(r.eiv1_header);
  }
}

// The nodal-force heading on a new page.
void force_heading() {
  PAGHDR();
  OFPHDG(12, 3);
  sysw().NLINE += 3;
}

void write_unbalanced(const Run& r, word QG) {
  MCB m{QG, 0, r.rows, kRectangular, sysw().IPREC, 0, 0};
  DBOPEN(QG, r.b_est, kWrite);
  COLPUT(m, 2, r.f.data(), 1, r.rows);
  DBCLOS(QG, kCloseRewind);
  HDRPUT(QG, m.header());
}

}  // namespace

void SDR(word EST, word MATD, word EIV0, word DUG, word ENTD, word PGM, word XCLD, word EIV1, word QG, word& SDRFLG) {
  word next = 1;
  OFPRQP(CTRL, next);
  MODBGN("SDR     ");
  Run r;
  r.est = EST;
  r.eiv1 = EIV1;
  const Header est = header_of(EST);
  r.elements = std::max(est[0], 0);
  if (ENTD != 0 && header_of(ENTD)[0] != 0) {
    r.entd = ENTD;
    r.temp_words = header_of(ENTD)[1] + 1;
  }
  if (EIV0 != 0 && header_of(EIV0)[0] != 0) r.eiv0 = EIV0;
  r.eiv1_header = {est[0], 0, est[1], est[4], 0, 1};
  r.rows = std::max(header_of(DUG)[1], 0);
  lay_out(r, MATD, XCLD);
  read_excluded(r, XCLD);
  read_increment(r, DUG);
  read_forces(r, PGM);

  DBOPEN(EST, r.b_est, kRead);
  if (r.eiv0 != 0) DBOPEN(r.eiv0, r.b_eiv0, kRead);
  DBOPEN(EIV1, r.b_eiv1, kWrite);
  if (r.entd != 0) DBOPEN(r.entd, r.b_entd, kRead);
  if (r.entd == 0) r.temps[0] = 0;

  SIGCOM& s = sigcom();
  s.KRERUN = s.KITER = s.KNOTEN = s.KKIND2 = s.KPLSHL = 0;
  word& last = iter_state().SDRLST;
  const bool print = last == 0 && ofpreq()(kPrintReac) >= 0;
  ElementNodes nodes;
  if (print) {
    force_heading();
    nodes.read(STRC, r.b_strc);
  }
  bind_material_views();
  elem_state().nonfinite_element = 0;
  element_pass(r, print ? &nodes : nullptr);

  if (r.entd != 0) DBCLOS(r.entd, kCloseRewind);
  HDRPUT(EIV1, r.eiv1_header);
  DBCLOS(EIV1, kCloseRewind);
  DBCLOS(EST, kCloseRewind);
  if (r.eiv0 != 0) DBCLOS(r.eiv0, kCloseRewind);

  SDRFLG = (s.KRERUN & 1) != 0 ? -1 : (s.KITER & 1) != 0 ? 1 : 0;
  last = SDRFLG;
  write_unbalanced(r, QG);
  if (const word e = elem_state().nonfinite_element; e != 0)
    nonfinite_result(5026, "STRESS", fline("('IN ELEMENT',I8)", {e}));
  else if (const word g = first_unstorable(r.f); g != 0)
    report_unstorable(5027, "FORCE", g, EQIX);
}

}  // namespace zephsol
