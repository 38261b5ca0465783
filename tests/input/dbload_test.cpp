// Load decoders: temperature and prestress sets, the four force kinds with
// their entry layouts and value continuation, the gravity axis, the LOAD
// header and flags, and the card errors.
#include <string>
#include <vector>

#include "setdecfix.h"
#include "zephsol/input/dbload.h"

namespace zephsol::test {
namespace {

class LoadTest : public SetDecoderTest {
 protected:
  void run(const std::vector<std::string>& cards) {
    decode(cards, [](IfpDecoders& d) { d.DBLOAD = DBLOAD; });
  }
};

// A force entry of W words: id, the packed components, word 3, and the
// values of components c on (0.0 elsewhere).
std::vector<word> entry(word width, word id, word c, word d, word third,
                        std::initializer_list<float> values) {
  std::vector<word> e(static_cast<std::size_t>(width), 0);
  e[0] = id;
  e[1] = d * 256 + c;
  e[2] = third;
  word k = c;
  for (const float v : values) e[static_cast<std::size_t>(2 + k++)] = rw(v);
  return e;
}

void add(std::vector<word>& out, const std::vector<word>& more) {
  out.insert(out.end(), more.begin(), more.end());
}

std::vector<word> force_head(word kind) {
  std::vector<word> h = name8("FORCE   ");
  h.push_back(kind);
  return h;
}

TEST_F(LoadTest, NodalLoadsPackTheirComponentsAndReadContinuationCards) {
  run({"NLOAD", fixed({"4"}),
       fixed({"", "1", "3", "", "", "3", "4", "5.0", "6.0"}),
       fixed({"", "7", "", "", "2", "1", "6", "1.", "2.", "3."}),
       fixed({"", "4.", "5.", "6."})});

  std::vector<word> expect = force_head(1);
  expect.insert(expect.end(), {4, 1, 4 * 9 + 1, 1});
  for (const word node : {1, 2, 3}) add(expect, entry(9, node, 3, 4, 0, {5.0f, 6.0f}));
  add(expect, entry(9, 7, 1, 6, 2, {1, 2, 3, 4, 5, 6}));

  EXPECT_EQ(records(LOAD), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{1, 0, 0, 1, 0, 0}));
  EXPECT_TRUE(messages().empty());
}

TEST_F(LoadTest, DistributedLoadsTakeComponentsUpTo3WithoutField7) {
  run({"DLOAD", fixed({"2"}),
       fixed({"", "8", "", "", "5", "2", "", "1.5", "2.5"}),
       fixed({"", "9", "", "", "", "5"}),  // 5 to 3 would load nothing: 2027
       fixed({"", "10", "12", "", "", "1", "8", "1", "2", "3"}),
       fixed({"", "4", "5", "6", "7", "8"})});

  std::vector<word> expect = force_head(2);
  expect.insert(expect.end(), {2, 1, 4 * 11 + 1, 2});
  add(expect, entry(11, 8, 2, 3, 5, {1.5f, 2.5f}));
  for (const word e : {10, 11, 12}) add(expect, entry(11, e, 1, 8, 0, {1, 2, 3, 4, 5, 6, 7, 8}));

  EXPECT_EQ(records(LOAD), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 1, 0, 2, 0, 0}));
  EXPECT_EQ(messages(), std::vector<word>{2027});
  EXPECT_EQ(message_text(2027), "          D.O.F NUMBERS      5 AND      3 REVERSAL");
}

TEST_F(LoadTest, BodyForcesSetTheGravityAxis) {
  struct Case {
    std::vector<std::vector<std::string_view>> members;
    word igrav;
  };
  const Case cases[] = {
      {{{"", "1", "", "", "0.0", "-9.8", "0.0"}}, 2},
      {{{"", "1", "", "", "-1.0", "", "-2.0"}, {"", "2", "", "", "0.0", "0.0", "0.0"}}, 3},
      {{{"", "1", "", "", "0.0", "0.0", "9.8"}}, 0},
  };
  for (const Case& c : cases) {
    restart();
    std::vector<std::string> deck = {"BODY", fixed({"1"})};
    for (const auto& m : c.members) deck.push_back(fixed(m));
    run(deck);
    EXPECT_EQ(load_words().IGRAV, c.igrav) << deck[2];
  }
  std::vector<word> expect = force_head(7);
  expect.insert(expect.end(), {1, 1, 12, 7});
  add(expect, entry(11, 1, 1, 3, 0, {0.0f, 0.0f, 9.8f}));
  EXPECT_EQ(records(LOAD), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 0, 1, 2, 0, 0}));
}

TEST_F(LoadTest, InitialStressesTakeTwelveValuesOverTwoCards) {
  run({"INIT STR", fixed({"", "3", "4", "", "1", "2", "3", "4", "5", "6"}),
       fixed({"", "7", "8", "9", "10", "11", "12"}),
       fixed({"", "5", "", "", "1", "2", "3", "4", "5", "6"}),
       fixed({"9"}),  // ends the group's reading: the second member lacks its card
       fixed({"", "6", "", "", "1", "2", "3", "4", "5", "6"})});

  std::vector<word> expect = force_head(8);
  expect.insert(expect.end(), {0, 1, 2 * 17 + 1, 8});
  for (const word e : {3, 4}) add(expect, entry(17, e, 1, 12, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(records(LOAD), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 0, 0, 8 + 2, 0, 0}));
  EXPECT_EQ(messages(), std::vector<word>{2518});
}

TEST_F(LoadTest, TemperatureSetsExpandTheirElementRanges) {
  run({"TEMPERAT", fixed({"1"}),
       fixed({"", "1", "5", "2", "20.0"}),
       fixed({"", "10", "", "", "-5.0"}),
       fixed({"2"}),
       fixed({"", "7"})});

  std::vector<word> expect = name8("TEMP    ");
  expect.insert(expect.end(), {1, 1, 4, 1, rw(20), 3, rw(20), 5, rw(20), 10, rw(-5), 2, 1, 7, rw(0)});
  EXPECT_EQ(records(LOAD), std::vector<std::vector<word>>{expect});
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 0, 0, 2, 2, 0}));
  EXPECT_EQ(ifpflg().IFPPRS, 0);
}

TEST_F(LoadTest, PrestressAloneGivesOneTemperatureRecord) {
  run({"PRESTRES", fixed({"1"}), fixed({"", "4", "", "", "100."}),
       fixed({"2"}), fixed({"", "5", "", "", "200."}),
       fixed({"3"}), fixed({"", "6", "", "", "300."})});

  const auto recs = records(LOAD);
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_EQ(std::vector<word>(recs[0].begin(), recs[0].begin() + 3), (std::vector<word>{name8("TEMP    ")[0], name8("TEMP    ")[1], 1}));
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{0, 0, 0, 2, 3, 0}));
  EXPECT_EQ(ifpflg().IFPPRS, -1);
}

TEST_F(LoadTest, TemperatureWithPrestressIsRefused) {
  run({"TEMPERAT", fixed({"1"}), fixed({"", "4", "", "", "10."}),
       "PRESTRES", fixed({"1"}), fixed({"", "5", "", "", "200."})});
  EXPECT_EQ(messages(), std::vector<word>{2876});
  EXPECT_EQ(message_text(2876), "          TEMPERAT AND PRESTRES DATA MAY NOT BE GIVEN TOGETHER");
  EXPECT_TRUE(contains(errlog(), "DATA GROUP NAME- PRESTRES"));
  EXPECT_EQ(sysw().IERFLG, 1);
}

TEST_F(LoadTest, NoSetWrittenReleasesLoad) {
  run({"TEMPERAT", fixed({"1"}), fixed({"", "0"}), "NLOAD", fixed({"1"}), fixed({"", "1", "", "", "", "9"})});
  EXPECT_EQ(messages(), (std::vector<word>{2022, 2440, 2026, 2440}));
  EXPECT_EQ(header(LOAD), (std::array<word, 6>{}));
}

TEST_F(LoadTest, FaultyMembersAreDroppedWithTheirMessage) {
  struct Case {
    const char* group;
    std::vector<std::string_view> fields;
    std::vector<word> msgs;
  };
  const Case cases[] = {
      {"NLOAD", {"", "0", "", "", "", "1", "", "1."}, {2021}},
      {"NLOAD", {"", "5", "1", "", "", "1", "", "1."}, {2024}},
      {"NLOAD", {"", "1", "", "", "0", "1", "", "1."}, {2106}},
      {"NLOAD", {"", "1", "", "", "", "0", "", "1."}, {2026}},
      {"NLOAD", {"", "1", "", "", "", "2", "7", "1."}, {2026}},
      {"NLOAD", {"", "1", "", "", "", "3", "2", "1."}, {2027}},
      {"NLOAD", {"", "1", "", "", "", "1", "", "X"}, {2102}},
      {"DLOAD", {"", "0", "", "", "", "1", "1", "1."}, {2022}},
      {"DLOAD", {"", "1", "", "", "-1", "1", "1", "1."}, {2193}},
      {"DLOAD", {"", "1", "", "", "", "9", "9", "1."}, {2871}},
      // Distributed loads check the load type and components before the range.
      {"DLOAD", {"", "0", "", "", "", "9", "9", "1."}, {2871, 2022}},
      {"DLOAD", {"", "5", "1", "", "-1", "1", "1", "1."}, {2193, 2024}},
      {"NLOAD", {"", "0", "", "", "", "7", "", "1."}, {2021, 2026}},
      {"BODY", {"", "1", "9", "-2", "1.", "2.", "3."}, {2024}},
      {"TEMPERAT", {"", "-1", "", "", "1."}, {2022}},
  };
  for (const Case& c : cases) {
    restart();
    const bool temp = std::string_view(c.group) == "TEMPERAT";
    const std::string good = temp ? fixed({"", "9", "", "", "1."})
                                  : fixed({"", "9", "", "", "", "1", "1", "1.", "2.", "3."});
    const std::string good_body = fixed({"", "9", "", "", "1.", "2.", "3."});
    run({c.group, fixed({"1"}), fixed(c.fields),
         std::string_view(c.group) == "BODY" ? good_body : good});
    EXPECT_EQ(messages(), c.msgs) << c.group << " " << fixed(c.fields);
    const auto h = header(LOAD);
    EXPECT_EQ(h[0] + h[1] + h[2] + h[4], 1) << c.group << " " << fixed(c.fields);
  }
}

}  // namespace
}  // namespace zephsol::test
