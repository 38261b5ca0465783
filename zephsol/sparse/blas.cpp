// Checked wrappers of the matrix products of the BLAS.
#include "zephsol/sparse/blas.h"

#include <sched.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "zephsol/sparse/hherr.h"

namespace zephsol::sparse {
namespace {

bool is_trans(char c) {
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c == 'N' || c == 'T' || c == 'C';
}
bool no_trans(char c) { return std::toupper(static_cast<unsigned char>(c)) == 'N'; }

}  // namespace

void blas_single_thread() { blas_threads(1); }

void blas_threads(i32 n) {
  if (openblas_get_num_threads() != n) openblas_set_num_threads(n);
}

i32 factor_threads() {
  if (const char* s = std::getenv("OMP_NUM_THREADS"); s != nullptr && *s != '\0') {
    const long n = std::strtol(s, nullptr, 10);  // the first of a list
    if (n >= 1) return static_cast<i32>(std::min(n, 256L));
  }
  cpu_set_t set;
  CPU_ZERO(&set);
  const int cpus = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : 1;
  double load = 0.0;
  std::ifstream("/proc/loadavg") >> load;
  // This process is one of the running ones the load counts.
  const long busy = std::lround(load) - 1;
  return static_cast<i32>(std::clamp<long>(cpus - busy, 1, cpus));
}

namespace {
i32 team = 1;  // threads of the large products
}  // namespace

ProductTeam::ProductTeam(i32 n) { team = std::max(n, 1); }
ProductTeam::~ProductTeam() {
  team = 1;
  blas_threads(1);
}
i32 ProductTeam::size() { return team; }

void dgemm(char ta, char tb, i32 m, i32 n, i32 k, double alpha, const double* a, i32 lda, const double* b,
           i32 ldb, double beta, double* c, i32 ldc) {
  const i32 nrowa = no_trans(ta) ? m : k;
  const i32 nrowb = no_trans(tb) ? k : n;
  i32 info = 0;
  if (!is_trans(ta)) info = 1;
  else if (!is_trans(tb)) info = 2;
  else if (m < 0) info = 3;
  else if (n < 0) info = 4;
  else if (k < 0) info = 5;
  else if (lda < std::max(1, nrowa)) info = 8;
  else if (ldb < std::max(1, nrowb)) info = 10;
  else if (ldc < std::max(1, m)) info = 13;
  if (info != 0) blas_argument_error("DGEMM ", info);
  dgemm_(&ta, &tb, &m, &n, &k, &alpha, a, &lda, b, &ldb, &beta, c, &ldc, 1, 1);
}

void dgemv(char t, i32 m, i32 n, double alpha, const double* a, i32 lda, const double* x, i32 incx,
           double beta, double* y, i32 incy) {
  i32 info = 0;
  if (!is_trans(t)) info = 1;
  else if (m < 0) info = 2;
  else if (n < 0) info = 3;
  else if (lda < std::max(1, m)) info = 6;
  else if (incx == 0) info = 8;
  else if (incy == 0) info = 11;
  if (info != 0) blas_argument_error("DGEMV ", info);
  dgemv_(&t, &m, &n, &alpha, a, &lda, x, &incx, &beta, y, &incy, 1);
}

}  // namespace zephsol::sparse
