// ACCEPD and MODEPX: the running total of the element loads.
//
// Element load records (EPD of a step, EPX the total so far, EPY the new
// total), one per element in element sequence order: [L, entries, entries]
// with L the words after the first and entry = [ELDTYP, n, code word, n - 1
// REAL values]; [0] for an element without loads. Two entries are the same
// load when ELDTYP and code word are equal. A block counts as present when
// its number is not 0 and its header word 1 is not 0.
//
// ACCEPD(EPX, EPD, EPY) adds the step's EPD into EPX giving EPY: the values
// of an EPD entry go into the first EPX entry of the same load, an entry
// without one is appended. Without EPX, EPY is a copy of EPD; with neither,
// EPY gets an empty header (so that no earlier total can come back after the
// exchange of EPY and EPX). EPY's header is EPX's with word 2 the longest
// record written.
//
// MODEPX(EPX, XCLD, EPY) writes EPY = EPX with [0] for the elements listed
// in XCLD (removed groups); header [records, longest, 0, 1, 0, 0]; an
// absent EPX gives an empty header.
//
// Fatal: -3 short of core; -3825 ("EP0 " or "EPD ", and "EPX " in MODEPX,
// room) a record longer than its area; -2 (name) a premature end of file;
// -3520 (words read, L) a record that is not L + 1 words; -8077 (both
// counts) the same load with unequal value counts; -4 ("EPX ", free words)
// no room to append an entry.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void ACCEPD(word EPX, word EPD, word EPY);
void MODEPX(word EPX, word XCLD, word EPY);

}  // namespace zephsol
