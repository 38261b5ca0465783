// Placeholders for the interval passes of element temperatures (GP4TMP) and
// interval loads (GP4FRC) that GP4 calls; they write nothing yet, so that an
// interval has no element temperatures and no loads.
#include "zephsol/model/gp4.h"

namespace zephsol {

void GP4TMP(word, word) {}
void GP4FRC(word, word) {}

}  // namespace zephsol
