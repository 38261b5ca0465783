// GP4: the tables of one interval of the construction history.
//
// GP4 replays INCD from its first record up to the interval numbered
// INTCTL.NIVSET + 1 (it keeps no state between calls) and leaves:
//   - the inactive element groups and the excluded elements XCLD: one record
//     of the element sequence numbers of the inactive groups, ascending,
//     each once; header [count, 0, 0, 0, 0, 0] (all zero and no record when
//     no group is inactive);
//   - the change tables of materials (MTCMID by material, MTCGRP by group)
//     and properties (PRCMID, PRCGRP): per key the new identifier of the
//     latest interval changing it, with that interval;
//   - NSTPIV (steps of each interval replayed), STPCTR words 5 and 6 (the
//     change modes), INTCTL.NIVSET (the interval set up);
//   - through GP4BND the freedom sets USET, constraints GST and prescribed
//     values YS, through GP4ROT the rotations ROTB, through GP4TMP the element
//     temperatures ENTD and through GP4FRC the interval loads DPG0 and EPD.
// The reference pairs (set, REAL factor) of the interval are divided by its
// number of steps; with a "CONST" group the set 0 is always referenced.
//
// Messages (user errors, the run ends after GP4): 1751 no history, 1752 a
// group inactivated twice, 1754 a group activated that is active, 1756 an
// undefined group; GP4BND: 1753, 1755, 1757, 1759, 2461, 1932, 1933, 1934;
// GP4ROT: 1758, warning 2347; GP4TMP: 2375 an undefined temperature set,
// 2435 kinds of temperature combined; GP4FRC: 2377 an undefined force set
// (a set named twice in one interval is reported so by each pass). Fatal: -3 short of core, -4 a table overflow
// ("XCLD", "MATC", "MATG", "PROC", "PROG", "FAST", "AMPC", "EQIX", "ROTB"),
// -711 ("BCDT") a set file out of order, -3821 ("RBIX") more than 100 sets
// with systems, -3825 / -2 / -4008 malformed ECT, -901..-905, -908, -911,
// -912 inconsistencies of the tables; GP4TMP and GP4FRC: -711 ("TMPD",
// "LDDT") a set file out of shape, -4008 a temperature record of the wrong
// length, -3520 a record longer than its area, -2 ("LDDT") a missing nodal
// record, -901 / -902 a set kind the load table's flags deny.
#pragma once

#include "zephsol/exec/records.h"
#include "zephsol/exec/words.h"

namespace zephsol {

void GP4(word INCD, word BCDT, word LDDT, word TMPD, word ECT, word EQIX, word CSTM, word NODC, word IELS, word USET,
         word GST, word YS, word DPG0, word EPD, word ENTD, word ROTB, word XCLD, INTCTL& intctl, word& LASTIV,
         word& EXCAVF, word& NSTEPS, float& RELFAC, word& LSTGRP, word& EXREGN);

// The passes of the interval set-up. Reference lists are open-core
// positions of n pairs (set identifier, REAL factor divided by the steps).
//
// GP4BND: the boundary (nb pairs at `bpairs`) and MPC (nm pairs at `mpairs`)
// references into USET, YS and GST, and the rotations of their nodes;
// `xpos` is the position of the lowest word of the excluded-element list,
// which ends at GP4CTL.B3 less the repeats removed (xpos = B3 when it is
// empty); it advances while the list is read.
void GP4BND(word nb, word bpairs, word nm, word mpairs, word& xpos);
// GP4ROT: the rotations of the n node entries [EQIX word, node position,
// CSTM position, node] at `entries` into ROTB file 1, with an area of 3
// words a node at `coords` and of 15 words a system at `systems`.
void GP4ROT(word entries, word n, word coords, word systems);
// GP4TMP: the element temperatures of the nt temperature references at
// `pairs` into ENTD: per element [L, n x 16 + k, n values], the referred
// sets summed (factor x value), [0] for an element without any; header
// [records, longest, 1, 1, 0, 0], all zero without a reference.
void GP4TMP(word nt, word pairs);
// GP4FRC: the interval loads of the nf force references at `pairs`: DPG0,
// one column of the nodal loads (sum of factor x loads; empty without
// any), and EPD, per element [L, entries, entries] with the entries of the
// referred sets in load-table order, [0] for an unloaded element; header
// [records, longest, 0, 1, 0, 0], all zero without element loads.
void GP4FRC(word nf, word pairs);

}  // namespace zephsol
