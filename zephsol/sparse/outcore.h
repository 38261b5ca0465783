// The file paths of the numerical factorisation and solution: the
// update-matrix stack spilled to the stack file (wafil2), fronts built and
// eliminated on the front file (lunit6), matrix entries read from the value
// file (lunit1), and the solution and condition estimate with the factor on
// the factor file (wafil1).
//
// Every file here is a double file of the library (records of 1024 double
// words, addressed by word from 1). Transfers are runs of as many whole
// columns, panels or words as the buffer holds.
#pragma once

#include <functional>

#include "zephsol/sparse/factor.h"
#include "zephsol/sparse/kernels.h"

namespace zephsol::sparse {

// Columns of a packed triangle on a double file, column j holding
// len1 - j + 1 words from addr + (j-1) len1 - (j-1)(j-2)/2, read through a
// buffer in runs of whole columns. Columns are asked for in increasing
// order; columns skipped are not read. Words read are added to `words`.
class ColumnReader {
 public:
  ColumnReader(i32 unit, i64 addr, i64 len1, i64 ncols, double* buf, i64 buflen, i64& words)
      : unit_(unit), addr_(addr), len1_(len1), ncols_(ncols), buf_(buf), buflen_(buflen), words_(words) {}
  // Column j, or nullptr on a read failure (failed() true) or when the
  // column alone is longer than the buffer.
  const double* column(i64 j);
  bool failed() const { return failed_; }

 private:
  i64 start(i64 j) const { return (j - 1) * len1_ - (j - 1) * (j - 2) / 2; }
  i32 unit_;
  i64 addr_, len1_, ncols_;
  double* buf_;
  i64 buflen_;
  i64& words_;
  i64 first_ = 0, last_ = -1;  // columns in the buffer
  bool failed_ = false;
};

// Whole columns of decreasing lengths e, e-1, ... that fit in r words
// (at most `left`).
i64 columns_that_fit(i64 e, i64 r, i64 left);

// A double file's word address as the (record, offset) pair of the
// transfer routines, and transfers at a word address.
bool file_read(i32 unit, i64 addr, i64 n, double* v);
bool file_write(i32 unit, i64 addr, i64 n, const double* v);

// A stacked child of the current front: its directory entry and where
// its words are (pos, a stack-area word, 0 when on the stack file at addr).
struct StackedChild {
  i64 nr = 0, old = 0, nd = 0, pos = 0, addr = 0;
};
StackedChild stacked_child(const Work& w, const FactorArgs& a, i64 e);

// Writes every stack entry held in work to the stack file behind the
// entries already there (entries of `triangles` update triangles: 2 on the
// LU path). False on a write failure.
bool hdslfi(const Work& w, FactorArgs& a, i64 depth, i64 triangles = 1);

// Adds a child's triangle of its index rows on the stack file into the
// front of order ld, as xdslea does from work. False on a read failure.
bool xdslef(const Work& w, FactorArgs& a, const StackedChild& c, const iword* rel, i64 ld, double* front);

// The input-matrix entries of the own columns of front f: their places
// in the structural front (order ncol + nrow) and values, in work or read
// from the value file into the value buffers. 0, or -2 on a read failure.
struct FrontEntries {
  const iword* pos = nullptr;
  const double* val = nullptr;
  i64 first = 0;  // entry number of the first (xrelin numbering)
  i64 count = 0;
};
i32 front_entries(const Work& w, FactorArgs& a, const Front& f, FrontEntries& fe);
// Adds them (by their places in the structural front of order ld; on the
// LU path the entries above the diagonal lie in the U triangle that
// follows) and the own columns' diagonal into the structural front.
void xdslao(const Work& w, const FactorArgs& a, const Front& f, const FrontEntries& fe, i64 ld, double* front,
            double& ops);

// Where the elimination of a front finds it: load copies front columns
// k..k+wd-1 with all their rows into the panel (zeros above the
// diagonal), update applies the panel's p pivots to the columns behind it
// (l+1..nf), put_back returns the panel columns without a pivot to the
// front, swap exchanges two variables of a root front; a code other than
// 0 ends the elimination.
class FrontStore {
 public:
  virtual i32 load(i64 k, i64 wd, i64 rows, double* panel) = 0;
  virtual i32 update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
                     double* wblk) = 0;
  virtual i32 put_back(i64 p, i64 k, i64 wd, i64 rows, const double* panel) = 0;
  // Exchanges the live variables i < j (columns from k on): 0 or a code.
  virtual i32 swap(i64 k, i64 i, i64 j) = 0;
  // After the last panel: every update the store let wait is made.
  virtual i32 settle() { return 0; }

 protected:
  ~FrontStore() = default;
};

// A front store whose column-oriented elimination lets the updates of
// whole panels wait: a panel's update of the columns behind it is kept
// until the next panel is loaded, which takes the waiting updates of its
// own columns as one product, or until enough pivots wait, when the rest
// of the front takes them together: fewer passes over the front's
// trailing triangle, in longer products. A panel with columns left over,
// an interchange of live variables and the end of the front make every
// waiting update first. Both stores do the same arithmetic on each entry.
class WaitingStore : public FrontStore {
 public:
  WaitingStore(i64 orient, i64 nf, i64 npiv);
  i32 load(i64 k, i64 wd, i64 rows, double* panel) final;
  i32 update(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
             double* wblk) final;
  i32 put_back(i64 p, i64 k, i64 wd, i64 rows, const double* panel) final;
  i32 swap(i64 k, i64 i, i64 j) final;
  i32 settle() final;

 protected:
  ~WaitingStore() = default;
  // The store's own transfers and updates, as FrontStore names them.
  virtual i32 read(i64 k, i64 wd, i64 rows, double* panel) = 0;
  virtual i32 write(i64 p, i64 k, i64 wd, i64 rows, const double* panel) = 0;
  virtual i32 exchange(i64 k, i64 i, i64 j) = 0;
  // The panel's update of the front columns after l, made now, counted.
  virtual i32 direct(i64 p, i64 wd, i64 rows, i64 l, i64 rest, const double* panel, const iword* pivblk,
                     double* wblk) = 0;
  // The product u made on front positions pos..nf (not counted).
  virtual i32 take(const TrailProduct& u, i64 pos) = 0;
  virtual double& ops() = 0;

 private:
  i32 make_waiting(i64 pos);
  i64 orient_, nf_, npiv_;
  i64 k_ = 0, wd_ = 0, rows_ = 0;  // the panel loaded last
  const double* panel_ = nullptr;
  bool stale_ = false;  // it holds updates its columns in the front lack
};

// The elimination of a front panel by panel (record: nf integers of the
// interchange record; panel: nf blk doubles; wblk: the work block); nelim
// returns the pivots taken. Codes: -1 zero pivot, -11 negative pivot under
// monitoring, -2 factor file, or the store's code.
i32 eliminate(const Work& w, FactorArgs& a, const Front& f, FrontStore& store, iword* record, double* panel,
              double* wblk, i64& nelim);

// The storage code of a transfer buffer too short for what must be in it.
constexpr i32 kNoRoom = -20;

// Start (0-based word) of column m of a packed triangle of order n.
constexpr i64 colstart(i64 n, i64 m) { return (m - 1) * n - (m - 1) * (m - 2) / 2; }

// The trailing triangle of order ntrail packed on a double file from word
// base, held in a buffer window that moves forward: columns already passed
// are written back, the words still valid moved to the buffer's head, and
// the rest of the buffer filled from the file in one read. prepare: 0, -2
// write, -3 read, kNoRoom when the columns are longer than the buffer;
// flush writes the window back at the end (0 or -2). words counts the
// words moved.
class FileWindow final : public TrailColumns {
 public:
  FileWindow(i32 unit, i64 base, i64 ntrail, double* buf, i64 len, i64& words)
      : unit_(unit), base_(base), n_(ntrail), buf_(buf), len_(len), words_(words) {}
  i32 prepare(i32 first, i32 last) override;
  double* column(i32 m) override;
  i32 flush();

 private:
  i32 unit_;
  i64 base_, n_;
  double* buf_;
  i64 len_;
  i64& words_;
  i64 lo_ = 0, fill_ = 0;
};

// Columns k..k+wd-1 (rows k..nf) of a triangle of order nf packed on the
// front file from word base, into a panel of `rows` rows (column-oriented
// when orient != 0, zeros above the diagonal), read through buf; and the
// panel columns p+1..wd written back. 0, -4 front file, kNoRoom.
i32 front_columns_in(FactorArgs& a, i64 nf, i64 base, i64 orient, i64 k, i64 wd, i64 rows, double* panel,
                     double* buf, i64 len);
i32 front_columns_out(FactorArgs& a, i64 nf, i64 base, i64 orient, i64 p, i64 k, i64 wd, i64 rows,
                      const double* panel, double* buf, i64 len);

// The transfer buffer of a front on the front file: the stack area behind
// word `end` when that is longer than the i/o buffer, else the i/o buffer.
struct TransferBuffer {
  double* buf;
  i64 len;
};
TransferBuffer transfer_buffer(const Work& w, const FactorArgs& a, i64 end);

// The update matrix of a front eliminated on the front file (nelim pivots
// taken) to the stack file at its next word, returned in addr: the
// delayed columns' equations, then of each of its `parts` triangles (the
// second T(nf) words after the first on the front file) the trailing
// triangle from column nelim+1. 0, -3 stack file, -4 front file.
i32 update_to_stack(const Work& w, FactorArgs& a, const Front& f, i64 nelim, i64 parts, const TransferBuffer& tb,
                    i64& addr);

// The block updates of xdslul (row-oriented) and xdslum (column-oriented)
// on a trailing triangle of order ntrail packed on a double file from word
// addr, through a buffer of bfrlen words: a window that moves forward,
// each refill reading as much of the rest as fits after the words still
// valid, finished columns written back first. The column-oriented update
// needs one column in the buffer at a time, the row-oriented one a group
// of three. Codes: 0, -2 write, -3 read, -20 a group longer than the
// buffer (nothing is written past it). transfers counts the words moved.
i32 xdslej(i32 npiv, i32 ncol, i32 nrow, const double* panel, const iword* pivblk, i32 ntrail, i64 bfrlen,
           double* buffer, i64 addr, i32 lunit6, i64& transfers, double* w, double& ops1);
i32 xdslun(i32 npiv, i32 ncol, i32 nrow, i32 nbu, const double* panel, const iword* pivblk, i32 ntrail, i64 bfrlen,
           double* buffer, i64 addr, i32 lunit6, i64& transfers, double* w1, double* w2, double& ops1);

// Out-of-core assembly: the front of order nf built block of columns by
// block of columns in the stack area and written to the front file from
// word 1 (children all on the stack file). Pops the children; the stack
// file's next word becomes the lowest of their addresses. Codes: -1 stack
// file, -2 value file, -3 front file, -20 a column longer than the area.
i32 hdslft(const Work& w, FactorArgs& a, const Front& f, i64& depth);

// Out-of-core elimination of the front on the front file; the update
// matrix and the delayed columns' rows go to the stack file at its next
// word (returned in `addr`). Codes as hdslfe's, and -3 stack file, -4
// front file, -20 a group of columns longer than the transfer buffer.
i32 hdslfo(const Work& w, FactorArgs& a, const Front& f, i64& nelim, i64& addr);

// The panels of the factor in order or in reverse order, from work or
// read through a buffer from the factor file. walk() returns false on a
// read failure.
class PanelSource {
 public:
  virtual bool walk(bool forward, const std::function<void(const PanelRef&)>& fn) = 0;

 protected:
  ~PanelSource() = default;
};

class CorePanels final : public PanelSource {
 public:
  explicit CorePanels(const FactorView& fv) : fv_(fv) {}
  bool walk(bool forward, const std::function<void(const PanelRef&)>& fn) override {
    for_each_panel(fv_, forward, fn);
    return true;
  }

 private:
  const FactorView& fv_;
};

// Forward: as many consecutive panels as the buffer holds per read, the
// file read forwards; backward: likewise backwards from the end.
class FilePanels final : public PanelSource {
 public:
  FilePanels(const FactorView& fv, i32 unit, double* buf, i64 buflen, i64& words)
      : fv_(fv), unit_(unit), buf_(buf), buflen_(buflen), words_(words) {}
  bool walk(bool forward, const std::function<void(const PanelRef&)>& fn) override;

 private:
  const FactorView& fv_;
  i32 unit_;
  double* buf_;
  i64 buflen_;
  i64& words_;
};

// Both passes of the solution and the condition estimate on panels of a
// source; false on a read failure.
bool solve_passes(PanelSource& src, const FactorView& fv, i64 nrhs, i64 ld, double* rhs, double* t);
bool condition_estimate(PanelSource& src, const FactorView& fv, double anorm, double* z, double* t, double& cond);

// Both passes, and the condition estimate, with the factor on the factor
// file (lunit3) read through buf (len words, at least the largest panel);
// words counts the words read. 0, or -1 on a read failure.
i32 xdslsx(const FactorView& fv, i32 lunit3, i64 nrhs, i64 ld, double* rhs, double* t, double* buf, i64 len,
           i64& words);
i32 xdslcx(const FactorView& fv, i32 lunit3, double anorm, double* z, double* t, double* buf, i64 len, i64& words,
           double& cond);

}  // namespace zephsol::sparse
