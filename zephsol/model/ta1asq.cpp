// Renumbering of the nodes: not applied yet, the input order is kept.
#include "zephsol/model/model_records.h"
#include "zephsol/model/ta1.h"

namespace zephsol {

void TA1ASQ(word, word, word, word, word, word) { ta1com().IRNFLG = -1; }

}  // namespace zephsol
