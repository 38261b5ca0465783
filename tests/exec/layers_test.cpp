// The libraries are layered one way: a source file of zephsol/<dir> includes
// headers of its own directory and of the libraries its CMakeLists.txt links
// (directly or through them), never one above it. The base, zephsol/exec,
// links nothing and so includes only its own headers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/scratch.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSources = fs::path(ZEPH_TEST_SOURCE_DIR).parent_path() / "zephsol";

using zephsol::testing::read_file;

// Each library directory and the directories of the libraries it links.
std::map<std::string, std::set<std::string>> declared_links() {
  std::map<std::string, std::set<std::string>> links;
  const std::regex call(R"(zeph_subsystem\(\s*(\w+)([^)]*)\))");
  const std::regex dep(R"(\bzeph_(\w+))");
  for (const auto& entry : fs::directory_iterator(kSources)) {
    const fs::path cmake = entry.path() / "CMakeLists.txt";
    if (!entry.is_directory() || !fs::exists(cmake)) continue;
    const std::string text = read_file(cmake);
    std::smatch m;
    if (!std::regex_search(text, m, call)) continue;
    auto& deps = links[m[1]];
    const std::string rest = m[2];
    for (std::sregex_iterator i(rest.begin(), rest.end(), dep), end; i != end; ++i) deps.insert((*i)[1]);
  }
  return links;
}

// Every library a library reaches through its links (itself too when the
// links go round in a circle).
std::set<std::string> reachable(const std::map<std::string, std::set<std::string>>& links, const std::string& lib) {
  std::set<std::string> seen;
  std::vector<std::string> todo(links.at(lib).begin(), links.at(lib).end());
  while (!todo.empty()) {
    const std::string d = todo.back();
    todo.pop_back();
    if (!seen.insert(d).second || !links.contains(d)) continue;
    todo.insert(todo.end(), links.at(d).begin(), links.at(d).end());
  }
  return seen;
}

TEST(Layers, LinksGoOneWayAndTheBaseLinksNothing) {
  const auto links = declared_links();
  ASSERT_TRUE(links.contains("exec"));
  ASSERT_TRUE(links.contains("dbio"));
  ASSERT_TRUE(links.contains("drive"));
  EXPECT_TRUE(links.at("exec").empty());
  for (const auto& [lib, deps] : links) EXPECT_FALSE(reachable(links, lib).contains(lib)) << lib << " links itself";
  // The file system sits on the base, the driver on the file system.
  EXPECT_TRUE(reachable(links, "dbio").contains("exec"));
  EXPECT_TRUE(reachable(links, "drive").contains("dbio"));
}

TEST(Layers, EveryIncludeIsOfTheLibraryOrOneBelowIt) {
  const auto links = declared_links();
  const std::regex include(R"(#\s*include\s*"zephsol/(\w+)/)");
  int files = 0;
  for (const auto& [lib, deps] : links) {
    std::set<std::string> allowed = reachable(links, lib);
    allowed.insert(lib);
    for (const auto& entry : fs::directory_iterator(kSources / lib)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".cpp" && ext != ".h" && ext != ".def") continue;
      ++files;
      const std::string text = read_file(entry.path());
      for (std::sregex_iterator i(text.begin(), text.end(), include), end; i != end; ++i)
        EXPECT_TRUE(allowed.contains((*i)[1])) << entry.path().lexically_relative(kSources).string()
                                                << " includes a header of " << (*i)[1];
    }
  }
  EXPECT_GT(files, 50);
}

}  // namespace

