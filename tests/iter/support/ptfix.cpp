#include "ptfix.h"

#include <vector>

#include "zephsol/exec/records.h"
#include "zephsol/input/dbload.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/matl/mattab.h"

namespace zephsol::test {

void use_material(word kind, word iyield, std::initializer_list<std::pair<int, float>> reals,
                  std::initializer_list<std::pair<float, float>> pairs, word mask) {
  const bool short_entry = kind == 2 || kind == 3 || kind == 5;
  const int npairs = static_cast<int>(pairs.size());
  const int len = short_entry ? 27 : 29 + 2 * npairs;
  std::vector<word> e(static_cast<std::size_t>(len + 1), 0);
  e[0] = len;
  e[1] = 7;
  e[2] = kind;
  e[3] = iyield;
  e[5] = npairs;
  e[6] = mask;
  int at = 19;
  for (const auto& [x, y] : pairs) {
    e[static_cast<std::size_t>(at++)] = real_word(x);
    e[static_cast<std::size_t>(at++)] = real_word(y);
  }
  for (const auto& [k, v] : reals) e[static_cast<std::size_t>(k)] = real_word(v);
  mattab_load(e, 1);
  MATSEL(7, 0, 1);
}

void PointLawTest::SetUp() {
  fs = std::make_unique<testing::FreshFileSystem>();
  reset_matl_state();
  reset_elem_state();
  load_words().IGRAV = 0;
  stpctr().NSTEPC = 2;
  start_point(kSolid);
}

void PointLawTest::TearDown() { fs.reset(); }

void PointLawTest::start_point(const ClassOf& c) {
  ESTCOM& e = estcom();
  e.IEXN = 101;
  e.IECOD = c.iecod;
  e.ICLASS = c.iclass;
  e.NS = c.ns;
  e.MATID = 7;
  eivwka() = EIVWK{};
  eivwka().head = {101, c.iecod, c.iclass, 1, 1, 0};
  eivwkb() = EIVWK{};
  sigcom().KDECHE = -1;
}

void PointLawTest::strain(const Vec6& de) {
  eivwkb().vec[2] = de;
  eivwkb().sw[2] = 0;
  ELMSIG();
}

void PointLawTest::strain(const Vec6& de, double temp, const Vec6& dt) {
  EIVWK& b = eivwkb();
  b.vec[2] = de;
  b.sw[2] = 1;
  b.blk.b3.s = temp;
  b.blk.b3.v = dt;
  ELMSIG();
}

std::string fatal_log(testing::FreshFileSystem& fs, void (*fn)()) {
  EXPECT_EXIT(fn(), ::testing::ExitedWithCode(1), "");
  return fs.read("errors");
}

}  // namespace zephsol::test
