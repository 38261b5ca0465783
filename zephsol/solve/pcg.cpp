// Preconditioned conjugate gradients PCGSOL with the incomplete
// factorisation PCGICF, the preconditioner PCGPRE and the product PCGMV.
#include "zephsol/solve/pcg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/threads.h"
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

// ---- The passes over node blocks ----

// Equations a block holds: 3 but in the last block of an order that is not
// a multiple of 3.
constexpr int kBlock = 3, kSlots = kBlock * kBlock;
int block_size(word n, Index k) { return static_cast<int>(std::min<Index>(kBlock, Index{n} - kBlock * k)); }
Index block_count(word n) { return (Index{n} + kBlock - 1) / kBlock; }
std::size_t first_equation(Index k) { return kBlock * static_cast<std::size_t>(k); }
// The first equation (0-based) of the row of blocks of stored block p, and
// the equations it holds.
std::size_t row_equation(const NodeBlocks& b, Index p) { return first_equation(Index{b.rows[at(p)] >> 2}); }
int row_size(const NodeBlocks& b, Index p) { return static_cast<int>(b.rows[at(p)] & 3u); }

// Two doubles handled as one value (an SSE2 register on any x86-64), for
// rows 0 and 1 of a block; each lane is computed as a double alone. A pair
// read where the two doubles were written one at a time waits until both
// writes reach the cache, so the passes write in pairs what they read in
// pairs, and ready the rows of their vectors well ahead.
using Pair = double __attribute__((vector_size(16)));
Pair load(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void store(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
Pair both(double x) { return Pair{x, x}; }
double pair_sum(Pair v) { return v[0] + v[1]; }
constexpr std::size_t kReadyAhead = 48;  // equations readied ahead of the columns

// The blocks below the diagonal of column of blocks k: full blocks
// [first, full), then at most one block of fewer rows (the last block of
// the order) at full. Only the last column of blocks may have fewer than 3
// equations, and it has no blocks below its diagonal.
struct Below {
  Index first, full, end;
};
Below below(const NodeBlocks& b, Index k) {
  const Index first = b.column[at(k)] + 1, end = b.column[at(k + 1)];
  const bool partial = end > first && (b.rows[at(end - 1)] & 3u) != kBlock;
  return {first, partial ? end - 1 : end, end};
}

// Calls visit(values of the block, its first row) for the full blocks below
// the diagonal of column of blocks k, rows ascending, or descending when
// down.
template <class Visit>
void each_full_block(const NodeBlocks& b, const Below& w, bool down, Visit visit) {
  // Held apart from b, as the pairs written through memcpy might otherwise
  // be taken to change them.
  const std::uint32_t* rows = b.rows.data();
  const double* blocks = b.l.data();
  for (Index q = w.first; q < w.full; ++q) {
    const Index p = down ? w.first + w.full - 1 - q : q;
    visit(blocks + kSlots * p, first_equation(Index{rows[at(p)] >> 2}));
  }
}

// The block of fewer rows below the diagonal, if there is one: its values,
// first row and rows.
struct Partial {
  const double* v = nullptr;
  std::size_t i = 0;
  int rows = 0;
};
Partial partial_block(const NodeBlocks& b, const Below& w) {
  if (w.full == w.end) return {};
  return {b.l.data() + kSlots * w.full, row_equation(b, w.full), row_size(b, w.full)};
}

// The diagonal block of column of blocks k.
const double* diagonal_block(const NodeBlocks& b, Index k) { return b.l.data() + kSlots * b.column[at(k)]; }

// The last equation (0-based) that column of blocks k touches.
std::size_t last_row_of_blocks(const NodeBlocks& b, Index k) {
  const Index p = b.column[at(k + 1)] - 1;
  return row_equation(b, p) + static_cast<std::size_t>(row_size(b, p)) - 1;
}

// Calls f with the number of equations of column of blocks k as a
// constant, so that the loops over the diagonal block unroll.
template <class F>
void with_columns(const NodeBlocks& b, Index k, F f) {
  switch (block_size(b.n, k)) {
    case 3: f(std::integral_constant<int, 3>{}); break;
    case 2: f(std::integral_constant<int, 2>{}); break;
    default: f(std::integral_constant<int, 1>{}); break;
  }
}

// The values of v on the equations of column of blocks k (zero past them).
std::array<double, kBlock> own_values(const NodeBlocks& b, Index k, const double* v) {
  std::array<double, kBlock> w{};
  with_columns(b, k, [&](auto size) {
    constexpr int m = decltype(size)::value;
#pragma GCC unroll 3
    for (int c = 0; c < m; ++c) w[at(c)] = v[first_equation(k) + at(c)];
  });
  return w;
}

// The sums B^T y over the blocks below the diagonal of a column: for a full
// block, pairs s0 .. s2 over rows 0 and 1, t01 and t2 over row 2, added up
// at the end.
struct TransposeSums {
  Pair s0{}, s1{}, s2{}, t01{};
  double t2 = 0.0;
  std::array<double, kBlock> partial{};
  void add(const double* v, Pair g01, double g2) {
    s0 += load(v) * g01;
    s1 += load(v + 3) * g01;
    s2 += load(v + 6) * g01;
    t01 += Pair{v[2], v[5]} * both(g2);
    t2 += v[8] * g2;
  }
  void add(const Partial& p, const double* g) {
    for (int c = 0; c < kBlock; ++c)
      for (int r = 0; r < p.rows; ++r) partial[at(c)] += p.v[r + kBlock * c] * g[p.i + at(r)];
  }
  std::array<double, kBlock> sums() const {
    return {partial[0] + (pair_sum(s0) + t01[0]), partial[1] + (pair_sum(s1) + t01[1]),
            partial[2] + (pair_sum(s2) + t2)};
  }
};

// Column of blocks k of the forward sweep: the diagonal block's unit lower
// triangle first, then y(rows) -= B y(k), and y(k) divided by the pivots.
void forward_column(const NodeBlocks& b, Index k, double* y) {
  const double* d = diagonal_block(b, k);
  std::array<double, kBlock> yk = own_values(b, k, y);
  with_columns(b, k, [&](auto size) {
    constexpr int m = decltype(size)::value;
#pragma GCC unroll 3
    for (int c = 0; c < m; ++c)
#pragma GCC unroll 3
      for (int r = c + 1; r < m; ++r) yk[at(r)] -= d[r + kBlock * c] * yk[at(c)];
  });
  const Pair w0 = both(yk[0]), w1 = both(yk[1]), w2 = both(yk[2]);
  const Below w = below(b, k);
  each_full_block(b, w, false, [&](const double* v, std::size_t i) {
    store(y + i, ((load(y + i) - load(v) * w0) - load(v + 3) * w1) - load(v + 6) * w2);
    y[i + 2] = ((y[i + 2] - v[2] * yk[0]) - v[5] * yk[1]) - v[8] * yk[2];
  });
  if (const Partial p = partial_block(b, w); p.v) {
    for (int r = 0; r < p.rows; ++r)
      for (int c = 0; c < kBlock; ++c) y[p.i + at(r)] -= p.v[r + kBlock * c] * yk[at(c)];
  }
  with_columns(b, k, [&](auto size) {
    constexpr int m = decltype(size)::value;
#pragma GCC unroll 3
    for (int c = 0; c < m; ++c) y[first_equation(k) + at(c)] = yk[at(c)] / d[c + kBlock * c];
  });
}

// Column of blocks k of the backward sweep: y(k) -= the sum of B^T y(rows),
// the blocks nearest the diagonal last, then the diagonal block's unit
// upper triangle from its last equation up; y(k) written as it is read.
void backward_column(const NodeBlocks& b, Index k, double* y) {
  const Below w = below(b, k);
  TransposeSums s;
  if (const Partial p = partial_block(b, w); p.v) s.add(p, y);
  each_full_block(b, w, true, [&](const double* v, std::size_t i) { s.add(v, load(y + i), y[i + 2]); });
  const std::array<double, kBlock> sum = s.sums();
  const double* d = diagonal_block(b, k);
  const std::size_t e = first_equation(k);
  with_columns(b, k, [&](auto size) {
    constexpr int m = decltype(size)::value;
    std::array<double, kBlock> yk{};
#pragma GCC unroll 3
    for (int c = m - 1; c >= 0; --c) {
      double u = sum[at(c)];
#pragma GCC unroll 3
      for (int r = c + 1; r < m; ++r) u += d[r + kBlock * c] * yk[at(r)];
      yk[at(c)] = y[e + at(c)] - u;
    }
    if constexpr (m == kBlock) {
      store(y + e, Pair{yk[0], yk[1]});
      y[e + 2] = yk[2];
    } else {
      for (int c = 0; c < m; ++c) y[e + at(c)] = yk[at(c)];
    }
  });
}

// y := M^-1 v over the blocks as precondition(); returns v . y.
double blocked_precondition(const NodeBlocks& b, std::span<const double> v, std::span<double> y) {
  std::size_t ready = 0;
  const Index blocks = block_count(b.n);
  for (Index k = 0; k < blocks; ++k) {
    ready_through(ready, std::min(last_row_of_blocks(b, k) + kReadyAhead, y.size() - 1),
                  [&](std::size_t i) { y[i] = v[i]; });
    forward_column(b, k, y.data());
  }
  double vy = 0.0;
  for (Index k = blocks - 1; k >= 0; --k) {
    backward_column(b, k, y.data());
    for (std::size_t i = first_equation(k) + at(block_size(b.n, k)); i-- > first_equation(k);) vy += v[i] * y[i];
  }
  return vy;
}

// Copies the factor's terms of the equations of column of blocks k from
// the scalar columns into their blocks; position: scratch of one entry a
// row of blocks.
void fill_column_of_blocks(NodeBlocks& b, Index k, std::span<const word> ja, std::span<const word> ia,
                           std::span<const double> l, std::vector<Index>& position) {
  for (Index p = b.column[at(k)]; p < b.column[at(k + 1)]; ++p) position[b.rows[at(p)] >> 2] = p;
  const std::size_t e = first_equation(k);
  for (std::size_t jj = e; jj < e + at(block_size(b.n, k)); ++jj) {
    const Column c = column(ia, static_cast<word>(jj + 1));
    for (Index p = c.begin; p < c.end; ++p) {
      const std::size_t i = row_of(ja, p);
      b.l[at(kSlots * position[i / kBlock]) + i % kBlock + kBlock * (jj - e)] = l[at(p)];
    }
  }
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

// The passes of the iteration: the product over the stored triangle, the
// preconditioner over the factor's node blocks where there are some, else
// over its stored terms.
struct Passes {
  word n;
  std::span<const word> ja, ia;
  std::span<const double> a, l;
  const NodeBlocks* blocks;
  template <class Prepare>
  double product(std::span<const double> x, std::span<double> y, Prepare prepare) const {
    return zephsol::product(n, x, y, ja, ia, a, prepare);
  }
  double precondition(std::span<const double> v, std::span<double> y) const {
    return blocks ? blocked_precondition(*blocks, v, y) : zephsol::precondition(n, ja, ia, l, v, y);
  }
};

// The load, the solution and the work vectors of the iteration.
struct Vectors {
  std::span<double> b, x, u, r, z;
};

// The iteration from x = M^-1 b until ||r|| / ||b|| < tol (beta = ||b||)
// or maxit iterations (flag 1), with the table of DIAG switch 14.
void iterate(const Passes& m, const Vectors& v, double beta, word maxit, float tol, float& err, word& flag) {
  const bool table = DIAGLV(14) != 0;
  const auto [b, x, u, r, z] = v;
  const auto n = static_cast<word>(b.size());
  m.precondition(b, x);
  m.product(x, z, [&](std::size_t i) { z[i] = 0.0; });
  for (std::size_t i = 0; i < b.size(); ++i) r[i] = b[i] - z[i];
  double rho = m.precondition(r, z);
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
    const double uz = m.product(u, z, [&](std::size_t i) {
      u[i] = k == 1 ? z[i] : z[i] + bk * u[i];
      z[i] = 0.0;
    });
    const double alpha = rho / uz;
    err = static_cast<float>(std::sqrt(advance(alpha, u, z, x, r)) / beta);
    if (table) unit_write_line(kListing, fline(kIterationLine, {k, err, alpha, bk}));
    if (err < tol) return;
    rho = m.precondition(r, z);
  }
  flag = 1;
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

double* NodeBlocks::LargePages::allocate(std::size_t n) {
  void* p = large_page_alloc(n * sizeof(double));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<double*>(p);
}

void NodeBlocks::LargePages::deallocate(double* p, std::size_t) noexcept { std::free(p); }

NodeBlocks node_blocks(word n, std::span<const word> ja, std::span<const word> ia) {
  NodeBlocks b;
  b.n = n;
  const Index blocks = block_count(n);
  b.column.reserve(at(blocks + 1));
  b.rows.reserve(at(blocks + ia[static_cast<std::size_t>(n)] / kSlots));
  std::vector<Index> seen(at(blocks), -1);
  std::vector<std::uint32_t> below;
  for (Index k = 0; k < blocks; ++k) {
    b.column.push_back(static_cast<Index>(b.rows.size()));
    b.rows.push_back(static_cast<std::uint32_t>(k) << 2 | static_cast<std::uint32_t>(block_size(n, k)));
    below.clear();
    for (std::size_t j = first_equation(k); j < first_equation(k) + at(block_size(n, k)); ++j) {
      const Column c = column(ia, static_cast<word>(j + 1));
      for (Index p = c.begin; p < c.end; ++p) {
        const Index i = static_cast<Index>(row_of(ja, p)) / kBlock;
        if (i <= k || seen[at(i)] == k) continue;
        seen[at(i)] = k;
        below.push_back(static_cast<std::uint32_t>(i) << 2 | static_cast<std::uint32_t>(block_size(n, i)));
      }
    }
    std::sort(below.begin(), below.end());
    b.rows.insert(b.rows.end(), below.begin(), below.end());
  }
  b.column.push_back(static_cast<Index>(b.rows.size()));
  return b;
}

bool node_blocks_pay(const NodeBlocks& b, std::int64_t nnz) {
  return 3 * kSlots * static_cast<Index>(b.rows.size()) <= 4 * nnz;
}

void fill_node_blocks(NodeBlocks& b, std::span<const word> ja, std::span<const word> ia, std::span<const double> l) {
  b.l.assign(kSlots * b.rows.size(), 0.0);
  std::vector<Index> position(at(block_count(b.n)));
  for (Index k = 0; k < block_count(b.n); ++k) fill_column_of_blocks(b, k, ja, ia, l, position);
}

double block_precondition(const NodeBlocks& b, std::span<const double> v, std::span<double> y) {
  return blocked_precondition(b, v, y);
}

void PCGSOL(word n, word nnz, std::span<const word> ja, std::span<word> ia, std::span<const double> a,
            std::span<double> b, std::span<double> x, word maxit, float tol, std::span<double> l,
            std::span<double> u, std::span<double> r, std::span<double> z, float& err, word& flag) {
  flag = 0;
  err = 0.0f;
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
  const Vectors v{b, x, u.first(N), r.first(N), z.first(N)};
  NodeBlocks blocks = node_blocks(n, ja, ia);
  const bool blocked = node_blocks_pay(blocks, nnz);
  if (blocked) fill_node_blocks(blocks, ja, ia, l);
  iterate(Passes{n, ja, ia, a, l, blocked ? &blocks : nullptr}, v, beta, maxit, tol, err, flag);
}


}  // namespace zephsol
