#include "common/scratch.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zephsol::testing {
namespace {

namespace fs = std::filesystem;

// The scratch directories not yet removed, each with the process that made it.
std::vector<std::pair<pid_t, fs::path>>& registry() {
  static std::vector<std::pair<pid_t, fs::path>> dirs;
  static const bool at_exit = [] {
    std::atexit([] {
      if (std::getenv("ZEPH_KEEP_RUNS") != nullptr) return;
      std::error_code ec;
      for (const auto& [pid, dir] : registry())
        if (pid == ::getpid()) fs::remove_all(dir, ec);
    });
    return true;
  }();
  (void)at_exit;
  return dirs;
}

}  // namespace

fs::path make_scratch_dir(std::string_view prefix) {
  std::string tmpl = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
  registry().emplace_back(::getpid(), tmpl);
  return tmpl;
}

void remove_scratch_dir(const fs::path& dir) {
  if (std::getenv("ZEPH_KEEP_RUNS") != nullptr) return;
  std::error_code ec;
  fs::remove_all(dir, ec);
  auto& dirs = registry();
  dirs.erase(std::remove_if(dirs.begin(), dirs.end(), [&](const auto& e) { return e.second == dir; }), dirs.end());
}

std::string read_file(const fs::path& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace zephsol::testing
