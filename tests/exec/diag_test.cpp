// Diagnostic switches and print-page control.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "frame_support.h"
#include "zephsol/exec/diag.h"

namespace zephsol {
namespace {

using Lines = std::vector<std::string>;

TEST(Switches, KnownWordImages) {
  reset_exec_state();
  const auto w = sysw().words();
  DIAGST(1, 7);
  EXPECT_EQ(static_cast<std::uint32_t>(w[19]), 0x38000000u);
  DIAGST(11, 1);
  EXPECT_EQ(static_cast<std::uint32_t>(w[20]), 0x08000000u);
  DIAGST(70, 7);
  EXPECT_EQ(w[25], 7);
  DIAGST(10, 9);  // the low three bits
  EXPECT_EQ(DIAGLV(10), 1);
  word level = -1;
  DIAGLV(71, level);
  EXPECT_EQ(level, 0);
  EXPECT_EQ(DIAGLV(0), 0);
}

// Random settings against a plain model: one level per switch, each word
// the sum of its ten levels shifted into place; bits 30-31 stay clear.
TEST(Switches, AgainstBruteForce) {
  reset_exec_state();
  std::array<word, 71> model{};
  std::mt19937 rng(12345);
  std::uniform_int_distribution<word> pick_n(-3, 74);
  std::uniform_int_distribution<word> pick_level(-20, 20);
  for (int round = 0; round < 2000; ++round) {
    const word n = pick_n(rng);
    const word level = pick_level(rng);
    DIAGST(n, level);
    if (n >= 1 && n <= 70) model[n] = level & 7;
    for (word k = -3; k <= 74; ++k) ASSERT_EQ(DIAGLV(k), (k >= 1 && k <= 70) ? model[k] : 0) << k;
    for (int q = 1; q <= 7; ++q) {
      std::uint32_t image = 0;
      for (int k = 10 * q - 9; k <= 10 * q; ++k) image |= static_cast<std::uint32_t>(model[k]) << (3 * (10 * q - k));
      ASSERT_EQ(static_cast<std::uint32_t>(sysw().words()[18 + q]), image) << "word " << 19 + q;
    }
  }
}

using Pages = FrameTest;

enum class Wrote { Nothing, Page, Spacer };

Wrote what_was_written(const Lines& added) {
  if (added.empty()) return Wrote::Nothing;
  if (added == Lines{"0", ""}) return Wrote::Spacer;
  return (added.size() == 3 && added[0].starts_with("1")) ? Wrote::Page : Wrote::Nothing;
}

TEST_F(Pages, LineCountTable) {
  struct {
    word nline, n;
    word after, newpg;
    Wrote wrote;
  } cases[] = {
      {9999, 3, 6, 1, Wrote::Page},   {53, 3, 56, 0, Wrote::Nothing}, {56, 1, 4, 1, Wrote::Page},
      {33, 0, 36, 1, Wrote::Spacer},  {34, 0, 3, 1, Wrote::Page},     {20, -5, 28, 1, Wrote::Spacer},
      {40, -60, 7, 1, Wrote::Page},   {0, 56, 56, 0, Wrote::Nothing}, {0, 57, 4, 1, Wrote::Page},
      {10, 120, 11, 1, Wrote::Page},  {0, -112, 3, 1, Wrote::Spacer},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.nline << "," << c.n);
    const std::size_t before = lines("list").size();
    const word page = sysw().NPAGE;
    sysw().NLINE = c.nline;
    word newpg = -1;
    LINCNT(c.n, newpg);
    EXPECT_EQ(sysw().NLINE, c.after);
    EXPECT_EQ(newpg, c.newpg);
    const Lines all = lines("list");
    EXPECT_EQ(what_was_written(Lines(all.begin() + static_cast<long>(before), all.end())), c.wrote);
    EXPECT_EQ(sysw().NPAGE, page + (c.wrote == Wrote::Page ? 1 : 0));
  }
}

TEST_F(Pages, SwitchThirtySixAlwaysStartsAPage) {
  DIAGST(36, 1);
  sysw().NLINE = 10;
  PAGHDR();
  EXPECT_EQ(sysw().NLINE, 3);
  EXPECT_EQ(sysw().NPAGE, 1);
}

TEST_F(Pages, HeaderLines) {
  auto set = [](auto& field, std::string_view s) { std::copy(s.begin(), s.end(), field.begin()); };
  set(exec_state().page.TITLE, "EXCAVATION OF A TRENCH");
  set(exec_state().page.SUBTITLE, "STAGE 1");
  sysw().RUNDAT = {name_word("12/3"), name_word("1/24")};
  sysw().NPAGE = 41;
  PAGHDR();
  const Lines list = lines("list");
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], "1    EXCAVATION OF A TRENCH" + std::string(50, ' ') + "QUORVANE  STATIC   10.002      12/31/24      PAGE    42");
  EXPECT_EQ(list[0].size(), 132u);
  EXPECT_EQ(list[1], "     STAGE 1" + std::string(65, ' '));
  EXPECT_EQ(list[2], "");
}

// The page eject of a conjugate-gradient run: lines of their own first.
TEST_F(Pages, EjectForms) {
  struct {
    word pcgmxi;
    Lines eject;
  } cases[] = {{0, {}}, {-4, {}}, {1, {"1"}}, {2, {"1", ""}}, {3, {"1", "", ""}}, {500, {"1", "", ""}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pcgmxi);
    const std::size_t before = lines("list").size();
    sysw().PCGMXI = c.pcgmxi;
    sysw().NLINE = 9999;
    PAGHDR();
    EXPECT_EQ(sysw().NLINE, 3);
    const Lines all = lines("list");
    const Lines added(all.begin() + static_cast<long>(before), all.end());
    ASSERT_EQ(added.size(), c.eject.size() + 3);
    EXPECT_EQ(Lines(added.begin(), added.begin() + static_cast<long>(c.eject.size())), c.eject);
    const std::string& header = added[c.eject.size()];
    EXPECT_EQ(header.size(), 132u);
    EXPECT_EQ(header[0], c.eject.empty() ? '1' : ' ');
  }
}

// The heading lines follow a page header, and a spacer too.
TEST_F(Pages, HeadingLinesOfTheDeckEchoes) {
  for (int i = 0; i < 3; ++i) exec_state().page.HEADLN[i][0] = static_cast<char>('A' + i);
  LINCT3(2);
  Lines list = lines("list");
  ASSERT_EQ(list.size(), 6u);
  EXPECT_TRUE(list[0].starts_with("1"));
  EXPECT_EQ(list[3], "A" + std::string(127, ' '));
  EXPECT_EQ(list[5], "C" + std::string(127, ' '));
  EXPECT_EQ(sysw().NLINE, 8);
  sysw().NLINE = 20;
  PAGTTL();
  list = lines("list");
  ASSERT_EQ(list.size(), 11u);
  EXPECT_EQ(list[6], "0");
  EXPECT_EQ(list[8], "A" + std::string(127, ' '));
  EXPECT_EQ(sysw().NLINE, 26);
}

}  // namespace
}  // namespace zephsol
