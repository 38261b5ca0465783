// The main program with recording fakes in the module table: model-phase
// order and error stops, restarts, the solver work array, the end block,
// module sequencing, changed groups and the signal handlers.
//
// ZEPH never returns, so every run is a death test: the child runs in a
// fresh directory, the fakes append their calls to "calls.txt", and the
// parent reads that file, the listing, the error log, the progress file and
// the console output afterwards.
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {
namespace {

namespace fs = std::filesystem;

// ------------------------------------------------------------------ files

std::string slurp(const std::string& path) { return testing::read_file(path); }

std::vector<std::string> lines_of(const std::string& path) {
  std::vector<std::string> out;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The error-end text of the progress file in Shift-JIS (CP932), converted
// here from its meaning; empty when the converter is missing.
std::string error_end_text_sjis() {
  const std::string utf8 = "エラー終了しました。詳しくはリストをご覧下さい。";
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string out(256, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char* o = out.data();
  std::size_t out_left = out.size();
  const std::size_t r = iconv(cd, &in, &in_left, &o, &out_left);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1)) return {};
  out.resize(out.size() - out_left);
  return out;
}

// The progress file of an error end: "-8, 0" (I8 each) and the error text.
void expect_error_end_in(const std::string& path) {
  const auto lines = lines_of(path);
  ASSERT_GE(lines.size(), 1u) << path;
  EXPECT_EQ(lines[0], "      -8,       0");
  const std::string sjis = error_end_text_sjis();
  if (!sjis.empty()) {
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], sjis);
  }
}

// ---------------------------------------------------------- recording fakes

// The changed bit of each bulk-data group: group k of the table has bit
// 2^(31-k) of the first word.
struct GroupBit {
  const char* name;
  word mask;
};
constexpr GroupBit kGroupBits[] = {
    {"NODE", 0x40000000},     {"COORDINA", 0x20000000}, {"ELEMENT", 0x10000000},
    {"CONNECTI", 0x08000000}, {"PROPERTY", 0x04000000}, {"MATERIAL", 0x02000000},
    {"DISP", 0x01000000},     {"MPC", 0x00800000},      {"NLOAD", 0x00400000},
    {"DLOAD", 0x00200000},    {"BODY", 0x00100000},     {"INIT STR", 0x00080000},
    {"TEMPERAT", 0x00040000}, {"EGROUP", 0x00020000},   {"HISTORY", 0x00010000},
    {"CONST", 0x00008000},    {"MGROUP", 0x00004000},   {"PRESTRES", 0x00002000},
};

word group_mask(const std::string& name) {
  for (const auto& g : kGroupBits)
    if (name == g.name) return g.mask;
  ADD_FAILURE() << "no group " << name;
  return 0;
}

// What the fakes do in a run; set before the run, inherited by the child.
struct Script {
  std::vector<std::string> failing;  // modules that count an error in IERFLG
  std::vector<std::string> changed;  // groups changed on a restart
  word irstrt = 0;
  word nstepc = 0;
  word nsttot = 0;
  word pmem = 0;
  word mmem = 0;
  bool allocate_core = true;
  std::string progress_name;          // a "STAT" value of the solver list
  std::string raise_in;               // module that raises SIGTERM
  double burn_cpu_seconds = 0.0;      // processor time the loop uses
  bool queue_message = false;         // the loop queues message 0
};
Script g_script;

void record(const std::string& line) {
  std::ofstream("calls.txt", std::ios::app) << line << '\n';
}

bool listed(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

template <std::size_t N>
struct Name {
  char text[N];
  constexpr Name(const char (&s)[N]) { std::copy_n(s, N, text); }
};

// A model module: records its name and data blocks; counts an error when
// the script says so; raises SIGTERM when asked.
template <Name name, class... Blocks>
void fake_module(Blocks... blocks) {
  std::string line = name.text;
  for (word b : {blocks...}) line += " " + std::to_string(b);
  record(line);
  if (listed(g_script.failing, name.text)) sysw().IERFLG += 1;
  if (g_script.raise_in == name.text) std::raise(SIGTERM);
}

void fake_chksav(word b1, word b2, word b3, word b4, word b5, word b6, word b7, word b8, word b9,
                 word b10, word loop) {
  std::string line = "CHKSAV";
  for (word b : {b1, b2, b3, b4, b5, b6, b7, b8, b9, b10, loop}) line += " " + std::to_string(b);
  record(line);
}

void set_solver_list(const char* key, const std::string& value) {
  for (auto& e : exec_state().solvky.entry) {
    if (e.key != name_word(key)) continue;
    e.value.fill(' ');
    std::copy(value.begin(), value.end(), e.value.begin());
  }
}

// The input phase: opens the listing and the error log and sets the words
// the main program reads.
void fake_xinpt() {
  record("XINPT");
  unit_open(6, "listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(999, "errlog.txt", UnitForm::Formatted, UnitStatus::Unknown);
  SYSWRD& s = sysw();
  s.IRSTRT = g_script.irstrt;
  s.PMEM = g_script.pmem;
  s.MMEM = g_script.mmem;
  exec_state().stp.NSTEPC = g_script.nstepc;
  exec_state().NSTTOT = g_script.nsttot;
  for (const auto& g : g_script.changed) exec_state().GRPCHG[0] |= group_mask(g);
  if (!g_script.progress_name.empty()) set_solver_list("STAT", g_script.progress_name);
  if (g_script.allocate_core) core_allocate(1);
}

// The loops: record the solver work array, NSTBEG and the progress file as
// the model phase left it.
void fake_loop(const Modules&, const SolverWork& w) {
  record("LOOP " + std::to_string(w.first) + " " + std::to_string(w.words) + " NSTBEG " +
         std::to_string(exec_state().NSTBEG));
  const auto stat = lines_of("STAT");
  record("STAT " + (stat.empty() ? std::string("none") : stat[0]));
  if (g_script.burn_cpu_seconds > 0) {
    const std::clock_t start = std::clock();
    volatile double x = 0;
    while (static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC < g_script.burn_cpu_seconds) x = x + 1;
  }
  if (g_script.queue_message) MSGPUT(0, 1, 2);
}

Modules fakes() {
  Modules m;
  m.XINPT = fake_xinpt;
  m.CHKSAV = fake_chksav;
  m.GP1 = fake_module<"GP1", word, word, word, word>;
  m.TA2 = fake_module<"TA2", word, word, word>;
  m.TA1 = fake_module<"TA1", word, word, word, word, word, word, word, word>;
  m.GP2 = fake_module<"GP2", word, word, word, word, word, word>;
  m.GP3 = fake_module<"GP3", word, word, word, word, word, word, word>;
  m.INISE2 = fake_module<"INISE2", word, word, word, word, word, word>;
  m.INISET = fake_module<"INISET", word, word, word, word, word, word>;
  m.interval_loop = fake_loop;
  return m;
}

// ---------------------------------------------------------------- fixture

// Each test runs in a fresh directory with the run-wide records at their
// load values.
class Zeph : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "fast");
    dir_ = testing::make_scratch_dir("zeph_test");
    home_ = fs::current_path();
    fs::current_path(dir_);
    fresh_state();
  }
  void TearDown() override {
    fs::current_path(home_);
    testing::remove_scratch_dir(dir_);
    fresh_state();
  }
  static void fresh_state() {
    unit_reset_all();
    reset_exec_state();
    reset_dbio_state();
    core_release();
    g_script = Script{};
  }
  // Removes what a previous run of the same test left.
  static void clean() {
    for (const auto& e : fs::directory_iterator(fs::current_path())) fs::remove_all(e.path());
  }

  fs::path dir_;
  fs::path home_;
};

// The child's side of a run: console output to "console.txt".
void to_console_file() {
  std::fflush(stdout);
  const int fd = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(fd, STDOUT_FILENO);
  ::close(fd);
}

[[noreturn]] void run_zeph(const Modules& m) {
  to_console_file();
  ZEPH(m);
}

std::vector<std::string> with_checkpoint_zeros(std::vector<std::string> calls) {
  for (auto& c : calls) {
    if (c.rfind("CHKSAV", 0) != 0) continue;
    const auto n = std::count(c.begin(), c.end(), ' ');
    for (auto i = n; i < 11; ++i) c += " 0";
  }
  return calls;
}

// ------------------------------------------------------------ model phase

// The calls of a new run without errors; checkpoint slots not shown are 0.
const std::vector<std::string> kNewRunCalls = with_checkpoint_zeros({
    "XINPT",
    "GP1 202 209 210 211",
    "CHKSAV 209 210 211",
    "TA2 207 211 234",
    "CHKSAV 234",
    "TA1 211 208 210 234 212 213 214 215",
    "CHKSAV 212 213 214 215",
    "GP2 203 212 209 210 211 216",
    "CHKSAV 216",
    "GP3 204 212 209 210 211 217 245",
    "CHKSAV 217 245",
    "INISE2 217 214 205 234 239 240",
    "INISET 217 214 205 234 239 240",
    "CHKSAV 239 240",
});

TEST_F(Zeph, NewRunRunsTheModelModulesInOrderThenTheLoops) {
  EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(0), "");
  auto expect = kNewRunCalls;
  expect.push_back("LOOP 0 0 NSTBEG 0");
  expect.push_back("STAT        0,       0");
  EXPECT_EQ(lines_of("calls.txt"), expect);
  EXPECT_EQ(lines_of("STAT"), std::vector<std::string>{"      -1,       0"});
}

TEST_F(Zeph, ErrorsOfGp1AndTa1EndTheRunAtOnce) {
  for (const std::string failing : {"GP1", "TA1"}) {
    clean();
    g_script.failing = {failing};
    EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(1), "");
    const auto calls = lines_of("calls.txt");
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().substr(0, 3), failing) << "no checkpoint, nothing after " << failing;
    expect_error_end_in("STAT");
    EXPECT_TRUE(has_line(lines_of("listing.txt"), "0*** SYSTEM INFORMATION MESSAGE "));
  }
}

// TA2 and GP2 errors are held: TA1, GP2 and GP3 still run (and checkpoint)
// so that all errors are printed; the run stops before INISE2.
TEST_F(Zeph, HeldErrorsOfTa2AndGp2StopTheRunAfterGp3) {
  const std::vector<std::vector<std::string>> cases = {{"TA2"}, {"GP2"}, {"GP3"}, {"TA2", "GP2"}};
  std::vector<std::string> expect(kNewRunCalls.begin(), kNewRunCalls.begin() + 10);  // up to GP3
  for (const auto& failing : cases) {
    clean();
    g_script.failing = failing;
    EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(lines_of("calls.txt"), expect) << failing[0];
    expect_error_end_in("STAT");
  }
}

// ------------------------------------------------------------------ restart

TEST_F(Zeph, RestartRunsOnlyTheModulesOfChangedGroups) {
  struct Case {
    std::vector<std::string> changed;
    std::vector<std::string> calls;  // between XINPT and the loops
  };
  const Case cases[] = {
      {{}, {}},
      {{"NODE", "MATERIAL", "HISTORY", "INIT STR"}, {}},
      {{"EGROUP"}, {"TA2 207 211 234", "CHKSAV 234"}},
      {{"MGROUP"}, {"TA2 207 211 234", "CHKSAV 234"}},
      {{"MPC"}, {"GP2 203 212 209 210 211 216", "CHKSAV 216"}},
      {{"CONST"}, {"GP2 203 212 209 210 211 216", "CHKSAV 216"}},
      {{"PRESTRES"}, {"GP3 204 212 209 210 211 217 245", "CHKSAV 217 245"}},
      {{"DISP", "TEMPERAT"},
       {"GP2 203 212 209 210 211 216", "CHKSAV 216", "GP3 204 212 209 210 211 217 245", "CHKSAV 217 245"}},
  };
  for (const auto& c : cases) {
    clean();
    g_script.irstrt = 3;
    g_script.nstepc = 7;
    g_script.nsttot = 10;
    g_script.changed = c.changed;
    EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(0), "");
    std::vector<std::string> expect{"XINPT"};
    for (const auto& call : with_checkpoint_zeros(c.calls)) expect.push_back(call);
    // PRGSTS is first called with the restored NSTEPC: step 1 of 10 - 7 + 1.
    expect.push_back("LOOP 0 0 NSTBEG 7");
    expect.push_back("STAT        1,       4");
    EXPECT_EQ(lines_of("calls.txt"), expect) << (c.changed.empty() ? "no change" : c.changed[0]);
  }
}

// A restart that reruns TA2 or GP2 but not GP3 still stops on their errors.
TEST_F(Zeph, RestartStopsOnHeldErrorsWhenGp3DoesNotRun) {
  for (const std::string failing : {"TA2", "GP2"}) {
    clean();
    g_script.irstrt = 2;
    g_script.changed = {"EGROUP", "DISP"};
    g_script.failing = {failing};
    EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(lines_of("calls.txt"),
              with_checkpoint_zeros({"XINPT", "TA2 207 211 234", "CHKSAV 234", "GP2 203 212 209 210 211 216",
                                     "CHKSAV 216"}));
    expect_error_end_in("STAT");
  }
}

// ------------------------------------------------------- solver work array

TEST_F(Zeph, SolverWorkArrayIsSizedFromPmemElseMmem) {
  struct Case {
    word pmem, mmem;
    const char* loop;  // first word (after the 1 MB open core) and words
  };
  const Case cases[] = {
      {0, 0, "LOOP 0 0 NSTBEG 0"},
      {2, 0, "LOOP 262145 524288 NSTBEG 0"},
      {0, 1, "LOOP 262145 262144 NSTBEG 0"},
      {1, 3, "LOOP 262145 262144 NSTBEG 0"},
      {-1, 2, "LOOP 262145 524288 NSTBEG 0"},
  };
  for (const auto& c : cases) {
    clean();
    g_script.pmem = c.pmem;
    g_script.mmem = c.mmem;
    EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(has_line(lines_of("calls.txt"), c.loop)) << c.pmem << " " << c.mmem;
  }
}

TEST_F(Zeph, FailedSolverWorkArrayIsFatalMessage8) {
  g_script.pmem = 1;
  g_script.allocate_core = false;  // no word space to put it in
  EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(lines_of("calls.txt"), std::vector<std::string>{"XINPT"});
  const auto listing = lines_of("listing.txt");
  EXPECT_TRUE(has_line(listing, "0*** SYSTEM FATAL MESSAGE      8, PROGRAM LOGIC ERROR"));
  expect_error_end_in("STAT");
}

// --------------------------------------------------------------- end block

// Parses "<label>" followed by an F9.3 field.
double timed_value(const std::vector<std::string>& lines, const std::string& label) {
  for (const auto& l : lines)
    if (l.rfind(label, 0) == 0) {
      EXPECT_EQ(l.size(), label.size() + 9) << l;
      EXPECT_EQ(l[l.size() - 4], '.') << l;
      return std::stod(l.substr(label.size()));
    }
  ADD_FAILURE() << "no line " << label;
  return -1;
}

TEST_F(Zeph, EndBlockPrintsTheTimesBeforeTheQueuedMessages) {
  g_script.burn_cpu_seconds = 0.3;
  g_script.queue_message = true;
  EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(0), "");
  const auto listing = lines_of("listing.txt");
  const auto at = std::find(listing.begin(), listing.end(), "0*** SYSTEM INFORMATION MESSAGE ");
  ASSERT_NE(at, listing.end());
  ASSERT_GE(listing.end() - at, 4);
  EXPECT_EQ(*(at - 1), "");
  EXPECT_EQ(*(at + 1), "");
  EXPECT_EQ((at + 2)->substr(0, 26), "     CPU TIME(SEC)      : ");
  EXPECT_EQ((at + 3)->substr(0, 26), "     TOTAL TIME(SEC)    : ");
  const double cpu = timed_value(listing, "     CPU TIME(SEC)      : ");
  const double total = timed_value(listing, "     TOTAL TIME(SEC)    : ");
  EXPECT_GE(cpu, 0.3);
  EXPECT_GE(total + 0.002, cpu);  // one thread: elapsed time covers the processor time
  // The queued message is printed by RUNEND, after the times.
  const auto msg = std::find(listing.begin(), listing.end(), "0*** SYSTEM FATAL MESSAGE      0, PROGRAM LOGIC ERROR");
  EXPECT_GT(msg - at, 3);
  EXPECT_EQ(lines_of("STAT"), std::vector<std::string>{"      -1,       0"});
}

TEST_F(Zeph, WithoutAnInputPhaseTheRunEndsNormally) {
  EXPECT_EXIT(run_zeph(Modules{}), ::testing::ExitedWithCode(0), "");
  EXPECT_FALSE(fs::exists("calls.txt"));
  const auto console = lines_of("console.txt");  // the listing is still standard output
  EXPECT_TRUE(has_line(console, "0*** SYSTEM INFORMATION MESSAGE "));
  EXPECT_EQ(lines_of("STAT"), std::vector<std::string>{"      -1,       0"});
}

// -------------------------------------------------- sequencing and groups

TEST_F(Zeph, DgchngTestsTheBitOfEachGroup) {
  for (const auto& g : kGroupBits) {
    exec_state().GRPCHG = {};
    exec_state().GRPCHG[0] = g.mask;
    for (const auto& other : kGroupBits)
      EXPECT_EQ(DGCHNG(other.name), &other == &g ? -1 : 0) << g.name << " set, " << other.name << " tested";
  }
  // Blank padding to eight characters is the same name.
  exec_state().GRPCHG = {};
  exec_state().GRPCHG[0] = group_mask("MPC");
  EXPECT_EQ(DGCHNG("MPC     "), -1);
  // The sign bit, the bits of groups 19-31 and the second word belong to no group.
  exec_state().GRPCHG.fill(-1);
  exec_state().GRPCHG[0] = static_cast<word>(0x80001FFFu);
  for (const auto& g : kGroupBits) EXPECT_EQ(DGCHNG(g.name), 0) << g.name;
}

TEST_F(Zeph, MdexecAdmitsEveryNameInANewRun) {
  for (const char* name : {"GP1", "TA2", "INISET", "XYZ"}) EXPECT_EQ(MDEXEC(name), -1) << name;
  sysw().IRSTRT = -1;
  exec_state().GRPCHG[0] = group_mask("BODY");
  EXPECT_EQ(MDEXEC("GP3"), -1);
  EXPECT_EQ(MDEXEC("GP3   "), -1);
  EXPECT_EQ(MDEXEC("GP2"), 0);
  EXPECT_EQ(MDEXEC("GP1"), 0);
}

void open_listing() {
  unit_open(6, "listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
  unit_open(999, "errlog.txt", UnitForm::Formatted, UnitStatus::Unknown);
}

TEST_F(Zeph, UnknownNamesAreFatal) {
  // MDEXEC on a restart: its own line on both files, then message 833.
  sysw().IRSTRT = 1;
  EXPECT_EXIT((open_listing(), MDEXEC("FOO"), std::exit(7)), ::testing::ExitedWithCode(1), "");
  for (const char* file : {"listing.txt", "errlog.txt"}) {
    const auto lines = lines_of(file);
    EXPECT_TRUE(has_line(lines, "0*** MDEXEC FATAL MESSAGE, UNKNOWN NAME:FOO   ")) << file;
    EXPECT_TRUE(has_line(lines, "0*** SYSTEM FATAL MESSAGE    833, PROGRAM LOGIC ERROR")) << file;
  }
  expect_error_end_in("STAT");

  // DGCHNG: message 131 with the two halves of the name.
  clean();
  EXPECT_EXIT((open_listing(), DGCHNG("BOGUS"), std::exit(7)), ::testing::ExitedWithCode(1), "");
  char reason[80];
  std::snprintf(reason, sizeof reason, "          REASON CODE =%10d,%10d", name_word("BOGU"), name_word("S   "));
  const auto errlog = lines_of("errlog.txt");
  EXPECT_TRUE(has_line(errlog, "0*** SYSTEM FATAL MESSAGE    131, PROGRAM LOGIC ERROR"));
  EXPECT_TRUE(has_line(errlog, reason));
}

// ------------------------------------------------------------------ signals

std::string abort_console(const std::string& name) {
  return "          ***** SYSTEM ABORT *****\n                SIGNAL : " + name + std::string(40 - name.size(), ' ') +
         "\n";
}

// A work file of the file system (a direct-access unit).
void make_work_file() {
  unit_open(31, "WORK01", UnitForm::Unformatted, UnitStatus::Unknown, UnitAccess::Direct, 16);
  const std::byte rec[16]{};
  unit_write_direct(31, 1, rec);
}

[[noreturn]] void deliver(int signal, bool direct) {
  to_console_file();
  install_signal_handlers();
  make_work_file();
  if (direct)
    h_int(signal);
  else
    std::raise(signal);
  std::exit(7);
}

TEST_F(Zeph, AbortSignalsReportAndStop) {
  struct Case {
    int signal;
    const char* name;
    bool error_end;  // interrupt and termination record the end and delete the work files
    bool direct;     // a signal h_int is not installed for, given to it directly
  };
  const Case cases[] = {
      {SIGINT, "Interrupt", true, false},
      {SIGTERM, "Termination", true, false},
      {SIGILL, "Illegal Instruction", false, false},
      {SIGSEGV, "Segmentation Violation", false, false},
      {SIGABRT, "Abnormal Termination", false, false},
      // A closed terminal, a closed pipe and a quit end the run as a
      // termination does.
      {SIGHUP, "Hangup", true, false},
      {SIGPIPE, "Broken Pipe", true, false},
      {SIGQUIT, "Quit", true, false},
      {SIGUSR1, "Undefined Signal", false, true},
  };
  for (const auto& c : cases) {
    clean();
    EXPECT_EXIT(deliver(c.signal, c.direct), ::testing::ExitedWithCode(1), "") << c.name;
    EXPECT_EQ(slurp("console.txt"), abort_console(c.name));
    if (c.error_end) {
      expect_error_end_in("STAT");
      EXPECT_FALSE(fs::exists("WORK01")) << c.name;
    } else {
      EXPECT_FALSE(fs::exists("STAT")) << c.name;
      EXPECT_TRUE(fs::exists("WORK01")) << c.name;
    }
  }
}

// The progress file renamed by the solver list is the one the handler writes.
TEST_F(Zeph, InterruptDuringTheModelPhaseUsesTheListedProgressFile) {
  g_script.progress_name = "progress.txt";
  g_script.raise_in = "TA1";
  EXPECT_EXIT(run_zeph(fakes()), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(slurp("console.txt"), abort_console("Termination"));
  EXPECT_EQ(lines_of("calls.txt").back(), "TA1 211 208 210 234 212 213 214 215");
  expect_error_end_in("progress.txt");
  EXPECT_FALSE(fs::exists("STAT"));
}

[[noreturn]] void floating_point_error(int value, bool direct) {
  to_console_file();
  open_listing();
  install_signal_handlers();
  if (direct)
    h_fpe(value);
  else
    std::raise(SIGFPE);
  std::exit(7);
}

TEST_F(Zeph, FloatingPointErrorEndsThroughTheFatalPath) {
  struct Case {
    int value;
    bool direct;
  };
  // Raised, and called with a number whose low sixteen bits are 8.
  for (const Case c : {Case{SIGFPE, false}, Case{0x10000 + SIGFPE, true}}) {
    clean();
    EXPECT_EXIT(floating_point_error(c.value, c.direct), ::testing::ExitedWithCode(1), "");
    char reason[80];
    std::snprintf(reason, sizeof reason, "          REASON CODE =%10d,%10d", c.value, 0);
    for (const char* file : {"listing.txt", "errlog.txt"}) {
      const auto lines = lines_of(file);
      ASSERT_GE(lines.size(), 4u) << file;
      EXPECT_EQ(lines[0], "          **** Floating Point Error ****") << file;
      EXPECT_EQ(lines[1], "                Errot No. :     8") << file;
      EXPECT_TRUE(has_line(lines, "0*** SYSTEM FATAL MESSAGE    999, PROGRAM LOGIC ERROR")) << file;
      EXPECT_TRUE(has_line(lines, reason)) << file;
    }
    expect_error_end_in("STAT");
  }
}

}  // namespace
}  // namespace zephsol
