#include "common/fatal.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "common/scratch.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol::test {
namespace {

// The run end writes its progress file under the solver list's "STAT" name.
void name_progress_file(const std::string& name) {
  for (auto& e : exec_state().solvky.entry) {
    if (e.key != name_word("STAT")) continue;
    e.value.fill(' ');
    name.copy(e.value.data(), std::min(name.size(), e.value.size()));
  }
}

}  // namespace

FatalOutput fatal_output(const std::function<void()>& fn) {
  const std::filesystem::path dir = testing::make_scratch_dir("zephfatal");
  const std::string listing = dir / "listing.txt", errors = dir / "error.log", progress = dir / "progress.txt";
  EXPECT_EXIT(
      {
        std::filesystem::current_path(dir);  // files named by default land there too
        unit_open(::zephsol::kListing, listing, UnitForm::Formatted, UnitStatus::Unknown);
        unit_open(::zephsol::kErrorLog, errors, UnitForm::Formatted, UnitStatus::Unknown);
        unit_open(::zephsol::kProgressFile, progress, UnitForm::Formatted, UnitStatus::Unknown);
        name_progress_file(progress);
        fn();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
  FatalOutput out{testing::read_file(listing), testing::read_file(errors)};
  testing::remove_scratch_dir(dir);
  return out;
}

std::string fatal_log(const std::function<void()>& fn) { return fatal_output(fn).errors; }

std::string fatal_log(const testing::FreshFileSystem& fs, const std::function<void()>& fn) {
  EXPECT_EXIT(fn(), ::testing::ExitedWithCode(1), "");
  return fs.read("errors");
}

void expect_log_holds(const std::string& log, std::initializer_list<std::string_view> texts) {
  for (std::string_view text : texts)
    EXPECT_NE(log.find(text), std::string::npos) << text << "\nerror log:\n" << log;
}

bool has_message(const std::string& log, word code) {
  return std::regex_search(log, std::regex("MESSAGE +" + std::to_string(code < 0 ? -code : code) + ","));
}

bool has_reason(const std::string& log, word p1, word p2) {
  return std::regex_search(log,
                           std::regex("REASON CODE = *" + std::to_string(p1) + ", *" + std::to_string(p2) + "\\b"));
}

}  // namespace zephsol::test
