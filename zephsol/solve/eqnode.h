// The node and component of a solution row, for the messages that name
// where a solution failed or is suspect. Both read their data block through
// a buffer at the top of the open core and keep what they read off the open
// core, so that a module may call them once its own open-core plan is done.
#pragma once

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

// Message 3151 after a decomposition that failed at L-set row k: "0*** USER
// INFORMATION MESSAGE 3151, ABOVE ROW POSITION CORRESPONDS TO" comp
// "-TH D.O.F. OF NODE" node. Fatal 711 ("USET" or "SIL ") when USET or EQIX
// do not name the row.
void print_failed_row_node(word k, word USET, word EQIX);

}  // namespace zephsol
