// Card readers of the executive control deck and the case control.
//
// CHRINI sets the card-scanning constants once. CTLCRD reads the next card of
// the input deck (unit INUNIT), echoes it on the listing under the heading
// lines, skips comment and blank cards, recognises the section cards
// ("OUTPUT", "BEGIN BU", "ENDDATA", "END DATA", "NOUTPUT") and hands every
// other card to FRCARD, which turns columns 1-72 into a list of typed items:
//
//   2  name: 2 words, 8 characters          1  delimiter "/", "=" or "(": 1 word
//  -1  integer: 1 word                     -2  single real: 1 word
//  -4  double real: 2 words                10+k quoted text of k words
//   2147483647 end of statement            0  continued on the next card
//
// Messages (FRCARD, on units 6 and 999, setting IERFLG): 300 sign, point or
// exponent letter in column 72; 301 integer out of range; 302 bad character
// after an integer; 303 bad character in a fraction or exponent; 304 exponent
// out of range; 305 quoted text not closed; 308 item list full.
#pragma once

#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

// Fills the scanning constants and clears the card class.
void CHRINI();

// Reads cards until one is to be returned; leaves the class, the card image
// and, for class 0, the item list in the control card reader's record.
void CTLCRD();

// Item list of one 80-column card (20 words) in items, of which size words
// may be used. A rejected card sets IERFLG and leaves items[0] = 0.
void FRCARD(std::span<const word> card, std::span<word> items, word size);

// The card image of a text line: CR and LF dropped, cut at 80 columns and
// padded with blanks.
void card_from_line(std::string_view line, std::span<word, 20> card);

}  // namespace zephsol
