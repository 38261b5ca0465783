// Physical units: the unit opener for every file of the system, and the
// record transfers of the data-block units (work files and problem tapes).
#pragma once

#include "zephsol/exec/words.h"

namespace zephsol {

// Opens unit. key is a four-character key word of the solver list table (its
// value is the file name), or 0; reserved is not read; kind: odd unformatted,
// even formatted; kinds 1, 2 and 5 open an existing file. Without a key,
// kinds below 5 open a scratch file and kinds 5 and up a direct-access work
// file "WORKnn".
void UNTOPN(word unit, word key, word reserved, word kind);
// Closes unit and keeps its file.
void UNTCLS(word unit);

}  // namespace zephsol
