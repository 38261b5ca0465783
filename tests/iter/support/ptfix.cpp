#include "ptfix.h"

#include <vector>

#include "common/material.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/dbload.h"
#include "zephsol/iter/pointlaw.h"
#include "zephsol/matl/mattab.h"

namespace zephsol::test {

void use_material(word kind, word iyield, std::initializer_list<std::pair<int, float>> reals,
                  std::initializer_list<std::pair<float, float>> pairs, word mask) {
  std::vector<word> e = material(7, kind, iyield, 0, reals, pairs);
  e[6] = mask;
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

}  // namespace zephsol::test
