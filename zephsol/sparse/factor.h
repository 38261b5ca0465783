// The numerical factorisation P A P^T = L D L^T of the sparse library and
// its storage: the multifrontal driver (hdslf2), the assembly of a front
// from its children's update matrices, their delayed columns and the
// matrix entries (hdslfs), and its elimination panel by panel (hdslfe).
//
// Front of a supernode s: ncol own columns, then the nd delayed columns of
// its children, then the nrow rows of its index list; order nf, npiv = ncol
// + nd fully summed. A front and every update matrix are packed lower
// triangles by columns: entry (i, j), i >= j, of a triangle of order n lies
// at (j-1) n - j(j-1)/2 + i.
//
// Update-matrix stack: one entry per eliminated supernode, popped by its
// parent. An entry holds ndel words (the ndel global rows of its delayed
// columns as integers, two to a word) and the packed triangle of order
// ndel + nrow, the delayed columns first. Directory: four integers per
// entry (nrow, the supernode's pointer into the index lists, ndel, a file
// address), beside the supernode and the in-core position (relative to
// the stack area, from 1) of each entry.
//
// Factor: pivots numbered 1..n in factorisation order; panels of at most
// w173 consecutive pivots of one supernode. A panel of c pivots whose
// supernode has r further pivots after it and u rows in its index list is
// stored as the strictly lower triangle of its c x c pivot block (c(c-1)/2
// words, by columns) and then the (r+u) x c rectangle below it by columns.
// D is kept apart, one double per pivot; a 2x2 block at j, j+1 keeps its
// off-diagonal d21 in the triangle entry (j+1, j), and the pivot block
// information is 1 for a 1x1 pivot, 2 and -p (p the position of d21 in the
// triangle) for a 2x2 block.
#pragma once

#include <vector>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

constexpr i64 tri(i64 n) noexcept { return n * (n + 1) / 2; }
// Position of entry (i, j), i >= j, in a packed lower triangle of order n.
constexpr i64 packed(i64 n, i64 i, i64 j) noexcept { return (j - 1) * n - j * (j - 1) / 2 + i; }

// Operation counts and file statistics of one factorisation.
struct FactorStats {
  double ops1 = 0.0;    // factorisation operations (assembly and kernels)
  double ops2 = 0.0;    // operations of one solution
  i64 largest = 0;      // largest panel record (words)
  i64 file1_words = 0;  // words written to the factor file
  i64 file2_words = 0;  // words written to and read from the stack file
  i64 file2_extent = 0; // largest word address used on the stack file
  i64 front_words = 0;  // words written to and read from the front file
  i64 front_max = 0;    // largest front built on the front file (T(nf))
  i64 front_sum = 0;    // words of all fronts built on the front file
  i64 value_words = 0;  // words read from the value file
};

// The driver's arguments: what the factorisation phase lays out for it
// and what it returns. Positions are words of the work array.
struct FactorArgs {
  double pvttol = 0.0;
  i64 ud = 0;          // 0: matrix entries in work
  i64 panel = 128;     // w173, largest panel width
  i64 updblk = 32;     // w183, update block width
  i64 orient = 1;      // w172, 0 row-oriented panels
  i64 n = 0;
  i64 diag = 0;        // n doubles: permuted diagonal in, D by pivot out
  i64 xrelin = 0;      // n+1 pointers over the entries by column
  i64 relent = 0;      // entries' places in their fronts
  i64 vals = 0;        // entries' values
  double fill_limit = 0.0;
  i64 pert = 0;        // control words 177-181 and 189-193 (positions)
  i64 negrec = 0;
  i64 perm = 0;        // w62, new-to-old ordering
  i64 nsuper = 0;
  i64 part = 0;        // new supernode partition (nsuper+1)
  i64 fperm = 0;       // factorisation permutation (n)
  i64 nassem = 0;      // children per supernode (nsuper)
  i64 npanel = 0;      // out
  i64 panpart = 0;     // panel partition (n+1)
  i64 ptr = 0;         // new index pointer (nsuper+1)
  i64 rel = 0;         // relative indices of L
  i64 gidx = 0;        // global indices of L
  i64 gl = 0;          // capacity of the new global index list (integers)
  i64 varea = 0;       // first word of the variable area (the new list)
  i64 sa = 0, slen = 0;  // stack area (slen returns the peak use)
  i64 fa = 0, flen = 0;  // factor area
  bool incore = true;    // the factor is in work
  i64 maxdepth = 0;      // w36
  i64 stksn = 0, stkpos = 0, stkdir = 0;
  i32 lunit1 = 0, lunit3 = 0, lunit4 = 0, lunit5 = 0, lunit6 = 0;
  i64 dlen = 0, iobuf = 0;
  // Value file (ud != 0): buffers of vcap integers and doubles, one row
  // record besides the positions and values when rows were kept.
  i64 vint = 0, vdbl = 0, vcap = 0;
  bool keeprow = false;
  // Results.
  double fwords = 0.0;   // factor words
  i64 glcount = 0;       // length of the new global index list
  i32 inertia[3] = {0, 0, 0};
  i64 pivblk = 0;        // pivot block information (n)
  FactorStats st;
  i64 wafil1_next = 1;   // next word of the factor file
  i64 wafil2_next = 1;   // next word of the stack file
  std::vector<i64> stkaddr;  // stack-file address of each entry (1-based)
};

// The return codes of the two multifrontal drivers (hdslf2, hdslu2), which
// the numerical factorisation entry turns into its own (xdslfa's map_code).
namespace drv {
enum Code : i32 {
  ok = 0,
  storage = -1,        // a front's panel and work block do not fit the stack area
  singular = -2,       // a zero pivot, or columns left at the roots
  stack_depth = -4,    // a stack deeper than w36, or a front too large to size
  factor_io = -5,      // the factor file (lunit3) failed
  stack_io = -6,       // the stack file (lunit4) failed
  no_factor_file = -7, // the factor cannot stay in work and has no file
  no_stack_file = -8,  // the stack does not fit and has no file
  values_io = -9,      // the value file failed
  fill = -10,          // fill limit exceeded
  negative = -11,      // negative pivot under monitoring
  factor2_io = -12,    // the second factor file (lunit5) failed
  front_io = -13,      // the front file (lunit6) failed
};
}  // namespace drv

// The multifrontal LDL^T driver. Returns drv::ok or one of the drv codes.
i32 hdslf2(const Work& w, FactorArgs& a);

// One front in the stack area, its region from `start` (a stack-area word):
// the interchange record (h(nf) words), the packed front (T(nf)), the panel
// (nf blk) and the update work block.
struct Front {
  i64 s = 0;                 // supernode
  i64 first = 0;             // its first column (order of the symbolic phase)
  i64 ncol = 0, nd = 0, nrow = 0, npiv = 0, nf = 0;
  i64 blk = 0, upd = 0;
  i64 nch = 0;               // children taken from the stack
  i64 start = 0;             // region start, stack-area word
  i64 np = 0;                // pivot position of the front's first column
};

// In-memory assembly: children's update matrices, matrix entries and the
// diagonal, the own columns' permutation entries, then the delayed
// columns. depth falls by the children popped; lowest returns the lowest
// stack-area word of a popped child in work (0 when none).
i32 hdslfs(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64& lowest);

// In-memory elimination of the fully summed columns panel by panel; nelim
// returns the pivots taken. Codes: -1 zero pivot, -11 negative pivot under
// monitoring, -2 factor file.
i32 hdslfe(const Work& w, FactorArgs& a, const Front& f, i64& nelim);

// Storage routines of the assembly.
// Moves the packed triangle of order n at src into the triangle of order ld
// at dst, entry (i, j) to (rel(i), rel(j)), last entry first, zeroing each
// source word once read (dst may overlap src at or after it).
void xdslxp(i64 n, const iword* rel, i64 ld, double* src, double* dst);
// Adds the packed triangle of order n at src into the one of order ld.
void xdslea(i64 n, const iword* rel, const double* src, i64 ld, double* dst);
// Opens nd zero variables after the ncol own columns of a packed front of
// order ncol + nrow, in place (the area holds the larger front).
void xdsla2(i64 ncol, i64 nd, i64 nrow, double* front);

// Panel storage of the elimination (column-oriented when orient != 0).
void xdslup(i64 orient, i64 w, i64 rows, const double* front_col_k, i64 nf, i64 k, double* panel);
void xdslrp(i64 orient, i64 p, i64 w, i64 rows, double* front_col_k, i64 nf, i64 k, const double* panel);
// Swaps rows a and record(a) - offset (a = 1..count) of a stored block of
// w columns and `rows` rows (leading dimension rows).
void xdslri(i64 offset, i64 w, i64 rows, i64 count, const iword* record, double* part);

// The factor as the solution and the condition estimate walk it: panels
// of supernodes, each with its block in work.
struct FactorView {
  i64 n = 0, nsuper = 0;
  const iword* snpan = nullptr;   // supernode -> first panel (nsuper+1)
  const iword* panpart = nullptr; // panel -> first pivot (panels+1)
  const iword* ptr = nullptr;     // supernode -> index list (nsuper+1)
  const iword* gl = nullptr;      // index lists, factor positions
  const iword* pivblk = nullptr;  // pivot block information (n)
  const double* diag = nullptr;   // D (n)
  const double* factor = nullptr; // first word of the factor
  i64 rhsblk = 8;                 // right-hand sides handled together
  bool unsym = false;             // L U: each panel's L block followed by its U block
};

// One panel: pivots f..f+c-1, r later pivots of its supernode, k index
// rows idx(1..k), h = r + k; blk its stored block.
struct PanelRef {
  i64 f = 0, c = 0, r = 0, k = 0, h = 0;
  const iword* idx = nullptr;
  const double* blk = nullptr;
};

// Forward and backward step of one panel on nrhs columns of rhs (leading
// dimension ld, factor numbering); t holds h x rhsblk doubles.
void xdslfw(const PanelRef& p, i64 ld, i64 nrhs, const iword* pivblk, const double* diag, double* rhs,
            i64 rhsblk, double* t);
void xdslbk(const PanelRef& p, i64 ld, i64 nrhs, const iword* pivblk, double* rhs, i64 rhsblk, double* t);
// Both passes with the factor in work.
void xdslsi(const FactorView& fv, i64 nrhs, i64 ld, double* rhs, double* t);
// Visits the panels in order (forward, their L blocks) or in reverse order
// (their U blocks on the LU path, else their L blocks).
template <class Fn>
void for_each_panel(const FactorView& fv, bool forward, Fn&& fn);

// One-norm condition estimate with the factor in work: z (n doubles) and
// t (at least n doubles) are scratch; anorm the largest absolute row sum.
// A result that is not finite is +Inf.
double xdslcn(const FactorView& fv, double anorm, double* z, double* t);

// Largest panel rectangle height, triangle and block (w34, w39, w40).
struct PanelSizes {
  i64 rows = 0, tri = 0, block = 0;
};
PanelSizes xdslmx(const FactorView& fv);

// Block words of a panel of c pivots with h rows below them.
constexpr i64 panel_words(i64 c, i64 h) noexcept { return c * (c - 1) / 2 + c * h; }

template <class Fn>
void for_each_panel(const FactorView& fv, bool forward, Fn&& fn) {
  const i64 parts = fv.unsym ? 2 : 1;
  auto shape = [&](i64 s, i64 p) {
    PanelRef r;
    r.f = fv.panpart[p - 1];
    r.c = fv.panpart[p] - r.f;
    r.r = fv.panpart[fv.snpan[s] - 1] - fv.panpart[p];
    r.k = fv.ptr[s] - fv.ptr[s - 1];
    r.h = r.r + r.k;
    r.idx = fv.gl + (fv.ptr[s - 1] - 1);
    return r;
  };
  if (forward) {
    i64 q = 0;
    for (i64 s = 1; s <= fv.nsuper; ++s)
      for (i64 p = fv.snpan[s - 1]; p < fv.snpan[s]; ++p) {
        PanelRef r = shape(s, p);
        r.blk = fv.factor != nullptr ? fv.factor + q : nullptr;
        fn(r);
        q += parts * panel_words(r.c, r.h);
      }
  } else {
    i64 q = 0;
    for (i64 s = 1; s <= fv.nsuper; ++s)
      for (i64 p = fv.snpan[s - 1]; p < fv.snpan[s]; ++p) {
        const PanelRef r = shape(s, p);
        q += parts * panel_words(r.c, r.h);
      }
    for (i64 s = fv.nsuper; s >= 1; --s)
      for (i64 p = fv.snpan[s] - 1; p >= fv.snpan[s - 1]; --p) {
        PanelRef r = shape(s, p);
        const i64 words = panel_words(r.c, r.h);
        q -= parts * words;
        r.blk = fv.factor != nullptr ? fv.factor + q + (parts - 1) * words : nullptr;
        fn(r);
      }
  }
}

}  // namespace zephsol::sparse
