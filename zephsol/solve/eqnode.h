// The node and component of a solution row, for the messages that name
// where a solution failed or is suspect. Both read their data block through
// a buffer at the top of the open core and keep what they read off the open
// core, so that a module may call them once its own open-core plan is done.
#pragma once

#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

struct DofName {
  word node = 0;  // node identifier; 0 when no node holds the equation
  word comp = 0;  // component from 1
};

// The global (g-set) equation of the k-th row of the L set (USET bit 256);
// 0 when USET has fewer L-set rows.
word lset_equation(word k, word USET);

// The node identifier and component of global equation g (EQIX record 2).
DofName equation_node(word g, word EQIX);

// The first row (from 1) of a result vector whose value a REAL word cannot
// hold (NaN, infinite, or beyond the largest REAL); 0 when none.
word first_unstorable(std::span<const double> v);

// The step's result vector (displacements, forces) holds a value no REAL
// word can hold at global equation g: the run ends with message code,
// naming the step, the node and the component.
void report_unstorable(word code, std::string_view quantity, word g, word EQIX);

// Message 3151 after a decomposition that failed at L-set row k: "0*** USER
// INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO" comp
// "-TH D.O.F. OF NODE" node. Fatal 711 ("USET" or "SIL ") when USET or EQIX
// do not name the row.
void print_failed_row_node(word k, word USET, word EQIX);

// Whether a pivot kept fewer than four of the sixteen digits of its row's
// diagonal: |d| <= 1E-12 |a|, the elimination cancelled the row's stiffness
// (a node or a part of the model free to move, held only by rounding).
bool weak_pivot(double pivot, double diagonal);

// Forgets the rows noted by the last factorisation and sizes the diagonal
// for a matrix of order n.
void start_pivot_watch(word n);
// Notes row (from 1) when its pivot is weak against the diagonal noted.
void watch_pivot(word row, double pivot);

// Warning 3152 for the noted rows of the L set (the first ten; IWRNFL = 1):
// "0*** USER WARNING MESSAGE 3152, PIVOT OF ROW" row "KEPT LESS THAN 4
// DIGITS OF ITS DIAGONAL AT" comp "-TH D.O.F. OF NODE" node, then "THE
// MODEL MAY BE FREE TO MOVE THERE (A MECHANISM); ITS DISPLACEMENTS ARE NOT
// MEANINGFUL." A row named before in the run is not named again; the list
// is then forgotten.
void warn_weak_pivots(word USET, word EQIX);

// The rigid motions of the model tried against the free-set stiffness K
// (order n, lower triangle in compressed columns as the iterative solver
// holds it): translations along X, Y, Z and turns about axes through the
// centre of the nodes (a model whose nodes all lie in z = 0 with at most
// three freedoms a node: X, Y and the turn about Z, its third freedom the
// node's rotation), each restricted to the free equations of USET. Nodes
// are taken in the basic system (NODC). A motion r with |K r| <= 1E-12 |K|
// |r| (|K| the largest stored term: K keeps fewer than four of its sixteen
// digits against r) is resisted by nothing, a mechanism that the iterative
// method's incomplete factor and least-length answer do not show: warning
// 3153 names it and the free freedom it moves most (the first of them), the
// one a support would hold, once in a run for each motion (IWRNFL = 1):
// "0*** USER WARNING MESSAGE 3153, THE MODEL CAN" "MOVE ALONG X" (or "TURN
// ABOUT Z", ...) "WITHOUT STRAIN: NO SUPPORT HOLDS THE" comp "-TH D.O.F. OF
// NODE" node, then "THE MODEL IS FREE TO MOVE THERE (A MECHANISM); ITS
// DISPLACEMENTS ARE NOT MEANINGFUL." Nothing is tried when USET, EQIX or
// NODC do not describe the n free equations.
void warn_free_motions(word n, std::span<const word> ja, std::span<const word> ia, std::span<const double> a,
                       word USET, word EQIX, word NODC);

}  // namespace zephsol
