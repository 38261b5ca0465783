// Solver list file.
#include "zephsol/input/solvlst.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "zephsol/dbio/core.h"
#include "zephsol/dbio/punits.h"
#include "zephsol/drive/modules.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr std::size_t kLineColumns = 263;
constexpr std::size_t kValueFirst = 7;     // file names: columns 7 to 262
constexpr std::size_t kValueColumns = 256;
constexpr word kOldFormatted = 2;
constexpr word kFormatted = 4;
constexpr const char* kAllocationFailed = "(' **** USER FATAL MESSAGE MEMORY ALLOCATION FAILED ****')";

// Number keys: the system word, the last column of the blank skip and the
// last column of the digits.
struct NumberKey {
  std::string_view key;
  word SYSWRD::*target;
  std::size_t skip_last;
  std::size_t digit_last;
};
constexpr NumberKey kNumberKeys[] = {
    {"MEMO", &SYSWRD::MEMO, 84, 83},
    {"MMEM", &SYSWRD::MMEM, 85, 84},
    {"PMEM", &SYSWRD::PMEM, 87, 86},
};

// Column c (1-based) of a line.
char col(const std::string& line, std::size_t c) { return line[c - 1]; }

// The unsigned number of a value field; a field blank over its whole skip
// range leaves the word as it is. Digits saturate at the largest word.
void read_number(const std::string& line, const NumberKey& k) {
  std::size_t c = kValueFirst;
  while (c <= k.skip_last && col(line, c) == ' ') ++c;
  if (c > k.skip_last) return;
  std::int64_t v = 0;
  for (; c <= k.digit_last && col(line, c) >= '0' && col(line, c) <= '9'; ++c)
    v = std::min<std::int64_t>(10 * v + (col(line, c) - '0'), 0x7FFFFFFF);
  sysw().*k.target = static_cast<word>(v);
}

[[noreturn]] void fail(std::initializer_list<int> units, const std::string& line) {
  for (int u : units) unit_write_line(u == kConsole ? sysw().LOGUNT : u, line);
  sysw().IERFLG = 1;
  RUNEND();
}

void read_list_file() {
  if (!file_readable("SOLV.LST")) fail({kConsole}, fline("(' Cannot open SOLV.LST file.')"));
  unit_open(kSolverList, "SOLV.LST", UnitForm::Formatted, UnitStatus::Old);
  while (const auto raw = unit_read_line(kSolverList, kLineColumns)) {
    const SolvLine r = solv_apply(*raw);
    if (r.kind == SolvLine::Kind::End) break;
    if (r.kind == SolvLine::Kind::Fault) fail({kConsole}, r.console);
  }
  unit_close(kSolverList);
}

// A convergence log left by an earlier run is emptied: this run's log holds
// only its own iterations, none when it does not iterate. The unit is
// connected again by the convergence test.
void empty_convergence_log() {
  std::error_code ec;
  if (!std::filesystem::exists(solvky_file_name("CONV"), ec)) return;
  UNTOPN(kConvergenceLog, name_word("CONV"), 0, kFormatted);
  unit_empty(kConvergenceLog);
  UNTCLS(kConvergenceLog);
}

void open_files() {
  const std::string deck = solvky_file_name("INPT");
  if (!file_readable(deck))
    fail({kConsole}, fline("(' Cannot open input deck file: ',A)", {deck}));
  UNTOPN(kInputDeck, name_word("INPT"), 0, kOldFormatted);
  UNTOPN(kListing, name_word("LIST"), 0, kFormatted);
  UNTOPN(kErrorLog, name_word("ERRO"), 0, kFormatted);
  unit_empty(kErrorLog);
  empty_convergence_log();
}

// The open core of MEMO megabytes; a size past the word space is refused
// like a failed allocation, after a console line naming the largest "MEMO"
// accepted.
void allocate_core() {
  const word memo = sysw().MEMO;
  if (memo > 0 && memo <= kMaxSpaceMegabytes && core_allocate(memo)) return;
  if (memo > kMaxSpaceMegabytes)
    unit_write_line(sysw().LOGUNT, " **** MEMO " + std::to_string(memo) + " IS MORE THAN THE LARGEST ACCEPTED, " +
                                       std::to_string(kMaxSpaceMegabytes) + " MEGABYTES ****");
  fail({kConsole, kListing, kErrorLog}, fline(kAllocationFailed));
}

}  // namespace

SolvLine solv_apply(std::string_view raw) {
  while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
  const std::string line = padded(raw, kLineColumns);
  if (line.compare(1, 3, "END") == 0) return {SolvLine::Kind::End, {}};
  const std::string key = line.substr(1, 4);
  for (const NumberKey& k : kNumberKeys) {
    if (key == k.key) {
      read_number(line, k);
      return {};
    }
  }
  SOLVKY& t = exec_state().solvky;
  for (auto& e : t.entry) {
    if (e.key != name_word(key)) continue;
    if (col(line, kLineColumns) != ' ')
      return {SolvLine::Kind::Fault, fline("(' File name too long: ',A263)", {line})};
    line.copy(e.value.data(), kValueColumns, kValueFirst - 1);
    return {};
  }
  return {SolvLine::Kind::Fault, fline("(' Unknown keyword: ',A4)", {key})};
}

std::string solvky_file_name(std::string_view key) {
  return solver_file_name(exec_state().solvky, name_word(key));
}

void SOLLST() {
  read_list_file();
  note_progress_file();
  open_files();
  allocate_core();
}

}  // namespace zephsol
