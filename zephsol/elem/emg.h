// Element matrix generation module EMG.
//
// EMG walks the element summary table record by record, keeps the element
// type, the material and the element's integration-point states current,
// and, by MODE:
//   1  writes the stiffness of every active element to ESK and two load
//      vectors: VOUT1 = VEC + element loads + thermal loads, VOUT2 = VEC +
//      element loads;
//   0  writes the stiffness only (iterations, re-execution of a step);
//  -1  subtracts from VEC the loads of the elements that have just become
//      excluded (state header word 6 still 0) and writes the result to VOUT2.
// An excluded element (listed in XCLD) gets the one-word ESK record [0]; its
// loads are not applied, and in MODE 1 the elements excluded with a
// non-empty load record are counted in warning 1301.
//
// Reads: EST, MATD (loaded as the material table), the state block EIV
// (EIV0 or EIV2; without one, fresh states, allowed only in the first pass:
// interval 1, step 1, iteration 0), the input vector VEC (MODE not 0), the
// temperatures ENTD (MODE 1), the element load records ELOAD (MODE not 0),
// XCLD. Writes: ESK [m, m packed doubles] per element with the header
// [elements, largest m, 0, 0, 0, 0]; the output vectors as one double column
// of nG rows each.
//
// Open core, from word 1: vector 1 and vector 2 (nG doubles each), the
// element stiffness (1830 doubles, the packed size of 60 DOFs), the load and
// temperature record buffers, the work area of the state store, the
// excluded-element list, the material table; five file buffers at the top.
//
// Messages (fatal): -10 (103, "EIV0") no state records outside the first
// pass; -3 (words needed, words available) open core too small; -4 ("MATD",
// shortfall) the material table does not fit; -3825 ("ENTD" or "EPD ",
// buffer words) a record longer than its block's header says; -2 ("ENTD" or
// "EPD ", words read) the block ends before the last element; -5000 (IECOD,
// IEXN) and -8019 (IEXN, ELDTYP) from the element dispatchers. Printed:
// warning 1301 on the listing and the error log (IWRNFL set); under
// diagnostic switch 54 every element stiffness with MATPRT.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

void EMG(word EST, word MATD, word EIV, word VEC, word ENTD, word ELOAD, word XCLD, word ESK, word VOUT1,
         word VOUT2, word MODE);

// Prints the packed symmetric matrix A of order N under the four-character
// NAME, ten columns to a block, the upper triangle row by row.
void MATPRT(word NAME, std::span<const double> A, word N);

}  // namespace zephsol
