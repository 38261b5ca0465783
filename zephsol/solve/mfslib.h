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
  // need and needmn whole, in 64 bits.
  void (*xdslsf)(double* work, mfs_int lwork, std::int64_t& need, std::int64_t& needmn, mfs_int& ier) = nullptr;
  void (*xdslvm)(char matrix, std::span<const mfs_int> colptr, std::span<const mfs_int> rowind,
                 std::span<const double> values, double* work, mfs_int lwork, mfs_int& ier) = nullptr;
  void (*xdslvf)(double* work, mfs_int lwork, mfs_int& ier) = nullptr;
  // inertia: the numbers of positive, negative and zero eigenvalues.
  void (*xdslfa)(double* work, mfs_int lwork, double& cond, std::array<mfs_int, 3>& inertia, mfs_int& ier) = nullptr;
  void (*xdslsl)(mfs_int nrhs, double* rhs, mfs_int ldrhs, double* work, mfs_int lwork, mfs_int& ier) = nullptr;
  // After xdslfa: each row's 1x1 pivot of D (0 in a 2x2 block); false when
  // the factor gives none. May be left unbound.
  bool (*pivots)(double* work, mfs_int lwork, std::span<double> d) = nullptr;
  // Silences the library's error reports (on) and lets them through again
  // (off), for a trial whose failures the driver handles itself.
  void (*quiet)(bool on) = nullptr;
};

// The library's work-space figures in double words: for a factorisation in
// core (0: none, the factor is too large to be held in core) and the least,
// with the factor and the stack on its scratch files.
struct MfsFigures {
  std::int64_t needs = 0, needmn = 0;
};

// The entries bound by default.
MfsLibrary mfs_library();

}  // namespace zephsol
