// Fatal messages of the material library: MSGPUT with a negative code ends
// the run and does not come back; the abort only tells the compiler so.
#pragma once

#include <cstdlib>

#include "zephsol/exec/msg.h"
#include "zephsol/exec/words.h"

namespace zephsol {

[[noreturn]] inline void matl_fatal(word code, word p1, word p2) {
  MSGPUT(code, p1, p2);
  std::abort();
}

}  // namespace zephsol
