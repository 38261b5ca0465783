// Run-wide records of the executive: system words, page texts, system
// identification, step counters, interval control words and the step-count
// words. Every module reads and writes these words by name; tests start from
// the load values by calling reset_exec_state().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "zephsol/exec/words.h"

namespace zephsol {

// The solution method of the "SOLVER" card: "SDCO" the profile
// decomposition (the default), "PCG" conjugate gradients, "METI" the sparse
// multifrontal library.
enum SolutionMethod : word { kProfileMethod = 0, kPcgMethod = 1, kSparseMethod = 2 };

// System words: 60 words with fixed positions (word n is at offset 4*(n-1)).
struct SYSWRD {
  word NBUFSZ = 1025;     // 1  buffer size in words; a block holds NBUFSZ-1 words
  word rsv2 = 0;          // 2
  word rsv3 = 0;          // 3
  word IERFLG = 0;        // 4  fatal flag: 0 none, 1 fatal, -2 warnings only
  word INUNIT = 5;        // 5  unit of the input deck
  word rsv6 = 0;          // 6
  word COREND = 0;        // 7  word address of the end of the open core
  word LINPAG = 56;       // 8  lines per page
  word NPAGE = 0;         // 9  current page
  word NLINE = 9999;      // 10 lines used on the current page
  std::array<word, 2> RUNDAT{name_word("01/0"), name_word("1/97")};  // 11-12
  word ECHOPT = 1;        // 13 bulk-data echo switches
  word rsv14 = 0;         // 14
  word MACHCD = 5;        // 15 machine code
  word IPREC = 2;         // 16 system precision
  word NBTCHR = 8;        // 17 bits per character
  word NBTWRD = 32;       // 18 bits per word
  word NCHWRD = 4;        // 19 characters per word
  std::array<word, 7> DIAGWD{};  // 20-26 diagnostic switches 1-70
  word rsv27 = 52;        // 27
  word ICHKPT = 0;        // 28 checkpoint mode
  word IRSTRT = 0;        // 29 restart interval
  float CNVTOL = 0.001f;  // 30 convergence tolerance
  word ICNVKD = 1;        // 31 convergence criterion
  word ISINTV = 0;        // 32 relative-displacement output active
  word MAXITR = 5;        // 33 iteration limit of a step
  word rsv34 = 1;         // 34
  word ICONT = 0;         // 35 accept a step that has not converged
  float rsv36 = 1.0f;     // 36
  word IRERUN = 0;        // 37 -1: never re-execute a step
  word IFIELD = 3;        // 38 value of the FIELD card
  word rsv39 = 0;         // 39
  float rsv40 = 1.0e6f;   // 40
  word NBLKIO = 0;        // 41 physical block transfers
  word NCRRES = 0;        // 42 open-core words of buffer pool 1
  word rsv43 = 0;         // 43
  word rsv44 = 10;        // 44
  word IFFOPT = 0;        // 45 option of the free-field parser
  word NPOSTC = 0;        // 46 calls of the output drivers so far
  word rsv47 = 0;         // 47
  word rsv48 = 8;         // 48
  word rsv49 = 9;         // 49
  word IPOSTU = 16;       // 50 unit of the result file
  word LOGUNT = 0;        // 51 log unit (0 = console)
  word IASPC = 0;         // 52 automatic single-point constraints
  word IAMPC = 0;         // 53 automatic multipoint constraints
  word IWRNFL = 0;        // 54 warning flag
  word MMEM = 0;          // 55 megabytes of the sparse solver's work array
  word MEMO = 0;          // 56 megabytes of the open core
  word PMEM = 0;          // 57 megabytes of the conjugate-gradient work array
  word ISOLVR = 0;        // 58 solution method (SolutionMethod)
  float PCGTOL = 0.0f;    // 59 conjugate-gradient tolerance
  word PCGMXI = 0;        // 60 conjugate-gradient iteration limit; page eject form

  // Word view, word n at index n-1.
  std::span<word, 60> words() noexcept { return std::span<word, 60>(reinterpret_cast<word*>(this), 60); }
};
static_assert(sizeof(SYSWRD) == 60 * 4);
static_assert(offsetof(SYSWRD, IERFLG) == 3 * 4);
static_assert(offsetof(SYSWRD, NLINE) == 9 * 4);
static_assert(offsetof(SYSWRD, DIAGWD) == 19 * 4);
static_assert(offsetof(SYSWRD, CNVTOL) == 29 * 4);
static_assert(offsetof(SYSWRD, IWRNFL) == 53 * 4);
static_assert(offsetof(SYSWRD, PCGMXI) == 59 * 4);

// Page texts stored right after the system words: TITLE, SUBTITLE and the
// three heading lines of the deck echoes, all blank at load.
struct PageTexts {
  std::array<char, 72> TITLE;
  std::array<char, 72> SUBTITLE;
  std::array<std::array<char, 128>, 3> HEADLN;
  PageTexts() { clear(); }
  void clear() {
    TITLE.fill(' ');
    SUBTITLE.fill(' ');
    for (auto& h : HEADLN) h.fill(' ');
  }
};
static_assert(sizeof(PageTexts) == 72 + 72 + 3 * 128);

// System identification: product word, version, date, time (8 characters each).
struct SYSID {
  std::array<char, 8> product{'Q', 'U', 'O', 'R', 'V', 'A', 'N', 'E'};
  std::array<char, 8> version{'1', '0', '.', '0', '0', '2', ' ', ' '};
  std::array<char, 8> date{'0', '7', '/', '0', '1', '/', '9', '8'};
  std::array<char, 8> time{'0', '0', '.', '0', '0', '.', '0', '0'};
};
static_assert(sizeof(SYSID) == 32);

// Step counters.
struct STPCTR {
  word NINTVL = 0;  // 1 current interval
  word NSTEP = 0;   // 2 step within the interval
  word NITER = 0;   // 3 iteration within the step
  word NSTEPC = 0;  // 4 cumulative step of the analysis
  word IVW4 = 0;    // 5 word 4 of the current interval record
  word IVW19 = 0;   // 6 word 19 of the current interval record

  // Word view (checkpoint copies), word n at index n-1.
  std::span<word, 6> words() noexcept { return std::span<word, 6>(reinterpret_cast<word*>(this), 6); }
};
static_assert(sizeof(STPCTR) == 6 * 4);
static_assert(offsetof(STPCTR, NSTEPC) == 3 * 4);

// Interval control words.
struct INTCTL {
  word NIVSET = 0;     // 1 intervals set up so far
  word EXCACT = 0;     // 2 excavation active (-1 true, 0 false)
  float RELINC = 0.f;  // 3 release increment per step
  float RELREM = 0.f;  // 4 remaining release factor
  word rsv5 = 0;       // 5

  // Word view (checkpoint copies); words 3 and 4 hold REAL bits.
  std::span<word, 5> words() noexcept { return std::span<word, 5>(reinterpret_cast<word*>(this), 5); }
};
static_assert(sizeof(INTCTL) == 5 * 4);
static_assert(offsetof(INTCTL, RELREM) == 3 * 4);

// Message queue: count of messages handed over since the last print
// (including those not kept), capacity, 20 entries of (code, p1, p2) in the
// order of arrival.
struct MSGQUE {
  word count = 0;
  word capacity = 20;
  std::array<std::array<word, 3>, 20> entry{};
};
static_assert(sizeof(MSGQUE) == 62 * 4);

// Solver list table: 12 entries of a key word and a 256-character value
// (a file name, blank padded). Each value defaults to its own key, except
// "RESW" ("NPTP") and "RESR" ("OPTP"). The solver list reader replaces values;
// the unit opener looks file names up here.
struct SOLVKY {
  struct Entry {
    word key;
    std::array<char, 256> value;
  };
  word count = 12;
  std::array<Entry, 12> entry;
  SOLVKY() {
    static constexpr const char* keys[12] = {"PRID", "INPT", "LIST", "POST", "STAT", "CONV",
                                             "ERRO", "RESW", "RESR", "MEMO", "MMEM", "PMEM"};
    for (int i = 0; i < 12; ++i) {
      entry[i].key = name_word(keys[i]);
      entry[i].value.fill(' ');
      const char* v = i == 7 ? "NPTP" : i == 8 ? "OPTP" : keys[i];
      for (int c = 0; c < 4; ++c) entry[i].value[c] = v[c];
    }
  }
};
// The file a solver-list key names: its value with the blanks at the end
// dropped; the key itself when the table has no entry for it or its value
// is blank, as when the solver list does not give the key.
std::string solver_file_name(const SOLVKY& table, word key);

// State private to the run frame: the base of the elapsed-time clock, the
// module status record, and the guards of the fatal path and the run end.
struct RunFrame {
  bool clock_started = false;
  std::int64_t clock_base_ns = 0;   // steady-clock reading of the first ELAPSD call
  std::array<word, 3> modrec{};     // module name (2 words) and status word
  bool modsts_headed = false;       // the status heading has been printed
  bool fatal_printing = false;      // MSGPUT's fatal path is printing
  bool ending = false;              // RUNEND has begun
  bool progress_final = false;      // the completion state has been (or is being) written
  bool stopping = false;            // the units are being closed for the exit
  bool close_failed = false;        // a fatal message arrived while closing the units
  std::string write_failure;        // why the listing or the error log could not be written
};

// Run-wide flags of the input decoders. The element routines read the
// no-tension and prestress switches, the main program the interval list (the
// intervals that run one pass and are reported by the material-change output).
struct IFPFLG {
  static constexpr int kMaxIntervals = 500;
  word IFPDUN = 0;  // 1  a hyperbolic (DUNCAN) material is defined (-1)
  word rsv2 = 0;    // 2
  word IFPSGT = 0;  // 3  no-tension treatment in use: some material gives a tension limit (-1)
  word rsv4 = 0;    // 4
  word IFPPRS = 0;  // 5  the bulk data hold a "PRESTRES" group (-1)
  std::array<word, 5> rsv6{};              // 6-10
  word IFPNIV = 0;                         // 11 number of listed intervals
  std::array<word, kMaxIntervals> IFPIVL{};  // 12- the listed intervals
};
static_assert(offsetof(IFPFLG, IFPNIV) == 10 * 4);
static_assert(offsetof(IFPFLG, IFPIVL) == 11 * 4);

// The executive's records, gathered so that a test can start afresh.
struct ExecState {
  SYSWRD sys;
  PageTexts page;
  SYSID sysid;
  STPCTR stp;
  INTCTL intctl;
  word NSTBEG = 0;  // cumulative step at the start of the analysis loop
  word NSTTOT = 0;  // total steps of the construction history
  std::array<word, 501> NSTPIV{};  // word 0 intervals, word k steps of interval k
  MSGQUE msgque;
  SOLVKY solvky;
  // Changed-groups bits of a restart (bulk-data merge): group k of the
  // eighteen-name table has bit 2^(31-p) of word (k-1)/31+1, p = k-31*((k-1)/31).
  std::array<word, 8> GRPCHG{};
  IFPFLG ifpflg;
  RunFrame frame;
};
// The page texts follow the system words without a gap.
static_assert(offsetof(ExecState, page) == offsetof(ExecState, sys) + sizeof(SYSWRD));

ExecState& exec_state() noexcept;
void reset_exec_state();

// Short-hands used throughout the code.
inline SYSWRD& sysw() noexcept { return exec_state().sys; }
inline STPCTR& stpctr() noexcept { return exec_state().stp; }
inline IFPFLG& ifpflg() noexcept { return exec_state().ifpflg; }

}  // namespace zephsol
