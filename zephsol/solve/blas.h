// The BLAS routines the equation solution calls (Debian OpenBLAS through its
// Fortran symbols), and the switch that keeps OpenBLAS on one thread: the
// solver runs one thread of analysis, and threads slow the small fronts.
#pragma once

extern "C" {
// C := alpha op(A) op(B) + beta C, op(X) = X or X^T by 'N' or 'T'.
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* b, const int* ldb, const double* beta, double* c,
            const int* ldc);
void openblas_set_num_threads(int n);
}

namespace zephsol {

// Sets OpenBLAS to one thread, once.
inline void blas_one_thread() {
  static const bool done = [] {
    openblas_set_num_threads(1);
    return true;
  }();
  (void)done;
}

}  // namespace zephsol
