// Test support shared by the model, solve, iteration and output tests: a
// deck given as text, run as a user runs it.
//
// DeckRun writes "SOLV.LST" and the deck into a new scratch directory and
// makes it the working directory for its lifetime. Then either
//   - input() runs the real input phase (XINPT) in this process, from fresh
//     records of every subsystem, so that the test goes on by calling the
//     modules it checks (GP1, TA2, TA1, ...) and reading the data blocks they
//     wrote; a fatal deck or module ends the process, so fatal paths go
//     inside EXPECT_EXIT (the child shares the directory, the parent reads
//     the files it left); or
//   - run_program() runs the solver program itself in a child process on
//     the directory and returns its exit status, for whole runs checked
//     through the listing, error log, progress file and left-over files.
//
// A deck is the whole input: identification card, control cards, case
// control, "BEGIN BULK", bulk data, "ENDDATA". bulk_deck() wraps bulk data
// cards in the smallest control deck that the input phase accepts. Cards in
// fixed fields of eight columns are written with card().
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// The file names the solver list gives the run's files.
inline constexpr const char* kDeckFile = "run.dat";
inline constexpr const char* kListingFile = "run.lst";
inline constexpr const char* kErrorFile = "run.err";
inline constexpr const char* kProgressFile = "run.sta";
inline constexpr const char* kConvergenceFile = "run.cnv";
inline constexpr const char* kResultFile = "run.neu";

struct DeckOptions {
  word memo = 4;                      // open core, megabytes (solver list "MEMO")
  std::vector<std::string> solvlst;   // further solver-list lines (" MMEM 8", ...)
};

// A card of fixed fields: each text left-justified in its 8 columns.
std::string card(std::initializer_list<std::string_view> fields);

// A whole deck around bulk data cards: the identification card, "FIELD 3",
// the case control lines given (none by default), "BEGIN BULK", the cards
// and "ENDDATA" (added when the cards do not end with it).
std::string bulk_deck(std::string_view bulk, std::string_view case_control = {});

// The deck with a construction history of one interval of one step put
// before its "ENDDATA" card: "HISTORY", "INTERVAL 1" and the reference cards
// given ("        BODY           1     1.0", ...).
std::string with_history(std::string deck, std::string_view references = {});

class DeckRun {
 public:
  explicit DeckRun(std::string_view deck, DeckOptions options = {});
  ~DeckRun();
  DeckRun(const DeckRun&) = delete;
  DeckRun& operator=(const DeckRun&) = delete;

  // Fresh records of every subsystem and units, then the input phase in
  // this process.
  void input();
  // input(), then the model modules that exist in the main program's order
  // (GP1, TA2, TA1), each called directly; false when a module counted
  // errors (the main program would end the run there; the modules after it
  // are not called).
  bool model_phase();
  // The whole analysis of the program (input phase, model phase, interval
  // and step loops) in this process, with every real module, up to the end
  // block; the data blocks stay readable afterwards.
  void analysis();
  // The solver program in a child process on this directory; its exit status
  // (-1 when it did not exit normally). With console given, what the program
  // wrote on standard output is kept there (through a file outside the
  // directory).
  int run_program(std::string* console = nullptr) const;

  const std::filesystem::path& dir() const { return dir_; }
  // The whole text of a file of the directory ("" when missing), units
  // flushed first; and its lines.
  std::string text(const std::string& name) const;
  std::vector<std::string> lines(const std::string& name) const;
  std::vector<std::string> listing() const { return lines(kListingFile); }
  std::vector<std::string> errors() const { return lines(kErrorFile); }
  // The names of the files in the directory, sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path dir_;
  std::filesystem::path previous_;
};

// Fresh records of every subsystem, no units, no open core.
void reset_all_records();

// Whether some line contains text; how many do.
bool has_line(const std::vector<std::string>& lines, std::string_view text);
int count_lines(const std::vector<std::string>& lines, std::string_view text);

}  // namespace zephsol::test
