// Spill planning and spill groups of the profile decomposition (tria.h).
//
// When the active-column limit NC is below the order N and the scratch data
// blocks 301 and 302 are given, SDCPRE first measures the active set of
// every row. If the largest active count M exceeds NC, SDCSPL divides the
// rows into spill groups: stretches of consecutive pivot rows inside which
// only the pending updates of the group's own rows are kept in core (a
// trapezoid of the pending triangle), while the updates of the rows beyond
// the group's end go to a scratch data block and are applied when the group
// ends. The two scratch blocks take turns: the one written during a group is
// read back at its end while the other receives what must wait for the next
// group.
//
// Scratch records (row numbers and counts words, values doubles):
//   plan record, first of a block: pairs (start, end) of the groups still
//     to come, then (16777215, 16777215);
//   spill record, at a group start: [cnt, 0, cnt rows, cnt (cnt + 1) / 2
//     pending values] of the carried rows beyond the group end, or [0];
//   pivot record, one per pivot of a group: [s + 1, growth flag, pivot row,
//     s rows (negative where the row joined at this pivot), pivot value, s
//     values], s the active rows beyond the group end;
//   an end-of-file mark after the group's last pivot record.
//
// Messages: 3106 and 3107 (printed, then error flag 1) a null column or a
// zero diagonal met while counting; fatal 3 (required, available) when the
// work space cannot hold 8M words with the scratch buffers (or the plan);
// fatal 927 (m, c) a group of at least two rows does not fit, 928 (start,
// G) fewer rows than planned are active, 915 to 921 logic checks of the
// group processing, 1 and 2 short or missing scratch records. The
// information table of the plan is printed unless diagnostic switch 13 is at
// level 1.
#pragma once

#include <cstdint>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Reads every column of the matrix of sdcblk().kll (open for reading): the
// activation row of every row (the first pivot whose column holds it; 0 if
// none), its active count and the largest count. A failing column sets the
// error flag and the current row of sdcblk().
void SDCPRE(std::span<word> activation, std::span<word> counts, word& largest);

// Plans the groups for r words of triangle space from the activation rows
// and active counts: pairs (start, end) into plan (at most plan.size() / 2
// groups), their number into groups; prints the information table.
void SDCSPL(std::span<const word> activation, std::span<const word> counts, std::span<word> plan, word& groups,
            std::int64_t r);

// The largest active count whose whole pending triangle ((g - 1) g / 2
// values) fits in c values, and the most rows G of a group started at an
// active count m whose trapezoid (G (m - 1) - G (G - 1) / 2 values) fits; 0
// when none does.
word whole_triangle_limit(std::int64_t c);
word group_rows(word m, std::int64_t c);

}  // namespace zephsol
