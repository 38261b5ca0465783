// Input flag words that the element routines read: the switches the input
// decoders leave for the rest of the run.
//   IFPSGT  no-tension treatment in use (-1): the low-order solid, plane and
//           axisymmetric stiffness routines recompute the elastic matrix at
//           every point that carries the tension cut-off mark;
//   IFPPRS  the bulk data hold a "PRESTRES" group (-1): ROD2 reads the two
//           values of its temperature record as axial forces.
// The input decoders set them; tests set them directly.
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

struct IFPFLG {
  word IFPDUN = 0;  // 1 a hyperbolic (DUNCAN) material is defined
  word rsv2 = 0;    // 2
  word IFPSGT = 0;  // 3 no-tension switch
  word rsv4 = 0;    // 4
  word IFPPRS = 0;  // 5 prestress switch
};

IFPFLG& ifpflg() noexcept;
void reset_ifpflg() noexcept;

}  // namespace zephsol
