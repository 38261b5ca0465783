// Entries of the element output that are not written yet: they produce no
// table and no vector.
#include "zephsol/output/elemout.h"

namespace zephsol {

void OFP1F(word, word, word) {}
void OFP1P() {}

}  // namespace zephsol
