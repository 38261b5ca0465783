#include "zephsol/dbio/filesys.h"

#include <cassert>

#include "zephsol/exec/units.h"

namespace zephsol {

namespace {
DbioState g_dbio;
}

DbioState& dbio_state() noexcept { return g_dbio; }

void reset_dbio_state() { g_dbio = DbioState{}; }

FitRow& fit(word unit) noexcept {
  assert(unit >= 1 && unit <= kFitRows && "unit without a FIT row");
  return g_dbio.FIT[static_cast<std::size_t>(unit - 1)];
}

// Deletes the files of the work units that exist. It sits with the file
// system's records, which every user of the file system links, so that the
// run end always finds it.
void SCRDEL() {
  FILCTL& f = g_dbio.filctl;
  for (f.curunt = f.fstwrk; f.curunt < f.fstwrk + f.nwrk; ++f.curunt) {
    f.status = fit(f.curunt).status;
    if (f.status & S_EXISTS) unit_close(f.curunt, true);
  }
}

}  // namespace zephsol
