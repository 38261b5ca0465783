// Numbered messages: MSGPUT queues a code with two parameter words; a
// negative code is fatal and ends the run; -8001 is fatal but deferred.
// MSGOUT prints and empties the queue on unit 6 and again on unit 999.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void MSGPUT(word code, word p1, word p2);
void MSGOUT();
void MSGHOK();

}  // namespace zephsol
