// Test support of the point laws: a fresh run state with units 6 and 999 on
// files, a current element of a chosen class, a material entry made current,
// and one integration point driven through the point law.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "common/fatal.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/words.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::test {

using Vec6 = std::array<double, 6>;

// Element classes with a type code of that class and its component count.
struct ClassOf {
  word iclass;
  word iecod;
  word ns;
};
inline constexpr ClassOf kRod{1, 6, 1}, kMembrane{2, 9, 3}, kSolid{3, 1, 6}, kAxisym{4, 3, 4},
    kPlane{5, 11, 4}, kSectionBeam{6, 26, 3}, kShell{7, 7, 5};

// A material entry made current through the material table: kind, yield
// criterion, REAL words (w7-w29) by number, hardening pairs from w19, and
// the parameter mask.
void use_material(word kind, word iyield, std::initializer_list<std::pair<int, float>> reals,
                  std::initializer_list<std::pair<float, float>> pairs = {}, word mask = 0);

class PointLawTest : public ::testing::Test {
 protected:
  std::unique_ptr<testing::FreshFileSystem> fs;
  void SetUp() override;
  void TearDown() override;

  // A fresh point (element 101) of class c, the cache flag cleared for a new element.
  void start_point(const ClassOf& c);
  // One update of the current point by the strain increment de (thermal
  // strain dt with temperature change temp when given).
  void strain(const Vec6& de);
  void strain(const Vec6& de, double temp, const Vec6& dt);
  EIVWK& pt() { return eivwka(); }
  std::string listing() const { return fs->read("listing"); }
  std::string errors() const { return fs->read("errors"); }
};

// Relative closeness for a table of values.
inline bool near_rel(double a, double b, double tol) {
  const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
  return std::fabs(a - b) <= tol * scale;
}

}  // namespace zephsol::test
