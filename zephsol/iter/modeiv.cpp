// State adjustment before a re-execution.
#include "zephsol/iter/modeiv.h"

#include <array>
#include <cstdint>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

enum JointState : word { kSeparated = 1, kStick = 2, kSlip = 3, kPostPeakSlip = 4 };

// Point a of the start state adjusted by the same point b after the first pass.
void adjust_point(EIVWK& a, const EIVWK& b) {
  word& plastic = a.blk.b2.iv[0];
  if (plastic != 0 && a.sw[1] != 0 && b.blk.b2.iv[0] == 0) plastic = 0;
  if (a.sw[10] == 0) return;
  word& state = a.blk.b11.iv[0];
  word& lock = a.blk.b11.iv[1];
  const word b_state = b.blk.b11.iv[0];
  const word b_lock = b.blk.b11.iv[1];
  if (b_state == kStick && state == kSlip) state = kStick;
  if ((state == kSlip || state == kPostPeakSlip) && b_state == kStick) {
    state = kStick;
    lock = b_lock;
  }
  if (b_lock == 1 && lock == 0) lock = 1;
}

}  // namespace

void MODEIV(word EIV0, word EIV1, word EIV2) {
  MODBGN("MODEIV  ");
  std::array<word, 6> header{};
  HDRGET(EIV0, header);
  const word elements = header[0];
  header[1] = 0;
  header[4] = 0;

  const word available = CORLFT(1);
  const std::int64_t nbuf = sysw().NBUFSZ;
  const std::int64_t rest = std::int64_t{available} - 3 * nbuf;
  if (rest < 0) solve_fatal(3, message_word(std::int64_t{available} - rest), available);
  const std::int64_t half = rest / 2;
  const auto area_a = core().words(1, half);
  const auto area_b = core().words(1 + half, half);
  const auto buffer = [&](int k) { return static_cast<word>(1 + rest + k * nbuf); };

  DBOPEN(EIV0, buffer(0), kRead);
  DBOPEN(EIV1, buffer(1), kRead);
  DBOPEN(EIV2, buffer(2), kWrite);
  EIVWK& a = eivwka();
  const EIVWK& b = eivwkb();
  for (word e = 0; e < elements; ++e) {
    EIVRDA(EIV0, area_a);
    EIVRDB(EIV1, area_b);
    EIVOPA(EIV2);
    for (word p = 1; p <= a.head[3]; ++p) {
      EIVGTA(p);
      EIVGTB(p);
      adjust_point(a, b);
      EIVPTA();
    }
    EIVWRA(header);
  }
  HDRPUT(EIV2, header);
  DBCLOS(EIV2, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
  DBCLOS(EIV1, kCloseRewind);
}

}  // namespace zephsol
