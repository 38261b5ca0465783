// Case control messages 601-630.
//
// CCMSG(code, p1, p2) prints message 600 + |code| on the listing and the
// error log under its header (system fatal, user fatal or user warning); a
// positive code sets IERFLG when it is 0, a negative code never does.
// Numbers without a text print "MESSAGE NUMBER n NOT AVAILABLE.".
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void CCMSG(word code, word p1, word p2);

}  // namespace zephsol
