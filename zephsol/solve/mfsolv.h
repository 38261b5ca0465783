// Sparse library driver MFSOLV: hands the symmetric system that SPSOLV placed
// in compressed-column storage to the sparse multifrontal library and gets
// the solution back in place of the right-hand side. The library runs once
// from its initialisation: structure, ordering, symbolic factorisation, a
// check of the work space, values, numerical factorisation (the inertia
// printed when the matrix is not positive definite; it is solved all the
// same) and solution. The entries are reached through solve_state().mfslib
// (mfslib.h).
//
// Messages (on the listing, the log unit LOGUNT and the error log): " ERROR
// IN XDSLxx, IER=" with the failing entry's code; the work-space line when
// the library wants more than it has; on the listing and the log unit the
// working-memory line and the inertia line.
#pragma once

#include <cstdint>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// ier: 0 solved (b holds x), 1 the work array w of lw doubles is smaller
// than the library needs, else the failing entry's IER. nmfr_size is only
// printed.
void MFSOLV(word n, std::span<const word> ia, std::span<const word> ja, std::span<const double> a,
            std::span<double> b, word lw, std::int64_t nmfr_size, double* w, word& ier);

}  // namespace zephsol
