// The sparse multifrontal library: its interface of nine entries.
//
// Solves A x = b for a sparse matrix of order neqns with symmetric
// structure, given column by column in compressed-column form (1-based):
// L D L^T with 1x1 and 2x2 pivots for a symmetric matrix, L U for one
// declared unsymmetric. Everything one problem needs between the calls lives
// in the caller's array `work` of `lwork` double words (zephsol/sparse/work.h
// describes it); the entries are called in this order, each only at a stage
// the previous one left:
//   xdslin  initialisation (any stage)                         -> 1
//   xdslim  structural input, one call per block of columns     1, 2 -> 2
//   xdslif  end of structural input: merge, compression         1, 2 -> 10
//   xdslom  nested-dissection ordering, supernodes, estimates   10, 20 -> 20
//   xdslsf  symbolic factorisation                              20 -> 30
//   xdslvm  value input, one call per block of columns          30, 40, 50, 31 -> 31
//   xdslvf  end of value input: distribution to the fronts      31 -> 40
//   xdslfa  numerical factorisation, inertia, condition         40 -> 50
//   xdslsl  solution for one or more right-hand sides           50 -> 50
// IER is 0 on success or negative, in bands of one hundred per phase (-1xx
// structural input ... -6xx solution): -x00 a call in the wrong stage, -x01
// too little work space (the words needed are reported). Every error is
// reported through HHERR on unit 6 and, at message level >= 1, by a
// fatal-error block on msgunit. Character arguments count by their first
// character, without regard to case.
#pragma once

#include <span>

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// dslsym "U"/"u" unsymmetric, any other character symmetric.
void xdslin(i32 neqns, char dslsym, i32 msglvl, i32 msgunit, i32 lunit1, i32 lunit2, i32 lunit3,
            i32 lunit4, i32 lunit5, i32 lunit6, double* work, i32 lwork, i32& ier);

// matrix "A"/"K" the system matrix, "B"/"M" a second matrix. colptr holds
// neqns+1 entries; rowind the entries colptr(1) ... colptr(n+1)-1.
void xdslim(char matrix, std::span<const i32> colptr, std::span<const i32> rowind, double* work,
            i32 lwork, i32& ier);
void xdslif(double* work, i32 lwork, i32& need, i32& ier);
void xdslom(double* work, i32 lwork, i32& need, i32& ier);
void xdslsf(double* work, i32 lwork, i32& need, i32& needmn, i32& ier);
// The same with the two figures whole (the form above caps them at the
// largest 32-bit integer).
void xdslsf(double* work, i32 lwork, i64& need, i64& needmn, i32& ier);
// values parallel to rowind; symmetric input gives the lower triangle only.
void xdslvm(char matrix, std::span<const i32> colptr, std::span<const i32> rowind,
            std::span<const double> values, double* work, i32 lwork, i32& ier);
void xdslvf(double* work, i32 lwork, i32& ier);
// cond: one-norm condition estimate (0.0 when control word 174 is 0);
// inertia: positive and negative pivots and 1 when stopped singular.
void xdslfa(double* work, i32 lwork, double& cond, i32* inertia, i32& ier);
// rhs: nrhs columns of ldrhs words, overwritten by the solutions.
void xdslsl(i32 nrhs, double* rhs, i32 ldrhs, double* work, i32 lwork, i32& ier);

}  // namespace zephsol::sparse
