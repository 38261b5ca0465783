// Dense kernels of the symmetric front elimination: the panel kernels that
// choose 1x1 and 2x2 pivots (xdslpl, xdslpm), the kernels without pivoting
// (xdslnl, xdslnm) with their pivot test (xdslpt), their step routines, and
// the block update of the rest of the front by a panel (xdslul, xdslum).
//
// Panel: nrow x ncol doubles, panel row i being front row k+i-1 and panel
// column j front column k+j-1 (k the panel's first front column); only the
// lower trapezoid i >= j is used. Entry (i, j), 1-based, lies at
//   row-oriented (names ending in l):    (i-1)*ncol + j
//   column-oriented (names ending in m): (j-1)*nrow + i.
// After a kernel the eliminated part holds D unscaled (a 1x1 pivot d at
// (j, j); a 2x2 block at (j, j), (j+1, j), (j+1, j+1)) and the multipliers
// L = A D^-1 below it; the columns not eliminated are updated by the pivots
// taken within the panel only.
//
// Pivot-block array, one integer per panel column: 1 for a 1x1 pivot; a 2x2
// pivot at i, i+1 has entry i = 2 and entry i+1 = -p, p being the position
// of its d21 in the packed strictly lower triangle of the npiv pivot
// columns (column j holding rows j+1..npiv).
//
// Pointers address element 1 of their 1-based arrays. pert is the
// perturbation record (control words 177-181: size or small-pivot
// threshold, count, first index, smallest and largest change), negrec the
// negative-pivot record (words 189-193: mode, count, first index, smallest
// and largest negative pivot), inertia three integers (positive, negative,
// the driver's), ops1 and ops2 the operation counts of the factorisation and
// of one solution. No kernel allocates storage.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// A panel as a 1-based matrix of its orientation (Col: column-oriented).
// rs steps down a column, cs along a row.
template <bool Col, class T = double>
struct PanelView {
  T* a;
  i64 nrow, ncol;
  i64 rs() const { return Col ? 1 : ncol; }
  i64 cs() const { return Col ? nrow : 1; }
  T* at(i64 i, i64 j) const { return a + (i - 1) * rs() + (j - 1) * cs(); }
  T& operator()(i64 i, i64 j) const { return *at(i, j); }
};

// Rows of one task when a team of threads shares a product of the
// elimination (ProductTeam, zephsol/sparse/blas.h): long enough runs of
// each column, and enough tasks for the team.
constexpr i32 kTaskRows = 512;

// wt(r - r0, k - k0) := (D L(r, k0..k1)^T)(k), the unscaled entries of
// rows r0..r1 in the pivot columns k0..k1, pivot by pivot (leading
// dimension ldwt): d_k l(r, k) for a 1x1 pivot, the 2x2 block times the
// pair for a 2x2 pivot. pb(k) is the pivot block of column k (2: the first
// of a 2x2 block), pb 1-based.
template <bool Col, class T>
void form_wt(const PanelView<Col, T>& p, const iword* pb, i64 k0, i64 k1, i64 r0, i64 r1, double* wt, i64 ldwt) {
  const i64 n = r1 - r0 + 1, rs = p.rs();
  for (i64 k = k0; k <= k1;) {
    const T* x1 = p.at(r0, k);
    double* w1 = wt + (k - k0) * ldwt;
    if (pb[k] == 2) {
      const double d11 = p(k, k), d21 = p(k + 1, k), d22 = p(k + 1, k + 1);
      const T* x2 = p.at(r0, k + 1);
      double* w2 = w1 + ldwt;
      for (i64 i = 0; i < n; ++i) {
        const double a = x1[i * rs], b = x2[i * rs];
        w1[i] = d11 * a + d21 * b;
        w2[i] = d21 * a + d22 * b;
      }
      k += 2;
    } else {
      const double d = p(k, k);
      for (i64 i = 0; i < n; ++i) w1[i] = d * x1[i * rs];
      ++k;
    }
  }
}

// Threshold pivoting on a panel (row- / column-oriented): rotated candidate
// search, each candidate tried first as a 2x2 partner of earlier ones, 1x1
// accepted when tol*amax < |d|; at a root (root set, every front row fully
// summed) with pert(1) != 0 an exhausted search perturbs the remaining
// diagonal. rowidx (ncol) holds the global row index of each panel column
// and is swapped with every interchange; ipiv(jj) receives koff + the panel
// position moved to jj; cand (ncol) and dmax (ncol) are work vectors. npiv
// is the number of pivots taken; the columns npiv+1..ncol are left for the
// driver. ier is always 0.
void xdslpl(double tol, double* pert, bool root, i32 nrow, i32 ncol, i32 koff, iword* rowidx,
            double* panel, iword* pivblk, iword* cand, double* dmax, iword* ipiv, i32& npiv,
            i32* inertia, double& ops1, double& ops2, i32& ier);
void xdslpm(double tol, double* pert, bool root, i32 nrow, i32 ncol, i32 koff, iword* rowidx,
            double* panel, iword* pivblk, iword* cand, double* dmax, iword* ipiv, i32& npiv,
            i32* inertia, double& ops1, double& ops2, i32& ier);

// Elimination of all ncol columns in order, 1x1 pivots, no interchange;
// each pivot passes xdslpt. ier -1 (zero pivot) or -11 (negative pivot
// under monitoring mode 2) stops at once.
void xdslnl(double* pert, double* negrec, i32 ncol, i32 nrow, double* panel, iword* pivblk,
            i32* inertia, double& ops1, double& ops2, i32& ier);
void xdslnm(double* pert, double* negrec, i32 ncol, i32 nrow, double* panel, iword* pivblk,
            i32* inertia, double& ops1, double& ops2, i32& ier);

// Acceptance test of pivot d (in place) at panel position k; x(1), x(1+incx),
// ... are the n entries of its column below the diagonal. With a threshold
// t = pert(1) != 0 a pivot |d| < t becomes max(1, max|x|)*t; zero without
// a threshold is ier -1; negative pivots are recorded in negrec.
void xdslpt(i32 k, double& d, i32 n, const double* x, i32 incx, double* pert, double* negrec,
            i32* inertia, i32& ier);

// Symmetric interchange of panel positions i and j (rows, columns and the
// multipliers already stored left of them).
void xdslxl(i32 i, i32 j, double* panel, i32 nrow, i32 ncol);
void xdslxm(i32 i, i32 j, double* panel, i32 nrow, i32 ncol);
// 2x2 elimination step at positions jj, jj+1.
void xdsldl(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia);
void xdsldm(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia);
// 1x1 elimination step at position jj.
void xdslel(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia);
void xdslem(i32 jj, double* panel, i32 nrow, i32 ncol, i32* inertia);

// Block update F22 := F22 - L2 D L2^T of the ntrail = nrow - ncol trailing
// rows and columns by the npiv pivots of a panel; F22 is packed by columns,
// lower part (column m holds rows m..ntrail and starts at
// 1 + (m-1)*ntrail - (m-1)*(m-2)/2).
// Row-oriented: groups of three columns and dot products; w holds 3*npiv.
void xdslul(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail,
            double* f22, double* w, double& ops1);
// Column-oriented: W = L2 D for every trailing row (in scratch of the
// calling thread), W2 = L2 W^T by DGEMM for a block of columns, then one
// DAXPY per column (nbu below 1 counts as 1). Up to nbu trailing columns
// are one block with W2 in w2 (ntrail*nbu; w1 is not used); more are
// updated in wide blocks whose diagonal squares are formed in slices of nbu
// columns, in scratch of the calling thread.
void xdslum(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk,
            i32 ntrail, double* f22, double* w1, double* w2, double& ops1);

// The trailing columns as the updates reach them: prepare(first, last)
// makes columns first..last addressable (0, or a code that ends the
// update), column(m) gives column m's diagonal; the columns of one call
// of prepare are used before the next.
class TrailColumns {
 public:
  virtual i32 prepare(i32 first, i32 last) = 0;
  virtual double* column(i32 m) = 0;

 protected:
  ~TrailColumns() = default;
};
// The trailing columns of a triangle packed in memory.
class PackedColumns final : public TrailColumns {
 public:
  PackedColumns(double* f22, i32 ntrail) : f22_(f22), ntrail_(ntrail) {}
  i32 prepare(i32, i32) override { return 0; }
  double* column(i32 m) override { return f22_ + ((m - 1) * static_cast<i64>(ntrail_) - (m - 1) * static_cast<i64>(m - 2) / 2); }

 private:
  double* f22_;
  i32 ntrail_;
};
// The same updates on columns reached through `cols` (the row-oriented
// update prepares groups of three, the column-oriented one each column);
// a code from prepare is returned at once.
i32 xdslul_on(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail, TrailColumns& cols,
              double* w);
i32 xdslum_on(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail,
              TrailColumns& cols, double* w1, double* w2);
// Operations counted for one block update.
double update_flops(i32 npiv, i32 ntrail);

// The product L W^T of k pivots: l and wt hold, one column per pivot, the
// multipliers and the unscaled entries (D times the multipliers) of the
// same rows, leading dimensions ldl and ldw, row 1 the first row updated.
struct TrailProduct {
  i32 k;
  const double* l;
  i64 ldl;
  const double* wt;
  i64 ldw;
};
// F22 -= L W^T on the packed lower triangle of order ntrail (as xdslum
// lays it out), in the blocks of the column-oriented update (nbu the width
// of the slices of each block's diagonal square).
void packed_update(const TrailProduct& u, i32 ntrail, i32 nbu, double* f22);
// The same product on columns reached through `cols`, in blocks of nbu
// columns whose products go to w2 (ntrail x nbu words); a code from
// prepare is returned at once.
i32 trail_on(const TrailProduct& u, i32 ntrail, i32 nbu, TrailColumns& cols, double* w2);
// A -= L W^T on the lower trapezoid of a dense column-major rows x wd
// matrix (leading dimension lda), rows of the product from row 1; the
// strict upper triangle of A's leading square stays zero.
void dense_update(const TrailProduct& u, i32 rows, i32 wd, double* a, i64 lda);

}  // namespace zephsol::sparse
