// Executive control deck.
//
// CTLDCK reads the control cards up to the first section card, echoing them
// on new pages under the deck's own heading lines, sets the system words
// (restart, checkpoint, diagnostics, iteration, solver and automatic
// constraint settings, titles), checks the old problem tape on a restart,
// reads the "OUTPUT" and "NOUTPUT" blocks that follow, and starts the new
// problem tape with the identification record when checkpointing is on and
// the deck holds no fatal error. On return IERFLG is 1 when a fatal input
// error was found (a value it had on entry is kept).
//
// Data blocks: reads OPTP (identification record); writes NPTP (identity
// set), CTRL and CTRN (through the request readers).
//
// Messages, on units 6 and 999: 503 no room for the tape buffer, 509 old
// tape of another problem, 528 end of the deck inside the control deck, 530
// problem tape not available (these end the run); 505 unknown card, 506
// duplicated card, 507 bad value, 513 more than 100 checkpoint intervals,
// 519 identification card not first, 520 required card missing.
#pragma once

#include "zephsol/exec/words.h"
#include "zephsol/input/inrec.h"

namespace zephsol {

void CTLDCK();

// The packed date of a run date text "MM/DD/YY": year x 65536 + month x 256
// + day, a two-digit year up to 90 meaning 20yy and above 90 19yy.
word packed_date(std::string_view mmddyy);

}  // namespace zephsol
