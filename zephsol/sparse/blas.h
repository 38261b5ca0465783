// The dense kernels the sparse library calls: the Fortran BLAS symbols of
// the platform's BLAS (OpenBLAS, run single-threaded), declared here, and
// checked wrappers of the two matrix products, whose argument errors are
// reported by blas_argument_error (zephsol/sparse/hherr.h) and stop the run.
#pragma once

#include <functional>
#include <memory>

#include "zephsol/sparse/work.h"

extern "C" {
void dgemm_(const char* ta, const char* tb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc, std::size_t, std::size_t);
void dgemv_(const char* t, const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            const double* x, const int* incx, const double* beta, double* y, const int* incy, std::size_t);
void daxpy_(const int* n, const double* a, const double* x, const int* incx, double* y, const int* incy);
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);
double ddot_(const int* n, const double* x, const int* incx, const double* y, const int* incy);
void dscal_(const int* n, const double* a, double* x, const int* incx);
void dswap_(const int* n, double* x, const int* incx, double* y, const int* incy);
double dasum_(const int* n, const double* x, const int* incx);
int idamax_(const int* n, const double* x, const int* incx);
void openblas_set_num_threads(int);
int openblas_get_num_threads();
}

namespace zephsol::sparse {

// Runs the BLAS on one thread (the fronts are small; threads slow them).
void blas_single_thread();
// Runs the BLAS on n threads from the next call on.
void blas_threads(i32 n);

// Threads a factorisation may use: OMP_NUM_THREADS when it is set, else
// the processors of this process that the load leaves free; one when the
// load, measured now, leaves no processor free besides this process's own.
i32 factor_threads();
// The threads that share the large products of a factorisation while one
// lives (one otherwise): a factorisation holds one for its whole run. The
// BLAS stays on one thread; the team runs independent tasks, each on one
// thread, so a result does not depend on the team's size. The team is the
// calling thread's: a team built on a thread that has one leaves that one
// in place, and a task of a team may build a team of its own.
class ProductTeam {
 public:
  explicit ProductTeam(i32 n);
  ~ProductTeam();
  ProductTeam(const ProductTeam&) = delete;
  ProductTeam& operator=(const ProductTeam&) = delete;
  // The team's size; one within a task of the team.
  static i32 size();
  // Runs task(0), ..., task(count - 1) on the team and returns when all
  // are done (in order on the calling thread without a team, and within a
  // task of the team).
  static void run(i32 count, const std::function<void(i32)>& task);

 private:
  struct Threads;
  std::unique_ptr<Threads> own_;
};

// C := alpha op(A) op(B) + beta C, op = "N" or "T", column-major.
void dgemm(char ta, char tb, i32 m, i32 n, i32 k, double alpha, const double* a, i32 lda, const double* b,
           i32 ldb, double beta, double* c, i32 ldc);
// y := alpha op(A) x + beta y.
void dgemv(char t, i32 m, i32 n, double alpha, const double* a, i32 lda, const double* x, i32 incx,
           double beta, double* y, i32 incy);

inline void daxpy(i32 n, double a, const double* x, i32 incx, double* y, i32 incy) {
  daxpy_(&n, &a, x, &incx, y, &incy);
}
inline void dcopy(i32 n, const double* x, i32 incx, double* y, i32 incy) { dcopy_(&n, x, &incx, y, &incy); }
inline double ddot(i32 n, const double* x, i32 incx, const double* y, i32 incy) {
  return ddot_(&n, x, &incx, y, &incy);
}
inline void dscal(i32 n, double a, double* x, i32 incx) { dscal_(&n, &a, x, &incx); }
inline void dswap(i32 n, double* x, i32 incx, double* y, i32 incy) { dswap_(&n, x, &incx, y, &incy); }
inline double dasum(i32 n, const double* x, i32 incx) { return dasum_(&n, x, &incx); }
inline i32 idamax(i32 n, const double* x, i32 incx) { return idamax_(&n, x, &incx); }

}  // namespace zephsol::sparse
