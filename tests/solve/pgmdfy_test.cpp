// Zeroing of load terms on inactive DOFs (PGMDFY): in place or into another
// block, an input whose only terms lie on inactive DOFs, an absent input,
// and an input of the wrong size.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/fatal.h"
#include "support/solvefix.h"
#include "zephsol/dbio/directory.h"
#include "common/testing.h"
#include "zephsol/solve/pgmdfy.h"

namespace zephsol {
namespace {

using testing::FreshFileSystem;

constexpr word kActive = 16 + 64 + 256, kInactive = 16 + 8 + 64 + 512, kFixedInactive = 16 + 2 + 512;

const std::vector<word> kSets{kActive, kInactive, kActive, kFixedInactive, kActive, kInactive};

struct Case {
  const char* name;
  std::vector<double> in;
  word out;  // PGM itself, or another block
  std::vector<double> want;
  std::array<word, 6> header;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Zeroing : public ::testing::TestWithParam<Case> {};

TEST_P(Zeroing, ClearsTheInactiveComponents) {
  FreshFileSystem fs(1, 129);
  const Case& c = GetParam();
  test::write_uset(USET, kSets);
  // A second column, which the output does not keep.
  test::write_columns(PGM, {c.in, std::vector<double>(kSets.size(), 9.0)});
  PGMDFY(USET, PGM, c.out);
  EXPECT_EQ(test::read_columns(c.out), (std::vector<std::vector<double>>{c.want}));
  EXPECT_EQ(test::block_header(c.out), c.header);
}

INSTANTIATE_TEST_SUITE_P(
    Pgmdfy, Zeroing,
    ::testing::Values(Case{"in_place", {1.0, 2.0, 3.0, 4.0, 0.0, -6.0}, PGM, {1.0, 0.0, 3.0, 0.0, 0.0, 0.0}, {1, 6, 2, 2, 2, 3333}},
                      Case{"into_another", {1.0, 2.0, 3.0, 4.0, 5.0, -6.0}, DPGM, {1.0, 0.0, 3.0, 0.0, 5.0, 0.0}, {1, 6, 2, 2, 3, 5000}},
                      Case{"only_inactive_terms", {0.0, 2.0, 0.0, 4.0, 0.0, -6.0}, PGM, {0, 0, 0, 0, 0, 0}, {1, 6, 2, 2, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Pgmdfy, AbsentInputWritesNothing) {
  FreshFileSystem fs(1, 129);
  test::write_uset(USET, kSets);
  test::write_columns(DPGM, {{7.0, 7.0, 7.0, 7.0, 7.0, 7.0}});
  const auto before = test::block_header(DPGM);
  PGMDFY(USET, PGM, DPGM);
  EXPECT_EQ(test::block_header(DPGM), before);
  EXPECT_EQ(test::read_columns(DPGM), (std::vector<std::vector<double>>{{7.0, 7.0, 7.0, 7.0, 7.0, 7.0}}));
}

TEST(Pgmdfy, InputOfOtherRowsEndsTheRun) {
  FreshFileSystem fs(1, 129);
  test::write_uset(USET, kSets);
  test::write_columns(PGM, {{1.0, 2.0, 3.0}});
  EXPECT_RUN_ENDS_WITH(fs, PGMDFY(USET, PGM, PGM), "NUMBER OF ROWS/COLUMNS INCOMPATIBLE.  P1,P2=     239,       3");
}

}  // namespace
}  // namespace zephsol
