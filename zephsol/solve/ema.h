// Stiffness assembly EMA: the global stiffness KGG of one solution pass from
// the element stiffness matrices.
//
// EMA builds KGG column by column in ascending equation order, node by
// node: it gathers as many consecutive nodes of the assembly dictionary as
// fit in open core into a group, adds every element that touches a node of
// the group into the column blocks of that node, writes the group's columns
// and goes on with the next group. The first group's pass reads the element
// tables in order and notes every element's record positions (whole 64-bit
// positions, four words per element, with a separate bit per element for
// the "wanted" mark); later groups jump straight to the elements their nodes
// list. Elements with nodes in their own systems are turned into those
// systems first (EMAROT: K := T K T^T, T block-diagonal).
//
// Reads ESK ([m, m doubles]: the upper triangle by rows, per ECT element),
// ECT and ADIC (the element connection table and the assembly dictionary),
// ROTB (optional: the number 0 or a header word 1 of 0 means no rotation;
// its first file is passed over, then one record per element with rotated
// nodes and the end record 16777215). Writes KGG: square symmetric (form 6),
// one column per equation holding the rows of every node connected to the
// column's node, both triangles, exact zeros left out; header [columns,
// rows, 6, IPREC, largest column, trunc(terms / rows^2 x 10000)].
//
// Open core from word 1: the ADIC record area, the ROTB record area, the
// element matrix and one element column (doubles), the group table (six
// words per group node) growing upward; node lists and column blocks growing
// downward from below the element position table; the buffers at the top
// (ADIC, ESK and KGG share the highest, ECT the next, ROTB the third).
//
// Messages (fatal): 2 (name) a table ends early; 3 (required, available)
// open core too small; 711 ("ROTB", 1 or 2) a rotation record whose DOF or
// node count disagrees with ECT, ("ECT ", 1) an ECT record whose node DOF
// counts do not add up to its element DOF count, ("ADIC", 1) an element
// number outside the element table, ("ADIC", 2) a node whose first equation
// does not follow the previous node's, ("ADIC", 3) a connection outside the
// equations or out of order, ("ADIC", 4) nodes whose DOFs do not make up
// the equations; 800 (element, node index) an element
// node missing from a group node's connections; 801 (sum, total) the DOF
// counts of a node's connections disagree with its total; 802 (element,
// node index) an element with more DOFs at a node than the node has; 803
// (element, pass) a wanted element outside its group; 3825 (name, area) a
// record longer than its area; 3826 (length, name) a record of the wrong
// length; 935 after its own two lines, a wrong rotation record. Each but 3
// and 935 is a record that contradicts itself or the model: on a restart
// the run ends as on a damaged old problem tape (566), since the dictionary
// and the element tables come from the tape.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

// The module: five data block numbers (224, 215, 213, 223 and 226 in the
// main program).
void EMA(word ESK, word ECT, word ADIC, word ROTB, word KGG);

// Turns the packed element matrix K in place into T K T^T for the rotated
// nodes of one ROTB element record: rotrec holds its words 1 to 5 and the k
// node positions, rotdata its k rotation blocks (REAL words, 9 or 4 per
// node, row-major), node_dofs the element's DOF count at each of its nodes.
// A node is turned in blocks of 3 (block size 9) or 2 (block size 4) from
// its first element DOF, as many whole blocks as its DOFs hold, each by the
// node's one rotation R. A wrong block size, a node without a whole block or
// a position outside the element prints the two lines of message 935 and
// ends the run.
void EMAROT(std::span<const word> rotrec, std::span<const word> rotdata, std::span<double> K,
            std::span<const word> node_dofs);

// Column j (1 to n) of the packed upper triangle K of order n as a full
// vector: rows i < j from row i of the packing, rows i >= j from row j.
void EMACOL(std::span<const double> K, word n, word j, std::span<double> col);

}  // namespace zephsol
