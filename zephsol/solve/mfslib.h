// The sparse library as the sparse solve driver sees it: its nine entries in
// one table, bound by default to the library (zephsol/sparse/sparse.h).
// Tests bind recording fakes; every binding of the driver to the library is
// made here and in mfslib.cpp, nowhere else.
//
// Until the library's numerical factorisation and solution are in place,
// those two entries are bound to a stand-in that honours the library's
// interface and stage machine: xdslvm is bound to a wrapper that passes the
// values on to the library and keeps a view of the matrix, the stand-in's
// xdslfa factors that matrix by a profile L D L^T (natural order, no
// pivoting; an exact zero pivot is IER -510) and counts the inertia, and its
// xdslsl solves with the factor. The stand-in keeps its factor in the solve
// aggregate; nothing of it survives reset_solve_state().
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zephsol {

using mfs_int = std::int32_t;

struct MfsLibrary {
  void (*xdslin)(mfs_int neqns, char dslsym, mfs_int msglvl, mfs_int msgunit, mfs_int lunit1, mfs_int lunit2,
                 mfs_int lunit3, mfs_int lunit4, mfs_int lunit5, mfs_int lunit6, double* work, mfs_int lwork,
                 mfs_int& ier) = nullptr;
  void (*xdslim)(char matrix, std::span<const mfs_int> colptr, std::span<const mfs_int> rowind, double* work,
                 mfs_int lwork, mfs_int& ier) = nullptr;
  void (*xdslif)(double* work, mfs_int lwork, mfs_int& need, mfs_int& ier) = nullptr;
  void (*xdslom)(double* work, mfs_int lwork, mfs_int& need, mfs_int& ier) = nullptr;
  void (*xdslsf)(double* work, mfs_int lwork, mfs_int& need, mfs_int& needmn, mfs_int& ier) = nullptr;
  void (*xdslvm)(char matrix, std::span<const mfs_int> colptr, std::span<const mfs_int> rowind,
                 std::span<const double> values, double* work, mfs_int lwork, mfs_int& ier) = nullptr;
  void (*xdslvf)(double* work, mfs_int lwork, mfs_int& ier) = nullptr;
  // inertia: the numbers of positive, negative and zero eigenvalues.
  void (*xdslfa)(double* work, mfs_int lwork, double& cond, std::array<mfs_int, 3>& inertia, mfs_int& ier) = nullptr;
  void (*xdslsl)(mfs_int nrhs, double* rhs, mfs_int ldrhs, double* work, mfs_int lwork, mfs_int& ier) = nullptr;
};

// The entries bound by default.
MfsLibrary mfs_library();

// What the stand-in keeps between its calls: the matrix that the value input
// was given (lower triangle, compressed columns, 1-based) and its factor
// (rows of the profile: first column of row i, then L(i, first..i-1), with
// the pivot d_i in place of L(i, i)).
struct MfsStandIn {
  std::span<const mfs_int> colptr, rowind;
  std::span<const double> values;
  std::vector<std::int64_t> row_start;
  std::vector<mfs_int> row_first;
  std::vector<double> factor;
};

}  // namespace zephsol
