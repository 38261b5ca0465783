// Matrix print: a debugging aid that lists a matrix data block on the
// listing, a header line with its size, form, type, largest column and
// density, then its non-zero rows in groups of up to six non-empty columns.
//
// Data blocks: the matrix named in the MCB (read, left rewound).
// Messages: warning 3512 (two lines on units 6 and 999, IWRNFL set) for a
// header that is not a matrix's; fatal 3 (work area too small), 3053 (a
// complex matrix, from the column reader).
#pragma once

#include "zephsol/dbio/columns.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// Prints the matrix of mcb through the ncore words of open core from index
// z (the buffer at the top, up to six single-precision columns from z).
void MTXDMP(MCB& mcb, word z, word ncore);

}  // namespace zephsol
