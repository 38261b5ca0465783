// The element matrix generation module: the open-core plan, the pass over
// the elements and the output of the stiffness records and load vectors.
#include "zephsol/elem/emg.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/mattab.h"

namespace zephsol {
namespace {

constexpr word kKeTerms = 1830;  // packed terms of a 60-DOF element
constexpr word kStiffnessSwitch = 54;
constexpr word kNoPrevious = -99;
constexpr word kRecordEnded = 1, kEndOfData = 2;

using Header = std::array<word, 6>;

Header header_of(word file) {
  Header h{};
  if (file != 0) HDRGET(file, h);
  return h;
}

// One record per element, read through a buffer of the block's longest
// record + 1 words; a block that is not read offers the record [0].
struct Stream {
  word file = 0;  // 0: not read
  word name = 0;
  std::span<word> buf;
  std::span<const word> rec;
};

constexpr std::array<word, 1> kNoRecord{0};

struct Run {
  word mode = 0;
  word est = 0, eiv = 0, esk = 0;  // eiv 0: fresh states; esk 0: not written
  word elements = 0, excluded = 0, rows = 0;
  bool print = false;
  std::array<word, 5> buffer{};
  std::span<double> v1, v2, ke;
  Stream loads, temps;
  std::span<word> work, list;
  word largest = 0;          // largest ESK record
  word loaded_inactive = 0;  // excluded elements with loads (MODE 1)
};

[[noreturn]] void short_of_core(std::int64_t needed, std::int64_t available) {
  const auto clamp = [](std::int64_t v) {
    constexpr std::int64_t lo = std::numeric_limits<word>::min(), hi = std::numeric_limits<word>::max();
    return static_cast<word>(std::clamp(v, lo, hi));
  };
  elem_fatal(-3, clamp(needed), clamp(available));
}

bool first_pass() {
  const STPCTR& s = stpctr();
  return s.NINTVL == 1 && s.NSTEP == 1 && s.NITER == 0;
}

// Which blocks are read. Without states the run goes on only in the first
// pass, where every element starts from a fresh state record.
void choose_inputs(Run& r, word EIV, word VEC, word ENTD, word ELOAD) {
  if (r.mode != 0 && VEC != 0) r.rows = header_of(VEC)[1];
  if (r.rows < 0) r.rows = 0;
  if (r.mode != 0 && ELOAD != 0) {
    const Header h = header_of(ELOAD);
    if (h[1] > 1) r.loads = {ELOAD, name_word("EPD"), {}, {}};
  }
  if (r.mode == 1 && ENTD != 0) {
    const Header h = header_of(ENTD);
    if (h[0] != 0) r.temps = {ENTD, name_word("ENTD"), {}, {}};
  }
  if (EIV != 0 && header_of(EIV)[0] != 0) r.eiv = EIV;
  if (r.eiv == 0 && !first_pass()) elem_fatal(-10, 103, name_word("EIV0"));
}

// Carves the vectors, KE, the record buffers, the state work area, the
// excluded-element list and the material table out of the open core.
void lay_out(Run& r, word MATD, word XCLD) {
  const word nbuf = sysw().NBUFSZ;
  for (word k = 1; k <= 5; ++k) r.buffer[static_cast<std::size_t>(k - 1)] = sysw().COREND - k * nbuf;
  const std::int64_t available = std::int64_t{CORLFT(1)} - 5 * std::int64_t{nbuf};
  const std::int64_t lsize = r.loads.file != 0 ? std::int64_t{header_of(r.loads.file)[1]} + 1 : 1;
  const std::int64_t tsize = r.temps.file != 0 ? std::int64_t{header_of(r.temps.file)[1]} + 1 : 1;
  const std::int64_t rows = r.rows;
  const std::int64_t fixed = 4 * rows + 2 * std::int64_t{kKeTerms} + lsize + tsize;
  if (available < 0 || fixed > available) short_of_core(fixed, available);

  const WordSpace& c = core();
  const auto at = [](std::int64_t i) { return static_cast<word>(i); };
  r.v1 = c.doubles(1, rows);
  r.v2 = c.doubles(at(1 + 2 * rows), rows);
  r.ke = c.doubles(at(1 + 4 * rows), kKeTerms);
  const std::int64_t lfirst = 1 + 4 * rows + 2 * std::int64_t{kKeTerms};
  r.loads.buf = c.words(lfirst, lsize);
  r.temps.buf = c.words(lfirst + lsize, tsize);

  const word z = at(1 + fixed);
  word free = at(available - fixed);
  if (MATD != 0) MATLOD(MATD, z, free, r.buffer[0]);
  r.excluded = XCLD != 0 ? std::max(header_of(XCLD)[0], 0) : 0;
  const std::int64_t work = std::int64_t{free} - r.excluded;
  if (work < 0) short_of_core(available - work, available);
  r.work = c.words(z, work);
  r.list = c.words(z + work, r.excluded);
}

void read_excluded(const Run& r, word XCLD) {
  if (r.excluded == 0) return;
  DBOPEN(XCLD, r.buffer[0], kRead);
  DBREAD(XCLD, r.list.data(), r.excluded, 1);
  DBCLOS(XCLD, kCloseRewind);
}

// Vector 1 from the input column (zeros where it has no terms), vector 2 a copy.
void read_input_vector(const Run& r, word VEC) {
  std::fill(r.v1.begin(), r.v1.end(), 0.0);
  const Header h = header_of(VEC);
  if (r.rows > 0 && h[0] >= 1) {
    MCB m{VEC, h[0], h[1], h[2], h[3], h[4], h[5]};
    word first = 1, last = r.rows, empty = 0;
    DBOPEN(VEC, r.buffer[0], kRead);
    COLGET(m, 2, r.v1.data(), first, last, empty);
    DBCLOS(VEC, kCloseRewind);
  }
  std::copy(r.v1.begin(), r.v1.end(), r.v2.begin());
}

void open_blocks(const Run& r) {
  if (r.esk != 0) DBOPEN(r.esk, r.buffer[0], kWrite);
  DBOPEN(r.est, r.buffer[1], kRead);
  if (r.eiv != 0) DBOPEN(r.eiv, r.buffer[2], kRead);
  if (r.loads.file != 0) DBOPEN(r.loads.file, r.buffer[3], kRead);
  if (r.temps.file != 0) DBOPEN(r.temps.file, r.buffer[4], kRead);
}

void close_blocks(const Run& r) {
  DBCLOS(r.est, kCloseRewind);
  if (r.eiv != 0) DBCLOS(r.eiv, kCloseRewind);
  if (r.loads.file != 0) DBCLOS(r.loads.file, kCloseRewind);
  if (r.temps.file != 0) DBCLOS(r.temps.file, kCloseRewind);
}

// The element's record of a stream: it must end within the buffer, whose
// last word is one more than the block's longest record.
void read_record(Stream& s) {
  if (s.file == 0) {
    s.rec = kNoRecord;
    return;
  }
  const auto size = static_cast<word>(s.buf.size());
  word nread = 0, status = 0;
  DBRDST(s.file, s.buf.data(), size, 0, nread, status);
  if (status == kEndOfData) elem_fatal(-2, s.name, nread);
  if (status != kRecordEnded) elem_fatal(-3825, s.name, size);
  s.rec = s.buf.first(static_cast<std::size_t>(nread));
}

// The current element's type and material, loaded when they change.
struct Previous {
  word iseq = kNoPrevious, matid = kNoPrevious, group = kNoPrevious;
};

void select_type_and_material(Previous& p) {
  const ESTCOM& e = estcom();
  if (e.ISEQ != p.iseq) ETYPDS(e.ISEQ, 0);
  if (e.MATID > 0 && (e.MATID != p.matid || e.MGROUP != p.group)) MATSEL(e.MATID, e.MGROUP, 1);
  p = {e.ISEQ, e.MATID, e.MGROUP};
}

void apply_loads(Run& r, bool active) {
  const std::span<const word> rec = r.loads.rec;
  if (r.mode == 1 && active) {
    PELEM(rec, r.v1, r.v2, 1);
  } else if (r.mode == 1) {
    if (rec[0] != 0) ++r.loaded_inactive;  // its loads are not applied
  } else if (r.mode == -1 && !active && eivwka().head[5] == 0) {
    PELEM(rec, r.v1, r.v2, -1);
  }
}

void print_stiffness(std::span<const double> ke, word n) {
  const ESTCOM& e = estcom();
  LINCNT(2);
  fwrite_unit(kListing, "('0/// DIAG.54 /// ELEMENT STIFFNESS, IEXN,IECOD =',2I6)", {e.IEXN, e.IECOD});
  MATPRT(name_word("ESK"), ke, n);
}

// ESK record of the element: [m, the m packed terms], or [0] when excluded.
void write_stiffness(Run& r, bool active) {
  if (!active) {
    const word zero = 0;
    DBWRIT(r.esk, &zero, 1, 1);
    return;
  }
  const word n = etycom().NDOF;
  const word m = n * (n + 1) / 2;
  const std::span<double> ke = r.ke.first(static_cast<std::size_t>(m));
  KELEM(ke, r.temps.rec, r.v1, r.mode);
  DBWRIT(r.esk, &m, 1, 0);
  DBWRDP(r.esk, ke.data(), m, 1);
  r.largest = std::max(r.largest, m);
  if (r.print) print_stiffness(ke, n);
}

void element_pass(Run& r) {
  Previous prev;
  std::size_t next = 0;  // the next entry of the ascending excluded list
  for (word i = 1; i <= r.elements; ++i) {
    while (next < r.list.size() && r.list[next] < i) ++next;
    const bool active = !(next < r.list.size() && r.list[next] == i);
    ESTRD(r.est);
    select_type_and_material(prev);
    EIVRDA(r.eiv, r.work);
    read_record(r.temps);
    read_record(r.loads);
    apply_loads(r, active);
    if (r.esk != 0) write_stiffness(r, active);
  }
}

// One column of nG doubles, its header from the control words.
void write_vector(word file, std::span<const double> v, word buffer) {
  const auto rows = static_cast<word>(v.size());
  MCB m{file, 0, rows, kRectangular, sysw().IPREC, 0, 0};
  DBOPEN(file, buffer, kWrite);
  COLPUT(m, 2, v.data(), 1, rows);
  DBCLOS(file, kCloseRewind);
  HDRPUT(file, m.header());
}

void warn_loads_on_inactive(word count) {
  const char* fmt =
      "('0*** USER WARNING MESSAGE 1301, ',I6,' INACTIVE ELEMENTS  ARE ENDOWED WITH ELEMENT DISTRIBUTED LOADS.')";
  LINCNT(2);
  sysw().IWRNFL = 1;
  fwrite_unit(kListing, fmt, {count});
  fwrite_unit(kErrorLog, fmt, {count});
}

}  // namespace

void EMG(word EST, word MATD, word EIV, word VEC, word ENTD, word ELOAD, word XCLD, word ESK, word VOUT1,
         word VOUT2, word MODE) {
  MODBGN("EMG     ");
  Run r;
  r.mode = MODE;
  r.print = DIAGLV(kStiffnessSwitch) != 0;
  r.est = EST;
  r.esk = MODE == 0 || MODE == 1 ? ESK : 0;
  choose_inputs(r, EIV, VEC, ENTD, ELOAD);
  r.elements = std::max(header_of(EST)[0], 0);
  lay_out(r, MATD, XCLD);
  read_excluded(r, XCLD);
  if (MODE != 0) read_input_vector(r, VEC);
  bind_material_views();
  open_blocks(r);
  element_pass(r);
  if (r.esk != 0) {
    const Header h{r.elements, r.largest, 0, 0, 0, 0};
    HDRPUT(r.esk, h);
    DBCLOS(r.esk, kCloseRewind);
  }
  close_blocks(r);
  if (MODE != 0 && VOUT2 != 0) write_vector(VOUT2, r.v2, r.buffer[0]);
  if (MODE == 1 && VOUT1 != 0) write_vector(VOUT1, r.v1, r.buffer[0]);
  if (r.loaded_inactive > 0) warn_loads_on_inactive(r.loaded_inactive);
}

}  // namespace zephsol
