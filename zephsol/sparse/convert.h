// Entry positions in the fronts: every off-diagonal entry (m, key, v) of
// the value phase gets its relative index, the place where the
// factorisation adds it into the packed front of its supernode, and the
// rows of the matrix their absolute sums (xdslvf).
//
// For supernode s with columns f ... l (w of them), index set G (g rows),
// front order F = w + g and T = F(F+1)/2: an index x has the place x-f+1
// for x <= l and w + (its position in G) otherwise; an entry of column
// m = f + c with places P_i, P_j of its row and column gets
//   offset(c) + |P_i - P_j| + 1,  offset(c) = F + (F-1) + ... + (F-c+1),
// plus T for an entry above the diagonal of an unsymmetric matrix.
#pragma once

#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// What the conversion needs of the symbolic phase.
struct FrontIndex {
  i64 n, ns;
  IVec part, ptr, gl, perm;  // partition, index pointers, global indices, new-to-old
  bool unsym;
};

// Conversion statuses: 0, an entry outside the factor's structure, entries
// left over, a file failure, too little work space.
enum ConvertStatus : i32 { kConverted = 0, kNotFound = -1, kLeftOver = -2, kFileFailure = -3, kNoSpace = -4 };

struct ConvertReport {
  i64 row = 0, col = 0;  // the entry not found, in the caller's numbering
  i32 unit = 0;          // the unit of a file failure
  i64 need = 0;          // the work space wanted
};

// Converts the count entries of supernode s (sorted by m and key): m
// becomes the relative index, and for a symmetric matrix key the row
// index; |v| is added to the sums of the entry's row (and column, when
// symmetric).
i32 convert_supernode(const FrontIndex& fx, i64 s, iword* m, iword* key, const double* v, i64 count,
                      double* rowsum, ConvertReport& rep);

// xrelin(r) = the first entry whose m >= r, xrelin(n+1) = count + 1.
void entry_pointers(i64 n, const iword* m, i64 count, IVec xrelin);

// Writes the records of every supernode with entries to the sequential
// unit: [row indices (keeprow)], relative indices, values. Returns the
// records written, or -1 on a write failure; words adds the words moved.
i64 write_entry_records(i32 unit, const FrontIndex& fx, IVec xrelin, const iword* rel, const iword* key,
                        const double* v, bool keeprow, i64& words);
// Reads them back into the in-core arrays at each supernode's offset;
// false on a read failure or a record beyond count.
bool read_entry_records(i32 unit, const FrontIndex& fx, IVec xrelin, i64 count, iword* rel, iword* key, double* v,
                        bool keeprow, i64& words);

}  // namespace zephsol::sparse
