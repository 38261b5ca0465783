// Shared records of the equation solution: the decomposition control block
// SDCBLK of the profile decomposition (TRIA, SDCOMP and its row kernels),
// the solve control block SOLBLK of the solvers (filled by SOLVE, read by
// FWBSUB and SPSOLV) and the sparse library's entry table. They live in one
// aggregate (solve_state()); tests start afresh with
// reset_solve_state().
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/exec/words.h"
#include "zephsol/solve/mfslib.h"

namespace zephsol {

// Decomposition control block, 23 words.
struct SDCBLK {
  MCB kll;            // 1-7   the matrix to factor: number and header
  MCB lll;            // 8-14  the factor: number, then the columns written, rows,
                      //       form 4, type, largest column and term count
  word scr1 = 0;      // 15    first scratch data block (301; 0: no spilling)
  word scr2 = 0;      // 16    second scratch data block (302; 0: no spilling)
  word error = 0;     // 17    0 none, 1 null column or zero pivot, 2 active-column limit exceeded
  word row = 0;       // 18    current row
  word active = 0;    // 19    active count m of the current row (negative: a zero pivot let pass)
  word carried = 0;   // 20    carried rows
  word update = 0;    // 21    rows of the pending triangle to update
  word limit = 0;     // 22    active-column limit NC
  word growth = 0;    // 23    growth flag of the current row: -1 a row joined, 0 none

  std::span<word, 23> words() noexcept { return std::span<word, 23>(reinterpret_cast<word*>(this), 23); }
};
static_assert(sizeof(SDCBLK) == 23 * 4);
static_assert(offsetof(SDCBLK, scr1) == 14 * 4);
static_assert(offsetof(SDCBLK, growth) == 22 * 4);

// Solve control block, 22 words.
struct SOLBLK {
  MCB factor;         // 1-7   the factor LLL
  MCB rhs;            // 8-14  the right-hand sides
  MCB solution;       // 15-21 the solution (completed by the substitution)
  word sign = 1;      // 22    negative: solve for minus the right-hand sides

  std::span<word, 22> words() noexcept { return std::span<word, 22>(reinterpret_cast<word*>(this), 22); }
};
static_assert(sizeof(SOLBLK) == 22 * 4);
static_assert(offsetof(SOLBLK, sign) == 21 * 4);

// The terms of one column of the matrix being factored that lie at or
// below the diagonal, as the elimination reads them.
struct KllColumn {
  word col = 0;              // the column (= the row it is read as)
  bool null = true;          // the column holds no string at all
  word first = 0;            // the first stored row (any side of the diagonal)
  std::vector<word> rows;    // rows >= col, ascending
  std::vector<double> vals;  // their terms
};

// How the elimination kernel runs. The blocked kernel eliminates column
// blocks of rows with level-3 BLAS calls; the row kernel is the reference,
// one rank-1 update per pivot row. Both leave the same factor to rounding.
struct SdcKernel {
  bool blocked = true;  // blocked kernel where it applies
  word block = 256;     // most rows per block
  word min_block = 16;  // fewer rows than this go row by row
};

// Work arrays of the blocked kernel, kept from block to block: the panel of
// reduced values W and multipliers L (one column per pivot of the block),
// the product block of the trailing update, and per row of the matrix its
// state in the current block (0 not active, -1 carried into the block, p
// joined at pivot p).
struct SdcPanel {
  std::vector<double> w, l, tmp;
  std::vector<word> state;
  std::vector<word> rows, joined, fresh, run_end;
  std::vector<std::uint8_t> in_old;
  std::vector<word> record;
  // Empties every buffer but keeps its storage, so that the next
  // decomposition does not fault fresh pages in again for its panels.
  void clear() {
    for (auto* v : {&w, &l, &tmp}) v->clear();
    for (auto* v : {&state, &rows, &joined, &fresh, &run_end, &record}) v->clear();
    in_old.clear();
  }
};

// What the last stiffness assembly (EMA) did in one pass over its elements:
// the first equations of its group's first and last nodes, and the ECT and
// ESK records it read (an ESK record passed over unread is not counted).
struct EmaPass {
  word first = 0;
  word last = 0;
  std::int64_t ect_reads = 0;
  std::int64_t esk_reads = 0;
};

struct SolveState {
  SDCBLK sdcblk;
  SOLBLK solblk;
  SdcKernel kernel;
  // Terms written to the factor so far (its control block keeps the count
  // only while it fits in a word).
  std::int64_t lll_terms = 0;
  // Columns of the matrix being factored read ahead of the row loop.
  std::deque<KllColumn> ahead;
  SdcPanel panel;
  // The passes of the last stiffness assembly.
  std::vector<EmaPass> ema_passes;
  // The sparse library's entries as the sparse solve driver calls them
  // (mfslib.h).
  MfsLibrary mfslib = mfs_library();
  // The work-space figures of the sparse library's last symbolic phase.
  std::optional<MfsFigures> mfsfig;
  // The diagonal shift of the conjugate-gradient preconditioner last
  // reported (0: none): a solve that needs the same shift says nothing more.
  double pcg_shift_reported = 0.0;
  // The last factorisation: the diagonal of the matrix by row (from 1; 0
  // where none is stored) and the rows whose pivot kept only a few digits
  // of it, the mark of a model free to move (eqnode.h reports them).
  std::vector<double> diagonal;
  std::vector<word> weak_rows;
  std::vector<word> weak_reported;  // rows already named in this run
  unsigned motions_reported = 0;     // bit m: rigid motion m named (eqnode.h)
};

SolveState& solve_state() noexcept;
void reset_solve_state();

inline SDCBLK& sdcblk() noexcept { return solve_state().sdcblk; }
inline SOLBLK& solblk() noexcept { return solve_state().solblk; }

}  // namespace zephsol
