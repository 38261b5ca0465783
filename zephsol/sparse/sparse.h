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

// The return codes (IER) of the entries. Each phase has its band of one
// hundred; -x00 is a call in the wrong stage, -x01 too little work space.
namespace err {
enum Code : i32 {
  ok = 0,
  // Structural input: xdslin, xdslim, xdslif.
  input_stage = -100,
  input_space = -101,
  input_neqns = -102,      // neqns below 1
  input_structure = -106,  // a column pointer or row number out of order or range
  input_matrix = -109,     // matrix code not A, K, B or M
  input_io = -110,         // the pair file or the merge file failed, or too many runs
  // Ordering: xdslom.
  order_stage = -200,
  order_space = -201,
  order_io = -202,        // lunit1 failed
  order_range = -203,     // a given ordering out of range
  order_repeated = -204,  // a given ordering not unique
  // Symbolic factorisation: xdslsf.
  symbolic_stage = -300,
  symbolic_space = -301,
  symbolic_structure = -302,  // inconsistent structure (the sort stack overflowed)
  symbolic_io = -303,         // lunit2 failed
  // Value input and distribution: xdslvm, xdslvf.
  values_stage = -400,
  values_space = -401,
  values_entry = -402,     // an entry not given in structural input
  values_internal = -403,  // entries left over after the distribution
  values_form = -408,      // second-matrix entries in conflict with its form
  values_matrix = -409,    // matrix code not A, K, B or M
  values_io = -410,
  // Numerical factorisation: xdslfa.
  factor_stage = -500,
  factor_space = -501,
  factor_storage = -502,  // storage allocation error of the driver
  factor_singular = -503,
  factor_seq_io = -504,    // lunit1 or lunit2 failed
  factor_file1_io = -505,  // the factor file (lunit3) failed, or lunit5 missing
  factor_stack_io = -506,  // the stack file (lunit4) failed
  factor_no_file1 = -507,  // the factor fits neither work nor a file
  factor_no_stack = -508,  // the stack fits neither work nor a file
  factor_fill = -509,      // fill limit exceeded
  factor_negative = -510,  // negative pivot under monitoring
  factor_file2_io = -511,  // the second factor file (lunit5) failed
  factor_front_io = -512,  // the front file (lunit6) failed
  // Solution: xdslsl.
  solve_stage = -600,
  solve_space = -601,
  solve_nrhs = -602,
  solve_ldrhs = -603,
  solve_file1_io = -604,
  solve_file2_io = -605,
};
}  // namespace err

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

// Not an entry: a read-only look into the factor of a symmetric matrix
// after xdslfa (stage 50). d (neqns) gets, for each row as given, its pivot
// of D: a 1x1 pivot, or for a row of a 2x2 block the pivot it would have
// had eliminated after the other row (the block's determinant over the
// other's diagonal). A factor on file is read through the words behind the
// solution's area. False, and d unchanged, at any other stage, for an
// unsymmetric matrix or when the factor cannot be read.
bool factor_pivots(double* work, i32 lwork, std::span<double> d);

}  // namespace zephsol::sparse
