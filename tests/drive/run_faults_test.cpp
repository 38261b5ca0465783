// Whole runs of the program under what the world does to a run: a second
// run in the same directory, a reader of the progress file while the run
// goes on, signals while it works, and files that cannot be written. Each
// checks the exit status, what the console, the listing, the error log and
// the progress file say, and that no work file is left.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "common/deck.h"

extern char** environ;

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

using testing::read_file;

std::string example_deck(const std::string& name) {
  return read_file(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / name / (name + ".dat"));
}

std::string demo_deck() { return read_file(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat"); }

const std::string kErrorEnd = "      -8,       0";

// The program started on a run's directory, its console going to a file.
class Child {
 public:
  explicit Child(const DeckRun& run) : console_(run.dir() / ".." / (run.dir().filename().string() + ".console")) {
    const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, console_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
    fs::remove(console_);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void signal(int s) const { ::kill(pid_, s); }
  // Whether the program is still running (false once it has ended).
  bool running() {
    if (pid_ <= 0) return false;
    if (::waitpid(pid_, &status_, WNOHANG) != pid_) return true;
    pid_ = 0;
    return false;
  }
  // The exit status; -1 when the program did not exit normally.
  int wait() {
    if (pid_ > 0 && ::waitpid(pid_, &status_, 0) != pid_) status_ = -1;
    pid_ = 0;
    return status_ >= 0 && WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
  }
  std::string console() const { return read_file(console_); }

 private:
  fs::path console_;
  pid_t pid_ = 0;
  int status_ = 0;
};

bool has_work_file(const DeckRun& run) {
  const Files f = run.files();
  return std::any_of(f.begin(), f.end(), [](const std::string& n) { return n.rfind("WORK", 0) == 0; });
}

// The steps the console reported done: the cumulative step of its last
// progress line ("総ステップ k / total", in Shift-JIS or, on a UTF-8
// console, in UTF-8), 0 when none.
int steps_reported(const std::string& console) {
  int steps = 0;
  std::size_t last = 0;
  for (const std::string total : {"\x91\x8d\x83X\x83""e\x83""b\x83v",
                                   "\xE7\xB7\x8F\xE3\x82\xB9\xE3\x83\x86\xE3\x83\x83\xE3\x83\x97"}) {
    const auto at = console.rfind(total);
    if (at == std::string::npos || at < last) continue;
    last = at;
    steps = std::stoi(console.substr(at + total.size(), 4));
  }
  return steps;
}

// Tables of accumulated displacements in a listing ("変　　位").
int displacement_tables(const std::vector<std::string>& listing) {
  return count_lines(listing, "\x95\xcf\x81\x40\x81\x40\x88\xca");
}

// A second run in a directory where a run is going on stops at once with a
// line on the console and creates nothing; the first run goes on undisturbed
// to its normal end with every step of its own.
TEST(RunFaults, ASecondRunInTheSameDirectoryStopsAtOnce) {
  DeckRun run(example_deck("footing"), {.memo = 16, .solvlst = {}});
  Child first(run);
  for (int i = 0; i < 5000 && steps_reported(first.console()) < 2; ++i) ::usleep(2000);
  ASSERT_GE(steps_reported(first.console()), 2);
  const auto start = std::chrono::steady_clock::now();
  std::string console;
  EXPECT_EQ(run.run_program(&console), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(console.find("0*** ANOTHER RUN IS USING THE DIRECTORY \""), 0u) << console;
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(run.lines(kProgressFile).front(), "      -1,       0");
  EXPECT_EQ(displacement_tables(run.listing()), 51);
  EXPECT_EQ(run.files(), (Files{"SOLV.LST", "run.cnv", "run.dat", "run.err", "run.lst", "run.neu", "run.sta"}));
}

// A reader of the progress file always finds a whole record: a first line
// of two counts, and for a step its three lines after it. Read as fast as
// it can while the footing example runs its 51 steps.
TEST(RunFaults, TheProgressFileIsAlwaysAWholeRecord) {
  DeckRun run(example_deck("footing"), {.memo = 16, .solvlst = {}});
  Child child(run);
  const fs::path progress = run.dir() / kProgressFile;
  std::set<std::string> records;
  int reads = 0;
  while (child.running()) {
    if (!fs::exists(progress)) continue;
    const std::string text = read_file(progress);
    ++reads;
    ASSERT_FALSE(text.empty()) << "an empty progress file after " << records.size() << " records";
    ASSERT_EQ(text.back(), '\n') << text;
    ASSERT_EQ(text.find('\n'), 17u) << text;
    records.insert(text);
  }
  EXPECT_EQ(child.wait(), 0);
  EXPECT_GT(records.size(), 10u) << reads << " reads";
  EXPECT_FALSE(fs::exists(progress.string() + ".new"));
}

// A signal while the run works: the listing holds every step the console
// reported done and ends with the abort lines the console shows, and so
// does the error log; the progress file records the error end and no work
// file is left. A closed terminal, a closed pipe and a quit end the run as
// a termination does.
TEST(RunFaults, ASignalEndsTheRunWithEverythingRecorded) {
  const std::pair<int, std::string> signals[] = {
      {SIGTERM, "Termination"}, {SIGINT, "Interrupt"}, {SIGHUP, "Hangup"}, {SIGPIPE, "Broken Pipe"},
      {SIGQUIT, "Quit"}};
  for (const auto& [sig, name] : signals) {
    DeckRun run(example_deck("footing"), {.memo = 16, .solvlst = {}});
    Child child(run);
    // Some steps in, while the listing's text is still buffered.
    for (int i = 0; i < 2000 && steps_reported(child.console()) < 5; ++i) ::usleep(2000);
    child.signal(sig);
    EXPECT_EQ(child.wait(), 1) << name;
    const std::string console = child.console();
    const std::string abort = "          ***** SYSTEM ABORT *****\n                SIGNAL : " + name +
                              std::string(40 - name.size(), ' ') + "\n";
    ASSERT_GE(console.size(), abort.size()) << name;
    EXPECT_EQ(console.substr(console.size() - abort.size()), abort) << name;
    const std::string listing = run.text(kListingFile);
    ASSERT_GE(listing.size(), abort.size()) << name;
    EXPECT_EQ(listing.substr(listing.size() - abort.size()), abort) << name;
    const std::string errors = run.text(kErrorFile);
    ASSERT_GE(errors.size(), abort.size()) << name;
    EXPECT_EQ(errors.substr(errors.size() - abort.size()), abort) << name;
    EXPECT_GE(displacement_tables(run.listing()), steps_reported(console)) << name;
    EXPECT_GE(steps_reported(console), 5) << name;
    EXPECT_EQ(run.lines(kProgressFile).front(), kErrorEnd) << name;
    EXPECT_FALSE(has_work_file(run)) << name;
    EXPECT_FALSE(fs::exists(run.dir() / (std::string(kProgressFile) + ".new"))) << name;
  }
}

// A listing or an error log that cannot be written (a full device): the
// console names the file and the reason, the other file of the two carries
// the message of the failed write (3993), the progress file records the
// error end with the reason, and no work file is left.
TEST(RunFaults, AFileThatCannotBeWrittenIsReportedWhereItCanBe) {
  struct Case {
    const char* key;
    const char* other;  // the file of the two that can be written
  };
  for (const Case c : {Case{"LIST", kErrorFile}, Case{"ERRO", kListingFile}}) {
    // A deck with an input error, whose message goes to both files.
    std::string deck = demo_deck();
    const std::string nu = "        NU           0.3";
    deck.replace(deck.find(nu), nu.size(), "        NU           0.5");
    DeckRun run(deck);
    std::string list = read_file(run.dir() / "SOLV.LST");
    const std::string line = std::string(" ") + c.key + " ";
    const auto at = list.find(line);
    ASSERT_NE(at, std::string::npos);
    list.replace(at, list.find('\n', at) - at, line + "/dev/full");
    std::ofstream(run.dir() / "SOLV.LST", std::ios::binary) << list;
    std::string console;
    EXPECT_EQ(run.run_program(&console), 1) << c.key;
    const std::string named = "0*** CANNOT WRITE FILE \"/dev/full\" ON UNIT ";
    EXPECT_NE(console.find(named), std::string::npos) << c.key << console;
    EXPECT_NE(run.text(c.other).find(" 3993"), std::string::npos) << c.key << run.text(c.other);
    const auto progress = run.lines(kProgressFile);
    ASSERT_GE(progress.size(), 3u) << c.key;
    EXPECT_EQ(progress[0], kErrorEnd) << c.key;
    EXPECT_EQ(progress[2].rfind("*** CANNOT WRITE FILE \"/dev/full\"", 0), 0u) << c.key << progress[2];
    EXPECT_FALSE(has_work_file(run)) << c.key;
  }
}

}  // namespace
}  // namespace zephsol::test
