// The sparse library as the sparse solve driver sees it: its nine entries in
// one table, bound by default to the library (zephsol/sparse/sparse.h).
// Tests bind recording fakes; every binding of the driver to the library is
// made here and in mfslib.cpp, nowhere else.
#pragma once

#include <array>
#include <cstdint>
#include <span>

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

}  // namespace zephsol
