#include "matfix.h"

#include "common/scratch.h"

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

std::string capture_listing(const std::function<void()>& fn) {
  const std::filesystem::path dir = testing::make_scratch_dir("zephmatl");
  unit_open(6, (dir / "listing.txt").string(), UnitForm::Formatted, UnitStatus::Unknown);
  fn();
  unit_close(6, false);
  std::string text = testing::read_file(dir / "listing.txt");
  testing::remove_scratch_dir(dir);
  return text;
}

}  // namespace zephsol::test
