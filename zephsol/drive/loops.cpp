// The interval and step loops of the construction history.
#include "zephsol/drive/loops.h"

#include <algorithm>
#include <array>
#include <string>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/mtxadd.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {


constexpr word kTrue = -1;
constexpr word kFalse = 0;

// A region whose remaining fraction is at or below this is fully released.
constexpr float kReleased = 0.001f;

// Diagnostic switch that prints the re-execution notice.
constexpr word kRerunNoticeSwitch = 57;

RELSWD g_relswd;

// What the loops keep for the whole run besides the release bookkeeping:
// the outputs of GP4 for the current interval, the status of the last stress
// recovery and the convergence state that CNVTST keeps between its calls.
struct Loop {
  const Modules& m;
  const SolverWork& solwrk;
  word LASTIV = 0;
  word EXCAVF = 0;
  word NSTEPS = 0;
  float RELFAC = 0.0f;
  word LSTGRP = 0;
  word SDRFLG = 0;
  float first_displacement_norm = 0.0f;
  float first_force_norm = 0.0f;
  float previous_force_norm = 0.0f;
  float accumulated_displacement_norm = 0.0f;
  word converged = 0;
};

// One solution pass: element matrices, assembly, solution and stress
// recovery. The first solution of a step also generates the step's element
// loads and forms the step load; a re-execution starts from the adjusted
// states EIV2; an iteration solves for the unbalanced force without
// prescribed displacements.
struct Pass {
  word state;  // state block of the element matrices and the stress recovery
  word load;   // DPG or QG
  word ys;     // YS, or 0: the prescribed displacements give no increment
  word entd;   // ENTD, or 0: no element temperatures in the stress recovery
  bool first;  // the first solution of the step
};

constexpr Pass kFirstSolution{EIV0, DPG, YS, ENTD, true};
constexpr Pass kReexecution{EIV2, DPG, YS, ENTD, false};
constexpr Pass kIteration{EIV0, QG, 0, 0, false};

enum class StepEnd { NextStep, NextInterval, EndBlock };

bool failed() { return sysw().IERFLG != 0; }
INTCTL& intctl() { return exec_state().intctl; }
bool releasing() { return intctl().EXCACT != kFalse; }

// Case P: the current region is slot 1's while slot 2 is open; the release
// terms then go through EGED (the first region's vector). Case Q: any other.
bool second_slot_case() {
  const RELSWD& r = g_relswd;
  return r.R2 != 0 && r.EXREGN == r.R1;
}

// Writes one line on the listing and again on the error log.
void write_both(const std::string& line) {
  unit_write_line(kListing, line);
  unit_write_line(kErrorLog, line);
}

// A fatal condition the loops report themselves: IERFLG := 1, two lines
// counted, the line on the listing and the error log.
void fatal_line(const std::string& line) {
  sysw().IERFLG = 1;
  LINCNT(2);
  write_both(line);
}

bool all_modules_bound(const Modules& m) {
  return m.GP4 && m.ACCEPD && m.MODEPX && m.EMG && m.EMA && m.MCE && m.PGMDFY && m.TRIA && m.SOLVE && m.SDR &&
         m.UBFORC && m.MODEIV && m.CNVTST && m.OFP1 && m.OFP1M;
}

// ------------------------------------------------------------ intervals

// Region slots of a new interval: an excavation takes slot 1 when it is
// free, and a region other than slot 1's takes a free slot 2.
void take_region_slots(const Loop& L) {
  RELSWD& r = g_relswd;
  if (L.EXCAVF < 0 && r.EXREGN != 0 && r.R1 == 0) r.R1 = r.EXREGN;
  if (r.R1 != 0 && r.R2 == 0 && r.EXREGN != r.R1) r.R2 = r.EXREGN;
}

// The state after the last step of an interval, with the release
// bookkeeping's vector EGED (the words of RELSWD go with it).
void checkpoint_interval(const Loop& L) {
  if (L.m.CHKSAV == nullptr) return;
  L.m.CHKSAV(UG, QG, PGM, EPX, EIV0, XQGV, UGSV, EGED, 0, 0, 1);
}

// An interval of the decoder's interval list runs one pass and is reported
// by the material-change output, unless it is the last interval.
bool one_pass_interval(const Loop& L) {
  if (L.LASTIV < 0) return false;
  const IFPFLG& f = ifpflg();
  const word n = std::clamp<word>(f.IFPNIV, 0, IFPFLG::kMaxIntervals);
  return std::find(f.IFPIVL.begin(), f.IFPIVL.begin() + n, stpctr().NINTVL) != f.IFPIVL.begin() + n;
}

// ------------------------------------------------------------- vectors

// The step's load: PGM += DPGM; DPG := QG + DPG (the new loads plus the
// unbalanced force left by the previous step), less the release share.
void form_step_load() {
  ADDVG(PGM, DPGM, PGM, 1.0f);
  ADDVG(QG, DPG, DPG, 1.0f);
  if (!releasing()) return;
  RELSWD& r = g_relswd;
  const float d = intctl().RELINC;
  if (second_slot_case()) {
    ADDVG(DPG, EGED, DPG, -d);
    return;
  }
  ADDVG(DPG, XQGV, DPG, -d);
  if (r.EXREGN > r.R1) {
    r.c = r.a * d;
    ADDVG(DPG, EGED, DPG, r.c);
  }
}

// The release still to come goes back into the unbalanced force QG.
// advance: the first pass of a step, which also spends the step's fraction
// d of the current region; iterations repeat the rest with the same words.
void release_bookkeeping(const Loop& L, bool advance) {
  RELSWD& r = g_relswd;
  INTCTL& ic = intctl();
  const float d = ic.RELINC;
  if (advance) {
    r.p = ic.RELREM;
    if (r.EXREGN == r.R1) {
      r.F1 -= d;
      ic.RELREM = r.F1;
    }
    if (r.EXREGN == r.R2) {
      r.q = r.F2;
      r.F2 -= d;
      ic.RELREM = r.F2;
    }
  }
  if (second_slot_case()) {
    ADDVG(XQGV, EGED, EGEE, -r.a);
    ADDVG(QG, EGEE, QG, r.p);
    ic.RELREM = r.a - d;
    if (ic.RELREM > kReleased) ADDVG(QG, EGED, QG, ic.RELREM);
    return;
  }
  if (ic.RELREM > kReleased) ADDVG(QG, XQGV, QG, ic.RELREM);
  if (r.EXREGN > r.R1) {
    // At the excavation's first step c keeps the value a d of the step load.
    if (L.EXCAVF >= 0) r.c = (1.0f - r.q + d) * r.F1 - (r.a - r.F1) * ic.RELREM;
    ADDVG(QG, EGED, QG, r.c);
  }
}

// An accepted pass: UG += DUG, the new states become the current ones, and
// the release still to come is added to the unbalanced force.
void accept_pass(const Loop& L, bool advance) {
  ADDVG(UG, DUG, UG, 1.0f);
  DBSWAP(EIV0, EIV1);
  if (releasing()) release_bookkeeping(L, advance);
}

// ----------------------------------------------------------- solution

void print_sparse_method_heading() {
  const std::string stars = "      " + std::string(54, '*');
  std::string title = "                      MULTI FRONTAL METHOD";
  title.resize(60, ' ');
  for (const std::string& line : {std::string(), stars, title, stars}) unit_write_line(kListing, line);
}

// Assembly, reduction and solution by the chosen method: 1 conjugate
// gradients, 2 sparse multifrontal (with its heading before the first
// solution of a step), any other the profile decomposition.
bool solve_sequence(const Loop& L, const Pass& pass) {
  const Modules& m = L.m;
  m.EMA(ESK, ECT, ADIC, ROTB, KGG);
  m.MCE(USET, KGG, GST, KLL, KSS, GKFS);
  const word isolvr = sysw().ISOLVR;
  const word method = (isolvr == kPcgMethod || isolvr == kSparseMethod) ? isolvr : kProfileMethod;
  word stiffness = KLL;
  if (method == kSparseMethod && pass.first) print_sparse_method_heading();
  if (method == kProfileMethod) {
    m.TRIA(KLL, USET, EQIX, LLL);
    if (failed()) return false;
    stiffness = LLL;
  }
  m.SOLVE(USET, stiffness, pass.load, pass.ys, GST, KSS, GKFS, ROTB, DUG, OQGV, method, L.solwrk);
  return !failed();
}

// One solution pass; false when the run is to go to the end block.
bool solution_pass(Loop& L, const Pass& pass) {
  const Modules& m = L.m;
  if (pass.first)
    m.EMG(EST, MATD, pass.state, DPG0, ENTD, EPD, XCLD, ESK, DPG, DPGM, 1);
  else
    m.EMG(EST, MATD, pass.state, 0, 0, 0, XCLD, ESK, 0, 0, 0);
  if (failed()) return false;
  if (pass.first) form_step_load();
  if (!solve_sequence(L, pass)) return false;
  m.SDR(EST, MATD, pass.state, DUG, pass.entd, PGM, XCLD, EIV1, QG, L.SDRFLG);
  return !failed();
}

// A step whose plastic states changed runs once more on adjusted states.
bool reexecute(Loop& L) {
  if (DIAGLV(kRerunNoticeSwitch) != 0) {
    LINCNT(3);
    const STPCTR& s = stpctr();
    fwrite_unit(kListing,
                "('0*** SYSTEM INFORMATION MESSAGE 5023,  PLAST/ELAST STATUS  MAY CHANGE AT INTERVAL',"
                "I5,',  STEP',I5/10X,'RE-EXECUTE THIS STEP.')",
                {s.NINTVL, s.NSTEP});
  }
  L.m.MODEIV(EIV0, EIV1, EIV2);
  return solution_pass(L, kReexecution);
}

// ------------------------------------------------------------ iteration

bool iteration_wanted(const Loop& L) {
  const SYSWRD& s = sysw();
  if (L.SDRFLG == 0 || s.ICNVKD == 0 || s.MAXITR <= 0) return false;
  std::array<word, 6> header{};
  HDRGET(DUG, header);
  return header[4] != 0;
}

void convergence_test(Loop& L, word first) {
  L.m.CNVTST(USET, DUG, QG, first, L.first_displacement_norm, L.first_force_norm, L.previous_force_norm,
             L.accumulated_displacement_norm, L.converged);
}

void iteration_limit(const Loop& L) {
  const STPCTR& s = stpctr();
  const bool cut_off = L.m.KNOTEN != nullptr && *L.m.KNOTEN != 0;
  fatal_line(cut_off ? fline("('0*** USER FATAL MESSAGE 5022, NO-TENSION ITERATION LIMIT EXCEEDED AT INTERVAL',"
                             "I6,' STEP',I6)",
                             {s.NINTVL, s.NSTEP})
                     : fline("('0*** USER FATAL MESSAGE 5021, ITERATION LIMIT EXCEEDED AT INTERVAL',I6,' STEP',I6)",
                             {s.NINTVL, s.NSTEP}));
}

// Equilibrium iterations on the unbalanced force until the convergence test
// passes; at the limit the step is accepted only with "CONT".
bool iterate(Loop& L) {
  convergence_test(L, 1);
  STPCTR& s = stpctr();
  for (;;) {
    s.NITER += 1;
    if (!solution_pass(L, kIteration)) return false;
    accept_pass(L, false);
    convergence_test(L, 0);
    if (L.converged < 0) return true;
    if (s.NITER >= sysw().MAXITR) {
      if (sysw().ICONT == 1) return true;
      iteration_limit(L);
      return false;
    }
  }
}

// ----------------------------------------------------------------- steps

void begin_step(const Loop& L) {
  STPCTR& s = stpctr();
  s.NSTEPC += 1;
  s.NITER = 0;
  if (L.m.SDRLST != nullptr) *L.m.SDRLST = 0;
  fwrite_unit(sysw().LOGUNT, "(' ============  INTERVAL',I5,', STEP',I5,'  ========')", {s.NINTVL, s.NSTEP});
}

// First step of an excavation: the removed elements' loads leave PGM, and
// the release vector XQGV = QG - DPGM is formed. While slot 2 is free, EGED
// keeps a copy of it as the first region's vector.
bool start_excavation(const Loop& L) {
  const Modules& m = L.m;
  RELSWD& r = g_relswd;
  if (r.EXREGN != r.R1 && r.EXREGN != r.R2 && (r.F1 < 1.0f || r.F2 < 1.0f)) {
    fatal_line("0*** USER FATAL MESSAGE 2882, CANNOT EXCAVATE MORE THAN THREE REGIONS AT SAME TIME");
    return false;
  }
  INTCTL& ic = intctl();
  ic.RELREM = 1.0f;
  ic.EXCACT = kTrue;
  m.EMG(EST, MATD, EIV0, PGM, 0, EPX, XCLD, 0, 0, PGM, -1);
  if (failed()) return false;
  m.PGMDFY(USET, PGM, PGM);
  m.MODEPX(EPX, XCLD, EPY);
  DBSWAP(EPY, EPX);
  m.UBFORC(EST, EIV0, PGM, XCLD, DPGM);
  ADDVG(QG, DPGM, XQGV, -1.0f);
  if (r.R2 == 0) {
    ADDVG(XQGV, XQGV, EGED, 0.0f);
    r.a = 1.0f - ic.RELINC;
  }
  return true;
}

// The step's element load records join the running total EPX.
void accumulate_element_loads(const Loop& L) {
  L.m.ACCEPD(EPX, EPD, EPY);
  DBSWAP(EPY, EPX);
}

// The last step of the interval before one that the "SINTVAL" card lists
// keeps the displacements as the base of relative displacements.
void keep_relative_displacement_base(const Loop& L) {
  const STPCTR& s = stpctr();
  if (sysw().ISINTV == 0 || s.NSTEP != L.NSTEPS || L.m.SINTVAL == nullptr) return;
  const std::span<const word> list = L.m.SINTVAL();
  if (std::any_of(list.begin(), list.end(), [&](word v) { return v != 0 && s.NINTVL == v - 1; }))
    DBCOPY(UG, UGSV);
}

// Both slots are freed once the open regions are fully released.
void free_released_regions() {
  if (!releasing()) return;
  RELSWD& r = g_relswd;
  const bool done = r.R2 == 0 ? r.F1 <= kReleased : (r.F1 <= kReleased && r.F2 <= kReleased);
  if (!done) return;
  r.R1 = 0;
  r.R2 = 0;
  r.F1 = 1.0f;
  r.F2 = 1.0f;
  intctl().EXCACT = kFalse;
  HDRCLR(XQGV);
  HDRCLR(EGEE);
  r.EXREGN = 0;
}

StepEnd run_step(Loop& L) {
  const Modules& m = L.m;
  STPCTR& s = stpctr();
  begin_step(L);
  if (s.NSTEP == 1 && L.EXCAVF < 0 && !start_excavation(L)) return StepEnd::EndBlock;
  accumulate_element_loads(L);
  if (!solution_pass(L, kFirstSolution)) return StepEnd::EndBlock;
  if (L.SDRFLG < 0 && sysw().IRERUN >= 0 && !reexecute(L)) return StepEnd::EndBlock;
  accept_pass(L, true);
  if (one_pass_interval(L)) {
    m.OFP1M(CTRL, CTRN, EIV0, L.EXCAVF);
    return StepEnd::NextInterval;
  }
  if (iteration_wanted(L) && !iterate(L)) return StepEnd::EndBlock;
  m.OFP1(CTRL, CTRN, USET, EQIX, UG, EIV0, UGSV, OQGV, DPG, L.EXCAVF);
  L.EXCAVF = 0;
  keep_relative_displacement_base(L);
  PRGSTS(s.NSTEPC);
  free_released_regions();
  s.NSTEP += 1;
  return StepEnd::NextStep;
}

// One interval; false when the run is to go to the end block.
bool run_interval(Loop& L) {
  STPCTR& s = stpctr();
  INTCTL& ic = intctl();
  RELSWD& r = g_relswd;
  s.NINTVL += 1;
  L.m.GP4(INCD, BCDT, LDDT, TMPD, ECT, EQIX, CSTM, NODC, IELS, USET, GST, YS, DPG0, EPD, ENTD, ROTB, XCLD, ic,
          L.LASTIV, L.EXCAVF, L.NSTEPS, L.RELFAC, L.LSTGRP, r.EXREGN);
  if (failed()) return false;
  take_region_slots(L);
  ic.RELINC = L.RELFAC / static_cast<float>(L.NSTEPS);
  s.NSTEP = 1;
  for (word k = 0; k < L.NSTEPS; ++k) {
    switch (run_step(L)) {
      case StepEnd::NextStep:
        break;
      case StepEnd::NextInterval:
        return true;
      case StepEnd::EndBlock:
        return false;
    }
  }
  checkpoint_interval(L);
  return L.LASTIV >= 0;
}

}  // namespace

RELSWD& relswd() noexcept { return g_relswd; }
void reset_relswd() { g_relswd = RELSWD{}; }

void interval_loop(const Modules& modules, const SolverWork& solwrk) {
  if (!all_modules_bound(modules)) return;
  // A restart continues with the release bookkeeping its checkpoint restored.
  if (sysw().IRSTRT == 0) reset_relswd();
  Loop L{modules, solwrk};
  while (run_interval(L)) {
  }
}

}  // namespace zephsol
