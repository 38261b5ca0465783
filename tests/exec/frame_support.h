// Test support for the run frame: units 0, 6 and 999 and the progress file
// redirected to files of a temporary directory.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"

namespace zephsol {

// A fresh run state with the console, listing and error log on files of a
// temporary directory, and the progress file named there.
class FrameTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;

  void SetUp() override {
    unit_reset_all();
    reset_exec_state();
    dir = testing::make_scratch_dir("zephframe");
    unit_open(0, path("console"), UnitForm::Formatted, UnitStatus::Unknown);
    unit_open(6, path("list"), UnitForm::Formatted, UnitStatus::Unknown);
    unit_open(999, path("erro"), UnitForm::Formatted, UnitStatus::Unknown);
    set_solver_name("STAT", path("stat"));
  }

  void TearDown() override {
    unit_reset_all();
    testing::remove_scratch_dir(dir);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  static void set_solver_name(std::string_view key, const std::string& value) {
    for (auto& e : exec_state().solvky.entry) {
      if (e.key != name_word(key)) continue;
      e.value.fill(' ');
      value.copy(e.value.data(), std::min(value.size(), e.value.size()));
    }
  }

  // The whole content of a file of the directory, units flushed first.
  std::string content(const std::string& name) const {
    unit_flush_all();
    return testing::read_file(path(name));
  }

  std::vector<std::string> lines(const std::string& name) const {
    std::vector<std::string> out;
    std::string all = content(name);
    std::size_t at = 0;
    while (at < all.size()) {
      const std::size_t nl = all.find('\n', at);
      out.push_back(all.substr(at, nl == std::string::npos ? std::string::npos : nl - at));
      if (nl == std::string::npos) break;
      at = nl + 1;
    }
    return out;
  }
};

}  // namespace zephsol
