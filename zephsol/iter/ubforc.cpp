// Release forces of an excavation.
#include "zephsol/iter/ubforc.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

constexpr word kNoPrevious = -99;

word header_word(word file, int k) {
  std::array<word, 6> h{};
  HDRGET(file, h);
  return h[static_cast<std::size_t>(k - 1)];
}

}  // namespace

void UBFORC(word EST, word EIV0, word PGM, word XCLD, word DPGM) {
  MODBGN("UBFORC  ");
  const word elements = header_word(EST, 1);
  const word excluded = XCLD != 0 ? std::max(header_word(XCLD, 1), 0) : 0;
  const word states = EIV0 != 0 && header_word(EIV0, 1) != 0 ? EIV0 : 0;
  MCB pgm{};
  pgm.file = PGM;
  HDRGET(PGM, pgm.header());
  // No PGM before initial stresses give one: zeros over every equation.
  const word ng = std::max(pgm.rows > 0 ? pgm.rows : header_word(EQIX, 2), 0);

  // Core: the vector (doubles) from word 1; two buffers and the list at the top.
  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t available = CORLFT(1);
  const word top = static_cast<word>(1 + available - nbuf);
  const word second = static_cast<word>(top - nbuf);
  const std::int64_t list_first = std::int64_t{second} - excluded;
  const std::int64_t room = list_first - (1 + 2 * std::int64_t{ng});
  if (room < 0) solve_fatal(3, message_word(available - room), message_word(available));
  const auto g = core().doubles(1, ng);
  const auto work = core().words(1 + 2 * std::int64_t{ng}, room);
  const auto list = core().words(list_first, excluded);

  if (excluded > 0) {
    DBOPEN(XCLD, top, kRead);
    DBREAD(XCLD, list.data(), excluded, 1);
    DBCLOS(XCLD, kCloseRewind);
  }
  std::ranges::fill(g, 0.0);
  if (pgm.rows > 0 && pgm.cols > 0) {
    DBOPEN(PGM, top, kRead);
    word first = 1, last = ng, empty = 0;
    COLGET(pgm, 2, g.data(), first, last, empty);
    DBCLOS(PGM, kCloseRewind);
  }

  DBOPEN(EST, top, kRead);
  if (states != 0) DBOPEN(states, second, kRead);
  word iseq = kNoPrevious;
  std::size_t next = 0;  // the next entry of the ascending inactive list
  for (word i = 1; i <= elements; ++i) {
    while (next < list.size() && list[next] < i) ++next;
    const bool active = !(next < list.size() && list[next] == i);
    ESTRD(EST);
    if (estcom().ISEQ != iseq) {
      iseq = estcom().ISEQ;
      ETYPDS(iseq, 0);
    }
    EIVRDA(states, work);
    if (active) FELEM(g);
  }
  DBCLOS(EST, kCloseRewind);
  if (states != 0) DBCLOS(states, kCloseRewind);

  MCB out{DPGM, 0, ng, kRectangular, sysw().IPREC, 0, 0};
  DBOPEN(DPGM, top, kWrite);
  COLPUT(out, 2, g.data(), 1, ng);
  DBCLOS(DPGM, kCloseRewind);
  HDRPUT(DPGM, out.header());
}

}  // namespace zephsol
