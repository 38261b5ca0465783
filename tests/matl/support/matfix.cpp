#include "matfix.h"

#include <stdlib.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "zephsol/exec/packed.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/mattab.h"

namespace zephsol::test {

void bind(ElemRec& e, PointRec& p) {
  MatlState& st = matl_state();
  st.elem = MatElem{&e.IEXN, &e.IECOD, &e.MATID, &e.ICLASS, &e.NS, e.PROP.data()};
  st.point = MatPoint{p.SW.data(), p.SCR.data(), p.SIG.data(), p.CV3.data(), p.B1.data(),
                      p.B2.data(),  p.B2I.data(), &p.B9,      p.B11I.data()};
}

void load_table(std::initializer_list<std::vector<word>> entries) {
  std::vector<word> all;
  for (const auto& e : entries) all.insert(all.end(), e.begin(), e.end());
  mattab_load(all, 1);
}

std::vector<double> unpack(const double* d, int n) {
  std::vector<double> a(static_cast<std::size_t>(n * n));
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) a[static_cast<std::size_t>((i - 1) * n + j - 1)] = d[packed_index(i, j, n)];
  return a;
}

void MatlTest::SetUp() {
  reset_exec_state();
  reset_matl_state();
  elem = ElemRec{};
  point = PointRec{};
  bind(elem, point);
}

namespace {
// The run end writes its progress file under the solver list's "STAT" name.
void name_progress_file(const std::string& name) {
  for (auto& e : exec_state().solvky.entry) {
    if (e.key != name_word("STAT")) continue;
    e.value.fill(' ');
    name.copy(e.value.data(), std::min(name.size(), e.value.size()));
  }
}

std::string read_file(const std::string& name) {
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

std::string capture_listing(const std::function<void()>& fn) {
  const std::string name = ::testing::TempDir() + "matl_listing_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  unit_open(6, name, UnitForm::Formatted, UnitStatus::Unknown);
  fn();
  unit_close(6, false);
  std::string text = read_file(name);
  std::remove(name.c_str());
  return text;
}

FatalOutput fatal_output(const std::function<void()>& fn) {
  std::string dir = ::testing::TempDir() + "matlfatalXXXXXX";
  if (mkdtemp(dir.data()) == nullptr) {
    ADD_FAILURE() << "no temporary directory";
    return {};
  }
  EXPECT_EXIT(
      {
        unit_open(6, dir + "/listing.txt", UnitForm::Formatted, UnitStatus::Unknown);
        unit_open(999, dir + "/error.log", UnitForm::Formatted, UnitStatus::Unknown);
        name_progress_file(dir + "/progress.txt");
        fn();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "");
  FatalOutput out{read_file(dir + "/listing.txt"), read_file(dir + "/error.log")};
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return out;
}

bool has_message(const std::string& text, word code) {
  return std::regex_search(text, std::regex("MESSAGE +" + std::to_string(code < 0 ? -code : code) + ","));
}

}  // namespace zephsol::test
