// The automatic step of GP2: stray beam and rod nodes tied to the elements
// that contain them.
#include "zephsol/exec/records.h"
#include "zephsol/model/gp2.h"
#include "zephsol/model/gp2_work.h"

namespace zephsol {

namespace gp2 {

void automatic_step(word, word, word) { sysw().IAMPC = 0; }

}  // namespace gp2

void GP2AMP(word, word, word) {}

}  // namespace zephsol
