// Information messages of the file system on the listing (unit 6): data
// block opened and closed (3047, 3048), and the block layer's messages 3041 to
// 3045 (codes 1 to 5: 3042 a core-resident chain spilled to its unit, 3045 a
// data block started as core resident). Any other code prints its number
// alone.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Prints information message code for data block file; p(1) is the unit,
// p(2) to p(4) the message's further words.
void FSINFO(word code, word file, std::span<const word, 4> p);

}  // namespace zephsol
