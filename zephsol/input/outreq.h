// Output requests of the case control.
//
// OUTREQ reads the "OUTPUT" block (print requests) and writes CTRL; NOUREQ
// reads the "NOUTPUT" block (result-file requests) and writes CTRN. Each
// reads statements until a section card or the end of the deck ends the
// block; "SET", "IPSE" and "OTIM" statements go to lists 1-3 of the list
// store, request entries to list 4:
//
//   [name (2 words), N, sub-entries]; sub-entry [t, k, k selections]
//   t: "OTIM" set limiting the steps, 2147483647 every step, -1 (k -1) "NONE"
//   selection: "SET" number (2147483647 all), and for element requests the
//   "IPSE" number (0 default points, 2147483647 all points)
//
// CTRL and CTRN hold record 1 "PRINT   ", record 2 the request entries,
// record 3 the entries of lists 1-3 and the word -1; header [length of
// record 2, length of record 3 without the -1, 0, 0, 0, 0].
//
// Messages (CCMSG): 608 no room (IERFLG 2); 610-627 statement errors, of
// which 610, 614 (misplaced "IPSE"), 615, 618, 622, 624, 625 are warnings;
// 627 also when a "NOUTPUT" block defines no "SET 1" or no "OTIM 1", which
// its requests use. System message 201 (queued) when CTRL or CTRN is not a
// defined, closed data block (IERFLG 2).
#pragma once

#include <array>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

void OUTREQ();
void NOUREQ();
// Reads a set reference after "SET" (kind 1), "IPSE" (2) or "OTIM" (3) into
// id; 1 when the statement must be abandoned, else 0.
word SETREF(word kind, word& id);

// The records and header of CTRL or CTRN from the list store.
struct RequestRecords {
  std::vector<word> rec1;
  std::vector<word> rec2;
  std::vector<word> rec3;
  std::array<word, 6> header{};
};
RequestRecords request_records();

}  // namespace zephsol
