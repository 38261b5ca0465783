// Result table headings: every kind and class variant byte for byte against
// the CP932 (iconv) encoding of its Japanese text laid out by column counts,
// the Shift-JIS constants against iconv, the line count, and the fatal ends.
#include "zephsol/iter/ofphdg.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/exec/cp932.h"
#include "common/testing.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/records.h"
#include "zephsol/iter/sjis_headings.h"

namespace zephsol {
namespace {

using test::to_cp932;

struct Text {
  const char* name;
  std::string_view sjis;
  const char* utf8;
};

const Text kTexts[] = {
    {"kSjisInterval", kSjisInterval, "ｲﾝﾀｰﾊﾞﾙ "},
    {"kSjisStepLabel", kSjisStepLabel, " ｽﾃｯﾌﾟ"},
    {"kSjisTitleDisplacement", kSjisTitleDisplacement, "　　節　　点　　の　　累　　計　　変　　位"},
    {"kSjisTitleStressStrain", kSjisTitleStressStrain, "累　計　応　力　と　累　計　ひ　ず　み"},
    {"kSjisTitleSectionForce", kSjisTitleSectionForce, "　　断　　面　　力"},
    {"kSjisTitlePrincipalStress", kSjisTitlePrincipalStress, "主　応　力、　最　大　せ　ん　断　応　力　と　主　応　力　の　方　向"},
    {"kSjisTitleReaction", kSjisTitleReaction, "　　節　　点　　の　　反　　力"},
    {"kSjisTitlePrincipalStrain", kSjisTitlePrincipalStrain, "主　ひ　ず　み、　最　大　せ　ん　断　ひ　ず　み　と主　ひ　ず　み　の　方　向"},
    {"kSjisTitleSpringReaction", kSjisTitleSpringReaction, "　　ば　　　ね　　　反　　　力"},
    {"kSjisTitleNonlinearSpring", kSjisTitleNonlinearSpring, "　　非　線　形　ば　ね　反　力"},
    {"kSjisTitleShellForce", kSjisTitleShellForce, "　　シ　ェ　ル　断　面　力　　"},
    {"kSjisTitleBeamMphi", kSjisTitleBeamMphi, "　　非　線　形　は　り　Ｍ－φ"},
    {"kSjisTitleNodalForce", kSjisTitleNodalForce, "　　節　　　　　点　　　　　力"},
    {"kSjisNodeNumber", kSjisNodeNumber, "節点番号"},
    {"kSjisElementPoint", kSjisElementPoint, "要素番号-積分点"},
    {"kSjisMisesColumns", kSjisMisesColumns, "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    ゆるみ係数    温度"},
    {"kSjisMisesColumnsDeform", kSjisMisesColumnsDeform, "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    変形係数　    温度"},
    {"kSjisElementNumber", kSjisElementNumber, "要素番号"},
    {"kSjisAxialForce", kSjisAxialForce, "軸力"},
    {"kSjisShearXY", kSjisShearXY, "せん断-XY"},
    {"kSjisShearZX", kSjisShearZX, "せん断-ZX"},
    {"kSjisTorque", kSjisTorque, "トルク"},
    {"kSjisMomentY", kSjisMomentY, "ﾓｰﾒﾝﾄ -Y"},
    {"kSjisMomentZ", kSjisMomentZ, "ﾓｰﾒﾝﾄ -Z"},
    {"kSjisPrincipalStressBanner", kSjisPrincipalStressBanner, "----- 　主　　応　　力　 -----"},
    {"kSjisMaxShear", kSjisMaxShear, "最大せん断"},
    {"kSjisStressDirectionBanner", kSjisStressDirectionBanner, "------------ 主　応　力　方　向 ------------"},
    {"kSjisStressLabel", kSjisStressLabel, "応　力"},
    {"kSjisPrincipalStrainBanner", kSjisPrincipalStrainBanner, "------　主　ひ　ず　み　------"},
    {"kSjisStrainDirectionBanner", kSjisStrainDirectionBanner, "-------- 主　ひ　ず　み　の　方　向 ----------"},
    {"kSjisStrainLabel", kSjisStrainLabel, "ひずみ"},
    {"kSjisSpringX", kSjisSpringX, "Ｘ　"},
    {"kSjisSpringY", kSjisSpringY, "Ｙ　　   "},
    {"kSjisSpringZ", kSjisSpringZ, "Ｚ　　   "},
    {"kSjisSpringRX", kSjisSpringRX, "ＲＸ　"},
    {"kSjisSpringRY", kSjisSpringRY, "ＲＹ　　"},
    {"kSjisSpringRZ", kSjisSpringRZ, "ＲＺ　　"},
    {"kSjisContactColumns", kSjisContactColumns, "　軸方向　   　　せん断-Y    　　せん断-Z　   　　回転-X　   　　回転-Y　   　　回転-Z  　　　 接触状況　　　　"},
    {"kSjisShellFX", kSjisShellFX, "ＦＸ"},
    {"kSjisShellFY", kSjisShellFY, "ＦＹ"},
    {"kSjisShellFXY", kSjisShellFXY, "ＦＸＹ"},
    {"kSjisShellMX", kSjisShellMX, "ＭＸ"},
    {"kSjisShellMY", kSjisShellMY, "ＭＹ"},
    {"kSjisShellMXY", kSjisShellMXY, "ＭＸＹ"},
    {"kSjisShellQYZ", kSjisShellQYZ, "ＱＹＺ"},
    {"kSjisShellQZX", kSjisShellQZX, "ＱＺＸ"},
    {"kSjisMoment", kSjisMoment, "ﾓｰﾒﾝﾄ"},
    {"kSjisCurvature", kSjisCurvature, "曲率  "},
    {"kSjisPlasticRatio1", kSjisPlasticRatio1, "塑性率1"},
    {"kSjisPlasticRatio2", kSjisPlasticRatio2, "塑性率2"},
    {"kSjisState", kSjisState, "状況"},
    {"kSjisElementNode", kSjisElementNode, "要素番号   節点番号"},
    {"kSjisJointClassTitle", kSjisJointClassTitle, "法線方向   せん断-X    せん断-Y     接触状況　　　　"},
};

TEST(HeadingTexts, ConstantsAreTheCp932OfTheirTexts) {
  for (const Text& t : kTexts) EXPECT_EQ(t.sjis, to_cp932(t.utf8)) << t.name;
}

std::string sp(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The lines a heading prints, in UTF-8 (converted for the comparison).
struct Heading {
  word kind;
  word iclass;   // element class in EIVWKA
  word ifpdun;   // hyperbolic-material flag
  std::vector<std::string> lines;
};

// Title line: b1 blanks, title, b2 blanks, interval 3 and step 12.
std::string title(int b1, const std::string& t, int b2) {
  return sp(b1) + t + sp(b2) + "ｲﾝﾀｰﾊﾞﾙ " + "   3" + " ｽﾃｯﾌﾟ" + "  12";
}

const std::string kNodal = "0" + sp(6) + "節点番号" + sp(13) + "D1" + sp(14) + "D2" + sp(14) + "D3" + sp(14) + "D4" +
                           sp(14) + "D5" + sp(14) + "D6";
const std::string kStress = "累　計　応　力　と　累　計　ひ　ず　み";
const std::string kMises = "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    ゆるみ係数    温度";
const std::string kPrincipalStress = "主　応　力、　最　大　せ　ん　断　応　力　と　主　応　力　の　方　向";
const std::string kPrincipalStrain = "主　ひ　ず　み、　最　大　せ　ん　断　ひ　ず　み　と主　ひ　ず　み　の　方　向";
const std::string kStressBanner = "0" + sp(17) + "----- 　主　　応　　力　 -----" + sp(5) + "最大せん断" + sp(6) +
                                  "------------ 主　応　力　方　向 ------------";
const std::string kStrainBanner = "0" + sp(17) + "------　主　ひ　ず　み　------" + sp(5) + "最大せん断" + sp(6) +
                                  "-------- 主　ひ　ず　み　の　方　向 ----------";
std::string principal2(const std::string& label) {
  return sp(1) + "要素番号-積分点" + sp(5) + "1" + sp(11) + "2" + sp(21) + label + sp(15) + "1-X    1-Y      2-X    2-Y";
}
std::string principal3(const std::string& label, const std::string& axes) {
  return sp(1) + "要素番号-積分点" + sp(5) + "1" + sp(11) + "2" + sp(11) + "3" + sp(9) + label + sp(8) + axes;
}
const std::string kRzt = "1-R    1-Z 1-THET      2-R    2-Z 2-THET      3-R    3-Z 3-THET";
const std::string kXyz = "1-X    1-Y    1-Z      2-X    2-Y    2-Z      3-X    3-Y    3-Z";
std::string stress_columns(const std::string& class_title, const std::string& factors) {
  const std::string t = class_title + sp(62 - static_cast<int>(to_cp932(class_title).size()));  // 62 bytes
  return "0" + std::string("要素番号-積分点") + sp(11) + t + sp(9) + factors;
}

const std::vector<Heading>& headings() {
  static const std::vector<Heading> h = {
      {1, 3, 0, {title(32, "　　節　　点　　の　　累　　計　　変　　位", 31), kNodal, " "}},
      {5, 3, 0, {title(40, "　　節　　点　　の　　反　　力", 35), kNodal, " "}},
      {2, 1, 0, {title(42, kStress, 25), stress_columns(" X", kMises)}},
      {2, 2, 0, {title(42, kStress, 25), stress_columns(" X           Y          XY", kMises)}},
      {2, 3, 0,
       {title(42, kStress, 25),
        stress_columns(" X           Y           Z          XY          YZ          ZX", kMises)}},
      {2, 3, -1,
       {title(42, kStress, 25), stress_columns(" X           Y           Z          XY          YZ          ZX",
                                               "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    変形係数　    温度")}},
      {2, 4, 0, {title(42, kStress, 25), stress_columns(" R           Z         THETA        RZ", kMises)}},
      {2, 5, 0, {title(42, kStress, 25), stress_columns(" X           Y           Z          XY", kMises)}},
      {2, 6, 0, {title(42, kStress, 25), stress_columns(" X          XY          ZX", kMises)}},
      {2, 7, 0,
       {title(42, kStress, 25), stress_columns(" X           Y          XY          YZ          ZX", kMises)}},
      {2, 8, 0, {title(42, kStress, 25), stress_columns("PHI        THETA", kMises)}},
      {2, 9, 0, {title(42, kStress, 25), stress_columns(" X           Y          YZ", kMises)}},
      {2, 10, -1,
       {title(42, kStress, 25), "", stress_columns("法線方向   せん断-X    せん断-Y     接触状況　　　　", "")}},
      {2, 11, 0, {title(42, kStress, 25), stress_columns("PHI        THETA       TAU", kMises)}},
      {3, 6, 0,
       {title(40, "　　断　　面　　力", 47), "0" + sp(5) + "要素番号" + sp(15) + "軸力" + sp(9) + "せん断-XY" + sp(6) +
                                                "せん断-ZX" + sp(6) + "トルク" + sp(8) + "ﾓｰﾒﾝﾄ -Y" + sp(6) + "ﾓｰﾒﾝﾄ -Z"}},
      {4, 2, 0, {title(30, kPrincipalStress, 7), kStressBanner, principal2("応　力")}},
      {4, 4, 0, {title(30, kPrincipalStress, 7), kStressBanner, principal3("応　力", kRzt)}},
      {4, 3, 0, {title(30, kPrincipalStress, 7), kStressBanner, principal3("応　力", kXyz)}},
      {6, 2, 0, {title(18, kPrincipalStrain, 7), kStrainBanner, principal2("ひずみ")}},
      {6, 4, 0, {title(18, kPrincipalStrain, 7), kStrainBanner, principal3("ひずみ", kRzt)}},
      {6, 7, 0, {title(18, kPrincipalStrain, 7), kStrainBanner, principal3("ひずみ", kXyz)}},
      {8, 6, 0,
       {title(40, "　　ば　　　ね　　　反　　　力", 35), "0" + sp(5) + "要素番号" + sp(15) + "Ｘ　" + sp(9) +
                                                          "Ｙ　　   " + sp(6) + "Ｚ　　   " + sp(6) + "ＲＸ　" +
                                                          sp(8) + "ＲＹ　　" + sp(6) + "ＲＺ　　"}},
      {9, 6, 0,
       {title(40, "　　非　線　形　ば　ね　反　力", 35),
        "0要素番号-積分点" + sp(11) +
            "　軸方向　   　　せん断-Y    　　せん断-Z　   　　回転-X　   　　回転-Y　   　　回転-Z  　　　 接触状況　　　　" +
            sp(9)}},
      {10, 7, 0,
       {title(40, "　　シ　ェ　ル　断　面　力　　", 35), "0 要素番号" + sp(8) + "ＦＸ" + sp(10) + "ＦＹ" + sp(8) +
                                                          "ＦＸＹ" + sp(10) + "ＭＸ" + sp(10) + "ＭＹ" + sp(8) +
                                                          "ＭＸＹ" + sp(8) + "ＱＹＺ" + sp(8) + "ＱＺＸ"}},
      {11, 6, 0,
       {title(40, "　　非　線　形　は　り　Ｍ－φ", 35), "0" + sp(5) + "要素番号" + sp(15) + "ﾓｰﾒﾝﾄ" + sp(9) +
                                                          "曲率  " + sp(7) + "塑性率1" + sp(7) + "塑性率2" + sp(9) +
                                                          "状況"}},
      {12, 3, 0,
       {title(40, "　　節　　　　　点　　　　　力", 35),
        sp(10) + "要素番号   節点番号" + sp(8) + "1" + sp(12) + "2" + sp(12) + "3", " "}},
      {13, 3, 0,
       {title(40, "　　節　　　　　点　　　　　力", 35),
        sp(10) + "要素番号   節点番号" + sp(8) + "1" + sp(12) + "2" + sp(12) + "3" + sp(12) + "4" + sp(12) + "5" +
            sp(12) + "6",
        " "}},
  };
  return h;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

class OfphdgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_elem_state();
    stpctr().NINTVL = 3;
    stpctr().NSTEP = 12;
    sysw().NLINE = 10;
  }
  // The lines printed by OFPHDG(kind, part) for the class and flag.
  std::vector<std::string> print(word kind, word part, word iclass, word ifpdun) {
    const std::size_t before = split_lines(fs_.read("listing")).size();
    eivwka().head[2] = iclass;
    ifpflg().IFPDUN = ifpdun;
    OFPHDG(kind, part);
    auto lines = split_lines(fs_.read("listing"));
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
    return lines;
  }
  testing::FreshFileSystem fs_{1};
};

TEST_F(OfphdgTest, EveryKindAndClassByteForByte) {
  for (const Heading& h : headings()) {
    SCOPED_TRACE("kind " + std::to_string(h.kind) + " class " + std::to_string(h.iclass));
    std::vector<std::string> expect;
    for (const std::string& l : h.lines) expect.push_back(to_cp932(l));
    const word nline = sysw().NLINE;
    EXPECT_EQ(print(h.kind, 3, h.iclass, h.ifpdun), expect);
    EXPECT_EQ(sysw().NLINE, nline + 1);
  }
}

TEST_F(OfphdgTest, PartsPrintTitleOrColumnsAndCountOnlyTheTitle) {
  // Nodal forces: title with interval and step, three columns and an empty line.
  const auto both = print(12, 3, 3, 0);
  EXPECT_EQ(sysw().NLINE, 11);
  ASSERT_EQ(both.size(), 3u);
  EXPECT_EQ(both[2], " ");

  // Columns of the reaction table only: no title, NLINE unchanged.
  const auto columns = print(5, 2, 3, 0);
  EXPECT_EQ(sysw().NLINE, 11);
  ASSERT_EQ(columns.size(), 2u);
  EXPECT_EQ(columns[0], to_cp932(headings()[1].lines[1]));

  // Title only: the title line of the step that is current.
  stpctr().NINTVL = 1234;
  stpctr().NSTEP = 56789;
  const auto only_title = print(3, 1, 6, 0);
  EXPECT_EQ(sysw().NLINE, 12);
  ASSERT_EQ(only_title.size(), 1u);
  EXPECT_EQ(only_title[0], to_cp932(sp(40) + "　　断　　面　　力" + sp(47) + "ｲﾝﾀｰﾊﾞﾙ 1234 ｽﾃｯﾌﾟ****"));
}

TEST_F(OfphdgTest, UnknownKindOrClassEndsTheRun) {
  struct Bad {
    word kind;
    word iclass;
    const char* text;
  };
  for (const Bad& b : {Bad{7, 3, "WRONG ARGUMENT PROVIDED -- KIND =        7"}, Bad{0, 3, "KIND =        0"},
                       Bad{2, 12, "3523"}, Bad{2, 0, "3523"}}) {
    EXPECT_EXIT(print(b.kind, 3, b.iclass, 0), ::testing::ExitedWithCode(1), "");
    EXPECT_NE(fs_.read("errors").find(b.text), std::string::npos) << fs_.read("errors");
  }
}

}  // namespace
}  // namespace zephsol
