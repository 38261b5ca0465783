// The numerical factorisation P A P^T = L D U of a matrix declared
// unsymmetric (symmetric structure, unsymmetric values): the multifrontal
// driver (hdslu2), the assembly of a front in work (hdslus) or on the front
// file (hdslut), its elimination panel by panel in work (hdslue) or on the
// front file (hdsluo), and the dense kernels (xdslpv, xdslpu and their step
// routines, xdslbu, xdsldh).
//
// Every front is held as two packed lower triangles of its order nf, by
// columns: the L triangle holds a(i, j), i >= j, the U triangle a(j, i),
// i >= j (row j of the upper part stored as its column j; its diagonal is
// carried along but never read). Front positions: the supernode's own
// columns, the delayed columns of its children, then its index rows. Pivots
// are diagonal entries only (1x1); a candidate is accepted when its
// magnitude exceeds pvttol times the largest other entry of its column.
//
// Update-matrix stack entry of order u = ndel + nrow: ndel words holding
// the equations of the delayed columns (integers, two to a word), the L
// triangle and the U triangle of the update (T(u) words each), the delayed
// columns first in both.
//
// Factor: the panels of the symmetric path, each twice: its L part (the
// strictly lower triangle of the pivot block and the rows below it, by
// columns, multipliers a(i, j)/d_j) and its U part of the same shape
// holding a(j, i)/d_j. In work each L part is followed by its U part; on
// file the L parts go to the factor file (lunit3) and the U parts to the
// second factor file (lunit5) at the same word addresses.
#pragma once

#include "zephsol/sparse/factor.h"
#include "zephsol/sparse/kernels.h"
#include "zephsol/sparse/outcore.h"

namespace zephsol::sparse {

// The LU driver: the symmetric driver's codes, drv::factor2_io among them for a write failure
// on the second factor file while the factor leaves work. fwords returns the
// words of one part.
i32 hdslu2(const Work& w, FactorArgs& a);

// Writes every update matrix held in work to the stack file (lunit4)
// behind the entries there. False on a write failure.
bool hdslui(const Work& w, FactorArgs& a, i64 depth);

// Assembly of a front in work: t is the first word of its L triangle (the U
// triangle follows T(nf) words later once opened).
i32 hdslus(const Work& w, FactorArgs& a, const Front& f, i64& depth, i64& lowest);

// Assembly of a front on the front file (lunit6), its L triangle from word
// 1 and its U triangle T(nf) words further on, built in blocks of columns
// in the two halves of the stack area; every child is on the stack file.
// Codes as hdslft's.
i32 hdslut(const Work& w, FactorArgs& a, const Front& f, i64& depth);

// Where the elimination of an LU front finds it: load copies front
// columns k..k+wd-1 of both triangles with all their rows into the L and
// U panels (zeros above the diagonal), update applies the p pivots to the
// columns l+1..nf behind the panel, put_back returns the columns without
// a pivot, swap exchanges two live variables of a root front (columns
// from k on); a code other than 0 ends the elimination.
class LuFrontStore {
 public:
  virtual i32 load(i64 k, i64 wd, i64 rows, double* lp, double* up) = 0;
  virtual i32 update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* lp, const double* up, double* wk) = 0;
  virtual i32 put_back(i64 p, i64 k, i64 wd, i64 rows, const double* lp, const double* up) = 0;
  virtual i32 swap(i64 k, i64 i, i64 j) = 0;

 protected:
  ~LuFrontStore() = default;
};

// The elimination of an LU front panel by panel wherever it is held
// (record: nf integers; lp, up: nf pb doubles each; wk: the work area of
// max(cb, 2) nf doubles); nelim returns the pivots taken. Codes: -1 zero
// pivot, -11 negative pivot under monitoring, -2 factor file, -12 a panel
// not written to the second factor file, or the store's code.
i32 lu_eliminate(const Work& w, FactorArgs& a, const Front& f, LuFrontStore& store, iword* record, double* lp,
                 double* up, double* wk, i64& nelim);

// Elimination of a front in work; codes as lu_eliminate's.
i32 hdslue(const Work& w, FactorArgs& a, const Front& f, i64& nelim);

// Elimination of the front on the front file, the factor panels going to
// the two factor files, and its update matrix (the delayed columns'
// equations, then both triangles) copied to the stack file at its next
// word (returned in addr). Codes as lu_eliminate's, and -3 stack file,
// -4 front file, -20 the panels and work area do not fit the stack area.
i32 hdsluo(const Work& w, FactorArgs& a, const Front& f, i64& nelim, i64& addr);

// Stores the factor of the p pivots of a panel of `rows` rows: the pivots
// into diag, the L part and the U part into the factor area at word `at`
// of it (xdslpk), or to the two factor files at their next word (xdslff,
// always when the factor is not in work). 0, -2 (lunit3) or -3 (lunit5).
i32 xdslpk(const Work& w, FactorArgs& a, i64 p, i64 rows, const double* lp, const double* up, double* diag, i64 at);
i32 xdslff(const Work& w, FactorArgs& a, i64 p, i64 rows, const double* lp, const double* up, double* diag);

// Writes the factor of supernodes 1..upto-1 held in the factor area to the
// factor files from their next word (L parts to lunit3, U parts to lunit5)
// and gives the area to the stack: 0, -5 (lunit3) or -12 (lunit5).
i32 lu_factor_to_files(const Work& w, FactorArgs& a, i64 upto);

// The panels of an LU factor on its two files, through one buffer: forwards
// their L parts from lunit3, backwards their U parts from lunit5.
class LuFilePanels final : public PanelSource {
 public:
  LuFilePanels(const FactorView& fv, i32 lunit3, i32 lunit5, double* buf, i64 buflen, i64& words)
      : l_(fv, lunit3, buf, buflen, words), u_(fv, lunit5, buf, buflen, words) {}
  bool walk(bool forward, const std::function<void(const PanelRef&)>& fn) override {
    const bool ok = forward ? l_.walk(true, fn) : u_.walk(false, fn);
    if (!ok) u_failed_ = !forward;
    return ok;
  }
  // The read that failed was one of lunit5.
  bool u_failed() const { return u_failed_; }

 private:
  FilePanels l_, u_;
  bool u_failed_ = false;
};

// Reads a factor on the factor files back into work at dst, panel after
// panel, each L part followed by its U part: 0, or 1 / 2 for a read
// failure on lunit3 / lunit5.
i32 xdslrb(i64 nsuper, const iword* snpan, const iword* ptr, const iword* panpart, i32 lunit3, i32 lunit5,
           double* dst);

// Kernels on an L panel and a U panel of m rows and n columns (leading
// dimension m, lower trapezoid used).
// All n columns in order, no interchange; each pivot passes xdslpt. ier -1
// (zero pivot) or -11 (negative pivot under monitoring mode 2).
void xdslpv(double* pert, double* negrec, i32 n, i32 m, double* lp, double* up, iword* pivblk, double& ops1,
            double& ops2, i32& ier);
// Threshold pivoting on diagonal entries, left-looking inside the panel,
// the remaining columns updated two pivots at a time. rowidx (n) is swapped
// with every interchange; ipiv(k) := koff + the panel position moved to k;
// wv holds m doubles. nelim: the pivots taken; at a root (root set) with
// pert(1) != 0 an exhausted search perturbs the remaining diagonal.
void xdslpu(double u, double* pert, bool root, i32 m, i32 n, i32 koff, iword* rowidx, double* lp, double* up,
            iword* pivblk, double* wv, iword* ipiv, i32& nelim, double& ops1, double& ops2, i32& ier);
// Largest |x(i)| of n entries spaced |incx| apart; 0.0 when n < 1.
double xdslvx(i32 n, const double* x, i32 incx);
// Symmetric interchange of panel positions k and c, wv (the updated
// candidate column of c) installed as the new column k.
void xdslxu(i32 k, i32 c, const double* wv, double* lp, double* up, i32 m, i32 n);
// Columns je+1..n of both panels updated by the pending pivots jb..je.
void xdslr2(i32 jb, i32 je, i32 m, i32 n, double* lp, double* up);
// The r trailing columns of both packed triangles (lt, ut: order r)
// updated by the nelim pivots of a panel of n columns, in blocks of cb
// columns; w1 holds nelim cb, w2 r cb doubles.
void xdslbu(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* up, i32 r, double* lt, double* ut,
            double* w1, double* w2, double& ops1);
// One triangle of that update on columns reached through `cols`: self
// is the panel of that triangle, other the panel whose rows, times D (the
// diagonal of lp), form W1; each block of columns is prepared before its
// columns are reduced. A code from prepare is returned at once.
i32 xdslbu_on(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* self, const double* other, i32 r,
              TrailColumns& cols, double* w1, double* w2);
// Operations counted for one update of both triangles.
double lu_update_flops(i32 nelim, i32 r);
// The same update of both triangles on the front file: the trailing L part
// from word addr, the U part tnf words further on, each through a window
// of the buffer (bfrlen words) that moves forward. 0, -2 write failure,
// -3 read failure; a block of cb columns longer than the buffer stops the
// run. transfers counts the words moved.
i32 xdsldh(i32 nelim, i32 n, i32 m, i32 cb, const double* lp, const double* up, i32 r, i64 bfrlen, double* buffer,
           i64 tnf, i64 addr, i32 lunit6, i64& transfers, double* w1, double* w2, double& ops1);

}  // namespace zephsol::sparse
