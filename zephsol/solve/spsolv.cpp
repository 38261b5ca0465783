// Iterative and sparse solve driver SPSOLV.
#include "zephsol/solve/spsolv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "zephsol/dbio/columns.h"
#include "zephsol/dbio/core.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/dbio/strings.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/msg.h"
#include "zephsol/exec/units.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/mfsolv.h"
#include "zephsol/solve/pcg.h"
#include "zephsol/solve/sdcmsg.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

using Index = std::int64_t;

void check_headers(SOLBLK& s) {
  const word prec = sysw().IPREC;
  MCB& k = s.factor;
  if (k.cols != k.rows || k.cols < 1 || k.type != prec) wrong_input_file(3102, k.file, k.header());
  MCB& r = s.rhs;
  if (r.rows != k.rows || r.cols < 1 || r.form >= kDiagonal || r.type != prec)
    wrong_input_file(3102, r.file, r.header());
}

// Calls f(column, first row, count, slot) for every string of every column
// of the matrix (open for reading).
template <class F>
void for_each_string(const MCB& k, F f) {
  SCB& s = shared_scb(2);
  s.file = k.file;
  s.type = k.type;
  for (word j = 1; j <= k.cols; ++j) {
    s.flag = 1;
    for (NXTSTR(s); s.flag == 0; NXTSTR(s)) f(j, s.row, s.room, s.slot);
  }
}

// Terms of the lower triangle (diagonal included).
Index lower_terms(const MCB& k, word buffer) {
  Index count = 0;
  DBOPEN(k.file, buffer, kRead);
  for_each_string(k, [&](word j, word row, word n, word) { count += std::clamp<Index>(Index{row} + n - j, 0, n); });
  DBCLOS(k.file, kCloseRewind);
  return count;
}

// Word positions (from 1) of the arrays in the work array.
struct Layout {
  Index n = 0, m = 0;          // order and term capacity
  Index ia = 1, ja = 0, a = 0, b = 0, x = 0, l = 0, u = 0, r = 0, z = 0, w = 0;
  Index end = 0;               // last word of the arrays
  Index lw = 0;                // doubles of the library's array (method 2)
  Index solver = 0;            // first word the buffer may share
};

Layout lay_out(Index n, Index m, Index lwork, word method) {
  Layout L;
  L.n = n;
  L.m = m;
  L.ja = n + 2;
  L.a = 2 * ((n + 2 + m) / 2) + 1;
  L.b = L.a + 2 * m;
  L.x = L.b + 2 * n;
  if (method == kPcgMethod) {
    L.l = L.x + 2 * n;
    L.u = L.l + 2 * m;
    L.r = L.u + 2 * n;
    L.z = L.r + 2 * n;
    L.end = L.z + 2 * n - 1;
    L.solver = L.l;
  } else {
    L.w = L.x + 2 * n;
    L.lw = std::max<Index>((lwork - L.w + 1) / 2, 0);
    L.end = L.w + 2 * L.lw - 1;
    L.solver = L.w;
  }
  return L;
}

// Words by which the arrays of L pass a work array of lwork words with the
// buffer of nbuf words at its top (0 or less: they fit).
Index shortfall(const Layout& L, Index lwork, Index nbuf) {
  return std::max(L.end - lwork, L.solver - (lwork - nbuf + 1));
}

// The megabytes of PMEM or MMEM that give the solver a work array of words.
Index megabytes(Index words) { return (words + kWordsPerMegabyte - 1) / kWordsPerMegabyte; }

// The megabytes of the solver's work array that let the model run in core
// (0: it cannot) and the least that let it run at all.
struct Megabytes {
  Index in_core = 0, least = 0;
};

// The conjugate gradients: the least work array holds every array with the
// term capacity of the matrix's terms.
Megabytes pcg_megabytes(Index n, Index nnz, Index nbuf) {
  Index words = 11 * n + 5 * nnz + 1;
  for (;;) {
    const Index more = shortfall(lay_out(n, (words - 11 * n - 1) / 5, words, 1), words, nbuf);
    if (more <= 0) break;
    words += more;
  }
  return {megabytes(words), megabytes(words)};
}

// The sparse library: the matrix arrays before its array of the figures'
// double words, and the buffer no lower than that array.
Megabytes mfs_megabytes(const Layout& L, Index nbuf, const MfsFigures& f) {
  const auto words = [&](Index doubles) { return megabytes(std::max(L.w - 1 + 2 * doubles, L.w + nbuf - 1)); };
  return {f.needs > 0 ? words(f.needs) : 0, words(f.needmn)};
}

// Ends the run with the memory message code (p1, p2), as a fatal message
// does, and then, on a line of its own, the megabytes of PMEM (method 1) or
// MMEM (method 2) that would let the model run in core and the least that
// would let it run at all, when they are known.
[[noreturn]] void memory_fatal(word code, Index p1, Index p2, word method, std::optional<Megabytes> mb) {
  MSGOUT();
  MSGPUT(code, message_word(p1), message_word(p2));
  MSGOUT();
  if (mb) {
    const std::string_view key = method == kPcgMethod ? "PMEM" : "MMEM";
    write_listing_and_log(
        {mb->in_core > 0
             ? fline("(10X,A4,' TO RUN IN CORE =',I8,' MB, LEAST ',A4,' TO RUN =',I8,' MB')",
                     {key, FmtArg::whole(mb->in_core), key, FmtArg::whole(mb->least)})
             : fline("(10X,A4,' TO RUN IN CORE = NONE (THE FACTOR IS TOO LARGE), LEAST ',A4,' TO RUN =',I8,' MB')",
                     {key, key, FmtArg::whole(mb->least)})});
  }
  sysw().IERFLG = 1;
  RUNEND();
}

[[noreturn]] void short_of_work(word method, Index needed, Index lwork) {
  solve_fatal(method == kPcgMethod ? 5 : 6, message_word(needed), message_word(lwork));
}

// A column without its diagonal: the stiffness is singular there (a zero
// modulus, a free node). The run ends with the lines the profile
// decomposition prints for it, naming the node, as a user's error.
[[noreturn]] void singular_column(word j, RowFailure why) {
  print_row_abort(j, why);
  print_failed_row_node(j, USET, EQIX);
  sysw().IERFLG = 1;
  RUNEND();
}

// Loads the lower triangle: IA, JA and A (the structure alone when A is
// empty). Every column must have its diagonal as its first term at or below
// the diagonal; the first that has not ends the run once K is closed.
void load_matrix(const MCB& k, word buffer, const Layout& L, std::span<word> ia, std::span<word> ja,
                 std::span<double> a) {
  Index count = 0;
  SCB& s = shared_scb(2);
  s.file = k.file;
  s.type = k.type;
  DBOPEN(k.file, buffer, kRead);
  word bad = 0;
  RowFailure why = RowFailure::NullColumn;
  for (word j = 1; j <= k.cols && bad == 0; ++j) {
    ia[static_cast<std::size_t>(j - 1)] = static_cast<word>(count + 1);
    bool started = false, any = false;
    s.flag = 1;
    for (NXTSTR(s); s.flag == 0; NXTSTR(s))
      for (word i = 0; i < s.room && bad == 0; ++i) {
        any = true;
        const word r = s.row + i;
        if (r < j) continue;
        if (!started && r != j) {
          bad = j;
          why = RowFailure::ZeroDiagonal;
          break;
        }
        started = true;
        if (count >= L.m) solve_fatal(777, j, message_word(L.m));
        ja[static_cast<std::size_t>(count)] = r;
        if (!a.empty()) a[static_cast<std::size_t>(count)] = string_term(k.type, s.slot, i);
        ++count;
      }
    if (!started && bad == 0) {
      bad = j;
      why = any ? RowFailure::ZeroDiagonal : RowFailure::NullColumn;
    }
  }
  DBCLOS(k.file, kCloseRewind);
  if (bad != 0) singular_column(bad, why);
  ia[static_cast<std::size_t>(L.n)] = static_cast<word>(count + 1);
}

[[noreturn]] void not_converged(word flag) {
  write_listing_and_log(
      {fline("('0*** SYSTEM FATAL MESSAGE ',I6,', PRECONDITIONED CONGRUENT GRADIENT FAILED.')", {1000 + flag}),
       fline("(10X,'CONVERGENSE CRITERIA WAS NOT SATISFIED.')")});
  sysw().IERFLG = 1;
  RUNEND();
}

// The sparse library's megabytes for a matrix whose arrays do not fit in
// the work array: its structure loaded aside and the library's figures
// worked out from it.
std::optional<Megabytes> structure_megabytes(const MCB& k, word buffer, const Layout& L, Index nbuf) {
  std::vector<word> ia(static_cast<std::size_t>(L.n + 1)), ja(static_cast<std::size_t>(L.m));
  load_matrix(k, buffer, L, ia, ja, {});
  const std::optional<MfsFigures> f = mfs_figures(static_cast<word>(L.n), ia, ja);
  if (!f) return std::nullopt;
  return mfs_megabytes(L, nbuf, *f);
}

}  // namespace

float iteration_tolerance() {
  const float tol = sysw().PCGTOL;
  constexpr float kSmallest = 0x1p-47f;
  if (tol <= 0.0f || tol > 0.5f) return 1.0e-6f;
  if (tol < kSmallest) return 1000.0f * kSmallest;
  return tol;
}

word iteration_limit(word n) {
  const word maxit = sysw().PCGMXI;
  return maxit >= 1 ? maxit : std::max<word>(n, 100);
}

void SPSOLV(word first, word lwork, word method) {
  SOLBLK& sb = solblk();
  check_headers(sb);
  const MCB k = sb.factor;
  MCB rhs = sb.rhs;
  MCB& x = sb.solution;
  const word n = k.rows;
  x.cols = 0;
  x.rows = n;
  x.form = rhs.form;
  x.type = rhs.type;
  x.maxcol = 0;
  x.density = 0;

  const Index nbuf = sysw().NBUFSZ;
  if (lwork < nbuf + 1) short_of_work(method, nbuf + 1, lwork);
  const auto at = [&](Index word_pos) { return static_cast<word>(first + word_pos - 1); };
  const word buffer = at(Index{lwork} - nbuf + 1);
  const Index nnz = lower_terms(k, buffer);

  // The term capacity and the layout; the buffer must not reach below the
  // solver's arrays.
  Index m = nnz;
  if (method == kPcgMethod) {
    const Index minimum = 11 * Index{n} + 5 * nnz + 1;
    if (lwork < minimum) memory_fatal(5, minimum, lwork, method, pcg_megabytes(n, nnz, nbuf));
    m = (Index{lwork} - 11 * Index{n} - 1) / 5;
  }
  const Layout L = lay_out(n, m, lwork, method);
  if (const Index more = shortfall(L, lwork, nbuf); more > 0) {
    const Index needed = Index{lwork} + more;
    if (method == kPcgMethod) memory_fatal(5, needed, lwork, method, pcg_megabytes(n, nnz, nbuf));
    memory_fatal(6, needed, lwork, method, structure_megabytes(k, buffer, L, nbuf));
  }

  const WordSpace& c = core();
  const auto ia = c.words(at(L.ia), n + 1);
  const auto ja = c.words(at(L.ja), L.m);
  const auto a = c.doubles(at(L.a), L.m);
  const auto b = c.doubles(at(L.b), n);
  load_matrix(k, buffer, L, ia, ja, a);

  std::fill(b.begin(), b.end(), 0.0);
  DBOPEN(rhs.file, buffer, kRead);
  word top = 1, last = n, empty = 0;
  COLGET(rhs, sb.sign < 0 ? -2 : 2, b.data(), top, last, empty);
  DBCLOS(rhs.file, kCloseRewind);

  const word nnz_stored = ia[static_cast<std::size_t>(n)] - 1;
  std::span<double> solution = b;
  if (method == kPcgMethod) {
    // A load no REAL word holds leaves the residual of the iteration without
    // meaning: the step ends as its forces of constraint would.
    if (const word k = first_unstorable(b); k != 0) {
      report_unstorable(5027, "FORCE", lset_equation(k, USET), EQIX);
      RUNEND();
    }
    const auto xs = c.doubles(at(L.x), n);
    float err = 0.0f;
    word flag = 0;
    PCGSOL(n, nnz_stored, ja, ia, a, b, xs, iteration_limit(n), iteration_tolerance(), c.doubles(at(L.l), L.m),
           c.doubles(at(L.u), n), c.doubles(at(L.r), n), c.doubles(at(L.z), n), err, flag);
    warn_free_motions(n, ja, ia, a, USET, EQIX, NODC);
    if (flag != 0) not_converged(flag);
    solution = xs;
  } else {
    const Index nmfr_size = 100 * Index{n} + 5 * nnz + 1000;
    word ier = 0;
    MFSOLV(n, ia, ja.first(static_cast<std::size_t>(nnz_stored)), a.first(static_cast<std::size_t>(nnz_stored)), b,
           static_cast<word>(std::min<Index>(L.lw, INT32_MAX)), nmfr_size, c.doubles(at(L.w), L.lw).data(), ier);
    if (ier == 1 || ier % 100 == -1) {
      // Too little work space: the library's figures, from the run or, when
      // it stopped before its symbolic phase, worked out aside.
      std::optional<MfsFigures> f = solve_state().mfsfig;
      if (!f) f = mfs_figures(n, ia, ja.first(static_cast<std::size_t>(nnz_stored)));
      memory_fatal(6000 + ier, ier, 0, method, f ? std::optional(mfs_megabytes(L, nbuf, *f)) : std::nullopt);
    }
    if (ier != 0) {
      MSGPUT(-(6000 + ier), ier, 0);
      RUNEND();
    }
  }

  DBOPEN(x.file, buffer, kWrite);
  COLPUT(x, rhs.type, solution.data(), 1, n);
  const Index terms = x.density;
  DBCLOS(x.file, kCloseRewind);
  x.density = static_cast<word>(std::trunc(double(terms) / (double(n) * double(rhs.cols)) * 10000.0 + 0.5));
  warn_weak_pivots(USET, EQIX);
}

}  // namespace zephsol
