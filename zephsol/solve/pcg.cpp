// Preconditioned conjugate gradients PCGSOL with the incomplete
// factorisation PCGICF, the preconditioner PCGPRE and the product PCGMV.
#include "zephsol/solve/pcg.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/solve/eqnode.h"
#include "zephsol/solve/solve_records.h"

namespace zephsol {

namespace {

using Index = std::int64_t;

// The stored terms of column j (1-based): positions begin .. end - 1, 0-based.
struct Column {
  Index begin, end;
};
Column column(std::span<const word> ia, word j) {
  return {std::abs(Index{ia[static_cast<std::size_t>(j - 1)]}) - 1, Index{ia[static_cast<std::size_t>(j)]} - 1};
}
std::size_t at(Index p) { return static_cast<std::size_t>(p); }
// The 0-based row of stored term p (widened before the 1 is taken off, so
// that the offset folds into the address of the row's entry).
std::size_t row_of(std::span<const word> ja, Index p) { return static_cast<std::size_t>(Index{ja[at(p)]} - 1); }

// The sum of term(p) over p = begin .. end - 1, kept as four partial sums
// of interleaved terms, so that the additions form four independent chains
// and a long sum runs at the rate its operands arrive, not at the latency of
// one addition a term. term may act on other data as well (in the order of
// p). The partial sums are added pairwise at the end.
template <class Term>
double split_sum(Index begin, Index end, Term term) {
  double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
  Index p = begin;
  for (; p + 4 <= end; p += 4) {
    s0 += term(p);
    s1 += term(p + 1);
    s2 += term(p + 2);
    s3 += term(p + 3);
  }
  for (; p < end; ++p) s0 += term(p);
  return (s0 + s1) + (s2 + s3);
}

// The same sum taken from the end down: term(end - 1) first, term(begin)
// last.
template <class Term>
double split_sum_down(Index begin, Index end, Term term) {
  return split_sum(begin, end, [&](Index p) { return term(begin + end - 1 - p); });
}

double dot(std::span<const double> a, std::span<const double> b) {
  return split_sum(0, static_cast<Index>(a.size()), [&](Index i) { return a[at(i)] * b[at(i)]; });
}
double norm(std::span<const double> v) { return std::sqrt(dot(v, v)); }

// The last row (0-based) that column c (0-based jj) touches: its last
// stored row, rows ascending; jj itself when the column is empty.
std::size_t last_row(std::span<const word> ja, Column c, std::size_t jj) {
  return c.begin < c.end ? std::max(jj, row_of(ja, c.end - 1)) : jj;
}

// Readies the rows of a pass over the columns just ahead of their first
// use: row(i) for each row from `ready` through `last`, in ascending order.
// A pass that starts from a cleared or copied vector so makes one sweep over
// it instead of two, the rows it readies being those it is about to touch.
template <class Row>
void ready_through(std::size_t& ready, std::size_t last, Row row) {
  for (; ready <= last; ++ready) row(ready);
}

// y := K x as PCGMV, with prepare(i) called for every row i before the
// product touches y(i) or x(i) (it must set y(i) to 0 and may set x(i));
// returns x . y. Row j of y is complete once column j is added, as no later
// column adds to it, so the dot product comes with it.
template <class Prepare>
double product(word n, std::span<const double> x, std::span<double> y, std::span<const word> ja,
               std::span<const word> ia, std::span<const double> a, Prepare prepare) {
  std::size_t ready = 0;
  double xy = 0.0;
  for (word j = 1; j <= n; ++j) {
    const Column c = column(ia, j);
    const std::size_t jj = static_cast<std::size_t>(j - 1);
    ready_through(ready, last_row(ja, c, jj), prepare);
    if (c.begin < c.end) {
      const double xj = x[jj];
      y[jj] += a[at(c.begin)] * xj;
      y[jj] += split_sum(c.begin + 1, c.end, [&](Index p) {
        const std::size_t i = row_of(ja, p);
        const double aij = a[at(p)];
        y[i] += aij * xj;
        return aij * x[i];
      });
    }
    xy += x[jj] * y[jj];
  }
  return xy;
}

// y := M^-1 v as PCGPRE; returns v . y. The forward sweep copies v into y
// just ahead of the columns; the backward sweep takes each column's sum from
// its last row up, so that the rows nearest the diagonal, whose values were
// found just before, come last and the next column need not wait for the
// whole of the previous one.
double precondition(word n, std::span<const word> ja, std::span<const word> ia, std::span<const double> l,
                    std::span<const double> v, std::span<double> y) {
  std::size_t ready = 0;
  for (word j = 1; j <= n; ++j) {
    const Column c = column(ia, j);
    const std::size_t jj = static_cast<std::size_t>(j - 1);
    ready_through(ready, last_row(ja, c, jj), [&](std::size_t i) { y[i] = v[i]; });
    const double yj = y[jj];
    for (Index p = c.begin + 1; p < c.end; ++p) y[row_of(ja, p)] -= l[at(p)] * yj;
    y[jj] = yj / l[at(c.begin)];
  }
  double vy = 0.0;
  for (word j = n; j >= 1; --j) {
    const Column c = column(ia, j);
    const std::size_t jj = static_cast<std::size_t>(j - 1);
    y[jj] -= split_sum_down(c.begin + 1, c.end, [&](Index p) { return l[at(p)] * y[row_of(ja, p)]; });
    vy += v[jj] * y[jj];
  }
  return vy;
}

// x += alpha u, r -= alpha z in one pass; returns r . r.
double advance(double alpha, std::span<const double> u, std::span<const double> z, std::span<double> x,
               std::span<double> r) {
  return split_sum(0, static_cast<Index>(r.size()), [&](Index k) {
    const std::size_t i = at(k);
    x[i] += alpha * u[i];
    r[i] -= alpha * z[i];
    return r[i] * r[i];
  });
}

constexpr const char* kIterationLine = "(1X,I4,1X,1PE16.5,1X,1PE16.5,1X,1PE16.5)";

void print_heading(word n, float err) {
  write_listing_and_log({fline("(' PRECONDITIONED CONJUGATE GRADIENT FOR N = ',I8)", {n}),
                         fline("(' ITER',A,A,A)", {"   ERROR ESTIMATE", "            ALPHA", "             BETA"}),
                         fline(kIterationLine, {0, err})});
}

// Restores the pointers of the columns PCGICF marked.
void clear_marks(word n, std::span<word> ia) {
  for (word j = 1; j <= n; ++j) ia[static_cast<std::size_t>(j - 1)] = std::abs(ia[static_cast<std::size_t>(j - 1)]);
}

void print_zero_pivot(word first) {
  write_listing_and_log(
      {fline("('0*** SYSTEM WARNING MESSAGE 1000, IC FACTORIZATION BROKE DOWN ON STEP',I8)", {first}),
       fline("(10X,'DIAGONAL WAS SET TO UNITY AND FACTORIZATION PROCEEDED.')")});
}

void print_shift(word first, double shift) {
  write_listing_and_log(
      {fline("('0*** SYSTEM INFORMATION MESSAGE 1002, IC FACTORIZATION MET A NON-POSITIVE PIVOT ON STEP',I8)",
             {first}),
       fline("(10X,'DIAGONAL WAS SCALED BY 1 +',1P,E10.3,' AND FACTORIZATION REPEATED.')", {shift})});
}

// The first column whose pivot is not positive (or not finite), 0 when every
// pivot is; columns marked for an exact zero pivot hold 1.0 there.
word first_bad_pivot(word n, std::span<const word> ia, std::span<const double> l) {
  for (word j = 1; j <= n; ++j) {
    const double d = l[at(column(ia, j).begin)];
    if (!(d > 0.0) || !std::isfinite(d)) return j;
  }
  return 0;
}

// Whether some diagonal of K is negative: no shift of the diagonal by a
// factor makes such a pivot positive.
bool negative_diagonal(word n, std::span<const word> ia, std::span<const double> a) {
  for (word j = 1; j <= n; ++j)
    if (a[at(column(ia, j).begin)] < 0.0) return true;
  return false;
}

// The incomplete factor of K, or, when it meets a pivot that is not
// positive, of K with its diagonal scaled by 1 + s (s = 1E-4, then 4 times
// larger each time) until every pivot is positive: an incomplete factor of
// a positive definite K may break down so (nearly incompressible solids
// do), and a diagonally dominant enough matrix has a positive one. The
// information message gives s when it differs from the one last reported.
void factorise(word n, word nnz, std::span<const word> ja, std::span<word> ia, std::span<const double> a,
               std::span<double> l, std::span<double> w, word& first) {
  std::copy(a.begin(), a.begin() + nnz, l.begin());
  PCGICF(n, ja, ia, l, w, first);
  const word bad = first_bad_pivot(n, ia, l);
  if (bad == 0 || negative_diagonal(n, ia, a)) return;
  constexpr double kFirstShift = 1.0e-4, kGrowth = 4.0, kLastShift = 1.0e6;
  double shift = kFirstShift;
  for (; shift <= kLastShift; shift *= kGrowth) {
    clear_marks(n, ia);
    std::copy(a.begin(), a.begin() + nnz, l.begin());
    for (word j = 1; j <= n; ++j) l[at(column(ia, j).begin)] *= 1.0 + shift;
    PCGICF(n, ja, ia, l, w, first);
    if (first_bad_pivot(n, ia, l) == 0) break;
  }
  double& reported = solve_state().pcg_shift_reported;
  if (shift != reported) print_shift(bad, shift);
  reported = shift;
}

// Notes the pivots of the factor that kept only a few digits of K's
// diagonal (the solve driver names their nodes).
void watch_pivots(word n, std::span<const word> ia, std::span<const double> a, std::span<const double> l) {
  start_pivot_watch(n);
  auto& diagonal = solve_state().diagonal;
  for (word j = 1; j <= n; ++j) {
    const Index p = column(ia, j).begin;
    diagonal[static_cast<std::size_t>(j)] = a[at(p)];
    watch_pivot(j, l[at(p)]);
  }
}

// Restores the marked columns' pointers and clears their right-hand sides.
void clear_zero_pivots(word n, std::span<word> ia, std::span<double> b) {
  for (word j = 1; j <= n; ++j)
    if (ia[static_cast<std::size_t>(j - 1)] < 0) {
      ia[static_cast<std::size_t>(j - 1)] = -ia[static_cast<std::size_t>(j - 1)];
      b[static_cast<std::size_t>(j - 1)] = 0.0;
    }
}

}  // namespace

void PCGICF(word n, std::span<const word> ja, std::span<word> ia, std::span<double> l, std::span<double> w,
            word& first) {
  first = 0;
  std::fill(w.begin(), w.begin() + n, 0.0);
  for (word j = 1; j <= n; ++j) {
    const Column c = column(ia, j);
    if (c.begin >= c.end) continue;
    // Column j's current values, by row. Only these positions are set, and
    // only these are cleared again below.
    for (Index p = c.begin; p < c.end; ++p) w[row_of(ja, p)] = l[at(p)];
    const std::size_t jj = static_cast<std::size_t>(j - 1);
    if (w[jj] == 0.0) {
      if (first == 0) first = j;
      ia[jj] = -ia[jj];
      w[jj] = 1.0;
      l[at(c.begin)] = 1.0;
    }
    const double pivot = w[jj];
    for (Index p = c.begin + 1; p < c.end; ++p) {
      const std::size_t i = row_of(ja, p);
      const double lij = w[i] / pivot;
      l[at(p)] = lij;
      const Column ci = column(ia, static_cast<word>(i + 1));
      for (Index q = ci.begin; q < ci.end; ++q) l[at(q)] -= lij * w[row_of(ja, q)];
    }
    for (Index p = c.begin; p < c.end; ++p) w[row_of(ja, p)] = 0.0;
  }
}

void PCGPRE(word n, std::span<const word> ja, std::span<const word> ia, std::span<const double> l,
            std::span<const double> v, std::span<double> y) {
  precondition(n, ja, ia, l, v, y);
}

// One pass over the lower triangle: column j adds A(i, j) x(j) to y(i) for
// its terms and its sum of A(i, j) x(i) below the diagonal to y(j), after
// the columns before it (the same sums as two passes).
void PCGMV(word n, std::span<const double> x, std::span<double> y, std::span<const word> ja,
           std::span<const word> ia, std::span<const double> a) {
  product(n, x, y, ja, ia, a, [&](std::size_t i) { y[i] = 0.0; });
}

void PCGSOL(word n, word nnz, std::span<const word> ja, std::span<word> ia, std::span<const double> a,
            std::span<double> b, std::span<double> x, word maxit, float tol, std::span<double> l,
            std::span<double> u, std::span<double> r, std::span<double> z, float& err, word& flag) {
  flag = 0;
  err = 0.0f;
  const bool table = DIAGLV(14) != 0;
  const auto N = static_cast<std::size_t>(n);
  b = b.first(N);
  x = x.first(N);
  double beta = norm(b);
  if (beta == 0.0) {
    std::fill(x.begin(), x.end(), 0.0);
    return;
  }
  word first = 0;
  factorise(n, nnz, ja, ia, a, l, u, first);
  watch_pivots(n, ia, a, l);
  if (first != 0) {
    print_zero_pivot(first);
    sysw().IWRNFL = 1;
    clear_zero_pivots(n, ia, b);
    beta = norm(b);
    // The whole load lay on equations without stiffness: nothing moves.
    if (beta == 0.0) {
      std::fill(x.begin(), x.end(), 0.0);
      return;
    }
  }
  r = r.first(N);
  z = z.first(N);
  u = u.first(N);
  PCGPRE(n, ja, ia, l, b, x);
  PCGMV(n, x, z, ja, ia, a);
  for (std::size_t i = 0; i < N; ++i) r[i] = b[i] - z[i];
  double rho = precondition(n, ja, ia, l, r, z);
  err = static_cast<float>(norm(r) / beta);
  if (table) print_heading(n, err);
  if (err < tol) return;

  double rho_prev = 0.0;
  for (word k = 1; k <= maxit; ++k) {
    // rho = r . z. The direction u := z + bk u (u := z at first) is formed
    // row by row inside the product z := K u, just before the product
    // reads u(i) and clears z(i).
    const double bk = k == 1 ? 0.0 : rho / rho_prev;
    rho_prev = rho;
    const double uz = product(n, u, z, ja, ia, a, [&](std::size_t i) {
      u[i] = k == 1 ? z[i] : z[i] + bk * u[i];
      z[i] = 0.0;
    });
    const double alpha = rho / uz;
    err = static_cast<float>(std::sqrt(advance(alpha, u, z, x, r)) / beta);
    if (table) unit_write_line(kListing, fline(kIterationLine, {k, err, alpha, bk}));
    if (err < tol) return;
    rho = precondition(n, ja, ia, l, r, z);
  }
  flag = 1;
}

}  // namespace zephsol
