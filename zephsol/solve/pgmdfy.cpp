// Zeroing of load terms on inactive DOFs.
#include "zephsol/solve/pgmdfy.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

constexpr word kNoActiveElement = 512;

}  // namespace

void PGMDFY(word USET, word IN, word OUT) {
  MODBGN("PGMDFY  ");
  std::array<word, 6> h{};
  HDRGET(USET, h);
  const word ng = h[0];
  MCB in{};
  in.file = IN;
  HDRGET(IN, in.header());
  if (in.rows == 0) return;
  if (in.rows != ng) solve_fatal(701, IN, in.rows);

  const word available = CORLFT(1);
  const std::int64_t need = 3 * std::int64_t{ng} + sysw().NBUFSZ;
  if (need > available) solve_fatal(3, message_word(need), available);
  const word buffer = static_cast<word>(std::int64_t{available} + 1 - sysw().NBUFSZ);
  const auto vector = core().doubles(1, ng);
  const auto sets = core().words(2 * std::int64_t{ng} + 1, ng);

  DBOPEN(USET, buffer, kRead);
  DBREAD(USET, sets.data(), ng, 1);
  DBCLOS(USET, kCloseRewind);

  const word prec = sysw().IPREC;
  std::ranges::fill(vector, 0.0);
  if (in.cols > 0) {
    DBOPEN(IN, buffer, kRead);
    word first = 1, last = ng, empty = 0;
    COLGET(in, prec, vector.data(), first, last, empty);
    DBCLOS(IN, kCloseRewind);
  }
  for (std::size_t i = 0; i < vector.size(); ++i)
    if ((sets[i] & kNoActiveElement) != 0) vector[i] = 0.0;

  MCB out{OUT, 0, ng, kRectangular, prec, 0, 0};
  DBOPEN(OUT, buffer, kWrite);
  COLPUT(out, prec, vector.data(), 1, ng);
  DBCLOS(OUT, kCloseRewind);
  out.density = density_of(out.density, ng, 1);
  HDRPUT(OUT, out.header());
}

}  // namespace zephsol
