// Whole runs that restart from old problem tapes that cannot serve as they
// are: damaged in one word (a block number, a word count, a data-block name,
// a checkpoint header or counter, a prescribed freedom, a record of the
// assembly dictionary), cut inside their last checkpoint, or holding an
// analysis that is already complete. Each must end with its message,
// completion code -8, exit status 1 and no work file left; the checkpoints
// before the damage stay usable. A run killed while it writes its tape
// keeps what the tape held.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/deck.h"

extern char** environ;

namespace zephsol::test {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::string>;

// Four plane-strain quadrilaterals under gravity, their top pushed down in
// the first of three intervals.
std::string control(const std::string& cards) {
  return "Quorvane TAPE     RUN1\nTITLE     DAMAGED TAPES\n" + cards +
         "FIELD 3\nOUTPUT\nSET 1 = 1 THRU 9\nDISP = SET 1\nNOUTPUT\nSET 1 = ALL\nOTIM 1 = ALL\nBEGIN BULK\n";
}

const std::string kHistory =
    "HISTORY\n"
    "INTERVAL       1\n        BODY           1     0.5\n        DISP           1     1.0\n"
    "INTERVAL       2\n        BODY           1    0.25\n"
    "INTERVAL       3\n        BODY           1    0.25\n";

// A square of n x n plane-strain quadrilaterals of side 1 under gravity,
// held at its base and sides, its top pushed down in the first interval;
// its checkpoints fill several blocks of the tape.
constexpr int kSide = 8;

std::string field(const std::string& v) { return std::string(8 - v.size(), ' ') + v; }
std::string fields(std::initializer_list<std::string> f) {
  std::string out;
  for (const auto& v : f) out += field(v);
  return out + "\n";
}

std::string model() {
  const int row = kSide + 1;
  std::string m = "ELEMENT\n       1QPLAN4\n"
                  "MATERIAL\n       1       0\n        E         1.0E+4\n        NU           0.3\n"
                  "        GAMM        18.0\nNODE\n";
  for (int j = 0; j < row; ++j)
    for (int i = 0; i < row; ++i)
      m += fields({std::to_string(j * row + i + 1), "", std::to_string(i) + ".0", std::to_string(j) + ".0", "0.0"});
  m += "CONNECTI\n";
  for (int j = 0; j < kSide; ++j)
    for (int i = 0; i < kSide; ++i) {
      const int n = j * row + i + 1;
      m += fields({std::to_string(j * kSide + i + 1), "1", "", "1", std::to_string(n), std::to_string(n + 1),
                   std::to_string(n + row + 1), std::to_string(n + row)});
    }
  const std::string last = std::to_string(row * row), step = std::to_string(row);
  m += "CONST\n" + fields({"", "1", std::to_string(row), "1", "", "1", "2"}) +
       fields({"", std::to_string(row + 1), std::to_string(row * (row - 1) + 1), step, "", "1", "1"}) +
       fields({"", std::to_string(2 * row), last, step, "", "1", "1"});
  m += "BODY\n       1\n" + fields({"", "1", std::to_string(kSide * kSide), "1", "0.0", "-1.0", "0.0"});
  m += "DISP\n       1\n" + fields({"", std::to_string(row * (row - 1) + 1), last, "1", "", "2", "2", "-0.001"});
  return m;
}

// The deck of a restart: its control cards and, in the bulk data, nothing or
// the history given.
std::string restart_deck(const std::string& cards, const std::string& history = {}) {
  return control(cards) + history + "ENDDATA\n";
}

// The new problem tape of the whole run, with a checkpoint after every
// interval.
const std::string& clean_tape() {
  static const std::string tape = [] {
    DeckRun run(control("CHKPNT\n") + model() + kHistory + "ENDDATA\n");
    EXPECT_EQ(run.run_program(), 0);
    return run.text("NPTP");
  }();
  return tape;
}

std::int32_t word_at(const std::string& t, std::size_t at) {
  std::int32_t w;
  std::memcpy(&w, t.data() + at, 4);
  return w;
}
void set_word(std::string& t, std::size_t at, std::int32_t w) { std::memcpy(t.data() + at, &w, 4); }

// Byte offset of the first place where the words given follow each other.
std::size_t find_words(const std::string& t, std::initializer_list<std::int32_t> words) {
  std::string pattern(words.size() * 4, '\0');
  std::memcpy(pattern.data(), words.begin(), pattern.size());
  const std::size_t at = t.find(pattern);
  EXPECT_NE(at, std::string::npos) << "pattern not on the tape";
  return at == std::string::npos ? 0 : at;
}

constexpr std::int32_t kSetMark = 2147483647;
// Bytes of one record of the tape file (a block with its two length words).
std::size_t record_bytes(const std::string& t) { return static_cast<std::size_t>(word_at(t, 0)) + 8; }
// Offset of word k of the block of file record r (from 1).
std::size_t block_word(const std::string& t, std::size_t r, std::size_t k) {
  return (r - 1) * record_bytes(t) + 4 + 4 * k;
}
// The file record that holds byte `at`.
std::size_t record_of(const std::string& t, std::size_t at) { return at / record_bytes(t) + 1; }

const std::string kDamaged = "0*** USER FATAL MESSAGE  566, OLD PROBLEM TAPE IS EMPTY, CUT SHORT OR NOT A PROBLEM TAPE.";
const std::string kErrorEnd = "      -8,       0";

// Runs a restart deck on a tape and checks the error end: exit 1, the line
// expected on the listing and the error log, -8 in the progress file, no
// file but the run's own.
void expect_error_end(const std::string& deck, const std::string& tape, const std::string& line,
                      const std::string& next_line = {}) {
  DeckRun run(deck);
  std::ofstream(run.dir() / "OPTP", std::ios::binary) << tape;
  EXPECT_EQ(run.run_program(), 1);
  EXPECT_TRUE(has_line(run.listing(), line));
  EXPECT_TRUE(has_line(run.errors(), line));
  if (!next_line.empty()) {
    EXPECT_TRUE(has_line(run.errors(), next_line));
  }
  EXPECT_FALSE(has_line(run.listing(), "SYSTEM ABORT"));
  EXPECT_FALSE(has_line(run.listing(), "PROGRAM LOGIC ERROR"));
  const auto progress = run.lines(kProgressFile);
  EXPECT_EQ(progress.empty() ? "" : progress.front(), kErrorEnd);
  for (const auto& f : run.files())
    EXPECT_TRUE(f == "SOLV.LST" || f == kDeckFile || f == kListingFile || f == kErrorFile || f == kProgressFile ||
                f == "OPTP")
        << "left behind: " << f;
}

struct Damage {
  const char* what;
  std::function<void(std::string&)> apply;
  const char* restart;
  const char* next_line;  // the line after 566, "" for none
};

TEST(TapeRuns, ADamagedTapeEndsWithTheUserMessageOfADamagedTape) {
  const std::string& clean = clean_tape();
  ASSERT_GT(clean.size(), 1000u);
  const std::int32_t xvps = name_word("XVPS");
  const Damage cases[] = {
      {"a block number (the index of the block) out of step",
       [](std::string& t) { set_word(t, block_word(t, record_of(t, t.size() / 2), 0), 99999); }, "RESTART", ""},
      {"a segment's word count past its block",
       [](std::string& t) {
         const std::size_t hw2 = block_word(t, record_of(t, t.size() / 2), 2);
         set_word(t, hw2, word_at(t, hw2) | 0xFFFF);
       },
       "RESTART", ""},
      {"a data-block name no checkpoint saves (an identifier)",
       [](std::string& t) {
         set_word(t, find_words(t, {kSetMark, name_word("UG  ")}) + 4, name_word("CTRL"));
       },
       "RESTART", "      ITS LAST COMPLETE CHECKPOINT IS THAT OF THE MODEL SET-UP: RESTART     1 STARTS FROM IT."},
      {"a checkpoint's count of data-block sets below 0",
       [&](std::string& t) { set_word(t, find_words(t, {kSetMark, xvps, 2, 1}) + 16, -5); }, "RESTART",
       "      ITS LAST COMPLETE CHECKPOINT IS THAT OF INTERVAL     1: RESTART     2 STARTS FROM IT."},
      {"a checkpoint's step counters: interval 2 says 7",
       [&](std::string& t) {
         const std::size_t h = find_words(t, {kSetMark, xvps, 2, 1});
         // The record of the step counters follows the 8 header words and its
         // own two segment words.
         set_word(t, h + 32 + 8, 7);
       },
       "RESTART 3", "      ITS LAST COMPLETE CHECKPOINT IS THAT OF INTERVAL     1: RESTART     2 STARTS FROM IT."},
      {"a prescribed freedom past the last equation",
       [](std::string& t) {
         const std::size_t head = find_words(t, {name_word("BOUN"), 1, kSide + 1, 0});
         // The pairs [freedom, value] follow the five words of the head and
         // their record's two segment words.
         ASSERT_EQ(word_at(t, head + 24) & 0xFFFF, 2 * (kSide + 1));
         set_word(t, head + 28, 1000000);
       },
       "RESTART 1", ""},
      // The assembly dictionary's record of node 1 (first equation 1, two
      // DOFs; four connections of 8 DOFs; element 1) is read by the
      // stiffness assembly of the first step after the restart.
      {"a node's DOF count in the assembly dictionary",
       [](std::string& t) { set_word(t, find_words(t, {1026, 4, 8, 1, 1}), 1027); }, "RESTART 2", ""},
      {"the DOF total of a node's connections",
       [](std::string& t) { set_word(t, find_words(t, {1026, 4, 8, 1, 1}) + 8, 9); }, "RESTART 2", ""},
      {"a data block's header saying it holds data its set does not (a count)",
       [](std::string& t) { set_word(t, find_words(t, {kSetMark, name_word("TMPD"), 0, 0, 0, 0, 0, 0}) + 28, 17); },
       "RESTART 2", ""},
      {"a connection naming a node of no element of the node (an index)",
       [](std::string& t) { set_word(t, find_words(t, {1026, 4, 8, 1, 1}) + 28, (40 << 10) | 2); }, "RESTART 2", ""},
      // The total load of interval 1's checkpoint: strings of one term
      // (row, previous count x 65536 + count, the value), the second's count
      // past its segment.
      {"a count of terms in a string of a matrix column",
       [](std::string& t) {
         const std::size_t h = find_words(t, {kSetMark, name_word("PGM "), 1, 162});
         ASSERT_EQ(word_at(t, h + 4 * 15), 65537);
         set_word(t, h + 4 * 15, 0x10FFF);
       },
       "RESTART 2", ""},
      {"the row count in the header of the total load",
       [](std::string& t) { set_word(t, find_words(t, {kSetMark, name_word("PGM "), 1, 162}) + 12, 163); },
       "RESTART 2", ""},
      // The first element record of interval 1's integration-point states:
      // [element, type code, class, points, output points, 0].
      {"an element record's class outside 1-11",
       [](std::string& t) {
         const std::string set = t.substr(find_words(t, {kSetMark, name_word("EIV0")}), 8);
         const std::size_t h = t.find(set, find_words(t, {kSetMark, name_word("PGM "), 1, 162}));
         ASSERT_NE(h, std::string::npos);
         ASSERT_EQ(word_at(t, h + 4 * 10), 1);
         set_word(t, h + 4 * 12, 40);
       },
       "RESTART 2", ""},
      {"the column count in the header of the unbalanced force",
       [](std::string& t) { set_word(t, find_words(t, {kSetMark, name_word("QG  "), 1, 162}) + 8, 2); },
       "RESTART 2", ""},
      // The gravity load records of the elements: [element, 1, 7, 3, ...].
      {"an element number out of order in the load records",
       [](std::string& t) { set_word(t, find_words(t, {589831, 2, 1, 7, 3}) + 4, 1000000); }, "RESTART 2", ""},
      // A load set's head record: [FORC, set, kinds of load].
      {"the name of a load set's head",
       [](std::string& t) { set_word(t, find_words(t, {name_word("FORC"), 17, 2}), name_word("FORM")); }, "RESTART 2",
       ""},
      {"the kinds of load of a load set",
       [](std::string& t) { set_word(t, find_words(t, {name_word("FORC"), 17, 2}) + 8, 3); }, "RESTART 2", ""},
  };
  for (const Damage& d : cases) {
    SCOPED_TRACE(d.what);
    std::string tape = clean;
    d.apply(tape);
    expect_error_end(restart_deck(std::string(d.restart) + "\n", kHistory), tape, kDamaged, d.next_line);
  }
}

TEST(TapeRuns, ATapeCutInsideItsLastCheckpointNamesTheLastCompleteOne) {
  const std::string& clean = clean_tape();
  const std::size_t last = find_words(clean, {kSetMark, name_word("XVPS"), 3, 1});
  // A run killed while writing the checkpoint of interval 3 leaves the
  // blocks written whole: here those up to the one after the block where it
  // begins.
  const std::string cut = clean.substr(0, (record_of(clean, last) + 1) * record_bytes(clean));
  ASSERT_LT(cut.size(), clean.size());
  expect_error_end(restart_deck("RESTART\n"), cut, kDamaged,
                   "      ITS LAST COMPLETE CHECKPOINT IS THAT OF INTERVAL     2: RESTART     3 STARTS FROM IT.");
  // The restart the message names goes on from that checkpoint.
  DeckRun run(restart_deck("RESTART 3\n"));
  std::ofstream(run.dir() / "OPTP", std::ios::binary) << cut;
  EXPECT_EQ(run.run_program(), 0);
  EXPECT_EQ(run.lines(kProgressFile).at(0), "      -1,       0");
}

TEST(TapeRuns, RestartingACompleteAnalysisSaysSo) {
  const std::string complete =
      "0*** USER FATAL MESSAGE  567, THE ANALYSIS ON THE OLD PROBLEM TAPE IS COMPLETE: IT HOLDS      3 INTERVALS.";
  for (const char* card : {"RESTART", "RESTART 4"}) {
    SCOPED_TRACE(card);
    expect_error_end(restart_deck(std::string(card) + "\n"), clean_tape(), complete);
  }
}

// Bytes of one block of the tape file with its two length words.
constexpr long long kBlockBytes = 4104;

// Size of a file of the run's directory, -1 when there is none.
long long size_of(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? st.st_size : -1;
}

// Runs the program on the directory and kills it (SIGKILL) as soon as a
// step-loop checkpoint of mode "LAST" is being written over the one before:
// the tape shrinks by more than the one block that every append rewrites
// (written over in place) or a copy of it appears beside it. False when the
// run ended first.
bool kill_while_rewriting(const DeckRun& run) {
  const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  const fs::path tape = run.dir() / "NPTP", copy = run.dir() / "NPTP.NEW";
  long long largest = 0;
  int status = 0;
  for (;;) {
    const long long size = size_of(tape);
    if (size_of(copy) >= 0 || size < largest - kBlockBytes) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return true;
    }
    largest = std::max(largest, size);
    if (::waitpid(pid, &status, WNOHANG) == pid) return false;
  }
}

TEST(TapeRuns, AKillWhileTheLastCheckpointIsRewrittenLeavesTheOneBefore) {
  const std::string deck = control("CHKPNT LAST\n") + model() + kHistory + "ENDDATA\n";
  for (int attempt = 0; attempt < 40; ++attempt) {
    std::string tape;
    {
      DeckRun run(deck);
      if (!kill_while_rewriting(run)) continue;
      tape = run.text("NPTP");
      // The copy the kill left beside the tape goes with the next run there
      // that writes a tape, whatever its checkpoints.
      if (fs::exists(run.dir() / "NPTP.NEW")) {
        std::ofstream(run.dir() / kDeckFile, std::ios::binary) << control("CHKPNT\n") + model() + kHistory + "ENDDATA\n";
        EXPECT_EQ(run.run_program(), 0);
        EXPECT_FALSE(fs::exists(run.dir() / "NPTP.NEW"));
      }
    }
    // The tape left restarts after the interval checkpointed before: the
    // restart runs the intervals after it to a normal end.
    DeckRun restart(restart_deck("RESTART\n", kHistory));
    std::ofstream(restart.dir() / "OPTP", std::ios::binary) << tape;
    const int status = restart.run_program();
    // On a busy machine the kill can land after the last checkpoint was
    // finished: that tape is complete (567), and the run was not caught.
    if (status != 0 && has_line(restart.errors(), "567")) continue;
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(has_line(restart.errors(), "566"));
    EXPECT_EQ(restart.lines(kProgressFile).at(0), "      -1,       0");
    return;
  }
  FAIL() << "no run was caught rewriting its checkpoint";
}

// Runs the program on the directory with a library preloaded that kills it
// (SIGKILL) right after the nth cut (ftruncate) of the new problem tape, and
// records the tape's size before that cut in NPTP.size. False when the run
// ended first.
bool kill_after_tape_cut(int nth) {
  const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
  std::vector<std::string> env;
  bool asan_options = false;
  for (char** e = environ; *e != nullptr; ++e) {
    env.emplace_back(*e);
    // A sanitized program accepts a library loaded before its sanitizer.
    if (env.back().rfind("ASAN_OPTIONS=", 0) == 0) {
      env.back() += ":verify_asan_link_order=0";
      asan_options = true;
    }
  }
  if (!asan_options) env.emplace_back("ASAN_OPTIONS=verify_asan_link_order=0");
  env.emplace_back(std::string("LD_PRELOAD=") + ZEPH_KILL_AFTER_TRUNCATE_LIBRARY);
  env.emplace_back("ZEPH_KILL_AFTER_TRUNCATE=NPTP " + std::to_string(nth));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// The checkpoint that the line after 566 names as the one to restart from,
// 0 when it names none.
int restart_named(const std::vector<std::string>& errors) {
  for (const std::string& line : errors)
    if (const auto at = line.find(": RESTART"); at != std::string::npos && line.find("STARTS FROM IT.") != std::string::npos)
      return std::stoi(line.substr(at + 9));
  return 0;
}

// Every append of a checkpoint writes the tape's last block again, in
// place, and cuts the file after it. A kill right after any cut must leave
// every byte written before it. A plain restart from the tape left then
// ends normally or on 566 (534 for a tape cut before its first set), and
// the restart that 566 names, if any, ends normally: a tape cut inside the
// model set-up names none.
TEST(TapeRuns, AKillRightAfterTheTapeIsCutLosesNothingWritten) {
  const std::string deck = control("CHKPNT\n") + model() + kHistory + "ENDDATA\n";
  int kills = 0;
  for (int nth = 1; nth <= 40; ++nth) {
    DeckRun run(deck);
    if (!kill_after_tape_cut(nth)) break;
    ++kills;
    long long before = -1;
    std::ifstream(run.dir() / "NPTP.size") >> before;
    ASSERT_GE(before, 0) << "cut " << nth;
    EXPECT_GE(size_of(run.dir() / "NPTP"), before) << "cut " << nth;
    const std::string tape = run.text("NPTP");
    DeckRun restart(restart_deck("RESTART\n", kHistory));
    std::ofstream(restart.dir() / "OPTP", std::ios::binary) << tape;
    if (restart.run_program() == 0) continue;
    // A tape cut before its first set ends the reading of the old bulk data.
    EXPECT_TRUE(has_line(restart.errors(), kDamaged) ||
                has_line(restart.listing(), "0*** SYSTEM FATAL MESSAGE 534, ENCOUNTERED EOF/EOR WHILE READING FILE OPTP"))
        << "cut " << nth;
    const int from = restart_named(restart.errors());
    if (from == 0) continue;
    DeckRun again(restart_deck("RESTART " + std::to_string(from) + "\n", kHistory));
    std::ofstream(again.dir() / "OPTP", std::ios::binary) << tape;
    EXPECT_EQ(again.run_program(), 0) << "cut " << nth << ", RESTART " << from;
  }
  EXPECT_GT(kills, 1);
}

}  // namespace
}  // namespace zephsol::test
