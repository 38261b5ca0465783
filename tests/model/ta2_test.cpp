// TA2: element group lists in element sequence numbers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/modeldeck.h"
#include "zephsol/model/gp1.h"
#include "zephsol/model/ta2.h"

namespace zephsol::test {
namespace {

// Four quadrilaterals whose identifiers 40, 10, 30, 20 get the sequence
// numbers 4, 1, 3, 2.
std::string quads(const std::string& groups) {
  std::string b = "ELEMENT\n" + card({"3", "QPLAN4"}) + "\n" + material_cards() + "NODE\n";
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) b += node_card(1 + i + 3 * j, std::to_string(i) + ".0", std::to_string(j) + ".0", "0.0");
  b += "CONNECTI\n" + element_card(40, 3, 0, {1, 2, 5, 4}) + element_card(10, 3, 0, {2, 3, 6, 5}) +
       element_card(30, 3, 0, {4, 5, 8, 7}) + element_card(20, 3, 0, {5, 6, 9, 8});
  return bulk_deck(b + groups);
}

std::string group(const std::string& id, std::vector<std::string> members) {
  std::vector<std::string_view> f{"", "F1"};
  for (const auto& m : members) f.push_back(m);
  std::string c;
  for (auto s : f) {
    std::string field(s);
    field.resize(8, ' ');
    c += field;
  }
  return card({id}) + "\n" + c + "\n";
}

struct Case {
  const char* what;
  std::string groups;
  std::vector<std::string> iels;  // the dump of IELS
  std::vector<int> messages;      // numbers on the listing, warnings negative
  word errors;
};

TEST(Ta2, GroupCases) {
  const std::vector<Case> cases{
      {"an element in two EGROUPs is in both lists, one warning",
       "EGROUP\n" + group("1", {"10", "40"}) + group("2", {"40", "30"}),
       {"header: 2 0 0 0 0 4", "1: 1 2 1 4", "2: 2 2 3 4"},
       {-1705},
       0},
      {"MGROUP only: one record of NE words, the group read last",
       "MGROUP\n" + group("7", {"10", "20"}) + group("8", {"20"}),
       {"header: 0 2 0 0 0 4", "1: 7 8 0 0"},
       {-1705},
       0},
      {"both kinds, unsorted input",
       "EGROUP\n" + group("5", {"40", "20", "10"}) + "MGROUP\n" + group("9", {"30"}),
       {"header: 1 1 0 0 0 5", "1: 5 3 1 2 4", "2: 0 0 9 0"},
       {},
       0},
      {"a group of missing elements: 1704 each and IELS released",
       "EGROUP\n" + group("3", {"99", "10", "98"}),
       {"header: 0 0 0 0 0 0"},
       {1704, 1704},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeckRun run(quads(c.groups));
    run.input();
    GP1(STRC, CSTM, NODC, CONE);
    TA2(ELST, CONE, IELS);
    EXPECT_EQ(dump_block(IELS), c.iels);
    EXPECT_EQ(message_numbers(run.listing()), c.messages);
    EXPECT_EQ(sysw().IERFLG, c.errors);
  }
}

TEST(Ta2, MessageTexts) {
  DeckRun run(quads("EGROUP\n" + group("1", {"10"}) + group("2", {"10", "77"})));
  run.input();
  GP1(STRC, CSTM, NODC, CONE);
  TA2(ELST, CONE, IELS);
  for (const auto& lines : {run.listing(), run.errors()}) {
    EXPECT_TRUE(has_line(lines, "0*** USER WARNING MESSAGE 1705, ELEMENT    10 IN EGROUP     2 IS ALSO INCLUDED IN EGROUP     1"));
    EXPECT_TRUE(has_line(lines, "0*** USER FATAL MESSAGE 1704, ELEMENT    77 IN EGROUP     2 NOT FOUND."));
  }
}

TEST(Ta2, NoGroupsGiveAZeroHeader) {
  DeckRun run(quads(""));
  run.input();
  GP1(STRC, CSTM, NODC, CONE);
  TA2(ELST, CONE, IELS);
  EXPECT_EQ(block_header(IELS), (std::array<word, 6>{}));
  EXPECT_TRUE(block_records(IELS).empty());
}

}  // namespace
}  // namespace zephsol::test
