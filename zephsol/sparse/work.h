// The work array of the sparse library and its control block.
//
// Everything one problem needs between the entries lives in one array of
// double words, `work`, numbered from 1. Words 1-200 are the control block
// `dslctl`: control word k (0-199) is work(k+1), a number held as a double
// and truncated toward zero when it is used as an integer. Integer arrays
// share the same storage, two 4-byte integers to a double word (the first in
// the low-addressed half), and are located by the position of their first
// double word, so one stretch serves as integers in one phase and as doubles
// in another.
//
// Access goes through `Work` and the 1-based views `IVec` and `DVec`. While
// assertions are on (every build but one defining NDEBUG) each access is
// checked: a view against its own length, a view's creation against lwork.
// Kernels take a view of their stretch once and then work on its raw pointer
// (`data()`), so the checks cost nothing inside their loops.
#pragma once

#include <cstdint>
#include <cstring>

namespace zephsol::sparse {

using i32 = std::int32_t;
using i64 = std::int64_t;

// An integer of the work array. Integers and doubles share the storage, so
// integer accesses are declared as aliasing anything: the compiler may not
// reorder them across double accesses of the same words.
using iword = std::int32_t __attribute__((__may_alias__));

#ifdef NDEBUG
inline constexpr bool kChecked = false;
#else
inline constexpr bool kChecked = true;
#endif

// An access outside its array: one line on unit 6 and an abort (a fault of
// the library, never of the caller's data).
[[noreturn]] void range_fault(const char* what, i64 pos, i64 n, i64 limit);

// A double truncated toward zero; values beyond the 64-bit range (and NaN)
// are clamped, never undefined.
constexpr i64 trunc_int(double v) noexcept {
  if (!(v > -9.2e18)) return v != v ? 0 : INT64_MIN;
  if (v >= 9.2e18) return INT64_MAX;
  return static_cast<i64>(v);
}

// Double words that hold m integers, and integers that k double words hold.
constexpr i64 xisl2d(i64 m) noexcept { return (m + 1) / 2; }
constexpr i64 xdsl2i(i64 k) noexcept { return 2 * k; }

// Element types of the views. An attribute is lost when its type is passed
// as a template argument, so the views take these holders instead.
struct IntElem {
  using type = iword;
};
struct DoubleElem {
  using type = double;
};

// A 1-based view of n elements: v(1) ... v(n).
template <class Elem>
class Vec1 {
 public:
  using T = typename Elem::type;
  Vec1() = default;
  Vec1(T* p, i64 n) noexcept : p_(p), n_(n) {}

  T& operator()(i64 k) const noexcept {
    if constexpr (kChecked)
      if (k < 1 || k > n_) range_fault("element", k, 1, n_);
    return p_[k - 1];
  }
  // Pointer to element k; k = n+1 gives the end.
  T* at(i64 k) const noexcept {
    if constexpr (kChecked)
      if (k < 1 || k > n_ + 1) range_fault("element", k, 0, n_);
    return p_ + (k - 1);
  }
  // Elements k ... k+len-1 as a view of their own.
  Vec1 sub(i64 k, i64 len) const noexcept {
    if constexpr (kChecked)
      if (len < 0 || k < 1 || k - 1 + len > n_) range_fault("stretch", k, len, n_);
    return {p_ + (k - 1), len};
  }
  T* data() const noexcept { return p_; }
  i64 size() const noexcept { return n_; }

 private:
  T* p_ = nullptr;
  i64 n_ = 0;
};

using IVec = Vec1<IntElem>;
using DVec = Vec1<DoubleElem>;

// The work array of `lwork` double words.
class Work {
 public:
  Work(double* base, i64 lwork) noexcept : base_(base), lwork_(lwork) {}

  i64 lwork() const noexcept { return lwork_; }
  double* base() const noexcept { return base_; }

  // Control word k of `dslctl` (0-199), and its value truncated toward zero.
  double& ctl(int k) const noexcept { return d(k + 1); }
  i64 ictl(int k) const noexcept { return trunc_int(ctl(k)); }
  void set(int k, double v) const noexcept { ctl(k) = v; }

  // The double word at position pos.
  double& d(i64 pos) const noexcept {
    check(pos, 1);
    return base_[pos - 1];
  }
  // n doubles from position pos.
  DVec dbl(i64 pos, i64 n) const noexcept {
    check(pos, n);
    return {base_ + (pos - 1), n};
  }
  // n integers of the array whose first double word is pos.
  IVec ints(i64 pos, i64 n) const noexcept {
    check(pos, xisl2d(n));
    return {reinterpret_cast<iword*>(base_ + (pos - 1)), n};
  }

 private:
  void check([[maybe_unused]] i64 pos, [[maybe_unused]] i64 words) const noexcept {
    if constexpr (kChecked)
      if (words < 0 || pos < 1 || pos - 1 + words > lwork_) range_fault("work", pos, words, lwork_);
  }
  double* base_;
  i64 lwork_;
};

// Word positions of arrays placed back to back from a first word.
class WordLayout {
 public:
  explicit WordLayout(i64 start) noexcept : next_(start) {}
  // The position of an array of `words` double words.
  i64 take(i64 words) noexcept {
    const i64 at = next_;
    next_ += words;
    return at;
  }
  // The last word taken so far.
  i64 end() const noexcept { return next_ - 1; }

 private:
  i64 next_;
};

// Moves count integers of the work array from position `from` to `to`
// (double-word positions; the ranges may overlap).
inline void move_ints(const Work& w, i64 from, i64 to, i64 count) {
  if (count > 0 && from != to)
    std::memmove(w.ints(to, count).data(), w.ints(from, count).data(), static_cast<std::size_t>(count) * 4);
}

// The control words (`dslctl`). Several words change meaning from phase to
// phase; each meaning has its own name, and a phase reads a word only as
// the phase that last wrote it left it.
namespace cw {
// Words with a fixed role for the whole library.
inline constexpr int stage = 0;
inline constexpr int mtype = 1;   // 1.0 symmetric, 2.0 unsymmetric
inline constexpr int last = 3;    // last word of the arrays later phases need
inline constexpr int need = 4;    // work-space figure of the latest phase
inline constexpr int peak = 5;    // largest number of words used so far
inline constexpr int msglvl = 6;
inline constexpr int msgunit = 7;
inline constexpr int lunit1 = 10;
inline constexpr int lunit2 = 11;
inline constexpr int bentry_unit = 12;  // unit of a full second matrix's processed entries (the caller's)
inline constexpr int lunit3 = 15;
inline constexpr int lunit4 = 16;
inline constexpr int bvalue_unit = 17;  // unit of a full second matrix's value file (the caller's)
inline constexpr int lunit5 = 18;
inline constexpr int lunit6 = 19;
inline constexpr int neqns = 20;
// Processor seconds of the six phases (structural input keeps its start
// reading in cpu_input until xdslif), and their elapsed seconds (0.0).
inline constexpr int cpu_input = 100;
inline constexpr int cpu_order = 101;
inline constexpr int cpu_symbolic = 102;
inline constexpr int cpu_values = 103;  // from the first xdslvm of a cycle on
inline constexpr int cpu_factor = 104;
inline constexpr int cpu_solve = 105;  // per right-hand side of the last solution
inline constexpr int wall_input = 107;
inline constexpr int wall_order = 108;
inline constexpr int wall_symbolic = 109;
inline constexpr int wall_values = 110;
inline constexpr int wall_factor = 111;
inline constexpr int wall_solve = 112;

// Structural input (xdslim), read by xdslif.
inline constexpr int npairs = 21;    // pairs in the input buffer
inline constexpr int nnzb = 22;      // off-diagonal entries given for the second matrix (summed over calls)
inline constexpr int cap = 23;       // capacity of each input buffer (of the value buffers in value input)
inline constexpr int runs = 54;      // pair runs written to the pair file
inline constexpr int lastcol = 55;   // column of the last pair of the latest run written
inline constexpr int overlap = 56;   // 1 once a run began at a column not above the previous run's last
inline constexpr int flushbuf = 57;  // position of the flush's scratch array
inline constexpr int collst = 70;    // position of the buffered columns (smaller index of each pair)
inline constexpr int rowlst = 71;    // position of the buffered rows (larger index of each pair)

// Compression (xdslif).
inline constexpr int nnz = 21;       // distinct off-diagonal pairs (entries of the system matrix once distributed)
inline constexpr int ncomp = 26;     // compressed nodes
inline constexpr int nzcomp = 27;    // connections between compressed nodes, each counted once
inline constexpr int xadj = 60;      // position of the compressed adjacency pointers (n+1)
inline constexpr int adjncy = 61;    // position of the compressed adjacency lists (2 nzcomp)
inline constexpr int cptr = 133;     // position of the compressed row list pointers (ncomp+1)
inline constexpr int members = 134;  // position of the compressed row list (n equations)
inline constexpr int cmpmap = 135;   // position of the compression map (n)

// Ordering (xdslom).
inline constexpr int maxzer_used = 24;   // amalgamation limit used
inline constexpr int symneed = 25;       // work space of the symbolic factorisation
inline constexpr int nzlf = 30;          // non-zeros of L below the diagonal (a double)
inline constexpr int nsuper = 31;        // supernodes
inline constexpr int nsnind = 32;        // total length of the supernodal index sets
inline constexpr int mxnind = 34;        // largest front order
inline constexpr int snmson = 35;        // largest number of child supernodes
inline constexpr int mstack = 36;        // largest number of update matrices on the stack
inline constexpr int stkstr = 37;        // real stack storage
inline constexpr int mxtri = 38;         // largest diagonal-block triangle
inline constexpr int mfront = 39;        // largest front (packed lower triangle with diagonal)
inline constexpr int mxtotf = 40;        // largest trapezoid
inline constexpr int incore_need = 41;   // work space of an in-core factorisation (0 when not usable)
inline constexpr int outcore_need = 53;  // work space of a factorisation through the files
inline constexpr int perm = 62;          // position of the new-to-old permutation (n)
inline constexpr int invp = 63;          // position of the old-to-new permutation (n)
inline constexpr int part = 64;          // position of the supernode partition (nsuper+1)
inline constexpr int nassem = 65;        // position of the assemblies (children) of each supernode
inline constexpr int snptr = 66;         // position of the supernodal index pointers (nsuper+1)
inline constexpr int ops_factor = 114;   // factor operations
inline constexpr int ops_solve = 115;    // solve operations

// Symbolic factorisation (xdslsf).
inline constexpr int fixed_figure = 45;     // words of the factorisation's fixed arrays (kept, read by none)
inline constexpr int solve_figure = 46;     // words of the solution's arrays (kept, read by none)
inline constexpr int value_figure_b = 54;   // value-input figure B
inline constexpr int papt_ptr = 60;         // position of the column pointers of the lower triangle of P A P^T
inline constexpr int relind = 67;           // position of the relative indices of L (0 when on lunit2)
inline constexpr int gidx = 79;             // position of the global indices of L (0 when on lunit2)
inline constexpr int snentries = 97;        // largest number of matrix entries in the columns of one supernode
inline constexpr int value_figure_a = 187;  // value-input figure A

// Value input (xdslvm): the buffers of the system matrix and of a full
// second matrix ("_b"), and their value files.
inline constexpr int vcount = 54;     // entries in the buffer
inline constexpr int vsegs = 55;      // segments written to the value file
inline constexpr int vsegstart = 56;  // position of the segment starts
inline constexpr int vseglen = 57;    // position of the segment lengths
inline constexpr int sortbuf = 58;    // position of the sort keys, sort values and row buckets
inline constexpr int vcount_b = 59;
inline constexpr int vvals = 69;  // position of the buffered values
inline constexpr int vrows = 70;  // position of the buffered rows
inline constexpr int vkeys = 71;  // position of the buffered keys
inline constexpr int vrows_b = 73;
inline constexpr int vkeys_b = 74;
inline constexpr int vvals_b = 75;
inline constexpr int diagp = 76;  // position of the system matrix's diagonal, new numbering
inline constexpr int diagb = 77;  // position of the second matrix's diagonal (1 when none)
inline constexpr int vsegs_b = 184;
inline constexpr int vsegstart_b = 185;
inline constexpr int vseglen_b = 186;

// Value distribution (xdslvf): the entries of each matrix in the fronts.
inline constexpr int records = 59;  // records written on lunit1 (0 when the entries stay in work)
inline constexpr int xrelin = 60;   // position of the row pointers over the entries (n+1)
inline constexpr int entvals = 69;  // position of the entries' values (0 when on file)
inline constexpr int entrows = 71;  // position of the entries' row indices (0 when on file)
inline constexpr int xrelin_b = 73;
inline constexpr int entrows_b = 74;
inline constexpr int entvals_b = 75;
inline constexpr int relent = 81;  // position of the entries' relative indices (0 when on file)
inline constexpr int relent_b = 90;
inline constexpr int norm = 95;        // largest absolute row sum of the system matrix
inline constexpr int records_b = 184;  // records written on the second matrix's entry unit

// Numerical factorisation (xdslfa), read by the solution.
inline constexpr int panel_rows = 34;      // largest row count of a panel
inline constexpr int panel_tri = 39;       // largest packed triangle of a panel
inline constexpr int largest_panel = 40;   // words of the largest factor block of a panel
inline constexpr int factor_words = 42;    // words of one triangular factor
inline constexpr int glcount = 43;         // length of the global index list
inline constexpr int stack_used = 44;      // stack-area words used
inline constexpr int factor_on_file = 54;  // 0.0 factor in work, 1.0 on the factor files
inline constexpr int solve_area = 55;      // first free word behind the factor arrays
inline constexpr int fdiag = 68;           // position of the factor's diagonal (n doubles)
inline constexpr int pivblk = 78;          // position of the pivot block information (n)
inline constexpr int fgidx = 80;           // position of the global index list, factor numbering
inline constexpr int factor = 82;          // first word of the factor in work (0 when on file)
inline constexpr int snpan = 83;           // position of the first panel of each supernode (nsuper+1)
inline constexpr int fptr = 84;            // position of the new index pointers (nsuper+1)
inline constexpr int fperm = 85;           // position of the factorisation permutation (n)
inline constexpr int finv = 86;            // position of its inverse (n)
inline constexpr int cond = 95;            // one-norm condition estimate
inline constexpr int panpart = 138;        // position of the first pivot of each panel (panels+1)
inline constexpr int negpiv_first = 191;   // first negative pivot met under monitoring

// File statistics, kept over the phases: the largest contents of the file
// of unit word 10+k at word 140+k, the words moved to and from it at 150+k.
inline constexpr int extent1 = 140;
inline constexpr int extent2 = 141;
inline constexpr int extent3 = 145;
inline constexpr int extent4 = 146;
inline constexpr int extent5 = 148;
inline constexpr int extent6 = 149;  // largest packed front processed out of core
inline constexpr int moved1 = 150;
inline constexpr int moved2 = 151;
inline constexpr int moved3 = 155;
inline constexpr int moved4 = 156;
inline constexpr int moved5 = 158;
inline constexpr int moved6 = 159;

// Option words `dslopt`.
inline constexpr int bform = 121;   // form of a second matrix (4 none)
inline constexpr int vstore = 170;  // value-storage code
inline constexpr int pvttol = 171;
inline constexpr int orient = 172;  // panel orientation (0 row-oriented)
inline constexpr int panel = 173;   // largest number of pivots in one panel
inline constexpr int condest = 174;
inline constexpr int keeprow = 175;
inline constexpr int fillmax = 176;
inline constexpr int perturb = 177;  // words 177 ... 181
inline constexpr int maxzer = 182;   // amalgamation limit
inline constexpr int updblk = 183;   // block width of the trailing update
inline constexpr int monitor = 189;  // words 189 ... 193
inline constexpr int rhsblk = 194;   // right-hand sides handled together
}  // namespace cw

// Stages of the problem held in `work` (control word 0).
namespace stage {
inline constexpr int failed = -1;
inline constexpr int initialised = 1;
inline constexpr int structure = 2;
inline constexpr int compressed = 10;
inline constexpr int ordered = 20;
inline constexpr int symbolic = 30;
inline constexpr int values = 31;
inline constexpr int distributed = 40;
inline constexpr int factorised = 50;
}  // namespace stage

// Option words a phase reads as a count (block widths, chunk sizes): a value
// below 1 is taken as the default, so that no loop can fail to advance.
inline i64 count_option(const Work& w, int k, i64 dflt) noexcept {
  const i64 v = w.ictl(k);
  return v >= 1 ? v : dflt;
}

}  // namespace zephsol::sparse
