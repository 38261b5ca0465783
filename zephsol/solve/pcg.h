// Conjugate gradients preconditioned by an incomplete factorisation, for the
// symmetric stiffness system K x = b held as its lower triangle in
// compressed-column storage: IA (n + 1 column pointers, 1-based), JA (the row
// of each stored term, the diagonal first in each column, rows ascending)
// and the values A.
//
// The preconditioner M = (I + L) D (I + L)^T is the incomplete L D L^T of K
// on K's own pattern (no fill): L strictly lower, D = diag(d), both kept in
// a copy of A (the pivots on the diagonal positions). An exact zero pivot is
// set to 1.0 and the factorisation goes on; its equation's right-hand side
// is cleared and warning 1000 names the first such equation. The iteration
// starts from x = M^-1 b and stops when ||r||_2 / ||b||_2 < tol.
//
// Messages: warning 1000 (printed, IWRNFL = 1). Under DIAG switch 14 the
// iteration table: its heading and iteration 0 on the listing and the error
// log, every further iteration on the listing.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Solves K x = b. b is changed where zero pivots clear it. err: the last
// ||r|| / ||b||; flag 0 converged (or b = 0), 1 maxit iterations without
// convergence. l, u, r, z: work of nnz, n, n and n doubles.
void PCGSOL(word n, word nnz, std::span<const word> ja, std::span<word> ia, std::span<const double> a,
            std::span<double> b, std::span<double> x, word maxit, float tol, std::span<double> l,
            std::span<double> u, std::span<double> r, std::span<double> z, float& err, word& flag);

// Overwrites l (a copy of A) with the incomplete factor; w: n doubles of
// scratch. first: the first equation whose pivot was exactly zero (0: none);
// every such column is marked by a negative IA(j).
void PCGICF(word n, std::span<const word> ja, std::span<word> ia, std::span<double> l, std::span<double> w,
            word& first);

// y := M^-1 v.
void PCGPRE(word n, std::span<const word> ja, std::span<const word> ia, std::span<const double> l,
            std::span<const double> v, std::span<double> y);

// y := K x, each stored off-diagonal term used as (i, j) and (j, i).
void PCGMV(word n, std::span<const double> x, std::span<double> y, std::span<const word> ja,
           std::span<const word> ia, std::span<const double> a);

}  // namespace zephsol
