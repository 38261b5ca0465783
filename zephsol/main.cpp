// The solver program: binds the real modules into the module table and runs
// the analysis. Modules that do not exist yet stay unbound (null).
#include <algorithm>
#include <span>

#include "zephsol/drive/modules.h"
#include "zephsol/elem/emg.h"
#include "zephsol/input/chksav.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/xinpt.h"
#include "zephsol/iter/cnvtst.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/iter/modeiv.h"
#include "zephsol/iter/sdr.h"
#include "zephsol/iter/ubforc.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/model/accepd.h"
#include "zephsol/model/gp1.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp4.h"
#include "zephsol/model/gp3.h"
#include "zephsol/model/iniset.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta2.h"
#include "zephsol/output/ofp1.h"
#include "zephsol/solve/ema.h"
#include "zephsol/solve/mce.h"
#include "zephsol/solve/pgmdfy.h"
#include "zephsol/solve/solve.h"
#include "zephsol/solve/tria.h"

namespace {

// The intervals of the "SINTVAL" card, as the control deck left them.
std::span<const zephsol::word> sintval_list() {
  const auto& s = zephsol::input_state().sintls;
  const auto n = static_cast<std::size_t>(std::clamp<zephsol::word>(s.count, 0, 100));
  return {s.list.data(), n};
}

}  // namespace

int main() {
  zephsol::Modules modules{};
  modules.XINPT = zephsol::XINPT;
  modules.CHKSAV = zephsol::CHKSAV;
  modules.GP1 = zephsol::GP1;
  modules.TA2 = zephsol::TA2;
  modules.TA1 = zephsol::TA1;
  modules.GP2 = zephsol::GP2;
  modules.GP3 = zephsol::GP3;
  modules.INISE2 = zephsol::INISE2;
  modules.INISET = zephsol::INISET;
  modules.ACCEPD = zephsol::ACCEPD;
  modules.MODEPX = zephsol::MODEPX;
  modules.SINTVAL = sintval_list;
  modules.SDRLST = &zephsol::iter_state().SDRLST;
  modules.KNOTEN = &zephsol::sigcom().KNOTEN;
  modules.GP4 = zephsol::GP4;
  modules.EMG = zephsol::EMG;
  modules.EMA = zephsol::EMA;
  modules.MCE = zephsol::MCE;
  modules.PGMDFY = zephsol::PGMDFY;
  modules.TRIA = zephsol::TRIA;
  modules.SOLVE = zephsol::SOLVE;
  modules.SDR = zephsol::SDR;
  modules.UBFORC = zephsol::UBFORC;
  modules.MODEIV = zephsol::MODEIV;
  modules.CNVTST = zephsol::CNVTST;
  modules.OFP1 = zephsol::OFP1;
  modules.OFP1M = zephsol::OFP1M;
  zephsol::ZEPH(modules);
}
