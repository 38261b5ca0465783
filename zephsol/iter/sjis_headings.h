// Japanese texts of the result table headings, as Shift-JIS (CP932) byte
// strings.
//
// The listing prints its table headings in Shift-JIS, and the widths of the
// heading fields are byte counts in that encoding (a full-width character
// takes two bytes, a half-width katakana one). The constants were generated
// once with CP932; each carries its meaning and its Japanese text. Bytes of
// double-byte characters and half-width katakana are written as octal
// escapes, so that a trail byte that happens to be '\' or a letter stays
// part of its character.
#pragma once

#include <string_view>

namespace zephsol {

// Interval label of a title line
// "ｲﾝﾀｰﾊﾞﾙ " (8 bytes)
inline constexpr std::string_view kSjisInterval = "\262\335\300\260\312\336\331 ";

// Step label of a title line
// " ｽﾃｯﾌﾟ" (6 bytes)
inline constexpr std::string_view kSjisStepLabel = " \275\303\257\314\337";

// Title: accumulated nodal displacements
// "　　節　　点　　の　　累　　計　　変　　位" (42 bytes)
inline constexpr std::string_view kSjisTitleDisplacement = "\201\100\201\100\220\337\201\100\201\100\223\137\201\100\201\100\202\314\201\100\201\100\227\335\201\100\201\100\214\166\201\100\201\100\225\317\201\100\201\100\210\312";

// Title: accumulated stresses and strains
// "累　計　応　力　と　累　計　ひ　ず　み" (38 bytes)
inline constexpr std::string_view kSjisTitleStressStrain = "\227\335\201\100\214\166\201\100\211\236\201\100\227\315\201\100\202\306\201\100\227\335\201\100\214\166\201\100\202\320\201\100\202\270\201\100\202\335";

// Title: section forces
// "　　断　　面　　力" (18 bytes)
inline constexpr std::string_view kSjisTitleSectionForce = "\201\100\201\100\222\146\201\100\201\100\226\312\201\100\201\100\227\315";

// Title: principal stresses, maximum shear stress and principal directions
// "主　応　力、　最　大　せ　ん　断　応　力　と　主　応　力　の　方　向" (68 bytes)
inline constexpr std::string_view kSjisTitlePrincipalStress = "\216\345\201\100\211\236\201\100\227\315\201\101\201\100\215\305\201\100\221\345\201\100\202\271\201\100\202\361\201\100\222\146\201\100\211\236\201\100\227\315\201\100\202\306\201\100\216\345\201\100\211\236\201\100\227\315\201\100\202\314\201\100\225\373\201\100\214\374";

// Title: nodal reactions
// "　　節　　点　　の　　反　　力" (30 bytes)
inline constexpr std::string_view kSjisTitleReaction = "\201\100\201\100\220\337\201\100\201\100\223\137\201\100\201\100\202\314\201\100\201\100\224\275\201\100\201\100\227\315";

// Title: principal strains, maximum shear strain and principal directions
// "主　ひ　ず　み、　最　大　せ　ん　断　ひ　ず　み　と主　ひ　ず　み　の　方　向" (78 bytes)
inline constexpr std::string_view kSjisTitlePrincipalStrain = "\216\345\201\100\202\320\201\100\202\270\201\100\202\335\201\101\201\100\215\305\201\100\221\345\201\100\202\271\201\100\202\361\201\100\222\146\201\100\202\320\201\100\202\270\201\100\202\335\201\100\202\306\216\345\201\100\202\320\201\100\202\270\201\100\202\335\201\100\202\314\201\100\225\373\201\100\214\374";

// Title: spring reactions
// "　　ば　　　ね　　　反　　　力" (30 bytes)
inline constexpr std::string_view kSjisTitleSpringReaction = "\201\100\201\100\202\316\201\100\201\100\201\100\202\313\201\100\201\100\201\100\224\275\201\100\201\100\201\100\227\315";

// Title: non-linear spring reactions
// "　　非　線　形　ば　ね　反　力" (30 bytes)
inline constexpr std::string_view kSjisTitleNonlinearSpring = "\201\100\201\100\224\361\201\100\220\374\201\100\214\140\201\100\202\316\201\100\202\313\201\100\224\275\201\100\227\315";

// Title: shell section forces
// "　　シ　ェ　ル　断　面　力　　" (30 bytes)
inline constexpr std::string_view kSjisTitleShellForce = "\201\100\201\100\203\126\201\100\203\106\201\100\203\213\201\100\222\146\201\100\226\312\201\100\227\315\201\100\201\100";

// Title: non-linear beam moment-curvature
// "　　非　線　形　は　り　Ｍ－φ" (30 bytes)
inline constexpr std::string_view kSjisTitleBeamMphi = "\201\100\201\100\224\361\201\100\220\374\201\100\214\140\201\100\202\315\201\100\202\350\201\100\202\154\201\174\203\323";

// Title: nodal forces
// "　　節　　　　　点　　　　　力" (30 bytes)
inline constexpr std::string_view kSjisTitleNodalForce = "\201\100\201\100\220\337\201\100\201\100\201\100\201\100\201\100\223\137\201\100\201\100\201\100\201\100\201\100\227\315";

// Column: node number
// "節点番号" (8 bytes)
inline constexpr std::string_view kSjisNodeNumber = "\220\337\223\137\224\324\215\206";

// Column: element number - integration point
// "要素番号-積分点" (15 bytes)
inline constexpr std::string_view kSjisElementPoint = "\227\166\221\146\224\324\215\206-\220\317\225\252\223\137";

// Columns: von Mises, safety factor, relaxation factor, temperature
// "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    ゆるみ係数    温度" (42 bytes)
inline constexpr std::string_view kSjisMisesColumns = "\314\253\335 \320\260\276\336\275     \210\300\221\123\227\246    \202\344\202\351\202\335\214\127\220\224    \211\267\223\170";

// Columns: von Mises, safety factor, deformation factor, temperature
// "ﾌｫﾝ ﾐｰｾﾞｽ     安全率    変形係数　    温度" (42 bytes)
inline constexpr std::string_view kSjisMisesColumnsDeform = "\314\253\335 \320\260\276\336\275     \210\300\221\123\227\246    \225\317\214\140\214\127\220\224\201\100    \211\267\223\170";

// Column: element number
// "要素番号" (8 bytes)
inline constexpr std::string_view kSjisElementNumber = "\227\166\221\146\224\324\215\206";

// Column: axial force
// "軸力" (4 bytes)
inline constexpr std::string_view kSjisAxialForce = "\216\262\227\315";

// Column: shear XY
// "せん断-XY" (9 bytes)
inline constexpr std::string_view kSjisShearXY = "\202\271\202\361\222\146-XY";

// Column: shear ZX
// "せん断-ZX" (9 bytes)
inline constexpr std::string_view kSjisShearZX = "\202\271\202\361\222\146-ZX";

// Column: torque
// "トルク" (6 bytes)
inline constexpr std::string_view kSjisTorque = "\203\147\203\213\203\116";

// Column: moment Y
// "ﾓｰﾒﾝﾄ -Y" (8 bytes)
inline constexpr std::string_view kSjisMomentY = "\323\260\322\335\304 -Y";

// Column: moment Z
// "ﾓｰﾒﾝﾄ -Z" (8 bytes)
inline constexpr std::string_view kSjisMomentZ = "\323\260\322\335\304 -Z";

// Banner: principal stresses
// "----- 　主　　応　　力　 -----" (30 bytes)
inline constexpr std::string_view kSjisPrincipalStressBanner = "----- \201\100\216\345\201\100\201\100\211\236\201\100\201\100\227\315\201\100 -----";

// Column: maximum shear
// "最大せん断" (10 bytes)
inline constexpr std::string_view kSjisMaxShear = "\215\305\221\345\202\271\202\361\222\146";

// Banner: principal stress directions
// "------------ 主　応　力　方　向 ------------" (44 bytes)
inline constexpr std::string_view kSjisStressDirectionBanner = "------------ \216\345\201\100\211\236\201\100\227\315\201\100\225\373\201\100\214\374 ------------";

// Column: stress
// "応　力" (6 bytes)
inline constexpr std::string_view kSjisStressLabel = "\211\236\201\100\227\315";

// Banner: principal strains
// "------　主　ひ　ず　み　------" (30 bytes)
inline constexpr std::string_view kSjisPrincipalStrainBanner = "------\201\100\216\345\201\100\202\320\201\100\202\270\201\100\202\335\201\100------";

// Banner: principal strain directions
// "-------- 主　ひ　ず　み　の　方　向 ----------" (46 bytes)
inline constexpr std::string_view kSjisStrainDirectionBanner = "-------- \216\345\201\100\202\320\201\100\202\270\201\100\202\335\201\100\202\314\201\100\225\373\201\100\214\374 ----------";

// Column: strain
// "ひずみ" (6 bytes)
inline constexpr std::string_view kSjisStrainLabel = "\202\320\202\270\202\335";

// Column: X
// "Ｘ　" (4 bytes)
inline constexpr std::string_view kSjisSpringX = "\202\167\201\100";

// Column: Y
// "Ｙ　　   " (9 bytes)
inline constexpr std::string_view kSjisSpringY = "\202\170\201\100\201\100   ";

// Column: Z
// "Ｚ　　   " (9 bytes)
inline constexpr std::string_view kSjisSpringZ = "\202\171\201\100\201\100   ";

// Column: RX
// "ＲＸ　" (6 bytes)
inline constexpr std::string_view kSjisSpringRX = "\202\161\202\167\201\100";

// Column: RY
// "ＲＹ　　" (8 bytes)
inline constexpr std::string_view kSjisSpringRY = "\202\161\202\170\201\100\201\100";

// Column: RZ
// "ＲＺ　　" (8 bytes)
inline constexpr std::string_view kSjisSpringRZ = "\202\161\202\171\201\100\201\100";

// Columns: axial, shear Y, shear Z, rotation X, Y, Z, contact state
// "　軸方向　   　　せん断-Y    　　せん断-Z　   　　回転-X　   　　回転-Y　   　　回転-Z  　　　 接触状況　　　　" (111 bytes)
inline constexpr std::string_view kSjisContactColumns = "\201\100\216\262\225\373\214\374\201\100   \201\100\201\100\202\271\202\361\222\146-Y    \201\100\201\100\202\271\202\361\222\146-Z\201\100   \201\100\201\100\211\361\223\135-X\201\100   \201\100\201\100\211\361\223\135-Y\201\100   \201\100\201\100\211\361\223\135-Z  \201\100\201\100\201\100 \220\332\220\107\217\363\213\265\201\100\201\100\201\100\201\100";

// Column: FX
// "ＦＸ" (4 bytes)
inline constexpr std::string_view kSjisShellFX = "\202\145\202\167";

// Column: FY
// "ＦＹ" (4 bytes)
inline constexpr std::string_view kSjisShellFY = "\202\145\202\170";

// Column: FXY
// "ＦＸＹ" (6 bytes)
inline constexpr std::string_view kSjisShellFXY = "\202\145\202\167\202\170";

// Column: MX
// "ＭＸ" (4 bytes)
inline constexpr std::string_view kSjisShellMX = "\202\154\202\167";

// Column: MY
// "ＭＹ" (4 bytes)
inline constexpr std::string_view kSjisShellMY = "\202\154\202\170";

// Column: MXY
// "ＭＸＹ" (6 bytes)
inline constexpr std::string_view kSjisShellMXY = "\202\154\202\167\202\170";

// Column: QYZ
// "ＱＹＺ" (6 bytes)
inline constexpr std::string_view kSjisShellQYZ = "\202\160\202\170\202\171";

// Column: QZX
// "ＱＺＸ" (6 bytes)
inline constexpr std::string_view kSjisShellQZX = "\202\160\202\171\202\167";

// Column: moment
// "ﾓｰﾒﾝﾄ" (5 bytes)
inline constexpr std::string_view kSjisMoment = "\323\260\322\335\304";

// Column: curvature
// "曲率  " (6 bytes)
inline constexpr std::string_view kSjisCurvature = "\213\310\227\246  ";

// Column: plastic ratio 1
// "塑性率1" (7 bytes)
inline constexpr std::string_view kSjisPlasticRatio1 = "\221\131\220\253\227\2461";

// Column: plastic ratio 2
// "塑性率2" (7 bytes)
inline constexpr std::string_view kSjisPlasticRatio2 = "\221\131\220\253\227\2462";

// Column: state
// "状況" (4 bytes)
inline constexpr std::string_view kSjisState = "\217\363\213\265";

// Columns: element number, node number
// "要素番号   節点番号" (19 bytes)
inline constexpr std::string_view kSjisElementNode = "\227\166\221\146\224\324\215\206   \220\337\223\137\224\324\215\206";

// Class title of joints: normal, shear X, shear Y, contact state
// "法線方向   せん断-X    せん断-Y     接触状況　　　　" (52 bytes)
inline constexpr std::string_view kSjisJointClassTitle = "\226\100\220\374\225\373\214\374   \202\271\202\361\222\146-X    \202\271\202\361\222\146-Y     \220\332\220\107\217\363\213\265\201\100\201\100\201\100\201\100";

}  // namespace zephsol
