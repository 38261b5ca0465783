// Japanese texts of the executive, as Shift-JIS (CP932) byte strings.
//
// The system prints its Japanese texts in Shift-JIS, and the widths of the
// fields that hold them are byte counts in that encoding (a full-width
// character takes two bytes). The constants were generated once with
// iconv -f UTF-8 -t CP932; each carries its meaning and its Japanese text.
// Bytes of double-byte characters are written as octal escapes, so that a
// trail byte that happens to be '\' or a letter stays part of its character.
#pragma once

#include <string_view>

namespace zephsol {

// ---------------------------------------------------------------------------
// Labels of the progress file and its console echo.

// Analysis in progress (progress file, ten bytes)
// "現在解析中" (10 bytes)
inline constexpr std::string_view kSjisNowAnalysing = "\214\273\215\335\211\360\220\315\222\206";

// Stage (progress file, A8)
// "ステージ" (8 bytes)
inline constexpr std::string_view kSjisStage = "\203\130\203\145\201\133\203\127";

// Step, after two full-width blanks (progress file, A12)
// "　　ステップ" (12 bytes)
inline constexpr std::string_view kSjisStep = "\201\100\201\100\203\130\203\145\203\142\203\166";

// Total steps, after two full-width blanks (progress file, A14)
// "　　総ステップ" (14 bytes)
inline constexpr std::string_view kSjisTotalStep = "\201\100\201\100\221\215\203\130\203\145\203\142\203\166";

// Ended with an error. See the listing for details. (progress file, A48)
// "エラー終了しました。詳しくはリストをご覧下さい。" (48 bytes)
inline constexpr std::string_view kSjisErrorEnd = "\203\107\203\211\201\133\217\111\227\271\202\265\202\334\202\265\202\275\201\102\217\332\202\265\202\255\202\315\203\212\203\130\203\147\202\360\202\262\227\227\211\272\202\263\202\242\201\102";

// ---------------------------------------------------------------------------
// Texts of the sparse solver's messages (header "USER FATAL MESSAGE
// (SPARSE SOLVER)"). Spaces inside some texts stand as the messages print them.

// 6004: SYM is too small for the minimum-degree ordering (MMD).
// "MMDのためのSYMのサイズが足りません。" (36 bytes)
inline constexpr std::string_view kSjisSymShortForMmd = "MMD\202\314\202\275\202\337\202\314SYM\202\314\203\124\203\103\203\131\202\252\221\253\202\350\202\334\202\271\202\361\201\102";

// 6007: NUM has overflowed.
// "NUMがオーバーフローしました。" (29 bytes)
inline constexpr std::string_view kSjisNumOverflow = "NUM\202\252\203\111\201\133\203\157\201\133\203\164\203\215\201\133\202\265\202\334\202\265\202\275\201\102";

// 6010, 6011: SYM is too small for the symbolic factorization.
// "シンボリック分解のためのSYMのサイズが足りません。" (49 bytes)
inline constexpr std::string_view kSjisSymShortForSymbolic = "\203\126\203\223\203\173\203\212\203\142\203\116\225\252\211\360\202\314\202\275\202\337\202\314SYM\202\314\203\124\203\103\203\131\202\252\221\253\202\350\202\334\202\271\202\361\201\102";

// 6013: SYM has overflowed (for the pivoting index).
// "SYMがオーバーフローしました（pivoting索引のため）。" (51 bytes)
inline constexpr std::string_view kSjisSymOverflowPivotIndex = "SYM\202\252\203\111\201\133\203\157\201\133\203\164\203\215\201\133\202\265\202\334\202\265\202\275\201\151pivoting\215\365\210\370\202\314\202\275\202\337\201\152\201\102";

// 6014: NUM has overflowed (for the real stack).
// "NUMがオーバーフローしました（リアルスタックのため）   。" (56 bytes)
inline constexpr std::string_view kSjisNumOverflowRealStack = "NUM\202\252\203\111\201\133\203\157\201\133\203\164\203\215\201\133\202\265\202\334\202\265\202\275\201\151\203\212\203\101\203\213\203\130\203\136\203\142\203\116\202\314\202\275\202\337\201\152   \201\102";

// 6015: NUM has overflowed (for the frontal matrix).
// "NUMがオーバーフローしました（フロンタルマトリックスの ため）。" (62 bytes)
inline constexpr std::string_view kSjisNumOverflowFrontal = "NUM\202\252\203\111\201\133\203\157\201\133\203\164\203\215\201\133\202\265\202\334\202\265\202\275\201\151\203\164\203\215\203\223\203\136\203\213\203\175\203\147\203\212\203\142\203\116\203\130\202\314 \202\275\202\337\201\152\201\102";

// 6016: NUM has overflowed (not enough even out of core).
// "NUMがオーバーフローしました（アウトコアでも足りない） 。" (56 bytes)
inline constexpr std::string_view kSjisNumOverflowOutOfCore = "NUM\202\252\203\111\201\133\203\157\201\133\203\164\203\215\201\133\202\265\202\334\202\265\202\275\201\151\203\101\203\105\203\147\203\122\203\101\202\305\202\340\221\253\202\350\202\310\202\242\201\152 \201\102";

// 6017: An I/O error occurred while reading from out of core.
// "アウトコアから読み込むときにI/Oエラーが発生しました。" (53 bytes)
inline constexpr std::string_view kSjisOutOfCoreReadError = "\203\101\203\105\203\147\203\122\203\101\202\251\202\347\223\307\202\335\215\236\202\336\202\306\202\253\202\311I/O\203\107\203\211\201\133\202\252\224\255\220\266\202\265\202\334\202\265\202\275\201\102";

// 6018: An I/O error occurred while writing out of core.
// "アウトコアから書き込むときにI/Oエラーが発生しました。" (53 bytes)
inline constexpr std::string_view kSjisOutOfCoreWriteError = "\203\101\203\105\203\147\203\122\203\101\202\251\202\347\217\221\202\253\215\236\202\336\202\306\202\253\202\311I/O\203\107\203\211\201\133\202\252\224\255\220\266\202\265\202\334\202\265\202\275\201\102";

// 6020: rsUnit > 0 is set, but luUnit == 0.
// "rsUnit > 0 となっているが、luUnit == 0" (38 bytes)
inline constexpr std::string_view kSjisRsUnitWithoutLuUnit = "rsUnit > 0 \202\306\202\310\202\301\202\304\202\242\202\351\202\252\201\101luUnit == 0";

// 6021: alpha is zero, but a pivot needs to be delayed.
// "alphaがゼロであるが、pivotを延期する必要がある。" (48 bytes)
inline constexpr std::string_view kSjisPivotDelayAlphaZero = "alpha\202\252\203\133\203\215\202\305\202\240\202\351\202\252\201\101pivot\202\360\211\204\212\372\202\267\202\351\225\113\227\166\202\252\202\240\202\351\201\102";

// 6024: An invalid pointer occurred in COL.
// "COLに不正ポインターが発生しました。" (35 bytes)
inline constexpr std::string_view kSjisColBadPointer = "COL\202\311\225\163\220\263\203\174\203\103\203\223\203\136\201\133\202\252\224\255\220\266\202\265\202\334\202\265\202\275\201\102";

// 6025: A diagonal error occurred in ROW.
// "ROWに対角エラーが発生しました。" (31 bytes)
inline constexpr std::string_view kSjisRowDiagonalError = "ROW\202\311\221\316\212\160\203\107\203\211\201\133\202\252\224\255\220\266\202\265\202\334\202\265\202\275\201\102";

// 6026: LSYM is too small for mfSym1().
// "mfSym1()のためのLSYMが小さすぎます。" (36 bytes)
inline constexpr std::string_view kSjisLsymTooSmall = "mfSym1()\202\314\202\275\202\337\202\314LSYM\202\252\217\254\202\263\202\267\202\254\202\334\202\267\201\102";

// The text of sparse-solver message code (6004 to 6026), or an empty view for
// a code without a text of its own.
std::string_view sjis_sparse_message(int code);

}  // namespace zephsol
