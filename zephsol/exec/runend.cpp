// Run end and progress file.
#include "zephsol/exec/runend.h"

#include <cstdlib>

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/sjis.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

constexpr word kNormalEnd = -1;
constexpr word kWarningEnd = -2;
constexpr word kErrorEnd = -8;

// The file system's entries, registered when it starts. Wiring of the
// program, not run state: a reset of the run records keeps it.
FileSystemHooks g_file_system;

struct Counts {
  word cur;
  word total;
};

// Step counts of the progress line: restart runs count from the restart point.
Counts progress_counts(word n) {
  const ExecState& e = exec_state();
  if (n < 0) return {n, 0};
  const bool restart = e.sys.IRSTRT != 0;
  const word total = restart ? e.NSTTOT - e.NSTBEG + 1 : e.NSTTOT;
  const word cur = n == 0 ? 0 : restart ? n - e.NSTBEG + 1 : n;
  return {cur, total};
}

word steps_of_interval(word k) {
  const auto& nstpiv = exec_state().NSTPIV;
  return (k >= 0 && k < static_cast<word>(nstpiv.size())) ? nstpiv[k] : 0;
}

// The stage/step line; slash is the A descriptor of each " /" (A2 in the
// file, A3 on the console).
std::string step_line(Counts c, std::string_view slash) {
  const ExecState& e = exec_state();
  const std::string fmt = "(A8,I4," + std::string(slash) + ",I4,A12,I4," + std::string(slash) + ",I4,A14,I4," +
                          std::string(slash) + ",I4)";
  const word interval = e.stp.NINTVL;
  return fline(fmt, {kSjisStage, interval, " /", steps_of_interval(0), kSjisStep, e.stp.NSTEP, " /",
                     steps_of_interval(interval), kSjisTotalStep, c.cur, " /", c.total});
}

}  // namespace

void register_file_system(const FileSystemHooks& hooks) { g_file_system = hooks; }

const FileSystemHooks& file_system_hooks() noexcept { return g_file_system; }

std::string progress_file_name() { return solver_file_name(exec_state().solvky, name_word("STAT")); }

std::vector<std::string> progress_file_lines(word n) {
  const Counts c = progress_counts(n);
  std::vector<std::string> lines{fline("(I8,',',I8)", {c.cur, c.total})};
  if (c.cur > 0) {
    lines.push_back(fline("(A10)", {kSjisNowAnalysing}));
    lines.emplace_back();
    lines.push_back(step_line(c, "A2"));
  }
  if (c.cur == kErrorEnd) lines.push_back(fline("(A48)", {kSjisErrorEnd}));
  // When the listing could not be written the error cannot be read there.
  const std::string& why = exec_state().frame.write_failure;
  if (c.cur == kErrorEnd && !why.empty()) lines.push_back(why);
  return lines;
}

// The progress file is replaced whole by each call, so that a reader, or a
// run killed at any moment, finds the previous record or the new one.
void PRGSTS(word n) {
  const std::vector<std::string> lines = progress_file_lines(n);
  unit_replace_text(kProgressFile, progress_file_name(), lines);
  const Counts c = progress_counts(n);
  if (c.cur > 0) {
    unit_write_line(kConsole, lines[1]);
    unit_write_line(kConsole, lines[2]);
    unit_write_line(kConsole, step_line(c, "A3"));
  }
}

// A failure while closing the units (a listing that could not be written)
// turns a normal end into an error end, in the exit status and in the
// progress file.
void end_process(int status) {
  RunFrame& f = exec_state().frame;
  if (f.stopping) std::_Exit(status == 0 ? 1 : status);
  f.stopping = true;
  unit_close_all();
  if (f.close_failed) {
    if (status == 0) PRGSTS(kErrorEnd);
    status = 1;
  }
  std::exit(status);
}

void RUNEND() {
  RunFrame& f = exec_state().frame;
  SYSWRD& s = sysw();
  if (f.ending) {
    // Re-entered through a fatal message raised while ending: record the
    // error end if that has not been tried yet, and stop.
    if (!f.progress_final) {
      f.progress_final = true;
      PRGSTS(kErrorEnd);
    }
    end_process(1);
  }
  f.ending = true;
  if (exec_state().msgque.count > 0) MSGOUT();
  if (g_file_system.delete_work_files != nullptr) g_file_system.delete_work_files();
  if (s.IERFLG == 0 && s.IWRNFL == 1) s.IERFLG = -2;
  const word code = s.IERFLG == 0 ? kNormalEnd : s.IERFLG == -2 ? kWarningEnd : kErrorEnd;
  f.progress_final = true;
  PRGSTS(code);
  end_process(code == kErrorEnd ? 1 : 0);
}

}  // namespace zephsol
