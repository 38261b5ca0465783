// The numerical factorisation of the sparse library on the matrices of
// cubes of HEX8 elements with three freedoms per node, beside CHOLMOD's
// supernodal factorisation with METIS and single-threaded OpenBLAS on the
// same matrices in the same run, with the fill of both.
#include <cholmod.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "sparse_cube.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/sparse.h"

namespace {

using sparse_bench::hex_cube;
using sparse_bench::Matrix;
using zephsol::sparse::i32;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Seconds of the numerical factorisation (and the whole run) in the work
// the symbolic phase asks for.
double library_time(const Matrix& a, double& nzlf, double& total) {
  using namespace zephsol::sparse;
  const auto t0 = Clock::now();
  std::size_t lwork = 2 * a.rowind.size() + 40 * static_cast<std::size_t>(a.n) + 100000;
  std::vector<double> work(lwork);
  i32 ier = 0, need = 0, needmn = 0;
  xdslin(a.n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, work.data(), static_cast<i32>(lwork), ier);
  if (ier == 0) xdslim('A', a.colptr, a.rowind, work.data(), static_cast<i32>(lwork), ier);
  if (ier == 0) xdslif(work.data(), static_cast<i32>(lwork), need, ier);
  if (ier == 0) xdslom(work.data(), static_cast<i32>(lwork), need, ier);
  if (ier == 0) xdslsf(work.data(), static_cast<i32>(lwork), need, needmn, ier);
  if (ier != 0 || need <= 0) {
    std::printf("library analysis failed: %d (need %d)\n", ier, need);
    return 0.0;
  }
  nzlf = work[30];
  work.resize(static_cast<std::size_t>(need));
  lwork = static_cast<std::size_t>(need);
  const i32 lw = need;
  if (ier == 0) xdslvm('A', a.colptr, a.rowind, a.values, work.data(), lw, ier);
  if (ier == 0) xdslvf(work.data(), lw, ier);
  double cond = 0;
  i32 inertia[3] = {};
  const auto t1 = Clock::now();
  if (ier == 0) xdslfa(work.data(), lw, cond, inertia, ier);
  const double t = seconds_since(t1);
  std::vector<double> b(static_cast<std::size_t>(a.n), 1.0);
  if (ier == 0) xdslsl(1, b.data(), a.n, work.data(), lw, ier);
  total = seconds_since(t0);
  if (ier != 0) std::printf("library factorisation failed: %d\n", ier);
  return t;
}

double cholmod_time(const Matrix& a, double& lnz) {
  cholmod_common cm;
  cholmod_start(&cm);
  cm.nmethods = 1;
  cm.method[0].ordering = CHOLMOD_METIS;
  cm.supernodal = CHOLMOD_SUPERNODAL;
  cholmod_sparse* A = cholmod_allocate_sparse(a.n, a.n, a.rowind.size(), 1, 1, -1, CHOLMOD_REAL, &cm);
  auto* p = static_cast<int*>(A->p);
  auto* i = static_cast<int*>(A->i);
  auto* x = static_cast<double*>(A->x);
  for (i32 j = 0; j <= a.n; ++j) p[j] = a.colptr[j] - 1;
  for (std::size_t k = 0; k < a.rowind.size(); ++k) {
    i[k] = a.rowind[k] - 1;
    x[k] = a.values[k];
  }
  cholmod_factor* L = cholmod_analyze(A, &cm);
  const auto t0 = Clock::now();
  cholmod_factorize(A, L, &cm);
  const double t = seconds_since(t0);
  lnz = cm.lnz - a.n;
  cholmod_free_factor(&L, &cm);
  cholmod_free_sparse(&A, &cm);
  cholmod_finish(&cm);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  zephsol::sparse::blas_single_thread();
  std::vector<int> sizes = {31, 45};
  if (argc > 1) sizes = {std::atoi(argv[1])};
  std::printf("%6s %9s %11s %11s %11s %7s %12s %12s %7s\n", "cube", "n", "factor s", "whole s", "cholmod s", "ratio",
              "nzlf", "cholmod nzl", "fill");
  for (int k : sizes) {
    const Matrix a = hex_cube(k);
    double nzlf = 0, lnz = 0, total = 0;
    const double tl = library_time(a, nzlf, total);
    const double tc = cholmod_time(a, lnz);
    std::printf("%4d^3 %9d %11.3f %11.3f %11.3f %7.2f %12.4g %12.4g %7.3f\n", k, a.n, tl, total, tc, tl / tc, nzlf,
                lnz, nzlf / lnz);
  }
  return 0;
}
