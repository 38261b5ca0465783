// Test support for the sparse library: a fresh library state, unit 6 and a
// message unit on files of a temporary directory (also the working
// directory, where scratch files are created).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/scratch.h"
#include "zephsol/exec/units.h"
#include "zephsol/sparse/state.h"

namespace zephsol::sparse {

inline constexpr int kMsgUnit = 61;

class SparseTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  std::filesystem::path old_cwd;

  void SetUp() override {
    unit_reset_all();
    reset_library_state();
    dir = zephsol::testing::make_scratch_dir("zsparse");
    old_cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    unit_open(6, path("list"), UnitForm::Formatted, UnitStatus::Unknown);
    unit_open(kMsgUnit, path("msg"), UnitForm::Formatted, UnitStatus::Unknown);
  }

  void TearDown() override {
    reset_library_state();
    unit_reset_all();
    std::filesystem::current_path(old_cwd);
    zephsol::testing::remove_scratch_dir(dir);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }

  std::vector<std::string> lines(const std::string& name) const {
    unit_flush_all();
    std::ifstream in(path(name));
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  std::vector<std::string> listing() const { return lines("list"); }
  std::vector<std::string> messages() const { return lines("msg"); }

  // Files left in the working directory besides the two text files.
  int stray_files() const {
    int k = 0;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
      const auto name = e.path().filename().string();
      if (name != "list" && name != "msg") ++k;
    }
    return k;
  }
};

}  // namespace zephsol::sparse
