// Numbered messages.
//
// MSGPUT queues a code with two parameter words. A non-negative code is
// printed later; a negative code is fatal: the queue and then the message are
// printed and the run ends through RUNEND; -8001 is fatal but deferred (it
// sets IERFLG and is queued). MSGOUT prints and empties the queue on unit 6
// and again on unit 999, choosing a text writer by |code| / 1000:
//   0 and 9 up  MSGSYS        3  MSGFIL (data-block file system)
//   1 2 4 5 7   MSGGEN        6  MSGSPS (sparse solver)
//                             8  MSGELM (element and material input)
// A writer prints a header line and a text line indented by ten blanks;
// codes without a text of their own print the generic "PROGRAM LOGIC ERROR"
// text with both parameters. Warnings set IWRNFL.
#pragma once

#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

void MSGPUT(word code, word p1, word p2);

// A step whose results a REAL word cannot hold (infinite or not a number):
// "0*** USER FATAL MESSAGE" code ", NON-FINITE" quantity "AT INTERVAL" i
// "STEP" s, then `where` (ten blanks first), on the listing and the error
// log; IERFLG := 1, and the caller goes to the end of the run.
void nonfinite_result(word code, std::string_view quantity, std::string_view where);
void MSGOUT();
// Called first on the fatal path; does nothing.
void MSGHOK();

// Text writers, given |code|.
void MSGSYS(word code, word p1, word p2);
void MSGFIL(word code, word p1, word p2);
void MSGSPS(word code, word p1, word p2);
void MSGELM(word code, word p1, word p2);
void MSGGEN(word code, word p1, word p2);
void MSGGN1(word code, word p1, word p2);
void MSGGN2(word code, word p1, word p2);
void MSGGN4(word code, word p1, word p2);
void MSGGN5(word code, word p1, word p2);
void MSGGN7(word code, word p1, word p2);

}  // namespace zephsol
