#include "zephsol/exec/sjis.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zephsol {
namespace {

constexpr std::array<std::pair<int, std::string_view>, 15> kSparseMessages{{
    {6004, kSjisSymShortForMmd},
    {6007, kSjisNumOverflow},
    {6010, kSjisSymShortForSymbolic},
    {6011, kSjisSymShortForSymbolic},
    {6013, kSjisSymOverflowPivotIndex},
    {6014, kSjisNumOverflowRealStack},
    {6015, kSjisNumOverflowFrontal},
    {6016, kSjisNumOverflowOutOfCore},
    {6017, kSjisOutOfCoreReadError},
    {6018, kSjisOutOfCoreWriteError},
    {6020, kSjisRsUnitWithoutLuUnit},
    {6021, kSjisPivotDelayAlphaZero},
    {6024, kSjisColBadPointer},
    {6025, kSjisRowDiagonalError},
    {6026, kSjisLsymTooSmall},
}};

}  // namespace

std::string_view sjis_sparse_message(int code) {
  const auto it = std::find_if(kSparseMessages.begin(), kSparseMessages.end(),
                               [code](const auto& m) { return m.first == code; });
  return it == kSparseMessages.end() ? std::string_view{} : it->second;
}

}  // namespace zephsol
