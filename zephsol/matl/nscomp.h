// Element class component table: count 11, then per element class the number
// of stress components NS and the number of normal components among them.
// The element library, the material matrices and the output read it.
#pragma once

#include <array>

#include "zephsol/exec/words.h"

namespace zephsol {

struct NscompTable {
  word count;
  std::array<word, 11> ns;
  std::array<word, 11> normal;
};
inline constexpr NscompTable NSCOMP{11,
                                    {1, 3, 6, 4, 4, 6, 5, 2, 3, 3, 3},
                                    {1, 2, 3, 3, 3, 1, 2, 2, 2, 3, 2}};

}  // namespace zephsol
