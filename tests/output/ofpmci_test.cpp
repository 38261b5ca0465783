// The material-change report and the element material vector (OFPMCI), and
// the output of a material-change interval (OFP1M), on a deck of 27 HEX8
// elements in a row: 1-25 of material 3, 26 and 27 of material 7.
//   - An interval that changes material 3 into 7: vector 81000 lists 7 for
//     every element and the report shows material 7 once, its 25 elements on
//     lines of ten, ten and five; the next step lists the same and prints no
//     report, since 7 has been reported in this run.
//   - No change list: every element with its own material, nothing printed.
//   - OFP1M: the group block (every node, the active elements) only when the
//     interval adds or removes element groups.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/block_dump.h"
#include "common/deck.h"
#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/iter_records.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/elemout.h"
#include "zephsol/output/ofp1.h"
#include "zephsol/output/postfile.h"

namespace zephsol {
namespace {

constexpr int kElements = 27;

std::string row_deck(std::string_view case_control = {}) {
  using test::card;
  std::string b = "ELEMENT\n" + card({"1", "HEX8"}) + "\nMATERIAL\n";
  for (const char* m : {"3", "7"}) b += card({m, "0"}) + "\n" + card({"", "E", "1.0E+4"}) + "\n" + card({"", "NU", "0.3"}) + "\n";
  b += "NODE\n";
  const auto node = [](int i, int j, int k) { return std::to_string(1 + i + 28 * (j + 2 * k)); };
  for (int k = 0; k < 2; ++k)
    for (int j = 0; j < 2; ++j)
      for (int i = 0; i <= kElements; ++i)
        b += card({node(i, j, k), "", std::to_string(i) + ".", std::to_string(j) + ".", std::to_string(k) + "."}) + "\n";
  b += "CONNECTI\n";
  for (int e = 1; e <= kElements; ++e) {
    const int i = e - 1;
    b += card({std::to_string(e), "1", "", e <= 25 ? "3" : "7", node(i, 0, 0), node(i + 1, 0, 0), node(i + 1, 1, 0),
               node(i, 1, 0), node(i, 0, 1), node(i + 1, 0, 1)}) +
         "\n" + card({"", node(i + 1, 1, 1), node(i, 1, 1)}) + "\n";
  }
  return test::bulk_deck(b, case_control);
}

// Material 3 becomes 7 from this interval on.
void change_3_into_7() {
  MTCLST& l = matl_state().MTCMID;
  l.count = 1;
  l.entry[0] = MTCENT{3, 7, 1};
}

void set_step(word interval, word step, word cumulative) {
  STPCTR& s = stpctr();
  s.NINTVL = interval;
  s.NSTEP = step;
  s.NSTEPC = cumulative;
}

// The vector 81000 of a step: its head and one line per element.
std::vector<std::string> material_vector(word set, const std::vector<word>& materials) {
  std::vector<std::string> v{fline("(4(I6,','))", {set, 81000, 1}), "Element Material IDs     ",
                             "  0.000000E+00,  0.000000E+00,  0.000000E+00,", "0,0,0,0,0,0,0,0,0,0,",
                             "0,0,0,0,0,0,0,0,0,0,", "     0,     0,     0,     8,", "0,0,1,"};
  for (std::size_t e = 0; e < materials.size(); ++e)
    v.push_back(fline("(I8,',',I14,',')", {static_cast<word>(e + 1), materials[e]}));
  v.push_back("-1,0.,");
  return v;
}

// The lines of text from the first line equal to first to the first equal to last, both included.
std::vector<std::string> between(const std::vector<std::string>& lines, const std::string& first, const std::string& last) {
  std::vector<std::string> out;
  bool on = false;
  for (const std::string& l : lines) {
    if (l == first) on = true;
    if (on) out.push_back(l);
    if (on && l == last) break;
  }
  return out;
}

TEST(Ofpmci, ChangedMaterialReportedOnceAndListedAtEveryStep) {
  test::DeckRun run(row_deck());
  ASSERT_TRUE(run.model_phase());
  ofpreq()(kPostDisp) = 1;
  post_open();
  change_3_into_7();
  set_step(2, 1, 5);
  OFPMCI(EST, MATD, 0, 1);
  set_step(2, 2, 6);
  OFPMCI(EST, MATD, 0, 1);
  post_flush();

  const std::vector<word> all7(kElements, 7);
  auto want = material_vector(5, all7);
  const auto second = material_vector(6, all7);
  want.insert(want.end(), second.begin(), second.end());
  const auto post = run.lines(test::kResultFile);
  ASSERT_GE(post.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(post.begin() + 5, post.end()), want);

  const std::string title = std::string(32, ' ') + "M A T E R I A L   C H A N G E   I N F O" + std::string(12 + 22, ' ') +
                            "INTERVAL   2  STEP   1";
  std::string l1 = "       7     ", l2(13, ' '), l3(13, ' ');
  for (int e = 1; e <= 25; ++e) (e <= 10 ? l1 : e <= 20 ? l2 : l3) += fline("(I8)", {e});
  const std::vector<std::string> report{title, "", "     MAT.ID        ELM.ID", "", l1, l2, l3};
  EXPECT_EQ(between(run.listing(), title, l3), report);
  int titles = 0;
  for (const std::string& l : run.listing()) titles += l.find("M A T E R I A L") != std::string::npos;
  EXPECT_EQ(titles, 1);
}

TEST(Ofpmci, WithoutChangesEveryElementKeepsItsMaterialAndNothingIsPrinted) {
  test::DeckRun run(row_deck());
  ASSERT_TRUE(run.model_phase());
  ofpreq()(kPostDisp) = 1;
  post_open();
  set_step(1, 1, 1);
  OFPMCI(EST, MATD, 0, 1);
  post_flush();
  std::vector<word> own(kElements, 3);
  own[25] = own[26] = 7;
  const auto post = run.lines(test::kResultFile);
  ASSERT_GE(post.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(post.begin() + 5, post.end()), material_vector(1, own));
  for (const std::string& l : run.listing()) EXPECT_EQ(l.find("M A T E R I A L"), std::string::npos);
}

// State records of every element of EST, elements 3 and 4 inactive.
void write_states() {
  std::array<word, 6> trailer{0, 0, 0, 0, 0, 1};
  std::vector<word> area(4000);
  const word nbuf = sysw().NBUFSZ;
  DBOPEN(EST, sysw().COREND - 2 * nbuf, kRead);
  DBOPEN(EIV0, sysw().COREND - 3 * nbuf, kWrite);
  for (int e = 1; e <= kElements; ++e) {
    ESTRD(EST);
    ETYPDS(estcom().ISEQ, 0);
    EIVRDA(0, area);
    EIVOPA(EIV0);
    eivwka().head[5] = e == 3 || e == 4 ? 1 : 0;
    ++trailer[0];
    trailer[3] = std::max(trailer[3], eivwka().head[3]);
    EIVWRA(trailer);
  }
  DBCLOS(EST, kCloseRewind);
  DBCLOS(EIV0, kCloseRewind);
  HDRPUT(EIV0, trailer);
}

TEST(Ofp1m, GroupOfEveryNodeAndTheActiveElementsOnlyWhenGroupsChange) {
  for (const word excavf : {0, -1}) {
    SCOPED_TRACE(excavf);
    test::DeckRun run(row_deck("NOUTPUT\nOTIM 1 = 1, 2\nSET 1 = ALL\n"));
    ASSERT_TRUE(run.model_phase());
    write_states();
    change_3_into_7();
    set_step(2, 1, 2);
    OFP1M(CTRL, CTRN, EIV0, excavf);

    const auto post = run.lines(test::kResultFile);
    std::vector<std::string> want{"   -1", "100", "Database from FEMAP              ", "4.5", "   -1",
                                  "   -1", "  450", "     2,", "Interval    2, Step    1", "4,1,", "0.,", "1,", "<NULL>",
                                  "   -1", "   -1", "  451"};
    const auto v = material_vector(2, std::vector<word>(kElements, 7));
    want.insert(want.end(), v.begin(), v.end());
    want.push_back("   -1");
    ASSERT_GE(post.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(post.begin(), post.begin() + static_cast<std::ptrdiff_t>(want.size())), want);
    if (excavf == 0) {
      EXPECT_EQ(post.size(), want.size());
      continue;
    }
    // The group: all 112 nodes, then the 25 active elements.
    std::vector<std::string> nodes, elements;
    bool in_nodes = false, in_elements = false;
    for (const std::string& l : post) {
      if (l == "17,") in_nodes = true;
      else if (l == "21,") in_elements = true;
      else if (l == "-1,-1,-1,-1,") in_nodes = in_elements = false;
      else if (in_nodes) nodes.push_back(l);
      else if (in_elements) elements.push_back(l);
    }
    EXPECT_EQ(nodes.size(), 112u);
    EXPECT_EQ(nodes.front(), "     1,     0,     1,     1,");
    ASSERT_EQ(elements.size(), 25u);
    EXPECT_EQ(elements[2], "     5,     0,     1,     1,");
  }
}

}  // namespace
}  // namespace zephsol
