#include "fatal.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "zephsol/exec/units.h"

namespace zephsol::test {

std::string fatal_log(const std::function<void()>& fn) {
  std::string dir = ::testing::TempDir() + "elemfatalXXXXXX";
  if (mkdtemp(dir.data()) == nullptr) {
    ADD_FAILURE() << "no temporary directory";
    return {};
  }
  const std::string err = dir + "/error.log";
  EXPECT_EXIT(
      {
        unit_open(6, dir + "/listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
        unit_open(999, err, UnitForm::Formatted, UnitStatus::Unknown);
        unit_open(997, dir + "/progress.txt", UnitForm::Formatted, UnitStatus::Unknown);
        fn();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
  std::stringstream text;
  {
    std::ifstream in(err);
    text << in.rdbuf();
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return text.str();
}

bool has_message(const std::string& log, word code) {
  const std::regex header("MESSAGE +" + std::to_string(code < 0 ? -code : code) + ",");
  return std::regex_search(log, header);
}

bool has_reason(const std::string& log, word p1, word p2) {
  const std::regex reason("REASON CODE = *" + std::to_string(p1) + ", *" + std::to_string(p2) + "\\b");
  return std::regex_search(log, reason);
}

}  // namespace zephsol::test
