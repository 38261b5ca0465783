// Nodal results of a converged step: displacements (OFP1U), reactions at
// constrained degrees of freedom (OFP1D) and the forces released at the
// boundary of an excavation (OFP1X). Each forms one row of values per node
// of the node table, scans minimum and maximum, writes its vectors to the
// result file while OFPREQ word 8 is positive, and OFP1U and OFP1D print
// their tables (headings 1 and 5) as print words 1 and 2 ask.
//
// Arguments are open-core positions: the node table (two words per node in
// ascending identifier order: the identifier, negative for a node on no
// active element, and first equation x 1024 + DOF count), a vector of NEQ
// REAL values in equation order (displacements, forces of constraint, the
// step's load vector), the USET words of the interval and the work areas of
// the step output driver.
//
// Data blocks: OFP1X reads CONE. Vectors: 1-4 and 6-8 (displacements),
// 52-54 and 56-58 (reactions), 41-44 (release forces). No messages.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// rows: ld x nn words (ld = largest DOF count + 1; word ld of a row holds
// the magnitude).
void OFP1U(word table, word vector, word rows, word nn, word ld);
// rows: 6 x nn words, ids: nn words, filled with the reaction rows and node
// identifiers of the nodes stored for the vectors.
void OFP1D(word table, word vector, word uset, word nn, word rows, word ids);
// xcld: the nx internal numbers of the inactive elements (ascending);
// release: nn words that mark the release nodes by node position. The rows
// (ld x nn words) are formed at `rows`, which holds the USET words on entry
// (they are not consulted).
void OFP1X(word table, word vector, word rows, word xcld, word release, word nn, word ld, word nx);

}  // namespace zephsol
