// Sparse library driver MFSOLV: hands the symmetric system that SPSOLV placed
// in compressed-column storage to the sparse multifrontal library and gets
// the solution back in place of the right-hand side. The library runs once
// from its initialisation: structure, ordering, symbolic factorisation, a
// check of the work space, values, numerical factorisation (the inertia
// printed when the matrix is not positive definite; it is solved all the
// same) and solution. The entries are reached through solve_state().mfslib
// (mfslib.h).
//
// The work-space check: the symbolic phase gives two figures, NEEDS for a
// factorisation in core (0 when the factor has too many terms to be held in
// core) and NEEDMN, the least with the factor and the stack on the
// library's scratch files. A work array of at least NEEDS factorises in
// core; a smaller one of at least NEEDMN out of core (the library chooses
// its files by the room it is given); only one below NEEDMN is refused.
//
// Messages (on the listing, the log unit LOGUNT and the error log): " ERROR
// IN XDSLxx, IER=" with the failing entry's code; the work-space line when
// the work array is below NEEDMN; on the listing and the log unit the
// working-memory line, which ends with the way the run goes ("IN CORE" or
// "OUT OF CORE ..."), and the inertia line. Figures are printed whole.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "zephsol/exec/words.h"
#include "zephsol/solve/mfslib.h"

namespace zephsol {

// ier: 0 solved (b holds x), 1 the work array w of lw doubles is smaller
// than the library needs even out of core, else the failing entry's IER.
// nmfr_size is only printed. Once the symbolic phase has run, its figures
// are in solve_state().mfsfig (reset to none at the start).
void MFSOLV(word n, std::span<const word> ia, std::span<const word> ja, std::span<const double> a,
            std::span<double> b, word lw, std::int64_t nmfr_size, double* w, word& ier);

// The figures for the structure (ia, ja) of order n, worked out by the
// library's phases up to the symbolic factorisation in an array of their
// own, silently, for a run whose work array cannot reach them; none when the
// library fails for another reason than its work space.
std::optional<MfsFigures> mfs_figures(word n, std::span<const word> ia, std::span<const word> ja);

}  // namespace zephsol
