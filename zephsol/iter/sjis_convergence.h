// Japanese labels of the convergence log, as Shift-JIS (CP932) byte strings,
// generated once with CP932 (written as in sjis_headings.h: every byte of a
// double-byte character as an octal escape). Each line of the log is 10
// blanks, one label and its value.
#pragma once

#include <string_view>

namespace zephsol {

// Displacement increment of this iteration
// " 現ステップの増加変位 d(i)=" (27 bytes)
inline constexpr std::string_view kSjisIncrement = " \214\273\203\130\203\145\203\142\203\166\202\314\221\235\211\301\225\317\210\312 d(i)=";

// Displacement norm of the step's first solution
// " 現ステップの累計変位 D(i)=" (27 bytes)
inline constexpr std::string_view kSjisAccumulated = " \214\273\203\130\203\145\203\142\203\166\202\314\227\335\214\166\225\317\210\312 D(i)=";

// Sum of the displacement norms of the step
// " 増加変位の合計     d(1-i)=" (27 bytes)
inline constexpr std::string_view kSjisIncrementSum = " \221\235\211\301\225\317\210\312\202\314\215\207\214\166     d(1-i)=";

// Displacement criterion value
// " 収束判定値    d(i)/d(1-i)=" (27 bytes)
inline constexpr std::string_view kSjisDispRatio = " \216\373\221\251\224\273\222\350\222\154    d(i)/d(1-i)=";

// Tolerance (displacement lines)
// " 収束判定誤差          ERR=" (27 bytes)
inline constexpr std::string_view kSjisDispTolerance = " \216\373\221\251\224\273\222\350\214\353\215\267          ERR=";

// Unbalanced force of this iteration
// "現ステップの不平衡力     F(i)=" (30 bytes)
inline constexpr std::string_view kSjisForce = "\214\273\203\130\203\145\203\142\203\166\202\314\225\163\225\275\215\164\227\315     F(i)=";

// Unbalanced force of the previous iteration
// "前ステップの不平衡力   F(i-1)=" (30 bytes)
inline constexpr std::string_view kSjisForcePrev = "\221\117\203\130\203\145\203\142\203\166\202\314\225\163\225\275\215\164\227\315   F(i-1)=";

// Unbalanced force of the step's first solution
// "最初のステップの不平衡力 F(1)=" (30 bytes)
inline constexpr std::string_view kSjisForceFirst = "\215\305\217\211\202\314\203\130\203\145\203\142\203\166\202\314\225\163\225\275\215\164\227\315 F(1)=";

// Force criterion value
// "収束判定値 (F(i)-F(i-1))/F(1)=" (30 bytes)
inline constexpr std::string_view kSjisForceRatio = "\216\373\221\251\224\273\222\350\222\154 (F(i)-F(i-1))/F(1)=";

// Tolerance (force lines)
// "収束判定誤差              ERR=" (30 bytes)
inline constexpr std::string_view kSjisForceTolerance = "\216\373\221\251\224\273\222\350\214\353\215\267              ERR=";

}  // namespace zephsol
