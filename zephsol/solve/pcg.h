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

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

// Solves K x = b. b is changed where zero pivots clear it. err: the last
// ||r|| / ||b||; flag 0 converged (or b = 0), 1 maxit iterations without
// convergence. l, u, r, z: work of nnz, n, n and n doubles. The sweeps run
// over a copy of the factor in node blocks (below) where those pay.
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

// The incomplete factor regrouped by nodes for the sweeps of the
// preconditioner: equations 3K+1 .. 3K+3 form block K (the last block may
// hold fewer), and column of blocks K holds its diagonal block and each
// block below it that holds a stored term, rows ascending. Each block is 9
// values by columns, zero where the triangle stores nothing: L below the
// diagonal and the pivots on it. One index word a block in place of one a
// term, and blocks of fixed size, make the sweeps cheaper where the
// equations of a node are numbered together.
struct NodeBlocks {
  // Doubles in large pages where the system grants them: the blocks are
  // filled once a solution, and a fault for every small page of them costs
  // as much as the sweeps save.
  struct LargePages {
    using value_type = double;
    template <class U>
    struct rebind {
      using other = LargePages;
    };
    double* allocate(std::size_t n);
    void deallocate(double* p, std::size_t n) noexcept;
    bool operator==(const LargePages&) const = default;
  };
  word n = 0;
  std::vector<std::int64_t> column;  // each column's diagonal block in rows, and the end
  std::vector<std::uint32_t> rows;   // each block's row of blocks times 4 plus its equations
  std::vector<double, LargePages> l;  // the values
};

// The blocks that K's stored pattern fills (no values).
NodeBlocks node_blocks(word n, std::span<const word> ja, std::span<const word> ia);

// Whether the blocks pay: their values with the padding stay within a
// third more than the nnz stored terms (they do where the equations of
// nodes are numbered in triples).
bool node_blocks_pay(const NodeBlocks& b, std::int64_t nnz);

// Copies the factor l (as PCGICF left it) into the blocks.
void fill_node_blocks(NodeBlocks& b, std::span<const word> ja, std::span<const word> ia, std::span<const double> l);

// y := M^-1 v as PCGPRE, over the blocks; returns v . y.
double block_precondition(const NodeBlocks& b, std::span<const double> v, std::span<double> y);

}  // namespace zephsol
