// Sparse library driver MFSOLV.
#include "zephsol/solve/mfsolv.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/threads.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"
#include "zephsol/sparse/blas.h"

namespace zephsol {

namespace {

void write_units(std::initializer_list<int> units, std::initializer_list<std::string_view> lines) {
  for (int u : units)
    for (std::string_view line : lines) unit_write_line(u == kConsole ? sysw().LOGUNT : u, line);
}

// " ERROR IN <entry>, IER=" and the code, as a list-directed write prints
// them, on the listing, the log unit and the error log.
bool failed(const char* entry, word ier) {
  if (ier == 0) return false;
  write_units({kListing, kConsole, kErrorLog},
              {fline("(1X,A,I12)", {std::string(" ERROR IN ") + entry + ", IER=", ier})});
  return true;
}

// The way the run goes, at the end of the working-memory line.
std::string_view way(const MfsFigures& f, word lw) {
  return f.needs > 0 && lw >= f.needs ? " IN CORE" : " OUT OF CORE (FACTOR AND STACK ON FILES)";
}

// The structural phases up to the symbolic factorisation; false when one
// failed (ier set, its error line written when loud).
bool analyse(const MfsLibrary& lib, word n, std::span<const word> ia, std::span<const word> ja, double* w, word lw,
             MfsFigures& f, word& ier, bool loud) {
  const auto failed_here = [&](const char* entry) { return loud ? failed(entry, ier) : ier != 0; };
  word need = 0;
  lib.xdslin(n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, w, lw, ier);
  if (failed_here("XDSLIN")) return false;
  lib.xdslim('A', ia, ja, w, lw, ier);
  if (failed_here("XDSLIM")) return false;
  lib.xdslif(w, lw, need, ier);
  if (failed_here("XDSLIF")) return false;
  lib.xdslom(w, lw, need, ier);
  if (failed_here("XDSLOM")) return false;
  lib.xdslsf(w, lw, f.needs, f.needmn, ier);
  return !failed_here("XDSLSF");
}

// Notes the rows whose pivot kept only a few digits of their diagonal in
// the matrix given (the solve driver names their nodes).
void watch_pivots(const MfsLibrary& lib, word n, std::span<const word> ia, std::span<const word> ja,
                  std::span<const double> a, double* w, word lw) {
  std::vector<double> d(static_cast<std::size_t>(n));
  if (lib.pivots == nullptr || !lib.pivots(w, lw, d)) return;
  start_pivot_watch(n);
  std::vector<double>& diagonal = solve_state().diagonal;
  for (word j = 1; j <= n; ++j) {
    for (word p = ia[static_cast<std::size_t>(j - 1)]; p < ia[static_cast<std::size_t>(j)]; ++p)
      if (ja[static_cast<std::size_t>(p - 1)] == j) diagonal[static_cast<std::size_t>(j)] = a[static_cast<std::size_t>(p - 1)];
    watch_pivot(j, d[static_cast<std::size_t>(j - 1)]);
  }
}

}  // namespace

void MFSOLV(word n, std::span<const word> ia, std::span<const word> ja, std::span<const double> a,
            std::span<double> b, word lw, std::int64_t nmfr_size, double* w, word& ier) {
  const MfsLibrary& lib = solve_state().mfslib;
  std::optional<MfsFigures>& figures = solve_state().mfsfig;
  figures.reset();
  ier = 0;
  MfsFigures f;
  if (!analyse(lib, n, ia, ja, w, lw, f, ier, true)) return;
  figures = f;

  if (lw < f.needmn) {
    write_units({kListing, kConsole, kErrorLog},
                {"", fline("(1X,'-1, 90, **** ERROR **** Working Memory for MFSLIB ','is not enough. NHOLD=',I10,"
                           "' NEEDS=',I10)",
                           {FmtArg::whole(lw), FmtArg::whole(f.needs)})});
    ier = 1;
    return;
  }
  write_units({kListing, kConsole},
              {"", fline("(1X,'Working Memory for MFSLIB is, NEEDS=',I10,' NEEDMN=',I10,' NHOLD=',I10,"
                         "' NMFR_SIZE=',I10,A)",
                         {FmtArg::whole(f.needs), FmtArg::whole(f.needmn), FmtArg::whole(lw),
                          FmtArg::whole(nmfr_size), way(f, lw)})});

  // The factorisation fills its area once, in core: its memory is backed
  // beforehand rather than fault by fault on its way, by the other threads
  // the factorisation may use while this one distributes the values (by
  // this one first when it is the only one).
  const int threads = sparse::factor_threads();
  const std::size_t area = lw >= f.needs ? static_cast<std::size_t>(f.needs) * sizeof(double) : 0;
  std::jthread backing;
  if (threads > 1)
    backing = std::jthread([=] { prefault(w, area, threads - 1); });
  else
    prefault(w, area, 1);
  lib.xdslvm('A', ia, ja, a, w, lw, ier);
  if (failed("XDSLVM", ier)) return;
  lib.xdslvf(w, lw, ier);
  if (failed("XDSLVF", ier)) return;
  if (backing.joinable()) backing.join();
  double cond = 0.0;
  std::array<word, 3> inertia{};
  lib.xdslfa(w, lw, cond, inertia, ier);
  if (failed("XDSLFA", ier)) return;
  if (inertia[1] != 0 || inertia[2] != 0)
    write_units({kListing, kConsole},
                {fline("(1X,'Number of positive eigenvalue',I8,5X,'Number of negative eigenvalue',I8,5X,"
                       "'Number of ZERO eigenvalue',I8)",
                       {inertia[0], inertia[1], inertia[2]})});
  watch_pivots(lib, n, ia, ja, a, w, lw);
  lib.xdslsl(1, b.data(), n, w, lw, ier);
  failed("XDSLSL", ier);
}

std::optional<MfsFigures> mfs_figures(word n, std::span<const word> ia, std::span<const word> ja) {
  const MfsLibrary& lib = solve_state().mfslib;
  // A first guess of the room the structural phases take, doubled while
  // they report too little.
  std::int64_t lw = 300 + 8 * (std::int64_t{n} + 1) + 2 * static_cast<std::int64_t>(ja.size());
  if (lib.quiet) lib.quiet(true);
  std::optional<MfsFigures> out;
  for (int attempt = 0; attempt < 8 && lw <= INT32_MAX; ++attempt, lw *= 2) {
    std::vector<double> w(static_cast<std::size_t>(lw));
    MfsFigures f;
    word ier = 0;
    if (analyse(lib, n, ia, ja, w.data(), static_cast<word>(lw), f, ier, false)) {
      out = f;
      break;
    }
    if (ier % 100 != -1) break;
  }
  if (lib.quiet) lib.quiet(false);
  return out;
}

}  // namespace zephsol
