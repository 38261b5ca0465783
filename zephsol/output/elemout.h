// The element routines of the step output that the driver OFP1 calls after
// the nodal results, with the open-core areas it lays out for them:
//   OFP1C  element results of the state block (tables, result vectors, the
//          group element list, the records of the scratch blocks $301/$302);
//   OFP1F  element forces from the $302 records;
//   OFP1P  principal values from the $301 records;
//   OFPMCI material-change report and the element material vector.
// Areas are open-core positions.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// eiv0: the state block (open for reading); nel: its element records;
// group, shells, conditions: nel words each; results: 75 x nel words;
// plastic: 21 x nel words (when the state block holds plastic strains);
// thermal: 7 x nel words; work: free words words from there up to the lowest
// buffer; noplas: -1 when the state block holds no plastic strain. ngroup
// receives the number of active elements listed at `group`.
void OFP1C(word eiv0, word nel, word group, word shells, word conditions, word results, word plastic,
           word thermal, word work, word words, word noplas, word& ngroup);
// The upper (point 45, block 2) or lower (point 5, block 3) surface block
// of shell element j in the OFPELR and OFPPLR areas; sets both flags.
void OFP1SL(word point, word iclass, word results, word j, bool& safety_present, bool& principal_present,
            word plastic, word noplas);
// The element force output of the $302 records (n = OFPSCR's count, the
// block rewound): the open-core lists ids (n words: element, negative for a
// bar), forces (17 x n words: end-A forces negated, end-B forces, then the
// moment-curvature words of a BEAM2; a shell's eight section forces) and
// kinds (n words: -1 beams and bars, 0 springs, the contact state, 999
// shells); prints the tables of the "ELFO" request and, while OFPREQ word 8
// is positive, writes the force vectors.
void OFP1F(word ids, word forces, word kinds);
// The principal stress table ("PRSTRESS", narrowed by the set of
// "PRSTRES2") and the principal strain table ("PRSTRAIN") of the $301
// records.
void OFP1P();
// w: first free open-core word; the material table is loaded at the top of
// the words from w up to two buffer spaces below the top buffer (three when
// ENTD holds element temperatures), so that it meets nothing below w.
// Writes vector 81000 while OFPREQ word 8 is positive and prints the change
// report of the materials not reported before in the run.
void OFPMCI(word est, word matd, word entd, word w);

}  // namespace zephsol
