// The binding of the sparse library's entries, and the stand-in for its
// numerical factorisation and solution.
#include "zephsol/solve/mfslib.h"

#include <algorithm>
#include <cmath>

#include "zephsol/solve/solve_records.h"
#include "zephsol/sparse/sparse.h"

namespace zephsol {

namespace {

constexpr mfs_int kWrongStage = -500, kZeroPivot = -510, kSolveWrongStage = -600;

// The value input of the library, keeping a view of the matrix for the
// stand-in's factorisation.
void values_kept(char matrix, std::span<const mfs_int> colptr, std::span<const mfs_int> rowind,
                 std::span<const double> values, double* work, mfs_int lwork, mfs_int& ier) {
  sparse::xdslvm(matrix, colptr, rowind, values, work, lwork, ier);
  MfsStandIn& s = solve_state().standin;
  s = MfsStandIn{};
  if (ier == 0) {
    s.colptr = colptr;
    s.rowind = rowind;
    s.values = values;
  }
}

// The profile of the kept matrix by rows: the first column of each row.
void profile(MfsStandIn& s, std::int64_t n) {
  s.row_first.resize(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i) s.row_first[static_cast<std::size_t>(i)] = static_cast<mfs_int>(i);
  for (std::int64_t j = 0; j < n; ++j)
    for (std::int64_t p = s.colptr[static_cast<std::size_t>(j)] - 1; p < s.colptr[static_cast<std::size_t>(j + 1)] - 1; ++p) {
      const auto i = static_cast<std::size_t>(s.rowind[static_cast<std::size_t>(p)] - 1);
      s.row_first[i] = std::min<mfs_int>(s.row_first[i], static_cast<mfs_int>(j));
    }
  s.row_start.assign(static_cast<std::size_t>(n + 1), 0);
  for (std::int64_t i = 0; i < n; ++i)
    s.row_start[static_cast<std::size_t>(i + 1)] = s.row_start[static_cast<std::size_t>(i)] + (i - s.row_first[static_cast<std::size_t>(i)] + 1);
  s.factor.assign(static_cast<std::size_t>(s.row_start.back()), 0.0);
  for (std::int64_t j = 0; j < n; ++j)
    for (std::int64_t p = s.colptr[static_cast<std::size_t>(j)] - 1; p < s.colptr[static_cast<std::size_t>(j + 1)] - 1; ++p) {
      const auto i = static_cast<std::size_t>(s.rowind[static_cast<std::size_t>(p)] - 1);
      s.factor[static_cast<std::size_t>(s.row_start[i] + (j - s.row_first[i]))] = s.values[static_cast<std::size_t>(p)];
    }
}

// L D L^T in place over the profile rows: t(i, j) = a(i, j) - sum t(i, k)
// l(j, k), l(i, j) = t(i, j) / d_j, d_i = a(i, i) - sum t(i, j) l(i, j).
void standin_xdslfa(double* work, mfs_int lwork, double& cond, std::array<mfs_int, 3>& inertia, mfs_int& ier) {
  const sparse::Work w(work, lwork);
  inertia = {0, 0, 0};
  cond = 0.0;
  if (w.ictl(sparse::cw::stage) != sparse::stage::distributed) {
    ier = kWrongStage;
    return;
  }
  MfsStandIn& s = solve_state().standin;
  const std::int64_t n = w.ictl(sparse::cw::neqns);
  profile(s, n);
  const auto row = [&](std::int64_t i) { return s.factor.data() + s.row_start[static_cast<std::size_t>(i)] - s.row_first[static_cast<std::size_t>(i)]; };
  std::vector<double> t;
  double dmax = 0.0, dmin = INFINITY;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::int64_t fi = s.row_first[static_cast<std::size_t>(i)];
    double* ri = row(i);
    t.assign(static_cast<std::size_t>(i - fi), 0.0);
    for (std::int64_t j = fi; j < i; ++j) {
      const std::int64_t fj = std::max<std::int64_t>(fi, s.row_first[static_cast<std::size_t>(j)]);
      const double* rj = row(j);
      double v = ri[j];
      for (std::int64_t k = fj; k < j; ++k) v -= t[static_cast<std::size_t>(k - fi)] * rj[k];
      t[static_cast<std::size_t>(j - fi)] = v;
    }
    double d = ri[i];
    for (std::int64_t j = fi; j < i; ++j) {
      const double l = t[static_cast<std::size_t>(j - fi)] / row(j)[j];
      ri[j] = l;
      d -= t[static_cast<std::size_t>(j - fi)] * l;
    }
    ri[i] = d;
    ++inertia[d > 0.0 ? 0 : d < 0.0 ? 1 : 2];
    if (d == 0.0) {
      ier = kZeroPivot;
      w.set(sparse::cw::stage, sparse::stage::failed);
      return;
    }
    dmax = std::max(dmax, std::abs(d));
    dmin = std::min(dmin, std::abs(d));
  }
  cond = n > 0 ? dmax / dmin : 0.0;
  w.set(sparse::cw::stage, sparse::stage::factorised);
  ier = 0;
}

void standin_xdslsl(mfs_int nrhs, double* rhs, mfs_int ldrhs, double* work, mfs_int lwork, mfs_int& ier) {
  const sparse::Work w(work, lwork);
  if (w.ictl(sparse::cw::stage) != sparse::stage::factorised) {
    ier = kSolveWrongStage;
    return;
  }
  const MfsStandIn& s = solve_state().standin;
  const std::int64_t n = w.ictl(sparse::cw::neqns);
  const auto row = [&](std::int64_t i) { return s.factor.data() + s.row_start[static_cast<std::size_t>(i)] - s.row_first[static_cast<std::size_t>(i)]; };
  for (mfs_int c = 0; c < nrhs; ++c) {
    double* x = rhs + std::int64_t{c} * ldrhs;
    for (std::int64_t i = 0; i < n; ++i) {
      const double* ri = row(i);
      for (std::int64_t j = s.row_first[static_cast<std::size_t>(i)]; j < i; ++j) x[i] -= ri[j] * x[j];
    }
    for (std::int64_t i = 0; i < n; ++i) x[i] /= row(i)[i];
    for (std::int64_t i = n - 1; i >= 0; --i) {
      const double* ri = row(i);
      for (std::int64_t j = s.row_first[static_cast<std::size_t>(i)]; j < i; ++j) x[j] -= ri[j] * x[i];
    }
  }
  ier = 0;
}

}  // namespace

MfsLibrary mfs_library() {
  MfsLibrary m;
  m.xdslin = sparse::xdslin;
  m.xdslim = sparse::xdslim;
  m.xdslif = sparse::xdslif;
  m.xdslom = sparse::xdslom;
  m.xdslsf = sparse::xdslsf;
  m.xdslvm = values_kept;
  m.xdslvf = sparse::xdslvf;
  m.xdslfa = standin_xdslfa;
  m.xdslsl = standin_xdslsl;
  return m;
}

}  // namespace zephsol
