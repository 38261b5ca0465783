// The stress routine of each type code: the structural types reach their own
// routines, the codes without element routines share the rejecting one.
#include <gtest/gtest.h>

#include "zephsol/iter/scont.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/iter/stress_table.h"

namespace zephsol {
namespace {

TEST(StressTable, EveryTypeWithElementRoutinesHasItsStressRoutine) {
  EXPECT_EQ(stress_routine(5), &SBEAM);
  EXPECT_EQ(stress_routine(6), &SROD2);
  EXPECT_EQ(stress_routine(22), &SSPG2);
  EXPECT_EQ(stress_routine(26), &SSBEAM2);
  const StressRoutine rejected = stress_routine(8);
  for (word code : {13, 24, 25, 30}) EXPECT_EQ(stress_routine(code), rejected) << code;
  for (word code = 1; code <= 29; ++code) {
    if (code == 8 || code == 13 || code == 24 || code == 25) continue;
    EXPECT_NE(stress_routine(code), rejected) << code;
  }
}

}  // namespace
}  // namespace zephsol
