// The main program: start, model phase, end block, module sequencing on a
// restart, and the signal handlers.
#include <fcntl.h>
#include <sys/file.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/util.h"

namespace zephsol {

namespace {


constexpr word kTrue = -1;
constexpr word kFalse = 0;

// ------------------------------------------------------------ module sequencing

// The bulk-data groups in the order of the group table; group k (from 1)
// owns a changed bit of the restart's changed-groups bit array.
constexpr std::array<std::string_view, 18> kGroupNames = {
    "NODE",   "COORDINA", "ELEMENT", "CONNECTI", "PROPERTY", "MATERIAL",
    "DISP",   "MPC",      "NLOAD",   "DLOAD",    "BODY",     "INIT STR",
    "TEMPERAT", "EGROUP", "HISTORY", "CONST",    "MGROUP",   "PRESTRES"};

// Which model modules run again on a restart: each runs when one of its
// groups changed; a module without groups never runs on a restart (its
// tables come back from the old problem tape).
struct RestartRule {
  std::string_view module;
  std::initializer_list<std::string_view> groups;
};
const RestartRule kRestartRules[] = {
    {"GP1", {}},
    {"TA1", {}},
    {"INISE2", {}},
    {"INISET", {}},
    {"TA2", {"EGROUP", "MGROUP"}},
    // The automatic constraints of a changed "CONST" group live in BCDT too.
    {"GP2", {"DISP", "MPC", "CONST"}},
    {"GP3", {"NLOAD", "DLOAD", "BODY", "TEMPERAT", "PRESTRES"}},
};

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// ---------------------------------------------------------------- signals

constexpr std::size_t kSignalNameWidth = 40;

struct SignalName {
  int signal;
  std::string_view text;
};
constexpr SignalName kSignalNames[] = {
    {SIGINT, "Interrupt"},
    {SIGILL, "Illegal Instruction"},
    {SIGSEGV, "Segmentation Violation"},
    {SIGTERM, "Termination"},
    {SIGABRT, "Abnormal Termination"},
    {SIGHUP, "Hangup"},
    {SIGPIPE, "Broken Pipe"},
    {SIGQUIT, "Quit"},
};

// The signals that end a run as an interrupt does: a user's or the
// system's request to stop, a closed terminal, a closed pipe.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT};
constexpr std::string_view kUndefinedSignal = "Undefined Signal";

// What h_int writes to the progress file, prepared outside the handler
// (which may only write bytes). Two copies: a new text is prepared in the
// copy not in use and then made current with one store, so that a signal
// arriving meanwhile still finds a whole text.
struct InterruptText {
  std::array<char, 4096> path{};    // the progress file's name, NUL-terminated; empty: none
  std::array<char, 4100> beside{};  // the file written before it is renamed over it
  std::array<char, 512> bytes{};    // its lines for an error end
  std::size_t size = 0;
};
InterruptText g_interrupt_text[2];
volatile std::sig_atomic_t g_interrupt_current = 0;

void prepare_interrupt_text() {
  const int next = 1 - g_interrupt_current;
  InterruptText& t = g_interrupt_text[next];
  const std::string path = progress_file_name();
  const std::string beside = file_beside(path);
  std::string bytes;
  for (const std::string& line : progress_file_lines(-8)) bytes += line + '\n';
  if (path.empty() || beside.size() >= t.beside.size() || bytes.size() > t.bytes.size()) {
    t.path[0] = '\0';
    t.size = 0;
  } else {
    std::memcpy(t.path.data(), path.c_str(), path.size() + 1);
    std::memcpy(t.beside.data(), beside.c_str(), beside.size() + 1);
    std::memcpy(t.bytes.data(), bytes.data(), bytes.size());
    t.size = bytes.size();
  }
  g_interrupt_current = next;
}

// Async-signal-safe helpers of h_int.
void write_fully(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

std::size_t append(char* buf, std::size_t at, std::string_view s) {
  std::memcpy(buf + at, s.data(), s.size());
  return at + s.size();
}

// The two lines of an abort: ten blanks and the banner, then ten blanks,
// the label and the signal's name in 40 columns. They go to the console and
// end the listing and the error log, after every line written before the
// signal.
void write_abort_lines(int signal) {
  std::string_view name = kUndefinedSignal;
  for (const SignalName& s : kSignalNames)
    if (s.signal == signal) name = s.text;
  char buf[160];
  std::size_t n = append(buf, 0, "          ***** SYSTEM ABORT *****\n");
  n = append(buf, n, "                SIGNAL : ");
  n = append(buf, n, name);
  std::memset(buf + n, ' ', kSignalNameWidth - name.size());
  n += kSignalNameWidth - name.size();
  buf[n++] = '\n';
  write_fully(STDOUT_FILENO, buf, n);
  for (int unit : {kListing, kErrorLog}) unit_finish_text_signal_safe(unit, {buf, n});
}

// An interrupted run records an error end in the progress file, as RUNEND
// would, and leaves no work files behind.
void record_interrupted_run() {
  const InterruptText& t = g_interrupt_text[g_interrupt_current];
  if (t.path[0] != '\0') {
    const int fd = ::open(t.beside.data(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      write_fully(fd, t.bytes.data(), t.size);
      ::close(fd);
      ::rename(t.beside.data(), t.path.data());
    }
  }
  unit_unlink_direct_files_signal_safe();
}

void set_handler(int signal, void (*handler)(int), bool block_others) {
  struct sigaction action {};
  action.sa_handler = handler;
  if (block_others)
    sigfillset(&action.sa_mask);
  else
    sigemptyset(&action.sa_mask);
  // A second signal while the handler runs takes the default action.
  action.sa_flags = SA_RESETHAND;
  sigaction(signal, &action, nullptr);
}

// ---------------------------------------------------------- working directory

// A run holds an exclusive lock on its working directory from its start to
// its end (the lock goes with the process), so that a second run there,
// which would share the work files and the outputs, stops before it touches
// anything. False when another run holds it.
bool lock_working_directory() {
  static int held = -1;  // the locked directory, open for the whole run
  if (held >= 0) return true;
  const int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return !busy;
  }
  held = fd;
  return true;
}

[[noreturn]] void directory_in_use() {
  std::array<char, 4096> cwd{};
  const std::string where = ::getcwd(cwd.data(), cwd.size()) != nullptr ? cwd.data() : ".";
  const std::string line = "0*** ANOTHER RUN IS USING THE DIRECTORY \"" + where + "\": THIS RUN STOPS\n";
  write_fully(STDOUT_FILENO, line.data(), line.size());
  ::_exit(1);
}

// ---------------------------------------------------------------- clocks

double processor_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// ------------------------------------------------------------- model phase

// Runs a model module when the sequencing test admits it and it exists.
template <class Fn, class... Blocks>
bool run_module(std::string_view name, Fn module, Blocks... blocks) {
  if (MDEXEC(name) == kFalse || module == nullptr) return false;
  module(blocks...);
  return true;
}

// Checkpoint of a module's output data blocks (the other slots 0, loop flag 0).
void checkpoint(const Modules& m, std::initializer_list<word> blocks) {
  if (m.CHKSAV == nullptr) return;
  std::array<word, 10> b{};
  std::copy(blocks.begin(), blocks.end(), b.begin());
  m.CHKSAV(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], 0);
}

// The model modules in their fixed order. Errors of GP1 and TA1 stop the run
// at once; those of TA2 and GP2 are held and tested with GP3's, so that all
// of them are reported. False when the run is to go to the end block.
bool model_phase(const Modules& m) {
  SYSWRD& s = sysw();
  if (run_module("GP1", m.GP1, STRC, CSTM, NODC, CONE)) {
    if (s.IERFLG != 0) return false;
    checkpoint(m, {CSTM, NODC, CONE});
  }
  if (run_module("TA2", m.TA2, ELST, CONE, IELS)) checkpoint(m, {IELS});
  word held = s.IERFLG;
  s.IERFLG = 0;
  if (run_module("TA1", m.TA1, CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT)) {
    if (s.IERFLG != 0) return false;
    checkpoint(m, {EQIX, ADIC, EST, ECT});
  }
  if (run_module("GP2", m.GP2, BOUN, EQIX, CSTM, NODC, CONE, BCDT)) {
    held = std::max(held, s.IERFLG);
    s.IERFLG = 0;
    checkpoint(m, {BCDT});
  }
  if (run_module("GP3", m.GP3, LOAD, EQIX, CSTM, NODC, CONE, LDDT, TMPD)) {
    s.IERFLG = std::max(held, s.IERFLG);
    if (s.IERFLG != 0) return false;
    checkpoint(m, {LDDT, TMPD});
  } else if (held != 0) {
    // A restart that does not rerun GP3: the tables of TA2 or GP2 that
    // failed must not reach the analysis either.
    s.IERFLG = held;
    return false;
  }
  run_module("INISE2", m.INISE2, LDDT, EST, INCD, IELS, PGM, EIV0);
  if (run_module("INISET", m.INISET, LDDT, EST, INCD, IELS, PGM, EIV0)) checkpoint(m, {PGM, EIV0});

  ExecState& e = exec_state();
  if (e.NSTBEG <= 0) {
    e.NSTBEG = e.stp.NSTEPC;
    PRGSTS(e.stp.NSTEPC);
  }
  return true;
}

// The solver work array of the iterative and sparse methods: PMEM megabytes,
// else MMEM megabytes, else none (the solver then works in the open core).
SolverWork allocate_solver_work() {
  const SYSWRD& s = sysw();
  const word megabytes = s.PMEM > 0 ? s.PMEM : (s.MMEM > 0 ? s.MMEM : 0);
  if (megabytes <= 0) return {};
  const word first = solver_array_allocate(megabytes);
  constexpr word kAllocationFailed = 1;
  if (first == 0) MSGPUT(-8, kAllocationFailed, 0);
  return {first, static_cast<word>(megabytes * kWordsPerMegabyte)};
}

// The end of every run: processor and total times, then RUNEND.
[[noreturn]] void end_block(double processor_start) {
  const double processor = processor_seconds() - processor_start;
  const float total = ELAPSD();
  unit_write_line(kListing, "");
  fwrite_unit(kListing, "('0*** SYSTEM INFORMATION MESSAGE ')");
  unit_write_line(kListing, "");
  fwrite_unit(kListing, "('     CPU TIME(SEC)      : ',F9.3)", {processor});
  fwrite_unit(kListing, "('     TOTAL TIME(SEC)    : ',F9.3)", {total});
  RUNEND();
}

}  // namespace

void run_analysis(const Modules& modules) {
  if (modules.XINPT == nullptr) return;
  modules.XINPT();
  // The solver list may have renamed the progress file.
  note_progress_file();
  const SolverWork solwrk = allocate_solver_work();
  if (model_phase(modules) && modules.interval_loop != nullptr) modules.interval_loop(modules, solwrk);
}

void ZEPH(const Modules& modules) {
  if (!lock_working_directory()) directory_in_use();
  const double processor_start = processor_seconds();
  ELAPSD();
  install_signal_handlers();
  run_analysis(modules);
  end_block(processor_start);
}

word MDEXEC(std::string_view name) {
  if (sysw().IRSTRT == 0) return kTrue;
  const std::string_view module = trimmed(name);
  for (const RestartRule& rule : kRestartRules) {
    if (rule.module != module) continue;
    // Every group is tested, so that each name is checked.
    word run = kFalse;
    for (std::string_view group : rule.groups) run = BITOR(run, DGCHNG(group));
    return run;
  }
  const std::string line = "0*** MDEXEC FATAL MESSAGE, UNKNOWN NAME:" + padded(name, 6);
  write_listing_and_log({line});
  MSGPUT(-833, 0, 0);
  return kFalse;
}

word DGCHNG(std::string_view group) {
  const std::string name = padded(group, 8);
  const auto found = std::find_if(kGroupNames.begin(), kGroupNames.end(),
                                   [&](std::string_view g) { return padded(g, 8) == name; });
  if (found == kGroupNames.end()) {
    const auto halves = name_words8(name);
    MSGPUT(-131, halves[0], halves[1]);
    return kFalse;
  }
  // Group k: word (k-1)/31 + 1, bit 2^(31-p) with p = k - 31 (k-1)/31.
  const word k = static_cast<word>(found - kGroupNames.begin()) + 1;
  const word q = (k - 1) / 31;
  const word p = k - 31 * q;
  return BITAND(BITSHR(exec_state().GRPCHG[q], 31 - p), 1) != 0 ? kTrue : kFalse;
}

void h_int(int signal) {
  write_abort_lines(signal);
  if (std::find(std::begin(kStopSignals), std::end(kStopSignals), signal) != std::end(kStopSignals))
    record_interrupted_run();
  ::_exit(1);
}

void h_fpe(int signal) {
  const std::string banner = "          **** Floating Point Error ****";
  const std::string number = fline("(10X,'      Errot No. : ',I5)", {signal & 0xFFFF});
  for (int unit : {kListing, kErrorLog}) {
    unit_write_line(unit, banner);
    unit_write_line(unit, number);
  }
  MSGPUT(-999, signal, 0);
}

void note_progress_file() { prepare_interrupt_text(); }

void install_signal_handlers() {
  note_progress_file();
  for (int signal : {SIGABRT, SIGILL, SIGSEGV}) set_handler(signal, h_int, true);
  for (int signal : kStopSignals) set_handler(signal, h_int, true);
  set_handler(SIGFPE, h_fpe, false);
}

}  // namespace zephsol
