// The main program ZEPH and the table of modules it runs.
//
// The run driver (this header, the interval loops of zephsol/drive/loops.h)
// sits above the file system and below every module it runs: it includes
// the base (zephsol/exec) and the file system (zephsol/dbio), and reaches the
// later subsystems only through the table below.
//
// ZEPH starts the clocks, installs the signal handlers, runs the input phase,
// allocates the solver work array of the iterative and sparse methods, runs
// the model modules in a fixed order under the module-sequencing test MDEXEC
// (on a restart only those whose bulk-data groups changed), enters the
// interval and step loops, and ends every path in one end block that prints
// the processor and total times and calls RUNEND.
//
// The modules of later subsystems are reached through one table of function
// pointers, `Modules`: zephsol/main.cpp binds the real modules, tests bind
// recording fakes. A null entry is a module that is not available yet: a
// model module is skipped; the interval loops (zephsol/drive/loops.h, bound by
// default) run only when every module they call is bound. A null XINPT means
// that no input is read yet; the run then goes straight to the end block and
// ends normally. The table also carries the few words of other subsystems
// that the loops read or clear (the "SINTVAL" list, SDRLST, KNOTEN).
//
// Data blocks: the model modules write CSTM, NODC, CONE, IELS, EQIX, ADIC,
// EST, ECT, BCDT, LDDT, TMPD, PGM and EIV0; each is checkpointed after its
// module (CHKSAV).
// Messages: -8 (the solver work array cannot be allocated: status, 0);
// -833 (MDEXEC: unknown module name on a restart); -131 (DGCHNG: unknown
// data-group name, the two halves of the name); -999 (floating-point error:
// the signal number, 0); the word space refuses a solver work array that
// would not fit in it (zephsol/dbio/core.h).
#pragma once

#include <span>
#include <string_view>

#include "zephsol/exec/records.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// The solver work array SOLWRK of the conjugate-gradient and sparse methods:
// `words` 32-bit words of the word space from index `first` (odd, so that it
// starts on a double). words = 0 when none was allocated (the solver then
// works in the open core).
struct SolverWork {
  word first = 0;
  word words = 0;
};

struct Modules;

// The interval and step loops (zephsol/drive/loops.h).
void interval_loop(const Modules& modules, const SolverWork& solwrk);

// Signatures of the module entries. Data blocks are passed by number (0 for
// none); words that a module returns are passed by reference.
using ModuleNoArgs = void (*)();
using ChksavFn = void (*)(word b1, word b2, word b3, word b4, word b5, word b6, word b7, word b8,
                          word b9, word b10, word loop);
using Blocks3Fn = void (*)(word, word, word);
using Blocks4Fn = void (*)(word, word, word, word);
using Blocks5Fn = void (*)(word, word, word, word, word);
using Blocks6Fn = void (*)(word, word, word, word, word, word);
using Blocks7Fn = void (*)(word, word, word, word, word, word, word);
using Blocks8Fn = void (*)(word, word, word, word, word, word, word, word);
using Gp4Fn = void (*)(word INCD, word BCDT, word LDDT, word TMPD, word ECT, word EQIX, word CSTM,
                       word NODC, word IELS, word USET, word GST, word YS, word DPG0, word EPD,
                       word ENTD, word ROTB, word XCLD, INTCTL& intctl, word& LASTIV, word& EXCAVF,
                       word& NSTEPS, float& RELFAC, word& LSTGRP, word& EXREGN);
using EmgFn = void (*)(word EST, word MATD, word state, word load, word ENTD, word element_loads,
                       word XCLD, word ESK, word DPG, word DPGM, word mode);
using SolveFn = void (*)(word USET, word K, word P, word YS, word GST, word KSS, word GKFS,
                         word ROTB, word DUG, word OQGV, word method, const SolverWork& solwrk);
using SdrFn = void (*)(word EST, word MATD, word state, word DUG, word ENTD, word PGM, word XCLD,
                       word EIV1, word QG, word& SDRFLG);
using CnvtstFn = void (*)(word USET, word DUG, word QG, word first, float& d1, float& f1,
                          float& fprev, float& dacc, word& converged);
using Ofp1Fn = void (*)(word CTRL, word CTRN, word USET, word EQIX, word UG, word EIV0, word UGSV,
                        word OQGV, word DPG, word EXCAVF);
using IntervalLoopFn = void (*)(const Modules& modules, const SolverWork& solwrk);
// The interval list of the "SINTVAL" card (intervals after whose predecessor
// the displacements are kept for relative-displacement output).
using IntervalListFn = std::span<const word> (*)();

struct Modules {
  // Input processing.
  ModuleNoArgs XINPT = nullptr;
  ChksavFn CHKSAV = nullptr;
  // Model modules, run once (GP1 .. INISET).
  Blocks4Fn GP1 = nullptr;     // STRC -> CSTM, NODC, CONE
  Blocks3Fn TA2 = nullptr;     // ELST, CONE -> IELS
  Blocks8Fn TA1 = nullptr;     // CONE, EGED, NODC, IELS -> EQIX, ADIC, EST, ECT
  Blocks6Fn GP2 = nullptr;     // BOUN, EQIX, CSTM, NODC, CONE -> BCDT
  Blocks7Fn GP3 = nullptr;     // LOAD, EQIX, CSTM, NODC, CONE -> LDDT, TMPD
  Blocks6Fn INISE2 = nullptr;  // LDDT, EST, INCD, IELS -> PGM, EIV0
  Blocks6Fn INISET = nullptr;  // LDDT, EST, INCD, IELS -> PGM, EIV0
  // The interval and step loops, entered once after the model phase; they
  // return when the run is to go to the end block.
  IntervalLoopFn interval_loop = zephsol::interval_loop;
  // Modules of the loops.
  Gp4Fn GP4 = nullptr;
  Blocks3Fn ACCEPD = nullptr;  // EPX, EPD -> EPY
  Blocks3Fn MODEPX = nullptr;  // EPX, XCLD -> EPY
  EmgFn EMG = nullptr;
  Blocks5Fn EMA = nullptr;     // ESK, ECT, ADIC, ROTB -> KGG
  Blocks6Fn MCE = nullptr;     // USET, KGG, GST -> KLL, KSS, GKFS
  Blocks3Fn PGMDFY = nullptr;  // USET, PGM -> PGM
  Blocks4Fn TRIA = nullptr;    // KLL, USET, EQIX -> LLL
  SolveFn SOLVE = nullptr;
  SdrFn SDR = nullptr;
  Blocks5Fn UBFORC = nullptr;  // EST, EIV0, PGM, XCLD -> DPGM
  Blocks3Fn MODEIV = nullptr;  // EIV0, EIV1 -> EIV2
  CnvtstFn CNVTST = nullptr;
  Ofp1Fn OFP1 = nullptr;
  Blocks4Fn OFP1M = nullptr;   // CTRL, CTRN, EIV0, EXCAVF
  // Words of other subsystems that the loops read or clear (null: none).
  IntervalListFn SINTVAL = nullptr;  // the "SINTVAL" card's intervals (input)
  word* SDRLST = nullptr;            // result of the step's last stress recovery, cleared at each step start
  const word* KNOTEN = nullptr;      // set when the no-tension correction cut a tension off
};

// Runs the analysis; does not return (the run ends in RUNEND).
[[noreturn]] void ZEPH(const Modules& modules);
// The analysis of ZEPH without its clocks, signal handlers and end block:
// the input phase, the model phase and the loops; returns where ZEPH goes
// to the end block (a fatal message still ends the run on the way).
void run_analysis(const Modules& modules);

// True (-1) when the module of that six-character name is to run in this
// run, false (0) otherwise.
word MDEXEC(std::string_view name);
// True (-1) when the bulk-data group of that eight-character name was
// supplied again on a restart.
word DGCHNG(std::string_view group);

// Signal handlers. h_int (interrupt, illegal instruction, segmentation
// violation, termination, abort) reports the signal on the console and ends
// the process; for an interrupt or a termination request it also records an
// error end in the progress file and deletes the work files. h_fpe reports a
// floating-point error and ends the run through the fatal message path.
void h_int(int signal);
void h_fpe(int signal);
// Installs both handlers and prepares what h_int writes.
void install_signal_handlers();
// Prepares again what h_int writes, for the progress file's name in force
// now: the solver list reader calls it as soon as it has read the list, so
// that an interrupt during the rest of the input phase records the error
// end in the file the list names.
void note_progress_file();

}  // namespace zephsol
