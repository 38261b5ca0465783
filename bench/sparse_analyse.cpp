// The analysis phases of the sparse library (structural input, merge and
// compression, ordering with supernodes and estimates; then the symbolic
// factorisation) on the matrices of
// cubes of HEX8 elements with three freedoms per node, beside CHOLMOD's
// analysis with METIS on the same matrices in the same run.
#include <cholmod.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <vector>

#include "zephsol/sparse/sparse.h"

namespace {

using zephsol::sparse::i32;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Lower triangle (diagonal first) of the structure of a cube of k^3 HEX8
// elements, 3 freedoms per node, in compressed columns, 1-based.
struct Matrix {
  i32 n = 0;
  std::vector<i32> colptr, rowind;
};

Matrix hex_cube(int k) {
  const int m = k + 1;
  Matrix a;
  a.n = 3 * m * m * m;
  a.colptr.push_back(1);
  for (int z = 0; z < m; ++z)
    for (int y = 0; y < m; ++y)
      for (int x = 0; x < m; ++x) {
        const int node = (z * m + y) * m + x;
        std::vector<int> later;  // neighbour nodes after this one, ascending
        for (int dz = -1; dz <= 1; ++dz)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
              const int X = x + dx, Y = y + dy, Z = z + dz;
              if (X < 0 || Y < 0 || Z < 0 || X >= m || Y >= m || Z >= m) continue;
              const int nb = (Z * m + Y) * m + X;
              if (nb > node) later.push_back(nb);
            }
        std::sort(later.begin(), later.end());
        for (int d = 0; d < 3; ++d) {
          for (int e = d; e < 3; ++e) a.rowind.push_back(3 * node + e + 1);
          for (int nb : later)
            for (int e = 0; e < 3; ++e) a.rowind.push_back(3 * nb + e + 1);
          a.colptr.push_back(static_cast<i32>(a.rowind.size()) + 1);
        }
      }
  return a;
}

// Seconds of structural input, compression and ordering, and of the
// symbolic factorisation after them.
double library_analysis(const Matrix& a, double& nzlf, double& symbolic) {
  using namespace zephsol::sparse;
  const std::size_t lwork = 2 * a.rowind.size() + 40 * static_cast<std::size_t>(a.n) + 100000;
  std::vector<double> work(lwork);
  const auto t0 = Clock::now();
  i32 ier = 0, need = 0;
  xdslin(a.n, 'S', 0, 0, 11, 12, 13, 14, 15, 17, work.data(), static_cast<i32>(lwork), ier);
  if (ier == 0) xdslim('A', a.colptr, a.rowind, work.data(), static_cast<i32>(lwork), ier);
  if (ier == 0) xdslif(work.data(), static_cast<i32>(lwork), need, ier);
  if (ier == 0) xdslom(work.data(), static_cast<i32>(lwork), need, ier);
  const double t = seconds_since(t0);
  nzlf = work[30];
  const auto t1 = Clock::now();
  i32 needmn = 0;
  if (ier == 0) xdslsf(work.data(), static_cast<i32>(lwork), need, needmn, ier);
  symbolic = seconds_since(t1);
  if (ier != 0) std::printf("library analysis failed: %d\n", ier);
  return t;
}

double cholmod_analysis(const Matrix& a, double& lnz) {
  cholmod_common cm;
  cholmod_start(&cm);
  cm.nmethods = 1;
  cm.method[0].ordering = CHOLMOD_METIS;
  cholmod_sparse* A = cholmod_allocate_sparse(a.n, a.n, a.rowind.size(), 1, 1, -1, CHOLMOD_PATTERN, &cm);
  auto* p = static_cast<int*>(A->p);
  auto* i = static_cast<int*>(A->i);
  for (i32 j = 0; j <= a.n; ++j) p[j] = a.colptr[j] - 1;
  for (std::size_t k = 0; k < a.rowind.size(); ++k) i[k] = a.rowind[k] - 1;
  const auto t0 = Clock::now();
  cholmod_factor* L = cholmod_analyze(A, &cm);
  const double t = seconds_since(t0);
  lnz = cm.lnz - a.n;
  cholmod_free_factor(&L, &cm);
  cholmod_free_sparse(&A, &cm);
  cholmod_finish(&cm);
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes = {31, 45};
  if (argc > 1) sizes = {std::atoi(argv[1])};
  std::printf("%6s %9s %11s %11s %11s %7s %7s %12s %12s\n", "cube", "n", "ordering s", "symbolic s", "cholmod s",
              "ratio", "+symb.", "nzlf", "cholmod nzl");
  for (int k : sizes) {
    const Matrix a = hex_cube(k);
    double nzlf = 0, lnz = 0, ts = 0;
    const double tl = library_analysis(a, nzlf, ts);
    const double tc = cholmod_analysis(a, lnz);
    std::printf("%4d^3 %9d %11.3f %11.3f %11.3f %7.2f %7.2f %12.4g %12.4g\n", k, a.n, tl, ts, tc, tl / tc,
                (tl + ts) / tc, nzlf, lnz);
  }
  return 0;
}
