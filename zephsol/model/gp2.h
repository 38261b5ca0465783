// GP2: boundary-condition, fastening and automatic-MPC tables.
//
// GP2(BOUN, EQIX, CSTM, NODC, CONE, BCDT) turns the decoded boundary input
// BOUN into BCDT, one file per set, each ended by an end-of-file mark:
//   boundary file  ["BOUN", set (0 for "CONST"), m, 0, j]; m pairs
//                  [equation, value (REAL)] ascending, each equation once;
//                  when j > 0 the node record of j rows [EQIX word, node
//                  position, position of the node's system in CSTM, node]
//                  ascending by EQIX word;
//   MPC file       ["FAST", set, q, 0, j]; one record of the q equations
//                  [t, dependent equation, its coefficient (REAL), t pairs
//                  (equation, coefficient)], equation 0 for a rejected
//                  reference; the node record when j > 0;
//   automatic MPC  ["AMPC", 0, q, 0, 0]; one record of the q equations [n,
//                  EQIX word of the slave, least DOF count of the masters,
//                  n pairs (first equation of master, shape value (REAL))].
// Header [boundary sets written, MPC sets, IAMPC, 1 with a "CONST" group,
// NEQ, system flags of BOUN]; BCDT is released ("UNLD") when nothing was
// written. A node position is the node's place in EQIX record 2 (ascending
// identifiers).
//
// Messages (user errors counted in IERFLG; the run ends after GP3): 2417
// undefined node, 2343 component out of range (2342 a warning when the value
// is 0), 2340 two systems for one node, 2440 a set left empty, 2460 one
// freedom with two values, 2344 undefined system; 2419, 2351, 2341, 2345 the
// same faults in MPC sets, 1932 a freedom dependent and a term of one set,
// 1933 a freedom dependent twice in one set; information 2361 no stray node,
// warning 2361 stray nodes that no element contains; the total line past
// 100. Fatal: -3 short of core, -4 ("CONE") the element table does not fit,
// -3825 ("CONE", 100), -2 ("CONE"), -1 ("BCDT") a short file head, -2621 a
// BOUN record out of order, -903 an equation no node holds, -905 an MPC
// set naming systems that BOUN did not announce.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

void GP2(word BOUN, word EQIX, word CSTM, word NODC, word CONE, word BCDT);

// Open-core positions of GP2's work areas: the coordinate-system list (its
// length in BNDCOM), the node vector of NN words and the entry area (its free
// words in BNDCOM).
//
// GP2BND converts the nsets boundary sets that follow in BOUN and returns
// the number written in nsets.
void GP2BND(word ids, word work, word area, word& nsets);
// The node identifier and component (1-based) of equation eq.
void GP2DOF(word eq, word& node, word& comp);
// GP2MPC converts the nsets MPC sets of the "FASTENIN" record.
void GP2MPC(word ids, word work, word area, word nsets);
// GP2FST checks every MPC set of BCDT for a freedom dependent twice or both
// dependent and a term, with NEQ flag words at `flags` and the equation
// buffer at `buffer` (its free words in BNDCOM).
void GP2FST(word flags, word buffer);
// GP2AMP ties the stray beam and rod nodes to the elements containing them:
// node vector of NN words at `work`, 3NN coordinates (REAL) at `coords`, the
// element table [identifier, type, n, n node positions] at `elements`.
void GP2AMP(word work, word coords, word elements);

}  // namespace zephsol
