// Fatal messages of the element library: MSGPUT with a negative code ends the
// run and does not come back; the abort only tells the compiler so.
#pragma once

#include <cstdlib>

#include "zephsol/dbio/punits.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/words.h"

namespace zephsol {

[[noreturn]] inline void elem_fatal(word code, word p1, word p2) {
  MSGPUT(code, p1, p2);
  std::abort();
}

// A record of a data block that contradicts itself: on a restart it may
// come from a damaged old problem tape, and the run ends as for one;
// otherwise fatal `code`.
[[noreturn]] inline void record_fatal(word code, word p1, word p2) {
  damaged_data();
  elem_fatal(code, p1, p2);
}

// -8015: a routine argument outside its range ("NGUS", "IDIF", "ISEQ", ...).
[[noreturn]] inline void bad_argument(const char* what, word value) {
  elem_fatal(-8015, name_word(what), value);
}

}  // namespace zephsol
