// One row per element type code: the type's fixed attributes, its internal
// node order, and the routines of every phase that serve it (stiffness,
// internal forces, loads, stresses, point location).
//
// The rows name routines of several libraries (the stress routines live in
// the stress recovery, the point locators in the model tables), so they are
// written where every library may be named, beside the module table
// (zephsol/program/), and installed before anything reads them. This
// library and those above it look a type up here; none keeps a table of its
// own by type code.
//
// A row either carries its routines or is an explicit refusal: the codes
// without element routines (TFLA3, GAP2, QPLAIC4, TPLAIC3) have every routine
// null and end a run that meets them with -5000 (IECOD, IEXN).
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kMaxTypeCode = 29;

// Fixed attributes of a type, the words of its descriptor (ETYCOM). Masks are
// the same at every node, except that an orientation node (the last node of
// the beams) carries coordinates but no DOF and no temperature.
struct TypeAttr {
  bool descriptor;  // ETYPDS may load it
  word iclass, nn, npts, ioutpt, ndof, nc, np, idim, nldtyp;
  std::array<word, 8> ldword;
  word dofmsk, crdmsk, tmpflg;
  bool orient_node;
  word ns;           // stress components when not those of the class (0 = class)
  word prop_change;  // property words 1-4 (bit k-1) that a property change replaces
};

// Stiffness: KE packed, with LTHERM bit 0 also TH, the thermal load of the
// node temperatures TEMP (zephsol/elem/kelem.h).
using StiffnessRoutine = void (*)(word LTHERM, std::span<const float> TEMP, std::span<double> KE,
                                  std::span<double> TH);
// Internal forces FE accumulated from the stored point stresses.
using ForceRoutine = void (*)(std::span<double> FE);
// One load entry: its code word and values, added to PE (zephsol/elem/pelem.h).
using LoadRoutine = void (*)(word code, std::span<const float> values, std::span<double> pe);
// Stress update from the displacement increment UE; nodal forces into FE
// (zephsol/iter/stress_table.h).
using StressRoutine = void (*)(word ITHERM, std::span<const float> TEMP, std::span<const double> UE,
                               std::span<double> FE);
// Point location (zephsol/model/locate.h): flag -1 when P lies in the element.
using Point = std::array<float, 3>;
using Locator = void (*)(const Point& p, word& flag);

// How a type's loads reach its element vector.
enum class LoadRoute {
  Reject,  // no load routines: -5000 on the first entry
  Ignore,  // joints, springs, contact: loads dropped without a message
  Direct,  // the routine fills PE
  Beam,    // the routine fills the 6 end translations, added to DOFs 1-3 and 7-9
};

struct ElementType {
  word code;
  std::string_view name;
  TypeAttr attr;
  // For internal positions 1, 2, ... the input position of the node placed
  // there (faces given around their edges become tensor order); empty: the
  // nodes stay as given.
  std::span<const word> order;
  StiffnessRoutine stiffness;
  ForceRoutine force;
  LoadRoute loads;
  LoadRoutine distributed;  // load type 2; null: not taken
  LoadRoutine body;         // load type 7
  StressRoutine stress;
  Locator locate;           // null: points are not located in the type
  bool refused;             // a code without element routines
};

// Installs the rows, one per code 1..kMaxTypeCode in code order.
void install_element_types(std::span<const ElementType> rows);
// The row of code iecod; null for a code outside 1..kMaxTypeCode.
const ElementType* element_type(word iecod);

}  // namespace zephsol
