// The boundary, load and history decoders together on one deck, run by IFP1
// with its own table of decoders: each writes its block from the shared
// work area and buffer.
#include <string>
#include <vector>

#include "setdecfix.h"
#include "zephsol/input/dbload.h"

namespace zephsol::test {
namespace {

class SetDecksTest : public SetDecoderTest {};

TEST_F(SetDecksTest, OneDeckGivesBounLoadAndIncd) {
  group({"CONST", fixed({"", "1", "3", "", "", "1", "2"}),
         "DISP", fixed({"1"}), fixed({"", "7", "9", "", "", "1", "", "0.01"}),
         "BODY", fixed({"1"}), fixed({"", "1", "4", "", "0.0", "-1.0", "0.0"}),
         "HISTORY", fixed({"INTERVAL", "2"}), fixed({"", "BODY", "1"}), fixed({"", "DISP", "1"}),
         fixed({"INTERVAL"}), fixed({"", "INAC", "2"}),
         "ENDDATA"});
  IFP1();

  EXPECT_TRUE(messages().empty());
  EXPECT_EQ(header(BOUN), (std::array<word, 6>{2, 0, 0, 1, 0, 0}));
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 0, 1, 2, 0, 0}));
  EXPECT_EQ(load_words().IGRAV, 2);
  EXPECT_EQ(header(INCD), (std::array<word, 6>{2, 3, 0, 0, 2, 44}));
  EXPECT_EQ(exec_state().NSTTOT, 3);

  const auto boun = records(BOUN);
  ASSERT_EQ(boun.size(), 1u);
  EXPECT_EQ(boun[0].size(), 3u + 2 + 4 * 6 + 2 + 4 * 3);
  const auto load = records(LOAD);
  ASSERT_EQ(load.size(), 1u);
  EXPECT_EQ(load[0].size(), 3u + 4 + 4 * 11);
  const auto incd = records(INCD);
  ASSERT_EQ(incd.size(), 2u);
  EXPECT_EQ(std::vector<word>(incd[0].begin() + 40, incd[0].end()), (std::vector<word>{1, rw(1.0f), 17, rw(1.0f)}));
  EXPECT_EQ(std::vector<word>(incd[1].begin() + 40, incd[1].end()), (std::vector<word>{1, rw(0.0f), 2, 0}));
}

}  // namespace
}  // namespace zephsol::test
