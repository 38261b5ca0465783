// Sparse library driver MFSOLV.
#include "zephsol/solve/mfsolv.h"

#include <array>
#include <string>
#include <vector>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/inmsg.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

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

}  // namespace

void MFSOLV(word n, std::span<const word> ia, std::span<const word> ja, std::span<const double> a,
            std::span<double> b, word lw, std::int64_t nmfr_size, double* w, word& ier) {
  const MfsLibrary& lib = solve_state().mfslib;
  ier = 0;
  word needs = 0, needmn = 0;
  lib.xdslin(n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, w, lw, ier);
  if (failed("XDSLIN", ier)) return;
  lib.xdslim('A', ia, ja, w, lw, ier);
  if (failed("XDSLIM", ier)) return;
  lib.xdslif(w, lw, needs, ier);
  if (failed("XDSLIF", ier)) return;
  lib.xdslom(w, lw, needs, ier);
  if (failed("XDSLOM", ier)) return;
  lib.xdslsf(w, lw, needs, needmn, ier);
  if (failed("XDSLSF", ier)) return;

  if (lw < needs) {
    write_units({kListing, kConsole, kErrorLog},
                {"", fline("(1X,'-1, 90, **** ERROR **** Working Memory for MFSLIB ','is not enough. NHOLD=',I10,"
                           "' NEEDS=',I10)",
                           {lw, needs})});
    ier = 1;
    return;
  }
  write_units({kListing, kConsole},
              {"", fline("(1X,'Working Memory for MFSLIB is, NEEDS=',I10,' NEEDMN=',I10,' NHOLD=',I10,"
                         "' NMFR_SIZE=',I10)",
                         {needs, needmn, lw, message_word(nmfr_size)})});

  lib.xdslvm('A', ia, ja, a, w, lw, ier);
  if (failed("XDSLVM", ier)) return;
  lib.xdslvf(w, lw, ier);
  if (failed("XDSLVF", ier)) return;
  double cond = 0.0;
  std::array<word, 3> inertia{};
  lib.xdslfa(w, lw, cond, inertia, ier);
  if (failed("XDSLFA", ier)) return;
  if (inertia[1] != 0 || inertia[2] != 0)
    write_units({kListing, kConsole},
                {fline("(1X,'Number of positive eigenvalue',I8,5X,'Number of negative eigenvalue',I8,5X,"
                       "'Number of ZERO eigenvalue',I8)",
                       {inertia[0], inertia[1], inertia[2]})});
  lib.xdslsl(1, b.data(), n, w, lw, ier);
  failed("XDSLSL", ier);
}

}  // namespace zephsol
