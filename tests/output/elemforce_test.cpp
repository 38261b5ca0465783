// The element force output of a step, through OFP1 on element states with
// force blocks: the order of the tables and their headings, the printed
// rows byte for byte (end-A values as the element holds them), the force
// vectors with their headers and the negated end-A values, and which
// elements each table and vector covers (a contact element in state 0 in
// none, a section beam without moment-curvature values).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "support/stepfix.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/sjis_headings.h"

namespace zephsol::test {
namespace {

constexpr word kBeam2 = 5, kRod2 = 6, kQfla4 = 7, kSpg2 = 22, kCnt2 = 23, kSbeam2 = 26;

// What a listing line is: a heading title by kind, or a row by its element
// (B a BEGIN line, M a moment-curvature row, S a shell row).
std::vector<std::string> outline(const std::vector<std::string>& listing) {
  const std::pair<std::string_view, const char*> titles[] = {
      {kSjisTitleSectionForce, "T3"}, {kSjisTitleSpringReaction, "T8"}, {kSjisTitleNonlinearSpring, "T9"},
      {kSjisTitleShellForce, "T10"},  {kSjisTitleBeamMphi, "T11"}};
  static const std::regex begin(R"( {4}[ \d]{7}\d    BEGIN  .*)");
  static const std::regex mphi(R"( {4}[ \d]{7}\d {11}([ -]{3}\d\.\d{5}E[+-]\d\d){4}[ \d-]{9})");
  static const std::regex shell(R"( [ \d]{5}\d {4}([ -]{3}\d\.\d{5}E[+-]\d\d){8})");
  std::vector<std::string> out;
  for (const std::string& l : listing) {
    for (const auto& [t, name] : titles)
      if (l.find(t) != std::string::npos) out.emplace_back(name);
    if (std::regex_match(l, begin)) out.push_back("B" + std::to_string(std::stoi(l.substr(4, 8))));
    if (std::regex_match(l, mphi)) out.push_back("M" + std::to_string(std::stoi(l.substr(4, 8))));
    if (std::regex_match(l, shell)) out.push_back("S" + std::to_string(std::stoi(l.substr(1, 6))));
  }
  return out;
}

std::vector<std::string>::const_iterator find_line(const std::vector<std::string>& l, const std::string& lead) {
  return std::find_if(l.begin(), l.end(), [&](const std::string& x) { return x.rfind(lead, 0) == 0; });
}

class ForceStep : public StepTest {
 protected:
  // An element whose output point carries a force block: end-A forces base +
  // 1..6, end-B forces base + 11..16, moment base + 0.5, curvature 0.25,
  // plastic ratios 0.5 and 0.75, and a state code.
  static StateDef forces(word id, word type, word iclass, word npts, word outpt, double base, word state) {
    return {id, type, iclass, npts, outpt, [=](word p, EIVWK& w) {
              if (p != (type == kQfla4 ? 5 : outpt)) return;
              w.sw[7] = 1;
              w.blk.b8.v[0] = base + 0.5;
              for (std::size_t k = 1; k <= 6; ++k) {
                w.blk.b8.v[k] = base + static_cast<double>(k);
                w.blk.b8.v[k + 6] = base + 10 + static_cast<double>(k);
              }
              w.vec[2][5] = 0.25;
              w.sw[9] = w.sw[10] = 1;
              w.blk.b10.v[0] = 0.5;
              w.blk.b10.v[1] = 0.75;
              w.blk.b11.iv[0] = state;
            }};
  }

  void SetUp() override {
    StepTest::SetUp();
    write_nodes({{1, 2}});
    write_uset({64, 64});
    write_columns(UG, {std::vector<double>(2, 0.0)});
    sysw().LINPAG = 1000;  // one page: headings only where a table starts
    write_states({
        forces(11, kBeam2, 6, 1, 1, 100, 2),
        forces(12, kRod2, 1, 1, 1, 200, 0),
        forces(13, kSpg2, 6, 1, 1, 300, 0),
        forces(14, kCnt2, 6, 1, 1, 400, 2),
        forces(15, kCnt2, 6, 1, 1, 500, 0),  // open, never closed: state 0
        forces(16, kQfla4, 7, 45, 25, 600, 0),
        forces(17, kSbeam2, 6, 1, 1, 700, 1),
    });
  }
};

TEST_F(ForceStep, TablesAndVectorsOfEveryGroup) {
  print_requests({"ELFO = ALL"});
  post_requests({"OTIM 1 = 1", "SET 1 = ALL"});
  output_step(1, 1, 1);

  // Tables in order: beams, moment-curvature, bars, springs, contacts, shells.
  const std::vector<std::string> l = listing();
  EXPECT_EQ(outline(l), (std::vector<std::string>{"T3", "B11", "B17", "T11", "M11", "T3", "B12", "T8", "B13", "T9",
                                                  "B14", "T10", "S16"}));
  const auto lines_after = [&](const std::string& lead, std::size_t n) {
    const auto at = find_line(l, lead);
    EXPECT_NE(at, l.end()) << lead;
    return at == l.end() ? std::vector<std::string>{} : std::vector<std::string>(at, at + static_cast<std::ptrdiff_t>(n));
  };
  EXPECT_EQ(lines_after("          11    BEGIN", 2),
            (std::vector<std::string>{
                "          11    BEGIN     1.01000E+02   1.02000E+02   1.03000E+02   1.04000E+02   1.05000E+02"
                "   1.06000E+02",
                "                  END     1.11000E+02   1.12000E+02   1.13000E+02   1.14000E+02   1.15000E+02"
                "   1.16000E+02"}));
  EXPECT_EQ(lines_after("          11           ", 1),
            (std::vector<std::string>{"          11              1.00500E+02   2.50000E-01   5.00000E-01   7.50000E-01"
                                      "        2"}));
  EXPECT_EQ(lines_after("          12    BEGIN", 2),
            (std::vector<std::string>{"          12    BEGIN     2.01000E+02", "                  END     2.11000E+02"}));
  EXPECT_EQ(lines_after("          14    BEGIN", 1),
            (std::vector<std::string>{"          14    BEGIN     4.01000E+02   4.02000E+02   4.03000E+02   4.04000E+02"
                                      "   4.05000E+02   4.06000E+02       CLOSE,  FRICTIONAL  "}));
  EXPECT_EQ(lines_after("     16    ", 1),
            (std::vector<std::string>{"     16       6.01000E+02   6.02000E+02   6.03000E+02   6.11000E+02   6.12000E+02"
                                      "   6.13000E+02   6.14000E+02   6.15000E+02"}));

  // The force vectors after the element vectors, before the material vector.
  const PostFile f = post();
  ASSERT_TRUE(f.errors.empty()) << f.errors.front();
  const PostStep& s = f.steps.at(0);
  std::vector<int> ids = s.vector_ids();
  const auto first = std::find(ids.begin(), ids.end(), 3022);
  ASSERT_NE(first, ids.end());
  EXPECT_EQ(std::vector<int>(first, ids.end()),
            (std::vector<int>{3022, 3018, 3019, 3024, 3015, 3014, 3023, 3020, 3021, 3025, 3017, 3016, 5001, 5002, 5003,
                              3008, 3009, 5101, 5102, 5103, 5104, 5105, 5106, 5111, 5112, 5113, 5114, 5115, 5116,
                              5201, 5202, 5203, 5211, 5212, 5213, 81004, 7006, 7007, 7008, 7011, 7012, 7013, 7014,
                              7015, 81000}));
  using Values = std::vector<std::pair<int, double>>;
  const auto values = [&](int id) { return s.vector(id) != nullptr ? s.vector(id)->values : Values{}; };
  // End A negated, end B as held; BEAM2 and SBEAM2 in the beam vectors,
  // only the BEAM2 in the moment-curvature ones.
  EXPECT_EQ(values(3022), (Values{{11, -101}, {17, -701}}));
  EXPECT_EQ(values(3014), (Values{{11, -106}, {17, -706}}));
  EXPECT_EQ(values(3016), (Values{{11, 116}, {17, 716}}));
  EXPECT_EQ(values(5001), (Values{{11, 100.5}}));
  EXPECT_EQ(values(5002), (Values{{11, 0.25}}));
  EXPECT_EQ(values(5003), (Values{{11, 2}}));
  EXPECT_EQ(values(3008), (Values{{12, -201}}));
  EXPECT_EQ(values(3009), (Values{{12, 211}}));
  EXPECT_EQ(values(5106), (Values{{13, -306}}));
  EXPECT_EQ(values(5111), (Values{{13, 311}}));
  // The contact element in state 0 is in no gap vector.
  EXPECT_EQ(values(5203), (Values{{14, -403}}));
  EXPECT_EQ(values(5211), (Values{{14, 411}}));
  EXPECT_EQ(values(81004), (Values{{14, 1}}));
  EXPECT_EQ(values(7006), (Values{{16, 601}}));
  EXPECT_EQ(values(7013), (Values{{16, 613}}));
  EXPECT_EQ(values(7015), (Values{{16, 615}}));

  // Headers, byte for byte.
  const auto head = [&](int id) {
    const PostVector* v = s.vector(id);
    return v == nullptr ? std::vector<std::string>{}
                        : std::vector<std::string>(v->lines.begin() + 1, v->lines.begin() + 7);
  };
  EXPECT_EQ(head(3022), (std::vector<std::string>{"Beam EndA Axial Force    ",
                                                  " -7.010000E+02, -1.010000E+02,  7.010000E+02,",
                                                  "3022,3023,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,",
                                                  "    17,    11,     3,     8,", "     0,     3,     1,"}));
  EXPECT_EQ(head(3020)[2], "3018,3020,0,0,0,0,0,0,0,0,");
  EXPECT_EQ(head(5002), (std::vector<std::string>{"Beam M-\x83\xD3  \x83\xD3            ",
                                                  "  2.500000E-01,  2.500000E-01,  2.500000E-01,",
                                                  "   0,   0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,",
                                                  "    11,    11,     3,     8,", "     0,     0,     1,"}));
  EXPECT_EQ(s.vector(5003)->lines[7], "      11,             2,");
  EXPECT_EQ(head(3009)[2], "3008,3009,0,0,0,0,0,0,0,0,");
  EXPECT_EQ(head(5101), (std::vector<std::string>{"Spring EndA X Force      ",
                                                  " -3.010000E+02, -3.010000E+02,  3.010000E+02,",
                                                  "0,0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,",
                                                  "    13,    13,     0,     8,", "     0,     0,     1,"}));
  EXPECT_EQ(head(81004), (std::vector<std::string>{"Gap Status               ",
                                                   "  0.000000E+00,  0.000000E+00,  0.000000E+00,",
                                                   "0,0,0,0,0,0,0,0,0,0,", "0,0,0,0,0,0,0,0,0,0,",
                                                   "     0,     0,     0,     8,", "0,0,1,"}));
  EXPECT_EQ(s.vector(81004)->lines[7], "      14,             1,");
  EXPECT_EQ(head(7008)[0], "XY Membrance Force       ");
}

TEST_F(ForceStep, SetSelectsRowsAndTheResultFileRequestTheVectors) {
  // Only the spring and the contact elements are selected: every present
  // group still gets its heading; without the result-file request no force
  // vector is written.
  print_requests({"SET 2 = 13 THRU 15", "ELFO = SET 2"});
  output_step(1, 1, 1);
  EXPECT_EQ(outline(listing()), (std::vector<std::string>{"T3", "T11", "T3", "T8", "B13", "T9", "B14", "T10"}));
  const std::vector<std::string> p = post_lines();
  EXPECT_EQ(std::count(p.begin(), p.end(), "3022,3023,0,0,0,0,0,0,0,0,"), 0);
  EXPECT_EQ(std::find(p.begin(), p.end(), "Gap Status               "), p.end());
}

}  // namespace
}  // namespace zephsol::test
