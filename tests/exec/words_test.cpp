#include <gtest/gtest.h>

#include "zephsol/exec/records.h"
#include "zephsol/exec/words.h"

namespace zephsol {
namespace {

TEST(Words, NameRoundTrip) {
  EXPECT_EQ(word_name(name_word("LIST")), "LIST");
  EXPECT_EQ(word_name(name_word("KG")), "KG  ");
  const auto w = name_words8("SDR");
  EXPECT_EQ(words8_name(w[0], w[1]), "SDR     ");
  EXPECT_EQ(word_real(real_word(0.001f)), 0.001f);
}

TEST(Records, LoadValues) {
  reset_exec_state();
  EXPECT_EQ(sysw().NBUFSZ, 1025);
  EXPECT_EQ(sysw().words()[9], 9999);  // NLINE
  EXPECT_EQ(word_real(sysw().words()[29]), 0.001f);
  EXPECT_EQ(word_name(sysw().RUNDAT[0]) + word_name(sysw().RUNDAT[1]), "01/01/97");
}

}  // namespace
}  // namespace zephsol
