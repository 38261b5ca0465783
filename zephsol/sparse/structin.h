// Structural input: the flush of the pair buffer, shared by xdslim (while
// pairs are given) and xdslif (the final flush).
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// Sorts the cnt buffered pairs (collst smaller, rowlst larger index) by
// column and row, drops duplicates and, when the buffer stays mostly full
// (final = 0) or when it must go to the file (final != 0: a run is on file
// already, or the pairs do not fit the in-core compression, which needs
// 8 xisl2d(n+1) + 2 xisl2d(cnt) words of space/2), writes the leading part
// as a sorted run to the pair file on lunit. cnt, runs, lastcol and overlap
// are updated; ier 0 or -1 (file, or the run tables of m entries are full).
void xisliz(i32 final, i32 n, i64& cnt, i64 cap, i64& runs, i64 m, i64& lastcol, i64& overlap, i32 lunit,
            i64 space, IVec rowlst, IVec collst, IVec scratch, IVec runstart, IVec runlen, IVec colcnt,
            i32& ier);

}  // namespace zephsol::sparse
