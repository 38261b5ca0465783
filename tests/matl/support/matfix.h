// Test support of the material library: element and point records bound to
// the material views, material entries built from named words, and the fatal
// path run in a death-test child.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "common/fatal.h"
#include "common/material.h"
#include "zephsol/exec/words.h"
#include "zephsol/matl/matrec.h"

namespace zephsol::test {

// The fields of the current element the material routines read.
struct ElemRec {
  word IEXN = 4711;
  word IECOD = 1;
  word MATID = 10;
  word ICLASS = 3;
  word NS = 6;
  std::array<float, 20> PROP{};
};

// The fields of an integration point's work record the material routines read.
struct PointRec {
  std::array<word, 12> SW{};
  std::array<word, 4> SCR{};
  std::array<double, 6> SIG{};
  std::array<double, 6> CV3{};
  std::array<double, 6> B1{};
  std::array<double, 7> B2{};
  std::array<word, 2> B2I{};
  double B9 = 0.0;
  std::array<word, 2> B11I{};
};

void bind(ElemRec& e, PointRec& p);

// Loads the concatenated entries as the material table.
void load_table(std::initializer_list<std::vector<word>> entries);

// Packed symmetric matrix of order n to a dense row-major one, and back.
std::vector<double> unpack(const double* d, int n);

// A fresh material, element and run state with the views bound to the records.
class MatlTest : public ::testing::Test {
 protected:
  ElemRec elem;
  PointRec point;
  void SetUp() override;
};

// What fn writes to the listing (unit 6, on a temporary file meanwhile).
std::string capture_listing(const std::function<void()>& fn);

}  // namespace zephsol::test
