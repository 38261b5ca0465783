// Test support shared by the material and point-law tests: a material entry
// of the material table built from named words.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol::test {

// A material entry [L, w1 .. wL]: L = 27 for the short kinds (2, 3, 5 and the
// orthotropic kind 0), else 29 plus two words per hardening pair; the pairs
// start at w19, the REAL words wk are given by number.
std::vector<word> material(word id, word kind, word iyield, word ortho,
                           std::initializer_list<std::pair<int, float>> reals,
                           std::initializer_list<std::pair<float, float>> pairs = {});

}  // namespace zephsol::test
