// Diagnostic switches and print-page control.
//
// Seventy switches of three bits each live in DIAGWD (system words 20-26):
// switch n is in word 19 + q, q = (n + 9) / 10, at bits s..s+2 with
// s = 3 (10 q - n). The page control keeps the line count NLINE of the
// listing (unit 6) and starts a page with its three-line header when a block
// of lines would not fit; a page request on a page at most three fifths full
// writes a three-line spacer instead, unless switch 36 is on.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Level 0-7 of switch n; 0 for n outside 1..70.
word DIAGLV(word n);
void DIAGLV(word n, word& level);
// Sets switch n (1..70) to the low three bits of level; other n are ignored.
void DIAGST(word n, word level);

// Accounts for n lines about to be printed on the listing; newpg is 1 when a
// page header (or spacer) was printed, else 0. n <= 0 always asks for a page.
void LINCNT(word n, word& newpg);
void LINCNT(word n);
// As LINCNT, with the deck-echo heading lines after the page header.
void LINCT3(word n);
// Starts a new page (or writes a spacer on a lightly filled page).
void PAGHDR();
// PAGHDR followed by the three heading lines HEADLN.
void PAGTTL();

}  // namespace zephsol
