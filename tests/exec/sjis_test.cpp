// The Shift-JIS texts: each constant is what the C library's iconv makes of
// its UTF-8 text, the progress-file labels fill their fields exactly, and
// the sparse-solver codes find their texts.
#include "zephsol/exec/sjis.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/exec/cp932.h"
#include "zephsol/exec/fortfmt.h"

namespace zephsol {
namespace {

using test::to_cp932;

struct Text {
  const char* name;
  std::string_view sjis;
  const char* utf8;
  int width;  // the field width the text fills, or -1
};

const Text kTexts[] = {
    {"kSjisNowAnalysing", kSjisNowAnalysing, "現在解析中", 10},
    {"kSjisStage", kSjisStage, "ステージ", 8},
    {"kSjisStep", kSjisStep, "　　ステップ", 12},
    {"kSjisTotalStep", kSjisTotalStep, "　　総ステップ", 14},
    {"kSjisErrorEnd", kSjisErrorEnd, "エラー終了しました。詳しくはリストをご覧下さい。", 48},
    {"kSjisSymShortForMmd", kSjisSymShortForMmd, "MMDのためのSYMのサイズが足りません。", -1},
    {"kSjisNumOverflow", kSjisNumOverflow, "NUMがオーバーフローしました。", -1},
    {"kSjisSymShortForSymbolic", kSjisSymShortForSymbolic, "シンボリック分解のためのSYMのサイズが足りません。", -1},
    {"kSjisSymOverflowPivotIndex", kSjisSymOverflowPivotIndex, "SYMがオーバーフローしました（pivoting索引のため）。", -1},
    {"kSjisNumOverflowRealStack", kSjisNumOverflowRealStack, "NUMがオーバーフローしました（リアルスタックのため）   。", -1},
    {"kSjisNumOverflowFrontal", kSjisNumOverflowFrontal, "NUMがオーバーフローしました（フロンタルマトリックスの ため）。", -1},
    {"kSjisNumOverflowOutOfCore", kSjisNumOverflowOutOfCore, "NUMがオーバーフローしました（アウトコアでも足りない） 。", -1},
    {"kSjisOutOfCoreReadError", kSjisOutOfCoreReadError, "アウトコアから読み込むときにI/Oエラーが発生しました。", -1},
    {"kSjisOutOfCoreWriteError", kSjisOutOfCoreWriteError, "アウトコアから書き込むときにI/Oエラーが発生しました。", -1},
    {"kSjisRsUnitWithoutLuUnit", kSjisRsUnitWithoutLuUnit, "rsUnit > 0 となっているが、luUnit == 0", -1},
    {"kSjisPivotDelayAlphaZero", kSjisPivotDelayAlphaZero, "alphaがゼロであるが、pivotを延期する必要がある。", -1},
    {"kSjisColBadPointer", kSjisColBadPointer, "COLに不正ポインターが発生しました。", -1},
    {"kSjisRowDiagonalError", kSjisRowDiagonalError, "ROWに対角エラーが発生しました。", -1},
    {"kSjisLsymTooSmall", kSjisLsymTooSmall, "mfSym1()のためのLSYMが小さすぎます。", -1},
};

TEST(Sjis, ConstantsAreTheCp932OfTheirTexts) {
  for (const auto& t : kTexts) {
    EXPECT_EQ(t.sjis, to_cp932(t.utf8)) << t.name;
    if (t.width >= 0) {
      EXPECT_EQ(t.sjis.size(), static_cast<std::size_t>(t.width)) << t.name;
    }
  }
}

TEST(Sjis, SparseMessageTexts) {
  const std::pair<int, std::string_view> listed[] = {
      {6004, kSjisSymShortForMmd},        {6007, kSjisNumOverflow},          {6010, kSjisSymShortForSymbolic},
      {6011, kSjisSymShortForSymbolic},   {6013, kSjisSymOverflowPivotIndex}, {6014, kSjisNumOverflowRealStack},
      {6015, kSjisNumOverflowFrontal},    {6016, kSjisNumOverflowOutOfCore}, {6017, kSjisOutOfCoreReadError},
      {6018, kSjisOutOfCoreWriteError},   {6020, kSjisRsUnitWithoutLuUnit},  {6021, kSjisPivotDelayAlphaZero},
      {6024, kSjisColBadPointer},         {6025, kSjisRowDiagonalError},     {6026, kSjisLsymTooSmall},
  };
  for (const auto& [code, text] : listed) EXPECT_EQ(sjis_sparse_message(code), text) << code;
  for (int code : {0, 6000, 6005, 6012, 6019, 6022, 6027, -6004, 8001})
    EXPECT_TRUE(sjis_sparse_message(code).empty()) << code;
}

// The progress-file step line: under A8, A12 and A14 the labels pass whole,
// byte for byte, so the line is 64 bytes with the counters where expected.
TEST(Sjis, ProgressLineFields) {
  const std::string line = fline("(A8,I4,A2,I4,A12,I4,A2,I4,A14,I4,A2,I4)",
                                 {kSjisStage, 2, " /", 3, kSjisStep, 1, " /", 4, kSjisTotalStep, 7, " /", 12});
  const std::string want = std::string(kSjisStage) + "   2 /   3" + std::string(kSjisStep) + "   1 /   4" +
                           std::string(kSjisTotalStep) + "   7 /  12";
  EXPECT_EQ(line, want);
  EXPECT_EQ(line.size(), 64u);
  EXPECT_EQ(fline("(A48)", {kSjisErrorEnd}), kSjisErrorEnd);
}

}  // namespace
}  // namespace zephsol
