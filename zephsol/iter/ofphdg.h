// Result table headings.
//
// OFPHDG prints the heading of a result table on the listing (unit 6): a
// title line naming the quantity with the current interval and step, and the
// column titles. The texts are Shift-JIS byte strings (sjis_headings.h);
// field widths count bytes. Kinds: 1 nodal displacements, 2 stresses and
// strains (columns by the element class of EIVWKA; joints, class 10, their
// own; the factor column titled by IFPDUN), 3 beam section forces, 4
// principal stresses, 5 nodal reactions, 6 principal strains (line 2 by
// class), 8 spring reactions, 9 non-linear spring reactions, 10 shell section
// forces, 11 non-linear beam moment-curvature, 12 and 13 nodal forces of 3
// and 6 components. The caller starts the page and counts the heading's
// lines; OFPHDG adds 1 to NLINE for the title line only.
//
// Messages: -8015 ("KIND", kind) a kind without a heading; -3523 (class, 0)
// kind 2 for an element class outside 1-11.
#pragma once

#include <string>

#include "zephsol/exec/words.h"

namespace zephsol {

// part 1 the title line, 2 the column titles, 3 both (the title when
// part != 2, the column titles when part >= 2).
void OFPHDG(word kind, word part);

// The 62-byte column title of the stresses of element class iclass (1-11).
std::string class_title(word iclass);

}  // namespace zephsol
