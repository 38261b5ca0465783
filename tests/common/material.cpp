#include "common/material.h"

namespace zephsol::test {

std::vector<word> material(word id, word kind, word iyield, word ortho,
                           std::initializer_list<std::pair<int, float>> reals,
                           std::initializer_list<std::pair<float, float>> pairs) {
  const bool short_entry = kind == 2 || kind == 3 || kind == 5 || (kind == 0 && ortho == 1);
  const int npairs = static_cast<int>(pairs.size());
  const int len = short_entry ? 27 : 29 + 2 * npairs;
  std::vector<word> e(static_cast<std::size_t>(len + 1), 0);
  e[0] = len;
  e[1] = id;
  e[2] = kind;
  e[3] = iyield;
  e[4] = ortho;
  e[5] = npairs;
  int at = 19;
  for (const auto& [x, y] : pairs) {
    e[static_cast<std::size_t>(at++)] = real_word(x);
    e[static_cast<std::size_t>(at++)] = real_word(y);
  }
  for (const auto& [k, v] : reals) e[static_cast<std::size_t>(k)] = real_word(v);
  return e;
}

}  // namespace zephsol::test
