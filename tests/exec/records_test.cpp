// Load values and word positions of the run-wide records.
#include <gtest/gtest.h>

#include <utility>

#include "zephsol/exec/records.h"

namespace zephsol {
namespace {

// Every system word by its number, as the load table gives it.
TEST(Records, SystemWordsAtLoad) {
  reset_exec_state();
  const auto w = sysw().words();
  const std::pair<int, word> ints[] = {
      {1, 1025}, {2, 0},   {3, 0},  {4, 0},  {5, 5},  {6, 0},  {7, 0},  {8, 56}, {9, 0},
      {10, 9999}, {13, 1}, {14, 0}, {15, 5}, {16, 2}, {17, 8}, {18, 32}, {19, 4}, {27, 52},
      {28, 0},  {29, 0},  {31, 1}, {32, 0}, {33, 5}, {34, 1}, {35, 0}, {37, 0}, {38, 3},
      {39, 0},  {41, 0},  {42, 0}, {43, 0}, {44, 10}, {45, 0}, {46, 0}, {47, 0}, {48, 8},
      {49, 9},  {50, 16}, {51, 0}, {52, 0}, {53, 0}, {54, 0}, {55, 0}, {56, 0}, {57, 0},
      {58, 0},  {60, 0}};
  for (auto [n, v] : ints) EXPECT_EQ(w[n - 1], v) << "word " << n;
  for (int n = 20; n <= 26; ++n) EXPECT_EQ(w[n - 1], 0) << "switch word " << n;
  const std::pair<int, float> reals[] = {{30, 0.001f}, {36, 1.0f}, {40, 1.0e6f}, {59, 0.0f}};
  for (auto [n, v] : reals) EXPECT_EQ(word_real(w[n - 1]), v) << "word " << n;
  EXPECT_EQ(word_name(w[10]) + word_name(w[11]), "01/01/97");
}

TEST(Records, IdentificationAndCounters) {
  reset_exec_state();
  const auto& id = exec_state().sysid;
  EXPECT_EQ(std::string(id.product.data(), 8) + std::string(id.version.data(), 8) +
                std::string(id.date.data(), 8) + std::string(id.time.data(), 8),
            "QUORVANE10.002  07/01/9800.00.00");
  const auto& page = exec_state().page;
  EXPECT_EQ(std::string(page.TITLE.data(), 72), std::string(72, ' '));
  EXPECT_EQ(std::string(page.HEADLN[2].data(), 128), std::string(128, ' '));

  // Word views address the named fields, REAL words keep their bits.
  stpctr().NSTEPC = 17;
  EXPECT_EQ(stpctr().words()[3], 17);
  exec_state().intctl.RELREM = 0.25f;
  EXPECT_EQ(word_real(exec_state().intctl.words()[3]), 0.25f);
  sysw().words()[3] = 1;
  EXPECT_EQ(sysw().IERFLG, 1);
  reset_exec_state();
  EXPECT_EQ(sysw().IERFLG, 0);
  EXPECT_EQ(stpctr().NSTEPC, 0);
  EXPECT_EQ(exec_state().msgque.capacity, 20);
}

}  // namespace
}  // namespace zephsol
