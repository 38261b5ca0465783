// Stress data recovery module SDR.
//
// After every solution of a step (the first, a re-execution on adjusted
// states, every equilibrium iteration) SDR turns the displacement increment
// into new integration-point states and the unbalanced force vector. For
// every element of the element summary table, in its order: an element
// listed in XCLD is inactive and SINACT clears its states; an active one has
// its type, material, states and temperatures made current and SELEM runs
// its stress routine (stress_table.h), prints its nodal forces and subtracts
// them from the force vector. The states go to EIV1, QG = PGM - the internal
// forces of the active elements.
//
// Data blocks (0: not given): EST, MATD (the material table), EIV0 (current
// states; not read when 0 or its header word 1 is 0: fresh states), DUG (the
// increment; its second column when it has two or more), ENTD (element
// temperatures; not read when 0 or its header word 1 is 0), PGM (one column
// of the equivalent nodal forces of the current stresses), XCLD (the
// ascending positions in EST of the inactive elements). Written: EIV1, one
// state record per element, header [elements, largest record, EST word 2,
// EST word 5, union of the flag words, 1]; QG, one packed column of nG terms
// (form 2, type IPREC).
//
// SDRFLG: -1 when a point's state reversed so that the step is to be run
// again (KRERUN), else 1 when a point is in a non-linear state (KITER), else
// 0; SDRLST receives it. The flags KRERUN, KITER, KNOTEN, KKIND2 (RLXFLG) and
// KPLSHL (SHPFLG) of SIGCOM are cleared at the start.
//
// Nodal forces are printed (heading kind 12, then per element one line a
// node: 2, 3 or 6 components by type; none for QMEM4 and TMEM3) when the
// "REAC" print request applies to the step and SDRLST is 0, that is on the
// first recovery of the step only.
//
// Messages (fatal): -3 (words needed, words available) open core too small
// for the buffers, the material table, the XCLD list, the vectors and one
// temperature record; -701 (PGM, its rows) PGM and DUG differ in rows; -3825
// ("ENTD", L) an ENTD record of L words or more; -2 ("ENTD", words read) ENTD
// ends before the last element; -999 (element ID, 0) an element without an
// entry in STRC while its nodal forces are printed; those of the stress
// routines (-5000 a type without one) and the point laws. A step ends
// (error flag set) with 5026 naming the first element whose states no REAL
// word can hold, else 5027 naming the node and component of the first such
// unbalanced force.
#pragma once

#include <cstddef>
#include <span>
#include <unordered_map>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

void SDR(word EST, word MATD, word EIV0, word DUG, word ENTD, word PGM, word XCLD, word EIV1, word QG, word& SDRFLG);

// The node identifiers of every element of STRC (its "ELEMENT " record:
// per element 8 words, the eighth the node count n, then n node
// identifiers), read once per recovery for the nodal-force print.
class ElementNodes {
 public:
  // Reads STRC through the file buffer at open-core word buffer.
  void read(word strc, word buffer);
  // The node identifiers of element id; -999 (id, 0) when STRC has no entry.
  std::span<const word> of(word id) const;

 private:
  std::vector<word> words_;
  std::unordered_map<word, std::size_t> first_;  // element ID -> its entry in words_
};

// One active element: UE = UG at the element's DOF index list, the element's
// stress routine, the nodal-force print when nodes is given (the first
// recovery of a step with "REAC" printed), FG -= FE at the DOF index list.
// TREC is the element's temperature record (word 1 > 1: temperatures, REAL,
// from word 3).
void SELEM(std::span<const double> UG, std::span<const word> TREC, std::span<double> FG, const ElementNodes* nodes);

// An inactive element: every point's stresses, strains and blocks 1, 2, 3,
// 7, 8, 9, 10 and 11 cleared (blocks 4, 5, 6 and 12 kept), header word 6 = 1.
void SINACT();

}  // namespace zephsol
