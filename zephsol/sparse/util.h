// Small routines every phase of the sparse library shares: phase timers,
// fill, copy, move, scatter and gather of integer and double vectors, and
// the debug dumps written at high message levels.
//
// Strides follow the linear-algebra convention: for n elements with stride
// s, element i (1 ... n) is at position 1 + (i-1)s when s > 0 and at
// 1 + (n-i)|s| when s < 0. n <= 0 does nothing in every routine.
#pragma once

#include <string_view>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// cpu := user processor seconds of the process (a single-precision
// reading, widened); the library has no wall-clock source: wall := 0.0.
void xdsltb(double& cpu, double& wall);
// cpu := processor seconds since cpu0; wall := 0.0.
void xdslte(double cpu0, double wall0, double& cpu, double& wall);

void xislsq(i64 n, iword* v, i64 stride);  // v(i) := i
void xislzr(i64 n, iword* v, i64 stride);  // v(i) := 0
void xdslzr(i64 n, double* v, i64 stride);  // v(i) := 0.0
void xislcp(i64 n, const iword* x, i64 incx, iword* y, i64 incy);  // y(i) := x(i)
// Moves a(from ... from+n-1) to a(to ... to+n-1), overlapping ranges allowed.
void xislmv(i64 n, iword* a, i64 from, i64 to);
void xdslmv(i64 n, double* a, i64 from, i64 to);
void xdslsc(i64 n, const double* x, const iword* idx, double* y);  // y(idx(i)) := x(i)
void xdslga(i64 n, const double* y, double* x, const iword* idx);  // x(i) := y(idx(i))

// Dumps on a unit under a title block (empty line, five blanks and the
// title cut to 75 characters, a line of "-" as long, empty line).
void xislpr(std::string_view title, i64 n, const iword* v, int unit);   // 10 per line, 1X,I7
void xislpw(std::string_view title, i64 n, const iword* v, int unit);   // 5 per line, I14 after 10X
void xdslpr(std::string_view title, i64 n, const double* v, int unit);  // 5 per line, 1PD15.4
void xdslps(std::string_view title, i64 n, const double* v, int unit);  // 3 per line, 1PD25.14
// An adjacency structure: node i, then list(ptr(i) ... ptr(i+1)-1).
void xislpa(std::string_view title, i64 n, const iword* ptr, const iword* list, int unit);

}  // namespace zephsol::sparse
