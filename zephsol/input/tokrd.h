// Case control tokens and set lists.
//
// TOKRD walks the item lists of the case control cards across continuation
// cards and statements, one token at a time, into TOKCOM. SETLST parses the
// rest of a "SET" (list 1), "IPSE" (list 2) or "OTIM" (list 3) statement into
// an entry of the list store: [name, number, n, n items], an item being a
// value v >= 0, -w after v for v "THRU" w, -s after that for "BY" s, or
// 2147483647 for "ALL".
//
// Messages (case control catalogue, CCMSG): 601 card not beginning with a
// name; 610 duplicated set (warning); 611 bad delimiter; 612 not a positive
// integer (also a "BY" step of 0); 613 unknown keyword; 614 bad context;
// 615 items after "ALL" (warning); 616 range out of order; 618 empty list
// (warning); 619 list ends after "THRU" or "BY"; 620 syntax error; -999 a
// damaged item list (fatal, through MSGPUT).
#pragma once

#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

void TOKRD();
void SETLST(word kind);

// The current token: an integer's value, and whether it is the name kw
// (first four characters) or the delimiter c.
word tok_int();
bool tok_is(std::string_view kw);
bool tok_is_delim(char c);
// Reads tokens up to the end of the current statement.
void skip_statement();
// Whether set list kind (1-3) holds an entry numbered n.
bool set_defined(word kind, word n);

}  // namespace zephsol
