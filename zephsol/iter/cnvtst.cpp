// Convergence test of the non-linear iteration.
#include "zephsol/iter/cnvtst.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/sjis_convergence.h"
#include "zephsol/solve/sdcmsg.h"

namespace zephsol {

namespace {

constexpr word kFreeOnActive = 256;
constexpr std::string_view kNormLine = "(10X,A,1PE13.5)";

enum Criterion : word { kNone = 0, kDisplacement = 1, kForce = 2, kBoth = 3 };

bool tests_displacement(word kind) { return kind == kDisplacement || kind == kBoth; }
bool tests_force(word kind) { return kind >= kForce; }

// Connects the convergence log. Until this run has written to it, the file
// is written from its start (a log left by an earlier run is replaced);
// afterwards each connection goes on after the lines already written.
void open_log() {
  UNTOPN(kConvergenceLog, name_word("CONV"), 0, 4);
  if (iter_state().convergence_log_written) unit_append(kConvergenceLog);
}

void write_log(std::string_view format, std::initializer_list<FmtArg> args) {
  fwrite_unit(kConvergenceLog, format, args);
  iter_state().convergence_log_written = true;
}

// The first column of a vector block, unpacked as REAL into v: false when
// the block holds no term (header word 5 = 0, or an empty column).
bool unpack_vector(word file, word buffer, std::span<float> v) {
  MCB m{};
  m.file = file;
  HDRGET(file, m.header());
  if (m.rows != static_cast<word>(v.size())) solve_fatal(701, file, m.rows);
  if (m.maxcol == 0) return false;
  std::ranges::fill(v, 0.0f);
  DBOPEN(file, buffer, kRead);
  word first = 1, last = m.rows, empty = 0;
  COLGET(m, kRealSingle, v.data(), first, last, empty);
  DBCLOS(file, kCloseRewind);
  return empty == 0;
}

// sqrt(sum v_i^2) in REAL arithmetic, over the rows that count.
template <class Counts>
float norm(std::span<const float> v, Counts counts) {
  float sum = 0.0f;
  for (std::size_t i = 0; i < v.size(); ++i)
    if (counts(i)) sum += v[i] * v[i];
  return std::sqrt(sum);
}

struct Norms {
  float d = 0.0f;      // displacement increment of this call
  float f = 0.0f;      // unbalanced force of this call
  bool stalled = false;  // converged by |F - Fprev| / F1 alone
};

// A ratio of the log; over a zero reference it is 0.
float log_ratio(float value, float reference) { return reference != 0.0f ? value / reference : 0.0f; }

// Message 5020 and the norm lines on the listing and the convergence log.
void report(word kind, const Norms& n, float d1, float f1, float fprev, float dacc, word conv) {
  const STPCTR& s = stpctr();
  const float tol = sysw().CNVTOL;
  LINCNT(2 + (tests_displacement(kind) ? 3 : 0) + (tests_force(kind) ? 3 : 0));
  fwrite_unit(kListing,
              "('0*** SYSTEM INFORMATION MESSAGE 5020, CONVERGENCE CRITERIA AT INTERVAL',I5,' STEP',I5,"
              "' ITERATION',I5,' FOLLOWS --')",
              {s.NINTVL, s.NSTEP, s.NITER});
  if (tests_displacement(kind)) {
    fwrite_unit(kListing, kNormLine, {" NORM OF INCREMENTAL DISPLACEMENT VECTOR =", n.d});
    fwrite_unit(kListing, kNormLine, {" NORM OF ACCUMULATED DISPLACEMENT VECTOR =", d1});
    fwrite_unit(kListing, kNormLine, {" NORM OF TOTAL       DISPLACEMENT VECTOR =", dacc});
    write_log(kNormLine, {kSjisIncrement, n.d});
    write_log(kNormLine, {kSjisAccumulated, d1});
    write_log(kNormLine, {kSjisIncrementSum, dacc});
    write_log(kNormLine, {kSjisDispRatio, log_ratio(n.d, dacc)});
    write_log(kNormLine, {kSjisDispTolerance, tol});
  }
  if (tests_force(kind)) {
    fwrite_unit(kListing, kNormLine, {"         NORM OF UNBALANCED FORCE VECTOR =", n.f});
    fwrite_unit(kListing, kNormLine, {"NORM OF PREVIOUS UNBALANCED FORCE VECTOR =", fprev});
    fwrite_unit(kListing, kNormLine, {"NORM OF ORIGINAL UNBALANCED FORCE VECTOR =", f1});
    write_log(kNormLine, {kSjisForce, n.f});
    write_log(kNormLine, {kSjisForcePrev, fprev});
    write_log(kNormLine, {kSjisForceFirst, f1});
    write_log(kNormLine, {kSjisForceRatio, log_ratio(std::abs(n.f - fprev), f1)});
    write_log(kNormLine, {kSjisForceTolerance, tol});
  }
  fwrite_unit(kListing, conv < 0 ? "(10X,'ITERATION CONVERGED')" : "(10X,'ITERATION NOT CONVERGED')");
}

// A step accepted because the unbalanced force stopped changing while it is
// still above the tolerance of the first solution's force says so.
void warn_stalled(float ratio) {
  const STPCTR& s = stpctr();
  const std::string line =
      fline("('0*** SYSTEM WARNING MESSAGE 5024, ITERATION ACCEPTED AS CONVERGED BECAUSE THE UNBALANCED FORCE"
            " STOPPED CHANGING AT INTERVAL',I5,' STEP',I5,' ITERATION',I5,', F/F(1) =',1PE13.5)",
            {s.NINTVL, s.NSTEP, s.NITER, ratio});
  LINCNT(2);
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
  write_log("(A)", {line});
}

}  // namespace

void CNVTST(word USET, word DUG, word QG, word first, float& d1, float& f1, float& fprev, float& dacc,
            word& conv) {
  MODBGN("CNVTST  ");
  open_log();
  conv = -1;
  const word kind = sysw().ICNVKD;
  if (kind < kDisplacement) return;

  std::array<word, 6> h{};
  HDRGET(USET, h);
  const word ng = h[0];
  const word available = CORLFT(1);
  const std::int64_t below = std::int64_t{available} - sysw().NBUFSZ;
  if (below < 2 * std::int64_t{ng})
    solve_fatal(3, message_word(std::int64_t{available} + 2 * std::int64_t{ng} - below), available);
  const word buffer = static_cast<word>(below + 1);
  const auto v = core().floats(1, ng);
  const auto sets = core().words(std::int64_t{ng} + 1, ng);

  if (first == 1) {
    fprev = 0.0f;
    dacc = 0.0f;
  }
  const float tol = sysw().CNVTOL;
  const bool changes_materials = stpctr().IVW4 >= 0;
  Norms n;
  bool displacement_failed = false;

  if (tests_displacement(kind) && unpack_vector(DUG, buffer, v)) {
    n.d = norm(v, [](std::size_t) { return true; });
    if (first != 1) {
      bool pass = false;
      if (d1 != 0.0f) pass = changes_materials ? n.d <= d1 : (n.d / d1 <= tol || n.d / dacc <= tol);
      if (!pass) {
        conv = 0;
        displacement_failed = true;
      }
    }
  }

  if (tests_force(kind) && !displacement_failed && unpack_vector(QG, buffer, v)) {
    DBOPEN(USET, buffer, kRead);
    DBREAD(USET, sets.data(), ng, 1);
    DBCLOS(USET, kCloseRewind);
    n.f = norm(v, [&](std::size_t i) { return (sets[i] & kFreeOnActive) != 0; });
    if (first == 1) {
      conv = 0;
    } else if (f1 != 0.0f) {
      if (changes_materials) {
        conv = n.f <= f1 ? -1 : 0;
      } else if (n.f / f1 <= tol) {
        conv = -1;
      } else {
        n.stalled = std::abs(n.f - fprev) / f1 <= tol;
        conv = n.stalled ? -1 : 0;
      }
    }
  }

  if (first != 1) {
    if (DIAGLV(55) != 0) report(kind, n, d1, f1, fprev, dacc, conv);
    if (n.stalled) warn_stalled(n.f / f1);
    fprev = n.f;
    dacc += n.d;
  } else {
    d1 = n.d;
    f1 = n.f;
    fprev = n.f;
    dacc += n.d;
  }
  UNTCLS(kConvergenceLog);
}

}  // namespace zephsol
