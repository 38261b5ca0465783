// The module table of the solver program.
#include <algorithm>
#include <span>

#include "zephsol/program/program.h"
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

namespace zephsol {
namespace {

// The intervals of the "SINTVAL" card, as the control deck left them.
std::span<const word> sintval_list() {
  const auto& s = input_state().sintls;
  const auto n = static_cast<std::size_t>(std::clamp<word>(s.count, 0, 100));
  return {s.list.data(), n};
}

}  // namespace

Modules program_modules() {
  install_element_types(element_type_rows());
  Modules modules{};
  modules.XINPT = XINPT;
  modules.CHKSAV = CHKSAV;
  modules.GP1 = GP1;
  modules.TA2 = TA2;
  modules.TA1 = TA1;
  modules.GP2 = GP2;
  modules.GP3 = GP3;
  modules.INISE2 = INISE2;
  modules.INISET = INISET;
  modules.ACCEPD = ACCEPD;
  modules.MODEPX = MODEPX;
  modules.SINTVAL = sintval_list;
  modules.SDRLST = &iter_state().SDRLST;
  modules.KNOTEN = &sigcom().KNOTEN;
  modules.GP4 = GP4;
  modules.EMG = EMG;
  modules.EMA = EMA;
  modules.MCE = MCE;
  modules.PGMDFY = PGMDFY;
  modules.TRIA = TRIA;
  modules.SOLVE = SOLVE;
  modules.SDR = SDR;
  modules.UBFORC = UBFORC;
  modules.MODEIV = MODEIV;
  modules.CNVTST = CNVTST;
  modules.OFP1 = OFP1;
  modules.OFP1M = OFP1M;
  return modules;
}

}  // namespace zephsol
