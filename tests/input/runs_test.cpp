// Whole runs of the input phase through the real program on a scratch
// directory, for the faults a user's files can bring: links that loop, a
// missing directory, a deck without line ends, blank file names, a "MEMO"
// past the word space, an empty or cut old problem tape, and an interrupt
// once the solver list is read. Each checks the exit status, the completion
// code in the progress file, the message and the files left behind.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/deck.h"

extern char** environ;

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

// The example deck, with a control card added after the identification card.
std::string example_deck(const std::string& control = "") {
  std::ifstream in(fs::path(ZEPH_TEST_SOURCE_DIR) / ".." / "examples" / "demo.dat");
  std::string deck;
  for (std::string line; std::getline(in, line);) {
    deck += line + "\n";
    if (!control.empty() && line.rfind("Quorvane", 0) == 0) deck += control + "\n";
  }
  return deck;
}

// The deck of a restart from that run: its control deck and, in the bulk
// data, nothing or the history given.
std::string restart_deck(const std::string& history = {}) {
  const std::string deck = example_deck("RESTART");
  return deck.substr(0, deck.find("BEGIN BULK")) + "BEGIN BULK\n" + history + "ENDDATA\n";
}

void write(const DeckRun& run, const std::string& name, const std::string& text) {
  std::ofstream(run.dir() / name, std::ios::binary) << text;
}

// A solver list of the usual names with some lines replaced or added.
std::string solver_list(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out + " END\n";
}

const std::string kErrorEnd = "      -8,       0";
const std::string kNormalEnd = "      -1,       0";

std::string first_line(const DeckRun& run, const std::string& name) {
  const auto lines = run.lines(name);
  return lines.empty() ? std::string() : lines.front();
}

TEST(InputRuns, FilesThatLinkToThemselvesCannotBeOpened) {
  {
    DeckRun run(example_deck());
    fs::remove(run.dir() / "SOLV.LST");
    fs::create_symlink("SOLV.LST", run.dir() / "SOLV.LST");
    std::string console;
    EXPECT_EQ(run.run_program(&console), 1);
    EXPECT_EQ(console, " Cannot open SOLV.LST file.\n");
    EXPECT_EQ(first_line(run, "STAT"), kErrorEnd);
    EXPECT_EQ(run.files(), (Files{"SOLV.LST", "STAT", kDeckFile}));
  }
  {
    DeckRun run(example_deck());
    fs::remove(run.dir() / kDeckFile);
    fs::create_symlink(kDeckFile, run.dir() / kDeckFile);
    std::string console;
    EXPECT_EQ(run.run_program(&console), 1);
    EXPECT_EQ(console, std::string(" Cannot open input deck file: ") + kDeckFile + "\n");
    EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
    EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kProgressFile}));
  }
}

TEST(InputRuns, AnOutputFileInAMissingDirectoryIsReportedAndNothingElseIsCreated) {
  struct Case {
    std::string key;
    Files left;  // besides SOLV.LST and the deck
    bool progress;
  };
  const Case cases[] = {
      {"LIST", {kProgressFile}, true},
      {"ERRO", {kListingFile, kProgressFile}, true},
      {"STAT", {kErrorFile, kListingFile}, false},
  };
  for (const Case& c : cases) {
    DeckRun run(example_deck());
    std::vector<std::string> lines = {" INPT run.dat", " LIST run.lst", " ERRO run.err", " STAT run.sta",
                                      " MEMO 4"};
    for (auto& l : lines)
      if (l.compare(1, 4, c.key) == 0) l = " " + c.key + " no/such/dir/file";
    write(run, "SOLV.LST", solver_list(lines));
    std::string console;
    EXPECT_EQ(run.run_program(&console), 1) << c.key;
    EXPECT_NE(console.find("0*** CANNOT OPEN FILE \"no/such/dir/file\""), std::string::npos) << console;
    Files expected = {"SOLV.LST", kDeckFile};
    expected.insert(expected.end(), c.left.begin(), c.left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(run.files(), expected) << c.key;
    if (c.progress) {
      EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd) << c.key;
    }
  }
}

TEST(InputRuns, ADeckWithoutLineEndsIsAClearEnd) {
  DeckRun run(example_deck());
  write(run, "SOLV.LST", solver_list({" INPT /dev/zero", " LIST run.lst", " ERRO run.err", " STAT run.sta",
                                      " MEMO 4"}));
  std::string console;
  EXPECT_EQ(run.run_program(&console), 1);
  EXPECT_EQ(console, "0*** NO LINE END IN FILE \"/dev/zero\" ON UNIT 5 WITHIN 1048576 CHARACTERS\n");
  EXPECT_TRUE(has_line(run.errors(), "0*** SYSTEM FATAL MESSAGE 3005,"));
  EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
  EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kErrorFile, kListingFile, kProgressFile}));
}

TEST(InputRuns, LongLinesAreCutToTheirColumns) {
  // A card of 100 000 columns is read as its first 80; a solver list line as
  // its first 263 (column 263 blank: the name is the 256 columns before).
  std::string deck = example_deck();
  deck.insert(deck.find("\n") + 1, "$" + std::string(100000, 'x') + "\n");
  DeckRun run(deck);
  write(run, "SOLV.LST", solver_list({" INPT run.dat", " LIST run.lst" + std::string(300, ' ') + "tail",
                                      " ERRO run.err", " STAT run.sta", " MEMO 4"}));
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_EQ(first_line(run, kProgressFile), kNormalEnd);
  EXPECT_TRUE(has_line(run.listing(), "$" + std::string(79, 'x')));
  EXPECT_FALSE(has_line(run.listing(), std::string(80, 'x')));
}

TEST(InputRuns, ABlankFileNameIsTheKeyItself) {
  DeckRun run(example_deck());
  write(run, "SOLV.LST", solver_list({" INPT run.dat", " LIST", " STAT      ", " ERRO run.err", " MEMO 4"}));
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_EQ(first_line(run, "STAT"), kNormalEnd);
  EXPECT_TRUE(has_line(run.lines("LIST"), "QUORVANE"));
  EXPECT_EQ(run.files(), (Files{"LIST", "POST", "SOLV.LST", "STAT", kDeckFile, kErrorFile}));
}

TEST(InputRuns, MemoPastTheWordSpaceNamesTheLargestAccepted) {
  DeckRun run(example_deck(), {.memo = 8192, .solvlst = {}});
  std::string console;
  EXPECT_EQ(run.run_program(&console), 1);
  EXPECT_EQ(console,
            " **** MEMO 8192 IS MORE THAN THE LARGEST ACCEPTED, 8191 MEGABYTES ****\n"
            " **** USER FATAL MESSAGE MEMORY ALLOCATION FAILED ****\n");
  EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
  EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kErrorFile, kListingFile, kProgressFile}));
}

// The new problem tape of a checkpointed run of the example deck.
std::string example_tape() {
  DeckRun run(example_deck("CHKPNT"));
  EXPECT_EQ(run.run_program(), 0);
  return run.text("NPTP");
}

TEST(InputRuns, AnEmptyOrCutOldTapeIsAUserMessage) {
  const std::string tape = example_tape();
  ASSERT_GT(tape.size(), 100u);
  const std::string message = "0*** USER FATAL MESSAGE  566, OLD PROBLEM TAPE IS EMPTY, CUT SHORT OR NOT A PROBLEM TAPE.";
  for (const std::size_t length : {std::size_t{0}, std::size_t{2}, std::size_t{100}, tape.size() - 4}) {
    DeckRun run(restart_deck());
    write(run, "OPTP", tape.substr(0, length));
    std::string console;
    EXPECT_EQ(run.run_program(&console), 1) << length;
    // A tape cut inside its last checkpoint names the one before.
    const std::string last = length == tape.size() - 4 ? "      ITS LAST COMPLETE CHECKPOINT IS THAT OF THE MODEL SET-UP: "
                                                         "RESTART     1 STARTS FROM IT.\n"
                                                       : "";
    EXPECT_EQ(console, message + "\n" + last) << length;
    EXPECT_TRUE(has_line(run.listing(), message)) << length;
    EXPECT_TRUE(has_line(run.errors(), message)) << length;
    EXPECT_FALSE(has_line(run.listing(), "PROGRAM LOGIC ERROR")) << length;
    EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd) << length;
    EXPECT_EQ(run.files(), (Files{"OPTP", "SOLV.LST", kDeckFile, kErrorFile, kListingFile, kProgressFile}));
  }
  // The whole tape restarts after its interval and goes on with a second
  // interval (two steps) of the same gravity: the column carries twice its weight, the
  // vertical stress at the centre of the lower elements is 2 x 18 x 1.5.
  DeckRun run(restart_deck("HISTORY\nINTERVAL       1\n        BODY           1     1.0\nINTERVAL       2\n"
                           "        BODY           1     1.0\n"));
  write(run, "OPTP", tape);
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_EQ(first_line(run, kProgressFile), kNormalEnd);
  EXPECT_TRUE(has_line(run.listing(), "      1 -  5    STRESS  -2.3143E+01 -5.4000E+01 -2.3143E+01"));
}

TEST(InputRuns, AnOldTapeThatLinksToItselfCannotBeOpened) {
  DeckRun run(restart_deck());
  fs::create_symlink("OPTP", run.dir() / "OPTP");
  std::string console;
  EXPECT_EQ(run.run_program(&console), 1);
  EXPECT_EQ(console, "0*** SYSTEM FATAL MESSAGE 530, COULD NOT OPEN FILE NAMED OPTP\n");
  EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
}

TEST(InputRuns, ADecoderMessageNamesItsCard) {
  // A "DISP" member card with components reversed, followed by a good one.
  std::string deck = example_deck();
  deck.insert(deck.find("HISTORY"), "DISP\n" + card({"1"}) + "\n" + card({"", "1", "", "", "", "3", "2"}) + "\n" +
                                        card({"", "2", "", "", "", "1"}) + "\n");
  DeckRun run(deck);
  EXPECT_EQ(run.run_program(), 1);
  // The bulk data cards are counted from "BEGIN BULK": the faulty card is
  // the one after the set card that follows the example's own groups.
  const auto bulk = deck.find("BEGIN BULK\n") + 11;
  const auto at = deck.find(card({"", "1", "", "", "", "3", "2"}));
  const auto number = std::count(deck.begin() + static_cast<std::ptrdiff_t>(bulk),
                                 deck.begin() + static_cast<std::ptrdiff_t>(at), '\n') + 1;
  EXPECT_TRUE(has_line(run.errors(), "0*** USER FATAL MESSAGE    2027,  CARD NUMBER" +
                                         std::string(7 - std::to_string(number).size(), ' ') +
                                         std::to_string(number) + ",  DATA GROUP NAME- DISP"));
  EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
  EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kErrorFile, kListingFile, kProgressFile}));
}

TEST(InputRuns, AWideRangeOverTheExampleRunsAtOnce) {
  // "CONST" over nodes 1 to 99,999,999 of the nine-node example.
  std::string deck = example_deck();
  const auto from = deck.find("CONST\n") + 6;
  deck.replace(from, deck.find("BODY\n") - from, card({"", "1", "99999999", "", "", "1", "2"}) + "\n");
  DeckRun run(deck);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(first_line(run, kProgressFile), kNormalEnd);
  EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kErrorFile, kListingFile, kResultFile, kProgressFile}));
}

// An interrupt once the solver list is read: the deck is a pipe that the
// program opens after the list and then waits on, so the signal arrives
// while the input phase waits for the deck's first card.
TEST(InputRuns, AnInterruptInTheInputPhaseEndsInTheListedProgressFile) {
  for (const int signal : {SIGTERM, SIGINT}) {
    DeckRun run(example_deck());
    fs::remove(run.dir() / kDeckFile);
    ASSERT_EQ(::mkfifo((run.dir() / kDeckFile).c_str(), 0600), 0);
    const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&quiet);
    const int pipe = ::open((run.dir() / kDeckFile).c_str(), O_WRONLY);  // returns once the program opened it
    ASSERT_GE(pipe, 0);
    // The error log is opened right after the deck and the listing.
    for (int i = 0; i < 1000 && !fs::exists(run.dir() / kErrorFile); ++i) ::usleep(10000);
    ::kill(pid, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(first_line(run, kProgressFile), kErrorEnd);
    EXPECT_EQ(run.files(), (Files{"SOLV.LST", kDeckFile, kErrorFile, kListingFile, kProgressFile}));
  }
}

}  // namespace
}  // namespace zephsol::test
