// GP1: coordinate systems, node table and element connections.
//
// GP1(STRC, CSTM, NODC, CONE) reads the decoded geometry STRC and the
// element type table ETYP and writes:
//   CSTM  one 15-word record per coordinate system: identifier, type (1
//         rectangular, 2 cylindrical, 3 spherical), 0, origin P1, unit axes
//         e1, e2, e3 (REAL); header [systems, 0, 1 when a curvilinear system
//         exists, 0, 0, 15]; not written without systems;
//   NODC  one record, per node in ascending identifier order (the internal
//         node number is the position) [identifier, 0, input system, 0, m,
//         x, y, z in the basic system (REAL), further words]; header
//         [nodes, 1, systems, m, 0, 0];
//   CONE  one record per element ordered by type code, type definition and
//         identifier (the element sequence number is the position):
//         [identifier, ISEQ x 2^24 + IECOD, property, material, NN, NN
//         internal node numbers (0 for no node)]; header [elements, ETYP
//         definitions, largest NN, 0, 0, 0].
// The blank orientation node of BEAM2 and SBEAM2 stays 0 ("no node").
//
// Messages (user errors, run ended after the module): 2452 collinear
// definition points (always printed), 2316 undefined system of a node, 2131
// undefined element type, 2415 undefined node of an element; the total
// line past 100. Fatal: -711 ("STRC") no nodes or no elements, -3 short of
// core, -4 ("CONN") connection data overflow, -2621 a record missing or out
// of order, -3838 ("STRC") the element record not found again.
//
// NODLST(list, n) registers the n ascending keys at open-core word `list`;
// NODNUM(key) returns the position (1..n) of key among them, 0 when absent.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void GP1(word STRC, word CSTM, word NODC, word CONE);
void NODLST(word list, word n);
word NODNUM(word key);

}  // namespace zephsol
