// The numerical factorisation of the sparse library on the matrices of
// cubes of HEX8 elements with three freedoms per node, beside CHOLMOD's
// supernodal factorisation with METIS on the same matrices in the same run.
//
//   bench_sparse_factor [threads] [edge ...]    defaults: OMP_NUM_THREADS or 1; 31 45
//
// Both codes run with the same number of threads (the library takes its
// count from OMP_NUM_THREADS), and both are timed warm:
// each factorises its matrix twice and the second factorisation is timed.
// The thread count goes into OMP_NUM_THREADS and OMP_THREAD_LIMIT and the
// program starts itself again, so that CHOLMOD's OpenMP runtime never starts
// with more threads than asked for. CHOLMOD runs its OpenMP loops and its
// BLAS on threads of its own, which multiply; it is timed twice, the
// threads given to its OpenMP loops (BLAS on one) and to its BLAS (OpenMP
// on one), both lines printed, and the library compared with the faster. The library runs once with room to keep
// its factor in work ("in core") and once with the work its analysis asks for
// ("on file", the factor going to its file and read back). Each line gives
// wall and CPU seconds, GFLOP/s on CHOLMOD's count of the factorisation's
// operations (the same figure for every line of a cube), the ratio of the
// wall time to CHOLMOD's faster one, and the machine's load (/proc/loadavg) at the
// end of the timed factorisation. The single-thread DGEMM rate of the same
// run (order 2000) comes first.
#include <cholmod.h>
#include <omp.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "load.h"
#include "sparse_cube.h"
#include "zephsol/sparse/blas.h"
#include "zephsol/sparse/sparse.h"

namespace {

using sparse_bench::hex_cube;
using sparse_bench::Matrix;
using zephsol::sparse::i32;
using Clock = std::chrono::steady_clock;

double cpu_now() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Wall and CPU seconds of one timed section, and the load after it.
struct Timing {
  double wall = 0, cpu = 0;
  std::string load;
};

template <class F>
Timing timed(F&& run) {
  const auto t0 = Clock::now();
  const double c0 = cpu_now();
  run();
  Timing t;
  t.cpu = cpu_now() - c0;
  t.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  t.load = sparse_bench::machine_load();
  return t;
}

// GFLOP/s of single-thread DGEMM on matrices of order 2000 (the second of
// two products).
double dgemm_rate() {
  const i32 n = 2000;
  std::vector<double> a(static_cast<std::size_t>(n) * n, 0.5), b(a), c(a);
  openblas_set_num_threads(1);
  Timing t;
  for (int rep = 0; rep < 2; ++rep)
    t = timed([&] { zephsol::sparse::dgemm('N', 'N', n, n, n, 1.0, a.data(), n, b.data(), n, 0.0, c.data(), n); });
  return 2.0 * n * n * static_cast<double>(n) / t.wall * 1e-9;
}

// The library's factorisation of `a`, the second of two, with `extra` times
// the work its analysis asks for; on_file tells whether the factor went to
// its file.
Timing library_time(const Matrix& a, double extra, bool& on_file) {
  using namespace zephsol::sparse;
  Timing t;
  for (int rep = 0; rep < 2; ++rep) {
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
      return t;
    }
    const i32 lw = static_cast<i32>(std::min(2.0e9, need * extra));
    work.resize(static_cast<std::size_t>(lw));
    if (ier == 0) xdslvm('A', a.colptr, a.rowind, a.values, work.data(), lw, ier);
    if (ier == 0) xdslvf(work.data(), lw, ier);
    double cond = 0;
    i32 inertia[3] = {};
    t = timed([&] {
      if (ier == 0) xdslfa(work.data(), lw, cond, inertia, ier);
    });
    on_file = work[155] > 0.0;
    if (ier != 0) std::printf("library factorisation failed: %d\n", ier);
  }
  return t;
}

// CHOLMOD's supernodal factorisations of `a` (METIS) on one analysis: for
// each way of giving it the threads (OpenMP loops, BLAS), the second of two
// factorisations. flops receives its operation count.
struct CholmodTimes {
  Timing omp, blas;  // threads to the OpenMP loops / to the BLAS
  const Timing& best() const { return omp.wall <= blas.wall ? omp : blas; }
};

CholmodTimes cholmod_time(const Matrix& a, int threads, double& flops) {
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
  flops = cm.fl;
  auto run = [&](int omp, int blas) {
    omp_set_num_threads(omp);
    openblas_set_num_threads(blas);
    Timing t;
    for (int rep = 0; rep < 2; ++rep) t = timed([&] { cholmod_factorize(A, L, &cm); });
    return t;
  };
  CholmodTimes t;
  t.omp = run(threads, 1);
  t.blas = run(1, threads);
  omp_set_num_threads(threads);
  openblas_set_num_threads(1);
  cholmod_free_factor(&L, &cm);
  cholmod_free_sparse(&A, &cm);
  cholmod_finish(&cm);
  return t;
}

void line(const char* cube, const char* code, int threads, const Timing& t, double flops, double ref) {
  std::printf("%-7s %-18s %3d %9.3f %9.3f %8.2f %7.2f   %s\n", cube, code, threads, t.wall, t.cpu,
              flops / t.wall * 1e-9, t.wall / ref, t.load.c_str());
}

// Starts the program again with the thread count in the OpenMP variables
// unless they already hold it.
void limit_threads(int threads, char** argv) {
  const std::string want = std::to_string(threads);
  const char* mark = std::getenv("ZEPH_BENCH_THREADS");
  if (mark != nullptr && want == mark) return;
  setenv("OMP_NUM_THREADS", want.c_str(), 1);
  setenv("OMP_THREAD_LIMIT", want.c_str(), 1);
  setenv("ZEPH_BENCH_THREADS", want.c_str(), 1);
  execv("/proc/self/exe", argv);
  std::perror("execv");
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  const char* env = std::getenv("OMP_NUM_THREADS");
  const int threads = std::max(1, argc > 1 ? std::atoi(argv[1]) : env != nullptr ? std::atoi(env) : 1);
  limit_threads(threads, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::vector<int> sizes = {31, 45};
  if (argc > 2) {
    sizes.clear();
    for (int k = 2; k < argc; ++k) sizes.push_back(std::atoi(argv[k]));
  }
  std::printf("single-thread DGEMM (order 2000): %.2f GFLOP/s   load %s\n", dgemm_rate(), sparse_bench::machine_load().c_str());
  std::printf("%-7s %-18s %3s %9s %9s %8s %7s   %s\n", "cube", "code", "thr", "wall s", "cpu s", "GFLOP/s",
              "ratio", "load after");
  for (int k : sizes) {
    const Matrix a = hex_cube(k);
    const std::string cube = std::to_string(k) + "^3";
    double flops = 0;
    bool file_in = false, file_out = false;
    const CholmodTimes tc = cholmod_time(a, threads, flops);
    const Timing ti = library_time(a, 3.0, file_in);
    const Timing tf = library_time(a, 1.0, file_out);
    const double ref = tc.best().wall;
    line(cube.c_str(), "cholmod omp", threads, tc.omp, flops, ref);
    line(cube.c_str(), "cholmod blas", threads, tc.blas, flops, ref);
    line(cube.c_str(), file_in ? "library (on file!)" : "library in core", threads, ti, flops, ref);
    line(cube.c_str(), file_out ? "library on file" : "library (in core)", threads, tf, flops, ref);
  }
  return 0;
}
