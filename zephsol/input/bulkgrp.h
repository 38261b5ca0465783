// Grouping of the bulk data.
//
// XMERGE reads the bulk data cards (after "BEGIN BU" up to "ENDDATA" or
// "END"), echoes them with their card numbers, and sorts them by data group
// into INP1: one record per group, its header card first, in the order in
// which the headers first appear; GRPTAB records where each group lies, how
// many cards it has and the card number of its header. On a restart the
// groups that the new deck does not give are taken from the bulk data set of
// the old problem tape (their header card numbers are those of the old set,
// with the sign bit), and the changed-groups bits record the groups given.
// When checkpointing is on, the merged bulk data goes to the new problem
// tape as its "BULK" set. BLKCRD reads one card and rebuilds a free-field
// card (a "," or "/" in columns 1-32) into ten fields of eight columns.
//
// Data blocks: writes INP1 (closed with rewind, a last 1-word record); on a
// restart reads OPTP and leaves it closed after its bulk data set; appends
// the "BULK" set to NPTP.
// Messages: 306 more than ten fields, 307 a field longer than eight
// characters (units 6 and 999); 531 data card before the first header, 532
// header given twice, 533 no bulk data (IERFLG set); 535 "ENDDATA" missing
// (a warning, IWRNFL set); 534 the old tape ends before its bulk data does,
// 536 the old bulk data does not begin with a header (these end the run);
// fatal 3 (two buffers do not fit in the open core) and 201 (INP1, OPTP or
// NPTP not a closed data block).
#pragma once

namespace zephsol {

void XMERGE();
void BLKCRD();

}  // namespace zephsol
