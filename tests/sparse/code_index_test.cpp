// Every routine code of the sparse library has a row in the index of
// docs/DEVELOPING.md, and the row names the file that holds its body.
//
// A routine code is the name of a function of the library, as the sources
// under zephsol/sparse/ declare, define or call it (comments and string
// literals left out): a lower-case prefix of four characters, x or h, a
// letter and "sl" (xdsl, xisl, hdsl), and two characters more, or an upper-case
// name of five or six characters (HHERR, HJSORT, ...). A file added to the
// directory is read as well. An index row is
//   | `code` | `file` | what it does |
// under the index heading, up to the next heading of the same level; the
// file is relative to zephsol/sparse/ and must be the one that defines the
// function when the function has a body in the library.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/scratch.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRoot = fs::path(ZEPH_TEST_SOURCE_DIR).parent_path();
constexpr std::string_view kIndexHeading = "## Index of the sparse library's routine codes";

std::string slurp(const fs::path& p) { return zephsol::testing::read_file(p); }

// The text with comments and string and character literals blanked (line
// breaks kept). A quote after a digit or letter is a digit separator.
std::string code_only(std::string_view text) {
  std::string out(text);
  std::size_t i = 0;
  const auto blank = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to && k < out.size(); ++k)
      if (out[k] != '\n') out[k] = ' ';
  };
  while (i < text.size()) {
    const char c = text[i];
    if (text.substr(i, 2) == "//") {
      const std::size_t e = text.find('\n', i);
      const std::size_t end = e == std::string_view::npos ? text.size() : e;
      blank(i, end);
      i = end;
    } else if (text.substr(i, 2) == "/*") {
      const std::size_t e = text.find("*/", i + 2);
      const std::size_t end = e == std::string_view::npos ? text.size() : e + 2;
      blank(i, end);
      i = end;
    } else if (c == '"' || (c == '\'' && !(i > 0 && std::isalnum(static_cast<unsigned char>(text[i - 1]))))) {
      std::size_t k = i + 1;
      while (k < text.size() && text[k] != c && text[k] != '\n') k += text[k] == '\\' ? 2 : 1;
      blank(i, k + 1);
      i = k + 1;
    } else {
      ++i;
    }
  }
  return out;
}

// The routine codes of one source text, each with true when the text
// defines it (its parameter list is followed by a body).
std::map<std::string, bool> routines_in(std::string_view source) {
  static const std::regex name(R"(\b([xh][a-z]sl[a-z0-9]{2}|[A-Z][A-Z0-9]{4,5})\s*\()");
  const std::string text = code_only(source);
  std::map<std::string, bool> found;
  for (std::sregex_iterator m(text.begin(), text.end(), name), end; m != end; ++m) {
    const std::string code = (*m)[1];
    // The parameter list, then what follows it.
    std::size_t k = static_cast<std::size_t>(m->position(0) + m->length(0));
    for (int depth = 1; k < text.size() && depth > 0; ++k) depth += text[k] == '(' ? 1 : text[k] == ')' ? -1 : 0;
    std::size_t after = text.find_first_not_of(" \t\r\n", k);
    for (std::string_view q : {"const", "noexcept"})
      if (after != std::string::npos && text.compare(after, q.size(), q) == 0)
        after = text.find_first_not_of(" \t\r\n", after + q.size());
    const bool body = after != std::string::npos && text[after] == '{';
    found[code] = found[code] || body;
  }
  return found;
}

// What the library's sources say of each code: the files that define it
// (empty when only declared or called).
std::map<std::string, std::set<std::string>> library_routines(const std::map<std::string, std::string>& sources) {
  std::map<std::string, std::set<std::string>> codes;
  for (const auto& [file, text] : sources)
    for (const auto& [code, defined] : routines_in(text)) {
      auto& where = codes[code];
      if (defined) where.insert(file);
    }
  return codes;
}

// The index rows: code -> file.
std::multimap<std::string, std::string> index_rows(std::string_view guide) {
  std::multimap<std::string, std::string> rows;
  static const std::regex row(R"(^\|\s*`([^`]+)`\s*\|\s*`([^`]+)`\s*\|)");
  std::istringstream in{std::string(guide)};
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) inside = line.rfind(kIndexHeading, 0) == 0;
    std::smatch m;
    if (inside && std::regex_search(line, m, row)) rows.emplace(m[1], m[2]);
  }
  return rows;
}

// One line per fault of the index against the sources.
std::vector<std::string> index_faults(const std::map<std::string, std::string>& sources, std::string_view guide) {
  std::vector<std::string> faults;
  const auto rows = index_rows(guide);
  for (const auto& [code, defined_in] : library_routines(sources)) {
    const auto [first, last] = rows.equal_range(code);
    if (first == last) {
      faults.push_back(code + ": no row in the index");
      continue;
    }
    for (auto r = first; r != last; ++r) {
      if (!sources.contains(r->second))
        faults.push_back(code + ": its row names " + r->second + ", which is not a file of the library");
      else if (!defined_in.empty() && !defined_in.contains(r->second))
        faults.push_back(code + ": its row names " + r->second + ", the body is in " + *defined_in.begin());
    }
  }
  return faults;
}

std::map<std::string, std::string> library_sources() {
  std::map<std::string, std::string> sources;
  const fs::path dir = kRoot / "zephsol" / "sparse";
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".cpp" || ext == ".h"))
      sources[fs::relative(e.path(), dir).generic_string()] = slurp(e.path());
  }
  return sources;
}

TEST(CodeIndex, EveryRoutineCodeOfTheLibraryHasItsRow) {
  const auto sources = library_sources();
  const std::string guide = slurp(kRoot / "docs" / "DEVELOPING.md");
  ASSERT_FALSE(guide.empty()) << "docs/DEVELOPING.md not read";
  ASSERT_NE(guide.find(kIndexHeading), std::string::npos) << "no heading \"" << kIndexHeading << "\"";
  // The reading finds the nine entries where they are defined.
  const auto codes = library_routines(sources);
  for (const char* entry : {"xdslin", "xdslim", "xdslif", "xdslom", "xdslsf", "xdslvm", "xdslvf", "xdslfa", "xdslsl"})
    EXPECT_TRUE(codes.contains(entry) && !codes.at(entry).empty()) << entry << " not found defined";
  for (const std::string& f : index_faults(sources, guide)) ADD_FAILURE() << f;
}

// The reading of the sources and of the index on a small library: names
// in comments and strings are no codes, a suffixed name is another
// function, a declaration defines nothing, and each kind of fault is
// named by its code.
TEST(CodeIndex, FaultsAreNamedByTheirCode) {
  const std::map<std::string, std::string> sources = {
      {"a.h", "void xdslaa(int n);  // see xdslzz\nvoid HJABCD(int* v);\n"},
      {"a.cpp",
       "void xdslaa(int n) {\n  HJABCD(nullptr);\n  const char* s = \"xdslyy(\";\n  int m = 1'000;\n}\n"
       "/* xdslww(1) */ int xdslaa_on(int k) const { return k; }\nvoid xislbb(int n)\n{\n}\n"},
      {"b.cpp", "void xislbb(int n);\nint HHERR(int c) noexcept { return c; }\nvoid helper() { xdslcc(2); }\n"},
  };
  const std::string guide =
      "## Other heading\n| `xislbb` | `b.cpp` | not the index |\n"
      "## Index of the sparse library's routine codes\n"
      "| `xdslaa` | `a.cpp` | defined here |\n"
      "| `xislbb` | `b.cpp` | the body is in a.cpp |\n"
      "| `HJABCD` | `c.cpp` | no such file |\n"
      "| `xdslcc` | `a.cpp` | only called: any file of the library |\n"
      "## Next heading\n| `HHERR` | `b.cpp` | after the index |\n";
  const auto codes = library_routines(sources);
  EXPECT_EQ(codes.size(), 5u);
  for (const char* none : {"xdslzz", "xdslyy", "xdslww", "xdslaa_on"}) EXPECT_FALSE(codes.contains(none)) << none;
  const std::vector<std::string> expected = {
      "HHERR: no row in the index",
      "HJABCD: its row names c.cpp, which is not a file of the library",
      "xislbb: its row names b.cpp, the body is in a.cpp",
  };
  EXPECT_EQ(index_faults(sources, guide), expected);
}

}  // namespace
