// Whole-run fuzzing: case builders, the run of the program and its checks.
#include "common/scratch.h"
#include "support/fuzz.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <cctype>
#include <set>
#include <sstream>
#include <thread>

#include "common/deck.h"

extern char** environ;

namespace zephsol::fuzz {

namespace {

namespace fs = std::filesystem;
using test::DeckRun;

// A run that has not ended after this long is a finding (hang).
constexpr auto kTimeLimit = std::chrono::seconds(120);

// The base model: four plane-strain quadrilaterals under gravity in three
// intervals. The figures the model cases change are marked @NAME@.
constexpr const char* kControl =
    "Quorvane FUZZ     RUN1\n"
    "TITLE     FUZZ BASE MODEL\n"
    "@CONTROL@"
    "FIELD 3\n"
    "OUTPUT\n"
    "SET 1 = 1 THRU 9\n"
    "DISP = SET 1\n"
    "STRE = ALL\n"
    "NOUTPUT\n"
    "SET 1 = ALL\n"
    "OTIM 1 = ALL\n"
    "BEGIN BULK\n";

constexpr const char* kModel =
    "ELEMENT\n"
    "       1QPLAN4\n"
    "MATERIAL\n"
    "       1       0\n"
    "        E       @E@\n"
    "        NU      @NU@\n"
    "        GAMM    @GAMM@\n"
    "NODE\n"
    "       1             0.0     0.0     0.0\n"
    "       2             1.0     0.0     0.0\n"
    "       3             2.0     0.0     0.0\n"
    "       4             0.0     1.0     0.0\n"
    "       5             1.0     1.0     0.0\n"
    "       6             2.0     1.0     0.0\n"
    "       7             0.0     2.0     0.0\n"
    "       8             1.0     2.0     0.0\n"
    "       9             2.0     2.0     0.0\n"
    "CONNECTI\n"
    "       1       1               1       1       2       5       4\n"
    "       2       1               1       2       3       6       5\n"
    "       3       1               1       4       5       8       7\n"
    "       4       1               1       5       6       9       8\n"
    "CONST\n"
    "               1       3       1               1       2\n"
    "               4       7       3               1       1\n"
    "               6       9       3               1       1\n"
    "BODY\n"
    "       1\n"
    "               1       4       1@GX@@GY@     0.0\n"
    "DISP\n"
    "       1\n"
    "               7       9       1               2       2@U@\n";

// The history of the base run (three intervals) and of a restart that goes
// on for a fourth.
std::string history(int intervals, const std::array<std::string, 4>& factors) {
  std::string h = "HISTORY\n";
  for (int i = 0; i < intervals; ++i) {
    char line[81];
    std::snprintf(line, sizeof line, "INTERVAL%8d\n        BODY           1%8s\n", i + 1,
                  factors[static_cast<std::size_t>(i)].c_str());
    h += line;
    if (i == 0) h += "        DISP           1     1.0\n";
  }
  return h;
}

const std::array<std::string, 4> kFactors = {"0.5", "0.25", "0.25", "0.5"};

void replace(std::string& s, const std::string& key, const std::string& value) {
  for (std::size_t at = s.find(key); at != std::string::npos; at = s.find(key, at + value.size()))
    s.replace(at, key.size(), value);
}

// A figure right-justified in the 8 columns of a field.
std::string field(const std::string& v) { return std::string(8 - std::min<std::size_t>(8, v.size()), ' ') + v.substr(0, 8); }

struct ModelValues {
  std::string e = "1.0E+4", nu = "0.3", gamm = "18.0", gx = "0.0", gy = "-1.0", u = "-0.001";
  std::array<std::string, 4> factors = kFactors;
};

std::string deck(const std::string& control, const ModelValues& m, int intervals, bool model = true) {
  std::string d = kControl;
  replace(d, "@CONTROL@", control);
  if (model) {
    std::string body = kModel;
    replace(body, "@E@", field(m.e));
    replace(body, "@NU@", field(m.nu));
    replace(body, "@GAMM@", field(m.gamm));
    replace(body, "@GX@", field(m.gx));
    replace(body, "@GY@", field(m.gy));
    replace(body, "@U@", field(m.u));
    d += body;
  }
  if (intervals > 0) d += history(intervals, m.factors);
  return d + "ENDDATA\n";
}

// The program's result of one run: exit status (-1 when it did not exit),
// signal (0 when none), whether it ran out of time, and its standard output
// and error together.
struct Ran {
  int exit = -1;
  int signal = 0;
  bool timed_out = false;
  std::string console;
};

Ran spawn_program(const DeckRun& run) {
  const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  std::string out = (fs::temp_directory_path() / "zephfuzzXXXXXX").string();
  const int fd = ::mkstemp(out.data());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fd, 1);
  posix_spawn_file_actions_adddup2(&actions, fd, 2);
  posix_spawn_file_actions_addchdir_np(&actions, run.dir().c_str());
  pid_t pid = 0;
  Ran r;
  const bool spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (spawned) {
    const auto end = std::chrono::steady_clock::now() + kTimeLimit;
    int status = 0;
    for (;;) {
      const pid_t w = ::waitpid(pid, &status, WNOHANG);
      if (w == pid) break;
      if (std::chrono::steady_clock::now() > end) {
        r.timed_out = true;
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (WIFEXITED(status)) r.exit = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  }
  ::close(fd);
  r.console = testing::read_file(out);
  fs::remove(out);
  return r;
}

// The first line of text holding one of the needles, "" when none does.
std::string line_with(const std::string& text, std::initializer_list<const char*> needles) {
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    for (const char* n : needles)
      if (l.find(n) != std::string::npos) return l;
  return {};
}

// Whether the word at `at` of line stands alone: no letter or digit either side.
bool alone(const std::string& line, std::size_t at, std::size_t length) {
  const auto plain = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; };
  return (at == 0 || plain(line[at - 1])) && (at + length == line.size() || plain(line[at + length]));
}

// The first line that holds a non-finite value as the program prints one.
std::string nonfinite_line(const std::string& text) {
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    for (const char* w : {"NaN", "nan", "Infinity", "Inf", "inf"})
      for (std::size_t at = l.find(w); at != std::string::npos; at = l.find(w, at + 1))
        if (alone(l, at, std::strlen(w))) return l;
  return {};
}

const std::set<std::string> kOwnFiles = {"SOLV.LST",          test::kDeckFile,   test::kListingFile,
                                         test::kErrorFile,    test::kProgressFile, test::kConvergenceFile,
                                         test::kResultFile,   "NPTP",            "OPTP"};

std::vector<std::string> check(const DeckRun& run, const Ran& r) {
  std::vector<std::string> f;
  if (const auto l = line_with(r.console, {"AddressSanitizer", "LeakSanitizer", "runtime error:"}); !l.empty())
    f.push_back("sanitizer: " + l);
  if (r.timed_out) f.push_back("no end within the time limit");
  if (r.signal != 0) f.push_back("signal " + std::to_string(r.signal));
  const std::string listing = run.text(test::kListingFile);
  if (const auto l = line_with(r.console + listing, {"SYSTEM ABORT"}); !l.empty()) f.push_back("abort: " + l);
  if (r.exit == 0) {
    for (const char* name : {test::kListingFile, test::kResultFile})
      if (const auto l = nonfinite_line(run.text(name)); !l.empty())
        f.push_back(std::string("normal end with a non-finite value in ") + name + ": " + l);
  }
  if (r.exit != 0 && r.exit != 1 && !r.timed_out && r.signal == 0)
    f.push_back("exit status " + std::to_string(r.exit));
  for (const auto& name : run.files())
    if (!kOwnFiles.contains(name)) f.push_back("file left: " + name);
  return f;
}

// Extreme and ordinary figures for the model cases.
const std::vector<std::string> kFigures = {
    "0.0",     "-1.0",    "0.5",      "0.49999", "-0.99",   "1.0",     "-1.0E+4", "1.0E+38", "-1.0E+38",
    "9.9E+37", "3.4E+38", "1.0E-38",  "1.0E-45", "1.0E-30", "1.0E+20", "-1.0E+20", "1.0E+10", "2.0",
    "1.0E+4",  "0.3",     "18.0",     "-18.0",   "1.0E+30", "0.0001",  "1.0E+39", "-0.5",    "100.0"};

template <class T>
const T& pick(std::mt19937_64& g, const std::vector<T>& v) {
  return v[g() % v.size()];
}

std::string figure(std::mt19937_64& g) {
  if (g() % 4 != 0) return pick(g, kFigures);
  // A random figure of random size, positive or negative.
  const int exponent = static_cast<int>(g() % 81) - 40;
  const double mantissa = 1.0 + static_cast<double>(g() % 9000) / 1000.0;
  char text[32];
  std::snprintf(text, sizeof text, "%s%.1fE%+03d", g() % 2 ? "-" : "", mantissa, exponent);
  return text;
}

const std::vector<std::string> kCheckpoints = {"", "CHKPNT\n", "CHKPNT LAST\n"};

const std::vector<std::string> kSolvers = {"", "", "SOLVER = PCG, 1.0E-10, 20000\n", "SOLVER = METI\n"};

Case model_case(std::uint64_t seed, std::mt19937_64& g, std::string& deck_text) {
  ModelValues m;
  std::string* slots[] = {&m.e,  &m.nu,         &m.gamm,       &m.gx,        &m.gy,
                          &m.u,  &m.factors[0], &m.factors[1], &m.factors[2]};
  const char* names[] = {"E", "NU", "GAMM", "GX", "GY", "U", "F1", "F2", "F3"};
  Case c{seed, "model", ""};
  const int changes = 1 + static_cast<int>(g() % 3);
  for (int k = 0; k < changes; ++k) {
    const std::size_t s = g() % std::size(slots);
    *slots[s] = figure(g);
    c.what += std::string(names[s]) + "=" + *slots[s] + " ";
  }
  const std::string& solver = pick(g, kSolvers);
  c.what += solver.empty() ? "SDCO" : solver.substr(9, solver.find_first_of(",\n") - 9);
  const std::string& checkpoints = pick(g, kCheckpoints);
  c.what += " " + checkpoints.substr(0, checkpoints.find('\n'));
  deck_text = deck(solver + checkpoints, m, 3);
  return c;
}

// One damage of the tape; its description goes to what.
void damage(std::mt19937_64& g, std::string& tape, std::string& what) {
  const std::size_t words = tape.size() / 4;
  const auto word_at = [&](std::size_t w) {
    std::int32_t v;
    std::memcpy(&v, tape.data() + 4 * w, 4);
    return v;
  };
  const auto set_word = [&](std::size_t w, std::int32_t v) { std::memcpy(tape.data() + 4 * w, &v, 4); };
  // A word moved by d, wrapping round as the tape's 32 bits do.
  const auto moved = [](std::int32_t v, std::int64_t d) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + static_cast<std::uint32_t>(d));
  };
  switch (g() % 6) {
    case 0: {  // one word to an extreme or random value
      const std::size_t w = g() % words;
      static const std::int32_t kExtremes[] = {0, -1, 1, 2, 0x7FFFFFFF, INT32_MIN, 65535, 65536, 0x30000000,
                                               0x10000000, -16777216, 1000000};
      const std::int32_t v = g() % 3 == 0 ? static_cast<std::int32_t>(g())
                             : g() % 2   ? kExtremes[g() % std::size(kExtremes)]
                                         : moved(word_at(w), static_cast<std::int64_t>(g() % 21) - 10);
      what += "word " + std::to_string(w) + "=" + std::to_string(v) + " ";
      set_word(w, v);
      break;
    }
    case 1: {  // one bit
      const std::size_t b = g() % tape.size();
      const int bit = static_cast<int>(g() % 8);
      tape[b] = static_cast<char>(tape[b] ^ (1 << bit));
      what += "byte " + std::to_string(b) + " bit " + std::to_string(bit) + " ";
      break;
    }
    case 2: {  // one byte
      const std::size_t b = g() % tape.size();
      tape[b] = static_cast<char>(g());
      what += "byte " + std::to_string(b) + " set ";
      break;
    }
    case 3: {  // cut
      const std::size_t at = g() % tape.size();
      tape.resize(at);
      what += "cut at " + std::to_string(at) + " ";
      break;
    }
    case 4: {  // a word range copied over another (a record moved)
      const std::size_t n = 1 + g() % 64;
      if (words <= n) break;
      const std::size_t from = g() % (words - n), to = g() % (words - n);
      std::memmove(tape.data() + 4 * to, tape.data() + 4 * from, 4 * n);
      what += "words " + std::to_string(from) + "+" + std::to_string(n) + " to " + std::to_string(to) + " ";
      break;
    }
    default: {  // a word of the checkpoints (after the bulk data) counted up or down
      const std::size_t w = words / 3 + g() % (words - words / 3);
      const std::int32_t d = (g() % 2 ? 1 : -1) * static_cast<std::int32_t>(1 + g() % 100);
      const std::int32_t v = moved(word_at(w), d);
      what += "word " + std::to_string(w) + "=" + std::to_string(v) + " ";
      set_word(w, v);
      break;
    }
  }
}

Case tape_case(std::uint64_t seed, std::mt19937_64& g, std::string& deck_text, std::string& tape) {
  Case c{seed, "tape", ""};
  tape = base_tape();
  const int damages = 1 + static_cast<int>(g() % 3);
  for (int k = 0; k < damages && tape.size() >= 4; ++k) damage(g, tape, c.what);
  const int restart = static_cast<int>(g() % 5);  // 0: "RESTART" without a number
  std::string control = restart == 0 ? "RESTART\n" : "RESTART " + std::to_string(restart) + "\n";
  if (g() % 2) control += "CHKPNT\n";
  const bool goes_on = g() % 3 != 0;
  c.what += "| " + control.substr(0, control.find('\n')) + (goes_on ? " with a fourth interval" : "");
  deck_text = deck(control, ModelValues{}, goes_on ? 4 : 0, false);
  return c;
}

}  // namespace

const std::string& base_tape() {
  static const std::string tape = [] {
    DeckRun run(deck("CHKPNT\n", ModelValues{}, 3));
    const Ran r = spawn_program(run);
    return r.exit == 0 ? run.text("NPTP") : std::string();
  }();
  return tape;
}

Outcome run_case(std::uint64_t seed) {
  std::mt19937_64 g(seed);
  std::string deck_text, tape;
  Outcome o;
  o.c = g() % 2 ? tape_case(seed, g, deck_text, tape) : model_case(seed, g, deck_text);
  DeckRun run(deck_text, test::DeckOptions{4, {" MMEM 8", " PMEM 8"}});
  if (o.c.kind == "tape") std::ofstream(run.dir() / "OPTP", std::ios::binary) << tape;
  const Ran r = spawn_program(run);
  o.exit = r.exit;
  o.findings = check(run, r);
  o.message = line_with(run.text(test::kErrorFile), {"FATAL", "ERROR", "ABORT"});
  if (o.message.empty()) o.message = line_with(r.console, {"FATAL", "ERROR", "ABORT"});
  return o;
}

std::vector<Outcome> campaign(std::uint64_t first, std::uint64_t count, bool verbose) {
  std::vector<Outcome> found;
  for (std::uint64_t s = first; s < first + count; ++s) {
    Outcome o = run_case(s);
    if (verbose || !o.findings.empty())
      std::printf("seed %llu %s exit %d: %s\n    %s\n", static_cast<unsigned long long>(s), o.c.kind.c_str(), o.exit,
                  o.c.what.c_str(), o.message.c_str());
    for (const auto& f : o.findings) std::printf("  FINDING %s\n", f.c_str());
    std::fflush(stdout);
    if (!o.findings.empty()) found.push_back(std::move(o));
  }
  return found;
}

}  // namespace zephsol::fuzz
