// Entries of the element result output that are not written yet: they
// produce no table, no vector and no group element.
#include "zephsol/output/elemout.h"

namespace zephsol {

void OFP1C(word, word, word, word, word, word, word, word, word, word, word, word& ngroup) { ngroup = 0; }
void OFP1F(word, word, word) {}
void OFP1P() {}

}  // namespace zephsol
