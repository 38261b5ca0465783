#include "common/deck.h"

#include "common/scratch.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include "zephsol/drive/modules.h"
#include "zephsol/program/program.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/filesys.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/xinpt.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/model/gp1.h"
#include "zephsol/model/model_records.h"
#include "zephsol/model/ta1.h"
#include "zephsol/model/ta2.h"
#include "zephsol/output/output_records.h"
#include "zephsol/solve/solve_records.h"

extern char** environ;

namespace zephsol::test {

namespace fs = std::filesystem;

std::string card(std::initializer_list<std::string_view> fields) {
  std::string out;
  for (std::string_view f : fields) {
    std::string field(f.substr(0, std::min<std::size_t>(f.size(), 8)));
    field.resize(8, ' ');
    out += field;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::string bulk_deck(std::string_view bulk, std::string_view case_control) {
  std::string deck = "Quorvane TEST     RUN1\nFIELD 3\n";
  if (!case_control.empty()) {
    deck += case_control;
    if (deck.back() != '\n') deck += '\n';
  }
  deck += "BEGIN BULK\n";
  deck += bulk;
  if (!deck.empty() && deck.back() != '\n') deck += '\n';
  // The last non-empty line must be the end of the bulk data.
  std::string_view rest(deck);
  rest.remove_suffix(1);
  const std::size_t nl = rest.rfind('\n');
  const std::string_view last = rest.substr(nl == std::string_view::npos ? 0 : nl + 1);
  if (last.rfind("ENDDATA", 0) != 0 && last.rfind("END ", 0) != 0) deck += "ENDDATA\n";
  return deck;
}

std::string with_history(std::string deck, std::string_view references) {
  std::string history = "HISTORY\nINTERVAL       1\n";
  history += references;
  if (history.back() != '\n') history += '\n';
  const std::size_t end = deck.rfind("ENDDATA");
  deck.insert(end == std::string::npos ? deck.size() : end, history);
  return deck;
}

void reset_all_records() {
  unit_reset_all();
  reset_exec_state();
  reset_input_state();
  reset_bulk_state();
  reset_dbio_state();
  reset_matl_state();
  reset_elem_state();
  reset_model_state();
  reset_iter_state();
  reset_output_state();
  reset_solve_state();
  core_release();
}

DeckRun::DeckRun(std::string_view deck, DeckOptions options) {
  previous_ = fs::current_path();
  dir_ = testing::make_scratch_dir("zephdeck");
  fs::current_path(dir_);
  std::ofstream list(dir_ / "SOLV.LST", std::ios::binary);
  list << " INPT " << kDeckFile << "\n LIST " << kListingFile << "\n POST " << kResultFile << "\n STAT "
       << kProgressFile << "\n CONV " << kConvergenceFile << "\n ERRO " << kErrorFile << "\n MEMO "
       << options.memo << "\n";
  for (const auto& l : options.solvlst) list << l << "\n";
  list << " END\n";
  std::ofstream(dir_ / kDeckFile, std::ios::binary) << deck;
}

DeckRun::~DeckRun() {
  unit_reset_all();
  core_release();
  reset_dbio_state();
  std::error_code ec;
  fs::current_path(previous_, ec);
  testing::remove_scratch_dir(dir_);
}

void DeckRun::input() {
  reset_all_records();
  XINPT();
}

void DeckRun::analysis() {
  reset_all_records();
  run_analysis(program_modules());
}

bool DeckRun::model_phase() {
  input();
  SYSWRD& s = sysw();
  GP1(STRC, CSTM, NODC, CONE);
  if (s.IERFLG != 0) return false;
  TA2(ELST, CONE, IELS);
  const word held = s.IERFLG;
  s.IERFLG = 0;
  TA1(CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT);
  if (s.IERFLG != 0) return false;
  s.IERFLG = held;
  return held == 0;
}

int DeckRun::run_program(std::string* console) const {
  const std::string program = std::string(ZEPH_BINARY_DIR) + "/zephsol/zephsol";
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  std::string out = (fs::temp_directory_path() / "zephconsoleXXXXXX").string();
  const int fd = console != nullptr ? ::mkstemp(out.data()) : -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (fd >= 0) posix_spawn_file_actions_adddup2(&actions, fd, 1);
  pid_t pid = 0;
  unit_flush_all();
  const bool spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  const bool exited = spawned && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status);
  if (fd >= 0) {
    ::close(fd);
    *console = testing::read_file(out);
    fs::remove(out);
  }
  return exited ? WEXITSTATUS(status) : -1;
}

std::string DeckRun::text(const std::string& name) const {
  unit_flush_all();
  return testing::read_file(dir_ / name);
}

std::vector<std::string> DeckRun::lines(const std::string& name) const {
  std::vector<std::string> out;
  std::istringstream in(text(name));
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

std::vector<std::string> DeckRun::files() const {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir_)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

bool has_line(const std::vector<std::string>& lines, std::string_view text) {
  return count_lines(lines, text) > 0;
}

int count_lines(const std::vector<std::string>& lines, std::string_view text) {
  return static_cast<int>(
      std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

}  // namespace zephsol::test
