// The sparse library out of core: a large cube of HEX8 elements factorised
// and solved in a small work array (the stack, the largest fronts and the
// factor on scratch files in the working directory), beside a smaller cube
// in core whose time is scaled by the ratio of the operation counts.
//
//   bench_sparse_outcore [big cube edge, 68] [small cube edge, 30]
//                        [work array of the big run in MB, 0 = the least]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
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

// Peak resident memory of the process in MB.
double peak_mb() {
  std::ifstream in("/proc/self/status");
  for (std::string l; std::getline(in, l);)
    if (l.rfind("VmHWM:", 0) == 0) return std::atof(l.c_str() + 6) / 1024.0;
  return 0.0;
}

struct Run {
  i32 need = 0, needmn = 0, lwork = 0, ier = 0;
  double factor_s = 0, solve_s = 0, ops = 0, fwords = 0, on_file = 0, stack_words = 0, front_tri = 0,
         front_io = 0, residual = 0;
};

// ||A x - b||_inf / ||b||_inf with A given by its lower triangle.
double residual(const Matrix& a, const std::vector<double>& x, const std::vector<double>& b) {
  std::vector<double> y(static_cast<std::size_t>(a.n), 0.0);
  for (i32 j = 0; j < a.n; ++j)
    for (i32 q = a.colptr[j] - 1; q < a.colptr[j + 1] - 1; ++q) {
      const i32 i = a.rowind[q] - 1;
      y[i] += a.values[q] * x[j];
      if (i != j) y[j] += a.values[q] * x[i];
    }
  double r = 0, bn = 0;
  for (i32 i = 0; i < a.n; ++i) {
    r = std::max(r, std::abs(y[i] - b[i]));
    bn = std::max(bn, std::abs(b[i]));
  }
  return r / bn;
}

// The whole library on the cube: in core (work_mb < 0), in the least work
// (0) or in work_mb megabytes.
Run run(const Matrix& a, double work_mb) {
  using namespace zephsol::sparse;
  Run r;
  const std::size_t lan = 2 * a.rowind.size() + 40 * static_cast<std::size_t>(a.n) + 100000;
  std::vector<double> work(lan);
  i32 need = 0;
  const i32 la = static_cast<i32>(lan);
  xdslin(a.n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, work.data(), la, r.ier);
  if (r.ier == 0) xdslim('A', a.colptr, a.rowind, work.data(), la, r.ier);
  if (r.ier == 0) xdslif(work.data(), la, need, r.ier);
  if (r.ier == 0) xdslom(work.data(), la, need, r.ier);
  if (r.ier == 0) xdslsf(work.data(), la, r.need, r.needmn, r.ier);
  if (r.ier != 0) return r;
  const double want = work_mb < 0 ? r.need : work_mb == 0 ? r.needmn : work_mb * 1048576.0 / 8.0;
  r.lwork = static_cast<i32>(std::min(want, 2147483647.0));
  work.resize(static_cast<std::size_t>(r.lwork));
  xdslvm('A', a.colptr, a.rowind, a.values, work.data(), r.lwork, r.ier);
  if (r.ier == 0) xdslvf(work.data(), r.lwork, r.ier);
  double cond = 0;
  i32 inertia[3] = {};
  auto t0 = Clock::now();
  if (r.ier == 0) xdslfa(work.data(), r.lwork, cond, inertia, r.ier);
  r.factor_s = seconds_since(t0);
  if (r.ier != 0) return r;
  std::vector<double> b(static_cast<std::size_t>(a.n));
  for (i32 i = 0; i < a.n; ++i) b[i] = 1.0 + (i % 7) * 0.125;
  std::vector<double> x = b;
  t0 = Clock::now();
  xdslsl(1, x.data(), a.n, work.data(), r.lwork, r.ier);
  r.solve_s = seconds_since(t0);
  r.ops = work[114];
  r.fwords = work[42];
  r.on_file = work[54];
  r.stack_words = work[146];
  r.front_tri = work[149];
  r.front_io = work[159];
  r.residual = residual(a, x, b);
  return r;
}

void print(const char* what, int k, const Matrix& a, const Run& r) {
  std::printf("%-12s %3d^3 n=%8d ier=%5d need=%11d least=%11d lwork=%11d factor %9.2f s  solve %7.2f s\n", what, k,
              a.n, r.ier, r.need, r.needmn, r.lwork, r.factor_s, r.solve_s);
  std::printf("%-12s ops %.4g  factor words %.4g (%s)  stack file %.4g  largest front on file %.4g  front i/o %.4g  "
              "residual %.2e  peak %.0f MB\n",
              "", r.ops, r.fwords, r.on_file != 0 ? "on file" : "in work", r.stack_words, r.front_tri, r.front_io,
              r.residual, peak_mb());
}

}  // namespace

int main(int argc, char** argv) {
  zephsol::sparse::blas_single_thread();
  const int big = argc > 1 ? std::atoi(argv[1]) : 68;
  const int small = argc > 2 ? std::atoi(argv[2]) : 30;
  const double mb = argc > 3 ? std::atof(argv[3]) : 0.0;
  const Matrix s = hex_cube(small);
  const Run in = run(s, -1.0);
  print("in core", small, s, in);
  const Matrix a = hex_cube(big);
  const Run out = run(a, mb);
  print("out of core", big, a, out);
  if (in.ops > 0 && out.ier == 0)
    std::printf("out of core %.2f s against %.2f s scaled by operations from the in-core cube (%.2f times)\n",
                out.factor_s, in.factor_s * out.ops / in.ops, out.factor_s / (in.factor_s * out.ops / in.ops));
  return out.ier == 0 ? 0 : 1;
}
