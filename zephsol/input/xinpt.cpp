// Input phase.
#include "zephsol/input/xinpt.h"

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/pools.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/input/banner.h"
#include "zephsol/input/bulkgrp.h"
#include "zephsol/input/cards.h"
#include "zephsol/input/ctldck.h"
#include "zephsol/input/ifp1.h"
#include "zephsol/input/rstore.h"
#include "zephsol/input/solvlst.h"

namespace zephsol {

namespace {

void set_run_date() {
  const auto d = name_words8(DATMDY());
  sysw().RUNDAT = {d[0], d[1]};
}

// A fresh run starts the construction history from its beginning.
void clear_history_counters() {
  ExecState& e = exec_state();
  e.intctl.NIVSET = 0;
  e.intctl.EXCACT = 0;
  e.intctl.RELINC = 0.0f;
  e.intctl.RELREM = 0.0f;
  e.stp.NINTVL = 0;
  e.stp.NSTEPC = 0;
}

}  // namespace

void XINPT() {
  set_run_date();
  SOLLST();
  CORINI();
  BUFINI();
  BANNER();
  CHRINI();
  CTLDCK();
  XMERGE();
  IFP1();
  if (sysw().IERFLG != 0) RUNEND();
  if (sysw().IRSTRT != 0) {
    RSTORE();
    // Model groups given again (561) end the run before the model phase.
    if (sysw().IERFLG != 0) RUNEND();
    return;
  }
  clear_history_counters();
}

}  // namespace zephsol
